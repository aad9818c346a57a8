// Opening mesh files for the hosts: the format's checks in front of VTK's
// reader, the reader in a child process, the checks of what it returned; or,
// for a .vtu of appended data, the loader's own read in this process (see
// orviAppendedXML.h) and the same checks.
#ifndef orviMeshLoader_h
#define orviMeshLoader_h

#include "vtkSmartPointer.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

class vtkAlgorithm;
class vtkDataSet;

namespace orvi
{

/// Reads a mesh with the VTK reader its extension names (.vtu, .vtk, .vtp,
/// .stl, .obj, .ply), printing progress and the load time to log. What can
/// be checked before the reader runs is (the file's first bytes, a .stl's
/// length, a .ply's every count and face index, an XML file's every
/// attribute, a legacy file's counts, cell lists and cell types); the reader
/// then runs in a child process (see ReadIsolated()) with every check of
/// what it returned: cell sizes, point ids and cell types, array lengths,
/// coordinates finite in single precision and no few points far from the
/// rest. Anything VTK logs as an error while reading is a refusal; nothing
/// it logs reaches the terminal. Returns null and sets error to one line,
/// "cannot open|read 'PATH': WHY", otherwise. whileReading, when given,
/// runs while the child reads, and afterRead on the mesh as soon as it is
/// here and said loaded (see ReadIsolated()); neither when the file is
/// refused before its read. setup, when given, runs on the reader in the
/// child before it reads (what part of the file, which time step). A file
/// of several parts or steps (.pvd, .vtm, .pvtu, .pvtp) is refused: it is
/// opened with OpenMeshFile(), which reads each mesh file it names here.
/// A .vtu whose arrays are all appended (raw or base64, uncompressed or
/// zlib) is read without VTK's reader and without a child (no VTK reader
/// code runs, and the mesh exists once), on a thread of its own while
/// whileReading runs, unless setup is given. like, when given, is a mesh
/// LoadMesh() returned before (a time series' step shown): such a .vtu whose
/// raw points and cells are byte for byte like's gets like's points and
/// cells and only its arrays are read (and checked; like's mesh passed its
/// checks when it was read), which is how a step of a solver's series that
/// repeats its mesh costs its fields alone.
vtkSmartPointer<vtkDataSet> LoadMesh(const std::string& path,
  std::ostream& log,
  std::string& error,
  const std::function<void()>& whileReading = {},
  const std::function<void(vtkDataSet*)>& afterRead = {},
  const std::function<void(vtkAlgorithm*)>& setup = {},
  vtkDataSet* like = nullptr);

/// Whether path is a regular file this process can read; false with error
/// set to the loader's line ("cannot open 'PATH': ...") otherwise, without
/// opening a FIFO or a device.
bool IsReadableFile(const std::string& path, std::string& error);

/// LoadMesh() without the child process: the same checks, VTK's reader in
/// this process (a damaged file can crash it). For measuring what the child
/// costs, and for fuzzing the checks.
vtkSmartPointer<vtkDataSet> LoadMeshInProcess(const std::string& path,
  std::ostream& log,
  std::string& error);

/// The file extensions LoadMesh() reads, separated by spaces (".vtu .vtk
/// ...").
const char* MeshExtensions();

/// The formats LoadMesh() reads for the hosts' help, separated by commas
/// (".vtu, .vtk (legacy), ...").
std::string DescribeMeshFormats();

/// A path's extension from its last dot, in lower case (".vtu"); empty when
/// its file name has no dot.
std::string FileExtension(const std::string& path);

} // namespace orvi

#endif
