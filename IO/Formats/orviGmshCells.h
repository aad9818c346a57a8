// What both reads of gmsh's .msh files share once they have the file's
// nodes, elements and physical groups in hand, whoever parsed them (gmsh's
// library, orviGmshReader.h, or the loader's own read of binary 4.1 files,
// orviGmshBinary.h): gmsh's element types as VTK's cell types in VTK's node
// order, the physical groups as named parts (see orviMeshParts.h), and the
// grid made of it all, each element lying on one of higher dimension moved
// into that element's part.
//
//   msh::Parts parts;            // groups added with AddGroup(), in order
//   msh::Cells cells;            // one AddBlock() per entity and type
//   msh::NodeIndex index(tags);  // the file's node tags, coords beside
//   std::vector<vtkIdType> pointOfNode;
//   if (!msh::BuildGrid(grid, coords, index, cells, parts, pointOfNode, error)) { ... }
#ifndef orviGmshCells_h
#define orviGmshCells_h

#include "vtkIntArray.h"
#include "vtkNew.h"
#include "vtkType.h"
#include "vtkUnsignedCharArray.h"

#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class vtkUnstructuredGrid;

namespace orvi
{
namespace msh
{

/// A gmsh element type VTK draws: its VTK type, node count, dimension, the
/// VTK type of its corners (the linear cell its first nodes make), their
/// count and, where the two orders differ, the gmsh node of each VTK node.
struct ElementType
{
  int Gmsh;
  int Vtk;
  int Nodes;
  int Dim;
  int Linear;
  int Corners;
  std::vector<int> Order;
};

/// The type of a gmsh element type number; null for one VTK has no cell for.
const ElementType* FindElementType(int gmshType);

/// Node tags to their places in the file's list: a table where the tags
/// are dense, a map where they are not.
class NodeIndex
{
public:
  explicit NodeIndex(const std::vector<std::size_t>& tags);
  /// -1 for a tag of no node.
  vtkIdType operator()(std::size_t tag) const
  {
    if (this->Dense)
    {
      return tag < this->Table.size() ? this->Table[tag] : -1;
    }
    const auto found = this->Map.find(tag);
    return found == this->Map.end() ? -1 : found->second;
  }

private:
  bool Dense = true;
  std::vector<vtkIdType> Table;
  std::unordered_map<std::size_t, vtkIdType> Map;
};

/// The parts: one per physical group, in the order they are added (gmsh's:
/// by dimension, then tag), and the unnamed one of entities in no group,
/// named after the file, made when first needed.
struct Parts
{
  std::vector<std::string> Names;
  std::map<std::pair<int, int>, int> OfGroup;
  int Unnamed = -1;
  std::string FileName;

  /// A group, named by name or, when it has none, by its dimension and tag
  /// ("surface group 5").
  void AddGroup(int dim, int tag, const std::string& name);

  /// The part of the elements of an entity of dimension dim in the groups
  /// groups (the entity's, in the file's order), and its first group's tag
  /// in group (0 for none) as gmsh's .vtk export gives it.
  int OfEntity(int dim, const std::vector<int>& groups, int& group);
};

/// One entity's elements of one type, the grid's cells First to First +
/// Tags.size() - 1: the element tags, and their node tags in gmsh's order.
struct Block
{
  const ElementType* Type = nullptr;
  int Part = -1;
  int Group = 0;
  vtkIdType First = 0;
  std::vector<std::size_t> Tags;
  std::vector<std::size_t> Nodes;
};

/// The cells read, in VTK's arrays, sized once from the blocks' counts, and
/// the blocks they came from.
struct Cells
{
  std::vector<Block> Blocks;
  vtkIdType Count = 0;
  vtkIdType Ids = 0;
  vtkNew<vtkUnsignedCharArray> Types;
  vtkNew<vtkIntArray> Part;
  vtkNew<vtkIntArray> Group;
};

/// Takes an entity's elements of one type (their vectors swapped in);
/// false with error set when the count of node tags does not match.
bool AddBlock(const ElementType& type,
  std::vector<std::size_t>& tags,
  std::vector<std::size_t>& nodes,
  int part,
  int group,
  Cells& cells,
  std::string& error);

/// The grid of the nodes elements use (in the file's order, as gmsh's .vtk
/// export does) and the cells, in 32-bit ids where they fit, marked with
/// their parts, elements on others joined to those parts. coords (x, y, z
/// of each node, in index's order) is freed on the way, the blocks' node
/// tags too; pointOfNode is each node's point, -1 for one unused. False
/// with error set for an element naming a node the file does not have.
bool BuildGrid(vtkUnstructuredGrid* grid,
  std::vector<double>& coords,
  const NodeIndex& index,
  Cells& cells,
  const Parts& parts,
  std::vector<vtkIdType>& pointOfNode,
  std::string& error);

} // namespace msh
} // namespace orvi

#endif
