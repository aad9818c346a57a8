// Reading a mesh in a child process. VTK's readers trust what a file holds:
// a damaged count or index can crash them, make them spin or allocate
// without end, and no check made in front of them can be complete for
// every format (compressed XML blocks, legacy keywords, PLY lists). The
// child runs the read and every check of the mesh; its lines of progress
// come back through a pipe, the mesh's description through an anonymous
// memory file, and its arrays' values are copied straight out of the
// child's memory (through a second pipe where the system does not allow
// that) into the parent's arrays, faulted in while the child reads. A child that crashes,
// exceeds its time or memory, or fails any other way leaves one message and
// nothing else behind: the parent's state is untouched.
#ifndef orviIsolatedRead_h
#define orviIsolatedRead_h

#include "vtkSmartPointer.h"

#include <functional>
#include <ostream>
#include <string>

class vtkDataSet;

namespace orvi
{

/// A read run in the child: returns the mesh, or null with error set.
using MeshReadFunction =
  std::function<vtkSmartPointer<vtkDataSet>(std::ostream& log, std::string& error)>;

/// What the child may use: seconds of wall-clock time and bytes of address
/// space (0: no limit of its own, as under AddressSanitizer, whose shadow
/// memory needs far more address space than it uses).
struct ReadLimits
{
  double Seconds = 60.0;
  double MemoryBytes = 0.0;
  // Seconds of its own processor time the child may spend without a line of
  // log (its progress) before it counts as spinning (0: no such limit).
  double SilentSeconds = 0.0;
  // Bytes of heap the read is expected to fill: laid out at once in large
  // pages (see RunChild), as a fresh process otherwise faults in every
  // page of what it allocates one small page at a time.
  double HeapBytes = 0.0;
  // Bytes the mesh is expected to fill in this process once taken over:
  // mapped and faulted in while the child reads (0: none).
  double TakeOverBytes = 0.0;
  // Whether the arrays are copied straight out of the child's memory where
  // the system allows it (false: always through a pipe, as where it does
  // not).
  bool CopyFromChild = true;
};

/// Runs read in a child process and returns its mesh (a vtkUnstructuredGrid
/// or vtkPolyData with the numeric point, cell and field arrays; other kinds of
/// data set through VTK's legacy format). The child's lines of log reach
/// log as they come. Returns null with error set to the child's error, or
/// to why it did not finish: "CONTEXT: WHAT" with context naming the file.
/// whileReading, when given, runs in this process once the child has
/// started (work that does not need the mesh, such as opening a window),
/// while another thread hears the child and takes its mesh over; an
/// exception from it stops the child and comes out of ReadIsolated().
/// afterRead, when given, runs on the mesh taken over, on that thread (so
/// alongside whileReading: work that needs the mesh and not the window),
/// before ReadIsolated() returns; an exception from it comes out of
/// ReadIsolated() once whileReading is done.
vtkSmartPointer<vtkDataSet> ReadIsolated(const MeshReadFunction& read,
  const ReadLimits& limits,
  const std::string& context,
  std::ostream& log,
  std::string& error,
  const std::function<void()>& whileReading = {},
  const std::function<void(vtkDataSet*)>& afterRead = {});

/// Runs work on a thread of its own while alongside runs on this one (the
/// two share the machine's cores), and returns once both are done. An
/// exception from alongside calls stop (when given: it must make work end
/// soon) and comes out once work is done; one from work comes out after.
void RunAlongside(const std::function<void()>& work,
  const std::function<void()>& alongside,
  const std::function<void()>& stop = {});

/// Lays out a heap of the given bytes (from 64 MB on) and has everything
/// allocated from it, by every thread, and never given back to the system
/// but by malloc_trim(): memory freed by one step (a read's buffers, a
/// surface's tables) is reused by the next without being faulted in again.
/// The pages count as used only once written. Whether they are small or
/// transparent huge pages is the system's policy: on virtual machines that
/// hand freed memory back to their host, a huge page can be several times
/// slower to fault in than the small pages it spans.
void PrepareLargeHeap(double bytes);

/// Limits for reading a file of the given size: ten seconds plus a second
/// for every 4 MB (VTK's slowest reader, legacy ASCII, reads over 20 MB a
/// second), at most three seconds plus a second for every 4 MB without a
/// line of progress, three quarters of the machine's physical memory, a heap of
/// eight times the file's size (at most an eighth of the memory), and from
/// 64 MB on the file's size made ready for the mesh taken over.
ReadLimits LimitsForFile(double fileBytes);

} // namespace orvi

#endif
