// vtkKivUnstructuredGridGenerator from raw arrays: the grids it builds, the
// arrays it converts, when it runs, and one exact error for each kind of bad
// input, including the huge counts found by fuzzing (in the sanitized build
// they also check that no undefined behaviour happens on the way).
#include "vtkKivUnstructuredGridGenerator.h"

#include "orviTestUtils.h"

#include "vtkCallbackCommand.h"
#include "vtkCellArray.h"
#include "vtkCellType.h"
#include "vtkDoubleArray.h"
#include "vtkFloatArray.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkIntArray.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace
{
using Ids = std::vector<vtkIdType>;
using I = vtkIdTypeArray;
using T = vtkIntArray;

vtkSmartPointer<vtkDoubleArray> Coordinates(vtkIdType numPoints)
{
  auto array = vtkSmartPointer<vtkDoubleArray>::New();
  array->SetNumberOfComponents(3);
  array->SetNumberOfTuples(numPoints);
  for (vtkIdType i = 0; i < numPoints; ++i)
  {
    array->SetTuple3(i, i % 2, (i / 2) % 2, i / 4);
  }
  return array;
}

// Filled value by value, so that 64-bit ids stay exact.
template <typename ArrayT>
vtkSmartPointer<ArrayT> Values(const std::vector<typename ArrayT::ValueType>& values)
{
  auto array = vtkSmartPointer<ArrayT>::New();
  array->SetNumberOfValues(static_cast<vtkIdType>(values.size()));
  for (size_t i = 0; i < values.size(); ++i)
  {
    array->SetValue(static_cast<vtkIdType>(i), values[i]);
  }
  return array;
}

// Sets the three arrays, announces the change and updates.
vtkUnstructuredGrid* Generate(vtkKivUnstructuredGridGenerator* generator,
  vtkDataArray* p,
  vtkDataArray* c,
  vtkDataArray* t)
{
  generator->SetPointData(p);
  generator->SetCellData(c);
  generator->SetCellTypeData(t);
  generator->Modified();
  generator->Update();
  return vtkUnstructuredGrid::SafeDownCast(generator->GetOutput());
}
} // namespace

// Grids from raw arrays, each with its cell types and the points of each
// cell. The coordinates are shared, not copied; the types may come as
// doubles and the connectivity as floats with fractions (truncated).
TEST(KivUnstructuredGridGenerator, GridsFromRawArrays)
{
  // clang-format off
  const Ids cube = { 6, 4, 0, 2, 3, 1, 4, 4, 5, 7, 6, 4, 0, 1, 5, 4, 4, 2, 6, 7, 3,
    4, 0, 4, 6, 2, 4, 1, 3, 7, 5 };
  Ids cubeThenTetra = cube;
  cubeThenTetra.insert(cubeThenTetra.end(), { 4, 0, 1, 2, 8 });
  struct Case
  {
    vtkSmartPointer<vtkDataArray> Cells, Types;
    std::vector<int> ExpectedTypes;
    std::vector<Ids> Points; // per cell; a polyhedron's is its face stream
  };
  const Case cases[] = {
    { Values<I>({ 4, 0, 1, 2, 3, 3, 1, 2, 4 }), Values<T>({ VTK_TETRA, VTK_TRIANGLE }),
      { VTK_TETRA, VTK_TRIANGLE }, { { 0, 1, 2, 3 }, { 1, 2, 4 } } },
    { Values<I>(cubeThenTetra), Values<T>({ VTK_POLYHEDRON, VTK_TETRA }),
      { VTK_POLYHEDRON, VTK_TETRA }, { cube, { 0, 1, 2, 8 } } },
    { Values<I>({ 5, 0, 1, 3, 2, 4, 9, 0, 1, 3, 2, 4, 5, 6, 7, 8, 2, 7, 8 }),
      Values<T>({ VTK_POLYGON, VTK_LAGRANGE_QUADRILATERAL, VTK_POLY_VERTEX }),
      { VTK_POLYGON, VTK_LAGRANGE_QUADRILATERAL, VTK_POLY_VERTEX },
      { { 0, 1, 3, 2, 4 }, { 0, 1, 3, 2, 4, 5, 6, 7, 8 }, { 7, 8 } } },
    { Values<vtkFloatArray>({ 8.7, 0.0, 1.5, 3.9, 2.0, 4.1, 5.0, 7.99, 6.0, 4.2, 8.5, 7.0, 6.0, 5.6 }),
      Values<vtkDoubleArray>({ 12.9, 10.2 }), { VTK_HEXAHEDRON, VTK_TETRA },
      { { 0, 1, 3, 2, 4, 5, 7, 6 }, { 8, 7, 6, 5 } } },
    { Values<I>({}), Values<T>({}), {}, {} },
  };
  // clang-format on
  vtkNew<vtkKivUnstructuredGridGenerator> generator;
  orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);
  auto* output = vtkUnstructuredGrid::SafeDownCast(generator->GetOutput());
  ASSERT_NE(output, nullptr) << "the output exists before the first update";
  for (const Case& c : cases)
  {
    SCOPED_TRACE(&c - cases);
    auto points = Coordinates(9);
    ASSERT_EQ(Generate(generator, points, c.Cells, c.Types), output);
    EXPECT_EQ(output->GetPoints()->GetData(), points.Get());
    ASSERT_EQ(output->GetNumberOfCells(), static_cast<vtkIdType>(c.ExpectedTypes.size()));
    for (vtkIdType i = 0; i < output->GetNumberOfCells(); ++i)
    {
      EXPECT_EQ(output->GetCellType(i), c.ExpectedTypes[i]);
      vtkNew<vtkIdList> ids;
      c.ExpectedTypes[i] == VTK_POLYHEDRON ? output->GetFaceStream(i, ids)
                                           : output->GetCellPoints(i, ids);
      EXPECT_EQ(Ids(ids->begin(), ids->end()), c.Points[i]) << "cell " << i;
    }
  }
  EXPECT_EQ(errors.Count, 0);
}

// A missing array: nothing happens, nothing is said, the last grid stays.
// Arrays replaced without Modified(): no new run. Replaced from an observer
// while the update runs: the run reads the arrays held when it builds; an
// array unset there: nothing generated.
TEST(KivUnstructuredGridGenerator, MissingAndReplacedArrays)
{
  vtkNew<vtkKivUnstructuredGridGenerator> generator;
  orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);
  orvi_test::EventRecorder warnings(generator, vtkCommand::WarningEvent);
  vtkUnstructuredGrid* output =
    Generate(generator, Coordinates(5), Values<I>({ 4, 0, 1, 2, 3 }), nullptr);
  EXPECT_EQ(output->GetNumberOfPoints(), 0);
  Generate(generator, Coordinates(5), Values<I>({ 4, 0, 1, 2, 3 }), Values<T>({ VTK_TETRA }));
  ASSERT_EQ(output->GetNumberOfCells(), 1);
  Generate(generator, Coordinates(3), nullptr, Values<T>({ VTK_TRIANGLE }));
  EXPECT_EQ(output->GetNumberOfCells(), 1);
  EXPECT_EQ(output->GetNumberOfPoints(), 5);

  generator->SetCellData(Values<I>({ 3, 0, 1, 2 }));
  generator->Update();
  EXPECT_EQ(output->GetCellType(0), VTK_TETRA);
  EXPECT_EQ(output->GetNumberOfPoints(), 5);

  vtkNew<vtkCallbackCommand> replace;
  replace->SetClientData(generator.Get());
  replace->SetCallback(
    [](vtkObject*, unsigned long, void* clientData, void*)
    {
      auto* g = static_cast<vtkKivUnstructuredGridGenerator*>(clientData);
      g->SetPointData(Coordinates(4));
      g->SetCellData(Values<I>({ 4, 0, 1, 3, 2 }));
      g->SetCellTypeData(Values<T>({ VTK_QUAD }));
    });
  generator->AddObserver(vtkCommand::StartEvent, replace);
  generator->Modified();
  generator->Update();
  ASSERT_EQ(output->GetNumberOfCells(), 1);
  EXPECT_EQ(output->GetCellType(0), VTK_QUAD);
  EXPECT_EQ(output->GetNumberOfPoints(), 4);

  replace->SetCallback([](vtkObject*, unsigned long, void* clientData, void*)
    { static_cast<vtkKivUnstructuredGridGenerator*>(clientData)->SetCellData(nullptr); });
  generator->Modified();
  generator->Update();
  EXPECT_EQ(generator->GetCellData(), nullptr);
  EXPECT_EQ(errors.Count + warnings.Count, 0);
}

// Each bad input after a good grid: one error naming the fault, an empty
// grid, and a generator that works again for the next good input.
TEST(KivUnstructuredGridGenerator, BadInputGivesOneErrorAndAnEmptyGrid)
{
  constexpr vtkIdType IdMax = std::numeric_limits<vtkIdType>::max();
  struct Case
  {
    vtkSmartPointer<vtkDataArray> Points, Cells, Types;
    std::string Message;
  };
  auto twoComponents = vtkSmartPointer<vtkDoubleArray>::New();
  twoComponents->SetNumberOfComponents(2);
  twoComponents->SetNumberOfTuples(5);
  twoComponents->FillValue(0.0);
  const auto points = Coordinates(5);
  // clang-format off
  const std::vector<Case> cases = {
    { points, Values<I>({ 3, 0, 1, 2, 4, 0, 1, 2 }), Values<T>({ VTK_TRIANGLE, VTK_TETRA }),
      "cell 1: needs stream values up to index 8 but the connectivity stream holds 8 values" },
    { points, Values<I>({ 3, 0, 1, 2 }), Values<T>({ VTK_TRIANGLE, VTK_TRIANGLE }),
      "cell 1: needs stream values up to index 4 but the connectivity stream holds 4 values" },
    { points, Values<I>({ 3, 0, 1, 2, 3, 1, 5, 2 }), Values<T>({ VTK_TRIANGLE, VTK_TRIANGLE }),
      "cell 1: point id 5 is not below the number of points (5)" },
    { points, Values<I>({ 3, 0, -2, 1 }), Values<T>({ VTK_TRIANGLE }),
      "cell 0: point id -2 is negative" },
    { points, Values<I>({ 3, 0, 1, 2, -1 }), Values<T>({ VTK_TRIANGLE, VTK_POLYGON }),
      "cell 1: point count -1 is negative" },
    { Coordinates(9), Values<I>({ 6, 0, 1, 2, 3, 4, 5 }), Values<T>({ VTK_HEXAHEDRON }),
      "cell 0: cell type 12 needs 8 points, not 6" },
    { points, Values<I>({ 4, 0, 1, 2, 3 }), Values<T>({ VTK_TRIANGLE }),
      "cell 0: cell type 5 needs 3 points, not 4" },
    { points, Values<I>({ 0 }), Values<T>({ VTK_POLYHEDRON }),
      "cell 0: polyhedron face count 0 is below 1" },
    { points, Values<I>({ 2, 3, 0, 1, 2, 2, 0, 1 }), Values<T>({ VTK_POLYHEDRON }),
      "cell 0: polyhedron face 1 has 2 points, fewer than 3" },
    { points, Values<I>({ 2, 3, 0, 1, 2, 3, 0 }), Values<T>({ VTK_POLYHEDRON }),
      "cell 0: needs stream values up to index 8 but the connectivity stream holds 7 values" },
    { points, Values<I>({ 1, 0, 1, 1 }), Values<T>({ VTK_VERTEX, 17 }),
      "cell 1: cell type 17 is not a VTK cell type" },
    { points, Values<I>({ 1, 0 }), Values<vtkDoubleArray>({ 300.0 }),
      "cell 0: cell type 300 is not a VTK cell type" },
    { twoComponents, Values<I>({ 1, 0 }), Values<T>({ VTK_VERTEX }),
      "point coordinates have 2 components, not 3" },
    // Found by fuzzing: two empty cells, then a third whose point count is
    // the largest id. Checking p + n against the stream overflowed.
    { points, Values<I>({ 0, 0, IdMax, 0, 0, 0, 0, 0, 1, 5, 3, 0, 1, 3 }),
      Values<T>({ VTK_EMPTY_CELL, VTK_EMPTY_CELL, VTK_EMPTY_CELL }),
      "cell 2: needs stream values up to index 9223372036854775809 but the connectivity "
      "stream holds 14 values" },
    // The same fault in a polyhedron's face point count.
    { points, Values<I>({ 1, IdMax, 0, 1, 2 }), Values<T>({ VTK_POLYHEDRON }),
      "cell 0: needs stream values up to index 9223372036854775808 but the connectivity "
      "stream holds 5 values" },
    // And through the converted path: a double count just below 2^63, and
    // one at 2^63 and beyond, which has no vtkIdType value at all.
    { points, Values<vtkDoubleArray>({ 3, 0, 1, 2, 9.2e18, 0 }),
      Values<T>({ VTK_TRIANGLE, VTK_POLYGON }),
      "cell 1: needs stream values up to index 9200000000000000004 but the connectivity "
      "stream holds 6 values" },
    { points, Values<vtkDoubleArray>({ 9.3e18, 0 }), Values<T>({ VTK_POLYGON }),
      "cell 0: point count -9223372036854775808 is negative" },
  };
  // clang-format on
  const auto good = [&](vtkKivUnstructuredGridGenerator* generator) {
    return Generate(generator, points, Values<I>({ 3, 0, 1, 2 }), Values<T>({ VTK_TRIANGLE }));
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.Message);
    vtkNew<vtkKivUnstructuredGridGenerator> generator;
    ASSERT_EQ(good(generator)->GetNumberOfCells(), 1);
    orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);
    vtkUnstructuredGrid* output = Generate(generator, c.Points, c.Cells, c.Types);
    ASSERT_EQ(errors.Count, 1);
    EXPECT_TRUE(errors.Saw("): " + c.Message + "\n\n")) << errors.Texts[0];
    EXPECT_EQ(output->GetNumberOfCells() + output->GetNumberOfPoints(), 0);
    EXPECT_EQ(good(generator)->GetNumberOfCells(), 1);
    EXPECT_EQ(output->GetNumberOfPoints(), 5);
    EXPECT_EQ(errors.Count, 1);
  }
}

// A derived host calls the protected operation on a cell array that already
// holds a cell: good cells are appended behind it, a fault leaves it alone.
TEST(KivUnstructuredGridGenerator, FillCellArrayLeavesTheCellArrayAloneOnAFault)
{
  struct Host : vtkKivUnstructuredGridGenerator
  {
    static Host* New() { return new Host; }
    using vtkKivUnstructuredGridGenerator::FillCellArray;
  };
  vtkSmartPointer<Host> host = vtkSmartPointer<Host>::Take(Host::New());
  orvi_test::EventRecorder errors(host, vtkCommand::ErrorEvent);
  host->SetPointData(Coordinates(5));
  int types[] = { VTK_TRIANGLE, VTK_LINE };
  host->SetCellTypeData(Values<T>({ VTK_TRIANGLE, VTK_LINE }));
  vtkNew<vtkCellArray> cellArray;
  const vtkIdType first[] = { 4, 3 };
  cellArray->InsertNextCell(2, first);
  EXPECT_EQ(host->FillCellArray(types, Values<I>({ 3, 0, 1, 2, 2, 3, 4 }), cellArray), 1);
  vtkNew<vtkIdList> ids;
  cellArray->GetCellAtId(2, ids);
  EXPECT_EQ(Ids(ids->begin(), ids->end()), (Ids{ 3, 4 }));
  EXPECT_EQ(host->FillCellArray(types, Values<I>({ 3, 0, 1, 2, 2, 3, 9 }), cellArray), 0);
  EXPECT_EQ(errors.Count, 1);
  EXPECT_EQ(cellArray->GetNumberOfCells(), 3);
  EXPECT_EQ(cellArray->GetNumberOfConnectivityIds(), 7);
}

// Cells from elsewhere (a reader stores offsets, ids and types as it finds
// them): CheckCells() names the fault in the generator's words.
TEST(KivUnstructuredGridGenerator, CheckCellsOnGridsAndPolyDataFromElsewhere)
{
  struct Case
  {
    Ids Offsets, Connectivity;
    std::vector<unsigned char> Types;
    Ids Faces;           // empty: no polyhedra
    std::string Message; // empty: sound
  };
  const Ids cube = {
    6, 4, 0, 3, 2, 1, 4, 4, 5, 6, 7, 4, 0, 1, 5, 4, 4, 1, 2, 6, 5, 4, 2, 3, 7, 6, 4, 3, 0, 4, 7
  };
  Ids badCube = cube;
  badCube[9] = 12;
  const Ids hex = { 0, 1, 2, 3, 4, 5, 6, 7 };
  // clang-format off
  const std::vector<Case> cases = {
    { { 0, 4, 7 }, { 0, 1, 2, 3, 0, 1, 4 }, { VTK_TETRA, VTK_TRIANGLE }, {}, "" },
    { { 0, 4, 7 }, { 0, 1, 2, 3, 0, 1, 8 }, { VTK_TETRA, VTK_TRIANGLE }, {},
      "cell 1: point id 8 is not below the number of points (8)" },
    { { 0, 3 }, { 0, -2, 1 }, { VTK_TRIANGLE }, {}, "cell 0: point id -2 is negative" },
    { { 0, 3 }, { 0, 1, 2 }, { 250 }, {}, "cell 0: cell type 250 is not a VTK cell type" },
    { { 0, 6 }, { 0, 1, 2, 3, 4, 5 }, { VTK_HEXAHEDRON }, {},
      "cell 0: cell type 12 needs 8 points, not 6" },
    { { 0, 3, 9 }, { 0, 1, 2, 0, 1, 3 }, { VTK_TRIANGLE, VTK_TRIANGLE }, {},
      "cell 1: its point ids at 3 .. 9 do not fit the connectivity array of 6 ids" },
    { { 0, 3, 6 }, { 0, 1, 2, 0, 1, 3 }, { VTK_TRIANGLE }, {},
      "the grid has 2 cells but 1 cell types" },
    { { 0, 8 }, hex, { VTK_POLYHEDRON }, cube, "" },
    { { 0, 8 }, hex, { VTK_POLYHEDRON }, badCube,
      "cell 0: point id 12 is not below the number of points (8)" },
    { { 0, 8 }, hex, { VTK_POLYHEDRON }, { 2, 3, 0, 1, 2 },
      "cell 0: needs stream values up to index 5 but the grid's face stream holds 5 values" },
  };
  // clang-format on
  vtkNew<vtkPoints> points;
  points->SetData(Coordinates(8));
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.Message);
    vtkNew<vtkCellArray> cells;
    cells->SetData(Values<I>(c.Offsets), Values<I>(c.Connectivity));
    auto types = Values<vtkUnsignedCharArray>(c.Types);
    vtkNew<vtkUnstructuredGrid> grid;
    grid->SetPoints(points);
    c.Faces.empty() ? grid->SetCells(types, cells)
                    : grid->SetCells(types, cells, Values<I>({ 0 }), Values<I>(c.Faces));
    EXPECT_EQ(vtkKivUnstructuredGridGenerator::CheckCells(grid), c.Message);
  }

  // Poly data numbers its vertices first, then lines, polygons and strips.
  vtkNew<vtkPolyData> poly;
  points->SetData(Coordinates(4));
  poly->SetPoints(points);
  vtkNew<vtkCellArray> verts, polys;
  const vtkIdType vertex[] = { 3 }, triangle[] = { 0, 1, 2 }, bad[] = { 0, 1, 4 };
  verts->InsertNextCell(1, vertex);
  polys->InsertNextCell(3, triangle);
  polys->InsertNextCell(3, bad);
  poly->SetVerts(verts);
  poly->SetPolys(polys);
  EXPECT_EQ(vtkKivUnstructuredGridGenerator::CheckCells(poly),
    "cell 2: point id 4 is not below the number of points (4)");
  EXPECT_EQ(vtkKivUnstructuredGridGenerator::CheckCells(nullptr), "");
}
