// One mesh split into named parts: a reader whose file groups its cells
// (gmsh's physical groups, an Exodus file's element blocks) marks each
// cell with its part's index in the cell array PartIdArrayName() and hands
// the parts' names along in the mesh's field data (SetPartNames()). Both
// are numeric arrays, so they come over from the loader's child process as
// the mesh does; the host splits the mesh it got with SplitMeshParts().
//
//   // in the reader: a vtkIntArray named PartIdArrayName() in the cell data
//   orvi::SetPartNames(grid, { "inlet", "fluid" });
//   // in the host, once the mesh is here
//   std::vector<orvi::MeshPart> parts;
//   if (!orvi::SplitMeshParts(mesh, path, parts, error)) { ... }
#ifndef orviMeshParts_h
#define orviMeshParts_h

#include "orviMeshFile.h"

#include <string>
#include <vector>

class vtkDataSet;

namespace orvi
{

/// The cell array of each cell's part index (a vtkIntArray), and the field
/// array of the parts' names (a vtkCharArray of the names, each ended by a
/// NUL byte).
const char* PartIdArrayName();
const char* PartNamesArrayName();

/// Stores the parts' names in mesh's field data, in the order of their
/// indices.
void SetPartNames(vtkDataSet* mesh, const std::vector<std::string>& names);

/// The names SetPartNames() stored; empty when there are none.
std::vector<std::string> GetPartNames(vtkDataSet* mesh);

/// Splits mesh by its cells' part indices into one part per name that has
/// cells, in the order of the names. Each part holds its own cells, in the
/// mesh's order, and the points they use with their point and cell data
/// (the part indices and names dropped; a part using all the points shares
/// the mesh's points and point data). A mesh without part indices is
/// one part named name, as it is; a mesh whose cells are all in one part
/// is that part, its cells not copied. With takeOver, for a mesh nobody
/// else holds (one just read), the part of most cells takes over the
/// mesh's own arrays instead of a copy (unless the mesh has polyhedra),
/// and mesh is left empty. Returns false with error set to "cannot read
/// 'NAME': WHY" when an index names no part, or the mesh is not one the
/// split can copy cells of (an unstructured grid).
bool SplitMeshParts(vtkDataSet* mesh,
  const std::string& name,
  std::vector<MeshPart>& parts,
  std::string& error,
  bool takeOver = false);

} // namespace orvi

#endif
