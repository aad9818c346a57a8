// The files a host shows, kept open to step through their time: one time
// line over them all, the parts each file has at a step, and the next step
// read on a second thread while the current one is shown.
//
// The time line is every time any file has, ascending (one step without a
// time when none has any); at each step every file shows its last step at or
// before that time. Open() opens the files (what they say about their steps
// and parts, no mesh), Read() reads a step's parts (the one read ahead, if it
// is that step, is handed over without a second read), ReadAhead() starts
// reading another step on a thread of its own. A step read ahead whose
// points and cells are those of the step shown takes them over (its own
// copies are dropped on the reading thread), so that two steps in memory cost
// one mesh and two sets of arrays. The ranges of every array seen so far, by
// step read, give the legend one range over all steps without reading any
// step twice: what a file tells of its steps' ranges without reading them
// (GetRangeOverSteps()), widened by each step once it has been read.
//
// A host makes one, hands it to LoadMeshes() (which opens the files and
// reads the first step to show) and then to its Viewer, which steps through
// it.
#ifndef orviTimeSeries_h
#define orviTimeSeries_h

#include "orviMeshFile.h"
#include "orviMeshes.h"

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace orvi
{

class TimeSeries
{
public:
  TimeSeries();
  /// Waits for a step being read ahead.
  ~TimeSeries();
  TimeSeries(const TimeSeries&) = delete;
  TimeSeries& operator=(const TimeSeries&) = delete;

  /// Opens each file (no mesh read yet). False with the error of the first
  /// that cannot be opened.
  bool Open(const std::vector<std::string>& files, std::ostream& log, std::string& error);
  /// A file opened already, after those there are (its times joining the
  /// time line).
  void Add(std::unique_ptr<MeshFile> file);

  /// The steps of the time line, at least 1, and the time of one (0 when no
  /// file has time).
  std::size_t GetNumberOfSteps() const { return this->Times.empty() ? 1 : this->Times.size(); }
  bool HasTime() const { return !this->Times.empty(); }
  double GetTime(std::size_t step) const;
  /// Which step to show first (--step, --time): step `number` (counted from
  /// 1) when positive, else the last at or before time `t` when timeGiven,
  /// else the first.
  void SetStart(int number, bool timeGiven, double t);
  /// That step; false with an error naming the steps there are for a
  /// number beyond them.
  bool StartStep(std::size_t& step, std::string& error) const;
  /// The step Read() read last.
  std::size_t GetStep() const { return this->Step; }
  /// "step k of N, t = T" (without ", t = T" when no file has time).
  std::string Describe(std::size_t step) const;

  /// The parts of every file at `step`, in the files' order, prepared by
  /// afterRead (as LoadMeshes() does). whileReading runs while the first
  /// file is read. A mesh file holding exactly the points and cells of the
  /// part of its name in `shown` (the parts on screen) stands on that
  /// part's, only its arrays read (see LoadMesh()'s like). False with the
  /// error naming what could not be read.
  bool Read(std::size_t step,
    std::vector<NamedMesh>& meshes,
    std::ostream& log,
    std::string& error,
    const std::function<void()>& whileReading = {},
    const std::function<void(NamedMesh&)>& afterRead = {},
    const std::vector<NamedMesh>& shown = {});

  /// Starts reading `step` on a thread of its own (nothing when it is being
  /// read or was read ahead already), its parts prepared by `prepare`.
  /// `shown` are the parts on screen, whose points and cells a part of the
  /// same shape stands on (its mesh not read, as for Read()).
  void ReadAhead(std::size_t step,
    const std::vector<NamedMesh>& shown,
    const std::function<void(NamedMesh&, std::ostream&)>& prepare);
  /// Whether `step` was read ahead and is ready (its thread done).
  bool IsReadAhead(std::size_t step) const;

  /// The range of an array (field 0 points, 1 cells; magnitudes for
  /// vectors) over the steps read so far and what the files tell of the
  /// others; false when no step had it.
  bool GetRange(const std::string& name, int field, double range[2]) const;

  /// Whether a mesh has the same points and cells as another (the same
  /// arrays, or equal values).
  static bool SameShape(vtkDataSet* a, vtkDataSet* b);

private:
  struct Ahead;
  bool ReadFiles(std::size_t step,
    std::vector<NamedMesh>& meshes,
    std::ostream& log,
    std::string& error,
    const std::function<void()>& whileReading,
    const std::function<void(NamedMesh&)>& afterRead,
    const std::vector<NamedMesh>& shown);
  void TakeAhead();
  void AddRanges(const std::vector<NamedMesh>& meshes);

  std::vector<std::unique_ptr<MeshFile>> Files;
  std::vector<double> Times; // the union of the files' times, ascending
  std::map<std::pair<int, std::string>, std::pair<double, double>> Ranges; // by field, name
  std::unique_ptr<Ahead> Next;
  std::size_t Step = 0;
  int StartNumber = 0;
  bool StartTimeGiven = false;
  double StartTime = 0.0;
};

} // namespace orvi

#endif
