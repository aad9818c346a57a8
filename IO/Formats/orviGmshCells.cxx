#include "orviGmshCells.h"

#include "orviMeshParts.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkDoubleArray.h"
#include "vtkHexahedron.h"
#include "vtkPoints.h"
#include "vtkPyramid.h"
#include "vtkTetra.h"
#include "vtkTypeInt32Array.h"
#include "vtkTypeInt64Array.h"
#include "vtkUnstructuredGrid.h"
#include "vtkWedge.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

namespace orvi
{
namespace msh
{

namespace
{
// gmsh numbers a second-order cell's edge nodes by its own edge list, VTK
// by another; the face and volume nodes follow them.
const std::vector<ElementType>& ElementTypes()
{
  static const std::vector<ElementType> types = {
    { 15, VTK_VERTEX, 1, 0, VTK_VERTEX, 1, {} },
    { 1, VTK_LINE, 2, 1, VTK_LINE, 2, {} },
    { 8, VTK_QUADRATIC_EDGE, 3, 1, VTK_LINE, 2, {} },
    { 2, VTK_TRIANGLE, 3, 2, VTK_TRIANGLE, 3, {} },
    { 9, VTK_QUADRATIC_TRIANGLE, 6, 2, VTK_TRIANGLE, 3, {} },
    { 3, VTK_QUAD, 4, 2, VTK_QUAD, 4, {} },
    { 16, VTK_QUADRATIC_QUAD, 8, 2, VTK_QUAD, 4, {} },
    { 10, VTK_BIQUADRATIC_QUAD, 9, 2, VTK_QUAD, 4, {} },
    { 4, VTK_TETRA, 4, 3, VTK_TETRA, 4, {} },
    { 11, VTK_QUADRATIC_TETRA, 10, 3, VTK_TETRA, 4, { 0, 1, 2, 3, 4, 5, 6, 7, 9, 8 } },
    { 5, VTK_HEXAHEDRON, 8, 3, VTK_HEXAHEDRON, 8, {} },
    { 17,
      VTK_QUADRATIC_HEXAHEDRON,
      20,
      3,
      VTK_HEXAHEDRON,
      8,
      { 0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 13, 9, 16, 18, 19, 17, 10, 12, 14, 15 } },
    { 12,
      VTK_TRIQUADRATIC_HEXAHEDRON,
      27,
      3,
      VTK_HEXAHEDRON,
      8,
      { 0,
        1,
        2,
        3,
        4,
        5,
        6,
        7,
        8,
        11,
        13,
        9,
        16,
        18,
        19,
        17,
        10,
        12,
        14,
        15,
        22,
        23,
        21,
        24,
        20,
        25,
        26 } },
    { 6, VTK_WEDGE, 6, 3, VTK_WEDGE, 6, {} },
    { 18,
      VTK_QUADRATIC_WEDGE,
      15,
      3,
      VTK_WEDGE,
      6,
      { 0, 1, 2, 3, 4, 5, 6, 9, 7, 12, 14, 13, 8, 10, 11 } },
    { 13,
      VTK_BIQUADRATIC_QUADRATIC_WEDGE,
      18,
      3,
      VTK_WEDGE,
      6,
      { 0, 1, 2, 3, 4, 5, 6, 9, 7, 12, 14, 13, 8, 10, 11, 15, 17, 16 } },
    { 7, VTK_PYRAMID, 5, 3, VTK_PYRAMID, 5, {} },
    { 19,
      VTK_QUADRATIC_PYRAMID,
      13,
      3,
      VTK_PYRAMID,
      5,
      { 0, 1, 2, 3, 4, 5, 8, 10, 6, 7, 9, 11, 12 } },
  };
  return types;
}

// The cells' points in ids of one width: 32 bits wherever they fit, which
// halves what the mesh takes, its transfer to the host and every pass over
// its cells there.
template <class IdArray>
struct CellPoints
{
  using Id = typename IdArray::ValueType;
  vtkNew<IdArray> Offsets;
  vtkNew<IdArray> Connectivity;

  const Id* Of(vtkIdType cell) const
  {
    return this->Connectivity->GetPointer(this->Offsets->GetValue(cell));
  }
};

// Each node's point among the nodes elements use, in gmsh's order (as
// gmsh's .vtk export does: a file holds the nodes of entities whose
// elements it leaves out), -1 for one unused; false with error set for an
// element naming a node the file does not have.
bool NumberUsedNodes(const Cells& cells,
  const NodeIndex& index,
  std::size_t nodeCount,
  std::vector<vtkIdType>& point,
  std::string& error)
{
  point.assign(nodeCount, -1);
  for (const Block& block : cells.Blocks)
  {
    const std::size_t n = static_cast<std::size_t>(block.Type->Nodes);
    for (std::size_t i = 0; i < block.Nodes.size(); ++i)
    {
      const vtkIdType node = index(block.Nodes[i]);
      if (node < 0)
      {
        error = "element " + std::to_string(block.Tags[i / n]) + " names node " +
          std::to_string(block.Nodes[i]) + ", which the file does not have";
        return false;
      }
      point[node] = 0;
    }
  }
  vtkIdType used = 0;
  for (vtkIdType& p : point)
  {
    p = p == 0 ? used++ : -1;
  }
  return true;
}

// Writes the blocks' cells straight into the grid's arrays, in VTK's node
// order and point numbers; frees gmsh's node tags on the way.
template <class IdArray>
void FillCells(Cells& cells,
  CellPoints<IdArray>& to,
  const NodeIndex& index,
  const std::vector<vtkIdType>& point)
{
  using Id = typename IdArray::ValueType;
  to.Offsets->SetNumberOfValues(cells.Count + 1);
  to.Connectivity->SetNumberOfValues(cells.Ids);
  cells.Types->SetNumberOfValues(cells.Count);
  cells.Part->SetNumberOfValues(cells.Count);
  cells.Group->SetNumberOfValues(cells.Count);
  Id* offsets = to.Offsets->GetPointer(0);
  Id* ids = to.Connectivity->GetPointer(0);
  Id at = 0;
  offsets[0] = 0;
  for (Block& block : cells.Blocks)
  {
    const ElementType& type = *block.Type;
    const std::size_t n = static_cast<std::size_t>(type.Nodes);
    const std::size_t count = block.Tags.size();
    const std::size_t* nodes = block.Nodes.data();
    for (std::size_t e = 0; e < count; ++e, nodes += n)
    {
      for (std::size_t k = 0; k < n; ++k)
      {
        ids[at++] = static_cast<Id>(point[index(nodes[type.Order.empty() ? k : type.Order[k]])]);
      }
      offsets[block.First + static_cast<vtkIdType>(e) + 1] = at;
    }
    std::fill_n(cells.Types->GetPointer(block.First), count, static_cast<unsigned char>(type.Vtk));
    std::fill_n(cells.Part->GetPointer(block.First), count, block.Part);
    std::fill_n(cells.Group->GetPointer(block.First), count, block.Group);
    std::vector<std::size_t>().swap(block.Nodes);
  }
}

// A face, edge or point by its corner points, sorted (unused places -1).
using Key = std::array<vtkIdType, 4>;
struct KeyHash
{
  std::size_t operator()(const Key& key) const
  {
    std::size_t h = 0;
    for (const vtkIdType id : key)
    {
      h = h * 1000003u ^ static_cast<std::size_t>(id);
    }
    return h;
  }
};
template <typename Id>
Key MakeKey(const Id* ids, int n)
{
  Key key{ -1, -1, -1, -1 };
  // At most four ids: sorted by insertion.
  for (int i = 0; i < n; ++i)
  {
    int at = i;
    for (; at > 0 && key[at - 1] > ids[i]; --at)
    {
      key[at] = key[at - 1];
    }
    key[at] = ids[i];
  }
  return key;
}

// Calls f(key, dim) for the faces, edges and corners of a cell, by its
// corner points: what an element of lower dimension can lie on.
template <typename Id, typename F>
void ForEachBoundary(const ElementType& type, const Id* p, F&& f)
{
  const auto corners = [&](const vtkIdType* local, int n)
  {
    vtkIdType ids[4];
    std::transform(local, local + n, ids, [p](vtkIdType k) { return p[k]; });
    return MakeKey(ids, n);
  };
  // A tetrahedron's faces are triangles; the other cells end a triangle's
  // corners with -1.
  const auto faces = [&](const vtkIdType* (*face)(vtkIdType), int count, bool triangles)
  {
    for (int i = 0; i < count; ++i)
    {
      const vtkIdType* local = face(i);
      f(corners(local, triangles || local[3] < 0 ? 3 : 4), 2);
    }
  };
  const auto edges = [&](const vtkIdType* (*edge)(vtkIdType), int count)
  {
    for (int i = 0; i < count; ++i)
    {
      f(corners(edge(i), 2), 1);
    }
  };
  switch (type.Linear)
  {
    case VTK_TETRA:
      faces(&vtkTetra::GetFaceArray, 4, true);
      edges(&vtkTetra::GetEdgeArray, 6);
      break;
    case VTK_HEXAHEDRON:
      faces(&vtkHexahedron::GetFaceArray, 6, false);
      edges(&vtkHexahedron::GetEdgeArray, 12);
      break;
    case VTK_WEDGE:
      faces(&vtkWedge::GetFaceArray, 5, false);
      edges(&vtkWedge::GetEdgeArray, 9);
      break;
    case VTK_PYRAMID:
      faces(&vtkPyramid::GetFaceArray, 5, false);
      edges(&vtkPyramid::GetEdgeArray, 8);
      break;
    case VTK_TRIANGLE:
    case VTK_QUAD:
      for (int k = 0; k < type.Corners; ++k)
      {
        const vtkIdType edge[2] = { p[k], p[(k + 1) % type.Corners] };
        f(MakeKey(edge, 2), 1);
      }
      break;
    default:
      break;
  }
  for (int k = 0; type.Dim > 0 && k < type.Corners; ++k)
  {
    f(MakeKey(p + k, 1), 0);
  }
}

// Moves each element that lies on one of higher dimension into that
// element's part (the highest dimension first, the first such element in
// order): the part that draws the face it lies on. Only the lower elements
// are keyed, and only a cell with a corner on one of them is looked at.
template <class IdArray>
void JoinCoincident(Cells& cells, const CellPoints<IdArray>& points, vtkIdType pointCount)
{
  int top = 0;
  for (const Block& block : cells.Blocks)
  {
    top = std::max(top, block.Type->Dim);
  }
  std::unordered_map<Key, std::vector<std::pair<vtkIdType, int>>, KeyHash> lower;
  std::vector<bool> onLower(static_cast<std::size_t>(pointCount), false);
  for (const Block& block : cells.Blocks)
  {
    const int corners = block.Type->Corners;
    for (std::size_t e = 0; block.Type->Dim < top && e < block.Tags.size(); ++e)
    {
      const vtkIdType cell = block.First + static_cast<vtkIdType>(e);
      const auto* p = points.Of(cell);
      lower[MakeKey(p, corners)].emplace_back(cell, block.Type->Dim);
      std::for_each(p, p + corners, [&](vtkIdType id) { onLower[id] = true; });
    }
  }
  if (lower.empty())
  {
    return;
  }
  int* part = cells.Part->GetPointer(0);
  std::vector<bool> joined(static_cast<std::size_t>(cells.Count), false);
  const auto join = [&](const Key& key, int keyDim, vtkIdType cell)
  {
    const auto found = lower.find(key);
    for (std::size_t i = 0; found != lower.end() && i < found->second.size(); ++i)
    {
      const auto [on, dim] = found->second[i];
      if (!joined[on] && dim == keyDim)
      {
        joined[on] = true;
        part[on] = part[cell];
      }
    }
  };
  for (int dim = top; dim > 0; --dim)
  {
    for (const Block& block : cells.Blocks)
    {
      const ElementType& kind = *block.Type;
      for (std::size_t e = 0; kind.Dim == dim && e < block.Tags.size(); ++e)
      {
        const vtkIdType cell = block.First + static_cast<vtkIdType>(e);
        const auto* p = points.Of(cell);
        if (std::any_of(p, p + kind.Corners, [&](vtkIdType id) { return onLower[id]; }))
        {
          ForEachBoundary(kind, p, [&](const Key& key, int keyDim) { join(key, keyDim, cell); });
        }
      }
    }
  }
}

// The grid of the nodes elements use and the cells read, its cells marked
// with their parts.
void MakeGrid(vtkUnstructuredGrid* grid,
  const std::vector<double>& coords,
  const std::vector<vtkIdType>& pointOfNode,
  Cells& cells,
  vtkDataArray* offsets,
  vtkDataArray* connectivity,
  const Parts& parts)
{
  vtkNew<vtkDoubleArray> xyz;
  xyz->SetNumberOfComponents(3);
  xyz->SetNumberOfTuples(static_cast<vtkIdType>(
    std::count_if(pointOfNode.begin(), pointOfNode.end(), [](vtkIdType p) { return p >= 0; })));
  double* to = xyz->GetPointer(0);
  for (std::size_t node = 0; node < pointOfNode.size(); ++node)
  {
    if (pointOfNode[node] >= 0)
    {
      std::copy_n(&coords[3 * node], 3, to + 3 * pointOfNode[node]);
    }
  }
  vtkNew<vtkPoints> points;
  points->SetData(xyz);
  grid->SetPoints(points);
  vtkNew<vtkCellArray> cellArray;
  cellArray->SetData(offsets, connectivity);
  grid->SetCells(cells.Types, cellArray);
  if (!parts.OfGroup.empty())
  {
    cells.Group->SetName("CellEntityIds");
    grid->GetCellData()->AddArray(cells.Group);
  }
  cells.Part->SetName(PartIdArrayName());
  grid->GetCellData()->AddArray(cells.Part);
  SetPartNames(grid, parts.Names);
}

// The grid made of the cells read, their points in ids of IdArray's width,
// and its elements on others joined to their parts.
template <class IdArray>
void BuildWith(vtkUnstructuredGrid* grid,
  std::vector<double>& coords,
  const NodeIndex& index,
  const std::vector<vtkIdType>& pointOfNode,
  Cells& cells,
  const Parts& parts)
{
  CellPoints<IdArray> points;
  FillCells(cells, points, index, pointOfNode);
  MakeGrid(grid, coords, pointOfNode, cells, points.Offsets, points.Connectivity, parts);
  std::vector<double>().swap(coords);
  JoinCoincident(cells, points, grid->GetNumberOfPoints());
}
} // namespace

const ElementType* FindElementType(int gmshType)
{
  const auto& types = ElementTypes();
  const auto found = std::find_if(
    types.begin(), types.end(), [gmshType](const ElementType& t) { return t.Gmsh == gmshType; });
  return found == types.end() ? nullptr : &*found;
}

//------------------------------------------------------------------------------
NodeIndex::NodeIndex(const std::vector<std::size_t>& tags)
{
  const std::size_t top = tags.empty() ? 0 : *std::max_element(tags.begin(), tags.end());
  this->Dense = top <= 4 * tags.size() + 1024;
  this->Table.assign(this->Dense ? top + 1 : 0, -1);
  for (std::size_t i = 0; i < tags.size(); ++i)
  {
    this->Dense ? void(this->Table[tags[i]] = static_cast<vtkIdType>(i))
                : void(this->Map.emplace(tags[i], static_cast<vtkIdType>(i)));
  }
}

//------------------------------------------------------------------------------
void Parts::AddGroup(int dim, int tag, const std::string& name)
{
  static const char* const dims[] = { "point", "curve", "surface", "volume" };
  this->OfGroup[{ dim, tag }] = static_cast<int>(this->Names.size());
  this->Names.push_back(name.empty()
      ? std::string(dims[std::clamp(dim, 0, 3)]) + " group " + std::to_string(tag)
      : name);
}

//------------------------------------------------------------------------------
int Parts::OfEntity(int dim, const std::vector<int>& groups, int& group)
{
  // A group's tag is negative for an entity it holds turned over.
  const auto found =
    groups.empty() ? this->OfGroup.end() : this->OfGroup.find({ dim, std::abs(groups[0]) });
  group = found == this->OfGroup.end() ? 0 : groups[0];
  if (found != this->OfGroup.end())
  {
    return found->second;
  }
  if (this->Unnamed < 0)
  {
    this->Unnamed = static_cast<int>(this->Names.size());
    this->Names.push_back(this->FileName);
  }
  return this->Unnamed;
}

//------------------------------------------------------------------------------
bool AddBlock(const ElementType& type,
  std::vector<std::size_t>& tags,
  std::vector<std::size_t>& nodes,
  int part,
  int group,
  Cells& cells,
  std::string& error)
{
  if (nodes.size() != tags.size() * static_cast<std::size_t>(type.Nodes))
  {
    error = "the elements of type " + std::to_string(type.Gmsh) + " have " +
      std::to_string(nodes.size()) + " node tags for " + std::to_string(tags.size()) + " elements";
    return false;
  }
  Block& block = cells.Blocks.emplace_back();
  block.Type = &type;
  block.Part = part;
  block.Group = group;
  block.First = cells.Count;
  block.Tags.swap(tags);
  block.Nodes.swap(nodes);
  cells.Count += static_cast<vtkIdType>(block.Tags.size());
  cells.Ids += static_cast<vtkIdType>(block.Nodes.size());
  return true;
}

//------------------------------------------------------------------------------
bool BuildGrid(vtkUnstructuredGrid* grid,
  std::vector<double>& coords,
  const NodeIndex& index,
  Cells& cells,
  const Parts& parts,
  std::vector<vtkIdType>& pointOfNode,
  std::string& error)
{
  if (!NumberUsedNodes(cells, index, coords.size() / 3, pointOfNode, error))
  {
    return false;
  }
  cells.Ids < std::numeric_limits<vtkTypeInt32>::max()
    ? BuildWith<vtkTypeInt32Array>(grid, coords, index, pointOfNode, cells, parts)
    : BuildWith<vtkTypeInt64Array>(grid, coords, index, pointOfNode, cells, parts);
  return true;
}

} // namespace msh
} // namespace orvi
