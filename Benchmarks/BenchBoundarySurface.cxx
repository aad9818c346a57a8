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
// Counters: faces is the number of output cells, mem_peak_MB the rise of
// the process's peak resident size (VmHWM, reset before the loop) over the
// resident size before the loop.
#include "orviBoundarySurface.h"

#include "vtkCellType.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkDoubleArray.h"
#include "vtkNew.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkSmartPointer.h"
#include "vtkUnstructuredGrid.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
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
  const int nz = layers[0] + layers[1] + layers[2] + layers[3];
  const vtkIdType px = nx + 1, py = ny + 1, corners = px * py * (nz + 1);
  auto pid = [&](int i, int j, int k) { return i + px * (j + py * k); };
  vtkNew<vtkPoints> points;
  points->SetDataTypeToDouble();
  points->Allocate(corners + static_cast<vtkIdType>(nx) * ny * layers[2]);
  for (int k = 0; k <= nz; ++k)
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i)
        points->InsertNextPoint(i, j, 0.5 * k);
  auto grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
  grid->AllocateExact(static_cast<vtkIdType>(nx) * ny * nz * 6, 4);
  for (int k = 0; k < nz; ++k)
  {
    for (int j = 0; j < ny; ++j)
    {
      for (int i = 0; i < nx; ++i)
      {
        const vtkIdType v[8] = { pid(i, j, k),
          pid(i + 1, j, k),
          pid(i + 1, j + 1, k),
          pid(i, j + 1, k),
          pid(i, j, k + 1),
          pid(i + 1, j, k + 1),
          pid(i + 1, j + 1, k + 1),
          pid(i, j + 1, k + 1) };
        auto cell = [&](int type, std::initializer_list<vtkIdType> ids)
        { grid->InsertNextCell(type, static_cast<vtkIdType>(ids.size()), ids.begin()); };
        if (k < layers[0])
        {
          cell(VTK_HEXAHEDRON, { v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7] });
        }
        else if (k < layers[0] + layers[1])
        {
          cell(VTK_WEDGE, { v[0], v[1], v[2], v[4], v[5], v[6] });
          cell(VTK_WEDGE, { v[0], v[2], v[3], v[4], v[6], v[7] });
        }
        else if (k < layers[0] + layers[1] + layers[2])
        {
          const vtkIdType c = points->InsertNextPoint(i + 0.5, j + 0.5, 0.5 * k + 0.25);
          cell(VTK_PYRAMID, { v[0], v[3], v[2], v[1], c });
          cell(VTK_PYRAMID, { v[4], v[5], v[6], v[7], c });
          cell(VTK_PYRAMID, { v[0], v[1], v[5], v[4], c });
          cell(VTK_PYRAMID, { v[1], v[2], v[6], v[5], c });
          cell(VTK_PYRAMID, { v[2], v[3], v[7], v[6], c });
          cell(VTK_PYRAMID, { v[3], v[0], v[4], v[7], c });
        }
        else
        {
          // Six tetrahedra about the diagonal v0-v6: conforming between
          // neighbouring cubes.
          cell(VTK_TETRA, { v[0], v[1], v[2], v[6] });
          cell(VTK_TETRA, { v[0], v[5], v[1], v[6] });
          cell(VTK_TETRA, { v[0], v[2], v[3], v[6] });
          cell(VTK_TETRA, { v[0], v[3], v[7], v[6] });
          cell(VTK_TETRA, { v[0], v[4], v[5], v[6] });
          cell(VTK_TETRA, { v[0], v[7], v[4], v[6] });
        }
      }
    }
  }
  grid->SetPoints(points);
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

// Resident-size figures of this process in MB, from /proc/self/status.
double StatusMB(const std::string& key)
{
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
  {
    if (line.compare(0, key.size(), key) == 0)
    {
      return std::stod(line.substr(key.size() + 1)) / 1024.0;
    }
  }
  return 0.0;
}

template <typename Filter>
void Run(benchmark::State& state, Case which)
{
  vtkUnstructuredGrid* mesh = GetMesh(which);
  vtkNew<Filter> filter;
  filter->SetInputData(mesh);
  filter->PassThroughCellIdsOn();
  std::ofstream("/proc/self/clear_refs") << "5";
  const double startRSS = StatusMB("VmRSS");
  for (auto _ : state)
  {
    filter->Modified();
    filter->Update();
    benchmark::DoNotOptimize(filter->GetOutput()->GetNumberOfCells());
  }
  state.counters["faces"] = static_cast<double>(filter->GetOutput()->GetNumberOfCells());
  state.counters["mem_peak_MB"] = StatusMB("VmHWM") - startRSS;
}

void Vtk(benchmark::State& state, Case which)
{
  Run<vtkDataSetSurfaceFilter>(state, which);
}

void Orvi(benchmark::State& state, Case which)
{
  Run<orvi::BoundarySurface>(state, which);
}
} // namespace

BENCHMARK_CAPTURE(Vtk, tet, Case::Tet)
  ->Name("SurfaceTet/Vtk")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();
BENCHMARK_CAPTURE(Orvi, tet, Case::Tet)
  ->Name("SurfaceTet/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();
BENCHMARK_CAPTURE(Vtk, mixed, Case::Mixed)
  ->Name("SurfaceMixed/Vtk")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();
BENCHMARK_CAPTURE(Orvi, mixed, Case::Mixed)
  ->Name("SurfaceMixed/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();
BENCHMARK_CAPTURE(Vtk, tetlattice, Case::TetLattice)
  ->Name("SurfaceTetLattice/Vtk")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();
BENCHMARK_CAPTURE(Orvi, tetlattice, Case::TetLattice)
  ->Name("SurfaceTetLattice/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();

BENCHMARK_MAIN();
