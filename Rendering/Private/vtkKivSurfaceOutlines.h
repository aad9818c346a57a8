/**
 * @class   vtkKivSurfaceOutlines
 * @brief   draws a surface actor and the wireframe that outlines it in one go
 *
 * vtkKivMainPass's helper for the common way a host shows a surface's edges:
 * a second actor on the same poly data, drawn as wireframe and tagged
 * vtkKivMainPass::RENDER_WIREFRAME(), over the untagged surface actor. Drawn
 * as two props, VTK 9 processes the geometry twice and rasterises every edge
 * as a line twice (once for each face it bounds), about twice the work of one
 * surface. VTK draws a surface's edges in the same draw as its faces
 * (vtkProperty::EdgeVisibilityOn()), whole and at the cost of about one
 * surface.
 *
 * A pair is an opaque vtkActor drawn as wireframe, tagged RENDER_WIREFRAME,
 * whose mapper draws no scalars, and an opaque vtkActor without any of
 * vtkKivMainPass's keys, drawn as surface without edges, whose
 * vtkPolyDataMapper has the same input (polygons of any size, no triangle
 * strips), with the same matrix, both shown by the renderer. The pair is
 * drawn through a copy of the surface actor with edges on, in the
 * wireframe's colour and line width; the wireframe itself is not drawn. Its
 * edges are then drawn in the faces' own fragments: an edge hidden behind a
 * face stays hidden from every distance, whatever the clipping range.
 *
 * VTK splits a polygon of more than three points along other diagonals when
 * it draws its edges, and widens each triangle by half a line near its
 * edges: a copy drawn where the surface would be drawn could hide geometry
 * the host draws on the surface (picked cells, say), which wins over the
 * plain surface by being drawn later at the same depth. A copy whose
 * surface shares its place with other props is therefore drawn a margin
 * behind the surface's depth: the same margin for every copy of the frame,
 * so that surfaces that touch keep the order VTK gives them, and never so
 * far that the far end of the model would reach the far end of the depth
 * range.
 *
 * The copy is kept from frame to frame and brought up to date only when the
 * surface actor's mapper or property, or the wireframe's property, changed.
 * A wireframe that does not pair (another input, a transform of its own,
 * scalars on its lines, a translucent actor) is left to the pass.
 *
 * The pass calls, for one frame's opaque props in order: BeginFrame(), then
 * DrawSurface() for each prop without the pass's keys and DrawWireframe()
 * for each prop tagged RENDER_WIREFRAME, then EndFrame().
 */

#ifndef vtkKivSurfaceOutlines_h
#define vtkKivSurfaceOutlines_h

#include "vtkObject.h"

#include <memory> // for std::unique_ptr
#include <vector> // for std::vector

class vtkProp;
class vtkRenderer;
class vtkWindow;

class vtkKivSurfaceOutlines : public vtkObject
{
public:
  static vtkKivSurfaceOutlines* New();
  vtkTypeMacro(vtkKivSurfaceOutlines, vtkObject);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /**
   * Starts drawing a frame of `renderer` with these props.
   */
  void BeginFrame(vtkRenderer* renderer, vtkProp** props, int count);

  /**
   * A prop without the pass's keys: when it is the surface of a pair, draws
   * it with its outline and returns what the copy's RenderOpaqueGeometry()
   * returns; otherwise returns -1 and the caller draws it.
   */
  int DrawSurface(vtkProp* prop);

  /**
   * Whether any pair is known: DrawSurface() draws nothing otherwise.
   */
  bool HasOutlines() const { return this->NumberOfOutlines > 0; }

  /**
   * The prop `props[index]` of the frame, tagged RENDER_WIREFRAME: returns
   * true when it is drawn as its surface's edges (now, over a surface drawn
   * earlier in the frame, or with the surface further on), false when the
   * caller must draw it.
   */
  bool DrawWireframe(vtkProp** props, int count, int index);

  /**
   * Ends the frame. Returns the wireframes left for the surface that did not
   * come after all: the caller draws them.
   */
  std::vector<vtkProp*> EndFrame();

  /**
   * The depth-buffer change, in VTK 9's coincident-offset units (1/65000 of
   * the depth range), across one pixel of a face inclined at 45 degrees to
   * the view, where the bounds (xmin, xmax, ymin, ymax, zmin, zmax; null for
   * none) come nearest the camera.
   */
  static double DepthUnitsPerPixel(vtkRenderer* renderer, const double* bounds);

  /**
   * How far a face within the bounds can lie nearer than its edge half a
   * pixel beside it, for faces inclined up to about 76 degrees, in offset
   * units (never more than 2% of the depth range): how far the pass pulls a
   * tagged wireframe's lines forward (the wireframe's bounds), and pushes
   * the paired surfaces that share their place with other props back (the
   * bounds of all the renderer's visible props, the same for all of them).
   */
  static double EdgeDepthMargin(vtkRenderer* renderer, const double* bounds);

  /**
   * Releases the copies' graphics resources held in the window.
   */
  void ReleaseGraphicsResources(vtkWindow* window);

protected:
  vtkKivSurfaceOutlines();
  ~vtkKivSurfaceOutlines() override;

private:
  struct Outline;
  struct Frame;
  std::unique_ptr<Frame> State;
  int NumberOfOutlines = 0;

  vtkKivSurfaceOutlines(const vtkKivSurfaceOutlines&) = delete;
  void operator=(const vtkKivSurfaceOutlines&) = delete;
};

#endif
