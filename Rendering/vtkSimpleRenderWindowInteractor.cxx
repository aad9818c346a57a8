#include "vtkSimpleRenderWindowInteractor.h"

#include "vtkCommand.h"
#include "vtkObjectFactory.h"
#include "vtkTDxMotionEventInfo.h"
#include "vtkTDxSimpleDevice.h"

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
  vtkTDxMotionEventInfo info;
  info.X = translation[0];
  info.Y = translation[1];
  info.Z = translation[2];
  info.Angle = this->Device->GetAngle();
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
