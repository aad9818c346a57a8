// vtkInteractorStyleMervo's own button mapping, rubber band and zoom, driven
// through the interactor's events as a toolkit delivers them.
#include "vtkInteractorStyleMervo.h"

#include "orviTestUtils.h"

#include "vtkActor.h"
#include "vtkCellPicker.h"
#include "vtkInteractorStyleTrackballCamera.h"
#include "vtkKivInteractor.h"
#include "vtkMath.h"
#include "vtkObjectFactory.h"
#include "vtkPlaneSource.h"
#include "vtkPolyDataMapper.h"
#include "vtkPropPicker.h"
#include "vtkProperty.h"
#include "vtkTDxInteractorStyleCameraFocalPoint.h"
#include "vtkTDxInteractorStyleSettings.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
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
// facing a camera on the +z axis, 10 units away.
struct StyleScene : orvi_test::Scene
{
  explicit StyleScene(int w = 800, int h = 600, bool parallel = false)
    : orvi_test::Scene(w, h)
  {
    vtkNew<vtkPlaneSource> plane;
    plane->SetOrigin(-2, -2, 0);
    plane->SetPoint1(2, -2, 0);
    plane->SetPoint2(-2, 2, 0);
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputConnection(plane->GetOutputPort());
    this->Plane->SetMapper(mapper);
    this->Renderer->AddActor(this->Plane);
    vtkCamera* camera = this->Camera();
    camera->SetFocalPoint(0, 0, 0);
    camera->SetPosition(0, 0, 10);
    camera->SetViewUp(0, 1, 0);
    camera->SetViewAngle(30.0);
    camera->SetParallelProjection(parallel);
    camera->SetParallelScale(3.0);
    this->Renderer->ResetCameraClippingRange();
    this->Interactor->SetInteractorStyle(this->Style);
  }

  // The world point at display (x, y) at the focal point's depth: on the
  // plane, since the plane goes through the focal point facing the camera.
  std::array<double, 3> WorldAt(double x, double y)
  {
    const double* f = this->Camera()->GetFocalPoint();
    double display[3];
    vtkInteractorObserver::ComputeWorldToDisplay(this->Renderer, f[0], f[1], f[2], display);
    double world[4];
    vtkInteractorObserver::ComputeDisplayToWorld(this->Renderer, x, y, display[2], world);
    return { world[0], world[1], world[2] };
  }

  // The point of the plane z = 0 under display (x, y), whatever the view.
  std::array<double, 3> PlaneAt(double x, double y)
  {
    double a[4];
    double b[4];
    vtkInteractorObserver::ComputeDisplayToWorld(this->Renderer, x, y, 0.0, a);
    vtkInteractorObserver::ComputeDisplayToWorld(this->Renderer, x, y, 1.0, b);
    const double s = a[2] / (a[2] - b[2]);
    return { a[0] + s * (b[0] - a[0]), a[1] + s * (b[1] - a[1]), 0.0 };
  }

  // n motion events at (x, y): each counts, none moves the camera.
  void StayAt(int x, int y, int n)
  {
    for (int i = 0; i < n; ++i)
    {
      this->MoveTo(x, y);
    }
  }

  vtkNew<vtkActor> Plane;
  vtkNew<ProbeStyle> Style;
};

struct CameraState
{
  explicit CameraState(vtkCamera* camera)
  {
    camera->GetPosition(this->Position.data());
    camera->GetFocalPoint(this->Focal.data());
    this->Scale = camera->GetParallelScale();
  }
  bool SameAs(vtkCamera* camera) const
  {
    const CameraState now(camera);
    return now.Position == this->Position && now.Focal == this->Focal && now.Scale == this->Scale;
  }
  std::array<double, 3> Position{};
  std::array<double, 3> Focal{};
  double Scale = 0.0;
};

// Count of the pixels of the front buffer whose red, green and blue are all
// 255, and the same for 0.
std::array<int, 2> WhiteAndBlack(vtkRenderWindow* window)
{
  const int* size = window->GetSize();
  vtkNew<vtkUnsignedCharArray> data;
  window->GetRGBACharPixelData(0, 0, size[0] - 1, size[1] - 1, 1, data);
  std::array<int, 2> counts{ 0, 0 };
  const unsigned char* p = data->GetPointer(0);
  for (vtkIdType i = 0; i < static_cast<vtkIdType>(size[0]) * size[1]; ++i, p += 4)
  {
    counts[0] += (p[0] == 255 && p[1] == 255 && p[2] == 255) ? 1 : 0;
    counts[1] += (p[0] == 0 && p[1] == 0 && p[2] == 0) ? 1 : 0;
  }
  return counts;
}

// PrintSelf() output without the lines that differ between any two objects.
std::string Printed(vtkObject* object)
{
  std::ostringstream out;
  object->PrintSelf(out, vtkIndent());
  std::istringstream lines(out.str());
  std::string kept;
  for (std::string line; std::getline(lines, line);)
  {
    if (line.find("Modified Time") == std::string::npos &&
      line.find("Reference Count") == std::string::npos)
    {
      kept += line + "\n";
    }
  }
  return kept;
}

bool White(orvi_test::Scene& scene, int x, int y)
{
  const auto p = scene.Pixel(x, y);
  return p[0] == 255 && p[1] == 255 && p[2] == 255;
}
} // namespace

TEST(InteractorStyleMervo, Construction)
{
  vtkNew<ProbeStyle> style;
  EXPECT_TRUE(style->IsA("vtkInteractorStyleTrackballCamera"));
  EXPECT_FALSE(style->IsA("vtkKivInteractor"));
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  EXPECT_EQ(style->GetMoved(), 0);
  EXPECT_EQ(style->GetStartPosition()[0], 0);
  EXPECT_EQ(style->GetStartPosition()[1], 0);
  EXPECT_EQ(style->GetEndPosition()[0], 0);
  EXPECT_EQ(style->GetEndPosition()[1], 0);
  EXPECT_EQ(style->GetPixelArray()->GetNumberOfTuples(), 0);
  vtkNew<vtkCellPicker> plain;
  EXPECT_DOUBLE_EQ(style->GetFlyPicker()->GetTolerance(), plain->GetTolerance() * 0.125);
  auto* tdx = vtkTDxInteractorStyleCameraFocalPoint::SafeDownCast(style->GetTDxStyle());
  ASSERT_NE(tdx, nullptr);
  EXPECT_DOUBLE_EQ(tdx->GetSettings()->GetAngleSensitivity(), -0.03125);
  EXPECT_DOUBLE_EQ(tdx->GetSettings()->GetTranslationZSensitivity(), -0.00390625);

  // Prints what the trackball style prints, under its own class name.
  vtkNew<vtkInteractorStyleTrackballCamera> trackball;
  trackball->SetTDxStyle(style->GetTDxStyle());
  EXPECT_EQ(Printed(style), Printed(trackball));
}

TEST(InteractorStyleMervo, MiddleDragWithModifiers)
{
  StyleScene scene;
  ProbeStyle* style = scene.Style;
  orvi_test::EventRecorder interactions(style, vtkCommand::InteractionEvent);
  orvi_test::EventRecorder flyPicks(style->GetFlyPicker(), vtkCommand::EndPickEvent);

  struct Case
  {
    bool ctrl;
    bool shift;
    int state;
  };
  // Shift wins over Ctrl.
  const Case cases[] = { { false, false, VTKIS_ROTATE },
    { true, false, VTKIS_PAN },
    { false, true, VTKIS_DOLLY },
    { true, true, VTKIS_DOLLY } };
  int expectedEvents = 0;
  for (const Case& c : cases)
  {
    SCOPED_TRACE(std::to_string(c.state) + (c.ctrl ? " ctrl" : "") + (c.shift ? " shift" : ""));
    vtkCamera* camera = scene.Camera();
    const CameraState before(camera);
    double direction[3];
    camera->GetDirectionOfProjection(direction);
    const double distance = camera->GetDistance();

    scene.Fire(MiddleDown, 400, 300, c.ctrl, c.shift);
    EXPECT_EQ(style->GetState(), c.state);
    EXPECT_TRUE(before.SameAs(camera)) << "a press does not move the camera";
    for (int i = 1; i <= 5; ++i)
    {
      scene.MoveTo(400 + 8 * i, 300 + 6 * i, c.ctrl, c.shift);
      ++expectedEvents;
      EXPECT_EQ(style->GetMoved(), i);
      EXPECT_EQ(interactions.Count, expectedEvents);
      EXPECT_EQ(style->GetState(), c.state);
    }
    double after[3];
    camera->GetDirectionOfProjection(after);
    if (c.state == VTKIS_ROTATE)
    {
      // About the focal point: it stays, the view turns, the distance stays.
      ORVI_EXPECT_VEC3_NEAR(
        camera->GetFocalPoint(), before.Focal[0], before.Focal[1], before.Focal[2], 1e-12);
      EXPECT_LT(vtkMath::Dot(direction, after), 0.9999);
      EXPECT_NEAR(camera->GetDistance(), distance, 1e-9);
    }
    else if (c.state == VTKIS_PAN)
    {
      // Position and focal point move together; the view keeps its direction.
      EXPECT_GT(orvi_test::Distance(camera->GetFocalPoint(), before.Focal.data()), 0.1);
      ORVI_EXPECT_VEC3_NEAR(after, direction[0], direction[1], direction[2], 1e-12);
      EXPECT_NEAR(camera->GetDistance(), distance, 1e-9);
    }
    else
    {
      // Upward motion dollies in.
      ORVI_EXPECT_VEC3_NEAR(
        camera->GetFocalPoint(), before.Focal[0], before.Focal[1], before.Focal[2], 1e-12);
      EXPECT_LT(camera->GetDistance(), distance * 0.95);
    }

    scene.Fire(MiddleUp, 440, 330, c.ctrl, c.shift);
    EXPECT_EQ(style->GetState(), VTKIS_NONE);
    EXPECT_EQ(style->GetMoved(), 0);
    EXPECT_EQ(interactions.Count, expectedEvents) << "a release is no motion step";
  }
  EXPECT_EQ(flyPicks.Count, 0) << "no drag flies";

  // Motions with no button down do nothing.
  const CameraState idle(scene.Camera());
  scene.MoveTo(100, 100);
  scene.MoveTo(200, 150);
  EXPECT_EQ(style->GetMoved(), 0);
  EXPECT_EQ(interactions.Count, expectedEvents);
  EXPECT_TRUE(idle.SameAs(scene.Camera()));
}

TEST(InteractorStyleMervo, MiddleClickFliesAndDragDoesNot)
{
  StyleScene scene;
  ProbeStyle* style = scene.Style;
  vtkCamera* camera = scene.Camera();
  orvi_test::EventRecorder flyPicks(style->GetFlyPicker(), vtkCommand::EndPickEvent);
  orvi_test::EventRecorder endInteraction(style, vtkCommand::EndInteractionEvent);
  // The focal point as the rotation ends.
  std::array<double, 3> focalAtEnd{};
  vtkNew<vtkCallbackCommand> onEnd;
  onEnd->SetClientData(&focalAtEnd);
  onEnd->SetCallback(
    [](vtkObject* caller, unsigned long, void* clientData, void*)
    {
      auto* s = static_cast<vtkInteractorStyle*>(caller);
      const double* f = s->GetCurrentRenderer()->GetActiveCamera()->GetFocalPoint();
      *static_cast<std::array<double, 3>*>(clientData) = { f[0], f[1], f[2] };
    });
  style->AddObserver(vtkCommand::EndInteractionEvent, onEnd);

  // A click over the background picks but flies nowhere.
  const CameraState before(camera);
  scene.Fire(MiddleDown, 5, 5);
  scene.Fire(MiddleUp, 5, 5);
  EXPECT_EQ(flyPicks.Count, 1);
  EXPECT_EQ(endInteraction.Count, 1);
  EXPECT_TRUE(before.SameAs(camera));

  // Five motions: a drag, which only ends the rotation.
  scene.Fire(MiddleDown, 500, 350);
  scene.StayAt(500, 350, 5);
  scene.Fire(MiddleUp, 500, 350);
  EXPECT_EQ(flyPicks.Count, 1);
  EXPECT_EQ(endInteraction.Count, 2);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  ORVI_EXPECT_VEC3_NEAR(
    camera->GetFocalPoint(), before.Focal[0], before.Focal[1], before.Focal[2], 1e-9);

  // Four motions: a click, which flies to the plane point under the pointer
  // before the rotation ends.
  const std::array<double, 3> hit = scene.PlaneAt(500, 350);
  EXPECT_GT(hit[0], 0.5);
  scene.Fire(MiddleDown, 500, 350);
  scene.StayAt(500, 350, 4);
  scene.Fire(MiddleUp, 500, 350);
  EXPECT_EQ(flyPicks.Count, 2);
  EXPECT_EQ(endInteraction.Count, 3);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), hit[0], hit[1], hit[2], 1e-5);
  ORVI_EXPECT_VEC3_NEAR(focalAtEnd.data(), hit[0], hit[1], hit[2], 1e-5);

  // A pan or dolly click does not fly.
  const CameraState flown(camera);
  scene.Fire(MiddleDown, 300, 250, true, false);
  scene.Fire(MiddleUp, 300, 250, true, false);
  EXPECT_TRUE(flown.SameAs(camera)) << "pan";
  scene.Fire(MiddleDown, 300, 250, false, true);
  scene.Fire(MiddleUp, 300, 250, false, true);
  EXPECT_EQ(flyPicks.Count, 2);
  EXPECT_TRUE(flown.SameAs(camera)) << "dolly";
}

TEST(InteractorStyleMervo, AnyReleaseResetsTheCounter)
{
  StyleScene scene;
  ProbeStyle* style = scene.Style;
  orvi_test::EventRecorder startPick(scene.Interactor, vtkCommand::StartPickEvent);
  orvi_test::EventRecorder endPick(scene.Interactor, vtkCommand::EndPickEvent);
  orvi_test::EventRecorder flyPicks(style->GetFlyPicker(), vtkCommand::EndPickEvent);

  // A long middle drag; a left press and release in its middle neither picks
  // nor ends the rotation, but the release zeroes the counter, so the middle
  // release counts as a click and flies.
  const std::array<double, 3> hit = scene.PlaneAt(450, 250);
  scene.Fire(MiddleDown, 450, 250);
  scene.StayAt(450, 250, 6);
  EXPECT_EQ(style->GetMoved(), 6);
  scene.Fire(LeftDown, 450, 250);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  scene.Fire(LeftUp, 450, 250);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  EXPECT_EQ(style->GetMoved(), 0);
  EXPECT_EQ(startPick.Count, 0);
  EXPECT_EQ(endPick.Count, 0);
  scene.StayAt(450, 250, 2);
  scene.Fire(MiddleUp, 450, 250);
  EXPECT_EQ(flyPicks.Count, 1);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), hit[0], hit[1], hit[2], 1e-5);

  // A right release during a middle drag does the same.
  const std::array<double, 3> hit2 = scene.PlaneAt(450, 250);
  scene.Fire(MiddleDown, 450, 250);
  scene.StayAt(450, 250, 7);
  scene.Fire(RightUp, 450, 250);
  EXPECT_EQ(style->GetMoved(), 0);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  scene.Fire(MiddleUp, 450, 250);
  EXPECT_EQ(flyPicks.Count, 2);
  EXPECT_EQ(style->GetMoved(), 0);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), hit2[0], hit2[1], hit2[2], 1e-5);
}

TEST(InteractorStyleMervo, LeftButtonAnnouncesThePickState)
{
  StyleScene scene;
  ProbeStyle* style = scene.Style;
  orvi_test::EventRecorder startPick(scene.Interactor, vtkCommand::StartPickEvent);
  orvi_test::EventRecorder endPick(scene.Interactor, vtkCommand::EndPickEvent);
  orvi_test::EventRecorder startInteraction(style, vtkCommand::StartInteractionEvent);
  orvi_test::EventRecorder endInteraction(style, vtkCommand::EndInteractionEvent);
  orvi_test::EventRecorder interactions(style, vtkCommand::InteractionEvent);
  orvi_test::EventRecorder hostMoves(scene.Interactor, vtkCommand::MouseMoveEvent, 10.0f);
  const CameraState before(scene.Camera());

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
  EXPECT_TRUE(before.SameAs(scene.Camera()));

  // A left release outside the pick state fires nothing.
  scene.Fire(LeftUp, 440, 320);
  EXPECT_EQ(endPick.Count, 1);
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
    const CameraState before(scene.Camera());
    const double distance = scene.Camera()->GetDistance();

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
    if (motions <= 4)
    {
      EXPECT_EQ(user.Count, 1);
      EXPECT_TRUE(before.SameAs(scene.Camera()));
    }
    else
    {
      EXPECT_EQ(user.Count, 0);
      EXPECT_NEAR(scene.Camera()->GetDistance(), distance / 4.0, 1e-9);
    }
  }
}

TEST(InteractorStyleMervo, BandDrawnFromTheFourthMotionAndClamped)
{
  StyleScene scene(640, 480);
  scene.Plane->VisibilityOff();
  scene.Interactor->Initialize();
  scene.Window->Render();
  ProbeStyle* style = scene.Style;
  const int all = 640 * 480;
  ASSERT_EQ(WhiteAndBlack(scene.Window)[1], all) << "a black window to start with";

  scene.Fire(RightDown, 100, 80);
  EXPECT_EQ(style->GetStartPosition()[0], 100);
  EXPECT_EQ(style->GetStartPosition()[1], 80);
  for (int i = 1; i <= 3; ++i)
  {
    scene.MoveTo(100 + 50 * i, 80 + 30 * i);
    EXPECT_EQ(WhiteAndBlack(scene.Window)[0], 0) << "motion " << i;
    EXPECT_EQ(style->GetEndPosition()[0], 100) << "not drawn, not updated";
  }

  // Fourth motion: the outline of (100, 80)-(300, 200), 201 x 121 pixels.
  scene.MoveTo(300, 200);
  EXPECT_EQ(style->GetEndPosition()[0], 300);
  EXPECT_EQ(style->GetEndPosition()[1], 200);
  EXPECT_EQ(WhiteAndBlack(scene.Window)[0], 2 * 201 + 2 * 119);
  EXPECT_TRUE(White(scene, 100, 80));
  EXPECT_TRUE(White(scene, 300, 200));
  EXPECT_TRUE(White(scene, 200, 80));
  EXPECT_TRUE(White(scene, 100, 150));
  EXPECT_FALSE(White(scene, 200, 150)) << "inside";
  EXPECT_FALSE(White(scene, 99, 80)) << "outside";

  // Beyond the window's corner: clamped to (639, 0).
  scene.MoveTo(700, -20);
  EXPECT_EQ(style->GetEndPosition()[0], 639);
  EXPECT_EQ(style->GetEndPosition()[1], 0);
  EXPECT_EQ(WhiteAndBlack(scene.Window)[0], 2 * 540 + 2 * 79);
  EXPECT_TRUE(White(scene, 639, 40));
  EXPECT_TRUE(White(scene, 639, 0));
  EXPECT_TRUE(White(scene, 400, 0));
  EXPECT_FALSE(White(scene, 300, 200)) << "the previous band is gone";

  // Beyond the other corner: (0, 479).
  scene.MoveTo(-5, 900);
  EXPECT_EQ(style->GetEndPosition()[0], 0);
  EXPECT_EQ(style->GetEndPosition()[1], 479);

  // The release renders the scene, which wipes the band (a click would
  // have too; here the drag zooms an empty scene).
  scene.Fire(RightUp, -5, 900);
  EXPECT_EQ(WhiteAndBlack(scene.Window)[1], all);
}

TEST(InteractorStyleMervo, BandZoomParallelAndPerspective)
{
  for (const bool parallel : { true, false })
  {
    SCOPED_TRACE(parallel ? "parallel" : "perspective");
    StyleScene scene(800, 600, parallel);
    vtkCamera* camera = scene.Camera();
    double direction[3];
    camera->GetDirectionOfProjection(direction);
    const double distance = camera->GetDistance();
    // Band (100, 100)-(300, 200): 200 pixels wide, centre (200, 150).
    const std::array<double, 3> centre = scene.WorldAt(200, 150);

    scene.Fire(RightDown, 100, 100);
    for (int i = 1; i <= 5; ++i)
    {
      scene.MoveTo(100 + 40 * i, 100 + 20 * i);
    }
    scene.Fire(RightUp, 300, 200);

    ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), centre[0], centre[1], centre[2], 1e-9);
    double after[3];
    camera->GetDirectionOfProjection(after);
    ORVI_EXPECT_VEC3_NEAR(after, direction[0], direction[1], direction[2], 1e-12);
    if (parallel)
    {
      EXPECT_NEAR(camera->GetParallelScale(), 3.0 / 4.0, 1e-12);
      EXPECT_NEAR(camera->GetDistance(), distance, 1e-9);
    }
    else
    {
      EXPECT_NEAR(camera->GetDistance(), distance / 4.0, 1e-9);
      EXPECT_NEAR(camera->GetParallelScale(), 3.0, 0.0);
    }
    // The band's centre is now in the middle of the view.
    double display[3];
    vtkInteractorObserver::ComputeWorldToDisplay(
      scene.Renderer, centre[0], centre[1], centre[2], display);
    EXPECT_NEAR(display[0], 400.0, 1e-6);
    EXPECT_NEAR(display[1], 300.0, 1e-6);
  }
}

TEST(InteractorStyleMervo, BandWithoutWidthOnlyRecentres)
{
  StyleScene scene(800, 600, true);
  vtkCamera* camera = scene.Camera();
  const double distance = camera->GetDistance();
  // A vertical band from (500, 100) to (500, 300): centre (500, 200).
  const std::array<double, 3> centre = scene.WorldAt(500, 200);

  scene.Fire(RightDown, 500, 100);
  for (int i = 1; i <= 6; ++i)
  {
    scene.MoveTo(500, 100 + 40 * i);
  }
  EXPECT_EQ(scene.Style->GetEndPosition()[1], 340);
  scene.MoveTo(500, 300);
  scene.Fire(RightUp, 500, 300);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), centre[0], centre[1], centre[2], 1e-9);
  EXPECT_EQ(camera->GetParallelScale(), 3.0);
  EXPECT_NEAR(camera->GetDistance(), distance, 1e-9);
}

TEST(InteractorStyleMervo, RightPressDuringAMiddleDragOnlyTakesTheFocus)
{
  StyleScene scene;
  ProbeStyle* style = scene.Style;
  orvi_test::EventRecorder interactions(style, vtkCommand::InteractionEvent);
  orvi_test::EventRecorder user(scene.Interactor, vtkCommand::UserEvent);
  // A host observer that would see motion before the style.
  orvi_test::EventRecorder hostMoves(scene.Interactor, vtkCommand::MouseMoveEvent, 10.0f);

  scene.Fire(MiddleDown, 400, 300);
  scene.MoveTo(410, 300);
  EXPECT_EQ(hostMoves.Count, 0) << "the middle button holds the focus";
  scene.Fire(RightDown, 600, 500);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  EXPECT_EQ(style->GetStartPosition()[0], 0) << "no band";
  EXPECT_EQ(style->GetPixelArray()->GetNumberOfTuples(), 0) << "no snapshot";
  scene.MoveTo(420, 300);
  scene.MoveTo(430, 300);
  EXPECT_EQ(interactions.Count, 3) << "still rotating";
  EXPECT_EQ(hostMoves.Count, 0);

  // The right release gives the focus back and ends nothing.
  scene.Fire(RightUp, 430, 300);
  EXPECT_EQ(style->GetState(), VTKIS_ROTATE);
  EXPECT_EQ(user.Count, 0);
  scene.MoveTo(440, 300);
  EXPECT_EQ(hostMoves.Count, 1);
  scene.Fire(MiddleUp, 440, 300);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);

  // The right button alone holds the focus as long as it is down.
  scene.Fire(RightDown, 100, 100);
  scene.MoveTo(150, 150);
  EXPECT_EQ(hostMoves.Count, 1);
  scene.Fire(RightUp, 150, 150);
  scene.MoveTo(160, 160);
  EXPECT_EQ(hostMoves.Count, 2);
}

TEST(InteractorStyleMervo, KeysAreSwallowedTheWheelDollies)
{
  StyleScene scene;
  ProbeStyle* style = scene.Style;
  scene.Camera()->SetPosition(3, 1, 10);
  orvi_test::EventRecorder user(scene.Interactor, vtkCommand::UserEvent);
  orvi_test::EventRecorder exits(scene.Interactor, vtkCommand::ExitEvent);
  const CameraState before(scene.Camera());

  // VTK's shortcuts: wireframe, reset camera, fly-to, pick, user, stereo,
  // joystick, quit.
  for (char key : { 'w', 'r', 'f', 'p', 'u', '3', 'j', 'e', 'q' })
  {
    scene.Interactor->SetEventInformation(400, 300, 0, 0, key, 0, nullptr);
    scene.Interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
    scene.Interactor->InvokeEvent(vtkCommand::CharEvent, nullptr);
    scene.Interactor->InvokeEvent(vtkCommand::KeyReleaseEvent, nullptr);
  }
  EXPECT_EQ(scene.Plane->GetProperty()->GetRepresentation(), VTK_SURFACE);
  EXPECT_TRUE(before.SameAs(scene.Camera()));
  EXPECT_FALSE(scene.Window->GetStereoRender());
  EXPECT_EQ(user.Count, 0);
  EXPECT_EQ(exits.Count, 0);
  EXPECT_EQ(style->GetState(), VTKIS_NONE);

  const double distance = scene.Camera()->GetDistance();
  scene.Fire(vtkCommand::MouseWheelForwardEvent, 400, 300);
  EXPECT_LT(scene.Camera()->GetDistance(), distance);
}

TEST(InteractorStyleMervo, TimerRendersOnlyWhileAnimating)
{
  StyleScene scene;
  ProbeStyle* style = scene.Style;
  orvi_test::EventRecorder renders(scene.Interactor, vtkCommand::RenderEvent);
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(renders.Count, 0);
  style->StartAnimate();
  const int started = renders.Count;
  scene.Interactor->InvokeEvent(vtkCommand::TimerEvent, nullptr);
  EXPECT_EQ(renders.Count, started + 1);
  style->StopAnimate();
}
