#include "orviGmshReader.h"

#include "orviGmshModule.h"

#include "vtkInformation.h"
#include "vtkInformationVector.h"
#include "vtkObjectFactory.h"
#include "vtkUnstructuredGrid.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <mutex>
#include <string>
#include <vector>

namespace orvi
{

vtkStandardNewMacro(GmshReader);

namespace
{
// Where the module may be: where the build put it, then the installed
// layout beside the running program (bin/../lib/orvi).
std::vector<std::string> ModuleCandidates()
{
  std::vector<std::string> candidates{ ORVI_GMSH_MODULE_BUILD_PATH };
  char self[PATH_MAX] = {};
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
  const std::string program(self, length > 0 ? static_cast<std::size_t>(length) : 0);
  const std::size_t slash = program.rfind('/');
  if (slash != std::string::npos)
  {
    candidates.push_back(program.substr(0, slash) + "/../" ORVI_GMSH_MODULE_INSTALL_PATH);
  }
  return candidates;
}
} // namespace

namespace msh
{
GmshReadFunction LoadGmshModule(std::string& error)
{
  static std::once_flag once;
  static GmshReadFunction entry = nullptr;
  static std::string why;
  std::call_once(once,
    []()
    {
      for (const std::string& path : ModuleCandidates())
      {
        if (::access(path.c_str(), R_OK) != 0)
        {
          continue;
        }
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        entry =
          module ? reinterpret_cast<GmshReadFunction>(::dlsym(module, "orviGmshRead")) : nullptr;
        if (!entry)
        {
          why = "gmsh's library could not be loaded (" + std::string(::dlerror()) + ")";
        }
        return;
      }
      why = "gmsh's library could not be loaded (no module " ORVI_GMSH_MODULE_NAME " found)";
    });
  error = why;
  return entry;
}
} // namespace msh

//------------------------------------------------------------------------------
GmshReader::GmshReader()
{
  this->SetNumberOfInputPorts(0);
}

//------------------------------------------------------------------------------
int GmshReader::RequestData(vtkInformation*, vtkInformationVector**, vtkInformationVector* out)
{
  vtkUnstructuredGrid* grid = vtkUnstructuredGrid::GetData(out);
  std::string error;
  const msh::GmshReadFunction read = msh::LoadGmshModule(error);
  if (!read || !read(this->FileName.c_str(), grid, this, error))
  {
    grid->Initialize();
    vtkErrorMacro(<< error);
    return 0;
  }
  this->UpdateProgress(1.0);
  return 1;
}

//------------------------------------------------------------------------------
void GmshReader::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "FileName: " << this->FileName << "\n";
}

} // namespace orvi
