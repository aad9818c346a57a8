// Exodus II files: element blocks with their names, and time steps, read
// by VTK's vtkExodusIIReader in the loader's child process, a step's blocks
// at once, marked as parts the host splits (orviMeshParts.h). The file's
// times are read by a child of their own too: the reader parses the whole
// header (netCDF or HDF5) to say them.
#include "orviFormatChecks.h"
#include "orviIsolatedRead.h"
#include "orviMeshFile.h"
#include "orviMeshLoader.h"
#include "orviMeshParts.h"
#include "orviReadMessages.h"

#include "vtkAppendFilter.h"
#include "vtkCellData.h"
#include "vtkCompositeDataIterator.h"
#include "vtkCompositeDataSet.h"
#include "vtkDoubleArray.h"
#include "vtkExodusIIReader.h"
#include "vtkFieldData.h"
#include "vtkInformation.h"
#include "vtkIntArray.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkStreamingDemandDrivenPipeline.h"
#include "vtkUnstructuredGrid.h"

#include "vtk_netcdf.h"

#include <vtksys/SystemTools.hxx>

#include <array>
#include <cstring>
#include <fstream>

namespace orvi
{

namespace
{
// A netCDF file cut short: its variables need more bytes than the file
// holds. netCDF reads what is missing as fill values, which the reader would
// show as a mesh. (HDF5 files, netCDF-4's, are checked by HDF5 itself.)
bool CheckNetCDFLength(const std::string& path, std::string& error)
{
  int file = -1, format = 0, variables = 0;
  if (nc_open(path.c_str(), NC_NOWRITE, &file) != NC_NOERR)
  {
    return Refuse(path, "netCDF cannot open it", error);
  }
  nc_inq_format(file, &format);
  nc_inq_nvars(file, &variables);
  double needed = 0.0;
  for (int v = 0; v < variables && format != NC_FORMAT_NETCDF4; ++v)
  {
    nc_type type = NC_NAT;
    int rank = 0;
    std::array<int, NC_MAX_VAR_DIMS> dimensions{};
    std::size_t size = 0;
    nc_inq_var(file, v, nullptr, &type, &rank, dimensions.data(), nullptr);
    nc_inq_type(file, type, nullptr, &size);
    double bytes = static_cast<double>(size);
    for (int d = 0; d < rank; ++d)
    {
      std::size_t length = 0;
      nc_inq_dimlen(file, dimensions[d], &length);
      bytes *= static_cast<double>(length);
    }
    needed += bytes;
  }
  nc_close(file);
  const auto held = static_cast<double>(vtksys::SystemTools::FileLength(path));
  if (needed > held)
  {
    return Refuse(path,
      "its variables need " + std::to_string(static_cast<long long>(needed)) +
        " bytes, more than the file's " + std::to_string(static_cast<long long>(held)) +
        " (is it cut short?)",
      error);
  }
  return true;
}

// The file's times as the reader says them, in the field data ("times") of
// a data set of no points; an error when it has no element block.
vtkSmartPointer<vtkDataSet> ReadTimes(const std::string& path, std::string& error)
{
  if (!CheckNetCDFLength(path, error))
  {
    return nullptr;
  }
  CatchReadMessages messages;
  vtkNew<vtkExodusIIReader> reader;
  reader->SetFileName(path.c_str());
  reader->UpdateInformation();
  if (messages.Messages->Failed() || reader->GetNumberOfElementBlockArrays() == 0)
  {
    const std::string why = messages.Messages->Why();
    Refuse(path, why.empty() ? "it has no element block" : why, error);
    return nullptr;
  }
  vtkNew<vtkDoubleArray> times;
  times->SetName("times");
  vtkInformation* info = reader->GetOutputInformation(0);
  vtkInformationDoubleVectorKey* steps = vtkStreamingDemandDrivenPipeline::TIME_STEPS();
  for (int i = 0; info->Has(steps) && i < info->Length(steps); ++i)
  {
    times->InsertNextValue(info->Get(steps, i));
  }
  auto contents = vtkSmartPointer<vtkPolyData>::New();
  contents->SetPoints(vtkNew<vtkPoints>());
  contents->GetFieldData()->AddArray(times);
  return contents;
}

// The reader at a step: the step, and its time asked of the pipeline (the
// reader takes the time of a request over its own step when one is there).
void SetStep(vtkAlgorithm* algorithm, const std::vector<double>& times, std::size_t step)
{
  auto* reader = vtkExodusIIReader::SafeDownCast(algorithm);
  reader->SetTimeStep(static_cast<int>(step));
  if (step < times.size())
  {
    reader->GetOutputInformation(0)->Set(
      vtkStreamingDemandDrivenPipeline::UPDATE_TIME_STEP(), times[step]);
  }
}
} // namespace

//------------------------------------------------------------------------------
bool CheckExodusSignature(const std::string& path, std::string& error)
{
  // netCDF's classic, 64-bit offset and 64-bit data formats, or HDF5.
  char start[8] = {};
  std::ifstream(path, std::ios::binary).read(start, sizeof(start));
  if (std::memcmp(start, "CDF", 3) == 0 && (start[3] == 1 || start[3] == 2 || start[3] == 5))
  {
    return true;
  }
  if (std::memcmp(start, "\x89HDF\r\n\x1a\n", 8) == 0)
  {
    return true;
  }
  return Refuse(path, "it is neither a netCDF nor an HDF5 file", error);
}

bool CheckExodusHeader(vtkAlgorithm* algorithm, const std::string& path, std::string& error)
{
  if (!CheckNetCDFLength(path, error))
  {
    return false;
  }
  // Results are read as well as the mesh: every nodal and element variable.
  // The points as the mesh has them at every step: a step of the same mesh
  // then swaps only its arrays, and --warp deforms by whichever vector is
  // chosen (the reader would move them by its "displacement" arrays).
  auto* reader = vtkExodusIIReader::SafeDownCast(algorithm);
  reader->ApplyDisplacementsOff();
  reader->UpdateInformation();
  reader->SetAllArrayStatus(vtkExodusIIReader::NODAL, 1);
  reader->SetAllArrayStatus(vtkExodusIIReader::ELEM_BLOCK, 1);
  return true;
}

vtkSmartPointer<vtkDataSet> AppendExodusBlocks(vtkAlgorithm* reader)
{
  auto* blocks = vtkCompositeDataSet::SafeDownCast(reader->GetOutputDataObject(0));
  if (!blocks)
  {
    return nullptr;
  }
  // Each block's cells marked with its index among the parts' names.
  vtkNew<vtkAppendFilter> append;
  std::vector<std::string> names;
  vtkSmartPointer<vtkCompositeDataIterator> leaf;
  leaf.TakeReference(blocks->NewIterator());
  for (leaf->InitTraversal(); !leaf->IsDoneWithTraversal(); leaf->GoToNextItem())
  {
    auto* block = vtkDataSet::SafeDownCast(leaf->GetCurrentDataObject());
    const char* name = leaf->GetCurrentMetaData()->Get(vtkCompositeDataSet::NAME());
    vtkNew<vtkIntArray> part;
    part->SetName(PartIdArrayName());
    part->SetNumberOfValues(block ? block->GetNumberOfCells() : 0);
    part->FillValue(static_cast<int>(names.size()));
    names.emplace_back(name ? name : "block " + std::to_string(names.size() + 1));
    auto marked = vtkSmartPointer<vtkDataSet>::Take(block ? block->NewInstance() : nullptr);
    if (marked)
    {
      marked->ShallowCopy(block);
      marked->GetCellData()->AddArray(part);
      append->AddInputData(marked);
    }
  }
  if (append->GetNumberOfInputConnections(0) == 0)
  {
    return nullptr;
  }
  append->Update();
  vtkSmartPointer<vtkDataSet> mesh = append->GetOutput();
  SetPartNames(mesh, names);
  return mesh;
}

std::unique_ptr<MeshFile> OpenExodus(const std::string& path, std::ostream& log, std::string& error)
{
  if (!IsReadableFile(path, error) || !CheckExodusSignature(path, error))
  {
    return nullptr;
  }
  const MeshReadFunction read = [&path](std::ostream&, std::string& childError)
  { return ReadTimes(path, childError); };
  vtkSmartPointer<vtkDataSet> contents = ReadIsolated(read,
    LimitsForFile(static_cast<double>(vtksys::SystemTools::FileLength(path))),
    "cannot read '" + path + "'",
    log,
    error);
  auto* times =
    contents ? vtkDoubleArray::SafeDownCast(contents->GetFieldData()->GetArray("times")) : nullptr;
  if (!times)
  {
    error = contents ? "cannot read '" + path + "': its times did not come over" : error;
    return nullptr;
  }
  std::vector<double> steps(times->Begin(), times->End());
  return OpenSingleMeshFile(
    path, steps, [steps](vtkAlgorithm* reader, std::size_t step) { SetStep(reader, steps, step); });
}

} // namespace orvi
