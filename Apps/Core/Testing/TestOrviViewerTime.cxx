// The viewer stepping through a time series of gmsh's t5 tetrahedra written
// by VTK's XML writer (one .vtu a step): the steps the options, keys and
// verb reach, the arrays swapped into the kept surface, its picture against
// the viewer opened on that step alone, the pick's step, and the parts.
#include "orviSolverData.h"
#include "orviSurfaceMapper.h"
#include "orviTimeSeries.h"
#include "orviViewerTestUtils.h"

#include "vtkActorCollection.h"

#include <gtest/gtest.h>

namespace
{
using namespace orvi_test;

const std::vector<double> StepTimes = { 0.0, 0.5, 1.0 };

struct Series
{
  std::ostringstream Log;
  orvi::TimeSeries Steps;
  std::unique_ptr<orvi::Viewer> Viewer;
};

// The viewer on files as orvi-viewer's main() opens them: the series kept
// open at the step the options choose, the parts --parts names shown.
std::unique_ptr<Series> OpenFiles(Args args)
{
  auto series = std::make_unique<Series>();
  orvi::ViewerOptions options;
  std::string error;
  args.insert(args.begin(), { "--size", "640", "480" });
  EXPECT_TRUE(Parse(args, options, error)) << error;
  options.Script = "(test)";
  series->Steps.SetStart(options.Step, options.TimeGiven, options.Time);
  std::vector<orvi::NamedMesh> meshes;
  const auto prepare = [&](orvi::NamedMesh& mesh)
  { orvi::Viewer::PrepareMesh(mesh, options, series->Log); };
  EXPECT_TRUE(
    orvi::LoadMeshes(options.MeshFiles, series->Log, meshes, error, {}, prepare, &series->Steps))
    << error;
  series->Viewer = std::make_unique<orvi::Viewer>(options, series->Log);
  EXPECT_TRUE(series->Viewer->SetMeshes(meshes, error) &&
    (options.Parts.empty() || series->Viewer->ShowOnlyParts(options.Parts, error)))
    << error;
  series->Viewer->SetTimeSeries(&series->Steps);
  series->Viewer->Render();
  return series;
}

// gmsh's t5 as three steps of a .pvd (t5.pvd, t5_K.vtu), or null with why.
vtkSmartPointer<vtkUnstructuredGrid> WriteSteps(const std::filesystem::path& dir, std::string& why)
{
  vtkSmartPointer<vtkUnstructuredGrid> grid = GmshTetrahedra("t5", dir, why, "-3 -clscale 2");
  if (grid)
  {
    WriteTimeSeries(grid, dir, "t5", StepTimes);
  }
  return grid;
}

// The viewer on the three steps coloured by temperature.
std::unique_ptr<Series> Open(const std::filesystem::path& dir, Args args, std::string& why)
{
  if (!WriteSteps(dir, why))
  {
    return nullptr;
  }
  args.insert(args.end(), { "--array", "temperature", (dir / "t5.pvd").string() });
  return OpenFiles(args);
}

#define OPEN(var, ...)                                                                             \
  const std::filesystem::path dir = TestDir();                                                     \
  std::string why;                                                                                 \
  auto var = Open(dir, __VA_ARGS__, why);                                                          \
  if (!var)                                                                                        \
  {                                                                                                \
    GTEST_SKIP() << why;                                                                           \
  }

// Each format of parts and steps opened as the host opens it, alone or
// beside another: its parts' names, the step shown, the corner text, and
// what a pick of every cell says: each part by name, its own cell ids, the
// step.
TEST(OrviViewerTime, HostsOpenEveryFormatOfPartsAndSteps)
{
  const std::filesystem::path dir = TestDir();
  std::string why;
  vtkSmartPointer<vtkUnstructuredGrid> grid = WriteSteps(dir, why);
  if (!grid)
  {
    GTEST_SKIP() << why;
  }
  const std::string pvd = (dir / "t5.pvd").string(), vtm = WriteTwoBlocks(grid, dir, "blocks"),
                    pvtu = WritePieces(grid, dir, "pieces", 4),
                    pvtp = WritePieces(grid, dir, "skin", 3, true),
                    exodus = WriteExodus(grid, dir, "t5", { 0.25, 0.75 });
  struct Case
  {
    Args Words;
    std::vector<std::string> Parts;
    std::size_t Step;
    std::string Text;
    std::string Pick = {}; // of the whole window through the model
  };
  // The blocks' cells: the first half of t5's and the rest, each from 0.
  const vtkIdType cells = grid->GetNumberOfCells(), half = cells / 2;
  const std::string blocks = "picked " + std::to_string(cells) + " cells: " + std::to_string(half) +
    " in 'first' (cell ids 0 .. " + std::to_string(half - 1) + "), " +
    std::to_string(cells - half) + " in 'second' (cell ids 0 .. " +
    std::to_string(cells - half - 1) + ") (through, rectangle 0 0 639 479";
  const Case cases[] = {
    { { "--time", "0.7", pvd }, { pvd }, 1, "step 2 of 3, t = 0.5" },
    { { vtm }, { "first", "second" }, 0, "", blocks + ")" },
    { { pvtu }, { pvtu }, 0, "" },
    { { pvtp }, { pvtp }, 0, "" },
    { { "--step", "2", exodus },
      { "first", "second" },
      1,
      "step 2 of 2, t = 0.75",
      blocks + ", step 2 of 2, t = 0.75)" },
    // The time line of both: the .pvd's 0, 0.5, 1 and the Exodus file's
    // 0.25, 0.75; at 0.6 the one at 0.5 and the one at 0.25.
    { { "--time", "0.6", pvd, exodus, vtm },
      { pvd, "first", "second", "first", "second" },
      2,
      "step 3 of 5, t = 0.5" },
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.Words.back());
    Args words = c.Words;
    words.insert(words.begin(), { "--pick", "through" });
    auto series = OpenFiles(words);
    orvi::Viewer& viewer = *series->Viewer;
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < viewer.GetNumberOfParts(); ++i)
    {
      parts.push_back(viewer.GetPartName(i));
    }
    EXPECT_EQ(parts, c.Parts);
    EXPECT_EQ(viewer.GetStep(), c.Step);
    EXPECT_EQ(viewer.GetStepText(), c.Text);
    if (!c.Pick.empty())
    {
      viewer.PickRectangle(0, 0, 639, 479);
      // The values of the coloured quantity follow.
      EXPECT_EQ(viewer.GetLastPickSummary().substr(0, c.Pick.size()), c.Pick);
    }
  }
}

TEST(OrviViewerTime, OptionsKeysAndVerbReachTheSteps)
{
  OPEN(series, Args{ "--time", "0.7" });
  orvi::Viewer& viewer = *series->Viewer;
  EXPECT_EQ(viewer.GetStepText(), "step 2 of 3, t = 0.5");
  // Each move, from the step before it: the step shown, the surface kept.
  const std::vector<std::pair<std::string, std::size_t>> moves = {
    { "Right", 2 }, { "Right", 2 }, { "Left", 1 }, { "Home", 0 }, { "Left", 0 }, { "End", 2 }
  };
  for (const auto& [key, step] : moves)
  {
    viewer.SendKey(key);
    EXPECT_EQ(viewer.GetStep(), step) << key << "\n" << series->Log.str();
    EXPECT_TRUE(viewer.GetStepKeptSurfaces()) << key << "\n" << series->Log.str();
  }
  const std::filesystem::path script = dir / "steps.txt";
  std::ofstream(script) << "step first\nstep next\nkey End\nstep previous\nstep 1\n";
  std::vector<orvi::ScriptAction> actions;
  std::string error;
  ASSERT_TRUE(orvi::ParseScript(script.string(), actions, error)) << error;
  ASSERT_TRUE(orvi::RunScript(viewer, actions, dir.string(), series->Log, error)) << error;
  EXPECT_EQ(viewer.GetStep(), 0U);
  // The legend's range covers every step read: sin(x + t) + t for t = 0 .. 1.
  double range[2];
  ASSERT_TRUE(series->Steps.GetRange("temperature", 0, range));
  EXPECT_GT(range[1], 1.9); // only the last step reaches above 1.9
}

TEST(OrviViewerTime, RefusesWhatNoStepOrPartHas)
{
  for (const auto& [args, refusal] : std::vector<std::pair<Args, std::string>>{
         { { "--step", "0" }, "--step needs a step number from 1 (got '0')" },
         { { "--step", "2", "--time", "1" }, "--step and --time both choose" },
         { { "--time", "soon" }, "--time needs a number (got 'soon')" },
         { { "--parts", "a,,b" }, "--parts needs part names separated by commas" } })
  {
    orvi::ViewerOptions options;
    std::string error;
    EXPECT_FALSE(Parse(args, options, error));
    EXPECT_EQ(error.rfind(refusal, 0), 0U) << error;
  }
  OPEN(series, Args{ "--step", "3" });
  orvi::Viewer& viewer = *series->Viewer;
  std::string error;
  EXPECT_FALSE(viewer.ShowStep(3, error));
  EXPECT_EQ(error, "there is no step 4 (the meshes have 3)");
  const std::string pvd = (dir / "t5.pvd").string();
  EXPECT_FALSE(viewer.ShowOnlyParts({ pvd, "wing" }, error));
  EXPECT_EQ(error, "--parts: no part is named 'wing'; the parts are '" + pvd + "'");
  orvi::TimeSeries beyond;
  ASSERT_TRUE(beyond.Open({ pvd }, series->Log, error)) << error;
  beyond.SetStart(4, false, 0.0);
  std::size_t step = 0;
  EXPECT_FALSE(beyond.StartStep(step, error));
  EXPECT_EQ(error, "--step 4 is beyond the last step (there are 3)");
}

TEST(OrviViewerTime, SwappedStepDrawsAsTheStepOpenedAlone)
{
  // The step reached by swapping arrays draws as the viewer opened on its
  // file alone, coloured over the same range; the pick names the step.
  OPEN(series, Args{ "--range", "-1", "2", "--edges", "off" });
  orvi::Viewer& viewer = *series->Viewer;
  std::string error;
  const Image first = Shot(viewer, dir / "step1.png");
  auto* mapper = orvi::SurfaceMapper::SafeDownCast(
    vtkActor::SafeDownCast(viewer.GetRenderer()->GetActors()->GetItemAsObject(0))->GetMapper());
  ASSERT_TRUE(mapper && mapper->GetIndexBuilds() > 0);
  const int built = mapper->GetIndexBuilds();
  ASSERT_TRUE(viewer.ShowStep(2, error)) << error;
  ASSERT_TRUE(viewer.GetStepKeptSurfaces());
  const Image swapped = Shot(viewer, dir / "step3.png");
  // The cells did not change: their index buffers are those built before.
  EXPECT_EQ(mapper->GetIndexBuilds(), built);
  std::ostringstream log;
  auto alone = OpenViewer({ "--array",
                            "temperature",
                            "--range",
                            "-1",
                            "2",
                            "--edges",
                            "off",
                            (dir / "t5_2.vtu").string() },
    log);
  const Image fresh = Shot(*alone, dir / "alone.png", Nothing);
  EXPECT_GT(FractionDiffering(first, swapped), 0.05);
  // The corner text is the one difference.
  EXPECT_EQ(Find(fresh, ChangedFrom(swapped), { 0, 0, 639, 430 }).Count, 0);
  EXPECT_EQ(viewer.PickRectangle(300, 220, 340, 260), alone->PickRectangle(300, 220, 340, 260));
  EXPECT_EQ(viewer.GetPickedCells(), alone->GetPickedCells());
  EXPECT_NE(viewer.GetLastPickSummary().find(", step 3 of 3, t = 1)"), std::string::npos)
    << viewer.GetLastPickSummary();
  viewer.SetPartVisible(0, false);
  EXPECT_EQ(viewer.PickRectangle(300, 220, 340, 260), 0);
}

TEST(OrviViewerTime, ExodusStepSwapsArraysKeepingThePartColours)
{
  // An Exodus file's next step keeps its points (its displacement is a
  // field like any other), so it swaps arrays into the kept surfaces, the
  // --by-part colours with them: it draws as the file opened at that step.
  const std::filesystem::path dir = TestDir();
  std::string why, error;
  vtkSmartPointer<vtkUnstructuredGrid> grid = GmshTetrahedra("t5", dir, why, "-3 -clscale 2");
  if (!grid)
  {
    GTEST_SKIP() << why;
  }
  const std::string exodus = WriteExodus(grid, dir, "t5", { 0.0, 1.0 });
  auto series = OpenFiles({ "--by-part", "--edges", "off", exodus });
  ASSERT_TRUE(series->Viewer->ShowStep(1, error)) << error;
  EXPECT_TRUE(series->Viewer->GetStepKeptSurfaces());
  const Image swapped = Shot(*series->Viewer, dir / "swapped.png");
  auto alone = OpenFiles({ "--by-part", "--edges", "off", "--step", "2", exodus });
  const Image fresh = Shot(*alone->Viewer, dir / "alone.png");
  EXPECT_EQ(Find(fresh, ChangedFrom(swapped), { 0, 0, 639, 479 }).Count, 0);
}

} // namespace
