#include "vtkFrustumSelectionPicker.h"

#include "vtkAbstractMapper3D.h"
#include "vtkAssemblyPath.h"
#include "vtkDataSet.h"
#include "vtkIdTypeArray.h"
#include "vtkImageActor.h"
#include "vtkImageData.h"
#include "vtkInformation.h"
#include "vtkKivFrustumSelector.h"
#include "vtkMapper.h"
#include "vtkNew.h"
#include "vtkObjectFactory.h"
#include "vtkProp3D.h"
#include "vtkProp3DCollection.h"
#include "vtkPropCollection.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkSelection.h"
#include "vtkSelectionNode.h"
#include "vtkSelectionSource.h"

#include <algorithm>
#include <cmath>

vtkStandardNewMacro(vtkFrustumSelectionPicker);

// The conversion of a frustum node into ids does not go through
// vtkConvertSelection: it runs VTK's frustum test (vtkKivFrustumSelector) on
// the data set directly, once per node and field, which gives the same cell
// ids without vtkConvertSelection's extraction pipeline.

namespace
{
// The ids node that the frustum node gives for one field: the frustum
// node's properties, content type INDICES, the field type of the ids.
vtkSmartPointer<vtkSelectionNode> IdsNode(vtkKivFrustumSelector* selector,
  vtkSelectionNode* frustumNode,
  vtkDataSet* data,
  int fieldType)
{
  vtkNew<vtkIdTypeArray> ids;
  selector->SelectIds(data, fieldType, ids);
  auto node = vtkSmartPointer<vtkSelectionNode>::New();
  node->GetProperties()->Copy(frustumNode->GetProperties(), 0);
  node->SetContentType(vtkSelectionNode::INDICES);
  node->SetFieldType(fieldType);
  node->SetSelectionList(ids);
  return node;
}
} // namespace

//------------------------------------------------------------------------------
vtkFrustumSelectionPicker::vtkFrustumSelectionPicker()
  : SelectionSource(vtkSelectionSource::New())
  , FrustumSelection(nullptr)
{
  this->SelectionSource->SetFieldType(vtkSelectionNode::CELL);
  this->SelectionSource->SetContentType(vtkSelectionNode::FRUSTUM);
}

//------------------------------------------------------------------------------
vtkFrustumSelectionPicker::~vtkFrustumSelectionPicker()
{
  this->SelectionSource->Delete();
}

//------------------------------------------------------------------------------
int vtkFrustumSelectionPicker::AreaPick(double x0,
  double y0,
  double x1,
  double y1,
  vtkRenderer* renderer)
{
  if (!this->CheckAreaPickArguments(x0, y0, x1, y1, renderer))
  {
    return 0;
  }

  this->Prop3Ds = vtkSmartPointer<vtkProp3DCollection>::New();
  this->PropSelections.clear();

  const double xmin = std::min(x0, x1);
  const double ymin = std::min(y0, y1);
  double xmax = std::max(x0, x1);
  double ymax = std::max(y0, y1);
  if (xmin == xmax)
  {
    xmax += 1.0;
  }
  if (ymin == ymax)
  {
    ymax += 1.0;
  }

  this->SelectionPoint[0] = (xmin + xmax) / 2.0;
  this->SelectionPoint[1] = (ymin + ymax) / 2.0;
  this->SelectionPoint[2] = 0.0;
  this->SelectionArea[0] = xmin;
  this->SelectionArea[1] = ymin;
  this->SelectionArea[2] = xmax;
  this->SelectionArea[3] = ymax;
  this->Renderer = renderer;
  this->FrustumSelection = nullptr;

  // Near (z = 0) and far (z = 1) corners, in the order vtkSelectionSource
  // and vtkFrustumSelector expect.
  const double display[8][3] = { { xmin, ymin, 0.0 },
    { xmin, ymin, 1.0 },
    { xmin, ymax, 0.0 },
    { xmin, ymax, 1.0 },
    { xmax, ymin, 0.0 },
    { xmax, ymin, 1.0 },
    { xmax, ymax, 0.0 },
    { xmax, ymax, 1.0 } };
  double frustum[32];
  double sum[3] = { 0.0, 0.0, 0.0 };
  for (int i = 0; i < 8; ++i)
  {
    renderer->SetDisplayPoint(display[i][0], display[i][1], display[i][2]);
    renderer->DisplayToWorld();
    renderer->GetWorldPoint(frustum + 4 * i);
    for (int k = 0; k < 3; ++k)
    {
      sum[k] += frustum[4 * i + k];
    }
  }
  for (int k = 0; k < 3; ++k)
  {
    this->PickPosition[k] = sum[k] * 0.125;
  }

  // vtkSelectionSource does not re-execute for a frustum equal to the last
  // one, which would leave the previous pick's copies and tags in its
  // output. Marking it modified makes every pick start from the source's
  // single frustum node.
  this->SelectionSource->SetFrustum(frustum);
  this->SelectionSource->Modified();
  this->SelectionSource->Update();
  this->FrustumSelection = this->SelectionSource->GetOutput(0);

  // The renderer's area pick reads the rectangle's pixels through a
  // hardware selector, and pixels outside the framebuffer or the renderer
  // hold whatever was left there and decode as props. VTK 9.1's PickProp
  // clips its area to the viewport too; the picker does not depend on it:
  // PickProp gets the rectangle clipped to the renderer's pixels (the
  // caller's corners unchanged whenever they lie on them), and a rectangle
  // covering none of them finds nothing. The frustum above stays the
  // caller's rectangle.
  const double corners[4] = { x0, y0, x1, y1 };
  double clipped[4];
  int pixels[4];
  if (!ClipToRendererPixels(renderer, corners, clipped, pixels) ||
    !renderer->PickProp(clipped[0], clipped[1], clipped[2], clipped[3]))
  {
    return 0;
  }
  vtkPropCollection* props = renderer->GetPickResultProps();
  const int count = props ? props->GetNumberOfItems() : 0;
  if (count <= 0 || this->FrustumSelection->GetNumberOfNodes() < 1)
  {
    return count;
  }

  // The source's node becomes node 0 under an ordered name, followed by
  // one shallow copy per further prop.
  vtkSmartPointer<vtkSelectionNode> first = this->FrustumSelection->GetNode(0);
  this->FrustumSelection->RemoveAllNodes();
  AppendNode(this->FrustumSelection, first);
  for (int i = 1; i < count; ++i)
  {
    vtkNew<vtkSelectionNode> copy;
    copy->ShallowCopy(first);
    AppendNode(this->FrustumSelection, copy);
  }

  vtkCollectionSimpleIterator it;
  props->InitTraversal(it);
  for (int i = 0; i < count; ++i)
  {
    vtkProp* prop = props->GetNextProp(it);
    vtkSelectionNode* node = this->FrustumSelection->GetNode(static_cast<unsigned int>(i));
    if (!this->PickList->IsItemPresent(prop) || !this->TagNodeSource(prop, node))
    {
      continue;
    }
    node->GetProperties()->Set(vtkSelectionNode::PROP(), prop);
    if (auto* prop3D = vtkProp3D::SafeDownCast(prop))
    {
      this->Prop3Ds->AddItem(prop3D);
    }
  }
  return count;
}

//------------------------------------------------------------------------------
vtkSelection* vtkFrustumSelectionPicker::GetSelection()
{
  this->Selection->Initialize();
  if (!this->FrustumSelection)
  {
    return this->Selection;
  }

  const int association = this->FieldAssociation;
  const bool wantPoints = association == vtkDataObject::FIELD_ASSOCIATION_POINTS ||
    association == vtkDataObject::FIELD_ASSOCIATION_POINTS_THEN_CELLS;
  const bool wantCells = association == vtkDataObject::FIELD_ASSOCIATION_CELLS ||
    association == vtkDataObject::FIELD_ASSOCIATION_POINTS_THEN_CELLS;

  vtkNew<vtkKivFrustumSelector> selector;
  for (unsigned int i = 0; i < this->FrustumSelection->GetNumberOfNodes(); ++i)
  {
    vtkSelectionNode* node = this->FrustumSelection->GetNode(i);
    vtkDataSet* data = NodeDataSet(node);
    if (!data)
    {
      continue;
    }
    const auto* key = vtkProp3D::SafeDownCast(node->GetProperties()->Get(vtkSelectionNode::PROP()));
    auto propSelection = vtkSmartPointer<vtkSelection>::New();
    this->PropSelections[key] = propSelection;
    if (!wantPoints && !wantCells)
    {
      continue;
    }

    selector->Initialize(node);
    if (wantPoints)
    {
      auto points = IdsNode(selector, node, data, vtkSelectionNode::POINT);
      AppendNode(propSelection, points);
      if (association == vtkDataObject::FIELD_ASSOCIATION_POINTS ||
        points->GetSelectionList()->GetNumberOfTuples() > 0)
      {
        AppendNode(this->Selection, points);
      }
    }
    if (wantCells)
    {
      auto cells = IdsNode(selector, node, data, vtkSelectionNode::CELL);
      AppendNode(propSelection, cells);
      AppendNode(this->Selection, cells);
    }
  }
  return this->Selection;
}

//------------------------------------------------------------------------------
bool vtkFrustumSelectionPicker::SelectIds(vtkDataSet* data, int fieldType, vtkIdTypeArray* ids)
{
  if (ids)
  {
    ids->Initialize();
  }
  if (!data || !ids || !this->FrustumSelection || this->FrustumSelection->GetNumberOfNodes() < 1)
  {
    return false;
  }
  // Every node of the last pick holds the same frustum.
  vtkNew<vtkKivFrustumSelector> selector;
  selector->Initialize(this->FrustumSelection->GetNode(0));
  selector->SelectIds(data, fieldType, ids);
  return true;
}

//------------------------------------------------------------------------------
vtkProp3DCollection* vtkFrustumSelectionPicker::GetProp3Ds() const
{
  return this->Prop3Ds;
}

//------------------------------------------------------------------------------
vtkSelection* vtkFrustumSelectionPicker::GetSelectionForProp3D(const vtkProp3D* prop) const
{
  auto found = this->PropSelections.find(prop);
  return found != this->PropSelections.end() ? found->second.Get() : nullptr;
}

//------------------------------------------------------------------------------
void vtkFrustumSelectionPicker::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
}
