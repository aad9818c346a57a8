// vtkInteractorStyleMervo's own button mapping, rubber band and zoom, driven
// through the interactor's events as a toolkit delivers them.
#include "vtkInteractorStyleMervo.h"

#include "orviTestUtils.h"

#include "vtkActor.h"
#include "vtkInteractorStyleTrackballCamera.h"
#include "vtkKivInteractor.h"
#include "vtkMath.h"
#include "vtkObjectFactory.h"
#include "vtkPropPicker.h"
#include "vtkProperty.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace
{
// The style as a host derives it, with its protected parts in reach.
class ProbeStyle : public vtkInteractorStyleMervo
{
public:
  static ProbeStyle* New();
  vtkTypeMacro(ProbeStyle, vtkInteractorStyleMervo);
  int GetPropPicked() const { return this->PropPicked; }
  vtkUnsignedCharArray* GetPixelArray() { return this->PixelArray; }
};
vtkStandardNewMacro(ProbeStyle);

constexpr unsigned long LeftDown = vtkCommand::LeftButtonPressEvent;
constexpr unsigned long LeftUp = vtkCommand::LeftButtonReleaseEvent;
constexpr unsigned long MiddleDown = vtkCommand::MiddleButtonPressEvent;
constexpr unsigned long MiddleUp = vtkCommand::MiddleButtonReleaseEvent;
constexpr unsigned long RightDown = vtkCommand::RightButtonPressEvent;
constexpr unsigned long RightUp = vtkCommand::RightButtonReleaseEvent;

// A window with the style installed and a square plane (z = 0, from -2 to 2)
// facing a camera on the +z axis, 10 units away (parallel: scale 3).
struct StyleScene : orvi_test::Scene
{
  explicit StyleScene(int w = 800, int h = 600, bool parallel = false)
    : orvi_test::Scene(w, h)
  {
    this->Renderer->AddActor(this->Plane);
    orvi_test::LookDownZ(this->Camera(), 10, parallel, 3.0);
    this->Renderer->ResetCameraClippingRange();
    this->Interactor->SetInteractorStyle(this->Style);
  }

  // The world point at display (x, y) on the plane through the focal point.
  std::array<double, 3> PlaneAt(double x, double y)
  {
    return orvi_test::PointOnPlaneZ(this->Renderer, x, y);
  }

  // n motion events at (x, y): each counts, none moves the camera.
  void StayAt(int x, int y, int n)
  {
    for (int i = 0; i < n; ++i)
    {
      this->MoveTo(x, y);
    }
  }

  vtkSmartPointer<vtkActor> Plane = orvi_test::MakePlane(-2, -2, 2, 2);
  vtkNew<ProbeStyle> Style;
};
} // namespace

TEST(InteractorStyleMervo, ConstructionAndPrinting)
{
  vtkNew<ProbeStyle> style;
  EXPECT_TRUE(style->IsA("vtkInteractorStyleTrackballCamera"));
  EXPECT_FALSE(style->IsA("vtkKivInteractor"));
  orvi_test::ExpectFlyPickerAndTDxStyle(style, style->GetFlyPicker());
  // Prints what the trackball style prints, under its own class name.
  vtkNew<vtkInteractorStyleTrackballCamera> trackball;
  trackball->SetTDxStyle(style->GetTDxStyle());
  EXPECT_EQ(orvi_test::Printed(style, "ProbeStyle"),
    orvi_test::Printed(trackball, "vtkInteractorStyleTrackballCamera"));
}

TEST(InteractorStyleMervo, MiddleDragWithModifiers)
{
  StyleScene scene;
  ProbeStyle* style = scene.Style;
  vtkCamera* camera = scene.Camera();
  orvi_test::EventRecorder interactions(style, vtkCommand::InteractionEvent);
  orvi_test::EventRecorder flyPicks(style->GetFlyPicker(), vtkCommand::EndPickEvent);

  // Plain: rotate, Ctrl: pan, Shift (with or without Ctrl): dolly.
  struct Case
  {
    bool Ctrl, Shift;
    int State;
  };
  int events = 0;
  for (const Case& c : { Case{ false, false, VTKIS_ROTATE },
         Case{ true, false, VTKIS_PAN },
         Case{ false, true, VTKIS_DOLLY },
         Case{ true, true, VTKIS_DOLLY } })
  {
    SCOPED_TRACE(std::to_string(c.State) + (c.Ctrl ? " ctrl" : "") + (c.Shift ? " shift" : ""));
    const auto before = scene.CameraState();
    double direction[3], after[3];
    camera->GetDirectionOfProjection(direction);
    const double distance = camera->GetDistance();

    scene.Fire(MiddleDown, 400, 300, c.Ctrl, c.Shift);
    EXPECT_EQ(style->GetState(), c.State);
    EXPECT_EQ(scene.CameraState(), before) << "a press does not move the camera";
    for (int i = 1; i <= 5; ++i)
    {
      scene.MoveTo(400 + 8 * i, 300 + 6 * i, c.Ctrl, c.Shift);
      EXPECT_EQ(style->GetMoved(), i);
      EXPECT_EQ(interactions.Count, ++events);
      EXPECT_EQ(style->GetState(), c.State);
    }
    camera->GetDirectionOfProjection(after);
    const double* focal = &before[3];
    if (c.State == VTKIS_PAN)
    {
      // Position and focal point move together; the view keeps its direction.
      EXPECT_GT(orvi_test::Distance(camera->GetFocalPoint(), focal), 0.1);
      ORVI_EXPECT_VEC3_NEAR(after, direction[0], direction[1], direction[2], 1e-12);
      EXPECT_NEAR(camera->GetDistance(), distance, 1e-9);
    }
    else
    {
      // About the focal point, at the same distance; or, upward, dollied in.
      ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), focal[0], focal[1], focal[2], 1e-12);
      if (c.State == VTKIS_ROTATE)
      {
        EXPECT_LT(vtkMath::Dot(direction, after), 0.9999);
        EXPECT_NEAR(camera->GetDistance(), distance, 1e-9);
      }
      else
      {
        EXPECT_LT(camera->GetDistance(), distance * 0.95);
      }
    }
    scene.Fire(MiddleUp, 440, 330, c.Ctrl, c.Shift);
    EXPECT_EQ(style->GetState(), VTKIS_NONE);
    EXPECT_EQ(style->GetMoved(), 0);
    EXPECT_EQ(interactions.Count, events) << "a release is no motion step";
  }
  EXPECT_EQ(flyPicks.Count, 0) << "no drag flies";

  // Motions with no button down do nothing.
  const auto idle = scene.CameraState();
  scene.MoveTo(100, 100);
  scene.MoveTo(200, 150);
  EXPECT_EQ(style->GetMoved(), 0);
  EXPECT_EQ(interactions.Count, events);
  EXPECT_EQ(scene.CameraState(), idle);
}

TEST(InteractorStyleMervo, MiddleClickFliesAndAnyReleaseResetsTheCounter)
{
  StyleScene scene;
  ProbeStyle* style = scene.Style;
  vtkCamera* camera = scene.Camera();
  orvi_test::EventRecorder flyPicks(style->GetFlyPicker(), vtkCommand::EndPickEvent);
  orvi_test::EventRecorder endInteraction(style, vtkCommand::EndInteractionEvent);
  orvi_test::EventRecorder startPick(scene.Interactor, vtkCommand::StartPickEvent);
  orvi_test::EventRecorder endPick(scene.Interactor, vtkCommand::EndPickEvent);
  orvi_test::FocalPointAt atEnd(style, vtkCommand::EndInteractionEvent);

  // A click over the background picks but flies nowhere.
  const auto before = scene.CameraState();
  scene.Fire(MiddleDown, 5, 5);
  scene.Fire(MiddleUp, 5, 5);
  EXPECT_EQ(flyPicks.Count, 1);
  EXPECT_EQ(endInteraction.Count, 1);
  EXPECT_EQ(scene.CameraState(), before);

  // Five motions: a drag, which only ends the rotation.
  scene.Fire(MiddleDown, 500, 350);
  scene.StayAt(500, 350, 5);
  scene.Fire(MiddleUp, 500, 350);
  EXPECT_EQ(flyPicks.Count, 1);
  EXPECT_EQ(endInteraction.Count, 2);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), before[3], before[4], before[5], 1e-9);

  // Four motions: a click, which flies to the plane point under the pointer
  // before the rotation ends.
  auto hit = scene.PlaneAt(500, 350);
  EXPECT_GT(hit[0], 0.5);
  scene.Fire(MiddleDown, 500, 350);
  scene.StayAt(500, 350, 4);
  scene.Fire(MiddleUp, 500, 350);
  EXPECT_EQ(flyPicks.Count, 2);
  EXPECT_EQ(endInteraction.Count, 3);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), hit[0], hit[1], hit[2], 1e-5);
  ORVI_EXPECT_VEC3_NEAR(atEnd.Focal.data(), hit[0], hit[1], hit[2], 1e-5);

  // A pan or dolly click does not fly.
  const auto flown = scene.CameraState();
  scene.Fire(MiddleDown, 300, 250, true, false);
  scene.Fire(MiddleUp, 300, 250, true, false);
  EXPECT_EQ(scene.CameraState(), flown) << "pan";
  scene.Fire(MiddleDown, 300, 250, false, true);
  scene.Fire(MiddleUp, 300, 250, false, true);
  EXPECT_EQ(flyPicks.Count, 2);
  EXPECT_EQ(scene.CameraState(), flown) << "dolly";

  // A long middle drag; a left press and release, or a right release, in its
  // middle neither picks nor ends the rotation, but the release zeroes the
  // counter, so the middle release counts as a click and flies.
  for (unsigned long other : { LeftDown, RightUp })
  {
    hit = scene.PlaneAt(450, 250);
    scene.Fire(MiddleDown, 450, 250);
    scene.StayAt(450, 250, 6);
    EXPECT_EQ(style->GetMoved(), 6);
    scene.Fire(other, 450, 250);
    EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
    scene.Fire(other == LeftDown ? LeftUp : RightUp, 450, 250);
    EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
    EXPECT_EQ(style->GetMoved(), 0);
    scene.StayAt(450, 250, 2);
    scene.Fire(MiddleUp, 450, 250);
    EXPECT_EQ(style->GetMoved(), 0);
    ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), hit[0], hit[1], hit[2], 1e-5);
  }
  EXPECT_EQ(flyPicks.Count, 4);
  EXPECT_EQ(startPick.Count, 0);
  EXPECT_EQ(endPick.Count, 0);
}

TEST(InteractorStyleMervo, LeftButtonAnnouncesThePickStateRightPressInADragTakesTheFocus)
{
  StyleScene scene;
  ProbeStyle* style = scene.Style;
  orvi_test::EventRecorder startPick(scene.Interactor, vtkCommand::StartPickEvent);
  orvi_test::EventRecorder endPick(scene.Interactor, vtkCommand::EndPickEvent);
  orvi_test::EventRecorder startInteraction(style, vtkCommand::StartInteractionEvent);
  orvi_test::EventRecorder endInteraction(style, vtkCommand::EndInteractionEvent);
  orvi_test::EventRecorder interactions(style, vtkCommand::InteractionEvent);
  orvi_test::EventRecorder hostMoves(scene.Interactor, vtkCommand::MouseMoveEvent, 10.0f);
  const auto before = scene.CameraState();

  scene.Fire(LeftDown, 400, 300);
  EXPECT_EQ(style->GetState(), VTKIS_KIV_PICK);
  EXPECT_EQ(startPick.Count, 1);
  EXPECT_EQ(endPick.Count, 0);
  EXPECT_EQ(startInteraction.Count, 1);
  scene.MoveTo(420, 310);
  scene.MoveTo(440, 320);
  EXPECT_EQ(style->GetMoved(), 0) << "pick state counts no motion";
  EXPECT_EQ(interactions.Count, 0);
  EXPECT_EQ(hostMoves.Count, 2) << "the left button takes no focus";

  // The host picks from its pick observers when it wants to.
  vtkNew<vtkPropPicker> picker;
  scene.Interactor->SetPicker(picker);
  style->Pick();
  EXPECT_EQ(style->GetPropPicked(), 1);
  scene.SetPointer(3, 3);
  style->Pick();
  EXPECT_EQ(style->GetPropPicked(), 0);
  EXPECT_EQ(startPick.Count, 1) << "Pick() calls no pick callback";
  EXPECT_EQ(endPick.Count, 0);

  scene.Fire(LeftUp, 440, 320);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  EXPECT_EQ(startPick.Count, 1);
  EXPECT_EQ(endPick.Count, 1);
  EXPECT_EQ(endInteraction.Count, 1);
  EXPECT_EQ(scene.CameraState(), before);

  // A left release outside the pick state fires nothing.
  scene.Fire(LeftUp, 440, 320);
  EXPECT_EQ(endPick.Count, 1);

  // A right press during a middle drag only takes the focus: no band, no
  // snapshot, no user callback.
  orvi_test::EventRecorder user(scene.Interactor, vtkCommand::UserEvent);
  scene.Fire(MiddleDown, 400, 300);
  scene.MoveTo(410, 300);
  EXPECT_EQ(hostMoves.Count, 2) << "the middle button holds the focus";
  scene.Fire(RightDown, 600, 500);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  EXPECT_EQ(style->GetStartPosition()[0], 0) << "no band";
  EXPECT_EQ(style->GetPixelArray()->GetNumberOfTuples(), 0) << "no snapshot";
  scene.MoveTo(420, 300);
  scene.MoveTo(430, 300);
  EXPECT_EQ(interactions.Count, 3) << "still rotating";
  EXPECT_EQ(hostMoves.Count, 2);

  // The right release gives the focus back and ends nothing.
  scene.Fire(RightUp, 430, 300);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  EXPECT_EQ(user.Count, 0);
  scene.MoveTo(440, 300);
  EXPECT_EQ(hostMoves.Count, 3);
  scene.Fire(MiddleUp, 440, 300);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);

  // The right button alone holds the focus as long as it is down.
  scene.Fire(RightDown, 100, 100);
  scene.MoveTo(150, 150);
  EXPECT_EQ(hostMoves.Count, 3);
  scene.Fire(RightUp, 150, 150);
  scene.MoveTo(160, 160);
  EXPECT_EQ(hostMoves.Count, 4);
}

TEST(InteractorStyleMervo, RightClickCallsTheUserAndADragZooms)
{
  for (int motions = 0; motions <= 5; ++motions)
  {
    SCOPED_TRACE(std::to_string(motions) + " motions");
    StyleScene scene;
    ProbeStyle* style = scene.Style;
    orvi_test::EventRecorder user(scene.Interactor, vtkCommand::UserEvent);
    orvi_test::EventRecorder startInteraction(style, vtkCommand::StartInteractionEvent);
    orvi_test::EventRecorder endInteraction(style, vtkCommand::EndInteractionEvent);
    orvi_test::EventRecorder interactions(style, vtkCommand::InteractionEvent);
    const auto before = scene.CameraState();

    scene.Fire(RightDown, 300, 200);
    EXPECT_EQ(style->GetState(), VTKIS_KIV_BOXZOOM);
    EXPECT_EQ(startInteraction.Count, 0) << "the band starts without StartState()";
    EXPECT_EQ(style->GetPixelArray()->GetNumberOfTuples(), 800 * 600);
    for (int i = 1; i <= motions; ++i)
    {
      scene.MoveTo(300 + 40 * i, 200 + 20 * i);
    }
    EXPECT_EQ(style->GetMoved(), motions);
    EXPECT_EQ(interactions.Count, 0);
    scene.Fire(RightUp, 500, 300);
    EXPECT_EQ(style->GetState(), VTKIS_NONE);
    EXPECT_EQ(style->GetMoved(), 0);
    EXPECT_EQ(endInteraction.Count, 1);
    EXPECT_EQ(user.Count, motions <= 4 ? 1 : 0);
    if (motions <= 4)
    {
      EXPECT_EQ(scene.CameraState(), before);
    }
    else
    {
      EXPECT_NEAR(scene.Camera()->GetDistance(), 10.0 / 4.0, 1e-9);
    }
  }
}

TEST(InteractorStyleMervo, BandZoomParallelPerspectiveAndWithoutWidth)
{
  struct Case
  {
    bool Parallel;
    int X1, Y1;
    double Factor;
  };
  for (const Case& c : { Case{ true, 300, 200, 4.0 },
         Case{ false, 300, 200, 4.0 }, //
         Case{ true, 100, 300, 1.0 } })
  {
    SCOPED_TRACE(std::string(c.Parallel ? "parallel " : "perspective ") + std::to_string(c.X1));
    StyleScene scene(800, 600, c.Parallel);
    vtkCamera* camera = scene.Camera();
    double direction[3], after[3];
    camera->GetDirectionOfProjection(direction);
    const auto centre = scene.PlaneAt((100 + c.X1) / 2.0, (100 + c.Y1) / 2.0);

    scene.Fire(RightDown, 100, 100);
    for (int i = 1; i <= 5; ++i)
    {
      scene.MoveTo(100 + (c.X1 - 100) * i / 5, 100 + (c.Y1 - 100) * i / 5);
    }
    scene.Fire(RightUp, c.X1, c.Y1);

    ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), centre[0], centre[1], centre[2], 1e-9);
    camera->GetDirectionOfProjection(after);
    ORVI_EXPECT_VEC3_NEAR(after, direction[0], direction[1], direction[2], 1e-12);
    EXPECT_NEAR(camera->GetParallelScale(), c.Parallel ? 3.0 / c.Factor : 3.0, 1e-12);
    EXPECT_NEAR(camera->GetDistance(), c.Parallel ? 10.0 : 10.0 / c.Factor, 1e-9);
    // The band's centre is now in the middle of the view.
    double display[3];
    vtkInteractorObserver::ComputeWorldToDisplay(
      scene.Renderer, centre[0], centre[1], centre[2], display);
    EXPECT_NEAR(display[0], 400.0, 1e-6);
    EXPECT_NEAR(display[1], 300.0, 1e-6);
  }
}

TEST(InteractorStyleMervo, KeysAreSwallowedTheWheelDolliesTheTimerRendersWhileAnimating)
{
  StyleScene scene;
  scene.Camera()->SetPosition(3, 1, 10);
  orvi_test::EventRecorder user(scene.Interactor, vtkCommand::UserEvent);
  orvi_test::EventRecorder exits(scene.Interactor, vtkCommand::ExitEvent);
  orvi_test::EventRecorder renders(scene.Interactor, vtkCommand::RenderEvent);
  const auto before = scene.CameraState();

  // VTK's shortcuts: wireframe, reset camera, fly-to, pick, user, stereo,
  // joystick, quit.
  for (char key : { 'w', 'r', 'f', 'p', 'u', '3', 'j', 'e', 'q' })
  {
    scene.Key(key, 400, 300);
  }
  EXPECT_EQ(scene.Plane->GetProperty()->GetRepresentation(), VTK_SURFACE);
  EXPECT_EQ(scene.CameraState(), before);
  EXPECT_FALSE(scene.Window->GetStereoRender());
  EXPECT_EQ(user.Count, 0);
  EXPECT_EQ(exits.Count, 0);
  EXPECT_EQ(scene.Style->GetState(), VTKIS_NONE);
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(renders.Count, 0);

  scene.Style->StartAnimate();
  const int started = renders.Count;
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(renders.Count, started + 1);
  scene.Style->StopAnimate();

  const double distance = scene.Camera()->GetDistance();
  scene.Fire(vtkCommand::MouseWheelForwardEvent, 400, 300);
  EXPECT_LT(scene.Camera()->GetDistance(), distance);
}
