/**
 * @class   vtkSelectionPicker
 * @brief   abstract base of the area pickers that turn a screen rectangle into a vtkSelection
 *
 * An area picker takes a rectangle in display pixels and a renderer, and
 * hands out a vtkSelection with one node of point or cell ids per prop
 * (vtkSelectionNode::INDICES of the data set as its mapper stores it, the
 * prop under PROP(), its mapper or image actor under SOURCE()).
 * vtkFrustumSelectionPicker selects everything inside the rectangle's
 * frustum, vtkVisibleSelectionPicker only what shows on screen. A host
 * picks, then asks this base for the selection:
 *
 * @code
 * vtkNew<vtkFrustumSelectionPicker> picker;
 * picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
 * picker->AddPickList(actor);
 * picker->AreaPick(x0, y0, x1, y1, renderer);
 * vtkSelectionPicker* base = picker;
 * vtkSelection* selection = base->GetSelection(); // owned by the picker
 * @endcode
 *
 * A null renderer, a renderer outside any window or a corner that is not a
 * finite number is an error: AreaPick() returns 0 and changes nothing.
 *
 * @sa vtkFrustumSelectionPicker vtkVisibleSelectionPicker
 */

#ifndef vtkSelectionPicker_h
#define vtkSelectionPicker_h

#include "vtkAbstractPicker.h"
#include "vtkorviRenderingModule.h" // for export macro

class vtkAbstractMapper3D;
class vtkDataSet;
class vtkImageActor;
class vtkProp;
class vtkRenderer;
class vtkSelection;
class vtkSelectionNode;

class VTKORVIRENDERING_EXPORT vtkSelectionPicker : public vtkAbstractPicker
{
public:
  vtkAbstractTypeMacro(vtkSelectionPicker, vtkAbstractPicker);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /**
   * Picks the props under the rectangle with corners (x0, y0), (x1, y1) in
   * display pixels, in any order; records it in SelectionArea and its centre
   * in SelectionPoint. The count returned is the concrete picker's.
   */
  virtual int AreaPick(double x0, double y0, double x1, double y1, vtkRenderer* renderer) = 0;

  /**
   * The selection of the last AreaPick(), nodes in the order added; owned by
   * the picker and refilled by the next call.
   */
  virtual vtkSelection* GetSelection() = 0;

  ///@{
  /**
   * What GetSelection() reports, in vtkDataObject's numbering: 0 points,
   * 1 cells, 3 points then cells (default); other values give no nodes.
   */
  vtkSetMacro(FieldAssociation, int);
  vtkGetMacro(FieldAssociation, int);
  ///@}

  /// The rectangle of the last area pick: xmin, ymin, xmax, ymax.
  vtkGetVector4Macro(SelectionArea, double);

  /// AreaPick(x, y, x, y, renderer); z is ignored.
  int Pick(double x, double y, double z, vtkRenderer* renderer) override;
  using vtkAbstractPicker::Pick;

protected:
  vtkSelectionPicker();
  ~vtkSelectionPicker() override;

  // Abstract: no instance to make.
  vtkObjectBase* NewInstanceInternal() const override { return nullptr; }

  /**
   * Whether a prop can be picked (1) or not (0, e.g. an actor of opacity 0);
   * reports its mapper, or the prop itself when it is an image actor.
   */
  int TypeDecipher(vtkProp* prop, vtkImageActor** imageActor, vtkAbstractMapper3D** mapper);

  /// Adds a node after the selection's last one (GetNode(i) in insertion order).
  static void AppendNode(vtkSelection* selection, vtkSelectionNode* node);

  /// AreaPick()'s argument checks: false, with an error, on a bad argument.
  bool CheckAreaPickArguments(double x0, double y0, double x1, double y1, vtkRenderer* renderer);

  /**
   * TypeDecipher() on the prop; a pickable prop's vtkMapper (or image
   * actor) becomes the node's SOURCE(). Returns TypeDecipher()'s answer.
   */
  int TagNodeSource(vtkProp* prop, vtkSelectionNode* node);

  /// The input of a tagged node's mapper or image actor; null otherwise.
  static vtkDataSet* NodeDataSet(vtkSelectionNode* node);

  /**
   * Clips corners (x0, y0, x1, y1, any order) to the renderer's pixels:
   * clipped keeps their order, pixels gets xmin, ymin, xmax, ymax rounded
   * down. False, writing nothing, when no pixel of the renderer is covered.
   */
  static bool ClipToRendererPixels(vtkRenderer* renderer,
    const double corners[4],
    double clipped[4],
    int pixels[4]);

  vtkSelection* Selection;
  double SelectionArea[4];
  int FieldAssociation;

private:
  vtkSelectionPicker(const vtkSelectionPicker&) = delete;
  void operator=(const vtkSelectionPicker&) = delete;
};

#endif
