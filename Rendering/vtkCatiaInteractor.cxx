#include "vtkCatiaInteractor.h"

#include "vtkCellPicker.h"
#include "vtkCommand.h"
#include "vtkKivCatiaNavigation.h"
#include "vtkKivGuardedStyle.h"
#include "vtkKivNavigationSetup.h"
#include "vtkKivSharedHandlers.h"
#include "vtkObjectFactory.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"

#include <algorithm>

vtkStandardNewMacro(vtkCatiaInteractor);

//------------------------------------------------------------------------------
vtkCatiaInteractor::vtkCatiaInteractor()
  : Panned(false)
  , RotateZoneRadius(0.5)
  , StartPosition{ 0, 0 }
  , EndPosition{ 0, 0 }
  , Picker(vtkKivNavigationSetup::MakeFlyPicker())
{
  vtkKivNavigationSetup::InstallTDxStyle(this);
}

//------------------------------------------------------------------------------
vtkCatiaInteractor::~vtkCatiaInteractor() = default;

//------------------------------------------------------------------------------
void vtkCatiaInteractor::OnMouseMove()
{
  if (vtkKivCatiaNavigation::StartMotion(this))
  {
    // The spin rule is asked after the renderer under the pointer is found.
    const bool spinning = this->IsStateSpin() && this->IsSpinning();
    if (vtkKivCatiaNavigation::MoveCamera(this, spinning))
    {
      ++this->Moved;
    }
    this->InvokeEvent(vtkCommand::InteractionEvent, nullptr);
  }
}

//------------------------------------------------------------------------------
void vtkCatiaInteractor::OnTimer()
{
  this->TimerId =
    vtkKivSharedHandlers::OnAnimationTimer(this, this->AnimState, this->TimerId, *this->Flight);
}

//------------------------------------------------------------------------------
void vtkCatiaInteractor::Pan()
{
  this->Panned = true;
  this->Superclass::Pan();
}

//------------------------------------------------------------------------------
void vtkCatiaInteractor::Fly()
{
  vtkKivSharedHandlers::Fly(this, this->AnimState, this->Picker, *this->Flight);
}

//------------------------------------------------------------------------------
void vtkCatiaInteractor::StartPick()
{
  vtkKivSharedHandlers::StartPick(this);
}

//------------------------------------------------------------------------------
void vtkCatiaInteractor::EndPick()
{
  vtkKivSharedHandlers::EndPick(this);
}

//------------------------------------------------------------------------------
void vtkCatiaInteractor::Pick()
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
bool vtkCatiaInteractor::IsSpinning() const
{
  // The shared rule only reads the style.
  return vtkKivCatiaNavigation::IsSpinning(
    const_cast<vtkCatiaInteractor*>(this), this->RotateZoneRadius);
}

//------------------------------------------------------------------------------
vtkCellPicker* vtkCatiaInteractor::GetFlyPicker() const
{
  return this->Picker;
}

//------------------------------------------------------------------------------
void vtkCatiaInteractor::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
}
