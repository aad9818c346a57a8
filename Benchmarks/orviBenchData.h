// Where the benchmarks find the meshes they run on: the folder named by
// $ORVI_BENCH_DATA, which scripts/bench.sh makes in its build folder and
// fills at bench time (gmsh's tutorial t5 meshed, and split by
// orvi-refine-tetrahedra), else bench-data in the working directory. No
// benchmark looks for data anywhere else; a case whose file is not there
// skips with one line saying which file and what makes it.
#ifndef orviBenchData_h
#define orviBenchData_h

#include <cstdlib>
#include <filesystem>
#include <string>

namespace orvi_bench
{
/// The benchmarks' data folder (created when missing).
inline std::filesystem::path DataDir()
{
  const char* set = std::getenv("ORVI_BENCH_DATA");
  std::filesystem::path dir = set && *set ? set : "bench-data";
  std::error_code ignored;
  std::filesystem::create_directories(dir, ignored);
  return dir;
}

/// The data folder's file `name`, or an empty string with `why` set when it
/// is not there.
inline std::string DataFile(const std::string& name, std::string& why)
{
  const std::filesystem::path file = DataDir() / name;
  if (std::filesystem::exists(file))
  {
    return file.string();
  }
  why = "no " + file.string() + " (scripts/bench.sh makes it)";
  return {};
}
} // namespace orvi_bench

#endif
