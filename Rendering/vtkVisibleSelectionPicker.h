/**
 * @class   vtkVisibleSelectionPicker
 * @brief   area picker selecting only the cells (and their points) visible under a screen rectangle
 *
 * vtkVisibleSelectionPicker selects with VTK's hardware selector, so cells
 * hidden behind other geometry are not selected. Points are those of the
 * selected cells of polygonal data that fall within the rectangle widened
 * by PixelTolerance.
 *
 * @code
 * vtkNew<vtkVisibleSelectionPicker> picker;
 * picker->AreaPick(x0, y0, x1, y1, renderer);   // number of usable props hit
 * vtkSelection* selection =
 *   static_cast<vtkSelectionPicker*>(picker)->GetSelection();
 * @endcode
 * *
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
   * Runs the hardware selection on the rectangle's part on the renderer
   * (only the pick list's props with PickFromListOn()). Returns the number
   * of pickable props hit. PickPosition is left unchanged.
   */
  int AreaPick(double x0, double y0, double x1, double y1, vtkRenderer* renderer) override;

protected:
  vtkVisibleSelectionPicker();
  ~vtkVisibleSelectionPicker() override;

  vtkSelection* GetSelection() override;

  ///@{
  /// Pixels by which the rectangle is widened when points are tested (4).
  vtkSetMacro(PixelTolerance, double);
  vtkGetMacro(PixelTolerance, double);
  ///@}

  /// Appends the point and/or cell id nodes of one hardware selection node.
  void FillSelectionFromDataSet(vtkSelectionNode* node, vtkDataSet* data);

  vtkHardwareSelector* HardwareSelector;
  vtkSelection* HardwareSelection;
  double PixelTolerance;

private:
  vtkVisibleSelectionPicker(const vtkVisibleSelectionPicker&) = delete;
  void operator=(const vtkVisibleSelectionPicker&) = delete;
};

#endif
