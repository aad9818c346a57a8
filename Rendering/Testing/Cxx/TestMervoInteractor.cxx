#include "vtkMervoInteractor.h"

#include "orviTestUtils.h"

#include "vtkActor.h"
#include "vtkActorCollection.h"
#include "vtkBoundingBox.h"
#include "vtkCellPicker.h"
#include "vtkGlyph3D.h"
#include "vtkMath.h"
#include "vtkObjectFactory.h"
#include "vtkPlaneSource.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkPropPicker.h"
#include "vtkProperty.h"
#include "vtkSphereSource.h"
#include "vtkTDxInteractorStyleCameraFocalPoint.h"
#include "vtkTDxInteractorStyleSettings.h"
#include "vtkWorldPointPicker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
// The navigator as a host derives it, with its protected parts in reach.
class ProbeNavigator : public vtkMervoInteractor
{
public:
  static ProbeNavigator* New();
  vtkTypeMacro(ProbeNavigator, vtkMervoInteractor);
  using vtkMervoInteractor::GetBoundingBoxCorners;
  using vtkMervoInteractor::GetSelectedPoints;
  using vtkMervoInteractor::GetSelectionBoundingBox;
  using vtkMervoInteractor::Point;
  vtkCellPicker* GetFlyPicker() { return this->Picker; }
  int GetPropPicked() const { return this->PropPicked; }
  void SetPropPicked(int value) { this->PropPicked = value; }
  void SetAnimState(int value) { this->AnimState = value; }
  int GetTimerId() const { return this->TimerId; }
  vtkPolyData* GetDebugPoints() { return this->DebugPoints; }
  vtkActor* GetDebugActor() { return this->DebugActor; }
  vtkGlyph3D* GetDebugGlyph() { return this->DebugGlyph; }
  vtkSphereSource* GetDebugSphere() { return this->DebugSphereSource; }
  double GetDebugSphereScale() const { return this->DebugSphereScale; }
  int* GetStartPosition() { return this->StartPosition; }
  int* GetEndPosition() { return this->EndPosition; }
  void SetBand(int x0, int y0, int x1, int y1)
  {
    this->StartPosition[0] = x0;
    this->StartPosition[1] = y0;
    this->EndPosition[0] = x1;
    this->EndPosition[1] = y1;
  }
};
vtkStandardNewMacro(ProbeNavigator);

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

vtkSmartPointer<vtkActor> AddPlane(vtkRenderer* renderer,
  double x0,
  double y0,
  double x1,
  double y1,
  double z)
{
  vtkNew<vtkPlaneSource> plane;
  plane->SetOrigin(x0, y0, z);
  plane->SetPoint1(x1, y0, z);
  plane->SetPoint2(x0, y1, z);
  plane->SetResolution(8, 8);
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputConnection(plane->GetOutputPort());
  auto actor = vtkSmartPointer<vtkActor>::New();
  actor->SetMapper(mapper);
  renderer->AddActor(actor);
  return actor;
}

// A camera on the +z axis looking at the origin.
void LookDownZ(vtkCamera* camera, double distance, bool parallel)
{
  camera->SetFocalPoint(0, 0, 0);
  camera->SetPosition(0, 0, distance);
  camera->SetViewUp(0, 1, 0);
  camera->SetViewAngle(30.0);
  camera->SetParallelProjection(parallel);
}

// Start a band at (x0, y0) and drag it, through the interactor, to (x1, y1)
// with five motions, as a host does.
void DragBand(orvi_test::Scene& scene, vtkMervoInteractor* nav, int x0, int y0, int x1, int y1)
{
  scene.SetPointer(x0, y0);
  nav->ClearMoved();
  nav->StartBoxZoom();
  for (int i = 1; i <= 5; ++i)
  {
    scene.MoveTo(x0 + (x1 - x0) * i / 5, y0 + (y1 - y0) * i / 5);
  }
}
} // namespace

TEST(MervoInteractor, ConstructionAndSettings)
{
  vtkNew<ProbeNavigator> nav;
  EXPECT_TRUE(nav->IsA("vtkMervoInteractor"));
  EXPECT_TRUE(nav->IsA("vtkKivInteractor"));
  EXPECT_DOUBLE_EQ(nav->GetRotationMarkerScale(), 2.0);
  EXPECT_FALSE(nav->GetShowDebugActors());
  EXPECT_EQ(nav->GetRotationPointActor(), nullptr);
  ORVI_EXPECT_VEC3_NEAR(nav->GetRotationCenter(), 0.0, 0.0, 0.0, 0.0);
  EXPECT_DOUBLE_EQ(nav->GetDebugSphereScale(), 0.005);
  EXPECT_TRUE(nav->IsStateNone());
  EXPECT_EQ(nav->GetMoved(), 0);

  vtkNew<vtkCellPicker> reference;
  EXPECT_DOUBLE_EQ(nav->GetFlyPicker()->GetTolerance(), reference->GetTolerance() * 0.125);

  auto* tdx = vtkTDxInteractorStyleCameraFocalPoint::SafeDownCast(nav->GetTDxStyle());
  ASSERT_NE(tdx, nullptr);
  EXPECT_DOUBLE_EQ(tdx->GetSettings()->GetAngleSensitivity(), -0.03125);
  EXPECT_DOUBLE_EQ(tdx->GetSettings()->GetTranslationYSensitivity(), -0.00390625);

  const unsigned long mtime = nav->GetMTime();
  nav->SetShowDebugActors(false);
  EXPECT_EQ(nav->GetMTime(), mtime);
  nav->SetShowDebugActors(true);
  EXPECT_TRUE(nav->GetShowDebugActors());
  EXPECT_GT(nav->GetMTime(), mtime);
}

TEST(MervoInteractor, MarkersArePreparedOnceInTheRendererUnderThePointer)
{
  orvi_test::Scene scene;
  auto nav = vtkSmartPointer<ProbeNavigator>::New();
  scene.Interactor->SetInteractorStyle(nav);
  scene.Camera()->SetFocalPoint(1, 2, 3);
  scene.Camera()->SetPosition(1, 2, 13);

  // Before preparation the setters only store.
  double early[3] = { 5, 5, 5 };
  nav->SetRotationCenter(early);
  nav->SetRotationMarkerScale(0.5);
  ORVI_EXPECT_VEC3_NEAR(nav->GetRotationCenter(), 5, 5, 5, 0.0);
  EXPECT_EQ(nav->GetRotationPointActor(), nullptr);

  nav->FindPokedRenderer(400, 300);
  vtkActor* marker = nav->GetRotationPointActor();
  ASSERT_NE(marker, nullptr);
  double center[3];
  nav->GetRotationCenter(center);
  ORVI_EXPECT_VEC3_NEAR(center, 1, 2, 3, 0.0);
  ORVI_EXPECT_VEC3_NEAR(marker->GetPosition(), 1, 2, 3, 0.0);
  EXPECT_DOUBLE_EQ(MarkerSphere(marker)->GetRadius(), 0.5);

  vtkActorCollection* actors = scene.Renderer->GetActors();
  ASSERT_EQ(actors->GetNumberOfItems(), 2);
  vtkActor* first = vtkActor::SafeDownCast(actors->GetItemAsObject(0));
  vtkActor* second = vtkActor::SafeDownCast(actors->GetItemAsObject(1));
  EXPECT_EQ(first, marker);
  EXPECT_EQ(second, nav->GetDebugActor());
  for (vtkActor* actor : { first, second })
  {
    EXPECT_FALSE(actor->GetVisibility());
    EXPECT_FALSE(actor->GetPickable());
  }
  ORVI_EXPECT_VEC3_NEAR(first->GetProperty()->GetColor(), 1, 0, 0, 0.0);
  ORVI_EXPECT_VEC3_NEAR(second->GetProperty()->GetColor(), 1, 1, 0, 0.0);

  // Further preparing operations build nothing new.
  nav->FindPokedRenderer(10, 10);
  nav->FindRotationCenter();
  EXPECT_EQ(actors->GetNumberOfItems(), 2);
  EXPECT_EQ(nav->GetRotationPointActor(), marker);

  // After preparation the setters act on the marker at once.
  double later[3] = { 5, 5, 5 };
  nav->SetRotationCenter(later);
  ORVI_EXPECT_VEC3_NEAR(marker->GetPosition(), 5, 5, 5, 0.0);
  nav->SetRotationMarkerScale(0.25);
  EXPECT_DOUBLE_EQ(MarkerSphere(marker)->GetRadius(), 0.25);

  // The marker stays in the renderer when the navigator goes.
  vtkSmartPointer<vtkActor> kept = marker;
  scene.Interactor->SetInteractorStyle(nullptr);
  nav = nullptr;
  EXPECT_TRUE(scene.Renderer->HasViewProp(kept));
}

TEST(MervoInteractor, PreparingWithoutRendererWarnsEachTime)
{
  vtkNew<vtkMervoInteractor> nav;
  orvi_test::EventRecorder warnings(nav, vtkCommand::WarningEvent);
  nav->FindRotationCenter();
  nav->FindRotationCenter();
  ASSERT_EQ(warnings.Count, 2);
  for (const auto& text : warnings.Texts)
  {
    EXPECT_EQ(text.rfind("Warning: In ", 0), 0u) << text;
    const std::string tail = "): Cannot prepare rotation point actor, no renderer\n\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
    EXPECT_NE(text.find("\nvtkMervoInteractor (0x"), std::string::npos) << text;
  }
  EXPECT_EQ(nav->GetRotationPointActor(), nullptr);
}

TEST(MervoInteractor, RotationTurnsAboutTheCentre)
{
  orvi_test::Scene scene(800, 600);
  vtkNew<ProbeNavigator> nav;
  scene.Interactor->SetInteractorStyle(nav);
  scene.Interactor->LightFollowCameraOn();
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

  // dx = 40 in 800 pixels: -10 degrees about view-up through the centre.
  double p0[3], f0[3], up0[3];
  camera->GetPosition(p0);
  camera->GetFocalPoint(f0);
  camera->GetViewUp(up0);
  scene.SetPointer(400, 300);
  scene.MoveTo(440, 300);
  auto p1 = Turn(p0, c, up0, -10.0);
  auto f1 = Turn(f0, c, up0, -10.0);
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), p1[0], p1[1], p1[2], 1e-9);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), f1[0], f1[1], f1[2], 1e-9);
  EXPECT_EQ(nav->GetMoved(), 1);
  EXPECT_EQ(interactions.Count, 1);

  // dy = 30 in 600 pixels: -10 degrees about the leftward axis through the
  // centre. Leftward = -(direction of projection x view-up).
  double n[3], up[3], left[3];
  camera->GetDirectionOfProjection(n);
  camera->GetViewUp(up);
  vtkMath::Cross(up, n, left);
  camera->GetPosition(p0);
  camera->GetFocalPoint(f0);
  const double distanceToCentre = orvi_test::Distance(p0, c);
  scene.MoveTo(440, 330);
  auto p2 = Turn(p0, c, left, -10.0);
  auto f2 = Turn(f0, c, left, -10.0);
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), p2[0], p2[1], p2[2], 1e-9);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), f2[0], f2[1], f2[2], 1e-9);
  EXPECT_NEAR(orvi_test::Distance(camera->GetPosition(), c), distanceToCentre, 1e-9);
  EXPECT_NEAR(vtkMath::Dot(camera->GetViewUp(), camera->GetDirectionOfProjection()), 0.0, 1e-12);
  EXPECT_EQ(nav->GetMoved(), 2);
  EXPECT_EQ(interactions.Count, 2);

  // No motion: no camera change, but a render.
  orvi_test::EventRecorder renders(scene.Interactor, vtkCommand::RenderEvent);
  camera->GetPosition(p0);
  scene.MoveTo(440, 330);
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), p0[0], p0[1], p0[2], 0.0);
  EXPECT_EQ(renders.Count, 1);
  EXPECT_EQ(interactions.Count, 3);

  // With the centre on the focal point only the position moves.
  double focal[3];
  camera->GetFocalPoint(focal);
  nav->SetRotationCenter(focal);
  scene.MoveTo(470, 310);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), focal[0], focal[1], focal[2], 1e-9);
  EXPECT_GT(orvi_test::Distance(camera->GetPosition(), p0), 0.1);
  nav->EndRotate();
  EXPECT_TRUE(nav->IsStateNone());
}

TEST(MervoInteractor, MotionsCountAndNotifyPerState)
{
  orvi_test::Scene scene(400, 300);
  vtkNew<ProbeNavigator> nav;
  scene.Interactor->SetInteractorStyle(nav);
  AddPlane(scene.Renderer, -1, -1, 1, 1, 0);
  LookDownZ(scene.Camera(), 10, false);
  orvi_test::EventRecorder interactions(nav, vtkCommand::InteractionEvent);
  scene.SetPointer(200, 150);

  // Rotate, pan, spin, dolly: one count and one InteractionEvent per motion,
  // and the camera moves.
  using Starter = void (vtkInteractorStyle::*)();
  const Starter starts[] = { &vtkInteractorStyle::StartRotate,
    &vtkInteractorStyle::StartPan,
    &vtkInteractorStyle::StartSpin,
    &vtkInteractorStyle::StartDolly };
  int expected = 0;
  for (Starter start : starts)
  {
    (nav.Get()->*start)();
    double before[3];
    scene.Camera()->GetPosition(before);
    scene.MoveTo(210, 165);
    scene.MoveTo(200, 150);
    expected += 2;
    EXPECT_EQ(nav->GetMoved(), expected) << "state " << nav->GetState();
    EXPECT_EQ(interactions.Count, expected) << "state " << nav->GetState();
    nav->StopState();
  }

  // None, pick and VTK's zoom state: nothing at all.
  double before[3];
  scene.Camera()->GetPosition(before);
  scene.MoveTo(250, 200);
  nav->StartPick();
  scene.MoveTo(260, 210);
  nav->EndPick();
  nav->StartState(VTKIS_ZOOM);
  scene.MoveTo(270, 220);
  nav->StopState();
  EXPECT_EQ(nav->GetMoved(), expected);
  EXPECT_EQ(interactions.Count, expected);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), before[0], before[1], before[2], 0.0);

  // Box zoom: counted, no InteractionEvent.
  nav->ClearMoved();
  scene.SetPointer(100, 100);
  nav->StartBoxZoom();
  for (int i = 1; i <= 6; ++i)
  {
    scene.MoveTo(100 + 10 * i, 100 + 5 * i);
  }
  EXPECT_EQ(nav->GetMoved(), 6);
  EXPECT_EQ(interactions.Count, expected);
  nav->EndBoxZoom();
}

TEST(MervoInteractor, ButtonsAndKeysChangeNothing)
{
  orvi_test::Scene scene(400, 300);
  vtkNew<ProbeNavigator> nav;
  scene.Interactor->SetInteractorStyle(nav);
  vtkSmartPointer<vtkActor> plane = AddPlane(scene.Renderer, -1, -1, 1, 1, 0);
  LookDownZ(scene.Camera(), 10, false);
  scene.Camera()->SetPosition(3, 1, 10);
  scene.Window->Render();
  double before[3];
  scene.Camera()->GetPosition(before);

  const unsigned long buttons[] = { vtkCommand::LeftButtonPressEvent,
    vtkCommand::LeftButtonReleaseEvent,
    vtkCommand::MiddleButtonPressEvent,
    vtkCommand::MiddleButtonReleaseEvent,
    vtkCommand::RightButtonPressEvent,
    vtkCommand::RightButtonReleaseEvent };
  for (unsigned long event : buttons)
  {
    scene.Fire(event, 200, 150);
    scene.MoveTo(230, 170);
  }
  // VTK's shortcuts: wireframe, reset camera, fly-to, pick, stereo.
  for (char key : { 'w', 'r', 'f', 'p', '3', 'e', 'q' })
  {
    scene.Interactor->SetEventInformation(200, 150, 0, 0, key, 0, nullptr);
    scene.Interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
    scene.Interactor->InvokeEvent(vtkCommand::CharEvent, nullptr);
    scene.Interactor->InvokeEvent(vtkCommand::KeyReleaseEvent, nullptr);
  }
  EXPECT_TRUE(nav->IsStateNone());
  EXPECT_EQ(nav->GetMoved(), 0);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), before[0], before[1], before[2], 0.0);
  EXPECT_EQ(plane->GetProperty()->GetRepresentation(), VTK_SURFACE);
  EXPECT_FALSE(scene.Window->GetStereoRender());
}

TEST(MervoInteractor, TimerRendersOnlyWhileAnimatingInStateNone)
{
  orvi_test::Scene scene(200, 150);
  vtkNew<ProbeNavigator> nav;
  scene.Interactor->SetInteractorStyle(nav);
  orvi_test::EventRecorder renders(scene.Interactor, vtkCommand::RenderEvent);
  orvi_test::EventRecorder created(scene.Interactor, vtkCommand::CreateTimerEvent);
  orvi_test::EventRecorder destroyed(scene.Interactor, vtkCommand::DestroyTimerEvent);

  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(renders.Count, 0) << "no animation";

  // A host animation with timers: VTK's StartAnimate() creates the timer.
  nav->UseTimersOn();
  nav->SetTimerDuration(25);
  nav->StartAnimate();
  ASSERT_EQ(created.Count, 1);
  const int rendersBefore0 = renders.Count;
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(renders.Count, rendersBefore0 + 1);
  EXPECT_EQ(destroyed.Count, 1);
  EXPECT_EQ(created.Count, 2);
  EXPECT_EQ(scene.Interactor->GetTimerDuration(nav->GetTimerId()), 25ul);
  EXPECT_FALSE(scene.Interactor->IsOneShotTimer(nav->GetTimerId())) << "a repeating timer";

  nav->UseTimersOff();
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(renders.Count, rendersBefore0 + 2);
  EXPECT_EQ(created.Count, 2);

  // In rotate state the timer drives nothing.
  nav->SetAnimState(VTKIS_ANIM_OFF);
  nav->StartRotate();
  nav->SetAnimState(VTKIS_ANIM_ON);
  const int rendersBefore = renders.Count;
  double before[3];
  scene.Camera()->GetPosition(before);
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(renders.Count, rendersBefore);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), before[0], before[1], before[2], 0.0);
  nav->SetAnimState(VTKIS_ANIM_OFF);
}

TEST(MervoInteractor, PickStateAndPick)
{
  orvi_test::Scene scene(400, 300);
  vtkNew<ProbeNavigator> nav;
  scene.Interactor->SetInteractorStyle(nav);
  AddPlane(scene.Renderer, -1, -1, 1, 1, 0);
  LookDownZ(scene.Camera(), 10, false);
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
  EXPECT_TRUE(nav->IsStatePick()) << "Pick() leaves the state alone";
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
  EXPECT_EQ(startPick.Count, 1) << "Pick() fires no pick callback";
}

TEST(MervoInteractor, FlyMovesFocalPointAndCentre)
{
  orvi_test::Scene scene(800, 600);
  vtkNew<ProbeNavigator> nav;
  scene.Interactor->SetInteractorStyle(nav);
  AddPlane(scene.Renderer, -1, -1, 1, 1, 0.5);
  LookDownZ(scene.Camera(), 10, false);
  scene.Renderer->ResetCameraClippingRange();
  scene.Window->Render();

  // The surface point under pixel (500, 350): the viewing ray hits z = 0.5.
  double nearPoint[4], farPoint[4];
  vtkInteractorObserver::ComputeDisplayToWorld(scene.Renderer, 500, 350, 0.0, nearPoint);
  vtkInteractorObserver::ComputeDisplayToWorld(scene.Renderer, 500, 350, 1.0, farPoint);
  const double s = (0.5 - nearPoint[2]) / (farPoint[2] - nearPoint[2]);
  double hit[3];
  for (int i = 0; i < 3; ++i)
  {
    hit[i] = nearPoint[i] + s * (farPoint[i] - nearPoint[i]);
  }

  scene.SetPointer(500, 350);
  nav->Fly();
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), hit[0], hit[1], hit[2], 1e-5);
  ORVI_EXPECT_VEC3_NEAR(nav->GetRotationCenter(), hit[0], hit[1], hit[2], 1e-5);
  ORVI_EXPECT_VEC3_NEAR(nav->GetRotationPointActor()->GetPosition(), hit[0], hit[1], hit[2], 1e-5);

  // Over the background: the camera stays, the centre becomes the focal point.
  double c[3] = { 9, 9, 9 };
  nav->SetRotationCenter(c);
  double position[3], focal[3];
  scene.Camera()->GetPosition(position);
  scene.Camera()->GetFocalPoint(focal);
  scene.SetPointer(5, 5);
  nav->Fly();
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), position[0], position[1], position[2], 0.0);
  ORVI_EXPECT_VEC3_NEAR(nav->GetRotationCenter(), focal[0], focal[1], focal[2], 0.0);
  ORVI_EXPECT_VEC3_NEAR(
    nav->GetRotationPointActor()->GetPosition(), focal[0], focal[1], focal[2], 0.0);
  EXPECT_TRUE(nav->IsStateNone());
}

TEST(MervoInteractor, BoundingBoxCornersAndPointGathering)
{
  vtkNew<ProbeNavigator> nav;
  const vtkBoundingBox box(0, 1, 0, 2, 0, 3);
  const double expected[8][3] = { { 0, 0, 0 },
    { 0, 0, 3 },
    { 0, 2, 0 },
    { 0, 2, 3 },
    { 1, 0, 0 },
    { 1, 0, 3 },
    { 1, 2, 0 },
    { 1, 2, 3 } };
  double rows[8][3];
  nav->GetBoundingBoxCorners(box, rows);
  std::vector<ProbeNavigator::Point> list(3, ProbeNavigator::Point{ 7, 7, 7 });
  nav->GetBoundingBoxCorners(box, list);
  ASSERT_EQ(list.size(), 8u);
  for (int k = 0; k < 8; ++k)
  {
    ORVI_EXPECT_VEC3_NEAR(rows[k], expected[k][0], expected[k][1], expected[k][2], 0.0);
    const double fromList[3] = { list[k].x, list[k].y, list[k].z };
    ORVI_EXPECT_VEC3_NEAR(fromList, expected[k][0], expected[k][1], expected[k][2], 0.0);
  }

  // Point gathering in a real view: parallel camera, 1 pixel = 0.01.
  orvi_test::Scene scene(800, 600);
  scene.Interactor->SetInteractorStyle(nav);
  AddPlane(scene.Renderer, -3, -2, 3, 2, 0.0);
  AddPlane(scene.Renderer, 3.5, -0.25, 3.75, 0.25, 0.0); // a small patch
  LookDownZ(scene.Camera(), 10, true);
  scene.Camera()->SetParallelScale(3.0);
  scene.Renderer->ResetCameraClippingRange();
  scene.Window->Render();
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
  orvi_test::Scene scene(800, 600);
  vtkNew<ProbeNavigator> nav;
  scene.Interactor->SetInteractorStyle(nav);
  AddPlane(scene.Renderer, -3, -2, 3, 2, 0.0);
  // A long thin strip, wider than the view, above the plane's band region.
  AddPlane(scene.Renderer, -19, 2.4, 21, 2.6, 0.0);
  LookDownZ(scene.Camera(), 10, true);
  scene.Camera()->SetParallelScale(3.0); // 1 pixel = 0.01
  scene.Renderer->ResetCameraClippingRange();
  scene.Window->Render();

  // 200 x 100 pixels on the plane, off centre: a quarter of the scale.
  DragBand(scene, nav, 450, 300, 650, 400);
  EXPECT_EQ(nav->GetEndPosition()[0], 650);
  EXPECT_EQ(nav->GetEndPosition()[1], 400);
  nav->SetShowDebugActors(true);
  orvi_test::EventRecorder renders(scene.Interactor, vtkCommand::RenderEvent);
  nav->BoxZoom();
  EXPECT_EQ(renders.Count, 0) << "the zoom does not render";
  EXPECT_TRUE(nav->IsStateBoxZoom()) << "the zoom does not change the state";
  EXPECT_NEAR(scene.Camera()->GetParallelScale(), 0.75, 0.75 * 0.01);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), 1.5, 0.5, 0.0, 0.006);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetDirectionOfProjection(), 0, 0, -1, 1e-12);
  EXPECT_NEAR(scene.Camera()->GetDistance(), 10.0, 1e-9);
  // The debug actor shows the four gathered points.
  EXPECT_TRUE(nav->GetDebugActor()->GetVisibility());
  EXPECT_EQ(nav->GetDebugPoints()->GetNumberOfPoints(), 4);
  EXPECT_DOUBLE_EQ(nav->GetDebugSphere()->GetRadius(), 10.0 * 0.005);
  nav->GetDebugGlyph()->Update();
  EXPECT_EQ(nav->GetDebugGlyph()->GetOutput()->GetNumberOfPoints(),
    4 * nav->GetDebugSphere()->GetOutput()->GetNumberOfPoints());
  nav->SetShowDebugActors(false);
  EXPECT_TRUE(nav->GetDebugActor()->GetVisibility()) << "never switched off again";

  orvi_test::EventRecorder endInteraction(nav, vtkCommand::EndInteractionEvent);
  nav->EndBoxZoom();
  EXPECT_TRUE(nav->IsStateNone());
  EXPECT_EQ(renders.Count, 1);
  EXPECT_EQ(endInteraction.Count, 1);

  // A band whose corners miss but which covers the strip: its bounds span
  // far more than the view, so the scale stays; the view is centred on them.
  LookDownZ(scene.Camera(), 10, true);
  scene.Camera()->SetParallelScale(3.0);
  scene.Window->Render();
  DragBand(scene, nav, 300, 520, 500, 580);
  nav->BoxZoom();
  EXPECT_DOUBLE_EQ(scene.Camera()->GetParallelScale(), 3.0);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), 1.0, 2.5, 0.0, 1e-12);
  nav->EndBoxZoom();

  // Over the background: no change at all.
  LookDownZ(scene.Camera(), 10, true);
  scene.Camera()->SetParallelScale(3.0);
  scene.Window->Render();
  double position[3];
  scene.Camera()->GetPosition(position);
  DragBand(scene, nav, 2, 2, 40, 30);
  nav->BoxZoom();
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), position[0], position[1], position[2], 0.0);
  EXPECT_DOUBLE_EQ(scene.Camera()->GetParallelScale(), 3.0);
  nav->EndBoxZoom();
}

TEST(MervoInteractor, BoxZoomPerspective)
{
  orvi_test::Scene scene(600, 600);
  vtkNew<ProbeNavigator> nav;
  scene.Interactor->SetInteractorStyle(nav);
  // Bounds (+-1, +-1, 0); at distance 10 it spans pixels 188..412.
  AddPlane(scene.Renderer, -1, -1, 1, 1, 0.0);
  LookDownZ(scene.Camera(), 10, false);
  scene.Renderer->ResetCameraClippingRange();
  scene.Window->Render();

  // Corners miss, the area pick finds the square.
  DragBand(scene, nav, 150, 150, 450, 450);
  nav->SetShowDebugActors(true);
  nav->BoxZoom();
  vtkCamera* camera = scene.Camera();
  const double t = 10.0 - 1.0 / std::tan(vtkMath::RadiansFromDegrees(15.0));
  EXPECT_NEAR(t, 6.2679492, 1e-7);
  EXPECT_NEAR(camera->GetDistance(), 3.7320508, 1e-7);
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), 0, 0, 3.7320508, 1e-7);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), 0, 0, 0, 1e-12);
  EXPECT_DOUBLE_EQ(camera->GetViewAngle(), 30.0);
  EXPECT_NEAR(nav->GetDebugSphere()->GetRadius(), t * 0.005, 1e-9);
  EXPECT_EQ(nav->GetDebugPoints()->GetNumberOfPoints(), 8);
  // The square's corners now touch the view's edges.
  double display[3];
  vtkInteractorObserver::ComputeWorldToDisplay(scene.Renderer, 1, 1, 0, display);
  EXPECT_NEAR(display[0], 600.0, 0.01);
  EXPECT_NEAR(display[1], 600.0, 0.01);
  nav->EndBoxZoom();

  // A single point (a band without extent on the square): only centred.
  LookDownZ(scene.Camera(), 10, false);
  scene.Renderer->ResetCameraClippingRange();
  scene.Window->Render();
  DragBand(scene, nav, 350, 320, 350, 320);
  double hit[3];
  {
    double nearPoint[4], farPoint[4];
    vtkInteractorObserver::ComputeDisplayToWorld(scene.Renderer, 350, 320, 0.0, nearPoint);
    vtkInteractorObserver::ComputeDisplayToWorld(scene.Renderer, 350, 320, 1.0, farPoint);
    const double s = -nearPoint[2] / (farPoint[2] - nearPoint[2]);
    for (int i = 0; i < 3; ++i)
    {
      hit[i] = nearPoint[i] + s * (farPoint[i] - nearPoint[i]);
    }
  }
  nav->BoxZoom();
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), hit[0], hit[1], hit[2], 1e-6);
  EXPECT_NEAR(camera->GetDistance(), 10.0, 1e-9);
  ORVI_EXPECT_VEC3_NEAR(camera->GetDirectionOfProjection(), 0, 0, -1, 1e-12);
  nav->EndBoxZoom();
}
