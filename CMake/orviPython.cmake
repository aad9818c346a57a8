# The Python package vtkorvi: VTK's wrappers for every class of the module,
# built against the system Python that Debian's python3-vtk9 serves.
if(NOT Python3_EXECUTABLE)
  set(Python3_EXECUTABLE /usr/bin/python3)
endif()
find_package(Python3 3.9 REQUIRED COMPONENTS Interpreter Development)
find_package(VTK 9.1 REQUIRED COMPONENTS Python WrappingPythonCore)

set(ORVI_PYTHON_SITE "${CMAKE_INSTALL_LIBDIR}/python${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}/site-packages"
  CACHE STRING "Where the Python package vtkorvi is installed, relative to the prefix")

vtk_module_wrap_python(
  MODULES ${orvi_modules}
  TARGET orvi::Python
  WRAPPED_MODULES orvi_wrapped_modules
  PYTHON_PACKAGE vtkorvi
  MODULE_DESTINATION "${ORVI_PYTHON_SITE}"
  CMAKE_DESTINATION "${CMAKE_INSTALL_LIBDIR}/cmake/vtkorvi"
  LIBRARY_DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  INSTALL_HEADERS OFF
  INSTALL_EXPORT vtkorviPython
  BUILD_STATIC OFF)

# The package's __init__ loads the VTK modules our classes derive from first,
# so that the wrapped base classes are known, then the wrapped module.
configure_file("${CMAKE_CURRENT_LIST_DIR}/vtkorvi__init__.py"
  "${CMAKE_BINARY_DIR}/${ORVI_PYTHON_SITE}/vtkorvi/__init__.py" COPYONLY)
install(FILES "${CMAKE_CURRENT_LIST_DIR}/vtkorvi__init__.py"
  DESTINATION "${ORVI_PYTHON_SITE}/vtkorvi" RENAME "__init__.py")

if(ORVI_BUILD_TESTING)
  # The Python example runs from the installed package.
  add_test(NAME InstalledPythonExample
    COMMAND "${CMAKE_COMMAND}"
      "-DBUILD_DIR=${CMAKE_BINARY_DIR}"
      "-DSOURCE_DIR=${CMAKE_SOURCE_DIR}"
      "-DWORK_DIR=${CMAKE_BINARY_DIR}/python-test"
      "-DPYTHON=${Python3_EXECUTABLE}"
      "-DSITE=${ORVI_PYTHON_SITE}"
      -P "${CMAKE_SOURCE_DIR}/CMake/TestPythonExample.cmake")
  set_tests_properties(InstalledPythonExample PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
endif()
