#include "vtkKivInteractor.h"

#include "vtkKivSharedHandlers.h"

#include "vtkCallbackCommand.h"
#include "vtkCommand.h"
#include "vtkKivStyleGuard.h"
#include "vtkObjectFactory.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"

vtkStandardNewMacro(vtkKivInteractor);

namespace
{
constexpr unsigned long KeyEvents[] = { vtkCommand::KeyPressEvent,
  vtkCommand::KeyReleaseEvent,
  vtkCommand::CharEvent };
}

//------------------------------------------------------------------------------
bool vtkKivInteractor::HasMoved() const
{
  return this->Moved > vtkKivSharedHandlers::ClickMotions;
}

//------------------------------------------------------------------------------
vtkKivInteractor::vtkKivInteractor()
  : Moved(0)
  , Flight(std::make_unique<vtkKivFlight>())
{
  this->KeyEventCommand->SetClientData(this);
  this->KeyEventCommand->SetCallback(vtkInteractorStyle::ProcessEvents);
}

//------------------------------------------------------------------------------
vtkKivInteractor::~vtkKivInteractor()
{
  this->Flight->Stop(this->Interactor);
}

//------------------------------------------------------------------------------
void vtkKivInteractor::SetInteractor(vtkRenderWindowInteractor* interactor)
{
  if (interactor == this->Interactor)
  {
    return;
  }
  if (this->Interactor)
  {
    this->Interactor->RemoveObserver(this->KeyEventCommand);
  }
  this->Superclass::SetInteractor(interactor);
  if (this->Interactor)
  {
    // Move the key events from EventCallbackCommand to a command of their
    // own, so that a focus grabbed with EventCallbackCommand leaves them to
    // everybody.
    for (unsigned long event : KeyEvents)
    {
      this->Interactor->RemoveObservers(event, this->EventCallbackCommand);
      this->Interactor->AddObserver(event, this->KeyEventCommand, this->Priority);
    }
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::StartState(int newstate)
{
  if (vtkKivStyleGuard::HasWindow(this))
  {
    this->Superclass::StartState(newstate);
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::StopState()
{
  if (vtkKivStyleGuard::HasWindow(this))
  {
    this->Superclass::StopState();
  }
  else
  {
    this->State = VTKIS_NONE;
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::Rotate()
{
  if (vtkKivStyleGuard::CanMoveCamera(this))
  {
    this->Superclass::Rotate();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::Pan()
{
  if (vtkKivStyleGuard::CanMoveCamera(this))
  {
    this->Superclass::Pan();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::Spin()
{
  if (vtkKivStyleGuard::CanMoveCamera(this))
  {
    this->Superclass::Spin();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::Dolly()
{
  if (vtkKivStyleGuard::CanMoveCamera(this))
  {
    this->Superclass::Dolly();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::EnvironmentRotate()
{
  if (vtkKivStyleGuard::CanMoveCamera(this))
  {
    this->Superclass::EnvironmentRotate();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::OnMouseWheelForward()
{
  // The trackball's wheel looks up the renderer through the interactor and
  // does nothing when none is found.
  if (this->Interactor)
  {
    this->Superclass::OnMouseWheelForward();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::OnMouseWheelBackward()
{
  if (this->Interactor)
  {
    this->Superclass::OnMouseWheelBackward();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::OnMouseMove()
{
  if (this->Interactor)
  {
    this->Superclass::OnMouseMove();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::OnLeftButtonDown()
{
  if (this->Interactor)
  {
    this->Superclass::OnLeftButtonDown();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::OnLeftButtonUp()
{
  if (this->Interactor)
  {
    this->Superclass::OnLeftButtonUp();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::OnMiddleButtonDown()
{
  if (this->Interactor)
  {
    this->Superclass::OnMiddleButtonDown();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::OnMiddleButtonUp()
{
  if (this->Interactor)
  {
    this->Superclass::OnMiddleButtonUp();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::OnRightButtonDown()
{
  if (this->Interactor)
  {
    this->Superclass::OnRightButtonDown();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::OnRightButtonUp()
{
  if (this->Interactor)
  {
    this->Superclass::OnRightButtonUp();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::OnChar()
{
  // Some of VTK's key bindings ('3' for stereo, for one) use the render
  // window without checking for it.
  if (!vtkKivStyleGuard::HasWindow(this))
  {
    return;
  }
  // VTK's keys ('f' flies, 'p' picks) act in the current renderer, which
  // the host's buttons may not have set yet: the one under the pointer.
  vtkRenderer* renderer = vtkKivStyleGuard::PokedRenderer(this);
  if (!vtkKivSharedHandlers::FlyKey(this, renderer, *this->Flight))
  {
    this->Superclass::OnChar();
  }
}

//------------------------------------------------------------------------------
void vtkKivInteractor::AcquireFocus()
{
  this->GrabFocus(this->EventCallbackCommand, nullptr);
}

//------------------------------------------------------------------------------
void vtkKivInteractor::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
}
