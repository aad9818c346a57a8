#include "vtkKivCatiaNavigation.h"

#include "vtkAbstractPropPicker.h"
#include "vtkAreaPicker.h"
#include "vtkInteractorStyle.h"
#include "vtkKivGuardedStyle.h"
#include "vtkKivSharedHandlers.h"
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
bool vtkKivCatiaNavigation::StartMotion(vtkInteractorStyle* style)
{
  if (!vtkKivSharedHandlers::MovesCamera(style->GetState()) || !style->GetInteractor())
  {
    return false;
  }
  vtkKivGuardedStyle::PokedRenderer(style);
  return true;
}

//------------------------------------------------------------------------------
bool vtkKivCatiaNavigation::MoveCamera(vtkInteractorStyle* style, bool spinning)
{
  const int state = style->GetState();
  if (state == VTKIS_SPIN && !spinning)
  {
    // The pointer has come into the central zone: rotate from here on.
    style->EndSpin();
    style->StartRotate();
    style->Rotate();
  }
  else
  {
    vtkKivSharedHandlers::MoveCamera(style);
  }
  return state == VTKIS_PAN;
}

//------------------------------------------------------------------------------
std::array<int, 4> vtkKivCatiaNavigation::PickRectangle(const int start[2],
  const int end[2],
  int w,
  int h)
{
  std::array<int, 4> rect = { std::min(start[0], end[0]),
    std::min(start[1], end[1]),
    std::max(start[0], end[0]),
    std::max(start[1], end[1]) };
  for (size_t i = 0; i < rect.size(); ++i)
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
  return rect;
}

//------------------------------------------------------------------------------
std::optional<int> vtkKivCatiaNavigation::Pick(vtkInteractorStyle* style,
  const int start[2],
  const int end[2])
{
  if (!vtkKivGuardedStyle::HasWindow(style))
  {
    return std::nullopt;
  }
  style->FindPokedRenderer(end[0], end[1]);
  vtkRenderer* renderer = style->GetCurrentRenderer();
  if (!renderer)
  {
    return std::nullopt;
  }
  vtkRenderWindowInteractor* interactor = style->GetInteractor();
  const int* size = interactor->GetRenderWindow()->GetSize();
  const std::array<int, 4> rect =
    vtkKivCatiaNavigation::PickRectangle(start, end, size[0], size[1]);

  auto* picker = vtkAbstractPropPicker::SafeDownCast(interactor->GetPicker());
  if (!picker)
  {
    return 0;
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
  return picker->GetPath() ? 1 : 0;
}
