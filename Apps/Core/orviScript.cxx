#include "orviScript.h"

#include "orviButtonBindings.h"
#include "orviViewer.h"

#include "vtkCommand.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace orvi
{

namespace
{
struct Signature
{
  size_t Numbers;
  bool Snap; // accepts "snap NAME"
};

const std::map<std::string, Signature>& Signatures()
{
  static const std::map<std::string, Signature> table = { { "rotate", { 2, true } },
    { "pan", { 2, true } },
    { "dolly", { 1, true } },
    { "boxzoom", { 4, true } },
    { "pick", { 4, false } },
    { "fly", { 2, false } },
    { "centre", { 2, false } },
    { "center", { 2, false } },
    { "tdx", { 7, false } },
    { "key", { 0, false } },
    { "step", { 0, false } },
    { "array", { 0, false } },
    { "warp", { 0, false } },
    { "section", { 0, false } },
    { "screenshot", { 0, false } } };
  return table;
}

constexpr double MaxMagnitude = 1.0e6;

// The keys without a character a script can type, by their X11 names.
bool IsKeyName(const std::string& name)
{
  return name == "Right" || name == "Left" || name == "Home" || name == "End";
}

// "step WHERE": next, previous, first and last move as their keys do; a
// number from 1 is kept in numbers.
bool ParseStep(const std::string& where, std::vector<double>& numbers)
{
  if (where == "next" || where == "previous" || where == "first" || where == "last")
  {
    return true;
  }
  char* end = nullptr;
  const long number = std::strtol(where.c_str(), &end, 10);
  if (where.empty() || *end != '\0' || number < 1 || number > 1000000000L)
  {
    return false;
  }
  numbers.push_back(static_cast<double>(number));
  return true;
}

// Shows the step a "step" action names: a number through the viewer, a
// move through the key that makes it.
bool ShowStep(Viewer& viewer,
  const std::string& where,
  const std::vector<double>& numbers,
  std::string& error)
{
  if (!numbers.empty())
  {
    return viewer.ShowStep(static_cast<std::size_t>(numbers[0]) - 1, error);
  }
  const char* key = where == "next" ? "Right"
    : where == "previous"           ? "Left"
    : where == "first"              ? "Home"
                                    : "End";
  viewer.SendKey(std::string(key));
  return true;
}

bool ValidName(const std::string& name)
{
  return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

void Fire(vtkRenderWindowInteractor* iren, const Gesture::Step& step)
{
  switch (step.Which)
  {
    case Button::Left:
    {
      step.Press ? iren->LeftButtonPressEvent() : iren->LeftButtonReleaseEvent();
      break;
    }
    case Button::Middle:
    {
      step.Press ? iren->MiddleButtonPressEvent() : iren->MiddleButtonReleaseEvent();
      break;
    }
    case Button::Right:
    {
      step.Press ? iren->RightButtonPressEvent() : iren->RightButtonReleaseEvent();
      break;
    }
    case Button::None:
    {
      break;
    }
  }
}

// Press at `from`, move in ten steps to `to` (none for a click), optionally
// take a screenshot with the buttons still held, release at `to`.
bool Perform(Viewer& viewer,
  const Gesture& g,
  const int from[2],
  const int to[2],
  const std::string& snapPath,
  std::string& error)
{
  vtkRenderWindowInteractor* iren = viewer.GetInteractor();
  const int ctrl = g.Ctrl ? 1 : 0, shift = g.Shift ? 1 : 0;
  iren->SetEventInformation(from[0], from[1], ctrl, shift);
  for (const Gesture::Step& s : g.Before)
  {
    Fire(iren, s);
  }
  const bool click = from[0] == to[0] && from[1] == to[1];
  constexpr int steps = 10;
  for (int i = 1; !click && i <= steps; ++i)
  {
    const int x = from[0] + (to[0] - from[0]) * i / steps;
    const int y = from[1] + (to[1] - from[1]) * i / steps;
    iren->SetEventInformation(x, y, ctrl, shift);
    iren->MouseMoveEvent();
  }
  if (!snapPath.empty() && !viewer.Screenshot(snapPath, false, error))
  {
    return false;
  }
  iren->SetEventInformation(to[0], to[1], ctrl, shift);
  for (const Gesture::Step& s : g.After)
  {
    Fire(iren, s);
  }
  return true;
}
} // namespace

//------------------------------------------------------------------------------
bool ParseScript(const std::string& path, std::vector<ScriptAction>& actions, std::string& error)
{
  std::ifstream in(path);
  if (!in)
  {
    error = "cannot open script '" + path + "'";
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line))
  {
    ++number;
    std::istringstream words(line);
    ScriptAction action;
    action.Line = number;
    if (!(words >> action.Verb) || action.Verb[0] == '#')
    {
      continue;
    }
    const std::string where = path + " line " + std::to_string(number) + ": ";
    const auto found = Signatures().find(action.Verb);
    if (found == Signatures().end())
    {
      error = where + "unknown action '" + action.Verb + "'";
      return false;
    }
    const Signature sig = found->second;
    std::string word;
    while (action.Numbers.size() < sig.Numbers && words >> word)
    {
      char* end = nullptr;
      const double value = std::strtod(word.c_str(), &end);
      if (*end != '\0' || !std::isfinite(value))
      {
        error = where + "'" + word + "' is not a number";
        return false;
      }
      // Pixel positions become ints and 3D-mouse values camera motion:
      // beyond this bound neither means anything but overflow.
      if (std::abs(value) > MaxMagnitude)
      {
        error = where + "'" + word + "' is out of range (at most 1000000 in magnitude)";
        return false;
      }
      action.Numbers.push_back(value);
    }
    if (action.Numbers.size() != sig.Numbers)
    {
      error = where + "'" + action.Verb + "' needs " + std::to_string(sig.Numbers) + " numbers";
      return false;
    }
    if (action.Verb == "screenshot")
    {
      if (!(words >> action.Name) || !ValidName(action.Name))
      {
        error = where + "'screenshot' needs a file name (without directories)";
        return false;
      }
    }
    else if (action.Verb == "key")
    {
      if (!(words >> action.Name) || (action.Name.size() != 1 && !IsKeyName(action.Name)))
      {
        error = where + "'key' needs one character or Right, Left, Home or End";
        return false;
      }
    }
    else if (action.Verb == "step")
    {
      if (!(words >> action.Name) || !ParseStep(action.Name, action.Numbers))
      {
        error = where + "'step' needs next, previous, first, last or a step number from 1";
        return false;
      }
    }
    else if (action.Verb == "array")
    {
      if (!(words >> action.Name))
      {
        error = where +
          "'array' needs an array (NAME, point:NAME or cell:NAME, then optionally "
          ":COMPONENT)";
        return false;
      }
    }
    else if (action.Verb == "warp")
    {
      if (!(words >> action.Name))
      {
        error = where + "'warp' needs a point array of 3 components, or off";
        return false;
      }
      if (words >> word && word != "auto")
      {
        char* end = nullptr;
        const double scale = std::strtod(word.c_str(), &end);
        if (*end != '\0' || !std::isfinite(scale))
        {
          error = where + "'warp " + action.Name + "' takes a scale or auto, not '" + word + "'";
          return false;
        }
        action.Numbers.push_back(scale);
      }
    }
    else if (action.Verb == "section")
    {
      SectionMode mode = SectionMode::Off;
      std::string refused;
      if (!(words >> action.Name) || !ParseSectionMode(action.Name, mode, refused))
      {
        error = where + "'section' needs cut, cells or off" +
          (refused.empty() ? std::string() : " (" + refused + ")");
        return false;
      }
      double value = 0.0;
      while (words >> value)
      {
        action.Numbers.push_back(value);
      }
      if (!words.eof() || (action.Numbers.size() != 0 && action.Numbers.size() != 6))
      {
        error = where + "'section " + action.Name +
          "' takes an origin and a normal (six numbers) or nothing";
        return false;
      }
    }
    else if (words >> word)
    {
      if (!sig.Snap || word != "snap" || !(words >> action.Name) || !ValidName(action.Name))
      {
        error =
          where + "unexpected '" + word + "'" + (sig.Snap ? " (only 'snap NAME' may follow)" : "");
        return false;
      }
    }
    if (words >> word)
    {
      error = where + "unexpected '" + word + "'";
      return false;
    }
    actions.push_back(action);
  }
  return true;
}

//------------------------------------------------------------------------------
bool CheckOutputDirectory(const std::string& outDir, std::string& error)
{
  std::error_code ignored;
  if (!std::filesystem::is_directory(outDir, ignored))
  {
    error = "--out names no directory: '" + outDir + "' " +
      (std::filesystem::exists(outDir, ignored) ? "is not a directory" : "does not exist");
    return false;
  }
  return true;
}

//------------------------------------------------------------------------------
bool RunScript(Viewer& viewer,
  const std::vector<ScriptAction>& actions,
  const std::string& outDir,
  std::ostream& log,
  std::string& error)
{
  if (!CheckOutputDirectory(outDir, error))
  {
    return false;
  }
  const int* size = viewer.GetWindow()->GetSize();
  const int centre[2] = { size[0] / 2, size[1] / 2 };
  viewer.Render();
  for (const ScriptAction& a : actions)
  {
    const auto& n = a.Numbers;
    const auto px = [](double v) { return static_cast<int>(std::lround(v)); };
    if (a.Verb == "key")
    {
      log << "> key " << a.Name << "\n";
      a.Name.size() == 1 ? viewer.SendKey(a.Name[0]) : viewer.SendKey(a.Name);
      continue;
    }
    if (a.Verb == "step")
    {
      log << "> step " << a.Name << "\n";
      if (!ShowStep(viewer, a.Name, n, error))
      {
        return false;
      }
      continue;
    }
    if (a.Verb == "array")
    {
      log << "> array " << a.Name << "\n";
      std::string refused;
      if (!viewer.SetArray(a.Name, refused))
      {
        log << "  line " << a.Line << ": " << refused << "; the colouring stays\n";
      }
      continue;
    }
    if (a.Verb == "warp")
    {
      log << "> warp " << a.Name;
      for (double v : n)
      {
        log << " " << v;
      }
      log << "\n";
      std::string refused;
      if (!viewer.SetWarp(
            a.Name == "off" ? "" : a.Name, !n.empty(), n.empty() ? 1.0 : n[0], refused))
      {
        log << "  line " << a.Line << ": " << refused << "; the shape stays\n";
      }
      continue;
    }
    if (a.Verb == "section")
    {
      log << "> section " << a.Name;
      for (double v : n)
      {
        log << " " << v;
      }
      log << "\n";
      SectionMode mode = SectionMode::Off;
      std::string refused;
      ParseSectionMode(a.Name, mode, refused); // checked when read
      const bool placed = n.size() == 6;
      if (!viewer.SetSection(mode, placed ? &n[0] : nullptr, placed ? &n[3] : nullptr, refused))
      {
        log << "  line " << a.Line << ": " << refused << "; the section stays\n";
      }
      continue;
    }
    const std::string png = a.Name.empty() ? std::string() : outDir + "/" + a.Name + ".png";
    log << "> " << a.Verb;
    for (double v : n)
    {
      log << " " << v;
    }
    log << "\n";
    if (a.Verb == "screenshot")
    {
      if (!viewer.Screenshot(png, true, error))
      {
        return false;
      }
      continue;
    }
    if (a.Verb == "tdx")
    {
      if (!viewer.SendTDx(n.data(), error))
      {
        return false;
      }
      continue;
    }
    const std::optional<Gesture> gesture = GestureFor(viewer.GetNavigation(), ActionOfVerb(a.Verb));
    if (!gesture)
    {
      log << "  line " << a.Line << ": '" << a.Verb << "' has no gesture in the "
          << NavigationName(viewer.GetNavigation()) << " convention; skipped\n";
      continue;
    }
    int from[2] = { centre[0], centre[1] }, to[2] = { centre[0], centre[1] };
    if (a.Verb == "rotate" || a.Verb == "pan")
    {
      to[0] += px(n[0]);
      to[1] += px(n[1]);
    }
    else if (a.Verb == "dolly")
    {
      to[1] += px(n[0]);
    }
    else if (a.Verb == "boxzoom" || a.Verb == "pick")
    {
      from[0] = px(n[0]);
      from[1] = px(n[1]);
      to[0] = px(n[2]);
      to[1] = px(n[3]);
    }
    else
    {
      from[0] = to[0] = px(n[0]);
      from[1] = to[1] = px(n[1]);
    }
    if (!Perform(viewer, *gesture, from, to, png, error))
    {
      return false;
    }
  }
  return true;
}

} // namespace orvi
