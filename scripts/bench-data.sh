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
