// vtkSelectionPicker's shared pieces, through both concrete pickers: the
// printed fields, the argument checks, what each kind of prop gives a node,
// the field associations and the clip of every pixel read to the renderer.
#include "vtkVisibleSelectionPicker.h"

#include "orviPickerScenes.h"
#include "orviTestUtils.h"

#include "vtkActor2D.h"
#include "vtkImageActor.h"
#include "vtkImageMapper3D.h"
#include "vtkLODProp3D.h"
#include "vtkProperty.h"

#include <limits>
#include <tuple>

using namespace orvi_test;

namespace
{
std::array<vtkSelectionPicker*, 2> Both(vtkSelectionPicker* frustum, vtkSelectionPicker* visible)
{
  return { frustum, visible };
}

} // namespace

// Printed after vtkAbstractPicker's fields. No renderer, a renderer outside
// any window or a corner that is not a number: an error naming the concrete
// picker, 0, the last result untouched; a scene dropped before the selection
// is asked for is not reached.
TEST(SelectionPicker, PrintingAndRefusedPicks)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  vtkNew<vtkFrustumSelectionPicker> frustum;
  vtkNew<vtkVisibleSelectionPicker> visible;
  for (vtkSelectionPicker* picker : Both(frustum, visible))
  {
    SCOPED_TRACE(picker->GetClassName());
    std::ostringstream out;
    picker->Print(out);
    const auto own = out.str().find("\n  Field Association: 3\n  Selection Area: (0, 0, 0, 0)\n");
    EXPECT_NE(own, std::string::npos) << out.str();
    EXPECT_LT(out.str().find("Picking from renderer's prop list"), own);
    unsigned int nodes = 0;
    {
      PlanePickerScene<FrustumProbe> scene;
      picker->AddPickList(scene.Plane);
      ASSERT_EQ(picker->AreaPick(100, 100, 200, 200, scene.Renderer), 1);
      nodes = picker->GetSelection()->GetNumberOfNodes();
      ASSERT_GT(nodes, 0u);
      EventRecorder errors(picker, vtkCommand::ErrorEvent);
      vtkNew<vtkRenderer> loose;
      EXPECT_EQ(picker->Pick(5, 5, 0, nullptr), 0);
      EXPECT_EQ(picker->AreaPick(0, 0, 10, 10, loose), 0);
      for (const A4& r :
        { A4{ nan, 0, 1, 1 }, { 0, nan, 1, 1 }, { 0, 0, inf, 1 }, { 0, 0, 1, -inf } })
      {
        EXPECT_EQ(picker->AreaPick(r[0], r[1], r[2], r[3], scene.Renderer), 0);
      }
      EXPECT_EQ(errors.Count, 6);
      EXPECT_TRUE(errors.Saw(std::string(picker->GetClassName()) +
        "::AreaPick needs a renderer that belongs to a render window; nothing picked."));
      EXPECT_TRUE(errors.Saw("AreaPick needs finite corner coordinates; nothing picked."));
      EXPECT_EQ(Area(picker->GetSelectionArea()), (A4{ 100, 100, 200, 200 }));
      EXPECT_EQ(picker->GetSelection()->GetNumberOfNodes(), nodes);
    }
    EXPECT_LE(picker->GetSelection()->GetNumberOfNodes(), nodes);
  }
}

// What each kind of prop gives: TypeDecipher's answer, image actor and
// mapper (the outputs start as junk so every call must write both), the
// source TagNodeSource sets and the data set NodeDataSet finds from it.
// Opacity 0 is refused but reports the mapper; a volume has no source.
TEST(SelectionPicker, WhatEachKindOfPropGivesItsNode)
{
  vtkNew<FrustumProbe> picker;
  auto plane = MakePlane(0, 0, 1, 1), clear = MakePlane(0, 0, 1, 1), hidden = MakePlane(0, 0, 1, 1),
       unpickable = MakePlane(0, 0, 1, 1);
  clear->GetProperty()->SetOpacity(0.0);
  hidden->VisibilityOff();
  unpickable->PickableOff();
  vtkMapper *m = plane->GetMapper(), *clearMapper = clear->GetMapper();
  VolumeProp volume;
  vtkNew<vtkImageActor> image;
  image->GetMapper()->SetInputData(volume.Image);
  vtkNew<vtkActor2D> actor2D;
  vtkNew<vtkLODProp3D> empty, clearLod, volumeLod;
  clearLod->AddLOD(m, clear->GetProperty(), 0.0);
  volumeLod->AddLOD(volume.Mapper, volume.Property, 0.0);
  using R = std::tuple<int, void*, void*, vtkObjectBase*, vtkDataSet*>;
  const R none(0, nullptr, nullptr, nullptr, nullptr);
  const std::vector<std::pair<vtkProp*, R>> cases = {
    { plane, R(1, nullptr, m, m, PolyOf(plane)) },
    { clear, R(0, nullptr, clearMapper, nullptr, nullptr) },
    { hidden, none },
    { unpickable, none },
    { image, R(1, image, nullptr, image, volume.Image) },
    { volume.Volume, R(1, nullptr, volume.Mapper, nullptr, nullptr) },
    { actor2D, none },
    { nullptr, none },
    { empty, none },
    { clearLod, R(0, nullptr, m, nullptr, nullptr) },
    { volumeLod, R(1, nullptr, volume.Mapper, nullptr, nullptr) },
  };
  for (const auto& [prop, expected] : cases)
  {
    SCOPED_TRACE(&prop - &cases[0].first);
    auto* imageOut = reinterpret_cast<vtkImageActor*>(&picker);
    auto* mapperOut = reinterpret_cast<vtkAbstractMapper3D*>(&picker);
    const int result = picker->TypeDecipher(prop, &imageOut, &mapperOut);
    vtkNew<vtkSelectionNode> node;
    EXPECT_EQ(picker->TagNodeSource(prop, node), result);
    EXPECT_EQ(
      R(result, imageOut, mapperOut, SourceOf(node), FrustumProbe::NodeDataSet(node)), expected);
  }
}

// Both pickers on the plane of 8 x 6 unit cells, by field association: the
// nodes in order, each of INDICES with the prop, its mapper and sorted ids.
// Inside cell 9 alone no point lies in the rectangle: an empty point node is
// kept for points alone.
TEST(SelectionPicker, FieldAssociations)
{
  PlanePickerScene<vtkFrustumSelectionPicker> scene;
  vtkActor* a = scene.Plane;
  vtkMapper* m = a->GetMapper();
  const int In = vtkSelectionNode::INDICES, P = vtkSelectionNode::POINT, C = vtkSelectionNode::CELL;
  const int PTC = vtkDataObject::FIELD_ASSOCIATION_POINTS_THEN_CELLS,
            PTS = vtkDataObject::FIELD_ASSOCIATION_POINTS,
            CLS = vtkDataObject::FIELD_ASSOCIATION_CELLS;
  const Node cell9(C, In, a, m, { 9 }), noPoints(P, In, a, m, {}), points(P, In, a, m, { 20, 21 }),
    cells(C, In, a, m, { 9, 10, 11, 17, 18, 19 });
  const A4 in9{ 120, 120, 180, 180 }, wide{ 150, 150, 350, 250 };
  const std::vector<std::tuple<A4, int, std::vector<Node>>> cases = {
    { in9, PTC, { cell9 } },
    { in9, PTS, { noPoints } },
    { in9, CLS, { cell9 } },
    { wide, PTC, { points, cells } },
    { wide, PTS, { points } },
    { wide, CLS, { cells } },
    { wide, vtkDataObject::FIELD_ASSOCIATION_NONE, {} },
    { wide, 7, {} },
  };
  vtkNew<vtkVisibleSelectionPicker> visible;
  for (vtkSelectionPicker* picker : Both(scene.Picker, visible))
  {
    picker->AddPickList(a);
    for (const auto& [r, association, expected] : cases)
    {
      SCOPED_TRACE(std::string(picker->GetClassName()) + " " + std::to_string(association) + " " +
        std::to_string(r[0]));
      picker->SetFieldAssociation(association);
      ASSERT_EQ(picker->AreaPick(r[0], r[1], r[2], r[3], scene.Renderer), 1);
      EXPECT_EQ(Nodes(picker->GetSelection(), true), expected);
    }
  }
}

// Two renderers side by side (pixels 0..399 and 400..799 of 800 x 600), each
// showing a plane 50 pixels inside its borders, and one that does not draw,
// after other windows came and went (pixels outside a framebuffer then hold
// what they left): every corner is clamped to the renderer's pixels, and
// both pickers pick from a rectangle past an edge what they pick from the
// clamped one; nothing when it covers none of the renderer's pixels. The
// renderers' Draw flags are as they were.
TEST(SelectionPicker, RectanglesPastTheEdgesPickWhatIsOnScreen)
{
  for (const auto& size : { std::array<int, 2>{ 1000, 700 }, std::array<int, 2>{ 320, 240 } })
  {
    Scene other(size[0], size[1]);
    other.Renderer->SetBackground(0.9, 0.1, 0.3);
    Show(other, { MakePlane(-1, -1, 9, 7, 0, 10, 8) });
    other.Window->Finalize();
  }
  Scene s;
  vtkNew<vtkRenderer> right, hidden;
  vtkRenderer* renderers[3] = { s.Renderer, right, hidden };
  vtkNew<vtkFrustumSelectionPicker> frustum;
  vtkNew<vtkVisibleSelectionPicker> visible;
  for (int i = 0; i < 3; ++i)
  {
    s.Window->AddRenderer(renderers[i]);
    renderers[i]->SetViewport(0.5 * i, 0.0, 0.5 * i + 0.5, 1.0);
    renderers[i]->SetBackground(0.2 + 0.4 * i, 0.4, 0.6 - 0.4 * i);
    auto plane = MakePlane(0.5, 0.5, 3.5, 5.5, 0, 3, 5);
    renderers[i]->AddActor(plane);
    frustum->AddPickList(plane);
    ParallelView(renderers[i], 2.0, 3.0);
  }
  hidden->SetViewport(0.0, 0.0, 0.25, 0.25);
  hidden->DrawOff();
  s.Window->Render();
  // Renderer, corners, clamped corners (all 0: none of the renderer's pixels).
  const std::tuple<int, A4, A4> cases[] = {
    { 0, { -40, 210, 160, 310 }, { 0, 210, 160, 310 } },               // left edge
    { 0, { -30, 630, 120, 470 }, { 0, 599, 120, 470 } },               // top left corner
    { 0, { 310, 110, 610, 320 }, { 310, 110, 399, 320 } },             // into the right one
    { 0, { 100.7, 50.2, 399.5, 80.9 }, { 100.7, 50.2, 399.5, 80.9 } }, // on its last pixel
    { 0, { -50, 100, -10, 300 }, {} },                                 // wholly left
    { 0, { 400, 100, 700, 300 }, {} },                                 // from its width on
    { 1, { 860, 210, 690, 310 }, { 799, 210, 690, 310 } },             // right edge
    { 1, { 830, -30, 690, 130 }, { 799, 0, 690, 130 } },               // bottom right corner
    { 1, { 0, 0, 800, 600 }, { 400, 0, 799, 599 } },                   // the whole window
    { 1, { -10, 650, 900, 50 }, { 400, 599, 799, 50 } },               // past both corners
    { 1, { 50, 100, 350, 300 }, {} },                                  // over the left one
    { 1, { 800, 100, 900, 300 }, {} },                                 // from x = W
  };
  for (const auto& [index, r, k] : cases)
  {
    SCOPED_TRACE(r[0]);
    vtkRenderer* renderer = renderers[index];
    const bool covers = k != A4{};
    double clipped[4] = { -1, -1, -1, -1 };
    int pixels[4] = { -1, -1, -1, -1 };
    EXPECT_EQ(FrustumProbe::ClipToRendererPixels(renderer, r.data(), clipped, pixels), covers);
    if (covers)
    {
      EXPECT_EQ(Area(clipped), k);
      const auto low = [&](int i) { return std::floor(std::min(k[i], k[i + 2])); };
      const auto high = [&](int i) { return std::floor(std::max(k[i], k[i + 2])); };
      EXPECT_EQ(Area(pixels), (A4{ low(0), low(1), high(0), high(1) }));
    }
    for (vtkSelectionPicker* picker : Both(frustum, visible))
    {
      SCOPED_TRACE(picker->GetClassName());
      std::vector<Node> expected;
      if (covers)
      {
        EXPECT_EQ(picker->AreaPick(k[0], k[1], k[2], k[3], renderer), 1);
        expected = Nodes(picker->GetSelection());
        EXPECT_FALSE(expected.empty());
      }
      EXPECT_EQ(picker->AreaPick(r[0], r[1], r[2], r[3], renderer), covers ? 1 : 0);
      EXPECT_EQ(Nodes(picker->GetSelection()), expected);
    }
  }
  EXPECT_EQ((std::array<int, 3>{ s.Renderer->GetDraw(), right->GetDraw(), hidden->GetDraw() }),
    (std::array<int, 3>{ 1, 1, 0 }));
}
