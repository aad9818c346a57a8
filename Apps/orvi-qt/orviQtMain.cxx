// orvi-qt: orvi-viewer's scene in a Qt main window. Its options are those
// of the hosts' table (orviViewerOptions.cxx) that name orvi-qt, among them
// --screenshot-with-band FILE.png: draw a box-zoom band with mouse events on
// the view, write the window with the band into FILE.png and exit. Only the
// Mervo conventions draw a band; in the CATIA ones (a rectangle pick draws
// nothing while the mouse moves) the option is refused.
#include "orviButtonBindings.h"
#include "orviDisplay.h"
#include "orviIsolatedRead.h"
#include "orviMeshes.h"
#include "orviQtWindow.h"
#include "orviTimeSeries.h"
#include "orviViewerOptions.h"

#include "QVTKOpenGLNativeWidget.h"
#include "vtkDataSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QSurfaceFormat>

#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace
{
Qt::MouseButton QtButton(orvi::Button button)
{
  switch (button)
  {
    case orvi::Button::Left:
    {
      return Qt::LeftButton;
    }
    case orvi::Button::Middle:
    {
      return Qt::MiddleButton;
    }
    case orvi::Button::Right:
    {
      return Qt::RightButton;
    }
    default:
    {
      return Qt::NoButton;
    }
  }
}

// Waits, handling events, until the view has made its OpenGL context and
// drawn once. Returns false after five seconds.
bool WaitUntilDrawn(orvi::QtWindow& window)
{
  QElapsedTimer timer;
  timer.start();
  while (!window.GetView()->isValid() && timer.elapsed() < 5000)
  {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  QApplication::processEvents();
  return window.GetView()->isValid();
}

// Presses the buttons of the convention's box-zoom gesture (Run() refuses a
// convention without one) over the view's centre and drags the pointer to a
// third of the view away, as a hand would, leaving the buttons down.
void DragBand(orvi::QtWindow& window)
{
  orvi::Navigation nav = window.GetViewer().GetOptions().Nav;
  std::optional<orvi::Gesture> gesture = orvi::GestureFor(nav, orvi::Action::BoxZoom);
  if (!gesture)
  {
    return;
  }
  QWidget* view = window.GetView();
  const QPoint from(view->width() * 3 / 10, view->height() * 3 / 10);
  const QPoint to(view->width() * 7 / 10, view->height() * 2 / 3);
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
  modifiers.setFlag(Qt::ControlModifier, gesture->Ctrl);
  modifiers.setFlag(Qt::ShiftModifier, gesture->Shift);
  Qt::MouseButtons held = Qt::NoButton;
  for (const orvi::Gesture::Step& step : gesture->Before)
  {
    const Qt::MouseButton button = QtButton(step.Which);
    held.setFlag(button, step.Press);
    QMouseEvent event(step.Press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease,
      from,
      view->mapToGlobal(from),
      button,
      held,
      modifiers);
    QApplication::sendEvent(view, &event);
  }
  const int steps = 12;
  for (int i = 1; i <= steps; ++i)
  {
    const QPoint at = from + (to - from) * i / steps;
    QMouseEvent event(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, held, modifiers);
    QApplication::sendEvent(view, &event);
    QApplication::processEvents();
  }
}

int Run(int argc, char* argv[])
{
  std::cout << std::unitbuf;
  orvi::ViewerOptions options;
  options.Width = 900;
  options.Height = 700;
  std::string error;
  if (!orvi::ParseViewerOptions(argc, argv, options, error, orvi::Host::Qt))
  {
    std::cerr << "orvi-qt: " << error << "\n";
    return 1;
  }
  if (options.Help)
  {
    std::cout << orvi::ViewerUsage(orvi::Host::Qt);
    return 0;
  }
  const std::string& bandShot = options.BandScreenshot;
  if (!bandShot.empty() && !orvi::GestureFor(options.Nav, orvi::Action::BoxZoom))
  {
    std::cerr << "orvi-qt: --screenshot-with-band draws a box-zoom band, which the "
              << orvi::NavigationName(options.Nav) << " convention has not (use --nav mervo)\n";
    return 1;
  }
  if (!orvi::CanOpenWindow(error))
  {
    std::cerr << "orvi-qt: " << error << "\n";
    return 1;
  }

  // The files of the command line are refused as orvi-viewer refuses them,
  // before any window; File > Open reports its errors in a message box.
  std::vector<orvi::NamedMesh> meshes;
  auto series = std::make_unique<orvi::TimeSeries>();
  series->SetStart(options.Step, options.TimeGiven, options.Time);
  if (!orvi::LoadMeshes(options.MeshFiles, std::cout, meshes, error, {}, {}, series.get()))
  {
    std::cerr << "orvi-qt: " << error << "\n";
    return 1;
  }

  // The widget's OpenGL format must be every context's, before Qt starts.
  QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
  QApplication app(argc, argv);
  orvi::QtWindow window(options, std::cout);
  if (!window.ShowMeshes(meshes, error, std::move(series)) ||
    (!options.Parts.empty() && !window.ShowOnlyParts(options.Parts, error)))
  {
    std::cerr << "orvi-qt: " << error << "\n";
    return 1;
  }
  window.show();
  if (bandShot.empty())
  {
    return QApplication::exec();
  }

  if (!WaitUntilDrawn(window))
  {
    std::cerr << "orvi-qt: the view did not get an OpenGL context\n";
    return 1;
  }
  window.GetViewer().Render();
  DragBand(window);
  if (!window.grab().save(QString::fromStdString(bandShot)))
  {
    std::cerr << "orvi-qt: cannot write screenshot '" << bandShot << "'\n";
    return 1;
  }
  std::cout << "wrote " << bandShot << "\n";
  return 0;
}
} // namespace

int main(int argc, char* argv[])
{
  // A gigabyte of heap kept, written only as it is used: the memory a
  // large mesh's read and surface free is reused rather than faulted in
  // again.
  orvi::PrepareLargeHeap(1.0e9);
  try
  {
    return Run(argc, argv);
  }
  catch (const std::bad_alloc&)
  {
    std::cerr << "orvi-qt: out of memory\n";
    return 1;
  }
}
