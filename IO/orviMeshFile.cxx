#include "orviMeshFile.h"

#include "orviFormatTable.h"
#include "orviMeshLoader.h"

#include "vtkDataSet.h"

#include <algorithm>
#include <utility>

namespace orvi
{

namespace
{
// A file that is one mesh: one part named after the file, one step.
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
    MeshPart part{ this->Path, nullptr };
    const auto use = [&](vtkDataSet* mesh)
    {
      part.Mesh = mesh;
      afterRead(part);
    };
    part.Mesh = LoadMesh(
      this->Path, log, error, whileReading, afterRead ? use : std::function<void(vtkDataSet*)>());
    if (!part.Mesh)
    {
      return false;
    }
    parts.push_back(std::move(part));
    return true;
  }
};
} // namespace

std::unique_ptr<MeshFile> OpenMeshFile(const std::string& path,
  std::ostream& log,
  std::string& error)
{
  const MeshFormat* format = FindMeshFormat(FileExtension(path));
  if (format && format->Open)
  {
    return format->Open(path, log, error);
  }
  return std::make_unique<SingleMeshFile>(path);
}

std::size_t StepAtTime(const std::vector<double>& times, double t)
{
  const auto after = std::upper_bound(times.begin(), times.end(), t);
  return after == times.begin() ? 0 : static_cast<std::size_t>(after - times.begin()) - 1;
}

} // namespace orvi
