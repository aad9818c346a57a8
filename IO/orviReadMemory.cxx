#include "orviReadMemory.h"

#include "orviIsolatedRead.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <map>
#include <mutex>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace orvi
{
namespace isolated
{

namespace
{
// The arrays the parent laid out on large page boundaries: the length of the mapping
// behind each, by the address VTK holds, for unmapping when VTK frees them.
std::mutex& MappingsMutex()
{
  static std::mutex mutex;
  return mutex;
}
std::map<void*, std::size_t>& Mappings()
{
  static std::map<void*, std::size_t> mappings;
  return mappings;
}
} // namespace

//------------------------------------------------------------------------------
void UnmapArray(void* data)
{
  std::size_t length = 0;
  {
    const std::lock_guard<std::mutex> lock(MappingsMutex());
    const auto found = Mappings().find(data);
    if (found == Mappings().end())
    {
      return;
    }
    length = found->second;
    Mappings().erase(found);
  }
  ::munmap(data, length);
}

//------------------------------------------------------------------------------
void RegisterArray(void* data, std::size_t length)
{
  const std::lock_guard<std::mutex> lock(MappingsMutex());
  Mappings()[data] = length;
}

//------------------------------------------------------------------------------
char* MapAligned(std::size_t length)
{
  void* base =
    ::mmap(nullptr, length + LargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED)
  {
    return nullptr;
  }
  // Only the aligned part is kept.
  const std::size_t skip = ToLargePage(base);
  if (skip > 0)
  {
    ::munmap(base, skip);
  }
  char* aligned = static_cast<char*>(base) + skip;
  ::munmap(aligned + length, LargePage - skip);
  return aligned;
}

//------------------------------------------------------------------------------
void* MapArray(std::size_t bytes)
{
  const std::size_t length = RoundUp(bytes, static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)));
  char* data = MapAligned(length);
  if (data)
  {
    RegisterArray(data, length);
  }
  return data;
}

} // namespace isolated

//------------------------------------------------------------------------------
void PrepareLargeHeap(double bytes)
{
  using isolated::AddressSanitized;
  if (AddressSanitized || bytes < 64.0e6)
  {
    return;
  }
  // Everything from one heap that is never given back.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
  // One heap for every thread: another thread's arena would be carved out
  // of 64 MB mappings in small pages, slow to fault in and to walk (a mesh's
  // surface extracted on a thread of its own took a quarter longer, and the
  // first frame drawing it half as long again).
  mallopt(M_ARENA_MAX, 1);
  // glibc gives back the top of its heap once it exceeds the trim
  // threshold, an int: a larger heap would be returned as soon as it is
  // freed below.
  const auto size = static_cast<std::size_t>(
    std::min(bytes, 0.9 * static_cast<double>(std::numeric_limits<int>::max())));
  std::free(std::malloc(size));
}

} // namespace orvi
