// The values of a pick on gmsh's t5 meshed at test time, with a point vector
// and a cell scalar added: the pick line's minimum, mean and maximum, the
// CSV rows of --pick-out and the value under a point, each against values
// computed here from the mesh's own arrays; paths in a missing folder refused.
#include "orviViewerTestUtils.h"

#include "vtkIdList.h"

#include <numeric>
#include <set>

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

vtkSmartPointer<vtkDataSet> MeshWithResults(const std::string& path)
{
  vtkSmartPointer<vtkDataSet> mesh = ReadMesh(path);
  using V = std::vector<double>;
  AddArray(mesh,
    0,
    "u",
    [](const double* x) {
      return V{ x[0] * x[1], std::sin(4 * x[2]), x[0] };
    });
  AddArray(mesh, 1, "c", [](vtkIdType i) { return V{ std::cos(0.01 * static_cast<double>(i)) }; });
  return mesh;
}

//==============================================================================
// Through the model, by a point vector's magnitude (over the picked cells'
// points, each once) and by a cell scalar (over the cells); the CSV holds a
// row per picked cell with its type, its cell values and its points' means.
TEST(OrviPickValues, PickReportsTheValuesOfItsCells)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t5, "t5", "-3");
  vtkSmartPointer<vtkDataSet> mesh = MeshWithResults(t5);
  vtkDataArray* u = mesh->GetPointData()->GetArray("u");
  vtkDataArray* c = mesh->GetCellData()->GetArray("c");
  const std::string csv = (dir / "picked.csv").string();
  for (const auto& [choice, title] : { std::pair{ "u", "u (magnitude)" }, { "c", "c" } })
  {
    SCOPED_TRACE(choice);
    std::ostringstream log;
    const auto viewer =
      OpenViewer({ "--pick", "through", "--array", choice, "--pick-out", csv }, log, mesh);
    viewer->PickRectangle(280, 200, 360, 280);
    const std::vector<vtkIdType>& cells = viewer->GetPickedCells();
    ASSERT_GT(cells.size(), 100u);
    std::set<vtkIdType> points;
    vtkNew<vtkIdList> ids;
    for (vtkIdType cell : cells)
    {
      mesh->GetCellPoints(cell, ids);
      points.insert(ids->begin(), ids->end());
    }
    std::vector<double> values;
    for (vtkIdType id :
      choice == std::string("c") ? std::set<vtkIdType>(cells.begin(), cells.end()) : points)
    {
      values.push_back(
        choice == std::string("c") ? c->GetTuple1(id) : vtkMath::Norm(u->GetTuple3(id)));
    }
    std::ostringstream expected;
    expected << "; " << title << " min " << *std::min_element(values.begin(), values.end())
             << ", mean " << std::accumulate(values.begin(), values.end(), 0.0) / values.size()
             << ", max " << *std::max_element(values.begin(), values.end()) << " over "
             << values.size() << (choice == std::string("c") ? " cells" : " points");
    const std::string& summary = viewer->GetLastPickSummary();
    EXPECT_EQ(summary.substr(summary.find(';')), expected.str());

    std::istringstream table(ReadText(csv));
    std::string line;
    std::getline(table, line);
    EXPECT_EQ(line, "part,cell,type,cell:CellEntityIds,cell:c,point:u (x),point:u (y),point:u (z)");
    for (vtkIdType cell : cells)
    {
      ASSERT_TRUE(std::getline(table, line));
      std::vector<std::string> row;
      std::istringstream fields(line);
      for (std::string field; std::getline(fields, field, ',');)
      {
        row.push_back(field);
      }
      ASSERT_EQ(row.size(), 8u) << line;
      EXPECT_EQ(row[1], std::to_string(cell));
      EXPECT_EQ("vtk" + row[2], mesh->GetCell(cell)->GetClassName());
      EXPECT_EQ(std::stod(row[4]), c->GetTuple1(cell));
      mesh->GetCellPoints(cell, ids);
      for (int k = 0; k < 3; ++k)
      {
        double mean = 0.0;
        for (vtkIdType p : *ids)
        {
          mean += u->GetComponent(p, k) / ids->GetNumberOfIds();
        }
        EXPECT_NEAR(std::stod(row[5 + k]), mean, 1e-12);
      }
    }
    EXPECT_FALSE(std::getline(table, line));
  }
}

//==============================================================================
// The value under a point is the coloured cell's own, the cell there; off
// the model, none.
// A CSV path in a missing folder is refused on the command line and later.
TEST(OrviPickValues, ValueUnderAPointAndRefusedPaths)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t5, "t5", "-3");
  vtkSmartPointer<vtkDataSet> mesh = MeshWithResults(t5);
  std::ostringstream log;
  const auto viewer = OpenViewer({ "--array", "c" }, log, mesh);
  const std::string text = viewer->ValueAt(320, 240);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(text, match, std::regex("c (\\S+) at mesh cell (\\d+)"))) << text;
  const vtkIdType cell = std::stoll(match[2]);
  EXPECT_NEAR(std::stod(match[1]), mesh->GetCellData()->GetArray("c")->GetTuple1(cell), 1e-5);
  double b[6]; // the cell under the centre of the window
  mesh->GetCellBounds(cell, b);
  const double centre[3] = { (b[0] + b[1]) / 2, (b[2] + b[3]) / 2, (b[4] + b[5]) / 2 };
  const auto at = ToDisplay(viewer->GetRenderer(), centre);
  EXPECT_LT(std::hypot(at[0] - 320, at[1] - 240), 25.0) << at[0] << " " << at[1];
  EXPECT_EQ(viewer->ValueAt(2, 2), "");
  const std::string missing = (dir / "none" / "p.csv").string();
  const std::string refusal = "cannot write the picked cells '" + missing + "': no directory '" +
    (dir / "none").string() + "'";
  std::string error;
  EXPECT_FALSE(viewer->SavePickedCells(missing, error));
  EXPECT_EQ(error, refusal);
  orvi::ViewerOptions options;
  EXPECT_FALSE(Parse({ "--pick-out", missing }, options, error));
  EXPECT_EQ(error, refusal);
  EXPECT_FALSE(fs::exists(dir / "none"));
}

} // namespace
