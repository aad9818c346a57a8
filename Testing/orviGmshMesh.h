// Real finite-element meshes for tests: gmsh meshes one of its shipped
// tutorial geometries (Debian's gmsh and gmsh-doc) into a legacy .vtk file
// at test time. A machine without them skips the test that asks.
#ifndef orviGmshMesh_h
#define orviGmshMesh_h

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace orvi_test
{

/// Where Debian's gmsh-doc puts the tutorials, after $ORVI_GMSH_TUTORIALS.
inline std::vector<std::string> GmshTutorialPlaces()
{
  std::vector<std::string> places = { "/usr/share/doc/gmsh-doc/doc/gmsh/tutorial",
    "/usr/share/doc/gmsh/tutorial",
    "/usr/share/doc/gmsh-doc/tutorial" };
  if (const char* env = std::getenv("ORVI_GMSH_TUTORIALS"))
  {
    places.insert(places.begin(), env);
  }
  return places;
}

/// Meshes gmsh's tutorial geometry `tutorial` (for example "t5") with the
/// gmsh command line options `options` (for example "-2", or "-3 -clscale 2")
/// into dir/name.vtk (dir/tutorial.vtk without a name; .msh for a format
/// "msh41", "msh22 -bin", ...) and returns that path, or an empty path with why set
/// when gmsh or the tutorial is missing or gmsh fails. The tutorials, and the
/// files some of them read beside them (data, background meshes, views), are
/// looked for in $ORVI_GMSH_TUTORIALS, then where Debian's gmsh-doc puts them
/// (plain or gzipped), and copied into dir.
inline std::string MeshGmshTutorial(const std::string& tutorial,
  const std::filesystem::path& dir,
  std::string& why,
  const std::string& options = "-3",
  const std::string& name = {},
  const std::string& format = "vtk")
{
  namespace fs = std::filesystem;
  // gmsh runs without the libraries a sanitized test preloads: the
  // sanitizer would report gmsh's own leaks and fail every mesh.
  const std::string gmsh = "env -u LD_PRELOAD gmsh";
  if (std::system((gmsh + " --version >/dev/null 2>&1").c_str()) != 0)
  {
    why = "gmsh is not installed (scripts/deps.sh installs it)";
    return {};
  }
  const std::vector<std::string> places = GmshTutorialPlaces();
  const std::string geo = (dir / (tutorial + ".geo")).string();
  const std::string stem = name.empty() ? tutorial : name;
  const std::string vtk = (dir / (stem + (format == "vtk" ? ".vtk" : ".msh"))).string();
  const std::string log = (dir / (stem + ".log")).string();
  std::error_code ignored;
  fs::create_directories(dir);
  // Test programs run in parallel and may ask for the same mesh: every file
  // is written under a name of this process's own and renamed into place,
  // so that no one reads a file another is still writing.
  const std::string own = ".part" + std::to_string(getpid());
  const auto publish = [&ignored](const fs::path& part, const fs::path& to)
  {
    fs::rename(part, to, ignored);
    return !ignored && fs::exists(to);
  };
  // Copies a file of the tutorials' folder into dir, unzipping it.
  const auto copy = [&dir, &own, &publish](const fs::path& from)
  {
    const bool zipped = from.extension() == ".gz";
    const fs::path to = dir / (zipped ? from.stem() : from.filename());
    const fs::path part = to.string() + own;
    const std::string command = zipped
      ? "gzip -dc '" + from.string() + "' > '" + part.string() + "'"
      : "cp '" + from.string() + "' '" + part.string() + "'";
    return fs::exists(to) || (std::system(command.c_str()) == 0 && publish(part, to));
  };
  for (const std::string& place : places)
  {
    const fs::path plain = place + "/" + tutorial + ".geo";
    if (!copy(fs::exists(plain) ? plain : fs::path(plain.string() + ".gz")) || !fs::exists(geo))
    {
      continue;
    }
    // The files the geometry names: merged data, background meshes, views
    // and other tutorials it includes.
    std::ifstream in(geo);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const auto& entry : fs::directory_iterator(place, ignored))
    {
      const fs::path from = entry.path();
      const std::string file = (from.extension() == ".gz" ? from.stem() : from.filename()).string();
      if (entry.is_regular_file() && text.find('"' + file + '"') != std::string::npos &&
        !copy(from))
      {
        why = "cannot copy " + from.string() + " into " + dir.string();
        return {};
      }
    }
    break;
  }
  if (!fs::exists(geo))
  {
    why = "gmsh's tutorial " + tutorial + ".geo is not installed (package gmsh-doc)";
    return {};
  }
  // gmsh reads the files a tutorial merges relative to the working directory.
  const std::string part = vtk + own;
  const std::string mesh = "cd '" + dir.string() + "' && " + gmsh + " " + options + " '" + geo +
    "' -format " + format + " -o '" + part + "' >'" + log + own + "' 2>&1";
  const bool meshed = std::system(mesh.c_str()) == 0;
  fs::rename(log + own, log, ignored);
  if (!meshed || !publish(part, vtk))
  {
    why = "gmsh could not mesh " + geo + " (see " + log + ")";
    return {};
  }
  return vtk;
}

/// gmsh's mesh file from saved by gmsh as to in a format of its own ("vtk",
/// "msh22 -bin", ...); false with why set when gmsh fails.
inline bool SaveGmshMesh(const std::string& from,
  const std::string& format,
  const std::string& to,
  std::string& why)
{
  const std::string save = "env -u LD_PRELOAD gmsh '" + from + "' -save -format " + format +
    " -o '" + to + "' >'" + to + ".log' 2>&1";
  why = std::system(save.c_str()) == 0 ? "" : "gmsh could not save " + to + " (see its .log)";
  return why.empty();
}

} // namespace orvi_test

#endif
