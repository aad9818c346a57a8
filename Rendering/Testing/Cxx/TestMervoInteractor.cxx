// vtkMervoInteractor as a host drives it: the host starts the states, the
// navigator turns about its rotation centre, flies, picks, draws its rubber
// band and zooms onto a box of gathered surface points. Last, the style
// vtkInteractorStyleMervo, driven by the buttons.
#include "vtkInteractorStyleMervo.h"
#include "vtkMervoInteractor.h"

#include "orviGmshMesh.h"
#include "orviPickerScenes.h"
#include "orviTestUtils.h"

#include "vtkAssemblyPath.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkIdTypeArray.h"
#include "vtkInformation.h"
#include "vtkKivMainPass.h"
#include "vtkMath.h"
#include "vtkPropPicker.h"
#include "vtkProperty.h"
#include "vtkRendererCollection.h"
#include "vtkSelection.h"
#include "vtkSelectionNode.h"
#include "vtkSphereSource.h"
#include "vtkVisibleSelectionPicker.h"
#include "vtkWorldPointPicker.h"

#include <filesystem>

namespace
{
using Scene = orvi_test::NavScene<vtkMervoInteractor>;
using namespace orvi_test::buttons;

// q turned by angle degrees about the axis through c.
std::array<double, 3> Turn(const double q[3], const double c[3], const double axis[3], double angle)
{
  const double v[3] = { q[0] - c[0], q[1] - c[1], q[2] - c[2] };
  double wxyz[4] = { vtkMath::RadiansFromDegrees(angle), axis[0], axis[1], axis[2] }, r[3];
  vtkMath::Normalize(wxyz + 1);
  vtkMath::RotateVectorByWXYZ(v, wxyz, r);
  return { c[0] + r[0], c[1] + r[1], c[2] + r[2] };
}

// The marker's position and its sphere's radius.
std::array<double, 4> Placed(vtkActor* marker)
{
  const double* p = marker->GetPosition();
  auto* sphere = vtkSphereSource::SafeDownCast(marker->GetMapper()->GetInputAlgorithm());
  return { p[0], p[1], p[2], sphere->GetRadius() };
}

// How many pixels of the window differ from the snapshot with the outline
// of the band {x0, y0, x1, y1} (sorted, inclusive) inverted in red, green
// and blue; -1 when the sizes differ. No band: x0 = -1.
int BandErrors(vtkRenderWindow* window,
  vtkUnsignedCharArray* snapshot,
  std::array<int, 4> b = { -1, -1, -1, -1 })
{
  const orvi_test::Frame screen(window);
  if (snapshot->GetNumberOfValues() != 4 * screen.Width * screen.Height)
  {
    return -1;
  }
  return screen.Count(
    [&](const std::array<int, 3>& rgb, int x, int y)
    {
      const bool row = (y == b[1]) != (y == b[3]) && x >= b[0] && x <= b[2];
      const bool column = y > b[1] && y < b[3] && ((x == b[0]) != (x == b[2]));
      const unsigned char* p = snapshot->GetPointer(4 * (y * screen.Width + x));
      const int k = row || column ? 255 : 0;
      return rgb !=
        std::array<int, 3>{ std::abs(k - p[0]), std::abs(k - p[1]), std::abs(k - p[2]) };
    });
}

// A 640 x 480 window: a grey-blue background and a square.
struct BandScene : orvi_test::NavScene<vtkMervoInteractor>
{
  BandScene()
    : NavScene(640, 480, 2)
  {
    this->Renderer->SetBackground(0.2, 0.4, 0.6);
    this->Window->Render();
  }
  // The band started at (x, y), a copy of the snapshot it took returned.
  vtkSmartPointer<vtkUnsignedCharArray> Start(int x, int y)
  {
    this->Band(x, y);
    auto copy = vtkSmartPointer<vtkUnsignedCharArray>::New();
    copy->DeepCopy(this->Nav->GetPixelArray());
    return copy;
  }
};
} // namespace

// The rotation centre of a fitted view lies inside the model: gmsh's t5, a
// closed solid, drawn through the main pass with its edges. The marker shown
// there is on screen before any click, exactly as VTK draws the sphere
// alone (its size and shading kept), and everything else stays as it was.
// Every pick over the marker's pixels finds the mesh: the fly, the rotation
// centre, VTK's prop pick and the visible-cell selection give what they give
// with the marker hidden.
TEST(MervoInteractor, MarkerShowsOverTheModelAndIsNeverHit)
{
  std::string why;
  const auto grid =
    orvi_test::ReadGmshTutorial("t5", std::filesystem::current_path() / "gmsh-t5", why);
  if (!grid)
  {
    GTEST_SKIP() << why;
  }
  vtkNew<vtkDataSetSurfaceFilter> surface;
  surface->SetInputData(grid);
  surface->Update();
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputConnection(surface->GetOutputPort());
  mapper->ScalarVisibilityOff();
  vtkNew<vtkActor> mesh, edges, sphere;
  mesh->GetProperty()->SetColor(0.2, 0.4, 0.9);
  edges->SetPickable(0);
  edges->GetProperty()->SetRepresentationToWireframe();
  edges->GetProperty()->SetColor(0.0, 0.0, 0.0);
  vtkNew<vtkInformation> keys;
  keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
  edges->SetPropertyKeys(keys);

  Scene scene(640, 480, 0);
  auto* nav = scene.Nav.Get();
  for (vtkActor* actor : { mesh.Get(), edges.Get() })
  {
    actor->SetMapper(mapper);
    scene.Renderer->AddActor(actor);
  }
  vtkKivMainPass::InstallOn(scene.Renderer);
  double centre[3];
  surface->GetOutput()->GetCenter(centre);
  vtkCamera* camera = scene.Camera();
  camera->SetFocalPoint(centre);
  camera->SetPosition(centre[0] + 2.2, centre[1] + 1.4, centre[2] + 2.6);
  scene.Renderer->ResetCameraClippingRange();
  // The hosts' marker: 2% of the model's diagonal.
  nav->SetRotationMarkerScale(0.02 * surface->GetOutput()->GetLength());
  scene.Window->Render();
  const orvi_test::Frame plain(scene.Window);

  // Prepared at the focal point, the middle of the view: inside the solid.
  nav->FindPokedRenderer(320, 240);
  vtkActor* marker = nav->GetRotationPointActor();
  ASSERT_NE(marker, nullptr);
  ORVI_EXPECT_VEC3_NEAR(marker->GetPosition(), centre[0], centre[1], centre[2], 1e-12);
  marker->VisibilityOn();
  scene.Window->Render();
  const orvi_test::Frame shown(scene.Window);
  // VTK's own drawing of the marker: a plain actor of the same sphere alone
  // in a renderer of its own, over a green that no shade of the red sphere
  // takes (the shades of its silhouette reach black).
  sphere->SetMapper(marker->GetMapper());
  sphere->SetProperty(marker->GetProperty());
  sphere->SetPosition(marker->GetPosition());
  orvi_test::Scene other(640, 480);
  vtkKivMainPass::InstallOn(other.Renderer);
  other.Renderer->SetActiveCamera(camera);
  other.Renderer->SetBackground(0.0, 1.0, 0.0);
  other.Renderer->AddActor(sphere);
  other.Window->Render();
  const orvi_test::Frame alone(other.Window);

  const std::array<int, 3> green = { 0, 255, 0 };
  const int markerPixels = alone.Count([&](const auto& c, int, int) { return c != green; });
  const int wrong = shown.Count([&](const auto& c, int x, int y)
    { return c != (alone.At(x, y) != green ? alone.At(x, y) : plain.At(x, y)); });
  // Radius about 0.035 at a distance of 3.7 with a 30 degree view: 10 pixels.
  EXPECT_GT(markerPixels, 200);
  EXPECT_LT(markerPixels, 500);
  EXPECT_EQ(wrong, 0) << "of " << markerPixels << " marker pixels";

  // Picks over the marker, with it shown and hidden, give the same: each a
  // flag first (the fly and the rotation centre on the surface in front,
  // outside the marker's sphere; VTK's prop pick on the mesh; one node of
  // the mesh's cells, more than ten), then what was found.
  vtkNew<vtkCamera> first;
  first->DeepCopy(camera);
  const double away = 2 * nav->GetRotationMarkerScale();
  const auto pick = [&](int kind)
  {
    scene.SetPointer(321, 239);
    std::vector<double> result;
    if (kind < 2)
    {
      kind == 0 ? nav->Fly() : nav->FindRotationCenter();
      const double* p = kind == 0 ? camera->GetFocalPoint() : nav->GetRotationCenter();
      result = {
        1.0 * (vtkMath::Distance2BetweenPoints(p, centre) > away * away), p[0], p[1], p[2]
      };
    }
    else if (kind == 2)
    {
      vtkAssemblyPath* path = scene.Renderer->PickProp(321, 239);
      result = { 1.0 * (path && path->GetFirstNode()->GetViewProp() == mesh) };
    }
    else
    {
      vtkNew<vtkVisibleSelectionPicker> picker;
      picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
      const int picked = picker->AreaPick(305, 225, 335, 255, scene.Renderer);
      vtkSelection* selection = static_cast<vtkSelectionPicker*>(picker)->GetSelection();
      const auto ids = orvi_test::Ids(selection->GetNode(0), true);
      result = { 1.0 * (picked == 1 && selection->GetNumberOfNodes() == 1 && ids.size() > 10) };
      result.insert(result.end(), ids.begin(), ids.end());
    }
    // Back to the first view, the centre back at the focal point.
    camera->DeepCopy(first);
    nav->SetRotationCenter(centre);
    scene.Window->Render();
    return result;
  };
  for (int kind = 0; kind < 4; ++kind)
  {
    SCOPED_TRACE(kind);
    marker->VisibilityOn();
    const auto over = pick(kind);
    marker->VisibilityOff();
    EXPECT_EQ(over[0], 1.0);
    EXPECT_EQ(over, pick(kind));
  }
}

// The red rotation marker (at the focal point) and the yellow debug actor
// are built once, hidden and unpickable, when a renderer is first found;
// the marker follows the centre and scale set before or after.
TEST(MervoInteractor, MarkersPreparedOnceFlyMovesThem)
{
  Scene scene(800, 600, 0);
  auto* nav = scene.Nav.Get();
  scene.Camera()->SetFocalPoint(1, 2, 3);
  double centre[3] = { 5, 5, 5 };
  nav->SetRotationCenter(centre);
  nav->SetRotationMarkerScale(0.5);
  nav->FindPokedRenderer(400, 300);
  nav->FindPokedRenderer(10, 10);
  vtkActor* marker = nav->GetRotationPointActor();
  ASSERT_NE(marker, nullptr);
  EXPECT_EQ(Placed(marker), (std::array<double, 4>{ 1, 2, 3, 0.5 }));
  // Both in the renderer, which gains exactly these two; the window keeps
  // its renderers and layers.
  vtkActorCollection* actors = scene.Renderer->GetActors();
  EXPECT_EQ(std::make_tuple(actors->GetNumberOfItems(),
              actors->GetItemAsObject(0),
              actors->GetItemAsObject(1),
              scene.Window->GetRenderers()->GetNumberOfItems(),
              scene.Window->GetNumberOfLayers()),
    std::make_tuple(
      2, static_cast<vtkObject*>(marker), static_cast<vtkObject*>(nav->GetDebugActor()), 1, 1));
  for (auto [actor, green] : { std::pair{ marker, 0.0 }, { nav->GetDebugActor(), 1.0 } })
  {
    EXPECT_FALSE(actor->GetVisibility() || actor->GetPickable());
    ORVI_EXPECT_VEC3_NEAR(actor->GetProperty()->GetColor(), 1, green, 0, 0.0);
  }
  nav->SetRotationCenter(centre);
  nav->SetRotationMarkerScale(0.25);
  EXPECT_EQ(Placed(marker), (std::array<double, 4>{ 5, 5, 5, 0.25 }));

  // Fly moves the focal point and the centre to the surface point under the
  // pointer (the viewing ray hits z = 0.5); over the background the camera
  // stays and the centre becomes the focal point.
  scene.Add(-1, -1, 1, 1, 0.5);
  scene.Reset();
  const auto hit = orvi_test::PointOnPlaneZ(scene.Renderer, 500, 350, 0.5);
  scene.SetPointer(500, 350);
  nav->Fly();
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), hit[0], hit[1], hit[2], 1e-5);
  ORVI_EXPECT_VEC3_NEAR(marker->GetPosition(), hit[0], hit[1], hit[2], 1e-5);

  nav->SetRotationCenter(centre);
  const auto before = scene.CameraState();
  scene.SetPointer(5, 5);
  nav->Fly();
  EXPECT_EQ(scene.CameraState(), before);
  ORVI_EXPECT_VEC3_NEAR(marker->GetPosition(), hit[0], hit[1], hit[2], 0.0);
  EXPECT_EQ(nav->GetAnimState(), VTKIS_ANIM_OFF);
}

// Each motion turns position and focal point about the rotation centre:
// dx = 40 of 800 pixels by -10 degrees (motion factor 10) about the view-up,
// dy = 30 of 600 about the leftward axis (view-up x projection); no motion,
// no turn, but a count, a render and an InteractionEvent.
TEST(MervoInteractor, RotationTurnsAboutTheCentre)
{
  Scene scene;
  auto* nav = scene.Nav.Get();
  vtkCamera* camera = scene.Camera();
  camera->SetFocalPoint(0.5, -0.25, 0.0);
  camera->SetPosition(6.0, 4.0, 8.0);
  camera->SetViewUp(0.0, 0.0, 1.0);
  camera->OrthogonalizeViewUp();
  nav->FindPokedRenderer(400, 300);
  double c[3] = { 1.0, 2.0, -1.0 };
  nav->SetRotationCenter(c);
  orvi_test::EventCounts n(nav, scene.Interactor);
  scene.SetPointer(400, 300);
  nav->StartRotate();
  for (int y : { 300, 330, 330 })
  {
    double p0[3], f0[3], up[3], dop[3], left[3];
    camera->GetPosition(p0);
    camera->GetFocalPoint(f0);
    camera->GetViewUp(up);
    camera->GetDirectionOfProjection(dop);
    vtkMath::Cross(up, dop, left);
    const double* axis = y == 300 ? up : left;
    const double angle = y == 330 && nav->GetMoved() == 2 ? 0.0 : -10.0;
    scene.MoveTo(440, y);
    const auto p1 = Turn(p0, c, axis, angle), f1 = Turn(f0, c, axis, angle);
    ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), p1[0], p1[1], p1[2], 1e-9);
    ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), f1[0], f1[1], f1[2], 1e-9);
  }
  EXPECT_NEAR(vtkMath::Dot(camera->GetViewUp(), camera->GetDirectionOfProjection()), 0.0, 1e-12);
  EXPECT_EQ(nav->GetMoved(), 3);
  EXPECT_EQ(n({ vtkCommand::InteractionEvent, vtkCommand::RenderEvent }), (std::vector{ 3, 3 }));
}

TEST(MervoInteractor, MotionsCountAndNotifyPerStatePickFindsAProp)
{
  Scene scene(400, 300);
  auto* nav = scene.Nav.Get();
  orvi_test::EventRecorder interactions(nav, vtkCommand::InteractionEvent);
  scene.SetPointer(200, 150);

  // Rotate, pan, spin, dolly: one count and one InteractionEvent a motion.
  int expected = 0;
  using S = vtkInteractorStyle;
  for (auto start : { &S::StartRotate, &S::StartPan, &S::StartSpin, &S::StartDolly })
  {
    (nav->*start)();
    scene.MoveTo(210, 165);
    scene.MoveTo(200, 150);
    expected += 2;
    EXPECT_EQ(
      std::make_pair(nav->GetMoved(), interactions.Count), std::make_pair(expected, expected))
      << "state " << nav->GetState();
    nav->StopState();
  }
  // None, pick and VTK's zoom state: nothing at all; box zoom: counted
  // (from the band's start), no InteractionEvent.
  const auto before = scene.CameraState();
  scene.MoveTo(250, 200);
  nav->StartPick();
  scene.MoveTo(260, 210);
  nav->EndPick();
  nav->StartState(VTKIS_ZOOM);
  scene.MoveTo(270, 220);
  nav->StopState();
  EXPECT_EQ(nav->GetMoved(), expected);
  EXPECT_EQ(scene.CameraState(), before);
  scene.Band(100, 100, 150, 125, 5);
  EXPECT_EQ(std::make_pair(nav->GetMoved(), interactions.Count), std::make_pair(5, expected));
  nav->EndBoxZoom();

  // Pick() picks a prop under the pointer with the interactor's prop
  // picker (the pick state's events are shared: TestKivCatiaNavigation).
  for (auto [x, picked] : { std::pair{ 200, 1 }, { 5, 0 } })
  {
    scene.SetPointer(x, 150);
    nav->Pick();
    EXPECT_EQ(nav->GetPropPicked(), picked);
  }
  vtkNew<vtkWorldPointPicker> worldPicker;
  scene.Interactor->SetPicker(worldPicker);
  scene.SetPointer(200, 150);
  nav->Pick();
  EXPECT_EQ(nav->GetPropPicked(), 0) << "no prop picker";
}

// Buttons mean nothing to the navigator (its keys: TestKivGuardedStyle; its
// timer, shared: TestKivCatiaNavigation).
TEST(MervoInteractor, ButtonsChangeNothing)
{
  Scene scene(400, 300);
  auto* nav = scene.Nav.Get();
  scene.Camera()->SetPosition(3, 1, 10);
  const auto before = scene.CameraState();
  for (auto press : { LeftDown, MiddleDown, RightDown })
  {
    scene.Drag(press, 200, 150, 230, 170);
  }
  EXPECT_EQ(std::make_pair(nav->GetState(), nav->GetMoved()), std::make_pair(VTKIS_NONE, 0));
  EXPECT_EQ(scene.CameraState(), before);
}

// Box zoom: the camera after a band (parallel: 1 pixel = 0.01, scale 3;
// perspective: 10 from a 2 x 2 square that spans pixels 188..412 of 600).
TEST(MervoInteractor, BoxZoom)
{
  // The strip (x -19..21, y 2.4..2.6) is wider than the view; the square's
  // corners touch the view's edges at 1 / tan(15 degrees) = 3.7320508; a
  // band without extent hits one point four times. Parallel, band, focal
  // point, distance, scale, debug points, tolerance.
  using A3 = std::array<double, 3>;
  const std::tuple<bool, std::array<int, 4>, A3, double, double, int, double> cases[] = {
    { true, { 450, 300, 650, 400 }, { 1.5, 0.5, 0 }, 10, 0.75, 4, 0.006 }, // 4 corners, a quarter
    { true, { 500, 580, 300, 520 }, { 1, 2.5, 0 }, 10, 3, 8, 1e-9 },       // strip, band unsorted
    { true, { 2, 2, 40, 30 }, { 0, 0, 0 }, 10, 3, 0, 0 },                  // background
    { false, { 150, 150, 450, 450 }, { 0, 0, 0 }, 3.7320508, 3, 8, 1e-7 }, // square fills the view
    { false, { 350, 320, 350, 320 }, { 0.4465820, 0.1786328, 0 }, 10, 3, 4, 1e-6 }, // one point
  };
  for (const auto& [parallel, band, f, distance, scale, debugPoints, tol] : cases)
  {
    SCOPED_TRACE(band[0]);
    Scene scene(parallel ? 800 : 600, 600, parallel ? 0 : 1, parallel);
    auto* nav = scene.Nav.Get();
    if (parallel)
    {
      scene.Add(-3, -2, 3, 2);
      scene.Add(-19, 2.4, 21, 2.6);
      scene.Reset(true);
    }
    scene.Band(band[0], band[1], band[2], band[3], 5);
    nav->SetShowDebugActors(true);
    orvi_test::EventCounts n(nav, scene.Interactor);
    nav->BoxZoom();
    EXPECT_EQ(n[vtkCommand::RenderEvent] + nav->IsStateNone(), 0) << "neither renders nor ends";
    vtkCamera* camera = scene.Camera();
    ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), f[0], f[1], f[2], tol);
    ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), f[0], f[1], f[2] + distance, tol);
    EXPECT_NEAR(camera->GetParallelScale(), scale, tol * 1.25);
    EXPECT_EQ(
      nav->GetDebugActor()->GetVisibility() ? nav->GetNumberOfDebugPoints() : 0, debugPoints);
    nav->EndBoxZoom();
    EXPECT_TRUE(nav->IsStateNone());
    EXPECT_EQ(
      n({ vtkCommand::RenderEvent, vtkCommand::EndInteractionEvent }), (std::vector{ 1, 1 }));
  }
}

// The rubber band (vtkKivRubberBand) as the navigator draws it: a snapshot
// of the scene on the press, and from the fourth motion on that snapshot on
// screen with the band's one-pixel outline inverted; the snapshot itself is
// never drawn into, so each draw erases the last band.
TEST(KivRubberBand, SnapshotBandFromTheFourthMotionInvertedClampedAndResized)
{
  BandScene scene;
  auto* nav = scene.Nav.Get();
  orvi_test::EventCounts n(nav, scene.Interactor);
  const auto xy = [](const int* p) { return std::pair(p[0], p[1]); };
  nav->UseTimersOn();

  // The start takes the screen as it is, fires nothing, starts no timer;
  // three motions draw nothing.
  vtkSmartPointer<vtkUnsignedCharArray> snapshot = scene.Start(100, 80);
  EXPECT_EQ(nav->GetState(), 22);
  EXPECT_EQ(BandErrors(scene.Window, snapshot), 0);
  EXPECT_EQ(
    n({ vtkCommand::StartInteractionEvent, vtkCommand::CreateTimerEvent }), (std::vector{ 0, 0 }));
  scene.Path(100, 80, 300, 200, 3);
  EXPECT_EQ(BandErrors(scene.Window, snapshot), 0);
  EXPECT_EQ(nav->GetEndPosition()[0], 100);

  // From the fourth on, the band to the pointer clamped to the window; each
  // draw erases the last; without height nothing shows; without width the
  // two end pixels. Pointer x, y, then the band drawn.
  const std::array<int, 6> steps[] = {
    { 700, -20, 100, 0, 639, 80 },
    { 300, 200, 100, 80, 300, 200 },
    { 250, 80, -1, -1, -1, -1 },
    { 100, 200, 100, 80, 100, 200 },
    { 5000, 5000, 100, 80, 639, 479 },
  };
  for (const auto& step : steps)
  {
    SCOPED_TRACE(std::to_string(step[0]) + ", " + std::to_string(step[1]));
    scene.MoveTo(step[0], step[1]);
    EXPECT_EQ(xy(nav->GetEndPosition()),
      std::pair(std::clamp(step[0], 0, 639), std::clamp(step[1], 0, 479)));
    EXPECT_EQ(BandErrors(scene.Window, snapshot, { step[2], step[3], step[4], step[5] }), 0);
  }
  EXPECT_EQ(nav->GetMoved(), 8);
  EXPECT_EQ(BandErrors(scene.Window, nav->GetPixelArray(), { 100, 80, 639, 479 }), 0);
  // Ending the band renders the scene: the band is gone.
  nav->EndBoxZoom();
  EXPECT_TRUE(nav->IsStateNone());
  EXPECT_EQ(n[vtkCommand::EndInteractionEvent], 1);
  EXPECT_EQ(BandErrors(scene.Window, snapshot), 0);

  // The window resized during a drag.
  vtkSmartPointer<vtkUnsignedCharArray> clean = scene.Start(100, 80);
  scene.Path(300, 200, 303, 200, 4);
  EXPECT_EQ(BandErrors(scene.Window, clean, { 100, 80, 303, 200 }), 0);

  // Grown as a host toolkit reports a resize (the top-left corner stays):
  // the next motion takes a clean snapshot at the new size (the old band's
  // pixels, off the square, show the background) and draws the band over
  // it from the point pressed, still 400 pixels above the bottom edge
  // counted from the top: y 80 + 120.
  scene.Interactor->UpdateSize(800, 600);
  scene.MoveTo(750, 550);
  vtkUnsignedCharArray* pixels = nav->GetPixelArray();
  ASSERT_EQ(pixels->GetNumberOfTuples(), 800 * 600);
  EXPECT_EQ(xy(nav->GetStartPosition()), std::pair(100, 200));
  EXPECT_EQ(BandErrors(scene.Window, pixels, { 100, 200, 750, 550 }), 0);
  for (const int xy : { 80 * 800 + 150, 150 * 800 + 100 })
  {
    const unsigned char* g = pixels->GetPointer(4 * xy);
    EXPECT_EQ((std::array<int, 3>{ g[0], g[1], g[2] }), (std::array<int, 3>{ 51, 102, 153 }));
  }
  // Shrunk below the pressed point (now at y 200 - 530, under the window):
  // the pointer's corner clamps to (89, 69), the pressed one draws at
  // (89, 0), a band of zero width that shows only its two end pixels.
  scene.Window->SetSize(90, 70);
  scene.MoveTo(700, 500);
  EXPECT_EQ(xy(nav->GetEndPosition()), std::pair(89, 69));
  EXPECT_EQ(xy(nav->GetStartPosition()), std::pair(100, -330));
  EXPECT_EQ(BandErrors(scene.Window, pixels, { 89, 0, 89, 69 }), 0);
  scene.MoveTo(10, 20);
  EXPECT_EQ(BandErrors(scene.Window, pixels, { 10, 0, 89, 20 }), 0);
  nav->EndBoxZoom();

  // Resized between two drags with no render in between: the next band's
  // snapshot is the scene at the new size, not the old frame.
  scene.Interactor->UpdateSize(700, 500);
  vtkSmartPointer<vtkUnsignedCharArray> fresh = scene.Start(100, 80);
  ASSERT_EQ(fresh->GetNumberOfTuples(), 700 * 500);
  scene.Path(650, 450, 653, 450, 4);
  EXPECT_EQ(BandErrors(scene.Window, fresh, { 100, 80, 653, 450 }), 0);
  nav->EndBoxZoom();
  EXPECT_EQ(BandErrors(scene.Window, fresh), 0) << "the scene as rendered";
}

// vtkInteractorStyleMervo's own button mapping, rubber band and zoom, driven
// through the interactor's events as a toolkit delivers them (a 4 x 4
// square at z = 0 seen from (0, 0, 10)).
using StyleScene = orvi_test::NavScene<vtkInteractorStyleMervo>;

// Middle drag: plain rotates, Ctrl pans, Shift (with or without Ctrl)
// dollies; each motion counts and notifies, a release ends the state and
// zeroes the counter, and a drag never flies.
TEST(InteractorStyleMervo, MiddleDragWithModifiers)
{
  for (const auto& [mods, state] :
    { std::pair{ 0, VTKIS_ROTATE }, { 1, VTKIS_PAN }, { 2, VTKIS_DOLLY }, { 3, VTKIS_DOLLY } })
  {
    SCOPED_TRACE(std::to_string(state) + " modifiers " + std::to_string(mods));
    const bool ctrl = mods & 1, shift = mods & 2;
    StyleScene scene(800, 600, 2);
    auto* style = scene.Nav.Get();
    vtkCamera* camera = scene.Camera();
    orvi_test::EventRecorder interactions(style, vtkCommand::InteractionEvent);
    orvi_test::EventRecorder flyPicks(style->GetFlyPicker(), vtkCommand::EndPickEvent);
    scene.Fire(MiddleDown, 400, 300, ctrl, shift);
    EXPECT_EQ(style->GetState(), state);
    scene.Path(400, 300, 440, 330, 5, ctrl, shift);
    EXPECT_EQ(std::make_pair(style->GetMoved(), interactions.Count), std::make_pair(5, 5));
    // Pan: the focal point moves, the direction stays; rotate: about the
    // focal point at the same distance; dolly (upward): closer.
    const double* f = camera->GetFocalPoint();
    const double* n = camera->GetDirectionOfProjection();
    EXPECT_EQ(std::abs(f[0]) > 0.1, state == VTKIS_PAN) << f[0];
    EXPECT_EQ(n[2] > -0.9999, state == VTKIS_ROTATE) << n[2];
    EXPECT_NEAR(camera->GetDistance(), state == VTKIS_DOLLY ? 10 / 1.1 : 10, 1e-6);
    scene.Fire(MiddleUp, 440, 330, ctrl, shift);
    // Motions with no button down do nothing.
    const auto idle = scene.CameraState();
    scene.MoveTo(100, 100);
    EXPECT_EQ(
      (std::array{ style->GetState(), style->GetMoved(), interactions.Count, flyPicks.Count }),
      (std::array{ VTKIS_NONE, 0, 5, 0 }));
    EXPECT_EQ(scene.CameraState(), idle);
  }
}

// The style flies with its own picker (its printing: TestKivGuardedStyle).
TEST(InteractorStyleMervo, MiddleClickFliesAndAnyReleaseResetsTheCounter)
{
  StyleScene scene(800, 600, 2);
  auto* style = scene.Nav.Get();
  orvi_test::ExpectFlyPickerAndTDxStyle(style, style->GetFlyPicker());
  vtkCamera* camera = scene.Camera();
  orvi_test::EventRecorder flyPicks(style->GetFlyPicker(), vtkCommand::EndPickEvent);
  orvi_test::EventCounts n(style, scene.Interactor);
  orvi_test::FocalPointAt atEnd(style, vtkCommand::EndInteractionEvent);

  // Over the background a click picks but flies nowhere; five motions make
  // a drag, four a click, which flies to the point under the pointer before
  // the rotation ends; a pan or dolly click does not fly.
  const auto before = scene.CameraState();
  scene.Drag(MiddleDown, 5, 5, 5, 5, 0);
  EXPECT_EQ(flyPicks.Count, 1);
  EXPECT_EQ(scene.CameraState(), before);
  scene.Drag(MiddleDown, 500, 350, 500, 350, 5);
  EXPECT_EQ(flyPicks.Count, 1);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), 0, 0, 0, 1e-9);
  const auto hit = orvi_test::PointOnPlaneZ(scene.Renderer, 500, 350);
  scene.Drag(MiddleDown, 500, 350, 500, 350, 4);
  EXPECT_EQ((std::array{ flyPicks.Count, n[vtkCommand::EndInteractionEvent], style->GetState() }),
    (std::array{ 2, 3, VTKIS_NONE }));
  ORVI_EXPECT_VEC3_NEAR(atEnd.Focal.data(), hit[0], hit[1], hit[2], 1e-5);
  const auto flown = scene.CameraState();
  scene.Drag(MiddleDown, 300, 250, 300, 250, 0, 1);
  scene.Drag(MiddleDown, 300, 250, 300, 250, 0, 2);
  EXPECT_EQ(flyPicks.Count, 2);
  EXPECT_EQ(scene.CameraState(), flown);

  // A left click or a right release in a long middle drag neither picks nor
  // ends the rotation, but zeroes the counter: the middle release flies.
  for (unsigned long other : { LeftDown, RightUp })
  {
    scene.Fire(MiddleDown, 450, 250);
    scene.Path(450, 250, 450, 250, 6);
    scene.Fire(other, 450, 250);
    scene.Fire(other == LeftDown ? LeftUp : RightUp, 450, 250);
    EXPECT_EQ(
      std::make_pair(style->GetState(), style->GetMoved()), std::make_pair(VTKIS_ROTATE, 0));
    scene.Fire(MiddleUp, 450, 250);
  }
  EXPECT_EQ(std::make_pair(flyPicks.Count, n[vtkCommand::StartPickEvent]), std::make_pair(4, 0));
}

TEST(InteractorStyleMervo, LeftButtonPicksRightPressInADragTakesTheFocusTheWheelDollies)
{
  StyleScene scene(800, 600, 2);
  auto* style = scene.Nav.Get();
  using C = vtkCommand;
  orvi_test::EventCounts n(style, scene.Interactor);
  orvi_test::EventRecorder hostMoves(scene.Interactor, C::MouseMoveEvent, 10.0f);
  const auto before = scene.CameraState();

  // Left press: pick state 21, announced; motions count nothing and the
  // host sees them (no focus); the host picks when it wants to, which calls
  // no pick callback; only a release in the pick state ends it.
  scene.Fire(LeftDown, 400, 300);
  EXPECT_EQ(style->GetState(), 21);
  scene.MoveTo(420, 310);
  scene.MoveTo(440, 320);
  EXPECT_EQ(style->GetMoved(), 0);
  EXPECT_EQ(hostMoves.Count, 2);
  vtkNew<vtkPropPicker> picker;
  scene.Interactor->SetPicker(picker);
  style->Pick();
  EXPECT_EQ(style->GetPropPicked(), 1);
  scene.SetPointer(3, 3);
  style->Pick();
  EXPECT_EQ(style->GetPropPicked(), 0);
  EXPECT_EQ(
    n({ C::StartPickEvent, C::StartInteractionEvent, C::InteractionEvent, C::EndPickEvent }),
    (std::vector{ 1, 1, 0, 0 }));
  scene.Fire(LeftUp, 440, 320);
  scene.Fire(LeftUp, 440, 320);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  EXPECT_EQ(
    n({ C::StartPickEvent, C::EndPickEvent, C::EndInteractionEvent }), (std::vector{ 1, 1, 1 }));
  EXPECT_EQ(scene.CameraState(), before);

  // A right press and release during a middle drag only take and give back
  // the focus: no band, no snapshot, no user callback, still rotating.
  scene.Fire(MiddleDown, 400, 300);
  scene.MoveTo(410, 300);
  scene.Fire(RightDown, 600, 500);
  EXPECT_EQ(style->GetStartPosition()[0] + style->GetPixelArray()->GetNumberOfTuples(), 0)
    << "no band, no snapshot";
  scene.MoveTo(420, 300);
  EXPECT_EQ(n[C::InteractionEvent], 2);
  EXPECT_EQ(hostMoves.Count, 2) << "the middle button holds the focus";
  scene.Fire(RightUp, 430, 300);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  EXPECT_EQ(n[C::UserEvent], 0);
  scene.MoveTo(440, 300);
  EXPECT_EQ(hostMoves.Count, 3);
  scene.Fire(MiddleUp, 440, 300);

  // The right button alone holds the focus as long as it is down.
  scene.Fire(RightDown, 100, 100);
  scene.MoveTo(150, 150);
  EXPECT_EQ(hostMoves.Count, 3);
  scene.Fire(RightUp, 150, 150);
  scene.MoveTo(160, 160);
  EXPECT_EQ(hostMoves.Count, 4);

  // The wheel dollies. (Its keys are swallowed: TestKivGuardedStyle; the
  // timer is the navigators' shared one: TestKivCatiaNavigation.)
  const double distance = scene.Camera()->GetDistance();
  scene.Fire(vtkCommand::MouseWheelForwardEvent, 400, 300);
  EXPECT_NEAR(scene.Camera()->GetDistance(), distance / 1.21, 1e-9);
}

// A right drag of five or more motions zooms the band's width onto the view
// and centres it (parallel: the scale, perspective: the distance; without
// width only centred); four or fewer call the user back and move nothing.
TEST(InteractorStyleMervo, RightClickCallsTheUserADragZoomsOntoTheBand)
{
  // Parallel, motions, the release's x and y, the zoom factor (0: none).
  for (const auto& [parallel, motions, x1, y1, factor] : { std::tuple{ false, 4, 300, 200, 0.0 },
         { true, 5, 300, 200, 4.0 },
         { false, 5, 300, 200, 4.0 },
         { true, 5, 100, 300, 1.0 } })
  {
    SCOPED_TRACE(std::to_string(motions) + (parallel ? " parallel " : " ") + std::to_string(x1));
    StyleScene scene(800, 600, 2, parallel);
    auto* style = scene.Nav.Get();
    orvi_test::EventCounts n(style, scene.Interactor);
    const auto centre = orvi_test::PointOnPlaneZ(
      scene.Renderer, factor > 0 ? (100 + x1) / 2.0 : 400, factor > 0 ? (100 + y1) / 2.0 : 300);
    scene.Fire(RightDown, 100, 100);
    EXPECT_EQ(style->GetState(), 22);
    EXPECT_EQ(style->GetPixelArray()->GetNumberOfTuples(), 800 * 600);
    scene.Path(100, 100, x1, y1, motions);
    EXPECT_EQ(style->GetMoved(), motions);
    scene.Fire(RightUp, x1, y1);
    EXPECT_EQ(std::make_pair(style->GetState(), style->GetMoved()), std::make_pair(VTKIS_NONE, 0));
    // The band starts without StartState(): no StartInteractionEvent.
    using C = vtkCommand;
    EXPECT_EQ(
      n({ C::StartInteractionEvent, C::EndInteractionEvent, C::InteractionEvent, C::UserEvent }),
      (std::vector{ 0, 1, 0, factor > 0 ? 0 : 1 }));
    vtkCamera* camera = scene.Camera();
    ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), centre[0], centre[1], centre[2], 1e-9);
    ORVI_EXPECT_VEC3_NEAR(camera->GetDirectionOfProjection(), 0, 0, -1, 1e-12);
    const double k = factor > 0 ? factor : 1;
    EXPECT_NEAR(camera->GetParallelScale(), parallel ? 3.0 / k : 3.0, 1e-12);
    EXPECT_NEAR(camera->GetDistance(), parallel ? 10.0 : 10.0 / k, 1e-9);
  }
}
