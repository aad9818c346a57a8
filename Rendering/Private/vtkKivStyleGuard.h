/**
 * @class   vtkKivStyleGuard
 * @brief   the one guard policy of the library's navigators and interactor styles
 *
 * VTK's interactor styles reach through the interactor, its render window
 * and the current renderer's window without checking for them. The
 * library's navigators and styles can meet all three missing: a style not
 * installed yet, an interactor the host released, a renderer the host
 * removed from its window. vtkKivInteractor, vtkInteractorStyleMervo and
 * vtkInteractorStyleCATIA therefore override the VTK operations that do so,
 * and each override asks these predicates before handing over to VTK:
 * - StartState(), StopState() and VTK's key bindings (OnChar()) need
 *   HasWindow(): without it StartState() leaves the state alone and fires
 *   nothing, StopState() only returns to state none, keys do nothing;
 * - Rotate(), Pan(), Spin(), Dolly() and EnvironmentRotate() need
 *   CanMoveCamera(), and do nothing without it;
 * - VTK's own mouse handlers (the wheel, and the trackball's buttons and
 *   motion where a class keeps them) need an interactor to read the event
 *   position from.
 * The library's own operations ask the same predicates: a pick state or a
 * rubber band is only entered with a render window, and the renderer under
 * the pointer is only looked up with an interactor (PokedRenderer()).
 *
 * This is internal to the library: it is not installed and not wrapped.
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
   * current renderer (vtkInteractorStyle::FindPokedRenderer()) and return
   * it; null without an interactor or when no renderer is there.
   */
  static vtkRenderer* PokedRenderer(vtkInteractorStyle* style);

  vtkKivStyleGuard() = delete;
};

#endif
