/**
 * @class   vtkCatiaInteractor
 * @brief   navigator for CATIA mouse conventions, driven by the host through states
 *
 * vtkCatiaInteractor is a vtkKivInteractor: it does not map mouse buttons.
 * Its six button handlers and both wheel handlers do nothing; the host reads
 * the mouse itself and starts and ends VTK's states (StartRotate()/
 * EndRotate(), StartSpin()/EndSpin(), StartPan()/EndPan(), StartDolly()/
 * EndDolly()) and this class's StartPick()/EndPick(), and calls Pick() and
 * Fly(). OnMouseMove() carries out the motion of the current state.
 *
 * What the class adds for the convention:
 * - IsSpinning(): a rotation begun farther than RotateZoneRadius times half
 *   the window diagonal (a quarter of the diagonal by default) from the
 *   window centre turns the view about the viewing axis; the host asks this
 *   to choose between StartSpin() and StartRotate(). During a spin drag the
 *   navigator itself switches to rotation once the pointer comes into the
 *   central zone, and stays in rotation for the rest of the drag;
 * - HasPanned()/ClearPanned(): whether Pan() ran since the last clear, and
 *   the base's motion counter, which here counts pan motion only, so that
 *   the host can tell a middle click (fly) from a pan drag;
 * - Fly(): fly the focal point to the surface point under the pointer, with
 *   a cell picker of its own (one eighth of the default tolerance);
 * - Pick(): pick with the interactor's picker over the rectangle from
 *   StartPosition to the event position (clamped two pixels inside the
 *   window): a vtkAreaPicker picks the rectangle, any other prop picker its
 *   centre. The interactor fires EndPickEvent and PropPicked tells whether
 *   something was hit;
 * - a focal-point 3D-mouse style (vtkTDxInteractorStyleCameraFocalPoint),
 *   installed at construction.
 *
 * Key handling is vtkInteractorStyle's: VTK's shortcuts ('w', 's', 'r', ...)
 * keep working.
 *
 * The pick rectangle's first corner: the navigator never records it by
 * itself (it stays at (0, 0) after construction). A host that picks a
 * rectangle sets it with SetStartPosition() when the pick begins (typically
 * when the button goes down, together with StartPick()), then calls Pick()
 * when the button goes up. Left at (0, 0), the rectangle runs from the window
 * origin to the event position and a point pick lands halfway between.
 *
 * Pick() fires EndPickEvent itself, and EndPick() fires it again: a host
 * that calls both sees two.
 *
 * Without an interactor or a render window, StartPick() does nothing (no
 * state, no StartPickEvent); VTK's states, motions and handlers are guarded
 * the same way by vtkKivInteractor.
 *
 * @sa vtkKivInteractor vtkInteractorStyleCATIA
 */

#ifndef vtkCatiaInteractor_h
#define vtkCatiaInteractor_h

#include "vtkKivInteractor.h"
#include "vtkSmartPointer.h"        // for vtkSmartPointer
#include "vtkorviRenderingModule.h" // for export macro

class vtkCellPicker;

class VTKORVIRENDERING_EXPORT vtkCatiaInteractor : public vtkKivInteractor
{
public:
  static vtkCatiaInteractor* New();
  vtkTypeMacro(vtkCatiaInteractor, vtkKivInteractor);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /**
   * The motion step of the current state: rotate, pan (counted in Moved),
   * spin (turning into rotate once the pointer is inside the central zone)
   * or dolly, each followed by InteractionEvent. Other states do nothing.
   */
  void OnMouseMove() override;

  ///@{
  /**
   * Do nothing: the host decides what buttons and the wheel mean.
   */
  void OnLeftButtonDown() override {}
  void OnLeftButtonUp() override {}
  void OnMiddleButtonDown() override {}
  void OnMiddleButtonUp() override {}
  void OnRightButtonDown() override {}
  void OnRightButtonUp() override {}
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

  /**
   * Fly the focal point to the surface point under the pointer. Nothing
   * moves when nothing is hit. Fires no event of its own.
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
   * to the event position, then fire EndPickEvent. Does not look at or
   * change the state.
   */
  virtual void Pick();

  /**
   * True when the event position lies strictly outside the central rotate
   * zone; false without a current renderer.
   */
  virtual bool IsSpinning() const;

  ///@{
  /**
   * Whether Pan() ran since the last ClearPanned().
   */
  virtual bool HasPanned() const { return this->Panned; }
  virtual void ClearPanned() { this->Panned = false; }
  ///@}

  ///@{
  /**
   * First corner of the pick rectangle, in display pixels. The navigator
   * never changes it; set it when a rectangle pick begins.
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
   * The cell picker Fly() picks with.
   */
  vtkCellPicker* GetFlyPicker() const;

protected:
  vtkCatiaInteractor();
  ~vtkCatiaInteractor() override;

  bool Panned;
  double RotateZoneRadius;
  int StartPosition[2];
  int EndPosition[2];
  // Owned; released with the navigator.
  vtkSmartPointer<vtkCellPicker> Picker;

private:
  vtkCatiaInteractor(const vtkCatiaInteractor&) = delete;
  void operator=(const vtkCatiaInteractor&) = delete;
};

#endif
