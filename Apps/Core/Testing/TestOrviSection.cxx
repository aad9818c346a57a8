// The section plane on gmsh's t5 tetrahedra meshed at test time: each mode's
// picture against plain VTK doing the same on the same mesh and camera
// (vtkTableBasedClipDataSet, vtkExtractGeometry), the cut's cells against
// vtkCutter's (and its points through a deformed shape), picks on the kept
// side and none of the hidden one, the keys and the script's verb, and
// every refused input leaving the plane as it was.
#include "orviSection.h"
#include "orviViewerTestUtils.h"

#include "vtkActorCollection.h"
#include "vtkCellArrayIterator.h"
#include "vtkCutter.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkExtractGeometry.h"
#include "vtkMath.h"
#include "vtkPlane.h"
#include "vtkPlaneCollection.h"
#include "vtkPolyDataMapper.h"
#include "vtkStaticPointLocator.h"
#include "vtkTableBasedClipDataSet.h"
#include "vtkWarpVector.h"

#include <functional>

#include <numeric>
#include <set>

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;
using orvi::SectionMode;

// The plane faces the start view's camera: the cut is seen.
const Args Placed = { "--edges", "off", "--section-normal", "-1", "1", "1" };

vtkNew<vtkPlane> PlaneOf(orvi::Viewer& viewer)
{
  vtkNew<vtkPlane> plane;
  viewer.GetSectionPlane(plane->GetOrigin(), plane->GetNormal());
  return plane;
}

// Plain VTK's kept half: the mesh clipped by the plane, or its cells with a
// point on the kept side whole.
vtkSmartPointer<vtkDataSet> VtkKept(orvi::Viewer& viewer, vtkDataSet* mesh, SectionMode mode)
{
  vtkSmartPointer<vtkUnstructuredGridAlgorithm> kept;
  if (mode == SectionMode::Cut)
  {
    auto clip = vtkSmartPointer<vtkTableBasedClipDataSet>::New();
    clip->SetClipFunction(PlaneOf(viewer));
    clip->InsideOutOn();
    kept = clip;
  }
  else
  {
    auto cells = vtkSmartPointer<vtkExtractGeometry>::New();
    cells->SetImplicitFunction(PlaneOf(viewer));
    cells->ExtractInsideOn();
    cells->ExtractBoundaryCellsOn();
    kept = cells;
  }
  kept->SetInputData(mesh);
  kept->Update();
  return kept->GetOutput();
}

// The picture of VTK's surface of the kept half, coloured and lit as the
// viewer's surface; the viewer's own actors are left hidden.
Image VtkPicture(orvi::Viewer& viewer, vtkDataSet* kept, const fs::path& file)
{
  vtkNew<vtkDataSetSurfaceFilter> surface;
  surface->SetInputData(kept);
  vtkActorCollection* actors = viewer.GetRenderer()->GetActors();
  auto* shown = vtkActor::SafeDownCast(actors->GetItemAsObject(0));
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->ShallowCopy(shown->GetMapper());
  mapper->SetClippingPlanes(
    static_cast<vtkPlaneCollection*>(nullptr)); // the copy shares the viewer's planes
  mapper->SetInputConnection(surface->GetOutputPort());
  vtkNew<vtkActor> reference;
  reference->SetMapper(mapper);
  reference->SetProperty(shown->GetProperty());
  for (int i = 0; i < actors->GetNumberOfItems(); ++i)
  {
    vtkActor::SafeDownCast(actors->GetItemAsObject(i))->VisibilityOff();
  }
  viewer.GetRenderer()->AddActor(reference);
  return Shot(viewer, file, Legends);
}

// The ids a mesh's cell array "id" holds, of every cell or of those listed,
// ascending.
std::vector<vtkIdType> IdsOf(vtkDataSet* data, const std::vector<vtkIdType>* cells = nullptr)
{
  std::set<vtkIdType> ids;
  const vtkIdType count = cells ? vtkIdType(cells->size()) : data->GetNumberOfCells();
  for (vtkIdType i = 0; i < count; ++i)
  {
    ids.insert(vtkIdType(data->GetCellData()->GetArray("id")->GetTuple1(cells ? (*cells)[i] : i)));
  }
  return { ids.begin(), ids.end() };
}

// t5's tetrahedra, each cell's id in "id", and VTK's cut of them.
vtkSmartPointer<vtkDataSet> Mesh(const std::string& path)
{
  vtkSmartPointer<vtkDataSet> mesh = TetrahedraWithResults(path);
  AddArray(mesh, 1, "id", [](vtkIdType i) { return std::vector<double>{ double(i) }; });
  return mesh;
}

vtkSmartPointer<vtkPolyData> VtkCut(orvi::Viewer& viewer, vtkDataSet* mesh)
{
  vtkNew<vtkCutter> cutter;
  cutter->SetInputData(mesh);
  cutter->SetCutFunction(PlaneOf(viewer));
  cutter->Update();
  return cutter->GetOutput();
}

// The points of `from` with no point of `to` within 1e-6 (the mesh's points
// are floats).
vtkIdType Unmatched(vtkPolyData* from, vtkPolyData* to)
{
  vtkNew<vtkStaticPointLocator> locator;
  locator->SetDataSet(to);
  vtkIdType unmatched = 0;
  double distance2 = 0.0;
  for (vtkIdType i = 0; i < from->GetNumberOfPoints(); ++i)
  {
    unmatched += locator->FindClosestPointWithinRadius(1e-6, from->GetPoint(i), distance2) < 0;
  }
  return unmatched;
}

// The area of a poly data's polygons (each a fan of triangles).
double Area(vtkPolyData* polygons)
{
  double area = 0.0;
  vtkNew<vtkIdList> ids;
  for (auto cells = vtk::TakeSmartPointer(polygons->GetPolys()->NewIterator());
       !cells->IsDoneWithTraversal();
       cells->GoToNextCell())
  {
    cells->GetCurrentCell(ids);
    double a[3], b[3], c[3], n[3] = { 0.0, 0.0, 0.0 };
    polygons->GetPoint(ids->GetId(0), a);
    for (vtkIdType k = 1; k + 1 < ids->GetNumberOfIds(); ++k)
    {
      polygons->GetPoint(ids->GetId(k), b);
      polygons->GetPoint(ids->GetId(k + 1), c);
      vtkMath::Subtract(b, a, b);
      vtkMath::Subtract(c, a, c);
      double cross[3];
      vtkMath::Cross(b, c, cross);
      vtkMath::Add(n, cross, n);
    }
    area += 0.5 * vtkMath::Norm(n);
  }
  return area;
}

//==============================================================================
// Cut and whole cells, coloured by a point and by a cell array: the picture
// is VTK's of the same kept half, and the cut's cells are vtkCutter's.
TEST(OrviSection, PicturesAreVtkClipAndExtraction)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t5, "t5", "-3");
  vtkSmartPointer<vtkDataSet> mesh = Mesh(t5);
  for (const char* mode : { "cut", "cells" })
  {
    for (const char* array : { "p", "c:x", "id" })
    {
      SCOPED_TRACE(std::string(mode) + " " + array);
      Args args = Placed;
      args.insert(args.end(), { "--section", mode, "--array", array });
      std::ostringstream log;
      const auto viewer = OpenViewer(args, log, mesh);
      const SectionMode which = viewer->GetOptions().Section;
      const Image shown = Shot(*viewer, dir / "shown.png", Legends);
      const Image expected = VtkPicture(*viewer, VtkKept(*viewer, mesh, which), dir / "vtk.png");
      EXPECT_LT(FractionDiffering(shown, expected, 24), 2e-3);
      // A cut of every cell vtkCutter cuts, one outline each.
      const orvi::SectionCut& section = viewer->GetSection();
      const std::vector<vtkIdType> crossed = IdsOf(VtkCut(*viewer, mesh));
      if (which == SectionMode::Cut)
      {
        EXPECT_EQ(IdsOf(section.GetFace()), crossed);
        EXPECT_EQ(section.GetOutlines()->GetNumberOfCells(), vtkIdType(crossed.size()));
        // The outlines cover what the triangles cover.
        EXPECT_NEAR(
          Area(section.GetOutlines()), Area(section.GetFace()), 1e-9 * Area(section.GetFace()));
      }
      EXPECT_EQ(section.UsedLinearCutter(), which == SectionMode::Cut);
    }
  }
}

//==============================================================================
// Moved, turned, and through a deformed shape whose scale changes (to a
// negative one too), the cut crosses exactly the cells vtkCutter cuts of
// vtkWarpVector's mesh at that scale: of t5's tetrahedra (cut by the
// section itself) and of t3's prisms and hexahedra (by VTK's linear cutter).
TEST(OrviSection, MovesTurnsAndScalesCutWhatVtkCuts)
{
  const fs::path dir = TestDir();
  for (const char* tutorial : { "t5", "t3" })
  {
    SCOPED_TRACE(tutorial);
    GMSH_MESH(file, tutorial, "-3");
    vtkSmartPointer<vtkDataSet> mesh = Mesh(file);
    Args args = Placed;
    args.insert(args.end(), { "--section", "cut" });
    std::ostringstream log;
    const auto viewer = OpenViewer(args, log, mesh);
    std::string error;
    const std::function<void()> steps[] = { [&] { viewer->MoveSection(0.03); },
      [&] { viewer->MoveSection(-0.07); },
      [&] { viewer->TurnSection(20.0); },
      [&] { EXPECT_TRUE(viewer->SetWarp("u", false, 0.0, error)) << error; },
      [&] { viewer->ScaleWarp(2.0); },
      [&] { viewer->MoveSection(0.04); },
      [&] { viewer->ScaleWarp(-0.5); } };
    for (size_t i = 0; i < std::size(steps); ++i)
    {
      steps[i]();
      vtkNew<vtkWarpVector> warp;
      warp->SetInputData(mesh);
      warp->SetInputArrayToProcess(0, 0, 0, vtkDataObject::FIELD_ASSOCIATION_POINTS, "u");
      warp->SetScaleFactor(viewer->GetWarpArray().empty() ? 0.0 : viewer->GetWarpScale());
      warp->Update();
      const vtkSmartPointer<vtkPolyData> cut = VtkCut(*viewer, warp->GetOutput());
      const std::vector<vtkIdType> crossed = IdsOf(cut);
      EXPECT_GT(crossed.size(), 20U) << i;
      EXPECT_EQ(IdsOf(viewer->GetSection().GetFace()), crossed) << i;
      EXPECT_EQ(viewer->GetSection().GetTouchedCells(), vtkIdType(crossed.size())) << i;
      // Where the deformed cells' edges meet the plane, a point of the cut.
      EXPECT_EQ(Unmatched(cut, viewer->GetSection().GetFace()), 0) << i;
    }
    EXPECT_LT(viewer->GetWarpScale(), 0.0);
  }
}

//==============================================================================
// A rectangle over the cut picks the cells under it, through the model only
// the kept ones, and never a hidden cell.
TEST(OrviSection, PicksSeeWhatIsDrawn)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t5, "t5", "-3");
  vtkSmartPointer<vtkDataSet> mesh = Mesh(t5);
  Args args = Placed;
  args.insert(args.end(), { "--section", "cut" });
  std::ostringstream log;
  const auto viewer = OpenViewer(args, log, mesh);
  const std::vector<vtkIdType> kept =
    IdsOf(VtkKept(*viewer, mesh, SectionMode::Cells)); // every cell drawn, wholly or cut
  const auto centre = ToDisplay(viewer->GetRenderer(), PlaneOf(*viewer)->GetOrigin());
  const std::array<int, 4> onCut = {
    int(centre[0]) + 40, int(centre[1]) - 80, int(centre[0]) + 80, int(centre[1]) - 40
  };
  const vtkSmartPointer<vtkPolyData> cut = VtkCut(*viewer, mesh);
  // The cells of the cut's triangles in the rectangle grown or shrunk by
  // two pixels: a triangle across the rectangle's border may cover none of
  // the pixels inside.
  const auto under = [&](int by)
  {
    const std::vector<vtkIdType> triangles = FrustumCells(
      viewer->GetRenderer(), { onCut[0] - by, onCut[1] - by, onCut[2] + by, onCut[3] + by }, cut);
    return IdsOf(cut, &triangles);
  };
  viewer->PickRectangle(onCut[0], onCut[1], onCut[2], onCut[3]);
  const std::vector<vtkIdType>& picked = viewer->GetPickedCells();
  const std::vector<vtkIdType> inner = under(-2), outer = under(2);
  EXPECT_TRUE(std::includes(picked.begin(), picked.end(), inner.begin(), inner.end()));
  EXPECT_TRUE(std::includes(outer.begin(), outer.end(), picked.begin(), picked.end()));
  EXPECT_GT(inner.size(), 20U);
  const std::array<int, 4> hiddenCorner = { 150, 300, 230, 420 };
  for (const orvi::PickMode mode : { orvi::PickMode::Visible, orvi::PickMode::Through })
  {
    viewer->SetPickMode(mode);
    viewer->PickRectangle(hiddenCorner[0], hiddenCorner[1], hiddenCorner[2], hiddenCorner[3]);
    EXPECT_TRUE(std::includes(kept.begin(), kept.end(), picked.begin(), picked.end()));
    if (mode == orvi::PickMode::Through)
    {
      std::vector<vtkIdType> expected;
      const std::vector<vtkIdType> frustum =
        FrustumCells(viewer->GetRenderer(), hiddenCorner, mesh);
      std::set_intersection(
        frustum.begin(), frustum.end(), kept.begin(), kept.end(), std::back_inserter(expected));
      EXPECT_EQ(picked, expected);
      EXPECT_LT(picked.size(), frustum.size());
    }
  }
}

//==============================================================================
// The keys move and turn the plane and step through the modes; the script's
// verb places it.
TEST(OrviSection, KeysAndScriptPlaceThePlane)
{
  const fs::path dir = TestDir();
  std::ostringstream log;
  const auto viewer = OpenViewer({ "--section", "cut" }, log);
  double origin[3], normal[3], moved[3], turned[3], up[3];
  viewer->GetSectionPlane(origin, normal);
  // A normal across the view up turns by the whole angle.
  viewer->GetRenderer()->GetActiveCamera()->GetViewUp(up);
  vtkMath::Cross(up, viewer->GetRenderer()->GetActiveCamera()->GetDirectionOfProjection(), normal);
  std::string error;
  ASSERT_TRUE(viewer->SetSection(SectionMode::Cut, nullptr, normal, error));
  viewer->GetSectionPlane(origin, normal);
  viewer->SendKey(']');
  viewer->GetSectionPlane(moved, turned);
  const double step = 0.02 * orvi::MakeDefaultMesh(error)->GetLength();
  for (int i = 0; i < 3; ++i)
  {
    EXPECT_NEAR(moved[i], origin[i] + step * normal[i], 1e-12);
  }
  viewer->SendKey('.');
  viewer->GetSectionPlane(moved, turned);
  EXPECT_NEAR(vtkMath::Dot(normal, turned), std::cos(vtkMath::RadiansFromDegrees(15.0)), 1e-9);
  viewer->SendKey('x');
  EXPECT_EQ(viewer->GetOptions().Section, SectionMode::Cells);
  PlayScript(*viewer, dir, "section cut 0.25 0 0 0 0 2\nsection cut 0 0 0 0 0 0\n", log);
  viewer->GetSectionPlane(origin, normal);
  EXPECT_EQ(std::vector<double>(origin, origin + 3), std::vector<double>({ 0.25, 0.0, 0.0 }));
  EXPECT_EQ(std::vector<double>(normal, normal + 3), std::vector<double>({ 0.0, 0.0, 1.0 }));
  EXPECT_NE(log.str().find("line 2: the section normal has no length (got 0.000000 0.000000 "
                           "0.000000): it needs a direction; the section stays"),
    std::string::npos)
    << log.str();
}

//==============================================================================
// Refused section options (a zero normal at run time: the script's verb).
TEST(OrviSection, RefusedOptions)
{
  const std::pair<Args, std::string> rows[] = {
    { { "--section", "sideways" }, "unknown section mode 'sideways' (off, cut or cells)" },
    { { "--section", "cut", "--section-normal", "0", "0", "0" },
      "the section normal has no length (got 0.000000 0.000000 0.000000): it needs a direction" },
    { { "--section", "cut", "--section-origin", "1", "2", "x" },
      "--section-origin needs three numbers X Y Z (got 'x')" },
    { { "--section-normal", "0", "1", "0" },
      "--section-origin and --section-normal place the section plane: give --section cut or "
      "cells too" },
  };
  for (const auto& [args, message] : rows)
  {
    orvi::ViewerOptions options;
    std::string error;
    EXPECT_FALSE(Parse(args, options, error));
    EXPECT_EQ(error, message);
  }
}

} // namespace
