#include "vtkInteractorStyleCATIA.h"

#include "vtkCallbackCommand.h"
#include "vtkCellPicker.h"
#include "vtkCommand.h"
#include "vtkKivCatiaNavigation.h"
#include "vtkKivInteractionStates.h"
#include "vtkKivNavigationSetup.h"
#include "vtkKivSharedHandlers.h"
#include "vtkObjectFactory.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"

#include <algorithm>

vtkStandardNewMacro(vtkInteractorStyleCATIA);

//------------------------------------------------------------------------------
vtkInteractorStyleCATIA::vtkInteractorStyleCATIA()
  : Panned(false)
  , Moved(0)
  , RotateZoneRadius(0.5)
  , StartPosition{ 0, 0 }
  , EndPosition{ 0, 0 }
  , Picker(vtkKivNavigationSetup::MakeFlyPicker())
{
  vtkKivNavigationSetup::InstallTDxStyle(this);
}

//------------------------------------------------------------------------------
vtkInteractorStyleCATIA::~vtkInteractorStyleCATIA() = default;

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::OnMouseMove()
{
  if (vtkKivCatiaNavigation::StartMotion(this))
  {
    // The spin rule is asked after the renderer under the pointer is found.
    const bool spinning = this->State == VTKIS_SPIN && this->IsSpinning();
    if (vtkKivCatiaNavigation::MoveCamera(this, spinning))
    {
      ++this->Moved;
    }
    this->InvokeEvent(vtkCommand::InteractionEvent, nullptr);
  }
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::OnButtonDown()
{
  switch (this->State)
  {
    case VTKIS_NONE:
      this->Moved = 0;
      this->StartPick();
      return;
    case VTKIS_PAN:
      this->EndPan();
      break;
    case VTKIS_DOLLY:
      this->EndDolly();
      break;
    default:
      return;
  }
  if (this->IsSpinning())
  {
    this->StartSpin();
  }
  else
  {
    this->StartRotate();
  }
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::OnLeftButtonDown()
{
  this->OnButtonDown();
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::OnRightButtonDown()
{
  this->OnButtonDown();
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::OnLeftButtonUp()
{
  switch (this->State)
  {
    case VTKIS_ROTATE:
      this->EndRotate();
      this->StartDolly();
      break;
    case VTKIS_PAN:
      this->EndPan();
      break;
    case VTKIS_SPIN:
      this->EndSpin();
      this->StartDolly();
      break;
    case VTKIS_DOLLY:
      this->EndDolly();
      break;
    case VTKIS_KIV_PICK:
      this->EndPick();
      break;
    default:
      break;
  }
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::OnRightButtonUp()
{
  switch (this->State)
  {
    case VTKIS_ROTATE:
      this->EndRotate();
      this->StartDolly();
      break;
    case VTKIS_KIV_PICK:
      this->EndPick();
      if (this->Interactor)
      {
        if (this->Moved <= vtkKivSharedHandlers::ClickMotions)
        {
          this->Interactor->UserCallback();
        }
        this->ReleaseFocus();
      }
      break;
    default:
      // A spin begun with the right button goes on until the middle button
      // is released.
      break;
  }
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::OnMiddleButtonDown()
{
  if (!this->Interactor)
  {
    return;
  }
  const int* position = this->Interactor->GetEventPosition();
  this->FindPokedRenderer(position[0], position[1]);
  if (!this->CurrentRenderer)
  {
    return;
  }
  this->GrabFocus(this->EventCallbackCommand, nullptr);
  this->Panned = false;
  this->Moved = 0;
  this->StartPan();
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::OnMiddleButtonUp()
{
  switch (this->State)
  {
    case VTKIS_ROTATE:
      this->EndRotate();
      break;
    case VTKIS_PAN:
      if (!this->Panned || this->Moved <= vtkKivSharedHandlers::ClickMotions)
      {
        this->Fly();
      }
      this->EndPan();
      break;
    case VTKIS_SPIN:
      this->EndSpin();
      break;
    case VTKIS_DOLLY:
      this->EndDolly();
      break;
    default:
      break;
  }
  if (this->Interactor)
  {
    this->ReleaseFocus();
  }
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::OnTimer()
{
  this->TimerId =
    vtkKivSharedHandlers::OnAnimationTimer(this, this->AnimState, this->TimerId, *this->Flight);
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::Pan()
{
  this->Panned = true;
  this->Superclass::Pan();
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::Fly()
{
  vtkKivSharedHandlers::Fly(this, this->AnimState, this->Picker, *this->Flight);
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::StartPick()
{
  vtkKivSharedHandlers::StartPick(this);
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::EndPick()
{
  vtkKivSharedHandlers::EndPick(this);
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::Pick()
{
  if (!HasWindow(this))
  {
    return;
  }
  std::copy_n(this->Interactor->GetEventPosition(), 2, this->EndPosition);
  if (const auto picked = vtkKivCatiaNavigation::Pick(this, this->StartPosition, this->EndPosition))
  {
    this->PropPicked = *picked;
  }
}

//------------------------------------------------------------------------------
bool vtkInteractorStyleCATIA::IsSpinning()
{
  return vtkKivCatiaNavigation::IsSpinning(this, this->RotateZoneRadius);
}

//------------------------------------------------------------------------------
vtkCellPicker* vtkInteractorStyleCATIA::GetFlyPicker() const
{
  return this->Picker;
}

//------------------------------------------------------------------------------
void vtkInteractorStyleCATIA::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
}
