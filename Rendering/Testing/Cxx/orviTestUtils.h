// Helpers shared by the vtkorviRendering tests: a real render window with a
// renderer and a host-style interactor, observers that count events or catch
// warning texts, and pixel read-back.
#ifndef orviTestUtils_h
#define orviTestUtils_h

#include "vtkCallbackCommand.h"
#include "vtkCamera.h"
#include "vtkCommand.h"
#include "vtkGenericRenderWindowInteractor.h"
#include "vtkNew.h"
#include "vtkObject.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkSmartPointer.h"
#include "vtkUnsignedCharArray.h"

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace orvi_test
{

/// Counts how often an event is invoked on an object, and keeps the text of
/// warnings and errors when the call data is one.
class EventRecorder
{
public:
  EventRecorder(vtkObject* subject, unsigned long event, float priority = 0.0f)
    : Subject(subject)
  {
    this->Command->SetClientData(this);
    this->Command->SetCallback(&EventRecorder::Callback);
    this->Tag = subject->AddObserver(event, this->Command, priority);
  }
  ~EventRecorder() { this->Subject->RemoveObserver(this->Tag); }
  EventRecorder(const EventRecorder&) = delete;
  EventRecorder& operator=(const EventRecorder&) = delete;

  int Count = 0;
  std::vector<std::string> Texts;
  void* LastCallData = nullptr;

  /// True when some recorded text contains the given message.
  bool Saw(const std::string& message) const
  {
    for (const auto& text : this->Texts)
    {
      if (text.find(message) != std::string::npos)
      {
        return true;
      }
    }
    return false;
  }

private:
  static void Callback(vtkObject*, unsigned long event, void* clientData, void* callData)
  {
    auto* self = static_cast<EventRecorder*>(clientData);
    ++self->Count;
    self->LastCallData = callData;
    if ((event == vtkCommand::WarningEvent || event == vtkCommand::ErrorEvent) && callData)
    {
      self->Texts.emplace_back(static_cast<const char*>(callData));
    }
  }

  vtkObject* Subject;
  unsigned long Tag = 0;
  vtkNew<vtkCallbackCommand> Command;
};

/// A real render window of the given size with one renderer and a
/// vtkGenericRenderWindowInteractor, the interactor a host toolkit uses: it
/// has no event loop, events are set and invoked by hand.
struct Scene
{
  explicit Scene(int width = 800, int height = 600)
  {
    this->Window->SetSize(width, height);
    this->Window->SetMultiSamples(0);
    this->Window->AddRenderer(this->Renderer);
    this->Interactor->SetRenderWindow(this->Window);
    this->Renderer->SetBackground(0.0, 0.0, 0.0);
  }

  /// Places the pointer at (x, y) with the given modifiers, as a toolkit does
  /// before it fires an event.
  void SetPointer(int x, int y, bool ctrl = false, bool shift = false)
  {
    this->Interactor->SetEventInformation(x, y, ctrl ? 1 : 0, shift ? 1 : 0);
  }

  /// Pointer to (x, y) and a MouseMoveEvent through the interactor.
  void MoveTo(int x, int y, bool ctrl = false, bool shift = false)
  {
    this->SetPointer(x, y, ctrl, shift);
    this->Interactor->InvokeEvent(vtkCommand::MouseMoveEvent, nullptr);
  }

  /// Pointer to (x, y) and the given button event through the interactor.
  void Fire(unsigned long event, int x, int y, bool ctrl = false, bool shift = false)
  {
    this->SetPointer(x, y, ctrl, shift);
    this->Interactor->InvokeEvent(event, nullptr);
  }

  /// RGBA of pixel (x, y) of the front buffer.
  std::array<int, 4> Pixel(int x, int y)
  {
    vtkNew<vtkUnsignedCharArray> data;
    this->Window->GetRGBACharPixelData(x, y, x, y, 1, data);
    const unsigned char* p = data->GetPointer(0);
    return { p[0], p[1], p[2], p[3] };
  }

  vtkCamera* Camera() { return this->Renderer->GetActiveCamera(); }

  vtkNew<vtkRenderWindow> Window;
  vtkNew<vtkRenderer> Renderer;
  vtkNew<vtkGenericRenderWindowInteractor> Interactor;
};

inline double Distance(const double a[3], const double b[3])
{
  return std::sqrt(
    (a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

} // namespace orvi_test

/// Expects two 3-vectors to agree to a tolerance, component by component.
#define ORVI_EXPECT_VEC3_NEAR(actual, e0, e1, e2, tol)                                             \
  do                                                                                               \
  {                                                                                                \
    const double* orvi_v_ = (actual);                                                              \
    EXPECT_NEAR(orvi_v_[0], (e0), (tol));                                                          \
    EXPECT_NEAR(orvi_v_[1], (e1), (tol));                                                          \
    EXPECT_NEAR(orvi_v_[2], (e2), (tol));                                                          \
  } while (false)

#endif
