#include "vtkKivSharedHandlers.h"

#include "vtkAssemblyNode.h"
#include "vtkAssemblyPath.h"
#include "vtkCellPicker.h"
#include "vtkInteractorStyle.h"
#include "vtkKivInteractionStates.h"
#include "vtkKivStyleGuard.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"

//------------------------------------------------------------------------------
int vtkKivSharedHandlers::OnAnimationTimer(vtkInteractorStyle* style, int animState, int timerId)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (style->GetState() != VTKIS_NONE || animState != VTKIS_ANIM_ON || !interactor)
  {
    return timerId;
  }
  if (style->GetUseTimers())
  {
    interactor->DestroyTimer(timerId);
  }
  interactor->Render();
  if (style->GetUseTimers())
  {
    return interactor->CreateRepeatingTimer(style->GetTimerDuration());
  }
  return timerId;
}

//------------------------------------------------------------------------------
void vtkKivSharedHandlers::StartPick(vtkInteractorStyle* style)
{
  if (!vtkKivStyleGuard::HasWindow(style))
  {
    return;
  }
  style->StartState(VTKIS_KIV_PICK);
  style->GetInteractor()->StartPickCallback();
}

//------------------------------------------------------------------------------
void vtkKivSharedHandlers::EndPick(vtkInteractorStyle* style)
{
  if (vtkRenderWindowInteractor* interactor = style->GetInteractor())
  {
    interactor->EndPickCallback();
  }
  style->StopState();
}

//------------------------------------------------------------------------------
void vtkKivSharedHandlers::SwallowKey(vtkInteractorStyle* style)
{
  if (vtkRenderWindowInteractor* interactor = style->GetInteractor())
  {
    static_cast<void>(interactor->GetKeyCode());
  }
}

//------------------------------------------------------------------------------
bool vtkKivSharedHandlers::MovesCamera(int state)
{
  return state == VTKIS_ROTATE || state == VTKIS_PAN || state == VTKIS_SPIN || state == VTKIS_DOLLY;
}

//------------------------------------------------------------------------------
void vtkKivSharedHandlers::MoveCamera(vtkInteractorStyle* style)
{
  switch (style->GetState())
  {
    case VTKIS_ROTATE:
      style->Rotate();
      break;
    case VTKIS_PAN:
      style->Pan();
      break;
    case VTKIS_SPIN:
      style->Spin();
      break;
    case VTKIS_DOLLY:
      style->Dolly();
      break;
    default:
      break;
  }
}

//------------------------------------------------------------------------------
bool vtkKivSharedHandlers::FlyToPick(vtkRenderWindowInteractor* interactor,
  vtkRenderer* renderer,
  vtkCellPicker* picker)
{
  if (!interactor || !renderer || !picker)
  {
    return false;
  }
  const int* position = interactor->GetEventPosition();
  picker->Pick(position[0], position[1], 0.0, renderer);
  vtkAssemblyPath* path = picker->GetPath();
  vtkAssemblyNode* first = path ? path->GetFirstNode() : nullptr;
  if (!first || !first->GetViewProp())
  {
    return false;
  }
  const double* p = picker->GetPickPosition();
  interactor->FlyTo(renderer, p[0], p[1], p[2]);
  return true;
}
