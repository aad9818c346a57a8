#include "vtkVisibleSelectionPicker.h"

#include "vtkAbstractMapper3D.h"
#include "vtkCamera.h"
#include "vtkDataSet.h"
#include "vtkHardwareSelector.h"
#include "vtkIdTypeArray.h"
#include "vtkImageActor.h"
#include "vtkImageData.h"
#include "vtkInformation.h"
#include "vtkMapper.h"
#include "vtkMatrix4x4.h"
#include "vtkNew.h"
#include "vtkObjectFactory.h"
#include "vtkPolyData.h"
#include "vtkProp.h"
#include "vtkPropCollection.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkRendererCollection.h"
#include "vtkSelection.h"
#include "vtkSelectionNode.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

vtkStandardNewMacro(vtkVisibleSelectionPicker);

namespace
{
// Decides whether world points project into a display rectangle, with the
// same answer as the renderer's SetWorldPoint / WorldToDisplay /
// GetDisplayPoint for each point, but without recomputing the camera's
// matrices for every point: the composite projection matrix is read once
// and the view-to-display mapping (affine on each axis) is taken from the
// renderer itself. Points within a hair of a border are decided by the
// renderer's own WorldToDisplay().
class DisplayTest
{
public:
  DisplayTest(vtkRenderer* renderer, const double bounds[4])
    : Renderer(renderer)
    , Bounds{ bounds[0], bounds[1], bounds[2], bounds[3] }
  {
    if (!renderer->IsActiveCameraCreated())
    {
      return;
    }
    vtkMatrix4x4* matrix = renderer->GetActiveCamera()->GetCompositeProjectionTransformMatrix(
      renderer->GetTiledAspectRatio(), 0, 1);
    std::copy(&matrix->Element[0][0], &matrix->Element[0][0] + 16, this->M);
    double origin[3];
    double unit[3];
    renderer->SetViewPoint(0.0, 0.0, 0.0);
    renderer->ViewToDisplay();
    renderer->GetDisplayPoint(origin);
    renderer->SetViewPoint(1.0, 1.0, 0.0);
    renderer->ViewToDisplay();
    renderer->GetDisplayPoint(unit);
    this->Bx = origin[0];
    this->By = origin[1];
    this->Ax = unit[0] - origin[0];
    this->Ay = unit[1] - origin[1];
    this->Fast = std::isfinite(this->Ax) && std::isfinite(this->Ay);
  }

  bool Inside(const double p[3])
  {
    if (this->Fast)
    {
      const double* m = this->M;
      const double w = m[12] * p[0] + m[13] * p[1] + m[14] * p[2] + m[15];
      if (w != 0.0)
      {
        const double vx = (m[0] * p[0] + m[1] * p[1] + m[2] * p[2] + m[3]) / w;
        const double vy = (m[4] * p[0] + m[5] * p[1] + m[6] * p[2] + m[7]) / w;
        const double dx = this->Ax * vx + this->Bx;
        const double dy = this->Ay * vy + this->By;
        int decided = 0;
        bool inside = true;
        Compare(this->Bounds[0], dx, decided, inside);
        Compare(this->Bounds[1], dy, decided, inside);
        Compare(dx, this->Bounds[2], decided, inside);
        Compare(dy, this->Bounds[3], decided, inside);
        if (decided == 4 || (decided > 0 && !inside))
        {
          return inside;
        }
      }
    }
    double d[3];
    this->Renderer->SetWorldPoint(p[0], p[1], p[2], 1.0);
    this->Renderer->WorldToDisplay();
    this->Renderer->GetDisplayPoint(d);
    return this->Bounds[0] <= d[0] && this->Bounds[1] <= d[1] && d[0] <= this->Bounds[2] &&
      d[1] <= this->Bounds[3];
  }

private:
  // lo <= hi, when the two are clearly apart; otherwise left undecided.
  static void Compare(double lo, double hi, int& decided, bool& inside)
  {
    const double margin = 1e-6 * (1.0 + std::fabs(lo) + std::fabs(hi));
    if (hi - lo > margin)
    {
      ++decided;
    }
    else if (lo - hi > margin)
    {
      ++decided;
      inside = false;
    }
  }

  vtkRenderer* Renderer;
  double Bounds[4];
  double M[16] = {};
  double Ax = 0.0, Bx = 0.0, Ay = 0.0, By = 0.0;
  bool Fast = false;
};
} // namespace

//------------------------------------------------------------------------------
vtkVisibleSelectionPicker::vtkVisibleSelectionPicker()
  : HardwareSelector(vtkHardwareSelector::New())
  , HardwareSelection(nullptr)
  , PixelTolerance(4.0)
{
  this->HardwareSelector->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
}

//------------------------------------------------------------------------------
vtkVisibleSelectionPicker::~vtkVisibleSelectionPicker()
{
  this->HardwareSelector->Delete();
  if (this->HardwareSelection)
  {
    this->HardwareSelection->Delete();
  }
}

//------------------------------------------------------------------------------
int vtkVisibleSelectionPicker::AreaPick(double x0,
  double y0,
  double x1,
  double y1,
  vtkRenderer* renderer)
{
  if (!this->CheckAreaPickArguments(x0, y0, x1, y1, renderer))
  {
    return 0;
  }

  this->SelectionPoint[0] = (x0 + x1) / 2.0;
  this->SelectionPoint[1] = (y0 + y1) / 2.0;
  this->SelectionPoint[2] = 0.0;

  // Clamp to the renderer's own pixels: origin to origin + size.
  const int* originPtr = renderer->GetOrigin();
  const double origin[2] = { static_cast<double>(originPtr[0]), static_cast<double>(originPtr[1]) };
  const int* sizePtr = renderer->GetSize();
  const double extent[2] = { origin[0] + sizePtr[0], origin[1] + sizePtr[1] };
  auto clamp = [](double v, double lo, double hi) { return std::min(std::max(v, lo), hi); };
  this->SelectionArea[0] = clamp(std::min(x0, x1), origin[0], extent[0]);
  this->SelectionArea[1] = clamp(std::min(y0, y1), origin[1], extent[1]);
  this->SelectionArea[2] = clamp(std::max(x0, x1), origin[0], extent[0]);
  this->SelectionArea[3] = clamp(std::max(y0, y1), origin[1], extent[1]);

  this->Renderer = renderer;
  if (this->HardwareSelection)
  {
    this->HardwareSelection->Delete();
    this->HardwareSelection = nullptr;
  }

  // SelectionArea reaches origin + size, one pixel past the renderer's
  // last one; the selector reads whatever its area covers, in the
  // framebuffer or not, and decodes it as ids. It gets only pixels that
  // exist, and nothing at all when the rectangle covers none of them.
  const double corners[4] = { x0, y0, x1, y1 };
  double clipped[4];
  int pixels[4];
  if (!ClipToRendererPixels(renderer, corners, clipped, pixels))
  {
    return 0;
  }

  // The selector renders the whole window: only the picking renderer may
  // draw, and when picking from the list only listed props may be hit.
  std::map<vtkRenderer*, int> draws;
  vtkRendererCollection* renderers = renderer->GetRenderWindow()->GetRenderers();
  vtkCollectionSimpleIterator rit;
  renderers->InitTraversal(rit);
  while (vtkRenderer* other = renderers->GetNextRenderer(rit))
  {
    if (other != renderer && draws.emplace(other, other->GetDraw()).second)
    {
      other->DrawOff();
    }
  }
  std::map<vtkProp*, int> pickables;
  if (this->GetPickFromList())
  {
    vtkPropCollection* props = renderer->GetViewProps();
    vtkCollectionSimpleIterator pit;
    props->InitTraversal(pit);
    while (vtkProp* prop = props->GetNextProp(pit))
    {
      if (!this->PickList->IsItemPresent(prop) &&
        pickables.emplace(prop, prop->GetPickable()).second)
      {
        prop->SetPickable(0);
      }
    }
  }

  this->HardwareSelector->SetArea(static_cast<unsigned int>(pixels[0]),
    static_cast<unsigned int>(pixels[1]),
    static_cast<unsigned int>(pixels[2]),
    static_cast<unsigned int>(pixels[3]));
  this->HardwareSelector->SetRenderer(renderer);
  this->HardwareSelection = this->HardwareSelector->Select();

  for (const auto& saved : pickables)
  {
    saved.first->SetPickable(saved.second);
  }
  for (const auto& saved : draws)
  {
    saved.first->SetDraw(saved.second);
  }

  int count = 0;
  if (!this->HardwareSelection)
  {
    return count;
  }
  for (unsigned int i = 0; i < this->HardwareSelection->GetNumberOfNodes(); ++i)
  {
    vtkSelectionNode* node = this->HardwareSelection->GetNode(i);
    auto* prop = vtkProp::SafeDownCast(node->GetProperties()->Get(vtkSelectionNode::PROP()));
    if (!prop || !this->TagNodeSource(prop, node))
    {
      continue;
    }
    ++count;
  }
  return count;
}

//------------------------------------------------------------------------------
vtkSelection* vtkVisibleSelectionPicker::GetSelection()
{
  this->Selection->Initialize();
  if (!this->HardwareSelection || this->HardwareSelection->GetNumberOfNodes() == 0)
  {
    return this->Selection;
  }
  for (unsigned int i = 0; i < this->HardwareSelection->GetNumberOfNodes(); ++i)
  {
    vtkSelectionNode* node = this->HardwareSelection->GetNode(i);
    vtkDataSet* data = NodeDataSet(node);
    if (data)
    {
      this->FillSelectionFromDataSet(node, data);
    }
  }
  return this->Selection;
}

//------------------------------------------------------------------------------
void vtkVisibleSelectionPicker::FillSelectionFromDataSet(vtkSelectionNode* node, vtkDataSet* data)
{
  if (!node || !data)
  {
    return;
  }
  const int association = this->FieldAssociation;
  if (association == vtkDataObject::FIELD_ASSOCIATION_POINTS ||
    association == vtkDataObject::FIELD_ASSOCIATION_POINTS_THEN_CELLS)
  {
    // Points of the selected cells, in order of first occurrence. A bitmap
    // of the points seen gives the ids vtkIdList::InsertUniqueId would, in
    // linear instead of quadratic time. Point ids outside the data set's
    // points are ignored.
    std::vector<vtkIdType> pointIds;
    auto* cellIds = vtkIdTypeArray::SafeDownCast(node->GetSelectionList());
    auto* polyData = vtkPolyData::SafeDownCast(data);
    if (cellIds && polyData)
    {
      polyData->BuildCells();
      const vtkIdType numberOfCells = polyData->GetNumberOfCells();
      const vtkIdType numberOfPoints = polyData->GetNumberOfPoints();
      std::vector<unsigned char> seen(static_cast<size_t>(numberOfPoints), 0);
      const vtkIdType numberOfIds = cellIds->GetNumberOfTuples();
      for (vtkIdType k = 0; k < numberOfIds; ++k)
      {
        const vtkIdType cellId = cellIds->GetValue(k);
        if (cellId < 0 || cellId >= numberOfCells)
        {
          continue;
        }
        vtkIdType npts = 0;
        const vtkIdType* pts = nullptr;
        polyData->GetCellPoints(cellId, npts, pts);
        for (vtkIdType j = 0; j < npts; ++j)
        {
          const vtkIdType pointId = pts[j];
          if (pointId >= 0 && pointId < numberOfPoints && !seen[pointId])
          {
            seen[pointId] = 1;
            pointIds.push_back(pointId);
          }
        }
      }
    }

    vtkNew<vtkIdTypeArray> kept;
    if (!pointIds.empty() && this->Renderer)
    {
      const double tolerance = this->PixelTolerance;
      const double bounds[4] = { this->SelectionArea[0] - tolerance,
        this->SelectionArea[1] - tolerance,
        this->SelectionArea[2] + tolerance,
        this->SelectionArea[3] + tolerance };
      // The camera's composite matrix is read once per node; a point within
      // a hair of the widened rectangle's border is projected again with
      // the renderer's WorldToDisplay(), so the kept ids are exactly those
      // of a per-point WorldToDisplay() test.
      DisplayTest test(this->Renderer, bounds);
      kept->Allocate(static_cast<vtkIdType>(pointIds.size()));
      double point[3];
      for (vtkIdType pointId : pointIds)
      {
        data->GetPoint(pointId, point);
        if (test.Inside(point))
        {
          kept->InsertNextValue(pointId);
        }
      }
    }

    if (association == vtkDataObject::FIELD_ASSOCIATION_POINTS || kept->GetNumberOfTuples() > 0)
    {
      vtkNew<vtkSelectionNode> pointNode;
      pointNode->ShallowCopy(node);
      pointNode->SetFieldType(vtkSelectionNode::POINT);
      pointNode->SetSelectionList(kept);
      AppendNode(this->Selection, pointNode);
    }
  }
  if (association == vtkDataObject::FIELD_ASSOCIATION_CELLS ||
    association == vtkDataObject::FIELD_ASSOCIATION_POINTS_THEN_CELLS)
  {
    AppendNode(this->Selection, node);
  }
}

//------------------------------------------------------------------------------
void vtkVisibleSelectionPicker::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
}
