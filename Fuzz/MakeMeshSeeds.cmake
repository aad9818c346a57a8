# Writes the seeds of FuzzMeshLoader into OUT/corpus: gmsh's tutorials t1
# (a surface), t2 and t5 (volumes) meshed coarsely, written by FORMATS
# (orviMeshFormats) in every format and by gmsh as .msh 4.1 and 2.2, ASCII
# and binary, the volumes' tetrahedra as solver results too (a .pvd, .vtm,
# .pvtu and .e with the files they name, which stay in OUT/meshes), each
# behind its format's first byte (the index of its extension in .vtk .vtu
# .vtp .stl .ply .obj .msh .pvd .vtm .pvtu .e).
set(tutorials "$ENV{ORVI_GMSH_TUTORIALS}" /usr/share/doc/gmsh-doc/doc/gmsh/tutorial
  /usr/share/doc/gmsh/tutorial /usr/share/doc/gmsh-doc/tutorial)
# VTK leaks a few bytes at exit; the fuzz build reports leaks as failures.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}/meshes" "${OUT}/corpus")
foreach(t t1 t2 t5)
  set(geo "")
  foreach(dir ${tutorials})
    if(EXISTS "${dir}/${t}.geo")
      set(geo "${dir}/${t}.geo")
      break()
    elseif(EXISTS "${dir}/${t}.geo.gz")
      execute_process(COMMAND gzip -dc "${dir}/${t}.geo.gz" OUTPUT_FILE "${OUT}/${t}.geo")
      set(geo "${OUT}/${t}.geo")
      break()
    endif()
  endforeach()
  if(NOT geo)
    message(FATAL_ERROR "gmsh's tutorial ${t}.geo is not installed (package gmsh-doc)")
  endif()
  set(dim -3)
  if(t STREQUAL "t1")
    set(dim -2)
  endif()
  execute_process(COMMAND gmsh ${dim} "${geo}" -clscale 4 -format vtk -o "${OUT}/${t}.vtk"
    OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE failed)
  execute_process(COMMAND "${FORMATS}" "${OUT}/${t}.vtk" "${OUT}/meshes" RESULT_VARIABLE failed2)
  if(NOT t STREQUAL "t1" AND NOT failed2)
    execute_process(COMMAND "${FORMATS}" --solver "${OUT}/${t}.vtk" "${OUT}/meshes"
      RESULT_VARIABLE failed2)
  endif()
  if(failed OR failed2)
    message(FATAL_ERROR "could not mesh and convert ${geo}")
  endif()
  foreach(version msh41 msh22)
    foreach(binary "" -bin)
      execute_process(COMMAND gmsh ${dim} "${geo}" -clscale 4 -format ${version} ${binary}
        -o "${OUT}/meshes/${t}-${version}${binary}.msh" OUTPUT_QUIET ERROR_QUIET
        RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "could not mesh ${geo} as ${version} ${binary}")
      endif()
    endforeach()
  endforeach()
endforeach()
set(extensions .vtk .vtu .vtp .stl .ply .obj .msh .pvd .vtm .pvtu .e)
file(GLOB meshes LIST_DIRECTORIES false "${OUT}/meshes/*")
foreach(mesh ${meshes})
  get_filename_component(name "${mesh}" NAME)
  get_filename_component(ext "${mesh}" LAST_EXT)
  list(FIND extensions "${ext}" index)
  execute_process(COMMAND python3 -c
    "import sys; d = open(sys.argv[2], 'rb').read(); open(sys.argv[3], 'wb').write(bytes([int(sys.argv[1])]) + d)"
    ${index} "${mesh}" "${OUT}/corpus/${name}")
endforeach()
file(WRITE "${OUT}/done" "")
