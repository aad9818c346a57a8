#include "orviButtonBindings.h"

namespace orvi
{

namespace
{
constexpr Button L = Button::Left, M = Button::Middle, R = Button::Right, No = Button::None;
constexpr bool Press = false, Release = true;

// clang-format off
const ButtonBinding Bindings[] = {
  // Trigger   OnRelease Held Ctrl   Shift  Drag              Click
  // Mervo, mapped by the viewer: left rotates (a click sets the centre),
  // middle pans (Shift: dollies; a click flies), right box zooms (Ctrl: picks).
  { Navigation::Mervo, L, Press, No, false, false, Action::Rotate, Action::Centre },
  { Navigation::Mervo, M, Press, No, false, false, Action::Pan, Action::Fly },
  { Navigation::Mervo, M, Press, No, false, true, Action::Dolly, Action::Fly },
  { Navigation::Mervo, R, Press, No, false, false, Action::BoxZoom, Action::None },
  { Navigation::Mervo, R, Press, No, true, false, Action::Pick, Action::None },
  // CATIA, mapped by the viewer: middle pans (a click flies); with middle
  // held a left press rotates and its release dollies; right picks.
  { Navigation::Catia, M, Press, No, false, false, Action::Pan, Action::Fly },
  { Navigation::Catia, L, Press, M, false, false, Action::Rotate, Action::None },
  { Navigation::Catia, L, Release, M, false, false, Action::Dolly, Action::None },
  { Navigation::Catia, R, Press, No, false, false, Action::Pick, Action::None },
  // The standalone styles map buttons themselves; their gestures, for scripts.
  { Navigation::StyleMervo, M, Press, No, false, false, Action::Rotate, Action::Fly },
  { Navigation::StyleMervo, M, Press, No, true, false, Action::Pan, Action::None },
  { Navigation::StyleMervo, M, Press, No, false, true, Action::Dolly, Action::None },
  { Navigation::StyleMervo, R, Press, No, false, false, Action::BoxZoom, Action::None },
  { Navigation::StyleMervo, L, Press, No, false, false, Action::Pick, Action::None },
  { Navigation::StyleCatia, M, Press, No, false, false, Action::Pan, Action::Fly },
  { Navigation::StyleCatia, L, Press, M, false, false, Action::Rotate, Action::None },
  { Navigation::StyleCatia, L, Release, M, false, false, Action::Dolly, Action::None },
  { Navigation::StyleCatia, L, Press, No, false, false, Action::Pick, Action::None },
};
// clang-format on
} // namespace

const ButtonBinding* FindBinding(Navigation nav,
  Button button,
  bool release,
  bool ctrl,
  bool shift,
  bool heldDown[4])
{
  const ButtonBinding* best = nullptr;
  int bestScore = -1;
  for (const ButtonBinding& b : Bindings)
  {
    if (b.Nav != nav || b.Trigger != button || b.OnRelease != release || (b.Ctrl && !ctrl) ||
      (b.Shift && !shift) || (b.Held != Button::None && !heldDown[static_cast<int>(b.Held)]))
    {
      continue;
    }
    const int score = (b.Held != Button::None ? 4 : 0) + (b.Ctrl ? 2 : 0) + (b.Shift ? 1 : 0);
    if (score > bestScore)
    {
      best = &b;
      bestScore = score;
    }
  }
  return best;
}

Action ActionOfVerb(const std::string& verb)
{
  const std::pair<const char*, Action> verbs[] = { { "rotate", Action::Rotate },
    { "pan", Action::Pan },
    { "dolly", Action::Dolly },
    { "boxzoom", Action::BoxZoom },
    { "pick", Action::Pick },
    { "fly", Action::Fly },
    { "centre", Action::Centre },
    { "center", Action::Centre } };
  for (const auto& [name, action] : verbs)
  {
    if (verb == name)
    {
      return action;
    }
  }
  return Action::None;
}

std::string DescribeBindings(Navigation nav)
{
  const char* const buttons[] = { "", "left", "middle", "right" };
  const char* const actions[] = {
    "", "rotate", "pan", "dolly", "box zoom", "pick", "fly", "centre"
  };
  std::string text;
  for (const ButtonBinding& b : Bindings)
  {
    if (b.Nav != nav)
    {
      continue;
    }
    text += text.empty() ? "" : ", ";
    text += std::string(b.Ctrl ? "Ctrl+" : "") + (b.Shift ? "Shift+" : "");
    if (b.Held != Button::None)
    {
      text += std::string(buttons[static_cast<int>(b.Held)]) + "+";
    }
    text += std::string(buttons[static_cast<int>(b.Trigger)]) + (b.OnRelease ? " release" : "") +
      ": " + actions[static_cast<int>(b.Drag)];
    if (b.Click != Action::None)
    {
      text += std::string(" (click: ") + actions[static_cast<int>(b.Click)] + ")";
    }
  }
  return text;
}

std::optional<Gesture> GestureFor(Navigation nav, Action action)
{
  for (const ButtonBinding& b : Bindings)
  {
    if (b.Nav != nav || action == Action::None || (b.Drag != action && b.Click != action))
    {
      continue;
    }
    // Press the held button, then the trigger (and release it when the
    // release is the trigger); afterwards release what is still down.
    Gesture g;
    g.Ctrl = b.Ctrl;
    g.Shift = b.Shift;
    if (b.Held != Button::None)
    {
      g.Before.push_back({ true, b.Held });
    }
    g.Before.push_back({ true, b.Trigger });
    if (b.OnRelease)
    {
      g.Before.push_back({ false, b.Trigger });
    }
    else
    {
      g.After.push_back({ false, b.Trigger });
    }
    if (b.Held != Button::None)
    {
      g.After.push_back({ false, b.Held });
    }
    return g;
  }
  return std::nullopt;
}

} // namespace orvi
