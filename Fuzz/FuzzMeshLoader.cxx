// libFuzzer target for orvi-viewer's mesh loader (orvi::LoadMesh).
//
// The first byte names the format (its value modulo 11: .vtk, .vtu, .vtp,
// .stl, .ply, .obj, .msh, .pvd, .vtm, .pvtu, .e); the rest is the file,
// written to a temporary file of that extension and opened as a host opens
// it (OpenMeshFile(), its first step read). The seeds are small gmsh meshes
// written in every format by VTK and in gmsh's own .msh versions by gmsh,
// and as solver results (see CMakeLists.txt), each behind its format's
// byte; a collection is written beside the files its seeds name.
//
// Whatever the bytes, the loader must answer: a mesh that passes the
// loader's own promises (points finite within single precision, every cell
// drawable: ids below the number of points, no polygon of fewer than three
// points, every array as long as its points or cells), or an error of one
// line naming the file. Anything else aborts, so libFuzzer reports it. VTK's
// log must never reach the terminal: the target counts what VTK's output
// window is given outside the loader.
//
// ORVI_FUZZ_IN_PROCESS=1 loads with orvi::LoadMeshInProcess instead: VTK's
// readers then run in the fuzzer's process, and libFuzzer finds what
// crashes them behind the loader's checks (run it with -fork=N
// -ignore_crashes=1 to collect those inputs for the regression table).

#include "orviMeshFile.h"
#include "orviMeshLoader.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkDataSet.h"
#include "vtkKivCellChecks.h"
#include "vtkNew.h"
#include "vtkObjectFactory.h"
#include "vtkOutputWindow.h"
#include "vtkPointData.h"
#include "vtkPolyData.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{
// Counts whatever VTK would print while nothing should print.
class CountingWindow : public vtkOutputWindow
{
public:
  static CountingWindow* New();
  vtkTypeMacro(CountingWindow, vtkOutputWindow);
  void DisplayText(const char*) override { ++this->Lines; }
  int Lines = 0;
};
vtkStandardNewMacro(CountingWindow);

[[noreturn]] void Fail(const std::string& what)
{
  std::fprintf(stderr, "FuzzMeshLoader: %s\n", what.c_str());
  std::abort();
}

// What LoadMesh promises of a mesh it returns.
void CheckPromises(vtkDataSet* mesh)
{
  if (mesh->GetNumberOfPoints() == 0 || mesh->GetNumberOfCells() == 0)
  {
    Fail("a mesh without points or cells was accepted");
  }
  const std::string fault = vtkKivCellChecks::CheckCells(mesh);
  if (!fault.empty())
  {
    Fail("an accepted mesh has a bad cell: " + fault);
  }
  double p[3];
  for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
  {
    mesh->GetPoint(i, p);
    for (double c : p)
    {
      if (!(std::abs(c) <= 1.0e38))
      {
        Fail("an accepted mesh has a coordinate beyond single precision");
      }
    }
  }
  if (auto* poly = vtkPolyData::SafeDownCast(mesh))
  {
    vtkCellArray* polys = poly->GetPolys();
    for (vtkIdType c = 0; polys && c < polys->GetNumberOfCells(); ++c)
    {
      if (polys->GetCellSize(c) < 3)
      {
        Fail("an accepted mesh has a polygon of fewer than three points");
      }
    }
  }
  for (vtkDataSetAttributes* fields : { static_cast<vtkDataSetAttributes*>(mesh->GetPointData()),
         static_cast<vtkDataSetAttributes*>(mesh->GetCellData()) })
  {
    const vtkIdType count =
      fields == mesh->GetPointData() ? mesh->GetNumberOfPoints() : mesh->GetNumberOfCells();
    for (int i = 0; i < fields->GetNumberOfArrays(); ++i)
    {
      if (fields->GetAbstractArray(i)->GetNumberOfTuples() != count)
      {
        Fail("an accepted mesh has an array of another length than its points or cells");
      }
    }
  }
  // Asking every cell its type walks VTK's cell map: it must be built.
  for (vtkIdType c = 0; c < mesh->GetNumberOfCells(); ++c)
  {
    mesh->GetCellType(c);
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  static const std::array<const char*, 11> extensions = {
    ".vtk", ".vtu", ".vtp", ".stl", ".ply", ".obj", ".msh", ".pvd", ".vtm", ".pvtu", ".e"
  };
  static const bool inProcess = std::getenv("ORVI_FUZZ_IN_PROCESS") != nullptr;
  static vtkNew<CountingWindow> window;
  static const bool installed = []
  {
    vtkOutputWindow::SetInstance(window);
    return true;
  }();
  (void)installed;
  if (size < 1)
  {
    return 0;
  }
  const std::size_t format = data[0] % extensions.size();
  const char* tmp = std::getenv("TMPDIR");
  const std::string dir = format >= 7 ? ORVI_FUZZ_FILES_DIR : tmp ? tmp : "/tmp";
  const std::string path =
    dir + "/orvi-fuzz-" + std::to_string(::getpid()) + "-mesh" + extensions[format];
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  std::ostringstream log;
  std::string error;
  const int before = window->Lines;
  std::vector<orvi::MeshPart> parts;
  bool read = false;
  if (inProcess && format < 7)
  {
    parts.push_back({ path, orvi::LoadMeshInProcess(path, log, error) });
    read = parts.back().Mesh != nullptr;
  }
  else
  {
    const std::unique_ptr<orvi::MeshFile> file = orvi::OpenMeshFile(path, log, error);
    read = file && file->ReadStep(0, parts, log, error);
  }
  std::remove(path.c_str());
  if (window->Lines != before)
  {
    Fail("VTK printed while the loader ran");
  }
  for (const orvi::MeshPart& part : parts)
  {
    CheckPromises(part.Mesh);
  }
  if (!read &&
    (error.rfind("cannot ", 0) != 0 || error.find(path) == std::string::npos ||
      error.find('\n') != std::string::npos))
  {
    Fail("a refusal without one line naming the file: " + error);
  }
  return 0;
}
