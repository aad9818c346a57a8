// The area pickers: vtkSelectionPicker's shared pieces through both concrete
// pickers (the printed fields, the argument checks, what each kind of prop
// gives a node, the field associations and the clip of every pixel read to
// the renderer); vtkFrustumSelectionPicker's frustum of the caller's
// rectangle, the props of the renderer's pick that are listed, and ids
// exactly as VTK's own frustum extraction finds them, hidden ones included;
// vtkVisibleSelectionPicker's cells a hardware selection sees on screen, the
// points of those cells inside the rectangle widened by the pixel tolerance,
// and the window's other renderers and props left as they were.
#include "vtkFrustumSelectionPicker.h"
#include "vtkVisibleSelectionPicker.h"

#include "orviGmshMesh.h"
#include "orviPickerScenes.h"
#include "orviTestUtils.h"

#include "vtkActor2D.h"
#include "vtkConvertSelection.h"
#include "vtkDataSetMapper.h"
#include "vtkHardwareSelector.h"
#include "vtkIdList.h"
#include "vtkImageActor.h"
#include "vtkImageMapper3D.h"
#include "vtkLODProp3D.h"
#include "vtkProp3DCollection.h"
#include "vtkPropCollection.h"
#include "vtkProperty.h"
#include "vtkUnstructuredGrid.h"

#include <limits>
#include <tuple>

using namespace orvi_test;

namespace
{
std::array<vtkSelectionPicker*, 2> Both(vtkSelectionPicker* frustum, vtkSelectionPicker* visible)
{
  return { frustum, visible };
}

// The cells of `data` in the picker's last frustum as VTK's own selection conversion finds them.
IdList CellsInFrustum(FrustumProbe* picker, vtkDataObject* data)
{
  vtkNew<vtkSelection> frustum;
  frustum->AddNode(picker->Frustum()->GetNode(0));
  auto cells = vtkSmartPointer<vtkSelection>::Take(vtkConvertSelection::ToSelectionType(
    frustum, data, vtkSelectionNode::INDICES, nullptr, vtkSelectionNode::CELL));
  return Ids(cells->GetNode(0), true);
}

// Opens the hardware selection and the step that derives points from it.
class ProbeVisiblePicker : public vtkVisibleSelectionPicker
{
public:
  static ProbeVisiblePicker* New();
  vtkTypeMacro(ProbeVisiblePicker, vtkVisibleSelectionPicker);
  using vtkVisibleSelectionPicker::FillSelectionFromDataSet;
  using vtkVisibleSelectionPicker::GetSelection;
  using vtkVisibleSelectionPicker::SetPixelTolerance;
  vtkSelection* Hardware() const { return this->HardwareSelection; }
  vtkSelection* Result() const { return this->Selection; }
  A4 SelectorArea() const { return Area(this->HardwareSelector->GetArea()); }
};
vtkStandardNewMacro(ProbeVisiblePicker);

// The points of the selected cells (in the order of the cells' points) on
// screen in the rectangle widened by the tolerance.
IdList PointsOf(vtkSelectionNode* node, vtkPolyData* pd, vtkRenderer* r, const double* a, double t)
{
  vtkNew<vtkIdList> unique, cellPoints;
  for (vtkIdType cellId : Ids(node))
  {
    pd->GetCellPoints(cellId, cellPoints);
    for (vtkIdType k = 0; k < cellPoints->GetNumberOfIds(); ++k)
    {
      unique->InsertUniqueId(cellPoints->GetId(k));
    }
  }
  return PointsOnScreen(pd, r, a, t, IdList(unique->begin(), unique->end()));
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

// The rectangle normalised (a zero-size side widened by one pixel) as the
// selection area, its centre, the renderer's own pick area (the rectangle
// clipped to the renderer's pixels) and the frustum's centroid; one frustum
// node, and the selection's nodes are the picked prop's.
TEST(FrustumSelectionPicker, RectangleFrustumAndExactIds)
{
  PlanePickerScene<FrustumProbe> scene;
  auto& picker = scene.Picker;
  vtkRenderer* r = scene.Renderer;
  picker->AddPickList(scene.Plane);
  const std::array<A4, 3> cases[] = {
    { A4{ 300, 40, 100, 200 }, A4{ 100, 40, 300, 200 }, A4{ 100, 40, 300, 200 } },
    { A4{ -10, 650, 900, 50 }, A4{ -10, 50, 900, 650 }, A4{ 0, 50, 799, 599 } },
    { A4{ 100, 50, 100, 50 }, A4{ 100, 50, 101, 51 }, A4{ 100, 50, 100, 50 } },
  };
  for (const auto& [c, area, pick] : cases)
  {
    EXPECT_EQ(picker->AreaPick(c[0], c[1], c[2], c[3], r), 1);
    EXPECT_EQ(Area(picker->GetSelectionArea()), area);
    ORVI_EXPECT_VEC3_NEAR(
      picker->GetSelectionPoint(), (area[0] + area[2]) / 2, (area[1] + area[3]) / 2, 0.0, 0.0);
    EXPECT_EQ((A4{ r->GetPickX1(), r->GetPickY1(), r->GetPickX2(), r->GetPickY2() }), pick);
  }
  // Halfway between the near (z = 9) and far (z = -10) planes in z.
  ORVI_EXPECT_VEC3_NEAR(picker->GetPickPosition(), 1.005, 0.505, -0.5, 1e-9);
  EXPECT_EQ(picker->Pick(10, 20, 5, r), 1) << "z plays no part";
  EXPECT_EQ(Area(picker->GetSelectionArea()), (A4{ 10, 20, 11, 21 }));

  ASSERT_EQ(picker->AreaPick(150, 150, 350, 250, scene.Renderer), 1);
  vtkSelection *frustum = picker->Frustum(), *selection = picker->GetSelection();
  EXPECT_EQ(std::make_tuple(frustum->GetNumberOfNodes(),
              frustum->GetNode(0)->GetContentType(),
              selection->GetNumberOfNodes(),
              picker->GetProp3Ds()->GetNumberOfItems()),
    std::make_tuple(1u, int(vtkSelectionNode::FRUSTUM), 2u, 1));
  EXPECT_EQ(Nodes(picker->GetSelectionForProp3D(scene.Plane)), Nodes(selection));
}

// Twelve narrow planes side by side: only listed props are tagged, whatever
// the pick-from-list flag, in the order of the renderer's pick (past ten
// nodes too); a prop taken off the list keeps no tag of an earlier pick;
// nothing under the rectangle gives 0 and an empty result.
TEST(FrustumSelectionPicker, PickListAndPickOrder)
{
  Scene s;
  std::vector<vtkSmartPointer<vtkActor>> planes;
  for (int i = 0; i < 12; ++i)
  {
    planes.push_back(MakePlane(0.5 + 0.6 * i, 1.0, 1.0 + 0.6 * i, 5.0, 0.0, 1, 4));
    s.Renderer->AddActor(planes.back());
  }
  ParallelView(s.Renderer, 4.0, 3.0);
  s.Window->Render();
  vtkNew<FrustumProbe> picker;
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  // Props found, props tagged, nodes.
  using Counts = std::tuple<int, int, unsigned int>;
  const auto pick = [&](double y0, double y1)
  {
    const int found = picker->AreaPick(0, y0, 799, y1, s.Renderer);
    return Counts(
      found, picker->GetProp3Ds()->GetNumberOfItems(), picker->GetSelection()->GetNumberOfNodes());
  };
  EXPECT_EQ(pick(250, 350), Counts(12, 0, 0)) << "an empty list tags nothing";

  vtkActor* unlisted = planes[4];
  for (const auto& plane : planes)
  {
    picker->AddPickList(plane);
  }
  picker->DeletePickList(unlisted);
  ASSERT_EQ(pick(250, 350), Counts(12, 11, 11));
  vtkSelection* selection = picker->GetSelection();
  vtkPropCollection* found = s.Renderer->GetPickResultProps();
  EXPECT_EQ(picker->GetSelectionForProp3D(unlisted), nullptr);
  for (int i = 0, node = 0; i < 12; ++i)
  {
    vtkObject* prop = found->GetItemAsObject(i);
    EXPECT_EQ(PropOf(picker->Frustum()->GetNode(i)), prop == unlisted ? nullptr : prop) << i;
    if (prop != unlisted)
    {
      vtkSelectionNode* cells = selection->GetNode(static_cast<unsigned int>(node++));
      EXPECT_EQ(PropOf(cells), prop) << i;
      EXPECT_EQ(Ids(cells), (IdList{ 1, 2 })) << i;
    }
  }

  picker->DeletePickList(planes[0]);
  EXPECT_EQ(pick(250, 350), Counts(12, 10, 10));
  EXPECT_EQ(picker->GetSelectionForProp3D(planes[0]), nullptr);
  EXPECT_EQ(pick(0, 50), Counts(0, 0, 0));
}

// A front plane over x 0..4 hides the left half of a back plane: the hidden
// cells are selected too. A volume is tagged and collected but has no
// source and no ids; an image actor is its own source, one cell per pixel.
TEST(FrustumSelectionPicker, HiddenCellsVolumesAndImages)
{
  Scene s;
  auto front = MakePlane(0, 0, 4, 6, 0, 4, 6), back = MakePlane(0, 0, 8, 6, -1, 8, 6);
  VolumeProp volume;
  vtkNew<vtkImageData> image; // world x 7..7.9, y 0.2..1.1
  image->SetDimensions(10, 10, 1);
  image->SetOrigin(7.0, 0.2, 0.5);
  image->SetSpacing(0.1, 0.1, 1.0);
  image->AllocateScalars(VTK_UNSIGNED_CHAR, 1);
  std::fill_n(static_cast<unsigned char*>(image->GetScalarPointer()), 100, 255);
  vtkNew<vtkImageActor> imageActor;
  imageActor->GetMapper()->SetInputData(image);
  vtkNew<FrustumProbe> picker;
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  for (vtkProp* prop : std::initializer_list<vtkProp*>{ front, back, volume.Volume, imageActor })
  {
    picker->AddPickList(prop);
  }
  Show(s, { front, back, volume.Volume, imageActor });

  ASSERT_EQ(picker->AreaPick(250, 150, 550, 250, s.Renderer), 2);
  picker->GetSelection();
  EXPECT_EQ(Ids(picker->GetSelectionForProp3D(back)->GetNode(0)),
    (IdList{ 10, 11, 12, 13, 18, 19, 20, 21 }));
  EXPECT_EQ(Ids(picker->GetSelectionForProp3D(front)->GetNode(0)), (IdList{ 6, 7, 10, 11 }));

  ASSERT_EQ(picker->AreaPick(520, 370, 760, 530, s.Renderer), 2);
  EXPECT_TRUE(picker->GetProp3Ds()->IsItemPresent(volume.Volume));
  EXPECT_EQ(picker->GetSelectionForProp3D(volume.Volume), nullptr);
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(PropOf(selection->GetNode(0)), back);

  ASSERT_EQ(picker->AreaPick(705, 25, 785, 105, s.Renderer), 1) << "the image hides the plane";
  picker->GetSelection();
  vtkSelection* own = picker->GetSelectionForProp3D(imageActor);
  ASSERT_NE(own, nullptr);
  // Every pixel cell of the 10 x 10 image.
  EXPECT_EQ(std::make_tuple(own->GetNumberOfNodes(),
              SourceOf(own->GetNode(0)),
              own->GetNode(0)->GetFieldType(),
              Ids(own->GetNode(0)).size()),
    std::make_tuple(
      1u, static_cast<vtkObjectBase*>(imageActor), int(vtkSelectionNode::CELL), 81ul));
}

// A real tetrahedral mesh under an oblique perspective camera: the cell ids
// of the pick and of SelectIds() on the volume are exactly those VTK's own
// frustum selection keeps, interior ones included, the point ids those of
// the points whose display position lies inside the rectangle; nothing
// before a pick.
TEST(FrustumSelectionPicker, SameIdsAsVtkOnAnObliqueViewOfAVolume)
{
  std::string why;
  const auto mesh = ReadGmshTutorial("t5", std::filesystem::current_path() / "gmsh-t5", why);
  if (!mesh)
  {
    GTEST_SKIP() << why;
  }
  ASSERT_GT(mesh->GetNumberOfCells(), 10000);
  Scene s;
  vtkNew<vtkDataSetMapper> mapper;
  mapper->SetInputData(mesh);
  vtkNew<vtkActor> actor;
  actor->SetMapper(mapper);
  s.Renderer->AddActor(actor);
  s.Camera()->SetPosition(2.6, 1.9, 3.1);
  s.Camera()->SetFocalPoint(0.5, 0.5, 0.5);
  s.Renderer->ResetCameraClippingRange();
  s.Window->Render();

  vtkNew<FrustumProbe> picker;
  vtkNew<vtkIdTypeArray> ids;
  EXPECT_FALSE(picker->SelectIds(mesh, vtkSelectionNode::CELL, ids)) << "no pick yet";
  picker->AddPickList(actor);
  const A4 r{ 330, 250, 470, 350 };
  ASSERT_EQ(picker->AreaPick(r[0], r[1], r[2], r[3], s.Renderer), 1);
  ASSERT_TRUE(picker->SelectIds(mesh, vtkSelectionNode::CELL, ids));
  const IdList cells = CellsInFrustum(picker, mesh);
  EXPECT_EQ(IdList(ids->Begin(), ids->End()), cells);
  EXPECT_LT(static_cast<vtkIdType>(cells.size()), mesh->GetNumberOfCells());
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 2u);
  EXPECT_EQ(Ids(selection->GetNode(1)), cells);
  const IdList inside = PointsOnScreen(mesh, s.Renderer, r.data(), 0);
  EXPECT_EQ(Ids(selection->GetNode(0)), inside);
  EXPECT_GT(std::min(inside.size(), cells.size()), 10u);
}

// The selection area is the rectangle clamped to origin .. origin + size, a
// click is not widened, the selector reads the covered pixels only, the
// selection point is the caller's centre, PickPosition is left unchanged;
// a rectangle covering none of the renderer's pixels runs no selection.
TEST(VisibleSelectionPicker, SelectionAreaSelectorAreaAndPick)
{
  PlanePickerScene<ProbeVisiblePicker> scene;
  auto& picker = scene.Picker;
  const int C = vtkSelectionNode::CELL, In = vtkSelectionNode::INDICES;
  EXPECT_EQ(picker->GetSelection()->GetNumberOfNodes(), 0u) << "before any pick";
  const std::array<A4, 3> cases[] = {
    { A4{ -10, 650, 900, 50 }, A4{ 0, 50, 800, 600 }, A4{ 0, 50, 799, 599 } },
    { A4{ 860, 210, 690, 310 }, A4{ 690, 210, 800, 310 }, A4{ 690, 210, 799, 310 } },
    { A4{ 100.7, 50.2, 100.7, 50.2 }, A4{ 100.7, 50.2, 100.7, 50.2 }, A4{ 100, 50, 100, 50 } },
  };
  for (const auto& [r, area, selector] : cases)
  {
    EXPECT_EQ(picker->AreaPick(r[0], r[1], r[2], r[3], scene.Renderer), 1);
    EXPECT_EQ(Area(picker->GetSelectionArea()), area);
    EXPECT_EQ(picker->SelectorArea(), selector);
    ORVI_EXPECT_VEC3_NEAR(picker->GetSelectionPoint(), (r[0] + r[2]) / 2, (r[1] + r[3]) / 2, 0, 0);
    ORVI_EXPECT_VEC3_NEAR(picker->GetPickPosition(), 0.0, 0.0, 0.0, 0.0);
  }
  const Node cell1(C, In, scene.Plane, scene.Plane->GetMapper(), { 1 });
  EXPECT_EQ(Nodes(picker->GetSelection()), std::vector<Node>{ cell1 }) << "no point within 4 px";

  // Pick() is the same zero-size AreaPick().
  EXPECT_EQ(picker->Pick(250, 350, 9, scene.Renderer), 1);
  EXPECT_EQ(Ids(picker->GetSelection()->GetNode(0)), IdList{ 26 });
  EXPECT_EQ(picker->AreaPick(800, 100, 900, 300, scene.Renderer), 0);
  EXPECT_EQ(picker->Hardware(), nullptr) << "no selection run";
}

// A renderer on the window's right half, its view cut through the plane's
// cell column x 2..3: the area starts at the renderer's own left edge, and of
// the points of the cells hit only those on its pixels are kept (not the
// column's left points at x = 350, left of it).
TEST(VisibleSelectionPicker, RendererRightOfTheWindowsLeftEdge)
{
  Scene s;
  s.Renderer->SetViewport(0.5, 0.0, 1.0, 1.0);
  auto plane = MakePlane(0, 0, 8, 6, 0, 8, 6);
  Show(s, { plane }, 4.5, 3.0);
  vtkNew<vtkVisibleSelectionPicker> picker;
  vtkSelectionPicker* base = picker;
  const int P = vtkSelectionNode::POINT, C = vtkSelectionNode::CELL, In = vtkSelectionNode::INDICES;
  EXPECT_EQ(picker->AreaPick(300, 250, 480, 350, s.Renderer), 1);
  EXPECT_EQ(Area(picker->GetSelectionArea()), (A4{ 400, 250, 480, 350 }));
  const std::vector<Node> expected = { Node(P, In, plane, plane->GetMapper(), { 30 }),
    Node(C, In, plane, plane->GetMapper(), { 18, 19, 26, 27 }) };
  EXPECT_EQ(Nodes(base->GetSelection(), true), expected);
}

// Cell ids outside the data set give no points; cell 10 gives its points in
// the data set's order, 11, 12, 21, 20, of which 21 and 20 lie in the rectangle.
TEST(VisibleSelectionPicker, PointsOfTheSelectedCells)
{
  PlanePickerScene<ProbeVisiblePicker> scene;
  auto& picker = scene.Picker;
  ASSERT_EQ(picker->AreaPick(150, 150, 350, 250, scene.Renderer), 1);
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_POINTS);
  picker->Result()->Initialize();
  vtkNew<vtkSelectionNode> handMade;
  handMade->SetContentType(vtkSelectionNode::INDICES);
  handMade->SetFieldType(vtkSelectionNode::CELL);
  vtkIdType bogusIds[] = { -1, 48, 1000, 10 };
  vtkNew<vtkIdTypeArray> bogus;
  bogus->SetArray(bogusIds, 4, 1);
  handMade->SetSelectionList(bogus);
  picker->FillSelectionFromDataSet(handMade, PolyOf(scene.Plane));
  ASSERT_EQ(picker->Result()->GetNumberOfNodes(), 1u);
  EXPECT_EQ(Ids(picker->Result()->GetNode(0)), (IdList{ 21, 20 }));
  EXPECT_EQ(handMade->GetFieldType(), vtkSelectionNode::CELL) << "the copy took the point type";
}

// A front plane over x 0..4 hides the left half of a back plane: only what
// shows is selected. Picking from a list of the back plane alone shows the
// whole back row through the front one; the pickable flags are restored.
TEST(VisibleSelectionPicker, HiddenCellsAndPickList)
{
  Scene s;
  auto front = MakePlane(0, 0, 4, 6, 0, 4, 6), back = MakePlane(0, 0, 8, 6, -1, 8, 6);
  Show(s, { front, back });

  vtkNew<ProbeVisiblePicker> picker;
  ASSERT_EQ(picker->AreaPick(250, 150, 550, 250, s.Renderer), 2);
  vtkSelection* selection = picker->GetSelection();
  std::map<std::pair<vtkObjectBase*, int>, IdList> got;
  for (unsigned int i = 0; i < selection->GetNumberOfNodes(); ++i)
  {
    vtkSelectionNode* node = selection->GetNode(i);
    got[{ PropOf(node), node->GetFieldType() }] = Ids(node, true);
  }
  const int P = vtkSelectionNode::POINT, C = vtkSelectionNode::CELL, In = vtkSelectionNode::INDICES;
  // Points: x = 3, 4 (front) and 4, 5 (back) at y = 2, none of the hidden columns.
  EXPECT_EQ(got,
    (std::map<std::pair<vtkObjectBase*, int>, IdList>{ { { front, C }, { 6, 7, 10, 11 } },
      { { front, P }, { 13, 14 } },
      { { back, C }, { 12, 13, 20, 21 } },
      { { back, P }, { 22, 23 } } }));

  picker->AddPickList(back);
  picker->PickFromListOn();
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  ASSERT_EQ(picker->AreaPick(250, 150, 550, 250, s.Renderer), 1);
  EXPECT_EQ(Nodes(picker->GetSelection(), true),
    (std::vector<Node>{ { C, In, back, back->GetMapper(), { 10, 11, 12, 13, 18, 19, 20, 21 } } }));
  EXPECT_EQ(front->GetPickable(), 1) << "restored";
  // An unpickable prop stays unpickable after the pick, from the list or not.
  front->PickableOff();
  for (bool fromList : { false, true })
  {
    picker->SetPickFromList(fromList);
    ASSERT_EQ(picker->AreaPick(250, 150, 550, 250, s.Renderer), 1);
    EXPECT_EQ(front->GetPickable(), 0);
  }
}

// A data set that is not poly data has no points to derive: the point node
// is empty, and with points then cells the hardware's cell node stays alone.
TEST(VisibleSelectionPicker, UnstructuredGridGivesAnEmptyPointNode)
{
  Scene s;
  auto plane = MakePlane(0, 0, 2, 1, 0, 2, 1);
  vtkNew<vtkUnstructuredGrid> grid;
  grid->SetPoints(PolyOf(plane)->GetPoints());
  for (const auto& quad : { std::array<vtkIdType, 4>{ 0, 1, 4, 3 }, { 1, 2, 5, 4 } })
  {
    grid->InsertNextCell(VTK_QUAD, 4, quad.data());
  }
  vtkNew<vtkDataSetMapper> mapper;
  mapper->SetInputData(grid);
  plane->SetMapper(mapper);
  Show(s, { plane });
  vtkNew<ProbeVisiblePicker> picker;
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_POINTS);
  ASSERT_EQ(picker->AreaPick(0, 0, 250, 150, s.Renderer), 1);
  EXPECT_EQ(Nodes(picker->GetSelection()),
    (std::vector<Node>{
      { vtkSelectionNode::POINT, vtkSelectionNode::INDICES, plane, mapper, {} } }));
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_POINTS_THEN_CELLS);
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(selection->GetNode(0), picker->Hardware()->GetNode(0));
}

// Under an oblique perspective camera the derived points are exactly those
// of the plain per-point test, for the default tolerance of 4 pixels, none
// and a larger one; the cell node is the hardware selection's own.
TEST(VisibleSelectionPicker, PointsMatchThePlainWayUnderAnObliqueCamera)
{
  Scene s;
  vtkPolyData* sphere = ShowObliqueSphere(s, 64, 48, 35.0);
  vtkNew<ProbeVisiblePicker> picker;
  for (double tolerance : { 4.0, 0.0, 11.25 })
  {
    picker->SetPixelTolerance(tolerance);
    ASSERT_EQ(picker->AreaPick(310.5, 240, 455, 330.25, s.Renderer), 1);
    vtkSelection* selection = picker->GetSelection();
    ASSERT_EQ(selection->GetNumberOfNodes(), 2u);
    const auto expected =
      PointsOf(selection->GetNode(1), sphere, s.Renderer, picker->GetSelectionArea(), tolerance);
    EXPECT_EQ(Ids(selection->GetNode(0)), expected) << tolerance;
    EXPECT_EQ(selection->GetNode(1), picker->Hardware()->GetNode(0));
    EXPECT_GT(expected.size(), 20u);
  }
}
