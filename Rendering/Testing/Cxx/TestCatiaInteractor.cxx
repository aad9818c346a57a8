// vtkCatiaInteractor as a host drives it: buttons and wheel mean nothing to
// it, the host starts the states, and only pan motion counts. Fly and the
// spin rule are in TestCatiaNavigation.
#include "catiaTestUtils.h"

#include <gtest/gtest.h>

using namespace catia_test;

TEST(CatiaInteractor, ButtonsAndWheelStartNothing)
{
  CatiaScene scene;
  vtkNew<Navigator> nav;
  scene.Interactor->SetInteractorStyle(nav);
  orvi_test::EventRecorder started(nav, vtkCommand::StartInteractionEvent);
  orvi_test::EventRecorder interaction(nav, vtkCommand::InteractionEvent);
  orvi_test::EventRecorder startPick(scene.Interactor, vtkCommand::StartPickEvent);
  const auto start = scene.CameraState();

  // Left plain, middle with Ctrl, right with Shift: press, drag, release.
  using Button = std::array<unsigned long, 2>;
  int i = 0;
  for (const Button& b :
    { Button{ vtkCommand::LeftButtonPressEvent, vtkCommand::LeftButtonReleaseEvent },
      Button{ vtkCommand::MiddleButtonPressEvent, vtkCommand::MiddleButtonReleaseEvent },
      Button{ vtkCommand::RightButtonPressEvent, vtkCommand::RightButtonReleaseEvent } })
  {
    scene.Fire(b[0], 400, 300, i == 1, i == 2);
    EXPECT_EQ(nav->GetState(), VTKIS_NONE);
    scene.MoveTo(450, 340, i == 1, i == 2);
    scene.Fire(b[1], 450, 340, i == 1, i == 2);
    EXPECT_EQ(nav->GetState(), VTKIS_NONE);
    ++i;
  }
  scene.Fire(vtkCommand::MouseWheelForwardEvent, 400, 300);
  scene.Fire(vtkCommand::MouseWheelBackwardEvent, 400, 300);

  EXPECT_EQ(scene.CameraState(), start);
  EXPECT_EQ(started.Count, 0);
  EXPECT_EQ(interaction.Count, 0);
  EXPECT_EQ(startPick.Count, 0);
  EXPECT_EQ(nav->GetMoved(), 0);
}

TEST(CatiaInteractor, OnlyPanMotionCounts)
{
  CatiaScene scene;
  vtkNew<Navigator> nav;
  scene.Interactor->SetInteractorStyle(nav);
  orvi_test::EventRecorder interaction(nav, vtkCommand::InteractionEvent);

  // Dolly: the camera comes closer, one InteractionEvent a motion, no count.
  scene.SetPointer(400, 300);
  nav->StartDolly();
  scene.MoveTo(400, 320);
  scene.MoveTo(400, 340);
  EXPECT_LT(scene.Camera()->GetDistance(), 10.0 - 0.1);
  EXPECT_EQ(interaction.Count, 2);
  EXPECT_EQ(nav->GetMoved(), 0);
  EXPECT_FALSE(nav->HasPanned());
  nav->EndDolly();

  // Rotate: no count either.
  nav->StartRotate();
  scene.MoveTo(420, 340);
  EXPECT_EQ(interaction.Count, 3);
  EXPECT_EQ(nav->GetMoved(), 0);
  nav->EndRotate();

  // Box zoom is not this navigator's: motion in it does nothing.
  const auto before = scene.CameraState();
  nav->StartState(VTKIS_KIV_BOXZOOM);
  scene.MoveTo(480, 380);
  EXPECT_EQ(scene.CameraState(), before);
  EXPECT_EQ(interaction.Count, 3);
  nav->StopState();

  // Pan: four motions are still a click, the fifth makes a drag.
  nav->StartPan();
  for (int i = 1; i <= 4; ++i)
  {
    scene.MoveTo(480 + i, 380);
  }
  EXPECT_EQ(nav->GetMoved(), 4);
  EXPECT_FALSE(nav->HasMoved());
  scene.MoveTo(490, 380);
  EXPECT_TRUE(nav->HasMoved());
  EXPECT_TRUE(nav->HasPanned());
  nav->EndPan();

  // Panned stays until the host clears it; leaving the state does not.
  EXPECT_TRUE(nav->HasPanned());
}

TEST(CatiaInteractor, PrintsWhatTheBasePrintsAndPansWithoutARenderer)
{
  vtkNew<Navigator> nav;
  nav->Pan();
  EXPECT_TRUE(nav->HasPanned());
  EXPECT_FALSE(nav->Spinning());
  vtkNew<vtkKivInteractor> kiv;
  kiv->SetTDxStyle(nav->GetTDxStyle());
  EXPECT_EQ(orvi_test::Printed(nav, "Exposed"), orvi_test::Printed(kiv, "vtkKivInteractor"));
}
