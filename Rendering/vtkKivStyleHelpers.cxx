#include "vtkKivStyleHelpers.h"

#include "vtkCellPicker.h"
#include "vtkInteractorStyle.h"
#include "vtkKivInteractionStates.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkTDxInteractorStyleCameraFocalPoint.h"
#include "vtkTDxInteractorStyleSettings.h"

//------------------------------------------------------------------------------
vtkSmartPointer<vtkCellPicker> vtkKivStyleHelpers::MakeFlyPicker()
{
  auto picker = vtkSmartPointer<vtkCellPicker>::New();
  picker->SetTolerance(picker->GetTolerance() * 0.125);
  return picker;
}

//------------------------------------------------------------------------------
void vtkKivStyleHelpers::InstallTDxStyle(vtkInteractorStyle* style)
{
  vtkNew<vtkTDxInteractorStyleCameraFocalPoint> tdx;
  vtkTDxInteractorStyleSettings* settings = tdx->GetSettings();
  settings->SetAngleSensitivity(TDxAngleSensitivity);
  settings->SetTranslationXSensitivity(TDxTranslationSensitivity);
  settings->SetTranslationYSensitivity(TDxTranslationSensitivity);
  settings->SetTranslationZSensitivity(TDxTranslationSensitivity);
  style->SetTDxStyle(tdx);
}

//------------------------------------------------------------------------------
void vtkKivStyleHelpers::OnAnimationTimer(vtkInteractorStyle* style, int animState, int& timerId)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (style->GetState() != VTKIS_NONE || animState != VTKIS_ANIM_ON || !interactor)
  {
    return;
  }
  if (style->GetUseTimers())
  {
    interactor->DestroyTimer(timerId);
  }
  interactor->Render();
  if (style->GetUseTimers())
  {
    timerId = interactor->CreateRepeatingTimer(style->GetTimerDuration());
  }
}

//------------------------------------------------------------------------------
void vtkKivStyleHelpers::StartPick(vtkInteractorStyle* style)
{
  // VTK's state calls render through the interactor: without one there is
  // nothing to pick in.
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (!interactor)
  {
    return;
  }
  style->StartState(VTKIS_KIV_PICK);
  interactor->StartPickCallback();
}

//------------------------------------------------------------------------------
void vtkKivStyleHelpers::EndPick(vtkInteractorStyle* style)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (!interactor)
  {
    return;
  }
  interactor->EndPickCallback();
  style->StopState();
}

//------------------------------------------------------------------------------
void vtkKivStyleHelpers::SwallowKey(vtkInteractorStyle* style)
{
  if (vtkRenderWindowInteractor* interactor = style->GetInteractor())
  {
    static_cast<void>(interactor->GetKeyCode());
  }
}
