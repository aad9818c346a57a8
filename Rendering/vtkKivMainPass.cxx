#include "vtkKivMainPass.h"

#include "vtkHardwareSelector.h"
#include "vtkInformation.h"
#include "vtkInformationDoubleKey.h"
#include "vtkInformationIntegerKey.h"
#include "vtkMapper.h"
#include "vtkObjectFactory.h"
#include "vtkProp.h"
#include "vtkRenderState.h"
#include "vtkRenderer.h"

#include <algorithm>
#include <iterator>
#include <vector>

vtkStandardNewMacro(vtkKivMainPass);

namespace
{
// What the opaque stage does for one prop, read from its property keys before
// any prop is drawn.
struct PropOffsetSettings
{
  vtkProp* Prop = nullptr; // not owned
  bool Wireframe = false;
  bool UnitsGiven = false;
  bool FactorGiven = false;
  double Units = 0.0;
  double Factor = 0.0;
};

PropOffsetSettings BuildPropOffsetSettings(vtkProp* prop)
{
  PropOffsetSettings settings;
  settings.Prop = prop;
  vtkInformation* keys = prop->GetPropertyKeys();
  if (!keys)
  {
    return settings;
  }
  settings.Wireframe = keys->Has(vtkKivMainPass::RENDER_WIREFRAME()) > 0;
  settings.UnitsGiven = keys->Has(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS()) > 0;
  settings.FactorGiven = keys->Has(vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR()) > 0;
  if (!settings.UnitsGiven && !settings.FactorGiven)
  {
    return settings;
  }
  // A value the prop does not give comes from the global setting.
  double globalFactor = 0.0;
  double globalUnits = 0.0;
  vtkMapper::GetResolveCoincidentTopologyPolygonOffsetParameters(globalFactor, globalUnits);
  settings.Units =
    settings.UnitsGiven ? keys->Get(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS()) : globalUnits;
  settings.Factor =
    settings.FactorGiven ? keys->Get(vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR()) : globalFactor;
  return settings;
}
} // namespace

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
vtkKivMainPass::vtkKivMainPass() = default;

//------------------------------------------------------------------------------
vtkKivMainPass::~vtkKivMainPass() = default;

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

  const int savedMode = vtkMapper::GetResolveCoincidentTopology();
  double savedFactor = 0.0;
  double savedUnits = 0.0;
  vtkMapper::GetResolveCoincidentTopologyPolygonOffsetParameters(savedFactor, savedUnits);

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

  // All records are read before anything is drawn, so that every prop sees
  // the global settings of the start of the frame.
  std::vector<PropOffsetSettings> records;
  records.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
  {
    if (props[i])
    {
      records.push_back(BuildPropOffsetSettings(props[i]));
    }
  }

  for (const PropOffsetSettings& record : records)
  {
    if (record.Wireframe)
    {
      vtkMapper::SetResolveCoincidentTopology(VTK_RESOLVE_POLYGON_OFFSET);
      vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(1.0, 1.0);
    }
    else if (record.UnitsGiven || record.FactorGiven)
    {
      vtkMapper::SetResolveCoincidentTopologyPolygonOffsetFaces(1);
      vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(record.Factor, record.Units);
    }

    const int rendered = record.Prop->RenderOpaqueGeometry(renderer);

    if (record.Wireframe || record.UnitsGiven || record.FactorGiven)
    {
      // The faces switch stays as set above.
      vtkMapper::SetResolveCoincidentTopology(savedMode);
      vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(savedFactor, savedUnits);
    }
    this->NumberOfRenderedProps += rendered;
  }
}
