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
#include <string>
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
  // Each shape's cells as corner digits of the cube (VTK's hexahedron order:
  // the bottom square counterclockwise, then the top one), 8 the centre; and
  // the cube's sides, as pyramid bases and polyhedron faces (a cell other
  // than a polyhedron does not read them).
  using Cells = std::vector<std::string>;
  const Cells sides = { "0321", "4567", "0154", "1265", "2376", "3047" };
  const std::pair<int, Cells> shapes[] = {
    { VTK_HEXAHEDRON, { "01234567" } },
    { VTK_VOXEL, { "01324576" } },
    { VTK_WEDGE, { "012456", "023467" } },
    { VTK_TETRA, { "0134", "1236", "1456", "3467", "1346" } },
    { VTK_TETRA, { "0126", "0516", "0236", "0376", "0456", "0746" } },
    { VTK_PYRAMID, {} },
    { VTK_POLYHEDRON, { "01234567" } },
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
        const auto add = [&v](const std::string& corners, std::vector<vtkIdType>& to)
        {
          for (const char c : corners)
          {
            to.push_back(v[c - '0']);
          }
        };
        std::vector<vtkIdType> faces, ids;
        for (const std::string& side : sides)
        {
          faces.push_back(4);
          add(side, faces);
        }
        if (type == VTK_PYRAMID)
        {
          v[8] = points->InsertNextPoint(i + 0.5, j + 0.5, k + 0.5);
        }
        for (const std::string& cell : type == VTK_PYRAMID ? sides : cells)
        {
          ids.clear();
          add(type == VTK_PYRAMID ? cell + "8" : cell, ids);
          grid->InsertNextCell(
            type, static_cast<vtkIdType>(ids.size()), ids.data(), 6, faces.data());
        }
      }
    }
  }
}

} // namespace orvi_test

#endif
