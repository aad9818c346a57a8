#include "orviMeshes.h"

#include "orviTimeSeries.h"

#include "vtkKivUnstructuredGridGenerator.h"

#include "vtkCellType.h"
#include "vtkDataSet.h"
#include "vtkDoubleArray.h"
#include "vtkIdTypeArray.h"
#include "vtkIntArray.h"
#include "vtkNew.h"
#include "vtkPointData.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <utility>

namespace orvi
{

bool LoadMeshes(const std::vector<std::string>& files,
  std::ostream& log,
  std::vector<NamedMesh>& meshes,
  std::string& error,
  const std::function<void()>& whileFirstReads,
  const std::function<void(NamedMesh&)>& afterRead,
  TimeSeries* series)
{
  meshes.clear();
  if (files.empty())
  {
    NamedMesh named{ "generated mesh", MakeDefaultMesh(error) };
    if (!named.Mesh)
    {
      return false;
    }
    log << "generated mesh: " << named.Mesh->GetNumberOfPoints() << " points, "
        << named.Mesh->GetNumberOfCells() << " cells\n";
    if (afterRead)
    {
      afterRead(named);
    }
    meshes.push_back(std::move(named));
    return true;
  }
  TimeSeries own;
  TimeSeries& opened = series ? *series : own;
  std::size_t step = 0;
  return opened.Open(files, log, error) && opened.StartStep(step, error) &&
    opened.Read(step, meshes, log, error, whileFirstReads, afterRead);
}

vtkSmartPointer<vtkDataSet> MakeDefaultMesh(std::string& error)
{
  // A structured block of points, nx x ny x nz cells: layers 0-11 hexahedra
  // (cell (0, 0, 0) as a polyhedron), 12-13 wedges, 14-15 tetrahedra.
  constexpr int nx = 32, ny = 24, nz = 16;
  constexpr int hexLayers = 12, wedgeLayers = 2;
  const auto pid = [](int i, int j, int k) -> vtkIdType
  { return (static_cast<vtkIdType>(k) * (ny + 1) + j) * (nx + 1) + i; };

  vtkNew<vtkDoubleArray> coords;
  coords->SetNumberOfComponents(3);
  coords->SetNumberOfTuples(static_cast<vtkIdType>(nx + 1) * (ny + 1) * (nz + 1));
  vtkNew<vtkDoubleArray> temperature;
  temperature->SetName("temperature");
  temperature->SetNumberOfTuples(coords->GetNumberOfTuples());
  for (int k = 0; k <= nz; ++k)
  {
    for (int j = 0; j <= ny; ++j)
    {
      for (int i = 0; i <= nx; ++i)
      {
        const double x = i * 0.5, y = j * 0.5;
        // A gentle bulge on top so that the surface is not flat.
        const double z = k * 0.4 * (1.0 + 0.15 * std::sin(x * 0.35) * std::cos(y * 0.4));
        const vtkIdType id = pid(i, j, k);
        coords->SetTuple3(id, x, y, z);
        temperature->SetValue(
          id, 20.0 + 60.0 * std::exp(-((x - 8) * (x - 8) + (y - 6) * (y - 6)) / 40.0) + 2.0 * z);
      }
    }
  }

  std::vector<vtkIdType> stream;
  std::vector<int> types;
  stream.reserve(static_cast<size_t>(nx) * ny * nz * 30);
  auto cell = [&](int type, std::initializer_list<vtkIdType> ids)
  {
    types.push_back(type);
    stream.push_back(static_cast<vtkIdType>(ids.size()));
    stream.insert(stream.end(), ids);
  };
  for (int k = 0; k < nz; ++k)
  {
    for (int j = 0; j < ny; ++j)
    {
      for (int i = 0; i < nx; ++i)
      {
        const std::array<vtkIdType, 8> v = { pid(i, j, k),
          pid(i + 1, j, k),
          pid(i + 1, j + 1, k),
          pid(i, j + 1, k),
          pid(i, j, k + 1),
          pid(i + 1, j, k + 1),
          pid(i + 1, j + 1, k + 1),
          pid(i, j + 1, k + 1) };
        if (k < hexLayers && i == 0 && j == 0 && k == 0)
        {
          // The hexahedron's six faces as a polyhedron face stream.
          types.push_back(VTK_POLYHEDRON);
          stream.insert(stream.end(),
            { 6,
              4,
              v[0],
              v[3],
              v[2],
              v[1],
              4,
              v[4],
              v[5],
              v[6],
              v[7],
              4,
              v[0],
              v[1],
              v[5],
              v[4],
              4,
              v[1],
              v[2],
              v[6],
              v[5],
              4,
              v[2],
              v[3],
              v[7],
              v[6],
              4,
              v[3],
              v[0],
              v[4],
              v[7] });
        }
        else if (k < hexLayers)
        {
          cell(VTK_HEXAHEDRON, { v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7] });
        }
        else if (k < hexLayers + wedgeLayers)
        {
          cell(VTK_WEDGE, { v[0], v[1], v[2], v[4], v[5], v[6] });
          cell(VTK_WEDGE, { v[0], v[2], v[3], v[4], v[6], v[7] });
        }
        else
        {
          // Six tetrahedra about the main diagonal v0-v6: conforming between
          // neighbouring blocks.
          cell(VTK_TETRA, { v[0], v[1], v[2], v[6] });
          cell(VTK_TETRA, { v[0], v[1], v[5], v[6] });
          cell(VTK_TETRA, { v[0], v[3], v[2], v[6] });
          cell(VTK_TETRA, { v[0], v[3], v[7], v[6] });
          cell(VTK_TETRA, { v[0], v[4], v[5], v[6] });
          cell(VTK_TETRA, { v[0], v[4], v[7], v[6] });
        }
      }
    }
  }

  vtkNew<vtkIdTypeArray> connectivity;
  connectivity->SetNumberOfValues(static_cast<vtkIdType>(stream.size()));
  std::copy(stream.begin(), stream.end(), connectivity->GetPointer(0));
  vtkNew<vtkIntArray> cellTypes;
  cellTypes->SetNumberOfValues(static_cast<vtkIdType>(types.size()));
  std::copy(types.begin(), types.end(), cellTypes->GetPointer(0));

  vtkNew<vtkKivUnstructuredGridGenerator> generator;
  generator->SetPointData(coords);
  generator->SetCellData(connectivity);
  generator->SetCellTypeData(cellTypes);
  generator->Update();
  auto* grid = vtkUnstructuredGrid::SafeDownCast(generator->GetOutput());
  if (!grid || grid->GetNumberOfCells() != static_cast<vtkIdType>(types.size()))
  {
    error = "the default mesh could not be generated";
    return nullptr;
  }
  auto mesh = vtkSmartPointer<vtkUnstructuredGrid>::New();
  mesh->ShallowCopy(grid);
  mesh->GetPointData()->SetScalars(temperature);
  return mesh;
}

} // namespace orvi
