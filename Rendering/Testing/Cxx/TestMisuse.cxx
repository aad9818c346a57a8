// Misuse of every class of the library: each answer is a warning or error
// with a clear text, or nothing at all, never a crash or a read of freed
// memory. The suite is also run under AddressSanitizer, which is what catches
// the use-after-free cases below.
#include "vtkCatiaInteractor.h"
#include "vtkColorTableLegendActor.h"
#include "vtkFrustumSelectionPicker.h"
#include "vtkInteractorStyleCATIA.h"
#include "vtkKivInteractor.h"
#include "vtkKivMainPass.h"
#include "vtkKivUnstructuredGridGenerator.h"
#include "vtkMervoInteractor.h"
#include "vtkSimpleRenderWindowInteractor.h"
#include "vtkVisibleSelectionPicker.h"

#include "orviTestUtils.h"

#include "vtkActor.h"
#include "vtkActor2D.h"
#include "vtkCameraPass.h"
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkDoubleArray.h"
#include "vtkExecutive.h"
#include "vtkFloatArray.h"
#include "vtkHardwareSelector.h"
#include "vtkIdTypeArray.h"
#include "vtkIntArray.h"
#include "vtkLightsPass.h"
#include "vtkLookupTable.h"
#include "vtkObjectFactory.h"
#include "vtkPolyDataMapper.h"
#include "vtkRenderPassCollection.h"
#include "vtkRenderState.h"
#include "vtkRendererCollection.h"
#include "vtkSelection.h"
#include "vtkSequencePass.h"
#include "vtkSphereSource.h"
#include "vtkTextMapper.h"
#include "vtkUnstructuredGrid.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <limits>
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
class MervoProbe : public vtkMervoInteractor
{
public:
  static MervoProbe* New();
  vtkTypeMacro(MervoProbe, vtkMervoInteractor);
  int GetPropPicked() const { return this->PropPicked; }
};
vtkStandardNewMacro(MervoProbe);

class CatiaStyleProbe : public vtkInteractorStyleCATIA
{
public:
  static CatiaStyleProbe* New();
  vtkTypeMacro(CatiaStyleProbe, vtkInteractorStyleCATIA);
  using vtkInteractorStyleCATIA::IsSpinning;
};
vtkStandardNewMacro(CatiaStyleProbe);

class LegendProbe : public vtkColorTableLegendActor
{
public:
  static LegendProbe* New();
  vtkTypeMacro(LegendProbe, vtkColorTableLegendActor);
  int LabelCount() const { return this->NumberOfLabelsBuilt; }
  std::string Label(int i) const { return this->TextMappers[i]->GetInput(); }
  vtkPolyData* Bar() { return this->ScalarBar; }
};
vtkStandardNewMacro(LegendProbe);

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
  static_cast<void>(style->IsSpinning());
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
  EXPECT_FALSE(style->IsSpinning());
  EXPECT_TRUE(CameraState(scene.Camera()) == before);
}

//------------------------------------------------------------------------------
// An interactor without a render window, and a window without any renderer:
// nothing to draw into or pick in. States that need a window are not entered.
TEST(Misuse, StylesWithoutRenderWindow)
{
  vtkNew<vtkGenericRenderWindowInteractor> bare;
  bare->SetEventInformation(100, 100);
  {
    vtkNew<MervoProbe> nav;
    nav->SetInteractor(bare);
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
  {
    vtkNew<vtkCatiaInteractor> nav;
    nav->SetInteractor(bare);
    Diagnostics seen(nav);
    ExerciseCatia(nav);
    PressKeys(nav, bare);
    ExpectIdle(nav.Get());
    EXPECT_EQ(seen.Count(), 0) << seen.All();
    nav->SetInteractor(nullptr);
  }
  {
    vtkNew<CatiaStyleProbe> style;
    style->SetInteractor(bare);
    Diagnostics seen(style);
    EventRecorder startPick(bare, vtkCommand::StartPickEvent);
    ExerciseCatiaStyle(style);
    PressKeys(style, bare);
    ExpectIdle(style.Get());
    EXPECT_EQ(startPick.Count, 0);
    EXPECT_EQ(seen.Count(), 0) << seen.All();
    style->SetInteractor(nullptr);
  }

  // A window, but no renderer in it.
  vtkNew<vtkRenderWindow> window;
  window->SetSize(200, 200);
  window->SetMultiSamples(0);
  vtkNew<vtkGenericRenderWindowInteractor> interactor;
  interactor->SetRenderWindow(window);
  interactor->SetEventInformation(100, 100);
  {
    vtkNew<MervoProbe> nav;
    nav->SetInteractor(interactor);
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
  {
    vtkNew<vtkCatiaInteractor> nav;
    nav->SetInteractor(interactor);
    Diagnostics seen(nav);
    ExerciseCatia(nav);
    PressKeys(nav, interactor);
    ExpectIdle(nav.Get());
    // VTK's key bindings that need a renderer ('w', 's', 'r', 'p', 'f') say
    // so themselves.
    EXPECT_EQ(seen.Errors.Count, 0) << seen.All();
    EXPECT_EQ(seen.Warnings.Count, 5);
    for (const auto& text : seen.Warnings.Texts)
    {
      EXPECT_NE(text.find("no current renderer on the interactor style."), std::string::npos)
        << text;
    }
    nav->SetInteractor(nullptr);
  }
  {
    vtkNew<CatiaStyleProbe> style;
    style->SetInteractor(interactor);
    Diagnostics seen(style);
    ExerciseCatiaStyle(style);
    PressKeys(style, interactor);
    ExpectIdle(style.Get());
    // VTK's key bindings that need a renderer ('w', 's', 'r', 'p', 'f') say
    // so themselves.
    EXPECT_EQ(seen.Errors.Count, 0) << seen.All();
    EXPECT_EQ(seen.Warnings.Count, 5);
    for (const auto& text : seen.Warnings.Texts)
    {
      EXPECT_NE(text.find("no current renderer on the interactor style."), std::string::npos)
        << text;
    }
    style->SetInteractor(nullptr);
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
// Pickers given no renderer, a renderer outside any window, or corners that
// are not numbers: an error, 0, and the picker's last result untouched.
TEST(Misuse, PickersWithoutWindow)
{
  Scene scene(300, 300);
  vtkSmartPointer<vtkActor> sphere = AddSphere(scene.Renderer);
  scene.Window->Render();
  vtkNew<vtkRenderer> loose;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();

  vtkNew<vtkFrustumSelectionPicker> frustum;
  vtkNew<vtkVisibleSelectionPicker> visible;
  for (vtkSelectionPicker* picker :
    std::initializer_list<vtkSelectionPicker*>{ frustum.Get(), visible.Get() })
  {
    SCOPED_TRACE(picker->GetClassName());
    picker->AddPickList(sphere);
    ASSERT_GT(picker->AreaPick(100, 100, 200, 200, scene.Renderer), 0);
    const unsigned int nodes = picker->GetSelection()->GetNumberOfNodes();
    ASSERT_GT(nodes, 0u);
    Diagnostics seen(picker);

    EXPECT_EQ(picker->AreaPick(0, 0, 10, 10, nullptr), 0);
    EXPECT_EQ(picker->Pick(5, 5, 0, nullptr), 0);
    EXPECT_EQ(picker->AreaPick(0, 0, 10, 10, loose), 0);
    EXPECT_EQ(seen.Errors.Count, 3);
    EXPECT_TRUE(seen.Errors.Saw(
      "AreaPick needs a renderer that belongs to a render window; nothing picked."));

    EXPECT_EQ(picker->AreaPick(nan, 0, 10, 10, scene.Renderer), 0);
    EXPECT_EQ(picker->AreaPick(0, 0, inf, 10, scene.Renderer), 0);
    EXPECT_EQ(seen.Errors.Count, 5);
    EXPECT_TRUE(seen.Errors.Saw("AreaPick needs finite corner coordinates; nothing picked."));

    EXPECT_EQ(picker->GetSelectionArea()[0], 100.0);
    EXPECT_EQ(picker->GetSelectionArea()[3], 200.0);
    EXPECT_EQ(picker->GetSelection()->GetNumberOfNodes(), nodes);
  }
}

//------------------------------------------------------------------------------
// The host drops the window and renderer a picker picked in before it asks
// for the selection: the picker must not reach the freed renderer.
TEST(Misuse, PickerRendererDestroyedBeforeSelection)
{
  vtkNew<vtkFrustumSelectionPicker> frustum;
  vtkNew<vtkVisibleSelectionPicker> visible;
  for (vtkSelectionPicker* picker :
    std::initializer_list<vtkSelectionPicker*>{ frustum.Get(), visible.Get() })
  {
    SCOPED_TRACE(picker->GetClassName());
    vtkSmartPointer<vtkActor> actor;
    unsigned int nodes = 0;
    {
      Scene scene(300, 300);
      actor = AddSphere(scene.Renderer);
      picker->AddPickList(actor);
      scene.Window->Render();
      ASSERT_GT(picker->AreaPick(100, 100, 200, 200, scene.Renderer), 0);
      nodes = picker->GetSelection()->GetNumberOfNodes();
      ASSERT_GT(nodes, 0u);
    }
    // The scene is gone; the actor (and so its data) is still held here.
    vtkSelection* selection = picker->GetSelection();
    EXPECT_LE(selection->GetNumberOfNodes(), nodes);
  }
}

//------------------------------------------------------------------------------
// A lookup table whose range is a single value: a one-colour bar and every
// label showing that value, no warning. A log-scale table whose range holds
// zero or crosses it cannot place its labels on a log scale: they are spaced
// linearly instead, with a warning, and none reads "nan" or "inf".
TEST(Misuse, LegendDegenerateRange)
{
  Scene scene(400, 500);
  vtkNew<vtkLookupTable> table;
  table->SetRange(5.0, 5.0);
  table->Build();
  vtkNew<LegendProbe> legend;
  legend->SetLookupTable(table);
  legend->SetNumberOfLabels(4);
  legend->SetMaximumNumberOfColors(8);
  legend->SetLabelFormat("%g");
  legend->GetPositionCoordinate()->SetCoordinateSystemToViewport();
  legend->GetPositionCoordinate()->SetValue(50, 50);
  legend->GetPosition2Coordinate()->SetCoordinateSystemToViewport();
  legend->GetPosition2Coordinate()->SetValue(200, 400);
  scene.Renderer->AddActor2D(legend);
  Diagnostics seen(legend);

  scene.Window->Render();
  ASSERT_EQ(legend->LabelCount(), 4);
  for (int i = 0; i < 4; ++i)
  {
    EXPECT_EQ(legend->Label(i), "5");
  }
  EXPECT_EQ(legend->Bar()->GetNumberOfCells(), 8);
  auto* colors = vtkUnsignedCharArray::SafeDownCast(legend->Bar()->GetCellData()->GetScalars());
  ASSERT_NE(colors, nullptr);
  for (vtkIdType i = 1; i < colors->GetNumberOfTuples(); ++i)
  {
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_EQ(colors->GetComponent(i, c), colors->GetComponent(0, c));
    }
  }
  EXPECT_EQ(seen.Count(), 0) << seen.All();

  // Range (0, 0): the same.
  table->SetRange(0.0, 0.0);
  scene.Window->Render();
  for (int i = 0; i < 4; ++i)
  {
    EXPECT_EQ(legend->Label(i), "0");
  }
  EXPECT_EQ(seen.Count(), 0) << seen.All();

  // Log scale over (0, 30) and over (-30, 0): spaced linearly, with a
  // warning each.
  table->SetScaleToLog10();
  for (const auto& range : { std::array<double, 2>{ 0.0, 30.0 }, { -30.0, 0.0 } })
  {
    table->SetRange(range[0], range[1]);
    scene.Window->Render();
    ASSERT_EQ(legend->LabelCount(), 4);
    for (int i = 0; i < 4; ++i)
    {
      const std::string label = legend->Label(i);
      EXPECT_EQ(label.find("nan"), std::string::npos) << label;
      EXPECT_EQ(label.find("inf"), std::string::npos) << label;
      EXPECT_DOUBLE_EQ(std::stod(label), range[0] + i * (range[1] - range[0]) / 3.0);
    }
  }
  EXPECT_EQ(seen.Warnings.Count, 2);
  EXPECT_TRUE(seen.Warnings.Saw("the lookup table's log scale cannot show the range (0, 30): "
                                "labels are spaced linearly"));
  EXPECT_TRUE(seen.Warnings.Saw("the lookup table's log scale cannot show the range (-30, 0): "
                                "labels are spaced linearly"));

  // A log range on one side of zero is spaced logarithmically, without a
  // warning; below zero by the magnitudes.
  table->SetRange(1.0, 1000.0);
  scene.Window->Render();
  EXPECT_EQ(legend->Label(0), "1");
  EXPECT_EQ(legend->Label(1), "10");
  EXPECT_EQ(legend->Label(3), "1000");
  table->SetRange(-1000.0, -1.0);
  scene.Window->Render();
  EXPECT_EQ(legend->Label(0), "-1000");
  EXPECT_EQ(legend->Label(2), "-10");
  EXPECT_EQ(legend->Label(3), "-1");
  EXPECT_EQ(seen.Warnings.Count, 2);
  EXPECT_EQ(seen.Errors.Count, 0);
}

//------------------------------------------------------------------------------
// The main pass on a renderer without any prop, also while a hardware
// selection runs, and called straight with empty render states.
TEST(Misuse, MainPassWithoutProps)
{
  Scene scene(200, 200);
  scene.Renderer->SetBackground(0.0, 0.0, 1.0);
  vtkNew<vtkKivMainPass> mainPass;
  vtkNew<vtkLightsPass> lightsPass;
  vtkNew<vtkRenderPassCollection> passes;
  passes->AddItem(lightsPass);
  passes->AddItem(mainPass);
  vtkNew<vtkSequencePass> sequence;
  sequence->SetPasses(passes);
  vtkNew<vtkCameraPass> cameraPass;
  cameraPass->SetDelegatePass(sequence);
  scene.Renderer->SetPass(cameraPass);
  Diagnostics seen(mainPass);

  scene.Window->Render();
  EXPECT_EQ(mainPass->GetNumberOfRenderedProps(), 0);
  const auto pixel = scene.Pixel(100, 100);
  EXPECT_EQ(pixel[0], 0);
  EXPECT_EQ(pixel[2], 255);

  vtkNew<vtkHardwareSelector> selector;
  selector->SetRenderer(scene.Renderer);
  selector->SetArea(0, 0, 199, 199);
  vtkSmartPointer<vtkSelection> selection;
  selection.TakeReference(selector->Select());
  ASSERT_NE(selection, nullptr);
  EXPECT_EQ(selection->GetNumberOfNodes(), 0u);
  EXPECT_EQ(scene.Renderer->PickProp(10, 10, 190, 190), nullptr);

  // Straight calls: an empty state, and a count without an array.
  vtkRenderState empty(scene.Renderer);
  mainPass->Render(&empty);
  EXPECT_EQ(mainPass->GetNumberOfRenderedProps(), 0);
  vtkRenderState countOnly(scene.Renderer);
  countOnly.SetPropArrayAndCount(nullptr, 3);
  mainPass->Render(&countOnly);
  EXPECT_EQ(mainPass->GetNumberOfRenderedProps(), 0);
  mainPass->Render(nullptr);
  EXPECT_EQ(mainPass->GetNumberOfRenderedProps(), 0);
  EXPECT_EQ(seen.Count(), 0) << seen.All();
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

//------------------------------------------------------------------------------
// The host updates the generator, replaces its arrays (without and with
// Modified()), and replaces them again from an observer while an update is
// running. The output always matches arrays the generator held at the time of
// a run, or is empty after a reported fault; nothing dangles.
TEST(Misuse, GeneratorArraysReplaced)
{
  auto makePoints = [](int n)
  {
    auto points = vtkSmartPointer<vtkDoubleArray>::New();
    points->SetNumberOfComponents(3);
    for (int i = 0; i < n; ++i)
    {
      points->InsertNextTuple3(i, i % 2, 0.0);
    }
    return points;
  };
  auto makeTriangles = [](std::initializer_list<std::array<vtkIdType, 3>> triangles)
  {
    auto cells = vtkSmartPointer<vtkIdTypeArray>::New();
    auto types = vtkSmartPointer<vtkIntArray>::New();
    for (const auto& t : triangles)
    {
      cells->InsertNextValue(3);
      for (vtkIdType id : t)
      {
        cells->InsertNextValue(id);
      }
      types->InsertNextValue(VTK_TRIANGLE);
    }
    return std::make_pair(cells, types);
  };

  vtkNew<vtkKivUnstructuredGridGenerator> generator;
  Diagnostics seen(generator);
  // The executive reports a failed run too.
  Diagnostics pipeline(generator->GetExecutive());
  {
    auto points = makePoints(6);
    auto [cells, types] = makeTriangles({ { 0, 1, 2 }, { 3, 4, 5 } });
    generator->SetPointData(points);
    generator->SetCellData(cells);
    generator->SetCellTypeData(types);
  }
  generator->Update();
  vtkUnstructuredGrid* output = vtkUnstructuredGrid::SafeDownCast(generator->GetOutput());
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(output->GetNumberOfPoints(), 6);
  EXPECT_EQ(output->GetNumberOfCells(), 2);

  // Replaced without Modified(): no new run, the output keeps the old arrays
  // it shares (the generator no longer holds them).
  {
    auto points = makePoints(3);
    auto [cells, types] = makeTriangles({ { 0, 1, 2 } });
    generator->SetPointData(points);
    generator->SetCellData(cells);
    generator->SetCellTypeData(types);
  }
  generator->Update();
  EXPECT_EQ(output->GetNumberOfPoints(), 6);
  EXPECT_EQ(output->GetNumberOfCells(), 2);
  double p[3];
  output->GetPoint(5, p);
  EXPECT_EQ(p[0], 5.0);

  // Only the points replaced, by fewer than the old cells use: a fault.
  generator->SetPointData(makePoints(2));
  generator->Modified();
  generator->Update();
  EXPECT_EQ(seen.Errors.Count, 1);
  EXPECT_TRUE(seen.Errors.Saw("cell 0: point id 2 is not below the number of points (2)"));
  EXPECT_EQ(output->GetNumberOfCells(), 0);
  EXPECT_EQ(output->GetNumberOfPoints(), 0);
  EXPECT_EQ(pipeline.Errors.Count, 1);

  // Replaced from an observer while the update runs, the old arrays released
  // there: the run reads the arrays held when it builds.
  generator->SetPointData(makePoints(3));
  generator->Modified();
  vtkNew<vtkCallbackCommand> replace;
  replace->SetClientData(generator.Get());
  replace->SetCallback(
    [](vtkObject*, unsigned long, void* clientData, void*)
    {
      auto* g = static_cast<vtkKivUnstructuredGridGenerator*>(clientData);
      vtkNew<vtkFloatArray> points;
      points->SetNumberOfComponents(3);
      for (int i = 0; i < 4; ++i)
      {
        points->InsertNextTuple3(0.0, i, 1.0);
      }
      vtkNew<vtkIdTypeArray> cells;
      for (vtkIdType v : { 4, 0, 1, 2, 3 })
      {
        cells->InsertNextValue(v);
      }
      vtkNew<vtkIntArray> types;
      types->InsertNextValue(VTK_QUAD);
      g->SetPointData(points);
      g->SetCellData(cells);
      g->SetCellTypeData(types);
    });
  const unsigned long tag = generator->AddObserver(vtkCommand::StartEvent, replace);
  generator->Update();
  generator->RemoveObserver(tag);
  EXPECT_EQ(output->GetNumberOfPoints(), 4);
  ASSERT_EQ(output->GetNumberOfCells(), 1);
  EXPECT_EQ(output->GetCellType(0), VTK_QUAD);
  output->GetPoint(3, p);
  EXPECT_EQ(p[1], 3.0);

  // An array unset from an observer mid-run: nothing generated, no crash.
  replace->SetCallback([](vtkObject*, unsigned long, void* clientData, void*)
    { static_cast<vtkKivUnstructuredGridGenerator*>(clientData)->SetCellData(nullptr); });
  generator->AddObserver(vtkCommand::StartEvent, replace);
  generator->Modified();
  generator->Update();
  EXPECT_EQ(generator->GetCellData(), nullptr);
  EXPECT_EQ(seen.Errors.Count, 1);
}

//------------------------------------------------------------------------------
// 3D-mouse reports whose values are not numbers or infinite: the interactor
// warns and fires nothing, so the camera is left as it was. A finite report
// afterwards moves it as usual.
TEST(Misuse, TDxReportNotFinite)
{
  vtkNew<vtkRenderWindow> window;
  window->SetSize(300, 300);
  window->SetMultiSamples(0);
  vtkNew<vtkRenderer> renderer;
  window->AddRenderer(renderer);
  AddSphere(renderer);
  vtkNew<vtkSimpleRenderWindowInteractor> interactor;
  interactor->SetRenderWindow(window);
  vtkNew<vtkMervoInteractor> nav;
  interactor->SetInteractorStyle(nav);
  interactor->SetEventInformation(150, 150);
  window->Render();
  // The renderer the 3D-mouse style moves is the navigator's current one.
  nav->FindPokedRenderer(150, 150);
  Diagnostics seen(interactor);
  EventRecorder motion(interactor, vtkCommand::TDxMotionEvent);
  const CameraState before(renderer->GetActiveCamera());

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::array<std::array<double, 7>, 4> reports = { { { nan, 0, 0, 0, 0, 0, 1 },
    { 0, 0, inf, 0, 0, 0, 1 },
    { 0, 0, 0, nan, 0, 1, 0 },
    { 0, 0, 0, 10, 0, -inf, 0 } } };
  for (const auto& r : reports)
  {
    interactor->SetTDxEventInformation(r[0], r[1], r[2], r[3], r[4], r[5], r[6], 0);
    interactor->TDxMotionEvent();
  }
  EXPECT_EQ(motion.Count, 0);
  EXPECT_TRUE(CameraState(renderer->GetActiveCamera()) == before);
  EXPECT_EQ(seen.Warnings.Count, 4);
  EXPECT_TRUE(seen.Warnings.Saw("3D-mouse report with a value that is not a finite number "
                                "ignored: translation (nan, 0, 0), angle 0, axis (0, 0, 1)"));

  interactor->SetTDxEventInformation(0, 0, 0, 10, 0, 1, 0, 0);
  interactor->TDxMotionEvent();
  EXPECT_EQ(motion.Count, 1);
  EXPECT_FALSE(CameraState(renderer->GetActiveCamera()) == before);
  EXPECT_EQ(seen.Warnings.Count, 4);
}
