// Runs orvi-viewer headless with scripts, as a person or a CI job would, and
// looks at its exit status, its messages and the PNGs it writes.
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkDataWriter.h"
#include "vtkDoubleArray.h"
#include "vtkImageData.h"
#include "vtkImageReader2.h"
#include "vtkImageReader2Factory.h"
#include "vtkMath.h"
#include "vtkNew.h"
#include "vtkOBJWriter.h"
#include "vtkPLYWriter.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkPolyDataWriter.h"
#include "vtkSTLWriter.h"
#include "vtkSphereSource.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridWriter.h"
#include "vtkXMLPolyDataWriter.h"
#include "vtkXMLUnstructuredGridWriter.h"

#include "orviGmshMesh.h"
#include "orviMeshLoader.h"
#include "orviScript.h"
#include "orviViewer.h"
#include "orviViewerOptions.h"

#include "vtkCamera.h"
#include "vtkDataSet.h"
#include "vtkRenderer.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
namespace fs = std::filesystem;

constexpr int W = 640, H = 480;

//------------------------------------------------------------------------------
// Running the viewer.
struct ViewerRun
{
  bool Exited = false; // ended through exit(), not a signal
  int Code = -1;
  int Signal = 0;
  std::string Out, Err;
};

std::string ReadText(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const fs::path& path, const std::string& text)
{
  std::ofstream(path, std::ios::binary) << text;
}

// A fresh directory for the running test (parameterised names hold '/').
fs::path TestDir()
{
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  const fs::path dir = fs::path(ORVI_VIEWER_TEST_DIR) / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// A word quoted for the shell.
std::string Quote(const std::string& word)
{
  return "'" + std::regex_replace(word, std::regex("'"), "'\\''") + "'";
}

// Runs the viewer with its output in files of dir, through the shell's exec
// so that the status seen is the viewer's own. display: null keeps the
// test's DISPLAY, "" removes it, anything else replaces it.
ViewerRun RunViewer(const fs::path& dir,
  const std::vector<std::string>& args,
  const char* display = nullptr)
{
  std::string command = "exec env ";
  command += !display ? "" : *display ? "DISPLAY=" + Quote(display) + " " : "-u DISPLAY ";
  command += Quote(ORVI_VIEWER_EXECUTABLE);
  for (const std::string& arg : args)
  {
    command += " " + Quote(arg);
  }
  command +=
    " >" + Quote((dir / "stdout.txt").string()) + " 2>" + Quote((dir / "stderr.txt").string());
  const int status = std::system(command.c_str());
  ViewerRun run;
  run.Exited = WIFEXITED(status);
  run.Code = run.Exited ? WEXITSTATUS(status) : -1;
  run.Signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  run.Out = ReadText(dir / "stdout.txt");
  run.Err = ReadText(dir / "stderr.txt");
  return run;
}

// Runs a script with the default mesh in a 640 x 480 window; screenshots go
// to dir.
ViewerRun RunScript(const fs::path& dir,
  const std::string& script,
  std::vector<std::string> args = {})
{
  WriteText(dir / "script.txt", script);
  std::vector<std::string> all = { "--size",
    std::to_string(W),
    std::to_string(H),
    "--script",
    (dir / "script.txt").string(),
    "--out",
    dir.string() };
  all.insert(all.end(), args.begin(), args.end());
  return RunViewer(dir, all);
}

#define EXPECT_CLEAN_RUN(run)                                                                      \
  do                                                                                               \
  {                                                                                                \
    EXPECT_TRUE((run).Exited) << "signal " << (run).Signal;                                        \
    EXPECT_EQ((run).Code, 0) << (run).Err;                                                         \
  } while (false)

//------------------------------------------------------------------------------
// Reading the screenshots. Pixel (0, 0) is the lower left corner, as for the
// script's coordinates.
struct Rgb
{
  int R, G, B;
};

struct Image
{
  int Width = 0, Height = 0;
  std::vector<Rgb> Pixels;
  const Rgb& At(int x, int y) const { return this->Pixels[static_cast<size_t>(y) * Width + x]; }
  bool Empty() const { return this->Pixels.empty(); }
};

Image ReadPng(const fs::path& path)
{
  Image image;
  if (!fs::exists(path))
  {
    ADD_FAILURE() << "no screenshot " << path;
    return image;
  }
  // PNG or JPEG, by the file's contents.
  vtkSmartPointer<vtkImageReader2> reader;
  reader.TakeReference(vtkImageReader2Factory::CreateImageReader2(path.string().c_str()));
  if (!reader)
  {
    ADD_FAILURE() << "not an image: " << path;
    return image;
  }
  reader->SetFileName(path.string().c_str());
  reader->Update();
  vtkImageData* data = reader->GetOutput();
  const int* dims = data->GetDimensions();
  const int comps = data->GetNumberOfScalarComponents();
  if (comps < 3 || data->GetScalarType() != VTK_UNSIGNED_CHAR)
  {
    ADD_FAILURE() << "unexpected PNG layout in " << path;
    return image;
  }
  image.Width = dims[0];
  image.Height = dims[1];
  const auto* p = static_cast<unsigned char*>(data->GetScalarPointer());
  image.Pixels.resize(static_cast<size_t>(dims[0]) * dims[1]);
  for (size_t i = 0; i < image.Pixels.size(); ++i, p += comps)
  {
    image.Pixels[i] = { p[0], p[1], p[2] };
  }
  return image;
}

bool IsMagenta(const Rgb& c)
{
  return c.R >= 250 && c.G <= 5 && c.B >= 250;
}

struct Region
{
  long Count = 0;
  double X = 0, Y = 0; // centroid
  int X0 = 1 << 30, Y0 = 1 << 30, X1 = -1, Y1 = -1;
};

template <typename Pred>
Region Find(const Image& image, Pred pred, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1)
{
  Region r;
  x1 = x1 < 0 ? image.Width - 1 : std::min(x1, image.Width - 1);
  y1 = y1 < 0 ? image.Height - 1 : std::min(y1, image.Height - 1);
  for (int y = std::max(0, y0); y <= y1; ++y)
  {
    for (int x = std::max(0, x0); x <= x1; ++x)
    {
      if (pred(image.At(x, y), x, y))
      {
        ++r.Count;
        r.X += x;
        r.Y += y;
        r.X0 = std::min(r.X0, x);
        r.Y0 = std::min(r.Y0, y);
        r.X1 = std::max(r.X1, x);
        r.Y1 = std::max(r.Y1, y);
      }
    }
  }
  if (r.Count > 0)
  {
    r.X /= r.Count;
    r.Y /= r.Count;
  }
  return r;
}

// The legend bar's saturated end in the right fifth of the picture: red (the
// maximum) or blue (the minimum).
Region BarEnd(const Image& image, bool red)
{
  return Find(
    image,
    [red](const Rgb& c, int, int)
    {
      const int lit = red ? c.R : c.B;
      const int unlit = red ? c.B : c.R;
      return lit >= 245 && unlit <= 10 && c.G <= 10;
    },
    image.Width * 8 / 10);
}

bool Differs(const Rgb& a, const Rgb& b, int threshold)
{
  return std::abs(a.R - b.R) > threshold || std::abs(a.G - b.G) > threshold ||
    std::abs(a.B - b.B) > threshold;
}

double FractionDiffering(const Image& a, const Image& b, int threshold = 24)
{
  if (a.Empty() || a.Width != b.Width || a.Height != b.Height)
  {
    ADD_FAILURE() << "images of different sizes";
    return 0.0;
  }
  long n = 0;
  for (size_t i = 0; i < a.Pixels.size(); ++i)
  {
    n += Differs(a.Pixels[i], b.Pixels[i], threshold) ? 1 : 0;
  }
  return static_cast<double>(n) / static_cast<double>(a.Pixels.size());
}

// Hue in [0, 1) of a saturated colour, -1 for a grey.
double Hue(const Rgb& c)
{
  double hsv[3];
  vtkMath::RGBToHSV(c.R / 255.0, c.G / 255.0, c.B / 255.0, hsv, hsv + 1, hsv + 2);
  return hsv[1] < 1e-6 ? -1.0 : hsv[0];
}

//------------------------------------------------------------------------------
// The viewer in this process, as main() builds it, with the host interactor
// (no event loop of its own): the tests call it directly.
bool Parse(std::vector<std::string> words, orvi::ViewerOptions& options, std::string& error)
{
  words.insert(words.begin(), "orvi-viewer");
  std::vector<char*> argv;
  for (std::string& word : words)
  {
    argv.push_back(word.data());
  }
  return orvi::ParseViewerOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

std::unique_ptr<orvi::Viewer> OpenViewer(const std::vector<std::string>& args, std::ostream& log)
{
  orvi::ViewerOptions options;
  std::string error;
  EXPECT_TRUE(Parse(args, options, error)) << error;
  options.Width = W;
  options.Height = H;
  options.Script = "(test)";
  std::vector<orvi::NamedMesh> meshes;
  for (const std::string& file : options.MeshFiles)
  {
    meshes.push_back({ file, orvi::LoadMesh(file, log, error) });
  }
  if (meshes.empty())
  {
    meshes.push_back({ "generated", orvi::MakeDefaultMesh(error) });
  }
  auto viewer = std::make_unique<orvi::Viewer>(options, log);
  EXPECT_TRUE(viewer->SetMeshes(meshes, error)) << error;
  viewer->Render();
  return viewer;
}

Image Shot(orvi::Viewer& viewer, const fs::path& path)
{
  std::string error;
  EXPECT_TRUE(viewer.Screenshot(path.string(), true, error)) << error;
  return ReadPng(path);
}

// The generated default mesh has this many cells.
constexpr long DefaultMeshCells = 21504;

//==============================================================================
TEST(OrviViewer, PickHighlightsTheRectangleVisibleAndThrough)
{
  const fs::path dir = TestDir();
  const int x0 = 290, y0 = 200, x1 = 350, y1 = 260;
  std::vector<vtkIdType> picks[2];
  const char* modes[2] = { "visible", "through" };
  for (int m = 0; m < 2; ++m)
  {
    SCOPED_TRACE(modes[m]);
    std::ostringstream log;
    const auto viewer = OpenViewer({ "--pick", modes[m] }, log);
    const Image before = Shot(*viewer, dir / "before.png");
    EXPECT_GT(viewer->PickRectangle(x0, y0, x1, y1), 0);
    const Image picked = Shot(*viewer, dir / "picked.png");
    picks[m] = viewer->GetPickedCells();
    ASSERT_FALSE(picks[m].empty());
    EXPECT_LT(picks[m].back(), DefaultMeshCells);

    ASSERT_FALSE(before.Empty() || picked.Empty());
    EXPECT_EQ(Find(before, [](const Rgb& c, int, int) { return IsMagenta(c); }).Count, 0);

    // The rectangle itself is covered: whole cells are highlighted, so the
    // highlight reaches a little past it (a cell is under 15 pixels here),
    // and nothing far from it is.
    // The edges are drawn over the highlight: count magenta or edge pixels.
    const long area = static_cast<long>(x1 - x0 + 1) * (y1 - y0 + 1);
    const Region inside = Find(
      picked,
      [](const Rgb& c, int, int) { return IsMagenta(c) || c.R + c.G + c.B < 150; },
      x0,
      y0,
      x1,
      y1);
    EXPECT_GT(inside.Count, area * 95 / 100);
    const Region highlight = Find(picked, [](const Rgb& c, int, int) { return IsMagenta(c); });
    EXPECT_GT(highlight.Count, area * 2 / 3);
    EXPECT_LE(highlight.X0, x0 + 2);
    EXPECT_GE(highlight.X1, x1 - 2);
    EXPECT_LE(highlight.Y0, y0 + 2);
    EXPECT_GE(highlight.Y1, y1 - 2);
    const int margin = 30;
    const Region far = Find(picked,
      [&](const Rgb& c, int x, int y)
      {
        return IsMagenta(c) &&
          (x < x0 - margin || x > x1 + margin || y < y0 - margin || y > y1 + margin);
      });
    EXPECT_EQ(far.Count, 0) << "magenta at " << far.X0 << " " << far.Y0;
  }
  // Through the model reaches the far side of the closed surface as well.
  EXPECT_GT(picks[1].size(), picks[0].size());
  EXPECT_TRUE(std::includes(picks[1].begin(), picks[1].end(), picks[0].begin(), picks[0].end()));
}

//==============================================================================
TEST(OrviViewer, BoxZoomEnlargesThePickedRegionAndDrawsTheBand)
{
  const fs::path dir = TestDir();
  const ViewerRun run = RunScript(dir,
    "pick 305 225 335 255\n"
    "screenshot before\n"
    "boxzoom 5 5 40 40\n"
    "screenshot background-band\n"
    "boxzoom 260 180 380 300 snap band\n"
    "screenshot after\n");
  EXPECT_CLEAN_RUN(run);
  const Image before = ReadPng(dir / "before.png");
  const Image background = ReadPng(dir / "background-band.png");
  const Image band = ReadPng(dir / "band.png");
  const Image after = ReadPng(dir / "after.png");
  ASSERT_FALSE(before.Empty() || background.Empty() || band.Empty() || after.Empty());

  // A band over the background finds nothing to zoom onto: the view stays.
  EXPECT_EQ(FractionDiffering(before, background, 0), 0.0);

  // While the button is held the band is drawn into the pixels: the only
  // changes are on the rectangle's outline, and they run all around it.
  const Region changed =
    Find(band, [&](const Rgb& c, int x, int y) { return Differs(c, before.At(x, y), 24); });
  const Region offOutline = Find(band,
    [&](const Rgb& c, int x, int y)
    {
      const bool nearX = std::abs(x - 260) <= 2 || std::abs(x - 380) <= 2;
      const bool nearY = std::abs(y - 180) <= 2 || std::abs(y - 300) <= 2;
      const bool onOutline = (nearX && y >= 178 && y <= 302) || (nearY && x >= 258 && x <= 382);
      return !onOutline && Differs(c, before.At(x, y), 24);
    });
  EXPECT_EQ(offOutline.Count, 0) << "change at " << offOutline.X0 << " " << offOutline.Y0;
  EXPECT_GT(changed.Count, 400); // a one-pixel outline is 480 pixels
  EXPECT_EQ(changed.X0, 260);
  EXPECT_EQ(changed.X1, 380);
  EXPECT_EQ(changed.Y0, 180);
  EXPECT_EQ(changed.Y1, 300);

  // After the zoom the picked patch, which lay in the band's middle, fills
  // much more of the window and sits near its centre.
  const auto magenta = [](const Rgb& c, int, int) { return IsMagenta(c); };
  const Region small = Find(before, magenta);
  const Region large = Find(after, magenta);
  ASSERT_GT(small.Count, 0);
  EXPECT_GT(large.Count, 6 * small.Count) << small.Count << " -> " << large.Count;
  EXPECT_LT(std::hypot(large.X - W / 2.0, large.Y - H / 2.0), 60.0);
  // The band is gone from the final image.
  EXPECT_EQ(Find(after,
              [](const Rgb& c, int x, int y)
              { return x == 260 && y > 190 && y < 290 && c.R > 200 && c.G > 200 && c.B > 200; })
              .Count,
    0);
}

//==============================================================================
TEST(OrviViewer, RotationMovesTheImageAndShowsTheMarker)
{
  const fs::path dir = TestDir();
  const ViewerRun run = RunScript(dir,
    "screenshot start\n"
    "centre 320 240\n"
    "rotate 100 40 snap rotating\n"
    "screenshot rotated\n",
    { "--nav", "mervo" });
  EXPECT_CLEAN_RUN(run);
  EXPECT_NE(run.Out.find("rotation centre "), std::string::npos) << run.Out;
  const Image start = ReadPng(dir / "start.png");
  const Image rotating = ReadPng(dir / "rotating.png");
  const Image rotated = ReadPng(dir / "rotated.png");
  ASSERT_FALSE(start.Empty() || rotating.Empty() || rotated.Empty());

  EXPECT_GT(FractionDiffering(start, rotated), 0.15);

  // The snap and the image after the release show the same view; what only
  // the snap has is the red marker sphere on the centre, which rotating
  // about it keeps where it was clicked.
  const Region marker =
    Find(rotating, [&](const Rgb& c, int x, int y) { return Differs(c, rotated.At(x, y), 40); });
  ASSERT_GT(marker.Count, 30);
  EXPECT_LT(std::hypot(marker.X - 320, marker.Y - 240), 25.0);
  EXPECT_LT(marker.X1 - marker.X0, 60);
  EXPECT_LT(marker.Y1 - marker.Y0, 60);
  const Region reddish = Find(rotating,
    [&](const Rgb& c, int x, int y)
    { return Differs(c, rotated.At(x, y), 40) && c.R > c.G + 60 && c.R > c.B + 60; });
  EXPECT_GT(reddish.Count, marker.Count * 3 / 4);
}

//==============================================================================
// Every convention replays the same script; what it has no gesture for is
// reported and skipped.
class OrviViewerConvention : public ::testing::TestWithParam<const char*>
{
};

TEST_P(OrviViewerConvention, RunsTheCommonScript)
{
  const std::string nav = GetParam();
  const fs::path dir = TestDir();
  const ViewerRun run = RunScript(dir,
    "screenshot start\n"
    "centre 320 240\n"
    "rotate 100 40\n"
    "screenshot rotated\n"
    "pick 300 220 340 260\n"
    "pan 30 20\n"
    "dolly 30\n"
    "boxzoom 260 180 380 300\n"
    "fly 320 240\n"
    "screenshot moved\n"
    "tdx 0 0 0 20 0 1 0\n"
    "screenshot twisted\n"
    "tdx 0 0 -60 0 0 0 0\n"
    "screenshot pushed\n",
    { "--nav", nav });
  EXPECT_CLEAN_RUN(run);
  EXPECT_TRUE(run.Err.empty()) << run.Err;
  EXPECT_NE(run.Out.find("navigation: " + nav + "\n"), std::string::npos);

  const bool mervo = nav == "mervo";
  const bool catiaLike = nav == "catia" || nav == "style-catia";
  const std::string skipped = "' has no gesture in the " + nav + " convention; skipped";
  EXPECT_EQ(run.Out.find("line 2: 'centre" + skipped) != std::string::npos, !mervo);
  EXPECT_EQ(run.Out.find("line 8: 'boxzoom" + skipped) != std::string::npos, catiaLike);
  EXPECT_EQ(run.Out.find("line 4: 'rotate" + skipped), std::string::npos);
  EXPECT_EQ(run.Out.find("line 5: 'pick" + skipped), std::string::npos);

  EXPECT_TRUE(std::regex_search(run.Out, std::regex("picked [1-9][0-9]* cells, mesh cell ids")))
    << run.Out;

  const Image start = ReadPng(dir / "start.png"), rotated = ReadPng(dir / "rotated.png");
  const Image moved = ReadPng(dir / "moved.png"), twisted = ReadPng(dir / "twisted.png");
  const Image pushed = ReadPng(dir / "pushed.png");
  ASSERT_FALSE(start.Empty() || rotated.Empty() || moved.Empty() || twisted.Empty());
  EXPECT_GT(FractionDiffering(start, rotated), 0.10);
  EXPECT_GT(FractionDiffering(rotated, moved), 0.10);
  // The 3D mouse: a twist about y, then a push along z.
  EXPECT_GT(FractionDiffering(moved, twisted), 0.05);
  EXPECT_GT(FractionDiffering(twisted, pushed), 0.05);
}

INSTANTIATE_TEST_SUITE_P(OrviViewer,
  OrviViewerConvention,
  ::testing::Values("mervo", "catia", "style-mervo", "style-catia"),
  [](const ::testing::TestParamInfo<const char*>& info)
  {
    std::string name = info.param;
    name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
    return name;
  });

//==============================================================================
vtkSmartPointer<vtkPolyData> MakeSphere();
vtkSmartPointer<vtkUnstructuredGrid> MakeGrid();

struct BadCase
{
  std::string What;
  std::vector<std::string> Args;
  std::string Message; // on stderr
};

ViewerRun ExpectRefused(const fs::path& dir, const BadCase& c)
{
  SCOPED_TRACE(c.What);
  const ViewerRun run = RunViewer(dir, c.Args);
  EXPECT_TRUE(run.Exited) << "killed by signal " << run.Signal;
  EXPECT_EQ(run.Code, 1);
  EXPECT_NE(run.Err.find(c.Message), std::string::npos) << "stderr: " << run.Err;
  EXPECT_EQ(run.Out.find("wrote "), std::string::npos) << run.Out;
  return run;
}

std::string Garbage(size_t size, unsigned seed)
{
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& b : bytes)
  {
    b = static_cast<char>(random() & 0xff);
  }
  return bytes;
}

TEST(OrviViewer, BadMeshFilesAreRefused)
{
  const fs::path dir = TestDir();
  // Each file, and what follows "cannot read '<file>'" in the error.
  std::vector<std::pair<fs::path, std::string>> cases = { { dir / "missing.vtu", "" } };
  unsigned seed = 1;
  for (const char* ext : { ".vtu", ".vtp", ".vtk", ".stl", ".obj", ".ply" })
  {
    const fs::path file = dir / (std::string("garbage") + ext);
    WriteText(file, Garbage(5000, seed++));
    cases.push_back({ file, std::string(": not a valid ") + ext + " mesh" });
    WriteText(dir / (std::string("empty") + ext), "");
    cases.push_back({ dir / (std::string("empty") + ext), "" });
  }
  // A binary STL of NaN coordinates has the right length for its count.
  WriteText(
    dir / "nan.stl", std::string(80, 'x') + std::string("\x01\0\0\0", 4) + std::string(50, '\xff'));
  cases.push_back({ dir / "nan.stl", "" });
  WriteText(dir / "mesh.xyz", "1 2 3\n");
  cases.push_back({ dir / "mesh.xyz", "" });

  // Damaged files that crashed a reader or the surface extraction, aborted
  // on an allocation, or showed an empty view: each is refused with a
  // message of its own.
  const auto legacy = [](const std::string& points, const std::string& cells)
  {
    return "# vtk DataFile Version 4.2\nbad\nASCII\nDATASET UNSTRUCTURED_GRID\nPOINTS " + points +
      "\nCELLS " + cells + "\n";
  };
  const std::string corners = "4 double\n0 0 0 1 0 0 0 1 0 0 0 1";
  const auto tetras = [&](const std::string& lastId, const std::string& lastType)
  {
    return legacy(corners, "2 10\n4 0 1 2 3\n4 0 1 2 " + lastId + "\nCELL_TYPES 2\n10 " + lastType);
  };
  const auto xml = [](const std::string& points, const std::string& cells)
  {
    return "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" header_type=\"UInt64\">\n"
           "<UnstructuredGrid><Piece NumberOfPoints=\"" +
      points +
      "\" NumberOfCells=\"1\">\n"
      "<Points><DataArray type=\"Float64\" NumberOfComponents=\"3\" format=\"ascii\">\n"
      "0 0 0 1 0 0 0 1 0 0 0 1</DataArray></Points>\n<Cells>\n" +
      cells + "</Cells>\n</Piece></UnstructuredGrid>\n</VTKFile>\n";
  };
  const auto array = [](const std::string& name, const std::string& values)
  {
    return "<DataArray type=\"Int64\" Name=\"" + name + "\" format=\"ascii\">" + values +
      "</DataArray>\n";
  };
  const std::string tetra = array("connectivity", "0 1 2 3") + array("offsets", "4");
  const std::string types = "<DataArray type=\"UInt8\" Name=\"types\" format=\"ascii\">";
  // Files written by VTK's writers, cut inside their cells.
  const auto written =
    [&](auto writer, vtkDataObject* data, const std::string& name, const std::string& mark)
  {
    const fs::path file = dir / ("whole-" + name);
    writer->SetInputData(data);
    writer->SetFileName(file.string().c_str());
    writer->Write();
    const std::string bytes = ReadText(file);
    return bytes.substr(0, std::min(bytes.size(), bytes.find(mark) + mark.size() + 12));
  };
  const auto grid = MakeGrid();
  const auto sphere = MakeSphere();
  auto binaryGrid = vtkSmartPointer<vtkUnstructuredGridWriter>::New();
  binaryGrid->SetFileTypeToBinary();
  auto asciiGrid = vtkSmartPointer<vtkUnstructuredGridWriter>::New();
  asciiGrid->SetFileVersion(vtkDataWriter::VTK_LEGACY_READER_VERSION_4_2); // as gmsh writes
  auto asciiPly = vtkSmartPointer<vtkPLYWriter>::New();
  asciiPly->SetFileTypeToASCII();
  std::string stl(80, '\0');
  stl += std::string("\x00\xe1\xf5\x05", 4) + std::string(50, '\0'); // 1e8 triangles claimed
  const std::string ply = "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                          "property float y\nproperty float z\nelement face 1\n"
                          "property list uchar int vertex_indices\nend_header\n"
                          "0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n";
  struct BadFile
  {
    std::string Name, Bytes, Message; // Message: what follows "cannot read '<file>': "
  };
  const std::string invalidVtk = "not a valid .vtk mesh (";
  // clang-format off
  const std::vector<BadFile> files = {
    { "id-too-large.vtk", tetras("70000000", "10"),
      invalidVtk + "cell 1: point id 70000000 is not below the number of points (4))" },
    { "id-negative.vtk", tetras("-5", "10"), invalidVtk + "cell 1: point id -5 is negative)" },
    { "id-too-large.vtu", xml("4", array("connectivity", "0 1 2 9") + array("offsets", "4") + types + "10</DataArray>"),
      "not a valid .vtu mesh (cell 0: point id 9 is not below the number of points (4))" },
    { "polyhedron-face.vtu", xml("4", tetra + types + "42</DataArray>" +
        array("faces", "4 3 0 2 1 3 0 1 3 3 0 3 2 3 1 2 9") + array("faceoffsets", "17")),
      "not a valid .vtu mesh (cell 0: point id 9 is not below the number of points (4))" },
    { "id-too-large.ply", ply, "not a valid .ply mesh (cell 0: point id 7 is not below the number of points (3))" },
    { "id-too-large.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2 9\n",
      "not a valid .obj mesh (cell 1: point id 8 is not below the number of points (3))" },
    { "cut-binary.ply", written(vtkSmartPointer<vtkPLYWriter>::New(), sphere, "b.ply", "end_header\n"),
      "not a valid .ply mesh (the data ends early, in element 'vertex' (74 rows in the header))" },
    { "cut-ascii.ply", written(asciiPly, sphere, "a.ply", "\n3 "),
      "not a valid .ply mesh (the data ends early, in row 1 of element 'face' (144 rows in the header))" },
    { "2e10-points.vtu", xml("20000000000", tetra + types + "10</DataArray>"),
      "the file claims 20000000000 points, whose coordinates alone need 240 GB" },
    { "cut-ascii.vtk", written(asciiGrid, grid, "a.vtk", "\nCELLS"),
      invalidVtk + "Error reading ascii cell data!" },
    { "cut-binary.vtk", written(binaryGrid, grid, "b.vtk", "CONNECTIVITY vtktypeint64\n"),
      invalidVtk + "Error reading binary data!" },
    { "no-cells.vtk", legacy(corners, "0 0\nCELL_TYPES 0\n"), "nothing to draw (4 points, 0 cells)" },
    { "type-250.vtk", tetras("3", "250"), invalidVtk + "cell 1: cell type 250 is not a VTK cell type)" },
    { "nan.vtk", legacy("1 double\nnan 0 0", "1 2\n1 0\nCELL_TYPES 1\n1"), invalidVtk },
    { "1e8-triangles.stl", stl,
      "not a valid .stl mesh (its header counts 100000000 triangles but the file holds 1)" },
    { "far-point.vtk", legacy("1 double\n1e300 0 0", "1 2\n1 0\nCELL_TYPES 1\n1"),
      invalidVtk + "coordinate 1e+300 is beyond single precision" },
  };
  // clang-format on
  for (const BadFile& f : files)
  {
    WriteText(dir / f.Name, f.Bytes);
    cases.push_back({ dir / f.Name, ": " + f.Message });
  }
  for (const auto& [file, message] : cases)
  {
    std::ostringstream log;
    std::string error;
    EXPECT_FALSE(orvi::LoadMesh(file.string(), log, error)) << file;
    const std::string opening = file.extension() == ".xyz" ? "unknown extension '.xyz'"
      : file.filename() == "missing.vtu" ? "cannot open '" + file.string() + "': no such file"
                                         : "cannot read '" + file.string() + "'" + message;
    EXPECT_NE(error.find(opening), std::string::npos) << error;
  }
}

TEST(OrviViewer, MalformedScriptsAndOptionsAreRefused)
{
  const fs::path dir = TestDir();
  const std::pair<std::string, std::string> scripts[] = {
    { "spin 10 20", "line 4: unknown action 'spin'" },
    { "rotate 10", "line 4: 'rotate' needs 2 numbers" },
    { "pan 10 abc", "line 4: 'abc' is not a number" },
    { "dolly nan", "line 4: 'nan' is not a number" },
    { "fly 10 20 30", "line 4: unexpected '30'" },
    { "pick 1 2 3 4 snap x", "line 4: unexpected 'snap'" },
    { "rotate 10 20 snap", "line 4: unexpected 'snap' (only 'snap NAME' may follow)" },
    { "rotate 10 20 snap a b", "line 4: unexpected 'b'" },
    { "screenshot", "line 4: 'screenshot' needs a file name (without directories)" },
    { "screenshot ../up", "line 4: 'screenshot' needs a file name (without directories)" },
    { "rotate 1e300 0", "line 4: '1e300' is out of range" },
    { "pick 0 0 1e12 10", "line 4: '1e12' is out of range" },
    { "tdx 0 0 0 1e300 0 1 0", "line 4: '1e300' is out of range" },
    { "key rr", "line 4: 'key' needs one character" },
  };
  const fs::path file = dir / "script.txt";
  for (const auto& [line, message] : scripts)
  {
    WriteText(file, "screenshot first\n# a comment, then a blank line\n\n" + line + "\n");
    std::vector<orvi::ScriptAction> actions;
    std::string error;
    EXPECT_FALSE(orvi::ParseScript(file.string(), actions, error)) << line;
    EXPECT_NE(error.find(file.string() + " " + message), std::string::npos) << error;
  }

  const std::pair<std::vector<std::string>, std::string> options[] = {
    { { "--frobnicate" }, "unknown option --frobnicate (see --help)" },
    { { "--nav", "blender" }, "unknown navigation 'blender'" },
    { { "--pick", "all" }, "unknown pick mode 'all'" },
    { { "--edges", "sometimes" }, "unknown edge mode 'sometimes'" },
    { { "--script" }, "option --script needs a value" },
    { { "--size", "8", "8" }, "--size needs a width and a height" },
    { { "--up", "Z" }, "unknown up direction 'Z' (+X, -X, +Y, -Y, +Z or -Z)" },
    { { "--colormap", "jet" }, "unknown colour map 'jet' (rainbow, viridis" },
    { { "--range", "1", "nan" }, "--range needs two numbers MIN MAX with MIN below" },
    { { "--range", "2", "2" }, "--range needs two numbers MIN MAX with MIN below" },
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

  // On the command line: exit status 1, the message, nothing written (a
  // script is read whole before its first action runs).
  const std::string shot = (dir / "x.png").string();
  vtkNew<vtkSTLWriter> stl; // no arrays
  stl->SetInputData(MakeSphere());
  stl->SetFileName((dir / "sphere.stl").string().c_str());
  ASSERT_EQ(stl->Write(), 1);
  const std::vector<BadCase> commands = {
    { "bad script line",
      { "--script", file.string(), "--out", dir.string() },
      file.string() + " line 4: 'key' needs one character" },
    { "unknown option", { "--frobnicate" }, "unknown option --frobnicate (see --help)" },
    { "missing script",
      { "--script", (dir / "none.txt").string() },
      "cannot open script '" + (dir / "none.txt").string() + "'" },
    { "one of two meshes missing",
      { "--screenshot", (dir / "y.png").string(), "a.vtu", "b.vtu" },
      "cannot open 'a.vtu'" },
    { "colour map without an array",
      { "--colormap", "grey", "--screenshot", shot, (dir / "sphere.stl").string() },
      "--colormap and --range colour by an array, but no mesh has" },
    { "unknown array",
      { "--size", "320", "240", "--screenshot", shot, "--array", "pressure" },
      "the mesh has no point or cell array named 'pressure'" },
    { "array in the wrong data",
      { "--size", "320", "240", "--screenshot", shot, "--array", "cell:temperature" },
      "the mesh has no cell array named 'temperature'" },
    { "unwritable screenshot",
      { "--size", "320", "240", "--screenshot", (dir / "no-such-dir" / "x.png").string() },
      "cannot write screenshot" },
  };
  for (const BadCase& c : commands)
  {
    ExpectRefused(dir, c);
  }
  EXPECT_FALSE(fs::exists(dir / "first.png"));

  // Without an X server VTK's window would abort the process: the viewer
  // says so first, in every mode.
  for (const char* display : { "", ":32000" })
  {
    for (const std::vector<std::string>& args :
      { std::vector<std::string>{ "--screenshot", shot }, std::vector<std::string>{} })
    {
      SCOPED_TRACE(
        std::string("DISPLAY '") + display + "', " + std::to_string(args.size()) + " arguments");
      const ViewerRun run = RunViewer(dir, args, display);
      EXPECT_TRUE(run.Exited) << "killed by signal " << run.Signal;
      EXPECT_EQ(run.Code, 1);
      const std::string message = *display
        ? std::string("cannot connect to the X display '") + display + "'"
        : std::string("no X display (DISPLAY is not set)");
      EXPECT_NE(run.Err.find("orvi-viewer: " + message + "; every mode"), std::string::npos)
        << run.Err;
    }
  }
  EXPECT_FALSE(fs::exists(shot));
}

//==============================================================================
// Small meshes written with VTK's writers at test time.
vtkSmartPointer<vtkPolyData> MakeSphere()
{
  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(12);
  sphere->SetPhiResolution(8);
  sphere->SetRadius(2.0);
  sphere->Update();
  auto poly = vtkSmartPointer<vtkPolyData>::New();
  poly->DeepCopy(sphere->GetOutput());
  poly->GetPointData()->Initialize(); // no normals: every format keeps the points as they are
  vtkNew<vtkDoubleArray> height;
  height->SetName("height");
  for (vtkIdType i = 0; i < poly->GetNumberOfPoints(); ++i)
  {
    height->InsertNextValue(poly->GetPoint(i)[2]);
  }
  poly->GetPointData()->AddArray(height);
  return poly;
}

// Two hexahedra, a wedge on one and a tetrahedron on the other, with a
// point array "temperature" and a cell array "pressure".
vtkSmartPointer<vtkUnstructuredGrid> MakeGrid()
{
  vtkNew<vtkPoints> points;
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 3; ++i)
        points->InsertNextPoint(i, j, k);
  points->InsertNextPoint(0.5, 0.0, 1.8); // 12: wedge ridge
  points->InsertNextPoint(0.5, 1.0, 1.8); // 13
  points->InsertNextPoint(1.5, 0.5, 1.7); // 14: tetra apex
  auto grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
  grid->SetPoints(points);
  const vtkIdType hex0[8] = { 0, 1, 4, 3, 6, 7, 10, 9 };
  const vtkIdType hex1[8] = { 1, 2, 5, 4, 7, 8, 11, 10 };
  const vtkIdType wedge[6] = { 6, 7, 12, 9, 10, 13 };
  const vtkIdType tetra[4] = { 7, 8, 11, 14 };
  grid->InsertNextCell(VTK_HEXAHEDRON, 8, hex0);
  grid->InsertNextCell(VTK_HEXAHEDRON, 8, hex1);
  grid->InsertNextCell(VTK_WEDGE, 6, wedge);
  grid->InsertNextCell(VTK_TETRA, 4, tetra);
  vtkNew<vtkDoubleArray> temperature;
  temperature->SetName("temperature");
  for (vtkIdType i = 0; i < points->GetNumberOfPoints(); ++i)
  {
    temperature->InsertNextValue(10.0 * points->GetPoint(i)[0]);
  }
  grid->GetPointData()->SetScalars(temperature);
  vtkNew<vtkDoubleArray> pressure;
  pressure->SetName("pressure");
  for (double p : { 1.0, 2.0, 3.0, 4.0 })
  {
    pressure->InsertNextValue(p);
  }
  grid->GetCellData()->AddArray(pressure);
  return grid;
}

TEST(OrviViewer, LoadsMeshesWrittenByVtk)
{
  const fs::path dir = TestDir();
  const auto sphere = MakeSphere();
  const auto grid = MakeGrid();
  const std::string sphereCounts = "loaded " + std::to_string(sphere->GetNumberOfPoints()) +
    " points and " + std::to_string(sphere->GetNumberOfCells()) + " cells";
  const std::string gridCounts = "loaded " + std::to_string(grid->GetNumberOfPoints()) +
    " points and " + std::to_string(grid->GetNumberOfCells()) + " cells";

  const auto write = [&](auto writer, vtkDataObject* data, const std::string& name)
  {
    const std::string path = (dir / name).string();
    writer->SetInputData(data);
    writer->SetFileName(path.c_str());
    EXPECT_EQ(writer->Write(), 1) << name;
    return path;
  };
  struct Case
  {
    std::string File, Counts, Colouring; // Colouring empty: no array
    std::vector<std::string> Extra;
  };
  auto ascii = vtkSmartPointer<vtkSTLWriter>::New();
  ascii->SetFileTypeToASCII();
  const std::string vtu =
    write(vtkSmartPointer<vtkXMLUnstructuredGridWriter>::New(), grid, "grid.vtu");
  const std::string obj = write(vtkSmartPointer<vtkOBJWriter>::New(), sphere, "sphere.obj");
  const std::string temperature = "colouring by point array 'temperature'";
  const std::string height = "colouring by point array 'height'";
  // VTK's OBJ reader adds a cell array of group ids, all 0 here: nothing
  // to colour by unless asked for.
  // clang-format off
  const std::vector<Case> cases = {
    { vtu, gridCounts, temperature, {} },
    { vtu, gridCounts, "colouring by cell array 'pressure'", { "--array", "pressure" } },
    { write(vtkSmartPointer<vtkUnstructuredGridWriter>::New(), grid, "grid.vtk"), gridCounts, temperature, {} },
    { write(vtkSmartPointer<vtkXMLPolyDataWriter>::New(), sphere, "sphere.vtp"), sphereCounts, height, {} },
    { write(vtkSmartPointer<vtkPolyDataWriter>::New(), sphere, "sphere.vtk"), sphereCounts, height, {} },
    { write(vtkSmartPointer<vtkSTLWriter>::New(), sphere, "sphere.stl"), sphereCounts, "", {} },
    { write(ascii, sphere, "sphere-ascii.STL"), sphereCounts, "", {} },
    { write(vtkSmartPointer<vtkPLYWriter>::New(), sphere, "sphere.ply"), sphereCounts, "", {} },
    { obj, sphereCounts, "", {} },
    { obj, sphereCounts, "colouring by cell array 'GroupIds', range 0 .. 0", { "--array", "GroupIds" } },
  };
  // clang-format on

  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.File);
    std::ostringstream log;
    std::vector<std::string> args = c.Extra;
    args.push_back(c.File);
    const auto viewer = OpenViewer(args, log);
    const std::string out = log.str();
    EXPECT_NE(out.find(c.Counts), std::string::npos) << out;
    const Image image = Shot(*viewer, dir / "shot.png");
    // The legend's blue end is there exactly when the mesh is coloured.
    const Region blue = BarEnd(image, false);
    EXPECT_EQ(out.find(c.Colouring.empty() ? "colouring by" : c.Colouring) != std::string::npos,
      !c.Colouring.empty())
      << out;
    EXPECT_EQ(blue.Count > 20, !c.Colouring.empty());
    // The mesh is in view: the window's middle is not the grey-blue
    // background (coloured or light grey surface, or dark edges).
    const Region model = Find(
      image,
      [](const Rgb& p, int, int)
      {
        const int hi = std::max({ p.R, p.G, p.B }), lo = std::min({ p.R, p.G, p.B });
        return hi - lo > 50 || lo > 150 || hi < 20;
      },
      image.Width / 2 - 10,
      image.Height / 2 - 10,
      image.Width / 2 + 10,
      image.Height / 2 + 10);
    EXPECT_GT(model.Count, 300);
  }
}

//==============================================================================
// A long array name over a narrow range: the legend's title, drawn white
// above the bar, is at least as high as a label and stays in the window.
TEST(OrviViewer, LegendTitleIsAsHighAsItsLabels)
{
  const fs::path dir = TestDir();
  const auto grid = MakeGrid();
  vtkNew<vtkDoubleArray> values;
  values->SetName("displacement_magnitude_at_nodes_step_12");
  for (vtkIdType i = 0; i < grid->GetNumberOfPoints(); ++i)
  {
    values->InsertNextValue(1201.0 + grid->GetPoint(i)[0] / 2.0);
  }
  grid->GetPointData()->SetScalars(values);
  vtkNew<vtkXMLUnstructuredGridWriter> writer;
  writer->SetInputData(grid);
  writer->SetFileName((dir / "long.vtu").string().c_str());
  ASSERT_EQ(writer->Write(), 1);
  const std::string shot = (dir / "legend.png").string();
  const ViewerRun run =
    RunViewer(dir, { "--size", "640", "480", "--screenshot", shot, (dir / "long.vtu").string() });
  EXPECT_CLEAN_RUN(run);
  const Image image = ReadPng(shot);
  ASSERT_FALSE(image.Empty());

  const Region blue = BarEnd(image, false);
  const Region red = BarEnd(image, true);
  ASSERT_GT(blue.Count, 100);
  ASSERT_GT(red.Count, 100);
  const auto white = [](const Rgb& c, int, int) { return std::min({ c.R, c.G, c.B }) >= 200; };
  // The title starts over the bar's columns; the labels are right of the bar.
  const Region title = Find(image, white, blue.X0, red.Y1 + 1, blue.X1, H - 1);
  const Region lowest = Find(image, white, blue.X1 + 1, blue.Y0 - 20, W - 1, blue.Y0 + 20);
  ASSERT_GT(title.Count, 0);
  ASSERT_GT(lowest.Count, 0);
  EXPECT_GE(title.Y1 - title.Y0, lowest.Y1 - lowest.Y0);
  EXPECT_EQ(Find(image, white, W - 2, red.Y1 + 1, W - 1, H - 1).Count, 0) << "title cut";
}

//==============================================================================
// A real tetrahedral mesh, gmsh's tutorial t5: through the model a pick
// selects the mesh's own cells, interior ones included; only what is seen
// selects the cells with a face on the surface.
TEST(OrviViewer, PickThroughAVolumeSelectsItsCells)
{
  const fs::path dir = TestDir();
  std::string why;
  const std::string mesh = orvi_test::MeshGmshTutorial("t5", dir, why);
  if (mesh.empty())
  {
    GTEST_SKIP() << why;
  }
  std::ostringstream quiet;
  const vtkIdType cells = orvi::LoadMesh(mesh, quiet, why)->GetNumberOfCells();
  std::vector<vtkIdType> whole[2];
  int middle[2];
  const char* modes[2] = { "visible", "through" };
  for (int m = 0; m < 2; ++m)
  {
    SCOPED_TRACE(modes[m]);
    const auto viewer = OpenViewer({ "--pick", modes[m], "--edges", "on", mesh }, quiet);
    viewer->PickRectangle(0, 0, W - 1, H - 1);
    whole[m] = viewer->GetPickedCells();
    middle[m] = viewer->PickRectangle(280, 200, 360, 280);

    // The highlight covers the rectangle, over a triangle surface drawn in
    // one go with its edges.
    const Image picked = Shot(*viewer, dir / "picked.png");
    const Region inside = Find(
      picked, [](const Rgb& c, int, int) { return IsMagenta(c); }, 280, 200, 360, 280);
    EXPECT_GT(inside.Count, 81 * 81 * 95 / 100);
  }
  // The whole window holds every cell; the surface shows few of them.
  ASSERT_EQ(static_cast<vtkIdType>(whole[1].size()), cells);
  EXPECT_EQ(whole[1].back(), cells - 1);
  EXPECT_GT(whole[0].size(), 0u);
  EXPECT_LT(static_cast<vtkIdType>(whole[0].size()), cells / 10);
  EXPECT_GT(middle[1], 10 * middle[0]);
  EXPECT_LT(middle[1], cells);
}

//==============================================================================
// Progress reaches a file or a pipe as it happens: a viewer still running
// has already told what it loaded.
TEST(OrviViewer, ProgressIsWrittenAsItHappens)
{
  const fs::path dir = TestDir();
  vtkNew<vtkXMLUnstructuredGridWriter> writer;
  writer->SetInputData(MakeGrid());
  writer->SetFileName((dir / "grid.vtu").string().c_str());
  writer->Write();
  const fs::path out = dir / "stdout.txt", pid = dir / "pid.txt";
  const std::string command = Quote(ORVI_VIEWER_EXECUTABLE) + " " +
    Quote((dir / "grid.vtu").string()) + " >" + Quote(out.string()) + " 2>/dev/null & echo $! >" +
    Quote(pid.string());
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string text;
  for (int i = 0; i < 300 && text.find("navigation: ") == std::string::npos; ++i)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    text = ReadText(out);
  }
  // The viewer waits for the user: end it.
  const pid_t viewer = static_cast<pid_t>(std::stol("0" + ReadText(pid)));
  ASSERT_GT(viewer, 0);
  EXPECT_EQ(kill(viewer, SIGTERM), 0);
  EXPECT_NE(text.find("  loading: 100%\nloaded 15 points and 4 cells"), std::string::npos) << text;
  EXPECT_NE(text.find("navigation: mervo\n"), std::string::npos) << text;
}

} // namespace

// --edges: on draws the mesh edges over the surface, off never; auto draws
// them while a typical cell spans enough pixels, so a dense sphere seen whole
// shows none until a box zoom brings them back.
TEST(OrviViewer, EdgesFollowTheirModeAndTheZoom)
{
  const fs::path dir = TestDir();
  const auto writeSphere = [&](int resolution, const std::string& name)
  {
    vtkNew<vtkSphereSource> sphere;
    sphere->SetThetaResolution(resolution);
    sphere->SetPhiResolution(resolution);
    sphere->SetRadius(2.0);
    vtkNew<vtkXMLPolyDataWriter> writer;
    writer->SetInputConnection(sphere->GetOutputPort());
    writer->SetFileName((dir / name).string().c_str());
    EXPECT_EQ(writer->Write(), 1);
    return (dir / name).string();
  };
  const std::string coarse = writeSphere(16, "coarse.vtp");
  const std::string dense = writeSphere(400, "dense.vtp");
  // Edge pixels (the edges' near-black) in the middle of the sphere, which
  // the surface fills in every view below.
  const auto edgePixels = [](const Image& image)
  {
    return Find(
      image,
      [](const Rgb& c, int, int) {
        return std::max({ c.R, c.G, c.B }) < 45;
      },
      W / 2 - 60,
      H / 2 - 60,
      W / 2 + 60,
      H / 2 + 60)
      .Count;
  };
  struct Case
  {
    std::string Mesh, Mode;
    bool Before, AfterZoom; // edges seen in the first screenshot, after the box zoom
  };
  const Case cases[] = {
    { coarse, "auto", true, true },
    { coarse, "off", false, false },
    { dense, "auto", false, true },
    { dense, "on", true, true },
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.Mesh + " --edges " + c.Mode);
    const ViewerRun run = RunScript(dir,
      "screenshot before\nboxzoom 290 210 350 270\nscreenshot after\n",
      { "--edges", c.Mode, c.Mesh });
    EXPECT_CLEAN_RUN(run);
    EXPECT_EQ(edgePixels(ReadPng(dir / "before.png")) > 60, c.Before);
    EXPECT_EQ(edgePixels(ReadPng(dir / "after.png")) > 60, c.AfterZoom);
  }
}

// What the colouring, view and output options change in the picture: a
// sphere of radius 2 coloured by its height z, seen alone or beside a second
// sphere from an STL file (no arrays, plain grey).
TEST(OrviViewer, ViewOptionsShowInThePicture)
{
  const fs::path dir = TestDir();
  const auto sphere = MakeSphere();
  const long cells = sphere->GetNumberOfCells();
  vtkNew<vtkXMLPolyDataWriter> vtp;
  vtp->SetInputData(sphere);
  vtp->SetFileName((dir / "sphere.vtp").string().c_str());
  ASSERT_EQ(vtp->Write(), 1);
  for (vtkIdType i = 0; i < sphere->GetNumberOfPoints(); ++i)
  {
    double p[3];
    sphere->GetPoint(i, p);
    sphere->GetPoints()->SetPoint(i, p[0] + 6.0, p[1], p[2]);
  }
  vtkNew<vtkSTLWriter> stl;
  stl->SetInputData(sphere);
  stl->SetFileName((dir / "beside.stl").string().c_str());
  ASSERT_EQ(stl->Write(), 1);
  const std::string one = (dir / "sphere.vtp").string(), two = (dir / "beside.stl").string();

  // Pixels of the left four fifths (the model; the legend is on the right).
  const auto model = [](const Image& image, auto pred)
  { return Find(image, pred, 0, 0, image.Width * 8 / 10 - 1, image.Height - 1); };
  const auto saturated = [](const Rgb& c, int, int) {
    return std::max({ c.R, c.G, c.B }) - std::min({ c.R, c.G, c.B }) > 40;
  };
  const auto hue = [&](double lo, double hi)
  {
    return [=](const Rgb& c, int x, int y)
    { return saturated(c, x, y) && Hue(c) >= lo && Hue(c) <= hi; };
  };
  using Check = std::function<void(orvi::Viewer&, const Image&)>;
  // Both ends of the legend bar (unlit) show the map's end colours.
  const auto ends = [&](const Rgb& low, const Rgb& high) -> Check
  {
    return [=](orvi::Viewer&, const Image& image)
    {
      const auto near = [](const Rgb& want)
      { return [=](const Rgb& c, int, int) { return !Differs(c, want, 3); }; };
      const Region lo = Find(image, near(low), image.Width * 8 / 10);
      const Region hi = Find(image, near(high), image.Width * 8 / 10);
      EXPECT_GT(lo.Count, 40);
      EXPECT_GT(hi.Count, 40);
      EXPECT_GT(hi.Y0, lo.Y1) << "the high end above the low end";
    };
  };
  // With z up, the sphere's top (high z: red to yellow) is above the green
  // and blue of its middle and bottom; with -z up, below them.
  const auto zUp = [&](int sign) -> Check
  {
    return [=](orvi::Viewer&, const Image& image)
    {
      const Region warm = model(image, hue(0.0, 0.17)), cold = model(image, hue(0.3, 0.7));
      ASSERT_GT(warm.Count, 400);
      ASSERT_GT(cold.Count, 400);
      EXPECT_GT(sign * (warm.Y - cold.Y), 40.0) << warm.Y << " " << cold.Y;
    };
  };
  // Up the rainbow bar's middle column the hue falls from blue through
  // cyan, green and yellow to red, never rising again.
  const Check rainbow = [&](orvi::Viewer& viewer, const Image& image)
  {
    ends({ 0, 0, 255 }, { 255, 0, 0 })(viewer, image);
    const Region blue = BarEnd(image, false), red = BarEnd(image, true);
    const int column = static_cast<int>(std::lround(blue.X));
    double last = 1.0;
    int rises = 0;
    bool green = false;
    for (int y = blue.Y0; y <= red.Y1; ++y)
    {
      const Rgb& c = image.At(column, y);
      ASSERT_GE(Hue(c), 0.0) << "grey pixel inside the bar at y " << y;
      rises += Hue(c) > last + 0.01 ? 1 : 0;
      last = Hue(c);
      green = green || (c.G >= 240 && c.R <= 40 && c.B <= 40);
    }
    EXPECT_EQ(rises, 0);
    EXPECT_TRUE(green);
  };
  const Check grey = [&](orvi::Viewer&, const Image& image)
  {
    EXPECT_EQ(Find(image, saturated).Count, 0);
    EXPECT_GT(model(image, [](const Rgb& c, int, int) { return c.R > 120; }).Count, 4000);
  };
  // Every height lies below the range: the whole sphere takes the low end.
  const Check range = [&](orvi::Viewer&, const Image& image)
  {
    EXPECT_GT(model(image, saturated).Count, 12000);
    EXPECT_EQ(model(image, saturated).Count, model(image, hue(0.64, 0.69)).Count);
  };
  const Check bare = [&](orvi::Viewer&, const Image& image)
  {
    const auto legend = [&](const Rgb& c, int x, int y) { return saturated(c, x, y) || c.B > 150; };
    EXPECT_EQ(Find(image, legend, image.Width * 8 / 10).Count, 0);
  };
  const Check jpeg = [&](orvi::Viewer& viewer, const Image&)
  {
    const Image image = Shot(viewer, dir / "shot.jpg");
    EXPECT_EQ(ReadText(dir / "shot.jpg").substr(0, 3), "\xff\xd8\xff");
    EXPECT_GT(model(image, saturated).Count, 12000);
  };
  // Both files in one scene, the coloured sphere and the grey one; a pick
  // through the whole window selects every cell of each.
  const Check both = [&](orvi::Viewer& viewer, const Image& image)
  {
    const auto lightGrey = [](const Rgb& c, int, int) {
      return std::min({ c.R, c.G, c.B }) > 110 && c.B - c.R < 40;
    };
    EXPECT_GT(model(image, saturated).Count, 4000);
    EXPECT_GT(model(image, lightGrey).Count, 4000);
    EXPECT_EQ(viewer.PickRectangle(0, 0, W - 1, H - 1), 2 * cells);
    EXPECT_EQ(viewer.GetPickedCells(1).size(), static_cast<size_t>(cells));
    EXPECT_EQ(viewer.GetPickedCells(1).back(), cells - 1);
  };
  // The key r brings back the first view after a turn.
  const Check reset = [&](orvi::Viewer& viewer, const Image& image)
  {
    viewer.GetRenderer()->GetActiveCamera()->Azimuth(40.0);
    viewer.SendKey('r');
    EXPECT_LT(FractionDiffering(Shot(viewer, dir / "reset.png"), image, 8), 0.001);
  };
  const std::pair<std::vector<std::string>, Check> cases[] = {
    { { "--up", "+Z", one }, zUp(1) },
    { { "--up", "-Z", one }, zUp(-1) },
    { { one }, rainbow },
    { { "--colormap", "viridis", one }, ends({ 68, 1, 84 }, { 253, 231, 37 }) },
    { { "--colormap", "coolwarm", one }, ends({ 59, 76, 192 }, { 180, 4, 38 }) },
    { { "--colormap", "grey", one }, grey },
    { { "--range", "5", "6", one }, range },
    { { "--no-legend", one }, bare },
    { { one }, jpeg },
    { { "--pick", "through", one, two }, both },
    { { one }, reset },
  };
  int n = 0;
  for (const auto& [args, check] : cases)
  {
    SCOPED_TRACE("case " + std::to_string(++n) + ": " + args.front());
    std::ostringstream log;
    std::vector<std::string> all = { "--edges", "off" };
    all.insert(all.end(), args.begin(), args.end());
    const auto viewer = OpenViewer(all, log);
    check(*viewer, Shot(*viewer, dir / "shot.png"));
  }
}
