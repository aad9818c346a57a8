#include "orviSurfaceMapper.h"

#include "vtkActor.h"
#include "vtkCellArray.h"
#include "vtkDataArray.h"
#include "vtkObjectFactory.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkProperty.h"

#include <cstdint>

namespace orvi
{

vtkStandardNewMacro(SurfaceMapper);

void SurfaceMapper::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "IndexBuilds: " << this->IndexBuilds << "\n";
}

void SurfaceMapper::BuildIBO(vtkRenderer* ren, vtkActor* act, vtkPolyData* poly)
{
  const auto time = [](vtkObject* object) { return object ? object->GetMTime() : 0; };
  const auto address = [](vtkObject* object)
  { return static_cast<vtkMTimeType>(reinterpret_cast<std::uintptr_t>(object)); };
  vtkProperty* property = act->GetProperty();
  vtkCellArray* cells[4] = {
    poly->GetVerts(), poly->GetLines(), poly->GetPolys(), poly->GetStrips()
  };
  const Source source = { address(cells[0]),
    time(cells[0]),
    address(cells[1]),
    time(cells[1]),
    address(cells[2]),
    time(cells[2]),
    address(cells[3]),
    time(cells[3]),
    this->PolygonsNeedPoints(cells[2]) ? time(poly->GetPoints()) : 0,
    time(poly->GetPointData()->GetAttribute(vtkDataSetAttributes::EDGEFLAG)),
    static_cast<vtkMTimeType>(property->GetRepresentation()),
    static_cast<vtkMTimeType>(property->GetEdgeVisibility()),
    static_cast<vtkMTimeType>(property->GetVertexVisibility()) };
  if (this->HaveBuilt && source == this->Built)
  {
    return; // the buffers built last are those of these cells
  }
  this->Superclass::BuildIBO(ren, act, poly);
  this->Built = source;
  this->HaveBuilt = true;
  ++this->IndexBuilds;
}

bool SurfaceMapper::PolygonsNeedPoints(vtkCellArray* polys)
{
  if (!polys)
  {
    return false;
  }
  if (polys != this->Polygons || polys->GetMTime() != this->PolygonsTime)
  {
    this->Polygons = polys;
    this->PolygonsTime = polys->GetMTime();
    this->LargePolygons = polys->GetMaxCellSize() > 3;
  }
  return this->LargePolygons;
}

} // namespace orvi
