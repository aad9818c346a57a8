/**
 * @class   vtkKivCatiaNavigation
 * @brief   internal: spin rule, camera motion and rectangle pick of the CATIA convention
 *
 * Internal to the library (not installed, not wrapped). vtkCatiaInteractor
 * and vtkInteractorStyleCATIA have different bases but move the camera and
 * pick the same way: the bodies live here, work through the style's public
 * interface and return what each class stores in its own fields.
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
   * Whether the event position is farther from the window centre than
   * rotateZoneRadius times half the window diagonal (false without a
   * renderer, window or interactor).
   */
  static bool IsSpinning(vtkInteractorStyle* style, double rotateZoneRadius);

  /**
   * In a camera-moving state, with an interactor: make the renderer under
   * the event position current and return true.
   */
  static bool StartMotion(vtkInteractorStyle* style);

  /**
   * The state's camera motion; a spin whose pointer is no longer spinning
   * becomes a rotation for the rest of the drag. True for a pan, the one
   * motion the convention counts.
   */
  static bool MoveCamera(vtkInteractorStyle* style, bool spinning);

  /**
   * The ordered rectangle of start and end in a w x h window, negative
   * coordinates made 0, those at or past an extent made that extent less 2.
   */
  static std::array<int, 4> PickRectangle(const int start[2], const int end[2], int w, int h);

  /**
   * Pick over the clamped rectangle in the renderer under end (a
   * vtkAreaPicker the rectangle, another prop picker its centre), fire
   * EndPickEvent and return the style's new PropPicked; nothing without a
   * window or renderer, 0 without an event for another kind of picker.
   */
  static std::optional<int> Pick(vtkInteractorStyle* style, const int start[2], const int end[2]);

  vtkKivCatiaNavigation() = delete;
};

#endif
