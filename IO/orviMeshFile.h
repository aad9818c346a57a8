// What a host opens: a file's named parts at one of its time steps.
//
// A mesh file has one step without a time and is one part named after the
// file, or the parts its reader marked in it (a gmsh file's physical
// groups, see orviMeshParts.h). A collection (a time series, a multiblock
// file, a file with element blocks) has several parts, several steps, or
// both; every mesh file it names
// is read as a single file is, through LoadMesh()'s checks and isolated read.
// A host opens each file once with OpenMeshFile() and reads the step it shows
// with ReadStep(); stepping through time reads another step of the same file.
#ifndef orviMeshFile_h
#define orviMeshFile_h

#include "vtkSmartPointer.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class vtkAlgorithm;
class vtkDataSet;

namespace orvi
{

/// A named piece of a file's mesh: a block of a multiblock file, an element
/// block of an Exodus file, a physical group of a gmsh file, or the whole
/// mesh of a file that has no parts (named after the file).
struct MeshPart
{
  std::string Name;
  vtkSmartPointer<vtkDataSet> Mesh;
};

/// A file opened for reading its steps. ReadStep() may run on a thread other
/// than the host's (reading the next step ahead), one call at a time.
class MeshFile
{
public:
  virtual ~MeshFile() = default;

  const std::string& GetPath() const { return this->Path; }

  /// Each step's time, ascending; empty when the file has no time.
  const std::vector<double>& GetTimes() const { return this->Times; }

  /// The number of steps, at least 1.
  std::size_t GetNumberOfSteps() const { return this->Times.empty() ? 1 : this->Times.size(); }

  /// Reads the parts at step (0 for a file without time) into parts, in the
  /// file's order, printing progress to log. whileReading, when given, runs
  /// while the first mesh file is read; afterRead on each part as soon as it
  /// is here. Returns false with error set to one line naming the file that
  /// could not be read (and the collection that named it) otherwise.
  virtual bool ReadStep(std::size_t step,
    std::vector<MeshPart>& parts,
    std::ostream& log,
    std::string& error,
    const std::function<void()>& whileReading = {},
    const std::function<void(MeshPart&)>& afterRead = {}) = 0;

  /// The range of array `name` (field 0 the point data, 1 the cell data;
  /// magnitudes for vectors) over every step, as far as the file tells it
  /// without reading its meshes (VTK's XML files write each array's range
  /// in their headers). False when it cannot tell: the host then widens the
  /// range by each step it reads.
  virtual bool GetRangeOverSteps(const std::string& name, int field, double range[2]) const
  {
    (void)name;
    (void)field;
    (void)range;
    return false;
  }

  /// The parts on screen (a step of this file read before): a mesh file the
  /// next ReadStep() reads that holds exactly the points and cells of the
  /// shown part of its name stands on that part's (see LoadMesh()'s like).
  /// Set for one read and cleared after it, so that a shown mesh is not held
  /// here once it is off the screen.
  void SetShownParts(std::vector<MeshPart> parts) { this->Shown = std::move(parts); }

protected:
  /// Whether the file has step; false with error set (and parts cleared) when
  /// it has not.
  bool StartStep(std::size_t step, std::vector<MeshPart>& parts, std::string& error) const;

  MeshFile(std::string path, std::vector<double> times = {})
    : Path(std::move(path))
    , Times(std::move(times))
  {
  }

  /// The mesh of the shown part named name, or null.
  vtkDataSet* ShownPart(const std::string& name) const;

  std::string Path;
  std::vector<double> Times;
  std::vector<MeshPart> Shown;
};

/// Opens path for reading: what the file says about its steps and parts is
/// read, no mesh yet. Null with error set to one line when it cannot be.
std::unique_ptr<MeshFile> OpenMeshFile(const std::string& path,
  std::ostream& log,
  std::string& error);

/// How the reader of a file of steps reads one of them (see LoadMesh()'s
/// setup): the reader, the step.
using StepSetup = std::function<void(vtkAlgorithm*, std::size_t)>;

/// A file that is one mesh at each step, times naming them (one step
/// without): read by LoadMesh(), setup telling its reader the step, and split
/// into the parts its reader marked (see orviMeshParts.h), or one part named
/// after the file.
std::unique_ptr<MeshFile> OpenSingleMeshFile(const std::string& path,
  std::vector<double> times = {},
  StepSetup setup = {});

/// The step of the last time at or before t in times (ascending); the first
/// step when t is before them all or times is empty.
std::size_t StepAtTime(const std::vector<double>& times, double t);

} // namespace orvi

#endif
