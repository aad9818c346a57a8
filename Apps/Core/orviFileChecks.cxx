#include "orviFileChecks.h"

#include "vtkXMLDataElement.h"

#include <vtksys/SystemTools.hxx>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

// An attribute as a whole number; false when it is there but is not one.
bool WholeNumber(vtkXMLDataElement* element, const char* name, long long& value, bool& present)
{
  const char* text = element->GetAttribute(name);
  present = text != nullptr;
  if (!text)
  {
    return true;
  }
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text, &end, 10);
  while (end && (*end == ' ' || *end == '\t'))
  {
    ++end;
  }
  return errno == 0 && end != text && end && *end == '\0';
}

bool IsIntegerType(const std::string& type)
{
  static const char* const names[] = {
    "Int8", "UInt8", "Int16", "UInt16", "Int32", "UInt32", "Int64", "UInt64"
  };
  return std::find(std::begin(names), std::end(names), type) != std::end(names);
}

struct XMLLimits
{
  double Values;        // the most values the file could hold
  std::uint64_t Length; // its length in bytes
};

bool CheckDataArray(vtkXMLDataElement* array,
  const std::string& parent,
  const XMLLimits& limits,
  std::string& why)
{
  const std::string name = array->GetAttribute("Name") ? array->GetAttribute("Name") : "";
  const std::string what = parent == "Points" ? "the points' array"
    : name.empty()                            ? "an array of " + parent
                                              : "array '" + name + "'";
  const std::string type = array->GetAttribute("type") ? array->GetAttribute("type") : "";
  if (type != "Float32" && type != "Float64" && type != "String" && !IsIntegerType(type))
  {
    why = what + " has the unknown type '" + type + "'";
    return false;
  }
  long long components = 1, tuples = 0, offset = 0;
  bool hasComponents = false, hasTuples = false, hasOffset = false;
  if (!WholeNumber(array, "NumberOfComponents", components, hasComponents) || components < 1 ||
    components > 65536)
  {
    why = what + " has NumberOfComponents '" + array->GetAttribute("NumberOfComponents") +
      "' (1 to 65536 expected)";
    return false;
  }
  if (!WholeNumber(array, "NumberOfTuples", tuples, hasTuples) || tuples < 0 ||
    static_cast<double>(tuples) * static_cast<double>(components) > limits.Values)
  {
    why = what + " claims NumberOfTuples '" + array->GetAttribute("NumberOfTuples") +
      (tuples < 0 ? "', not a count" : "', more than the file could hold");
    return false;
  }
  const std::string format = array->GetAttribute("format") ? array->GetAttribute("format") : "";
  if (format != "ascii" && format != "binary" && format != "appended")
  {
    why = what + " has the unknown format '" + format + "'";
    return false;
  }
  if (format == "appended" &&
    (!WholeNumber(array, "offset", offset, hasOffset) || !hasOffset || offset < 0 ||
      static_cast<std::uint64_t>(offset) >= limits.Length))
  {
    const char* text = array->GetAttribute("offset");
    why = what + " has the offset '" + (text ? text : "") + "', not inside the file";
    return false;
  }
  const bool cellList = parent == "Cells" || parent == "Verts" || parent == "Lines" ||
    parent == "Polys" || parent == "Strips";
  if (parent == "Points" && ((type != "Float32" && type != "Float64") || components != 3))
  {
    why = "the points are " + std::to_string(components) + " component(s) of " + type +
      "; points are 3 components of Float32 or Float64";
    return false;
  }
  if (cellList && (!IsIntegerType(type) || components != 1))
  {
    why = (name.empty() ? "an array" : "array '" + name + "'") + " of " + parent + " is " +
      std::to_string(components) + " component(s) of " + type + "; it must be one integer";
    return false;
  }
  return true;
}

bool CheckXMLElement(vtkXMLDataElement* element,
  const std::string& parent,
  const XMLLimits& limits,
  std::string& why)
{
  const std::string name = element->GetName() ? element->GetName() : "";
  if (name == "DataArray" && !CheckDataArray(element, parent, limits, why))
  {
    return false;
  }
  if (name == "Piece")
  {
    for (const char* count : { "NumberOfPoints",
           "NumberOfCells",
           "NumberOfVerts",
           "NumberOfLines",
           "NumberOfStrips",
           "NumberOfPolys" })
    {
      long long value = 0;
      bool present = false;
      const double perItem = std::strcmp(count, "NumberOfPoints") == 0 ? 3.0 : 1.0;
      if (!WholeNumber(element, count, value, present) || value < 0 ||
        static_cast<double>(value) * perItem > limits.Values)
      {
        why = std::string("the piece claims ") + count + " '" + element->GetAttribute(count) +
          (value < 0 ? "', not a count" : "', more than the file could hold");
        return false;
      }
    }
  }
  for (int i = 0; i < element->GetNumberOfNestedElements(); ++i)
  {
    if (!CheckXMLElement(element->GetNestedElement(i), name, limits, why))
    {
      return false;
    }
  }
  return true;
}
} // namespace

//------------------------------------------------------------------------------
bool CheckXMLElements(vtkXMLDataElement* root, std::uint64_t fileLength, std::string& why)
{
  if (!root)
  {
    why = "no XML elements";
    return false;
  }
  const bool compressed = root->GetAttribute("compressor") != nullptr;
  const XMLLimits limits{ static_cast<double>(fileLength) * (compressed ? 1100.0 : 1.0),
    fileLength };
  return CheckXMLElement(root, "", limits, why);
}

//------------------------------------------------------------------------------
bool CheckSignature(const std::string& path, const std::string& ext, std::string& why)
{
  std::array<char, 64> head{};
  std::ifstream in(path, std::ios::binary);
  in.read(head.data(), head.size());
  const std::string start(head.data(), static_cast<std::size_t>(in.gcount()));
  if (start.rfind("$MeshFormat", 0) == 0 || start.rfind("$NOD", 0) == 0)
  {
    why = "it is a gmsh .msh file; gmsh writes VTK's format with -format vtk";
    return false;
  }
  const auto first = start.find_first_not_of(" \t\r\n");
  if (ext == ".vtk" && start.rfind("# vtk DataFile", 0) != 0)
  {
    why = "it does not start with '# vtk DataFile'";
    return false;
  }
  if ((ext == ".vtu" || ext == ".vtp") && (first == std::string::npos || start[first] != '<'))
  {
    why = "it is not an XML file";
    return false;
  }
  if (ext == ".ply" && start.rfind("ply", 0) != 0)
  {
    why = "it does not start with 'ply'";
    return false;
  }
  return true;
}

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
        return Refuse(path, ".ply", "unknown format '" + format + "'", error);
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
    else if (keyword != "comment" && keyword != "obj_info" && !keyword.empty())
    {
      // VTK's reader takes such a line for part of the header and crashes
      // on what follows.
      return Refuse(path, ".ply", "unknown header line '" + line.substr(0, 60) + "'", error);
    }
  }
  if (ended && !hasFormat)
  {
    return Refuse(path, ".ply", "its header has no format line", error);
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
