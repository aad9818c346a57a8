#include "orviMotionSurface.h"

#include "orviClusteredSurface.h"

#include "vtkActor.h"
#include "vtkCallbackCommand.h"
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkClipPolyData.h"
#include "vtkIdTypeArray.h"
#include "vtkInteractorStyle.h"
#include "vtkPlane.h"
#include "vtkPlaneCollection.h"
#include "vtkPointData.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <thread>

namespace orvi
{

namespace
{
// A surface of fewer than twice this many triangles is always drawn as it
// is: its stand-in would save nothing.
constexpr vtkIdType MinimumStandInTriangles = 2000;
// Below this many triangles a stand-in (of a surface of four times as many
// or more) saves little of a frame (clearing, the background, the legend
// cost as much on software GL) and loses much of the shape.
constexpr vtkIdType PreferredStandInTriangles = 20000;
// The share of the motion budget a stand-in's triangles may take, measured
// against the full frame's time: the rest is the frame's own cost and the
// stand-in's edges.
constexpr double StandInShare = 0.35;

using Clusters = ClusteredSurface::Clusters;

// The stand-in's edges, each once, as lines on its points. Drawn as lines
// rather than paired with the stand-in's faces (which the main pass draws
// with edges computed for every fragment): in motion the edges then cost
// what their pixels cost.
vtkSmartPointer<vtkPolyData> EdgesOf(vtkPolyData* standIn, const Clusters& clusters)
{
  std::vector<std::pair<vtkIdType, vtkIdType>> edges;
  edges.reserve(clusters.Triangles.size());
  for (size_t t = 0; t < clusters.Triangles.size(); t += 3)
  {
    for (size_t k = 0; k < 3; ++k)
    {
      const vtkIdType a = clusters.Triangles[t + k], b = clusters.Triangles[t + (k + 1) % 3];
      edges.emplace_back(std::min(a, b), std::max(a, b));
    }
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  const auto numEdges = static_cast<vtkIdType>(edges.size());
  vtkNew<vtkIdTypeArray> offsets, connectivity;
  offsets->SetNumberOfValues(numEdges + 1);
  connectivity->SetNumberOfValues(2 * numEdges);
  for (vtkIdType e = 0; e < numEdges; ++e)
  {
    offsets->SetValue(e, 2 * e);
    connectivity->SetValue(2 * e, edges[e].first);
    connectivity->SetValue(2 * e + 1, edges[e].second);
  }
  offsets->SetValue(numEdges, 2 * numEdges);
  vtkNew<vtkCellArray> lines;
  lines->SetData(offsets, connectivity);
  auto out = vtkSmartPointer<vtkPolyData>::New();
  out->SetPoints(standIn->GetPoints());
  out->SetLines(lines);
  return out;
}

// The latest time of a collection of clipping planes and of its planes.
vtkMTimeType PlanesTime(vtkPlaneCollection* planes)
{
  vtkMTimeType time = planes->GetMTime();
  for (int i = 0; i < planes->GetNumberOfItems(); ++i)
  {
    time = std::max(time, planes->GetItem(i)->GetMTime());
  }
  return time;
}

// `surface` clipped by each of `planes` in turn, keeping the side a mapper
// clipped by them keeps (where the plane's function is positive).
vtkSmartPointer<vtkPolyData> ClippedBy(vtkPolyData* surface, vtkPlaneCollection* planes)
{
  vtkSmartPointer<vtkPolyData> kept = surface;
  for (int i = 0; i < planes->GetNumberOfItems(); ++i)
  {
    vtkNew<vtkClipPolyData> clip;
    clip->SetInputData(kept);
    clip->SetClipFunction(planes->GetItem(i));
    clip->Update();
    kept = clip->GetOutput();
  }
  return kept;
}

vtkPolyData* InputOf(MotionActor* actor)
{
  auto* mapper = vtkPolyDataMapper::SafeDownCast(actor ? actor->GetMapper() : nullptr);
  return mapper ? mapper->GetInput() : nullptr;
}
} // namespace

//------------------------------------------------------------------------------
vtkStandardNewMacro(MotionActor);

//------------------------------------------------------------------------------
// One surface: its actors, and its stand-in's once built.
struct MotionSurface::Entry
{
  vtkSmartPointer<MotionActor> Surface;
  vtkSmartPointer<MotionActor> Edges;
  vtkSmartPointer<vtkPolyData> Input; // the surface's poly data when the stand-in was asked for
  bool OnDemand = false;              // made in the frame that needs it
  vtkMTimeType InputTime = 0;         // the poly data's time then (on demand)
  // The stand-ins, hidden but in stand-in frames: the finer one for frames
  // without edges, the coarser one for frames with them, whose lines cost
  // more than the triangles they bound.
  struct Level
  {
    vtkNew<MotionActor> Actor;
    vtkIdType Triangles = 0; // 0 without a stand-in
    vtkMTimeType MapperSynced = 0;
    Clusters Kept;                        // what it was assembled from, for new arrays
    vtkSmartPointer<vtkPolyData> Whole;   // the stand-in as assembled
    vtkSmartPointer<vtkPolyData> Clipped; // and clipped by the surface's planes
    vtkMTimeType ClippedTime = 0;         // the planes' and Whole's time then
  };
  Level Levels[2];
  vtkNew<MotionActor> StandInEdges; // on the coarser stand-in
};

// The stand-ins under construction on a second thread.
struct MotionSurface::Builder
{
  std::vector<vtkSmartPointer<vtkPolyData>> Inputs; // by entry, null: none wanted
  std::vector<vtkIdType> Targets;
  std::vector<ClusterPair> Results; // by entry
  std::atomic<bool> Cancel{ false };
  std::atomic<bool> Done{ false };
  std::thread Thread;
};

//------------------------------------------------------------------------------
MotionSurface::MotionSurface()
{
  this->Command->SetCallback(&MotionSurface::Callback);
  this->Command->SetClientData(this);
}

MotionSurface::~MotionSurface()
{
  this->Clear();
  if (this->Renderer)
  {
    this->Renderer->RemoveObserver(this->Command);
  }
  if (this->Interactor)
  {
    this->Interactor->RemoveObserver(this->Command);
  }
}

//------------------------------------------------------------------------------
void MotionSurface::Attach(vtkRenderer* renderer, vtkRenderWindowInteractor* interactor)
{
  this->Renderer = renderer;
  this->Interactor = interactor;
  // After the observers that decide what the frame shows (the edges' auto
  // mode), so that the stand-ins follow them.
  renderer->AddObserver(vtkCommand::StartEvent, this->Command, -1.0f);
  renderer->AddObserver(vtkCommand::EndEvent, this->Command, -1.0f);
  // Before the interactor style: the 3D mouse has no button to release, so
  // its motion starts with a report and ends when the reports stop.
  interactor->AddObserver(vtkCommand::TDxMotionEvent, this->Command, 2.0f);
  interactor->AddObserver(vtkCommand::TimerEvent, this->Command, 2.0f);
  // A mouse button ends the 3D mouse's motion before the button's action
  // starts: a box zoom's band is drawn over the full surface.
  for (unsigned long press : { vtkCommand::LeftButtonPressEvent,
         vtkCommand::MiddleButtonPressEvent,
         vtkCommand::RightButtonPressEvent })
  {
    interactor->AddObserver(press, this->Command, 3.0f);
  }
  interactor->SetDesiredUpdateRate(MotionRate);
}

//------------------------------------------------------------------------------
void MotionSurface::Add(MotionActor* surface, MotionActor* edges, bool onDemand)
{
  auto entry = std::make_unique<Entry>();
  entry->Surface = surface;
  entry->Edges = edges;
  entry->OnDemand = onDemand;
  for (MotionActor* actor : { entry->Levels[0].Actor.GetPointer(),
         entry->Levels[1].Actor.GetPointer(),
         entry->StandInEdges.GetPointer() })
  {
    actor->SetHidden(true);
    actor->PickableOff();
  }
  this->Entries.push_back(std::move(entry));
  this->FullFrames = 0;
}

//------------------------------------------------------------------------------
void MotionSurface::Clear()
{
  this->Reshape();
  this->Reshaped = false;
  this->Entries.clear();
  this->FullSeconds = 0.0;
  this->LastFrameStandIn = false;
}

//------------------------------------------------------------------------------
void MotionSurface::Reshape()
{
  this->StopBuilding();
  this->Building.reset();
  for (const auto& entry : this->Entries)
  {
    if (this->Renderer)
    {
      this->Renderer->RemoveActor(entry->Levels[0].Actor);
      this->Renderer->RemoveActor(entry->Levels[1].Actor);
      this->Renderer->RemoveActor(entry->StandInEdges);
    }
    for (Entry::Level& level : entry->Levels)
    {
      level.Triangles = 0;
    }
    entry->InputTime = 0;
  }
  this->LastFrameStandIn = false;
  this->Reshaped = true;
}

//------------------------------------------------------------------------------
vtkIdType MotionSurface::GetStandInTriangles(size_t i, bool edges) const
{
  return i < this->Entries.size() ? this->Entries[i]->Levels[edges ? 1 : 0].Triangles : 0;
}

vtkPolyData* MotionSurface::GetStandIn(size_t i, bool edges) const
{
  const Entry::Level* level =
    i < this->Entries.size() ? &this->Entries[i]->Levels[edges ? 1 : 0] : nullptr;
  return level && level->Triangles > 0 ? level->Whole.Get() : nullptr;
}

//------------------------------------------------------------------------------
void MotionSurface::RenderFull(bool rerender)
{
  if (!this->Renderer || (!rerender && !this->LastFrameStandIn))
  {
    return;
  }
  this->BarStandIns = true;
  this->Renderer->GetRenderWindow()->Render();
  this->BarStandIns = false;
}

//------------------------------------------------------------------------------
void MotionSurface::WaitForStandIns()
{
  if (this->Building && this->Building->Thread.joinable())
  {
    this->Building->Thread.join();
  }
  this->StandInsReady();
}

//------------------------------------------------------------------------------
void MotionSurface::StartBuilding()
{
  if (this->Building || !this->Interactor)
  {
    return;
  }
  auto builder = std::make_unique<Builder>();
  bool any = false;
  for (const auto& entry : this->Entries)
  {
    vtkPolyData* input = entry->OnDemand ? nullptr : InputOf(entry->Surface);
    const vtkIdType polys = input ? input->GetNumberOfPolys() : 0;
    const bool worth = polys >= 2 * MinimumStandInTriangles;
    if (!entry->OnDemand)
    {
      entry->Input = worth ? input : nullptr;
    }
    builder->Inputs.emplace_back(worth ? input : nullptr);
    builder->Targets.push_back(this->TargetTriangles(polys));
    any = any || worth;
  }
  if (!any)
  {
    return;
  }
  builder->Results.resize(builder->Inputs.size());
  Builder* b = builder.get();
  b->Thread = std::thread(
    [b]()
    {
      for (size_t i = 0; i < b->Inputs.size() && !b->Cancel; ++i)
      {
        if (b->Inputs[i] &&
          (!ClusteredSurface::Cluster(b->Inputs[i], b->Targets[i], &b->Cancel, b->Results[i][0]) ||
            !ClusteredSurface::Cluster(b->Inputs[i],
              std::max(MinimumStandInTriangles, b->Targets[i] / 4),
              &b->Cancel,
              b->Results[i][1])))
        {
          break;
        }
      }
      b->Done = true;
    });
  this->Building = std::move(builder);
}

//------------------------------------------------------------------------------
void MotionSurface::StopBuilding()
{
  if (this->Building)
  {
    this->Building->Cancel = true;
    if (this->Building->Thread.joinable())
    {
      this->Building->Thread.join();
    }
  }
}

//------------------------------------------------------------------------------
// The triangles of a stand-in of a surface of `polys`: its share of the
// motion budget, measured against the last full frame.
vtkIdType MotionSurface::TargetTriangles(vtkIdType polys) const
{
  const double budget = 1.0 / std::max(this->Interactor->GetDesiredUpdateRate(), 1e-6);
  const auto wanted = static_cast<vtkIdType>(
    static_cast<double>(polys) * StandInShare * budget / std::max(this->FullSeconds, 1e-9));
  return std::min(
    std::max({ MinimumStandInTriangles, std::min(PreferredStandInTriangles, polys / 4), wanted }),
    polys / 2);
}

//------------------------------------------------------------------------------
// An entry's stand-ins from its clusters (none where a level has none).
void MotionSurface::TakeIn(Entry& e, const ClusterPair& results)
{
  for (int level = 0; level < 2; ++level)
  {
    const Clusters& clusters = results[level];
    Entry::Level& l = e.Levels[level];
    l.Triangles = 0;
    if (clusters.Cells.empty())
    {
      continue;
    }
    vtkSmartPointer<vtkPolyData> standIn = ClusteredSurface::Assemble(e.Input, clusters);
    l.Kept = clusters;
    l.Triangles = standIn->GetNumberOfPolys();
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputData(standIn);
    l.Actor->SetMapper(mapper);
    l.Actor->SetProperty(e.Surface->GetProperty());
    l.MapperSynced = 0;
    l.Whole = standIn;
    l.Clipped = nullptr;
    this->Renderer->AddActor(l.Actor);
    if (e.Edges && level == 1)
    {
      vtkNew<vtkPolyDataMapper> edgesMapper;
      edgesMapper->SetInputData(EdgesOf(standIn, clusters));
      edgesMapper->ScalarVisibilityOff();
      e.StandInEdges->SetMapper(edgesMapper);
      e.StandInEdges->SetProperty(e.Edges->GetProperty());
      e.StandInEdges->SetPropertyKeys(e.Edges->GetPropertyKeys());
      this->Renderer->AddActor(e.StandInEdges);
    }
  }
}

//------------------------------------------------------------------------------
// Takes in the stand-ins a finished build made; whether any surface has one.
bool MotionSurface::StandInsReady()
{
  if (this->Building && this->Building->Done && !this->Building->Cancel)
  {
    if (this->Building->Thread.joinable())
    {
      this->Building->Thread.join();
    }
    for (size_t i = 0; i < this->Entries.size(); ++i)
    {
      Entry& e = *this->Entries[i];
      // A surface whose poly data changed since is left without a stand-in.
      if (!e.OnDemand && e.Input && e.Input == InputOf(e.Surface))
      {
        this->TakeIn(e, this->Building->Results[i]);
      }
    }
    this->Building->Results.clear();
    this->Building->Cancel = true; // taken in: never again
  }
  return std::any_of(this->Entries.begin(),
    this->Entries.end(),
    [](const std::unique_ptr<Entry>& e) { return !e->OnDemand && e->Levels[0].Triangles > 0; });
}

//------------------------------------------------------------------------------
// The on-demand surfaces' stand-ins made again where their poly data changed.
void MotionSurface::MakeOnDemand()
{
  for (const auto& entry : this->Entries)
  {
    Entry& e = *entry;
    vtkPolyData* input = e.OnDemand ? InputOf(e.Surface) : nullptr;
    if (!input || (input == e.Input && input->GetMTime() == e.InputTime))
    {
      continue;
    }
    e.Input = input;
    e.InputTime = input->GetMTime();
    ClusterPair clusters;
    const vtkIdType polys = input->GetNumberOfPolys();
    const vtkIdType target = this->TargetTriangles(polys);
    if (polys >= 2 * MinimumStandInTriangles)
    {
      ClusteredSurface::Cluster(input, target, nullptr, clusters[0]);
      ClusteredSurface::Cluster(
        input, std::max(MinimumStandInTriangles, target / 4), nullptr, clusters[1]);
    }
    this->TakeIn(e, clusters);
  }
}

//------------------------------------------------------------------------------
void MotionSurface::TakeNewArrays()
{
  for (const auto& entry : this->Entries)
  {
    Entry& e = *entry;
    for (Entry::Level& l : e.Levels)
    {
      if (l.Triangles > 0 && l.Whole && e.Input == InputOf(e.Surface))
      {
        // The stand-in's edges keep their points, which do not change; its
        // clipped copy is made again from the new arrays.
        vtkSmartPointer<vtkPolyData> standIn = ClusteredSurface::Assemble(e.Input, l.Kept);
        l.Whole->GetPointData()->ShallowCopy(standIn->GetPointData());
        l.Whole->GetCellData()->ShallowCopy(standIn->GetCellData());
        l.Whole->Modified();
      }
    }
  }
}

//------------------------------------------------------------------------------
// A stand-in clipped as its surface is (a section plane's) is drawn clipped
// on the CPU, once per change of the planes: a software rasteriser's
// clipping in the shader costs a motion frame more than the few thousand
// triangles clipped here once.
void MotionSurface::ClipStandIn(Entry& e, int level, vtkMapper* full)
{
  Entry::Level& l = e.Levels[level];
  auto* mapper = vtkPolyDataMapper::SafeDownCast(l.Actor->GetMapper());
  vtkPlaneCollection* planes = full ? full->GetClippingPlanes() : nullptr;
  if (!mapper || !l.Whole)
  {
    return;
  }
  if (!planes || planes->GetNumberOfItems() == 0)
  {
    if (mapper->GetInput() != l.Whole)
    {
      mapper->SetInputData(l.Whole);
    }
    return;
  }
  const vtkMTimeType time = std::max(PlanesTime(planes), l.Whole->GetMTime());
  if (!l.Clipped || l.ClippedTime != time)
  {
    l.Clipped = ClippedBy(l.Whole, planes);
    l.ClippedTime = time;
  }
  if (mapper->GetInput() != l.Clipped)
  {
    mapper->SetInputData(l.Clipped);
  }
  mapper->SetClippingPlanes(static_cast<vtkPlaneCollection*>(nullptr));
}

//------------------------------------------------------------------------------
void MotionSurface::StartRender()
{
  const bool selecting = this->Renderer->GetSelector() != nullptr;
  // Only while the window runs at an interaction's rate: a renderer's
  // allocated time can lag behind it (a Qt widget renders a still frame from
  // its paint event, after the interaction ended).
  vtkRenderWindow* window = this->Renderer->GetRenderWindow();
  const bool moving =
    this->Interactor && window->GetDesiredUpdateRate() > this->Interactor->GetStillUpdateRate();
  this->FrameStandIn = !this->BarStandIns && !selecting && moving && this->FullSeconds > 0.0 &&
    this->Renderer->GetAllocatedRenderTime() < this->FullSeconds && this->StandInsReady();
  this->Measuring = !this->FrameStandIn && !selecting;
  if (this->FrameStandIn)
  {
    this->MakeOnDemand();
    for (const auto& entry : this->Entries)
    {
      Entry& e = *entry;
      if (e.Levels[0].Triangles == 0 || e.Levels[1].Triangles == 0)
      {
        continue;
      }
      // The stand-ins colour as the surface does (its mapper's settings,
      // copied when they changed; not its input), and their edges are
      // clipped as it is (a section plane's).
      vtkMapper* full = e.Surface->GetMapper();
      for (int level = 0; level < 2; ++level)
      {
        Entry::Level& l = e.Levels[level];
        if (full && full->GetMTime() != l.MapperSynced)
        {
          l.Actor->GetMapper()->vtkMapper::ShallowCopy(full);
          l.MapperSynced = full->GetMTime();
        }
        ClipStandIn(e, level, full);
      }
      if (vtkMapper* lines = full ? e.StandInEdges->GetMapper() : nullptr)
      {
        lines->SetClippingPlanes(full->GetClippingPlanes());
      }
      // Shown as the surface and its edges would be, in their place.
      const bool surface = e.Surface->GetVisibility() != 0;
      const bool edges = e.Edges && e.Edges->GetVisibility() != 0;
      e.Levels[0].Actor->SetHidden(!surface || edges);
      e.Levels[1].Actor->SetHidden(!surface || !edges);
      e.StandInEdges->SetHidden(!edges);
      e.Surface->SetHidden(true);
      if (e.Edges)
      {
        e.Edges->SetHidden(true);
      }
    }
  }
  this->FrameStart = std::chrono::steady_clock::now();
}

//------------------------------------------------------------------------------
void MotionSurface::EndRender()
{
  if (this->FrameStandIn)
  {
    this->MakeOnDemand();
    for (const auto& entry : this->Entries)
    {
      Entry& e = *entry;
      e.Surface->SetHidden(false);
      if (e.Edges)
      {
        e.Edges->SetHidden(false);
      }
      e.Levels[0].Actor->SetHidden(true);
      e.Levels[1].Actor->SetHidden(true);
      e.StandInEdges->SetHidden(true);
    }
  }
  else if (this->Measuring)
  {
    // Software GL draws when the frame is flushed: the frame's time counts
    // its drawing.
    this->Renderer->GetRenderWindow()->WaitForCompletion();
    const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - this->FrameStart).count();
    // The first frame of new surfaces also compiles shaders and uploads
    // the surfaces: it says little about the next ones.
    this->FullSeconds = this->FullFrames++ > 0 ? seconds : 0.0;
    // Surfaces that changed shape wait for the next motion: a run of shape
    // changes (a scale stepped by key) keeps both cores for its frames.
    vtkRenderWindow* window = this->Renderer->GetRenderWindow();
    const bool moving =
      this->Interactor && window->GetDesiredUpdateRate() > this->Interactor->GetStillUpdateRate();
    if (this->Interactor && this->FullSeconds * this->Interactor->GetDesiredUpdateRate() > 1.0 &&
      (!this->Reshaped || moving))
    {
      this->Reshaped = false;
      this->StartBuilding();
    }
  }
  if (this->Measuring || this->FrameStandIn)
  {
    this->LastFrameStandIn = this->FrameStandIn;
  }
  this->FrameStandIn = false;
  this->Measuring = false;
}

//------------------------------------------------------------------------------
void MotionSurface::TDxMotion()
{
  this->TDxMoving = true;
  this->Renderer->GetRenderWindow()->SetDesiredUpdateRate(this->Interactor->GetDesiredUpdateRate());
  if (this->TDxTimerId)
  {
    this->Interactor->DestroyTimer(this->TDxTimerId);
  }
  this->TDxTimerId = this->Interactor->CreateOneShotTimer(TDxQuietMilliseconds);
}

//------------------------------------------------------------------------------
// The reports stopped: a still frame, unless a drag took over meanwhile.
bool MotionSurface::TDxTimer(int timerId)
{
  if (!this->TDxTimerId || timerId != this->TDxTimerId)
  {
    return false;
  }
  this->TDxTimerId = 0;
  auto* style = vtkInteractorStyle::SafeDownCast(this->Interactor->GetInteractorStyle());
  if (!style || style->GetState() == VTKIS_NONE)
  {
    this->EndTDxMotion();
  }
  return true;
}

//------------------------------------------------------------------------------
void MotionSurface::EndTDxMotion()
{
  if (!this->TDxMoving)
  {
    return;
  }
  this->TDxMoving = false;
  if (this->TDxTimerId)
  {
    this->Interactor->DestroyTimer(this->TDxTimerId);
    this->TDxTimerId = 0;
  }
  this->Renderer->GetRenderWindow()->SetDesiredUpdateRate(this->Interactor->GetStillUpdateRate());
  this->Interactor->Render();
}

//------------------------------------------------------------------------------
void MotionSurface::Callback(vtkObject*, unsigned long event, void* clientData, void* callData)
{
  auto* self = static_cast<MotionSurface*>(clientData);
  switch (event)
  {
    case vtkCommand::StartEvent:
    {
      self->StartRender();
      break;
    }
    case vtkCommand::EndEvent:
    {
      self->EndRender();
      break;
    }
    case vtkCommand::TDxMotionEvent:
    {
      self->TDxMotion();
      break;
    }
    case vtkCommand::TimerEvent:
    {
      const int id = callData ? *static_cast<int*>(callData) : 0;
      self->Command->SetAbortFlag(self->TDxTimer(id) ? 1 : 0);
      break;
    }
    default: // a mouse button pressed
    {
      self->EndTDxMotion();
      break;
    }
  }
}

} // namespace orvi
