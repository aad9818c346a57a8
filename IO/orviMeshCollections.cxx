#include "orviMeshCollections.h"

#include "orviMeshLoader.h"
#include "orviReadMemory.h"
#include "orviReadMessages.h"

#include "vtkDataSet.h"
#include "vtkXMLDataElement.h"
#include "vtkXMLDataParser.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>

namespace orvi
{

namespace
{
// The reads of a step's leaves, shared by the threads that run them: each
// takes the next leaf, reads it (its log kept apart, printed whole when it
// is done) and hands the part on.
struct LeafReads
{
  LeafReads(const std::vector<MeshLeaf>& leaves,
    std::vector<MeshPart>& parts,
    std::ostream& log,
    const std::function<void(MeshPart&)>& afterRead,
    const std::function<std::string(std::size_t, vtkDataSet*)>& check)
    : Leaves(leaves)
    , Parts(parts)
    , Errors(leaves.size())
    , Log(log)
    , AfterRead(afterRead)
    , Check(check)
  {
  }

  const std::vector<MeshLeaf>& Leaves;
  std::vector<MeshPart>& Parts;
  std::vector<std::string> Errors;
  std::ostream& Log;
  const std::function<void(MeshPart&)>& AfterRead;
  const std::function<std::string(std::size_t, vtkDataSet*)>& Check;
  std::atomic<std::size_t> Next{ 0 };
  std::atomic<bool> Failed{ false };
  std::mutex Done;

  void Run()
  {
    for (std::size_t i = this->Next++; i < this->Leaves.size() && !this->Failed; i = this->Next++)
    {
      this->Read(i);
    }
  }

  void Read(std::size_t i)
  {
    const MeshLeaf& leaf = this->Leaves[i];
    std::ostringstream log;
    std::string error;
    MeshPart part{ leaf.Name, LoadMesh(leaf.Path, log, error, {}, {}, leaf.Setup, leaf.Like) };
    if (part.Mesh && this->Check)
    {
      error = this->Check(i, part.Mesh);
      part.Mesh = error.empty() ? part.Mesh : nullptr;
    }
    const std::lock_guard<std::mutex> lock(this->Done);
    this->Log << log.str();
    if (!part.Mesh)
    {
      this->Errors[i] = error;
      this->Failed = true;
      return;
    }
    if (this->AfterRead)
    {
      this->AfterRead(part);
    }
    this->Parts[i] = std::move(part);
  }
};
} // namespace

//------------------------------------------------------------------------------
bool ReadLeaves(const std::string& collection,
  const std::vector<MeshLeaf>& leaves,
  std::vector<MeshPart>& parts,
  std::ostream& log,
  std::string& error,
  const std::function<void()>& whileReading,
  const std::function<void(MeshPart&)>& afterRead,
  const std::function<std::string(std::size_t, vtkDataSet*)>& check)
{
  parts.assign(leaves.size(), MeshPart{});
  LeafReads reads(leaves, parts, log, afterRead, check);
  // Each read is a child process that keeps a core busy; one thread per
  // child waits for it and takes its mesh over. AddressSanitizer's allocator
  // cannot be forked while another thread allocates (the child waits for
  // its lock for ever): sanitized, the leaves are read in turn by one thread
  // once whileReading is done.
  const std::size_t cores =
    isolated::AddressSanitized ? 1 : std::max(1u, std::thread::hardware_concurrency());
  if (isolated::AddressSanitized && whileReading)
  {
    whileReading();
  }
  std::vector<std::thread> threads(std::min(cores, leaves.size()));
  for (std::thread& thread : threads)
  {
    thread = std::thread([&reads] { reads.Run(); });
  }
  std::exception_ptr failure;
  try
  {
    if (whileReading && !isolated::AddressSanitized)
    {
      whileReading();
    }
  }
  catch (...)
  {
    failure = std::current_exception();
    reads.Failed = true;
  }
  for (std::thread& thread : threads)
  {
    thread.join();
  }
  if (failure)
  {
    std::rethrow_exception(failure);
  }
  for (std::size_t i = 0; i < leaves.size(); ++i)
  {
    if (!reads.Errors[i].empty())
    {
      error = "cannot read '" + collection + "': " + leaves[i].Label + ": " + reads.Errors[i];
      parts.clear();
      return false;
    }
  }
  return !reads.Failed;
}

//------------------------------------------------------------------------------
CollectionFile::CollectionFile(std::string path,
  std::vector<double> times,
  std::vector<std::vector<MeshLeaf>> steps)
  : MeshFile(std::move(path), std::move(times))
  , Steps(std::move(steps))
{
}

bool CollectionFile::ReadStep(std::size_t step,
  std::vector<MeshPart>& parts,
  std::ostream& log,
  std::string& error,
  const std::function<void()>& whileReading,
  const std::function<void(MeshPart&)>& afterRead)
{
  if (!this->StartStep(step, parts, error))
  {
    return false;
  }
  // Each leaf standing on the shown part of its name when it holds its mesh.
  std::vector<MeshLeaf> leaves = this->Steps[step];
  for (MeshLeaf& leaf : leaves)
  {
    leaf.Like = this->ShownPart(leaf.Name);
  }
  return ReadLeaves(this->Path, leaves, parts, log, error, whileReading, afterRead);
}

//------------------------------------------------------------------------------
vtkXMLDataElement* ParseCollection(const std::string& path,
  const char* type,
  vtkSmartPointer<vtkXMLDataParser>& parser,
  std::string& error)
{
  if (!IsReadableFile(path, error))
  {
    return nullptr;
  }
  CatchReadMessages messages;
  parser = vtkSmartPointer<vtkXMLDataParser>::New();
  parser->SetFileName(path.c_str());
  vtkXMLDataElement* root = parser->Parse() ? parser->GetRootElement() : nullptr;
  if (!root || messages.Messages->Failed())
  {
    error = "cannot open '" + path + "': it is not an XML file VTK can parse";
    error += messages.Messages->Why().empty() ? "" : " (" + messages.Messages->Why() + ")";
    return nullptr;
  }
  const char* declared = root->GetAttribute("type");
  if (std::strcmp(root->GetName(), "VTKFile") != 0 || !declared || std::strcmp(declared, type) != 0)
  {
    error = "cannot open '" + path + "': it is not a VTK file of type '" + type + "'";
    return nullptr;
  }
  return root;
}

//------------------------------------------------------------------------------
std::string LeafPath(const std::string& collection,
  const char* file,
  const std::string& label,
  std::string& error)
{
  namespace fs = std::filesystem;
  if (!file || !*file)
  {
    error = "cannot open '" + collection + "': " + label + " names no file";
    return {};
  }
  const fs::path named(file);
  const fs::path path = named.is_absolute() ? named : fs::path(collection).parent_path() / named;
  std::error_code failed;
  if (fs::equivalent(path, collection, failed))
  {
    error = "cannot open '" + collection + "': " + label + " names the collection itself";
    return {};
  }
  return path.lexically_normal().string();
}

} // namespace orvi
