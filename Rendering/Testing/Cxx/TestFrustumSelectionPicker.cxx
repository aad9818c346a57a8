// vtkFrustumSelectionPicker: the frustum of the caller's rectangle, the props
// of the renderer's pick that are listed, and ids exactly as VTK's own
// frustum extraction finds them, hidden ones included.
#include "vtkFrustumSelectionPicker.h"

#include "orviGmshMesh.h"
#include "orviPickerScenes.h"
#include "orviTestUtils.h"

#include "vtkConvertSelection.h"
#include "vtkDataSetMapper.h"
#include "vtkImageActor.h"
#include "vtkImageMapper3D.h"
#include "vtkProp3DCollection.h"
#include "vtkPropCollection.h"
#include "vtkUnstructuredGrid.h"

using namespace orvi_test;

namespace
{
// The cells of `data` in the picker's last frustum as VTK's own selection conversion finds them.
IdList CellsInFrustum(FrustumProbe* picker, vtkDataObject* data)
{
  vtkNew<vtkSelection> frustum;
  frustum->AddNode(picker->Frustum()->GetNode(0));
  auto cells = vtkSmartPointer<vtkSelection>::Take(vtkConvertSelection::ToSelectionType(
    frustum, data, vtkSelectionNode::INDICES, nullptr, vtkSelectionNode::CELL));
  return Ids(cells->GetNode(0), true);
}
} // namespace

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
