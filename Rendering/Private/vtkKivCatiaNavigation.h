/**
 * @class   vtkKivCatiaNavigation
 * @brief   spin rule, camera motion and rectangle pick shared by the two CATIA-convention classes
 *
 * vtkCatiaInteractor (a navigator driven by the host through interaction
 * states) and vtkInteractorStyleCATIA (a standalone style that maps the
 * mouse buttons itself) have different bases but move the camera and pick
 * in exactly the same way. Those bodies live here once; they work through
 * the style's public interface and return what they found, and each class
 * stores that in its own fields.
 *
 * - IsSpinning(): whether the event position lies outside the central
 *   rotate zone, a circle about the window centre (integer-halved window
 *   size) whose radius is the rotate-zone radius times half the window
 *   diagonal. Strictly outside spins.
 * - StartMotion() and MoveCamera(): a mouse motion. In rotate, pan, spin
 *   and dolly state the renderer under the pointer becomes current, the
 *   camera moves, and the class counts a pan motion and fires
 *   InteractionEvent. A spin whose pointer comes into the central zone
 *   becomes a rotation for the rest of the drag; nothing turns a rotation
 *   back into a spin.
 * - PickRectangle() and Pick(): pick with the interactor's picker over the
 *   rectangle from the first corner to the event position, each coordinate
 *   clamped to the window two pixels inside its far edges; a vtkAreaPicker
 *   area-picks the rectangle, any other prop picker picks once at its
 *   centre.
 *
 * This is internal to the library: it is not installed and not wrapped.
 *
 * @sa vtkCatiaInteractor vtkInteractorStyleCATIA
 */

#ifndef vtkKivCatiaNavigation_h
#define vtkKivCatiaNavigation_h

#include <array>    // for std::array
#include <optional> // for std::optional

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
   * The start of a mouse motion: in rotate, pan, spin and dolly state, and
   * with an interactor, make the renderer under the event position current
   * and return true. Otherwise return false: the motion does nothing.
   */
  static bool StartMotion(vtkInteractorStyle* style);

  /**
   * The camera motion of the style's state (vtkKivSharedHandlers'
   * MoveCamera()), except that in spin state, when spinning (the style's
   * spin rule for the pointer) is false, the spin turns into a rotation:
   * EndSpin(), StartRotate() and Rotate(). Returns true for a pan, the one
   * motion the convention counts.
   */
  static bool MoveCamera(vtkInteractorStyle* style, bool spinning);

  /**
   * The clamped pick rectangle (x0, y0, x1, y1) of the corners start and end
   * in a window of width w and height h: ordered, negative coordinates made
   * 0, coordinates at or beyond the width or height made that extent less 2.
   */
  static std::array<int, 4> PickRectangle(const int start[2], const int end[2], int w, int h);

  /**
   * Pick with the interactor's picker over the clamped rectangle from start
   * to end in the renderer under end (made current), fire the interactor's
   * EndPickEvent and return what the style's PropPicked becomes: whether
   * the picker holds a path. Without a render window or a renderer there
   * it returns nothing (PropPicked keeps its value); with a picker that is
   * not a vtkAbstractPropPicker it returns 0 and fires no event.
   */
  static std::optional<int> Pick(vtkInteractorStyle* style, const int start[2], const int end[2]);

  vtkKivCatiaNavigation() = delete;
};

#endif
