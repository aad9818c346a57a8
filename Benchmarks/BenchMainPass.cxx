// One frame of 10,000 props, 100 of them tagged with vtkKivMainPass's keys,
// drawn through the chain a host installs (camera pass, then a sequence of
// lights pass and main pass) with vtkKivMainPass as the main pass, against
// the same chain with VTK's vtkDefaultPass, which ignores the keys.
//
// The benchmark's time is wall time. On a machine shared with other jobs it
// also measures how often the process was scheduled out, so each case also
// reports process_cpu_ms: the CPU time of the whole process per frame (the
// render thread and Mesa's rasterizer threads). Run with
// --benchmark_min_time=5 --benchmark_repetitions=3
// --benchmark_enable_random_interleaving=true for steadier figures.
#include "vtkKivMainPass.h"

#include "vtkActor.h"
#include "vtkCamera.h"
#include "vtkDefaultPass.h"
#include "vtkInformation.h"
#include "vtkInformationDoubleKey.h"
#include "vtkInformationIntegerKey.h"
#include "vtkNew.h"
#include "vtkPlaneSource.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderState.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkSmartPointer.h"
#include "vtkSphereSource.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <vector>

namespace
{
constexpr int Side = 100; // Side x Side props
constexpr int TaggedEvery = 100;

double ProcessCpuSeconds()
{
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

template <class MainPass>
void MainPassFrame(benchmark::State& state)
{
  vtkNew<vtkRenderWindow> window;
  window->SetSize(300, 300);
  window->SetMultiSamples(0);
  vtkNew<vtkRenderer> renderer;
  window->AddRenderer(renderer);

  vtkNew<MainPass> mainPass;
  vtkKivMainPass::InstallOn(renderer, mainPass);

  vtkNew<vtkPlaneSource> plane;
  plane->SetOrigin(0.0, 0.0, 0.0);
  plane->SetPoint1(0.8, 0.0, 0.0);
  plane->SetPoint2(0.0, 0.8, 0.0);
  plane->Update();

  // Tagged props: half wireframe, half with offset values.
  vtkNew<vtkInformation> wireframeKeys;
  wireframeKeys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
  vtkNew<vtkInformation> offsetKeys;
  offsetKeys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR(), 1.5);
  offsetKeys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), 3.0);

  std::vector<vtkSmartPointer<vtkActor>> actors;
  actors.reserve(Side * Side);
  for (int i = 0; i < Side * Side; ++i)
  {
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputData(plane->GetOutput());
    auto actor = vtkSmartPointer<vtkActor>::New();
    actor->SetMapper(mapper);
    actor->SetPosition(i % Side, i / Side, 0.0);
    if (i % TaggedEvery == 0)
    {
      actor->SetPropertyKeys((i / TaggedEvery) % 2 ? offsetKeys.GetPointer() : wireframeKeys);
    }
    renderer->AddActor(actor);
    actors.push_back(actor);
  }
  renderer->ResetCamera();
  window->Render(); // builds every mapper's buffers and shaders

  const double cpuStart = ProcessCpuSeconds();
  for (auto _ : state)
  {
    window->Render();
  }
  state.counters["process_cpu_ms"] =
    benchmark::Counter(1e3 * (ProcessCpuSeconds() - cpuStart), benchmark::Counter::kAvgIterations);
  // vtkRenderer::GetNumberOfPropsRendered() stays 0 while a pass is
  // installed; the main pass keeps its own count.
  state.counters["props"] = static_cast<double>(mainPass->GetNumberOfRenderedProps());
}

// The pass alone, without drawing: Render() over 10,000 actors that have no
// mapper (their RenderOpaqueGeometry returns at once), 100 of them tagged.
// What is left is each pass's own work per frame: the loops, and for
// vtkKivMainPass the records, the key look-ups and the switches.
template <class MainPass>
void MainPassStagesOnly(benchmark::State& state)
{
  vtkNew<vtkRenderer> renderer;
  vtkNew<vtkInformation> offsetKeys;
  offsetKeys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), 3.0);
  std::vector<vtkSmartPointer<vtkActor>> actors;
  std::vector<vtkProp*> props;
  for (int i = 0; i < Side * Side; ++i)
  {
    auto actor = vtkSmartPointer<vtkActor>::New();
    if (i % TaggedEvery == 0)
    {
      actor->SetPropertyKeys(offsetKeys);
    }
    actors.push_back(actor);
    props.push_back(actor);
  }
  vtkRenderState renderState(renderer);
  renderState.SetPropArrayAndCount(props.data(), static_cast<int>(props.size()));
  vtkNew<MainPass> pass;
  for (auto _ : state)
  {
    pass->Render(&renderState);
    benchmark::DoNotOptimize(pass->GetNumberOfRenderedProps());
  }
}

// A surface of about a million triangles with its edges, a frame per
// iteration at 800 x 600: as a host draws edges with the pass (a wireframe
// copy of the surface tagged RENDER_WIREFRAME, drawn by vtkKivMainPass in the
// installed chain) against VTK drawing the same surface with
// EdgeVisibilityOn() through the renderer's default passes.
void SurfaceWithEdges(benchmark::State& state, bool orvi)
{
  vtkNew<vtkRenderWindow> window;
  window->SetSize(800, 600);
  window->SetMultiSamples(0);
  vtkNew<vtkRenderer> renderer;
  window->AddRenderer(renderer);

  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(1000);
  sphere->SetPhiResolution(502);
  sphere->Update();
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputData(sphere->GetOutput());
  vtkNew<vtkActor> surface;
  surface->SetMapper(mapper);
  renderer->AddActor(surface);

  vtkNew<vtkActor> edges;
  vtkNew<vtkKivMainPass> mainPass;
  if (orvi)
  {
    vtkNew<vtkPolyDataMapper> edgeMapper;
    edgeMapper->SetInputData(sphere->GetOutput());
    edges->SetMapper(edgeMapper);
    edges->GetProperty()->SetRepresentationToWireframe();
    edges->GetProperty()->SetColor(0.0, 0.0, 0.0);
    edgeMapper->ScalarVisibilityOff();
    vtkNew<vtkInformation> keys;
    keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
    edges->SetPropertyKeys(keys);
    renderer->AddActor(edges);
    vtkKivMainPass::InstallOn(renderer, mainPass);
  }
  else
  {
    surface->GetProperty()->EdgeVisibilityOn();
    surface->GetProperty()->SetEdgeColor(0.0, 0.0, 0.0);
  }
  renderer->ResetCamera();
  window->Render();

  const double cpuStart = ProcessCpuSeconds();
  for (auto _ : state)
  {
    window->Render();
  }
  state.counters["process_cpu_ms"] =
    benchmark::Counter(1e3 * (ProcessCpuSeconds() - cpuStart), benchmark::Counter::kAvgIterations);
  state.counters["triangles"] = static_cast<double>(sphere->GetOutput()->GetNumberOfPolys());
}
} // namespace

BENCHMARK_CAPTURE(SurfaceWithEdges, Vtk, false)
  ->Name("SurfaceWithEdges/Vtk")
  ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SurfaceWithEdges, Orvi, true)
  ->Name("SurfaceWithEdges/Orvi")
  ->Unit(benchmark::kMillisecond);

BENCHMARK_TEMPLATE(MainPassStagesOnly, vtkDefaultPass)->Name("MainPassStagesOnly/Vtk");
BENCHMARK_TEMPLATE(MainPassStagesOnly, vtkKivMainPass)->Name("MainPassStagesOnly/Orvi");

BENCHMARK_TEMPLATE(MainPassFrame, vtkDefaultPass)
  ->Name("MainPassFrame/Vtk")
  ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(MainPassFrame, vtkKivMainPass)
  ->Name("MainPassFrame/Orvi")
  ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
