/**
 * @class   vtkKivMainPass
 * @brief   default render pass with per-prop polygon offset and hardware-selection support
 *
 * vtkKivMainPass is a vtkDefaultPass that changes two things:
 *
 * - Per-prop coincident-topology settings. A host tags props through their
 *   property keys (vtkProp::SetPropertyKeys) with the three keys below.
 *   While the opaque geometry is drawn, each tagged prop's
 *   RenderOpaqueGeometry() runs with vtkMapper's global coincident-topology
 *   settings switched for that prop, and the previous settings are put back
 *   right after it:
 *   - RENDER_WIREFRAME present (its value is never read): the prop is a
 *     wireframe drawn over coincident geometry, typically the edges of a
 *     surface drawn a second time with the wireframe representation. It is
 *     drawn in polygon-offset mode (vtkMapper::SetResolveCoincidentTopology(1))
 *     with polygon offset factor 1.0 and units 1.0, and its lines are pulled
 *     towards the camera far enough to win the depth test against the faces
 *     they bound (see below). The prop's representation is left to the host.
 *     This key wins over the two offset keys.
 *   - RENDER_POLYGON_OFFSET_FACTOR and/or RENDER_POLYGON_OFFSET_UNITS present:
 *     the polygon-offset-faces switch is set to 1 and the global polygon
 *     offset parameters hold the prop's factor and units while it draws; a
 *     value the prop does not give is taken from the global setting at the
 *     start of the frame. The mode is not changed, so these
 *     values act only when the host already runs with polygon-offset mode:
 *     of two coincident props the one with the larger offset is then drawn
 *     behind, filled or as wireframe. The faces switch is not put back
 *     afterwards.
 *   Props without any of the keys are drawn with the global settings as they
 *   are.
 * - Hardware selection. While a vtkHardwareSelector renders through the
 *   renderer (vtkRenderer::GetSelector() is set), the whole prop list goes to
 *   vtkHardwareSelector::Render() instead of the pass's own stages, so that
 *   hardware selection (vtkHardwareSelector::Select(), vtkRenderer::PickProp)
 *   finds the props drawn through this pass. The keys are not consulted
 *   then.
 *
 * Clean edges. To show a surface's edges, a host draws the surface with one
 * actor and its edges with a second actor on the same poly data, with the
 * wireframe representation, tagged RENDER_WIREFRAME, unpickable, its mapper
 * drawing no scalars; the surface actor stays untagged. The pass draws such
 * a pair in one go, as VTK draws a surface with
 * vtkProperty::EdgeVisibilityOn() (through a copy of the surface actor with
 * edges in the wireframe's colour and line width), for triangles,
 * quadrilaterals and larger polygons alike: the edges are drawn in the
 * faces' own fragments, so an edge behind a face never shows through it,
 * from any distance and whatever the global mode, and the cost is one
 * surface instead of two. Where other props reach into the surface's bounds
 * the copy is drawn a little behind the surface's own depth, so that what
 * the host draws on the surface at the same depth (picked cells, say) still
 * shows. A tagged wireframe over other coincident geometry (another poly
 * data, a transform of its own) is drawn as a prop of its own, pulled
 * forward as described below; near silhouettes and where parts touch, its
 * lines can then show through faces in front in close views.
 *
 * Why the pass does more than set the mode on VTK 9: its OpenGL mappers
 * resolve coincident topology in the fragment shader, moving a fragment's
 * depth by units / 65000 of the depth range; the factor is not used. Lines
 * and wireframe-represented polygons take the *line* offset parameters, and
 * an untagged surface drawn with the mode off is not moved at all. A line's
 * fragments lie up to half a pixel beside the edge it draws, where the face
 * under them is nearer by up to half the face's depth change across a pixel.
 * While a tagged wireframe draws, the pass therefore also lowers the global
 * line offset units (on top of the host's own) by that depth change, computed
 * from the camera, the viewport and the prop's bounds for faces inclined up to
 * about 76 degrees from facing the camera, and never by more than 2% of the
 * depth range. For the offset keys it sets the global line parameters as the
 * polygon parameters (a wireframe prop then moves as a filled one does), and
 * a factor the prop gives reaches the mappers through the relative offset
 * units of the prop's own mappers (vtkMapper's
 * RelativeCoincidentTopology...OffsetParameters, polygons and lines), raised
 * by the factor times the depth change across a pixel of a face inclined at
 * 45 degrees, so that a factor pushes a prop back as it would with
 * glPolygonOffset. The mappers' own values are put back right after the
 * prop, without marking the mappers modified (which would make VTK rebuild
 * their buffers). The line parameters are saved and restored with the
 * others.
 *
 * Installing the pass. On VTK 9 a pass installed with vtkRenderer::SetPass()
 * replaces the renderer's whole drawing, including its camera and light set
 * up; a vtkDefaultPass installed alone draws with neither. InstallOn()
 * therefore installs the pass inside the chain VTK's vtkRenderStepsPass
 * uses: a vtkCameraPass delegating to a vtkSequencePass of a vtkLightsPass
 * and this pass. A host installs it and tags its props:
 *
 * \code
 * vtkKivMainPass::InstallOn(renderer);
 *
 * vtkNew<vtkInformation> keys;
 * keys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), 4.0);
 * actor->SetPropertyKeys(keys);
 * \endcode
 *
 * Null entries in the render state's prop array are skipped by every stage
 * (VTK's renderer never hands any over; a host calling Render() directly
 * might). A state with a prop count but no prop array, or a negative count,
 * is drawn as a state without props.
 *
 * Translucent, volumetric and overlay geometry are drawn by vtkDefaultPass's
 * plain loops (no depth peeling or order-independent translucency, as with
 * any vtkDefaultPass).
 *
 * The keys are created on their first request and live until the end of the
 * process; that first request must not race with another one. The pass
 * changes process-wide settings of vtkMapper while it draws a tagged prop:
 * nothing else may render at the same time.
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
   * Keys a host puts in a prop's property keys. Each getter returns the same
   * key object on every call; the location string of all three is
   * "vtkKivMainPass" and the name is the getter's name.
   */
  static vtkInformationIntegerKey* RENDER_WIREFRAME();
  static vtkInformationDoubleKey* RENDER_POLYGON_OFFSET_FACTOR();
  static vtkInformationDoubleKey* RENDER_POLYGON_OFFSET_UNITS();
  ///@}

  ///@{
  /**
   * Installs a pass on the renderer (vtkRenderer::SetPass()) inside the
   * chain that sets up the camera and lights: a vtkCameraPass delegating to
   * a vtkSequencePass of a vtkLightsPass and the pass. The first form
   * installs a new vtkKivMainPass and returns it; the renderer's chain keeps
   * it alive, and the caller may keep a reference to tag or inspect it. The
   * second installs the given pass (a subclass of this one, or any pass to
   * compare with) and returns true. Both replace the renderer's previous
   * pass; a null renderer or pass reports an error and installs nothing
   * (null, false).
   */
  static vtkKivMainPass* InstallOn(vtkRenderer* renderer);
  static bool InstallOn(vtkRenderer* renderer, vtkRenderPass* pass);
  ///@}

  /**
   * Draws the props of the render state: through the renderer's hardware
   * selector when one is rendering, otherwise the opaque stage of this class
   * followed by vtkDefaultPass's translucent, volumetric and overlay stages.
   * The filtered stages are not used.
   */
  void Render(const vtkRenderState* s) override;

protected:
  vtkKivMainPass();
  ~vtkKivMainPass() override;

  /**
   * Draws the opaque geometry of every prop, switching vtkMapper's global
   * coincident-topology settings around each tagged prop.
   */
  void RenderOpaqueGeometry(const vtkRenderState* s) override;

  /**
   * Releases the graphics resources of the surfaces the pass draws with
   * their outlines.
   */
  void ReleaseGraphicsResources(vtkWindow* window) override;

private:
  // The four unfiltered stages, in order, on a state without null props.
  void RenderStages(const vtkRenderState* s);

  // Pairs of an untagged surface and the tagged wireframe outlining it, drawn
  // in one go.
  vtkKivSurfaceOutlines* Outlines;

  vtkKivMainPass(const vtkKivMainPass&) = delete;
  void operator=(const vtkKivMainPass&) = delete;
};

#endif
