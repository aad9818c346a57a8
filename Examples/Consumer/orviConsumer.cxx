// Smallest host of the installed package: creates a navigator, installs it on
// an interactor and checks that VTK's OpenGL overrides came along through the
// package's dependencies.
#include "vtkKivInteractor.h"

#include "vtkGenericRenderWindowInteractor.h"
#include "vtkNew.h"
#include "vtkRenderWindow.h"

#include <cstring>
#include <iostream>

int main()
{
  vtkNew<vtkKivInteractor> navigator;
  vtkNew<vtkRenderWindow> window;
  vtkNew<vtkGenericRenderWindowInteractor> interactor;
  interactor->SetRenderWindow(window);
  interactor->SetInteractorStyle(navigator);

  const bool isTrackball = navigator->IsA("vtkInteractorStyleTrackballCamera") != 0;
  const bool hasOpenGL = std::strcmp(window->GetClassName(), "vtkRenderWindow") != 0;
  std::cout << navigator->GetClassName() << " on " << window->GetClassName() << "\n";
  if (!isTrackball || !hasOpenGL || !navigator->IsStateNone())
  {
    std::cerr << "the installed package is not usable\n";
    return 1;
  }
  return 0;
}
