// Command line of orvi-viewer.
#ifndef orviViewerOptions_h
#define orviViewerOptions_h

#include <string>

namespace orvi
{

/// How the mouse is mapped: by the viewer onto a navigator's interaction
/// states, or by a standalone interactor style itself.
enum class Navigation
{
  Mervo,      // vtkMervoInteractor driven by the viewer
  Catia,      // vtkCatiaInteractor driven by the viewer
  StyleMervo, // vtkInteractorStyleMervo maps the buttons itself
  StyleCatia  // vtkInteractorStyleCATIA maps the buttons itself
};

enum class PickMode
{
  Visible, // vtkVisibleSelectionPicker: only what is seen
  Through  // vtkFrustumSelectionPicker: everything inside the frustum
};

/// When the mesh edges are drawn over the surface.
enum class EdgeMode
{
  Auto, // while a typical cell is large enough on screen
  On,
  Off
};

struct ViewerOptions
{
  std::string MeshFile;  // empty: the generated default mesh
  std::string ArrayName; // empty: the first scalar array that varies
  Navigation Nav = Navigation::Mervo;
  PickMode Pick = PickMode::Visible;
  EdgeMode Edges = EdgeMode::Auto;
  std::string Screenshot;   // write a PNG and exit
  std::string Script;       // replay actions from this file
  std::string OutDir = "."; // where scripted screenshots go
  int Width = 1024;
  int Height = 768;
  bool Help = false;
};

/// Parses argv into options. On a malformed command line returns false and
/// sets error to one message naming the problem.
bool ParseViewerOptions(int argc, char* argv[], ViewerOptions& options, std::string& error);

/// The --help text: every flag and the script format.
std::string ViewerUsage();

const char* NavigationName(Navigation nav);

} // namespace orvi

#endif
