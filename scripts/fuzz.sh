#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer: FuzzUnstructuredGridGenerator
# (vtkKivUnstructuredGridGenerator) and FuzzMeshLoader (orvi-viewer's mesh
# loader, seeded with gmsh's tutorials meshed and written in every format at
# build time), replays their seed corpora and regression inputs through
# CTest, then fuzzes SECONDS seconds in all (default 60: half each) and prints
# the number of executions of each. Exits non-zero when a fuzzer finds a
# crash, a sanitizer report, an invalid grid or a broken promise of the
# loader; the input is then kept as <build>/fuzz-artifacts/<target>/crash-*
# (replay it with the fuzzer binary).
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
cmake -S "$ORVI_ROOT" -B "$build" "${ORVI_CMAKE_LAUNCHER[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DORVI_BUILD_FUZZERS=ON -DORVI_BUILD_TESTING=OFF -DORVI_BUILD_EXAMPLES=OFF \
  -DORVI_WRAP_PYTHON=OFF -DORVI_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" -j "$ORVI_JOBS" --target FuzzUnstructuredGridGenerator FuzzMeshLoader

# The committed seeds first, once each.
(cd "$build" && ctest --output-on-failure -R '^Fuzz')

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$ORVI_ROOT/scripts/ubsan.supp"
# A small quarantine and short allocation stacks more than double the rate;
# replaying a crash input with the binary alone gives the full reports.
export ASAN_OPTIONS="detect_leaks=1:quarantine_size_mb=32:malloc_context_size=3"

# New inputs go to a working corpus per target in the build tree; the
# committed seeds are only read.
status=0
fuzz() {
  local target="$1" time="$2"
  shift 2
  local work="$build/fuzz-corpus/$target" artifacts="$build/fuzz-artifacts/$target"
  local log="$build/fuzz-$target.log" code=0
  mkdir -p "$work" "$artifacts"
  # shellcheck disable=SC2086
  "$build/Fuzz/$target" -max_total_time="$time" -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" ${ORVI_FUZZ_ARGS:-} "$work" "$@" >"$log" 2>&1 || code=$?
  grep -E "^(==|SUMMARY|$target:|FuzzMeshLoader:|artifact_prefix|Test unit written)" "$log" || true
  local execs rate
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
  echo "$target: ${execs:-0} executions in ${time} s (${rate:-0} exec/s), corpus $(find "$work" -type f | wc -l) inputs, exit ${code}"
  if [ "$code" -ne 0 ]; then
    echo "$target found a fault; full log: $log" >&2
    status=1
  fi
}
first=$((seconds / 2))
[ "$first" -ge 1 ] || first=1
second=$((seconds - first))
[ "$second" -ge 1 ] || second=1
fuzz FuzzUnstructuredGridGenerator "$first" -max_len=1024 "$ORVI_ROOT/Fuzz/corpus"
# The loader's inputs are whole files: a few kilobytes are enough to reach
# every header and list, and keep the rate up.
fuzz FuzzMeshLoader "$second" -max_len=20000 "$build/Fuzz/mesh-seeds/corpus" \
  "$ORVI_ROOT/Fuzz/regressions"
exit "$status"
