#include "orviMeshFile.h"

#include "orviFormatTable.h"
#include "orviMeshLoader.h"
#include "orviMeshParts.h"

#include "vtkDataSet.h"

#include <algorithm>
#include <utility>

namespace orvi
{

namespace
{
// A file that is one mesh at each of its steps: one part named after the
// file, or the parts its reader marked (see orviMeshParts.h).
class SingleMeshFile : public MeshFile
{
public:
  SingleMeshFile(std::string path, std::vector<double> times, StepSetup setup)
    : MeshFile(std::move(path), std::move(times))
    , Setup(std::move(setup))
  {
  }

  bool ReadStep(std::size_t step,
    std::vector<MeshPart>& parts,
    std::ostream& log,
    std::string& error,
    const std::function<void()>& whileReading,
    const std::function<void(MeshPart&)>& afterRead) override
  {
    if (!this->StartStep(step, parts, error))
    {
      return false;
    }
    // A mesh of several parts (see orviMeshParts.h) is split as soon as it
    // is here, its largest part in the arrays the read brought; afterRead
    // runs on each part.
    std::string splitError;
    const auto split = [&](vtkDataSet* mesh)
    {
      if (SplitMeshParts(mesh, this->Path, parts, splitError, true) && afterRead)
      {
        std::for_each(parts.begin(), parts.end(), afterRead);
      }
    };
    const auto setup = [&](vtkAlgorithm* reader) { this->Setup(reader, step); };
    vtkSmartPointer<vtkDataSet> mesh = LoadMesh(this->Path,
      log,
      error,
      whileReading,
      split,
      this->Setup ? setup : std::function<void(vtkAlgorithm*)>());
    if (mesh && !splitError.empty())
    {
      error = splitError;
    }
    if (!mesh || !splitError.empty())
    {
      parts.clear();
      return false;
    }
    return true;
  }

private:
  StepSetup Setup;
};
} // namespace

bool MeshFile::StartStep(std::size_t step, std::vector<MeshPart>& parts, std::string& error) const
{
  parts.clear();
  if (step >= this->GetNumberOfSteps())
  {
    error = "cannot read '" + this->Path + "': it has no step " + std::to_string(step);
    return false;
  }
  return true;
}

vtkDataSet* MeshFile::ShownPart(const std::string& name) const
{
  const auto shown = std::find_if(this->Shown.begin(),
    this->Shown.end(),
    [&name](const MeshPart& part) { return part.Name == name; });
  return shown != this->Shown.end() ? shown->Mesh.Get() : nullptr;
}

std::unique_ptr<MeshFile> OpenSingleMeshFile(const std::string& path,
  std::vector<double> times,
  StepSetup setup)
{
  return std::make_unique<SingleMeshFile>(path, std::move(times), std::move(setup));
}

std::unique_ptr<MeshFile> OpenMeshFile(const std::string& path,
  std::ostream& log,
  std::string& error)
{
  const MeshFormat* format = FindMeshFormat(FileExtension(path));
  if (format && format->Open)
  {
    return format->Open(path, log, error);
  }
  return OpenSingleMeshFile(path);
}

std::size_t StepAtTime(const std::vector<double>& times, double t)
{
  const auto after = std::upper_bound(times.begin(), times.end(), t);
  return after == times.begin() ? 0 : static_cast<std::size_t>(after - times.begin()) - 1;
}

} // namespace orvi
