// orvi-qt driven by real X11 input: xdotool moves the X pointer and presses
// buttons and keys through the XTEST extension, the X server delivers the
// events to the window as it would a hand's, and the truth is what the X
// server shows: the window's pixels read back from the screen, never a
// fresh render. The window runs in this process (its event loop turns
// between the steps); the quit keys run orvi-qt itself.
#include "orviButtonBindings.h"
#include "orviGmshMesh.h"
#include "orviMeshes.h"
#include "orviQtTestWindow.h"
#include "orviQtWindow.h"
#include "orviSolverData.h"

#include "QVTKOpenGLNativeWidget.h"
#include "vtkCamera.h"
#include "vtkMath.h"
#include "vtkMatrix4x4.h"
#include "vtkMervoInteractor.h"
#include "vtkRenderer.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QListWidget>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QSurfaceFormat>
#include <QThread>
#include <QToolBar>
#include <QVariant>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <vector>

namespace
{
using orvi::Navigation;

std::ostringstream Log;

// xdotool, without the libraries a sanitized test preloads: their leak
// check would fail the tool at its exit.
template <typename... Words>
void StartXDo(QProcess& xdo, const Words&... words)
{
  QStringList args;
  (args << ... << QVariant(words).toString());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove(QStringLiteral("LD_PRELOAD"));
  xdo.setProcessEnvironment(environment);
  xdo.start(QStringLiteral("xdotool"), args);
}

// Runs xdotool with these arguments and waits for it.
template <typename... Words>
bool XDo(const Words&... words)
{
  QProcess xdo;
  StartXDo(xdo, words...);
  return xdo.waitForFinished(10000) && xdo.exitStatus() == QProcess::NormalExit &&
    xdo.exitCode() == 0;
}

// Lets the event loop run for that long.
void Settle(int milliseconds)
{
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds)
  {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

// The X pointer moved to a point of the view (the view's own coordinates).
bool PointerTo(QWidget* view, QPoint at)
{
  const QPoint global = view->mapToGlobal(at);
  return XDo("mousemove", global.x(), global.y());
}

// What the screen shows of a widget: the top-level window's pixels read
// from the X server, cut to the widget.
QImage OnScreen(QWidget* widget)
{
  QWidget* top = widget->window();
  const QImage all = QGuiApplication::primaryScreen()->grabWindow(top->winId()).toImage();
  return all.copy(QRect(widget->mapTo(top, QPoint(0, 0)), widget->size()))
    .convertToFormat(QImage::Format_RGB32);
}

// What the screen shows of a widget once it stops changing (half a second
// apart), the events of the steps before handled.
QImage Steady(QWidget* widget)
{
  QImage shown;
  QImage now = OnScreen(widget);
  do
  {
    shown = now;
    Settle(500);
    now = OnScreen(widget);
  } while (now != shown);
  return now;
}

using orvi_test::CameraOf;
using orvi_test::PercentChanged;

// The window with the generated mesh, shown, drawn and on screen.
std::unique_ptr<orvi::QtWindow> Show(Navigation nav, int width = 900, int height = 700)
{
  auto window = orvi_test::ShowGeneratedMesh(nav, width, height, Log);
  Settle(300);
  return window;
}

// The tests that drive the window with xdotool skip without it.
class OrviQtX11 : public testing::Test
{
protected:
  void SetUp() override
  {
    if (!XDo("version"))
    {
      GTEST_SKIP() << "xdotool is not installed (scripts/deps.sh installs it)";
    }
  }
};

// The window showing a mesh file with orvi-qt's options, drawn and on screen.
std::unique_ptr<orvi::QtWindow> ShowFile(const std::vector<std::string>& args)
{
  auto window = orvi_test::ShowCommandLine(args, Log);
  Settle(500);
  return window;
}

// What the view shows after a fresh render, painted.
QImage Rerendered(orvi::QtWindow& window)
{
  window.GetViewer().Render();
  window.GetView()->repaint();
  Settle(200);
  return OnScreen(window.GetView());
}

//------------------------------------------------------------------------------
// A middle click on the mesh flies there in every convention, with both
// cores kept busy by other processes (every frame then takes long): the
// screen shows the flight's frames while it goes on, several different
// pictures before the camera stops, and once the camera stops, the same
// picture a fresh render of the flown camera gives.
TEST_F(OrviQtX11, FlyShowsItsFramesOnABusyMachine)
{
  const Navigation conventions[] = {
    Navigation::Mervo, Navigation::Catia, Navigation::StyleMervo, Navigation::StyleCatia
  };
  // Two processes keeping both cores busy (QProcess kills its own at the end).
  QProcess load[2];
  for (QProcess& busy : load)
  {
    busy.setStandardOutputFile(QProcess::nullDevice());
    busy.start(QStringLiteral("yes"), QStringList());
  }
  for (const Navigation nav : conventions)
  {
    SCOPED_TRACE(static_cast<int>(nav));
    auto window = Show(nav);
    QWidget* view = window->GetView();
    const QImage before = OnScreen(view);
    double start[3];
    CameraOf(*window)->GetFocalPoint(start);
    ASSERT_TRUE(PointerTo(view, QPoint(view->width() * 40 / 100, view->height() * 60 / 100)));
    ASSERT_TRUE(XDo("click", "2"));

    // From the first motion of the focal point until it has not moved for
    // four seconds (a frame takes about a second here): every picture the
    // screen shows on the way.
    std::vector<QImage> seen = { before };
    double last[3] = { start[0], start[1], start[2] };
    QElapsedTimer still, total;
    still.start();
    total.start();
    bool moved = false;
    while ((moved ? still.elapsed() < 4000 : total.elapsed() < 30000) && total.elapsed() < 120000)
    {
      Settle(50);
      const QImage now = OnScreen(view);
      if (PercentChanged(now, seen.back()) > 0.5)
      {
        seen.push_back(now);
      }
      const double* focal = CameraOf(*window)->GetFocalPoint();
      if (orvi_test::Distance(focal, last) > 1e-9)
      {
        CameraOf(*window)->GetFocalPoint(last);
        still.restart();
        moved = true;
      }
    }
    Settle(300);
    const QImage shown = OnScreen(view);
    EXPECT_GT(orvi_test::Distance(start, last), 0.01);
    EXPECT_GE(seen.size(), 4U) << "pictures on screen during the flight";
    EXPECT_GT(PercentChanged(before, shown), 10.0);
    const QImage again = Rerendered(*window);
    EXPECT_LT(PercentChanged(shown, again), 0.5);
  }
}
//------------------------------------------------------------------------------
// The first picture of a real mesh (gmsh's t5, coloured by height, edges
// over it) is the one a fresh render of the same view gives: nothing of it
// was decided before the widget had its size.
TEST_F(OrviQtX11, FirstFrameOfAMeshIsAFreshRender)
{
  std::string why;
  const std::string t5 =
    orvi_test::MeshGmshTutorial("t5", std::filesystem::temp_directory_path() / "orvi-qt-x11", why);
  if (t5.empty())
  {
    GTEST_SKIP() << why;
  }
  auto window = ShowFile({ "--up", "+Z", "--elevation", t5 });
  QWidget* view = window->GetView();
  const QImage first = OnScreen(view);
  EXPECT_LT(PercentChanged(first, Rerendered(*window)), 0.1);
}
//------------------------------------------------------------------------------
// q and e quit orvi-qt in every convention: typed on its window, the window
// leaves the screen and the program ends with status 0.
TEST_F(OrviQtX11, QuitKeysCloseOrviQt)
{
  const char* const conventions[] = { "mervo", "catia", "style-mervo", "style-catia" };
  for (const char* nav : conventions)
  {
    for (const char* key : { "q", "e" })
    {
      SCOPED_TRACE(std::string(nav) + " " + key);
      QProcess qt;
      qt.setProcessChannelMode(QProcess::ForwardedErrorChannel);
      qt.start(
        QStringLiteral(ORVI_QT_EXECUTABLE), QString("--nav %1 --size 500 400").arg(nav).split(' '));
      QProcess search;
      StartXDo(search, "search", "--sync", "--onlyvisible", "--pid", qt.processId());
      ASSERT_TRUE(search.waitForFinished(60000));
      const QString id = QString::fromUtf8(search.readAllStandardOutput()).split('\n').first();
      ASSERT_FALSE(id.isEmpty()) << "orvi-qt's window did not show";
      Settle(500);
      ASSERT_TRUE(XDo("windowfocus", "--sync", id));
      // A slow start (a sanitized build) may still be mapping the window.
      bool moved = false;
      for (int attempt = 0; attempt < 20 && !moved; ++attempt)
      {
        moved = XDo("mousemove", "--window", id, "250", "200");
        if (!moved)
        {
          Settle(250);
        }
      }
      ASSERT_TRUE(moved);
      ASSERT_TRUE(XDo("key", key));
      EXPECT_TRUE(qt.waitForFinished(30000));
      EXPECT_EQ(qt.exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(qt.exitCode(), 0);
      EXPECT_FALSE(XDo("search", "--onlyvisible", "--pid", qt.processId()));
      if (qt.state() != QProcess::NotRunning)
      {
        qt.kill();
        qt.waitForFinished();
      }
    }
  }
}

//------------------------------------------------------------------------------
// The share, in percent, of the pixels of row y between x0 and x1 that are
// the inverse of the pixel above them (within a small step of the scene's
// own shading): the top edge of a band drawn over the scene.
double InvertedRow(const QImage& image, int y, int x0, int x1)
{
  int inverted = 0;
  for (int x = x0; x <= x1; ++x)
  {
    const QRgb a = image.pixel(x, y);
    const QRgb b = image.pixel(x, y - 1);
    inverted += std::abs(qRed(a) - (255 - qRed(b))) <= 6 &&
      std::abs(qGreen(a) - (255 - qGreen(b))) <= 6 && std::abs(qBlue(a) - (255 - qBlue(b))) <= 6;
  }
  return 100.0 * inverted / (x1 - x0 + 1);
}

// A right drag of the Mervo navigator pressed at (250, 150) in the view and
// moved to (550, 390), every corner on the model; the window is made 20 pixels taller, then shorter,
// through the X server while the button is held, and the pointer moves on:
// the band's top edge stays on the row pressed, 150 from the view's top.
TEST_F(OrviQtX11, BandKeepsItsCornerWhenTheWindowIsResized)
{
  auto window = Show(Navigation::Mervo);
  QWidget* view = window->GetView();
  const QString id = QString::number(window->winId());
  ASSERT_TRUE(PointerTo(view, QPoint(250, 150)));
  ASSERT_TRUE(XDo("mousedown", "3"));
  Settle(200);
  for (int i = 1; i <= 6; ++i)
  {
    ASSERT_TRUE(PointerTo(view, QPoint(250 + 50 * i, 150 + 40 * i)));
    Settle(100);
  }
  for (const int change : { 20, -60 })
  {
    SCOPED_TRACE(change);
    const QSize size = window->size() + QSize(0, change);
    ASSERT_TRUE(XDo("windowsize", id, size.width(), size.height()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->size() == size; }, 10000));
    for (const QPoint to : { QPoint(540, 380), QPoint(550, 390) })
    {
      ASSERT_TRUE(PointerTo(view, to));
      Settle(300);
    }
    // Over the mesh's edges a row's neighbour above differs from it at
    // places: the band's row is still far more often its inverse.
    const QImage screen = OnScreen(view);
    EXPECT_GT(InvertedRow(screen, 150, 255, 530), 30.0);
    EXPECT_LT(InvertedRow(screen, 150 + change, 255, 530), 10.0);
  }
  vtkNew<vtkCamera> before;
  before->DeepCopy(CameraOf(*window));
  ASSERT_TRUE(XDo("mouseup", "3"));
  // The release handled (it zooms and renders), then what the screen shows.
  ASSERT_TRUE(
    QTest::qWaitFor([&] { return window->GetViewer().GetMervo()->IsStateNone(); }, 30000));
  const QImage shown = Steady(view);
  // The zoom used the band as drawn: the new focal point lies inside it as
  // the camera before the zoom saw it; the band is gone from the screen.
  const QPointF focal =
    orvi_test::Projected(before, CameraOf(*window)->GetFocalPoint(), view->size());
  EXPECT_TRUE(QRectF(QPointF(250, 150), QPointF(550, 390)).contains(focal))
    << focal.x() << " " << focal.y();
  EXPECT_LT(InvertedRow(shown, 150, 255, 530), 10.0);
}

//------------------------------------------------------------------------------
// The status bar keeps the convention's buttons, and the last pick's result
// beside them, when a menu is opened with Alt+V and closed with Escape: the
// screen shows the same status bar before and after.
TEST_F(OrviQtX11, StatusBarKeepsItsTextOverAMenu)
{
  auto window = Show(Navigation::Mervo);
  QWidget* view = window->GetView();
  const QString id = QString::number(window->winId());
  ASSERT_TRUE(XDo("windowfocus", "--sync", id));
  // A Ctrl + right drag picks.
  ASSERT_TRUE(PointerTo(view, QPoint(350, 260)));
  ASSERT_TRUE(XDo("keydown", "ctrl"));
  ASSERT_TRUE(XDo("mousedown", "3"));
  for (int i = 1; i <= 6; ++i)
  {
    ASSERT_TRUE(PointerTo(view, QPoint(350 + 25 * i, 260 + 20 * i)));
    Settle(50);
  }
  ASSERT_TRUE(XDo("mouseup", "3"));
  ASSERT_TRUE(XDo("keyup", "ctrl"));
  ASSERT_TRUE(
    QTest::qWaitFor([&] { return !window->GetViewer().GetLastPickSummary().empty(); }, 30000));
  const std::string summary = window->GetViewer().GetLastPickSummary();
  EXPECT_EQ(window->GetConventionText().toStdString(), orvi::DescribeBindings(Navigation::Mervo));
  QStatusBar* bar = window->statusBar();
  const QImage before = Steady(bar);
  ASSERT_TRUE(XDo("key", "alt+v"));
  Settle(500);
  EXPECT_TRUE(QApplication::activePopupWidget() != nullptr) << "the View menu opened";
  ASSERT_TRUE(XDo("key", "Escape"));
  Settle(300);
  ASSERT_TRUE(XDo("key", "Escape"));
  Settle(500);
  EXPECT_EQ(PercentChanged(before, OnScreen(bar)), 0.0);
  EXPECT_EQ(window->GetPickText().toStdString(), summary);
}
//------------------------------------------------------------------------------
// A solver's results, gmsh's t5 as an Exodus file of two element blocks and
// three steps, driven through the time bar and the parts dock: a click on
// the slider's groove shows the last step as a window opened at that step
// draws it; play steps on to the end and stops, pause stops it where it is;
// a space on a part's row hides that part as --parts leaves it out. The
// status bar says the step and its time.
TEST_F(OrviQtX11, TimeBarAndPartsDockShowWhatTheyChoose)
{
  const auto dir = std::filesystem::temp_directory_path() / "orvi-qt-x11-time";
  std::filesystem::create_directories(dir);
  std::string why;
  const auto grid = orvi_test::GmshTetrahedra("t5", dir, why, "-3 -clscale 2");
  if (!grid)
  {
    GTEST_SKIP() << why;
  }
  const std::string exodus = orvi_test::WriteExodus(grid, dir, "t5", { 0, 0.5, 1 });
  const auto open = [&](std::vector<std::string> words)
  {
    words.insert(words.end(), { "--array", "temperature", "--range", "-1", "2", exodus });
    return ShowFile(words);
  };
  auto window = open({});
  // What a window opened alone on the command line shows with the camera of
  // the one stepped (the reader moves the points by the displacement, and a
  // window keeps its camera from step to step), closed again.
  const auto alone = [&](const std::vector<std::string>& words)
  {
    auto other = open(words);
    CameraOf(*other)->DeepCopy(CameraOf(*window));
    other->GetViewer().Render();
    return Steady(other->GetView());
  };
  orvi::Viewer& viewer = window->GetViewer();
  QSlider* slider = window->GetTimeSlider();
  QWidget* play = window->findChild<QToolBar*>("time")->widgetForAction(window->GetPlayAction());
  const auto click = [](QWidget* widget, QPoint at)
  { return PointerTo(widget, at) && XDo("click", "1"); };
  const auto groove = [&](bool right)
  { return click(slider, QPoint(right ? slider->width() - 4 : 4, slider->height() / 2)); };
  EXPECT_EQ(window->GetStepText().toStdString(), "step 1 of 3, t = 0");

  ASSERT_TRUE(groove(true));
  ASSERT_TRUE(QTest::qWaitFor([&] { return viewer.GetStep() == 2; }, 30000));
  const QImage last = Steady(window->GetView());
  EXPECT_EQ(window->GetStepText().toStdString(), "step 3 of 3, t = 1");
  EXPECT_LT(PercentChanged(last, alone({ "--step", "3" })), 0.5);

  // Play from the first step: every step shown in turn, then it stops.
  ASSERT_TRUE(groove(false));
  ASSERT_TRUE(QTest::qWaitFor([&] { return viewer.GetStep() == 0; }, 30000));
  ASSERT_TRUE(click(play, QPoint(play->width() / 2, play->height() / 2)));
  std::vector<std::size_t> shown = { 0 };
  QElapsedTimer timer;
  timer.start();
  while (
    (window->GetPlayAction()->isChecked() || timer.elapsed() < 1000) && timer.elapsed() < 60000)
  {
    Settle(10);
    if (viewer.GetStep() != shown.back())
    {
      shown.push_back(viewer.GetStep());
    }
  }
  EXPECT_EQ(shown, (std::vector<std::size_t>{ 0, 1, 2 }));
  EXPECT_EQ(window->GetPlayAction()->text().toStdString(), "Play");
  // Pause on the second step: it stays there.
  ASSERT_TRUE(groove(false));
  ASSERT_TRUE(QTest::qWaitFor([&] { return viewer.GetStep() == 0; }, 30000));
  ASSERT_TRUE(click(play, QPoint(play->width() / 2, play->height() / 2)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return viewer.GetStep() == 1; }, 30000));
  QTest::mouseClick(play, Qt::LeftButton);
  Settle(1000);
  EXPECT_EQ(viewer.GetStep(), 1U);
  EXPECT_FALSE(window->GetPlayAction()->isChecked());
  EXPECT_EQ(window->GetStepText().toStdString(), "step 2 of 3, t = 0.5");

  // The dock's second row unchecked by a click on its name and a space.
  QListWidget* parts = window->GetPartsList();
  ASSERT_EQ(parts->count(), 2);
  const QRect row = parts->visualItemRect(parts->item(1));
  ASSERT_TRUE(click(parts->viewport(), row.center()));
  ASSERT_TRUE(XDo("key", "space"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !viewer.IsPartVisible(1); }, 30000));
  EXPECT_TRUE(viewer.IsPartVisible(0));
  const QImage first = Steady(window->GetView());
  EXPECT_GT(PercentChanged(first, alone({ "--step", "2" })), 5.0);
  EXPECT_LT(PercentChanged(first, alone({ "--step", "2", "--parts", "first" })), 0.5);
  // File > Open's multiblock file: its blocks listed, no time bar.
  const std::string vtm = orvi_test::WriteTwoBlocks(grid, dir, "blocks");
  ASSERT_TRUE(window->OpenFiles({ QString::fromStdString(vtm) }));
  EXPECT_EQ(parts->item(1)->text().toStdString(), "second");
  EXPECT_FALSE(window->findChild<QToolBar*>("time")->isVisible());
}
} // namespace

int main(int argc, char* argv[])
{
  return orvi_test::RunQtTests(argc, argv);
}
