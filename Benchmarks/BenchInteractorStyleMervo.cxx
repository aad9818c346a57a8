// One mouse move of a rubber-band drag, delivered through the interactor as
// a host toolkit does, in a 1280 x 1024 window: VTK's
// vtkInteractorStyleRubberBandZoom dragging with the left button
// (BandMove/Vtk) against vtkInteractorStyleMervo dragging with the right
// button (BandMove/Orvi). Both draw the band over a snapshot of the window
// and swap buffers; both wait for the drawing to complete before the next
// iteration. The drag's release (a zoom and a render) is not timed.
#include "vtkInteractorStyleMervo.h"

#include "vtkActor.h"
#include "vtkCommand.h"
#include "vtkGenericRenderWindowInteractor.h"
#include "vtkInteractorStyleRubberBandZoom.h"
#include "vtkNew.h"
#include "vtkPolyDataMapper.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkSphereSource.h"

#include <benchmark/benchmark.h>

namespace
{
struct Scene
{
  Scene()
  {
    this->Sphere->SetThetaResolution(200);
    this->Sphere->SetPhiResolution(100);
    this->Mapper->SetInputConnection(this->Sphere->GetOutputPort());
    this->Actor->SetMapper(this->Mapper);
    this->Renderer->AddActor(this->Actor);
    this->Renderer->SetBackground(0.2, 0.3, 0.4);
    this->Window->SetSize(1280, 1024);
    this->Window->SetMultiSamples(0);
    this->Window->AddRenderer(this->Renderer);
    this->Interactor->SetRenderWindow(this->Window);
    this->Interactor->Initialize();
    this->Window->Render();
  }

  void Fire(unsigned long event, int x, int y)
  {
    this->Interactor->SetEventInformation(x, y, 0, 0);
    this->Interactor->InvokeEvent(event, nullptr);
  }

  // Press, drag the band over most of the window for as long as the
  // benchmark runs, release outside the timing.
  void Drag(benchmark::State& state, unsigned long press, unsigned long release)
  {
    this->Renderer->ResetCamera();
    this->Window->Render();
    this->Fire(press, 200, 150);
    // Past the motions the Mervo style does not draw.
    for (int i = 1; i <= 4; ++i)
    {
      this->Fire(vtkCommand::MouseMoveEvent, 200 + 10 * i, 150 + 10 * i);
    }
    int step = 0;
    for (auto _ : state)
    {
      step = (step + 1) % 64;
      this->Fire(vtkCommand::MouseMoveEvent, 300 + 14 * step, 250 + 11 * step);
      this->Window->WaitForCompletion();
    }
    this->Fire(release, 300 + 14 * step, 250 + 11 * step);
  }

  vtkNew<vtkSphereSource> Sphere;
  vtkNew<vtkPolyDataMapper> Mapper;
  vtkNew<vtkActor> Actor;
  vtkNew<vtkRenderer> Renderer;
  vtkNew<vtkRenderWindow> Window;
  vtkNew<vtkGenericRenderWindowInteractor> Interactor;
};

Scene& TheScene()
{
  static Scene scene;
  return scene;
}

// The drag with a new style of the given class installed for it.
template <class Style>
void BandMove(benchmark::State& state, unsigned long press, unsigned long release)
{
  Scene& scene = TheScene();
  vtkNew<Style> style;
  scene.Interactor->SetInteractorStyle(style);
  scene.Drag(state, press, release);
  scene.Interactor->SetInteractorStyle(nullptr);
}

void BandMoveVtk(benchmark::State& state)
{
  BandMove<vtkInteractorStyleRubberBandZoom>(
    state, vtkCommand::LeftButtonPressEvent, vtkCommand::LeftButtonReleaseEvent);
}

void BandMoveOrvi(benchmark::State& state)
{
  BandMove<vtkInteractorStyleMervo>(
    state, vtkCommand::RightButtonPressEvent, vtkCommand::RightButtonReleaseEvent);
}
} // namespace

BENCHMARK(BandMoveVtk)->Name("BandMove/Vtk")->Unit(benchmark::kMillisecond);
BENCHMARK(BandMoveOrvi)->Name("BandMove/Orvi")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
