/**
 * @class   vtkInteractorStyleMervo
 * @brief   standalone interactor style for Mervo mouse conventions, with a rubber-band zoom
 *
 * vtkInteractorStyleMervo is a vtkInteractorStyleTrackballCamera that maps
 * the mouse buttons itself, following the Mervo convention. A host installs
 * it on its interactor with SetInteractorStyle() and forwards its toolkit's
 * mouse events (with the Ctrl and Shift flags); nothing else is needed.
 *
 * - Middle button drag: rotate about the focal point; with Ctrl pan, with
 *   Shift dolly (Shift wins when both are held). A middle click without
 *   modifiers (four motion events or fewer) flies the focal point to the
 *   surface point under the pointer before the rotation ends.
 * - Right button drag: a rubber band drawn straight into the window's
 *   pixels from a snapshot taken on the press (into PixelArray), first
 *   drawn on the fourth motion event. Releasing after five or more motion
 *   events zooms onto the band (RBZoom()); a right click (four or fewer)
 *   fires the interactor's UserEvent instead. Either way the release renders
 *   the scene, which wipes the band.
 * - Left button: press enters the pick state and fires the interactor's
 *   StartPickEvent; release fires EndPickEvent and leaves it. The host picks
 *   with Pick() from its observers when it wants to.
 * - The wheel dollies as the trackball style does. Keys do nothing: none of
 *   VTK's shortcuts (wireframe, reset, pick, quit...) acts.
 * - 3D-mouse events go to a focal-point camera style
 *   (vtkTDxInteractorStyleCameraFocalPoint) installed at construction.
 *
 * Moved counts the motion events handled since the last button release; any
 * release (left, middle or right) sets it back to 0.
 *
 * RBZoom() moves the band's centre to the viewport's centre, keeping the view
 * direction, then dollies by the viewport width over the band width (for a
 * parallel camera it divides the parallel scale by that factor). Only the
 * band's width sets the zoom; a band without width only re-centres.
 *
 * The motion step, Fly() and Pick() are those of vtkMervoInteractor, and
 * the band is drawn by the same code, working on this class's own fields.
 *
 * Focus: while the middle or right button is down the style holds the
 * interactor's focus (VTK's GrabFocus with its event command). On VTK 9 that
 * focus covers key events too, so other key observers of the interactor see no
 * keys until the button goes up.
 *
 * A window resized while the band is dragged: the next drawn motion renders the
 * window once, takes a new snapshot at the new size and goes on drawing the
 * band, clamped to the new size. PixelArray itself is never modified by
 * drawing.
 *
 * Not installed: StartRBZoom() without an interactor or a render window does
 * nothing (the state stays as it was). EndRBZoom() and EndPick() without an
 * interactor or a render window only return to state none.
 * RBZoom() without a current renderer, or with an empty viewport, does nothing.
 *
 * @sa vtkMervoInteractor vtkInteractorStyleTrackballCamera
 */

#ifndef vtkInteractorStyleMervo_h
#define vtkInteractorStyleMervo_h

#include "vtkInteractorStyleTrackballCamera.h"
#include "vtkSmartPointer.h"        // for vtkSmartPointer
#include "vtkorviRenderingModule.h" // for export macro

#include <memory> // for std::unique_ptr

class vtkKivFlight;
class vtkCellPicker;
class vtkKivRubberBand;
class vtkUnsignedCharArray;

class VTKORVIRENDERING_EXPORT vtkInteractorStyleMervo : public vtkInteractorStyleTrackballCamera
{
public:
  static vtkInteractorStyleMervo* New();
  vtkTypeMacro(vtkInteractorStyleMervo, vtkInteractorStyleTrackballCamera);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  ///@{
  /**
   * Read the key code and ignore it: keys do nothing.
   */
  void OnChar() override;
  void OnKeyDown() override;
  void OnKeyUp() override;
  ///@}

  /**
   * The motion step of the current state: rotate, pan, spin or dolly
   * (counted in Moved, followed by InteractionEvent), or in box-zoom state
   * the band, drawn from the fourth counted motion on (no event).
   */
  void OnMouseMove() override;

  ///@{
  /**
   * The button mapping described above.
   */
  void OnLeftButtonDown() override;
  void OnLeftButtonUp() override;
  void OnMiddleButtonDown() override;
  void OnMiddleButtonUp() override;
  void OnRightButtonDown() override;
  void OnRightButtonUp() override;
  ///@}

  /**
   * Only in state none with the animation flag on: render through the
   * interactor, re-arming the repeating timer when timers are in use.
   */
  void OnTimer() override;

  ///@{
  /**
   * VTK's state changes, camera motions and wheel, guarded: without an
   * interactor or a render window (a style not installed yet, an interactor
   * the host released) StartState() leaves the state alone and fires
   * nothing and StopState() only returns to state none; the motions need an
   * interactor and a current renderer that is still in a render window,
   * the wheel an interactor. Otherwise they do nothing.
   */
  void StartState(int newstate) override;
  void StopState() override;
  void Rotate() override;
  void Pan() override;
  void Spin() override;
  void Dolly() override;
  void EnvironmentRotate() override;
  void OnMouseWheelForward() override;
  void OnMouseWheelBackward() override;
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
   * Pick the prop under the pointer with the interactor's picker; PropPicked
   * tells whether something was hit. Called by the host only.
   */
  virtual void Pick();

  /**
   * Start the rubber band at the event position: snapshot the window and
   * enter box-zoom state 22 (without StartState(): no event, no timer).
   */
  virtual void StartRBZoom();

  /**
   * Leave box-zoom state through StopState(), which renders.
   */
  virtual void EndRBZoom();

  /**
   * Zoom the current renderer's camera onto the band (see above).
   */
  virtual void RBZoom();

  /**
   * Move the band's corner to the event position, clamped to the window,
   * and draw the band.
   */
  virtual void RBSelect();

  /**
   * Motion events handled since the last button release.
   */
  vtkGetMacro(Moved, int);

  ///@{
  /**
   * The band's first corner (where it started) and its opposite corner (the
   * last drawn pointer position, clamped to the window), in display pixels.
   */
  vtkGetVector2Macro(StartPosition, int);
  vtkGetVector2Macro(EndPosition, int);
  ///@}

  /**
   * The cell picker Fly() picks with.
   */
  vtkCellPicker* GetFlyPicker() const;

protected:
  vtkInteractorStyleMervo();
  ~vtkInteractorStyleMervo() override;

  // After a middle or right release: give the focus back and start counting
  // motions afresh.
  void EndPress();

  // Dolly(double) of the trackball style stays reachable beside Dolly().
  using vtkInteractorStyleTrackballCamera::Dolly;

  // Owned; released with the style.
  vtkSmartPointer<vtkCellPicker> Picker;
  int StartPosition[2];
  int EndPosition[2];
  int Moved;
  // The camera's flight to a picked point (Fly(), VTK's 'f' key).
  std::unique_ptr<vtkKivFlight> Flight;
  vtkSmartPointer<vtkUnsignedCharArray> PixelArray;

  // Draws the band between StartPosition and EndPosition over PixelArray.
  std::unique_ptr<vtkKivRubberBand> Band;

private:
  vtkInteractorStyleMervo(const vtkInteractorStyleMervo&) = delete;
  void operator=(const vtkInteractorStyleMervo&) = delete;
};

#endif
