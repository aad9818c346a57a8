#include "orviMotionSurface.h"

#include "vtkActor.h"
#include "vtkCallbackCommand.h"
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkInteractorStyle.h"
#include "vtkMath.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <tuple>

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

bool Cancelled(const std::atomic<bool>* cancel)
{
  return cancel && cancel->load(std::memory_order_relaxed);
}

// What the stand-in is made of, as indices into the surface: its points,
// the surface cell each triangle comes from, and its triangles.
struct Clusters
{
  std::vector<vtkIdType> Points;
  std::vector<vtkIdType> Cells;
  std::vector<vtkIdType> Triangles; // three point indices of the stand-in each
};

// The clustering of Decimate(), on indices only: safe beside the renders of
// the same poly data (vtkIdList copies of the cells, points read into
// caller storage). Returns false when cancelled.
bool Cluster(vtkPolyData* surface,
  vtkIdType triangles,
  const std::atomic<bool>* cancel,
  Clusters& out)
{
  vtkPoints* points = surface->GetPoints();
  vtkCellArray* polys = surface->GetPolys();
  const vtkIdType numPolys = polys ? polys->GetNumberOfCells() : 0;
  const vtkIdType numPoints = points ? points->GetNumberOfPoints() : 0;
  if (numPolys == 0 || numPoints == 0 || triangles <= 0)
  {
    return true;
  }

  // The points the polygons use, their bounds and the polygons' area.
  std::vector<char> used(numPoints, 0);
  vtkNew<vtkIdList> cell;
  double bounds[6] = {
    VTK_DOUBLE_MAX, VTK_DOUBLE_MIN, VTK_DOUBLE_MAX, VTK_DOUBLE_MIN, VTK_DOUBLE_MAX, VTK_DOUBLE_MIN
  };
  double area = 0.0;
  for (vtkIdType c = 0; c < numPolys; ++c)
  {
    if ((c & 0xffff) == 0 && Cancelled(cancel))
    {
      return false;
    }
    polys->GetCellAtId(c, cell);
    const vtkIdType n = cell->GetNumberOfIds();
    double p0[3], a[3], b[3];
    for (vtkIdType k = 0; k < n; ++k)
    {
      const vtkIdType id = cell->GetId(k);
      if (id < 0 || id >= numPoints)
      {
        return true; // a polygon off the points: no stand-in
      }
      if (!used[id])
      {
        used[id] = 1;
        double x[3];
        points->GetPoint(id, x);
        for (int i = 0; i < 3; ++i)
        {
          bounds[2 * i] = std::min(bounds[2 * i], x[i]);
          bounds[2 * i + 1] = std::max(bounds[2 * i + 1], x[i]);
        }
      }
    }
    if (n < 3)
    {
      continue;
    }
    points->GetPoint(cell->GetId(0), p0);
    points->GetPoint(cell->GetId(1), a);
    for (vtkIdType k = 2; k < n; ++k)
    {
      points->GetPoint(cell->GetId(k), b);
      double u[3], v[3], w[3];
      for (int i = 0; i < 3; ++i)
      {
        u[i] = a[i] - p0[i];
        v[i] = b[i] - p0[i];
      }
      vtkMath::Cross(u, v, w);
      area += 0.5 * vtkMath::Norm(w);
      std::copy(b, b + 3, a);
    }
  }
  if (area <= 0.0)
  {
    return true;
  }

  // A grid whose cells hold about one stand-in point each: a closed surface
  // has about half as many points as triangles, one per h x h of its area.
  double h = std::sqrt(2.0 * area / static_cast<double>(triangles));
  std::array<std::uint64_t, 3> dims{};
  constexpr std::uint64_t maxDim = std::uint64_t(1) << 20;
  for (int i = 0; i < 3; ++i)
  {
    h = std::max(h, (bounds[2 * i + 1] - bounds[2 * i]) / static_cast<double>(maxDim - 1));
  }
  for (int i = 0; i < 3; ++i)
  {
    dims[i] = static_cast<std::uint64_t>((bounds[2 * i + 1] - bounds[2 * i]) / h) + 1;
  }

  // Each used point's grid cell, sorted by grid cell.
  std::vector<std::pair<std::uint64_t, vtkIdType>> keyed;
  for (vtkIdType id = 0; id < numPoints; ++id)
  {
    if (!used[id])
    {
      continue;
    }
    double x[3];
    points->GetPoint(id, x);
    std::uint64_t index[3];
    for (int i = 0; i < 3; ++i)
    {
      index[i] = std::min<std::uint64_t>(
        static_cast<std::uint64_t>((x[i] - bounds[2 * i]) / h), dims[i] - 1);
    }
    keyed.emplace_back((index[0] * dims[1] + index[1]) * dims[2] + index[2], id);
  }
  used = std::vector<char>();
  if (Cancelled(cancel))
  {
    return false;
  }
  std::sort(keyed.begin(), keyed.end());

  // One point per grid cell: the one nearest to the mean of its points.
  std::vector<vtkIdType> pointIndex(numPoints, -1);
  for (size_t first = 0; first < keyed.size();)
  {
    size_t last = first;
    double mean[3] = { 0.0, 0.0, 0.0 };
    for (; last < keyed.size() && keyed[last].first == keyed[first].first; ++last)
    {
      double x[3];
      points->GetPoint(keyed[last].second, x);
      for (int i = 0; i < 3; ++i)
      {
        mean[i] += x[i];
      }
    }
    for (double& m : mean)
    {
      m /= static_cast<double>(last - first);
    }
    vtkIdType best = keyed[first].second;
    double bestDistance = VTK_DOUBLE_MAX;
    const auto index = static_cast<vtkIdType>(out.Points.size());
    for (size_t k = first; k < last; ++k)
    {
      double x[3];
      points->GetPoint(keyed[k].second, x);
      const double d = vtkMath::Distance2BetweenPoints(x, mean);
      if (d < bestDistance)
      {
        bestDistance = d;
        best = keyed[k].second;
      }
      pointIndex[keyed[k].second] = index;
    }
    out.Points.push_back(best);
    first = last;
  }
  keyed = {};

  // The polygons' triangles between the chosen points; a triangle that
  // collapses is left out, and of the triangles with the same three points
  // in the same turn only the first one's cell is kept.
  std::vector<std::array<vtkIdType, 4>> tris; // three points, least first, and the cell
  for (vtkIdType c = 0; c < numPolys; ++c)
  {
    if ((c & 0xffff) == 0 && Cancelled(cancel))
    {
      return false;
    }
    polys->GetCellAtId(c, cell);
    const vtkIdType n = cell->GetNumberOfIds();
    for (vtkIdType k = 2; k < n; ++k)
    {
      std::array<vtkIdType, 3> t = {
        pointIndex[cell->GetId(0)], pointIndex[cell->GetId(k - 1)], pointIndex[cell->GetId(k)]
      };
      if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2])
      {
        continue;
      }
      std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
      tris.push_back({ t[0], t[1], t[2], c });
    }
  }
  std::sort(tris.begin(), tris.end());
  for (size_t k = 0; k < tris.size(); ++k)
  {
    if (k > 0 && std::equal(tris[k].begin(), tris[k].begin() + 3, tris[k - 1].begin()))
    {
      continue;
    }
    out.Triangles.insert(out.Triangles.end(), tris[k].begin(), tris[k].begin() + 3);
    out.Cells.push_back(tris[k][3]);
  }
  return !Cancelled(cancel);
}

// The stand-in's poly data from its clusters, with the surface's point and
// cell data.
vtkSmartPointer<vtkPolyData> Assemble(vtkPolyData* surface, const Clusters& clusters)
{
  auto out = vtkSmartPointer<vtkPolyData>::New();
  const auto numPoints = static_cast<vtkIdType>(clusters.Points.size());
  const auto numTriangles = static_cast<vtkIdType>(clusters.Cells.size());
  vtkNew<vtkPoints> points;
  points->SetDataType(surface->GetPoints() ? surface->GetPoints()->GetDataType() : VTK_FLOAT);
  points->SetNumberOfPoints(numPoints);
  vtkPointData* inPD = surface->GetPointData();
  vtkPointData* outPD = out->GetPointData();
  outPD->CopyAllocate(inPD, numPoints);
  for (vtkIdType i = 0; i < numPoints; ++i)
  {
    double x[3];
    surface->GetPoints()->GetPoint(clusters.Points[i], x);
    points->SetPoint(i, x);
    outPD->CopyData(inPD, clusters.Points[i], i);
  }
  out->SetPoints(points);

  vtkNew<vtkIdTypeArray> offsets, connectivity;
  offsets->SetNumberOfValues(numTriangles + 1);
  for (vtkIdType t = 0; t <= numTriangles; ++t)
  {
    offsets->SetValue(t, 3 * t);
  }
  connectivity->SetNumberOfValues(3 * numTriangles);
  std::copy(clusters.Triangles.begin(), clusters.Triangles.end(), connectivity->GetPointer(0));
  vtkNew<vtkCellArray> polys;
  polys->SetData(offsets, connectivity);
  out->SetPolys(polys);

  vtkCellData* inCD = surface->GetCellData();
  vtkCellData* outCD = out->GetCellData();
  outCD->CopyAllocate(inCD, numTriangles);
  for (vtkIdType t = 0; t < numTriangles; ++t)
  {
    outCD->CopyData(inCD, clusters.Cells[t], t);
  }
  return out;
}

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
  // The stand-ins, hidden but in stand-in frames: the finer one for frames
  // without edges, the coarser one for frames with them, whose lines cost
  // more than the triangles they bound.
  struct Level
  {
    vtkNew<MotionActor> Actor;
    vtkIdType Triangles = 0; // 0 without a stand-in
    vtkMTimeType MapperSynced = 0;
  };
  Level Levels[2];
  vtkNew<MotionActor> StandInEdges; // on the coarser stand-in
};

// The stand-ins under construction on a second thread.
struct MotionSurface::Builder
{
  std::vector<vtkSmartPointer<vtkPolyData>> Inputs; // by entry, null: none wanted
  std::vector<vtkIdType> Targets;
  std::vector<std::array<Clusters, 2>> Results; // by entry: fine, coarse
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
void MotionSurface::Add(MotionActor* surface, MotionActor* edges)
{
  auto entry = std::make_unique<Entry>();
  entry->Surface = surface;
  entry->Edges = edges;
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
  }
  this->Entries.clear();
  this->FullSeconds = 0.0;
  this->LastFrameStandIn = false;
}

//------------------------------------------------------------------------------
vtkIdType MotionSurface::GetStandInTriangles(size_t i, bool edges) const
{
  return i < this->Entries.size() ? this->Entries[i]->Levels[edges ? 1 : 0].Triangles : 0;
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
vtkSmartPointer<vtkPolyData> MotionSurface::Decimate(vtkPolyData* surface, vtkIdType triangles)
{
  Clusters clusters;
  if (!surface || !Cluster(surface, triangles, nullptr, clusters))
  {
    return nullptr;
  }
  return Assemble(surface, clusters);
}

//------------------------------------------------------------------------------
void MotionSurface::StartBuilding()
{
  if (this->Building || !this->Interactor)
  {
    return;
  }
  auto builder = std::make_unique<Builder>();
  const double budget = 1.0 / std::max(this->Interactor->GetDesiredUpdateRate(), 1e-6);
  bool any = false;
  for (const auto& entry : this->Entries)
  {
    vtkPolyData* input = InputOf(entry->Surface);
    const vtkIdType polys = input ? input->GetNumberOfPolys() : 0;
    const auto wanted = static_cast<vtkIdType>(
      static_cast<double>(polys) * StandInShare * budget / this->FullSeconds);
    const vtkIdType target = std::min(
      std::max({ MinimumStandInTriangles, std::min(PreferredStandInTriangles, polys / 4), wanted }),
      polys / 2);
    const bool worth = polys >= 2 * MinimumStandInTriangles;
    entry->Input = worth ? input : nullptr;
    builder->Inputs.emplace_back(entry->Input);
    builder->Targets.push_back(target);
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
          (!Cluster(b->Inputs[i], b->Targets[i], &b->Cancel, b->Results[i][0]) ||
            !Cluster(b->Inputs[i],
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
      if (!e.Input || e.Input != InputOf(e.Surface))
      {
        continue;
      }
      for (int level = 0; level < 2; ++level)
      {
        const Clusters& clusters = this->Building->Results[i][level];
        if (clusters.Cells.empty())
        {
          continue;
        }
        vtkSmartPointer<vtkPolyData> standIn = Assemble(e.Input, clusters);
        Entry::Level& l = e.Levels[level];
        l.Triangles = standIn->GetNumberOfPolys();
        vtkNew<vtkPolyDataMapper> mapper;
        mapper->SetInputData(standIn);
        l.Actor->SetMapper(mapper);
        l.Actor->SetProperty(e.Surface->GetProperty());
        l.MapperSynced = 0;
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
    this->Building->Results.clear();
    this->Building->Cancel = true; // taken in: never again
  }
  return std::any_of(this->Entries.begin(),
    this->Entries.end(),
    [](const std::unique_ptr<Entry>& e) { return e->Levels[0].Triangles > 0; });
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
    for (const auto& entry : this->Entries)
    {
      Entry& e = *entry;
      if (e.Levels[0].Triangles == 0 || e.Levels[1].Triangles == 0)
      {
        continue;
      }
      // The stand-ins colour as the surface does (its mapper's settings,
      // copied when they changed; not its input).
      vtkMapper* full = e.Surface->GetMapper();
      for (Entry::Level& l : e.Levels)
      {
        if (full && full->GetMTime() != l.MapperSynced)
        {
          l.Actor->GetMapper()->vtkMapper::ShallowCopy(full);
          l.MapperSynced = full->GetMTime();
        }
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
    if (this->Interactor && this->FullSeconds * this->Interactor->GetDesiredUpdateRate() > 1.0)
    {
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
