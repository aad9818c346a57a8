// The rubber band in orvi-qt's window (VTK's QVTKOpenGLNativeWidget), as a
// user sees it: the generated mesh in a 900 x 656 view, the Mervo
// navigator's band drawn for one mouse motion and painted by the widget
// (QtBandMotion/Orvi), against one re-render of the scene painted the same
// way (QtBandMotion/Render), the redraw a band drawn by rendering would cost.
// Both count the process's CPU time (the software OpenGL renders on
// threads of its own) up to the widget's paint on screen.
#include "orviMeshes.h"
#include "orviQtWindow.h"

#include "QVTKOpenGLNativeWidget.h"
#include "vtkMervoInteractor.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSurfaceFormat>

#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>

namespace
{
std::ostringstream Log;

struct QtScene
{
  QtScene()
  {
    orvi::ViewerOptions options;
    options.Width = 900;
    options.Height = 700;
    this->Window = std::make_unique<orvi::QtWindow>(options, Log);
    std::string error;
    this->Window->ShowMeshes({ { "generated mesh", orvi::MakeDefaultMesh(error) } }, error);
    this->Window->show();
    QElapsedTimer timer;
    timer.start();
    while (!this->Window->GetView()->isValid() && timer.elapsed() < 10000)
    {
      QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    QApplication::processEvents();
    this->Window->GetViewer().Render();
    this->Paint();
  }

  // The widget paints what the render window holds: the paint the frame
  // asked for, from the event loop.
  void Paint() { QApplication::processEvents(); }

  std::unique_ptr<orvi::QtWindow> Window;
};

// Made on first use, gone before the QApplication.
std::unique_ptr<QtScene> Scene;

QtScene& TheScene()
{
  if (!Scene)
  {
    Scene = std::make_unique<QtScene>();
  }
  return *Scene;
}

void QtBandMotionVtk(benchmark::State& state)
{
  QtScene& scene = TheScene();
  for (auto _ : state)
  {
    scene.Window->GetViewer().Render();
    scene.Paint();
  }
  const int* size = scene.Window->GetViewer().GetWindow()->GetSize();
  state.counters["width"] = size[0];
  state.counters["height"] = size[1];
}

void QtBandMotionOrvi(benchmark::State& state)
{
  QtScene& scene = TheScene();
  orvi::Viewer& viewer = scene.Window->GetViewer();
  vtkMervoInteractor* nav = viewer.GetMervo();
  vtkRenderWindowInteractor* interactor = viewer.GetInteractor();
  interactor->SetEventInformation(200, 150);
  nav->StartBoxZoom();
  int step = 0;
  for (auto _ : state)
  {
    // The pointer wanders over most of the view, as in a real drag.
    step = (step + 1) % 48;
    interactor->SetEventInformation(250 + 12 * step, 180 + 9 * step);
    nav->BoxSelect();
    scene.Paint();
  }
  nav->EndBoxZoom();
  const int* size = viewer.GetWindow()->GetSize();
  state.counters["width"] = size[0];
  state.counters["height"] = size[1];
}
} // namespace

BENCHMARK(QtBandMotionVtk)
  ->Name("QtBandMotion/Render")
  ->Unit(benchmark::kMillisecond)
  ->MeasureProcessCPUTime();
BENCHMARK(QtBandMotionOrvi)
  ->Name("QtBandMotion/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->MeasureProcessCPUTime();

int main(int argc, char* argv[])
{
  QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Scene.reset();
  return 0;
}
