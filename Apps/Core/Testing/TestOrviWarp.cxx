// The deformed shape on gmsh's t5 meshed at test time: the picture against
// vtkWarpVector and VTK's own surface at the same scale and camera, the keys
// and the script's verb, a pick through the deformed model against VTK's
// frustum extraction, and every refused array leaving the picture as it was.
#include "orviViewerTestUtils.h"

#include "vtkActorCollection.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkPolyDataMapper.h"
#include "vtkWarpVector.h"

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

// VTK's warp of the mesh by u.
vtkSmartPointer<vtkDataSet> Warped(vtkDataSet* mesh, double scale)
{
  vtkNew<vtkWarpVector> warp;
  warp->SetInputData(mesh);
  warp->SetInputArrayToProcess(0, 0, 0, vtkDataObject::FIELD_ASSOCIATION_POINTS, "u");
  warp->SetScaleFactor(scale);
  warp->Update();
  return vtkDataSet::SafeDownCast(warp->GetOutput());
}

// The picture of VTK's surface of VTK's warp, coloured and lit as the
// viewer's surface.
Image VtkPicture(orvi::Viewer& viewer, vtkDataSet* mesh, double scale, const fs::path& file)
{
  vtkNew<vtkDataSetSurfaceFilter> surface;
  surface->SetInputData(Warped(mesh, scale));
  auto* shown = vtkActor::SafeDownCast(viewer.GetRenderer()->GetActors()->GetItemAsObject(0));
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->ShallowCopy(shown->GetMapper());
  mapper->SetInputConnection(surface->GetOutputPort());
  vtkNew<vtkActor> reference;
  reference->SetMapper(mapper);
  reference->SetProperty(shown->GetProperty());
  shown->VisibilityOff();
  viewer.GetRenderer()->AddActor(reference);
  const Image picture = Shot(viewer, file, Legends);
  viewer.GetRenderer()->RemoveActor(reference);
  shown->VisibilityOn();
  return picture;
}

//==============================================================================
// The automatic scale draws the largest displacement as a tenth of the
// model's diagonal; each scale after a key or the script's verb is VTK's
// picture at that scale, and a pick through the model selects the cells of
// VTK's frustum extraction over the deformed mesh.
TEST(OrviWarp, DeformedShapeIsVtkWarp)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t5, "t5", "-3");
  vtkSmartPointer<vtkDataSet> mesh = TetrahedraWithResults(t5);
  double lengths[2];
  mesh->GetPointData()->GetArray("u")->GetRange(lengths, -1);
  const double automatic = 0.1 * mesh->GetLength() / lengths[1];
  std::ostringstream log;
  const auto viewer =
    OpenViewer({ "--edges", "off", "--array", "p", "--warp", "u", "--pick", "through" }, log, mesh);
  EXPECT_NEAR(viewer->GetWarpScale(), automatic, 1e-12 * automatic);
  EXPECT_NE(log.str().find("x " + (std::ostringstream() << automatic).str() + " (automatic"),
    std::string::npos)
    << log.str();
  const std::pair<std::string, double> steps[] = { { "", 1.0 },
    { "key +\n", 2.0 },
    { "key -\nkey -\n", 0.5 },
    { "warp u 0.25\n", 0.25 / automatic } };
  for (const auto& [script, factor] : steps)
  {
    SCOPED_TRACE(script);
    PlayScript(*viewer, dir, script + "screenshot shown\n", log);
    EXPECT_NEAR(viewer->GetWarpScale(), factor * automatic, 1e-12 * automatic);
    const Image expected = VtkPicture(*viewer, mesh, factor * automatic, dir / "vtk.png");
    const Image shown = Shot(*viewer, dir / "shown.png", Legends);
    EXPECT_LT(FractionDiffering(shown, expected, 4), 1e-4);
    EXPECT_GT(FractionDiffering(shown, VtkPicture(*viewer, mesh, 0.0, dir / "still.png"), 4), 0.01);
  }
  // The key o draws the undeformed outline, in its own near-white.
  const Image without = Shot(*viewer, dir / "without.png");
  viewer->SendKey('o');
  const auto outline = [&without](const Rgb& c, int x, int y) {
    return Differs(c, without.At(x, y)) && std::min({ c[0], c[1], c[2] }) > 200;
  };
  EXPECT_GT(Find(Shot(*viewer, dir / "outline.png"), outline).Count, 300);
  viewer->SendKey('o');
  const std::vector<vtkIdType> expected = FrustumCells(
    viewer->GetRenderer(), { 250, 180, 330, 260 }, Warped(mesh, viewer->GetWarpScale()));
  viewer->PickRectangle(250, 180, 330, 260);
  EXPECT_EQ(viewer->GetPickedCells(), expected);
}

//==============================================================================
// A warp array that is not a point array of 3 components changes nothing.
TEST(OrviWarp, RefusedArraysChangeNothing)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t5, "t5", "-3");
  const std::pair<std::string, std::string> cases[] = {
    { "p", "--warp p: point array 'p' has 1 component, a displacement has 3" },
    { "c", "--warp c: 'c' is a cell array; a displacement is a point array of 3 components" },
    { "v", "--warp v: no point array named 'v' (point arrays of 3 components: 'u')" },
  };
  std::ostringstream log;
  const auto viewer =
    OpenViewer({ "--warp", "u", "--warp-scale", "3" }, log, TetrahedraWithResults(t5));
  const Image before = Shot(*viewer, dir / "before.png");
  for (const auto& [array, message] : cases)
  {
    SCOPED_TRACE(array);
    std::string error;
    EXPECT_FALSE(viewer->SetWarp(array, false, 0.0, error));
    EXPECT_EQ(error, message);
    EXPECT_EQ(viewer->GetWarpScale(), 3.0);
    EXPECT_EQ(FractionDiffering(Shot(*viewer, dir / "after.png"), before, 0), 0.0);
  }
  orvi::ViewerOptions options;
  std::string error;
  EXPECT_FALSE(Parse({ "--undeformed" }, options, error));
  EXPECT_EQ(error, "--undeformed is about the deformed shape: give --warp ARRAY too");
}

} // namespace
