/**
 * @class   vtkSimpleRenderWindowInteractor
 * @brief   host-toolkit interactor that carries 3D-mouse reports into VTK's events
 *
 * vtkSimpleRenderWindowInteractor is a vtkGenericRenderWindowInteractor (the
 * interactor of a render window embedded in a host GUI toolkit) that also
 * takes 3D-mouse reports from the host. The host reads its controller and,
 * for each report, calls SetTDxEventInformation() with the report's values
 * and then TDxMotionEvent() for a motion report, or TDxButtonPressEvent() /
 * TDxButtonReleaseEvent() for a button report. The interactor fires VTK's
 * TDxMotionEvent (call data: a vtkTDxMotionEventInfo) or
 * TDxButtonPressEvent / TDxButtonReleaseEvent (call data: a pointer to the
 * int button number). VTK's interactor styles hand these events, with their
 * current renderer, to their installed 3D-mouse style
 * (vtkInteractorStyle::SetTDxStyle), for example
 * vtkTDxInteractorStyleCameraFocalPoint.
 *
 * The values are kept in a vtkTDxSimpleDevice owned by the interactor
 * (GetDevice(), for reading). SetTDxEventInformation() marks the interactor
 * modified on every call, while the device changes its own modification time
 * only when a value changes. While the interactor is disabled the three event
 * methods fire nothing; values pushed in are still stored. The call data
 * lives on the stack of the event method for the synchronous dispatch.
 *
 * @sa vtkTDxSimpleDevice vtkTDxInteractorStyleCameraFocalPoint
 */

#ifndef vtkSimpleRenderWindowInteractor_h
#define vtkSimpleRenderWindowInteractor_h

#include "vtkGenericRenderWindowInteractor.h"
#include "vtkorviRenderingModule.h" // for export macro

class vtkTDxSimpleDevice;

class VTKORVIRENDERING_EXPORT vtkSimpleRenderWindowInteractor
  : public vtkGenericRenderWindowInteractor
{
public:
  static vtkSimpleRenderWindowInteractor* New();
  vtkTypeMacro(vtkSimpleRenderWindowInteractor, vtkGenericRenderWindowInteractor);

  /**
   * Store one 3D-mouse report in the device: translation (x, y, z), rotation
   * angle, rotation axis (x, y, z) and button number, then Modified() on the
   * interactor. Fires no event.
   */
  void SetTDxEventInformation(double tx,
    double ty,
    double tz,
    double angle,
    double ax,
    double ay,
    double az,
    int button);

  /**
   * Fire TDxMotionEvent with the device's translation, angle and axis in a
   * vtkTDxMotionEventInfo. Nothing while the interactor is disabled. A
   * report holding a NaN or an infinity is not fired: a warning quotes its
   * values instead.
   */
  virtual void TDxMotionEvent();

  /**
   * Fire TDxButtonPressEvent with a pointer to the device's button number (an
   * int). Nothing while the interactor is disabled.
   */
  virtual void TDxButtonPressEvent();

  /**
   * Fire TDxButtonReleaseEvent with a pointer to the device's button number
   * (an int). Nothing while the interactor is disabled.
   */
  virtual void TDxButtonReleaseEvent();

  /**
   * The device record holding the values of the current report. Owned by the
   * interactor.
   */
  vtkGetObjectMacro(Device, vtkTDxSimpleDevice);

protected:
  vtkSimpleRenderWindowInteractor();
  ~vtkSimpleRenderWindowInteractor() override;

  /**
   * Fire a button event with the device's button number.
   */
  void FireTDxButtonEvent(unsigned long event);

  vtkTDxSimpleDevice* Device;

private:
  vtkSimpleRenderWindowInteractor(const vtkSimpleRenderWindowInteractor&) = delete;
  void operator=(const vtkSimpleRenderWindowInteractor&) = delete;
};

#endif
