// What a rectangle pick selects, in the mesh's own cell ids. The viewer
// draws a surface extracted from the mesh; its faces carry the id of the
// mesh cell they came from (the array vtkOriginalCellIds).
#ifndef orviPickedCells_h
#define orviPickedCells_h

#include "vtkSmartPointer.h"
#include "vtkType.h"

#include <vector>

class vtkCellArray;
class vtkIdTypeArray;
class vtkPolyData;

namespace orvi
{

/// The mesh cells behind the given surface faces, ascending and without
/// repeats (a cell may show several faces). Without vtkOriginalCellIds the
/// surface is the mesh and the face ids are the cell ids.
std::vector<vtkIdType> MeshCellsOfFaces(vtkPolyData* surface, vtkIdTypeArray* faces);

/// The faces of the surface that belong to the given mesh cells (ascending
/// ids below numMeshCells), over the surface's points: what shows of those
/// cells from outside.
vtkSmartPointer<vtkCellArray> FacesOfMeshCells(vtkPolyData* surface,
  vtkIdType numMeshCells,
  const std::vector<vtkIdType>& cells);

} // namespace orvi

#endif
