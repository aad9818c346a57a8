#!/usr/bin/env bash
# Builds the libFuzzer target of vtkKivUnstructuredGridGenerator with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer, replays the seed corpus
# through CTest, then fuzzes for SECONDS seconds (default 60) and prints the
# number of executions. Exits non-zero when the fuzzer finds a crash, a
# sanitizer report or an invalid grid; the input is then kept as
# <build>/fuzz-artifacts/crash-* (replay it with the fuzzer binary).
#
#   ./scripts/fuzz.sh 60
#
# Environment: ORVI_FUZZ_BUILD_DIR (default build-fuzz in the tree),
# ORVI_FUZZ_ARGS (further libFuzzer options).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

seconds="${1:-60}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: $0 SECONDS" >&2
  exit 2
fi

"$ORVI_ROOT/scripts/deps.sh" clang libclang-rt-14-dev

build="${ORVI_FUZZ_BUILD_DIR:-$ORVI_ROOT/build-fuzz}"
cmake -S "$ORVI_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DORVI_BUILD_FUZZERS=ON -DORVI_BUILD_TESTING=OFF -DORVI_BUILD_EXAMPLES=OFF \
  -DORVI_WRAP_PYTHON=OFF -DORVI_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" -j "$ORVI_JOBS" --target FuzzUnstructuredGridGenerator

# The committed seeds first, once each.
(cd "$build" && ctest --output-on-failure -R '^Fuzz')

# New inputs go to a working corpus in the build tree; the committed seeds
# are only read.
work="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
log="$build/fuzz.log"
mkdir -p "$work" "$artifacts"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$ORVI_ROOT/scripts/ubsan.supp"
# A small quarantine and short allocation stacks more than double the rate;
# replaying a crash input with the binary alone gives the full reports.
export ASAN_OPTIONS="detect_leaks=1:quarantine_size_mb=32:malloc_context_size=3"

status=0
# shellcheck disable=SC2086
"$build/Fuzz/FuzzUnstructuredGridGenerator" -max_total_time="$seconds" -max_len=1024 \
  -timeout=20 -print_final_stats=1 -artifact_prefix="$artifacts/" ${ORVI_FUZZ_ARGS:-} \
  "$work" "$ORVI_ROOT/Fuzz/corpus" >"$log" 2>&1 || status=$?

grep -E '^(==|SUMMARY|FuzzUnstructuredGridGenerator:|artifact_prefix|Test unit written)' "$log" || true
tail -n 3 "$log" | grep -E '#[0-9]+' || true
execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
echo "Fuzzing: ${execs:-0} executions in ${seconds} s (${rate:-0} exec/s), corpus $(find "$work" -type f | wc -l) inputs, exit ${status}"
if [ "$status" -ne 0 ]; then
  echo "The fuzzer found a fault; full log: $log" >&2
fi
exit "$status"
