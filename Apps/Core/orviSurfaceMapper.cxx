#include "orviSurfaceMapper.h"

#include "vtkActor.h"
#include "vtkCellArray.h"
#include "vtkDataArray.h"
#include "vtkObjectFactory.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkProperty.h"
#include "vtkScalarsToColors.h"
#include "vtkUnsignedCharArray.h"

#include <cstdint>
#include <cstring>

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

vtkUnsignedCharArray* SurfaceMapper::MapScalars(vtkDataSet* input, double alpha, int& cellFlag)
{
  int flag = 0;
  vtkAbstractArray* scalars = input && this->ScalarVisibility
    ? vtkAbstractMapper::GetAbstractScalars(
        input, this->ScalarMode, this->ArrayAccessMode, this->ArrayId, this->ArrayName, flag)
    : nullptr;
  if (!scalars)
  {
    this->HaveMapped = false;
    return this->Superclass::MapScalars(input, alpha, cellFlag);
  }
  vtkScalarsToColors* table = this->GetLookupTable();
  double opacity = alpha;
  vtkMTimeType opacityBits = 0;
  std::memcpy(&opacityBits, &opacity, sizeof(opacity));
  const Mapping mapping = { static_cast<vtkMTimeType>(reinterpret_cast<std::uintptr_t>(scalars)),
    scalars->GetMTime(),
    static_cast<vtkMTimeType>(reinterpret_cast<std::uintptr_t>(table)),
    table ? table->GetMTime() : 0,
    this->GetMTime(),
    opacityBits };
  // What the last mapping made is still the mapper's (nothing cleared it).
  const bool kept =
    this->MappedColors ? this->MappedColors == this->Colors : this->ColorCoordinates != nullptr;
  if (this->HaveMapped && mapping == this->Mapped && kept)
  {
    cellFlag = this->MappedCellFlag;
    return this->MappedColors;
  }
  this->MappedColors = this->Superclass::MapScalars(input, alpha, cellFlag);
  this->MappedCellFlag = cellFlag;
  this->Mapped = mapping;
  this->HaveMapped = true;
  return this->MappedColors;
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
