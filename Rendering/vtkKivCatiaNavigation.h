/**
 * @class   vtkKivCatiaNavigation
 * @brief   motion, spin rule, fly and pick shared by the two CATIA-convention classes
 *
 * vtkCatiaInteractor (a navigator driven by the host through interaction
 * states) and vtkInteractorStyleCATIA (a standalone style that maps the mouse
 * buttons itself) have different bases but move the camera, fly and pick in
 * exactly the same way. Those bodies live here once, as static functions
 * working on the calling style and on the protected fields the style passes
 * in; every field stays on its class.
 *
 * - IsSpinning(): whether the event position lies outside the central rotate
 *   zone, a circle about the window centre (integer-halved window size) whose
 *   radius is rotateZoneRadius times half the window diagonal. Strictly
 *   outside spins.
 * - OnMouseMove(): the motion step of the current state. Rotate, pan
 *   (counted in moved), spin and dolly each look up the renderer under the
 *   pointer, move the camera and fire InteractionEvent on the style. A spin
 *   whose pointer comes into the central zone becomes a rotation for the rest
 *   of the drag; nothing turns a rotation back into a spin.
 * - Fly(): pick with the style's fine cell picker and fly the focal point to
 *   the picked point, with the animation flag on during the flight.
 * - Pick(): pick with the interactor's picker over the rectangle from
 *   startPosition to the event position (stored in endPosition), each
 *   coordinate clamped to the window two pixels inside its far edges; a
 *   vtkAreaPicker area-picks the rectangle, any other prop picker picks once
 *   at its centre.
 *
 * This is internal to the library: it is not installed and not wrapped.
 *
 * @sa vtkCatiaInteractor vtkInteractorStyleCATIA vtkKivStyleHelpers
 */

#ifndef vtkKivCatiaNavigation_h
#define vtkKivCatiaNavigation_h

#include <functional> // for std::function

class vtkCellPicker;
class vtkInteractorStyle;

class vtkKivCatiaNavigation
{
public:
  /**
   * True exactly when the event position is farther from the window centre
   * than rotateZoneRadius times half the window diagonal. False without a
   * current renderer, a render window or an interactor, and for an empty
   * window.
   */
  static bool IsSpinning(vtkInteractorStyle* style, double rotateZoneRadius);

  /**
   * The motion step of the style's current state. isSpinning is the style's
   * own spin rule (its virtual IsSpinning()), asked in spin state. moved is
   * the style's motion counter: only pan motion counts.
   */
  static void OnMouseMove(vtkInteractorStyle* style,
    int& moved,
    const std::function<bool()>& isSpinning);

  /**
   * Fly the focal point of the renderer under the pointer to the surface
   * point that picker finds there; nothing moves when the picker hits
   * nothing. animState is the style's AnimState, on during the call.
   */
  static void Fly(vtkInteractorStyle* style, vtkCellPicker* picker, int& animState);

  /**
   * The clamped pick rectangle (x0, y0, x1, y1) of the corners start and end
   * in a window of width w and height h: ordered, negative coordinates made
   * 0, coordinates at or beyond the width or height made that extent less 2.
   */
  static void PickRectangle(const int start[2], const int end[2], int w, int h, int rect[4]);

  /**
   * Pick with the interactor's picker over the clamped rectangle from
   * startPosition to the event position (written to endPosition), fire the
   * interactor's EndPickEvent and set propPicked to whether the picker holds
   * a path. With no renderer under the pointer propPicked keeps its value;
   * with a picker that is not a vtkAbstractPropPicker it becomes 0 and no
   * event is fired.
   */
  static void Pick(vtkInteractorStyle* style,
    const int startPosition[2],
    int endPosition[2],
    int& propPicked);

  vtkKivCatiaNavigation() = delete;
};

#endif
