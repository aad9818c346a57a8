// orvi-viewer's mesh loader: real gmsh meshes in every format come through
// the child process exactly as VTK's readers read them; damaged files (made
// by hand and found by fuzzing) are refused, each with its own message, and
// the viewer prints nothing of VTK's own log.
#include "orviBlockMesh.h"
#include "orviGmshMesh.h"
#include "orviIsolatedRead.h"
#include "orviMeshLoader.h"

#include "vtkCellArray.h"
#include "vtkCellType.h"
#include "vtkDataArray.h"
#include "vtkDataSet.h"
#include "vtkDataSetReader.h"
#include "vtkDoubleArray.h"
#include "vtkIdList.h"
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
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
fs::path TestDir()
{
  const fs::path dir = fs::path(ORVI_TEST_OUTPUT_DIR) /
    ::testing::UnitTest::GetInstance()->current_test_info()->name();
  fs::create_directories(dir);
  return dir;
}

// The loader's message for a reader that faulted in the child. Under
// AddressSanitizer the sanitizer catches the fault first and ends the child
// with status 1, which the loader reports in its words for a failed child.
std::string AsReported(std::string expected)
{
#if defined(__SANITIZE_ADDRESS__)
  const std::string died = "died on its contents with a segmentation fault (the file";
  const auto at = expected.find(died);
  if (at != std::string::npos)
  {
    expected.replace(at, died.size(), "failed on its contents (exit status 1; the file");
  }
#endif
  return expected;
}

// The loader's message for a file, '@' in expected standing for its path: a
// message of its own (starting "cannot "), or the reason of "not a valid
// .EXT mesh (WHY". The memory a machine has reads "N GB".
void ExpectRefused(const std::string& path, std::string expected)
{
  if (expected.rfind("cannot ", 0) != 0)
  {
    expected = "cannot read '@': not a valid " + orvi::FileExtension(path) + " mesh (" + expected;
  }
  expected = AsReported(expected);
  std::ostringstream log;
  std::string error;
  EXPECT_FALSE(orvi::LoadMesh(path, log, error)) << path;
  for (auto at = expected.find('@'); at != std::string::npos; at = expected.find('@'))
  {
    expected.replace(at, 1, path);
  }
  EXPECT_EQ(
    std::regex_replace(error, std::regex("[0-9.]+ GB of memory"), "N GB of memory"), expected);
}

// VTK's reader for a file, as a viewer without checks would use it.
vtkSmartPointer<vtkDataSet> ReadWithVtk(const std::string& path)
{
  const std::string ext = fs::path(path).extension().string();
  vtkSmartPointer<vtkAlgorithm> reader;
  const auto make = [&](auto r)
  {
    r->SetFileName(path.c_str());
    reader = r;
  };
  if (ext == ".vtu")
    make(vtkSmartPointer<vtkXMLUnstructuredGridReader>::New());
  else if (ext == ".vtp")
    make(vtkSmartPointer<vtkXMLPolyDataReader>::New());
  else if (ext == ".vtk")
    make(vtkSmartPointer<vtkDataSetReader>::New());
  else if (ext == ".stl")
    make(vtkSmartPointer<vtkSTLReader>::New());
  else if (ext == ".ply")
    make(vtkSmartPointer<vtkPLYReader>::New());
  else
    make(vtkSmartPointer<vtkOBJReader>::New());
  reader->Update();
  return vtkDataSet::SafeDownCast(reader->GetOutputDataObject(0));
}

// Every value of two arrays, as doubles.
bool SameValues(vtkDataArray* a, vtkDataArray* b)
{
  if (!a || !b || a->GetNumberOfValues() != b->GetNumberOfValues() ||
    a->GetNumberOfComponents() != b->GetNumberOfComponents())
  {
    return false;
  }
  for (vtkIdType i = 0; i < a->GetNumberOfValues(); ++i)
  {
    if (a->GetVariantValue(i) != b->GetVariantValue(i))
    {
      return false;
    }
  }
  return true;
}

// The cells of a data set as one list: type, size, ids.
std::vector<vtkIdType> CellList(vtkDataSet* data)
{
  std::vector<vtkIdType> list;
  vtkNew<vtkIdList> ids;
  for (vtkIdType c = 0; c < data->GetNumberOfCells(); ++c)
  {
    data->GetCellPoints(c, ids);
    list.push_back(data->GetCellType(c));
    list.push_back(ids->GetNumberOfIds());
    for (vtkIdType k = 0; k < ids->GetNumberOfIds(); ++k)
    {
      list.push_back(ids->GetId(k));
    }
  }
  return list;
}
} // namespace

//==============================================================================
// gmsh's tutorial t5 meshed now, written by VTK in every format the viewer
// reads: the loader hands back exactly what VTK's reader reads (points,
// cells, point arrays), through the child process.
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
    vtkSmartPointer<vtkDataSet> expected = ReadWithVtk(path);
    std::ostringstream log;
    std::string error;
    vtkSmartPointer<vtkDataSet> loaded = orvi::LoadMesh(path, log, error);
    ASSERT_TRUE(loaded) << error;
    ASSERT_TRUE(expected);
    EXPECT_EQ(loaded->GetClassName(), std::string(expected->GetClassName()));
    EXPECT_EQ(loaded->GetNumberOfPoints(), expected->GetNumberOfPoints());
    EXPECT_EQ(CellList(loaded), CellList(expected));
    double p[3], q[3];
    bool samePoints = true;
    for (vtkIdType i = 0; i < loaded->GetNumberOfPoints(); ++i)
    {
      loaded->GetPoint(i, p);
      expected->GetPoint(i, q);
      samePoints = samePoints && p[0] == q[0] && p[1] == q[1] && p[2] == q[2];
    }
    EXPECT_TRUE(samePoints);
    if (vtkDataArray* distance = expected->GetPointData()->GetArray("distance"))
    {
      EXPECT_TRUE(SameValues(loaded->GetPointData()->GetArray("distance"), distance));
    }
    EXPECT_NE(log.str().find("loaded " + std::to_string(expected->GetNumberOfPoints()) + " points"),
      std::string::npos)
      << log.str();
  }
  EXPECT_EQ(files, 12);
}

//==============================================================================
// The default mesh, whose first cell is a polyhedron, written by VTK in the
// legacy format of versions 4.2 and 5.1, as text and binary: each comes
// through the checks in front of the reader with its polyhedron; the same
// file with the polyhedron's face count raised past its cell is refused
// before the reader sees it (which would spin on it).
TEST(OrviMeshLoader, LegacyPolyhedraPassAndDamagedOnesAreRefused)
{
  const fs::path dir = TestDir();
  std::string error;
  // Two cubes: a polyhedron (the first cell) and a hexahedron.
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
      (dir / ("poly-" + std::to_string(version) + (binary ? "-binary" : "-ascii") + ".vtk"))
        .string();
    SCOPED_TRACE(path);
    vtkNew<vtkUnstructuredGridWriter> writer;
    writer->SetInputData(mesh);
    writer->SetFileName(path.c_str());
    writer->SetFileVersion(version);
    binary ? writer->SetFileTypeToBinary() : writer->SetFileTypeToASCII();
    ASSERT_EQ(writer->Write(), 1);
    std::ostringstream log;
    vtkSmartPointer<vtkDataSet> loaded = orvi::LoadMesh(path, log, error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(loaded->GetNumberOfCells(), mesh->GetNumberOfCells());
    EXPECT_EQ(loaded->GetCellType(0), VTK_POLYHEDRON);

    // The polyhedron's stream starts with its 6 faces: 60 instead.
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto cells = bytes.find("\nCELLS ");
    ASSERT_NE(cells, std::string::npos);
    if (binary)
    {
      // The first value of the connectivity (5.1) or after the first count
      // (4.2), big-endian.
      const std::size_t idBytes = version == 51 ? 8 : 4;
      std::size_t at = bytes.find('\n', cells + 1) + 1;
      if (version == 51)
      {
        at = bytes.find("CONNECTIVITY", at);
        at = bytes.find('\n', at) + 1;
      }
      else
      {
        at += idBytes;
      }
      ASSERT_EQ(static_cast<unsigned char>(bytes[at + idBytes - 1]), 6u);
      bytes[at + idBytes - 1] = 60;
    }
    else
    {
      const auto at = version == 51 ? bytes.find("\n6 4 ", bytes.find("CONNECTIVITY", cells))
                                    : bytes.find("\n31 6 4 ", cells) + 3;
      ASSERT_NE(at, std::string::npos);
      bytes.replace(at + 1, 1, "60");
    }
    const std::string damaged = path.substr(0, path.size() - 4) + "-damaged.vtk";
    std::ofstream(damaged, std::ios::binary) << bytes;
    ExpectRefused(damaged, "cell 0 is a polyhedron, but its 31 values are not a face stream)");
  }
}

//==============================================================================
// Damaged files that crashed, hung or fooled VTK's readers or the surface
// extraction, aborted on an allocation, or drew nothing: each is refused with
// its whole message (a reason alone stands for "not a valid .EXT mesh (").
TEST(OrviMeshLoader, DamagedFilesAreRefusedWithTheirMessage)
{
  const std::string ids = "point id ", below = " is not below the number of points (";
  const std::string ends = "the data ends early, in ", xml = "it is not an XML file)";
  const std::string legacy = "it does not start with '# vtk DataFile')",
                    ply = "it does not start with 'ply')";
  const std::string stl = "a binary STL is 84 bytes plus 50 per triangle; this file has ";
  const std::string piece = "the piece claims ";
  const std::string components = "the points' array has NumberOfComponents '";
  const std::pair<const char*, std::string> files[] = {
    { "missing.vtu", "cannot open '@': no such file or not readable" },
    { "mesh.xyz",
      "cannot open '@': unknown extension '.xyz' (known: .vtu .vtk .vtp .stl .obj .ply)" },
    { "nan.stl", "it holds coordinates that are not finite numbers)" },
    { "nan.vtk", "Error reading ascii data. Possible mismatch of datasize with declaration.)" },
    { "id-too-large.vtk", "cell 1: " + ids + "70000000" + below + "4))" },
    { "id-negative.vtk", "cell 1: " + ids + "-5 is negative)" },
    { "id-too-large.vtu", "cell 0: " + ids + "9" + below + "4))" },
    { "polyhedron-face.vtu", "cell 0: " + ids + "9" + below + "4))" },
    { "id-too-large.ply", "face 0 names vertex 7; there are 3)" },
    { "id-too-large.obj", "cell 1: " + ids + "8" + below + "3))" },
    { "cut-binary.ply", ends + "element 'vertex' (74 rows in the header))" },
    { "cut-ascii.ply", ends + "row 1 of element 'face' (144 rows in the header))" },
    { "cut-ascii.vtk", "CELLS claims 30 values, more than the 7 bytes left in the file hold)" },
    { "cut-binary.vtk", "CELLS claims 26 values, more than the 101 bytes left in the file hold)" },
    { "2e10-points.vtu",
      "cannot read '@': the file claims 20000000000 points, whose coordinates alone need 240 GB, "
      "more than the N GB of memory (is it damaged?)" },
    { "no-cells.vtk", "cannot read '@': nothing to draw (4 points, 0 cells)" },
    { "type-250.vtk", "cell 1 has the type 250, not a cell type)" },
    { "1e8-triangles.stl", "its header counts 100000000 triangles but the file holds 1)" },
    { "far-point.vtk", "coordinate 1e+300 is beyond single precision, which the renderer uses)" },
    { "garbage.vtu", xml },
    { "garbage.vtp", xml },
    { "garbage.vtk", legacy },
    { "garbage.stl", stl + "5000 bytes)" },
    { "garbage.obj", "Line longer than 262144: c)" },
    { "garbage.ply", ply },
    { "empty.vtu", xml },
    { "empty.vtp", xml },
    { "empty.vtk", legacy },
    { "empty.stl", stl + "0 bytes)" },
    { "empty.obj", "cannot read '@': nothing to draw (0 points, 0 cells)" },
    { "empty.ply", ply },
    { "swapped-types.vtu",
      "the points are 3 component(s) of Int64; points are 3 components of Float32 or Float64)" },
    { "components-negative.vtu", components + "-1' (1 to 65536 expected))" },
    { "components-huge.vtu", components + "4294967295' (1 to 65536 expected))" },
    { "points-negative.vtu", piece + "NumberOfPoints '-1', not a count)" },
    { "cells-negative.vtu", piece + "NumberOfCells '-4', not a count)" },
    { "connectivity-string.vtu",
      "array 'connectivity' of Cells is 1 component(s) of String; it must be one integer)" },
    { "format-unknown.vtu", "array 'pressure' has the unknown format 'raw')" },
    { "connectivity-int8.vtu",
      "array 'connectivity' of Cells is declared Int8: its 870 values take 870 bytes, but the "
      "file holds 6960 for it (is its type wrong?))" },
    { "offset-outside.vtu", "array 'temperature' has the offset '99999999', not inside the file)" },
    { "short-polygon.ply", "cell 1 is a polygon of 2 point(s); a polygon needs at least 3)" },
    { "short-polygon.vtk", "cell 1 is a polygon of 2 point(s); a polygon needs at least 3)" },
    { "gmsh-mesh.vtk", "it is a gmsh .msh file; gmsh writes VTK's format with -format vtk)" },
    { "far-point.stl",
      "point 0 (1e+09, 0, 1.8) lies up to 4.15e+08 times the model's size from the other 74 "
      "points: drawn, the model would shrink to a dot (is the file damaged?))" },
    { "points-huge.vtk",
      "POINTS claims 9223372036854775807 points, more than the 621 bytes left in the file hold)" },
    { "cells-huge.vtk",
      "CELL_TYPES claims 2147483647 cells, more than the 357 bytes left in the file hold)" },
    { "polyhedron-type.vtk", "cell 1 is a polyhedron, but its 8 values are not a face stream)" },
    { "points-negative.vtk", "POINTS claims '-15', not a count)" },
    { "polyhedron-binary.vtk", "cell 3 is a polyhedron, but its 4 values are not a face stream)" },
    { "cell-size-binary.vtk", "CELLS cell 1 claims 200 points, past the list's 30 values)" },
    { "type-unknown-binary.vtk", "cell 2 has the type 99, not a cell type)" },
    { "version-1e23-binary.vtk",
      "CELLS cell 0 claims 1330005587 points, past the list's 870 values)" },
    { "nul-byte-ascii.ply",
      "a NUL byte in the text of row 30 of element 'vertex' (40 rows in the header))" },
    { "index-too-large-binary.ply", "face 0 names vertex 1000000; there are 74)" },
    { "rows-wrap.ply", ends + "element 'vertex' (1537228672809129302 rows in the header))" },
  };
  for (const auto& [name, message] : files)
  {
    ExpectRefused(std::string(ORVI_DAMAGED_DATA_DIR "/") + name, message);
  }
}

//==============================================================================
// Inputs that crashed VTK's PLY reader behind the loader's checks when the
// fuzz target ran it in process (Fuzz/regressions: the first byte names the
// format, .vtk .vtu .vtp .stl .ply .obj by its value modulo 6, the rest is
// the file): each refused with its message, by a check in front of the
// reader or by the child process dying.
TEST(OrviMeshLoader, FuzzFindingsAreRefused)
{
  const fs::path dir = TestDir();
  const char* const extensions[] = { ".vtk", ".vtu", ".vtp", ".stl", ".ply", ".obj" };
  const std::string died =
    "cannot read '@': VTK's reader died on its contents with a segmentation fault (the file is "
    "damaged)";
  const std::string header = "unknown header line '";
  const std::pair<const char*, std::string> findings[] = {
    { "ply-1", header + "formaar bnity_little_endian 1.0')" },
    { "ply-2", "VTK's reader failed on it)" },
    { "ply-3", header + "vtkDataSetary_littl1.0\"?>')" },
    { "ply-4", header + "formaar bnity_little_endian 1.0')" },
    { "ply-5", "unknown format 'binary_littus_endian')" },
    { "ply-6", died },
    { "ply-7", "face 8 names vertex 1634625890; there are 40)" },
    { "ply-8", "" }, // VTK's reader read out of bounds under ASan; here it reads a valid mesh
    { "ply-9", "face 0 names vertex 167772160; there are 40)" },
    { "ply-10", "face 18 names vertex 1952531473; there are 40)" },
  };
  for (const auto& [name, message] : findings)
  {
    std::ifstream in(std::string(ORVI_FUZZ_REGRESSION_DIR "/") + name, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty()) << name;
    const std::string path =
      (dir / (std::string(name) + extensions[static_cast<unsigned char>(bytes[0]) % 6])).string();
    std::ofstream(path, std::ios::binary) << bytes.substr(1);
#if !defined(__SANITIZE_ADDRESS__)
    if (message.empty())
    {
      std::ostringstream log;
      std::string error;
      EXPECT_TRUE(orvi::LoadMesh(path, log, error)) << error;
      continue;
    }
#endif
    // Under the sanitizer VTK's out-of-bounds read of ply-8 kills the child.
    ExpectRefused(path, message.empty() ? died : message);
  }
}

//==============================================================================
// The child process on what no file check can foresee: a read that never
// ends, one that crashes, one that asks for more memory than there is. Each
// is one message; this process goes on.
TEST(OrviMeshLoader, ChildFailuresBecomeOneMessage)
{
  orvi::ReadLimits limits;
  limits.Seconds = 1.0;
  const std::pair<orvi::MeshReadFunction, std::string> reads[] = {
    { [](std::ostream&, std::string&) -> vtkSmartPointer<vtkDataSet>
      {
        for (;;)
        {
          ::pause();
        }
      },
      "f: VTK's reader was still busy after 1 s, far longer than a file of this size takes (the "
      "file is damaged)" },
    { [](std::ostream&, std::string&) -> vtkSmartPointer<vtkDataSet>
      {
        std::raise(SIGSEGV);
        return nullptr;
      },
      "f: VTK's reader died on its contents with a segmentation fault (the file is damaged)" },
    { [](std::ostream&, std::string&) -> vtkSmartPointer<vtkDataSet> { throw std::bad_alloc(); },
      "f: not enough memory for what the file claims to hold (is it damaged?)" },
    { [](std::ostream& log, std::string& error) -> vtkSmartPointer<vtkDataSet>
      {
        log << "a line from the child\n";
        error = "cannot read 'f': its own reason";
        return nullptr;
      },
      "cannot read 'f': its own reason" },
  };
  for (const auto& [read, message] : reads)
  {
    std::ostringstream log;
    std::string error;
    EXPECT_FALSE(orvi::ReadIsolated(read, limits, "f", log, error));
    EXPECT_EQ(error, AsReported(message));
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
  const orvi::MeshReadFunction read = [](std::ostream&, std::string&) -> vtkSmartPointer<vtkDataSet>
  {
    ::usleep(100000); // time to make the memory ready
    vtkNew<vtkPoints> points;
    points->SetNumberOfPoints(n);
    vtkNew<vtkDoubleArray> ramp;
    ramp->SetName("ramp");
    ramp->SetNumberOfValues(n);
    for (vtkIdType i = 0; i < n; ++i)
    {
      points->SetPoint(i, i, -0.5 * i, 1.0 / (i + 1));
      ramp->SetValue(i, 3.0 * i + 0.25);
    }
    vtkNew<vtkPolyData> mesh;
    mesh->SetPoints(points);
    mesh->GetPointData()->AddArray(ramp);
    return mesh;
  };
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
    vtkSmartPointer<vtkDataSet> mesh = orvi::ReadIsolated(read, limits, "f", log, error);
    ASSERT_TRUE(mesh) << error;
    ASSERT_EQ(mesh->GetNumberOfPoints(), n);
    vtkDataArray* ramp = mesh->GetPointData()->GetArray("ramp");
    ASSERT_TRUE(ramp);
    vtkIdType wrong = 0;
    double p[3];
    for (vtkIdType i = 0; i < n; ++i)
    {
      mesh->GetPoint(i, p);
      wrong += p[0] != static_cast<float>(i) || p[1] != static_cast<float>(-0.5 * i) ||
        p[2] != static_cast<float>(1.0 / (i + 1)) || ramp->GetTuple1(i) != 3.0 * i + 0.25;
    }
    EXPECT_EQ(wrong, 0);
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
  const orvi::MeshReadFunction waitForFlag = [&](std::ostream& log,
                                               std::string&) -> vtkSmartPointer<vtkDataSet>
  {
    while (!fs::exists(flag))
    {
      ::usleep(1000);
    }
    log << "the flag is there\n";
    vtkNew<vtkPolyData> mesh;
    vtkNew<vtkPoints> points;
    points->InsertNextPoint(1.0, 2.0, 3.0);
    mesh->SetPoints(points);
    return mesh;
  };
  int calls = 0;
  std::ostringstream log;
  std::string error;
  const auto mesh = orvi::ReadIsolated(waitForFlag,
    limits,
    "f",
    log,
    error,
    [&]()
    {
      ++calls;
      std::ofstream(flag) << "set\n";
    });
  ASSERT_TRUE(mesh) << error;
  EXPECT_EQ(mesh->GetNumberOfPoints(), 1);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(log.str(), "the flag is there\n");

  std::atomic<vtkIdType> usedPoints{ 0 };
  const auto used = orvi::ReadIsolated(
    waitForFlag,
    limits,
    "f",
    log,
    error,
    [&]()
    {
      for (int k = 0; k < 10000 && usedPoints == 0; ++k)
      {
        ::usleep(1000);
      }
    },
    [&](vtkDataSet* read) { usedPoints = read->GetNumberOfPoints(); });
  ASSERT_TRUE(used) << error;
  EXPECT_EQ(usedPoints, 1);
  fs::remove(flag);

  const std::pair<std::function<void()>, std::function<void(vtkDataSet*)>> failures[] = {
    { []() { throw std::runtime_error("late"); }, nullptr },
    { [&]() { std::ofstream(flag) << "set\n"; },
      [](vtkDataSet*) { throw std::runtime_error("after"); } },
  };
  for (const auto& [whileReading, afterRead] : failures)
  {
    EXPECT_THROW(orvi::ReadIsolated(waitForFlag, limits, "f", log, error, whileReading, afterRead),
      std::runtime_error);
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1); // no child left
  }
  fs::remove(flag);

  EXPECT_FALSE(orvi::LoadMesh((TestDir() / "no-such-mesh.vtu").string(),
    log,
    error,
    [&]() { ++calls; },
    [&](vtkDataSet*) { ++calls; }));
  EXPECT_EQ(calls, 1);
}

//==============================================================================
// A read that goes silent is stopped once its silence outlasts the limit,
// long before its time is up; one that keeps reporting progress goes on
// past that silence limit.
TEST(OrviMeshLoader, SilentReadsAreStoppedEarly)
{
  orvi::ReadLimits limits;
  limits.Seconds = 30.0;
  limits.SilentSeconds = 1.0;
  const auto talk = [](std::ostream& log, double seconds)
  {
    for (int k = 0; k < static_cast<int>(seconds / 0.25); ++k)
    {
      log << "  loading f: " << k << "%\n";
      ::usleep(250000);
    }
  };
  const std::tuple<orvi::MeshReadFunction, std::string, double> reads[] = {
    { [&](std::ostream& log, std::string&) -> vtkSmartPointer<vtkDataSet>
      {
        talk(log, 0.5);
        for (;;)
        {
          ::pause();
        }
      },
      "f: VTK's reader made no progress for 1 s, far longer than a file of this size takes (the "
      "file is damaged)",
      1.25 }, // the last line at 0.25 s, then a second of silence
    { [&](std::ostream& log, std::string& error) -> vtkSmartPointer<vtkDataSet>
      {
        talk(log, 2.0);
        error = "cannot read 'f': done talking";
        return nullptr;
      },
      "cannot read 'f': done talking",
      2.0 },
  };
  for (const auto& [read, message, seconds] : reads)
  {
    std::ostringstream log;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(orvi::ReadIsolated(read, limits, "f", log, error));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(error, message);
    EXPECT_GE(took.count(), seconds - 0.1);
    EXPECT_LT(took.count(), seconds + 5.0);
  }
}
