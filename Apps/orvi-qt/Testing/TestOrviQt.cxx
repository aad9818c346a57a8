// orvi-qt driven as a user drives it: QtTest's mouse functions put Qt mouse
// events through the window system interface into the main window, whose
// QVTKOpenGLNativeWidget hands them to VTK's interactor. The truth is the
// camera, the picked cell ids and the widget's framebuffer.
#include "orviMeshes.h"
#include "orviQtTestWindow.h"
#include "orviQtWarpBar.h"
#include "orviQtWindow.h"

#include "QVTKOpenGLNativeWidget.h"
#include "vtkCamera.h"
#include "vtkCellPicker.h"
#include "vtkDoubleArray.h"
#include "vtkInteractorObserver.h"
#include "vtkMath.h"
#include "vtkMatrix4x4.h"
#include "vtkMervoInteractor.h"
#include "vtkPointData.h"
#include "vtkPointSet.h"
#include "vtkPoints.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QSurfaceFormat>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace
{
using orvi::Navigation;

std::ostringstream Log;

// The window with the generated mesh, shown and drawn once.
std::unique_ptr<orvi::QtWindow> Show(Navigation nav, int width = 640, int height = 520)
{
  return orvi_test::ShowGeneratedMesh(nav, width, height, Log);
}

// A mouse event at a point of the view, sent to the main window.
void Mouse(orvi::QtWindow& window,
  QTest::MouseAction action,
  QPoint at,
  Qt::MouseButton button = Qt::NoButton,
  Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
  QTest::mouseEvent(
    action, window.windowHandle(), button, modifiers, window.GetView()->mapTo(&window, at));
}

// The pointer moved from one point to another in `steps` motions.
void MoveAlong(orvi::QtWindow& window, QPoint from, QPoint to, int steps = 8)
{
  for (int i = 1; i <= steps; ++i)
  {
    Mouse(window, QTest::MouseMove, from + (to - from) * i / steps);
  }
}

// The menu item of that text triggered, as a click on it does.
void Choose(orvi::QtWindow& window, const QString& text)
{
  for (QAction* item : window.menuBar()->findChildren<QAction*>())
  {
    if (item->text() == text)
    {
      item->trigger();
    }
  }
}

using orvi_test::CameraOf;
using orvi_test::Distance;

// The pixels of the band's outline that are not the inverse of the frame before the drag.
int OutlineNotInverted(const QImage& before, const QImage& during, QRect band)
{
  int wrong = 0;
  for (int y = band.top(); y <= band.bottom(); ++y)
  {
    const bool edge = y == band.top() || y == band.bottom();
    for (int x = band.left(); x <= band.right(); x += edge ? 1 : band.width() - 1)
    {
      wrong += during.pixel(x, y) != (before.pixel(x, y) ^ 0x00ffffffu);
    }
  }
  return wrong;
}

//------------------------------------------------------------------------------
// The convention chosen in the Navigation menu: its rotate gesture turns the
// view direction about the rotation centre, which keeps its distance to the
// camera. Mervo: a left click on the model sets the centre, a left drag
// rotates; CATIA: a left drag with the middle button held, about the focal point.
TEST(OrviQt, DragTurnsTheCameraAboutTheCentre)
{
  const std::tuple<Navigation, const char*, std::vector<Qt::MouseButton>> cases[] = {
    { Navigation::Mervo, "Mervo navigator", { Qt::LeftButton } },
    { Navigation::Catia, "CATIA navigator", { Qt::MiddleButton, Qt::LeftButton } },
  };
  for (const auto& [nav, menuItem, buttons] : cases)
  {
    SCOPED_TRACE(menuItem);
    auto window = Show(Navigation::StyleCatia);
    Choose(*window, menuItem);
    ASSERT_EQ(window->GetViewer().GetOptions().Nav, nav);
    const QSize size = window->GetView()->size();
    const QPoint from(size.width() * 45 / 100, size.height() * 55 / 100);
    const QPoint to = from + QPoint(size.width() / 5, size.height() / 8);
    vtkCamera* camera = CameraOf(*window);
    double centre[3], before[3];
    camera->GetFocalPoint(centre);
    if (vtkMervoInteractor* mervo = window->GetViewer().GetMervo())
    {
      Mouse(*window, QTest::MouseClick, from, Qt::LeftButton);
      mervo->GetRotationCenter(centre);
      EXPECT_GT(Distance(centre, camera->GetFocalPoint()), 0.01);
    }
    camera->GetDirectionOfProjection(before);
    const double distance = Distance(centre, camera->GetPosition());
    for (Qt::MouseButton button : buttons)
    {
      Mouse(*window, QTest::MousePress, from, button);
    }
    MoveAlong(*window, from, to);
    for (auto b = buttons.rbegin(); b != buttons.rend(); ++b)
    {
      Mouse(*window, QTest::MouseRelease, to, *b);
    }
    EXPECT_NEAR(Distance(centre, camera->GetPosition()), distance, 1e-6 * distance);
    EXPECT_LT(vtkMath::Dot(before, camera->GetDirectionOfProjection()), std::cos(0.1));
  }
}

//------------------------------------------------------------------------------
// Mervo's right drag: every pixel of the band's outline is the inverse of the
// frame before the drag, in the widget's framebuffer; the release zooms onto
// the box: the new focal point lies inside it, and the view narrows. Resized
// during the drag, then released with or without motions after the resize:
// no crash, and the widget shows a clean render of the zoomed view, no band.
TEST(OrviQt, RightDragShowsTheBandAndZoomsOntoIt)
{
  for (const int resized : { -1, 0, 4 }) // motions after a resize; -1: none
  {
    SCOPED_TRACE(resized);
    auto window = Show(Navigation::Mervo);
    auto* view = window->GetView();
    const QImage before = view->grabFramebuffer();
    const QRect band(QPoint(view->width() * 3 / 10, view->height() * 3 / 10),
      QPoint(view->width() * 7 / 10, view->height() * 2 / 3));
    vtkNew<vtkCamera> old;
    old->DeepCopy(CameraOf(*window));
    Mouse(*window, QTest::MousePress, band.topLeft(), Qt::RightButton);
    MoveAlong(*window, band.topLeft(), band.bottomRight());
    if (resized >= 0)
    {
      window->resize(window->width() + 120, window->height() + 60);
      QTest::qWait(50);
      MoveAlong(*window, band.bottomRight(), band.bottomRight() + QPoint(40, 30), resized);
      Mouse(*window, QTest::MouseRelease, band.bottomRight() + QPoint(40, 30), Qt::RightButton);
      QApplication::processEvents();
      const QImage after = view->grabFramebuffer();
      EXPECT_EQ(after.size(), view->size());
      window->GetViewer().Render();
      EXPECT_TRUE(after == view->grabFramebuffer());
      continue;
    }
    const QImage during = view->grabFramebuffer();
    ASSERT_EQ(during.size(), before.size());
    EXPECT_EQ(OutlineNotInverted(before, during, band), 0);
    EXPECT_EQ(during.pixel(band.center()), before.pixel(band.center()));
    Mouse(*window, QTest::MouseRelease, band.bottomRight(), Qt::RightButton);

    // The new focal point where the old camera showed it, from the top.
    EXPECT_TRUE(QRectF(band).contains(
      orvi_test::Projected(old, CameraOf(*window)->GetFocalPoint(), view->size())));
    const auto viewHeight = [](vtkCamera* camera) {
      return camera->GetDistance() * std::tan(vtkMath::RadiansFromDegrees(camera->GetViewAngle()));
    };
    EXPECT_LT(viewHeight(CameraOf(*window)), 0.8 * viewHeight(old));
  }
}

//------------------------------------------------------------------------------
// A Ctrl + right drag picks the same cells as orvi::Viewer::PickRectangle in
// an offscreen viewer of the same size with the same rectangle and camera,
// and the status bar says what was picked; in each mode of the Pick menu.
TEST(OrviQt, RectangleSelectsWhatTheViewerSelects)
{
  auto window = Show(Navigation::Mervo);
  auto* view = window->GetView();
  orvi::ViewerOptions options = window->GetViewer().GetOptions();
  options.Screenshot = "unused.png"; // a viewer driven by hand
  options.Width = view->width();
  options.Height = view->height();
  orvi::Viewer offscreen(options, Log);
  offscreen.GetWindow()->OffScreenRenderingOn();
  std::string error;
  ASSERT_TRUE(offscreen.SetMeshes({ { "generated mesh", orvi::MakeDefaultMesh(error) } }, error));
  offscreen.GetRenderer()->GetActiveCamera()->DeepCopy(CameraOf(*window));
  const QPoint from(view->width() * 35 / 100, view->height() * 40 / 100);
  const QPoint to(view->width() * 55 / 100, view->height() * 60 / 100);
  const std::pair<const char*, orvi::PickMode> modes[] = {
    { "Visible cells", orvi::PickMode::Visible }, { "Through the model", orvi::PickMode::Through }
  };
  for (const auto& [item, mode] : modes)
  {
    SCOPED_TRACE(item);
    Choose(*window, item);
    ASSERT_EQ(window->GetViewer().GetOptions().Pick, mode);
    Mouse(*window, QTest::MousePress, from, Qt::RightButton, Qt::ControlModifier);
    MoveAlong(*window, from, to);
    Mouse(*window, QTest::MouseRelease, to, Qt::RightButton, Qt::ControlModifier);
    const std::string summary = window->GetViewer().GetLastPickSummary();
    EXPECT_EQ(window->GetPickText().toStdString(), summary);
    offscreen.SetPickMode(mode);
    offscreen.Render();
    offscreen.PickRectangle(
      from.x(), view->height() - 1 - from.y(), to.x(), view->height() - 1 - to.y());
    EXPECT_FALSE(offscreen.GetPickedCells().empty());
    EXPECT_EQ(offscreen.GetPickedCells(), window->GetViewer().GetPickedCells());
    EXPECT_EQ(offscreen.GetLastPickSummary(), summary);
  }
}

//------------------------------------------------------------------------------
// File > Open: a file that cannot be shown is reported in a message box and
// the scene stays; a good one replaces the scene without a message.
TEST(OrviQt, OpenErrorsGoToAMessageBox)
{
  const std::pair<const char*, const char*> cases[] = {
    // a file of the tests' data, the message (null: it opens)
    { ORVI_DAMAGED_DATA_DIR "/missing.vtu", "no such file" },
    { ORVI_DAMAGED_DATA_DIR "/mesh.xyz", "unknown extension" },
    { ORVI_DAMAGED_DATA_DIR "/garbage.vtu", "not a valid .vtu mesh" },
    { ORVI_TEST_DATA_DIR "/sphere.vtp", nullptr },
  };
  auto window = Show(Navigation::Mervo);
  const QString title = window->windowTitle();
  QString message; // of the modal message box, which a timer reads and closes
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
  for (const auto& [file, expected] : cases)
  {
    SCOPED_TRACE(file);
    message.clear();
    EXPECT_EQ(window->OpenFiles({ QString(file) }), !expected);
    EXPECT_EQ(message.isEmpty(), !expected) << message.toStdString();
    EXPECT_TRUE(!expected || message.contains(expected)) << message.toStdString();
    EXPECT_EQ(window->windowTitle(), expected ? title : "orvi-qt: sphere.vtp");
  }
}
//------------------------------------------------------------------------------
// VTK's keys in the CATIA conventions, right after the window opens with
// one and after choosing one in the menu, with no button pressed before:
// 'p' outlines the mesh under the pointer, 'f' flies to it (after a pan
// too), and the widget ends on the flown view, the same picture a fresh
// render gives.
TEST(OrviQt, CatiaKeysFlyAndPickWithoutAButtonFirst)
{
  const std::tuple<Navigation, const char*, bool> cases[] = {
    { Navigation::Catia, nullptr, false },
    { Navigation::Catia, "CATIA navigator", false },
    { Navigation::StyleCatia, "CATIA style", false },
    { Navigation::Catia, nullptr, true },
  };
  for (const auto& [nav, menuItem, pan] : cases)
  {
    SCOPED_TRACE(menuItem ? menuItem : "started with it");
    auto window = Show(menuItem ? Navigation::Mervo : nav);
    if (menuItem)
    {
      Choose(*window, menuItem);
    }
    ASSERT_EQ(window->GetViewer().GetOptions().Nav, nav);
    auto* view = window->GetView();
    const QPoint at(view->width() * 45 / 100, view->height() * 55 / 100);
    if (pan)
    {
      Mouse(*window, QTest::MousePress, at, Qt::MiddleButton);
      MoveAlong(*window, at, at + QPoint(30, 20));
      Mouse(*window, QTest::MouseRelease, at + QPoint(30, 20), Qt::MiddleButton);
    }
    MoveAlong(*window, at - QPoint(40, 30), at);
    const QImage before = view->grabFramebuffer();
    QTest::keyClick(view, Qt::Key_P, Qt::NoModifier);
    QApplication::processEvents();
    const QImage outlined = view->grabFramebuffer();
    EXPECT_GT(orvi_test::PercentChanged(before, outlined), 0.1) << "the picked prop's outline";

    double start[3];
    CameraOf(*window)->GetFocalPoint(start);
    QTest::keyClick(view, Qt::Key_F, Qt::NoModifier);
    // The flight draws a frame per timer event.
    double last[3] = { start[0], start[1], start[2] };
    for (int still = 0; still < 10; QTest::qWait(50))
    {
      const double* focal = CameraOf(*window)->GetFocalPoint();
      still = Distance(focal, last) > 0.0 ? 0 : still + 1;
      CameraOf(*window)->GetFocalPoint(last);
    }
    EXPECT_GT(Distance(start, last), 0.01);
    const QImage flown = view->grabFramebuffer();
    window->GetViewer().Render();
    EXPECT_TRUE(flown == view->grabFramebuffer());
  }
}
//------------------------------------------------------------------------------
// The legend's text follows the window: shrunk from 900 x 700 to 700 x 500,
// the legend shows what a window started at 700 x 500 shows (its title on
// one line, the same labels).
TEST(OrviQt, LegendAfterAResizeAsAtThatSize)
{
  auto shrunk = Show(Navigation::Mervo, 900, 700);
  shrunk->resize(700, 500);
  QTest::qWait(300);
  shrunk->GetViewer().Render();
  auto started = Show(Navigation::Mervo, 700, 500);
  const QImage a = shrunk->GetView()->grabFramebuffer();
  const QImage b = started->GetView()->grabFramebuffer();
  ASSERT_EQ(a.size(), b.size());
  const QRect legend(a.width() * 84 / 100, 0, a.width() * 16 / 100, a.height());
  EXPECT_TRUE(a.copy(legend) == b.copy(legend));
}

//------------------------------------------------------------------------------
// A rotation started before any click turns about the middle of the
// generated mesh, inside the solid: while the button is held the widget
// shows the red marker there, a disc of the marker's radius, over the
// surfaces in front of it, and nothing else of the picture changes;
// released, it is hidden.
TEST(OrviQt, RotationMarkerShowsInsideTheModelBeforeAnyClick)
{
  auto window = Show(Navigation::Mervo);
  QVTKOpenGLNativeWidget* view = window->GetView();
  const QPoint middle(view->width() / 2, view->height() / 2);
  Mouse(*window, QTest::MouseMove, middle);
  Mouse(*window, QTest::MousePress, middle, Qt::LeftButton);
  MoveAlong(*window, middle, middle + QPoint(6, 4));
  QApplication::processEvents();
  const QImage during = view->grabFramebuffer();

  // Where the centre is, and the marker's radius, in the widget's pixels.
  vtkMervoInteractor* nav = window->GetViewer().GetMervo();
  ASSERT_NE(nav, nullptr);
  vtkRenderer* renderer = window->GetViewer().GetRenderer();
  const double* c = nav->GetRotationCenter();
  const double* up = CameraOf(*window)->GetViewUp();
  const double r = nav->GetRotationMarkerScale();
  double centre[3], top[3];
  vtkInteractorObserver::ComputeWorldToDisplay(renderer, c[0], c[1], c[2], centre);
  vtkInteractorObserver::ComputeWorldToDisplay(
    renderer, c[0] + r * up[0], c[1] + r * up[1], c[2] + r * up[2], top);
  const double radius = std::hypot(top[0] - centre[0], top[1] - centre[1]);
  const QPointF at(centre[0], during.height() - 1 - centre[1]);
  ASSERT_GT(radius, 4.0);
  ASSERT_TRUE(QRectF(0, 0, during.width(), during.height()).contains(at));
  // The centre lies inside the model: a surface in front hides the marker
  // from the camera.
  vtkNew<vtkCellPicker> picker;
  ASSERT_TRUE(picker->Pick(centre[0], centre[1], 0.0, renderer));
  const double* eye = CameraOf(*window)->GetPosition();
  EXPECT_LT(Distance(picker->GetPickPosition(), eye) + r, Distance(c, eye));

  // The same frame without the marker, the button still held (the viewer
  // draws its motion stand-in meanwhile).
  nav->GetRotationPointActor()->VisibilityOff();
  window->GetViewer().Render();
  QApplication::processEvents();
  const QImage after = view->grabFramebuffer();
  nav->GetRotationPointActor()->VisibilityOn();
  Mouse(*window, QTest::MouseRelease, middle + QPoint(6, 4), Qt::LeftButton);
  EXPECT_FALSE(nav->GetRotationPointActor()->GetVisibility());
  int inside = 0, outside = 0, red = 0;
  for (int y = 0; y < during.height(); ++y)
  {
    for (int x = 0; x < during.width(); ++x)
    {
      const QColor now = during.pixelColor(x, y), then = after.pixelColor(x, y);
      const bool marker = now != then;
      const bool inDisc = std::hypot(x - at.x(), y - at.y()) <= radius + 1.5;
      inside += marker && inDisc;
      outside += marker && !inDisc;
      red += marker && now.red() > now.green() + 60 && now.red() > now.blue() + 60;
    }
  }
  EXPECT_GT(inside, 0.7 * vtkMath::Pi() * radius * radius) << "radius " << radius;
  EXPECT_GT(red, inside * 3 / 4);
  EXPECT_EQ(outside, 0);
}

//------------------------------------------------------------------------------
// The deformation toolbar: an array chosen draws it at the automatic scale,
// which the spin box shows; a scale typed is the viewer's, and the key +
// doubles it in the box too; "none" draws the undeformed shape.
TEST(OrviQt, WarpBarSetsTheDeformedShape)
{
  std::string error;
  vtkSmartPointer<vtkDataSet> mesh = orvi::MakeDefaultMesh(error);
  vtkNew<vtkDoubleArray> u; // the points themselves as a displacement
  u->DeepCopy(vtkPointSet::SafeDownCast(mesh)->GetPoints()->GetData());
  u->SetName("u");
  mesh->GetPointData()->AddArray(u);
  auto window = orvi_test::ShowWindow(orvi::ViewerOptions(), Log, { { "mesh", mesh } });
  orvi::QtWarpBar* bar = window->GetWarpBar();
  orvi::Viewer& viewer = window->GetViewer();
  ASSERT_EQ(bar->GetArrayBox()->count(), 2); // none, u
  bar->GetArrayBox()->setCurrentIndex(1);
  emit bar->GetArrayBox()->activated(1);
  EXPECT_EQ(viewer.GetWarpArray(), "u");
  EXPECT_GT(viewer.GetWarpScale(), 0.0);
  EXPECT_NEAR(bar->GetScaleBox()->value(), viewer.GetWarpScale(), 1e-6);
  bar->GetScaleBox()->setValue(2.5);
  EXPECT_EQ(viewer.GetWarpScale(), 2.5);
  viewer.SendKey('+');
  EXPECT_TRUE(QTest::qWaitFor([bar] { return bar->GetScaleBox()->value() == 5.0; }));
  bar->GetArrayBox()->setCurrentIndex(0);
  emit bar->GetArrayBox()->activated(0);
  EXPECT_EQ(viewer.GetWarpArray(), "");
  EXPECT_FALSE(bar->GetScaleBox()->isEnabled());
}

//------------------------------------------------------------------------------
// A click without a drag shows the coloured value under the pointer in the
// status bar, a drag does not; Save selection writes a row per picked cell.
TEST(OrviQt, ClickShowsTheValueAndTheSelectionIsSaved)
{
  auto window = Show(Navigation::Mervo);
  const QPoint middle(window->GetView()->width() / 2, window->GetView()->height() / 2);
  Mouse(*window, QTest::MouseClick, middle, Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->GetValueText().isEmpty(); }));
  const std::string title = window->GetViewer().GetColouredQuantity().Title;
  EXPECT_EQ(window->GetValueText().toStdString().rfind(title + " ", 0), 0u);
  Mouse(*window, QTest::MousePress, middle, Qt::LeftButton);
  MoveAlong(*window, middle, QPoint(2, 2));
  Mouse(*window, QTest::MouseRelease, QPoint(2, 2), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(window->GetValueText().toStdString().rfind(title + " ", 0), 0u); // as it was
  window->GetViewer().PickRectangle(0, 0, 639, 519);
  const QString path = QString::fromStdString(::testing::TempDir()) + "selection.csv";
  ASSERT_TRUE(window->SaveSelection(path));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().count('\n'), window->GetViewer().GetLastPickCount() + 1);
}
} // namespace

int main(int argc, char* argv[])
{
  return orvi_test::RunQtTests(argc, argv);
}
