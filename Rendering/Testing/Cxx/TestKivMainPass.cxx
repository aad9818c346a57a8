// vtkKivMainPass installed the way a host installs it (camera pass, then a
// sequence of lights pass and main pass), drawing into a real window.
#include "vtkKivMainPass.h"

#include "orviPickerScenes.h"
#include "orviTestUtils.h"

#include "vtkActor.h"
#include "vtkDefaultPass.h"
#include "vtkHardwareSelector.h"
#include "vtkInformation.h"
#include "vtkInformationDoubleKey.h"
#include "vtkInformationIntegerKey.h"
#include "vtkInformationKeyLookup.h"
#include "vtkMapper.h"
#include "vtkObjectFactory.h"
#include "vtkOpenGLActor.h"
#include "vtkParametricFunctionSource.h"
#include "vtkParametricTorus.h"
#include "vtkPlaneSource.h"
#include "vtkPolyDataAlgorithm.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderState.h"
#include "vtkSphereSource.h"
#include "vtkTransform.h"
#include "vtkTransformPolyDataFilter.h"
#include "vtkTriangleFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
// vtkMapper's global coincident-topology settings: mode, polygon-offset
// factor and units, polygon-offset-faces switch.
using Globals = std::array<double, 4>;

Globals ReadGlobals()
{
  Globals g;
  g[0] = vtkMapper::GetResolveCoincidentTopology();
  vtkMapper::GetResolveCoincidentTopologyPolygonOffsetParameters(g[1], g[2]);
  g[3] = vtkMapper::GetResolveCoincidentTopologyPolygonOffsetFaces();
  return g;
}

void WriteGlobals(const Globals& g)
{
  vtkMapper::SetResolveCoincidentTopology(static_cast<int>(g[0]));
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(g[1], g[2]);
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetFaces(static_cast<int>(g[3]));
}

// Sets the global settings for a test and puts the old ones back after it,
// so that one test's settings do not leak into the next.
struct GlobalsGuard
{
  explicit GlobalsGuard(const Globals& g) { WriteGlobals(g); }
  ~GlobalsGuard() { WriteGlobals(this->Saved); }
  Globals Saved = ReadGlobals();
};
} // namespace

// An actor that notes vtkMapper's global settings each time it draws its
// opaque geometry, then draws as usual. It derives from vtkOpenGLActor, the
// class VTK's factory gives for vtkActor.
class RecordingActor : public vtkOpenGLActor
{
public:
  static RecordingActor* New();
  vtkTypeMacro(RecordingActor, vtkOpenGLActor);
  int RenderOpaqueGeometry(vtkViewport* viewport) override
  {
    this->Seen.push_back(ReadGlobals());
    return this->Superclass::RenderOpaqueGeometry(viewport);
  }
  std::vector<Globals> Seen;
};
vtkStandardNewMacro(RecordingActor);

// Counts the stages the pass runs and opens its protected opaque stage.
class ProbeMainPass : public vtkKivMainPass
{
public:
  static ProbeMainPass* New();
  vtkTypeMacro(ProbeMainPass, vtkKivMainPass);
  void CallRenderOpaqueGeometry(const vtkRenderState* s) { this->RenderOpaqueGeometry(s); }
  int OpaqueCalls = 0;
  int OtherStageCalls = 0;

protected:
  void RenderOpaqueGeometry(const vtkRenderState* s) override
  {
    ++this->OpaqueCalls;
    this->Superclass::RenderOpaqueGeometry(s);
  }
  void RenderTranslucentPolygonalGeometry(const vtkRenderState* s) override
  {
    ++this->OtherStageCalls;
    this->Superclass::RenderTranslucentPolygonalGeometry(s);
  }
  void RenderVolumetricGeometry(const vtkRenderState* s) override
  {
    ++this->OtherStageCalls;
    this->Superclass::RenderVolumetricGeometry(s);
  }
  void RenderOverlay(const vtkRenderState* s) override
  {
    ++this->OtherStageCalls;
    this->Superclass::RenderOverlay(s);
  }
};
vtkStandardNewMacro(ProbeMainPass);

namespace
{
// A flat square of side `size` whose lower-left corner is (x, y) in the
// plane z = 0, split into res x res cells, lit by diffuse light only.
vtkSmartPointer<RecordingActor>
MakeSquare(double x, double y, double size, int res, double r, double g, double b)
{
  auto actor = orvi_test::MakePlane<RecordingActor>(x, y, x + size, y + size, 0.0, res, res);
  actor->GetProperty()->SetColor(r, g, b);
  actor->GetProperty()->SetAmbient(0.0);
  actor->GetProperty()->SetDiffuse(1.0);
  actor->GetProperty()->SetSpecular(0.0);
  return actor;
}

// Property keys holding the given keys of the pass: a negative wireframe
// value or an offset of -99 leaves that key out.
vtkSmartPointer<vtkInformation> Keys(int wireframe, double factor = -99, double units = -99)
{
  auto keys = vtkSmartPointer<vtkInformation>::New();
  if (wireframe >= 0)
  {
    keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), wireframe);
  }
  if (factor != -99)
  {
    keys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR(), factor);
  }
  if (units != -99)
  {
    keys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), units);
  }
  return keys;
}

// A w x h window with the pass installed and a parallel camera looking down
// -z at (cx, cy) with the given half height.
template <class PassT>
struct PassScene : orvi_test::Scene
{
  PassScene(int w, int h, double cx, double cy, double halfHeight)
    : orvi_test::Scene(w, h)
  {
    vtkKivMainPass::InstallOn(this->Renderer, this->Pass);
    orvi_test::LookDownZ(this->Camera(), 10.0, true, halfHeight, cx, cy);
  }
  RecordingActor* Add(vtkSmartPointer<RecordingActor> actor, vtkInformation* keys = nullptr)
  {
    actor->SetPropertyKeys(keys);
    this->Renderer->AddActor(actor);
    this->Renderer->ResetCameraClippingRange();
    return actor;
  }
  vtkNew<PassT> Pass;
};

// True when the pixel is the given primary colour, lit (not black).
bool IsLit(const std::array<int, 4>& p, int channel)
{
  for (int c = 0; c < 3; ++c)
  {
    if (c == channel ? p[c] < 200 : p[c] > 40)
    {
      return false;
    }
  }
  return true;
}
} // namespace

// Seven squares side by side, each tagged differently; each records the
// global settings it was drawn with, and each must show lit on screen.
TEST(KivMainPass, SwitchesTheGlobalSettingsAroundEachTaggedProp)
{
  GlobalsGuard guard({ VTK_RESOLVE_OFF, 3.0, 5.0, 0 });
  PassScene<ProbeMainPass> scene(700, 100, 3.5, 0.5, 0.5);
  // Squares of side 0.8 at x = i, i = 0..6, in the band y in [0.1, 0.9].
  const vtkSmartPointer<vtkInformation> keys[7] = {
    nullptr,            // no keys at all: untouched
    Keys(0),            // wireframe key with value 0: presence counts, mode 1, (1, 1)
    Keys(1, 7, 9),      // wireframe and both offset keys: wireframe wins
    Keys(-1, 2),        // factor only: units from the global setting, faces on
    Keys(-1, -99, 4),   // units only: factor from the global setting
    Keys(-1),           // property keys without any of the pass's keys: untouched
    Keys(-1, -1.5, -6), // both offset keys
  };
  std::vector<RecordingActor*> actors;
  for (int i = 0; i < 7; ++i)
  {
    actors.push_back(scene.Add(MakeSquare(i + 0.1, 0.1, 0.8, 1, 1.0, 0.0, 0.0), keys[i]));
  }
  scene.Window->Render();
  // A factor the prop gives reaches VTK 9's mappers as units, `slope` per
  // unit of factor (the same for both squares that give one: the view is
  // parallel).
  const double slope = (actors[3]->Seen.at(0)[2] - 5.0) / 2.0;
  const Globals expected[7] = { { 0, 3, 5, 0 },
    { 1, 1, 1, 0 },
    { 1, 1, 1, 0 },
    { 0, 2, 5 + 2 * slope, 1 },
    { 0, 3, 4, 1 },
    { 0, 3, 5, 1 },
    { 0, -1.5, -6 - 1.5 * slope, 1 } };
  for (int i = 0; i < 7; ++i)
  {
    SCOPED_TRACE(i);
    ASSERT_EQ(actors[i]->Seen.size(), 1u);
    for (int k = 0; k < 4; ++k)
    {
      EXPECT_NEAR(actors[i]->Seen[0][k], expected[i][k], 1e-9) << k;
    }
    // Drawn, and lit: the chain set up camera and lights.
    EXPECT_TRUE(IsLit(scene.Pixel(100 * i + 50, 50), 0));
  }
  EXPECT_EQ(scene.Pixel(100, 50)[0], 0) << "background between squares";
  EXPECT_EQ(scene.Pass->GetNumberOfRenderedProps(), 7);
  EXPECT_EQ(scene.Pass->OpaqueCalls, 1);
  EXPECT_EQ(scene.Pass->OtherStageCalls, 3);
  // After the frame: mode and parameters as before, the faces switch at 1.
  EXPECT_EQ(ReadGlobals(), (Globals{ VTK_RESOLVE_OFF, 3, 5, 1 }));

  // With the global mode already polygon offset, a second frame restores
  // that mode too.
  WriteGlobals({ VTK_RESOLVE_POLYGON_OFFSET, 3, 5, 0 });
  scene.Window->Render();
  ASSERT_EQ(actors[3]->Seen.size(), 2u);
  EXPECT_EQ(actors[0]->Seen[1][0], VTK_RESOLVE_POLYGON_OFFSET);
  EXPECT_NEAR(actors[3]->Seen[1][2], 5 + 2 * slope, 1e-9);
  EXPECT_EQ(actors[3]->Seen[1][0], VTK_RESOLVE_POLYGON_OFFSET);
  EXPECT_EQ(ReadGlobals(), (Globals{ VTK_RESOLVE_POLYGON_OFFSET, 3, 5, 1 }));

  // Only wireframe-tagged props: the faces switch is never touched.
  WriteGlobals({ VTK_RESOLVE_OFF, 0.5, 0.25, 0 });
  PassScene<vtkKivMainPass> single(100, 100, 0.5, 0.5, 0.5);
  RecordingActor* wire = single.Add(MakeSquare(0, 0, 1, 1, 0, 1, 0), Keys(1));
  single.Window->Render();
  ASSERT_EQ(wire->Seen.size(), 1u);
  EXPECT_EQ(wire->Seen[0], (Globals{ VTK_RESOLVE_POLYGON_OFFSET, 1, 1, 0 }));
  EXPECT_TRUE(IsLit(single.Pixel(50, 50), 1));
  EXPECT_EQ(ReadGlobals(), (Globals{ VTK_RESOLVE_OFF, 0.5, 0.25, 0 }));
}

// The pass called directly: an empty prop array, a count without an array,
// null entries, no renderer; and installed on a renderer without props,
// also while a hardware selection runs.
TEST(KivMainPass, EmptyAndNullPropArraysAndAMissingRenderer)
{
  GlobalsGuard guard({ VTK_RESOLVE_OFF, 3.0, 5.0, 0 });
  PassScene<ProbeMainPass> scene(100, 100, 0.5, 0.5, 0.5);
  scene.Renderer->SetBackground(0.0, 0.0, 1.0);
  scene.Window->Render();
  EXPECT_EQ(scene.Pass->GetNumberOfRenderedProps(), 0);
  EXPECT_EQ(scene.Pixel(50, 50)[2], 255);
  vtkNew<vtkHardwareSelector> selector;
  selector->SetRenderer(scene.Renderer);
  selector->SetArea(0, 0, 99, 99);
  vtkSmartPointer<vtkSelection> selection;
  selection.TakeReference(selector->Select());
  EXPECT_EQ(selection->GetNumberOfNodes(), 0u);

  vtkNew<ProbeMainPass> pass;
  orvi_test::EventRecorder errors(pass, vtkCommand::ErrorEvent);
  auto actor = MakeSquare(0.0, 0.0, 1.0, 1, 1.0, 0.0, 0.0);
  actor->SetPropertyKeys(Keys(-1, -99, 8));
  vtkProp* props[3] = { nullptr, actor, nullptr };
  vtkRenderState empty(scene.Renderer), countOnly(scene.Renderer), withNulls(scene.Renderer);
  countOnly.SetPropArrayAndCount(nullptr, 3);
  withNulls.SetPropArrayAndCount(props, 3);
  pass->Render(&withNulls);
  EXPECT_EQ(pass->GetNumberOfRenderedProps(), 1);
  ASSERT_EQ(actor->Seen.size(), 1u);
  EXPECT_EQ(actor->Seen[0], (Globals{ VTK_RESOLVE_OFF, 3, 8, 1 }));
  for (const vtkRenderState* state : { &empty, &countOnly })
  {
    pass->Render(state);
    EXPECT_EQ(pass->GetNumberOfRenderedProps(), 0);
  }
  EXPECT_EQ(pass->OpaqueCalls, 3);
  EXPECT_TRUE(errors.Texts.empty());

  // No renderer: an error from each entry point, nothing drawn or changed.
  vtkRenderState noRenderer(nullptr);
  noRenderer.SetPropArrayAndCount(props + 1, 1);
  pass->Render(&withNulls);
  pass->Render(&noRenderer);
  EXPECT_EQ(pass->GetNumberOfRenderedProps(), 0);
  pass->CallRenderOpaqueGeometry(&noRenderer);
  pass->Render(nullptr);
  ASSERT_EQ(errors.Texts.size(), 2u);
  EXPECT_NE(
    errors.Texts[0].find("): vtkKivMainPass::Render: No renderer available"), std::string::npos);
  EXPECT_NE(errors.Texts[1].find("): vtkKivMainPass::RenderOpaqueGeometry: No renderer available"),
    std::string::npos);
  EXPECT_EQ(pass->OpaqueCalls, 5);
  EXPECT_EQ(pass->OtherStageCalls, 12);
  EXPECT_EQ(actor->Seen.size(), 2u);
  EXPECT_EQ(ReadGlobals(), (Globals{ VTK_RESOLVE_OFF, 3, 5, 1 }));
}

// A 4 x 4 plane filling a 200 x 200 window: each cell is 50 x 50 pixels and
// cell (column i, row j) has id 4 j + i. Through vtkDefaultPass in the same
// chain the props are drawn without the selector numbering them, and nothing
// is found: this is what the selector path of vtkKivMainPass is for.
TEST(KivMainPass, HardwareSelectionSelectsRealCellsWhereTheDefaultPassFindsNothing)
{
  PassScene<ProbeMainPass> scene(200, 200, 2.0, 2.0, 2.0);
  // The keys do not matter to the selection.
  RecordingActor* actor = scene.Add(MakeSquare(0.0, 0.0, 4.0, 4, 1.0, 0.0, 0.0), Keys(1));
  scene.Window->Render();
  scene.Pass->OpaqueCalls = 0;
  scene.Pass->OtherStageCalls = 0;
  vtkNew<vtkHardwareSelector> selector;
  selector->SetRenderer(scene.Renderer);
  selector->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  const auto select = [&](unsigned int x0, unsigned int y0, unsigned int x1, unsigned int y1)
  {
    selector->SetArea(x0, y0, x1, y1);
    vtkSmartPointer<vtkSelection> selection;
    selection.TakeReference(selector->Select());
    return selection;
  };

  vtkSmartPointer<vtkSelection> one = select(60, 110, 90, 140);
  ASSERT_EQ(one->GetNumberOfNodes(), 1u);
  EXPECT_EQ(orvi_test::IdSet(one->GetNode(0)), (std::set<vtkIdType>{ 9 }));
  EXPECT_EQ(orvi_test::PropOf(one->GetNode(0)), actor);
  // The selector drew the props; the pass's own stages did not run.
  EXPECT_EQ(scene.Pass->OpaqueCalls, 0);
  EXPECT_EQ(scene.Pass->OtherStageCalls, 0);
  EXPECT_EQ(scene.Pass->GetNumberOfRenderedProps(), 1);
  EXPECT_EQ(
    orvi_test::IdSet(select(10, 10, 140, 40)->GetNode(0)), (std::set<vtkIdType>{ 0, 1, 2 }));
  EXPECT_EQ(
    orvi_test::IdSet(select(160, 60, 190, 190)->GetNode(0)), (std::set<vtkIdType>{ 7, 11, 15 }));

  // A frame after the selection draws normally again.
  scene.Window->Render();
  EXPECT_EQ(scene.Pass->OpaqueCalls, 1);
  EXPECT_TRUE(IsLit(scene.Pixel(100, 100), 0));

  vtkNew<vtkDefaultPass> plain;
  vtkKivMainPass::InstallOn(scene.Renderer, plain);
  scene.Window->Render();
  EXPECT_EQ(select(60, 110, 90, 140)->GetNumberOfNodes(), 0u);
}

namespace
{
// A surface seen at an angle, as a host shows a mesh: a sphere, a torus or a
// sloped plane.
vtkSmartPointer<vtkPolyData> EdgeShape(const std::string& name)
{
  vtkSmartPointer<vtkPolyDataAlgorithm> source;
  if (name == "sphere")
  {
    auto sphere = vtkSmartPointer<vtkSphereSource>::New();
    sphere->SetThetaResolution(24);
    sphere->SetPhiResolution(16);
    source = sphere;
  }
  else if (name == "torus")
  {
    auto torus = vtkSmartPointer<vtkParametricFunctionSource>::New();
    torus->SetParametricFunction(vtkNew<vtkParametricTorus>());
    torus->SetUResolution(36);
    torus->SetVResolution(18);
    source = torus;
  }
  else
  {
    auto plane = vtkSmartPointer<vtkPlaneSource>::New();
    plane->SetResolution(12, 12);
    vtkNew<vtkTransform> slope;
    slope->RotateX(60.0);
    slope->RotateY(25.0);
    auto sloped = vtkSmartPointer<vtkTransformPolyDataFilter>::New();
    sloped->SetInputConnection(plane->GetOutputPort());
    sloped->SetTransform(slope);
    source = sloped;
  }
  // Triangles, as a host's meshes usually are (VTK's sources make quads).
  vtkNew<vtkTriangleFilter> triangles;
  triangles->SetInputConnection(source->GetOutputPort());
  triangles->Update();
  return triangles->GetOutput();
}

// An unlit actor of one flat colour drawing `data`.
vtkSmartPointer<vtkActor> FlatActor(vtkPolyData* data, double r, double g, double b)
{
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputData(data);
  mapper->ScalarVisibilityOff();
  auto actor = vtkSmartPointer<vtkActor>::New();
  actor->SetMapper(mapper);
  actor->GetProperty()->SetColor(r, g, b);
  actor->GetProperty()->LightingOff();
  return actor;
}

// One edge case: a shape, the camera turned from the default view, the
// projection and vtkMapper's global mode.
struct EdgeView
{
  const char* Shape;
  double Azimuth;
  double Elevation;
  bool Parallel;
  int GlobalMode;
};

constexpr int EdgeWindow = 300;
constexpr double SurfaceRgb[3] = { 0.2, 0.4, 0.9 };

// The pixels of a frame that are nearer black (the edges) than the surface
// colour, as a mask.
std::vector<bool> EdgePixels(vtkRenderWindow* window)
{
  orvi_test::Frame frame(window);
  std::vector<bool> mask(static_cast<size_t>(frame.Width * frame.Height));
  const double surface = 255.0 * (SurfaceRgb[0] + SurfaceRgb[1] + SurfaceRgb[2]);
  for (int y = 0; y < frame.Height; ++y)
  {
    for (int x = 0; x < frame.Width; ++x)
    {
      const auto rgb = frame.At(x, y);
      mask[y * frame.Width + x] = rgb[0] + rgb[1] + rgb[2] < 0.5 * surface;
    }
  }
  return mask;
}

// How a picture of a surface's edges is drawn.
enum class Edges
{
  Vtk,            // VTK's own: EdgeVisibilityOn() on the surface actor
  SameData,       // a wireframe actor on the surface's poly data, tagged
  CopiedData,     // the same on a copy of it: two props drawn one over the other
  CopiedUnfought, // the same, with the surface pushed far behind its lines
};

// Renders `shape` in a white window with its edges drawn as asked (the last
// three through the pass installed in its chain) and returns the edge pixels.
std::vector<bool> RenderEdges(vtkPolyData* shape, const EdgeView& view, Edges edges)
{
  orvi_test::Scene scene(EdgeWindow, EdgeWindow);
  scene.Renderer->SetBackground(1.0, 1.0, 1.0);
  auto surface = FlatActor(shape, SurfaceRgb[0], SurfaceRgb[1], SurfaceRgb[2]);
  scene.Renderer->AddActor(surface);
  if (edges == Edges::Vtk)
  {
    surface->GetProperty()->EdgeVisibilityOn();
    surface->GetProperty()->SetEdgeColor(0.0, 0.0, 0.0);
  }
  else
  {
    vtkNew<vtkPolyData> copy;
    copy->DeepCopy(shape);
    auto wireframe = FlatActor(edges == Edges::SameData ? shape : copy.Get(), 0.0, 0.0, 0.0);
    wireframe->GetProperty()->SetRepresentationToWireframe();
    wireframe->SetPropertyKeys(Keys(1));
    scene.Renderer->AddActor(wireframe);
    vtkKivMainPass::InstallOn(scene.Renderer, vtkNew<vtkKivMainPass>());
    if (edges == Edges::CopiedUnfought)
    {
      vtkMapper::SetResolveCoincidentTopology(VTK_RESOLVE_POLYGON_OFFSET);
      vtkMapper::SafeDownCast(surface->GetMapper())
        ->SetRelativeCoincidentTopologyPolygonOffsetParameters(0.0, 300.0);
    }
  }
  vtkCamera* camera = scene.Camera();
  camera->SetParallelProjection(view.Parallel);
  scene.Renderer->ResetCamera();
  camera->Azimuth(view.Azimuth);
  camera->Elevation(view.Elevation);
  camera->OrthogonalizeViewUp();
  scene.Renderer->ResetCamera();
  // The second frame: a pair the pass met only when its surface was drawn
  // already is drawn in one go from then on.
  scene.Window->Render();
  scene.Window->Render();
  return EdgePixels(scene.Window);
}

// How many of `reference`'s pixels have a pixel of `mask` within one pixel.
int Covered(const std::vector<bool>& reference, const std::vector<bool>& mask)
{
  int covered = 0;
  for (int y = 0; y < EdgeWindow; ++y)
  {
    for (int x = 0; x < EdgeWindow; ++x)
    {
      bool near = false;
      for (int dy = -1; dy <= 1 && !near; ++dy)
      {
        for (int dx = -1; dx <= 1 && !near; ++dx)
        {
          const int xx = std::clamp(x + dx, 0, EdgeWindow - 1);
          const int yy = std::clamp(y + dy, 0, EdgeWindow - 1);
          near = mask[yy * EdgeWindow + xx];
        }
      }
      covered += reference[y * EdgeWindow + x] && near ? 1 : 0;
    }
  }
  return covered;
}
} // namespace

// A wireframe tagged RENDER_WIREFRAME over an untagged surface shows whole
// lines, in VTK's default global mode (off) and in polygon-offset mode, for
// every view. On the surface's own poly data the pass draws the two as VTK
// draws a surface with EdgeVisibilityOn(): the same picture. Over a copy of
// the data (two props) the edges VTK draws are all there within a pixel, and
// a z-fighting wireframe would break into dashes and keep about 60% of them.
TEST(KivMainPass, TaggedWireframeShowsWholeEdgesOverItsSurface)
{
  const EdgeView views[] = {
    { "sphere", 30, 20, false, VTK_RESOLVE_OFF },
    { "sphere", -40, 70, true, VTK_RESOLVE_POLYGON_OFFSET },
    { "sphere", 80, 10, true, VTK_RESOLVE_OFF },
    { "torus", 0, 0, false, VTK_RESOLVE_POLYGON_OFFSET },
    { "torus", 80, 10, true, VTK_RESOLVE_OFF },
    { "torus", -40, 70, false, VTK_RESOLVE_OFF },
    { "plane", 30, 20, false, VTK_RESOLVE_OFF },
    { "plane", -40, 70, true, VTK_RESOLVE_OFF },
    { "plane", 10, 85, false, VTK_RESOLVE_POLYGON_OFFSET },
  };
  for (const EdgeView& view : views)
  {
    SCOPED_TRACE(std::string(view.Shape) + " azimuth " + std::to_string(view.Azimuth) +
      " elevation " + std::to_string(view.Elevation) + (view.Parallel ? " parallel" : "") +
      " mode " + std::to_string(view.GlobalMode));
    GlobalsGuard guard({ static_cast<double>(view.GlobalMode), 0, 0, 0 });
    const auto shape = EdgeShape(view.Shape);
    const auto reference = RenderEdges(shape, view, Edges::Vtk);
    EXPECT_EQ(RenderEdges(shape, view, Edges::SameData), reference);
    const auto edges = RenderEdges(shape, view, Edges::CopiedData);
    const auto clean = RenderEdges(shape, view, Edges::CopiedUnfought);
    const auto count = [](const std::vector<bool>& m)
    { return std::count(m.begin(), m.end(), true); };
    EXPECT_GE(Covered(reference, edges), 0.95 * count(reference));
    EXPECT_GE(Covered(clean, edges), 0.98 * count(clean));
    EXPECT_GE(count(edges), 0.75 * count(reference));
  }
}

// Two coincident squares of different colours, tilted away from the camera,
// each with its own offset keys: in polygon-offset mode the one given the
// larger offset is drawn behind, everywhere, filled or drawn as wireframe,
// whether the offset is given as units or as a factor (which VTK 9's mappers
// only take through the pass). With the global mode off the keys do nothing
// and the square drawn last wins.
TEST(KivMainPass, TheLargerOffsetIsDrawnBehind)
{
  struct Case
  {
    int GlobalMode;
    bool Wireframe;
    double RedFactor, RedUnits, GreenFactor, GreenUnits;
    int Winner; // colour channel of the square that must show: 0 red, 1 green
  };
  const Case cases[] = {
    { VTK_RESOLVE_POLYGON_OFFSET, false, 0, 20, 0, 0, 1 },
    { VTK_RESOLVE_POLYGON_OFFSET, false, 0, 0, 0, 20, 0 },
    { VTK_RESOLVE_POLYGON_OFFSET, true, 0, 20, 0, 0, 1 },
    { VTK_RESOLVE_POLYGON_OFFSET, true, 0, -20, 0, 0, 0 },
    { VTK_RESOLVE_POLYGON_OFFSET, false, 0, 0, 2, 0, 0 },
    { VTK_RESOLVE_POLYGON_OFFSET, true, 2, 0, 0, 0, 1 },
    { VTK_RESOLVE_OFF, false, 0, 0, 0, 20, 1 },
    { VTK_RESOLVE_OFF, true, 0, -20, 0, 0, 1 },
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(&c - cases);
    GlobalsGuard guard({ static_cast<double>(c.GlobalMode), 0, 0, 0 });
    PassScene<vtkKivMainPass> scene(200, 200, 0.5, 0.5, 0.5);
    scene.Camera()->SetParallelProjection(false);
    scene.Camera()->Elevation(-55.0);
    scene.Camera()->OrthogonalizeViewUp();
    scene.Camera()->Dolly(3.0);
    RecordingActor* red =
      scene.Add(MakeSquare(0, 0, 1, 8, 1, 0, 0), Keys(-1, c.RedFactor, c.RedUnits));
    RecordingActor* green =
      scene.Add(MakeSquare(0, 0, 1, 8, 0, 1, 0), Keys(-1, c.GreenFactor, c.GreenUnits));
    for (RecordingActor* actor : { red, green })
    {
      actor->GetProperty()->LightingOff();
      actor->GetProperty()->SetRepresentation(c.Wireframe ? VTK_WIREFRAME : VTK_SURFACE);
    }
    scene.Renderer->ResetCameraClippingRange();
    scene.Window->Render();
    orvi_test::Frame frame(scene.Window);
    const auto shows = [&](int channel)
    {
      return frame.Count([channel](const std::array<int, 3>& rgb, int, int)
        { return rgb[channel] > 100 && rgb[1 - channel] < 60; });
    };
    EXPECT_GT(shows(c.Winner), c.Wireframe ? 500 : 5000);
    EXPECT_EQ(shows(1 - c.Winner), 0);
  }
}

// A surface and the tagged wireframe of its own poly data are drawn in one
// go as long as they coincide: the picture follows the wireframe's colour,
// moving the wireframe or hiding the surface draws them apart again, and a
// hardware selection still finds the surface's cells.
TEST(KivMainPass, SurfaceAndItsWireframeFollowTheirActors)
{
  GlobalsGuard guard({ VTK_RESOLVE_OFF, 0, 0, 0 });
  const auto shape = EdgeShape("sphere");
  orvi_test::Scene scene(EdgeWindow, EdgeWindow);
  scene.Renderer->SetBackground(1.0, 1.0, 1.0);
  auto surface = FlatActor(shape, SurfaceRgb[0], SurfaceRgb[1], SurfaceRgb[2]);
  auto wireframe = FlatActor(shape, 1.0, 0.0, 0.0);
  wireframe->GetProperty()->SetRepresentationToWireframe();
  wireframe->SetPropertyKeys(Keys(1));
  wireframe->PickableOff(); // as a host makes its edges
  scene.Renderer->AddActor(surface);
  scene.Renderer->AddActor(wireframe);
  vtkKivMainPass::InstallOn(scene.Renderer, vtkNew<vtkKivMainPass>());
  scene.Renderer->ResetCamera();
  scene.Window->Render();
  EXPECT_TRUE(orvi_test::MatchesBaseline(scene.Window, "pass-wireframe-on-surface"));

  vtkNew<vtkHardwareSelector> selector;
  selector->SetRenderer(scene.Renderer);
  selector->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  selector->SetArea(140, 140, 160, 160);
  vtkSmartPointer<vtkSelection> selection;
  selection.TakeReference(selector->Select());
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(orvi_test::PropOf(selection->GetNode(0)), surface);

  wireframe->SetPosition(0.6, 0.0, 0.0);
  scene.Window->Render();
  EXPECT_TRUE(orvi_test::MatchesBaseline(scene.Window, "pass-wireframe-moved"));
  wireframe->SetPosition(0.0, 0.0, 0.0);
  scene.Window->Render();
  EXPECT_TRUE(orvi_test::MatchesBaseline(scene.Window, "pass-wireframe-on-surface"));
  surface->VisibilityOff();
  scene.Window->Render();
  EXPECT_TRUE(orvi_test::MatchesBaseline(scene.Window, "pass-wireframe-alone"));
}
