#include "orviMeshFile.h"

#include "orviMeshLoader.h"
#include "orviMeshParts.h"

#include "vtkDataSet.h"

#include <algorithm>
#include <utility>

namespace orvi
{

namespace
{
// A file that is one mesh, one step: one part named after the file, or the
// parts its reader marked (see orviMeshParts.h).
class SingleMeshFile : public MeshFile
{
public:
  explicit SingleMeshFile(std::string path)
    : MeshFile(std::move(path))
  {
  }

  bool ReadStep(std::size_t step,
    std::vector<MeshPart>& parts,
    std::ostream& log,
    std::string& error,
    const std::function<void()>& whileReading,
    const std::function<void(MeshPart&)>& afterRead) override
  {
    parts.clear();
    if (step != 0)
    {
      error = "cannot read '" + this->Path + "': it has no step " + std::to_string(step);
      return false;
    }
    // A mesh of several parts (see orviMeshParts.h) is split as soon as it
    // is here; afterRead runs on each part.
    std::string splitError;
    const auto split = [&](vtkDataSet* mesh)
    {
      if (SplitMeshParts(mesh, this->Path, parts, splitError) && afterRead)
      {
        std::for_each(parts.begin(), parts.end(), afterRead);
      }
    };
    vtkSmartPointer<vtkDataSet> mesh = LoadMesh(this->Path, log, error, whileReading, split);
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
};
} // namespace

std::unique_ptr<MeshFile> OpenMeshFile(const std::string& path, std::ostream&, std::string&)
{
  return std::make_unique<SingleMeshFile>(path);
}

std::size_t StepAtTime(const std::vector<double>& times, double t)
{
  const auto after = std::upper_bound(times.begin(), times.end(), t);
  return after == times.begin() ? 0 : static_cast<std::size_t>(after - times.begin()) - 1;
}

} // namespace orvi
