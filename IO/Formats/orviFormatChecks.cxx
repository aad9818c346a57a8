#include "orviFormatChecks.h"

#include "orviFormatTable.h"
#include "orviMeshLoader.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <string>

namespace orvi
{

//------------------------------------------------------------------------------
bool Refuse(const std::string& path, const std::string& why, std::string& error)
{
  error = "cannot read '" + path + "': not a valid " + FileExtension(path) + " mesh (" + why + ")";
  return false;
}

//------------------------------------------------------------------------------
std::int64_t DecodeCount(const unsigned char* bytes, int size, bool isSigned, bool bigEndian)
{
  std::uint64_t value = 0;
  for (int i = 0; i < size; ++i)
  {
    const int shift = 8 * (bigEndian ? size - 1 - i : i);
    value |= static_cast<std::uint64_t>(bytes[i]) << shift;
  }
  if (isSigned && (value >> (8 * size - 1)) != 0)
  {
    return -1;
  }
  return static_cast<std::int64_t>(value);
}

//------------------------------------------------------------------------------
bool CheckSignature(const std::string& path, const FormatSignature& signature, std::string& error)
{
  std::array<char, 64> head{};
  std::ifstream in(path, std::ios::binary);
  in.read(head.data(), head.size());
  const std::string start(head.data(), static_cast<std::size_t>(in.gcount()));
  // A gmsh mesh under another format's extension: read as .msh it opens.
  const bool gmshFormat = signature.Start && std::string(signature.Start) == "$MeshFormat";
  if (!gmshFormat && (start.rfind("$MeshFormat", 0) == 0 || start.rfind("$NOD", 0) == 0))
  {
    return Refuse(path, "it is a gmsh mesh file, which opens under the extension .msh", error);
  }
  if (!signature.Start)
  {
    return true;
  }
  const std::size_t first = signature.AfterBlanks ? start.find_first_not_of(" \t\r\n") : 0;
  const std::string expected = signature.Start;
  if (first == std::string::npos || start.compare(first, expected.size(), expected) != 0)
  {
    return Refuse(path,
      signature.Refusal ? signature.Refusal : "it does not start with '" + expected + "'",
      error);
  }
  return true;
}

} // namespace orvi
