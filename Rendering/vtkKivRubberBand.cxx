#include "vtkKivRubberBand.h"

#include "vtkOpenGLFramebufferObject.h"
#include "vtkOpenGLRenderWindow.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkUnsignedCharArray.h"

#include <algorithm>
#include <cstring>

namespace
{
// Bring an image array to 4 components and count tuples, reallocating only
// when its layout differs.
void Shape(vtkUnsignedCharArray* array, vtkIdType count)
{
  if (array->GetNumberOfComponents() != 4 || array->GetNumberOfTuples() != count)
  {
    array->Initialize();
    array->SetNumberOfComponents(4);
    array->SetNumberOfTuples(count);
  }
}

// Whether the window must render before its pixels can be read at its
// current size: it has never rendered (no image, no drawing context), or
// it was resized since its last render. VTK's OpenGL windows read from
// buffers made at the size of the last render, and pixels past them come
// back undefined.
bool NeedsRender(vtkRenderWindow* window)
{
  if (window->GetNeverRendered())
  {
    return true;
  }
  auto* openGL = vtkOpenGLRenderWindow::SafeDownCast(window);
  vtkOpenGLFramebufferObject* buffer = openGL ? openGL->GetDisplayFramebuffer() : nullptr;
  if (!buffer)
  {
    return false;
  }
  const int* bufferSize = buffer->GetLastSize();
  const int* size = window->GetSize();
  return bufferSize[0] != size[0] || bufferSize[1] != size[1];
}

inline void InvertPixel(unsigned char* rgba, int width, int x, int y)
{
  unsigned char* p = rgba + 4 * (static_cast<size_t>(y) * width + x);
  p[0] = static_cast<unsigned char>(~p[0]);
  p[1] = static_cast<unsigned char>(~p[1]);
  p[2] = static_cast<unsigned char>(~p[2]);
}
} // namespace

//------------------------------------------------------------------------------
void vtkKivRubberBand::TakeSnapshot(vtkRenderWindow* window,
  vtkUnsignedCharArray* pixelArray,
  int snapshotSize[2])
{
  if (NeedsRender(window))
  {
    window->Render();
  }
  const int* size = window->GetSize();
  const int w = std::max(size[0], 0);
  const int h = std::max(size[1], 0);
  pixelArray->Initialize();
  pixelArray->SetNumberOfComponents(4);
  pixelArray->SetNumberOfTuples(static_cast<vtkIdType>(w) * h);
  if (w > 0 && h > 0)
  {
    window->GetRGBACharPixelData(0, 0, w - 1, h - 1, 1, pixelArray);
  }
  snapshotSize[0] = w;
  snapshotSize[1] = h;
}

//------------------------------------------------------------------------------
bool vtkKivRubberBand::Start(vtkRenderWindowInteractor* interactor,
  int startPosition[2],
  int endPosition[2],
  vtkUnsignedCharArray* pixelArray,
  int snapshotSize[2])
{
  vtkRenderWindow* window = interactor ? interactor->GetRenderWindow() : nullptr;
  if (!window || !pixelArray)
  {
    return false;
  }
  const int* position = interactor->GetEventPosition();
  startPosition[0] = endPosition[0] = position[0];
  startPosition[1] = endPosition[1] = position[1];
  vtkKivRubberBand::TakeSnapshot(window, pixelArray, snapshotSize);
  return true;
}

//------------------------------------------------------------------------------
void vtkKivRubberBand::Draw(vtkRenderWindowInteractor* interactor,
  const int startPosition[2],
  int endPosition[2],
  vtkUnsignedCharArray* pixelArray,
  int snapshotSize[2],
  vtkUnsignedCharArray* scratch)
{
  vtkRenderWindow* window = interactor ? interactor->GetRenderWindow() : nullptr;
  if (!window || !pixelArray || !scratch)
  {
    return;
  }
  const int* position = interactor->GetEventPosition();
  const int* size = window->GetSize();
  const int w = size[0];
  const int h = size[1];

  // The pointer's corner is clamped to the window; the zoom uses it so.
  endPosition[0] = position[0] > w - 1 ? w - 1 : position[0];
  endPosition[0] = endPosition[0] < 0 ? 0 : endPosition[0];
  endPosition[1] = position[1] > h - 1 ? h - 1 : position[1];
  endPosition[1] = endPosition[1] < 0 ? 0 : endPosition[1];
  if (w <= 0 || h <= 0)
  {
    return;
  }

  const vtkIdType count = static_cast<vtkIdType>(w) * h;
  if (snapshotSize[0] != w || snapshotSize[1] != h || pixelArray->GetNumberOfComponents() != 4 ||
    pixelArray->GetNumberOfTuples() != count || NeedsRender(window))
  {
    // The window was resized since the snapshot or its last render (or the
    // snapshot was replaced): the front buffer may hold a stretched image,
    // the last band, or nothing of the new size, so render a clean frame at
    // the new size and start from it.
    window->Render();
    vtkKivRubberBand::TakeSnapshot(window, pixelArray, snapshotSize);
  }

  Shape(scratch, count);
  unsigned char* image = scratch->GetPointer(0);
  std::memcpy(image, pixelArray->GetPointer(0), static_cast<size_t>(count) * 4);
  vtkKivRubberBand::InvertOutline(image, w, h, startPosition, endPosition);
  window->SetRGBACharPixelData(0, 0, w - 1, h - 1, image, 0, 0);
  window->Frame();
}

//------------------------------------------------------------------------------
void vtkKivRubberBand::InvertOutline(unsigned char* rgba,
  int width,
  int height,
  const int corner0[2],
  const int corner1[2])
{
  if (!rgba || width <= 0 || height <= 0)
  {
    return;
  }
  const int x0 = std::clamp(std::min(corner0[0], corner1[0]), 0, width - 1);
  const int x1 = std::clamp(std::max(corner0[0], corner1[0]), 0, width - 1);
  const int y0 = std::clamp(std::min(corner0[1], corner1[1]), 0, height - 1);
  const int y1 = std::clamp(std::max(corner0[1], corner1[1]), 0, height - 1);
  for (int x = x0; x <= x1; ++x)
  {
    InvertPixel(rgba, width, x, y0);
    InvertPixel(rgba, width, x, y1);
  }
  for (int y = y0 + 1; y <= y1 - 1; ++y)
  {
    InvertPixel(rgba, width, x0, y);
    InvertPixel(rgba, width, x1, y);
  }
}
