// vtkVisibleSelectionPicker: the cells a hardware selection sees on screen,
// the points of those cells inside the rectangle widened by the pixel
// tolerance, and the window's other renderers and props left as they were.
#include "vtkVisibleSelectionPicker.h"

#include "orviPickerScenes.h"
#include "orviTestUtils.h"

#include "vtkDataSetMapper.h"
#include "vtkHardwareSelector.h"
#include "vtkIdList.h"
#include "vtkUnstructuredGrid.h"

using namespace orvi_test;

namespace
{
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
