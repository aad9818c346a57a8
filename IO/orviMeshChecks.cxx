#include "orviMeshChecks.h"

#include "vtkKivCellChecks.h" // the library's cell checks, header only

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkDataSet.h"
#include "vtkPointData.h"
#include "vtkPolyData.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace orvi
{

namespace
{
// Coordinates beyond this magnitude are refused: the renderer draws in
// single precision, whose largest value is about 3.4e38.
constexpr double MaxCoordinate = 1.0e38;

// Cells of a vtkPolyData with fewer points than their kind needs (a
// polygon of two points): VTK logs "Invalid cell size" while building its
// cell map and leaves it unbuilt, which later crashes whoever asks a cell's
// type. Empty when there are none.
std::string CheckPolyCellSizes(vtkDataSet* data)
{
  auto* poly = vtkPolyData::SafeDownCast(data);
  if (!poly)
  {
    return {};
  }
  const std::array<std::pair<vtkCellArray*, const char*>, 4> lists = { {
    { poly->GetVerts(), "vertex" },
    { poly->GetLines(), "line" },
    { poly->GetPolys(), "polygon" },
    { poly->GetStrips(), "triangle strip" },
  } };
  const std::array<vtkIdType, 4> least = { 1, 2, 3, 3 };
  vtkIdType first = 0;
  for (std::size_t k = 0; k < lists.size(); ++k)
  {
    vtkCellArray* cells = lists[k].first;
    if (!cells)
    {
      continue;
    }
    for (vtkIdType c = 0; c < cells->GetNumberOfCells(); ++c)
    {
      const vtkIdType size = cells->GetCellSize(c);
      if (size < least[k])
      {
        return "cell " + std::to_string(first + c) + " is a " + lists[k].second + " of " +
          std::to_string(size) + " point(s); a " + lists[k].second + " needs at least " +
          std::to_string(least[k]);
      }
    }
    first += cells->GetNumberOfCells();
  }
  return {};
}

// The coordinates in one pass: refused when one is not a finite number or
// beyond single precision (the renderer's), and when a few points lie so far
// from the rest that the model would be drawn as a dot (a damaged value far
// more often than a model). The bulk is measured on an even sample: its
// median point and the distance within which 95% of the sample lies.
std::string CheckCoordinates(vtkDataSet* data)
{
  const vtkIdType n = data->GetNumberOfPoints();
  constexpr vtkIdType SampleSize = 4096;
  const vtkIdType stride = std::max<vtkIdType>(1, n / SampleSize);
  std::array<std::vector<double>, 3> sample;
  std::array<double, 3> p{};
  for (vtkIdType i = 0; i < n; ++i)
  {
    data->GetPoint(i, p.data());
    for (int a = 0; a < 3; ++a)
    {
      if (!(std::abs(p[a]) <= MaxCoordinate))
      {
        std::ostringstream why;
        if (std::isfinite(p[a]))
        {
          why << "coordinate " << p[a] << " is beyond single precision, which the renderer uses";
        }
        else
        {
          why << "it holds coordinates that are not finite numbers";
        }
        return why.str();
      }
      if (i % stride == 0)
      {
        sample[a].push_back(p[a]);
      }
    }
  }
  if (n < 8)
  {
    return {};
  }
  std::array<double, 3> median{};
  for (int a = 0; a < 3; ++a)
  {
    std::vector<double> values = sample[a];
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    median[a] = values[values.size() / 2];
  }
  const auto distance = [&median](const std::array<double, 3>& q)
  {
    return std::sqrt((q[0] - median[0]) * (q[0] - median[0]) +
      (q[1] - median[1]) * (q[1] - median[1]) + (q[2] - median[2]) * (q[2] - median[2]));
  };
  std::vector<double> distances(sample[0].size());
  for (std::size_t i = 0; i < distances.size(); ++i)
  {
    distances[i] = distance({ sample[0][i], sample[1][i], sample[2][i] });
  }
  const auto at95 = distances.begin() + static_cast<std::ptrdiff_t>(distances.size() * 95 / 100);
  std::nth_element(distances.begin(), at95, distances.end());
  const double bulk = *at95;
  if (!(bulk > 0.0))
  {
    return {};
  }
  // Beyond 100 times the bulk's radius the bulk fills under a hundredth
  // of the view; there are few such points by construction (under 5% of
  // the sample), and each is named.
  const double far = 100.0 * bulk;
  std::vector<vtkIdType> outliers;
  double farthest = 0.0;
  for (vtkIdType i = 0; i < n; ++i)
  {
    data->GetPoint(i, p.data());
    const double d = distance(p);
    if (d > far)
    {
      outliers.push_back(i);
      farthest = std::max(farthest, d);
    }
  }
  if (outliers.empty())
  {
    return {};
  }
  std::ostringstream why;
  why.precision(3);
  why << (outliers.size() == 1 ? "point " : "points ");
  for (std::size_t k = 0; k < outliers.size() && k < 3; ++k)
  {
    data->GetPoint(outliers[k], p.data());
    why << (k > 0 ? ", " : "") << outliers[k] << " (" << p[0] << ", " << p[1] << ", " << p[2]
        << ")";
  }
  why << (outliers.size() > 3 ? " and more" : "") << (outliers.size() == 1 ? " lies " : " lie ")
      << "up to " << farthest / bulk << " times the model's size from the other "
      << n - static_cast<vtkIdType>(outliers.size())
      << " points: drawn, the model would shrink to a dot (is the file damaged?)";
  return why.str();
}

} // namespace

//------------------------------------------------------------------------------
bool HasDrawableCell(vtkDataSet* data)
{
  if (auto* grid = vtkUnstructuredGrid::SafeDownCast(data))
  {
    vtkUnsignedCharArray* types = grid->GetCellTypesArray();
    const unsigned char* begin = types ? types->GetPointer(0) : nullptr;
    const unsigned char* end = begin ? begin + types->GetNumberOfValues() : nullptr;
    return std::find_if(begin, end, [](unsigned char t) { return t != VTK_EMPTY_CELL; }) != end;
  }
  if (vtkPolyData::SafeDownCast(data))
  {
    return data->GetNumberOfCells() > 0;
  }
  for (vtkIdType i = 0; i < data->GetNumberOfCells(); ++i)
  {
    if (data->GetCellType(i) != VTK_EMPTY_CELL)
    {
      return true;
    }
  }
  return false;
}

//------------------------------------------------------------------------------
void DropMismatchedArrays(vtkDataSet* data, std::ostream& log)
{
  for (auto [fields, count, what] :
    { std::make_tuple(static_cast<vtkDataSetAttributes*>(data->GetPointData()),
        data->GetNumberOfPoints(),
        "point"),
      std::make_tuple(static_cast<vtkDataSetAttributes*>(data->GetCellData()),
        data->GetNumberOfCells(),
        "cell") })
  {
    for (int i = fields->GetNumberOfArrays() - 1; i >= 0; --i)
    {
      vtkAbstractArray* array = fields->GetAbstractArray(i);
      if (array && array->GetNumberOfTuples() != count)
      {
        log << "warning: " << what << " array '" << (array->GetName() ? array->GetName() : "")
            << "' left out: " << array->GetNumberOfTuples() << " values for " << count << " "
            << what << "s\n";
        fields->RemoveArray(i);
      }
    }
  }
}

//------------------------------------------------------------------------------
std::string CheckCells(vtkDataSet* data)
{
  return vtkKivCellChecks::CheckCells(data);
}

//------------------------------------------------------------------------------
std::string CheckMesh(vtkDataSet* data)
{
  std::string fault = CheckPolyCellSizes(data);
  if (fault.empty())
  {
    fault = CheckCells(data);
  }
  if (fault.empty() && data->GetNumberOfPoints() > 0 && HasDrawableCell(data))
  {
    fault = CheckCoordinates(data);
  }
  return fault;
}

} // namespace orvi
