// VTK's XML files that name other mesh files: a time series (.pvd), a
// multiblock (.vtm) and a mesh written in pieces (.pvtu, .pvtp). Their XML
// is read here; every file they name goes through LoadMesh().
#include "orviFormatChecks.h"
#include "orviJoinPieces.h"
#include "orviMeshCollections.h"

#include "vtkAppendFilter.h"
#include "vtkAppendPolyData.h"
#include "vtkCellData.h"
#include "vtkDataArray.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkUnstructuredGrid.h"
#include "vtkXMLDataElement.h"
#include "vtkXMLDataParser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace orvi
{

namespace
{
// The elements of parent named name, in order.
std::vector<vtkXMLDataElement*> Children(vtkXMLDataElement* parent, const char* name)
{
  std::vector<vtkXMLDataElement*> children;
  for (int i = 0; parent && i < parent->GetNumberOfNestedElements(); ++i)
  {
    vtkXMLDataElement* child = parent->GetNestedElement(i);
    if (std::strcmp(child->GetName(), name) == 0)
    {
      children.push_back(child);
    }
  }
  return children;
}

std::string Quoted(const char* text)
{
  return std::string("'") + (text ? text : "") + "'";
}

//------------------------------------------------------------------------------
// .pvd: DataSet elements with a timestep, a part and a file; the data sets
// of one time are one step's parts.
struct SeriesEntry
{
  double Time = 0.0;
  int Part = 0;
  std::string Name;
  const char* File = nullptr;
};

std::unique_ptr<MeshFile> OpenSeries(const std::string& path, std::ostream&, std::string& error)
{
  vtkSmartPointer<vtkXMLDataParser> parser;
  vtkXMLDataElement* root = ParseCollection(path, "Collection", parser, error);
  if (!root)
  {
    return nullptr;
  }
  std::vector<SeriesEntry> entries;
  for (vtkXMLDataElement* collection : Children(root, "Collection"))
  {
    for (vtkXMLDataElement* set : Children(collection, "DataSet"))
    {
      SeriesEntry entry;
      entry.Time = static_cast<double>(entries.size());
      const bool timed =
        !set->GetAttribute("timestep") || set->GetScalarAttribute("timestep", entry.Time);
      set->GetScalarAttribute("part", entry.Part);
      if (!timed || !std::isfinite(entry.Time))
      {
        error = "cannot open '" + path + "': data set " + std::to_string(entries.size() + 1) +
          " has the timestep " + Quoted(set->GetAttribute("timestep")) + ", not a number";
        return nullptr;
      }
      entry.Name = set->GetAttribute("name") ? set->GetAttribute("name") : "";
      entry.File = set->GetAttribute("file");
      entries.push_back(entry);
    }
  }
  if (entries.empty())
  {
    error = "cannot open '" + path + "': it names no data set";
    return nullptr;
  }
  std::stable_sort(entries.begin(),
    entries.end(),
    [](const SeriesEntry& a, const SeriesEntry& b) { return a.Time < b.Time; });
  std::vector<double> times;
  for (const SeriesEntry& entry : entries)
  {
    if (times.empty() || entry.Time != times.back())
    {
      times.push_back(entry.Time);
    }
  }
  std::vector<std::vector<MeshLeaf>> steps(times.size());
  const bool onePart = times.size() == entries.size();
  for (const SeriesEntry& entry : entries)
  {
    const std::size_t step =
      static_cast<std::size_t>(std::find(times.begin(), times.end(), entry.Time) - times.begin());
    const std::string label = "step " + std::to_string(step + 1) + " of " +
      std::to_string(times.size()) + " " + Quoted(entry.File);
    const std::string name = !entry.Name.empty() ? entry.Name
      : onePart                                  ? path
                                                 : "part " + std::to_string(entry.Part);
    const std::string leaf = LeafPath(path, entry.File, label, error);
    if (leaf.empty())
    {
      return nullptr;
    }
    steps[step].push_back({ label, name, leaf, {} });
  }
  return std::make_unique<CollectionFile>(path, std::move(times), std::move(steps));
}

//------------------------------------------------------------------------------
// .vtm: Block elements holding DataSet elements (or Piece elements holding
// them), each data set with a file one part named after it.
bool AddBlocks(const std::string& path,
  vtkXMLDataElement* parent,
  const std::string& prefix,
  std::vector<MeshLeaf>& leaves,
  std::string& error)
{
  for (int i = 0; i < parent->GetNumberOfNestedElements(); ++i)
  {
    vtkXMLDataElement* child = parent->GetNestedElement(i);
    const char* given = child->GetAttribute("name");
    const std::string name =
      given && *given ? prefix + given : prefix + "block " + std::to_string(i);
    if (std::strcmp(child->GetName(), "DataSet") == 0 && child->GetAttribute("file"))
    {
      const std::string label = "block " + Quoted(name.c_str());
      const std::string leaf = LeafPath(path, child->GetAttribute("file"), label, error);
      if (leaf.empty())
      {
        return false;
      }
      leaves.push_back({ label, name, leaf, {} });
    }
    else if ((std::strcmp(child->GetName(), "Block") == 0 ||
               std::strcmp(child->GetName(), "Piece") == 0) &&
      !AddBlocks(path, child, given && *given ? name + "/" : prefix, leaves, error))
    {
      return false;
    }
  }
  return true;
}

std::unique_ptr<MeshFile> OpenBlocks(const std::string& path, std::ostream&, std::string& error)
{
  vtkSmartPointer<vtkXMLDataParser> parser;
  vtkXMLDataElement* root = ParseCollection(path, "vtkMultiBlockDataSet", parser, error);
  std::vector<MeshLeaf> leaves;
  for (vtkXMLDataElement* blocks : Children(root, "vtkMultiBlockDataSet"))
  {
    if (!AddBlocks(path, blocks, "", leaves, error))
    {
      return nullptr;
    }
  }
  if (root && leaves.empty())
  {
    error = "cannot open '" + path + "': it names no data set";
  }
  return leaves.empty()
    ? nullptr
    : std::make_unique<CollectionFile>(
        path, std::vector<double>{}, std::vector<std::vector<MeshLeaf>>{ leaves });
}

//------------------------------------------------------------------------------
// .pvtu, .pvtp: a summary declaring the arrays, then the pieces' files.
// Every piece must hold what the summary declares (VTK's own reader of the
// summary trusts it, and corrupts its heap where a piece's array has
// another type); the pieces are one part: an unstructured grid's pieces
// joined at their interface points (see orviJoinPieces.h), polygonal data's
// and polyhedra's appended as VTK's reader appends them.
std::string XMLTypeName(vtkDataArray* array)
{
  const bool real = array->GetDataType() == VTK_FLOAT || array->GetDataType() == VTK_DOUBLE;
  return std::string(real                  ? "Float"
             : array->GetDataTypeMin() < 0 ? "Int"
                                           : "UInt") +
    std::to_string(8 * array->GetDataTypeSize());
}

// An array the summary declares: where it lies, its name, type and
// components.
struct DeclaredArray
{
  const char* Where = nullptr;
  std::string Name;
  std::string Type;
  int Components = 1;
};

class PiecesFile : public MeshFile
{
public:
  PiecesFile(const std::string& path, bool poly)
    : MeshFile(path)
    , Poly(poly)
  {
  }

  bool Open(vtkXMLDataElement* summary, std::string& error)
  {
    for (const char* where : { "PPointData", "PCellData", "PPoints" })
    {
      for (vtkXMLDataElement* data : Children(summary, where))
      {
        for (vtkXMLDataElement* array : Children(data, "PDataArray"))
        {
          DeclaredArray declared{ where,
            array->GetAttribute("Name") ? array->GetAttribute("Name") : "",
            array->GetAttribute("type") ? array->GetAttribute("type") : "" };
          array->GetScalarAttribute("NumberOfComponents", declared.Components);
          this->Declared.push_back(declared);
        }
      }
    }
    const std::vector<vtkXMLDataElement*> pieces = Children(summary, "Piece");
    for (std::size_t i = 0; i < pieces.size(); ++i)
    {
      const std::string label = "piece " + std::to_string(i + 1) + " of " +
        std::to_string(pieces.size()) + " " + Quoted(pieces[i]->GetAttribute("Source"));
      const std::string leaf =
        LeafPath(this->Path, pieces[i]->GetAttribute("Source"), label, error);
      if (leaf.empty())
      {
        return false;
      }
      this->Leaves.push_back({ label, this->Path, leaf, {} });
    }
    if (this->Leaves.empty())
    {
      error = "cannot open '" + this->Path + "': it names no piece";
    }
    return !this->Leaves.empty();
  }

  bool ReadStep(std::size_t step,
    std::vector<MeshPart>& parts,
    std::ostream& log,
    std::string& error,
    const std::function<void()>& whileReading,
    const std::function<void(MeshPart&)>& afterRead) override
  {
    std::vector<MeshPart> pieces;
    if (!this->StartStep(step, parts, error))
    {
      return false;
    }
    if (!ReadLeaves(this->Path,
          this->Leaves,
          pieces,
          log,
          error,
          whileReading,
          {},
          [this](std::size_t, vtkDataSet* piece) { return this->CheckPiece(piece); }))
    {
      return false;
    }
    vtkSmartPointer<vtkDataSet> mesh = this->Join(pieces, error);
    if (!mesh)
    {
      return false;
    }
    parts.push_back({ this->Path, mesh });
    if (afterRead)
    {
      afterRead(parts.back());
    }
    return true;
  }

private:
  // The piece against the summary: its kind, each declared array there
  // with the declared type and components.
  std::string CheckPiece(vtkDataSet* piece) const
  {
    if (this->Poly ? !vtkPolyData::SafeDownCast(piece) : !vtkUnstructuredGrid::SafeDownCast(piece))
    {
      return std::string("it is not ") + (this->Poly ? "polygonal data" : "an unstructured grid") +
        " as the summary is";
    }
    for (const DeclaredArray& declared : this->Declared)
    {
      vtkDataArray* array = std::strcmp(declared.Where, "PPoints") == 0
        ? vtkPointSet::SafeDownCast(piece)->GetPoints()->GetData()
        : std::strcmp(declared.Where, "PPointData") == 0
        ? piece->GetPointData()->GetArray(declared.Name.c_str())
        : piece->GetCellData()->GetArray(declared.Name.c_str());
      const std::string what = std::string("the summary's ") + declared.Where + " array " +
        Quoted(declared.Name.c_str()) + " (" + declared.Type + ", " +
        std::to_string(declared.Components) + " component(s))";
      if (!array)
      {
        return what + " is not in the piece";
      }
      if (XMLTypeName(array) != declared.Type ||
        array->GetNumberOfComponents() != declared.Components)
      {
        return what + " is " + XMLTypeName(array) + ", " +
          std::to_string(array->GetNumberOfComponents()) + " component(s) in the piece";
      }
    }
    return {};
  }

  // The pieces as one mesh, each let go once it is in; null with error set
  // when they cannot be joined.
  vtkSmartPointer<vtkDataSet> Join(std::vector<MeshPart>& pieces, std::string& error) const
  {
    if (pieces.size() == 1)
    {
      return pieces[0].Mesh;
    }
    std::vector<vtkSmartPointer<vtkUnstructuredGrid>> grids;
    for (const MeshPart& piece : pieces)
    {
      auto* grid = vtkUnstructuredGrid::SafeDownCast(piece.Mesh);
      if (grid && !grid->GetFaces())
      {
        grids.emplace_back(grid);
      }
    }
    if (grids.size() < pieces.size())
    {
      return this->Append(pieces);
    }
    pieces.clear();
    std::string why;
    vtkSmartPointer<vtkDataSet> joined = JoinPieces(grids, why);
    if (!joined)
    {
      error = "cannot read '" + this->Path + "': its pieces cannot be joined: " + why;
    }
    return joined;
  }

  vtkSmartPointer<vtkDataSet> Append(const std::vector<MeshPart>& pieces) const
  {
    vtkSmartPointer<vtkAlgorithm> append;
    if (this->Poly)
    {
      append = vtkSmartPointer<vtkAppendPolyData>::New();
    }
    else
    {
      append = vtkSmartPointer<vtkAppendFilter>::New();
    }
    for (const MeshPart& piece : pieces)
    {
      append->AddInputDataObject(piece.Mesh);
    }
    append->Update();
    return vtkDataSet::SafeDownCast(append->GetOutputDataObject(0));
  }

  bool Poly;
  std::vector<DeclaredArray> Declared;
  std::vector<MeshLeaf> Leaves;
};

template <bool Poly>
std::unique_ptr<MeshFile> OpenPieces(const std::string& path, std::ostream&, std::string& error)
{
  const char* type = Poly ? "PPolyData" : "PUnstructuredGrid";
  vtkSmartPointer<vtkXMLDataParser> parser;
  vtkXMLDataElement* root = ParseCollection(path, type, parser, error);
  const std::vector<vtkXMLDataElement*> summaries = Children(root, type);
  auto file = std::make_unique<PiecesFile>(path, Poly);
  if (root && summaries.empty())
  {
    error = "cannot open '" + path + "': it has no " + type + " element";
  }
  return !summaries.empty() && file->Open(summaries[0], error) ? std::move(file) : nullptr;
}
} // namespace

//------------------------------------------------------------------------------
std::unique_ptr<MeshFile> OpenTimeSeries(const std::string& path,
  std::ostream& log,
  std::string& error)
{
  return OpenSeries(path, log, error);
}

std::unique_ptr<MeshFile> OpenMultiBlock(const std::string& path,
  std::ostream& log,
  std::string& error)
{
  return OpenBlocks(path, log, error);
}

std::unique_ptr<MeshFile> OpenGridPieces(const std::string& path,
  std::ostream& log,
  std::string& error)
{
  return OpenPieces<false>(path, log, error);
}

std::unique_ptr<MeshFile> OpenPolyPieces(const std::string& path,
  std::ostream& log,
  std::string& error)
{
  return OpenPieces<true>(path, log, error);
}

} // namespace orvi
