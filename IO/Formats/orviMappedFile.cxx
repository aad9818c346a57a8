#include "orviMappedFile.h"

#include <cstdint>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvi
{

//------------------------------------------------------------------------------
MappedFile::~MappedFile()
{
  if (this->Data)
  {
    ::munmap(this->Data, this->Size);
  }
}

void MappedFile::Populate(const unsigned char* from, std::size_t length) const
{
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(from) / page * page;
  const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(from) + length;
  if (length > 0)
  {
    // A kernel without it leaves the pages to be faulted in one by one.
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_READ);
  }
}

void MappedFile::LetGo(const unsigned char* from, std::size_t length) const
{
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(from) + page - 1) / page * page;
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(from) + length) / page * page;
  if (end > begin)
  {
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
  }
}

//------------------------------------------------------------------------------
std::shared_ptr<MappedFile> MapFile(const std::string& path, bool populate)
{
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
  {
    return nullptr;
  }
  auto file = std::make_shared<MappedFile>();
  struct stat info
  {
  };
  if (::fstat(fd, &info) == 0 && info.st_size > 0)
  {
    const auto size = static_cast<std::size_t>(info.st_size);
    void* map =
      ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | (populate ? MAP_POPULATE : 0), fd, 0);
    if (map != MAP_FAILED && ::mprotect(map, size, PROT_READ | PROT_WRITE) != 0)
    {
      ::munmap(map, size);
      map = MAP_FAILED;
    }
    if (map != MAP_FAILED)
    {
      file->Data = static_cast<unsigned char*>(map);
      file->Size = size;
    }
  }
  ::close(fd);
  return file->Data ? file : nullptr;
}

} // namespace orvi
