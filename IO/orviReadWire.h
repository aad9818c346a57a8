// What a reading child sends back to its parent (see orviIsolatedRead.h):
// a description of the mesh (its kind, counts, names, types, and the
// length and address of each array's values) in a memory file, then the
// arrays' values, in the order described, copied by the parent straight
// out of the child's memory or sent by the child through a pipe. Sink
// writes it in the child, Source reads it back in the parent and never
// past what was written: a description cut short or a block of another
// length than its array needs leaves no mesh.
#ifndef orviReadWire_h
#define orviReadWire_h

#include "orviReadMemory.h"

#include "vtkSmartPointer.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

class vtkDataArray;
class vtkDataSet;

namespace orvi
{
namespace isolated
{

// What the child leaves in the memory file: this tag, then a status, an
// error text and, on success, the mesh.
constexpr std::uint64_t Tag = 0x3148534d4956524fULL; // "ORVIMSH1"
enum Kind : std::uint64_t
{
  Failed = 0,
  Grid = 1,
  Poly = 2,
  Legacy = 3,
};

/// Writes to a file descriptor; remembers whether every byte went out.
/// A pipe whose reader is gone fails the write, never raises SIGPIPE.
void WriteAll(int fd, const void* data, std::size_t n, bool& ok);

/// Reads exactly n bytes from a pipe; false at its end or on an error.
bool ReadAll(int fd, void* data, std::size_t n);

/// Copies bytes at an address of the child's into data; false when the
/// system does not let this process read the child's memory, or on a fault.
bool CopyFromChild(pid_t child, std::uint64_t address, void* data, std::size_t bytes);

// The child's result: a description (counts, names, types, the length and
// address of each array's values) in the memory file, and the values of
// the arrays, in the order described, read by the parent out of the
// child's memory (one copy) or sent through a pipe; no page of the child's
// is mapped twice.
class Sink
{
public:
  void U64(std::uint64_t v) { this->Meta.append(reinterpret_cast<const char*>(&v), sizeof(v)); }
  void Text(const std::string& s)
  {
    this->U64(s.size());
    this->Meta.append(s);
  }
  // Values sent after the description, or read by the parent from where
  // they lie in this process.
  void Block(const void* data, std::uint64_t bytes)
  {
    this->U64(bytes);
    this->U64(reinterpret_cast<std::uintptr_t>(data));
    this->Blocks.emplace_back(data, bytes);
  }
  // The memory file: tag, description length, description.
  bool Write(int fd)
  {
    bool ok = true;
    const std::uint64_t words[2] = { Tag, this->Meta.size() };
    WriteAll(fd, words, sizeof(words), ok);
    WriteAll(fd, this->Meta.data(), this->Meta.size(), ok);
    return ok;
  }
  // The blocks' values, in order; the pipe blocks until the parent reads.
  void Send(int fd) const
  {
    bool ok = true;
    for (const auto& [data, bytes] : this->Blocks)
    {
      WriteAll(fd, data, static_cast<std::size_t>(bytes), ok);
    }
  }

private:
  std::string Meta;
  std::vector<std::pair<const void*, std::uint64_t>> Blocks;
};

// Where the blocks' values come from: the child's memory, read directly
// (one copy, and the child idle), or, where the system does not allow
// that, the pipe the child writes them into once asked.
struct BlockChannel
{
  pid_t Child = -1;
  bool TryChildMemory = true;
  int DataFd = -1;  // the pipe of the values
  int ReplyFd = -1; // 'P' here asks the child for the pipe
};

// Reads back what a Sink wrote, never past the description's end: the
// description from the memory file, the blocks through the channel (into
// the pool's memory where it has room).
class Source
{
public:
  Source(int fd, std::uint64_t size, const BlockChannel& channel, ArrayPool& pool)
    : Channel(channel)
    , Pool(pool)
  {
    std::uint64_t words[2] = { 0, 0 };
    if (size < sizeof(words) || ::pread(fd, words, sizeof(words), 0) != sizeof(words) ||
      words[0] != Tag || words[1] > size - sizeof(words))
    {
      this->Ok = false;
      return;
    }
    this->Meta.resize(words[1]);
    this->Ok = ::pread(fd, this->Meta.data(), this->Meta.size(), sizeof(words)) ==
      static_cast<ssize_t>(this->Meta.size());
  }
  std::uint64_t U64()
  {
    std::uint64_t v = 0;
    if (!this->Ok || this->Meta.size() - this->Pos < sizeof(v))
    {
      this->Ok = false;
      return 0;
    }
    std::memcpy(&v, this->Meta.data() + this->Pos, sizeof(v));
    this->Pos += sizeof(v);
    return v;
  }
  std::string Text()
  {
    const std::uint64_t n = this->U64();
    if (!this->Ok || n > this->Meta.size() - this->Pos)
    {
      this->Ok = false;
      return {};
    }
    std::string s = this->Meta.substr(this->Pos, n);
    this->Pos += n;
    return s;
  }
  // The next block of values, in memory of this process (null for none,
  // or on a fault); released by UnmapArray().
  void* Block(std::uint64_t& bytes)
  {
    bytes = this->U64();
    const std::uint64_t address = this->U64();
    if (!this->Ok || bytes == 0)
    {
      return nullptr;
    }
    void* data = nullptr;
    if (bytes <= std::numeric_limits<std::size_t>::max() / 2)
    {
      data = this->Pool.Take(static_cast<std::size_t>(bytes));
      data = data ? data : MapArray(static_cast<std::size_t>(bytes));
    }
    if (!data || !this->Fill(data, static_cast<std::size_t>(bytes), address))
    {
      UnmapArray(data);
      this->Ok = false;
      return nullptr;
    }
    return data;
  }
  // The bytes of a block, copied.
  std::string BlockText()
  {
    std::uint64_t bytes = 0;
    void* map = this->Block(bytes);
    std::string s(static_cast<const char*>(map ? map : ""), map ? bytes : 0);
    UnmapArray(map);
    return s;
  }
  bool Ok = true;

private:
  // The first block decides the channel: the child's memory if that can be
  // read, the pipe otherwise (every block then comes through it).
  bool Fill(void* data, std::size_t bytes, std::uint64_t address)
  {
    if (this->Mode == Transfer::ChildMemory)
    {
      return CopyFromChild(this->Channel.Child, address, data, bytes);
    }
    if (this->Mode == Transfer::Undecided)
    {
      if (this->Channel.TryChildMemory && CopyFromChild(this->Channel.Child, address, data, bytes))
      {
        this->Mode = Transfer::ChildMemory;
        return true;
      }
      bool ok = true;
      const char pipe = 'P';
      WriteAll(this->Channel.ReplyFd, &pipe, 1, ok);
      this->Mode = Transfer::Pipe;
      if (!ok)
      {
        return false;
      }
    }
    return ReadAll(this->Channel.DataFd, data, bytes);
  }

  enum class Transfer
  {
    Undecided,
    ChildMemory,
    Pipe,
  };
  BlockChannel Channel;
  Transfer Mode = Transfer::Undecided;
  ArrayPool& Pool;
  std::string Meta;
  std::size_t Pos = 0;
};

/// The child's side: the mesh (points, cells and the numeric arrays of its
/// point, cell and field data), as compactly as it lies in memory. keep
/// holds the arrays written (flattened copies among them) and legacy the
/// text of a kind written in VTK's own format, until the values are sent.
void WriteMesh(Sink& out,
  vtkDataSet* mesh,
  std::vector<vtkSmartPointer<vtkDataArray>>& keep,
  std::string& legacy);

/// The parent's side; null when what comes is not what WriteMesh() wrote.
vtkSmartPointer<vtkDataSet> ReadMesh(Source& in, std::uint64_t kind);

} // namespace isolated
} // namespace orvi

#endif
