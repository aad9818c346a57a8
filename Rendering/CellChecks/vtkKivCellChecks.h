/**
 * @file    vtkKivCellChecks.h
 * @brief   internal: the checks of a cell list, shared by the generator and the hosts' file input
 *
 * Internal to the library (not installed, not wrapped), and header only:
 * vtkKivUnstructuredGridGenerator checks every cell it builds with these
 * primitives and checks a data set from elsewhere with CheckCells(); the
 * hosts' file input (orviIO) links it (orvi::CellChecks) to check what a VTK
 * reader returned without linking the library (which links OpenGL). A cell's
 * type must be one VTK can instantiate, a fixed-size type (hexahedron,
 * quadratic tetra, ...) must get exactly its number of points, counts are
 * not negative, ids lie in 0 .. number of points - 1, a polyhedron has at
 * least one face and every face at least three points. Each check writes
 * "cell N: <fault>" to error when it fails.
 */

#ifndef vtkKivCellChecks_h
#define vtkKivCellChecks_h

#include "vtkCell.h"
#include "vtkCellArray.h"
#include "vtkCellType.h"
#include "vtkCellTypes.h"
#include "vtkDataSet.h"
#include "vtkGenericCell.h"
#include "vtkIdTypeArray.h"
#include "vtkPolyData.h"
#include "vtkSmartPointer.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <cstring>
#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>

namespace vtkKivCellChecks
{
//------------------------------------------------------------------------------
// What the generator knows about each VTK cell type: whether VTK can
// instantiate it, and its number of points when that is fixed (-1 when the
// cell takes any number of points).
struct CellTypeTable
{
  bool Known[VTK_NUMBER_OF_CELL_TYPES];
  int Size[VTK_NUMBER_OF_CELL_TYPES];
  // For every byte a grid's type array can hold: the point count a cell of
  // that type needs, AnyCount, or Unknown.
  static constexpr int AnyCount = -1, Unknown = -2;
  int Expected[256];
};

inline const CellTypeTable& GetCellTypeTable()
{
  static const CellTypeTable table = []
  {
    CellTypeTable t{};
    for (int type = 0; type < VTK_NUMBER_OF_CELL_TYPES; ++type)
    {
      t.Known[type] = false;
      t.Size[type] = -1;
      if (std::strcmp(vtkCellTypes::GetClassNameFromTypeId(type), "UnknownClass") == 0)
      {
        continue;
      }
      vtkSmartPointer<vtkCell> cell;
      cell.TakeReference(vtkGenericCell::InstantiateCell(type));
      if (!cell || cell->GetCellType() != type)
      {
        continue;
      }
      t.Known[type] = true;
      // A freshly made linear or quadratic cell of a fixed-size type already
      // has its points; the variable ones (poly-vertices, polygons, strips,
      // convex point sets, polyhedra) have none. Lagrange and Bezier cells
      // take any number of points whatever a fresh one holds.
      const vtkIdType n = cell->GetNumberOfPoints();
      if (n > 0 && type < VTK_LAGRANGE_CURVE && type != VTK_POLYHEDRON)
      {
        t.Size[type] = static_cast<int>(n);
      }
    }
    for (int type = 0; type < 256; ++type)
    {
      const bool known = type < VTK_NUMBER_OF_CELL_TYPES && t.Known[type];
      t.Expected[type] = !known  ? CellTypeTable::Unknown
        : type == VTK_POLYHEDRON ? CellTypeTable::AnyCount
                                 : t.Size[type];
    }
    return t;
  }();
  return table;
}

//------------------------------------------------------------------------------
// CheckCells() checks offsets first (ascending from 0 to the connectivity's
// end), then types and counts, then ids; a polyhedron's faces come from the
// grid's faces array.
using UnsignedId = std::make_unsigned<vtkIdType>::type;

inline std::ostream& Fault(std::ostream& error, vtkIdType cell)
{
  return error << "cell " << cell << ": ";
}

// Each check is a test that the compiler inlines into the loops, and a
// function that names the fault, marked cold: kept out of the loops, it
// leaves their registers to the common path (the generator fills about 15%
// faster than with plain functions). The checks take the table from their
// caller, which looks it up once.
[[gnu::cold]] inline bool TypeFault(int type, vtkIdType cell, std::ostream& error)
{
  Fault(error, cell) << "cell type " << type << " is not a VTK cell type";
  return false;
}

inline bool CheckCellType(const CellTypeTable& table, int type, vtkIdType cell, std::ostream& error)
{
  return (type >= 0 && type < VTK_NUMBER_OF_CELL_TYPES && table.Known[type]) ||
    TypeFault(type, cell, error);
}

[[gnu::cold]] inline bool PointCountFault(int type,
  int size,
  vtkIdType n,
  vtkIdType cell,
  std::ostream& error)
{
  if (n < 0)
  {
    Fault(error, cell) << "point count " << n << " is negative";
  }
  else
  {
    Fault(error, cell) << "cell type " << type << " needs " << size << " points, not " << n;
  }
  return false;
}

// The point count of a cell of a known type other than a polyhedron.
inline bool CheckPointCount(const CellTypeTable& table,
  int type,
  vtkIdType n,
  vtkIdType cell,
  std::ostream& error)
{
  const int size = table.Size[type];
  return (n >= 0 && (size < 0 || n == size)) || PointCountFault(type, size, n, cell, error);
}

// Whether every one of the n ids lies in 0 .. numPoints - 1: one unsigned
// comparison per id and no branch, so that the loop vectorises.
template <typename T>
inline bool IdsInRange(const T* ids, vtkIdType n, vtkIdType numPoints)
{
  const auto limit = static_cast<UnsignedId>(numPoints);
  bool bad = false;
  for (vtkIdType k = 0; k < n; ++k)
  {
    bad |= static_cast<UnsignedId>(static_cast<vtkIdType>(ids[k])) >= limit;
  }
  return !bad;
}

// Describes the first id out of range among n ids of a cell.
template <typename T>
inline bool CheckIds(const T* ids,
  vtkIdType n,
  vtkIdType numPoints,
  vtkIdType cell,
  std::ostream& error)
{
  if (IdsInRange(ids, n, numPoints))
  {
    return true;
  }
  for (vtkIdType k = 0; k < n; ++k)
  {
    const auto id = static_cast<vtkIdType>(ids[k]);
    if (id < 0)
    {
      Fault(error, cell) << "point id " << id << " is negative";
      return false;
    }
    if (id >= numPoints)
    {
      Fault(error, cell) << "point id " << id << " is not below the number of points (" << numPoints
                         << ")";
      return false;
    }
  }
  return false;
}

[[gnu::cold]] inline bool RoomFault(vtkIdType size,
  vtkIdType pos,
  vtkIdType n,
  const char* streamName,
  vtkIdType cell,
  std::ostream& error)
{
  Fault(error, cell) << "needs stream values up to index "
                     << static_cast<UnsignedId>(pos) + static_cast<UnsignedId>(n) << " but the "
                     << streamName << " holds " << size << " values";
  return false;
}

// True when a stream of size values holds the values at pos .. pos + n
// (pos >= 0, n >= 0). Written as n < size - pos, because pos + n overflows
// for a huge count; the message adds them unsigned, where two values below
// 2^63 fit.
inline bool CheckRoom(vtkIdType size,
  vtkIdType pos,
  vtkIdType n,
  const char* streamName,
  vtkIdType cell,
  std::ostream& error)
{
  return (pos < size && n < size - pos) || RoomFault(size, pos, n, streamName, cell, error);
}

// A polyhedron's face stream from stream[pos]: the face count F (at least
// 1), then per face its point count k (at least 3) and k point ids. Returns
// the index just past the face stream, or -1 after naming a fault.
inline vtkIdType CheckFaceStream(const vtkIdType* stream,
  vtkIdType size,
  vtkIdType pos,
  const char* streamName,
  vtkIdType numPoints,
  vtkIdType cell,
  std::ostream& error)
{
  if (!CheckRoom(size, pos, 0, streamName, cell, error))
  {
    return -1;
  }
  const vtkIdType faces = stream[pos++];
  if (faces < 1)
  {
    Fault(error, cell) << "polyhedron face count " << faces << " is below 1";
    return -1;
  }
  for (vtkIdType f = 0; f < faces; ++f)
  {
    if (!CheckRoom(size, pos, 0, streamName, cell, error))
    {
      return -1;
    }
    const vtkIdType k = stream[pos];
    if (k < 3)
    {
      Fault(error, cell) << "polyhedron face " << f << " has " << k << " points, fewer than 3";
      return -1;
    }
    if (!CheckRoom(size, pos, k, streamName, cell, error) ||
      !CheckIds(stream + pos + 1, k, numPoints, cell, error))
    {
      return -1;
    }
    pos += 1 + k;
  }
  return pos;
}

//------------------------------------------------------------------------------
// CheckCells() on one cell array: offsets ascending from 0 to the end of the
// connectivity, then (with types) each cell's type and point count, then
// every point id. Cells are numbered from firstCell on; polyhedra counts the
// polyhedron cells. The first passes have no branch per cell; only after a
// fault is found do the shared checks run again, cell by cell, to name it.
struct CheckWorker
{
  template <typename CellStateT>
  bool operator()(CellStateT& state,
    const unsigned char* types,
    vtkIdType firstCell,
    vtkIdType numPoints,
    std::ostream& error,
    vtkIdType& polyhedra) const
  {
    const auto* offsets = state.GetOffsets()->GetPointer(0);
    const auto* connectivity = state.GetConnectivity()->GetPointer(0);
    const vtkIdType numCells = state.GetNumberOfCells();
    const auto numIds = static_cast<vtkIdType>(state.GetConnectivity()->GetNumberOfValues());
    const CellTypeTable& table = GetCellTypeTable();

    bool bad = numCells > 0 && (offsets[0] != 0 || offsets[numCells] != numIds);
    polyhedra = 0;
    if (types)
    {
      for (vtkIdType i = 0; i < numCells; ++i)
      {
        const auto n = static_cast<vtkIdType>(offsets[i + 1] - offsets[i]);
        const int expected = table.Expected[types[i]];
        bad |= (n < 0) | (expected == CellTypeTable::Unknown) | ((expected >= 0) & (n != expected));
        polyhedra += types[i] == VTK_POLYHEDRON ? 1 : 0;
      }
    }
    else
    {
      for (vtkIdType i = 0; i < numCells; ++i)
      {
        bad |= offsets[i + 1] < offsets[i];
      }
    }
    for (vtkIdType i = 0; bad && i < numCells; ++i)
    {
      const auto begin = static_cast<vtkIdType>(offsets[i]);
      const auto end = static_cast<vtkIdType>(offsets[i + 1]);
      if ((i == 0 && begin != 0) || end < begin || end > numIds ||
        (i == numCells - 1 && end != numIds))
      {
        Fault(error, firstCell + i) << "its point ids at " << begin << " .. " << end
                                    << " do not fit the connectivity array of " << numIds << " ids";
        return false;
      }
      if (types)
      {
        const int type = types[i];
        if (!CheckCellType(table, type, firstCell + i, error) ||
          (type != VTK_POLYHEDRON &&
            !CheckPointCount(table, type, end - begin, firstCell + i, error)))
        {
          return false;
        }
      }
    }

    // The ids of the cells (a connectivity array without cells holds none).
    if (IdsInRange(connectivity, numCells > 0 ? numIds : 0, numPoints))
    {
      return true;
    }
    for (vtkIdType i = 0; i < numCells; ++i)
    {
      const auto begin = static_cast<vtkIdType>(offsets[i]);
      const auto end = static_cast<vtkIdType>(offsets[i + 1]);
      if (!CheckIds(connectivity + begin, end - begin, numPoints, firstCell + i, error))
      {
        return false;
      }
    }
    return false;
  }
};

// The polyhedra's face streams of a grid.
inline bool CheckPolyhedra(vtkUnstructuredGrid* grid,
  const unsigned char* types,
  std::ostream& error)
{
  const vtkIdType numCells = grid->GetNumberOfCells();
  vtkIdTypeArray* faces = grid->GetFaces();
  vtkIdTypeArray* locations = grid->GetFaceLocations();
  const vtkIdType size = faces ? faces->GetNumberOfValues() : 0;
  const vtkIdType numLocations = locations ? locations->GetNumberOfValues() : 0;
  for (vtkIdType i = 0; i < numCells; ++i)
  {
    if (types[i] != VTK_POLYHEDRON)
    {
      continue;
    }
    const vtkIdType location = i < numLocations ? locations->GetValue(i) : -1;
    if (location < 0)
    {
      Fault(error, i) << "polyhedron without a face stream";
      return false;
    }
    if (CheckFaceStream(faces ? faces->GetPointer(0) : nullptr,
          size,
          location,
          "grid's face stream",
          grid->GetNumberOfPoints(),
          i,
          error) < 0)
    {
      return false;
    }
  }
  return true;
}

//------------------------------------------------------------------------------
// The cells of a vtkUnstructuredGrid or vtkPolyData: empty when they are
// sound (or there are no explicit cells), else the message for the first
// faulty cell.
inline std::string CheckCells(vtkDataSet* data)
{
  std::ostringstream error;
  const vtkIdType numPoints = data ? data->GetNumberOfPoints() : 0;
  if (auto* grid = vtkUnstructuredGrid::SafeDownCast(data))
  {
    vtkCellArray* cells = grid->GetCells();
    const vtkIdType numCells = cells ? cells->GetNumberOfCells() : 0;
    if (numCells <= 0)
    {
      return {};
    }
    vtkUnsignedCharArray* typeArray = grid->GetCellTypesArray();
    const vtkIdType numTypes = typeArray ? typeArray->GetNumberOfValues() : 0;
    if (numTypes < numCells)
    {
      error << "the grid has " << numCells << " cells but " << numTypes << " cell types";
      return error.str();
    }
    const unsigned char* types = typeArray->GetPointer(0);
    vtkIdType polyhedra = 0;
    if (!cells->Visit(CheckWorker{}, types, vtkIdType{ 0 }, numPoints, error, polyhedra) ||
      (polyhedra > 0 && !CheckPolyhedra(grid, types, error)))
    {
      return error.str();
    }
  }
  else if (auto* poly = vtkPolyData::SafeDownCast(data))
  {
    // vtkPolyData numbers its cells vertices first, then lines, polygons
    // and strips.
    vtkIdType first = 0;
    for (vtkCellArray* cells :
      { poly->GetVerts(), poly->GetLines(), poly->GetPolys(), poly->GetStrips() })
    {
      if (!cells)
      {
        continue;
      }
      vtkIdType polyhedra = 0;
      if (!cells->Visit(CheckWorker{}, nullptr, first, numPoints, error, polyhedra))
      {
        return error.str();
      }
      first += cells->GetNumberOfCells();
    }
  }
  return {};
}
} // namespace vtkKivCellChecks

#endif
