#include "orviEdges.h"

#include "vtkKivMainPass.h"

#include "vtkActor.h"
#include "vtkAlgorithmOutput.h"
#include "vtkCallbackCommand.h"
#include "vtkCamera.h"
#include "vtkCellArray.h"
#include "vtkInformation.h"
#include "vtkInformationIntegerKey.h"
#include "vtkMath.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderer.h"

#include <cmath>

namespace orvi
{

namespace
{
// The mean length of the edges of the surface's polygons (an edge shared by
// two polygons counts twice, as it is drawn twice).
double MeanEdgeLength(vtkPolyData* surface)
{
  vtkCellArray* polys = surface->GetPolys();
  vtkPoints* points = surface->GetPoints();
  double length = 0.0;
  vtkIdType edges = 0;
  vtkIdType npts = 0;
  const vtkIdType* ids = nullptr;
  for (polys->InitTraversal(); polys->GetNextCell(npts, ids);)
  {
    for (vtkIdType k = 0; k < npts; ++k)
    {
      double a[3], b[3];
      points->GetPoint(ids[k], a);
      points->GetPoint(ids[(k + 1) % npts], b);
      length += std::sqrt(vtkMath::Distance2BetweenPoints(a, b));
    }
    edges += npts;
  }
  return edges > 0 ? length / static_cast<double>(edges) : 0.0;
}
} // namespace

EdgeOverlay::EdgeOverlay()
{
  this->StartRender->SetCallback(&EdgeOverlay::StartRenderCallback);
  this->StartRender->SetClientData(this);
}

EdgeOverlay::~EdgeOverlay()
{
  if (this->Renderer)
  {
    this->Renderer->RemoveObserver(this->StartRender);
    this->Renderer->RemoveActor(this->Actor);
  }
}

void EdgeOverlay::Attach(vtkAlgorithmOutput* port,
  vtkPolyData* surface,
  vtkRenderer* renderer,
  EdgeMode mode)
{
  this->EdgeLength = MeanEdgeLength(surface);
  this->Renderer = renderer;

  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputConnection(port);
  mapper->ScalarVisibilityOff();
  this->Actor->SetMapper(mapper);
  this->Actor->GetProperty()->SetRepresentationToWireframe();
  this->Actor->GetProperty()->SetColor(0.05, 0.05, 0.08);
  this->Actor->GetProperty()->LightingOff();
  this->Actor->PickableOff();
  vtkNew<vtkInformation> keys;
  keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
  this->Actor->SetPropertyKeys(keys);
  renderer->AddActor(this->Actor);
  this->SetMode(mode);
}

void EdgeOverlay::SetMode(EdgeMode mode)
{
  this->Mode = mode;
  this->Actor->SetVisibility(mode != EdgeMode::Off);
  if (!this->Renderer)
  {
    return;
  }
  // Auto decides before every render, from the camera of that render.
  this->Renderer->RemoveObserver(this->StartRender);
  if (mode == EdgeMode::Auto)
  {
    this->Renderer->AddObserver(vtkCommand::StartEvent, this->StartRender);
  }
}

double EdgeOverlay::EdgePixels() const
{
  if (!this->Renderer)
  {
    return 0.0;
  }
  vtkCamera* camera = this->Renderer->GetActiveCamera();
  const double height = this->Renderer->GetSize()[1];
  const double worldHeight = camera->GetParallelProjection() ? 2.0 * camera->GetParallelScale()
                                                             : 2.0 * camera->GetDistance() *
      std::tan(0.5 * vtkMath::RadiansFromDegrees(camera->GetViewAngle()));
  return worldHeight > 0.0 ? this->EdgeLength * height / worldHeight : 0.0;
}

bool EdgeOverlay::IsShown() const
{
  return this->Actor->GetVisibility() != 0;
}

void EdgeOverlay::StartRenderCallback(vtkObject*, unsigned long, void* clientData, void*)
{
  auto* self = static_cast<EdgeOverlay*>(clientData);
  self->Actor->SetVisibility(self->EdgePixels() >= MinimumEdgePixels);
}

} // namespace orvi
