#include "orviEdges.h"
#include "orviSurfaceMapper.h"

#include "vtkKivMainPass.h"

#include "vtkActor.h"
#include "vtkArrayDispatch.h"
#include "vtkCallbackCommand.h"
#include "vtkCamera.h"
#include "vtkCellArray.h"
#include "vtkDataArrayRange.h"
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
#include <cstdint>
#include <cstring>
#include <numeric>

namespace orvi
{

namespace
{
// Each polygon's size, the square root of its area (a fan of triangles
// from its first point), read through the points' own type.
struct PolygonSizes
{
  template <typename Points>
  void operator()(Points* points, vtkCellArray* polys, std::vector<float>& sizes) const
  {
    const auto xyz = vtk::DataArrayTupleRange<3>(points);
    sizes.resize(static_cast<size_t>(polys->GetNumberOfCells()));
    vtkIdType npts = 0;
    const vtkIdType* ids = nullptr;
    for (vtkIdType f = 0; f < polys->GetNumberOfCells(); ++f)
    {
      polys->GetCellAtId(f, npts, ids);
      if (npts < 3)
      {
        sizes[f] = 0.0F;
        continue;
      }
      double normal[3] = { 0.0, 0.0, 0.0 };
      const auto a = xyz[ids[0]];
      for (vtkIdType k = 1; k + 1 < npts; ++k)
      {
        const auto b = xyz[ids[k]];
        const auto c = xyz[ids[k + 1]];
        double ab[3], ac[3], n[3];
        for (int i = 0; i < 3; ++i)
        {
          ab[i] = static_cast<double>(b[i]) - static_cast<double>(a[i]);
          ac[i] = static_cast<double>(c[i]) - static_cast<double>(a[i]);
        }
        vtkMath::Cross(ab, ac, n);
        vtkMath::Add(normal, n, normal);
      }
      sizes[f] = static_cast<float>(std::sqrt(0.5 * vtkMath::Norm(normal)));
    }
  }
};

std::vector<float> FaceSizes(vtkPolyData* surface)
{
  std::vector<float> sizes;
  vtkDataArray* points = surface->GetPoints() ? surface->GetPoints()->GetData() : nullptr;
  if (points && points->GetNumberOfComponents() == 3 &&
    !vtkArrayDispatch::Dispatch::Execute(points, PolygonSizes(), surface->GetPolys(), sizes))
  {
    PolygonSizes()(points, surface->GetPolys(), sizes);
  }
  sizes.resize(static_cast<size_t>(surface->GetPolys()->GetNumberOfCells()), 0.0F);
  return sizes;
}

// The faces in descending order of size, those of the same size in their
// own order: a radix sort of the sizes' bits (a positive float's bits sort
// as it does), a byte at a time.
std::vector<uint32_t> LargestFirst(const std::vector<float>& sizes)
{
  std::vector<uint64_t> keyed(sizes.size()), other(sizes.size());
  for (size_t f = 0; f < sizes.size(); ++f)
  {
    uint32_t bits = 0;
    std::memcpy(&bits, &sizes[f], sizeof(bits));
    keyed[f] = (uint64_t(~bits) << 32) | f; // descending sizes ascend
  }
  for (int shift = 32; shift < 64; shift += 8)
  {
    size_t first[257] = {};
    for (const uint64_t k : keyed)
    {
      ++first[((k >> shift) & 0xFF) + 1];
    }
    std::partial_sum(first, first + 257, first);
    for (const uint64_t k : keyed)
    {
      other[first[(k >> shift) & 0xFF]++] = k;
    }
    keyed.swap(other);
  }
  std::vector<uint32_t> order(sizes.size());
  for (size_t k = 0; k < keyed.size(); ++k)
  {
    order[k] = static_cast<uint32_t>(keyed[k]);
  }
  return order;
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
  const std::vector<float> sizes = FaceSizes(surface);
  this->Order = LargestFirst(sizes);
  this->Sizes.resize(this->Order.size());
  for (size_t k = 0; k < this->Order.size(); ++k)
  {
    this->Sizes[k] = sizes[this->Order[k]];
  }
  // The faces' points in that order, copied as far as faces are shown.
  this->Offsets.assign(1, 0);
  this->Connectivity.clear();
  this->Connectivity.reserve(static_cast<size_t>(polys->GetNumberOfConnectivityIds()));
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
  vtkCellArray* faces = this->Surface->GetPolys();
  for (auto k = static_cast<vtkIdType>(this->Offsets.size()) - 1; k < count; ++k)
  {
    vtkIdType npts = 0;
    const vtkIdType* ids = nullptr;
    faces->GetCellAtId(this->Order[static_cast<size_t>(k)], npts, ids);
    this->Connectivity.insert(this->Connectivity.end(), ids, ids + npts);
    this->Offsets.push_back(static_cast<vtkIdType>(this->Connectivity.size()));
  }
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
