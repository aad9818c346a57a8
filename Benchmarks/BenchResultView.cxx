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
//
// WarpScale/FullFrame draws the deformed shape (the surface moved by u) again
// as it is: one full still frame. WarpScale/Orvi doubles or halves the scale
// (the keys + and -) and draws the frame: Viewer::ScaleWarp() rewrites the
// surface's points and nothing else, so its ratio to the full frame is what
// a scale change costs beyond the frame it draws. The two are measured in
// turn, eight of each, in the process's CPU time (every thread's, the
// software rasteriser's included), which a loaded machine does not inflate
// as it inflates the wall time.
//
// SectionMove/FullFrame draws the scene with a section cut through the
// model's centre again as it is; SectionMove/Orvi moves the plane along its
// normal by 2% of the model's size (the keys ] and [, in turn) and draws the
// new picture: the cells the plane touches found from the cells' extents
// along the normal computed at the first cut, cut again by
// vtk3DLinearGridPlaneCutter, and the frame. At most half a second, whatever its ratio to the full frame. Both
// are measured in turn as the warp's are, after the first cut (which
// computes the extents).
//
// SectionWarpScale/FullFrame and /Orvi are the warp's scale change again,
// with the section cut in place: the deformed mesh cut anew, its cells
// found from the extents of the undeformed points and of the displacement
// kept from the first cut. SectionRotate/StandIn and /Orvi are frames in
// motion (the camera turned two degrees a frame, the stand-ins built)
// without the section and with it, in turn. Each row also gives its mean
// wall time (wall_ms) beside the CPU time it reports.
//
// PickCsv/Orvi writes the table of a pick of 100,000 cells (the mesh's first
// ones; every cell array, every point array averaged over each cell's
// points) into a temporary file, as --pick-out does: at most a second.
#include "orviBenchData.h"
#include "orviIsolatedRead.h"
#include "orviMeshes.h"
#include "orviMotionSurface.h"
#include "orviPickValues.h"
#include "orviViewer.h"
#include "orviViewerOptions.h"

#include "vtkCamera.h"
#include "vtkDoubleArray.h"
#include "vtkPointData.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"
#include "vtkUnstructuredGrid.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The CPU time of every thread of the process so far.
double ProcessSeconds()
{
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
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

// The frames of a change, measured once for both of its cases: full frames
// and changes in turn, so that a machine whose load drifts weighs on both
// alike.
struct ChangeTimes
{
  std::vector<double> Full, Change;         // seconds of CPU time
  std::vector<double> FullWall, ChangeWall; // and of wall time
  std::string Failure;
};

// Runs what() and adds the CPU and wall time it took.
template <typename What>
void Time(What&& what, std::vector<double>& cpu, std::vector<double>& wall)
{
  const double start = ProcessSeconds();
  const Clock::time_point started = Clock::now();
  what();
  cpu.push_back(ProcessSeconds() - start);
  wall.push_back(Since(started));
}

// Eight full frames and eight changes (change(i) draws its frame) in turn,
// after setup(viewer, failure) succeeded.
template <typename Setup, typename Change>
ChangeTimes MeasureChange(Setup&& setup, Change&& change)
{
  ChangeTimes measured;
  Scene& scene = TheScene();
  measured.Failure = scene.Failure;
  if (!measured.Failure.empty() || !setup(*scene.Viewer, measured.Failure))
  {
    return measured;
  }
  for (int i = 0; i < 8; ++i)
  {
    Time(
      [&scene]() { scene.Viewer->GetMotion().RenderFull(true); }, measured.Full, measured.FullWall);
    Time([&]() { change(*scene.Viewer, i); }, measured.Change, measured.ChangeWall);
  }
  return measured;
}

const ChangeTimes& MeasureWarp()
{
  // The section off: whichever of the two is measured first, the warp's
  // scale change is measured on the deformed shape alone.
  static const ChangeTimes times = MeasureChange(
    [](orvi::Viewer& viewer, std::string& failure)
    {
      return viewer.SetSection(orvi::SectionMode::Off, nullptr, nullptr, failure) &&
        viewer.SetWarp("u", false, 0.0, failure);
    },
    [](orvi::Viewer& viewer, int i) { viewer.ScaleWarp(i % 2 == 0 ? 2.0 : 0.5); });
  return times;
}

const ChangeTimes& MeasureSection()
{
  static const ChangeTimes times = MeasureChange(
    [](orvi::Viewer& viewer, std::string& failure)
    {
      return viewer.SetWarp("", false, 0.0, failure) &&
        viewer.SetSection(orvi::SectionMode::Cut, nullptr, nullptr, failure);
    },
    [](orvi::Viewer& viewer, int i) { viewer.MoveSection(i % 2 == 0 ? 0.02 : -0.02); });
  return times;
}

const ChangeTimes& MeasureWarpWithSection()
{
  static const ChangeTimes times = MeasureChange(
    [](orvi::Viewer& viewer, std::string& failure)
    {
      return viewer.SetWarp("u", false, 0.0, failure) &&
        viewer.SetSection(orvi::SectionMode::Cut, nullptr, nullptr, failure);
    },
    [](orvi::Viewer& viewer, int i) { viewer.ScaleWarp(i % 2 == 0 ? 2.0 : 0.5); });
  return times;
}

// Frames in motion (the window at the interaction's rate, the camera turned
// by two degrees a frame), the stand-ins built first: four without the
// section and four with it in turn, eight of each (the first frame after
// each switch not measured: it copies the surface's new clipping to the
// stand-ins). Full: without; Change: with.
const ChangeTimes& MeasureRotation()
{
  static const ChangeTimes times = []()
  {
    ChangeTimes measured;
    Scene& scene = TheScene();
    measured.Failure = scene.Failure;
    orvi::Viewer& viewer = *scene.Viewer;
    if (!measured.Failure.empty() || !viewer.SetWarp("", false, 0.0, measured.Failure) ||
      !viewer.SetSection(orvi::SectionMode::Cut, nullptr, nullptr, measured.Failure))
    {
      return measured;
    }
    vtkRenderWindow* window = viewer.GetWindow();
    window->SetDesiredUpdateRate(orvi::MotionSurface::MotionRate);
    const auto frame = [&viewer, window]()
    {
      viewer.GetRenderer()->GetActiveCamera()->Azimuth(2.0);
      window->Render();
      window->WaitForCompletion();
    };
    frame(); // a full frame in motion: the stand-ins are built after it
    viewer.GetMotion().WaitForStandIns();
    for (int round = 0; round < 4 && measured.Failure.empty(); ++round)
    {
      for (const orvi::SectionMode mode : { orvi::SectionMode::Off, orvi::SectionMode::Cut })
      {
        viewer.SetSection(mode, nullptr, nullptr, measured.Failure);
        window->SetDesiredUpdateRate(orvi::MotionSurface::MotionRate);
        frame();
        for (int i = 0; i < 2; ++i)
        {
          const bool with = mode == orvi::SectionMode::Cut;
          Time(frame,
            with ? measured.Change : measured.Full,
            with ? measured.ChangeWall : measured.FullWall);
          if (!viewer.GetMotion().DrewStandIns())
          {
            measured.Failure = "a frame in motion drew the full surface";
          }
        }
      }
    }
    window->SetDesiredUpdateRate(viewer.GetInteractor()->GetStillUpdateRate());
    return measured;
  }();
  return times;
}

void Report(benchmark::State& state, const ChangeTimes& times, bool change)
{
  if (!times.Failure.empty())
  {
    state.SkipWithError(times.Failure.c_str());
    return;
  }
  size_t next = 0;
  const std::vector<double>& seconds = change ? times.Change : times.Full;
  const std::vector<double>& wall = change ? times.ChangeWall : times.FullWall;
  double wallSum = 0.0;
  for (auto _ : state)
  {
    state.SetIterationTime(seconds[next % seconds.size()]);
    wallSum += wall[next++ % wall.size()];
  }
  state.counters["wall_ms"] = 1e3 * wallSum / static_cast<double>(std::max<size_t>(next, 1));
}

void WarpFullFrame(benchmark::State& state)
{
  Report(state, MeasureWarp(), false);
}

void WarpScale(benchmark::State& state)
{
  Report(state, MeasureWarp(), true);
}

void SectionFullFrame(benchmark::State& state)
{
  Report(state, MeasureSection(), false);
}

void SectionMove(benchmark::State& state)
{
  Report(state, MeasureSection(), true);
}

void SectionWarpFullFrame(benchmark::State& state)
{
  Report(state, MeasureWarpWithSection(), false);
}

void SectionWarpScale(benchmark::State& state)
{
  Report(state, MeasureWarpWithSection(), true);
}

void RotateStandIn(benchmark::State& state)
{
  Report(state, MeasureRotation(), false);
}

void RotateWithSection(benchmark::State& state)
{
  Report(state, MeasureRotation(), true);
}

void PickCsv(benchmark::State& state)
{
  Scene& scene = TheScene();
  if (!scene.Failure.empty())
  {
    state.SkipWithError(scene.Failure.c_str());
    return;
  }
  std::vector<vtkIdType> cells(100000);
  std::iota(cells.begin(), cells.end(), 0);
  const std::string path = (std::filesystem::temp_directory_path() / "orvi-pick.csv").string();
  for (auto _ : state)
  {
    const Clock::time_point start = Clock::now();
    vtkIdType rows = 0;
    std::string error;
    if (!orvi::WritePickedCells(path, { { "t5-10m", scene.Meshes[0].Mesh, &cells } }, rows, error))
    {
      state.SkipWithError(error.c_str());
      return;
    }
    state.SetIterationTime(Since(start));
  }
  std::filesystem::remove(path);
}
} // namespace

int main(int argc, char** argv)
{
  // The host's heap (see orviViewerMain.cxx).
  orvi::PrepareLargeHeap(1.0e9);
  benchmark::RegisterBenchmark("ArraySwitch/FirstPicture", FirstPicture)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ArraySwitch/Orvi", SwitchComponent)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("WarpScale/FullFrame", WarpFullFrame)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("WarpScale/Orvi", WarpScale)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("SectionMove/FullFrame", SectionFullFrame)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("SectionMove/Orvi", SectionMove)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("SectionWarpScale/FullFrame", SectionWarpFullFrame)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("SectionWarpScale/Orvi", SectionWarpScale)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("SectionRotate/StandIn", RotateStandIn)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("SectionRotate/Orvi", RotateWithSection)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("PickCsv/Orvi", PickCsv)
    ->Iterations(4)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
