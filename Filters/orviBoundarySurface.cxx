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
#include "vtkSMPThreadLocal.h"
#include "vtkSMPTools.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
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
// A triangle (N = 3) or quad (N = 4) face as the ids that identify it. A
// triangle's are its point ids in ascending order. A quad's are its
// smallest id, the id opposite, then the two neighbours in ascending order:
// the same four points in another cyclic order make another quad, as in
// VTK's filter. Either way the first id is the face's smallest.
template <int N>
using Key = std::array<Id32, N>;

int SmallestAt(const Id32* p, int n)
{
  return static_cast<int>(std::min_element(p, p + n) - p);
}

Key<3> MakeKey3(const Id32* p)
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
  return { a, b, c };
}

Key<4> MakeKey4(const Id32* p)
{
  const int i = SmallestAt(p, 4);
  const Id32 b = p[(i + 1) & 3], d = p[(i + 3) & 3];
  return { p[i], p[(i + 2) & 3], std::min(b, d), std::max(b, d) };
}

template <int N>
Key<N> MakeKey(const Id32* p)
{
  if constexpr (N == 3)
  {
    return MakeKey3(p);
  }
  else
  {
    return MakeKey4(p);
  }
}

// The keys of a tetrahedron's four faces, from its point ids sorted once
// (the commonest cell of large meshes: four sorts of three ids would cost
// it more). The first three share the smallest id.
template <typename T>
std::array<Key<3>, 4> TetraKeys(const T* p)
{
  Id32 s[4] = { static_cast<Id32>(p[0]),
    static_cast<Id32>(p[1]),
    static_cast<Id32>(p[2]),
    static_cast<Id32>(p[3]) };
  auto order = [&s](int i, int j)
  {
    if (s[i] > s[j])
    {
      std::swap(s[i], s[j]);
    }
  };
  order(0, 1);
  order(2, 3);
  order(0, 2);
  order(1, 3);
  order(1, 2);
  return {
    { { s[0], s[1], s[2] }, { s[0], s[1], s[3] }, { s[0], s[2], s[3] }, { s[1], s[2], s[3] } }
  };
}

// A face of five or more points: rare, kept apart. Its key is its point
// sequence started at the smallest id and run towards the smaller
// neighbour, so that the same polygon wound either way matches.
using PolygonKey = std::vector<Id32>;

PolygonKey MakePolygonKey(const Id32* p, int n)
{
  PolygonKey ids(p, p + n);
  std::rotate(ids.begin(), ids.begin() + SmallestAt(p, n), ids.end());
  if (ids[n - 1] < ids[1])
  {
    std::reverse(ids.begin() + 1, ids.end());
  }
  return ids;
}

// Calls f(key) for each key met once in the sorted run [begin, end).
template <typename K, typename F>
void ForEachSingle(const K* begin, const K* end, F&& f)
{
  for (const K* run = begin; run != end;)
  {
    const K* next = run + 1;
    while (next != end && *next == *run)
    {
      ++next;
    }
    if (next == run + 1)
    {
      f(*run);
    }
    run = next;
  }
}

// A hash of a face's key: its ids mixed by multiplication, with the best
// bits on top.
constexpr std::uint64_t HashFactor = 0x9E3779B97F4A7C15ull;

std::uint64_t HashOf(std::uint64_t key)
{
  return key * HashFactor;
}

template <size_t N>
std::uint64_t HashOf(const std::array<Id32, N>& key)
{
  std::uint64_t h = 0;
  for (const Id32 id : key)
  {
    h = (h ^ id) * HashFactor;
  }
  return h;
}

// The slots of the hash table that matches the faces of a bucket: a key,
// and whether it was met again.
template <typename K>
struct WideSlot
{
  using KeyType = K;
  K Key;
  unsigned char Met = 0; // 0 free, 1 met once, 2 met again

  bool Free() const { return this->Met == 0; }
  bool Holds(const K& key) const { return this->Key == key; }
  void Put(const K& key)
  {
    this->Key = key;
    this->Met = this->Met == 0 ? 1 : 2;
  }
  bool Single() const { return this->Met == 1; }
};

// A packed key below 2^62 keeps "met again" in its top bit; a free slot
// holds all ones.
struct PackedSlot
{
  using KeyType = std::uint64_t;
  static constexpr std::uint64_t FreeValue = ~std::uint64_t(0);
  static constexpr std::uint64_t Again = std::uint64_t(1) << 63;
  std::uint64_t Value = FreeValue;

  std::uint64_t Key() const { return this->Value & ~Again; }
  bool Free() const { return this->Value == FreeValue; }
  bool Holds(std::uint64_t key) const { return this->Key() == key; }
  void Put(std::uint64_t key) { this->Value = this->Free() ? key : (this->Value | Again); }
  bool Single() const { return !this->Free() && !(this->Value & Again); }
};

// Counts the keys of one bucket at a time and hands over those met once: a
// hash table (open addressing) of the caller's, reused bucket after bucket.
// Handing over the keys met once frees their slots again, so that no bucket
// pays for clearing the table. The table holds all of a bucket's keys
// distinct at 4/5 full; a mesh's faces, nearly all met twice, fill it to
// about 2/5, and it stays half the size that room for every key twice
// over would take, in a core's cache.
template <typename Slot>
class BucketMatcher
{
public:
  using KeyType = typename Slot::KeyType;

  // Room for the count keys of the next bucket.
  void Start(size_t count)
  {
    this->Bits = 4;
    while ((size_t(1) << this->Bits) < count + count / 4)
    {
      ++this->Bits;
    }
    this->Mask = (size_t(1) << this->Bits) - 1;
    if (this->Table.size() <= this->Mask)
    {
      this->Table.resize(this->Mask + 1); // every slot past the last bucket's is free
    }
  }

  void Insert(const KeyType* begin, const KeyType* end)
  {
    // The slot of the key a few places ahead is fetched early: the table is
    // in the core's cache, but its latency would otherwise stall each key.
    constexpr size_t ahead = 8;
    for (const KeyType* k = begin; k != end; ++k)
    {
      if (static_cast<size_t>(end - k) > ahead)
      {
        __builtin_prefetch(&this->Table[this->SlotOf(k[ahead])], 1);
      }
      size_t at = this->SlotOf(*k);
      while (!this->Table[at].Free() && !this->Table[at].Holds(*k))
      {
        at = (at + 1) & this->Mask;
      }
      this->Table[at].Put(*k);
    }
  }

  // Calls single(slot) for each slot holding a key met once, in no
  // particular order, and frees every slot.
  template <typename F>
  void TakeSingles(F&& single)
  {
    for (size_t at = 0; at <= this->Mask; ++at)
    {
      Slot& slot = this->Table[at];
      if (slot.Single())
      {
        single(slot);
      }
      slot = Slot();
    }
  }

private:
  size_t SlotOf(const KeyType& key) const
  {
    return static_cast<size_t>(HashOf(key) >> (64 - this->Bits));
  }

  std::vector<Slot> Table;
  int Bits = 4;
  size_t Mask = 15;
};

// An array of trivial values for the large tables, uninitialised, freed by
// std::free(). Whether its pages are huge is the system's policy: asking for
// them made a 10-million-cell surface slower on a virtual machine whose
// huge pages fault in several times slower than small ones.
struct FreeDeleter
{
  void operator()(void* p) const { std::free(p); }
};
template <typename V>
using LargeArray = std::unique_ptr<V[], FreeDeleter>;

template <typename V>
LargeArray<V> AllocateLarge(size_t count)
{
  static_assert(std::is_trivially_copyable_v<V>);
  if (count == 0)
  {
    return nullptr;
  }
  void* p = std::malloc(count * sizeof(V));
  if (!p)
  {
    throw std::bad_alloc();
  }
  return LargeArray<V>(static_cast<V*>(p));
}

// Where each slice writes its keys in each bucket of an array of keys:
// counted first, then laid out bucket by bucket, the slices' parts of a
// bucket one after the other.
class BucketLayout
{
public:
  void Reset(size_t slices, size_t buckets)
  {
    this->NumberOfSlices = slices;
    this->NumberOfBuckets = buckets;
    this->Cursors.assign(slices * buckets, 0);
  }

  void Count(size_t slice, size_t bucket) { ++this->Cursor(slice, bucket); }

  // Turns the counts into where each slice writes in each bucket.
  void Layout()
  {
    this->Starts.assign(this->NumberOfBuckets + 1, 0);
    size_t total = 0;
    for (size_t b = 0; b < this->NumberOfBuckets; ++b)
    {
      this->Starts[b] = total;
      for (size_t s = 0; s < this->NumberOfSlices; ++s)
      {
        size_t& cursor = this->Cursor(s, b);
        const size_t count = cursor;
        cursor = total;
        total += count;
      }
    }
    this->Starts[this->NumberOfBuckets] = total;
  }

  // Where the slice's next key of the bucket goes.
  size_t Next(size_t slice, size_t bucket) { return this->Cursor(slice, bucket)++; }

  size_t Start(size_t bucket) const { return this->Starts[bucket]; }

  // The keys of buckets [first, last).
  size_t Between(size_t first, size_t last) const
  {
    return this->Starts[last] - this->Starts[first];
  }

  // The keys of the largest round of buckets ends[r - 1] to ends[r]
  // (ends[-1] being 0).
  size_t Largest(const std::vector<size_t>& ends) const
  {
    size_t most = 0, first = 0;
    for (const size_t last : ends)
    {
      most = std::max(most, this->Between(first, last));
      first = last;
    }
    return most;
  }

private:
  size_t& Cursor(size_t slice, size_t bucket)
  {
    return this->Cursors[slice * this->NumberOfBuckets + bucket];
  }

  size_t NumberOfSlices = 0, NumberOfBuckets = 0;
  std::vector<size_t> Starts;  // bucket b holds keys [Starts[b], Starts[b + 1])
  std::vector<size_t> Cursors; // per slice and bucket: where its next key goes
};

// The triangle or quad faces of the 3D cells, to find those met once.
//
// The keys go into coarse buckets of their smallest point id (that id
// shifted right by Shift, PointsPerBucket points a bucket): filling them
// writes to few places at a time, so it streams even for a mesh numbered at
// random. Few enough that the lines being written stay in a core's cache:
// buckets of 512 points (four times as many lines) made the filling of the
// 10-million-tetrahedron mesh take about half as long again. The cells are
// split into slices, each filling its own part of every bucket, so that
// the slices run in parallel. Each bucket is then
// matched in cache, buckets in parallel: its keys go into a hash table the
// size of the bucket, which counts each key, and the keys met once are
// kept, sorted. What stays is the sorted list of the keys met once; the
// buckets are released.
//
// The buckets of a large mesh are filled and matched in a few rounds, each
// over a range of its smallest point ids, in memory reused from round to
// round: fresh pages cost a virtual machine more than the passes over the
// cells that a round repeats, and the peak is a round's keys, not all.
//
// A triangle of a mesh of fewer than 2^25 points is held packed in 64 bits:
// its bucket gives the high bits of its smallest id, which leaves the low
// bits of that id and the two other ids to pack. That is two thirds of the
// memory and of the traffic of the three ids.
//
// A tetrahedron of points a < b < c < d then goes in as two records rather
// than four keys: its three faces through a as one record in a's bucket,
// the packed key of a, b and c with d beside it (its low bits in the
// word's free high bits, the rest in a small extra array), and its face
// b, c, d as a key in b's bucket. The matching unfolds the record into its
// three keys in cache. That is 16 to 20 bytes a tetrahedron (18 for the
// 10-million-tetrahedron mesh of 1.7 million points) rather than 32 to
// write and read back.
template <int N>
class FaceTable
{
public:
  static constexpr vtkIdType PointsPerBucket = 2048;

  FaceTable(vtkIdType numberOfPoints, size_t numberOfSlices)
  {
    // PointsPerBucket points a bucket: a tetrahedral mesh has some 24
    // faces a point, and the hash table of a bucket's faces (8 bytes a
    // slot) stays in a core's cache.
    while ((vtkIdType(1) << this->Shift) < PointsPerBucket)
    {
      ++this->Shift;
    }
    this->NumberOfBuckets = static_cast<size_t>(numberOfPoints >> this->Shift) + 1;
    this->Faces.Reset(numberOfSlices, this->NumberOfBuckets);
    this->Tetra.Reset(numberOfSlices, this->NumberOfBuckets);
    if constexpr (N == 3)
    {
      int bits = 1;
      while (bits < 32 && (vtkIdType(1) << bits) < numberOfPoints)
      {
        ++bits;
      }
      // The packed key stays below 2^62: see PackedSlot.
      if (this->Shift + 2 * bits <= 62)
      {
        this->PointBits = bits;
        this->PlanTetraRecords();
      }
    }
  }

  void Count(size_t slice, const Key<N>& key) { this->Faces.Count(slice, this->BucketOf(key)); }

  // Counts the keys of a tetrahedron's faces (from TetraKeys()).
  void CountTetra(size_t slice, const std::array<Key<3>, 4>& keys)
  {
    if (this->TetraRecords)
    {
      this->Tetra.Count(slice, this->BucketOf(keys[0]));
      this->Count(slice, keys[3]);
      return;
    }
    for (const Key<3>& key : keys)
    {
      this->Count(slice, key);
    }
  }

  // Turns the counts into where each slice writes in each bucket.
  void Layout()
  {
    this->Faces.Layout();
    this->Tetra.Layout();
    this->Singles.assign(this->NumberOfBuckets, {});
  }

  size_t GetNumberOfBuckets() const { return this->NumberOfBuckets; }
  int GetShift() const { return this->Shift; }

  // The bytes that the keys of buckets [first, last) take.
  size_t BytesIn(size_t first, size_t last) const
  {
    return this->Faces.Between(first, last) * this->KeyBytes() +
      this->Tetra.Between(first, last) * this->TetraRecordBytes();
  }

  // Room for the keys of the largest round of buckets ends[r - 1] to
  // ends[r] (ends[-1] being 0), reused round after round: its pages are
  // then faulted in once.
  void Reserve(const std::vector<size_t>& ends)
  {
    const size_t faces = this->Faces.Largest(ends);
    if (this->PointBits > 0)
    {
      this->Packed = AllocateLarge<std::uint64_t>(faces);
    }
    else
    {
      this->Keys = AllocateLarge<Key<N>>(faces);
    }
    const size_t records = this->Tetra.Largest(ends);
    this->TetraWords = AllocateLarge<std::uint64_t>(records);
    this->TetraHigh = AllocateLarge<unsigned char>(records * static_cast<size_t>(this->HighBytes));
  }

  // The buckets that the next Add()s keep and the next Match() matches.
  void SetRound(size_t first, size_t last)
  {
    this->RoundFirst = first;
    this->RoundLast = last;
  }

  // Keeps the key if its bucket is in the round.
  void Add(size_t slice, const Key<N>& key)
  {
    const size_t bucket = this->BucketOf(key);
    if (!this->InRound(bucket))
    {
      return;
    }
    const size_t at = this->Faces.Next(slice, bucket) - this->Faces.Start(this->RoundFirst);
    if (this->PointBits > 0)
    {
      this->Packed[at] = this->Pack(key);
    }
    else
    {
      this->Keys[at] = key;
    }
  }

  // Keeps the keys of a tetrahedron's faces (from TetraKeys()) whose
  // buckets are in the round.
  void AddTetra(size_t slice, const std::array<Key<3>, 4>& keys)
  {
    if (!this->TetraRecords)
    {
      for (const Key<3>& key : keys)
      {
        this->Add(slice, key);
      }
      return;
    }
    const size_t bucket = this->BucketOf(keys[0]);
    if (this->InRound(bucket))
    {
      const size_t at = this->Tetra.Next(slice, bucket) - this->Tetra.Start(this->RoundFirst);
      const Id32 d = keys[1][2];
      this->TetraWords[at] =
        this->Pack(keys[0]) | (static_cast<std::uint64_t>(d) << this->FaceBits);
      this->StoreHigh(at, d >> this->WordBitsOfD);
    }
    this->Add(slice, keys[3]);
  }

  // Keeps the keys of the round's buckets met once, sorted.
  void Match()
  {
    // A table per thread, reused bucket after bucket: fresh memory for
    // each would cost its page faults again.
    vtkSMPThreadLocal<BucketMatcher<PackedSlot>> packedMatchers;
    vtkSMPThreadLocal<BucketMatcher<WideSlot<Key<N>>>> matchers;
    vtkSMPThreadLocal<std::vector<std::uint64_t>> unfolded;
    const size_t buckets = this->RoundLast - this->RoundFirst;
    const auto grain = static_cast<vtkIdType>(std::max<size_t>(1, buckets / 64));
    vtkSMPTools::For(static_cast<vtkIdType>(this->RoundFirst),
      static_cast<vtkIdType>(this->RoundLast),
      grain,
      [&](vtkIdType first, vtkIdType last)
      {
        for (auto b = static_cast<size_t>(first); b < static_cast<size_t>(last); ++b)
        {
          if (this->PointBits > 0)
          {
            this->MatchPacked(b, packedMatchers.Local(), unfolded.Local());
          }
          else
          {
            this->MatchWide(b, matchers.Local());
          }
          std::sort(this->Singles[b].begin(), this->Singles[b].end());
        }
      });
  }

  // The keys met once of every round, in one sorted list; releases the
  // buckets.
  void Finish()
  {
    this->Keys.reset();
    this->Packed.reset();
    this->TetraWords.reset();
    this->TetraHigh.reset();
    size_t total = 0;
    for (const auto& s : this->Singles)
    {
      total += s.size();
    }
    this->Boundary.reserve(total);
    for (const auto& s : this->Singles)
    {
      this->Boundary.insert(this->Boundary.end(), s.begin(), s.end());
    }
    this->Singles = {};
  }

  /// The keys met once, sorted.
  const std::vector<Key<N>>& GetBoundary() const { return this->Boundary; }

  bool IsBoundary(const Key<N>& key) const
  {
    return std::binary_search(this->Boundary.begin(), this->Boundary.end(), key);
  }

private:
  // Whether the tetrahedra go in as records: with packed keys, d's bits
  // beyond the word's free ones in 1, 2 or 4 bytes of the extra array.
  void PlanTetraRecords()
  {
    this->TetraRecords = true;
    this->FaceBits = this->Shift + 2 * this->PointBits;
    this->WordBitsOfD = std::min(64 - this->FaceBits, this->PointBits);
    const int high = this->PointBits - this->WordBitsOfD;
    this->HighBytes = high == 0 ? 0 : high <= 8 ? 1 : high <= 16 ? 2 : 4;
  }

  size_t BucketOf(const Key<N>& key) const { return key[0] >> this->Shift; }
  bool InRound(size_t bucket) const
  {
    return bucket >= this->RoundFirst && bucket < this->RoundLast;
  }

  size_t KeyBytes() const { return this->PointBits > 0 ? sizeof(std::uint64_t) : sizeof(Key<N>); }
  size_t TetraRecordBytes() const
  {
    return sizeof(std::uint64_t) + static_cast<size_t>(this->HighBytes);
  }

  void StoreHigh(size_t at, Id32 high)
  {
    unsigned char* p = this->TetraHigh.get();
    switch (this->HighBytes)
    {
      case 1:
        p[at] = static_cast<unsigned char>(high);
        break;
      case 2:
        reinterpret_cast<std::uint16_t*>(p)[at] = static_cast<std::uint16_t>(high);
        break;
      case 4:
        reinterpret_cast<std::uint32_t*>(p)[at] = high;
        break;
      default:
        break;
    }
  }

  std::uint64_t LoadHigh(size_t at) const
  {
    const unsigned char* p = this->TetraHigh.get();
    switch (this->HighBytes)
    {
      case 1:
        return p[at];
      case 2:
        return reinterpret_cast<const std::uint16_t*>(p)[at];
      case 4:
        return reinterpret_cast<const std::uint32_t*>(p)[at];
      default:
        return 0;
    }
  }

  // The bucket's packed keys, and its tetrahedra's records unfolded into
  // their three keys each (in unfolded, reused), counted.
  void MatchPacked(size_t b,
    BucketMatcher<PackedSlot>& matcher,
    std::vector<std::uint64_t>& unfolded)
  {
    const size_t begin = this->Faces.Start(b) - this->Faces.Start(this->RoundFirst);
    const size_t end = this->Faces.Start(b + 1) - this->Faces.Start(this->RoundFirst);
    this->UnfoldTetra(b, unfolded);
    matcher.Start(end - begin + unfolded.size());
    matcher.Insert(this->Packed.get() + begin, this->Packed.get() + end);
    matcher.Insert(unfolded.data(), unfolded.data() + unfolded.size());
    std::vector<Key<N>>& found = this->Singles[b];
    matcher.TakeSingles(
      [&](const PackedSlot& slot) { found.push_back(this->Unpack(b, slot.Key())); });
  }

  void MatchWide(size_t b, BucketMatcher<WideSlot<Key<N>>>& matcher)
  {
    const size_t begin = this->Faces.Start(b) - this->Faces.Start(this->RoundFirst);
    const size_t end = this->Faces.Start(b + 1) - this->Faces.Start(this->RoundFirst);
    matcher.Start(end - begin);
    matcher.Insert(this->Keys.get() + begin, this->Keys.get() + end);
    std::vector<Key<N>>& found = this->Singles[b];
    matcher.TakeSingles([&](const WideSlot<Key<N>>& slot) { found.push_back(slot.Key); });
  }

  // The packed keys a, b, c; a, b, d and a, c, d of the bucket's records.
  void UnfoldTetra(size_t b, std::vector<std::uint64_t>& unfolded) const
  {
    unfolded.clear();
    if (!this->TetraRecords)
    {
      return;
    }
    const size_t begin = this->Tetra.Start(b) - this->Tetra.Start(this->RoundFirst);
    const size_t end = this->Tetra.Start(b + 1) - this->Tetra.Start(this->RoundFirst);
    unfolded.resize(3 * (end - begin));
    std::uint64_t* out = unfolded.data();
    const std::uint64_t idMask = (std::uint64_t(1) << this->PointBits) - 1;
    const std::uint64_t faceMask =
      this->FaceBits == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << this->FaceBits) - 1;
    for (size_t at = begin; at < end; ++at)
    {
      const std::uint64_t word = this->TetraWords[at];
      const std::uint64_t abc = word & faceMask;
      const std::uint64_t d = (word >> this->FaceBits) | (this->LoadHigh(at) << this->WordBitsOfD);
      const std::uint64_t ab = abc & ~idMask;
      const std::uint64_t c = abc & idMask;
      const std::uint64_t a = abc >> (2 * this->PointBits) << (2 * this->PointBits);
      *out++ = abc;
      *out++ = ab | d;
      *out++ = a | (c << this->PointBits) | d;
    }
  }

  std::uint64_t Pack(const Key<N>& key) const
  {
    const Id32 low = key[0] & ((Id32(1) << this->Shift) - 1);
    return (static_cast<std::uint64_t>(low) << (2 * this->PointBits)) |
      (static_cast<std::uint64_t>(key[1]) << this->PointBits) | key[2];
  }

  Key<N> Unpack(size_t bucket, std::uint64_t packed) const
  {
    Key<N> key;
    const std::uint64_t mask = (std::uint64_t(1) << this->PointBits) - 1;
    key[0] = static_cast<Id32>((bucket << this->Shift) | (packed >> (2 * this->PointBits)));
    key[1] = static_cast<Id32>((packed >> this->PointBits) & mask);
    key[2] = static_cast<Id32>(packed & mask);
    return key;
  }

  int Shift = 0;
  int PointBits = 0; // packed keys: the bits of a point id; 0 for whole keys
  // Tetrahedron records: whether there are any, the bits of a packed face
  // key, how many low bits of d the word holds above them, and the bytes of
  // the extra array for d's other bits.
  bool TetraRecords = false;
  int FaceBits = 0, WordBitsOfD = 0, HighBytes = 0;
  size_t NumberOfBuckets = 0;
  size_t RoundFirst = 0, RoundLast = 0;
  BucketLayout Faces, Tetra;
  LargeArray<Key<N>> Keys;
  LargeArray<std::uint64_t> Packed;
  LargeArray<std::uint64_t> TetraWords;
  LargeArray<unsigned char> TetraHigh;
  std::vector<std::vector<Key<N>>> Singles; // per bucket: its keys met once
  std::vector<Key<N>> Boundary;
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

// Calls f(ids, Size, j) for each face j of faces, all of Size points, of
// the cell of points p.
template <int Size, size_t N, typename T, typename F>
void ForEachFaceOfSize(const T* p, const LocalFace (&faces)[N], F&& f)
{
  for (int j = 0; j < static_cast<int>(N); ++j)
  {
    Id32 ids[Size];
    for (int k = 0; k < Size; ++k)
    {
      ids[k] = static_cast<Id32>(p[faces[j].Ids[k]]);
    }
    f(static_cast<const Id32*>(ids), Size, j);
  }
}

// Calls f(ids, n, j) for each face j of a Solid or Polyhedron cell, with the
// face's n point ids in the cell's winding. The cell must have passed
// CellProblem().
template <typename T, typename F>
void ForEachFace(const Mesh<T>& mesh, vtkIdType cell, const TypeInfo& info, F&& f)
{
  // The commonest cells, whose faces all have one size: with that size
  // known here, the compiler unrolls them and drops the branches on it in f.
  if (info.Faces == TetraFaces)
  {
    ForEachFaceOfSize<3>(mesh.Points(cell), TetraFaces, f);
    return;
  }
  if (info.Faces == HexahedronFaces)
  {
    ForEachFaceOfSize<4>(mesh.Points(cell), HexahedronFaces, f);
    return;
  }
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

// Cells for one of the output's cell arrays, each with the input cell it
// came from.
struct CellList
{
  std::vector<vtkIdType> Offsets{ 0 };
  std::vector<vtkIdType> Connectivity;
  std::vector<vtkIdType> Sources;

  template <typename It>
  void Add(vtkIdType source, It first, It last)
  {
    this->Connectivity.insert(this->Connectivity.end(), first, last);
    this->Offsets.push_back(static_cast<vtkIdType>(this->Connectivity.size()));
    this->Sources.push_back(source);
  }
};

// A vtkIdTypeArray of n values in memory from AllocateLarge().
vtkSmartPointer<vtkIdTypeArray> LargeIdArray(vtkIdType n)
{
  auto array = vtkSmartPointer<vtkIdTypeArray>::New();
  if (n > 0)
  {
    array->SetArray(AllocateLarge<vtkIdType>(static_cast<size_t>(n)).release(),
      n,
      0,
      vtkIdTypeArray::VTK_DATA_ARRAY_FREE);
  }
  return array;
}

// Writes a vtkCellArray of a known number of cells and points, its point
// ids renumbered by newId.
class CellWriter
{
public:
  CellWriter(size_t cells, size_t points, const Id32* newId)
    : Offsets(LargeIdArray(static_cast<vtkIdType>(cells) + 1))
    , Connectivity(LargeIdArray(static_cast<vtkIdType>(points)))
    , NewId(newId)
  {
    this->O = this->Offsets->GetPointer(0);
    this->C = this->Connectivity->GetPointer(0);
    *this->O++ = 0;
  }

  // A cell of the n points ids, started at ids[start].
  template <typename I>
  void Add(const I* ids, int n, int start = 0)
  {
    for (int k = 0; k < n; ++k)
    {
      *this->C++ = this->NewId[ids[(start + k) % n]];
    }
    *this->O++ = this->C - this->Connectivity->GetPointer(0);
  }

  void Add(const CellList& cells)
  {
    for (size_t i = 0; i + 1 < cells.Offsets.size(); ++i)
    {
      this->Add(cells.Connectivity.data() + cells.Offsets[i],
        static_cast<int>(cells.Offsets[i + 1] - cells.Offsets[i]));
    }
  }

  vtkSmartPointer<vtkCellArray> Finish()
  {
    auto array = vtkSmartPointer<vtkCellArray>::New();
    array->SetData(this->Offsets, this->Connectivity);
    return array;
  }

private:
  vtkSmartPointer<vtkIdTypeArray> Offsets, Connectivity;
  const Id32* NewId;
  vtkIdType* O = nullptr;
  vtkIdType* C = nullptr;
};

vtkSmartPointer<vtkCellArray> BuildCells(const CellList& cells, const Id32* newId)
{
  CellWriter writer(cells.Sources.size(), cells.Connectivity.size(), newId);
  writer.Add(cells);
  return writer.Finish();
}

// Whether a cell of a type with fixed faces has its type's point count and
// points in range: CellProblem()'s check of such a cell, made inline for
// the millions of cells of a large mesh.
template <typename T>
bool FitsSolid(const Mesh<T>& mesh, vtkIdType cell, const TypeInfo& info)
{
  const T first = mesh.Offsets[cell], last = mesh.Offsets[cell + 1];
  if (first < 0 || last - first != info.NumberOfPoints || last > mesh.ConnectivitySize)
  {
    return false;
  }
  const T* p = mesh.Connectivity + first;
  bool fits = true;
  for (int k = 0; k < info.NumberOfPoints; ++k)
  {
    fits &= p[k] >= 0 && p[k] < mesh.NumberOfPoints;
  }
  return fits;
}

// The output cells in the order of vtkPolyData's cell ids: vertices, lines,
// then polygons (the 2D cells first, then the boundary faces).
// A boundary face: face Face of cell Cell.
struct FoundFace
{
  Id32 Cell, Face;
};

struct Output
{
  CellList Verts, Lines, Polys;
  std::vector<std::vector<FoundFace>> Faces; // of each slice, after Polys
  size_t FacePoints = 0;                     // the point count of the Faces
  std::vector<unsigned char> OnFaces;        // per point: on one of the Faces
};

// Reports the step about to run and the progress made.
using StepFunction = std::function<void(const char*, double)>;

bool IsVolume(const TypeInfo& info)
{
  return info.K == Kind::Solid || info.K == Kind::Polyhedron;
}

std::uint64_t EdgeKey(vtkIdType a, vtkIdType b)
{
  return (static_cast<std::uint64_t>(std::min(a, b)) << 32) |
    static_cast<std::uint64_t>(std::max(a, b));
}

// Face keys of at most this many bytes, or of no more than half what the
// cells they come from hold, are matched in one round; more in as few equal
// rounds as keep each round within that. The surface then never holds more
// than about half the cells' own memory again. Another round costs another
// pass over the cells, but its keys go to the pages of the last round, and
// on a virtual machine fresh pages cost nearly as much: 10 million
// tetrahedra of 32-bit ids (keys of 180 MB, buckets of 4096 points) took
// 0.65 to 0.73 s in one round against 0.71 to 0.83 s in two, with a peak
// of 191 MB above the mesh against 135 MB.
constexpr size_t OneRoundBytes = size_t(64) << 20;

// The boundary faces of the 3D cells, found by their keys.
struct Boundary
{
  FaceTable<3> Triangles;
  FaceTable<4> Quads;
  std::vector<PolygonKey> Polygons;      // sorted
  std::vector<unsigned char> OnBoundary; // per point: on a boundary face

  Boundary(vtkIdType numberOfPoints, size_t slices)
    : Triangles(numberOfPoints, slices)
    , Quads(numberOfPoints, slices)
  {
  }

  // The ends of the rounds of buckets the faces are matched in, each of
  // about roundBytes of keys or more (0: rounds within the larger of
  // OneRoundBytes and half of cellBytes, the memory of the cells).
  std::vector<size_t> PlanRounds(size_t roundBytes, size_t cellBytes)
  {
    const size_t buckets = this->Triangles.GetNumberOfBuckets();
    auto bytes = [this](size_t first, size_t last)
    { return this->Triangles.BytesIn(first, last) + this->Quads.BytesIn(first, last); };
    const size_t total = bytes(0, buckets);
    const size_t limit = std::max(OneRoundBytes, cellBytes / 2);
    const size_t count = std::max<size_t>(1, (total + limit - 1) / limit);
    const size_t round = roundBytes > 0 ? roundBytes : std::max<size_t>(1, total / count);
    std::vector<size_t> ends;
    size_t first = 0;
    for (size_t b = 1; b <= buckets; ++b)
    {
      if (b == buckets && !ends.empty() && bytes(first, b) == 0)
      {
        ends.back() = b; // no round of no keys: another pass over the cells for nothing
      }
      else if (b == buckets || bytes(first, b) >= round)
      {
        ends.push_back(b);
        first = b;
      }
    }
    this->Triangles.Reserve(ends);
    this->Quads.Reserve(ends);
    return ends;
  }

  // Whether the face of n points ids (in a cell's winding) is a boundary
  // face.
  bool Has(const Id32* ids, int n) const
  {
    for (int k = 0; k < n; ++k)
    {
      if (!this->OnBoundary[ids[k]])
      {
        return false;
      }
    }
    return n == 3 ? this->Triangles.IsBoundary(MakeKey3(ids))
      : n == 4
      ? this->Quads.IsBoundary(MakeKey4(ids))
      : std::binary_search(this->Polygons.begin(), this->Polygons.end(), MakePolygonKey(ids, n));
  }

  // Notes the points of the boundary faces.
  void MarkPoints(vtkIdType numberOfPoints)
  {
    this->OnBoundary.assign(static_cast<size_t>(numberOfPoints), 0);
    auto mark = [this](const auto& key)
    {
      for (const Id32 id : key)
      {
        this->OnBoundary[id] = 1;
      }
    };
    std::for_each(this->Triangles.GetBoundary().begin(), this->Triangles.GetBoundary().end(), mark);
    std::for_each(this->Quads.GetBoundary().begin(), this->Quads.GetBoundary().end(), mark);
    std::for_each(this->Polygons.begin(), this->Polygons.end(), mark);
  }
};

// A contiguous range of cells handled by one task of a parallel step.
struct Slice
{
  vtkIdType First = 0, Last = 0;
  vtkIdType BadCell = -1;
  std::string Problem;
  std::vector<vtkIdType> Passed; // vertices, lines and 2D cells
  std::vector<PolygonKey> Polygons;
  std::vector<FoundFace> Faces; // boundary faces
};

// A sorted list of keys with a flag per key, set from several threads.
template <typename K>
struct MarkedKeys
{
  std::vector<K> Keys;
  std::unique_ptr<std::atomic<unsigned char>[]> Marks;

  void Finish()
  {
    std::sort(this->Keys.begin(), this->Keys.end());
    this->Keys.erase(std::unique(this->Keys.begin(), this->Keys.end()), this->Keys.end());
    this->Marks.reset(new std::atomic<unsigned char>[this->Keys.size()]());
  }
  void Mark(const K& key)
  {
    const auto at = std::lower_bound(this->Keys.begin(), this->Keys.end(), key);
    if (at != this->Keys.end() && *at == key)
    {
      this->Marks[at - this->Keys.begin()].store(1, std::memory_order_relaxed);
    }
  }
  bool Marked(const K& key) const
  {
    const auto at = std::lower_bound(this->Keys.begin(), this->Keys.end(), key);
    return at != this->Keys.end() && *at == key &&
      this->Marks[at - this->Keys.begin()].load(std::memory_order_relaxed) != 0;
  }
};

// The vertices, lines and 2D cells, and which of them lie on a cell of
// higher dimension: a 2D cell (or a strip's triangle) that is a face of a
// 3D cell, a line segment along an edge of a 3D or 2D cell, a vertex point
// at a point of a 3D, 2D or line cell.
struct Coincident
{
  MarkedKeys<Key<3>> Triangles;
  MarkedKeys<Key<4>> Quads;
  MarkedKeys<PolygonKey> Polygons;
  MarkedKeys<std::uint64_t> Edges;
  MarkedKeys<Id32> Points;
  // Per point: 1 on a 2D cell, 2 on a line, 4 a vertex point; lets the 3D
  // cells' faces, edges and points that touch none of them pass by fast.
  std::vector<unsigned char> Near;

  bool Empty() const { return this->Near.empty(); }

  // Calls f(ids, n) for each polygon the 2D cell makes: itself, or a
  // strip's triangles as VTK's filter splits it (every other one turned
  // over), or a pixel as a quad.
  template <typename F>
  static void ForEachPolygon(Kind kind, std::vector<Id32>& ids, F&& f)
  {
    const int n = static_cast<int>(ids.size());
    if (kind == Kind::Strip)
    {
      Id32 tri[3] = { n > 0 ? ids[0] : 0, n > 1 ? ids[1] : 0, 0 };
      int toggle = 0;
      for (int i = 2; i < n; ++i)
      {
        tri[2] = ids[i];
        f(tri, 3);
        tri[toggle] = ids[i];
        toggle = 1 - toggle;
      }
      return;
    }
    if (kind == Kind::Pixel)
    {
      std::swap(ids[2], ids[3]);
    }
    f(ids.data(), n);
  }

  void AddPolygon(const Id32* ids, int n)
  {
    if (n == 3)
    {
      this->Triangles.Keys.push_back(MakeKey3(ids));
    }
    else if (n == 4)
    {
      this->Quads.Keys.push_back(MakeKey4(ids));
    }
    else if (n > 4)
    {
      this->Polygons.Keys.push_back(MakePolygonKey(ids, n));
    }
    for (int k = 0; k < n; ++k)
    {
      this->Near[ids[k]] |= 1;
    }
  }

  // Notes the passed cells' keys.
  template <typename T>
  void Collect(const Mesh<T>& mesh,
    const std::array<TypeInfo, 256>& infos,
    const std::vector<std::vector<vtkIdType>*>& passed)
  {
    std::vector<Id32> ids;
    for (const auto* cells : passed)
    {
      for (const vtkIdType cell : *cells)
      {
        if (this->Near.empty())
        {
          this->Near.assign(static_cast<size_t>(mesh.NumberOfPoints), 0);
        }
        const Kind kind = infos[mesh.Types[cell]].K;
        const T* p = mesh.Points(cell);
        ids.assign(p, p + mesh.Size(cell));
        if (kind == Kind::Line)
        {
          for (size_t k = 0; k + 1 < ids.size(); ++k)
          {
            this->Edges.Keys.push_back(EdgeKey(ids[k], ids[k + 1]));
            this->Near[ids[k]] |= 2;
            this->Near[ids[k + 1]] |= 2;
          }
        }
        else if (kind == Kind::Vertices)
        {
          for (const Id32 id : ids)
          {
            this->Points.Keys.push_back(id);
            this->Near[id] |= 4;
          }
        }
        else if (kind != Kind::Nothing)
        {
          ForEachPolygon(kind, ids, [this](const Id32* poly, int n) { this->AddPolygon(poly, n); });
        }
      }
    }
    this->Triangles.Finish();
    this->Quads.Finish();
    this->Polygons.Finish();
    this->Edges.Finish();
    this->Points.Finish();
  }

  // Marks what lies on the face of n points ids of a 3D cell (in its
  // winding), on the face's edges and on its points. Safe from several
  // threads at once.
  void See3DFace(const Id32* ids, int n)
  {
    unsigned char all = 7, any = 0;
    for (int k = 0; k < n; ++k)
    {
      all &= this->Near[ids[k]];
      any |= this->Near[ids[k]];
    }
    if (all & 1)
    {
      if (n == 3)
      {
        this->Triangles.Mark(MakeKey3(ids));
      }
      else if (n == 4)
      {
        this->Quads.Mark(MakeKey4(ids));
      }
      else
      {
        this->Polygons.Mark(MakePolygonKey(ids, n));
      }
    }
    if (any & 2)
    {
      this->SeeEdges(ids, n);
    }
    if (any & 4)
    {
      for (int k = 0; k < n; ++k)
      {
        if (this->Near[ids[k]] & 4)
        {
          this->Points.Mark(ids[k]);
        }
      }
    }
  }

  void SeeEdges(const Id32* ids, int n)
  {
    for (int k = 0; k < n; ++k)
    {
      const Id32 a = ids[k], b = ids[(k + 1) % n];
      if ((this->Near[a] & 2) && (this->Near[b] & 2))
      {
        this->Edges.Mark(EdgeKey(a, b));
      }
    }
  }
};

// The cells that pass to the output as cells of their own (vertices,
// lines, 2D cells) in cell order; when dropCoincident is on, without those
// that lie on a cell of higher dimension (see Coincident): a 2D cell on a
// face of a 3D cell, a line all along edges of 3D or 2D cells, a vertex
// all at points of 3D, 2D or line cells.
template <typename T>
void AddPassedCells(const Mesh<T>& mesh,
  const std::array<TypeInfo, 256>& infos,
  const std::vector<std::vector<vtkIdType>*>& passed,
  Coincident& on,
  bool dropCoincident,
  Output& out)
{
  std::vector<Id32> ids;
  // 2D cells first: their edges and points mark lines and vertices; then
  // lines, whose points mark vertices; then vertices.
  for (const Kind pass : { Kind::Polygon, Kind::Line, Kind::Vertices })
  {
    for (const auto* cells : passed)
    {
      for (const vtkIdType cell : *cells)
      {
        const Kind kind = infos[mesh.Types[cell]].K;
        const bool twoD = kind == Kind::Polygon || kind == Kind::Pixel || kind == Kind::Strip;
        if ((twoD ? Kind::Polygon : kind) != pass)
        {
          continue;
        }
        const T* p = mesh.Points(cell);
        ids.assign(p, p + mesh.Size(cell));
        if (twoD)
        {
          Coincident::ForEachPolygon(kind,
            ids,
            [&](const Id32* poly, int n)
            {
              const bool drawn = dropCoincident && n >= 3 &&
                (n == 3      ? on.Triangles.Marked(MakeKey3(poly))
                    : n == 4 ? on.Quads.Marked(MakeKey4(poly))
                             : on.Polygons.Marked(MakePolygonKey(poly, n)));
              if (!drawn)
              {
                out.Polys.Add(cell, poly, poly + n);
              }
              if (dropCoincident && !on.Empty() && n >= 2)
              {
                on.SeeEdges(poly, n);
                for (int k = 0; k < n; ++k)
                {
                  on.Points.Mark(poly[k]);
                }
              }
            });
        }
        else if (kind == Kind::Line)
        {
          bool drawn = dropCoincident && ids.size() >= 2;
          for (size_t k = 0; drawn && k + 1 < ids.size(); ++k)
          {
            drawn = on.Edges.Marked(EdgeKey(ids[k], ids[k + 1]));
          }
          if (!drawn)
          {
            out.Lines.Add(cell, ids.begin(), ids.end());
          }
          for (size_t k = 0; dropCoincident && k < ids.size(); ++k)
          {
            on.Points.Mark(ids[k]);
          }
        }
        else
        {
          const bool drawn = dropCoincident && !ids.empty() &&
            std::all_of(ids.begin(), ids.end(), [&](Id32 id) { return on.Points.Marked(id); });
          if (!drawn)
          {
            out.Verts.Add(cell, ids.begin(), ids.end());
          }
        }
      }
    }
  }
}

// What the passes over the cells share: the mesh, its cells in slices
// (several per thread, so that the threads stay busy when slices take
// unequal times) and the faces found so far. Run() hands a pass's slices
// to vtkSMPTools::For.
template <typename T>
struct FaceSearch
{
  const Mesh<T>& M;
  std::array<TypeInfo, 256> Infos;
  std::vector<Slice> Slices;
  Boundary Faces;
  Coincident On; // empty unless coincident cells are dropped

  FaceSearch(const Mesh<T>& mesh, size_t numSlices)
    : M(mesh)
    , Slices(numSlices)
    , Faces(mesh.NumberOfPoints, numSlices)
  {
    for (int type = 0; type < VTK_NUMBER_OF_CELL_TYPES; ++type)
    {
      this->Infos[type] = GetTypeInfo(type);
    }
    const auto n = static_cast<vtkIdType>(numSlices);
    for (vtkIdType s = 0; s < n; ++s)
    {
      this->Slices[s].First = mesh.NumberOfCells * s / n;
      this->Slices[s].Last = mesh.NumberOfCells * (s + 1) / n;
    }
  }

  template <typename Pass>
  void Run(Pass pass)
  {
    vtkSMPTools::For(0, static_cast<vtkIdType>(this->Slices.size()), 1, pass);
  }

  // The vertices, lines and 2D cells of every slice, in cell order.
  std::vector<std::vector<vtkIdType>*> Passed()
  {
    std::vector<std::vector<vtkIdType>*> passed;
    passed.reserve(this->Slices.size());
    for (Slice& slice : this->Slices)
    {
      passed.push_back(&slice.Passed);
    }
    return passed;
  }
};

// A pass's functor for vtkSMPTools::For: Derived::Visit(slice, s) for each
// slice s of the range a thread is handed.
template <typename T, typename Derived>
struct SlicePass
{
  FaceSearch<T>& Search;

  void operator()(vtkIdType first, vtkIdType last)
  {
    for (vtkIdType s = first; s < last; ++s)
    {
      static_cast<Derived*>(this)->Visit(this->Search.Slices[s], static_cast<size_t>(s));
    }
  }
};

// Pass 1: checks the cells, notes those that pass through and counts the
// triangle and quad faces of the 3D cells per bucket (the other faces'
// keys kept per slice). A slice stops at its first bad cell.
template <typename T>
struct CountFaces : SlicePass<T, CountFaces<T>>
{
  void Visit(Slice& slice, size_t s)
  {
    const Mesh<T>& mesh = this->Search.M;
    Boundary& faces = this->Search.Faces;
    for (vtkIdType cell = slice.First; cell < slice.Last; ++cell)
    {
      const TypeInfo& info = this->Search.Infos[mesh.Types[cell]];
      if (!(info.K == Kind::Solid && FitsSolid(mesh, cell, info)))
      {
        std::string problem = CellProblem(mesh, cell, info);
        if (!problem.empty())
        {
          slice.BadCell = cell;
          slice.Problem = std::move(problem);
          return;
        }
      }
      if (!IsVolume(info))
      {
        slice.Passed.push_back(cell);
        continue;
      }
      if (info.Faces == TetraFaces)
      {
        faces.Triangles.CountTetra(s, TetraKeys(mesh.Points(cell)));
        continue;
      }
      ForEachFace(mesh,
        cell,
        info,
        [&](const Id32* ids, int n, int)
        {
          if (n == 3)
          {
            faces.Triangles.Count(s, MakeKey3(ids));
          }
          else if (n == 4)
          {
            faces.Quads.Count(s, MakeKey4(ids));
          }
          else
          {
            slice.Polygons.push_back(MakePolygonKey(ids, n));
          }
        });
    }
  }
};

// Pass 2, once a round: the keys of the triangle and quad faces whose
// smallest point id is in the round's range [Lo, Hi) into their buckets;
// the passed cells that lie on such a face marked on the way.
template <typename T>
struct SortFaces : SlicePass<T, SortFaces<T>>
{
  Id32 Lo, Hi;

  void Visit(Slice& slice, size_t s)
  {
    const Mesh<T>& mesh = this->Search.M;
    Boundary& faces = this->Search.Faces;
    Coincident& on = this->Search.On;
    for (vtkIdType cell = slice.First; cell < slice.Last; ++cell)
    {
      const TypeInfo& info = this->Search.Infos[mesh.Types[cell]];
      if (!IsVolume(info) || (info.K == Kind::Solid && !this->Touches(mesh, cell, info)))
      {
        continue;
      }
      if (info.Faces == TetraFaces)
      {
        const std::array<Key<3>, 4> keys = TetraKeys(mesh.Points(cell));
        for (const Key<3>& key : keys)
        {
          if (!on.Empty() && this->InRound(key[0]))
          {
            on.See3DFace(key.data(), 3);
          }
        }
        faces.Triangles.AddTetra(s, keys);
        continue;
      }
      ForEachFace(mesh,
        cell,
        info,
        [&](const Id32* ids, int n, int)
        {
          if (!on.Empty() && this->InRound(*std::min_element(ids, ids + n)))
          {
            on.See3DFace(ids, n);
          }
          if (n == 3)
          {
            faces.Triangles.Add(s, MakeKey3(ids));
          }
          else if (n == 4)
          {
            faces.Quads.Add(s, MakeKey4(ids));
          }
        });
    }
  }

  bool InRound(Id32 id) const { return id >= this->Lo && id < this->Hi; }

  // Whether a point of the solid cell is in the round's range: the
  // smallest id of each of its faces is one of its points.
  bool Touches(const Mesh<T>& mesh, vtkIdType cell, const TypeInfo& info) const
  {
    const T* p = mesh.Points(cell);
    bool touches = false;
    for (int k = 0; k < info.NumberOfPoints; ++k)
    {
      touches |= this->InRound(static_cast<Id32>(p[k]));
    }
    return touches;
  }
};

// Pass 3: the boundary of every round in one list, then the boundary's
// points.
template <typename T>
void MatchFaces(FaceSearch<T>& search)
{
  Boundary& faces = search.Faces;
  faces.Triangles.Finish();
  faces.Quads.Finish();
  std::vector<PolygonKey> polygons;
  for (Slice& slice : search.Slices)
  {
    std::move(slice.Polygons.begin(), slice.Polygons.end(), std::back_inserter(polygons));
    slice.Polygons = {};
  }
  std::sort(polygons.begin(), polygons.end());
  ForEachSingle(polygons.data(),
    polygons.data() + polygons.size(),
    [&](const PolygonKey& key) { faces.Polygons.push_back(key); });
  faces.MarkPoints(search.M.NumberOfPoints);
}

// Pass 4: the boundary faces in cell order, slice by slice.
template <typename T>
struct CollectFaces : SlicePass<T, CollectFaces<T>>
{
  size_t BoundaryFaces = 0;

  void Visit(Slice& slice, size_t)
  {
    const Mesh<T>& mesh = this->Search.M;
    const Boundary& faces = this->Search.Faces;
    // Room for all: only the pages written are ever touched.
    slice.Faces.reserve(this->BoundaryFaces);
    for (vtkIdType cell = slice.First; cell < slice.Last; ++cell)
    {
      const TypeInfo& info = this->Search.Infos[mesh.Types[cell]];
      if (!IsVolume(info) || (info.K == Kind::Solid && !MayHaveBoundaryFace(mesh, cell, info)))
      {
        continue;
      }
      ForEachFace(mesh,
        cell,
        info,
        [&](const Id32* ids, int n, int j)
        {
          if (faces.Has(ids, n))
          {
            slice.Faces.push_back({ static_cast<Id32>(cell), static_cast<Id32>(j) });
          }
        });
    }
  }

  // A solid cell with fewer than three points on the boundary has no
  // boundary face.
  bool MayHaveBoundaryFace(const Mesh<T>& mesh, vtkIdType cell, const TypeInfo& info) const
  {
    const T* p = mesh.Points(cell);
    int on = 0;
    for (int k = 0; k < info.NumberOfPoints; ++k)
    {
      on += this->Search.Faces.OnBoundary[static_cast<size_t>(p[k])];
    }
    return on >= 3;
  }
};

// The first bad cell's error, false if there is one.
bool NoBadCell(const std::vector<Slice>& slices, std::string& error)
{
  for (const Slice& slice : slices)
  {
    if (slice.BadCell >= 0)
    {
      error = "cell " + std::to_string(slice.BadCell) + " " + slice.Problem;
      return false;
    }
  }
  return true;
}

// The boundary faces' point count, as the output's connectivity needs.
size_t FacePointCount(const Boundary& faces)
{
  size_t points = 3 * faces.Triangles.GetBoundary().size() + 4 * faces.Quads.GetBoundary().size();
  for (const PolygonKey& polygon : faces.Polygons)
  {
    points += polygon.size();
  }
  return points;
}

// Fills out with the surface of mesh; returns false with error set on a
// bad cell.
template <typename T>
bool ExtractFaces(const Mesh<T>& mesh,
  bool dropCoincident,
  size_t roundBytes,
  Output& out,
  const StepFunction& step,
  std::string& error)
{
  const size_t threads =
    static_cast<size_t>(std::max(1, vtkSMPTools::GetEstimatedNumberOfThreads()));
  FaceSearch<T> search(mesh,
    static_cast<size_t>(
      std::clamp<vtkIdType>(mesh.NumberOfCells / 4096, 1, 8 * static_cast<vtkIdType>(threads))));

  step("checking cells", 0.0);
  search.Run(CountFaces<T>{ { search } });
  if (!NoBadCell(search.Slices, error))
  {
    return false;
  }
  // The vertices, lines and 2D cells, to see in the next pass which of
  // them lie on the 3D cells.
  const std::vector<std::vector<vtkIdType>*> passed = search.Passed();
  if (dropCoincident)
  {
    search.On.Collect(mesh, search.Infos, passed);
  }

  search.Faces.Triangles.Layout();
  search.Faces.Quads.Layout();
  const size_t cellBytes =
    sizeof(T) * static_cast<size_t>(mesh.ConnectivitySize + mesh.NumberOfCells + 1) +
    static_cast<size_t>(mesh.NumberOfCells);
  const std::vector<size_t> rounds = search.Faces.PlanRounds(roundBytes, cellBytes);
  const int shift = search.Faces.Triangles.GetShift();
  size_t first = 0;
  for (size_t r = 0; r < rounds.size(); ++r)
  {
    const double done = static_cast<double>(r) / static_cast<double>(rounds.size());
    const std::string round = rounds.size() == 1
      ? std::string()
      : ", round " + std::to_string(r + 1) + " of " + std::to_string(rounds.size());
    step(("sorting faces" + round).c_str(), 0.3 + 0.5 * done);
    search.Faces.Triangles.SetRound(first, rounds[r]);
    search.Faces.Quads.SetRound(first, rounds[r]);
    search.Run(SortFaces<T>{ { search },
      static_cast<Id32>(first << shift),
      static_cast<Id32>(std::min<size_t>(rounds[r] << shift, NoId)) });
    step(("matching faces" + round).c_str(), 0.3 + 0.5 * (done + 0.5 / rounds.size()));
    search.Faces.Triangles.Match();
    search.Faces.Quads.Match();
    first = rounds[r];
  }
  MatchFaces(search);

  step("collecting boundary faces", 0.8);
  const Boundary& faces = search.Faces;
  search.Run(CollectFaces<T>{ { search },
    faces.Triangles.GetBoundary().size() + faces.Quads.GetBoundary().size() +
      faces.Polygons.size() });

  step("building the output", 0.9);
  AddPassedCells(mesh, search.Infos, passed, search.On, dropCoincident, out);
  for (Slice& slice : search.Slices)
  {
    out.Faces.push_back(std::move(slice.Faces));
  }
  out.FacePoints = FacePointCount(faces);
  out.OnFaces = std::move(search.Faces.OnBoundary);
  return true;
}

// The pair of id lists that copies the items sources[i] of an array (cells
// or points) to its items i; and with idsName the sources themselves as an
// id array of that name.
struct Copying
{
  vtkNew<vtkIdList> From, To;
  vtkSmartPointer<vtkIdTypeArray> Ids;

  Copying(const std::vector<vtkIdType>& sources, const char* idsName)
  {
    const auto n = static_cast<vtkIdType>(sources.size());
    this->From->SetNumberOfIds(n);
    std::copy(sources.begin(), sources.end(), this->From->GetPointer(0));
    this->To->SetNumberOfIds(n);
    std::iota(this->To->GetPointer(0), this->To->GetPointer(0) + n, vtkIdType(0));
    if (idsName)
    {
      this->Ids = vtkSmartPointer<vtkIdTypeArray>::New();
      this->Ids->SetName(idsName);
      this->Ids->SetNumberOfValues(n);
      std::copy(sources.begin(), sources.end(), this->Ids->GetPointer(0));
    }
  }

  // Each array of in, typed, to outData.
  void Data(vtkDataSetAttributes* in, vtkDataSetAttributes* outData) const
  {
    outData->CopyAllocate(in, this->To->GetNumberOfIds());
    outData->CopyData(in, this->From, this->To);
    if (this->Ids)
    {
      outData->AddArray(this->Ids);
    }
  }
};

// The points that the output's cells use, in the mesh's order: NewId
// gives the output id of a mesh point, Used the mesh id of an output point.
struct PointMap
{
  LargeArray<Id32> NewId;
  std::vector<vtkIdType> Used;

  // The points marked in on (if not empty) and those of the parts' cells.
  PointMap(vtkIdType numberOfPoints,
    const std::vector<unsigned char>& on,
    const std::vector<const CellList*>& parts)
    : NewId(AllocateLarge<Id32>(static_cast<size_t>(numberOfPoints)))
  {
    Id32* newId = this->NewId.get();
    if (on.empty())
    {
      std::fill_n(newId, numberOfPoints, 0);
    }
    else
    {
      std::copy(on.begin(), on.end(), newId);
    }
    for (const CellList* part : parts)
    {
      for (const vtkIdType id : part->Connectivity)
      {
        newId[id] = 1;
      }
    }
    this->Used.reserve(static_cast<size_t>(std::count(newId, newId + numberOfPoints, 1)));
    for (vtkIdType id = 0; id < numberOfPoints; ++id)
    {
      if (newId[id])
      {
        newId[id] = static_cast<Id32>(this->Used.size());
        this->Used.push_back(id);
      }
    }
  }
};

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
  bool originalPointIds,
  bool dropCoincident,
  size_t roundBytes,
  const StepFunction& step,
  std::string& error)
{
  Output out;
  if (!WithMesh(grid,
        [&](const auto& mesh)
        { return ExtractFaces(mesh, dropCoincident, roundBytes, out, step, error); }))
  {
    return false;
  }
  // The cells' sources: vertices, lines, 2D cells, then the boundary faces.
  std::vector<vtkIdType> sources;
  size_t numberOfFaces = 0;
  for (const auto& faces : out.Faces)
  {
    numberOfFaces += faces.size();
  }
  sources.reserve(
    out.Verts.Sources.size() + out.Lines.Sources.size() + out.Polys.Sources.size() + numberOfFaces);
  for (const CellList* part : { &out.Verts, &out.Lines, &out.Polys })
  {
    sources.insert(sources.end(), part->Sources.begin(), part->Sources.end());
  }
  for (const auto& faces : out.Faces)
  {
    for (const FoundFace& face : faces)
    {
      sources.push_back(face.Cell);
    }
  }

  // The points the cells use, with their data: on a large mesh a small
  // part of its points, which is what a renderer then converts and uploads.
  const PointMap map(
    grid->GetNumberOfPoints(), out.OnFaces, { &out.Verts, &out.Lines, &out.Polys });
  const Copying points(map.Used, originalPointIds ? "vtkOriginalPointIds" : nullptr);
  if (vtkPoints* meshPoints = grid->GetPoints())
  {
    vtkNew<vtkPoints> outPoints;
    outPoints->SetDataType(meshPoints->GetDataType());
    outPoints->InsertPoints(points.To, points.From, meshPoints);
    output->SetPoints(outPoints);
  }
  points.Data(grid->GetPointData(), output->GetPointData());
  output->SetVerts(BuildCells(out.Verts, map.NewId.get()));
  output->SetLines(BuildCells(out.Lines, map.NewId.get()));
  // The 2D cells, then each boundary face started at its smallest point id
  // as VTK's filter starts it.
  CellWriter polys(out.Polys.Sources.size() + numberOfFaces,
    out.Polys.Connectivity.size() + out.FacePoints,
    map.NewId.get());
  polys.Add(out.Polys);
  WithMesh(grid,
    [&](const auto& mesh)
    {
      for (const auto& faces : out.Faces)
      {
        for (const FoundFace& face : faces)
        {
          ForEachFace(mesh,
            face.Cell,
            GetTypeInfo(mesh.Types[face.Cell]),
            [&](const Id32* ids, int n, int j)
            {
              if (j == static_cast<int>(face.Face))
              {
                polys.Add(ids, n, SmallestAt(ids, n));
              }
            });
        }
      }
      return true;
    });
  output->SetPolys(polys.Finish());
  Copying(sources, originalIds ? "vtkOriginalCellIds" : nullptr)
    .Data(grid->GetCellData(), output->GetCellData());
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
  os << indent << "PassThroughPointIds: " << this->PassThroughPointIds << "\n";
  os << indent << "DropCoincidentCells: " << this->DropCoincidentCells << "\n";
  os << indent << "RoundBytes: " << this->RoundBytes << "\n";
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
    filter->SetPassThroughPointIds(this->PassThroughPointIds);
    filter->Update();
    output->ShallowCopy(filter->GetOutput());
  }
  else
  {
    const bool large = grid->GetNumberOfCells() >= StepLinesFromCells;
    auto step = [this, large, &seconds](const char* what, double progress)
    {
      this->UpdateProgress(progress);
      if (this->Log && large)
      {
        *this->Log << "  surface: " << what << " at " << seconds() << " s" << std::endl;
      }
    };
    if (!Extract(grid,
          output,
          this->PassThroughCellIds,
          this->PassThroughPointIds,
          this->DropCoincidentCells,
          static_cast<size_t>(std::max<vtkIdType>(0, this->RoundBytes)),
          step,
          error))
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
