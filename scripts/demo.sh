#!/usr/bin/env bash
# Builds the library and runs the demo host: it opens a mesh, drives a
# scripted session through the library and writes PNG screenshots into
# ./out (or $ORVI_DEMO_OUT). Runs headless under Xvfb when there is no display.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ORVI_ROOT/scripts/deps.sh"

build="${ORVI_BUILD_DIR:-$ORVI_ROOT/build}"
out="${ORVI_DEMO_OUT:-$ORVI_ROOT/out}"
mkdir -p "$out"
cmake -S "$ORVI_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$ORVI_JOBS" --target orviDemo

orvi_with_display "$build/Examples/Demo/orviDemo" "$out" "$@"
echo "Screenshots are in $out"
