/**
 * @class   vtkKivNavigationSetup
 * @brief   what every navigator and standalone style builds at construction
 *
 * vtkMervoInteractor, vtkCatiaInteractor, vtkInteractorStyleMervo and
 * vtkInteractorStyleCATIA each own a fine cell picker for flying to the
 * point under the pointer, and each installs a focal-point 3D-mouse style
 * with the library's sensitivities. Both are made here, once.
 *
 * This is internal to the library: it is not installed and not wrapped.
 */

#ifndef vtkKivNavigationSetup_h
#define vtkKivNavigationSetup_h

#include "vtkSmartPointer.h" // for vtkSmartPointer

class vtkCellPicker;
class vtkInteractorStyle;

class vtkKivNavigationSetup
{
public:
  /// Angle sensitivity of the 3D-mouse style the library installs.
  static constexpr double TDxAngleSensitivity = -0.03125;
  /// Translation sensitivity (X, Y and Z) of that style.
  static constexpr double TDxTranslationSensitivity = -0.00390625;

  /**
   * A new vtkCellPicker whose tolerance is one eighth of its default: the
   * picker a style flies with (its Picker).
   */
  static vtkSmartPointer<vtkCellPicker> MakeFlyPicker();

  /**
   * Create a vtkTDxInteractorStyleCameraFocalPoint with the library's
   * sensitivities and install it on the style with SetTDxStyle().
   */
  static void InstallTDxStyle(vtkInteractorStyle* style);

  vtkKivNavigationSetup() = delete;
};

#endif
