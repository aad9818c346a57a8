// orvi-viewer's time steps and parts: a time series stepped through with
// the keys or by a host, the arrays of a step of the same shape swapped into
// the surfaces shown, the step after the one shown read ahead, and the parts
// shown or hidden.
#include "orviTimeSeries.h"
#include "orviViewerPart.h"

#include "vtkCamera.h"
#include "vtkCellData.h"
#include "vtkColorTableLegendActor.h"
#include "vtkDataArray.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkPointData.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"
#include "vtkScalarBarActor.h"
#include "vtkTextProperty.h"

#include <algorithm>

namespace orvi
{

namespace
{
// Replaces the arrays of `to` by those of `from` at `ids` (tuple i of `to`
// is tuple ids[i] of `from`); the ids themselves stay.
void Gather(vtkDataSetAttributes* from, vtkDataSetAttributes* to, const char* idsName)
{
  auto* ids = vtkIdTypeArray::SafeDownCast(to->GetArray(idsName));
  if (!ids)
  {
    return;
  }
  vtkNew<vtkIdList> list;
  list->SetNumberOfIds(ids->GetNumberOfValues());
  std::copy(ids->GetPointer(0), ids->GetPointer(0) + ids->GetNumberOfValues(), list->begin());
  for (int i = to->GetNumberOfArrays() - 1; i >= 0; --i)
  {
    if (to->GetArray(i) != ids)
    {
      to->RemoveArray(i);
    }
  }
  for (int i = 0; i < from->GetNumberOfArrays(); ++i)
  {
    vtkAbstractArray* array = from->GetAbstractArray(i);
    if (!array || !array->GetName() || std::string(array->GetName()) == idsName)
    {
      continue;
    }
    auto copy = vtkSmartPointer<vtkAbstractArray>::Take(array->NewInstance());
    copy->SetName(array->GetName());
    copy->SetNumberOfComponents(array->GetNumberOfComponents());
    copy->SetNumberOfTuples(list->GetNumberOfIds());
    array->GetTuples(list, copy);
    to->AddArray(copy);
  }
  if (vtkDataArray* scalars = from->GetScalars(); scalars && scalars->GetName())
  {
    to->SetActiveScalars(scalars->GetName());
  }
}
} // namespace

//------------------------------------------------------------------------------
void Viewer::SetTimeSeries(TimeSeries* series)
{
  this->Series = series;
  this->ShowStepText();
  if (this->Series && this->Series->GetNumberOfSteps() > 1)
  {
    this->Log << this->GetStepText() << "\n";
    const ViewerOptions options = this->Options;
    this->Series->ReadAhead(this->Series->GetStep() + 1,
      this->ShownMeshes(),
      [options](NamedMesh& mesh, std::ostream& log) { PrepareMesh(mesh, options, log); });
  }
}

std::vector<NamedMesh> Viewer::ShownMeshes() const
{
  std::vector<NamedMesh> shown;
  for (const auto& part : this->Parts)
  {
    shown.push_back({ part->Name, part->Mesh, part->Surface });
  }
  return shown;
}

std::size_t Viewer::GetStep() const
{
  return this->Series ? this->Series->GetStep() : 0;
}

std::size_t Viewer::GetNumberOfSteps() const
{
  return this->Series ? this->Series->GetNumberOfSteps() : 1;
}

std::string Viewer::GetStepText() const
{
  return this->Series && this->Series->GetNumberOfSteps() > 1
    ? this->Series->Describe(this->Series->GetStep())
    : std::string();
}

void Viewer::ShowStepText()
{
  const std::string text = this->GetStepText();
  this->StepText->SetInput(text.c_str());
  this->StepText->GetTextProperty()->SetFontSize(std::max(12, this->Options.Height / 40));
  this->StepText->GetTextProperty()->SetVerticalJustificationToTop();
  this->StepText->GetPositionCoordinate()->SetCoordinateSystemToNormalizedViewport();
  this->StepText->GetPositionCoordinate()->SetValue(0.02, 0.97);
  if (text.empty())
  {
    this->RendererObject->RemoveActor2D(this->StepText);
  }
  else
  {
    this->RendererObject->AddActor2D(this->StepText);
  }
}

//------------------------------------------------------------------------------
bool Viewer::ShowStep(std::size_t step, std::string& error)
{
  if (!this->Series || step >= this->Series->GetNumberOfSteps())
  {
    error = "there is no step " + std::to_string(step + 1) + " (the meshes have " +
      std::to_string(this->GetNumberOfSteps()) + ")";
    return false;
  }
  std::vector<NamedMesh> meshes;
  if (!this->Series->Read(step, meshes, this->Log, error, {}, {}, this->ShownMeshes()))
  {
    return false;
  }
  bool same = meshes.size() == this->Parts.size();
  for (std::size_t i = 0; same && i < meshes.size(); ++i)
  {
    same = meshes[i].Name == this->Parts[i]->Name &&
      TimeSeries::SameShape(meshes[i].Mesh, this->Parts[i]->Mesh);
  }
  this->StepKeptSurfaces = same;
  if (same)
  {
    for (std::size_t i = 0; i < meshes.size(); ++i)
    {
      this->KeepArrays(*this->Parts[i], meshes[i].Mesh);
    }
    this->Motion.TakeNewArrays();
    this->RendererObject->RemoveActor2D(this->Legend);
    this->RendererObject->RemoveActor2D(this->CategoryLegend);
    if (!this->SetColouring(error))
    {
      return false;
    }
  }
  else
  {
    // Another shape: the scene anew, seen as before, the parts hidden as
    // they were.
    vtkNew<vtkCamera> camera;
    camera->DeepCopy(this->RendererObject->GetActiveCamera());
    std::vector<std::string> hidden;
    for (const auto& part : this->Parts)
    {
      if (!part->Visible)
      {
        hidden.push_back(part->Name);
      }
    }
    if (!this->SetMeshes(meshes, error))
    {
      return false;
    }
    this->RendererObject->GetActiveCamera()->DeepCopy(camera);
    this->RendererObject->ResetCameraClippingRange();
    for (std::size_t i = 0; i < this->Parts.size(); ++i)
    {
      if (std::find(hidden.begin(), hidden.end(), this->Parts[i]->Name) != hidden.end())
      {
        this->SetPartVisible(i, false);
      }
    }
  }
  this->ApplySection(); // the step's arrays on the face
  // The step drawn first, then the one after it read ahead: the reading
  // child and its thread would otherwise take the cores from this picture.
  this->ShowStepText();
  this->Render();
  this->SetTimeSeries(this->Series);
  if (this->StepObserver)
  {
    this->StepObserver();
  }
  return true;
}

void Viewer::KeepArrays(Part& part, vtkDataSet* mesh)
{
  // The step's mesh on the shown one's points and cells; an elevation added
  // to the shown one is the same on the same points, and --by-part's index
  // on the same cells.
  if (vtkDataArray* elevation = part.Mesh->GetPointData()->GetArray("elevation");
      elevation && this->Options.Elevation)
  {
    mesh->GetPointData()->AddArray(elevation);
  }
  if (vtkDataArray* index = part.Mesh->GetCellData()->GetArray(PartIndexName))
  {
    mesh->GetCellData()->AddArray(index);
  }
  Gather(mesh->GetPointData(), part.Surface->GetPointData(), "vtkOriginalPointIds");
  Gather(mesh->GetCellData(), part.Surface->GetCellData(), "vtkOriginalCellIds");
  part.Surface->Modified();
  part.Mesh = mesh;
}

//------------------------------------------------------------------------------
bool Viewer::HandleStepKey(const std::string& keySym)
{
  if (!this->Series || this->Series->GetNumberOfSteps() < 2)
  {
    return false;
  }
  const std::size_t last = this->Series->GetNumberOfSteps() - 1;
  const std::size_t step = this->Series->GetStep();
  std::size_t to = step;
  if (keySym == "Right")
  {
    to = std::min(step + 1, last);
  }
  else if (keySym == "Left")
  {
    to = step > 0 ? step - 1 : 0;
  }
  else if (keySym == "Home")
  {
    to = 0;
  }
  else if (keySym == "End")
  {
    to = last;
  }
  else
  {
    return false;
  }
  std::string error;
  if (to != step && !this->ShowStep(to, error))
  {
    this->Log << "cannot show step " << to + 1 << ": " << error << "\n";
  }
  return true;
}

void Viewer::SendKey(const std::string& keySym)
{
  this->Interactor->SetKeyEventInformation(0, 0, 0, 1, keySym.c_str());
  this->Interactor->KeyPressEvent();
  this->Interactor->KeyReleaseEvent();
}

//------------------------------------------------------------------------------
const std::string& Viewer::GetPartName(std::size_t part) const
{
  return this->Parts.at(part)->Name;
}

bool Viewer::IsPartVisible(std::size_t part) const
{
  return this->Parts.at(part)->Visible;
}

void Viewer::SetPartVisible(std::size_t part, bool visible)
{
  Part& shown = *this->Parts.at(part);
  shown.Visible = visible;
  shown.SurfaceActor->SetVisibility(visible);
  shown.HighlightActor->SetVisibility(visible);
  shown.Edges.SetVisible(visible);
  shown.SectionActor->SetVisibility(visible && this->Options.Section != SectionMode::Off);
  shown.SectionEdges.SetVisible(visible && this->Options.Section != SectionMode::Off);
  if (!visible)
  {
    shown.Picked.clear();
    shown.Highlight->Initialize();
  }
}

bool Viewer::ShowOnlyParts(const std::vector<std::string>& names, std::string& error)
{
  for (const std::string& name : names)
  {
    const bool known = std::any_of(this->Parts.begin(),
      this->Parts.end(),
      [&name](const std::unique_ptr<Part>& part) { return part->Name == name; });
    if (!known)
    {
      error = "--parts: no part is named '" + name + "'; the parts are";
      for (const auto& part : this->Parts)
      {
        error += (part == this->Parts.front() ? " '" : ", '") + part->Name + "'";
      }
      return false;
    }
  }
  for (std::size_t i = 0; i < this->Parts.size(); ++i)
  {
    this->SetPartVisible(
      i, std::find(names.begin(), names.end(), this->Parts[i]->Name) != names.end());
  }
  return true;
}

} // namespace orvi
