# Sourced by scripts/bench.sh and scripts/bench-viewer.sh: the benchmarks'
# meshes, made at bench time from gmsh's tutorial t5 (Debian's gmsh and
# gmsh-doc, found through dpkg) and kept in a folder of the build, so that a
# second run makes nothing again. Each file is written under a temporary name
# and moved into place once whole: an interrupted run leaves no half file.

# Copies gmsh's t5.geo (unzipped) into the folder $1.
bench_t5_geo() {
  local dir="$1" geo
  [ -s "$dir/t5.geo" ] && return 0
  geo="$(dpkg -L gmsh-doc gmsh 2>/dev/null | grep -E '/t5\.geo(\.gz)?$' | head -n 1)"
  if [ -z "$geo" ]; then
    echo "gmsh's tutorial t5.geo is not installed (package gmsh-doc)" >&2
    return 1
  fi
  mkdir -p "$dir"
  case "$geo" in
    *.gz) gzip -dc "$geo" >"$dir/t5.geo.part" ;;
    *) cp "$geo" "$dir/t5.geo.part" ;;
  esac
  mv "$dir/t5.geo.part" "$dir/t5.geo"
}

# gmsh's t5 meshed with -clscale $2 into the binary file $3 of gmsh's format
# $4 (default vtk, the legacy .vtk; msh41 for gmsh's own), in the folder $1
# (with gmsh's log beside it).
bench_t5_mesh() {
  local dir="$1" scale="$2" out="$3" format="${4:-vtk}"
  [ -s "$out" ] && return 0
  bench_t5_geo "$dir" || return 1
  echo "meshing gmsh's t5 with -clscale $scale into $out" >&2
  if ! gmsh -3 "$dir/t5.geo" -clscale "$scale" -format "$format" -bin -o "$out.part.${out##*.}" \
    >"$out.log" 2>&1; then
    echo "gmsh could not mesh t5 (see $out.log)" >&2
    return 1
  fi
  mv "$out.part.${out##*.}" "$out"
}

# The mesh $2 with each tetrahedron split into eight, written by the tool $1
# (orvi-refine-tetrahedra) into the .vtu $3; prints the tool's line
# "N points, M cells".
bench_refine() {
  local tool="$1" in="$2" out="$3"
  [ -s "$out" ] && return 0
  echo "splitting each tetrahedron of $in into eight" >&2
  "$tool" "$in" "${out%.vtu}.part.vtu" || return 1
  mv "${out%.vtu}.part.vtu" "$out"
}

# gmsh's t5 meshed with -clscale $2 into gmsh's binary .msh 4.1 $3, and the
# same mesh saved by gmsh as a binary legacy .vtk $4 (gmsh converts its own
# file, so both hold the same nodes and elements).
bench_t5_msh() {
  local dir="$1" scale="$2" msh="$3" vtk="$4"
  bench_t5_mesh "$dir" "$scale" "$msh" msh41 || return 1
  [ -s "$vtk" ] && return 0
  if ! gmsh "$msh" -save -format vtk -bin -o "$vtk.part.vtk" >>"$msh.log" 2>&1; then
    echo "gmsh could not save $msh as .vtk (see $msh.log)" >&2
    return 1
  fi
  mv "$vtk.part.vtk" "$vtk"
}

# The mesh $2 (a .vtu) as a time series of $3 steps in the folder $1:
# STEP-K.vtu, each the same points and cells with the point fields of its
# time t = K / 10 ("temperature", a wave along x moving with t, and
# "displacement", a shear growing with t), written as the mesh is (appended,
# raw, uncompressed, 32-bit ids), and steps.pvd naming them. The meshes of
# the steps the benchmarks step through.
bench_time_steps() {
  local dir="$1" mesh="$2" steps="$3"
  [ -s "$dir/steps.pvd" ] && return 0
  mkdir -p "$dir"
  echo "writing $mesh as $steps time steps into $dir" >&2
  /usr/bin/python3 - "$mesh" "$dir" "$steps" <<'PY' || return 1
import os, sys
import numpy as np
from vtkmodules.util.numpy_support import numpy_to_vtk, vtk_to_numpy
from vtkmodules.vtkIOXML import vtkXMLUnstructuredGridReader, vtkXMLUnstructuredGridWriter
mesh, out, steps = sys.argv[1], sys.argv[2], int(sys.argv[3])
reader = vtkXMLUnstructuredGridReader()
reader.SetFileName(mesh)
reader.Update()
grid = reader.GetOutput()
points = vtk_to_numpy(grid.GetPoints().GetData()).astype(np.float64)
lines = []
for k in range(steps):
    t = k / 10.0
    data = grid.GetPointData()
    for name in [data.GetArrayName(i) for i in range(data.GetNumberOfArrays())]:
        data.RemoveArray(name)
    temperature = numpy_to_vtk(np.sin(points[:, 0] * 4 + t) + t, deep=1)
    temperature.SetName("temperature")
    shear = np.zeros_like(points)
    shear[:, 0] = 0.1 * t * points[:, 1]
    displacement = numpy_to_vtk(shear.astype(np.float32), deep=1)
    displacement.SetName("displacement")
    data.AddArray(temperature)
    data.AddArray(displacement)
    name = "step-%d.vtu" % k
    writer = vtkXMLUnstructuredGridWriter()
    writer.SetFileName(os.path.join(out, name + ".part"))
    writer.SetInputData(grid)
    writer.SetDataModeToAppended()
    writer.EncodeAppendedDataOff()
    writer.SetCompressorTypeToNone()
    writer.SetIdTypeToInt32()
    if not writer.Write():
        sys.exit("cannot write " + name)
    os.replace(os.path.join(out, name + ".part"), os.path.join(out, name))
    lines.append('<DataSet timestep="%g" part="0" file="%s"/>' % (t, name))
with open(os.path.join(out, "steps.pvd.part"), "w") as pvd:
    pvd.write('<?xml version="1.0"?>\n<VTKFile type="Collection" version="0.1">\n<Collection>\n')
    pvd.write("\n".join(lines) + "\n</Collection>\n</VTKFile>\n")
os.replace(os.path.join(out, "steps.pvd.part"), os.path.join(out, "steps.pvd"))
PY
}
