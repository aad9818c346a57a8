#!/usr/bin/env bash
# orvi-viewer against F3D on real meshes: gmsh's tutorial 5 meshed at run
# time at several sizes (gmsh -clscale; 1 gives about 13 thousand
# tetrahedra, 0.2 about 1.2 million), written by VTK as .vtu with a point
# array "Elevation". Each viewer loads the mesh, renders it coloured by that
# array with edges and its colour legend at 1280 x 1024 and writes a
# screenshot; /usr/bin/time -v measures the wall time and the peak resident
# memory of the whole run. Each run is repeated (REPEAT, default 3) and the
# fastest kept; the table gives orvi / F3D ratios per mesh size.
#
#   ./scripts/bench-viewer.sh [SCALE...]     (default: 1 0.5 0.3 0.2)
#
# The viewer is built in Release in $ORVI_VIEWER_BENCH_BUILD_DIR (default
# build-viewer-bench); the meshes and screenshots stay in
# $ORVI_VIEWER_BENCH_DIR (default its meshes/), and a mesh already there is
# not made again.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ORVI_ROOT/scripts/deps.sh" gmsh gmsh-doc f3d python3-vtk9 time gzip

# One X server for every run, 1280 x 1024 as the screenshots.
if [ -z "${ORVI_BENCH_VIEWER_DISPLAY:-}" ]; then
  export ORVI_BENCH_VIEWER_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi

scales=("$@")
[ ${#scales[@]} -gt 0 ] || scales=(1 0.5 0.3 0.2)
repeat="${REPEAT:-3}"
build="${ORVI_VIEWER_BENCH_BUILD_DIR:-$ORVI_ROOT/build-viewer-bench}"
dir="${ORVI_VIEWER_BENCH_DIR:-$build/meshes}"
mkdir -p "$dir"

cmake -S "$ORVI_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=Release -DORVI_BUILD_TESTING=OFF \
  -DORVI_BUILD_EXAMPLES=ON -DORVI_BUILD_BENCHMARKS=OFF -DORVI_WRAP_PYTHON=OFF >/dev/null
cmake --build "$build" -j "$ORVI_JOBS" --target orvi-viewer
viewer="$build/Apps/orvi-viewer/orvi-viewer"

geo="$(find /usr/share/doc/gmsh* -name 't5.geo*' | head -n 1)"
[ -n "$geo" ] || { echo "gmsh's tutorial t5.geo is not installed" >&2; exit 1; }
case "$geo" in
  *.gz) gzip -dc "$geo" >"$dir/t5.geo" ;;
  *) cp "$geo" "$dir/t5.geo" ;;
esac

# The mesh of one scale as .vtu, with the point array "Elevation" (VTK's
# elevation filter along the bounding box's diagonal), and its cell count.
make_mesh() {
  local scale="$1" vtu="$dir/t5-$1.vtu"
  [ -s "$vtu" ] && [ -s "$vtu.cells" ] && return
  echo "meshing t5.geo with -clscale $scale" >&2
  gmsh -3 "$dir/t5.geo" -clscale "$scale" -format vtk -o "$dir/t5-$scale.vtk" >/dev/null
  /usr/bin/python3 - "$dir/t5-$scale.vtk" "$vtu" >"$vtu.cells" <<'EOF'
import sys
from vtkmodules.vtkIOLegacy import vtkUnstructuredGridReader
from vtkmodules.vtkIOXML import vtkXMLUnstructuredGridWriter
from vtkmodules.vtkFiltersCore import vtkElevationFilter
reader = vtkUnstructuredGridReader()
reader.SetFileName(sys.argv[1])
reader.Update()
b = reader.GetOutput().GetBounds()
elevation = vtkElevationFilter()
elevation.SetInputConnection(reader.GetOutputPort())
elevation.SetLowPoint(b[0], b[2], b[4])
elevation.SetHighPoint(b[1], b[3], b[5])
writer = vtkXMLUnstructuredGridWriter()
writer.SetFileName(sys.argv[2])
writer.SetInputConnection(elevation.GetOutputPort())
if not writer.Write():
    sys.exit("cannot write " + sys.argv[2])
print(reader.GetOutput().GetNumberOfCells())
EOF
  rm -f "$dir/t5-$scale.vtk"
}

# Runs "$@" under /usr/bin/time -v; prints "seconds kilobytes" of the run.
measure() {
  local log="$dir/run.log" times="$dir/run.time"
  if ! /usr/bin/time -v -o "$times" "$@" >"$log" 2>&1; then
    echo "failed: $*" >&2
    tail -n 20 "$log" >&2
    return 1
  fi
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
                 for (i = 1; i <= n; ++i) s = s * 60 + t[i] }
              /Maximum resident set size/ { kb = $2 }
              END { printf "%.2f %d\n", s, kb }' "$times"
}

# The fastest of $repeat runs and the peak memory of that run.
best_of() {
  local best="" line
  for _ in $(seq "$repeat"); do
    line="$(measure "$@")"
    if [ -z "$best" ] || awk -v a="${line% *}" -v b="${best% *}" 'BEGIN { exit !(a < b) }'; then
      best="$line"
    fi
  done
  echo "$best"
}

results=()
for scale in "${scales[@]}"; do
  make_mesh "$scale"
  vtu="$dir/t5-$scale.vtu"
  cells="$(cat "$vtu.cells")"
  echo "== t5 -clscale $scale: $cells cells" >&2
  orvi="$(best_of "$viewer" --size 1280 1024 --array Elevation --screenshot "$dir/orvi-$scale.png" "$vtu")"
  f3d="$(best_of f3d --dry-run -e -b --scalars=Elevation --resolution=1280,1024 \
    --output="$dir/f3d-$scale.png" "$vtu")"
  results+=("$scale $cells $orvi $f3d")
done

echo
printf '%-8s %10s %9s %9s %7s %9s %9s %7s\n' scale cells "orvi s" "f3d s" ratio \
  "orvi MB" "f3d MB" ratio
for r in "${results[@]}"; do
  read -r scale cells ot om ft fm <<<"$r"
  awk -v s="$scale" -v c="$cells" -v ot="$ot" -v om="$om" -v ft="$ft" -v fm="$fm" 'BEGIN {
    printf "%-8s %10d %9.2f %9.2f %7.2f %9.0f %9.0f %7.2f\n",
      s, c, ot, ft, ot / ft, om / 1024, fm / 1024, om / fm }'
done
