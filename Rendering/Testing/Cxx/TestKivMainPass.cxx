// vtkKivMainPass installed the way a host installs it (InstallOn: a camera
// pass, then a sequence of lights pass and main pass), drawing into a real
// window: vtkMapper's global settings around each tagged prop, props given
// to the pass by hand, edges over their surface as VTK draws them, offsets
// that decide which of two coincident props shows, and hardware selection.
#include "vtkKivMainPass.h"

#include "orviPickerScenes.h"
#include "orviTestUtils.h"

#include "vtkHardwareSelector.h"
#include "vtkInformation.h"
#include "vtkInformationDoubleKey.h"
#include "vtkInformationIntegerKey.h"
#include "vtkMapper.h"
#include "vtkObjectFactory.h"
#include "vtkParametricFunctionSource.h"
#include "vtkParametricTorus.h"
#include "vtkProperty.h"
#include "vtkRenderState.h"
#include "vtkTriangleFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// Sets the global settings for a test and puts the old ones back after it.
struct GlobalsGuard
{
  explicit GlobalsGuard(const Globals& g) { WriteGlobals(g); }
  ~GlobalsGuard() { WriteGlobals(this->Saved); }
  Globals Saved = ReadGlobals();
};

// Opens the pass's opaque stage.
class ProbeMainPass : public vtkKivMainPass
{
public:
  static ProbeMainPass* New();
  vtkTypeMacro(ProbeMainPass, vtkKivMainPass);
  using vtkKivMainPass::RenderOpaqueGeometry;
};
vtkStandardNewMacro(ProbeMainPass);

// Property keys holding the pass's keys that are not NaN: the wireframe key
// with the given value, the offset factor, the offset units.
vtkSmartPointer<vtkInformation> Keys(double wireframe, double factor = NAN, double units = NAN)
{
  auto keys = vtkSmartPointer<vtkInformation>::New();
  if (!std::isnan(wireframe))
  {
    keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), static_cast<int>(wireframe));
  }
  if (!std::isnan(factor))
  {
    keys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR(), factor);
  }
  if (!std::isnan(units))
  {
    keys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), units);
  }
  return keys;
}

// A w x h window with the pass installed and a parallel camera looking down
// -z at (cx, cy) with the given half height.
struct PassScene : orvi_test::Scene
{
  PassScene(int w, int h, double cx, double cy, double halfHeight)
    : orvi_test::Scene(w, h)
  {
    vtkKivMainPass::InstallOn(this->Renderer, this->Pass);
    orvi_test::LookDownZ(this->Camera(), 10.0, true, halfHeight, cx, cy);
  }
  // A square of side `size` with its lower-left corner at (x, y) in z = 0,
  // in res x res cells, of one colour, lit by diffuse light only or unlit.
  vtkActor* Add(double x,
    double y,
    double size,
    int res,
    const std::array<double, 3>& rgb,
    vtkInformation* keys = nullptr,
    bool lit = true)
  {
    auto actor = orvi_test::MakePlane(x, y, x + size, y + size, 0.0, res, res);
    actor->GetProperty()->SetColor(rgb[0], rgb[1], rgb[2]);
    actor->GetProperty()->SetAmbient(0.0);
    actor->GetProperty()->SetSpecular(0.0);
    actor->GetProperty()->SetLighting(lit);
    actor->SetPropertyKeys(keys);
    this->Renderer->AddActor(actor);
    this->Renderer->ResetCameraClippingRange();
    return actor;
  }
  // Whether pixel (x, y) shows the primary colour `channel`, lit.
  bool Shows(int x, int y, int channel)
  {
    const auto p = this->Pixel(x, y);
    return p[channel] > 200 && p[0] + p[1] + p[2] - p[channel] < 80;
  }
  vtkNew<ProbeMainPass> Pass;
};
} // namespace

// Installed, it draws lit props (the chain sets up camera and lights) and
// puts vtkMapper's settings back after a tagged prop but the faces switch.
// The pass called directly: null entries are skipped, a count without an
// array draws nothing, a missing renderer is an error from each entry point
// and draws nothing; installed on a renderer without props it draws the
// background, also while a hardware selection runs.
TEST(KivMainPass, PropArraysByHandAndAMissingRenderer)
{
  GlobalsGuard guard({ VTK_RESOLVE_OFF, 3.0, 5.0, 0 });
  PassScene scene(100, 100, 0.5, 0.5, 0.5);
  scene.Renderer->SetBackground(0.0, 0.0, 1.0);
  scene.Window->Render();
  EXPECT_EQ(scene.Pass->GetNumberOfRenderedProps(), 0);
  EXPECT_TRUE(scene.Shows(50, 50, 2));
  vtkNew<vtkHardwareSelector> selector;
  selector->SetRenderer(scene.Renderer);
  selector->SetArea(0, 0, 99, 99);
  vtkSmartPointer<vtkSelection> selection;
  selection.TakeReference(selector->Select());
  EXPECT_EQ(selection->GetNumberOfNodes(), 0u);

  vtkNew<ProbeMainPass> pass;
  orvi_test::EventRecorder errors(pass, vtkCommand::ErrorEvent);
  vtkActor* actor = scene.Add(0.0, 0.0, 1.0, 1, { 1, 0, 0 }, Keys(NAN, NAN, 8));
  vtkProp* props[3] = { nullptr, actor, nullptr };
  vtkRenderState withNulls(scene.Renderer), countOnly(scene.Renderer), noRenderer(nullptr);
  withNulls.SetPropArrayAndCount(props, 3);
  countOnly.SetPropArrayAndCount(nullptr, 3);
  noRenderer.SetPropArrayAndCount(props + 1, 1);
  scene.Window->Render();
  EXPECT_TRUE(scene.Shows(50, 50, 0)) << "lit: the chain set up the camera and lights";
  WriteGlobals({ VTK_RESOLVE_OFF, 3.0, 5.0, 0 });
  pass->Render(&withNulls);
  EXPECT_EQ(pass->GetNumberOfRenderedProps(), 1);
  EXPECT_EQ(ReadGlobals(), (Globals{ VTK_RESOLVE_OFF, 3, 5, 1 })) << "restored, faces on";
  for (const vtkRenderState* state : { &countOnly, &noRenderer })
  {
    pass->Render(&withNulls);
    pass->Render(state);
    EXPECT_EQ(pass->GetNumberOfRenderedProps(), 0);
  }
  EXPECT_TRUE(errors.Saw("): vtkKivMainPass::Render: No renderer available"));
  pass->RenderOpaqueGeometry(&noRenderer);
  pass->Render(nullptr);
  EXPECT_EQ(errors.Count, 2);
  EXPECT_TRUE(errors.Saw("): vtkKivMainPass::RenderOpaqueGeometry: No renderer available"));
  EXPECT_EQ(ReadGlobals(), (Globals{ VTK_RESOLVE_OFF, 3, 5, 1 }));
}

namespace
{
// A closed, a holed and a flat surface, in triangles as a host's meshes
// usually are (VTK's sources make quads).
vtkSmartPointer<vtkPolyData> EdgeShape(const std::string& name)
{
  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(24);
  sphere->SetPhiResolution(16);
  vtkNew<vtkParametricFunctionSource> torus;
  torus->SetParametricFunction(vtkNew<vtkParametricTorus>());
  torus->SetUResolution(36);
  torus->SetVResolution(18);
  vtkNew<vtkPlaneSource> plane;
  plane->SetResolution(12, 12);
  vtkNew<vtkTriangleFilter> triangles;
  triangles->SetInputConnection(name == "sphere" ? sphere->GetOutputPort()
      : name == "torus"                          ? torus->GetOutputPort()
                                                 : plane->GetOutputPort());
  triangles->Update();
  return triangles->GetOutput();
}

// An unlit actor of one flat colour drawing `data`.
vtkSmartPointer<vtkActor> FlatActor(vtkPolyData* data, const std::array<double, 3>& rgb)
{
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputData(data);
  mapper->ScalarVisibilityOff();
  auto actor = vtkSmartPointer<vtkActor>::New();
  actor->SetMapper(mapper);
  actor->GetProperty()->SetColor(rgb[0], rgb[1], rgb[2]);
  actor->GetProperty()->LightingOff();
  return actor;
}

constexpr int EdgeWindow = 300;
constexpr std::array<double, 3> SurfaceRgb = { 0.2, 0.4, 0.9 };

// A shape, the camera turned from the default view, the projection and
// vtkMapper's global mode.
struct View
{
  const char* Shape;
  double Azimuth, Elevation;
  bool Parallel;
  int GlobalMode;
};

// Renders the view's shape in a white window with its edges drawn by VTK's
// own EdgeVisibilityOn() (edges 0), or through the pass by a tagged
// wireframe actor on the surface's poly data (1) or on a copy of it (2), and
// returns the mask of the pixels nearer black than the surface colour.
std::vector<bool> RenderEdges(const View& v, int edges)
{
  orvi_test::Scene scene(EdgeWindow, EdgeWindow);
  scene.Renderer->SetBackground(1.0, 1.0, 1.0);
  const auto shape = EdgeShape(v.Shape);
  auto surface = FlatActor(shape, SurfaceRgb);
  scene.Renderer->AddActor(surface);
  surface->GetProperty()->SetEdgeVisibility(edges == 0);
  surface->GetProperty()->SetEdgeColor(0.0, 0.0, 0.0);
  vtkNew<vtkPolyData> copy;
  copy->DeepCopy(shape);
  if (edges > 0)
  {
    auto wireframe = FlatActor(edges == 1 ? shape.Get() : copy.Get(), { 0, 0, 0 });
    wireframe->GetProperty()->SetRepresentationToWireframe();
    wireframe->SetPropertyKeys(Keys(0)); // the key's presence counts, not its value
    scene.Renderer->AddActor(wireframe);
    vtkKivMainPass::InstallOn(scene.Renderer);
  }
  scene.Camera()->SetParallelProjection(v.Parallel);
  scene.Renderer->ResetCamera();
  scene.Camera()->Azimuth(v.Azimuth);
  scene.Camera()->Elevation(v.Elevation);
  scene.Camera()->OrthogonalizeViewUp();
  scene.Renderer->ResetCamera();
  // The second frame: a pair the pass met only when its surface was drawn
  // already is drawn in one go from then on.
  scene.Window->Render();
  scene.Window->Render();
  orvi_test::Frame frame(scene.Window);
  std::vector<bool> mask;
  for (int i = 0; i < EdgeWindow * EdgeWindow; ++i)
  {
    const auto rgb = frame.At(i % EdgeWindow, i / EdgeWindow);
    mask.push_back(rgb[0] + rgb[1] + rgb[2] < 0.5 * 255 * (0.2 + 0.4 + 0.9));
  }
  return mask;
}
} // namespace

// A wireframe tagged RENDER_WIREFRAME over an untagged surface, in VTK's
// default global mode (off) and in polygon-offset mode, for every view: on
// the surface's own poly data the pass draws what VTK draws for a surface
// with EdgeVisibilityOn(), pixel for pixel; over a copy of the data (two
// props) 95% of the edges VTK draws have one within a pixel, where a
// z-fighting wireframe would break into dashes.
TEST(KivMainPass, TaggedWireframeShowsWholeEdgesOverItsSurface)
{
  const View views[] = {
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
  for (const View& v : views)
  {
    SCOPED_TRACE(std::string(v.Shape) + " " + std::to_string(&v - views));
    GlobalsGuard guard({ static_cast<double>(v.GlobalMode), 0, 0, 0 });
    const auto reference = RenderEdges(v, 0);
    EXPECT_EQ(RenderEdges(v, 1), reference);
    const auto copied = RenderEdges(v, 2);
    int edges = 0, covered = 0;
    for (int i = 0; i < EdgeWindow * EdgeWindow; ++i)
    {
      const int x = i % EdgeWindow, y = i / EdgeWindow;
      bool near = false;
      for (int k = 0; k < 9; ++k)
      {
        const int xx = std::clamp(x + k % 3 - 1, 0, EdgeWindow - 1);
        near = near || copied[std::clamp(y + k / 3 - 1, 0, EdgeWindow - 1) * EdgeWindow + xx];
      }
      edges += reference[i] ? 1 : 0;
      covered += reference[i] && near ? 1 : 0;
    }
    EXPECT_GE(covered, 0.95 * edges);
    EXPECT_GE(std::count(copied.begin(), copied.end(), true), 0.75 * edges);
  }
}

// Two coincident squares tilted away from the camera, each with its own
// offset keys: in polygon-offset mode the one given the larger offset is
// drawn behind, everywhere, filled or as wireframe, as units or as a factor
// (which VTK 9's mappers take only through the pass). With the global mode
// off the keys do nothing and the square drawn last wins.
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
    PassScene scene(200, 200, 0.5, 0.5, 0.5);
    scene.Camera()->SetParallelProjection(false);
    scene.Camera()->Elevation(-55.0);
    scene.Camera()->OrthogonalizeViewUp();
    scene.Camera()->Dolly(3.0);
    for (const auto& [rgb, factor, units] :
      { std::make_tuple(std::array<double, 3>{ 1, 0, 0 }, c.RedFactor, c.RedUnits),
        std::make_tuple(std::array<double, 3>{ 0, 1, 0 }, c.GreenFactor, c.GreenUnits) })
    {
      scene.Add(0, 0, 1, 8, rgb, Keys(NAN, factor, units), false)
        ->GetProperty()
        ->SetRepresentation(c.Wireframe ? VTK_WIREFRAME : VTK_SURFACE);
    }
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

// A surface and the tagged wireframe of its own poly data, as a host shows
// edges: the picture follows the wireframe's colour and moves with it,
// hiding the surface leaves the wireframe alone, and a hardware selection
// finds the surface's cells through the pass.
TEST(KivMainPass, SurfaceAndItsWireframeFollowTheirActors)
{
  GlobalsGuard guard({ VTK_RESOLVE_OFF, 0, 0, 0 });
  const auto shape = EdgeShape("sphere");
  orvi_test::Scene scene(EdgeWindow, EdgeWindow);
  scene.Renderer->SetBackground(1.0, 1.0, 1.0);
  auto surface = FlatActor(shape, SurfaceRgb);
  auto wireframe = FlatActor(shape, { 1, 0, 0 });
  wireframe->GetProperty()->SetRepresentationToWireframe();
  wireframe->SetPropertyKeys(Keys(1));
  wireframe->PickableOff();
  scene.Renderer->AddActor(surface);
  scene.Renderer->AddActor(wireframe);
  vtkKivMainPass::InstallOn(scene.Renderer);
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
  EXPECT_FALSE(orvi_test::Ids(selection->GetNode(0)).empty());

  const std::pair<double, const char*> steps[] = { { 0.6, "pass-wireframe-moved" },
    { 0.0, "pass-wireframe-on-surface" },
    { 0.0, "pass-wireframe-alone" } };
  for (const auto& [x, baseline] : steps)
  {
    wireframe->SetPosition(x, 0.0, 0.0);
    surface->SetVisibility(std::string(baseline) != "pass-wireframe-alone");
    scene.Window->Render();
    EXPECT_TRUE(orvi_test::MatchesBaseline(scene.Window, baseline));
  }
}
