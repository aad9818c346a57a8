// vtkCatiaInteractor as a host drives it: buttons and wheel mean nothing to
// it, the host starts the states, and only pan motion counts. What it shares
// with the style is in TestKivCatiaNavigation.
#include "vtkCatiaInteractor.h"

#include "orviTestUtils.h"

using namespace orvi_test::buttons;

// Left plain, middle with Ctrl, right with Shift: press, drag, release;
// nothing starts. A dolly motion notifies without counting and brings the
// camera closer by 1.1 to the power 10 x 20 / 300; box zoom (22) is not
// this navigator's.
TEST(CatiaInteractor, ButtonsStartNothingDollyDoesNotCount)
{
  orvi_test::NavScene<vtkCatiaInteractor> scene;
  auto* nav = scene.Nav.Get();
  orvi_test::EventCounts n(nav, scene.Interactor);
  const auto start = scene.CameraState();
  for (auto press : { LeftDown, MiddleDown, RightDown })
  {
    scene.Drag(press, 400, 300, 450, 340, 5, press == MiddleDown ? 1 : press == RightDown ? 2 : 0);
    EXPECT_EQ(nav->GetState(), VTKIS_NONE);
  }
  EXPECT_EQ(scene.CameraState(), start);
  using C = vtkCommand;
  EXPECT_EQ(n({ C::StartInteractionEvent, C::InteractionEvent, C::StartPickEvent }),
    (std::vector{ 0, 0, 0 }));
  scene.SetPointer(400, 300);
  nav->StartDolly();
  scene.Path(400, 300, 400, 340, 2);
  EXPECT_NEAR(scene.Camera()->GetDistance(), 10.0 / std::pow(1.1, 4.0 / 3.0), 1e-9);
  nav->EndDolly();
  const auto before = scene.CameraState();
  nav->StartState(22);
  scene.MoveTo(480, 380);
  EXPECT_EQ(scene.CameraState(), before);
  EXPECT_EQ(std::make_pair(n[C::InteractionEvent], nav->GetMoved()), std::make_pair(2, 0));
  EXPECT_FALSE(nav->HasPanned());
}

// Its printing: TestKivGuardedStyle.
TEST(CatiaInteractor, PansWithoutARenderer)
{
  vtkNew<orvi_test::Probe<vtkCatiaInteractor>> nav;
  nav->Pan();
  EXPECT_TRUE(nav->HasPanned());
}
