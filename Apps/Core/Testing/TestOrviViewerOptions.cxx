// The hosts' command line: the values refused and the other host's options.
#include "orviViewerTestUtils.h"

#include <iterator>

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

//==============================================================================
// Malformed options are refused with one message naming the problem, each
// host refusing the other's options in the same words.
TEST(OrviViewerOptions, MalformedOptionsAreRefused)
{
  using orvi::Host;
  const std::string range = "--range needs two numbers MIN MAX with MIN below MAX (got ";
  const std::string ofQt = " is an option of orvi-qt, not of orvi-viewer (see --help)";
  const std::string ofViewer = " is an option of orvi-viewer, not of orvi-qt (see --help)";
  const std::tuple<Args, std::string, Host> cases[] = {
    { { "--pick", "all" }, "unknown pick mode 'all' (visible or through)", Host::Viewer },
    { { "--script" }, "option --script needs a value", Host::Viewer },
    { { "--size", "8", "8" }, "--size needs a width and a height between 16 and 8192", Host::Qt },
    { { "--size", "640" }, "option --size needs a value", Host::Viewer },
    { { "--up", "Z" }, "unknown up direction 'Z' (+X, -X, +Y, -Y, +Z or -Z)", Host::Viewer },
    { { "--colormap", "jet" },
      "unknown colour map 'jet' (rainbow, viridis, coolwarm or grey)",
      Host::Viewer },
    { { "--range", "1", "nan" }, range + "'1' 'nan')", Host::Viewer },
    { { "--range", "2", "2" }, range + "'2' '2')", Host::Viewer },
    { { "--range", "1" }, "option --range needs a value", Host::Viewer },
    { { "--screenshot", "x.bmp" },
      "--screenshot writes .png or .jpg/.jpeg files, not 'x.bmp'",
      Host::Viewer },
    { { "--array", "cell:" },
      "--array needs an array name (NAME, point:NAME or cell:NAME)",
      Host::Viewer },
    { { "--by-part", "--array", "t" },
      "--elevation, --by-part and --array each choose what to colour by: give one",
      Host::Viewer },
    { { "a.vtu", "--frobnicate", "b.vtu" }, "unknown option --frobnicate (see --help)", Host::Qt },
    { { "--screenshot-with-band", "x.png" }, "--screenshot-with-band" + ofQt, Host::Viewer },
    { { "--screenshot", "x.png" }, "--screenshot" + ofViewer, Host::Qt },
    { { "--script" }, "--script" + ofViewer, Host::Qt },
    { { "--out", "." }, "--out" + ofViewer, Host::Qt },
  };
  for (const auto& [args, message, host] : cases)
  {
    orvi::ViewerOptions parsed;
    std::string error;
    EXPECT_FALSE(Parse(args, parsed, error, host)) << message;
    EXPECT_EQ(error, message);
  }
}

// Every option's values reach the options, in any order among the meshes,
// the last of a repeated option winning; negative numbers are values.
TEST(OrviViewerOptions, ValuesReachTheOptions)
{
  orvi::ViewerOptions o;
  std::string error;
  std::istringstream line("a.vtu --range -1 5e-1 --size 20 30 --pick through --pick visible b.vtu "
                          "--no-legend --up -Z --array point:T --nav style-catia --edges off "
                          "--colormap grey --out d --script s.txt -h --screenshot x.JPG");
  ASSERT_TRUE(Parse({ std::istream_iterator<std::string>(line), {} }, o, error)) << error;
  EXPECT_EQ(o.MeshFiles, Args({ "a.vtu", "b.vtu" }));
  EXPECT_TRUE(o.RangeGiven && o.Range[0] == -1.0 && o.Range[1] == 0.5);
  EXPECT_TRUE(o.Width == 20 && o.Height == 30);
  EXPECT_EQ(o.Pick, orvi::PickMode::Visible);
  EXPECT_TRUE(!o.Legend && o.Help && o.ColormapGiven && o.Colors == orvi::Colormap::Grey);
  EXPECT_TRUE(o.Up.Axis == 2 && o.Up.Sign == -1);
  EXPECT_TRUE(o.ArrayName == "T" && o.Field == orvi::ArrayField::Point);
  EXPECT_TRUE(o.Nav == orvi::Navigation::StyleCatia && o.Edges == orvi::EdgeMode::Off);
  EXPECT_TRUE(o.OutDir == "d" && o.Script == "s.txt" && o.Screenshot == "x.JPG");
  orvi::ViewerOptions qt;
  ASSERT_TRUE(
    Parse({ "--elevation", "--screenshot-with-band", "b.png" }, qt, error, orvi::Host::Qt));
  EXPECT_TRUE(qt.Elevation && qt.BandScreenshot == "b.png" && qt.MeshFiles.empty());
}

// Each host's --help, laid out by CLI11, is the stored text: the options it
// takes in the table's order, wrapped at 78 columns.
TEST(OrviViewerOptions, HelpIsTheStoredText)
{
  for (const orvi::Host host : { orvi::Host::Viewer, orvi::Host::Qt })
  {
    const std::string name = orvi::HostName(host);
    EXPECT_EQ(orvi::ViewerUsage(host), ReadText(ORVI_BASELINE_DIR "/" + name + "-help.txt"));
  }
}

} // namespace
