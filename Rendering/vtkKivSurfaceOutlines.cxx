#include "vtkKivSurfaceOutlines.h"

#include "vtkKivMainPass.h"

#include "vtkActor.h"
#include "vtkCellArray.h"
#include "vtkInformation.h"
#include "vtkInformationDoubleKey.h"
#include "vtkInformationIntegerKey.h"
#include "vtkMatrix4x4.h"
#include "vtkNew.h"
#include "vtkObjectFactory.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkPropCollection.h"
#include "vtkProperty.h"
#include "vtkRenderer.h"
#include "vtkShaderProperty.h"
#include "vtkSmartPointer.h"
#include "vtkTimeStamp.h"
#include "vtkWeakPointer.h"

#include <algorithm>
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

// How far behind the surface's own depth the copy is drawn (offset units of
// the depth range / 65000). VTK draws a surface with edges through another
// shader, whose depths differ from the plain surface's by rounding: without
// it, geometry a host draws on the surface (picked cells, say), which wins
// over the plain surface by being drawn later at the same depth, would fight
// with the copy. (Polygons of more than three points are split into
// triangles differently there, which moves a curved quadrilateral's depths
// by far more: such surfaces are not paired, see AllTriangles.)
constexpr double BehindSurfaceUnits = 2.0;

bool SameMatrix(vtkActor* a, vtkActor* b)
{
  const double* ma = &a->GetMatrix()->Element[0][0];
  const double* mb = &b->GetMatrix()->Element[0][0];
  return std::equal(ma, ma + 16, mb);
}

// Whether a wireframe can be drawn as a surface's edges.
bool CanOutline(vtkActor* wireframe)
{
  return OpaquePolyDataInput(wireframe) && TagOf(wireframe) == Tag::Wireframe &&
    wireframe->GetProperty()->GetRepresentation() == VTK_WIREFRAME &&
    !wireframe->GetMapper()->GetScalarVisibility();
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

// Whether every polygon of the poly data is a triangle (and it has no
// strips): VTK draws those with edges exactly where it draws them without.
bool AllTriangles(vtkPolyData* data)
{
  return data->GetNumberOfStrips() == 0 &&
    (data->GetNumberOfPolys() == 0 || data->GetPolys()->IsHomogeneous() == 3);
}

// Whether the renderer shows the actor this frame.
bool Shown(vtkActor* actor, vtkRenderer* renderer)
{
  return actor->GetVisibility() && actor->IsConsumer(renderer);
}
} // namespace

// A surface actor, the wireframe that outlines it, and the copy of the
// surface actor that draws both.
struct vtkKivSurfaceOutlines::Outline
{
  vtkWeakPointer<vtkActor> Surface;
  vtkWeakPointer<vtkActor> Wireframe;
  vtkNew<vtkActor> Combined;
  vtkSmartPointer<vtkPolyDataMapper> Mapper;
  vtkNew<vtkMatrix4x4> Matrix;
  vtkTimeStamp Synced;
  // The surface's input when last found to hold only triangles.
  vtkMTimeType TrianglesChecked = 0;
  // This frame: the pair was drawn; the wireframe waits for its surface; the
  // pair was found after its surface had been drawn on its own.
  bool Drawn = false;
  bool Waiting = false;
  bool Found = false;

  bool Valid(vtkRenderer* renderer)
  {
    return this->Surface && this->Wireframe && Shown(this->Surface, renderer) &&
      Shown(this->Wireframe, renderer) && CanOutline(this->Wireframe) &&
      ::Outlines(this->Wireframe, this->Surface) && this->Triangles();
  }

  // AllTriangles() of the surface's input, checked again only when it
  // changed.
  bool Triangles()
  {
    vtkPolyData* input = OpaquePolyDataInput(this->Surface);
    if (input->GetMTime() != this->TrianglesChecked)
    {
      this->TrianglesChecked = AllTriangles(input) ? input->GetMTime() : 0;
    }
    return this->TrianglesChecked != 0;
  }

  // Draws the copy, a hair behind the depth the surface itself gets. VTK
  // offsets a surface drawn with edges by the polygon parameters even when
  // the global mode is off: these are replaced then.
  int Draw(vtkRenderer* renderer)
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
      drawFactor, drawUnits + BehindSurfaceUnits);
    const int rendered = this->Combined->RenderOpaqueGeometry(renderer);
    vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(factor, units);
    return rendered;
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
};

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
void vtkKivSurfaceOutlines::BeginFrame(vtkRenderer* renderer)
{
  this->State->Renderer = renderer;
  for (const auto& outline : this->State->Outlines)
  {
    outline->Drawn = false;
    outline->Waiting = false;
    outline->Found = false;
  }
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
  return outline->Draw(frame.Renderer);
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

  // A new pair: look for the surface among the frame's props, unless this
  // wireframe outlined nothing last time and nothing changed since.
  const vtkMTimeType changed = std::max({ wireframe->GetMTime(),
    wireframe->GetProperty()->GetMTime(),
    wireframe->GetMapper()->GetMTime(),
    frame.Renderer->GetViewProps()->GetMTime() });
  auto alone = frame.Alone.find(prop);
  if (alone != frame.Alone.end() && alone->second.Wireframe == wireframe &&
    alone->second.Changed == changed && alone->second.Shown == count)
  {
    return false;
  }
  int surfaceIndex = -1;
  for (int i = 0; i < count && surfaceIndex < 0; ++i)
  {
    auto* surface = dynamic_cast<vtkActor*>(props[i]);
    if (surface && Outlines(wireframe, surface) && !frame.Find(surface, &Outline::Surface) &&
      AllTriangles(OpaquePolyDataInput(surface)))
    {
      surfaceIndex = i;
    }
  }
  if (surfaceIndex < 0)
  {
    frame.Alone[prop] = { wireframe, changed, count };
    return false;
  }
  frame.Alone.erase(prop);
  auto outline = std::make_unique<Outline>();
  outline->Wireframe = wireframe;
  outline->Surface = static_cast<vtkActor*>(props[surfaceIndex]);
  // A surface drawn already this frame leaves the wireframe to the caller
  // this once; later frames draw the pair in one go.
  const bool waits = surfaceIndex > index;
  outline->Waiting = waits;
  outline->Found = !waits;
  frame.Outlines.push_back(std::move(outline));
  this->NumberOfOutlines = static_cast<int>(frame.Outlines.size());
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
    // A pair not drawn this frame holds its copy's data and graphics
    // resources for nothing: drop it.
    it = outline.Drawn || outline.Found ? std::next(it) : frame.Outlines.erase(it);
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
