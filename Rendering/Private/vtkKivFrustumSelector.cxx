#include "vtkKivFrustumSelector.h"

#include "vtkDataSet.h"
#include "vtkIdTypeArray.h"
#include "vtkNew.h"
#include "vtkObjectFactory.h"
#include "vtkPlanes.h"
#include "vtkSelectionNode.h"
#include "vtkSignedCharArray.h"

vtkStandardNewMacro(vtkKivFrustumSelector);

//------------------------------------------------------------------------------
void vtkKivFrustumSelector::SelectIds(vtkDataSet* data, int fieldType, vtkIdTypeArray* ids)
{
  ids->Initialize();
  if (!data || !this->Frustum)
  {
    return;
  }
  const bool points = fieldType == vtkSelectionNode::POINT;
  const vtkIdType count = points ? data->GetNumberOfPoints() : data->GetNumberOfCells();
  // vtkFrustumSelector reads element 0 before its threaded loop: never hand
  // it an empty data set.
  if (count <= 0)
  {
    return;
  }

  vtkNew<vtkSignedCharArray> inside;
  inside->SetNumberOfTuples(count);
  inside->FillValue(0);
  if (points)
  {
    this->ComputeSelectedPoints(data, inside);
  }
  else
  {
    this->ComputeSelectedCells(data, inside);
  }

  const signed char* flags = inside->GetPointer(0);
  vtkIdType selected = 0;
  for (vtkIdType i = 0; i < count; ++i)
  {
    selected += flags[i] != 0 ? 1 : 0;
  }
  ids->SetNumberOfTuples(selected);
  vtkIdType* out = ids->GetPointer(0);
  for (vtkIdType i = 0; i < count; ++i)
  {
    if (flags[i] != 0)
    {
      *out++ = i;
    }
  }
}
