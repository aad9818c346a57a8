// The formats the loader reads, one row each: the file extensions, what the
// file starts with, the checks in front of VTK's reader, the reader, and the
// checks of what it read. The loader (orviMeshLoader.cxx) walks a row in
// that order; MeshExtensions() and DescribeMeshFormats(), the loader's
// "unknown extension" message, the hosts' --help and the Qt host's file
// dialog list the rows' extensions. A new format is one row in
// MeshFormats() (orviFormatTable.cxx): its extensions, its signature, the
// functions for its checks and its reader (a null check passes), and, for a
// composite file, how its output becomes one mesh (TakeOutput). Its checks
// go in a file of its family under Formats/, declared in
// Formats/orviFormatChecks.h; its reader's VTK module in the IO module list
// of IO/CMakeLists.txt. A file of several parts or steps names how it is
// opened (Open, see orviMeshFile.h); without a reader it is only opened so.
#ifndef orviFormatTable_h
#define orviFormatTable_h

#include "vtkSmartPointer.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

class vtkAlgorithm;
class vtkDataSet;

namespace orvi
{
class MeshFile;

/// What a file of a format starts with: Start from its first byte, or with
/// AfterBlanks after spaces and line ends (null: anything). Refusal is why
/// a file that does not is refused (null: "it does not start with 'START'").
struct FormatSignature
{
  const char* Start = nullptr;
  bool AfterBlanks = false;
  const char* Refusal = nullptr;
};

/// One format. Every check answers false (or a fault in words, for
/// CheckRead) with the loader's message set; a null check passes.
struct MeshFormat
{
  /// In lower case, with the dot (".vtu").
  std::vector<std::string> Extensions;
  /// A word after the extensions in the hosts' help ("legacy"), or null.
  const char* Note = nullptr;
  FormatSignature Signature;
  /// The whole file before any reader is made, in the host's process: what
  /// VTK's reader would trust and crash on.
  bool (*CheckFile)(const std::string& path, std::string& error) = nullptr;
  /// The reader, its file name set.
  vtkSmartPointer<vtkAlgorithm> (*MakeReader)(const std::string& path) = nullptr;
  /// What the reader made of the file's header, before it reads the data (in
  /// the reading child: the reader parses the file).
  bool (*CheckHeader)(vtkAlgorithm* reader, const std::string& path, std::string& error) = nullptr;
  /// The mesh read against the file, beside the checks every mesh gets
  /// (orviMeshChecks.h): empty, or the fault in words.
  std::string (
    *CheckRead)(vtkAlgorithm* reader, vtkDataSet* data, const std::string& path) = nullptr;
  /// The mesh of the reader's output once it ran (null: its output 0, a data
  /// set). A reader of a composite (a multiblock's blocks, a collection's
  /// steps) names here how its blocks become the mesh shown.
  vtkSmartPointer<vtkDataSet> (*TakeOutput)(vtkAlgorithm* reader) = nullptr;
  /// A file of parts or steps: what it says about them read, no mesh yet
  /// (see OpenMeshFile()); null for a file that is one mesh.
  std::unique_ptr<MeshFile> (
    *Open)(const std::string& path, std::ostream& log, std::string& error) = nullptr;
  /// Whether the loader reads a file of the format itself, in the host's
  /// process and without VTK's reader (its header looked at, nothing more),
  /// and that read: null with the loader's message set, or the mesh, to
  /// which the checks every mesh gets follow. Null: VTK's reader always.
  /// like, when not null, is a mesh read before whose points and cells the
  /// read may stand on (see ReadAppendedXML()).
  bool (*CoversFile)(const std::string& path) = nullptr;
  vtkSmartPointer<vtkDataSet> (*ReadInHost)(const std::string& path,
    std::ostream& log,
    std::string& error,
    vtkDataSet* like) = nullptr;
};

/// Every format, in the order MeshExtensions() lists them.
const std::vector<MeshFormat>& MeshFormats();

/// The format of an extension (lower case, with the dot); null for none.
const MeshFormat* FindMeshFormat(const std::string& extension);

} // namespace orvi

#endif
