/**
 * @class   vtkKivNavigationSetup
 * @brief   internal: what every navigator and standalone style builds at construction
 *
 * Internal to the library (not installed, not wrapped): the fly picker and
 * the 3D-mouse style of vtkMervoInteractor, vtkCatiaInteractor,
 * vtkInteractorStyleMervo and vtkInteractorStyleCATIA.
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

  /// A new vtkCellPicker with an eighth of the default tolerance, to fly with.
  static vtkSmartPointer<vtkCellPicker> MakeFlyPicker();

  /// Install a vtkTDxInteractorStyleCameraFocalPoint with the sensitivities above.
  static void InstallTDxStyle(vtkInteractorStyle* style);

  vtkKivNavigationSetup() = delete;
};

#endif
