// Meshes of every format through VTK's readers, as the command line names
// them: what is loaded and what it is coloured by.
#include "orviViewerTestUtils.h"

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

//==============================================================================
// Every format through VTK's readers (files VTK's writers wrote): the counts
// loaded and the array coloured by; none for a mesh without one that varies,
// such as the group ids, all 0, of VTK's OBJ reader.
TEST(OrviMeshes, LoadsMeshesWrittenByVtk)
{
  const std::string grid = "loaded 15 points and 4 cells",
                    sphere = "loaded 74 points and 144 cells";
  const std::string temperature = "colouring by point array 'temperature'";
  const std::string height = "colouring by point array 'height'";
  const std::tuple<Args, std::string, std::string> cases[] = {
    { { "grid.vtu" }, grid, temperature },
    { { "--array", "pressure", "grid.vtu" }, grid, "colouring by cell array 'pressure'" },
    { { "sphere.vtp" }, sphere, height },
    { { "sphere.vtk" }, sphere, height }, // legacy poly data
    { { "sphere.stl" }, sphere, "" },
    { { "sphere-ascii.STL" }, sphere, "" },
    { { "sphere.obj" }, sphere, "" },
    { { "--array", "GroupIds", "sphere.obj" }, sphere, "cell array 'GroupIds', range 0 .. 0" },
  };
  for (const auto& [args, counts, colouring] : cases)
  {
    SCOPED_TRACE(args.back());
    std::ostringstream log;
    OpenViewer(args, log);
    EXPECT_NE(log.str().find(counts), std::string::npos) << log.str();
    const std::string text = colouring.empty() ? "colouring by" : colouring;
    EXPECT_EQ(log.str().find(text) == std::string::npos, colouring.empty()) << log.str();
  }
}

} // namespace
