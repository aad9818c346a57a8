#include "orviTimeSeries.h"

#include "orviReadMemory.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkDataArray.h"
#include "vtkDataSet.h"
#include "vtkPointData.h"
#include "vtkPointSet.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <sstream>
#include <thread>
#include <utility>

namespace orvi
{

namespace
{
// Whether two arrays hold the same values in the same type (the same array
// at once).
bool SameValues(vtkDataArray* a, vtkDataArray* b)
{
  if (a == b)
  {
    return true;
  }
  if (!a || !b || a->GetDataType() != b->GetDataType() ||
    a->GetNumberOfComponents() != b->GetNumberOfComponents() ||
    a->GetNumberOfTuples() != b->GetNumberOfTuples())
  {
    return false;
  }
  const auto bytes = static_cast<size_t>(a->GetNumberOfValues()) * a->GetDataTypeSize();
  void* pa = a->HasStandardMemoryLayout() ? a->GetVoidPointer(0) : nullptr;
  void* pb = b->HasStandardMemoryLayout() ? b->GetVoidPointer(0) : nullptr;
  return pa && pb && std::memcmp(pa, pb, bytes) == 0;
}

bool SameCells(vtkCellArray* a, vtkCellArray* b)
{
  if (a == b)
  {
    return true;
  }
  return a && b && SameValues(a->GetOffsetsArray(), b->GetOffsetsArray()) &&
    SameValues(a->GetConnectivityArray(), b->GetConnectivityArray());
}

// Every named array's range of a mesh, widened into `ranges`.
void WidenRanges(vtkDataSet* mesh,
  std::map<std::pair<int, std::string>, std::pair<double, double>>& ranges)
{
  for (int field = 0; field < 2; ++field)
  {
    vtkDataSetAttributes* data = field == 0
      ? static_cast<vtkDataSetAttributes*>(mesh->GetPointData())
      : static_cast<vtkDataSetAttributes*>(mesh->GetCellData());
    for (int i = 0; i < data->GetNumberOfArrays(); ++i)
    {
      vtkDataArray* array = data->GetArray(i);
      if (!array || !array->GetName() || array->GetNumberOfTuples() == 0)
      {
        continue;
      }
      double range[2];
      array->GetRange(range, array->GetNumberOfComponents() == 1 ? 0 : -1);
      const auto key = std::make_pair(field, std::string(array->GetName()));
      const auto found = ranges.find(key);
      if (found == ranges.end())
      {
        ranges[key] = { range[0], range[1] };
      }
      else
      {
        found->second.first = std::min(found->second.first, range[0]);
        found->second.second = std::max(found->second.second, range[1]);
      }
    }
  }
}

// `next` on the points and cells of `shown`, which it has the same of: its
// own copies are let go.
vtkSmartPointer<vtkDataSet> OnShape(vtkDataSet* next, vtkDataSet* shown)
{
  auto merged = vtkSmartPointer<vtkDataSet>::Take(next->NewInstance());
  merged->CopyStructure(shown);
  merged->GetPointData()->ShallowCopy(next->GetPointData());
  merged->GetCellData()->ShallowCopy(next->GetCellData());
  merged->GetFieldData()->ShallowCopy(next->GetFieldData());
  return merged;
}
} // namespace

//------------------------------------------------------------------------------
// A step being read on a thread of its own.
struct TimeSeries::Ahead
{
  std::size_t Step = 0;
  std::vector<NamedMesh> Meshes;
  std::map<std::pair<int, std::string>, std::pair<double, double>> Ranges;
  std::ostringstream Log;
  std::string Error;
  bool Read = false;
  std::atomic<bool> Done{ false };
  std::thread Thread;
};

TimeSeries::TimeSeries() = default;

TimeSeries::~TimeSeries()
{
  if (this->Next && this->Next->Thread.joinable())
  {
    this->Next->Thread.join();
  }
}

//------------------------------------------------------------------------------
bool TimeSeries::Open(const std::vector<std::string>& files, std::ostream& log, std::string& error)
{
  this->Files.clear();
  this->Times.clear();
  for (const std::string& file : files)
  {
    std::unique_ptr<MeshFile> opened = OpenMeshFile(file, log, error);
    if (!opened)
    {
      return false;
    }
    this->Add(std::move(opened));
  }
  return true;
}

void TimeSeries::Add(std::unique_ptr<MeshFile> file)
{
  this->Times.insert(this->Times.end(), file->GetTimes().begin(), file->GetTimes().end());
  std::sort(this->Times.begin(), this->Times.end());
  this->Times.erase(std::unique(this->Times.begin(), this->Times.end()), this->Times.end());
  this->Files.push_back(std::move(file));
}

double TimeSeries::GetTime(std::size_t step) const
{
  return step < this->Times.size() ? this->Times[step] : 0.0;
}

void TimeSeries::SetStart(int number, bool timeGiven, double t)
{
  this->StartNumber = number;
  this->StartTimeGiven = timeGiven;
  this->StartTime = t;
}

bool TimeSeries::StartStep(std::size_t& step, std::string& error) const
{
  const int number = this->StartNumber;
  step = this->StartTimeGiven ? StepAtTime(this->Times, this->StartTime) : 0;
  if (number > static_cast<int>(this->GetNumberOfSteps()))
  {
    error = "--step " + std::to_string(number) + " is beyond the last step (there are " +
      std::to_string(this->GetNumberOfSteps()) + ")";
    return false;
  }
  if (number > 0)
  {
    step = static_cast<std::size_t>(number - 1);
  }
  return true;
}

std::string TimeSeries::Describe(std::size_t step) const
{
  std::ostringstream text;
  text << "step " << step + 1 << " of " << this->GetNumberOfSteps();
  if (this->HasTime())
  {
    text << ", t = " << this->GetTime(step);
  }
  return text.str();
}

//------------------------------------------------------------------------------
bool TimeSeries::ReadFiles(std::size_t step,
  std::vector<NamedMesh>& meshes,
  std::ostream& log,
  std::string& error,
  const std::function<void()>& whileReading,
  const std::function<void(NamedMesh&)>& afterRead,
  const std::vector<NamedMesh>& shown)
{
  meshes.clear();
  std::vector<MeshPart> shownParts;
  for (const NamedMesh& mesh : shown)
  {
    shownParts.push_back({ mesh.Name, mesh.Mesh });
  }
  for (const auto& file : this->Files)
  {
    // Each file at its last step at or before the step's time.
    const std::size_t own = this->HasTime() ? StepAtTime(file->GetTimes(), this->GetTime(step)) : 0;
    std::vector<MeshPart> parts;
    // The parts afterRead has prepared, by the mesh read: they come in the
    // order their reads end, which need not be the file's.
    std::map<vtkDataSet*, NamedMesh> prepared;
    const auto prepare = [&](MeshPart& part)
    {
      NamedMesh& named = prepared[part.Mesh] =
        NamedMesh{ part.Name, part.Mesh, nullptr, part.Name != file->GetPath() };
      afterRead(named);
    };
    file->SetShownParts(shownParts);
    const bool read = file->ReadStep(own,
      parts,
      log,
      error,
      meshes.empty() ? whileReading : std::function<void()>(),
      afterRead ? prepare : std::function<void(MeshPart&)>());
    file->SetShownParts({});
    if (!read)
    {
      return false;
    }
    for (MeshPart& part : parts)
    {
      const auto done = prepared.find(part.Mesh);
      meshes.push_back(done != prepared.end()
          ? std::move(done->second)
          : NamedMesh{ part.Name, std::move(part.Mesh), nullptr, part.Name != file->GetPath() });
    }
  }
  return true;
}

bool TimeSeries::Read(std::size_t step,
  std::vector<NamedMesh>& meshes,
  std::ostream& log,
  std::string& error,
  const std::function<void()>& whileReading,
  const std::function<void(NamedMesh&)>& afterRead,
  const std::vector<NamedMesh>& shown)
{
  if (this->Next && this->Next->Step == step)
  {
    this->TakeAhead();
    log << this->Next->Log.str();
    if (this->Next->Read)
    {
      meshes = std::move(this->Next->Meshes);
      for (const auto& [key, range] : this->Next->Ranges)
      {
        this->Ranges[key] = range;
      }
      this->Next.reset();
      this->Step = step;
      return true;
    }
    // A read ahead that failed is read again here: what stopped it may
    // have been the moment's (a child stopped as silent while the machine
    // was busy), and a step that cannot be read says why all the same.
  }
  // A step read ahead that is not the one asked for is let go.
  this->TakeAhead();
  this->Next.reset();
  if (!this->ReadFiles(step, meshes, log, error, whileReading, afterRead, shown))
  {
    return false;
  }
  this->AddRanges(meshes);
  this->Step = step;
  return true;
}

void TimeSeries::AddRanges(const std::vector<NamedMesh>& meshes)
{
  for (const NamedMesh& mesh : meshes)
  {
    WidenRanges(mesh.Mesh, this->Ranges);
  }
}

void TimeSeries::TakeAhead()
{
  if (this->Next && this->Next->Thread.joinable())
  {
    this->Next->Thread.join();
  }
}

//------------------------------------------------------------------------------
void TimeSeries::ReadAhead(std::size_t step,
  const std::vector<NamedMesh>& shown,
  const std::function<void(NamedMesh&, std::ostream&)>& prepare)
{
  // AddressSanitizer's allocator cannot be forked while another thread
  // allocates (the child waits for its lock for ever, see ReadLeaves()):
  // sanitized, each step is read when it is asked for.
  if (step >= this->GetNumberOfSteps() || (this->Next && this->Next->Step == step) ||
    isolated::AddressSanitized)
  {
    return;
  }
  this->TakeAhead();
  this->Next = std::make_unique<Ahead>();
  Ahead* next = this->Next.get();
  next->Step = step;
  next->Ranges = this->Ranges;
  next->Thread = std::thread(
    [this, next, step, shown, prepare]()
    {
      // A part of the shape shown takes the shown part's points and cells
      // and keeps its surface to be given the new arrays; another part is
      // prepared here, off the host's thread.
      const auto onShape = [&](NamedMesh& mesh)
      {
        for (const NamedMesh& old : shown)
        {
          if (old.Name == mesh.Name && SameShape(mesh.Mesh, old.Mesh))
          {
            mesh.Mesh = OnShape(mesh.Mesh, old.Mesh);
            return;
          }
        }
        if (prepare)
        {
          prepare(mesh, next->Log);
        }
      };
      next->Read = this->ReadFiles(step, next->Meshes, next->Log, next->Error, {}, onShape, shown);
      for (const NamedMesh& mesh : next->Meshes)
      {
        WidenRanges(mesh.Mesh, next->Ranges);
      }
      next->Done = true;
    });
}

bool TimeSeries::IsReadAhead(std::size_t step) const
{
  return this->Next && this->Next->Step == step && this->Next->Done;
}

bool TimeSeries::GetRange(const std::string& name, int field, double range[2]) const
{
  bool found = false;
  const auto known = this->Ranges.find({ field, name });
  if (known != this->Ranges.end())
  {
    range[0] = known->second.first;
    range[1] = known->second.second;
    found = true;
  }
  for (const auto& file : this->Files)
  {
    double told[2];
    if (file->GetRangeOverSteps(name, field, told))
    {
      range[0] = found ? std::min(range[0], told[0]) : told[0];
      range[1] = found ? std::max(range[1], told[1]) : told[1];
      found = true;
    }
  }
  return found;
}

//------------------------------------------------------------------------------
bool TimeSeries::SameShape(vtkDataSet* a, vtkDataSet* b)
{
  if (!a || !b || a->GetDataObjectType() != b->GetDataObjectType() ||
    a->GetNumberOfPoints() != b->GetNumberOfPoints() ||
    a->GetNumberOfCells() != b->GetNumberOfCells())
  {
    return false;
  }
  auto* pa = vtkPointSet::SafeDownCast(a);
  auto* pb = vtkPointSet::SafeDownCast(b);
  if (!pa || !pb || !pa->GetPoints() || !pb->GetPoints() ||
    !SameValues(pa->GetPoints()->GetData(), pb->GetPoints()->GetData()))
  {
    return false;
  }
  if (auto* ua = vtkUnstructuredGrid::SafeDownCast(a))
  {
    auto* ub = vtkUnstructuredGrid::SafeDownCast(b);
    return !ua->GetFaces() && !ub->GetFaces() &&
      SameValues(ua->GetCellTypesArray(), ub->GetCellTypesArray()) &&
      SameCells(ua->GetCells(), ub->GetCells());
  }
  if (auto* polyA = vtkPolyData::SafeDownCast(a))
  {
    auto* polyB = vtkPolyData::SafeDownCast(b);
    return SameCells(polyA->GetVerts(), polyB->GetVerts()) &&
      SameCells(polyA->GetLines(), polyB->GetLines()) &&
      SameCells(polyA->GetPolys(), polyB->GetPolys()) &&
      SameCells(polyA->GetStrips(), polyB->GetStrips());
  }
  return false;
}

} // namespace orvi
