// The hosts' command line: the values refused and the other host's options.
#include "orviViewerTestUtils.h"

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

//==============================================================================
// Malformed options are refused with a message naming the problem; each
// host refuses the other's options in the same words.
TEST(OrviViewerOptions, MalformedOptionsAreRefused)
{
  const std::string range = "--range needs two numbers MIN MAX with MIN below";
  const std::pair<Args, std::string> options[] = {
    { { "--pick", "all" }, "unknown pick mode 'all' (visible or through)" },
    { { "--script" }, "option --script needs a value" },
    { { "--size", "8", "8" }, "--size needs a width and a height" },
    { { "--up", "Z" }, "unknown up direction 'Z' (+X, -X, +Y, -Y, +Z or -Z)" },
    { { "--colormap", "jet" }, "unknown colour map 'jet' (rainbow, viridis" },
    { { "--range", "1", "nan" }, range },
    { { "--range", "2", "2" }, range },
    { { "--range", "1" }, "option --range needs a value" },
    { { "--screenshot", "x.bmp" }, "--screenshot writes .png or .jpg/.jpeg" },
    { { "--array", "cell:" }, "--array needs an array name" },
    { { "--elevation", "--array", "t" }, "--elevation and --array both" },
    { { "--screenshot-with-band", "x.png" },
      "--screenshot-with-band is an option of orvi-qt, not of orvi-viewer (see --help)" },
  };
  for (const auto& [args, message] : options)
  {
    orvi::ViewerOptions parsed;
    std::string error;
    EXPECT_FALSE(Parse(args, parsed, error));
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
  // orvi-qt refuses orvi-viewer's own options in the same words.
  for (const char* option : { "--screenshot", "--script", "--out" })
  {
    orvi::ViewerOptions parsed;
    std::string error;
    EXPECT_FALSE(Parse({ option, "x.png" }, parsed, error, orvi::Host::Qt));
    EXPECT_EQ(
      error, option + std::string(" is an option of orvi-viewer, not of orvi-qt (see --help)"));
  }
}

} // namespace
