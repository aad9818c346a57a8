/**
 * @class   vtkKivInteractor
 * @brief   base of the camera navigators: interaction states, click counter, mouse focus
 *
 * vtkKivInteractor is a vtkInteractorStyleTrackballCamera that a host drives
 * through interaction states instead of letting the style map mouse buttons.
 * The host reads its own button and modifier events, calls VTK's
 * StartRotate()/EndRotate(), StartPan()/EndPan(), StartSpin()/EndSpin() and
 * StartDolly()/EndDolly() (and the navigators' own pick and box-zoom states),
 * and the derived navigator's OnMouseMove() carries out the motion that
 * belongs to the current state.
 *
 * What this class adds to the trackball style:
 * - one predicate per interaction state (VTK's none 0, rotate 1, pan 2,
 *   spin 3, dolly 4 and this library's pick 21 and box zoom 22);
 * - a motion counter, Moved, with which the host tells a click from a drag:
 *   ClearMoved() when a button goes down, HasMoved() when it goes up (four
 *   counted motions or fewer are a click). Which motions count is each
 *   navigator's rule;
 * - AcquireFocus(): mouse events of the interactor go to this style alone,
 *   while key events keep reaching every observer. To make that possible the
 *   style observes key events with a command of its own (KeyEventCommand),
 *   so that the focus taken with EventCallbackCommand covers mouse events
 *   only. The focus is given back with VTK's ReleaseFocus();
 * - the hooks StartBoxZoom() and EndBoxZoom(), empty here;
 * - guards around VTK's state changes, camera motions, wheel and key
 *   handling, which dereference the interactor, its render window and the
 *   current renderer's window without checking: here they do nothing when
 *   those are missing (a style not installed yet, an interactor released by
 *   the host, a renderer removed from its window). vtkInteractorStyleMervo
 *   and vtkInteractorStyleCATIA guard the same operations the same way.
 *
 * The class is concrete: New() gives a working trackball style.
 *
 * @sa vtkMervoInteractor vtkCatiaInteractor
 */

#ifndef vtkKivInteractor_h
#define vtkKivInteractor_h

#include "vtkInteractorStyleTrackballCamera.h"
#include "vtkKivInteractionStates.h" // for VTKIS_KIV_PICK, VTKIS_KIV_BOXZOOM
#include "vtkNew.h"                  // for vtkNew
#include "vtkorviRenderingModule.h"  // for export macro

#include <memory> // for std::unique_ptr

class vtkKivFlight;
class vtkCallbackCommand;

class VTKORVIRENDERING_EXPORT vtkKivInteractor : public vtkInteractorStyleTrackballCamera
{
public:
  static vtkKivInteractor* New();
  vtkTypeMacro(vtkKivInteractor, vtkInteractorStyleTrackballCamera);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /**
   * Hooks for navigators with a rubber-band zoom. They do nothing here.
   */
  virtual void StartBoxZoom() {}
  virtual void EndBoxZoom() {}

  /**
   * Number of mouse motions counted since the last ClearMoved().
   */
  virtual int GetMoved() { return this->Moved; }

  /**
   * True from the fifth counted motion on: the press was a drag.
   */
  bool HasMoved() const;

  /**
   * Reset the motion counter (typically when a button goes down).
   */
  void ClearMoved() { this->Moved = 0; }

  ///@{
  /**
   * True exactly when State holds the value of the named state.
   */
  bool IsStateNone() const { return this->State == VTKIS_NONE; }
  bool IsStateRotate() const { return this->State == VTKIS_ROTATE; }
  bool IsStatePan() const { return this->State == VTKIS_PAN; }
  bool IsStateSpin() const { return this->State == VTKIS_SPIN; }
  bool IsStateDolly() const { return this->State == VTKIS_DOLLY; }
  bool IsStatePick() const { return this->State == VTKIS_KIV_PICK; }
  bool IsStateBoxZoom() const { return this->State == VTKIS_KIV_BOXZOOM; }
  ///@}

  /**
   * Take the interactor's mouse events for this style alone; key events are
   * still delivered to every observer. Give the focus back with
   * ReleaseFocus().
   */
  void AcquireFocus();

  /**
   * Installs the style on an interactor. Key events are observed through
   * KeyEventCommand instead of EventCallbackCommand (see AcquireFocus()).
   */
  void SetInteractor(vtkRenderWindowInteractor* interactor) override;

  ///@{
  /**
   * VTK's state changes, guarded: without an interactor or a render window
   * (no interactor installed yet, or the host released it) StartState()
   * leaves the state alone and fires nothing, and StopState() only returns
   * to state none. VTK's own versions would reach through the missing
   * interactor or window.
   */
  void StartState(int newstate) override;
  void StopState() override;
  ///@}

  ///@{
  /**
   * VTK's camera motions, wheel and key handling, done only when there is
   * something to act on: an interactor (and for the motions a current
   * renderer that is still in a render window; for keys, a render window).
   * Otherwise they do nothing.
   */
  void Rotate() override;
  void Pan() override;
  void Spin() override;
  void Dolly() override;
  void EnvironmentRotate() override;
  void OnMouseWheelForward() override;
  void OnMouseWheelBackward() override;
  void OnChar() override;
  ///@}

  ///@{
  /**
   * The trackball's mouse handlers, done only with an interactor to read the
   * event position from.
   */
  void OnMouseMove() override;
  void OnLeftButtonDown() override;
  void OnLeftButtonUp() override;
  void OnMiddleButtonDown() override;
  void OnMiddleButtonUp() override;
  void OnRightButtonDown() override;
  void OnRightButtonUp() override;
  ///@}

protected:
  vtkKivInteractor();
  ~vtkKivInteractor() override;

  // Dolly(double) of the trackball style stays reachable beside Dolly().
  using vtkInteractorStyleTrackballCamera::Dolly;

  int Moved;
  // The camera's flight to a picked point (Fly(), VTK's 'f' key).
  std::unique_ptr<vtkKivFlight> Flight;

  // Observes the key events on behalf of this style; forwards them to VTK's
  // ProcessEvents exactly as EventCallbackCommand would.
  vtkNew<vtkCallbackCommand> KeyEventCommand;

private:
  vtkKivInteractor(const vtkKivInteractor&) = delete;
  void operator=(const vtkKivInteractor&) = delete;
};

#endif
