// Loading a large gmsh mesh the way orvi-viewer does against VTK's reader
// alone: what the checks in front of the reader, the checks of what it
// returns and the child process (orvi::LoadMesh) add.
//
// Load1M: gmsh's tutorial t5 meshed into 1.24 million tetrahedra, legacy
// binary .vtk (t5-1m.vtk). Load10M: that mesh with each tetrahedron split
// into eight, about ten million, XML .vtu with appended raw data
// (t5-10m.vtu). Both in the benchmarks' data folder (orviBenchData.h), made
// by scripts/bench.sh; a case whose file is missing skips, saying so.
//
// Times are CPU seconds of this process and of its children (the loader's
// child process does the reading): on a machine shared with other work the
// wall-clock time says more about the others than about the loader.
//
// Most of a bare read's time is the kernel faulting in fresh memory for the
// arrays, page by page. The loader faults in the memory the arrays come
// back into while its child still reads, which is why <Case>/Orvi can take
// less than its baseline; VTK's reader as an application runs it
// (<Case>/Vtk) is the baseline all the same.
//
// <Case>/Vtk: vtkDataSetReader or vtkXMLUnstructuredGridReader, Update().
// <Case>/Orvi: orvi::LoadMesh, everything included.
// <Case>InProcess/Orvi: orvi::LoadMeshInProcess, the same checks without the
// child process (<Case>InProcess/Vtk repeats the baseline).
#include "orviBenchData.h"
#include "orviMeshLoader.h"

#include "vtkAlgorithm.h"
#include "vtkDataSet.h"
#include "vtkDataSetReader.h"
#include "vtkSmartPointer.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <sstream>
#include <string>

namespace
{
const std::string Mesh1M = "t5-1m.vtk";
const std::string Mesh10M = "t5-10m.vtu";

// CPU seconds of this process and its waited-for children so far.
double CpuSeconds()
{
  double total = 0.0;
  for (const int who : { RUSAGE_SELF, RUSAGE_CHILDREN })
  {
    rusage usage{};
    getrusage(who, &usage);
    for (const timeval& t : { usage.ru_utime, usage.ru_stime })
    {
      total += static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
    }
  }
  return total;
}

// The data file `name`, or an empty path when the case skips.
std::string Found(benchmark::State& state, const std::string& name)
{
  std::string why;
  std::string path = orvi_bench::DataFile(name, why);
  if (path.empty())
  {
    state.SkipWithError(why.c_str());
  }
  return path;
}

void Bare(benchmark::State& state, const std::string& name)
{
  const std::string path = Found(state, name);
  if (path.empty())
  {
    return;
  }
  for (auto _ : state)
  {
    const double start = CpuSeconds();
    vtkSmartPointer<vtkAlgorithm> reader;
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".vtu") == 0)
    {
      auto xml = vtkSmartPointer<vtkXMLUnstructuredGridReader>::New();
      xml->SetFileName(path.c_str());
      reader = xml;
    }
    else
    {
      auto legacy = vtkSmartPointer<vtkDataSetReader>::New();
      legacy->SetFileName(path.c_str());
      reader = legacy;
    }
    reader->Update();
    auto* data = vtkDataSet::SafeDownCast(reader->GetOutputDataObject(0));
    if (!data || data->GetNumberOfCells() == 0)
    {
      state.SkipWithError("VTK's reader read nothing");
      return;
    }
    state.counters["cells"] = static_cast<double>(data->GetNumberOfCells());
    reader = nullptr;
    state.SetIterationTime(CpuSeconds() - start);
  }
}

template <typename Load>
void Loaded(benchmark::State& state, const std::string& name, Load load)
{
  const std::string path = Found(state, name);
  if (path.empty())
  {
    return;
  }
  for (auto _ : state)
  {
    const double start = CpuSeconds();
    std::ostringstream log;
    std::string error;
    vtkSmartPointer<vtkDataSet> data = load(path, log, error);
    if (!data)
    {
      state.SkipWithError(error.c_str());
      return;
    }
    state.counters["cells"] = static_cast<double>(data->GetNumberOfCells());
    data = nullptr;
    state.SetIterationTime(CpuSeconds() - start);
  }
}

// orvi::LoadMesh with nothing to do while the child reads.
vtkSmartPointer<vtkDataSet> LoadIsolated(const std::string& path,
  std::ostream& log,
  std::string& error)
{
  return orvi::LoadMesh(path, log, error);
}

void Load1MVtk(benchmark::State& state)
{
  Bare(state, Mesh1M);
}
void Load1MOrvi(benchmark::State& state)
{
  Loaded(state, Mesh1M, LoadIsolated);
}
void Load1MInProcessOrvi(benchmark::State& state)
{
  Loaded(state, Mesh1M, orvi::LoadMeshInProcess);
}
void Load10MVtk(benchmark::State& state)
{
  Bare(state, Mesh10M);
}
void Load10MOrvi(benchmark::State& state)
{
  Loaded(state, Mesh10M, LoadIsolated);
}
void Load10MInProcessOrvi(benchmark::State& state)
{
  Loaded(state, Mesh10M, orvi::LoadMeshInProcess);
}
} // namespace

// Alternated, so that a change of the machine's load touches both sides.
BENCHMARK(Load1MVtk)
  ->Name("Load1M/Vtk")
  ->Unit(benchmark::kMillisecond)
  ->UseManualTime()
  ->Repetitions(5);
BENCHMARK(Load1MOrvi)
  ->Name("Load1M/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->UseManualTime()
  ->Repetitions(5);
BENCHMARK(Load1MVtk)
  ->Name("Load1MInProcess/Vtk")
  ->Unit(benchmark::kMillisecond)
  ->UseManualTime()
  ->Repetitions(5);
BENCHMARK(Load1MInProcessOrvi)
  ->Name("Load1MInProcess/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->UseManualTime()
  ->Repetitions(5);
BENCHMARK(Load10MVtk)
  ->Name("Load10M/Vtk")
  ->Unit(benchmark::kMillisecond)
  ->UseManualTime()
  ->Repetitions(3);
BENCHMARK(Load10MOrvi)
  ->Name("Load10M/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->UseManualTime()
  ->Repetitions(3);
BENCHMARK(Load10MVtk)
  ->Name("Load10MInProcess/Vtk")
  ->Unit(benchmark::kMillisecond)
  ->UseManualTime()
  ->Repetitions(3);
BENCHMARK(Load10MInProcessOrvi)
  ->Name("Load10MInProcess/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->UseManualTime()
  ->Repetitions(3);

BENCHMARK_MAIN();
