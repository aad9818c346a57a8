#include "orviButtonBindings.h"

#include "vtkCatiaInteractor.h"
#include "vtkMervoInteractor.h"

#include "vtkActor.h"

namespace orvi
{

namespace
{
constexpr Button L = Button::Left, M = Button::Middle, R = Button::Right, No = Button::None;
constexpr bool Press = false, Release = true;

//------------------------------------------------------------------------------
// What the bindings do with the navigators. A Mervo action clears the
// navigator's motion count as it starts; at its end a release without motion
// is the binding's click: a flight is done here, a new rotation centre is
// left to the host, which reports it.
vtkMervoInteractor* BeginMervo(vtkInteractorStyle* style)
{
  auto* nav = static_cast<vtkMervoInteractor*>(style);
  nav->ClearMoved();
  return nav;
}

Action EndMervo(vtkInteractorStyle* style,
  bool released,
  Action click,
  void (*finish)(vtkMervoInteractor* nav))
{
  auto* nav = static_cast<vtkMervoInteractor*>(style);
  const bool clicked = released && !nav->HasMoved();
  finish(nav);
  if (clicked && click == Action::Fly)
  {
    nav->Fly();
  }
  return clicked && click == Action::Centre ? Action::Centre : Action::None;
}

void ShowMarker(vtkMervoInteractor* nav, bool shown)
{
  if (vtkActor* marker = nav->GetRotationPointActor())
  {
    marker->SetVisibility(shown);
  }
}

vtkCatiaInteractor* AsCatia(vtkInteractorStyle* style)
{
  return static_cast<vtkCatiaInteractor*>(style);
}

const NavigatorSteps MervoRotate = { [](vtkInteractorStyle* style, int x, int y)
  {
    vtkMervoInteractor* nav = BeginMervo(style);
    nav->FindPokedRenderer(x, y); // also prepares the marker
    nav->StartRotate();
    ShowMarker(nav, true);
  },
  [](vtkInteractorStyle* style, bool released, Action click)
  {
    return EndMervo(style,
      released,
      click,
      [](vtkMervoInteractor* nav)
      {
        ShowMarker(nav, false);
        nav->EndRotate();
      });
  } };

// A Mervo drag that starts in the renderer under the pointer.
template <void (vtkInteractorStyle::*Start)(), void (vtkInteractorStyle::*End)()>
NavigatorSteps MervoDrag()
{
  return { [](vtkInteractorStyle* style, int x, int y)
    {
      vtkMervoInteractor* nav = BeginMervo(style);
      nav->FindPokedRenderer(x, y);
      (nav->*Start)();
    },
    [](vtkInteractorStyle* style, bool released, Action click)
    { return EndMervo(style, released, click, [](vtkMervoInteractor* nav) { (nav->*End)(); }); } };
}

const NavigatorSteps MervoPan =
  MervoDrag<&vtkInteractorStyle::StartPan, &vtkInteractorStyle::EndPan>();
const NavigatorSteps MervoDolly =
  MervoDrag<&vtkInteractorStyle::StartDolly, &vtkInteractorStyle::EndDolly>();

const NavigatorSteps MervoBoxZoom = { [](vtkInteractorStyle* style, int, int)
  { BeginMervo(style)->StartBoxZoom(); },
  [](vtkInteractorStyle* style, bool released, Action click)
  {
    return EndMervo(style,
      released,
      click,
      [](vtkMervoInteractor* nav)
      {
        if (nav->IsStateBoxZoom() && nav->HasMoved())
        {
          nav->BoxZoom();
        }
        nav->EndBoxZoom();
      });
  } };

const NavigatorSteps MervoPick = { [](vtkInteractorStyle* style, int, int)
  { BeginMervo(style)->StartPick(); },
  [](vtkInteractorStyle* style, bool released, Action click)
  { return EndMervo(style, released, click, [](vtkMervoInteractor* nav) { nav->EndPick(); }); } };

// CATIA's pan: a click (the pointer did not move, or moved without
// panning) flies to the point under the pointer.
const NavigatorSteps CatiaPan = { [](vtkInteractorStyle* style, int x, int y)
  {
    vtkCatiaInteractor* nav = AsCatia(style);
    nav->FindPokedRenderer(x, y);
    nav->ClearMoved();
    nav->ClearPanned();
    nav->StartPan();
  },
  [](vtkInteractorStyle* style, bool released, Action click)
  {
    vtkCatiaInteractor* nav = AsCatia(style);
    if (released && click == Action::Fly && (!nav->HasPanned() || !nav->HasMoved()))
    {
      nav->Fly();
    }
    nav->EndPan();
    return Action::None;
  } };

// CATIA's rotation spins about the view axis when it starts near the
// window's edge.
const NavigatorSteps CatiaRotate = { [](vtkInteractorStyle* style, int, int)
  {
    vtkCatiaInteractor* nav = AsCatia(style);
    if (nav->IsSpinning())
    {
      nav->StartSpin();
    }
    else
    {
      nav->StartRotate();
    }
  },
  [](vtkInteractorStyle* style, bool, Action)
  {
    vtkCatiaInteractor* nav = AsCatia(style);
    if (nav->IsStateSpin())
    {
      nav->EndSpin();
    }
    else
    {
      nav->EndRotate();
    }
    return Action::None;
  } };

const NavigatorSteps CatiaDolly = { [](vtkInteractorStyle* style, int, int)
  { AsCatia(style)->StartDolly(); },
  [](vtkInteractorStyle* style, bool, Action)
  {
    AsCatia(style)->EndDolly();
    return Action::None;
  } };

const NavigatorSteps CatiaPick = { [](vtkInteractorStyle* style, int x, int y)
  {
    AsCatia(style)->SetStartPosition(x, y);
    AsCatia(style)->StartPick();
  },
  [](vtkInteractorStyle* style, bool, Action)
  {
    AsCatia(style)->EndPick();
    return Action::None;
  } };

// clang-format off
const ButtonBinding Bindings[] = {
  // Trigger   OnRelease Held Ctrl   Shift  Drag              Click          Steps
  // Mervo, mapped by the viewer: left rotates (a click sets the centre),
  // middle pans (Shift: dollies; a click flies), right box zooms (Ctrl: picks).
  { Navigation::Mervo, L, Press, No, false, false, Action::Rotate, Action::Centre, MervoRotate },
  { Navigation::Mervo, M, Press, No, false, false, Action::Pan, Action::Fly, MervoPan },
  { Navigation::Mervo, M, Press, No, false, true, Action::Dolly, Action::Fly, MervoDolly },
  { Navigation::Mervo, R, Press, No, false, false, Action::BoxZoom, Action::None, MervoBoxZoom },
  { Navigation::Mervo, R, Press, No, true, false, Action::Pick, Action::None, MervoPick },
  // CATIA, mapped by the viewer: middle pans (a click flies); with middle
  // held a left press rotates and its release dollies; right picks.
  { Navigation::Catia, M, Press, No, false, false, Action::Pan, Action::Fly, CatiaPan },
  { Navigation::Catia, L, Press, M, false, false, Action::Rotate, Action::None, CatiaRotate },
  { Navigation::Catia, L, Release, M, false, false, Action::Dolly, Action::None, CatiaDolly },
  { Navigation::Catia, R, Press, No, false, false, Action::Pick, Action::None, CatiaPick },
  // The standalone styles map buttons themselves; their gestures, for scripts.
  { Navigation::StyleMervo, M, Press, No, false, false, Action::Rotate, Action::Fly, {} },
  { Navigation::StyleMervo, M, Press, No, true, false, Action::Pan, Action::None, {} },
  { Navigation::StyleMervo, M, Press, No, false, true, Action::Dolly, Action::None, {} },
  { Navigation::StyleMervo, R, Press, No, false, false, Action::BoxZoom, Action::None, {} },
  { Navigation::StyleMervo, L, Press, No, false, false, Action::Pick, Action::None, {} },
  { Navigation::StyleCatia, M, Press, No, false, false, Action::Pan, Action::Fly, {} },
  { Navigation::StyleCatia, L, Press, M, false, false, Action::Rotate, Action::None, {} },
  { Navigation::StyleCatia, L, Release, M, false, false, Action::Dolly, Action::None, {} },
  { Navigation::StyleCatia, L, Press, No, false, false, Action::Pick, Action::None, {} },
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
