// Stepping through a solver's time series as orvi-viewer does: gmsh's t5
// split into about ten million tetrahedra as ten steps of the same points
// and cells with new point fields (steps/steps.pvd in the benchmarks' data
// folder, which scripts/bench.sh makes), opened at its first step in a
// 1280 x 1024 window coloured by "temperature", then stepped forward.
//
// All in one run, each figure a counter: first_s, the first picture (the
// series opened, its first step read, shown and drawn, the window made
// while it reads as main() makes it); next_s, the mean of a step forward
// asked for as soon as the step before is drawn (the step read ahead still
// on its way), and next_ratio its share of first_s; ahead_s, the slowest of
// a step forward once its read ahead is done, and ahead_cpu_s the processor
// time this process spent on it (its threads and OpenGL's; on a busy
// machine the wall time says as much about the others); peak_one_MB, the process's
// peak resident size up to the first picture, peak_steps_MB the peak while
// stepping, and peak_ratio the one over the other; render_s, a frame of
// the last step drawn again, what any step forward pays at least, and
// render_cpu_s its processor time; ahead_per_render, ahead_cpu_s over
// render_cpu_s: what a step read ahead costs against that floor, in
// processor time (the wall times of both are at the mercy of the machine's
// other work). The case's time is next_s.
#include "orviBenchData.h"
#include "orviBenchMemory.h"
#include "orviIsolatedRead.h"
#include "orviMeshes.h"
#include "orviTimeSeries.h"
#include "orviViewer.h"
#include "orviViewerOptions.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace
{
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The series opened and drawn as orvi-viewer's main() does it.
bool OpenFirstStep(const std::string& pvd,
  orvi::TimeSeries& series,
  std::unique_ptr<orvi::Viewer>& viewer,
  std::ostream& log,
  std::string& error)
{
  orvi::ViewerOptions options;
  options.Width = 1280;
  options.Height = 1024;
  options.ArrayName = "temperature";
  options.Script = "(benchmark)";
  std::vector<orvi::NamedMesh> meshes;
  const auto makeViewer = [&]() { viewer = std::make_unique<orvi::Viewer>(options, log); };
  const auto prepare = [&](orvi::NamedMesh& mesh)
  { orvi::Viewer::PrepareMesh(mesh, options, log); };
  if (!orvi::LoadMeshes({ pvd }, log, meshes, error, makeViewer, prepare, &series) ||
    !viewer->SetMeshes(meshes, error))
  {
    return false;
  }
  viewer->SetTimeSeries(&series);
  viewer->Render();
  return true;
}

void StepThrough10M(benchmark::State& state)
{
  std::string why;
  const std::string pvd = orvi_bench::DataFile("steps/steps.pvd", why);
  if (pvd.empty())
  {
    state.SkipWithError(why.c_str());
    return;
  }
  for (auto _ : state)
  {
    const double startRSS = orvi_bench::StartPeakMeasure();
    std::ostringstream log;
    orvi::TimeSeries series;
    std::unique_ptr<orvi::Viewer> viewer;
    const Clock::time_point start = Clock::now();
    if (!OpenFirstStep(pvd, series, viewer, log, why))
    {
      state.SkipWithError(why.c_str());
      return;
    }
    const double first = Since(start);
    const double peakOne = orvi_bench::PeakRiseMB(startRSS);

    // The first half of the steps one after the other, the rest each once
    // read ahead.
    std::ofstream("/proc/self/clear_refs") << "5";
    double next = 0.0, ahead = 0.0, aheadCpu = 0.0;
    int quick = 0;
    const std::size_t steps = series.GetNumberOfSteps();
    for (std::size_t step = 1; step < steps; ++step)
    {
      const bool wait = step > steps / 2;
      while (wait && !series.IsReadAhead(step))
      {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      const Clock::time_point asked = Clock::now();
      const std::clock_t cpu = std::clock();
      if (!viewer->ShowStep(step, why) || !viewer->GetStepKeptSurfaces())
      {
        state.SkipWithError(why.empty() ? "a step did not keep the surface" : why.c_str());
        return;
      }
      const double shown = Since(asked);
      ahead = wait ? std::max(ahead, shown) : ahead;
      aheadCpu = wait ? std::max(aheadCpu, double(std::clock() - cpu) / CLOCKS_PER_SEC) : aheadCpu;
      next += wait ? 0.0 : shown;
      quick += wait ? 0 : 1;
    }
    next /= std::max(quick, 1);
    const double peakSteps = orvi_bench::PeakRiseMB(startRSS);
    // The last step has none after it to read: a frame of the scene alone.
    const Clock::time_point drawn = Clock::now();
    const std::clock_t renderCpu = std::clock();
    viewer->Render();
    state.counters["render_s"] = Since(drawn);
    const double plainCpu = double(std::clock() - renderCpu) / CLOCKS_PER_SEC;
    state.counters["render_cpu_s"] = plainCpu;
    state.counters["ahead_per_render"] = aheadCpu / plainCpu;
    state.SetIterationTime(next);
    state.counters["first_s"] = first;
    state.counters["next_s"] = next;
    state.counters["next_ratio"] = next / first;
    state.counters["ahead_s"] = ahead;
    state.counters["ahead_cpu_s"] = aheadCpu;
    state.counters["peak_one_MB"] = peakOne;
    state.counters["peak_steps_MB"] = peakSteps;
    state.counters["peak_ratio"] = peakSteps / peakOne;
  }
}
} // namespace

BENCHMARK(StepThrough10M)
  ->Name("StepThrough10M/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->UseManualTime()
  ->Iterations(1);

int main(int argc, char** argv)
{
  // The host's heap (see orviViewerMain.cxx).
  orvi::PrepareLargeHeap(1.0e9);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
