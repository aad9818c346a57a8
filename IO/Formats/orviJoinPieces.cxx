#include "orviJoinPieces.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkDataArray.h"
#include "vtkNew.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkSMPTools.h"
#include "vtkTypeInt32Array.h"
#include "vtkTypeInt64Array.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>

namespace orvi
{

namespace
{
using Pieces = std::vector<vtkSmartPointer<vtkUnstructuredGrid>>;

// The work of a loop over [0, n) split into chunks big enough to be worth
// a thread's start.
template <class Body>
void ForChunks(vtkIdType n, const Body& body)
{
  vtkSMPTools::For(0, n, std::max<vtkIdType>(1 << 15, n / 64), body);
}

//------------------------------------------------------------------------------
// Which points are joined: each piece's points sorted by their coordinates'
// bits (W: an unsigned word of the coordinates' size), the pieces' sorted
// points walked side by side, and a run of equal coordinates in several
// pieces joined rank by rank: the k-th such point of a piece joins the k-th
// of the earliest piece holding k+1 of them, so that two points of one
// piece never become one.
//
// A sorted point holds its first coordinate and its index, the others read
// from the piece when the first ones tie (rarely): half the memory to sort
// and one word to compare.
template <class W>
struct SortedPoint
{
  W X;
  vtkIdType Index;
};

// The order of two points' coordinates, word by word: -1, 0 or 1.
template <class W>
int Compare(const W* a, const W* b)
{
  for (int i = 0; i < 3; ++i)
  {
    if (a[i] != b[i])
    {
      return a[i] < b[i] ? -1 : 1;
    }
  }
  return 0;
}

template <class W>
std::vector<SortedPoint<W>> SortPoints(vtkDataArray* xyz)
{
  const vtkIdType n = xyz->GetNumberOfTuples();
  const auto* bits = static_cast<const W*>(xyz->GetVoidPointer(0));
  std::vector<SortedPoint<W>> sorted(static_cast<std::size_t>(n));
  for (vtkIdType i = 0; i < n; ++i)
  {
    sorted[i] = { bits[3 * i], i };
  }
  std::sort(sorted.begin(),
    sorted.end(),
    [bits](const SortedPoint<W>& a, const SortedPoint<W>& b)
    {
      if (a.X != b.X)
      {
        return a.X < b.X;
      }
      const int order = Compare(bits + 3 * a.Index, bits + 3 * b.Index);
      return order != 0 ? order < 0 : a.Index < b.Index;
    });
  return sorted;
}

// ids: over every piece's points in turn (first the first piece's), -1 for
// a point joining none, else the index there of the point it joins.
template <class W>
void FindJoins(const Pieces& pieces,
  const std::vector<vtkIdType>& firsts,
  std::vector<vtkIdType>& ids)
{
  const std::size_t count = pieces.size();
  std::vector<std::vector<SortedPoint<W>>> sorted(count);
  std::vector<const W*> bits(count);
  vtkSMPTools::For(0,
    static_cast<vtkIdType>(count),
    1,
    [&](vtkIdType begin, vtkIdType end)
    {
      for (vtkIdType p = begin; p < end; ++p)
      {
        sorted[p] = SortPoints<W>(pieces[p]->GetPoints()->GetData());
        bits[p] = static_cast<const W*>(pieces[p]->GetPoints()->GetData()->GetVoidPointer(0));
      }
    });
  std::vector<std::size_t> at(count, 0);
  // The coordinates of piece p's next point in order, null past its last.
  const auto next = [&](std::size_t p)
  { return at[p] < sorted[p].size() ? bits[p] + 3 * sorted[p][at[p]].Index : nullptr; };
  std::vector<vtkIdType> owners; // by rank, the point each rank joins
  for (;;)
  {
    const W* least = nullptr;
    std::size_t holders = 0;
    for (std::size_t p = 0; p < count; ++p)
    {
      const W* point = next(p);
      const int order = point && least ? Compare(point, least) : -1;
      if (point && order <= 0)
      {
        holders = order < 0 ? 1 : holders + 1;
        least = order < 0 ? point : least;
      }
    }
    if (!least)
    {
      return;
    }
    const std::array<W, 3> coordinates = { least[0], least[1], least[2] };
    owners.clear();
    for (std::size_t p = 0; p < count; ++p)
    {
      for (std::size_t k = 0; next(p) && Compare(next(p), coordinates.data()) == 0; ++k, ++at[p])
      {
        const vtkIdType point = firsts[p] + sorted[p][at[p]].Index;
        if (holders > 1 && k < owners.size())
        {
          ids[point] = owners[k];
        }
        else if (holders > 1)
        {
          owners.push_back(point);
        }
      }
    }
  }
}

//------------------------------------------------------------------------------
// The joined grid's numbering: ids rewritten from what FindJoins() says to
// each point's id in the joined grid (the points joining none numbered in
// order), kept[p] the piece's points that join none.
vtkIdType Renumber(std::vector<vtkIdType>& ids,
  const std::vector<vtkIdType>& firsts,
  std::vector<std::vector<vtkIdType>>& kept)
{
  vtkIdType next = 0;
  for (std::size_t p = 0; p + 1 < firsts.size(); ++p)
  {
    for (vtkIdType point = firsts[p]; point < firsts[p + 1]; ++point)
    {
      const vtkIdType joins = ids[point];
      if (joins < 0)
      {
        kept[p].push_back(point - firsts[p]);
      }
      ids[point] = joins >= 0 ? ids[joins] : next++;
    }
  }
  return next;
}

//------------------------------------------------------------------------------
// The arrays kept: by name, those every piece holds as the first piece
// does (its type and components).
std::vector<std::string> SharedArrays(const Pieces& pieces, bool points)
{
  std::vector<std::string> names;
  vtkDataSetAttributes* first = points
    ? static_cast<vtkDataSetAttributes*>(pieces[0]->GetPointData())
    : pieces[0]->GetCellData();
  for (int a = 0; a < first->GetNumberOfArrays(); ++a)
  {
    vtkDataArray* array = first->GetArray(a);
    bool shared = array && array->GetName();
    for (std::size_t p = 1; shared && p < pieces.size(); ++p)
    {
      vtkDataArray* other = points ? pieces[p]->GetPointData()->GetArray(array->GetName())
                                   : pieces[p]->GetCellData()->GetArray(array->GetName());
      shared = other && other->GetDataType() == array->GetDataType() &&
        other->GetNumberOfComponents() == array->GetNumberOfComponents();
    }
    if (shared)
    {
      names.emplace_back(array->GetName());
    }
  }
  return names;
}

vtkSmartPointer<vtkDataArray> Allocated(vtkDataArray* like, vtkIdType tuples)
{
  auto array = vtkSmartPointer<vtkDataArray>::Take(like->NewInstance());
  array->SetNumberOfComponents(like->GetNumberOfComponents());
  array->SetName(like->GetName());
  array->SetNumberOfTuples(tuples);
  return array;
}

// The tuples of from in rows (all of them when rows is null) copied to to
// from tuple first on.
void CopyTuples(vtkDataArray* from,
  const std::vector<vtkIdType>* rows,
  vtkDataArray* to,
  vtkIdType first)
{
  const auto size = static_cast<std::size_t>(from->GetDataTypeSize()) *
    static_cast<std::size_t>(from->GetNumberOfComponents());
  const auto* in = static_cast<const unsigned char*>(from->GetVoidPointer(0));
  auto* out = static_cast<unsigned char*>(to->GetVoidPointer(0)) + size * first;
  const vtkIdType n = rows ? static_cast<vtkIdType>(rows->size()) : from->GetNumberOfTuples();
  ForChunks(n,
    [&](vtkIdType begin, vtkIdType end)
    {
      if (!rows)
      {
        std::memcpy(out + size * begin, in + size * begin, size * (end - begin));
        return;
      }
      for (vtkIdType i = begin; i < end; ++i)
      {
        std::memcpy(out + size * i, in + size * (*rows)[i], size);
      }
    });
}

//------------------------------------------------------------------------------
// One piece's cells into the joined cell array's slice, its point ids
// renumbered.
template <class In, class Out>
void CopyCells(vtkCellArray* cells,
  const vtkIdType* ids,
  Out* offsets,
  Out* connectivity,
  vtkIdType connectivityFirst)
{
  const In* inOffsets = static_cast<const In*>(cells->GetOffsetsArray()->GetVoidPointer(0));
  const In* inConnectivity =
    static_cast<const In*>(cells->GetConnectivityArray()->GetVoidPointer(0));
  ForChunks(cells->GetNumberOfOffsets(),
    [&](vtkIdType begin, vtkIdType end)
    {
      for (vtkIdType i = begin; i < end; ++i)
      {
        offsets[i] = static_cast<Out>(inOffsets[i] + connectivityFirst);
      }
    });
  ForChunks(cells->GetNumberOfConnectivityIds(),
    [&](vtkIdType begin, vtkIdType end)
    {
      for (vtkIdType i = begin; i < end; ++i)
      {
        connectivity[i] = static_cast<Out>(ids[inConnectivity[i]]);
      }
    });
}

// The joined grid being filled, a piece at a time.
struct JoinedGrid
{
  vtkNew<vtkUnstructuredGrid> Grid;
  vtkSmartPointer<vtkDataArray> Points, Offsets, Connectivity;
  vtkNew<vtkUnsignedCharArray> Types;
  std::vector<vtkSmartPointer<vtkDataArray>> PointArrays, CellArrays;
  std::vector<std::string> PointNames, CellNames;
  // The first piece's active attributes, on its points and on its cells.
  std::array<std::array<std::string, 2>, vtkDataSetAttributes::NUM_ATTRIBUTES> Active;
  vtkIdType PointsDone = 0, CellsDone = 0, IdsDone = 0;

  JoinedGrid(const Pieces& pieces, vtkIdType numPoints)
    : PointNames(SharedArrays(pieces, true))
    , CellNames(SharedArrays(pieces, false))
  {
    // 32-bit storage whenever the joined numbers fit, whatever the pieces
    // were written with (a parallel writer's 64-bit ids are the usual
    // case): half the memory, and what every later pass over the cells
    // reads.
    vtkIdType cells = 0, ids = 0;
    for (const auto& piece : pieces)
    {
      cells += piece->GetNumberOfCells();
      ids += piece->GetCells()->GetNumberOfConnectivityIds();
    }
    if (std::max(numPoints, ids) > std::numeric_limits<std::int32_t>::max())
    {
      this->Offsets = vtkSmartPointer<vtkTypeInt64Array>::New();
    }
    else
    {
      this->Offsets = vtkSmartPointer<vtkTypeInt32Array>::New();
    }
    this->Connectivity = vtkSmartPointer<vtkDataArray>::Take(this->Offsets->NewInstance());
    this->Offsets->SetNumberOfValues(cells + 1);
    this->Offsets->SetComponent(0, 0, 0.0);
    this->Connectivity->SetNumberOfValues(ids);
    this->Types->SetNumberOfValues(cells);
    this->Points = Allocated(pieces[0]->GetPoints()->GetData(), numPoints);
    for (const std::string& name : this->PointNames)
    {
      this->PointArrays.push_back(
        Allocated(pieces[0]->GetPointData()->GetArray(name.c_str()), numPoints));
    }
    for (const std::string& name : this->CellNames)
    {
      this->CellArrays.push_back(
        Allocated(pieces[0]->GetCellData()->GetArray(name.c_str()), cells));
    }
    for (int a = 0; a < vtkDataSetAttributes::NUM_ATTRIBUTES; ++a)
    {
      vtkDataArray* onPoints = pieces[0]->GetPointData()->GetAttribute(a);
      vtkDataArray* onCells = pieces[0]->GetCellData()->GetAttribute(a);
      this->Active[a] = { onPoints && onPoints->GetName() ? onPoints->GetName() : "",
        onCells && onCells->GetName() ? onCells->GetName() : "" };
    }
  }

  void Add(vtkUnstructuredGrid* piece, const std::vector<vtkIdType>& kept, const vtkIdType* ids)
  {
    const bool all = static_cast<vtkIdType>(kept.size()) == piece->GetNumberOfPoints();
    CopyTuples(
      piece->GetPoints()->GetData(), all ? nullptr : &kept, this->Points, this->PointsDone);
    for (std::size_t a = 0; a < this->PointNames.size(); ++a)
    {
      CopyTuples(piece->GetPointData()->GetArray(this->PointNames[a].c_str()),
        all ? nullptr : &kept,
        this->PointArrays[a],
        this->PointsDone);
    }
    for (std::size_t a = 0; a < this->CellNames.size(); ++a)
    {
      CopyTuples(piece->GetCellData()->GetArray(this->CellNames[a].c_str()),
        nullptr,
        this->CellArrays[a],
        this->CellsDone);
    }
    CopyTuples(piece->GetCellTypesArray(), nullptr, this->Types, this->CellsDone);
    this->AddCells(piece->GetCells(), ids);
    this->PointsDone += static_cast<vtkIdType>(kept.size());
    this->CellsDone += piece->GetNumberOfCells();
    this->IdsDone += piece->GetCells()->GetNumberOfConnectivityIds();
  }

  void AddCells(vtkCellArray* cells, const vtkIdType* ids)
  {
    const auto into = [&](auto* out)
    {
      using Out = std::remove_pointer_t<decltype(out)>;
      Out* offsets = out + this->CellsDone;
      Out* connectivity = static_cast<Out*>(this->Connectivity->GetVoidPointer(0)) + this->IdsDone;
      if (cells->IsStorage64Bit())
      {
        CopyCells<vtkTypeInt64>(cells, ids, offsets, connectivity, this->IdsDone);
      }
      else
      {
        CopyCells<vtkTypeInt32>(cells, ids, offsets, connectivity, this->IdsDone);
      }
    };
    if (this->Offsets->GetDataType() == VTK_TYPE_INT64)
    {
      into(static_cast<vtkTypeInt64*>(this->Offsets->GetVoidPointer(0)));
    }
    else
    {
      into(static_cast<vtkTypeInt32*>(this->Offsets->GetVoidPointer(0)));
    }
  }

  vtkSmartPointer<vtkUnstructuredGrid> Finish()
  {
    vtkNew<vtkPoints> points;
    points->SetData(this->Points);
    this->Grid->SetPoints(points);
    vtkNew<vtkCellArray> cells;
    cells->SetData(this->Offsets, this->Connectivity);
    this->Grid->SetCells(this->Types, cells);
    for (const auto& array : this->PointArrays)
    {
      this->Grid->GetPointData()->AddArray(array);
    }
    for (const auto& array : this->CellArrays)
    {
      this->Grid->GetCellData()->AddArray(array);
    }
    for (int a = 0; a < vtkDataSetAttributes::NUM_ATTRIBUTES; ++a)
    {
      vtkDataSetAttributes* data[2] = { this->Grid->GetPointData(), this->Grid->GetCellData() };
      for (int where = 0; where < 2; ++where)
      {
        const std::string& name = this->Active[a][where];
        if (!name.empty() && data[where]->GetArray(name.c_str()))
        {
          data[where]->SetActiveAttribute(name.c_str(), a);
        }
      }
    }
    return this->Grid.Get();
  }
};
} // namespace

//------------------------------------------------------------------------------
vtkSmartPointer<vtkUnstructuredGrid> JoinPieces(Pieces& pieces, std::string& why)
{
  std::vector<vtkIdType> firsts{ 0 };
  vtkDataArray* xyz = pieces.empty() ? nullptr : pieces[0]->GetPoints()->GetData();
  for (std::size_t p = 0; p < pieces.size(); ++p)
  {
    vtkDataArray* own = pieces[p]->GetPoints()->GetData();
    if (own->GetDataType() != xyz->GetDataType() || own->GetNumberOfComponents() != 3)
    {
      why = "piece " + std::to_string(p + 1) + "'s points are " + own->GetDataTypeAsString() +
        ", the first piece's " + xyz->GetDataTypeAsString();
      return nullptr;
    }
    if (pieces[p]->GetFaces())
    {
      why = "piece " + std::to_string(p + 1) + " holds polyhedra";
      return nullptr;
    }
    firsts.push_back(firsts.back() + pieces[p]->GetNumberOfPoints());
  }
  if (!xyz)
  {
    why = "there is no piece";
    return nullptr;
  }
  std::vector<vtkIdType> ids(static_cast<std::size_t>(firsts.back()), -1);
  switch (xyz->GetDataTypeSize())
  {
    case 8:
      FindJoins<std::uint64_t>(pieces, firsts, ids);
      break;
    case 4:
      FindJoins<std::uint32_t>(pieces, firsts, ids);
      break;
    case 2:
      FindJoins<std::uint16_t>(pieces, firsts, ids);
      break;
    default:
      FindJoins<std::uint8_t>(pieces, firsts, ids);
  }
  std::vector<std::vector<vtkIdType>> kept(pieces.size());
  const vtkIdType numPoints = Renumber(ids, firsts, kept);
  JoinedGrid joined(pieces, numPoints);
  for (std::size_t p = 0; p < pieces.size(); ++p)
  {
    joined.Add(pieces[p], kept[p], ids.data() + firsts[p]);
    pieces[p] = nullptr;
    kept[p] = {};
  }
  return joined.Finish();
}

} // namespace orvi
