#include "vtkKivStyleGuard.h"

#include "vtkInteractorStyle.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"

//------------------------------------------------------------------------------
bool vtkKivStyleGuard::HasWindow(vtkInteractorStyle* style)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  return interactor && interactor->GetRenderWindow();
}

//------------------------------------------------------------------------------
bool vtkKivStyleGuard::CanMoveCamera(vtkInteractorStyle* style)
{
  vtkRenderer* renderer = style->GetCurrentRenderer();
  return style->GetInteractor() && renderer && renderer->GetRenderWindow();
}

//------------------------------------------------------------------------------
vtkRenderer* vtkKivStyleGuard::PokedRenderer(vtkInteractorStyle* style)
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
