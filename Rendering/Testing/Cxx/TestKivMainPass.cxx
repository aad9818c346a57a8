// vtkKivMainPass installed the way a host installs it (InstallOn: a camera
// pass, then a sequence of lights pass and main pass), drawing into a real
// window: vtkMapper's global settings around each tagged prop, props given
// to the pass by hand, edges over their surface as VTK draws them, offsets
// that decide which of two coincident props shows, and hardware selection.
#include "vtkKivMainPass.h"

#include "orviGmshMesh.h"
#include "orviPickerScenes.h"
#include "orviTestUtils.h"

#include "vtkAppendFilter.h"
#include "vtkBoundingBox.h"
#include "vtkCell.h"
#include "vtkCylinderSource.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkExtractCells.h"
#include "vtkHardwareSelector.h"
#include "vtkIdList.h"
#include "vtkInformationDoubleKey.h"
#include "vtkInformationIntegerKey.h"
#include "vtkMapper.h"
#include "vtkOpenGLActor.h"
#include "vtkParametricFunctionSource.h"
#include "vtkParametricTorus.h"
#include "vtkProperty.h"
#include "vtkRenderState.h"
#include "vtkTriangleFilter.h"
#include "vtkUnstructuredGrid.h"

#include <functional>

namespace
{
// vtkMapper's global coincident-topology settings: mode, polygon-offset
// factor and units, polygon-offset-faces switch.
using Globals = std::array<double, 4>;
using RGB = std::array<double, 3>;

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

// Property keys: the wireframe key when wireframe >= 0 (its presence counts,
// not its value), and the offset factor and units that are not NaN.
vtkSmartPointer<vtkInformation> Keys(int wireframe, double factor = NAN, double units = NAN)
{
  auto keys = vtkSmartPointer<vtkInformation>::New();
  if (wireframe >= 0)
  {
    keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), wireframe);
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

// The cells a hardware selection finds in the renderer's pixels [x0, x1] x [y0, y1].
vtkSmartPointer<vtkSelection> Select(vtkRenderer* renderer, int x0, int y0, int x1, int y1)
{
  vtkNew<vtkHardwareSelector> selector;
  selector->SetRenderer(renderer);
  selector->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  selector->SetArea(x0, y0, x1, y1);
  return vtkSmartPointer<vtkSelection>::Take(selector->Select());
}

// An unlit actor of one colour drawing `data` with the given property keys,
// as a surface or a wireframe; lit, it takes diffuse light only.
auto FlatActor(vtkPolyData* data, RGB rgb, vtkInformation* keys, bool wire = false)
{
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputData(data);
  mapper->ScalarVisibilityOff();
  auto actor = vtkSmartPointer<vtkActor>::New();
  actor->SetMapper(mapper);
  actor->SetPropertyKeys(keys);
  vtkProperty* property = actor->GetProperty();
  property->SetColor(rgb[0], rgb[1], rgb[2]);
  property->LightingOff();
  property->SetRepresentation(wire ? VTK_WIREFRAME : VTK_SURFACE);
  return actor;
}

// An actor that keeps vtkMapper's global settings, and its mapper's relative
// polygon offset units, as they are while it draws its opaque geometry.
class RecordingActor : public vtkOpenGLActor
{
public:
  static RecordingActor* New();
  vtkTypeMacro(RecordingActor, vtkOpenGLActor);
  int RenderOpaqueGeometry(vtkViewport* viewport) override
  {
    this->Seen = ReadGlobals();
    this->GetMapper()->GetRelativeCoincidentTopologyPolygonOffsetParameters(
      this->Relative[0], this->Relative[1]);
    return this->Superclass::RenderOpaqueGeometry(viewport);
  }
  Globals Seen{};
  double Relative[2] = {}; // factor, units
};
vtkStandardNewMacro(RecordingActor);

// A square window with the pass installed and a camera looking down -z at
// vtkPlaneSource's unit square about the origin, which fills it when parallel.
struct PassScene : orvi_test::Scene
{
  explicit PassScene(int size, bool parallel = true)
    : orvi_test::Scene(size, size)
  {
    vtkKivMainPass::InstallOn(this->Renderer, this->Pass);
    orvi_test::LookDownZ(this->Camera(), 10.0, parallel, 0.5);
  }
  // The unit square in res x res cells, as FlatActor() makes it.
  vtkActor* Add(RGB rgb, vtkInformation* keys, int res = 1, bool wire = false)
  {
    auto plane = orvi_test::MakePlane(-0.5, -0.5, 0.5, 0.5, 0.0, res, res);
    auto actor = FlatActor(orvi_test::PolyOf(plane), rgb, keys, wire);
    this->Renderer->AddActor(actor);
    this->Renderer->ResetCameraClippingRange();
    return actor;
  }
  // Whether pixel (x, y) shows the primary colour `channel`, lit.
  bool Shows(int x, int y, int channel)
  {
    const auto p = orvi_test::Frame(this->Window).At(x, y);
    return p[channel] > 200 && p[0] + p[1] + p[2] - p[channel] < 80;
  }
  vtkNew<ProbeMainPass> Pass;
};

// A closed, a holed and a flat surface in triangles, and a closed one in
// quadrilaterals capped by two 20-sided polygons.
vtkSmartPointer<vtkPolyData> EdgeShape(const std::string& name)
{
  vtkNew<vtkCylinderSource> cylinder;
  cylinder->SetResolution(20);
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
  vtkPolyDataAlgorithm* shape =
    name == "cylinder" ? static_cast<vtkPolyDataAlgorithm*>(cylinder) : triangles.Get();
  shape->Update();
  return shape->GetOutput();
}

constexpr RGB SurfaceRgb = { 0.2, 0.4, 0.9 }; // the sum of its channels is 1.5
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
  PassScene scene(100);
  scene.Renderer->SetBackground(0.0, 0.0, 1.0);
  scene.Window->Render();
  EXPECT_EQ(scene.Pass->GetNumberOfRenderedProps(), 0);
  EXPECT_TRUE(scene.Shows(50, 50, 2));
  EXPECT_EQ(Select(scene.Renderer, 0, 0, 99, 99)->GetNumberOfNodes(), 0u);

  vtkNew<ProbeMainPass> pass;
  orvi_test::EventRecorder errors(pass, vtkCommand::ErrorEvent);
  vtkActor* actor = scene.Add({ 1, 0, 0 }, Keys(-1, 0, 8));
  actor->GetProperty()->LightingOn();
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

// Two coincident squares tilted away from the camera, each with its own
// offset keys: in polygon-offset mode the one given the larger offset is
// drawn behind, everywhere, filled or as wireframe, as units or as a factor
// (which VTK 9's mappers take only through the pass). With the global mode
// off the keys do nothing and the square drawn last wins.
TEST(KivMainPass, TheLargerOffsetIsDrawnBehind)
{
  // Global mode, wireframe, red's offset factor and units, green's, the
  // colour channel of the square that must show (0 red, 1 green).
  using Offsets = std::array<double, 4>;
  const std::tuple<int, bool, Offsets, int> cases[] = {
    { VTK_RESOLVE_POLYGON_OFFSET, false, { 0, 20, 0, 0 }, 1 },
    { VTK_RESOLVE_POLYGON_OFFSET, false, { 0, 0, 0, 20 }, 0 },
    { VTK_RESOLVE_POLYGON_OFFSET, true, { 0, 20, 0, 0 }, 1 },
    { VTK_RESOLVE_POLYGON_OFFSET, true, { 0, -20, 0, 0 }, 0 },
    { VTK_RESOLVE_POLYGON_OFFSET, false, { 0, 0, 2, 0 }, 0 },
    { VTK_RESOLVE_POLYGON_OFFSET, true, { 2, 0, 0, 0 }, 1 },
    { VTK_RESOLVE_OFF, false, { 0, 0, 0, 20 }, 1 },
    { VTK_RESOLVE_OFF, true, { 0, -20, 0, 0 }, 1 },
  };
  for (const auto& [mode, wireframe, offsets, winner] : cases)
  {
    SCOPED_TRACE(&mode - &std::get<0>(cases[0]));
    GlobalsGuard guard({ static_cast<double>(mode), 0, 0, 0 });
    PassScene scene(200, false);
    scene.Camera()->Elevation(-55.0);
    scene.Camera()->OrthogonalizeViewUp();
    scene.Camera()->Dolly(3.0);
    for (int k : { 0, 1 })
    {
      scene.Add(
        { 1.0 - k, 1.0 * k, 0 }, Keys(-1, offsets[2 * k], offsets[2 * k + 1]), 8, wireframe);
    }
    scene.Window->Render();
    orvi_test::Frame frame(scene.Window);
    const auto shows = [&](int channel)
    {
      return frame.Count([channel](const std::array<int, 3>& rgb, int, int)
        { return rgb[channel] > 100 && rgb[1 - channel] < 60; });
    };
    EXPECT_GT(shows(winner), wireframe ? 500 : 5000);
    EXPECT_EQ(shows(1 - winner), 0);
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
  orvi_test::Scene scene(300, 300);
  scene.Renderer->SetBackground(1.0, 1.0, 1.0);
  auto surface = FlatActor(shape, SurfaceRgb, nullptr);
  auto wireframe = FlatActor(shape, { 1, 0, 0 }, Keys(1), true);
  wireframe->PickableOff();
  scene.Renderer->AddActor(surface);
  scene.Renderer->AddActor(wireframe);
  vtkKivMainPass::InstallOn(scene.Renderer);
  scene.Renderer->ResetCamera();
  scene.Window->Render();
  EXPECT_TRUE(orvi_test::MatchesBaseline(scene.Window, "pass-wireframe-on-surface"));

  vtkSmartPointer<vtkSelection> selection = Select(scene.Renderer, 140, 140, 160, 160);
  ASSERT_EQ(selection->GetNumberOfNodes(), 1u);
  EXPECT_EQ(orvi_test::PropOf(selection->GetNode(0)), surface);
  EXPECT_FALSE(orvi_test::Ids(selection->GetNode(0)).empty());

  // The wireframe's position, whether the surface shows, the wireframe's data.
  const std::tuple<double, bool, const char*, const char*> steps[] = {
    { 0.6, true, "sphere", "pass-wireframe-moved" },
    { 0.0, true, "sphere", "pass-wireframe-on-surface" },
    { 0.0, false, "sphere", "pass-wireframe-alone" },
    { 0.0, true, "torus", "pass-wireframe-of-another-shape" },
  };
  for (const auto& [x, shown, data, baseline] : steps)
  {
    wireframe->SetPosition(x, 0.0, 0.0);
    surface->SetVisibility(shown);
    vtkPolyDataMapper::SafeDownCast(wireframe->GetMapper())
      ->SetInputData(std::string(data) == "sphere" ? shape : EdgeShape(data));
    scene.Window->Render();
    EXPECT_TRUE(orvi_test::MatchesBaseline(scene.Window, baseline));
  }
}

// What a tagged prop finds in vtkMapper's global settings while it draws:
// the wireframe key (whatever its value, whatever offset keys beside it)
// gives polygon-offset mode with factor and units 1; offset keys give their
// factor and units, a missing one taken from the global setting, with the
// faces switch on and the mode left alone. After the frame every global but
// the faces switch is as before, and so is the prop's mapper: its relative
// offset, and its modification time (a change would make VTK rebuild its
// buffers), although a factor moves the prop through it while it draws.
TEST(KivMainPass, TaggedPropsDrawWithTheirOwnGlobalSettings)
{
  // The wireframe key's value (-1: none), a factor given, units given, the
  // global mode, what the prop sees.
  const std::tuple<int, bool, bool, int, Globals> cases[] = {
    { 0, false, false, VTK_RESOLVE_OFF, { VTK_RESOLVE_POLYGON_OFFSET, 1, 1, 0 } },
    { 1, true, true, VTK_RESOLVE_OFF, { VTK_RESOLVE_POLYGON_OFFSET, 1, 1, 0 } },
    { -1, true, false, VTK_RESOLVE_OFF, { VTK_RESOLVE_OFF, 2, 5, 1 } },
    { -1, true, false, VTK_RESOLVE_POLYGON_OFFSET, { VTK_RESOLVE_POLYGON_OFFSET, 2, 5, 1 } },
    { -1, false, true, VTK_RESOLVE_POLYGON_OFFSET, { VTK_RESOLVE_POLYGON_OFFSET, 3, 4, 1 } },
    { -1, true, true, VTK_RESOLVE_OFF, { VTK_RESOLVE_OFF, 2, 4, 1 } },
  };
  for (const auto& [wireframe, factorGiven, unitsGiven, mode, seen] : cases)
  {
    SCOPED_TRACE(&wireframe - &std::get<0>(cases[0]));
    GlobalsGuard guard({ static_cast<double>(mode), 3.0, 5.0, 0 });
    PassScene scene(100, false);
    vtkNew<RecordingActor> actor;
    actor->SetMapper(orvi_test::MakePlane(-0.5, -0.5, 0.5, 0.5)->GetMapper());
    vtkMapper* mapper = actor->GetMapper();
    mapper->SetRelativeCoincidentTopologyPolygonOffsetParameters(0.0, -1.5);
    actor->SetPropertyKeys(Keys(wireframe, factorGiven ? 2.0 : NAN, unitsGiven ? 4.0 : NAN));
    scene.Renderer->AddActor(actor);
    scene.Window->Render();
    const vtkMTimeType drawn = mapper->GetMTime();
    scene.Window->Render();
    EXPECT_EQ(actor->Seen, seen);
    const bool pushed = wireframe < 0 && factorGiven && mode == VTK_RESOLVE_POLYGON_OFFSET;
    EXPECT_EQ(actor->Relative[1] > -1.5, pushed) << actor->Relative[1];
    EXPECT_EQ(
      ReadGlobals(), (Globals{ static_cast<double>(mode), 3, 5, wireframe < 0 ? 1.0 : 0.0 }));
    double factor = 0.0, units = 0.0;
    mapper->GetRelativeCoincidentTopologyPolygonOffsetParameters(factor, units);
    EXPECT_EQ(units, -1.5);
    EXPECT_EQ(mapper->GetMTime(), drawn);
  }
}

//------------------------------------------------------------------------------
// Edges of real meshes drawn through vtkKivMainPass, against VTK drawing the
// same surfaces with vtkProperty::EdgeVisibilityOn(): gmsh's tutorials meshed
// at test time into hexahedra, quadrilaterals and tetrahedra, whole, split
// into two blocks with their own points at the interface (one prop), and the
// two blocks as two props that touch. Each is looked at from the start view
// and from two closer views with the camera inside the model's bounds, where
// the automatic clipping range is tight, with vtkMapper's global mode off and
// on. What the pass draws must keep to VTK's edges (no stray group of pixels
// farther than 2 pixels from one of them) and show VTK's edges (each within a
// pixel of one of the pass's); picked cells drawn on the surface still show.
namespace
{
constexpr int Size = 400;

// How a mesh is shown: whole; split in two blocks by the plane through its
// centre normal to its longest side, each block with its own points (one
// prop); the two blocks as two props.
enum class Layout
{
  Whole,
  SplitPoints,
  TwoProps
};

// The case's name (also the folder gmsh meshes into: ctest may run cases in
// parallel), gmsh's tutorial and options, the layout, and whether the
// picked cells' pixels, not the edges', are compared.
using MeshCase = std::tuple<const char*, const char*, const char*, Layout, bool>;

// The cells of the mesh for which keep(cell) holds.
vtkSmartPointer<vtkUnstructuredGrid> Extract(vtkDataSet* mesh,
  const std::function<bool(vtkCell*)>& keep)
{
  vtkNew<vtkIdList> ids;
  for (vtkIdType c = 0; c < mesh->GetNumberOfCells(); ++c)
  {
    if (keep(mesh->GetCell(c)))
    {
      ids->InsertNextId(c);
    }
  }
  vtkNew<vtkExtractCells> extract;
  extract->SetInputData(mesh);
  extract->SetCellList(ids);
  extract->Update();
  return extract->GetOutput();
}

vtkSmartPointer<vtkPolyData> SurfaceOf(vtkDataSet* mesh)
{
  vtkNew<vtkDataSetSurfaceFilter> surface;
  surface->SetInputData(mesh);
  surface->Update();
  return surface->GetOutput();
}

using Surfaces = std::vector<vtkSmartPointer<vtkPolyData>>;

// The surfaces to show, one per prop, for the layout, of the volume cells of
// the mesh (gmsh writes the boundary triangles, lines and vertices beside
// them); a block holds the cells whose centre lies below (or above) the mid
// plane.
Surfaces SurfacesOf(vtkUnstructuredGrid* file, Layout layout)
{
  auto mesh = Extract(file, [](vtkCell* cell) { return cell->GetCellDimension() == 3; });
  const double* b = mesh->GetBounds();
  const double lengths[3] = { b[1] - b[0], b[3] - b[2], b[5] - b[4] };
  const int axis = static_cast<int>(std::max_element(lengths, lengths + 3) - lengths);
  const double twiceMid = b[2 * axis] + b[2 * axis + 1];
  vtkNew<vtkAppendFilter> blocks; // points are not merged: each block keeps its own
  Surfaces halves;
  for (bool upper : { false, true })
  {
    auto half = Extract(mesh,
      [&](vtkCell* cell) {
        return (cell->GetBounds()[2 * axis] + cell->GetBounds()[2 * axis + 1] > twiceMid) == upper;
      });
    blocks->AddInputData(half);
    halves.push_back(SurfaceOf(half));
  }
  blocks->Update();
  return layout == Layout::TwoProps
    ? halves
    : Surfaces{ SurfaceOf(layout == Layout::Whole ? mesh.Get() : blocks->GetOutput()) };
}

// What is drawn: VTK's own edges on the surface actors, the pass's edges
// (a tagged wireframe actor on each surface's poly data, or on a copy of
// it), or no edges.
enum class Edges
{
  Vtk,
  Pass,
  PassOnCopy,
  None
};

using Pixels = std::vector<unsigned char>;

// The camera's azimuth and elevation from vtkRenderer::ResetCamera's view,
// and parallel projection (1) or not (0).
using Turn = std::array<double, 3>;

// Renders the surfaces from the view turned by `turn`, or with the camera
// moved along its direction of view to the fraction `inside` (0 < inside <
// 1) of the way from the centre of the bounds to where that direction leaves
// them, and returns the window's RGBA pixels. Picked, every seventh polygon
// of each surface is drawn over it as orvi-viewer draws picked cells (in
// magenta, pulled forward by the mapper's relative offset, which acts in
// polygon-offset mode).
Pixels Render(const Surfaces& surfaces,
  Edges edges,
  double inside,
  bool picked,
  Turn turn = { 30, 20, 0 })
{
  orvi_test::Scene scene(Size, Size);
  scene.Renderer->SetBackground(1.0, 1.0, 1.0);
  const bool pass = edges == Edges::Pass || edges == Edges::PassOnCopy;
  if (pass)
  {
    vtkKivMainPass::InstallOn(scene.Renderer);
  }
  for (const auto& surface : surfaces)
  {
    auto actor = FlatActor(surface, SurfaceRgb, nullptr);
    actor->GetProperty()->SetEdgeVisibility(edges == Edges::Vtk);
    actor->GetProperty()->SetEdgeColor(0.0, 0.0, 0.0);
    scene.Renderer->AddActor(actor);
    vtkNew<vtkPolyData> copy;
    copy->DeepCopy(surface);
    if (pass)
    {
      scene.Renderer->AddActor(FlatActor(
        edges == Edges::Pass ? surface.Get() : copy.Get(), { 0.0, 0.0, 0.0 }, Keys(1), true));
    }
    if (picked)
    {
      vtkIdType index = 0;
      auto cells = SurfaceOf(Extract(surface, [&index](vtkCell*) { return index++ % 7 == 0; }));
      auto pickedActor = FlatActor(cells, { 1.0, 0.0, 1.0 }, nullptr);
      pickedActor->GetMapper()->SetRelativeCoincidentTopologyPolygonOffsetParameters(-2.0, -8.0);
      scene.Renderer->AddActor(pickedActor);
    }
  }
  vtkCamera* camera = scene.Camera();
  camera->SetParallelProjection(turn[2] != 0.0);
  scene.Renderer->ResetCamera();
  camera->Azimuth(turn[0]);
  camera->Elevation(turn[1]);
  camera->OrthogonalizeViewUp();
  scene.Renderer->ResetCamera();
  if (inside > 0.0)
  {
    double bounds[6], half[3];
    scene.Renderer->ComputeVisiblePropBounds(bounds);
    const vtkBoundingBox box(bounds);
    box.GetLengths(half);
    const double* d = camera->GetDirectionOfProjection();
    double exit = VTK_DOUBLE_MAX;
    for (int k = 0; k < 3; ++k)
    {
      exit = std::abs(d[k]) > 1e-9 ? std::min(exit, 0.5 * half[k] / std::abs(d[k])) : exit;
    }
    // ResetCamera() put the focal point at the centre of the bounds.
    camera->Dolly(camera->GetDistance() / (inside * exit));
    EXPECT_TRUE(box.ContainsPoint(camera->GetPosition()));
  }
  scene.Renderer->ResetCameraClippingRange();
  // The second frame: pairs the pass met after their surface draw together.
  scene.Window->Render();
  scene.Window->Render();
  const orvi_test::Frame frame(scene.Window);
  return { frame.Data->GetPointer(0), frame.Data->GetPointer(4 * Size * Size) };
}

// Per pixel 1 or 0, or a count.
using Mask = std::vector<int>;

// Whether pred(r, g, b) holds at each pixel.
Mask Where(const Pixels& rgb, const std::function<bool(int, int, int)>& pred)
{
  Mask mask(Size * Size);
  for (int i = 0; i < Size * Size; ++i)
  {
    mask[i] = pred(rgb[4 * i], rgb[4 * i + 1], rgb[4 * i + 2]) ? 1 : 0;
  }
  return mask;
}

// Edge pixels: nearer black than the surface colour.
Mask EdgeMask(const Pixels& rgb)
{
  return Where(rgb, [](int r, int g, int b) { return r + g + b < 0.5 * 255 * 1.5; });
}

// How many set pixels the square of side 2 radius + 1 about each pixel
// holds: where not 0, the mask grown by `radius` pixels.
Mask Near(const Mask& mask, int radius)
{
  Mask near(mask.size());
  for (int i = 0; i < Size * Size; ++i)
  {
    for (int y = std::max(0, i / Size - radius); y <= std::min(Size - 1, i / Size + radius); ++y)
    {
      for (int x = std::max(0, i % Size - radius); x <= std::min(Size - 1, i % Size + radius); ++x)
      {
        near[i] += mask[y * Size + x];
      }
    }
  }
  return near;
}

// How many pixels are set in `a` where `b` holds at least `least`.
int Both(const Mask& a, const Mask& b, int least = 1)
{
  const auto set = [least](int x, int y) { return x > 0 && y >= least ? 1 : 0; };
  return std::inner_product(a.begin(), a.end(), b.begin(), 0, std::plus<>(), set);
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
  const std::tuple<const char*, Turn, int> views[] = {
    { "sphere", { 30, 20, 0 }, VTK_RESOLVE_OFF },
    { "sphere", { -40, 70, 1 }, VTK_RESOLVE_POLYGON_OFFSET },
    { "sphere", { 80, 10, 1 }, VTK_RESOLVE_OFF },
    { "torus", { 0, 0, 0 }, VTK_RESOLVE_POLYGON_OFFSET },
    { "torus", { 80, 10, 1 }, VTK_RESOLVE_OFF },
    { "torus", { -40, 70, 0 }, VTK_RESOLVE_OFF },
    { "plane", { 30, 20, 0 }, VTK_RESOLVE_OFF },
    { "plane", { -40, 70, 1 }, VTK_RESOLVE_OFF },
    { "plane", { 10, 85, 0 }, VTK_RESOLVE_POLYGON_OFFSET },
    { "cylinder", { 30, 20, 0 }, VTK_RESOLVE_OFF },
    { "cylinder", { -40, 70, 1 }, VTK_RESOLVE_POLYGON_OFFSET },
  };
  for (const auto& [name, turn, mode] : views)
  {
    SCOPED_TRACE(std::string(name) + " " + std::to_string(turn[0]));
    GlobalsGuard guard({ static_cast<double>(mode), 0, 0, 0 });
    const Surfaces shape = { EdgeShape(name) };
    const auto reference = EdgeMask(Render(shape, Edges::Vtk, 0.0, false, turn));
    EXPECT_EQ(EdgeMask(Render(shape, Edges::Pass, 0.0, false, turn)), reference);
    const auto copied = EdgeMask(Render(shape, Edges::PassOnCopy, 0.0, false, turn));
    const int edges = Both(reference, reference);
    EXPECT_GE(Both(reference, Near(copied, 1)), 0.95 * edges);
    EXPECT_GE(Both(copied, copied), 0.75 * edges);
  }
}

class KivMainPassMeshes : public ::testing::TestWithParam<MeshCase>
{
};

// Edges: the pass's stay within 2 pixels of VTK's (no group of 3 stray
// pixels, 8-connected: a stray pixel with two stray neighbours) and show
// VTK's (99% within a pixel of one of the pass's). Picked cells, drawn on a
// surface whose edges the pass draws (quadrilaterals split along either
// diagonal): as many of their pixels show as over the same surface drawn
// without edges.
TEST_P(KivMainPassMeshes, EdgesKeepToVtksEdgesAtEveryDistance)
{
  const auto& [name, tutorial, options, shown, picked] = GetParam();
  std::string why;
  const auto grid = orvi_test::ReadGmshTutorial(
    tutorial, std::filesystem::path(ORVI_TEST_OUTPUT_DIR) / "gmsh" / name, why, options);
  if (!grid)
  {
    GTEST_SKIP() << why;
  }
  const Surfaces surfaces = SurfacesOf(grid, shown);
  const auto magenta = [](int r, int g, int b) { return r > 200 && b > 200 && g < 60; };
  const GlobalsGuard guard(ReadGlobals());
  for (int mode : { VTK_RESOLVE_OFF, VTK_RESOLVE_POLYGON_OFFSET })
  {
    vtkMapper::SetResolveCoincidentTopology(mode);
    for (double inside : { 0.0, 0.9, 0.6 })
    {
      SCOPED_TRACE(std::string(options) + " mode " + std::to_string(mode) + " inside " +
        std::to_string(inside));
      const Pixels vtk = Render(surfaces, picked ? Edges::None : Edges::Vtk, inside, picked);
      const Pixels pass = Render(surfaces, Edges::Pass, inside, picked);
      if (picked)
      {
        const int expected = Both(Where(vtk, magenta), Where(vtk, magenta));
        EXPECT_GT(expected, 1000);
        EXPECT_GE(Both(Where(pass, magenta), Where(pass, magenta)), 0.99 * expected);
        continue;
      }
      const auto vtkEdges = EdgeMask(vtk);
      const auto passEdges = EdgeMask(pass);
      const auto nearVtk = Near(vtkEdges, 2);
      Mask stray(Size * Size);
      const auto far = [](int edge, int near) { return edge > 0 && near == 0 ? 1 : 0; };
      std::transform(passEdges.begin(), passEdges.end(), nearVtk.begin(), stray.begin(), far);
      EXPECT_EQ(Both(stray, Near(stray, 1), 3), 0) << "stray pixels " << Both(stray, stray);
      const int edges = Both(vtkEdges, vtkEdges);
      EXPECT_GT(edges, 500);
      EXPECT_GE(Both(vtkEdges, Near(passEdges, 1)), 0.99 * edges) << "VTK's edge pixels shown";
    }
  }
}

const MeshCase Meshes[] = {
  { "t3whole", "t3", "-3", Layout::Whole, false },
  { "t5whole", "t5", "-3 -setnumber Mesh.SubdivisionAlgorithm 2", Layout::Whole, false },
  { "t2whole", "t2", "-3 -setnumber Mesh.RecombineAll 1", Layout::Whole, false },
  { "t3split", "t3", "-3", Layout::SplitPoints, false },
  { "t3two", "t3", "-3", Layout::TwoProps, false },
  { "t5two", "t5", "-3", Layout::TwoProps, false },
  { "t3wholepicked", "t3", "-3", Layout::Whole, true },
};

INSTANTIATE_TEST_SUITE_P(Gmsh,
  KivMainPassMeshes,
  ::testing::ValuesIn(Meshes),
  [](const ::testing::TestParamInfo<MeshCase>& info) { return std::get<0>(info.param); });
