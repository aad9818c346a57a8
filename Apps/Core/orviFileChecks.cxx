#include "orviFileChecks.h"

#include <vtksys/SystemTools.hxx>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace orvi
{

namespace
{
// The message every check gives: which file, and why it is not a mesh of
// its kind.
bool Refuse(const std::string& path,
  const std::string& ext,
  const std::string& why,
  std::string& error)
{
  error = "cannot read '" + path + "': not a valid " + ext + " mesh (" + why + ")";
  return false;
}

struct PlyProperty
{
  int Size = 0;      // bytes of a scalar, or of a list's items
  int CountSize = 0; // bytes of a list's length; 0 for a scalar
  bool CountSigned = false;
};

struct PlyElement
{
  std::string Name;
  std::uint64_t Count = 0;
  std::vector<PlyProperty> Properties;
};

// PLY's scalar types and their sizes in bytes (0: not a PLY type).
int PlyTypeSize(const std::string& type, bool& isSigned)
{
  static const std::map<std::string, std::pair<int, bool>> sizes = { { "char", { 1, true } },
    { "int8", { 1, true } },
    { "uchar", { 1, false } },
    { "uint8", { 1, false } },
    { "short", { 2, true } },
    { "int16", { 2, true } },
    { "ushort", { 2, false } },
    { "uint16", { 2, false } },
    { "int", { 4, true } },
    { "int32", { 4, true } },
    { "uint", { 4, false } },
    { "uint32", { 4, false } },
    { "float", { 4, true } },
    { "float32", { 4, true } },
    { "double", { 8, true } },
    { "float64", { 8, true } } };
  const auto found = sizes.find(type);
  if (found == sizes.end())
  {
    return 0;
  }
  isSigned = found->second.second;
  return found->second.first;
}

// A list length of the given size, signedness and byte order; -1 for a
// negative one.
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
// The rows of a binary .ply, read forwards through a buffer. Every step
// answers false once the file's end is passed.
class BinaryRows
{
public:
  BinaryRows(const std::string& path, std::uint64_t start, bool bigEndian)
    : In(path, std::ios::binary)
    , Buffer(1 << 20)
    , Start(start)
    , Length(vtksys::SystemTools::FileLength(path))
    , BigEndian(bigEndian)
  {
    this->In.seekg(static_cast<std::streamoff>(start));
  }

  bool BeginRow() { return true; }
  bool Scalar(const PlyProperty& p) { return this->Skip(static_cast<std::uint64_t>(p.Size)); }
  bool ListLength(const PlyProperty& p, std::int64_t& n)
  {
    std::array<unsigned char, 8> bytes{};
    for (int i = 0; i < p.CountSize; ++i)
    {
      if (this->Pos == this->End && !this->Fill())
      {
        return false;
      }
      bytes[i] = static_cast<unsigned char>(this->Buffer[this->Pos++]);
    }
    n = DecodeCount(bytes.data(), p.CountSize, p.CountSigned, this->BigEndian);
    return true;
  }
  bool ListItems(const PlyProperty& p, std::int64_t n)
  {
    return this->Skip(static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(p.Size));
  }
  // Rows of one size: one jump over count rows.
  bool CanJump() const { return true; }
  bool Jump(std::uint64_t count, std::uint64_t rowSize)
  {
    return count <= this->Length / rowSize && this->Skip(count * rowSize);
  }

private:
  bool Skip(std::uint64_t n)
  {
    const std::uint64_t buffered = this->End - this->Pos;
    if (n <= buffered)
    {
      this->Pos += static_cast<std::size_t>(n);
      return true;
    }
    // Beyond the buffer: jump, and see whether the file reaches that far.
    this->Start += this->End + (n - buffered);
    this->Pos = this->End = 0;
    this->In.clear();
    this->In.seekg(static_cast<std::streamoff>(this->Start));
    return this->Start <= this->Length;
  }

  bool Fill()
  {
    this->Start += this->End;
    this->In.read(this->Buffer.data(), static_cast<std::streamsize>(this->Buffer.size()));
    this->End = static_cast<std::size_t>(this->In.gcount());
    this->Pos = 0;
    return this->End > 0;
  }

  std::ifstream In;
  std::vector<char> Buffer;
  std::uint64_t Start; // file offset of Buffer[0]
  std::uint64_t Length;
  std::size_t Pos = 0, End = 0;
  bool BigEndian;
};

// The rows of an ASCII .ply: one line each, as VTK's reader reads them.
class AsciiRows
{
public:
  explicit AsciiRows(std::istream& in)
    : In(in)
  {
  }

  bool BeginRow()
  {
    this->Next = 0;
    return static_cast<bool>(std::getline(this->In, this->Line));
  }
  bool Scalar(const PlyProperty&) { return this->Word() != nullptr; }
  bool ListLength(const PlyProperty&, std::int64_t& n)
  {
    const char* word = this->Word();
    n = word ? std::strtoll(word, nullptr, 10) : 0;
    return word != nullptr;
  }
  bool ListItems(const PlyProperty&, std::int64_t n)
  {
    for (std::int64_t i = 0; i < n; ++i)
    {
      if (!this->Word())
      {
        return false;
      }
    }
    return true;
  }
  bool CanJump() const { return false; } // rows are lines
  bool Jump(std::uint64_t, std::uint64_t) { return false; }

private:
  // The next word of the line, or null at its end.
  const char* Word()
  {
    const auto begin = this->Line.find_first_not_of(" \t\r", this->Next);
    if (begin == std::string::npos)
    {
      return nullptr;
    }
    this->Next = std::min(this->Line.find_first_of(" \t\r", begin), this->Line.size());
    return this->Line.c_str() + begin;
  }

  std::istream& In;
  std::string Line;
  std::size_t Next = 0;
};

// Walks every row of every element; false with error set when the data
// ends early or holds a negative list length.
template <typename Rows>
bool WalkRows(Rows& rows,
  const std::vector<PlyElement>& elements,
  const std::string& path,
  std::string& error)
{
  for (const PlyElement& element : elements)
  {
    const auto where =
      "element '" + element.Name + "' (" + std::to_string(element.Count) + " rows in the header)";
    std::uint64_t rowSize = 0;
    bool hasList = false;
    for (const PlyProperty& p : element.Properties)
    {
      rowSize += static_cast<std::uint64_t>(p.Size);
      hasList = hasList || p.CountSize > 0;
    }
    if (!hasList && rowSize > 0 && rows.CanJump())
    {
      if (!rows.Jump(element.Count, rowSize))
      {
        return Refuse(path, ".ply", "the data ends early, in " + where, error);
      }
      continue;
    }
    for (std::uint64_t row = 0; row < element.Count; ++row)
    {
      bool ok = rows.BeginRow();
      for (auto p = element.Properties.begin(); ok && p != element.Properties.end(); ++p)
      {
        std::int64_t n = 0;
        if (p->CountSize == 0)
        {
          ok = rows.Scalar(*p);
        }
        else if ((ok = rows.ListLength(*p, n)) && n < 0)
        {
          return Refuse(path,
            ".ply",
            "a negative list length in row " + std::to_string(row) + " of " + where,
            error);
        }
        else if (ok)
        {
          ok = rows.ListItems(*p, n);
        }
      }
      if (!ok)
      {
        return Refuse(path,
          ".ply",
          "the data ends early, in row " + std::to_string(row) + " of " + where,
          error);
      }
    }
  }
  return true;
}
} // namespace

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
      ".stl",
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
      ".stl",
      "its header counts " + std::to_string(claimed) + " triangles but the file holds " +
        std::to_string(held),
      error);
  }
  return true;
}

//------------------------------------------------------------------------------
bool CheckPLY(const std::string& path, std::string& error)
{
  // The header: text lines up to "end_header", the data right after it.
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || (line != "ply" && line != "ply\r"))
  {
    return true;
  }
  bool binary = false, bigEndian = false;
  std::vector<PlyElement> elements;
  bool ended = false;
  while (!ended && std::getline(in, line))
  {
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    if (keyword == "format")
    {
      std::string format;
      words >> format;
      binary = format != "ascii";
      bigEndian = format == "binary_big_endian";
    }
    else if (keyword == "element")
    {
      PlyElement element;
      words >> element.Name >> element.Count;
      if (!words)
      {
        return Refuse(path, ".ply", "bad header line '" + line + "'", error);
      }
      elements.push_back(element);
    }
    else if (keyword == "property")
    {
      std::string type;
      words >> type;
      PlyProperty property;
      if (type == "list")
      {
        std::string countType;
        words >> countType >> type;
        property.CountSize = PlyTypeSize(countType, property.CountSigned);
        if (property.CountSize == 0)
        {
          return Refuse(path, ".ply", "unknown property type '" + countType + "'", error);
        }
      }
      bool isSigned = false;
      property.Size = PlyTypeSize(type, isSigned);
      if (property.Size == 0)
      {
        return Refuse(path, ".ply", "unknown property type '" + type + "'", error);
      }
      if (elements.empty())
      {
        return Refuse(path, ".ply", "a property before any element", error);
      }
      elements.back().Properties.push_back(property);
    }
    else if (keyword == "end_header")
    {
      ended = true;
    }
  }
  if (!ended)
  {
    return Refuse(path, ".ply", "its header has no end_header line", error);
  }
  if (!binary)
  {
    AsciiRows rows(in);
    return WalkRows(rows, elements, path, error);
  }
  BinaryRows rows(path, static_cast<std::uint64_t>(in.tellg()), bigEndian);
  return WalkRows(rows, elements, path, error);
}

} // namespace orvi
