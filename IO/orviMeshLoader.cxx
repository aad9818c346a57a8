#include "orviMeshLoader.h"

#include "orviFormatChecks.h"
#include "orviFormatTable.h"
#include "orviIsolatedRead.h"
#include "orviMeshChecks.h"
#include "orviReadMessages.h"

#include "vtkAlgorithm.h"
#include "vtkCallbackCommand.h"
#include "vtkCommand.h"
#include "vtkDataSet.h"
#include "vtkNew.h"
#include "vtkUnstructuredGrid.h"

#include <vtksys/SystemTools.hxx>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <string>

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

const char* MeshExtensions()
{
  static const std::string extensions = []
  {
    std::string list;
    for (const MeshFormat& format : MeshFormats())
    {
      for (const std::string& extension : format.Extensions)
      {
        list += (list.empty() ? "" : " ") + extension;
      }
    }
    return list;
  }();
  return extensions.c_str();
}

std::string DescribeMeshFormats()
{
  std::string list;
  for (const MeshFormat& format : MeshFormats())
  {
    for (const std::string& extension : format.Extensions)
    {
      list += (list.empty() ? "" : ", ") + extension;
    }
    list += format.Note ? std::string(" (") + format.Note + ")" : "";
  }
  return list;
}

namespace
{
// A file past the checks in front of its reader, with its format's row and
// the reader made for it.
struct CheckedFile
{
  const MeshFormat* Format = nullptr;
  vtkSmartPointer<vtkAlgorithm> Reader;
};

} // namespace

bool IsReadableFile(const std::string& path, std::string& error)
{
  // Opening a FIFO would wait for its writer, a device could be read without
  // end: only a regular file is opened.
  std::error_code failed;
  const auto status = std::filesystem::status(path, failed);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
  {
    error = "cannot open '" + path + "': it is not a regular file (a directory, device or FIFO)";
    return false;
  }
  if (failed || !std::ifstream(path).good())
  {
    error = "cannot open '" + path + "': no such file or not readable";
    return false;
  }
  return true;
}

namespace
{
// What can be checked before a reader runs, by the file's format: its
// extension, the file, its first bytes, and the whole file where the
// format's reader trusts every count.
CheckedFile CheckFile(const std::string& path, std::string& error)
{
  const std::string ext = FileExtension(path);
  const MeshFormat* format = FindMeshFormat(ext);
  if (!format)
  {
    error = "cannot open '" + path + "': unknown extension '" + ext +
      "' (known: " + MeshExtensions() + ")";
    return {};
  }
  if (!IsReadableFile(path, error))
  {
    return {};
  }
  if (!format->MakeReader)
  {
    error = "cannot open '" + path + "': a " + ext +
      " file names other mesh files, it is not one mesh itself";
    return {};
  }
  if (!CheckSignature(path, format->Signature, error) ||
    (format->CheckFile && !format->CheckFile(path, error)))
  {
    return {};
  }
  return { format, format->MakeReader(path) };
}

// The mesh of a reader once it ran (see MeshFormat::TakeOutput).
vtkSmartPointer<vtkDataSet> TakeOutput(const CheckedFile& file)
{
  if (file.Format->TakeOutput)
  {
    return file.Format->TakeOutput(file.Reader);
  }
  return vtkDataSet::SafeDownCast(file.Reader->GetOutputDataObject(0));
}

// Whether data stands on like's own points and cells (arrays it shares, not
// equal ones), which passed the mesh's checks when like was read.
bool StandsOn(vtkDataSet* data, vtkDataSet* like)
{
  auto* grid = vtkUnstructuredGrid::SafeDownCast(data);
  auto* shape = vtkUnstructuredGrid::SafeDownCast(like);
  return grid && shape && grid->GetPoints() == shape->GetPoints() &&
    grid->GetCells() == shape->GetCells() &&
    grid->GetCellTypesArray() == shape->GetCellTypesArray() && !grid->GetFaces();
}

// The checks every mesh gets, however it was read, after fault (what its
// format found, or empty) and anything VTK logged as an error (errors,
// when given); null with error set. The mesh's own checks are left out for
// one that stands on the points and cells of like (a mesh this loader
// returned).
vtkSmartPointer<vtkDataSet> CheckTaken(vtkDataSet* data,
  std::string fault,
  const ReadMessages* errors,
  const std::string& path,
  std::string& error,
  vtkDataSet* like = nullptr)
{
  fault = fault.empty() && !StandsOn(data, like) ? CheckMesh(data) : fault;
  if (!fault.empty() || (errors && errors->Failed()))
  {
    Refuse(path, fault.empty() ? errors->Why() : fault, error);
    return nullptr;
  }
  const vtkIdType numPoints = data->GetNumberOfPoints(), numCells = data->GetNumberOfCells();
  if (numPoints == 0 || numCells == 0 || !HasDrawableCell(data))
  {
    error = "cannot read '" + path + "': nothing to draw (" + std::to_string(numPoints) +
      " points, " + std::to_string(numCells) + (numCells > 0 ? " empty" : "") + " cells)";
    return nullptr;
  }
  return data;
}

// The read itself, its progress printed to log, with every check of what
// VTK's reader returned and anything VTK logs as an error a refusal; in the
// child process of ReadIsolated().
vtkSmartPointer<vtkDataSet> ReadChecked(const CheckedFile& file,
  const std::string& path,
  std::ostream& log,
  std::string& error)
{
  ProgressPrinter progress;
  progress.Log = &log;
  progress.Name = std::filesystem::path(path).filename().string();
  vtkNew<vtkCallbackCommand> progressCommand;
  progressCommand->SetClientData(&progress);
  progressCommand->SetCallback(&ProgressPrinter::Callback);
  file.Reader->AddObserver(vtkCommand::ProgressEvent, progressCommand);

  CatchReadMessages messages;
  const ReadMessages* errors = messages.Messages;
  const MeshFormat& format = *file.Format;
  if (format.CheckHeader && !format.CheckHeader(file.Reader, path, error))
  {
    return nullptr;
  }
  if (!errors->Failed())
  {
    file.Reader->Update();
  }
  vtkSmartPointer<vtkDataSet> data = TakeOutput(file);
  if (errors->Failed() || !data)
  {
    error = "cannot read '" + path + "': not a valid " + FileExtension(path) + " mesh";
    error += errors->Why().empty() ? "" : " (" + errors->Why() + ")";
    return nullptr;
  }
  DropMismatchedArrays(data, log);
  const std::string fault = format.CheckRead ? format.CheckRead(file.Reader, data, path) : "";
  return CheckTaken(data, fault, errors, path, error);
}

// The loader's own read of a file its format covers (see
// MeshFormat::ReadInHost), with the checks every mesh gets; null with error
// set.
vtkSmartPointer<vtkDataSet> ReadInHost(const CheckedFile& file,
  const std::string& path,
  std::ostream& log,
  std::string& error,
  vtkDataSet* like = nullptr)
{
  try
  {
    vtkSmartPointer<vtkDataSet> data = file.Format->ReadInHost(path, log, error, like);
    if (data)
    {
      DropMismatchedArrays(data, log);
    }
    return data ? CheckTaken(data, "", nullptr, path, error, like) : nullptr;
  }
  catch (const std::bad_alloc&)
  {
    error = "cannot read '" + path +
      "': not enough memory for what the file claims to hold (is it damaged?)";
    return nullptr;
  }
}

// ReadInHost() on a thread of its own while whileReading runs here, as the
// isolated read's collector does; afterRead on that thread.
vtkSmartPointer<vtkDataSet> ReadInHostWhile(const CheckedFile& file,
  const std::string& path,
  std::ostream& log,
  std::string& error,
  const std::function<void()>& whileReading,
  const std::function<void(vtkDataSet*)>& loaded,
  vtkDataSet* like)
{
  vtkSmartPointer<vtkDataSet> mesh;
  const auto read = [&]()
  {
    mesh = ReadInHost(file, path, log, error, like);
    if (mesh)
    {
      loaded(mesh);
    }
  };
  if (whileReading)
  {
    RunAlongside(read, whileReading);
  }
  else
  {
    read();
  }
  return mesh;
}
} // namespace

vtkSmartPointer<vtkDataSet> LoadMesh(const std::string& path,
  std::ostream& log,
  std::string& error,
  const std::function<void()>& whileReading,
  const std::function<void(vtkDataSet*)>& afterRead,
  const std::function<void(vtkAlgorithm*)>& setup,
  vtkDataSet* like)
{
  const CheckedFile file = CheckFile(path, error);
  if (!file.Reader)
  {
    return nullptr;
  }
  log << "loading " << path << "\n";
  const auto start = std::chrono::steady_clock::now();
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
  // A file the loader reads itself runs no VTK reader code: no child.
  if (!setup && file.Format->ReadInHost && file.Format->CoversFile(path))
  {
    return ReadInHostWhile(file, path, log, error, whileReading, loaded, like);
  }
  const MeshReadFunction read = [&](std::ostream& childLog, std::string& childError)
  {
    if (setup)
    {
      setup(file.Reader);
    }
    return ReadChecked(file, path, childLog, childError);
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
  const CheckedFile file = CheckFile(path, error);
  if (file.Reader && file.Format->ReadInHost && file.Format->CoversFile(path))
  {
    return ReadInHost(file, path, log, error);
  }
  try
  {
    return file.Reader ? ReadChecked(file, path, log, error) : nullptr;
  }
  catch (const std::bad_alloc&)
  {
    error = "cannot read '" + path +
      "': not enough memory for what the file claims to hold (is it damaged?)";
    return nullptr;
  }
}

} // namespace orvi
