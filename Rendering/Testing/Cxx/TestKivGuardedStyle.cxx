// vtkKivGuardedStyle, the guard policy of the five navigation classes built
// on it: misused, each navigator and style answers with a clear warning or
// nothing, never a crash or a read of freed memory (the suite also runs
// under AddressSanitizer, which catches the use-after-free cases). Last,
// vtkKivInteractor, the base of the navigators: its states and their
// predicates, the click counter, and a focus that takes mouse events only.
#include "vtkKivGuardedStyle.h"

#include "orviTestUtils.h"

#include "vtkCatiaInteractor.h"
#include "vtkInteractorStyleCATIA.h"
#include "vtkInteractorStyleMervo.h"
#include "vtkInteractorStyleTrackballCamera.h"
#include "vtkKivInteractor.h"

#include <type_traits>

namespace
{
using orvi_test::EventRecorder;
using orvi_test::Probe;

const std::string MarkerWarning = "Cannot prepare rotation point actor, no renderer";
const std::string KeyWarning = "no current renderer on the interactor style.";

using S = vtkInteractorStyle;
using Handler = void (S::*)();
// VTK's handlers and operations in an order that visits each state of the
// styles that map buttons (pick by a left or right click; pan, rotate or
// spin, dolly, release), then each VTK state with a motion in it.
// clang-format off
const Handler Sequence[] = { &S::OnKeyDown, &S::OnKeyUp, &S::OnTimer, &S::OnMouseWheelForward,
  &S::OnMouseWheelBackward, &S::OnLeftButtonDown, &S::OnMouseMove, &S::OnLeftButtonUp,
  &S::OnRightButtonDown, &S::OnRightButtonUp, &S::OnMiddleButtonDown, &S::OnMouseMove,
  &S::OnLeftButtonDown, &S::OnMouseMove, &S::OnLeftButtonUp, &S::OnRightButtonDown,
  &S::OnMouseMove, &S::OnRightButtonUp, &S::OnMiddleButtonUp,
  &S::StartRotate, &S::OnMouseMove, &S::OnTimer, &S::StopState,
  &S::StartPan, &S::OnMouseMove, &S::StopState, &S::StartSpin, &S::OnMouseMove, &S::StopState,
  &S::StartDolly, &S::OnMouseMove, &S::StopState,
  &S::Rotate, &S::Pan, &S::Spin, &S::Dolly, &S::EnvironmentRotate };
// clang-format on

// Everything a class can be asked: VTK's keys that touch the window, the
// renderer or the picker, the sequence above, and the class's own
// operations.
template <class T>
void Exercise(T* s)
{
  for (char key : std::string("3wsrpfuj"))
  {
    if (s->GetInteractor())
    {
      s->GetInteractor()->SetKeyCode(key);
    }
    s->OnChar();
  }
  for (Handler h : Sequence)
  {
    (s->*h)();
  }
  const auto call = [s](auto... handlers) { ((s->*handlers)(), ...); };
  if constexpr (!std::is_same_v<T, vtkKivInteractor>)
  {
    call(&T::StartPick, &T::Pick, &T::EndPick, &T::Fly);
  }
  if constexpr (std::is_same_v<T, vtkMervoInteractor>)
  {
    call(&T::FindRotationCenter, &T::StartBoxZoom, &T::OnMouseMove, &T::BoxSelect);
    call(&T::BoxZoom, &T::BoxZoomParallel, &T::BoxZoomProjection, &T::EndBoxZoom);
  }
  if constexpr (std::is_same_v<T, vtkInteractorStyleMervo>)
  {
    call(&T::StartRBZoom, &T::RBSelect, &T::RBZoom, &T::EndRBZoom);
  }
  if constexpr (std::is_base_of_v<vtkCatiaInteractor, T> ||
    std::is_base_of_v<vtkInteractorStyleCATIA, T>)
  {
    EXPECT_FALSE(s->Spinning());
  }
  if constexpr (std::is_base_of_v<vtkKivInteractor, T>)
  {
    call(&T::AcquireFocus, &T::ReleaseFocus);
  }
}

// No error; each warning is about the markers (when allowed) or VTK's keys
// (when allowed); returns how many are about each.
std::array<int, 2> Tally(const EventRecorder& warnings,
  const EventRecorder& errors,
  bool markers,
  bool keys)
{
  EXPECT_EQ(errors.Count, 0);
  std::array<int, 2> n{};
  for (const auto& t : warnings.Texts)
  {
    const bool marker = t.find(MarkerWarning) != std::string::npos;
    const bool key = t.find(KeyWarning) != std::string::npos;
    EXPECT_TRUE((markers && marker) || (keys && key)) << t;
    n[0] += marker ? 1 : 0;
    n[1] += key ? 1 : 0;
  }
  return n;
}

// A 4 x 4 cell square at the origin in the renderer, the camera reset on it.
vtkRenderer* Populate(vtkRenderer* renderer)
{
  renderer->AddActor(orvi_test::MakePlane(-1, -1, 1, 1, 0, 4, 4));
  renderer->ResetCamera();
  return renderer;
}
} // namespace

// Every case runs on each navigation class; the Mervo navigator builds
// rotation markers (and warns when it cannot), the classes other than the
// Mervo ones keep VTK's key bindings (which warn without a renderer).
template <class T>
class KivGuardedStyle : public ::testing::Test
{
protected:
  static constexpr bool Markers = std::is_same_v<T, vtkMervoInteractor>;
  static constexpr bool Keys = !Markers && !std::is_same_v<T, vtkInteractorStyleMervo>;
};
using Classes = ::testing::Types<vtkMervoInteractor,
  Probe<vtkCatiaInteractor>,
  Probe<vtkInteractorStyleCATIA>,
  vtkInteractorStyleMervo,
  vtkKivInteractor>;
TYPED_TEST_SUITE(KivGuardedStyle, Classes);

// Never given an interactor (with or without a current renderer), given an
// interactor without a render window, or a window without a renderer:
// nothing to draw into, pick in or move, so no state is entered. The
// navigator's one warning without an interactor is about its markers
// (FindRotationCenter() prepares them without looking for a renderer); with
// a window, VTK's key bindings that need a renderer ('w', 's', 'r', 'p', 'f')
// say so.
TYPED_TEST(KivGuardedStyle, NoInteractorWindowOrRenderer)
{
  orvi_test::Scene scene;
  Populate(scene.Renderer);
  const auto camera = scene.CameraState();
  vtkNew<vtkGenericRenderWindowInteractor> bare;
  orvi_test::Scene empty(200, 200);
  empty.Window->RemoveRenderer(empty.Renderer);
  const char* hosts[] = { "none", "none, a current renderer", "no window", "no renderer" };
  for (int host = 0; host < 4; ++host)
  {
    SCOPED_TRACE(std::string("interactor: ") + hosts[host]);
    vtkNew<TypeParam> style;
    style->SetCurrentRenderer(host == 1 ? scene.Renderer.Get() : nullptr);
    if (host > 1)
    {
      vtkRenderWindowInteractor* interactor = host == 2 ? bare.Get() : empty.Interactor.Get();
      interactor->SetEventInformation(100, 100);
      style->SetInteractor(interactor);
    }
    EventRecorder warnings(style, vtkCommand::WarningEvent), errors(style, vtkCommand::ErrorEvent);
    EventRecorder startPick(bare, vtkCommand::StartPickEvent);
    Exercise(style.Get());
    EXPECT_EQ(style->GetState(), VTKIS_NONE);
    EXPECT_EQ(scene.CameraState(), camera);
    EXPECT_EQ(startPick.Count, 0) << "no window to pick in";
    const auto n = Tally(warnings, errors, TestFixture::Markers, TestFixture::Keys && host == 3);
    EXPECT_EQ(n[1], TestFixture::Keys && host == 3 ? 5 : 0);
    if (host < 2)
    {
      EXPECT_EQ(n[0], TestFixture::Markers && host == 0 ? 1 : 0);
    }
    if (auto* nav = vtkMervoInteractor::SafeDownCast(style))
    {
      EXPECT_EQ(nav->GetRotationPointActor() != nullptr, host == 1);
    }
    style->SetInteractor(nullptr);
  }
}

// The host removes the renderer the style works in and goes on: nothing
// moves its camera or reaches for its window; the navigator's markers stay
// where they were added; with another renderer in the window, navigation
// goes on there.
TYPED_TEST(KivGuardedStyle, RendererRemovedFromWindow)
{
  orvi_test::Scene scene;
  Populate(scene.Renderer);
  vtkNew<TypeParam> style;
  scene.Interactor->SetInteractorStyle(style);
  scene.SetPointer(400, 300);
  style->StartRotate();
  scene.MoveTo(420, 300);
  ASSERT_EQ(style->GetCurrentRenderer(), scene.Renderer.Get());
  auto* nav = vtkMervoInteractor::SafeDownCast(style);
  vtkActor* marker = nav ? nav->GetRotationPointActor() : nullptr;

  scene.Window->RemoveRenderer(scene.Renderer);
  const auto removed = scene.CameraState();
  EventRecorder warnings(style, vtkCommand::WarningEvent), errors(style, vtkCommand::ErrorEvent);
  for (auto move : { &S::Rotate, &S::Pan, &S::Spin, &S::Dolly, &S::EnvironmentRotate })
  {
    (style->*move)();
  }
  style->StopState();
  Exercise(style.Get());
  EXPECT_EQ(style->GetState(), VTKIS_NONE);
  EXPECT_EQ(scene.CameraState(), removed);
  Tally(warnings, errors, TestFixture::Markers, TestFixture::Keys);

  vtkNew<vtkRenderer> second;
  scene.Window->AddRenderer(Populate(second));
  const double before = second->GetActiveCamera()->GetPosition()[0];
  scene.SetPointer(400, 300);
  style->StartRotate();
  scene.MoveTo(440, 300);
  style->StopState();
  EXPECT_NE(second->GetActiveCamera()->GetPosition()[0], before);
  EXPECT_EQ(scene.CameraState(), removed);
  if (nav)
  {
    EXPECT_EQ(nav->GetRotationPointActor(), marker);
    EXPECT_FALSE(second->GetActors()->IsItemPresent(marker));
  }
  scene.Interactor->SetInteractorStyle(nullptr);
}

// The host lets go of its window and interactor while the style lives on,
// in the middle of an interaction and holding the focus: the style lets go
// of the interactor as it goes and nothing afterwards reaches freed memory.
TYPED_TEST(KivGuardedStyle, InteractorDestroyedBeforeStyle)
{
  vtkNew<TypeParam> style;
  {
    orvi_test::Scene gone(300, 300);
    Populate(gone.Renderer);
    gone.Interactor->SetInteractorStyle(style);
    gone.SetPointer(150, 150);
    if (auto* kiv = vtkKivInteractor::SafeDownCast(style))
    {
      kiv->AcquireFocus();
      style->StartRotate();
    }
    else
    {
      style->OnMiddleButtonDown();
    }
    gone.MoveTo(160, 150);
    ASSERT_NE(style->GetState(), VTKIS_NONE);
  }
  EXPECT_EQ(style->GetInteractor(), nullptr);
  style->OnMiddleButtonUp();
  Exercise(style.Get());
}

// Each class keeps its own name and VTK's trackball style among its bases,
// through the guarded base (the navigators through vtkKivInteractor too),
// and prints exactly what the trackball style prints.
TEST(KivGuardedStyleClasses, NamesBasesAndPrinting)
{
  using Row = std::tuple<vtkSmartPointer<vtkInteractorStyle>, std::string, bool>;
  const Row rows[] = {
    { vtkSmartPointer<vtkKivInteractor>::New(), "vtkKivInteractor", true },
    { vtkSmartPointer<vtkMervoInteractor>::New(), "vtkMervoInteractor", true },
    { vtkSmartPointer<vtkCatiaInteractor>::New(), "vtkCatiaInteractor", true },
    { vtkSmartPointer<vtkInteractorStyleMervo>::New(), "vtkInteractorStyleMervo", false },
    { vtkSmartPointer<vtkInteractorStyleCATIA>::New(), "vtkInteractorStyleCATIA", false },
  };
  for (const auto& [style, name, navigator] : rows)
  {
    SCOPED_TRACE(name);
    EXPECT_EQ(style->GetClassName(), name);
    EXPECT_TRUE(
      style->IsA("vtkKivGuardedStyle") && style->IsA("vtkInteractorStyleTrackballCamera"));
    EXPECT_EQ(style->IsA("vtkKivInteractor") != 0, navigator);
    vtkNew<vtkInteractorStyleTrackballCamera> trackball;
    trackball->SetTDxStyle(style->GetTDxStyle());
    EXPECT_EQ(orvi_test::Printed(style, name),
      orvi_test::Printed(trackball, "vtkInteractorStyleTrackballCamera"));
  }
}

namespace
{
// A navigator as a host derives it: counts what reaches its handlers and can
// bump the motion counter the way a derived OnMouseMove does.
class CountingNavigator : public vtkKivInteractor
{
public:
  static CountingNavigator* New() { VTK_STANDARD_NEW_BODY(CountingNavigator); }
  vtkTypeMacro(CountingNavigator, vtkKivInteractor);
  void OnMouseMove() override { ++this->MouseMoves; }
  void OnKeyPress() override { ++this->KeyPresses; }
  void CountMotion() { ++this->Moved; }
  int MouseMoves = 0;
  int KeyPresses = 0;
};
} // namespace

// Four motions are a click, five a drag. VTK's states 0 to 4 and the
// library's pick (21) and box zoom (22) each answer exactly their
// predicate; VTK's zoom (5) none. The base's box-zoom hooks and state
// changes leave the state, the counter and the camera (its printing:
// NamesBasesAndPrinting above).
TEST(KivInteractor, CounterStatePredicates)
{
  orvi_test::Scene scene;
  vtkNew<CountingNavigator> style;
  scene.Interactor->SetInteractorStyle(style);
  for (int i = 1; i <= 5; ++i)
  {
    style->CountMotion();
    EXPECT_EQ(style->HasMoved(), i == 5);
  }
  style->ClearMoved();
  EXPECT_FALSE(style->HasMoved());
  style->CountMotion();
  const auto camera = scene.CameraState();
  // Bit k set: the k-th predicate (none, rotate, pan, spin, dolly, pick, box zoom) is true.
  const auto truths = [&]
  {
    return style->IsStateNone() | style->IsStateRotate() << 1 | style->IsStatePan() << 2 |
      style->IsStateSpin() << 3 | style->IsStateDolly() << 4 | style->IsStatePick() << 5 |
      style->IsStateBoxZoom() << 6;
  };
  const int states[] = { 0, 1, 2, 3, 4, 5, 21, 22 }, bits[] = { 1, 2, 4, 8, 16, 0, 32, 64 };
  for (int i = 0; i < 8; ++i)
  {
    style->StartState(states[i]);
    EXPECT_EQ(truths(), bits[i]) << states[i];
    style->StopState();
  }
  style->StartBoxZoom();
  EXPECT_TRUE(style->IsStateNone());
  style->EndBoxZoom();
  EXPECT_EQ(style->GetMoved(), 1);
  EXPECT_EQ(scene.CameraState(), camera);
}

// The focus takes mouse events from a host observer of higher priority, but
// key events still reach everybody, each handled once; after a change of
// interactor only the new one reaches the style.
TEST(KivInteractor, AcquireFocusTakesMouseEventsButNotKeys)
{
  orvi_test::Scene scene;
  vtkNew<CountingNavigator> style;
  scene.Interactor->SetInteractorStyle(style);
  orvi_test::EventRecorder hostMoves(scene.Interactor, vtkCommand::MouseMoveEvent, 1.0f);
  orvi_test::EventRecorder hostKeys(scene.Interactor, vtkCommand::KeyPressEvent, 1.0f);
  for (bool focus : { false, true, false })
  {
    focus ? style->AcquireFocus() : style->ReleaseFocus();
    scene.MoveTo(10, 10);
    scene.Interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
  }
  EXPECT_EQ((std::array{ hostMoves.Count, style->MouseMoves, hostKeys.Count, style->KeyPresses }),
    (std::array{ 2, 3, 3, 3 }));

  orvi_test::Scene second;
  second.Interactor->SetInteractorStyle(style);
  scene.Interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
  EXPECT_EQ(style->KeyPresses, 3) << "the old interactor no longer reaches the style";
  second.Interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
  EXPECT_EQ(style->KeyPresses, 4);
  style->SetInteractor(nullptr);
  second.Interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
  EXPECT_EQ(style->KeyPresses, 4);
}
