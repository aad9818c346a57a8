// orvi::ClusteredSurface on the boundary surface of gmsh's tutorial t5: a
// copy of about the triangles asked for, made of the surface's own points
// and polygons, that covers on screen what VTK draws of the full surface;
// and inputs that give nothing, or an error, rather than a crash.
#include "orviBoundarySurface.h"
#include "orviClusteredSurface.h"
#include "orviFilterTestScene.h"
#include "orviGmshMesh.h"
#include "orviTestUtils.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkIdFilter.h"
#include "vtkIdTypeArray.h"
#include "vtkMassProperties.h"
#include "vtkPointData.h"

#include <set>
#include <tuple>

namespace
{
// The boundary surface of t5 at half gmsh's sizes, each point and polygon
// with its own id in "point" and "cell"; nullptr with why set without gmsh.
vtkSmartPointer<vtkPolyData> T5Surface(std::string& why)
{
  auto mesh = orvi_test::ReadGmshTutorial("t5", ORVI_TEST_OUTPUT_DIR, why, "-3 -clscale 0.5");
  if (!mesh)
  {
    return nullptr;
  }
  vtkNew<orvi::BoundarySurface> extract;
  extract->SetInputData(mesh);
  vtkNew<vtkIdFilter> ids;
  ids->SetInputConnection(extract->GetOutputPort());
  ids->SetPointIdsArrayName("point");
  ids->SetCellIdsArrayName("cell");
  ids->Update();
  return vtkPolyData::SafeDownCast(ids->GetOutput());
}

vtkSmartPointer<vtkPolyData> Clustered(vtkPolyData* surface, vtkIdType target)
{
  vtkNew<orvi::ClusteredSurface> filter;
  filter->SetInputData(surface);
  filter->SetTargetTriangles(target);
  filter->Update();
  return filter->GetOutput();
}

} // namespace

//------------------------------------------------------------------------------
// For several sizes: about the triangles asked for; each point a surface
// point at its place with its point data, used once; each triangle on
// three distinct points, with its polygon's cell data and no other
// triangle on the same points in the same turn; and on screen the shape of
// the full surface, closer the more triangles it has.
TEST(OrviClusteredSurface, IsMadeOfTheSurfacesPointsAndCoversItsPixels)
{
  std::string why;
  vtkSmartPointer<vtkPolyData> surface = T5Surface(why);
  if (!surface)
  {
    GTEST_SKIP() << why;
  }
  const vtkIdType polys = surface->GetNumberOfPolys();
  ASSERT_GT(polys, 6000);
  vtkNew<vtkMassProperties> mass;
  mass->SetInputData(surface);
  mass->Update();
  const double area = mass->GetSurfaceArea();
  orvi_test::Scene scene(400, 300);
  orvi_test::LookAtBounds(scene, surface->GetBounds(), 30, 20);
  const auto full = orvi_test::ShowUnlit(scene, surface, nullptr, "t5-full");
  const int model = full->Count([](const std::array<int, 3>& c, int, int) { return c[0] > 0; });
  ASSERT_GT(model, 400 * 300 / 8);
  // The share of the model's pixels a stand-in may get wrong.
  const std::pair<vtkIdType, double> cases[] = {
    { 500, 0.12 }, { polys / 8, 0.1 }, { polys / 3, 0.05 }
  };
  int fewer = model; // the pixels the coarser stand-in got wrong
  for (const auto& [target, share] : cases)
  {
    SCOPED_TRACE(target);
    vtkSmartPointer<vtkPolyData> standIn = Clustered(surface, target);
    const vtkIdType n = standIn->GetNumberOfPolys();
    EXPECT_TRUE(n > target / 3 && n < 2 * target) << n;
    EXPECT_EQ(standIn->GetNumberOfCells(), n);
    auto* from = vtkIdTypeArray::SafeDownCast(standIn->GetPointData()->GetArray("point"));
    auto* of = vtkIdTypeArray::SafeDownCast(standIn->GetCellData()->GetArray("cell"));
    ASSERT_TRUE(from && of);
    std::set<vtkIdType> sources;
    for (vtkIdType i = 0; i < standIn->GetNumberOfPoints(); ++i)
    {
      EXPECT_TRUE(sources.insert(from->GetValue(i)).second) << i;
      ASSERT_EQ(
        orvi_test::Distance(standIn->GetPoint(i), surface->GetPoint(from->GetValue(i))), 0.0);
    }
    std::set<std::array<vtkIdType, 3>> triangles;
    for (vtkIdType t = 0; t < n; ++t)
    {
      vtkIdType count;
      const vtkIdType* p;
      standIn->GetCellPoints(t, count, p);
      ASSERT_EQ(count, 3);
      ASSERT_TRUE(p[0] != p[1] && p[1] != p[2] && p[0] != p[2]) << t;
      const int least = static_cast<int>(std::min_element(p, p + 3) - p);
      EXPECT_TRUE(triangles.insert({ p[least], p[(least + 1) % 3], p[(least + 2) % 3] }).second);
      ASSERT_TRUE(of->GetValue(t) >= 0 && of->GetValue(t) < surface->GetNumberOfCells());
      // Each corner stands for a point of its polygon: one of the same grid
      // cell, whose side is about sqrt(2 area / target).
      vtkIdType m;
      const vtkIdType* q;
      surface->GetCellPoints(of->GetValue(t), m, q);
      for (int k = 0; k < 3; ++k)
      {
        double nearest = VTK_DOUBLE_MAX;
        for (vtkIdType j = 0; j < m; ++j)
        {
          nearest = std::min(
            nearest, orvi_test::Distance(standIn->GetPoint(p[k]), surface->GetPoint(q[j])));
        }
        EXPECT_LT(nearest, 1.8 * std::sqrt(2.0 * area / static_cast<double>(target))) << t;
      }
    }
    const auto shown =
      orvi_test::ShowUnlit(scene, standIn, nullptr, "t5-" + std::to_string(target));
    const int wrong = orvi_test::Differing(*shown, *full, 300);
    EXPECT_GT(wrong, 0);
    EXPECT_LT(wrong, share * model);
    EXPECT_LT(wrong, fewer);
    fewer = wrong;
  }
}

//------------------------------------------------------------------------------
// Triangles of a unit square's points (the same one twice kept once, turned
// over kept twice), and what gives nothing: no polygons, no area, no
// triangles asked for, a polygon off the points (with an error naming the
// point).
TEST(OrviClusteredSurface, SmallSurfacesAndBrokenPolygons)
{
  vtkNew<vtkPoints> points;
  for (int i = 0; i < 4; ++i)
  {
    points->InsertNextPoint(i % 2, i / 2, 0.0);
  }
  const std::tuple<std::vector<vtkIdType>, vtkIdType, vtkIdType, const char*> cases[] = {
    { { 0, 1, 2 }, 1, 1, nullptr },
    { { 0, 1, 2, 1, 2, 0 }, 2, 1, nullptr }, // the same triangle twice
    { { 0, 1, 2, 0, 2, 1 }, 2, 2, nullptr }, // and turned over
    { {}, 100, 0, nullptr },
    { { 0, 0, 2 }, 100, 0, nullptr },
    { { 0, 1, 2 }, 0, 0, nullptr },
    { { 0, 1, 4 }, 100, 0, "a polygon refers to point 4 of a surface of 4 points" },
    { { 0, -1, 2 }, 100, 0, "a polygon refers to point -1 of a surface of 4 points" },
  };
  for (const auto& [cell, target, triangles, error] : cases)
  {
    SCOPED_TRACE(testing::PrintToString(cell));
    vtkNew<vtkPolyData> surface;
    surface->SetPoints(points);
    surface->SetPolys(vtkNew<vtkCellArray>());
    for (size_t k = 0; k < cell.size(); k += 3)
    {
      surface->GetPolys()->InsertNextCell(3, cell.data() + k);
    }
    vtkNew<orvi::ClusteredSurface> filter;
    filter->SetInputData(surface);
    filter->SetTargetTriangles(target);
    orvi_test::EventRecorder errors(filter, vtkCommand::ErrorEvent);
    filter->Update();
    EXPECT_EQ(filter->GetOutput()->GetNumberOfCells(), triangles);
    EXPECT_EQ(errors.Texts.size(), error ? 1u : 0u);
    EXPECT_TRUE(!error || errors.Saw(error));
  }
}
