#include "vtkSelectionPicker.h"

#include "vtkAbstractMapper3D.h"
#include "vtkAbstractVolumeMapper.h"
#include "vtkActor.h"
#include "vtkDataSet.h"
#include "vtkImageActor.h"
#include "vtkImageData.h"
#include "vtkInformation.h"
#include "vtkLODProp3D.h"
#include "vtkMapper.h"
#include "vtkProperty.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkSelection.h"
#include "vtkSelectionNode.h"
#include "vtkVolume.h"

#include <algorithm>
#include <cmath>
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
bool vtkSelectionPicker::CheckAreaPickArguments(double x0,
  double y0,
  double x1,
  double y1,
  vtkRenderer* renderer)
{
  if (!renderer || !renderer->GetRenderWindow())
  {
    // The message names the concrete picker: the location VTK reports with
    // it is this file.
    vtkErrorMacro(
      << this->GetClassName()
      << "::AreaPick needs a renderer that belongs to a render window; nothing picked.");
    return false;
  }
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
  {
    // Not a rectangle: no frustum, no pixel range to select.
    vtkErrorMacro(<< this->GetClassName()
                  << "::AreaPick needs finite corner coordinates; nothing picked.");
    return false;
  }
  return true;
}

//------------------------------------------------------------------------------
int vtkSelectionPicker::TagNodeSource(vtkProp* prop, vtkSelectionNode* node)
{
  vtkImageActor* imageActor = nullptr;
  vtkAbstractMapper3D* mapper = nullptr;
  if (!this->TypeDecipher(prop, &imageActor, &mapper))
  {
    return 0;
  }
  vtkInformation* properties = node->GetProperties();
  if (mapper)
  {
    if (auto* polyMapper = vtkMapper::SafeDownCast(mapper))
    {
      properties->Set(vtkSelectionNode::SOURCE(), polyMapper);
    }
  }
  else if (imageActor)
  {
    properties->Set(vtkSelectionNode::SOURCE(), imageActor);
  }
  return 1;
}

//------------------------------------------------------------------------------
vtkDataSet* vtkSelectionPicker::NodeDataSet(vtkSelectionNode* node)
{
  vtkObjectBase* source = node->GetProperties()->Get(vtkSelectionNode::SOURCE());
  if (auto* mapper = vtkMapper::SafeDownCast(source))
  {
    return mapper->GetInput();
  }
  if (auto* image = vtkImageActor::SafeDownCast(source))
  {
    return image->GetInput();
  }
  return nullptr;
}

//------------------------------------------------------------------------------
void vtkSelectionPicker::AppendNode(vtkSelection* selection, vtkSelectionNode* node)
{
  if (!selection || !node)
  {
    return;
  }
  // VTK 9.1's vtkSelection orders its nodes by name, and the names AddNode()
  // makes ("node1", "node2", ..., "node10") sort "node10" before "node2";
  // zero-padded names keep GetNode(i) in the order the nodes were added.
  unsigned int index = selection->GetNumberOfNodes();
  char name[32];
  do
  {
    std::snprintf(name, sizeof(name), "node%010u", index++);
  } while (selection->GetNode(std::string(name)));
  selection->SetNode(name, node);
}

//------------------------------------------------------------------------------
// Every pixel read a pick asks of VTK goes through here: VTK reads pixels
// outside the framebuffer (or outside the renderer, where other renderers
// draw) without complaint and decodes whatever they hold. Values on the
// renderer's pixels are kept as given, so a rectangle inside the renderer
// comes back unchanged; others are clamped to origin .. origin + size - 1.
bool vtkSelectionPicker::ClipToRendererPixels(vtkRenderer* renderer,
  const double corners[4],
  double clipped[4],
  int pixels[4])
{
  if (!renderer)
  {
    return false;
  }
  const int* origin = renderer->GetOrigin();
  const int* size = renderer->GetSize();
  double result[4];
  for (int axis = 0; axis < 2; ++axis)
  {
    const double first = origin[axis];
    const double last = static_cast<double>(origin[axis]) + size[axis] - 1;
    const double low = std::min(corners[axis], corners[axis + 2]);
    const double high = std::max(corners[axis], corners[axis + 2]);
    // Pixel i covers [i, i + 1): the renderer's pixels cover [first, last + 1).
    if (size[axis] <= 0 || !(high >= first) || !(low < last + 1.0))
    {
      return false;
    }
    for (int k = axis; k < 4; k += 2)
    {
      const double v = corners[k];
      result[k] = v < first ? first : (v >= last + 1.0 ? last : v);
    }
  }
  for (int k = 0; k < 4; ++k)
  {
    clipped[k] = result[k];
  }
  pixels[0] = static_cast<int>(std::floor(std::min(result[0], result[2])));
  pixels[1] = static_cast<int>(std::floor(std::min(result[1], result[3])));
  pixels[2] = static_cast<int>(std::floor(std::max(result[0], result[2])));
  pixels[3] = static_cast<int>(std::floor(std::max(result[1], result[3])));
  return true;
}

//------------------------------------------------------------------------------
void vtkSelectionPicker::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "Field Association: " << this->FieldAssociation << "\n";
  os << indent << "Selection Area: (" << this->SelectionArea[0] << ", " << this->SelectionArea[1]
     << ", " << this->SelectionArea[2] << ", " << this->SelectionArea[3] << ")\n";
}
