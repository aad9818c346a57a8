/**
 * @class   vtkVisibleSelectionPicker
 * @brief   area picker selecting only the cells (and their points) visible under a screen rectangle
 *
 * vtkVisibleSelectionPicker lets VTK's hardware selector render cell ids
 * for the rectangle, so cells hidden behind other geometry are not
 * selected. When points are wanted they are derived from the selected cells
 * of polygonal data and kept only when their screen position lies inside
 * the rectangle widened by PixelTolerance (4 pixels) on every side.
 *
 * @code
 * vtkNew<vtkVisibleSelectionPicker> picker;
 * picker->AreaPick(x0, y0, x1, y1, renderer);   // number of usable props hit
 * vtkSelection* selection =
 *   static_cast<vtkSelectionPicker*>(picker)->GetSelection();
 * @endcode
 *
 * While the selector renders, every other renderer of the window stops
 * drawing and, when picking from the pick list (PickFromListOn()), every
 * prop of the renderer outside the list is made unpickable; both flags are
 * restored before AreaPick() returns, also when nothing was found.
 *
 * @sa vtkSelectionPicker vtkFrustumSelectionPicker vtkHardwareSelector
 */

#ifndef vtkVisibleSelectionPicker_h
#define vtkVisibleSelectionPicker_h

#include "vtkSelectionPicker.h"
#include "vtkorviRenderingModule.h" // for export macro

class vtkDataSet;
class vtkHardwareSelector;
class vtkSelectionNode;

class VTKORVIRENDERING_EXPORT vtkVisibleSelectionPicker : public vtkSelectionPicker
{
public:
  static vtkVisibleSelectionPicker* New();
  vtkTypeMacro(vtkVisibleSelectionPicker, vtkSelectionPicker);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /**
   * Runs the hardware selection on the rectangle's part that covers the
   * renderer's pixels, origin .. origin + size - 1 on each axis. Returns
   * the number of hit props that TypeDecipher() accepts; 0 when nothing was
   * selected or the rectangle covers none of the renderer's pixels.
   * SelectionArea is the rectangle clamped to origin .. origin + size on
   * each axis, where the renderer is drawn. PickPosition is left unchanged.
   */
  int AreaPick(double x0, double y0, double x1, double y1, vtkRenderer* renderer) override;

protected:
  vtkVisibleSelectionPicker();
  ~vtkVisibleSelectionPicker() override;

  vtkSelection* GetSelection() override;

  ///@{
  /**
   * Pixels by which the rectangle is widened on every side when points are
   * tested (default 4).
   */
  vtkSetMacro(PixelTolerance, double);
  vtkGetMacro(PixelTolerance, double);
  ///@}

  /**
   * Appends to Selection the point-id node and/or the cell-id node that one
   * hardware selection node gives for the data set of its prop.
   */
  void FillSelectionFromDataSet(vtkSelectionNode* node, vtkDataSet* data);

  vtkHardwareSelector* HardwareSelector;
  vtkSelection* HardwareSelection;
  double PixelTolerance;

private:
  vtkVisibleSelectionPicker(const vtkVisibleSelectionPicker&) = delete;
  void operator=(const vtkVisibleSelectionPicker&) = delete;
};

#endif
