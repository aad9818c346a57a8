// vtkInteractorStyleCATIA's own button mapping, driven through the
// interactor's events as a toolkit delivers them.
#include "catiaTestUtils.h"

#include <gtest/gtest.h>

using namespace catia_test;

namespace
{
struct StyleScene : CatiaScene
{
  StyleScene()
  {
    this->Interactor->SetInteractorStyle(this->Style);
    this->Window->Render();
  }
  vtkNew<catia_test::Style> Style;
};

constexpr unsigned long MiddleDown = vtkCommand::MiddleButtonPressEvent;
constexpr unsigned long MiddleUp = vtkCommand::MiddleButtonReleaseEvent;
constexpr unsigned long LeftDown = vtkCommand::LeftButtonPressEvent;
constexpr unsigned long LeftUp = vtkCommand::LeftButtonReleaseEvent;
constexpr unsigned long RightDown = vtkCommand::RightButtonPressEvent;
constexpr unsigned long RightUp = vtkCommand::RightButtonReleaseEvent;
} // namespace

TEST(InteractorStyleCATIA, MiddleClickFliesBeforeThePanEndsALeftReleaseEndsThePan)
{
  StyleScene scene;
  auto* style = scene.Style.Get();
  // The focal point as the pan state ends.
  orvi_test::FocalPointAt atEnd(style, vtkCommand::EndInteractionEvent);
  orvi_test::EventRecorder flyPicks(style->GetFlyPicker(), vtkCommand::EndPickEvent);

  scene.Fire(MiddleDown, 460, 330);
  EXPECT_EQ(style->GetState(), VTKIS_PAN);
  EXPECT_FALSE(style->HasPanned());
  EXPECT_EQ(flyPicks.Count, 0);

  scene.Fire(MiddleUp, 460, 330);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  EXPECT_FALSE(style->HasPanned());
  EXPECT_EQ(flyPicks.Count, 1);
  const double* picked = style->GetFlyPicker()->GetPickPosition();
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), picked[0], picked[1], picked[2], 1e-9);
  EXPECT_GT(picked[0], 0.3);
  // The flight was over when the pan state ended.
  ORVI_EXPECT_VEC3_NEAR(atEnd.Focal.data(), picked[0], picked[1], picked[2], 1e-9);

  // A left release in a pan ends it; the middle release then finds no pan
  // to end, and does not fly.
  scene.Fire(MiddleDown, 400, 300);
  scene.Fire(LeftUp, 400, 300);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  scene.Fire(MiddleUp, 400, 300);
  EXPECT_EQ(flyPicks.Count, 1);
}

TEST(InteractorStyleCATIA, FifthPanMotionMakesADragThatDoesNotFly)
{
  StyleScene scene;
  auto* style = scene.Style.Get();
  orvi_test::EventRecorder flyPicks(style->GetFlyPicker(), vtkCommand::EndPickEvent);
  orvi_test::EventRecorder interaction(style, vtkCommand::InteractionEvent);
  int expectedFlights = 0;
  int expectedEvents = 0;
  // Each press starts its own count: a click after a long drag flies again.
  for (int motions : { 4, 5, 2 })
  {
    SCOPED_TRACE(std::to_string(motions) + " motions");
    scene.Fire(MiddleDown, 400, 300);
    EXPECT_EQ(style->GetMoved(), 0);
    EXPECT_FALSE(style->HasPanned());
    for (int i = 1; i <= motions; ++i)
    {
      scene.MoveTo(400 + 5 * i, 300);
    }
    EXPECT_TRUE(style->HasPanned());
    EXPECT_EQ(style->GetMoved(), motions);
    EXPECT_EQ(interaction.Count, expectedEvents += motions);
    scene.Fire(MiddleUp, 400 + 5 * motions, 300);
    EXPECT_EQ(flyPicks.Count, expectedFlights += motions <= 4 ? 1 : 0);
    EXPECT_EQ(style->GetState(), VTKIS_NONE);
  }
}

TEST(InteractorStyleCATIA, RotateDollyCycleWithTheMiddleButtonHeld)
{
  StyleScene scene;
  auto* style = scene.Style.Get();
  orvi_test::EventRecorder interaction(style, vtkCommand::InteractionEvent);

  // 30 percent of the diagonal from the centre: spin; 20 percent: rotate.
  scene.Fire(MiddleDown, 400, 300);
  scene.Fire(LeftDown, 700, 300);
  EXPECT_EQ(style->GetState(), VTKIS_SPIN);
  // Left and right presses while spinning change nothing.
  scene.Fire(RightDown, 400, 300);
  scene.Fire(LeftDown, 400, 300);
  EXPECT_EQ(style->GetState(), VTKIS_SPIN);
  // A right release does not end a spin.
  scene.Fire(RightUp, 700, 300);
  EXPECT_EQ(style->GetState(), VTKIS_SPIN);
  scene.Fire(LeftUp, 700, 300);
  EXPECT_EQ(style->GetState(), VTKIS_DOLLY);

  // Dolly by dragging: the camera comes closer, nothing counted.
  const double distance = scene.Camera()->GetDistance();
  scene.MoveTo(700, 320);
  EXPECT_LT(scene.Camera()->GetDistance(), distance - 0.1);
  EXPECT_EQ(style->GetMoved(), 0);
  EXPECT_EQ(interaction.Count, 1);

  scene.Fire(RightDown, 600, 300);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  scene.Fire(LeftDown, 600, 300);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  scene.Fire(RightUp, 600, 300);
  EXPECT_EQ(style->GetState(), VTKIS_DOLLY);
  scene.Fire(LeftDown, 600, 300);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  scene.Fire(LeftUp, 600, 300);
  EXPECT_EQ(style->GetState(), VTKIS_DOLLY);

  scene.Fire(MiddleUp, 600, 300);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  // Releasing the middle button in a rotation or spin ends it too.
  scene.Fire(MiddleDown, 400, 300);
  scene.Fire(LeftDown, 500, 300);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  scene.Fire(MiddleUp, 500, 300);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  scene.Fire(MiddleDown, 400, 300);
  scene.Fire(LeftDown, 790, 590);
  EXPECT_EQ(style->GetState(), VTKIS_SPIN);
  scene.Fire(MiddleUp, 790, 590);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
}

TEST(InteractorStyleCATIA, MiddleButtonHoldsTheMouseFocus)
{
  StyleScene scene;
  auto* style = scene.Style.Get();
  // A host observer that would see motion before the style.
  orvi_test::EventRecorder hostMoves(scene.Interactor, vtkCommand::MouseMoveEvent, 10.0f);

  scene.MoveTo(410, 300);
  EXPECT_EQ(hostMoves.Count, 1);
  scene.Fire(MiddleDown, 410, 300);
  scene.MoveTo(420, 300);
  scene.MoveTo(430, 300);
  EXPECT_EQ(hostMoves.Count, 1);
  EXPECT_EQ(style->GetMoved(), 2);
  scene.Fire(MiddleUp, 430, 300);
  scene.MoveTo(440, 300);
  EXPECT_EQ(hostMoves.Count, 2);
}

TEST(InteractorStyleCATIA, ClicksWithTheMiddleButtonUpPick)
{
  StyleScene scene;
  auto* style = scene.Style.Get();
  orvi_test::EventRecorder startPick(scene.Interactor, vtkCommand::StartPickEvent);
  orvi_test::EventRecorder endPick(scene.Interactor, vtkCommand::EndPickEvent);
  orvi_test::EventRecorder user(scene.Interactor, vtkCommand::UserEvent);
  const auto start = scene.CameraState();

  scene.Fire(LeftDown, 100, 100);
  EXPECT_EQ(style->GetState(), VTKIS_KIV_PICK);
  EXPECT_EQ(startPick.Count, 1);
  EXPECT_EQ(endPick.Count, 0);
  // Either release ends a pick; only the right one calls the user back.
  scene.Fire(LeftUp, 100, 100);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  EXPECT_EQ(endPick.Count, 1);
  EXPECT_EQ(user.Count, 0);

  scene.Fire(RightDown, 120, 100);
  EXPECT_EQ(style->GetState(), VTKIS_KIV_PICK);
  EXPECT_EQ(startPick.Count, 2);
  scene.Fire(RightUp, 120, 100);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  EXPECT_EQ(endPick.Count, 2);
  EXPECT_EQ(user.Count, 1);

  // A right click after a long pan still calls the user back.
  scene.Fire(MiddleDown, 400, 300);
  for (int i = 1; i <= 6; ++i)
  {
    scene.MoveTo(400 + i, 300);
  }
  scene.Fire(MiddleUp, 406, 300);
  const auto panned = scene.CameraState();
  EXPECT_NE(panned, start);
  scene.Fire(RightDown, 406, 300);
  scene.MoveTo(420, 310);
  scene.Fire(RightUp, 420, 310);
  EXPECT_EQ(user.Count, 2);
  EXPECT_EQ(endPick.Count, 3);
  // Picking never moves the camera.
  EXPECT_EQ(scene.CameraState(), panned);
}

TEST(InteractorStyleCATIA, HostPicksARectangleFromThePickEvents)
{
  // The documented way: record the first corner on StartPickEvent, pick on
  // the release.
  StyleScene scene;
  auto* style = scene.Style.Get();
  vtkNew<RecordingAreaPicker> picker;
  scene.Interactor->SetPicker(picker);
  vtkNew<vtkCallbackCommand> onStart;
  onStart->SetClientData(style);
  onStart->SetCallback(
    [](vtkObject* caller, unsigned long, void* clientData, void*)
    {
      auto* s = static_cast<vtkInteractorStyleCATIA*>(clientData);
      const int* p = static_cast<vtkRenderWindowInteractor*>(caller)->GetEventPosition();
      s->SetStartPosition(p[0], p[1]);
    });
  scene.Interactor->AddObserver(vtkCommand::StartPickEvent, onStart);

  scene.Fire(LeftDown, 300, 200);
  scene.MoveTo(350, 260);
  style->Pick();
  scene.Fire(LeftUp, 350, 260);
  ASSERT_EQ(picker->Areas.size(), 1u);
  EXPECT_EQ(picker->Areas[0], (std::array<double, 4>{ 300.0, 200.0, 350.0, 260.0 }));
  EXPECT_EQ(style->GetPropPicked(), 1);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
}

TEST(InteractorStyleCATIA, MiddlePressAwayFromAnyRendererDoesNothing)
{
  orvi_test::Scene scene;
  scene.Window->RemoveRenderer(scene.Renderer);
  vtkNew<catia_test::Style> style;
  scene.Interactor->SetInteractorStyle(style);
  scene.Fire(MiddleDown, 400, 300);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  orvi_test::EventRecorder hostMoves(scene.Interactor, vtkCommand::MouseMoveEvent, 10.0f);
  scene.MoveTo(410, 300);
  EXPECT_EQ(hostMoves.Count, 1); // no focus taken
  scene.Fire(MiddleUp, 410, 300);
  scene.Interactor->SetInteractorStyle(nullptr);
}
