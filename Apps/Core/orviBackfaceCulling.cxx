#include "orviBackfaceCulling.h"

#include "vtkActor.h"
#include "vtkCamera.h"
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkDataSet.h"
#include "vtkGenericCell.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkMapper.h"
#include "vtkMath.h"
#include "vtkPlaneCollection.h"
#include "vtkPolyData.h"
#include "vtkProperty.h"
#include "vtkRenderer.h"
#include "vtkSMPThreadLocalObject.h"
#include "vtkSMPTools.h"

#include <algorithm>
#include <array>
#include <atomic>

namespace orvi
{

namespace
{
// Whether cells of a type are 3D, for every type VTK knows.
bool IsSolid(int type)
{
  static const std::array<bool, VTK_NUMBER_OF_CELL_TYPES> solid = []()
  {
    std::array<bool, VTK_NUMBER_OF_CELL_TYPES> dimensions{};
    for (int t = 0; t < VTK_NUMBER_OF_CELL_TYPES; ++t)
    {
      vtkSmartPointer<vtkCell> cell;
      cell.TakeReference(vtkGenericCell::InstantiateCell(t));
      dimensions[t] = cell && cell->GetCellDimension() == 3;
    }
    return dimensions;
  }();
  return type >= 0 && type < VTK_NUMBER_OF_CELL_TYPES && solid[type];
}

// Each polygon in a slice against the cell it came from: a face of a 3D
// cell whose normal points away from the cell's centre. Stops at the first
// that is not.
struct CheckFaces
{
  vtkPolyData* Surface;
  vtkDataSet* Mesh;
  vtkIdTypeArray* Cells;
  std::atomic<bool>& Outward;
  vtkSMPThreadLocalObject<vtkIdList> FacePoints;
  vtkSMPThreadLocalObject<vtkIdList> CellPoints;

  void Initialize() {}

  void operator()(vtkIdType begin, vtkIdType end)
  {
    vtkIdList* face = this->FacePoints.Local();
    vtkIdList* cell = this->CellPoints.Local();
    vtkCellArray* polys = this->Surface->GetPolys();
    for (vtkIdType id = begin; id < end && this->Outward.load(std::memory_order_relaxed); ++id)
    {
      polys->GetCellAtId(id, face);
      if (!this->FacesAway(face, this->Cells->GetValue(id), cell))
      {
        this->Outward = false;
      }
    }
  }

  bool FacesAway(vtkIdList* face, vtkIdType cellId, vtkIdList* cell) const
  {
    if (cellId < 0 || cellId >= this->Mesh->GetNumberOfCells() ||
      !IsSolid(this->Mesh->GetCellType(cellId)))
    {
      return false;
    }
    // The face's normal by Newell's method (any polygon, planar or not) and
    // its centre.
    double normal[3] = { 0.0, 0.0, 0.0 };
    double centre[3] = { 0.0, 0.0, 0.0 };
    const vtkIdType n = face->GetNumberOfIds();
    double p[3], q[3];
    this->Surface->GetPoint(face->GetId(n - 1), p);
    for (vtkIdType k = 0; k < n; ++k)
    {
      this->Surface->GetPoint(face->GetId(k), q);
      normal[0] += (p[1] - q[1]) * (p[2] + q[2]);
      normal[1] += (p[2] - q[2]) * (p[0] + q[0]);
      normal[2] += (p[0] - q[0]) * (p[1] + q[1]);
      for (int c = 0; c < 3; ++c)
      {
        centre[c] += q[c] / static_cast<double>(n);
        p[c] = q[c];
      }
    }
    this->Mesh->GetCellPoints(cellId, cell);
    double inside[3] = { 0.0, 0.0, 0.0 };
    const vtkIdType m = cell->GetNumberOfIds();
    for (vtkIdType k = 0; k < m; ++k)
    {
      this->Mesh->GetPoint(cell->GetId(k), q);
      for (int c = 0; c < 3; ++c)
      {
        inside[c] += q[c] / static_cast<double>(m);
      }
    }
    const double towardCell[3] = {
      inside[0] - centre[0], inside[1] - centre[1], inside[2] - centre[2]
    };
    return m > 0 && vtkMath::Dot(normal, towardCell) < 0.0;
  }

  void Reduce() {}
};

// Whether every corner of `bounds` lies beyond the camera's near plane.
bool BeyondNearPlane(vtkCamera* camera, const double bounds[6])
{
  double position[3], direction[3];
  camera->GetPosition(position);
  camera->GetDirectionOfProjection(direction);
  const double nearest = camera->GetClippingRange()[0];
  for (int corner = 0; corner < 8; ++corner)
  {
    const double at[3] = {
      bounds[corner & 1], bounds[2 + ((corner >> 1) & 1)], bounds[4 + ((corner >> 2) & 1)]
    };
    const double offset[3] = { at[0] - position[0], at[1] - position[1], at[2] - position[2] };
    if (vtkMath::Dot(offset, direction) <= nearest)
    {
      return false;
    }
  }
  return true;
}

// Whether the actor shows its faces' insides: clipped open (where no cut
// closes the opening), see-through, or drawn as lines or points (a back
// face's edges show through its front).
bool ShowsInside(vtkActor* actor, bool capped)
{
  vtkProperty* property = actor->GetProperty();
  vtkMapper* mapper = actor->GetMapper();
  vtkPlaneCollection* planes = mapper ? mapper->GetClippingPlanes() : nullptr;
  return !mapper || (planes && planes->GetNumberOfItems() > 0 && !capped) ||
    property->GetOpacity() < 1.0 || property->GetRepresentation() != VTK_SURFACE ||
    actor->HasTranslucentPolygonalGeometry();
}
} // namespace

//------------------------------------------------------------------------------
bool FacesOutward(vtkPolyData* surface, vtkDataSet* mesh)
{
  auto* cells =
    vtkIdTypeArray::SafeDownCast(surface->GetCellData()->GetArray("vtkOriginalCellIds"));
  const vtkIdType polys = surface->GetNumberOfPolys();
  if (!mesh || !cells || polys == 0 || polys != surface->GetNumberOfCells() ||
    cells->GetNumberOfValues() != polys)
  {
    return false;
  }
  // Polygons only: the surface's cells are its polygons, in their order.
  std::atomic<bool> outward{ true };
  CheckFaces check{ surface, mesh, cells, outward, {}, {} };
  vtkSMPTools::For(0, polys, 4096, check);
  return outward;
}

//------------------------------------------------------------------------------
void UpdateBackfaceCulling(vtkActor* actor,
  bool facesOutward,
  bool deformed,
  bool capped,
  vtkRenderer* renderer)
{
  const bool cull = facesOutward && !deformed && !ShowsInside(actor, capped) &&
    BeyondNearPlane(renderer->GetActiveCamera(), actor->GetBounds());
  // Set only when it changes: the property's time decides the mapper's
  // buffer rebuilds.
  actor->GetProperty()->SetBackfaceCulling(cull);
}

} // namespace orvi
