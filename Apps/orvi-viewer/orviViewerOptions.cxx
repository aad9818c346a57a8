#include "orviViewerOptions.h"

#include <cstdlib>
#include <sstream>

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
} // namespace

const char* NavigationName(Navigation nav)
{
  switch (nav)
  {
    case Navigation::Mervo:
      return "mervo";
    case Navigation::Catia:
      return "catia";
    case Navigation::StyleMervo:
      return "style-mervo";
    case Navigation::StyleCatia:
      return "style-catia";
  }
  return "?";
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
    std::string v;
    if (arg == "-h" || arg == "--help")
    {
      options.Help = true;
    }
    else if (arg == "--array")
    {
      if (!value(options.ArrayName))
        return false;
    }
    else if (arg == "--nav")
    {
      if (!value(v))
        return false;
      if (v == "mervo")
        options.Nav = Navigation::Mervo;
      else if (v == "catia")
        options.Nav = Navigation::Catia;
      else if (v == "style-mervo")
        options.Nav = Navigation::StyleMervo;
      else if (v == "style-catia")
        options.Nav = Navigation::StyleCatia;
      else
      {
        error = "unknown navigation '" + v + "' (mervo, catia, style-mervo or style-catia)";
        return false;
      }
    }
    else if (arg == "--pick")
    {
      if (!value(v))
        return false;
      if (v == "visible")
        options.Pick = PickMode::Visible;
      else if (v == "through")
        options.Pick = PickMode::Through;
      else
      {
        error = "unknown pick mode '" + v + "' (visible or through)";
        return false;
      }
    }
    else if (arg == "--edges")
    {
      if (!value(v))
        return false;
      if (v == "auto")
        options.Edges = EdgeMode::Auto;
      else if (v == "on")
        options.Edges = EdgeMode::On;
      else if (v == "off")
        options.Edges = EdgeMode::Off;
      else
      {
        error = "unknown edge mode '" + v + "' (on, off or auto)";
        return false;
      }
    }
    else if (arg == "--screenshot")
    {
      if (!value(options.Screenshot))
        return false;
    }
    else if (arg == "--script")
    {
      if (!value(options.Script))
        return false;
    }
    else if (arg == "--out")
    {
      if (!value(options.OutDir))
        return false;
    }
    else if (arg == "--size")
    {
      std::string h;
      if (!value(v) || !value(h))
        return false;
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
    else if (options.MeshFile.empty())
    {
      options.MeshFile = arg;
    }
    else
    {
      error = "more than one mesh file given: " + options.MeshFile + " and " + arg;
      return false;
    }
  }
  return true;
}

std::string ViewerUsage()
{
  std::ostringstream out;
  out << R"(orvi-viewer: a host of the vtkorviRendering library.

Usage: orvi-viewer [options] [MESH]

MESH is read with VTK's readers: .vtu, .vtk (legacy), .vtp, .stl, .obj, .ply.
A file VTK reports errors for, cut short, whose cells name points it does not
hold, or with nothing to draw is refused with a message (exit status 1).
Without MESH the viewer generates a mixed mesh (hexahedra, wedges, tetrahedra
and a polyhedron with a point scalar field) through
vtkKivUnstructuredGridGenerator.

Options:
  --array NAME        colour by this point or cell array (default: the first
                      scalar array whose values are not all equal; without
                      one the surface is plain grey)
  --nav CONVENTION    mouse convention (default mervo):
                        mervo        vtkMervoInteractor, buttons mapped by the viewer
                        catia        vtkCatiaInteractor, buttons mapped by the viewer
                        style-mervo  vtkInteractorStyleMervo maps the buttons itself
                        style-catia  vtkInteractorStyleCATIA maps the buttons itself
  --pick MODE         visible (default): the mesh cells whose faces are seen;
                      through: every mesh cell inside the rectangle's
                      frustum, interior ones included
  --edges MODE        mesh edges over the surface: on, off, or auto (default):
                      shown while the mean edge spans at least 10 pixels,
                      hidden on a dense mesh seen whole (zoom in and they
                      appear)
  --screenshot FILE   render once, write FILE (PNG) and exit
  --script FILE       replay the actions of FILE, then exit
  --out DIR           directory for the script's screenshots (default .)
  --size W H          window size in pixels (default 1024 768)
  -h, --help          this text

Every mode renders into a window and needs an X server; without a display,
run under one such as Xvfb (xvfb-run orvi-viewer --script ..., as
./scripts/demo.sh does).

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
  screenshot NAME                 write DIR/NAME.png
"snap NAME" writes DIR/NAME.png while the button is still held (the
rotation marker or the rubber band is on screen). Each action goes through
the same mouse events a person's hand would produce.
)";
  return out.str();
}

} // namespace orvi
