/**
 * @class   vtkKivInteractor
 * @brief   base of the camera navigators: interaction states, click counter, mouse focus
 *
 * vtkKivInteractor is a vtkInteractorStyleTrackballCamera that a host drives
 * through interaction states instead of letting it map mouse buttons: the
 * host calls StartRotate()/EndRotate() and the other Start/End pairs from
 * its own button events, and the navigator's OnMouseMove() carries out the
 * current state's motion. It adds a predicate per state, a motion counter
 * that tells a click from a drag (ClearMoved() on press, HasMoved() on
 * release), and AcquireFocus(), which takes the mouse events but leaves key
 * events to every observer. VTK's state changes, motions and handlers do
 * nothing when the interactor, its window or the current renderer's window
 * is missing (see vtkKivGuardedStyle). New() gives a working trackball
 * style.
 *
 * @sa vtkMervoInteractor vtkCatiaInteractor vtkKivGuardedStyle
 */

#ifndef vtkKivInteractor_h
#define vtkKivInteractor_h

#include "vtkKivGuardedStyle.h"
#include "vtkKivInteractionStates.h" // for VTKIS_KIV_PICK, VTKIS_KIV_BOXZOOM
#include "vtkNew.h"                  // for vtkNew
#include "vtkorviRenderingModule.h"  // for export macro

class vtkCallbackCommand;

class VTKORVIRENDERING_EXPORT vtkKivInteractor : public vtkKivGuardedStyle
{
public:
  static vtkKivInteractor* New();
  vtkTypeMacro(vtkKivInteractor, vtkKivGuardedStyle);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /// Hooks for navigators with a rubber-band zoom; nothing here.
  virtual void StartBoxZoom() {}
  virtual void EndBoxZoom() {}

  /// Mouse motions counted since the last ClearMoved().
  virtual int GetMoved() { return this->Moved; }

  /// True from the fifth counted motion on: the press was a drag.
  bool HasMoved() const;

  /// Reset the motion counter (when a button goes down).
  void ClearMoved() { this->Moved = 0; }

  ///@{
  /// Whether State is the named state.
  bool IsStateNone() const { return this->State == VTKIS_NONE; }
  bool IsStateRotate() const { return this->State == VTKIS_ROTATE; }
  bool IsStatePan() const { return this->State == VTKIS_PAN; }
  bool IsStateSpin() const { return this->State == VTKIS_SPIN; }
  bool IsStateDolly() const { return this->State == VTKIS_DOLLY; }
  bool IsStatePick() const { return this->State == VTKIS_KIV_PICK; }
  bool IsStateBoxZoom() const { return this->State == VTKIS_KIV_BOXZOOM; }
  ///@}

  /**
   * Take the interactor's mouse events for this style alone; key events
   * still reach every observer. ReleaseFocus() gives them back.
   */
  void AcquireFocus();

  /// Installs the style; key events are observed through KeyEventCommand.
  void SetInteractor(vtkRenderWindowInteractor* interactor) override;

protected:
  vtkKivInteractor();
  ~vtkKivInteractor() override;

  int Moved;

  // Observes the key events for ProcessEvents, outside the mouse focus.
  vtkNew<vtkCallbackCommand> KeyEventCommand;

private:
  vtkKivInteractor(const vtkKivInteractor&) = delete;
  void operator=(const vtkKivInteractor&) = delete;
};

#endif
