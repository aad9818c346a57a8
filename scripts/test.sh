#!/usr/bin/env bash
# Builds vtkorviRendering with warnings as errors, checks our sources with
# clang-format and (plain build) clang-tidy, then runs every CTest test under
# an X server. Installs missing packages first. The last line printed is CTest's summary.
#
#   ./scripts/test.sh              the plain suite
#   ./scripts/test.sh --sanitize   the suite built with ASan, LSan and UBSan
#
# Further arguments go to ctest (e.g. -R Mervo).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

sanitize=0
if [ "${1:-}" = "--sanitize" ]; then
  sanitize=1
  shift
fi

"$ORVI_ROOT/scripts/deps.sh"
"$ORVI_ROOT/scripts/check-format.sh"

if [ "$sanitize" -eq 1 ]; then
  build="${ORVI_BUILD_DIR:-$ORVI_ROOT/build-sanitize}"
  # Test programs run through sanitize-run.sh, which keeps Mesa's driver
  # loaded until the leak check at exit (see there).
  cmake -S "$ORVI_ROOT" -B "$build" "${ORVI_CMAKE_LAUNCHER[@]}" -DCMAKE_BUILD_TYPE=Debug -DORVI_SANITIZE=ON \
    -DORVI_WRAP_PYTHON=OFF -DORVI_WARNINGS_AS_ERRORS=ON -DORVI_BUILD_TESTING=ON \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$ORVI_ROOT/scripts/sanitize-run.sh" >/dev/null
  # Allocations too large return null, as without the sanitizer: the loader's
  # tests read files that claim more memory than there is.
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_init_order=1:allocator_may_return_null=1"
  export LSAN_OPTIONS="suppressions=$ORVI_ROOT/scripts/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$ORVI_ROOT/scripts/ubsan.supp"
  # VTK's threads start and end with each parallel loop (its TBB backend's
  # workers stay and may be freeing memory when the loader forks its reader:
  # this sanitizer's allocator is not fork-safe, and such a child hangs on
  # its first allocation).
  export VTK_SMP_BACKEND_IN_USE=STDThread
else
  build="${ORVI_BUILD_DIR:-$ORVI_ROOT/build}"
  cmake -S "$ORVI_ROOT" -B "$build" "${ORVI_CMAKE_LAUNCHER[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVI_WARNINGS_AS_ERRORS=ON -DORVI_BUILD_TESTING=ON >/dev/null
fi
cmake --build "$build" -j "$ORVI_JOBS"
if [ "$sanitize" -eq 0 ]; then
  "$ORVI_ROOT/scripts/check-tidy.sh" "$build"
fi

cd "$build"
orvi_with_display ctest --output-on-failure -j "$ORVI_JOBS" "$@"
