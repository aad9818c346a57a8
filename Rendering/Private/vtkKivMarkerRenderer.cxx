#include "vtkKivMarkerRenderer.h"

#include "vtkActor.h"
#include "vtkCamera.h"
#include "vtkNew.h"
#include "vtkObjectFactory.h"
#include "vtkRenderWindow.h"
#include "vtkShaderProperty.h"

#include <algorithm>

vtkStandardNewMacro(vtkKivMarkerRenderer);

//------------------------------------------------------------------------------
vtkKivMarkerRenderer::vtkKivMarkerRenderer() = default;

//------------------------------------------------------------------------------
vtkKivMarkerRenderer::~vtkKivMarkerRenderer() = default;

//------------------------------------------------------------------------------
void vtkKivMarkerRenderer::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "Scene: " << this->Scene.GetPointer() << "\n";
}

//------------------------------------------------------------------------------
vtkSmartPointer<vtkKivMarkerRenderer> vtkKivMarkerRenderer::Over(vtkRenderer* scene,
  vtkActor* marker)
{
  auto layer = vtkSmartPointer<vtkKivMarkerRenderer>::New();
  layer->Scene = scene;
  layer->SetLayer(scene->GetLayer() + 1);
  layer->PreserveColorBufferOn();
  layer->PreserveDepthBufferOn();
  layer->InteractiveOff();
  vtkNew<vtkCamera> camera;
  camera->DeepCopy(scene->GetActiveCamera());
  layer->SetActiveCamera(camera);
  layer->SetViewport(scene->GetViewport());
  // In front of every surface drawn before, whatever the depth it was drawn
  // at (a thousandth of the depth range covers only what lies right behind
  // the near plane). Replacing the fragment shader's depth stage also drops
  // the coincident-topology offset VTK would put there.
  marker->GetShaderProperty()->AddFragmentShaderReplacement(
    "//VTK::Depth::Impl", true, "gl_FragDepth = gl_FragCoord.z * 0.001;\n", false);
  layer->AddActor(marker);
  if (vtkRenderWindow* window = scene->GetRenderWindow())
  {
    window->SetNumberOfLayers(std::max(window->GetNumberOfLayers(), layer->GetLayer() + 1));
    window->AddRenderer(layer);
    layer->Window = window;
  }
  return layer;
}

//------------------------------------------------------------------------------
void vtkKivMarkerRenderer::Detach()
{
  if (this->Window && this->Window->HasRenderer(this))
  {
    this->Window->RemoveRenderer(this);
  }
  this->Window = nullptr;
}

//------------------------------------------------------------------------------
void vtkKivMarkerRenderer::Render()
{
  vtkRenderer* scene = this->Scene;
  // With the scene only (a hardware selector rendering the scene's props
  // would read the marker's colours as ids), and not at all while the marker
  // is hidden, which is most of the time.
  if (!scene || !this->RenderWindow || scene->GetRenderWindow() != this->RenderWindow ||
    !scene->GetDraw() || scene->GetSelector() || this->VisibleActorCount() == 0)
  {
    return;
  }
  // The scene's view, copied rather than shared: whoever sets cameras of
  // its own on the window's renderers for a while (vtkWindowToImageFilter
  // does) finds this renderer's own camera where it put it.
  this->GetActiveCamera()->DeepCopy(scene->GetActiveCamera());
  this->SetViewport(scene->GetViewport());
  this->Superclass::Render();
}
