#include "vtkMervoInteractor.h"

#include "orviTestUtils.h"

#include "vtkActor.h"
#include "vtkActorCollection.h"
#include "vtkBoundingBox.h"
#include "vtkCellPicker.h"
#include "vtkMath.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkSphereSource.h"
#include "vtkWorldPointPicker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
using ProbeNavigator = orvi_test::MervoProbe;

// q turned by angle degrees about the axis through c (Rodrigues' formula).
std::array<double, 3> Turn(const double q[3], const double c[3], const double axis[3], double angle)
{
  double k[3] = { axis[0], axis[1], axis[2] };
  vtkMath::Normalize(k);
  const double v[3] = { q[0] - c[0], q[1] - c[1], q[2] - c[2] };
  const double theta = vtkMath::RadiansFromDegrees(angle);
  double kxv[3];
  vtkMath::Cross(k, v, kxv);
  const double kv = vtkMath::Dot(k, v);
  std::array<double, 3> out;
  for (int i = 0; i < 3; ++i)
  {
    out[i] = c[i] + v[i] * std::cos(theta) + kxv[i] * std::sin(theta) +
      k[i] * kv * (1.0 - std::cos(theta));
  }
  return out;
}

vtkSphereSource* MarkerSphere(vtkActor* actor)
{
  return vtkSphereSource::SafeDownCast(actor->GetMapper()->GetInputAlgorithm());
}

// A window with the navigator installed and a camera on the +z axis, 10 away
// (parallel: scale 3, so 1 pixel is 0.01 in a window 600 high).
struct NavScene : orvi_test::Scene
{
  NavScene(int w, int h, bool parallel = false)
    : orvi_test::Scene(w, h)
  {
    this->Interactor->SetInteractorStyle(this->Nav);
    this->Reset(parallel);
  }
  vtkActor* AddPlane(double x0, double y0, double x1, double y1, double z = 0.0)
  {
    auto actor = orvi_test::MakePlane(x0, y0, x1, y1, z, 8, 8);
    this->Renderer->AddActor(actor);
    return actor;
  }
  void Reset(bool parallel)
  {
    orvi_test::LookDownZ(this->Camera(), 10, parallel, 3.0);
    this->Renderer->ResetCameraClippingRange();
    this->Window->Render();
  }
  // Start a band at (x0, y0) and drag it to (x1, y1) with five motions.
  void DragBand(int x0, int y0, int x1, int y1)
  {
    this->SetPointer(x0, y0);
    this->Nav->ClearMoved();
    this->Nav->StartBoxZoom();
    for (int i = 1; i <= 5; ++i)
    {
      this->MoveTo(x0 + (x1 - x0) * i / 5, y0 + (y1 - y0) * i / 5);
    }
  }
  vtkNew<ProbeNavigator> Nav;
};
} // namespace

TEST(MervoInteractor, ConstructionAndMarkersPreparedOnceUnderThePointer)
{
  orvi_test::Scene scene;
  auto nav = vtkSmartPointer<ProbeNavigator>::New();
  orvi_test::ExpectFlyPickerAndTDxStyle(nav, nav->GetFlyPicker());
  scene.Interactor->SetInteractorStyle(nav);
  scene.Camera()->SetFocalPoint(1, 2, 3);
  scene.Camera()->SetPosition(1, 2, 13);

  // Before preparation the setters only store.
  double early[3] = { 5, 5, 5 };
  nav->SetRotationCenter(early);
  nav->SetRotationMarkerScale(0.5);

  nav->FindPokedRenderer(400, 300);
  vtkActor* marker = nav->GetRotationPointActor();
  ASSERT_NE(marker, nullptr);
  ORVI_EXPECT_VEC3_NEAR(nav->GetRotationCenter(), 1, 2, 3, 0.0);
  ORVI_EXPECT_VEC3_NEAR(marker->GetPosition(), 1, 2, 3, 0.0);
  EXPECT_DOUBLE_EQ(MarkerSphere(marker)->GetRadius(), 0.5);

  // The red marker, then the yellow debug actor; both hidden and unpickable.
  vtkActorCollection* actors = scene.Renderer->GetActors();
  ASSERT_EQ(actors->GetNumberOfItems(), 2);
  EXPECT_EQ(actors->GetItemAsObject(0), marker);
  EXPECT_EQ(actors->GetItemAsObject(1), nav->GetDebugActor());
  for (vtkActor* actor : { marker, nav->GetDebugActor() })
  {
    EXPECT_FALSE(actor->GetVisibility());
    EXPECT_FALSE(actor->GetPickable());
  }
  ORVI_EXPECT_VEC3_NEAR(marker->GetProperty()->GetColor(), 1, 0, 0, 0.0);
  ORVI_EXPECT_VEC3_NEAR(nav->GetDebugActor()->GetProperty()->GetColor(), 1, 1, 0, 0.0);

  // Further preparing operations build nothing new.
  nav->FindPokedRenderer(10, 10);
  nav->FindRotationCenter();
  EXPECT_EQ(actors->GetNumberOfItems(), 2);
  EXPECT_EQ(nav->GetRotationPointActor(), marker);

  // After preparation the setters act on the marker at once.
  nav->SetRotationCenter(early);
  ORVI_EXPECT_VEC3_NEAR(marker->GetPosition(), 5, 5, 5, 0.0);
  nav->SetRotationMarkerScale(0.25);
  EXPECT_DOUBLE_EQ(MarkerSphere(marker)->GetRadius(), 0.25);

  // The marker stays in the renderer when the navigator goes.
  vtkSmartPointer<vtkActor> kept = marker;
  scene.Interactor->SetInteractorStyle(nullptr);
  nav = nullptr;
  EXPECT_TRUE(scene.Renderer->HasViewProp(kept));
}

TEST(MervoInteractor, RotationTurnsAboutTheCentre)
{
  NavScene scene(800, 600);
  ProbeNavigator* nav = scene.Nav;
  ASSERT_DOUBLE_EQ(nav->GetMotionFactor(), 10.0);
  // An oblique camera, and a centre away from the focal point.
  vtkCamera* camera = scene.Camera();
  camera->SetFocalPoint(0.5, -0.25, 0.0);
  camera->SetPosition(6.0, 4.0, 8.0);
  camera->SetViewUp(0.0, 0.0, 1.0);
  camera->OrthogonalizeViewUp();
  nav->FindPokedRenderer(400, 300);
  double c[3] = { 1.0, 2.0, -1.0 };
  nav->SetRotationCenter(c);
  orvi_test::EventRecorder interactions(nav, vtkCommand::InteractionEvent);
  nav->StartRotate();
  ASSERT_TRUE(nav->IsStateRotate());

  // One motion to (x, y): position and focal point turned by -10 degrees
  // about the axis through the centre, one count, one InteractionEvent.
  auto expectTurn = [&](int x, int y, const double axis[3], int n)
  {
    double p0[3], f0[3];
    camera->GetPosition(p0);
    camera->GetFocalPoint(f0);
    scene.MoveTo(x, y);
    const auto p1 = Turn(p0, c, axis, -10.0), f1 = Turn(f0, c, axis, -10.0);
    ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), p1[0], p1[1], p1[2], 1e-9);
    ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), f1[0], f1[1], f1[2], 1e-9);
    EXPECT_EQ(nav->GetMoved(), n);
    EXPECT_EQ(interactions.Count, n);
  };
  // dx = 40 in 800 pixels: about view-up.
  double up[3], n[3], left[3];
  camera->GetViewUp(up);
  scene.SetPointer(400, 300);
  expectTurn(440, 300, up, 1);
  // dy = 30 in 600 pixels: about the leftward axis, -(projection x up).
  camera->GetDirectionOfProjection(n);
  camera->GetViewUp(up);
  vtkMath::Cross(up, n, left);
  expectTurn(440, 330, left, 2);
  EXPECT_NEAR(vtkMath::Dot(camera->GetViewUp(), camera->GetDirectionOfProjection()), 0.0, 1e-12);

  // No motion: no camera change, but a render.
  orvi_test::EventRecorder renders(scene.Interactor, vtkCommand::RenderEvent);
  const auto still = scene.CameraState();
  scene.MoveTo(440, 330);
  EXPECT_EQ(scene.CameraState(), still);
  EXPECT_EQ(renders.Count, 1);
  EXPECT_EQ(interactions.Count, 3);

  // With the centre on the focal point only the position moves.
  double focal[3];
  camera->GetFocalPoint(focal);
  nav->SetRotationCenter(focal);
  scene.MoveTo(470, 310);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), focal[0], focal[1], focal[2], 1e-9);
  EXPECT_GT(orvi_test::Distance(camera->GetPosition(), still.data()), 0.1);
  nav->EndRotate();
  EXPECT_TRUE(nav->IsStateNone());
}

TEST(MervoInteractor, MotionsCountAndNotifyPerStateAndThePickState)
{
  NavScene scene(400, 300);
  ProbeNavigator* nav = scene.Nav;
  scene.AddPlane(-1, -1, 1, 1);
  orvi_test::EventRecorder interactions(nav, vtkCommand::InteractionEvent);
  scene.SetPointer(200, 150);

  // Rotate, pan, spin, dolly: one count and one InteractionEvent per motion.
  using Starter = void (vtkInteractorStyle::*)();
  int expected = 0;
  for (Starter start : { &vtkInteractorStyle::StartRotate,
         &vtkInteractorStyle::StartPan,
         &vtkInteractorStyle::StartSpin,
         &vtkInteractorStyle::StartDolly })
  {
    (nav->*start)();
    scene.MoveTo(210, 165);
    scene.MoveTo(200, 150);
    expected += 2;
    EXPECT_EQ(nav->GetMoved(), expected) << "state " << nav->GetState();
    EXPECT_EQ(interactions.Count, expected) << "state " << nav->GetState();
    nav->StopState();
  }

  // None, pick and VTK's zoom state: nothing at all.
  const auto before = scene.CameraState();
  scene.MoveTo(250, 200);
  nav->StartPick();
  scene.MoveTo(260, 210);
  nav->EndPick();
  nav->StartState(VTKIS_ZOOM);
  scene.MoveTo(270, 220);
  nav->StopState();
  EXPECT_EQ(nav->GetMoved(), expected);
  EXPECT_EQ(interactions.Count, expected);
  EXPECT_EQ(scene.CameraState(), before);

  // Box zoom: counted, no InteractionEvent.
  scene.DragBand(100, 100, 150, 125);
  scene.MoveTo(160, 130);
  EXPECT_EQ(nav->GetMoved(), 6);
  EXPECT_EQ(interactions.Count, expected);
  nav->EndBoxZoom();

  // The pick state fires the interactor's pick events and VTK's state
  // events; Pick() leaves the state alone and fires no pick event.
  orvi_test::EventRecorder startPick(scene.Interactor, vtkCommand::StartPickEvent);
  orvi_test::EventRecorder endPick(scene.Interactor, vtkCommand::EndPickEvent);
  orvi_test::EventRecorder startInteraction(nav, vtkCommand::StartInteractionEvent);
  orvi_test::EventRecorder endInteraction(nav, vtkCommand::EndInteractionEvent);
  nav->StartPick();
  EXPECT_TRUE(nav->IsStatePick());
  EXPECT_EQ(startPick.Count, 1);
  EXPECT_EQ(startInteraction.Count, 1);
  scene.SetPointer(200, 150);
  nav->Pick();
  EXPECT_EQ(nav->GetPropPicked(), 1);
  EXPECT_TRUE(nav->IsStatePick());
  scene.SetPointer(5, 5);
  nav->Pick();
  EXPECT_EQ(nav->GetPropPicked(), 0);
  nav->EndPick();
  EXPECT_TRUE(nav->IsStateNone());
  EXPECT_EQ(endPick.Count, 1);
  EXPECT_EQ(endInteraction.Count, 1);

  // An interactor picker that is no prop picker: nothing picked.
  vtkNew<vtkWorldPointPicker> worldPicker;
  scene.Interactor->SetPicker(worldPicker);
  nav->SetPropPicked(1);
  scene.SetPointer(200, 150);
  nav->Pick();
  EXPECT_EQ(nav->GetPropPicked(), 0);
  EXPECT_EQ(startPick.Count, 1);
}

TEST(MervoInteractor, ButtonsAndKeysChangeNothingTheTimerOnlyRenders)
{
  NavScene scene(400, 300);
  ProbeNavigator* nav = scene.Nav;
  vtkActor* plane = scene.AddPlane(-1, -1, 1, 1);
  scene.Camera()->SetPosition(3, 1, 10);
  scene.Window->Render();
  const auto before = scene.CameraState();
  for (unsigned long event : { vtkCommand::LeftButtonPressEvent,
         vtkCommand::LeftButtonReleaseEvent,
         vtkCommand::MiddleButtonPressEvent,
         vtkCommand::MiddleButtonReleaseEvent,
         vtkCommand::RightButtonPressEvent,
         vtkCommand::RightButtonReleaseEvent })
  {
    scene.Fire(event, 200, 150);
    scene.MoveTo(230, 170);
  }
  // VTK's shortcuts: wireframe, reset camera, fly-to, pick, stereo, exit.
  for (char key : { 'w', 'r', 'f', 'p', '3', 'e', 'q' })
  {
    scene.Key(key, 200, 150);
  }
  EXPECT_TRUE(nav->IsStateNone());
  EXPECT_EQ(nav->GetMoved(), 0);
  EXPECT_EQ(scene.CameraState(), before);
  EXPECT_EQ(plane->GetProperty()->GetRepresentation(), VTK_SURFACE);
  EXPECT_FALSE(scene.Window->GetStereoRender());

  // The timer renders only while animating, in state none.
  orvi_test::EventRecorder renders(scene.Interactor, vtkCommand::RenderEvent);
  orvi_test::EventRecorder created(scene.Interactor, vtkCommand::CreateTimerEvent);
  orvi_test::EventRecorder destroyed(scene.Interactor, vtkCommand::DestroyTimerEvent);
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(renders.Count, 0) << "no animation";

  // A host animation with timers: VTK's StartAnimate() creates the timer,
  // each tick renders and replaces it with a repeating one.
  nav->UseTimersOn();
  nav->SetTimerDuration(25);
  nav->StartAnimate();
  ASSERT_EQ(created.Count, 1);
  const int started = renders.Count;
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(renders.Count, started + 1);
  EXPECT_EQ(destroyed.Count, 1);
  EXPECT_EQ(created.Count, 2);
  EXPECT_EQ(scene.Interactor->GetTimerDuration(nav->GetTimerId()), 25ul);
  EXPECT_FALSE(scene.Interactor->IsOneShotTimer(nav->GetTimerId())) << "a repeating timer";
  nav->UseTimersOff();
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(renders.Count, started + 2);
  EXPECT_EQ(created.Count, 2);

  // In rotate state the timer drives nothing.
  nav->SetAnimState(VTKIS_ANIM_OFF);
  nav->StartRotate();
  nav->SetAnimState(VTKIS_ANIM_ON);
  const auto rotating = scene.CameraState();
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(renders.Count, started + 2);
  EXPECT_EQ(scene.CameraState(), rotating);
  nav->SetAnimState(VTKIS_ANIM_OFF);
}

TEST(MervoInteractor, FlyMovesFocalPointAndCentre)
{
  NavScene scene(800, 600);
  ProbeNavigator* nav = scene.Nav;
  scene.AddPlane(-1, -1, 1, 1, 0.5);
  scene.Reset(false);

  // The surface point under pixel (500, 350): the viewing ray hits z = 0.5.
  const auto hit = orvi_test::PointOnPlaneZ(scene.Renderer, 500, 350, 0.5);
  scene.SetPointer(500, 350);
  nav->Fly();
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), hit[0], hit[1], hit[2], 1e-5);
  ORVI_EXPECT_VEC3_NEAR(nav->GetRotationCenter(), hit[0], hit[1], hit[2], 1e-5);
  ORVI_EXPECT_VEC3_NEAR(nav->GetRotationPointActor()->GetPosition(), hit[0], hit[1], hit[2], 1e-5);

  // Over the background: the camera stays, the centre becomes the focal point.
  double c[3] = { 9, 9, 9 };
  nav->SetRotationCenter(c);
  const auto before = scene.CameraState();
  scene.SetPointer(5, 5);
  nav->Fly();
  EXPECT_EQ(scene.CameraState(), before);
  const double* f = &before[3];
  ORVI_EXPECT_VEC3_NEAR(nav->GetRotationCenter(), f[0], f[1], f[2], 0.0);
  ORVI_EXPECT_VEC3_NEAR(nav->GetRotationPointActor()->GetPosition(), f[0], f[1], f[2], 0.0);
  EXPECT_TRUE(nav->IsStateNone());
}

TEST(MervoInteractor, BoundingBoxCornersAndPointGathering)
{
  NavScene scene(800, 600, true);
  ProbeNavigator* nav = scene.Nav;
  // Corners in x-major order: corner k has x = bit 2, y = bit 1, z = bit 0.
  const vtkBoundingBox box(0, 1, 0, 2, 0, 3);
  std::vector<ProbeNavigator::Point> list(3, ProbeNavigator::Point{ 7, 7, 7 });
  nav->GetBoundingBoxCorners(box, list);
  ASSERT_EQ(list.size(), 8u);
  for (int k = 0; k < 8; ++k)
  {
    const double e[3] = { 1.0 * (k >> 2 & 1), 2.0 * (k >> 1 & 1), 3.0 * (k & 1) };
    const double fromList[3] = { list[k].x, list[k].y, list[k].z };
    ORVI_EXPECT_VEC3_NEAR(fromList, e[0], e[1], e[2], 0.0);
  }

  // Point gathering in a real view: parallel camera, 1 pixel = 0.01.
  scene.AddPlane(-3, -2, 3, 2);
  scene.AddPlane(3.5, -0.25, 3.75, 0.25); // a small patch
  scene.Reset(true);
  nav->FindPokedRenderer(400, 300);

  // All four corners on the big plane: four points and their mean.
  nav->SetBand(300, 250, 500, 350);
  std::vector<ProbeNavigator::Point> points;
  ProbeNavigator::Point center{ -1, -1, -1 };
  nav->GetSelectedPoints(points, center);
  ASSERT_EQ(points.size(), 4u);
  const double corners[4][2] = { { -1, -0.5 }, { -1, 0.5 }, { 1, -0.5 }, { 1, 0.5 } };
  for (int k = 0; k < 4; ++k)
  {
    EXPECT_NEAR(points[k].x, corners[k][0], 0.006) << k;
    EXPECT_NEAR(points[k].y, corners[k][1], 0.006) << k;
    EXPECT_NEAR(points[k].z, 0.0, 1e-9) << k;
  }
  EXPECT_NEAR(center.x, (points[0].x + points[1].x + points[2].x + points[3].x) / 4, 1e-12);
  vtkBoundingBox selection = nav->GetSelectionBoundingBox();
  EXPECT_NEAR(selection.GetMinPoint()[0], points[0].x, 1e-9);
  EXPECT_NEAR(selection.GetMaxPoint()[1], points[3].y, 1e-9);

  // Corners all miss, the band covers the small patch (screen x 750..775,
  // y 275..325): its bounds' eight corners and their centre.
  nav->SetBand(790, 340, 740, 260); // stored unsorted
  points.clear();
  nav->GetSelectedPoints(points, center);
  ASSERT_EQ(points.size(), 8u);
  EXPECT_DOUBLE_EQ(points[0].x, 3.5);
  EXPECT_DOUBLE_EQ(points[7].y, 0.25);
  EXPECT_NEAR(center.x, 3.625, 1e-12);
  EXPECT_NEAR(center.y, 0.0, 1e-12);
  selection = nav->GetSelectionBoundingBox();
  EXPECT_DOUBLE_EQ(selection.GetMinPoint()[0], 3.5);
  EXPECT_DOUBLE_EQ(selection.GetMaxPoint()[0], 3.75);

  // Over the background: nothing, the centre keeps the caller's value.
  nav->SetBand(5, 5, 30, 30);
  points.clear();
  center = { -1, -1, -1 };
  nav->GetSelectedPoints(points, center);
  EXPECT_TRUE(points.empty());
  EXPECT_EQ(center.x, -1);
  EXPECT_FALSE(nav->GetSelectionBoundingBox().IsValid());
}

TEST(MervoInteractor, BoxZoomParallel)
{
  NavScene scene(800, 600, true); // 1 pixel = 0.01
  ProbeNavigator* nav = scene.Nav;
  scene.AddPlane(-3, -2, 3, 2);
  // A long thin strip, wider than the view, above the plane's band region.
  scene.AddPlane(-19, 2.4, 21, 2.6);
  scene.Reset(true);
  vtkCamera* camera = scene.Camera();

  // 200 x 100 pixels on the plane, off centre: a quarter of the scale.
  scene.DragBand(450, 300, 650, 400);
  nav->SetShowDebugActors(true);
  orvi_test::EventRecorder renders(scene.Interactor, vtkCommand::RenderEvent);
  nav->BoxZoom();
  EXPECT_EQ(renders.Count, 0) << "the zoom does not render";
  EXPECT_TRUE(nav->IsStateBoxZoom()) << "the zoom does not change the state";
  EXPECT_NEAR(camera->GetParallelScale(), 0.75, 0.75 * 0.01);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), 1.5, 0.5, 0.0, 0.006);
  ORVI_EXPECT_VEC3_NEAR(camera->GetDirectionOfProjection(), 0, 0, -1, 1e-12);
  EXPECT_NEAR(camera->GetDistance(), 10.0, 1e-9);
  // The debug actor shows the four gathered points.
  EXPECT_TRUE(nav->GetDebugActor()->GetVisibility());
  EXPECT_EQ(nav->GetNumberOfDebugPoints(), 4);
  nav->SetShowDebugActors(false);
  EXPECT_TRUE(nav->GetDebugActor()->GetVisibility()) << "never switched off again";

  orvi_test::EventRecorder endInteraction(nav, vtkCommand::EndInteractionEvent);
  nav->EndBoxZoom();
  EXPECT_TRUE(nav->IsStateNone());
  EXPECT_EQ(renders.Count, 1);
  EXPECT_EQ(endInteraction.Count, 1);

  // A band whose corners miss but which covers the strip: its bounds span
  // far more than the view, so the scale stays; the view is centred on them.
  scene.Reset(true);
  scene.DragBand(300, 520, 500, 580);
  nav->BoxZoom();
  EXPECT_DOUBLE_EQ(camera->GetParallelScale(), 3.0);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), 1.0, 2.5, 0.0, 1e-12);
  nav->EndBoxZoom();

  // Over the background: no change at all.
  scene.Reset(true);
  const auto before = scene.CameraState();
  scene.DragBand(2, 2, 40, 30);
  nav->BoxZoom();
  EXPECT_EQ(scene.CameraState(), before);
  nav->EndBoxZoom();
}

TEST(MervoInteractor, BoxZoomPerspective)
{
  NavScene scene(600, 600);
  ProbeNavigator* nav = scene.Nav;
  // Bounds (+-1, +-1, 0); at distance 10 it spans pixels 188..412.
  scene.AddPlane(-1, -1, 1, 1);
  scene.Reset(false);
  vtkCamera* camera = scene.Camera();

  // Corners miss, the area pick finds the square: the camera comes to
  // 1 / tan(15 degrees) = 3.7320508 of it.
  scene.DragBand(150, 150, 450, 450);
  nav->SetShowDebugActors(true);
  nav->BoxZoom();
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), 0, 0, 3.7320508, 1e-7);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), 0, 0, 0, 1e-12);
  EXPECT_DOUBLE_EQ(camera->GetViewAngle(), 30.0);
  EXPECT_EQ(nav->GetNumberOfDebugPoints(), 8);
  // The square's corners now touch the view's edges.
  double display[3];
  vtkInteractorObserver::ComputeWorldToDisplay(scene.Renderer, 1, 1, 0, display);
  EXPECT_NEAR(display[0], 600.0, 0.01);
  EXPECT_NEAR(display[1], 600.0, 0.01);
  nav->EndBoxZoom();

  // A single point (a band without extent on the square): only centred.
  scene.Reset(false);
  scene.DragBand(350, 320, 350, 320);
  const auto hit = orvi_test::PointOnPlaneZ(scene.Renderer, 350, 320);
  nav->BoxZoom();
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), hit[0], hit[1], hit[2], 1e-6);
  EXPECT_NEAR(camera->GetDistance(), 10.0, 1e-9);
  ORVI_EXPECT_VEC3_NEAR(camera->GetDirectionOfProjection(), 0, 0, -1, 1e-12);
  nav->EndBoxZoom();
}
