#include "vtkMervoInteractor.h"

#include "vtkActor.h"
#include "vtkAreaPicker.h"
#include "vtkBoundingBox.h"
#include "vtkCamera.h"
#include "vtkCellPicker.h"
#include "vtkCommand.h"
#include "vtkDataSet.h"
#include "vtkGlyph3D.h"
#include "vtkKivGuardedStyle.h"
#include "vtkKivNavigationSetup.h"
#include "vtkKivRubberBand.h"
#include "vtkKivSharedHandlers.h"
#include "vtkMath.h"
#include "vtkMatrix4x4.h"
#include "vtkObjectFactory.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"
#include "vtkShaderProperty.h"
#include "vtkSphereSource.h"
#include "vtkTransform.h"
#include "vtkUnsignedCharArray.h"
#include "vtkWeakPointer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

vtkStandardNewMacro(vtkMervoInteractor);

namespace
{
// The rotation centre usually lies inside the model (the focal point of a
// fitted view) or on its surface, where the surfaces in front would hide the
// marker or half of it. Its fragments keep a thousandth of their depth: in
// front of every surface, whatever the depth it was drawn at (a thousandth
// of the depth range covers only what lies right behind the near plane),
// while the sphere still hides its own back. Replacing the fragment shader's
// depth stage also drops the coincident-topology offset VTK would put there.
// The marker is not pickable, so hardware selections never draw it.
void ShowOverTheScene(vtkActor* marker)
{
  marker->GetShaderProperty()->AddFragmentShaderReplacement(
    "//VTK::Depth::Impl", true, "gl_FragDepth = gl_FragCoord.z * 0.001;\n", false);
}
} // namespace

//------------------------------------------------------------------------------
vtkMervoInteractor::vtkMervoInteractor()
  : ActorsPrepared(false)
  , RotationCenter{ 0.0, 0.0, 0.0 }
  , RotationMarkerScale(2.0)
  , ShowDebugActors(false)
  , DebugSphereScale(0.005)
{
  this->Picker = vtkKivNavigationSetup::MakeFlyPicker();
  this->StartPosition[0] = this->StartPosition[1] = 0;
  this->EndPosition[0] = this->EndPosition[1] = 0;
  this->PixelArray = vtkSmartPointer<vtkUnsignedCharArray>::New();
  this->Band =
    std::make_unique<vtkKivRubberBand>(this->StartPosition, this->EndPosition, this->PixelArray);
  vtkKivNavigationSetup::InstallTDxStyle(this);
}

//------------------------------------------------------------------------------
vtkMervoInteractor::~vtkMervoInteractor()
{
  // Release in reverse order of declaration. The marker actors stay in the
  // renderer they were added to, which holds them.
  this->Band = nullptr;
  this->PixelArray = nullptr;
  this->DebugActor = nullptr;
  this->DebugMapper = nullptr;
  this->DebugPoints = nullptr;
  this->DebugGlyph = nullptr;
  this->DebugSphereSource = nullptr;
  this->RotationPointActor = nullptr;
  this->SphereMapper = nullptr;
  this->SphereSource = nullptr;
  this->Picker = nullptr;
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
}

//------------------------------------------------------------------------------
// Rotation centre and marker
//------------------------------------------------------------------------------
void vtkMervoInteractor::SetRotationCenter(double center[3])
{
  std::copy_n(center, 3, this->RotationCenter);
  if (this->RotationPointActor)
  {
    this->RotationPointActor->SetPosition(this->RotationCenter);
  }
}

//------------------------------------------------------------------------------
double* vtkMervoInteractor::GetRotationCenter()
{
  return this->RotationCenter;
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::GetRotationCenter(double center[3])
{
  std::copy_n(this->RotationCenter, 3, center);
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::SetRotationMarkerScale(double scale)
{
  this->RotationMarkerScale = scale;
  this->ScaleSphereSource();
}

//------------------------------------------------------------------------------
double vtkMervoInteractor::GetRotationMarkerScale() const
{
  return this->RotationMarkerScale;
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::ScaleSphereSource()
{
  if (this->SphereSource)
  {
    this->SphereSource->SetRadius(this->RotationMarkerScale);
  }
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::SetShowDebugActors(bool show)
{
  if (this->ShowDebugActors != show)
  {
    this->ShowDebugActors = show;
    this->Modified();
  }
}

//------------------------------------------------------------------------------
bool vtkMervoInteractor::GetShowDebugActors()
{
  return this->ShowDebugActors;
}

//------------------------------------------------------------------------------
vtkActor* vtkMervoInteractor::GetRotationPointActor() const
{
  return this->RotationPointActor;
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::PrepareRotationPointActor()
{
  if (this->ActorsPrepared)
  {
    return;
  }
  if (!this->CurrentRenderer)
  {
    vtkWarningMacro(<< "Cannot prepare rotation point actor, no renderer");
    return;
  }

  this->SphereSource = vtkSmartPointer<vtkSphereSource>::New();
  this->SphereSource->SetRadius(this->RotationMarkerScale);
  this->SphereMapper = vtkSmartPointer<vtkPolyDataMapper>::New();
  this->SphereMapper->SetInputConnection(this->SphereSource->GetOutputPort());

  this->CurrentRenderer->GetActiveCamera()->GetFocalPoint(this->RotationCenter);

  this->RotationPointActor = vtkSmartPointer<vtkActor>::New();
  this->RotationPointActor->SetMapper(this->SphereMapper);
  this->RotationPointActor->SetPosition(this->RotationCenter);
  this->RotationPointActor->SetPickable(0);
  this->RotationPointActor->GetProperty()->SetColor(1.0, 0.0, 0.0);

  this->DebugSphereScale = 0.005;
  this->DebugSphereSource = vtkSmartPointer<vtkSphereSource>::New();
  this->DebugGlyph = vtkSmartPointer<vtkGlyph3D>::New();
  this->DebugPoints = vtkSmartPointer<vtkPolyData>::New();
  this->DebugGlyph->SetInputData(this->DebugPoints);
  this->DebugGlyph->SetSourceConnection(0, this->DebugSphereSource->GetOutputPort());
  this->DebugMapper = vtkSmartPointer<vtkPolyDataMapper>::New();
  this->DebugMapper->SetInputConnection(this->DebugGlyph->GetOutputPort());
  this->DebugActor = vtkSmartPointer<vtkActor>::New();
  this->DebugActor->SetMapper(this->DebugMapper);
  this->DebugActor->SetPickable(0);
  this->DebugActor->GetProperty()->SetColor(1.0, 1.0, 0.0);
  this->DebugActor->VisibilityOff();

  ShowOverTheScene(this->RotationPointActor);
  this->CurrentRenderer->AddActor(this->RotationPointActor);
  this->CurrentRenderer->AddActor(this->DebugActor);
  this->RotationPointActor->VisibilityOff();
  this->ActorsPrepared = true;
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::FindPokedRenderer(int x, int y)
{
  if (!this->Interactor)
  {
    return;
  }
  this->vtkInteractorStyle::FindPokedRenderer(x, y);
  if (!this->ActorsPrepared)
  {
    this->PrepareRotationPointActor();
  }
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::FindRotationCenter()
{
  if (!this->ActorsPrepared)
  {
    this->PrepareRotationPointActor();
  }
  if (!this->RotationPointActor || !this->Interactor)
  {
    return;
  }
  const int* position = this->Interactor->GetEventPosition();
  const int x = position[0];
  const int y = position[1];
  this->FindPokedRenderer(x, y);
  if (!this->CurrentRenderer)
  {
    return;
  }
  this->Picker->Pick(x, y, 0.0, this->CurrentRenderer);
  this->Picker->GetPickPosition(this->RotationCenter);
  this->RotationPointActor->SetPosition(this->RotationCenter);
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::Rotate()
{
  if (!this->CurrentRenderer || !this->Interactor)
  {
    return;
  }
  if (!this->ActorsPrepared)
  {
    this->PrepareRotationPointActor();
  }
  vtkRenderWindowInteractor* rwi = this->Interactor;
  const int dx = rwi->GetEventPosition()[0] - rwi->GetLastEventPosition()[0];
  const int dy = rwi->GetEventPosition()[1] - rwi->GetLastEventPosition()[1];
  // A renderer the host removed from its window has no window size to
  // scale the motion by.
  vtkRenderWindow* window = this->CurrentRenderer->GetRenderWindow();
  if (!window)
  {
    return;
  }
  const int* size = window->GetSize();
  if (size[0] <= 0 || size[1] <= 0)
  {
    return;
  }
  const double azimuth = dx * (-20.0 / size[0]) * this->MotionFactor;
  const double elevation = dy * (-20.0 / size[1]) * this->MotionFactor;

  vtkCamera* camera = this->CurrentRenderer->GetActiveCamera();
  double focal[3];
  double position[3];
  double viewUp[3];
  camera->GetFocalPoint(focal);
  camera->GetPosition(position);
  camera->GetViewUp(viewUp);
  // The camera's leftward direction, read from the model-view matrix before
  // the camera moves (minus its first row, the camera's x axis in world).
  vtkMatrix4x4* modelView = camera->GetModelViewTransformMatrix();
  const double left[3] = {
    -modelView->GetElement(0, 0), -modelView->GetElement(0, 1), -modelView->GetElement(0, 2)
  };
  const double* c = this->RotationCenter;

  // Both turns go through the rotation centre: q -> c + R (q - c).
  vtkNew<vtkTransform> turn;
  turn->Translate(c[0], c[1], c[2]);
  turn->RotateWXYZ(azimuth, viewUp);
  turn->Translate(-c[0], -c[1], -c[2]);
  turn->TransformPoint(focal, focal);
  turn->TransformPoint(position, position);

  turn->Identity();
  turn->Translate(c[0], c[1], c[2]);
  turn->RotateWXYZ(elevation, left);
  turn->Translate(-c[0], -c[1], -c[2]);
  turn->TransformPoint(focal, focal);
  turn->TransformPoint(position, position);

  camera->SetPosition(position);
  camera->SetFocalPoint(focal);
  camera->OrthogonalizeViewUp();

  if (this->AutoAdjustCameraClippingRange)
  {
    this->CurrentRenderer->ResetCameraClippingRange();
  }
  if (rwi->GetLightFollowCamera())
  {
    this->CurrentRenderer->UpdateLightsGeometryToFollowCamera();
  }
  rwi->Render();
}

//------------------------------------------------------------------------------
// Mouse handling, pick and fly
//------------------------------------------------------------------------------
void vtkMervoInteractor::OnChar()
{
  vtkKivSharedHandlers::SwallowKey(this);
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::OnTimer()
{
  this->TimerId =
    vtkKivSharedHandlers::OnAnimationTimer(this, this->AnimState, this->TimerId, *this->Flight);
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::OnMouseMove()
{
  if (!this->Interactor)
  {
    return;
  }
  const int state = this->State;
  if (vtkKivSharedHandlers::MovesCamera(state))
  {
    this->PokeRendererAtEvent();
    vtkKivSharedHandlers::MoveCamera(this);
    ++this->Moved;
    this->InvokeEvent(vtkCommand::InteractionEvent, nullptr);
  }
  else if (state == VTKIS_KIV_BOXZOOM && ++this->Moved >= vtkKivRubberBand::FirstMotion)
  {
    this->BoxSelect();
  }
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::StartPick()
{
  vtkKivSharedHandlers::StartPick(this);
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::EndPick()
{
  vtkKivSharedHandlers::EndPick(this);
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::Pick()
{
  if (vtkRenderer* renderer = this->PokeRendererAtEvent())
  {
    this->PropPicked = vtkKivSharedHandlers::PickProp(this->Interactor, renderer);
  }
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::Fly()
{
  vtkRenderer* renderer = this->PokeRendererAtEvent();
  if (!renderer)
  {
    return;
  }
  // After the flight, or at once over empty background: the focal point
  // becomes the rotation centre.
  vtkWeakPointer<vtkRenderer> flown = renderer;
  auto centre = [this, flown]()
  {
    if (!flown)
    {
      return;
    }
    flown->GetActiveCamera()->GetFocalPoint(this->RotationCenter);
    if (this->RotationPointActor)
    {
      this->RotationPointActor->SetPosition(this->RotationCenter);
    }
  };
  vtkKivSharedHandlers::Fly(this, this->AnimState, this->Picker, *this->Flight, centre);
}

//------------------------------------------------------------------------------
// Rubber band
//------------------------------------------------------------------------------
void vtkMervoInteractor::StartBoxZoom()
{
  if (this->Band->Start(this->Interactor))
  {
    this->State = VTKIS_KIV_BOXZOOM;
  }
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::BoxSelect()
{
  this->Band->Draw(this->Interactor);
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::EndBoxZoom()
{
  this->StopState();
}

//------------------------------------------------------------------------------
// Box zoom
//------------------------------------------------------------------------------
void vtkMervoInteractor::GetBoundingBoxCorners(const vtkBoundingBox& box, double corners[8][3])
{
  const double* minPoint = box.GetMinPoint();
  const double* maxPoint = box.GetMaxPoint();
  for (int k = 0; k < 8; ++k)
  {
    corners[k][0] = (k & 4) ? maxPoint[0] : minPoint[0];
    corners[k][1] = (k & 2) ? maxPoint[1] : minPoint[1];
    corners[k][2] = (k & 1) ? maxPoint[2] : minPoint[2];
  }
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::GetBoundingBoxCorners(const vtkBoundingBox& box,
  std::vector<Point>& corners)
{
  double rows[8][3];
  this->GetBoundingBoxCorners(box, rows);
  corners.clear();
  for (const auto& row : rows)
  {
    corners.push_back({ row[0], row[1], row[2] });
  }
}

//------------------------------------------------------------------------------
namespace
{
// The band's corners in the order (xa, ya), (xa, yb), (xb, ya), (xb, yb).
std::array<std::array<double, 2>, 4> BandCorners(const int start[2], const int end[2])
{
  const double xa = std::min(start[0], end[0]);
  const double xb = std::max(start[0], end[0]);
  const double ya = std::min(start[1], end[1]);
  const double yb = std::max(start[1], end[1]);
  return { { { xa, ya }, { xa, yb }, { xb, ya }, { xb, yb } } };
}
} // namespace

//------------------------------------------------------------------------------
void vtkMervoInteractor::GetSelectedPoints(std::vector<Point>& points, Point& center)
{
  if (!this->CurrentRenderer)
  {
    return;
  }
  const size_t first = points.size();
  for (const auto& corner : BandCorners(this->StartPosition, this->EndPosition))
  {
    this->Picker->Pick(corner[0], corner[1], 0.0, this->CurrentRenderer);
    double p[3];
    this->Picker->GetPickPosition(p);
    if (this->Picker->GetDataSet())
    {
      points.push_back({ p[0], p[1], p[2] });
    }
  }
  if (points.size() == first)
  {
    vtkNew<vtkAreaPicker> areaPicker;
    areaPicker->AreaPick(this->StartPosition[0],
      this->StartPosition[1],
      this->EndPosition[0],
      this->EndPosition[1],
      this->CurrentRenderer);
    vtkDataSet* data = areaPicker->GetDataSet();
    if (!data)
    {
      return;
    }
    double rows[8][3];
    this->GetBoundingBoxCorners(vtkBoundingBox(data->GetBounds()), rows);
    for (const auto& row : rows)
    {
      points.push_back({ row[0], row[1], row[2] });
    }
  }
  double sum[3] = { 0.0, 0.0, 0.0 };
  for (const Point& p : points)
  {
    sum[0] += p.x;
    sum[1] += p.y;
    sum[2] += p.z;
  }
  const double n = static_cast<double>(points.size());
  center = { sum[0] / n, sum[1] / n, sum[2] / n };
}

//------------------------------------------------------------------------------
vtkBoundingBox vtkMervoInteractor::GetSelectionBoundingBox()
{
  // The box of the gathered points: the corner hits, or the eight corners
  // of the area-picked data set's bounds.
  std::vector<Point> points;
  Point center{ 0.0, 0.0, 0.0 };
  this->GetSelectedPoints(points, center);
  vtkBoundingBox box;
  for (const Point& p : points)
  {
    box.AddPoint(p.x, p.y, p.z);
  }
  return box;
}

//------------------------------------------------------------------------------
std::vector<vtkMervoInteractor::Point> vtkMervoInteractor::CenterOnSelectedPoints()
{
  std::vector<Point> points;
  Point center{ 0.0, 0.0, 0.0 };
  this->GetSelectedPoints(points, center);
  if (points.empty())
  {
    return points;
  }
  if (this->ShowDebugActors && this->DebugPoints)
  {
    vtkNew<vtkPoints> coordinates;
    coordinates->SetDataTypeToDouble();
    for (const Point& p : points)
    {
      coordinates->InsertNextPoint(p.x, p.y, p.z);
    }
    this->DebugPoints->SetPoints(coordinates);
    this->DebugActor->VisibilityOn();
  }
  vtkCamera* camera = this->CurrentRenderer->GetActiveCamera();
  double n[3];
  camera->GetDirectionOfProjection(n);
  const double d = camera->GetDistance();
  camera->SetFocalPoint(center.x, center.y, center.z);
  camera->SetPosition(center.x - d * n[0], center.y - d * n[1], center.z - d * n[2]);
  return points;
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::BoxZoom()
{
  // The zoom works in the renderer under the pointer (both algorithms look
  // it up), so choose the algorithm by that renderer's camera too. This also
  // serves a host whose first interaction is a box zoom, when no renderer
  // has been current yet.
  if (this->Interactor)
  {
    const int* position = this->Interactor->GetEventPosition();
    this->FindPokedRenderer(position[0], position[1]);
  }
  if (!this->CurrentRenderer)
  {
    return;
  }
  if (this->CurrentRenderer->GetActiveCamera()->GetParallelProjection())
  {
    this->BoxZoomParallel();
  }
  else
  {
    this->BoxZoomProjection();
  }
}

//------------------------------------------------------------------------------
vtkRenderer* vtkMervoInteractor::PokeRendererAtEvent()
{
  // FindPokedRenderer() at the event position: VTK's lookup, then the
  // markers.
  vtkRenderer* renderer = PokedRenderer(this);
  if (this->Interactor && !this->ActorsPrepared)
  {
    this->PrepareRotationPointActor();
  }
  return renderer;
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::BoxZoomParallel()
{
  if (!this->PokeRendererAtEvent())
  {
    return;
  }
  const int w = std::abs(this->EndPosition[0] - this->StartPosition[0]);
  const int h = std::abs(this->EndPosition[1] - this->StartPosition[1]);
  const int* size = this->CurrentRenderer->GetSize();
  const double viewW = size[0];
  const double viewH = size[1];
  vtkCamera* camera = this->CurrentRenderer->GetActiveCamera();
  double bounds[6];
  this->CurrentRenderer->ComputeVisiblePropBounds(bounds);

  const std::vector<Point> points = this->CenterOnSelectedPoints();
  if (points.empty())
  {
    return;
  }

  double lo[2] = { std::numeric_limits<double>::max(), std::numeric_limits<double>::max() };
  double hi[2] = { std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest() };
  for (const Point& p : points)
  {
    double display[3];
    vtkInteractorObserver::ComputeWorldToDisplay(this->CurrentRenderer, p.x, p.y, p.z, display);
    for (int i = 0; i < 2; ++i)
    {
      lo[i] = std::min(lo[i], display[i]);
      hi[i] = std::max(hi[i], display[i]);
    }
  }
  double dx = hi[0] - lo[0];
  double dy = hi[1] - lo[1];
  if (dx == 0.0)
  {
    dx = w;
  }
  if (dy == 0.0)
  {
    dy = h;
  }
  const double rx = dx / viewW;
  const double ry = dy / viewH;
  const double scale = camera->GetParallelScale();
  const double newScale = dy > dx ? scale * ry : scale * rx;
  if (scale > newScale)
  {
    camera->SetParallelScale(newScale);
  }
  if (this->ShowDebugActors && this->DebugSphereSource)
  {
    this->DebugSphereSource->SetRadius(camera->GetDistance() * this->DebugSphereScale);
  }
  this->CurrentRenderer->ResetCameraClippingRange(bounds);
}

//------------------------------------------------------------------------------
void vtkMervoInteractor::BoxZoomProjection()
{
  if (!this->PokeRendererAtEvent())
  {
    return;
  }
  const int* size = this->CurrentRenderer->GetSize();
  if (size[1] == 0)
  {
    return;
  }
  const double aspect = static_cast<double>(size[0]) / size[1];
  vtkCamera* camera = this->CurrentRenderer->GetActiveCamera();

  const std::vector<Point> points = this->CenterOnSelectedPoints();
  if (points.empty())
  {
    return;
  }

  double p[3];
  double u[3];
  double n[3];
  double r[3];
  camera->GetPosition(p);
  camera->GetViewUp(u);
  camera->GetDirectionOfProjection(n);
  vtkMath::Cross(n, u, r);
  double range[2];
  camera->GetClippingRange(range);
  vtkMatrix4x4* projection = camera->GetProjectionTransformMatrix(aspect, range[0], range[1]);
  const double m00 = projection->GetElement(0, 0);
  const double m11 = projection->GetElement(1, 1);

  double t = std::numeric_limits<double>::max();
  for (const Point& q : points)
  {
    const double v[3] = { q.x - p[0], q.y - p[1], q.z - p[2] };
    const double a = std::abs(vtkMath::Dot(v, r) * m00);
    const double b = std::abs(vtkMath::Dot(v, u) * m11);
    const double e = vtkMath::Dot(v, n);
    t = std::min({ t, e - a, e - b });
  }
  if (this->ShowDebugActors && this->DebugSphereSource)
  {
    this->DebugSphereSource->SetRadius(t * this->DebugSphereScale);
  }
  // A point straight ahead gives t equal to the distance, up to rounding;
  // moving by that much would put the camera onto its focal point.
  const double distance = camera->GetDistance();
  if (t >= distance * (1.0 - 1e-9))
  {
    return;
  }
  double bounds[6];
  this->CurrentRenderer->ComputeVisiblePropBounds(bounds);
  camera->GetPosition(p);
  camera->GetDirectionOfProjection(n);
  camera->SetPosition(p[0] + t * n[0], p[1] + t * n[1], p[2] + t * n[2]);
  this->CurrentRenderer->ResetCameraClippingRange(bounds);
}
