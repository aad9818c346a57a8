// Inputs found by fuzzing vtkKivUnstructuredGridGenerator (and close variants
// of each), written out as arrays. Each must give one error naming the fault,
// leave an empty grid, and leave the generator working for the next run. In
// the sanitized build they also check that no undefined behaviour happens on
// the way (the first one overflowed the stream position).

#include "vtkKivUnstructuredGridGenerator.h"

#include "orviTestUtils.h"

#include "vtkCellType.h"
#include "vtkDoubleArray.h"
#include "vtkFloatArray.h"
#include "vtkIdTypeArray.h"
#include "vtkIntArray.h"
#include "vtkUnstructuredGrid.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace
{
constexpr vtkIdType IdMax = std::numeric_limits<vtkIdType>::max();

vtkSmartPointer<vtkFloatArray> Coordinates(vtkIdType numPoints)
{
  auto array = vtkSmartPointer<vtkFloatArray>::New();
  array->SetNumberOfComponents(3);
  array->SetNumberOfTuples(numPoints);
  for (vtkIdType i = 0; i < numPoints; ++i)
  {
    array->SetTuple3(i, static_cast<double>(i), 0.0, 0.0);
  }
  return array;
}

// Arrays filled value by value with SetValue, so 64-bit ids stay exact.
template <typename ArrayT>
vtkSmartPointer<ArrayT> Array(const std::vector<typename ArrayT::ValueType>& values)
{
  auto array = vtkSmartPointer<ArrayT>::New();
  array->SetNumberOfValues(static_cast<vtkIdType>(values.size()));
  for (size_t i = 0; i < values.size(); ++i)
  {
    array->SetValue(static_cast<vtkIdType>(i), values[i]);
  }
  return array;
}

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

vtkUnstructuredGrid* Grid(vtkKivUnstructuredGridGenerator* generator)
{
  return vtkUnstructuredGrid::SafeDownCast(generator->GetOutput());
}

void RunTriangle(vtkKivUnstructuredGridGenerator* generator)
{
  generator->SetPointData(Coordinates(3));
  generator->SetCellData(Array<vtkIdTypeArray>({ 3, 0, 1, 2 }));
  generator->SetCellTypeData(Array<vtkIntArray>({ VTK_TRIANGLE }));
  generator->Modified();
  generator->Update();
}

struct Case
{
  const char* Name;
  vtkSmartPointer<vtkDataArray> Points;
  vtkSmartPointer<vtkDataArray> Cells;
  vtkSmartPointer<vtkDataArray> Types;
  std::string Message;
};
} // namespace

TEST(GeneratorFuzzRegressions, HugeCountsAreRejectedWithoutOverflow)
{
  const std::vector<Case> cases = {
    // Found by the fuzzer: two empty cells, then a third whose point count
    // is the largest id. Checking p + n against the stream overflowed.
    { "point count of the largest id",
      Coordinates(3),
      Array<vtkIdTypeArray>({ 0, 0, IdMax, 0, 0, 0, 0, 0, 1, 5, 3, 0, 1, 3 }),
      Array<vtkIntArray>({ VTK_EMPTY_CELL, VTK_EMPTY_CELL, VTK_EMPTY_CELL }),
      "cell 2: needs stream values up to index 9223372036854775809 but the connectivity "
      "stream holds 14 values" },
    // The same fault in a polyhedron's face point count.
    { "polyhedron face count of the largest id",
      Coordinates(3),
      Array<vtkIdTypeArray>({ 1, IdMax, 0, 1, 2 }),
      Array<vtkIntArray>({ VTK_POLYHEDRON }),
      "cell 0: needs stream values up to index 9223372036854775808 but the connectivity "
      "stream holds 5 values" },
    // And through the converted path: a double count just below 2^63.
    { "converted double count below 2^63",
      Coordinates(3),
      Array<vtkDoubleArray>({ 3, 0, 1, 2, 9.2e18, 0 }),
      Array<vtkIntArray>({ VTK_TRIANGLE, VTK_POLYGON }),
      "cell 1: needs stream values up to index 9200000000000000004 but the connectivity "
      "stream holds 6 values" },
    // A double count at 2^63 and beyond has no vtkIdType value at all.
    { "converted double count beyond 2^63",
      Coordinates(3),
      Array<vtkDoubleArray>({ 9.3e18, 0 }),
      Array<vtkIntArray>({ VTK_POLYGON }),
      "cell 0: point count -9223372036854775808 is negative" },
  };

  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.Name);
    vtkNew<vtkKivUnstructuredGridGenerator> generator;
    RunTriangle(generator);
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

    // The generator is still good for the next run.
    RunTriangle(generator);
    EXPECT_EQ(errors.Count, 1);
    EXPECT_EQ(Grid(generator)->GetNumberOfCells(), 1);
    EXPECT_EQ(Grid(generator)->GetNumberOfPoints(), 3);
  }
}
