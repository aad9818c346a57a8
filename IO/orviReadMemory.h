// Memory of this process for what a reading child sends back (see
// orviIsolatedRead.h): every large array taken over lies in a mapping of its
// own that starts on a large page, or in a pool of such memory faulted in
// while the child reads, and goes back to the system when VTK frees it
// (UnmapArray(), an array's free function).
#ifndef orviReadMemory_h
#define orviReadMemory_h

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include <sys/mman.h>

namespace orvi
{
namespace isolated
{

// Whether AddressSanitizer's runtime is in: its own allocator ignores
// mallopt(), and its shadow memory needs far more address space than a
// process uses.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool AddressSanitized = true;
#else
constexpr bool AddressSanitized = false;
#endif
#else
constexpr bool AddressSanitized = false;
#endif

// Large pages: the parent's arrays start on their boundaries, so that a
// system giving transparent huge pages to every mapping can back them so.
constexpr std::size_t LargePage = std::size_t{ 2 } << 20;

// Bytes from p to the next large page boundary (0 on one).
inline std::size_t ToLargePage(const void* p)
{
  const auto at = reinterpret_cast<std::uintptr_t>(p);
  return (LargePage - at % LargePage) % LargePage;
}

// bytes rounded up to a whole number of units.
inline std::size_t RoundUp(std::size_t bytes, std::size_t unit)
{
  return (bytes + unit - 1) / unit * unit;
}

/// Releases the memory of an array laid out by MapArray() or an
/// ArrayPool; other addresses are left alone.
void UnmapArray(void* data);

/// length bytes (whole small pages) of fresh memory starting on a large
/// page; null when there is none.
char* MapAligned(std::size_t length);

/// Records [data, data + length) as an array's memory, for UnmapArray().
void RegisterArray(void* data, std::size_t length);

/// Memory of its own for bytes of an array's values (see MapAligned()),
/// registered for UnmapArray(); null when there is none.
void* MapArray(std::size_t bytes);

// Memory for the large arrays taken over from the child, mapped and
// faulted in (a few megabytes at a time, between the checks on the child)
// while the child still reads: a page fault costs far more than copying a
// page, and this process has nothing else to do meanwhile. Handed out in
// order, a large page or more an array; what is left is given back when
// the pool goes.
class ArrayPool
{
public:
  explicit ArrayPool(std::size_t bytes)
  {
    if (bytes >= LargePage)
    {
      this->Base = MapAligned(RoundUp(bytes, LargePage));
      this->Length = this->Base ? RoundUp(bytes, LargePage) : 0;
    }
  }
  ~ArrayPool()
  {
    if (this->Base && this->Used < this->Length)
    {
      ::munmap(this->Base + this->Used, this->Length - this->Used);
    }
  }
  ArrayPool(const ArrayPool&) = delete;
  ArrayPool& operator=(const ArrayPool&) = delete;

  // Whether some of the pool is not faulted in yet.
  bool Filling() const { return this->Filled < this->Length; }
  // Faults in the next few megabytes (written by the kernel, never by this
  // code, so that it is safe beside arrays being filled).
  void FillSome()
  {
    const std::size_t chunk = std::min(this->Length - this->Filled, FillChunk);
    if (this->Filled < this->Used || chunk == 0 ||
      ::madvise(this->Base + this->Filled, chunk, MADV_POPULATE_WRITE) != 0)
    {
      this->Filled = this->Length; // handed out, or not possible here
      return;
    }
    this->Filled += chunk;
  }
  // bytes (a large page or more) from the pool, registered for UnmapArray();
  // null when the pool has no room for them.
  void* Take(std::size_t bytes)
  {
    const std::size_t length = RoundUp(bytes, LargePage);
    if (!this->Base || bytes < LargePage || length > this->Length - this->Used)
    {
      return nullptr;
    }
    void* data = this->Base + this->Used;
    this->Used += length;
    RegisterArray(data, length);
    return data;
  }

private:
  static constexpr std::size_t FillChunk = std::size_t{ 8 } << 20;
  char* Base = nullptr;
  std::size_t Length = 0;
  std::size_t Used = 0;   // handed out
  std::size_t Filled = 0; // faulted in
};

} // namespace isolated
} // namespace orvi

#endif
