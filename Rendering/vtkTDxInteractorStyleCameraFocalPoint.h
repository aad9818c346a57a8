/**
 * @class   vtkTDxInteractorStyleCameraFocalPoint
 * @brief   3D-mouse camera style that orbits, pans and dollies about the focal point
 *
 * vtkTDxInteractorStyleCameraFocalPoint turns 3D-mouse motion reports (in
 * the camera frame: x right, y up, z toward the viewer) into camera motion:
 * it orbits the focal point about the report's axis (the axes the settings
 * allow) by AngleSensitivity x Angle degrees, pans by the translation
 * sensitivities times the camera's distance d, and dollies by
 * k = d / (d + Z sensitivity x Z x d) (a parallel camera divides its scale
 * by k). A host installs it with vtkInteractorStyle::SetTDxStyle(); every
 * navigator and style of this library installs one (angle sensitivity
 * -1/32, translation sensitivities -1/256).
 *
 * @sa vtkTDxInteractorStyleCamera vtkSimpleRenderWindowInteractor
 */

#ifndef vtkTDxInteractorStyleCameraFocalPoint_h
#define vtkTDxInteractorStyleCameraFocalPoint_h

#include "vtkTDxInteractorStyleCamera.h"
#include "vtkorviRenderingModule.h" // for export macro

class VTKORVIRENDERING_EXPORT vtkTDxInteractorStyleCameraFocalPoint
  : public vtkTDxInteractorStyleCamera
{
public:
  static vtkTDxInteractorStyleCameraFocalPoint* New();
  vtkTypeMacro(vtkTDxInteractorStyleCameraFocalPoint, vtkTDxInteractorStyleCamera);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /**
   * Move the current renderer's camera for one report, reset the clipping
   * range and render; nothing without a renderer or settings.
   */
  void OnMotionEvent(vtkTDxMotionEventInfo* motionInfo) override;

  /// Smallest ratio of new to old camera distance one push/pull may give.
  static constexpr double MinimumDistanceRatio = 0.001;

  /**
   * d / (d + tz) for a camera at distance d and a push/pull of tz world
   * units, at most 1 / MinimumDistanceRatio; 1 when d is not positive.
   */
  static double ComputeDollyFactor(double d, double tz);

protected:
  vtkTDxInteractorStyleCameraFocalPoint();
  ~vtkTDxInteractorStyleCameraFocalPoint() override;

private:
  vtkTDxInteractorStyleCameraFocalPoint(const vtkTDxInteractorStyleCameraFocalPoint&) = delete;
  void operator=(const vtkTDxInteractorStyleCameraFocalPoint&) = delete;
};

#endif
