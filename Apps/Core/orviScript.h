// Scripted sessions for orvi-viewer: each action becomes the mouse events a
// person's hand would produce under the chosen convention, fed to the
// viewer's interactor.
#ifndef orviScript_h
#define orviScript_h

#include <ostream>
#include <string>
#include <vector>

namespace orvi
{

class Viewer;

struct ScriptAction
{
  std::string Verb;
  std::vector<double> Numbers;
  std::string Name; // screenshot NAME, or the NAME of "snap NAME"
  int Line = 0;
};

/// Reads a script. On a malformed line returns false with an error naming
/// the file, the line and the problem.
bool ParseScript(const std::string& path, std::vector<ScriptAction>& actions, std::string& error);

/// Whether the script's screenshots can go to outDir: false with an error
/// naming it when it does not exist or is not a directory.
bool CheckOutputDirectory(const std::string& outDir, std::string& error);

/// Replays the actions. Screenshots go to outDir. Actions that the
/// convention has no gesture for are reported and skipped.
bool RunScript(Viewer& viewer,
  const std::vector<ScriptAction>& actions,
  const std::string& outDir,
  std::ostream& log,
  std::string& error);

} // namespace orvi

#endif
