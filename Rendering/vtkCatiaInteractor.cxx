#include "vtkCatiaInteractor.h"

#include "vtkCellPicker.h"
#include "vtkKivCatiaNavigation.h"
#include "vtkKivStyleHelpers.h"
#include "vtkObjectFactory.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"

vtkStandardNewMacro(vtkCatiaInteractor);

//------------------------------------------------------------------------------
vtkCatiaInteractor::vtkCatiaInteractor()
  : Panned(false)
  , RotateZoneRadius(0.5)
  , StartPosition{ 0, 0 }
  , EndPosition{ 0, 0 }
  , Picker(vtkKivStyleHelpers::MakeFlyPicker())
{
  vtkKivStyleHelpers::InstallTDxStyle(this);
}

//------------------------------------------------------------------------------
vtkCatiaInteractor::~vtkCatiaInteractor() = default;

//------------------------------------------------------------------------------
void vtkCatiaInteractor::OnMouseMove()
{
  vtkKivCatiaNavigation::OnMouseMove(this, this->Moved, [this] { return this->IsSpinning(); });
}

//------------------------------------------------------------------------------
void vtkCatiaInteractor::OnTimer()
{
  vtkKivStyleHelpers::OnAnimationTimer(this, this->AnimState, this->TimerId);
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
  vtkKivCatiaNavigation::Fly(this, this->Picker, this->AnimState);
}

//------------------------------------------------------------------------------
void vtkCatiaInteractor::StartPick()
{
  // Nothing to pick in without a render window: no state, no event.
  if (!this->Interactor || !this->Interactor->GetRenderWindow())
  {
    return;
  }
  vtkKivStyleHelpers::StartPick(this);
}

//------------------------------------------------------------------------------
void vtkCatiaInteractor::EndPick()
{
  vtkKivStyleHelpers::EndPick(this);
}

//------------------------------------------------------------------------------
void vtkCatiaInteractor::Pick()
{
  vtkKivCatiaNavigation::Pick(this, this->StartPosition, this->EndPosition, this->PropPicked);
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
