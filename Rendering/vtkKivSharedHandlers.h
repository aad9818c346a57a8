/**
 * @class   vtkKivSharedHandlers
 * @brief   handler and operation bodies the navigators and styles share word for word
 *
 * vtkMervoInteractor, vtkCatiaInteractor, vtkInteractorStyleMervo and
 * vtkInteractorStyleCATIA have two different bases but handle the timer,
 * the pick state, swallowed keys and the flight to the point under the
 * pointer identically. Each body works through the style's public
 * interface and returns what the style must store in its own fields:
 * - OnAnimationTimer(): re-render while an animation runs in state none;
 * - StartPick() / EndPick(): enter and leave the pick state with the
 *   interactor's pick events;
 * - SwallowKey(): read the key code and do nothing with it;
 * - MoveCamera(): the camera step of a mouse motion in VTK's rotate, pan,
 *   spin and dolly states;
 * - FlyToPick(): pick with the fly picker and fly the focal point there.
 *
 * This is internal to the library: it is not installed and not wrapped.
 */

#ifndef vtkKivSharedHandlers_h
#define vtkKivSharedHandlers_h

class vtkCellPicker;
class vtkInteractorStyle;
class vtkRenderWindowInteractor;
class vtkRenderer;

class vtkKivSharedHandlers
{
public:
  /// A press with this many counted motions or fewer is a click.
  static constexpr int ClickMotions = 4;

  /**
   * The animation timer: only in state none with animState on (the style's
   * AnimState), render through the interactor. Returns the timer id the
   * style keeps: when it uses timers, a new repeating timer of its
   * TimerDuration replaces timerId (its TimerId); otherwise timerId.
   */
  static int OnAnimationTimer(vtkInteractorStyle* style, int animState, int timerId);

  /**
   * Enter the pick state with StartState() and fire the interactor's
   * StartPickEvent through StartPickCallback(). Without an interactor that
   * has a render window there is nothing to pick in: no state, no event.
   */
  static void StartPick(vtkInteractorStyle* style);

  /**
   * Fire the interactor's EndPickEvent through EndPickCallback() (when
   * there is an interactor), then StopState().
   */
  static void EndPick(vtkInteractorStyle* style);

  /**
   * Ask the interactor for its key code and ignore it, so none of VTK's
   * keyboard shortcuts acts.
   */
  static void SwallowKey(vtkInteractorStyle* style);

  /**
   * True in rotate, pan, spin and dolly state: the states whose mouse
   * motions move the camera.
   */
  static bool MovesCamera(int state);

  /**
   * The camera step of a mouse motion in the style's state, in its current
   * renderer: the style's Rotate(), Pan(), Spin() or Dolly(). Nothing in
   * other states.
   */
  static void MoveCamera(vtkInteractorStyle* style);

  /**
   * Pick at the interactor's event position in renderer with the fly picker
   * and, when the pick found a path whose first node holds a prop, fly the
   * focal point to the picked point (the interactor's FlyTo(), which
   * renders every frame). Returns whether it flew. The caller keeps its
   * AnimState on during the call.
   */
  static bool FlyToPick(vtkRenderWindowInteractor* interactor,
    vtkRenderer* renderer,
    vtkCellPicker* picker);

  vtkKivSharedHandlers() = delete;
};

#endif
