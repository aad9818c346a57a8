#include "vtkKivInteractor.h"

#include "orviTestUtils.h"

#include "vtkInteractorStyleTrackballCamera.h"
#include "vtkObjectFactory.h"

#include <gtest/gtest.h>

namespace
{
// A navigator as a host derives it: counts what reaches its handlers and can
// bump the motion counter the way a derived OnMouseMove does.
class CountingNavigator : public vtkKivInteractor
{
public:
  static CountingNavigator* New();
  vtkTypeMacro(CountingNavigator, vtkKivInteractor);
  void OnMouseMove() override { ++this->MouseMoves; }
  void OnKeyPress() override { ++this->KeyPresses; }
  void CountMotion() { ++this->Moved; }
  int MouseMoves = 0;
  int KeyPresses = 0;
};
vtkStandardNewMacro(CountingNavigator);

struct Predicates
{
  bool None, Rotate, Pan, Spin, Dolly, Pick, BoxZoom;
};

Predicates Read(vtkKivInteractor* s)
{
  return { s->IsStateNone(),
    s->IsStateRotate(),
    s->IsStatePan(),
    s->IsStateSpin(),
    s->IsStateDolly(),
    s->IsStatePick(),
    s->IsStateBoxZoom() };
}

int CountTrue(const Predicates& p)
{
  return p.None + p.Rotate + p.Pan + p.Spin + p.Dolly + p.Pick + p.BoxZoom;
}

} // namespace

TEST(KivInteractor, NewObjectCounterAndPrinting)
{
  vtkNew<CountingNavigator> style;
  const Predicates p = Read(style);
  EXPECT_TRUE(p.None);
  EXPECT_EQ(CountTrue(p), 1);

  // Four motions are a click, five a drag.
  for (int i = 0; i < 4; ++i)
  {
    style->CountMotion();
  }
  EXPECT_FALSE(style->HasMoved());
  style->CountMotion();
  EXPECT_EQ(style->GetMoved(), 5);
  EXPECT_TRUE(style->HasMoved());
  style->ClearMoved();
  EXPECT_FALSE(style->HasMoved());

  // Prints what the trackball style prints, apart from the class name.
  vtkNew<vtkKivInteractor> kiv;
  vtkNew<vtkInteractorStyleTrackballCamera> trackball;
  EXPECT_EQ(orvi_test::Printed(kiv, "vtkKivInteractor"),
    orvi_test::Printed(trackball, "vtkInteractorStyleTrackballCamera"));
}

TEST(KivInteractor, EachStateHasExactlyItsPredicateAndLeavesTheCounter)
{
  orvi_test::Scene scene;
  vtkNew<CountingNavigator> style;
  scene.Interactor->SetInteractorStyle(style);
  style->CountMotion();
  const auto camera = scene.CameraState();

  struct Row
  {
    int State;
    bool Predicates::*Member;
  };
  for (const Row& row : { Row{ 1, &Predicates::Rotate },
         Row{ 2, &Predicates::Pan },
         Row{ 3, &Predicates::Spin },
         Row{ 4, &Predicates::Dolly },
         Row{ 21, &Predicates::Pick },
         Row{ 22, &Predicates::BoxZoom } })
  {
    style->StartState(row.State);
    const Predicates p = Read(style);
    EXPECT_TRUE(p.*(row.Member)) << "state " << row.State;
    EXPECT_EQ(CountTrue(p), 1) << "state " << row.State;
    style->StopState();
    EXPECT_TRUE(style->IsStateNone());
  }
  // VTK's zoom state (5) has no predicate: all seven answer false.
  style->StartState(5);
  EXPECT_EQ(CountTrue(Read(style)), 0);
  style->StopState();

  // The box-zoom hooks of the base change nothing.
  style->StartBoxZoom();
  EXPECT_TRUE(style->IsStateNone());
  style->EndBoxZoom();
  EXPECT_TRUE(style->IsStateNone());
  EXPECT_EQ(style->GetMoved(), 1) << "starting and stopping states leave the counter";
  EXPECT_EQ(scene.CameraState(), camera);
}

TEST(KivInteractor, AcquireFocusTakesMouseEventsButNotKeys)
{
  orvi_test::Scene scene;
  vtkNew<CountingNavigator> style;
  scene.Interactor->SetInteractorStyle(style);
  // A host observer with a higher priority than the style that aborts
  // nothing: it sees every event first.
  orvi_test::EventRecorder hostMoves(scene.Interactor, vtkCommand::MouseMoveEvent, 1.0f);
  orvi_test::EventRecorder hostKeys(scene.Interactor, vtkCommand::KeyPressEvent, 1.0f);

  scene.MoveTo(10, 10);
  scene.Interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
  EXPECT_EQ(hostMoves.Count, 1);
  EXPECT_EQ(style->MouseMoves, 1);
  EXPECT_EQ(hostKeys.Count, 1);
  EXPECT_EQ(style->KeyPresses, 1);

  style->AcquireFocus();
  scene.MoveTo(20, 20);
  scene.Interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
  EXPECT_EQ(hostMoves.Count, 1) << "mouse events belong to the focused style";
  EXPECT_EQ(style->MouseMoves, 2);
  EXPECT_EQ(hostKeys.Count, 2) << "key events still reach other observers";
  EXPECT_EQ(style->KeyPresses, 2);

  style->ReleaseFocus();
  scene.MoveTo(30, 30);
  EXPECT_EQ(hostMoves.Count, 2);
  EXPECT_EQ(style->MouseMoves, 3) << "each mouse event is handled once";
}

TEST(KivInteractor, KeysStillWorkAfterChangingInteractor)
{
  orvi_test::Scene first;
  orvi_test::Scene second;
  vtkNew<CountingNavigator> style;
  first.Interactor->SetInteractorStyle(style);
  second.Interactor->SetInteractorStyle(style);
  first.Interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
  EXPECT_EQ(style->KeyPresses, 0) << "the old interactor no longer reaches the style";
  second.Interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
  EXPECT_EQ(style->KeyPresses, 1);
  style->SetInteractor(nullptr);
  second.Interactor->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
  EXPECT_EQ(style->KeyPresses, 1);
}
