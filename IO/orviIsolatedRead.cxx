#include "orviIsolatedRead.h"

#include "orviReadMemory.h"
#include "orviReadWire.h"

#include "vtkDataArray.h"
#include "vtkDataSet.h"
#include "vtkLogger.h"
#include "vtkSMPTools.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <sstream>
#include <streambuf>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace orvi
{

namespace
{
using namespace isolated;

//------------------------------------------------------------------------------
// Forwards what the child writes to its log, line by line, through a pipe.
class PipeBuffer : public std::streambuf
{
public:
  explicit PipeBuffer(int fd)
    : Fd(fd)
  {
  }

protected:
  int overflow(int c) override
  {
    if (c != traits_type::eof())
    {
      this->Line.push_back(static_cast<char>(c));
      if (c == '\n')
      {
        this->sync();
      }
    }
    return c;
  }
  int sync() override
  {
    bool ok = true;
    WriteAll(this->Fd, this->Line.data(), this->Line.size(), ok);
    this->Line.clear();
    return 0;
  }

private:
  int Fd;
  std::string Line;
};

//------------------------------------------------------------------------------
// The child's side. The descriptors it writes to and reads from.
struct ChildEnds
{
  int Log = -1;    // its lines of progress
  int Status = -1; // one byte once the result is written: 'Y' or 'N'
  int Result = -1; // the memory file of the description
  int Data = -1;   // the arrays' values, when the parent asks for the pipe
  int Reply = -1;  // the parent's answer: closed, or 'P' for the pipe
};

// Closes every descriptor the child inherited but its own ends and the
// standard ones: a child started while another reads would otherwise hold
// the other's pipes open, and that child would wait for it to end.
void CloseInherited(const ChildEnds& ends)
{
  std::array<int, 5> kept = { ends.Log, ends.Status, ends.Result, ends.Data, ends.Reply };
  std::sort(kept.begin(), kept.end());
  unsigned int from = 3;
  for (const int fd : kept)
  {
    if (fd >= static_cast<int>(from))
    {
      if (fd > static_cast<int>(from))
      {
        ::close_range(from, static_cast<unsigned int>(fd) - 1, 0);
      }
      from = static_cast<unsigned int>(fd) + 1;
    }
  }
  ::close_range(from, ~0u, 0);
}

// No terminal output of its own (VTK's log and anything else written to
// stdout or stderr goes nowhere), one thread, its heap and memory limit,
// and the system's handling of faults: a crash handler the host installed
// (a crash reporter's, a fuzzer's) is for the host's faults, not for those
// of a reader on a damaged file, which end the child and nothing else.
void PrepareChild(const ReadLimits& limits)
{
  for (const int fault : { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT })
  {
    std::signal(fault, SIG_DFL);
  }
  const int null = ::open("/dev/null", O_RDWR);
  if (null >= 0)
  {
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
  }
  vtkLogger::SetStderrVerbosity(vtkLogger::VERBOSITY_OFF);
  // The parent's thread pool did not come along through fork().
  vtkSMPTools::SetBackend("Sequential");
  PrepareLargeHeap(limits.HeapBytes);
  if (limits.MemoryBytes > 0.0)
  {
    rlimit memory{};
    memory.rlim_cur = memory.rlim_max = static_cast<rlim_t>(limits.MemoryBytes);
    ::setrlimit(RLIMIT_AS, &memory);
  }
}

// The read, an exception from it an error in words.
vtkSmartPointer<vtkDataSet> RunRead(const MeshReadFunction& read,
  std::ostream& log,
  std::string& error)
{
  try
  {
    return read(log, error);
  }
  catch (const std::bad_alloc&)
  {
    error = "not enough memory for what the file claims to hold (is it damaged?)";
  }
  catch (const std::exception& e)
  {
    error = std::string("the reader failed: ") + e.what();
  }
  return nullptr;
}

// The mesh described (or the error) in the memory file; false when it
// could not be.
bool WriteResult(Sink& out,
  vtkDataSet* mesh,
  const std::string& error,
  std::vector<vtkSmartPointer<vtkDataArray>>& keep,
  std::string& legacy,
  int resultFd)
{
  try
  {
    if (mesh)
    {
      WriteMesh(out, mesh, keep, legacy);
    }
    else
    {
      out.U64(Failed);
      out.Text(error.empty() ? "the reader failed without a message" : error);
    }
    return out.Write(resultFd);
  }
  catch (const std::bad_alloc&)
  {
    return false;
  }
}

// The parent reads the description as soon as the status byte arrives,
// then the arrays' values: from this process's memory, which stays as it
// is until the parent's end of the reply pipe closes, or through the pipe
// when it asks for them so.
void ServeValues(const Sink& out, const ChildEnds& ends)
{
  char asked = 0;
  while (::read(ends.Reply, &asked, 1) < 0 && errno == EINTR)
  {
  }
  if (asked == 'P')
  {
    out.Send(ends.Data);
  }
}

// The child: prepared, the read run, its result written, its values
// served. Never returns.
[[noreturn]] void RunChild(const MeshReadFunction& read,
  const ReadLimits& limits,
  const ChildEnds& ends)
{
  PrepareChild(limits);
  PipeBuffer buffer(ends.Log);
  std::ostream log(&buffer);
  std::string error;
  vtkSmartPointer<vtkDataSet> mesh = RunRead(read, log, error);
  log.flush();
  Sink out;
  std::vector<vtkSmartPointer<vtkDataArray>> keep;
  std::string legacy;
  const bool written = WriteResult(out, mesh, error, keep, legacy, ends.Result);
  const char done = written ? 'Y' : 'N';
  bool ok = true;
  WriteAll(ends.Status, &done, 1, ok);
  if (written)
  {
    ServeValues(out, ends);
  }
  ::_exit(written ? 0 : 2);
}

// Why a child ended without a result, in words.
std::string Death(int status)
{
  if (WIFSIGNALED(status))
  {
    const int signal = WTERMSIG(status);
    const char* name = signal == SIGSEGV ? "a segmentation fault"
      : signal == SIGBUS                 ? "a bus error"
      : signal == SIGABRT                ? "an abort"
      : signal == SIGFPE                 ? "an arithmetic fault"
      : signal == SIGILL                 ? "an illegal instruction"
      : signal == SIGKILL                ? "being killed (out of memory?)"
                                         : nullptr;
    return std::string("VTK's reader died on its contents with ") +
      (name ? name : "signal " + std::to_string(signal)) + " (the file is damaged)";
  }
  return "VTK's reader failed on its contents (exit status " +
    std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "; the file is damaged)";
}

// Closes a descriptor when it goes.
struct Descriptor
{
  int Fd = -1;
  Descriptor() = default;
  explicit Descriptor(int fd)
    : Fd(fd)
  {
  }
  ~Descriptor()
  {
    if (this->Fd >= 0)
    {
      ::close(this->Fd);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  void Close()
  {
    if (this->Fd >= 0)
    {
      ::close(this->Fd);
    }
    this->Fd = -1;
  }
};
//------------------------------------------------------------------------------
// The parent's side: a reading child started, heard until it is done, and
// its mesh taken over; every way it can fail one message in error.
class ReaderChild
{
public:
  ReaderChild(const ReadLimits& limits,
    const std::string& context,
    std::ostream& log,
    std::string& error)
    : Limits(limits)
    , Context(context)
    , Log(log)
    , Error(error)
  {
  }
  ReaderChild(const ReaderChild&) = delete;
  ReaderChild& operator=(const ReaderChild&) = delete;

  // The pipes and the memory file made, the child forked to run read;
  // false with the error set.
  bool Start(const MeshReadFunction& read);

  // The child's log as it comes, until its status byte (or its end), its
  // time is up, it has been silent too long or it is asked to stop; then
  // its mesh. Null with the error set; the child reaped either way.
  vtkSmartPointer<vtkDataSet> Collect();

  // Asks Collect(), from another thread, to stop the child.
  void AskToStop();

private:
  using Clock = std::chrono::steady_clock;
  enum class Heard
  {
    Status,  // its status byte, or its end
    Late,    // its time is up, or it was silent too long
    Stopped, // asked to stop
  };

  bool MakeChannels();
  Heard Listen(ArrayPool& pool, char& status);
  vtkSmartPointer<vtkDataSet> TakeOver(ArrayPool& pool);
  std::string LateReason() const;
  double ChildSeconds();
  void Reap();
  std::nullptr_t Fail(const std::string& why)
  {
    this->Error = this->Context + ": " + why;
    return nullptr;
  }
  static Clock::duration Seconds(double seconds)
  {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0));
  }

  const ReadLimits& Limits;
  const std::string& Context;
  std::ostream& Log;
  std::string& Error;
  pid_t Child = -1;
  int Ended = 0; // its wait status once reaped
  Clock::time_point Deadline;
  clockid_t ChildClock{};
  bool ChildClockKnown = false;
  double ChildSpent = 0.0; // its processor seconds when last looked at
  Descriptor Result;
  // The child waits on the reply pipe, once its mesh is described, until
  // this end closes (its memory read) or asks for the pipe.
  Descriptor ReplyRead, ReplyWrite;
  // A byte here asks the collector to stop the child.
  Descriptor StopRead, StopWrite;
  Descriptor DataRead, DataWrite;
  Descriptor LogRead, LogWrite;
  Descriptor StatusRead, StatusWrite;
};

//------------------------------------------------------------------------------
bool ReaderChild::MakeChannels()
{
  this->Result.Fd = ::memfd_create("orvi-mesh", MFD_CLOEXEC);
  const std::array<std::pair<Descriptor*, Descriptor*>, 5> pipes{ {
    { &this->LogRead, &this->LogWrite },
    { &this->StatusRead, &this->StatusWrite },
    { &this->DataRead, &this->DataWrite },
    { &this->StopRead, &this->StopWrite },
    { &this->ReplyRead, &this->ReplyWrite },
  } };
  for (const auto& [readEnd, writeEnd] : pipes)
  {
    std::array<int, 2> fds{ -1, -1 };
    if (::pipe2(fds.data(), O_CLOEXEC) != 0)
    {
      return false;
    }
    readEnd->Fd = fds[0];
    writeEnd->Fd = fds[1];
  }
  // Fewer, larger writes and reads of the arrays (the system's limit may be
  // lower: then its default).
  ::fcntl(this->DataWrite.Fd, F_SETPIPE_SZ, 1 << 20);
  return this->Result.Fd >= 0;
}

//------------------------------------------------------------------------------
bool ReaderChild::Start(const MeshReadFunction& read)
{
  // Children are started one at a time (reads of a collection's files run
  // on several threads): each closes what it inherited of the others.
  static std::mutex starting;
  const std::lock_guard<std::mutex> lock(starting);
  if (!this->MakeChannels())
  {
    this->Fail(std::string("cannot start the reader (") + std::strerror(errno) + ")");
    return false;
  }
  this->Log.flush();
  // This process's free heap would come along copy-on-write: reused by the
  // read, each of its pages would be copied on its first write (a third of
  // the child's time at a million cells). Given back first.
  malloc_trim(0);
  this->Child = ::fork();
  if (this->Child < 0)
  {
    this->Fail(std::string("cannot start the reader (") + std::strerror(errno) + ")");
    return false;
  }
  if (this->Child == 0)
  {
    for (Descriptor* parentEnd : { &this->LogRead,
           &this->StatusRead,
           &this->DataRead,
           &this->StopRead,
           &this->StopWrite,
           &this->ReplyWrite })
    {
      parentEnd->Close();
    }
    const ChildEnds ends{ this->LogWrite.Fd,
      this->StatusWrite.Fd,
      this->Result.Fd,
      this->DataWrite.Fd,
      this->ReplyRead.Fd };
    CloseInherited(ends);
    RunChild(read, this->Limits, ends);
  }
  for (Descriptor* childEnd :
    { &this->LogWrite, &this->StatusWrite, &this->DataWrite, &this->ReplyRead })
  {
    childEnd->Close();
  }
  this->Deadline = Clock::now() + Seconds(this->Limits.Seconds);
  this->ChildClockKnown = ::clock_getcpuclockid(this->Child, &this->ChildClock) == 0;
  return true;
}

//------------------------------------------------------------------------------
void ReaderChild::AskToStop()
{
  bool ok = true;
  const char stop = 'S';
  WriteAll(this->StopWrite.Fd, &stop, 1, ok);
}

//------------------------------------------------------------------------------
void ReaderChild::Reap()
{
  while (::waitpid(this->Child, &this->Ended, 0) < 0 && errno == EINTR)
  {
  }
}

//------------------------------------------------------------------------------
ReaderChild::Heard ReaderChild::Listen(ArrayPool& pool, char& status)
{
  // Silence is counted in the child's own processor time: a reader spinning
  // on a damaged file spends it, one waiting for the cores of a loaded
  // machine does not (its wall-clock time is the deadline's business).
  double heard = this->ChildSeconds();
  bool logOpen = true;
  for (;;)
  {
    auto until = this->Deadline;
    if (this->Limits.SilentSeconds > 0.0)
    {
      const double silent = this->ChildSeconds() - heard;
      if (silent >= this->Limits.SilentSeconds)
      {
        return Heard::Late;
      }
      // One thread's time runs no faster than the wall's: no sooner a look.
      until = std::min(
        until, Clock::now() + Seconds(std::max(0.01, this->Limits.SilentSeconds - silent)));
    }
    const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    std::array<pollfd, 3> waiting{ { { this->StatusRead.Fd, POLLIN, 0 },
      { logOpen ? this->LogRead.Fd : -1, POLLIN, 0 },
      { this->StopRead.Fd, POLLIN, 0 } } };
    // While the pool is not all faulted in, a look and some more of it.
    const bool filling = left > 0 && pool.Filling();
    const int ready =
      left > 0 ? ::poll(waiting.data(), waiting.size(), filling ? 0 : static_cast<int>(left)) : 0;
    if (ready < 0 && errno == EINTR)
    {
      continue;
    }
    if (ready == 0 && filling)
    {
      pool.FillSome();
      continue;
    }
    if (ready == 0 && Clock::now() < this->Deadline)
    {
      continue; // its silence is looked at again
    }
    if (ready <= 0)
    {
      return ready == 0 ? Heard::Late : Heard::Status;
    }
    if (waiting[2].revents != 0)
    {
      return Heard::Stopped;
    }
    if (waiting[1].revents != 0)
    {
      std::array<char, 4096> chunk{};
      const ssize_t got = ::read(this->LogRead.Fd, chunk.data(), chunk.size());
      if (got > 0)
      {
        heard = this->ChildSeconds();
        this->Log.write(chunk.data(), got);
        continue; // the log first: it was written before the status
      }
      logOpen = got < 0 && errno == EINTR;
    }
    if (waiting[0].revents != 0)
    {
      const ssize_t got = ::read(this->StatusRead.Fd, &status, 1);
      if (!(got < 0 && errno == EINTR))
      {
        return Heard::Status;
      }
    }
  }
}

//------------------------------------------------------------------------------
double ReaderChild::ChildSeconds()
{
  // A clock that cannot be read (the child just ended) stands still: the
  // deadline still bounds the wait.
  timespec spent{};
  if (this->ChildClockKnown && ::clock_gettime(this->ChildClock, &spent) == 0)
  {
    this->ChildSpent =
      static_cast<double>(spent.tv_sec) + 1e-9 * static_cast<double>(spent.tv_nsec);
  }
  return this->ChildSpent;
}

//------------------------------------------------------------------------------
std::string ReaderChild::LateReason() const
{
  std::ostringstream why;
  why.precision(2);
  if (Clock::now() < this->Deadline)
  {
    why << "VTK's reader made no progress for " << this->Limits.SilentSeconds
        << " s, far longer than a file of this size takes (the file is damaged)";
  }
  else
  {
    why << "VTK's reader was still busy after " << this->Limits.Seconds
        << " s, far longer than a file of this size takes (the file is damaged)";
  }
  return why.str();
}

//------------------------------------------------------------------------------
vtkSmartPointer<vtkDataSet> ReaderChild::TakeOver(ArrayPool& pool)
{
  struct stat info
  {
  };
  vtkSmartPointer<vtkDataSet> mesh;
  std::string childError;
  try
  {
    if (::fstat(this->Result.Fd, &info) == 0)
    {
      const BlockChannel channel{
        this->Child, this->Limits.CopyFromChild, this->DataRead.Fd, this->ReplyWrite.Fd
      };
      Source in(this->Result.Fd, static_cast<std::uint64_t>(info.st_size), channel, pool);
      const std::uint64_t kind = in.U64();
      if (in.Ok && kind == Failed)
      {
        childError = in.Text();
      }
      else if (in.Ok)
      {
        mesh = ReadMesh(in, kind);
      }
    }
  }
  catch (const std::bad_alloc&)
  {
    mesh = nullptr;
  }
  // A child still waiting ends on the closed reply pipe; one still writing
  // values nobody reads, on the closed data pipe.
  this->ReplyWrite.Close();
  this->DataRead.Close();
  this->Reap();
  if (!childError.empty())
  {
    // The loader's messages name the file; a few of the child's own do not.
    this->Error =
      childError.rfind("cannot ", 0) == 0 ? childError : this->Context + ": " + childError;
    return nullptr;
  }
  if (!mesh)
  {
    return this->Fail("the mesh read could not be taken over from the reader");
  }
  return mesh;
}

//------------------------------------------------------------------------------
vtkSmartPointer<vtkDataSet> ReaderChild::Collect()
{
  ArrayPool pool(static_cast<std::size_t>(std::max(0.0, this->Limits.TakeOverBytes)));
  char status = 0;
  const Heard heard = this->Listen(pool, status);
  this->Log.flush();
  if (heard != Heard::Status)
  {
    ::kill(this->Child, SIGKILL);
    this->Reap();
    return this->Fail(heard == Heard::Stopped ? "the read was abandoned" : this->LateReason());
  }
  if (status != 'Y')
  {
    this->Reap();
    return this->Fail(Death(this->Ended));
  }
  return this->TakeOver(pool);
}

} // namespace

//------------------------------------------------------------------------------
void RunAlongside(const std::function<void()>& work,
  const std::function<void()>& alongside,
  const std::function<void()>& stop)
{
  std::exception_ptr failure;
  std::thread worker(
    [&]()
    {
      try
      {
        work();
      }
      catch (...)
      {
        failure = std::current_exception();
      }
    });
  try
  {
    alongside();
  }
  catch (...)
  {
    // The worker is asked to stop and ends (this thread would race it to
    // what it holds).
    if (stop)
    {
      stop();
    }
    worker.join();
    throw;
  }
  worker.join();
  if (failure)
  {
    std::rethrow_exception(failure);
  }
}

//------------------------------------------------------------------------------
ReadLimits LimitsForFile(double fileBytes)
{
  ReadLimits limits;
  limits.Seconds = 10.0 + fileBytes / 4.0e6;
  limits.SilentSeconds = 3.0 + fileBytes / 4.0e6;
  const double memory =
    static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
  limits.HeapBytes = std::min(8.0 * fileBytes, memory / 8.0);
  // A binary file holds about what its mesh takes; below 64 MB, faulting in
  // is quick enough.
  limits.TakeOverBytes = fileBytes >= 64.0e6 ? std::min(fileBytes, memory / 8.0) : 0.0;
  if (!isolated::AddressSanitized)
  {
    limits.MemoryBytes = 0.75 * memory;
  }
  return limits;
}

//------------------------------------------------------------------------------
vtkSmartPointer<vtkDataSet> ReadIsolated(const MeshReadFunction& read,
  const ReadLimits& limits,
  const std::string& context,
  std::ostream& log,
  std::string& error,
  const std::function<void()>& whileReading,
  const std::function<void(vtkDataSet*)>& afterRead)
{
  ReaderChild child(limits, context, log, error);
  if (!child.Start(read))
  {
    return nullptr;
  }
  // The mesh taken over, and what is to be done with it at once.
  const auto collect = [&]()
  {
    vtkSmartPointer<vtkDataSet> mesh = child.Collect();
    if (mesh && afterRead)
    {
      afterRead(mesh);
    }
    return mesh;
  };
  if (!whileReading)
  {
    return collect();
  }
  // The collector stops the child and reaps it when whileReading fails.
  vtkSmartPointer<vtkDataSet> mesh;
  RunAlongside([&]() { mesh = collect(); }, whileReading, [&]() { child.AskToStop(); });
  return mesh;
}

} // namespace orvi
