/**
 * @class   vtkKivMainPass
 * @brief   default render pass with per-prop polygon offset and hardware-selection support
 *
 * vtkKivMainPass is a vtkDefaultPass whose opaque stage switches vtkMapper's
 * global coincident-topology settings around each prop a host has tagged
 * through its property keys (vtkProp::SetPropertyKeys), and puts them back
 * right after it:
 * - RENDER_WIREFRAME (its value is not read): a wireframe over coincident
 *   geometry, drawn in polygon-offset mode with its lines pulled in front of
 *   the faces they bound. Tag the second, unpickable actor of a surface's
 *   edges (same poly data, wireframe representation, no scalars): the pass
 *   then draws surface and edges in one go, as vtkProperty::EdgeVisibilityOn()
 *   does, so no edge shows through a face. Wins over the two offset keys.
 * - RENDER_POLYGON_OFFSET_FACTOR, RENDER_POLYGON_OFFSET_UNITS: the prop's
 *   polygon offset (a value not given is the global one). They act when the
 *   host runs in polygon-offset mode: of two coincident props, the one with
 *   the larger offset is drawn behind (the offset-faces switch stays on).
 * While a vtkHardwareSelector renders through the renderer, the props go to
 * the selector instead, so that picks find what the pass draws.
 *
 * A pass installed alone draws with no camera and no lights on VTK 9:
 * install it with InstallOn(), then tag the props:
 *
 * \code
 * vtkKivMainPass::InstallOn(renderer);
 *
 * vtkNew<vtkInformation> keys;
 * keys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), 4.0);
 * actor->SetPropertyKeys(keys);
 * \endcode
 *
 * The pass changes process-wide vtkMapper settings while it draws a tagged
 * prop: nothing else may render at the same time.
 *
 * @sa vtkDefaultPass vtkCameraPass vtkLightsPass vtkSequencePass vtkHardwareSelector
 */

#ifndef vtkKivMainPass_h
#define vtkKivMainPass_h

#include "vtkDefaultPass.h"
#include "vtkorviRenderingModule.h" // for export macro

class vtkInformationDoubleKey;
class vtkInformationIntegerKey;
class vtkKivSurfaceOutlines;
class vtkRenderer;

class VTKORVIRENDERING_EXPORT vtkKivMainPass : public vtkDefaultPass
{
public:
  static vtkKivMainPass* New();
  vtkTypeMacro(vtkKivMainPass, vtkDefaultPass);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  ///@{
  /**
   * The keys a host puts in a prop's property keys (location
   * "vtkKivMainPass", named as the getter). Created on the first call.
   */
  static vtkInformationIntegerKey* RENDER_WIREFRAME();
  static vtkInformationDoubleKey* RENDER_POLYGON_OFFSET_FACTOR();
  static vtkInformationDoubleKey* RENDER_POLYGON_OFFSET_UNITS();
  ///@}

  ///@{
  /**
   * Set the renderer's pass to a vtkCameraPass over a vtkSequencePass of a
   * vtkLightsPass and a new vtkKivMainPass (returned, owned by the
   * renderer), or the given pass (returns true). A null renderer or pass is
   * an error: nothing is installed (null, false).
   */
  static vtkKivMainPass* InstallOn(vtkRenderer* renderer);
  static bool InstallOn(vtkRenderer* renderer, vtkRenderPass* pass);
  ///@}

  /**
   * Draws the state's props: through the renderer's hardware selector when
   * one is rendering, otherwise this class's opaque stage and
   * vtkDefaultPass's translucent, volumetric and overlay stages.
   */
  void Render(const vtkRenderState* s) override;

protected:
  vtkKivMainPass();
  ~vtkKivMainPass() override;

  /**
   * Draws every prop's opaque geometry, with each tagged prop's settings.
   */
  void RenderOpaqueGeometry(const vtkRenderState* s) override;

  /**
   * Releases the resources of the surfaces drawn with their edges.
   */
  void ReleaseGraphicsResources(vtkWindow* window) override;

private:
  // The four unfiltered stages, in order, on a state without null props.
  void RenderStages(const vtkRenderState* s);

  // Surfaces and the tagged wireframes outlining them, drawn in one go.
  vtkKivSurfaceOutlines* Outlines;

  vtkKivMainPass(const vtkKivMainPass&) = delete;
  void operator=(const vtkKivMainPass&) = delete;
};

#endif
