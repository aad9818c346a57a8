/**
 * @class   vtkKivFrustumSelector
 * @brief   internal: point and cell ids of a data set inside a frustum selection node
 *
 * Internal to the library (not installed, not wrapped). Runs
 * vtkFrustumSelector's inside tests directly and turns the flags into the
 * ids vtkConvertSelection would report (cells inside or crossing, points
 * inside), without building the extracted grid, and with point ids, which
 * vtkConvertSelection does not give on VTK 9.1. Initialize(frustumNode),
 * then SelectIds() as often as needed.
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

  /// The ascending ids of data's points (vtkSelectionNode::POINT) or cells in the frustum.
  void SelectIds(vtkDataSet* data, int fieldType, vtkIdTypeArray* ids);

protected:
  vtkKivFrustumSelector() = default;
  ~vtkKivFrustumSelector() override = default;

private:
  vtkKivFrustumSelector(const vtkKivFrustumSelector&) = delete;
  void operator=(const vtkKivFrustumSelector&) = delete;
};

#endif
