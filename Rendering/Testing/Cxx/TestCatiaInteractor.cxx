// vtkCatiaInteractor as a host drives it: buttons and wheel mean nothing to
// it, the host starts the states, and only pan motion counts. What it shares
// with the style is in TestKivCatiaNavigation.
#include "vtkCatiaInteractor.h"

#include "orviTestUtils.h"

#include <gtest/gtest.h>

using namespace orvi_test::buttons;

TEST(CatiaInteractor, ButtonsAndWheelStartNothing)
{
  orvi_test::NavScene<vtkCatiaInteractor> scene;
  auto* nav = scene.Nav.Get();
  orvi_test::EventCounts n(nav, scene.Interactor);
  const auto start = scene.CameraState();
  // Left plain, middle with Ctrl, right with Shift: press, drag, release.
  for (auto press : { LeftDown, MiddleDown, RightDown })
  {
    scene.Drag(press, 400, 300, 450, 340, 5, press == MiddleDown, press == RightDown);
    EXPECT_EQ(nav->GetState(), VTKIS_NONE);
  }
  scene.Fire(vtkCommand::MouseWheelForwardEvent, 400, 300);
  scene.Fire(vtkCommand::MouseWheelBackwardEvent, 400, 300);
  EXPECT_EQ(scene.CameraState(), start);
  EXPECT_EQ(n[vtkCommand::StartInteractionEvent] + n[vtkCommand::InteractionEvent] +
      n[vtkCommand::StartPickEvent] + nav->GetMoved(),
    0);
}

TEST(CatiaInteractor, OnlyPanMotionCounts)
{
  orvi_test::NavScene<vtkCatiaInteractor> scene;
  auto* nav = scene.Nav.Get();
  orvi_test::EventRecorder interaction(nav, vtkCommand::InteractionEvent);
  // Dolly and rotate: one InteractionEvent a motion, no count; the dolly
  // brings the camera closer by 1.1 to the power 10 x 20 / 300 a motion.
  scene.SetPointer(400, 300);
  nav->StartDolly();
  scene.MoveTo(400, 320);
  scene.MoveTo(400, 340);
  EXPECT_NEAR(scene.Camera()->GetDistance(), 10.0 / std::pow(1.1, 4.0 / 3.0), 1e-9);
  nav->EndDolly();
  nav->StartRotate();
  scene.MoveTo(420, 340);
  nav->EndRotate();
  EXPECT_EQ(interaction.Count, 3);
  EXPECT_EQ(nav->GetMoved(), 0);
  EXPECT_FALSE(nav->HasPanned());
  // Box zoom (22) is not this navigator's: motion in it does nothing.
  const auto before = scene.CameraState();
  nav->StartState(22);
  scene.MoveTo(480, 380);
  EXPECT_EQ(scene.CameraState(), before);
  EXPECT_EQ(interaction.Count, 3);
  nav->StopState();
  // Pan: four motions are still a click, the fifth makes a drag; panned
  // stays until the host clears it.
  nav->StartPan();
  for (int i = 1; i <= 4; ++i)
  {
    scene.MoveTo(480 + i, 380);
  }
  EXPECT_EQ(nav->GetMoved(), 4);
  EXPECT_FALSE(nav->HasMoved());
  scene.MoveTo(490, 380);
  EXPECT_TRUE(nav->HasMoved());
  nav->EndPan();
  EXPECT_TRUE(nav->HasPanned());
}

TEST(CatiaInteractor, PrintsWhatTheBasePrintsAndPansWithoutARenderer)
{
  vtkNew<orvi_test::Probe<vtkCatiaInteractor>> nav;
  nav->Pan();
  EXPECT_TRUE(nav->HasPanned());
  vtkNew<vtkKivInteractor> kiv;
  kiv->SetTDxStyle(nav->GetTDxStyle());
  EXPECT_EQ(orvi_test::Printed(nav, "Probe"), orvi_test::Printed(kiv, "vtkKivInteractor"));
}
