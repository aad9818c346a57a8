// The command line of the hosts, orvi-viewer and orvi-qt: one table of
// options (name, values, help text, the hosts that take it, what it sets),
// from which both parse and print their --help.
#ifndef orviViewerOptions_h
#define orviViewerOptions_h

#include "orviComponents.h"

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

/// What the section plane shows (--section): nothing, the cut of the cells
/// it crosses, or those cells whole.
enum class SectionMode
{
  Off,
  Cut,
  Cells
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

/// The hosts of the core; an option of the table is taken by one or both.
enum class Host
{
  Viewer, // orvi-viewer, the command-line host
  Qt      // orvi-qt, the Qt host
};

/// The program name of a host: "orvi-viewer" or "orvi-qt".
const char* HostName(Host host);

struct ViewerOptions
{
  std::vector<std::string> MeshFiles; // none: the generated default mesh
  std::string ArrayName;              // empty: the most wanted array (a quantity first)
  ArrayField Field = ArrayField::Any;
  Component ArrayComponent; // NAME:COMPONENT; Default: the magnitude of several components
  Colormap Colors = Colormap::Rainbow;
  bool ColormapGiven = false;
  bool RangeGiven = false;
  double Range[2] = { 0.0, 1.0 }; // with RangeGiven, the values at the map's ends
  bool Legend = true;
  bool Elevation = false; // colour by the height along Up
  bool ByPart = false;    // colour each part in a colour of its own
  std::string WarpArray;  // the deformed shape: the surface moved by this point vector
  bool WarpScaleGiven = false;
  double WarpScale = 1.0;  // with WarpScaleGiven; else the largest displacement is 10% of the model
  bool Undeformed = false; // the undeformed outline beside the deformed shape
  SectionMode Section = SectionMode::Off;
  bool SectionOriginGiven = false;
  double SectionOrigin[3] = { 0.0, 0.0, 0.0 }; // with SectionOriginGiven; else the model's centre
  bool SectionNormalGiven = false;
  double SectionNormal[3] = { 1.0, 0.0, 0.0 }; // a unit vector; its side is hidden
  UpAxis Up;
  Navigation Nav = Navigation::Mervo;
  PickMode Pick = PickMode::Visible;
  EdgeMode Edges = EdgeMode::Auto;
  std::string Screenshot;     // write a PNG or JPEG (by its extension) and exit
  std::string Script;         // replay actions from this file
  std::string PickOut;        // orvi-viewer: each pick's cells written to this CSV file
  std::string OutDir = ".";   // where scripted screenshots go
  std::string BandScreenshot; // orvi-qt: draw a box-zoom band, write the window, exit
  // Time series and parts.
  int Step = 0;           // --step N (from 1); 0: not given
  bool TimeGiven = false; // --time T: the step at or before Time
  double Time = 0.0;
  bool RangePerStep = false;      // the legend over each step's own range
  std::vector<std::string> Parts; // --parts: the parts shown; empty: all
  int Width = 1024;
  int Height = 768;
  bool Help = false;
};

/// Parses argv into options for `host`. On a malformed command line, or an
/// option of the other host, returns false and sets error to one message
/// naming the problem. Options not on the command line keep their values.
bool ParseViewerOptions(int argc,
  char* argv[],
  ViewerOptions& options,
  std::string& error,
  Host host = Host::Viewer);

/// Reads an --array value (NAME, point:NAME or cell:NAME, each optionally
/// followed by :COMPONENT) into the options' ArrayName, Field and
/// ArrayComponent. Returns false with an error, the options unchanged, on a
/// missing name or an unknown component word.
bool ParseArrayChoice(const std::string& choice, ViewerOptions& options, std::string& error);

/// Reads a section mode word (cut, cells or off); false with an error
/// listing the words.
bool ParseSectionMode(const std::string& word, SectionMode& mode, std::string& error);
/// Makes a section normal a unit vector; false with an error, the normal
/// unchanged, when it has no length.
bool NormalizeSectionNormal(double normal[3], std::string& error);

/// The --help text of a host: every option it takes, the keys, the mouse,
/// and for orvi-viewer the script format.
std::string ViewerUsage(Host host = Host::Viewer);

const char* NavigationName(Navigation nav);

/// Whether a screenshot path names a JPEG (.jpg, .jpeg in any case); every
/// other accepted path is a PNG.
bool IsJpegPath(const std::string& path);

} // namespace orvi

#endif
