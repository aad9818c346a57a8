# Installs the build tree into a fresh prefix and runs the Python example
# from the installed package with the system Python: a user's view of the
# Python package. Variables: BUILD_DIR, SOURCE_DIR, WORK_DIR, PYTHON, SITE.
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "install failed")
endif()
set(ENV{PYTHONPATH} "${prefix}/${SITE}")
execute_process(
  COMMAND "${PYTHON}" "${SOURCE_DIR}/Examples/Python/check_package.py"
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "import failed: ${out}${err}")
endif()
execute_process(
  COMMAND "${PYTHON}" "${SOURCE_DIR}/Examples/Python/orvi_example.py" "${WORK_DIR}/example.png"
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "${out}${err}")
if(NOT result EQUAL 0 OR NOT EXISTS "${WORK_DIR}/example.png")
  message(FATAL_ERROR "the Python example failed (${result})")
endif()
