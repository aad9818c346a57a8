// Colouring by a vector's or tensor's magnitude, component or von Mises
// stress, on gmsh's t1 meshed at test time: the picture against VTK's own
// colouring of the quantity vtkArrayCalculator computes, the legend's title,
// and every refused component leaving the picture as it was.
#include "orviColormap.h"
#include "orviViewerTestUtils.h"

#include "vtkActor2DCollection.h"
#include "vtkActorCollection.h"
#include "vtkArrayCalculator.h"
#include "vtkDataSet.h"
#include "vtkLookupTable.h"
#include "vtkPolyDataMapper.h"
#include "vtkScalarBarActor.h"

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

// t1 with a point vector u and a cell tensor s whose every component varies.
vtkSmartPointer<vtkDataSet> MeshWithResults(const std::string& path)
{
  vtkSmartPointer<vtkDataSet> mesh = ReadMesh(path);
  using V = std::vector<double>;
  AddArray(mesh,
    0,
    "u",
    [](const double* p) {
      return V{ std::sin(40 * p[0]), std::cos(25 * p[1]), 300 * p[0] * p[1] };
    });
  AddArray(mesh,
    1,
    "s",
    [&mesh](vtkIdType i)
    {
      double b[6];
      mesh->GetCellBounds(i, b);
      const double x = 10 * (b[0] + b[1]), y = 10 * (b[2] + b[3]);
      return V{ x, y, -x * y, x - y, 2 * y * y, std::sin(x + y) };
    });
  return mesh;
}

// VTK's calculator's result of `expression` over data of `field` (0 points).
vtkSmartPointer<vtkDataSet> Calculated(vtkDataSet* data, int field, const std::string& expression)
{
  vtkNew<vtkArrayCalculator> calculator;
  calculator->SetInputData(data);
  calculator->SetAttributeType(field == 0 ? vtkDataObject::POINT : vtkDataObject::CELL);
  const std::string array = field == 0 ? "u" : "s";
  for (int c = 0; c < (field == 0 ? 3 : 6); ++c)
  {
    calculator->AddScalarVariable((array + std::to_string(c)).c_str(), array.c_str(), c);
  }
  calculator->SetFunction(expression.c_str());
  calculator->SetResultArrayName("q");
  calculator->Update();
  return vtkDataSet::SafeDownCast(calculator->GetOutput());
}

std::string LegendTitle(orvi::Viewer& viewer)
{
  vtkActor2DCollection* actors = viewer.GetRenderer()->GetActors2D();
  auto* legend = vtkScalarBarActor::SafeDownCast(actors->GetItemAsObject(0));
  return legend && legend->GetTitle() ? legend->GetTitle() : "";
}

//==============================================================================
// Each quantity's picture is VTK's colouring of the calculator's value over
// the same surface, camera and range; switching keeps the surface.
TEST(OrviComponents, QuantitiesColourAsVtkDoes)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t1, "t1", "-2");
  const std::string vonMises = "sqrt(0.5*((s0-s1)^2+(s1-s2)^2+(s2-s0)^2)+3*(s3^2+s4^2+s5^2))";
  const std::tuple<std::string, std::string, int, std::string> cases[] = {
    { "u", "u (magnitude)", 0, "sqrt(u0^2+u1^2+u2^2)" },
    { "u:y", "u (y)", 0, "u1" },
    { "point:u:2", "u (z)", 0, "u2" },
    { "s:3", "s (xy)", 1, "s3" },
    { "cell:s:vonmises", "s (von Mises)", 1, vonMises },
    { "s:magnitude", "s (magnitude)", 1, "sqrt(s0^2+s1^2+s2^2+s3^2+s4^2+s5^2)" },
  };
  vtkSmartPointer<vtkDataSet> mesh = MeshWithResults(t1);
  std::ostringstream log;
  const auto viewer = OpenViewer({ "--edges", "off" }, log, mesh);
  auto* shown = vtkActor::SafeDownCast(viewer->GetRenderer()->GetActors()->GetItemAsObject(0));
  vtkDataObject* surface = shown->GetMapper()->GetInputDataObject(0, 0);
  for (const auto& [choice, title, field, expression] : cases)
  {
    SCOPED_TRACE(choice);
    std::string error;
    ASSERT_TRUE(viewer->SetArray(choice, error)) << error;
    EXPECT_EQ(LegendTitle(*viewer), title);
    EXPECT_EQ(viewer->GetColouredQuantity().Title, title);
    EXPECT_EQ(shown->GetMapper()->GetInputDataObject(0, 0), surface); // not extracted again
    const Image picture = Shot(*viewer, dir / "viewer.png", Legends);

    double range[2];
    Calculated(mesh, field, expression)
      ->GetAttributesAsFieldData(field)
      ->GetArray("q")
      ->GetRange(range);
    EXPECT_NEAR(viewer->GetColouredQuantity().Range[0], range[0], 1e-9 * (range[1] - range[0]));
    EXPECT_NEAR(viewer->GetColouredQuantity().Range[1], range[1], 1e-9 * (range[1] - range[0]));
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputData(
      vtkPolyData::SafeDownCast(Calculated(vtkDataSet::SafeDownCast(surface), field, expression)));
    mapper->SetScalarMode(
      field == 0 ? VTK_SCALAR_MODE_USE_POINT_FIELD_DATA : VTK_SCALAR_MODE_USE_CELL_FIELD_DATA);
    mapper->SelectColorArray("q");
    mapper->SetLookupTable(orvi::MakeLookupTable(orvi::Colormap::Rainbow, range));
    mapper->UseLookupTableScalarRangeOn();
    vtkNew<vtkActor> reference;
    reference->SetMapper(mapper);
    reference->SetProperty(shown->GetProperty());
    shown->VisibilityOff();
    viewer->GetRenderer()->AddActor(reference);
    const Image expected = Shot(*viewer, dir / "vtk.png", Legends);
    viewer->GetRenderer()->RemoveActor(reference);
    shown->VisibilityOn();
    EXPECT_LT(FractionDiffering(picture, expected, 4), 1e-4);
    EXPECT_GT(FractionDiffering(picture, Shot(*viewer, dir / "none.png", Models), 4), 0.2);
  }
  // The key c steps on from the tensor's magnitude to its first component.
  viewer->SendKey('c');
  EXPECT_EQ(LegendTitle(*viewer), "s (xx)");
}

//==============================================================================
// A refused array or component changes nothing: the message, the title and
// the picture stay as they were.
TEST(OrviComponents, RefusedComponentsChangeNothing)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t1, "t1", "-2");
  const std::pair<std::string, std::string> cases[] = {
    { "u:w",
      "--array u:w: unknown component 'w' (x, y, z, a number from 0, magnitude or "
      "vonmises)" },
    { "u:3", "array 'u' has 3 components (x, y, z, 0 .. 2, magnitude): no component 3" },
    { "u:vonmises",
      "array 'u' has 3 components (x, y, z, 0 .. 2, magnitude): no von Mises "
      "stress (a symmetric tensor of 6)" },
    { "CellEntityIds:x", "" }, // one component: x is its value
    { "CellEntityIds:magnitude", "array 'CellEntityIds' has one component (0): no magnitude" },
    { "point:s",
      "the mesh has no point array named 's'; it holds point array 'u'; cell arrays "
      "'CellEntityIds', 's'" },
    { ":x", "--array needs an array name (NAME, point:NAME or cell:NAME)" },
  };
  std::ostringstream log;
  const auto viewer = OpenViewer({ "--edges", "off", "--array", "u:x" }, log, MeshWithResults(t1));
  const Image before = Shot(*viewer, dir / "before.png");
  for (const auto& [choice, message] : cases)
  {
    SCOPED_TRACE(choice);
    std::string error;
    EXPECT_EQ(viewer->SetArray(choice, error), message.empty());
    EXPECT_EQ(error, message);
    if (message.empty())
    {
      EXPECT_EQ(LegendTitle(*viewer), "CellEntityIds");
      ASSERT_TRUE(viewer->SetArray("u:x", error));
      continue;
    }
    EXPECT_EQ(LegendTitle(*viewer), "u (x)");
    EXPECT_EQ(FractionDiffering(Shot(*viewer, dir / "after.png"), before, 0), 0.0);
  }
  // On the command line, the same words.
  orvi::ViewerOptions options;
  std::string error;
  EXPECT_FALSE(Parse({ "--array", "u:w" }, options, error));
  EXPECT_EQ(error, cases[0].second);
}

} // namespace
