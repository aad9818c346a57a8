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

#include <functional>
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
  for (int p = 0; p < (nx + 1) * (ny + 1) * (nz + 1); ++p)
  {
    points->InsertNextPoint(p % (nx + 1), p / (nx + 1) % (ny + 1), p / ((nx + 1) * (ny + 1)));
  }
  // Each shape's cells as corner numbers of the cube (VTK's hexahedron
  // order: the bottom square counterclockwise, then the top one), 8 the
  // centre; and the cube's sides, as pyramid bases and polyhedron faces (a
  // cell other than a polyhedron does not read them).
  using Cells = std::vector<std::vector<int>>;
  const Cells sides = {
    { 0, 3, 2, 1 }, { 4, 5, 6, 7 }, { 0, 1, 5, 4 }, { 1, 2, 6, 5 }, { 2, 3, 7, 6 }, { 3, 0, 4, 7 }
  };
  const std::pair<int, Cells> shapes[] = {
    { VTK_HEXAHEDRON, { { 0, 1, 2, 3, 4, 5, 6, 7 } } },
    { VTK_VOXEL, { { 0, 1, 3, 2, 4, 5, 7, 6 } } },
    { VTK_WEDGE, { { 0, 1, 2, 4, 5, 6 }, { 0, 2, 3, 4, 6, 7 } } },
    { VTK_TETRA,
      { { 0, 1, 3, 4 }, { 1, 2, 3, 6 }, { 1, 4, 5, 6 }, { 3, 4, 6, 7 }, { 1, 3, 4, 6 } } },
    { VTK_TETRA,
      { { 0, 1, 2, 6 },
        { 0, 5, 1, 6 },
        { 0, 2, 3, 6 },
        { 0, 3, 7, 6 },
        { 0, 4, 5, 6 },
        { 0, 7, 4, 6 } } },
    { VTK_PYRAMID, {} },
    { VTK_POLYHEDRON, { { 0, 1, 2, 3, 4, 5, 6, 7 } } },
  };
  for (int k = 0; k < nz; ++k)
  {
    for (int j = 0; j < ny; ++j)
    {
      for (int i = 0; i < nx; ++i)
      {
        vtkIdType v[9];
        for (int c = 0; c < 8; ++c)
        {
          v[c] = first + i + (((c + 1) >> 1) & 1) +
            (nx + 1) * (j + ((c >> 1) & 1) + static_cast<vtkIdType>(ny + 1) * (k + (c >> 2)));
        }
        const auto& [type, cells] = shapes[static_cast<int>(shape(i, j, k))];
        std::vector<vtkIdType> ids, faces;
        for (const std::vector<int>& side : sides)
        {
          faces.insert(faces.end(), { 4, v[side[0]], v[side[1]], v[side[2]], v[side[3]] });
        }
        if (type == VTK_PYRAMID)
        {
          v[8] = points->InsertNextPoint(i + 0.5, j + 0.5, k + 0.5);
        }
        for (const std::vector<int>& cell : type == VTK_PYRAMID ? sides : cells)
        {
          ids.clear();
          for (int c : cell)
          {
            ids.push_back(v[c]);
          }
          if (type == VTK_PYRAMID)
          {
            ids.push_back(v[8]);
          }
          grid->InsertNextCell(
            type, static_cast<vtkIdType>(ids.size()), ids.data(), 6, faces.data());
        }
      }
    }
  }
}

} // namespace orvi_test

#endif
