// vtkKivInteractor, the base of the navigators: its states and their
// predicates, the click counter, and a focus that takes mouse events only.
#include "vtkKivInteractor.h"

#include "orviTestUtils.h"

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
// TestKivGuardedStyle).
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
