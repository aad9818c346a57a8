// orvi-viewer's rectangle picks: the meshes' own cells under a rectangle,
// through the model or as seen, highlighted by their surface faces.
#include "orviPickedCells.h"
#include "orviViewerPart.h"

#include "vtkFrustumSelectionPicker.h"
#include "vtkVisibleSelectionPicker.h"

#include "vtkCellArray.h"
#include "vtkCommand.h"
#include "vtkIdTypeArray.h"
#include "vtkInformation.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"
#include "vtkSelection.h"
#include "vtkSelectionNode.h"

#include <algorithm>
#include <sstream>

namespace orvi
{

const std::vector<vtkIdType>& Viewer::GetPickedCells(size_t part) const
{
  return this->Parts.at(part)->Picked;
}

//------------------------------------------------------------------------------
void Viewer::DropHiddenCells(Part& part, vtkDataSet* shape) const
{
  // Cells wholly on the side the section hides are not drawn.
  if (this->Options.Section == SectionMode::Off)
  {
    return;
  }
  double origin[3], normal[3];
  this->GetSectionPlane(origin, normal);
  part.Picked.erase(std::remove_if(part.Picked.begin(),
                      part.Picked.end(),
                      [&](vtkIdType cell) { return !KeptBySection(shape, cell, origin, normal); }),
    part.Picked.end());
}

//------------------------------------------------------------------------------
int Viewer::PickRectangle(int x0, int y0, int x1, int y1)
{
  // The meshes' own cells: through the model, every cell in the rectangle's
  // frustum, interior ones included; visible, the cells whose surface faces
  // are seen. The highlight shows the surface faces of those cells.
  const bool through = this->Options.Pick == PickMode::Through;
  if (through)
  {
    vtkNew<vtkFrustumSelectionPicker> picker;
    picker->AreaPick(x0, y0, x1, y1, this->RendererObject);
    for (const auto& part : this->Parts)
    {
      part->Picked.clear();
      if (!part->Visible)
      {
        continue;
      }
      // The mesh as drawn: moved as its surface is when it is deformed.
      const vtkSmartPointer<vtkDataSet> shape = part->Warp.WarpedMesh(part->Mesh);
      vtkNew<vtkIdTypeArray> ids;
      picker->SelectIds(shape, vtkSelectionNode::CELL, ids);
      part->Picked.assign(ids->GetPointer(0), ids->GetPointer(0) + ids->GetNumberOfValues());
      this->DropHiddenCells(*part, shape);
    }
  }
  else
  {
    // The surfaces are the only props worth selecting: the visible picker
    // leaves the other props out of the selector's pass.
    vtkNew<vtkVisibleSelectionPicker> picker;
    picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
    for (const auto& part : this->Parts)
    {
      if (part->Visible)
      {
        picker->AddPickList(part->SurfaceActor);
        picker->AddPickList(part->SectionActor); // the face the section draws
      }
    }
    picker->PickFromListOn();
    picker->AreaPick(x0, y0, x1, y1, this->RendererObject);
    vtkSelection* selection = static_cast<vtkSelectionPicker*>(picker)->GetSelection();
    for (const auto& part : this->Parts)
    {
      vtkNew<vtkIdTypeArray> faces;
      std::vector<vtkIdType> cut;
      for (unsigned int n = 0; n < selection->GetNumberOfNodes(); ++n)
      {
        vtkSelectionNode* node = selection->GetNode(n);
        auto* ids = vtkIdTypeArray::SafeDownCast(node->GetSelectionList());
        vtkObjectBase* prop = node->GetProperties()->Get(vtkSelectionNode::PROP());
        if (!ids || node->GetFieldType() != vtkSelectionNode::CELL)
        {
          continue;
        }
        if (prop == part->SurfaceActor.GetPointer())
        {
          faces->InsertTuples(faces->GetNumberOfValues(), ids->GetNumberOfValues(), 0, ids);
        }
        for (vtkIdType i = 0;
             prop == part->SectionActor.GetPointer() && i < ids->GetNumberOfValues();
             ++i)
        {
          cut.push_back(part->Section.MeshCellOf(ids->GetValue(i)));
        }
      }
      part->Picked = MeshCellsOfFaces(part->Surface, faces);
      if (!cut.empty())
      {
        cut.insert(cut.end(), part->Picked.begin(), part->Picked.end());
        std::sort(cut.begin(), cut.end());
        cut.erase(std::unique(cut.begin(), cut.end()), cut.end());
        cut.erase(std::remove(cut.begin(), cut.end(), -1), cut.end());
        part->Picked = cut;
      }
    }
  }

  int count = 0;
  for (const auto& part : this->Parts)
  {
    vtkPolyData* surface = part->Surface;
    part->Highlight->Initialize();
    part->Highlight->SetPoints(surface->GetPoints());
    part->Highlight->SetPolys(
      FacesOfMeshCells(surface, part->Mesh->GetNumberOfCells(), part->Picked));
    part->Highlight->Modified();
    count += static_cast<int>(part->Picked.size());
  }

  this->LastPickSummary = this->DescribePick(count, x0, y0, x1, y1);
  this->Log << this->LastPickSummary << "\n";
  for (size_t i = 0; this->Parts.size() > 1 && i < this->Parts.size(); ++i)
  {
    const std::string values = this->PickedValuesText(static_cast<int>(i));
    if (!this->Parts[i]->Picked.empty() && !values.empty())
    {
      this->Log << "  " << this->Parts[i]->Name << values << "\n";
    }
  }
  this->LastPickCount = count;
  std::string error;
  if (!this->Options.PickOut.empty() && !this->SavePickedCells(this->Options.PickOut, error))
  {
    this->Log << error << "\n";
  }
  this->Render();
  return count;
}

// One mesh: "picked N cells, mesh cell ids A .. B (...)", with " in 'PART'"
// for a part of its file; several: each part with cells picked by its
// name, with the ids within it: "picked N cells: K in 'NAME' (cell ids
// A .. B), ... (...)". The parenthesis says how and where it picked, and
// the step shown; the values of the coloured quantity over the cells
// follow, and for several parts a line of each part's values.
std::string Viewer::DescribePick(int count, int x0, int y0, int x1, int y1) const
{
  const auto idRange = [](const std::vector<vtkIdType>& ids)
  { return std::to_string(ids.front()) + " .. " + std::to_string(ids.back()); };
  std::ostringstream summary;
  summary << "picked " << count << " cells";
  if (this->Parts.size() == 1 && count > 0)
  {
    summary << ", mesh cell ids " << idRange(this->Parts[0]->Picked);
    summary << (this->Parts[0]->IsPart ? " in '" + this->Parts[0]->Name + "'" : std::string());
  }
  const char* separator = ": ";
  for (size_t i = 0; this->Parts.size() > 1 && i < this->Parts.size(); ++i)
  {
    const Part& part = *this->Parts[i];
    if (!part.Picked.empty())
    {
      summary << separator << part.Picked.size() << " in '" << part.Name << "' (cell ids "
              << idRange(part.Picked) << ")";
      separator = ", ";
    }
  }
  if (this->Parts.size() > 1 && count == 0)
  {
    summary << " in " << this->Parts.size() << " parts";
  }
  const std::string step = this->GetStepText();
  summary << " (" << (this->Options.Pick == PickMode::Through ? "through" : "visible")
          << ", rectangle " << x0 << " " << y0 << " " << x1 << " " << y1
          << (step.empty() ? "" : ", " + step) << ")" << this->PickedValuesText(-1);
  return summary.str();
}

void Viewer::PickCallback(vtkObject*, unsigned long event, void* clientData, void*)
{
  static_cast<Viewer*>(clientData)->HandlePickEvent(event);
}

//------------------------------------------------------------------------------
void Viewer::HandlePickEvent(unsigned long event)
{
  const int* pos = this->Interactor->GetEventPosition();
  if (event == vtkCommand::StartPickEvent)
  {
    this->PickStart[0] = pos[0];
    this->PickStart[1] = pos[1];
    return;
  }
  this->PickRectangle(this->PickStart[0], this->PickStart[1], pos[0], pos[1]);
}

} // namespace orvi
