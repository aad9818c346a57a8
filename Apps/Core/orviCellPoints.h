// The points of a mesh's cells as the section reads them: straight from a
// vtkUnstructuredGrid's own arrays when it has them (GridCells, safe to read
// from several threads), otherwise through the data set's virtual methods
// (AnyCells), each point optionally moved by a displacement times a scale as
// the warp moves the surface's points. WithCells() picks the fastest for a
// mesh. CopyTuples() carries a subset's point or cell data.
#ifndef orviCellPoints_h
#define orviCellPoints_h

#include "orviSection.h"

#include "vtkCellArray.h"
#include "vtkDataSet.h"
#include "vtkDataSetAttributes.h"
#include "vtkDoubleArray.h"
#include "vtkFloatArray.h"
#include "vtkIdList.h"
#include "vtkNew.h"
#include "vtkPointSet.h"
#include "vtkPoints.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <numeric>
#include <type_traits>

namespace orvi
{

// The points of a vtkUnstructuredGrid's cells read from its own arrays
// (offsets and connectivity of Id, coordinates of Real): safe to read from
// several threads.
// With Moves set, the points are those of the deformed shape: each moved by
// Scale times its displacement and rounded to the points' type, as the warp
// writes them.
template <typename Id, typename Real, typename Move = Real>
struct GridCells
{
  const Id* Offsets;
  const Id* Connectivity;
  const Real* Points;
  vtkIdType Count;
  const Move* Moves = nullptr;
  double Scale = 0.0;
  const unsigned char* Types = nullptr; // each cell's VTK type
  static constexpr bool Parallel = true;

  static constexpr bool Direct = true; // Point() and PointIds() read the arrays

  /// The position of the mesh's point `id` in the shape read.
  void Point(vtkIdType id, double x[3]) const
  {
    const vtkIdType at = 3 * id;
    const Real* p = this->Points + at;
    for (int c = 0; c < 3; ++c)
    {
      x[c] = this->Moves
        ? static_cast<double>(static_cast<Real>(p[c] + this->Scale * this->Moves[at + c]))
        : static_cast<double>(p[c]);
    }
  }

  /// The cell's point ids: PointIds(cell)[0] to PointIds(cell)[PointCount(cell) - 1].
  const Id* PointIds(vtkIdType cell) const { return this->Connectivity + this->Offsets[cell]; }
  vtkIdType PointCount(vtkIdType cell) const
  {
    return static_cast<vtkIdType>(this->Offsets[cell + 1] - this->Offsets[cell]);
  }

  /// Asks the memory for a cell's offset, for the point ids of a cell whose
  /// offset has come, and for the points of a cell whose ids have: a loop
  /// over cells scattered through the mesh otherwise waits on the memory
  /// three times a cell (ForCellsAhead()).
  void PrefetchOffset(vtkIdType cell) const { __builtin_prefetch(this->Offsets + cell); }
  void PrefetchIds(vtkIdType cell) const
  {
    __builtin_prefetch(this->Connectivity + this->Offsets[cell]);
  }
  void PrefetchPoints(vtkIdType cell) const
  {
    for (Id k = this->Offsets[cell]; k < this->Offsets[cell + 1]; ++k)
    {
      const vtkIdType at = 3 * static_cast<vtkIdType>(this->Connectivity[k]);
      __builtin_prefetch(this->Points + at);
      __builtin_prefetch(this->Points + at + 2);
      if (this->Moves)
      {
        __builtin_prefetch(this->Moves + at);
        __builtin_prefetch(this->Moves + at + 2);
      }
    }
  }

  template <typename Visit>
  void ForPoints(vtkIdType cell, Visit&& visit) const
  {
    for (Id k = this->Offsets[cell]; k < this->Offsets[cell + 1]; ++k)
    {
      double x[3];
      this->Point(static_cast<vtkIdType>(this->Connectivity[k]), x);
      visit(x);
    }
  }
};

// Calls visit(i) for i from 0 to count - 1, each about the cell cellOf(i) of
// `cells`, whose offset, point ids and points are asked for some cells
// ahead when they are read straight from the mesh's arrays.
template <typename Cells, typename CellOf, typename Visit>
void ForCellsAhead(const Cells& cells, size_t count, CellOf&& cellOf, Visit&& visit)
{
  constexpr size_t Ahead = 6;
  for (size_t i = 0; i < count; ++i)
  {
    if constexpr (Cells::Direct)
    {
      if (i + 3 * Ahead < count)
      {
        cells.PrefetchOffset(cellOf(i + 3 * Ahead));
      }
      if (i + 2 * Ahead < count)
      {
        cells.PrefetchIds(cellOf(i + 2 * Ahead));
      }
      if (i + Ahead < count)
      {
        cells.PrefetchPoints(cellOf(i + Ahead));
      }
    }
    visit(i);
  }
}

// to = the tuples of `from` at `ids`, in turn, for every array of `from`.
inline void CopyTuples(vtkDataSetAttributes* from, vtkIdList* ids, vtkDataSetAttributes* to)
{
  vtkNew<vtkIdList> into;
  into->SetNumberOfIds(ids->GetNumberOfIds());
  std::iota(into->begin(), into->end(), 0);
  to->CopyAllocate(from, ids->GetNumberOfIds());
  to->CopyData(from, ids, into);
}

// Any other data set's cells, through its virtual methods, on one thread.
// (Values: a point array of 3 components read in place of the points.)
// (Moves: the points moved by Scale times that point array, rounded to
// floats where the points are floats, as the warp writes them.)
struct AnyCells
{
  vtkDataSet* Mesh;
  vtkDataArray* Values;
  vtkIdType Count;
  vtkDataArray* Moves = nullptr;
  double Scale = 0.0;
  vtkNew<vtkIdList> Ids;
  static constexpr bool Parallel = false;
  static constexpr bool Direct = false;

  template <typename Visit>
  void ForPoints(vtkIdType cell, Visit&& visit)
  {
    auto* pointSet = vtkPointSet::SafeDownCast(this->Mesh);
    const bool floats =
      pointSet && pointSet->GetPoints() && pointSet->GetPoints()->GetDataType() == VTK_FLOAT;
    this->Mesh->GetCellPoints(cell, this->Ids);
    for (vtkIdType i = 0; i < this->Ids->GetNumberOfIds(); ++i)
    {
      const vtkIdType id = this->Ids->GetId(i);
      if (this->Values)
      {
        visit(this->Values->GetTuple(id));
        continue;
      }
      double x[3];
      this->Mesh->GetPoint(id, x);
      for (int c = 0; this->Moves && c < 3; ++c)
      {
        x[c] += this->Scale * this->Moves->GetComponent(id, c);
        x[c] = floats ? static_cast<double>(static_cast<float>(x[c])) : x[c];
      }
      visit(x);
    }
  }
};

// Calls f(typed) with a float or double array of 3 components as its own
// type (null: neither), or returns false.
template <typename F>
bool WithReals(vtkDataArray* array, F&& f)
{
  if (!array || array->GetNumberOfComponents() != 3)
  {
    return false;
  }
  if (auto* floats = vtkFloatArray::FastDownCast(array))
  {
    f(floats);
    return true;
  }
  if (auto* doubles = vtkDoubleArray::FastDownCast(array))
  {
    f(doubles);
    return true;
  }
  return false;
}

// Calls run(cells) with the mesh's cells read the fastest way it allows,
// their points' coordinates or `values` (a point array of 3 components),
// or with `deformed`'s displacement set, the deformed shape's points.
template <typename Run>
void WithCells(vtkDataSet* mesh,
  vtkDataArray* values,
  Run&& run,
  const SectionDeformation& deformed = {})
{
  auto* grid = vtkUnstructuredGrid::SafeDownCast(mesh);
  vtkCellArray* cells = grid ? grid->GetCells() : nullptr;
  vtkDataArray* xyz = values    ? values
    : grid && grid->GetPoints() ? grid->GetPoints()->GetData()
                                : nullptr;
  vtkDataArray* moves = values ? nullptr : deformed.Displacement;
  const auto withPoints = [&](auto* points, auto* by)
  {
    using Real = std::decay_t<decltype(*points->GetPointer(0))>;
    using Move = std::decay_t<decltype(*by->GetPointer(0))>;
    const Move* shift = moves ? by->GetPointer(0) : nullptr;
    const vtkIdType count = cells->GetNumberOfCells();
    if (cells->IsStorage64Bit())
    {
      run(GridCells<vtkTypeInt64, Real, Move>{ cells->GetOffsetsArray64()->GetPointer(0),
        cells->GetConnectivityArray64()->GetPointer(0),
        points->GetPointer(0),
        count,
        shift,
        deformed.Scale,
        grid->GetCellTypesArray()->GetPointer(0) });
    }
    else
    {
      run(GridCells<vtkTypeInt32, Real, Move>{ cells->GetOffsetsArray32()->GetPointer(0),
        cells->GetConnectivityArray32()->GetPointer(0),
        points->GetPointer(0),
        count,
        shift,
        deformed.Scale,
        grid->GetCellTypesArray()->GetPointer(0) });
    }
  };
  // Without a displacement, the points stand for it (and are not read as one).
  const bool typed = cells &&
    WithReals(xyz,
      [&](auto* points)
      {
        if (!moves)
        {
          withPoints(points, points);
        }
        else if (!WithReals(moves, [&](auto* by) { withPoints(points, by); }))
        {
          AnyCells any{ mesh, nullptr, mesh->GetNumberOfCells(), moves, deformed.Scale, {} };
          run(any);
        }
      });
  if (!typed)
  {
    AnyCells any{ mesh, values, mesh->GetNumberOfCells(), moves, deformed.Scale, {} };
    run(any);
  }
}

} // namespace orvi

#endif
