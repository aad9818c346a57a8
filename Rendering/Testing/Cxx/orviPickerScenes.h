// Scenes for the area-picker tests whose selected ids can be predicted: a
// parallel camera looking down -z at a plane in the z = 0 plane, with
// 100 display pixels per world unit, so that the cell (i, j) of a plane with
// unit cells covers the pixels [100 i, 100 i + 100] x [100 j, 100 j + 100].
#ifndef orviPickerScenes_h
#define orviPickerScenes_h

#include "orviTestUtils.h"

#include "vtkActor.h"
#include "vtkCamera.h"
#include "vtkIdTypeArray.h"
#include "vtkInformation.h"
#include "vtkNew.h"
#include "vtkPlaneSource.h"
#include "vtkPolyDataMapper.h"
#include "vtkRenderer.h"
#include "vtkSelection.h"
#include "vtkSelectionNode.h"
#include "vtkSelectionPicker.h"
#include "vtkSphereSource.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

namespace orvi_test
{

/// A plane from (x0, y0) to (x1, y1) at height z, with resX x resY cells, in
/// a mapper and an actor. Cell ids run row by row: id = j * resX + i; point
/// ids likewise with resX + 1 points per row.
struct PlaneActor
{
  PlaneActor(double x0, double y0, double x1, double y1, double z, int resX, int resY)
  {
    this->Source->SetOrigin(x0, y0, z);
    this->Source->SetPoint1(x1, y0, z);
    this->Source->SetPoint2(x0, y1, z);
    this->Source->SetResolution(resX, resY);
    this->Source->Update();
    this->Mapper->SetInputConnection(this->Source->GetOutputPort());
    this->Actor->SetMapper(this->Mapper);
  }

  vtkNew<vtkPlaneSource> Source;
  vtkNew<vtkPolyDataMapper> Mapper;
  vtkNew<vtkActor> Actor;
};

/// Parallel camera centred on (fx, fy) looking down -z, 100 pixels per
/// world unit in a viewport 600 pixels high, clipping range 1 to 20 (world
/// z from 9 down to -10).
inline void ParallelView(vtkRenderer* renderer, double fx, double fy)
{
  LookDownZ(renderer->GetActiveCamera(), 10.0, true, 3.0, fx, fy);
  renderer->GetActiveCamera()->SetClippingRange(1.0, 20.0);
}

/// A window showing one plane of 8 x 6 unit cells that fills it (800 x 600),
/// and a picker of the given class.
template <class PickerT>
struct PlanePickerScene : Scene
{
  PlanePickerScene()
  {
    this->Renderer->AddActor(this->Plane.Actor);
    ParallelView(this->Renderer, 4.0, 3.0);
    this->Window->Render();
  }
  PlaneActor Plane{ 0.0, 0.0, 8.0, 6.0, 0.0, 8, 6 };
  vtkNew<PickerT> Picker;
};

/// A unit sphere seen by an oblique perspective camera, rendered: a view in
/// which slips in the camera maths show.
struct ObliqueSphere
{
  ObliqueSphere(Scene& scene, int theta, int phi)
  {
    this->Source->SetThetaResolution(theta);
    this->Source->SetPhiResolution(phi);
    this->Source->Update();
    this->Mapper->SetInputConnection(this->Source->GetOutputPort());
    this->Actor->SetMapper(this->Mapper);
    scene.Renderer->AddActor(this->Actor);
    vtkCamera* camera = scene.Camera();
    camera->SetPosition(1.7, 1.1, 2.3);
    camera->SetFocalPoint(0.1, 0.0, -0.05);
    camera->SetViewUp(0.2, 1.0, -0.1);
    scene.Renderer->ResetCameraClippingRange();
    scene.Window->Render();
  }
  vtkPolyData* Data() { return this->Source->GetOutput(); }
  vtkNew<vtkSphereSource> Source;
  vtkNew<vtkPolyDataMapper> Mapper;
  vtkNew<vtkActor> Actor;
};

/// A selection area (x0, y0, x1, y1) as one value to compare.
inline std::array<double, 4> Area(const double* a)
{
  return { a[0], a[1], a[2], a[3] };
}

/// The ids of a node's selection list, in order.
inline std::vector<vtkIdType> Ids(vtkSelectionNode* node)
{
  std::vector<vtkIdType> ids;
  auto* array = node ? vtkIdTypeArray::SafeDownCast(node->GetSelectionList()) : nullptr;
  for (vtkIdType i = 0; array && i < array->GetNumberOfTuples(); ++i)
  {
    ids.push_back(array->GetValue(i));
  }
  return ids;
}

inline std::set<vtkIdType> IdSet(vtkSelectionNode* node)
{
  auto ids = Ids(node);
  return { ids.begin(), ids.end() };
}

inline vtkObjectBase* PropOf(vtkSelectionNode* node)
{
  return node->GetProperties()->Get(vtkSelectionNode::PROP());
}

inline vtkObjectBase* SourceOf(vtkSelectionNode* node)
{
  return node->GetProperties()->Get(vtkSelectionNode::SOURCE());
}

/// Opens, renders and closes two windows of other sizes, as a host with
/// several views does before the view under test: pixels read outside a
/// framebuffer then hold what earlier windows left rather than zeros.
inline void OpenAndCloseOtherWindows()
{
  for (const auto& size : { std::array<int, 2>{ 1000, 700 }, std::array<int, 2>{ 320, 240 } })
  {
    Scene other(size[0], size[1]);
    PlaneActor plane{ -1.0, -1.0, 9.0, 7.0, 0.0, 10, 8 };
    other.Renderer->AddActor(plane.Actor);
    other.Renderer->SetBackground(0.9, 0.1, 0.3);
    ParallelView(other.Renderer, 4.0, 3.0);
    other.Window->Render();
    other.Window->Finalize();
  }
}

/// The scenes of the window-edge cases, 800 x 600 with coloured
/// backgrounds: one renderer showing a plane over the display pixels
/// 50..350 x 50..550 and one over 450..750 x 50..550, or two renderers side
/// by side (0..399 and 400..799) each showing a plane 50 pixels inside its
/// own borders. No geometry lies within 50 pixels of a renderer's border,
/// so a frustum reaching past the border holds what it holds when clamped.
struct EdgeScene : Scene
{
  explicit EdgeScene(bool sideBySide)
  {
    this->Renderer->SetBackground(0.2, 0.4, 0.6);
    this->Renderers.push_back(this->Renderer);
    if (sideBySide)
    {
      this->Renderer->SetViewport(0.0, 0.0, 0.5, 1.0);
      this->Second->SetViewport(0.5, 0.0, 1.0, 1.0);
      this->Second->SetBackground(0.6, 0.4, 0.2);
      this->Window->AddRenderer(this->Second);
      this->Renderers.push_back(this->Second);
      for (vtkRenderer* renderer : this->Renderers)
      {
        this->Add(renderer, 0.5, 3.5);
        ParallelView(renderer, 2.0, 3.0);
      }
    }
    else
    {
      this->Add(this->Renderer, 0.5, 3.5);
      this->Add(this->Renderer, 4.5, 7.5);
      ParallelView(this->Renderer, 4.0, 3.0);
    }
    this->Window->Render();
  }
  void Add(vtkRenderer* renderer, double x0, double x1)
  {
    this->Planes.push_back(std::make_unique<PlaneActor>(x0, 0.5, x1, 5.5, 0.0, 3, 5));
    renderer->AddActor(this->Planes.back()->Actor);
  }
  vtkNew<vtkRenderer> Second;
  std::vector<vtkRenderer*> Renderers;
  std::vector<std::unique_ptr<PlaneActor>> Planes;
};

/// A rectangle at or past the edges of a renderer, and the same rectangle
/// clamped by hand to the renderer's last pixel (xmin, ymin, xmax, ymax).
/// Props 0: the rectangle covers none of the renderer's pixels.
struct EdgeCase
{
  const char* Name;
  bool SideBySide;
  int Renderer; // index into EdgeScene::Renderers
  std::array<double, 4> Corners;
  std::array<double, 4> Clamped;
  int Props;
};

inline const std::vector<EdgeCase>& EdgeCases()
{
  static const std::vector<EdgeCase> cases{
    { "left edge", false, 0, { -40, 210, 160, 310 }, { 0, 210, 160, 310 }, 1 },
    { "right edge", false, 0, { 860, 210, 690, 310 }, { 690, 210, 799, 310 }, 1 },
    { "bottom edge", false, 0, { 290, -40, 510, 130 }, { 290, 0, 510, 130 }, 2 },
    { "top edge", false, 0, { 290, 470, 510, 640 }, { 290, 470, 510, 599 }, 2 },
    { "bottom left corner", false, 0, { -30, -30, 120, 130 }, { 0, 0, 120, 130 }, 1 },
    { "bottom right corner", false, 0, { 830, -30, 690, 130 }, { 690, 0, 799, 130 }, 1 },
    { "top left corner", false, 0, { -30, 630, 120, 470 }, { 0, 470, 120, 599 }, 1 },
    { "top right corner", false, 0, { 690, 470, 830, 630 }, { 690, 470, 799, 599 }, 1 },
    { "0, 0, W, H", false, 0, { 0, 0, 800, 600 }, { 0, 0, 799, 599 }, 2 },
    { "past both corners", false, 0, { -10, 650, 900, 50 }, { 0, 50, 799, 599 }, 2 },
    { "wholly left", false, 0, { -50, 100, -10, 300 }, {}, 0 },
    { "from x = W", false, 0, { 800, 100, 900, 300 }, {}, 0 },
    { "wholly above", false, 0, { 100, 600, 300, 700 }, {}, 0 },
    { "left of two, into the right", true, 0, { 310, 110, 610, 320 }, { 310, 110, 399, 320 }, 1 },
    { "right of two, into the left", true, 1, { 310, 110, 610, 320 }, { 400, 110, 610, 320 }, 1 },
    { "right of two, 0, 0, W, H", true, 1, { 0, 0, 800, 600 }, { 400, 0, 799, 599 }, 1 },
    { "right of two, over the left", true, 1, { 50, 100, 350, 300 }, {}, 0 },
    { "left of two, from its width", true, 0, { 400, 100, 700, 300 }, {}, 0 },
  };
  return cases;
}

/// A selection node by node: prop, field type, ids in order; the nodes
/// sorted, as the order of props in VTK's pick results may change from one
/// pick to the next.
using NodeContent = std::tuple<vtkObjectBase*, int, std::vector<vtkIdType>>;
inline std::vector<NodeContent> Contents(vtkSelection* selection)
{
  std::vector<NodeContent> contents;
  for (unsigned int i = 0; i < selection->GetNumberOfNodes(); ++i)
  {
    vtkSelectionNode* node = selection->GetNode(i);
    contents.emplace_back(PropOf(node), node->GetFieldType(), Ids(node));
  }
  std::sort(contents.begin(), contents.end());
  return contents;
}

/// Runs every edge case on the picker, after other windows have come and
/// gone: the rectangle's pick equals the pick of the rectangle clamped by
/// hand (count, and node by node prop, field type and ids), every node's
/// prop is a prop of the scene, no prop has two nodes of one field type,
/// and a rectangle covering none of the renderer's pixels finds nothing.
/// afterPick runs right after the rectangle's own AreaPick().
inline void ExpectEdgeCasesPickWhatIsOnScreen(vtkSelectionPicker* picker,
  const std::function<void(const EdgeCase&, vtkRenderer*)>& afterPick)
{
  OpenAndCloseOtherWindows();
  for (bool sideBySide : { false, true })
  {
    EdgeScene scene(sideBySide);
    std::set<vtkObjectBase*> sceneProps;
    picker->InitializePickList();
    for (const auto& plane : scene.Planes)
    {
      sceneProps.insert(plane->Actor.Get());
      picker->AddPickList(plane->Actor);
    }
    for (const EdgeCase& c : EdgeCases())
    {
      if (c.SideBySide != sideBySide)
      {
        continue;
      }
      SCOPED_TRACE(c.Name);
      vtkRenderer* renderer = scene.Renderers[static_cast<size_t>(c.Renderer)];
      std::vector<NodeContent> expected;
      if (c.Props > 0)
      {
        const auto& k = c.Clamped;
        EXPECT_EQ(picker->AreaPick(k[0], k[1], k[2], k[3], renderer), c.Props);
        expected = Contents(picker->GetSelection());
        EXPECT_FALSE(expected.empty());
      }
      const auto& r = c.Corners;
      EXPECT_EQ(picker->AreaPick(r[0], r[1], r[2], r[3], renderer), c.Props);
      afterPick(c, renderer);
      const std::vector<NodeContent> got = Contents(picker->GetSelection());
      EXPECT_EQ(got, expected);
      std::set<std::pair<vtkObjectBase*, int>> seen;
      for (const auto& node : got)
      {
        EXPECT_EQ(sceneProps.count(std::get<0>(node)), 1u) << "a prop not of the scene";
        EXPECT_TRUE(seen.emplace(std::get<0>(node), std::get<1>(node)).second) << "a prop twice";
      }
    }
  }
}

} // namespace orvi_test

#endif
