#include "vtkKivMainPass.h"

#include "vtkActor.h"
#include "vtkCameraPass.h"
#include "vtkHardwareSelector.h"
#include "vtkInformation.h"
#include "vtkInformationDoubleKey.h"
#include "vtkInformationIntegerKey.h"
#include "vtkKivSurfaceOutlines.h"
#include "vtkLightsPass.h"
#include "vtkMapper.h"
#include "vtkNew.h"
#include "vtkObjectFactory.h"
#include "vtkProp.h"
#include "vtkPropCollection.h"
#include "vtkRenderPassCollection.h"
#include "vtkRenderState.h"
#include "vtkRenderer.h"
#include "vtkSequencePass.h"

#include <algorithm>
#include <iterator>
#include <vector>

vtkStandardNewMacro(vtkKivMainPass);

// Why the pass does more than set vtkMapper's mode on VTK 9: the OpenGL
// mappers resolve coincident topology in the fragment shader, moving a
// fragment's depth by units / 65000 of the depth range and ignoring the
// factor; lines and wireframe-represented polygons take the *line*
// parameters, and an untagged surface drawn with the mode off does not move.
// A tagged wireframe's lines are therefore pulled forward by the depth change
// across half a pixel of the faces under them (bounded, see
// vtkKivSurfaceOutlines::EdgeDepthMargin()), a factor reaches the mappers as
// extra relative units, and a surface with the tagged wireframe of its own
// poly data is drawn once with VTK's edge drawing (vtkKivSurfaceOutlines).
// Null props in a state handed over by a host are skipped by every stage; a
// prop count without an array, or a negative one, is a state without props.

namespace
{
// vtkMapper's global coincident-topology settings that the opaque stage
// changes while it draws a tagged prop.
struct GlobalOffsets
{
  static GlobalOffsets Read()
  {
    GlobalOffsets g;
    g.Mode = vtkMapper::GetResolveCoincidentTopology();
    vtkMapper::GetResolveCoincidentTopologyPolygonOffsetParameters(g.Factor, g.Units);
    vtkMapper::GetResolveCoincidentTopologyLineOffsetParameters(g.LineFactor, g.LineUnits);
    return g;
  }
  void Write() const
  {
    vtkMapper::SetResolveCoincidentTopology(this->Mode);
    vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(this->Factor, this->Units);
    vtkMapper::SetResolveCoincidentTopologyLineOffsetParameters(this->LineFactor, this->LineUnits);
  }
  int Mode = 0;
  double Factor = 0.0;
  double Units = 0.0;
  double LineFactor = 0.0;
  double LineUnits = 0.0;
};

// What the opaque stage does for one prop, read from its property keys.
struct PropOffsetSettings
{
  vtkProp* Prop = nullptr; // not owned
  bool Wireframe = false;
  bool UnitsGiven = false;
  bool FactorGiven = false;
  double Units = 0.0;
  double Factor = 0.0;
};

// The settings of a prop with property keys. A value the prop does not give
// comes from the global settings of the start of the frame, `frame`.
PropOffsetSettings BuildPropOffsetSettings(vtkProp* prop,
  vtkInformation* keys,
  const GlobalOffsets& frame)
{
  PropOffsetSettings settings;
  settings.Prop = prop;
  settings.Wireframe = keys->Has(vtkKivMainPass::RENDER_WIREFRAME()) > 0;
  settings.UnitsGiven = keys->Has(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS()) > 0;
  settings.FactorGiven = keys->Has(vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR()) > 0;
  if (!settings.UnitsGiven && !settings.FactorGiven)
  {
    return settings;
  }
  settings.Units =
    settings.UnitsGiven ? keys->Get(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS()) : frame.Units;
  settings.Factor =
    settings.FactorGiven ? keys->Get(vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR()) : frame.Factor;
  return settings;
}

// vtkMapper's global settings while a prop tagged RENDER_WIREFRAME draws.
void SetWireframeOffsets(vtkRenderer* renderer, vtkProp* prop, const GlobalOffsets& saved)
{
  vtkMapper::SetResolveCoincidentTopology(VTK_RESOLVE_POLYGON_OFFSET);
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(1.0, 1.0);
  // Lines take the line parameters. Their fragments lie up to half a pixel
  // beside the edge of the surface under them, where that surface can be
  // nearer: pull them forward by that much.
  const double pull = vtkKivSurfaceOutlines::EdgeDepthMargin(renderer, prop->GetBounds());
  vtkMapper::SetResolveCoincidentTopologyLineOffsetParameters(
    saved.LineFactor, saved.LineUnits - pull);
}

// vtkMapper's relative offset units, reached without vtkMapper's setters:
// those mark the mapper modified, and VTK's OpenGL mapper then rebuilds its
// buffers on the next draw.
class MapperOffsets : public vtkMapper
{
public:
  static double vtkMapper::*PolygonUnits() { return &MapperOffsets::CoincidentPolygonOffset; }
  static double vtkMapper::*LineUnits() { return &MapperOffsets::CoincidentLineOffset; }
};

// Moves the mappers of a prop's actors back by `units` on top of their own
// relative offset units, polygons and lines alike, until destroyed.
class MapperPush
{
public:
  MapperPush(vtkProp* prop, double units)
  {
    if (units == 0.0)
    {
      return;
    }
    vtkNew<vtkPropCollection> actors;
    prop->GetActors(actors);
    vtkCollectionSimpleIterator it;
    actors->InitTraversal(it);
    while (vtkProp* part = actors->GetNextProp(it))
    {
      auto* actor = vtkActor::SafeDownCast(part);
      vtkMapper* mapper = actor ? actor->GetMapper() : nullptr;
      if (!mapper ||
        std::any_of(this->Saved.begin(),
          this->Saved.end(),
          [mapper](const Entry& saved) { return saved.Mapper == mapper; }))
      {
        continue;
      }
      this->Saved.push_back(
        { mapper, mapper->*MapperOffsets::PolygonUnits(), mapper->*MapperOffsets::LineUnits() });
      mapper->*MapperOffsets::PolygonUnits() += units;
      mapper->*MapperOffsets::LineUnits() += units;
    }
  }
  ~MapperPush()
  {
    for (const Entry& saved : this->Saved)
    {
      saved.Mapper->*MapperOffsets::PolygonUnits() = saved.Polygon;
      saved.Mapper->*MapperOffsets::LineUnits() = saved.Line;
    }
  }
  MapperPush(const MapperPush&) = delete;
  MapperPush& operator=(const MapperPush&) = delete;

private:
  struct Entry
  {
    vtkMapper* Mapper;
    double Polygon;
    double Line;
  };
  std::vector<Entry> Saved;
};

// vtkMapper's global settings while a prop with offset keys draws: the
// polygon-offset faces switch on, the record's factor and units as the
// polygon parameters, and the same as the line parameters, so that a
// wireframe prop (whose polygons VTK 9 offsets as lines) moves as a filled
// one does.
void SetPropOffsets(const PropOffsetSettings& record)
{
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetFaces(1);
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(record.Factor, record.Units);
  vtkMapper::SetResolveCoincidentTopologyLineOffsetParameters(record.Factor, record.Units);
}

// What a factor the prop gives means to VTK 9's mappers, which ignore the
// factor: units scaled by the prop's depth change across a pixel of a face
// inclined at 45 degrees, as glPolygonOffset scales its factor by the
// face's depth slope. Only in polygon-offset mode, where the keys act.
double FactorUnits(vtkRenderer* renderer, const PropOffsetSettings& record)
{
  if (!record.FactorGiven ||
    vtkMapper::GetResolveCoincidentTopology() != VTK_RESOLVE_POLYGON_OFFSET)
  {
    return 0.0;
  }
  return record.Factor *
    vtkKivSurfaceOutlines::DepthUnitsPerPixel(renderer, record.Prop->GetBounds());
}

// Draws the frame's prop `props[index]`, which has property keys, with the
// settings its keys ask for; returns what it rendered.
int RenderKeyedProp(vtkKivSurfaceOutlines* outlines,
  vtkRenderer* renderer,
  vtkProp** props,
  int count,
  int index,
  vtkInformation* keys,
  const GlobalOffsets& saved)
{
  vtkProp* prop = props[index];
  const PropOffsetSettings record = BuildPropOffsetSettings(prop, keys, saved);
  if (!record.Wireframe && !record.UnitsGiven && !record.FactorGiven)
  {
    // Only keys of others': a prop like any untagged one.
    const int outlined = outlines->HasOutlines() ? outlines->DrawSurface(prop) : -1;
    return outlined >= 0 ? outlined : prop->RenderOpaqueGeometry(renderer);
  }
  if (record.Wireframe && outlines->DrawWireframe(props, count, index))
  {
    return 1; // drawn as its surface's edges
  }
  if (record.Wireframe)
  {
    SetWireframeOffsets(renderer, prop, saved);
    const int rendered = prop->RenderOpaqueGeometry(renderer);
    saved.Write();
    return rendered;
  }
  SetPropOffsets(record);
  int rendered = 0;
  {
    const MapperPush push(prop, FactorUnits(renderer, record));
    rendered = prop->RenderOpaqueGeometry(renderer);
  }
  // The faces switch stays as set.
  saved.Write();
  return rendered;
}
} // namespace

//------------------------------------------------------------------------------
vtkKivMainPass* vtkKivMainPass::InstallOn(vtkRenderer* renderer)
{
  vtkNew<vtkKivMainPass> pass;
  return InstallOn(renderer, pass) ? pass.Get() : nullptr;
}

//------------------------------------------------------------------------------
bool vtkKivMainPass::InstallOn(vtkRenderer* renderer, vtkRenderPass* pass)
{
  if (!renderer || !pass)
  {
    vtkErrorWithObjectMacro(
      pass, << "InstallOn needs a renderer and a pass to install; nothing installed.");
    return false;
  }
  vtkNew<vtkLightsPass> lights;
  vtkNew<vtkRenderPassCollection> passes;
  passes->AddItem(lights);
  passes->AddItem(pass);
  vtkNew<vtkSequencePass> sequence;
  sequence->SetPasses(passes);
  vtkNew<vtkCameraPass> camera;
  camera->SetDelegatePass(sequence);
  renderer->SetPass(camera);
  return true;
}

//------------------------------------------------------------------------------
vtkInformationIntegerKey* vtkKivMainPass::RENDER_WIREFRAME()
{
  static vtkInformationIntegerKey* key =
    new vtkInformationIntegerKey("RENDER_WIREFRAME", "vtkKivMainPass");
  return key;
}

//------------------------------------------------------------------------------
vtkInformationDoubleKey* vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR()
{
  static vtkInformationDoubleKey* key =
    new vtkInformationDoubleKey("RENDER_POLYGON_OFFSET_FACTOR", "vtkKivMainPass");
  return key;
}

//------------------------------------------------------------------------------
vtkInformationDoubleKey* vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS()
{
  static vtkInformationDoubleKey* key =
    new vtkInformationDoubleKey("RENDER_POLYGON_OFFSET_UNITS", "vtkKivMainPass");
  return key;
}

//------------------------------------------------------------------------------
vtkKivMainPass::vtkKivMainPass()
  : Outlines(vtkKivSurfaceOutlines::New())
{
}

//------------------------------------------------------------------------------
vtkKivMainPass::~vtkKivMainPass()
{
  this->Outlines->Delete();
}

//------------------------------------------------------------------------------
void vtkKivMainPass::ReleaseGraphicsResources(vtkWindow* window)
{
  this->Outlines->ReleaseGraphicsResources(window);
  this->Superclass::ReleaseGraphicsResources(window);
}

//------------------------------------------------------------------------------
void vtkKivMainPass::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
}

//------------------------------------------------------------------------------
void vtkKivMainPass::Render(const vtkRenderState* s)
{
  this->NumberOfRenderedProps = 0;
  if (!s)
  {
    return;
  }
  vtkRenderer* renderer = s->GetRenderer();
  if (!renderer)
  {
    vtkErrorMacro(<< "vtkKivMainPass::Render: No renderer available");
    return;
  }

  // During a hardware selection the selector draws the props itself: it
  // numbers them and keeps the prop-to-id table that Select() reports from.
  vtkProp** props = s->GetPropArray();
  const int count = props ? std::max(s->GetPropArrayCount(), 0) : 0;
  if (vtkHardwareSelector* selector = renderer->GetSelector())
  {
    this->NumberOfRenderedProps = selector->Render(renderer, props, count);
    return;
  }

  // vtkDefaultPass's translucent, volumetric and overlay stages do not skip
  // null entries. The renderer never hands any over, but a host calling the
  // pass directly might: the stages then get a state without them.
  // A state is passed on as it is only when its count can be trusted: a
  // count without an array (or a negative one) would make VTK's stages read
  // through a null pointer.
  const bool countMatches = s->GetPropArrayCount() == count;
  if (countMatches && std::find(props, props + count, nullptr) == props + count)
  {
    this->RenderStages(s);
    return;
  }
  std::vector<vtkProp*> nonNull;
  nonNull.reserve(static_cast<size_t>(count));
  std::copy_if(
    props, props + count, std::back_inserter(nonNull), [](vtkProp* p) { return p != nullptr; });
  vtkRenderState compacted(renderer);
  compacted.SetPropArrayAndCount(nonNull.data(), static_cast<int>(nonNull.size()));
  compacted.SetFrameBuffer(s->GetFrameBuffer());
  compacted.SetRequiredKeys(s->GetRequiredKeys());
  this->RenderStages(&compacted);
}

//------------------------------------------------------------------------------
void vtkKivMainPass::RenderStages(const vtkRenderState* s)
{
  this->RenderOpaqueGeometry(s);
  this->RenderTranslucentPolygonalGeometry(s);
  this->RenderVolumetricGeometry(s);
  this->RenderOverlay(s);
}

//------------------------------------------------------------------------------
void vtkKivMainPass::RenderOpaqueGeometry(const vtkRenderState* s)
{
  if (!s)
  {
    return;
  }
  vtkProp** props = s->GetPropArray();
  const int count = s->GetPropArrayCount();
  const GlobalOffsets saved = GlobalOffsets::Read();

  vtkRenderer* renderer = s->GetRenderer();
  if (!renderer)
  {
    vtkErrorMacro(<< "vtkKivMainPass::RenderOpaqueGeometry: No renderer available");
    return;
  }
  if (!props || count <= 0)
  {
    return;
  }

  // Every prop sees the global settings of the start of the frame: they are
  // put back after each tagged prop, and a value a prop does not give is
  // taken from `saved`. A surface and the tagged wireframe outlining it are
  // drawn in one go by the outlines.
  this->Outlines->BeginFrame(renderer, props, count);
  bool outlines = this->Outlines->HasOutlines(); // pairs appear only at keyed props
  for (int i = 0; i < count; ++i)
  {
    vtkProp* prop = props[i];
    if (!prop)
    {
      continue;
    }
    if (vtkInformation* keys = prop->GetPropertyKeys())
    {
      this->NumberOfRenderedProps +=
        RenderKeyedProp(this->Outlines, renderer, props, count, i, keys, saved);
      outlines = this->Outlines->HasOutlines();
      continue;
    }
    const int outlined = outlines ? this->Outlines->DrawSurface(prop) : -1;
    this->NumberOfRenderedProps += outlined >= 0 ? outlined : prop->RenderOpaqueGeometry(renderer);
  }

  // Wireframes whose surface did not come after all.
  for (vtkProp* wireframe : this->Outlines->EndFrame())
  {
    SetWireframeOffsets(renderer, wireframe, saved);
    this->NumberOfRenderedProps += wireframe->RenderOpaqueGeometry(renderer);
    saved.Write();
  }
}
