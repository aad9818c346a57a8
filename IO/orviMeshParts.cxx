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
#include "vtkTypeInt32Array.h"
#include "vtkTypeInt64Array.h"
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

// Cuts array to its first tuples tuples where its values lie: an array
// taken over from the reading child lies in memory that a resize would copy.
void Truncate(vtkAbstractArray* array, vtkIdType tuples)
{
  auto* values = vtkDataArray::SafeDownCast(array);
  if (tuples >= array->GetNumberOfTuples())
  {
    return;
  }
  if (!values || tuples == 0)
  {
    array->SetNumberOfTuples(tuples);
    return;
  }
  std::vector<double> last(static_cast<std::size_t>(values->GetNumberOfComponents()));
  values->GetTuple(tuples - 1, last.data());
  values->Reset();
  values->InsertTuple(tuples - 1, last.data());
}

// Moves tuple from[i] of every array to tuple i (from ascending, so no
// tuple is overwritten before it is moved), then cuts them to from's size.
void KeepTuples(vtkFieldData* data, const vtkIdType* from, vtkIdType count)
{
  for (int a = 0; a < data->GetNumberOfArrays(); ++a)
  {
    vtkAbstractArray* array = data->GetAbstractArray(a);
    for (vtkIdType i = 0; i < count; ++i)
    {
      if (from[i] != i)
      {
        array->SetTuple(i, from[i], array);
      }
    }
    Truncate(array, count);
  }
}

// The cells moved to the front of whole's own cell arrays, their points
// renumbered by map, the arrays cut to them.
template <class IdArray>
void KeepCells(IdArray* offsetsArray,
  IdArray* connectivityArray,
  vtkUnsignedCharArray* typesArray,
  vtkIdList* cells,
  const std::vector<vtkIdType>& map)
{
  using Id = typename IdArray::ValueType;
  Id* offsets = offsetsArray->GetPointer(0);
  Id* ids = connectivityArray->GetPointer(0);
  unsigned char* types = typesArray->GetPointer(0);
  const vtkIdType count = cells->GetNumberOfIds();
  for (vtkIdType i = 0; i < count; ++i)
  {
    // Cell i is written where cell i was, which its cells before it have
    // left: at or before cell's own place.
    const vtkIdType cell = cells->GetId(i);
    const Id begin = offsets[cell], end = offsets[cell + 1];
    const Id to = offsets[i];
    std::transform(
      ids + begin, ids + end, ids + to, [&map](Id p) { return static_cast<Id>(map[p]); });
    offsets[i + 1] = static_cast<Id>(to + (end - begin));
    types[i] = types[cell];
  }
  const vtkIdType size = offsets[count];
  Truncate(offsetsArray, count + 1);
  Truncate(connectivityArray, size);
  Truncate(typesArray, count);
}

// The part of whole made of its cells in whole's own arrays, which it
// takes over (whole is then fit for nothing else): its cells and the
// points they use moved to the front, renumbered from 0, every array cut
// to them without a copy.
vtkSmartPointer<vtkUnstructuredGrid> TakeCells(vtkUnstructuredGrid* whole, vtkIdList* cells)
{
  vtkIdType size = 0;
  const std::vector<vtkIdType> map = PointsOfCells(whole, cells, size);
  std::vector<vtkIdType> kept;
  for (std::size_t p = 0; p < map.size(); ++p)
  {
    if (map[p] >= 0)
    {
      kept.push_back(static_cast<vtkIdType>(p));
    }
  }
  vtkCellArray* from = whole->GetCells();
  from->IsStorage64Bit() ? KeepCells(from->GetOffsetsArray64(),
                             from->GetConnectivityArray64(),
                             whole->GetCellTypesArray(),
                             cells,
                             map)
                         : KeepCells(from->GetOffsetsArray32(),
                             from->GetConnectivityArray32(),
                             whole->GetCellTypesArray(),
                             cells,
                             map);
  KeepTuples(whole->GetCellData(), cells->GetPointer(0), cells->GetNumberOfIds());
  if (kept.size() < map.size())
  {
    const auto keptCount = static_cast<vtkIdType>(kept.size());
    KeepTuples(whole->GetPointData(), kept.data(), keptCount);
    vtkNew<vtkFieldData> points;
    points->AddArray(whole->GetPoints()->GetData());
    KeepTuples(points, kept.data(), keptCount);
    whole->GetPoints()->Modified();
  }
  auto part = vtkSmartPointer<vtkUnstructuredGrid>::New();
  part->SetPoints(whole->GetPoints());
  part->GetPointData()->ShallowCopy(whole->GetPointData());
  vtkNew<vtkCellArray> cellArray;
  cellArray->SetData(from->GetOffsetsArray(), from->GetConnectivityArray());
  part->SetCells(whole->GetCellTypesArray(), cellArray);
  part->GetCellData()->ShallowCopy(whole->GetCellData());
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
  std::string& error,
  bool takeOver)
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
  // The part of most cells takes the mesh's arrays over, once the others
  // are copied out of them.
  const std::size_t largest =
    std::max_element(cells.begin(),
      cells.end(),
      [](const vtkSmartPointer<vtkIdList>& a, const vtkSmartPointer<vtkIdList>& b)
      { return a->GetNumberOfIds() < b->GetNumberOfIds(); }) -
    cells.begin();
  const unsigned char* types = grid->GetCellTypesArray()->GetPointer(0);
  const bool take = takeOver &&
    std::find(types, types + grid->GetNumberOfCells(), VTK_POLYHEDRON) ==
      types + grid->GetNumberOfCells();
  std::vector<vtkSmartPointer<vtkUnstructuredGrid>> meshes(names.size());
  for (std::size_t part = 0; part < names.size(); ++part)
  {
    if (used(cells[part]) && !(take && part == largest))
    {
      // The part is a mesh of its own: its cells are numbered from 0.
      meshes[part] = CellsOfPart(grid, cells[part]);
    }
  }
  if (take)
  {
    meshes[largest] = TakeCells(grid, cells[largest]);
    mesh->Initialize();
  }
  for (std::size_t part = 0; part < names.size(); ++part)
  {
    if (meshes[part])
    {
      parts.push_back({ names[part], meshes[part] });
    }
  }
  return true;
}

} // namespace orvi
