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
 * - FlyToPick(): pick with the fly picker and fly the focal point there,
 *   through the style's vtkKivFlight.
 *
 * vtkKivFlight is the flight itself: VTK's FlyTo() frames, drawn in a loop
 * for a window that shows its frames itself, or one frame per timer event
 * for a window a host toolkit puts on screen.
 *
 * This is internal to the library: it is not installed and not wrapped.
 */

#ifndef vtkKivSharedHandlers_h
#define vtkKivSharedHandlers_h

#include "vtkWeakPointer.h" // for vtkWeakPointer

#include <functional> // for std::function

class vtkCellPicker;
class vtkInteractorStyle;
class vtkRenderWindowInteractor;
class vtkRenderer;

/**
 * The camera's flight to a point: the frames of VTK's
 * vtkRenderWindowInteractor::FlyTo() (the interactor's NumberOfFlyFrames
 * steps of the focal point towards the point, each with its share of the
 * interactor's Dolly, the view-up made orthogonal, the clipping range reset
 * and a render).
 *
 * A window that a host toolkit puts on screen (a vtkGenericOpenGLRenderWindow
 * in a Qt widget) shows a frame only when the host paints it, from its event
 * loop; frames rendered in a loop inside one event handler never reach the
 * screen, and on a busy machine the user looks at a frozen view for as long
 * as the loop lasts. For such a window, when the interactor has timers, the
 * flight draws one frame per timer event instead (the host paints each one
 * before the next), and Fly() returns at once; the style's OnTimer() hands
 * the timer events to Step(). Otherwise Fly() draws every frame before it
 * returns, as VTK's FlyTo() does.
 */
class vtkKivFlight
{
public:
  /**
   * Fly the focal point of renderer's active camera to target. finished
   * (may be empty) runs after the last frame: before Fly() returns, or from
   * the timer event that draws it. A flight under way is replaced, its
   * finished not run.
   */
  void Fly(vtkRenderWindowInteractor* interactor,
    vtkRenderer* renderer,
    const double target[3],
    std::function<void()> finished);

  /**
   * A timer event of the interactor: while a flight is under way, draw its
   * next frame (the last one ends the flight) and return true.
   */
  bool Step(vtkRenderWindowInteractor* interactor);

  /// Whether a flight is under way, drawn from timer events.
  bool IsFlying() const { return this->TimerId != 0; }

  /// End a flight under way where it is, without its finished.
  void Stop(vtkRenderWindowInteractor* interactor);

private:
  // Frame `frame` (1 .. Frames) of the flight.
  void DrawFrame(vtkRenderWindowInteractor* interactor, int frame);

  vtkWeakPointer<vtkRenderer> Renderer;
  std::function<void()> Finished;
  double From[3] = { 0.0, 0.0, 0.0 };
  double Direction[3] = { 0.0, 0.0, 0.0 };
  double Delta = 0.0; // the focal point's step along Direction
  double DollyFactor = 1.0;
  int Frames = 0;
  int Frame = 0;
  int TimerId = 0; // the repeating timer of a flight under way; 0: none
};

class vtkKivSharedHandlers
{
public:
  /// A press with this many counted motions or fewer is a click.
  static constexpr int ClickMotions = 4;

  /**
   * The animation timer: only in state none with animState on (the style's
   * AnimState), render through the interactor. Returns the timer id the
   * style keeps: when it uses timers, a new repeating timer of its
   * TimerDuration replaces timerId (its TimerId); otherwise timerId. A
   * timer event of the style's flight draws the flight's next frame
   * instead.
   */
  static int OnAnimationTimer(vtkInteractorStyle* style,
    int animState,
    int timerId,
    vtkKivFlight& flight);

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
   * focal point to the picked point with flight (see vtkKivFlight; finished
   * runs after its last frame). Returns whether it flies; finished is not
   * run when it does not. The caller keeps its AnimState on during the call.
   */
  static bool FlyToPick(vtkRenderWindowInteractor* interactor,
    vtkRenderer* renderer,
    vtkCellPicker* picker,
    vtkKivFlight& flight,
    std::function<void()> finished = {});

  /**
   * VTK's 'f' key (in styles that keep VTK's keys): when the interactor's
   * key is 'f' or 'F' and renderer is set, pick with the interactor's picker
   * at the event position as VTK does and fly there with flight. Returns
   * whether the key was 'f' or 'F' with a renderer (VTK's own handling is
   * then skipped); false leaves the key to VTK.
   */
  static bool FlyKey(vtkInteractorStyle* style, vtkRenderer* renderer, vtkKivFlight& flight);

  /**
   * Pick at the interactor's event position in renderer with the
   * interactor's picker, and return what a style's PropPicked becomes: 1
   * when the picker holds a path, 0 when it holds none or is not a
   * vtkAbstractPropPicker. No pick event is fired.
   */
  static int PickProp(vtkRenderWindowInteractor* interactor, vtkRenderer* renderer);

  vtkKivSharedHandlers() = delete;
};

#endif
