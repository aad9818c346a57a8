#include "vtkTDxInteractorStyleCameraFocalPoint.h"

#include "orviTestUtils.h"

#include "vtkMath.h"
#include "vtkTDxInteractorStyleSettings.h"
#include "vtkTDxMotionEventInfo.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr double Tol = 1e-9;

vtkTDxMotionEventInfo Report(double x,
  double y,
  double z,
  double angle = 0.0,
  double ax = 0.0,
  double ay = 0.0,
  double az = 0.0)
{
  vtkTDxMotionEventInfo info;
  info.X = x;
  info.Y = y;
  info.Z = z;
  info.Angle = angle;
  info.AxisX = ax;
  info.AxisY = ay;
  info.AxisZ = az;
  return info;
}

// A camera at (0, 0, 10) looking at the origin, and the focal-point style
// with the library's sensitivities: angle -1/32, translations -1/256.
struct TDxScene : orvi_test::Scene
{
  TDxScene() { orvi_test::SetTDxSensitivities(this->Style->GetSettings()); }

  void Send(vtkTDxMotionEventInfo info)
  {
    this->Style->ProcessEvent(this->Renderer, vtkCommand::TDxMotionEvent, &info);
  }

  // The camera back at distance d on the +z axis, perspective.
  vtkCamera* At(double d)
  {
    orvi_test::LookDownZ(this->Camera(), d);
    return this->Camera();
  }

  vtkNew<vtkTDxInteractorStyleCameraFocalPoint> Style;
};
} // namespace

TEST(TDxCameraFocalPoint, PanMovesCameraAndFocalPointByDistanceScaledVector)
{
  TDxScene scene;
  // X = 25.6 with sensitivity -1/256 is -0.1 of the distance along the
  // camera's right direction (world +x here).
  vtkCamera* camera = scene.At(10);
  scene.Send(Report(25.6, 0, 0));
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), -1.0, 0.0, 10.0, Tol);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), -1.0, 0.0, 0.0, Tol);
  // Twice as far away, the same report pans twice as far.
  scene.At(20);
  scene.Send(Report(25.6, 0, 0));
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), -2.0, 0.0, 0.0, Tol);
  // Y pans along the view up.
  scene.At(10);
  scene.Send(Report(0, 25.6, 0));
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), 0.0, -1.0, 0.0, Tol);
  EXPECT_NEAR(camera->GetDistance(), 10.0, Tol);

  // An oblique camera pans along its own right and up axes.
  camera->SetFocalPoint(1, 1, 1);
  camera->SetPosition(4, 5, 6);
  camera->SetViewUp(0, 0, 1);
  camera->OrthogonalizeViewUp();
  double dop[3], up[3], right[3];
  camera->GetDirectionOfProjection(dop);
  camera->GetViewUp(up);
  vtkMath::Cross(dop, up, right);
  const double d = camera->GetDistance();
  scene.Send(Report(25.6, 12.8, 0));
  // Expected world shift: -0.1 d along right, -0.05 d along up.
  double expected[3];
  for (int i = 0; i < 3; ++i)
  {
    expected[i] = 1.0 - 0.1 * d * right[i] - 0.05 * d * up[i];
  }
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), expected[0], expected[1], expected[2], Tol);
  EXPECT_NEAR(camera->GetDistance(), d, Tol);
  ORVI_EXPECT_VEC3_NEAR(camera->GetDirectionOfProjection(), dop[0], dop[1], dop[2], Tol);
}

TEST(TDxCameraFocalPoint, PushPullDolliesOrScalesAndIsClamped)
{
  TDxScene scene;
  vtkCamera* camera = scene.At(10);
  scene.Send(Report(0, 0, 0));
  EXPECT_NEAR(camera->GetDistance(), 10.0, Tol) << "Z = 0 is a factor of exactly 1";
  // Z = 128: tz = -0.5 d, k = 2, the distance halves.
  scene.Send(Report(0, 0, 128));
  EXPECT_NEAR(camera->GetDistance(), 5.0, Tol);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), 0.0, 0.0, 0.0, Tol);
  // Z = -256: tz = d, k = 1/2, the distance doubles.
  scene.Send(Report(0, 0, -256));
  EXPECT_NEAR(camera->GetDistance(), 10.0, Tol);
  EXPECT_DOUBLE_EQ(vtkTDxInteractorStyleCameraFocalPoint::ComputeDollyFactor(10.0, -5.0), 2.0);

  // Z = 256 makes d + tz zero, Z = 512 negative: clamped short of the focus.
  scene.Send(Report(0, 0, 256));
  EXPECT_NEAR(camera->GetDistance(),
    10.0 * vtkTDxInteractorStyleCameraFocalPoint::MinimumDistanceRatio,
    1e-12);
  scene.Send(Report(0, 0, 512));
  EXPECT_TRUE(std::isfinite(camera->GetPosition()[2]));
  EXPECT_GT(camera->GetPosition()[2], 0.0);

  // Parallel: the scale changes by 1/k, the position stays; clamped too.
  scene.At(10);
  camera->ParallelProjectionOn();
  camera->SetParallelScale(3.0);
  scene.Send(Report(0, 0, 128));
  EXPECT_NEAR(camera->GetParallelScale(), 1.5, Tol);
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), 0.0, 0.0, 10.0, Tol);
  scene.Send(Report(0, 0, 1e6));
  EXPECT_TRUE(std::isfinite(camera->GetParallelScale()));
  EXPECT_GT(camera->GetParallelScale(), 0.0);
}

TEST(TDxCameraFocalPoint, RotationOrbitsTheFocalPointAndSwitchesDropAxes)
{
  TDxScene scene;
  vtkCamera* camera = scene.At(10);
  // -2880 x -1/32 = 90 degrees about the camera's y axis (world y here).
  scene.Send(Report(0, 0, 0, -2880, 0, 1, 0));
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), 0.0, 0.0, 0.0, Tol);
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), 10.0, 0.0, 0.0, Tol);
  ORVI_EXPECT_VEC3_NEAR(camera->GetViewUp(), 0.0, 1.0, 0.0, Tol);
  // About the camera's x axis (now world -z): the view up turns with it.
  scene.Send(Report(0, 0, 0, -2880, 1, 0, 0));
  EXPECT_NEAR(camera->GetDistance(), 10.0, Tol);
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), 0.0, -10.0, 0.0, Tol);
  ORVI_EXPECT_VEC3_NEAR(camera->GetViewUp(), 1.0, 0.0, 0.0, Tol);

  // All switches off: rotation dropped, pan and dolly still applied.
  vtkTDxInteractorStyleSettings* s = scene.Style->GetSettings();
  s->SetUseRotationX(false);
  s->SetUseRotationY(false);
  s->SetUseRotationZ(false);
  scene.At(10);
  scene.Send(Report(25.6, 0, 128, -2880, 1, 1, 1));
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), -1.0, 0.0, 0.0, Tol);
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), -1.0, 0.0, 5.0, Tol);
  // Only the y switch on: a report about x and y turns about y alone.
  s->SetUseRotationY(true);
  scene.At(10);
  scene.Send(Report(0, 0, 0, -2880, 1, 1, 0));
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), 10.0, 0.0, 0.0, Tol);
}

TEST(TDxCameraFocalPoint, IgnoresEventsWithoutRenderer)
{
  vtkNew<vtkTDxInteractorStyleCameraFocalPoint> style;
  vtkTDxMotionEventInfo info = Report(1, 2, 3, 4, 0, 1, 0);
  style->ProcessEvent(nullptr, vtkCommand::TDxMotionEvent, &info);
  style->OnMotionEvent(&info); // no renderer set: nothing happens, no crash
}
