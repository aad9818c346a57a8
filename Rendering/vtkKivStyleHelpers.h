/**
 * @class   vtkKivStyleHelpers
 * @brief   handler bodies shared by the library's navigators and interactor styles
 *
 * The navigators (vtkMervoInteractor, vtkCatiaInteractor) and the standalone
 * styles (vtkInteractorStyleMervo, vtkInteractorStyleCATIA) have different
 * bases but share several handler bodies word for word. They live here once,
 * as static functions working on the calling style and on the protected
 * fields the style passes in:
 * - MakeFlyPicker(): the fine cell picker used for flying (one eighth of the
 *   default tolerance);
 * - InstallTDxStyle(): the focal-point 3D-mouse style with the library's
 *   sensitivities (angle -1/32, translations -1/256);
 * - OnAnimationTimer(): re-render while an animation runs in state none;
 * - StartPick() / EndPick(): enter and leave the pick state with the
 *   interactor's pick callbacks;
 * - SwallowKey(): read the key code and do nothing with it.
 *
 * This is internal to the library: it is not installed and not wrapped.
 */

#ifndef vtkKivStyleHelpers_h
#define vtkKivStyleHelpers_h

#include "vtkSmartPointer.h" // for vtkSmartPointer

class vtkCellPicker;
class vtkInteractorStyle;

class vtkKivStyleHelpers
{
public:
  /// Angle sensitivity of the 3D-mouse style the library installs.
  static constexpr double TDxAngleSensitivity = -0.03125;
  /// Translation sensitivity (X, Y and Z) of that style.
  static constexpr double TDxTranslationSensitivity = -0.00390625;

  /**
   * A new vtkCellPicker whose tolerance is one eighth of its default.
   */
  static vtkSmartPointer<vtkCellPicker> MakeFlyPicker();

  /**
   * Create a vtkTDxInteractorStyleCameraFocalPoint with the library's
   * sensitivities and install it on the style with SetTDxStyle().
   */
  static void InstallTDxStyle(vtkInteractorStyle* style);

  /**
   * The animation timer: only in state none with the animation flag on,
   * render through the interactor, replacing the repeating timer when the
   * style uses timers. timerId is the style's TimerId.
   */
  static void OnAnimationTimer(vtkInteractorStyle* style, int animState, int& timerId);

  /**
   * Enter the pick state (21) with StartState() and fire the interactor's
   * StartPickEvent through StartPickCallback().
   */
  static void StartPick(vtkInteractorStyle* style);

  /**
   * Fire the interactor's EndPickEvent through EndPickCallback(), then
   * StopState().
   */
  static void EndPick(vtkInteractorStyle* style);

  /**
   * Ask the interactor for its key code and ignore it, so none of VTK's
   * keyboard shortcuts acts.
   */
  static void SwallowKey(vtkInteractorStyle* style);

  vtkKivStyleHelpers() = delete;
};

#endif
