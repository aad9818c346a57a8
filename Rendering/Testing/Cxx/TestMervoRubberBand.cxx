#include "vtkMervoInteractor.h"

#include "orviTestUtils.h"

#include "vtkActor.h"
#include "vtkPolyDataMapper.h"
#include "vtkSphereSource.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace
{
using ProbeNavigator = orvi_test::MervoProbe;

// Compares the screen with the snapshot: pixels for which onOutline holds
// must show the snapshot's red, green and blue inverted and its alpha; all
// others the snapshot unchanged. Returns a description of the first
// mismatches, empty when all agree.
std::string CompareBand(vtkUnsignedCharArray* screen,
  vtkUnsignedCharArray* snapshot,
  int w,
  int h,
  const std::function<bool(int, int)>& onOutline)
{
  if (screen->GetNumberOfValues() != 4 * w * h || snapshot->GetNumberOfValues() != 4 * w * h)
  {
    return "sizes differ";
  }
  std::string errors;
  int count = 0;
  const unsigned char* s = screen->GetPointer(0);
  const unsigned char* p = snapshot->GetPointer(0);
  for (int y = 0; y < h; ++y)
  {
    for (int x = 0; x < w; ++x)
    {
      const int i = 4 * (y * w + x);
      const bool inverted = onOutline(x, y);
      for (int c = 0; c < 4; ++c)
      {
        const int expected = (inverted && c < 3) ? 255 - p[i + c] : p[i + c];
        if (s[i + c] != expected && count++ < 5)
        {
          errors += "(" + std::to_string(x) + "," + std::to_string(y) + ")[" + std::to_string(c) +
            "]=" + std::to_string(s[i + c]) + " expected " + std::to_string(expected) + "; ";
        }
      }
    }
  }
  return errors;
}

// The outline of the band between the two corners (inclusive), in a window
// of w x h pixels, as the set of pixels inverted once.
std::function<bool(int, int)> Outline(int x0, int y0, int x1, int y1)
{
  return [=](int x, int y)
  {
    const bool onRow = (y == y0) != (y == y1) && x >= x0 && x <= x1;
    const bool onColumn = y > y0 && y < y1 && ((x == x0) != (x == x1));
    return onRow || onColumn;
  };
}

// A scene with something to see: a grey-blue background and a sphere.
struct BandScene : orvi_test::Scene
{
  BandScene()
    : orvi_test::Scene(640, 480)
  {
    this->Renderer->SetBackground(0.2, 0.4, 0.6);
    vtkNew<vtkSphereSource> sphere;
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputConnection(sphere->GetOutputPort());
    vtkNew<vtkActor> actor;
    actor->SetMapper(mapper);
    this->Renderer->AddActor(actor);
    this->Interactor->SetInteractorStyle(this->Nav);
    this->Interactor->Initialize();
    this->Window->Render();
  }
  // The screen against the snapshot, with the outline's pixels inverted.
  std::string Band(vtkUnsignedCharArray* snapshot, const std::function<bool(int, int)>& outline)
  {
    const int* size = this->Window->GetSize();
    return CompareBand(orvi_test::Frame(this->Window).Data, snapshot, size[0], size[1], outline);
  }
  // Starts a band at (x, y), returning a copy of the snapshot it took.
  vtkSmartPointer<vtkUnsignedCharArray> Start(int x, int y)
  {
    this->SetPointer(x, y);
    this->Nav->ClearMoved();
    this->Nav->StartBoxZoom();
    auto copy = vtkSmartPointer<vtkUnsignedCharArray>::New();
    copy->DeepCopy(this->Nav->GetPixelArray());
    return copy;
  }
  vtkNew<ProbeNavigator> Nav;
};
} // namespace

TEST(MervoRubberBand, SnapshotWithoutEventsBandFromTheFourthMotionInvertedAndClamped)
{
  BandScene scene;
  ProbeNavigator* nav = scene.Nav;
  orvi_test::EventRecorder startInteraction(nav, vtkCommand::StartInteractionEvent);
  orvi_test::EventRecorder endInteraction(nav, vtkCommand::EndInteractionEvent);
  orvi_test::EventRecorder timers(scene.Interactor, vtkCommand::CreateTimerEvent);
  orvi_test::Frame before(scene.Window);
  auto nothing = [](int, int) { return false; };

  // The start takes the snapshot of the screen, fires nothing, starts no timer.
  nav->UseTimersOn();
  vtkSmartPointer<vtkUnsignedCharArray> snapshot = scene.Start(100, 80);
  EXPECT_TRUE(nav->IsStateBoxZoom());
  EXPECT_EQ(CompareBand(snapshot, before.Data, 640, 480, nothing), "");
  EXPECT_EQ(startInteraction.Count, 0);
  EXPECT_EQ(timers.Count, 0);

  // Three motions draw nothing.
  scene.MoveTo(150, 100);
  scene.MoveTo(200, 120);
  scene.MoveTo(300, 200);
  EXPECT_EQ(scene.Band(snapshot, nothing), "");
  EXPECT_EQ(nav->GetEndPosition()[0], 100) << "no band update before the fourth motion";

  // The fourth, outside the window: clamped to (639, 0), outline from x 100
  // to 639 and y 0 to 80; red, green and blue inverted, alpha kept.
  scene.MoveTo(700, -20);
  EXPECT_EQ(nav->GetEndPosition()[0], 639);
  EXPECT_EQ(nav->GetEndPosition()[1], 0);
  EXPECT_EQ(scene.Band(snapshot, Outline(100, 0, 639, 80)), "");
  // The next draw erases the previous band.
  scene.MoveTo(300, 200);
  EXPECT_EQ(scene.Band(snapshot, Outline(100, 80, 300, 200)), "");
  // Zero height: the start row shows unchanged, nothing else is drawn.
  scene.MoveTo(250, 80);
  EXPECT_EQ(scene.Band(snapshot, nothing), "");
  // Zero width: only the two end pixels.
  scene.MoveTo(100, 200);
  EXPECT_EQ(
    scene.Band(snapshot, [](int x, int y) { return x == 100 && (y == 80 || y == 200); }), "");
  // Past the top right corner.
  scene.MoveTo(5000, 5000);
  EXPECT_EQ(nav->GetEndPosition()[0], 639);
  EXPECT_EQ(nav->GetEndPosition()[1], 479);
  EXPECT_EQ(scene.Band(snapshot, Outline(100, 80, 639, 479)), "");

  // The snapshot itself is never drawn into.
  EXPECT_EQ(CompareBand(nav->GetPixelArray(), snapshot, 640, 480, nothing), "");
  EXPECT_EQ(nav->GetMoved(), 8);
  // Ending the band renders the scene: the band is gone.
  nav->EndBoxZoom();
  EXPECT_TRUE(nav->IsStateNone());
  EXPECT_EQ(endInteraction.Count, 1);
  EXPECT_EQ(scene.Band(snapshot, nothing), "");
}

TEST(MervoRubberBand, WindowResizedBeforeOrDuringTheDrag)
{
  BandScene scene;
  ProbeNavigator* nav = scene.Nav;
  vtkSmartPointer<vtkUnsignedCharArray> clean = scene.Start(100, 80);
  for (int i = 0; i < 4; ++i)
  {
    scene.MoveTo(300 + i, 200);
  }
  EXPECT_EQ(scene.Band(clean, Outline(100, 80, 303, 200)), "");

  // Grow the window the way a host toolkit reports a resize: the next motion
  // takes a clean snapshot at the new size (no old band in it) and draws the
  // band over it.
  scene.Interactor->UpdateSize(800, 600);
  scene.MoveTo(750, 550);
  ASSERT_EQ(scene.Window->GetSize()[0], 800);
  vtkUnsignedCharArray* pixels = nav->GetPixelArray();
  ASSERT_EQ(pixels->GetNumberOfTuples(), 800 * 600);
  vtkNew<vtkUnsignedCharArray> grown;
  grown->DeepCopy(pixels);
  EXPECT_EQ(scene.Band(grown, Outline(100, 80, 750, 550)), "");
  // Pixels of the old band, away from the sphere, show the background in
  // the new snapshot.
  for (const auto& xy : { std::array<int, 2>{ 150, 80 }, std::array<int, 2>{ 100, 150 } })
  {
    const unsigned char* g = grown->GetPointer(4 * (xy[1] * 800 + xy[0]));
    EXPECT_EQ((std::array<int, 3>{ g[0], g[1], g[2] }), (std::array<int, 3>{ 51, 102, 153 }))
      << xy[0] << "," << xy[1];
  }

  // Shrink it below the start corner: everything is clamped to the window.
  scene.Window->SetSize(90, 70);
  scene.MoveTo(700, 500);
  EXPECT_EQ(nav->GetEndPosition()[0], 89);
  EXPECT_EQ(nav->GetEndPosition()[1], 69);
  ASSERT_EQ(pixels->GetNumberOfTuples(), 90 * 70);
  vtkNew<vtkUnsignedCharArray> shrunk;
  shrunk->DeepCopy(pixels);
  // Both corners clamp to (89, 69): one pixel on both rows and columns, so
  // nothing shows.
  EXPECT_EQ(scene.Band(shrunk, [](int, int) { return false; }), "");
  scene.MoveTo(10, 20);
  EXPECT_EQ(scene.Band(shrunk, Outline(10, 20, 89, 69)), "");
  nav->EndBoxZoom();
  EXPECT_TRUE(nav->IsStateNone());

  // Resized between two drags, with no render in between: the next band's
  // snapshot is the scene at the new size, not the old frame and whatever
  // lies past it.
  scene.Interactor->UpdateSize(700, 500);
  vtkSmartPointer<vtkUnsignedCharArray> fresh = scene.Start(100, 80);
  ASSERT_EQ(fresh->GetNumberOfTuples(), 700 * 500);
  for (int i = 0; i < 4; ++i)
  {
    scene.MoveTo(650 + i, 450);
  }
  EXPECT_EQ(scene.Band(fresh, Outline(100, 80, 653, 450)), "");
  nav->EndBoxZoom();
  EXPECT_EQ(scene.Band(fresh, [](int, int) { return false; }), "") << "the scene as rendered";
}
