#include "vtkKivSurfaceOutlines.h"

#include "vtkKivMainPass.h"

#include "vtkActor.h"
#include "vtkBoundingBox.h"
#include "vtkCamera.h"
#include "vtkCellArray.h"
#include "vtkInformation.h"
#include "vtkInformationDoubleKey.h"
#include "vtkInformationIntegerKey.h"
#include "vtkMath.h"
#include "vtkMatrix4x4.h"
#include "vtkNew.h"
#include "vtkObjectFactory.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkProp3D.h"
#include "vtkPropCollection.h"
#include "vtkProperty.h"
#include "vtkRenderer.h"
#include "vtkShaderProperty.h"
#include "vtkSmartPointer.h"
#include "vtkTimeStamp.h"
#include "vtkWeakPointer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>

vtkStandardNewMacro(vtkKivSurfaceOutlines);

namespace
{
// Whether an actor carries RENDER_WIREFRAME, another of vtkKivMainPass's
// keys, or none of them.
enum class Tag
{
  None,
  Wireframe,
  Offset
};

Tag TagOf(vtkActor* actor)
{
  vtkInformation* keys = actor->GetPropertyKeys();
  if (!keys)
  {
    return Tag::None;
  }
  if (keys->Has(vtkKivMainPass::RENDER_WIREFRAME()))
  {
    return Tag::Wireframe;
  }
  if (keys->Has(vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR()) ||
    keys->Has(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS()))
  {
    return Tag::Offset;
  }
  return Tag::None;
}

// The input of a shown, opaque actor's poly data mapper, or null.
vtkPolyData* OpaquePolyDataInput(vtkActor* actor)
{
  auto* mapper = dynamic_cast<vtkPolyDataMapper*>(actor->GetMapper());
  if (!mapper || !actor->GetVisibility() || actor->GetProperty()->GetOpacity() < 1.0 ||
    actor->HasTranslucentPolygonalGeometry())
  {
    return nullptr;
  }
  return mapper->GetInput();
}

// VTK 9's OpenGL mappers resolve coincident topology in the fragment shader:
// a fragment's depth moves by units / 65000 of the depth range, and the
// factor is not used at all. What a factor means (an offset that grows with
// the surface's depth slope) is therefore given to them as units.
constexpr double OffsetUnitsPerDepth = 65000.0;

// Tangent of the steepest surface slope (about 76 degrees from facing the
// camera) over which a tagged wireframe is guaranteed to win the depth test.
constexpr double EdgeSlope = 4.0;

// Offset units a wireframe's lines need besides the slope term: what VTK
// itself uses for lines by default.
constexpr double EdgeBaseUnits = 4.0;

// Never pull lines forward by more than 2% of the depth range, so that a
// wireframe does not show through geometry in front of it.
constexpr double MaximumEdgeUnits = 0.02 * OffsetUnitsPerDepth;

// The distances along the camera's direction of projection of the nearest
// and farthest corners of the bounds, or false for empty bounds.
bool CornerDistances(vtkCamera* camera, const double* bounds, double& nearest, double& farthest)
{
  if (!bounds || !std::isfinite(bounds[0]) || bounds[0] > bounds[1])
  {
    return false;
  }
  const double* position = camera->GetPosition();
  const double* direction = camera->GetDirectionOfProjection();
  nearest = VTK_DOUBLE_MAX;
  farthest = -VTK_DOUBLE_MAX;
  for (int corner = 0; corner < 8; ++corner)
  {
    const std::array<double, 3> p = {
      bounds[corner & 1], bounds[2 + ((corner >> 1) & 1)], bounds[4 + ((corner >> 2) & 1)]
    };
    const double d = (p[0] - position[0]) * direction[0] + (p[1] - position[1]) * direction[1] +
      (p[2] - position[2]) * direction[2];
    nearest = std::min(nearest, d);
    farthest = std::max(farthest, d);
  }
  return true;
}

// Half the depth left behind the farthest corner of the bounds, in offset
// units. VTK's shader clamps a moved depth to the depth range: pushed
// further, far surfaces would all land on the far plane and the one drawn
// last would show, hidden or not. In a close perspective view (the camera
// inside the model, the near plane tight) most of the model lies within a
// few thousandths of the far end.
double DepthHeadroom(vtkRenderer* renderer, const double* bounds)
{
  vtkCamera* camera = renderer->GetActiveCamera();
  double range[2];
  camera->GetClippingRange(range);
  double nearest = 0.0;
  double farthest = 0.0;
  if (!(range[1] > range[0]) || !CornerDistances(camera, bounds, nearest, farthest))
  {
    return 0.0;
  }
  const double d = std::min(std::max(farthest, range[0]), range[1]);
  const double z = camera->GetParallelProjection()
    ? (d - range[0]) / (range[1] - range[0])
    : range[1] * (d - range[0]) / (d * (range[1] - range[0]));
  return 0.5 * (1.0 - z) * OffsetUnitsPerDepth;
}

bool SameMatrix(vtkActor* a, vtkActor* b)
{
  const double* ma = &a->GetMatrix()->Element[0][0];
  const double* mb = &b->GetMatrix()->Element[0][0];
  return std::equal(ma, ma + 16, mb);
}

// Whether a wireframe can be drawn as a surface's edges. The key and the
// representation are read first: the pass asks this of every prop of every
// frame, and the opacity test goes through the mapper's pipeline.
bool CanOutline(vtkActor* wireframe)
{
  return TagOf(wireframe) == Tag::Wireframe &&
    wireframe->GetProperty()->GetRepresentation() == VTK_WIREFRAME &&
    OpaquePolyDataInput(wireframe) && !wireframe->GetMapper()->GetScalarVisibility();
}

// Whether a prop carries RENDER_WIREFRAME, without a cast.
bool TaggedWireframe(vtkProp* prop)
{
  vtkInformation* keys = prop->GetPropertyKeys();
  return keys && keys->Has(vtkKivMainPass::RENDER_WIREFRAME());
}

// Whether `surface` is a surface that `wireframe` (CanOutline) outlines,
// apart from the shape of its polygons.
bool Outlines(vtkActor* wireframe, vtkActor* surface)
{
  vtkPolyData* input = OpaquePolyDataInput(surface);
  vtkProperty* property = surface->GetProperty();
  return surface != wireframe && input && input == OpaquePolyDataInput(wireframe) &&
    TagOf(surface) == Tag::None && property->GetRepresentation() == VTK_SURFACE &&
    !property->GetEdgeVisibility() && SameMatrix(surface, wireframe);
}

// Whether the poly data has no triangle strips. Strips are left to the pass:
// their edges with EdgeVisibilityOn() were never compared with their
// wireframe's.
bool NoStrips(vtkPolyData* data)
{
  return data->GetNumberOfStrips() == 0;
}

// Whether the renderer shows the actor this frame.
bool Shown(vtkActor* actor, vtkRenderer* renderer)
{
  return actor->GetVisibility() && actor->IsConsumer(renderer);
}
} // namespace

// A surface actor, the wireframe that outlines it, and the copy of the
// surface actor that draws both. A pair is an opaque wireframe actor tagged
// RENDER_WIREFRAME whose mapper draws no scalars, and an opaque untagged
// surface actor without edges whose vtkPolyDataMapper has the same input (no
// triangle strips) and the same matrix, both shown by the renderer. Drawn as
// two props, VTK 9 would process the geometry twice and rasterise every edge
// twice (once per face it bounds). VTK splits polygons of more than three
// points along other diagonals when it draws edges, and widens triangles by
// half a line: a copy drawn at the surface's depth could hide what the host
// draws on the surface (picked cells, say). A copy whose surface shares its
// place with other props is therefore drawn a margin behind (the same margin
// for every copy of the frame, so touching surfaces keep VTK's order; never
// so far that the model's far end reaches the far end of the depth range).
// The copy is synced only when the surface's mapper or property, or the
// wireframe's property, changed.
struct vtkKivSurfaceOutlines::Outline
{
  vtkWeakPointer<vtkActor> Surface;
  vtkWeakPointer<vtkActor> Wireframe;
  vtkNew<vtkActor> Combined;
  vtkSmartPointer<vtkPolyDataMapper> Mapper;
  vtkNew<vtkMatrix4x4> Matrix;
  vtkTimeStamp Synced;
  // This frame: the pair was drawn; the wireframe waits for its surface; the
  // pair was found after its surface had been drawn on its own.
  bool Drawn = false;
  bool Waiting = false;
  bool Found = false;
  // Another prop of the frame reaches into the surface's bounds: it may lie
  // on the surface, and the copy must then stay behind it.
  bool Shared = false;

  bool Valid(vtkRenderer* renderer)
  {
    return this->Surface && this->Wireframe && Shown(this->Surface, renderer) &&
      Shown(this->Wireframe, renderer) && CanOutline(this->Wireframe) &&
      ::Outlines(this->Wireframe, this->Surface) && NoStrips(OpaquePolyDataInput(this->Surface));
  }

  // Draws the copy `margin` behind the depth the surface itself gets (0
  // when no other prop shares its place). VTK draws a surface with edges by
  // widening each triangle by half the line width in a geometry shader, and
  // splits larger polygons along other diagonals than without edges: near
  // an edge a neighbouring triangle's plane, carried past the edge, is drawn
  // there too, and a curved quadrilateral's depths move. Geometry a host
  // draws on the surface (picked cells, say), which wins over the plain
  // surface by being drawn later at the same depth, would fight with it. VTK
  // offsets a surface drawn with edges by the polygon parameters even when
  // the global mode is off: these are replaced then.
  int Draw(vtkRenderer* renderer, double margin)
  {
    this->Sync();
    double factor = 0.0;
    double units = 0.0;
    vtkMapper::GetResolveCoincidentTopologyPolygonOffsetParameters(factor, units);
    double drawFactor = factor;
    double drawUnits = units;
    if (vtkMapper::GetResolveCoincidentTopology() != VTK_RESOLVE_POLYGON_OFFSET)
    {
      this->Mapper->GetRelativeCoincidentTopologyPolygonOffsetParameters(drawFactor, drawUnits);
      drawFactor = -drawFactor;
      drawUnits = -drawUnits;
    }
    vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(
      drawFactor, drawUnits + (this->Shared ? margin : 0.0));
    const int rendered = this->Combined->RenderOpaqueGeometry(renderer);
    vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(factor, units);
    return rendered;
  }

  // Whether another 3D prop of the frame reaches into the surface's bounds.
  // Pushing the copy back costs VTK's early depth test (its shader then
  // writes the depth): it is done only then.
  bool OverlapsOthers(vtkProp** props, int count) const
  {
    vtkBoundingBox surface(this->Surface->GetBounds());
    for (int i = 0; i < count; ++i)
    {
      auto* other = vtkProp3D::SafeDownCast(props[i]);
      if (other && other != this->Surface && other != this->Wireframe)
      {
        const double* bounds = other->GetBounds();
        if (bounds && vtkMath::AreBoundsInitialized(bounds) &&
          surface.Intersects(vtkBoundingBox(bounds)))
        {
          return true;
        }
      }
    }
    return false;
  }

  // Brings the copy up to date with the two actors it stands for.
  void Sync()
  {
    auto* mapper = static_cast<vtkPolyDataMapper*>(this->Surface->GetMapper());
    vtkProperty* surface = this->Surface->GetProperty();
    vtkProperty* wireframe = this->Wireframe->GetProperty();
    const vtkMTimeType synced = this->Synced.GetMTime();
    if (!this->Mapper || strcmp(this->Mapper->GetClassName(), mapper->GetClassName()) != 0)
    {
      this->Mapper.TakeReference(static_cast<vtkPolyDataMapper*>(mapper->NewInstance()));
      this->Combined->SetMapper(this->Mapper);
      this->Combined->SetUserMatrix(this->Matrix);
    }
    else if (mapper->GetMTime() <= synced && surface->GetMTime() <= synced &&
      wireframe->GetMTime() <= synced)
    {
      this->SyncActor();
      return;
    }
    // vtkPolyDataMapper's copy: the input and the colouring. The OpenGL
    // mapper's own copy also copies its deprecated shader code, warning each
    // time.
    this->Mapper->vtkPolyDataMapper::ShallowCopy(mapper);
    vtkProperty* property = this->Combined->GetProperty();
    property->DeepCopy(surface);
    property->EdgeVisibilityOn();
    property->SetEdgeColor(wireframe->GetColor());
    property->SetLineWidth(wireframe->GetLineWidth());
    this->SyncActor();
    this->Synced.Modified();
  }

  // What the copy takes from the surface actor itself: its matrix, back-face
  // property, texture and shader property (each set only when it changed).
  void SyncActor()
  {
    vtkMatrix4x4* matrix = this->Surface->GetMatrix();
    if (!std::equal(
          &matrix->Element[0][0], &matrix->Element[0][0] + 16, &this->Matrix->Element[0][0]))
    {
      this->Matrix->DeepCopy(matrix);
    }
    this->Combined->SetBackfaceProperty(this->Surface->GetBackfaceProperty());
    this->Combined->SetTexture(this->Surface->GetTexture());
    this->Combined->SetShaderProperty(this->Surface->GetShaderProperty());
  }
};

struct vtkKivSurfaceOutlines::Frame
{
  vtkRenderer* Renderer = nullptr;
  // How far the copies that share their place with other props are drawn
  // behind the surface's depth this frame (negative until needed).
  double Margin = -1.0;
  std::vector<std::unique_ptr<Outline>> Outlines;
  // Wireframes that outlined nothing when last looked at, with what would
  // make them worth looking at again: a change to themselves, to the props
  // of the renderer or to how many of them are shown.
  struct Unpaired
  {
    vtkWeakPointer<vtkActor> Wireframe;
    vtkMTimeType Changed;
    int Shown;
  };
  std::map<vtkProp*, Unpaired> Alone;

  Outline* Find(vtkProp* prop, vtkWeakPointer<vtkActor> Outline::*role)
  {
    for (const auto& outline : this->Outlines)
    {
      if ((*outline).*role == prop)
      {
        return outline.get();
      }
    }
    return nullptr;
  }

  void Drop(Outline* outline)
  {
    this->Outlines.erase(std::find_if(this->Outlines.begin(),
      this->Outlines.end(),
      [outline](const std::unique_ptr<Outline>& o) { return o.get() == outline; }));
  }

  // The pair of the tagged wireframe props[index] (CanOutline) and the
  // frame's surface it outlines, made and kept; null when it outlines none.
  // A wireframe that outlined nothing is looked at again only once it, the
  // renderer's props or how many of them are shown changed.
  Outline* Pair(vtkProp** props, int count, int index)
  {
    auto* wireframe = static_cast<vtkActor*>(props[index]);
    const vtkMTimeType changed = std::max({ wireframe->GetMTime(),
      wireframe->GetProperty()->GetMTime(),
      wireframe->GetMapper()->GetMTime(),
      this->Renderer->GetViewProps()->GetMTime() });
    auto alone = this->Alone.find(wireframe);
    if (alone != this->Alone.end() && alone->second.Wireframe == wireframe &&
      alone->second.Changed == changed && alone->second.Shown == count)
    {
      return nullptr;
    }
    for (int i = 0; i < count; ++i)
    {
      auto* surface = dynamic_cast<vtkActor*>(props[i]);
      if (surface && ::Outlines(wireframe, surface) && !this->Find(surface, &Outline::Surface) &&
        NoStrips(OpaquePolyDataInput(surface)))
      {
        this->Alone.erase(wireframe);
        auto outline = std::make_unique<Outline>();
        outline->Wireframe = wireframe;
        outline->Surface = surface;
        outline->Shared = outline->OverlapsOthers(props, count);
        this->Outlines.push_back(std::move(outline));
        return this->Outlines.back().get();
      }
    }
    this->Alone[wireframe] = { wireframe, changed, count };
    return nullptr;
  }
};

//------------------------------------------------------------------------------
// The depth-buffer change, in offset units, across one pixel of a surface of
// the prop inclined at 45 degrees to the view direction, where it comes
// nearest to the camera (the steepest place in a perspective view). A line
// fragment lies up to about half a pixel beside the edge it belongs to, so
// the surface under it differs in depth by up to half this per unit slope.
double vtkKivSurfaceOutlines::DepthUnitsPerPixel(vtkRenderer* renderer, const double* bounds)
{
  vtkCamera* camera = renderer->GetActiveCamera();
  const int height = renderer->GetSize()[1];
  double range[2];
  camera->GetClippingRange(range);
  const double depth = range[1] - range[0];
  if (height <= 0 || !(depth > 0.0))
  {
    return 0.0;
  }
  if (camera->GetParallelProjection())
  {
    // Window depth is linear in the distance: 2 * scale / height world units
    // a pixel, 1 / depth of the depth range a world unit.
    return OffsetUnitsPerDepth * 2.0 * camera->GetParallelScale() / (depth * height);
  }

  // Perspective: window depth z(d) = far / depth * (1 - near / d), so a step
  // in distance moves it by far * near / (depth * d^2), and a pixel spans
  // 2 d tan(angle / 2) / height world units at distance d.
  double nearest = range[0];
  double closest = 0.0;
  double farthest = 0.0;
  if (CornerDistances(camera, bounds, closest, farthest))
  {
    nearest = std::max(nearest, closest);
  }
  const double halfAngle = 0.5 * vtkMath::RadiansFromDegrees(camera->GetViewAngle());
  return OffsetUnitsPerDepth * 2.0 * range[1] * range[0] * std::tan(halfAngle) /
    (depth * nearest * height);
}

//------------------------------------------------------------------------------
double vtkKivSurfaceOutlines::EdgeDepthMargin(vtkRenderer* renderer, const double* bounds)
{
  return std::min(
    EdgeBaseUnits + 0.5 * EdgeSlope * DepthUnitsPerPixel(renderer, bounds), MaximumEdgeUnits);
}

//------------------------------------------------------------------------------
vtkKivSurfaceOutlines::vtkKivSurfaceOutlines()
  : State(new Frame)
{
}

//------------------------------------------------------------------------------
vtkKivSurfaceOutlines::~vtkKivSurfaceOutlines() = default;

//------------------------------------------------------------------------------
void vtkKivSurfaceOutlines::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "NumberOfOutlines: " << this->NumberOfOutlines << "\n";
}

//------------------------------------------------------------------------------
void vtkKivSurfaceOutlines::BeginFrame(vtkRenderer* renderer, vtkProp** props, int count)
{
  this->State->Renderer = renderer;
  this->State->Margin = -1.0;
  for (const auto& outline : this->State->Outlines)
  {
    outline->Drawn = false;
    outline->Waiting = false;
    outline->Found = false;
    outline->Shared = false;
    if (!outline->Surface)
    {
      continue;
    }
    outline->Shared = outline->OverlapsOthers(props, count);
  }
  // New pairs are made before anything is drawn, so that the frame in which
  // a wireframe comes to outline a surface (a host switching its edges to
  // the surface's own data, say) already draws them in one go, as every
  // later frame does.
  for (int i = 0; i < count; ++i)
  {
    auto* wireframe = TaggedWireframe(props[i]) ? dynamic_cast<vtkActor*>(props[i]) : nullptr;
    if (wireframe && !this->State->Find(wireframe, &Outline::Wireframe) && CanOutline(wireframe) &&
      Shown(wireframe, renderer))
    {
      this->State->Pair(props, count, i);
    }
  }
  this->NumberOfOutlines = static_cast<int>(this->State->Outlines.size());
}

//------------------------------------------------------------------------------
int vtkKivSurfaceOutlines::DrawSurface(vtkProp* prop)
{
  Frame& frame = *this->State;
  Outline* outline = frame.Find(prop, &Outline::Surface);
  if (!outline)
  {
    return -1;
  }
  if (!outline->Valid(frame.Renderer))
  {
    frame.Drop(outline);
    this->NumberOfOutlines = static_cast<int>(frame.Outlines.size());
    return -1;
  }
  outline->Drawn = true;
  if (outline->Shared && frame.Margin < 0.0)
  {
    double bounds[6];
    frame.Renderer->ComputeVisiblePropBounds(bounds);
    frame.Margin =
      std::min(EdgeDepthMargin(frame.Renderer, bounds), DepthHeadroom(frame.Renderer, bounds));
  }
  return outline->Draw(frame.Renderer, frame.Margin);
}

//------------------------------------------------------------------------------
bool vtkKivSurfaceOutlines::DrawWireframe(vtkProp** props, int count, int index)
{
  Frame& frame = *this->State;
  vtkProp* prop = props[index];
  auto* wireframe = dynamic_cast<vtkActor*>(prop);
  if (!wireframe)
  {
    return false;
  }
  if (Outline* outline = frame.Find(prop, &Outline::Wireframe))
  {
    if (outline->Valid(frame.Renderer))
    {
      // Drawn with its surface, earlier in the frame or further on.
      outline->Waiting = !outline->Drawn;
      return true;
    }
    frame.Drop(outline);
  }
  if (!CanOutline(wireframe))
  {
    return false;
  }

  Outline* outline = frame.Pair(props, count, index);
  this->NumberOfOutlines = static_cast<int>(frame.Outlines.size());
  if (!outline)
  {
    return false;
  }
  // A surface drawn already this frame leaves the wireframe to the caller
  // this once; later frames draw the pair in one go.
  const bool waits =
    std::find(props + index + 1, props + count, outline->Surface.GetPointer()) != props + count;
  outline->Waiting = waits;
  outline->Found = !waits;
  return waits;
}

//------------------------------------------------------------------------------
std::vector<vtkProp*> vtkKivSurfaceOutlines::EndFrame()
{
  Frame& frame = *this->State;
  std::vector<vtkProp*> left;
  for (auto it = frame.Outlines.begin(); it != frame.Outlines.end();)
  {
    Outline& outline = **it;
    if (outline.Waiting && !outline.Drawn && outline.Wireframe)
    {
      left.push_back(outline.Wireframe);
    }
    // A pair whose actors left the renderer holds its copy's data and
    // graphics resources for nothing: drop it. A pair hidden for a while (a
    // host drawing a lighter stand-in in motion) is kept, and draws as
    // before, in one go, in the first frame that shows it again.
    const bool kept = outline.Drawn || outline.Found ||
      (outline.Surface && outline.Wireframe && outline.Surface->IsConsumer(frame.Renderer) &&
        outline.Wireframe->IsConsumer(frame.Renderer));
    it = kept ? std::next(it) : frame.Outlines.erase(it);
  }
  this->NumberOfOutlines = static_cast<int>(frame.Outlines.size());
  for (auto it = frame.Alone.begin(); it != frame.Alone.end();)
  {
    it = it->second.Wireframe ? std::next(it) : frame.Alone.erase(it);
  }
  return left;
}

//------------------------------------------------------------------------------
void vtkKivSurfaceOutlines::ReleaseGraphicsResources(vtkWindow* window)
{
  for (const auto& outline : this->State->Outlines)
  {
    outline->Combined->ReleaseGraphicsResources(window);
  }
}
