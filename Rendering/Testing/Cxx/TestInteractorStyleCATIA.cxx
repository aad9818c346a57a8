// vtkInteractorStyleCATIA's own button mapping, driven through the
// interactor's events as a toolkit delivers them. What it shares with the
// navigator is in TestKivCatiaNavigation.
#include "vtkInteractorStyleCATIA.h"

#include "orviTestUtils.h"

namespace
{
using Scene = orvi_test::NavScene<vtkInteractorStyleCATIA>;
using namespace orvi_test::buttons;
} // namespace

// A middle click flies to the point under the pointer before the pan state
// ends; so does a pan of four motions, five make a drag that does not fly
// (each press starts its own count); a left release ends a pan, and the
// middle release then does not fly.
TEST(InteractorStyleCATIA, MiddleClickFliesBeforeThePanEndsADragDoesNot)
{
  Scene scene;
  auto* style = scene.Nav.Get();
  orvi_test::FocalPointAt atEnd(style, vtkCommand::EndInteractionEvent);
  orvi_test::EventRecorder flyPicks(style->GetFlyPicker(), vtkCommand::EndPickEvent);
  orvi_test::EventRecorder interaction(style, vtkCommand::InteractionEvent);
  scene.Fire(MiddleDown, 460, 330);
  EXPECT_EQ(style->GetState(), VTKIS_PAN);
  EXPECT_EQ(flyPicks.Count, 0);
  const auto hit = orvi_test::PointOnPlaneZ(scene.Renderer, 460, 330);
  scene.Fire(MiddleUp, 460, 330);
  EXPECT_FALSE(style->HasPanned());
  EXPECT_EQ(std::make_pair(style->GetState(), flyPicks.Count), std::make_pair(VTKIS_NONE, 1));
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), hit[0], hit[1], hit[2], 1e-5);
  ORVI_EXPECT_VEC3_NEAR(atEnd.Focal.data(), hit[0], hit[1], hit[2], 1e-5);

  int flights = 1, events = 0;
  for (int motions : { 4, 5, 2 })
  {
    SCOPED_TRACE(std::to_string(motions) + " motions");
    scene.Drag(MiddleDown, 400, 300, 400 + 5 * motions, 300, motions);
    EXPECT_TRUE(style->HasPanned());
    EXPECT_EQ(interaction.Count, events += motions);
    EXPECT_EQ(flyPicks.Count, flights += motions <= 4 ? 1 : 0);
    EXPECT_EQ(style->GetState(), VTKIS_NONE);
  }
  scene.Fire(MiddleDown, 400, 300);
  scene.Fire(LeftUp, 400, 300);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  scene.Fire(MiddleUp, 400, 300);
  EXPECT_EQ(flyPicks.Count, flights);
}

// With the middle button held, a left or right press rotates (spins beyond
// a quarter of the diagonal from the centre) and its release dollies; presses
// while spinning and a right release in a spin change nothing; the middle
// release ends any of them.
TEST(InteractorStyleCATIA, RotateDollyCycleWithTheMiddleButtonHeld)
{
  Scene scene;
  auto* style = scene.Nav.Get();
  orvi_test::EventRecorder interaction(style, vtkCommand::InteractionEvent);
  // Event, x (y is 300), state after it.
  // clang-format off
  const std::array<unsigned long, 3> steps[] = {
    { MiddleDown, 400, VTKIS_PAN }, { LeftDown, 700, VTKIS_SPIN }, { RightDown, 400, VTKIS_SPIN },
    { LeftDown, 400, VTKIS_SPIN }, { RightUp, 700, VTKIS_SPIN }, { LeftUp, 700, VTKIS_DOLLY },
    { RightDown, 600, VTKIS_ROTATE }, { LeftDown, 600, VTKIS_ROTATE },
    { RightUp, 600, VTKIS_DOLLY }, { LeftDown, 600, VTKIS_ROTATE }, { LeftUp, 600, VTKIS_DOLLY },
    { MiddleUp, 600, VTKIS_NONE }, { MiddleDown, 400, VTKIS_PAN }, { LeftDown, 500, VTKIS_ROTATE },
    { MiddleUp, 500, VTKIS_NONE }, { MiddleDown, 400, VTKIS_PAN }, { LeftDown, 790, VTKIS_SPIN },
    { MiddleUp, 790, VTKIS_NONE } };
  // clang-format on
  for (const auto& step : steps)
  {
    scene.Fire(step[0], static_cast<int>(step[1]), 300);
    EXPECT_EQ(style->GetState(), static_cast<int>(step[2])) << step[0] << " at " << step[1];
  }
  // Dolly by dragging: the camera comes closer, nothing counted.
  scene.Fire(MiddleDown, 400, 300);
  scene.Fire(LeftDown, 400, 300);
  scene.Fire(LeftUp, 400, 300);
  scene.MoveTo(400, 320);
  EXPECT_NEAR(scene.Camera()->GetDistance(), 10.0 / std::pow(1.1, 2.0 / 3.0), 1e-9);
  EXPECT_EQ(std::make_pair(style->GetMoved(), interaction.Count), std::make_pair(0, 1));
  scene.Fire(MiddleUp, 400, 320);
}

// Clicks with the middle button up pick: either release ends the pick state
// (21), only the right one calls the user back, even after a long pan; the
// camera never moves.
TEST(InteractorStyleCATIA, ClicksWithTheMiddleButtonUpPickTheMiddleButtonHoldsTheFocus)
{
  Scene scene;
  auto* style = scene.Nav.Get();
  orvi_test::EventCounts n(style, scene.Interactor);
  using C = vtkCommand;
  const auto counts = [&] { return n({ C::StartPickEvent, C::EndPickEvent, C::UserEvent }); };
  for (auto [down, up, picks, users] :
    { std::tuple{ LeftDown, LeftUp, 1, 0 }, std::tuple{ RightDown, RightUp, 2, 1 } })
  {
    scene.Fire(down, 100, 100);
    const int pressed = style->GetState();
    scene.Fire(up, 100, 100);
    EXPECT_EQ(std::make_pair(pressed, style->GetState()), std::make_pair(21, VTKIS_NONE));
    EXPECT_EQ(counts(), (std::vector{ picks, picks, users }));
  }

  scene.Drag(MiddleDown, 400, 300, 406, 300, 6);
  const auto panned = scene.CameraState();
  scene.Drag(RightDown, 406, 300, 420, 310, 1);
  EXPECT_EQ(counts(), (std::vector{ 3, 3, 2 }));
  EXPECT_EQ(scene.CameraState(), panned);

  // The middle button holds the mouse focus from a host observer that would
  // see motion first; away from any renderer a press takes nothing.
  orvi_test::EventRecorder hostMoves(scene.Interactor, vtkCommand::MouseMoveEvent, 10.0f);
  scene.MoveTo(410, 300);
  scene.Drag(MiddleDown, 410, 300, 430, 300, 2);
  EXPECT_EQ(std::make_pair(hostMoves.Count, style->GetMoved()), std::make_pair(1, 2));
  scene.MoveTo(440, 300);
  EXPECT_EQ(hostMoves.Count, 2);
  scene.Window->RemoveRenderer(scene.Renderer);
  scene.Fire(MiddleDown, 400, 300);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  scene.MoveTo(410, 300);
  EXPECT_EQ(hostMoves.Count, 3);
  scene.Fire(MiddleUp, 410, 300);
}
