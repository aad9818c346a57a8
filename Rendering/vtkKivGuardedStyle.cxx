#include "vtkKivGuardedStyle.h"

#include "vtkKivSharedHandlers.h"

#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"

//------------------------------------------------------------------------------
vtkKivGuardedStyle::vtkKivGuardedStyle()
  : Flight(std::make_unique<vtkKivFlight>())
{
}

//------------------------------------------------------------------------------
vtkKivGuardedStyle::~vtkKivGuardedStyle()
{
  this->Flight->Stop(this->Interactor);
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
}

//------------------------------------------------------------------------------
// The guards
//------------------------------------------------------------------------------
bool vtkKivGuardedStyle::HasWindow(vtkInteractorStyle* style)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  return interactor && interactor->GetRenderWindow();
}

//------------------------------------------------------------------------------
bool vtkKivGuardedStyle::CanMoveCamera(vtkInteractorStyle* style)
{
  vtkRenderer* renderer = style->GetCurrentRenderer();
  return style->GetInteractor() && renderer && renderer->GetRenderWindow();
}

//------------------------------------------------------------------------------
vtkRenderer* vtkKivGuardedStyle::PokedRenderer(vtkInteractorStyle* style)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (!interactor)
  {
    return nullptr;
  }
  const int* position = interactor->GetEventPosition();
  style->FindPokedRenderer(position[0], position[1]);
  return style->GetCurrentRenderer();
}

//------------------------------------------------------------------------------
// State changes
//------------------------------------------------------------------------------
void vtkKivGuardedStyle::StartState(int newstate)
{
  if (HasWindow(this))
  {
    this->Superclass::StartState(newstate);
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::StopState()
{
  if (HasWindow(this))
  {
    this->Superclass::StopState();
  }
  else
  {
    // VTK's StopState() renders and may destroy a timer through the
    // interactor: without a window only the state goes back.
    this->State = VTKIS_NONE;
  }
}

//------------------------------------------------------------------------------
// Camera motions
//------------------------------------------------------------------------------
void vtkKivGuardedStyle::Rotate()
{
  if (CanMoveCamera(this))
  {
    this->Superclass::Rotate();
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::Pan()
{
  if (CanMoveCamera(this))
  {
    this->Superclass::Pan();
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::Spin()
{
  if (CanMoveCamera(this))
  {
    this->Superclass::Spin();
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::Dolly()
{
  if (CanMoveCamera(this))
  {
    this->Superclass::Dolly();
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::EnvironmentRotate()
{
  if (CanMoveCamera(this))
  {
    this->Superclass::EnvironmentRotate();
  }
}

//------------------------------------------------------------------------------
// Mouse handlers: VTK's read the event position from the interactor.
//------------------------------------------------------------------------------
void vtkKivGuardedStyle::OnMouseMove()
{
  if (this->Interactor)
  {
    this->Superclass::OnMouseMove();
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::OnLeftButtonDown()
{
  if (this->Interactor)
  {
    this->Superclass::OnLeftButtonDown();
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::OnLeftButtonUp()
{
  if (this->Interactor)
  {
    this->Superclass::OnLeftButtonUp();
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::OnMiddleButtonDown()
{
  if (this->Interactor)
  {
    this->Superclass::OnMiddleButtonDown();
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::OnMiddleButtonUp()
{
  if (this->Interactor)
  {
    this->Superclass::OnMiddleButtonUp();
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::OnRightButtonDown()
{
  if (this->Interactor)
  {
    this->Superclass::OnRightButtonDown();
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::OnRightButtonUp()
{
  if (this->Interactor)
  {
    this->Superclass::OnRightButtonUp();
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::OnMouseWheelForward()
{
  if (this->Interactor)
  {
    this->Superclass::OnMouseWheelForward();
  }
}

//------------------------------------------------------------------------------
void vtkKivGuardedStyle::OnMouseWheelBackward()
{
  if (this->Interactor)
  {
    this->Superclass::OnMouseWheelBackward();
  }
}

//------------------------------------------------------------------------------
// Keys
//------------------------------------------------------------------------------
void vtkKivGuardedStyle::OnChar()
{
  if (!HasWindow(this))
  {
    return;
  }
  // The host's buttons may not have set a current renderer yet.
  vtkRenderer* renderer = PokedRenderer(this);
  if (!vtkKivSharedHandlers::FlyKey(this, renderer, *this->Flight))
  {
    this->Superclass::OnChar();
  }
}
