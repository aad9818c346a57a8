#include "orviMeshLoader.h"

#include "orviFileChecks.h"

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
#include "vtkObjectFactory.h"
#include "vtkOutputWindow.h"
#include "vtkPLYReader.h"
#include "vtkPointData.h"
#include "vtkPolyDataReader.h"
#include "vtkSTLReader.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridReader.h"
#include "vtkXMLPolyDataReader.h"
#include "vtkXMLUnstructuredDataReader.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <vtksys/SystemTools.hxx>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace orvi
{

namespace
{
// Coordinates beyond this magnitude are refused: the renderer draws in
// single precision, whose largest value is about 3.4e38.
constexpr double MaxCoordinate = 1.0e38;

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

// Catches what VTK reports while a file is read (errors of the reader, of
// readers it runs inside itself, of arrays it allocates, and warnings that
// say "error", as VTK's legacy reader gives for a file cut short), so that
// such a file is refused with VTK's own words instead of showing an empty
// view. Other messages go on to the window it replaced.
class ReadMessages : public vtkOutputWindow
{
public:
  static ReadMessages* New();
  vtkTypeMacro(ReadMessages, vtkOutputWindow);

  void DisplayErrorText(const char* text) override { this->Keep(text); }
  void DisplayWarningText(const char* text) override { this->Filter(text, false); }
  void DisplayGenericWarningText(const char* text) override { this->Filter(text, true); }

  vtkSmartPointer<vtkOutputWindow> Previous;
  std::string First; // the first error, without VTK's file and line
  int Errors = 0;

private:
  void Keep(const char* text)
  {
    if (this->Errors++ > 0 || !text)
    {
      return;
    }
    // "ERROR: In FILE, line N\nCLASS (ADDRESS): MESSAGE\n\n" or
    // "Generic Warning: In FILE, line N\nMESSAGE\n\n": the message.
    std::string message = text;
    const auto newline = message.find('\n');
    message = newline == std::string::npos ? message : message.substr(newline + 1);
    const auto colon = message.find("): ");
    message = colon == std::string::npos ? message : message.substr(colon + 3);
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back())))
    {
      message.pop_back();
    }
    this->First = message;
  }

  void Filter(const char* text, bool generic)
  {
    std::string lower = text ? text : "";
    std::transform(lower.begin(),
      lower.end(),
      lower.begin(),
      [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // After VTK's "In FILE, line N", whose file name may say "error".
    const auto body = lower.find('\n');
    if (lower.find("error", body == std::string::npos ? 0 : body) != std::string::npos)
    {
      this->Keep(text);
    }
    else if (this->Previous && generic)
    {
      this->Previous->DisplayGenericWarningText(text);
    }
    else if (this->Previous)
    {
      this->Previous->DisplayWarningText(text);
    }
  }
};
vtkStandardNewMacro(ReadMessages);

// Installs a ReadMessages as VTK's output window for its lifetime.
class CatchReadMessages
{
public:
  CatchReadMessages()
  {
    this->Messages->Previous = vtkOutputWindow::GetInstance();
    vtkOutputWindow::SetInstance(this->Messages);
  }
  ~CatchReadMessages() { vtkOutputWindow::SetInstance(this->Messages->Previous); }
  CatchReadMessages(const CatchReadMessages&) = delete;
  CatchReadMessages& operator=(const CatchReadMessages&) = delete;
  vtkNew<ReadMessages> Messages;
};

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

// An XML file's header says how many points it holds before anything is
// read. Coordinates alone take 12 bytes a point (single precision); a claim
// beyond the machine's memory is a damaged file, refused before VTK's
// reader tries to allocate it.
bool PlausiblePointCount(vtkAlgorithm* reader, const std::string& path, std::string& error)
{
  auto* xml = vtkXMLUnstructuredDataReader::SafeDownCast(reader);
  if (!xml)
  {
    return true;
  }
  xml->UpdateInformation();
  xml->SetupUpdateExtent(0, 1, 0);
  const double needed = 12.0 * static_cast<double>(xml->GetNumberOfPoints());
  const double memory =
    static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
  if (memory <= 0.0 || needed <= memory)
  {
    return true;
  }
  std::ostringstream why;
  why.precision(3);
  why << "cannot read '" << path << "': the file claims " << xml->GetNumberOfPoints()
      << " points, whose coordinates alone need " << needed / 1e9 << " GB, more than the "
      << memory / 1e9 << " GB of memory (is it damaged?)";
  error = why.str();
  return false;
}

// Whether any cell is one a renderer can draw: none of a mesh whose cells
// are all empty cells (VTK_EMPTY_CELL) is.
bool HasDrawableCell(vtkDataSet* data)
{
  for (vtkIdType i = 0; i < data->GetNumberOfCells(); ++i)
  {
    if (data->GetCellType(i) != VTK_EMPTY_CELL)
    {
      return true;
    }
  }
  return false;
}

// The largest magnitude of the coordinates, NaN when one is not a number.
double LargestCoordinate(vtkDataSet* data)
{
  double largest = 0.0;
  double p[3];
  for (vtkIdType i = 0; i < data->GetNumberOfPoints(); ++i)
  {
    data->GetPoint(i, p);
    for (double c : p)
    {
      if (std::isnan(c))
      {
        return c;
      }
      largest = std::max(largest, std::abs(c));
    }
  }
  return largest;
}

// Reader progress by tenths, rising only: VTK's legacy reader runs a reader
// of the file's kind inside itself, and both report their own progress.
struct ProgressPrinter
{
  std::ostream* Log = nullptr;
  std::string Name;
  int LastTenth = -1;
  static void Callback(vtkObject*, unsigned long, void* clientData, void* callData)
  {
    auto* self = static_cast<ProgressPrinter*>(clientData);
    const double progress = callData ? *static_cast<double*>(callData) : 0.0;
    const int tenth = static_cast<int>(progress * 10.0);
    if (tenth > self->LastTenth)
    {
      self->LastTenth = tenth;
      *self->Log << "  loading " << self->Name << ": " << tenth * 10 << "%\n";
    }
  }
};

vtkSmartPointer<vtkDataSet> ReadMesh(const std::string& path, std::ostream& log, std::string& error)
{
  const std::string ext = Extension(path);
  vtkSmartPointer<vtkAlgorithm> reader = MakeReader(path, ext);
  if (!reader)
  {
    error = "cannot open '" + path + "': unknown extension '" + ext +
      "' (known: " + MeshExtensions() + ")";
    return nullptr;
  }
  if (!std::ifstream(path).good())
  {
    error = "cannot open '" + path + "': no such file or not readable";
    return nullptr;
  }
  if ((ext == ".stl" && !CheckBinarySTL(path, error)) || (ext == ".ply" && !CheckPLY(path, error)))
  {
    return nullptr;
  }

  ProgressPrinter progress;
  progress.Log = &log;
  progress.Name = std::filesystem::path(path).filename().string();
  vtkNew<vtkCallbackCommand> progressCommand;
  progressCommand->SetClientData(&progress);
  progressCommand->SetCallback(&ProgressPrinter::Callback);
  reader->AddObserver(vtkCommand::ProgressEvent, progressCommand);

  log << "loading " << path << "\n";
  const auto start = std::chrono::steady_clock::now();
  CatchReadMessages messages;
  if (!PlausiblePointCount(reader, path, error))
  {
    return nullptr;
  }
  reader->Update();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  const ReadMessages* errors = messages.Messages;

  const std::string invalid = "cannot read '" + path + "': not a valid " + ext + " mesh";
  vtkDataSet* data = vtkDataSet::SafeDownCast(reader->GetOutputDataObject(0));
  if (errors->Errors > 0 || !data)
  {
    error = invalid + (errors->First.empty() ? "" : " (" + errors->First + ")");
    return nullptr;
  }
  const std::string fault = vtkKivUnstructuredGridGenerator::CheckCells(data);
  if (!fault.empty())
  {
    error = invalid + " (" + fault + ")";
    return nullptr;
  }
  const vtkIdType numPoints = data->GetNumberOfPoints(), numCells = data->GetNumberOfCells();
  if (numPoints == 0 || numCells == 0 || !HasDrawableCell(data))
  {
    error = "cannot read '" + path + "': nothing to draw (" + std::to_string(numPoints) +
      " points, " + std::to_string(numCells) + (numCells > 0 ? " empty" : "") + " cells)";
    return nullptr;
  }
  // NaN or infinite coordinates leave the camera and the pickers without
  // meaningful bounds; the renderer draws in single precision.
  const double largest = LargestCoordinate(data);
  if (!(largest <= MaxCoordinate))
  {
    std::ostringstream why;
    why << invalid << " (";
    if (std::isfinite(largest))
    {
      why << "coordinate " << largest << " is beyond single precision, which the renderer uses";
    }
    else
    {
      why << "it holds coordinates that are not finite numbers";
    }
    error = why.str() + ")";
    return nullptr;
  }
  log << "loaded " << numPoints << " points and " << numCells << " cells in " << elapsed.count()
      << " s\n";
  return data;
}
} // namespace

const char* MeshExtensions()
{
  return ".vtu .vtk .vtp .stl .obj .ply";
}

vtkSmartPointer<vtkDataSet> LoadMesh(const std::string& path, std::ostream& log, std::string& error)
{
  // A header may claim more than memory holds (VTK's XML reader then throws
  // from its allocation): that is a bad file, not a reason to abort.
  try
  {
    return ReadMesh(path, log, error);
  }
  catch (const std::bad_alloc&)
  {
    error = "cannot read '" + path +
      "': not enough memory for what the file claims to hold (is it damaged?)";
    return nullptr;
  }
}

bool LoadMeshes(const std::vector<std::string>& files,
  std::ostream& log,
  std::vector<NamedMesh>& meshes,
  std::string& error)
{
  meshes.clear();
  if (files.empty())
  {
    vtkSmartPointer<vtkDataSet> mesh = MakeDefaultMesh(error);
    if (!mesh)
    {
      return false;
    }
    log << "generated mesh: " << mesh->GetNumberOfPoints() << " points, "
        << mesh->GetNumberOfCells() << " cells\n";
    meshes.push_back({ "generated mesh", mesh });
  }
  for (const std::string& file : files)
  {
    vtkSmartPointer<vtkDataSet> mesh = LoadMesh(file, log, error);
    if (!mesh)
    {
      return false;
    }
    meshes.push_back({ file, mesh });
  }
  return true;
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
