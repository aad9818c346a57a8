#include "orviTetrahedraCut.h"

#include "orviCellPoints.h"

#include "vtkAOSDataArrayTemplate.h"
#include "vtkArrayDispatch.h"
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkDataArrayRange.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkPointData.h"
#include "vtkPointSet.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"

#include <array>
#include <cstdint>
#include <memory>
#include <numeric>
#include <utility>
#include <vector>

namespace orvi
{

namespace
{
// A point of the cut: where the plane meets the edge from a cell's point on
// the normal's side (or on the plane) to one on the other side, Along of
// the way.
struct EdgePoint
{
  vtkIdType From, To;
  double Along;
};

// The cut, written straight into the arrays of its poly data, each sized
// for the most a cell can add (four points, two triangles) and cut down
// to what was written at the end. The cells around an edge the plane
// crosses share its point: found through a table of the points by their
// edge (open addressing, at most half full).
template <typename Real>
struct Pieces
{
  explicit Pieces(size_t cells)
    : Points(new EdgePoint[4 * cells])
  {
    while ((size_t(1) << this->TableBits) < 8 * cells)
    {
      ++this->TableBits;
    }
    this->Table.assign(size_t(1) << this->TableBits, -1);
    this->Xyz->SetNumberOfComponents(3);
    this->Xyz->SetNumberOfTuples(static_cast<vtkIdType>(4 * cells));
    this->Triangles->SetNumberOfValues(static_cast<vtkIdType>(6 * cells));
    this->TriangleCells->SetNumberOfValues(static_cast<vtkIdType>(2 * cells));
    this->OutlineOffsets->SetNumberOfValues(static_cast<vtkIdType>(cells + 1));
    this->OutlineIds->SetNumberOfValues(static_cast<vtkIdType>(4 * cells));
  }

  std::unique_ptr<EdgePoint[]> Points;
  vtkNew<vtkAOSDataArrayTemplate<Real>> Xyz;
  vtkNew<vtkIdTypeArray> Triangles;     // three points each
  vtkNew<vtkIdTypeArray> TriangleCells; // each triangle's cell within those cut
  vtkNew<vtkIdTypeArray> OutlineOffsets, OutlineIds;
  vtkIdType NumberOfPoints = 0, NumberOfTriangles = 0, NumberOfOutlines = 0, NumberOfIds = 0;
  std::vector<vtkIdType> Table; // the points by their edge, -1: free
  int TableBits = 1;

  // The point on the edge from `from` to `to`, Along t of the way from x[a]
  // to x[b]: the one already made for another cell around the edge, or a
  // new one.
  vtkIdType PointOn(vtkIdType from, vtkIdType to, double t, const double* xa, const double* xb);

  // Adds the cut of one cell, its points on `edges` (of its corners), wound
  // so that its normal points along the plane's, as a triangle or two.
  void Add(vtkIdType cell,
    const TetrahedronCorners& corners,
    const std::array<std::pair<int, int>, 4>& edges,
    int count,
    const double normal[3]);
  // Sets the arrays' sizes to what was written.
  void Close();
};

template <typename Real>
vtkIdType Pieces<Real>::PointOn(vtkIdType from,
  vtkIdType to,
  double t,
  const double* xa,
  const double* xb)
{
  const uint64_t mixed = static_cast<uint64_t>(from) * 0x9E3779B97F4A7C15ULL ^
    static_cast<uint64_t>(to) * 0xC2B2AE3D27D4EB4FULL;
  const size_t mask = this->Table.size() - 1;
  for (size_t slot = (mixed >> (64 - this->TableBits)) & mask;; slot = (slot + 1) & mask)
  {
    vtkIdType& at = this->Table[slot];
    if (at < 0)
    {
      at = this->NumberOfPoints++;
      this->Points[at] = { from, to, t };
      Real* xyz = this->Xyz->GetPointer(3 * at);
      for (int c = 0; c < 3; ++c)
      {
        xyz[c] = static_cast<Real>(xa[c] + t * (xb[c] - xa[c]));
      }
      return at;
    }
    if (this->Points[at].From == from && this->Points[at].To == to)
    {
      return at;
    }
  }
}

template <typename Real>
void Pieces<Real>::Add(vtkIdType cell,
  const TetrahedronCorners& corners,
  const std::array<std::pair<int, int>, 4>& edges,
  int count,
  const double normal[3])
{
  double at[4][3];
  vtkIdType ids[4];
  for (int k = 0; k < count; ++k)
  {
    const auto [a, b] = edges[k];
    const double t = corners.S[a] / (corners.S[a] - corners.S[b]);
    for (int c = 0; c < 3; ++c)
    {
      at[k][c] = corners.X[a][c] + t * (corners.X[b][c] - corners.X[a][c]);
    }
    ids[k] = this->PointOn(corners.Ids[a], corners.Ids[b], t, corners.X[a], corners.X[b]);
  }
  // The polygon's normal (Newell's: sound for a degenerate corner).
  double n[3] = { 0.0, 0.0, 0.0 };
  for (int k = 0; k < count; ++k)
  {
    const double* u = at[k];
    const double* v = at[(k + 1) % count];
    n[0] += (u[1] - v[1]) * (u[2] + v[2]);
    n[1] += (u[2] - v[2]) * (u[0] + v[0]);
    n[2] += (u[0] - v[0]) * (u[1] + v[1]);
  }
  const bool reversed = n[0] * normal[0] + n[1] * normal[1] + n[2] * normal[2] < 0.0;
  vtkIdType* around = this->OutlineIds->GetPointer(this->NumberOfIds);
  for (int k = 0; k < count; ++k)
  {
    around[k] = ids[reversed ? count - 1 - k : k];
  }
  this->OutlineOffsets->SetValue(this->NumberOfOutlines++, this->NumberOfIds);
  this->NumberOfIds += count;
  for (int k = 1; k + 1 < count; ++k)
  {
    vtkIdType* triangle = this->Triangles->GetPointer(3 * this->NumberOfTriangles);
    triangle[0] = around[0];
    triangle[1] = around[k];
    triangle[2] = around[k + 1];
    this->TriangleCells->SetValue(this->NumberOfTriangles++, cell);
  }
}

template <typename Real>
void Pieces<Real>::Close()
{
  this->OutlineOffsets->SetValue(this->NumberOfOutlines, this->NumberOfIds);
  this->Xyz->SetNumberOfTuples(this->NumberOfPoints);
  this->Triangles->SetNumberOfValues(3 * this->NumberOfTriangles);
  this->TriangleCells->SetNumberOfValues(this->NumberOfTriangles);
  this->OutlineOffsets->SetNumberOfValues(this->NumberOfOutlines + 1);
  this->OutlineIds->SetNumberOfValues(this->NumberOfIds);
}

// The edges of a tetrahedron the plane crosses, around the cut (each from
// the side of the normal), given which of its points are on that side:
// those of the lone point on its side, or those between the two pairs.
int CrossedEdges(const double s[4], std::array<std::pair<int, int>, 4>& edges)
{
  int ahead[4], behind[4], na = 0, nb = 0;
  for (int i = 0; i < 4; ++i)
  {
    (s[i] >= 0.0 ? ahead[na++] : behind[nb++]) = i;
  }
  if (na == 0 || nb == 0)
  {
    return 0;
  }
  if (na == 2)
  {
    edges = { { { ahead[0], behind[0] },
      { ahead[0], behind[1] },
      { ahead[1], behind[1] },
      { ahead[1], behind[0] } } };
    return 4;
  }
  for (int k = 0; k < 3; ++k)
  {
    edges[k] = na == 1 ? std::make_pair(ahead[0], behind[k]) : std::make_pair(ahead[k], behind[0]);
  }
  return 3;
}

// A point array interpolated along the cut's edges, through its own type.
struct Interpolate
{
  template <typename Array>
  void operator()(Array* from, vtkDataArray* into, const EdgePoint* points, vtkIdType count) const
  {
    const auto in = vtk::DataArrayTupleRange(from);
    auto out = vtk::DataArrayTupleRange(static_cast<Array*>(into));
    using Value = vtk::GetAPIType<Array>;
    const int components = from->GetNumberOfComponents();
    for (vtkIdType k = 0; k < count; ++k)
    {
      const EdgePoint& e = points[k];
      for (int c = 0; c < components; ++c)
      {
        const double a = static_cast<double>(in[e.From][c]);
        const double b = static_cast<double>(in[e.To][c]);
        out[k][c] = static_cast<Value>(a + e.Along * (b - a));
      }
    }
  }
};

// The mesh's point data interpolated at the cut's points.
void InterpolatePointData(vtkPointData* from,
  const EdgePoint* points,
  vtkIdType count,
  vtkPointData* to)
{
  for (int i = 0; i < from->GetNumberOfArrays(); ++i)
  {
    vtkDataArray* array = from->GetArray(i);
    if (!array)
    {
      continue; // not numbers: nothing to interpolate
    }
    vtkSmartPointer<vtkDataArray> into = vtk::TakeSmartPointer(array->NewInstance());
    into->SetName(array->GetName());
    into->SetNumberOfComponents(array->GetNumberOfComponents());
    into->SetNumberOfTuples(count);
    if (!vtkArrayDispatch::Dispatch::Execute(array, Interpolate(), into.Get(), points, count))
    {
      for (vtkIdType k = 0; k < count; ++k)
      {
        into->InterpolateTuple(k, points[k].From, array, points[k].To, array, points[k].Along);
      }
    }
    to->AddArray(into);
  }
}

// The pieces as the face's and the outlines' poly data.
template <typename Real>
void Assemble(Pieces<Real>& pieces,
  vtkPointSet* mesh,
  const std::vector<vtkIdType>& cut,
  const char* cellIndexName,
  vtkPolyData* face,
  vtkPolyData* outlines)
{
  pieces.Close();
  vtkNew<vtkPoints> points;
  points->SetData(pieces.Xyz);
  face->Initialize();
  face->SetPoints(points);
  InterpolatePointData(
    mesh->GetPointData(), pieces.Points.get(), pieces.NumberOfPoints, face->GetPointData());
  const vtkIdType triangles = pieces.NumberOfTriangles;
  vtkNew<vtkIdTypeArray> offsets;
  offsets->SetNumberOfValues(triangles + 1);
  for (vtkIdType t = 0; t <= triangles; ++t)
  {
    offsets->SetValue(t, 3 * t);
  }
  vtkNew<vtkCellArray> polys;
  polys->SetData(offsets, pieces.Triangles);
  face->SetPolys(polys);
  vtkNew<vtkIdList> fromCells;
  fromCells->SetNumberOfIds(triangles);
  for (vtkIdType t = 0; t < triangles; ++t)
  {
    fromCells->SetId(t, cut[static_cast<size_t>(pieces.TriangleCells->GetValue(t))]);
  }
  CopyTuples(mesh->GetCellData(), fromCells, face->GetCellData());
  pieces.TriangleCells->SetName(cellIndexName);
  face->GetCellData()->AddArray(pieces.TriangleCells);
  vtkNew<vtkCellArray> around;
  around->SetData(pieces.OutlineOffsets, pieces.OutlineIds);
  outlines->Initialize();
  outlines->SetPoints(points);
  outlines->SetPolys(around);
}

} // namespace

void CutTetrahedra(vtkPointSet* mesh,
  const std::vector<vtkIdType>& cells,
  const std::vector<TetrahedronCorners>& corners,
  const double normal[3],
  const char* cellIndexName,
  vtkPolyData* face,
  vtkPolyData* outlines)
{
  const auto cut = [&](auto& pieces)
  {
    for (size_t c = 0; c < corners.size(); ++c)
    {
      std::array<std::pair<int, int>, 4> edges;
      if (const int count = CrossedEdges(corners[c].S, edges))
      {
        pieces.Add(static_cast<vtkIdType>(c), corners[c], edges, count, normal);
      }
    }
    Assemble(pieces, mesh, cells, cellIndexName, face, outlines);
  };
  if (mesh->GetPoints()->GetDataType() == VTK_FLOAT)
  {
    Pieces<float> pieces(corners.size());
    cut(pieces);
  }
  else
  {
    Pieces<double> pieces(corners.size());
    cut(pieces);
  }
}

} // namespace orvi
