#include "vtkFrustumSelectionPicker.h"

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

// A picker deriving from the abstract base with the abstract type macro:
// it inherits the base's NewInstanceInternal.
class BarePicker : public vtkSelectionPicker
{
public:
  vtkAbstractTypeMacro(BarePicker, vtkSelectionPicker);
  static BarePicker* Make() { return new BarePicker; }
  int AreaPick(double, double, double, double, vtkRenderer*) override { return 0; }
  vtkSelection* GetSelection() override { return this->Selection; }
};

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

TEST(SelectionPicker, DefaultsPrintingAndAbstractInstance)
{
  vtkNew<vtkFrustumSelectionPicker> picker;
  EXPECT_EQ(picker->GetFieldAssociation(), 3);
  EXPECT_EQ(picker->GetProp3Ds(), nullptr);
  EXPECT_EQ(static_cast<vtkSelectionPicker*>(picker)->GetSelection()->GetNumberOfNodes(), 0u);
  // Field association and area (0, 0, 0, 0), after vtkAbstractPicker's lines.
  std::ostringstream out;
  picker->Print(out);
  const std::string text = out.str();
  const auto own = text.find("\n  Field Association: 3\n  Selection Area: (0, 0, 0, 0)\n");
  EXPECT_NE(own, std::string::npos) << text;
  EXPECT_LT(text.find("Picking from renderer's prop list"), own) << text;

  picker->SetFieldAssociation(7);
  EXPECT_EQ(picker->GetFieldAssociation(), 7);
  EXPECT_TRUE(picker->IsA("vtkAbstractPicker"));
  vtkSmartPointer<vtkFrustumSelectionPicker> other;
  other.TakeReference(picker->NewInstance());
  EXPECT_STREQ(other->GetClassName(), "vtkFrustumSelectionPicker");
  // A class deriving from the abstract base inherits its null NewInstance.
  BarePicker* bare = BarePicker::Make();
  EXPECT_EQ(bare->NewInstance(), nullptr);
  bare->Delete();
}

TEST(SelectionPicker, TypeDecipherOnEachKindOfProp)
{
  vtkNew<ProbeFrustumPicker> picker;
  vtkImageActor* image = nullptr;
  vtkAbstractMapper3D* mapper = nullptr;
  // The result, the image actor and the mapper reported for a prop; the
  // outputs start as junk so that every call must write both.
  const auto decipher = [&](vtkProp* prop)
  {
    image = reinterpret_cast<vtkImageActor*>(&picker);
    mapper = reinterpret_cast<vtkAbstractMapper3D*>(&picker);
    const int result = picker->TypeDecipher(prop, &image, &mapper);
    return std::make_tuple(result, static_cast<void*>(image), static_cast<void*>(mapper));
  };
  using R = std::tuple<int, void*, void*>;
  PlaneActor plane{ 0, 0, 1, 1, 0, 1, 1 };
  vtkPolyDataMapper* planeMapper = plane.Mapper;
  EXPECT_EQ(decipher(plane.Actor), R(1, nullptr, planeMapper));
  // Opacity 0 is refused, but the mapper is reported.
  plane.Actor->GetProperty()->SetOpacity(0.0);
  EXPECT_EQ(decipher(plane.Actor), R(0, nullptr, planeMapper));
  plane.Actor->GetProperty()->SetOpacity(0.5);
  EXPECT_EQ(decipher(plane.Actor), R(1, nullptr, planeMapper));
  plane.Actor->VisibilityOff();
  EXPECT_EQ(decipher(plane.Actor), R(0, nullptr, nullptr));
  plane.Actor->VisibilityOn();
  plane.Actor->PickableOff();
  EXPECT_EQ(decipher(plane.Actor), R(0, nullptr, nullptr));

  vtkNew<vtkImageActor> imageActor;
  EXPECT_EQ(decipher(imageActor), R(1, imageActor.Get(), nullptr));
  VolumeProp volume;
  EXPECT_EQ(decipher(volume.Volume), R(1, nullptr, volume.Mapper.Get()));
  vtkNew<vtkActor2D> actor2D;
  EXPECT_EQ(std::get<0>(decipher(actor2D)), 0);
  EXPECT_EQ(std::get<2>(decipher(actor2D)), nullptr);
  EXPECT_EQ(std::get<0>(decipher(nullptr)), 0);

  // LOD props: a polygonal level is opacity-tested, a volume level is not.
  vtkNew<vtkLODProp3D> lod;
  EXPECT_EQ(std::get<0>(decipher(lod)), 0) << "no level at all";
  vtkNew<vtkProperty> clear;
  clear->SetOpacity(0.0);
  lod->AddLOD(plane.Mapper, clear, 0.0);
  EXPECT_EQ(decipher(lod), R(0, nullptr, planeMapper));
  clear->SetOpacity(1.0);
  EXPECT_EQ(std::get<0>(decipher(lod)), 1);
  vtkNew<vtkLODProp3D> volumeLod;
  volumeLod->AddLOD(volume.Mapper, volume.Property, 0.0);
  EXPECT_EQ(decipher(volumeLod), R(1, nullptr, volume.Mapper.Get()));
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

TEST(FrustumSelectionPicker, ExactIdsNodeLayoutAndRepeatedPicks)
{
  PlaneScene scene;
  auto& picker = scene.Picker;
  picker->AddPickList(scene.Plane.Actor);
  const std::vector<vtkIdType> pointIds{ 20, 21 }, cellIds{ 9, 10, 11, 17, 18, 19 };

  // Cells 1..3 of rows 1..2; the points inside are (2, 2) and (3, 2). The
  // same rectangle under the same camera again: the frustum output starts
  // over from one node, so the result is the same; so is a repeated
  // GetSelection.
  for (int pick = 0; pick < 2; ++pick)
  {
    ASSERT_EQ(picker->AreaPick(150, 150, 350, 250, scene.Renderer), 1);
    ASSERT_EQ(picker->Frustum()->GetNumberOfNodes(), 1u);
    vtkSelectionNode* frustum = picker->Frustum()->GetNode(0);
    EXPECT_EQ(PropOf(frustum), scene.Plane.Actor.Get());
    EXPECT_EQ(frustum->GetContentType(), vtkSelectionNode::FRUSTUM);
    EXPECT_EQ(frustum->GetFieldType(), vtkSelectionNode::CELL);
    for (int call = 0; call < 2; ++call)
    {
      vtkSelection* selection = picker->GetSelection();
      ASSERT_EQ(selection->GetNumberOfNodes(), 2u);
      vtkSelectionNode* points = selection->GetNode(0);
      vtkSelectionNode* cells = selection->GetNode(1);
      EXPECT_EQ(points->GetContentType(), vtkSelectionNode::INDICES);
      EXPECT_EQ(points->GetFieldType(), vtkSelectionNode::POINT);
      EXPECT_EQ(Ids(points), pointIds);
      EXPECT_EQ(cells->GetContentType(), vtkSelectionNode::INDICES);
      EXPECT_EQ(cells->GetFieldType(), vtkSelectionNode::CELL);
      EXPECT_EQ(Ids(cells), cellIds);
      for (vtkSelectionNode* node : { points, cells })
      {
        EXPECT_EQ(PropOf(node), scene.Plane.Actor.Get());
        EXPECT_EQ(SourceOf(node), scene.Plane.Mapper.Get());
      }
      vtkSelection* own = picker->GetSelectionForProp3D(scene.Plane.Actor);
      ASSERT_EQ(own->GetNumberOfNodes(), 2u);
      EXPECT_EQ(own->GetNode(0), points);
      EXPECT_EQ(own->GetNode(1), cells);
    }
  }
  EXPECT_EQ(picker->GetProp3Ds()->GetNumberOfItems(), 1);

  // The cell ids are those vtkConvertSelection gives for the same frustum
  // node, and so are the node's properties.
  vtkNew<vtkSelection> single;
  single->AddNode(picker->Frustum()->GetNode(0));
  vtkSmartPointer<vtkSelection> converted;
  converted.TakeReference(vtkConvertSelection::ToSelectionType(single,
    scene.Plane.Source->GetOutput(),
    vtkSelectionNode::INDICES,
    nullptr,
    vtkSelectionNode::CELL));
  ASSERT_EQ(converted->GetNumberOfNodes(), 1u);
  EXPECT_EQ(Ids(converted->GetNode(0)), cellIds);
  EXPECT_EQ(converted->GetNode(0)->GetProperties()->GetNumberOfKeys(),
    picker->GetSelection()->GetNode(1)->GetProperties()->GetNumberOfKeys());
}
TEST(FrustumSelectionPicker, FieldAssociations)
{
  PlaneScene scene;
  auto& picker = scene.Picker;
  vtkRenderer* renderer = scene.Renderer;
  vtkActor* actor = scene.Plane.Actor;
  picker->AddPickList(actor);

  // Inside cell 9 alone: no point lies in the frustum.
  ASSERT_EQ(picker->AreaPick(120, 120, 180, 180, renderer), 1);
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(selection->GetNode(0)->GetFieldType(), vtkSelectionNode::CELL);
  EXPECT_EQ(Ids(selection->GetNode(0)), (std::vector<vtkIdType>{ 9 }));
  vtkSelection* own = picker->GetSelectionForProp3D(actor);
  ASSERT_EQ(own->GetNumberOfNodes(), 2u);
  EXPECT_EQ(own->GetNode(0)->GetFieldType(), vtkSelectionNode::POINT);
  EXPECT_TRUE(Ids(own->GetNode(0)).empty());
  EXPECT_EQ(own->GetNode(1), selection->GetNode(0));

  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_POINTS);
  selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u) << "an empty point node is kept for points alone";
  EXPECT_EQ(selection->GetNode(0)->GetFieldType(), vtkSelectionNode::POINT);
  EXPECT_TRUE(Ids(selection->GetNode(0)).empty());

  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  ASSERT_EQ(picker->AreaPick(150, 150, 350, 250, renderer), 1);
  selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(selection->GetNode(0)->GetFieldType(), vtkSelectionNode::CELL);
  EXPECT_EQ(Ids(selection->GetNode(0)), (std::vector<vtkIdType>{ 9, 10, 11, 17, 18, 19 }));

  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_POINTS);
  selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(Ids(selection->GetNode(0)), (std::vector<vtkIdType>{ 20, 21 }));

  for (int association : { 2, 7 })
  {
    picker->SetFieldAssociation(association);
    EXPECT_EQ(picker->GetSelection()->GetNumberOfNodes(), 0u) << association;
    ASSERT_NE(picker->GetSelectionForProp3D(actor), nullptr);
    EXPECT_EQ(picker->GetSelectionForProp3D(actor)->GetNumberOfNodes(), 0u);
  }

  // A null renderer is refused with an error and changes nothing.
  orvi_test::EventRecorder errors(picker, vtkCommand::ErrorEvent);
  EXPECT_EQ(picker->AreaPick(0, 0, 10, 10, nullptr), 0);
  EXPECT_EQ(errors.Count, 1);
  EXPECT_TRUE(errors.Saw("ProbeFrustumPicker::AreaPick needs a renderer"));
  EXPECT_EQ(picker->GetSelectionArea()[2], 350.0);
}

TEST(FrustumSelectionPicker, PickListDecidesWhichPropsAreTagged)
{
  orvi_test::Scene s;
  PlaneActor a{ 0, 0, 2, 6, 0, 2, 6 };
  PlaneActor b{ 3, 0, 5, 6, 0, 2, 6 };
  PlaneActor c{ 6, 0, 8, 6, 0, 2, 6 };
  for (auto* plane : { &a, &b, &c })
  {
    s.Renderer->AddActor(plane->Actor);
  }
  orvi_test::ParallelView(s.Renderer, 4.0, 3.0);
  s.Window->Render();

  vtkNew<ProbeFrustumPicker> picker;
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  // An empty pick list tags nothing, whatever the pick-from-list flag.
  picker->PickFromListOff();
  EXPECT_EQ(picker->AreaPick(50, 250, 750, 350, s.Renderer), 3);
  EXPECT_EQ(picker->GetProp3Ds()->GetNumberOfItems(), 0);
  EXPECT_EQ(picker->GetSelection()->GetNumberOfNodes(), 0u);
  EXPECT_EQ(picker->GetSelectionForProp3D(a.Actor), nullptr);

  picker->AddPickList(a.Actor);
  picker->AddPickList(c.Actor);
  EXPECT_EQ(picker->AreaPick(50, 250, 750, 350, s.Renderer), 3);
  vtkProp3DCollection* tagged = picker->GetProp3Ds();
  ASSERT_EQ(tagged->GetNumberOfItems(), 2);
  EXPECT_TRUE(tagged->IsItemPresent(a.Actor));
  EXPECT_TRUE(tagged->IsItemPresent(c.Actor));
  EXPECT_EQ(picker->Frustum()->GetNumberOfNodes(), 3u);

  // Nodes for the two listed props only (their order is checked with
  // twelve props below).
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 2u);
  EXPECT_NE(PropOf(selection->GetNode(0)), b.Actor.Get());
  EXPECT_NE(PropOf(selection->GetNode(1)), b.Actor.Get());
  EXPECT_EQ(
    IdSet(picker->GetSelectionForProp3D(a.Actor)->GetNode(0)), (std::set<vtkIdType>{ 4, 5, 6, 7 }));
  EXPECT_EQ(
    IdSet(picker->GetSelectionForProp3D(c.Actor)->GetNode(0)), (std::set<vtkIdType>{ 4, 5, 6, 7 }));
  EXPECT_EQ(picker->GetSelectionForProp3D(b.Actor), nullptr);

  // Every prop listed, then the same rectangle under the same camera with
  // the first prop of the pick result taken off the list: no tag of the
  // previous pick survives in the frustum nodes.
  picker->AddPickList(b.Actor);
  EXPECT_EQ(picker->AreaPick(50, 250, 750, 350, s.Renderer), 3);
  EXPECT_EQ(picker->GetSelection()->GetNumberOfNodes(), 3u);
  vtkObject* dropped = s.Renderer->GetPickResultProps()->GetItemAsObject(0);
  picker->DeletePickList(vtkProp::SafeDownCast(dropped));
  EXPECT_EQ(picker->AreaPick(50, 250, 750, 350, s.Renderer), 3);
  ASSERT_EQ(picker->Frustum()->GetNumberOfNodes(), 3u);
  EXPECT_EQ(PropOf(picker->Frustum()->GetNode(0)), nullptr);
  EXPECT_EQ(SourceOf(picker->Frustum()->GetNode(0)), nullptr);
  std::set<vtkObjectBase*> tagged2;
  for (unsigned int i = 1; i < 3; ++i)
  {
    tagged2.insert(PropOf(picker->Frustum()->GetNode(i)));
  }
  EXPECT_EQ(tagged2.size(), 2u);
  EXPECT_EQ(tagged2.count(dropped), 0u);
  selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 2u);
  EXPECT_NE(PropOf(selection->GetNode(0)), dropped);
  EXPECT_NE(PropOf(selection->GetNode(1)), dropped);
  EXPECT_EQ(picker->GetProp3Ds()->GetNumberOfItems(), 2);

  // Nothing under the rectangle: 0, an empty collection, an empty result.
  b.Actor->VisibilityOff();
  EXPECT_EQ(picker->AreaPick(350, 250, 450, 350, s.Renderer), 0);
  ASSERT_NE(picker->GetProp3Ds(), nullptr);
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
  bool sawVolume = false;
  for (unsigned int i = 0; i < picker->Frustum()->GetNumberOfNodes(); ++i)
  {
    vtkSelectionNode* node = picker->Frustum()->GetNode(i);
    if (PropOf(node) == volume.Volume.Get())
    {
      sawVolume = true;
      EXPECT_EQ(SourceOf(node), nullptr);
    }
  }
  EXPECT_TRUE(sawVolume);
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
// included.
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

  // Far more than the cells with a face on the surface, and not all of them.
  std::set<vtkIdType> onSurface;
  auto* faceCells = vtkIdTypeArray::SafeDownCast(
    surface->GetOutput()->GetCellData()->GetArray("vtkOriginalCellIds"));
  ASSERT_NE(faceCells, nullptr);
  for (vtkIdType i = 0; i < faceCells->GetNumberOfValues(); ++i)
  {
    onSurface.insert(faceCells->GetValue(i));
  }
  const auto interior = std::count_if(
    picked.begin(), picked.end(), [&](vtkIdType id) { return onSurface.count(id) == 0; });
  EXPECT_GT(interior, static_cast<long>(picked.size()) / 2);
  EXPECT_LT(static_cast<vtkIdType>(picked.size()), mesh->GetNumberOfCells());
}
