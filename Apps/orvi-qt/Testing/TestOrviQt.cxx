// orvi-qt driven as a user drives it: QtTest's mouse functions put Qt mouse
// events through the window system interface into the main window, whose
// QVTKOpenGLNativeWidget hands them to VTK's interactor. The truth is the
// camera, the picked cell ids and the widget's framebuffer.
#include "orviMeshLoader.h"
#include "orviQtWindow.h"

#include "QVTKOpenGLNativeWidget.h"
#include "vtkCamera.h"
#include "vtkDataSet.h"
#include "vtkMath.h"
#include "vtkMatrix4x4.h"
#include "vtkMervoInteractor.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QSurfaceFormat>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using orvi::Navigation;
using orvi::PickMode;

std::ostringstream Log;

// The window with the generated mesh, shown and drawn once.
std::unique_ptr<orvi::QtWindow> Show(Navigation nav, PickMode pick = PickMode::Visible)
{
  orvi::ViewerOptions options;
  options.Nav = nav;
  options.Pick = pick;
  options.Width = 640;
  options.Height = 520;
  auto window = std::make_unique<orvi::QtWindow>(options, Log);
  std::string error;
  EXPECT_TRUE(window->ShowMeshes({ { "generated mesh", orvi::MakeDefaultMesh(error) } }, error));
  window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->GetView()->isValid(); }));
  window->GetViewer().Render();
  QApplication::processEvents();
  return window;
}

// Mouse events at points of the view, sent to the main window.
void Mouse(orvi::QtWindow& window,
  QTest::MouseAction action,
  QPoint at,
  Qt::MouseButton button = Qt::NoButton,
  Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
  const QPoint inWindow = window.GetView()->mapTo(&window, at);
  QTest::mouseEvent(action, window.windowHandle(), button, modifiers, inWindow);
}

// Moves the pointer from one point to another in `steps` motions.
void MoveAlong(orvi::QtWindow& window, QPoint from, QPoint to, int steps = 8)
{
  for (int i = 1; i <= steps; ++i)
  {
    Mouse(window, QTest::MouseMove, from + (to - from) * i / steps);
  }
}

vtkCamera* CameraOf(orvi::QtWindow& window)
{
  return window.GetViewer().GetRenderer()->GetActiveCamera();
}

// Where `camera` shows a world point, in the view's pixels from the top.
QPointF Project(orvi::QtWindow& window, vtkCamera* camera, const double world[3])
{
  const QSize size = window.GetView()->size();
  double p[4] = { world[0], world[1], world[2], 1.0 };
  camera->GetCompositeProjectionTransformMatrix(size.width() / double(size.height()), -1, 1)
    ->MultiplyPoint(p, p);
  return { (p[0] / p[3] + 1.0) * size.width() / 2.0, (1.0 - p[1] / p[3]) * size.height() / 2.0 };
}

// The pixels of the band's outline that are not the inverse of the frame
// before the drag.
int OutlineNotInverted(const QImage& before, const QImage& during, QRect band)
{
  int wrong = 0;
  for (int y = band.top(); y <= band.bottom(); ++y)
  {
    const bool edge = y == band.top() || y == band.bottom();
    for (int x = band.left(); x <= band.right(); x += edge ? 1 : band.width() - 1)
    {
      const QRgb a = before.pixel(x, y), b = during.pixel(x, y);
      wrong +=
        (qRed(b) != 255 - qRed(a) || qGreen(b) != 255 - qGreen(a) || qBlue(b) != 255 - qBlue(a));
    }
  }
  return wrong;
}

//------------------------------------------------------------------------------
// The convention, chosen in the Navigation menu: its rotate gesture turns the
// camera about the rotation centre (the centre keeps its distance to the
// camera, the view direction turns). Mervo: a left click on the model sets
// the centre, a left drag rotates; CATIA: a left drag with the middle button
// held rotates about the focal point.
struct RotateCase
{
  Navigation Nav;
  const char* MenuItem;
  std::vector<Qt::MouseButton> Buttons; // pressed in order, released in reverse
};
void PrintTo(const RotateCase& c, std::ostream* os)
{
  *os << c.MenuItem;
}
using OrviQtRotate = testing::TestWithParam<RotateCase>;

TEST_P(OrviQtRotate, DragTurnsTheCameraAboutTheCentre)
{
  auto window = Show(Navigation::StyleCatia);
  for (QAction* item : window->menuBar()->findChildren<QAction*>())
  {
    if (item->text() == GetParam().MenuItem)
    {
      item->trigger();
    }
  }
  ASSERT_EQ(window->GetViewer().GetOptions().Nav, GetParam().Nav);
  auto* view = window->GetView();
  const QPoint from(view->width() * 45 / 100, view->height() * 55 / 100);
  const QPoint to = from + QPoint(view->width() / 5, view->height() / 8);
  vtkMervoInteractor* mervo = window->GetViewer().GetMervo();
  vtkCamera* camera = CameraOf(*window);
  double centre[3], before[3];
  camera->GetFocalPoint(centre);
  if (mervo)
  {
    Mouse(*window, QTest::MouseClick, from, Qt::LeftButton);
    mervo->GetRotationCenter(centre);
    EXPECT_GT(std::sqrt(vtkMath::Distance2BetweenPoints(centre, camera->GetFocalPoint())), 0.01);
  }
  camera->GetDirectionOfProjection(before);
  const double distance = std::sqrt(vtkMath::Distance2BetweenPoints(centre, camera->GetPosition()));

  for (Qt::MouseButton button : GetParam().Buttons)
  {
    Mouse(*window, QTest::MousePress, from, button);
  }
  MoveAlong(*window, from, to);
  for (auto b = GetParam().Buttons.rbegin(); b != GetParam().Buttons.rend(); ++b)
  {
    Mouse(*window, QTest::MouseRelease, to, *b);
  }

  const double moved = std::sqrt(vtkMath::Distance2BetweenPoints(centre, camera->GetPosition()));
  EXPECT_NEAR(moved, distance, 1e-6 * distance);
  const double turn = vtkMath::DegreesFromRadians(
    std::acos(std::min(1.0, vtkMath::Dot(before, camera->GetDirectionOfProjection()))));
  EXPECT_GT(turn, 5.0);
}

INSTANTIATE_TEST_SUITE_P(OrviQt,
  OrviQtRotate,
  testing::Values(RotateCase{ Navigation::Mervo, "Mervo navigator", { Qt::LeftButton } },
    RotateCase{ Navigation::Catia, "CATIA navigator", { Qt::MiddleButton, Qt::LeftButton } }));

//------------------------------------------------------------------------------
// Mervo's right drag: every pixel of the band's outline is the inverse of the
// frame before the drag, in the widget's framebuffer; the release zooms onto
// the box: the new focal point lies inside it, and the view narrows.
TEST(OrviQt, RightDragShowsTheBandAndZoomsOntoIt)
{
  auto window = Show(Navigation::Mervo);
  auto* view = window->GetView();
  const QImage before = window->GetView()->grabFramebuffer();
  const QRect band(QPoint(view->width() * 3 / 10, view->height() * 3 / 10),
    QPoint(view->width() * 7 / 10, view->height() * 2 / 3));
  vtkNew<vtkCamera> old;
  old->DeepCopy(CameraOf(*window));

  Mouse(*window, QTest::MousePress, band.topLeft(), Qt::RightButton);
  MoveAlong(*window, band.topLeft(), band.bottomRight());
  const QImage during = window->GetView()->grabFramebuffer();
  ASSERT_EQ(during.size(), before.size());
  EXPECT_EQ(OutlineNotInverted(before, during, band), 0);
  EXPECT_EQ(during.pixel(band.center()), before.pixel(band.center()));
  Mouse(*window, QTest::MouseRelease, band.bottomRight(), Qt::RightButton);

  const QPointF focal = Project(*window, old, CameraOf(*window)->GetFocalPoint());
  EXPECT_TRUE(QRectF(band).contains(focal)) << focal.x() << " " << focal.y();
  const auto viewHeight = [](vtkCamera* camera)
  { return camera->GetDistance() * std::tan(vtkMath::RadiansFromDegrees(camera->GetViewAngle())); };
  EXPECT_LT(viewHeight(CameraOf(*window)), 0.8 * viewHeight(old));
}

//------------------------------------------------------------------------------
// A Ctrl + right drag picks the same cells as orvi::Viewer::PickRectangle in
// an offscreen viewer of the same size with the same rectangle and camera,
// and the status bar says what was picked.
using OrviQtPick = testing::TestWithParam<bool>; // through the model

TEST_P(OrviQtPick, RectangleSelectsWhatTheViewerSelects)
{
  const PickMode mode = GetParam() ? PickMode::Through : PickMode::Visible;
  auto window = Show(Navigation::Mervo, mode);
  auto* view = window->GetView();
  const QPoint from(view->width() * 35 / 100, view->height() * 40 / 100);
  const QPoint to(view->width() * 55 / 100, view->height() * 60 / 100);
  Mouse(*window, QTest::MousePress, from, Qt::RightButton, Qt::ControlModifier);
  MoveAlong(*window, from, to);
  Mouse(*window, QTest::MouseRelease, to, Qt::RightButton, Qt::ControlModifier);
  const std::vector<vtkIdType> picked = window->GetViewer().GetPickedCells();
  EXPECT_FALSE(picked.empty());
  EXPECT_EQ(
    window->statusBar()->currentMessage().toStdString(), window->GetViewer().GetLastPickSummary());

  orvi::ViewerOptions options;
  options.Pick = mode;
  options.Screenshot = "unused.png"; // a viewer driven by hand
  options.Width = view->width();
  options.Height = view->height();
  std::ostringstream log;
  orvi::Viewer offscreen(options, log);
  offscreen.GetWindow()->OffScreenRenderingOn();
  std::string error;
  ASSERT_TRUE(offscreen.SetMeshes({ { "generated mesh", orvi::MakeDefaultMesh(error) } }, error));
  offscreen.GetRenderer()->GetActiveCamera()->DeepCopy(CameraOf(*window));
  offscreen.Render();
  const int h = view->height();
  offscreen.PickRectangle(from.x(), h - 1 - from.y(), to.x(), h - 1 - to.y());
  EXPECT_EQ(offscreen.GetPickedCells(), picked);
  EXPECT_EQ(offscreen.GetLastPickSummary(), window->GetViewer().GetLastPickSummary());
}

INSTANTIATE_TEST_SUITE_P(OrviQt,
  OrviQtPick,
  testing::Bool(),
  [](const testing::TestParamInfo<bool>& info) { return info.param ? "through" : "visible"; });

//------------------------------------------------------------------------------
// The widget resized while the band is dragged, then the release with or
// without motions after the resize: no crash, and what the widget shows
// afterwards is a clean render of the zoomed view, without a band.
using OrviQtResize = testing::TestWithParam<int>;

TEST_P(OrviQtResize, ResizeDuringTheBandLeavesNoBand)
{
  auto window = Show(Navigation::Mervo);
  auto* view = window->GetView();
  const QPoint from(view->width() / 4, view->height() / 4);
  const QPoint to(view->width() / 2, view->height() / 2);
  Mouse(*window, QTest::MousePress, from, Qt::RightButton);
  MoveAlong(*window, from, to);
  window->resize(window->width() + 120, window->height() + 60);
  QTest::qWait(50);
  MoveAlong(*window, to, to + QPoint(40, 30), GetParam());
  Mouse(*window, QTest::MouseRelease, to + QPoint(40, 30), Qt::RightButton);
  QApplication::processEvents();

  const QImage after = view->grabFramebuffer();
  EXPECT_EQ(after.size(), view->size());
  window->GetViewer().Render();
  EXPECT_TRUE(after == view->grabFramebuffer());
}

INSTANTIATE_TEST_SUITE_P(OrviQt, OrviQtResize, testing::Values(0, 4));

//------------------------------------------------------------------------------
// File > Open: a file that cannot be shown is reported in a message box and
// the scene stays; a good one replaces the scene without a message.
struct OpenCase
{
  const char* File;
  const char* Content; // null: no file
  const char* Message; // null: opens
};

void PrintTo(const OpenCase& c, std::ostream* os)
{
  *os << c.File;
}
using OrviQtOpen = testing::TestWithParam<OpenCase>;

TEST_P(OrviQtOpen, ErrorsGoToAMessageBox)
{
  const std::filesystem::path dir(ORVI_QT_TEST_DIR);
  std::filesystem::create_directories(dir);
  const std::string path = (dir / GetParam().File).string();
  if (GetParam().Content)
  {
    std::ofstream(path, std::ios::binary) << GetParam().Content;
  }
  auto window = Show(Navigation::Mervo);
  const QString title = window->windowTitle();

  // The message box is modal: a timer reads and closes it.
  QString message;
  QTimer poll;
  QObject::connect(&poll,
    &QTimer::timeout,
    [&]()
    {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
      {
        message = box->text();
        box->done(QMessageBox::Ok);
      }
    });
  poll.start(20);
  const bool opened = window->OpenFiles({ QString::fromStdString(path) });
  poll.stop();

  const char* expected = GetParam().Message;
  EXPECT_EQ(opened, expected == nullptr);
  EXPECT_EQ(message.isEmpty(), !expected) << message.toStdString();
  EXPECT_TRUE(!expected || message.contains(expected)) << message.toStdString();
  EXPECT_EQ(window->windowTitle(), expected ? title : "orvi-qt: " + QString(GetParam().File));
}

INSTANTIATE_TEST_SUITE_P(OrviQt,
  OrviQtOpen,
  testing::Values(OpenCase{ "missing.vtu", nullptr, "no such file" },
    OpenCase{ "mesh.xyz", "1 2 3\n", "unknown extension" },
    OpenCase{ "broken.vtu", "<VTKFile type=\"UnstructuredGrid\"><Unstr", "broken.vtu" },
    OpenCase{ "triangle.vtk",
      "# vtk DataFile Version 3.0\ntriangle\nASCII\nDATASET POLYDATA\nPOINTS 3 float\n"
      "0 0 0 1 0 0 0 1 0\nPOLYGONS 1 4\n3 0 1 2\n",
      nullptr }));
} // namespace

int main(int argc, char* argv[])
{
  // The widget's OpenGL format must be every context's, before Qt starts.
  QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
