/**
 * @class   vtkSimpleRenderWindowInteractor
 * @brief   host-toolkit interactor that carries 3D-mouse reports into VTK's events
 *
 * vtkSimpleRenderWindowInteractor is a vtkGenericRenderWindowInteractor that
 * also takes 3D-mouse reports from the host: for each report the host calls
 * SetTDxEventInformation(), then TDxMotionEvent() or TDxButtonPressEvent() /
 * TDxButtonReleaseEvent(). VTK's interactor styles hand the events to their
 * 3D-mouse style (vtkInteractorStyle::SetTDxStyle), such as
 * vtkTDxInteractorStyleCameraFocalPoint. A disabled interactor stores the
 * values but fires nothing.
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
   * Store one report in the device (translation, rotation angle and axis,
   * button) and mark the interactor modified. Fires no event.
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
   * Fire TDxMotionEvent with a vtkTDxMotionEventInfo of the device's values;
   * a report with a NaN or infinity is refused with a warning.
   */
  virtual void TDxMotionEvent();

  ///@{
  /// Fire TDxButtonPressEvent (ReleaseEvent) with a pointer to the int button number.
  virtual void TDxButtonPressEvent();
  virtual void TDxButtonReleaseEvent();
  ///@}

  /// The values of the current report; owned by the interactor.
  vtkGetObjectMacro(Device, vtkTDxSimpleDevice);

protected:
  vtkSimpleRenderWindowInteractor();
  ~vtkSimpleRenderWindowInteractor() override;

  /// Fire a button event with the device's button number.
  void FireTDxButtonEvent(unsigned long event);

  vtkTDxSimpleDevice* Device;

private:
  vtkSimpleRenderWindowInteractor(const vtkSimpleRenderWindowInteractor&) = delete;
  void operator=(const vtkSimpleRenderWindowInteractor&) = delete;
};

#endif
