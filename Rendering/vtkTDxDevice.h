/**
 * @class   vtkTDxDevice
 * @brief   base of a 3D-mouse device: the Initialized flag and Close()
 *
 * vtkTDxDevice is the abstract base of an object that stands for a 3D mouse
 * (six-degree-of-freedom controller). It holds whether the device has been
 * initialized and declares Close(), which a concrete device implements to let
 * the device go.
 *
 * VTK 9 is built without its own 3D-mouse device classes. This library then
 * builds this minimal class of the same name and role, so that
 * vtkTDxSimpleDevice has the base it is written against. When the VTK found
 * at configure time does provide vtkTDxDevice, the library's class is not
 * built and this header forwards to VTK's (ORVI_VTK_HAS_TDX_DEVICE).
 *
 * @sa vtkTDxSimpleDevice vtkSimpleRenderWindowInteractor
 */

#if defined(ORVI_VTK_HAS_TDX_DEVICE)
// VTK's own header of the same name, further down the include path.
#include_next <vtkTDxDevice.h>
#else

#ifndef vtkorviTDxDevice_h
#define vtkorviTDxDevice_h

#include "vtkObject.h"
#include "vtkorviRenderingModule.h" // for export macro

class VTKORVIRENDERING_EXPORT vtkTDxDevice : public vtkObject
{
public:
  vtkAbstractTypeMacro(vtkTDxDevice, vtkObject);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /**
   * Whether the device has been initialized. Initial value is false.
   */
  bool GetInitialized() const { return this->Initialized; }

  /**
   * Let the device go. Afterwards GetInitialized() is false.
   */
  virtual void Close() = 0;

protected:
  vtkTDxDevice();
  ~vtkTDxDevice() override;

  bool Initialized;

private:
  vtkTDxDevice(const vtkTDxDevice&) = delete;
  void operator=(const vtkTDxDevice&) = delete;
};

#endif
#endif
