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
#include "vtkStreamingDemandDrivenPipeline.h"
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
    using UnsignedId = std::make_unsigned<vtkIdType>::type;
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
    vtkIdType p = 0;
    const UnsignedId pointLimit = static_cast<UnsignedId>(numPoints);

    std::ostringstream error;
    auto fail = [&](vtkIdType cell) -> std::ostringstream&
    {
      error << "cell " << cell << ": ";
      return error;
    };
    // True when the stream holds the values at p .. p + n (p >= 0, n >= 0).
    // Written as n < streamSize - p, because p + n overflows for a huge
    // count; the message adds them unsigned, where two values below 2^63 fit.
    auto checkRoom = [&](vtkIdType cell, vtkIdType pos, vtkIdType n)
    {
      if (pos < streamSize && n < streamSize - pos)
      {
        return true;
      }
      fail(cell) << "needs stream values up to index "
                 << static_cast<UnsignedId>(pos) + static_cast<UnsignedId>(n)
                 << " but the connectivity stream holds " << streamSize << " values";
      return false;
    };
    // Copies n ids from the stream at position from to out + w, checking
    // each against the number of points without a branch per id.
    auto copyIds = [&](vtkIdType cell, vtkIdType from, vtkIdType n)
    {
      const vtkIdType* src = stream + from;
      ValueType* dst = out + w;
      bool bad = false;
      for (vtkIdType k = 0; k < n; ++k)
      {
        const vtkIdType id = src[k];
        bad |= static_cast<UnsignedId>(id) >= pointLimit;
        dst[k] = static_cast<ValueType>(id);
      }
      if (bad)
      {
        for (vtkIdType k = 0; k < n; ++k)
        {
          const vtkIdType id = src[k];
          if (id < 0)
          {
            fail(cell) << "point id " << id << " is negative";
            return false;
          }
          if (id >= numPoints)
          {
            fail(cell) << "point id " << id << " is not below the number of points (" << numPoints
                       << ")";
            return false;
          }
        }
      }
      w += n;
      return true;
    };

    bool ok = true;
    for (vtkIdType i = 0; ok && i < numCells; ++i)
    {
      const int type = types[i];
      if (type < 0 || type >= VTK_NUMBER_OF_CELL_TYPES || !table.Known[type])
      {
        fail(i) << "cell type " << type << " is not a VTK cell type";
        ok = false;
        break;
      }
      if (!checkRoom(i, p, 0))
      {
        ok = false;
        break;
      }
      const vtkIdType n = stream[p];
      if (type != VTK_POLYHEDRON)
      {
        if (n < 0)
        {
          fail(i) << "point count " << n << " is negative";
          ok = false;
        }
        else if (table.Size[type] >= 0 && n != table.Size[type])
        {
          fail(i) << "cell type " << type << " needs " << table.Size[type] << " points, not " << n;
          ok = false;
        }
        else
        {
          ok = checkRoom(i, p, n) && copyIds(i, p + 1, n);
          if (ok)
          {
            p += 1 + n;
          }
        }
      }
      else
      {
        // Face stream: F, then per face k and k ids; F and every k are kept.
        if (n < 1)
        {
          fail(i) << "polyhedron face count " << n << " is below 1";
          ok = false;
          break;
        }
        out[w++] = static_cast<ValueType>(n);
        ++p;
        for (vtkIdType f = 0; ok && f < n; ++f)
        {
          if (!checkRoom(i, p, 0))
          {
            ok = false;
            break;
          }
          const vtkIdType k = stream[p];
          if (k < 3)
          {
            fail(i) << "polyhedron face " << f << " has " << k << " points, fewer than 3";
            ok = false;
            break;
          }
          ok = checkRoom(i, p, k);
          if (ok)
          {
            out[w++] = static_cast<ValueType>(k);
            ok = copyIds(i, p + 1, k);
            p += 1 + k;
          }
        }
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
