/**
 * @class   vtkKivSharedHandlers
 * @brief   internal: handler and operation bodies the navigators and styles share
 *
 * Internal to the library (not installed, not wrapped). vtkMervoInteractor,
 * vtkCatiaInteractor, vtkInteractorStyleMervo and vtkInteractorStyleCATIA
 * have two different bases but handle the timer, the pick state, swallowed
 * keys, camera motion and the flight to the point under the pointer the
 * same way. Each body works through the style's public interface and
 * returns what the style stores in its own fields. vtkKivFlight is the
 * flight itself.
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
 * vtkRenderWindowInteractor::FlyTo(), drawn in a loop, or one per timer
 * event (handed over by the style's OnTimer() to Step()) for a window a host
 * toolkit puts on screen.
 */
class vtkKivFlight
{
public:
  /**
   * Fly the active camera's focal point to target; finished (may be empty)
   * runs after the last frame. Replaces a flight under way.
   */
  void Fly(vtkRenderWindowInteractor* interactor,
    vtkRenderer* renderer,
    const double target[3],
    std::function<void()> finished);

  /// A timer event: while a flight is under way, draw its next frame, true.
  bool Step(vtkRenderWindowInteractor* interactor);

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
   * The style's OnTimer(): a flight frame, or in state none with animState
   * on a render (re-arming a repeating timer). Returns the new TimerId.
   */
  static int OnAnimationTimer(vtkInteractorStyle* style,
    int animState,
    int timerId,
    vtkKivFlight& flight);

  /// Enter the pick state and fire StartPickEvent; nothing without a window.
  static void StartPick(vtkInteractorStyle* style);

  /// Fire EndPickEvent (with an interactor), then StopState().
  static void EndPick(vtkInteractorStyle* style);

  /// Read the key code and ignore it: none of VTK's shortcuts acts.
  static void SwallowKey(vtkInteractorStyle* style);

  /// True in rotate, pan, spin and dolly state.
  static bool MovesCamera(int state);

  /// The style's Rotate(), Pan(), Spin() or Dolly() for its state.
  static void MoveCamera(vtkInteractorStyle* style);

  /**
   * Pick at the event position with the fly picker and, when a prop is hit,
   * fly there (finished runs after the last frame). Returns whether it
   * flies; finished is not run otherwise, for the caller to fall back.
   */
  static bool FlyToPick(vtkRenderWindowInteractor* interactor,
    vtkRenderer* renderer,
    vtkCellPicker* picker,
    vtkKivFlight& flight,
    std::function<void()> finished = {});

  /**
   * VTK's 'f' key through flight: with a renderer and 'f' or 'F', pick with
   * the interactor's picker and fly there; true. False leaves the key to VTK.
   */
  static bool FlyKey(vtkInteractorStyle* style, vtkRenderer* renderer, vtkKivFlight& flight);

  /// Pick with the interactor's picker; the style's new PropPicked. No event.
  static int PickProp(vtkRenderWindowInteractor* interactor, vtkRenderer* renderer);

  vtkKivSharedHandlers() = delete;
};

#endif
