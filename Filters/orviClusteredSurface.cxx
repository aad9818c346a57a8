#include "orviClusteredSurface.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkDataArray.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkInformation.h"
#include "vtkInformationVector.h"
#include "vtkMath.h"
#include "vtkObjectFactory.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

namespace orvi
{

vtkStandardNewMacro(ClusteredSurface);

namespace
{
// How a step of the clustering ends: the next step runs, or the clustering
// stops with nothing (an empty result) or cancelled.
enum class Next
{
  Go,
  Nothing,
  Cancelled
};

bool Cancelled(const std::atomic<bool>* cancel)
{
  return cancel && cancel->load(std::memory_order_relaxed);
}

// The polygons of a surface, read without touching the surface: each
// polygon's ids copied out.
struct Polygons
{
  vtkPoints* Points;
  vtkCellArray* Cells;
  vtkIdType NumberOfCells;
  vtkIdType NumberOfPoints;
  vtkNew<vtkIdList> Cell;

  explicit Polygons(vtkPolyData* surface)
    : Points(surface->GetPoints())
    , Cells(surface->GetPolys())
    , NumberOfCells(this->Cells ? this->Cells->GetNumberOfCells() : 0)
    , NumberOfPoints(this->Points ? this->Points->GetNumberOfPoints() : 0)
  {
  }

  vtkIdList* Get(vtkIdType c)
  {
    this->Cells->GetCellAtId(c, this->Cell);
    return this->Cell;
  }
};

// The points the polygons use, their bounds and the polygons' area.
struct Extent
{
  std::vector<char> Used;
  double Bounds[6] = { VTK_DOUBLE_MAX,
    VTK_DOUBLE_MIN,
    VTK_DOUBLE_MAX,
    VTK_DOUBLE_MIN,
    VTK_DOUBLE_MAX,
    VTK_DOUBLE_MIN };
  double Area = 0.0;

  void Use(vtkPoints* points, vtkIdType id)
  {
    if (this->Used[id])
    {
      return;
    }
    this->Used[id] = 1;
    double x[3];
    points->GetPoint(id, x);
    for (int i = 0; i < 3; ++i)
    {
      this->Bounds[2 * i] = std::min(this->Bounds[2 * i], x[i]);
      this->Bounds[2 * i + 1] = std::max(this->Bounds[2 * i + 1], x[i]);
    }
  }

  // The area of the polygon's fan triangles.
  void AddArea(vtkPoints* points, vtkIdList* cell)
  {
    const vtkIdType n = cell->GetNumberOfIds();
    double p0[3], a[3], b[3];
    points->GetPoint(cell->GetId(0), p0);
    points->GetPoint(cell->GetId(1), a);
    for (vtkIdType k = 2; k < n; ++k)
    {
      points->GetPoint(cell->GetId(k), b);
      double u[3], v[3], w[3];
      for (int i = 0; i < 3; ++i)
      {
        u[i] = a[i] - p0[i];
        v[i] = b[i] - p0[i];
      }
      vtkMath::Cross(u, v, w);
      this->Area += 0.5 * vtkMath::Norm(w);
      std::copy(b, b + 3, a);
    }
  }
};

Next Measure(Polygons& polys, const std::atomic<bool>* cancel, Extent& extent)
{
  extent.Used.assign(static_cast<size_t>(polys.NumberOfPoints), 0);
  for (vtkIdType c = 0; c < polys.NumberOfCells; ++c)
  {
    if ((c & 0xffff) == 0 && Cancelled(cancel))
    {
      return Next::Cancelled;
    }
    vtkIdList* cell = polys.Get(c);
    const vtkIdType n = cell->GetNumberOfIds();
    for (vtkIdType k = 0; k < n; ++k)
    {
      const vtkIdType id = cell->GetId(k);
      if (id < 0 || id >= polys.NumberOfPoints)
      {
        return Next::Nothing; // a polygon off the points
      }
      extent.Use(polys.Points, id);
    }
    if (n >= 3)
    {
      extent.AddArea(polys.Points, cell);
    }
  }
  return extent.Area > 0.0 ? Next::Go : Next::Nothing;
}

// A grid whose cells hold about one output point each: a closed surface has
// about half as many points as triangles, one per H x H of its area. At
// most 2^20 cells a side, so that a grid cell's index fits 64 bits.
struct Grid
{
  double H;
  double Origin[3];
  std::array<std::uint64_t, 3> Dims;

  Grid(const Extent& extent, vtkIdType triangles)
  {
    this->H = std::sqrt(2.0 * extent.Area / static_cast<double>(triangles));
    constexpr std::uint64_t maxDim = std::uint64_t(1) << 20;
    for (int i = 0; i < 3; ++i)
    {
      const double size = extent.Bounds[2 * i + 1] - extent.Bounds[2 * i];
      this->H = std::max(this->H, size / static_cast<double>(maxDim - 1));
    }
    for (int i = 0; i < 3; ++i)
    {
      this->Origin[i] = extent.Bounds[2 * i];
      const double size = extent.Bounds[2 * i + 1] - extent.Bounds[2 * i];
      this->Dims[i] = static_cast<std::uint64_t>(size / this->H) + 1;
    }
  }

  std::uint64_t CellOf(const double x[3]) const
  {
    std::uint64_t index[3];
    for (int i = 0; i < 3; ++i)
    {
      index[i] = std::min<std::uint64_t>(
        static_cast<std::uint64_t>((x[i] - this->Origin[i]) / this->H), this->Dims[i] - 1);
    }
    return (index[0] * this->Dims[1] + index[1]) * this->Dims[2] + index[2];
  }
};

using KeyedPoints = std::vector<std::pair<std::uint64_t, vtkIdType>>;

// Each used point's grid cell, sorted by grid cell.
KeyedPoints SortByGridCell(vtkPoints* points, const std::vector<char>& used, const Grid& grid)
{
  KeyedPoints keyed;
  for (vtkIdType id = 0; id < static_cast<vtkIdType>(used.size()); ++id)
  {
    if (used[id])
    {
      double x[3];
      points->GetPoint(id, x);
      keyed.emplace_back(grid.CellOf(x), id);
    }
  }
  std::sort(keyed.begin(), keyed.end());
  return keyed;
}

// The point of keyed[first, last) (one grid cell's) nearest to their mean.
vtkIdType NearestToMean(vtkPoints* points, const KeyedPoints& keyed, size_t first, size_t last)
{
  double mean[3] = { 0.0, 0.0, 0.0 };
  for (size_t k = first; k < last; ++k)
  {
    double x[3];
    points->GetPoint(keyed[k].second, x);
    for (int i = 0; i < 3; ++i)
    {
      mean[i] += x[i];
    }
  }
  for (double& m : mean)
  {
    m /= static_cast<double>(last - first);
  }
  vtkIdType best = keyed[first].second;
  double bestDistance = VTK_DOUBLE_MAX;
  for (size_t k = first; k < last; ++k)
  {
    double x[3];
    points->GetPoint(keyed[k].second, x);
    const double d = vtkMath::Distance2BetweenPoints(x, mean);
    if (d < bestDistance)
    {
      bestDistance = d;
      best = keyed[k].second;
    }
  }
  return best;
}

// One output point per grid cell; the output point of each surface point
// (-1 for those no polygon uses).
std::vector<vtkIdType> ChoosePoints(vtkPoints* points,
  vtkIdType numPoints,
  const KeyedPoints& keyed,
  std::vector<vtkIdType>& chosen)
{
  std::vector<vtkIdType> pointIndex(static_cast<size_t>(numPoints), -1);
  for (size_t first = 0; first < keyed.size();)
  {
    size_t last = first;
    const auto index = static_cast<vtkIdType>(chosen.size());
    for (; last < keyed.size() && keyed[last].first == keyed[first].first; ++last)
    {
      pointIndex[keyed[last].second] = index;
    }
    chosen.push_back(NearestToMean(points, keyed, first, last));
    first = last;
  }
  return pointIndex;
}

// The polygons' fan triangles between the chosen points; a triangle that
// collapses is left out, and of the triangles with the same three points in
// the same turn only the first one's cell is kept.
Next CollectTriangles(Polygons& polys,
  const std::vector<vtkIdType>& pointIndex,
  const std::atomic<bool>* cancel,
  ClusteredSurface::Clusters& out)
{
  std::vector<std::array<vtkIdType, 4>> tris; // three points, least first, and the cell
  for (vtkIdType c = 0; c < polys.NumberOfCells; ++c)
  {
    if ((c & 0xffff) == 0 && Cancelled(cancel))
    {
      return Next::Cancelled;
    }
    vtkIdList* cell = polys.Get(c);
    for (vtkIdType k = 2; k < cell->GetNumberOfIds(); ++k)
    {
      std::array<vtkIdType, 3> t = {
        pointIndex[cell->GetId(0)], pointIndex[cell->GetId(k - 1)], pointIndex[cell->GetId(k)]
      };
      if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2])
      {
        continue;
      }
      std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
      tris.push_back({ t[0], t[1], t[2], c });
    }
  }
  std::sort(tris.begin(), tris.end());
  for (size_t k = 0; k < tris.size(); ++k)
  {
    if (k > 0 && std::equal(tris[k].begin(), tris[k].begin() + 3, tris[k - 1].begin()))
    {
      continue;
    }
    out.Triangles.insert(out.Triangles.end(), tris[k].begin(), tris[k].begin() + 3);
    out.Cells.push_back(tris[k][3]);
  }
  return Cancelled(cancel) ? Next::Cancelled : Next::Go;
}
} // namespace

//------------------------------------------------------------------------------
bool ClusteredSurface::Cluster(vtkPolyData* surface,
  vtkIdType triangles,
  const std::atomic<bool>* cancel,
  Clusters& out)
{
  out = Clusters();
  Polygons polys(surface);
  if (polys.NumberOfCells == 0 || polys.NumberOfPoints == 0 || triangles <= 0)
  {
    return true;
  }
  Extent extent;
  const Next measured = Measure(polys, cancel, extent);
  if (measured != Next::Go)
  {
    return measured != Next::Cancelled;
  }
  KeyedPoints keyed = SortByGridCell(polys.Points, extent.Used, Grid(extent, triangles));
  extent.Used = {};
  if (Cancelled(cancel))
  {
    return false;
  }
  const std::vector<vtkIdType> pointIndex =
    ChoosePoints(polys.Points, polys.NumberOfPoints, keyed, out.Points);
  keyed = {};
  return CollectTriangles(polys, pointIndex, cancel, out) == Next::Go;
}

//------------------------------------------------------------------------------
vtkSmartPointer<vtkPolyData> ClusteredSurface::Assemble(vtkPolyData* surface,
  const Clusters& clusters)
{
  auto out = vtkSmartPointer<vtkPolyData>::New();
  const auto numPoints = static_cast<vtkIdType>(clusters.Points.size());
  const auto numTriangles = static_cast<vtkIdType>(clusters.Cells.size());
  vtkNew<vtkPoints> points;
  points->SetDataType(surface->GetPoints() ? surface->GetPoints()->GetDataType() : VTK_FLOAT);
  points->SetNumberOfPoints(numPoints);
  vtkPointData* inPD = surface->GetPointData();
  vtkPointData* outPD = out->GetPointData();
  outPD->CopyAllocate(inPD, numPoints);
  for (vtkIdType i = 0; i < numPoints; ++i)
  {
    double x[3];
    surface->GetPoints()->GetPoint(clusters.Points[i], x);
    points->SetPoint(i, x);
    outPD->CopyData(inPD, clusters.Points[i], i);
  }
  out->SetPoints(points);

  vtkNew<vtkIdTypeArray> offsets, connectivity;
  offsets->SetNumberOfValues(numTriangles + 1);
  for (vtkIdType t = 0; t <= numTriangles; ++t)
  {
    offsets->SetValue(t, 3 * t);
  }
  connectivity->SetNumberOfValues(3 * numTriangles);
  std::copy(clusters.Triangles.begin(), clusters.Triangles.end(), connectivity->GetPointer(0));
  vtkNew<vtkCellArray> polys;
  polys->SetData(offsets, connectivity);
  out->SetPolys(polys);

  vtkCellData* inCD = surface->GetCellData();
  vtkCellData* outCD = out->GetCellData();
  outCD->CopyAllocate(inCD, numTriangles);
  for (vtkIdType t = 0; t < numTriangles; ++t)
  {
    outCD->CopyData(inCD, clusters.Cells[t], t);
  }
  return out;
}

//------------------------------------------------------------------------------
void ClusteredSurface::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "TargetTriangles: " << this->TargetTriangles << "\n";
}

//------------------------------------------------------------------------------
int ClusteredSurface::RequestData(vtkInformation*,
  vtkInformationVector** inputVector,
  vtkInformationVector* outputVector)
{
  vtkPolyData* input = vtkPolyData::GetData(inputVector[0]);
  vtkPolyData* output = vtkPolyData::GetData(outputVector);
  if (!input || !output)
  {
    return 0;
  }
  // Cluster() gives nothing for a polygon off the points; the filter says
  // why.
  const vtkIdType numPoints = input->GetNumberOfPoints();
  vtkDataArray* ids = input->GetPolys() ? input->GetPolys()->GetConnectivityArray() : nullptr;
  if (ids && ids->GetNumberOfValues() > 0)
  {
    double range[2];
    ids->GetRange(range, 0);
    if (range[0] < 0 || range[1] >= static_cast<double>(numPoints))
    {
      vtkErrorMacro("a polygon refers to point "
        << static_cast<vtkIdType>(range[0] < 0 ? range[0] : range[1]) << " of a surface of "
        << numPoints << " points");
      return 1;
    }
  }
  Clusters clusters;
  Cluster(input, this->TargetTriangles, nullptr, clusters);
  output->ShallowCopy(Assemble(input, clusters));
  return 1;
}

} // namespace orvi
