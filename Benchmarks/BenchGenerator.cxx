// One million hexahedra, and one million tetrahedra, built from raw arrays:
// vtkKivUnstructuredGridGenerator's update (checks included) against the
// fastest plain VTK path from the same legacy stream,
// vtkCellArray::ImportLegacyFormat followed by vtkUnstructuredGrid::SetCells.
// Both share the coordinate array with the output's points. And the check
// alone (CheckCells) on the finished million tetrahedra.
//
// Memory counters (Linux): mem_peak_MB is the rise of the process's peak
// resident size (VmHWM, reset through /proc/self/clear_refs before the loop)
// over the resident size before the loop, that is the most memory one
// iteration needed beyond the shared input arrays; mem_grid_MB is the size VTK
// reports for the finished grid (GetActualMemorySize, coordinates included).
#include "orviBenchMemory.h"
#include "vtkKivUnstructuredGridGenerator.h"

#include "vtkCellArray.h"
#include "vtkCellType.h"
#include "vtkDoubleArray.h"
#include "vtkIdTypeArray.h"
#include "vtkIntArray.h"
#include "vtkNew.h"
#include "vtkPoints.h"
#include "vtkSmartPointer.h"
#include "vtkUnstructuredGrid.h"

#include <benchmark/benchmark.h>

namespace
{
constexpr int CubesX = 100;
constexpr int CubesY = 100;

// A block of cubes on a regular lattice, as raw arrays: one hexahedron per
// cube, or five tetrahedra per cube.
struct Mesh
{
  vtkSmartPointer<vtkDoubleArray> Coordinates = vtkSmartPointer<vtkDoubleArray>::New();
  vtkSmartPointer<vtkIdTypeArray> Cells = vtkSmartPointer<vtkIdTypeArray>::New();
  vtkSmartPointer<vtkIntArray> Types = vtkSmartPointer<vtkIntArray>::New();
};

Mesh MakeMesh(bool tetrahedra)
{
  Mesh mesh;
  const int nz = tetrahedra ? 20 : 100; // 1,000,000 cells either way
  const vtkIdType px = CubesX + 1, py = CubesY + 1, pz = nz + 1;
  mesh.Coordinates->SetNumberOfComponents(3);
  mesh.Coordinates->SetNumberOfTuples(px * py * pz);
  double* xyz = mesh.Coordinates->GetPointer(0);
  for (vtkIdType k = 0; k < pz; ++k)
  {
    for (vtkIdType j = 0; j < py; ++j)
    {
      for (vtkIdType i = 0; i < px; ++i)
      {
        *xyz++ = static_cast<double>(i);
        *xyz++ = static_cast<double>(j);
        *xyz++ = static_cast<double>(k);
      }
    }
  }
  const vtkIdType cubes = static_cast<vtkIdType>(CubesX) * CubesY * nz;
  const vtkIdType cellsPerCube = tetrahedra ? 5 : 1;
  const vtkIdType valuesPerCell = tetrahedra ? 5 : 9;
  mesh.Cells->SetNumberOfValues(cubes * cellsPerCube * valuesPerCell);
  mesh.Types->SetNumberOfValues(cubes * cellsPerCube);
  vtkIdType* c = mesh.Cells->GetPointer(0);
  int* t = mesh.Types->GetPointer(0);
  auto id = [&](vtkIdType i, vtkIdType j, vtkIdType k) { return i + px * (j + py * k); };
  for (vtkIdType k = 0; k < nz; ++k)
  {
    for (vtkIdType j = 0; j < CubesY; ++j)
    {
      for (vtkIdType i = 0; i < CubesX; ++i)
      {
        const vtkIdType v[8] = { id(i, j, k),
          id(i + 1, j, k),
          id(i + 1, j + 1, k),
          id(i, j + 1, k),
          id(i, j, k + 1),
          id(i + 1, j, k + 1),
          id(i + 1, j + 1, k + 1),
          id(i, j + 1, k + 1) };
        if (!tetrahedra)
        {
          *c++ = 8;
          for (vtkIdType p : v)
          {
            *c++ = p;
          }
          *t++ = VTK_HEXAHEDRON;
          continue;
        }
        static const int split[5][4] = {
          { 0, 1, 3, 4 }, { 1, 2, 3, 6 }, { 1, 4, 5, 6 }, { 3, 4, 6, 7 }, { 1, 3, 4, 6 }
        };
        for (const auto& tet : split)
        {
          *c++ = 4;
          for (int corner : tet)
          {
            *c++ = v[corner];
          }
          *t++ = VTK_TETRA;
        }
      }
    }
  }
  return mesh;
}

const Mesh& GetMesh(bool tetrahedra)
{
  static const Mesh hexahedra = MakeMesh(false);
  static const Mesh tets = MakeMesh(true);
  return tetrahedra ? tets : hexahedra;
}

void SetCounters(benchmark::State& state, double startRSS, vtkUnstructuredGrid* grid)
{
  state.counters["mem_peak_MB"] = orvi_bench::PeakRiseMB(startRSS);
  state.counters["mem_grid_MB"] = grid ? grid->GetActualMemorySize() / 1024.0 : 0.0;
}

void Vtk(benchmark::State& state, bool tetrahedra)
{
  const Mesh& mesh = GetMesh(tetrahedra);
  vtkSmartPointer<vtkUnstructuredGrid> last;
  const double startRSS = orvi_bench::StartPeakMeasure();
  for (auto _ : state)
  {
    // The previous grid goes first, as a pipeline's output is cleared
    // before its algorithm runs again.
    last = nullptr;
    vtkNew<vtkCellArray> cells;
    cells->ImportLegacyFormat(mesh.Cells);
    vtkNew<vtkPoints> points;
    points->SetData(mesh.Coordinates);
    auto grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
    grid->SetPoints(points);
    grid->SetCells(mesh.Types->GetPointer(0), cells);
    benchmark::DoNotOptimize(grid->GetNumberOfCells());
    last = grid;
  }
  SetCounters(state, startRSS, last);
}

void Orvi(benchmark::State& state, bool tetrahedra)
{
  const Mesh& mesh = GetMesh(tetrahedra);
  vtkNew<vtkKivUnstructuredGridGenerator> generator;
  generator->SetPointData(mesh.Coordinates);
  generator->SetCellData(mesh.Cells);
  generator->SetCellTypeData(mesh.Types);
  const double startRSS = orvi_bench::StartPeakMeasure();
  for (auto _ : state)
  {
    generator->Modified();
    generator->Update();
    benchmark::DoNotOptimize(generator->GetOutput()->GetNumberOfCells());
  }
  auto* grid = vtkUnstructuredGrid::SafeDownCast(generator->GetOutput());
  if (!grid || grid->GetNumberOfCells() != mesh.Types->GetNumberOfValues())
  {
    state.SkipWithError("the generator did not build the mesh");
  }
  SetCounters(state, startRSS, grid);
}

// Checking the million tetrahedra of a grid built elsewhere (as a file
// reader leaves it): each cell's type and point ids through
// vtkUnstructuredGrid's cell accessors, against CheckCells().
vtkUnstructuredGrid* GetTetGrid()
{
  static vtkSmartPointer<vtkUnstructuredGrid> grid = []
  {
    const Mesh& mesh = GetMesh(true);
    vtkNew<vtkKivUnstructuredGridGenerator> generator;
    generator->SetPointData(mesh.Coordinates);
    generator->SetCellData(mesh.Cells);
    generator->SetCellTypeData(mesh.Types);
    generator->Update();
    auto copy = vtkSmartPointer<vtkUnstructuredGrid>::New();
    copy->ShallowCopy(generator->GetOutput());
    return copy;
  }();
  return grid;
}

void CheckVtk(benchmark::State& state)
{
  vtkUnstructuredGrid* grid = GetTetGrid();
  for (auto _ : state)
  {
    const vtkIdType numPoints = grid->GetNumberOfPoints();
    bool ok = true;
    for (vtkIdType i = 0; i < grid->GetNumberOfCells(); ++i)
    {
      vtkIdType npts;
      const vtkIdType* pts;
      ok = ok && grid->GetCellType(i) == VTK_TETRA;
      grid->GetCellPoints(i, npts, pts);
      for (vtkIdType k = 0; k < npts; ++k)
      {
        ok = ok && pts[k] >= 0 && pts[k] < numPoints;
      }
    }
    benchmark::DoNotOptimize(ok);
  }
}

void CheckOrvi(benchmark::State& state)
{
  vtkUnstructuredGrid* grid = GetTetGrid();
  for (auto _ : state)
  {
    benchmark::DoNotOptimize(vtkKivUnstructuredGridGenerator::CheckCells(grid));
  }
  if (!vtkKivUnstructuredGridGenerator::CheckCells(grid).empty())
  {
    state.SkipWithError("the grid does not check as sound");
  }
}
} // namespace

BENCHMARK_CAPTURE(Vtk, hex, false)->Name("GeneratorHex/Vtk")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Orvi, hex, false)->Name("GeneratorHex/Orvi")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Vtk, tet, true)->Name("GeneratorTet/Vtk")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Orvi, tet, true)->Name("GeneratorTet/Orvi")->Unit(benchmark::kMillisecond);
BENCHMARK(CheckVtk)->Name("CheckCellsTet/Vtk")->Unit(benchmark::kMillisecond);
BENCHMARK(CheckOrvi)->Name("CheckCellsTet/Orvi")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
