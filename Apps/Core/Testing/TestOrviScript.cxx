// Scripts replayed on the viewer through the mouse events a hand produces:
// every convention, the snapshots taken with a button held, and the lines
// refused.
#include "orviViewerTestUtils.h"

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

//==============================================================================
// Every convention replays one script: each gesture it has moves the view,
// the 3D mouse too; what it has none for is reported and skipped.
TEST(OrviScript, ScriptsPlayInEveryConvention)
{
  const fs::path dir = TestDir();
  for (const std::string nav : { "mervo", "catia", "style-mervo", "style-catia" })
  {
    SCOPED_TRACE(nav);
    std::ostringstream log;
    PlayScript(*OpenViewer({ "--nav", nav }, log),
      dir,
      "screenshot 0\ncentre 320 240\nrotate 100 40\nscreenshot 1\npick 300 220 340 260\n"
      "pan 30 20\ndolly 30\nboxzoom 260 180 380 300\nfly 320 240\nscreenshot 2\n"
      "tdx 0 0 0 20 0 1 0\nscreenshot 3\ntdx 0 0 -60 0 0 0 0\nscreenshot 4\n",
      log);
    const std::string out = log.str(), skipped = "' has no gesture in the " + nav + " convention";
    EXPECT_EQ(out.find("line 2: 'centre" + skipped) != std::string::npos, nav != "mervo") << out;
    EXPECT_EQ(out.find("line 8: 'boxzoom" + skipped) != std::string::npos,
      nav.find("catia") != std::string::npos);
    EXPECT_FALSE(std::regex_search(out, std::regex("line [35679]: '"))) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("picked [1-9][0-9]* cells, mesh cell ids")))
      << out;
    const auto shot = [&](int k) { return ReadPng(dir / (std::to_string(k) + ".png")); };
    for (int i = 1; i < 5; ++i)
    {
      EXPECT_GT(FractionDiffering(shot(i - 1), shot(i)), i < 3 ? 0.10 : 0.05) << i;
    }
  }
}

//==============================================================================
// Mervo: while the box-zoom button is held the band is drawn into the
// pixels, on the rectangle's outline only; the zoom then brings the picked
// patch in its middle to the window's centre, larger. (The rotation marker
// both hosts show while rotating: OrviQt.RotationMarkerShowsInsideTheModel.)
TEST(OrviScript, BoxZoomBandIsSeenAndZooms)
{
  const fs::path dir = TestDir();
  std::ostringstream log;
  // Smoothed frames (FXAA): the band, drawn into the pixels of the frame,
  // is all that changes.
  PlayScript(*OpenViewer({}, log),
    dir,
    "pick 305 225 335 255\nscreenshot before\nboxzoom 260 180 380 300 snap band\nscreenshot "
    "after\n",
    log);
  const Image before = ReadPng(dir / "before.png"), band = ReadPng(dir / "band.png");
  const Image after = ReadPng(dir / "after.png");
  const Region outline = Find(band, ChangedFrom(before));
  EXPECT_GT(outline.Count, 400); // a one-pixel outline is 480 pixels
  EXPECT_EQ(Find(band, ChangedFrom(before), { 263, 183, 377, 297 }).Count, 0);
  EXPECT_TRUE(outline.X0 == 260 && outline.X1 == 380 && outline.Y0 == 180 && outline.Y1 == 300);
  const Region small = Find(before, Magenta), large = Find(after, Magenta);
  EXPECT_GT(large.Count, 6 * small.Count) << small.Count << " -> " << large.Count;
  EXPECT_LT(std::hypot(large.X - 320, large.Y - 240), 60.0);
}

//==============================================================================
// Malformed script lines are refused with a message naming the file, the
// line and the problem.
TEST(OrviScript, MalformedLinesAreRefused)
{
  const fs::path dir = TestDir();
  const std::string script = (dir / "script.txt").string();
  const std::string noFileName = "'screenshot' needs a file name (without directories)";
  const std::pair<std::string, std::string> lines[] = {
    { "spin 10 20", "unknown action 'spin'" },
    { "rotate 10", "'rotate' needs 2 numbers" },
    { "pan 10 abc", "'abc' is not a number" },
    { "dolly nan", "'nan' is not a number" },
    { "fly 10 20 30", "unexpected '30'" },
    { "pick 1 2 3 4 snap x", "unexpected 'snap'" },
    { "rotate 10 20 snap", "unexpected 'snap' (only 'snap NAME' may follow)" },
    { "rotate 10 20 snap a b", "unexpected 'b'" },
    { "screenshot", noFileName },
    { "screenshot ../up", noFileName },
    { "rotate 1e300 0", "'1e300' is out of range" },
    { "key rr", "'key' needs one character" },
  };
  for (const auto& [line, message] : lines)
  {
    std::ofstream(script) << "screenshot first\n# a comment, then a blank line\n\n" << line << "\n";
    std::vector<orvi::ScriptAction> actions;
    std::string error;
    EXPECT_FALSE(orvi::ParseScript(script, actions, error)) << line;
    EXPECT_NE(error.find(script + " line 4: " + message), std::string::npos) << error;
  }
}

} // namespace
