#include "vtkSimpleRenderWindowInteractor.h"

#include "vtkCommand.h"
#include "vtkObjectFactory.h"
#include "vtkTDxMotionEventInfo.h"
#include "vtkTDxSimpleDevice.h"

#include <cmath>

vtkStandardNewMacro(vtkSimpleRenderWindowInteractor);

//------------------------------------------------------------------------------
vtkSimpleRenderWindowInteractor::vtkSimpleRenderWindowInteractor()
  : Device(vtkTDxSimpleDevice::New())
{
}

//------------------------------------------------------------------------------
vtkSimpleRenderWindowInteractor::~vtkSimpleRenderWindowInteractor()
{
  this->Device->Delete();
}

//------------------------------------------------------------------------------
void vtkSimpleRenderWindowInteractor::SetTDxEventInformation(double tx,
  double ty,
  double tz,
  double angle,
  double ax,
  double ay,
  double az,
  int button)
{
  this->Device->SetTranslation(tx, ty, tz);
  this->Device->SetAngle(angle);
  this->Device->SetAxis(ax, ay, az);
  this->Device->SetButton(static_cast<double>(button));
  this->Modified();
}

//------------------------------------------------------------------------------
void vtkSimpleRenderWindowInteractor::TDxMotionEvent()
{
  if (!this->GetEnabled())
  {
    return;
  }
  const double* translation = this->Device->GetTranslation();
  const double* axis = this->Device->GetAxis();
  const double angle = this->Device->GetAngle();
  // A camera moved by a NaN or an infinity is lost for good (every later
  // motion keeps it so): such a report is refused.
  const bool finite = std::isfinite(translation[0]) && std::isfinite(translation[1]) &&
    std::isfinite(translation[2]) && std::isfinite(angle) && std::isfinite(axis[0]) &&
    std::isfinite(axis[1]) && std::isfinite(axis[2]);
  if (!finite)
  {
    vtkWarningMacro(<< "3D-mouse report with a value that is not a finite number ignored: "
                    << "translation (" << translation[0] << ", " << translation[1] << ", "
                    << translation[2] << "), angle " << angle << ", axis (" << axis[0] << ", "
                    << axis[1] << ", " << axis[2] << ")");
    return;
  }
  vtkTDxMotionEventInfo info;
  info.X = translation[0];
  info.Y = translation[1];
  info.Z = translation[2];
  info.Angle = angle;
  info.AxisX = axis[0];
  info.AxisY = axis[1];
  info.AxisZ = axis[2];
  this->InvokeEvent(vtkCommand::TDxMotionEvent, &info);
}

//------------------------------------------------------------------------------
void vtkSimpleRenderWindowInteractor::TDxButtonPressEvent()
{
  this->FireTDxButtonEvent(vtkCommand::TDxButtonPressEvent);
}

//------------------------------------------------------------------------------
void vtkSimpleRenderWindowInteractor::TDxButtonReleaseEvent()
{
  this->FireTDxButtonEvent(vtkCommand::TDxButtonReleaseEvent);
}

//------------------------------------------------------------------------------
void vtkSimpleRenderWindowInteractor::FireTDxButtonEvent(unsigned long event)
{
  if (!this->GetEnabled())
  {
    return;
  }
  // The device stores an int, so the conversion back is exact.
  int button = static_cast<int>(this->Device->GetButton());
  this->InvokeEvent(event, &button);
}
