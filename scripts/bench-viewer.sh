#!/usr/bin/env bash
# orvi-viewer against F3D and against VTK's bare read on real meshes:
# gmsh's tutorial 5 meshed at run time at several sizes (gmsh -clscale; 1
# gives about 13 thousand tetrahedra, 0.2 about 1.2 million), written by VTK
# as .vtu with a point array "Elevation"; the size "10m" is the 0.2 mesh
# with each tetrahedron split into eight (orvi-refine-tetrahedra: about 10
# million, a binary .vtu of 32-bit ids, uncompressed). Each viewer loads the
# mesh, renders it coloured by that array with edges and its colour legend
# at 1280 x 1024 and writes a screenshot; /usr/bin/time -v measures the wall
# time and the peak resident memory of the whole run. The baseline "read" is
# VTK's vtkXMLUnstructuredGridReader alone on the same file
# (orvi-bare-read): what any viewer reading through VTK pays at least. Each
# run is repeated (REPEAT, default 3) and the fastest kept (F3D once from 5
# million cells on, where one run takes over a minute); the table gives the
# times, the peak memory and the ratios orvi / F3D and orvi / read per mesh,
# and the CPU time (user + system) of orvi and of the read, which a busy
# machine does not inflate as it does the wall time.
# Last, for the largest mesh, where the viewer's seconds and megabytes go:
# each step from its log lines, timed as they appear, with the resident
# memory at its end and its peak.
#
#   ./scripts/bench-viewer.sh [SCALE...]     (default: 1 0.5 0.3 0.2 10m)
#
# The scale "msh" compares gmsh's own file with the legacy .vtk instead: t5
# at -clscale 0.2 (about 1.2 million tetrahedra) meshed into a binary .msh
# 4.1 and saved by gmsh as a binary .vtk, orvi-viewer's first picture from
# each, the runs of the two interleaved, the fastest of each kept.
#
# The scale "enc" compares the first picture with VTK's bare read of the same
# file over the encodings of vtkXMLUnstructuredGridWriter, on the 10m mesh
# written again by VTK's writer: appended base64 zlib (the writer's
# default), appended raw zlib, appended raw with 64-bit ids, appended raw
# with 32-bit ids, and a .pvtu of four pieces (a quarter of the cells each,
# the writer's default encoding) against vtkXMLPUnstructuredGridReader's
# serial read. The viewer's run and the read's alternate, REPEAT pairs;
# each side's median wall time, CPU time and peak memory, and the median of
# the pairs' ratios. "enc80m" does the same on the 10m mesh split again
# (about 80 million tetrahedra, several GB a file: opt-in).
#
# The viewer is built in Release in $ORVI_VIEWER_BENCH_BUILD_DIR (default
# build-viewer-bench); the meshes and screenshots stay in
# $ORVI_VIEWER_BENCH_DIR (default its meshes/), and a mesh already there is
# not made again.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$ORVI_ROOT/scripts/bench-data.sh"

"$ORVI_ROOT/scripts/deps.sh" gmsh gmsh-doc f3d python3-vtk9 time gzip coreutils libbenchmark-dev

# One X server for every run, 1280 x 1024 as the screenshots.
if [ -z "${ORVI_BENCH_VIEWER_DISPLAY:-}" ]; then
  export ORVI_BENCH_VIEWER_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi

scales=("$@")
[ ${#scales[@]} -gt 0 ] || scales=(1 0.5 0.3 0.2 10m)
repeat="${REPEAT:-3}"
build="${ORVI_VIEWER_BENCH_BUILD_DIR:-$ORVI_ROOT/build-viewer-bench}"
dir="${ORVI_VIEWER_BENCH_DIR:-$build/meshes}"
mkdir -p "$dir"

cmake -S "$ORVI_ROOT" -B "$build" "${ORVI_CMAKE_LAUNCHER[@]}" -DCMAKE_BUILD_TYPE=Release -DORVI_BUILD_TESTING=OFF \
  -DORVI_BUILD_EXAMPLES=ON -DORVI_BUILD_BENCHMARKS=ON -DORVI_WRAP_PYTHON=OFF >/dev/null
cmake --build "$build" -j "$ORVI_JOBS" --target orvi-viewer orvi-refine-tetrahedra orvi-bare-read
viewer="$build/Apps/orvi-viewer/orvi-viewer"
refine="$build/Benchmarks/orvi-refine-tetrahedra"
bare_read="$build/Benchmarks/orvi-bare-read"

bench_t5_geo "$dir"

# The mesh of one scale as .vtu, with the point array "Elevation" (VTK's
# elevation filter along the bounding box's diagonal), and its cell count.
make_mesh() {
  local scale="$1" vtu="$dir/t5-$1.vtu"
  [ -s "$vtu" ] && [ -s "$vtu.cells" ] && return
  if [ "$scale" = 10m ]; then
    make_mesh 0.2
    rm -f "$vtu"
    bench_refine "$refine" "$dir/t5-0.2.vtu" "$vtu" | awk '{ print $3 }' >"$vtu.cells"
    return
  fi
  bench_t5_mesh "$dir" "$scale" "$dir/t5-$scale.vtk"
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

# Runs "$@" under /usr/bin/time -v; prints "seconds kilobytes cpu-seconds"
# of the run (wall time, peak resident memory, user + system time: on a
# busy machine the last says what the run itself cost).
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
              /User time|System time/ { cpu += $2 }
              END { printf "%.2f %d %.2f\n", s, kb, cpu }' "$times"
}

# The faster of two lines of measure (the first may be empty).
faster_of() {
  if [ -z "$1" ] || awk -v a="${2%% *}" -v b="${1%% *}" 'BEGIN { exit !(a < b) }'; then
    echo "$2"
  else
    echo "$1"
  fi
}

# The fastest of $repeat runs and the peak memory of that run.
best_of() {
  local best=""
  for _ in $(seq "$repeat"); do
    best="$(faster_of "$best" "$(measure "$@")")"
  done
  echo "$best"
}

# Where the viewer's seconds and megabytes go: its log lines timed as they
# appear (line-buffered), its resident memory sampled every 10 ms.
breakdown() {
  /usr/bin/python3 - "$@" <<'EOF'
import os, subprocess, sys, threading, time
start = time.monotonic()
p = subprocess.Popen(["stdbuf", "-oL", "-eL"] + sys.argv[1:], stdout=subprocess.PIPE,
                     stderr=subprocess.STDOUT, text=True, bufsize=1)
rss = [0, 0, 0.0]  # now, peak since the last step, cpu seconds
tick = os.sysconf("SC_CLK_TCK")
def sample():
    while p.poll() is None:
        try:
            with open("/proc/%d/status" % p.pid) as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        rss[0] = int(line.split()[1])
                        rss[1] = max(rss[1], rss[0])
            with open("/proc/%d/stat" % p.pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
                rss[2] = (int(fields[11]) + int(fields[12])) / tick
        except (OSError, IndexError, ValueError):
            pass
        time.sleep(0.01)
threading.Thread(target=sample, daemon=True).start()
# Each step ends with the first line that starts so.
# The window is made while the child reads, and while the surface is
# extracted: "read" is the read and the mesh's transfer from the child,
# "window, after the surface" what is left of the window's making once the
# surface is there (none when it was made first).
steps = [("loading ", "start"), ("loaded ", "read"), ("extracting the surface", "set-up"),
         ("surface: ", "surface"), ("colouring ", "window, after the surface"),
         ("wrote ", "colouring + first frame + screenshot")]
rows, last, lastCpu, step = [], 0.0, 0.0, 0
for line in p.stdout:
    now = time.monotonic() - start
    if step < len(steps) and line.startswith(steps[step][0]):
        rows.append((steps[step][1], now - last, rss[2] - lastCpu, rss[0], rss[1]))
        last, lastCpu, rss[1], step = now, rss[2], rss[0], step + 1
p.wait()
rows.append(("exit", time.monotonic() - start - last, rss[2] - lastCpu, rss[0], rss[1]))
print("%-38s %8s %8s %10s %10s" % ("step", "s", "cpu s", "MB at end", "peak MB"))
for name, seconds, cpu, now, peak in rows:
    print("%-38s %8.2f %8.2f %10.0f %10.0f" % (name, seconds, cpu, now / 1024, peak / 1024))
print("%-38s %8.2f (cpu sampled every 10 ms: the last step's is cut short)" % ("total", time.monotonic() - start))
EOF
}

# orvi-viewer on gmsh's .msh against the same mesh as legacy .vtk.
compare_msh() {
  local msh="$dir/t5-0.2-41.msh" vtk="$dir/t5-0.2-msh.vtk" best_msh="" best_vtk=""
  bench_t5_msh "$dir" 0.2 "$msh" "$vtk"
  echo "== t5 0.2: gmsh's .msh 4.1 against its legacy .vtk" >&2
  for _ in $(seq "$repeat"); do
    best_msh="$(faster_of "$best_msh" "$(measure "$viewer" --size 1280 1024 --screenshot "$dir/orvi-msh.png" "$msh")")"
    best_vtk="$(faster_of "$best_vtk" "$(measure "$viewer" --size 1280 1024 --screenshot "$dir/orvi-msh-vtk.png" "$vtk")")"
  done
  echo
  printf '%-16s %7s %7s %8s\n' file "orvi s" "orvi MB" "orvi cpu"
  read -r mt mm mc <<<"$best_msh"
  read -r vt vm vc <<<"$best_vtk"
  awk -v mt="$mt" -v mm="$mm" -v mc="$mc" -v vt="$vt" -v vm="$vm" -v vc="$vc" 'BEGIN {
    printf "%-16s %7.2f %7.0f %8.2f\n", ".msh 4.1 binary", mt, mm / 1024, mc
    printf "%-16s %7.2f %7.0f %8.2f\n", ".vtk binary", vt, vm / 1024, vc
    printf "%-16s %7.2f %7.2f %8.2f\n", ".msh / .vtk", mt / vt, mm / vm, mc / vc }'
}

# The 10m (or 80m) mesh in the writer's encodings ($1: 10m or 80m), each
# file made once.
make_encodings() {
  local size="$1" base="$dir/t5-$1"
  make_mesh 10m
  if [ "$size" = 80m ] && [ ! -s "$base.vtu" ]; then
    bench_refine "$refine" "$dir/t5-10m.vtu" "$base.vtu" >/dev/null
  fi
  [ -e "$base-pieces.done" ] && return
  echo "writing $base.vtu in VTK's encodings" >&2
  /usr/bin/python3 - "$base.vtu" "$base" <<'PY'
import os, re, sys
from vtkmodules.vtkCommonCore import vtkIdList
from vtkmodules.vtkFiltersExtraction import vtkExtractCells
from vtkmodules.vtkIOXML import vtkXMLUnstructuredGridReader, vtkXMLUnstructuredGridWriter
from vtkmodules.vtkIOParallelXML import vtkXMLPUnstructuredGridWriter
source, base = sys.argv[1], sys.argv[2]
reader = vtkXMLUnstructuredGridReader()
reader.SetFileName(source)
reader.Update()
grid = reader.GetOutput()
# VTK's writer writes the ids in the cell array's own storage: 64-bit as a
# mesh made in memory has them, 32-bit for the last file (as
# ConvertTo32BitStorage() leaves them).
def write(data, path, encoded=True, compressed=True, ids32=False):
    if ids32:
        data.GetCells().ConvertTo32BitStorage()
    else:
        data.GetCells().ConvertTo64BitStorage()
    writer = vtkXMLUnstructuredGridWriter()
    writer.SetFileName(path + ".part")
    writer.SetInputData(data)
    if not encoded:
        writer.EncodeAppendedDataOff()
    if not compressed:
        writer.SetCompressorTypeToNone()
    if ids32:
        writer.SetIdTypeToInt32()
    if not writer.Write():
        sys.exit("cannot write " + path)
    os.replace(path + ".part", path)
write(grid, base + "-b64z.vtu")
write(grid, base + "-rawz.vtu", encoded=False)
write(grid, base + "-raw64.vtu", encoded=False, compressed=False)
write(grid, base + "-raw32.vtu", encoded=False, compressed=False, ids32=True)
# VTK's writer without a streaming pipeline writes the whole mesh into each
# piece, so each piece is written again with its quarter of the cells.
summary = vtkXMLPUnstructuredGridWriter()
summary.SetFileName(base + "-pieces.pvtu")
summary.SetInputData(grid)
summary.SetNumberOfPieces(4)
summary.SetStartPiece(0)
summary.SetEndPiece(0)
if not summary.Write():
    sys.exit("cannot write " + base + "-pieces.pvtu")
# Written from piece 0 alone, the summary names that piece: it names all
# four here.
with open(base + "-pieces.pvtu") as f:
    text = f.read()
first = re.search(r'<Piece Source="([^"]*)_0\.vtu"/>', text)
sources = ["%s_%d.vtu" % (first.group(1), k) for k in range(4)]
text = text.replace(first.group(0), "\n".join('<Piece Source="%s"/>' % s for s in sources))
with open(base + "-pieces.pvtu", "w") as f:
    f.write(text)
cells = grid.GetNumberOfCells()
for k, source in enumerate(sources):
    ids = vtkIdList()
    ids.SetNumberOfIds(cells * (k + 1) // 4 - cells * k // 4)
    for i, c in enumerate(range(cells * k // 4, cells * (k + 1) // 4)):
        ids.SetId(i, c)
    extract = vtkExtractCells()
    extract.SetInputData(grid)
    extract.SetCellList(ids)
    extract.Update()
    write(extract.GetOutput(), os.path.join(os.path.dirname(base), source))
open(base + "-pieces.done", "w").close()
PY
}

# The viewer's first picture against the bare read of each encoding of
# the 10m (or 80m) mesh, the two runs of a pair one after the other.
compare_encodings() {
  local size="$1" base="$dir/t5-$1" name file rows=()
  make_encodings "$size"
  for name in b64z rawz raw64 raw32 pieces; do
    file="$base-$name.vtu"
    [ "$name" != pieces ] || file="$base-pieces.pvtu"
    echo "== t5 $size $name: the viewer and the bare read, $repeat pairs ($(uptime))" >&2
    local pairs=""
    for _ in $(seq "$repeat"); do
      pairs+="$(measure "$viewer" --size 1280 1024 --screenshot "$dir/orvi-$size-$name.png" "$file")"
      pairs+=" $(measure "$bare_read" "$file")"$'\n'
    done
    rows+=("$name $(du -mc "$file" "${file%.pvtu}"/*.vtu "${file%.pvtu}"_*.vtu 2>/dev/null | tail -n 1 | cut -f1) $(printf '%s' "$pairs" | awk '
      function median(v, n,   i, j, t) {
        for (i = 2; i <= n; ++i) for (j = i; j > 1 && v[j - 1] > v[j]; --j) {
          t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2 }
      NF == 6 { ++n; ot[n] = $1; om[n] = $2; oc[n] = $3; rt[n] = $4; rm[n] = $5; rc[n] = $6
                wr[n] = $1 / $4; cr[n] = $3 / $6; mr[n] = $2 / $5 }
      END { printf "%.2f %.2f %.0f %.2f %.2f %.0f %.2f %.2f %.2f", median(ot, n), median(oc, n),
              median(om, n) / 1024, median(rt, n), median(rc, n), median(rm, n) / 1024,
              median(wr, n), median(cr, n), median(mr, n) }')")
  done
  echo
  echo "t5 $size, orvi-viewer's first picture against VTK's bare read (medians of $repeat pairs; uptime: $(uptime))"
  printf '%-7s %6s | %7s %7s %7s | %7s %7s %7s | %6s %6s %6s\n' encoding MB "orvi s" "o cpu" \
    "orvi MB" "read s" "r cpu" "read MB" "o/r s" "o/r cpu" "o/r MB"
  for r in "${rows[@]}"; do
    # shellcheck disable=SC2086
    printf '%-7s %6s | %7s %7s %7s | %7s %7s %7s | %6s %6s %6s\n' $r
  done
}

results=()
largest=""
for scale in "${scales[@]}"; do
  if [ "$scale" = msh ]; then
    compare_msh
    continue
  fi
  if [ "$scale" = enc ] || [ "$scale" = enc80m ]; then
    size=10m
    [ "$scale" = enc ] || size=80m
    compare_encodings "$size"
    continue
  fi
  make_mesh "$scale"
  vtu="$dir/t5-$scale.vtu"
  cells="$(cat "$vtu.cells")"
  echo "== t5 $scale: $cells cells" >&2
  orvi="$(best_of "$viewer" --size 1280 1024 --array Elevation --screenshot "$dir/orvi-$scale.png" "$vtu")"
  read_only="$(best_of "$bare_read" "$vtu")"
  f3d_repeat="$repeat"
  [ "$cells" -lt 5000000 ] || f3d_repeat=1
  f3d="$(repeat="$f3d_repeat" best_of f3d --dry-run -e -b --scalars=Elevation \
    --resolution=1280,1024 --output="$dir/f3d-$scale.png" "$vtu")"
  results+=("$scale $cells $orvi $f3d $read_only")
  largest="$vtu"
done

if [ ${#results[@]} -gt 0 ]; then
  echo
  printf '%-6s %9s | %7s %7s %6s | %7s %7s %6s | %7s %7s %6s %6s | %8s %8s %6s\n' scale cells \
    "orvi s" "f3d s" ratio "orvi MB" "f3d MB" ratio "read s" "read MB" "o/r s" "o/r MB" \
    "orvi cpu" "read cpu" "o/r"
  for r in "${results[@]}"; do
    read -r scale cells ot om oc ft fm fc rt rm rc <<<"$r"
    awk -v s="$scale" -v c="$cells" -v ot="$ot" -v om="$om" -v oc="$oc" -v ft="$ft" -v fm="$fm" \
      -v rt="$rt" -v rm="$rm" -v rc="$rc" 'BEGIN {
      printf "%-6s %9d | %7.2f %7.2f %6.2f | %7.0f %7.0f %6.2f | %7.2f %7.0f %6.2f %6.2f | %8.2f %8.2f %6.2f\n",
        s, c, ot, ft, ot / ft, om / 1024, fm / 1024, om / fm, rt, rm / 1024, ot / rt, om / rm,
        oc, rc, oc / rc }'
  done
fi

if [ -n "$largest" ]; then
  echo
  echo "where orvi-viewer's time and memory go on $(basename "$largest"):"
  breakdown "$viewer" --size 1280 1024 --array Elevation --screenshot "$dir/orvi-breakdown.png" \
    "$largest"
fi
