// The mouse buttons of orvi-viewer's four conventions, in one table: the
// viewer's live dispatch reads it for the two navigators (whose buttons the
// host maps, each binding carrying what it does with the navigator), and the
// script player reads it for all four to press what a hand would.
#ifndef orviButtonBindings_h
#define orviButtonBindings_h

#include "orviViewerOptions.h"

#include <optional>
#include <string>
#include <vector>

class vtkInteractorStyle;

namespace orvi
{

enum class Button
{
  None,
  Left,
  Middle,
  Right
};

enum class Action
{
  None,
  Rotate,
  Pan,
  Dolly,
  BoxZoom,
  Pick,
  Fly,   // to the point under the pointer
  Centre // make the point under the pointer the rotation centre
};

/// What a binding does with the navigator the viewer drives (a
/// vtkMervoInteractor or vtkCatiaInteractor, by the binding's convention):
/// Start when the trigger fires, at the event's position; End when its
/// buttons go up (`released`) or a chorded binding takes over. End does the
/// binding's click when the pointer did not move, and returns the part of it
/// left to the host: Action::Centre (the host reports the new centre), or
/// Action::None. The standalone styles map their buttons themselves: none.
struct NavigatorSteps
{
  void (*Start)(vtkInteractorStyle* navigator, int x, int y);
  Action (*End)(vtkInteractorStyle* navigator, bool released, Action click);
};

/// One binding: pressing (or releasing) Trigger, with Held down and the
/// modifiers pressed, starts Drag; pressing and releasing it without motion
/// does Click.
struct ButtonBinding
{
  Navigation Nav;
  Button Trigger;
  bool OnRelease; // the trigger is the release of a button pressed after Held
  Button Held;
  bool Ctrl;
  bool Shift;
  Action Drag;
  Action Click;
  NavigatorSteps Steps; // {} for the standalone styles
};

/// The binding a button event selects: the most specific one whose held
/// button is down and whose modifiers are pressed; null for none.
const ButtonBinding* FindBinding(Navigation nav,
  Button button,
  bool release,
  bool ctrl,
  bool shift,
  bool heldDown[4]);

/// The action a script verb names ("centre" and "center" alike), or
/// Action::None.
Action ActionOfVerb(const std::string& verb);

/// The convention's bindings for a person to read, for instance "left:
/// rotate (click: centre), Shift+middle: dolly (click: fly), middle+left
/// release: dolly".
std::string DescribeBindings(Navigation nav);

/// How a hand performs an action under a convention: buttons pressed (and
/// released) before the drag, released after it, and the modifiers held;
/// nothing when the convention has no gesture for it.
struct Gesture
{
  struct Step
  {
    bool Press;
    Button Which;
  };
  std::vector<Step> Before;
  std::vector<Step> After;
  bool Ctrl = false;
  bool Shift = false;
};
std::optional<Gesture> GestureFor(Navigation nav, Action action);

} // namespace orvi

#endif
