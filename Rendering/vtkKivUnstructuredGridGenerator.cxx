#include "vtkKivUnstructuredGridGenerator.h"

#include "vtkCell.h"
#include "vtkCellArray.h"
#include "vtkCellType.h"
#include "vtkCellTypes.h"
#include "vtkDataArray.h"
#include "vtkDemandDrivenPipeline.h"
#include "vtkExecutive.h"
#include "vtkGenericCell.h"
#include "vtkIdTypeArray.h"
#include "vtkInformation.h"
#include "vtkInformationVector.h"
#include "vtkIntArray.h"
#include "vtkNew.h"
#include "vtkObjectFactory.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkStreamingDemandDrivenPipeline.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

vtkStandardNewMacro(vtkKivUnstructuredGridGenerator);

namespace
{
//------------------------------------------------------------------------------
// What the generator knows about each VTK cell type: whether VTK can
// instantiate it, and its number of points when that is fixed (-1 when the
// cell takes any number of points).
struct CellTypeTable
{
  bool Known[VTK_NUMBER_OF_CELL_TYPES];
  int Size[VTK_NUMBER_OF_CELL_TYPES];
  // For every byte a grid's type array can hold: the point count a cell of
  // that type needs, AnyCount, or Unknown.
  static constexpr int AnyCount = -1, Unknown = -2;
  int Expected[256];
};

const CellTypeTable& GetCellTypeTable()
{
  static const CellTypeTable table = []
  {
    CellTypeTable t{};
    for (int type = 0; type < VTK_NUMBER_OF_CELL_TYPES; ++type)
    {
      t.Known[type] = false;
      t.Size[type] = -1;
      if (std::strcmp(vtkCellTypes::GetClassNameFromTypeId(type), "UnknownClass") == 0)
      {
        continue;
      }
      vtkSmartPointer<vtkCell> cell;
      cell.TakeReference(vtkGenericCell::InstantiateCell(type));
      if (!cell || cell->GetCellType() != type)
      {
        continue;
      }
      t.Known[type] = true;
      // A freshly made linear or quadratic cell of a fixed-size type already
      // has its points; the variable ones (poly-vertices, polygons, strips,
      // convex point sets, polyhedra) have none. Lagrange and Bezier cells
      // take any number of points whatever a fresh one holds.
      const vtkIdType n = cell->GetNumberOfPoints();
      if (n > 0 && type < VTK_LAGRANGE_CURVE && type != VTK_POLYHEDRON)
      {
        t.Size[type] = static_cast<int>(n);
      }
    }
    for (int type = 0; type < 256; ++type)
    {
      const bool known = type < VTK_NUMBER_OF_CELL_TYPES && t.Known[type];
      t.Expected[type] = !known  ? CellTypeTable::Unknown
        : type == VTK_POLYHEDRON ? CellTypeTable::AnyCount
                                 : t.Size[type];
    }
    return t;
  }();
  return table;
}

//------------------------------------------------------------------------------
// Truncation toward zero of a double into an integer type. Values outside the
// type's range (and NaN) have no defined conversion; they become the type's
// lowest value, which the checks then reject as negative or unknown.
template <typename T>
T TruncateToInteger(double value)
{
  constexpr double lowest = static_cast<double>(std::numeric_limits<T>::lowest());
  if (value >= lowest && value < -lowest)
  {
    return static_cast<T>(value);
  }
  return std::numeric_limits<T>::lowest();
}

//------------------------------------------------------------------------------
// The checks shared by the generator's stream and by CheckCells(). Each one
// writes "cell N: <fault>" to error when it fails. A cell's type must be one
// VTK can instantiate, a fixed-size type (hexahedron, quadratic tetra, ...)
// must get exactly its number of points, counts are not negative, ids lie in
// 0 .. number of points - 1, a polyhedron has at least one face and every
// face at least three points. CheckCells() checks offsets first (ascending
// from 0 to the connectivity's end), then types and counts, then ids; a
// polyhedron's faces come from the grid's faces array. Values left at the end
// of the generator's stream are ignored. Types and streams other than
// single-component int / vtkIdType are converted, truncating toward zero.
using UnsignedId = std::make_unsigned<vtkIdType>::type;

std::ostream& Fault(std::ostream& error, vtkIdType cell)
{
  return error << "cell " << cell << ": ";
}

// Each check is a test that the compiler inlines into the loops, and a
// function that names the fault, marked cold: kept out of the loops, it
// leaves their registers to the common path (the generator fills about 15%
// faster than with plain functions). The checks take the table from their
// caller, which looks it up once.
[[gnu::cold]] bool TypeFault(int type, vtkIdType cell, std::ostream& error)
{
  Fault(error, cell) << "cell type " << type << " is not a VTK cell type";
  return false;
}

inline bool CheckCellType(const CellTypeTable& table, int type, vtkIdType cell, std::ostream& error)
{
  return (type >= 0 && type < VTK_NUMBER_OF_CELL_TYPES && table.Known[type]) ||
    TypeFault(type, cell, error);
}

[[gnu::cold]] bool PointCountFault(int type,
  int size,
  vtkIdType n,
  vtkIdType cell,
  std::ostream& error)
{
  if (n < 0)
  {
    Fault(error, cell) << "point count " << n << " is negative";
  }
  else
  {
    Fault(error, cell) << "cell type " << type << " needs " << size << " points, not " << n;
  }
  return false;
}

// The point count of a cell of a known type other than a polyhedron.
inline bool CheckPointCount(const CellTypeTable& table,
  int type,
  vtkIdType n,
  vtkIdType cell,
  std::ostream& error)
{
  const int size = table.Size[type];
  return (n >= 0 && (size < 0 || n == size)) || PointCountFault(type, size, n, cell, error);
}

// Whether every one of the n ids lies in 0 .. numPoints - 1: one unsigned
// comparison per id and no branch, so that the loop vectorises.
template <typename T>
bool IdsInRange(const T* ids, vtkIdType n, vtkIdType numPoints)
{
  const auto limit = static_cast<UnsignedId>(numPoints);
  bool bad = false;
  for (vtkIdType k = 0; k < n; ++k)
  {
    bad |= static_cast<UnsignedId>(static_cast<vtkIdType>(ids[k])) >= limit;
  }
  return !bad;
}

// Describes the first id out of range among n ids of a cell.
template <typename T>
bool CheckIds(const T* ids, vtkIdType n, vtkIdType numPoints, vtkIdType cell, std::ostream& error)
{
  if (IdsInRange(ids, n, numPoints))
  {
    return true;
  }
  for (vtkIdType k = 0; k < n; ++k)
  {
    const auto id = static_cast<vtkIdType>(ids[k]);
    if (id < 0)
    {
      Fault(error, cell) << "point id " << id << " is negative";
      return false;
    }
    if (id >= numPoints)
    {
      Fault(error, cell) << "point id " << id << " is not below the number of points (" << numPoints
                         << ")";
      return false;
    }
  }
  return false;
}

[[gnu::cold]] bool RoomFault(vtkIdType size,
  vtkIdType pos,
  vtkIdType n,
  const char* streamName,
  vtkIdType cell,
  std::ostream& error)
{
  Fault(error, cell) << "needs stream values up to index "
                     << static_cast<UnsignedId>(pos) + static_cast<UnsignedId>(n) << " but the "
                     << streamName << " holds " << size << " values";
  return false;
}

// True when a stream of size values holds the values at pos .. pos + n
// (pos >= 0, n >= 0). Written as n < size - pos, because pos + n overflows
// for a huge count; the message adds them unsigned, where two values below
// 2^63 fit.
inline bool CheckRoom(vtkIdType size,
  vtkIdType pos,
  vtkIdType n,
  const char* streamName,
  vtkIdType cell,
  std::ostream& error)
{
  return (pos < size && n < size - pos) || RoomFault(size, pos, n, streamName, cell, error);
}

// A polyhedron's face stream from stream[pos]: the face count F (at least
// 1), then per face its point count k (at least 3) and k point ids. Returns
// the index just past the face stream, or -1 after naming a fault.
vtkIdType CheckFaceStream(const vtkIdType* stream,
  vtkIdType size,
  vtkIdType pos,
  const char* streamName,
  vtkIdType numPoints,
  vtkIdType cell,
  std::ostream& error)
{
  if (!CheckRoom(size, pos, 0, streamName, cell, error))
  {
    return -1;
  }
  const vtkIdType faces = stream[pos++];
  if (faces < 1)
  {
    Fault(error, cell) << "polyhedron face count " << faces << " is below 1";
    return -1;
  }
  for (vtkIdType f = 0; f < faces; ++f)
  {
    if (!CheckRoom(size, pos, 0, streamName, cell, error))
    {
      return -1;
    }
    const vtkIdType k = stream[pos];
    if (k < 3)
    {
      Fault(error, cell) << "polyhedron face " << f << " has " << k << " points, fewer than 3";
      return -1;
    }
    if (!CheckRoom(size, pos, k, streamName, cell, error) ||
      !CheckIds(stream + pos + 1, k, numPoints, cell, error))
    {
      return -1;
    }
    pos += 1 + k;
  }
  return pos;
}

//------------------------------------------------------------------------------
// The read side of a fill: the connectivity stream and the bound on its ids,
// with the cursor p at the next cell's first value.
struct FillSource
{
  const vtkIdType* Stream;
  vtkIdType StreamSize;
  vtkIdType NumPoints;
  vtkIdType P;
};

constexpr const char* FillStreamName = "connectivity stream";

// A cell of any type but a polyhedron: its point count n, then n ids,
// written to out from w on. The ids are copied and checked in one loop, the
// check IdsInRange() makes; the shared CheckIds() runs only to name a fault.
template <typename ValueType>
[[gnu::always_inline]] inline bool FillPointCell(const CellTypeTable& table,
  int type,
  vtkIdType cell,
  FillSource& source,
  ValueType* out,
  vtkIdType& w,
  std::ostream& error)
{
  const vtkIdType p = source.P;
  const vtkIdType n = source.Stream[p];
  if (!CheckPointCount(table, type, n, cell, error) ||
    !CheckRoom(source.StreamSize, p, n, FillStreamName, cell, error))
  {
    return false;
  }
  const auto pointLimit = static_cast<UnsignedId>(source.NumPoints);
  const vtkIdType* src = source.Stream + p + 1;
  ValueType* dst = out + w;
  bool bad = false;
  for (vtkIdType k = 0; k < n; ++k)
  {
    bad |= static_cast<UnsignedId>(src[k]) >= pointLimit;
    dst[k] = static_cast<ValueType>(src[k]);
  }
  if (bad)
  {
    CheckIds(src, n, source.NumPoints, cell, error);
    return false;
  }
  w += n;
  source.P = p + 1 + n;
  return true;
}

// A polyhedron: its face stream (F, then per face k and k ids), all of it
// kept.
template <typename ValueType>
[[gnu::always_inline]] inline bool FillPolyhedron(vtkIdType cell,
  FillSource& source,
  ValueType* out,
  vtkIdType& w,
  std::ostream& error)
{
  const vtkIdType end = CheckFaceStream(
    source.Stream, source.StreamSize, source.P, FillStreamName, source.NumPoints, cell, error);
  if (end < 0)
  {
    return false;
  }
  for (vtkIdType p = source.P; p < end; ++p)
  {
    out[w++] = static_cast<ValueType>(source.Stream[p]);
  }
  source.P = end;
  return true;
}

// Builds VTK's offsets and connectivity arrays straight from the stream and
// checks it in the same pass. Returns false with a message at the first fault;
// the cell array's arrays are then cut back to their previous size.
struct FillWorker
{
  template <typename CellStateT>
  bool operator()(CellStateT& state,
    const int* types,
    vtkIdType numCells,
    const vtkIdType* stream,
    vtkIdType streamSize,
    vtkIdType numPoints,
    std::string& message) const
  {
    using ValueType = typename CellStateT::ValueType;
    const CellTypeTable& table = GetCellTypeTable();

    auto* offsets = state.GetOffsets();
    auto* connectivity = state.GetConnectivity();
    if (offsets->GetNumberOfValues() == 0)
    {
      offsets->InsertNextValue(0);
    }
    const vtkIdType cellStart = offsets->GetNumberOfValues() - 1;
    const vtkIdType connStart = connectivity->GetNumberOfValues();

    // Every value written comes from a value read, so the stream's length
    // bounds what is written; the unused tail is given back at the end
    // (untouched pages of a large allocation never become resident).
    offsets->SetNumberOfValues(cellStart + 1 + numCells);
    connectivity->SetNumberOfValues(connStart + streamSize);
    ValueType* cellEnds = offsets->GetPointer(cellStart + 1);
    ValueType* out = connectivity->GetPointer(0);
    vtkIdType w = connStart;
    FillSource source{ stream, streamSize, numPoints, 0 };

    std::ostringstream error;
    bool ok = true;
    for (vtkIdType i = 0; i < numCells; ++i)
    {
      const int type = types[i];
      if (!CheckCellType(table, type, i, error) ||
        !CheckRoom(streamSize, source.P, 0, FillStreamName, i, error) ||
        !(type != VTK_POLYHEDRON ? FillPointCell(table, type, i, source, out, w, error)
                                 : FillPolyhedron(i, source, out, w, error)))
      {
        ok = false;
        break;
      }
      cellEnds[i] = static_cast<ValueType>(w);
    }

    if (!ok)
    {
      message = error.str();
      offsets->SetNumberOfValues(cellStart + 1);
      connectivity->SetNumberOfValues(connStart);
      return false;
    }
    connectivity->SetNumberOfValues(w);
    return true;
  }
};

//------------------------------------------------------------------------------
// CheckCells() on one cell array: offsets ascending from 0 to the end of the
// connectivity, then (with types) each cell's type and point count, then
// every point id. Cells are numbered from firstCell on; polyhedra counts the
// polyhedron cells. The first passes have no branch per cell; only after a
// fault is found do the shared checks run again, cell by cell, to name it.
struct CheckWorker
{
  template <typename CellStateT>
  bool operator()(CellStateT& state,
    const unsigned char* types,
    vtkIdType firstCell,
    vtkIdType numPoints,
    std::ostream& error,
    vtkIdType& polyhedra) const
  {
    const auto* offsets = state.GetOffsets()->GetPointer(0);
    const auto* connectivity = state.GetConnectivity()->GetPointer(0);
    const vtkIdType numCells = state.GetNumberOfCells();
    const auto numIds = static_cast<vtkIdType>(state.GetConnectivity()->GetNumberOfValues());
    const CellTypeTable& table = GetCellTypeTable();

    bool bad = numCells > 0 && (offsets[0] != 0 || offsets[numCells] != numIds);
    polyhedra = 0;
    if (types)
    {
      for (vtkIdType i = 0; i < numCells; ++i)
      {
        const auto n = static_cast<vtkIdType>(offsets[i + 1] - offsets[i]);
        const int expected = table.Expected[types[i]];
        bad |= (n < 0) | (expected == CellTypeTable::Unknown) | ((expected >= 0) & (n != expected));
        polyhedra += types[i] == VTK_POLYHEDRON ? 1 : 0;
      }
    }
    else
    {
      for (vtkIdType i = 0; i < numCells; ++i)
      {
        bad |= offsets[i + 1] < offsets[i];
      }
    }
    for (vtkIdType i = 0; bad && i < numCells; ++i)
    {
      const auto begin = static_cast<vtkIdType>(offsets[i]);
      const auto end = static_cast<vtkIdType>(offsets[i + 1]);
      if ((i == 0 && begin != 0) || end < begin || end > numIds ||
        (i == numCells - 1 && end != numIds))
      {
        Fault(error, firstCell + i) << "its point ids at " << begin << " .. " << end
                                    << " do not fit the connectivity array of " << numIds << " ids";
        return false;
      }
      if (types)
      {
        const int type = types[i];
        if (!CheckCellType(table, type, firstCell + i, error) ||
          (type != VTK_POLYHEDRON &&
            !CheckPointCount(table, type, end - begin, firstCell + i, error)))
        {
          return false;
        }
      }
    }

    // The ids of the cells (a connectivity array without cells holds none).
    if (IdsInRange(connectivity, numCells > 0 ? numIds : 0, numPoints))
    {
      return true;
    }
    for (vtkIdType i = 0; i < numCells; ++i)
    {
      const auto begin = static_cast<vtkIdType>(offsets[i]);
      const auto end = static_cast<vtkIdType>(offsets[i + 1]);
      if (!CheckIds(connectivity + begin, end - begin, numPoints, firstCell + i, error))
      {
        return false;
      }
    }
    return false;
  }
};

// The polyhedra's face streams of a grid.
bool CheckPolyhedra(vtkUnstructuredGrid* grid, const unsigned char* types, std::ostream& error)
{
  const vtkIdType numCells = grid->GetNumberOfCells();
  vtkIdTypeArray* faces = grid->GetFaces();
  vtkIdTypeArray* locations = grid->GetFaceLocations();
  const vtkIdType size = faces ? faces->GetNumberOfValues() : 0;
  const vtkIdType numLocations = locations ? locations->GetNumberOfValues() : 0;
  for (vtkIdType i = 0; i < numCells; ++i)
  {
    if (types[i] != VTK_POLYHEDRON)
    {
      continue;
    }
    const vtkIdType location = i < numLocations ? locations->GetValue(i) : -1;
    if (location < 0)
    {
      Fault(error, i) << "polyhedron without a face stream";
      return false;
    }
    if (CheckFaceStream(faces ? faces->GetPointer(0) : nullptr,
          size,
          location,
          "grid's face stream",
          grid->GetNumberOfPoints(),
          i,
          error) < 0)
    {
      return false;
    }
  }
  return true;
}
} // namespace

//------------------------------------------------------------------------------
vtkKivUnstructuredGridGenerator::vtkKivUnstructuredGridGenerator()
{
  // The output exists before the first update, so GetOutput() answers.
  vtkNew<vtkUnstructuredGrid> grid;
  this->GetExecutive()->SetOutputData(0, grid);
  grid->ReleaseData();
}

//------------------------------------------------------------------------------
vtkKivUnstructuredGridGenerator::~vtkKivUnstructuredGridGenerator() = default;

//------------------------------------------------------------------------------
void vtkKivUnstructuredGridGenerator::SetPointData(vtkDataArray* array)
{
  this->PointData = array;
}

//------------------------------------------------------------------------------
void vtkKivUnstructuredGridGenerator::SetCellData(vtkDataArray* array)
{
  this->CellData = array;
}

//------------------------------------------------------------------------------
void vtkKivUnstructuredGridGenerator::SetCellTypeData(vtkDataArray* array)
{
  this->CellTypeData = array;
}

//------------------------------------------------------------------------------
vtkDataArray* vtkKivUnstructuredGridGenerator::GetPointData() const
{
  return this->PointData;
}

//------------------------------------------------------------------------------
vtkDataArray* vtkKivUnstructuredGridGenerator::GetCellData() const
{
  return this->CellData;
}

//------------------------------------------------------------------------------
vtkDataArray* vtkKivUnstructuredGridGenerator::GetCellTypeData() const
{
  return this->CellTypeData;
}

//------------------------------------------------------------------------------
vtkTypeBool vtkKivUnstructuredGridGenerator::ProcessRequest(vtkInformation* request,
  vtkInformationVector** inputVector,
  vtkInformationVector* outputVector)
{
  if (request->Has(vtkDemandDrivenPipeline::REQUEST_DATA_OBJECT()))
  {
    return this->RequestDataObject(request, inputVector, outputVector);
  }
  if (request->Has(vtkDemandDrivenPipeline::REQUEST_DATA()))
  {
    return this->RequestData(request, inputVector, outputVector);
  }
  if (request->Has(vtkStreamingDemandDrivenPipeline::REQUEST_UPDATE_EXTENT()))
  {
    return this->RequestUpdateExtent(request, inputVector, outputVector);
  }
  if (request->Has(vtkDemandDrivenPipeline::REQUEST_INFORMATION()))
  {
    return this->RequestInformation(request, inputVector, outputVector);
  }
  if (request->Has(vtkDemandDrivenPipeline::REQUEST_DATA_NOT_GENERATED()))
  {
    // Asked just before RequestData(): without all three arrays nothing will
    // be generated, and the flag keeps the executive from clearing the
    // output, which therefore keeps its previous content.
    if (!this->PointData || !this->CellData || !this->CellTypeData)
    {
      vtkInformation* outInfo = outputVector->GetInformationObject(0);
      if (outInfo)
      {
        outInfo->Set(vtkDemandDrivenPipeline::DATA_NOT_GENERATED(), 1);
      }
    }
    return 1;
  }
  // Other requests get vtkAlgorithm's handling, bypassing vtkDataSetAlgorithm's
  // own dispatch, which would call the passes above a second time.
  return this->vtkAlgorithm::ProcessRequest( // NOLINT(bugprone-parent-virtual-call)
    request,
    inputVector,
    outputVector);
}

//------------------------------------------------------------------------------
int vtkKivUnstructuredGridGenerator::FillInputPortInformation(int, vtkInformation* info)
{
  // No required data type: nothing is read from the input. Optional, because
  // VTK 9 does not update an algorithm whose non-optional port is unconnected.
  info->Set(vtkAlgorithm::INPUT_IS_OPTIONAL(), 1);
  return 1;
}

//------------------------------------------------------------------------------
int vtkKivUnstructuredGridGenerator::FillOutputPortInformation(int, vtkInformation* info)
{
  info->Set(vtkDataObject::DATA_TYPE_NAME(), "vtkUnstructuredGrid");
  return 1;
}

//------------------------------------------------------------------------------
int vtkKivUnstructuredGridGenerator::RequestInformation(vtkInformation*,
  vtkInformationVector**,
  vtkInformationVector*)
{
  return 1;
}

//------------------------------------------------------------------------------
int vtkKivUnstructuredGridGenerator::RequestUpdateExtent(vtkInformation*,
  vtkInformationVector** inputVector,
  vtkInformationVector*)
{
  const int numPorts = this->GetNumberOfInputPorts();
  for (int port = 0; port < numPorts; ++port)
  {
    vtkInformationVector* connections = inputVector[port];
    const int numConnections = connections->GetNumberOfInformationObjects();
    for (int c = 0; c < numConnections; ++c)
    {
      connections->GetInformationObject(c)->Set(
        vtkStreamingDemandDrivenPipeline::EXACT_EXTENT(), 1);
    }
  }
  return 1;
}

//------------------------------------------------------------------------------
int vtkKivUnstructuredGridGenerator::RequestDataObject(vtkInformation*,
  vtkInformationVector**,
  vtkInformationVector* outputVector)
{
  vtkInformation* outInfo = outputVector->GetInformationObject(0);
  if (vtkUnstructuredGrid::SafeDownCast(outInfo->Get(vtkDataObject::DATA_OBJECT())))
  {
    return 1;
  }
  vtkNew<vtkUnstructuredGrid> grid;
  outInfo->Set(vtkDataObject::DATA_OBJECT(), grid);
  return 1;
}

//------------------------------------------------------------------------------
int vtkKivUnstructuredGridGenerator::RequestData(vtkInformation*,
  vtkInformationVector**,
  vtkInformationVector* outputVector)
{
  vtkInformation* outInfo = outputVector->GetInformationObject(0);
  vtkUnstructuredGrid* output =
    vtkUnstructuredGrid::SafeDownCast(outInfo->Get(vtkDataObject::DATA_OBJECT()));
  if (!this->PointData || !this->CellData || !this->CellTypeData)
  {
    // The output was flagged as not generated and keeps its content. It still
    // counts as up to date, as after any other run: the next Update() without
    // Modified() does not run again.
    if (output)
    {
      output->DataHasBeenGenerated();
    }
    return 1;
  }
  if (!output)
  {
    vtkErrorMacro(<< "the output is not a vtkUnstructuredGrid");
    return 0;
  }

  const int coordinateComponents = this->PointData->GetNumberOfComponents();
  if (coordinateComponents != 3)
  {
    vtkErrorMacro(<< "point coordinates have " << coordinateComponents << " components, not 3");
    output->Initialize();
    return 0;
  }

  const vtkIdType numCells = this->CellTypeData->GetNumberOfTuples();
  vtkNew<vtkPoints> points;
  points->SetData(this->PointData);

  // Cell types: a plain single-component int array is used in place.
  int* types = nullptr;
  std::vector<int> convertedTypes;
  auto* intTypes = vtkAOSDataArrayTemplate<int>::FastDownCast(this->CellTypeData);
  if (intTypes && intTypes->GetNumberOfComponents() == 1)
  {
    types = intTypes->GetPointer(0);
  }
  else
  {
    convertedTypes.resize(static_cast<size_t>(numCells));
    for (vtkIdType i = 0; i < numCells; ++i)
    {
      convertedTypes[i] = TruncateToInteger<int>(this->CellTypeData->GetComponent(i, 0));
    }
    types = convertedTypes.data();
  }

  // Connectivity: a single-component id array is used in place. Others are
  // converted by their first component (GetComponent rather than GetTuple1,
  // which complains about every tuple of a multi-component array).
  vtkNew<vtkCellArray> cells;
  auto* idCells = vtkIdTypeArray::SafeDownCast(this->CellData);
  int ok = 0;
  if (idCells && idCells->GetNumberOfComponents() == 1)
  {
    ok = this->FillCellArray(types, idCells, cells);
  }
  else
  {
    const vtkIdType m = this->CellData->GetNumberOfTuples();
    vtkNew<vtkIdTypeArray> converted;
    converted->SetNumberOfTuples(m);
    vtkIdType* values = converted->GetPointer(0);
    for (vtkIdType j = 0; j < m; ++j)
    {
      values[j] = TruncateToInteger<vtkIdType>(this->CellData->GetComponent(j, 0));
    }
    ok = this->FillCellArray(types, converted, cells);
  }
  if (!ok)
  {
    output->Initialize();
    return 0;
  }

  output->SetPoints(points);
  output->SetCells(types, cells);
  return 1;
}

//------------------------------------------------------------------------------
int vtkKivUnstructuredGridGenerator::FillCellArray(int* types,
  vtkIdTypeArray* cells,
  vtkCellArray* cellArray)
{
  if (!this->CellTypeData || !cellArray)
  {
    return 1;
  }
  const vtkIdType numCells = this->CellTypeData->GetNumberOfTuples();
  if (numCells < 1)
  {
    return 1;
  }
  const vtkIdType streamSize = cells ? cells->GetNumberOfValues() : 0;
  const vtkIdType* stream = streamSize > 0 ? cells->GetPointer(0) : nullptr;
  const vtkIdType numPoints = this->PointData ? this->PointData->GetNumberOfTuples() : 0;

  // 32-bit storage cannot hold ids or offsets beyond its range.
  const vtkIdType int32Max = std::numeric_limits<vtkTypeInt32>::max();
  if (!cellArray->IsStorage64Bit() &&
    (numPoints > int32Max || cellArray->GetNumberOfConnectivityIds() + streamSize > int32Max))
  {
    cellArray->ConvertTo64BitStorage();
  }

  std::string message;
  const bool ok =
    cellArray->Visit(FillWorker{}, types, numCells, stream, streamSize, numPoints, message);
  if (!ok)
  {
    vtkErrorMacro(<< message);
    return 0;
  }
  cellArray->Modified();
  return 1;
}

//------------------------------------------------------------------------------
std::string vtkKivUnstructuredGridGenerator::CheckCells(vtkDataSet* data)
{
  std::ostringstream error;
  const vtkIdType numPoints = data ? data->GetNumberOfPoints() : 0;
  if (auto* grid = vtkUnstructuredGrid::SafeDownCast(data))
  {
    vtkCellArray* cells = grid->GetCells();
    const vtkIdType numCells = cells ? cells->GetNumberOfCells() : 0;
    if (numCells <= 0)
    {
      return {};
    }
    vtkUnsignedCharArray* typeArray = grid->GetCellTypesArray();
    const vtkIdType numTypes = typeArray ? typeArray->GetNumberOfValues() : 0;
    if (numTypes < numCells)
    {
      error << "the grid has " << numCells << " cells but " << numTypes << " cell types";
      return error.str();
    }
    const unsigned char* types = typeArray->GetPointer(0);
    vtkIdType polyhedra = 0;
    if (!cells->Visit(CheckWorker{}, types, vtkIdType{ 0 }, numPoints, error, polyhedra) ||
      (polyhedra > 0 && !CheckPolyhedra(grid, types, error)))
    {
      return error.str();
    }
  }
  else if (auto* poly = vtkPolyData::SafeDownCast(data))
  {
    // vtkPolyData numbers its cells vertices first, then lines, polygons
    // and strips.
    vtkIdType first = 0;
    for (vtkCellArray* cells :
      { poly->GetVerts(), poly->GetLines(), poly->GetPolys(), poly->GetStrips() })
    {
      if (!cells)
      {
        continue;
      }
      vtkIdType polyhedra = 0;
      if (!cells->Visit(CheckWorker{}, nullptr, first, numPoints, error, polyhedra))
      {
        return error.str();
      }
      first += cells->GetNumberOfCells();
    }
  }
  return {};
}

//------------------------------------------------------------------------------
void vtkKivUnstructuredGridGenerator::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  auto print = [&](const char* name, vtkDataArray* array)
  {
    os << indent << name << ": ";
    if (array)
    {
      os << array << " (" << array->GetClassName() << ", " << array->GetNumberOfTuples()
         << " tuples)\n";
    }
    else
    {
      os << "(none)\n";
    }
  };
  print("PointData", this->PointData);
  print("CellData", this->CellData);
  print("CellTypeData", this->CellTypeData);
}
