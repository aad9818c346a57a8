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
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <sstream>
#include <streambuf>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
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
class Sink
{
public:
  explicit Sink(int fd)
    : Fd(fd)
  {
  }
  void Bytes(const void* data, std::size_t n)
  {
    const auto* p = static_cast<const char*>(data);
    while (this->Ok && n > 0)
    {
      const ssize_t written = ::write(this->Fd, p, n);
      if (written < 0 && errno == EINTR)
      {
        continue;
      }
      this->Ok = written > 0;
      p += written > 0 ? written : 0;
      n -= written > 0 ? static_cast<std::size_t>(written) : 0;
    }
  }
  void U64(std::uint64_t v) { this->Bytes(&v, sizeof(v)); }
  void Text(const std::string& s)
  {
    this->U64(s.size());
    this->Bytes(s.data(), s.size());
  }
  bool Ok = true;

private:
  int Fd;
};

// Reads back what a Sink wrote, never past the file's end.
class Source
{
public:
  Source(int fd, std::uint64_t size)
    : Fd(fd)
    , Size(size)
  {
  }
  bool Bytes(void* data, std::uint64_t n)
  {
    if (!this->Ok || n > this->Size - this->Pos)
    {
      return this->Ok = false;
    }
    auto* p = static_cast<char*>(data);
    while (n > 0)
    {
      const ssize_t got = ::pread(this->Fd, p, n, static_cast<off_t>(this->Pos));
      if (got < 0 && errno == EINTR)
      {
        continue;
      }
      if (got <= 0)
      {
        return this->Ok = false;
      }
      p += got;
      n -= static_cast<std::uint64_t>(got);
      this->Pos += static_cast<std::uint64_t>(got);
    }
    return true;
  }
  std::uint64_t U64()
  {
    std::uint64_t v = 0;
    this->Bytes(&v, sizeof(v));
    return this->Ok ? v : 0;
  }
  std::string Text()
  {
    const std::uint64_t n = this->U64();
    std::string s;
    if (n <= this->Size - this->Pos)
    {
      s.resize(n);
      this->Bytes(s.data(), n);
    }
    else
    {
      this->Ok = false;
    }
    return s;
  }
  std::uint64_t Left() const { return this->Size - this->Pos; }
  bool Ok = true;

private:
  int Fd;
  std::uint64_t Size;
  std::uint64_t Pos = 0;
};

//------------------------------------------------------------------------------
// Arrays: type, components, tuples, name, the attribute it is (scalars,
// vectors, ...; -1 for none), then its values as they lie in memory.
void WriteArray(Sink& out, vtkDataArray* array, int attribute)
{
  vtkSmartPointer<vtkDataArray> flat = array;
  if (!array->HasStandardMemoryLayout())
  {
    flat = vtkSmartPointer<vtkDataArray>::Take(vtkDataArray::CreateDataArray(array->GetDataType()));
    flat->DeepCopy(array);
  }
  out.U64(static_cast<std::uint64_t>(flat->GetDataType()));
  out.U64(static_cast<std::uint64_t>(flat->GetNumberOfComponents()));
  out.U64(static_cast<std::uint64_t>(flat->GetNumberOfTuples()));
  out.Text(flat->GetName() ? flat->GetName() : "");
  out.U64(static_cast<std::uint64_t>(static_cast<std::int64_t>(attribute)));
  out.Bytes(flat->GetVoidPointer(0),
    static_cast<std::size_t>(flat->GetNumberOfValues()) *
      static_cast<std::size_t>(flat->GetDataTypeSize()));
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
  if (!in.Ok || !array || array->GetDataType() != type || components < 1 || components > 1u << 20)
  {
    in.Ok = false;
    return nullptr;
  }
  const auto size = static_cast<std::uint64_t>(array->GetDataTypeSize());
  if (tuples > in.Left() / size / components)
  {
    in.Ok = false;
    return nullptr;
  }
  array->SetNumberOfComponents(static_cast<int>(components));
  array->SetNumberOfTuples(static_cast<vtkIdType>(tuples));
  if (!name.empty())
  {
    array->SetName(name.c_str());
  }
  in.Bytes(array->GetVoidPointer(0), tuples * components * size);
  return in.Ok ? array : nullptr;
}

void WriteFields(Sink& out, vtkDataSetAttributes* fields)
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
    WriteArray(out, array, attribute);
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
void WriteCells(Sink& out, vtkCellArray* cells)
{
  out.U64(cells->IsStorage64Bit() ? 64 : 32);
  WriteArray(out, cells->GetOffsetsArray(), -1);
  WriteArray(out, cells->GetConnectivityArray(), -1);
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
void WriteMesh(Sink& out, vtkDataSet* mesh)
{
  if (auto* grid = vtkUnstructuredGrid::SafeDownCast(mesh))
  {
    out.U64(Grid);
    WriteArray(out, grid->GetPoints()->GetData(), -1);
    WriteCells(out, grid->GetCells());
    WriteArray(out, grid->GetCellTypesArray(), -1);
    const bool faces = grid->GetFaces() && grid->GetFaceLocations();
    out.U64(faces ? 1 : 0);
    if (faces)
    {
      WriteArray(out, grid->GetFaceLocations(), -1);
      WriteArray(out, grid->GetFaces(), -1);
    }
  }
  else if (auto* poly = vtkPolyData::SafeDownCast(mesh))
  {
    out.U64(Poly);
    WriteArray(out, poly->GetPoints()->GetData(), -1);
    for (vtkCellArray* cells : { poly->GetVerts(), poly->GetLines(), poly->GetPolys(), poly->GetStrips() })
    {
      WriteCells(out, cells);
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
    out.Text(std::string(writer->GetOutputString(), writer->GetOutputStringLength()));
    return;
  }
  WriteFields(out, mesh->GetPointData());
  WriteFields(out, mesh->GetCellData());
}

// The parent's side; null when the file is not what WriteMesh() wrote.
vtkSmartPointer<vtkDataSet> ReadMesh(Source& in)
{
  const std::uint64_t kind = in.U64();
  if (kind == Legacy)
  {
    vtkNew<vtkDataSetReader> reader;
    reader->ReadFromInputStringOn();
    reader->SetInputString(in.Text());
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
    Sink(this->Fd).Bytes(this->Line.data(), this->Line.size());
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
  int resultFd)
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
  if (limits.MemoryBytes > 0.0)
  {
    rlimit memory{};
    memory.rlim_cur = memory.rlim_max = static_cast<rlim_t>(limits.MemoryBytes);
    ::setrlimit(RLIMIT_AS, &memory);
  }
  PipeBuffer buffer(logFd);
  std::ostream log(&buffer);
  Sink out(resultFd);
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
  out.U64(Tag);
  if (mesh)
  {
    try
    {
      WriteMesh(out, mesh);
    }
    catch (const std::bad_alloc&)
    {
      ::_exit(3);
    }
  }
  else
  {
    out.U64(Failed);
    out.Text(error.empty() ? "the reader failed without a message" : error);
  }
  ::_exit(out.Ok ? 0 : 2);
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
ReadLimits LimitsForFile(double fileBytes)
{
  ReadLimits limits;
  limits.Seconds = 10.0 + fileBytes / 4.0e6;
#if !defined(__SANITIZE_ADDRESS__)
#if defined(__has_feature)
#if !__has_feature(address_sanitizer)
  limits.MemoryBytes =
    0.75 * static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
#endif
#else
  limits.MemoryBytes =
    0.75 * static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
#endif
#endif
  return limits;
}

//------------------------------------------------------------------------------
vtkSmartPointer<vtkDataSet> ReadIsolated(const MeshReadFunction& read,
  const ReadLimits& limits,
  const std::string& context,
  std::ostream& log,
  std::string& error)
{
  const auto fail = [&](const std::string& why)
  {
    error = context + ": " + why;
    return nullptr;
  };
  Descriptor result(::memfd_create("orvi-mesh", MFD_CLOEXEC));
  std::array<int, 2> pipeFds{ -1, -1 };
  if (result.Fd < 0 || ::pipe2(pipeFds.data(), O_CLOEXEC) != 0)
  {
    return fail(std::string("cannot start the reader (") + std::strerror(errno) + ")");
  }
  Descriptor logRead(pipeFds[0]), logWrite(pipeFds[1]);
  log.flush();
  const pid_t child = ::fork();
  if (child < 0)
  {
    return fail(std::string("cannot start the reader (") + std::strerror(errno) + ")");
  }
  if (child == 0)
  {
    logRead.Close();
    RunChild(read, limits, logWrite.Fd, result.Fd);
  }
  logWrite.Close();

  // The child's log until it closes the pipe by ending, or its time is up.
  const auto deadline = std::chrono::steady_clock::now() +
    std::chrono::milliseconds(static_cast<long long>(limits.Seconds * 1000.0));
  std::string pending;
  bool late = false;
  for (;;)
  {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now())
                        .count();
    pollfd waiting{ logRead.Fd, POLLIN, 0 };
    const int ready = left > 0 ? ::poll(&waiting, 1, static_cast<int>(left)) : 0;
    if (ready < 0 && errno == EINTR)
    {
      continue;
    }
    if (ready <= 0)
    {
      late = ready == 0;
      break;
    }
    std::array<char, 4096> chunk{};
    const ssize_t got = ::read(logRead.Fd, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR)
    {
      continue;
    }
    if (got <= 0)
    {
      break;
    }
    log.write(chunk.data(), got);
  }
  if (late)
  {
    ::kill(child, SIGKILL);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR)
  {
  }
  log.flush();
  if (late)
  {
    std::ostringstream why;
    why << "VTK's reader was still busy after " << limits.Seconds
        << " s, far longer than a file of this size takes (the file is damaged)";
    return fail(why.str());
  }
  struct stat info
  {
  };
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || ::fstat(result.Fd, &info) != 0)
  {
    return fail(Death(status));
  }
  Source in(result.Fd, static_cast<std::uint64_t>(info.st_size));
  if (in.U64() != Tag)
  {
    return fail(Death(status));
  }
  // The child's answer: its error, or the mesh.
  vtkSmartPointer<vtkDataSet> mesh;
  try
  {
    Source peek = in;
    if (peek.U64() == Failed)
    {
      error = peek.Text();
      return nullptr;
    }
    mesh = ReadMesh(in);
  }
  catch (const std::bad_alloc&)
  {
    return fail("not enough memory to take over the mesh");
  }
  if (!mesh)
  {
    return fail("the mesh read could not be taken over from the reader");
  }
  return mesh;
}

} // namespace orvi
