// Exodus II files: element blocks with their names, and time steps, read
// by VTK's vtkExodusIIReader in the loader's child process. What the file
// says about its blocks and steps is read by a child of its own too: the
// reader parses the whole header (netCDF or HDF5) to say it.
#include "orviFormatChecks.h"
#include "orviIsolatedRead.h"
#include "orviMeshCollections.h"
#include "orviMeshLoader.h"
#include "orviReadMessages.h"

#include "vtkAppendFilter.h"
#include "vtkCompositeDataIterator.h"
#include "vtkCompositeDataSet.h"
#include "vtkDoubleArray.h"
#include "vtkExodusIIReader.h"
#include "vtkFieldData.h"
#include "vtkImageData.h"
#include "vtkInformation.h"
#include "vtkStreamingDemandDrivenPipeline.h"
#include "vtkStringArray.h"
#include "vtkUnstructuredGrid.h"

#include <vtksys/SystemTools.hxx>

#include <cstring>
#include <fstream>

namespace orvi
{

namespace
{
// The file's element blocks and times, as the reader says them: a data set
// of one point whose field data holds them ("names", "times").
vtkSmartPointer<vtkDataSet> ReadContents(const std::string& path, std::string& error)
{
  CatchReadMessages messages;
  vtkNew<vtkExodusIIReader> reader;
  reader->SetFileName(path.c_str());
  reader->UpdateInformation();
  if (messages.Messages->Failed())
  {
    error =
      "cannot read '" + path + "': not a valid Exodus file (" + messages.Messages->Why() + ")";
    return nullptr;
  }
  vtkNew<vtkStringArray> names;
  names->SetName("names");
  for (int i = 0; i < reader->GetNumberOfElementBlockArrays(); ++i)
  {
    names->InsertNextValue(reader->GetElementBlockArrayName(i));
  }
  vtkNew<vtkDoubleArray> times;
  times->SetName("times");
  vtkInformation* info = reader->GetOutputInformation(0);
  vtkInformationDoubleVectorKey* steps = vtkStreamingDemandDrivenPipeline::TIME_STEPS();
  for (int i = 0; info->Has(steps) && i < info->Length(steps); ++i)
  {
    times->InsertNextValue(info->Get(steps, i));
  }
  auto contents = vtkSmartPointer<vtkImageData>::New();
  contents->SetDimensions(1, 1, 1);
  contents->GetFieldData()->AddArray(names);
  contents->GetFieldData()->AddArray(times);
  return contents;
}

// Each step's leaves: every element block of the same file, read alone at
// that step.
std::vector<std::vector<MeshLeaf>> BlocksAtSteps(const std::string& path,
  vtkStringArray* names,
  std::size_t steps)
{
  std::vector<std::vector<MeshLeaf>> leaves(steps);
  for (std::size_t step = 0; step < steps; ++step)
  {
    for (vtkIdType block = 0; block < names->GetNumberOfValues(); ++block)
    {
      const std::string name = names->GetValue(block);
      const auto setup = [block, step](vtkAlgorithm* algorithm)
      {
        auto* reader = vtkExodusIIReader::SafeDownCast(algorithm);
        reader->UpdateInformation();
        for (int i = 0; i < reader->GetNumberOfElementBlockArrays(); ++i)
        {
          reader->SetObjectStatus(vtkExodusIIReader::ELEM_BLOCK, i, i == block ? 1 : 0);
        }
        reader->SetTimeStep(static_cast<int>(step));
      };
      leaves[step].push_back({ "element block '" + name + "' at step " + std::to_string(step + 1) +
          " of " + std::to_string(steps),
        name,
        path,
        setup });
    }
  }
  return leaves;
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

bool CheckExodusHeader(vtkAlgorithm* algorithm, const std::string&, std::string&)
{
  // Results are read as well as the mesh: every nodal and element variable.
  auto* reader = vtkExodusIIReader::SafeDownCast(algorithm);
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
  vtkNew<vtkAppendFilter> append;
  vtkSmartPointer<vtkCompositeDataIterator> leaf;
  leaf.TakeReference(blocks->NewIterator());
  for (leaf->InitTraversal(); !leaf->IsDoneWithTraversal(); leaf->GoToNextItem())
  {
    append->AddInputDataObject(leaf->GetCurrentDataObject());
  }
  if (append->GetNumberOfInputConnections(0) == 0)
  {
    return nullptr;
  }
  append->Update();
  return append->GetOutput();
}

std::unique_ptr<MeshFile> OpenExodus(const std::string& path, std::ostream& log, std::string& error)
{
  if (!IsReadableFile(path, error) || !CheckExodusSignature(path, error))
  {
    return nullptr;
  }
  const MeshReadFunction read = [&path](std::ostream&, std::string& childError)
  { return ReadContents(path, childError); };
  vtkSmartPointer<vtkDataSet> contents = ReadIsolated(read,
    LimitsForFile(static_cast<double>(vtksys::SystemTools::FileLength(path))),
    "cannot read '" + path + "'",
    log,
    error);
  auto* names = contents
    ? vtkStringArray::SafeDownCast(contents->GetFieldData()->GetAbstractArray("names"))
    : nullptr;
  auto* times =
    contents ? vtkDoubleArray::SafeDownCast(contents->GetFieldData()->GetArray("times")) : nullptr;
  if (contents && (!names || !times || names->GetNumberOfValues() == 0))
  {
    error = "cannot read '" + path + "': it has no element block";
  }
  if (!names || !times || names->GetNumberOfValues() == 0)
  {
    return nullptr;
  }
  std::vector<double> steps(times->Begin(), times->End());
  const std::size_t count = steps.empty() ? 1 : steps.size();
  return std::make_unique<CollectionFile>(
    path, std::move(steps), BlocksAtSteps(path, names, count));
}

} // namespace orvi
