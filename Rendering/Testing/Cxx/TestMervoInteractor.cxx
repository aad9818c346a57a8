// vtkMervoInteractor as a host drives it: the host starts the states, the
// navigator turns about its rotation centre, flies, picks and zooms onto a
// box of gathered surface points.
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
#include "vtkProperty.h"
#include "vtkRendererCollection.h"
#include "vtkSelection.h"
#include "vtkSelectionNode.h"
#include "vtkSphereSource.h"
#include "vtkUnstructuredGridReader.h"
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
  const std::string file =
    orvi_test::MeshGmshTutorial("t5", std::filesystem::current_path() / "gmsh-t5", why);
  if (file.empty())
  {
    GTEST_SKIP() << why;
  }
  vtkNew<vtkUnstructuredGridReader> reader;
  reader->SetFileName(file.c_str());
  vtkNew<vtkDataSetSurfaceFilter> surface;
  surface->SetInputConnection(reader->GetOutputPort());
  surface->Update();
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputConnection(surface->GetOutputPort());
  mapper->ScalarVisibilityOff();
  vtkNew<vtkActor> mesh;
  mesh->SetMapper(mapper);
  mesh->GetProperty()->SetColor(0.2, 0.4, 0.9);
  vtkNew<vtkActor> edges;
  edges->SetMapper(mapper);
  edges->SetPickable(0);
  edges->GetProperty()->SetRepresentationToWireframe();
  edges->GetProperty()->SetColor(0.0, 0.0, 0.0);
  vtkNew<vtkInformation> keys;
  keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
  edges->SetPropertyKeys(keys);

  Scene scene(640, 480, 0);
  auto* nav = scene.Nav.Get();
  scene.Renderer->AddActor(mesh);
  scene.Renderer->AddActor(edges);
  vtkKivMainPass::InstallOn(scene.Renderer);
  const double* bounds = surface->GetOutput()->GetBounds();
  const double centre[3] = {
    (bounds[0] + bounds[1]) / 2, (bounds[2] + bounds[3]) / 2, (bounds[4] + bounds[5]) / 2
  };
  vtkCamera* camera = scene.Camera();
  camera->SetFocalPoint(centre[0], centre[1], centre[2]);
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
  // in the scene's renderer, over a green that no shade of the red sphere
  // takes (the shades of its silhouette reach black).
  vtkNew<vtkActor> sphere;
  sphere->SetMapper(marker->GetMapper());
  sphere->SetProperty(marker->GetProperty());
  sphere->SetPosition(marker->GetPosition());
  for (vtkActor* actor : { mesh.Get(), edges.Get(), marker })
  {
    actor->VisibilityOff();
  }
  scene.Renderer->SetBackground(0.0, 1.0, 0.0);
  scene.Renderer->AddActor(sphere);
  scene.Window->Render();
  const orvi_test::Frame alone(scene.Window);
  scene.Renderer->RemoveActor(sphere);
  scene.Renderer->SetBackground(0.0, 0.0, 0.0);
  mesh->VisibilityOn();
  edges->VisibilityOn();

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
  const auto before = scene.CameraState();
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
    camera->SetFocalPoint(before[3], before[4], before[5]);
    camera->SetPosition(before[0], before[1], before[2]);
    camera->SetViewUp(before[6], before[7], before[8]);
    scene.Renderer->ResetCameraClippingRange();
    nav->SetRotationCenter(const_cast<double*>(centre));
    scene.Window->Render();
    return result;
  };
  for (int kind = 0; kind < 4; ++kind)
  {
    SCOPED_TRACE(kind);
    marker->VisibilityOn();
    const auto over = pick(kind);
    marker->VisibilityOff();
    const auto hidden = pick(kind);
    ASSERT_EQ(over.size(), hidden.size());
    EXPECT_EQ(over[0], 1.0);
    for (size_t i = 0; i < over.size(); ++i)
    {
      EXPECT_NEAR(over[i], hidden[i], 1e-9) << i;
    }
  }
}

// The red rotation marker (at the focal point) and the yellow debug actor
// are built once, hidden and unpickable, when a renderer is first found;
// the marker follows the centre and scale set before or after.
TEST(MervoInteractor, MarkersPreparedOnceFlyMovesThem)
{
  Scene scene(800, 600, 0);
  auto* nav = scene.Nav.Get();
  orvi_test::ExpectFlyPickerAndTDxStyle(nav, nav->GetFlyPicker());
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

// Buttons mean nothing to the navigator (its keys: TestKivGuardedStyle); the
// timer renders only while animating (in state none: TestKivCatiaNavigation,
// the timer is shared), and a host animation with timers has each tick
// replace the timer by a repeating one.
TEST(MervoInteractor, ButtonsChangeNothingTheTimerOnlyRenders)
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

  orvi_test::EventCounts n(nullptr, scene.Interactor);
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(n[vtkCommand::RenderEvent], 0) << "no animation";
  nav->UseTimersOn();
  nav->SetTimerDuration(25);
  nav->StartAnimate();
  ASSERT_EQ(n[vtkCommand::CreateTimerEvent], 1);
  const int started = n[vtkCommand::RenderEvent];
  using C = vtkCommand;
  scene.Interactor->InvokeEvent(C::TimerEvent, nullptr);
  EXPECT_EQ(n({ C::RenderEvent, C::DestroyTimerEvent, C::CreateTimerEvent }),
    (std::vector{ started + 1, 1, 2 }));
  EXPECT_EQ(scene.Interactor->GetTimerDuration(nav->GetTimerId()), 25ul);
  EXPECT_FALSE(scene.Interactor->IsOneShotTimer(nav->GetTimerId()));
  nav->UseTimersOff();
  scene.Interactor->InvokeEvent(C::TimerEvent, nullptr);
  EXPECT_EQ(n({ C::RenderEvent, C::CreateTimerEvent }), (std::vector{ started + 2, 2 }));
  nav->StopAnimate();
}

// Box zoom: the camera after a band (parallel: 1 pixel = 0.01, scale 3;
// perspective: 10 from a 2 x 2 square that spans pixels 188..412 of 600).
TEST(MervoInteractor, BoxZoom)
{
  struct Case
  {
    const char* Name;
    bool Parallel;
    std::array<int, 4> Band;
    std::array<double, 3> Focal;
    double Distance, Scale;
    int DebugPoints;
    double Tol;
  };
  // The strip (x -19..21, y 2.4..2.6) is wider than the view; the square's
  // corners touch the view's edges at 1 / tan(15 degrees) = 3.7320508; a
  // band without extent hits one point four times.
  const Case cases[] = {
    { "4 corners, a quarter", true, { 450, 300, 650, 400 }, { 1.5, 0.5, 0 }, 10, 0.75, 4, 0.006 },
    { "strip, band unsorted", true, { 500, 580, 300, 520 }, { 1, 2.5, 0 }, 10, 3, 8, 1e-9 },
    { "background", true, { 2, 2, 40, 30 }, { 0, 0, 0 }, 10, 3, 0, 0 },
    { "square fills the view", false, { 150, 150, 450, 450 }, { 0, 0, 0 }, 3.7320508, 3, 8, 1e-7 },
    { "one point", false, { 350, 320, 350, 320 }, { 0.4465820, 0.1786328, 0 }, 10, 3, 4, 1e-6 },
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.Name);
    Scene scene(c.Parallel ? 800 : 600, 600, c.Parallel ? 0 : 1, c.Parallel);
    auto* nav = scene.Nav.Get();
    if (c.Parallel)
    {
      scene.Add(-3, -2, 3, 2);
      scene.Add(-19, 2.4, 21, 2.6);
      scene.Reset(true);
    }
    scene.Band(c.Band[0], c.Band[1], c.Band[2], c.Band[3], 5);
    nav->SetShowDebugActors(true);
    orvi_test::EventCounts n(nav, scene.Interactor);
    nav->BoxZoom();
    EXPECT_EQ(n[vtkCommand::RenderEvent] + nav->IsStateNone(), 0) << "neither renders nor ends";
    vtkCamera* camera = scene.Camera();
    const auto& f = c.Focal;
    ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), f[0], f[1], f[2], c.Tol);
    ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), f[0], f[1], f[2] + c.Distance, c.Tol);
    EXPECT_NEAR(camera->GetParallelScale(), c.Scale, c.Tol * 1.25);
    EXPECT_EQ(
      nav->GetDebugActor()->GetVisibility() ? nav->GetNumberOfDebugPoints() : 0, c.DebugPoints);
    nav->EndBoxZoom();
    EXPECT_TRUE(nav->IsStateNone());
    EXPECT_EQ(
      n({ vtkCommand::RenderEvent, vtkCommand::EndInteractionEvent }), (std::vector{ 1, 1 }));
  }
}
