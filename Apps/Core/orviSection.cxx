#include "orviSection.h"

#include "orviBoundarySurface.h"
#include "orviComponents.h"
#include "orviViewerPart.h"

#include "vtk3DLinearGridPlaneCutter.h"
#include "vtkBoundingBox.h"
#include "vtkCamera.h"
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCutter.h"
#include "vtkDataSet.h"
#include "vtkDoubleArray.h"
#include "vtkExtractCells.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkMath.h"
#include "vtkPlane.h"
#include "vtkPointData.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderer.h"
#include "vtkSphereTree.h"
#include "vtkTransform.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <utility>

namespace orvi
{

namespace
{
// The range of the signed distances of a cell's points from the plane
// (below zero: the side kept).
void CellSides(vtkDataSet* mesh,
  vtkIdType cell,
  const double origin[3],
  const double normal[3],
  vtkIdList* points,
  double range[2])
{
  mesh->GetCellPoints(cell, points);
  range[0] = VTK_DOUBLE_MAX;
  range[1] = -VTK_DOUBLE_MAX;
  for (vtkIdType i = 0; i < points->GetNumberOfIds(); ++i)
  {
    const double d = vtkPlane::Evaluate(
      const_cast<double*>(normal), const_cast<double*>(origin), mesh->GetPoint(points->GetId(i)));
    range[0] = std::min(range[0], d);
    range[1] = std::max(range[1], d);
  }
}

// Whether the plane meets a cell as a mode draws it: a cut, where the cell
// has points on both sides or a face on the plane; whole cells, every cell
// reaching the plane, as VTK's extraction of the cells on the kept side
// counts a point on the plane as one of that side (the cells drawn close
// the plane's opening).
bool Meets(SectionMode mode, const double range[2])
{
  return range[0] <= 0.0 && range[1] >= 0.0 &&
    (mode == SectionMode::Cells || range[0] < 0.0 || range[1] > 0.0);
}

// The points of one mesh cell's cut (its triangles) around as one polygon:
// the edges used by a single triangle, chained. A triangle stays as it is.
std::vector<vtkIdType> Outline(const std::vector<std::array<vtkIdType, 3>>& triangles)
{
  if (triangles.size() == 1)
  {
    return { triangles[0][0], triangles[0][1], triangles[0][2] };
  }
  std::vector<std::pair<vtkIdType, vtkIdType>> edges;
  for (const auto& t : triangles)
  {
    for (int k = 0; k < 3; ++k)
    {
      const std::pair<vtkIdType, vtkIdType> edge(
        std::min(t[k], t[(k + 1) % 3]), std::max(t[k], t[(k + 1) % 3]));
      const auto seen = std::find(edges.begin(), edges.end(), edge);
      if (seen == edges.end())
      {
        edges.push_back(edge);
      }
      else
      {
        edges.erase(seen); // inside the cell's cut
      }
    }
  }
  std::vector<vtkIdType> loop = { edges.front().first, edges.front().second };
  edges.erase(edges.begin());
  while (!edges.empty())
  {
    const auto next = std::find_if(edges.begin(),
      edges.end(),
      [&loop](const std::pair<vtkIdType, vtkIdType>& e)
      { return e.first == loop.back() || e.second == loop.back(); });
    if (next == edges.end())
    {
      break; // not one loop (a degenerate cut): the chain so far
    }
    const vtkIdType to = next->first == loop.back() ? next->second : next->first;
    edges.erase(next);
    if (to == loop.front())
    {
      break;
    }
    loop.push_back(to);
  }
  return loop;
}

// One polygon per mesh cell of the cut's triangles (cells: their mesh ids).
vtkNew<vtkCellArray> CellPolygons(vtkPolyData* face, vtkDataArray* cells)
{
  vtkNew<vtkCellArray> polygons;
  vtkCellArray* polys = face->GetPolys();
  std::vector<vtkIdType> order(static_cast<size_t>(polys->GetNumberOfCells()));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(),
    order.end(),
    [cells](vtkIdType a, vtkIdType b) { return cells->GetTuple1(a) < cells->GetTuple1(b); });
  std::vector<std::array<vtkIdType, 3>> group;
  for (size_t k = 0; k < order.size(); ++k)
  {
    vtkIdType npts = 0;
    const vtkIdType* ids = nullptr;
    polys->GetCellAtId(order[k], npts, ids);
    if (npts == 3)
    {
      group.push_back({ ids[0], ids[1], ids[2] });
    }
    const bool last =
      k + 1 == order.size() || cells->GetTuple1(order[k + 1]) != cells->GetTuple1(order[k]);
    if (last && !group.empty())
    {
      const std::vector<vtkIdType> loop = Outline(group);
      polygons->InsertNextCell(static_cast<vtkIdType>(loop.size()), loop.data());
      group.clear();
    }
  }
  return polygons;
}
} // namespace

//------------------------------------------------------------------------------
bool KeptBySection(vtkDataSet* mesh, vtkIdType cell, const double origin[3], const double normal[3])
{
  vtkNew<vtkIdList> points;
  double range[2];
  CellSides(mesh, cell, origin, normal, points, range);
  return range[0] < 0.0;
}

SectionCut::SectionCut() = default;
SectionCut::~SectionCut() = default;

vtkIdType SectionCut::MeshCellOf(vtkIdType face) const
{
  vtkDataArray* ids = this->Face->GetCellData()->GetArray(SectionCellIdsName);
  const auto index =
    ids && face >= 0 && face < ids->GetNumberOfTuples() ? std::llround(ids->GetTuple1(face)) : -1;
  return index >= 0 && index < static_cast<long long>(this->Touched.size())
    ? this->Touched[static_cast<size_t>(index)]
    : -1;
}

void SectionCut::Update(vtkDataSet* mesh,
  SectionMode mode,
  const double origin[3],
  const double normal[3])
{
  this->Face->Initialize();
  this->Outlines->Initialize();
  this->Touched.clear();
  this->Linear = false;
  if (mode == SectionMode::Off || mesh->GetNumberOfCells() == 0)
  {
    return;
  }
  this->FindTouched(mesh, mode, origin, normal);
  if (this->Touched.empty())
  {
    return; // the plane misses this mesh: nothing to cut (VTK's cutter would log about it)
  }
  // The touched cells alone, each numbered.
  vtkNew<vtkExtractCells> extract;
  extract->SetInputData(mesh);
  extract->SetCellIds(this->Touched.data(), static_cast<vtkIdType>(this->Touched.size()));
  extract->AssumeSortedAndUniqueIdsOn();
  extract->Update();
  vtkUnstructuredGrid* subset = extract->GetOutput();
  vtkNew<vtkIdTypeArray> ids;
  ids->SetName(SectionCellIdsName);
  ids->SetNumberOfValues(static_cast<vtkIdType>(this->Touched.size()));
  std::iota(ids->GetPointer(0), ids->GetPointer(0) + ids->GetNumberOfValues(), 0);
  subset->GetCellData()->AddArray(ids);
  if (mode == SectionMode::Cut)
  {
    vtkNew<vtkPlane> plane;
    plane->SetOrigin(origin);
    plane->SetNormal(normal);
    this->Cut(subset, plane);
  }
  else
  {
    this->Cells(subset);
  }
}

void SectionCut::FindTouched(vtkDataSet* mesh,
  SectionMode mode,
  const double origin[3],
  const double normal[3])
{
  // The tree is built once for the mesh's points as they are.
  vtkPointSet* pointSet = vtkPointSet::SafeDownCast(mesh);
  const vtkMTimeType pointsTime =
    pointSet && pointSet->GetPoints() ? pointSet->GetPoints()->GetMTime() : mesh->GetMTime();
  if (!this->Tree || this->TreeMesh != mesh || this->TreeTime != pointsTime)
  {
    this->Tree = vtkSmartPointer<vtkSphereTree>::New();
    this->Tree->SetDataSet(mesh);
    this->Tree->BuildHierarchyOn();
    this->Tree->Build();
    this->TreeMesh = mesh;
    this->TreeTime = pointsTime;
  }
  double o[3] = { origin[0], origin[1], origin[2] };
  double n[3] = { normal[0], normal[1], normal[2] };
  vtkIdType candidates = 0;
  const unsigned char* may = this->Tree->SelectPlane(o, n, candidates);
  // Of the cells the spheres say may touch the plane, those it meets.
  vtkNew<vtkIdList> points;
  for (vtkIdType cell = 0; may && cell < mesh->GetNumberOfCells(); ++cell)
  {
    double range[2];
    if (may[cell])
    {
      CellSides(mesh, cell, origin, normal, points, range);
      if (Meets(mode, range))
      {
        this->Touched.push_back(cell);
      }
    }
  }
}

void SectionCut::Cut(vtkDataSet* subset, vtkPlane* plane)
{
  vtkSmartPointer<vtkAlgorithm> cutter;
  this->Linear = vtk3DLinearGridPlaneCutter::CanFullyProcessDataObject(subset);
  if (this->Linear)
  {
    vtkNew<vtk3DLinearGridPlaneCutter> linear;
    linear->SetPlane(plane);
    linear->MergePointsOn(); // the cells' parts of the cut share their points
    linear->InterpolateAttributesOn();
    cutter = linear;
  }
  else
  {
    vtkNew<vtkCutter> general;
    general->SetCutFunction(plane);
    general->GenerateTrianglesOn();
    cutter = general;
  }
  cutter->SetInputDataObject(subset);
  cutter->Update();
  vtkPolyData* cut = vtkPolyData::SafeDownCast(cutter->GetOutputDataObject(0));
  if (!cut)
  {
    return;
  }
  this->Face->ShallowCopy(cut);
  vtkDataArray* cells = cut->GetCellData()->GetArray(SectionCellIdsName);
  if (cells && cut->GetNumberOfPolys() == cut->GetNumberOfCells())
  {
    this->Outlines->SetPoints(cut->GetPoints());
    this->Outlines->SetPolys(CellPolygons(cut, cells));
  }
  else
  {
    this->Outlines->ShallowCopy(cut);
  }
}

void SectionCut::Cells(vtkDataSet* subset)
{
  vtkNew<BoundarySurface> surface;
  surface->SetInputData(subset);
  surface->Update();
  this->Face->ShallowCopy(surface->GetOutput());
  this->Outlines->ShallowCopy(surface->GetOutput());
}

//------------------------------------------------------------------------------
// The viewer's section plane.
namespace
{
// The colouring of one mapper given to another.
void CopyColouring(vtkMapper* from, vtkMapper* to)
{
  to->SetScalarVisibility(from->GetScalarVisibility());
  to->SetScalarMode(from->GetScalarMode());
  to->SelectColorArray(from->GetArrayName());
  to->SetLookupTable(from->GetLookupTable());
  to->SetUseLookupTableScalarRange(from->GetUseLookupTableScalarRange());
  to->SetInterpolateScalarsBeforeMapping(from->GetInterpolateScalarsBeforeMapping());
}

void SetClipping(vtkActor* actor, vtkPlane* plane)
{
  if (vtkMapper* mapper = actor->GetMapper())
  {
    mapper->RemoveAllClippingPlanes();
    if (plane)
    {
      mapper->AddClippingPlane(plane);
    }
  }
}
} // namespace

bool Viewer::SetSection(SectionMode mode,
  const double* origin,
  const double* normal,
  std::string& error)
{
  double unit[3] = { 0.0, 0.0, 0.0 };
  if (normal)
  {
    std::copy(normal, normal + 3, unit);
    if (!NormalizeSectionNormal(unit, error))
    {
      return false;
    }
    std::copy(unit, unit + 3, this->Options.SectionNormal);
  }
  if (origin)
  {
    std::copy(origin, origin + 3, this->Options.SectionOrigin);
    this->Options.SectionOriginGiven = true;
  }
  this->Options.Section = mode;
  this->ApplySection();
  this->Render();
  return true;
}

const SectionCut& Viewer::GetSection(size_t part) const
{
  return this->Parts.at(part)->Section;
}

void Viewer::GetSectionPlane(double origin[3], double normal[3]) const
{
  std::copy(this->Options.SectionNormal, this->Options.SectionNormal + 3, normal);
  if (this->Options.SectionOriginGiven)
  {
    std::copy(this->Options.SectionOrigin, this->Options.SectionOrigin + 3, origin);
    return;
  }
  vtkBoundingBox model;
  for (const auto& part : this->Parts)
  {
    model.AddBounds(this->ShapeOf(*part)->GetBounds());
  }
  origin[0] = origin[1] = origin[2] = 0.0;
  if (model.IsValid())
  {
    model.GetCenter(origin);
  }
}

void Viewer::MoveSection(double fraction)
{
  if (this->Options.Section == SectionMode::Off)
  {
    this->Log << "no section plane to move (--section cut or cells, the key x)\n";
    return;
  }
  vtkBoundingBox model;
  for (const auto& part : this->Parts)
  {
    model.AddBounds(this->ShapeOf(*part)->GetBounds());
  }
  double origin[3], normal[3];
  this->GetSectionPlane(origin, normal);
  const double step = fraction * (model.IsValid() ? model.GetDiagonalLength() : 1.0);
  for (int i = 0; i < 3; ++i)
  {
    origin[i] += step * normal[i];
  }
  std::string ignored; // the normal is a unit one already
  this->SetSection(this->Options.Section, origin, nullptr, ignored);
}

void Viewer::TurnSection(double degrees)
{
  if (this->Options.Section == SectionMode::Off)
  {
    this->Log << "no section plane to turn (--section cut or cells, the key x)\n";
    return;
  }
  // About the camera's view up through the plane's origin.
  double origin[3], normal[3], up[3], turned[3];
  this->GetSectionPlane(origin, normal);
  this->RendererObject->GetActiveCamera()->GetViewUp(up);
  vtkNew<vtkTransform> turn;
  turn->RotateWXYZ(degrees, up);
  turn->TransformNormal(normal, turned);
  std::string ignored;
  this->SetSection(this->Options.Section, origin, turned, ignored);
}

void Viewer::NextSectionMode()
{
  const SectionMode next = this->Options.Section == SectionMode::Off ? SectionMode::Cut
    : this->Options.Section == SectionMode::Cut                      ? SectionMode::Cells
                                                                     : SectionMode::Off;
  std::string ignored;
  this->SetSection(next, nullptr, nullptr, ignored);
}

void Viewer::ApplySection()
{
  const SectionMode mode = this->Options.Section;
  double origin[3], normal[3];
  this->GetSectionPlane(origin, normal);
  // The mappers keep the side away from the normal.
  this->ClipPlane->SetOrigin(origin);
  this->ClipPlane->SetNormal(-normal[0], -normal[1], -normal[2]);
  vtkPlane* clip = mode == SectionMode::Off ? nullptr : this->ClipPlane.GetPointer();
  for (const auto& part : this->Parts)
  {
    for (vtkActor* actor : { static_cast<vtkActor*>(part->SurfaceActor),
           static_cast<vtkActor*>(part->Edges.GetActor()),
           part->HighlightActor.GetPointer() })
    {
      SetClipping(actor, clip);
    }
    if (mode != SectionMode::Off &&
      (part->SectionShapeOf != part->Mesh.Get() || part->SectionShapeScale != this->WarpScale))
    {
      // The mesh as drawn, moved as its surface is when it is deformed.
      part->SectionShape = part->Warp.WarpedMesh(part->Mesh);
      part->SectionShapeOf = part->Mesh;
      part->SectionShapeScale = this->WarpScale;
    }
    part->Section.Update(
      part->SectionShape ? part->SectionShape.Get() : part->Mesh.Get(), mode, origin, normal);
    if (!part->SectionActor->GetMapper())
    {
      vtkNew<vtkPolyDataMapper> mapper;
      mapper->SetInputData(part->Section.GetFace());
      part->SectionActor->SetMapper(mapper);
      part->SectionActor->SetProperty(part->SurfaceActor->GetProperty());
      this->RendererObject->AddActor(part->SectionActor);
    }
    part->SectionEdges.Attach(part->Section.GetOutlines(),
      this->RendererObject,
      mode == SectionMode::Off ? EdgeMode::Off : this->Options.Edges);
    part->SectionEdges.SetVisible(part->Visible && mode != SectionMode::Off);
    part->SectionActor->SetVisibility(part->Visible && mode != SectionMode::Off);
  }
  this->ColourSection();
  if (mode != SectionMode::Off)
  {
    vtkIdType touched = 0;
    for (const auto& part : this->Parts)
    {
      touched += part->Section.GetTouchedCells();
    }
    this->Log << "section: " << (mode == SectionMode::Cut ? "cut" : "whole cells") << " at origin "
              << origin[0] << " " << origin[1] << " " << origin[2] << ", normal " << normal[0]
              << " " << normal[1] << " " << normal[2] << " (its side hidden), " << touched
              << " cells crossed\n";
  }
  else if (this->SectionShown)
  {
    this->Log << "section: off\n";
  }
  this->SectionShown = mode != SectionMode::Off;
}

void Viewer::ColourSection()
{
  for (const auto& part : this->Parts)
  {
    vtkMapper* face = part->SectionActor->GetMapper();
    if (!face)
    {
      continue;
    }
    CopyColouring(part->SurfaceActor->GetMapper(), face);
    if (this->Coloured.Which.Which == Component::Kind::VonMises)
    {
      vtkPolyData* cut = part->Section.GetFace();
      vtkFieldData* data = this->Coloured.Field == 0
        ? static_cast<vtkFieldData*>(cut->GetPointData())
        : static_cast<vtkFieldData*>(cut->GetCellData());
      if (vtkDataArray* tensor = data->GetArray(this->Coloured.ArrayName.c_str());
          tensor && !data->GetArray(this->Coloured.Title.c_str()))
      {
        data->AddArray(VonMisesArray(tensor, this->Coloured.Title));
      }
    }
  }
}

} // namespace orvi
