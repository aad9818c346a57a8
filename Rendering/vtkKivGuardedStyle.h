/**
 * @class   vtkKivGuardedStyle
 * @brief   internal base of the navigators and interactor styles: VTK's trackball behind guards
 *
 * Internal to the library: installed and wrapped only because the classes
 * derived from it need it there (their public headers include it, and
 * their Python classes need their whole chain of bases); hosts use those
 * classes (vtkKivInteractor, vtkMervoInteractor, vtkCatiaInteractor,
 * vtkInteractorStyleMervo, vtkInteractorStyleCATIA), never this one.
 *
 * VTK's interactor styles reach through the interactor, its render window
 * and the current renderer's window without checking for them; the
 * library's navigators and styles can meet all three missing (a style not
 * installed yet, an interactor the host released, a renderer removed from
 * its window). This class is vtkInteractorStyleTrackballCamera with its
 * state changes, camera motions, mouse handlers and keys done only when
 * what they need is there:
 * - without an interactor with a render window StartState() does nothing
 *   and StopState() only returns to state none;
 * - Rotate(), Pan(), Spin(), Dolly() and EnvironmentRotate() need an
 *   interactor and a current renderer still in a render window;
 * - the trackball's mouse handlers and the wheel need an interactor;
 * - OnChar() needs an interactor with a render window; it works in the
 *   renderer under the pointer, and its 'f' flies there through Flight.
 * A derived class changes any of these the plain way, by overriding it (and
 * calling this class's version for the guarded behaviour).
 *
 * @sa vtkInteractorStyleTrackballCamera vtkKivInteractor
 */

#ifndef vtkKivGuardedStyle_h
#define vtkKivGuardedStyle_h

#include "vtkInteractorStyleTrackballCamera.h"
#include "vtkorviRenderingModule.h" // for export macro

#include <memory> // for std::unique_ptr

class vtkKivFlight;
class vtkRenderer;

class VTKORVIRENDERING_EXPORT vtkKivGuardedStyle : public vtkInteractorStyleTrackballCamera
{
public:
  vtkAbstractTypeMacro(vtkKivGuardedStyle, vtkInteractorStyleTrackballCamera);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  ///@{
  /**
   * Without an interactor with a render window StartState() does nothing
   * and StopState() only returns to state none.
   */
  void StartState(int newstate) override;
  void StopState() override;
  ///@}

  ///@{
  /// The trackball's motions, done only when CanMoveCamera().
  void Rotate() override;
  void Pan() override;
  void Spin() override;
  void Dolly() override;
  void EnvironmentRotate() override;
  ///@}

  ///@{
  /// The trackball's handlers, done only with an interactor.
  void OnMouseMove() override;
  void OnLeftButtonDown() override;
  void OnLeftButtonUp() override;
  void OnMiddleButtonDown() override;
  void OnMiddleButtonUp() override;
  void OnRightButtonDown() override;
  void OnRightButtonUp() override;
  void OnMouseWheelForward() override;
  void OnMouseWheelBackward() override;
  ///@}

  /**
   * VTK's keys in the renderer under the pointer, with 'f' flying there;
   * nothing without an interactor with a render window (VTK's '3' for
   * stereo uses the window unchecked).
   */
  void OnChar() override;

  /**
   * True when the style has an interactor with a render window: what VTK's
   * state changes and key bindings use.
   */
  static bool HasWindow(vtkInteractorStyle* style);

  /**
   * True when the style has an interactor and a current renderer that is
   * still in a render window: what VTK's camera motions use.
   */
  static bool CanMoveCamera(vtkInteractorStyle* style);

  /**
   * Make the renderer under the interactor's event position the style's
   * current renderer and return it; null without an interactor or when no
   * renderer is there.
   */
  static vtkRenderer* PokedRenderer(vtkInteractorStyle* style);

protected:
  vtkKivGuardedStyle();
  ~vtkKivGuardedStyle() override;

  // The trackball's Dolly(double) beside Dolly().
  using vtkInteractorStyleTrackballCamera::Dolly;

  // The camera's flight to a picked point (the derived classes' Fly(), the 'f' key).
  std::unique_ptr<vtkKivFlight> Flight;

private:
  vtkKivGuardedStyle(const vtkKivGuardedStyle&) = delete;
  void operator=(const vtkKivGuardedStyle&) = delete;
};

#endif
