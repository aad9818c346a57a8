// Solver results as the hosts open them: a .pvd time series, a .vtm of two
// blocks, .pvtu/.pvtp written in four pieces and an Exodus file of two
// element blocks with steps, written by VTK's writers from a gmsh tutorial,
// read through OpenMeshFile() and ReadStep(), against VTK's own readers of
// the same files: parts, counts, times, values and pictures.
#include "orviMeshFile.h"
#include "orviSolverData.h"
#include "orviTestUtils.h"

#include "vtkCompositeDataIterator.h"
#include "vtkDataSetMapper.h"
#include "vtkExodusIIReader.h"
#include "vtkXMLMultiBlockDataReader.h"
#include "vtkXMLPPolyDataReader.h"
#include "vtkXMLPUnstructuredGridReader.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

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
        EXPECT_EQ(mesh->GetNumberOfPoints(), vtk->GetNumberOfPoints());
        EXPECT_EQ(mesh->GetNumberOfCells(), vtk->GetNumberOfCells());
        vtkDataArray* values = mesh->GetPointData()->GetArray("temperature");
        vtkDataArray* vtkValues = vtk->GetPointData()->GetArray("temperature");
        ASSERT_TRUE(values && vtkValues);
        EXPECT_TRUE(Values(values) == Values(vtkValues)); // not printed: thousands
      }
      const double* range = expected[0].Mesh->GetPointData()->GetArray("temperature")->GetRange();
      const orvi_test::Frame shown(Draw(scene, parts, range).Window);
      const orvi_test::Frame drawn(Draw(scene, expected, range).Window);
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
  const std::string series = orvi_test::WriteTimeSeries(grid, dir, "series", { 0, 1, 2 });
  const std::string pieces = orvi_test::WritePieces(grid, dir, "pieces", 4);
  const std::string blocks = orvi_test::WriteTwoBlocks(grid, dir, "blocks");
  const std::string exodus = orvi_test::WriteExodus(grid, dir, "steps", { 0, 1 });
  // A copy of a file as name, the first match of pattern replaced, or the
  // file's first half when there is no pattern.
  const auto copy = [&](const std::string& from,
                      const std::string& name,
                      const std::string& pattern = "",
                      const std::string& replacement = "")
  {
    const std::string bytes = ReadBytes(from), path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << (pattern.empty()
        ? bytes.substr(0, bytes.size() / 2)
        : std::regex_replace(
            bytes, std::regex(pattern), replacement, std::regex_constants::format_first_only));
    return path;
  };
  const auto naming = [&](const std::string& name, const std::string& file)
  { return copy(series, name, "series_1\\.vtu", file); };
  ::mkfifo((dir / "fifo.vtu").c_str(), 0600);
  fs::create_directory(dir / "folder.vtu");
  fs::create_symlink("/dev/zero", dir / "zero.vtu");
  const auto irregular = [](const std::string& name) {
    return "cannot open '%/" + name + "': it is not a regular file (a directory, device or FIFO)";
  };
  copy(dir / "series_1.vtu", "cut.vtu");
  std::ofstream(dir / "blocks" / "blocks_1.vtu") << "not a mesh\n";
  struct Damaged
  {
    std::string Path;
    std::size_t Step;
    std::string Message; // '@' the collection, '%' its folder
  };
  const Damaged cases[] = {
    { naming("missing.pvd", "gone.vtu"),
      1,
      "cannot read '@': step 2 of 3 'gone.vtu': cannot open '%/gone.vtu': no such file or not "
      "readable" },
    { naming("cut.pvd", "cut.vtu"),
      1,
      "cannot read '@': step 2 of 3 'cut.vtu': cannot read '%/cut.vtu': not a valid .vtu mesh (" },
    { naming("fifo.pvd", "fifo.vtu"),
      1,
      "cannot read '@': step 2 of 3 'fifo.vtu': " + irregular("fifo.vtu") },
    { naming("device.pvd", "zero.vtu"),
      1,
      "cannot read '@': step 2 of 3 'zero.vtu': " + irregular("zero.vtu") },
    { naming("folder.pvd", "folder.vtu"),
      1,
      "cannot read '@': step 2 of 3 'folder.vtu': " + irregular("folder.vtu") },
    { naming("self.pvd", "self.pvd"),
      1,
      "cannot open '@': step 2 of 3 'self.pvd' names the collection itself" },
    { naming("nested.pvd", "series.pvd"),
      1,
      "cannot read '@': step 2 of 3 'series.pvd': cannot open '%/series.pvd': a .pvd file names "
      "other mesh files, it is not one mesh itself" },
    { copy(series, "time.pvd", "timestep=\"1\"", "timestep=\"one\""),
      0,
      "cannot open '@': data set 2 has the timestep 'one', not a number" },
    { copy(pieces, "type.pvtu", "Float64(\" Name=\"temperature)", "Float32$1"),
      0,
      "cannot read '@': piece 1 of 4 'pieces_0.vtu': the summary's PPointData array "
      "'temperature' (Float32, 1 component(s)) is Float64, 1 component(s) in the piece" },
    { copy(pieces, "piece.pvtu", "pieces_2\\.vtu", "gone.vtu"),
      0,
      "cannot read '@': piece 3 of 4 'gone.vtu': cannot open '%/gone.vtu': no such file or not "
      "readable" },
    { blocks,
      0,
      "cannot read '@': block 'second': cannot read '%/blocks/blocks_1.vtu': not a valid .vtu "
      "mesh (it is not an XML file)" },
    { copy(exodus, "cut.e"),
      0,
      "cannot read '@': not a valid .e mesh (its variables need 181176 bytes, more than the "
      "file's " +
        std::to_string(ReadBytes(exodus).size() / 2) + " (is it cut short?))" },
  };
  for (const Damaged& damaged : cases)
  {
    SCOPED_TRACE(damaged.Path);
    std::ostringstream log;
    std::string error;
    std::unique_ptr<orvi::MeshFile> file = orvi::OpenMeshFile(damaged.Path, log, error);
    Parts parts;
    const bool read = file && file->ReadStep(damaged.Step, parts, log, error);
    EXPECT_FALSE(read);
    std::string expected = std::regex_replace(damaged.Message, std::regex("@"), damaged.Path);
    expected = std::regex_replace(expected, std::regex("%"), dir.string());
    // A message ending in "(" is the start of the reader's reason.
    EXPECT_EQ(expected.back() == '(' ? error.substr(0, expected.size()) : error, expected);
    EXPECT_TRUE(!file || damaged.Step == 0 || file->ReadStep(0, parts, log, error)) << error;
  }
}
