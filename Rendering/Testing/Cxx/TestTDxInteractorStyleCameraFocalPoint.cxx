#include "vtkTDxInteractorStyleCameraFocalPoint.h"

#include "orviTestUtils.h"

#include "vtkMath.h"
#include "vtkTDxMotionEventInfo.h"

namespace
{
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
