// Real finite-element meshes for tests: gmsh meshes one of its shipped
// tutorial geometries (Debian's gmsh and gmsh-doc) into a legacy .vtk file
// at test time. A machine without them skips the test that asks.
#ifndef orviGmshMesh_h
#define orviGmshMesh_h

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace orvi_test
{

/// Meshes the volumes of gmsh's tutorial geometry tutorial (for example
/// "t5") into dir/tutorial.vtk (tetrahedra) and returns that path, or an
/// empty path with why set when gmsh or the tutorial is missing or gmsh
/// fails. The tutorials are looked for in $ORVI_GMSH_TUTORIALS, then where
/// Debian's gmsh-doc puts them (plain or gzipped). `options` replaces the
/// default "-3" on gmsh's command line (for example "-2 -setnumber
/// Mesh.RecombineAll 1" for a surface mesh of quadrilaterals); t1.geo, which
/// other tutorials include, is copied beside the geometry.
inline std::string MeshGmshTutorial(const std::string& tutorial,
  const std::filesystem::path& dir,
  std::string& why,
  const std::string& options = "-3")
{
  namespace fs = std::filesystem;
  if (std::system("gmsh --version >/dev/null 2>&1") != 0)
  {
    why = "gmsh is not installed (scripts/deps.sh installs it)";
    return {};
  }
  std::vector<std::string> places = { "/usr/share/doc/gmsh-doc/doc/gmsh/tutorial",
    "/usr/share/doc/gmsh/tutorial",
    "/usr/share/doc/gmsh-doc/tutorial" };
  if (const char* env = std::getenv("ORVI_GMSH_TUTORIALS"))
  {
    places.insert(places.begin(), env);
  }
  const std::string geo = (dir / (tutorial + ".geo")).string();
  const std::string vtk = (dir / (tutorial + ".vtk")).string();
  const std::string log = (dir / "gmsh.log").string();
  std::string copy;
  for (const std::string& place : places)
  {
    for (const std::string& name : { tutorial, std::string("t1") })
    {
      const std::string plain = place + "/" + name + ".geo";
      const std::string to = (dir / (name + ".geo")).string();
      const std::string one = fs::exists(plain) ? "cp '" + plain + "' '" + to + "'"
        : fs::exists(plain + ".gz")             ? "gzip -dc '" + plain + ".gz' > '" + to + "'"
                                                : "";
      if (one.empty())
      {
        break;
      }
      copy += (copy.empty() ? "" : " && ") + one;
    }
    if (!copy.empty())
    {
      break;
    }
  }
  if (copy.empty())
  {
    why = "gmsh's tutorial " + tutorial + ".geo is not installed (package gmsh-doc)";
    return {};
  }
  fs::create_directories(dir);
  const std::string mesh =
    "gmsh " + options + " '" + geo + "' -format vtk -o '" + vtk + "' >'" + log + "' 2>&1";
  if (std::system(copy.c_str()) != 0 || std::system(mesh.c_str()) != 0 || !fs::exists(vtk))
  {
    why = "gmsh could not mesh " + geo + " (see " + log + ")";
    return {};
  }
  return vtk;
}

} // namespace orvi_test

#endif
