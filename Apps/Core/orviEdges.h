// The mesh edges of orvi-viewer: a wireframe of the surface's faces drawn
// over them, tagged with vtkKivMainPass::RENDER_WIREFRAME() so that the main
// pass draws its lines whole over the faces they bound; and the surface's
// own lines and vertices (a mesh's 1D and 0D cells) drawn over its faces in
// a colour of their own, wide enough to be seen.
#ifndef orviEdges_h
#define orviEdges_h

#include "orviMotionSurface.h"
#include "orviViewerOptions.h"

#include "vtkNew.h"
#include "vtkType.h"

#include <cstdint>
#include <vector>

class vtkActor;
class vtkCallbackCommand;
class vtkObject;
class vtkPolyData;
class vtkRenderer;

namespace orvi
{

class SurfaceMapper;

class EdgeOverlay
{
public:
  EdgeOverlay();
  /// Takes the edges out of the renderer they were attached to.
  ~EdgeOverlay();
  EdgeOverlay(const EdgeOverlay&) = delete;
  EdgeOverlay& operator=(const EdgeOverlay&) = delete;

  /// Draws the edges of the faces of `surface` in `renderer`, and its lines
  /// and vertices when it has faces too. With EdgeMode::Auto the edges of a
  /// face are shown only while the face spans at least MinimumCellPixels on
  /// screen (the square root of its area, at the camera's focal distance):
  /// a dense mesh seen whole keeps its colours, and a graded one shows its
  /// mesh where the cells are large.
  void Attach(vtkPolyData* surface, vtkRenderer* renderer, EdgeMode mode);

  /// When the edges are shown, in place of the mode given to Attach().
  void SetMode(EdgeMode mode);
  /// Whether anything is drawn at all (a hidden part's edges are not).
  void SetVisible(bool visible);

  /// With EdgeMode::Auto, the faces whose edges are drawn for the camera as
  /// it is now (done before every render).
  void FollowCamera();

  /// How many pixels a world length at the camera's focal distance spans.
  double PixelsPerUnit() const;

  /// The faces whose edges are drawn now, of FaceCount().
  vtkIdType ShownFaces() const;
  vtkIdType FaceCount() const { return static_cast<vtkIdType>(this->Sizes.size()); }
  bool IsShown() const;

  /// The wireframe actor.
  MotionActor* GetActor() const { return this->Actor; }

  static constexpr double MinimumCellPixels = 10.0;
  /// The colour of lines and vertices drawn over faces.
  static constexpr double LineColor[3] = { 1.0, 0.78, 0.1 };

private:
  static void StartRenderCallback(vtkObject*, unsigned long, void* clientData, void*);
  // Draws the edges of the largest `count` faces.
  void ShowFaces(vtkIdType count);

  EdgeMode Mode = EdgeMode::Auto;
  bool Visible = true;
  std::vector<float> Sizes;            // the faces' sizes, world units, descending
  std::vector<uint32_t> Order;         // the faces in that order
  std::vector<vtkIdType> Offsets;      // of the first faces in that order in Connectivity
  std::vector<vtkIdType> Connectivity; // their points, as far as they were shown
  vtkIdType Shown = -1;
  vtkRenderer* Renderer = nullptr;
  vtkPolyData* Surface = nullptr;
  vtkNew<vtkPolyData> Edges;    // the faces shown, when not all of them
  vtkNew<SurfaceMapper> Mapper; // the surface itself while every face shows
  vtkNew<MotionActor> Actor;    // hidden in frames that draw a stand-in
  vtkNew<vtkActor> LinesActor;
  vtkNew<vtkCallbackCommand> StartRender;
};

} // namespace orvi

#endif
