#include "orviReadWire.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkDataSet.h"
#include "vtkDataSetReader.h"
#include "vtkDataSetWriter.h"
#include "vtkFieldData.h"
#include "vtkIdTypeArray.h"
#include "vtkNew.h"
#include "vtkPointData.h"
#include "vtkPointSet.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkTypeInt32Array.h"
#include "vtkTypeInt64Array.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>

#include <pthread.h>
#include <time.h>

#include <sys/uio.h>

namespace orvi
{
namespace isolated
{

namespace
{
// A write to a pipe whose reader is gone raises SIGPIPE, whose default
// action ends the process: the host when the child dies before reading what
// the host sends it. The guard blocks SIGPIPE on this thread for the write,
// takes back the signal a broken pipe left pending (unless one was pending
// before) and restores the mask, so the write only fails with EPIPE.
class SigPipeBlock
{
public:
  SigPipeBlock()
  {
    sigemptyset(&this->Pipe);
    sigaddset(&this->Pipe, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    this->WasPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &this->Pipe, &this->Old);
  }
  ~SigPipeBlock()
  {
    if (this->Broken && !this->WasPending)
    {
      const timespec now{ 0, 0 };
      while (sigtimedwait(&this->Pipe, nullptr, &now) < 0 && errno == EINTR)
      {
      }
    }
    pthread_sigmask(SIG_SETMASK, &this->Old, nullptr);
  }
  SigPipeBlock(const SigPipeBlock&) = delete;
  SigPipeBlock& operator=(const SigPipeBlock&) = delete;

  bool Broken = false;

private:
  sigset_t Pipe;
  sigset_t Old;
  bool WasPending = false;
};
} // namespace

//------------------------------------------------------------------------------
void WriteAll(int fd, const void* data, std::size_t n, bool& ok)
{
  SigPipeBlock block;
  const auto* p = static_cast<const char*>(data);
  while (ok && n > 0)
  {
    const ssize_t written = ::write(fd, p, n);
    if (written < 0 && errno == EINTR)
    {
      continue;
    }
    block.Broken = block.Broken || (written < 0 && errno == EPIPE);
    ok = written > 0;
    p += written > 0 ? written : 0;
    n -= written > 0 ? static_cast<std::size_t>(written) : 0;
  }
}

//------------------------------------------------------------------------------
bool ReadAll(int fd, void* data, std::size_t n)
{
  auto* p = static_cast<char*>(data);
  while (n > 0)
  {
    const ssize_t got = ::read(fd, p, n);
    if (got < 0 && errno == EINTR)
    {
      continue;
    }
    if (got <= 0)
    {
      return false;
    }
    p += got;
    n -= static_cast<std::size_t>(got);
  }
  return true;
}

//------------------------------------------------------------------------------
bool CopyFromChild(pid_t child, std::uint64_t address, void* data, std::size_t bytes)
{
  auto* p = static_cast<char*>(data);
  while (bytes > 0)
  {
    iovec local{ p, bytes };
    iovec remote{ reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)), bytes };
    const ssize_t got = ::process_vm_readv(child, &local, 1, &remote, 1, 0);
    if (got < 0 && errno == EINTR)
    {
      continue;
    }
    if (got <= 0)
    {
      return false;
    }
    p += got;
    address += static_cast<std::uint64_t>(got);
    bytes -= static_cast<std::size_t>(got);
  }
  return true;
}

namespace
{
//------------------------------------------------------------------------------
// Arrays: type, components, tuples, name, the attribute it is (scalars,
// vectors, ...; -1 for none), then its values as they lie in memory. The
// child keeps its arrays alive until it has written them.
void WriteArray(Sink& out,
  vtkDataArray* array,
  int attribute,
  std::vector<vtkSmartPointer<vtkDataArray>>& keep)
{
  vtkSmartPointer<vtkDataArray> flat = array;
  if (!array->HasStandardMemoryLayout())
  {
    flat = vtkSmartPointer<vtkDataArray>::Take(vtkDataArray::CreateDataArray(array->GetDataType()));
    flat->DeepCopy(array);
  }
  keep.push_back(flat);
  out.U64(static_cast<std::uint64_t>(flat->GetDataType()));
  out.U64(static_cast<std::uint64_t>(flat->GetNumberOfComponents()));
  out.U64(static_cast<std::uint64_t>(flat->GetNumberOfTuples()));
  out.Text(flat->GetName() ? flat->GetName() : "");
  out.U64(static_cast<std::uint64_t>(static_cast<std::int64_t>(attribute)));
  out.Block(flat->GetVoidPointer(0),
    static_cast<std::uint64_t>(flat->GetNumberOfValues()) *
      static_cast<std::uint64_t>(flat->GetDataTypeSize()));
}

vtkSmartPointer<vtkDataArray> ReadArray(Source& in, vtkDataArray* target, int& attribute)
{
  const auto type = static_cast<int>(in.U64());
  const std::uint64_t components = in.U64(), tuples = in.U64();
  const std::string name = in.Text();
  attribute = static_cast<int>(static_cast<std::int64_t>(in.U64()));
  vtkSmartPointer<vtkDataArray> array = target;
  if (!array && in.Ok)
  {
    array = vtkSmartPointer<vtkDataArray>::Take(vtkDataArray::CreateDataArray(type));
  }
  std::uint64_t bytes = 0;
  void* values = in.Block(bytes);
  if (!in.Ok || !array || array->GetDataType() != type || components < 1 || components > 1u << 20 ||
    !array->HasStandardMemoryLayout() ||
    bytes != tuples * components * static_cast<std::uint64_t>(array->GetDataTypeSize()))
  {
    if (values)
    {
      UnmapArray(values);
    }
    in.Ok = false;
    return nullptr;
  }
  array->SetNumberOfComponents(static_cast<int>(components));
  if (values)
  {
    // The pages read into become the array's: no copy.
    array->SetVoidArray(values,
      static_cast<vtkIdType>(tuples) * static_cast<vtkIdType>(components),
      0,
      vtkAbstractArray::VTK_DATA_ARRAY_USER_DEFINED);
    array->SetArrayFreeFunction(&UnmapArray);
  }
  else
  {
    array->SetNumberOfTuples(0);
  }
  if (!name.empty())
  {
    array->SetName(name.c_str());
  }
  return array;
}

// The numeric arrays of point, cell or field data, with the attribute each
// is (scalars, vectors, ...; field data has none).
void WriteFields(Sink& out, vtkFieldData* fields, std::vector<vtkSmartPointer<vtkDataArray>>& keep)
{
  std::array<int, vtkDataSetAttributes::NUM_ATTRIBUTES> attributes{};
  attributes.fill(-1);
  if (auto* withAttributes = vtkDataSetAttributes::SafeDownCast(fields))
  {
    withAttributes->GetAttributeIndices(attributes.data());
  }
  std::vector<std::pair<vtkDataArray*, int>> arrays;
  for (int i = 0; i < fields->GetNumberOfArrays(); ++i)
  {
    if (vtkDataArray* array = fields->GetArray(i))
    {
      const auto found = std::find(attributes.begin(), attributes.end(), i);
      arrays.emplace_back(
        array, found == attributes.end() ? -1 : static_cast<int>(found - attributes.begin()));
    }
  }
  out.U64(arrays.size());
  for (const auto& [array, attribute] : arrays)
  {
    WriteArray(out, array, attribute, keep);
  }
}

// The arrays WriteFields() wrote, each of tuples tuples (any number for
// field data, tuples -1).
bool ReadFields(Source& in, vtkFieldData* fields, vtkIdType tuples)
{
  auto* withAttributes = vtkDataSetAttributes::SafeDownCast(fields);
  const std::uint64_t count = in.U64();
  for (std::uint64_t i = 0; in.Ok && i < count; ++i)
  {
    int attribute = -1;
    vtkSmartPointer<vtkDataArray> array = ReadArray(in, nullptr, attribute);
    if (!array || (tuples >= 0 && array->GetNumberOfTuples() != tuples))
    {
      return false;
    }
    const int index = fields->AddArray(array);
    if (withAttributes && attribute >= 0 && attribute < vtkDataSetAttributes::NUM_ATTRIBUTES)
    {
      withAttributes->SetActiveAttribute(index, attribute);
    }
  }
  return in.Ok;
}

// A cell array: its offsets and connectivity, 32 or 64 bits.
void WriteCells(Sink& out, vtkCellArray* cells, std::vector<vtkSmartPointer<vtkDataArray>>& keep)
{
  out.U64(cells->IsStorage64Bit() ? 64 : 32);
  WriteArray(out, cells->GetOffsetsArray(), -1, keep);
  WriteArray(out, cells->GetConnectivityArray(), -1, keep);
}

// The offsets and connectivity of a cell array in ids of one width.
template <class Ids>
bool ReadCellIds(Source& in, vtkCellArray* cells)
{
  int attribute = -1;
  vtkNew<Ids> offsets, connectivity;
  if (!ReadArray(in, offsets, attribute) || !ReadArray(in, connectivity, attribute) ||
    offsets->GetNumberOfValues() == 0 ||
    offsets->GetValue(offsets->GetNumberOfValues() - 1) != connectivity->GetNumberOfValues())
  {
    return false;
  }
  cells->SetData(offsets, connectivity);
  return true;
}

vtkSmartPointer<vtkCellArray> ReadCells(Source& in)
{
  const std::uint64_t bits = in.U64();
  auto cells = vtkSmartPointer<vtkCellArray>::New();
  if ((bits == 64 && ReadCellIds<vtkTypeInt64Array>(in, cells)) ||
    (bits == 32 && ReadCellIds<vtkTypeInt32Array>(in, cells)))
  {
    return cells;
  }
  in.Ok = false;
  return nullptr;
}

} // namespace

//------------------------------------------------------------------------------
void WriteMesh(Sink& out,
  vtkDataSet* mesh,
  std::vector<vtkSmartPointer<vtkDataArray>>& keep,
  std::string& legacy)
{
  if (auto* grid = vtkUnstructuredGrid::SafeDownCast(mesh))
  {
    out.U64(Grid);
    WriteArray(out, grid->GetPoints()->GetData(), -1, keep);
    WriteCells(out, grid->GetCells(), keep);
    WriteArray(out, grid->GetCellTypesArray(), -1, keep);
    const bool faces = grid->GetFaces() && grid->GetFaceLocations();
    out.U64(faces ? 1 : 0);
    if (faces)
    {
      WriteArray(out, grid->GetFaceLocations(), -1, keep);
      WriteArray(out, grid->GetFaces(), -1, keep);
    }
  }
  else if (auto* poly = vtkPolyData::SafeDownCast(mesh))
  {
    out.U64(Poly);
    WriteArray(out, poly->GetPoints()->GetData(), -1, keep);
    for (vtkCellArray* cells :
      { poly->GetVerts(), poly->GetLines(), poly->GetPolys(), poly->GetStrips() })
    {
      WriteCells(out, cells, keep);
    }
  }
  else
  {
    // Structured kinds, rare in the files a viewer meets: VTK's own format.
    vtkNew<vtkDataSetWriter> writer;
    writer->SetInputData(mesh);
    writer->SetFileTypeToBinary();
    writer->WriteToOutputStringOn();
    writer->Write();
    out.U64(Legacy);
    legacy.assign(writer->GetOutputString(), writer->GetOutputStringLength());
    out.Block(legacy.data(), legacy.size());
    return;
  }
  WriteFields(out, mesh->GetPointData(), keep);
  WriteFields(out, mesh->GetCellData(), keep);
  WriteFields(out, mesh->GetFieldData(), keep);
}

namespace
{
// The parent's side of each kind.
vtkSmartPointer<vtkDataSet> ReadLegacy(Source& in)
{
  vtkNew<vtkDataSetReader> reader;
  reader->ReadFromInputStringOn();
  reader->SetInputString(in.BlockText());
  reader->Update();
  return in.Ok ? vtkSmartPointer<vtkDataSet>(reader->GetOutput()) : nullptr;
}

vtkSmartPointer<vtkPointSet> ReadGrid(Source& in)
{
  int attribute = -1;
  auto grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
  vtkSmartPointer<vtkCellArray> cells = ReadCells(in);
  vtkNew<vtkUnsignedCharArray> types;
  if (!cells || !ReadArray(in, types, attribute) ||
    types->GetNumberOfValues() != cells->GetNumberOfCells())
  {
    return nullptr;
  }
  if (in.U64() != 1)
  {
    grid->SetCells(types, cells);
    return grid;
  }
  vtkNew<vtkIdTypeArray> locations, faces;
  if (!ReadArray(in, locations, attribute) || !ReadArray(in, faces, attribute) ||
    locations->GetNumberOfValues() != types->GetNumberOfValues())
  {
    return nullptr;
  }
  grid->SetCells(types, cells, locations, faces);
  return grid;
}

vtkSmartPointer<vtkPointSet> ReadPoly(Source& in)
{
  auto poly = vtkSmartPointer<vtkPolyData>::New();
  std::array<vtkSmartPointer<vtkCellArray>, 4> cells;
  for (auto& c : cells)
  {
    if (!(c = ReadCells(in)))
    {
      return nullptr;
    }
  }
  poly->SetVerts(cells[0]);
  poly->SetLines(cells[1]);
  poly->SetPolys(cells[2]);
  poly->SetStrips(cells[3]);
  return poly;
}
} // namespace

//------------------------------------------------------------------------------
vtkSmartPointer<vtkDataSet> ReadMesh(Source& in, std::uint64_t kind)
{
  if (kind == Legacy)
  {
    return ReadLegacy(in);
  }
  if (kind != Grid && kind != Poly)
  {
    return nullptr;
  }
  int attribute = -1;
  vtkSmartPointer<vtkDataArray> coords = ReadArray(in, nullptr, attribute);
  if (!coords || coords->GetNumberOfComponents() != 3)
  {
    return nullptr;
  }
  vtkSmartPointer<vtkPointSet> mesh = kind == Grid ? ReadGrid(in) : ReadPoly(in);
  if (!mesh)
  {
    return nullptr;
  }
  vtkNew<vtkPoints> points;
  points->SetData(coords);
  mesh->SetPoints(points);
  if (!ReadFields(in, mesh->GetPointData(), mesh->GetNumberOfPoints()) ||
    !ReadFields(in, mesh->GetCellData(), mesh->GetNumberOfCells()) ||
    !ReadFields(in, mesh->GetFieldData(), -1))
  {
    return nullptr;
  }
  return mesh;
}

} // namespace isolated
} // namespace orvi
