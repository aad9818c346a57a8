#include "vtkInteractorStyleMervo.h"

#include "vtkCallbackCommand.h"
#include "vtkCamera.h"
#include "vtkCellPicker.h"
#include "vtkCommand.h"
#include "vtkKivInteractionStates.h"
#include "vtkKivNavigationSetup.h"
#include "vtkKivRubberBand.h"
#include "vtkKivSharedHandlers.h"
#include "vtkObjectFactory.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"
#include "vtkUnsignedCharArray.h"

#include <algorithm>
#include <cstdlib>

vtkStandardNewMacro(vtkInteractorStyleMervo);

//------------------------------------------------------------------------------
vtkInteractorStyleMervo::vtkInteractorStyleMervo()
  : Picker(vtkKivNavigationSetup::MakeFlyPicker())
  , StartPosition{ 0, 0 }
  , EndPosition{ 0, 0 }
  , Moved(0)
  , PixelArray(vtkSmartPointer<vtkUnsignedCharArray>::New())
  , Band(
      std::make_unique<vtkKivRubberBand>(this->StartPosition, this->EndPosition, this->PixelArray))
{
  vtkKivNavigationSetup::InstallTDxStyle(this);
}

//------------------------------------------------------------------------------
vtkInteractorStyleMervo::~vtkInteractorStyleMervo() = default;

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
}

//------------------------------------------------------------------------------
// Keys and timer
//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::OnChar()
{
  vtkKivSharedHandlers::SwallowKey(this);
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::OnKeyDown()
{
  vtkKivSharedHandlers::SwallowKey(this);
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::OnKeyUp()
{
  vtkKivSharedHandlers::SwallowKey(this);
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::OnTimer()
{
  this->TimerId =
    vtkKivSharedHandlers::OnAnimationTimer(this, this->AnimState, this->TimerId, *this->Flight);
}

//------------------------------------------------------------------------------
// Mouse
//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::OnMouseMove()
{
  if (!this->Interactor)
  {
    return;
  }
  const int state = this->State;
  if (vtkKivSharedHandlers::MovesCamera(state))
  {
    PokedRenderer(this);
    vtkKivSharedHandlers::MoveCamera(this);
    ++this->Moved;
    this->InvokeEvent(vtkCommand::InteractionEvent, nullptr);
  }
  else if (state == VTKIS_KIV_BOXZOOM && ++this->Moved >= vtkKivRubberBand::FirstMotion)
  {
    this->RBSelect();
  }
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::OnLeftButtonDown()
{
  // The left button takes no focus: the pick state is only announced.
  if (PokedRenderer(this) && this->State == VTKIS_NONE)
  {
    this->StartPick();
  }
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::OnLeftButtonUp()
{
  if (this->State == VTKIS_KIV_PICK)
  {
    this->EndPick();
  }
  this->Moved = 0;
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::OnMiddleButtonDown()
{
  if (!PokedRenderer(this))
  {
    return;
  }
  this->GrabFocus(this->EventCallbackCommand, nullptr);
  // VTK's Start...() calls act only from state none; Shift wins over Ctrl.
  if (this->Interactor->GetShiftKey())
  {
    this->StartDolly();
  }
  else if (this->Interactor->GetControlKey())
  {
    this->StartPan();
  }
  else
  {
    this->StartRotate();
  }
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::OnMiddleButtonUp()
{
  const int state = this->State;
  if (state == VTKIS_ROTATE)
  {
    // A click flies before the rotation ends.
    if (this->Moved <= vtkKivSharedHandlers::ClickMotions)
    {
      this->Fly();
    }
    this->EndRotate();
  }
  else if (state == VTKIS_PAN)
  {
    this->EndPan();
  }
  else if (state == VTKIS_DOLLY)
  {
    this->EndDolly();
  }
  this->EndPress();
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::OnRightButtonDown()
{
  if (!PokedRenderer(this))
  {
    return;
  }
  this->GrabFocus(this->EventCallbackCommand, nullptr);
  // During a middle-button drag the press only takes the focus.
  if (this->State == VTKIS_NONE)
  {
    this->StartRBZoom();
  }
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::OnRightButtonUp()
{
  // The zoom works in the renderer under the release point.
  vtkRenderer* renderer = PokedRenderer(this);
  if (this->State == VTKIS_KIV_BOXZOOM)
  {
    if (renderer && this->Moved > vtkKivSharedHandlers::ClickMotions)
    {
      this->RBZoom();
    }
    else if (renderer)
    {
      this->Interactor->UserCallback();
    }
    this->EndRBZoom();
  }
  this->EndPress();
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::EndPress()
{
  if (this->Interactor)
  {
    this->ReleaseFocus();
  }
  this->Moved = 0;
}

//------------------------------------------------------------------------------
// Pick and fly
//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::Fly()
{
  vtkKivSharedHandlers::Fly(this, this->AnimState, this->Picker, *this->Flight);
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::StartPick()
{
  vtkKivSharedHandlers::StartPick(this);
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::EndPick()
{
  vtkKivSharedHandlers::EndPick(this);
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::Pick()
{
  if (vtkRenderer* renderer = PokedRenderer(this))
  {
    this->PropPicked = vtkKivSharedHandlers::PickProp(this->Interactor, renderer);
  }
}

//------------------------------------------------------------------------------
vtkCellPicker* vtkInteractorStyleMervo::GetFlyPicker() const
{
  return this->Picker;
}

//------------------------------------------------------------------------------
// Rubber band
//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::StartRBZoom()
{
  if (this->Band->Start(this->Interactor))
  {
    this->State = VTKIS_KIV_BOXZOOM;
  }
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::RBSelect()
{
  this->Band->Draw(this->Interactor);
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::EndRBZoom()
{
  this->StopState();
}

//------------------------------------------------------------------------------
void vtkInteractorStyleMervo::RBZoom()
{
  vtkRenderer* renderer = this->CurrentRenderer;
  if (!renderer || !this->Interactor)
  {
    return;
  }
  const int* viewSize = renderer->GetSize();
  const int* viewOrigin = renderer->GetOrigin();
  if (viewSize[0] <= 0 || viewSize[1] <= 0)
  {
    return;
  }
  const int left = std::min(this->StartPosition[0], this->EndPosition[0]);
  const int bottom = std::min(this->StartPosition[1], this->EndPosition[1]);
  const int bandWidth = std::max(this->StartPosition[0], this->EndPosition[0]) - left;
  const int bandHeight = std::max(this->StartPosition[1], this->EndPosition[1]) - bottom;
  vtkCamera* camera = renderer->GetActiveCamera();

  // Both centres at the focal point's depth, so that the shift between
  // them lies in the plane of the focal point, parallel to the view plane.
  double focal[3];
  camera->GetFocalPoint(focal);
  double display[3];
  vtkInteractorObserver::ComputeWorldToDisplay(renderer, focal[0], focal[1], focal[2], display);
  double bandCentre[4];
  vtkInteractorObserver::ComputeDisplayToWorld(
    renderer, left + 0.5 * bandWidth, bottom + 0.5 * bandHeight, display[2], bandCentre);
  double viewCentre[4];
  vtkInteractorObserver::ComputeDisplayToWorld(renderer,
    viewOrigin[0] + 0.5 * viewSize[0],
    viewOrigin[1] + 0.5 * viewSize[1],
    display[2],
    viewCentre);

  double position[3];
  camera->GetPosition(position);
  for (int i = 0; i < 3; ++i)
  {
    position[i] += bandCentre[i] - viewCentre[i];
    focal[i] += bandCentre[i] - viewCentre[i];
  }
  camera->SetPosition(position);
  camera->SetFocalPoint(focal);

  // The width alone sets the zoom; a band without width (an infinite
  // factor) only re-centres.
  if (bandWidth == 0)
  {
    return;
  }
  const float factor = static_cast<float>(viewSize[0]) / static_cast<float>(bandWidth);
  this->Dolly(static_cast<double>(factor));
  this->Interactor->Render();
}
