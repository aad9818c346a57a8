// orvi-viewer's stand-in in motion (orvi::MotionSurface), seen in the
// viewer's own window on gmsh's tutorial t5: what a frame in motion draws,
// what a still frame draws, and what picks, box zooms, flights, the rotation
// centre and screenshots see. A viewer is made to want stand-ins by asking
// its interactor for a rate no frame can keep.
#include "orviFilterTestScene.h"
#include "orviGmshMesh.h"
#include "orviMeshes.h"
#include "orviMotionSurface.h"
#include "orviPlayScript.h"
#include "orviSection.h"
#include "orviTestUtils.h"
#include "orviViewer.h"
#include "orviViewerOptions.h"

#include "vtkActorCollection.h"
#include "vtkMapper.h"
#include "vtkMervoInteractor.h"
#include "vtkPointData.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace
{
namespace fs = std::filesystem;

// gmsh's tutorial t5 at half gmsh's sizes (0.1 million tetrahedra), meshed
// once in the process, and a fresh directory for the test; a machine
// without gmsh skips the test.
class OrviMotionSurface : public ::testing::Test
{
protected:
  void SetUp() override
  {
    this->Dir = fs::path(ORVI_TEST_OUTPUT_DIR) /
      ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(this->Dir);
    fs::create_directories(this->Dir);
    static std::string path = orvi_test::MeshGmshTutorial(
      "t5", fs::path(ORVI_TEST_OUTPUT_DIR) / "t5-fine", this->Why, "-3 -clscale 0.5");
    this->Mesh = path;
    if (path.empty())
    {
      GTEST_SKIP() << this->Why;
    }
  }

  fs::path Dir;
  std::string Mesh;
  std::string Why; // for the calls that explain a failure
};

// The viewer as main() builds it for a script, 640 x 480, edges on.
// `rate`: the interactor's DesiredUpdateRate.
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
  viewer->GetInteractor()->SetDesiredUpdateRate(rate);
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
    , Tag(viewer.GetWindow()->AddObserver(vtkCommand::EndEvent, this, &StandInFrames::Seen))
  {
  }
  ~StandInFrames() { this->Viewer.GetWindow()->RemoveObserver(this->Tag); }
  StandInFrames(const StandInFrames&) = delete;
  StandInFrames& operator=(const StandInFrames&) = delete;
  void Seen()
  {
    if (this->Viewer.GetMotion().DrewStandIns())
    {
      ++this->Count;
      this->Last = std::make_unique<orvi_test::Frame>(this->Viewer.GetWindow());
    }
  }

  orvi::Viewer& Viewer;
  unsigned long Tag;
  int Count = 0;
  std::unique_ptr<orvi_test::Frame> Last;
};

// The window as it is now, against a fresh render of the full surface.
int DifferingFromFreshRender(orvi::Viewer& viewer)
{
  const orvi_test::Frame shown(viewer.GetWindow());
  viewer.GetMotion().RenderFull(true);
  return orvi_test::Differing(shown, orvi_test::Frame(viewer.GetWindow()));
}

// A file's bytes: PNG files of the same pixels from the same writer are
// the same bytes.
std::string Bytes(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

//==============================================================================
// In every convention and with the 3D mouse, a viewer that wants stand-ins
// draws them while the view moves: a frame in motion differs from the full
// surface; the still frame after the drag equals a fresh render pixel for
// pixel.
TEST_F(OrviMotionSurface, StandInInMotionFullSurfaceWhenStill)
{
  const fs::path& dir = this->Dir;
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
  for (const char* nav : { "mervo", "catia", "style-mervo", "style-catia" })
  {
    const auto viewer = OpenViewer(this->Mesh, nav, 1.0e4, log);
    ASSERT_TRUE(viewer);
    // The stand-ins: a few of the surface's triangles (the largest poly
    // data drawn), fewer still for frames with edges.
    const vtkIdType fine = viewer->GetMotion().GetStandInTriangles(0);
    vtkIdType surface = 0;
    vtkCollectionSimpleIterator it;
    vtkActorCollection* actors = viewer->GetRenderer()->GetActors();
    actors->InitTraversal(it);
    while (vtkActor* actor = actors->GetNextActor(it))
    {
      auto* poly = vtkPolyData::SafeDownCast(actor->GetMapper()->GetInputAsDataSet());
      surface = std::max(surface, poly ? poly->GetNumberOfPolys() : 0);
    }
    ASSERT_GT(fine, 0) << nav;
    EXPECT_LT(fine, surface / 3) << nav;
    EXPECT_LT(viewer->GetMotion().GetStandInTriangles(0, true), fine) << nav;
    for (const Case& c : cases)
    {
      SCOPED_TRACE(std::string(nav) + ": " + c.Script);
      StandInFrames frames(*viewer);
      Play(*viewer, dir, c.Script, log);
      ASSERT_GT(frames.Count, 0);
      // The last frame in motion, against the full surface at its camera
      // (a rotation, pan or dolly does not move the camera on release).
      const orvi_test::Frame& standIn = *frames.Last;
      orvi_test::WritePng(
        standIn, (dir / (std::string(nav) + "-" + c.Script[0] + "-stand-in.png")).string());
      // The 3D mouse's still frame comes when its reports stop, on a timer
      // this host interactor does not run; a screenshot draws the full
      // surface meanwhile.
      EXPECT_EQ(viewer->GetMotion().DrewStandIns(), !c.StillAfter);
      if (!c.StillAfter)
      {
        ASSERT_TRUE(viewer->Screenshot((dir / "tdx.png").string(), false, why)) << why;
      }
      EXPECT_GT(orvi_test::Differing(standIn, orvi_test::Frame(viewer->GetWindow())), 500);
      EXPECT_EQ(DifferingFromFreshRender(*viewer), 0);
    }
  }
}

//==============================================================================
// A section's cut stands in too, made again after the plane moved: in
// motion, a viewer whose plane was moved after a first drag draws what one
// opened with the plane there draws, pixel for pixel.
TEST_F(OrviMotionSurface, SectionStandInFollowsThePlane)
{
  std::ostringstream log;
  const double normal[3] = { -1.0, 1.0, 1.0 };
  std::string error;
  std::unique_ptr<orvi::Viewer> viewers[2];
  std::unique_ptr<orvi_test::Frame> last[2];
  double moved[3], unit[3];
  for (int v = 0; v < 2; ++v)
  {
    viewers[v] = OpenViewer(this->Mesh, "mervo", 1.0e4, log);
    ASSERT_TRUE(viewers[v]);
    orvi::Viewer& viewer = *viewers[v];
    ASSERT_TRUE(viewer.SetSection(orvi::SectionMode::Cut, v ? moved : nullptr, normal, error));
    StandInFrames frames(viewer);
    Play(viewer, this->Dir, "rotate 60 30\n", log);
    if (v == 0)
    {
      viewer.MoveSection(0.1);
      viewer.GetSectionPlane(moved, unit);
    }
    Play(viewer, this->Dir, "rotate 60 30\n", log);
    ASSERT_GT(frames.Count, 1);
    last[v] = std::move(frames.Last);
    EXPECT_GT(viewer.GetSection().GetFace()->GetNumberOfPolys(), 4000); // enough to stand in for
  }
  orvi_test::WritePng(*last[0], (this->Dir / "moved-stand-in.png").string());
  EXPECT_EQ(orvi_test::Differing(*last[0], *last[1]), 0);
}

//==============================================================================
// In motion with a section cut, the surface's stand-in is clipped by the
// plane before it is drawn: the picture is VTK's drawing of the same
// stand-ins, clipped in the shader.
TEST_F(OrviMotionSurface, SectionStandInIsVtksClippedStandIn)
{
  std::ostringstream log;
  std::string error;
  auto viewer = OpenViewer(this->Mesh, "mervo", 1.0e4, log);
  ASSERT_TRUE(viewer);
  viewer->SetEdgeMode(orvi::EdgeMode::Off);
  const double normal[3] = { -1.0, 1.0, 1.0 };
  ASSERT_TRUE(viewer->SetSection(orvi::SectionMode::Cut, nullptr, normal, error)) << error;
  std::unique_ptr<orvi_test::Frame> motion;
  {
    StandInFrames frames(*viewer);
    Play(*viewer, this->Dir, "rotate 60 30\n", log);
    ASSERT_GT(frames.Count, 1);
    motion = std::move(frames.Last);
  }
  vtkRenderer* renderer = viewer->GetRenderer();
  vtkActorCollection* actors = renderer->GetActors();
  auto* surface = vtkActor::SafeDownCast(actors->GetItemAsObject(0));
  ASSERT_TRUE(surface->GetProperty()->GetBackfaceCulling());
  ASSERT_TRUE(surface->GetMapper()->GetClippingPlanes());
  vtkActor* cut = nullptr;
  for (int i = 1; i < actors->GetNumberOfItems() && !cut; ++i)
  {
    auto* actor = vtkActor::SafeDownCast(actors->GetItemAsObject(i));
    auto* mapper = vtkPolyDataMapper::SafeDownCast(actor->GetMapper());
    cut = mapper && mapper->GetInput() == viewer->GetSection().GetFace() ? actor : nullptr;
  }
  ASSERT_TRUE(cut);
  std::vector<vtkSmartPointer<vtkActor>> copies;
  for (size_t i = 0; i < 2; ++i)
  {
    vtkActor* full = i == 0 ? surface : cut;
    ASSERT_TRUE(viewer->GetMotion().GetStandIn(i));
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->ShallowCopy(full->GetMapper()); // its colouring and clipping
    mapper->SetInputData(viewer->GetMotion().GetStandIn(i));
    copies.push_back(vtkSmartPointer<vtkActor>::New());
    copies.back()->SetMapper(mapper);
    copies.back()->GetProperty()->DeepCopy(full->GetProperty());
    full->VisibilityOff();
    renderer->AddActor(copies.back());
  }
  // Drawn at the motion's rate, as the frame in motion was (unsmoothed).
  vtkRenderWindow* window = viewer->GetWindow();
  window->SetDesiredUpdateRate(viewer->GetInteractor()->GetDesiredUpdateRate());
  window->Render();
  const orvi_test::Frame every(window);
  window->SetDesiredUpdateRate(viewer->GetInteractor()->GetStillUpdateRate());
  orvi_test::WritePng(*motion, (this->Dir / "motion.png").string());
  orvi_test::WritePng(every, (this->Dir / "every.png").string());
  // Apart from the rotation centre's marker, shown while the drag lasts.
  EXPECT_LT(orvi_test::Differing(*motion, every, 8), 600);
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
  const std::string nudge = "tdx 0 0 0 10 0 1 0\n";
  const std::string script = nudge + "pick 250 180 390 300\n" + nudge + "centre 330 250\n" + nudge +
    "rotate 80 30 snap dragging\n" + nudge + "boxzoom 220 160 420 320\n" + nudge + "fly 300 260\n" +
    nudge + "screenshot end\n";
  struct Run
  {
    std::unique_ptr<orvi::Viewer> Viewer;
    std::vector<vtkIdType> Picked;
    std::array<double, 9> Cameras; // position, focal point, rotation centre
    int StandIns = 0;
  };
  Run runs[2];
  std::ostringstream log;
  for (int withStandIns = 0; withStandIns < 2; ++withStandIns)
  {
    Run& run = runs[withStandIns];
    // Without: the rate is one no full frame misses.
    run.Viewer = OpenViewer(this->Mesh, "mervo", withStandIns ? 1.0e4 : 1.0e-3, log);
    ASSERT_TRUE(run.Viewer);
    ASSERT_EQ(run.Viewer->GetMotion().GetStandInTriangles(0) > 0, withStandIns == 1);
    StandInFrames frames(*run.Viewer);
    fs::create_directories(dir / std::to_string(withStandIns));
    Play(*run.Viewer, dir / std::to_string(withStandIns), script, log);
    run.StandIns = frames.Count;
    run.Picked = run.Viewer->GetPickedCells();
    vtkCamera* camera = run.Viewer->GetRenderer()->GetActiveCamera();
    camera->GetPosition(run.Cameras.data());
    camera->GetFocalPoint(run.Cameras.data() + 3);
    std::copy_n(run.Viewer->GetMervo()->GetRotationCenter(), 3, run.Cameras.data() + 6);
  }
  EXPECT_EQ(runs[0].StandIns, 0);
  EXPECT_GT(runs[1].StandIns, 10);
  EXPECT_GT(runs[0].Picked.size(), 20u);
  EXPECT_EQ(runs[1].Picked, runs[0].Picked);
  for (int i = 0; i < 9; ++i)
  {
    EXPECT_DOUBLE_EQ(runs[1].Cameras[i], runs[0].Cameras[i]) << i;
  }
  for (const char* shot : { "dragging.png", "end.png" })
  {
    SCOPED_TRACE(shot);
    const std::string without = Bytes(dir / "0" / shot);
    EXPECT_GT(without.size(), 1000u);
    EXPECT_TRUE(Bytes(dir / "1" / shot) == without);
  }
}
