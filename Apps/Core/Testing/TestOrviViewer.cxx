// The viewer's scene: the view and colouring options in the picture, the
// start view of flat meshes, the model framed beside the legend.
#include "orviViewerTestUtils.h"

#include "vtkDataSetSurfaceFilter.h"
#include "vtkMassProperties.h"
#include "vtkTriangleFilter.h"

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

//==============================================================================
// What the colouring, view and legend options show, against baselines at
// 640 x 480: a sphere of radius 2 coloured by its height z (z up: warm on
// top), a long array name over a narrow range (the title as high as a label
// and inside the window), and beside the sphere a grey one, where a pick
// through the whole window selects every cell of each.
TEST(OrviViewer, ViewOptionsShowInThePicture)
{
  const fs::path dir = TestDir();
  const std::pair<Args, const char*> cases[] = {
    { { "--up", "+Z", "sphere.vtp" }, "viewer-up-z" },
    { { "--up", "-Z", "sphere.vtp" }, "viewer-down-z" },
    { { "--colormap", "viridis", "sphere.vtp" }, "viewer-viridis" },
    { { "--colormap", "coolwarm", "sphere.vtp" }, "viewer-coolwarm" },
    { { "--colormap", "grey", "sphere.vtp" }, "viewer-grey" },
    { { "--range", "5", "6", "sphere.vtp" }, "viewer-below-range" }, // all at the low end
    { { "--no-legend", "sphere.vtp" }, "viewer-no-legend" },
    { { "long.vtu" }, "viewer-long-title" },
    { { "--pick", "through", "sphere.vtp", "beside.stl" }, "viewer-two-meshes" },
  };
  for (const auto& [args, baseline] : cases)
  {
    std::ostringstream log;
    Args all = { "--edges", "off" };
    all.insert(all.end(), args.begin(), args.end());
    const auto viewer = OpenViewer(all, log);
    EXPECT_TRUE(orvi_test::MatchesBaseline(viewer->GetWindow(), baseline));
    if (args.back() == "beside.stl") // 144 cells each, ids 0 .. 143; and a .jpg is a JPEG
    {
      EXPECT_EQ(viewer->PickRectangle(0, 0, 639, 479), 2 * 144);
      EXPECT_EQ(viewer->GetPickedCells(1).back(), 143);
      std::string error;
      EXPECT_TRUE(viewer->Screenshot((dir / "shot.jpg").string(), true, error)) << error;
      EXPECT_EQ(ReadText(dir / "shot.jpg").substr(0, 3), "\xff\xd8\xff");
    }
  }
}

//==============================================================================
// A flat mesh opens face-on whatever --up says: seen along its normal, the
// whole mesh in the window, its picture as large as its area at the framed
// scale; a rotation and the key r bring that view back.
TEST(OrviViewer, FlatMeshesOpenFaceOn)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t1, "t1", "-2");
  GMSH_MESH(t6, "t6", "-2");
  const std::pair<std::string, std::string> cases[] = {
    { t1, "+Y" },
    { t1, "+Z" },
    { t1, "-X" },
    { t6, "-Z" },
  };
  for (const auto& [mesh, up] : cases)
  {
    SCOPED_TRACE(mesh + " " + up);
    std::ostringstream log;
    const auto viewer = OpenViewer({ "--up", up, "--edges", "off", mesh }, log);
    vtkRenderer* renderer = viewer->GetRenderer();
    double direction[3];
    renderer->GetActiveCamera()->GetDirectionOfProjection(direction);
    EXPECT_GT(std::abs(direction[2]), 0.99999); // gmsh's 2D tutorials lie in z = 0
    // The true area of the mesh's faces.
    std::string error;
    vtkNew<vtkDataSetSurfaceFilter> surface;
    surface->SetInputData(orvi::LoadMesh(mesh, log, error));
    vtkNew<vtkTriangleFilter> triangles;
    triangles->SetInputConnection(surface->GetOutputPort());
    triangles->PassLinesOff();
    triangles->PassVertsOff();
    vtkNew<vtkMassProperties> mass;
    mass->SetInputConnection(triangles->GetOutputPort());
    mass->Update();
    const double scale = PixelsPerUnit(renderer);
    const Image shown = Shot(*viewer, dir / "shown.png");
    const Image empty = Shot(*viewer, dir / "empty.png", Models);
    const Region model = Find(shown, ChangedFrom(empty));
    const double area = mass->GetSurfaceArea() * scale * scale;
    EXPECT_GT(model.Count, 0.9 * area);
    EXPECT_LT(model.Count, 1.1 * area);
    EXPECT_TRUE(model.X0 > 0 && model.Y0 > 0 && model.X1 < 639 && model.Y1 < 479);
    PlayScript(*viewer, dir, "rotate 80 30\nkey r\nscreenshot again\n", log);
    EXPECT_LT(FractionDiffering(ReadPng(dir / "again.png"), shown, 8), 0.001);
  }
}

//==============================================================================
// The start view frames the model left of the legend, at any window size:
// no pixel of the model lies in the legend's box.
TEST(OrviViewer, ModelStaysBesideTheLegend)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t14, "t14", "-3 -clscale 2");
  const std::tuple<Args, int, int> cases[] = {
    { { "--up", "+Z", t14 }, 1024, 768 },
    { { "--up", "+Z", t14 }, 640, 480 },
    { { "--up", "+Z", t14 }, 480, 640 },
    { { "--up", "+Z", t14 }, 1280, 400 },
    { { "--up", "+Z", "--array", "cell:CellEntityIds", "--colormap", "grey", t14 }, 800, 600 },
    { { "sphere.vtp" }, 320, 240 },
    { { "long.vtu" }, 900, 300 },
    { {}, 640, 480 },
  };
  for (const auto& [args, width, height] : cases)
  {
    SCOPED_TRACE(args.empty() ? "generated" : args.back() + " " + std::to_string(width));
    std::ostringstream log;
    Args all = { "--size", std::to_string(width), std::to_string(height) };
    all.insert(all.end(), args.begin(), args.end());
    const auto viewer = OpenViewer(all, log);
    const Image shown = Shot(*viewer, dir / "shown.png");
    const Image model = Shot(*viewer, dir / "model.png", Legends);
    const Image empty = Shot(*viewer, dir / "empty.png", Models | Legends);
    const Region legend = Find(shown, ChangedFrom(model));
    ASSERT_GT(legend.Count, 100);
    EXPECT_EQ(
      Find(model, ChangedFrom(empty), { legend.X0, legend.Y0, legend.X1, legend.Y1 }).Count, 0)
      << legend.X0 << " " << legend.Y0 << " " << legend.X1 << " " << legend.Y1;
    // And the model is in the window, as large as the room beside the legend
    // lets it be.
    const Region whole = Find(model, ChangedFrom(empty));
    EXPECT_TRUE(whole.X0 > 0 && whole.Y0 > 0 && whole.X1 < width - 1 && whole.Y1 < height - 1);
    EXPECT_TRUE(
      whole.X1 - whole.X0 > (legend.X0 - 0) * 8 / 10 || whole.Y1 - whole.Y0 > height * 8 / 10);
  }
}

} // namespace
