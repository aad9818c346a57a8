#include "vtkKivUnstructuredGridGenerator.h"

#include "orviTestUtils.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkDoubleArray.h"
#include "vtkFloatArray.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkIntArray.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkUnstructuredGrid.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace
{
vtkSmartPointer<vtkDoubleArray> Coordinates(vtkIdType numPoints)
{
  auto array = vtkSmartPointer<vtkDoubleArray>::New();
  array->SetNumberOfComponents(3);
  array->SetNumberOfTuples(numPoints);
  for (vtkIdType i = 0; i < numPoints; ++i)
  {
    array->SetTuple3(
      i, static_cast<double>(i % 2), static_cast<double>((i / 2) % 2), static_cast<double>(i / 4));
  }
  return array;
}

template <typename ArrayT>
vtkSmartPointer<ArrayT> Values(std::initializer_list<double> values)
{
  auto array = vtkSmartPointer<ArrayT>::New();
  array->SetNumberOfTuples(static_cast<vtkIdType>(values.size()));
  vtkIdType i = 0;
  for (double v : values)
  {
    array->SetTuple1(i++, v);
  }
  return array;
}

vtkUnstructuredGrid* Grid(vtkKivUnstructuredGridGenerator* generator)
{
  return vtkUnstructuredGrid::SafeDownCast(generator->GetOutput());
}

std::vector<vtkIdType> CellPoints(vtkUnstructuredGrid* grid, vtkIdType cellId)
{
  vtkNew<vtkIdList> ids;
  grid->GetCellPoints(cellId, ids);
  return std::vector<vtkIdType>(ids->begin(), ids->end());
}

// The exact message of a recorded error: the text between the object part
// "...): " and the closing blank line.
std::string Message(const std::string& text)
{
  const auto start = text.find("): ");
  const auto end = text.rfind("\n\n");
  if (start == std::string::npos || end == std::string::npos || end < start)
  {
    return text;
  }
  return text.substr(start + 3, end - start - 3);
}
} // namespace

TEST(KivUnstructuredGridGenerator, TetraAndTriangleFromRawArrays)
{
  vtkNew<vtkKivUnstructuredGridGenerator> generator;
  orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);

  // The output exists before the first update.
  vtkUnstructuredGrid* output = Grid(generator);
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(output->GetNumberOfCells(), 0);

  auto points = Coordinates(5);
  auto cells = Values<vtkIdTypeArray>({ 4, 0, 1, 2, 3, 3, 1, 2, 4 });
  auto types = Values<vtkIntArray>({ VTK_TETRA, VTK_TRIANGLE });
  generator->SetPointData(points);
  generator->SetCellData(cells);
  generator->SetCellTypeData(types);
  EXPECT_EQ(generator->GetPointData(), points.Get());
  EXPECT_EQ(generator->GetCellData(), cells.Get());
  EXPECT_EQ(generator->GetCellTypeData(), types.Get());

  // Nothing is connected to the input port, and it updates all the same.
  generator->Update();
  EXPECT_EQ(errors.Count, 0);
  ASSERT_EQ(Grid(generator), output);
  ASSERT_EQ(output->GetNumberOfCells(), 2);
  EXPECT_EQ(output->GetCellType(0), VTK_TETRA);
  EXPECT_EQ(output->GetCellType(1), VTK_TRIANGLE);
  EXPECT_EQ(CellPoints(output, 0), (std::vector<vtkIdType>{ 0, 1, 2, 3 }));
  EXPECT_EQ(CellPoints(output, 1), (std::vector<vtkIdType>{ 1, 2, 4 }));
  EXPECT_EQ(output->GetPointData()->GetNumberOfArrays(), 0);
  EXPECT_EQ(output->GetCellData()->GetNumberOfArrays(), 0);

  // The coordinates are shared with the output's points, not copied.
  ASSERT_NE(output->GetPoints(), nullptr);
  EXPECT_EQ(output->GetPoints()->GetData(), points.Get());
  EXPECT_EQ(output->GetNumberOfPoints(), 5);
}

TEST(KivUnstructuredGridGenerator, PolyhedronFollowedByAnotherCell)
{
  vtkNew<vtkKivUnstructuredGridGenerator> generator;
  orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);
  // A cube as a polyhedron: 6 faces of 4 points, 1 + 6 x 5 = 31 values; then
  // a tetra right behind its last face.
  auto cells = Values<vtkIdTypeArray>({ 6,
    4,
    0,
    2,
    3,
    1,
    4,
    4,
    5,
    7,
    6,
    4,
    0,
    1,
    5,
    4,
    4,
    2,
    6,
    7,
    3,
    4,
    0,
    4,
    6,
    2,
    4,
    1,
    3,
    7,
    5,
    4,
    0,
    1,
    2,
    8 });
  generator->SetPointData(Coordinates(9));
  generator->SetCellData(cells);
  generator->SetCellTypeData(Values<vtkIntArray>({ VTK_POLYHEDRON, VTK_TETRA }));
  generator->Update();
  EXPECT_EQ(errors.Count, 0);

  vtkUnstructuredGrid* output = Grid(generator);
  ASSERT_EQ(output->GetNumberOfCells(), 2);
  EXPECT_EQ(output->GetCellType(0), VTK_POLYHEDRON);
  EXPECT_EQ(output->GetCellType(1), VTK_TETRA);
  EXPECT_EQ(CellPoints(output, 1), (std::vector<vtkIdType>{ 0, 1, 2, 8 }));

  // The polyhedron keeps its faces: the face stream comes back as given.
  vtkNew<vtkIdList> faceStream;
  output->GetFaceStream(0, faceStream);
  std::vector<vtkIdType> expected;
  for (vtkIdType j = 0; j < 31; ++j)
  {
    expected.push_back(cells->GetValue(j));
  }
  EXPECT_EQ(std::vector<vtkIdType>(faceStream->begin(), faceStream->end()), expected);
  // Its point list holds the cube's eight corners once each.
  EXPECT_EQ(output->GetCell(0)->GetNumberOfPoints(), 8);
  EXPECT_EQ(output->GetCell(0)->GetNumberOfFaces(), 6);
}

TEST(KivUnstructuredGridGenerator, ConvertsOtherArrayTypesByTruncation)
{
  // Reference: the in-place layouts.
  vtkNew<vtkKivUnstructuredGridGenerator> reference;
  auto points = Coordinates(9);
  reference->SetPointData(points);
  reference->SetCellData(Values<vtkIdTypeArray>({ 8, 0, 1, 3, 2, 4, 5, 7, 6, 4, 8, 7, 6, 5 }));
  reference->SetCellTypeData(Values<vtkIntArray>({ VTK_HEXAHEDRON, VTK_TETRA }));
  reference->Update();

  // Doubles for the types (12.9 is a hexahedron, 10.2 a tetra) and floats
  // with fractions for the connectivity.
  vtkNew<vtkKivUnstructuredGridGenerator> generator;
  orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);
  generator->SetPointData(points);
  generator->SetCellData(Values<vtkFloatArray>(
    { 8.7, 0.0, 1.5, 3.9, 2.0, 4.1, 5.0, 7.99, 6.0, 4.2, 8.5, 7.0, 6.0, 5.6 }));
  generator->SetCellTypeData(Values<vtkDoubleArray>({ 12.9, 10.2 }));
  generator->Update();
  EXPECT_EQ(errors.Count, 0);

  vtkUnstructuredGrid* expected = Grid(reference);
  vtkUnstructuredGrid* output = Grid(generator);
  ASSERT_EQ(output->GetNumberOfCells(), 2);
  EXPECT_EQ(output->GetCellType(0), VTK_HEXAHEDRON);
  EXPECT_EQ(output->GetCellType(1), VTK_TETRA);
  for (vtkIdType c = 0; c < 2; ++c)
  {
    EXPECT_EQ(CellPoints(output, c), CellPoints(expected, c));
  }
  EXPECT_EQ(CellPoints(output, 0), (std::vector<vtkIdType>{ 0, 1, 3, 2, 4, 5, 7, 6 }));
}

TEST(KivUnstructuredGridGenerator, EmptyTypeArrayGivesPointsAndNoCells)
{
  vtkNew<vtkKivUnstructuredGridGenerator> generator;
  orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);
  auto points = Coordinates(4);
  generator->SetPointData(points);
  generator->SetCellData(vtkSmartPointer<vtkIdTypeArray>::New());
  generator->SetCellTypeData(vtkSmartPointer<vtkIntArray>::New());
  generator->Update();
  EXPECT_EQ(errors.Count, 0);
  EXPECT_EQ(Grid(generator)->GetNumberOfCells(), 0);
  EXPECT_EQ(Grid(generator)->GetNumberOfPoints(), 4);
  EXPECT_EQ(Grid(generator)->GetPoints()->GetData(), points.Get());
}

TEST(KivUnstructuredGridGenerator, MissingArrayAndUnannouncedChanges)
{
  vtkNew<vtkKivUnstructuredGridGenerator> generator;
  orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);
  orvi_test::EventRecorder warnings(generator, vtkCommand::WarningEvent);
  vtkUnstructuredGrid* output = Grid(generator);

  // Two of three arrays: nothing happens and nothing is said.
  generator->SetPointData(Coordinates(5));
  generator->SetCellData(Values<vtkIdTypeArray>({ 4, 0, 1, 2, 3 }));
  generator->Update();
  EXPECT_EQ(Grid(generator), output);
  EXPECT_EQ(output->GetNumberOfCells(), 0);
  EXPECT_EQ(output->GetNumberOfPoints(), 0);

  generator->SetCellTypeData(Values<vtkIntArray>({ VTK_TETRA }));
  generator->Modified();
  generator->Update();
  ASSERT_EQ(output->GetNumberOfCells(), 1);

  // Unsetting an array later leaves the previous grid in place.
  generator->SetCellData(nullptr);
  generator->Modified();
  generator->Update();
  EXPECT_EQ(Grid(generator), output);
  EXPECT_EQ(output->GetNumberOfCells(), 1);
  EXPECT_EQ(output->GetNumberOfPoints(), 5);
  EXPECT_EQ(errors.Count, 0);
  EXPECT_EQ(warnings.Count, 0);

  // Replacing an array without Modified(): Update() has no effect.
  generator->SetCellData(Values<vtkIdTypeArray>({ 3, 0, 1, 2 }));
  generator->SetCellTypeData(Values<vtkIntArray>({ VTK_TRIANGLE }));
  generator->Update();
  EXPECT_EQ(output->GetCellType(0), VTK_TETRA);
  generator->Modified();
  generator->Update();
  EXPECT_EQ(output->GetCellType(0), VTK_TRIANGLE);
  EXPECT_EQ(CellPoints(output, 0), (std::vector<vtkIdType>{ 0, 1, 2 }));
  EXPECT_EQ(errors.Count, 0);
}

TEST(KivUnstructuredGridGenerator, BadInputGivesOneErrorAndAnEmptyGrid)
{
  struct Case
  {
    const char* Name;
    vtkSmartPointer<vtkDataArray> Points;
    vtkSmartPointer<vtkDataArray> Cells;
    vtkSmartPointer<vtkDataArray> Types;
    std::string Message;
  };
  auto twoComponents = vtkSmartPointer<vtkDoubleArray>::New();
  twoComponents->SetNumberOfComponents(2);
  twoComponents->SetNumberOfTuples(5);
  twoComponents->FillValue(0.0);
  const std::vector<Case> cases = {
    { "short stream",
      Coordinates(5),
      Values<vtkIdTypeArray>({ 3, 0, 1, 2, 4, 0, 1, 2 }),
      Values<vtkIntArray>({ VTK_TRIANGLE, VTK_TETRA }),
      "cell 1: needs stream values up to index 8 but the connectivity stream holds 8 values" },
    { "stream ends before a cell",
      Coordinates(5),
      Values<vtkIdTypeArray>({ 3, 0, 1, 2 }),
      Values<vtkIntArray>({ VTK_TRIANGLE, VTK_TRIANGLE }),
      "cell 1: needs stream values up to index 4 but the connectivity stream holds 4 values" },
    { "id beyond the points",
      Coordinates(5),
      Values<vtkIdTypeArray>({ 3, 0, 1, 2, 3, 1, 5, 2 }),
      Values<vtkIntArray>({ VTK_TRIANGLE, VTK_TRIANGLE }),
      "cell 1: point id 5 is not below the number of points (5)" },
    { "negative id",
      Coordinates(5),
      Values<vtkIdTypeArray>({ 3, 0, -2, 1 }),
      Values<vtkIntArray>({ VTK_TRIANGLE }),
      "cell 0: point id -2 is negative" },
    { "negative count",
      Coordinates(5),
      Values<vtkIdTypeArray>({ 3, 0, 1, 2, -1 }),
      Values<vtkIntArray>({ VTK_TRIANGLE, VTK_POLYGON }),
      "cell 1: point count -1 is negative" },
    { "count wrong for a fixed-size cell",
      Coordinates(9),
      Values<vtkIdTypeArray>({ 6, 0, 1, 2, 3, 4, 5 }),
      Values<vtkIntArray>({ VTK_HEXAHEDRON }),
      "cell 0: cell type 12 needs 8 points, not 6" },
    { "polyhedron without faces",
      Coordinates(5),
      Values<vtkIdTypeArray>({ 0 }),
      Values<vtkIntArray>({ VTK_POLYHEDRON }),
      "cell 0: polyhedron face count 0 is below 1" },
    { "polyhedron face of two points",
      Coordinates(5),
      Values<vtkIdTypeArray>({ 2, 3, 0, 1, 2, 2, 0, 1 }),
      Values<vtkIntArray>({ VTK_POLYHEDRON }),
      "cell 0: polyhedron face 1 has 2 points, fewer than 3" },
    { "polyhedron face beyond the stream",
      Coordinates(5),
      Values<vtkIdTypeArray>({ 2, 3, 0, 1, 2, 3, 0 }),
      Values<vtkIntArray>({ VTK_POLYHEDRON }),
      "cell 0: needs stream values up to index 8 but the connectivity stream holds 7 values" },
    { "unknown cell type",
      Coordinates(5),
      Values<vtkIdTypeArray>({ 1, 0, 1, 1 }),
      Values<vtkIntArray>({ VTK_VERTEX, 17 }),
      "cell 1: cell type 17 is not a VTK cell type" },
    { "cell type beyond VTK's",
      Coordinates(5),
      Values<vtkIdTypeArray>({ 1, 0 }),
      Values<vtkDoubleArray>({ 300.0 }),
      "cell 0: cell type 300 is not a VTK cell type" },
    { "coordinates of two components",
      twoComponents,
      Values<vtkIdTypeArray>({ 1, 0 }),
      Values<vtkIntArray>({ VTK_VERTEX }),
      "point coordinates have 2 components, not 3" },
  };

  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.Name);
    vtkNew<vtkKivUnstructuredGridGenerator> generator;
    // A good grid first, so that an error visibly empties the output.
    generator->SetPointData(Coordinates(5));
    generator->SetCellData(Values<vtkIdTypeArray>({ 3, 0, 1, 2 }));
    generator->SetCellTypeData(Values<vtkIntArray>({ VTK_TRIANGLE }));
    generator->Update();
    ASSERT_EQ(Grid(generator)->GetNumberOfCells(), 1);

    orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);
    generator->SetPointData(c.Points);
    generator->SetCellData(c.Cells);
    generator->SetCellTypeData(c.Types);
    generator->Modified();
    generator->Update();
    ASSERT_EQ(errors.Count, 1);
    EXPECT_EQ(Message(errors.Texts.at(0)), c.Message);
    EXPECT_EQ(Grid(generator)->GetNumberOfCells(), 0);
    EXPECT_EQ(Grid(generator)->GetNumberOfPoints(), 0);
  }
}

TEST(KivUnstructuredGridGenerator, FillCellArrayLeavesTheCellArrayAloneOnAFault)
{
  // A derived host calls the protected operation on a cell array that
  // already holds a cell: good cells are appended behind it, a fault leaves
  // it as it was.
  struct Host : vtkKivUnstructuredGridGenerator
  {
    static Host* New() { return new Host; }
    int Fill(int* types, vtkIdTypeArray* cells, vtkCellArray* cellArray)
    {
      return this->FillCellArray(types, cells, cellArray);
    }
  };
  vtkSmartPointer<Host> host = vtkSmartPointer<Host>::Take(Host::New());
  orvi_test::EventRecorder errors(host, vtkCommand::ErrorEvent);
  host->SetPointData(Coordinates(5));
  int types[] = { VTK_TRIANGLE, VTK_LINE };
  host->SetCellTypeData(Values<vtkIntArray>({ VTK_TRIANGLE, VTK_LINE }));

  vtkNew<vtkCellArray> cellArray;
  const vtkIdType first[] = { 4, 3 };
  cellArray->InsertNextCell(2, first);
  EXPECT_EQ(host->Fill(types, Values<vtkIdTypeArray>({ 3, 0, 1, 2, 2, 3, 4 }), cellArray), 1);
  ASSERT_EQ(cellArray->GetNumberOfCells(), 3);
  EXPECT_EQ(cellArray->GetNumberOfConnectivityIds(), 7);
  vtkNew<vtkIdList> ids;
  cellArray->GetCellAtId(2, ids);
  EXPECT_EQ(std::vector<vtkIdType>(ids->begin(), ids->end()), (std::vector<vtkIdType>{ 3, 4 }));

  EXPECT_EQ(host->Fill(types, Values<vtkIdTypeArray>({ 3, 0, 1, 2, 2, 3, 9 }), cellArray), 0);
  EXPECT_EQ(errors.Count, 1);
  EXPECT_EQ(cellArray->GetNumberOfCells(), 3);
  EXPECT_EQ(cellArray->GetNumberOfConnectivityIds(), 7);
}

TEST(KivUnstructuredGridGenerator, VariableSizeCellsTakeAnyCount)
{
  vtkNew<vtkKivUnstructuredGridGenerator> generator;
  orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);
  generator->SetPointData(Coordinates(9));
  generator->SetCellData(
    Values<vtkIdTypeArray>({ 5, 0, 1, 3, 2, 4, 9, 0, 1, 3, 2, 4, 5, 6, 7, 8, 2, 7, 8 }));
  generator->SetCellTypeData(
    Values<vtkIntArray>({ VTK_POLYGON, VTK_LAGRANGE_QUADRILATERAL, VTK_POLY_VERTEX }));
  generator->Update();
  EXPECT_EQ(errors.Count, 0);
  vtkUnstructuredGrid* output = Grid(generator);
  ASSERT_EQ(output->GetNumberOfCells(), 3);
  EXPECT_EQ(CellPoints(output, 0).size(), 5u);
  EXPECT_EQ(CellPoints(output, 1).size(), 9u);
  EXPECT_EQ(CellPoints(output, 2), (std::vector<vtkIdType>{ 7, 8 }));
}
