// orvi-viewer run as a user runs it, where the command line is what is
// tested: exit status, messages, progress while it runs, and gmsh's
// tutorials opened and written.
#include "orviViewerTestUtils.h"

#include "orviFormatTable.h"
#include "orviMeshLoader.h"

#include "vtkDataSetWriter.h"

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <set>
#include <thread>

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

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

//==============================================================================
// On the command line a refusal ends the program with exit status 1 and
// nothing written; a script is read whole before its first action runs.
TEST(OrviViewerProgram, RefusesWithAMessage)
{
  const fs::path dir = TestDir();
  const std::string script = (dir / "script.txt").string();
  std::ofstream(script) << "screenshot first\nkey rr\n";
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
    { { "--script", script, "--out", dir.string() }, script + " line 2: 'key' needs" },
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
TEST(OrviViewerProgram, ProgressIsWrittenAsItHappens)
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
// The gallery: gmsh's own tutorials, meshed at test time (small, with
// -clscale) into a binary .msh 4.1 and saved by gmsh as its .vtk export, as
// .msh 4.1 in ASCII and as .msh 2.2 in both. The program opens the .vtk as a
// user would: exit status 0 and a picture with the model in it; a few are
// compared with stored baselines. Each .msh, shown a part per physical
// group, holds the points and cells of gmsh's .vtk export of it and draws
// its picture; a pick in the middle names the group picked.
struct Tutorial
{
  const char* Name;     // the test's and the mesh's name
  const char* Geometry; // the tutorial
  const char* Options;  // gmsh's
  bool Baseline;
  const char* Picked = "picked"; // in the pick's lines
};

const Tutorial Gallery[] = {
  { "t1", "t1", "-2", true, "ids 94 .. 790 in 'My surface'" },
  { "t2", "t2", "-3", false, "The volume: " },
  { "t2_hex", "t2", "-3 -setnumber Mesh.RecombineAll 1", false },
  { "t3", "t3", "-3", true },
  { "t4", "t4", "-2", false },
  { "t5", "t5", "-3 -clscale 2", false, "volume group 10: " },
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
  // Second order: 10-node tetrahedra, 6-node triangles and 18-node prisms,
  // 20-node hexahedra and 8-node quadrangles.
  { "t5_o2", "t5", "-3 -clscale 2 -order 2", false },
  { "t3_o2", "t3", "-3 -order 2", false },
  { "t5_hex_o2",
    "t5",
    "-3 -clscale 2 -setnumber Mesh.SubdivisionAlgorithm 2 -order 2 -setnumber "
    "Mesh.SecondOrderIncomplete 1",
    false },
};

void PrintTo(const Tutorial& tutorial, std::ostream* out)
{
  *out << tutorial.Name << " (gmsh " << tutorial.Options << ")";
}

// A file shown as the program shows it with the options args, a part per
// part of the file: the picture, then a pick in the middle; the lines of
// both in log.
Image ShowFile(const std::string& file,
  const fs::path& png,
  std::ostringstream& log,
  std::vector<std::string> args = {})
{
  orvi::ViewerOptions options;
  std::string error;
  args.insert(args.begin(), { "--size", "640", "480" });
  EXPECT_TRUE(Parse(args, options, error)) << error;
  options.Script = "(test)";
  std::vector<orvi::NamedMesh> meshes;
  EXPECT_TRUE(orvi::LoadMeshes({ file }, log, meshes, error)) << error;
  orvi::Viewer viewer(options, log);
  EXPECT_TRUE(viewer.SetMeshes(meshes, error)) << error;
  viewer.Render();
  const Image picture = Shot(viewer, png);
  viewer.PickRectangle(240, 200, 400, 280);
  return picture;
}

class OrviViewerGallery : public ::testing::TestWithParam<Tutorial>
{
};

TEST_P(OrviViewerGallery, TutorialOpens)
{
  const Tutorial& tutorial = GetParam();
  const std::string name = tutorial.Name;
  const fs::path dir = fs::path(ORVI_TEST_OUTPUT_DIR) / "gallery" / name;
  fs::remove_all(dir);
  std::string why;
  const std::string msh =
    orvi_test::MeshGmshTutorial(tutorial.Geometry, dir, why, tutorial.Options, name, "msh41 -bin");
  if (msh.empty())
  {
    GTEST_SKIP() << why;
  }
  const std::string mesh = (dir / (name + ".vtk")).string();
  ASSERT_TRUE(orvi_test::SaveGmshMesh(msh, "vtk", mesh, why)) << why;
  const fs::path png = dir / (name + ".png");
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
    EXPECT_TRUE(orvi_test::MatchesBaseline(viewer->GetWindow(), "viewer-gallery-" + name));
  }
  // Each .msh against gmsh's .vtk export of that file (a 2.2 file lists an
  // element once per group it is in, and gmsh reads it so).
  const std::regex loaded("loaded [0-9]+ points and [0-9]+ cells");
  for (const std::string format : { "msh41 -bin", "msh41", "msh22", "msh22 -bin" })
  {
    SCOPED_TRACE(format);
    const std::string file =
      (dir / (name + std::regex_replace(format, std::regex("\\W"), "") + ".msh")).string();
    ASSERT_TRUE(format == "msh41 -bin" ? fs::copy_file(msh, file)
                                       : orvi_test::SaveGmshMesh(msh, format, file, why))
      << why;
    ASSERT_TRUE(orvi_test::SaveGmshMesh(file, "vtk", file + ".vtk", why)) << why;
    // The loader reads binary 4.1 itself, to exactly what gmsh's library
    // gives (points, cells, parts, names); the others go to gmsh's library,
    // as do files with parametrisations (t12, t13), periodic links (t18) or
    // partitions (t21).
    const bool own = format == "msh41 -bin" &&
      !std::set<std::string>{ "t12", "t13", "t18", "t21" }.count(tutorial.Geometry);
    EXPECT_EQ(orvi::FindMeshFormat(".msh")->CoversFile(file), own);
    const auto written = [&file](auto... setup)
    {
      std::ostringstream ignored;
      std::string error;
      vtkNew<vtkDataSetWriter> writer;
      writer->SetInputData(orvi::LoadMesh(file, ignored, error, {}, {}, setup...));
      writer->SetFileTypeToBinary();
      writer->WriteToOutputStringOn();
      EXPECT_EQ(writer->Write(), 1) << error;
      return writer->GetOutputStdString();
    };
    EXPECT_TRUE(!own || written() == written([](vtkAlgorithm*) {}));
    std::ostringstream vtkLog, log;
    const Image expected = ShowFile(file + ".vtk", file + ".vtk.png", vtkLog);
    const Image shown = ShowFile(file, file + ".png", log);
    std::smatch counts;
    const std::string vtkLines = vtkLog.str();
    ASSERT_TRUE(std::regex_search(vtkLines, counts, loaded)) << vtkLines;
    EXPECT_NE(log.str().find(counts.str()), std::string::npos) << log.str();
    EXPECT_LT(FractionDiffering(shown, expected), 0.001);
    EXPECT_NE(log.str().find(tutorial.Picked), std::string::npos) << log.str();
  }
}

INSTANTIATE_TEST_SUITE_P(Tutorials,
  OrviViewerGallery,
  ::testing::ValuesIn(Gallery),
  [](const ::testing::TestParamInfo<Tutorial>& info) { return std::string(info.param.Name); });

// --by-part: a colour per part, the legend naming the parts. t5's parts are
// its six volume groups, tagged 1 to 5 and 10 in gmsh's CellEntityIds: the
// model takes the colours those ids take as categories (without legends,
// whose width moves the model).
TEST(OrviViewerProgram, ColoursEachPartInItsOwnColour)
{
  const fs::path dir = fs::path(ORVI_TEST_OUTPUT_DIR) / "by-part";
  fs::remove_all(dir);
  std::string why;
  const std::string msh =
    orvi_test::MeshGmshTutorial("t5", dir, why, "-3 -clscale 2", "t5", "msh41 -bin");
  if (msh.empty())
  {
    GTEST_SKIP() << why;
  }
  std::ostringstream idsLog, partsLog;
  const Image ids =
    ShowFile(msh, dir / "ids.png", idsLog, { "--no-legend", "--array", "CellEntityIds" });
  const Image parts = ShowFile(msh, dir / "parts.png", partsLog, { "--no-legend", "--by-part" });
  EXPECT_NE(
    partsLog.str().find("colouring by part, 6 parts: volume group 1, volume group 2, "
                        "volume group 3, volume group 4, volume group 5, volume group 10\n"),
    std::string::npos)
    << partsLog.str();
  EXPECT_EQ(Find(parts, ChangedFrom(ids)).Count, 0);
}

//==============================================================================
// The viewer on damaged files: exit status 1 and its own lines only, never
// VTK's or gmsh's (no colour codes, no "ERR|", no "Warning: In", no "Error   :", no
// addresses).
TEST(OrviViewerProgram, PrintsOnlyItsOwnLinesOnDamagedFiles)
{
  const fs::path dir = TestDir();
  for (const char* name : { "gmsh-mesh.vtk",
         "cut-binary.vtk",
         "points-negative.vtk",
         "garbage.obj",
         "components-negative.vtu",
         "short-polygon.ply",
         "cut-binary-22.msh",
         "node-tag.msh" })
  {
    SCOPED_TRACE(name);
    const std::string shot = (dir / "x.png").string();
    const auto [code, out, err] =
      RunViewer(dir, { "--screenshot", shot, ORVI_DAMAGED_DATA_DIR "/" + std::string(name) });
    EXPECT_EQ(code, 1);
    std::istringstream in(out + err);
    std::string line;
    int refusals = 0;
    while (std::getline(in, line))
    {
      const bool refusal = line.rfind("orvi-viewer: cannot ", 0) == 0;
      EXPECT_TRUE(refusal || line.rfind("loading ", 0) == 0 || line.rfind("  loading ", 0) == 0)
        << line;
      refusals += refusal;
    }
    EXPECT_EQ(refusals, 1);
    EXPECT_FALSE(fs::exists(dir / "x.png"));
  }
}

} // namespace
