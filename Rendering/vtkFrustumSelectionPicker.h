/**
 * @class   vtkFrustumSelectionPicker
 * @brief   area picker selecting every point and cell inside the frustum of a screen rectangle
 *
 * vtkFrustumSelectionPicker selects through the model: every point (inside)
 * and cell (inside or crossing) of a prop's data set in the frustum spanned
 * by the rectangle, hidden or not. The props are those the renderer's own
 * area pick finds under the rectangle and that are in the pick list
 * (AddPickList(); an empty list tags nothing). With both points and cells
 * wanted, a prop's point node comes before its cell node.
 *
 * @code
 * vtkNew<vtkFrustumSelectionPicker> picker;
 * picker->AddPickList(actor);
 * picker->AreaPick(x0, y0, x1, y1, renderer); // number of props found
 * vtkSelectionPicker* base = picker;
 * vtkSelection* all = base->GetSelection(); // nodes of every tagged prop
 * vtkSelection* mine = picker->GetSelectionForProp3D(actor);
 * @endcode
 *
 * @sa vtkSelectionPicker vtkVisibleSelectionPicker vtkSelectionSource
 */

#ifndef vtkFrustumSelectionPicker_h
#define vtkFrustumSelectionPicker_h

#include "vtkSelectionPicker.h"
#include "vtkSmartPointer.h"        // for vtkSmartPointer
#include "vtkorviRenderingModule.h" // for export macro

#include <map> // for PropSelections

class vtkDataSet;
class vtkIdTypeArray;
class vtkProp3D;
class vtkProp3DCollection;
class vtkSelectionSource;

class VTKORVIRENDERING_EXPORT vtkFrustumSelectionPicker : public vtkSelectionPicker
{
public:
  static vtkFrustumSelectionPicker* New();
  vtkTypeMacro(vtkFrustumSelectionPicker, vtkSelectionPicker);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /**
   * Computes the rectangle's frustum (PickPosition: its centre) and tags
   * the props in the pick list. Returns the number of props the renderer's
   * area pick found, tagged or not.
   */
  int AreaPick(double x0, double y0, double x1, double y1, vtkRenderer* renderer) override;

  /// The props tagged by the last AreaPick(); null before the first one.
  vtkProp3DCollection* GetProp3Ds() const;

  /// The selection the last GetSelection() built for this prop, or null.
  vtkSelection* GetSelectionForProp3D(const vtkProp3D* prop) const;

  /**
   * The ascending ids of data's points (fieldType vtkSelectionNode::POINT)
   * or cells in the last AreaPick()'s frustum, by GetSelection()'s test.
   * data need not be drawn: a host showing a volume mesh's surface selects
   * the volume's cells. False, ids empty, before a pick or for null input.
   */
  bool SelectIds(vtkDataSet* data, int fieldType, vtkIdTypeArray* ids);

protected:
  vtkFrustumSelectionPicker();
  ~vtkFrustumSelectionPicker() override;

  vtkSelection* GetSelection() override;

  vtkSelectionSource* SelectionSource;
  vtkSelection* FrustumSelection;
  vtkSmartPointer<vtkProp3DCollection> Prop3Ds;
  std::map<const vtkProp3D*, vtkSmartPointer<vtkSelection>> PropSelections;

private:
  vtkFrustumSelectionPicker(const vtkFrustumSelectionPicker&) = delete;
  void operator=(const vtkFrustumSelectionPicker&) = delete;
};

#endif
