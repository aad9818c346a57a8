// The hosts' core (orviCore) driven as main() drives it, looked at
// through its log, its picks and its pixels; and a few runs of the program
// itself where the command line is what is tested: exit status, messages,
// progress while it runs.
#include "orviGmshMesh.h"
#include "orviMeshLoader.h"
#include "orviScript.h"
#include "orviTestUtils.h"
#include "orviViewer.h"
#include "orviViewerOptions.h"

#include "vtkAreaPicker.h"
#include "vtkCellData.h"
#include "vtkExtractSelectedFrustum.h"
#include "vtkIdTypeArray.h"
#include "vtkSphereSource.h"

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace
{
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

std::string ReadText(const fs::path& path)
{
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// A fresh directory for the running test.
fs::path TestDir()
{
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const fs::path dir = fs::path(ORVI_TEST_OUTPUT_DIR) / info->name();
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string Quote(const std::string& word)
{
  return "'" + std::regex_replace(word, std::regex("'"), "'\\''") + "'";
}

// The program run through the shell's exec, so that the status is its own
// (-1 when a signal ended it). display: null keeps DISPLAY, "" removes it,
// anything else replaces it. The window is small unless args say otherwise.
using Outcome = std::tuple<int, std::string, std::string>; // status, output, errors
Outcome RunViewer(const fs::path& dir, const Args& args, const char* display = nullptr)
{
  std::string command = "exec env ";
  command += !display ? "" : *display ? "DISPLAY=" + Quote(display) + " " : "-u DISPLAY ";
  command += Quote(ORVI_VIEWER_EXECUTABLE) + " --size 320 240";
  for (const std::string& arg : args)
  {
    command += " " + Quote(arg);
  }
  command += " >" + Quote((dir / "out.txt").string()) + " 2>" + Quote((dir / "err.txt").string());
  const int status = std::system(command.c_str());
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return { code, ReadText(dir / "out.txt"), ReadText(dir / "err.txt") };
}

//------------------------------------------------------------------------------
// Pictures, origin bottom left as for the script's coordinates.
using Rgb = std::array<int, 3>;
struct Image
{
  vtkSmartPointer<vtkImageData> Data; // RGB
  int W = 0, H = 0;
  Rgb At(int x, int y) const
  {
    const auto* p = static_cast<unsigned char*>(this->Data->GetScalarPointer(x, y, 0));
    return { p[0], p[1], p[2] };
  }
};

Image ReadPng(const fs::path& path)
{
  vtkNew<vtkPNGReader> reader;
  reader->SetFileName(path.string().c_str());
  reader->Update();
  const int* size = reader->GetOutput()->GetDimensions();
  EXPECT_EQ(reader->GetOutput()->GetNumberOfScalarComponents(), 3) << path;
  return { reader->GetOutput(), size[0], size[1] };
}

bool Differs(const Rgb& a, const Rgb& b, int threshold = 24)
{
  return std::abs(a[0] - b[0]) > threshold || std::abs(a[1] - b[1]) > threshold ||
    std::abs(a[2] - b[2]) > threshold;
}

// The highlight of picked cells.
const auto Magenta = [](const Rgb& c, int, int) { return c[0] >= 250 && c[1] <= 5 && c[2] >= 250; };

// The pixels of [x0, x1] x [y0, y1] for which pred(rgb, x, y) holds: their
// count, centroid and bounding box.
struct Region
{
  long Count = 0;
  double X = 0, Y = 0;
  int X0 = 1 << 30, Y0 = 1 << 30, X1 = -1, Y1 = -1;
};
template <typename Pred>
Region Find(const Image& image, Pred pred, std::array<int, 4> box = { 0, 0, 9999, 9999 })
{
  Region r;
  for (int y = box[1]; y <= std::min(box[3], image.H - 1); ++y)
  {
    for (int x = box[0]; x <= std::min(box[2], image.W - 1); ++x)
    {
      if (pred(image.At(x, y), x, y))
      {
        // Rows come in order: the last one found is the highest.
        r = { r.Count + 1, r.X + x, r.Y + y, std::min(r.X0, x), std::min(r.Y0, y), r.X1, y };
        r.X1 = std::max(r.X1, x);
      }
    }
  }
  r.X /= std::max(r.Count, 1L);
  r.Y /= std::max(r.Count, 1L);
  return r;
}

// The pixels of an image that differ from those of another one.
auto ChangedFrom(const Image& old, int threshold = 24)
{
  return [&old, threshold](const Rgb& c, int x, int y)
  { return Differs(c, old.At(x, y), threshold); };
}

double FractionDiffering(const Image& a, const Image& b, int threshold = 24)
{
  EXPECT_TRUE(a.W == b.W && a.H == b.H);
  return a.W == b.W && a.H == b.H ? Find(a, ChangedFrom(b, threshold)).Count / double(a.W * a.H)
                                  : 0.0;
}

std::string Data(const std::string& file)
{
  return file.empty() || file[0] == '/' ? file : ORVI_VIEWER_DATA_DIR "/" + file;
}

//------------------------------------------------------------------------------
// The viewer in this process with the host interactor, as main() builds it
// for a script.
bool Parse(Args words, orvi::ViewerOptions& options, std::string& error)
{
  words.insert(words.begin(), "orvi-viewer");
  std::vector<char*> argv(words.size());
  std::transform(words.begin(), words.end(), argv.begin(), [](std::string& w) { return w.data(); });
  return orvi::ParseViewerOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

// In a 640 x 480 window unless args give a --size. Files named in args are
// looked for in Testing/Data unless their path is absolute; mesh, when
// given, is shown as well.
std::unique_ptr<orvi::Viewer> OpenViewer(Args args, std::ostream& log, vtkDataSet* mesh = nullptr)
{
  orvi::ViewerOptions options;
  std::string error;
  args.insert(args.begin(), { "--size", "640", "480" });
  EXPECT_TRUE(Parse(args, options, error)) << error;
  options.Script = "(test)";
  std::vector<orvi::NamedMesh> meshes;
  for (const std::string& file : options.MeshFiles)
  {
    meshes.push_back({ file, orvi::LoadMesh(Data(file), log, error) });
  }
  if (mesh || meshes.empty())
  {
    meshes.push_back(
      { "mesh", mesh ? vtkSmartPointer<vtkDataSet>(mesh) : orvi::MakeDefaultMesh(error) });
  }
  auto viewer = std::make_unique<orvi::Viewer>(options, log);
  EXPECT_TRUE(viewer->SetMeshes(meshes, error)) << error;
  viewer->Render();
  return viewer;
}

// Replays a script as --script does, screenshots into dir.
void Play(orvi::Viewer& viewer, const fs::path& dir, const std::string& script, std::ostream& log)
{
  std::ofstream(dir / "script.txt", std::ios::binary) << script;
  std::vector<orvi::ScriptAction> actions;
  std::string error;
  EXPECT_TRUE(orvi::ParseScript((dir / "script.txt").string(), actions, error)) << error;
  EXPECT_TRUE(orvi::RunScript(viewer, actions, dir.string(), log, error)) << error;
}

//==============================================================================
// gmsh's tutorial t5, 13 thousand tetrahedra: through the model a pick
// selects the cells of VTK's frustum extraction for the same rectangle,
// interior ones included; what is seen selects a few of those, the cells
// with a face on the surface. Both highlight the rectangle and no more.
TEST(OrviViewer, PickSelectsTheCellsUnderTheRectangle)
{
  const fs::path dir = TestDir();
  std::string why;
  const std::string mesh = orvi_test::MeshGmshTutorial("t5", dir, why);
  if (mesh.empty())
  {
    GTEST_SKIP() << why;
  }
  std::ostringstream log;
  const std::array<int, 4> box = { 280, 200, 360, 280 };
  std::vector<vtkIdType> whole[2], middle[2];
  vtkNew<vtkAreaPicker> area;
  for (int through = 0; through < 2; ++through)
  {
    SCOPED_TRACE(through);
    const auto viewer =
      OpenViewer({ "--pick", through ? "through" : "visible", "--edges", "on", mesh }, log);
    area->AreaPick(box[0], box[1], box[2], box[3], viewer->GetRenderer());
    viewer->PickRectangle(0, 0, 639, 479);
    whole[through] = viewer->GetPickedCells();
    viewer->PickRectangle(box[0], box[1], box[2], box[3]);
    middle[through] = viewer->GetPickedCells();
    EXPECT_TRUE(viewer->Screenshot((dir / "picked.png").string(), true, why)) << why;
    const Image picked = ReadPng(dir / "picked.png");
    EXPECT_GT(Find(picked, Magenta, box).Count, 81 * 81 * 95 / 100);
    const Region all = Find(picked, Magenta);
    const int m = through ? 60 : 30; // a cell's face reaches this far out
    EXPECT_TRUE(all.X0 > 280 - m && all.X1 < 360 + m && all.Y0 > 200 - m && all.Y1 < 280 + m)
      << all.X0 << " " << all.Y0;
  }
  const vtkSmartPointer<vtkDataSet> cells = orvi::LoadMesh(mesh, log, why);
  vtkNew<vtkExtractSelectedFrustum> extract;
  extract->SetFrustum(area->GetFrustum());
  extract->SetInputData(cells);
  extract->Update();
  auto* ids = vtkIdTypeArray::SafeDownCast(
    vtkDataSet::SafeDownCast(extract->GetOutput())->GetCellData()->GetArray("vtkOriginalCellIds"));
  ASSERT_NE(ids, nullptr);
  std::vector<vtkIdType> expected(ids->GetPointer(0), ids->GetPointer(ids->GetNumberOfValues()));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(middle[1], expected);
  EXPECT_TRUE(
    std::includes(middle[1].begin(), middle[1].end(), middle[0].begin(), middle[0].end()));
  EXPECT_GT(middle[1].size(), 10 * middle[0].size());
  const auto n = static_cast<size_t>(cells->GetNumberOfCells());
  EXPECT_TRUE(whole[1].size() == n && whole[1].back() == vtkIdType(n) - 1) << whole[1].size();
  // Each cell once, also when several of its faces are seen.
  EXPECT_TRUE(std::includes(whole[1].begin(), whole[1].end(), whole[0].begin(), whole[0].end()));
  EXPECT_TRUE(whole[0].size() > 0 && whole[0].size() < n / 10) << whole[0].size();
}

//==============================================================================
// Every convention replays one script: each gesture it has moves the view,
// the 3D mouse too; what it has none for is reported and skipped.
TEST(OrviViewer, ScriptsPlayInEveryConvention)
{
  const fs::path dir = TestDir();
  for (const std::string nav : { "mervo", "catia", "style-mervo", "style-catia" })
  {
    SCOPED_TRACE(nav);
    std::ostringstream log;
    Play(*OpenViewer({ "--nav", nav }, log),
      dir,
      "screenshot 0\ncentre 320 240\nrotate 100 40\nscreenshot 1\npick 300 220 340 260\n"
      "pan 30 20\ndolly 30\nboxzoom 260 180 380 300\nfly 320 240\nscreenshot 2\n"
      "tdx 0 0 0 20 0 1 0\nscreenshot 3\ntdx 0 0 -60 0 0 0 0\nscreenshot 4\n",
      log);
    const std::string out = log.str(), skipped = "' has no gesture in the " + nav + " convention";
    EXPECT_EQ(out.find("line 2: 'centre" + skipped) != std::string::npos, nav != "mervo") << out;
    EXPECT_EQ(out.find("line 8: 'boxzoom" + skipped) != std::string::npos,
      nav.find("catia") != std::string::npos);
    EXPECT_FALSE(std::regex_search(out, std::regex("line [35679]: '"))) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("picked [1-9][0-9]* cells, mesh cell ids")))
      << out;
    const auto shot = [&](int k) { return ReadPng(dir / (std::to_string(k) + ".png")); };
    for (int i = 1; i < 5; ++i)
    {
      EXPECT_GT(FractionDiffering(shot(i - 1), shot(i)), i < 3 ? 0.10 : 0.05) << i;
    }
  }
}

//==============================================================================
// Mervo: while the box-zoom button is held the band is drawn into the
// pixels, on the rectangle's outline only; the zoom then brings the picked
// patch in its middle to the window's centre, larger. While rotating, the
// red marker sphere, a small fraction of the model, sits on the centre
// clicked.
TEST(OrviViewer, BoxZoomBandAndRotationMarkerAreSeen)
{
  const fs::path dir = TestDir();
  std::ostringstream log;
  Play(*OpenViewer({}, log),
    dir,
    "pick 305 225 335 255\nscreenshot before\nboxzoom 260 180 380 300 snap band\nscreenshot after\n"
    "centre 320 240\nrotate 100 40 snap rotating\nscreenshot rotated\n",
    log);
  const Image before = ReadPng(dir / "before.png"), band = ReadPng(dir / "band.png");
  const Image after = ReadPng(dir / "after.png"), rotated = ReadPng(dir / "rotated.png");
  const Region outline = Find(band, ChangedFrom(before));
  EXPECT_GT(outline.Count, 400); // a one-pixel outline is 480 pixels
  EXPECT_EQ(Find(band, ChangedFrom(before), { 263, 183, 377, 297 }).Count, 0);
  EXPECT_TRUE(outline.X0 == 260 && outline.X1 == 380 && outline.Y0 == 180 && outline.Y1 == 300);
  const Region small = Find(before, Magenta), large = Find(after, Magenta);
  EXPECT_GT(large.Count, 6 * small.Count) << small.Count << " -> " << large.Count;
  EXPECT_LT(std::hypot(large.X - 320, large.Y - 240), 60.0);
  EXPECT_GT(FractionDiffering(after, rotated), 0.15);
  const Image rotating = ReadPng(dir / "rotating.png");
  const Region marker = Find(rotating, ChangedFrom(rotated));
  const Region red = Find(rotating,
    [&](const Rgb& c, int x, int y)
    { return Differs(c, rotated.At(x, y)) && c[0] > c[1] + 60 && c[0] > c[2] + 60; });
  EXPECT_GT(red.Count, 30);
  EXPECT_GT(red.Count, marker.Count * 3 / 4);
  EXPECT_LT(std::hypot(marker.X - 320, marker.Y - 240), 25.0);
  EXPECT_TRUE(marker.X1 - marker.X0 < 60 && marker.Y1 - marker.Y0 < 60);
}

//==============================================================================
// --edges: on draws the mesh edges over the surface, off never; auto draws
// them while a typical cell spans enough pixels, so a dense sphere seen
// whole shows none until a box zoom brings them back.
TEST(OrviViewer, EdgesFollowTheirModeAndTheZoom)
{
  const fs::path dir = TestDir();
  // Edge pixels (near black) in the middle, where the surface is in every view.
  const auto dark = [](const Rgb& c, int, int) { return std::max({ c[0], c[1], c[2] }) < 45; };
  const auto edges = [&](const char* png) {
    return Find(ReadPng(dir / png), dark, { 260, 180, 380, 300 }).Count > 60;
  };
  const std::tuple<int, const char*, bool, bool> cases[] = {
    { 16, "auto", true, true },
    { 16, "off", false, false },
    { 400, "auto", false, true },
    { 400, "on", true, true },
  };
  for (const auto& [resolution, mode, before, afterZoom] : cases)
  {
    SCOPED_TRACE(std::string(mode) + " " + std::to_string(resolution));
    vtkNew<vtkSphereSource> sphere;
    sphere->SetThetaResolution(resolution);
    sphere->SetPhiResolution(resolution);
    sphere->SetRadius(2.0);
    sphere->Update();
    std::ostringstream log;
    const auto viewer = OpenViewer({ "--edges", mode }, log, sphere->GetOutput());
    Play(*viewer,
      dir,
      "screenshot 0\nboxzoom 290 210 350 270\nscreenshot 1\nkey r\nscreenshot 2\n",
      log);
    EXPECT_EQ(edges("0.png"), before);
    EXPECT_EQ(edges("1.png"), afterZoom);
    // The key r brings back the first view.
    EXPECT_LT(FractionDiffering(ReadPng(dir / "2.png"), ReadPng(dir / "0.png"), 8), 0.001);
  }
}

//==============================================================================
// What the colouring, view and legend options show, against baselines at
// 640 x 480: a sphere of radius 2 coloured by its height z (z up: warm on
// top), a long array name over a narrow range (the title as high as a label
// and inside the window), and beside the sphere a grey one, where a pick
// through the whole window selects every cell of each.
TEST(OrviViewer, ViewOptionsShowInThePicture)
{
  const fs::path dir = TestDir();
  const std::pair<Args, const char*> cases[] = {
    { { "--up", "+Z", "sphere.vtp" }, "viewer-up-z" },
    { { "--up", "-Z", "sphere.vtp" }, "viewer-down-z" },
    { { "--colormap", "viridis", "sphere.vtp" }, "viewer-viridis" },
    { { "--colormap", "coolwarm", "sphere.vtp" }, "viewer-coolwarm" },
    { { "--colormap", "grey", "sphere.vtp" }, "viewer-grey" },
    { { "--range", "5", "6", "sphere.vtp" }, "viewer-below-range" }, // all at the low end
    { { "--no-legend", "sphere.vtp" }, "viewer-no-legend" },
    { { "long.vtu" }, "viewer-long-title" },
    { { "--pick", "through", "sphere.vtp", "beside.stl" }, "viewer-two-meshes" },
  };
  for (const auto& [args, baseline] : cases)
  {
    std::ostringstream log;
    Args all = { "--edges", "off" };
    all.insert(all.end(), args.begin(), args.end());
    const auto viewer = OpenViewer(all, log);
    EXPECT_TRUE(orvi_test::MatchesBaseline(viewer->GetWindow(), baseline));
    if (args.back() == "beside.stl") // 144 cells each, ids 0 .. 143; and a .jpg is a JPEG
    {
      EXPECT_EQ(viewer->PickRectangle(0, 0, 639, 479), 2 * 144);
      EXPECT_EQ(viewer->GetPickedCells(1).back(), 143);
      std::string error;
      EXPECT_TRUE(viewer->Screenshot((dir / "shot.jpg").string(), true, error)) << error;
      EXPECT_EQ(ReadText(dir / "shot.jpg").substr(0, 3), "\xff\xd8\xff");
    }
  }
}

//==============================================================================
// Every format through VTK's readers (files VTK's writers wrote): the counts
// loaded and the array coloured by; none for a mesh without one that varies,
// such as the group ids, all 0, of VTK's OBJ reader.
TEST(OrviViewer, LoadsMeshesWrittenByVtk)
{
  const std::string grid = "loaded 15 points and 4 cells",
                    sphere = "loaded 74 points and 144 cells";
  const std::string temperature = "colouring by point array 'temperature'";
  const std::string height = "colouring by point array 'height'";
  const std::tuple<Args, std::string, std::string> cases[] = {
    { { "grid.vtu" }, grid, temperature },
    { { "--array", "pressure", "grid.vtu" }, grid, "colouring by cell array 'pressure'" },
    { { "grid.vtk" }, grid, temperature },
    { { "sphere.vtp" }, sphere, height },
    { { "sphere.vtk" }, sphere, height },
    { { "sphere.stl" }, sphere, "" },
    { { "sphere-ascii.STL" }, sphere, "" },
    { { "sphere.ply" }, sphere, "" },
    { { "sphere.obj" }, sphere, "" },
    { { "--array", "GroupIds", "sphere.obj" }, sphere, "cell array 'GroupIds', range 0 .. 0" },
  };
  for (const auto& [args, counts, colouring] : cases)
  {
    SCOPED_TRACE(args.back());
    std::ostringstream log;
    OpenViewer(args, log);
    EXPECT_NE(log.str().find(counts), std::string::npos) << log.str();
    const std::string text = colouring.empty() ? "colouring by" : colouring;
    EXPECT_EQ(log.str().find(text) == std::string::npos, colouring.empty()) << log.str();
  }
}

//==============================================================================
// Damaged files that crashed a reader or the surface extraction, aborted on
// an allocation or showed an empty view: each is refused with a message of
// its own.
TEST(OrviViewer, DamagedFilesAreRefused)
{
  // The files of Data/damaged and their errors, '@' standing for the path.
  const auto invalid = [](const char* ext, const std::string& why)
  { return "cannot read '@': not a valid " + std::string(ext) + " mesh (" + why; };
  const auto point = [](int cell, const char* id, int points)
  {
    return "cell " + std::to_string(cell) + ": point id " + id +
      " is not below the number of points (" + std::to_string(points) + "))";
  };
  const std::string vtk = invalid(".vtk", ""), ends = "the data ends early, in ";
  std::vector<std::pair<std::string, std::string>> files = {
    { "missing.vtu", "cannot open '@': no such file" },
    { "mesh.xyz", "cannot open '@': unknown extension '.xyz'" },
    { "nan.stl", "cannot read '@'" }, // NaN coordinates, the right length for its count
    { "id-too-large.vtk", vtk + point(1, "70000000", 4) },
    { "id-negative.vtk", vtk + "cell 1: point id -5 is negative)" },
    { "id-too-large.vtu", invalid(".vtu", point(0, "9", 4)) },
    { "polyhedron-face.vtu", invalid(".vtu", point(0, "9", 4)) },
    { "id-too-large.ply", invalid(".ply", point(0, "7", 3)) },
    { "id-too-large.obj", invalid(".obj", point(1, "8", 3)) },
    { "cut-binary.ply", invalid(".ply", ends + "element 'vertex' (74 rows in the header))") },
    { "cut-ascii.ply",
      invalid(".ply", ends + "row 1 of element 'face' (144 rows in the header))") },
    { "2e10-points.vtu",
      "cannot read '@': the file claims 20000000000 points, whose coordinates alone need 240 GB" },
    { "cut-ascii.vtk", vtk + "Error reading ascii cell data!" },
    { "cut-binary.vtk", vtk + "Error reading binary data!" },
    { "no-cells.vtk", "cannot read '@': nothing to draw (4 points, 0 cells)" },
    { "type-250.vtk", vtk + "cell 1: cell type 250 is not a VTK cell type)" },
    { "nan.vtk", vtk },
    { "1e8-triangles.stl",
      invalid(".stl", "its header counts 100000000 triangles but the file holds 1)") },
    { "far-point.vtk", vtk + "coordinate 1e+300 is beyond single precision" },
  };
  for (const std::string ext : { ".vtu", ".vtp", ".vtk", ".stl", ".obj", ".ply" })
  {
    files.push_back({ "garbage" + ext, "cannot read '@': not a valid " + ext + " mesh" });
    files.push_back({ "empty" + ext, "cannot read '@'" });
  }
  for (auto [name, message] : files)
  {
    const std::string path = std::string(ORVI_VIEWER_DATA_DIR "/damaged/") + name;
    std::ostringstream log;
    std::string error;
    EXPECT_FALSE(orvi::LoadMesh(path, log, error)) << name;
    EXPECT_NE(error.find(message.replace(message.find('@'), 1, path)), std::string::npos) << error;
  }
}

//==============================================================================
// Malformed script lines and options are refused with a message naming the
// problem; on the command line with exit status 1 and nothing written.
TEST(OrviViewer, MalformedScriptsAndOptionsAreRefused)
{
  const fs::path dir = TestDir();
  const std::string script = (dir / "script.txt").string();
  const std::string noFileName = "'screenshot' needs a file name (without directories)";
  const std::pair<std::string, std::string> lines[] = {
    { "spin 10 20", "unknown action 'spin'" },
    { "rotate 10", "'rotate' needs 2 numbers" },
    { "pan 10 abc", "'abc' is not a number" },
    { "dolly nan", "'nan' is not a number" },
    { "fly 10 20 30", "unexpected '30'" },
    { "pick 1 2 3 4 snap x", "unexpected 'snap'" },
    { "rotate 10 20 snap", "unexpected 'snap' (only 'snap NAME' may follow)" },
    { "rotate 10 20 snap a b", "unexpected 'b'" },
    { "screenshot", noFileName },
    { "screenshot ../up", noFileName },
    { "rotate 1e300 0", "'1e300' is out of range" },
    { "key rr", "'key' needs one character" },
  };
  for (const auto& [line, message] : lines)
  {
    std::ofstream(script) << "screenshot first\n# a comment, then a blank line\n\n" << line << "\n";
    std::vector<orvi::ScriptAction> actions;
    std::string error;
    EXPECT_FALSE(orvi::ParseScript(script, actions, error)) << line;
    EXPECT_NE(error.find(script + " line 4: " + message), std::string::npos) << error;
  }
  const std::string range = "--range needs two numbers MIN MAX with MIN below";
  const std::pair<Args, std::string> options[] = {
    { { "--frobnicate" }, "unknown option --frobnicate (see --help)" },
    { { "--pick", "all" }, "unknown pick mode 'all' (visible or through)" },
    { { "--script" }, "option --script needs a value" },
    { { "--size", "8", "8" }, "--size needs a width and a height" },
    { { "--up", "Z" }, "unknown up direction 'Z' (+X, -X, +Y, -Y, +Z or -Z)" },
    { { "--colormap", "jet" }, "unknown colour map 'jet' (rainbow, viridis" },
    { { "--range", "1", "nan" }, range },
    { { "--range", "2", "2" }, range },
    { { "--range", "1" }, "option --range needs a value" },
    { { "--screenshot", "x.bmp" }, "--screenshot writes .png or .jpg/.jpeg" },
    { { "--array", "cell:" }, "--array needs an array name" },
    { { "--elevation", "--array", "t" }, "--elevation and --array both" },
  };
  for (const auto& [args, message] : options)
  {
    orvi::ViewerOptions parsed;
    std::string error;
    EXPECT_FALSE(Parse(args, parsed, error));
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }

  // The program: a script is read whole before its first action runs.
  // Without an X server VTK's window would abort the process: the viewer
  // says so first, in every mode.
  const std::string shot = (dir / "x.png").string(), sphere = Data("sphere.stl");
  struct Command
  {
    Args Words;
    std::string Message;
    const char* Display = nullptr;
  };
  const Command commands[] = {
    { { "--script", script, "--out", dir.string() }, script + " line 4: 'key' needs" },
    { { "--frobnicate" }, "unknown option --frobnicate (see --help)" },
    { { "--script", script + "-none" }, "cannot open script '" + script + "-none'" },
    { { "--screenshot", shot, "a.vtu", "b.vtu" }, "cannot open 'a.vtu'" },
    { { "--colormap", "grey", "--screenshot", shot, sphere },
      "--colormap and --range colour by an array" },
    { { "--screenshot", shot, "--array", "pressure" },
      "the mesh has no point or cell array named 'pressure'" },
    { { "--screenshot", shot, "--array", "cell:temperature" },
      "the mesh has no cell array named 'temperature'" },
    { { "--screenshot", (dir / "no-such-dir" / "x.png").string() }, "cannot write screenshot" },
    { { "--screenshot", shot }, "no X display (DISPLAY is not set); every mode", "" },
    { {}, "cannot connect to the X display ':32000'; every mode", ":32000" },
  };
  for (const auto& [args, message, display] : commands)
  {
    SCOPED_TRACE(message);
    const auto [code, out, err] = RunViewer(dir, args, display);
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find("orvi-viewer: " + message), std::string::npos) << err;
    EXPECT_EQ(out.find("wrote "), std::string::npos) << out;
  }
  EXPECT_FALSE(fs::exists(dir / "first.png") || fs::exists(shot));
  EXPECT_EQ(RunViewer(dir, { "--help" }), Outcome(0, orvi::ViewerUsage(), ""));
}

//==============================================================================
// Progress reaches a file or a pipe as it happens: a viewer still running
// has already told what it loaded.
TEST(OrviViewer, ProgressIsWrittenAsItHappens)
{
  const fs::path dir = TestDir();
  const fs::path out = dir / "out.txt", pid = dir / "pid.txt";
  const std::string command = Quote(ORVI_VIEWER_EXECUTABLE) + " " + Quote(Data("grid.vtu")) + " >" +
    Quote(out.string()) + " 2>/dev/null & echo $! >" + Quote(pid.string());
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string text;
  for (int i = 0; i < 300 && text.find("navigation: ") == std::string::npos; ++i)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    text = ReadText(out);
  }
  // The viewer waits for the user: end it.
  const auto viewer = static_cast<pid_t>(std::stol("0" + ReadText(pid)));
  ASSERT_GT(viewer, 0);
  EXPECT_EQ(kill(viewer, SIGTERM), 0);
  EXPECT_NE(text.find("  loading: 100%\nloaded 15 points and 4 cells"), std::string::npos) << text;
  EXPECT_NE(text.find("navigation: mervo\n"), std::string::npos) << text;
}

} // namespace
