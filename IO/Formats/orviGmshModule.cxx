#include "orviGmshModule.h"
#include "orviGmshCells.h"

#include "vtkAlgorithm.h"
#include "vtkCellData.h"
#include "vtkDoubleArray.h"
#include "vtkPointData.h"
#include "vtkUnstructuredGrid.h"

#include <gmsh.h>

#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvi
{
namespace
{
// gmsh's state for one read: initialised without its configuration files,
// its terminal output off and its messages kept; finalised when the next
// read starts or the program ends (see Start()).
struct GmshSession
{
  GmshSession()
  {
    gmsh::initialize(0, nullptr, false);
    gmsh::option::setNumber("General.Terminal", 0);
    gmsh::logger::start();
  }
  ~GmshSession() { gmsh::finalize(); }
  GmshSession(const GmshSession&) = delete;
  GmshSession& operator=(const GmshSession&) = delete;

  // A new session, the last read's let go first. The model of a read stays
  // until then: the loader's reading child ends with the read, without
  // paying for the teardown of a model of a million elements.
  static void Start()
  {
    static std::unique_ptr<GmshSession> current;
    current.reset();
    current = std::make_unique<GmshSession>();
  }

  // gmsh's first error of the read (its last one is often a plain "Error
  // loading"), or what was thrown when gmsh said none.
  static std::string Error(const std::string& thrown)
  {
    std::vector<std::string> messages;
    gmsh::logger::get(messages);
    const std::string prefix = "Error: ";
    for (const std::string& message : messages)
    {
      // gmsh's reader of version 2 files says no more than that.
      if (message.rfind(prefix + "Error loading", 0) == 0)
      {
        return "gmsh's reader stopped in it: the file is damaged or cut short";
      }
      if (message.rfind(prefix, 0) == 0)
      {
        return message.substr(prefix.size());
      }
    }
    std::string last;
    gmsh::logger::getLastError(last);
    return !last.empty() ? last : !thrown.empty() ? thrown : "gmsh failed without saying why";
  }
};

// The physical groups, in gmsh's order, as parts.
void ReadGroups(msh::Parts& parts)
{
  gmsh::vectorpair groups;
  gmsh::model::getPhysicalGroups(groups);
  for (const auto& [dim, tag] : groups)
  {
    std::string name;
    gmsh::model::getPhysicalName(dim, tag, name);
    parts.AddGroup(dim, tag, name);
  }
}

// The error for an element of a type VTK has no cell for, named as gmsh
// names it.
std::string UnknownType(int gmshType, const std::vector<std::size_t>& tags)
{
  std::string name;
  int dim = 0, order = 0, count = 0, primary = 0;
  std::vector<double> coords;
  gmsh::model::mesh::getElementProperties(gmshType, name, dim, order, count, coords, primary);
  return "element " + std::to_string(tags.empty() ? 0 : tags[0]) + " is a " + name +
    " (gmsh element type " + std::to_string(gmshType) + "), which has no VTK cell type";
}

// Every entity's elements, in gmsh's order of entities.
bool ReadElements(msh::Parts& parts, msh::Cells& cells, std::string& error)
{
  gmsh::vectorpair entities;
  gmsh::model::getEntities(entities);
  for (const auto& [dim, tag] : entities)
  {
    // By type, where gmsh sizes its vectors once, unlike getElements.
    std::vector<int> types;
    gmsh::model::mesh::getElementTypes(types, dim, tag);
    std::vector<int> groups;
    if (!types.empty())
    {
      gmsh::model::getPhysicalGroupsForEntity(dim, tag, groups);
    }
    int group = 0;
    const int part = types.empty() ? -1 : parts.OfEntity(dim, groups, group);
    for (const int type : types)
    {
      std::vector<std::size_t> tags, nodes;
      gmsh::model::mesh::getElementsByType(type, tags, nodes, tag);
      const msh::ElementType* known = msh::FindElementType(type);
      if (!known)
      {
        error = UnknownType(type, tags);
        return false;
      }
      if (!msh::AddBlock(*known, tags, nodes, part, group, cells, error))
      {
        return false;
      }
    }
  }
  return true;
}

// The first step of each view saved with the mesh whose values are given
// per node or per element, as a point or cell array named after the view.
void AddViews(vtkUnstructuredGrid* grid,
  const msh::NodeIndex& index,
  const std::vector<vtkIdType>& pointOfNode,
  const msh::Cells& cells)
{
  std::vector<int> views;
  gmsh::view::getTags(views);
  std::unordered_map<std::size_t, std::vector<vtkIdType>> cellsOfTag;
  for (const int view : views)
  {
    std::string type, name;
    std::vector<std::size_t> tags;
    std::vector<double> data;
    double time = 0.0;
    int components = 0;
    try
    {
      gmsh::view::getHomogeneousModelData(view, 0, type, tags, data, time, components);
    }
    catch (...)
    {
      continue; // a view of its own points (list data), not of the mesh
    }
    const bool perNode = type == "NodeData";
    if ((!perNode && type != "ElementData") || components < 1 ||
      data.size() != tags.size() * static_cast<std::size_t>(components))
    {
      continue;
    }
    if (!perNode && cellsOfTag.empty())
    {
      for (const msh::Block& block : cells.Blocks)
      {
        for (std::size_t e = 0; e < block.Tags.size(); ++e)
        {
          cellsOfTag[block.Tags[e]].push_back(block.First + static_cast<vtkIdType>(e));
        }
      }
    }
    gmsh::option::getString("View[" + std::to_string(gmsh::view::getIndex(view)) + "].Name", name);
    vtkNew<vtkDoubleArray> values;
    values->SetName(name.c_str());
    values->SetNumberOfComponents(components);
    values->SetNumberOfTuples(perNode ? grid->GetNumberOfPoints() : grid->GetNumberOfCells());
    values->Fill(std::numeric_limits<double>::quiet_NaN());
    for (std::size_t i = 0; i < tags.size(); ++i)
    {
      const double* tuple = data.data() + i * static_cast<std::size_t>(components);
      const vtkIdType node = perNode ? index(tags[i]) : -1;
      if (node >= 0 && pointOfNode[node] >= 0)
      {
        values->SetTuple(pointOfNode[node], tuple);
      }
      const auto found = perNode ? cellsOfTag.end() : cellsOfTag.find(tags[i]);
      for (std::size_t c = 0; found != cellsOfTag.end() && c < found->second.size(); ++c)
      {
        values->SetTuple(found->second[c], tuple);
      }
    }
    (perNode ? static_cast<vtkDataSetAttributes*>(grid->GetPointData()) : grid->GetCellData())
      ->AddArray(values);
  }
}

} // namespace

} // namespace orvi

//------------------------------------------------------------------------------
extern "C" bool orviGmshRead(const char* fileName,
  vtkUnstructuredGrid* grid,
  vtkAlgorithm* progress,
  std::string& error)
{
  using namespace orvi;
  GmshSession::Start();
  try
  {
    gmsh::open(fileName);
    progress->UpdateProgress(0.5);
    std::vector<std::size_t> nodeTags;
    std::vector<double> coords, parametric;
    gmsh::model::mesh::getNodes(nodeTags, coords, parametric, -1, -1, false, false);
    const msh::NodeIndex index(nodeTags);
    std::vector<std::size_t>().swap(nodeTags);
    msh::Parts parts;
    parts.FileName = fileName;
    ReadGroups(parts);
    msh::Cells cells;
    std::vector<vtkIdType> pointOfNode;
    if (ReadElements(parts, cells, error) &&
      msh::BuildGrid(grid, coords, index, cells, parts, pointOfNode, error))
    {
      progress->UpdateProgress(0.8);
      AddViews(grid, index, pointOfNode, cells);
    }
  }
  catch (const std::bad_alloc&)
  {
    throw; // the loader's message for a file claiming more than memory holds
  }
  catch (const std::exception& thrown)
  {
    error = GmshSession::Error(thrown.what());
  }
  catch (...)
  {
    error = GmshSession::Error({});
  }
  return error.empty();
}
