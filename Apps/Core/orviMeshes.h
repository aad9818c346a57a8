// The meshes a host shows: the files its command line names, read through
// the loader, or the generated default mesh when it names none.
#ifndef orviMeshes_h
#define orviMeshes_h

#include "orviMeshLoader.h"

#include "vtkPolyData.h" // NamedMesh holds one
#include "vtkSmartPointer.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

class vtkDataSet;

namespace orvi
{

class TimeSeries;

/// A mesh, the name it is reported under (its file, or the part of its
/// file it is: a gmsh file's physical group, a block), and its boundary
/// surface as a viewer shows it once extracted (null until then).
struct NamedMesh
{
  std::string Name;
  vtkSmartPointer<vtkDataSet> Mesh;
  vtkSmartPointer<vtkPolyData> Surface = nullptr;
  bool IsPart = false; // Name is a part's, not the file's
};

/// The meshes a command line names, each loaded and checked on its own with
/// LoadMesh() (each part of a file a mesh); none: the default mesh, its size printed to log. Returns false
/// with the error of the first one that cannot be shown. whileFirstReads,
/// when given, runs while the first file is read, and not at all when there
/// is no file or the first is refused before its read. afterRead, when
/// given, runs on each mesh as soon as it is loaded: for the first file,
/// alongside whileFirstReads. The files are read at the step `series`
/// starts at (see TimeSeries::SetStart()), and kept open in it for a host
/// to step through them; without one, at their first step.
bool LoadMeshes(const std::vector<std::string>& files,
  std::ostream& log,
  std::vector<NamedMesh>& meshes,
  std::string& error,
  const std::function<void()>& whileFirstReads = {},
  const std::function<void(NamedMesh&)>& afterRead = {},
  TimeSeries* series = nullptr);

/// The default mesh: a block of hexahedra under layers of wedges and
/// tetrahedra, one polyhedron among the hexahedra, and a point scalar field
/// "temperature", built from raw arrays through the generator.
vtkSmartPointer<vtkDataSet> MakeDefaultMesh(std::string& error);

} // namespace orvi

#endif
