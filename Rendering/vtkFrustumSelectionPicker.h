/**
 * @class   vtkFrustumSelectionPicker
 * @brief   area picker selecting every point and cell inside the frustum of a screen rectangle
 *
 * vtkFrustumSelectionPicker selects through the model: every point and/or
 * cell of a candidate prop's data set that lies inside the view frustum
 * spanned by the screen rectangle is selected, whether it is visible on
 * screen or hidden behind other geometry. Candidate props are those the
 * renderer's own area pick (vtkRenderer::PickProp) finds under the
 * rectangle and that are in the picker's pick list (AddPickList()): with an
 * empty pick list nothing is tagged, whatever the pick-from-list flag says.
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
 * AreaPick() normalises the rectangle (a zero-size side is widened by one
 * pixel), turns its corners into the eight world corners of the frustum,
 * sets PickPosition to their centroid, and tags one frustum node per prop of
 * the renderer's pick result with vtkSelectionNode::PROP() and
 * vtkSelectionNode::SOURCE(). GetSelection() converts each tagged node into
 * point-id and/or cell-id nodes (vtkSelectionNode::INDICES) of the mapper's
 * input; for FieldAssociation 3 a prop's point node comes before its cell
 * node and is left out of the combined result when it holds no id (the
 * prop's own selection keeps it).
 *
 * The cell ids are those vtkConvertSelection reports for the frustum
 * (cells inside or crossing it), the point ids those of the points inside
 * it; the converted nodes carry the frustum node's properties, content type
 * INDICES and the field type of their ids.
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
   * Computes the frustum of the rectangle and tags the candidate props.
   * Returns the number of props the renderer's area pick reported (tagged
   * or not), 0 when it found nothing. The frustum, SelectionArea,
   * SelectionPoint and PickPosition are those of the caller's rectangle;
   * the renderer's area pick gets it clipped to the renderer's pixels, so a
   * rectangle covering none of them finds no prop.
   */
  int AreaPick(double x0, double y0, double x1, double y1, vtkRenderer* renderer) override;

  /**
   * The props tagged by the last AreaPick(); null before the first one.
   */
  vtkProp3DCollection* GetProp3Ds() const;

  /**
   * The selection the last GetSelection() built for this prop, or null.
   */
  vtkSelection* GetSelectionForProp3D(const vtkProp3D* prop) const;

  /**
   * Fills ids (emptied first) with the ids of the points
   * (vtkSelectionNode::POINT) or cells (any other field type) of data that
   * lie inside the frustum of the last successful AreaPick(), ascending,
   * by the test GetSelection() runs: the cells vtkExtractSelectedFrustum
   * reports (inside or crossing the frustum) and the points inside it.
   * data need not be drawn by a picked prop: a host showing the surface of
   * a volume mesh selects the volume's own cells, interior ones included.
   * Returns false, with ids empty, before the first successful AreaPick()
   * or for null data or ids.
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
