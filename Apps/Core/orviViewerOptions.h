// Command line of orvi-viewer.
#ifndef orviViewerOptions_h
#define orviViewerOptions_h

#include <string>
#include <vector>

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

/// Which data --array names: "NAME" looks in the point data first, then
/// the cell data; "point:NAME" and "cell:NAME" look in one only.
enum class ArrayField
{
  Any,
  Point,
  Cell
};

/// The colour maps of --colormap, each a table of colours in the code.
enum class Colormap
{
  Rainbow,  // blue, cyan, green, yellow, red
  Viridis,  // dark violet through blue and green to yellow
  Coolwarm, // blue through light grey to red, for values about a middle
  Grey      // black to white
};

/// The model axis shown pointing up: 0, 1 or 2 (x, y, z) and its sign.
struct UpAxis
{
  int Axis = 1;
  int Sign = 1;
};

struct ViewerOptions
{
  std::vector<std::string> MeshFiles; // none: the generated default mesh
  std::string ArrayName;              // empty: the most wanted array (a quantity first)
  ArrayField Field = ArrayField::Any;
  Colormap Colors = Colormap::Rainbow;
  bool ColormapGiven = false;
  bool RangeGiven = false;
  double Range[2] = { 0.0, 1.0 }; // with RangeGiven, the values at the map's ends
  bool Legend = true;
  bool Elevation = false; // colour by the height along Up
  UpAxis Up;
  Navigation Nav = Navigation::Mervo;
  PickMode Pick = PickMode::Visible;
  EdgeMode Edges = EdgeMode::Auto;
  std::string Screenshot;   // write a PNG or JPEG (by its extension) and exit
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

/// Whether a screenshot path names a JPEG (.jpg, .jpeg in any case); every
/// other accepted path is a PNG.
bool IsJpegPath(const std::string& path);

} // namespace orvi

#endif
