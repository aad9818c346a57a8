// What vtkCatiaInteractor and vtkInteractorStyleCATIA share: the spin rule,
// the motion step, fly, pick, the pick state, the timer, the wheel and VTK's
// keys. Every case runs on both classes, each driven as it is in use: the
// navigator by a host's state calls, the style by the mouse buttons.
#include "catiaTestUtils.h"

#include "vtkProperty.h"
#include "vtkWorldPointPicker.h"

#include <gtest/gtest.h>

using namespace catia_test;

// Each case gets an 800 x 600 CatiaScene with the class under test installed.
template <class T>
class CatiaNavigation : public ::testing::Test
{
protected:
  CatiaNavigation() { this->Scene.Interactor->SetInteractorStyle(this->Nav); }
  CatiaScene Scene;
  vtkNew<T> Nav;
};

using Classes = ::testing::Types<Navigator, Style>;
TYPED_TEST_SUITE(CatiaNavigation, Classes);

TYPED_TEST(CatiaNavigation, ConstructionAndTheSpinRuleOfAQuarterOfTheDiagonal)
{
  CatiaScene& scene = this->Scene; // diagonal 1000, centre (400, 300)
  auto* nav = this->Nav.Get();
  orvi_test::ExpectFlyPickerAndTDxStyle(nav, nav->GetFlyPicker());

  // No renderer looked up yet: no spin, wherever the pointer is.
  scene.SetPointer(799, 599);
  EXPECT_FALSE(nav->Spinning());

  nav->FindPokedRenderer(400, 300);
  using XY = std::array<int, 2>;
  for (const XY& p : { XY{ 400, 300 },
         { 650, 300 },
         { 150, 300 },
         { 400, 550 },
         { 400, 50 }, //
         { 576, 476 } })
  {
    scene.SetPointer(p[0], p[1]);
    EXPECT_FALSE(nav->Spinning()) << p[0] << ", " << p[1];
  }
  for (const XY& p : { XY{ 651, 300 }, { 149, 300 }, { 400, 551 }, { 578, 478 } })
  {
    scene.SetPointer(p[0], p[1]);
    EXPECT_TRUE(nav->Spinning()) << p[0] << ", " << p[1];
  }

  // The same rule chooses the state of a rotation press.
  Drive<TypeParam>::BeginRotation(scene, nav, 651, 300);
  EXPECT_EQ(nav->GetState(), VTKIS_SPIN);
}

TYPED_TEST(CatiaNavigation, RotationPressNearTheCentreRotates)
{
  Drive<TypeParam>::BeginRotation(this->Scene, this->Nav, 650, 300);
  EXPECT_EQ(this->Nav->GetState(), VTKIS_ROTATE);
}

TYPED_TEST(CatiaNavigation, SpinTurnsIntoRotateAndNeverBack)
{
  CatiaScene& scene = this->Scene;
  auto* nav = this->Nav.Get();
  Drive<TypeParam>::BeginRotation(scene, nav, 700, 300);
  ASSERT_EQ(nav->GetState(), VTKIS_SPIN);
  const int movedBefore = nav->GetMoved();
  orvi_test::EventRecorder interaction(nav, vtkCommand::InteractionEvent);

  // Outside the zone: a spin turns the view-up about the viewing axis and
  // leaves position and focal point alone.
  auto before = scene.CameraState();
  scene.MoveTo(700, 340);
  EXPECT_EQ(nav->GetState(), VTKIS_SPIN);
  auto after = scene.CameraState();
  ORVI_EXPECT_VEC3_NEAR(&after[0], before[0], before[1], before[2], 1e-9);
  ORVI_EXPECT_VEC3_NEAR(&after[3], before[3], before[4], before[5], 1e-9);
  EXPECT_GT(orvi_test::Distance(&after[6], &before[6]), 1e-3);
  EXPECT_EQ(interaction.Count, 1);

  // Into the zone the same motion event ends the spin and rotates; out
  // again, still rotating.
  for (int x : { 450, 760 })
  {
    before = after;
    scene.MoveTo(x, 300);
    EXPECT_EQ(nav->GetState(), VTKIS_ROTATE);
    after = scene.CameraState();
    EXPECT_GT(orvi_test::Distance(&after[0], &before[0]), 1e-3);
  }
  EXPECT_EQ(interaction.Count, 3);
  // Rotation and spin are not counted as motion.
  EXPECT_EQ(nav->GetMoved(), movedBefore);
}

TYPED_TEST(CatiaNavigation, PanCountsEveryMotion)
{
  CatiaScene& scene = this->Scene;
  auto* nav = this->Nav.Get();
  Drive<TypeParam>::BeginPan(scene, nav, 400, 300);
  ASSERT_EQ(nav->GetState(), VTKIS_PAN);
  EXPECT_FALSE(nav->HasPanned());
  EXPECT_EQ(nav->GetMoved(), 0);
  orvi_test::EventRecorder interaction(nav, vtkCommand::InteractionEvent);
  const auto start = scene.CameraState();

  for (int i = 1; i <= 5; ++i)
  {
    scene.MoveTo(400 + 10 * i, 300);
    EXPECT_EQ(nav->GetMoved(), i);
    EXPECT_EQ(interaction.Count, i);
  }
  EXPECT_TRUE(nav->HasPanned());
  EXPECT_EQ(nav->GetState(), VTKIS_PAN);
  // The view followed the pointer to the right: the camera went left, the
  // position and the focal point by the same amount.
  const auto end = scene.CameraState();
  EXPECT_LT(end[0], start[0] - 0.1);
  EXPECT_NEAR(end[0] - start[0], end[3] - start[3], 1e-9);
  EXPECT_NEAR(end[2], start[2], 1e-9);
}

TYPED_TEST(CatiaNavigation, PickStateFiresThePickEventsAndIgnoresMotion)
{
  CatiaScene& scene = this->Scene;
  auto* nav = this->Nav.Get();
  orvi_test::EventRecorder startPick(scene.Interactor, vtkCommand::StartPickEvent);
  orvi_test::EventRecorder endPick(scene.Interactor, vtkCommand::EndPickEvent);
  orvi_test::EventRecorder startInteraction(nav, vtkCommand::StartInteractionEvent);
  orvi_test::EventRecorder endInteraction(nav, vtkCommand::EndInteractionEvent);
  orvi_test::EventRecorder interaction(nav, vtkCommand::InteractionEvent);
  const auto start = scene.CameraState();

  scene.MoveTo(420, 310); // state none
  Drive<TypeParam>::BeginPick(scene, nav, 420, 310);
  EXPECT_EQ(nav->GetState(), VTKIS_KIV_PICK);
  EXPECT_EQ(startPick.Count, 1);
  EXPECT_EQ(endPick.Count, 0);
  EXPECT_EQ(startInteraction.Count, 1);
  scene.MoveTo(500, 350);
  scene.MoveTo(600, 400);
  EXPECT_EQ(interaction.Count, 0);
  EXPECT_EQ(nav->GetMoved(), 0);
  EXPECT_EQ(scene.CameraState(), start);

  Drive<TypeParam>::FinishPick(scene, nav, 600, 400);
  EXPECT_EQ(nav->GetState(), VTKIS_NONE);
  EXPECT_EQ(startPick.Count, 1);
  EXPECT_EQ(endPick.Count, 1);
  EXPECT_EQ(endInteraction.Count, 1);
}

TYPED_TEST(CatiaNavigation, PointPickerPicksTheClampedRectangleCentre)
{
  CatiaScene& scene = this->Scene;
  auto* nav = this->Nav.Get();
  vtkNew<RecordingPropPicker> picker;
  scene.Interactor->SetPicker(picker);
  orvi_test::EventRecorder endPick(scene.Interactor, vtkCommand::EndPickEvent);

  // Both corners beyond the window: x 798, y 598.
  nav->SetStartPosition(900, 700);
  scene.SetPointer(800, 600);
  nav->Pick();
  ASSERT_EQ(picker->Points.size(), 1u);
  EXPECT_EQ(picker->Points[0], (std::array<double, 3>{ 798.0, 598.0, 0.0 }));
  EXPECT_EQ(nav->GetEndPosition()[0], 800);
  EXPECT_EQ(nav->GetEndPosition()[1], 600);
  EXPECT_EQ(endPick.Count, 1);
  EXPECT_EQ(nav->GetPropPicked(), 0); // background up there

  // Negative corner made 0; the far one clamped; the centre is the integer
  // sum halved: ((0 + 101) / 2, (20 + 598) / 2).
  nav->SetStartPosition(-10, 20);
  scene.SetPointer(101, 700);
  nav->Pick();
  ASSERT_EQ(picker->Points.size(), 2u);
  EXPECT_EQ(picker->Points[1], (std::array<double, 3>{ 50.5, 309.0, 0.0 }));
  EXPECT_EQ(endPick.Count, 2);

  // A rectangle whose centre lies on the square picks it.
  nav->SetStartPosition(380, 280);
  scene.SetPointer(420, 320);
  nav->Pick();
  ASSERT_EQ(picker->Points.size(), 3u);
  EXPECT_EQ(picker->Points[2], (std::array<double, 3>{ 400.0, 300.0, 0.0 }));
  EXPECT_EQ(nav->GetPropPicked(), 1);
  EXPECT_EQ(picker->GetViewProp(), scene.Square.Get());
  // The pick did not touch the state.
  EXPECT_EQ(nav->GetState(), VTKIS_NONE);

  // An interactor picker that is no prop picker: nothing picked, no event.
  vtkNew<vtkWorldPointPicker> worldPicker;
  scene.Interactor->SetPicker(worldPicker);
  nav->Pick();
  EXPECT_EQ(nav->GetPropPicked(), 0);
  EXPECT_EQ(endPick.Count, 3);
}

TYPED_TEST(CatiaNavigation, AreaPickerPicksTheClampedRectangle)
{
  CatiaScene& scene = this->Scene;
  auto* nav = this->Nav.Get();
  vtkNew<RecordingAreaPicker> picker;
  scene.Interactor->SetPicker(picker);
  orvi_test::EventRecorder endPick(scene.Interactor, vtkCommand::EndPickEvent);

  nav->SetStartPosition(900, -3);
  scene.SetPointer(-40, 601);
  nav->Pick();
  ASSERT_EQ(picker->Areas.size(), 1u);
  EXPECT_EQ(picker->Areas[0], (std::array<double, 4>{ 0.0, 0.0, 798.0, 598.0 }));
  EXPECT_EQ(picker->PointPicks, 0);
  EXPECT_EQ(endPick.Count, 1);
  EXPECT_EQ(nav->GetPropPicked(), 1); // the whole window holds the square

  // A rectangle in the background corner finds nothing.
  nav->SetStartPosition(10, 10);
  scene.SetPointer(40, 30);
  nav->Pick();
  ASSERT_EQ(picker->Areas.size(), 2u);
  EXPECT_EQ(picker->Areas[1], (std::array<double, 4>{ 10.0, 10.0, 40.0, 30.0 }));
  EXPECT_EQ(nav->GetPropPicked(), 0);
  EXPECT_EQ(endPick.Count, 2);
}

TYPED_TEST(CatiaNavigation, FlyGoesToTheSurfacePointOrNowhere)
{
  CatiaScene& scene = this->Scene;
  auto* nav = this->Nav.Get();
  scene.Window->Render();
  orvi_test::EventRecorder interaction(nav, vtkCommand::InteractionEvent);

  // Background: the camera stays.
  const auto start = scene.CameraState();
  scene.SetPointer(20, 20);
  nav->Fly();
  EXPECT_EQ(scene.CameraState(), start);
  EXPECT_EQ(nav->GetAnimState(), VTKIS_ANIM_OFF);

  // Over the square: the focal point lands on the picked point, on z = 0,
  // right of and above the old focal point.
  scene.SetPointer(460, 330);
  nav->Fly();
  const double* picked = nav->GetFlyPicker()->GetPickPosition();
  const double* focal = scene.Camera()->GetFocalPoint();
  ORVI_EXPECT_VEC3_NEAR(focal, picked[0], picked[1], picked[2], 1e-9);
  EXPECT_NEAR(focal[2], 0.0, 1e-6);
  EXPECT_GT(focal[0], 0.3);
  EXPECT_GT(focal[1], 0.1);
  EXPECT_EQ(nav->GetAnimState(), VTKIS_ANIM_OFF);
  EXPECT_EQ(interaction.Count, 0);
}

TYPED_TEST(CatiaNavigation, WheelDoesNothingAndVtkKeysWork)
{
  CatiaScene& scene = this->Scene;
  const auto start = scene.CameraState();
  scene.Fire(vtkCommand::MouseWheelForwardEvent, 400, 300);
  scene.Fire(vtkCommand::MouseWheelBackwardEvent, 400, 300);
  scene.Fire(vtkCommand::MouseWheelForwardEvent, 400, 300);
  EXPECT_EQ(scene.CameraState(), start);
  EXPECT_EQ(this->Nav->GetState(), VTKIS_NONE);

  ASSERT_EQ(scene.Square->GetProperty()->GetRepresentation(), VTK_SURFACE);
  scene.Key('w', 400, 300);
  EXPECT_EQ(scene.Square->GetProperty()->GetRepresentation(), VTK_WIREFRAME);
  // 'r' resets the camera onto the square, which moves it closer.
  scene.Camera()->SetPosition(0.0, 0.0, 50.0);
  scene.Key('r', 400, 300);
  EXPECT_LT(scene.Camera()->GetPosition()[2], 10.0);
}

TYPED_TEST(CatiaNavigation, TimerRendersOnlyWhileAnimatingInStateNone)
{
  CatiaScene& scene = this->Scene;
  auto* nav = this->Nav.Get();
  orvi_test::EventRecorder renders(scene.Renderer, vtkCommand::StartEvent);
  int timerId = 1;
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, &timerId);
  EXPECT_EQ(renders.Count, 0);

  nav->StartAnimate();
  ASSERT_EQ(nav->GetAnimState(), VTKIS_ANIM_ON);
  const auto start = scene.CameraState();
  const int animated = renders.Count;
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, &timerId);
  EXPECT_EQ(renders.Count, animated + 1);
  // Timer events never move the camera.
  EXPECT_EQ(scene.CameraState(), start);

  Drive<TypeParam>::BeginPan(scene, nav, 400, 300);
  const int before = renders.Count;
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, &timerId);
  EXPECT_EQ(renders.Count, before);
  nav->StopAnimate();
}
