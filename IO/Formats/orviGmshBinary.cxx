#include "orviGmshBinary.h"

#include "orviFormatChecks.h"
#include "orviGmshCells.h"
#include "orviMappedFile.h"

#include "vtkCellType.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace orvi
{

namespace
{
// Why a walk stopped: the file is read, is one for gmsh's library, or is
// damaged (Walk::Why says how).
enum class Outcome
{
  Covered,
  Other,
  Damaged
};

// One entity's nodes or elements: where its data starts and how many.
struct BlockAt
{
  int Dim = 0;
  int Tag = 0;
  const msh::ElementType* Type = nullptr; // elements only
  std::uint64_t Count = 0;
  std::size_t At = 0;
};

// The section headers walked once over the mapping: the blocks found, and
// what the small sections say. Nothing of the nodes' and elements' arrays
// is read here.
struct Walk
{
  const unsigned char* Data = nullptr;
  std::size_t Size = 0;
  std::size_t At = 0;
  std::string Why;

  std::map<std::pair<int, int>, std::vector<int>> Entities; // groups of each
  std::map<std::pair<int, int>, std::string> Names;
  std::vector<BlockAt> Nodes, Elements;
  std::uint64_t NodeCount = 0, MaxNodeTag = 0, ElementCount = 0, MaxElementTag = 0;
  std::set<std::string> Seen;

  Outcome Damage(const std::string& why)
  {
    this->Why = why;
    return Outcome::Damaged;
  }

  template <typename T>
  bool Take(T& value)
  {
    if (this->Size - this->At < sizeof(T))
    {
      return false;
    }
    std::memcpy(&value, this->Data + this->At, sizeof(T));
    this->At += sizeof(T);
    return true;
  }

  // Moves past count items of size bytes; false when they run past the end.
  bool Skip(std::uint64_t count, std::uint64_t size)
  {
    if (count > (this->Size - this->At) / size)
    {
      return false;
    }
    this->At += static_cast<std::size_t>(count * size);
    return true;
  }

  // The next line (without its end), at most 4096 bytes; false at the end.
  bool Line(std::string& line)
  {
    const std::size_t most = std::min<std::size_t>(this->Size - this->At, 4096);
    const auto* start = this->Data + this->At;
    const auto* end = static_cast<const unsigned char*>(std::memchr(start, '\n', most));
    if (!end)
    {
      return false;
    }
    line.assign(reinterpret_cast<const char*>(start), static_cast<std::size_t>(end - start));
    if (!line.empty() && line.back() == '\r')
    {
      line.pop_back();
    }
    this->At += static_cast<std::size_t>(end - start) + 1;
    return true;
  }

  // The next line that is not blank: a section's "$Name" or its end.
  bool Word(std::string& line)
  {
    while (this->At < this->Size && std::strchr(" \t\r\n", this->Data[this->At]))
    {
      ++this->At;
    }
    return this->At < this->Size && this->Line(line);
  }

  Outcome Format();
  Outcome PhysicalNames();
  Outcome Entity(int dim);
  Outcome EntitiesSection();
  Outcome Block(const char* section, BlockAt& block, int& kind);
  Outcome BlocksSection(const char* section,
    const char* items,
    std::uint64_t& count,
    std::uint64_t& maxTag,
    std::vector<BlockAt>& into,
    std::uint64_t (*size)(BlockAt& block, int kind));
  Outcome Contents(const std::string& name);
  Outcome Section(const std::string& name);
  Outcome All();
};

// "$MeshFormat": version 4.1, binary, 8-byte size_t, this machine's order.
Outcome Walk::Format()
{
  std::string line;
  int one = 0;
  if (!this->Line(line) || line != "4.1 1 8" || !this->Take(one) || one != 1)
  {
    return Outcome::Other;
  }
  return Outcome::Covered;
}

// "$PhysicalNames": text even in a binary file, a line per group.
Outcome Walk::PhysicalNames()
{
  std::string line;
  if (!this->Word(line))
  {
    return this->Damage("$PhysicalNames is cut short");
  }
  const long count = std::strtol(line.c_str(), nullptr, 10);
  for (long i = 0; i < count; ++i)
  {
    int dim = 0, tag = 0;
    const std::size_t open = this->Line(line) ? line.find('"') : std::string::npos;
    const std::size_t close = line.rfind('"');
    if (open == std::string::npos || close == open ||
      std::sscanf(line.c_str(), "%d %d", &dim, &tag) != 2)
    {
      return this->Damage("physical name " + std::to_string(i + 1) + " of " +
        std::to_string(count) + " is cut short or has no quoted name");
    }
    this->Names[{ dim, tag }] = line.substr(open + 1, close - open - 1);
  }
  return Outcome::Covered;
}

// One point, curve, surface or volume: its tag, box, groups and, but for
// a point, the entities bounding it.
Outcome Walk::Entity(int dim)
{
  int tag = 0;
  std::uint64_t groups = 0, bounds = 0;
  if (!this->Take(tag) || !this->Skip(dim == 0 ? 3 : 6, sizeof(double)) || !this->Take(groups) ||
    groups > (this->Size - this->At) / sizeof(int))
  {
    return this->Damage("$Entities is cut short");
  }
  std::vector<int>& of = this->Entities[{ dim, tag }];
  of.resize(static_cast<std::size_t>(groups));
  for (int& group : of)
  {
    this->Take(group);
  }
  if (dim > 0 && (!this->Take(bounds) || !this->Skip(bounds, sizeof(int))))
  {
    return this->Damage("$Entities is cut short");
  }
  return Outcome::Covered;
}

Outcome Walk::EntitiesSection()
{
  std::uint64_t counts[4] = {};
  for (auto& count : counts)
  {
    if (!this->Take(count))
    {
      return this->Damage("$Entities is cut short");
    }
  }
  for (int dim = 0; dim < 4; ++dim)
  {
    for (std::uint64_t i = 0; i < counts[dim]; ++i)
    {
      // Every entity takes a dozen bytes at least: a count past that runs
      // out of file here, not out of memory.
      if (this->Entity(dim) != Outcome::Covered)
      {
        return Outcome::Damaged;
      }
    }
  }
  return Outcome::Covered;
}

// A block's header (entity dimension, tag, the parametric flag or the
// element type, count): the entity must be one $Entities lists.
Outcome Walk::Block(const char* section, BlockAt& block, int& kind)
{
  if (!this->Take(block.Dim) || !this->Take(block.Tag) || !this->Take(kind) ||
    !this->Take(block.Count))
  {
    return this->Damage(std::string(section) + " is cut short in a block's header");
  }
  if (block.Dim < 0 || block.Dim > 3)
  {
    return this->Damage(
      std::string("a block of ") + section + " has entity dimension " + std::to_string(block.Dim));
  }
  if (!this->Entities.count({ block.Dim, block.Tag }))
  {
    static const char* const dims[] = { "point", "curve", "surface", "volume" };
    return this->Damage(std::string("a block of ") + section + " belongs to " + dims[block.Dim] +
      " " + std::to_string(block.Tag) + ", which $Entities does not list");
  }
  return Outcome::Covered;
}

// A section of blocks ($Nodes, $Elements): its counts (blocks, items, the
// smallest and the largest tag), then each block's header and its items of
// size bytes (0: one the read does not cover), their counts adding up to
// the section's.
Outcome Walk::BlocksSection(const char* section,
  const char* items,
  std::uint64_t& count,
  std::uint64_t& maxTag,
  std::vector<BlockAt>& into,
  std::uint64_t (*size)(BlockAt& block, int kind))
{
  std::uint64_t blocks = 0, minTag = 0;
  if (!this->Take(blocks) || !this->Take(count) || !this->Take(minTag) || !this->Take(maxTag))
  {
    return this->Damage(std::string(section) + " is cut short");
  }
  std::uint64_t held = 0;
  for (std::uint64_t b = 0; b < blocks; ++b)
  {
    BlockAt block;
    int kind = 0;
    if (this->Block(section, block, kind) != Outcome::Covered)
    {
      return Outcome::Damaged;
    }
    const std::uint64_t bytes = size(block, kind);
    if (bytes == 0)
    {
      return Outcome::Other;
    }
    block.At = this->At;
    if (!this->Skip(block.Count, bytes))
    {
      return this->Damage(std::string("a block of ") + section + " runs past the file's end (" +
        std::to_string(block.Count) + " " + items + ")");
    }
    held += block.Count;
    into.push_back(block);
  }
  if (held != count)
  {
    return this->Damage(std::string(section) + " counts " + std::to_string(count) + " " + items +
      ", but its blocks hold " + std::to_string(held));
  }
  return Outcome::Covered;
}

// A node: its tag and coordinates (parametric ones are gmsh's library's).
std::uint64_t NodeSize(BlockAt&, int parametric)
{
  return parametric == 0 ? sizeof(std::uint64_t) + 3 * sizeof(double) : 0;
}

// An element of a type VTK has a cell for (the others' names are gmsh's
// library's): its tag and its nodes' tags.
std::uint64_t ElementSize(BlockAt& block, int type)
{
  block.Type = msh::FindElementType(type);
  return block.Type ? (1 + block.Type->Nodes) * sizeof(std::uint64_t) : 0;
}

// A section's contents; Other for a section gmsh's library is left to read.
Outcome Walk::Contents(const std::string& name)
{
  if (name == "MeshFormat")
  {
    return this->Format();
  }
  if (name == "PhysicalNames")
  {
    return this->PhysicalNames();
  }
  if (name == "Entities")
  {
    return this->EntitiesSection();
  }
  if (name == "Nodes")
  {
    return this->BlocksSection(
      "$Nodes", "nodes", this->NodeCount, this->MaxNodeTag, this->Nodes, &NodeSize);
  }
  if (name == "Elements")
  {
    return this->BlocksSection("$Elements",
      "elements",
      this->ElementCount,
      this->MaxElementTag,
      this->Elements,
      &ElementSize);
  }
  return Outcome::Other;
}

// A section's contents, then its end line.
Outcome Walk::Section(const std::string& name)
{
  if (!this->Seen.insert(name).second || (name != "MeshFormat" && !this->Seen.count("MeshFormat")))
  {
    return Outcome::Other;
  }
  const bool blocks = name == "Nodes" || name == "Elements";
  if (blocks && !this->Seen.count("Entities"))
  {
    return Outcome::Other; // gmsh makes the entities up
  }
  const Outcome outcome = this->Contents(name);
  std::string end;
  if (outcome == Outcome::Covered && (!this->Word(end) || end != "$End" + name))
  {
    return this->Damage("$" + name + " does not end where its counts say (is a count damaged?)");
  }
  return outcome;
}

// Every section in turn.
Outcome Walk::All()
{
  std::string line;
  while (this->Word(line))
  {
    if (line.size() < 2 || line[0] != '$')
    {
      return this->Seen.empty()
        ? Outcome::Other
        : this->Damage("text where a section should start: '" + line.substr(0, 40) + "'");
    }
    const Outcome outcome = this->Section(line.substr(1));
    if (outcome != Outcome::Covered)
    {
      return outcome;
    }
  }
  if (this->At < this->Size || !this->Seen.count("Elements"))
  {
    return this->Seen.count("MeshFormat") ? this->Damage("the file is cut short") : Outcome::Other;
  }
  return Outcome::Covered;
}

// The order in which gmsh's library lists an entity's element types (see
// GEntity's element lists): within an entity, triangles before
// quadrangles, tetrahedra before hexahedra, prisms and pyramids.
int KindRank(const msh::ElementType& type)
{
  switch (type.Linear)
  {
    case VTK_QUAD:
    case VTK_HEXAHEDRON:
      return 1;
    case VTK_WEDGE:
      return 2;
    case VTK_PYRAMID:
      return 3;
    default:
      return 0;
  }
}

// The blocks in gmsh's order: entities by dimension and tag, an entity's
// elements by kind, each in the file's order.
void SortBlocks(std::vector<BlockAt>& blocks)
{
  std::stable_sort(blocks.begin(),
    blocks.end(),
    [](const BlockAt& a, const BlockAt& b)
    {
      const int ra = a.Type ? KindRank(*a.Type) : 0, rb = b.Type ? KindRank(*b.Type) : 0;
      return std::tie(a.Dim, a.Tag, ra) < std::tie(b.Dim, b.Tag, rb);
    });
}

// The nodes' tags and coordinates, in gmsh's order; false with why set for
// a tag of 0 or past the largest the section gives.
bool TakeNodes(Walk& walk, std::vector<std::size_t>& tags, std::vector<double>& coords)
{
  SortBlocks(walk.Nodes);
  tags.resize(static_cast<std::size_t>(walk.NodeCount));
  coords.resize(3 * tags.size());
  std::size_t at = 0;
  for (const BlockAt& block : walk.Nodes)
  {
    const auto n = static_cast<std::size_t>(block.Count);
    if (n == 0)
    {
      continue; // an empty vector's data may be null
    }
    std::memcpy(tags.data() + at, walk.Data + block.At, n * sizeof(std::size_t));
    std::memcpy(coords.data() + 3 * at,
      walk.Data + block.At + n * sizeof(std::size_t),
      3 * n * sizeof(double));
    at += n;
  }
  const auto bad = std::find_if(tags.begin(),
    tags.end(),
    [&walk](std::size_t tag) { return tag == 0 || tag > walk.MaxNodeTag; });
  if (bad != tags.end())
  {
    walk.Why = "node tag " + std::to_string(*bad) + " is past the largest $Nodes gives, " +
      std::to_string(walk.MaxNodeTag);
    return false;
  }
  return true;
}

// Each block's elements split into their tags and node tags, into cells;
// false with why set for a tag past the largest its section gives.
bool TakeElements(Walk& walk, msh::Parts& parts, msh::Cells& cells)
{
  SortBlocks(walk.Elements);
  for (const BlockAt& block : walk.Elements)
  {
    const auto n = static_cast<std::size_t>(block.Type->Nodes);
    const auto count = static_cast<std::size_t>(block.Count);
    std::vector<std::size_t> tags(count), nodes(count * n);
    const unsigned char* from = walk.Data + block.At;
    for (std::size_t e = 0; e < count; ++e, from += (n + 1) * sizeof(std::size_t))
    {
      std::memcpy(&tags[e], from, sizeof(std::size_t));
      std::memcpy(&nodes[e * n], from + sizeof(std::size_t), n * sizeof(std::size_t));
    }
    const auto past = [](std::uint64_t top) { return [top](std::size_t t) { return t > top; }; };
    const auto tag = std::find_if(tags.begin(), tags.end(), past(walk.MaxElementTag));
    const auto node = std::find_if(nodes.begin(), nodes.end(), past(walk.MaxNodeTag));
    if (tag != tags.end() || node != nodes.end())
    {
      walk.Why = tag != tags.end()
        ? "element tag " + std::to_string(*tag) + " is past the largest $Elements gives, " +
          std::to_string(walk.MaxElementTag)
        : "element " + std::to_string(tags[static_cast<std::size_t>(node - nodes.begin()) / n]) +
          " names node " + std::to_string(*node) + ", past the largest node tag, " +
          std::to_string(walk.MaxNodeTag);
      return false;
    }
    int group = 0;
    const int part = parts.OfEntity(block.Dim, walk.Entities[{ block.Dim, block.Tag }], group);
    if (!msh::AddBlock(*block.Type, tags, nodes, part, group, cells, walk.Why))
    {
      return false;
    }
  }
  return true;
}

// The physical groups of the entities, by dimension and tag as gmsh's
// library lists them, named by $PhysicalNames.
void TakeGroups(const Walk& walk, msh::Parts& parts)
{
  std::set<std::pair<int, int>> groups;
  for (const auto& [entity, of] : walk.Entities)
  {
    for (const int group : of)
    {
      groups.insert({ entity.first, std::abs(group) });
    }
  }
  for (const auto& group : groups)
  {
    const auto name = walk.Names.find(group);
    parts.AddGroup(group.first, group.second, name == walk.Names.end() ? "" : name->second);
  }
}

Outcome WalkFile(const MappedFile& file, Walk& walk)
{
  walk.Data = file.Data;
  walk.Size = file.Size;
  return walk.All();
}
} // namespace

//------------------------------------------------------------------------------
bool CoversGmshBinary(const std::string& path)
{
  const auto file = MapFile(path, false);
  Walk walk;
  return file && WalkFile(*file, walk) != Outcome::Other;
}

//------------------------------------------------------------------------------
vtkSmartPointer<vtkDataSet> ReadGmshBinary(const std::string& path,
  std::ostream& /*log*/,
  std::string& error)
{
  const auto file = MapFile(path, true);
  Walk walk;
  const Outcome outcome = file ? WalkFile(*file, walk) : Outcome::Other;
  if (outcome != Outcome::Covered)
  {
    Refuse(path, outcome == Outcome::Other ? "it changed while it was read" : walk.Why, error);
    return nullptr;
  }
  msh::Parts parts;
  parts.FileName = path;
  TakeGroups(walk, parts);
  std::vector<std::size_t> tags;
  std::vector<double> coords;
  msh::Cells cells;
  auto grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
  std::vector<vtkIdType> pointOfNode;
  if (!TakeNodes(walk, tags, coords) || !TakeElements(walk, parts, cells))
  {
    Refuse(path, walk.Why, error);
    return nullptr;
  }
  const msh::NodeIndex index(tags);
  std::vector<std::size_t>().swap(tags);
  if (!msh::BuildGrid(grid, coords, index, cells, parts, pointOfNode, walk.Why))
  {
    Refuse(path, walk.Why, error);
    return nullptr;
  }
  return grid;
}

} // namespace orvi
