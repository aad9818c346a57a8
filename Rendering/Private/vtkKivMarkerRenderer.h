/**
 * @class   vtkKivMarkerRenderer
 * @brief   renderer that draws a navigator's marker over another renderer's scene
 *
 * vtkMervoInteractor's rotation marker sits on the rotation centre, which
 * usually lies inside the model (the focal point of a fitted view) or on its
 * surface: drawn among the scene's props, the surfaces in front hide it or
 * half of it, and the main render pass counts it as a prop sharing the
 * surface's place. Over() puts the marker in a renderer of its own instead,
 * one layer above the scene's renderer in the same window, which the window
 * draws after the scene:
 * - it looks through a copy of the scene's active camera, taken at every
 *   frame, and covers the scene's viewport;
 * - it clears neither colour nor depth, and the marker's fragments keep a
 *   thousandth of their depth, so that the marker shows over every surface
 *   while the sphere still hides its own back; the depth buffer changes only
 *   under the marker;
 * - it takes no part in interaction (VTK's renderer lookup skips it) and is
 *   not drawn while a hardware selector renders the scene, nor when the
 *   scene's renderer does not draw or has left the window: picks, flights
 *   and box zooms see the scene alone.
 *
 * This is internal to the library: it is not installed and not wrapped.
 */

#ifndef vtkKivMarkerRenderer_h
#define vtkKivMarkerRenderer_h

#include "vtkOpenGLRenderer.h"
#include "vtkSmartPointer.h" // for vtkSmartPointer
#include "vtkWeakPointer.h"  // for vtkWeakPointer

class vtkActor;

class vtkKivMarkerRenderer : public vtkOpenGLRenderer
{
public:
  static vtkKivMarkerRenderer* New();
  vtkTypeMacro(vtkKivMarkerRenderer, vtkOpenGLRenderer);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /**
   * A new marker renderer showing marker over scene, added to scene's
   * window (whose number of layers grows when needed). Without a window it
   * is added nowhere and never draws.
   */
  static vtkSmartPointer<vtkKivMarkerRenderer> Over(vtkRenderer* scene, vtkActor* marker);

  /**
   * Leave the window Over() added it to, if it is still there.
   */
  void Detach();

  /**
   * Draw the marker over the scene (see the class description), or nothing.
   */
  void Render() override;

protected:
  vtkKivMarkerRenderer();
  ~vtkKivMarkerRenderer() override;

private:
  vtkKivMarkerRenderer(const vtkKivMarkerRenderer&) = delete;
  void operator=(const vtkKivMarkerRenderer&) = delete;

  vtkWeakPointer<vtkRenderer> Scene;
  vtkWeakPointer<vtkRenderWindow> Window;
};

#endif
