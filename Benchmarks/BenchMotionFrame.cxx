// Frames of a scripted rotation of orvi-viewer's scene (the mesh's boundary
// surface coloured by a point array, its edges through vtkKivMainPass, a
// gradient background) in a 1280 x 1024 window: the full surface
// (<Case>/FullSurface, what is drawn without a stand-in) against
// orvi::MotionSurface's stand-in (<Case>/Orvi), edges off and on.
// MotionEdges/<mesh> compares stand-in frames without edges (NoEdges) and
// with them (Orvi): what the edges cost in motion. Cluster/<mesh> times the stand-in's clustering
// of the surface (orvi::ClusteredSurface, Orvi) against vtkQuadricClustering's
// (Vtk).
//
// The meshes: the files named in ORVI_MOTION_MESHES (separated by ':', .vtu
// or legacy .vtk), otherwise a generated block of 432,000 tetrahedra with a
// wavy top and gmsh's t5 split into about ten million tetrahedra
// (t5-10m.vtu in the benchmarks' data folder, orviBenchData.h, which
// scripts/bench.sh makes; its cases skip without it). Each frame turns the
// camera by two degrees and waits until the frame is drawn. Counters:
// triangles drawn, frames a second.
#include "orviBenchData.h"
#include "orviBlockMesh.h"
#include "orviBoundarySurface.h"
#include "orviClusteredSurface.h"
#include "orviEdges.h"
#include "orviMotionSurface.h"

#include "vtkKivMainPass.h"

#include "vtkActor.h"
#include "vtkCamera.h"
#include "vtkCellType.h"
#include "vtkDoubleArray.h"
#include "vtkLookupTable.h"
#include "vtkMassProperties.h"
#include "vtkNew.h"
#include "vtkPNGWriter.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkQuadricClustering.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"
#include "vtkSmartPointer.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridReader.h"
#include "vtkWindowToImageFilter.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace
{
vtkSmartPointer<vtkUnstructuredGrid> ReadMesh(const std::string& path)
{
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".vtu") == 0)
  {
    vtkNew<vtkXMLUnstructuredGridReader> reader;
    reader->SetFileName(path.c_str());
    reader->Update();
    return reader->GetOutput();
  }
  vtkNew<vtkUnstructuredGridReader> reader;
  reader->SetFileName(path.c_str());
  reader->Update();
  return reader->GetOutput();
}

// 60 x 60 x 20 cubes of six tetrahedra, the top bent into waves.
vtkSmartPointer<vtkUnstructuredGrid> GeneratedMesh()
{
  auto grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
  vtkNew<vtkPoints> points;
  grid->SetPoints(points);
  orvi_test::AddBlock(
    grid, points, 60, 60, 20, [](int, int, int) { return orvi_test::CubeShape::SixTetrahedra; });
  for (vtkIdType i = 0; i < points->GetNumberOfPoints(); ++i)
  {
    double x[3];
    points->GetPoint(i, x);
    x[2] *= 1.0 + 0.3 * std::sin(x[0] / 6.0) * std::cos(x[1] / 7.0);
    points->SetPoint(i, x);
  }
  return grid;
}

// The viewer's scene of one mesh in a window of its own.
struct Scene
{
  vtkNew<vtkRenderer> Renderer; // outlives the overlays that observe it
  vtkNew<orvi::BoundarySurface> Surface;
  vtkNew<orvi::MotionActor> Actor;
  orvi::EdgeOverlay Edges;
  vtkNew<vtkRenderWindow> Window;
  vtkNew<vtkRenderWindowInteractor> Interactor;
  orvi::MotionSurface Motion;
  std::string Failure; // why the scene has no mesh

  // The generated mesh for an empty path; a file of the data folder for a
  // name without a slash.
  explicit Scene(std::string path)
  {
    if (!path.empty() && path.find('/') == std::string::npos &&
      (path = orvi_bench::DataFile(path, this->Failure)).empty())
    {
      return;
    }
    vtkSmartPointer<vtkUnstructuredGrid> mesh = path.empty() ? GeneratedMesh() : ReadMesh(path);
    if (!mesh || mesh->GetNumberOfCells() == 0)
    {
      this->Failure = "cannot read " + path;
      return;
    }
    vtkNew<vtkDoubleArray> height;
    height->SetName("height");
    height->SetNumberOfValues(mesh->GetNumberOfPoints());
    for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
    {
      height->SetValue(i, mesh->GetPoint(i)[2]);
    }
    mesh->GetPointData()->AddArray(height);
    this->Surface->SetInputData(mesh);
    this->Surface->PassThroughCellIdsOn();
    this->Surface->Update();

    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputConnection(this->Surface->GetOutputPort());
    mapper->SetScalarModeToUsePointFieldData();
    mapper->SelectColorArray("height");
    vtkNew<vtkLookupTable> lut;
    lut->SetHueRange(0.667, 0.0);
    lut->SetTableRange(height->GetRange());
    lut->Build();
    mapper->SetLookupTable(lut);
    mapper->UseLookupTableScalarRangeOn();
    this->Actor->SetMapper(mapper);
    this->Renderer->AddActor(this->Actor);
    this->Renderer->GradientBackgroundOn();
    this->Renderer->SetBackground(0.10, 0.11, 0.14);
    this->Renderer->SetBackground2(0.30, 0.33, 0.40);
    vtkKivMainPass::InstallOn(this->Renderer);
    this->Edges.Attach(this->Surface->GetOutput(), this->Renderer, orvi::EdgeMode::On);

    this->Window->SetSize(1280, 1024);
    this->Window->SetMultiSamples(0);
    this->Window->AddRenderer(this->Renderer);
    this->Interactor->SetRenderWindow(this->Window);
    this->Motion.Attach(this->Renderer, this->Interactor);
    this->Motion.Add(this->Actor, this->Edges.GetActor());
    vtkCamera* camera = this->Renderer->GetActiveCamera();
    camera->Elevation(-60.0);
    camera->OrthogonalizeViewUp();
    this->Renderer->ResetCamera();
    // The second full frame (edges on; the first one is not measured) makes
    // the stand-in.
    this->Window->Render();
    this->Window->Render();
    this->Motion.WaitForStandIns();
  }
};

std::map<std::string, std::unique_ptr<Scene>>& Scenes()
{
  static std::map<std::string, std::unique_ptr<Scene>> scenes;
  return scenes;
}

// The scene of `path`, made on first use; nullptr (the case skips) when
// the mesh cannot be read.
Scene* SceneOf(benchmark::State& state, const std::string& path)
{
  std::unique_ptr<Scene>& scene = Scenes()[path];
  if (!scene)
  {
    scene = std::make_unique<Scene>(path);
  }
  if (!scene->Failure.empty())
  {
    state.SkipWithError(scene->Failure.c_str());
    return nullptr;
  }
  return scene.get();
}

// The clustering alone, of the surface the frames draw, into 20,000
// triangles (the stand-in's usual size): vtkQuadricClustering with a grid of
// cells as large as orvi::ClusteredSurface's (Vtk) against
// orvi::ClusteredSurface (Orvi).
void Cluster(benchmark::State& state, const std::string& path, bool orvi)
{
  Scene* scene = SceneOf(state, path);
  if (!scene)
  {
    return;
  }
  constexpr vtkIdType target = 20000;
  vtkPolyData* surface = scene->Surface->GetOutput();
  vtkNew<orvi::ClusteredSurface> ours;
  ours->SetTargetTriangles(target);
  vtkNew<vtkMassProperties> mass;
  mass->SetInputData(surface);
  mass->Update();
  const double h = std::sqrt(2.0 * mass->GetSurfaceArea() / static_cast<double>(target));
  const double* b = surface->GetBounds();
  auto divisions = [&](int i)
  { return std::max(2, static_cast<int>((b[2 * i + 1] - b[2 * i]) / h) + 1); };
  vtkNew<vtkQuadricClustering> vtk;
  vtk->AutoAdjustNumberOfDivisionsOff();
  vtk->SetNumberOfDivisions(divisions(0), divisions(1), divisions(2));
  vtkPolyDataAlgorithm* filter = orvi ? static_cast<vtkPolyDataAlgorithm*>(ours) : vtk;
  filter->SetInputData(surface);
  for (auto _ : state)
  {
    filter->Modified();
    filter->Update();
    benchmark::DoNotOptimize(filter->GetOutput()->GetNumberOfPolys());
  }
  state.counters["input_triangles"] = static_cast<double>(surface->GetNumberOfPolys());
  state.counters["triangles"] = static_cast<double>(filter->GetOutput()->GetNumberOfPolys());
}

void Frames(benchmark::State& state,
  const std::string& name,
  const std::string& path,
  bool standIn,
  bool edges)
{
  Scene* scene = SceneOf(state, path);
  if (!scene)
  {
    return;
  }
  scene->Edges.SetMode(edges ? orvi::EdgeMode::On : orvi::EdgeMode::Off);
  // VTK's interaction rate or its still rate, as the styles set them.
  scene->Window->SetDesiredUpdateRate(
    standIn ? scene->Interactor->GetDesiredUpdateRate() : scene->Interactor->GetStillUpdateRate());
  vtkCamera* camera = scene->Renderer->GetActiveCamera();
  int drawn = 0;
  const std::clock_t cpu = std::clock();
  for (auto _ : state)
  {
    camera->Azimuth(2.0);
    scene->Renderer->ResetCameraClippingRange();
    scene->Window->Render();
    scene->Window->WaitForCompletion();
    drawn += scene->Motion.DrewStandIns() ? 1 : 0;
  }
  if (const char* dir = std::getenv("ORVI_MOTION_SNAPSHOTS"))
  {
    std::string file = name;
    std::replace(file.begin(), file.end(), '/', '-');
    vtkNew<vtkWindowToImageFilter> grab;
    grab->SetInput(scene->Window);
    grab->ReadFrontBufferOn();
    grab->ShouldRerenderOff();
    vtkNew<vtkPNGWriter> writer;
    writer->SetInputConnection(grab->GetOutputPort());
    writer->SetFileName((std::string(dir) + "/" + file + ".png").c_str());
    writer->Write();
  }
  const vtkIdType full = scene->Surface->GetOutput()->GetNumberOfPolys();
  state.counters["triangles"] =
    static_cast<double>(standIn ? scene->Motion.GetStandInTriangles(0, edges) : full);
  state.counters["standin_frames"] = drawn;
  // The whole process's CPU time (Mesa's rasterizer threads included): on
  // a machine shared with other jobs, steadier than the wall time.
  state.counters["process_cpu_ms"] = 1e3 * static_cast<double>(std::clock() - cpu) /
    CLOCKS_PER_SEC / static_cast<double>(state.iterations());
  state.counters["fps"] =
    benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  scene->Window->SetDesiredUpdateRate(scene->Interactor->GetStillUpdateRate());
}

std::vector<std::string> MeshPaths()
{
  std::vector<std::string> paths;
  if (const char* env = std::getenv("ORVI_MOTION_MESHES"))
  {
    std::istringstream list(env);
    for (std::string path; std::getline(list, path, ':');)
    {
      if (!path.empty())
      {
        paths.push_back(path);
      }
    }
  }
  if (paths.empty())
  {
    paths.emplace_back(); // the generated mesh
    paths.emplace_back("t5-10m.vtu");
  }
  return paths;
}

std::string MeshName(const std::string& path)
{
  if (path.empty())
  {
    return "Generated";
  }
  const size_t slash = path.find_last_of('/');
  std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  return name.substr(0, name.find('.'));
}
// Registers one case: frames of `path`, stand-in or full, edges or not.
void Register(const std::string& name, const std::string& path, bool standIn, bool edges)
{
  benchmark::RegisterBenchmark(name.c_str(),
    [name, path, standIn, edges](benchmark::State& s) { Frames(s, name, path, standIn, edges); })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
}
} // namespace

int main(int argc, char** argv)
{
  for (const std::string& path : MeshPaths())
  {
    const std::string mesh = MeshName(path);
    for (const bool edges : { false, true })
    {
      for (const bool standIn : { false, true })
      {
        Register("MotionFrame/" + mesh + (edges ? "/EdgesOn" : "/EdgesOff") +
            (standIn ? "/Orvi" : "/FullSurface"),
          path,
          standIn,
          edges);
      }
    }
    for (const bool edges : { false, true })
    {
      Register("MotionEdges/" + mesh + (edges ? "/Orvi" : "/NoEdges"), path, true, edges);
    }
    for (const bool orvi : { false, true })
    {
      benchmark::RegisterBenchmark(("Cluster/" + mesh + (orvi ? "/Orvi" : "/Vtk")).c_str(),
        [path, orvi](benchmark::State& s) { Cluster(s, path, orvi); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Scenes().clear();
  return 0;
}
