// vtkKivMainPass installed the way a host installs it (camera pass, then a
// sequence of lights pass and main pass), drawing into a real window.
#include "vtkKivMainPass.h"

#include "orviTestUtils.h"

#include "vtkActor.h"
#include "vtkCameraPass.h"
#include "vtkDefaultPass.h"
#include "vtkHardwareSelector.h"
#include "vtkIdTypeArray.h"
#include "vtkInformation.h"
#include "vtkInformationDoubleKey.h"
#include "vtkInformationIntegerKey.h"
#include "vtkInformationKeyLookup.h"
#include "vtkLightsPass.h"
#include "vtkMapper.h"
#include "vtkObjectFactory.h"
#include "vtkOpenGLActor.h"
#include "vtkPlaneSource.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderPassCollection.h"
#include "vtkRenderState.h"
#include "vtkSelection.h"
#include "vtkSelectionNode.h"
#include "vtkSequencePass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{

// The global coincident-topology settings of vtkMapper at one moment.
struct GlobalSettings
{
  int Mode = -1;
  double Factor = 0.0;
  double Units = 0.0;
  int Faces = -1;
};

GlobalSettings ReadGlobals()
{
  GlobalSettings g;
  g.Mode = vtkMapper::GetResolveCoincidentTopology();
  vtkMapper::GetResolveCoincidentTopologyPolygonOffsetParameters(g.Factor, g.Units);
  g.Faces = vtkMapper::GetResolveCoincidentTopologyPolygonOffsetFaces();
  return g;
}

// Puts vtkMapper's global settings back when a test ends, so that one test's
// settings do not leak into the next.
struct GlobalsGuard
{
  GlobalsGuard()
    : Saved(ReadGlobals())
  {
  }
  ~GlobalsGuard()
  {
    vtkMapper::SetResolveCoincidentTopology(this->Saved.Mode);
    vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(
      this->Saved.Factor, this->Saved.Units);
    vtkMapper::SetResolveCoincidentTopologyPolygonOffsetFaces(this->Saved.Faces);
  }
  GlobalSettings Saved;
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

  std::vector<GlobalSettings> Seen;

protected:
  RecordingActor() = default;
  ~RecordingActor() override = default;
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
  ProbeMainPass() = default;
  ~ProbeMainPass() override = default;

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
// plane z = 0, split into res x res cells, with its own colour.
vtkSmartPointer<RecordingActor>
MakeSquare(double x, double y, double size, int res, double r, double g, double b)
{
  vtkNew<vtkPlaneSource> plane;
  plane->SetOrigin(x, y, 0.0);
  plane->SetPoint1(x + size, y, 0.0);
  plane->SetPoint2(x, y + size, 0.0);
  plane->SetResolution(res, res);
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputConnection(plane->GetOutputPort());
  auto actor = vtkSmartPointer<RecordingActor>::New();
  actor->SetMapper(mapper);
  actor->GetProperty()->SetColor(r, g, b);
  actor->GetProperty()->SetAmbient(0.0);
  actor->GetProperty()->SetDiffuse(1.0);
  actor->GetProperty()->SetSpecular(0.0);
  return actor;
}

// Parallel camera looking down -z at the square [x0, x0+size]^2 so that it
// fills a square window exactly.
void LookAtSquare(vtkCamera* camera, double x0, double size)
{
  const double c = x0 + size / 2.0;
  camera->ParallelProjectionOn();
  camera->SetFocalPoint(c, c, 0.0);
  camera->SetPosition(c, c, 10.0);
  camera->SetViewUp(0.0, 1.0, 0.0);
  camera->SetParallelScale(size / 2.0);
}

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
  vtkInformationIntegerKey* wireframe = vtkKivMainPass::RENDER_WIREFRAME();
  vtkInformationDoubleKey* factor = vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR();
  vtkInformationDoubleKey* units = vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS();
  ASSERT_NE(wireframe, nullptr);
  ASSERT_NE(factor, nullptr);
  ASSERT_NE(units, nullptr);
  EXPECT_EQ(wireframe, vtkKivMainPass::RENDER_WIREFRAME());
  EXPECT_EQ(factor, vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR());
  EXPECT_EQ(units, vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS());
  EXPECT_NE(static_cast<void*>(factor), static_cast<void*>(units));

  EXPECT_STREQ(wireframe->GetName(), "RENDER_WIREFRAME");
  EXPECT_STREQ(factor->GetName(), "RENDER_POLYGON_OFFSET_FACTOR");
  EXPECT_STREQ(units->GetName(), "RENDER_POLYGON_OFFSET_UNITS");
  EXPECT_STREQ(wireframe->GetLocation(), "vtkKivMainPass");
  EXPECT_STREQ(factor->GetLocation(), "vtkKivMainPass");
  EXPECT_STREQ(units->GetLocation(), "vtkKivMainPass");

  // VTK's key registry finds them by name and location.
  EXPECT_EQ(vtkInformationKeyLookup::Find("RENDER_WIREFRAME", "vtkKivMainPass"), wireframe);
  EXPECT_EQ(
    vtkInformationKeyLookup::Find("RENDER_POLYGON_OFFSET_FACTOR", "vtkKivMainPass"), factor);
  EXPECT_EQ(vtkInformationKeyLookup::Find("RENDER_POLYGON_OFFSET_UNITS", "vtkKivMainPass"), units);

  vtkNew<vtkKivMainPass> pass;
  EXPECT_STREQ(pass->GetClassName(), "vtkKivMainPass");
  EXPECT_TRUE(pass->IsA("vtkDefaultPass"));
}

// Seven squares side by side, each tagged differently; each records the
// global settings it was drawn with, and each must show lit on screen.
TEST(KivMainPass, SwitchesTheGlobalSettingsAroundEachTaggedProp)
{
  GlobalsGuard guard;
  vtkMapper::SetResolveCoincidentTopology(VTK_RESOLVE_OFF);
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(3.0, 5.0);
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetFaces(0);

  orvi_test::Scene scene(700, 100);
  vtkNew<ProbeMainPass> pass;
  InstallChain(scene.Renderer, pass);

  auto keysWith = [](auto setter)
  {
    vtkNew<vtkInformation> info;
    setter(info.GetPointer());
    return vtkSmartPointer<vtkInformation>(info.GetPointer());
  };

  // Squares of side 0.8 at x = i, i = 0..6, in the band y in [0.1, 0.9].
  std::vector<vtkSmartPointer<RecordingActor>> actors;
  for (int i = 0; i < 7; ++i)
  {
    actors.push_back(MakeSquare(i + 0.1, 0.1, 0.8, 1, 1.0, 0.0, 0.0));
    scene.Renderer->AddActor(actors.back());
  }
  // 0: no keys at all.
  // 1: wireframe key with value 0: presence counts.
  actors[1]->SetPropertyKeys(
    keysWith([](vtkInformation* k) { k->Set(vtkKivMainPass::RENDER_WIREFRAME(), 0); }));
  // 2: wireframe and both offset keys: wireframe wins.
  actors[2]->SetPropertyKeys(keysWith(
    [](vtkInformation* k)
    {
      k->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
      k->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR(), 7.0);
      k->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), 9.0);
    }));
  // 3: factor only: units come from the global setting.
  actors[3]->SetPropertyKeys(keysWith(
    [](vtkInformation* k) { k->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR(), 2.0); }));
  // 4: units only: factor comes from the global setting.
  actors[4]->SetPropertyKeys(keysWith(
    [](vtkInformation* k) { k->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), 4.0); }));
  // 5: property keys without any of the pass's keys.
  actors[5]->SetPropertyKeys(keysWith([](vtkInformation*) {}));
  // 6: both offset keys.
  actors[6]->SetPropertyKeys(keysWith(
    [](vtkInformation* k)
    {
      k->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_FACTOR(), -1.5);
      k->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), -6.0);
    }));

  vtkCamera* camera = scene.Camera();
  camera->ParallelProjectionOn();
  camera->SetFocalPoint(3.5, 0.5, 0.0);
  camera->SetPosition(3.5, 0.5, 10.0);
  camera->SetViewUp(0.0, 1.0, 0.0);
  camera->SetParallelScale(0.5);
  scene.Renderer->ResetCameraClippingRange();
  scene.Window->Render();

  struct Expected
  {
    int Mode;
    double Factor;
    double Units;
    int Faces;
  };
  const Expected expected[7] = {
    { 0, 3.0, 5.0, 0 },   // untouched
    { 1, 1.0, 1.0, 0 },   // wireframe: mode 1, (1, 1); faces not touched
    { 1, 1.0, 1.0, 0 },   // wireframe wins over the offset keys
    { 0, 2.0, 5.0, 1 },   // factor given, global units, mode unchanged
    { 0, 3.0, 4.0, 1 },   // units given, global factor; faces stays 1
    { 0, 3.0, 5.0, 1 },   // no key of the pass: untouched (faces left at 1)
    { 0, -1.5, -6.0, 1 }, // both given
  };
  for (int i = 0; i < 7; ++i)
  {
    SCOPED_TRACE(i);
    ASSERT_EQ(actors[i]->Seen.size(), 1u);
    const GlobalSettings& seen = actors[i]->Seen[0];
    EXPECT_EQ(seen.Mode, expected[i].Mode);
    EXPECT_DOUBLE_EQ(seen.Factor, expected[i].Factor);
    EXPECT_DOUBLE_EQ(seen.Units, expected[i].Units);
    EXPECT_EQ(seen.Faces, expected[i].Faces);
    // Drawn, and lit: the chain set up camera and lights.
    EXPECT_TRUE(IsLit(scene.Pixel(100 * i + 50, 50), 0))
      << "pixel " << scene.Pixel(100 * i + 50, 50)[0] << " " << scene.Pixel(100 * i + 50, 50)[1];
  }
  // Background between squares.
  EXPECT_EQ(scene.Pixel(100, 50)[0], 0);

  EXPECT_EQ(pass->GetNumberOfRenderedProps(), 7);
  EXPECT_EQ(pass->OpaqueCalls, 1);
  EXPECT_EQ(pass->OtherStageCalls, 3);

  // After the frame: mode and parameters as before, the faces switch at 1.
  GlobalSettings after = ReadGlobals();
  EXPECT_EQ(after.Mode, VTK_RESOLVE_OFF);
  EXPECT_DOUBLE_EQ(after.Factor, 3.0);
  EXPECT_DOUBLE_EQ(after.Units, 5.0);
  EXPECT_EQ(after.Faces, 1);

  // With the global mode already polygon offset, a second frame restores
  // that mode too.
  vtkMapper::SetResolveCoincidentTopology(VTK_RESOLVE_POLYGON_OFFSET);
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetFaces(0);
  scene.Window->Render();
  ASSERT_EQ(actors[3]->Seen.size(), 2u);
  EXPECT_EQ(actors[0]->Seen[1].Mode, VTK_RESOLVE_POLYGON_OFFSET);
  EXPECT_EQ(actors[3]->Seen[1].Mode, VTK_RESOLVE_POLYGON_OFFSET);
  EXPECT_DOUBLE_EQ(actors[3]->Seen[1].Factor, 2.0);
  EXPECT_DOUBLE_EQ(actors[3]->Seen[1].Units, 5.0);
  after = ReadGlobals();
  EXPECT_EQ(after.Mode, VTK_RESOLVE_POLYGON_OFFSET);
  EXPECT_DOUBLE_EQ(after.Factor, 3.0);
  EXPECT_DOUBLE_EQ(after.Units, 5.0);
  EXPECT_EQ(after.Faces, 1);
}

// Only wireframe-tagged props: the faces switch is never touched.
TEST(KivMainPass, WireframeAloneLeavesTheFacesSwitch)
{
  GlobalsGuard guard;
  vtkMapper::SetResolveCoincidentTopology(VTK_RESOLVE_OFF);
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(0.5, 0.25);
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetFaces(0);

  orvi_test::Scene scene(100, 100);
  vtkNew<vtkKivMainPass> pass;
  InstallChain(scene.Renderer, pass);
  auto actor = MakeSquare(0.0, 0.0, 1.0, 1, 0.0, 1.0, 0.0);
  vtkNew<vtkInformation> keys;
  keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
  actor->SetPropertyKeys(keys);
  scene.Renderer->AddActor(actor);
  LookAtSquare(scene.Camera(), 0.0, 1.0);
  scene.Renderer->ResetCameraClippingRange();
  scene.Window->Render();

  ASSERT_EQ(actor->Seen.size(), 1u);
  EXPECT_EQ(actor->Seen[0].Mode, VTK_RESOLVE_POLYGON_OFFSET);
  EXPECT_EQ(actor->Seen[0].Faces, 0);
  EXPECT_TRUE(IsLit(scene.Pixel(50, 50), 1));
  const GlobalSettings after = ReadGlobals();
  EXPECT_EQ(after.Mode, VTK_RESOLVE_OFF);
  EXPECT_DOUBLE_EQ(after.Factor, 0.5);
  EXPECT_DOUBLE_EQ(after.Units, 0.25);
  EXPECT_EQ(after.Faces, 0);
}

// The per-prop units reach the pixels: two coincident squares, the later one
// wins the depth test unless its units push it back, which VTK applies only
// while the global mode is polygon offset.
TEST(KivMainPass, OffsetUnitsReachThePixelsInPolygonOffsetMode)
{
  GlobalsGuard guard;
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(0.0, 0.0);

  orvi_test::Scene scene(100, 100);
  vtkNew<vtkKivMainPass> pass;
  InstallChain(scene.Renderer, pass);
  auto red = MakeSquare(0.0, 0.0, 1.0, 1, 1.0, 0.0, 0.0);
  auto green = MakeSquare(0.0, 0.0, 1.0, 1, 0.0, 1.0, 0.0);
  scene.Renderer->AddActor(red);
  scene.Renderer->AddActor(green);
  LookAtSquare(scene.Camera(), 0.0, 1.0);
  scene.Renderer->ResetCameraClippingRange();

  vtkMapper::SetResolveCoincidentTopology(VTK_RESOLVE_OFF);
  scene.Window->Render();
  EXPECT_TRUE(IsLit(scene.Pixel(50, 50), 1)); // equal depth: the later square

  vtkNew<vtkInformation> keys;
  keys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), 50.0);
  green->SetPropertyKeys(keys);
  scene.Window->Render();
  EXPECT_TRUE(IsLit(scene.Pixel(50, 50), 1)); // mode off: the units do nothing

  vtkMapper::SetResolveCoincidentTopology(VTK_RESOLVE_POLYGON_OFFSET);
  scene.Window->Render();
  EXPECT_TRUE(IsLit(scene.Pixel(50, 50), 0)); // green pushed behind red

  keys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), -50.0);
  scene.Window->Render();
  EXPECT_TRUE(IsLit(scene.Pixel(50, 50), 1)); // pulled forward again

  // VTK adds the mapper's own relative offsets to the global ones: relative
  // units of +100 on top of the prop's -50 push the square back again.
  vtkMapper::SafeDownCast(green->GetMapper())
    ->SetRelativeCoincidentTopologyPolygonOffsetParameters(0.0, 100.0);
  scene.Window->Render();
  EXPECT_TRUE(IsLit(scene.Pixel(50, 50), 0));
}

TEST(KivMainPass, EmptyAndNullEntriesInThePropArray)
{
  GlobalsGuard guard;
  vtkMapper::SetResolveCoincidentTopology(VTK_RESOLVE_OFF);
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(3.0, 5.0);
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetFaces(0);

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
  vtkNew<vtkInformation> keys;
  keys->Set(vtkKivMainPass::RENDER_POLYGON_OFFSET_UNITS(), 8.0);
  actor->SetPropertyKeys(keys);
  vtkProp* props[3] = { nullptr, actor, nullptr };
  vtkRenderState withNulls(scene.Renderer);
  withNulls.SetPropArrayAndCount(props, 3);
  pass->Render(&withNulls);
  EXPECT_EQ(pass->GetNumberOfRenderedProps(), 1);
  ASSERT_EQ(actor->Seen.size(), 1u);
  EXPECT_DOUBLE_EQ(actor->Seen[0].Factor, 3.0);
  EXPECT_DOUBLE_EQ(actor->Seen[0].Units, 8.0);

  EXPECT_EQ(errors.Count, 0);
  const GlobalSettings after = ReadGlobals();
  EXPECT_EQ(after.Mode, VTK_RESOLVE_OFF);
  EXPECT_DOUBLE_EQ(after.Factor, 3.0);
  EXPECT_DOUBLE_EQ(after.Units, 5.0);
}

TEST(KivMainPass, ReportsAMissingRenderer)
{
  GlobalsGuard guard;
  vtkMapper::SetResolveCoincidentTopology(VTK_RESOLVE_OFF);
  vtkMapper::SetResolveCoincidentTopologyPolygonOffsetParameters(3.0, 5.0);

  auto actor = MakeSquare(0.0, 0.0, 1.0, 1, 1.0, 0.0, 0.0);
  vtkNew<vtkInformation> keys;
  keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
  actor->SetPropertyKeys(keys);
  vtkProp* props[1] = { actor };
  vtkRenderState noRenderer(nullptr);
  noRenderer.SetPropArrayAndCount(props, 1);

  vtkNew<ProbeMainPass> pass;
  orvi_test::EventRecorder errors(pass, vtkCommand::ErrorEvent);
  pass->SetRenderedProps(4);
  pass->Render(&noRenderer);
  EXPECT_EQ(errors.Count, 1);
  EXPECT_TRUE(errors.Saw("): vtkKivMainPass::Render: No renderer available"));
  EXPECT_EQ(pass->GetNumberOfRenderedProps(), 0);
  EXPECT_EQ(pass->OpaqueCalls, 0);
  EXPECT_EQ(pass->OtherStageCalls, 0);

  pass->CallRenderOpaqueGeometry(&noRenderer);
  EXPECT_EQ(errors.Count, 2);
  ASSERT_EQ(errors.Texts.size(), 2u);
  EXPECT_NE(errors.Texts[1].find("): vtkKivMainPass::RenderOpaqueGeometry: No renderer available"),
    std::string::npos);
  EXPECT_EQ(pass->GetNumberOfRenderedProps(), 0);
  EXPECT_TRUE(actor->Seen.empty());
  const GlobalSettings after = ReadGlobals();
  EXPECT_EQ(after.Mode, VTK_RESOLVE_OFF);
  EXPECT_DOUBLE_EQ(after.Factor, 3.0);
  EXPECT_DOUBLE_EQ(after.Units, 5.0);
}

namespace
{
// Cell ids of the first node of a selection, sorted, and the node's prop.
std::vector<vtkIdType> SelectedCells(vtkSelection* selection, vtkProp** prop)
{
  std::vector<vtkIdType> ids;
  *prop = nullptr;
  if (!selection || selection->GetNumberOfNodes() < 1)
  {
    return ids;
  }
  vtkSelectionNode* node = selection->GetNode(0);
  *prop = vtkProp::SafeDownCast(node->GetProperties()->Get(vtkSelectionNode::PROP()));
  auto* list = vtkIdTypeArray::SafeDownCast(node->GetSelectionList());
  if (list)
  {
    for (vtkIdType i = 0; i < list->GetNumberOfTuples(); ++i)
    {
      ids.push_back(list->GetValue(i));
    }
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}
} // namespace

// A 4 x 4 plane filling a 200 x 200 window: each cell is 50 x 50 pixels and
// cell (column i, row j) has id 4 j + i.
TEST(KivMainPass, HardwareSelectionSelectsRealCells)
{
  orvi_test::Scene scene(200, 200);
  vtkNew<ProbeMainPass> pass;
  InstallChain(scene.Renderer, pass);
  auto actor = MakeSquare(0.0, 0.0, 4.0, 4, 1.0, 0.0, 0.0);
  vtkNew<vtkInformation> keys; // the keys do not matter to the selection
  keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
  actor->SetPropertyKeys(keys);
  scene.Renderer->AddActor(actor);
  LookAtSquare(scene.Camera(), 0.0, 4.0);
  scene.Renderer->ResetCameraClippingRange();
  scene.Window->Render();
  pass->OpaqueCalls = 0;
  pass->OtherStageCalls = 0;

  vtkNew<vtkHardwareSelector> selector;
  selector->SetRenderer(scene.Renderer);
  selector->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);

  selector->SetArea(60, 110, 90, 140);
  vtkSmartPointer<vtkSelection> one;
  one.TakeReference(selector->Select());
  vtkProp* prop = nullptr;
  EXPECT_EQ(SelectedCells(one, &prop), std::vector<vtkIdType>({ 9 }));
  EXPECT_EQ(prop, actor.GetPointer());
  // The selector drew the props; the pass's own stages did not run.
  EXPECT_EQ(pass->OpaqueCalls, 0);
  EXPECT_EQ(pass->OtherStageCalls, 0);
  EXPECT_EQ(pass->GetNumberOfRenderedProps(), 1);

  selector->SetArea(10, 10, 140, 40);
  vtkSmartPointer<vtkSelection> row;
  row.TakeReference(selector->Select());
  EXPECT_EQ(SelectedCells(row, &prop), std::vector<vtkIdType>({ 0, 1, 2 }));

  selector->SetArea(160, 60, 190, 190);
  vtkSmartPointer<vtkSelection> column;
  column.TakeReference(selector->Select());
  EXPECT_EQ(SelectedCells(column, &prop), std::vector<vtkIdType>({ 7, 11, 15 }));

  // A frame after the selection draws normally again.
  scene.Window->Render();
  EXPECT_EQ(pass->OpaqueCalls, 1);
  EXPECT_TRUE(IsLit(scene.Pixel(100, 100), 0));
}

// The same selection through vtkDefaultPass in the same chain: the props are
// drawn without the selector numbering them, and nothing is found. This is
// what the selector path of vtkKivMainPass is for.
TEST(KivMainPass, DefaultPassInTheChainSelectsNothing)
{
  orvi_test::Scene scene(200, 200);
  vtkNew<vtkDefaultPass> pass;
  InstallChain(scene.Renderer, pass);
  auto actor = MakeSquare(0.0, 0.0, 4.0, 4, 1.0, 1.0, 1.0);
  scene.Renderer->AddActor(actor);
  LookAtSquare(scene.Camera(), 0.0, 4.0);
  scene.Renderer->ResetCameraClippingRange();
  scene.Window->Render();

  vtkNew<vtkHardwareSelector> selector;
  selector->SetRenderer(scene.Renderer);
  selector->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  selector->SetArea(60, 110, 90, 140);
  vtkSmartPointer<vtkSelection> selection;
  selection.TakeReference(selector->Select());
  vtkProp* prop = nullptr;
  EXPECT_TRUE(SelectedCells(selection, &prop).empty());
}

// What a wireframe-tagged prop gets on VTK 9.1: the pass switches the mode
// to polygon offset, and VTK's mapper then offsets the prop's lines with the
// global *line* parameters; the polygon parameters (1, 1) the pass sets do
// not reach lines.
TEST(KivMainPass, WireframePropsUseTheLineOffsetParameters)
{
  GlobalsGuard guard;
  double lineFactor = 0.0;
  double lineUnits = 0.0;
  vtkMapper::GetResolveCoincidentTopologyLineOffsetParameters(lineFactor, lineUnits);
  vtkMapper::SetResolveCoincidentTopology(VTK_RESOLVE_OFF);

  orvi_test::Scene scene(100, 100);
  vtkNew<vtkKivMainPass> pass;
  InstallChain(scene.Renderer, pass);
  // A filled red square, then a green wireframe of the same 2 x 2 grid on top
  // of it: the inner lines run along pixel column 50 and row 50.
  auto red = MakeSquare(0.0, 0.0, 1.0, 2, 1.0, 0.0, 0.0);
  auto green = MakeSquare(0.0, 0.0, 1.0, 2, 0.0, 1.0, 0.0);
  green->GetProperty()->SetRepresentationToWireframe();
  green->GetProperty()->SetLighting(false);
  green->GetProperty()->SetAmbient(1.0);
  green->GetProperty()->SetLineWidth(3.0);
  scene.Renderer->AddActor(red);
  scene.Renderer->AddActor(green);
  vtkNew<vtkInformation> keys;
  keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
  green->SetPropertyKeys(keys);
  LookAtSquare(scene.Camera(), 0.0, 1.0);
  scene.Renderer->ResetCameraClippingRange();

  // Line units pushing the lines far back: hidden behind the red square.
  vtkMapper::SetResolveCoincidentTopologyLineOffsetParameters(0.0, 1000.0);
  scene.Window->Render();
  const auto back = scene.Pixel(25, 50);
  // Line units pulling them forward: visible.
  vtkMapper::SetResolveCoincidentTopologyLineOffsetParameters(0.0, -1000.0);
  scene.Window->Render();
  const auto front = scene.Pixel(25, 50);
  // Without the key the mode stays off and the line units do nothing.
  green->SetPropertyKeys(nullptr);
  vtkMapper::SetResolveCoincidentTopologyLineOffsetParameters(0.0, 1000.0);
  scene.Window->Render();
  const auto untagged = scene.Pixel(25, 50);
  vtkMapper::SetResolveCoincidentTopologyLineOffsetParameters(lineFactor, lineUnits);

  EXPECT_TRUE(IsLit(back, 0)) << back[0] << " " << back[1] << " " << back[2];
  EXPECT_TRUE(IsLit(front, 1)) << front[0] << " " << front[1] << " " << front[2];
  EXPECT_TRUE(IsLit(untagged, 1)) << untagged[0] << " " << untagged[1] << " " << untagged[2];
}
