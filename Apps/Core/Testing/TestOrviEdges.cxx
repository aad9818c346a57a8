// The mesh edges over the surface (on, off, auto as the zoom and the cells'
// sizes want), a mesh's own lines and vertices, and their smoothing.
#include "orviViewerTestUtils.h"

#include "vtkAppendPolyData.h"
#include "vtkCell.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkPlaneSource.h"
#include "vtkPolyData.h"
#include "vtkPolyLineSource.h"
#include "vtkSphereSource.h"
#include "vtkVertexGlyphFilter.h"

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

//==============================================================================
// --edges auto follows the zoom: a dense sphere seen whole shows no edges, a
// box zoom onto it brings them, and the key r the first view back. (Which
// cells show edges in one view, and the modes on and off:
// AutoEdgesShowWhereCellsAreLarge.)
TEST(OrviEdges, AutoEdgesFollowTheZoom)
{
  const fs::path dir = TestDir();
  // Edge pixels (near black) in the middle, where the surface is in every view.
  const auto edges = [&](const char* png)
  {
    return Find(ReadPng(dir / png),
      [](const Rgb& c, int, int) {
        return std::max({ c[0], c[1], c[2] }) < 45;
      },
      { 150, 100, 400, 380 })
      .Count;
  };
  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(400);
  sphere->SetPhiResolution(400);
  sphere->SetRadius(2.0);
  sphere->Update();
  std::ostringstream log;
  const auto viewer = OpenViewer({ "--edges", "auto" }, log, sphere->GetOutput());
  viewer->SetSmoothEdges(false); // lines one pixel wide, near black
  PlayScript(*viewer,
    dir,
    "screenshot 0\nboxzoom 290 210 350 270\nscreenshot 1\nkey r\nscreenshot 2\n",
    log);
  EXPECT_LE(edges("0.png"), 60);
  EXPECT_GT(edges("1.png"), 60);
  EXPECT_LT(FractionDiffering(ReadPng(dir / "2.png"), ReadPng(dir / "0.png"), 8), 0.001);
}

//==============================================================================
// --edges auto on graded meshes: the edges of the large cells are drawn, those
// of the small ones not, so the fine regions keep their colours.
TEST(OrviEdges, AutoEdgesShowWhereCellsAreLarge)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t7, "t7", "-2");
  GMSH_MESH(t11, "t11", "-2");
  for (const std::string& mesh : { t7, t11 })
  {
    SCOPED_TRACE(mesh);
    std::ostringstream log;
    const auto viewer = OpenViewer({ "--no-legend", "--edges", "off", mesh }, log);
    vtkRenderer* renderer = viewer->GetRenderer();
    const Image off = Shot(*viewer, dir / "off.png");
    viewer->SetEdgeMode(orvi::EdgeMode::Auto);
    const Image automatic = Shot(*viewer, dir / "auto.png");
    viewer->SetEdgeMode(orvi::EdgeMode::On);
    const Image on = Shot(*viewer, dir / "on.png");
    // The largest and the smallest face, and the edge pixels about them.
    std::string error;
    vtkNew<vtkDataSetSurfaceFilter> surface;
    surface->SetInputData(orvi::LoadMesh(mesh, log, error));
    surface->Update();
    vtkPolyData* faces = surface->GetOutput();
    double largest = 0, smallest = VTK_DOUBLE_MAX;
    std::array<double, 2> large{}, small{};
    for (vtkIdType i = 0; i < faces->GetNumberOfCells(); ++i)
    {
      vtkCell* cell = faces->GetCell(i);
      if (cell->GetCellDimension() != 2)
      {
        continue;
      }
      double centre[3] = { 0, 0, 0 };
      for (vtkIdType k = 0; k < cell->GetNumberOfPoints(); ++k)
      {
        vtkMath::Add(centre, faces->GetPoint(cell->GetPointId(k)), centre);
      }
      vtkMath::MultiplyScalar(centre, 1.0 / cell->GetNumberOfPoints());
      const double size = std::sqrt(cell->GetLength2());
      if (size > largest)
      {
        largest = size;
        large = ToDisplay(renderer, centre);
      }
      if (size < smallest)
      {
        smallest = size;
        small = ToDisplay(renderer, centre);
      }
    }
    const double pixels = largest * PixelsPerUnit(renderer);
    EXPECT_GT(pixels, 20.0);
    const auto around = [](const std::array<double, 2>& at, double half)
    {
      return std::array<int, 4>{
        int(at[0] - half), int(at[1] - half), int(at[0] + half), int(at[1] + half)
      };
    };
    EXPECT_GT(Find(automatic, ChangedFrom(off), around(large, pixels)).Count, pixels);
    EXPECT_EQ(Find(automatic, ChangedFrom(off), around(small, 3)).Count, 0);
    EXPECT_GT(Find(on, ChangedFrom(off), around(small, 3)).Count, 0);
    EXPECT_LT(Find(automatic, ChangedFrom(off)).Count, Find(on, ChangedFrom(off)).Count * 3 / 4);
  }
}

//==============================================================================
// A mesh's own lines are 2 pixels wide and its vertices 5 pixels across, in
// a colour apart from the background and, among faces, from the faces;
// drawing the edges never hides them.
TEST(OrviEdges, LinesAndPointsAreSeen)
{
  const fs::path dir = TestDir();
  // A zigzag of 8 lines and 9 vertices in the plane z = 0, alone or over a
  // square of 4 x 4 faces.
  const auto make = [](bool lines, bool verts, bool faces)
  {
    vtkNew<vtkPolyLineSource> zigzag;
    zigzag->SetNumberOfPoints(9);
    for (int i = 0; i <= 8; ++i)
    {
      zigzag->SetPoint(i, i, i % 2 ? 3.0 : 1.0, 0.0);
    }
    vtkNew<vtkVertexGlyphFilter> vertices;
    vertices->SetInputConnection(zigzag->GetOutputPort());
    vtkNew<vtkPlaneSource> squares;
    squares->SetOrigin(0, -2, 0);
    squares->SetPoint1(8, -2, 0);
    squares->SetPoint2(0, 6, 0);
    squares->SetResolution(4, 4);
    vtkNew<vtkAppendPolyData> mesh;
    for (const auto& [wanted, part] : { std::make_pair(lines, zigzag->GetOutputPort()),
           std::make_pair(verts, vertices->GetOutputPort()),
           std::make_pair(faces, squares->GetOutputPort()) })
    {
      if (wanted)
      {
        mesh->AddInputConnection(part);
      }
    }
    mesh->Update();
    mesh->GetOutput()->GetPointData()->Initialize(); // the plane's normals: nothing to colour by
    return vtkSmartPointer<vtkPolyData>(mesh->GetOutput());
  };
  const double length = 8 * std::sqrt(5.0);
  const auto amber = [](const Rgb& c, int, int)
  { return c[0] > 200 && c[1] > 140 && c[1] < 230 && c[2] < 90; };
  const std::tuple<bool, bool, bool, const char*> cases[] = {
    { true, false, false, "on" },
    { true, false, false, "off" },
    { false, true, false, "on" },
    { true, true, true, "on" },
    { true, true, true, "auto" },
  };
  for (const auto& [lines, verts, faces, edges] : cases)
  {
    SCOPED_TRACE(std::to_string(lines) + std::to_string(verts) + std::to_string(faces) + edges);
    std::ostringstream log;
    const auto viewer = OpenViewer({ "--edges", edges }, log, make(lines, verts, faces));
    const double scale = PixelsPerUnit(viewer->GetRenderer());
    const Image shown = Shot(*viewer, dir / "shown.png");
    if (faces)
    {
      // Amber where the zigzag lies, over the grey faces, all of it seen.
      EXPECT_GT(Find(shown, amber).Count, 1.5 * length * scale);
      continue;
    }
    const Image empty = Shot(*viewer, dir / "empty.png", Models);
    const long count = Find(shown, ChangedFrom(empty, 40)).Count;
    if (lines)
    {
      // A line 2 pixels wide at a slope of 2 covers 2 pixels per step along
      // its longer axis, 1.79 per unit of its length; 1 pixel wide, 0.89.
      EXPECT_GT(count, 1.5 * length * scale);
      EXPECT_LT(count, 3.5 * length * scale);
    }
    else
    {
      EXPECT_GE(count, 9 * 25);
      EXPECT_LT(count, 9 * 64);
    }
  }
}

//==============================================================================
// Edges and silhouettes are smoothed (VTK's FXAA over the finished frame):
// against the same frame unsmoothed, the pixels along the lines change and
// take shades between line and face; the faces away from lines keep theirs.
TEST(OrviEdges, EdgesAreSmooth)
{
  const fs::path dir = TestDir();
  std::ostringstream log;
  const auto viewer = OpenViewer({ "--edges", "on", "--no-legend", "sphere.vtp" }, log);
  const Image smooth = Shot(*viewer, dir / "smooth.png");
  viewer->SetSmoothEdges(false);
  const Image jagged = Shot(*viewer, dir / "jagged.png");
  const long changed = Find(smooth, ChangedFrom(jagged, 8)).Count;
  const long lines = Find(
    jagged, [](const Rgb& c, int, int) { return c[0] < 40 && c[1] < 40; }, { 100, 100, 400, 380 })
                       .Count;
  EXPECT_GT(changed, lines / 2) << lines;
  EXPECT_LT(changed, 640 * 480 / 8);
}

} // namespace
