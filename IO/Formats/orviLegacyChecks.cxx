#include "orviFormatChecks.h"

#include "vtkCellType.h"
#include "vtkCellTypes.h"

#include <vtksys/SystemTools.hxx>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace orvi
{
namespace
{
// A file read forwards through a buffer, with jumps: words and lines of
// the text parts, big-endian values of the binary ones.
class Cursor
{
public:
  explicit Cursor(const std::string& path)
    : In(path, std::ios::binary)
    , Buffer(1 << 20)
    , Length(vtksys::SystemTools::FileLength(path))
  {
  }
  std::uint64_t Offset() const { return this->Start + this->Pos; }
  std::uint64_t Left() const { return this->Length - std::min(this->Length, this->Offset()); }
  // The next byte, or -1 at the end.
  int Peek()
  {
    if (this->Pos == this->End && !this->Fill())
    {
      return -1;
    }
    return static_cast<unsigned char>(this->Buffer[this->Pos]);
  }
  int Get()
  {
    const int c = this->Peek();
    this->Pos += c >= 0 ? 1 : 0;
    return c;
  }
  // The rest of the line, without its end.
  bool Line(std::string& line)
  {
    line.clear();
    int c = this->Get();
    if (c < 0)
    {
      return false;
    }
    for (; c >= 0 && c != '\n'; c = this->Get())
    {
      line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r')
    {
      line.pop_back();
    }
    return true;
  }
  // The next word after blanks; empty at the end.
  std::string Word()
  {
    int c = this->Peek();
    while (c >= 0 && std::isspace(c))
    {
      this->Pos++;
      c = this->Peek();
    }
    std::string word;
    while (c >= 0 && !std::isspace(c))
    {
      word.push_back(static_cast<char>(c));
      this->Pos++;
      c = this->Peek();
    }
    return word;
  }
  // A big-endian binary integer of size bytes.
  bool Binary(int size, std::int64_t& value)
  {
    std::uint64_t v = 0;
    for (int i = 0; i < size; ++i)
    {
      const int c = this->Get();
      if (c < 0)
      {
        return false;
      }
      v = (v << 8) | static_cast<std::uint64_t>(c);
    }
    value = size == 4 ? static_cast<std::int32_t>(v) : static_cast<std::int64_t>(v);
    return true;
  }
  bool Skip(std::uint64_t n)
  {
    if (n <= this->End - this->Pos)
    {
      this->Pos += static_cast<std::size_t>(n);
      return true;
    }
    const std::uint64_t to = this->Offset() + n;
    this->Seek(to);
    return to <= this->Length;
  }
  void Seek(std::uint64_t to)
  {
    this->Start = to;
    this->Pos = this->End = 0;
  }

private:
  bool Fill()
  {
    this->Start += this->End;
    this->Pos = this->End = 0;
    this->In.clear();
    this->In.seekg(static_cast<std::streamoff>(this->Start));
    this->In.read(this->Buffer.data(), static_cast<std::streamsize>(this->Buffer.size()));
    this->End = static_cast<std::size_t>(std::max<std::streamsize>(0, this->In.gcount()));
    return this->End > 0;
  }

  std::ifstream In;
  std::vector<char> Buffer;
  std::uint64_t Length;
  std::uint64_t Start = 0; // file offset of Buffer[0]
  std::size_t Pos = 0, End = 0;
};

// Bytes of a legacy binary value of the named type (0: unknown).
int LegacyTypeSize(std::string type)
{
  std::transform(type.begin(),
    type.end(),
    type.begin(),
    [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  static const std::map<std::string, int> sizes = { { "char", 1 },
    { "unsigned_char", 1 },
    { "short", 2 },
    { "unsigned_short", 2 },
    { "int", 4 },
    { "unsigned_int", 4 },
    { "long", 8 },
    { "unsigned_long", 8 },
    { "vtkidtype", 8 },
    { "vtktypeint64", 8 },
    { "vtktypeuint64", 8 },
    { "float", 4 },
    { "double", 8 } };
  const auto found = sizes.find(type);
  return found == sizes.end() ? 0 : found->second;
}

// The walk through a legacy file's geometry: every count of its header
// lines against what the file holds, every cell list's sizes, every cell
// type. Sections it does not model (the point and cell data) are left to
// the reader.
class LegacyWalk
{
public:
  LegacyWalk(const std::string& path, std::string& why)
    : In(path)
    , Why(why)
  {
  }

  bool Run()
  {
    std::string line;
    // "# vtk DataFile Version X.Y", read as VTK's reader reads it: two
    // whole numbers (a version of "1.0e+23" is 1.0, and its cells are read
    // in the format before version 5).
    this->In.Line(line);
    int major = 0, minor = 0;
    this->Version =
      std::sscanf(line.c_str(), "# vtk DataFile Version %d.%d", &major, &minor) == 2 ? major : 0;
    this->In.Line(line); // the title
    std::string format = this->In.Word();
    std::transform(format.begin(),
      format.end(),
      format.begin(),
      [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (format != "ASCII" && format != "BINARY")
    {
      return this->Fail("the third line says '" + format.substr(0, 40) + "', not ASCII or BINARY");
    }
    this->IsBinary = format == "BINARY";
    for (std::string keyword = this->Upper(this->In.Word()); !keyword.empty();
         keyword = this->Upper(this->In.Word()))
    {
      bool known = true;
      if (!this->Section(keyword, known))
      {
        return false;
      }
      if (!known)
      {
        break;
      }
    }
    if (this->Types >= 0 && this->Cells >= 0 && this->Types != this->Cells)
    {
      return this->Fail("CELL_TYPES counts " + std::to_string(this->Types) +
        " cells, CELLS counts " + std::to_string(this->Cells));
    }
    return true;
  }

private:
  static std::string Upper(std::string s)
  {
    std::transform(s.begin(),
      s.end(),
      s.begin(),
      [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
  }
  bool Fail(const std::string& why)
  {
    this->Why = why;
    return false;
  }

  // A count of a header line: a whole number, not negative, and values
  // of it (perValue each, at least 2 bytes each in text) within the file.
  bool Count(const std::string& keyword,
    std::int64_t& n,
    double values,
    int perValue,
    const char* noun = "values")
  {
    const std::string word = this->In.Word();
    char* end = nullptr;
    errno = 0;
    n = std::strtoll(word.c_str(), &end, 10);
    if (word.empty() || errno != 0 || !end || *end != '\0' || n < 0)
    {
      return this->Fail(keyword + " claims '" + word.substr(0, 40) + "', not a count");
    }
    const double bytes = static_cast<double>(n) * values * (this->IsBinary ? perValue : 2);
    if (bytes > static_cast<double>(this->In.Left()) + 1.0)
    {
      std::ostringstream message;
      message << keyword << " claims " << n << " " << noun << ", more than the " << this->In.Left()
              << " bytes left in the file hold";
      return this->Fail(message.str());
    }
    return true;
  }

  // The next value of a data section (after its header line's end in a
  // binary file).
  bool Value(int size, std::int64_t& v)
  {
    if (this->IsBinary)
    {
      return this->In.Binary(size, v);
    }
    const std::string word = this->In.Word();
    char* end = nullptr;
    v = std::strtoll(word.c_str(), &end, 10);
    return !word.empty() && end && *end == '\0';
  }
  // Where a section's values lie: its start and the bytes of a binary
  // value, and where every MarkStride-th value of a text one starts.
  static constexpr std::int64_t MarkStride = 64;
  struct Values
  {
    std::uint64_t Start = 0;
    int Size = 8;
    std::vector<std::uint64_t> Marks;
  };

  // Past n values of a data section (marking them in a text file).
  bool SkipValues(std::uint64_t n, int size, Values* marked = nullptr)
  {
    if (this->IsBinary)
    {
      return this->In.Skip(n * static_cast<std::uint64_t>(size));
    }
    for (std::uint64_t i = 0; i < n; ++i)
    {
      if (marked && i % MarkStride == 0)
      {
        marked->Marks.push_back(this->In.Offset());
      }
      if (this->In.Word().empty())
      {
        return false;
      }
    }
    return true;
  }
  // The end of a header line before binary data.
  void EndLine()
  {
    std::string rest;
    this->In.Line(rest);
  }

  bool Section(const std::string& keyword, bool& known)
  {
    if (keyword == "DATASET")
    {
      const std::string type = this->Upper(this->In.Word());
      known = type == "UNSTRUCTURED_GRID" || type == "POLYDATA";
      return true;
    }
    if (keyword == "POINTS")
    {
      std::int64_t n = 0;
      if (!this->Count(keyword, n, 3.0, 1, "points"))
      {
        return false;
      }
      const std::string type = this->In.Word();
      const int size = LegacyTypeSize(type);
      if (size == 0)
      {
        return this->Fail("POINTS has the unknown type '" + type.substr(0, 40) + "'");
      }
      if (this->IsBinary &&
        static_cast<double>(n) * 3.0 * size > static_cast<double>(this->In.Left()))
      {
        return this->Fail("POINTS claims " + std::to_string(n) + " points of " + type +
          ", more than the file holds");
      }
      this->Points = n;
      if (this->IsBinary)
      {
        this->EndLine();
      }
      return this->SkipValues(static_cast<std::uint64_t>(n) * 3, size) ||
        this->Fail("the file ends inside its " + std::to_string(n) + " points");
    }
    if (keyword == "CELLS" || keyword == "VERTICES" || keyword == "LINES" ||
      keyword == "POLYGONS" || keyword == "TRIANGLE_STRIPS")
    {
      return this->CellList(keyword);
    }
    if (keyword == "CELL_TYPES")
    {
      return this->CellTypes();
    }
    if (keyword == "METADATA")
    {
      // Lines of text up to a blank one.
      std::string line;
      this->EndLine();
      while (this->In.Line(line) && !line.empty())
      {
      }
      return true;
    }
    if (keyword == "POINT_DATA" || keyword == "CELL_DATA")
    {
      std::int64_t n = 0;
      known = false; // the arrays that follow are the reader's
      return this->Count(keyword, n, 1.0, 1);
    }
    known = false;
    return true;
  }

  // A cell list: "KEYWORD cells size" and size values of counts and ids
  // (before version 5), or "KEYWORD offsets ids" and OFFSETS and
  // CONNECTIVITY sections (version 5).
  bool CellList(const std::string& keyword)
  {
    std::int64_t a = 0, b = 0;
    if (!this->Count(keyword, a, 1.0, 4) || !this->Count(keyword, b, 1.0, 4))
    {
      return false;
    }
    const bool cells = keyword == "CELLS";
    const std::string ends = "the file ends inside its " + keyword + " list";
    if (this->Version < 5)
    {
      if (this->IsBinary)
      {
        this->EndLine();
      }
      std::int64_t used = 0;
      for (std::int64_t c = 0; c < a; ++c)
      {
        std::int64_t n = 0;
        if (cells && c % StartStride == 0)
        {
          this->Starts.push_back(this->In.Offset());
        }
        if (!this->Value(4, n))
        {
          return this->Fail(ends);
        }
        if (n < 0 || n > b - used - 1)
        {
          return this->Fail(keyword + " cell " + std::to_string(c) + " claims " +
            std::to_string(n) + " points, past the list's " + std::to_string(b) + " values");
        }
        used += n + 1;
        if (!this->SkipValues(static_cast<std::uint64_t>(n), 4))
        {
          return this->Fail(ends);
        }
      }
      if (used != b)
      {
        return this->Fail(keyword + " claims " + std::to_string(b) + " values; its " +
          std::to_string(a) + " cells hold " + std::to_string(used));
      }
      this->Cells = cells ? a : this->Cells;
      return true;
    }
    // Offsets: a values from 0, rising, to the connectivity's b.
    const int offsetSize = this->IntegerSection(keyword, "OFFSETS");
    if (offsetSize == 0)
    {
      return false;
    }
    if (cells)
    {
      this->Offsets = { this->In.Offset(), offsetSize, {} };
    }
    std::int64_t previous = 0;
    for (std::int64_t k = 0; k < a; ++k)
    {
      if (cells && !this->IsBinary && k % MarkStride == 0)
      {
        this->Offsets.Marks.push_back(this->In.Offset());
      }
      std::int64_t offset = 0;
      if (!this->Value(offsetSize, offset))
      {
        return this->Fail(ends);
      }
      if ((k == 0 && offset != 0) || offset < previous || offset > b || (k == a - 1 && offset != b))
      {
        return this->Fail(keyword + " offset " + std::to_string(k) + " is " +
          std::to_string(offset) + ", outside the rising list from 0 to " + std::to_string(b));
      }
      previous = offset;
    }
    const int idSize = this->IntegerSection(keyword, "CONNECTIVITY");
    if (idSize == 0)
    {
      return false;
    }
    if (cells)
    {
      this->Connectivity = { this->In.Offset(), idSize, {} };
    }
    if (!this->SkipValues(
          static_cast<std::uint64_t>(b), idSize, cells ? &this->Connectivity : nullptr))
    {
      return this->Fail(ends);
    }
    this->Cells = cells ? std::max<std::int64_t>(0, a - 1) : this->Cells;
    return true;
  }

  // The header line of a version 5 cell list's OFFSETS or CONNECTIVITY:
  // the bytes of its integers (4 or 8), 0 with why set otherwise.
  int IntegerSection(const std::string& keyword, const std::string& section)
  {
    if (this->Upper(this->In.Word()) != section)
    {
      this->Fail(keyword + " is not followed by " + section);
      return 0;
    }
    const int size = LegacyTypeSize(this->In.Word());
    if (size != 4 && size != 8)
    {
      this->Fail(keyword + " " + section + " are not of an integer type");
      return 0;
    }
    if (this->IsBinary)
    {
      this->EndLine();
    }
    return size;
  }

  bool CellTypes()
  {
    std::int64_t n = 0;
    if (!this->Count("CELL_TYPES", n, 1.0, 4, "cells"))
    {
      return false;
    }
    if (this->Cells >= 0 && n != this->Cells)
    {
      return this->Fail("CELL_TYPES counts " + std::to_string(n) + " cells, CELLS counts " +
        std::to_string(this->Cells));
    }
    if (this->IsBinary)
    {
      this->EndLine();
    }
    std::vector<std::int64_t> polyhedra;
    for (std::int64_t c = 0; c < n; ++c)
    {
      std::int64_t type = 0;
      if (!this->Value(4, type))
      {
        return this->Fail("the file ends inside its " + std::to_string(n) + " cell types");
      }
      if (type < 0 || type >= VTK_NUMBER_OF_CELL_TYPES ||
        (type != VTK_EMPTY_CELL &&
          std::strcmp(
            vtkCellTypes::GetClassNameFromTypeId(static_cast<int>(type)), "UnknownClass") == 0))
      {
        return this->Fail("cell " + std::to_string(c) + " has the type " + std::to_string(type) +
          ", not a cell type");
      }
      if (type == VTK_POLYHEDRON)
      {
        polyhedra.push_back(c);
      }
    }
    this->Types = n;
    const std::uint64_t after = this->In.Offset();
    for (const std::int64_t c : polyhedra)
    {
      if (!this->FaceStream(c))
      {
        return false;
      }
    }
    this->In.Seek(after);
    return true;
  }

  // To value k of a section.
  bool SeekValue(const Values& section, std::int64_t k)
  {
    if (this->IsBinary)
    {
      this->In.Seek(section.Start + static_cast<std::uint64_t>(k) * section.Size);
      return true;
    }
    const auto mark = static_cast<std::size_t>(k / MarkStride);
    if (mark >= section.Marks.size())
    {
      return false;
    }
    this->In.Seek(section.Marks[mark]);
    return this->SkipValues(static_cast<std::uint64_t>(k % MarkStride), section.Size);
  }

  // A polyhedron's cell: a face stream (faces, then each face's point count
  // and points) that fills the cell exactly.
  bool FaceStream(std::int64_t c)
  {
    std::int64_t size = 0;
    int valueSize = 4;
    const auto stride = static_cast<std::size_t>(StartStride);
    if (this->Version < 5 && static_cast<std::size_t>(c) / stride < this->Starts.size())
    {
      // From the nearest recorded cell, over the cells between.
      this->In.Seek(this->Starts[static_cast<std::size_t>(c) / stride]);
      bool ok = true;
      for (std::int64_t k = c / StartStride * StartStride; ok && k < c; ++k)
      {
        ok = this->Value(4, size) && this->SkipValues(static_cast<std::uint64_t>(size), 4);
      }
      if (!ok || !this->Value(4, size))
      {
        return this->Fail("cell " + std::to_string(c) + ": the file ends inside it");
      }
    }
    else if (this->Version >= 5 && c < this->Cells)
    {
      // Its offsets, then its place in the connectivity.
      std::int64_t first = 0, last = 0;
      if (!this->SeekValue(this->Offsets, c) || !this->Value(this->Offsets.Size, first) ||
        !this->Value(this->Offsets.Size, last) || !this->SeekValue(this->Connectivity, first))
      {
        return this->Fail("cell " + std::to_string(c) + ": the file ends inside it");
      }
      size = last - first;
      valueSize = this->Connectivity.Size;
    }
    else
    {
      return true; // no CELLS before CELL_TYPES: the reader refuses the file
    }
    const std::string what = "cell " + std::to_string(c) + " is a polyhedron, but its " +
      std::to_string(size) + " values are not a face stream";
    std::int64_t faces = 0, used = 1;
    if (size < 1 || !this->Value(valueSize, faces) || faces < 1 || faces > size)
    {
      return this->Fail(what);
    }
    for (std::int64_t f = 0; f < faces; ++f)
    {
      std::int64_t points = 0;
      if (used >= size || !this->Value(valueSize, points) || points < 3 ||
        points > size - used - 1 ||
        !this->SkipValues(static_cast<std::uint64_t>(points), valueSize))
      {
        return this->Fail(what);
      }
      used += points + 1;
    }
    return used == size || this->Fail(what);
  }

  Cursor In;
  std::string& Why;
  int Version = 0; // the major version
  bool IsBinary = false;
  std::int64_t Points = -1, Cells = -1, Types = -1;
  // Where every StartStride-th cell of CELLS starts (before version 5).
  static constexpr std::int64_t StartStride = 64;
  std::vector<std::uint64_t> Starts;
  // A version 5 file's OFFSETS and CONNECTIVITY of CELLS.
  Values Offsets, Connectivity;
};
} // namespace

//------------------------------------------------------------------------------
bool CheckLegacyVTK(const std::string& path, std::string& error)
{
  std::string why;
  LegacyWalk walk(path, why);
  return walk.Run() || Refuse(path, why, error);
}

} // namespace orvi
