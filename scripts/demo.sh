#!/usr/bin/env bash
# Builds the library and the demo host orvi-viewer, then replays a short
# scripted session (Apps/orvi-viewer/demo-session.txt) on the generated
# default mesh and writes its screenshots into ./out (or $ORVI_DEMO_OUT).
# Runs headless under Xvfb when there is no display. Extra arguments go to
# orvi-viewer (e.g. --nav catia, or a mesh file).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ORVI_ROOT/scripts/deps.sh"

build="${ORVI_BUILD_DIR:-$ORVI_ROOT/build}"
out="${ORVI_DEMO_OUT:-$ORVI_ROOT/out}"
mkdir -p "$out"
cmake -S "$ORVI_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$ORVI_JOBS" --target orvi-viewer

orvi_with_display "$build/Apps/orvi-viewer/orvi-viewer" \
  --script "$ORVI_ROOT/Apps/orvi-viewer/demo-session.txt" --out "$out" "$@"
echo "Screenshots are in $out:"
ls -1 "$out"/*.png
