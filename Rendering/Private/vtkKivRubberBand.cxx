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

using Outline = vtkKivRubberBand::Outline;

// The outline of a band, its corners sorted and clamped to the image.
Outline OutlineOf(int width, int height, const int corner0[2], const int corner1[2])
{
  return { std::clamp(std::min(corner0[0], corner1[0]), 0, width - 1),
    std::clamp(std::min(corner0[1], corner1[1]), 0, height - 1),
    std::clamp(std::max(corner0[0], corner1[0]), 0, width - 1),
    std::clamp(std::max(corner0[1], corner1[1]), 0, height - 1) };
}

// Whether InvertOutline() leaves pixel (x, y) inverted: it is inverted once
// per row and column of the outline it lies on, and twice is not at all.
bool Inverted(const Outline& o, int x, int y)
{
  const bool inRow = x >= o.X0 && x <= o.X1;
  const bool inColumn = y > o.Y0 && y < o.Y1;
  const int times =
    (inRow && y == o.Y0) + (inRow && y == o.Y1) + (inColumn && x == o.X0) + (inColumn && x == o.X1);
  return times % 2 == 1;
}

// Invert the red, green and blue bytes of the outline in an RGBA image of
// width pixels a row.
void InvertOutline(unsigned char* rgba, int width, const Outline& o)
{
  for (int x = o.X0; x <= o.X1; ++x)
  {
    InvertPixel(rgba, width, x, o.Y0);
    InvertPixel(rgba, width, x, o.Y1);
  }
  for (int y = o.Y0 + 1; y <= o.Y1 - 1; ++y)
  {
    InvertPixel(rgba, width, o.X0, y);
    InvertPixel(rgba, width, o.X1, y);
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
  this->Drawn = false;
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
  bool resized = false;
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
    resized = true;
  }

  const Outline now = OutlineOf(w, h, this->StartPosition, this->EndPosition);
  if (this->Drawn && this->DrawnSize[0] == w && this->DrawnSize[1] == h && !resized)
  {
    // The window's back buffer still holds the last band over the
    // snapshot: put back the last outline's rows and columns and draw the
    // new ones, a few thin strips instead of the whole window.
    const Outline& last = this->Last;
    const Outline strips[] = { { last.X0, last.Y0, last.X1, last.Y0 },
      { last.X0, last.Y1, last.X1, last.Y1 },
      { last.X0, last.Y0, last.X0, last.Y1 },
      { last.X1, last.Y0, last.X1, last.Y1 },
      { now.X0, now.Y0, now.X1, now.Y0 },
      { now.X0, now.Y1, now.X1, now.Y1 },
      { now.X0, now.Y0, now.X0, now.Y1 },
      { now.X1, now.Y0, now.X1, now.Y1 } };
    for (const Outline& strip : strips)
    {
      this->DrawStrip(window, w, now, strip);
    }
  }
  else
  {
    Shape(this->Scratch, count);
    unsigned char* image = this->Scratch->GetPointer(0);
    std::memcpy(image, this->Snapshot->GetPointer(0), static_cast<size_t>(count) * 4);
    InvertOutline(image, w, now);
    window->SetRGBACharPixelData(0, 0, w - 1, h - 1, image, 0, 0);
  }
  this->Last = now;
  this->Drawn = true;
  this->DrawnSize[0] = w;
  this->DrawnSize[1] = h;
  window->Frame();
}

//------------------------------------------------------------------------------
void vtkKivRubberBand::DrawStrip(vtkRenderWindow* window,
  int width,
  const Outline& outline,
  const Outline& strip)
{
  const int sw = strip.X1 - strip.X0 + 1;
  const int sh = strip.Y1 - strip.Y0 + 1;
  Shape(this->Scratch, static_cast<vtkIdType>(sw) * sh);
  unsigned char* out = this->Scratch->GetPointer(0);
  const unsigned char* snapshot = this->Snapshot->GetPointer(0);
  for (int y = strip.Y0; y <= strip.Y1; ++y)
  {
    for (int x = strip.X0; x <= strip.X1; ++x)
    {
      const unsigned char* p = snapshot + 4 * (static_cast<size_t>(y) * width + x);
      const unsigned char flip = Inverted(outline, x, y) ? 0xff : 0x00;
      out[0] = p[0] ^ flip;
      out[1] = p[1] ^ flip;
      out[2] = p[2] ^ flip;
      out[3] = p[3];
      out += 4;
    }
  }
  window->SetRGBACharPixelData(
    strip.X0, strip.Y0, strip.X1, strip.Y1, this->Scratch->GetPointer(0), 0, 0);
}
