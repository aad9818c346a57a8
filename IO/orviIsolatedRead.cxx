#include "orviIsolatedRead.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkDataSet.h"
#include "vtkDataSetReader.h"
#include "vtkDataSetWriter.h"
#include "vtkIdTypeArray.h"
#include "vtkLogger.h"
#include "vtkNew.h"
#include "vtkPointData.h"
#include "vtkPointSet.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkSMPTools.h"
#include "vtkTypeInt32Array.h"
#include "vtkTypeInt64Array.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <new>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvi
{

namespace
{
// What the child leaves in the memory file: this tag, then a status, an
// error text and, on success, the mesh.
constexpr std::uint64_t Tag = 0x3148534d4956524fULL; // "ORVIMSH1"
enum Kind : std::uint64_t
{
  Failed = 0,
  Grid = 1,
  Poly = 2,
  Legacy = 3,
};

// Writes to a file descriptor; remembers whether every byte went out.
void WriteAll(int fd, const void* data, std::size_t n, bool& ok)
{
  const auto* p = static_cast<const char*>(data);
  while (ok && n > 0)
  {
    const ssize_t written = ::write(fd, p, n);
    if (written < 0 && errno == EINTR)
    {
      continue;
    }
    ok = written > 0;
    p += written > 0 ? written : 0;
    n -= written > 0 ? static_cast<std::size_t>(written) : 0;
  }
}

// Whether AddressSanitizer's runtime is in: its own allocator ignores
// mallopt(), and its shadow memory needs far more address space than a
// process uses.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool AddressSanitized = true;
#else
constexpr bool AddressSanitized = false;
#endif
#else
constexpr bool AddressSanitized = false;
#endif

// Large pages: the parent's arrays are laid out in them, so that taking
// over a mesh of hundreds of megabytes faults in a few hundred pages instead
// of a hundred thousand (a page fault costs far more than copying a page).
constexpr std::size_t LargePage = std::size_t{ 2 } << 20;

// Bytes from p to the next large page boundary (0 on one).
std::size_t ToLargePage(const void* p)
{
  const auto at = reinterpret_cast<std::uintptr_t>(p);
  return (LargePage - at % LargePage) % LargePage;
}

// bytes rounded up to a whole number of units.
std::size_t RoundUp(std::size_t bytes, std::size_t unit)
{
  return (bytes + unit - 1) / unit * unit;
}

// Reads exactly n bytes from a pipe; false at its end or on an error.
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

// The child's result: a description (counts, names, types, the length and
// address of each array's values) in the memory file, and the values of
// the arrays, in the order described, read by the parent out of the
// child's memory (one copy) or sent through a pipe; no page of the child's
// is mapped twice.
class Sink
{
public:
  void U64(std::uint64_t v) { this->Meta.append(reinterpret_cast<const char*>(&v), sizeof(v)); }
  void Text(const std::string& s)
  {
    this->U64(s.size());
    this->Meta.append(s);
  }
  // Values sent after the description, or read by the parent from where
  // they lie in this process.
  void Block(const void* data, std::uint64_t bytes)
  {
    this->U64(bytes);
    this->U64(reinterpret_cast<std::uintptr_t>(data));
    this->Blocks.emplace_back(data, bytes);
  }
  // The memory file: tag, description length, description.
  bool Write(int fd)
  {
    bool ok = true;
    const std::uint64_t words[2] = { Tag, this->Meta.size() };
    WriteAll(fd, words, sizeof(words), ok);
    WriteAll(fd, this->Meta.data(), this->Meta.size(), ok);
    return ok;
  }
  // The blocks' values, in order; the pipe blocks until the parent reads.
  void Send(int fd)
  {
    bool ok = true;
    for (const auto& [data, bytes] : this->Blocks)
    {
      WriteAll(fd, data, static_cast<std::size_t>(bytes), ok);
    }
  }

private:
  std::string Meta;
  std::vector<std::pair<const void*, std::uint64_t>> Blocks;
};

// The arrays the parent laid out in large pages: the length of the mapping
// behind each, by the address VTK holds, for unmapping when VTK frees them.
std::mutex& MappingsMutex()
{
  static std::mutex mutex;
  return mutex;
}
std::map<void*, std::size_t>& Mappings()
{
  static std::map<void*, std::size_t> mappings;
  return mappings;
}
void UnmapArray(void* data)
{
  std::size_t length = 0;
  {
    const std::lock_guard<std::mutex> lock(MappingsMutex());
    const auto found = Mappings().find(data);
    if (found == Mappings().end())
    {
      return;
    }
    length = found->second;
    Mappings().erase(found);
  }
  ::munmap(data, length);
}
// An array's memory, [data, data + length), for UnmapArray() to release.
void RegisterArray(void* data, std::size_t length)
{
  const std::lock_guard<std::mutex> lock(MappingsMutex());
  Mappings()[data] = length;
}

// length bytes (whole small pages) of fresh memory starting on a large
// page, advised to be backed by large pages when that long; null when there
// is none.
char* MapAligned(std::size_t length)
{
  void* base =
    ::mmap(nullptr, length + LargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED)
  {
    return nullptr;
  }
  // Only the aligned part is kept.
  const std::size_t skip = ToLargePage(base);
  if (skip > 0)
  {
    ::munmap(base, skip);
  }
  char* aligned = static_cast<char*>(base) + skip;
  ::munmap(aligned + length, LargePage - skip);
  if (length >= LargePage)
  {
    ::madvise(aligned, length, MADV_HUGEPAGE);
  }
  return aligned;
}

// Memory of its own for bytes of an array's values (see MapAligned()),
// registered for UnmapArray(); null when there is none.
void* MapArray(std::size_t bytes)
{
  const std::size_t length = RoundUp(bytes, static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)));
  char* data = MapAligned(length);
  if (data)
  {
    RegisterArray(data, length);
  }
  return data;
}

// Memory for the large arrays taken over from the child, mapped and
// faulted in (a few megabytes at a time, between the checks on the child)
// while the child still reads: a page fault costs far more than copying a
// page, and this process has nothing else to do meanwhile. Handed out in
// order, a large page or more an array; what is left is given back when
// the pool goes.
class ArrayPool
{
public:
  explicit ArrayPool(std::size_t bytes)
  {
    if (bytes >= LargePage)
    {
      this->Base = MapAligned(RoundUp(bytes, LargePage));
      this->Length = this->Base ? RoundUp(bytes, LargePage) : 0;
    }
  }
  ~ArrayPool()
  {
    if (this->Base && this->Used < this->Length)
    {
      ::munmap(this->Base + this->Used, this->Length - this->Used);
    }
  }
  ArrayPool(const ArrayPool&) = delete;
  ArrayPool& operator=(const ArrayPool&) = delete;

  // Whether some of the pool is not faulted in yet.
  bool Filling() const { return this->Filled < this->Length; }
  // Faults in the next few megabytes (written by the kernel, never by this
  // code, so that it is safe beside arrays being filled).
  void FillSome()
  {
    const std::size_t chunk = std::min(this->Length - this->Filled, FillChunk);
    if (this->Filled < this->Used || chunk == 0 ||
      ::madvise(this->Base + this->Filled, chunk, MADV_POPULATE_WRITE) != 0)
    {
      this->Filled = this->Length; // handed out, or not possible here
      return;
    }
    this->Filled += chunk;
  }
  // bytes (a large page or more) from the pool, registered for UnmapArray();
  // null when the pool has no room for them.
  void* Take(std::size_t bytes)
  {
    const std::size_t length = RoundUp(bytes, LargePage);
    if (!this->Base || bytes < LargePage || length > this->Length - this->Used)
    {
      return nullptr;
    }
    void* data = this->Base + this->Used;
    this->Used += length;
    RegisterArray(data, length);
    return data;
  }

private:
  static constexpr std::size_t FillChunk = std::size_t{ 8 } << 20;
  char* Base = nullptr;
  std::size_t Length = 0;
  std::size_t Used = 0;   // handed out
  std::size_t Filled = 0; // faulted in
};

// Copies bytes at an address of the child's into data; false when the
// system does not let this process read the child's memory, or on a fault.
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

// Where the blocks' values come from: the child's memory, read directly
// (one copy, and the child idle), or, where the system does not allow
// that, the pipe the child writes them into once asked.
struct BlockChannel
{
  pid_t Child = -1;
  bool TryChildMemory = true;
  int DataFd = -1;  // the pipe of the values
  int ReplyFd = -1; // 'P' here asks the child for the pipe
};

// Reads back what a Sink wrote, never past the description's end: the
// description from the memory file, the blocks through the channel (into
// the pool's memory where it has room).
class Source
{
public:
  Source(int fd, std::uint64_t size, const BlockChannel& channel, ArrayPool& pool)
    : Channel(channel)
    , Pool(pool)
  {
    std::uint64_t words[2] = { 0, 0 };
    if (size < sizeof(words) || ::pread(fd, words, sizeof(words), 0) != sizeof(words) ||
      words[0] != Tag || words[1] > size - sizeof(words))
    {
      this->Ok = false;
      return;
    }
    this->Meta.resize(words[1]);
    this->Ok = ::pread(fd, this->Meta.data(), this->Meta.size(), sizeof(words)) ==
      static_cast<ssize_t>(this->Meta.size());
  }
  std::uint64_t U64()
  {
    std::uint64_t v = 0;
    if (!this->Ok || this->Meta.size() - this->Pos < sizeof(v))
    {
      this->Ok = false;
      return 0;
    }
    std::memcpy(&v, this->Meta.data() + this->Pos, sizeof(v));
    this->Pos += sizeof(v);
    return v;
  }
  std::string Text()
  {
    const std::uint64_t n = this->U64();
    if (!this->Ok || n > this->Meta.size() - this->Pos)
    {
      this->Ok = false;
      return {};
    }
    std::string s = this->Meta.substr(this->Pos, n);
    this->Pos += n;
    return s;
  }
  // The next block of values, in memory of this process (null for none,
  // or on a fault); released by UnmapArray().
  void* Block(std::uint64_t& bytes)
  {
    bytes = this->U64();
    const std::uint64_t address = this->U64();
    if (!this->Ok || bytes == 0)
    {
      return nullptr;
    }
    void* data = nullptr;
    if (bytes <= std::numeric_limits<std::size_t>::max() / 2)
    {
      data = this->Pool.Take(static_cast<std::size_t>(bytes));
      data = data ? data : MapArray(static_cast<std::size_t>(bytes));
    }
    if (!data || !this->Fill(data, static_cast<std::size_t>(bytes), address))
    {
      UnmapArray(data);
      this->Ok = false;
      return nullptr;
    }
    return data;
  }
  // The bytes of a block, copied.
  std::string BlockText()
  {
    std::uint64_t bytes = 0;
    void* map = this->Block(bytes);
    std::string s(static_cast<const char*>(map ? map : ""), map ? bytes : 0);
    UnmapArray(map);
    return s;
  }
  bool Ok = true;

private:
  // The first block decides the channel: the child's memory if that can be
  // read, the pipe otherwise (every block then comes through it).
  bool Fill(void* data, std::size_t bytes, std::uint64_t address)
  {
    if (this->Mode == Transfer::ChildMemory)
    {
      return CopyFromChild(this->Channel.Child, address, data, bytes);
    }
    if (this->Mode == Transfer::Undecided)
    {
      if (this->Channel.TryChildMemory && CopyFromChild(this->Channel.Child, address, data, bytes))
      {
        this->Mode = Transfer::ChildMemory;
        return true;
      }
      bool ok = true;
      const char pipe = 'P';
      WriteAll(this->Channel.ReplyFd, &pipe, 1, ok);
      this->Mode = Transfer::Pipe;
      if (!ok)
      {
        return false;
      }
    }
    return ReadAll(this->Channel.DataFd, data, bytes);
  }

  enum class Transfer
  {
    Undecided,
    ChildMemory,
    Pipe,
  };
  BlockChannel Channel;
  Transfer Mode = Transfer::Undecided;
  ArrayPool& Pool;
  std::string Meta;
  std::size_t Pos = 0;
};

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

void WriteFields(Sink& out,
  vtkDataSetAttributes* fields,
  std::vector<vtkSmartPointer<vtkDataArray>>& keep)
{
  std::array<int, vtkDataSetAttributes::NUM_ATTRIBUTES> attributes{};
  fields->GetAttributeIndices(attributes.data());
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

bool ReadFields(Source& in, vtkDataSetAttributes* fields, vtkIdType tuples)
{
  const std::uint64_t count = in.U64();
  for (std::uint64_t i = 0; in.Ok && i < count; ++i)
  {
    int attribute = -1;
    vtkSmartPointer<vtkDataArray> array = ReadArray(in, nullptr, attribute);
    if (!array || array->GetNumberOfTuples() != tuples)
    {
      return false;
    }
    const int index = fields->AddArray(array);
    if (attribute >= 0 && attribute < vtkDataSetAttributes::NUM_ATTRIBUTES)
    {
      fields->SetActiveAttribute(index, attribute);
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

vtkSmartPointer<vtkCellArray> ReadCells(Source& in)
{
  const std::uint64_t bits = in.U64();
  int attribute = -1;
  auto cells = vtkSmartPointer<vtkCellArray>::New();
  if (bits == 64)
  {
    vtkNew<vtkTypeInt64Array> offsets, connectivity;
    if (ReadArray(in, offsets, attribute) && ReadArray(in, connectivity, attribute) &&
      offsets->GetNumberOfValues() > 0 &&
      offsets->GetValue(offsets->GetNumberOfValues() - 1) == connectivity->GetNumberOfValues())
    {
      cells->SetData(offsets, connectivity);
      return cells;
    }
  }
  else if (bits == 32)
  {
    vtkNew<vtkTypeInt32Array> offsets, connectivity;
    if (ReadArray(in, offsets, attribute) && ReadArray(in, connectivity, attribute) &&
      offsets->GetNumberOfValues() > 0 &&
      offsets->GetValue(offsets->GetNumberOfValues() - 1) == connectivity->GetNumberOfValues())
    {
      cells->SetData(offsets, connectivity);
      return cells;
    }
  }
  in.Ok = false;
  return nullptr;
}

//------------------------------------------------------------------------------
// The child's side: the mesh, as compactly as it lies in memory.
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
}

// The parent's side; null when the file is not what WriteMesh() wrote.
vtkSmartPointer<vtkDataSet> ReadMesh(Source& in, std::uint64_t kind)
{
  if (kind == Legacy)
  {
    vtkNew<vtkDataSetReader> reader;
    reader->ReadFromInputStringOn();
    reader->SetInputString(in.BlockText());
    reader->Update();
    return in.Ok ? vtkSmartPointer<vtkDataSet>(reader->GetOutput()) : nullptr;
  }
  vtkSmartPointer<vtkPointSet> mesh;
  int attribute = -1;
  vtkNew<vtkPoints> points;
  if (kind == Grid || kind == Poly)
  {
    vtkSmartPointer<vtkDataArray> coords = ReadArray(in, nullptr, attribute);
    if (!coords || coords->GetNumberOfComponents() != 3)
    {
      return nullptr;
    }
    points->SetData(coords);
  }
  if (kind == Grid)
  {
    auto grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
    vtkSmartPointer<vtkCellArray> cells = ReadCells(in);
    vtkNew<vtkUnsignedCharArray> types;
    if (!cells || !ReadArray(in, types, attribute) ||
      types->GetNumberOfValues() != cells->GetNumberOfCells())
    {
      return nullptr;
    }
    if (in.U64() == 1)
    {
      vtkNew<vtkIdTypeArray> locations, faces;
      if (!ReadArray(in, locations, attribute) || !ReadArray(in, faces, attribute) ||
        locations->GetNumberOfValues() != types->GetNumberOfValues())
      {
        return nullptr;
      }
      grid->SetCells(types, cells, locations, faces);
    }
    else
    {
      grid->SetCells(types, cells);
    }
    mesh = grid;
  }
  else if (kind == Poly)
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
    mesh = poly;
  }
  else
  {
    return nullptr;
  }
  mesh->SetPoints(points);
  if (!ReadFields(in, mesh->GetPointData(), mesh->GetNumberOfPoints()) ||
    !ReadFields(in, mesh->GetCellData(), mesh->GetNumberOfCells()))
  {
    return nullptr;
  }
  return mesh;
}

//------------------------------------------------------------------------------
// Forwards what the child writes to its log, line by line, through a pipe.
class PipeBuffer : public std::streambuf
{
public:
  explicit PipeBuffer(int fd)
    : Fd(fd)
  {
  }

protected:
  int overflow(int c) override
  {
    if (c != traits_type::eof())
    {
      this->Line.push_back(static_cast<char>(c));
      if (c == '\n')
      {
        this->sync();
      }
    }
    return c;
  }
  int sync() override
  {
    bool ok = true;
    WriteAll(this->Fd, this->Line.data(), this->Line.size(), ok);
    this->Line.clear();
    return 0;
  }

private:
  int Fd;
  std::string Line;
};

// The child: no terminal output of its own (VTK's log and anything else
// written to stdout or stderr goes nowhere), limits set, the read run, its
// result written to the memory file. Never returns.
[[noreturn]] void RunChild(const MeshReadFunction& read,
  const ReadLimits& limits,
  int logFd,
  int statusFd,
  int resultFd,
  int dataFd,
  int replyFd)
{
  const int null = ::open("/dev/null", O_RDWR);
  if (null >= 0)
  {
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
  }
  vtkLogger::SetStderrVerbosity(vtkLogger::VERBOSITY_OFF);
  // The parent's thread pool did not come along through fork().
  vtkSMPTools::SetBackend("Sequential");
  PrepareLargePageHeap(limits.HeapBytes);
  if (limits.MemoryBytes > 0.0)
  {
    rlimit memory{};
    memory.rlim_cur = memory.rlim_max = static_cast<rlim_t>(limits.MemoryBytes);
    ::setrlimit(RLIMIT_AS, &memory);
  }
  PipeBuffer buffer(logFd);
  std::ostream log(&buffer);
  Sink out;
  std::string error;
  vtkSmartPointer<vtkDataSet> mesh;
  try
  {
    mesh = read(log, error);
  }
  catch (const std::bad_alloc&)
  {
    mesh = nullptr;
    error = "not enough memory for what the file claims to hold (is it damaged?)";
  }
  catch (const std::exception& e)
  {
    mesh = nullptr;
    error = std::string("the reader failed: ") + e.what();
  }
  log.flush();
  std::vector<vtkSmartPointer<vtkDataArray>> keep;
  std::string legacy;
  bool written = false;
  try
  {
    if (mesh)
    {
      WriteMesh(out, mesh, keep, legacy);
    }
    else
    {
      out.U64(Failed);
      out.Text(error.empty() ? "the reader failed without a message" : error);
    }
    written = out.Write(resultFd);
  }
  catch (const std::bad_alloc&)
  {
    written = false;
  }
  // The parent reads the description as soon as this byte arrives, then
  // the arrays' values: from this process's memory, which stays as it is
  // until the parent's end of the reply pipe closes, or through the pipe
  // when it asks for them so.
  const char done = written ? 'Y' : 'N';
  bool ok = true;
  WriteAll(statusFd, &done, 1, ok);
  if (written)
  {
    char asked = 0;
    while (::read(replyFd, &asked, 1) < 0 && errno == EINTR)
    {
    }
    if (asked == 'P')
    {
      out.Send(dataFd);
    }
  }
  ::_exit(written ? 0 : 2);
}

// Why a child ended without a result, in words.
std::string Death(int status)
{
  if (WIFSIGNALED(status))
  {
    const int signal = WTERMSIG(status);
    const char* name = signal == SIGSEGV ? "a segmentation fault"
      : signal == SIGBUS                 ? "a bus error"
      : signal == SIGABRT                ? "an abort"
      : signal == SIGFPE                 ? "an arithmetic fault"
      : signal == SIGILL                 ? "an illegal instruction"
      : signal == SIGKILL                ? "being killed (out of memory?)"
                                         : nullptr;
    return std::string("VTK's reader died on its contents with ") +
      (name ? name : "signal " + std::to_string(signal)) + " (the file is damaged)";
  }
  return "VTK's reader failed on its contents (exit status " +
    std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "; the file is damaged)";
}

// Closes a descriptor when it goes.
struct Descriptor
{
  int Fd = -1;
  Descriptor() = default;
  explicit Descriptor(int fd)
    : Fd(fd)
  {
  }
  ~Descriptor()
  {
    if (this->Fd >= 0)
    {
      ::close(this->Fd);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  void Close()
  {
    if (this->Fd >= 0)
    {
      ::close(this->Fd);
    }
    this->Fd = -1;
  }
};
} // namespace

//------------------------------------------------------------------------------
void PrepareLargePageHeap(double bytes)
{
  if (AddressSanitized || bytes < 64.0e6)
  {
    return;
  }
  // Everything from one heap that is never given back, advised for large
  // pages: what is allocated then faults in 2 MB at a time.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
  // One heap for every thread: another thread's arena would be carved out
  // of 64 MB mappings in small pages, slow to fault in and to walk (a mesh's
  // surface extracted on a thread of its own took a quarter longer, and the
  // first frame drawing it half as long again).
  mallopt(M_ARENA_MAX, 1);
  // glibc gives back the top of its heap once it exceeds the trim
  // threshold, an int: a larger heap would be returned as soon as it is
  // freed below.
  const auto size = static_cast<std::size_t>(
    std::min(bytes, 0.9 * static_cast<double>(std::numeric_limits<int>::max())));
  if (void* heap = std::malloc(size))
  {
    const std::size_t skip = ToLargePage(heap);
    if (size > skip + LargePage)
    {
      ::madvise(
        static_cast<char*>(heap) + skip, (size - skip) / LargePage * LargePage, MADV_HUGEPAGE);
    }
    std::free(heap);
  }
}

//------------------------------------------------------------------------------
ReadLimits LimitsForFile(double fileBytes)
{
  ReadLimits limits;
  limits.Seconds = 10.0 + fileBytes / 4.0e6;
  limits.SilentSeconds = 3.0 + fileBytes / 4.0e6;
  const double memory =
    static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
  limits.HeapBytes = std::min(8.0 * fileBytes, memory / 8.0);
  // A binary file holds about what its mesh takes; below 64 MB, faulting in
  // is quick enough.
  limits.TakeOverBytes = fileBytes >= 64.0e6 ? std::min(fileBytes, memory / 8.0) : 0.0;
  if (!AddressSanitized)
  {
    limits.MemoryBytes = 0.75 * memory;
  }
  return limits;
}

//------------------------------------------------------------------------------
vtkSmartPointer<vtkDataSet> ReadIsolated(const MeshReadFunction& read,
  const ReadLimits& limits,
  const std::string& context,
  std::ostream& log,
  std::string& error,
  const std::function<void()>& whileReading,
  const std::function<void(vtkDataSet*)>& afterRead)
{
  const auto fail = [&](const std::string& why)
  {
    error = context + ": " + why;
    return nullptr;
  };
  Descriptor result(::memfd_create("orvi-mesh", MFD_CLOEXEC));
  std::array<int, 2> logFds{ -1, -1 }, statusFds{ -1, -1 }, dataFds{ -1, -1 }, stopFds{ -1, -1 },
    replyFds{ -1, -1 };
  const bool piped = ::pipe2(logFds.data(), O_CLOEXEC) == 0 &&
    ::pipe2(statusFds.data(), O_CLOEXEC) == 0 && ::pipe2(dataFds.data(), O_CLOEXEC) == 0 &&
    ::pipe2(stopFds.data(), O_CLOEXEC) == 0 && ::pipe2(replyFds.data(), O_CLOEXEC) == 0;
  // The child waits here, once its mesh is described, until this end
  // closes (its memory read) or asks for the pipe.
  Descriptor replyRead(replyFds[0]), replyWrite(replyFds[1]);
  // A byte here asks the collector (below) to stop the child.
  Descriptor stopRead(stopFds[0]), stopWrite(stopFds[1]);
  Descriptor dataRead(dataFds[0]), dataWrite(dataFds[1]);
  if (piped)
  {
    // Fewer, larger writes and reads of the arrays (the system's limit may
    // be lower: then its default).
    ::fcntl(dataWrite.Fd, F_SETPIPE_SZ, 1 << 20);
  }
  Descriptor logRead(logFds[0]), logWrite(logFds[1]);
  Descriptor statusRead(statusFds[0]), statusWrite(statusFds[1]);
  if (result.Fd < 0 || !piped)
  {
    return fail(std::string("cannot start the reader (") + std::strerror(errno) + ")");
  }
  log.flush();
  // This process's free heap would come along copy-on-write: reused by
  // the read, each of its pages would be copied on its first write (a
  // third of the child's time at a million cells). Given back first.
  malloc_trim(0);
  const pid_t child = ::fork();
  if (child < 0)
  {
    return fail(std::string("cannot start the reader (") + std::strerror(errno) + ")");
  }
  if (child == 0)
  {
    logRead.Close();
    statusRead.Close();
    dataRead.Close();
    stopRead.Close();
    stopWrite.Close();
    replyWrite.Close();
    RunChild(read, limits, logWrite.Fd, statusWrite.Fd, result.Fd, dataWrite.Fd, replyRead.Fd);
  }
  logWrite.Close();
  statusWrite.Close();
  dataWrite.Close();
  replyRead.Close();
  int ended = 0;
  const auto reap = [&]()
  {
    while (::waitpid(child, &ended, 0) < 0 && errno == EINTR)
    {
    }
  };

  using Clock = std::chrono::steady_clock;
  const auto milliseconds = [](double seconds)
  { return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0)); };
  const auto deadline = Clock::now() + milliseconds(limits.Seconds);
  // The child's log as it comes, until its status byte (or its end), or
  // until its time is up, or until it has been silent too long; then its
  // mesh.
  const auto collect = [&]() -> vtkSmartPointer<vtkDataSet>
  {
    ArrayPool pool(static_cast<std::size_t>(std::max(0.0, limits.TakeOverBytes)));
    auto heard = Clock::now();
    char status = 0;
    bool late = false, logOpen = true, stopped = false;
    for (;;)
    {
      const auto until = limits.SilentSeconds > 0.0
        ? std::min(deadline, heard + milliseconds(limits.SilentSeconds))
        : deadline;
      const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      std::array<pollfd, 3> waiting{ { { statusRead.Fd, POLLIN, 0 },
        { logOpen ? logRead.Fd : -1, POLLIN, 0 },
        { stopRead.Fd, POLLIN, 0 } } };
      // While the pool is not all faulted in, a look and some more of it.
      const bool filling = left > 0 && pool.Filling();
      const int ready =
        left > 0 ? ::poll(waiting.data(), waiting.size(), filling ? 0 : static_cast<int>(left)) : 0;
      if (ready < 0 && errno == EINTR)
      {
        continue;
      }
      if (ready == 0 && filling)
      {
        pool.FillSome();
        continue;
      }
      if (ready <= 0)
      {
        late = ready == 0;
        break;
      }
      if (waiting[2].revents != 0)
      {
        stopped = true;
        break;
      }
      if (waiting[1].revents != 0)
      {
        std::array<char, 4096> chunk{};
        const ssize_t got = ::read(logRead.Fd, chunk.data(), chunk.size());
        if (got > 0)
        {
          heard = Clock::now();
          log.write(chunk.data(), got);
          continue; // the log first: it was written before the status
        }
        logOpen = got < 0 && errno == EINTR;
      }
      if (waiting[0].revents != 0)
      {
        const ssize_t got = ::read(statusRead.Fd, &status, 1);
        if (got < 0 && errno == EINTR)
        {
          continue;
        }
        break;
      }
    }
    log.flush();
    if (stopped)
    {
      ::kill(child, SIGKILL);
      reap();
      return fail("the read was abandoned");
    }
    if (late)
    {
      ::kill(child, SIGKILL);
      reap();
      std::ostringstream why;
      why.precision(2);
      if (Clock::now() < deadline)
      {
        why << "VTK's reader made no progress for " << limits.SilentSeconds
            << " s, far longer than a file of this size takes (the file is damaged)";
      }
      else
      {
        why << "VTK's reader was still busy after " << limits.Seconds
            << " s, far longer than a file of this size takes (the file is damaged)";
      }
      return fail(why.str());
    }
    if (status != 'Y')
    {
      reap();
      return fail(Death(ended));
    }
    struct stat info
    {
    };
    vtkSmartPointer<vtkDataSet> mesh;
    std::string childError;
    try
    {
      if (::fstat(result.Fd, &info) == 0)
      {
        const BlockChannel channel{ child, limits.CopyFromChild, dataRead.Fd, replyWrite.Fd };
        Source in(result.Fd, static_cast<std::uint64_t>(info.st_size), channel, pool);
        const std::uint64_t kind = in.U64();
        if (in.Ok && kind == Failed)
        {
          childError = in.Text();
        }
        else if (in.Ok)
        {
          mesh = ReadMesh(in, kind);
        }
      }
    }
    catch (const std::bad_alloc&)
    {
      mesh = nullptr;
    }
    // A child still waiting ends on the closed reply pipe; one still
    // writing values nobody reads, on the closed data pipe.
    replyWrite.Close();
    dataRead.Close();
    reap();
    if (!childError.empty())
    {
      // The loader's messages name the file; a few of the child's own do not.
      error = childError.rfind("cannot ", 0) == 0 ? childError : context + ": " + childError;
      return nullptr;
    }
    if (!mesh)
    {
      return fail("the mesh read could not be taken over from the reader");
    }
    return mesh;
  };
  // The mesh taken over, and what is to be done with it at once.
  const auto collectAndUse = [&]()
  {
    vtkSmartPointer<vtkDataSet> mesh = collect();
    if (mesh && afterRead)
    {
      afterRead(mesh);
    }
    return mesh;
  };
  if (!whileReading)
  {
    return collectAndUse();
  }
  // The child is heard and its mesh taken over on a thread of its own while
  // whileReading runs: the two share the machine's cores with the child.
  vtkSmartPointer<vtkDataSet> mesh;
  std::exception_ptr failure;
  std::thread collector(
    [&]()
    {
      try
      {
        mesh = collectAndUse();
      }
      catch (...)
      {
        failure = std::current_exception();
      }
    });
  try
  {
    whileReading();
  }
  catch (...)
  {
    // The collector stops the child and reaps it (this thread would race
    // it to the child's id).
    bool ok = true;
    const char stop = 'S';
    WriteAll(stopWrite.Fd, &stop, 1, ok);
    collector.join();
    throw;
  }
  collector.join();
  if (failure)
  {
    std::rethrow_exception(failure);
  }
  return mesh;
}

} // namespace orvi
