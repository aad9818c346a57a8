// A file the loader reads itself (orviAppendedXML.h, orviGmshBinary.h),
// mapped read-only into this process: its bytes are read in place, never
// through a buffer, and every offset into them is checked against Size by
// the reader before use.
//
//   const auto file = orvi::MapFile(path, true);
//   if (!file) { ... } // not readable, or empty
//   parse(file->Data, file->Size);
#ifndef orviMappedFile_h
#define orviMappedFile_h

#include <cstddef>
#include <memory>
#include <string>

namespace orvi
{

/// The file, mapped once, unmapped when the last holder lets it go. The
/// mapping is private: the file is opened read-only and never written, and
/// a filter that changes an array kept in the mapping in place changes its
/// own copy of the page.
struct MappedFile
{
  unsigned char* Data = nullptr;
  std::size_t Size = 0;
  MappedFile() = default;
  /// The pages of [from, from + length) mapped at once (a read that touches
  /// them all), or let go again: read again from the file should anything
  /// touch them, so that what was taken out of them is not held twice. Only
  /// whole pages inside the range are let go.
  void Populate(const unsigned char* from, std::size_t length) const;
  void LetGo(const unsigned char* from, std::size_t length) const;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();
};

/// The file mapped, or null for one not readable or empty; populate: its
/// every page mapped at once (a read touches them all, and one call costs
/// far less than a fault a page), read-only while that is done so that no
/// page is copied.
std::shared_ptr<MappedFile> MapFile(const std::string& path, bool populate);

} // namespace orvi

#endif
