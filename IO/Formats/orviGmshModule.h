// gmsh's library as a module of its own: the part of the .msh read that
// calls gmsh's C++ API is built into a plugin (orviGmsh) that links gmsh,
// loaded the first time a file needs gmsh's reader. gmsh's library brings
// about ninety shared libraries of its own (OpenCASCADE, its GUI and solver
// dependencies): linked into every program, resolving them cost each start
// of a host about as much as VTK's whole read of a raw 10M-cell file, while
// most files, gmsh's binary 4.1 among them (orviGmshBinary.h), never call it.
//
// orvi::GmshReader (orviGmshReader.h) is the VTK algorithm a host uses; this
// header is the contract between it and the module.
#ifndef orviGmshModule_h
#define orviGmshModule_h

#include <string>

class vtkAlgorithm;
class vtkUnstructuredGrid;

/// The module's entry: the .msh at fileName read through gmsh into grid
/// (see orviGmshReader.h for what it builds), progress reported on
/// progress; false with error set to gmsh's first error otherwise. Throws
/// std::bad_alloc when the file claims more than memory holds.
extern "C" bool orviGmshRead(const char* fileName,
  vtkUnstructuredGrid* grid,
  vtkAlgorithm* progress,
  std::string& error);

namespace orvi
{
namespace msh
{

using GmshReadFunction = decltype(&orviGmshRead);

/// The module's entry, the module loaded on the first call (from the build
/// tree, or beside the installed programs); null with error set to why
/// (the module or gmsh's library missing) when it cannot be loaded.
GmshReadFunction LoadGmshModule(std::string& error);

} // namespace msh
} // namespace orvi

#endif
