/**
 * @class   vtkTDxSimpleDevice
 * @brief   3D-mouse device record that keeps the last values a host pushed in
 *
 * vtkTDxSimpleDevice talks to no driver: the host reads its 3D mouse and
 * pushes each report in, usually through
 * vtkSimpleRenderWindowInteractor::SetTDxEventInformation(), which owns
 * one. Each setter calls Modified() only when the value changes.
 *
 * @sa vtkSimpleRenderWindowInteractor vtkTDxDevice
 */

#ifndef vtkTDxSimpleDevice_h
#define vtkTDxSimpleDevice_h

#include "vtkTDxDevice.h"
#include "vtkorviRenderingModule.h" // for export macro

class VTKORVIRENDERING_EXPORT vtkTDxSimpleDevice : public vtkTDxDevice
{
public:
  static vtkTDxSimpleDevice* New();
  vtkTypeMacro(vtkTDxSimpleDevice, vtkTDxDevice);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /// Clear the Initialized flag (no Modified()).
  void Close() override;

  ///@{
  /// Set the Initialized flag.
  vtkSetMacro(Initialized, bool);
  vtkBooleanMacro(Initialized, bool);
  ///@}

  ///@{
  /// Last rotation angle pushed in.
  vtkGetMacro(Angle, double);
  vtkSetMacro(Angle, double);
  ///@}

  ///@{
  /// Last button number pushed in, stored truncated toward zero (2.7 gives 2).
  virtual double GetButton();
  virtual void SetButton(double button);
  ///@}

  ///@{
  /// Last translation pushed in (device units, unscaled).
  vtkSetVector3Macro(Translation, double);
  vtkGetVector3Macro(Translation, double);
  ///@}

  ///@{
  /// Last rotation axis pushed in.
  vtkSetVector3Macro(Axis, double);
  vtkGetVector3Macro(Axis, double);
  ///@}

protected:
  vtkTDxSimpleDevice();
  ~vtkTDxSimpleDevice() override;

  double Translation[3];
  double Axis[3];
  double Angle;
  int Button;

private:
  vtkTDxSimpleDevice(const vtkTDxSimpleDevice&) = delete;
  void operator=(const vtkTDxSimpleDevice&) = delete;
};

#endif
