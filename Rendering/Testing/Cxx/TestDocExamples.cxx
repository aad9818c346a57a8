// The code examples of the library's headers and of the README's tutorial,
// compiled and run on a real scene: a plane of 8 x 6 unit cells filling an
// 800 x 600 window. scripts/check-doc-examples.py (a test of its own) checks that the
// lines between "// example: NAME" and "// end example" are the example
// NAME as the documentation shows it, so an example that stops compiling or
// doing what it says fails here.
#include "vtkFrustumSelectionPicker.h"
#include "vtkKivMainPass.h"
#include "vtkMervoInteractor.h"
#include "vtkVisibleSelectionPicker.h"

#include "orviPickerScenes.h"
#include "orviTestUtils.h"

#include "vtkInformation.h"
#include "vtkInformationIntegerKey.h"
#include "vtkProperty.h"
#include "vtkSelection.h"

using namespace orvi_test;

namespace
{
// The whole plane, in display coordinates.
constexpr double x0 = 0, y0 = 0, x1 = 799, y1 = 599;

vtkIdType CellsPickedThroughBase(vtkActor* actor, vtkRenderer* renderer)
{
  // example: vtkSelectionPicker.h
  vtkNew<vtkFrustumSelectionPicker> picker;
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  picker->AddPickList(actor);
  picker->AreaPick(x0, y0, x1, y1, renderer);
  vtkSelectionPicker* base = picker;
  vtkSelection* selection = base->GetSelection(); // owned by the picker
  // end example
  return selection->GetNumberOfNodes() == 1
    ? selection->GetNode(0)->GetSelectionList()->GetNumberOfTuples()
    : -1;
}

std::array<vtkIdType, 2> NodesPickedThroughFrustum(vtkActor* actor, vtkRenderer* renderer)
{
  // example: vtkFrustumSelectionPicker.h
  vtkNew<vtkFrustumSelectionPicker> picker;
  picker->AddPickList(actor);
  picker->AreaPick(x0, y0, x1, y1, renderer); // number of props found
  vtkSelectionPicker* base = picker;
  vtkSelection* all = base->GetSelection(); // nodes of every tagged prop
  vtkSelection* mine = picker->GetSelectionForProp3D(actor);
  // end example
  return { all->GetNumberOfNodes(), mine->GetNumberOfNodes() };
}

vtkIdType CellsPickedOnScreen(vtkRenderer* renderer)
{
  // example: vtkVisibleSelectionPicker.h
  vtkNew<vtkVisibleSelectionPicker> picker;
  picker->AreaPick(x0, y0, x1, y1, renderer); // number of usable props hit
  vtkSelection* selection = static_cast<vtkSelectionPicker*>(picker)->GetSelection();
  // end example
  return selection->GetNumberOfNodes() > 1
    ? selection->GetNode(1)->GetSelectionList()->GetNumberOfTuples()
    : -1;
}

void InstallPassWithOffset(vtkActor* actor, vtkRenderer* renderer)
{
  // example: vtkKivMainPass.h
  vtkKivMainPass::InstallOn(renderer);

  vtkNew<vtkInformation> keys;
  keys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), 4.0);
  actor->SetPropertyKeys(keys);
  // end example
}

bool InstallsNavigator(vtkRenderWindowInteractor* interactor)
{
  // example: vtkMervoInteractor.h
  vtkNew<vtkMervoInteractor> nav;
  interactor->SetInteractorStyle(nav);
  // button down:  nav->ClearMoved(); nav->StartRotate();   (or Pan/Spin/Dolly)
  // motion:       the interactor's MouseMoveEvent reaches OnMouseMove()
  // button up:    nav->EndRotate(); if (!nav->HasMoved()) nav->FindRotationCenter();
  // box zoom:     nav->StartBoxZoom(); ...motions draw the band...;
  //               nav->BoxZoom(); nav->EndBoxZoom();
  // end example
  return interactor->GetInteractorStyle() == nav.Get();
}

// The tutorial's rotation and click: the navigator's centre ends on the
// plane under the clicked pixel.
std::array<double, 3> ClickedCentre(vtkRenderWindowInteractor* interactor,
  vtkDataSet* mesh,
  int x,
  int y)
{
  interactor->SetEventPosition(x, y);
  // example: README.md#1
  vtkNew<vtkMervoInteractor> nav;
  interactor->SetInteractorStyle(nav);
  nav->SetRotationMarkerScale(0.02 * mesh->GetLength()); // world units
  // end example
  // example: README.md#2
  // button down
  nav->ClearMoved();
  nav->FindPokedRenderer(x, y); // prepares the marker in that renderer
  nav->StartRotate();
  nav->GetRotationPointActor()->VisibilityOn();

  // button up
  nav->GetRotationPointActor()->VisibilityOff();
  nav->EndRotate();     // state none, EndInteractionEvent, render
  if (!nav->HasMoved()) // four motions or fewer: a click
  {
    nav->FindRotationCenter(); // the surface point under the pointer
  }
  // end example
  const double* c = nav->GetRotationCenter();
  return { c[0], c[1], c[2] };
}

vtkIdType TutorialPickedCells(vtkRenderer* renderer)
{
  // example: README.md#3
  vtkNew<vtkVisibleSelectionPicker> picker;
  picker->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  picker->AreaPick(x0, y0, x1, y1, renderer);
  vtkSelection* cells = static_cast<vtkSelectionPicker*>(picker)->GetSelection();
  // end example
  return cells->GetNumberOfNodes() == 1 ? cells->GetNode(0)->GetSelectionList()->GetNumberOfTuples()
                                        : -1;
}

void TutorialEdges(vtkActor* edges, vtkRenderer* renderer)
{
  // example: README.md#4
  vtkNew<vtkInformation> keys;
  keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
  edges->SetPropertyKeys(keys);
  vtkKivMainPass::InstallOn(renderer); // inside VTK 9's camera and lights passes
  // end example
}

// The plane filling the window (its picker unused).
using ExampleScene = PlanePickerScene<vtkFrustumSelectionPicker>;
} // namespace

TEST(DocExamples, PickersSelectTheWholePlane)
{
  ExampleScene scene;
  EXPECT_EQ(CellsPickedThroughBase(scene.Plane, scene.Renderer), 48);
  EXPECT_EQ(
    NodesPickedThroughFrustum(scene.Plane, scene.Renderer), (std::array<vtkIdType, 2>{ 2, 2 }));
  EXPECT_EQ(CellsPickedOnScreen(scene.Renderer), 48);
  EXPECT_EQ(TutorialPickedCells(scene.Renderer), 48);
}

TEST(DocExamples, TutorialClickMovesTheCentreUnderThePointer)
{
  ExampleScene scene;
  EXPECT_TRUE(InstallsNavigator(scene.Interactor));
  const auto centre = ClickedCentre(scene.Interactor, PolyOf(scene.Plane), 150, 250);
  EXPECT_NEAR(centre[0], 1.5, 0.05);
  EXPECT_NEAR(centre[1], 2.5, 0.05);
  EXPECT_NEAR(centre[2], 0.0, 1e-6);
}

TEST(DocExamples, PassExamplesDrawThePlane)
{
  for (bool tutorial : { false, true })
  {
    ExampleScene scene;
    vtkNew<vtkActor> edges;
    edges->SetMapper(scene.Plane->GetMapper());
    edges->GetProperty()->SetRepresentationToWireframe();
    edges->GetProperty()->SetColor(1, 0, 0);
    scene.Renderer->AddActor(edges);
    tutorial ? TutorialEdges(edges, scene.Renderer)
             : InstallPassWithOffset(scene.Plane, scene.Renderer);
    scene.Window->Render();
    const Frame frame(scene.Window);
    // The plane is lit white and the edges red in both: every pixel is drawn.
    EXPECT_EQ(frame.Count([](const std::array<int, 3>& c, int, int) { return c[0] < 40; }), 0)
      << (tutorial ? "tutorial" : "header");
  }
}
