// The rubber band (vtkKivRubberBand) as the Mervo navigator draws it: a
// snapshot of the scene on the press, and from the fourth motion on that
// snapshot on screen with the band's one-pixel outline inverted; the
// snapshot itself is never drawn into, so each draw erases the last band.
#include "orviTestUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace
{

// How many pixels of the window differ from the snapshot with the outline
// of the band from (x0, y0) to (x1, y1) (sorted, inclusive) inverted in red,
// green and blue; -1 when the sizes differ. No band: x0 = -1.
int BandErrors(vtkRenderWindow* window,
  vtkUnsignedCharArray* snapshot,
  int x0 = -1,
  int y0 = -1,
  int x1 = -1,
  int y1 = -1)
{
  const orvi_test::Frame screen(window);
  if (snapshot->GetNumberOfValues() != 4 * screen.Width * screen.Height)
  {
    return -1;
  }
  return screen.Count(
    [&](const std::array<int, 3>& rgb, int x, int y)
    {
      const bool row = (y == y0) != (y == y1) && x >= x0 && x <= x1;
      const bool column = y > y0 && y < y1 && ((x == x0) != (x == x1));
      const unsigned char* p = snapshot->GetPointer(4 * (y * screen.Width + x));
      for (int c = 0; c < 3; ++c)
      {
        if (rgb[c] != ((row || column) ? 255 - p[c] : p[c]))
        {
          return true;
        }
      }
      return false;
    });
}

// A 640 x 480 window: a grey-blue background and a square. The band starts
// at (x, y); a copy of the snapshot it took is returned.
struct BandScene : orvi_test::NavScene<vtkMervoInteractor>
{
  BandScene()
    : NavScene(640, 480, 2)
  {
    this->Renderer->SetBackground(0.2, 0.4, 0.6);
    this->Window->Render();
  }
  vtkSmartPointer<vtkUnsignedCharArray> Start(int x, int y)
  {
    this->SetPointer(x, y);
    this->Nav->ClearMoved();
    this->Nav->StartBoxZoom();
    auto copy = vtkSmartPointer<vtkUnsignedCharArray>::New();
    copy->DeepCopy(this->Nav->GetPixelArray());
    return copy;
  }
};
} // namespace

TEST(KivRubberBand, SnapshotBandFromTheFourthMotionInvertedAndClamped)
{
  BandScene scene;
  auto* nav = scene.Nav.Get();
  orvi_test::EventRecorder startInteraction(nav, vtkCommand::StartInteractionEvent);
  orvi_test::EventRecorder endInteraction(nav, vtkCommand::EndInteractionEvent);
  orvi_test::EventRecorder timers(scene.Interactor, vtkCommand::CreateTimerEvent);
  nav->UseTimersOn();

  // The start takes the screen as it is, fires nothing, starts no timer;
  // three motions draw nothing.
  vtkSmartPointer<vtkUnsignedCharArray> snapshot = scene.Start(100, 80);
  EXPECT_EQ(nav->GetState(), 22);
  EXPECT_EQ(BandErrors(scene.Window, snapshot), 0);
  EXPECT_EQ(startInteraction.Count + timers.Count, 0);
  scene.MoveTo(150, 100);
  scene.MoveTo(200, 120);
  scene.MoveTo(300, 200);
  EXPECT_EQ(BandErrors(scene.Window, snapshot), 0);
  EXPECT_EQ(nav->GetEndPosition()[0], 100);

  // From the fourth on, the band to the pointer clamped to the window; each
  // draw erases the last; without height nothing shows; without width the
  // two end pixels.
  struct Step
  {
    int X, Y;
    std::array<int, 4> Band;
  };
  for (const Step& step : { Step{ 700, -20, { 100, 0, 639, 80 } },
         Step{ 300, 200, { 100, 80, 300, 200 } },
         Step{ 250, 80, { -1, -1, -1, -1 } },
         Step{ 100, 200, { 100, 80, 100, 200 } },
         Step{ 5000, 5000, { 100, 80, 639, 479 } } })
  {
    SCOPED_TRACE(std::to_string(step.X) + ", " + std::to_string(step.Y));
    scene.MoveTo(step.X, step.Y);
    EXPECT_EQ(nav->GetEndPosition()[0], std::clamp(step.X, 0, 639));
    EXPECT_EQ(nav->GetEndPosition()[1], std::clamp(step.Y, 0, 479));
    const auto& b = step.Band;
    EXPECT_EQ(BandErrors(scene.Window, snapshot, b[0], b[1], b[2], b[3]), 0);
  }
  EXPECT_EQ(nav->GetMoved(), 8);
  EXPECT_EQ(BandErrors(scene.Window, nav->GetPixelArray(), 100, 80, 639, 479), 0);
  // Ending the band renders the scene: the band is gone.
  nav->EndBoxZoom();
  EXPECT_TRUE(nav->IsStateNone());
  EXPECT_EQ(endInteraction.Count, 1);
  EXPECT_EQ(BandErrors(scene.Window, snapshot), 0);
}

TEST(KivRubberBand, WindowResizedBeforeOrDuringTheDrag)
{
  BandScene scene;
  auto* nav = scene.Nav.Get();
  vtkSmartPointer<vtkUnsignedCharArray> clean = scene.Start(100, 80);
  for (int i = 0; i < 4; ++i)
  {
    scene.MoveTo(300 + i, 200);
  }
  EXPECT_EQ(BandErrors(scene.Window, clean, 100, 80, 303, 200), 0);

  // Grown as a host toolkit reports a resize: the next motion takes a clean
  // snapshot at the new size (the old band's pixels, off the square, show
  // the background) and draws the band over it.
  scene.Interactor->UpdateSize(800, 600);
  scene.MoveTo(750, 550);
  vtkUnsignedCharArray* pixels = nav->GetPixelArray();
  ASSERT_EQ(pixels->GetNumberOfTuples(), 800 * 600);
  EXPECT_EQ(BandErrors(scene.Window, pixels, 100, 80, 750, 550), 0);
  for (const int xy : { 80 * 800 + 150, 150 * 800 + 100 })
  {
    const unsigned char* g = pixels->GetPointer(4 * xy);
    EXPECT_EQ((std::array<int, 3>{ g[0], g[1], g[2] }), (std::array<int, 3>{ 51, 102, 153 }));
  }
  // Shrunk below the start corner: both corners clamp to (89, 69), a single
  // pixel on both rows and columns, which shows nothing.
  scene.Window->SetSize(90, 70);
  scene.MoveTo(700, 500);
  EXPECT_EQ(nav->GetEndPosition()[0], 89);
  EXPECT_EQ(nav->GetEndPosition()[1], 69);
  EXPECT_EQ(BandErrors(scene.Window, pixels), 0);
  scene.MoveTo(10, 20);
  EXPECT_EQ(BandErrors(scene.Window, pixels, 10, 20, 89, 69), 0);
  nav->EndBoxZoom();

  // Resized between two drags with no render in between: the next band's
  // snapshot is the scene at the new size, not the old frame.
  scene.Interactor->UpdateSize(700, 500);
  vtkSmartPointer<vtkUnsignedCharArray> fresh = scene.Start(100, 80);
  ASSERT_EQ(fresh->GetNumberOfTuples(), 700 * 500);
  for (int i = 0; i < 4; ++i)
  {
    scene.MoveTo(650 + i, 450);
  }
  EXPECT_EQ(BandErrors(scene.Window, fresh, 100, 80, 653, 450), 0);
  nav->EndBoxZoom();
  EXPECT_EQ(BandErrors(scene.Window, fresh), 0) << "the scene as rendered";
}
