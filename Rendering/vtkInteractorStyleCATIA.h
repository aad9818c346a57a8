/**
 * @class   vtkInteractorStyleCATIA
 * @brief   standalone interactor style for CATIA mouse conventions
 *
 * vtkInteractorStyleCATIA maps the mouse buttons itself; a host installs it
 * with SetInteractorStyle() and nothing else is needed:
 * - middle drag: pan; a middle click (four motions or fewer) flies to the
 *   surface point under the pointer;
 * - middle held, left or right pressed: rotate, or spin about the viewing
 *   axis when the pointer is farther than a quarter of the window diagonal
 *   from the centre (entering the centre turns a spin into a rotation);
 *   releasing left (or right after a rotation) dollies, middle up ends;
 * - left or right click with the middle button up: the interactor's
 *   StartPickEvent and EndPickEvent (a right click also fires UserEvent);
 * - no wheel; VTK's keys, with 'f' flying as a middle click does; 3D-mouse
 *   input through vtkTDxInteractorStyleCameraFocalPoint.
 * While the middle button is down the style holds the interactor's focus,
 * which on VTK 9 covers key events too. VTK's state changes, motions and
 * keys do nothing without an interactor, a render window or (for the
 * motions) a current renderer still in its window (see vtkKivGuardedStyle).
 *
 * To pick a rectangle, a host sets its first corner with SetStartPosition()
 * (from a StartPickEvent observer) and calls Pick() when it wants the result;
 * Pick() fires EndPickEvent once more, so an EndPickEvent observer must not
 * call it again from that event.
 *
 * @sa vtkCatiaInteractor vtkInteractorStyleTrackballCamera vtkKivGuardedStyle
 */

#ifndef vtkInteractorStyleCATIA_h
#define vtkInteractorStyleCATIA_h

#include "vtkKivGuardedStyle.h"
#include "vtkSmartPointer.h"        // for vtkSmartPointer
#include "vtkorviRenderingModule.h" // for export macro

class vtkCellPicker;

class VTKORVIRENDERING_EXPORT vtkInteractorStyleCATIA : public vtkKivGuardedStyle
{
public:
  static vtkInteractorStyleCATIA* New();
  vtkTypeMacro(vtkInteractorStyleCATIA, vtkKivGuardedStyle);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /// The current state's motion (pans counted in Moved), then InteractionEvent.
  void OnMouseMove() override;

  ///@{
  /// The button mapping above; a right press does what a left press does.
  void OnLeftButtonDown() override;
  void OnLeftButtonUp() override;
  void OnMiddleButtonDown() override;
  void OnMiddleButtonUp() override;
  void OnRightButtonDown() override;
  void OnRightButtonUp() override;
  ///@}

  ///@{
  /// Nothing: the wheel has no meaning in this convention.
  void OnMouseWheelForward() override {}
  void OnMouseWheelBackward() override {}
  ///@}

  /// Re-renders while an animation runs in state none; draws flight frames.
  void OnTimer() override;

  /// Record that the view was panned (HasPanned()), then pan.
  void Pan() override;

  /// Fly the focal point to the surface point under the pointer, if any.
  virtual void Fly();

  ///@{
  /// Enter (leave) the pick state with the interactor's StartPickEvent (EndPickEvent).
  virtual void StartPick();
  virtual void EndPick();
  ///@}

  /**
   * Pick with the interactor's picker over the rectangle from StartPosition
   * to the event position, then fire EndPickEvent. Called by the host only.
   */
  virtual void Pick();

  ///@{
  /// First corner of the pick rectangle in display pixels, set by the host ((0, 0)).
  vtkSetVector2Macro(StartPosition, int);
  vtkGetVector2Macro(StartPosition, int);
  ///@}

  /// Second corner of the last pick rectangle: the last Pick()'s event position.
  vtkGetVector2Macro(EndPosition, int);

  /// Whether Pan() ran since the middle button last went down.
  bool HasPanned() const { return this->Panned; }

  /// Pan motions counted since the current press began.
  vtkGetMacro(Moved, int);

  /// The cell picker Fly() picks with.
  vtkCellPicker* GetFlyPicker() const;

protected:
  vtkInteractorStyleCATIA();
  ~vtkInteractorStyleCATIA() override;

  /// Whether the event position lies outside the central rotate zone.
  virtual bool IsSpinning();

  // Left and right presses: pick from state none, rotate or spin from pan or dolly.
  void OnButtonDown();

  bool Panned;
  int Moved;
  double RotateZoneRadius;
  int StartPosition[2];
  int EndPosition[2];
  vtkSmartPointer<vtkCellPicker> Picker;

private:
  vtkInteractorStyleCATIA(const vtkInteractorStyleCATIA&) = delete;
  void operator=(const vtkInteractorStyleCATIA&) = delete;
};

#endif
