/**
 * @class   vtkKivMervoNavigation
 * @brief   motion step, fly, pick and state ends shared by the two Mervo-convention classes
 *
 * vtkMervoInteractor (a navigator driven by the host through interaction
 * states) and vtkInteractorStyleMervo (a standalone style that maps the mouse
 * buttons itself) have different bases but carry out motions, fly and pick
 * in the same way. Those bodies live here once, as static functions working
 * on the calling style and on the protected fields it passes in; every field
 * stays on its class.
 *
 * Where the two classes differ, the caller passes the difference in:
 * - lookup: how the style finds the renderer under the pointer. The
 *   navigator's own FindPokedRenderer() also prepares its rotation marker;
 *   an empty lookup means vtkInteractorStyle::FindPokedRenderer().
 * - drawBand: the style's band drawing (BoxSelect() or RBSelect()).
 * - afterFlight: what the style does once a flight is over, still with the
 *   animation flag on (the navigator takes the focal point as its rotation
 *   centre).
 *
 * - PokedRenderer(): look up the renderer under the event position.
 * - OnMouseMove(): in rotate, pan, spin and dolly state, look up the
 *   renderer under the pointer, take the motion step (the style's Rotate(),
 *   Pan(), Spin(), and the trackball style's Dolly()), count it in moved and
 *   fire InteractionEvent on the style. In box-zoom state count the motion
 *   and draw the band from the fourth count on, without looking up a
 *   renderer and without an event. Other states: nothing.
 * - Fly(): pick with the style's fine cell picker and, when the pick found a
 *   path whose first node holds a prop, fly the focal point to the picked
 *   point with the animation flag on.
 * - Pick(): pick at the pointer with the interactor's picker and set
 *   propPicked to whether it found a path; 0 when that picker is not a
 *   vtkAbstractPropPicker. No pick callback is called.
 * - StopState(): VTK's StopState(); without an interactor (which StopState()
 *   renders through) only the state returns to none.
 * - EndPick(): the interactor's EndPickEvent, then StopState(); without an
 *   interactor only the state returns to none.
 *
 * This is internal to the library: it is not installed and not wrapped.
 *
 * @sa vtkMervoInteractor vtkInteractorStyleMervo vtkKivStyleHelpers vtkKivRubberBand
 */

#ifndef vtkKivMervoNavigation_h
#define vtkKivMervoNavigation_h

#include <functional> // for std::function

class vtkCellPicker;
class vtkInteractorStyle;
class vtkInteractorStyleTrackballCamera;
class vtkRenderer;

class vtkKivMervoNavigation
{
public:
  /**
   * The style's way of making the renderer under (x, y) its current one.
   */
  using RendererLookup = std::function<void(int x, int y)>;

  /**
   * Make the renderer under the interactor's event position the style's
   * current renderer and return it; null without an interactor or when no
   * renderer is found.
   */
  static vtkRenderer* PokedRenderer(vtkInteractorStyle* style, const RendererLookup& lookup = {});

  /**
   * The motion step of the style's current state; moved is the style's
   * motion counter.
   */
  static void OnMouseMove(vtkInteractorStyleTrackballCamera* style,
    int& moved,
    const RendererLookup& lookup,
    const std::function<void()>& drawBand);

  /**
   * Fly the focal point of the renderer under the pointer to the surface
   * point picker finds there. animState is the style's AnimState, on from
   * the pick to the end of afterFlight (which runs whether or not anything
   * was hit, with the current renderer).
   */
  static void Fly(vtkInteractorStyle* style,
    vtkCellPicker* picker,
    int& animState,
    const RendererLookup& lookup,
    const std::function<void(vtkRenderer*)>& afterFlight);

  /**
   * Pick at the pointer with the interactor's picker. With no renderer under
   * the pointer propPicked keeps its value.
   */
  static void Pick(vtkInteractorStyle* style, int& propPicked, const RendererLookup& lookup);

  /**
   * StopState(), or state = none without an interactor.
   */
  static void StopState(vtkInteractorStyle* style, int& state);

  /**
   * EndPickCallback() and StopState(), or state = none without an
   * interactor.
   */
  static void EndPick(vtkInteractorStyle* style, int& state);

  vtkKivMervoNavigation() = delete;
};

#endif
