// The viewer's frames in motion: while the user drags (or turns the 3D
// mouse, until a quarter of a second after its last report or a mouse
// button), a surface whose full frame takes longer than the interaction's
// time budget is drawn through a lighter stand-in, a vertex-clustered copy
// (orvi::ClusteredSurface) with a few percent of its triangles and its
// colours (with its edges, a copy four times coarser, as its lines cost more
// than its faces); every still frame, and every frame a picker or a
// screenshot sees, is the full surface.
//
// The decision follows VTK's update rates: the interaction styles set the
// render window's DesiredUpdateRate to the interactor's DesiredUpdateRate
// when an interaction starts (vtkInteractorStyle::StartState) and to its
// StillUpdateRate when it ends, and the window hands the renderer its time
// (vtkRenderer::GetAllocatedRenderTime()). A frame draws the stand-ins when
// the renderer's allocated time is shorter than the last full frame took;
// a mesh whose full frame fits the budget is never decimated. The stand-ins
// are built once, on a second thread, after the first full frame that would
// not fit the budget, so the first picture never waits for them; until they
// are ready, motion draws the full surface.
//
// The full actors stay what pickers see: they are hidden only inside a
// stand-in frame (between the renderer's StartEvent and EndEvent), the
// stand-in actors are never pickable, and a hardware selection renders the
// full surface. The surfaces and their edges are MotionActors, which a frame
// hides without modifying them: VTK's mappers upload an actor's geometry
// again after any change to the actor.
#ifndef orviMotionSurface_h
#define orviMotionSurface_h

#include "orviClusteredSurface.h"
#include "vtkNew.h"

#include "vtkOpenGLActor.h"
#include "vtkSmartPointer.h"
#include "vtkType.h"

#include <array>
#include <chrono>
#include <memory>
#include <vector>

class vtkCallbackCommand;
class vtkMapper;
class vtkObject;
class vtkPolyData;
class vtkRenderWindowInteractor;
class vtkRenderer;

namespace orvi
{

/// An actor a frame can hide without modifying it.
class MotionActor : public vtkOpenGLActor
{
public:
  static MotionActor* New();
  vtkTypeMacro(MotionActor, vtkOpenGLActor);

  /// Hidden: invisible whatever its visibility.
  vtkTypeBool GetVisibility() override
  {
    return this->Hidden ? 0 : this->Superclass::GetVisibility();
  }
  void SetHidden(bool hidden) { this->Hidden = hidden; }

protected:
  MotionActor() = default;
  ~MotionActor() override = default;

private:
  MotionActor(const MotionActor&) = delete;
  void operator=(const MotionActor&) = delete;

  bool Hidden = false;
};

class MotionSurface
{
public:
  MotionSurface();
  /// Stops a stand-in under construction and leaves the renderer and the
  /// interactor as they were.
  ~MotionSurface();
  MotionSurface(const MotionSurface&) = delete;
  MotionSurface& operator=(const MotionSurface&) = delete;

  /// Watches the frames of `renderer` and the 3D-mouse reports of
  /// `interactor`, whose DesiredUpdateRate becomes MotionRate.
  void Attach(vtkRenderer* renderer, vtkRenderWindowInteractor* interactor);

  /// A surface to stand in for in motion: `surface` draws the poly data its
  /// mapper has as input, `edges` (may be null) the edges of that poly data.
  /// `onDemand`: a surface that changes often (a section's cut), whose
  /// stand-in is made in the first frame in motion after its poly data
  /// changed, in that frame's thread (a few hundred thousand triangles
  /// cluster in a fraction of a full frame), rather than on the second
  /// thread after a full frame.
  void Add(MotionActor* surface, MotionActor* edges, bool onDemand = false);
  /// The stand-ins take the arrays their surfaces hold now (a time step's,
  /// on the same points and cells).
  void TakeNewArrays();
  /// Forgets every surface (the stand-ins under construction are dropped).
  void Clear();
  /// The surfaces changed shape: their stand-ins are dropped and built
  /// again after the first full frame drawn in motion that would not fit the
  /// budget (not after still frames: a run of shape changes keeps the cores
  /// for its own frames).
  void Reshape();

  /// Draws a full frame when `rerender` or when the picture on screen is a
  /// stand-in frame: a picture that is kept (a screenshot) shows the full
  /// surface.
  void RenderFull(bool rerender);

  /// Waits until the stand-ins that are being built are done.
  void WaitForStandIns();

  /// Whether the last frame drew stand-ins.
  bool DrewStandIns() const { return this->LastFrameStandIn; }
  /// The number of triangles of surface `i`'s stand-in for frames without
  /// edges or with them (a coarser one: the edges' lines cost more than the
  /// triangles), 0 while it has none.
  vtkIdType GetStandInTriangles(size_t i, bool edges = false) const;
  /// That stand-in's poly data as made, before any clipping (null while it
  /// has none).
  vtkPolyData* GetStandIn(size_t i, bool edges = false) const;
  /// How long the last full frame took, in seconds (0 until the second
  /// frame after the last Add()).
  double GetFullFrameSeconds() const { return this->FullSeconds; }

  /// The update rate motion aims at, frames a second.
  static constexpr double MotionRate = 20.0;
  /// How long after the last 3D-mouse report the still frame comes.
  static constexpr int TDxQuietMilliseconds = 250;

private:
  struct Entry;
  struct Builder;
  using ClusterPair = std::array<ClusteredSurface::Clusters, 2>; // fine, coarse

  vtkIdType TargetTriangles(vtkIdType polys) const;
  void TakeIn(Entry& entry, const ClusterPair& clusters);
  void MakeOnDemand();
  static void ClipStandIn(Entry& entry, int level, vtkMapper* full);
  void StartRender();
  void EndRender();
  void StartBuilding();
  void StopBuilding();
  bool StandInsReady();
  void TDxMotion();
  bool TDxTimer(int timerId);
  void EndTDxMotion();
  static void Callback(vtkObject*, unsigned long event, void* clientData, void* callData);

  vtkRenderer* Renderer = nullptr;
  vtkRenderWindowInteractor* Interactor = nullptr;
  vtkNew<vtkCallbackCommand> Command;
  std::vector<std::unique_ptr<Entry>> Entries;
  std::unique_ptr<Builder> Building;
  bool BarStandIns = false;  // frames drawn now must be full
  bool FrameStandIn = false; // the frame being drawn draws stand-ins
  bool LastFrameStandIn = false;
  bool Measuring = false;
  double FullSeconds = 0.0;
  int FullFrames = 0; // measured since the last Add()
  std::chrono::steady_clock::time_point FrameStart;
  int TDxTimerId = 0; // 0 also when the interactor has no timers (a host's, with no loop)
  bool TDxMoving = false;
  bool Reshaped = false; // the stand-ins were dropped by Reshape(): built again in motion
};

} // namespace orvi

#endif
