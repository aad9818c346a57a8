// The mesh edges of orvi-viewer: a wireframe copy of the surface drawn over
// it, tagged with vtkKivMainPass::RENDER_WIREFRAME() so that the main pass
// draws its lines whole over the faces they bound.
#ifndef orviEdges_h
#define orviEdges_h

#include "orviViewerOptions.h"

#include "vtkNew.h"

class vtkActor;
class vtkAlgorithmOutput;
class vtkCallbackCommand;
class vtkObject;
class vtkPolyData;
class vtkRenderer;

namespace orvi
{

class EdgeOverlay
{
public:
  EdgeOverlay();
  /// Takes the edges out of the renderer they were attached to.
  ~EdgeOverlay();
  EdgeOverlay(const EdgeOverlay&) = delete;
  EdgeOverlay& operator=(const EdgeOverlay&) = delete;

  /// Draws the edges of `surface` (the output `port` of the surface filter)
  /// in `renderer`. With EdgeMode::Auto they are shown only while the
  /// surface's mean edge spans at least MinimumEdgePixels on screen: on a
  /// dense mesh seen whole, lines a pixel or two apart would hide the
  /// colours.
  void Attach(vtkAlgorithmOutput* port, vtkPolyData* surface, vtkRenderer* renderer, EdgeMode mode);

  /// When the edges are shown, in place of the mode given to Attach().
  void SetMode(EdgeMode mode);

  /// The mean length of the surface's edges, in pixels at the camera's focal
  /// distance.
  double EdgePixels() const;

  bool IsShown() const;

  static constexpr double MinimumEdgePixels = 10.0;

private:
  static void StartRenderCallback(vtkObject*, unsigned long, void* clientData, void*);

  EdgeMode Mode = EdgeMode::Auto;
  double EdgeLength = 0.0; // world units
  vtkRenderer* Renderer = nullptr;
  vtkNew<vtkActor> Actor;
  vtkNew<vtkCallbackCommand> StartRender;
};

} // namespace orvi

#endif
