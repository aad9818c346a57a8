// What vtkCatiaInteractor and vtkInteractorStyleCATIA share through
// vtkKivCatiaNavigation: the spin rule, the motion step, fly, pick, the pick
// state, the timer, the wheel and VTK's keys. Every case runs on both
// classes, each driven as it is in use: the navigator by a host's state
// calls, the style by the mouse buttons. Last, each one's own:
// vtkCatiaInteractor's buttons and wheel mean nothing to it, the host
// starts the states, and only pan motion counts; vtkInteractorStyleCATIA's
// buttons map to states.
#include "vtkKivCatiaNavigation.h"

#include "orviTestUtils.h"

#include "vtkAreaPicker.h"
#include "vtkCatiaInteractor.h"
#include "vtkInteractorStyleCATIA.h"
#include "vtkMervoInteractor.h"
#include "vtkPropPicker.h"
#include "vtkWorldPointPicker.h"

#include <type_traits>

namespace
{
// An area picker that shows the rectangle it was last given.
class AreaProbe : public vtkAreaPicker
{
public:
  static AreaProbe* New() { VTK_STANDARD_NEW_BODY(AreaProbe); }
  vtkTypeMacro(AreaProbe, vtkAreaPicker);
  std::array<double, 4> Rect() const { return { this->X0, this->Y0, this->X1, this->Y1 }; }
};

// How each class enters a state at (x, y): the navigator through the host's
// calls (the spin rule choosing between spin and rotate), the style through
// its buttons (middle: pan, then left: spin or rotate; left alone: pick).
constexpr int Pan = 0, Rotation = 1, Pick = 2, EndPick = 3;
template <class T>
void Drive(orvi_test::NavScene<T>& scene, int action, int x, int y)
{
  auto* nav = scene.Nav.Get();
  scene.SetPointer(x, y);
  nav->FindPokedRenderer(x, y);
  if constexpr (std::is_same_v<T, vtkCatiaInteractor>)
  {
    (nav->*(action == Pan ? &T::StartPan
         : action == Pick ? &T::StartPick
         : action == EndPick ? &T::EndPick
         : nav->IsSpinning() ? &T::StartSpin : &T::StartRotate))();
  }
  else
  {
    using namespace orvi_test::buttons;
    if (action == Pan || action == Rotation)
    {
      scene.Fire(MiddleDown, x, y);
    }
    if (action != Pan)
    {
      scene.Fire(action == EndPick ? LeftUp : LeftDown, x, y);
    }
  }
}
} // namespace

// Each case gets an 800 x 600 window (diagonal 1000, centre (400, 300))
// with a 2 x 2 square in the middle (about 112 pixels each side of the
// centre) and the class under test installed.
template <class T>
class KivCatiaNavigation : public ::testing::Test
{
protected:
  orvi_test::NavScene<T> Scene;
  orvi_test::Probe<T>* Nav = this->Scene.Nav;
};
using Classes = ::testing::Types<vtkCatiaInteractor, vtkInteractorStyleCATIA>;
TYPED_TEST_SUITE(KivCatiaNavigation, Classes);

// Spin where the pointer is farther from the centre than a quarter of the
// diagonal, never before a renderer is found; a rotation press follows it.
// A spin turns the view-up about the viewing axis only; into the central
// zone the same motion turns it into a rotation, which stays. Neither counts.
TYPED_TEST(KivCatiaNavigation, SpinRuleAndSpinTurningIntoRotate)
{
  auto& scene = this->Scene;
  auto* nav = this->Nav;
  scene.SetPointer(799, 599);
  EXPECT_FALSE(nav->Spinning());
  nav->FindPokedRenderer(400, 300);
  // clang-format off
  const int rows[][3] = { { 400, 300, 0 }, { 650, 300, 0 }, { 150, 300, 0 }, { 400, 550, 0 },
    { 400, 50, 0 }, { 576, 476, 0 }, { 651, 300, 1 }, { 149, 300, 1 }, { 400, 551, 1 },
    { 578, 478, 1 } };
  // clang-format on
  for (const auto& r : rows)
  {
    scene.SetPointer(r[0], r[1]);
    EXPECT_EQ(nav->Spinning(), r[2] == 1) << r[0] << ", " << r[1];
  }
  Drive(scene, Rotation, 650, 300);
  EXPECT_EQ(nav->GetState(), VTKIS_ROTATE);
  nav->StopState();
  Drive(scene, Rotation, 700, 300);
  ASSERT_EQ(nav->GetState(), VTKIS_SPIN);
  const int moved = nav->GetMoved();
  orvi_test::EventRecorder interaction(nav, vtkCommand::InteractionEvent);
  auto before = scene.CameraState();
  scene.MoveTo(700, 340);
  EXPECT_EQ(nav->GetState(), VTKIS_SPIN);
  auto after = scene.CameraState();
  // The pointer turned by atan2(40, 300) about the centre: so is the view-up,
  // and nothing else.
  ORVI_EXPECT_VEC3_NEAR(&after[6], 40 / std::hypot(300, 40), 300 / std::hypot(300, 40), 0, 1e-9);
  std::copy_n(&after[6], 3, &before[6]);
  EXPECT_EQ(after, before);
  for (int x : { 450, 760 })
  {
    before = after;
    scene.MoveTo(x, 300);
    EXPECT_EQ(nav->GetState(), VTKIS_ROTATE);
    after = scene.CameraState();
    EXPECT_GT(orvi_test::Distance(&after[0], &before[0]), 1e-3);
  }
  EXPECT_EQ(interaction.Count, 3);
  EXPECT_EQ(nav->GetMoved(), moved);
}

// Each pan motion counts and notifies; the view follows the pointer.
TYPED_TEST(KivCatiaNavigation, PanCountsEveryMotion)
{
  auto& scene = this->Scene;
  auto* nav = this->Nav;
  Drive(scene, Pan, 400, 300);
  ASSERT_EQ(nav->GetState(), VTKIS_PAN);
  EXPECT_FALSE(nav->HasPanned());
  orvi_test::EventRecorder interaction(nav, vtkCommand::InteractionEvent);
  for (int i = 1; i <= 5; ++i)
  {
    scene.MoveTo(400 + 10 * i, 300);
    EXPECT_EQ(std::make_pair(nav->GetMoved(), interaction.Count), std::make_pair(i, i));
  }
  EXPECT_TRUE(nav->HasPanned());
  // 50 pixels of 600 at distance 10 with a 30 degree view angle.
  const double dx = -50.0 / 300.0 * 10.0 * std::tan(vtkMath::RadiansFromDegrees(15.0));
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), dx, 0, 10, 1e-6);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), dx, 0, 0, 1e-6);
}

// The pick state (21) fires the pick and state events and ignores motion.
// Pick() picks the rectangle from the start position to the pointer,
// clamped to two pixels inside the window: an area picker the rectangle, a
// point picker its centre (the integer sums halved); EndPickEvent each time,
// the state untouched. Any other picker picks nothing and fires nothing.
TYPED_TEST(KivCatiaNavigation, PickStateAndPickClampingTheRectangle)
{
  auto& scene = this->Scene;
  auto* nav = this->Nav;
  orvi_test::EventCounts n(nav, scene.Interactor);
  const auto start = scene.CameraState();
  Drive(scene, Pick, 300, 200);
  EXPECT_EQ(nav->GetState(), 21);
  scene.MoveTo(500, 350);
  scene.MoveTo(350, 260);
  EXPECT_EQ(nav->GetMoved(), 0);
  EXPECT_EQ(scene.CameraState(), start);
  Drive(scene, EndPick, 350, 260);
  EXPECT_EQ(nav->GetState(), VTKIS_NONE);
  using C = vtkCommand;
  EXPECT_EQ(n({ C::StartPickEvent,
              C::EndPickEvent,
              C::InteractionEvent,
              C::StartInteractionEvent,
              C::EndInteractionEvent }),
    (std::vector{ 1, 1, 0, 1, 1 }));

  vtkNew<AreaProbe> area;
  vtkNew<vtkPropPicker> point;
  // An area picker or a point one, start, pointer, what was picked, a prop found.
  const std::tuple<bool, std::array<int, 4>, std::array<double, 4>, int> rows[] = {
    { false, { 900, 700, 800, 600 }, { 798, 598, 0, 0 }, 0 },
    { false, { -10, 20, 101, 700 }, { 50.5, 309, 0, 0 }, 0 },
    { false, { 380, 280, 420, 320 }, { 400, 300, 0, 0 }, 1 },
    { true, { 900, -3, -40, 601 }, { 0, 0, 798, 598 }, 1 },
    { true, { 10, 10, 40, 30 }, { 10, 10, 40, 30 }, 0 },
  };
  int picks = 1;
  for (const auto& [isArea, r, picked, prop] : rows)
  {
    SCOPED_TRACE(std::to_string(r[0]) + ", " + std::to_string(r[1]));
    scene.Interactor->SetPicker(isArea ? static_cast<vtkAbstractPicker*>(area) : point);
    nav->SetStartPosition(r[0], r[1]);
    scene.SetPointer(r[2], r[3]);
    nav->Pick();
    EXPECT_EQ(nav->GetEndPosition()[0], r[2]);
    const double* p = point->GetSelectionPoint();
    const std::array<double, 4> centre = { p[0], p[1], p[2], 0 };
    EXPECT_EQ(isArea ? area->Rect() : centre, picked);
    EXPECT_EQ((std::array{ nav->GetPropPicked(), n[C::EndPickEvent], nav->GetState() }),
      (std::array{ prop, ++picks, VTKIS_NONE }));
  }
  vtkNew<vtkWorldPointPicker> world;
  scene.Interactor->SetPicker(world);
  nav->Pick();
  EXPECT_EQ(std::make_pair(nav->GetPropPicked(), n[C::EndPickEvent]), std::make_pair(0, picks));
}

// What the Mervo navigator shares with them too, on the same scene.
template <class T>
class KivSharedHandlers : public KivCatiaNavigation<T>
{
};
using SharedClasses =
  ::testing::Types<vtkCatiaInteractor, vtkInteractorStyleCATIA, vtkMervoInteractor>;
TYPED_TEST_SUITE(KivSharedHandlers, SharedClasses);

// The wheel does nothing (VTK's keys work: TestKivGuardedStyle; the Mervo
// style's wheel: TestMervoInteractor); the timer renders only while
// animating in state none, never moving, and with a host's timers each tick
// replaces the timer by a repeating one. Fly: over the background the
// camera stays; over the square the focal point lands on the picked surface
// point; no animation is left on.
TYPED_TEST(KivSharedHandlers, WheelTimerAndFly)
{
  auto& scene = this->Scene;
  auto* nav = this->Nav;
  orvi_test::ExpectFlyPickerAndTDxStyle(nav, nav->GetFlyPicker());
  const auto start = scene.CameraState();
  scene.Fire(vtkCommand::MouseWheelForwardEvent, 400, 300);
  scene.Fire(vtkCommand::MouseWheelBackwardEvent, 400, 300);
  using C = vtkCommand;
  orvi_test::EventCounts n(nullptr, scene.Interactor);
  const auto tick = [&] { scene.Interactor->InvokeEvent(C::TimerEvent, nullptr); };
  tick();
  EXPECT_EQ(n[C::RenderEvent], 0);
  nav->StartAnimate();
  const int animated = n[C::RenderEvent];
  tick();
  scene.SetPointer(400, 300);
  nav->StartPan();
  tick();
  nav->StopState();
  EXPECT_EQ(n[C::RenderEvent], animated + 1);
  EXPECT_EQ(scene.CameraState(), start);
  nav->UseTimersOn();
  nav->SetTimerDuration(25);
  tick();
  EXPECT_EQ(n({ C::RenderEvent, C::DestroyTimerEvent, C::CreateTimerEvent }),
    (std::vector{ animated + 2, 0, 1 }));
  EXPECT_EQ(scene.Interactor->GetTimerDuration(nav->GetTimerId()), 25ul);
  EXPECT_FALSE(scene.Interactor->IsOneShotTimer(nav->GetTimerId()));
  tick();
  EXPECT_EQ(n({ C::DestroyTimerEvent, C::CreateTimerEvent }), (std::vector{ 1, 2 }));
  nav->UseTimersOff();
  tick();
  EXPECT_EQ(n({ C::RenderEvent, C::CreateTimerEvent }), (std::vector{ animated + 4, 2 }));
  nav->StopAnimate();

  orvi_test::EventRecorder interaction(nav, C::InteractionEvent);
  scene.SetPointer(20, 20);
  nav->Fly();
  EXPECT_EQ(scene.CameraState(), start);
  const auto hit = orvi_test::PointOnPlaneZ(scene.Renderer, 460, 330);
  scene.SetPointer(460, 330);
  nav->Fly();
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), hit[0], hit[1], hit[2], 1e-5);
  EXPECT_EQ(nav->GetAnimState(), VTKIS_ANIM_OFF);
  EXPECT_EQ(interaction.Count, 0);
}

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

// vtkInteractorStyleCATIA's own button mapping, driven through the
// interactor's events as a toolkit delivers them.
using StyleScene = orvi_test::NavScene<vtkInteractorStyleCATIA>;

// A middle click flies to the point under the pointer before the pan state
// ends; so does a pan of four motions, five make a drag that does not fly
// (each press starts its own count); a left release ends a pan, and the
// middle release then does not fly.
TEST(InteractorStyleCATIA, MiddleClickFliesBeforeThePanEndsADragDoesNot)
{
  StyleScene scene;
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
  StyleScene scene;
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
  StyleScene scene;
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
