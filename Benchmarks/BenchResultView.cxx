// Looking into a result at scale: orvi-viewer's scene (orvi::Viewer) of
// gmsh's t5 split into about ten million tetrahedra (t5-10m.vtu in the
// benchmarks' data folder, orviBenchData.h; its cases skip without it), in
// a 1280 x 1024 window, a point vector "u" (made from the coordinates after
// the read, standing in for a solver's displacement).
//
// ArraySwitch/FirstPicture is the first picture: the file read, the vector
// added, the boundary surface extracted, the scene built and drawn once (one
// run). ArraySwitch/Orvi colours by another component of the vector (x, y,
// z, magnitude in turn) and draws the frame: what Viewer::SetArray() costs
// on the surfaces already extracted.
#include "orviBenchData.h"
#include "orviMeshes.h"
#include "orviViewer.h"
#include "orviViewerOptions.h"

#include "vtkDoubleArray.h"
#include "vtkPointData.h"
#include "vtkUnstructuredGrid.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>

namespace
{
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The scene, made once by the first case that asks.
struct Scene
{
  std::ostringstream Log;
  std::unique_ptr<orvi::Viewer> Viewer;
  std::vector<orvi::NamedMesh> Meshes;
  double FirstPicture = 0.0; // seconds
  std::string Failure;

  Scene()
  {
    const std::string path = orvi_bench::DataFile("t5-10m.vtu", this->Failure);
    if (path.empty())
    {
      return;
    }
    const Clock::time_point start = Clock::now();
    vtkNew<vtkXMLUnstructuredGridReader> reader;
    reader->SetFileName(path.c_str());
    reader->Update();
    vtkSmartPointer<vtkUnstructuredGrid> mesh = reader->GetOutput();
    vtkNew<vtkDoubleArray> u;
    u->SetName("u");
    u->SetNumberOfComponents(3);
    u->SetNumberOfTuples(mesh->GetNumberOfPoints());
    for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
    {
      const double* p = mesh->GetPoint(i);
      u->SetTuple3(i, p[1] * p[2], -p[0] * p[2], 0.1 * p[0] * p[1]);
    }
    mesh->GetPointData()->AddArray(u);
    orvi::ViewerOptions options;
    options.Width = 1280;
    options.Height = 1024;
    options.Script = "(benchmark)"; // a window driven by hand
    options.ArrayName = "u";
    this->Meshes.push_back({ "t5-10m", mesh });
    this->Viewer = std::make_unique<orvi::Viewer>(options, this->Log);
    if (!this->Viewer->SetMeshes(this->Meshes, this->Failure))
    {
      return;
    }
    this->Viewer->Render();
    this->FirstPicture = Since(start);
  }
};

Scene& TheScene()
{
  static Scene scene;
  return scene;
}

void FirstPicture(benchmark::State& state)
{
  Scene& scene = TheScene();
  if (!scene.Failure.empty())
  {
    state.SkipWithError(scene.Failure.c_str());
    return;
  }
  for (auto _ : state)
  {
    state.SetIterationTime(scene.FirstPicture);
  }
}

void SwitchComponent(benchmark::State& state)
{
  Scene& scene = TheScene();
  if (!scene.Failure.empty())
  {
    state.SkipWithError(scene.Failure.c_str());
    return;
  }
  const char* specs[] = { "u:x", "u:y", "u:z", "u:magnitude" };
  size_t next = 0;
  for (auto _ : state)
  {
    const Clock::time_point start = Clock::now();
    std::string error; // SetArray() draws the new frame
    if (!scene.Viewer->SetArray(specs[next++ % 4], error))
    {
      state.SkipWithError(error.c_str());
      return;
    }
    state.SetIterationTime(Since(start));
  }
}
} // namespace

int main(int argc, char** argv)
{
  benchmark::RegisterBenchmark("ArraySwitch/FirstPicture", FirstPicture)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ArraySwitch/Orvi", SwitchComponent)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
