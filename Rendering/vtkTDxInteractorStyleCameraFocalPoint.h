/**
 * @class   vtkTDxInteractorStyleCameraFocalPoint
 * @brief   3D-mouse camera style that orbits, pans and dollies about the focal point
 *
 * vtkTDxInteractorStyleCameraFocalPoint turns the motion reports of a 3D mouse
 * (vtkTDxMotionEventInfo: translation X, Y, Z, an angle and a rotation axis,
 * all in the camera frame: x right, y up, z toward the viewer) into camera
 * motion:
 * - the camera orbits its focal point about the report's axis (taken in camera
 *   coordinates, each component kept only when the settings' rotation switch
 *   for that axis is on) by AngleSensitivity x Angle degrees;
 * - X and Y pan camera and focal point together in the view plane, by the
 *   translation sensitivities times the camera's distance;
 * - Z becomes a dolly by the factor k = d / (d + tz), tz = Z sensitivity x Z x d,
 *   or, for a parallel camera, a division of the parallel scale by k.
 *
 * A host installs it on any vtkInteractorStyle with SetTDxStyle(); VTK then
 * hands it every TDxMotionEvent together with the style's current renderer.
 * Every navigator and style of this library installs one with the angle
 * sensitivity -1/32 and the translation sensitivities -1/256.
 *
 * Strong push/pull: a report with d + tz <= 0 would ask for a dolly through or
 * past the focal point. The new distance d / k is never allowed below
 * MinimumDistanceRatio (0.001) of the current distance, so the dolly factor is
 * at most 1000 and never negative, infinite or NaN. A camera sitting on its
 * focal point (d = 0) is not dollied.
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
   * Move the camera of the current renderer for one motion report, then reset
   * the clipping range and render. Does nothing without a renderer or
   * settings.
   */
  void OnMotionEvent(vtkTDxMotionEventInfo* motionInfo) override;

  /**
   * Smallest ratio of new to old camera distance that one push/pull may give.
   */
  static constexpr double MinimumDistanceRatio = 0.001;

  /**
   * The dolly factor for a camera at distance d and a push/pull of tz world
   * units: d / (d + tz), limited so that the new distance is at least
   * MinimumDistanceRatio x d; 1 when d is not positive.
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
