#include "orviAppendedXML.h"

#include "orviFormatChecks.h"
#include "orviMappedFile.h"
#include "orviReadMemory.h"
#include "orviReadMessages.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkDataArray.h"
#include "vtkNew.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkSMPTools.h"
#include "vtkTypeInt32Array.h"
#include "vtkTypeInt64Array.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"
#include "vtkXMLDataElement.h"

#include <expat.h>
#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orvi
{

namespace
{
using isolated::MapArray;
using isolated::UnmapArray;

// The arrays whose values lie in a file's mapping, each holding it: the
// mapping goes with the last of them (an array's free function).
std::mutex& SharesMutex()
{
  static std::mutex mutex;
  return mutex;
}
std::multimap<void*, std::shared_ptr<MappedFile>>& Shares()
{
  static std::multimap<void*, std::shared_ptr<MappedFile>> shares;
  return shares;
}
void ReleaseShare(void* data)
{
  std::shared_ptr<MappedFile> last;
  const std::lock_guard<std::mutex> lock(SharesMutex());
  const auto found = Shares().find(data);
  if (found != Shares().end())
  {
    last = found->second; // unmapped, if it is the last, once the lock is let go
    Shares().erase(found);
  }
}

//------------------------------------------------------------------------------
// The XML before <AppendedData>, as vtkXMLDataElements: expat is handed the
// file a chunk at a time and stopped at that element, so that the appended
// bytes are never parsed.
struct Header
{
  XML_Parser Parser = nullptr;
  vtkSmartPointer<vtkXMLDataElement> Root;
  std::vector<vtkXMLDataElement*> Open;
  std::string Encoding;
  std::int64_t AppendedEnd = -1; // the byte after <AppendedData ...>
};

void StartElement(void* user, const XML_Char* name, const XML_Char** attributes)
{
  auto* header = static_cast<Header*>(user);
  if (std::strcmp(name, "AppendedData") == 0)
  {
    for (int i = 0; attributes[i]; i += 2)
    {
      if (std::strcmp(attributes[i], "encoding") == 0)
      {
        header->Encoding = attributes[i + 1];
      }
    }
    header->AppendedEnd =
      XML_GetCurrentByteIndex(header->Parser) + XML_GetCurrentByteCount(header->Parser);
    XML_StopParser(header->Parser, XML_FALSE);
    return;
  }
  vtkNew<vtkXMLDataElement> element;
  element->SetName(name);
  for (int i = 0; attributes[i]; i += 2)
  {
    element->SetAttribute(attributes[i], attributes[i + 1]);
  }
  if (header->Open.empty())
  {
    header->Root = element;
  }
  else
  {
    header->Open.back()->AddNestedElement(element);
  }
  header->Open.push_back(element);
}

void EndElement(void* user, const XML_Char* /*name*/)
{
  auto* header = static_cast<Header*>(user);
  if (!header->Open.empty())
  {
    header->Open.pop_back();
  }
}

// The header parsed; false when the file has no <AppendedData> in its first
// 64 MB or is not well-formed XML before it (VTK's reader says why).
bool ParseHeader(const MappedFile& file, Header& header)
{
  constexpr std::size_t Chunk = std::size_t{ 1 } << 20, Most = std::size_t{ 64 } << 20;
  header.Parser = XML_ParserCreate(nullptr);
  if (!header.Parser)
  {
    return false;
  }
  XML_SetUserData(header.Parser, &header);
  XML_SetElementHandler(header.Parser, &StartElement, &EndElement);
  for (std::size_t at = 0; at < std::min(file.Size, Most) && header.AppendedEnd < 0; at += Chunk)
  {
    const auto length = static_cast<int>(std::min(Chunk, file.Size - at));
    if (XML_Parse(
          header.Parser, reinterpret_cast<const char*>(file.Data + at), length, XML_FALSE) ==
        XML_STATUS_ERROR &&
      header.AppendedEnd < 0)
    {
      break;
    }
  }
  XML_ParserFree(header.Parser);
  header.Parser = nullptr;
  return header.Root && header.AppendedEnd > 0;
}

//------------------------------------------------------------------------------
// How the appended bytes are laid out.
struct Layout
{
  const unsigned char* Start = nullptr; // the byte after the '_'
  std::uint64_t Length = 0;             // bytes from there to the file's end
  bool Base64 = false;
  bool Zlib = false;
  int HeaderSize = 4; // a block header's words: UInt32 or UInt64
};

const char* Attribute(vtkXMLDataElement* element, const char* name)
{
  const char* value = element ? element->GetAttribute(name) : nullptr;
  return value ? value : "";
}

bool Is(const char* value, const char* expected)
{
  return std::strcmp(value, expected) == 0;
}

// VTK's type of an XML type name; -1 for none.
int ValueType(const char* name)
{
  static const std::array<std::pair<const char*, int>, 10> types = { {
    { "Int8", VTK_TYPE_INT8 },
    { "UInt8", VTK_TYPE_UINT8 },
    { "Int16", VTK_TYPE_INT16 },
    { "UInt16", VTK_TYPE_UINT16 },
    { "Int32", VTK_TYPE_INT32 },
    { "UInt32", VTK_TYPE_UINT32 },
    { "Int64", VTK_TYPE_INT64 },
    { "UInt64", VTK_TYPE_UINT64 },
    { "Float32", VTK_TYPE_FLOAT32 },
    { "Float64", VTK_TYPE_FLOAT64 },
  } };
  for (const auto& [xml, type] : types)
  {
    if (std::strcmp(name, xml) == 0)
    {
      return type;
    }
  }
  return -1;
}

// Whether every element is one this read covers: one piece of an
// unstructured grid, its arrays appended numbers, its cells without
// polyhedra's faces, their ids and offsets 32- or 64-bit, their types bytes.
bool CoveredElement(vtkXMLDataElement* element, const std::string& parent)
{
  const std::string name = element->GetName();
  static const std::array<const char*, 7> known = {
    "VTKFile", "UnstructuredGrid", "Piece", "Points", "Cells", "PointData", "CellData"
  };
  if (name == "DataArray")
  {
    const std::string array = Attribute(element, "Name");
    const char* type = Attribute(element, "type");
    const bool id = parent == "Cells" && (array == "connectivity" || array == "offsets");
    // Its InformationKey elements (ranges VTK's writer keeps) are left out.
    bool keysOnly = true;
    for (int i = 0; i < element->GetNumberOfNestedElements(); ++i)
    {
      keysOnly = keysOnly && Is(element->GetNestedElement(i)->GetName(), "InformationKey");
    }
    return Is(Attribute(element, "format"), "appended") && ValueType(type) >= 0 && keysOnly &&
      (parent != "Cells" || id || array == "types") &&
      (!id || Is(type, "Int32") || Is(type, "Int64")) &&
      (array != "types" || parent != "Cells" || Is(type, "UInt8"));
  }
  if (std::find_if(known.begin(), known.end(), [&](const char* k) { return name == k; }) ==
    known.end())
  {
    return false;
  }
  for (int i = 0; i < element->GetNumberOfNestedElements(); ++i)
  {
    if (!CoveredElement(element->GetNestedElement(i), name))
    {
      return false;
    }
  }
  return true;
}

// The piece of a covered file (null: not covered), its layout set.
vtkXMLDataElement* CoveredPiece(const Header& header, const MappedFile& file, Layout& layout)
{
  vtkXMLDataElement* root = header.Root;
  vtkXMLDataElement* grid =
    root->GetNumberOfNestedElements() == 1 ? root->GetNestedElement(0) : nullptr;
  const char* headerType = Attribute(root, "header_type");
  const char* compressor = Attribute(root, "compressor");
  if (!Is(root->GetName(), "VTKFile") || !Is(Attribute(root, "type"), "UnstructuredGrid") ||
    !Is(Attribute(root, "byte_order"), "LittleEndian") || !grid ||
    grid->GetNumberOfNestedElements() != 1 ||
    !(Is(headerType, "") || Is(headerType, "UInt32") || Is(headerType, "UInt64")) ||
    !(Is(compressor, "") || Is(compressor, "vtkZLibDataCompressor")) ||
    !(header.Encoding == "raw" || header.Encoding == "base64") || !CoveredElement(root, ""))
  {
    return nullptr;
  }
  // VTK's writer puts the appended bytes after a '_', blanks allowed before.
  auto at = static_cast<std::uint64_t>(header.AppendedEnd);
  while (at < file.Size && std::strchr(" \t\r\n", file.Data[at]) && file.Data[at] != '\0')
  {
    ++at;
  }
  if (at >= file.Size || file.Data[at] != '_')
  {
    return nullptr;
  }
  layout.Start = file.Data + at + 1;
  layout.Length = file.Size - at - 1;
  layout.Base64 = header.Encoding == "base64";
  layout.Zlib = !Is(compressor, "");
  layout.HeaderSize = Is(headerType, "UInt64") ? 8 : 4;
  return grid->GetNestedElement(0);
}

//------------------------------------------------------------------------------
// Decoding, copying and inflating on every core.

// Base64 by hand: VTK's vtkBase64Utilities decodes serially and stops
// silently at a byte that is not base64, where a damaged file must be
// refused; these decode on every core and say so.
//
// The value of a base64 character; 64 for '=', 255 for a byte that is none.
const std::array<unsigned char, 256>& Base64Values()
{
  static const std::array<unsigned char, 256> values = []
  {
    std::array<unsigned char, 256> table{};
    table.fill(255);
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (unsigned char i = 0; i < 64; ++i)
    {
      table[static_cast<unsigned char>(alphabet[i])] = i;
    }
    table['='] = 64;
    return table;
  }();
  return values;
}

// One group of four base64 characters as its three bytes; false when one
// is not a base64 character or, unless last, is padding.
bool DecodeGroup(const unsigned char* c, std::array<unsigned char, 3>& bytes, int data = 4)
{
  const auto& values = Base64Values();
  std::array<unsigned char, 4> v{ values[c[0]], values[c[1]], values[c[2]], values[c[3]] };
  bool good = true;
  for (int k = 0; k < 4; ++k)
  {
    // The characters that carry data, then padding.
    good = good && (k < data ? v[k] < 64 : v[k] == 64);
    v[k] = v[k] >= 64 ? 0 : v[k];
  }
  bytes = { static_cast<unsigned char>(v[0] << 2 | v[1] >> 4),
    static_cast<unsigned char>(v[1] << 4 | v[2] >> 2),
    static_cast<unsigned char>(v[2] << 6 | v[3]) };
  return good;
}

// Groups [begin, end) of four base64 characters at in, none padding, as
// their bytes at out; false when one holds a byte that is not base64.
bool DecodeGroups(const unsigned char* in,
  std::uint64_t begin,
  std::uint64_t end,
  unsigned char* out)
{
  const auto& values = Base64Values();
  unsigned char any = 0;
  for (std::uint64_t g = begin; g < end; ++g)
  {
    const unsigned char* c = in + 4 * g;
    const unsigned char a = values[c[0]], b = values[c[1]], d = values[c[2]], e = values[c[3]];
    any |= (a | b | d | e) & 0xC0; // 64 ('=') or 255 (none) inside the data
    unsigned char* o = out + 3 * (g - begin);
    o[0] = static_cast<unsigned char>(a << 2 | b >> 4);
    o[1] = static_cast<unsigned char>(b << 4 | d >> 2);
    o[2] = static_cast<unsigned char>(d << 6 | e);
  }
  return any == 0;
}

// The bytes [first, first + bytes) of the base64 stream at in, which
// encodes stream bytes, decoded into buffer by this thread alone: a pointer
// to the first of them, or null when a character there is not base64.
const unsigned char* DecodeRange(const unsigned char* in,
  std::uint64_t stream,
  std::uint64_t first,
  std::uint64_t bytes,
  std::vector<unsigned char>& buffer)
{
  const std::uint64_t begin = first / 3, end = (first + bytes + 2) / 3, whole = stream / 3;
  buffer.resize(3 * (end - begin));
  const std::uint64_t middle = std::max(begin, std::min(end, whole));
  bool good = DecodeGroups(in, begin, middle, buffer.data());
  if (middle < end)
  {
    // The stream's last group, padded.
    std::array<unsigned char, 3> three{};
    good = good && DecodeGroup(in + 4 * middle, three, static_cast<int>(stream - 3 * middle) + 1);
    std::memcpy(buffer.data() + 3 * (middle - begin), three.data(), 3);
  }
  return good ? buffer.data() + (first - 3 * begin) : nullptr;
}

// The base64 characters in decoded, skip bytes left out and the following
// bytes written to out (4 characters for every 3 bytes, the last group
// padded with '='); false on a byte that is not base64. VTK's writer encodes
// an uncompressed array's header and values as one stream, a compressed
// one's header and blocks as two.
bool DecodeBase64(const unsigned char* in,
  unsigned char* out,
  std::uint64_t bytes,
  std::uint64_t skip = 0)
{
  const std::uint64_t total = skip + bytes, whole = total / 3, first = (skip + 2) / 3;
  std::atomic<bool> bad{ false };
  // The groups at the ends, byte by byte: those holding skipped bytes, and
  // the last one when it is padded.
  const auto some = [&](std::uint64_t g, int data)
  {
    std::array<unsigned char, 3> three{};
    bad = bad || !DecodeGroup(in + 4 * g, three, data);
    for (std::uint64_t k = 0; k < 3; ++k)
    {
      const std::uint64_t at = 3 * g + k;
      if (at >= skip && at < total)
      {
        out[at - skip] = three[k];
      }
    }
  };
  for (std::uint64_t g = 0; g < std::min(first, whole); ++g)
  {
    some(g, 4);
  }
  const std::uint64_t from = std::min(first, whole);
  vtkSMPTools::For(static_cast<vtkIdType>(from),
    static_cast<vtkIdType>(whole),
    std::max<vtkIdType>(1 << 16, static_cast<vtkIdType>(whole / 64)),
    [&](vtkIdType begin, vtkIdType end)
    {
      const auto b = static_cast<std::uint64_t>(begin), e = static_cast<std::uint64_t>(end);
      if (!DecodeGroups(in, b, e, out + 3 * b - skip))
      {
        bad = true;
      }
    });
  if (total > 3 * whole)
  {
    some(whole, static_cast<int>(total - 3 * whole) + 1);
  }
  return !bad;
}

// The characters of bytes base64-encoded.
std::uint64_t Base64Length(std::uint64_t bytes)
{
  return (bytes + 2) / 3 * 4;
}

// VTK's zlib blocks: the count, the size of each but the last, the last's
// (0: a whole one), and each one's compressed size.
struct Blocks
{
  std::uint64_t Count = 0, Size = 0, Last = 0;
  std::vector<std::uint64_t> Compressed, Starts;
  // The bytes they inflate to (the most a count holds when more).
  std::uint64_t Total() const
  {
    std::uint64_t total = 0;
    if (this->Count > 0 &&
      (__builtin_mul_overflow(this->Count - 1, this->Size, &total) ||
        __builtin_add_overflow(total, this->Last ? this->Last : this->Size, &total)))
    {
      return std::numeric_limits<std::uint64_t>::max();
    }
    return total;
  }
};

//------------------------------------------------------------------------------
// One array's values taken out of the appended bytes.
struct Values
{
  void* Data = nullptr;
  std::uint64_t Bytes = 0;
  bool InFile = false; // in the file's mapping (else in memory of its own)
};

class BlockReader
{
public:
  BlockReader(const Layout& layout, const std::shared_ptr<MappedFile>& file)
    : Where(layout)
    , File(file)
  {
  }

  // The values of the block at offset, which must hold bytes bytes of
  // values of size valueSize; false with why set (what names the array).
  bool Read(std::uint64_t offset,
    std::uint64_t bytes,
    int valueSize,
    const std::string& what,
    const std::string& count,
    Values& values,
    std::string& why);

  // The block at offset, which must hold n 64-bit integers, narrowed into
  // the n 32-bit values at out: Done, Wide when a value does not fit in 32
  // bits (nothing more is read), Damaged with why set (as Read()'s).
  enum class Status
  {
    Done,
    Wide,
    NotZlib,
    NotBase64,
    Damaged
  };
  Status ReadNarrowed(std::uint64_t offset,
    std::uint64_t n,
    const std::string& what,
    const std::string& count,
    std::int32_t* out,
    std::string& why);

  // Whether the block at offset is raw and holds exactly the n values of
  // heldSize bytes at values, as values of the file's valueSize bytes (8
  // and 4: a 64-bit block read narrowed); its pages are mapped a slice at a
  // time and let go once compared. False for an encoded or compressed block.
  bool Holds(std::uint64_t offset,
    const void* values,
    std::uint64_t n,
    int valueSize,
    int heldSize);

private:
  // Where a block's stored bytes are, once its header is checked.
  struct Located
  {
    Blocks Zlib;
    const unsigned char* From = nullptr; // after its header, unless one base64 stream with it
    std::uint64_t Skip = 0;              // the stream's header bytes before the values
    std::uint64_t Stored = 0;            // the bytes stored (compressed), decoded
    std::uint64_t Length = 0;            // the bytes in the file from From on
  };
  // What a block's values are handed to, a piece at a time, on every core:
  // n bytes that start at byte first of the values; false to stop.
  using Sink = std::function<bool(std::uint64_t first, const unsigned char* data, std::uint64_t n)>;

  bool Words(std::uint64_t& at, std::uint64_t n, std::vector<std::uint64_t>& words);
  bool ReadBlocks(std::uint64_t& at, Blocks& blocks);
  bool Locate(std::uint64_t offset,
    std::uint64_t bytes,
    int valueSize,
    const std::string& what,
    const std::string& count,
    Located& block,
    std::string& why);
  // Each block inflated and handed to sink, or inflated straight into its
  // place at into when given.
  Status InflateBlocks(const Located& block, const Sink& sink, unsigned char* into = nullptr);
  Status Slices(const Located& block, std::uint64_t bytes, const Sink& sink);
  unsigned char* Own(std::uint64_t bytes);

  const Layout& Where;
  std::shared_ptr<MappedFile> File;
};

// n header words at at, raw or base64; false when they run past the file's
// end. A header of its own is passed (at moved past it); one that starts a
// base64 stream with the values (an uncompressed array's) is not.
bool BlockReader::Words(std::uint64_t& at, std::uint64_t n, std::vector<std::uint64_t>& words)
{
  const std::uint64_t size = static_cast<std::uint64_t>(this->Where.HeaderSize);
  const std::uint64_t left = this->Where.Length - std::min(at, this->Where.Length);
  const std::uint64_t bytes = n * size;
  const bool ownStream = this->Where.Zlib || !this->Where.Base64;
  const std::uint64_t stored = this->Where.Base64 ? Base64Length(bytes) : bytes;
  if (n > left / size || stored > left)
  {
    return false;
  }
  std::vector<unsigned char> raw(bytes + 3);
  const unsigned char* from = this->Where.Start + at;
  bool good = true;
  if (!this->Where.Base64)
  {
    std::memcpy(raw.data(), from, bytes);
  }
  else if (ownStream)
  {
    good = DecodeBase64(from, raw.data(), bytes);
  }
  for (std::uint64_t g = 0; !ownStream && g < stored / 4; ++g)
  {
    // The stream's first groups, padded only when it ends there.
    const unsigned char* c = from + 4 * g;
    std::array<unsigned char, 3> three{};
    good = good && DecodeGroup(c, three, 4 - (c[3] == '=') - (c[2] == '=' && c[3] == '='));
    std::memcpy(raw.data() + 3 * g, three.data(), 3);
  }
  words.resize(n);
  for (std::uint64_t i = 0; i < n; ++i)
  {
    words[i] = 0;
    std::memcpy(&words[i], raw.data() + i * size, size); // little-endian, as the file
  }
  at += ownStream ? stored : 0;
  return good;
}

bool BlockReader::ReadBlocks(std::uint64_t& at, Blocks& blocks)
{
  std::vector<std::uint64_t> words;
  if (!this->Words(at, 3, words))
  {
    return false;
  }
  blocks.Count = words[0];
  blocks.Size = words[1];
  blocks.Last = words[2];
  if ((blocks.Count > 0 && blocks.Size == 0) || blocks.Last > blocks.Size ||
    !this->Words(at, blocks.Count, blocks.Compressed))
  {
    return false;
  }
  blocks.Starts.resize(blocks.Count);
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < blocks.Count; ++i)
  {
    blocks.Starts[i] = sum;
    if (blocks.Compressed[i] > this->Where.Length - sum)
    {
      return false;
    }
    sum += blocks.Compressed[i];
  }
  return true;
}

unsigned char* BlockReader::Own(std::uint64_t bytes)
{
  return static_cast<unsigned char*>(MapArray(static_cast<std::size_t>(bytes + 3)));
}

// Why a block's values could not be taken out of it.
const char* Unreadable(BlockReader::Status status)
{
  return status == BlockReader::Status::NotBase64
    ? "holds a byte that is not base64"
    : "holds a zlib block that does not inflate to its size";
}

bool BlockReader::Locate(std::uint64_t offset,
  std::uint64_t bytes,
  int valueSize,
  const std::string& what,
  const std::string& count,
  Located& block,
  std::string& why)
{
  std::uint64_t at = offset;
  const auto damaged = [&](const std::string& how)
  {
    why = what + " " + how;
    return false;
  };
  std::vector<std::uint64_t> word;
  if (this->Where.Zlib ? !this->ReadBlocks(at, block.Zlib) : !this->Words(at, 1, word))
  {
    return damaged("has a block header that runs past the file's end or is not base64");
  }
  const std::uint64_t held = this->Where.Zlib ? block.Zlib.Total() : word[0];
  if (held != bytes)
  {
    return damaged("holds " + std::to_string(held) + " bytes, not the " +
      std::to_string(bytes / static_cast<std::uint64_t>(valueSize)) + " values (" +
      std::to_string(bytes) + " bytes) " + count + " (is a count damaged?)");
  }
  // An uncompressed base64 array is one stream with its header.
  const Blocks& blocks = block.Zlib;
  block.Skip = this->Where.Base64 && !this->Where.Zlib
    ? static_cast<std::uint64_t>(this->Where.HeaderSize)
    : 0;
  block.Stored =
    this->Where.Zlib ? (blocks.Count ? blocks.Starts.back() + blocks.Compressed.back() : 0) : bytes;
  block.Length = this->Where.Base64 ? Base64Length(block.Skip + block.Stored) : block.Stored;
  if (block.Length > this->Where.Length - std::min(at, this->Where.Length))
  {
    return damaged("runs past the file's end");
  }
  block.From = this->Where.Start + at;
  return true;
}

bool BlockReader::Read(std::uint64_t offset,
  std::uint64_t bytes,
  int valueSize,
  const std::string& what,
  const std::string& count,
  Values& values,
  std::string& why)
{
  const auto damaged = [&](const std::string& how)
  {
    why = what + " " + how;
    return false;
  };
  Located block;
  if (!this->Locate(offset, bytes, valueSize, what, count, block, why))
  {
    return false;
  }
  const unsigned char* from = block.From;
  values.Bytes = bytes;
  if (!this->Where.Base64 && !this->Where.Zlib &&
    reinterpret_cast<std::uintptr_t>(from) % static_cast<std::uintptr_t>(valueSize) == 0)
  {
    this->File->Populate(from, bytes);
    values.Data = const_cast<unsigned char*>(from);
    values.InFile = true;
    return true;
  }
  unsigned char* out = this->Own(bytes);
  values.Data = out;
  if (!out)
  {
    return damaged("does not fit in memory");
  }
  // Taken out a slice or a run of blocks at a time, whose pages of the
  // file are then let go: the mesh is held once.
  const Sink copy = [out](std::uint64_t first, const unsigned char* data, std::uint64_t n)
  {
    std::memcpy(out + first, data, n);
    return true;
  };
  const Status status =
    this->Where.Zlib ? this->InflateBlocks(block, copy, out) : this->Slices(block, bytes, copy);
  return status == Status::Done || damaged(Unreadable(status));
}

BlockReader::Status BlockReader::InflateBlocks(const Located& block,
  const Sink& sink,
  unsigned char* into)
{
  const Blocks& blocks = block.Zlib;
  std::atomic<int> status{ static_cast<int>(Status::Done) };
  const auto fail = [&status](Status why)
  {
    // A byte not base64 is what the file's damage is, whatever follows.
    int was = status.load();
    while (static_cast<int>(why) > was && !status.compare_exchange_weak(was, static_cast<int>(why)))
    {
    }
  };
  // Runs of blocks (a few megabytes inflated), their compressed pages let
  // go once inflated.
  constexpr vtkIdType Run = 128;
  const auto runs = static_cast<vtkIdType>((blocks.Count + Run - 1) / Run);
  vtkSMPTools::For(0,
    runs,
    1,
    [&](vtkIdType begin, vtkIdType end)
    {
      libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
      std::vector<unsigned char> decoded, inflated(into ? 0 : blocks.Size);
      for (vtkIdType r = begin; r < end && inflater && status == 0; ++r)
      {
        const auto first = static_cast<std::size_t>(r * Run);
        const auto last = std::min<std::size_t>(first + Run, blocks.Count);
        const std::uint64_t from = blocks.Starts[first],
                            to = blocks.Starts[last - 1] + blocks.Compressed[last - 1];
        const unsigned char* stored = block.From + (this->Where.Base64 ? from / 3 * 4 : from);
        const std::uint64_t storedLength =
          this->Where.Base64 ? Base64Length(to) - from / 3 * 4 : to - from;
        this->File->Populate(stored, storedLength);
        for (std::size_t i = first; i < last && status == 0; ++i)
        {
          const std::uint64_t size =
            i + 1 == blocks.Count && blocks.Last ? blocks.Last : blocks.Size;
          const unsigned char* in = this->Where.Base64
            ? DecodeRange(block.From, block.Stored, blocks.Starts[i], blocks.Compressed[i], decoded)
            : block.From + blocks.Starts[i];
          std::size_t made = 0;
          if (!in)
          {
            fail(Status::NotBase64);
          }
          else if (libdeflate_zlib_decompress(inflater,
                     in,
                     blocks.Compressed[i],
                     into ? into + i * blocks.Size : inflated.data(),
                     size,
                     &made) != LIBDEFLATE_SUCCESS ||
            made != size)
          {
            fail(Status::NotZlib);
          }
          else if (!into && !sink(i * blocks.Size, inflated.data(), size))
          {
            fail(Status::Wide);
          }
        }
        this->File->LetGo(stored, storedLength);
      }
      if (!inflater)
      {
        fail(Status::NotZlib);
      }
      libdeflate_free_decompressor(inflater);
    });
  return static_cast<Status>(status.load());
}

BlockReader::Status BlockReader::Slices(const Located& block, std::uint64_t bytes, const Sink& sink)
{
  // Slices of a few megabytes, a multiple of any value's size; each one's
  // pages of the file mapped at once and let go once taken.
  constexpr std::uint64_t Slice = std::uint64_t{ 3 } << 20;
  std::atomic<int> status{ static_cast<int>(Status::Done) };
  vtkSMPTools::For(0,
    static_cast<vtkIdType>((bytes + Slice - 1) / Slice),
    1,
    [&](vtkIdType begin, vtkIdType end)
    {
      std::vector<unsigned char> decoded;
      for (vtkIdType c = begin; c < end && status == 0; ++c)
      {
        const std::uint64_t first = static_cast<std::uint64_t>(c) * Slice,
                            n = std::min(Slice, bytes - first);
        const std::uint64_t stored = this->Where.Base64 ? (block.Skip + first) / 3 * 4 : first,
                            length = this->Where.Base64
          ? Base64Length(block.Skip + first + n) - stored
          : n;
        this->File->Populate(block.From + stored, length);
        const unsigned char* in = this->Where.Base64
          ? DecodeRange(block.From, block.Skip + bytes, block.Skip + first, n, decoded)
          : block.From + first;
        if (!in || !sink(first, in, n))
        {
          status = static_cast<int>(in ? Status::Wide : Status::NotBase64);
        }
        this->File->LetGo(block.From + stored, length);
      }
    });
  return static_cast<Status>(status.load());
}

// n 64-bit integers at in (of any alignment) as 32-bit ones at out; false
// when one does not fit.
bool Narrow(const unsigned char* in, std::uint64_t n, std::int32_t* out)
{
  bool fits = true;
  for (std::uint64_t i = 0; i < n; ++i)
  {
    std::int64_t value = 0;
    std::memcpy(&value, in + 8 * i, 8);
    out[i] = static_cast<std::int32_t>(value);
    fits = fits && out[i] == value;
  }
  return fits;
}

BlockReader::Status BlockReader::ReadNarrowed(std::uint64_t offset,
  std::uint64_t n,
  const std::string& what,
  const std::string& count,
  std::int32_t* out,
  std::string& why)
{
  Located block;
  if (n > std::numeric_limits<std::uint64_t>::max() / 16 ||
    !this->Locate(offset, 8 * n, 8, what, count, block, why))
  {
    return Status::Damaged;
  }
  // Pieces of whole values, each inflated into a buffer of this thread's:
  // blocks of at most a megabyte whose size is a multiple of 8 (VTK's
  // writer's are 32 KB), else the array is read wide.
  constexpr std::uint64_t Largest = std::uint64_t{ 1 } << 20;
  if (this->Where.Zlib && (block.Zlib.Size > Largest || block.Zlib.Size % 8 != 0))
  {
    return Status::Wide;
  }
  const Sink narrow = [out](std::uint64_t first, const unsigned char* data, std::uint64_t bytes)
  { return Narrow(data, bytes / 8, out + first / 8); };
  const Status status =
    this->Where.Zlib ? this->InflateBlocks(block, narrow) : this->Slices(block, 8 * n, narrow);
  if (status == Status::NotBase64 || status == Status::NotZlib)
  {
    why = what + " " + Unreadable(status);
    return Status::Damaged;
  }
  return status;
}

bool BlockReader::Holds(std::uint64_t offset,
  const void* values,
  std::uint64_t n,
  int valueSize,
  int heldSize)
{
  std::uint64_t at = offset;
  std::vector<std::uint64_t> word;
  const std::uint64_t bytes = n * static_cast<std::uint64_t>(valueSize);
  if (this->Where.Base64 || this->Where.Zlib || !this->Words(at, 1, word) || word[0] != bytes ||
    bytes > this->Where.Length - std::min(at, this->Where.Length))
  {
    return false;
  }
  Located block;
  block.From = this->Where.Start + at;
  const auto* held = static_cast<const unsigned char*>(values);
  const auto* narrow = static_cast<const std::int32_t*>(values);
  const Status status = this->Slices(block,
    bytes,
    [&](std::uint64_t first, const unsigned char* data, std::uint64_t length)
    {
      if (valueSize == heldSize)
      {
        return std::memcmp(data, held + first, length) == 0;
      }
      for (std::uint64_t i = 0; i < length / 8; ++i)
      {
        std::int64_t value = 0;
        std::memcpy(&value, data + 8 * i, 8);
        if (value != narrow[first / 8 + i])
        {
          return false;
        }
      }
      return true;
    });
  return status == Status::Done;
}

//------------------------------------------------------------------------------
// The grid built from the piece's arrays.
class GridBuilder
{
public:
  GridBuilder(const std::string& path,
    const Layout& layout,
    const std::shared_ptr<MappedFile>& file,
    ProgressPrinter& progress)
    : Path(path)
    , Blocks(layout, file)
    , File(file)
    , Progress(progress)
  {
  }

  // The grid, on like's points and cells when the piece's are byte for
  // byte like's (like may be null).
  vtkSmartPointer<vtkDataSet> Build(vtkXMLDataElement* piece, vtkDataSet* like, std::string& error);

private:
  bool TakeShape(vtkXMLDataElement* piece, vtkUnstructuredGrid* grid);
  bool TakeShapeOf(vtkDataSet* like, vtkXMLDataElement* piece, vtkUnstructuredGrid* grid);
  bool BlockHolds(vtkXMLDataElement* element, vtkDataArray* values, vtkIdType from = 0);
  vtkSmartPointer<vtkDataArray> TakeArray(vtkXMLDataElement* element,
    const std::string& parent,
    std::uint64_t tuples,
    const std::string& count);
  bool TakeCells(vtkXMLDataElement* cells,
    vtkIdType numPoints,
    vtkIdType numCells,
    vtkUnstructuredGrid* grid);
  bool TakeNarrowed(vtkXMLDataElement* element,
    std::uint64_t n,
    const std::string& count,
    std::int32_t* out);
  bool TakeNarrowCells(vtkXMLDataElement* cells,
    vtkIdType numCells,
    vtkSmartPointer<vtkDataArray>& types,
    vtkSmartPointer<vtkDataArray>& offsets,
    vtkSmartPointer<vtkDataArray>& connectivity);
  bool TakeFields(vtkXMLDataElement* fields,
    vtkDataSetAttributes* into,
    std::uint64_t tuples,
    const std::string& count);

  const std::string& Path;
  BlockReader Blocks;
  std::shared_ptr<MappedFile> File;
  ProgressPrinter& Progress;
  int Arrays = 0, Taken = 0; // the piece's arrays, and those taken so far
  std::string Why;
};

vtkXMLDataElement* ArrayNamed(vtkXMLDataElement* parent, const char* name)
{
  for (int i = 0; parent && i < parent->GetNumberOfNestedElements(); ++i)
  {
    if (Is(Attribute(parent->GetNestedElement(i), "Name"), name))
    {
      return parent->GetNestedElement(i);
    }
  }
  return nullptr;
}

vtkSmartPointer<vtkDataArray> GridBuilder::TakeArray(vtkXMLDataElement* element,
  const std::string& parent,
  std::uint64_t tuples,
  const std::string& count)
{
  const int type = ValueType(Attribute(element, "type"));
  int components = 1;
  element->GetScalarAttribute("NumberOfComponents", components);
  auto array = vtkSmartPointer<vtkDataArray>::Take(vtkDataArray::CreateDataArray(type));
  const std::string name = Attribute(element, "Name");
  const std::string what =
    parent == "Points" ? "the points' array" : "array '" + name + "' of " + parent;
  const auto size = static_cast<std::uint64_t>(array->GetDataTypeSize());
  const std::uint64_t values = tuples * static_cast<std::uint64_t>(components);
  Values taken;
  long long offset = 0;
  element->GetScalarAttribute("offset", offset);
  if (values > std::numeric_limits<std::uint64_t>::max() / 16 ||
    !this->Blocks.Read(static_cast<std::uint64_t>(offset),
      values * size,
      static_cast<int>(size),
      what,
      count,
      taken,
      this->Why))
  {
    this->Why = this->Why.empty() ? what + " claims more values than the file holds" : this->Why;
    UnmapArray(taken.InFile ? nullptr : taken.Data);
    return nullptr;
  }
  array->SetNumberOfComponents(components);
  array->SetVoidArray(
    taken.Data, static_cast<vtkIdType>(values), 0, vtkAbstractArray::VTK_DATA_ARRAY_USER_DEFINED);
  if (taken.InFile)
  {
    const std::lock_guard<std::mutex> lock(SharesMutex());
    Shares().emplace(taken.Data, this->File);
  }
  array->SetArrayFreeFunction(taken.InFile ? &ReleaseShare : &UnmapArray);
  this->Progress.Tell(static_cast<double>(++this->Taken) / std::max(1, this->Arrays));
  if (!name.empty())
  {
    array->SetName(name.c_str());
  }
  return array;
}

// Why an offset is refused: it falls, or its type cannot number it.
std::string OffsetFault(vtkIdType cell, std::int64_t value, bool falls)
{
  return "the offset of cell " + std::to_string(cell) + ", " + std::to_string(value) +
    (falls ? ", is less than the one before it"
           : ", is beyond what its connectivity's type numbers");
}

// The offsets VTK's cell array wants: a leading 0, then the file's, each
// no less than the one before, in the connectivity's type.
template <class Ids>
vtkSmartPointer<vtkDataArray> CellOffsets(vtkDataArray* file, std::string& why)
{
  using Id = typename Ids::ValueType;
  const vtkIdType n = file->GetNumberOfValues();
  vtkNew<Ids> offsets;
  offsets->SetNumberOfValues(n + 1);
  Id* out = offsets->GetPointer(0);
  out[0] = 0;
  const auto* bytes = static_cast<const unsigned char*>(file->GetVoidPointer(0));
  const int size = file->GetDataTypeSize();
  for (vtkIdType i = 0; i < n; ++i)
  {
    std::int64_t value = 0;
    if (size == 4)
    {
      std::int32_t v = 0;
      std::memcpy(&v, bytes + 4 * i, 4);
      value = v;
    }
    else
    {
      std::memcpy(&value, bytes + 8 * i, 8);
    }
    if (value < out[i] || value > std::numeric_limits<Id>::max())
    {
      why = OffsetFault(i, value, value < out[i]);
      return nullptr;
    }
    out[i + 1] = static_cast<Id>(value);
  }
  return offsets;
}

// A 32-bit array of n values in memory of its own (null when there is
// none), for ids narrowed into it.
vtkSmartPointer<vtkTypeInt32Array> OwnIds(std::uint64_t n)
{
  void* memory = MapArray(static_cast<std::size_t>(4 * n + 4));
  if (!memory)
  {
    return nullptr;
  }
  vtkNew<vtkTypeInt32Array> ids;
  ids->SetVoidArray(
    memory, static_cast<vtkIdType>(n), 0, vtkAbstractArray::VTK_DATA_ARRAY_USER_DEFINED);
  ids->SetArrayFreeFunction(&UnmapArray);
  return ids.Get();
}

// The 64-bit integers of the element's block narrowed into the n values at
// out: false with Why empty when one does not fit, set when the file is
// damaged.
bool GridBuilder::TakeNarrowed(vtkXMLDataElement* element,
  std::uint64_t n,
  const std::string& count,
  std::int32_t* out)
{
  long long offset = 0;
  element->GetScalarAttribute("offset", offset);
  const std::string what = "array '" + std::string(Attribute(element, "Name")) + "' of Cells";
  if (!out)
  {
    this->Why = what + " does not fit in memory";
    return false;
  }
  if (this->Blocks.ReadNarrowed(
        static_cast<std::uint64_t>(offset), n, what, count, out, this->Why) !=
    BlockReader::Status::Done)
  {
    return false;
  }
  this->Progress.Tell(static_cast<double>(++this->Taken) / std::max(1, this->Arrays));
  return true;
}

// A file's 64-bit offsets and connectivity in 32-bit storage, each block
// narrowed straight into the cell array's memory (no 64-bit copy): false
// with Why empty when a value does not fit (the caller reads them wide),
// set when the file is damaged, as the wide read says it.
bool GridBuilder::TakeNarrowCells(vtkXMLDataElement* cells,
  vtkIdType numCells,
  vtkSmartPointer<vtkDataArray>& types,
  vtkSmartPointer<vtkDataArray>& offsets,
  vtkSmartPointer<vtkDataArray>& connectivity)
{
  const auto n = static_cast<std::uint64_t>(numCells);
  const std::string count = "the piece's NumberOfCells calls for";
  // VTK's offsets start with a 0 the file's leave out.
  vtkSmartPointer<vtkTypeInt32Array> rising = OwnIds(n + 1);
  std::int32_t* start = rising ? rising->GetPointer(0) : nullptr;
  if (!this->TakeNarrowed(ArrayNamed(cells, "offsets"), n, count, start ? start + 1 : nullptr))
  {
    return false;
  }
  start[0] = 0;
  types = this->TakeArray(ArrayNamed(cells, "types"), "Cells", n, count);
  if (!types)
  {
    return false;
  }
  for (vtkIdType i = 0; i < numCells; ++i)
  {
    if (start[i + 1] < start[i])
    {
      this->Why = OffsetFault(i, start[i + 1], true);
      return false;
    }
  }
  const auto ids = static_cast<std::uint64_t>(start[numCells]);
  vtkSmartPointer<vtkTypeInt32Array> narrow = OwnIds(ids);
  if (!this->TakeNarrowed(ArrayNamed(cells, "connectivity"),
        ids,
        "the cells' offsets call for",
        narrow ? narrow->GetPointer(0) : nullptr))
  {
    return false;
  }
  offsets = rising;
  connectivity = narrow;
  return true;
}

bool GridBuilder::TakeCells(vtkXMLDataElement* cells,
  vtkIdType numPoints,
  vtkIdType numCells,
  vtkUnstructuredGrid* grid)
{
  const auto n = static_cast<std::uint64_t>(numCells);
  const std::string count = "the piece's NumberOfCells calls for";
  vtkXMLDataElement* offsetsElement = ArrayNamed(cells, "offsets");
  vtkXMLDataElement* connectivityElement = ArrayNamed(cells, "connectivity");
  vtkXMLDataElement* typesElement = ArrayNamed(cells, "types");
  if (!offsetsElement || !connectivityElement || !typesElement)
  {
    this->Why = "its cells lack their connectivity, offsets or types";
    return false;
  }
  const bool wide = Is(Attribute(connectivityElement, "type"), "Int64");
  const bool offsetsWide = Is(Attribute(offsetsElement, "type"), "Int64");
  vtkSmartPointer<vtkDataArray> types, offsets, connectivity;
  // 64-bit ids in 32-bit storage whenever the points can be numbered so:
  // half the memory, and what every later pass over the cells reads.
  const int taken = this->Taken;
  if (wide && offsetsWide && numPoints <= std::numeric_limits<std::int32_t>::max() &&
    !this->TakeNarrowCells(cells, numCells, types, offsets, connectivity))
  {
    if (!this->Why.empty())
    {
      return false;
    }
    this->Taken = taken; // an id beyond 32 bits: all read again, wide
    offsets = nullptr;
  }
  if (!offsets)
  {
    vtkSmartPointer<vtkDataArray> fileOffsets = this->TakeArray(offsetsElement, "Cells", n, count);
    types = fileOffsets ? this->TakeArray(typesElement, "Cells", n, count) : nullptr;
    offsets = !types ? nullptr
      : wide         ? CellOffsets<vtkTypeInt64Array>(fileOffsets, this->Why)
                     : CellOffsets<vtkTypeInt32Array>(fileOffsets, this->Why);
    if (!offsets)
    {
      return false;
    }
    const auto ids = static_cast<std::uint64_t>(offsets->GetComponent(numCells, 0));
    connectivity =
      this->TakeArray(connectivityElement, "Cells", ids, "the cells' offsets call for");
  }
  vtkNew<vtkCellArray> cellArray;
  if (!connectivity || !cellArray->SetData(offsets, connectivity))
  {
    this->Why = this->Why.empty() ? "its cells cannot be built" : this->Why;
    return false;
  }
  grid->SetCells(vtkUnsignedCharArray::SafeDownCast(types), cellArray);
  return true;
}

bool GridBuilder::TakeFields(vtkXMLDataElement* fields,
  vtkDataSetAttributes* into,
  std::uint64_t tuples,
  const std::string& count)
{
  for (int i = 0; fields && i < fields->GetNumberOfNestedElements(); ++i)
  {
    vtkSmartPointer<vtkDataArray> array =
      this->TakeArray(fields->GetNestedElement(i), fields->GetName(), tuples, count);
    if (!array)
    {
      return false;
    }
    into->AddArray(array);
  }
  for (int a = 0; a < vtkDataSetAttributes::NUM_ATTRIBUTES; ++a)
  {
    const char* active =
      fields ? fields->GetAttribute(vtkDataSetAttributes::GetAttributeTypeAsString(a)) : nullptr;
    if (active)
    {
      into->SetActiveAttribute(active, a);
    }
  }
  return true;
}

bool GridBuilder::TakeShape(vtkXMLDataElement* piece, vtkUnstructuredGrid* grid)
{
  vtkIdType numPoints = 0, numCells = 0;
  piece->GetScalarAttribute("NumberOfPoints", numPoints);
  piece->GetScalarAttribute("NumberOfCells", numCells);
  vtkXMLDataElement* points = piece->FindNestedElementWithName("Points");
  vtkSmartPointer<vtkDataArray> xyz = points && points->GetNumberOfNestedElements() == 1
    ? this->TakeArray(points->GetNestedElement(0),
        "Points",
        static_cast<std::uint64_t>(numPoints),
        "the piece's NumberOfPoints calls for")
    : nullptr;
  if (!xyz && this->Why.empty())
  {
    this->Why = "it has no points' array";
  }
  vtkXMLDataElement* cells = piece->FindNestedElementWithName("Cells");
  if (xyz && !cells)
  {
    this->Why = "it has no cells";
  }
  if (!xyz || !cells || !this->TakeCells(cells, numPoints, numCells, grid))
  {
    return false;
  }
  vtkNew<vtkPoints> coordinates;
  coordinates->SetData(xyz);
  grid->SetPoints(coordinates);
  // A polyhedron's faces are arrays of their own, which a covered file has
  // none of.
  vtkUnsignedCharArray* types = grid->GetCellTypesArray();
  const unsigned char* begin = types->GetPointer(0);
  const unsigned char* end = begin + types->GetNumberOfValues();
  const unsigned char* polyhedron = std::find(begin, end, VTK_POLYHEDRON);
  if (polyhedron != end)
  {
    this->Why =
      "cell " + std::to_string(polyhedron - begin) + " is a polyhedron, but the file has no faces";
    return false;
  }
  return true;
}

// Whether an array of the file's type holds its values as `values` does:
// the same type, or two names of the signed 64-bit integer.
bool SameValueType(vtkXMLDataElement* element, vtkDataArray* values)
{
  const auto wide = [](int type)
  {
    return (type == VTK_LONG || type == VTK_LONG_LONG || type == VTK_ID_TYPE) &&
      vtkAbstractArray::GetDataTypeSize(type) == 8;
  };
  const int type = ValueType(Attribute(element, "type"));
  return type == values->GetDataType() || (wide(type) && wide(values->GetDataType()));
}

// Whether the element's block holds exactly the values of `values` from
// value `from` on, in their type and components, or as 64-bit integers of
// which `values` holds the 32-bit ones narrowed (cells read into 32-bit
// storage): compared value for value then.
bool GridBuilder::BlockHolds(vtkXMLDataElement* element, vtkDataArray* values, vtkIdType from)
{
  int components = 1;
  long long offset = -1;
  const bool narrowed = element && values && Is(Attribute(element, "type"), "Int64") &&
    values->GetDataType() == VTK_TYPE_INT32;
  if (!element || !values || !values->HasStandardMemoryLayout() ||
    !(narrowed || SameValueType(element, values)) ||
    !element->GetScalarAttribute("offset", offset) || offset < 0)
  {
    return false;
  }
  element->GetScalarAttribute("NumberOfComponents", components);
  if (components != values->GetNumberOfComponents())
  {
    return false;
  }
  const int size = values->GetDataTypeSize();
  return this->Blocks.Holds(static_cast<std::uint64_t>(offset),
    static_cast<const unsigned char*>(values->GetVoidPointer(0)) +
      static_cast<std::uint64_t>(size * from),
    static_cast<std::uint64_t>(values->GetNumberOfValues() - from),
    narrowed ? 8 : size,
    size);
}

bool GridBuilder::TakeShapeOf(vtkDataSet* like, vtkXMLDataElement* piece, vtkUnstructuredGrid* grid)
{
  auto* shape = vtkUnstructuredGrid::SafeDownCast(like);
  vtkIdType numPoints = -1, numCells = -1;
  piece->GetScalarAttribute("NumberOfPoints", numPoints);
  piece->GetScalarAttribute("NumberOfCells", numCells);
  vtkXMLDataElement* points = piece->FindNestedElementWithName("Points");
  vtkXMLDataElement* cells = piece->FindNestedElementWithName("Cells");
  if (!shape || !shape->GetPoints() || !shape->GetCells() || !shape->GetCellTypesArray() ||
    shape->GetFaces() || numPoints != shape->GetNumberOfPoints() ||
    numCells != shape->GetNumberOfCells() || !points || points->GetNumberOfNestedElements() != 1 ||
    !cells)
  {
    return false;
  }
  // The offsets of VTK's cell array start with a 0 the file's leave out.
  vtkCellArray* shapeCells = shape->GetCells();
  if (!this->BlockHolds(points->GetNestedElement(0), shape->GetPoints()->GetData()) ||
    !this->BlockHolds(ArrayNamed(cells, "types"), shape->GetCellTypesArray()) ||
    !this->BlockHolds(ArrayNamed(cells, "offsets"), shapeCells->GetOffsetsArray(), 1) ||
    !this->BlockHolds(ArrayNamed(cells, "connectivity"), shapeCells->GetConnectivityArray()))
  {
    return false;
  }
  grid->SetPoints(shape->GetPoints());
  grid->SetCells(shape->GetCellTypesArray(), shapeCells);
  this->Taken += 4;
  return true;
}

vtkSmartPointer<vtkDataSet> GridBuilder::Build(vtkXMLDataElement* piece,
  vtkDataSet* like,
  std::string& error)
{
  vtkIdType numPoints = 0, numCells = 0;
  piece->GetScalarAttribute("NumberOfPoints", numPoints);
  piece->GetScalarAttribute("NumberOfCells", numCells);
  for (int i = 0; i < piece->GetNumberOfNestedElements(); ++i)
  {
    this->Arrays += piece->GetNestedElement(i)->GetNumberOfNestedElements();
  }
  this->Progress.Tell(0.0);
  vtkNew<vtkUnstructuredGrid> grid;
  if (!(like && this->TakeShapeOf(like, piece, grid)))
  {
    // Read whole: each block's pages mapped as it is read.
    if (!this->TakeShape(piece, grid))
    {
      Refuse(this->Path, this->Why, error);
      return nullptr;
    }
  }
  if (!this->TakeFields(piece->FindNestedElementWithName("PointData"),
        grid->GetPointData(),
        static_cast<std::uint64_t>(numPoints),
        "the piece's NumberOfPoints calls for") ||
    !this->TakeFields(piece->FindNestedElementWithName("CellData"),
      grid->GetCellData(),
      static_cast<std::uint64_t>(numCells),
      "the piece's NumberOfCells calls for"))
  {
    Refuse(this->Path, this->Why, error);
    return nullptr;
  }
  return grid;
}

// The file mapped, its header parsed and its piece found when covered.
struct CoveredFile
{
  std::shared_ptr<MappedFile> File;
  Header Parsed;
  Layout Where;
  vtkXMLDataElement* Piece = nullptr;

  CoveredFile(const std::string& path, bool populate)
    : File(MapFile(path, populate))
  {
    if (this->File && ParseHeader(*this->File, this->Parsed))
    {
      this->Piece = CoveredPiece(this->Parsed, *this->File, this->Where);
    }
  }
};

} // namespace

//------------------------------------------------------------------------------
bool CoversAppendedXML(const std::string& path)
{
  return CoveredFile(path, false).Piece != nullptr;
}

//------------------------------------------------------------------------------
vtkSmartPointer<vtkDataSet> ReadAppendedXML(const std::string& path,
  std::ostream& log,
  std::string& error,
  vtkDataSet* like)
{
  // Its pages mapped once it is known which are read (see Build()).
  const CoveredFile covered(path, false);
  std::string why;
  if (!covered.Piece)
  {
    Refuse(path, "it changed while it was read", error);
    return nullptr;
  }
  if (!CheckXMLElements(covered.Parsed.Root, covered.File->Size, why))
  {
    Refuse(path, why, error);
    return nullptr;
  }
  long long numPoints = 0;
  covered.Piece->GetScalarAttribute("NumberOfPoints", numPoints);
  if (!CheckPointsFitMemory(static_cast<double>(numPoints), path, error))
  {
    return nullptr;
  }
  ProgressPrinter progress;
  progress.Log = &log;
  progress.Name = std::filesystem::path(path).filename().string();
  GridBuilder builder(path, covered.Where, covered.File, progress);
  return builder.Build(covered.Piece, like, error);
}

} // namespace orvi
