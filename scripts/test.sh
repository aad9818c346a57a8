#!/usr/bin/env bash
# Builds vtkorviRendering with warnings as errors and runs every CTest test
# under an X server. Installs missing packages first. The last line printed is
# CTest's summary.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ORVI_ROOT/scripts/deps.sh"

build="${ORVI_BUILD_DIR:-$ORVI_ROOT/build}"
cmake -S "$ORVI_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVI_WARNINGS_AS_ERRORS=ON -DORVI_BUILD_TESTING=ON >/dev/null
cmake --build "$build" -j "$ORVI_JOBS"

cd "$build"
orvi_with_display ctest --output-on-failure -j "$ORVI_JOBS" "$@"
