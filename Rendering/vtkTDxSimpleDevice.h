/**
 * @class   vtkTDxSimpleDevice
 * @brief   3D-mouse device record that keeps the last values a host pushed in
 *
 * vtkTDxSimpleDevice talks to no driver: the host reads its 3D mouse itself
 * and pushes each report's values in, usually through
 * vtkSimpleRenderWindowInteractor::SetTDxEventInformation(), which owns one of
 * these. The record holds the last translation (device units, unscaled), the
 * last rotation axis and angle, and the last button number.
 *
 * Each setter calls Modified() only when it changes something:
 * SetTranslation() and SetAxis() compare all three components and, when one
 * differs, store all three and call Modified() once. SetButton() takes a
 * double, compares it with the stored button and stores it truncated toward
 * zero (SetButton(2.7) stores 2); GetButton() returns the stored int as a
 * double. Close() clears the Initialized flag without Modified().
 *
 * The class has type information of its own: GetClassName() answers
 * "vtkTDxSimpleDevice", IsA("vtkTDxDevice") is true. PrintSelf() prints only
 * what vtkObject prints.
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

  /**
   * Clear the Initialized flag (no Modified()).
   */
  void Close() override;

  ///@{
  /**
   * Set the Initialized flag; Modified() only when it changes.
   */
  vtkSetMacro(Initialized, bool);
  vtkBooleanMacro(Initialized, bool);
  ///@}

  ///@{
  /**
   * Last rotation angle pushed in.
   */
  vtkGetMacro(Angle, double);
  vtkSetMacro(Angle, double);
  ///@}

  ///@{
  /**
   * Last button number pushed in. The setter stores the value truncated
   * toward zero; the getter returns the stored int as a double.
   */
  virtual double GetButton();
  virtual void SetButton(double button);
  ///@}

  ///@{
  /**
   * Last translation pushed in (device units, unscaled).
   */
  vtkSetVector3Macro(Translation, double);
  vtkGetVector3Macro(Translation, double);
  ///@}

  ///@{
  /**
   * Last rotation axis pushed in.
   */
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
