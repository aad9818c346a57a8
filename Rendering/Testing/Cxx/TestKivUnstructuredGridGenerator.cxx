// vtkKivUnstructuredGridGenerator from raw arrays: the grids it builds, the
// arrays it converts, when it runs, and one exact error for each kind of bad
// input, including the huge counts found by fuzzing (in the sanitized build
// they also check that no undefined behaviour happens on the way).
#include "vtkKivUnstructuredGridGenerator.h"

#include "orviTestUtils.h"

#include "vtkCellArray.h"
#include "vtkCellType.h"
#include "vtkDoubleArray.h"
#include "vtkFloatArray.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkIntArray.h"
#include "vtkPoints.h"
#include "vtkUnstructuredGrid.h"

#include <iterator>
#include <limits>

namespace
{
using Ids = std::vector<vtkIdType>;
using Generator = vtkKivUnstructuredGridGenerator;

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
  for (auto value : values)
  {
    array->InsertNextValue(value);
  }
  return array;
}

constexpr auto I = &Values<vtkIdTypeArray>;
constexpr auto T = &Values<vtkIntArray>;
using Array = vtkSmartPointer<vtkDataArray>;

// Sets the three arrays, announces the change and updates.
vtkUnstructuredGrid* Generate(Generator* g, vtkDataArray* p, vtkDataArray* c, vtkDataArray* t)
{
  g->SetPointData(p);
  g->SetCellData(c);
  g->SetCellTypeData(t);
  g->Modified();
  g->Update();
  return vtkUnstructuredGrid::SafeDownCast(g->GetOutput());
}

// A grid's cells as "type: point ids " (a polyhedron's: its face stream), joined by "| ".
std::string Cells(vtkUnstructuredGrid* grid)
{
  std::ostringstream out;
  vtkNew<vtkIdList> ids;
  for (vtkIdType i = 0; i < grid->GetNumberOfCells(); ++i)
  {
    const int type = grid->GetCellType(i);
    type == VTK_POLYHEDRON ? grid->GetFaceStream(i, ids) : grid->GetCellPoints(i, ids);
    out << (i ? "| " : "") << type << ": ";
    std::copy(ids->begin(), ids->end(), std::ostream_iterator<vtkIdType>(out, " "));
  }
  return out.str();
}

// The errors, as the generator words them.
std::string Room(int cell, unsigned long long index, int holds, const char* what = "connectivity")
{
  return "cell " + std::to_string(cell) + ": needs stream values up to index " +
    std::to_string(index) + " but the " + what + " stream holds " + std::to_string(holds) +
    " values";
}
std::string Beyond(int cell, int id, int points)
{
  return "cell " + std::to_string(cell) + ": point id " + std::to_string(id) +
    " is not below the number of points (" + std::to_string(points) + ")";
}
std::string Needs(int cell, int type, int needs, int got)
{
  return "cell " + std::to_string(cell) + ": cell type " + std::to_string(type) + " needs " +
    std::to_string(needs) + " points, not " + std::to_string(got);
}

constexpr int Tri = VTK_TRIANGLE, Tet = VTK_TETRA, Poly = VTK_POLYGON, Ph = VTK_POLYHEDRON,
              Hex = VTK_HEXAHEDRON, V = VTK_VERTEX;
} // namespace

// Grids from raw arrays: each cell's type and points. The coordinates are
// shared, not copied; the types may come as doubles and the connectivity as
// floats with fractions (truncated).
TEST(KivUnstructuredGridGenerator, GridsFromRawArrays)
{
  const Ids cube = {
    6, 4, 0, 2, 3, 1, 4, 4, 5, 7, 6, 4, 0, 1, 5, 4, 4, 2, 6, 7, 3, 4, 0, 4, 6, 2, 4, 1, 3, 7, 5
  };
  Ids cubeThenTetra = cube;
  cubeThenTetra.insert(cubeThenTetra.end(), { 4, 0, 1, 2, 8 });
  const std::string cubeText =
    "42: 6 4 0 2 3 1 4 4 5 7 6 4 0 1 5 4 4 2 6 7 3 4 0 4 6 2 4 1 3 7 5 | 10: 0 1 2 8 ";
  const auto fractions = Values<vtkFloatArray>(
    { 8.7, 0.0, 1.5, 3.9, 2.0, 4.1, 5.0, 7.99, 6.0, 4.2, 8.5, 7.0, 6.0, 5.6 });
  const auto mixed = I({ 5, 0, 1, 3, 2, 4, 9, 0, 1, 3, 2, 4, 5, 6, 7, 8, 2, 7, 8 });
  const auto mixedTypes = T({ Poly, VTK_LAGRANGE_QUADRILATERAL, VTK_POLY_VERTEX });
  const std::tuple<Array, Array, std::string> cases[] = {
    { I({ 4, 0, 1, 2, 3, 3, 1, 2, 4 }), T({ Tet, Tri }), "10: 0 1 2 3 | 5: 1 2 4 " },
    { I(cubeThenTetra), T({ Ph, Tet }), cubeText },
    { mixed, mixedTypes, "7: 0 1 3 2 4 | 70: 0 1 3 2 4 5 6 7 8 | 2: 7 8 " },
    { fractions, Values<vtkDoubleArray>({ 12.9, 10.2 }), "12: 0 1 3 2 4 5 7 6 | 10: 8 7 6 5 " },
    { I({}), T({}), "" },
  };
  vtkNew<Generator> generator;
  orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);
  auto* output = vtkUnstructuredGrid::SafeDownCast(generator->GetOutput());
  ASSERT_NE(output, nullptr) << "the output exists before the first update";
  for (const auto& [cells, types, expected] : cases)
  {
    auto points = Coordinates(9);
    ASSERT_EQ(Generate(generator, points, cells, types), output);
    EXPECT_EQ(output->GetPoints()->GetData(), points.Get());
    EXPECT_EQ(Cells(output), expected);
  }
  EXPECT_EQ(errors.Count, 0);
}

// A missing array: nothing happens, nothing is said, the last grid stays.
// Arrays replaced without Modified(): no new run. Replaced from an observer
// while the update runs: the run reads the arrays held when it builds; an
// array unset there: nothing generated.
TEST(KivUnstructuredGridGenerator, MissingAndReplacedArrays)
{
  vtkNew<Generator> generator;
  orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);
  orvi_test::EventRecorder warnings(generator, vtkCommand::WarningEvent);
  vtkUnstructuredGrid* output = Generate(generator, Coordinates(5), I({ 4, 0, 1, 2, 3 }), nullptr);
  EXPECT_EQ(output->GetNumberOfPoints(), 0);
  Generate(generator, Coordinates(5), I({ 4, 0, 1, 2, 3 }), T({ Tet }));
  Generate(generator, Coordinates(3), nullptr, T({ Tri }));
  EXPECT_EQ(Cells(output), "10: 0 1 2 3 ");
  generator->SetCellData(I({ 3, 0, 1, 2 }));
  generator->Update();
  EXPECT_EQ(Cells(output), "10: 0 1 2 3 ");
  EXPECT_EQ(output->GetNumberOfPoints(), 5);

  vtkNew<vtkCallbackCommand> replace;
  replace->SetClientData(generator.Get());
  replace->SetCallback(
    [](vtkObject*, unsigned long, void* clientData, void*)
    {
      auto* g = static_cast<Generator*>(clientData);
      g->SetPointData(Coordinates(4));
      g->SetCellData(I({ 4, 0, 1, 3, 2 }));
      g->SetCellTypeData(T({ VTK_QUAD }));
    });
  generator->AddObserver(vtkCommand::StartEvent, replace);
  generator->Modified();
  generator->Update();
  EXPECT_EQ(Cells(output), "9: 0 1 3 2 ");
  EXPECT_EQ(output->GetNumberOfPoints(), 4);

  replace->SetCallback([](vtkObject*, unsigned long, void* clientData, void*)
    { static_cast<Generator*>(clientData)->SetCellData(nullptr); });
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
  auto p2 = Values<vtkDoubleArray>({ 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 }); // points of 2 components
  p2->SetNumberOfComponents(2);
  const auto p = Coordinates(5);
  // Found by fuzzing: two empty cells, then a third whose point count is the
  // largest id (checking p + n against the stream overflowed); the same in a
  // polyhedron's face point count; through the converted path a double count
  // just below 2^63, and one at 2^63 and beyond (no vtkIdType value at all).
  const auto fuzzed = I({ 0, 0, IdMax, 0, 0, 0, 0, 0, 1, 5, 3, 0, 1, 3 }),
             fuzzedFace = I({ 1, IdMax, 0, 1, 2 }), twoPointFace = I({ 2, 3, 0, 1, 2, 2, 0, 1 });
  const auto nearHuge = Values<vtkDoubleArray>({ 3, 0, 1, 2, 9.2e18, 0 }),
             huge = Values<vtkDoubleArray>({ 9.3e18, 0 }),
             type300 = Values<vtkDoubleArray>({ 300.0 });
  const std::tuple<Array, Array, Array, std::string> cases[] = {
    { p, I({ 3, 0, 1, 2, 4, 0, 1, 2 }), T({ Tri, Tet }), Room(1, 8, 8) },
    { p, I({ 3, 0, 1, 2 }), T({ Tri, Tri }), Room(1, 4, 4) },
    { p, I({ 3, 0, 1, 2, 3, 1, 5, 2 }), T({ Tri, Tri }), Beyond(1, 5, 5) },
    { p, I({ 3, 0, -2, 1 }), T({ Tri }), "cell 0: point id -2 is negative" },
    { p, I({ 3, 0, 1, 2, -1 }), T({ Tri, Poly }), "cell 1: point count -1 is negative" },
    { Coordinates(9), I({ 6, 0, 1, 2, 3, 4, 5 }), T({ Hex }), Needs(0, 12, 8, 6) },
    { p, I({ 4, 0, 1, 2, 3 }), T({ Tri }), Needs(0, 5, 3, 4) },
    { p, I({ 0 }), T({ Ph }), "cell 0: polyhedron face count 0 is below 1" },
    { p, twoPointFace, T({ Ph }), "cell 0: polyhedron face 1 has 2 points, fewer than 3" },
    { p, I({ 2, 3, 0, 1, 2, 3, 0 }), T({ Ph }), Room(0, 8, 7) },
    { p, I({ 1, 0, 1, 1 }), T({ V, 17 }), "cell 1: cell type 17 is not a VTK cell type" },
    { p, I({ 1, 0 }), type300, "cell 0: cell type 300 is not a VTK cell type" },
    { p2, I({ 1, 0 }), T({ V }), "point coordinates have 2 components, not 3" },
    { p, fuzzed, T({ 0, 0, 0 }), Room(2, IdMax + 2ULL, 14) },
    { p, fuzzedFace, T({ Ph }), Room(0, IdMax + 1ULL, 5) },
    { p, nearHuge, T({ Tri, Poly }), Room(1, 9200000000000000004ULL, 6) },
    { p, huge, T({ Poly }), "cell 0: point count -9223372036854775808 is negative" },
  };
  const auto good = [&](Generator* g) {
    return Generate(g, p, I({ 3, 0, 1, 2 }), T({ Tri }))->GetNumberOfCells();
  };
  for (const auto& [points, cells, types, message] : cases)
  {
    SCOPED_TRACE(message);
    vtkNew<Generator> generator;
    ASSERT_EQ(good(generator), 1);
    orvi_test::EventRecorder errors(generator, vtkCommand::ErrorEvent);
    vtkUnstructuredGrid* output = Generate(generator, points, cells, types);
    ASSERT_EQ(errors.Count, 1);
    EXPECT_TRUE(errors.Saw("): " + message + "\n\n")) << errors.Texts[0];
    EXPECT_EQ(output->GetNumberOfCells() + output->GetNumberOfPoints(), 0);
    EXPECT_EQ(std::make_pair(good(generator), errors.Count), std::make_pair(vtkIdType{ 1 }, 1));
  }
}

// A derived host calls the protected operation on a cell array that already
// holds a cell: good cells are appended behind it, a fault leaves it alone.
TEST(KivUnstructuredGridGenerator, FillCellArrayLeavesTheCellArrayAloneOnAFault)
{
  struct Host : Generator
  {
    static Host* New() { return new Host; }
    using Generator::FillCellArray;
  };
  vtkSmartPointer<Host> host = vtkSmartPointer<Host>::Take(Host::New());
  orvi_test::EventRecorder errors(host, vtkCommand::ErrorEvent);
  host->SetPointData(Coordinates(5));
  int types[] = { Tri, VTK_LINE };
  host->SetCellTypeData(T({ Tri, VTK_LINE }));
  vtkNew<vtkCellArray> cellArray;
  cellArray->SetData(I({ 0, 2 }), I({ 4, 3 }));
  EXPECT_EQ(host->FillCellArray(types, I({ 3, 0, 1, 2, 2, 3, 4 }), cellArray), 1);
  vtkNew<vtkIdList> ids;
  cellArray->GetCellAtId(2, ids);
  EXPECT_EQ(Ids(ids->begin(), ids->end()), (Ids{ 3, 4 }));
  EXPECT_EQ(host->FillCellArray(types, I({ 3, 0, 1, 2, 2, 3, 9 }), cellArray), 0);
  EXPECT_EQ(errors.Count, 1);
  EXPECT_EQ(cellArray->GetNumberOfConnectivityIds(), 7) << "3 cells";
}

// Cells from elsewhere (a reader stores offsets, ids and types as it finds
// them): CheckCells() names the fault in the generator's words.
TEST(KivUnstructuredGridGenerator, CheckCellsOnGridsAndPolyDataFromElsewhere)
{
  const Ids cube = {
    6, 4, 0, 3, 2, 1, 4, 4, 5, 6, 7, 4, 0, 1, 5, 4, 4, 1, 2, 6, 5, 4, 2, 3, 7, 6, 4, 3, 0, 4, 7
  };
  Ids badCube = cube;
  badCube[9] = 12;
  const Ids hex = { 0, 1, 2, 3, 4, 5, 6, 7 };
  using U = std::vector<unsigned char>;
  const char* misfit = "cell 1: its point ids at 3 .. 9 do not fit the connectivity array of 6 ids";
  // Offsets, connectivity, types, faces (none: no polyhedra), message (none: sound).
  const std::tuple<Ids, Ids, U, Ids, std::string> cases[] = {
    { { 0, 4, 7 }, { 0, 1, 2, 3, 0, 1, 4 }, { Tet, Tri }, {}, "" },
    { { 0, 4, 7 }, { 0, 1, 2, 3, 0, 1, 8 }, { Tet, Tri }, {}, Beyond(1, 8, 8) },
    { { 0, 3 }, { 0, -2, 1 }, { Tri }, {}, "cell 0: point id -2 is negative" },
    { { 0, 3 }, { 0, 1, 2 }, { 250 }, {}, "cell 0: cell type 250 is not a VTK cell type" },
    { { 0, 6 }, { 0, 1, 2, 3, 4, 5 }, { 12 }, {}, "cell 0: cell type 12 needs 8 points, not 6" },
    { { 0, 3, 9 }, { 0, 1, 2, 0, 1, 3 }, { Tri, Tri }, {}, misfit },
    { { 0, 3, 6 }, { 0, 1, 2, 0, 1, 3 }, { Tri }, {}, "the grid has 2 cells but 1 cell types" },
    { { 0, 8 }, hex, { Ph }, cube, "" },
    { { 0, 8 }, hex, { Ph }, badCube, Beyond(0, 12, 8) },
    { { 0, 8 }, hex, { Ph }, { 2, 3, 0, 1, 2 }, Room(0, 5, 5, "grid's face") },
  };
  vtkNew<vtkPoints> points;
  points->SetData(Coordinates(8));
  for (const auto& [offsets, connectivity, types, faces, message] : cases)
  {
    SCOPED_TRACE(message);
    vtkNew<vtkCellArray> cells;
    cells->SetData(I(offsets), I(connectivity));
    vtkNew<vtkUnstructuredGrid> grid;
    grid->SetPoints(points);
    const auto typeArray = Values<vtkUnsignedCharArray>(types);
    faces.empty() ? grid->SetCells(typeArray, cells)
                  : grid->SetCells(typeArray, cells, I({ 0 }), I(faces));
    EXPECT_EQ(Generator::CheckCells(grid), message);
  }

  // Poly data numbers its vertices first, then lines, polygons and strips.
  vtkNew<vtkPolyData> poly;
  points->SetData(Coordinates(4));
  poly->SetPoints(points);
  vtkNew<vtkCellArray> verts, polys;
  verts->SetData(I({ 0, 1 }), I({ 3 }));
  polys->SetData(I({ 0, 3, 6 }), I({ 0, 1, 2, 0, 1, 4 }));
  poly->SetVerts(verts);
  poly->SetPolys(polys);
  EXPECT_EQ(Generator::CheckCells(poly), Beyond(2, 4, 4));
  EXPECT_EQ(Generator::CheckCells(nullptr), "");
}
