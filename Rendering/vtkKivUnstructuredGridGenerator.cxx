#include "vtkKivUnstructuredGridGenerator.h"

#include "vtkKivCellChecks.h"

#include "vtkCellArray.h"
#include "vtkCellType.h"
#include "vtkDataArray.h"
#include "vtkDemandDrivenPipeline.h"
#include "vtkExecutive.h"
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

#include <limits>
#include <sstream>
#include <string>
#include <vector>

vtkStandardNewMacro(vtkKivUnstructuredGridGenerator);

namespace
{
using vtkKivCellChecks::CellTypeTable;
using vtkKivCellChecks::CheckCellType;
using vtkKivCellChecks::CheckFaceStream;
using vtkKivCellChecks::CheckIds;
using vtkKivCellChecks::CheckPointCount;
using vtkKivCellChecks::CheckRoom;
using vtkKivCellChecks::GetCellTypeTable;
using vtkKivCellChecks::UnsignedId;

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
// Values left at the end of the generator's stream are ignored. Types and
// streams other than single-component int / vtkIdType are converted,
// truncating toward zero.
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
  return vtkKivCellChecks::CheckCells(data);
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
