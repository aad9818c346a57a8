// The rubber band (vtkKivRubberBand) as the Mervo navigator draws it: a
// snapshot of the scene on the press, and from the fourth motion on that
// snapshot on screen with the band's one-pixel outline inverted; the
// snapshot itself is never drawn into, so each draw erases the last band.
#include "orviTestUtils.h"

namespace
{

// How many pixels of the window differ from the snapshot with the outline
// of the band {x0, y0, x1, y1} (sorted, inclusive) inverted in red, green
// and blue; -1 when the sizes differ. No band: x0 = -1.
int BandErrors(vtkRenderWindow* window,
  vtkUnsignedCharArray* snapshot,
  std::array<int, 4> b = { -1, -1, -1, -1 })
{
  const orvi_test::Frame screen(window);
  if (snapshot->GetNumberOfValues() != 4 * screen.Width * screen.Height)
  {
    return -1;
  }
  return screen.Count(
    [&](const std::array<int, 3>& rgb, int x, int y)
    {
      const bool row = (y == b[1]) != (y == b[3]) && x >= b[0] && x <= b[2];
      const bool column = y > b[1] && y < b[3] && ((x == b[0]) != (x == b[2]));
      const unsigned char* p = snapshot->GetPointer(4 * (y * screen.Width + x));
      const int k = row || column ? 255 : 0;
      return rgb !=
        std::array<int, 3>{ std::abs(k - p[0]), std::abs(k - p[1]), std::abs(k - p[2]) };
    });
}

// A 640 x 480 window: a grey-blue background and a square.
struct BandScene : orvi_test::NavScene<vtkMervoInteractor>
{
  BandScene()
    : NavScene(640, 480, 2)
  {
    this->Renderer->SetBackground(0.2, 0.4, 0.6);
    this->Window->Render();
  }
  // The band started at (x, y), a copy of the snapshot it took returned.
  vtkSmartPointer<vtkUnsignedCharArray> Start(int x, int y)
  {
    this->Band(x, y);
    auto copy = vtkSmartPointer<vtkUnsignedCharArray>::New();
    copy->DeepCopy(this->Nav->GetPixelArray());
    return copy;
  }
};
} // namespace

TEST(KivRubberBand, SnapshotBandFromTheFourthMotionInvertedClampedAndResized)
{
  BandScene scene;
  auto* nav = scene.Nav.Get();
  orvi_test::EventCounts n(nav, scene.Interactor);
  const auto xy = [](const int* p) { return std::pair(p[0], p[1]); };
  nav->UseTimersOn();

  // The start takes the screen as it is, fires nothing, starts no timer;
  // three motions draw nothing.
  vtkSmartPointer<vtkUnsignedCharArray> snapshot = scene.Start(100, 80);
  EXPECT_EQ(nav->GetState(), 22);
  EXPECT_EQ(BandErrors(scene.Window, snapshot), 0);
  EXPECT_EQ(
    n({ vtkCommand::StartInteractionEvent, vtkCommand::CreateTimerEvent }), (std::vector{ 0, 0 }));
  scene.Path(100, 80, 300, 200, 3);
  EXPECT_EQ(BandErrors(scene.Window, snapshot), 0);
  EXPECT_EQ(nav->GetEndPosition()[0], 100);

  // From the fourth on, the band to the pointer clamped to the window; each
  // draw erases the last; without height nothing shows; without width the
  // two end pixels. Pointer x, y, then the band drawn.
  const std::array<int, 6> steps[] = {
    { 700, -20, 100, 0, 639, 80 },
    { 300, 200, 100, 80, 300, 200 },
    { 250, 80, -1, -1, -1, -1 },
    { 100, 200, 100, 80, 100, 200 },
    { 5000, 5000, 100, 80, 639, 479 },
  };
  for (const auto& step : steps)
  {
    SCOPED_TRACE(std::to_string(step[0]) + ", " + std::to_string(step[1]));
    scene.MoveTo(step[0], step[1]);
    EXPECT_EQ(xy(nav->GetEndPosition()),
      std::pair(std::clamp(step[0], 0, 639), std::clamp(step[1], 0, 479)));
    EXPECT_EQ(BandErrors(scene.Window, snapshot, { step[2], step[3], step[4], step[5] }), 0);
  }
  EXPECT_EQ(nav->GetMoved(), 8);
  EXPECT_EQ(BandErrors(scene.Window, nav->GetPixelArray(), { 100, 80, 639, 479 }), 0);
  // Ending the band renders the scene: the band is gone.
  nav->EndBoxZoom();
  EXPECT_TRUE(nav->IsStateNone());
  EXPECT_EQ(n[vtkCommand::EndInteractionEvent], 1);
  EXPECT_EQ(BandErrors(scene.Window, snapshot), 0);

  // The window resized during a drag.
  vtkSmartPointer<vtkUnsignedCharArray> clean = scene.Start(100, 80);
  scene.Path(300, 200, 303, 200, 4);
  EXPECT_EQ(BandErrors(scene.Window, clean, { 100, 80, 303, 200 }), 0);

  // Grown as a host toolkit reports a resize (the top-left corner stays):
  // the next motion takes a clean snapshot at the new size (the old band's
  // pixels, off the square, show the background) and draws the band over
  // it from the point pressed, still 400 pixels above the bottom edge
  // counted from the top: y 80 + 120.
  scene.Interactor->UpdateSize(800, 600);
  scene.MoveTo(750, 550);
  vtkUnsignedCharArray* pixels = nav->GetPixelArray();
  ASSERT_EQ(pixels->GetNumberOfTuples(), 800 * 600);
  EXPECT_EQ(xy(nav->GetStartPosition()), std::pair(100, 200));
  EXPECT_EQ(BandErrors(scene.Window, pixels, { 100, 200, 750, 550 }), 0);
  for (const int xy : { 80 * 800 + 150, 150 * 800 + 100 })
  {
    const unsigned char* g = pixels->GetPointer(4 * xy);
    EXPECT_EQ((std::array<int, 3>{ g[0], g[1], g[2] }), (std::array<int, 3>{ 51, 102, 153 }));
  }
  // Shrunk below the pressed point (now at y 200 - 530, under the window):
  // the pointer's corner clamps to (89, 69), the pressed one draws at
  // (89, 0), a band of zero width that shows only its two end pixels.
  scene.Window->SetSize(90, 70);
  scene.MoveTo(700, 500);
  EXPECT_EQ(xy(nav->GetEndPosition()), std::pair(89, 69));
  EXPECT_EQ(xy(nav->GetStartPosition()), std::pair(100, -330));
  EXPECT_EQ(BandErrors(scene.Window, pixels, { 89, 0, 89, 69 }), 0);
  scene.MoveTo(10, 20);
  EXPECT_EQ(BandErrors(scene.Window, pixels, { 10, 0, 89, 20 }), 0);
  nav->EndBoxZoom();

  // Resized between two drags with no render in between: the next band's
  // snapshot is the scene at the new size, not the old frame.
  scene.Interactor->UpdateSize(700, 500);
  vtkSmartPointer<vtkUnsignedCharArray> fresh = scene.Start(100, 80);
  ASSERT_EQ(fresh->GetNumberOfTuples(), 700 * 500);
  scene.Path(650, 450, 653, 450, 4);
  EXPECT_EQ(BandErrors(scene.Window, fresh, { 100, 80, 653, 450 }), 0);
  nav->EndBoxZoom();
  EXPECT_EQ(BandErrors(scene.Window, fresh), 0) << "the scene as rendered";
}
