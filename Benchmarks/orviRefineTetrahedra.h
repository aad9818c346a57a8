// RefineTetrahedra: a mesh eight times finer, for benchmarks on meshes
// larger than a mesher makes in reasonable time.
//
// Each tetrahedron is split into eight at its edge midpoints, each
// triangle into four and each line into two; vertices stay. A midpoint is
// made once per edge and shared by every cell on that edge, so a
// conforming mesh stays conforming, and the input's boundary triangles
// (as gmsh writes them beside the tetrahedra) stay the boundary faces of
// the refined tetrahedra. Every child takes its parent's cell data; point
// data at a midpoint is the mean of the edge's two ends. The children of a
// tetrahedron keep its orientation (positive volume for a positive
// parent). Other cell types are refused. The output's cells are in 32-bit
// storage, as VTK's XML reader gives them for a file of 32-bit ids.
#ifndef orviRefineTetrahedra_h
#define orviRefineTetrahedra_h

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkIdList.h"
#include "vtkNew.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkSmartPointer.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvi_bench
{
namespace refine_detail
{
inline std::uint64_t EdgeKey(vtkIdType a, vtkIdType b)
{
  if (a > b)
  {
    std::swap(a, b);
  }
  return (static_cast<std::uint64_t>(a) << 32) | static_cast<std::uint64_t>(b);
}

// The six edges of a tetrahedron, in the order of the midpoints below.
inline constexpr std::array<std::array<int, 2>, 6> TetraEdges = {
  { { 0, 1 }, { 0, 2 }, { 0, 3 }, { 1, 2 }, { 1, 3 }, { 2, 3 } }
};

inline double SignedVolume(vtkPoints* points, const vtkIdType* ids)
{
  double p[4][3];
  for (int i = 0; i < 4; ++i)
  {
    points->GetPoint(ids[i], p[i]);
  }
  double u[3], v[3], w[3];
  for (int k = 0; k < 3; ++k)
  {
    u[k] = p[1][k] - p[0][k];
    v[k] = p[2][k] - p[0][k];
    w[k] = p[3][k] - p[0][k];
  }
  return u[0] * (v[1] * w[2] - v[2] * w[1]) - u[1] * (v[0] * w[2] - v[2] * w[0]) +
    u[2] * (v[0] * w[1] - v[1] * w[0]);
}

// Every edge of the cells, once and sorted; false with error set for a
// cell of another type or a point id out of range.
inline bool CollectEdges(vtkUnstructuredGrid* in,
  std::vector<std::uint64_t>& edges,
  std::string& error)
{
  const vtkIdType numPoints = in->GetNumberOfPoints();
  vtkNew<vtkIdList> cellPoints;
  for (vtkIdType c = 0; c < in->GetNumberOfCells(); ++c)
  {
    const int type = in->GetCellType(c);
    in->GetCellPoints(c, cellPoints);
    const vtkIdType* p = cellPoints->GetPointer(0);
    const vtkIdType n = cellPoints->GetNumberOfIds();
    const bool fits = (type == VTK_TETRA && n == 4) || (type == VTK_TRIANGLE && n == 3) ||
      (type == VTK_LINE && n == 2) || (type == VTK_VERTEX && n == 1);
    if (!fits)
    {
      error = "cell " + std::to_string(c) + " is of type " + std::to_string(type) +
        ": only vertices, lines, triangles and tetrahedra are refined";
      return false;
    }
    for (vtkIdType i = 0; i < n; ++i)
    {
      if (p[i] < 0 || p[i] >= numPoints)
      {
        error = "cell " + std::to_string(c) + " refers to point " + std::to_string(p[i]);
        return false;
      }
      for (vtkIdType j = i + 1; j < n; ++j)
      {
        edges.push_back(EdgeKey(p[i], p[j]));
      }
    }
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  return true;
}

// The output's points with their data: the input's, then a midpoint per
// edge (its data the mean of the edge's ends).
inline void AddMidpoints(vtkUnstructuredGrid* in,
  const std::vector<std::uint64_t>& edges,
  vtkPoints* points,
  vtkPointData* outPD)
{
  const vtkIdType numPoints = in->GetNumberOfPoints();
  const vtkIdType outPoints = numPoints + static_cast<vtkIdType>(edges.size());
  points->SetDataType(in->GetPoints()->GetDataType());
  points->SetNumberOfPoints(outPoints);
  vtkPointData* inPD = in->GetPointData();
  outPD->InterpolateAllocate(inPD, outPoints);
  for (vtkIdType i = 0; i < numPoints; ++i)
  {
    points->SetPoint(i, in->GetPoint(i));
    outPD->CopyData(inPD, i, i);
  }
  vtkNew<vtkIdList> ends;
  ends->SetNumberOfIds(2);
  double halves[2] = { 0.5, 0.5 };
  for (size_t e = 0; e < edges.size(); ++e)
  {
    const auto a = static_cast<vtkIdType>(edges[e] >> 32);
    const auto b = static_cast<vtkIdType>(edges[e] & 0xffffffffU);
    double pa[3], pb[3];
    in->GetPoint(a, pa);
    in->GetPoint(b, pb);
    const vtkIdType id = numPoints + static_cast<vtkIdType>(e);
    points->SetPoint(id, 0.5 * (pa[0] + pb[0]), 0.5 * (pa[1] + pb[1]), 0.5 * (pa[2] + pb[2]));
    ends->SetId(0, a);
    ends->SetId(1, b);
    outPD->InterpolatePoint(inPD, id, ends, halves);
  }
}

// The refined cells in the making: each input cell's children, which take
// its cell data, with the midpoints of its edges.
struct Refinement
{
  vtkUnstructuredGrid* In;
  const std::vector<std::uint64_t>& Edges;
  vtkPoints* Points; // the output's
  vtkUnstructuredGrid* Out;

  vtkIdType Midpoint(vtkIdType a, vtkIdType b) const
  {
    const auto at = std::lower_bound(this->Edges.begin(), this->Edges.end(), EdgeKey(a, b));
    return this->In->GetNumberOfPoints() + static_cast<vtkIdType>(at - this->Edges.begin());
  }

  void Add(int type, vtkIdType n, const vtkIdType* ids, vtkIdType parent)
  {
    const vtkIdType child = this->Out->InsertNextCell(type, n, ids);
    this->Out->GetCellData()->CopyData(this->In->GetCellData(), parent, child);
  }

  void SplitLine(const vtkIdType* p, vtkIdType c)
  {
    const vtkIdType m = this->Midpoint(p[0], p[1]);
    const vtkIdType a[2] = { p[0], m }, b[2] = { m, p[1] };
    this->Add(VTK_LINE, 2, a, c);
    this->Add(VTK_LINE, 2, b, c);
  }

  void SplitTriangle(const vtkIdType* p, vtkIdType c)
  {
    const vtkIdType m01 = this->Midpoint(p[0], p[1]), m12 = this->Midpoint(p[1], p[2]),
                    m02 = this->Midpoint(p[0], p[2]);
    const vtkIdType children[4][3] = {
      { p[0], m01, m02 }, { m01, p[1], m12 }, { m02, m12, p[2] }, { m01, m12, m02 }
    };
    for (const auto& t : children)
    {
      this->Add(VTK_TRIANGLE, 3, t, c);
    }
  }

  void SplitTetrahedron(const vtkIdType* p, vtkIdType c)
  {
    vtkIdType m[6];
    for (int e = 0; e < 6; ++e)
    {
      m[e] = this->Midpoint(p[TetraEdges[e][0]], p[TetraEdges[e][1]]);
    }
    // Four corner tetrahedra and the inner octahedron cut along the
    // diagonal from the midpoint of edge 02 to that of edge 13.
    vtkIdType children[8][4] = { { p[0], m[0], m[1], m[2] },
      { m[0], p[1], m[3], m[4] },
      { m[1], m[3], p[2], m[5] },
      { m[2], m[4], m[5], p[3] },
      { m[1], m[4], m[0], m[2] },
      { m[1], m[4], m[2], m[5] },
      { m[1], m[4], m[5], m[3] },
      { m[1], m[4], m[3], m[0] } };
    const bool positive = SignedVolume(this->In->GetPoints(), p) >= 0;
    for (auto& t : children)
    {
      if ((SignedVolume(this->Points, t) >= 0) != positive)
      {
        std::swap(t[2], t[3]);
      }
      this->Add(VTK_TETRA, 4, t, c);
    }
  }

  // Every cell replaced where it stands by its children.
  void SplitAll()
  {
    vtkNew<vtkIdList> cellPoints;
    for (vtkIdType c = 0; c < this->In->GetNumberOfCells(); ++c)
    {
      const int type = this->In->GetCellType(c);
      this->In->GetCellPoints(c, cellPoints);
      const vtkIdType* p = cellPoints->GetPointer(0);
      if (type == VTK_VERTEX)
      {
        this->Add(type, 1, p, c);
      }
      else if (type == VTK_LINE)
      {
        this->SplitLine(p, c);
      }
      else if (type == VTK_TRIANGLE)
      {
        this->SplitTriangle(p, c);
      }
      else
      {
        this->SplitTetrahedron(p, c);
      }
    }
  }
};

inline vtkIdType CountChildren(vtkUnstructuredGrid* in)
{
  vtkIdType children = 0;
  for (vtkIdType c = 0; c < in->GetNumberOfCells(); ++c)
  {
    const int type = in->GetCellType(c);
    children += type == VTK_TETRA ? 8 : type == VTK_TRIANGLE ? 4 : type == VTK_LINE ? 2 : 1;
  }
  return children;
}
} // namespace refine_detail

/// The refined mesh, or nullptr with error set for a cell of another type
/// or a point id out of range.
inline vtkSmartPointer<vtkUnstructuredGrid> RefineTetrahedra(vtkUnstructuredGrid* in,
  std::string& error)
{
  using namespace refine_detail;
  const vtkIdType numPoints = in->GetNumberOfPoints();
  if (numPoints == 0 || in->GetNumberOfCells() == 0 || numPoints >= (vtkIdType(1) << 31))
  {
    error = "no points, no cells or too many points";
    return nullptr;
  }
  std::vector<std::uint64_t> edges;
  if (!CollectEdges(in, edges, error))
  {
    return nullptr;
  }
  vtkNew<vtkPoints> points;
  vtkNew<vtkPointData> outPD;
  AddMidpoints(in, edges, points, outPD);

  const vtkIdType outCells = CountChildren(in);
  auto out = vtkSmartPointer<vtkUnstructuredGrid>::New();
  out->AllocateExact(outCells, 4);
  out->SetPoints(points);
  out->GetPointData()->ShallowCopy(outPD);
  out->GetCellData()->CopyAllocate(in->GetCellData(), outCells);
  Refinement{ in, edges, points, out }.SplitAll();
  out->GetCells()->ConvertTo32BitStorage();
  return out;
}

} // namespace orvi_bench

#endif
