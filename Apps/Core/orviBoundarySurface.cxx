#include "orviBoundarySurface.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkInformation.h"
#include "vtkInformationVector.h"
#include "vtkObjectFactory.h"
#include "vtkPointData.h"
#include "vtkPolyData.h"
#include "vtkSMPTools.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <numeric>
#include <string>
#include <type_traits>
#include <vector>

namespace orvi
{

vtkStandardNewMacro(BoundarySurface);

namespace
{
// Point ids and face numbers are held in 32 bits: half the memory of
// vtkIdType, which is what makes the face table cheap.
using Id32 = std::uint32_t;
constexpr Id32 NoId = std::numeric_limits<Id32>::max();

// From this many cells on, each step of the extraction writes a progress
// line: on a busy machine a step can then take a second.
constexpr vtkIdType StepLinesFromCells = 1000000;

// The faces of the 3D cell types with fixed faces, in the order and winding
// that vtkDataSetSurfaceFilter gives them.
struct LocalFace
{
  int Size;
  std::array<int, 6> Ids;
};
constexpr LocalFace TetraFaces[] = { { 3, { 0, 1, 3 } },
  { 3, { 0, 2, 1 } },
  { 3, { 0, 3, 2 } },
  { 3, { 1, 2, 3 } } };
constexpr LocalFace HexahedronFaces[] = { { 4, { 0, 1, 5, 4 } },
  { 4, { 0, 3, 2, 1 } },
  { 4, { 0, 4, 7, 3 } },
  { 4, { 1, 2, 6, 5 } },
  { 4, { 2, 3, 7, 6 } },
  { 4, { 4, 5, 6, 7 } } };
constexpr LocalFace VoxelFaces[] = { { 4, { 0, 1, 5, 4 } },
  { 4, { 0, 2, 3, 1 } },
  { 4, { 0, 4, 6, 2 } },
  { 4, { 1, 3, 7, 5 } },
  { 4, { 2, 6, 7, 3 } },
  { 4, { 4, 5, 7, 6 } } };
constexpr LocalFace WedgeFaces[] = { { 3, { 0, 1, 2 } },
  { 3, { 3, 5, 4 } },
  { 4, { 0, 3, 4, 1 } },
  { 4, { 1, 4, 5, 2 } },
  { 4, { 2, 5, 3, 0 } } };
constexpr LocalFace PyramidFaces[] = { { 4, { 0, 3, 2, 1 } },
  { 3, { 0, 1, 4 } },
  { 3, { 1, 2, 4 } },
  { 3, { 2, 3, 4 } },
  { 3, { 3, 0, 4 } } };
// VTK's filter winds both pentagons (hexagons) of a prism the same way.
constexpr LocalFace PentagonalPrismFaces[] = { { 4, { 0, 1, 6, 5 } },
  { 4, { 1, 2, 7, 6 } },
  { 4, { 2, 3, 8, 7 } },
  { 4, { 3, 4, 9, 8 } },
  { 4, { 4, 0, 5, 9 } },
  { 5, { 0, 1, 2, 3, 4 } },
  { 5, { 5, 6, 7, 8, 9 } } };
constexpr LocalFace HexagonalPrismFaces[] = { { 4, { 0, 1, 7, 6 } },
  { 4, { 1, 2, 8, 7 } },
  { 4, { 2, 3, 9, 8 } },
  { 4, { 3, 4, 10, 9 } },
  { 4, { 4, 5, 11, 10 } },
  { 4, { 5, 0, 6, 11 } },
  { 6, { 0, 1, 2, 3, 4, 5 } },
  { 6, { 6, 7, 8, 9, 10, 11 } } };

// What the surface makes of a cell type.
enum class Kind : unsigned char
{
  Nothing,    // empty cell
  Vertices,   // output as a vertex cell
  Line,       // output as a line cell
  Polygon,    // output as a polygon, as it is
  Pixel,      // output as a quad
  Strip,      // output as its triangles
  Solid,      // boundary faces from a face table
  Polyhedron, // boundary faces from the grid's face stream
  Unhandled   // nonlinear and other cells: VTK's filter takes the whole grid
};

struct TypeInfo
{
  Kind K = Kind::Unhandled;
  int NumberOfPoints = 0; // for Solid and Pixel: the exact count
  int NumberOfFaces = 0;
  const LocalFace* Faces = nullptr;
};

template <size_t N>
constexpr TypeInfo Solid(int points, const LocalFace (&faces)[N])
{
  return { Kind::Solid, points, static_cast<int>(N), faces };
}

TypeInfo GetTypeInfo(int type)
{
  switch (type)
  {
    case VTK_EMPTY_CELL:
      return { Kind::Nothing };
    case VTK_VERTEX:
    case VTK_POLY_VERTEX:
      return { Kind::Vertices };
    case VTK_LINE:
    case VTK_POLY_LINE:
      return { Kind::Line };
    case VTK_TRIANGLE:
    case VTK_QUAD:
    case VTK_POLYGON:
      return { Kind::Polygon };
    case VTK_PIXEL:
      return { Kind::Pixel, 4 };
    case VTK_TRIANGLE_STRIP:
      return { Kind::Strip };
    case VTK_TETRA:
      return Solid(4, TetraFaces);
    case VTK_HEXAHEDRON:
      return Solid(8, HexahedronFaces);
    case VTK_VOXEL:
      return Solid(8, VoxelFaces);
    case VTK_WEDGE:
      return Solid(6, WedgeFaces);
    case VTK_PYRAMID:
      return Solid(5, PyramidFaces);
    case VTK_PENTAGONAL_PRISM:
      return Solid(10, PentagonalPrismFaces);
    case VTK_HEXAGONAL_PRISM:
      return Solid(12, HexagonalPrismFaces);
    case VTK_POLYHEDRON:
      return { Kind::Polyhedron };
    default:
      return {};
  }
}

// A triangle (N = 3) or quad (N = 4) face: the ids that identify it and its
// number among the grid's faces. A triangle's ids are its point ids in
// ascending order. A quad's are its smallest id, the id opposite, then the
// two neighbours in ascending order: the same four points in another cyclic
// order make another quad, as in VTK's filter.
template <int N>
struct FaceEntry
{
  std::array<Id32, N> Ids;
  Id32 Face;

  // The ids after the first, packed for comparison: faces are compared only
  // among those with the same smallest id.
  std::uint64_t Rest() const
  {
    return (static_cast<std::uint64_t>(this->Ids[1]) << 32) | this->Ids[2];
  }
  bool SameFace(const FaceEntry& other) const
  {
    return this->Rest() == other.Rest() && (N == 3 || this->Ids[N - 1] == other.Ids[N - 1]);
  }
  bool operator<(const FaceEntry& other) const
  {
    const std::uint64_t a = this->Rest(), b = other.Rest();
    return a < b || (N == 4 && a == b && this->Ids[N - 1] < other.Ids[N - 1]);
  }
};

int SmallestAt(const Id32* p, int n)
{
  return static_cast<int>(std::min_element(p, p + n) - p);
}

void MakeKey(const Id32* p, FaceEntry<3>& entry)
{
  Id32 a = p[0], b = p[1], c = p[2];
  if (a > b)
  {
    std::swap(a, b);
  }
  if (b > c)
  {
    std::swap(b, c);
  }
  if (a > b)
  {
    std::swap(a, b);
  }
  entry.Ids = { a, b, c };
}

void MakeKey(const Id32* p, FaceEntry<4>& entry)
{
  const int i = SmallestAt(p, 4);
  const Id32 b = p[(i + 1) & 3], d = p[(i + 3) & 3];
  entry.Ids = { p[i], p[(i + 2) & 3], std::min(b, d), std::max(b, d) };
}

// A face of five or more points: rare, kept apart. Its key is its point
// sequence started at the smallest id and run towards the smaller
// neighbour, so that the same polygon wound either way matches.
struct PolygonEntry
{
  std::vector<Id32> Ids;
  Id32 Face;

  bool operator<(const PolygonEntry& other) const { return this->Ids < other.Ids; }
  bool SameFace(const PolygonEntry& other) const { return this->Ids == other.Ids; }
};

PolygonEntry MakePolygonEntry(const Id32* p, int n, Id32 face)
{
  std::vector<Id32> ids(p, p + n);
  std::rotate(ids.begin(), ids.begin() + SmallestAt(p, n), ids.end());
  if (ids[n - 1] < ids[1])
  {
    std::reverse(ids.begin() + 1, ids.end());
  }
  return { std::move(ids), face };
}

// Sorts a run of faces with the same smallest id and flags those met once
// as boundary faces.
template <typename Entry>
void FlagSingleFaces(Entry* begin, Entry* end, std::vector<unsigned char>& boundary)
{
  std::sort(begin, end);
  for (Entry* run = begin; run != end;)
  {
    Entry* next = run + 1;
    while (next != end && next->SameFace(*run))
    {
      ++next;
    }
    if (next == run + 1)
    {
      boundary[run->Face] = 1;
    }
    run = next;
  }
}

// The triangle or quad faces of the grid in coarse buckets of their
// smallest point id (that id shifted right by Shift): filling them writes
// to few places at a time, and each bucket is then sorted in cache.
template <int N>
struct FaceTable
{
  int Shift = 0;
  std::vector<Id32> Starts;  // bucket b holds Entries[Starts[b], Starts[b + 1])
  std::vector<Id32> Cursors; // where the next face of each bucket goes
  std::unique_ptr<FaceEntry<N>[]> Entries;

  explicit FaceTable(vtkIdType numberOfPoints)
  {
    // At most 512 buckets.
    while ((numberOfPoints >> this->Shift) > 512)
    {
      ++this->Shift;
    }
    this->Starts.assign(static_cast<size_t>(numberOfPoints >> this->Shift) + 2, 0);
  }
  void Count(const Id32* p) { ++this->Starts[(*std::min_element(p, p + N) >> this->Shift) + 1]; }
  void Allocate()
  {
    std::partial_sum(this->Starts.begin(), this->Starts.end(), this->Starts.begin());
    this->Cursors.assign(this->Starts.begin(), this->Starts.end() - 1);
    this->Entries.reset(new FaceEntry<N>[this->Starts.back()]);
  }
  void Add(const Id32* p, Id32 face)
  {
    FaceEntry<N> entry;
    MakeKey(p, entry);
    entry.Face = face;
    this->Entries[this->Cursors[entry.Ids[0] >> this->Shift]++] = entry;
  }

  // Sorts each bucket by its faces' smallest ids (a counting sort) and then
  // each run of one smallest id by the other ids; flags the faces met once.
  // Buckets go in parallel.
  void FlagBoundary(std::vector<unsigned char>& boundary)
  {
    const Id32 mask = (Id32(1) << this->Shift) - 1;
    vtkSMPTools::For(0,
      static_cast<vtkIdType>(this->Starts.size() - 1),
      [&](vtkIdType first, vtkIdType last)
      {
        std::vector<Id32> runs;
        std::vector<FaceEntry<N>> sorted;
        for (vtkIdType b = first; b < last; ++b)
        {
          FaceEntry<N>* begin = this->Entries.get() + this->Starts[b];
          FaceEntry<N>* end = this->Entries.get() + this->Starts[b + 1];
          runs.assign(static_cast<size_t>(mask) + 2, 0);
          for (FaceEntry<N>* e = begin; e != end; ++e)
          {
            ++runs[(e->Ids[0] & mask) + 1];
          }
          std::partial_sum(runs.begin(), runs.end(), runs.begin());
          sorted.resize(static_cast<size_t>(end - begin));
          for (FaceEntry<N>* e = begin; e != end; ++e)
          {
            sorted[runs[e->Ids[0] & mask]++] = *e;
          }
          // runs[i] is now where run i ends.
          Id32 runStart = 0;
          for (Id32 i = 0; i <= mask; ++i)
          {
            FlagSingleFaces(sorted.data() + runStart, sorted.data() + runs[i], boundary);
            runStart = runs[i];
          }
        }
      });
    this->Entries.reset();
  }
};

// The grid's cells seen through the storage type of its cell array.
template <typename T>
struct Mesh
{
  const T* Offsets = nullptr;
  const T* Connectivity = nullptr;
  vtkIdType ConnectivitySize = 0;
  const unsigned char* Types = nullptr;
  vtkIdType NumberOfCells = 0;
  vtkIdType NumberOfPoints = 0;
  const vtkIdType* FaceStream = nullptr; // polyhedra
  vtkIdType FaceStreamSize = 0;
  const vtkIdType* FaceLocations = nullptr;

  vtkIdType Size(vtkIdType cell) const
  {
    return static_cast<vtkIdType>(this->Offsets[cell + 1] - this->Offsets[cell]);
  }
  const T* Points(vtkIdType cell) const { return this->Connectivity + this->Offsets[cell]; }
  bool ValidPoint(vtkIdType id) const { return id >= 0 && id < this->NumberOfPoints; }
};

// Calls f(ids, n, j) for each face j of a Solid or Polyhedron cell, with the
// face's n point ids in the cell's winding. The cell must have passed
// CellProblem().
template <typename T, typename F>
void ForEachFace(const Mesh<T>& mesh, vtkIdType cell, const TypeInfo& info, F&& f)
{
  if (info.K == Kind::Solid)
  {
    Id32 ids[6];
    const T* p = mesh.Points(cell);
    for (int j = 0; j < info.NumberOfFaces; ++j)
    {
      const LocalFace& face = info.Faces[j];
      for (int k = 0; k < face.Size; ++k)
      {
        ids[k] = static_cast<Id32>(p[face.Ids[k]]);
      }
      f(ids, face.Size, j);
    }
    return;
  }
  std::vector<Id32> polygon;
  const vtkIdType* s = mesh.FaceStream + mesh.FaceLocations[cell];
  const vtkIdType faces = *s++;
  for (vtkIdType j = 0; j < faces; ++j)
  {
    const vtkIdType n = *s++;
    polygon.assign(s, s + n);
    s += n;
    f(polygon.data(), static_cast<int>(n), static_cast<int>(j));
  }
}

// Describes what is wrong with a cell whose point count does not fit its
// type, that refers to a point out of range, or (a polyhedron) whose face
// stream is broken; empty for a good cell.
template <typename T>
std::string CellProblem(const Mesh<T>& mesh, vtkIdType cell, const TypeInfo& info)
{
  const T first = mesh.Offsets[cell], last = mesh.Offsets[cell + 1];
  if (first < 0 || last < first || last > mesh.ConnectivitySize)
  {
    return "lies outside the grid's connectivity";
  }
  const vtkIdType n = mesh.Size(cell);
  if ((info.K == Kind::Solid || info.K == Kind::Pixel) && n != info.NumberOfPoints)
  {
    return "has " + std::to_string(n) + " points where its type has " +
      std::to_string(info.NumberOfPoints);
  }
  const T* p = mesh.Points(cell);
  for (vtkIdType i = 0; i < n; ++i)
  {
    if (!mesh.ValidPoint(p[i]))
    {
      return "refers to point " + std::to_string(p[i]) + " of " +
        std::to_string(mesh.NumberOfPoints);
    }
  }
  if (info.K != Kind::Polyhedron)
  {
    return {};
  }
  const vtkIdType location = mesh.FaceLocations ? mesh.FaceLocations[cell] : -1;
  if (location < 0 || location >= mesh.FaceStreamSize)
  {
    return "is a polyhedron without faces";
  }
  const vtkIdType* s = mesh.FaceStream + location;
  const vtkIdType* end = mesh.FaceStream + mesh.FaceStreamSize;
  const vtkIdType faces = *s++;
  for (vtkIdType j = 0; j < faces; ++j)
  {
    if (s >= end || *s < 3 || *s > end - s - 1)
    {
      return "has a face of fewer than three points or one that runs past the face stream";
    }
    const vtkIdType size = *s++;
    for (vtkIdType k = 0; k < size; ++k, ++s)
    {
      if (!mesh.ValidPoint(*s))
      {
        return "has a face with point " + std::to_string(*s) + " of " +
          std::to_string(mesh.NumberOfPoints);
      }
    }
  }
  return {};
}

// The output cells in the order of vtkPolyData's cell ids (vertices, lines,
// then polygons: the 2D cells first, then the boundary faces), each with the
// input cell it came from.
struct Output
{
  vtkNew<vtkCellArray> Verts, Lines, Polys, Faces;
  std::vector<vtkIdType> VertSources, LineSources, PolySources, FaceSources;
  std::vector<vtkIdType> Scratch;
};

void AddCell(vtkCellArray* cells,
  std::vector<vtkIdType>& sources,
  vtkIdType source,
  vtkIdType n,
  const vtkIdType* ids)
{
  cells->InsertNextCell(n, ids);
  sources.push_back(source);
}

// The cells that pass to the output as cells of their own: vertices,
// lines, 2D cells.
template <typename T>
void AddPassedCell(const Mesh<T>& mesh, vtkIdType cell, Kind kind, Output& out)
{
  const vtkIdType n = mesh.Size(cell);
  const T* p = mesh.Points(cell);
  std::vector<vtkIdType>& ids = out.Scratch;
  ids.assign(p, p + n);
  switch (kind)
  {
    case Kind::Vertices:
      AddCell(out.Verts, out.VertSources, cell, n, ids.data());
      break;
    case Kind::Line:
      AddCell(out.Lines, out.LineSources, cell, n, ids.data());
      break;
    case Kind::Polygon:
      AddCell(out.Polys, out.PolySources, cell, n, ids.data());
      break;
    case Kind::Pixel:
    {
      const vtkIdType quad[4] = { ids[0], ids[1], ids[3], ids[2] };
      AddCell(out.Polys, out.PolySources, cell, 4, quad);
      break;
    }
    case Kind::Strip:
    {
      // As VTK's filter splits it: every other triangle turned over.
      vtkIdType tri[3] = { n > 0 ? ids[0] : 0, n > 1 ? ids[1] : 0, 0 };
      int toggle = 0;
      for (vtkIdType i = 2; i < n; ++i)
      {
        tri[2] = ids[i];
        AddCell(out.Polys, out.PolySources, cell, 3, tri);
        tri[toggle] = ids[i];
        toggle = 1 - toggle;
      }
      break;
    }
    default:
      break;
  }
}

// Reports the step about to run and the progress made.
using StepFunction = std::function<void(const char*, double)>;

bool IsVolume(const TypeInfo& info)
{
  return info.K == Kind::Solid || info.K == Kind::Polyhedron;
}

// Fills out with the surface of mesh; returns false with error set on a
// bad cell.
template <typename T>
bool ExtractFaces(const Mesh<T>& mesh, Output& out, const StepFunction& step, std::string& error)
{
  const vtkIdType numCells = mesh.NumberOfCells;
  std::array<TypeInfo, 256> infos;
  for (int type = 0; type < VTK_NUMBER_OF_CELL_TYPES; ++type)
  {
    infos[type] = GetTypeInfo(type);
  }

  // Pass 1: check the cells, pass the vertices, lines and 2D cells through
  // and count the faces of the 3D cells per bucket.
  step("checking cells", 0.0);
  FaceTable<3> triangles(mesh.NumberOfPoints);
  FaceTable<4> quads(mesh.NumberOfPoints);
  std::uint64_t numFaces = 0;
  for (vtkIdType cell = 0; cell < numCells; ++cell)
  {
    const TypeInfo& info = infos[mesh.Types[cell]];
    std::string problem = CellProblem(mesh, cell, info);
    if (!problem.empty())
    {
      error = "cell " + std::to_string(cell) + " " + problem;
      return false;
    }
    if (!IsVolume(info))
    {
      AddPassedCell(mesh, cell, info.K, out);
      continue;
    }
    ForEachFace(mesh,
      cell,
      info,
      [&](const Id32* ids, int n, int)
      {
        ++numFaces;
        if (n == 3)
        {
          triangles.Count(ids);
        }
        else if (n == 4)
        {
          quads.Count(ids);
        }
      });
  }
  if (numFaces >= NoId)
  {
    error = "the grid has more cell faces than 32 bits count";
    return false;
  }

  // Pass 2: the faces into their buckets, numbered in cell order.
  step("sorting faces", 0.3);
  triangles.Allocate();
  quads.Allocate();
  std::vector<PolygonEntry> polygons;
  Id32 face = 0;
  for (vtkIdType cell = 0; cell < numCells; ++cell)
  {
    const TypeInfo& info = infos[mesh.Types[cell]];
    if (IsVolume(info))
    {
      ForEachFace(mesh,
        cell,
        info,
        [&](const Id32* ids, int n, int)
        {
          if (n == 3)
          {
            triangles.Add(ids, face);
          }
          else if (n == 4)
          {
            quads.Add(ids, face);
          }
          else
          {
            polygons.push_back(MakePolygonEntry(ids, n, face));
          }
          ++face;
        });
    }
  }

  // Pass 3: a face met once is on the boundary.
  step("matching faces", 0.5);
  std::vector<unsigned char> boundary(numFaces, 0);
  triangles.FlagBoundary(boundary);
  quads.FlagBoundary(boundary);
  FlagSingleFaces(polygons.data(), polygons.data() + polygons.size(), boundary);

  // Pass 4: the boundary faces in cell order, each started at its smallest
  // point id as VTK's filter starts it.
  step("collecting boundary faces", 0.8);
  vtkIdType rotated[VTK_CELL_SIZE];
  std::vector<vtkIdType> large;
  face = 0;
  for (vtkIdType cell = 0; cell < numCells; ++cell)
  {
    const TypeInfo& info = infos[mesh.Types[cell]];
    if (!IsVolume(info))
    {
      continue;
    }
    const Id32 firstFace = face;
    face += static_cast<Id32>(
      info.K == Kind::Solid ? info.NumberOfFaces : mesh.FaceStream[mesh.FaceLocations[cell]]);
    const unsigned char* flags = boundary.data() + firstFace;
    const unsigned char* flagsEnd = boundary.data() + face;
    if (std::find(flags, flagsEnd, static_cast<unsigned char>(1)) == flagsEnd)
    {
      continue;
    }
    ForEachFace(mesh,
      cell,
      info,
      [&](const Id32* ids, int n, int j)
      {
        if (!flags[j])
        {
          return;
        }
        vtkIdType* target = rotated;
        if (n > VTK_CELL_SIZE)
        {
          large.resize(static_cast<size_t>(n));
          target = large.data();
        }
        const int start = SmallestAt(ids, n);
        for (int k = 0; k < n; ++k)
        {
          target[k] = ids[(start + k) % n];
        }
        AddCell(out.Faces, out.FaceSources, cell, n, target);
      });
  }
  return true;
}

// Copies the cell data of the sources into the output's cells 0..n-1.
void PassCellData(vtkCellData* in,
  vtkCellData* outData,
  const std::vector<vtkIdType>& sources,
  bool originalIds)
{
  const auto n = static_cast<vtkIdType>(sources.size());
  vtkNew<vtkIdList> from;
  from->SetNumberOfIds(n);
  std::copy(sources.begin(), sources.end(), from->GetPointer(0));
  vtkNew<vtkIdList> to;
  to->SetNumberOfIds(n);
  std::iota(to->GetPointer(0), to->GetPointer(0) + n, vtkIdType(0));
  outData->CopyAllocate(in, n);
  outData->CopyData(in, from, to);
  if (originalIds)
  {
    vtkNew<vtkIdTypeArray> ids;
    ids->SetName("vtkOriginalCellIds");
    ids->SetNumberOfValues(n);
    std::copy(sources.begin(), sources.end(), ids->GetPointer(0));
    outData->AddArray(ids);
  }
}

// Calls f(mesh) with the grid's cells seen through the storage type of its
// cell array; returns what f returns.
template <typename F>
bool WithMesh(vtkUnstructuredGrid* grid, F&& f)
{
  auto run = [&](auto* offsets, auto* connectivity)
  {
    using T = std::remove_pointer_t<decltype(offsets->GetPointer(0))>;
    Mesh<T> mesh;
    mesh.Offsets = offsets->GetPointer(0);
    mesh.Connectivity = connectivity->GetPointer(0);
    mesh.ConnectivitySize = connectivity->GetNumberOfValues();
    mesh.Types = grid->GetCellTypesArray()->GetPointer(0);
    mesh.NumberOfCells = grid->GetNumberOfCells();
    mesh.NumberOfPoints = grid->GetNumberOfPoints();
    vtkIdTypeArray* faces = grid->GetFaces();
    vtkIdTypeArray* locations = grid->GetFaceLocations();
    if (faces && locations && locations->GetNumberOfValues() >= mesh.NumberOfCells)
    {
      mesh.FaceStream = faces->GetPointer(0);
      mesh.FaceStreamSize = faces->GetNumberOfValues();
      mesh.FaceLocations = locations->GetPointer(0);
    }
    return f(mesh);
  };
  vtkCellArray* cells = grid->GetCells();
  return cells->IsStorage64Bit() ? run(cells->GetOffsetsArray64(), cells->GetConnectivityArray64())
                                 : run(cells->GetOffsetsArray32(), cells->GetConnectivityArray32());
}

// Whether every cell of the grid passes CellProblem(), as VTK's filter
// needs too: it reads whatever the cells point to.
bool CheckCells(vtkUnstructuredGrid* grid, std::string& error)
{
  if (!grid->GetCells() || !grid->GetCellTypesArray() ||
    grid->GetCellTypesArray()->GetNumberOfValues() != grid->GetNumberOfCells())
  {
    return true; // no cells, or none VTK's filter can reach
  }
  return WithMesh(grid,
    [&](const auto& mesh)
    {
      for (vtkIdType cell = 0; cell < mesh.NumberOfCells; ++cell)
      {
        const std::string problem = CellProblem(mesh, cell, GetTypeInfo(mesh.Types[cell]));
        if (!problem.empty())
        {
          error = "cell " + std::to_string(cell) + " " + problem;
          return false;
        }
      }
      return true;
    });
}

// The surface of a grid of the cells this file handles, in output.
bool Extract(vtkUnstructuredGrid* grid,
  vtkPolyData* output,
  bool originalIds,
  const StepFunction& step,
  std::string& error)
{
  Output out;
  if (!WithMesh(grid, [&](const auto& mesh) { return ExtractFaces(mesh, out, step, error); }))
  {
    return false;
  }

  // The 2D cells come first among the polygons, then the faces.
  out.Polys->Append(out.Faces);
  std::vector<vtkIdType> sources;
  sources.reserve(out.VertSources.size() + out.LineSources.size() + out.PolySources.size() +
    out.FaceSources.size());
  for (const auto* part :
    { &out.VertSources, &out.LineSources, &out.PolySources, &out.FaceSources })
  {
    sources.insert(sources.end(), part->begin(), part->end());
  }
  output->SetPoints(grid->GetPoints());
  output->GetPointData()->PassData(grid->GetPointData());
  output->SetVerts(out.Verts);
  output->SetLines(out.Lines);
  output->SetPolys(out.Polys);
  PassCellData(grid->GetCellData(), output->GetCellData(), sources, originalIds);
  output->GetFieldData()->PassData(grid->GetFieldData());
  return true;
}

// Whether the grid needs VTK's filter: it holds cells of other types, or
// ghost cells (which VTK's filter leaves out), or more points or cells than
// 32 bits number.
bool NeedsVtkFilter(vtkUnstructuredGrid* grid)
{
  if (grid->GetCellGhostArray() || grid->GetNumberOfPoints() >= static_cast<vtkIdType>(NoId) ||
    grid->GetNumberOfCells() >= static_cast<vtkIdType>(NoId) || !grid->GetCells() ||
    !grid->GetCellTypesArray() ||
    grid->GetCellTypesArray()->GetNumberOfValues() != grid->GetNumberOfCells())
  {
    return true;
  }
  vtkUnsignedCharArray* types = grid->GetCellTypesArray();
  const unsigned char* t = types->GetPointer(0);
  bool seen[256] = {};
  for (vtkIdType i = 0; i < types->GetNumberOfValues(); ++i)
  {
    seen[t[i]] = true;
  }
  for (int type = 0; type < 256; ++type)
  {
    if (seen[type] && (type >= VTK_NUMBER_OF_CELL_TYPES || GetTypeInfo(type).K == Kind::Unhandled))
    {
      return true;
    }
  }
  return false;
}
} // namespace

//------------------------------------------------------------------------------
void BoundarySurface::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "PassThroughCellIds: " << this->PassThroughCellIds << "\n";
  os << indent << "UsedVtkFilter: " << this->UsedVtkFilter << "\n";
  os << indent << "Log: " << (this->Log ? "set" : "none") << "\n";
}

//------------------------------------------------------------------------------
int BoundarySurface::FillInputPortInformation(int, vtkInformation* info)
{
  info->Set(vtkAlgorithm::INPUT_REQUIRED_DATA_TYPE(), "vtkDataSet");
  return 1;
}

//------------------------------------------------------------------------------
int BoundarySurface::RequestData(vtkInformation*,
  vtkInformationVector** inputVector,
  vtkInformationVector* outputVector)
{
  vtkDataSet* input = vtkDataSet::GetData(inputVector[0]);
  vtkPolyData* output = vtkPolyData::GetData(outputVector);
  if (!input || !output)
  {
    vtkErrorMacro("No input data set or no poly data output.");
    return 0;
  }
  const auto start = std::chrono::steady_clock::now();
  auto seconds = [&start]()
  { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };

  auto* grid = vtkUnstructuredGrid::SafeDownCast(input);
  this->UsedVtkFilter = !grid || NeedsVtkFilter(grid);
  if (this->Log)
  {
    *this->Log << "extracting the surface of " << input->GetNumberOfCells() << " cells"
               << (this->UsedVtkFilter ? " with vtkDataSetSurfaceFilter" : "") << std::endl;
  }
  std::string error;
  if (this->UsedVtkFilter)
  {
    if (grid && !CheckCells(grid, error))
    {
      vtkErrorMacro("Cannot extract the surface: " << error << ".");
      return 0;
    }
    vtkNew<vtkDataSetSurfaceFilter> filter;
    filter->SetInputData(input);
    filter->SetPassThroughCellIds(this->PassThroughCellIds);
    filter->Update();
    output->ShallowCopy(filter->GetOutput());
  }
  else
  {
    const bool large = grid->GetNumberOfCells() >= StepLinesFromCells;
    auto step = [this, large](const char* what, double progress)
    {
      this->UpdateProgress(progress);
      if (this->Log && large)
      {
        *this->Log << "  surface: " << what << std::endl;
      }
    };
    if (!Extract(grid, output, this->PassThroughCellIds, step, error))
    {
      vtkErrorMacro("Cannot extract the surface: " << error << ".");
      return 0;
    }
  }
  if (this->Log)
  {
    *this->Log << "surface: " << output->GetNumberOfCells() << " cells in " << seconds() << " s"
               << std::endl;
  }
  return 1;
}

} // namespace orvi
