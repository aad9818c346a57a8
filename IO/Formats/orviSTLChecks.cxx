#include "orviFormatChecks.h"

#include <vtksys/SystemTools.hxx>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>

namespace orvi
{

//------------------------------------------------------------------------------
bool CheckBinarySTL(const std::string& path, std::string& error)
{
  if (vtksys::SystemTools::DetectFileType(path.c_str()) == vtksys::SystemTools::FileTypeText)
  {
    return true;
  }
  const unsigned long length = vtksys::SystemTools::FileLength(path);
  if (length < 84 || (length - 84) % 50 != 0)
  {
    return Refuse(path,
      "a binary STL is 84 bytes plus 50 per triangle; this file has " + std::to_string(length) +
        " bytes",
      error);
  }
  std::array<unsigned char, 4> bytes{};
  std::ifstream in(path, std::ios::binary);
  in.seekg(80);
  in.read(reinterpret_cast<char*>(bytes.data()), 4);
  const std::uint64_t claimed = DecodeCount(bytes.data(), 4, false, false);
  const std::uint64_t held = (length - 84) / 50;
  if (!in || claimed > held)
  {
    return Refuse(path,
      "its header counts " + std::to_string(claimed) + " triangles but the file holds " +
        std::to_string(held),
      error);
  }
  return true;
}

} // namespace orvi
