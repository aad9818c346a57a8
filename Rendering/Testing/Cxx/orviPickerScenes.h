// Scenes for the area-picker tests whose selected ids can be predicted: a
// parallel camera looking down -z at planes (orvi_test::MakePlane) in z = 0,
// with 100 display pixels per world unit, so that the cell (i, j) of a plane
// with unit cells covers the pixels [100 i, 100 i + 100] x [100 j, 100 j + 100].
#ifndef orviPickerScenes_h
#define orviPickerScenes_h

#include "orviTestUtils.h"

#include "vtkFrustumSelectionPicker.h"
#include "vtkIdTypeArray.h"
#include "vtkInformation.h"
#include "vtkOpenGLGPUVolumeRayCastMapper.h"
#include "vtkPiecewiseFunction.h"
#include "vtkSelection.h"
#include "vtkSelectionNode.h"
#include "vtkSphereSource.h"
#include "vtkVolume.h"
#include "vtkVolumeProperty.h"

#include <numeric>
#include <tuple>

namespace orvi_test
{
using A4 = std::array<double, 4>;
using IdList = std::vector<vtkIdType>;

/// The poly data an actor's mapper draws.
inline vtkPolyData* PolyOf(vtkActor* actor)
{
  return vtkPolyData::SafeDownCast(actor->GetMapper()->GetInput());
}

/// Parallel camera centred on (fx, fy) looking down -z, 100 pixels per
/// world unit in a viewport 600 pixels high, clipping range 1 to 20 (world
/// z from 9 down to -10).
inline void ParallelView(vtkRenderer* renderer, double fx, double fy)
{
  LookDownZ(renderer->GetActiveCamera(), 10.0, true, 3.0, fx, fy);
  renderer->GetActiveCamera()->SetClippingRange(1.0, 20.0);
}

/// The props added to the scene's renderer, seen by ParallelView() centred
/// on (fx, fy), rendered.
inline void Show(Scene& scene, std::initializer_list<vtkProp*> props, double fx = 4, double fy = 3)
{
  for (vtkProp* prop : props)
  {
    scene.Renderer->AddViewProp(prop);
  }
  ParallelView(scene.Renderer, fx, fy);
  scene.Window->Render();
}

/// A window showing one plane of 8 x 6 unit cells that fills it (800 x 600),
/// and a picker of the given class.
template <class PickerT>
struct PlanePickerScene : Scene
{
  PlanePickerScene() { Show(*this, { this->Plane }); }
  vtkSmartPointer<vtkActor> Plane = MakePlane(0, 0, 8, 6, 0, 8, 6);
  vtkNew<PickerT> Picker;
};

/// A unit sphere of theta x phi facets seen by an oblique perspective
/// camera, rendered: a view in which slips in the camera maths show. Returns
/// the sphere's poly data.
inline vtkPolyData* ShowObliqueSphere(Scene& scene, int theta, int phi, double viewAngle = 30)
{
  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(theta);
  sphere->SetPhiResolution(phi);
  sphere->Update();
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputData(sphere->GetOutput());
  vtkNew<vtkActor> actor;
  actor->SetMapper(mapper);
  scene.Renderer->AddActor(actor);
  scene.Camera()->SetPosition(1.7, 1.1, 2.3);
  scene.Camera()->SetFocalPoint(0.1, 0.0, -0.05);
  scene.Camera()->SetViewUp(0.2, 1.0, -0.1);
  scene.Camera()->SetViewAngle(viewAngle);
  scene.Renderer->ResetCameraClippingRange();
  scene.Window->Render();
  return sphere->GetOutput();
}

/// A volume of 10^3 opaque voxels over world x 5..7, y 3.5..5.5, z -1..1.
struct VolumeProp
{
  VolumeProp()
  {
    this->Image->SetDimensions(10, 10, 10);
    this->Image->SetOrigin(5.0, 3.5, -1.0);
    this->Image->SetSpacing(2.0 / 9.0, 2.0 / 9.0, 2.0 / 9.0);
    this->Image->AllocateScalars(VTK_UNSIGNED_CHAR, 1);
    std::fill_n(static_cast<unsigned char*>(this->Image->GetScalarPointer()), 1000, 200);
    this->Mapper->SetInputData(this->Image);
    this->Opacity->AddPoint(0.0, 0.0);
    this->Opacity->AddPoint(255.0, 1.0);
    this->Property->SetScalarOpacity(this->Opacity);
    this->Volume->SetMapper(this->Mapper);
    this->Volume->SetProperty(this->Property);
  }
  vtkNew<vtkImageData> Image;
  vtkNew<vtkOpenGLGPUVolumeRayCastMapper> Mapper;
  vtkNew<vtkPiecewiseFunction> Opacity;
  vtkNew<vtkVolumeProperty> Property;
  vtkNew<vtkVolume> Volume;
};

/// Four values (a selection area, a renderer's pick area) as one to compare.
template <class T>
std::array<double, 4> Area(const T* a)
{
  return { 1.0 * a[0], 1.0 * a[1], 1.0 * a[2], 1.0 * a[3] };
}

/// The ids of a node's selection list, in order or sorted.
inline IdList Ids(vtkSelectionNode* node, bool sorted = false)
{
  auto* array = node ? vtkIdTypeArray::SafeDownCast(node->GetSelectionList()) : nullptr;
  IdList ids;
  if (array)
  {
    ids.assign(array->Begin(), array->End());
  }
  if (sorted)
  {
    std::sort(ids.begin(), ids.end());
  }
  return ids;
}

/// The points of `pd` among `ids` (all when empty), in that order, whose
/// display position in renderer `r` lies in the area `a` widened by `t`
/// pixels: the plain per-point test a picker's point ids are checked against.
inline IdList PointsOnScreen(vtkDataSet* pd,
  vtkRenderer* r,
  const double* a,
  double t,
  IdList ids = {})
{
  if (ids.empty())
  {
    ids.resize(static_cast<size_t>(pd->GetNumberOfPoints()));
    std::iota(ids.begin(), ids.end(), 0);
  }
  IdList kept;
  for (vtkIdType id : ids)
  {
    const double* p = pd->GetPoint(id);
    r->SetWorldPoint(p[0], p[1], p[2], 1.0);
    r->WorldToDisplay();
    const double* d = r->GetDisplayPoint();
    if (a[0] - t <= d[0] && a[1] - t <= d[1] && d[0] <= a[2] + t && d[1] <= a[3] + t)
    {
      kept.push_back(id);
    }
  }
  return kept;
}

inline vtkObjectBase* PropOf(vtkSelectionNode* node)
{
  return node->GetProperties()->Get(vtkSelectionNode::PROP());
}

inline vtkObjectBase* SourceOf(vtkSelectionNode* node)
{
  return node->GetProperties()->Get(vtkSelectionNode::SOURCE());
}

/// The frustum picker with the protected pieces of it and of its base the
/// tests look at.
class FrustumProbe : public vtkFrustumSelectionPicker
{
public:
  static FrustumProbe* New() { VTK_STANDARD_NEW_BODY(FrustumProbe); }
  vtkTypeMacro(FrustumProbe, vtkFrustumSelectionPicker);
  using vtkFrustumSelectionPicker::GetSelection;
  using vtkSelectionPicker::ClipToRendererPixels;
  using vtkSelectionPicker::NodeDataSet;
  using vtkSelectionPicker::TagNodeSource;
  using vtkSelectionPicker::TypeDecipher;
  vtkSelection* Frustum() const { return this->FrustumSelection; }
};

/// A selection node by node: field type, content type, prop, source, ids.
using Node = std::tuple<int, int, vtkObjectBase*, vtkObjectBase*, IdList>;
inline std::vector<Node> Nodes(vtkSelection* selection, bool sorted = false)
{
  std::vector<Node> nodes;
  for (unsigned int i = 0; i < selection->GetNumberOfNodes(); ++i)
  {
    vtkSelectionNode* n = selection->GetNode(i);
    nodes.emplace_back(
      n->GetFieldType(), n->GetContentType(), PropOf(n), SourceOf(n), Ids(n, sorted));
  }
  return nodes;
}

} // namespace orvi_test

#endif
