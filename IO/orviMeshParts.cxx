#include "orviMeshParts.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCharArray.h"
#include "vtkDataSet.h"
#include "vtkExtractCells.h"
#include "vtkFieldData.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkIntArray.h"
#include "vtkNew.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <numeric>

namespace orvi
{

const char* PartIdArrayName()
{
  return "orvi part id";
}

const char* PartNamesArrayName()
{
  return "orvi part names";
}

void SetPartNames(vtkDataSet* mesh, const std::vector<std::string>& names)
{
  vtkNew<vtkCharArray> text;
  text->SetName(PartNamesArrayName());
  for (const std::string& name : names)
  {
    for (const char c : name)
    {
      text->InsertNextValue(c);
    }
    text->InsertNextValue('\0');
  }
  mesh->GetFieldData()->RemoveArray(PartNamesArrayName());
  mesh->GetFieldData()->AddArray(text);
}

std::vector<std::string> GetPartNames(vtkDataSet* mesh)
{
  std::vector<std::string> names;
  auto* text = vtkCharArray::SafeDownCast(mesh->GetFieldData()->GetArray(PartNamesArrayName()));
  std::string name;
  for (vtkIdType i = 0; text && i < text->GetNumberOfValues(); ++i)
  {
    const char c = text->GetValue(i);
    c == '\0' ? (names.push_back(name), name.clear()) : name.push_back(c);
  }
  return names;
}

namespace
{
// The mesh without its part indices and names, sharing everything else.
vtkSmartPointer<vtkDataSet> WithoutPartArrays(vtkDataSet* mesh)
{
  vtkSmartPointer<vtkDataSet> copy;
  copy.TakeReference(mesh->NewInstance());
  copy->ShallowCopy(mesh);
  copy->GetCellData()->RemoveArray(PartIdArrayName());
  copy->GetFieldData()->RemoveArray(PartNamesArrayName());
  return copy;
}

// Each part's cells, ascending; false when an index names no part.
bool CellsOfParts(vtkIntArray* ids, std::vector<vtkSmartPointer<vtkIdList>>& cells, int& bad)
{
  const int count = static_cast<int>(cells.size());
  const int* id = ids->GetPointer(0);
  const vtkIdType n = ids->GetNumberOfValues();
  std::vector<vtkIdType> sizes(cells.size(), 0);
  for (vtkIdType cell = 0; cell < n; ++cell)
  {
    if (id[cell] < 0 || id[cell] >= count)
    {
      bad = id[cell];
      return false;
    }
    ++sizes[id[cell]];
  }
  for (std::size_t part = 0; part < cells.size(); ++part)
  {
    cells[part] = vtkSmartPointer<vtkIdList>::New();
    cells[part]->SetNumberOfIds(sizes[part]);
    sizes[part] = 0;
  }
  for (vtkIdType cell = 0; cell < n; ++cell)
  {
    cells[id[cell]]->SetId(sizes[id[cell]]++, cell);
  }
  return true;
}

// The tuples ids of from, in to, all arrays copied as vtkExtractCells does.
void CopyTuples(vtkDataSetAttributes* from, vtkIdList* ids, vtkDataSetAttributes* to)
{
  const vtkIdType n = ids->GetNumberOfIds();
  vtkNew<vtkIdList> at;
  at->SetNumberOfIds(n);
  std::iota(at->GetPointer(0), at->GetPointer(0) + n, vtkIdType(0));
  to->CopyAllocate(from, n);
  to->CopyData(from, ids, at);
}

// Each point's id among those the cells use, in the mesh's order, -1 for
// one unused; size is set to the cells' connectivity's.
std::vector<vtkIdType> PointsOfCells(vtkUnstructuredGrid* whole, vtkIdList* cells, vtkIdType& size)
{
  std::vector<vtkIdType> map(static_cast<std::size_t>(whole->GetNumberOfPoints()), -1);
  vtkCellArray* from = whole->GetCells();
  size = 0;
  for (vtkIdType i = 0; i < cells->GetNumberOfIds(); ++i)
  {
    vtkIdType n = 0;
    const vtkIdType* points = nullptr;
    from->GetCellAtId(cells->GetId(i), n, points);
    size += n;
    std::for_each(points, points + n, [&map](vtkIdType p) { map[p] = 0; });
  }
  vtkIdType used = 0;
  for (vtkIdType& p : map)
  {
    p = p == 0 ? used++ : -1;
  }
  return map;
}

// The part of whole made of its cells, in one pass over them: the points
// they use, renumbered from 0 (whole's own points and point data, shared,
// when they use every one), their cells and cell data copied.
vtkSmartPointer<vtkUnstructuredGrid> CopyCells(vtkUnstructuredGrid* whole, vtkIdList* cells)
{
  vtkIdType size = 0;
  const std::vector<vtkIdType> map = PointsOfCells(whole, cells, size);
  vtkNew<vtkIdList> kept;
  for (std::size_t p = 0; p < map.size(); ++p)
  {
    if (map[p] >= 0)
    {
      kept->InsertNextId(static_cast<vtkIdType>(p));
    }
  }
  auto part = vtkSmartPointer<vtkUnstructuredGrid>::New();
  if (kept->GetNumberOfIds() == whole->GetNumberOfPoints())
  {
    part->SetPoints(whole->GetPoints());
    part->GetPointData()->ShallowCopy(whole->GetPointData());
  }
  else
  {
    vtkNew<vtkPoints> points;
    points->SetDataType(whole->GetPoints()->GetDataType());
    points->SetNumberOfPoints(kept->GetNumberOfIds());
    whole->GetPoints()->GetData()->GetTuples(kept, points->GetData());
    part->SetPoints(points);
    CopyTuples(whole->GetPointData(), kept, part->GetPointData());
  }
  const vtkIdType count = cells->GetNumberOfIds();
  vtkNew<vtkIdTypeArray> offsets, connectivity;
  vtkNew<vtkUnsignedCharArray> types;
  offsets->SetNumberOfValues(count + 1);
  connectivity->SetNumberOfValues(size);
  types->SetNumberOfValues(count);
  vtkIdType* to = connectivity->GetPointer(0);
  vtkIdType* offset = offsets->GetPointer(0);
  const unsigned char* typeOf = whole->GetCellTypesArray()->GetPointer(0);
  offset[0] = 0;
  for (vtkIdType i = 0; i < count; ++i)
  {
    vtkIdType n = 0;
    const vtkIdType* points = nullptr;
    const vtkIdType cell = cells->GetId(i);
    whole->GetCells()->GetCellAtId(cell, n, points);
    to = std::transform(points, points + n, to, [&map](vtkIdType p) { return map[p]; });
    offset[i + 1] = offset[i] + n;
    types->SetValue(i, typeOf[cell]);
  }
  vtkNew<vtkCellArray> cellArray;
  cellArray->SetData(offsets, connectivity);
  part->SetCells(types, cellArray);
  CopyTuples(whole->GetCellData(), cells, part->GetCellData());
  part->GetFieldData()->PassData(whole->GetFieldData());
  return part;
}

// The part of whole made of its cells: copied in one pass, or by
// vtkExtractCells for a grid with polyhedra (their faces to copy too).
vtkSmartPointer<vtkUnstructuredGrid> CellsOfPart(vtkUnstructuredGrid* whole, vtkIdList* cells)
{
  if (!whole->GetFaces())
  {
    return CopyCells(whole, cells);
  }
  vtkNew<vtkExtractCells> extract;
  extract->SetInputData(whole);
  extract->SetCellList(cells);
  extract->AssumeSortedAndUniqueIdsOn();
  extract->Update();
  vtkSmartPointer<vtkUnstructuredGrid> part = extract->GetOutput();
  part->GetCellData()->RemoveArray("vtkOriginalCellIds");
  part->GetPointData()->RemoveArray("vtkOriginalPointIds");
  return part;
}
} // namespace

bool SplitMeshParts(vtkDataSet* mesh,
  const std::string& name,
  std::vector<MeshPart>& parts,
  std::string& error)
{
  parts.clear();
  auto* ids = vtkIntArray::SafeDownCast(mesh->GetCellData()->GetArray(PartIdArrayName()));
  const std::vector<std::string> names = GetPartNames(mesh);
  if (!ids)
  {
    parts.push_back({ name, WithoutPartArrays(mesh) });
    return true;
  }
  std::vector<vtkSmartPointer<vtkIdList>> cells(names.size());
  int bad = 0;
  if (!CellsOfParts(ids, cells, bad))
  {
    error = "cannot read '" + name + "': cell part " + std::to_string(bad) + " names no part (" +
      std::to_string(names.size()) + " named)";
    return false;
  }
  const auto used = [](const vtkSmartPointer<vtkIdList>& list)
  { return list->GetNumberOfIds() > 0; };
  if (std::count_if(cells.begin(), cells.end(), used) == 1)
  {
    const auto only = std::find_if(cells.begin(), cells.end(), used) - cells.begin();
    parts.push_back({ names[only], WithoutPartArrays(mesh) });
    return true;
  }
  if (!vtkUnstructuredGrid::SafeDownCast(mesh))
  {
    error = "cannot read '" + name + "': its parts are not cells of an unstructured grid";
    return false;
  }
  const vtkSmartPointer<vtkDataSet> whole = WithoutPartArrays(mesh);
  auto* grid = vtkUnstructuredGrid::SafeDownCast(whole);
  for (std::size_t part = 0; part < names.size(); ++part)
  {
    if (used(cells[part]))
    {
      // The part is a mesh of its own: its cells are numbered from 0.
      parts.push_back({ names[part], CellsOfPart(grid, cells[part]) });
    }
  }
  return true;
}

} // namespace orvi
