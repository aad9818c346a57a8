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
// Each frame case is one benchmark, <Case>/Pair, whose iterations draw a
// frame of VTK's side and one of orvi's in turn in the same process
// (FramePair): its counters are each side's CPU and wall time a frame, and
// scripts/bench_ratios.py prints their ratio. A case runs at least
// $ORVI_BENCH_FRAME_SECONDS (3 by default); scripts/bench.sh repeats it three
// times and gives the medians and the spread.
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
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define ORVI_HAVE_CALLGRIND
#endif

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
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

// Under valgrind's callgrind (scripts/bench.sh --instructions, which starts
// it with instrumentation off) only the timed frames are instrumented, and
// each frame's instructions are dumped on their own, named for the side that
// drew it; without valgrind these do nothing.
void StartCountingFrame()
{
#ifdef ORVI_HAVE_CALLGRIND
  CALLGRIND_START_INSTRUMENTATION;
  CALLGRIND_ZERO_STATS;
#endif
}

void DumpCountedFrame(const std::string& side)
{
#ifdef ORVI_HAVE_CALLGRIND
  CALLGRIND_DUMP_STATS_AT(side.c_str());
  CALLGRIND_STOP_INSTRUMENTATION;
#else
  (void)side;
#endif
}

// A window of 10,000 props, 100 of them tagged, drawn through the chain
// vtkKivMainPass::InstallOn() makes with `MainPass` as its main pass.
template <class MainPass>
vtkSmartPointer<vtkRenderWindow> MainPassWindow()
{
  auto window = vtkSmartPointer<vtkRenderWindow>::New();
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

  for (int i = 0; i < Side * Side; ++i)
  {
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputData(plane->GetOutput());
    vtkNew<vtkActor> actor;
    actor->SetMapper(mapper);
    actor->SetPosition(i % Side, i / Side, 0.0);
    if (i % TaggedEvery == 0)
    {
      actor->SetPropertyKeys((i / TaggedEvery) % 2 ? offsetKeys.GetPointer() : wireframeKeys);
    }
    renderer->AddActor(actor);
  }
  renderer->ResetCamera();
  return window;
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

// A window drawing `data` with its edges: as a host draws edges with the
// pass (a wireframe copy of the surface tagged RENDER_WIREFRAME, drawn by
// vtkKivMainPass in the installed chain), or as VTK draws the same surface
// with EdgeVisibilityOn() through the renderer's default passes.
vtkSmartPointer<vtkRenderWindow> EdgesWindow(vtkPolyData* data, bool orvi, int width, int height)
{
  auto window = vtkSmartPointer<vtkRenderWindow>::New();
  window->SetSize(width, height);
  window->SetMultiSamples(0);
  vtkNew<vtkRenderer> renderer;
  window->AddRenderer(renderer);

  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputData(data);
  vtkNew<vtkActor> surface;
  surface->SetMapper(mapper);
  renderer->AddActor(surface);
  if (orvi)
  {
    vtkNew<vtkPolyDataMapper> edgeMapper;
    edgeMapper->SetInputData(data);
    edgeMapper->ScalarVisibilityOff();
    vtkNew<vtkActor> edges;
    edges->SetMapper(edgeMapper);
    edges->GetProperty()->SetRepresentationToWireframe();
    edges->GetProperty()->SetColor(0.0, 0.0, 0.0);
    vtkNew<vtkInformation> keys;
    keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
    edges->SetPropertyKeys(keys);
    renderer->AddActor(edges);
    vtkKivMainPass::InstallOn(renderer);
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
  return window;
}

// The median of the values (empty: 0).
double Median(std::vector<double> values)
{
  if (values.empty())
  {
    return 0.0;
  }
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// Frames of a case's two windows drawn in turn in one process, each frame
// timed by the process's CPU time (the render thread and Mesa's rasteriser
// threads): a load that comes and goes on a shared machine meets both sides
// alike, and time the process spends scheduled out counts for neither. An
// iteration is a frame of each, the side drawn first alternating. Counters:
// each side's median CPU and wall milliseconds a frame (<Side>_cpu_ms,
// <Side>_wall_ms; a frame that another job slowed down moves a median less
// than a mean), which scripts/bench_ratios.py reads as the pair's times.
void FramePair(benchmark::State& state,
  const char* baseline,
  vtkRenderWindow* base,
  vtkRenderWindow* orvi)
{
  // Two frames of each side first: the first builds the mappers' buffers and
  // shaders, and Mesa's rasteriser may compile more of its own code for the
  // frames that follow a frame of the other window.
  vtkRenderWindow* windows[2] = { base, orvi };
  for (int round = 0; round < 2; ++round)
  {
    for (vtkRenderWindow* window : windows)
    {
      window->Render();
    }
  }
  const std::string names[2] = { baseline, "Orvi" };
  std::vector<double> cpu[2];
  std::vector<double> wall[2];
  int first = 0;
  for (auto _ : state)
  {
    for (int side : { first, 1 - first })
    {
      const double cpuStart = ProcessCpuSeconds();
      const auto wallStart = std::chrono::steady_clock::now();
      StartCountingFrame();
      windows[side]->Render();
      DumpCountedFrame(names[side]);
      wall[side].push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
      cpu[side].push_back(ProcessCpuSeconds() - cpuStart);
    }
    first = 1 - first;
  }
  for (int side : { 0, 1 })
  {
    state.counters[names[side] + "_cpu_ms"] = 1e3 * Median(cpu[side]);
    state.counters[names[side] + "_wall_ms"] = 1e3 * Median(wall[side]);
  }
}

// A case's VTK and orvi windows drawing `data` with its edges, in turn.
void EdgesPair(benchmark::State& state, vtkPolyData* data, int width, int height)
{
  FramePair(
    state, "Vtk", EdgesWindow(data, false, width, height), EdgesWindow(data, true, width, height));
  state.counters["polygons"] = static_cast<double>(data->GetNumberOfPolys());
}

// A sphere of about a million triangles at 800 x 600.
void SurfaceWithEdges(benchmark::State& state)
{
  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(1000);
  sphere->SetPhiResolution(502);
  sphere->Update();
  EdgesPair(state, sphere->GetOutput(), 800, 600);
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

void HexMeshWithEdges(benchmark::State& state)
{
  EdgesPair(state, HexSurface(), 1280, 1024);
}

void TetMeshWithEdges(benchmark::State& state)
{
  std::string why;
  const auto& surface = TetSurface(why);
  if (!surface || surface->GetNumberOfPolys() == 0)
  {
    state.SkipWithError(why.c_str());
    return;
  }
  EdgesPair(state, surface, 1280, 1024);
}

// The pass's frame of 10,000 props against VTK's vtkDefaultPass in its
// place, which ignores the keys.
void MainPassFrame(benchmark::State& state)
{
  FramePair(state, "Vtk", MainPassWindow<vtkDefaultPass>(), MainPassWindow<vtkKivMainPass>());
}

// Seconds each frame case runs at least, from $ORVI_BENCH_FRAME_SECONDS
// (scripts/bench.sh sets it; 3 without it): frames of a few hundred
// milliseconds need that many to average out what the other jobs of a shared
// machine do to the caches.
double FrameSeconds()
{
  const char* set = std::getenv("ORVI_BENCH_FRAME_SECONDS");
  const double seconds = set ? std::atof(set) : 0.0;
  return seconds > 0.0 ? seconds : 3.0;
}

// Each frame case as one pair <Case>/Pair, in milliseconds.
const bool FrameCasesRegistered = []
{
  const std::pair<const char*, void (*)(benchmark::State&)> cases[] = {
    { "MainPassFrame", MainPassFrame },
    { "HexMeshWithEdges", HexMeshWithEdges },
    { "TetMeshWithEdges", TetMeshWithEdges },
    { "SurfaceWithEdges", SurfaceWithEdges },
  };
  for (const auto& [name, run] : cases)
  {
    benchmark::RegisterBenchmark((std::string(name) + "/Pair").c_str(), run)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(FrameSeconds());
  }
  return true;
}();
} // namespace

BENCHMARK_TEMPLATE(MainPassStagesOnly, vtkDefaultPass)->Name("MainPassStagesOnly/Vtk");
BENCHMARK_TEMPLATE(MainPassStagesOnly, vtkKivMainPass)->Name("MainPassStagesOnly/Orvi");

BENCHMARK_MAIN();
