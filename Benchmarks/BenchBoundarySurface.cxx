// The surface of a mesh of about one million linear cells, as the viewer
// extracts it: orvi::BoundarySurface against vtkDataSetSurfaceFilter, both
// passing the original cell ids through.
//
// SurfaceTet: 1,080,000 tetrahedra (six per cube of a 60 x 60 x 50 block).
// SurfaceMixed: 1,060,000 cells in layers of a 50 x 50 block: hexahedra,
// wedges, pyramids (six per cube about its centre) and tetrahedra, with
// the faces between layers shared where their shapes agree.
// Both with cells and points numbered in a random order, as far from the
// block's lattice as a mesher's numbering is (VTK's filter takes about as
// long on them as on gmsh's meshes of the same size). SurfaceTetLattice:
// the tetrahedra numbered along the lattice, VTK's filter's best case.
//
// SurfaceScale<size>: the scaling table on real meshes. gmsh meshes its
// tutorial t5 with -clscale 0.42 (about 0.16 million tetrahedra), and each
// tetrahedron is split into eight twice (orviRefineTetrahedra.h): 1.3 and
// 10 million, meshed into the benchmarks' data folder (orviBenchData.h).
// Their baseline, /CellPass, is the floor of any boundary extraction: one
// pass over every face's point ids through the grid's VTK cell array (the
// smallest id of each face, summed), on one core. Flat per-face cost shows
// as ns_per_face and as a ratio to that floor that stays the same from row
// to row. SurfaceFile10M and SurfaceJoined10M: the same two, but on the 10M
// tetrahedra scripts/bench-viewer.sh writes (t5-10m-raw32.vtu, one file of
// 32-bit ids, and t5-10m-pieces.pvtu, its cells in four quarters written
// with 64-bit ids, read and joined as the loader joins them), found in the
// data folder; JoinPieces10M: that join alone.
//
// Counters: faces is the number of output cells, points (scaling rows) the
// number of output points (those the faces use), cpu_ms (scaling rows) the
// user and system time of all threads per run, mem_peak_MB the rise of
// the process's peak resident size (VmHWM, reset before the loop) over the
// resident size before the loop.
#include "orviBenchData.h"
#include "orviBenchMemory.h"
#include "orviBlockMesh.h"
#include "orviBoundarySurface.h"
#include "orviGmshMesh.h"
#include "orviJoinPieces.h"
#include "orviRefineTetrahedra.h"

#include "vtkCellType.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkDoubleArray.h"
#include "vtkNew.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkSmartPointer.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridReader.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace
{
// The grid's cells in a random order, on its points in a random order.
vtkSmartPointer<vtkUnstructuredGrid> Shuffle(vtkUnstructuredGrid* in)
{
  std::mt19937 random(5);
  const vtkIdType numPoints = in->GetNumberOfPoints(), numCells = in->GetNumberOfCells();
  std::vector<vtkIdType> pointOrder(numPoints), cellOrder(numCells), newId(numPoints);
  std::iota(pointOrder.begin(), pointOrder.end(), 0);
  std::iota(cellOrder.begin(), cellOrder.end(), 0);
  std::shuffle(pointOrder.begin(), pointOrder.end(), random);
  std::shuffle(cellOrder.begin(), cellOrder.end(), random);
  vtkNew<vtkPoints> points;
  points->SetDataTypeToDouble();
  points->SetNumberOfPoints(numPoints);
  for (vtkIdType i = 0; i < numPoints; ++i)
  {
    newId[pointOrder[i]] = i;
    points->SetPoint(i, in->GetPoint(pointOrder[i]));
  }
  auto out = vtkSmartPointer<vtkUnstructuredGrid>::New();
  out->AllocateExact(numCells, 5);
  out->SetPoints(points);
  vtkIdType ids[8];
  for (vtkIdType c : cellOrder)
  {
    vtkIdType n;
    const vtkIdType* old;
    in->GetCellPoints(c, n, old);
    std::transform(old, old + n, ids, [&](vtkIdType id) { return newId[id]; });
    out->InsertNextCell(in->GetCellType(c), n, ids);
  }
  return out;
}

// Layers of a block of nx x ny cubes, from the bottom: hexahedra, wedges,
// pyramids, tetrahedra; shuffled: cells and points in random order.
vtkSmartPointer<vtkUnstructuredGrid> MakeMesh(int nx,
  int ny,
  std::array<int, 4> layers,
  bool shuffled)
{
  using orvi_test::CubeShape;
  auto grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
  vtkNew<vtkPoints> points;
  points->SetDataTypeToDouble();
  grid->SetPoints(points);
  const int nz = layers[0] + layers[1] + layers[2] + layers[3];
  grid->AllocateExact(static_cast<vtkIdType>(nx) * ny * nz * 6, 4);
  orvi_test::AddBlock(grid,
    points,
    nx,
    ny,
    nz,
    [&](int, int, int k)
    {
      return k < layers[0]          ? CubeShape::Hexahedron
        : k < layers[0] + layers[1] ? CubeShape::Wedges
        : k < nz - layers[3]        ? CubeShape::Pyramids
                                    : CubeShape::SixTetrahedra;
    });
  if (shuffled)
  {
    grid = Shuffle(grid);
  }
  vtkNew<vtkDoubleArray> height;
  height->SetName("height");
  height->SetNumberOfValues(grid->GetNumberOfPoints());
  for (vtkIdType p = 0; p < grid->GetNumberOfPoints(); ++p)
  {
    height->SetValue(p, grid->GetPoint(p)[2]);
  }
  grid->GetPointData()->SetScalars(height);
  return grid;
}

enum class Case
{
  Tet,
  Mixed,
  TetLattice
};

vtkUnstructuredGrid* GetMesh(Case which)
{
  switch (which)
  {
    case Case::Tet:
    {
      static const auto mesh = MakeMesh(60, 60, { 0, 0, 0, 50 }, true);
      return mesh;
    }
    case Case::Mixed:
    {
      static const auto mesh = MakeMesh(50, 50, { 80, 40, 10, 30 }, true);
      return mesh;
    }
    default:
    {
      static const auto mesh = MakeMesh(60, 60, { 0, 0, 0, 50 }, false);
      return mesh;
    }
  }
}

template <typename Filter>
void Run(benchmark::State& state, Case which)
{
  vtkUnstructuredGrid* mesh = GetMesh(which);
  vtkNew<Filter> filter;
  filter->SetInputData(mesh);
  filter->PassThroughCellIdsOn();
  const double startRSS = orvi_bench::StartPeakMeasure();
  for (auto _ : state)
  {
    filter->Modified();
    filter->Update();
    benchmark::DoNotOptimize(filter->GetOutput()->GetNumberOfCells());
  }
  state.counters["faces"] = static_cast<double>(filter->GetOutput()->GetNumberOfCells());
  state.counters["mem_peak_MB"] = orvi_bench::PeakRiseMB(startRSS);
}

void Vtk(benchmark::State& state, Case which)
{
  Run<vtkDataSetSurfaceFilter>(state, which);
}

void Orvi(benchmark::State& state, Case which)
{
  Run<orvi::BoundarySurface>(state, which);
}
// gmsh's t5 at -clscale 0.42, refined `times` times; nullptr with `why`
// set (the case skips) without gmsh.
vtkUnstructuredGrid* GetT5(int times, std::string& why)
{
  static std::vector<vtkSmartPointer<vtkUnstructuredGrid>> meshes;
  if (meshes.empty())
  {
    const auto dir = orvi_bench::DataDir() / "surface";
    const std::string file = orvi_test::MeshGmshTutorial("t5", dir, why, "-3 -clscale 0.42");
    if (file.empty())
    {
      return nullptr;
    }
    vtkNew<vtkUnstructuredGridReader> reader;
    reader->SetFileName(file.c_str());
    reader->Update();
    meshes.emplace_back(reader->GetOutput());
    meshes.back()->GetCells()->ConvertTo32BitStorage();
  }
  while (static_cast<int>(meshes.size()) <= times)
  {
    std::string error;
    auto refined = orvi_bench::RefineTetrahedra(meshes.back(), error);
    if (!refined)
    {
      why = "cannot refine t5: " + error;
      return nullptr;
    }
    meshes.push_back(refined);
  }
  return meshes[times];
}

// The user and system time of the whole process, all threads: what a run
// costs however busy the machine is.
double ProcessCpuSeconds()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * t.tv_usec; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The floor: every face's point ids read once, one pass over the cells.
std::uint64_t FacePass(vtkUnstructuredGrid* mesh)
{
  std::uint64_t sum = 0;
  vtkCellArray* cells = mesh->GetCells();
  const vtkIdType n = cells->GetNumberOfCells();
  vtkIdType size;
  const vtkIdType* p;
  for (vtkIdType c = 0; c < n; ++c)
  {
    cells->GetCellAtId(c, size, p);
    if (size == 4)
    {
      sum +=
        static_cast<std::uint64_t>(std::min({ p[0], p[1], p[3] }) + std::min({ p[0], p[2], p[1] }) +
          std::min({ p[0], p[3], p[2] }) + std::min({ p[1], p[2], p[3] }));
    }
  }
  return sum;
}

// The 10M-tetrahedron mesh as the viewer's benchmark writes it, from the
// data folder: one file of 32-bit ids, or its four pieces (NAME_K.vtu beside
// the .pvtu, written with 64-bit ids) read and joined as the loader joins
// them; nullptr with `why` set when the files are not there.
using Pieces = std::vector<vtkSmartPointer<vtkUnstructuredGrid>>;

vtkSmartPointer<vtkUnstructuredGrid> ReadVtu(const std::string& file)
{
  vtkNew<vtkXMLUnstructuredGridReader> reader;
  reader->SetFileName(file.c_str());
  reader->Update();
  return reader->GetOutput();
}

Pieces ReadPieces(std::string& why)
{
  Pieces pieces;
  const std::string summary = orvi_bench::DataFile("t5-10m-pieces.pvtu", why);
  if (summary.empty())
  {
    return pieces;
  }
  const std::string stem = summary.substr(0, summary.size() - 5);
  for (int k = 0; std::filesystem::exists(stem + "_" + std::to_string(k) + ".vtu"); ++k)
  {
    pieces.push_back(ReadVtu(stem + "_" + std::to_string(k) + ".vtu"));
  }
  return pieces;
}

vtkUnstructuredGrid* GetFileMesh(bool joined, std::string& why)
{
  static vtkSmartPointer<vtkUnstructuredGrid> meshes[2];
  vtkSmartPointer<vtkUnstructuredGrid>& mesh = meshes[joined ? 1 : 0];
  if (!mesh && !joined)
  {
    const std::string file = orvi_bench::DataFile("t5-10m-raw32.vtu", why);
    mesh = file.empty() ? nullptr : ReadVtu(file);
  }
  else if (!mesh)
  {
    Pieces pieces = ReadPieces(why);
    mesh = pieces.empty() ? nullptr : orvi::JoinPieces(pieces, why);
  }
  return mesh;
}

// The join alone: each run's pieces read again outside the timing.
void Join(benchmark::State& state)
{
  std::string why;
  double cpu = 0.0;
  vtkIdType points = 0;
  for (auto _ : state)
  {
    state.PauseTiming();
    Pieces pieces = ReadPieces(why);
    if (pieces.empty())
    {
      state.SkipWithError(why.c_str());
      return;
    }
    const double startCpu = ProcessCpuSeconds();
    state.ResumeTiming();
    auto joined = orvi::JoinPieces(pieces, why);
    state.PauseTiming();
    cpu += ProcessCpuSeconds() - startCpu;
    points = joined ? joined->GetNumberOfPoints() : 0;
    joined = nullptr;
    state.ResumeTiming();
  }
  state.counters["points"] = static_cast<double>(points);
  state.counters["cpu_ms"] = cpu * 1e3 / static_cast<double>(state.iterations());
}

void Scale(benchmark::State& state, int times, bool orvi)
{
  std::string why;
  vtkUnstructuredGrid* mesh = times < 0 ? GetFileMesh(times == -2, why) : GetT5(times, why);
  if (!mesh)
  {
    state.SkipWithError(why.c_str());
    return;
  }
  vtkNew<orvi::BoundarySurface> filter;
  filter->SetInputData(mesh);
  filter->PassThroughCellIdsOn();
  const double startRSS = orvi_bench::StartPeakMeasure();
  const auto start = std::chrono::steady_clock::now();
  const double startCpu = ProcessCpuSeconds();
  for (auto _ : state)
  {
    if (orvi)
    {
      filter->Modified();
      filter->Update();
      benchmark::DoNotOptimize(filter->GetOutput()->GetNumberOfCells());
    }
    else
    {
      benchmark::DoNotOptimize(FacePass(mesh));
    }
  }
  const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
  const double faces = 4.0 * static_cast<double>(mesh->GetNumberOfCells());
  state.counters["cells"] = static_cast<double>(mesh->GetNumberOfCells());
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["ns_per_face"] = elapsed.count() / (faces * iterations);
  state.counters["cpu_ms"] = (ProcessCpuSeconds() - startCpu) * 1e3 / iterations;
  if (orvi)
  {
    state.counters["faces"] = static_cast<double>(filter->GetOutput()->GetNumberOfCells());
    state.counters["points"] = static_cast<double>(filter->GetOutput()->GetNumberOfPoints());
    state.counters["mem_peak_MB"] = orvi_bench::PeakRiseMB(startRSS);
  }
}
} // namespace

// Each case as the pair <Case>/Vtk and <Case>/Orvi, the scaling rows as
// <Case>/CellPass and <Case>/Orvi.
const bool Registered = []
{
  for (const auto& [name, which] : { std::pair<std::string, Case>{ "SurfaceTet", Case::Tet },
         { "SurfaceMixed", Case::Mixed },
         { "SurfaceTetLattice", Case::TetLattice } })
  {
    benchmark::RegisterBenchmark((name + "/Vtk").c_str(), Vtk, which)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
    benchmark::RegisterBenchmark((name + "/Orvi").c_str(), Orvi, which)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  }
  for (const auto& [name, times] : { std::pair<std::string, int>{ "SurfaceScale0.1M", 0 },
         { "SurfaceScale1M", 1 },
         { "SurfaceScale10M", 2 },
         { "SurfaceFile10M", -1 },
         { "SurfaceJoined10M", -2 } })
  {
    for (const bool orvi : { false, true })
    {
      benchmark::RegisterBenchmark(
        (name + (orvi ? "/Orvi" : "/CellPass")).c_str(), Scale, times, orvi)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    }
  }
  benchmark::RegisterBenchmark("JoinPieces10M/Orvi", Join)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
  return true;
}();

BENCHMARK_MAIN();
