#include "vtkKivMervoNavigation.h"

#include "vtkAbstractPropPicker.h"
#include "vtkAssemblyNode.h"
#include "vtkAssemblyPath.h"
#include "vtkCellPicker.h"
#include "vtkCommand.h"
#include "vtkInteractorStyleTrackballCamera.h"
#include "vtkKivInteractionStates.h"
#include "vtkKivStyleHelpers.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"

namespace
{
// The band is first drawn on the motion that brings the counter to this.
constexpr int FirstDrawnMotion = 4;

} // namespace

//------------------------------------------------------------------------------
vtkRenderer* vtkKivMervoNavigation::PokedRenderer(vtkInteractorStyle* style,
  const RendererLookup& lookup)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (!interactor)
  {
    return nullptr;
  }
  const int* position = interactor->GetEventPosition();
  if (lookup)
  {
    lookup(position[0], position[1]);
  }
  else
  {
    style->FindPokedRenderer(position[0], position[1]);
  }
  return style->GetCurrentRenderer();
}

//------------------------------------------------------------------------------
void vtkKivMervoNavigation::OnMouseMove(vtkInteractorStyleTrackballCamera* style,
  int& moved,
  const RendererLookup& lookup,
  const std::function<void()>& drawBand)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (!interactor)
  {
    return;
  }
  const int state = style->GetState();
  if (state == VTKIS_KIV_BOXZOOM)
  {
    if (++moved >= FirstDrawnMotion && drawBand)
    {
      drawBand();
    }
    return;
  }
  if (state != VTKIS_ROTATE && state != VTKIS_PAN && state != VTKIS_SPIN && state != VTKIS_DOLLY)
  {
    return;
  }
  vtkKivMervoNavigation::PokedRenderer(style, lookup);
  if (state == VTKIS_ROTATE)
  {
    style->Rotate();
  }
  else if (state == VTKIS_PAN)
  {
    style->Pan();
  }
  else if (state == VTKIS_SPIN)
  {
    style->Spin();
  }
  else
  {
    // The trackball style's dolly even where a derived style has its own.
    style->vtkInteractorStyleTrackballCamera::Dolly();
  }
  ++moved;
  style->InvokeEvent(vtkCommand::InteractionEvent, nullptr);
}

//------------------------------------------------------------------------------
void vtkKivMervoNavigation::Fly(vtkInteractorStyle* style,
  vtkCellPicker* picker,
  int& animState,
  const RendererLookup& lookup,
  const std::function<void(vtkRenderer*)>& afterFlight)
{
  vtkRenderer* renderer = picker ? vtkKivMervoNavigation::PokedRenderer(style, lookup) : nullptr;
  if (!renderer)
  {
    return;
  }
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  const int* position = interactor->GetEventPosition();
  picker->Pick(position[0], position[1], 0.0, renderer);
  vtkAssemblyPath* path = picker->GetPath();
  animState = VTKIS_ANIM_ON;
  vtkAssemblyNode* first = path ? path->GetFirstNode() : nullptr;
  if (first && first->GetViewProp())
  {
    const double* p = picker->GetPickPosition();
    interactor->FlyTo(renderer, p[0], p[1], p[2]);
  }
  if (afterFlight)
  {
    afterFlight(renderer);
  }
  animState = VTKIS_ANIM_OFF;
}

//------------------------------------------------------------------------------
void vtkKivMervoNavigation::Pick(vtkInteractorStyle* style,
  int& propPicked,
  const RendererLookup& lookup)
{
  vtkRenderer* renderer = vtkKivMervoNavigation::PokedRenderer(style, lookup);
  if (!renderer)
  {
    return;
  }
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  auto* picker = vtkAbstractPropPicker::SafeDownCast(interactor->GetPicker());
  if (!picker)
  {
    propPicked = 0;
    return;
  }
  const int* position = interactor->GetEventPosition();
  picker->Pick(position[0], position[1], 0.0, renderer);
  propPicked = picker->GetPath() ? 1 : 0;
}

//------------------------------------------------------------------------------
void vtkKivMervoNavigation::StopState(vtkInteractorStyle* style, int& state)
{
  // VTK's StopState() renders through the interactor.
  if (!style->GetInteractor())
  {
    state = VTKIS_NONE;
    return;
  }
  style->StopState();
}

//------------------------------------------------------------------------------
void vtkKivMervoNavigation::EndPick(vtkInteractorStyle* style, int& state)
{
  if (!style->GetInteractor())
  {
    state = VTKIS_NONE;
    return;
  }
  vtkKivStyleHelpers::EndPick(style);
}
