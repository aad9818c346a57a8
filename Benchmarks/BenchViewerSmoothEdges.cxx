// The frame cost of smooth edges in orvi-viewer's scene: a surface of about
// a million triangles coloured by a point array, its edges drawn over it by
// a wireframe actor tagged for vtkKivMainPass, at 1280 x 1024, the camera
// turning a degree per frame. SmoothEdges/NoFXAA renders without antialiasing,
// SmoothEdges/Orvi with VTK's FXAA as the viewer does
// (vtkRenderer::UseFXAAOn()), so the ratio is what smoothing costs a frame.
//
// Wall time; the process's CPU time per frame (the render thread and Mesa's
// rasterizer threads) is reported as process_cpu_ms.
#include "vtkKivMainPass.h"

#include "vtkActor.h"
#include "vtkCallbackCommand.h"
#include "vtkCamera.h"
#include "vtkElevationFilter.h"
#include "vtkInformation.h"
#include "vtkInformationIntegerKey.h"
#include "vtkNew.h"
#include "vtkOpenGLFXAAFilter.h"
#include "vtkOpenGLRenderer.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkSphereSource.h"

#include <benchmark/benchmark.h>

#include <ctime>

namespace
{
double ProcessCpuSeconds()
{
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void SmoothEdgesFrame(benchmark::State& state, bool smooth, int resolution)
{
  vtkNew<vtkRenderWindow> window;
  window->SetSize(1280, 1024);
  window->SetMultiSamples(0);
  vtkNew<vtkRenderer> renderer;
  window->AddRenderer(renderer);
  vtkKivMainPass::InstallOn(renderer);
  vtkNew<vtkOpenGLFXAAFilter> fxaa;
  vtkNew<vtkCallbackCommand> smoothing;
  smoothing->SetClientData(fxaa);
  smoothing->SetCallback(
    [](vtkObject* caller, unsigned long, void* filter, void*) {
      static_cast<vtkOpenGLFXAAFilter*>(filter)->Execute(static_cast<vtkOpenGLRenderer*>(caller));
    });
  if (smooth)
  {
    renderer->AddObserver(vtkCommand::EndEvent, smoothing);
  }

  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(resolution);
  sphere->SetPhiResolution(resolution); // 710: 1,004,940 triangles
  vtkNew<vtkElevationFilter> colours;
  colours->SetInputConnection(sphere->GetOutputPort());
  colours->Update();

  vtkNew<vtkPolyDataMapper> surfaceMapper;
  surfaceMapper->SetInputConnection(colours->GetOutputPort());
  vtkNew<vtkActor> surface;
  surface->SetMapper(surfaceMapper);
  renderer->AddActor(surface);

  vtkNew<vtkPolyDataMapper> edgeMapper;
  edgeMapper->SetInputConnection(colours->GetOutputPort());
  edgeMapper->ScalarVisibilityOff();
  vtkNew<vtkActor> edges;
  edges->SetMapper(edgeMapper);
  edges->GetProperty()->SetRepresentationToWireframe();
  edges->GetProperty()->SetColor(0.05, 0.05, 0.08);
  edges->GetProperty()->LightingOff();
  vtkNew<vtkInformation> keys;
  keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
  edges->SetPropertyKeys(keys);
  renderer->AddActor(edges);

  renderer->ResetCamera();
  window->Render(); // uploads the geometry once
  const double cpu = ProcessCpuSeconds();
  for (auto _ : state)
  {
    renderer->GetActiveCamera()->Azimuth(1.0);
    window->Render();
  }
  state.counters["process_cpu_ms"] =
    benchmark::Counter(1e3 * (ProcessCpuSeconds() - cpu), benchmark::Counter::kAvgIterations);
  state.counters["triangles"] = static_cast<double>(colours->GetOutput()->GetNumberOfCells());
}
} // namespace

// A million triangles, and 20 thousand, where the filter's cost per pixel
// weighs more in the frame.
BENCHMARK_CAPTURE(SmoothEdgesFrame, Vtk, false, 710)
  ->Name("SmoothEdges/NoFXAA")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();
BENCHMARK_CAPTURE(SmoothEdgesFrame, Orvi, true, 710)
  ->Name("SmoothEdges/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();
BENCHMARK_CAPTURE(SmoothEdgesFrame, Vtk, false, 100)
  ->Name("SmoothEdgesLight/NoFXAA")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();
BENCHMARK_CAPTURE(SmoothEdgesFrame, Orvi, true, 100)
  ->Name("SmoothEdgesLight/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();

BENCHMARK_MAIN();
