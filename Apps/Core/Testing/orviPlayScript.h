// The viewer's tests replay sessions as orvi-viewer --script does.
#ifndef orviPlayScript_h
#define orviPlayScript_h

#include "orviScript.h"
#include "orviViewer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace orvi_test
{

/// Replays `script` (the text of a script file) on the viewer, its
/// screenshots into dir.
inline void PlayScript(orvi::Viewer& viewer,
  const std::filesystem::path& dir,
  const std::string& script,
  std::ostream& log)
{
  std::ofstream(dir / "script.txt", std::ios::binary) << script;
  std::vector<orvi::ScriptAction> actions;
  std::string error;
  EXPECT_TRUE(orvi::ParseScript((dir / "script.txt").string(), actions, error)) << error;
  EXPECT_TRUE(orvi::RunScript(viewer, actions, dir.string(), log, error)) << error;
}

} // namespace orvi_test

#endif
