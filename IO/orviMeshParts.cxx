#include "orviMeshParts.h"

#include "vtkCellData.h"
#include "vtkCharArray.h"
#include "vtkDataSet.h"
#include "vtkExtractCells.h"
#include "vtkFieldData.h"
#include "vtkIdList.h"
#include "vtkIntArray.h"
#include "vtkNew.h"
#include "vtkPointData.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>

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
  for (auto& list : cells)
  {
    list = vtkSmartPointer<vtkIdList>::New();
  }
  for (vtkIdType cell = 0; cell < ids->GetNumberOfValues(); ++cell)
  {
    const int id = ids->GetValue(cell);
    if (id < 0 || id >= count)
    {
      bad = id;
      return false;
    }
    cells[id]->InsertNextId(cell);
  }
  return true;
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
  for (std::size_t part = 0; part < names.size(); ++part)
  {
    if (used(cells[part]))
    {
      vtkNew<vtkExtractCells> extract;
      extract->SetInputData(whole);
      extract->SetCellList(cells[part]);
      extract->AssumeSortedAndUniqueIdsOn();
      extract->Update();
      // The part is a mesh of its own: its cells are numbered from 0.
      vtkUnstructuredGrid* cellsOfPart = extract->GetOutput();
      cellsOfPart->GetCellData()->RemoveArray("vtkOriginalCellIds");
      cellsOfPart->GetPointData()->RemoveArray("vtkOriginalPointIds");
      parts.push_back({ names[part], cellsOfPart });
    }
  }
  return true;
}

} // namespace orvi
