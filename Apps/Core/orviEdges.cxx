#include "orviEdges.h"
#include "orviSurfaceMapper.h"

#include "vtkKivMainPass.h"

#include "vtkActor.h"
#include "vtkCallbackCommand.h"
#include "vtkCamera.h"
#include "vtkCellArray.h"
#include "vtkIdTypeArray.h"
#include "vtkInformation.h"
#include "vtkInformationIntegerKey.h"
#include "vtkMath.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderer.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace orvi
{

namespace
{
// The area of a polygon (a fan of triangles from its first point).
double PolygonArea(vtkPoints* points, vtkIdType npts, const vtkIdType* ids)
{
  double normal[3] = { 0.0, 0.0, 0.0 };
  double a[3], b[3], c[3];
  points->GetPoint(ids[0], a);
  for (vtkIdType k = 1; k + 1 < npts; ++k)
  {
    points->GetPoint(ids[k], b);
    points->GetPoint(ids[k + 1], c);
    double ab[3], ac[3], n[3];
    vtkMath::Subtract(b, a, ab);
    vtkMath::Subtract(c, a, ac);
    vtkMath::Cross(ab, ac, n);
    vtkMath::Add(normal, n, normal);
  }
  return 0.5 * vtkMath::Norm(normal);
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
    this->Renderer->RemoveActor(this->LinesActor);
  }
}

void EdgeOverlay::Attach(vtkPolyData* surface, vtkRenderer* renderer, EdgeMode mode)
{
  this->Renderer = renderer;
  this->Edges->Initialize();

  // The faces, largest first: the faces large enough on screen are then
  // always the first ones, and a change of scale only changes their count.
  vtkCellArray* polys = surface->GetPolys();
  const vtkIdType count = polys->GetNumberOfCells();
  std::vector<double> sizes(static_cast<size_t>(count));
  {
    vtkIdType npts = 0;
    const vtkIdType* ids = nullptr;
    vtkIdType i = 0;
    for (polys->InitTraversal(); polys->GetNextCell(npts, ids); ++i)
    {
      sizes[i] = npts >= 3 ? std::sqrt(PolygonArea(surface->GetPoints(), npts, ids)) : 0.0;
    }
  }
  std::vector<vtkIdType> order(sizes.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(
    order.begin(), order.end(), [&sizes](vtkIdType a, vtkIdType b) { return sizes[a] > sizes[b]; });
  this->Sizes.resize(order.size());
  this->Offsets.assign(1, 0);
  this->Connectivity.clear();
  this->Connectivity.reserve(static_cast<size_t>(polys->GetNumberOfConnectivityIds()));
  for (size_t k = 0; k < order.size(); ++k)
  {
    this->Sizes[k] = sizes[order[k]];
    vtkIdType npts = 0;
    const vtkIdType* ids = nullptr;
    polys->GetCellAtId(order[k], npts, ids);
    this->Connectivity.insert(this->Connectivity.end(), ids, ids + npts);
    this->Offsets.push_back(static_cast<vtkIdType>(this->Connectivity.size()));
  }
  this->Edges->SetPoints(surface->GetPoints());
  this->Shown = -1;

  this->Surface = surface;
  this->Mapper->ScalarVisibilityOff();
  this->Actor->SetMapper(this->Mapper);
  this->Actor->GetProperty()->SetRepresentationToWireframe();
  this->Actor->GetProperty()->SetColor(0.05, 0.05, 0.08);
  this->Actor->GetProperty()->LightingOff();
  this->Actor->PickableOff();
  vtkNew<vtkInformation> keys;
  keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
  this->Actor->SetPropertyKeys(keys);
  renderer->AddActor(this->Actor);

  // Lines and vertices among faces (such as the curves and corners of a
  // geometry written beside its mesh) would take the faces' colours and
  // vanish into them: they are drawn over the faces in a colour of their own.
  if (count > 0 && (surface->GetNumberOfLines() > 0 || surface->GetNumberOfVerts() > 0))
  {
    vtkNew<vtkPolyData> wires;
    wires->SetPoints(surface->GetPoints());
    wires->SetLines(surface->GetLines());
    wires->SetVerts(surface->GetVerts());
    vtkNew<vtkPolyDataMapper> wireMapper;
    wireMapper->SetInputData(wires);
    wireMapper->ScalarVisibilityOff();
    this->LinesActor->SetMapper(wireMapper);
    this->LinesActor->GetProperty()->SetColor(LineColor[0], LineColor[1], LineColor[2]);
    this->LinesActor->GetProperty()->SetLineWidth(2.0f);
    this->LinesActor->GetProperty()->SetPointSize(5.0f);
    this->LinesActor->GetProperty()->LightingOff();
    this->LinesActor->PickableOff();
    this->LinesActor->SetPropertyKeys(keys); // drawn whole over the faces
    renderer->AddActor(this->LinesActor);
  }
  this->SetMode(mode);
}

void EdgeOverlay::SetVisible(bool visible)
{
  this->Visible = visible;
  this->LinesActor->SetVisibility(visible);
  this->SetMode(this->Mode);
}

void EdgeOverlay::SetMode(EdgeMode mode)
{
  this->Mode = mode;
  this->Actor->SetVisibility(this->Visible && mode != EdgeMode::Off && this->FaceCount() > 0);
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
  else
  {
    this->ShowFaces(this->FaceCount());
  }
}

void EdgeOverlay::ShowFaces(vtkIdType count)
{
  if (count == this->Shown)
  {
    return;
  }
  this->Shown = count;
  // Every face: the wireframe of the surface's own poly data, which the main
  // pass pairs with the surface actor and draws as VTK draws edges on a
  // surface. Some faces: their own poly data, which the pass draws over the
  // surface as a prop of its own.
  if (count >= this->FaceCount())
  {
    this->Mapper->SetInputData(this->Surface);
    return;
  }
  this->Mapper->SetInputData(this->Edges);
  vtkNew<vtkIdTypeArray> offsets, connectivity;
  offsets->SetArray(this->Offsets.data(), count + 1, 1);
  connectivity->SetArray(this->Connectivity.data(), this->Offsets[count], 1);
  vtkNew<vtkCellArray> polys;
  polys->SetData(offsets, connectivity);
  this->Edges->SetPolys(polys);
}

double EdgeOverlay::PixelsPerUnit() const
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
  return worldHeight > 0.0 ? height / worldHeight : 0.0;
}

vtkIdType EdgeOverlay::ShownFaces() const
{
  return this->Actor->GetVisibility() ? std::max<vtkIdType>(this->Shown, 0) : 0;
}

bool EdgeOverlay::IsShown() const
{
  return this->ShownFaces() > 0;
}

void EdgeOverlay::StartRenderCallback(vtkObject*, unsigned long, void* clientData, void*)
{
  static_cast<EdgeOverlay*>(clientData)->FollowCamera();
}

void EdgeOverlay::FollowCamera()
{
  if (this->Mode != EdgeMode::Auto)
  {
    return;
  }
  EdgeOverlay* self = this;
  const double scale = self->PixelsPerUnit();
  vtkIdType count = 0;
  if (scale > 0.0)
  {
    // The faces spanning enough pixels lead the descending sizes. The
    // threshold moves in steps of a fifth of an octave, so that a dolly
    // rebuilds the edges now and then rather than at every frame.
    const double step = std::pow(2.0, 0.2);
    const double threshold =
      std::pow(step, std::floor(std::log(MinimumCellPixels / scale) / std::log(step)));
    count = std::upper_bound(self->Sizes.begin(),
              self->Sizes.end(),
              threshold,
              [](double value, double size) { return size < value; }) -
      self->Sizes.begin();
  }
  self->Actor->SetVisibility(self->Visible && count > 0);
  self->ShowFaces(count);
}

} // namespace orvi
