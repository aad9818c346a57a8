# Installs the build tree into a fresh prefix, then configures, builds and runs
# Examples/Consumer against that prefix: a user's view of the package.
# The consumer sees VTK through a view that has only the library's own VTK
# modules, as on a machine without the modules the hosts need: the package
# must not ask for more.
# Variables: BUILD_DIR, SOURCE_DIR, WORK_DIR, GENERATOR, SANITIZE, VTK_DIR,
# LIBRARY_COMPONENTS.
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Failed (${result}): ${ARGV}\n${out}\n${err}")
  endif()
  message(STATUS "${out}")
endfunction()

run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")

set(view "${WORK_DIR}/vtk-view")
file(WRITE "${view}/vtk-config-version.cmake" "include(\"${VTK_DIR}/vtk-config-version.cmake\")\n")
file(WRITE "${view}/vtk-config.cmake" "
set(_view_modules \"${LIBRARY_COMPONENTS}\")
foreach(_view_component IN LISTS VTK_FIND_COMPONENTS)
  if(NOT _view_component IN_LIST _view_modules)
    set(VTK_FOUND FALSE)
    set(VTK_NOT_FOUND_MESSAGE \"this VTK has no module \${_view_component}\")
    return()
  endif()
endforeach()
include(\"${VTK_DIR}/vtk-config.cmake\")
")
set(flags)
if(SANITIZE)
  # A sanitized library needs a sanitized executable.
  set(flags "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined"
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined")
endif()
run("${CMAKE_COMMAND}" -S "${SOURCE_DIR}/Examples/Consumer" -B "${WORK_DIR}/build"
  -G "${GENERATOR}" "-DCMAKE_PREFIX_PATH=${prefix}" "-DVTK_DIR=${view}" ${flags})
run("${CMAKE_COMMAND}" --build "${WORK_DIR}/build")
run("${WORK_DIR}/build/orviConsumer")
