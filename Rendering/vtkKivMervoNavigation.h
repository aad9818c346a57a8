/**
 * @class   vtkKivMervoNavigation
 * @brief   what the two Mervo-convention classes share beyond the family's bodies
 *
 * vtkMervoInteractor (a navigator driven by the host through interaction
 * states) and vtkInteractorStyleMervo (a standalone style that maps the
 * mouse buttons itself) have different bases but handle mouse motions and
 * picks in the same way:
 * - a mouse motion in rotate, pan, spin and dolly state looks up the
 *   renderer under the pointer (the navigator also prepares its rotation
 *   marker there), takes the camera step (vtkKivSharedHandlers), counts in
 *   Moved and fires InteractionEvent; in box-zoom state it is counted, and
 *   the band is drawn from the FirstBandMotion-th count on; in other states
 *   it does nothing;
 * - Pick() picks at the pointer with the interactor's picker (PickProp()).
 *
 * This is internal to the library: it is not installed and not wrapped.
 *
 * @sa vtkMervoInteractor vtkInteractorStyleMervo vtkKivSharedHandlers vtkKivRubberBand
 */

#ifndef vtkKivMervoNavigation_h
#define vtkKivMervoNavigation_h

class vtkRenderWindowInteractor;
class vtkRenderer;

class vtkKivMervoNavigation
{
public:
  /// In box-zoom state the band is drawn from the motion that brings the
  /// counter to this value on.
  static constexpr int FirstBandMotion = 4;

  /**
   * Pick at the interactor's event position in renderer with the
   * interactor's picker, and return what the style's PropPicked becomes: 1
   * when the picker holds a path, 0 when it holds none or is not a
   * vtkAbstractPropPicker. No pick event is fired.
   */
  static int PickProp(vtkRenderWindowInteractor* interactor, vtkRenderer* renderer);

  vtkKivMervoNavigation() = delete;
};

#endif
