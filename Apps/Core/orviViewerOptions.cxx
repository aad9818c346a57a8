#include "orviViewerOptions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <utility>

namespace orvi
{

namespace
{
bool ParsePositiveInt(const std::string& text, int& value)
{
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || parsed < 16 || parsed > 8192)
  {
    return false;
  }
  value = static_cast<int>(parsed);
  return true;
}

bool ParseFinite(const std::string& text, double& value)
{
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && std::isfinite(value);
}

std::string Lower(std::string text)
{
  std::transform(text.begin(),
    text.end(),
    text.begin(),
    [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Extension(const std::string& path)
{
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
  {
    return std::string();
  }
  return Lower(path.substr(dot));
}

// One word of a closed set: the index of `word` in `names`, or -1.
template <size_t N>
int IndexOf(const std::string& word, const char* const (&names)[N])
{
  for (size_t i = 0; i < N; ++i)
  {
    if (word == names[i])
    {
      return static_cast<int>(i);
    }
  }
  return -1;
}

constexpr const char* NavigationNames[] = { "mervo", "catia", "style-mervo", "style-catia" };
constexpr const char* PickNames[] = { "visible", "through" };
constexpr const char* EdgeNames[] = { "auto", "on", "off" };
constexpr const char* ColormapNames[] = { "rainbow", "viridis", "coolwarm", "grey" };
constexpr const char* UpNames[] = { "+X", "-X", "+Y", "-Y", "+Z", "-Z" };
} // namespace

const char* NavigationName(Navigation nav)
{
  return NavigationNames[static_cast<int>(nav)];
}

bool IsJpegPath(const std::string& path)
{
  const std::string ext = Extension(path);
  return ext == ".jpg" || ext == ".jpeg";
}

bool ParseViewerOptions(int argc, char* argv[], ViewerOptions& options, std::string& error)
{
  for (int i = 1; i < argc; ++i)
  {
    const std::string arg = argv[i];
    auto value = [&](std::string& out)
    {
      if (i + 1 >= argc)
      {
        error = "option " + arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    // A value out of a closed set of words: its index, or -1 with the error
    // listing the words.
    auto choice = [&](const auto& names, const std::string& what)
    {
      std::string v;
      if (!value(v))
      {
        return -1;
      }
      const int index = IndexOf(v, names);
      if (index < 0)
      {
        error = "unknown " + what + " '" + v + "' (";
        for (size_t k = 0; k < std::size(names); ++k)
        {
          error += std::string(k == 0 ? "" : k + 1 == std::size(names) ? " or " : ", ") + names[k];
        }
        error += ")";
      }
      return index;
    };
    std::string v;
    if (arg == "-h" || arg == "--help")
    {
      options.Help = true;
    }
    else if (arg == "--array")
    {
      if (!value(v))
      {
        return false;
      }
      options.Field = ArrayField::Any;
      for (const auto& [prefix, field] :
        { std::pair<std::string, ArrayField>{ "point:", ArrayField::Point },
          std::pair<std::string, ArrayField>{ "cell:", ArrayField::Cell } })
      {
        if (v.rfind(prefix, 0) == 0)
        {
          options.Field = field;
          v.erase(0, prefix.size());
        }
      }
      if (v.empty())
      {
        error = "--array needs an array name (NAME, point:NAME or cell:NAME)";
        return false;
      }
      options.ArrayName = v;
    }
    else if (arg == "--nav")
    {
      const int index = choice(NavigationNames, "navigation");
      if (index < 0)
      {
        return false;
      }
      options.Nav = static_cast<Navigation>(index);
    }
    else if (arg == "--pick")
    {
      const int index = choice(PickNames, "pick mode");
      if (index < 0)
      {
        return false;
      }
      options.Pick = static_cast<PickMode>(index);
    }
    else if (arg == "--edges")
    {
      const int index = choice(EdgeNames, "edge mode");
      if (index < 0)
      {
        return false;
      }
      options.Edges = static_cast<EdgeMode>(index);
    }
    else if (arg == "--colormap")
    {
      const int index = choice(ColormapNames, "colour map");
      if (index < 0)
      {
        return false;
      }
      options.Colors = static_cast<Colormap>(index);
      options.ColormapGiven = true;
    }
    else if (arg == "--up")
    {
      const int index = choice(UpNames, "up direction");
      if (index < 0)
      {
        return false;
      }
      options.Up.Axis = index / 2;
      options.Up.Sign = index % 2 == 0 ? 1 : -1;
    }
    else if (arg == "--range")
    {
      std::string high;
      if (!value(v) || !value(high))
      {
        return false;
      }
      if (!ParseFinite(v, options.Range[0]) || !ParseFinite(high, options.Range[1]) ||
        !(options.Range[0] < options.Range[1]))
      {
        error = "--range needs two numbers MIN MAX with MIN below MAX (got '";
        error.append(v).append("' '").append(high).append("')");
        return false;
      }
      options.RangeGiven = true;
    }
    else if (arg == "--elevation")
    {
      options.Elevation = true;
    }
    else if (arg == "--no-legend")
    {
      options.Legend = false;
    }
    else if (arg == "--screenshot")
    {
      if (!value(options.Screenshot))
      {
        return false;
      }
      const std::string ext = Extension(options.Screenshot);
      if (ext != ".png" && !IsJpegPath(options.Screenshot))
      {
        error = "--screenshot writes .png or .jpg/.jpeg files, not '" + options.Screenshot + "'";
        return false;
      }
    }
    else if (arg == "--script")
    {
      if (!value(options.Script))
      {
        return false;
      }
    }
    else if (arg == "--out")
    {
      if (!value(options.OutDir))
      {
        return false;
      }
    }
    else if (arg == "--size")
    {
      std::string h;
      if (!value(v) || !value(h))
      {
        return false;
      }
      if (!ParsePositiveInt(v, options.Width) || !ParsePositiveInt(h, options.Height))
      {
        error = "--size needs a width and a height between 16 and 8192";
        return false;
      }
    }
    else if (!arg.empty() && arg[0] == '-')
    {
      error = "unknown option " + arg + " (see --help)";
      return false;
    }
    else
    {
      options.MeshFiles.push_back(arg);
    }
  }
  if (options.Elevation && !options.ArrayName.empty())
  {
    error = "--elevation and --array both choose what to colour by: give one";
    return false;
  }
  return true;
}

std::string ViewerUsage()
{
  std::ostringstream out;
  out << R"(orvi-viewer: a host of the vtkorviRendering library.

Usage: orvi-viewer [options] [MESH...]

MESH is read with VTK's readers: .vtu, .vtk (legacy), .vtp, .stl, .obj, .ply.
Several files are each loaded and checked, then shown together in one scene.
A file VTK reports errors for, cut short, whose cells name points it does not
hold, or with nothing to draw is refused with a message, as is a malformed
option (exit status 1). Without MESH the viewer generates a mixed mesh
(hexahedra, wedges, tetrahedra and a polyhedron with a point scalar field)
through vtkKivUnstructuredGridGenerator. Cells lying on cells of higher
dimension (gmsh's boundary triangles, curve lines and points beside its
tetrahedra) are not drawn, so each face shows its volume cell's colour without
stripes.

Options:
  --array NAME        colour by this array: NAME looks in the point data,
                      then the cell data; point:NAME or cell:NAME in one only
                      (default: a floating-point array whose values are not
                      all equal, else integer ids of a few categories, else
                      another integer array; ids of too many categories and
                      arrays of one value are never the default; without one
                      the surface is plain grey). With several meshes the
                      array is chosen in the first that has it, and every
                      mesh holding it is coloured by it. An unknown NAME is
                      refused with the list of the arrays each mesh holds.
                      Integer arrays of at most 64 distinct values (region,
                      material or partition ids such as gmsh's
                      CellEntityIds) are categories: one colour per id, the
                      legend naming each; --colormap or --range colour them
                      as a quantity instead
  --elevation         colour by the height along the --up axis (a point array
                      "elevation" added to every mesh)
  --colormap MAP      rainbow (default), viridis, coolwarm or grey
  --range MIN MAX     the values at the colour map's ends (default: the
                      array's range); values beyond take the nearer end's
                      colour
  --no-legend         no colour legend
  --up AXIS           the model axis pointing up: +X, -X, +Y, -Y, +Z or -Z.
                      Default +Y, as VTK and most viewers assume and as a mesh
                      drawn in the x-y plane wants; use +Z for CAD models and
                      meshes built with z up
  --nav CONVENTION    mouse convention (default mervo):
                        mervo        vtkMervoInteractor, buttons mapped by the viewer
                        catia        vtkCatiaInteractor, buttons mapped by the viewer
                        style-mervo  vtkInteractorStyleMervo maps the buttons itself
                        style-catia  vtkInteractorStyleCATIA maps the buttons itself
  --pick MODE         visible (default): the mesh cells whose faces are seen;
                      through: every mesh cell inside the rectangle's
                      frustum, interior ones included. With several meshes
                      the pick names each mesh and its own cell ids
  --edges MODE        mesh edges over the surface: on, off, or auto (default):
                      the edges of the faces spanning at least 10 pixels on
                      screen (the square root of a face's area), so a dense
                      mesh seen whole keeps its colours and a graded one
                      shows its mesh where its cells are large (zoom in and
                      more appear). A mesh's own lines are drawn 2 pixels
                      wide and its vertices 5 pixels across; among faces, in
                      amber over them. Lines and silhouettes are smoothed
                      (FXAA)
  --screenshot FILE   render once, write FILE and exit: PNG for .png, JPEG for
                      .jpg or .jpeg; other extensions are refused
  --script FILE       replay the actions of FILE, then exit
  --out DIR           directory for the script's screenshots (default .); it
                      must exist
  --size W H          window size in pixels (default 1024 768)
  -h, --help          this text

Every mode renders into a window and needs an X server; without a display,
run under one such as Xvfb (xvfb-run orvi-viewer --script ..., as
./scripts/demo.sh does).

Keys, in every convention:
  r                   reset the view: the whole scene from the front and
                      above, --up pointing up; a flat scene (every point in
                      one plane, as a 2D mesh) face-on, seen along its
                      normal, whatever --up says. The scene is framed left
                      of the legend
  w / s               draw the surfaces as wireframe / as surfaces
  q / e               quit
With --nav catia and style-catia the other keys of VTK's interactor styles
work too: f flies to the point under the pointer, p outlines the prop under
it, 3 toggles stereo (when the window supports it). The Mervo conventions
ignore every other key.

Mouse, with --nav mervo:
  left drag           rotate about the rotation centre (red marker shown)
  left click          make the surface point under the pointer the centre
  middle drag         pan; Shift+middle drag: dolly
  middle click        fly to the point under the pointer
  right drag          box zoom onto the rectangle
  Ctrl+right drag     pick the cells in the rectangle
With --nav catia: middle drag pans, middle held + left press rotates (spins
near the window edge), releasing left dollies, middle click flies, right
drag picks. The two style conventions map buttons themselves (see their
class documentation); a left drag (style-mervo) or a left/right click with
the middle button up (style-catia) picks.

Script format (--script): one action per line; blank lines and lines
starting with # are ignored. Coordinates are pixels, origin lower left;
every number lies within -1000000 .. 1000000.
  rotate DX DY [snap NAME]        drag by (DX, DY) from the window centre
  pan DX DY [snap NAME]           drag-pan by (DX, DY)
  dolly DY [snap NAME]            drag-dolly by DY (up zooms in)
  boxzoom X0 Y0 X1 Y1 [snap NAME] rubber-band zoom over the rectangle
  pick X0 Y0 X1 Y1                select the cells in the rectangle
  fly X Y                         fly to the surface point at (X, Y)
  centre X Y                      make the point at (X, Y) the rotation centre
  tdx X Y Z ANGLE AX AY AZ        one 3D-mouse motion report
  key C                           type the key C (see Keys)
  screenshot NAME                 write DIR/NAME.png
"snap NAME" writes DIR/NAME.png while the button is still held (the
rotation marker or the rubber band is on screen). Each action goes through
the same mouse events a person's hand would produce.
)";
  return out.str();
}

} // namespace orvi
