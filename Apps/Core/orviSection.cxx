#include "orviSection.h"

#include "orviBoundarySurface.h"
#include "orviCellPoints.h"
#include "orviComponents.h"
#include "orviTetrahedraCut.h"
#include "orviViewerPart.h"
#include "orviWarp.h"

#include "vtk3DLinearGridPlaneCutter.h"
#include "vtkBoundingBox.h"
#include "vtkCamera.h"
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkCutter.h"
#include "vtkDataSet.h"
#include "vtkDoubleArray.h"
#include "vtkExtractCells.h"
#include "vtkFloatArray.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkMath.h"
#include "vtkPlane.h"
#include "vtkPlaneCollection.h"
#include "vtkPointData.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderer.h"
#include "vtkSMPTools.h"
#include "vtkTransform.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

namespace orvi
{

namespace
{
// Each cell's lowest and highest n.p over its points, as floats (a cell
// without points: an empty extent). The floats' rounding is within the
// margin the extents are read with.
template <typename CellPoints>
void ComputeExtents(CellPoints& cells, const double n[3], float* low, float* high)
{
  const auto some = [&](vtkIdType begin, vtkIdType end)
  {
    for (vtkIdType cell = begin; cell < end; ++cell)
    {
      double lo = VTK_DOUBLE_MAX, hi = -VTK_DOUBLE_MAX;
      cells.ForPoints(cell,
        [&](const double* x)
        {
          const double d = n[0] * x[0] + n[1] * x[1] + n[2] * x[2];
          lo = std::min(lo, d);
          hi = std::max(hi, d);
        });
      const float inf = std::numeric_limits<float>::infinity();
      low[cell] = lo <= hi ? static_cast<float>(lo) : inf;
      high[cell] = lo <= hi ? static_cast<float>(hi) : -inf;
    }
  };
  if constexpr (CellPoints::Parallel)
  {
    vtkSMPTools::For(0, cells.Count, some);
  }
  else
  {
    some(0, cells.Count);
  }
}

// The range of the signed distances of a cell's points from the plane
// (below zero: the side kept), exactly as vtkPlane computes them.
template <typename CellPoints>
void CellSides(CellPoints& cells,
  vtkIdType cell,
  const double origin[3],
  const double normal[3],
  double range[2])
{
  range[0] = VTK_DOUBLE_MAX;
  range[1] = -VTK_DOUBLE_MAX;
  cells.ForPoints(cell,
    [&](const double* x)
    {
      const double d = vtkPlane::Evaluate(
        const_cast<double*>(normal), const_cast<double*>(origin), const_cast<double*>(x));
      range[0] = std::min(range[0], d);
      range[1] = std::max(range[1], d);
    });
}

// Whether the plane meets a cell as a mode draws it: a cut, where the cell
// has points on both sides or a face on the plane; whole cells, every cell
// reaching the plane, as VTK's extraction of the cells on the kept side
// counts a point on the plane as one of that side (the cells drawn close
// the plane's opening).
bool Meets(SectionMode mode, const double range[2])
{
  return range[0] <= 0.0 && range[1] >= 0.0 &&
    (mode == SectionMode::Cells || range[0] < 0.0 || range[1] > 0.0);
}

// The points of one mesh cell's cut (its triangles) around as one polygon:
// the edges used by a single triangle, chained. A triangle stays as it is.
std::vector<vtkIdType> Outline(const std::vector<std::array<vtkIdType, 3>>& triangles)
{
  if (triangles.size() == 1)
  {
    return { triangles[0][0], triangles[0][1], triangles[0][2] };
  }
  std::vector<std::pair<vtkIdType, vtkIdType>> edges;
  for (const auto& t : triangles)
  {
    for (int k = 0; k < 3; ++k)
    {
      const std::pair<vtkIdType, vtkIdType> edge(
        std::min(t[k], t[(k + 1) % 3]), std::max(t[k], t[(k + 1) % 3]));
      const auto seen = std::find(edges.begin(), edges.end(), edge);
      if (seen == edges.end())
      {
        edges.push_back(edge);
      }
      else
      {
        edges.erase(seen); // inside the cell's cut
      }
    }
  }
  std::vector<vtkIdType> loop = { edges.front().first, edges.front().second };
  edges.erase(edges.begin());
  while (!edges.empty())
  {
    const auto next = std::find_if(edges.begin(),
      edges.end(),
      [&loop](const std::pair<vtkIdType, vtkIdType>& e)
      { return e.first == loop.back() || e.second == loop.back(); });
    if (next == edges.end())
    {
      break; // not one loop (a degenerate cut): the chain so far
    }
    const vtkIdType to = next->first == loop.back() ? next->second : next->first;
    edges.erase(next);
    if (to == loop.front())
    {
      break;
    }
    loop.push_back(to);
  }
  return loop;
}

// The cut's faces turned towards the side hidden, as the mesh's boundary
// faces turn away from their cells: the kept part's clipped surface and its
// cut then bound it as one closed surface, whose back faces never show.
void FaceHiddenSide(vtkPolyData* cut, const double normal[3])
{
  vtkCellArray* polys = cut->GetPolys();
  vtkPoints* points = cut->GetPoints();
  for (vtkIdType f = 0; points && f < polys->GetNumberOfCells(); ++f)
  {
    vtkIdType npts = 0;
    const vtkIdType* ids = nullptr;
    polys->GetCellAtId(f, npts, ids);
    if (npts < 3)
    {
      continue;
    }
    double a[3], b[3], c[3], ab[3], ac[3], n[3];
    points->GetPoint(ids[0], a);
    points->GetPoint(ids[1], b);
    points->GetPoint(ids[2], c);
    vtkMath::Subtract(b, a, ab);
    vtkMath::Subtract(c, a, ac);
    vtkMath::Cross(ab, ac, n);
    if (vtkMath::Dot(n, normal) < 0.0)
    {
      polys->ReverseCellAtId(f);
    }
  }
}

// Each face's cell among those the plane crossed (cells: SectionCellIdsName).
std::vector<vtkIdType> CellOfFaces(vtkDataArray* cells)
{
  std::vector<vtkIdType> cellOf(static_cast<size_t>(cells->GetNumberOfTuples()));
  for (size_t f = 0; f < cellOf.size(); ++f)
  {
    cellOf[f] = std::max<vtkIdType>(0, std::llround(cells->GetTuple1(static_cast<vtkIdType>(f))));
  }
  return cellOf;
}

// The cut with its faces in the order of their cells (cells: their ids
// among the crossed cells), each cell's faces in the cutter's order, and its
// points in the order the faces first use them. The threaded cutter hands
// over its threads' faces in the order the threads ended: what is drawn
// from the cut (its stand-in in motion, clustered from its points) must be
// the same from one run to the next.
vtkSmartPointer<vtkPolyData> OrderedByCell(vtkPolyData* cut, vtkDataArray* cells)
{
  // The faces grouped by cell (a counting sort: the cells are numbered from 0).
  const std::vector<vtkIdType> cellOf = CellOfFaces(cells);
  const auto faces = static_cast<vtkIdType>(cellOf.size());
  const vtkIdType numCells = faces ? *std::max_element(cellOf.begin(), cellOf.end()) + 1 : 0;
  std::vector<vtkIdType> first(static_cast<size_t>(numCells) + 1, 0);
  for (const vtkIdType c : cellOf)
  {
    ++first[c + 1];
  }
  std::partial_sum(first.begin(), first.end(), first.begin());
  vtkNew<vtkIdList> fromCells, fromPoints;
  fromCells->SetNumberOfIds(faces);
  for (vtkIdType f = 0; f < faces; ++f)
  {
    fromCells->SetId(first[cellOf[f]]++, f);
  }
  // The points renumbered as the faces so ordered use them.
  vtkCellArray* polys = cut->GetPolys();
  std::vector<vtkIdType> pointMap(static_cast<size_t>(cut->GetNumberOfPoints()), -1);
  vtkNew<vtkCellArray> ordered;
  ordered->AllocateExact(faces, polys->GetNumberOfConnectivityIds());
  std::vector<vtkIdType> face;
  for (vtkIdType k = 0; k < faces; ++k)
  {
    vtkIdType npts = 0;
    const vtkIdType* ids = nullptr;
    polys->GetCellAtId(fromCells->GetId(k), npts, ids);
    face.resize(static_cast<size_t>(npts));
    for (vtkIdType i = 0; i < npts; ++i)
    {
      vtkIdType& to = pointMap[static_cast<size_t>(ids[i])];
      if (to < 0)
      {
        to = fromPoints->InsertNextId(ids[i]);
      }
      face[static_cast<size_t>(i)] = to;
    }
    ordered->InsertNextCell(npts, face.data());
  }
  const vtkIdType used = fromPoints->GetNumberOfIds();
  auto result = vtkSmartPointer<vtkPolyData>::New();
  vtkNew<vtkPoints> points;
  points->SetDataType(cut->GetPoints()->GetDataType());
  points->SetNumberOfPoints(used);
  cut->GetPoints()->GetData()->GetTuples(fromPoints, points->GetData());
  result->SetPoints(points);
  result->SetPolys(ordered);
  CopyTuples(cut->GetPointData(), fromPoints, result->GetPointData());
  CopyTuples(cut->GetCellData(), fromCells, result->GetCellData());
  return result;
}

// One polygon per mesh cell of the cut's triangles, the cut's faces coming
// grouped by cell (cells: their ids among the crossed cells).
vtkNew<vtkCellArray> CellPolygons(vtkPolyData* face, vtkDataArray* cells)
{
  vtkNew<vtkCellArray> polygons;
  vtkCellArray* polys = face->GetPolys();
  const std::vector<vtkIdType> cellOf = CellOfFaces(cells);
  // The cutter gives each triangle points of its own: a point of a cell's
  // triangles stands for those of its others where they are the same one
  // (the same edge of the cell cut, the same coordinates).
  vtkPoints* points = face->GetPoints();
  std::vector<std::pair<vtkIdType, std::array<double, 3>>> seen;
  const auto shared = [&](vtkIdType id)
  {
    std::array<double, 3> x;
    points->GetPoint(id, x.data());
    const auto same = std::find_if(seen.begin(),
      seen.end(),
      [&x](const std::pair<vtkIdType, std::array<double, 3>>& s) { return s.second == x; });
    if (same != seen.end())
    {
      return same->first;
    }
    seen.emplace_back(id, x);
    return id;
  };
  std::vector<std::array<vtkIdType, 3>> group;
  for (size_t k = 0; k < cellOf.size(); ++k)
  {
    vtkIdType npts = 0;
    const vtkIdType* ids = nullptr;
    polys->GetCellAtId(static_cast<vtkIdType>(k), npts, ids);
    if (npts == 3)
    {
      group.push_back({ shared(ids[0]), shared(ids[1]), shared(ids[2]) });
    }
    const bool last = k + 1 == cellOf.size() || cellOf[k + 1] != cellOf[k];
    if (last && !group.empty())
    {
      const std::vector<vtkIdType> loop = Outline(group);
      polygons->InsertNextCell(static_cast<vtkIdType>(loop.size()), loop.data());
      group.clear();
      seen.clear();
    }
  }
  return polygons;
}
} // namespace

//------------------------------------------------------------------------------
bool KeptBySection(vtkDataSet* mesh, vtkIdType cell, const double origin[3], const double normal[3])
{
  AnyCells cells{ mesh, nullptr, mesh->GetNumberOfCells(), nullptr, 0.0, {} };
  double range[2];
  CellSides(cells, cell, origin, normal, range);
  return range[0] < 0.0;
}

SectionCut::SectionCut() = default;
SectionCut::~SectionCut() = default;

vtkIdType SectionCut::MeshCellOf(vtkIdType face) const
{
  vtkDataArray* ids = this->Face->GetCellData()->GetArray(SectionCellIdsName);
  const auto index =
    ids && face >= 0 && face < ids->GetNumberOfTuples() ? std::llround(ids->GetTuple1(face)) : -1;
  return index >= 0 && index < static_cast<long long>(this->Touched.size())
    ? this->Touched[static_cast<size_t>(index)]
    : -1;
}

void SectionCut::Update(vtkDataSet* mesh,
  SectionMode mode,
  const double origin[3],
  const double normal[3],
  const SectionDeformation& deformed)
{
  this->Face->Initialize();
  this->Outlines->Initialize();
  this->Touched.clear();
  this->Linear = false;
  if (mode == SectionMode::Off || mesh->GetNumberOfCells() == 0)
  {
    return;
  }
  // A displacement that is not one of the mesh's points' is none.
  vtkDataArray* displacement = deformed.Displacement;
  const bool moved = vtkPointSet::SafeDownCast(mesh) && displacement &&
    displacement->GetNumberOfComponents() == 3 &&
    displacement->GetNumberOfTuples() == mesh->GetNumberOfPoints() && displacement->GetName() &&
    mesh->GetPointData()->GetArray(displacement->GetName()) == displacement;
  const SectionDeformation deformation = moved ? deformed : SectionDeformation{ nullptr, 0.0 };
  this->FindTouched(mesh, mode, origin, normal, deformation);
  if (this->Touched.empty())
  {
    return; // the plane misses this mesh: nothing to cut (VTK's cutter would log about it)
  }
  if (mode == SectionMode::Cut && this->Corners.size() == this->Touched.size())
  {
    CutTetrahedra(vtkPointSet::SafeDownCast(mesh),
      this->Touched,
      this->Corners,
      normal,
      SectionCellIdsName,
      this->Face,
      this->Outlines);
    this->Linear = true;
    return;
  }
  std::sort(this->Touched.begin(), this->Touched.end());
  // The touched cells alone, each numbered, in the shape drawn: only their
  // points are moved, as the warp moves the surface's.
  vtkSmartPointer<vtkUnstructuredGrid> subset = this->TouchedSubset(mesh);
  if (moved)
  {
    vtkDataArray* points = subset->GetPoints()->GetData();
    MovePoints(
      points, subset->GetPointData()->GetArray(displacement->GetName()), points, deformed.Scale);
    subset->GetPoints()->Modified();
  }
  vtkNew<vtkIdTypeArray> ids;
  ids->SetName(SectionCellIdsName);
  ids->SetNumberOfValues(static_cast<vtkIdType>(this->Touched.size()));
  std::iota(ids->GetPointer(0), ids->GetPointer(0) + ids->GetNumberOfValues(), 0);
  subset->GetCellData()->AddArray(ids);
  if (mode == SectionMode::Cut)
  {
    vtkNew<vtkPlane> plane;
    plane->SetOrigin(origin);
    plane->SetNormal(normal);
    this->Cut(subset, plane);
  }
  else
  {
    this->Cells(subset);
  }
}

bool SectionCut::Stale(const Extents& extents,
  vtkDataSet* mesh,
  vtkDataArray* values,
  const double normal[3])
{
  vtkPointSet* pointSet = vtkPointSet::SafeDownCast(mesh);
  vtkObject* of = values ? static_cast<vtkObject*>(values) : mesh;
  const vtkMTimeType time = values      ? values->GetMTime()
    : pointSet && pointSet->GetPoints() ? pointSet->GetPoints()->GetMTime()
                                        : mesh->GetMTime();
  return extents.Of != of || extents.Time != time ||
    extents.Low.size() != static_cast<size_t>(mesh->GetNumberOfCells()) ||
    !std::equal(normal, normal + 3, extents.Normal);
}

void SectionCut::Compute(Extents& extents,
  vtkDataSet* mesh,
  vtkDataArray* values,
  const double normal[3])
{
  vtkPointSet* pointSet = vtkPointSet::SafeDownCast(mesh);
  extents.Of = values ? static_cast<vtkObject*>(values) : mesh;
  extents.Time = values                 ? values->GetMTime()
    : pointSet && pointSet->GetPoints() ? pointSet->GetPoints()->GetMTime()
                                        : mesh->GetMTime();
  std::copy(normal, normal + 3, extents.Normal);
  const auto cells = static_cast<size_t>(mesh->GetNumberOfCells());
  extents.Low.resize(cells);
  extents.High.resize(cells);
  WithCells(mesh,
    values,
    [&](auto&& all) { ComputeExtents(all, normal, extents.Low.data(), extents.High.data()); });
}

void SectionCut::Bin(bool moved)
{
  // A bin's key: its cells' low extent and their displacement's, each
  // quantised over its range (cells without points in none).
  // (About a hundred cells a bin, at most 1024 by 64 bins.)
  const size_t cells = this->Shape.Low.size();
  const auto total = static_cast<uint32_t>(std::clamp<size_t>(cells / 100, 1, 1024 * 64));
  const auto square = static_cast<uint32_t>(std::sqrt(total / 16.0));
  const uint32_t rows = moved ? std::clamp<uint32_t>(square, 1, 64) : 1;
  const uint32_t columns = std::max<uint32_t>(1, total / rows);
  const float* low = this->Shape.Low.data();
  const float* lowMoves = moved ? this->Moves.Low.data() : nullptr;
  const auto span = [cells](const float* values)
  {
    float range[2] = { std::numeric_limits<float>::max(), -std::numeric_limits<float>::max() };
    for (size_t c = 0; values && c < cells; ++c)
    {
      if (std::isfinite(values[c]))
      {
        range[0] = std::min(range[0], values[c]);
        range[1] = std::max(range[1], values[c]);
      }
    }
    return std::array<double, 2>{ range[0], range[1] > range[0] ? range[1] - range[0] : 1.0 };
  };
  const std::array<double, 2> lows = span(low), moves = span(lowMoves);
  const uint32_t empty = columns * rows;
  const auto key = [&](size_t c)
  {
    if (!std::isfinite(low[c]))
    {
      return empty;
    }
    const auto at = [](double value, std::array<double, 2> range, uint32_t count)
    { return std::min(count - 1, static_cast<uint32_t>((value - range[0]) / range[1] * count)); };
    return at(low[c], lows, columns) + (lowMoves ? columns * at(lowMoves[c], moves, rows) : 0);
  };
  Bins& bins = this->Binned;
  this->BinnedMoves = moved;
  if (cells > std::numeric_limits<uint32_t>::max())
  {
    bins = Bins{}; // too many cells to number in 32 bits: each one read
    return;
  }
  bins.First.assign(empty + 2, 0);
  for (size_t c = 0; c < cells; ++c)
  {
    ++bins.First[key(c) + 1];
  }
  std::partial_sum(bins.First.begin(), bins.First.end(), bins.First.begin());
  bins.Cells.resize(cells);
  const float inf = std::numeric_limits<float>::infinity();
  bins.Low.assign(empty, inf);
  bins.High.assign(empty, -inf);
  bins.LowMoves.assign(empty, moved ? inf : 0.0F);
  bins.HighMoves.assign(empty, moved ? -inf : 0.0F);
  std::vector<uint32_t> next(bins.First.begin(), bins.First.end() - 1);
  for (size_t c = 0; c < cells; ++c)
  {
    const uint32_t k = key(c);
    bins.Cells[next[k]++] = static_cast<uint32_t>(c);
    if (k == empty)
    {
      continue;
    }
    bins.Low[k] = std::min(bins.Low[k], low[c]);
    bins.High[k] = std::max(bins.High[k], this->Shape.High[c]);
    if (moved)
    {
      // Of both of the displacement's extents: a negative scale takes
      // each for the other.
      bins.LowMoves[k] = std::min(bins.LowMoves[k], lowMoves[c]);
      bins.HighMoves[k] = std::max(bins.HighMoves[k], this->Moves.High[c]);
    }
  }
  // The extents in the bins' order: a bin's cells are then read in one run.
  std::vector<float> ordered(cells);
  for (std::vector<float>* values :
    { &this->Shape.Low, &this->Shape.High, &this->Moves.Low, &this->Moves.High })
  {
    if (values->size() == cells)
    {
      for (size_t k = 0; k < cells; ++k)
      {
        ordered[k] = (*values)[bins.Cells[k]];
      }
      values->swap(ordered);
    }
  }
}

void SectionCut::FindTouched(vtkDataSet* mesh,
  SectionMode mode,
  const double origin[3],
  const double normal[3],
  const SectionDeformation& deformed)
{
  // The extents of the undeformed points and of the displacement are kept
  // while those and the normal stay the same: the deformed extent of a
  // cell lies within the first plus scale times the second.
  vtkDataArray* displacement = deformed.Displacement;
  const double scale = displacement ? deformed.Scale : 0.0;
  // The extents are kept in the bins' order: when either is stale, both
  // are computed again.
  if (Stale(this->Shape, mesh, nullptr, normal) ||
    (displacement && Stale(this->Moves, mesh, displacement, normal)) ||
    this->BinnedMoves != (displacement != nullptr))
  {
    Compute(this->Shape, mesh, nullptr, normal);
    this->Moves = Extents{};
    if (displacement)
    {
      Compute(this->Moves, mesh, displacement, normal);
    }
    this->Bin(displacement != nullptr);
  }
  // The largest displacement times the scale.
  const double moves = displacement ? std::abs(scale) * displacement->GetRange(-1)[1] : 0.0;
  // The extents are read with a margin far wider than their floats'
  // rounding and tiny against any cell: they only choose which cells are
  // tested exactly.
  double bounds[6];
  mesh->GetBounds(bounds);
  double size = 0.0;
  for (const double bound : bounds)
  {
    size = std::max(size, std::abs(bound));
  }
  const double offset = vtkMath::Dot(normal, origin);
  const double margin = 1e-6 * (3.0 * size + std::abs(offset) + 3.0 * moves);
  const double window[2] = { offset - margin, offset + margin };
  WithCells(
    mesh,
    nullptr,
    [&](auto&& cells) { this->FindTouchedIn(cells, mode, origin, normal, window, scale); },
    deformed);
}

template <typename CellPoints>
void SectionCut::FindTouchedIn(CellPoints& cells,
  SectionMode mode,
  const double origin[3],
  const double normal[3],
  const double window[2],
  double scale)
{
  // The displacement's extent scaled: its low end moves the cell's low end
  // for a positive scale, its high end for a negative one. A bin's bounds
  // are computed as a cell's, from values no greater (no smaller): rounding
  // keeps them around each of its cells'.
  const bool rising = scale > 0.0;
  const auto outside = [&](const std::vector<float>& lows,
                         const std::vector<float>& highs,
                         const std::vector<float>& lowMoves,
                         const std::vector<float>& highMoves,
                         size_t at)
  {
    double lo = lows[at], hi = highs[at];
    if (scale != 0.0)
    {
      lo += scale * (rising ? lowMoves[at] : highMoves[at]);
      hi += scale * (rising ? highMoves[at] : lowMoves[at]);
    }
    return lo > window[1] || hi < window[0];
  };
  // The cells whose extents hold the plane, in the bins' order (the extents
  // of the k-th cell of the bins' run at k).
  this->Candidates.clear();
  const Bins& bins = this->Binned;
  if (bins.Cells.empty())
  {
    for (vtkIdType cell = 0; cell < cells.Count; ++cell)
    {
      const auto at = static_cast<size_t>(cell);
      if (!outside(this->Shape.Low, this->Shape.High, this->Moves.Low, this->Moves.High, at))
      {
        this->Candidates.push_back(cell);
      }
    }
  }
  for (size_t bin = 0; bin < bins.Low.size(); ++bin)
  {
    if (!outside(bins.Low, bins.High, bins.LowMoves, bins.HighMoves, bin))
    {
      for (uint32_t k = bins.First[bin]; k < bins.First[bin + 1]; ++k)
      {
        if (!outside(this->Shape.Low, this->Shape.High, this->Moves.Low, this->Moves.High, k))
        {
          this->Candidates.push_back(static_cast<vtkIdType>(bins.Cells[k]));
        }
      }
    }
  }
  // Those the plane meets, their points asked for a few cells ahead. Of a
  // cut through tetrahedra read from the mesh's arrays, their corners are
  // kept for the cut, which then reads nothing of the mesh again.
  this->Corners.clear();
  bool corners = CellPoints::Direct && mode == SectionMode::Cut;
  ForCellsAhead(
    cells,
    this->Candidates.size(),
    [this](size_t i) { return this->Candidates[i]; },
    [&](size_t i)
    {
      const vtkIdType cell = this->Candidates[i];
      double range[2];
      if constexpr (CellPoints::Direct)
      {
        if (corners && cells.Types[cell] == VTK_TETRA && cells.PointCount(cell) == 4)
        {
          TetrahedronCorners t;
          range[0] = VTK_DOUBLE_MAX;
          range[1] = -VTK_DOUBLE_MAX;
          for (int k = 0; k < 4; ++k)
          {
            t.Ids[k] = static_cast<vtkIdType>(cells.PointIds(cell)[k]);
            cells.Point(t.Ids[k], t.X[k]);
            t.S[k] =
              vtkPlane::Evaluate(const_cast<double*>(normal), const_cast<double*>(origin), t.X[k]);
            range[0] = std::min(range[0], t.S[k]);
            range[1] = std::max(range[1], t.S[k]);
          }
          if (Meets(mode, range))
          {
            this->Touched.push_back(cell);
            this->Corners.push_back(t);
          }
          return;
        }
      }
      CellSides(cells, cell, origin, normal, range);
      if (Meets(mode, range))
      {
        this->Touched.push_back(cell);
        corners = false; // not all tetrahedra: the cut goes through VTK's cutter
      }
    });
  if (!corners)
  {
    this->Corners.clear();
  }
}

vtkSmartPointer<vtkUnstructuredGrid> SectionCut::TouchedSubset(vtkDataSet* mesh)
{
  auto* grid = vtkUnstructuredGrid::SafeDownCast(mesh);
  if (!grid || grid->GetFaces())
  {
    // Polyhedra (their faces) and other data sets: VTK's extraction.
    vtkNew<vtkExtractCells> extract;
    extract->SetInputData(mesh);
    extract->SetCellIds(this->Touched.data(), static_cast<vtkIdType>(this->Touched.size()));
    extract->AssumeSortedAndUniqueIdsOn();
    extract->Update();
    return extract->GetOutput();
  }
  // The cells' points numbered in the order met, through a map of the
  // mesh's points kept between moves (only its entries used are reset).
  this->PointMap.resize(static_cast<size_t>(grid->GetNumberOfPoints()), -1);
  vtkNew<vtkIdList> fromPoints, fromCells;
  const auto count = static_cast<vtkIdType>(this->Touched.size());
  fromCells->SetNumberOfIds(count);
  std::copy(this->Touched.begin(), this->Touched.end(), fromCells->begin());
  vtkNew<vtkIdTypeArray> offsets, connectivity;
  vtkNew<vtkUnsignedCharArray> types;
  offsets->SetNumberOfValues(count + 1);
  types->SetNumberOfValues(count);
  offsets->SetValue(0, 0);
  for (vtkIdType c = 0; c < count; ++c)
  {
    vtkIdType npts = 0;
    const vtkIdType* pts = nullptr;
    grid->GetCellPoints(this->Touched[static_cast<size_t>(c)], npts, pts);
    for (vtkIdType k = 0; k < npts; ++k)
    {
      vtkIdType& to = this->PointMap[static_cast<size_t>(pts[k])];
      if (to < 0)
      {
        to = fromPoints->InsertNextId(pts[k]);
      }
      connectivity->InsertNextValue(to);
    }
    offsets->SetValue(c + 1, connectivity->GetNumberOfValues());
    types->SetValue(
      c, static_cast<unsigned char>(grid->GetCellType(this->Touched[static_cast<size_t>(c)])));
  }
  const vtkIdType used = fromPoints->GetNumberOfIds();
  for (vtkIdType i = 0; i < used; ++i)
  {
    this->PointMap[static_cast<size_t>(fromPoints->GetId(i))] = -1;
  }
  auto subset = vtkSmartPointer<vtkUnstructuredGrid>::New();
  vtkNew<vtkPoints> points;
  points->SetDataType(grid->GetPoints()->GetDataType());
  points->SetNumberOfPoints(used);
  grid->GetPoints()->GetData()->GetTuples(fromPoints, points->GetData());
  subset->SetPoints(points);
  vtkNew<vtkCellArray> cells;
  cells->SetData(offsets, connectivity);
  subset->SetCells(types, cells);
  CopyTuples(grid->GetPointData(), fromPoints, subset->GetPointData());
  CopyTuples(grid->GetCellData(), fromCells, subset->GetCellData());
  return subset;
}

void SectionCut::Cut(vtkDataSet* subset, vtkPlane* plane)
{
  vtkSmartPointer<vtkAlgorithm> cutter;
  this->Linear = vtk3DLinearGridPlaneCutter::CanFullyProcessDataObject(subset);
  if (this->Linear)
  {
    vtkNew<vtk3DLinearGridPlaneCutter> linear;
    linear->SetPlane(plane);
    // Each triangle with points of its own: merging the points shared by
    // the cells' parts of the cut would cost more than the cut itself.
    linear->MergePointsOff();
    linear->InterpolateAttributesOn();
    cutter = linear;
  }
  else
  {
    vtkNew<vtkCutter> general;
    general->SetCutFunction(plane);
    general->GenerateTrianglesOn();
    cutter = general;
  }
  cutter->SetInputDataObject(subset);
  cutter->Update();
  vtkPolyData* cut = vtkPolyData::SafeDownCast(cutter->GetOutputDataObject(0));
  if (!cut)
  {
    return;
  }
  vtkDataArray* cells = cut->GetCellData()->GetArray(SectionCellIdsName);
  if (!cells || cut->GetNumberOfPolys() != cut->GetNumberOfCells())
  {
    FaceHiddenSide(cut, plane->GetNormal());
    this->Face->ShallowCopy(cut);
    this->Outlines->ShallowCopy(cut);
    return;
  }
  vtkSmartPointer<vtkPolyData> ordered = OrderedByCell(cut, cells);
  FaceHiddenSide(ordered, plane->GetNormal());
  this->Face->ShallowCopy(ordered);
  this->Outlines->SetPoints(ordered->GetPoints());
  this->Outlines->SetPolys(
    CellPolygons(ordered, ordered->GetCellData()->GetArray(SectionCellIdsName)));
}

void SectionCut::Cells(vtkDataSet* subset)
{
  vtkNew<BoundarySurface> surface;
  surface->SetInputData(subset);
  surface->Update();
  this->Face->ShallowCopy(surface->GetOutput());
  this->Outlines->ShallowCopy(surface->GetOutput());
}

//------------------------------------------------------------------------------
// The viewer's section plane.
namespace
{
// The colouring of one mapper given to another.
void CopyColouring(vtkMapper* from, vtkMapper* to)
{
  to->SetScalarVisibility(from->GetScalarVisibility());
  to->SetScalarMode(from->GetScalarMode());
  to->SelectColorArray(from->GetArrayName());
  to->SetLookupTable(from->GetLookupTable());
  to->SetUseLookupTableScalarRange(from->GetUseLookupTableScalarRange());
  to->SetInterpolateScalarsBeforeMapping(from->GetInterpolateScalarsBeforeMapping());
}

// The mapper clipped by the plane alone (null: by none). A mapper already
// clipped so is left as it is: its planes are read at each frame, while a
// change of its planes' collection would have it build its buffers again.
void SetClipping(vtkActor* actor, vtkPlane* plane)
{
  vtkMapper* mapper = actor->GetMapper();
  if (!mapper)
  {
    return;
  }
  vtkPlaneCollection* planes = mapper->GetClippingPlanes();
  const int count = planes ? planes->GetNumberOfItems() : 0;
  if (plane ? count == 1 && planes->GetItem(0) == plane : count == 0)
  {
    return;
  }
  mapper->RemoveAllClippingPlanes();
  if (plane)
  {
    mapper->AddClippingPlane(plane);
  }
}
} // namespace

bool Viewer::SetSection(SectionMode mode,
  const double* origin,
  const double* normal,
  std::string& error)
{
  double unit[3] = { 0.0, 0.0, 0.0 };
  if (normal)
  {
    std::copy(normal, normal + 3, unit);
    if (!NormalizeSectionNormal(unit, error))
    {
      return false;
    }
    std::copy(unit, unit + 3, this->Options.SectionNormal);
  }
  if (origin)
  {
    std::copy(origin, origin + 3, this->Options.SectionOrigin);
    this->Options.SectionOriginGiven = true;
  }
  this->Options.Section = mode;
  this->ApplySection();
  this->Render();
  return true;
}

const SectionCut& Viewer::GetSection(size_t part) const
{
  return this->Parts.at(part)->Section;
}

void Viewer::GetSectionPlane(double origin[3], double normal[3]) const
{
  std::copy(this->Options.SectionNormal, this->Options.SectionNormal + 3, normal);
  if (this->Options.SectionOriginGiven)
  {
    std::copy(this->Options.SectionOrigin, this->Options.SectionOrigin + 3, origin);
    return;
  }
  vtkBoundingBox model;
  for (const auto& part : this->Parts)
  {
    model.AddBounds(this->ShapeOf(*part)->GetBounds());
  }
  origin[0] = origin[1] = origin[2] = 0.0;
  if (model.IsValid())
  {
    model.GetCenter(origin);
  }
}

void Viewer::MoveSection(double fraction)
{
  if (this->Options.Section == SectionMode::Off)
  {
    this->Log << "no section plane to move (--section cut or cells, the key x)\n";
    return;
  }
  vtkBoundingBox model;
  for (const auto& part : this->Parts)
  {
    model.AddBounds(this->ShapeOf(*part)->GetBounds());
  }
  double origin[3], normal[3];
  this->GetSectionPlane(origin, normal);
  const double step = fraction * (model.IsValid() ? model.GetDiagonalLength() : 1.0);
  for (int i = 0; i < 3; ++i)
  {
    origin[i] += step * normal[i];
  }
  std::string ignored; // the normal is a unit one already
  this->SetSection(this->Options.Section, origin, nullptr, ignored);
}

void Viewer::TurnSection(double degrees)
{
  if (this->Options.Section == SectionMode::Off)
  {
    this->Log << "no section plane to turn (--section cut or cells, the key x)\n";
    return;
  }
  // About the camera's view up through the plane's origin.
  double origin[3], normal[3], up[3], turned[3];
  this->GetSectionPlane(origin, normal);
  this->RendererObject->GetActiveCamera()->GetViewUp(up);
  vtkNew<vtkTransform> turn;
  turn->RotateWXYZ(degrees, up);
  turn->TransformNormal(normal, turned);
  std::string ignored;
  this->SetSection(this->Options.Section, origin, turned, ignored);
}

void Viewer::NextSectionMode()
{
  const SectionMode next = this->Options.Section == SectionMode::Off ? SectionMode::Cut
    : this->Options.Section == SectionMode::Cut                      ? SectionMode::Cells
                                                                     : SectionMode::Off;
  std::string ignored;
  this->SetSection(next, nullptr, nullptr, ignored);
}

void Viewer::ApplySection()
{
  const SectionMode mode = this->Options.Section;
  double origin[3], normal[3];
  this->GetSectionPlane(origin, normal);
  // The mappers keep the side away from the normal.
  this->ClipPlane->SetOrigin(origin);
  this->ClipPlane->SetNormal(-normal[0], -normal[1], -normal[2]);
  vtkPlane* clip = mode == SectionMode::Off ? nullptr : this->ClipPlane.GetPointer();
  for (const auto& part : this->Parts)
  {
    for (vtkActor* actor : { static_cast<vtkActor*>(part->SurfaceActor),
           static_cast<vtkActor*>(part->Edges.GetActor()),
           part->HighlightActor.GetPointer() })
    {
      SetClipping(actor, clip);
    }
    // The mesh as drawn, moved as its surface is when it is deformed: a
    // change of scale alone finds the cells from the extents already
    // computed and moves only the points of those the plane meets.
    const SectionDeformation deformation = { part->Warp.IsWarping()
        ? part->Mesh->GetPointData()->GetArray(this->Options.WarpArray.c_str())
        : nullptr,
      this->WarpScale };
    part->Section.Update(part->Mesh, mode, origin, normal, deformation);
    if (!part->SectionActor->GetMapper())
    {
      vtkNew<vtkPolyDataMapper> mapper;
      mapper->SetInputData(part->Section.GetFace());
      part->SectionActor->SetMapper(mapper);
      part->SectionActor->SetProperty(part->SurfaceActor->GetProperty());
      this->RendererObject->AddActor(part->SectionActor);
    }
    part->SectionEdges.Attach(part->Section.GetOutlines(),
      this->RendererObject,
      mode == SectionMode::Off ? EdgeMode::Off : this->Options.Edges);
    part->SectionEdges.SetVisible(part->Visible && mode != SectionMode::Off);
    part->SectionActor->SetVisibility(part->Visible && mode != SectionMode::Off);
  }
  this->ColourSection();
  if (mode != SectionMode::Off)
  {
    vtkIdType touched = 0;
    for (const auto& part : this->Parts)
    {
      touched += part->Section.GetTouchedCells();
    }
    this->Log << "section: " << (mode == SectionMode::Cut ? "cut" : "whole cells") << " at origin "
              << origin[0] << " " << origin[1] << " " << origin[2] << ", normal " << normal[0]
              << " " << normal[1] << " " << normal[2] << " (its side hidden), " << touched
              << " cells crossed\n";
  }
  else if (this->SectionShown)
  {
    this->Log << "section: off\n";
  }
  this->SectionShown = mode != SectionMode::Off;
}

void Viewer::ColourSection()
{
  for (const auto& part : this->Parts)
  {
    vtkMapper* face = part->SectionActor->GetMapper();
    if (!face)
    {
      continue;
    }
    CopyColouring(part->SurfaceActor->GetMapper(), face);
    if (this->Coloured.Which.Which == Component::Kind::VonMises)
    {
      vtkPolyData* cut = part->Section.GetFace();
      vtkFieldData* data = this->Coloured.Field == 0
        ? static_cast<vtkFieldData*>(cut->GetPointData())
        : static_cast<vtkFieldData*>(cut->GetCellData());
      if (vtkDataArray* tensor = data->GetArray(this->Coloured.ArrayName.c_str());
          tensor && !data->GetArray(this->Coloured.Title.c_str()))
      {
        data->AddArray(VonMisesArray(tensor, this->Coloured.Title));
      }
    }
  }
}

} // namespace orvi
