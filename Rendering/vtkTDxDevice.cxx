#include "vtkTDxDevice.h"

//------------------------------------------------------------------------------
vtkTDxDevice::vtkTDxDevice()
  : Initialized(false)
{
}

//------------------------------------------------------------------------------
vtkTDxDevice::~vtkTDxDevice() = default;

//------------------------------------------------------------------------------
void vtkTDxDevice::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "Initialized: " << (this->Initialized ? "true" : "false") << "\n";
}
