#include "orviFormatChecks.h"

#include <vtksys/SystemTools.hxx>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace orvi
{

namespace
{
// No vertex index out of range yet.
constexpr std::int64_t NoIndex = std::numeric_limits<std::int64_t>::min();

struct PlyProperty
{
  int Size = 0;      // bytes of a scalar, or of a list's items
  int CountSize = 0; // bytes of a list's length; 0 for a scalar
  bool CountSigned = false;
  bool ItemSigned = false;
  bool Indices = false; // a face's vertex indices, checked against the vertices
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
  bool NotText() const { return false; }
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
  bool ListItems(const PlyProperty& p, std::int64_t n, std::int64_t below, std::int64_t& bad)
  {
    if (!p.Indices)
    {
      return this->Skip(static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(p.Size));
    }
    std::array<unsigned char, 8> bytes{};
    for (std::int64_t k = 0; k < n; ++k)
    {
      for (int i = 0; i < p.Size; ++i)
      {
        if (this->Pos == this->End && !this->Fill())
        {
          return false;
        }
        bytes[i] = static_cast<unsigned char>(this->Buffer[this->Pos++]);
      }
      const std::int64_t index = DecodeCount(bytes.data(), p.Size, p.ItemSigned, this->BigEndian);
      bad = (index < 0 || index >= below) && bad == NoIndex ? index : bad;
    }
    return true;
  }
  // Bytes of the file after the rows walked so far.
  std::uint64_t Left() const
  {
    const std::uint64_t at = this->Start + this->Pos;
    return at < this->Length ? this->Length - at : 0;
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

  // A row of text: a NUL byte would end it early for VTK's reader, which
  // then reads words that are not there.
  bool BeginRow()
  {
    this->Next = 0;
    this->Binary = std::getline(this->In, this->Line) && this->Line.find('\0') != std::string::npos;
    return this->In && !this->Binary;
  }
  bool NotText() const { return this->Binary; }
  bool Scalar(const PlyProperty&) { return this->Word() != nullptr; }
  bool ListLength(const PlyProperty&, std::int64_t& n)
  {
    const char* word = this->Word();
    n = word ? std::strtoll(word, nullptr, 10) : 0;
    return word != nullptr;
  }
  bool ListItems(const PlyProperty& p, std::int64_t n, std::int64_t below, std::int64_t& bad)
  {
    for (std::int64_t i = 0; i < n; ++i)
    {
      const char* word = this->Word();
      if (!word)
      {
        return false;
      }
      const std::int64_t index = p.Indices ? std::strtoll(word, nullptr, 10) : 0;
      bad = (index < 0 || index >= below) && bad == NoIndex ? index : bad;
    }
    return true;
  }
  // Lines of text after the rows walked so far (blank ones not counted).
  std::uint64_t Left()
  {
    std::uint64_t lines = 0;
    while (std::getline(this->In, this->Line))
    {
      lines += this->Line.find_first_not_of(" \t\r") != std::string::npos ? 1 : 0;
    }
    return lines;
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
  bool Binary = false;
};

// Walks every row of every element; false with error set when the data
// ends early or holds a negative list length.
template <typename Rows>
bool WalkRows(Rows& rows,
  const std::vector<PlyElement>& elements,
  const std::string& path,
  std::string& error)
{
  std::int64_t vertices = 0;
  for (const PlyElement& element : elements)
  {
    vertices = element.Name == "vertex" ? static_cast<std::int64_t>(element.Count) : vertices;
  }
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
        return Refuse(path, "the data ends early, in " + where, error);
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
          return Refuse(
            path, "a negative list length in row " + std::to_string(row) + " of " + where, error);
        }
        else if (ok)
        {
          std::int64_t bad = NoIndex;
          ok = rows.ListItems(*p, n, vertices, bad);
          if (ok && bad != NoIndex)
          {
            return Refuse(path,
              "face " + std::to_string(row) + " names vertex " + std::to_string(bad) +
                "; there are " + std::to_string(vertices),
              error);
          }
        }
      }
      if (!ok)
      {
        return Refuse(path,
          (rows.NotText() ? "a NUL byte in the text of row " : "the data ends early, in row ") +
            std::to_string(row) + " of " + where,
          error);
      }
    }
  }
  return true;
}

// Refuses data left after the last element's rows: a count in the header
// smaller than the data would show part of the mesh and say nothing.
template <typename Rows>
bool WalkAllRows(Rows& rows,
  const std::vector<PlyElement>& elements,
  const std::string& path,
  const char* unit,
  std::string& error)
{
  if (!WalkRows(rows, elements, path, error))
  {
    return false;
  }
  const std::uint64_t left = rows.Left();
  return left == 0 ||
    Refuse(path,
      "its data goes on for " + std::to_string(left) + unit +
        " after the rows its header counts (a count too small?)",
      error);
}
} // namespace

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
  bool binary = false, bigEndian = false, hasFormat = false;
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
      if (format != "ascii" && format != "binary_little_endian" && format != "binary_big_endian")
      {
        return Refuse(path, "unknown format '" + format + "'", error);
      }
      binary = format != "ascii";
      bigEndian = format == "binary_big_endian";
      hasFormat = true;
    }
    else if (keyword == "element")
    {
      PlyElement element;
      words >> element.Name >> element.Count;
      if (!words)
      {
        return Refuse(path, "bad header line '" + line + "'", error);
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
        std::string countType, name;
        words >> countType >> type >> name;
        property.Indices = elements.size() > 0 && elements.back().Name == "face" &&
          (name == "vertex_indices" || name == "vertex_index");
        property.CountSize = PlyTypeSize(countType, property.CountSigned);
        if (property.CountSize == 0)
        {
          return Refuse(path, "unknown property type '" + countType + "'", error);
        }
      }
      bool isSigned = false;
      property.Size = PlyTypeSize(type, isSigned);
      property.ItemSigned = isSigned;
      // Vertex indices are whole numbers: floating-point ones are left to
      // the reader.
      property.Indices =
        property.Indices && type.find("float") == std::string::npos && type != "double";
      if (property.Size == 0)
      {
        return Refuse(path, "unknown property type '" + type + "'", error);
      }
      if (elements.empty())
      {
        return Refuse(path, "a property before any element", error);
      }
      elements.back().Properties.push_back(property);
    }
    else if (keyword == "end_header")
    {
      ended = true;
    }
    else if (keyword != "comment" && keyword != "obj_info" && !keyword.empty())
    {
      // VTK's reader takes such a line for part of the header and crashes
      // on what follows.
      return Refuse(path, "unknown header line '" + line.substr(0, 60) + "'", error);
    }
  }
  if (ended && !hasFormat)
  {
    return Refuse(path, "its header has no format line", error);
  }
  if (!ended)
  {
    return Refuse(path, "its header has no end_header line", error);
  }
  if (!binary)
  {
    AsciiRows rows(in);
    return WalkAllRows(rows, elements, path, " line(s)", error);
  }
  BinaryRows rows(path, static_cast<std::uint64_t>(in.tellg()), bigEndian);
  return WalkAllRows(rows, elements, path, " byte(s)", error);
}

} // namespace orvi
