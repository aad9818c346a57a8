// The section's cut of tetrahedra, the commonest cells of large meshes: the
// same triangles as VTK's linear cutter (vtk3DLinearGridPlaneCutter; a point
// on the plane counts as one of the side the normal points to, a cell's
// quadrilateral is two triangles), made straight from the points of the
// cells the plane crosses as the search for them read them, in their order,
// each point shared by the cells around its edge, with each cell's outline
// beside them. Copying those cells out of the mesh for VTK's cutter, putting
// its threads' output back in cell order and finding each cell's outline
// from its triangles cost several times the cut itself.
#ifndef orviTetrahedraCut_h
#define orviTetrahedraCut_h

#include "vtkType.h"

#include <vector>

class vtkPointSet;
class vtkPolyData;

namespace orvi
{

/// A tetrahedron the plane crosses, as the section found it: its points'
/// ids, their positions in the shape cut and their signed distances from
/// the plane (vtkPlane::Evaluate()).
struct TetrahedronCorners
{
  vtkIdType Ids[4];
  double X[4][3];
  double S[4];
};

/// Writes into `face` the cut of the tetrahedra `corners` (cells[i] the
/// mesh cell of corners[i]) by the plane of unit `normal`: their triangles,
/// turned towards the normal, with the mesh's point data interpolated, the
/// cell data of each triangle's mesh cell and in `cellIndexName` the index
/// i of that cell; into `outlines` one polygon per cell cut on the same
/// points (a triangle or a quadrilateral). The points are of the mesh's
/// points' type.
void CutTetrahedra(vtkPointSet* mesh,
  const std::vector<vtkIdType>& cells,
  const std::vector<TetrahedronCorners>& corners,
  const double normal[3],
  const char* cellIndexName,
  vtkPolyData* face,
  vtkPolyData* outlines);

} // namespace orvi

#endif
