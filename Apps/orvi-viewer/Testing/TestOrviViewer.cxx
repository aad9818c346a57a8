// The hosts' core (orviCore) driven as main() drives it, looked at
// through its log, its picks and its pixels; and a few runs of the program
// itself where the command line is what is tested: exit status, messages,
// progress while it runs.
#include "orviGmshMesh.h"
#include "orviMeshes.h"
#include "orviPlayScript.h"
#include "orviScript.h"
#include "orviTestUtils.h"
#include "orviViewer.h"
#include "orviViewerOptions.h"

#include "vtkActor2DCollection.h"
#include "vtkActorCollection.h"
#include "vtkAreaPicker.h"
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkDoubleArray.h"
#include "vtkExtractSelectedFrustum.h"
#include "vtkIdTypeArray.h"
#include "vtkIntArray.h"
#include "vtkLookupTable.h"
#include "vtkMassProperties.h"
#include "vtkMath.h"
#include "vtkPointData.h"
#include "vtkScalarBarActor.h"
#include "vtkScalarsToColors.h"
#include "vtkSphereSource.h"
#include "vtkTriangleFilter.h"

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <future>
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
  for (int y = std::max(box[1], 0); y <= std::min(box[3], image.H - 1); ++y)
  {
    for (int x = std::max(box[0], 0); x <= std::min(box[2], image.W - 1); ++x)
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

// The picture in the viewer's window now, and, as seen with the props of
// `hide` made invisible: what those props draw are the pixels that differ.
enum Hide
{
  Nothing = 0,
  Models = 1, // every 3D actor
  Legends = 2 // every 2D actor
};
Image Shot(orvi::Viewer& viewer, const fs::path& file, int hide = Nothing)
{
  std::vector<std::pair<vtkProp*, int>> hidden; // and their visibility
  vtkPropCollection* props = viewer.GetRenderer()->GetViewProps();
  for (int i = 0; i < props->GetNumberOfItems(); ++i)
  {
    auto* prop = vtkProp::SafeDownCast(props->GetItemAsObject(i));
    if (((hide & Models) && prop->IsA("vtkActor")) || ((hide & Legends) && prop->IsA("vtkActor2D")))
    {
      hidden.emplace_back(prop, prop->GetVisibility());
      prop->VisibilityOff();
    }
  }
  std::string error;
  EXPECT_TRUE(viewer.Screenshot(file.string(), true, error)) << error;
  for (const auto& [prop, visible] : hidden)
  {
    prop->SetVisibility(visible);
  }
  return ReadPng(file);
}

// How many pixels a world length spans at the camera's focal distance.
double PixelsPerUnit(vtkRenderer* renderer)
{
  vtkCamera* camera = renderer->GetActiveCamera();
  return renderer->GetSize()[1] /
    (2.0 * camera->GetDistance() *
      std::tan(vtkMath::RadiansFromDegrees(camera->GetViewAngle()) / 2));
}

// Where a world point lands in the window.
std::array<double, 2> ToDisplay(vtkRenderer* renderer, const double point[3])
{
  renderer->SetWorldPoint(point[0], point[1], point[2], 1.0);
  renderer->WorldToDisplay();
  const double* display = renderer->GetDisplayPoint();
  return { display[0], display[1] };
}

// A gmsh tutorial meshed into dir (small, with -clscale), or a skip.
#define GMSH_MESH(var, tutorial, options)                                                          \
  std::string var;                                                                                 \
  {                                                                                                \
    std::string why;                                                                               \
    var = orvi_test::MeshGmshTutorial(tutorial, dir, why, options, tutorial);                      \
    if (var.empty())                                                                               \
    {                                                                                              \
      GTEST_SKIP() << why;                                                                         \
    }                                                                                              \
  }

std::string Data(const std::string& file)
{
  return file.empty() || file[0] == '/' ? file : ORVI_TEST_DATA_DIR "/" + file;
}

//------------------------------------------------------------------------------
// The viewer in this process with the host interactor, as main() builds it
// for a script.
bool Parse(Args words,
  orvi::ViewerOptions& options,
  std::string& error,
  orvi::Host host = orvi::Host::Viewer)
{
  words.insert(words.begin(), orvi::HostName(host));
  std::vector<char*> argv(words.size());
  std::transform(words.begin(), words.end(), argv.begin(), [](std::string& w) { return w.data(); });
  return orvi::ParseViewerOptions(static_cast<int>(argv.size()), argv.data(), options, error, host);
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
constexpr auto Play = orvi_test::PlayScript;

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
    // The line counts the mesh's cells, not the faces highlighting them.
    EXPECT_EQ(viewer->GetLastPickSummary().rfind(
                "picked " + std::to_string(middle[through].size()) + " cells, mesh cell ids", 0),
      0u)
      << viewer->GetLastPickSummary();
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
// patch in its middle to the window's centre, larger. (The rotation marker
// both hosts show while rotating: OrviQt.RotationMarkerShowsInsideTheModel.)
TEST(OrviViewer, BoxZoomBandIsSeenAndZooms)
{
  const fs::path dir = TestDir();
  std::ostringstream log;
  // Smoothed frames (FXAA): the band, drawn into the pixels of the frame,
  // is all that changes.
  Play(*OpenViewer({}, log),
    dir,
    "pick 305 225 335 255\nscreenshot before\nboxzoom 260 180 380 300 snap band\nscreenshot "
    "after\n",
    log);
  const Image before = ReadPng(dir / "before.png"), band = ReadPng(dir / "band.png");
  const Image after = ReadPng(dir / "after.png");
  const Region outline = Find(band, ChangedFrom(before));
  EXPECT_GT(outline.Count, 400); // a one-pixel outline is 480 pixels
  EXPECT_EQ(Find(band, ChangedFrom(before), { 263, 183, 377, 297 }).Count, 0);
  EXPECT_TRUE(outline.X0 == 260 && outline.X1 == 380 && outline.Y0 == 180 && outline.Y1 == 300);
  const Region small = Find(before, Magenta), large = Find(after, Magenta);
  EXPECT_GT(large.Count, 6 * small.Count) << small.Count << " -> " << large.Count;
  EXPECT_LT(std::hypot(large.X - 320, large.Y - 240), 60.0);
}

//==============================================================================
// --edges auto follows the zoom: a dense sphere seen whole shows no edges, a
// box zoom onto it brings them, and the key r the first view back. (Which
// cells show edges in one view, and the modes on and off:
// AutoEdgesShowWhereCellsAreLarge.)
TEST(OrviViewer, AutoEdgesFollowTheZoom)
{
  const fs::path dir = TestDir();
  // Edge pixels (near black) in the middle, where the surface is in every view.
  const auto edges = [&](const char* png)
  {
    return Find(ReadPng(dir / png),
      [](const Rgb& c, int, int) {
        return std::max({ c[0], c[1], c[2] }) < 45;
      },
      { 150, 100, 400, 380 })
      .Count;
  };
  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(400);
  sphere->SetPhiResolution(400);
  sphere->SetRadius(2.0);
  sphere->Update();
  std::ostringstream log;
  const auto viewer = OpenViewer({ "--edges", "auto" }, log, sphere->GetOutput());
  viewer->SetSmoothEdges(false); // lines one pixel wide, near black
  Play(*viewer,
    dir,
    "screenshot 0\nboxzoom 290 210 350 270\nscreenshot 1\nkey r\nscreenshot 2\n",
    log);
  EXPECT_LE(edges("0.png"), 60);
  EXPECT_GT(edges("1.png"), 60);
  EXPECT_LT(FractionDiffering(ReadPng(dir / "2.png"), ReadPng(dir / "0.png"), 8), 0.001);
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
    { { "sphere.vtp" }, sphere, height },
    { { "sphere.vtk" }, sphere, height }, // legacy poly data
    { { "sphere.stl" }, sphere, "" },
    { { "sphere-ascii.STL" }, sphere, "" },
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
    { { "--screenshot-with-band", "x.png" },
      "--screenshot-with-band is an option of orvi-qt, not of orvi-viewer (see --help)" },
  };
  for (const auto& [args, message] : options)
  {
    orvi::ViewerOptions parsed;
    std::string error;
    EXPECT_FALSE(Parse(args, parsed, error));
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
  // orvi-qt refuses orvi-viewer's own options in the same words.
  for (const char* option : { "--screenshot", "--script", "--out" })
  {
    orvi::ViewerOptions parsed;
    std::string error;
    EXPECT_FALSE(Parse({ option, "x.png" }, parsed, error, orvi::Host::Qt));
    EXPECT_EQ(
      error, option + std::string(" is an option of orvi-viewer, not of orvi-qt (see --help)"));
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
  const std::string good = (dir / "good.txt").string();
  std::ofstream(good) << "screenshot first\n";
  const Command commands[] = {
    { { "--script", script, "--out", dir.string() }, script + " line 4: 'key' needs" },
    { { "--frobnicate" }, "unknown option --frobnicate (see --help)" },
    { { "--script", script + "-none" }, "cannot open script '" + script + "-none'" },
    { { "--screenshot", shot, "a.vtu", "b.vtu" }, "cannot open 'a.vtu'" },
    { { "--colormap", "grey", "--screenshot", shot, sphere },
      "--colormap and --range colour by an array" },
    { { "--range", "0", "1", "--screenshot", shot, sphere },
      "--colormap and --range colour by an array" },
    { { "--screenshot", shot, "--array", "pressure" },
      "the mesh has no point or cell array named 'pressure'; it holds point array "
      "'temperature'" },
    { { "--screenshot", shot, "--array", "nothing", Data("grid.vtu"), sphere },
      "no mesh has a point or cell array named 'nothing'; " + Data("grid.vtu") +
        " holds point array 'temperature'; cell array 'pressure'; " + sphere +
        " holds no point or cell arrays" },
    { { "--screenshot", shot, "--array", "cell:x", Data("grid.vtu") },
      "the mesh has no cell array named 'x'; it holds point array 'temperature'; cell array "
      "'pressure'" },
    { { "--screenshot", shot, "--array", "x", sphere },
      "the mesh has no point or cell array named 'x'; it holds no point or cell arrays" },
    { { "--script", good, "--out", (dir / "nowhere").string() },
      "--out names no directory: '" + (dir / "nowhere").string() + "' does not exist" },
    { { "--script", good, "--out", good },
      "--out names no directory: '" + good + "' is not a directory" },
    { { "--screenshot", shot, "--array", "cell:temperature" },
      "the mesh has no cell array named 'temperature'" },
    { { "--screenshot", (dir / "no-such-dir" / "x.png").string() },
      "cannot write screenshot '" + (dir / "no-such-dir" / "x.png").string() + "': no directory '" +
        (dir / "no-such-dir").string() + "'" },
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
  // The viewer writes through an unbuffered stream, piece by piece: wait for
  // the whole navigation line.
  std::string text;
  const auto told = [&text]
  {
    const size_t at = text.find("navigation: ");
    return at != std::string::npos && text.find('\n', at) != std::string::npos;
  };
  for (int i = 0; i < 300 && !told(); ++i)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    text = ReadText(out);
  }
  // The viewer waits for the user: end it.
  const auto viewer = static_cast<pid_t>(std::stol("0" + ReadText(pid)));
  ASSERT_GT(viewer, 0);
  EXPECT_EQ(kill(viewer, SIGTERM), 0);
  EXPECT_NE(text.find("  loading grid.vtu: 100%\nloaded 15 points and 4 cells"), std::string::npos)
    << text;
  EXPECT_NE(text.find("navigation: mervo\n"), std::string::npos) << text;

  // VTK's legacy reader runs a reader of the file's kind inside itself; its
  // progress is told once, rising, naming the file.
  const auto [code, legacy, errors] =
    RunViewer(dir, { "--screenshot", (dir / "x.png").string(), Data("grid.vtk") });
  EXPECT_EQ(code, 0) << errors;
  std::vector<int> percents;
  const std::regex line("  loading grid.vtk: ([0-9]+)%\n");
  for (auto it = std::sregex_iterator(legacy.begin(), legacy.end(), line);
       it != std::sregex_iterator();
       ++it)
  {
    percents.push_back(std::stoi((*it)[1]));
  }
  EXPECT_TRUE(!percents.empty() && percents.back() == 100) << legacy;
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()) &&
    std::adjacent_find(percents.begin(), percents.end()) == percents.end())
    << legacy;
}

//==============================================================================
// Integer ids of a few regions are categories: each id one colour of its
// own, named in the legend; a floating-point quantity beside them is the
// default colouring, and ids of too many regions are never chosen by
// default. A colour map asks for a quantity.
TEST(OrviViewer, IdArraysAreColouredAsCategories)
{
  const fs::path dir = TestDir();
  // A sphere with a region id per quadrant (3, 7, 11, 42), a pressure and
  // integer arrays of 200 values.
  const auto sphere = [](const std::vector<const char*>& arrays)
  {
    vtkNew<vtkSphereSource> source;
    source->SetThetaResolution(24);
    source->SetPhiResolution(24);
    source->Update();
    vtkSmartPointer<vtkPolyData> mesh = source->GetOutput();
    for (const std::string name : arrays)
    {
      vtkSmartPointer<vtkDataArray> array;
      if (name == "pressure")
      {
        array = vtkSmartPointer<vtkDoubleArray>::New();
        array->SetNumberOfTuples(mesh->GetNumberOfPoints());
        for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
        {
          array->SetTuple1(i, mesh->GetPoint(i)[2]);
        }
        mesh->GetPointData()->AddArray(array);
        array->SetName(name.c_str());
        continue;
      }
      array = vtkSmartPointer<vtkIntArray>::New();
      array->SetName(name.c_str());
      array->SetNumberOfTuples(mesh->GetNumberOfCells());
      const int quadrant[4] = { 3, 7, 11, 42 };
      for (vtkIdType i = 0; i < mesh->GetNumberOfCells(); ++i)
      {
        double centre[3] = { 0, 0, 0 }, p[3];
        vtkCell* cell = mesh->GetCell(i);
        for (vtkIdType k = 0; k < cell->GetNumberOfPoints(); ++k)
        {
          mesh->GetPoint(cell->GetPointId(k), p);
          vtkMath::Add(centre, p, centre);
        }
        array->SetTuple1(i,
          name == "region" ? quadrant[(centre[0] > 0 ? 1 : 0) + (centre[1] > 0 ? 2 : 0)]
                           : static_cast<double>(i % 200));
      }
      mesh->GetCellData()->AddArray(array);
    }
    return mesh;
  };
  const std::string regions = "colouring by cell array 'region', 4 categories (ids 3 .. 42)";
  const std::tuple<std::vector<const char*>, Args, std::string> cases[] = {
    { { "region", "pressure" }, {}, "colouring by point array 'pressure', range" },
    { { "region" }, {}, regions },
    { { "region" }, { "--array", "region" }, regions },
    { { "region" }, { "--colormap", "viridis" }, "cell array 'region', range 3 .. 42, viridis" },
    { { "partition" }, {}, "" }, // ids of 200 partitions: plain grey
    { { "count" }, {}, "colouring by cell array 'count', range 0 .. 199, rainbow" },
  };
  for (const auto& [arrays, args, colouring] : cases)
  {
    SCOPED_TRACE(colouring);
    std::ostringstream log;
    Args all = { "--edges", "off" };
    all.insert(all.end(), args.begin(), args.end());
    const auto viewer = OpenViewer(all, log, sphere(arrays));
    const std::string text = colouring.empty() ? "colouring by" : colouring;
    EXPECT_EQ(log.str().find(text) == std::string::npos, colouring.empty()) << log.str();
    if (colouring != regions)
    {
      continue;
    }
    // The legend: one swatch per id in the id's own colour, unlit, right of
    // the model; the four colours far apart.
    vtkLookupTable* lut = nullptr;
    vtkActor2DCollection* actors2D = viewer->GetRenderer()->GetActors2D();
    for (int i = 0; !lut && i < actors2D->GetNumberOfItems(); ++i)
    {
      if (auto* legend = vtkScalarBarActor::SafeDownCast(actors2D->GetItemAsObject(i)))
      {
        lut = vtkLookupTable::SafeDownCast(legend->GetLookupTable());
      }
    }
    ASSERT_TRUE(lut && lut->GetIndexedLookup() && lut->GetNumberOfAnnotatedValues() == 4);
    const Image picture = Shot(*viewer, dir / "regions.png");
    // The cells wear exactly the legend's colours: the same picture as with
    // the legend's own table on the model.
    vtkMapper* mapper =
      vtkActor::SafeDownCast(viewer->GetRenderer()->GetActors()->GetItemAsObject(0))->GetMapper();
    vtkSmartPointer<vtkScalarsToColors> drawn = mapper->GetLookupTable();
    mapper->SetLookupTable(lut);
    EXPECT_EQ(FractionDiffering(picture, Shot(*viewer, dir / "regions-indexed.png"), 0), 0.0);
    mapper->SetLookupTable(drawn);
    std::vector<Rgb> colours;
    for (int i = 0; i < 4; ++i)
    {
      EXPECT_EQ(lut->GetAnnotation(i), std::to_string(std::vector<int>{ 3, 7, 11, 42 }[i]));
      const double* c = lut->GetTableValue(i);
      const Rgb rgb = { int(c[0] * 255 + 0.5), int(c[1] * 255 + 0.5), int(c[2] * 255 + 0.5) };
      const Region swatch = Find(
        picture, [&](const Rgb& p, int, int) { return !Differs(p, rgb, 3); }, { 540, 0, 639, 479 });
      EXPECT_GT(swatch.Count, 150) << i;
      EXPECT_LT(swatch.Y1 - swatch.Y0, 480 / 4) << i;
      for (const Rgb& other : colours)
      {
        EXPECT_TRUE(Differs(rgb, other, 60)) << i;
      }
      EXPECT_TRUE(Differs(rgb, { 255, 0, 255 }, 60)) << i; // the pick highlight
      colours.push_back(rgb);
    }
  }
}

//==============================================================================
// A flat mesh opens face-on whatever --up says: seen along its normal, the
// whole mesh in the window, its picture as large as its area at the framed
// scale; a rotation and the key r bring that view back.
TEST(OrviViewer, FlatMeshesOpenFaceOn)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t1, "t1", "-2");
  GMSH_MESH(t6, "t6", "-2");
  const std::pair<std::string, std::string> cases[] = {
    { t1, "+Y" },
    { t1, "+Z" },
    { t1, "-X" },
    { t6, "-Z" },
  };
  for (const auto& [mesh, up] : cases)
  {
    SCOPED_TRACE(mesh + " " + up);
    std::ostringstream log;
    const auto viewer = OpenViewer({ "--up", up, "--edges", "off", mesh }, log);
    vtkRenderer* renderer = viewer->GetRenderer();
    double direction[3];
    renderer->GetActiveCamera()->GetDirectionOfProjection(direction);
    EXPECT_GT(std::abs(direction[2]), 0.99999); // gmsh's 2D tutorials lie in z = 0
    // The true area of the mesh's faces.
    std::string error;
    vtkNew<vtkDataSetSurfaceFilter> surface;
    surface->SetInputData(orvi::LoadMesh(mesh, log, error));
    vtkNew<vtkTriangleFilter> triangles;
    triangles->SetInputConnection(surface->GetOutputPort());
    triangles->PassLinesOff();
    triangles->PassVertsOff();
    vtkNew<vtkMassProperties> mass;
    mass->SetInputConnection(triangles->GetOutputPort());
    mass->Update();
    const double scale = PixelsPerUnit(renderer);
    const Image shown = Shot(*viewer, dir / "shown.png");
    const Image empty = Shot(*viewer, dir / "empty.png", Models);
    const Region model = Find(shown, ChangedFrom(empty));
    const double area = mass->GetSurfaceArea() * scale * scale;
    EXPECT_GT(model.Count, 0.9 * area);
    EXPECT_LT(model.Count, 1.1 * area);
    EXPECT_TRUE(model.X0 > 0 && model.Y0 > 0 && model.X1 < 639 && model.Y1 < 479);
    Play(*viewer, dir, "rotate 80 30\nkey r\nscreenshot again\n", log);
    EXPECT_LT(FractionDiffering(ReadPng(dir / "again.png"), shown, 8), 0.001);
  }
}

//==============================================================================
// --edges auto on graded meshes: the edges of the large cells are drawn, those
// of the small ones not, so the fine regions keep their colours.
TEST(OrviViewer, AutoEdgesShowWhereCellsAreLarge)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t7, "t7", "-2");
  GMSH_MESH(t11, "t11", "-2");
  for (const std::string& mesh : { t7, t11 })
  {
    SCOPED_TRACE(mesh);
    std::ostringstream log;
    const auto viewer = OpenViewer({ "--no-legend", "--edges", "off", mesh }, log);
    vtkRenderer* renderer = viewer->GetRenderer();
    const Image off = Shot(*viewer, dir / "off.png");
    viewer->SetEdgeMode(orvi::EdgeMode::Auto);
    const Image automatic = Shot(*viewer, dir / "auto.png");
    viewer->SetEdgeMode(orvi::EdgeMode::On);
    const Image on = Shot(*viewer, dir / "on.png");
    // The largest and the smallest face, and the edge pixels about them.
    std::string error;
    vtkNew<vtkDataSetSurfaceFilter> surface;
    surface->SetInputData(orvi::LoadMesh(mesh, log, error));
    surface->Update();
    vtkPolyData* faces = surface->GetOutput();
    double largest = 0, smallest = VTK_DOUBLE_MAX;
    std::array<double, 2> large{}, small{};
    for (vtkIdType i = 0; i < faces->GetNumberOfCells(); ++i)
    {
      vtkCell* cell = faces->GetCell(i);
      if (cell->GetCellDimension() != 2)
      {
        continue;
      }
      double centre[3] = { 0, 0, 0 };
      for (vtkIdType k = 0; k < cell->GetNumberOfPoints(); ++k)
      {
        vtkMath::Add(centre, faces->GetPoint(cell->GetPointId(k)), centre);
      }
      vtkMath::MultiplyScalar(centre, 1.0 / cell->GetNumberOfPoints());
      const double size = std::sqrt(cell->GetLength2());
      if (size > largest)
      {
        largest = size;
        large = ToDisplay(renderer, centre);
      }
      if (size < smallest)
      {
        smallest = size;
        small = ToDisplay(renderer, centre);
      }
    }
    const double pixels = largest * PixelsPerUnit(renderer);
    EXPECT_GT(pixels, 20.0);
    const auto around = [](const std::array<double, 2>& at, double half)
    {
      return std::array<int, 4>{
        int(at[0] - half), int(at[1] - half), int(at[0] + half), int(at[1] + half)
      };
    };
    EXPECT_GT(Find(automatic, ChangedFrom(off), around(large, pixels)).Count, pixels);
    EXPECT_EQ(Find(automatic, ChangedFrom(off), around(small, 3)).Count, 0);
    EXPECT_GT(Find(on, ChangedFrom(off), around(small, 3)).Count, 0);
    EXPECT_LT(Find(automatic, ChangedFrom(off)).Count, Find(on, ChangedFrom(off)).Count * 3 / 4);
  }
}

//==============================================================================
// A mesh's own lines are 2 pixels wide and its vertices 5 pixels across, in
// a colour apart from the background and, among faces, from the faces;
// drawing the edges never hides them.
TEST(OrviViewer, LinesAndPointsAreSeen)
{
  const fs::path dir = TestDir();
  // A zigzag of 8 lines and 9 vertices in the plane z = 0, alone or over a
  // square of 4 x 4 faces.
  const auto make = [](bool lines, bool verts, bool faces)
  {
    vtkNew<vtkPolyData> mesh;
    vtkNew<vtkPoints> points;
    vtkNew<vtkCellArray> polyline, vertices, squares;
    for (int i = 0; i <= 8; ++i)
    {
      points->InsertNextPoint(i, i % 2 ? 3.0 : 1.0, 0.0);
      vertices->InsertNextCell(1);
      vertices->InsertCellPoint(i);
      if (i > 0)
      {
        polyline->InsertNextCell(2);
        polyline->InsertCellPoint(i - 1);
        polyline->InsertCellPoint(i);
      }
    }
    for (int j = 0; j <= 4; ++j)
    {
      for (int i = 0; i <= 4; ++i)
      {
        points->InsertNextPoint(2.0 * i, -2.0 + 2.0 * j, 0.0);
        if (i < 4 && j < 4)
        {
          const vtkIdType a = 9 + j * 5 + i, quad[4] = { a, a + 1, a + 6, a + 5 };
          squares->InsertNextCell(4, quad);
        }
      }
    }
    mesh->SetPoints(points);
    if (lines)
    {
      mesh->SetLines(polyline);
    }
    if (verts)
    {
      mesh->SetVerts(vertices);
    }
    if (faces)
    {
      mesh->SetPolys(squares);
    }
    return mesh;
  };
  const double length = 8 * std::sqrt(5.0);
  const auto amber = [](const Rgb& c, int, int)
  { return c[0] > 200 && c[1] > 140 && c[1] < 230 && c[2] < 90; };
  const std::tuple<bool, bool, bool, const char*> cases[] = {
    { true, false, false, "on" },
    { true, false, false, "off" },
    { false, true, false, "on" },
    { true, true, true, "on" },
    { true, true, true, "auto" },
  };
  for (const auto& [lines, verts, faces, edges] : cases)
  {
    SCOPED_TRACE(std::to_string(lines) + std::to_string(verts) + std::to_string(faces) + edges);
    std::ostringstream log;
    const auto viewer = OpenViewer({ "--edges", edges }, log, make(lines, verts, faces));
    const double scale = PixelsPerUnit(viewer->GetRenderer());
    const Image shown = Shot(*viewer, dir / "shown.png");
    if (faces)
    {
      // Amber where the zigzag lies, over the grey faces, all of it seen.
      EXPECT_GT(Find(shown, amber).Count, 1.5 * length * scale);
      continue;
    }
    const Image empty = Shot(*viewer, dir / "empty.png", Models);
    const long count = Find(shown, ChangedFrom(empty, 40)).Count;
    if (lines)
    {
      // A line 2 pixels wide at a slope of 2 covers 2 pixels per step along
      // its longer axis, 1.79 per unit of its length; 1 pixel wide, 0.89.
      EXPECT_GT(count, 1.5 * length * scale);
      EXPECT_LT(count, 3.5 * length * scale);
    }
    else
    {
      EXPECT_GE(count, 9 * 25);
      EXPECT_LT(count, 9 * 64);
    }
  }
}

//==============================================================================
// The start view frames the model left of the legend, at any window size:
// no pixel of the model lies in the legend's box.
TEST(OrviViewer, ModelStaysBesideTheLegend)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t14, "t14", "-3 -clscale 2");
  const std::tuple<Args, int, int> cases[] = {
    { { "--up", "+Z", t14 }, 1024, 768 },
    { { "--up", "+Z", t14 }, 640, 480 },
    { { "--up", "+Z", t14 }, 480, 640 },
    { { "--up", "+Z", t14 }, 1280, 400 },
    { { "--up", "+Z", "--array", "cell:CellEntityIds", "--colormap", "grey", t14 }, 800, 600 },
    { { "sphere.vtp" }, 320, 240 },
    { { "long.vtu" }, 900, 300 },
    { {}, 640, 480 },
  };
  for (const auto& [args, width, height] : cases)
  {
    SCOPED_TRACE(args.empty() ? "generated" : args.back() + " " + std::to_string(width));
    std::ostringstream log;
    Args all = { "--size", std::to_string(width), std::to_string(height) };
    all.insert(all.end(), args.begin(), args.end());
    const auto viewer = OpenViewer(all, log);
    const Image shown = Shot(*viewer, dir / "shown.png");
    const Image model = Shot(*viewer, dir / "model.png", Legends);
    const Image empty = Shot(*viewer, dir / "empty.png", Models | Legends);
    const Region legend = Find(shown, ChangedFrom(model));
    ASSERT_GT(legend.Count, 100);
    EXPECT_EQ(
      Find(model, ChangedFrom(empty), { legend.X0, legend.Y0, legend.X1, legend.Y1 }).Count, 0)
      << legend.X0 << " " << legend.Y0 << " " << legend.X1 << " " << legend.Y1;
    // And the model is in the window, as large as the room beside the legend
    // lets it be.
    const Region whole = Find(model, ChangedFrom(empty));
    EXPECT_TRUE(whole.X0 > 0 && whole.Y0 > 0 && whole.X1 < width - 1 && whole.Y1 < height - 1);
    EXPECT_TRUE(
      whole.X1 - whole.X0 > (legend.X0 - 0) * 8 / 10 || whole.Y1 - whole.Y0 > height * 8 / 10);
  }
}

//==============================================================================
// Edges and silhouettes are smoothed (VTK's FXAA over the finished frame):
// against the same frame unsmoothed, the pixels along the lines change and
// take shades between line and face; the faces away from lines keep theirs.
TEST(OrviViewer, EdgesAreSmooth)
{
  const fs::path dir = TestDir();
  std::ostringstream log;
  const auto viewer = OpenViewer({ "--edges", "on", "--no-legend", "sphere.vtp" }, log);
  const Image smooth = Shot(*viewer, dir / "smooth.png");
  viewer->SetSmoothEdges(false);
  const Image jagged = Shot(*viewer, dir / "jagged.png");
  const long changed = Find(smooth, ChangedFrom(jagged, 8)).Count;
  const long lines = Find(
    jagged, [](const Rgb& c, int, int) { return c[0] < 40 && c[1] < 40; }, { 100, 100, 400, 380 })
                       .Count;
  EXPECT_GT(changed, lines / 2) << lines;
  EXPECT_LT(changed, 640 * 480 / 8);
}

//==============================================================================
// The gallery: gmsh's own tutorials, meshed at test time (small, with
// -clscale), each opened by the program as a user would: exit status 0 and a
// picture with the model in it. A few are compared with stored baselines.
struct Tutorial
{
  const char* Name;     // the test's and the mesh's name
  const char* Geometry; // the tutorial
  const char* Options;  // gmsh's
  bool Baseline;
};

const Tutorial Gallery[] = {
  { "t1", "t1", "-2", true },
  { "t2", "t2", "-3", false },
  { "t2_hex", "t2", "-3 -setnumber Mesh.RecombineAll 1", false },
  { "t3", "t3", "-3", true },
  { "t4", "t4", "-2", false },
  { "t5", "t5", "-3 -clscale 2", false },
  { "t5_hex", "t5", "-3 -clscale 2 -setnumber Mesh.SubdivisionAlgorithm 2", true },
  { "t6", "t6", "-2", true },
  { "t7", "t7", "-2", false },
  { "t8", "t8", "-2 -clscale 2", false },
  { "t10", "t10", "-2 -clscale 2", false },
  { "t11", "t11", "-2", false },
  { "t12", "t12", "-2", false },
  { "t13", "t13", "-3", false },
  { "t14", "t14", "-3 -clscale 2", false },
  { "t15", "t15", "-3", false },
  { "t16", "t16", "-3 -clscale 2", false },
  { "t16_hex", "t16", "-3 -clscale 2 -setnumber Mesh.SubdivisionAlgorithm 2", false },
  { "t17", "t17", "-2 -clscale 2", false },
  { "t18", "t18", "-3 -clscale 2", false },
  { "t19", "t19", "-3 -clscale 3", false },
  { "t20", "t20", "-3 -clscale 2", false },
  { "t21", "t21", "-2", false },
};

void PrintTo(const Tutorial& tutorial, std::ostream* out)
{
  *out << tutorial.Name << " (gmsh " << tutorial.Options << ")";
}

class OrviViewerGallery : public ::testing::TestWithParam<Tutorial>
{
};

TEST_P(OrviViewerGallery, TutorialOpens)
{
  const Tutorial& tutorial = GetParam();
  const fs::path dir = fs::path(ORVI_TEST_OUTPUT_DIR) / "gallery" / tutorial.Name;
  fs::remove_all(dir);
  std::string why;
  const std::string mesh =
    orvi_test::MeshGmshTutorial(tutorial.Geometry, dir, why, tutorial.Options, tutorial.Name);
  if (mesh.empty())
  {
    GTEST_SKIP() << why;
  }
  const fs::path png = dir / (std::string(tutorial.Name) + ".png");
  const auto [code, out, err] = RunViewer(dir, { "--screenshot", png.string(), mesh });
  EXPECT_EQ(code, 0) << err;
  EXPECT_NE(out.find("wrote " + png.string()), std::string::npos) << out;
  // The background is the same along a row; the model, left of the legend,
  // differs from it.
  const Image picture = ReadPng(png);
  const Region model = Find(picture,
    [&picture](const Rgb& c, int, int y) { return Differs(c, picture.At(picture.W - 1, y)); },
    { 0, 0, picture.W * 84 / 100, picture.H - 1 });
  EXPECT_GT(model.Count, picture.W * picture.H / 20) << png;
  EXPECT_TRUE(model.X0 > 0 && model.Y0 > 0 && model.Y1 < picture.H - 1) << png;
  if (tutorial.Baseline)
  {
    std::ostringstream log;
    const auto viewer = OpenViewer({ mesh }, log);
    EXPECT_TRUE(orvi_test::MatchesBaseline(
      viewer->GetWindow(), std::string("viewer-gallery-") + tutorial.Name));
  }
}

INSTANTIATE_TEST_SUITE_P(Tutorials,
  OrviViewerGallery,
  ::testing::ValuesIn(Gallery),
  [](const ::testing::TestParamInfo<Tutorial>& info) { return std::string(info.param.Name); });

//==============================================================================
// The viewer on damaged files: exit status 1 and its own lines only, never
// VTK's (no colour codes, no "ERR|", no "Warning: In", no addresses).
TEST(OrviViewerProgram, PrintsOnlyItsOwnLinesOnDamagedFiles)
{
  const fs::path dir = TestDir();
  for (const char* name : { "gmsh-mesh.vtk",
         "cut-binary.vtk",
         "points-negative.vtk",
         "garbage.obj",
         "components-negative.vtu",
         "short-polygon.ply" })
  {
    SCOPED_TRACE(name);
    const std::string out = (dir / "out.txt").string();
    const std::string command = std::string(ORVI_VIEWER_EXECUTABLE) +
      " --size 160 120 --screenshot '" + (dir / "x.png").string() + "' '" +
      ORVI_DAMAGED_DATA_DIR "/" + name + "' >'" + out + "' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    std::ifstream in(out);
    std::string line;
    int refusals = 0;
    while (std::getline(in, line))
    {
      const bool own = line.rfind("loading ", 0) == 0 || line.rfind("  loading ", 0) == 0 ||
        line.rfind("orvi-viewer: cannot ", 0) == 0;
      EXPECT_TRUE(own) << line;
      refusals += line.rfind("orvi-viewer: cannot ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(refusals, 1);
    EXPECT_FALSE(fs::exists(dir / "x.png"));
  }
}

} // namespace
