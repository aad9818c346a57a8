#include "orviPickedCells.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkIdTypeArray.h"
#include "vtkPolyData.h"

#include <algorithm>

namespace orvi
{

namespace
{
vtkIdTypeArray* OriginalIds(vtkPolyData* surface)
{
  return vtkIdTypeArray::SafeDownCast(surface->GetCellData()->GetArray("vtkOriginalCellIds"));
}
} // namespace

//------------------------------------------------------------------------------
std::vector<vtkIdType> MeshCellsOfFaces(vtkPolyData* surface, vtkIdTypeArray* faces)
{
  std::vector<vtkIdType> cells;
  vtkIdTypeArray* original = OriginalIds(surface);
  const vtkIdType numFaces = surface->GetNumberOfCells();
  for (vtkIdType i = 0; faces && i < faces->GetNumberOfValues(); ++i)
  {
    const vtkIdType face = faces->GetValue(i);
    if (face >= 0 && face < numFaces)
    {
      cells.push_back(original ? original->GetValue(face) : face);
    }
  }
  std::sort(cells.begin(), cells.end());
  cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
  return cells;
}

//------------------------------------------------------------------------------
vtkSmartPointer<vtkCellArray> FacesOfMeshCells(vtkPolyData* surface,
  vtkIdType numMeshCells,
  const std::vector<vtkIdType>& cells)
{
  auto faces = vtkSmartPointer<vtkCellArray>::New();
  std::vector<char> picked(static_cast<size_t>(std::max<vtkIdType>(numMeshCells, 0)), 0);
  for (vtkIdType cell : cells)
  {
    if (cell >= 0 && cell < numMeshCells)
    {
      picked[static_cast<size_t>(cell)] = 1;
    }
  }
  vtkIdTypeArray* original = OriginalIds(surface);
  for (vtkIdType face = 0; face < surface->GetNumberOfCells(); ++face)
  {
    const vtkIdType cell = original ? original->GetValue(face) : face;
    if (cell >= 0 && cell < numMeshCells && picked[static_cast<size_t>(cell)])
    {
      vtkIdType npts;
      const vtkIdType* pts;
      surface->GetCellPoints(face, npts, pts);
      faces->InsertNextCell(npts, pts);
    }
  }
  return faces;
}

} // namespace orvi
