// orvi-viewer: shows a mesh with the vtkorviRendering library at work. See
// ViewerUsage() (orvi-viewer --help) for the flags and the script format.
#include "orviDisplay.h"
#include "orviIsolatedRead.h"
#include "orviMeshes.h"
#include "orviScript.h"
#include "orviTimeSeries.h"
#include "orviViewer.h"
#include "orviViewerOptions.h"

#include "vtkDataSet.h"
#include "vtkObject.h"

#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <new>
#include <vector>

namespace
{
int Run(int argc, char* argv[])
{
  orvi::ViewerOptions options;
  std::string error;
  if (!orvi::ParseViewerOptions(argc, argv, options, error, orvi::Host::Viewer))
  {
    std::cerr << "orvi-viewer: " << error << "\n";
    return 1;
  }
  if (options.Help)
  {
    std::cout << orvi::ViewerUsage(orvi::Host::Viewer);
    return 0;
  }

  std::vector<orvi::ScriptAction> actions;
  if (!options.Script.empty() &&
    (!orvi::ParseScript(options.Script, actions, error) ||
      !orvi::CheckOutputDirectory(options.OutDir, error)))
  {
    std::cerr << "orvi-viewer: " << error << "\n";
    return 1;
  }
  const bool interactive = options.Screenshot.empty() && options.Script.empty();
  if (!orvi::CanOpenWindow(error))
  {
    std::cerr << "orvi-viewer: " << error << "\n";
    return 1;
  }

  // Each file is loaded and checked on its own; all are shown together.
  // Without a window on screen (a screenshot or a script), the window and
  // its OpenGL context are made while the first file is read in its child
  // process, and its surface extracted as soon as it is here: on software GL
  // the window takes a few tenths of a second. A window on screen is made
  // after, so that a refused file never flashes one up.
  std::vector<orvi::NamedMesh> meshes;
  std::unique_ptr<orvi::Viewer> made;
  const auto makeViewer = [&]() { made = std::make_unique<orvi::Viewer>(options, std::cout); };
  const auto prepare = [&](orvi::NamedMesh& mesh)
  { orvi::Viewer::PrepareMesh(mesh, options, std::cout); };
  // The files stay open to step through their time.
  orvi::TimeSeries series;
  series.SetStart(options.Step, options.TimeGiven, options.Time);
  if (!orvi::LoadMeshes(options.MeshFiles,
        std::cout,
        meshes,
        error,
        interactive ? std::function<void()>() : makeViewer,
        prepare,
        &series))
  {
    std::cerr << "orvi-viewer: " << error << "\n";
    return 1;
  }
  if (!made)
  {
    makeViewer();
  }
  orvi::Viewer& viewer = *made;
  if (!viewer.SetMeshes(meshes, error) ||
    (!options.Parts.empty() && !viewer.ShowOnlyParts(options.Parts, error)))
  {
    std::cerr << "orvi-viewer: " << error << "\n";
    return 1;
  }
  viewer.SetTimeSeries(&series);
  std::cout << "navigation: " << orvi::NavigationName(options.Nav) << "\n";

  if (!actions.empty() && !orvi::RunScript(viewer, actions, options.OutDir, std::cout, error))
  {
    std::cerr << "orvi-viewer: " << error << "\n";
    return 1;
  }
  if (!options.Screenshot.empty() && !viewer.Screenshot(options.Screenshot, true, error))
  {
    std::cerr << "orvi-viewer: " << error << "\n";
    return 1;
  }
  if (interactive)
  {
    viewer.Start();
  }
  return 0;
}
} // namespace

int main(int argc, char* argv[])
{
  // Progress is seen as it happens, also when standard output is a pipe or
  // a file (block-buffered otherwise: nothing until exit, and nothing at
  // all after a crash).
  std::cout << std::unitbuf;
  // A gigabyte of heap kept, written only as it is used: the memory a
  // large mesh's read and surface free is reused rather than faulted in
  // again.
  orvi::PrepareLargeHeap(1.0e9);
  // A file claiming more than memory holds, or a mesh too large for a step
  // after loading: a message and a failure, not an abort.
  try
  {
    return Run(argc, argv);
  }
  catch (const std::bad_alloc&)
  {
    std::cerr << "orvi-viewer: out of memory\n";
    return 1;
  }
}
