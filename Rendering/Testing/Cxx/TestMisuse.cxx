// Misuse of the navigators and interactor styles: each answer is a warning
// or error with a clear text, or nothing at all, never a crash or a read of
// freed memory. The suite is also run under AddressSanitizer, which is what
// catches the use-after-free cases below. The other classes keep their
// misuse cases beside their other tests.
#include "vtkCatiaInteractor.h"
#include "vtkInteractorStyleCATIA.h"
#include "vtkInteractorStyleMervo.h"
#include "vtkKivInteractor.h"
#include "vtkMervoInteractor.h"
#include "vtkSimpleRenderWindowInteractor.h"

#include "catiaTestUtils.h"
#include "orviTestUtils.h"

#include "vtkActor.h"
#include "vtkObjectFactory.h"
#include "vtkPolyDataMapper.h"
#include "vtkRendererCollection.h"
#include "vtkSphereSource.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace
{
using orvi_test::EventRecorder;
using orvi_test::Scene;

// Catches both warnings and errors of one object.
struct Diagnostics
{
  explicit Diagnostics(vtkObject* subject)
    : Warnings(subject, vtkCommand::WarningEvent)
    , Errors(subject, vtkCommand::ErrorEvent)
  {
  }
  int Count() const { return this->Warnings.Count + this->Errors.Count; }
  // Every text caught, for failure messages.
  std::string All() const
  {
    std::string all;
    for (const auto* recorder : { &this->Warnings, &this->Errors })
    {
      for (const auto& text : recorder->Texts)
      {
        all += text;
      }
    }
    return all;
  }
  EventRecorder Warnings;
  EventRecorder Errors;
};

// A sphere of radius 1 at the origin in the scene's renderer, with the
// camera reset onto it.
vtkSmartPointer<vtkActor> AddSphere(vtkRenderer* renderer)
{
  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(24);
  sphere->SetPhiResolution(24);
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputConnection(sphere->GetOutputPort());
  auto actor = vtkSmartPointer<vtkActor>::New();
  actor->SetMapper(mapper);
  renderer->AddActor(actor);
  renderer->ResetCamera();
  return actor;
}

struct CameraState
{
  explicit CameraState(vtkCamera* camera)
  {
    camera->GetPosition(this->Position.data());
    camera->GetFocalPoint(this->Focal.data());
    camera->GetViewUp(this->Up.data());
    this->Scale = camera->GetParallelScale();
  }
  bool operator==(const CameraState& o) const
  {
    return this->Position == o.Position && this->Focal == o.Focal && this->Up == o.Up &&
      this->Scale == o.Scale;
  }
  std::array<double, 3> Position{};
  std::array<double, 3> Focal{};
  std::array<double, 3> Up{};
  double Scale = 0.0;
};

// The protected parts the tests look at.
using orvi_test::MervoProbe;
using CatiaStyleProbe = catia_test::Style;

// Every handler and host-driven operation of the navigator vtkMervoInteractor.
void ExerciseMervo(vtkMervoInteractor* nav)
{
  nav->OnMouseMove();
  nav->OnChar();
  nav->OnLeftButtonDown();
  nav->OnLeftButtonUp();
  nav->OnMiddleButtonDown();
  nav->OnMiddleButtonUp();
  nav->OnRightButtonDown();
  nav->OnRightButtonUp();
  nav->OnKeyDown();
  nav->OnKeyUp();
  nav->OnMouseWheelForward();
  nav->OnMouseWheelBackward();
  nav->OnTimer();
  for (auto start : { &vtkInteractorStyle::StartRotate,
         &vtkInteractorStyle::StartPan,
         &vtkInteractorStyle::StartSpin,
         &vtkInteractorStyle::StartDolly })
  {
    (nav->*start)();
    nav->OnMouseMove();
    nav->OnTimer();
    nav->EndRotate();
    nav->EndPan();
    nav->EndSpin();
    nav->EndDolly();
  }
  nav->Rotate();
  nav->Pan();
  nav->Spin();
  nav->Dolly();
  nav->StartPick();
  nav->Pick();
  nav->EndPick();
  nav->Fly();
  nav->FindRotationCenter();
  nav->FindPokedRenderer(10, 10);
  nav->StartBoxZoom();
  nav->OnMouseMove();
  nav->BoxSelect();
  nav->BoxZoom();
  nav->BoxZoomParallel();
  nav->BoxZoomProjection();
  nav->EndBoxZoom();
  nav->AcquireFocus();
  nav->ReleaseFocus();
}

// Every handler and host-driven operation of vtkCatiaInteractor.
void ExerciseCatia(vtkCatiaInteractor* nav)
{
  nav->OnMouseMove();
  nav->OnChar();
  nav->OnLeftButtonDown();
  nav->OnLeftButtonUp();
  nav->OnMiddleButtonDown();
  nav->OnMiddleButtonUp();
  nav->OnRightButtonDown();
  nav->OnRightButtonUp();
  nav->OnMouseWheelForward();
  nav->OnMouseWheelBackward();
  nav->OnTimer();
  for (auto start : { &vtkInteractorStyle::StartRotate,
         &vtkInteractorStyle::StartPan,
         &vtkInteractorStyle::StartSpin,
         &vtkInteractorStyle::StartDolly })
  {
    (nav->*start)();
    nav->OnMouseMove();
    nav->EndRotate();
    nav->EndPan();
    nav->EndSpin();
    nav->EndDolly();
  }
  nav->Rotate();
  nav->Pan();
  nav->Spin();
  nav->Dolly();
  static_cast<void>(nav->IsSpinning());
  nav->StartPick();
  nav->Pick();
  nav->EndPick();
  nav->Fly();
  nav->AcquireFocus();
  nav->ReleaseFocus();
}

// Every handler and operation of the standalone vtkInteractorStyleCATIA,
// through button sequences that visit each of its states.
void ExerciseCatiaStyle(CatiaStyleProbe* style)
{
  style->OnMouseMove();
  style->OnChar();
  style->OnTimer();
  style->OnMouseWheelForward();
  style->OnMouseWheelBackward();
  // Pick: left or right click with the middle button up.
  style->OnLeftButtonDown();
  style->OnMouseMove();
  style->OnLeftButtonUp();
  style->OnRightButtonDown();
  style->OnRightButtonUp();
  // Pan, then rotate or spin, then dolly, then release.
  style->OnMiddleButtonDown();
  style->OnMouseMove();
  style->OnLeftButtonDown();
  style->OnMouseMove();
  style->OnLeftButtonUp();
  style->OnMouseMove();
  style->OnRightButtonDown();
  style->OnMouseMove();
  style->OnRightButtonUp();
  style->OnMiddleButtonUp();
  style->Rotate();
  style->Pan();
  style->Spin();
  style->Dolly();
  static_cast<void>(style->Spinning());
  style->StartPick();
  style->Pick();
  style->EndPick();
  style->Fly();
}

// VTK's key bindings that touch the window, the renderer or the picker.
void PressKeys(vtkInteractorStyle* style, vtkRenderWindowInteractor* interactor)
{
  for (char key : std::string("3wsrpfuj"))
  {
    interactor->SetKeyCode(key);
    style->OnChar();
  }
  interactor->SetKeyCode(0);
}

// The state and counters a misuse must leave alone.
template <typename Style>
void ExpectIdle(Style* style)
{
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
}
} // namespace

//------------------------------------------------------------------------------
// A style that was never given an interactor: every handler and operation
// does nothing. The only diagnostic is the one the navigator gives whenever it
// must prepare its markers without a renderer.
TEST(Misuse, StylesWithoutInteractor)
{
  {
    vtkNew<MervoProbe> nav;
    Diagnostics seen(nav);
    ExerciseMervo(nav);
    ExpectIdle(nav.Get());
    EXPECT_EQ(nav->GetMoved(), 0);
    EXPECT_EQ(nav->GetRotationPointActor(), nullptr);
    EXPECT_EQ(seen.Errors.Count, 0);
    // FindRotationCenter() is the only operation that prepares the markers
    // without first looking for a renderer through the interactor.
    EXPECT_EQ(seen.Warnings.Count, 1);
    EXPECT_TRUE(seen.Warnings.Saw("Cannot prepare rotation point actor, no renderer"));
  }
  {
    vtkNew<vtkCatiaInteractor> nav;
    Diagnostics seen(nav);
    ExerciseCatia(nav);
    ExpectIdle(nav.Get());
    EXPECT_EQ(seen.Count(), 0) << seen.All();
  }
  {
    vtkNew<CatiaStyleProbe> style;
    Diagnostics seen(style);
    ExerciseCatiaStyle(style);
    ExpectIdle(style.Get());
    EXPECT_EQ(seen.Count(), 0) << seen.All();
  }
  {
    // VTK's states and motions of the Mervo style, which would reach through
    // the missing interactor.
    vtkNew<vtkInteractorStyleMervo> style;
    Diagnostics seen(style);
    for (auto start : { &vtkInteractorStyle::StartRotate,
           &vtkInteractorStyle::StartPan,
           &vtkInteractorStyle::StartSpin,
           &vtkInteractorStyle::StartDolly })
    {
      (style->*start)();
      style->OnMouseMove();
      style->OnMouseWheelForward();
      style->StopState();
    }
    ExpectIdle(style.Get());
    EXPECT_EQ(seen.Count(), 0) << seen.All();
  }
  {
    vtkNew<vtkKivInteractor> nav;
    Diagnostics seen(nav);
    nav->AcquireFocus();
    nav->StartRotate();
    nav->OnMouseMove();
    nav->EndRotate();
    nav->ReleaseFocus();
    ExpectIdle(nav.Get());
    EXPECT_EQ(seen.Count(), 0) << seen.All();
  }
}

//------------------------------------------------------------------------------
// A renderer made current by the host while the style has no interactor: the
// motion operations still have no event positions to read and do nothing.
TEST(Misuse, StylesWithCurrentRendererButNoInteractor)
{
  Scene scene;
  AddSphere(scene.Renderer);
  const CameraState before(scene.Camera());

  vtkNew<MervoProbe> mervo;
  mervo->SetCurrentRenderer(scene.Renderer);
  vtkNew<vtkCatiaInteractor> catia;
  catia->SetCurrentRenderer(scene.Renderer);
  vtkNew<CatiaStyleProbe> style;
  style->SetCurrentRenderer(scene.Renderer);
  for (vtkInteractorStyle* s :
    std::initializer_list<vtkInteractorStyle*>{ mervo.Get(), catia.Get(), style.Get() })
  {
    s->Rotate();
    s->Pan();
    s->Spin();
    s->Dolly();
  }
  mervo->FindRotationCenter();
  mervo->BoxZoom();
  catia->Fly();
  catia->Pick();
  style->Fly();
  style->Pick();
  EXPECT_FALSE(catia->IsSpinning());
  EXPECT_FALSE(style->Spinning());
  EXPECT_TRUE(CameraState(scene.Camera()) == before);
}

//------------------------------------------------------------------------------
// An interactor without a render window, and a window without any renderer:
// nothing to draw into or pick in. States that need a window are not entered.
TEST(Misuse, StylesWithoutRenderWindow)
{
  vtkNew<vtkGenericRenderWindowInteractor> bare;
  bare->SetEventInformation(100, 100);
  // A window, but no renderer in it.
  vtkNew<vtkRenderWindow> window;
  window->SetSize(200, 200);
  window->SetMultiSamples(0);
  vtkNew<vtkGenericRenderWindowInteractor> interactor;
  interactor->SetRenderWindow(window);
  interactor->SetEventInformation(100, 100);
  for (vtkRenderWindowInteractor* host :
    std::initializer_list<vtkRenderWindowInteractor*>{ bare.Get(), interactor.Get() })
  {
    SCOPED_TRACE(host == bare.Get() ? "no window" : "no renderer");
    {
      // The navigator's only diagnostic: it cannot prepare its markers.
      vtkNew<MervoProbe> nav;
      nav->SetInteractor(host);
      Diagnostics seen(nav);
      ExerciseMervo(nav);
      ExpectIdle(nav.Get());
      EXPECT_EQ(nav->GetRotationPointActor(), nullptr);
      EXPECT_EQ(seen.Errors.Count, 0);
      for (const auto& text : seen.Warnings.Texts)
      {
        EXPECT_NE(text.find("Cannot prepare rotation point actor, no renderer"), std::string::npos)
          << text;
      }
      nav->SetInteractor(nullptr);
    }
    vtkNew<vtkCatiaInteractor> catia;
    vtkNew<CatiaStyleProbe> style;
    for (vtkInteractorStyle* s : std::initializer_list<vtkInteractorStyle*>{ catia, style })
    {
      SCOPED_TRACE(s->GetClassName());
      s->SetInteractor(host);
      Diagnostics seen(s);
      EventRecorder startPick(host, vtkCommand::StartPickEvent);
      s == catia.Get() ? ExerciseCatia(catia) : ExerciseCatiaStyle(style);
      PressKeys(s, host);
      ExpectIdle(s);
      if (host == bare.Get() && s == style.Get())
      {
        EXPECT_EQ(startPick.Count, 0) << "no window to pick in";
      }
      EXPECT_EQ(seen.Errors.Count, 0) << seen.All();
      // With a window, VTK's key bindings that need a renderer ('w', 's',
      // 'r', 'p', 'f') say so themselves.
      EXPECT_EQ(seen.Warnings.Count, host == bare.Get() ? 0 : 5) << seen.All();
      for (const auto& text : seen.Warnings.Texts)
      {
        EXPECT_NE(text.find("no current renderer on the interactor style."), std::string::npos)
          << text;
      }
      s->SetInteractor(nullptr);
    }
  }
}

//------------------------------------------------------------------------------
// The host removes the renderer the navigator prepared its markers in and
// keeps navigating. The markers stay in the removed renderer; nothing touches
// a window the renderer no longer has, and once another renderer is in the
// window, navigation goes on there.
TEST(Misuse, NavigatorRendererRemovedFromWindow)
{
  Scene scene;
  AddSphere(scene.Renderer);
  vtkNew<MervoProbe> nav;
  scene.Interactor->SetInteractorStyle(nav);
  Diagnostics seen(nav);

  scene.SetPointer(400, 300);
  nav->StartRotate();
  scene.MoveTo(420, 300);
  ASSERT_NE(nav->GetRotationPointActor(), nullptr);
  ASSERT_EQ(nav->GetCurrentRenderer(), scene.Renderer.Get());

  scene.Window->RemoveRenderer(scene.Renderer);
  ASSERT_EQ(scene.Renderer->GetRenderWindow(), nullptr);
  const CameraState removedCamera(scene.Camera());

  // Straight calls while the removed renderer is still the current one.
  nav->Rotate();
  nav->Pan();
  nav->Spin();
  nav->Dolly();
  nav->Fly();
  nav->Pick();
  nav->FindRotationCenter();
  nav->BoxZoom();
  scene.MoveTo(440, 310);
  nav->EndRotate();
  ExerciseMervo(nav);
  ExpectIdle(nav.Get());
  EXPECT_TRUE(CameraState(scene.Camera()) == removedCamera);
  EXPECT_EQ(seen.Errors.Count, 0);

  // The markers were built once; they stay where they were added.
  vtkActor* marker = nav->GetRotationPointActor();
  EXPECT_TRUE(scene.Renderer->GetActors()->IsItemPresent(marker));

  // A new renderer in the window: navigation goes on in it.
  vtkNew<vtkRenderer> second;
  scene.Window->AddRenderer(second);
  AddSphere(second);
  const CameraState secondBefore(second->GetActiveCamera());
  scene.SetPointer(400, 300);
  nav->StartRotate();
  scene.MoveTo(440, 300);
  nav->EndRotate();
  EXPECT_FALSE(CameraState(second->GetActiveCamera()) == secondBefore);
  EXPECT_EQ(nav->GetCurrentRenderer(), second.Get());
  EXPECT_FALSE(second->GetActors()->IsItemPresent(marker));
  EXPECT_TRUE(CameraState(scene.Camera()) == removedCamera);

  // The same for the CATIA navigator.
  vtkNew<vtkCatiaInteractor> catia;
  scene.Interactor->SetInteractorStyle(catia);
  scene.SetPointer(400, 300);
  catia->StartRotate();
  scene.MoveTo(410, 300);
  ASSERT_EQ(catia->GetCurrentRenderer(), second.Get());
  scene.Window->RemoveRenderer(second);
  const CameraState secondRemoved(second->GetActiveCamera());
  catia->Rotate();
  catia->Pan();
  catia->Spin();
  catia->Dolly();
  EXPECT_FALSE(catia->IsSpinning());
  catia->Fly();
  catia->Pick();
  scene.MoveTo(420, 300);
  catia->EndRotate();
  ExerciseCatia(catia);
  ExpectIdle(catia.Get());
  EXPECT_TRUE(CameraState(second->GetActiveCamera()) == secondRemoved);
}

//------------------------------------------------------------------------------
// The host releases its interactor while the style lives on (the interactor
// held the only other reference to it). The style lets go of the interactor
// when it is deleted, so nothing afterwards reaches freed memory; the style
// can then be installed on another interactor.
TEST(Misuse, InteractorDestroyedBeforeStyle)
{
  vtkNew<MervoProbe> mervo;
  vtkNew<vtkCatiaInteractor> catia;
  vtkNew<CatiaStyleProbe> style;
  vtkNew<vtkKivInteractor> kiv;
  const std::array<vtkInteractorStyle*, 4> styles = {
    mervo.Get(), catia.Get(), style.Get(), kiv.Get()
  };
  for (vtkInteractorStyle* s : styles)
  {
    SCOPED_TRACE(s->GetClassName());
    {
      // The window and the interactor hold each other; both go when the
      // host lets go of them.
      vtkNew<vtkRenderWindow> window;
      window->SetSize(300, 300);
      window->SetMultiSamples(0);
      vtkNew<vtkRenderer> renderer;
      window->AddRenderer(renderer);
      AddSphere(renderer);
      vtkNew<vtkSimpleRenderWindowInteractor> interactor;
      interactor->SetRenderWindow(window);
      interactor->SetInteractorStyle(s);
      interactor->SetEventInformation(150, 150);
      window->Render();
      // Leave the style in the middle of an interaction, holding the focus.
      if (s == style.Get())
      {
        style->OnMiddleButtonDown();
        ASSERT_EQ(style->GetState(), VTKIS_PAN);
      }
      else
      {
        static_cast<vtkKivInteractor*>(s)->AcquireFocus();
        s->StartRotate();
        interactor->SetEventInformation(160, 150);
        interactor->InvokeEvent(vtkCommand::MouseMoveEvent, nullptr);
        ASSERT_EQ(s->GetState(), VTKIS_ROTATE);
      }
    }
    EXPECT_EQ(s->GetInteractor(), nullptr);

    // Every operation afterwards finds no interactor.
    s->OnMouseMove();
    s->OnTimer();
    s->OnChar();
    s->ReleaseFocus();
    s->EndRotate();
    s->EndPan();
    s->Rotate();
    if (s == mervo.Get())
    {
      ExerciseMervo(mervo);
    }
    else if (s == catia.Get())
    {
      ExerciseCatia(catia);
    }
    else if (s == style.Get())
    {
      style->OnMiddleButtonUp();
      ExerciseCatiaStyle(style);
    }

    // Installed on a new interactor, the style works again.
    Scene scene(300, 300);
    AddSphere(scene.Renderer);
    scene.Interactor->SetInteractorStyle(s);
    const CameraState before(scene.Camera());
    scene.SetPointer(150, 150);
    s->StartRotate();
    scene.MoveTo(180, 150);
    s->EndRotate();
    EXPECT_FALSE(CameraState(scene.Camera()) == before);
    scene.Interactor->SetInteractorStyle(nullptr);
  }
}
