#include "orviViewerOptions.h"

#include "orviMeshLoader.h"
#include "orviPickValues.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <sstream>

namespace orvi
{

namespace
{
constexpr unsigned ViewerOnly = 1U << static_cast<unsigned>(Host::Viewer);
constexpr unsigned QtOnly = 1U << static_cast<unsigned>(Host::Qt);
constexpr unsigned Both = ViewerOnly | QtOnly;

bool ParseSize(const std::string& text, int& value)
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

constexpr const char* NavigationNames[] = { "mervo", "catia", "style-mervo", "style-catia" };
constexpr const char* PickNames[] = { "visible", "through" };
constexpr const char* EdgeNames[] = { "auto", "on", "off" };
constexpr const char* ColormapNames[] = { "rainbow", "viridis", "coolwarm", "grey" };
constexpr const char* SectionNames[] = { "off", "cut", "cells" };
constexpr const char* UpNames[] = { "+X", "-X", "+Y", "-Y", "+Z", "-Z" };

// One word of a closed set: its index in `names`, or -1 with the error
// listing the words.
template <size_t N>
int Choose(const std::string& word,
  const char* const (&names)[N],
  const char* what,
  std::string& error)
{
  for (size_t i = 0; i < N; ++i)
  {
    if (word == names[i])
    {
      return static_cast<int>(i);
    }
  }
  error = std::string("unknown ") + what + " '" + word + "' (";
  for (size_t k = 0; k < N; ++k)
  {
    error += std::string(k == 0 ? "" : k + 1 == N ? " or " : ", ") + names[k];
  }
  error += ")";
  return -1;
}

template <typename Value, size_t N>
bool ChooseInto(const std::string& word,
  const char* const (&names)[N],
  const char* what,
  Value& into,
  std::string& error)
{
  const int index = Choose(word, names, what, error);
  if (index >= 0)
  {
    into = static_cast<Value>(index);
  }
  return index >= 0;
}

// An option that sets a flag, or a text to its value.
template <bool ViewerOptions::*Flag, bool Value>
bool SetFlag(const std::string*, ViewerOptions& options, std::string&)
{
  options.*Flag = Value;
  return true;
}

template <std::string ViewerOptions::*Text>
bool SetText(const std::string* values, ViewerOptions& options, std::string&)
{
  options.*Text = values[0];
  return true;
}

bool SetArray(const std::string* values, ViewerOptions& options, std::string& error)
{
  return ParseArrayChoice(values[0], options, error);
}

bool SetRange(const std::string* values, ViewerOptions& options, std::string& error)
{
  if (!ParseFinite(values[0], options.Range[0]) || !ParseFinite(values[1], options.Range[1]) ||
    !(options.Range[0] < options.Range[1]))
  {
    error = "--range needs two numbers MIN MAX with MIN below MAX (got '";
    error.append(values[0]).append("' '").append(values[1]).append("')");
    return false;
  }
  options.RangeGiven = true;
  return true;
}

// Three finite numbers.
bool ParseVector(const std::string* values,
  const char* option,
  double vector[3],
  std::string& error)
{
  double parsed[3];
  for (int i = 0; i < 3; ++i)
  {
    if (!ParseFinite(values[i], parsed[i]))
    {
      error = std::string(option) + " needs three numbers X Y Z (got '" + values[i] + "')";
      return false;
    }
  }
  std::copy(parsed, parsed + 3, vector);
  return true;
}

bool SetSectionNormal(const std::string* values, ViewerOptions& options, std::string& error)
{
  double normal[3];
  return ParseVector(values, "--section-normal", normal, error) &&
    NormalizeSectionNormal(normal, error) &&
    (options.SectionNormalGiven = std::copy(normal, normal + 3, options.SectionNormal) != nullptr);
}

bool SetStep(const std::string* values, ViewerOptions& options, std::string& error)
{
  char* end = nullptr;
  const long parsed = std::strtol(values[0].c_str(), &end, 10);
  if (values[0].empty() || *end != '\0' || parsed < 1 || parsed > 1000000000L)
  {
    error = "--step needs a step number from 1 (got '" + values[0] + "')";
    return false;
  }
  options.Step = static_cast<int>(parsed);
  return true;
}

bool SetTime(const std::string* values, ViewerOptions& options, std::string& error)
{
  if (!ParseFinite(values[0], options.Time))
  {
    error = "--time needs a number (got '" + values[0] + "')";
    return false;
  }
  options.TimeGiven = true;
  return true;
}

bool SetParts(const std::string* values, ViewerOptions& options, std::string& error)
{
  options.Parts.clear();
  std::istringstream names(values[0]);
  std::string name;
  while (std::getline(names, name, ','))
  {
    if (name.empty())
    {
      error = "--parts needs part names separated by commas (got '" + values[0] + "')";
      return false;
    }
    options.Parts.push_back(name);
  }
  if (options.Parts.empty())
  {
    error = "--parts needs at least one part name";
    return false;
  }
  return true;
}

bool SetScreenshot(const std::string* values, ViewerOptions& options, std::string& error)
{
  options.Screenshot = values[0];
  if (FileExtension(values[0]) != ".png" && !IsJpegPath(values[0]))
  {
    error = "--screenshot writes .png or .jpg/.jpeg files, not '" + values[0] + "'";
    return false;
  }
  return true;
}

bool SetSize(const std::string* values, ViewerOptions& options, std::string& error)
{
  if (!ParseSize(values[0], options.Width) || !ParseSize(values[1], options.Height))
  {
    error = "--size needs a width and a height between 16 and 8192";
    return false;
  }
  return true;
}

// One option of the hosts. Values names the words that follow it, as --help
// shows them (none for a flag); Summary is the first sentence of its help
// and the README's line for it; More follows in --help, each '\n' starting a
// new line (one that starts with two spaces is printed as it stands).
struct Option
{
  const char* Name;
  const char* Alias;
  const char* Values;
  unsigned Hosts;
  const char* Summary;
  const char* More;
  bool (*Set)(const std::string* values, ViewerOptions& options, std::string& error);
};

// clang-format off
const Option Options[] = {
  { "--array", nullptr, "NAME[:COMPONENT]", Both,
    "colour by this array: NAME looks in the point data, then the cell data; point:NAME or "
    "cell:NAME in one only",
    "; COMPONENT is x, y, z, a number from 0, magnitude (the default for an array of several "
    "components) or, for a symmetric tensor of 6 components (xx yy zz xy yz xz), vonmises; the "
    "legend's title names it. The key c steps through the components\n(default: a floating-point array whose values are not all equal, else integer ids of a few "
    "categories, else another integer array; ids of too many categories and arrays of one value "
    "are never the default; without one the surface is plain grey). With several meshes the "
    "array is chosen in the first that has it, and every mesh holding it is coloured by it. An "
    "unknown NAME is refused with the list of the arrays each mesh holds. Integer arrays of at "
    "most 64 distinct values (region, material or partition ids such as gmsh's CellEntityIds) "
    "are categories: one colour per id, the legend naming each; --colormap or --range colour "
    "them as a quantity instead",
    SetArray },
  { "--elevation", nullptr, "", Both,
    "colour by the height along the --up axis",
    "(a point array \"elevation\" added to every mesh)",
    SetFlag<&ViewerOptions::Elevation, true> },
  { "--by-part", nullptr, "", Both,
    "colour each part (a file, or a part of one such as a gmsh physical group) in a colour of "
    "its own, the legend naming the parts",
    "(as categories up to 64 parts)",
    SetFlag<&ViewerOptions::ByPart, true> },
  { "--warp", nullptr, "ARRAY", Both,
    "draw the deformed shape: the surface moved by the point array ARRAY of 3 components (a "
    "displacement) times --warp-scale",
    "; an array of another kind is refused. Edges, picks, the rotation centre and the start view "
    "follow the deformed shape. The keys + and - double and halve the scale, o shows the "
    "undeformed outline",
    SetText<&ViewerOptions::WarpArray> },
  { "--warp-scale", nullptr, "S", Both,
    "the factor of the displacement (default: automatic, the largest displacement drawn as 10% "
    "of the model's size; the scale is printed)",
    "",
    [](const std::string* v, ViewerOptions& o, std::string& error)
    {
      if (!ParseFinite(v[0], o.WarpScale))
      {
        error = "--warp-scale needs a number (got '" + v[0] + "')";
        return false;
      }
      return o.WarpScaleGiven = true;
    } },
  { "--undeformed", nullptr, "", Both,
    "with --warp, draw the undeformed shape's outline (its boundary and feature edges) beside "
    "the deformed one",
    "",
    SetFlag<&ViewerOptions::Undeformed, true> },
  { "--section", nullptr, "MODE", Both,
    "a section plane through the model: cut shows the cut of the cells it crosses, cells those "
    "cells whole; everything on the side its normal points to is hidden",
    "; the cut face is coloured by the array and legend of the surface, with the mesh's edges "
    "on it, and picks see only what is drawn. The keys ] and [ move the plane along its normal, "
    ". and , turn it, x switches off, cut, cells",
    [](const std::string* v, ViewerOptions& o, std::string& error)
    { return ParseSectionMode(v[0], o.Section, error); } },
  { "--section-origin", nullptr, "X Y Z", Both,
    "a point of the section plane (default: the centre of the model's bounds)",
    "",
    [](const std::string* v, ViewerOptions& o, std::string& error)
    { return o.SectionOriginGiven = ParseVector(v, "--section-origin", o.SectionOrigin, error); } },
  { "--section-normal", nullptr, "X Y Z", Both,
    "the section plane's normal, towards the side hidden (default 1 0 0)",
    "; a normal of no length is refused",
    SetSectionNormal },
  { "--colormap", nullptr, "MAP", Both,
    "the colour map: rainbow (default), viridis, coolwarm or grey",
    "",
    [](const std::string* v, ViewerOptions& o, std::string& error)
    { return o.ColormapGiven = ChooseInto(v[0], ColormapNames, "colour map", o.Colors, error); } },
  { "--range", nullptr, "MIN MAX", Both,
    "the values at the colour map's ends (default: the array's range); values beyond take the "
    "nearer end's colour",
    "", SetRange },
  { "--no-legend", nullptr, "", Both,
    "no colour legend",
    "",
    SetFlag<&ViewerOptions::Legend, false> },
  { "--up", nullptr, "AXIS", Both,
    "the model axis pointing up: +X, -X, +Y, -Y, +Z or -Z",
    "(default +Y, as VTK and most viewers assume and as a mesh drawn in the x-y plane wants; use "
    "+Z for CAD models and meshes built with z up)",
    [](const std::string* v, ViewerOptions& o, std::string& error)
    {
      int index = 0;
      if (!ChooseInto(v[0], UpNames, "up direction", index, error))
      {
        return false;
      }
      o.Up = { index / 2, index % 2 == 0 ? 1 : -1 };
      return true;
    } },
  { "--nav", nullptr, "CONVENTION", Both,
    "the mouse convention: mervo (default), catia, style-mervo or style-catia",
    "\n  mervo        vtkMervoInteractor, buttons mapped by the host"
    "\n  catia        vtkCatiaInteractor, buttons mapped by the host"
    "\n  style-mervo  vtkInteractorStyleMervo maps the buttons itself"
    "\n  style-catia  vtkInteractorStyleCATIA maps the buttons itself",
    [](const std::string* v, ViewerOptions& o, std::string& error)
    { return ChooseInto(v[0], NavigationNames, "navigation", o.Nav, error); } },
  { "--pick", nullptr, "MODE", Both,
    "what a rectangle picks: visible (default), the mesh cells whose faces are seen; through, "
    "every mesh cell inside the rectangle's frustum, interior ones included",
    "; with several meshes the pick names each mesh and its own cell ids. The pick's line ends "
    "with the coloured quantity's minimum, mean and maximum over the picked cells (over their "
    "points for point data)",
    [](const std::string* v, ViewerOptions& o, std::string& error)
    { return ChooseInto(v[0], PickNames, "pick mode", o.Pick, error); } },
  { "--edges", nullptr, "MODE", Both,
    "mesh edges over the surface: on, off, or auto (default), the edges of the faces spanning "
    "at least 10 pixels on screen",
    "(the square root of a face's area), so a dense mesh seen whole keeps its colours and a "
    "graded one shows its mesh where its cells are large (zoom in and more appear). A mesh's own "
    "lines are drawn 2 pixels wide and its vertices 5 pixels across; among faces, in amber over "
    "them. Lines and silhouettes are smoothed (FXAA)",
    [](const std::string* v, ViewerOptions& o, std::string& error)
    { return ChooseInto(v[0], EdgeNames, "edge mode", o.Edges, error); } },
  { "--pick-out", nullptr, "FILE.csv", ViewerOnly,
    "after each pick write its cells to FILE.csv, one row each: part, cell id, cell type, every "
    "cell array's value, every point array averaged over the cell's points",
    "(a column per component); a path in a missing folder is refused",
    [](const std::string* v, ViewerOptions& o, std::string& error)
    {
      o.PickOut = v[0];
      return CheckOutputFolder("the picked cells", v[0], error);
    } },
  { "--step", nullptr, "N", Both,
    "open a time series at its step N (counted from 1)",
    "; a step beyond the last is refused",
    SetStep },
  { "--time", nullptr, "T", Both,
    "open a time series at the last step at or before time T",
    "(the first step when T is before them all)",
    SetTime },
  { "--range-per-step", nullptr, "", Both,
    "the legend over each step's own range",
    "(default: one range over every step, so that colours compare across time: what the files "
    "tell of their steps, widened by each step as it is read)",
    SetFlag<&ViewerOptions::RangePerStep, true> },
  { "--parts", nullptr, "NAMES", Both,
    "show only the parts named, separated by commas",
    "(a block of a multiblock file, an element block; a file without parts is one part named "
    "after its path). An unknown name is refused with the list of the parts. orvi-qt lists the "
    "parts in a dock, each with a check box",
    SetParts },
  { "--screenshot", nullptr, "FILE", ViewerOnly,
    "render once, write FILE and exit: PNG for .png, JPEG for .jpg or .jpeg",
    "; other extensions are refused",
    SetScreenshot },
  { "--script", nullptr, "FILE", ViewerOnly,
    "replay the actions of FILE (see Script format), then exit",
    "",
    SetText<&ViewerOptions::Script> },
  { "--out", nullptr, "DIR", ViewerOnly,
    "the directory for the script's screenshots (default .); it must exist",
    "",
    SetText<&ViewerOptions::OutDir> },
  { "--screenshot-with-band", nullptr, "FILE.png", QtOnly,
    "draw a box-zoom band with mouse events on the view, write the window with the band into "
    "FILE.png and exit",
    "(the Mervo conventions: a rectangle pick of the CATIA ones draws no band)",
    SetText<&ViewerOptions::BandScreenshot> },
  { "--size", nullptr, "W H", Both,
    "the window size in pixels (default 1024 768 for orvi-viewer, 900 700 for orvi-qt)",
    "",
    SetSize },
  { "--help", "-h", "", Both,
    "this text",
    "",
    SetFlag<&ViewerOptions::Help, true> },
};
// clang-format on

// The words of a value list ("MIN MAX": 2).
int CountValues(const char* values)
{
  std::istringstream words(values);
  return static_cast<int>(
    std::distance(std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()));
}

bool Takes(const Option& option, Host host)
{
  return (option.Hosts & (1U << static_cast<unsigned>(host))) != 0;
}

// Appends text to out wrapped at 78 columns, each line indented by indent
// spaces but the first, which continues from column `column`.
void Wrap(const std::string& text, size_t indent, size_t column, std::string& out)
{
  std::istringstream words(text);
  std::string word;
  bool first = true;
  while (words >> word)
  {
    if (!first && column + 1 + word.size() > 78)
    {
      out += "\n" + std::string(indent, ' ');
      column = indent;
      first = true;
    }
    out += (first ? "" : " ") + word;
    column += (first ? 0 : 1) + word.size();
    first = false;
  }
}

// An option's help as CLI11 keeps it: the summary and the first line of
// More run on as one paragraph, each further line of More after a '\n'.
std::string Description(const Option& option)
{
  const std::string more = option.More;
  const std::string first = more.substr(0, more.find('\n'));
  const bool joined = !first.empty() && first[0] != ';';
  return option.Summary + std::string(joined ? " " : "") + more;
}

// Lays out a host's --help for CLI11: the description, the usage line, the
// paragraphs on the meshes, the options of the host (the table's order), and
// the footer. Each option's help is wrapped at 78 columns from column 22;
// a line of its help that starts with two spaces is printed as it stands.
class HelpFormatter : public CLI::Formatter
{
public:
  explicit HelpFormatter(std::string meshes)
    : Meshes(std::move(meshes))
  {
  }

  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode) const override
  {
    const auto listed = [](const CLI::Option* opt) { return opt->get_group() == "Options"; };
    return app->get_description() + "\n\nUsage: " + name + " [options] [MESH...]\n\n" +
      this->Meshes + this->make_group("Options", false, app->get_options(listed)) + "\n" +
      app->get_footer();
  }

  std::string make_option(const CLI::Option* opt, bool) const override
  {
    constexpr size_t indent = 22;
    std::string out = "  ";
    for (const std::string& alias : opt->get_snames())
    {
      out += "-" + alias + ", ";
    }
    out += "--" + opt->get_lnames().front();
    out += opt->get_type_name().empty() ? "" : " " + opt->get_type_name();
    out += out.size() + 2 > indent ? "\n" + std::string(indent, ' ')
                                   : std::string(indent - out.size(), ' ');
    std::istringstream lines(opt->get_description());
    std::string line;
    for (bool first = true; std::getline(lines, line); first = false)
    {
      out += first ? "" : "\n" + std::string(indent, ' ');
      if (line.rfind("  ", 0) == 0)
      {
        out += line;
      }
      else
      {
        Wrap(line, indent, indent, out);
      }
    }
    return out + "\n";
  }

private:
  std::string Meshes;
};

// Who takes an option another host was given, for the refusal.
std::string TakenBy(const Option& option)
{
  std::string hosts;
  for (const Host host : { Host::Viewer, Host::Qt })
  {
    if (Takes(option, host))
    {
      hosts += std::string(hosts.empty() ? "" : " and ") + HostName(host);
    }
  }
  return hosts;
}

// A refusal of the command line in our own words, out of an option's callback.
struct Refusal
{
  std::string Message;
};

// Feeds the table to CLI11 for `host`, each option set into `options` as
// it is parsed. The other host's options are known but hidden from the help,
// and refused (without taking values) where they appear.
void AddOptions(CLI::App& app, Host host, ViewerOptions& options)
{
  app.set_help_flag();
  app.allow_extras(); // the meshes, and unknown options refused in our words
  for (const Option& option : Options)
  {
    const std::string names =
      option.Alias ? std::string(option.Alias) + "," + option.Name : option.Name;
    if (!Takes(option, host))
    {
      const std::string refusal = std::string(option.Name) + " is an option of " + TakenBy(option) +
        ", not of " + HostName(host) + " (see --help)";
      app.add_flag_callback(names, [refusal] { throw Refusal{ refusal }; })
        ->group("")
        ->trigger_on_parse();
      continue;
    }
    const auto set = [&option, &options](const CLI::results_t& values)
    {
      std::string error;
      if (!option.Set(values.data(), options, error))
      {
        throw Refusal{ error };
      }
      return true;
    };
    const int count = CountValues(option.Values);
    CLI::Option* added = count == 0
      ? app.add_flag_callback(names, [set] { set({}); })->disable_flag_override()
      : app.add_option(names, set)->type_size(count)->type_name(option.Values);
    added->description(Description(option))->group("Options")->trigger_on_parse();
  }
}
} // namespace

bool ParseArrayChoice(const std::string& choice, ViewerOptions& options, std::string& error)
{
  std::string name = choice;
  ArrayField field = ArrayField::Any;
  for (const auto& [prefix, which] :
    { std::pair<std::string, ArrayField>{ "point:", ArrayField::Point },
      std::pair<std::string, ArrayField>{ "cell:", ArrayField::Cell } })
  {
    if (name.rfind(prefix, 0) == 0)
    {
      field = which;
      name.erase(0, prefix.size());
    }
  }
  // A component follows the last ':' of the name.
  Component component;
  const size_t colon = name.rfind(':');
  if (colon != std::string::npos)
  {
    if (!ParseComponent(name.substr(colon + 1), component, error))
    {
      error = "--array " + choice + ": " + error;
      return false;
    }
    name.erase(colon);
  }
  if (name.empty())
  {
    error = "--array needs an array name (NAME, point:NAME or cell:NAME)";
    return false;
  }
  options.ArrayName = name;
  options.Field = field;
  options.ArrayComponent = component;
  return true;
}

const char* HostName(Host host)
{
  return host == Host::Qt ? "orvi-qt" : "orvi-viewer";
}

const char* NavigationName(Navigation nav)
{
  return NavigationNames[static_cast<int>(nav)];
}

bool IsJpegPath(const std::string& path)
{
  const std::string ext = FileExtension(path);
  return ext == ".jpg" || ext == ".jpeg";
}

bool ParseViewerOptions(int argc,
  char* argv[],
  ViewerOptions& options,
  std::string& error,
  Host host)
{
  CLI::App app(HostName(host));
  AddOptions(app, host, options);
  try
  {
    app.parse(argc, argv);
  }
  catch (const Refusal& refusal)
  {
    error = refusal.Message;
    return false;
  }
  catch (const CLI::ArgumentMismatch& mismatch)
  {
    // CLI11 names the option first: "--range: 2 required MIN MAX missing";
    // other mismatches are values given to a flag ("--no-legend=false").
    const std::string what = mismatch.what();
    error = what.find(" required ") != std::string::npos
      ? "option " + what.substr(0, what.find(':')) + " needs a value"
      : "malformed option: " + what + " (see --help)";
    return false;
  }
  catch (const CLI::ParseError& other)
  {
    error = std::string(other.what()) + " (see --help)";
    return false;
  }
  for (const std::string& word : app.remaining())
  {
    if (!word.empty() && word[0] == '-')
    {
      error = "unknown option " + word + " (see --help)";
      return false;
    }
    options.MeshFiles.push_back(word);
  }
  if (options.Step > 0 && options.TimeGiven)
  {
    error = "--step and --time both choose the step to open at: give one";
    return false;
  }
  if (options.WarpArray.empty() && (options.WarpScaleGiven || options.Undeformed))
  {
    error = std::string(options.Undeformed ? "--undeformed" : "--warp-scale") +
      " is about the deformed shape: give --warp ARRAY too";
    return false;
  }
  if (options.Section == SectionMode::Off &&
    (options.SectionOriginGiven || options.SectionNormalGiven))
  {
    error = "--section-origin and --section-normal place the section plane: give --section cut "
            "or cells too";
    return false;
  }
  const int colourings =
    (options.Elevation ? 1 : 0) + (options.ByPart ? 1 : 0) + (options.ArrayName.empty() ? 0 : 1);
  if (colourings > 1)
  {
    error = "--elevation, --by-part and --array each choose what to colour by: give one";
    return false;
  }
  return true;
}

// What a host's --help says besides its options: the meshes it reads (after
// the usage line), then keys, mouse and, for orvi-viewer, the script format.
constexpr const char* QtWindowText =
  R"(The meshes are shown as orvi-viewer shows them, in a window with File > Open
and File > Save selection... (the picked cells as CSV), the convention, the
pick mode and the edges in the menus, the Section menu's section plane (VTK's
plane widget: drag the plane or its normal), toolbars for the colouring and
the deformed shape, and in the status bar the result of a pick (its cells and the
coloured quantity's minimum, mean and maximum over them) and the value under
a click.

)";

// The formats come from the loader's table, wrapped as the rest.
static std::string MeshText()
{
  std::string formats;
  Wrap(DescribeMeshFormats() + ".", 0, 0, formats);
  return "MESH is read with VTK's readers, or gmsh's for .msh:\n" + formats + R"(
Several files are each loaded and checked, then shown together in one scene; a
gmsh file's physical groups, a .vtm's blocks and an Exodus file's element
blocks are parts of their own, named in picks (the pieces of a .pvtu or .pvtp
are one part). Every file a collection names is checked as a file given alone.
A file VTK reports errors for, cut short, whose cells name points it does not
hold, or with nothing to draw is refused with a message, as is a malformed
option (exit status 1). Without MESH the host generates a mixed mesh
(hexahedra, wedges, tetrahedra and a polyhedron with a point scalar field)
through vtkKivUnstructuredGridGenerator. Cells lying on cells of higher
dimension (gmsh's boundary triangles, curve lines and points beside its
tetrahedra) are not drawn, so each face shows its volume cell's colour without
stripes.
)";
}

bool ParseSectionMode(const std::string& word, SectionMode& mode, std::string& error)
{
  return ChooseInto(word, SectionNames, "section mode", mode, error);
}

bool NormalizeSectionNormal(double normal[3], std::string& error)
{
  const double length =
    std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
  if (!(length > 0.0) || !std::isfinite(length))
  {
    error = "the section normal has no length (got " + std::to_string(normal[0]) + " " +
      std::to_string(normal[1]) + " " + std::to_string(normal[2]) + "): it needs a direction";
    return false;
  }
  for (int i = 0; i < 3; ++i)
  {
    normal[i] /= length;
  }
  return true;
}

std::string ViewerUsage(Host host)
{
  const bool viewer = host == Host::Viewer;
  std::ostringstream footer;
  footer << R"(Every mode renders into a window and needs an X server; without a display,
run under one such as Xvfb)"
         << (viewer ? " (xvfb-run orvi-viewer --script ..., as\n./scripts/demo.sh does)" : "")
         << R"(.

Keys, in every convention:
  r                   reset the view: the whole scene from the front and
                      above, --up pointing up; a flat scene (every point in
                      one plane, as a 2D mesh) face-on, seen along its
                      normal, whatever --up says. The scene is framed left
                      of the legend
  w / s               draw the surfaces as wireframe / as surfaces
  Right / Left        a time series' next / previous step (the next one is
                      read while a step is shown); the corner text says
                      "step k of N, t = T"
  Home / End          its first / last step
  c                   colour by the next component of a vector or tensor
                      array: magnitude, x, y, z, ..., von Mises (symmetric
                      tensors), magnitude again
  + / -               with --warp, double / halve the deformed shape's scale
  o                   with --warp, show or hide the undeformed outline
  x                   the section plane off, cutting, keeping whole cells
  ] / [               move the section plane along its normal / back, by
                      2% of the model's size
  . / ,               turn the section plane's normal by 15 degrees about
                      the view up, one way / the other
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
)";
  if (viewer)
  {
    footer << R"(
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
  key C                           type the key C, or Right, Left, Home or
                                  End (see Keys)
  step WHERE                      show step next, previous, first, last or
                                  N (from 1) of the time series
  array ARRAY                     colour by ARRAY, as --array takes it; an
                                  unknown array or component is reported
                                  and the colouring stays
  warp ARRAY [S]                  draw the deformed shape by ARRAY (as
                                  --warp) at scale S (default automatic);
                                  "warp off" the undeformed shape; a refused
                                  array is reported and the shape stays
  section MODE [X Y Z NX NY NZ]   the section plane as --section takes it
                                  (cut, cells or off), through X Y Z with
                                  normal NX NY NZ (default: as it was); a
                                  refused normal is reported and the plane
                                  stays
  screenshot NAME                 write DIR/NAME.png
"snap NAME" writes DIR/NAME.png while the button is still held (the
rotation marker or the rubber band is on screen). Each action goes through
the same mouse events a person's hand would produce.
)";
  }
  ViewerOptions ignored;
  CLI::App app(viewer ? "orvi-viewer: a host of the vtkorviRendering library."
                      : "orvi-qt: orvi-viewer's scene in a Qt main window.",
    HostName(host));
  AddOptions(app, host, ignored);
  app.footer(footer.str());
  app.formatter(std::make_shared<HelpFormatter>((viewer ? "" : QtWindowText) + MeshText()));
  return app.help();
}

} // namespace orvi
