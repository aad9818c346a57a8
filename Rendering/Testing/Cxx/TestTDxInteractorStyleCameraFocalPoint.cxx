#include "vtkTDxInteractorStyleCameraFocalPoint.h"

#include "orviTestUtils.h"
#include "vtkKivInteractor.h"

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

// A scene with the library's sensitivities: angle -1/32, translations -1/256.
struct TDxScene : orvi_test::Scene
{
  TDxScene()
  {
    vtkTDxInteractorStyleSettings* s = this->Style->GetSettings();
    s->SetAngleSensitivity(-0.03125);
    s->SetTranslationXSensitivity(-0.00390625);
    s->SetTranslationYSensitivity(-0.00390625);
    s->SetTranslationZSensitivity(-0.00390625);
    this->Camera()->SetFocalPoint(0, 0, 0);
    this->Camera()->SetPosition(0, 0, 10);
    this->Camera()->SetViewUp(0, 1, 0);
  }

  void Send(vtkTDxMotionEventInfo info)
  {
    this->Style->ProcessEvent(this->Renderer, vtkCommand::TDxMotionEvent, &info);
  }

  vtkNew<vtkTDxInteractorStyleCameraFocalPoint> Style;
};
} // namespace

TEST(TDxCameraFocalPoint, PanMovesCameraAndFocalPointByDistanceScaledVector)
{
  TDxScene scene;
  // X = 25.6 with sensitivity -1/256 is -0.1 of the distance along the
  // camera's right direction (world +x here).
  scene.Send(Report(25.6, 0, 0));
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), -1.0, 0.0, 10.0, Tol);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), -1.0, 0.0, 0.0, Tol);

  // Twice as far away, the same report pans twice as far.
  scene.Camera()->SetFocalPoint(0, 0, 0);
  scene.Camera()->SetPosition(0, 0, 20);
  scene.Send(Report(25.6, 0, 0));
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), -2.0, 0.0, 0.0, Tol);

  // Y pans along the view up.
  scene.Camera()->SetFocalPoint(0, 0, 0);
  scene.Camera()->SetPosition(0, 0, 10);
  scene.Send(Report(0, 25.6, 0));
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), 0.0, -1.0, 0.0, Tol);
  EXPECT_NEAR(scene.Camera()->GetDistance(), 10.0, Tol);
}

TEST(TDxCameraFocalPoint, PanOfAnObliqueCameraFollowsItsOwnAxes)
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

  scene.Send(Report(25.6, 12.8, 0));
  // Expected world shift: -0.1 d along right, -0.05 d along up.
  double expected[3];
  for (int i = 0; i < 3; ++i)
  {
    expected[i] = 1.0 - 0.1 * d * right[i] - 0.05 * d * up[i];
  }
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), expected[0], expected[1], expected[2], 1e-9);
  EXPECT_NEAR(camera->GetDistance(), d, 1e-9);
  double newDop[3];
  camera->GetDirectionOfProjection(newDop);
  ORVI_EXPECT_VEC3_NEAR(newDop, dop[0], dop[1], dop[2], 1e-9);
}

TEST(TDxCameraFocalPoint, PushPullDolliesByTheFactor)
{
  TDxScene scene;
  scene.Send(Report(0, 0, 0));
  EXPECT_NEAR(scene.Camera()->GetDistance(), 10.0, Tol) << "Z = 0 is a factor of exactly 1";

  // Z = 128: tz = -0.5 d, k = 2, the distance halves.
  scene.Send(Report(0, 0, 128));
  EXPECT_NEAR(scene.Camera()->GetDistance(), 5.0, Tol);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), 0.0, 0.0, 0.0, Tol);

  // Z = -256: tz = d, k = 1/2, the distance doubles.
  scene.Send(Report(0, 0, -256));
  EXPECT_NEAR(scene.Camera()->GetDistance(), 10.0, Tol);
}

TEST(TDxCameraFocalPoint, ParallelCameraChangesScaleNotPosition)
{
  TDxScene scene;
  scene.Camera()->ParallelProjectionOn();
  scene.Camera()->SetParallelScale(3.0);
  scene.Send(Report(0, 0, 128));
  EXPECT_NEAR(scene.Camera()->GetParallelScale(), 1.5, Tol);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), 0.0, 0.0, 10.0, Tol);
}

TEST(TDxCameraFocalPoint, PushBeyondTheFocalPointIsClamped)
{
  TDxScene scene;
  // Z = 256 makes d + tz zero, Z = 512 negative.
  scene.Send(Report(0, 0, 256));
  const double d1 = scene.Camera()->GetDistance();
  EXPECT_TRUE(std::isfinite(d1));
  EXPECT_NEAR(d1, 10.0 * vtkTDxInteractorStyleCameraFocalPoint::MinimumDistanceRatio, 1e-12);
  scene.Send(Report(0, 0, 512));
  EXPECT_TRUE(std::isfinite(scene.Camera()->GetPosition()[2]));
  EXPECT_GT(scene.Camera()->GetPosition()[2], 0.0);

  scene.Camera()->ParallelProjectionOn();
  scene.Camera()->SetParallelScale(2.0);
  scene.Send(Report(0, 0, 1e6));
  EXPECT_TRUE(std::isfinite(scene.Camera()->GetParallelScale()));
  EXPECT_GT(scene.Camera()->GetParallelScale(), 0.0);

  EXPECT_DOUBLE_EQ(vtkTDxInteractorStyleCameraFocalPoint::ComputeDollyFactor(0.0, 1.0), 1.0);
  EXPECT_DOUBLE_EQ(vtkTDxInteractorStyleCameraFocalPoint::ComputeDollyFactor(10.0, -5.0), 2.0);
}

TEST(TDxCameraFocalPoint, RotationOrbitsTheFocalPoint)
{
  TDxScene scene;
  // -2880 x -1/32 = 90 degrees about the camera's y axis (world y here).
  scene.Send(Report(0, 0, 0, -2880, 0, 1, 0));
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), 0.0, 0.0, 0.0, Tol);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), 10.0, 0.0, 0.0, 1e-9);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetViewUp(), 0.0, 1.0, 0.0, 1e-9);

  // About the camera's x axis (now world -z): the view up turns with it.
  scene.Send(Report(0, 0, 0, -2880, 1, 0, 0));
  EXPECT_NEAR(scene.Camera()->GetDistance(), 10.0, 1e-9);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), 0.0, -10.0, 0.0, 1e-9);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetViewUp(), 1.0, 0.0, 0.0, 1e-9);
}

TEST(TDxCameraFocalPoint, RotationSwitchesDropTheirAxes)
{
  TDxScene scene;
  vtkTDxInteractorStyleSettings* s = scene.Style->GetSettings();
  s->SetUseRotationX(false);
  s->SetUseRotationY(false);
  s->SetUseRotationZ(false);
  // Rotation dropped, pan and dolly still applied.
  scene.Send(Report(25.6, 0, 128, -2880, 1, 1, 1));
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), -1.0, 0.0, 0.0, Tol);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), -1.0, 0.0, 5.0, Tol);

  // Only the y switch on: a report about x and y turns about y alone.
  s->SetUseRotationY(true);
  scene.Camera()->SetFocalPoint(0, 0, 0);
  scene.Camera()->SetPosition(0, 0, 10);
  scene.Send(Report(0, 0, 0, -2880, 1, 1, 0));
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), 10.0, 0.0, 0.0, 1e-9);
}

TEST(TDxCameraFocalPoint, IgnoresEventsWithoutRenderer)
{
  vtkNew<vtkTDxInteractorStyleCameraFocalPoint> style;
  vtkTDxMotionEventInfo info = Report(1, 2, 3, 4, 0, 1, 0);
  style->ProcessEvent(nullptr, vtkCommand::TDxMotionEvent, &info);
  style->OnMotionEvent(&info); // no renderer set: nothing happens
  SUCCEED();
}

TEST(TDxCameraFocalPoint, MotionEventThroughARealInteractorReachesTheStyle)
{
  TDxScene scene;
  vtkNew<vtkKivInteractor> navigator;
  navigator->SetTDxStyle(scene.Style);
  scene.Interactor->SetInteractorStyle(navigator);
  scene.Interactor->Initialize();
  navigator->SetCurrentRenderer(scene.Renderer);
  orvi_test::EventRecorder renders(scene.Window, vtkCommand::EndEvent);

  vtkTDxMotionEventInfo info = Report(25.6, 0, 0);
  scene.Interactor->InvokeEvent(vtkCommand::TDxMotionEvent, &info);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), -1.0, 0.0, 0.0, Tol);
  EXPECT_EQ(renders.Count, 1) << "one event renders once";
}
