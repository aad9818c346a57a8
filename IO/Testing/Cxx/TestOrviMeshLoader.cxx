// orvi-viewer's mesh loader: real gmsh meshes in every format come through
// the child process exactly as VTK's readers read them; damaged files (made
// by hand, cut at a limit from gmsh's meshes, and found by fuzzing) are
// refused, each with its own message, and the viewer prints nothing of VTK's
// own log.
#include "orviBlockMesh.h"
#include "orviGmshMesh.h"
#include "orviIsolatedRead.h"
#include "orviMeshFile.h"
#include "orviMeshLoader.h"
#include "orviMeshParts.h"
#include "orviReadWire.h"

#include "vtkCell.h"
#include "vtkCellData.h"
#include "vtkDataSet.h"
#include "vtkDataSetReader.h"
#include "vtkDataSetWriter.h"
#include "vtkDoubleArray.h"
#include "vtkFloatArray.h"
#include "vtkIntArray.h"
#include "vtkMath.h"
#include "vtkNew.h"
#include "vtkOBJReader.h"
#include "vtkPLYReader.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkSTLReader.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridWriter.h"
#include "vtkXMLPolyDataReader.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

#include <pthread.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Read = vtkSmartPointer<vtkDataSet>;

namespace
{
fs::path TestDir()
{
  const fs::path dir = fs::path(ORVI_TEST_OUTPUT_DIR) /
    ::testing::UnitTest::GetInstance()->current_test_info()->name();
  fs::create_directories(dir);
  return dir;
}

std::string ReadBytes(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// The message for a file opened as a host opens it (its first step read),
// '@' in expected standing for its path and '%' for its folder: a message
// of its own (starting "cannot "), or the reason of "not a valid .EXT mesh
// (WHY". The memory a machine has reads "N GB".
void ExpectRefused(const std::string& path, std::string expected)
{
  if (expected.rfind("cannot ", 0) != 0)
  {
    expected = "cannot read '@': not a valid " + orvi::FileExtension(path) + " mesh (" + expected;
  }
  std::ostringstream log;
  std::string error;
  std::vector<orvi::MeshPart> parts;
  const std::unique_ptr<orvi::MeshFile> file = orvi::OpenMeshFile(path, log, error);
  EXPECT_FALSE(file && file->ReadStep(0, parts, log, error)) << path;
  expected = std::regex_replace(expected, std::regex("@"), path); // no $ in paths here
  expected = std::regex_replace(
    expected, std::regex("%"), fs::path(path).parent_path().lexically_normal().string());
  EXPECT_EQ(
    std::regex_replace(error, std::regex("[0-9.]+ GB of memory"), "N GB of memory"), expected);
}

template <class Reader>
vtkSmartPointer<vtkAlgorithm> NewReader(const std::string& path)
{
  auto reader = vtkSmartPointer<Reader>::New();
  reader->SetFileName(path.c_str());
  return reader;
}

// VTK's reader for a file, as a viewer without checks would use it.
Read ReadWithVtk(const std::string& path)
{
  const std::string ext = fs::path(path).extension().string();
  const vtkSmartPointer<vtkAlgorithm> reader = ext == ".vtu"
    ? NewReader<vtkXMLUnstructuredGridReader>(path)
    : ext == ".vtp" ? NewReader<vtkXMLPolyDataReader>(path)
    : ext == ".vtk" ? NewReader<vtkDataSetReader>(path)
    : ext == ".stl" ? NewReader<vtkSTLReader>(path)
    : ext == ".ply" ? NewReader<vtkPLYReader>(path)
                    : NewReader<vtkOBJReader>(path);
  reader->Update();
  return vtkDataSet::SafeDownCast(reader->GetOutputDataObject(0));
}

// A data set as VTK's legacy writer writes it in binary: its points, cells
// and arrays, every value exactly.
std::string AsWritten(vtkDataSet* data)
{
  vtkNew<vtkDataSetWriter> writer;
  writer->SetInputData(data);
  writer->SetFileTypeToBinary();
  writer->WriteToOutputStringOn();
  writer->Write();
  return writer->GetOutputStdString();
}

// Where the number after the first occurrence of word in text starts.
std::size_t NumberAfter(const std::string& text, const std::string& word)
{
  return text.find_first_of("0123456789", text.find(word) + word.size());
}

// Replaces the number starting at at with value; returns what it was.
long long SetNumber(std::string& text, std::size_t at, long long value)
{
  const std::size_t length = text.find_first_not_of("0123456789", at) - at;
  const long long was = std::stoll(text.substr(at, length));
  text.replace(at, length, std::to_string(value));
  return was;
}

// An input of the fuzzer's that once crashed a reader (Fuzz/regressions),
// as a file: its first byte names the format (.vtk .vtu .vtp .stl .ply .obj
// .msh .pvd .vtm .pvtu .e by its value modulo 11), the rest is the file.
std::string FuzzFinding(const std::string& name)
{
  const char* const extensions[] = {
    ".vtk", ".vtu", ".vtp", ".stl", ".ply", ".obj", ".msh", ".pvd", ".vtm", ".pvtu", ".e"
  };
  const std::string bytes = ReadBytes(std::string(ORVI_FUZZ_REGRESSION_DIR "/") + name) + " ";
  const fs::path path = TestDir() / (name + extensions[static_cast<unsigned char>(bytes[0]) % 11]);
  std::ofstream(path, std::ios::binary) << bytes.substr(1, bytes.size() - 2);
  return path.string();
}

// Where the appended bytes of a .vtu's array start (its block header).
std::size_t AppendedBlock(const std::string& bytes, const std::string& name)
{
  const std::size_t data = bytes.find('_', bytes.find("<AppendedData")) + 1;
  return data + std::stoull(bytes.substr(NumberAfter(bytes, "Name=\"" + name + "\"")));
}

// Overwrites the bytes at at with value's.
template <class T>
void Poke(std::string& bytes, std::size_t at, T value)
{
  bytes.replace(at, sizeof(T), reinterpret_cast<const char*>(&value), sizeof(T));
}

// The message of a .vtu's array damaged in its appended bytes.
std::string ArrayDamage(const std::string& array, const std::string& why)
{
  return "array '" + array + "' of Cells " + why + ")";
}

// A gmsh mesh's file, damaged at one of the limits its format's checks
// hold: the bytes changed and the reason the loader gives.
using Damage = std::function<std::string(std::string& bytes)>;
const std::pair<const char*, Damage> LimitDamages[] = {
  // The cell count shrunk to 1 under all the cells' arrays.
  { "-appended.vtu",
    [](std::string& bytes)
    {
      const long long cells = SetNumber(bytes, NumberAfter(bytes, "NumberOfCells="), 1);
      return ArrayDamage("offsets",
        "holds " + std::to_string(8 * cells) +
          " bytes, not the 1 values (8 bytes) the piece's NumberOfCells calls for (is a count "
          "damaged?)");
    } },
  // The first cell names the point just past the last.
  { "-appended.vtu",
    [](std::string& bytes)
    {
      const long long points = std::stoll(bytes.substr(NumberAfter(bytes, "NumberOfPoints=")));
      Poke<std::int64_t>(bytes, AppendedBlock(bytes, "connectivity") + 4, points);
      const std::string n = std::to_string(points);
      return "cell 0: point id " + n + " is not below the number of points (" + n + "))";
    } },
  // An id beyond 32 bits (which narrowed would be a valid one).
  { "-appended.vtu",
    [](std::string& bytes)
    {
      const long long points = std::stoll(bytes.substr(NumberAfter(bytes, "NumberOfPoints=")));
      Poke<std::int64_t>(bytes, AppendedBlock(bytes, "connectivity") + 12, (1LL << 32) + 1);
      return "cell 0: point id 4294967297 is not below the number of points (" +
        std::to_string(points) + "))";
    } },
  // A byte that is not base64, and a zlib block damaged, in the connectivity.
  { "-base64-zlib.vtu",
    [](std::string& bytes)
    {
      bytes[(AppendedBlock(bytes, "connectivity") + AppendedBlock(bytes, "offsets")) / 2] = '*';
      return ArrayDamage("connectivity", "holds a byte that is not base64");
    } },
  { "-zlib.vtu",
    [](std::string& bytes)
    {
      bytes[(AppendedBlock(bytes, "connectivity") + AppendedBlock(bytes, "offsets")) / 2] ^= 0x55;
      return ArrayDamage("connectivity", "holds a zlib block that does not inflate to its size");
    } },
  // The second cell's offset below the first's, beside 64-bit ids (read
  // narrowed) and beside 32-bit ones.
  { "-appended.vtu",
    [](std::string& bytes)
    {
      Poke<std::int64_t>(bytes, AppendedBlock(bytes, "offsets") + 12, -1);
      return std::string("the offset of cell 1, -1, is less than the one before it)");
    } },
  { "-ids32.vtu",
    [](std::string& bytes)
    {
      Poke<std::int64_t>(bytes, AppendedBlock(bytes, "offsets") + 12, -1);
      return std::string("the offset of cell 1, -1, is less than the one before it)");
    } },
  // The last block's check sum (the last bytes of the appended data) wrong.
  { "-zlib.vtu",
    [](std::string& bytes)
    {
      bytes[bytes.rfind("\n  </AppendedData>") - 1] ^= 0x55;
      return ArrayDamage("types", "holds a zlib block that does not inflate to its size");
    } },
  // A byte that is not base64 among the blocks.
  { "-base64-zlib.vtu",
    [](std::string& bytes)
    {
      bytes[bytes.rfind("\n  </AppendedData>") - 5] = '*';
      return ArrayDamage("types", "holds a byte that is not base64");
    } },
  // Cut inside the last array (its header still whole).
  { "-base64.vtu",
    [](std::string& bytes)
    {
      bytes.resize(AppendedBlock(bytes, "types") + 40);
      return ArrayDamage("types", "runs past the file's end");
    } },
  // The first face names the vertex just past the last.
  { "-ascii.ply",
    [](std::string& bytes)
    {
      const long long vertices = std::stoll(bytes.substr(NumberAfter(bytes, "element vertex ")));
      std::size_t at = bytes.find("end_header\n");
      for (long long v = 0; v <= vertices; ++v)
      {
        at = bytes.find('\n', at) + 1;
      }
      SetNumber(bytes, bytes.find(' ', at) + 1, vertices);
      const std::string n = std::to_string(vertices);
      return "face 0 names vertex " + n + "; there are " + n + ")";
    } },
  // The first cell names the point just past the last.
  { "-ascii.vtk",
    [](std::string& bytes)
    {
      const long long points = std::stoll(bytes.substr(NumberAfter(bytes, "\nPOINTS ")));
      SetNumber(bytes, NumberAfter(bytes, "CONNECTIVITY vtktypeint64\n"), points);
      const std::string n = std::to_string(points);
      return "cell 0: point id " + n + " is not below the number of points (" + n + "))";
    } },
  // The header counts one triangle more than the file holds.
  { "-binary.stl",
    [](std::string& bytes)
    {
      const auto held = static_cast<std::uint32_t>((bytes.size() - 84) / 50);
      const std::uint32_t claimed = held + 1;
      bytes.replace(80, 4, reinterpret_cast<const char*>(&claimed), 4);
      return "its header counts " + std::to_string(claimed) + " triangles but the file holds " +
        std::to_string(held) + ")";
    } },
};
// A read that goes as named: a line of progress every quarter second for
// half a second (goes silent) or two (talks), then it hangs, crashes, runs
// out of memory, fails with its own message or gives a mesh whose values
// lie in pages nobody can read.
orvi::MeshReadFunction Misbehaving(const std::string& how)
{
  return [how](std::ostream& log, std::string& error) -> Read
  {
    for (int k = 0; k < (how == "goes silent" ? 2 : how == "talks" ? 8 : 0); ++k)
    {
      log << "  loading f: " << k << "%\n";
      ::usleep(250000);
    }
    if (how == "crashes")
    {
      std::raise(SIGSEGV);
    }
    if (how == "runs out of memory")
    {
      throw std::bad_alloc();
    }
    if (how == "waits")
    {
      ::usleep(1500000); // as one kept from the cores of a loaded machine
    }
    if (how == "talks" || how == "fails" || how == "waits")
    {
      error = "cannot read 'f': its own reason";
      return nullptr;
    }
    if (how == "goes silent")
    {
      // Spins, as a reader caught in a loop on a damaged file does.
      for (volatile unsigned long spin = 0;; spin = spin + 1)
      {
      }
    }
    if (how == "is unreadable")
    {
      const std::size_t bytes = std::size_t{ 3 } << 20;
      vtkNew<vtkFloatArray> coords;
      coords->SetNumberOfComponents(3);
      coords->SetVoidArray(
        ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0), bytes / 4, 1);
      vtkNew<vtkPolyData> mesh;
      mesh->SetPoints(vtkNew<vtkPoints>());
      mesh->GetPoints()->SetData(coords);
      return mesh;
    }
    for (;;)
    {
      ::pause();
    }
  };
}
} // namespace

//==============================================================================
// gmsh's tutorial t5 meshed now, written by VTK in every format the viewer
// reads: the loader hands back exactly what VTK's reader reads (points,
// cells, point arrays), through the child process. The same files damaged
// just past a limit of their format's checks are refused.
TEST(OrviMeshLoader, GmshMeshesInEveryFormatComeThroughAsVtkReadsThem)
{
  const fs::path dir = TestDir();
  std::string why;
  const std::string mesh = orvi_test::MeshGmshTutorial("t5", dir, why);
  if (mesh.empty())
  {
    GTEST_SKIP() << why;
  }
  const std::string convert = std::string(ORVI_MESH_FORMATS_EXECUTABLE) + " '" + mesh + "' '" +
    (dir / "formats").string() + "'";
  ASSERT_EQ(std::system(convert.c_str()), 0) << convert;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir / "formats"))
  {
    const std::string path = entry.path().string();
    SCOPED_TRACE(path);
    ++files;
    const Read expected = ReadWithVtk(path);
    std::ostringstream log;
    std::string error;
    const Read loaded = orvi::LoadMesh(path, log, error);
    ASSERT_TRUE(loaded) << error;
    ASSERT_TRUE(expected);
    EXPECT_TRUE(AsWritten(loaded) == AsWritten(expected));
    // The appended files' ids, read by the loader itself, are held in 32
    // bits whatever the file's type; VTK's readers keep 64.
    auto* grid = vtkUnstructuredGrid::SafeDownCast(loaded);
    EXPECT_EQ(grid && grid->GetCells()->IsStorage64Bit(),
      grid && !std::regex_search(path, std::regex("(appended|zlib|base64|ids32)\\.vtu$")));
    EXPECT_NE(log.str().find("loaded " + std::to_string(expected->GetNumberOfPoints()) + " points"),
      std::string::npos)
      << log.str();
  }
  EXPECT_EQ(files, 16);
  for (const auto& [suffix, damage] : LimitDamages)
  {
    std::string bytes = ReadBytes((dir / "formats" / ("t5" + std::string(suffix))).string());
    const std::string reason = damage(bytes);
    const std::string damaged = (dir / ("t5-damaged" + std::string(suffix))).string();
    std::ofstream(damaged, std::ios::binary) << bytes;
    ExpectRefused(damaged, reason);
  }
}

//==============================================================================
// The default mesh, whose first cell is a polyhedron, written by VTK in the
// legacy format of versions 4.2 and 5.1, as text and binary: each comes
// through the checks in front of the reader with its polyhedron; the same
// file with the polyhedron's face count raised past its cell (6 faces: 60)
// is refused before the reader sees it (which would spin on it).
TEST(OrviMeshLoader, LegacyPolyhedraPassAndDamagedOnesAreRefused)
{
  const fs::path dir = TestDir();
  vtkNew<vtkUnstructuredGrid> mesh;
  vtkNew<vtkPoints> points;
  mesh->SetPoints(points);
  mesh->AllocateExact(2, 8);
  orvi_test::AddBlock(mesh,
    points,
    2,
    1,
    1,
    [](int i, int, int)
    { return i == 0 ? orvi_test::CubeShape::Polyhedron : orvi_test::CubeShape::Hexahedron; });
  for (const auto& [version, binary] :
    { std::pair{ 42, false }, { 42, true }, { 51, false }, { 51, true } })
  {
    const std::string path =
      (dir / ("poly-" + std::to_string(version) + std::to_string(binary) + ".vtk")).string();
    SCOPED_TRACE(path);
    vtkNew<vtkUnstructuredGridWriter> writer;
    writer->SetInputData(mesh);
    writer->SetFileName(path.c_str());
    writer->SetFileVersion(version);
    writer->SetFileType(binary ? VTK_BINARY : VTK_ASCII);
    ASSERT_EQ(writer->Write(), 1);
    std::ostringstream log;
    std::string error;
    Read loaded = orvi::LoadMesh(path, log, error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_TRUE(AsWritten(loaded) == AsWritten(mesh));

    // The face count, 6 before the first face's 4 points, raised to 60.
    std::string bytes = ReadBytes(path);
    const std::size_t width = version == 51 ? 8 : 4;
    const std::string zeros(width - 1, '\0');
    const std::string six = binary ? zeros + '\x06' + zeros + '\x04' : "6 4 ";
    const std::size_t at = bytes.find(six, bytes.find("\nCELLS "));
    ASSERT_NE(at, std::string::npos);
    binary ? void(bytes[at + width - 1] = 60) : void(bytes.replace(at, 1, "60"));
    const std::string damaged = path.substr(0, path.size() - 4) + "-damaged.vtk";
    std::ofstream(damaged, std::ios::binary) << bytes;
    ExpectRefused(damaged, "cell 0 is a polyhedron, but its 31 values are not a face stream)");
  }
}

//==============================================================================
// Damaged files that crashed, hung or fooled VTK's readers or the surface
// extraction, aborted on an allocation, or drew nothing, and the inputs
// that crashed VTK's PLY reader behind the loader's checks when the fuzz
// target ran it in process: each is refused with its whole message, as
// Data/refusals.txt lists them (every file there has its row), by a check
// in front of the reader or by the child process dying.
TEST(OrviMeshLoader, DamagedFilesAreRefusedWithTheirMessage)
{
  const fs::path data = ORVI_DAMAGED_DATA_DIR;
  std::ifstream table(data / "refusals.txt");
  std::set<std::string> listed = { "README.md", "refusals.txt" };
  for (std::string line; std::getline(table, line);)
  {
    const std::size_t gap = line.find("  ");
    if (line.empty() || line[0] == '#' || gap == std::string::npos)
    {
      continue;
    }
    const std::string name = line.substr(0, gap);
    const bool found = name.rfind("fuzz/", 0) == 0;
    const std::string path = found ? FuzzFinding(name.substr(5)) : (data / name).string();
    listed.insert(found ? "" : name);
    std::string message = line.substr(line.find_first_not_of(' ', gap));
    if (message == "a mesh")
    {
      // VTK's reader reads it out of bounds: a mesh, or under the sanitizer
      // a child killed.
#if !defined(__SANITIZE_ADDRESS__)
      std::ostringstream log;
      std::string error;
      EXPECT_TRUE(orvi::LoadMesh(path, log, error)) << error;
      continue;
#endif
      message = "cannot read '@': VTK's reader died on its contents with a segmentation fault "
                "(the file is damaged)";
    }
#if defined(__SANITIZE_ADDRESS__)
    // gmsh allocates with operator new, which the sanitizer ends the child
    // on where it cannot allocate (instead of throwing): a child that failed.
    if (fs::path(name).extension() == ".msh" &&
      message.find("not enough memory") != std::string::npos)
    {
      message = "cannot read '@': VTK's reader failed on its contents (exit status 1; the file is "
                "damaged)";
    }
#endif
    ExpectRefused(path, message);
  }
  EXPECT_EQ(listed.size(), 79u);
  for (const auto& entry : fs::directory_iterator(data))
  {
    EXPECT_EQ(listed.count(entry.path().filename().string()), 1u) << entry.path();
  }
}

//==============================================================================
// The child process on what no file check can foresee: a read that never
// ends, one that goes silent (spinning: stopped by its silence long before
// its time), one that keeps talking past that silence, one that waits as
// long without working (not silent: its processor time is what counts),
// one that crashes, one that asks for more memory than there is, a mesh
// whose values cannot come over (their pages unreadable: neither copied out
// of the child's memory nor sent through the pipe in full). Each is one
// message; this process goes on.
TEST(OrviMeshLoader, ChildFailuresBecomeOneMessage)
{
  const std::string busy = "f: VTK's reader was still busy after 1 s, far longer than a file of "
                           "this size takes (the file is damaged)";
  const std::string silent = "f: VTK's reader made no progress for 1 s, far longer than a file "
                             "of this size takes (the file is damaged)";
  const std::string lost = "f: the mesh read could not be taken over from the reader";
  // How the read goes, its time and silence, whether its values are copied
  // out of its memory, the message.
  const std::tuple<std::string, double, double, bool, std::string> reads[] = {
    { "hangs", 1.0, 0.0, true, busy },
    { "goes silent", 30.0, 1.0, true, silent },
    { "talks", 30.0, 1.0, true, "cannot read 'f': its own reason" },
    { "waits", 30.0, 1.0, true, "cannot read 'f': its own reason" },
    { "crashes",
      1.0,
      0.0,
      true,
      "f: VTK's reader died on its contents with a segmentation fault (the file is damaged)" },
    { "runs out of memory",
      1.0,
      0.0,
      true,
      "f: not enough memory for what the file claims to hold (is it damaged?)" },
    { "fails", 1.0, 0.0, true, "cannot read 'f': its own reason" },
    { "is unreadable", 10.0, 0.0, true, lost },
    { "is unreadable", 10.0, 0.0, false, lost },
  };
  for (const auto& [how, seconds, silence, fromChild, message] : reads)
  {
    SCOPED_TRACE(how);
    orvi::ReadLimits limits;
    limits.Seconds = seconds;
    limits.SilentSeconds = silence;
    limits.CopyFromChild = fromChild;
    std::ostringstream log;
    std::string error;
    EXPECT_FALSE(orvi::ReadIsolated(Misbehaving(how), limits, "f", log, error));
    EXPECT_EQ(error, message);
  }
}

//==============================================================================
// A child that died before reading what the host writes to it leaves a
// broken pipe: the write fails, the host gets no SIGPIPE (whose default
// ends it) and keeps a SIGPIPE of its own that was already pending.
TEST(OrviMeshLoader, WritesToADeadChildFailWithoutSigPipe)
{
  for (const bool pendingBefore : { false, true })
  {
    sigset_t pipeSet, old, pending;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(pendingBefore ? SIG_BLOCK : SIG_UNBLOCK, &pipeSet, &old);
    if (pendingBefore)
    {
      ::raise(SIGPIPE);
    }
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    bool ok = true;
    orvi::isolated::WriteAll(fds[1], "S", 1, ok);
    ::close(fds[1]);
    EXPECT_FALSE(ok);
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE) == 1, pendingBefore);
    if (pendingBefore)
    {
      const timespec now{ 0, 0 };
      sigtimedwait(&pipeSet, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
  }
}

//==============================================================================
// Arrays of megabytes come over from the child value for value, whether
// they land in the memory made ready for them while the child reads (all,
// the first only, none) or in memory of their own, and whether they are
// copied out of the child's memory or come through a pipe.
TEST(OrviMeshLoader, LargeArraysComeOverIntactWhereverTheyLand)
{
  constexpr vtkIdType n = 300000; // points 3.6 MB, "ramp" 2.4 MB
  const auto ramp = []()
  {
    vtkNew<vtkPoints> points;
    points->SetNumberOfPoints(n);
    vtkNew<vtkDoubleArray> values;
    values->SetName("ramp");
    values->SetNumberOfValues(n);
    for (vtkIdType i = 0; i < n; ++i)
    {
      points->SetPoint(i, i, -0.5 * i, 1.0 / (i + 1));
      values->SetValue(i, 3.0 * i + 0.25);
    }
    auto mesh = vtkSmartPointer<vtkPolyData>::New();
    mesh->SetPoints(points);
    mesh->GetPointData()->AddArray(values);
    return mesh;
  };
  const orvi::MeshReadFunction read = [&](std::ostream&, std::string&) -> Read
  {
    ::usleep(100000); // time to make the memory ready
    return ramp();
  };
  const std::string expected = AsWritten(ramp());
  const std::pair<double, bool> rows[] = {
    { 64.0e6, true }, { 6.0e6, true }, { 0.0, true }, { 64.0e6, false }, { 0.0, false }
  };
  for (const auto& [ready, fromChild] : rows)
  {
    SCOPED_TRACE(std::to_string(ready) + (fromChild ? " from the child's memory" : " piped"));
    orvi::ReadLimits limits;
    limits.TakeOverBytes = ready;
    limits.CopyFromChild = fromChild;
    std::ostringstream log;
    std::string error;
    Read mesh = orvi::ReadIsolated(read, limits, "f", log, error);
    ASSERT_TRUE(mesh) << error;
    EXPECT_TRUE(AsWritten(mesh) == expected); // not printed: megabytes
  }
}

//==============================================================================
// What a host does while the child reads (the viewer makes its window) runs
// at the same time as the read: here the read waits for what it does. What
// it does with the mesh (the viewer extracts its surface) runs as soon as
// the mesh is here, while the first work still runs: here that work waits
// for it. An exception from either comes out with no child left behind;
// for a file refused before its read neither runs.
TEST(OrviMeshLoader, WorkRunsWhileTheChildReads)
{
  orvi::ReadLimits limits;
  limits.Seconds = 10.0;
  const fs::path flag = TestDir() / ("while-reading-" + std::to_string(::getpid()));
  fs::remove(flag);
  const auto setFlag = [&]() { std::ofstream(flag) << "set\n"; };
  const orvi::MeshReadFunction waitForFlag = [&](std::ostream& log, std::string&) -> Read
  {
    while (!fs::exists(flag))
    {
      ::usleep(1000);
    }
    log << "the flag is there\n";
    vtkNew<vtkPolyData> mesh;
    mesh->SetPoints(vtkNew<vtkPoints>());
    mesh->GetPoints()->InsertNextPoint(1.0, 2.0, 3.0);
    return mesh;
  };
  // The read waits for the flag this process sets; then this process waits
  // for the mesh to be used, which happens meanwhile.
  int calls = 0;
  std::atomic<vtkIdType> usedPoints{ 0 };
  bool usedWhileReading = false;
  const auto whileReading = [&]()
  {
    ++calls;
    setFlag();
    for (int k = 0; k < 10000 && usedPoints == 0; ++k)
    {
      ::usleep(1000);
    }
    usedWhileReading = usedPoints == 1;
  };
  const auto use = [&](vtkDataSet* read) { usedPoints = read->GetNumberOfPoints(); };
  std::ostringstream log;
  std::string error;
  const Read mesh = orvi::ReadIsolated(waitForFlag, limits, "f", log, error, whileReading, use);
  ASSERT_TRUE(mesh) << error;
  EXPECT_EQ(mesh->GetNumberOfPoints(), 1);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(usedWhileReading);
  EXPECT_EQ(log.str(), "the flag is there\n");
  fs::remove(flag);

  const std::pair<std::function<void()>, std::function<void(vtkDataSet*)>> failures[] = {
    { []() { throw std::runtime_error("late"); }, nullptr },
    { setFlag, [](vtkDataSet*) { throw std::runtime_error("after"); } },
  };
  for (const auto& [during, after] : failures)
  {
    EXPECT_THROW(
      orvi::ReadIsolated(waitForFlag, limits, "f", log, error, during, after), std::runtime_error);
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1); // no child left
  }
  fs::remove(flag);

  const auto count = [&](vtkDataSet*) { ++calls; };
  EXPECT_FALSE(orvi::LoadMesh(
    (TestDir() / "no-such-mesh.vtu").string(), log, error, [&]() { ++calls; }, count));
  EXPECT_EQ(calls, 1);
}

//==============================================================================
// A grid whose cells a reader marked with parts comes over from the child
// with its names and splits into them: four cubes in parts 1 0 1 1 of "a"
// "b" "c" give "a" (cell 1, 8 points) and "b" (cells 0, 2 and 3, all 20
// points, with their point values; each cell's x range and point count
// kept); "c" has none. The last cube is a hexahedron or a polyhedron (whose
// faces the split copies too). An index past the names is refused. The
// split is run copying every part, and as the hosts run it, the part of
// most cells taking over the mesh's arrays.
class MarkedParts : public testing::TestWithParam<int>
{
};

TEST_P(MarkedParts, ComeOverAndSplit)
{
  const int last = GetParam();
  vtkNew<vtkUnstructuredGrid> grid;
  vtkNew<vtkPoints> points;
  grid->SetPoints(points);
  orvi_test::AddBlock(grid,
    points,
    4,
    1,
    1,
    [last](int i, int, int)
    {
      return i == 3 && last == VTK_POLYHEDRON ? orvi_test::CubeShape::Polyhedron
                                              : orvi_test::CubeShape::Hexahedron;
    });
  vtkNew<vtkDoubleArray> x;
  x->SetName("x");
  for (vtkIdType p = 0; p < points->GetNumberOfPoints(); ++p)
  {
    x->InsertNextValue(points->GetPoint(p)[0]);
  }
  grid->GetPointData()->AddArray(x);
  vtkNew<vtkIntArray> part;
  part->SetName(orvi::PartIdArrayName());
  for (const int id : { 1, 0, 1, 1 })
  {
    part->InsertNextValue(id);
  }
  grid->GetCellData()->AddArray(part);
  orvi::SetPartNames(grid, { "a", "b", "c" });
  std::ostringstream log;
  std::string error;
  std::vector<orvi::MeshPart> parts;
  // A grid of polyhedra is copied all the same.
  for (const bool takeOver : { false, true })
  {
    const Read mesh = orvi::ReadIsolated([&](std::ostream&, std::string&) -> Read { return grid; },
      orvi::ReadLimits(),
      "f",
      log,
      error);
    ASSERT_TRUE(mesh) << error;
    ASSERT_TRUE(orvi::SplitMeshParts(mesh, "f", parts, error, takeOver)) << error;
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(mesh->GetNumberOfCells(), takeOver && last != VTK_POLYHEDRON ? 0 : 4);
    std::vector<std::tuple<std::string, vtkIdType, vtkIdType, std::string>> got;
    for (const orvi::MeshPart& p : parts)
    {
      auto* values = vtkDoubleArray::SafeDownCast(p.Mesh->GetPointData()->GetArray("x"));
      got.emplace_back(p.Name,
        p.Mesh->GetNumberOfCells(),
        p.Mesh->GetNumberOfPoints(),
        std::to_string(values->GetRange()[0]) + " " + std::to_string(values->GetRange()[1]) + " " +
          std::to_string(p.Mesh->GetCellData()->GetNumberOfArrays()) +
          std::to_string(p.Mesh->GetCellType(p.Mesh->GetNumberOfCells() - 1)) + " x from");
      for (vtkIdType c = 0; c < p.Mesh->GetNumberOfCells(); ++c)
      {
        vtkCell* cell = p.Mesh->GetCell(c);
        const double* box = cell->GetBounds();
        std::get<3>(got.back()) += " " + std::to_string(std::lround(box[0])) + "-" +
          std::to_string(std::lround(box[1])) + ":" + std::to_string(cell->GetNumberOfPoints());
      }
    }
    const decltype(got) expected = {
      { "a", 1, 8, "1.000000 2.000000 0" + std::to_string(VTK_HEXAHEDRON) + " x from 1-2:8" },
      { "b", 3, 20, "0.000000 4.000000 0" + std::to_string(last) + " x from 0-1:8 2-3:8 3-4:8" }
    };
    EXPECT_EQ(got, expected);
  }
  part->SetValue(2, 3);
  EXPECT_FALSE(orvi::SplitMeshParts(grid, "f", parts, error));
  EXPECT_EQ(error, "cannot read 'f': cell part 3 names no part (3 named)");
}
INSTANTIATE_TEST_SUITE_P(OrviMeshLoader,
  MarkedParts,
  testing::Values(VTK_HEXAHEDRON, VTK_POLYHEDRON));

//==============================================================================
// gmsh's second-order elements come in VTK's node order (gmsh numbers them
// by other edges and faces): in each cell, by VTK's own edges and faces of
// it, every edge's middle node lies near that edge's middle and every
// 9-node face's centre node near that face's centre. The meshes: t2
// recombined with incomplete elements (10-node tetrahedra, 13-node
// pyramids, 8-node quadrangles), t5's hexahedra (27 nodes) and t3 complete
// and incomplete (18- and 15-node prisms, 6-node triangles).
TEST(OrviMeshLoader, GmshSecondOrderElementsComeInVtksNodeOrder)
{
  const std::string incomplete = " -order 2 -setnumber Mesh.SecondOrderIncomplete 1";
  const std::pair<const char*, std::string> meshes[] = {
    { "t2", "-3 -setnumber Mesh.RecombineAll 1" + incomplete },
    { "t5", "-3 -clscale 2 -setnumber Mesh.SubdivisionAlgorithm 2 -order 2" },
    { "t3", "-3 -order 2" },
    { "t3", "-3" + incomplete },
  };
  std::set<int> types;
  int faults = 0;
  // Whether point node of points lies near the centre of the points around.
  const auto near = [&faults](vtkPoints* points, int node, const std::vector<int>& around)
  {
    double centre[3] = { 0, 0, 0 }, p[3], q[3];
    for (const int i : around)
    {
      points->GetPoint(i, p);
      std::transform(p,
        p + 3,
        centre,
        centre,
        [&](double x, double sum) { return sum + x / static_cast<double>(around.size()); });
    }
    points->GetPoint(node, p);
    const double distance2 = vtkMath::Distance2BetweenPoints(p, centre);
    points->GetPoint(around[0], p);
    points->GetPoint(around[around.size() / 2], q);
    faults += distance2 > 0.04 * vtkMath::Distance2BetweenPoints(p, q);
  };
  for (const auto& [tutorial, options] : meshes)
  {
    std::string why;
    const std::string path = orvi_test::MeshGmshTutorial(
      tutorial, TestDir(), why, options, tutorial + std::to_string(types.size()), "msh41 -bin");
    if (path.empty())
    {
      GTEST_SKIP() << why;
    }
    std::ostringstream log;
    const Read mesh = orvi::LoadMesh(path, log, why);
    ASSERT_TRUE(mesh) << why;
    for (vtkIdType id = 0; id < mesh->GetNumberOfCells(); ++id)
    {
      vtkCell* cell = mesh->GetCell(id);
      types.insert(cell->GetCellType());
      for (int e = 0; e < cell->GetNumberOfEdges(); ++e)
      {
        near(cell->GetEdge(e)->GetPoints(), 2, { 0, 1 });
      }
      for (int f = 0; f < cell->GetNumberOfFaces(); ++f)
      {
        vtkPoints* face = cell->GetFace(f)->GetPoints();
        if (face->GetNumberOfPoints() == 9)
        {
          near(face, 8, { 0, 1, 2, 3 });
        }
      }
    }
  }
  EXPECT_EQ(faults, 0);
  EXPECT_EQ(types,
    (std::set<int>{ VTK_QUADRATIC_EDGE,
      VTK_QUADRATIC_TRIANGLE,
      VTK_QUADRATIC_QUAD,
      VTK_QUADRATIC_TETRA,
      VTK_QUADRATIC_PYRAMID,
      VTK_TRIQUADRATIC_HEXAHEDRON,
      VTK_QUADRATIC_WEDGE,
      VTK_BIQUADRATIC_QUADRATIC_WEDGE }));
}

//==============================================================================
// gmsh's binary .msh 4.1, which the loader reads itself, damaged in each
// section: t1's file (a curve group, and a surface group named) cut, its
// counts raised, its tags out of range or of blocks of no entity. Each is
// one line; an element type the own read does not know goes to gmsh's
// library. The same file with its first two element blocks swapped reads
// as it was (the blocks taken in gmsh's order of entities).
TEST(OrviMeshLoader, OwnBinaryGmshRead)
{
  std::string why;
  const std::string path =
    orvi_test::MeshGmshTutorial("t1", TestDir(), why, "-2", "t1b", "msh41 -bin");
  if (path.empty())
  {
    GTEST_SKIP() << why;
  }
  const std::string file = ReadBytes(path);
  // Where each section's data starts; the first block's header follows the
  // four counts of $Nodes (N) and $Elements (E).
  const auto at = [&file](const char* section)
  { return file.find(std::string(section) + "\n") + std::strlen(section) + 1; };
  const std::size_t N = at("$Nodes"), E = at("$Elements");
  // The file's 64-bit value at where, plus by.
  const auto plus = [&file](std::size_t where, std::uint64_t by)
  {
    std::uint64_t value = 0;
    std::memcpy(&value, file.data() + where, sizeof(value));
    return value + by;
  };
  const auto get = [&plus](std::size_t where) { return std::to_string(plus(where, 0)); };
  // The count of the surface's triangles (dimension 2, tag 1, type 2), the
  // last block.
  const std::size_t last = file.find(std::string("\2\0\0\0\1\0\0\0\2\0\0\0", 12), E) + 12;
  const std::vector<std::pair<std::function<void(std::string&)>, std::string>> damages = {
    { [&](std::string& b) { b.resize(file.find('"', at("$PhysicalNames")) + 3); },
      "physical name 1 of 1 is cut short or has no quoted name)" },
    { [&](std::string& b) { b.resize(at("$Entities") + 40); }, "$Entities is cut short)" },
    { [&](std::string& b) { b.resize(N + 60); },
      "a block of $Nodes runs past the file's end (" + get(N + 44) + " nodes))" },
    { [&](std::string& b) { b.resize(E + 40); }, "$Elements is cut short in a block's header)" },
    { [&](std::string& b) { Poke(b, N + 8, plus(N + 8, 1)); },
      "$Nodes counts " + std::to_string(plus(N + 8, 1)) + " nodes, but its blocks hold " +
        get(N + 8) + ")" },
    { [&](std::string& b) { Poke(b, E + 8, plus(E + 8, 1)); },
      "$Elements counts " + std::to_string(plus(E + 8, 1)) + " elements, but its blocks hold " +
        get(E + 8) + ")" },
    { [&](std::string& b) { Poke(b, last, plus(last, 1)); },
      "a block of $Elements runs past the file's end (" + std::to_string(plus(last, 1)) +
        " elements))" },
    { [&](std::string& b) { Poke(b, N + 52, plus(N + 24, 1)); },
      "node tag " + std::to_string(plus(N + 24, 1)) + " is past the largest $Nodes gives, " +
        get(N + 24) + ")" },
    { [&](std::string& b) { Poke(b, E + 52, plus(E + 24, 1)); },
      "element tag " + std::to_string(plus(E + 24, 1)) + " is past the largest $Elements gives, " +
        get(E + 24) + ")" },
    { [&](std::string& b) { Poke(b, E + 60, plus(N + 24, 1)); },
      "element " + get(E + 52) + " names node " + std::to_string(plus(N + 24, 1)) +
        ", past the largest node tag, " + get(N + 24) + ")" },
    { [&](std::string& b) { Poke(b, N + 24, plus(N + 24, 9)), Poke(b, E + 60, plus(N + 24, 5)); },
      "element " + get(E + 52) + " names node " + std::to_string(plus(N + 24, 5)) +
        ", which the file does not have)" },
    { [&](std::string& b) { Poke(b, N + 36, 77); },
      "a block of $Nodes belongs to point 77, which $Entities does not list)" },
    { [&](std::string& b) { Poke(b, E + 36, 77); },
      "a block of $Elements belongs to curve 77, which $Entities does not list)" },
    { [&](std::string& b) { Poke(b, E + 40, 9999); }, "Unknown type of element 9999)" },
  };
  for (const auto& [damage, reason] : damages)
  {
    std::string bytes = file;
    damage(bytes);
    const std::string damaged = (TestDir() / "t1-damaged.msh").string();
    std::ofstream(damaged, std::ios::binary) << bytes;
    ExpectRefused(damaged, reason);
  }
  // Two blocks of lines, each a header of 20 bytes and 24 bytes a line.
  const auto size = [&](std::size_t header) { return 20 + 24 * plus(header + 12, 0); };
  const std::size_t second = E + 32 + size(E + 32);
  std::string swapped = file;
  swapped.replace(E + 32,
    size(E + 32) + size(second),
    file.substr(second, size(second)) + file.substr(E + 32, size(E + 32)));
  const std::string reordered = (TestDir() / "t1-reordered.msh").string();
  std::ofstream(reordered, std::ios::binary) << swapped;
  std::ostringstream log;
  const Read expected = orvi::LoadMesh(path, log, why), read = orvi::LoadMesh(reordered, log, why);
  ASSERT_TRUE(expected && read) << why;
  EXPECT_EQ(AsWritten(read), AsWritten(expected));
}

//==============================================================================
// The views saved with a mesh, in gmsh's tutorial file view5.msh: the first
// step of its node data, and of its element data (given for one element of
// two), as a point and a cell array named after them.
TEST(OrviMeshLoader, GmshViewsBecomeArrays)
{
  std::string file;
  for (const std::string& place : orvi_test::GmshTutorialPlaces())
  {
    file = fs::exists(place + "/view5.msh") && file.empty() ? place + "/view5.msh" : file;
  }
  if (file.empty())
  {
    GTEST_SKIP() << "gmsh's tutorial file view5.msh is not installed (package gmsh-doc)";
  }
  std::ostringstream log;
  std::string error;
  const Read mesh = orvi::LoadMesh(file, log, error);
  ASSERT_TRUE(mesh) << error;
  vtkDataArray* nodal = mesh->GetPointData()->GetArray("Nodal scalar map");
  vtkDataArray* vector = mesh->GetCellData()->GetArray("Element 1 vector");
  ASSERT_TRUE(nodal && vector);
  std::vector<double> values;
  for (vtkIdType i = 0; i < nodal->GetNumberOfTuples(); ++i)
  {
    values.push_back(nodal->GetTuple1(i));
  }
  const double* second = vector->GetTuple3(1);
  values.insert(values.end(),
    { std::isnan(second[0]) ? -1.0 : second[0], std::isnan(second[2]) ? -1.0 : second[2] });
  const double* first = vector->GetTuple3(0);
  values.insert(values.end(), first, first + 3);
  EXPECT_EQ(values, (std::vector<double>{ 0, 0, 0.1, 0.1, 0.5, 0.5, -1, -1, 0.4, 0.4, 0 }));
}

// gmsh's boundary elements go to the part of the element they lie on: t1's
// curve group 5 (three sides of its square) lies on "My surface", which
// holds those lines too; the group is no part of its own.
TEST(OrviMeshLoader, GmshBoundaryElementsJoinThePartTheyLieOn)
{
  std::string why;
  const std::string path = orvi_test::MeshGmshTutorial("t1", TestDir(), why, "-2", "t1j", "msh41");
  if (path.empty())
  {
    GTEST_SKIP() << why;
  }
  std::ostringstream log;
  const Read mesh = orvi::LoadMesh(path, log, why);
  ASSERT_TRUE(mesh) << why;
  std::vector<orvi::MeshPart> parts;
  ASSERT_TRUE(orvi::SplitMeshParts(mesh, path, parts, why)) << why;
  ASSERT_EQ(parts.size(), 1u);
  const auto lines = [](vtkDataSet* m)
  {
    int n = 0;
    for (vtkIdType id = 0; id < m->GetNumberOfCells(); ++id)
    {
      n += m->GetCellType(id) == VTK_LINE;
    }
    return n;
  };
  EXPECT_EQ(parts[0].Name, "My surface");
  EXPECT_GT(lines(mesh), 0);
  EXPECT_EQ(lines(parts[0].Mesh), lines(mesh));
}
