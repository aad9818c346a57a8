#!/usr/bin/env bash
# Builds the library and the demo host orvi-viewer, then replays a short
# scripted session (Apps/orvi-viewer/demo-session.txt) on the generated
# default mesh and writes its screenshots into ./out (or $ORVI_DEMO_OUT).
# Runs headless under Xvfb when there is no display. Extra arguments go to
# orvi-viewer (e.g. --nav catia, or a mesh file).
#
#   ./scripts/demo.sh --qt [ARGS]   builds and opens the Qt host orvi-qt
#     instead (ARGS go to it); without a display it draws a box-zoom band
#     under Xvfb, writes the window into ./out/orvi-qt.png and exits.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ORVI_ROOT/scripts/deps.sh"

build="${ORVI_BUILD_DIR:-$ORVI_ROOT/build}"
out="${ORVI_DEMO_OUT:-$ORVI_ROOT/out}"
mkdir -p "$out"
cmake -S "$ORVI_ROOT" -B "$build" "${ORVI_CMAKE_LAUNCHER[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

if [ "${1:-}" = "--qt" ]; then
  shift
  cmake --build "$build" -j "$ORVI_JOBS" --target orvi-qt
  if orvi_has_display; then
    exec "$build/Apps/orvi-qt/orvi-qt" "$@"
  fi
  orvi_with_display "$build/Apps/orvi-qt/orvi-qt" --screenshot-with-band "$out/orvi-qt.png" "$@"
  echo "No display: the window with a box-zoom band is in $out/orvi-qt.png"
  exit 0
fi

cmake --build "$build" -j "$ORVI_JOBS" --target orvi-viewer

orvi_with_display "$build/Apps/orvi-viewer/orvi-viewer" \
  --script "$ORVI_ROOT/Apps/orvi-viewer/demo-session.txt" --out "$out" "$@"
echo "Screenshots are in $out:"
ls -1 "$out"/*.png
