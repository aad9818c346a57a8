/**
 * @class   vtkTDxDevice
 * @brief   base of a 3D-mouse device: the Initialized flag and Close()
 *
 * VTK 9 is built without its own 3D-mouse device classes; the library then
 * builds this minimal base of the same name and role for
 * vtkTDxSimpleDevice. When VTK provides one, this header forwards to it.
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

  /// Whether the device has been initialized (initially false).
  bool GetInitialized() const { return this->Initialized; }

  /// Let the device go; GetInitialized() is false afterwards.
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
