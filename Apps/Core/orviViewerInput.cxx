// orvi-viewer's input: the navigation style, the buttons the host maps for
// the two navigators (through the table of orviButtonBindings.h) and the
// viewer's own keys.
#include "orviButtonBindings.h"
#include "orviViewer.h"

#include "vtkCatiaInteractor.h"
#include "vtkInteractorStyleCATIA.h"
#include "vtkInteractorStyleMervo.h"
#include "vtkMervoInteractor.h"
#include "vtkSimpleRenderWindowInteractor.h"

#include "vtkCallbackCommand.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"

#include <algorithm>
#include <iterator>

namespace orvi
{

namespace
{
struct ButtonEvent
{
  unsigned long Event;
  Button Which;
  bool Release;
};

constexpr ButtonEvent ButtonEvents[] = {
  { vtkCommand::LeftButtonPressEvent, Button::Left, false },
  { vtkCommand::LeftButtonReleaseEvent, Button::Left, true },
  { vtkCommand::MiddleButtonPressEvent, Button::Middle, false },
  { vtkCommand::MiddleButtonReleaseEvent, Button::Middle, true },
  { vtkCommand::RightButtonPressEvent, Button::Right, false },
  { vtkCommand::RightButtonReleaseEvent, Button::Right, true },
};
} // namespace

//------------------------------------------------------------------------------
void Viewer::SetupNavigation()
{
  this->ButtonCommand->SetClientData(this);
  this->ButtonCommand->SetCallback(&Viewer::ButtonCallback);
  this->InstallStyle();

  // Every convention's pick gesture ends in these two events.
  this->PickCommand->SetClientData(this);
  this->PickCommand->SetCallback(&Viewer::PickCallback);
  this->Interactor->AddObserver(vtkCommand::StartPickEvent, this->PickCommand);
  this->Interactor->AddObserver(vtkCommand::EndPickEvent, this->PickCommand);

  // The viewer's own keys, the same in every convention, come before the
  // style's.
  this->KeyCommand->SetClientData(this);
  this->KeyCommand->SetCallback(&Viewer::KeyCallback);
  this->Interactor->AddObserver(vtkCommand::CharEvent, this->KeyCommand, 1.0f);
  // The step keys have no character: they come as key presses.
  this->Interactor->AddObserver(vtkCommand::KeyPressEvent, this->KeyCommand, 1.0f);
  this->Interactor->Initialize();
}

//------------------------------------------------------------------------------
void Viewer::SetNavigation(Navigation nav)
{
  this->Options.Nav = nav;
  this->Interactor->RemoveObserver(this->ButtonCommand);
  this->InstallStyle();
}

//------------------------------------------------------------------------------
// The style of the current convention on the interactor, and for the two
// navigators the viewer's button observers.
void Viewer::InstallStyle()
{
  this->Current = nullptr;
  std::fill(std::begin(this->ButtonDown), std::end(this->ButtonDown), false);
  vtkSmartPointer<vtkInteractorStyle>& style = this->Styles[static_cast<int>(this->Options.Nav)];
  if (!style)
  {
    switch (this->Options.Nav)
    {
      case Navigation::Mervo:
      {
        style = vtkSmartPointer<vtkMervoInteractor>::New();
        break;
      }
      case Navigation::Catia:
      {
        style = vtkSmartPointer<vtkCatiaInteractor>::New();
        break;
      }
      case Navigation::StyleMervo:
      {
        style = vtkSmartPointer<vtkInteractorStyleMervo>::New();
        break;
      }
      case Navigation::StyleCatia:
      {
        style = vtkSmartPointer<vtkInteractorStyleCATIA>::New();
        break;
      }
    }
  }
  this->Style = style;
  this->Mervo = vtkMervoInteractor::SafeDownCast(style);
  this->Catia = vtkCatiaInteractor::SafeDownCast(style);
  if (this->Mervo && this->MarkerScale > 0.0)
  {
    this->Mervo->SetRotationMarkerScale(this->MarkerScale);
  }
  this->Interactor->SetInteractorStyle(this->Style);

  // The navigators leave the buttons to the host: the viewer maps them onto
  // interaction states. Its observers come before the style's.
  if (this->Mervo || this->Catia)
  {
    for (const ButtonEvent& e : ButtonEvents)
    {
      this->Interactor->AddObserver(e.Event, this->ButtonCommand, 1.0f);
    }
  }
}

//------------------------------------------------------------------------------
void Viewer::ButtonCallback(vtkObject*, unsigned long event, void* clientData, void*)
{
  static_cast<Viewer*>(clientData)->HandleButton(event);
}

//------------------------------------------------------------------------------
// A button event selects a binding of the table: a press with no action
// under way starts one; a binding chorded on a held button (CATIA's left
// press or release with the middle button down) replaces the action under
// way; the release of a button of the action under way ends it, as a click
// when the pointer did not move.
void Viewer::HandleButton(unsigned long event)
{
  const ButtonEvent* e = nullptr;
  for (const ButtonEvent& candidate : ButtonEvents)
  {
    if (candidate.Event == event)
    {
      e = &candidate;
    }
  }
  if (!e)
  {
    return;
  }
  this->ButtonDown[static_cast<int>(e->Which)] = !e->Release;
  const ButtonBinding* binding = FindBinding(this->Options.Nav,
    e->Which,
    e->Release,
    this->Interactor->GetControlKey() != 0,
    this->Interactor->GetShiftKey() != 0,
    this->ButtonDown);
  const bool chord = binding && binding->Held != Button::None;
  if (binding && (chord ? this->Current != nullptr : this->Current == nullptr))
  {
    if (this->Current)
    {
      this->EndAction(false);
    }
    this->Current = binding;
    this->StartAction();
  }
  else if (e->Release && this->Current &&
    (e->Which == this->Current->Trigger || e->Which == this->Current->Held))
  {
    this->EndAction(true);
    this->Current = nullptr;
  }
}

//------------------------------------------------------------------------------
// The binding's own steps drive the navigator (the table of
// orviButtonBindings.cxx).
void Viewer::StartAction()
{
  const int* pos = this->Interactor->GetEventPosition();
  if (this->Current->Steps.Start)
  {
    this->Current->Steps.Start(this->Style, pos[0], pos[1]);
  }
}

//------------------------------------------------------------------------------
// Ends the action under way; `released`: its last button went up, and an
// action whose pointer did not move does the binding's click.
void Viewer::EndAction(bool released)
{
  if (this->Current->Steps.End &&
    this->Current->Steps.End(this->Style, released, this->Current->Click) == Action::Centre &&
    this->Mervo)
  {
    this->Mervo->FindRotationCenter();
    const double* c = this->Mervo->GetRotationCenter();
    this->Log << "rotation centre " << c[0] << " " << c[1] << " " << c[2] << "\n";
    this->Render();
  }
}

//------------------------------------------------------------------------------
void Viewer::SendKey(char key)
{
  const char keySym[2] = { key, '\0' };
  this->Interactor->SetKeyEventInformation(0, 0, key, 1, keySym);
  this->Interactor->KeyPressEvent();
  this->Interactor->CharEvent();
  this->Interactor->KeyReleaseEvent();
}

//------------------------------------------------------------------------------
// The keys the viewer answers in every convention; the others go to the
// style (VTK's own keys with the CATIA-like conventions, none with the Mervo
// ones).
bool Viewer::HandleKey(char key)
{
  constexpr double SectionStep = 0.02; // of the model's size
  constexpr double SectionTurn = 15.0; // degrees
  switch (key)
  {
    case 'r':
    case 'R':
    {
      this->ResetView();
      this->Render();
      return true;
    }
    case 'w':
    case 'W':
    case 's':
    case 'S':
    {
      this->SetWireframe(key == 'w' || key == 'W');
      this->Render();
      return true;
    }
    case 'c':
    case 'C':
    {
      this->NextArrayComponent();
      return true;
    }
    case '+':
    case '=':
    case '-':
    {
      this->ScaleWarp(key == '-' ? 0.5 : 2.0);
      return true;
    }
    case 'o':
    case 'O':
    {
      this->SetUndeformedShown(!this->Options.Undeformed);
      return true;
    }
    case 'x':
    case 'X':
    {
      this->NextSectionMode();
      return true;
    }
    case ']':
    case '[':
    {
      this->MoveSection(key == ']' ? SectionStep : -SectionStep);
      return true;
    }
    case '.':
    case ',':
    {
      this->TurnSection(key == '.' ? SectionTurn : -SectionTurn);
      return true;
    }
    case 'q':
    case 'Q':
    case 'e':
    case 'E':
    {
      this->Interactor->ExitCallback();
      return true;
    }
    default:
    {
      return false;
    }
  }
}

void Viewer::KeyCallback(vtkObject*, unsigned long event, void* clientData, void*)
{
  auto* viewer = static_cast<Viewer*>(clientData);
  vtkRenderWindowInteractor* iren = viewer->Interactor;
  // A key answered here does not reach the style.
  const bool answered = event == vtkCommand::KeyPressEvent
    ? iren->GetKeySym() && viewer->HandleStepKey(iren->GetKeySym())
    : viewer->HandleKey(iren->GetKeyCode());
  viewer->KeyCommand->SetAbortFlag(answered ? 1 : 0);
}

} // namespace orvi
