// One mouse-motion step of vtkCatiaInteractor against VTK's
// vtkInteractorStyleTrackballCamera in the same state, rendering excluded
// (the interactor's rendering is switched off): a step is the event dispatch,
// the renderer lookup and the camera update, plus, for the navigator, the
// pan counter or the spin-zone test on every spin motion.
#include "vtkCatiaInteractor.h"

#include "vtkCamera.h"
#include "vtkCommand.h"
#include "vtkGenericRenderWindowInteractor.h"
#include "vtkInteractorStyleTrackballCamera.h"
#include "vtkNew.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"

#include <benchmark/benchmark.h>

namespace
{
template <class Style>
void MotionStep(benchmark::State& state, int interactionState)
{
  vtkNew<vtkRenderer> renderer;
  vtkNew<vtkRenderWindow> window;
  vtkNew<vtkGenericRenderWindowInteractor> interactor;
  window->SetSize(800, 600);
  window->AddRenderer(renderer);
  interactor->SetRenderWindow(window);
  interactor->EnableRenderOff();
  vtkNew<Style> style;
  interactor->SetInteractorStyle(style);
  vtkCamera* camera = renderer->GetActiveCamera();
  camera->SetPosition(0, 0, 10);
  // Spin far from the centre, so that the navigator keeps spinning.
  const int x0 = interactionState == VTKIS_SPIN ? 700 : 400;
  interactor->SetEventInformation(x0, 300);
  style->FindPokedRenderer(x0, 300);
  style->StartState(interactionState);
  int step = 0;
  for (auto _ : state)
  {
    interactor->SetEventInformation(x0, 300 + (step++ % 2 == 0 ? 2 : -2));
    interactor->InvokeEvent(vtkCommand::MouseMoveEvent, nullptr);
    benchmark::DoNotOptimize(camera->GetPosition());
  }
  style->StopState();
  interactor->SetInteractorStyle(nullptr);
}

void PanVtk(benchmark::State& s)
{
  MotionStep<vtkInteractorStyleTrackballCamera>(s, VTKIS_PAN);
}
void PanOrvi(benchmark::State& s)
{
  MotionStep<vtkCatiaInteractor>(s, VTKIS_PAN);
}
void SpinVtk(benchmark::State& s)
{
  MotionStep<vtkInteractorStyleTrackballCamera>(s, VTKIS_SPIN);
}
void SpinOrvi(benchmark::State& s)
{
  MotionStep<vtkCatiaInteractor>(s, VTKIS_SPIN);
}
} // namespace

BENCHMARK(PanVtk)->Name("CatiaPanStep/Vtk");
BENCHMARK(PanOrvi)->Name("CatiaPanStep/Orvi");
BENCHMARK(SpinVtk)->Name("CatiaSpinStep/Vtk");
BENCHMARK(SpinOrvi)->Name("CatiaSpinStep/Orvi");

BENCHMARK_MAIN();
