/**
 * @class   vtkKivFrustumSelector
 * @brief   internal: point and cell ids of a data set inside a frustum selection node
 *
 * vtkConvertSelection reaches the ids inside a frustum by extracting the
 * selected part of the data set (vtkExtractSelection, which runs
 * vtkFrustumSelector) and reading the original ids back. That builds a whole
 * new grid only to throw it away, and for points it yields no ids at all on
 * VTK 9.1. This helper runs vtkFrustumSelector's own inside tests directly
 * and turns the resulting inside flags into ascending ids, which are the
 * ids the extraction would report: cells inside or crossing the frustum,
 * and the points inside it.
 *
 * Use: Initialize(frustumNode), then SelectIds(data, field, ids) as often as
 * needed for that frustum.
 */

#ifndef vtkKivFrustumSelector_h
#define vtkKivFrustumSelector_h

#include "vtkFrustumSelector.h"

class vtkDataSet;
class vtkIdTypeArray;

class vtkKivFrustumSelector : public vtkFrustumSelector
{
public:
  static vtkKivFrustumSelector* New();
  vtkTypeMacro(vtkKivFrustumSelector, vtkFrustumSelector);

  /**
   * Fills ids (emptied first) with the ids of the points
   * (vtkSelectionNode::POINT) or cells (any other value) of data inside the
   * frustum given to Initialize(), in ascending order.
   */
  void SelectIds(vtkDataSet* data, int fieldType, vtkIdTypeArray* ids);

protected:
  vtkKivFrustumSelector() = default;
  ~vtkKivFrustumSelector() override = default;

private:
  vtkKivFrustumSelector(const vtkKivFrustumSelector&) = delete;
  void operator=(const vtkKivFrustumSelector&) = delete;
};

#endif
