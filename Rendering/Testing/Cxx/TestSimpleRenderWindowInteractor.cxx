// vtkSimpleRenderWindowInteractor's 3D-mouse reports: stored, fired as VTK
// events to observers and the installed style, refused when not finite; the
// device vtkTDxSimpleDevice that stores them; and the focal-point style
// vtkTDxInteractorStyleCameraFocalPoint that turns them into camera moves.
#include "vtkSimpleRenderWindowInteractor.h"
#include "vtkTDxSimpleDevice.h"

#include "orviTestUtils.h"

#include "vtkCatiaInteractor.h"
#include "vtkMath.h"
#include "vtkTDxInteractorStyleCameraFocalPoint.h"
#include "vtkTDxMotionEventInfo.h"

#include <limits>

namespace
{
// Writes each 3D-mouse event as its name and the values it carries, a line each.
void Record(vtkObject*, unsigned long event, void* clientData, void* callData)
{
  auto& out = *static_cast<std::ostringstream*>(clientData);
  out << vtkCommand::GetStringFromEventId(event);
  if (event == vtkCommand::TDxMotionEvent)
  {
    const auto* m = static_cast<vtkTDxMotionEventInfo*>(callData);
    for (double v : { m->X, m->Y, m->Z, m->Angle, m->AxisX, m->AxisY, m->AxisZ })
    {
      out << " " << v;
    }
  }
  else
  {
    out << " " << *static_cast<int*>(callData);
  }
  out << "\n";
}

// A camera at distance 10 (or 20) on +z looking at the origin, perspective,
// and the focal-point style with the library's sensitivities: angle -1/32,
// translations -1/256.
struct TDxScene : orvi_test::Scene
{
  TDxScene() { orvi_test::SetTDxSensitivities(this->Style->GetSettings()); }
  void
  Send(double x, double y, double z, double angle = 0, double ax = 0, double ay = 0, double az = 0)
  {
    vtkTDxMotionEventInfo info{ x, y, z, angle, ax, ay, az };
    this->Style->ProcessEvent(this->Renderer, vtkCommand::TDxMotionEvent, &info);
  }
  vtkNew<vtkTDxInteractorStyleCameraFocalPoint> Style;
};
} // namespace

// Storing a report fires nothing and marks the interactor modified; each
// event carries the stored values; a disabled interactor fires nothing but
// still stores.
TEST(SimpleRenderWindowInteractor, ReportsReachObserversAsVtkEvents)
{
  vtkNew<vtkSimpleRenderWindowInteractor> interactor;
  std::ostringstream seen;
  vtkNew<vtkCallbackCommand> command;
  command->SetCallback(Record);
  command->SetClientData(&seen);
  using C = vtkCommand;
  for (auto event : { C::TDxMotionEvent, C::TDxButtonPressEvent, C::TDxButtonReleaseEvent })
  {
    interactor->AddObserver(event, command);
  }
  const vtkMTimeType before = interactor->GetMTime();
  interactor->SetTDxEventInformation(1, 2, 3, 0.5, 0, 1, 0, 3);
  EXPECT_GT(interactor->GetMTime(), before);
  for (bool enabled : { true, false, true })
  {
    enabled ? interactor->Enable() : interactor->Disable();
    interactor->TDxMotionEvent();
    interactor->TDxButtonPressEvent();
    interactor->TDxButtonReleaseEvent();
    interactor->SetTDxEventInformation(4, 5, 6, 1.0, 1, 0, 0, enabled ? 9 : 7);
  }
  EXPECT_EQ(seen.str(),
    "TDxMotionEvent 1 2 3 0.5 0 1 0\nTDxButtonPressEvent 3\nTDxButtonReleaseEvent 3\n"
    "TDxMotionEvent 4 5 6 1 1 0 0\nTDxButtonPressEvent 7\nTDxButtonReleaseEvent 7\n");
}

// The whole road: report, interactor event, the navigator's focal-point
// 3D-mouse style, one render; reports whose values are not finite are
// refused with a warning each; a disabled interactor moves nothing.
TEST(SimpleRenderWindowInteractor, MotionReportMovesTheCameraThroughTheFocalPointStyle)
{
  orvi_test::Scene scene(300, 300);
  vtkNew<vtkSimpleRenderWindowInteractor> interactor;
  interactor->SetRenderWindow(scene.Window);
  vtkNew<vtkCatiaInteractor> style;
  interactor->SetInteractorStyle(style);
  interactor->Initialize();
  // VTK hands the event on with the style's current renderer.
  style->SetCurrentRenderer(scene.Renderer);
  orvi_test::LookDownZ(scene.Camera(), 10);
  scene.Window->Render();
  orvi_test::EventRecorder renders(scene.Window, vtkCommand::EndEvent);
  orvi_test::EventRecorder warnings(interactor, vtkCommand::WarningEvent);
  orvi_test::EventRecorder motion(interactor, vtkCommand::TDxMotionEvent);
  // X = 25.6 with sensitivity -1/256 pans by -0.1 of the distance.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::array<double, 7> reports[] = { { 25.6, 0, 0, 0, 0, 0, 0 },
    { nan, 0, 0, 0, 0, 0, 1 },
    { 0, 0, inf, 0, 0, 0, 1 },
    { 0, 0, 0, nan, 0, 1, 0 },
    { 0, 0, 0, 10, 0, -inf, 0 } };
  for (const auto& r : reports)
  {
    interactor->SetTDxEventInformation(r[0], r[1], r[2], r[3], r[4], r[5], r[6], 0);
    interactor->TDxMotionEvent();
  }
  interactor->SetTDxEventInformation(25.6, 0, 0, 0, 0, 0, 0, 0);
  interactor->Disable();
  interactor->TDxMotionEvent();
  // One event, rendered once; four refusals.
  EXPECT_EQ((std::array{ motion.Count, renders.Count, warnings.Count }), (std::array{ 1, 1, 4 }));
  EXPECT_TRUE(warnings.Saw("3D-mouse report with a value that is not a finite number "
                           "ignored: translation (nan, 0, 0), angle 0, axis (0, 0, 1)"));
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), -1.0, 0.0, 10.0, 1e-9);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), -1.0, 0.0, 0.0, 1e-9);
}

// A report stores its values in the device, which is modified only when a
// value changes; buttons are stored truncated.
TEST(TDxSimpleDevice, ModifiedOnlyOnChange)
{
  vtkNew<vtkTDxSimpleDevice> device;
  device->SetTranslation(1, 2, 4);
  const vtkMTimeType t = device->GetMTime();
  device->SetTranslation(1, 2, 3);
  device->SetTranslation(1, 2, 3);
  device->SetButton(2.7);
  device->SetButton(2.0);
  EXPECT_EQ(device->GetMTime(), t + 2);
  EXPECT_EQ(device->GetButton(), 2.0);
  device->InitializedOn();
  device->Close();
  EXPECT_FALSE(device->GetInitialized());
}

// One report each from a fresh camera: where the camera and its focal point
// end up. X = 25.6 pans by -0.1 of the distance along the camera's right,
// Z = 128 halves the distance, -2880 x -1/32 turns 90 degrees about the
// given camera axis; with every rotation switched off only the rotation is
// dropped, with the y switch alone only the turn about y is kept.
TEST(TDxCameraFocalPoint, ReportsMoveTheCamera)
{
  // Name, report, rotation switches (bits x, y, z), position, focal point, view-up.
  using A3 = std::array<double, 3>;
  using Case = std::tuple<const char*, std::array<double, 7>, int, A3, A3, A3>;
  const double m = 10 * vtkTDxInteractorStyleCameraFocalPoint::MinimumDistanceRatio;
  const Case cases[] = {
    { "pan x", { 25.6, 0, 0, 0, 0, 0, 0 }, 7, { -1, 0, 10 }, { -1, 0, 0 }, { 0, 1, 0 } },
    { "pan y", { 0, 25.6, 0, 0, 0, 0, 0 }, 7, { 0, -1, 10 }, { 0, -1, 0 }, { 0, 1, 0 } },
    { "push", { 0, 0, 128, 0, 0, 0, 0 }, 7, { 0, 0, 5 }, { 0, 0, 0 }, { 0, 1, 0 } },
    { "pull", { 0, 0, -256, 0, 0, 0, 0 }, 7, { 0, 0, 20 }, { 0, 0, 0 }, { 0, 1, 0 } },
    { "push to the focus", { 0, 0, 256, 0, 0, 0, 0 }, 7, { 0, 0, m }, { 0, 0, 0 }, { 0, 1, 0 } },
    { "turn about y", { 0, 0, 0, -2880, 0, 1, 0 }, 7, { 10, 0, 0 }, { 0, 0, 0 }, { 0, 1, 0 } },
    { "turn about x", { 0, 0, 0, -2880, 1, 0, 0 }, 7, { 0, -10, 0 }, { 0, 0, 0 }, { 0, 0, 1 } },
    { "no rotation", { 25.6, 0, 128, -2880, 1, 1, 1 }, 0, { -1, 0, 5 }, { -1, 0, 0 }, { 0, 1, 0 } },
    { "y switch only", { 0, 0, 0, -2880, 1, 1, 0 }, 2, { 10, 0, 0 }, { 0, 0, 0 }, { 0, 1, 0 } },
  };
  for (const auto& [name, r, rotations, position, focal, up] : cases)
  {
    SCOPED_TRACE(name);
    TDxScene scene;
    vtkTDxInteractorStyleSettings* s = scene.Style->GetSettings();
    s->SetUseRotationX(rotations & 1);
    s->SetUseRotationY((rotations & 2) != 0);
    s->SetUseRotationZ((rotations & 4) != 0);
    vtkCamera* camera = scene.Camera();
    orvi_test::LookDownZ(camera, 10);
    scene.Send(r[0], r[1], r[2], r[3], r[4], r[5], r[6]);
    ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), position[0], position[1], position[2], 1e-9);
    ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), focal[0], focal[1], focal[2], 1e-9);
    ORVI_EXPECT_VEC3_NEAR(camera->GetViewUp(), up[0], up[1], up[2], 1e-9);
  }
}

// An oblique camera pans along its own right and up axes, keeping its
// distance and direction (a push to the focus: the table above); a parallel
// camera scales instead, clamped too; no renderer, no motion.
TEST(TDxCameraFocalPoint, ObliqueParallelAndClamped)
{
  TDxScene scene;
  vtkCamera* camera = scene.Camera();
  camera->SetFocalPoint(1, 1, 1);
  camera->SetPosition(4, 5, 6);
  camera->SetViewUp(0, 0, 1);
  camera->OrthogonalizeViewUp();
  double dop[3], up[3], right[3];
  camera->GetDirectionOfProjection(dop);
  camera->GetViewUp(up);
  vtkMath::Cross(dop, up, right);
  const double d = camera->GetDistance();
  scene.Send(25.6, 12.8, 0);
  const auto e = [&](int i) { return 1.0 - 0.1 * d * right[i] - 0.05 * d * up[i]; };
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), e(0), e(1), e(2), 1e-9);
  EXPECT_NEAR(camera->GetDistance(), d, 1e-9);
  ORVI_EXPECT_VEC3_NEAR(camera->GetDirectionOfProjection(), dop[0], dop[1], dop[2], 1e-9);

  orvi_test::LookDownZ(camera, 10, true, 3.0);
  scene.Send(0, 0, 128);
  EXPECT_NEAR(camera->GetParallelScale(), 1.5, 1e-9);
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), 0.0, 0.0, 10.0, 1e-9);
  scene.Send(0, 0, 1e6);
  EXPECT_TRUE(std::isfinite(camera->GetParallelScale()));
  EXPECT_GT(camera->GetParallelScale(), 0.0);

  const auto before = scene.CameraState();
  vtkTDxMotionEventInfo info{ 1, 2, 3, 4, 0, 1, 0 };
  scene.Style->ProcessEvent(nullptr, vtkCommand::TDxMotionEvent, &info);
  vtkNew<vtkTDxInteractorStyleCameraFocalPoint> bare;
  bare->OnMotionEvent(&info);
  EXPECT_EQ(scene.CameraState(), before);
}
