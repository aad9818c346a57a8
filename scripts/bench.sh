#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them under an X server. Every case
# <Case>/Orvi is printed as a ratio to its baseline <Case>/Vtk from the same
# run. Extra arguments go to every benchmark program (e.g.
# --benchmark_filter=Band).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ORVI_ROOT/scripts/deps.sh" python3

build="${ORVI_BENCH_BUILD_DIR:-$ORVI_ROOT/build-bench}"
cmake -S "$ORVI_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=Release -DORVI_BUILD_TESTING=OFF \
  -DORVI_BUILD_EXAMPLES=OFF -DORVI_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j "$ORVI_JOBS"

results="$build/bench-results"
mkdir -p "$results"
for exe in "$build"/Benchmarks/Bench*; do
  [ -x "$exe" ] || continue
  name="$(basename "$exe")"
  echo "== $name"
  orvi_with_display "$exe" --benchmark_out="$results/$name.json" \
    --benchmark_out_format=json "$@"
done

python3 "$ORVI_ROOT/scripts/bench_ratios.py" "$results"/*.json
