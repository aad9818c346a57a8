// Opening meshes for orvi-viewer: VTK's readers for files, and a generated
// mixed mesh built from raw arrays by vtkKivUnstructuredGridGenerator.
#ifndef orviMeshLoader_h
#define orviMeshLoader_h

#include "vtkSmartPointer.h"

#include <ostream>
#include <string>
#include <vector>

class vtkDataSet;

namespace orvi
{

/// Reads a mesh with the VTK reader its extension names (.vtu, .vtk, .vtp,
/// .stl, .obj, .ply), printing progress and the load time to log. Returns
/// null and sets error to one message naming the problem when the file is
/// missing, unreadable, of an unknown kind or empty, when its points are not
/// all finite, or when a binary .stl is not 84 bytes plus 50 per triangle
/// long (VTK's reader would show random triangles).
vtkSmartPointer<vtkDataSet> LoadMesh(const std::string& path,
  std::ostream& log,
  std::string& error);

/// The file extensions LoadMesh() reads, separated by spaces (".vtu .vtk
/// ...").
const char* MeshExtensions();

/// A mesh and the name it is reported under (its file).
struct NamedMesh
{
  std::string Name;
  vtkSmartPointer<vtkDataSet> Mesh;
};

/// The meshes a command line names, each loaded and checked on its own with
/// LoadMesh(); none: the default mesh, its size printed to log. Returns false
/// with the error of the first one that cannot be shown.
bool LoadMeshes(const std::vector<std::string>& files,
  std::ostream& log,
  std::vector<NamedMesh>& meshes,
  std::string& error);

/// The default mesh: a block of hexahedra under layers of wedges and
/// tetrahedra, one polyhedron among the hexahedra, and a point scalar field
/// "temperature", built from raw arrays through the generator.
vtkSmartPointer<vtkDataSet> MakeDefaultMesh(std::string& error);

} // namespace orvi

#endif
