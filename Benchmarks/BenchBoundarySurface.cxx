// The surface of a mesh of about one million linear cells, as the viewer
// extracts it: orvi::BoundarySurface against vtkDataSetSurfaceFilter, both
// passing the original cell ids through.
//
// SurfaceTet: 1,080,000 tetrahedra (six per cube of a 60 x 60 x 50 block).
// SurfaceMixed: 1,060,000 cells in layers of a 50 x 50 block: hexahedra,
// wedges, pyramids (six per cube about its centre) and tetrahedra, with
// the faces between layers shared where their shapes agree.
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

#include <array>
#include <fstream>
#include <string>

namespace
{
// Layers of a block of nx x ny cubes, from the bottom: hexahedra, wedges,
// pyramids, tetrahedra.
vtkSmartPointer<vtkUnstructuredGrid> MakeMesh(int nx, int ny, std::array<int, 4> layers)
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
  vtkNew<vtkDoubleArray> height;
  height->SetName("height");
  height->SetNumberOfValues(points->GetNumberOfPoints());
  for (vtkIdType p = 0; p < points->GetNumberOfPoints(); ++p)
  {
    height->SetValue(p, points->GetPoint(p)[2]);
  }
  grid->GetPointData()->SetScalars(height);
  return grid;
}

vtkUnstructuredGrid* GetMesh(bool mixed)
{
  static const auto tets = MakeMesh(60, 60, { 0, 0, 0, 50 });
  static const auto cells = MakeMesh(50, 50, { 80, 40, 10, 30 });
  return mixed ? cells.Get() : tets.Get();
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
void Run(benchmark::State& state, bool mixed)
{
  vtkUnstructuredGrid* mesh = GetMesh(mixed);
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

void Vtk(benchmark::State& state, bool mixed)
{
  Run<vtkDataSetSurfaceFilter>(state, mixed);
}

void Orvi(benchmark::State& state, bool mixed)
{
  Run<orvi::BoundarySurface>(state, mixed);
}
} // namespace

BENCHMARK_CAPTURE(Vtk, tet, false)
  ->Name("SurfaceTet/Vtk")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();
BENCHMARK_CAPTURE(Orvi, tet, false)
  ->Name("SurfaceTet/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();
BENCHMARK_CAPTURE(Vtk, mixed, true)
  ->Name("SurfaceMixed/Vtk")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();
BENCHMARK_CAPTURE(Orvi, mixed, true)
  ->Name("SurfaceMixed/Orvi")
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();

BENCHMARK_MAIN();
