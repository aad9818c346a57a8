#include "vtkSelectionPicker.h"

#include "vtkAbstractMapper3D.h"
#include "vtkAbstractVolumeMapper.h"
#include "vtkActor.h"
#include "vtkImageActor.h"
#include "vtkLODProp3D.h"
#include "vtkMapper.h"
#include "vtkProperty.h"
#include "vtkSelection.h"
#include "vtkSelectionNode.h"
#include "vtkVolume.h"

#include <cstdio>

//------------------------------------------------------------------------------
vtkSelectionPicker::vtkSelectionPicker()
  : Selection(vtkSelection::New())
  , SelectionArea{ 0.0, 0.0, 0.0, 0.0 }
  , FieldAssociation(3)
{
}

//------------------------------------------------------------------------------
vtkSelectionPicker::~vtkSelectionPicker()
{
  this->Selection->Delete();
}

//------------------------------------------------------------------------------
void vtkSelectionPicker::GetSelectionArea(double area[4])
{
  for (int i = 0; i < 4; ++i)
  {
    area[i] = this->SelectionArea[i];
  }
}

//------------------------------------------------------------------------------
double* vtkSelectionPicker::GetSelectionArea()
{
  return this->SelectionArea;
}

//------------------------------------------------------------------------------
int vtkSelectionPicker::Pick(double x, double y, double vtkNotUsed(z), vtkRenderer* renderer)
{
  return this->AreaPick(x, y, x, y, renderer);
}

//------------------------------------------------------------------------------
int vtkSelectionPicker::TypeDecipher(vtkProp* prop,
  vtkImageActor** imageActor,
  vtkAbstractMapper3D** mapper)
{
  *imageActor = nullptr;
  *mapper = nullptr;
  if (!prop || !prop->GetPickable() || !prop->GetVisibility())
  {
    return 0;
  }

  if (auto* actor = vtkActor::SafeDownCast(prop))
  {
    *mapper = actor->GetMapper();
    return actor->GetProperty()->GetOpacity() <= 0.0 ? 0 : 1;
  }

  if (auto* lod = vtkLODProp3D::SafeDownCast(prop))
  {
    // A LOD prop without any level has nothing that could be picked.
    if (lod->GetNumberOfLODs() <= 0)
    {
      return 0;
    }
    const int id = lod->GetPickLODID();
    *mapper = lod->GetLODMapper(id);
    if (vtkMapper::SafeDownCast(*mapper))
    {
      vtkProperty* property = nullptr;
      lod->GetLODProperty(id, &property);
      return (property && property->GetOpacity() <= 0.0) ? 0 : 1;
    }
    return 1;
  }

  if (auto* volume = vtkVolume::SafeDownCast(prop))
  {
    *mapper = volume->GetMapper();
    return 1;
  }

  if (auto* image = vtkImageActor::SafeDownCast(prop))
  {
    *imageActor = image;
    return 1;
  }

  return 0;
}

//------------------------------------------------------------------------------
void vtkSelectionPicker::AppendNode(vtkSelection* selection, vtkSelectionNode* node)
{
  if (!selection || !node)
  {
    return;
  }
  unsigned int index = selection->GetNumberOfNodes();
  char name[32];
  do
  {
    std::snprintf(name, sizeof(name), "node%010u", index++);
  } while (selection->GetNode(std::string(name)));
  selection->SetNode(name, node);
}

//------------------------------------------------------------------------------
void vtkSelectionPicker::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "Field Association: " << this->FieldAssociation << "\n";
  os << indent << "Selection Area: (" << this->SelectionArea[0] << ", " << this->SelectionArea[1]
     << ", " << this->SelectionArea[2] << ", " << this->SelectionArea[3] << ")\n";
}
