#include "orviMeshLoader.h"

#include "orviFileChecks.h"
#include "orviIsolatedRead.h"

#include "vtkKivUnstructuredGridGenerator.h"

#include "vtkAlgorithm.h"
#include "vtkCallbackCommand.h"
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkDataSet.h"
#include "vtkDataSetReader.h"
#include "vtkExecutive.h"
#include "vtkNew.h"
#include "vtkOBJReader.h"
#include "vtkObjectFactory.h"
#include "vtkOutputWindow.h"
#include "vtkPLYReader.h"
#include "vtkPointData.h"
#include "vtkPolyData.h"
#include "vtkPolyDataReader.h"
#include "vtkSTLReader.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridReader.h"
#include "vtkXMLDataElement.h"
#include "vtkXMLDataParser.h"
#include "vtkXMLPolyDataReader.h"
#include "vtkXMLReader.h"
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
#include <functional>
#include <new>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <unistd.h>

namespace orvi
{

std::string FileExtension(const std::string& path)
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

namespace
{
// Coordinates beyond this magnitude are refused: the renderer draws in
// single precision, whose largest value is about 3.4e38.
constexpr double MaxCoordinate = 1.0e38;

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
  // The pipeline's report that the reader failed, counted apart.
  std::string Generic;
  int Failures = 0;
  bool Failed() const { return this->Errors + this->Failures > 0; }
  std::string Why() const { return this->First.empty() ? this->Generic : this->First; }

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
    // One line of words: VTK's own lines after the first (an information
    // object's print-out), its " for file: NAME" (the host names the file)
    // and bytes of the file it quotes go.
    message = message.substr(0, message.find('\n'));
    message = message.substr(0, message.find(" for file: "));
    const auto quoted = std::find_if(
      message.begin(), message.end(), [](unsigned char c) { return c < 0x20 || c >= 0x7f; });
    message.erase(quoted, message.end());
    while (!message.empty() &&
      (std::isspace(static_cast<unsigned char>(message.back())) || message.back() == ':'))
    {
      message.pop_back();
    }
    // Object addresses say nothing to a user.
    message = std::regex_replace(message, std::regex(" ?\\(?0x[0-9a-fA-F]+\\)?"), "");
    constexpr std::size_t Longest = 200;
    message = message.size() > Longest ? message.substr(0, Longest) + "..." : message;
    // The pipeline's "Algorithm R returned failure for request: ..." only
    // says that the reader failed: its own message, when it gave one, says
    // why.
    if (message.rfind("Algorithm ", 0) == 0 &&
      message.find("returned failure") != std::string::npos)
    {
      this->Generic = "VTK's reader failed on it";
      --this->Errors;
      ++this->Failures;
      return;
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

template <class Reader>
vtkSmartPointer<vtkAlgorithm> NewReader(const std::string& path)
{
  auto reader = vtkSmartPointer<Reader>::New();
  reader->SetFileName(path.c_str());
  return reader;
}

vtkSmartPointer<vtkAlgorithm> MakeReader(const std::string& path, const std::string& ext)
{
  using Factory = vtkSmartPointer<vtkAlgorithm> (*)(const std::string&);
  static const std::pair<const char*, Factory> readers[] = {
    { ".vtu", &NewReader<vtkXMLUnstructuredGridReader> },
    { ".vtp", &NewReader<vtkXMLPolyDataReader> },
    { ".vtk", &NewReader<vtkDataSetReader> },
    { ".stl", &NewReader<vtkSTLReader> },
    { ".obj", &NewReader<vtkOBJReader> },
    { ".ply", &NewReader<vtkPLYReader> },
  };
  for (const auto& [extension, make] : readers)
  {
    if (ext == extension)
    {
      return make(path);
    }
  }
  return nullptr;
}

// An XML file's header, as VTK's parser read it, before any data is read:
// the counts it claims against the machine's memory (coordinates alone
// take 12 bytes a point in single precision) and every attribute VTK's
// readers trust against the file (see CheckXMLElements).
bool CheckXMLHeader(vtkAlgorithm* reader, const std::string& path, std::string& error)
{
  auto* xml = vtkXMLUnstructuredDataReader::SafeDownCast(reader);
  if (!xml)
  {
    return true;
  }
  xml->UpdateInformation();
  vtkXMLDataParser* parser = xml->GetXMLParser();
  if (!parser || !parser->GetRootElement())
  {
    return true; // VTK's reader has logged why
  }
  xml->SetupUpdateExtent(0, 1, 0);
  const double needed = 12.0 * static_cast<double>(xml->GetNumberOfPoints());
  const double memory =
    static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
  if (memory > 0.0 && needed > memory)
  {
    std::ostringstream why;
    why.precision(3);
    why << "cannot read '" << path << "': the file claims " << xml->GetNumberOfPoints()
        << " points, whose coordinates alone need " << needed / 1e9 << " GB, more than the "
        << memory / 1e9 << " GB of memory (is it damaged?)";
    error = why.str();
    return false;
  }
  std::string why;
  if (!CheckXMLElements(parser->GetRootElement(), vtksys::SystemTools::FileLength(path), why))
  {
    error =
      "cannot read '" + path + "': not a valid " + FileExtension(path) + " mesh (" + why + ")";
    return false;
  }
  return true;
}

// The values an array of the mesh holds, by the XML element it was read
// from (its parent element and name); -1 for arrays not checked.
vtkIdType ValuesRead(vtkDataSet* data, const std::string& parent, const std::string& name)
{
  if (parent == "Points")
  {
    return 3 * data->GetNumberOfPoints();
  }
  vtkCellArray* cells = nullptr;
  if (auto* grid = vtkUnstructuredGrid::SafeDownCast(data))
  {
    cells = parent == "Cells" ? grid->GetCells() : nullptr;
  }
  else if (auto* poly = vtkPolyData::SafeDownCast(data))
  {
    cells = parent == "Verts" ? poly->GetVerts()
      : parent == "Lines"     ? poly->GetLines()
      : parent == "Polys"     ? poly->GetPolys()
      : parent == "Strips"    ? poly->GetStrips()
                              : nullptr;
  }
  if (!cells)
  {
    return -1;
  }
  return name == "connectivity"            ? cells->GetNumberOfConnectivityIds()
    : name == "offsets" || name == "types" ? cells->GetNumberOfCells()
                                           : -1;
}

// An XML file's appended raw arrays of points and cells against what was
// read from them: each block's length, which the file gives in front of
// it, is the values read times the size of the type declared. Another
// type declared (Int8 for Int64 ids) reads as valid but wrong numbers.
// Empty when they match, or for other encodings.
std::string CheckAppendedBlocks(vtkAlgorithm* reader, vtkDataSet* data, const std::string& path)
{
  auto* xml = vtkXMLReader::SafeDownCast(reader);
  vtkXMLDataParser* parser = xml ? xml->GetXMLParser() : nullptr;
  vtkXMLDataElement* root = parser ? parser->GetRootElement() : nullptr;
  vtkXMLDataElement* appended = root ? root->FindNestedElementWithName("AppendedData") : nullptr;
  const char* encoding = appended ? appended->GetAttribute("encoding") : nullptr;
  if (!appended || !encoding || std::string(encoding) != "raw" ||
    root->GetAttribute("compressor") || parser->GetAppendedDataPosition() <= 0)
  {
    return {};
  }
  const char* headerType = root->GetAttribute("header_type");
  const int headerSize = headerType && std::string(headerType) == "UInt64" ? 8 : 4;
  const char* order = root->GetAttribute("byte_order");
  const bool bigEndian = order && std::string(order) == "BigEndian";
  std::ifstream in(path, std::ios::binary);
  std::string why;
  const std::function<void(vtkXMLDataElement*, const std::string&)> walk =
    [&](vtkXMLDataElement* element, const std::string& parent)
  {
    const std::string name = element->GetName() ? element->GetName() : "";
    const char* format = element->GetAttribute("format");
    const char* offset = element->GetAttribute("offset");
    const char* type = element->GetAttribute("type");
    const char* arrayName = element->GetAttribute("Name");
    const vtkIdType values = ValuesRead(data, parent, arrayName ? arrayName : "");
    if (why.empty() && name == "DataArray" && format && std::string(format) == "appended" &&
      offset && type && values >= 0)
    {
      std::array<unsigned char, 8> bytes{};
      in.seekg(static_cast<std::streamoff>(parser->GetAppendedDataPosition() + std::atoll(offset)));
      in.read(reinterpret_cast<char*>(bytes.data()), headerSize);
      std::uint64_t held = 0;
      for (int i = 0; i < headerSize; ++i)
      {
        held |= static_cast<std::uint64_t>(bytes[bigEndian ? headerSize - 1 - i : i]) << (8 * i);
      }
      int wordType = 0;
      const std::uint64_t needed = element->GetWordTypeAttribute("type", wordType)
        ? static_cast<std::uint64_t>(values) * parser->GetWordTypeSize(wordType)
        : held;
      if (in && held != needed)
      {
        why = "array '" + std::string(arrayName ? arrayName : "") + "' of " + parent +
          " is declared " + type + ": its " + std::to_string(values) + " values take " +
          std::to_string(needed) + " bytes, but the file holds " + std::to_string(held) +
          " for it (is its type wrong?)";
      }
    }
    for (int i = 0; why.empty() && i < element->GetNumberOfNestedElements(); ++i)
    {
      walk(element->GetNestedElement(i), name);
    }
  };
  walk(root, "");
  return why;
}

// Whether any cell is one a renderer can draw: none of a mesh whose cells
// are all empty cells (VTK_EMPTY_CELL) is. Reads the cell types straight,
// without building anything.
bool HasDrawableCell(vtkDataSet* data)
{
  if (auto* grid = vtkUnstructuredGrid::SafeDownCast(data))
  {
    vtkUnsignedCharArray* types = grid->GetCellTypesArray();
    const unsigned char* begin = types ? types->GetPointer(0) : nullptr;
    const unsigned char* end = begin ? begin + types->GetNumberOfValues() : nullptr;
    return std::find_if(begin, end, [](unsigned char t) { return t != VTK_EMPTY_CELL; }) != end;
  }
  if (vtkPolyData::SafeDownCast(data))
  {
    return data->GetNumberOfCells() > 0;
  }
  for (vtkIdType i = 0; i < data->GetNumberOfCells(); ++i)
  {
    if (data->GetCellType(i) != VTK_EMPTY_CELL)
    {
      return true;
    }
  }
  return false;
}

// Cells of a vtkPolyData with fewer points than their kind needs (a
// polygon of two points): VTK logs "Invalid cell size" while building its
// cell map and leaves it unbuilt, which later crashes whoever asks a cell's
// type. Empty when there are none.
std::string CheckPolyCellSizes(vtkDataSet* data)
{
  auto* poly = vtkPolyData::SafeDownCast(data);
  if (!poly)
  {
    return {};
  }
  const std::array<std::pair<vtkCellArray*, const char*>, 4> lists = { {
    { poly->GetVerts(), "vertex" },
    { poly->GetLines(), "line" },
    { poly->GetPolys(), "polygon" },
    { poly->GetStrips(), "triangle strip" },
  } };
  const std::array<vtkIdType, 4> least = { 1, 2, 3, 3 };
  vtkIdType first = 0;
  for (std::size_t k = 0; k < lists.size(); ++k)
  {
    vtkCellArray* cells = lists[k].first;
    if (!cells)
    {
      continue;
    }
    for (vtkIdType c = 0; c < cells->GetNumberOfCells(); ++c)
    {
      const vtkIdType size = cells->GetCellSize(c);
      if (size < least[k])
      {
        return "cell " + std::to_string(first + c) + " is a " + lists[k].second + " of " +
          std::to_string(size) + " point(s); a " + lists[k].second + " needs at least " +
          std::to_string(least[k]);
      }
    }
    first += cells->GetNumberOfCells();
  }
  return {};
}

// Point and cell arrays of another length than the points and cells they
// belong to (VTK's OBJ reader numbers only the faces in its GroupIds, a
// damaged legacy file may count less in its POINT_DATA): colouring by one,
// a renderer would read past its end. They are left out, with a warning.
void DropMismatchedArrays(vtkDataSet* data, std::ostream& log)
{
  for (auto [fields, count, what] :
    { std::make_tuple(static_cast<vtkDataSetAttributes*>(data->GetPointData()),
        data->GetNumberOfPoints(),
        "point"),
      std::make_tuple(static_cast<vtkDataSetAttributes*>(data->GetCellData()),
        data->GetNumberOfCells(),
        "cell") })
  {
    for (int i = fields->GetNumberOfArrays() - 1; i >= 0; --i)
    {
      vtkAbstractArray* array = fields->GetAbstractArray(i);
      if (array && array->GetNumberOfTuples() != count)
      {
        log << "warning: " << what << " array '" << (array->GetName() ? array->GetName() : "")
            << "' left out: " << array->GetNumberOfTuples() << " values for " << count << " "
            << what << "s\n";
        fields->RemoveArray(i);
      }
    }
  }
}

// The coordinates in one pass: refused when one is not a finite number or
// beyond single precision (the renderer's), and when a few points lie so far
// from the rest that the model would be drawn as a dot (a damaged value far
// more often than a model). The bulk is measured on an even sample: its
// median point and the distance within which 95% of the sample lies.
std::string CheckCoordinates(vtkDataSet* data)
{
  const vtkIdType n = data->GetNumberOfPoints();
  constexpr vtkIdType SampleSize = 4096;
  const vtkIdType stride = std::max<vtkIdType>(1, n / SampleSize);
  std::array<std::vector<double>, 3> sample;
  std::array<double, 3> p{};
  for (vtkIdType i = 0; i < n; ++i)
  {
    data->GetPoint(i, p.data());
    for (int a = 0; a < 3; ++a)
    {
      if (!(std::abs(p[a]) <= MaxCoordinate))
      {
        std::ostringstream why;
        if (std::isfinite(p[a]))
        {
          why << "coordinate " << p[a] << " is beyond single precision, which the renderer uses";
        }
        else
        {
          why << "it holds coordinates that are not finite numbers";
        }
        return why.str();
      }
      if (i % stride == 0)
      {
        sample[a].push_back(p[a]);
      }
    }
  }
  if (n < 8)
  {
    return {};
  }
  std::array<double, 3> median{};
  for (int a = 0; a < 3; ++a)
  {
    std::vector<double> values = sample[a];
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    median[a] = values[values.size() / 2];
  }
  const auto distance = [&median](const std::array<double, 3>& q)
  {
    return std::sqrt((q[0] - median[0]) * (q[0] - median[0]) +
      (q[1] - median[1]) * (q[1] - median[1]) + (q[2] - median[2]) * (q[2] - median[2]));
  };
  std::vector<double> distances(sample[0].size());
  for (std::size_t i = 0; i < distances.size(); ++i)
  {
    distances[i] = distance({ sample[0][i], sample[1][i], sample[2][i] });
  }
  const auto at95 = distances.begin() + static_cast<std::ptrdiff_t>(distances.size() * 95 / 100);
  std::nth_element(distances.begin(), at95, distances.end());
  const double bulk = *at95;
  if (!(bulk > 0.0))
  {
    return {};
  }
  // Beyond 100 times the bulk's radius the bulk fills under a hundredth
  // of the view; there are few such points by construction (under 5% of
  // the sample), and each is named.
  const double far = 100.0 * bulk;
  std::vector<vtkIdType> outliers;
  double farthest = 0.0;
  for (vtkIdType i = 0; i < n; ++i)
  {
    data->GetPoint(i, p.data());
    const double d = distance(p);
    if (d > far)
    {
      outliers.push_back(i);
      farthest = std::max(farthest, d);
    }
  }
  if (outliers.empty())
  {
    return {};
  }
  std::ostringstream why;
  why.precision(3);
  why << (outliers.size() == 1 ? "point " : "points ");
  for (std::size_t k = 0; k < outliers.size() && k < 3; ++k)
  {
    data->GetPoint(outliers[k], p.data());
    why << (k > 0 ? ", " : "") << outliers[k] << " (" << p[0] << ", " << p[1] << ", " << p[2]
        << ")";
  }
  why << (outliers.size() > 3 ? " and more" : "") << (outliers.size() == 1 ? " lies " : " lie ")
      << "up to " << farthest / bulk << " times the model's size from the other "
      << n - static_cast<vtkIdType>(outliers.size())
      << " points: drawn, the model would shrink to a dot (is the file damaged?)";
  return why.str();
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

// The checks of a mesh VTK's reader returned, cheapest first; empty when it
// can be shown.
std::string CheckMesh(vtkDataSet* data)
{
  std::string fault = CheckPolyCellSizes(data);
  if (fault.empty())
  {
    fault = vtkKivUnstructuredGridGenerator::CheckCells(data);
  }
  if (fault.empty() && data->GetNumberOfPoints() > 0 && HasDrawableCell(data))
  {
    fault = CheckCoordinates(data);
  }
  return fault;
}

// The read itself, with every check of what VTK's reader returned; in the
// child process of ReadIsolated().
vtkSmartPointer<vtkDataSet> ReadChecked(vtkAlgorithm* reader,
  const std::string& path,
  std::ostream& log,
  std::string& error)
{
  const std::string ext = FileExtension(path);
  ProgressPrinter progress;
  progress.Log = &log;
  progress.Name = std::filesystem::path(path).filename().string();
  vtkNew<vtkCallbackCommand> progressCommand;
  progressCommand->SetClientData(&progress);
  progressCommand->SetCallback(&ProgressPrinter::Callback);
  reader->AddObserver(vtkCommand::ProgressEvent, progressCommand);

  CatchReadMessages messages;
  const std::string invalid = "cannot read '" + path + "': not a valid " + ext + " mesh";
  const ReadMessages* errors = messages.Messages;
  if (!CheckXMLHeader(reader, path, error))
  {
    return nullptr;
  }
  if (!errors->Failed())
  {
    reader->Update();
  }
  vtkDataSet* data = vtkDataSet::SafeDownCast(reader->GetOutputDataObject(0));
  if (errors->Failed() || !data)
  {
    error = invalid + (errors->Why().empty() ? "" : " (" + errors->Why() + ")");
    return nullptr;
  }
  const vtkIdType numPoints = data->GetNumberOfPoints(), numCells = data->GetNumberOfCells();
  DropMismatchedArrays(data, log);
  std::string fault = CheckAppendedBlocks(reader, data, path);
  fault = fault.empty() ? CheckMesh(data) : fault;
  if (!fault.empty() || errors->Failed())
  {
    error = invalid + " (" + (fault.empty() ? errors->Why() : fault) + ")";
    return nullptr;
  }
  if (numPoints == 0 || numCells == 0 || !HasDrawableCell(data))
  {
    error = "cannot read '" + path + "': nothing to draw (" + std::to_string(numPoints) +
      " points, " + std::to_string(numCells) + (numCells > 0 ? " empty" : "") + " cells)";
    return nullptr;
  }
  return data;
}

// What can be checked before a reader runs: the extension, the file, its
// first bytes, and the whole of a .stl or .ply (their readers trust every
// count).
vtkSmartPointer<vtkAlgorithm> CheckedReader(const std::string& path, std::string& error)
{
  const std::string ext = FileExtension(path);
  vtkSmartPointer<vtkAlgorithm> reader = MakeReader(path, ext);
  if (!reader)
  {
    error = "cannot open '" + path + "': unknown extension '" + ext +
      "' (known: " + MeshExtensions() + ")";
    return nullptr;
  }
  if (!std::ifstream(path).good() || vtksys::SystemTools::FileIsDirectory(path))
  {
    error = "cannot open '" + path + "': no such file or not readable";
    return nullptr;
  }
  std::string why;
  if (!CheckSignature(path, ext, why))
  {
    error = "cannot read '" + path + "': not a valid " + ext + " mesh (" + why + ")";
    return nullptr;
  }
  if ((ext == ".stl" && !CheckBinarySTL(path, error)) ||
    (ext == ".ply" && !CheckPLY(path, error)) || (ext == ".vtk" && !CheckLegacyVTK(path, error)))
  {
    return nullptr;
  }
  return reader;
}
} // namespace

const char* MeshExtensions()
{
  return ".vtu .vtk .vtp .stl .obj .ply";
}

vtkSmartPointer<vtkDataSet> LoadMesh(const std::string& path,
  std::ostream& log,
  std::string& error,
  const std::function<void()>& whileReading,
  const std::function<void(vtkDataSet*)>& afterRead)
{
  vtkSmartPointer<vtkAlgorithm> reader = CheckedReader(path, error);
  if (!reader)
  {
    return nullptr;
  }
  log << "loading " << path << "\n";
  const auto start = std::chrono::steady_clock::now();
  const MeshReadFunction read = [&](std::ostream& childLog, std::string& childError)
  { return ReadChecked(reader, path, childLog, childError); };
  // Said as soon as the mesh is here, before what is done with it.
  const auto loaded = [&](vtkDataSet* data)
  {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    log << "loaded " << data->GetNumberOfPoints() << " points and " << data->GetNumberOfCells()
        << " cells in " << elapsed.count() << " s\n";
    if (afterRead)
    {
      afterRead(data);
    }
  };
  return ReadIsolated(read,
    LimitsForFile(static_cast<double>(vtksys::SystemTools::FileLength(path))),
    "cannot read '" + path + "'",
    log,
    error,
    whileReading,
    loaded);
}

vtkSmartPointer<vtkDataSet> LoadMeshInProcess(const std::string& path,
  std::ostream& log,
  std::string& error)
{
  vtkSmartPointer<vtkAlgorithm> reader = CheckedReader(path, error);
  try
  {
    return reader ? ReadChecked(reader, path, log, error) : nullptr;
  }
  catch (const std::bad_alloc&)
  {
    error = "cannot read '" + path +
      "': not enough memory for what the file claims to hold (is it damaged?)";
    return nullptr;
  }
}

} // namespace orvi
