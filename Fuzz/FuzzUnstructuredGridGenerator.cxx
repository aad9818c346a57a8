// libFuzzer target for vtkKivUnstructuredGridGenerator.
//
// The input bytes become the generator's three raw arrays, in many array
// types and component counts, and the generator runs on them. The target then
// checks the output against a reference walk of the same arrays written here
// independently of the generator:
// - a run that must fail leaves an empty grid (after a previous successful
//   run, so a stale grid would show);
// - a run that must succeed gives exactly the expected cells: the right
//   number of cells and of cell types, every point id in 0 .. npoints - 1
//   (checked on the output's vtkCellArray and, for polyhedra, on its face
//   stream), the ids and types of the input, and the shared coordinates.
// Any mismatch aborts, so libFuzzer reports the input.
//
// Input layout (all bytes optional past the header; missing values read 0):
//   byte 0  coordinates: bits 0-2 component count (mostly 3, else 2 or 4),
//           bits 3-4 array type (float, double, int, float SOA), bit 5 a NaN,
//           bits 6-7 the array left unset (see byte 2)
//   byte 1  number of points
//   byte 2  connectivity: low nibble array type, bits 4-5 component count,
//           bit 7 leaves one array unset (which one: byte 0 bits 6-7)
//   byte 3  cell types: low nibble array type, bits 4-5 component count,
//           bit 6 32-bit storage for the FillCellArray() check
//   byte 4  number of cells
//   then value tokens: one per cell type, the rest form the connectivity
//   stream. A token byte b below 0xE0 is b; 0xE0-0xEF are -1 .. -16; higher
//   bytes are escapes for 16-, 32- and 64-bit integers, raw doubles,
//   fractions, the point count, and extreme values (see ReadValue).

#include "vtkKivUnstructuredGridGenerator.h"

#include "vtkCellArray.h"
#include "vtkCellArrayIterator.h"
#include "vtkCellType.h"
#include "vtkCharArray.h"
#include "vtkDataArray.h"
#include "vtkDoubleArray.h"
#include "vtkExecutive.h"
#include "vtkFloatArray.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkIntArray.h"
#include "vtkLongLongArray.h"
#include "vtkNew.h"
#include "vtkPoints.h"
#include "vtkSOADataArrayTemplate.h"
#include "vtkShortArray.h"
#include "vtkSignedCharArray.h"
#include "vtkSmartPointer.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnsignedIntArray.h"
#include "vtkUnsignedShortArray.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

namespace
{
// Stops the process with a message naming the broken property.
[[noreturn]] void Fail(const char* what, long long a = 0, long long b = 0)
{
  std::fprintf(stderr, "FuzzUnstructuredGridGenerator: %s (%lld, %lld)\n", what, a, b);
  std::abort();
}

#define FUZZ_CHECK(cond, ...)                                                                      \
  do                                                                                               \
  {                                                                                                \
    if (!(cond))                                                                                   \
    {                                                                                              \
      Fail(#cond, ##__VA_ARGS__);                                                                  \
    }                                                                                              \
  } while (false)

//------------------------------------------------------------------------------
// A value decoded from the input: an exact integer or a double.
struct Value
{
  bool IsInteger = true;
  std::int64_t Integer = 0;
  double Real = 0.0;
};

class Reader
{
public:
  Reader(const std::uint8_t* data, std::size_t size)
    : Data(data)
    , Size(size)
  {
  }

  bool AtEnd() const { return this->Pos >= this->Size; }

  std::uint8_t Byte() { return this->Pos < this->Size ? this->Data[this->Pos++] : 0; }

  template <typename T>
  T Raw()
  {
    std::uint8_t bytes[sizeof(T)] = {};
    for (auto& b : bytes)
    {
      b = this->Byte();
    }
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
  }

  Value ReadValue(std::int64_t numPoints)
  {
    Value v;
    const std::uint8_t b = this->Byte();
    if (b < 0xE0)
    {
      v.Integer = b;
      return v;
    }
    if (b < 0xF0)
    {
      v.Integer = -static_cast<std::int64_t>(b - 0xDF);
      return v;
    }
    switch (b)
    {
      case 0xF0:
        v.Integer = this->Raw<std::int16_t>();
        break;
      case 0xF1:
        v.Integer = this->Raw<std::int32_t>();
        break;
      case 0xF2:
        v.Integer = this->Raw<std::int64_t>();
        break;
      case 0xF3:
        v.IsInteger = false;
        v.Real = this->Raw<double>();
        break;
      case 0xF4:
        // A fraction: truncation toward zero must drop it, on both signs.
        v.IsInteger = false;
        v.Real = (static_cast<int>(this->Byte()) - 128) / 8.0;
        break;
      case 0xF5:
        v.Integer = numPoints;
        break;
      case 0xF6:
        v.Integer = numPoints - 1;
        break;
      case 0xF7:
        v.Integer = std::numeric_limits<std::int32_t>::max();
        break;
      case 0xF8:
        v.Integer = std::numeric_limits<std::int32_t>::min();
        break;
      case 0xF9:
        v.Integer = std::numeric_limits<std::int64_t>::max();
        break;
      case 0xFA:
        v.Integer = std::numeric_limits<std::int64_t>::min();
        break;
      case 0xFB:
        v.Integer = std::int64_t(1) << 32;
        break;
      case 0xFC:
        v.IsInteger = false;
        v.Real = std::numeric_limits<double>::quiet_NaN();
        break;
      case 0xFD:
        v.IsInteger = false;
        v.Real = std::numeric_limits<double>::infinity();
        break;
      case 0xFE:
        v.IsInteger = false;
        v.Real = 9.3e18; // beyond the 64-bit range
        break;
      default:
        v.IsInteger = false;
        v.Real = -0.99;
        break;
    }
    return v;
  }

private:
  const std::uint8_t* Data;
  std::size_t Size;
  std::size_t Pos = 0;
};

//------------------------------------------------------------------------------
// Stores a decoded value in an array of value type T without undefined
// behaviour: integers wrap as the two's complement conversion does, doubles
// are clamped into the type's range (NaN becomes 0).
template <typename T>
T ToStored(const Value& v)
{
  if (std::is_floating_point<T>::value)
  {
    if (v.IsInteger)
    {
      return static_cast<T>(v.Integer);
    }
    const double limit = static_cast<double>(std::numeric_limits<T>::max());
    if (std::isfinite(v.Real) && std::fabs(v.Real) > limit)
    {
      return static_cast<T>(
        v.Real > 0 ? std::numeric_limits<T>::infinity() : -std::numeric_limits<T>::infinity());
    }
    return static_cast<T>(v.Real);
  }
  if (v.IsInteger)
  {
    return static_cast<T>(static_cast<std::uint64_t>(v.Integer));
  }
  if (std::isnan(v.Real))
  {
    return T(0);
  }
  const double low = static_cast<double>(std::numeric_limits<T>::lowest());
  const double highExclusive = 2.0 * static_cast<double>(std::numeric_limits<T>::max() / 2 + 1);
  if (v.Real < low)
  {
    return std::numeric_limits<T>::lowest();
  }
  if (v.Real >= highExclusive)
  {
    return std::numeric_limits<T>::max();
  }
  return static_cast<T>(v.Real);
}

template <typename ArrayT>
vtkSmartPointer<vtkDataArray> MakeArray(const std::vector<Value>& values, int components)
{
  using T = typename ArrayT::ValueType;
  auto array = vtkSmartPointer<ArrayT>::New();
  array->SetNumberOfComponents(components);
  array->SetNumberOfTuples(static_cast<vtkIdType>(values.size()));
  for (std::size_t j = 0; j < values.size(); ++j)
  {
    const auto tuple = static_cast<vtkIdType>(j);
    array->SetTypedComponent(tuple, 0, ToStored<T>(values[j]));
    for (int c = 1; c < components; ++c)
    {
      // Other components hold junk the generator must not read.
      array->SetTypedComponent(tuple, c, static_cast<T>(-7 * c));
    }
  }
  return array;
}

vtkSmartPointer<vtkDataArray> MakeConnectivity(std::uint8_t config,
  const std::vector<Value>& values,
  int components)
{
  switch ((config & 0x0F) % 12)
  {
    case 0:
    case 1:
      return MakeArray<vtkIdTypeArray>(values, components);
    case 2:
      return MakeArray<vtkIntArray>(values, components);
    case 3:
      return MakeArray<vtkFloatArray>(values, components);
    case 4:
      return MakeArray<vtkDoubleArray>(values, components);
    case 5:
      return MakeArray<vtkUnsignedCharArray>(values, components);
    case 6:
      return MakeArray<vtkShortArray>(values, components);
    case 7:
      return MakeArray<vtkLongLongArray>(values, components);
    case 8:
      return MakeArray<vtkSOADataArrayTemplate<vtkIdType>>(values, components);
    case 9:
      return MakeArray<vtkUnsignedIntArray>(values, components);
    case 10:
      return MakeArray<vtkSignedCharArray>(values, components);
    default:
      return MakeArray<vtkSOADataArrayTemplate<double>>(values, components);
  }
}

vtkSmartPointer<vtkDataArray> MakeCellTypes(std::uint8_t config,
  const std::vector<Value>& values,
  int components)
{
  switch ((config & 0x0F) % 12)
  {
    case 0:
    case 1:
      return MakeArray<vtkIntArray>(values, components);
    case 2:
      return MakeArray<vtkUnsignedCharArray>(values, components);
    case 3:
      return MakeArray<vtkDoubleArray>(values, components);
    case 4:
      return MakeArray<vtkFloatArray>(values, components);
    case 5:
      return MakeArray<vtkShortArray>(values, components);
    case 6:
      return MakeArray<vtkIdTypeArray>(values, components);
    case 7:
      return MakeArray<vtkSOADataArrayTemplate<int>>(values, components);
    case 8:
      return MakeArray<vtkUnsignedShortArray>(values, components);
    case 9:
      return MakeArray<vtkSignedCharArray>(values, components);
    case 10:
      return MakeArray<vtkLongLongArray>(values, components);
    default:
      return MakeArray<vtkCharArray>(values, components);
  }
}

template <typename ArrayT>
vtkSmartPointer<vtkDataArray> MakeCoordinates(vtkIdType numPoints, int components, bool nan)
{
  using T = typename ArrayT::ValueType;
  auto array = vtkSmartPointer<ArrayT>::New();
  array->SetNumberOfComponents(components);
  array->SetNumberOfTuples(numPoints);
  for (vtkIdType i = 0; i < numPoints; ++i)
  {
    for (int c = 0; c < components; ++c)
    {
      array->SetTypedComponent(i, c, static_cast<T>((i >> c) % 7));
    }
  }
  if (nan && numPoints > 0 && std::is_floating_point<T>::value)
  {
    array->SetTypedComponent(0, 0, static_cast<T>(std::numeric_limits<double>::quiet_NaN()));
  }
  return array;
}

vtkSmartPointer<vtkDataArray> MakePoints(std::uint8_t config, vtkIdType numPoints)
{
  static const int componentChoices[8] = { 3, 3, 3, 3, 3, 2, 4, 3 };
  const int components = componentChoices[config & 7];
  const bool nan = (config & 0x20) != 0;
  switch ((config >> 3) & 3)
  {
    case 0:
      return MakeCoordinates<vtkFloatArray>(numPoints, components, nan);
    case 1:
      return MakeCoordinates<vtkDoubleArray>(numPoints, components, nan);
    case 2:
      return MakeCoordinates<vtkIntArray>(numPoints, components, nan);
    default:
      return MakeCoordinates<vtkSOADataArrayTemplate<float>>(numPoints, components, nan);
  }
}

int ComponentCount(std::uint8_t config)
{
  static const int choices[4] = { 1, 1, 2, 3 };
  return choices[(config >> 4) & 3];
}

//------------------------------------------------------------------------------
// The reference: which cell types are valid and which have a fixed size,
// written out for VTK 9.1 rather than derived from VTK's cell factory as the
// generator derives its own, so that a fault in the generator's table shows.
// Types not listed (17-20, 38-40, 43-67, the Lagrange and Bezier pyramids 74
// and 81) cannot be instantiated. Size -1: any number of points.
struct TypeInfo
{
  bool Known = false;
  int Size = -1;
};

const std::vector<TypeInfo>& TypeTable()
{
  static const std::vector<TypeInfo> table = []
  {
    static const int sizes[][2] = {
      { VTK_EMPTY_CELL, -1 },
      { VTK_VERTEX, 1 },
      { VTK_POLY_VERTEX, -1 },
      { VTK_LINE, 2 },
      { VTK_POLY_LINE, -1 },
      { VTK_TRIANGLE, 3 },
      { VTK_TRIANGLE_STRIP, -1 },
      { VTK_POLYGON, -1 },
      { VTK_PIXEL, 4 },
      { VTK_QUAD, 4 },
      { VTK_TETRA, 4 },
      { VTK_VOXEL, 8 },
      { VTK_HEXAHEDRON, 8 },
      { VTK_WEDGE, 6 },
      { VTK_PYRAMID, 5 },
      { VTK_PENTAGONAL_PRISM, 10 },
      { VTK_HEXAGONAL_PRISM, 12 },
      { VTK_QUADRATIC_EDGE, 3 },
      { VTK_QUADRATIC_TRIANGLE, 6 },
      { VTK_QUADRATIC_QUAD, 8 },
      { VTK_QUADRATIC_TETRA, 10 },
      { VTK_QUADRATIC_HEXAHEDRON, 20 },
      { VTK_QUADRATIC_WEDGE, 15 },
      { VTK_QUADRATIC_PYRAMID, 13 },
      { VTK_BIQUADRATIC_QUAD, 9 },
      { VTK_TRIQUADRATIC_HEXAHEDRON, 27 },
      { VTK_QUADRATIC_LINEAR_QUAD, 6 },
      { VTK_QUADRATIC_LINEAR_WEDGE, 12 },
      { VTK_BIQUADRATIC_QUADRATIC_WEDGE, 18 },
      { VTK_BIQUADRATIC_QUADRATIC_HEXAHEDRON, 24 },
      { VTK_BIQUADRATIC_TRIANGLE, 7 },
      { VTK_CUBIC_LINE, 4 },
      { VTK_QUADRATIC_POLYGON, -1 },
      { VTK_TRIQUADRATIC_PYRAMID, 19 },
      { VTK_CONVEX_POINT_SET, -1 },
      { VTK_POLYHEDRON, -1 },
      { VTK_LAGRANGE_CURVE, -1 },
      { VTK_LAGRANGE_TRIANGLE, -1 },
      { VTK_LAGRANGE_QUADRILATERAL, -1 },
      { VTK_LAGRANGE_TETRAHEDRON, -1 },
      { VTK_LAGRANGE_HEXAHEDRON, -1 },
      { VTK_LAGRANGE_WEDGE, -1 },
      { VTK_BEZIER_CURVE, -1 },
      { VTK_BEZIER_TRIANGLE, -1 },
      { VTK_BEZIER_QUADRILATERAL, -1 },
      { VTK_BEZIER_TETRAHEDRON, -1 },
      { VTK_BEZIER_HEXAHEDRON, -1 },
      { VTK_BEZIER_WEDGE, -1 },
    };
    std::vector<TypeInfo> t(VTK_NUMBER_OF_CELL_TYPES);
    for (const auto& entry : sizes)
    {
      t[entry[0]].Known = true;
      t[entry[0]].Size = entry[1];
    }
    return t;
  }();
  return table;
}

// The generator reads a single-component int type array and a
// single-component id connectivity array as they are; any other array
// through its first component as a double, truncated toward zero, with
// values beyond the target type (and NaN) turned into its lowest value.
template <typename T>
T Truncated(double value)
{
  const double low = static_cast<double>(std::numeric_limits<T>::lowest());
  if (std::isnan(value) || value < low || value >= -low)
  {
    return std::numeric_limits<T>::lowest();
  }
  return static_cast<T>(value);
}

std::vector<int> ReadTypes(vtkDataArray* array)
{
  std::vector<int> types(static_cast<std::size_t>(array->GetNumberOfTuples()));
  auto* ints = vtkIntArray::SafeDownCast(array);
  for (std::size_t i = 0; i < types.size(); ++i)
  {
    const auto t = static_cast<vtkIdType>(i);
    types[i] = ints && array->GetNumberOfComponents() == 1
      ? ints->GetValue(t)
      : Truncated<int>(array->GetComponent(t, 0));
  }
  return types;
}

std::vector<vtkIdType> ReadStream(vtkDataArray* array)
{
  std::vector<vtkIdType> stream(static_cast<std::size_t>(array->GetNumberOfTuples()));
  auto* ids = vtkIdTypeArray::SafeDownCast(array);
  for (std::size_t j = 0; j < stream.size(); ++j)
  {
    const auto t = static_cast<vtkIdType>(j);
    stream[j] = ids && array->GetNumberOfComponents() == 1
      ? ids->GetValue(t)
      : Truncated<vtkIdType>(array->GetComponent(t, 0));
  }
  return stream;
}

struct ExpectedCell
{
  int Type = 0;
  std::vector<vtkIdType> Ids;   // point ids, or the whole face stream for a polyhedron
  std::vector<vtkIdType> Faces; // polyhedron: per face k and k ids (without F)
  vtkIdType NumberOfFaces = 0;
};

// Walks the arrays as the generator documents it. Returns false when the run
// must fail.
bool Expect(const std::vector<int>& types,
  const std::vector<vtkIdType>& stream,
  vtkIdType numPoints,
  std::vector<ExpectedCell>& cells)
{
  const auto& table = TypeTable();
  const auto m = static_cast<vtkIdType>(stream.size());
  vtkIdType p = 0;
  // Reads count ids from position p into out; false if the stream is too
  // short or an id is out of range.
  auto takeIds = [&](vtkIdType count, std::vector<vtkIdType>& out)
  {
    if (count > m - p)
    {
      return false;
    }
    for (vtkIdType k = 0; k < count; ++k)
    {
      const vtkIdType id = stream[static_cast<std::size_t>(p + k)];
      if (id < 0 || id >= numPoints)
      {
        return false;
      }
      out.push_back(id);
    }
    p += count;
    return true;
  };
  for (const int type : types)
  {
    if (type < 0 || type >= VTK_NUMBER_OF_CELL_TYPES || !table[type].Known || p >= m)
    {
      return false;
    }
    ExpectedCell cell;
    cell.Type = type;
    const vtkIdType n = stream[static_cast<std::size_t>(p++)];
    if (type != VTK_POLYHEDRON)
    {
      if (n < 0 || (table[type].Size >= 0 && n != table[type].Size) || !takeIds(n, cell.Ids))
      {
        return false;
      }
    }
    else
    {
      if (n < 1)
      {
        return false;
      }
      cell.NumberOfFaces = n;
      for (vtkIdType f = 0; f < n; ++f)
      {
        if (p >= m)
        {
          return false;
        }
        const vtkIdType k = stream[static_cast<std::size_t>(p++)];
        if (k < 3)
        {
          return false;
        }
        cell.Faces.push_back(k);
        if (!takeIds(k, cell.Faces))
        {
          return false;
        }
      }
      cell.Ids.push_back(n);
      cell.Ids.insert(cell.Ids.end(), cell.Faces.begin(), cell.Faces.end());
    }
    cells.push_back(std::move(cell));
  }
  return true;
}

//------------------------------------------------------------------------------
void CheckEmpty(vtkUnstructuredGrid* grid)
{
  FUZZ_CHECK(grid != nullptr);
  FUZZ_CHECK(grid->GetNumberOfPoints() == 0, grid->GetNumberOfPoints());
  FUZZ_CHECK(grid->GetNumberOfCells() == 0, grid->GetNumberOfCells());
}

void CheckGrid(vtkUnstructuredGrid* grid,
  vtkDataArray* coordinates,
  const std::vector<ExpectedCell>& expected)
{
  FUZZ_CHECK(grid != nullptr);
  const vtkIdType numPoints = coordinates->GetNumberOfTuples();
  FUZZ_CHECK(grid->GetPoints() != nullptr);
  FUZZ_CHECK(grid->GetPoints()->GetData() == coordinates);
  FUZZ_CHECK(grid->GetNumberOfPoints() == numPoints, grid->GetNumberOfPoints(), numPoints);

  const auto numCells = static_cast<vtkIdType>(expected.size());
  FUZZ_CHECK(grid->GetNumberOfCells() == numCells, grid->GetNumberOfCells(), numCells);
  vtkCellArray* cellArray = grid->GetCells();
  vtkUnsignedCharArray* typeArray = grid->GetCellTypesArray();
  if (numCells == 0)
  {
    FUZZ_CHECK(!cellArray || cellArray->GetNumberOfCells() == 0);
    FUZZ_CHECK(!typeArray || typeArray->GetNumberOfValues() == 0);
    return;
  }
  FUZZ_CHECK(cellArray != nullptr && typeArray != nullptr);
  FUZZ_CHECK(cellArray->GetNumberOfCells() == numCells, cellArray->GetNumberOfCells(), numCells);
  FUZZ_CHECK(typeArray->GetNumberOfValues() == numCells, typeArray->GetNumberOfValues(), numCells);

  vtkIdTypeArray* faces = grid->GetFaces();
  vtkIdTypeArray* faceLocations = grid->GetFaceLocations();
  auto it = vtk::TakeSmartPointer(cellArray->NewIterator());
  vtkIdType cellId = 0;
  for (it->GoToFirstCell(); !it->IsDoneWithTraversal(); it->GoToNextCell(), ++cellId)
  {
    FUZZ_CHECK(cellId < numCells, cellId, numCells);
    const ExpectedCell& want = expected[static_cast<std::size_t>(cellId)];
    FUZZ_CHECK(typeArray->GetValue(cellId) == want.Type, typeArray->GetValue(cellId), want.Type);
    vtkIdType npts = 0;
    const vtkIdType* pts = nullptr;
    it->GetCurrentCell(npts, pts);
    FUZZ_CHECK(npts >= 0, npts);
    for (vtkIdType k = 0; k < npts; ++k)
    {
      FUZZ_CHECK(pts[k] >= 0 && pts[k] < numPoints, pts[k], numPoints);
    }
    if (want.Type != VTK_POLYHEDRON)
    {
      FUZZ_CHECK(npts == static_cast<vtkIdType>(want.Ids.size()), npts, want.Ids.size());
      FUZZ_CHECK(std::equal(pts, pts + npts, want.Ids.begin()), cellId);
      continue;
    }
    // A polyhedron: its cell entry holds its distinct points, its faces sit
    // in the grid's face stream at its face location.
    std::vector<vtkIdType> distinct(want.Faces.begin(), want.Faces.end());
    {
      std::vector<vtkIdType> ids;
      for (std::size_t q = 0; q < want.Faces.size(); q += 1 + want.Faces[q])
      {
        ids.insert(
          ids.end(), want.Faces.begin() + q + 1, want.Faces.begin() + q + 1 + want.Faces[q]);
      }
      std::sort(ids.begin(), ids.end());
      ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
      distinct = ids;
    }
    std::vector<vtkIdType> got(pts, pts + npts);
    std::sort(got.begin(), got.end());
    FUZZ_CHECK(got == distinct, cellId, npts);

    FUZZ_CHECK(faces != nullptr && faceLocations != nullptr);
    FUZZ_CHECK(
      faceLocations->GetNumberOfValues() == numCells, faceLocations->GetNumberOfValues(), numCells);
    const vtkIdType location = faceLocations->GetValue(cellId);
    const vtkIdType faceValues = faces->GetNumberOfValues();
    FUZZ_CHECK(location >= 0 && location < faceValues, location, faceValues);
    FUZZ_CHECK(faces->GetValue(location) == want.NumberOfFaces,
      faces->GetValue(location),
      want.NumberOfFaces);
    vtkIdType q = location + 1;
    for (vtkIdType f = 0; f < want.NumberOfFaces; ++f)
    {
      FUZZ_CHECK(q < faceValues, q, faceValues);
      const vtkIdType k = faces->GetValue(q++);
      FUZZ_CHECK(k >= 3 && k <= faceValues - q, k, faceValues - q);
      for (vtkIdType j = 0; j < k; ++j)
      {
        const vtkIdType id = faces->GetValue(q++);
        FUZZ_CHECK(id >= 0 && id < numPoints, id, numPoints);
      }
    }
    std::vector<vtkIdType> stream(faces->GetPointer(location + 1), faces->GetPointer(0) + q);
    FUZZ_CHECK(stream == want.Faces, cellId);
  }
  FUZZ_CHECK(cellId == numCells, cellId, numCells);
}

// The arrays of one valid tetrahedron.
struct Tetrahedron
{
  vtkNew<vtkFloatArray> Points;
  vtkNew<vtkIdTypeArray> Cells;
  vtkNew<vtkIntArray> Types;
  Tetrahedron()
  {
    this->Points->SetNumberOfComponents(3);
    this->Points->SetNumberOfTuples(4);
    for (vtkIdType i = 0; i < 4; ++i)
    {
      this->Points->SetTuple3(i, i == 1, i == 2, i == 3);
    }
    for (vtkIdType v : { 4, 0, 1, 2, 3 })
    {
      this->Cells->InsertNextValue(v);
    }
    this->Types->InsertNextValue(VTK_TETRA);
  }
};

// Calls the protected FillCellArray() the way a derived host does.
class FillHost : public vtkKivUnstructuredGridGenerator
{
public:
  static FillHost* New()
  {
    auto* host = new FillHost;
    host->InitializeObjectBase();
    return host;
  }
  int Fill(int* types, vtkIdTypeArray* cells, vtkCellArray* cellArray)
  {
    return this->FillCellArray(types, cells, cellArray);
  }
};

// FillCellArray() on a cell array that already holds a cell, in 32- or
// 64-bit storage: it appends exactly the expected cells (a polyhedron with
// its whole face stream), or reports a fault and leaves the array as it was.
void CheckFillCellArray(vtkDataArray* coordinates,
  vtkDataArray* cellTypes,
  vtkDataArray* connectivity,
  bool storage32)
{
  static FillHost* host = FillHost::New();
  host->SetPointData(coordinates);
  host->SetCellTypeData(cellTypes);
  std::vector<int> types = ReadTypes(cellTypes);
  const std::vector<vtkIdType> values = ReadStream(connectivity);
  vtkNew<vtkIdTypeArray> stream;
  stream->SetNumberOfValues(static_cast<vtkIdType>(values.size()));
  std::copy(values.begin(), values.end(), stream->GetPointer(0));
  std::vector<ExpectedCell> expected;
  const bool mustSucceed = Expect(types, values, coordinates->GetNumberOfTuples(), expected);

  vtkNew<vtkCellArray> cellArray;
  if (storage32)
  {
    cellArray->Use32BitStorage();
  }
  else
  {
    cellArray->Use64BitStorage();
  }
  const vtkIdType first[] = { 7, 9 };
  cellArray->InsertNextCell(2, first);
  const int result = host->Fill(types.data(), stream, cellArray);
  FUZZ_CHECK(result == (mustSucceed ? 1 : 0), result, mustSucceed);
  const auto numCells = static_cast<vtkIdType>(result ? expected.size() : 0);
  FUZZ_CHECK(cellArray->GetNumberOfCells() == 1 + numCells, cellArray->GetNumberOfCells());
  vtkNew<vtkIdList> ids;
  cellArray->GetCellAtId(0, ids);
  FUZZ_CHECK(ids->GetNumberOfIds() == 2 && ids->GetId(0) == 7 && ids->GetId(1) == 9);
  vtkIdType total = 2;
  for (vtkIdType i = 0; i < numCells; ++i)
  {
    const auto& want = expected[static_cast<std::size_t>(i)].Ids;
    cellArray->GetCellAtId(i + 1, ids);
    FUZZ_CHECK(ids->GetNumberOfIds() == static_cast<vtkIdType>(want.size()), i);
    FUZZ_CHECK(std::equal(want.begin(), want.end(), ids->begin()), i);
    total += ids->GetNumberOfIds();
  }
  FUZZ_CHECK(cellArray->GetNumberOfConnectivityIds() == total,
    cellArray->GetNumberOfConnectivityIds(),
    total);
}

// Runs the generator's pipeline; returns the executive's answer (0 when
// RequestData() failed).
int Run(vtkKivUnstructuredGridGenerator* generator)
{
  generator->Modified();
  return generator->GetExecutive()->Update(0);
}

bool Verbose = false;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  // ORVI_FUZZ_VERBOSE=1 prints the outcome of each input (for looking at seeds).
  Verbose = std::getenv("ORVI_FUZZ_VERBOSE") != nullptr;
  // Errors for rejected input are expected; keep the output quiet.
  vtkObject::GlobalWarningDisplayOff();
  TypeTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 5)
  {
    return 0;
  }
  Reader reader(data, size);
  const std::uint8_t pointConfig = reader.Byte();
  const vtkIdType numPoints = reader.Byte();
  const std::uint8_t connectivityConfig = reader.Byte();
  const std::uint8_t typeConfig = reader.Byte();
  const std::size_t numCells = reader.Byte();

  std::vector<Value> typeValues(numCells);
  for (auto& v : typeValues)
  {
    v = reader.ReadValue(numPoints);
  }
  std::vector<Value> streamValues;
  while (!reader.AtEnd())
  {
    streamValues.push_back(reader.ReadValue(numPoints));
  }

  vtkSmartPointer<vtkDataArray> coordinates = MakePoints(pointConfig, numPoints);
  vtkSmartPointer<vtkDataArray> connectivity =
    MakeConnectivity(connectivityConfig, streamValues, ComponentCount(connectivityConfig));
  vtkSmartPointer<vtkDataArray> cellTypes =
    MakeCellTypes(typeConfig, typeValues, ComponentCount(typeConfig));

  // The reference answer.
  std::vector<ExpectedCell> expected;
  const bool mustSucceed = coordinates->GetNumberOfComponents() == 3 &&
    Expect(ReadTypes(cellTypes), ReadStream(connectivity), numPoints, expected);

  // One generator serves every input (building a pipeline per input would
  // cost more than the run). A first run on a valid tetrahedron gives it a
  // non-empty grid, which a failing run must clear.
  static vtkKivUnstructuredGridGenerator* generator = vtkKivUnstructuredGridGenerator::New();
  static const Tetrahedron tetra;
  generator->SetPointData(tetra.Points);
  generator->SetCellData(tetra.Cells);
  generator->SetCellTypeData(tetra.Types);
  FUZZ_CHECK(Run(generator) == 1);
  FUZZ_CHECK(vtkUnstructuredGrid::SafeDownCast(generator->GetOutput())->GetNumberOfCells() == 1);

  // Connectivity bit 7: one array left unset (which one: coordinate bits
  // 6-7). That is no error, and the output keeps the tetrahedron.
  const bool leaveOneUnset = (connectivityConfig & 0x80) != 0;
  const int unset = ((pointConfig >> 6) & 3) % 3;
  generator->SetPointData(leaveOneUnset && unset == 0 ? nullptr : coordinates.Get());
  generator->SetCellData(leaveOneUnset && unset == 1 ? nullptr : connectivity.Get());
  generator->SetCellTypeData(leaveOneUnset && unset == 2 ? nullptr : cellTypes.Get());
  const int result = Run(generator);
  auto* grid = vtkUnstructuredGrid::SafeDownCast(generator->GetOutput());
  if (Verbose)
  {
    std::fprintf(stderr,
      "points %lld (%d components), cells %zu, stream %zu values: %s\n",
      static_cast<long long>(numPoints),
      coordinates->GetNumberOfComponents(),
      numCells,
      streamValues.size(),
      leaveOneUnset ? "array unset"
        : result    ? "grid"
                    : "rejected");
  }
  if (leaveOneUnset)
  {
    FUZZ_CHECK(result == 1, result);
    FUZZ_CHECK(grid->GetNumberOfCells() == 1 && grid->GetNumberOfPoints() == 4);
    FUZZ_CHECK(grid->GetPoints()->GetData() == tetra.Points.Get());
  }
  else
  {
    FUZZ_CHECK(result == (mustSucceed ? 1 : 0), result, mustSucceed);
    if (result)
    {
      CheckGrid(grid, coordinates, expected);
    }
    else
    {
      CheckEmpty(grid);
    }
  }

  // The protected fill operation on its own; cell types bit 6 picks 32-bit
  // storage for the cell array.
  CheckFillCellArray(coordinates, cellTypes, connectivity, (typeConfig & 0x40) != 0);
  return 0;
}
