#include "vtkKivCatiaNavigation.h"

#include "vtkAbstractPropPicker.h"
#include "vtkAreaPicker.h"
#include "vtkCellPicker.h"
#include "vtkCommand.h"
#include "vtkInteractorStyle.h"
#include "vtkMath.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"

#include <algorithm>

//------------------------------------------------------------------------------
bool vtkKivCatiaNavigation::IsSpinning(vtkInteractorStyle* style, double rotateZoneRadius)
{
  vtkRenderer* renderer = style->GetCurrentRenderer();
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (!renderer || !interactor || !renderer->GetRenderWindow())
  {
    return false;
  }
  const int* size = renderer->GetRenderWindow()->GetSize();
  const double extent[2] = { double(size[0]), double(size[1]) };
  const double diagonal = vtkMath::Norm2D(extent);
  if (diagonal <= 0.0)
  {
    return false;
  }
  // The centre is the integer half of the size, as the pixel grid has it.
  const int cx = size[0] / 2;
  const int cy = size[1] / 2;
  const int* position = interactor->GetEventPosition();
  const double offset[2] = { double(position[0] - cx), double(position[1] - cy) };
  return vtkMath::Norm2D(offset) / diagonal > rotateZoneRadius * 0.5;
}

//------------------------------------------------------------------------------
void vtkKivCatiaNavigation::OnMouseMove(vtkInteractorStyle* style,
  int& moved,
  const std::function<bool()>& isSpinning)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (!interactor)
  {
    return;
  }
  const int* position = interactor->GetEventPosition();
  const int x = position[0];
  const int y = position[1];
  switch (style->GetState())
  {
    case VTKIS_ROTATE:
      style->FindPokedRenderer(x, y);
      style->Rotate();
      break;
    case VTKIS_PAN:
      style->FindPokedRenderer(x, y);
      style->Pan();
      ++moved;
      break;
    case VTKIS_SPIN:
      style->FindPokedRenderer(x, y);
      if (isSpinning())
      {
        style->Spin();
      }
      else
      {
        // The pointer has come into the central zone: rotate from here on.
        style->EndSpin();
        style->StartRotate();
        style->Rotate();
      }
      break;
    case VTKIS_DOLLY:
      style->FindPokedRenderer(x, y);
      style->Dolly();
      break;
    default:
      return;
  }
  style->InvokeEvent(vtkCommand::InteractionEvent, nullptr);
}

//------------------------------------------------------------------------------
void vtkKivCatiaNavigation::Fly(vtkInteractorStyle* style, vtkCellPicker* picker, int& animState)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (!interactor || !picker)
  {
    return;
  }
  animState = VTKIS_ANIM_ON;
  const int* position = interactor->GetEventPosition();
  style->FindPokedRenderer(position[0], position[1]);
  vtkRenderer* renderer = style->GetCurrentRenderer();
  // A cell picker refuses to pick without a renderer; there is nowhere to fly.
  if (renderer)
  {
    picker->Pick(position[0], position[1], 0.0, renderer);
    if (picker->GetPath())
    {
      const double* p = picker->GetPickPosition();
      interactor->FlyTo(renderer, p[0], p[1], p[2]);
    }
  }
  animState = VTKIS_ANIM_OFF;
}

//------------------------------------------------------------------------------
void vtkKivCatiaNavigation::PickRectangle(const int start[2],
  const int end[2],
  int w,
  int h,
  int rect[4])
{
  rect[0] = std::min(start[0], end[0]);
  rect[1] = std::min(start[1], end[1]);
  rect[2] = std::max(start[0], end[0]);
  rect[3] = std::max(start[1], end[1]);
  for (int i = 0; i < 4; ++i)
  {
    const int extent = (i % 2 == 0) ? w : h;
    if (rect[i] < 0)
    {
      rect[i] = 0;
    }
    else if (rect[i] >= extent)
    {
      // Two pixels inside the far edge, and never below the window origin.
      rect[i] = std::max(extent - 2, 0);
    }
  }
}

//------------------------------------------------------------------------------
void vtkKivCatiaNavigation::Pick(vtkInteractorStyle* style,
  const int startPosition[2],
  int endPosition[2],
  int& propPicked)
{
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  if (!interactor || !interactor->GetRenderWindow())
  {
    return;
  }
  const int* position = interactor->GetEventPosition();
  endPosition[0] = position[0];
  endPosition[1] = position[1];
  style->FindPokedRenderer(endPosition[0], endPosition[1]);
  vtkRenderer* renderer = style->GetCurrentRenderer();
  if (!renderer)
  {
    return;
  }
  const int* size = interactor->GetRenderWindow()->GetSize();
  int rect[4];
  vtkKivCatiaNavigation::PickRectangle(startPosition, endPosition, size[0], size[1], rect);

  auto* picker = vtkAbstractPropPicker::SafeDownCast(interactor->GetPicker());
  if (!picker)
  {
    propPicked = 0;
    return;
  }
  if (auto* areaPicker = vtkAreaPicker::SafeDownCast(picker))
  {
    areaPicker->AreaPick(rect[0], rect[1], rect[2], rect[3], renderer);
  }
  else
  {
    // Integer sums halved as doubles: the centre may fall between pixels.
    const double cx = (rect[0] + rect[2]) * 0.5;
    const double cy = (rect[1] + rect[3]) * 0.5;
    picker->Pick(cx, cy, 0.0, renderer);
  }
  interactor->EndPickCallback();
  propPicked = picker->GetPath() ? 1 : 0;
}
