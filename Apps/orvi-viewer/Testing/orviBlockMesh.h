// Blocks of unit cubes cut into linear cells, for the tests and the
// benchmark of the viewer's surface extraction. Each cube becomes one shape
// (a hexahedron, a voxel, two wedges, five or six tetrahedra, six pyramids
// about a point added at its centre, or a hexahedron given as a
// polyhedron), so that the faces between two cubes match where their shapes
// cut the shared square alike.
#ifndef orviBlockMesh_h
#define orviBlockMesh_h

#include "vtkCellType.h"
#include "vtkPoints.h"
#include "vtkUnstructuredGrid.h"

#include <array>
#include <functional>
#include <initializer_list>
#include <vector>

namespace orvi_test
{

enum class CubeShape
{
  Hexahedron,
  Voxel,
  Wedges,
  FiveTetrahedra,
  SixTetrahedra, // about the diagonal from corner 0 to corner 6
  Pyramids,
  Polyhedron
};

/// Adds the corners of an nx x ny x nz block of unit cubes to points (x
/// fastest, then y, then z, from the first id on) and one shape per cube,
/// as shape(i, j, k) chooses, to grid; points are added for pyramid apexes.
inline void AddBlock(vtkUnstructuredGrid* grid,
  vtkPoints* points,
  int nx,
  int ny,
  int nz,
  const std::function<CubeShape(int, int, int)>& shape)
{
  const vtkIdType first = points->GetNumberOfPoints();
  for (int k = 0; k <= nz; ++k)
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i)
        points->InsertNextPoint(i, j, k);
  auto pid = [&](int i, int j, int k) -> vtkIdType
  { return first + i + (nx + 1) * (j + static_cast<vtkIdType>(ny + 1) * k); };
  auto cell = [&](int type, std::initializer_list<vtkIdType> ids)
  { grid->InsertNextCell(type, static_cast<vtkIdType>(ids.size()), ids.begin()); };
  using Corners = std::array<int, 4>;
  // The cube's sides, as pyramid bases and polyhedron faces.
  const Corners sides[6] = {
    { 0, 3, 2, 1 }, { 4, 5, 6, 7 }, { 0, 1, 5, 4 }, { 1, 2, 6, 5 }, { 2, 3, 7, 6 }, { 3, 0, 4, 7 }
  };
  const std::vector<Corners> fiveTetrahedra = {
    { 0, 1, 3, 4 }, { 1, 2, 3, 6 }, { 1, 4, 5, 6 }, { 3, 4, 6, 7 }, { 1, 3, 4, 6 }
  };
  const std::vector<Corners> sixTetrahedra = {
    { 0, 1, 2, 6 }, { 0, 5, 1, 6 }, { 0, 2, 3, 6 }, { 0, 3, 7, 6 }, { 0, 4, 5, 6 }, { 0, 7, 4, 6 }
  };
  for (int k = 0; k < nz; ++k)
  {
    for (int j = 0; j < ny; ++j)
    {
      for (int i = 0; i < nx; ++i)
      {
        // VTK's hexahedron order: the bottom square counterclockwise, then
        // the top one.
        vtkIdType v[8];
        for (int c = 0; c < 8; ++c)
        {
          v[c] = pid(i + (((c + 1) >> 1) & 1), j + ((c >> 1) & 1), k + (c >> 2));
        }
        const CubeShape chosen = shape(i, j, k);
        switch (chosen)
        {
          case CubeShape::Hexahedron:
            cell(VTK_HEXAHEDRON, { v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7] });
            break;
          case CubeShape::Voxel:
            cell(VTK_VOXEL, { v[0], v[1], v[3], v[2], v[4], v[5], v[7], v[6] });
            break;
          case CubeShape::Wedges:
            cell(VTK_WEDGE, { v[0], v[1], v[2], v[4], v[5], v[6] });
            cell(VTK_WEDGE, { v[0], v[2], v[3], v[4], v[6], v[7] });
            break;
          case CubeShape::FiveTetrahedra:
          case CubeShape::SixTetrahedra:
            for (const Corners& t :
              chosen == CubeShape::FiveTetrahedra ? fiveTetrahedra : sixTetrahedra)
            {
              cell(VTK_TETRA, { v[t[0]], v[t[1]], v[t[2]], v[t[3]] });
            }
            break;
          case CubeShape::Pyramids:
          {
            const vtkIdType c = points->InsertNextPoint(i + 0.5, j + 0.5, k + 0.5);
            for (const Corners& q : sides)
            {
              cell(VTK_PYRAMID, { v[q[0]], v[q[1]], v[q[2]], v[q[3]], c });
            }
            break;
          }
          case CubeShape::Polyhedron:
          {
            std::vector<vtkIdType> faces;
            for (const Corners& q : sides)
            {
              faces.insert(faces.end(), { 4, v[q[0]], v[q[1]], v[q[2]], v[q[3]] });
            }
            grid->InsertNextCell(VTK_POLYHEDRON, 8, v, 6, faces.data());
            break;
          }
        }
      }
    }
  }
}

} // namespace orvi_test

#endif
