// orvi-viewer's stand-in in motion (orvi::MotionSurface), seen in the
// viewer's own window on gmsh's tutorial t5: what a frame in motion draws,
// what a still frame draws, and what picks, box zooms, flights, the rotation
// centre and screenshots see. A viewer is made to want stand-ins by asking
// its interactor for a rate no frame can keep.
#include "orviGmshMesh.h"
#include "orviMeshes.h"
#include "orviMotionSurface.h"
#include "orviPlayScript.h"
#include "orviTestUtils.h"
#include "orviViewer.h"
#include "orviViewerOptions.h"

#include "vtkCallbackCommand.h"
#include "vtkCamera.h"
#include "vtkImageData.h"
#include "vtkMervoInteractor.h"
#include "vtkPNGReader.h"
#include "vtkPNGWriter.h"
#include "vtkPointData.h"

#include <fstream>
#include <sstream>

namespace
{
namespace fs = std::filesystem;

// gmsh's tutorial t5 at gmsh's sizes (13 thousand tetrahedra, a surface
// too small for a stand-in) or at half of them (0.1 million tetrahedra),
// meshed once in the process; and a fresh directory for the test. A machine
// without gmsh skips the test.
template <bool Fine>
class T5Test : public ::testing::Test
{
protected:
  void SetUp() override
  {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    this->Dir = fs::path(ORVI_TEST_OUTPUT_DIR) / info->test_suite_name() / info->name();
    fs::remove_all(this->Dir);
    fs::create_directories(this->Dir);
    static std::string path, why;
    if (path.empty())
    {
      path = orvi_test::MeshGmshTutorial("t5",
        fs::path(ORVI_TEST_OUTPUT_DIR) / (Fine ? "t5-fine" : "t5"),
        why,
        Fine ? "-3 -clscale 0.5" : "-3");
    }
    this->Mesh = path;
    if (path.empty())
    {
      GTEST_SKIP() << why;
    }
  }

  fs::path Dir;
  std::string Mesh;
  std::string Why; // for the calls that explain a failure
};
using OrviMotionSurface = T5Test<true>;
using OrviMotionSurfaceSmall = T5Test<false>;

// The viewer as main() builds it for a script, 640 x 480, edges on.
// `rate`: the interactor's DesiredUpdateRate (0 leaves the viewer's).
std::unique_ptr<orvi::Viewer> OpenViewer(const std::string& mesh,
  const std::string& nav,
  double rate,
  std::ostream& log)
{
  orvi::ViewerOptions options;
  std::string error;
  std::vector<std::string> words = {
    "orvi-viewer", "--size", "640", "480", "--nav", nav, "--edges", "on", "--elevation", mesh
  };
  std::vector<char*> argv;
  for (std::string& w : words)
  {
    argv.push_back(w.data());
  }
  EXPECT_TRUE(orvi::ParseViewerOptions(static_cast<int>(argv.size()), argv.data(), options, error))
    << error;
  options.Script = "(test)";
  std::vector<orvi::NamedMesh> meshes;
  if (!orvi::LoadMeshes({ mesh }, log, meshes, error))
  {
    ADD_FAILURE() << error;
    return nullptr;
  }
  auto viewer = std::make_unique<orvi::Viewer>(options, log);
  EXPECT_TRUE(viewer->SetMeshes(meshes, error)) << error;
  if (rate > 0.0)
  {
    viewer->GetInteractor()->SetDesiredUpdateRate(rate);
  }
  viewer->Render(); // the first frame is not measured
  viewer->Render();
  viewer->GetMotion().WaitForStandIns();
  return viewer;
}

constexpr auto Play = orvi_test::PlayScript;

// Counts the frames that drew stand-ins and keeps the last one's pixels.
struct StandInFrames
{
  explicit StandInFrames(orvi::Viewer& viewer)
    : Viewer(viewer)
  {
    this->Command->SetClientData(this);
    this->Command->SetCallback(
      [](vtkObject*, unsigned long, void* self, void*)
      {
        auto* frames = static_cast<StandInFrames*>(self);
        if (frames->Viewer.GetMotion().DrewStandIns())
        {
          ++frames->Count;
          frames->Last = std::make_unique<orvi_test::Frame>(frames->Viewer.GetWindow());
        }
      });
    viewer.GetWindow()->AddObserver(vtkCommand::EndEvent, this->Command);
  }
  ~StandInFrames() { this->Viewer.GetWindow()->RemoveObserver(this->Command); }
  StandInFrames(const StandInFrames&) = delete;
  StandInFrames& operator=(const StandInFrames&) = delete;

  orvi::Viewer& Viewer;
  vtkNew<vtkCallbackCommand> Command;
  int Count = 0;
  std::unique_ptr<orvi_test::Frame> Last;
};

// The pixels two frames differ in.
int Differing(const orvi_test::Frame& a, const orvi_test::Frame& b)
{
  return a.Count([&b](const std::array<int, 3>& c, int x, int y) { return c != b.At(x, y); });
}

// The window as it is now, against a fresh render of the full surface.
int DifferingFromFreshRender(orvi::Viewer& viewer)
{
  const orvi_test::Frame shown(viewer.GetWindow());
  viewer.GetMotion().RenderFull(true);
  return Differing(shown, orvi_test::Frame(viewer.GetWindow()));
}

// A frame into a PNG file, to be looked at.
void WritePng(const orvi_test::Frame& frame, const fs::path& path)
{
  vtkNew<vtkImageData> image;
  image->SetDimensions(frame.Width, frame.Height, 1);
  image->GetPointData()->SetScalars(frame.Data);
  vtkNew<vtkPNGWriter> writer;
  writer->SetInputData(image);
  writer->SetFileName(path.string().c_str());
  writer->Write();
}

std::vector<unsigned char> PngPixels(const fs::path& path)
{
  vtkNew<vtkPNGReader> reader;
  reader->SetFileName(path.string().c_str());
  reader->Update();
  const auto* p = static_cast<unsigned char*>(reader->GetOutput()->GetScalarPointer());
  const size_t n = reader->GetOutput()->GetNumberOfPoints() *
    static_cast<size_t>(reader->GetOutput()->GetNumberOfScalarComponents());
  return p ? std::vector<unsigned char>(p, p + n) : std::vector<unsigned char>();
}

const char* const Conventions[] = { "mervo", "catia", "style-mervo", "style-catia" };
} // namespace

//==============================================================================
// At the viewer's rate (20 frames a second) a mesh whose full frame fits is
// never decimated: no stand-in is built, a frame in a drag is the full
// surface pixel for pixel.
TEST_F(OrviMotionSurfaceSmall, SmallMeshIsNeverDecimated)
{
  const fs::path& dir = this->Dir;
  const std::string& mesh = this->Mesh;
  std::ostringstream log;
  for (const char* nav : Conventions)
  {
    SCOPED_TRACE(nav);
    const auto viewer = OpenViewer(mesh, nav, 0.0, log);
    ASSERT_TRUE(viewer);
    ASSERT_GT(viewer->GetMotion().GetFullFrameSeconds(), 0.0);
    StandInFrames frames(*viewer);
    Play(*viewer, dir, "rotate 90 40\ntdx 0 0 0 40 0 1 0\n", log);
    EXPECT_EQ(frames.Count, 0);
    EXPECT_EQ(viewer->GetMotion().GetStandInTriangles(0), 0);
    EXPECT_EQ(DifferingFromFreshRender(*viewer), 0);
  }
}

//==============================================================================
// In every convention and with the 3D mouse, a viewer that wants stand-ins
// draws them while the view moves: a frame in motion differs from the full
// surface; the still frame after the drag equals a fresh render pixel for
// pixel.
TEST_F(OrviMotionSurface, StandInInMotionFullSurfaceWhenStill)
{
  const fs::path& dir = this->Dir;
  const std::string& mesh = this->Mesh;
  std::string& why = this->Why;
  std::ostringstream log;
  struct Case
  {
    const char* Script;
    bool StillAfter; // the script's end leaves a still frame on screen
  };
  const Case cases[] = { { "rotate 120 50\n", true },
    { "pan 60 -40\n", true },
    { "dolly 50\n", true },
    { "tdx 0 0 0 40 0 1 0\n", false } };
  for (const char* nav : Conventions)
  {
    const auto viewer = OpenViewer(mesh, nav, 1.0e4, log);
    ASSERT_TRUE(viewer);
    const vtkIdType full = viewer->GetMotion().GetStandInTriangles(0);
    ASSERT_GT(full, 0) << nav;
    for (const Case& c : cases)
    {
      SCOPED_TRACE(std::string(nav) + ": " + c.Script);
      StandInFrames frames(*viewer);
      Play(*viewer, dir, c.Script, log);
      ASSERT_GT(frames.Count, 0);
      // The last frame in motion, against the full surface at its camera
      // (a rotation, pan or dolly does not move the camera on release).
      const orvi_test::Frame& standIn = *frames.Last;
      WritePng(standIn, dir / (std::string(nav) + "-" + c.Script[0] + "-stand-in.png"));
      if (c.StillAfter)
      {
        EXPECT_FALSE(viewer->GetMotion().DrewStandIns());
        const orvi_test::Frame still(viewer->GetWindow());
        EXPECT_GT(Differing(standIn, still), 500);
        EXPECT_EQ(DifferingFromFreshRender(*viewer), 0);
      }
      else
      {
        // The 3D mouse's still frame comes when its reports stop, on a timer
        // this host interactor does not run; a screenshot draws the full
        // surface meanwhile.
        EXPECT_TRUE(viewer->GetMotion().DrewStandIns());
        ASSERT_TRUE(viewer->Screenshot((dir / "tdx.png").string(), false, why)) << why;
        const orvi_test::Frame shot(viewer->GetWindow());
        EXPECT_GT(Differing(standIn, shot), 500);
        EXPECT_EQ(DifferingFromFreshRender(*viewer), 0);
      }
    }
  }
}

//==============================================================================
// The same session in a viewer with stand-ins in every motion (3D-mouse
// reports left hanging before each step, so that the step starts while the
// view is in motion) and in one without any: the same cells picked, the
// same cameras after box zoom and flight, the same rotation centre, the same
// screenshots, one of them taken in the middle of a drag.
TEST_F(OrviMotionSurface, StandInNeverReachesPicksZoomsFlightsOrScreenshots)
{
  const fs::path& dir = this->Dir;
  const std::string& mesh = this->Mesh;
  const std::string nudge = "tdx 0 0 0 10 0 1 0\n";
  const std::string script = nudge + "pick 250 180 390 300\n" + nudge + "centre 330 250\n" + nudge +
    "rotate 80 30 snap dragging\n" + nudge + "boxzoom 220 160 420 320\n" + nudge + "fly 300 260\n" +
    nudge + "screenshot end\n";
  struct Run
  {
    std::unique_ptr<orvi::Viewer> Viewer;
    std::vector<vtkIdType> Picked;
    std::array<double, 3> Position, FocalPoint, Centre;
    int StandIns = 0;
  };
  Run runs[2];
  std::ostringstream log;
  for (int withStandIns = 0; withStandIns < 2; ++withStandIns)
  {
    Run& run = runs[withStandIns];
    // Without: the rate is one no full frame misses.
    run.Viewer = OpenViewer(mesh, "mervo", withStandIns ? 1.0e4 : 1.0e-3, log);
    ASSERT_TRUE(run.Viewer);
    ASSERT_EQ(run.Viewer->GetMotion().GetStandInTriangles(0) > 0, withStandIns == 1);
    StandInFrames frames(*run.Viewer);
    fs::create_directories(dir / std::to_string(withStandIns));
    Play(*run.Viewer, dir / std::to_string(withStandIns), script, log);
    run.StandIns = frames.Count;
    run.Picked = run.Viewer->GetPickedCells();
    vtkCamera* camera = run.Viewer->GetRenderer()->GetActiveCamera();
    camera->GetPosition(run.Position.data());
    camera->GetFocalPoint(run.FocalPoint.data());
    const double* c = run.Viewer->GetMervo()->GetRotationCenter();
    run.Centre = { c[0], c[1], c[2] };
  }
  EXPECT_EQ(runs[0].StandIns, 0);
  EXPECT_GT(runs[1].StandIns, 10);
  EXPECT_GT(runs[0].Picked.size(), 20u);
  EXPECT_EQ(runs[1].Picked, runs[0].Picked);
  for (int i = 0; i < 3; ++i)
  {
    EXPECT_DOUBLE_EQ(runs[1].Position[i], runs[0].Position[i]) << i;
    EXPECT_DOUBLE_EQ(runs[1].FocalPoint[i], runs[0].FocalPoint[i]) << i;
    EXPECT_DOUBLE_EQ(runs[1].Centre[i], runs[0].Centre[i]) << i;
  }
  for (const char* shot : { "dragging.png", "end.png" })
  {
    SCOPED_TRACE(shot);
    const std::vector<unsigned char> without = PngPixels(dir / "0" / shot);
    ASSERT_EQ(without.size(), 640u * 480u * 3u);
    EXPECT_TRUE(PngPixels(dir / "1" / shot) == without);
  }
}
