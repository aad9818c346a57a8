// Solver results as the hosts open them: a .pvd time series, a .vtm of two
// blocks, .pvtu/.pvtp written in four pieces and an Exodus file of two
// element blocks with steps, written by VTK's writers from a gmsh tutorial,
// read through OpenMeshFile() and ReadStep(), against VTK's own readers of
// the same files: parts, counts, times, values and pictures.
#include "orviMeshFile.h"
#include "orviMeshLoader.h"
#include "orviSolverData.h"
#include "orviTestUtils.h"

#include "vtkCompositeDataIterator.h"
#include "vtkDataSetMapper.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkExodusIIReader.h"
#include "vtkXMLMultiBlockDataReader.h"
#include "vtkXMLPPolyDataReader.h"
#include "vtkXMLPUnstructuredGridReader.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace
{
using Parts = std::vector<orvi::MeshPart>;

std::string ReadBytes(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

fs::path TestDir()
{
  const fs::path dir = fs::path(ORVI_TEST_OUTPUT_DIR) /
    ::testing::UnitTest::GetInstance()->current_test_info()->name();
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// The leaves of what a VTK reader read at a step, named as its blocks are.
Parts ReadWithVtk(vtkAlgorithm* reader, double time)
{
  reader->UpdateTimeStep(time);
  vtkDataObject* output = reader->GetOutputDataObject(0);
  auto* composite = vtkCompositeDataSet::SafeDownCast(output);
  if (!composite)
  {
    return { { "", vtkDataSet::SafeDownCast(output) } };
  }
  Parts parts;
  vtkSmartPointer<vtkCompositeDataIterator> leaf;
  leaf.TakeReference(composite->NewIterator());
  for (leaf->InitTraversal(); !leaf->IsDoneWithTraversal(); leaf->GoToNextItem())
  {
    const char* name = leaf->GetCurrentMetaData()->Get(vtkCompositeDataSet::NAME());
    parts.push_back({ name ? name : "", vtkDataSet::SafeDownCast(leaf->GetCurrentDataObject()) });
  }
  return parts;
}

// Each point's coordinates and temperature, once each.
std::set<std::array<double, 4>> PointValues(vtkDataSet* mesh)
{
  std::set<std::array<double, 4>> points;
  vtkDataArray* values = mesh->GetPointData()->GetArray("temperature");
  for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
  {
    const double* x = mesh->GetPoint(i);
    points.insert({ x[0], x[1], x[2], values->GetTuple1(i) });
  }
  return points;
}

// The faces of VTK's surface of a mesh, each by its corners' coordinates.
std::multiset<std::vector<std::array<double, 3>>> SurfaceFaces(vtkDataSet* mesh)
{
  vtkNew<vtkDataSetSurfaceFilter> surface;
  surface->SetInputData(mesh);
  surface->Update();
  std::multiset<std::vector<std::array<double, 3>>> faces;
  vtkNew<vtkIdList> ids;
  for (vtkIdType c = 0; c < surface->GetOutput()->GetNumberOfCells(); ++c)
  {
    surface->GetOutput()->GetCellPoints(c, ids);
    std::vector<std::array<double, 3>> corners;
    for (const vtkIdType id : *ids)
    {
      const double* x = surface->GetOutput()->GetPoint(id);
      corners.push_back({ x[0], x[1], x[2] });
    }
    std::sort(corners.begin(), corners.end());
    faces.insert(corners);
  }
  return faces;
}

std::vector<double> Values(vtkDataArray* array)
{
  std::vector<double> values(array->GetNumberOfValues());
  for (vtkIdType i = 0; i < array->GetNumberOfValues(); ++i)
  {
    values[i] =
      array->GetComponent(i / array->GetNumberOfComponents(), i % array->GetNumberOfComponents());
  }
  return values;
}

// The parts drawn in one window, coloured by temperature over the range
// of the first part's, and seen from the same place: what a plain VTK
// program shows of them.
orvi_test::Scene& Draw(orvi_test::Scene& scene, const Parts& parts, const double* range)
{
  scene.Renderer->RemoveAllViewProps();
  for (const orvi::MeshPart& part : parts)
  {
    vtkNew<vtkDataSetMapper> mapper;
    mapper->SetInputData(part.Mesh);
    mapper->SetScalarModeToUsePointFieldData();
    mapper->SelectColorArray("temperature");
    mapper->SetScalarRange(range);
    vtkNew<vtkActor> actor;
    actor->SetMapper(mapper);
    scene.Renderer->AddActor(actor);
  }
  scene.Camera()->SetPosition(1, 2, 3);
  scene.Camera()->SetFocalPoint(0, 0, 0);
  scene.Renderer->ResetCamera();
  scene.Window->Render();
  return scene;
}

// A file, the VTK reader of it, the times and part names it has.
struct SolverFile
{
  std::string Path;
  vtkSmartPointer<vtkAlgorithm> Reader;
  std::vector<double> Times;
  std::vector<std::string> Names;
};

template <class Reader>
vtkSmartPointer<vtkAlgorithm> NewReader(const std::string& path)
{
  auto reader = vtkSmartPointer<Reader>::New();
  reader->SetFileName(path.c_str());
  return reader;
}
} // namespace

//==============================================================================
// Each file opens with its times and reads, at each step, the parts VTK's
// reader of the same file (of the step's .vtu for the .pvd) reads: the same
// names, points and cells, the same temperature value for value, and the
// same picture.
TEST(OrviSolverFiles, EachFormatReadsAsVtksReaderReadsIt)
{
  const fs::path dir = TestDir();
  std::string why;
  const vtkSmartPointer<vtkUnstructuredGrid> grid =
    orvi_test::GmshTetrahedra("t5", dir, why, "-3 -clscale 2");
  if (!grid)
  {
    GTEST_SKIP() << why;
  }
  const std::vector<double> times = { 0, 0.5, 1.25 };
  const std::string series = orvi_test::WriteTimeSeries(grid, dir, "series", times);
  const std::string blocks = orvi_test::WriteTwoBlocks(grid, dir, "blocks");
  const std::string grids = orvi_test::WritePieces(grid, dir, "pieces", 4);
  const std::string surfaces = orvi_test::WritePieces(grid, dir, "pieces", 4, true);
  const std::string exodus = orvi_test::WriteExodus(grid, dir, "steps", times);
  auto exodusReader = vtkSmartPointer<vtkExodusIIReader>::New();
  exodusReader->SetFileName(exodus.c_str());
  exodusReader->ApplyDisplacementsOff(); // the points as written; --warp deforms
  exodusReader->UpdateInformation();
  exodusReader->SetAllArrayStatus(vtkExodusIIReader::NODAL, 1);
  const SolverFile files[] = {
    { series, nullptr, times, { series } },
    { blocks, NewReader<vtkXMLMultiBlockDataReader>(blocks), {}, { "first", "second" } },
    { grids, NewReader<vtkXMLPUnstructuredGridReader>(grids), {}, { grids } },
    { surfaces, NewReader<vtkXMLPPolyDataReader>(surfaces), {}, { surfaces } },
    { exodus, exodusReader, times, { "first", "second" } },
  };
  orvi_test::Scene scene(300, 300);
  for (const SolverFile& file : files)
  {
    SCOPED_TRACE(file.Path);
    std::ostringstream log;
    std::string error;
    const std::unique_ptr<orvi::MeshFile> opened = orvi::OpenMeshFile(file.Path, log, error);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(opened->GetTimes(), file.Times);
    Parts none;
    EXPECT_FALSE(opened->ReadStep(opened->GetNumberOfSteps(), none, log, error));
    for (std::size_t step = 0; step < opened->GetNumberOfSteps(); ++step)
    {
      Parts parts;
      ASSERT_TRUE(opened->ReadStep(step, parts, log, error)) << error;
      const double time = file.Times.empty() ? 0.0 : file.Times[step];
      const std::string leaf = dir / ("series_" + std::to_string(step) + ".vtu");
      const Parts expected = ReadWithVtk(
        file.Reader ? file.Reader : NewReader<vtkXMLUnstructuredGridReader>(leaf), time);
      ASSERT_EQ(parts.size(), expected.size());
      for (std::size_t i = 0; i < parts.size(); ++i)
      {
        vtkDataSet *mesh = parts[i].Mesh, *vtk = expected[i].Mesh;
        EXPECT_EQ(parts[i].Name, file.Names[i]);
        EXPECT_EQ(mesh->GetNumberOfCells(), vtk->GetNumberOfCells());
        vtkDataArray* values = mesh->GetPointData()->GetArray("temperature");
        vtkDataArray* vtkValues = vtk->GetPointData()->GetArray("temperature");
        ASSERT_TRUE(values && vtkValues);
        if (file.Path == grids)
        {
          // VTK's reader holds an interface point once a piece, the joined
          // grid once.
          const auto points = PointValues(vtk);
          EXPECT_EQ(mesh->GetNumberOfPoints(), static_cast<vtkIdType>(points.size()));
          EXPECT_TRUE(PointValues(mesh) == points);
          continue;
        }
        EXPECT_EQ(mesh->GetNumberOfPoints(), vtk->GetNumberOfPoints());
        EXPECT_TRUE(Values(values) == Values(vtkValues)); // not printed: thousands
      }
      const double* range = expected[0].Mesh->GetPointData()->GetArray("temperature")->GetRange();
      const orvi_test::Frame shown(Draw(scene, parts, range).Window);
      // VTK's appended pieces show faces between them at the silhouette:
      // the joined grid is drawn as the mesh written whole.
      const Parts whole = { { "", orvi_test::AtTime(grid, 1) } };
      const orvi_test::Frame drawn(
        Draw(scene, file.Path == grids ? whole : expected, range).Window);
      EXPECT_EQ(shown.Count([&](const std::array<int, 3>& rgb, int x, int y)
                  { return rgb != drawn.At(x, y); }),
        0);
      // The model fills about a third of the window.
      EXPECT_GT(shown.Count(
                  [](const std::array<int, 3>& rgb, int, int) {
                    return rgb != std::array<int, 3>{ 0, 0, 0 };
                  }),
        300 * 300 / 5);
    }
  }
}

//==============================================================================
// A grid's pieces join where they touch and nowhere else: t5 with a crack
// (a corner of the first piece's last cell, one an earlier cell holds,
// moved to a point of its own at the same place: the later of the piece's
// two points there, which the other pieces do not join) written in four
// pieces reads with the cracked grid's points, and
// its surface is the cracked grid's, not VTK's reader's (which holds every
// face between pieces).
TEST(OrviSolverFiles, PiecesJoinAtTheirInterfaceOnly)
{
  const fs::path dir = TestDir();
  std::string why;
  const vtkSmartPointer<vtkUnstructuredGrid> grid =
    orvi_test::GmshTetrahedra("t5", dir, why, "-3 -clscale 3");
  if (!grid)
  {
    GTEST_SKIP() << why;
  }
  vtkNew<vtkUnstructuredGrid> cracked;
  cracked->DeepCopy(grid);
  cracked->BuildLinks();
  vtkNew<vtkIdList> corners, users;
  const vtkIdType last = grid->GetNumberOfCells() / 4 - 1;
  cracked->GetCellPoints(last, corners);
  cracked->GetPointCells(corners->GetId(0), users);
  ASSERT_LT(*std::min_element(users->begin(), users->end()), last);
  corners->SetId(0, cracked->GetPoints()->InsertNextPoint(cracked->GetPoint(corners->GetId(0))));
  cracked->ReplaceCell(last, corners->GetNumberOfIds(), corners->GetPointer(0));
  const std::string path = orvi_test::WritePieces(cracked, dir, "pieces", 4);
  std::ostringstream log;
  std::string error;
  const std::unique_ptr<orvi::MeshFile> opened = orvi::OpenMeshFile(path, log, error);
  Parts parts;
  ASSERT_TRUE(opened && opened->ReadStep(0, parts, log, error)) << error;
  EXPECT_EQ(parts[0].Mesh->GetNumberOfPoints(), cracked->GetNumberOfPoints());
  // Pieces of 64-bit ids joined in 32-bit storage: the joined numbers fit.
  EXPECT_TRUE(cracked->GetCells()->IsStorage64Bit());
  EXPECT_FALSE(vtkUnstructuredGrid::SafeDownCast(parts[0].Mesh)->GetCells()->IsStorage64Bit());
  const auto faces = SurfaceFaces(cracked);
  EXPECT_TRUE(SurfaceFaces(parts[0].Mesh) == faces);
  const Parts appended = ReadWithVtk(NewReader<vtkXMLPUnstructuredGridReader>(path), 0);
  EXPECT_GT(SurfaceFaces(appended[0].Mesh).size(), faces.size() + 100);
}

//==============================================================================
// Damaged collections, made from good ones: each is one line naming the
// file at fault and the collection that named it, the steps and pieces
// that are fine still read; a collection naming what is not a regular file
// (a FIFO, a device, a directory), itself or another collection is refused
// without waiting on it; a summary declaring another type than its pieces
// hold is refused before any value is used.
TEST(OrviSolverFiles, DamagedCollectionsAreRefusedNamingTheFile)
{
  const fs::path dir = TestDir();
  std::string why;
  const vtkSmartPointer<vtkUnstructuredGrid> grid =
    orvi_test::GmshTetrahedra("t5", dir, why, "-3 -clscale 4");
  if (!grid)
  {
    GTEST_SKIP() << why;
  }
  orvi_test::WriteTimeSeries(grid, dir, "series", { 0, 1, 2 });
  orvi_test::WritePieces(grid, dir, "pieces", 4);
  orvi_test::WriteTwoBlocks(grid, dir, "blocks");
  orvi_test::WriteExodus(grid, dir, "steps", { 0, 1 });
  ::mkfifo((dir / "fifo.vtu").c_str(), 0600);
  fs::create_directory(dir / "folder.vtu");
  fs::create_symlink("/dev/zero", dir / "zero.vtu");
  std::ofstream(dir / "garbage") << "not a mesh\n";
  std::ifstream table(ORVI_DAMAGED_COLLECTIONS);
  int made = 0;
  for (std::string line; std::getline(table, line);)
  {
    std::istringstream words(line);
    std::string name, from, pattern, replacement, expected;
    std::size_t step = 0;
    if (line.empty() || line[0] == '#' ||
      !(words >> name >> from >> pattern >> replacement >> step))
    {
      continue;
    }
    ++made;
    const fs::path path = dir / name;
    SCOPED_TRACE(path);
    const std::string bytes = ReadBytes(dir / from);
    std::ofstream(path, std::ios::binary) << (pattern == "-" ? bytes.substr(0, bytes.size() / 2)
        : pattern == "="
        ? bytes
        : std::regex_replace(
            bytes, std::regex(pattern), replacement, std::regex_constants::format_first_only));
    std::getline(words >> std::ws, expected);
    expected = std::regex_replace(expected, std::regex("@"), path.string());
    expected = std::regex_replace(expected, std::regex("%"), path.parent_path().string());
    std::ostringstream log;
    std::string error;
    std::unique_ptr<orvi::MeshFile> file = orvi::OpenMeshFile(path, log, error);
    Parts parts;
    EXPECT_FALSE(file && file->ReadStep(step, parts, log, error));
    EXPECT_EQ(expected.back() == '(' ? error.substr(0, expected.size()) : error, expected);
    // The steps before the damaged one still read.
    EXPECT_TRUE(!file || step == 0 || file->ReadStep(0, parts, log, error)) << error;
  }
  EXPECT_EQ(made, 14);
}

// A raw .vtu of the shown step's mesh with new fields stands on the shown
// mesh's points and cells and reads its fields as VTK's reader does; one
// whose mesh differs in a point, a cell or its count is read whole, as VTK
// reads it; one whose field is damaged is refused naming the file.
TEST(OrviSolverFiles, AStepOfTheShownMeshReadsItsFieldsAlone)
{
  const fs::path dir = TestDir();
  std::string why;
  vtkSmartPointer<vtkUnstructuredGrid> grid =
    orvi_test::GmshTetrahedra("t5", dir, why, "-3 -clscale 4");
  ASSERT_TRUE(grid) << why;
  const auto write = [&](vtkUnstructuredGrid* mesh, const std::string& name)
  {
    vtkNew<vtkXMLUnstructuredGridWriter> writer;
    writer->SetInputData(orvi_test::AtTime(mesh, name == "0.vtu" ? 0.0 : 1.0));
    writer->EncodeAppendedDataOff();
    writer->SetCompressorTypeToNone();
    writer->SetFileName((dir / name).c_str());
    writer->Write();
    return (dir / name).string();
  };
  std::ostringstream log;
  std::string error;
  vtkSmartPointer<vtkDataSet> shown = orvi::LoadMesh(write(grid, "0.vtu"), log, error);
  ASSERT_TRUE(shown) << error;
  vtkNew<vtkUnstructuredGrid> moved, turned;
  moved->DeepCopy(grid);
  moved->GetPoints()->SetPoint(7, 0.25, 0.5, 0.75);
  turned->DeepCopy(grid);
  const vtkIdType* ids = nullptr;
  vtkIdType size = 0;
  turned->GetCellPoints(3, size, ids);
  turned->GetCells()->ReplaceCellAtId(3, { ids[1], ids[0], ids[2], ids[3] });
  vtkSmartPointer<vtkUnstructuredGrid> fewer =
    orvi_test::CellRange(grid, 0, grid->GetNumberOfCells() - 1);
  for (const auto& step :
    std::vector<std::pair<std::string, vtkUnstructuredGrid*>>{ { "same.vtu", grid },
      { "moved.vtu", moved },
      { "turned.vtu", turned },
      { "fewer.vtu", fewer } })
  {
    const bool same = step.first == "same.vtu";
    const std::string path = write(step.second, step.first);
    vtkSmartPointer<vtkDataSet> read = orvi::LoadMesh(path, log, error, {}, {}, {}, shown);
    auto* mesh = vtkUnstructuredGrid::SafeDownCast(read);
    ASSERT_TRUE(mesh) << step.first << ": " << error;
    auto* own = vtkUnstructuredGrid::SafeDownCast(shown);
    EXPECT_EQ(mesh->GetPoints() == own->GetPoints() && mesh->GetCells() == own->GetCells(), same);
    vtkNew<vtkXMLUnstructuredGridReader> vtk;
    vtk->SetFileName(path.c_str());
    vtk->Update();
    vtkUnstructuredGrid* expected = vtk->GetOutput();
    EXPECT_EQ(Values(mesh->GetPoints()->GetData()), Values(expected->GetPoints()->GetData()));
    EXPECT_EQ(Values(mesh->GetCells()->GetConnectivityArray()),
      Values(expected->GetCells()->GetConnectivityArray()))
      << step.first;
    for (const char* name : { "temperature", "displacement" })
    {
      EXPECT_EQ(Values(mesh->GetPointData()->GetArray(name)),
        Values(expected->GetPointData()->GetArray(name)));
    }
  }
  // The first field's block header (the appended data's first bytes) says
  // it holds more than its points call for.
  std::string bytes = ReadBytes((dir / "same.vtu").string());
  const std::size_t start = bytes.find('_', bytes.find("<AppendedData")) + 1;
  bytes.replace(start, 4, "\xff\xff\xff\x0f");
  std::ofstream((dir / "damaged.vtu").string(), std::ios::binary) << bytes;
  EXPECT_FALSE(orvi::LoadMesh((dir / "damaged.vtu").string(), log, error, {}, {}, {}, shown));
  EXPECT_TRUE(std::regex_search(
    error, std::regex("damaged.vtu'.*array 'temperature' of PointData holds 268435455 bytes")))
    << error;
}
