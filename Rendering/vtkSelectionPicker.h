/**
 * @class   vtkSelectionPicker
 * @brief   abstract base of the area pickers that turn a screen rectangle into a vtkSelection
 *
 * An area picker takes a rectangle in display (pixel) coordinates and a
 * renderer, decides which props lie under it and afterwards hands out a
 * vtkSelection whose nodes list the selected point and/or cell ids of each
 * prop's data set. A host creates one of the concrete pickers
 * (vtkFrustumSelectionPicker selects everything inside the rectangle's
 * frustum, vtkVisibleSelectionPicker only what is visible on screen),
 * chooses with SetFieldAssociation() whether points, cells or both are
 * wanted, calls AreaPick() (or Pick() for a single pixel) and then
 * GetSelection(), which the concrete pickers offer through this base class:
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
 * FieldAssociation uses vtkDataObject's numbering: 0 points, 1 cells,
 * 3 points then cells (the default). Any other value is stored as given and
 * makes GetSelection() return no nodes.
 *
 * The result nodes hold vtkSelectionNode::INDICES of one prop's data set and
 * carry the prop under vtkSelectionNode::PROP() and its mapper (or image
 * actor) under vtkSelectionNode::SOURCE(). The ids refer to the data set as
 * the mapper stores it; the prop's own transform is not applied.
 *
 * AreaPick() with a null renderer, a renderer outside any render window or
 * a corner that is not a finite number reports an error and returns 0 in
 * both concrete pickers, leaving the picker's state as it was. Both pickers
 * hand VTK's pixel reads only pixels the renderer has, and pick nothing for
 * a rectangle that covers none of them. The nodes of a selection keep the
 * order in which they were added: GetNode(i) is the i-th node.
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
   * Picks the props under the rectangle with corners (x0, y0) and (x1, y1),
   * in display pixels and in any order. Records the rectangle in
   * SelectionArea, its centre in SelectionPoint and the renderer. The
   * meaning of the returned count is the concrete picker's.
   */
  virtual int AreaPick(double x0, double y0, double x1, double y1, vtkRenderer* renderer) = 0;

  /**
   * Empties the picker's selection, fills it from the last AreaPick()
   * according to FieldAssociation and returns it. The object belongs to the
   * picker and is refilled by the next call.
   */
  virtual vtkSelection* GetSelection() = 0;

  ///@{
  /**
   * Which entities GetSelection() reports: 0 points, 1 cells, 3 points then
   * cells (default). Other values are stored and give empty results.
   */
  vtkSetMacro(FieldAssociation, int);
  vtkGetMacro(FieldAssociation, int);
  ///@}

  /**
   * The rectangle of the last area pick as xmin, ymin, xmax, ymax.
   */
  vtkGetVector4Macro(SelectionArea, double);

  /**
   * A point pick: AreaPick(x, y, x, y, renderer). z is ignored.
   */
  int Pick(double x, double y, double z, vtkRenderer* renderer) override;
  using vtkAbstractPicker::Pick;

protected:
  vtkSelectionPicker();
  ~vtkSelectionPicker() override;

  // The class is abstract: there is nothing to make a new instance of.
  vtkObjectBase* NewInstanceInternal() const override { return nullptr; }

  /**
   * Tells whether a prop can be picked (1) or not (0), and reports the
   * mapper of actors, LOD props and volumes, or the prop itself when it is
   * an image actor. An actor whose opacity is 0 is refused but its mapper is
   * still reported. A null prop, or a vtkLODProp3D without any level, gives
   * 0 with both outputs null.
   */
  int TypeDecipher(vtkProp* prop, vtkImageActor** imageActor, vtkAbstractMapper3D** mapper);

  /**
   * Adds a node after the selection's last one, under a name that keeps
   * GetNode(i) in insertion order.
   */
  static void AppendNode(vtkSelection* selection, vtkSelectionNode* node);

  /**
   * The argument checks every AreaPick() starts with: reports an error and
   * returns false for a null renderer, a renderer outside any render window
   * or a corner that is not a finite number.
   */
  bool CheckAreaPickArguments(double x0, double y0, double x1, double y1, vtkRenderer* renderer);

  /**
   * Runs TypeDecipher() on the prop and, when it is pickable, tags the node
   * with its source: vtkSelectionNode::SOURCE() becomes the prop's mapper
   * when that is a vtkMapper (a mapper of another kind sets nothing), or
   * the prop itself when it is a vtkImageActor. Returns TypeDecipher()'s
   * answer; a refused prop leaves the node untouched.
   */
  int TagNodeSource(vtkProp* prop, vtkSelectionNode* node);

  /**
   * The data set behind a node tagged by TagNodeSource(): the input of its
   * vtkMapper or of its vtkImageActor; null otherwise.
   */
  static vtkDataSet* NodeDataSet(vtkSelectionNode* node);

  /**
   * Clips a rectangle in display pixels to the pixels the renderer has:
   * origin to origin + size - 1 on each axis, both inclusive. Every pixel
   * read that a pick asks of VTK goes through this, because VTK reads
   * pixels outside the framebuffer (or outside the renderer, where other
   * renderers draw) without complaint and decodes whatever they hold.
   *
   * corners holds x0, y0, x1, y1 with the corners in any order. clipped
   * receives the same four values in the same order, each one below the
   * renderer's origin raised to it and each one at or past origin + size
   * lowered to origin + size - 1; a value on the renderer's pixels is kept
   * as given, so a rectangle inside the renderer comes back unchanged.
   * pixels receives xmin, ymin, xmax, ymax of the pixels covered: the
   * clipped values rounded down, sorted.
   *
   * Returns false, writing neither output, when the rectangle covers none
   * of the renderer's pixels: it lies wholly beside, below or above them,
   * starts at origin + size or further, or the renderer has no pixels.
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
