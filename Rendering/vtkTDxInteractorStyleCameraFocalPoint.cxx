#include "vtkTDxInteractorStyleCameraFocalPoint.h"

#include "vtkCamera.h"
#include "vtkMath.h"
#include "vtkMatrix4x4.h"
#include "vtkObjectFactory.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"
#include "vtkTDxInteractorStyleSettings.h"
#include "vtkTDxMotionEventInfo.h"
#include "vtkTransform.h"

#include <algorithm>
#include <cmath>

vtkStandardNewMacro(vtkTDxInteractorStyleCameraFocalPoint);

//------------------------------------------------------------------------------
vtkTDxInteractorStyleCameraFocalPoint::vtkTDxInteractorStyleCameraFocalPoint() = default;

//------------------------------------------------------------------------------
vtkTDxInteractorStyleCameraFocalPoint::~vtkTDxInteractorStyleCameraFocalPoint() = default;

//------------------------------------------------------------------------------
double vtkTDxInteractorStyleCameraFocalPoint::ComputeDollyFactor(double d, double tz)
{
  if (!(d > 0.0) || !std::isfinite(d) || !std::isfinite(tz))
  {
    return 1.0;
  }
  const double ratio = std::max((d + tz) / d, MinimumDistanceRatio);
  return 1.0 / ratio;
}

//------------------------------------------------------------------------------
void vtkTDxInteractorStyleCameraFocalPoint::OnMotionEvent(vtkTDxMotionEventInfo* motionInfo)
{
  if (!this->Renderer || !this->Settings || !motionInfo)
  {
    return;
  }

  vtkCamera* camera = this->Renderer->GetActiveCamera();
  vtkRenderWindow* window = this->Renderer->GetRenderWindow();
  vtkRenderWindowInteractor* interactor = window ? window->GetInteractor() : nullptr;
  vtkTransform* t = this->Transform;

  // Rotation axis in camera coordinates, with the disabled axes dropped.
  const double axis[3] = { this->Settings->GetUseRotationX() ? motionInfo->AxisX : 0.0,
    this->Settings->GetUseRotationY() ? motionInfo->AxisY : 0.0,
    this->Settings->GetUseRotationZ() ? motionInfo->AxisZ : 0.0 };

  // Camera-to-world transform: the inverse of the view transform. The matrix
  // is inverted directly, so the work transform never carries an inverse flag
  // into the motion transform built below.
  double cameraToWorld[16];
  vtkMatrix4x4::Invert(*camera->GetViewTransformMatrix()->Element, cameraToWorld);
  t->SetMatrix(cameraToWorld);

  double worldAxis[3];
  t->TransformVector(axis, worldAxis);

  double f[3], p[3], u[3];
  camera->GetFocalPoint(f);
  camera->GetPosition(p);
  camera->GetViewUp(u);
  const double d = std::sqrt(vtkMath::Distance2BetweenPoints(p, f));

  const double lateral[3] = { this->Settings->GetTranslationXSensitivity() * motionInfo->X * d,
    this->Settings->GetTranslationYSensitivity() * motionInfo->Y * d,
    0.0 };
  double worldLateral[3];
  t->TransformVector(lateral, worldLateral);

  const double tz = this->Settings->GetTranslationZSensitivity() * motionInfo->Z * d;

  // Motion transform: q -> f + R (q - f) + tw.
  t->Identity();
  t->Translate(worldLateral);
  double newFocal[3];
  t->TransformPoint(f, newFocal);
  t->Translate(f);
  t->RotateWXYZ(this->Settings->GetAngleSensitivity() * motionInfo->Angle, worldAxis);
  t->Translate(-f[0], -f[1], -f[2]);

  double newPosition[3], newUp[3];
  t->TransformPoint(p, newPosition);
  t->TransformVector(u, newUp);

  camera->SetViewUp(newUp);
  camera->SetPosition(newPosition);
  camera->SetFocalPoint(newFocal);

  const double k = ComputeDollyFactor(d, tz);
  if (camera->GetParallelProjection())
  {
    camera->SetParallelScale(camera->GetParallelScale() / k);
  }
  else
  {
    camera->Dolly(k);
  }

  this->Renderer->ResetCameraClippingRange();
  if (interactor)
  {
    interactor->Render();
  }
}

//------------------------------------------------------------------------------
void vtkTDxInteractorStyleCameraFocalPoint::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
}
