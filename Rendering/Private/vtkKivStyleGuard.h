/**
 * @class   vtkKivStyleGuard
 * @brief   internal: the guard policy of the navigators and interactor styles
 *
 * Internal to the library (not installed, not wrapped). VTK's interactor
 * styles reach through the interactor, its render window and the current
 * renderer's window without checking for them; the library's navigators
 * and styles can meet all three missing (a style not installed yet, an
 * interactor the host released, a renderer removed from its window). The
 * predicates below say what an operation needs; the macros define the
 * guarded overrides once, each used in the .cxx of a class whose header
 * declares those overrides (vtkKivInteractor, vtkInteractorStyleMervo,
 * vtkInteractorStyleCATIA).
 */

#ifndef vtkKivStyleGuard_h
#define vtkKivStyleGuard_h

class vtkInteractorStyle;
class vtkRenderer;

class vtkKivStyleGuard
{
public:
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

  vtkKivStyleGuard() = delete;
};

/**
 * Defines thisClass's StartState(), StopState(), Rotate(), Pan(), Spin(),
 * Dolly() and EnvironmentRotate() as the superclass's behind the guards:
 * without a window StartState() does nothing and StopState() only returns
 * to state none; a camera motion needs CanMoveCamera(). onPan is a
 * statement every Pan() runs first, guarded or not (may be empty).
 */
#define vtkKivGuardedOperationsMacro(thisClass, onPan)                                             \
  void thisClass::StartState(int newstate)                                                         \
  {                                                                                                \
    if (vtkKivStyleGuard::HasWindow(this))                                                         \
    {                                                                                              \
      this->Superclass::StartState(newstate);                                                      \
    }                                                                                              \
  }                                                                                                \
  void thisClass::StopState()                                                                      \
  {                                                                                                \
    if (vtkKivStyleGuard::HasWindow(this))                                                         \
    {                                                                                              \
      this->Superclass::StopState();                                                               \
    }                                                                                              \
    else                                                                                           \
    {                                                                                              \
      this->State = VTKIS_NONE;                                                                    \
    }                                                                                              \
  }                                                                                                \
  void thisClass::Pan()                                                                            \
  {                                                                                                \
    onPan;                                                                                         \
    vtkKivGuardedCameraBody(Pan);                                                                  \
  }                                                                                                \
  vtkKivGuardedCameraOverride(thisClass, Rotate);                                                  \
  vtkKivGuardedCameraOverride(thisClass, Spin);                                                    \
  vtkKivGuardedCameraOverride(thisClass, Dolly);                                                   \
  vtkKivGuardedCameraOverride(thisClass, EnvironmentRotate)

// The body of a guarded override: the superclass's operation, when
// condition holds.
#define vtkKivGuardedBody(operation, condition)                                                    \
  if (condition)                                                                                   \
  {                                                                                                \
    this->Superclass::operation();                                                                 \
  }

#define vtkKivGuardedCameraBody(operation)                                                         \
  vtkKivGuardedBody(operation, vtkKivStyleGuard::CanMoveCamera(this))

#define vtkKivGuardedCameraOverride(thisClass, operation)                                          \
  void thisClass::operation()                                                                      \
  {                                                                                                \
    vtkKivGuardedCameraBody(operation)                                                             \
  }                                                                                                \
  static_assert(true, "")

/**
 * Defines thisClass's handler (one of VTK's mouse handlers, which read the
 * event position from the interactor) as the superclass's, done only when
 * the style has an interactor.
 */
#define vtkKivGuardedHandlerMacro(thisClass, handler)                                              \
  void thisClass::handler()                                                                        \
  {                                                                                                \
    vtkKivGuardedBody(handler, this->Interactor)                                                   \
  }                                                                                                \
  static_assert(true, "")

/**
 * Defines thisClass's OnChar() for a class that keeps VTK's keys: nothing
 * without a window (VTK's '3' for stereo uses it unchecked); otherwise in
 * the renderer under the pointer (the host's buttons may not have set a
 * current renderer yet), 'f' flies through the class's Flight (a
 * std::unique_ptr<vtkKivFlight>) and every other key is VTK's.
 */
#define vtkKivGuardedKeysMacro(thisClass)                                                          \
  void thisClass::OnChar()                                                                         \
  {                                                                                                \
    if (!vtkKivStyleGuard::HasWindow(this))                                                        \
    {                                                                                              \
      return;                                                                                      \
    }                                                                                              \
    vtkRenderer* renderer = vtkKivStyleGuard::PokedRenderer(this);                                 \
    if (!vtkKivSharedHandlers::FlyKey(this, renderer, *this->Flight))                              \
    {                                                                                              \
      this->Superclass::OnChar();                                                                  \
    }                                                                                              \
  }                                                                                                \
  static_assert(true, "")

#endif
