#include "vtkFrustumSelectionPicker.h"
#include "vtkVisibleSelectionPicker.h"

#include "orviGmshMesh.h"
#include "orviPickerScenes.h"
#include "orviTestUtils.h"

#include "vtkActor2D.h"
#include "vtkCellData.h"
#include "vtkColorTransferFunction.h"
#include "vtkConvertSelection.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkExtractSelectedFrustum.h"
#include "vtkImageActor.h"
#include "vtkImageData.h"
#include "vtkImageMapper3D.h"
#include "vtkLODProp3D.h"
#include "vtkObjectFactory.h"
#include "vtkOpenGLGPUVolumeRayCastMapper.h"
#include "vtkPiecewiseFunction.h"
#include "vtkProp3DCollection.h"
#include "vtkPropCollection.h"
#include "vtkProperty.h"
#include "vtkSelectionSource.h"
#include "vtkSphereSource.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridReader.h"
#include "vtkVolume.h"
#include "vtkVolumeProperty.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>
#include <set>
#include <sstream>

using orvi_test::Ids;
using orvi_test::IdSet;
using orvi_test::PlaneActor;
using orvi_test::PropOf;
using orvi_test::SourceOf;

namespace
{
// Opens the protected parts a derived picker can reach.
class ProbeFrustumPicker : public vtkFrustumSelectionPicker
{
public:
  static ProbeFrustumPicker* New();
  vtkTypeMacro(ProbeFrustumPicker, vtkFrustumSelectionPicker);
  using vtkFrustumSelectionPicker::GetSelection;
  using vtkSelectionPicker::TypeDecipher;
  vtkSelection* Frustum() const { return this->FrustumSelection; }
  vtkSelectionSource* Source() const { return this->SelectionSource; }
};
vtkStandardNewMacro(ProbeFrustumPicker);

// A volume of 10^3 opaque voxels over world x 5..7, y 3.5..5.5, z -1..1.
struct VolumeProp
{
  VolumeProp()
  {
    this->Image->SetDimensions(10, 10, 10);
    this->Image->SetOrigin(5.0, 3.5, -1.0);
    this->Image->SetSpacing(2.0 / 9.0, 2.0 / 9.0, 2.0 / 9.0);
    this->Image->AllocateScalars(VTK_UNSIGNED_CHAR, 1);
    auto* scalars = static_cast<unsigned char*>(this->Image->GetScalarPointer());
    std::fill(scalars, scalars + 1000, static_cast<unsigned char>(200));
    this->Mapper->SetInputData(this->Image);
    this->Opacity->AddPoint(0.0, 0.0);
    this->Opacity->AddPoint(255.0, 1.0);
    this->Colors->AddRGBPoint(0.0, 1.0, 1.0, 1.0);
    this->Colors->AddRGBPoint(255.0, 1.0, 1.0, 1.0);
    this->Property->SetScalarOpacity(this->Opacity);
    this->Property->SetColor(this->Colors);
    this->Volume->SetMapper(this->Mapper);
    this->Volume->SetProperty(this->Property);
  }
  vtkNew<vtkImageData> Image;
  vtkNew<vtkOpenGLGPUVolumeRayCastMapper> Mapper;
  vtkNew<vtkPiecewiseFunction> Opacity;
  vtkNew<vtkColorTransferFunction> Colors;
  vtkNew<vtkVolumeProperty> Property;
  vtkNew<vtkVolume> Volume;
};

using PlaneScene = orvi_test::PlanePickerScene<ProbeFrustumPicker>;
using A4 = std::array<double, 4>;
using orvi_test::Area;
} // namespace

// Both pickers: the base's fields printed after vtkAbstractPicker's; no
// renderer, a renderer outside any window or corners that are not numbers
// give an error, 0 and the last result untouched; a scene dropped before the
// selection is asked for is not reached.
TEST(SelectionPicker, PrintingAndRefusedPicks)
{
  vtkNew<vtkFrustumSelectionPicker> frustum;
  vtkNew<vtkVisibleSelectionPicker> visible;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (vtkSelectionPicker* picker :
    std::initializer_list<vtkSelectionPicker*>{ frustum.Get(), visible.Get() })
  {
    SCOPED_TRACE(picker->GetClassName());
    std::ostringstream out;
    picker->Print(out);
    const auto own = out.str().find("\n  Field Association: 3\n  Selection Area: (0, 0, 0, 0)\n");
    EXPECT_NE(own, std::string::npos) << out.str();
    EXPECT_LT(out.str().find("Picking from renderer's prop list"), own);

    unsigned int nodes = 0;
    {
      PlaneScene scene;
      picker->InitializePickList();
      picker->AddPickList(scene.Plane.Actor);
      ASSERT_EQ(picker->AreaPick(100, 100, 200, 200, scene.Renderer), 1);
      nodes = picker->GetSelection()->GetNumberOfNodes();
      ASSERT_GT(nodes, 0u);
      orvi_test::EventRecorder errors(picker, vtkCommand::ErrorEvent);
      vtkNew<vtkRenderer> loose;
      EXPECT_EQ(picker->AreaPick(0, 0, 10, 10, nullptr), 0);
      EXPECT_EQ(picker->Pick(5, 5, 0, nullptr), 0);
      EXPECT_EQ(picker->AreaPick(0, 0, 10, 10, loose), 0);
      EXPECT_EQ(picker->AreaPick(nan, 0, 10, 10, scene.Renderer), 0);
      EXPECT_EQ(picker->AreaPick(0, 0, inf, 10, scene.Renderer), 0);
      EXPECT_EQ(errors.Count, 5);
      EXPECT_TRUE(errors.Saw(std::string(picker->GetClassName()) + " (0x"));
      EXPECT_TRUE(
        errors.Saw("AreaPick needs a renderer that belongs to a render window; nothing picked."));
      EXPECT_TRUE(errors.Saw("AreaPick needs finite corner coordinates; nothing picked."));
      EXPECT_EQ(Area(picker->GetSelectionArea()), (A4{ 100, 100, 200, 200 }));
      EXPECT_EQ(picker->GetSelection()->GetNumberOfNodes(), nodes);
    }
    EXPECT_LE(picker->GetSelection()->GetNumberOfNodes(), nodes);
  }
}

// What the base class accepts of each kind of prop, and the image actor and
// mapper it reports (the outputs start as junk so every call must write
// both): opacity 0 is refused but reports the mapper; a volume level of a
// LOD prop is not opacity-tested.
TEST(SelectionPicker, TypeDecipherOnEachKindOfProp)
{
  vtkNew<ProbeFrustumPicker> picker;
  PlaneActor plane{ 0, 0, 1, 1, 0, 1, 1 }, clear{ 0, 0, 1, 1, 0, 1, 1 },
    hidden{ 0, 0, 1, 1, 0, 1, 1 }, unpickable{ 0, 0, 1, 1, 0, 1, 1 };
  clear.Actor->GetProperty()->SetOpacity(0.0);
  hidden.Actor->VisibilityOff();
  unpickable.Actor->PickableOff();
  vtkNew<vtkImageActor> image;
  VolumeProp volume;
  vtkNew<vtkActor2D> actor2D;
  vtkNew<vtkLODProp3D> empty, clearLod, volumeLod;
  clearLod->AddLOD(plane.Mapper, clear.Actor->GetProperty(), 0.0);
  volumeLod->AddLOD(volume.Mapper, volume.Property, 0.0);
  using R = std::tuple<int, void*, void*>;
  const std::vector<std::pair<vtkProp*, R>> cases = {
    { plane.Actor, R(1, nullptr, plane.Mapper.Get()) },
    { clear.Actor, R(0, nullptr, clear.Mapper.Get()) },
    { hidden.Actor, R(0, nullptr, nullptr) },
    { unpickable.Actor, R(0, nullptr, nullptr) },
    { image, R(1, image.Get(), nullptr) },
    { volume.Volume, R(1, nullptr, volume.Mapper.Get()) },
    { actor2D, R(0, nullptr, nullptr) },
    { nullptr, R(0, nullptr, nullptr) },
    { empty, R(0, nullptr, nullptr) },
    { clearLod, R(0, nullptr, plane.Mapper.Get()) },
    { volumeLod, R(1, nullptr, volume.Mapper.Get()) },
  };
  for (const auto& [prop, expected] : cases)
  {
    SCOPED_TRACE(&prop - &cases[0].first);
    auto* image = reinterpret_cast<vtkImageActor*>(&picker);
    auto* mapper = reinterpret_cast<vtkAbstractMapper3D*>(&picker);
    const int result = picker->TypeDecipher(prop, &image, &mapper);
    EXPECT_EQ(R(result, image, mapper), expected);
  }
}

TEST(FrustumSelectionPicker, RectangleCentreAndPickPosition)
{
  PlaneScene scene;
  auto& picker = scene.Picker;
  vtkRenderer* renderer = scene.Renderer;
  picker->AddPickList(scene.Plane.Actor);

  EXPECT_EQ(picker->AreaPick(300, 40, 100, 200, renderer), 1);
  ORVI_EXPECT_VEC3_NEAR(picker->GetSelectionPoint(), 200.0, 120.0, 0.0, 0.0);
  EXPECT_EQ(Area(picker->GetSelectionArea()), (A4{ 100, 40, 300, 200 }));
  EXPECT_EQ(picker->GetRenderer(), renderer);

  // A click is widened to one pixel; the renderer still sees the click.
  EXPECT_EQ(picker->AreaPick(100, 50, 100, 50, renderer), 1);
  EXPECT_EQ(Area(picker->GetSelectionArea()), (A4{ 100, 50, 101, 51 }));
  ORVI_EXPECT_VEC3_NEAR(picker->GetSelectionPoint(), 100.5, 50.5, 0.0, 0.0);
  EXPECT_EQ(
    (A4{
      renderer->GetPickX1(), renderer->GetPickY1(), renderer->GetPickX2(), renderer->GetPickY2() }),
    (A4{ 100, 50, 100, 50 }));
  // Centroid of the frustum: the rectangle's centre in x and y, halfway
  // between the near (z = 9) and far (z = -10) planes in z.
  ORVI_EXPECT_VEC3_NEAR(picker->GetPickPosition(), 1.005, 0.505, -0.5, 1e-9);

  // Pick() is a zero-size AreaPick(); z plays no part.
  EXPECT_EQ(picker->Pick(10, 20, 5, renderer), 1);
  EXPECT_EQ(Area(picker->GetSelectionArea()), (A4{ 10, 20, 11, 21 }));
  ORVI_EXPECT_VEC3_NEAR(picker->GetSelectionPoint(), 10.5, 20.5, 0.0, 0.0);
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(IdSet(selection->GetNode(0)), (std::set<vtkIdType>{ 0 }));
}

TEST(FrustumSelectionPicker, RectanglesPastTheEdgesSelectWhatIsOnScreen)
{
  vtkNew<ProbeFrustumPicker> picker;
  orvi_test::ExpectEdgeCasesPickWhatIsOnScreen(picker,
    [&](const orvi_test::EdgeCase& c, vtkRenderer* renderer)
    {
      EXPECT_EQ(picker->GetProp3Ds()->GetNumberOfItems(), c.Props);
      // The selection area stays the caller's rectangle; the renderer's
      // area pick got it clamped to the last pixel.
      const auto& r = c.Corners;
      EXPECT_EQ(Area(picker->GetSelectionArea()),
        (A4{ std::min(r[0], r[2]),
          std::min(r[1], r[3]),
          std::max(r[0], r[2]),
          std::max(r[1], r[3]) }));
      if (c.Props > 0)
      {
        EXPECT_EQ((A4{ renderer->GetPickX1(),
                    renderer->GetPickY1(),
                    renderer->GetPickX2(),
                    renderer->GetPickY2() }),
          c.Clamped);
      }
    });
}

// Cells 1..3 of rows 1..2; the points inside are (2, 2) and (3, 2). A
// second pick under the same camera starts the frustum output over.
TEST(FrustumSelectionPicker, ExactIdsAndNodeLayout)
{
  PlaneScene scene;
  auto& picker = scene.Picker;
  picker->AddPickList(scene.Plane.Actor);
  for (int pick = 0; pick < 2; ++pick)
  {
    ASSERT_EQ(picker->AreaPick(150, 150, 350, 250, scene.Renderer), 1);
  }
  ASSERT_EQ(picker->Frustum()->GetNumberOfNodes(), 1u);
  EXPECT_EQ(picker->Frustum()->GetNode(0)->GetContentType(), vtkSelectionNode::FRUSTUM);
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 2u);
  const std::vector<vtkIdType> ids[2] = { { 20, 21 }, { 9, 10, 11, 17, 18, 19 } };
  const int types[2] = { vtkSelectionNode::POINT, vtkSelectionNode::CELL };
  for (unsigned int i = 0; i < 2; ++i)
  {
    vtkSelectionNode* node = selection->GetNode(i);
    EXPECT_EQ(node->GetContentType(), vtkSelectionNode::INDICES);
    EXPECT_EQ(node->GetFieldType(), types[i]);
    EXPECT_EQ(Ids(node), ids[i]);
    EXPECT_EQ(PropOf(node), scene.Plane.Actor.Get());
    EXPECT_EQ(SourceOf(node), scene.Plane.Mapper.Get());
    EXPECT_EQ(picker->GetSelectionForProp3D(scene.Plane.Actor)->GetNode(i), node);
  }
  EXPECT_EQ(picker->GetProp3Ds()->GetNumberOfItems(), 1);
}

// Both pickers on the plane of 8 x 6 unit cells, by field association: the
// nodes in order, each its field type and sorted ids. Inside cell 9 alone no
// point lies in the rectangle: an empty point node is kept for points alone.
TEST(SelectionPicker, FieldAssociations)
{
  using Nodes = std::vector<std::pair<int, std::vector<vtkIdType>>>;
  const int P = vtkSelectionNode::POINT, C = vtkSelectionNode::CELL;
  const int pointsThenCells = vtkDataObject::FIELD_ASSOCIATION_POINTS_THEN_CELLS;
  const int points = vtkDataObject::FIELD_ASSOCIATION_POINTS;
  const int cells = vtkDataObject::FIELD_ASSOCIATION_CELLS;
  const std::vector<vtkIdType> row{ 9, 10, 11, 17, 18, 19 };
  const std::vector<std::tuple<A4, int, Nodes>> cases = {
    { { 120, 120, 180, 180 }, pointsThenCells, { { C, { 9 } } } },
    { { 120, 120, 180, 180 }, points, { { P, {} } } },
    { { 120, 120, 180, 180 }, cells, { { C, { 9 } } } },
    { { 150, 150, 350, 250 }, pointsThenCells, { { P, { 20, 21 } }, { C, row } } },
    { { 150, 150, 350, 250 }, points, { { P, { 20, 21 } } } },
    { { 150, 150, 350, 250 }, cells, { { C, row } } },
    { { 150, 150, 350, 250 }, vtkDataObject::FIELD_ASSOCIATION_NONE, {} },
    { { 150, 150, 350, 250 }, 7, {} },
  };
  PlaneScene scene;
  vtkNew<vtkVisibleSelectionPicker> visible;
  for (vtkSelectionPicker* picker :
    std::initializer_list<vtkSelectionPicker*>{ scene.Picker.Get(), visible.Get() })
  {
    picker->AddPickList(scene.Plane.Actor);
    for (const auto& [r, association, expected] : cases)
    {
      SCOPED_TRACE(std::string(picker->GetClassName()) + " " + std::to_string(association) + " " +
        std::to_string(r[0]));
      picker->SetFieldAssociation(association);
      ASSERT_EQ(picker->AreaPick(r[0], r[1], r[2], r[3], scene.Renderer), 1);
      vtkSelection* selection = picker->GetSelection();
      Nodes got;
      for (unsigned int i = 0; i < selection->GetNumberOfNodes(); ++i)
      {
        std::vector<vtkIdType> ids = Ids(selection->GetNode(i));
        std::sort(ids.begin(), ids.end());
        got.emplace_back(selection->GetNode(i)->GetFieldType(), ids);
      }
      EXPECT_EQ(got, expected);
    }
  }
}

// Three planes side by side: only listed props are tagged, whatever the
// pick-from-list flag; a prop taken off the list keeps no tag of an earlier
// pick; nothing under the rectangle gives 0 and an empty result.
TEST(FrustumSelectionPicker, PickListDecidesWhichPropsAreTagged)
{
  orvi_test::Scene s;
  PlaneActor a{ 0, 0, 2, 6, 0, 2, 6 }, b{ 3, 0, 5, 6, 0, 2, 6 }, c{ 6, 0, 8, 6, 0, 2, 6 };
  for (auto* plane : { &a, &b, &c })
  {
    s.Renderer->AddActor(plane->Actor);
  }
  orvi_test::ParallelView(s.Renderer, 4.0, 3.0);
  s.Window->Render();
  vtkNew<ProbeFrustumPicker> picker;
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  const auto tagged = [&]
  {
    std::set<vtkObjectBase*> props;
    for (unsigned int i = 0; i < picker->GetSelection()->GetNumberOfNodes(); ++i)
    {
      props.insert(PropOf(picker->GetSelection()->GetNode(i)));
    }
    return props;
  };
  EXPECT_EQ(picker->AreaPick(50, 250, 750, 350, s.Renderer), 3);
  EXPECT_EQ(picker->GetProp3Ds()->GetNumberOfItems(), 0) << "an empty list tags nothing";
  EXPECT_TRUE(tagged().empty());

  picker->AddPickList(a.Actor);
  picker->AddPickList(c.Actor);
  EXPECT_EQ(picker->AreaPick(50, 250, 750, 350, s.Renderer), 3);
  EXPECT_EQ(picker->GetProp3Ds()->GetNumberOfItems(), 2);
  EXPECT_EQ(tagged(), (std::set<vtkObjectBase*>{ a.Actor, c.Actor }));
  EXPECT_EQ(
    IdSet(picker->GetSelectionForProp3D(c.Actor)->GetNode(0)), (std::set<vtkIdType>{ 4, 5, 6, 7 }));
  EXPECT_EQ(picker->GetSelectionForProp3D(b.Actor), nullptr);

  picker->AddPickList(b.Actor);
  EXPECT_EQ(picker->AreaPick(50, 250, 750, 350, s.Renderer), 3);
  auto* dropped = vtkProp::SafeDownCast(s.Renderer->GetPickResultProps()->GetItemAsObject(0));
  picker->DeletePickList(dropped);
  EXPECT_EQ(picker->AreaPick(50, 250, 750, 350, s.Renderer), 3);
  EXPECT_EQ(tagged().size(), 2u);
  EXPECT_EQ(tagged().count(dropped), 0u);
  for (unsigned int i = 0; i < picker->Frustum()->GetNumberOfNodes(); ++i)
  {
    EXPECT_NE(PropOf(picker->Frustum()->GetNode(i)), dropped);
  }

  b.Actor->VisibilityOff();
  EXPECT_EQ(picker->AreaPick(350, 250, 450, 350, s.Renderer), 0);
  EXPECT_EQ(picker->GetProp3Ds()->GetNumberOfItems(), 0);
  EXPECT_EQ(picker->GetSelection()->GetNumberOfNodes(), 0u);
}

TEST(FrustumSelectionPicker, TwelvePropsKeepThePickOrder)
{
  orvi_test::Scene s;
  std::vector<std::unique_ptr<PlaneActor>> planes;
  vtkNew<ProbeFrustumPicker> picker;
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  for (int i = 0; i < 12; ++i)
  {
    const double x = 0.5 + 0.6 * i;
    planes.push_back(std::make_unique<PlaneActor>(x, 1.0, x + 0.5, 5.0, 0.0, 1, 4));
    s.Renderer->AddActor(planes.back()->Actor);
    picker->AddPickList(planes.back()->Actor);
  }
  orvi_test::ParallelView(s.Renderer, 4.0, 3.0);
  s.Window->Render();
  ASSERT_EQ(picker->AreaPick(0, 250, 799, 350, s.Renderer), 12);
  vtkSelection* selection = picker->GetSelection();
  vtkPropCollection* found = s.Renderer->GetPickResultProps();
  ASSERT_EQ(selection->GetNumberOfNodes(), 12u);
  for (unsigned int i = 0; i < 12; ++i)
  {
    EXPECT_EQ(PropOf(selection->GetNode(i)), found->GetItemAsObject(static_cast<int>(i))) << i;
    EXPECT_EQ(PropOf(picker->Frustum()->GetNode(i)), found->GetItemAsObject(static_cast<int>(i)));
  }
}

TEST(FrustumSelectionPicker, HiddenCellsVolumesAndImages)
{
  orvi_test::Scene s;
  // A front plane over x 0..4 hides the left half of a back plane.
  PlaneActor front{ 0, 0, 4, 6, 0.0, 4, 6 };
  PlaneActor back{ 0, 0, 8, 6, -1.0, 8, 6 };
  VolumeProp volume;
  vtkNew<vtkImageData> image;
  image->SetDimensions(10, 10, 1);
  // World x 7..7.9, y 0.2..1.1 (the data's own coordinates are used).
  image->SetOrigin(7.0, 0.2, 0.5);
  image->SetSpacing(0.1, 0.1, 1.0);
  image->AllocateScalars(VTK_UNSIGNED_CHAR, 1);
  std::fill_n(static_cast<unsigned char*>(image->GetScalarPointer()), 100, 255);
  vtkNew<vtkImageActor> imageActor;
  imageActor->GetMapper()->SetInputData(image);
  s.Renderer->AddActor(front.Actor);
  s.Renderer->AddActor(back.Actor);
  s.Renderer->AddVolume(volume.Volume);
  s.Renderer->AddActor(imageActor);
  orvi_test::ParallelView(s.Renderer, 4.0, 3.0);
  s.Window->Render();

  vtkNew<ProbeFrustumPicker> picker;
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  for (vtkProp* prop :
    std::initializer_list<vtkProp*>{ front.Actor, back.Actor, volume.Volume, imageActor })
  {
    picker->AddPickList(prop);
  }

  // Across the edge of the front plane: the back plane's hidden cells
  // (columns 2 and 3) are selected as well as its visible ones.
  ASSERT_EQ(picker->AreaPick(250, 150, 550, 250, s.Renderer), 2);
  picker->GetSelection();
  EXPECT_EQ(IdSet(picker->GetSelectionForProp3D(back.Actor)->GetNode(0)),
    (std::set<vtkIdType>{ 10, 11, 12, 13, 18, 19, 20, 21 }));
  EXPECT_EQ(IdSet(picker->GetSelectionForProp3D(front.Actor)->GetNode(0)),
    (std::set<vtkIdType>{ 6, 7, 10, 11 }));

  // The volume is tagged and collected but has no source and no ids; the
  // image actor is its own source.
  ASSERT_EQ(picker->AreaPick(520, 370, 760, 530, s.Renderer), 2);
  EXPECT_TRUE(picker->GetProp3Ds()->IsItemPresent(volume.Volume));
  EXPECT_EQ(picker->GetSelectionForProp3D(volume.Volume), nullptr);
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(PropOf(selection->GetNode(0)), back.Actor.Get());

  ASSERT_EQ(picker->AreaPick(705, 25, 785, 105, s.Renderer), 1) << "the image hides the plane";
  selection = picker->GetSelection();
  vtkSelection* own = picker->GetSelectionForProp3D(imageActor);
  ASSERT_NE(own, nullptr);
  ASSERT_EQ(own->GetNumberOfNodes(), 1u);
  EXPECT_EQ(SourceOf(own->GetNode(0)), imageActor.Get());
  EXPECT_EQ(own->GetNode(0)->GetFieldType(), vtkSelectionNode::CELL);
  EXPECT_EQ(Ids(own->GetNode(0)).size(), 81u) << "every pixel cell of the 10 x 10 image";
}

TEST(FrustumSelectionPicker, SameCellsAsVtkConvertSelectionOnAnObliqueView)
{
  orvi_test::Scene s;
  orvi_test::ObliqueSphere sphere(s, 48, 32);
  vtkNew<ProbeFrustumPicker> picker;
  picker->AddPickList(sphere.Actor);
  ASSERT_EQ(picker->AreaPick(310, 240, 455, 330, s.Renderer), 1);
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 2u);

  vtkNew<vtkSelection> single;
  single->AddNode(picker->Frustum()->GetNode(0));
  vtkSmartPointer<vtkSelection> cells;
  cells.TakeReference(vtkConvertSelection::ToSelectionType(
    single, sphere.Data(), vtkSelectionNode::INDICES, nullptr, vtkSelectionNode::CELL));
  EXPECT_EQ(Ids(selection->GetNode(1)), Ids(cells->GetNode(0)));
  EXPECT_GT(Ids(selection->GetNode(1)).size(), 20u);

  // The point ids are the points whose display position lies inside the
  // rectangle and between the near and far planes.
  std::vector<vtkIdType> inside;
  for (vtkIdType id = 0; id < sphere.Data()->GetNumberOfPoints(); ++id)
  {
    const double* p = sphere.Data()->GetPoint(id);
    s.Renderer->SetWorldPoint(p[0], p[1], p[2], 1.0);
    s.Renderer->WorldToDisplay();
    const double* d = s.Renderer->GetDisplayPoint();
    if (d[0] > 310 && d[0] < 455 && d[1] > 240 && d[1] < 330 && d[2] > 0 && d[2] < 1)
    {
      inside.push_back(id);
    }
  }
  EXPECT_EQ(Ids(selection->GetNode(0)), inside);
  EXPECT_GT(inside.size(), 10u);
}

// A real tetrahedral mesh shown by its surface: SelectIds() on the volume
// gives exactly the cells VTK's own frustum extraction keeps, interior ones
// included, and nothing before a pick.
TEST(FrustumSelectionPicker, SelectIdsOfAVolumeAsVtkExtractsThem)
{
  std::string why;
  const std::string file =
    orvi_test::MeshGmshTutorial("t5", std::filesystem::current_path() / "gmsh-t5", why);
  if (file.empty())
  {
    GTEST_SKIP() << why;
  }
  vtkNew<vtkUnstructuredGridReader> reader;
  reader->SetFileName(file.c_str());
  reader->Update();
  vtkUnstructuredGrid* mesh = reader->GetOutput();
  ASSERT_GT(mesh->GetNumberOfCells(), 10000);

  orvi_test::Scene s;
  vtkNew<vtkDataSetSurfaceFilter> surface;
  surface->SetInputData(mesh);
  surface->PassThroughCellIdsOn();
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputConnection(surface->GetOutputPort());
  vtkNew<vtkActor> actor;
  actor->SetMapper(mapper);
  s.Renderer->AddActor(actor);
  s.Camera()->SetPosition(2.6, 1.9, 3.1);
  s.Camera()->SetFocalPoint(0.5, 0.5, 0.5);
  s.Camera()->SetViewUp(0.0, 1.0, 0.0);
  s.Renderer->ResetCameraClippingRange();
  s.Window->Render();

  vtkNew<ProbeFrustumPicker> picker;
  vtkNew<vtkIdTypeArray> ids;
  EXPECT_FALSE(picker->SelectIds(mesh, vtkSelectionNode::CELL, ids)) << "no pick yet";
  picker->AddPickList(actor);
  ASSERT_EQ(picker->AreaPick(330, 250, 470, 350, s.Renderer), 1);
  ASSERT_TRUE(picker->SelectIds(mesh, vtkSelectionNode::CELL, ids));
  const std::vector<vtkIdType> picked(
    ids->GetPointer(0), ids->GetPointer(0) + ids->GetNumberOfValues());

  vtkNew<vtkSelection> frustum;
  frustum->AddNode(picker->Frustum()->GetNode(0));
  vtkNew<vtkExtractSelectedFrustum> extract;
  extract->SetInputData(0, mesh);
  extract->SetInputData(1, frustum);
  extract->Update();
  auto* kept = vtkIdTypeArray::SafeDownCast(
    vtkDataSet::SafeDownCast(extract->GetOutput())->GetCellData()->GetArray("vtkOriginalCellIds"));
  ASSERT_NE(kept, nullptr);
  std::vector<vtkIdType> expected(
    kept->GetPointer(0), kept->GetPointer(0) + kept->GetNumberOfValues());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(picked, expected);

  EXPECT_LT(static_cast<vtkIdType>(picked.size()), mesh->GetNumberOfCells());
}
