// orvi-qt driven by real X11 input: xdotool moves the X pointer and presses
// buttons and keys through the XTEST extension, the X server delivers the
// events to the window as it would a hand's, and the truth is what the X
// server shows: the window's pixels read back from the screen, never a
// fresh render. The window runs in this process (its event loop turns
// between the steps); the quit keys run orvi-qt itself.
#include "orviGmshMesh.h"
#include "orviMeshLoader.h"
#include "orviQtWindow.h"

#include "QVTKOpenGLNativeWidget.h"
#include "vtkCallbackCommand.h"
#include "vtkCamera.h"
#include "vtkMath.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"
#include <iostream>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QSurfaceFormat>
#include <QThread>
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

// Runs xdotool with these arguments and waits for it.
bool XDo(const QStringList& args)
{
  QProcess xdo;
  xdo.start(QStringLiteral("xdotool"), args);
  return xdo.waitForFinished(10000) && xdo.exitStatus() == QProcess::NormalExit &&
    xdo.exitCode() == 0;
}

bool HaveXDo()
{
  return XDo({ QStringLiteral("version") });
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
  return XDo(
    { QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()) });
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

// The share of pixels, in percent, that differ between two images of one size.
double PercentChanged(const QImage& a, const QImage& b)
{
  if (a.size() != b.size() || a.isNull())
  {
    return 100.0;
  }
  long changed = 0;
  for (int y = 0; y < a.height(); ++y)
  {
    for (int x = 0; x < a.width(); ++x)
    {
      changed += a.pixel(x, y) != b.pixel(x, y);
    }
  }
  return 100.0 * static_cast<double>(changed) / (a.width() * a.height());
}

// Two processes keeping both cores busy while it lives.
class Load
{
public:
  Load()
  {
    for (auto& process : this->Busy)
    {
      process = std::make_unique<QProcess>();
      process->setStandardOutputFile(QProcess::nullDevice());
      process->start(QStringLiteral("yes"), QStringList());
      process->waitForStarted();
    }
  }
  ~Load()
  {
    for (auto& process : this->Busy)
    {
      process->kill();
      process->waitForFinished();
    }
  }
  Load(const Load&) = delete;
  Load& operator=(const Load&) = delete;

private:
  std::unique_ptr<QProcess> Busy[2];
};

// The window with the generated mesh, shown, drawn and on screen.
std::unique_ptr<orvi::QtWindow> Show(Navigation nav, int width = 900, int height = 700)
{
  orvi::ViewerOptions options;
  options.Nav = nav;
  options.Width = width;
  options.Height = height;
  auto window = std::make_unique<orvi::QtWindow>(options, Log);
  std::string error;
  EXPECT_TRUE(window->ShowMeshes({ { "generated mesh", orvi::MakeDefaultMesh(error) } }, error));
  window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->GetView()->isValid(); }));
  Settle(300);
  return window;
}

vtkCamera* CameraOf(orvi::QtWindow& window)
{
  return window.GetViewer().GetRenderer()->GetActiveCamera();
}

// The window showing a mesh file with orvi-viewer's options, drawn and on screen.
std::unique_ptr<orvi::QtWindow> ShowFile(std::vector<std::string> args)
{
  std::vector<char*> argv = { const_cast<char*>("orvi-qt") };
  for (std::string& arg : args)
  {
    argv.push_back(arg.data());
  }
  orvi::ViewerOptions options;
  options.Width = 900;
  options.Height = 700;
  std::string error;
  EXPECT_TRUE(orvi::ParseViewerOptions(static_cast<int>(argv.size()), argv.data(), options, error))
    << error;
  std::vector<orvi::NamedMesh> meshes;
  EXPECT_TRUE(orvi::LoadMeshes(options.MeshFiles, Log, meshes, error)) << error;
  auto window = std::make_unique<orvi::QtWindow>(options, Log);
  EXPECT_TRUE(window->ShowMeshes(meshes, error)) << error;
  window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->GetView()->isValid(); }));
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
TEST(OrviQtX11, FlyShowsItsFramesOnABusyMachine)
{
  if (!HaveXDo())
  {
    GTEST_SKIP() << "xdotool is not installed (scripts/deps.sh installs it)";
  }
  const Navigation conventions[] = {
    Navigation::Mervo, Navigation::Catia, Navigation::StyleMervo, Navigation::StyleCatia
  };
  Load load;
  for (const Navigation nav : conventions)
  {
    SCOPED_TRACE(static_cast<int>(nav));
    auto window = Show(nav);
    QWidget* view = window->GetView();
    const QImage before = OnScreen(view);
    double start[3];
    CameraOf(*window)->GetFocalPoint(start);
    ASSERT_TRUE(PointerTo(view, QPoint(view->width() * 40 / 100, view->height() * 60 / 100)));
    ASSERT_TRUE(XDo({ QStringLiteral("click"), QStringLiteral("2") }));

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
      if (std::sqrt(vtkMath::Distance2BetweenPoints(focal, last)) > 1e-9)
      {
        CameraOf(*window)->GetFocalPoint(last);
        still.restart();
        moved = true;
      }
    }
    Settle(300);
    const QImage shown = OnScreen(view);
    EXPECT_GT(std::sqrt(vtkMath::Distance2BetweenPoints(start, last)), 0.01);
    EXPECT_GE(seen.size(), 4U) << "pictures on screen during the flight";
    EXPECT_GT(PercentChanged(before, shown), 10.0);
    EXPECT_LT(PercentChanged(shown, Rerendered(*window)), 0.5);
  }
}
//------------------------------------------------------------------------------
// The first picture of a real mesh (gmsh's t5, coloured by height, edges
// over it) is the one a fresh render of the same view gives: nothing of it
// was decided before the widget had its size.
TEST(OrviQtX11, FirstFrameOfAMeshIsAFreshRender)
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
  const QImage again = Rerendered(*window);
  EXPECT_LT(PercentChanged(first, again), 0.1);
  if (PercentChanged(first, again) >= 0.1)
  {
    first.save(QStringLiteral("orvi-qt-first-frame.png"));
    again.save(QStringLiteral("orvi-qt-rerendered.png"));
  }
}
} // namespace

int main(int argc, char* argv[])
{
  // The widget's OpenGL format must be every context's, before Qt starts.
  QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
