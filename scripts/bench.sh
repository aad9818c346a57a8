#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them under an X server. Every case
# <Case>/Orvi is printed as a ratio to its baseline <Case>/<Baseline> from the
# same run (scripts/bench_ratios.py: Vtk for VTK's own way of doing the same
# thing, otherwise a name saying what the baseline is).
#
#   ./scripts/bench.sh [--quick] [--repetitions N] [BENCHMARK_OPTION...]
#   ./scripts/bench.sh --instructions
#
# --repetitions N (default 3): every case runs N times; the table gives the
# median of each side and the spread of its runs. --quick: one short run of
# each case (--benchmark_min_time=0.01), for a first check. Other options go
# to every benchmark program (e.g. --benchmark_filter=Edges).
#
# The frame cases of BenchMainPass are pairs (<Case>/Pair): VTK's frame and
# orvi's drawn in turn in one process, each timed by the process's CPU time,
# for at least ORVI_BENCH_FRAME_SECONDS (3 here, 0.01 with --quick) a
# repetition; the table marks them "cpu, interleaved" and gives the spread of
# their repetitions' ratios. --instructions runs each of those pairs under
# valgrind's callgrind instead (a frame of each side after the first, Mesa
# rasterising in the render thread) and prints the instructions a frame and
# their ratio: the same on a busy machine as on a quiet one, where wall and
# CPU times are not.
#
# The meshes are made here at the first run and kept in the build folder
# ($ORVI_BENCH_BUILD_DIR/bench-data, default build-bench/bench-data, passed
# to the programs as ORVI_BENCH_DATA): gmsh's tutorial t5 meshed with
# -clscale 0.2 (t5-1m.vtk, about 1.2 million tetrahedra, legacy binary) and
# each of its tetrahedra split into eight (t5-10m.vtu, about 10 million,
# orvi-refine-tetrahedra), and that as ten time steps of new point fields
# (steps/steps.pvd, BenchViewerSteps). BenchBoundarySurface meshes its own t5 there. A
# case that cannot run (no gmsh, say) prints why on its line of the table.
# The Qt band (BenchQtRubberBand) is built when Qt 5 is found. The load
# average is printed before and after: on a busy machine wall times say as
# much about the others as about the code.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$ORVI_ROOT/scripts/bench-data.sh"

repetitions=3
instructions=0
export ORVI_BENCH_FRAME_SECONDS="${ORVI_BENCH_FRAME_SECONDS:-3}"
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) repetitions=1; args+=(--benchmark_min_time=0.01); ORVI_BENCH_FRAME_SECONDS=0.01 ;;
    --instructions) instructions=1 ;;
    --repetitions) repetitions="$2"; shift ;;
    --repetitions=*) repetitions="${1#*=}" ;;
    *) args+=("$1") ;;
  esac
  shift
done

if [ "$instructions" = 1 ]; then
  "$ORVI_ROOT/scripts/deps.sh" python3 python3-vtk9 python3-numpy valgrind
else
  "$ORVI_ROOT/scripts/deps.sh" python3 python3-vtk9 python3-numpy
fi
start=$SECONDS
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"

build="${ORVI_BENCH_BUILD_DIR:-$ORVI_ROOT/build-bench}"
cmake -S "$ORVI_ROOT" -B "$build" "${ORVI_CMAKE_LAUNCHER[@]}" -DCMAKE_BUILD_TYPE=Release \
  -DORVI_BUILD_TESTING=OFF -DORVI_BUILD_EXAMPLES=ON -DORVI_WRAP_PYTHON=OFF \
  -DORVI_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j "$ORVI_JOBS" --target orvi-benchmarks

export ORVI_BENCH_DATA="${ORVI_BENCH_DATA:-$build/bench-data}"
mkdir -p "$ORVI_BENCH_DATA"
# A mesh that cannot be made leaves its cases to say so.
bench_t5_mesh "$ORVI_BENCH_DATA" 0.2 "$ORVI_BENCH_DATA/t5-1m.vtk" &&
  bench_refine "$build/Benchmarks/orvi-refine-tetrahedra" "$ORVI_BENCH_DATA/t5-1m.vtk" \
    "$ORVI_BENCH_DATA/t5-10m.vtu" &&
  bench_time_steps "$ORVI_BENCH_DATA/steps" "$ORVI_BENCH_DATA/t5-10m.vtu" 10 || true

results="$build/bench-results"
mkdir -p "$results"
rm -f "$results"/*.json

if [ "$instructions" = 1 ]; then
  counts="$results/callgrind"
  rm -rf "$counts"
  mkdir -p "$counts"
  for case in MainPassFrame HexMeshWithEdges TetMeshWithEdges SurfaceWithEdges; do
    echo "== $case under callgrind"
    ORVI_BENCH_FRAME_SECONDS=0.0001 LP_NUM_THREADS=0 orvi_with_display valgrind --tool=callgrind \
      --instr-atstart=no --callgrind-out-file="$counts/$case.%p" \
      "$build/Benchmarks/BenchMainPass" --benchmark_filter="^$case/Pair" >"$counts/$case.log" 2>&1 ||
      echo "$case failed under callgrind (see $counts/$case.log)" >&2
    grep -h "ERROR OCCURRED" "$counts/$case.log" || true # a case that skipped, and why
  done
  shopt -s nullglob
  python3 "$ORVI_ROOT/scripts/bench_ratios.py" --instructions "$counts"/*.[0-9]*
  echo
  echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg); $((SECONDS - start)) s"
  exit 0
fi
failed=()
for exe in "$build"/Benchmarks/Bench*; do
  [ -x "$exe" ] || continue
  name="$(basename "$exe")"
  echo "== $name"
  if ! orvi_with_display "$exe" --benchmark_out="$results/$name.json" \
    --benchmark_out_format=json --benchmark_repetitions="$repetitions" \
    --benchmark_enable_random_interleaving=true ${args[@]+"${args[@]}"}; then
    failed+=("$name")
  fi
done

shopt -s nullglob
python3 "$ORVI_ROOT/scripts/bench_ratios.py" "$results"/*.json
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg); $((SECONDS - start)) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
