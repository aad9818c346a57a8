// vtkInteractorStyleMervo's own button mapping, rubber band and zoom, driven
// through the interactor's events as a toolkit delivers them.
#include "vtkInteractorStyleMervo.h"

#include "orviTestUtils.h"

#include "vtkPropPicker.h"

namespace
{
// A 4 x 4 square at z = 0 seen from (0, 0, 10), the style installed.
using Scene = orvi_test::NavScene<vtkInteractorStyleMervo>;
using namespace orvi_test::buttons;
} // namespace

// Middle drag: plain rotates, Ctrl pans, Shift (with or without Ctrl)
// dollies; each motion counts and notifies, a release ends the state and
// zeroes the counter, and a drag never flies.
TEST(InteractorStyleMervo, MiddleDragWithModifiers)
{
  for (const auto& [mods, state] :
    { std::pair{ 0, VTKIS_ROTATE }, { 1, VTKIS_PAN }, { 2, VTKIS_DOLLY }, { 3, VTKIS_DOLLY } })
  {
    SCOPED_TRACE(std::to_string(state) + " modifiers " + std::to_string(mods));
    const bool ctrl = mods & 1, shift = mods & 2;
    Scene scene(800, 600, 2);
    auto* style = scene.Nav.Get();
    vtkCamera* camera = scene.Camera();
    orvi_test::EventRecorder interactions(style, vtkCommand::InteractionEvent);
    orvi_test::EventRecorder flyPicks(style->GetFlyPicker(), vtkCommand::EndPickEvent);
    scene.Fire(MiddleDown, 400, 300, ctrl, shift);
    EXPECT_EQ(style->GetState(), state);
    scene.Path(400, 300, 440, 330, 5, ctrl, shift);
    EXPECT_EQ(std::make_pair(style->GetMoved(), interactions.Count), std::make_pair(5, 5));
    // Pan: the focal point moves, the direction stays; rotate: about the
    // focal point at the same distance; dolly (upward): closer.
    const double* f = camera->GetFocalPoint();
    const double* n = camera->GetDirectionOfProjection();
    EXPECT_EQ(std::abs(f[0]) > 0.1, state == VTKIS_PAN) << f[0];
    EXPECT_EQ(n[2] > -0.9999, state == VTKIS_ROTATE) << n[2];
    EXPECT_NEAR(camera->GetDistance(), state == VTKIS_DOLLY ? 10 / 1.1 : 10, 1e-6);
    scene.Fire(MiddleUp, 440, 330, ctrl, shift);
    // Motions with no button down do nothing.
    const auto idle = scene.CameraState();
    scene.MoveTo(100, 100);
    EXPECT_EQ(
      (std::array{ style->GetState(), style->GetMoved(), interactions.Count, flyPicks.Count }),
      (std::array{ VTKIS_NONE, 0, 5, 0 }));
    EXPECT_EQ(scene.CameraState(), idle);
  }
}

// The style flies with its own picker (its printing: TestKivGuardedStyle).
TEST(InteractorStyleMervo, MiddleClickFliesAndAnyReleaseResetsTheCounter)
{
  Scene scene(800, 600, 2);
  auto* style = scene.Nav.Get();
  orvi_test::ExpectFlyPickerAndTDxStyle(style, style->GetFlyPicker());
  vtkCamera* camera = scene.Camera();
  orvi_test::EventRecorder flyPicks(style->GetFlyPicker(), vtkCommand::EndPickEvent);
  orvi_test::EventCounts n(style, scene.Interactor);
  orvi_test::FocalPointAt atEnd(style, vtkCommand::EndInteractionEvent);

  // Over the background a click picks but flies nowhere; five motions make
  // a drag, four a click, which flies to the point under the pointer before
  // the rotation ends; a pan or dolly click does not fly.
  const auto before = scene.CameraState();
  scene.Drag(MiddleDown, 5, 5, 5, 5, 0);
  EXPECT_EQ(flyPicks.Count, 1);
  EXPECT_EQ(scene.CameraState(), before);
  scene.Drag(MiddleDown, 500, 350, 500, 350, 5);
  EXPECT_EQ(flyPicks.Count, 1);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), 0, 0, 0, 1e-9);
  const auto hit = orvi_test::PointOnPlaneZ(scene.Renderer, 500, 350);
  scene.Drag(MiddleDown, 500, 350, 500, 350, 4);
  EXPECT_EQ((std::array{ flyPicks.Count, n[vtkCommand::EndInteractionEvent], style->GetState() }),
    (std::array{ 2, 3, VTKIS_NONE }));
  ORVI_EXPECT_VEC3_NEAR(atEnd.Focal.data(), hit[0], hit[1], hit[2], 1e-5);
  const auto flown = scene.CameraState();
  scene.Drag(MiddleDown, 300, 250, 300, 250, 0, 1);
  scene.Drag(MiddleDown, 300, 250, 300, 250, 0, 2);
  EXPECT_EQ(flyPicks.Count, 2);
  EXPECT_EQ(scene.CameraState(), flown);

  // A left click or a right release in a long middle drag neither picks nor
  // ends the rotation, but zeroes the counter: the middle release flies.
  for (unsigned long other : { LeftDown, RightUp })
  {
    scene.Fire(MiddleDown, 450, 250);
    scene.Path(450, 250, 450, 250, 6);
    scene.Fire(other, 450, 250);
    scene.Fire(other == LeftDown ? LeftUp : RightUp, 450, 250);
    EXPECT_EQ(
      std::make_pair(style->GetState(), style->GetMoved()), std::make_pair(VTKIS_ROTATE, 0));
    scene.Fire(MiddleUp, 450, 250);
  }
  EXPECT_EQ(std::make_pair(flyPicks.Count, n[vtkCommand::StartPickEvent]), std::make_pair(4, 0));
}

TEST(InteractorStyleMervo, LeftButtonPicksRightPressInADragTakesTheFocusTheWheelDollies)
{
  Scene scene(800, 600, 2);
  auto* style = scene.Nav.Get();
  using C = vtkCommand;
  orvi_test::EventCounts n(style, scene.Interactor);
  orvi_test::EventRecorder hostMoves(scene.Interactor, C::MouseMoveEvent, 10.0f);
  const auto before = scene.CameraState();

  // Left press: pick state 21, announced; motions count nothing and the
  // host sees them (no focus); the host picks when it wants to, which calls
  // no pick callback; only a release in the pick state ends it.
  scene.Fire(LeftDown, 400, 300);
  EXPECT_EQ(style->GetState(), 21);
  scene.MoveTo(420, 310);
  scene.MoveTo(440, 320);
  EXPECT_EQ(style->GetMoved(), 0);
  EXPECT_EQ(hostMoves.Count, 2);
  vtkNew<vtkPropPicker> picker;
  scene.Interactor->SetPicker(picker);
  style->Pick();
  EXPECT_EQ(style->GetPropPicked(), 1);
  scene.SetPointer(3, 3);
  style->Pick();
  EXPECT_EQ(style->GetPropPicked(), 0);
  EXPECT_EQ(
    n({ C::StartPickEvent, C::StartInteractionEvent, C::InteractionEvent, C::EndPickEvent }),
    (std::vector{ 1, 1, 0, 0 }));
  scene.Fire(LeftUp, 440, 320);
  scene.Fire(LeftUp, 440, 320);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  EXPECT_EQ(
    n({ C::StartPickEvent, C::EndPickEvent, C::EndInteractionEvent }), (std::vector{ 1, 1, 1 }));
  EXPECT_EQ(scene.CameraState(), before);

  // A right press and release during a middle drag only take and give back
  // the focus: no band, no snapshot, no user callback, still rotating.
  scene.Fire(MiddleDown, 400, 300);
  scene.MoveTo(410, 300);
  scene.Fire(RightDown, 600, 500);
  EXPECT_EQ(style->GetStartPosition()[0] + style->GetPixelArray()->GetNumberOfTuples(), 0)
    << "no band, no snapshot";
  scene.MoveTo(420, 300);
  EXPECT_EQ(n[C::InteractionEvent], 2);
  EXPECT_EQ(hostMoves.Count, 2) << "the middle button holds the focus";
  scene.Fire(RightUp, 430, 300);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  EXPECT_EQ(n[C::UserEvent], 0);
  scene.MoveTo(440, 300);
  EXPECT_EQ(hostMoves.Count, 3);
  scene.Fire(MiddleUp, 440, 300);

  // The right button alone holds the focus as long as it is down.
  scene.Fire(RightDown, 100, 100);
  scene.MoveTo(150, 150);
  EXPECT_EQ(hostMoves.Count, 3);
  scene.Fire(RightUp, 150, 150);
  scene.MoveTo(160, 160);
  EXPECT_EQ(hostMoves.Count, 4);

  // The wheel dollies. (Its keys are swallowed: TestKivGuardedStyle; the
  // timer is the navigators' shared one: TestMervoInteractor.)
  const double distance = scene.Camera()->GetDistance();
  scene.Fire(vtkCommand::MouseWheelForwardEvent, 400, 300);
  EXPECT_NEAR(scene.Camera()->GetDistance(), distance / 1.21, 1e-9);
}

// A right drag of five or more motions zooms the band's width onto the view
// and centres it (parallel: the scale, perspective: the distance; without
// width only centred); four or fewer call the user back and move nothing.
TEST(InteractorStyleMervo, RightClickCallsTheUserADragZoomsOntoTheBand)
{
  // Parallel, motions, the release's x and y, the zoom factor (0: none).
  for (const auto& [parallel, motions, x1, y1, factor] : { std::tuple{ false, 4, 300, 200, 0.0 },
         { true, 5, 300, 200, 4.0 },
         { false, 5, 300, 200, 4.0 },
         { true, 5, 100, 300, 1.0 } })
  {
    SCOPED_TRACE(std::to_string(motions) + (parallel ? " parallel " : " ") + std::to_string(x1));
    Scene scene(800, 600, 2, parallel);
    auto* style = scene.Nav.Get();
    orvi_test::EventCounts n(style, scene.Interactor);
    const auto centre = orvi_test::PointOnPlaneZ(
      scene.Renderer, factor > 0 ? (100 + x1) / 2.0 : 400, factor > 0 ? (100 + y1) / 2.0 : 300);
    scene.Fire(RightDown, 100, 100);
    EXPECT_EQ(style->GetState(), 22);
    EXPECT_EQ(style->GetPixelArray()->GetNumberOfTuples(), 800 * 600);
    scene.Path(100, 100, x1, y1, motions);
    EXPECT_EQ(style->GetMoved(), motions);
    scene.Fire(RightUp, x1, y1);
    EXPECT_EQ(std::make_pair(style->GetState(), style->GetMoved()), std::make_pair(VTKIS_NONE, 0));
    // The band starts without StartState(): no StartInteractionEvent.
    using C = vtkCommand;
    EXPECT_EQ(
      n({ C::StartInteractionEvent, C::EndInteractionEvent, C::InteractionEvent, C::UserEvent }),
      (std::vector{ 0, 1, 0, factor > 0 ? 0 : 1 }));
    vtkCamera* camera = scene.Camera();
    ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), centre[0], centre[1], centre[2], 1e-9);
    ORVI_EXPECT_VEC3_NEAR(camera->GetDirectionOfProjection(), 0, 0, -1, 1e-12);
    const double k = factor > 0 ? factor : 1;
    EXPECT_NEAR(camera->GetParallelScale(), parallel ? 3.0 / k : 3.0, 1e-12);
    EXPECT_NEAR(camera->GetDistance(), parallel ? 10.0 : 10.0 / k, 1e-9);
  }
}
