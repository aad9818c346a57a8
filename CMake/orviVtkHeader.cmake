# orvi_vtk_module_has_header(TARGET HEADER VAR): VAR is ON when the imported
# VTK target exists and HEADER is in one of its include directories. Debian's
# VTK configuration declares the targets of its optional packages (Qt
# support, for one) also when the package is not installed; a header shows
# whether it is.
function(orvi_vtk_module_has_header target header var)
  set(found OFF)
  if(TARGET ${target})
    get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
    foreach(dir IN LISTS dirs)
      if(EXISTS "${dir}/${header}")
        set(found ON)
      endif()
    endforeach()
  endif()
  set(${var} ${found} PARENT_SCOPE)
endfunction()
