// What the files of several parts or steps share: the mesh files a
// collection names, each read by LoadMesh() (its checks, limits and child
// process), several at once, and the collection's own XML read in words a
// host can show. Formats/orviCollectionFormats.cxx describes the parts and
// steps of VTK's collections as leaves.
#ifndef orviMeshCollections_h
#define orviMeshCollections_h

#include "orviMeshFile.h"

#include "vtkSmartPointer.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

class vtkAlgorithm;
class vtkXMLDataElement;
class vtkXMLDataParser;

namespace orvi
{

/// One mesh of a collection's step: the part it becomes (Name), the file
/// read (Path), what the messages call it ("step 2 of 5", "block 'inlet'"),
/// when given, the reader's setup and a mesh read before whose points and
/// cells it may stand on (see LoadMesh()).
struct MeshLeaf
{
  std::string Label;
  std::string Name;
  std::string Path;
  std::function<void(vtkAlgorithm*)> Setup;
  vtkDataSet* Like = nullptr;
};

/// Reads every leaf with LoadMesh(), at most as many at once as the machine
/// has cores, into parts in the leaves' order; whileReading runs here while
/// they are read, afterRead on each part as it comes (one at a time). Stops
/// starting reads after a failure and returns false with error set to
/// "cannot read 'COLLECTION': LABEL: WHY" for the first leaf, in order, that
/// failed. check, when given, is asked of each mesh read (empty: it passes,
/// else the fault in words).
bool ReadLeaves(const std::string& collection,
  const std::vector<MeshLeaf>& leaves,
  std::vector<MeshPart>& parts,
  std::ostream& log,
  std::string& error,
  const std::function<void()>& whileReading,
  const std::function<void(MeshPart&)>& afterRead,
  const std::function<std::string(std::size_t, vtkDataSet*)>& check = {});

/// A file whose steps are leaves read by ReadLeaves(): each step's leaves
/// become its parts.
class CollectionFile : public MeshFile
{
public:
  CollectionFile(std::string path,
    std::vector<double> times,
    std::vector<std::vector<MeshLeaf>> steps);

  bool ReadStep(std::size_t step,
    std::vector<MeshPart>& parts,
    std::ostream& log,
    std::string& error,
    const std::function<void()>& whileReading = {},
    const std::function<void(MeshPart&)>& afterRead = {}) override;

protected:
  std::vector<std::vector<MeshLeaf>> Steps;
};

/// Parses a collection's XML with VTK's parser in this process (the file
/// is first checked a regular file): its VTKFile root, whose type attribute
/// must be type. Null with error set to "cannot open 'PATH': WHY" otherwise.
/// The parser owns the elements.
vtkXMLDataElement* ParseCollection(const std::string& path,
  const char* type,
  vtkSmartPointer<vtkXMLDataParser>& parser,
  std::string& error);

/// The path of a file a collection names: relative to the collection's
/// folder unless absolute. Empty with error set to "cannot open
/// 'COLLECTION': LABEL: WHY" when the name is empty or names the collection
/// itself.
std::string LeafPath(const std::string& collection,
  const char* file,
  const std::string& label,
  std::string& error);

} // namespace orvi

#endif
