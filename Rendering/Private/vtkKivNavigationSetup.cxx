#include "vtkKivNavigationSetup.h"

#include "vtkCellPicker.h"
#include "vtkInteractorStyle.h"
#include "vtkTDxInteractorStyleCameraFocalPoint.h"
#include "vtkTDxInteractorStyleSettings.h"

//------------------------------------------------------------------------------
vtkSmartPointer<vtkCellPicker> vtkKivNavigationSetup::MakeFlyPicker()
{
  auto picker = vtkSmartPointer<vtkCellPicker>::New();
  picker->SetTolerance(picker->GetTolerance() * 0.125);
  return picker;
}

//------------------------------------------------------------------------------
void vtkKivNavigationSetup::InstallTDxStyle(vtkInteractorStyle* style)
{
  vtkNew<vtkTDxInteractorStyleCameraFocalPoint> tdx;
  vtkTDxInteractorStyleSettings* settings = tdx->GetSettings();
  settings->SetAngleSensitivity(TDxAngleSensitivity);
  settings->SetTranslationXSensitivity(TDxTranslationSensitivity);
  settings->SetTranslationYSensitivity(TDxTranslationSensitivity);
  settings->SetTranslationZSensitivity(TDxTranslationSensitivity);
  style->SetTDxStyle(tdx);
}
