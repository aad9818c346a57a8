#include "vtkKivMervoNavigation.h"

#include "vtkAbstractPropPicker.h"
#include "vtkRenderWindowInteractor.h"

//------------------------------------------------------------------------------
int vtkKivMervoNavigation::PickProp(vtkRenderWindowInteractor* interactor, vtkRenderer* renderer)
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
