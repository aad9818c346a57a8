#include "vtkTDxSimpleDevice.h"

#include "vtkObjectFactory.h"

vtkStandardNewMacro(vtkTDxSimpleDevice);

//------------------------------------------------------------------------------
vtkTDxSimpleDevice::vtkTDxSimpleDevice()
  : Translation{ 0.0, 0.0, 0.0 }
  , Axis{ 0.0, 0.0, 0.0 }
  , Angle(0.0)
  , Button(0)
{
}

//------------------------------------------------------------------------------
vtkTDxSimpleDevice::~vtkTDxSimpleDevice()
{
  if (this->Initialized)
  {
    this->Initialized = false;
  }
}

//------------------------------------------------------------------------------
void vtkTDxSimpleDevice::Close()
{
  this->Initialized = false;
}

//------------------------------------------------------------------------------
double vtkTDxSimpleDevice::GetButton()
{
  return static_cast<double>(this->Button);
}

//------------------------------------------------------------------------------
void vtkTDxSimpleDevice::SetButton(double button)
{
  if (button != static_cast<double>(this->Button))
  {
    // Truncation toward zero. A value outside int's range (or NaN) would make
    // the conversion undefined, so it is clamped first.
    constexpr double lowest = static_cast<double>(VTK_INT_MIN);
    constexpr double highest = static_cast<double>(VTK_INT_MAX);
    int value = 0;
    if (button >= lowest && button <= highest)
    {
      value = static_cast<int>(button);
    }
    else if (button > highest)
    {
      value = VTK_INT_MAX;
    }
    else if (button < lowest)
    {
      value = VTK_INT_MIN;
    }
    this->Button = value;
    this->Modified();
  }
}

//------------------------------------------------------------------------------
void vtkTDxSimpleDevice::PrintSelf(ostream& os, vtkIndent indent)
{
  // The record's values change with every report; only the object's own
  // state is printed.
  this->vtkObject::PrintSelf(os, indent); // NOLINT(bugprone-parent-virtual-call)
}
