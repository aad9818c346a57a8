#include "orviWarp.h"

#include "orviViewerPart.h"

#include "vtkArrayDispatch.h"
#include "vtkBoundingBox.h"
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkDataArray.h"
#include "vtkDataArrayRange.h"
#include "vtkDataSet.h"
#include "vtkFeatureEdges.h"
#include "vtkPointData.h"
#include "vtkPointSet.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderer.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace orvi
{

namespace
{
// out = from + scale * by, tuple by tuple through the arrays' own types: the
// points of a large surface are rewritten in a few milliseconds. One thread:
// the frame that follows keeps the cores busy, and on a loaded machine a
// parallel loop waits for its slowest thread (a quarter of the frame at ten
// million cells).
struct MoveEach
{
  template <typename From, typename By, typename Out>
  void operator()(From* from, By* by, Out* out, double scale) const
  {
    const auto source = vtk::DataArrayTupleRange<3>(from);
    const auto delta = vtk::DataArrayTupleRange<3>(by);
    auto target = vtk::DataArrayTupleRange<3>(out);
    using Value = typename decltype(target)::ComponentType;
    for (vtkIdType i = 0; i < source.size(); ++i)
    {
      for (int c = 0; c < 3; ++c)
      {
        target[i][c] = static_cast<Value>(source[i][c] + scale * delta[i][c]);
      }
    }
  }
};

} // namespace

void MovePoints(vtkDataArray* from, vtkDataArray* by, vtkDataArray* out, double scale)
{
  using Reals = vtkArrayDispatch::Reals;
  if (!vtkArrayDispatch::Dispatch3ByValueType<Reals, Reals, Reals>::Execute(
        from, by, out, MoveEach(), scale))
  {
    MoveEach()(from, by, out, scale); // through the arrays' virtual tuples
  }
}

//------------------------------------------------------------------------------
vtkDataArray* FindDisplacement(vtkDataSet* mesh, const std::string& name, std::string& error)
{
  vtkDataArray* array = mesh->GetPointData()->GetArray(name.c_str());
  if (array && array->GetNumberOfComponents() == 3)
  {
    return array;
  }
  error = "--warp " + name + ": ";
  if (array)
  {
    error += "point array '" + name + "' has " + std::to_string(array->GetNumberOfComponents()) +
      (array->GetNumberOfComponents() == 1 ? " component" : " components") +
      ", a displacement has 3";
  }
  else if (mesh->GetCellData()->GetArray(name.c_str()))
  {
    error += "'" + name + "' is a cell array; a displacement is a point array of 3 components";
  }
  else
  {
    std::string vectors;
    for (int i = 0; i < mesh->GetPointData()->GetNumberOfArrays(); ++i)
    {
      vtkDataArray* candidate = mesh->GetPointData()->GetArray(i);
      if (candidate && candidate->GetName() && candidate->GetNumberOfComponents() == 3)
      {
        vectors += std::string(vectors.empty() ? "" : ", ") + "'" + candidate->GetName() + "'";
      }
    }
    error += "no point array named '" + name +
      "' (point arrays of 3 components: " + (vectors.empty() ? "none" : vectors) + ")";
  }
  return nullptr;
}

double AutomaticWarpScale(double modelSize, double largestDisplacement)
{
  return largestDisplacement > 0.0 && modelSize > 0.0
    ? WarpFraction * modelSize / largestDisplacement
    : 1.0;
}

//------------------------------------------------------------------------------
void SurfaceWarp::SetDisplacement(vtkPolyData* surface, vtkDataArray* displacement)
{
  if (!this->Undeformed)
  {
    this->Undeformed = surface->GetPoints();
    this->Deformed->SetDataType(this->Undeformed->GetDataType());
    this->Deformed->SetNumberOfPoints(this->Undeformed->GetNumberOfPoints());
    surface->SetPoints(this->Deformed);
  }
  this->Displacement = displacement;
  this->SetScale(this->Scale);
}

void SurfaceWarp::SetScale(double scale)
{
  this->Scale = scale;
  if (!this->Undeformed)
  {
    return;
  }
  if (this->Displacement)
  {
    MovePoints(this->Undeformed->GetData(), this->Displacement, this->Deformed->GetData(), scale);
  }
  else
  {
    this->Deformed->GetData()->DeepCopy(this->Undeformed->GetData());
  }
  this->Deformed->Modified();
}

vtkSmartPointer<vtkDataSet> SurfaceWarp::WarpedMesh(vtkDataSet* mesh) const
{
  auto* pointSet = vtkPointSet::SafeDownCast(mesh);
  vtkDataArray* displacement = pointSet && this->Displacement
    ? mesh->GetPointData()->GetArray(this->Displacement->GetName())
    : nullptr;
  if (!displacement || displacement->GetNumberOfComponents() != 3 || !pointSet->GetPoints())
  {
    return mesh;
  }
  vtkSmartPointer<vtkPointSet> warped;
  warped.TakeReference(pointSet->NewInstance());
  warped->ShallowCopy(pointSet);
  vtkNew<vtkPoints> points;
  points->SetDataType(pointSet->GetPoints()->GetDataType());
  points->SetNumberOfPoints(pointSet->GetNumberOfPoints());
  MovePoints(pointSet->GetPoints()->GetData(), displacement, points->GetData(), this->Scale);
  warped->SetPoints(points);
  return warped;
}

//------------------------------------------------------------------------------
// The viewer's deformed shape.
vtkDataSet* Viewer::ShapeOf(const Part& part) const
{
  return part.Warp.IsWarping() ? static_cast<vtkDataSet*>(part.Surface) : part.Mesh.Get();
}

bool Viewer::ApplyWarp(std::string& error)
{
  // Every mesh's array first: a refusal leaves every surface as it was.
  const std::string& name = this->Options.WarpArray;
  std::vector<std::pair<Part*, vtkDataArray*>> moved;
  std::string refusal;
  vtkBoundingBox model;
  double largest = 0.0;
  for (const auto& part : this->Parts)
  {
    model.AddBounds(part->Mesh->GetBounds());
    vtkDataArray* array = name.empty() ? nullptr : FindDisplacement(part->Mesh, name, refusal);
    vtkDataArray* onSurface =
      array ? part->Surface->GetPointData()->GetArray(name.c_str()) : nullptr;
    if (onSurface && onSurface->GetNumberOfComponents() == 3)
    {
      double range[2];
      array->GetRange(range, -1); // the lengths'
      largest = std::max(largest, range[1]);
    }
    moved.emplace_back(part.get(), onSurface);
  }
  const bool none = std::none_of(
    moved.begin(), moved.end(), [](const std::pair<Part*, vtkDataArray*>& m) { return m.second; });
  if (!name.empty() && none)
  {
    error = refusal;
    return false;
  }
  const double size = model.IsValid() ? model.GetDiagonalLength() : 0.0;
  this->WarpScale =
    this->Options.WarpScaleGiven ? this->Options.WarpScale : AutomaticWarpScale(size, largest);
  for (const auto& [part, displacement] : moved)
  {
    if (displacement || part->Warp.GetUndeformedPoints())
    {
      this->Motion.Reshape(); // before the points move: a stand-in may be built from them
      part->Warp.SetScale(this->WarpScale);
      part->Warp.SetDisplacement(part->Surface, displacement);
    }
  }
  if (!name.empty())
  {
    this->Log << "deformed shape: point array '" << name << "' x " << this->WarpScale;
    if (!this->Options.WarpScaleGiven)
    {
      this->Log << " (automatic: the largest displacement, " << largest << ", drawn as "
                << 100.0 * WarpFraction << "% of the model's size, " << size << ")";
    }
    this->Log << "\n";
  }
  this->ShowOutline();
  return true;
}

bool Viewer::SetWarp(const std::string& array, bool scaleGiven, double scale, std::string& error)
{
  const ViewerOptions before = this->Options;
  this->Options.WarpArray = array;
  this->Options.WarpScaleGiven = scaleGiven;
  this->Options.WarpScale = scale;
  std::vector<vtkPoints*> points;
  for (const auto& part : this->Parts)
  {
    points.push_back(part->Surface->GetPoints());
  }
  if (!this->ApplyWarp(error))
  {
    this->Options = before;
    return false;
  }
  for (size_t i = 0; i < this->Parts.size(); ++i)
  {
    Part& part = *this->Parts[i];
    if (part.Surface->GetPoints() != points[i])
    {
      // The surface's first deformed shape: what shares its points follows.
      part.Edges.Attach(part.Surface, this->RendererObject, this->Options.Edges);
      part.Highlight->SetPoints(part.Surface->GetPoints());
    }
  }
  this->ApplySection(); // through the shape as drawn
  this->Render();
  return true;
}

void Viewer::ScaleWarp(double factor)
{
  if (this->Options.WarpArray.empty())
  {
    this->Log << "no deformed shape to scale (--warp ARRAY)\n";
    return;
  }
  this->WarpScale *= factor;
  this->Options.WarpScaleGiven = true;
  this->Options.WarpScale = this->WarpScale;
  this->Motion.Reshape();
  for (const auto& part : this->Parts)
  {
    part->Warp.SetScale(this->WarpScale);
  }
  this->Log << "deformed shape: scale " << this->WarpScale << "\n";
  if (this->Options.Section != SectionMode::Off)
  {
    this->ApplySection();
  }
  this->Render();
}

void Viewer::SetUndeformedShown(bool shown)
{
  this->Options.Undeformed = shown;
  this->ShowOutline();
  this->Render();
}

void Viewer::ShowOutline()
{
  for (const auto& part : this->Parts)
  {
    const bool shown = this->Options.Undeformed && part->Warp.IsWarping();
    if (shown && !part->OutlineActor->GetMapper())
    {
      // The undeformed surface's boundary, feature and non-manifold edges,
      // drawn once asked for.
      vtkNew<vtkPolyData> undeformed;
      undeformed->SetPoints(part->Warp.GetUndeformedPoints());
      undeformed->SetPolys(part->Surface->GetPolys());
      undeformed->SetLines(part->Surface->GetLines());
      vtkNew<vtkFeatureEdges> outline;
      outline->SetInputData(undeformed);
      outline->BoundaryEdgesOn();
      outline->FeatureEdgesOn();
      outline->SetFeatureAngle(30.0);
      outline->NonManifoldEdgesOn();
      outline->ManifoldEdgesOff();
      outline->ColoringOff();
      outline->Update();
      vtkNew<vtkPolyDataMapper> mapper;
      mapper->SetInputData(outline->GetOutput());
      mapper->ScalarVisibilityOff();
      part->OutlineActor->SetMapper(mapper);
      part->OutlineActor->GetProperty()->SetColor(0.92, 0.92, 0.95);
      part->OutlineActor->GetProperty()->SetLineWidth(1.5f);
      part->OutlineActor->GetProperty()->LightingOff();
      part->OutlineActor->PickableOff();
      this->RendererObject->AddActor(part->OutlineActor);
    }
    part->OutlineActor->SetVisibility(shown);
  }
}

} // namespace orvi
