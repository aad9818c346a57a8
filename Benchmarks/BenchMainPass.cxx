// Edges on real-sized meshes at 1280 x 1024: a hexahedral mesh of a million
// cells (its surface in quadrilaterals) and gmsh's tetrahedral mesh of its
// tutorial t5 (1.2 million tetrahedra with -clscale 0.2, t5-1m.vtk in the
// benchmarks' data folder, which scripts/bench.sh makes), each drawn with
// the pass's edges against VTK's EdgeVisibilityOn() on the same surface.
//
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
#include "orviBenchData.h"

#include "vtkKivMainPass.h"

#include "vtkActor.h"
#include "vtkCamera.h"
#include "vtkCellArray.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkDefaultPass.h"
#include "vtkExtractCells.h"
#include "vtkIdList.h"
#include "vtkImageData.h"
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
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridReader.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <utility>
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

// Frames of `data` with its edges at the window size, a frame per
// iteration: as a host draws edges with the pass (a wireframe copy of the
// surface tagged RENDER_WIREFRAME, drawn by vtkKivMainPass in the installed
// chain) against VTK drawing the same surface with EdgeVisibilityOn()
// through the renderer's default passes.
void FramesWithEdges(benchmark::State& state, vtkPolyData* data, bool orvi, int width, int height)
{
  vtkNew<vtkRenderWindow> window;
  window->SetSize(width, height);
  window->SetMultiSamples(0);
  vtkNew<vtkRenderer> renderer;
  window->AddRenderer(renderer);

  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputData(data);
  vtkNew<vtkActor> surface;
  surface->SetMapper(mapper);
  renderer->AddActor(surface);

  vtkNew<vtkActor> edges;
  vtkNew<vtkKivMainPass> mainPass;
  if (orvi)
  {
    vtkNew<vtkPolyDataMapper> edgeMapper;
    edgeMapper->SetInputData(data);
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
  renderer->GetActiveCamera()->Azimuth(30.0);
  renderer->GetActiveCamera()->Elevation(20.0);
  renderer->GetActiveCamera()->OrthogonalizeViewUp();
  renderer->ResetCamera();
  window->Render();

  const double cpuStart = ProcessCpuSeconds();
  for (auto _ : state)
  {
    window->Render();
  }
  state.counters["process_cpu_ms"] =
    benchmark::Counter(1e3 * (ProcessCpuSeconds() - cpuStart), benchmark::Counter::kAvgIterations);
  state.counters["polygons"] = static_cast<double>(data->GetNumberOfPolys());
}

// A sphere of about a million triangles at 800 x 600.
void SurfaceWithEdges(benchmark::State& state, bool orvi)
{
  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(1000);
  sphere->SetPhiResolution(502);
  sphere->Update();
  FramesWithEdges(state, sphere->GetOutput(), orvi, 800, 600);
}

// The surface of the cells of the highest dimension in the mesh (gmsh writes
// its boundary triangles, lines and vertices beside the tetrahedra).
vtkSmartPointer<vtkPolyData> VolumeSurface(vtkUnstructuredGrid* mesh)
{
  vtkNew<vtkIdList> volume;
  vtkUnsignedCharArray* types = mesh->GetCellTypesArray();
  for (vtkIdType c = 0; c < mesh->GetNumberOfCells(); ++c)
  {
    const int type = types->GetValue(c);
    if (type == VTK_TETRA || type == VTK_HEXAHEDRON || type == VTK_WEDGE || type == VTK_PYRAMID)
    {
      volume->InsertNextId(c);
    }
  }
  vtkNew<vtkExtractCells> extract;
  extract->SetInputData(mesh);
  extract->SetCellList(volume);
  vtkNew<vtkDataSetSurfaceFilter> surface;
  surface->SetInputConnection(extract->GetOutputPort());
  surface->Update();
  return surface->GetOutput();
}

// A hexahedral mesh of 200 x 200 x 25 cells (a million): its surface is
// 100,000 quadrilaterals.
const vtkSmartPointer<vtkPolyData>& HexSurface()
{
  static const vtkSmartPointer<vtkPolyData> surface = []
  {
    vtkNew<vtkImageData> block;
    block->SetDimensions(201, 201, 26);
    block->SetSpacing(1.0, 1.0, 2.0);
    vtkNew<vtkDataSetSurfaceFilter> extract;
    extract->SetInputData(block);
    extract->Update();
    return vtkSmartPointer<vtkPolyData>(extract->GetOutput());
  }();
  return surface;
}

// The surface of gmsh's tetrahedral mesh of t5 in the benchmarks' data
// folder (t5-1m.vtk, orviBenchData.h); null with `why` set without it.
const vtkSmartPointer<vtkPolyData>& TetSurface(std::string& why)
{
  static std::string failure;
  static const vtkSmartPointer<vtkPolyData> surface = []() -> vtkSmartPointer<vtkPolyData>
  {
    const std::string file = orvi_bench::DataFile("t5-1m.vtk", failure);
    if (file.empty())
    {
      return nullptr;
    }
    vtkNew<vtkUnstructuredGridReader> reader;
    reader->SetFileName(file.c_str());
    reader->Update();
    return VolumeSurface(reader->GetOutput());
  }();
  why = failure;
  return surface;
}

void HexMeshWithEdges(benchmark::State& state, bool orvi)
{
  FramesWithEdges(state, HexSurface(), orvi, 1280, 1024);
}

void TetMeshWithEdges(benchmark::State& state, bool orvi)
{
  std::string why;
  const auto& surface = TetSurface(why);
  if (!surface || surface->GetNumberOfPolys() == 0)
  {
    state.SkipWithError(why.c_str());
    return;
  }
  FramesWithEdges(state, surface, orvi, 1280, 1024);
}

// <Case>/Vtk and <Case>/Orvi of each frame case, in milliseconds.
const bool FrameCasesRegistered = []
{
  const std::pair<const char*, void (*)(benchmark::State&, bool)> cases[] = {
    { "HexMeshWithEdges", HexMeshWithEdges },
    { "TetMeshWithEdges", TetMeshWithEdges },
    { "SurfaceWithEdges", SurfaceWithEdges },
  };
  for (const auto& [name, run] : cases)
  {
    for (bool orvi : { false, true })
    {
      benchmark::RegisterBenchmark(
        (std::string(name) + (orvi ? "/Orvi" : "/Vtk")).c_str(), run, orvi)
        ->Unit(benchmark::kMillisecond);
    }
  }
  return true;
}();
} // namespace

BENCHMARK_TEMPLATE(MainPassStagesOnly, vtkDefaultPass)->Name("MainPassStagesOnly/Vtk");
BENCHMARK_TEMPLATE(MainPassStagesOnly, vtkKivMainPass)->Name("MainPassStagesOnly/Orvi");

BENCHMARK_TEMPLATE(MainPassFrame, vtkDefaultPass)
  ->Name("MainPassFrame/Vtk")
  ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(MainPassFrame, vtkKivMainPass)
  ->Name("MainPassFrame/Orvi")
  ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
