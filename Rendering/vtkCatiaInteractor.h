/**
 * @class   vtkCatiaInteractor
 * @brief   navigator for CATIA mouse conventions, driven by the host through states
 *
 * vtkCatiaInteractor maps no mouse button or wheel: the host starts and
 * ends VTK's rotate, spin, pan and dolly states and this class's pick
 * state, calls Pick() and Fly(), and OnMouseMove() carries out the current
 * state's motion. For the convention it adds IsSpinning() (start a spin
 * instead of a rotation: the pointer is farther than RotateZoneRadius times
 * half the window diagonal from the centre; a spin turns into a rotation
 * once the pointer enters that zone), HasPanned() and a motion counter of
 * pans only (a middle click flies, a pan drag does not), and a rectangle
 * Pick() whose first corner the host sets with SetStartPosition(). VTK's
 * keys keep working.
 *
 * Pick() fires EndPickEvent, and EndPick() fires it again: a host that calls
 * both sees two.
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

  /// The current state's motion (pans counted in Moved), then InteractionEvent.
  void OnMouseMove() override;

  ///@{
  /// Nothing: the host decides what buttons and the wheel mean.
  void OnLeftButtonDown() override {}
  void OnLeftButtonUp() override {}
  void OnMiddleButtonDown() override {}
  void OnMiddleButtonUp() override {}
  void OnRightButtonDown() override {}
  void OnRightButtonUp() override {}
  void OnMouseWheelForward() override {}
  void OnMouseWheelBackward() override {}
  ///@}

  /// Re-renders while an animation runs in state none; draws flight frames.
  void OnTimer() override;

  /// Record that the view was panned (HasPanned()), then pan.
  void Pan() override;

  /// Fly the focal point to the surface point under the pointer, if any; no event.
  virtual void Fly();

  ///@{
  /// Enter (leave) the pick state with the interactor's StartPickEvent (EndPickEvent).
  virtual void StartPick();
  virtual void EndPick();
  ///@}

  /**
   * Pick with the interactor's picker over the rectangle from StartPosition
   * to the event position (a vtkAreaPicker picks the rectangle, another prop
   * picker its centre), then fire EndPickEvent. The state is not changed.
   */
  virtual void Pick();

  /// Whether the event position lies outside the central rotate zone.
  virtual bool IsSpinning() const;

  ///@{
  /// Whether Pan() ran since the last ClearPanned().
  virtual bool HasPanned() const { return this->Panned; }
  virtual void ClearPanned() { this->Panned = false; }
  ///@}

  ///@{
  /// First corner of the pick rectangle in display pixels, set by the host ((0, 0)).
  vtkSetVector2Macro(StartPosition, int);
  vtkGetVector2Macro(StartPosition, int);
  ///@}

  /// Second corner of the last pick rectangle: the last Pick()'s event position.
  vtkGetVector2Macro(EndPosition, int);

  /// The cell picker Fly() picks with.
  vtkCellPicker* GetFlyPicker() const;

protected:
  vtkCatiaInteractor();
  ~vtkCatiaInteractor() override;

  bool Panned;
  double RotateZoneRadius;
  int StartPosition[2];
  int EndPosition[2];
  vtkSmartPointer<vtkCellPicker> Picker;

private:
  vtkCatiaInteractor(const vtkCatiaInteractor&) = delete;
  void operator=(const vtkCatiaInteractor&) = delete;
};

#endif
