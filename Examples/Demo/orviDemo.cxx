// A small host of the library: shows a mesh in a window navigated by
// vtkKivInteractor, drives a rotation through the navigator's interaction
// states the way a host's own mouse handling does, and writes screenshots.
//
// Usage: orviDemo [OUTPUT_DIR] [MESH.vtk|MESH.vtu]
#include "vtkKivInteractor.h"

#include "vtkActor.h"
#include "vtkCamera.h"
#include "vtkDataSetMapper.h"
#include "vtkGenericRenderWindowInteractor.h"
#include "vtkNew.h"
#include "vtkPNGWriter.h"
#include "vtkProperty.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkSmartPointer.h"
#include "vtkSuperquadricSource.h"
#include "vtkUnstructuredGridReader.h"
#include "vtkWindowToImageFilter.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <iostream>
#include <string>

namespace
{
vtkSmartPointer<vtkAlgorithm> MakeMeshSource(const std::string& path)
{
  auto endsWith = [&path](const std::string& suffix)
  {
    return path.size() >= suffix.size() &&
      path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
  };
  if (endsWith(".vtu"))
  {
    auto reader = vtkSmartPointer<vtkXMLUnstructuredGridReader>::New();
    reader->SetFileName(path.c_str());
    return reader;
  }
  if (endsWith(".vtk"))
  {
    auto reader = vtkSmartPointer<vtkUnstructuredGridReader>::New();
    reader->SetFileName(path.c_str());
    return reader;
  }
  auto source = vtkSmartPointer<vtkSuperquadricSource>::New();
  source->SetToroidal(1);
  source->SetThetaResolution(96);
  source->SetPhiResolution(48);
  source->SetThickness(0.4);
  return source;
}

void Screenshot(vtkRenderWindow* window, const std::string& path)
{
  vtkNew<vtkWindowToImageFilter> grab;
  grab->SetInput(window);
  grab->ReadFrontBufferOff();
  vtkNew<vtkPNGWriter> writer;
  writer->SetInputConnection(grab->GetOutputPort());
  writer->SetFileName(path.c_str());
  writer->Write();
  std::cout << "wrote " << path << "\n";
}
} // namespace

int main(int argc, char* argv[])
{
  const std::string outDir = argc > 1 ? argv[1] : ".";
  const std::string meshPath = argc > 2 ? argv[2] : "";

  vtkSmartPointer<vtkAlgorithm> source = MakeMeshSource(meshPath);
  vtkNew<vtkDataSetMapper> mapper;
  mapper->SetInputConnection(source->GetOutputPort());
  vtkNew<vtkActor> actor;
  actor->SetMapper(mapper);
  actor->GetProperty()->SetColor(0.55, 0.7, 0.9);
  actor->GetProperty()->EdgeVisibilityOn();

  vtkNew<vtkRenderer> renderer;
  renderer->AddActor(actor);
  renderer->SetBackground(0.12, 0.13, 0.16);
  vtkNew<vtkRenderWindow> window;
  window->SetSize(800, 600);
  window->AddRenderer(renderer);
  vtkNew<vtkGenericRenderWindowInteractor> interactor;
  interactor->SetRenderWindow(window);
  vtkNew<vtkKivInteractor> navigator;
  interactor->SetInteractorStyle(navigator);
  interactor->Initialize();

  renderer->ResetCamera();
  window->Render();
  Screenshot(window, outDir + "/orvi-demo-start.png");

  // The host's road of one mouse rotation: button down, motions, button up.
  interactor->SetEventInformation(400, 300);
  navigator->ClearMoved();
  navigator->StartRotate();
  for (int step = 1; step <= 12; ++step)
  {
    interactor->SetEventInformation(400 + 10 * step, 300 + 4 * step);
    interactor->InvokeEvent(vtkCommand::MouseMoveEvent, nullptr);
  }
  navigator->EndRotate();
  Screenshot(window, outDir + "/orvi-demo-rotated.png");
  return 0;
}
