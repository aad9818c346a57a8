// Shared by the tests of the two CATIA-convention classes: a scene with a
// square in the middle of the view, pickers that record what they are asked,
// test subclasses that show the protected state, and the way a host (for the
// navigator) or the user's buttons (for the style) start each state.
#ifndef catiaTestUtils_h
#define catiaTestUtils_h

#include "orviTestUtils.h"

#include "vtkAreaPicker.h"
#include "vtkCatiaInteractor.h"
#include "vtkInteractorStyleCATIA.h"
#include "vtkPropPicker.h"

#include <array>
#include <vector>

namespace catia_test
{

/// A prop picker that keeps every point pick it is asked for.
class RecordingPropPicker : public vtkPropPicker
{
public:
  static RecordingPropPicker* New() { VTK_STANDARD_NEW_BODY(RecordingPropPicker); }
  vtkTypeMacro(RecordingPropPicker, vtkPropPicker);
  using vtkPropPicker::Pick;
  int Pick(double x, double y, double z, vtkRenderer* renderer) override
  {
    this->Points.push_back({ x, y, z });
    return this->vtkPropPicker::Pick(x, y, z, renderer);
  }
  std::vector<std::array<double, 3>> Points;
};

/// An area picker that keeps every rectangle and every point pick.
class RecordingAreaPicker : public vtkAreaPicker
{
public:
  static RecordingAreaPicker* New() { VTK_STANDARD_NEW_BODY(RecordingAreaPicker); }
  vtkTypeMacro(RecordingAreaPicker, vtkAreaPicker);
  using vtkAreaPicker::Pick;
  int AreaPick(double x0, double y0, double x1, double y1, vtkRenderer* renderer) override
  {
    this->Areas.push_back({ x0, y0, x1, y1 });
    return this->vtkAreaPicker::AreaPick(x0, y0, x1, y1, renderer);
  }
  int Pick(double x, double y, double z, vtkRenderer* renderer) override
  {
    ++this->PointPicks;
    return this->vtkAreaPicker::Pick(x, y, z, renderer);
  }
  std::vector<std::array<double, 4>> Areas;
  int PointPicks = 0;
};

/// The class under test, with its protected state readable.
template <class Base>
class Exposed : public Base
{
public:
  static Exposed* New() { VTK_STANDARD_NEW_BODY(Exposed); }
  vtkTypeMacro(Exposed, Base);
  int GetPropPicked() const { return this->PropPicked; }
  int GetAnimState() const { return this->AnimState; }
  bool Spinning() { return this->IsSpinning(); }
};

using Navigator = Exposed<vtkCatiaInteractor>;
using Style = Exposed<vtkInteractorStyleCATIA>;

/// A real window with a 2 x 2 square at z = 0 in the middle of the view,
/// seen from (0, 0, 10): in 800 x 600 it covers about 112 pixels on each side
/// of the centre; the corners of the window show background.
struct CatiaScene : orvi_test::Scene
{
  explicit CatiaScene(int width = 800, int height = 600)
    : Scene(width, height)
  {
    this->Renderer->AddActor(this->Square);
    orvi_test::LookDownZ(this->Camera(), 10.0);
    this->Renderer->ResetCameraClippingRange();
    this->Interactor->Initialize();
  }

  // Detach the style while the interactor lives: a style does not hold its
  // interactor, and would otherwise outlive it still pointing at it.
  ~CatiaScene() { this->Interactor->SetInteractorStyle(nullptr); }
  CatiaScene(const CatiaScene&) = delete;
  CatiaScene& operator=(const CatiaScene&) = delete;

  vtkSmartPointer<vtkActor> Square = orvi_test::MakePlane(-1, -1, 1, 1);
};

/// How each class enters a state: the navigator through the host's calls,
/// the style through the user's buttons.
template <class T>
struct Drive;

template <>
struct Drive<Navigator>
{
  static void BeginPan(CatiaScene& scene, Navigator* nav, int x, int y)
  {
    scene.SetPointer(x, y);
    nav->ClearMoved();
    nav->ClearPanned();
    nav->StartPan();
  }
  // A host's rotate press: the spin rule chooses between spin and rotate.
  static void BeginRotation(CatiaScene& scene, Navigator* nav, int x, int y)
  {
    scene.SetPointer(x, y);
    nav->FindPokedRenderer(x, y);
    if (nav->IsSpinning())
    {
      nav->StartSpin();
    }
    else
    {
      nav->StartRotate();
    }
  }
  static void BeginPick(CatiaScene& scene, Navigator* nav, int x, int y)
  {
    scene.SetPointer(x, y);
    nav->StartPick();
  }
  static void FinishPick(CatiaScene& scene, Navigator* nav, int x, int y)
  {
    scene.SetPointer(x, y);
    nav->EndPick();
  }
};

template <>
struct Drive<Style>
{
  static void BeginPan(CatiaScene& scene, Style*, int x, int y)
  {
    scene.Fire(vtkCommand::MiddleButtonPressEvent, x, y);
  }
  static void BeginRotation(CatiaScene& scene, Style*, int x, int y)
  {
    scene.Fire(vtkCommand::MiddleButtonPressEvent, x, y);
    scene.Fire(vtkCommand::LeftButtonPressEvent, x, y);
  }
  static void BeginPick(CatiaScene& scene, Style*, int x, int y)
  {
    scene.Fire(vtkCommand::LeftButtonPressEvent, x, y);
  }
  static void FinishPick(CatiaScene& scene, Style*, int x, int y)
  {
    scene.Fire(vtkCommand::LeftButtonReleaseEvent, x, y);
  }
};

} // namespace catia_test

#endif
