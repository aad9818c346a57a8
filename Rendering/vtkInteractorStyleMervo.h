/**
 * @class   vtkInteractorStyleMervo
 * @brief   standalone interactor style for Mervo mouse conventions, with a rubber-band zoom
 *
 * vtkInteractorStyleMervo maps the mouse buttons itself; a host installs it
 * with SetInteractorStyle() and forwards mouse events with their Ctrl and
 * Shift flags:
 * - middle drag: rotate about the focal point; with Ctrl pan, with Shift
 *   dolly (Shift wins); a middle click (four motions or fewer) flies to the
 *   surface point under the pointer;
 * - right drag: a rubber band drawn into the window's pixels, and a zoom
 *   onto it on release (RBZoom()); a right click fires the interactor's
 *   UserEvent instead;
 * - left press and release: the interactor's StartPickEvent and
 *   EndPickEvent; the host picks with Pick() from its observers;
 * - the wheel dollies; keys do nothing; 3D-mouse input goes through
 *   vtkTDxInteractorStyleCameraFocalPoint.
 * While the middle or right button is down the style holds the interactor's
 * focus, which on VTK 9 covers key events too. VTK's state changes, motions
 * and wheel do nothing without an interactor, a render window or (for the
 * motions) a current renderer still in its window (see vtkKivGuardedStyle).
 *
 * @sa vtkMervoInteractor vtkInteractorStyleTrackballCamera vtkKivGuardedStyle
 */

#ifndef vtkInteractorStyleMervo_h
#define vtkInteractorStyleMervo_h

#include "vtkKivGuardedStyle.h"
#include "vtkSmartPointer.h"        // for vtkSmartPointer
#include "vtkorviRenderingModule.h" // for export macro

#include <memory> // for std::unique_ptr

class vtkCellPicker;
class vtkKivRubberBand;
class vtkUnsignedCharArray;

class VTKORVIRENDERING_EXPORT vtkInteractorStyleMervo : public vtkKivGuardedStyle
{
public:
  static vtkInteractorStyleMervo* New();
  vtkTypeMacro(vtkInteractorStyleMervo, vtkKivGuardedStyle);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  ///@{
  /// Keys do nothing: none of VTK's shortcuts acts.
  void OnChar() override;
  void OnKeyDown() override;
  void OnKeyUp() override;
  ///@}

  /**
   * The current state's camera motion (counted in Moved, then
   * InteractionEvent), or the band from the fourth motion on.
   */
  void OnMouseMove() override;

  ///@{
  /// The button mapping above.
  void OnLeftButtonDown() override;
  void OnLeftButtonUp() override;
  void OnMiddleButtonDown() override;
  void OnMiddleButtonUp() override;
  void OnRightButtonDown() override;
  void OnRightButtonUp() override;
  ///@}

  /// Re-renders while an animation runs in state none; draws flight frames.
  void OnTimer() override;

  /// Fly the focal point to the surface point under the pointer, if any.
  virtual void Fly();

  ///@{
  /// Enter (leave) the pick state with the interactor's StartPickEvent (EndPickEvent).
  virtual void StartPick();
  virtual void EndPick();
  ///@}

  /// Pick with the interactor's picker under the pointer; sets PropPicked.
  virtual void Pick();

  /**
   * Snapshot the window into PixelArray and enter the box-zoom state
   * (without StartState(): no event, no timer).
   */
  virtual void StartRBZoom();

  /// Leave the box-zoom state; renders, which wipes the band.
  virtual void EndRBZoom();

  /**
   * Centre the view on the band and dolly by the viewport width over the
   * band width (a band without width only re-centres).
   */
  virtual void RBZoom();

  /// Draw the band to the event position, clamped to the window.
  virtual void RBSelect();

  /// Motions handled since the last button release.
  vtkGetMacro(Moved, int);

  ///@{
  /// The band's first and last drawn corners, in display pixels.
  vtkGetVector2Macro(StartPosition, int);
  vtkGetVector2Macro(EndPosition, int);
  ///@}

  /// The cell picker Fly() picks with.
  vtkCellPicker* GetFlyPicker() const;

protected:
  vtkInteractorStyleMervo();
  ~vtkInteractorStyleMervo() override;

  // After a middle or right release: release the focus, reset Moved.
  void EndPress();

  vtkSmartPointer<vtkCellPicker> Picker;
  int StartPosition[2];
  int EndPosition[2];
  int Moved;
  vtkSmartPointer<vtkUnsignedCharArray> PixelArray;

  // Draws the band between StartPosition and EndPosition over PixelArray.
  std::unique_ptr<vtkKivRubberBand> Band;

private:
  vtkInteractorStyleMervo(const vtkInteractorStyleMervo&) = delete;
  void operator=(const vtkInteractorStyleMervo&) = delete;
};

#endif
