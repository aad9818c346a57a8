// vtkKivMainPass installed the way a host installs it (camera pass, then a
// sequence of lights pass and main pass), drawing into a real window.
#include "vtkKivMainPass.h"

#include "orviPickerScenes.h"
#include "orviTestUtils.h"

#include "vtkCameraPass.h"
#include "vtkDefaultPass.h"
#include "vtkHardwareSelector.h"
#include "vtkInformation.h"
#include "vtkInformationDoubleKey.h"
#include "vtkInformationIntegerKey.h"
#include "vtkInformationKeyLookup.h"
#include "vtkLightsPass.h"
#include "vtkMapper.h"
#include "vtkObjectFactory.h"
#include "vtkOpenGLActor.h"
#include "vtkProperty.h"
#include "vtkRenderPassCollection.h"
#include "vtkRenderState.h"
#include "vtkSequencePass.h"

#include <gtest/gtest.h>

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

// Exposes the protected opaque stage and counts the stages the pass runs.
class ProbeMainPass : public vtkKivMainPass
{
public:
  static ProbeMainPass* New();
  vtkTypeMacro(ProbeMainPass, vtkKivMainPass);
  void CallRenderOpaqueGeometry(const vtkRenderState* s) { this->RenderOpaqueGeometry(s); }
  void SetRenderedProps(int n) { this->NumberOfRenderedProps = n; }
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
// Installs a main pass on a renderer as a host does: camera pass delegating
// to a sequence of lights pass and the main pass.
void InstallChain(vtkRenderer* renderer, vtkRenderPass* mainPass)
{
  vtkNew<vtkLightsPass> lights;
  vtkNew<vtkRenderPassCollection> passes;
  passes->AddItem(lights);
  passes->AddItem(mainPass);
  vtkNew<vtkSequencePass> sequence;
  sequence->SetPasses(passes);
  vtkNew<vtkCameraPass> camera;
  camera->SetDelegatePass(sequence);
  renderer->SetPass(camera);
}

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
    InstallChain(this->Renderer, this->Pass);
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

TEST(KivMainPass, KeysAreCreatedOnceWithTheirNamesAndLocation)
{
  // VTK's key registry finds each by name and location, and every call
  // hands out the same key.
  EXPECT_EQ(vtkInformationKeyLookup::Find("RENDER_WIREFRAME", "vtkKivMainPass"),
    vtkKivMainPass::RENDER_WIREFRAME());
  EXPECT_EQ(vtkInformationKeyLookup::Find("RENDER_POLYGON_OFFSET_FACTOR", "vtkKivMainPass"),
    vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR());
  EXPECT_EQ(vtkInformationKeyLookup::Find("RENDER_POLYGON_OFFSET_UNITS", "vtkKivMainPass"),
    vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS());
  EXPECT_NE(vtkKivMainPass::RENDER_WIREFRAME(), nullptr);
  EXPECT_NE(static_cast<void*>(vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR()),
    static_cast<void*>(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS()));
  vtkNew<vtkKivMainPass> pass;
  EXPECT_TRUE(pass->IsA("vtkDefaultPass"));
}

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
  const Globals expected[7] = { { 0, 3, 5, 0 },
    { 1, 1, 1, 0 },
    { 1, 1, 1, 0 },
    { 0, 2, 5, 1 },
    { 0, 3, 4, 1 },
    { 0, 3, 5, 1 },
    { 0, -1.5, -6, 1 } };
  std::vector<RecordingActor*> actors;
  for (int i = 0; i < 7; ++i)
  {
    actors.push_back(scene.Add(MakeSquare(i + 0.1, 0.1, 0.8, 1, 1.0, 0.0, 0.0), keys[i]));
  }
  scene.Window->Render();
  for (int i = 0; i < 7; ++i)
  {
    SCOPED_TRACE(i);
    ASSERT_EQ(actors[i]->Seen.size(), 1u);
    EXPECT_EQ(actors[i]->Seen[0], expected[i]);
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
  EXPECT_EQ(actors[3]->Seen[1], (Globals{ VTK_RESOLVE_POLYGON_OFFSET, 2, 5, 1 }));
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

// The per-prop units reach the pixels: two coincident squares, the later one
// wins the depth test unless its units push it back, which VTK applies only
// while the global mode is polygon offset.
TEST(KivMainPass, OffsetUnitsReachThePixelsInPolygonOffsetMode)
{
  GlobalsGuard guard({ VTK_RESOLVE_OFF, 0, 0, 0 });
  PassScene<vtkKivMainPass> scene(100, 100, 0.5, 0.5, 0.5);
  scene.Add(MakeSquare(0, 0, 1, 1, 1, 0, 0));
  vtkNew<vtkInformation> keys;
  RecordingActor* green = scene.Add(MakeSquare(0, 0, 1, 1, 0, 1, 0));
  const auto litAfterFrame = [&](int channel)
  {
    scene.Window->Render();
    return IsLit(scene.Pixel(50, 50), channel);
  };
  EXPECT_TRUE(litAfterFrame(1)); // equal depth: the later square
  keys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), 50.0);
  green->SetPropertyKeys(keys);
  EXPECT_TRUE(litAfterFrame(1)); // mode off: the units do nothing
  vtkMapper::SetResolveCoincidentTopology(VTK_RESOLVE_POLYGON_OFFSET);
  EXPECT_TRUE(litAfterFrame(0)); // green pushed behind red
  keys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), -50.0);
  EXPECT_TRUE(litAfterFrame(1)); // pulled forward again
  // VTK adds the mapper's own relative offsets to the global ones: relative
  // units of +100 on top of the prop's -50 push the square back again.
  vtkMapper::SafeDownCast(green->GetMapper())
    ->SetRelativeCoincidentTopologyPolygonOffsetParameters(0.0, 100.0);
  EXPECT_TRUE(litAfterFrame(0));
}

// The pass called directly: an empty prop array, null entries, no renderer.
TEST(KivMainPass, EmptyAndNullPropArraysAndAMissingRenderer)
{
  GlobalsGuard guard({ VTK_RESOLVE_OFF, 3.0, 5.0, 0 });
  orvi_test::Scene scene(100, 100);
  scene.Window->Render(); // a context for the direct calls below
  vtkNew<ProbeMainPass> pass;
  orvi_test::EventRecorder errors(pass, vtkCommand::ErrorEvent);

  vtkRenderState empty(scene.Renderer);
  empty.SetPropArrayAndCount(nullptr, 0);
  pass->SetRenderedProps(5);
  pass->Render(&empty);
  EXPECT_EQ(pass->GetNumberOfRenderedProps(), 0);
  EXPECT_EQ(pass->OpaqueCalls, 1);

  // Null entries are skipped; the tagged prop is drawn once with its units.
  auto actor = MakeSquare(0.0, 0.0, 1.0, 1, 1.0, 0.0, 0.0);
  actor->SetPropertyKeys(Keys(-1, -99, 8));
  vtkProp* props[3] = { nullptr, actor, nullptr };
  vtkRenderState withNulls(scene.Renderer);
  withNulls.SetPropArrayAndCount(props, 3);
  pass->Render(&withNulls);
  EXPECT_EQ(pass->GetNumberOfRenderedProps(), 1);
  ASSERT_EQ(actor->Seen.size(), 1u);
  EXPECT_EQ(actor->Seen[0], (Globals{ VTK_RESOLVE_OFF, 3, 8, 1 }));
  EXPECT_EQ(errors.Count, 0);
  EXPECT_EQ(ReadGlobals(), (Globals{ VTK_RESOLVE_OFF, 3, 5, 1 }));

  // No renderer: an error from each entry point, nothing drawn, nothing
  // changed.
  actor->SetPropertyKeys(Keys(1));
  vtkRenderState noRenderer(nullptr);
  noRenderer.SetPropArrayAndCount(props + 1, 1);
  pass->OpaqueCalls = 0;
  pass->OtherStageCalls = 0;
  pass->SetRenderedProps(4);
  pass->Render(&noRenderer);
  ASSERT_EQ(errors.Count, 1);
  EXPECT_TRUE(errors.Saw("): vtkKivMainPass::Render: No renderer available"));
  EXPECT_EQ(pass->GetNumberOfRenderedProps(), 0);
  EXPECT_EQ(pass->OpaqueCalls, 0);
  EXPECT_EQ(pass->OtherStageCalls, 0);
  pass->CallRenderOpaqueGeometry(&noRenderer);
  ASSERT_EQ(errors.Count, 2);
  EXPECT_NE(errors.Texts[1].find("): vtkKivMainPass::RenderOpaqueGeometry: No renderer available"),
    std::string::npos);
  EXPECT_EQ(pass->GetNumberOfRenderedProps(), 0);
  EXPECT_EQ(actor->Seen.size(), 1u);
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
  InstallChain(scene.Renderer, plain);
  scene.Window->Render();
  EXPECT_EQ(select(60, 110, 90, 140)->GetNumberOfNodes(), 0u);
}

// What a wireframe-tagged prop gets on VTK 9.1: the pass switches the mode
// to polygon offset, and VTK's mapper then offsets the prop's lines with the
// global *line* parameters; the polygon parameters (1, 1) the pass sets do
// not reach lines.
TEST(KivMainPass, WireframePropsUseTheLineOffsetParameters)
{
  GlobalsGuard guard({ VTK_RESOLVE_OFF, 0, 0, 0 });
  double lineFactor = 0.0;
  double lineUnits = 0.0;
  vtkMapper::GetResolveCoincidentTopologyLineOffsetParameters(lineFactor, lineUnits);
  PassScene<vtkKivMainPass> scene(100, 100, 0.5, 0.5, 0.5);
  // A filled red square, then a green wireframe of the same 2 x 2 grid on top
  // of it: the inner lines run along pixel column 50 and row 50.
  scene.Add(MakeSquare(0.0, 0.0, 1.0, 2, 1.0, 0.0, 0.0));
  RecordingActor* green = scene.Add(MakeSquare(0.0, 0.0, 1.0, 2, 0.0, 1.0, 0.0), Keys(1));
  green->GetProperty()->SetRepresentationToWireframe();
  green->GetProperty()->SetLighting(false);
  green->GetProperty()->SetAmbient(1.0);
  green->GetProperty()->SetLineWidth(3.0);
  const auto pixelWithLineUnits = [&](double units)
  {
    vtkMapper::SetResolveCoincidentTopologyLineOffsetParameters(0.0, units);
    scene.Window->Render();
    return scene.Pixel(25, 50);
  };
  // Line units pushing the lines far back hide them behind the red square;
  // pulling them forward shows them; without the key the mode stays off and
  // the line units do nothing.
  const auto back = pixelWithLineUnits(1000.0);
  const auto front = pixelWithLineUnits(-1000.0);
  green->SetPropertyKeys(nullptr);
  const auto untagged = pixelWithLineUnits(1000.0);
  vtkMapper::SetResolveCoincidentTopologyLineOffsetParameters(lineFactor, lineUnits);
  EXPECT_TRUE(IsLit(back, 0)) << back[0] << " " << back[1] << " " << back[2];
  EXPECT_TRUE(IsLit(front, 1)) << front[0] << " " << front[1] << " " << front[2];
  EXPECT_TRUE(IsLit(untagged, 1)) << untagged[0] << " " << untagged[1] << " " << untagged[2];
}
