/**
 * @class   vtkKivSurfaceOutlines
 * @brief   internal: draws a surface actor and the wireframe that outlines it in one go
 *
 * Internal to vtkKivMainPass (not installed, not wrapped). A host shows a
 * surface's edges with a second actor on the same poly data, drawn as
 * wireframe and tagged RENDER_WIREFRAME; this helper draws such a pair as
 * one copy of the surface actor with VTK's own edges
 * (vtkProperty::EdgeVisibilityOn()), in the wireframe's colour and width:
 * the cost of one surface, and no edge shows through a face. A wireframe
 * that does not pair is left to the pass. Per frame the pass calls
 * BeginFrame(), DrawSurface() for each untagged prop and DrawWireframe()
 * for each tagged one, then EndFrame().
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

  /// Starts drawing a frame of `renderer` with these props.
  void BeginFrame(vtkRenderer* renderer, vtkProp** props, int count);

  /**
   * An untagged prop: draws a pair's surface with its outline (returns what
   * the copy rendered), or returns -1 for the caller to draw it.
   */
  int DrawSurface(vtkProp* prop);

  /// Whether any pair is known: DrawSurface() draws nothing otherwise.
  bool HasOutlines() const { return this->NumberOfOutlines > 0; }

  /**
   * The tagged prop `props[index]`: true when it is (or will be) drawn as
   * its surface's edges, false when the caller must draw it.
   */
  bool DrawWireframe(vtkProp** props, int count, int index);

  /// Ends the frame; returns the wireframes whose surface never came, to draw.
  std::vector<vtkProp*> EndFrame();

  /**
   * The depth change, in VTK 9's offset units (1/65000 of the depth range),
   * across a pixel of a face at 45 degrees where the bounds (null: none)
   * come nearest the camera.
   */
  static double DepthUnitsPerPixel(vtkRenderer* renderer, const double* bounds);

  /**
   * How far, in offset units, a face within the bounds can lie nearer than
   * its edge half a pixel away (faces up to about 76 degrees, at most 2% of
   * the depth range): what the pass pulls a tagged wireframe forward by.
   */
  static double EdgeDepthMargin(vtkRenderer* renderer, const double* bounds);

  /// Releases the copies' graphics resources held in the window.
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
