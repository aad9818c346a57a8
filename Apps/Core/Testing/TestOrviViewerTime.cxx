// The viewer stepping through a time series of gmsh's t5 tetrahedra written
// by VTK's XML writer (one .vtu a step): the steps the options, keys and
// verb reach, the arrays swapped into the kept surface, its picture against
// the viewer opened on that step alone, the pick's step, and the parts.
#include "orviSolverData.h"
#include "orviTimeSeries.h"
#include "orviViewerTestUtils.h"

#include <gtest/gtest.h>

namespace
{
using namespace orvi_test;

const std::vector<double> StepTimes = { 0.0, 0.5, 1.0 };

// The steps WriteTimeSeries() wrote, read one .vtu a step as one part.
class StepFiles : public orvi::MeshFile
{
public:
  explicit StepFiles(const std::string& pvd)
    : MeshFile(pvd, StepTimes)
  {
  }
  bool ReadStep(std::size_t step,
    std::vector<orvi::MeshPart>& parts,
    std::ostream& log,
    std::string& error,
    const std::function<void()>&,
    const std::function<void(orvi::MeshPart&)>& afterRead) override
  {
    const std::string vtu =
      this->Path.substr(0, this->Path.size() - 4) + "_" + std::to_string(step) + ".vtu";
    parts = { { "t5", orvi::LoadMesh(vtu, log, error) } };
    if (parts[0].Mesh && afterRead)
    {
      afterRead(parts[0]);
    }
    return parts[0].Mesh != nullptr;
  }
};

struct Series
{
  std::ostringstream Log;
  orvi::TimeSeries Steps;
  std::unique_ptr<orvi::Viewer> Viewer;
  std::string Pvd;
};

// The viewer on the three steps, opened as a host opens them.
std::unique_ptr<Series> Open(const std::filesystem::path& dir, Args args, std::string& why)
{
  auto series = std::make_unique<Series>();
  vtkSmartPointer<vtkUnstructuredGrid> grid = GmshTetrahedra("t5", dir, why, "-3 -clscale 2");
  if (!grid)
  {
    return nullptr;
  }
  series->Pvd = WriteTimeSeries(grid, dir, "t5", StepTimes);
  orvi::ViewerOptions options;
  std::string error;
  args.insert(args.begin(), { "--size", "640", "480", "--array", "temperature" });
  EXPECT_TRUE(Parse(args, options, error)) << error;
  options.Script = "(test)";
  series->Steps.Add(std::make_unique<StepFiles>(series->Pvd));
  series->Steps.SetStart(options.Step, options.TimeGiven, options.Time);
  std::size_t step = 0;
  std::vector<orvi::NamedMesh> meshes;
  EXPECT_TRUE(
    series->Steps.StartStep(step, error) && series->Steps.Read(step, meshes, series->Log, error))
    << error;
  series->Viewer = std::make_unique<orvi::Viewer>(options, series->Log);
  EXPECT_TRUE(series->Viewer->SetMeshes(meshes, error)) << error;
  series->Viewer->SetTimeSeries(&series->Steps);
  series->Viewer->Render();
  return series;
}

#define OPEN(var, ...)                                                                             \
  const std::filesystem::path dir = TestDir();                                                     \
  std::string why;                                                                                 \
  auto var = Open(dir, __VA_ARGS__, why);                                                          \
  if (!var)                                                                                        \
  {                                                                                                \
    GTEST_SKIP() << why;                                                                           \
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
    EXPECT_EQ(viewer.GetStep(), step) << key;
    EXPECT_TRUE(viewer.GetStepKeptSurfaces()) << key;
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
  EXPECT_FALSE(viewer.ShowOnlyParts({ "t5", "wing" }, error));
  EXPECT_EQ(error, "--parts: no part is named 'wing'; the parts are 't5'");
  orvi::TimeSeries beyond;
  beyond.Add(std::make_unique<StepFiles>(series->Pvd));
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
  ASSERT_TRUE(viewer.ShowStep(2, error)) << error;
  ASSERT_TRUE(viewer.GetStepKeptSurfaces());
  const Image swapped = Shot(viewer, dir / "step3.png");
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

} // namespace
