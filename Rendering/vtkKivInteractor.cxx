#include "vtkKivInteractor.h"

#include "vtkKivSharedHandlers.h"

#include "vtkCallbackCommand.h"
#include "vtkCommand.h"
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
{
  this->KeyEventCommand->SetClientData(this);
  this->KeyEventCommand->SetCallback(vtkInteractorStyle::ProcessEvents);
}

//------------------------------------------------------------------------------
vtkKivInteractor::~vtkKivInteractor() = default;

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
void vtkKivInteractor::AcquireFocus()
{
  this->GrabFocus(this->EventCallbackCommand, nullptr);
}

//------------------------------------------------------------------------------
void vtkKivInteractor::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
}
