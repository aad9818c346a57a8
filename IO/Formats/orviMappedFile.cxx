#include "orviMappedFile.h"

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
