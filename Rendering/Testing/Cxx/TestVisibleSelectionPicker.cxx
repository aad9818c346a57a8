#include "vtkVisibleSelectionPicker.h"

#include "orviPickerScenes.h"
#include "orviTestUtils.h"

#include "vtkCellArray.h"
#include "vtkDataSetMapper.h"
#include "vtkHardwareSelector.h"
#include "vtkIdList.h"
#include "vtkObjectFactory.h"
#include "vtkPolyData.h"
#include "vtkSphereSource.h"
#include "vtkUnstructuredGrid.h"

#include <gtest/gtest.h>

#include <sstream>

using orvi_test::Ids;
using orvi_test::IdSet;
using orvi_test::PlaneActor;
using orvi_test::PropOf;
using orvi_test::SourceOf;

namespace
{
// Opens the protected parts a derived picker can reach.
class ProbeVisiblePicker : public vtkVisibleSelectionPicker
{
public:
  static ProbeVisiblePicker* New();
  vtkTypeMacro(ProbeVisiblePicker, vtkVisibleSelectionPicker);
  using vtkVisibleSelectionPicker::FillSelectionFromDataSet;
  using vtkVisibleSelectionPicker::GetPixelTolerance;
  using vtkVisibleSelectionPicker::GetSelection;
  using vtkVisibleSelectionPicker::SetPixelTolerance;
  vtkHardwareSelector* Selector() const { return this->HardwareSelector; }
  vtkSelection* Hardware() const { return this->HardwareSelection; }
  vtkSelection* Result() const { return this->Selection; }
};
vtkStandardNewMacro(ProbeVisiblePicker);

// The points of the selected cells, kept as a per-point WorldToDisplay()
// test against the widened rectangle keeps them: the plain way of deriving
// them, against which the picker's faster way is checked.
std::vector<vtkIdType> ReferencePoints(vtkSelectionNode* cellNode,
  vtkPolyData* data,
  vtkRenderer* renderer,
  const double area[4],
  double tolerance)
{
  vtkNew<vtkIdList> unique;
  data->BuildCells();
  for (vtkIdType cellId : Ids(cellNode))
  {
    if (cellId < 0 || cellId >= data->GetNumberOfCells())
    {
      continue;
    }
    vtkNew<vtkIdList> cellPoints;
    data->GetCellPoints(cellId, cellPoints);
    for (vtkIdType k = 0; k < cellPoints->GetNumberOfIds(); ++k)
    {
      unique->InsertUniqueId(cellPoints->GetId(k));
    }
  }
  std::vector<vtkIdType> kept;
  for (vtkIdType k = 0; k < unique->GetNumberOfIds(); ++k)
  {
    double p[3];
    data->GetPoint(unique->GetId(k), p);
    renderer->SetWorldPoint(p[0], p[1], p[2], 1.0);
    renderer->WorldToDisplay();
    const double* d = renderer->GetDisplayPoint();
    if (area[0] - tolerance <= d[0] && area[1] - tolerance <= d[1] && d[0] <= area[2] + tolerance &&
      d[1] <= area[3] + tolerance)
    {
      kept.push_back(unique->GetId(k));
    }
  }
  return kept;
}

using PlaneScene = orvi_test::PlanePickerScene<ProbeVisiblePicker>;
using A4 = std::array<double, 4>;
using orvi_test::Area;
} // namespace

TEST(VisibleSelectionPicker, DefaultsClampingAndSelectorArea)
{
  PlaneScene scene;
  auto& picker = scene.Picker;
  EXPECT_EQ(picker->GetSelection()->GetNumberOfNodes(), 0u) << "before any pick";

  EXPECT_EQ(picker->AreaPick(-10, 650, 900, 50, scene.Renderer), 1);
  EXPECT_EQ(Area(picker->GetSelectionArea()), (A4{ 0, 50, 800, 600 }));
  ORVI_EXPECT_VEC3_NEAR(picker->GetSelectionPoint(), 445.0, 350.0, 0.0, 0.0);
  ORVI_EXPECT_VEC3_NEAR(picker->GetPickPosition(), 0.0, 0.0, 0.0, 0.0); // left unchanged

  // A click is not widened; the selector gets the truncated pixel.
  EXPECT_EQ(picker->AreaPick(100.7, 50.2, 100.7, 50.2, scene.Renderer), 1);
  EXPECT_EQ(Area(picker->GetSelectionArea()), (A4{ 100.7, 50.2, 100.7, 50.2 }));
  const unsigned int* selectorArea = picker->Selector()->GetArea();
  EXPECT_EQ(
    (A4{
      1.0 * selectorArea[0], 1.0 * selectorArea[1], 1.0 * selectorArea[2], 1.0 * selectorArea[3] }),
    (A4{ 100, 50, 100, 50 }));
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u) << "no point within 4 pixels of (100.7, 50.2)";
  EXPECT_EQ(Ids(selection->GetNode(0)), (std::vector<vtkIdType>{ 1 }));

  // Pick() is the same zero-size AreaPick().
  EXPECT_EQ(picker->Pick(250, 350, 9, scene.Renderer), 1);
  EXPECT_EQ(IdSet(picker->GetSelection()->GetNode(0)), (std::set<vtkIdType>{ 26 }));
}

TEST(VisibleSelectionPicker, RectanglesPastTheEdgesSelectWhatIsOnScreen)
{
  vtkNew<ProbeVisiblePicker> picker;
  orvi_test::ExpectEdgeCasesPickWhatIsOnScreen(picker,
    [&](const orvi_test::EdgeCase& c, vtkRenderer*)
    {
      if (c.Props == 0)
      {
        EXPECT_EQ(picker->Hardware(), nullptr) << "no selection run";
        return;
      }
      // The selector's area is the rectangle clamped to the last pixel.
      const unsigned int* a = picker->Selector()->GetArea();
      EXPECT_EQ((A4{ 1.0 * a[0], 1.0 * a[1], 1.0 * a[2], 1.0 * a[3] }), c.Clamped);
    });
}

TEST(VisibleSelectionPicker, ExactIdsAndNodeOrder)
{
  PlaneScene scene;
  auto& picker = scene.Picker;
  vtkRenderer* renderer = scene.Renderer;
  ASSERT_EQ(picker->AreaPick(150, 150, 350, 250, renderer), 1);
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 2u);
  vtkSelectionNode* points = selection->GetNode(0);
  vtkSelectionNode* cells = selection->GetNode(1);
  EXPECT_EQ(points->GetFieldType(), vtkSelectionNode::POINT);
  EXPECT_EQ(points->GetContentType(), vtkSelectionNode::INDICES);
  EXPECT_EQ(IdSet(points), (std::set<vtkIdType>{ 20, 21 }));
  EXPECT_EQ(cells->GetFieldType(), vtkSelectionNode::CELL);
  EXPECT_EQ(cells, picker->Hardware()->GetNode(0)) << "the hardware node itself";
  EXPECT_EQ(IdSet(cells), (std::set<vtkIdType>{ 9, 10, 11, 17, 18, 19 }));
  for (vtkSelectionNode* node : { points, cells })
  {
    EXPECT_EQ(PropOf(node), scene.Plane.Actor.Get());
    EXPECT_EQ(SourceOf(node), scene.Plane.Mapper.Get());
  }
  EXPECT_EQ(Ids(points),
    ReferencePoints(
      cells, scene.Plane.Source->GetOutput(), renderer, picker->GetSelectionArea(), 4.0));

  // Cell ids outside the data set give no points; cell 10 gives its points
  // in the data set's order, 11, 12, 21, 20, of which 21 and 20 are kept.
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_POINTS);
  picker->Result()->Initialize();
  vtkNew<vtkSelectionNode> handMade;
  handMade->SetContentType(vtkSelectionNode::INDICES);
  handMade->SetFieldType(vtkSelectionNode::CELL);
  vtkNew<vtkIdTypeArray> bogus;
  for (vtkIdType id : { -1, 48, 1000, 10 })
  {
    bogus->InsertNextValue(id);
  }
  handMade->SetSelectionList(bogus);
  picker->FillSelectionFromDataSet(handMade, scene.Plane.Source->GetOutput());
  ASSERT_EQ(picker->Result()->GetNumberOfNodes(), 1u);
  EXPECT_EQ(Ids(picker->Result()->GetNode(0)), (std::vector<vtkIdType>{ 21, 20 }));
  EXPECT_EQ(handMade->GetFieldType(), vtkSelectionNode::CELL) << "the copy took the point type";
}

TEST(VisibleSelectionPicker, PixelToleranceKeepsThreeAndAHalfDropsFourAndAHalf)
{
  PlaneScene scene;
  auto& picker = scene.Picker;
  // The rectangle's left edge is 3.5 pixels right of the points at x = 100.
  ASSERT_EQ(picker->AreaPick(103.5, 150, 180, 250, scene.Renderer), 1);
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 2u);
  EXPECT_EQ(Ids(selection->GetNode(0)), (std::vector<vtkIdType>{ 19 }));

  ASSERT_EQ(picker->AreaPick(104.5, 150, 180, 250, scene.Renderer), 1);
  selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u) << "no point left: the cell node alone";
  EXPECT_EQ(selection->GetNode(0)->GetFieldType(), vtkSelectionNode::CELL);
  EXPECT_EQ(IdSet(selection->GetNode(0)), (std::set<vtkIdType>{ 9, 17 }));

  picker->SetPixelTolerance(5.0);
  selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 2u);
  EXPECT_EQ(Ids(selection->GetNode(0)), (std::vector<vtkIdType>{ 19 }));
}

TEST(VisibleSelectionPicker, HiddenCellsAndPickList)
{
  orvi_test::Scene s;
  PlaneActor front{ 0, 0, 4, 6, 0.0, 4, 6 };
  PlaneActor back{ 0, 0, 8, 6, -1.0, 8, 6 };
  s.Renderer->AddActor(front.Actor);
  s.Renderer->AddActor(back.Actor);
  orvi_test::ParallelView(s.Renderer, 4.0, 3.0);
  s.Window->Render();

  vtkNew<ProbeVisiblePicker> picker;
  ASSERT_EQ(picker->AreaPick(250, 150, 550, 250, s.Renderer), 2);
  vtkSelection* selection = picker->GetSelection();
  std::map<vtkObjectBase*, std::set<vtkIdType>> cells;
  std::map<vtkObjectBase*, std::set<vtkIdType>> points;
  for (unsigned int i = 0; i < selection->GetNumberOfNodes(); ++i)
  {
    vtkSelectionNode* node = selection->GetNode(i);
    auto& target = node->GetFieldType() == vtkSelectionNode::CELL ? cells : points;
    target[PropOf(node)] = IdSet(node);
  }
  EXPECT_EQ(cells[front.Actor], (std::set<vtkIdType>{ 6, 7, 10, 11 }));
  EXPECT_EQ(cells[back.Actor], (std::set<vtkIdType>{ 12, 13, 20, 21 }))
    << "the back plane's cells behind the front plane are not selected";
  // Points of the visible back cells inside the widened rectangle: x = 4, 5
  // at y = 2. Nothing of the hidden columns 2 and 3.
  EXPECT_EQ(points[back.Actor], (std::set<vtkIdType>{ 22, 23 }));
  EXPECT_EQ(points[front.Actor], (std::set<vtkIdType>{ 13, 14 })) << "x = 3, 4 at y = 2";

  // Picking from a list that holds only the back plane: the front plane
  // cannot be hit, so the whole back row shows through.
  picker->AddPickList(back.Actor);
  picker->PickFromListOn();
  front.Actor->PickableOn();
  ASSERT_EQ(picker->AreaPick(250, 150, 550, 250, s.Renderer), 1);
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(PropOf(selection->GetNode(0)), back.Actor.Get());
  EXPECT_EQ(IdSet(selection->GetNode(0)), (std::set<vtkIdType>{ 10, 11, 12, 13, 18, 19, 20, 21 }));
  EXPECT_EQ(front.Actor->GetPickable(), 1) << "restored";

  // An unpickable prop stays unpickable after the pick.
  picker->PickFromListOff();
  front.Actor->PickableOff();
  ASSERT_EQ(picker->AreaPick(250, 150, 550, 250, s.Renderer), 1);
  EXPECT_EQ(front.Actor->GetPickable(), 0);
  picker->PickFromListOn();
  ASSERT_EQ(picker->AreaPick(250, 150, 550, 250, s.Renderer), 1);
  EXPECT_EQ(front.Actor->GetPickable(), 0);
}

TEST(VisibleSelectionPicker, SideBySideRenderersClampAndRestoreDrawFlags)
{
  orvi_test::Scene s;
  s.Renderer->SetViewport(0.0, 0.0, 0.5, 1.0);
  vtkNew<vtkRenderer> right;
  right->SetViewport(0.5, 0.0, 1.0, 1.0);
  vtkNew<vtkRenderer> hidden; // a third renderer that does not draw
  hidden->SetViewport(0.0, 0.0, 0.25, 0.25);
  hidden->DrawOff();
  s.Window->AddRenderer(right);
  s.Window->AddRenderer(hidden);
  PlaneActor left{ 0, 0, 4, 6, 0.0, 4, 6 };
  PlaneActor mine{ 0, 0, 4, 6, 0.0, 4, 6 };
  s.Renderer->AddActor(left.Actor);
  right->AddActor(mine.Actor);
  orvi_test::ParallelView(s.Renderer, 2.0, 3.0);
  orvi_test::ParallelView(right, 2.0, 3.0);
  s.Window->Render();

  vtkNew<ProbeVisiblePicker> picker;
  // The right renderer owns the pixels 400..800 x 0..600.
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  ASSERT_EQ(picker->AreaPick(300, -20, 1000, 700, right), 1);
  EXPECT_EQ(Area(picker->GetSelectionArea()), (A4{ 400, 0, 800, 600 }));
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(PropOf(selection->GetNode(0)), mine.Actor.Get());
  EXPECT_EQ(Ids(selection->GetNode(0)).size(), 24u);

  // Cells 0..2 of rows 1 and 2 of the right plane.
  ASSERT_EQ(picker->AreaPick(450, 150, 650, 250, right), 1);
  EXPECT_EQ(IdSet(picker->GetSelection()->GetNode(0)), (std::set<vtkIdType>{ 4, 5, 6, 8, 9, 10 }));
  EXPECT_EQ((std::array<int, 3>{ s.Renderer->GetDraw(), right->GetDraw(), hidden->GetDraw() }),
    (std::array<int, 3>{ 1, 1, 0 }));

  // From the left renderer's side, the same for its own pixels; nothing
  // found still restores every flag.
  ASSERT_EQ(picker->AreaPick(50, 150, 250, 250, s.Renderer), 1);
  EXPECT_EQ(PropOf(picker->GetSelection()->GetNode(0)), left.Actor.Get());
  left.Actor->VisibilityOff();
  EXPECT_EQ(picker->AreaPick(50, 150, 250, 250, s.Renderer), 0);
  EXPECT_EQ(picker->GetSelection()->GetNumberOfNodes(), 0u);
  EXPECT_EQ((std::array<int, 3>{ s.Renderer->GetDraw(), right->GetDraw(), hidden->GetDraw() }),
    (std::array<int, 3>{ 1, 1, 0 }));
}

// A data set that is not poly data has no points to derive: the point node
// is empty, and with points then cells the hardware's cell node stays alone.
TEST(VisibleSelectionPicker, UnstructuredGridGivesAnEmptyPointNode)
{
  orvi_test::Scene s;
  PlaneActor plane{ 0, 0, 2, 1, 0.0, 2, 1 };
  vtkNew<vtkUnstructuredGrid> grid;
  grid->SetPoints(plane.Source->GetOutput()->GetPoints());
  for (const auto& quad : { std::array<vtkIdType, 4>{ 0, 1, 4, 3 }, { 1, 2, 5, 4 } })
  {
    grid->InsertNextCell(VTK_QUAD, 4, quad.data());
  }
  vtkNew<vtkDataSetMapper> mapper;
  mapper->SetInputData(grid);
  plane.Actor->SetMapper(mapper);
  s.Renderer->AddActor(plane.Actor);
  orvi_test::ParallelView(s.Renderer, 4.0, 3.0);
  s.Window->Render();
  vtkNew<ProbeVisiblePicker> picker;
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_POINTS);
  ASSERT_EQ(picker->AreaPick(0, 0, 250, 150, s.Renderer), 1);
  vtkSelection* selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(selection->GetNode(0)->GetFieldType(), vtkSelectionNode::POINT);
  EXPECT_EQ(SourceOf(selection->GetNode(0)), mapper.Get());
  EXPECT_TRUE(Ids(selection->GetNode(0)).empty());
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_POINTS_THEN_CELLS);
  selection = picker->GetSelection();
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(selection->GetNode(0), picker->Hardware()->GetNode(0));
}

TEST(VisibleSelectionPicker, PointsMatchThePlainWayUnderAnObliqueCamera)
{
  orvi_test::Scene s;
  orvi_test::ObliqueSphere sphere(s, 64, 48);
  s.Camera()->SetViewAngle(35.0);
  s.Window->Render();
  vtkNew<ProbeVisiblePicker> picker;
  for (double tolerance : { 4.0, 0.0, 11.25 })
  {
    picker->SetPixelTolerance(tolerance);
    ASSERT_EQ(picker->AreaPick(310.5, 240, 455, 330.25, s.Renderer), 1);
    vtkSelection* selection = picker->GetSelection();
    ASSERT_EQ(selection->GetNumberOfNodes(), 2u);
    const auto expected = ReferencePoints(
      selection->GetNode(1), sphere.Data(), s.Renderer, picker->GetSelectionArea(), tolerance);
    EXPECT_EQ(Ids(selection->GetNode(0)), expected) << tolerance;
    EXPECT_GT(expected.size(), 20u);
  }
}
