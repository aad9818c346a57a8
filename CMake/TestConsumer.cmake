# Installs the build tree into a fresh prefix, then configures, builds and runs
# Examples/Consumer against that prefix: a user's view of the package.
# Variables: BUILD_DIR, SOURCE_DIR, WORK_DIR, GENERATOR, SANITIZE.
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
set(flags)
if(SANITIZE)
  # A sanitized library needs a sanitized executable.
  set(flags "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined"
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined")
endif()
run("${CMAKE_COMMAND}" -S "${SOURCE_DIR}/Examples/Consumer" -B "${WORK_DIR}/build"
  -G "${GENERATOR}" "-DCMAKE_PREFIX_PATH=${prefix}" ${flags})
run("${CMAKE_COMMAND}" --build "${WORK_DIR}/build")
run("${WORK_DIR}/build/orviConsumer")
