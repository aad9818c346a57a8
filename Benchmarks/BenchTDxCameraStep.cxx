// One 3D-mouse camera step of vtkTDxInteractorStyleCameraFocalPoint against
// VTK's vtkTDxInteractorStyleCamera, rendering excluded: the interactor's
// rendering is switched off, so a step is the camera update and the
// clipping-range reset.
#include "vtkTDxInteractorStyleCameraFocalPoint.h"

#include "vtkCamera.h"
#include "vtkCommand.h"
#include "vtkGenericRenderWindowInteractor.h"
#include "vtkNew.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkTDxInteractorStyleSettings.h"
#include "vtkTDxMotionEventInfo.h"

#include <benchmark/benchmark.h>

namespace
{
template <class Style>
void CameraStep(benchmark::State& state)
{
  vtkNew<vtkRenderer> renderer;
  vtkNew<vtkRenderWindow> window;
  vtkNew<vtkGenericRenderWindowInteractor> interactor;
  window->AddRenderer(renderer);
  interactor->SetRenderWindow(window);
  interactor->EnableRenderOff();
  vtkNew<Style> style;
  style->GetSettings()->SetAngleSensitivity(-0.03125);
  vtkCamera* camera = renderer->GetActiveCamera();
  camera->SetPosition(0, 0, 10);
  vtkTDxMotionEventInfo info;
  info.X = 0.5;
  info.Y = -0.25;
  info.Z = 0.125;
  info.Angle = 0.5;
  info.AxisX = 0.0;
  info.AxisY = 1.0;
  info.AxisZ = 0.0;
  for (auto _ : state)
  {
    style->ProcessEvent(renderer, vtkCommand::TDxMotionEvent, &info);
    benchmark::DoNotOptimize(camera->GetPosition());
  }
}
} // namespace

BENCHMARK_TEMPLATE(CameraStep, vtkTDxInteractorStyleCamera)->Name("TDxCameraStep/Vtk");
BENCHMARK_TEMPLATE(CameraStep, vtkTDxInteractorStyleCameraFocalPoint)->Name("TDxCameraStep/Orvi");

BENCHMARK_MAIN();
