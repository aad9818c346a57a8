#include "vtkKivSharedHandlers.h"

#include "vtkAbstractPropPicker.h"
#include "vtkAssemblyNode.h"
#include "vtkAssemblyPath.h"
#include "vtkCamera.h"
#include "vtkCellPicker.h"
#include "vtkGenericOpenGLRenderWindow.h"
#include "vtkInteractorStyle.h"
#include "vtkKivGuardedStyle.h"
#include "vtkKivInteractionStates.h"
#include "vtkMath.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"

#include <algorithm>
#include <utility>

//------------------------------------------------------------------------------
// A window a host toolkit puts on screen (a vtkGenericOpenGLRenderWindow in a
// Qt widget) shows a frame only when the host paints it from its event loop:
// frames rendered in a loop inside one handler never reach the screen, and on
// a busy machine the view looks frozen for as long as the loop lasts. For such
// a window, when the interactor has timers, the flight draws one frame per
// timer event and Fly() returns at once. Otherwise every frame is drawn before
// Fly() returns, as VTK's FlyTo() does (NumberOfFlyFrames steps, each with its
// share of Dolly, the view-up made orthogonal and the clipping range reset).
void vtkKivFlight::Fly(vtkRenderWindowInteractor* interactor,
  vtkRenderer* renderer,
  const double target[3],
  std::function<void()> finished)
{
  this->Stop(interactor);
  if (!interactor || !renderer)
  {
    return;
  }
  vtkCamera* camera = renderer->GetActiveCamera();
  camera->GetFocalPoint(this->From);
  for (int i = 0; i < 3; ++i)
  {
    this->Direction[i] = target[i] - this->From[i];
  }
  this->Frames = std::max(interactor->GetNumberOfFlyFrames(), 1);
  this->Delta = vtkMath::Normalize(this->Direction) / this->Frames;
  this->DollyFactor = interactor->GetDolly() / this->Frames + 1.0;
  this->Renderer = renderer;
  this->Finished = std::move(finished);
  this->Frame = 0;

  // A host shows this window's frames from its event loop: one frame per
  // timer event, when the interactor has timers.
  if (vtkGenericOpenGLRenderWindow::SafeDownCast(interactor->GetRenderWindow()))
  {
    this->TimerId = interactor->CreateRepeatingTimer(1);
    if (this->TimerId != 0)
    {
      return;
    }
  }
  while (this->Frame < this->Frames)
  {
    this->DrawFrame(interactor, ++this->Frame);
  }
  std::function<void()> done = std::move(this->Finished);
  this->Finished = nullptr;
  if (done)
  {
    done();
  }
}

//------------------------------------------------------------------------------
bool vtkKivFlight::Step(vtkRenderWindowInteractor* interactor)
{
  // Not every interactor tells which of its timers fired (QVTKInteractor
  // does not): while the flight's timer runs, any timer event draws a frame.
  if (!interactor || this->TimerId == 0)
  {
    return false;
  }
  if (!this->Renderer)
  {
    this->Stop(interactor);
    return true;
  }
  this->DrawFrame(interactor, ++this->Frame);
  if (this->Frame >= this->Frames)
  {
    std::function<void()> done = std::move(this->Finished);
    this->Stop(interactor);
    if (done)
    {
      done();
    }
  }
  return true;
}

//------------------------------------------------------------------------------
void vtkKivFlight::Stop(vtkRenderWindowInteractor* interactor)
{
  if (this->TimerId != 0 && interactor)
  {
    interactor->DestroyTimer(this->TimerId);
  }
  this->TimerId = 0;
  this->Finished = nullptr;
}

//------------------------------------------------------------------------------
void vtkKivFlight::DrawFrame(vtkRenderWindowInteractor* interactor, int frame)
{
  vtkCamera* camera = this->Renderer->GetActiveCamera();
  double focal[3];
  for (int i = 0; i < 3; ++i)
  {
    focal[i] = this->From[i] + this->Direction[i] * frame * this->Delta;
  }
  camera->SetFocalPoint(focal);
  camera->Dolly(this->DollyFactor);
  camera->OrthogonalizeViewUp();
  this->Renderer->ResetCameraClippingRange();
  interactor->Render();
}

//------------------------------------------------------------------------------
int vtkKivSharedHandlers::OnAnimationTimer(vtkInteractorStyle* style,
  int animState,
  int timerId,
  vtkKivFlight& flight)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (flight.Step(interactor))
  {
    return timerId;
  }
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
  if (!vtkKivGuardedStyle::HasWindow(style))
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
void vtkKivSharedHandlers::Fly(vtkInteractorStyle* style,
  int& animState,
  vtkCellPicker* picker,
  vtkKivFlight& flight,
  std::function<void()> finished)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  vtkRenderer* renderer = vtkKivGuardedStyle::PokedRenderer(style);
  if (!renderer || !picker)
  {
    return;
  }
  const int* position = interactor->GetEventPosition();
  picker->Pick(position[0], position[1], 0.0, renderer);
  vtkAssemblyPath* path = picker->GetPath();
  vtkAssemblyNode* first = path ? path->GetFirstNode() : nullptr;
  if (!first || !first->GetViewProp())
  {
    if (finished)
    {
      finished();
    }
    return;
  }
  // The flight renders its frames; animState on keeps the style's animation
  // timer from rendering in between.
  animState = VTKIS_ANIM_ON;
  flight.Fly(interactor, renderer, picker->GetPickPosition(), std::move(finished));
  animState = VTKIS_ANIM_OFF;
}

//------------------------------------------------------------------------------
bool vtkKivSharedHandlers::FlyKey(vtkInteractorStyle* style,
  vtkRenderer* renderer,
  vtkKivFlight& flight)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (!interactor || !renderer ||
    (interactor->GetKeyCode() != 'f' && interactor->GetKeyCode() != 'F'))
  {
    return false;
  }
  auto* picker = vtkAbstractPropPicker::SafeDownCast(interactor->GetPicker());
  if (!picker)
  {
    return true;
  }
  const int* position = interactor->GetEventPosition();
  picker->Pick(position[0], position[1], 0.0, renderer);
  if (picker->GetPath())
  {
    flight.Fly(interactor, renderer, picker->GetPickPosition(), nullptr);
  }
  return true;
}

//------------------------------------------------------------------------------
int vtkKivSharedHandlers::PickProp(vtkRenderWindowInteractor* interactor, vtkRenderer* renderer)
{
  auto* picker = vtkAbstractPropPicker::SafeDownCast(interactor->GetPicker());
  if (!picker)
  {
    return 0;
  }
  const int* position = interactor->GetEventPosition();
  picker->Pick(position[0], position[1], 0.0, renderer);
  return picker->GetPath() ? 1 : 0;
}
