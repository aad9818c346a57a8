// Rectangle picks of the viewer: the cells selected, through the model or
// only where seen, against VTK's frustum extraction, and their highlight.
#include "orviViewerTestUtils.h"

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

//==============================================================================
// gmsh's tutorial t5, 13 thousand tetrahedra: through the model a pick
// selects the cells of VTK's frustum extraction for the same rectangle,
// interior ones included; what is seen selects a few of those, the cells
// with a face on the surface. Both highlight the rectangle and no more.
TEST(OrviViewerPick, PickSelectsTheCellsUnderTheRectangle)
{
  const fs::path dir = TestDir();
  GMSH_MESH(mesh, "t5", "-3");
  std::string why;
  std::ostringstream log;
  const std::array<int, 4> box = { 280, 200, 360, 280 };
  std::vector<vtkIdType> whole[2], middle[2], expected;
  const vtkSmartPointer<vtkDataSet> cells = orvi::LoadMesh(mesh, log, why);
  for (int through = 0; through < 2; ++through)
  {
    SCOPED_TRACE(through);
    const auto viewer =
      OpenViewer({ "--pick", through ? "through" : "visible", "--edges", "on", mesh }, log);
    expected = FrustumCells(viewer->GetRenderer(), box, cells);
    viewer->PickRectangle(0, 0, 639, 479);
    whole[through] = viewer->GetPickedCells();
    viewer->PickRectangle(box[0], box[1], box[2], box[3]);
    middle[through] = viewer->GetPickedCells();
    // The line counts the mesh's cells, not the faces highlighting them.
    EXPECT_EQ(viewer->GetLastPickSummary().rfind(
                "picked " + std::to_string(middle[through].size()) + " cells, mesh cell ids", 0),
      0u)
      << viewer->GetLastPickSummary();
    EXPECT_TRUE(viewer->Screenshot((dir / "picked.png").string(), true, why)) << why;
    const Image picked = ReadPng(dir / "picked.png");
    EXPECT_GT(Find(picked, Magenta, box).Count, 81 * 81 * 95 / 100);
    const Region all = Find(picked, Magenta);
    const int m = through ? 60 : 30; // a cell's face reaches this far out
    EXPECT_TRUE(all.X0 > 280 - m && all.X1 < 360 + m && all.Y0 > 200 - m && all.Y1 < 280 + m)
      << all.X0 << " " << all.Y0;
  }
  EXPECT_EQ(middle[1], expected);
  EXPECT_TRUE(
    std::includes(middle[1].begin(), middle[1].end(), middle[0].begin(), middle[0].end()));
  EXPECT_GT(middle[1].size(), 10 * middle[0].size());
  const auto n = static_cast<size_t>(cells->GetNumberOfCells());
  EXPECT_TRUE(whole[1].size() == n && whole[1].back() == vtkIdType(n) - 1) << whole[1].size();
  // Each cell once, also when several of its faces are seen.
  EXPECT_TRUE(std::includes(whole[1].begin(), whole[1].end(), whole[0].begin(), whole[0].end()));
  EXPECT_TRUE(whole[0].size() > 0 && whole[0].size() < n / 10) << whole[0].size();
}

} // namespace
