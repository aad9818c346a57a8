/**
 * @class   vtkInteractorStyleCATIA
 * @brief   standalone interactor style for CATIA mouse conventions
 *
 * vtkInteractorStyleCATIA is a vtkInteractorStyleTrackballCamera that maps
 * the mouse buttons itself, following the CATIA convention. A host installs
 * it on its interactor with SetInteractorStyle() and forwards its toolkit's
 * mouse and key events; nothing else is needed.
 *
 * - Middle button drag: pan.
 * - Middle button held, then left or right button pressed: rotate, or spin
 *   about the viewing axis when the pointer is farther than a quarter of the
 *   window diagonal from the window centre. During a spin drag the style
 *   switches to rotation once the pointer comes into the central zone, and
 *   stays there for the rest of the drag.
 * - Left button released (or right button released after a rotation) while
 *   the middle button stays down: dolly by dragging; pressing left or right
 *   again returns to rotate or spin. Releasing the middle button ends
 *   whatever state is active.
 * - Middle click (a press whose pan did not move the view, or moved it by
 *   four motion events or fewer): fly the focal point to the surface point
 *   under the pointer.
 * - Left or right click with the middle button up: pick state. The interactor
 *   fires StartPickEvent on the press and EndPickEvent on the release; a right
 *   release also fires the interactor's UserEvent.
 * - The wheel does nothing. Keys keep vtkInteractorStyle's bindings ('w'
 *   wireframe, 's' surface, 'r' reset, ...).
 * - 3D-mouse events go to a focal-point camera style
 *   (vtkTDxInteractorStyleCameraFocalPoint) installed at construction.
 *
 * The spin rule, the motion handling, Fly() and Pick() are those of
 * vtkCatiaInteractor, working on this class's own fields.
 *
 * The click/drag rule: Moved (the count of pan motion events) describes the
 * current press: it is reset when the middle button goes down and when a left
 * or right press starts a pick. So a middle click after a long drag still
 * flies, and a right click after a long drag still fires UserEvent.
 *
 * Focus: while the middle button is down the style holds the interactor's focus
 * (VTK's GrabFocus with its event command); on VTK 9 that focus covers key
 * events too, so other key observers of the interactor see no keys until the
 * middle button goes up. The style's own key handling goes on.
 *
 * Picking a rectangle: the style never calls Pick() itself and never records
 * the pick rectangle's first corner (it stays at (0, 0) after construction). A
 * host that picks a rectangle sets it with SetStartPosition() when the pick
 * begins (for instance from an observer of the interactor's StartPickEvent,
 * which carries the press position in the interactor's event position) and
 * calls Pick() when it wants the result, typically from an EndPickEvent
 * observer. Left at (0, 0), the rectangle runs from the window origin to the
 * event position and a point pick lands halfway. Pick() itself fires
 * EndPickEvent once more; such an observer must not call Pick() again from that
 * event.
 *
 * Not installed: without an interactor or a render window (a style not
 * installed yet, an interactor the host released) no state is entered: a left
 * or right press does not start a pick and fires no StartPickEvent, and VTK's
 * motions and key bindings, which would reach through the missing objects, do
 * nothing.
 *
 * @sa vtkCatiaInteractor vtkInteractorStyleTrackballCamera
 */

#ifndef vtkInteractorStyleCATIA_h
#define vtkInteractorStyleCATIA_h

#include "vtkInteractorStyleTrackballCamera.h"
#include "vtkSmartPointer.h"        // for vtkSmartPointer
#include "vtkorviRenderingModule.h" // for export macro

#include <memory> // for std::unique_ptr

class vtkKivFlight;
class vtkCellPicker;

class VTKORVIRENDERING_EXPORT vtkInteractorStyleCATIA : public vtkInteractorStyleTrackballCamera
{
public:
  static vtkInteractorStyleCATIA* New();
  vtkTypeMacro(vtkInteractorStyleCATIA, vtkInteractorStyleTrackballCamera);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /**
   * The motion step of the current state, as vtkCatiaInteractor's: rotate,
   * pan (counted in Moved), spin (turning into rotate inside the central
   * zone) or dolly, each followed by InteractionEvent.
   */
  void OnMouseMove() override;

  ///@{
  /**
   * The button mapping described above. A right press does what a left
   * press does.
   */
  void OnLeftButtonDown() override;
  void OnLeftButtonUp() override;
  void OnMiddleButtonDown() override;
  void OnMiddleButtonUp() override;
  void OnRightButtonDown() override;
  void OnRightButtonUp() override;
  ///@}

  ///@{
  /**
   * Do nothing: the wheel has no meaning in this convention.
   */
  void OnMouseWheelForward() override {}
  void OnMouseWheelBackward() override {}
  ///@}

  /**
   * Only in state none with the animation flag on: render through the
   * interactor, re-arming the repeating timer when timers are in use.
   */
  void OnTimer() override;

  /**
   * Record that the view was panned, then pan as the trackball style does.
   */
  void Pan() override;

  ///@{
  /**
   * VTK's state changes, camera motions and key handling, guarded: without
   * an interactor or a render window (a style not installed yet, an
   * interactor the host released) StartState() leaves the state alone and
   * fires nothing and StopState() only returns to state none; the motions
   * need an interactor and a current renderer that is still in a render
   * window, keys a render window. Otherwise they do nothing.
   */
  void StartState(int newstate) override;
  void StopState() override;
  void Rotate() override;
  void Spin() override;
  void Dolly() override;
  void EnvironmentRotate() override;
  void OnChar() override;
  ///@}

  /**
   * Fly the focal point to the surface point under the pointer. Nothing
   * moves when nothing is hit.
   */
  virtual void Fly();

  ///@{
  /**
   * Enter pick state (21) and fire the interactor's StartPickEvent; fire its
   * EndPickEvent and leave the state.
   */
  virtual void StartPick();
  virtual void EndPick();
  ///@}

  /**
   * Pick with the interactor's picker over the rectangle from StartPosition
   * to the event position, then fire EndPickEvent. Called by the host only.
   */
  virtual void Pick();

  ///@{
  /**
   * First corner of the pick rectangle, in display pixels. The style never
   * changes it; set it when a rectangle pick begins.
   */
  vtkSetVector2Macro(StartPosition, int);
  vtkGetVector2Macro(StartPosition, int);
  ///@}

  /**
   * Second corner of the last pick rectangle: the event position of the
   * last Pick().
   */
  vtkGetVector2Macro(EndPosition, int);

  /**
   * Whether Pan() ran since the middle button last went down.
   */
  bool HasPanned() const { return this->Panned; }

  /**
   * Pan motion events counted since the current press began.
   */
  vtkGetMacro(Moved, int);

  /**
   * The cell picker Fly() picks with.
   */
  vtkCellPicker* GetFlyPicker() const;

protected:
  vtkInteractorStyleCATIA();
  ~vtkInteractorStyleCATIA() override;

  /**
   * True when the event position lies strictly outside the central rotate
   * zone; false without a current renderer.
   */
  virtual bool IsSpinning();

  // Left and right presses: pick from state none, rotate or spin from pan or
  // dolly.
  void OnButtonDown();

  // Dolly(double) of the trackball style stays reachable beside Dolly().
  using vtkInteractorStyleTrackballCamera::Dolly;

  bool Panned;
  int Moved;
  // The camera's flight to a picked point (Fly(), VTK's 'f' key).
  std::unique_ptr<vtkKivFlight> Flight;
  double RotateZoneRadius;
  int StartPosition[2];
  int EndPosition[2];
  // Owned; released with the style.
  vtkSmartPointer<vtkCellPicker> Picker;

private:
  vtkInteractorStyleCATIA(const vtkInteractorStyleCATIA&) = delete;
  void operator=(const vtkInteractorStyleCATIA&) = delete;
};

#endif
