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

// Invert the red, green and blue bytes of the outline of the rectangle
// spanned by the two corners in an RGBA image of width x height pixels. The
// corners are sorted and clamped to the image.
void InvertOutline(unsigned char* rgba,
  int width,
  int height,
  const int corner0[2],
  const int corner1[2])
{
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
} // namespace

//------------------------------------------------------------------------------
vtkKivRubberBand::vtkKivRubberBand(int (&startPosition)[2],
  int (&endPosition)[2],
  vtkSmartPointer<vtkUnsignedCharArray>& snapshot)
  : StartPosition(startPosition)
  , EndPosition(endPosition)
  , Snapshot(snapshot)
{
}

//------------------------------------------------------------------------------
vtkKivRubberBand::~vtkKivRubberBand() = default;

//------------------------------------------------------------------------------
void vtkKivRubberBand::TakeSnapshot(vtkRenderWindow* window)
{
  if (NeedsRender(window))
  {
    window->Render();
  }
  const int* size = window->GetSize();
  const int w = std::max(size[0], 0);
  const int h = std::max(size[1], 0);
  this->Snapshot->Initialize();
  this->Snapshot->SetNumberOfComponents(4);
  this->Snapshot->SetNumberOfTuples(static_cast<vtkIdType>(w) * h);
  if (w > 0 && h > 0)
  {
    window->GetRGBACharPixelData(0, 0, w - 1, h - 1, 1, this->Snapshot);
  }
  this->SnapshotSize[0] = w;
  this->SnapshotSize[1] = h;
}

//------------------------------------------------------------------------------
bool vtkKivRubberBand::Start(vtkRenderWindowInteractor* interactor)
{
  vtkRenderWindow* window = interactor ? interactor->GetRenderWindow() : nullptr;
  if (!window || !this->Snapshot)
  {
    return false;
  }
  const int* position = interactor->GetEventPosition();
  this->StartPosition[0] = this->EndPosition[0] = position[0];
  this->StartPosition[1] = this->EndPosition[1] = position[1];
  this->TakeSnapshot(window);
  return true;
}

//------------------------------------------------------------------------------
void vtkKivRubberBand::Draw(vtkRenderWindowInteractor* interactor)
{
  vtkRenderWindow* window = interactor ? interactor->GetRenderWindow() : nullptr;
  if (!window || !this->Snapshot)
  {
    return;
  }
  const int* position = interactor->GetEventPosition();
  const int* size = window->GetSize();
  const int w = size[0];
  const int h = size[1];

  // The pointer's corner is clamped to the window; the zoom uses it so.
  this->EndPosition[0] = std::max(std::min(position[0], w - 1), 0);
  this->EndPosition[1] = std::max(std::min(position[1], h - 1), 0);
  if (w <= 0 || h <= 0)
  {
    return;
  }

  const vtkIdType count = static_cast<vtkIdType>(w) * h;
  if (this->SnapshotSize[0] != w || this->SnapshotSize[1] != h ||
    this->Snapshot->GetNumberOfComponents() != 4 || this->Snapshot->GetNumberOfTuples() != count ||
    NeedsRender(window))
  {
    // The window was resized since the snapshot or its last render (or the
    // snapshot was replaced): the front buffer may hold a stretched image,
    // the last band, or nothing of the new size, so render a clean frame at
    // the new size and start from it.
    //
    // A window keeps its top-left corner where it is when resized, and so
    // does the point the band started on: display y counts from the bottom,
    // so the fixed corner moves by the change of height.
    if (this->SnapshotSize[1] > 0)
    {
      this->StartPosition[1] += h - this->SnapshotSize[1];
    }
    window->Render();
    this->TakeSnapshot(window);
  }

  Shape(this->Scratch, count);
  unsigned char* image = this->Scratch->GetPointer(0);
  std::memcpy(image, this->Snapshot->GetPointer(0), static_cast<size_t>(count) * 4);
  InvertOutline(image, w, h, this->StartPosition, this->EndPosition);
  window->SetRGBACharPixelData(0, 0, w - 1, h - 1, image, 0, 0);
  window->Frame();
}
