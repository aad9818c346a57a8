#include "orviColormap.h"

#include "vtkArrayDispatch.h"
#include "vtkDataArray.h"
#include "vtkDataArrayRange.h"
#include "vtkLookupTable.h"
#include "vtkMath.h"
#include "vtkVariant.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace orvi
{

namespace
{
using Rgb = std::array<double, 3>;

// Colours at evenly spaced values, from the low end to the high end.
const std::vector<Rgb>& Table(Colormap map)
{
  // Blue, cyan, green, yellow and red: the hue falls evenly from 2/3 to 0 at
  // full saturation, as VTK's default lookup table does.
  static const std::vector<Rgb> rainbow = {
    { 0, 0, 1 }, { 0, 1, 1 }, { 0, 1, 0 }, { 1, 1, 0 }, { 1, 0, 0 }
  };
  // Viridis sampled every eighth of its range (and at 15/16, where it bends).
  static const std::vector<Rgb> viridis = { { 0.267004, 0.004874, 0.329415 },
    { 0.282623, 0.140926, 0.457517 },
    { 0.229739, 0.322361, 0.545706 },
    { 0.172719, 0.448791, 0.557885 },
    { 0.127568, 0.566949, 0.550556 },
    { 0.134692, 0.658636, 0.517649 },
    { 0.266941, 0.748751, 0.440573 },
    { 0.477504, 0.821444, 0.318195 },
    { 0.741388, 0.873449, 0.149561 },
    { 0.993248, 0.906157, 0.143936 } };
  // The diverging cool-to-warm map, every eighth of its range, in 8-bit
  // values: blue to a neutral grey at the middle to red.
  static const std::vector<Rgb> coolwarm = { { 59, 76, 192 },
    { 98, 130, 234 },
    { 141, 176, 254 },
    { 184, 208, 249 },
    { 221, 221, 221 },
    { 245, 196, 173 },
    { 244, 154, 123 },
    { 222, 96, 77 },
    { 180, 4, 38 } };
  static const std::vector<Rgb> grey = { { 0, 0, 0 }, { 1, 1, 1 } };
  switch (map)
  {
    case Colormap::Viridis:
    {
      return viridis;
    }
    case Colormap::Coolwarm:
    {
      return coolwarm;
    }
    case Colormap::Grey:
    {
      return grey;
    }
    case Colormap::Rainbow:
    {
      break;
    }
  }
  return rainbow;
}
} // namespace

const char* ColormapName(Colormap map)
{
  constexpr const char* names[] = { "rainbow", "viridis", "coolwarm", "grey" };
  return names[static_cast<int>(map)];
}

vtkSmartPointer<vtkLookupTable> MakeLookupTable(Colormap map, const double range[2])
{
  const std::vector<Rgb>& table = Table(map);
  // The cool-to-warm table is in 8-bit values.
  const double scale = map == Colormap::Coolwarm ? 1.0 / 255.0 : 1.0;
  constexpr int entries = 256;
  auto lut = vtkSmartPointer<vtkLookupTable>::New();
  lut->SetTableRange(range);
  lut->SetVectorModeToMagnitude();
  lut->SetNumberOfTableValues(entries);
  const double last = static_cast<double>(table.size() - 1);
  for (int i = 0; i < entries; ++i)
  {
    const double t = last * i / (entries - 1);
    const size_t k = std::min(static_cast<size_t>(t), table.size() - 2);
    const double f = t - static_cast<double>(k);
    double rgb[3];
    for (int c = 0; c < 3; ++c)
    {
      rgb[c] = scale * ((1.0 - f) * table[k][c] + f * table[k + 1][c]);
    }
    lut->SetTableValue(i, rgb[0], rgb[1], rgb[2], 1.0);
  }
  lut->Build(); // the special colours (NaN, below and above range)
  return lut;
}

bool IsInteger(vtkDataArray* array)
{
  const int type = array->GetDataType();
  return type != VTK_FLOAT && type != VTK_DOUBLE;
}

namespace
{
// The distinct values of a one-component array, sorted, as long as there
// are at most MaximumCategories of them. Ids come in long runs of one
// value (the cells of one region): a value equal to the last one costs a
// comparison, a new one a search among the few seen so far.
struct CollectCategories
{
  std::vector<double> Values;
  bool TooMany = false;

  template <typename Array>
  void operator()(Array* array)
  {
    using T = vtk::GetAPIType<Array>;
    std::vector<T> seen;
    bool any = false;
    T last{};
    for (const T value : vtk::DataArrayValueRange<1>(array))
    {
      if (any && value == last)
      {
        continue;
      }
      any = true;
      last = value;
      const auto at = std::lower_bound(seen.begin(), seen.end(), value);
      if (at == seen.end() || *at != value)
      {
        if (seen.size() == MaximumCategories)
        {
          this->TooMany = true;
          return;
        }
        seen.insert(at, value);
      }
    }
    this->Values.assign(seen.begin(), seen.end());
  }
};
} // namespace

bool FindCategories(vtkDataArray* array, std::vector<double>& values)
{
  values.clear();
  if (!array || !IsInteger(array) || array->GetNumberOfComponents() != 1)
  {
    return false;
  }
  CollectCategories collect;
  if (!vtkArrayDispatch::DispatchByValueType<vtkArrayDispatch::Integrals>::Execute(array, collect))
  {
    collect(array);
  }
  if (collect.TooMany)
  {
    return false;
  }
  values = std::move(collect.Values);
  return true;
}

vtkSmartPointer<vtkLookupTable> MakeCategoryTable(const std::vector<double>& values)
{
  auto lut = vtkSmartPointer<vtkLookupTable>::New();
  lut->IndexedLookupOn();
  lut->SetNumberOfTableValues(static_cast<vtkIdType>(std::max<size_t>(values.size(), 1)));
  for (size_t i = 0; i < values.size(); ++i)
  {
    // Hues a golden angle apart, so that neighbouring ids (usually touching
    // regions) are far apart in hue; saturation and value alternate over
    // three steps so that ids a full turn apart still differ. The hues stop
    // at violet: magenta and pink, the colour of picked cells, are left out.
    const double hue = 0.76 * std::fmod(0.55 + 0.618033988749895 * static_cast<double>(i), 1.0);
    const double saturation = 0.75 - 0.2 * static_cast<double>(i / 3 % 2);
    const double value = 0.95 - 0.2 * static_cast<double>(i % 3 == 2);
    double rgb[3];
    vtkMath::HSVToRGB(hue, saturation, value, rgb, rgb + 1, rgb + 2);
    lut->SetTableValue(static_cast<vtkIdType>(i), rgb[0], rgb[1], rgb[2], 1.0);
    const vtkVariant id(values[i]);
    lut->SetAnnotation(id, vtkVariant(static_cast<long long>(values[i])).ToString());
  }
  return lut;
}

vtkSmartPointer<vtkLookupTable> MakeCategorySpanTable(vtkLookupTable* categories,
  const std::vector<double>& values)
{
  constexpr double MaximumSpan = 4096.0;
  if (!categories || values.empty() || values.back() - values.front() >= MaximumSpan)
  {
    return nullptr;
  }
  // Entry k holds id first + k: the range's ends lie half an id outside the
  // first and last, so that each id falls in the middle of its entry.
  const double first = values.front();
  const auto entries = static_cast<vtkIdType>(values.back() - first) + 1;
  auto lut = vtkSmartPointer<vtkLookupTable>::New();
  lut->SetNumberOfTableValues(entries);
  lut->SetTableRange(first - 0.5, values.back() + 0.5);
  for (vtkIdType k = 0; k < entries; ++k)
  {
    lut->SetTableValue(k, 0.0, 0.0, 0.0, 1.0);
  }
  for (size_t i = 0; i < values.size(); ++i)
  {
    double rgba[4];
    categories->GetTableValue(static_cast<vtkIdType>(i), rgba);
    lut->SetTableValue(static_cast<vtkIdType>(values[i] - first), rgba);
  }
  return lut;
}

} // namespace orvi
