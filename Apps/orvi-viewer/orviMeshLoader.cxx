#include "orviMeshLoader.h"

#include "vtkKivUnstructuredGridGenerator.h"

#include "vtkAlgorithm.h"
#include "vtkCallbackCommand.h"
#include "vtkCellType.h"
#include "vtkDataSet.h"
#include "vtkDataSetReader.h"
#include "vtkDoubleArray.h"
#include "vtkExecutive.h"
#include "vtkIdTypeArray.h"
#include "vtkIntArray.h"
#include "vtkNew.h"
#include "vtkOBJReader.h"
#include "vtkPLYReader.h"
#include "vtkPointData.h"
#include "vtkPolyDataReader.h"
#include "vtkSTLReader.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridReader.h"
#include "vtkXMLPolyDataReader.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <vtksys/SystemTools.hxx>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace orvi
{

namespace
{
std::string Extension(const std::string& path)
{
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
  {
    return {};
  }
  std::string ext = path.substr(dot);
  std::transform(ext.begin(),
    ext.end(),
    ext.begin(),
    [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

vtkSmartPointer<vtkAlgorithm> MakeReader(const std::string& path, const std::string& ext)
{
  if (ext == ".vtu")
  {
    auto r = vtkSmartPointer<vtkXMLUnstructuredGridReader>::New();
    r->SetFileName(path.c_str());
    return r;
  }
  if (ext == ".vtp")
  {
    auto r = vtkSmartPointer<vtkXMLPolyDataReader>::New();
    r->SetFileName(path.c_str());
    return r;
  }
  if (ext == ".vtk")
  {
    auto r = vtkSmartPointer<vtkDataSetReader>::New();
    r->SetFileName(path.c_str());
    return r;
  }
  if (ext == ".stl")
  {
    auto r = vtkSmartPointer<vtkSTLReader>::New();
    r->SetFileName(path.c_str());
    return r;
  }
  if (ext == ".obj")
  {
    auto r = vtkSmartPointer<vtkOBJReader>::New();
    r->SetFileName(path.c_str());
    return r;
  }
  if (ext == ".ply")
  {
    auto r = vtkSmartPointer<vtkPLYReader>::New();
    r->SetFileName(path.c_str());
    return r;
  }
  return nullptr;
}

// VTK's STL reader reads any file that does not look like text as binary
// and, since many writers leave a wrong triangle count in the header,
// takes the count from the file's length, rounding down. A binary STL is
// exactly 84 bytes plus 50 per triangle: any other length means the file is
// not one, and reading it would show random triangles.
bool ValidBinarySTLLength(const std::string& path, std::string& error)
{
  if (vtksys::SystemTools::DetectFileType(path.c_str()) == vtksys::SystemTools::FileTypeText)
  {
    return true;
  }
  const unsigned long length = vtksys::SystemTools::FileLength(path);
  if (length >= 84 && (length - 84) % 50 == 0)
  {
    return true;
  }
  error = "cannot read '" + path + "': not a valid .stl mesh (a binary STL is 84 bytes plus 50 " +
    "per triangle; this file has " + std::to_string(length) + " bytes)";
  return false;
}

// NaN or infinite coordinates (a damaged file) would leave the camera and
// the pickers without meaningful bounds.
bool FiniteCoordinates(vtkDataSet* data)
{
  double p[3];
  for (vtkIdType i = 0; i < data->GetNumberOfPoints(); ++i)
  {
    data->GetPoint(i, p);
    if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
    {
      return false;
    }
  }
  return true;
}

// Counts the errors VTK reports while a reader runs, so a file VTK could not
// parse is refused instead of showing an empty view.
struct ErrorCounter
{
  int Errors = 0;
  static void Callback(vtkObject*, unsigned long, void* clientData, void*)
  {
    ++static_cast<ErrorCounter*>(clientData)->Errors;
  }
};

struct ProgressPrinter
{
  std::ostream* Log = nullptr;
  int LastTenth = -1;
  static void Callback(vtkObject*, unsigned long, void* clientData, void* callData)
  {
    auto* self = static_cast<ProgressPrinter*>(clientData);
    const double progress = callData ? *static_cast<double*>(callData) : 0.0;
    const int tenth = static_cast<int>(progress * 10.0);
    if (tenth != self->LastTenth)
    {
      self->LastTenth = tenth;
      *self->Log << "  loading: " << tenth * 10 << "%\n";
    }
  }
};
} // namespace

vtkSmartPointer<vtkDataSet> LoadMesh(const std::string& path, std::ostream& log, std::string& error)
{
  const std::string ext = Extension(path);
  vtkSmartPointer<vtkAlgorithm> reader = MakeReader(path, ext);
  if (!reader)
  {
    error = "cannot open '" + path + "': unknown extension '" + ext +
      "' (known: .vtu .vtk .vtp .stl .obj .ply)";
    return nullptr;
  }
  if (!std::ifstream(path).good())
  {
    error = "cannot open '" + path + "': no such file or not readable";
    return nullptr;
  }
  if (ext == ".stl" && !ValidBinarySTLLength(path, error))
  {
    return nullptr;
  }

  ProgressPrinter progress;
  progress.Log = &log;
  vtkNew<vtkCallbackCommand> progressCommand;
  progressCommand->SetClientData(&progress);
  progressCommand->SetCallback(&ProgressPrinter::Callback);
  reader->AddObserver(vtkCommand::ProgressEvent, progressCommand);

  ErrorCounter errors;
  vtkNew<vtkCallbackCommand> errorCommand;
  errorCommand->SetClientData(&errors);
  errorCommand->SetCallback(&ErrorCounter::Callback);
  reader->AddObserver(vtkCommand::ErrorEvent, errorCommand);
  reader->GetExecutive()->AddObserver(vtkCommand::ErrorEvent, errorCommand);

  log << "loading " << path << "\n";
  const auto start = std::chrono::steady_clock::now();
  reader->Update();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

  vtkDataSet* data = vtkDataSet::SafeDownCast(reader->GetOutputDataObject(0));
  if (errors.Errors > 0 || !data || data->GetNumberOfPoints() == 0)
  {
    error = "cannot read '" + path + "': not a valid " + ext + " mesh or it holds no points";
    return nullptr;
  }
  if (!FiniteCoordinates(data))
  {
    error = "cannot read '" + path + "': not a valid " + ext +
      " mesh (it holds coordinates that are not finite numbers)";
    return nullptr;
  }
  log << "loaded " << data->GetNumberOfPoints() << " points and " << data->GetNumberOfCells()
      << " cells in " << elapsed.count() << " s\n";
  return data;
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
