// Helpers shared by the vtkorviRendering tests: a real render window with a
// renderer and a host-style interactor, observers that count events or catch
// warning texts, pixel read-back, planes and cameras that make screen positions
// predictable, the checks every navigator and style shares, and comparison
// of a window with a stored baseline image.
#ifndef orviTestUtils_h
#define orviTestUtils_h

#include "vtkActor.h"
#include "vtkCallbackCommand.h"
#include "vtkCamera.h"
#include "vtkCellPicker.h"
#include "vtkCommand.h"
#include "vtkGenericRenderWindowInteractor.h"
#include "vtkImageData.h"
#include "vtkImageDifference.h"
#include "vtkInteractorStyle.h"
#include "vtkMervoInteractor.h"
#include "vtkNew.h"
#include "vtkObject.h"
#include "vtkObjectFactory.h"
#include "vtkPNGReader.h"
#include "vtkPNGWriter.h"
#include "vtkPlaneSource.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkSmartPointer.h"
#include "vtkTDxInteractorStyleCameraFocalPoint.h"
#include "vtkTDxInteractorStyleSettings.h"
#include "vtkUnsignedCharArray.h"
#include "vtkWindowToImageFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
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
    , Tag(subject->AddObserver(event, this, &EventRecorder::Record, priority))
  {
  }
  ~EventRecorder() { this->Subject->RemoveObserver(this->Tag); }
  EventRecorder(const EventRecorder&) = delete;
  EventRecorder& operator=(const EventRecorder&) = delete;

  int Count = 0;
  std::vector<std::string> Texts;

  /// True when some recorded text contains the given message.
  bool Saw(const std::string& message) const
  {
    return std::any_of(this->Texts.begin(),
      this->Texts.end(),
      [&](const std::string& text) { return text.find(message) != std::string::npos; });
  }

private:
  void Record(vtkObject*, unsigned long event, void* callData)
  {
    ++this->Count;
    if ((event == vtkCommand::WarningEvent || event == vtkCommand::ErrorEvent) && callData)
    {
      this->Texts.emplace_back(static_cast<const char*>(callData));
    }
  }
  vtkObject* Subject;
  unsigned long Tag;
};

/// A real render window of the given size with one renderer and a
/// vtkGenericRenderWindowInteractor, the interactor a host toolkit uses: it
/// has no event loop, events are set and invoked by hand. Background black.
struct Scene
{
  explicit Scene(int width = 800, int height = 600)
  {
    this->Window->SetSize(width, height);
    this->Window->SetMultiSamples(0);
    this->Window->AddRenderer(this->Renderer);
    this->Interactor->SetRenderWindow(this->Window);
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

  vtkCamera* Camera() { return this->Renderer->GetActiveCamera(); }

  /// Position, focal point, view-up and parallel scale, for "did it move".
  std::array<double, 10> CameraState()
  {
    vtkCamera* c = this->Camera();
    const double *p = c->GetPosition(), *f = c->GetFocalPoint(), *u = c->GetViewUp();
    return { p[0], p[1], p[2], f[0], f[1], f[2], u[0], u[1], u[2], c->GetParallelScale() };
  }

  vtkNew<vtkRenderWindow> Window;
  vtkNew<vtkRenderer> Renderer;
  vtkNew<vtkGenericRenderWindowInteractor> Interactor;
};

/// The whole front buffer of a window, RGB by pixel (origin bottom left).
struct Frame
{
  explicit Frame(vtkRenderWindow* window)
    : Width(window->GetSize()[0])
    , Height(window->GetSize()[1])
  {
    window->GetRGBACharPixelData(0, 0, this->Width - 1, this->Height - 1, 1, this->Data);
  }
  std::array<int, 3> At(int x, int y) const
  {
    const unsigned char* p = this->Data->GetPointer(4 * (y * this->Width + x));
    return { p[0], p[1], p[2] };
  }
  /// How many pixels satisfy pred(rgb, x, y).
  template <class Pred>
  int Count(Pred pred) const
  {
    int n = 0;
    for (int i = 0; i < this->Width * this->Height; ++i)
    {
      const int x = i % this->Width, y = i / this->Width;
      n += pred(this->At(x, y), x, y) ? 1 : 0;
    }
    return n;
  }
  int Width, Height;
  vtkNew<vtkUnsignedCharArray> Data;
};

/// A plane from (x0, y0) to (x1, y1) at height z with resX x resY cells, in
/// its own mapper (its input up to date) and an actor. Cell ids run
/// row by row: id = j * resX + i; point ids likewise, resX + 1 to a row.
inline vtkSmartPointer<vtkActor>
MakePlane(double x0, double y0, double x1, double y1, double z = 0.0, int resX = 1, int resY = 1)
{
  vtkNew<vtkPlaneSource> plane;
  plane->SetOrigin(x0, y0, z);
  plane->SetPoint1(x1, y0, z);
  plane->SetPoint2(x0, y1, z);
  plane->SetResolution(resX, resY);
  vtkNew<vtkPolyDataMapper> mapper;
  plane->Update();
  mapper->SetInputConnection(plane->GetOutputPort());
  auto actor = vtkSmartPointer<vtkActor>::New();
  actor->SetMapper(mapper);
  return actor;
}

/// Camera at (x, y, z) looking down -z at (x, y, 0), +y up, view angle 30
/// degrees; parallel (ortho) with the given scale when asked.
inline void LookDownZ(vtkCamera* camera,
  double z,
  bool ortho = false,
  double scale = 1,
  double x = 0,
  double y = 0)
{
  camera->SetFocalPoint(x, y, 0.0);
  camera->SetPosition(x, y, z);
  camera->SetViewUp(0.0, 1.0, 0.0);
  camera->SetViewAngle(30.0);
  camera->SetParallelProjection(ortho);
  camera->SetParallelScale(scale);
}

/// The world point under display (x, y) on the plane z = height.
inline std::array<double, 3> PointOnPlaneZ(vtkRenderer* r, double x, double y, double height = 0)
{
  double a[4], b[4];
  vtkInteractorObserver::ComputeDisplayToWorld(r, x, y, 0.0, a);
  vtkInteractorObserver::ComputeDisplayToWorld(r, x, y, 1.0, b);
  const double s = (height - a[2]) / (b[2] - a[2]);
  return { a[0] + s * (b[0] - a[0]), a[1] + s * (b[1] - a[1]), a[2] + s * (b[2] - a[2]) };
}

inline double Distance(const double a[3], const double b[3])
{
  return std::sqrt(
    (a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

/// PrintSelf output with the class name, addresses, modification times and
/// reference counts blanked out, to compare what two objects print.
inline std::string Printed(vtkObject* object, const std::string& className)
{
  std::ostringstream out;
  object->Print(out);
  std::string text = std::regex_replace(out.str(), std::regex(className), "CLASS");
  text = std::regex_replace(text, std::regex("0x[0-9a-fA-F]+"), "ADDR");
  return std::regex_replace(text, std::regex("(Modified Time|Reference Count): [0-9]+"), "$1");
}

/// The library's 3D-mouse sensitivities: angle -1/32, translations -1/256.
inline void SetTDxSensitivities(vtkTDxInteractorStyleSettings* settings)
{
  settings->SetAngleSensitivity(-0.03125);
  settings->SetTranslationXSensitivity(-0.00390625);
  settings->SetTranslationYSensitivity(-0.00390625);
  settings->SetTranslationZSensitivity(-0.00390625);
}

/// What every navigator and style sets up in its constructor: a fly picker
/// with an eighth of vtkCellPicker's tolerance, and a focal-point 3D-mouse
/// style with the library's sensitivities.
inline void ExpectFlyPickerAndTDxStyle(vtkInteractorStyle* style, vtkCellPicker* flyPicker)
{
  vtkNew<vtkCellPicker> plain;
  EXPECT_DOUBLE_EQ(flyPicker->GetTolerance(), plain->GetTolerance() * 0.125);
  auto* tdx = vtkTDxInteractorStyleCameraFocalPoint::SafeDownCast(style->GetTDxStyle());
  ASSERT_NE(tdx, nullptr);
  vtkTDxInteractorStyleSettings* s = tdx->GetSettings();
  EXPECT_DOUBLE_EQ(s->GetAngleSensitivity(), -0.03125);
  EXPECT_DOUBLE_EQ(s->GetTranslationXSensitivity(), -0.00390625);
  EXPECT_DOUBLE_EQ(s->GetTranslationYSensitivity(), -0.00390625);
  EXPECT_DOUBLE_EQ(s->GetTranslationZSensitivity(), -0.00390625);
}

/// Keeps the focal point of the style's current camera each time the style
/// fires the event (to see what had happened by EndInteractionEvent).
struct FocalPointAt
{
  FocalPointAt(vtkInteractorStyle* style, unsigned long event)
    : Style(style)
    , Tag(style->AddObserver(event, this, &FocalPointAt::Keep))
  {
  }
  ~FocalPointAt() { this->Style->RemoveObserver(this->Tag); }
  FocalPointAt(const FocalPointAt&) = delete;
  FocalPointAt& operator=(const FocalPointAt&) = delete;
  std::array<double, 3> Focal{};

private:
  void Keep(vtkObject*, unsigned long, void*)
  {
    this->Style->GetCurrentRenderer()->GetActiveCamera()->GetFocalPoint(this->Focal.data());
  }
  vtkInteractorStyle* Style;
  unsigned long Tag;
};

/// Compares what the window shows with the stored baseline image
/// ORVI_BASELINE_DIR/NAME.png as VTK's regression tests do: vtkImageDifference
/// must find a thresholded error (the colour differences above its per-pixel
/// threshold) of at most 10. Pixels are compared in place, without the shifts
/// and averages VTK allows for 3D scenes: 2D overlays drawn by the same Mesa
/// and FreeType repeat pixel for pixel, and shifts would hide a changed text of
/// a small font. The capture is written to ORVI_TEST_OUTPUT_DIR/NAME.png to be
/// looked at, and on a mismatch the difference image to NAME-diff.png beside
/// it. With ORVI_UPDATE_BASELINES=1 the baseline is written from the capture.
inline ::testing::AssertionResult MatchesBaseline(vtkRenderWindow* window, const std::string& name)
{
  namespace fs = std::filesystem;
  vtkNew<vtkWindowToImageFilter> capture;
  capture->SetInput(window);
  capture->SetInputBufferTypeToRGB();
  capture->ReadFrontBufferOff();
  capture->Update();
  const auto write = [&](vtkAlgorithm* image, const fs::path& path)
  {
    fs::create_directories(path.parent_path());
    vtkNew<vtkPNGWriter> writer;
    writer->SetInputConnection(image->GetOutputPort());
    writer->SetFileName(path.string().c_str());
    writer->Write();
  };
  const fs::path output = fs::path(ORVI_TEST_OUTPUT_DIR) / (name + ".png");
  const fs::path baseline = fs::path(ORVI_BASELINE_DIR) / (name + ".png");
  write(capture, output);
  if (const char* update = std::getenv("ORVI_UPDATE_BASELINES");
      update && std::string(update) == "1")
  {
    write(capture, baseline);
    return ::testing::AssertionSuccess() << "baseline written: " << baseline;
  }
  vtkNew<vtkPNGReader> reader;
  reader->SetFileName(baseline.string().c_str());
  reader->Update();
  const int *expected = reader->GetOutput()->GetDimensions(),
            *actual = capture->GetOutput()->GetDimensions();
  if (!fs::exists(baseline) || !std::equal(expected, expected + 3, actual) ||
    reader->GetOutput()->GetNumberOfScalarComponents() != 3)
  {
    return ::testing::AssertionFailure() << "baseline " << baseline << " is missing or not of the "
                                         << "capture's size and RGB (capture in " << output << ")";
  }
  vtkNew<vtkImageDifference> difference;
  difference->SetInputConnection(capture->GetOutputPort());
  difference->SetImageConnection(reader->GetOutputPort());
  difference->AllowShiftOff();
  difference->AveragingOff();
  difference->Update();
  if (difference->GetThresholdedError() <= 10.0)
  {
    return ::testing::AssertionSuccess();
  }
  write(difference, fs::path(ORVI_TEST_OUTPUT_DIR) / (name + "-diff.png"));
  return ::testing::AssertionFailure()
    << output << " differs from " << baseline << ": thresholded error "
    << difference->GetThresholdedError();
}

/// A navigator or interactor style as a host derives it, with the protected
/// state the tests look at in reach (members a class lacks are simply not
/// called for it).
template <class Base>
class Probe : public Base
{
public:
  static Probe* New() { VTK_STANDARD_NEW_BODY(Probe); }
  vtkTypeMacro(Probe, Base);
  vtkCellPicker* GetFlyPicker() { return this->Picker; }
  int GetPropPicked() const { return this->PropPicked; }
  int GetAnimState() const { return this->AnimState; }
  int GetTimerId() const { return this->TimerId; }
  bool Spinning() { return this->IsSpinning(); }
  int* GetStartPosition() { return this->StartPosition; }
  int* GetEndPosition() { return this->EndPosition; }
  vtkUnsignedCharArray* GetPixelArray() { return this->PixelArray; }
  vtkActor* GetDebugActor() { return this->DebugActor; }
  vtkIdType GetNumberOfDebugPoints() { return this->DebugPoints->GetNumberOfPoints(); }
};

/// The button events a toolkit sends (each release is its press + 1).
namespace buttons
{
constexpr unsigned long LeftDown = vtkCommand::LeftButtonPressEvent,
                        LeftUp = vtkCommand::LeftButtonReleaseEvent,
                        MiddleDown = vtkCommand::MiddleButtonPressEvent,
                        MiddleUp = vtkCommand::MiddleButtonReleaseEvent,
                        RightDown = vtkCommand::RightButtonPressEvent,
                        RightUp = vtkCommand::RightButtonReleaseEvent;
}

/// Counts what a navigator or style tells by events, by kind: its state
/// events, and the pick, user, exit, render and timer events of its
/// interactor. (Only these: a style hands an input event to its own
/// observers instead of handling it when it has any.)
class EventCounts
{
public:
  EventCounts(vtkObject* style, vtkObject* interactor)
  {
    using C = vtkCommand;
    for (unsigned long event : { C::StartInteractionEvent,
           C::InteractionEvent,
           C::EndInteractionEvent,
           C::StartPickEvent,
           C::EndPickEvent,
           C::UserEvent,
           C::ExitEvent,
           C::RenderEvent,
           C::CreateTimerEvent,
           C::DestroyTimerEvent })
    {
      const bool ofStyle = event == C::StartInteractionEvent || event == C::InteractionEvent ||
        event == C::EndInteractionEvent;
      if (vtkObject* subject = ofStyle ? style : interactor)
      {
        this->Recorders[event] = std::make_unique<EventRecorder>(subject, event);
      }
    }
  }
  int operator[](unsigned long event)
  {
    return this->Recorders.count(event) ? this->Recorders[event]->Count : 0;
  }
  /// The counts of several events at once, to compare in one expectation.
  std::vector<int> operator()(std::initializer_list<unsigned long> events)
  {
    std::vector<int> counts;
    for (unsigned long event : events)
    {
      counts.push_back((*this)[event]);
    }
    return counts;
  }

private:
  std::map<unsigned long, std::unique_ptr<EventRecorder>> Recorders;
};

/// A real window showing a square of half-size `half` (none when 0) at z = 0,
/// 8 x 8 cells, seen from (0, 0, 10) with a 30 degree view angle (parallel:
/// scale 3, one pixel 0.01 in a window 600 high), with Probe<T> installed on
/// an initialized interactor.
template <class T>
struct NavScene : Scene
{
  explicit NavScene(int width = 800, int height = 600, double half = 1.0, bool parallel = false)
    : Scene(width, height)
  {
    if (half > 0)
    {
      this->Plane = this->Add(-half, -half, half, half);
    }
    this->Reset(parallel);
    this->Interactor->SetInteractorStyle(this->Nav);
    this->Interactor->Initialize();
  }
  // A style does not hold its interactor: detach it while both live.
  ~NavScene() { this->Interactor->SetInteractorStyle(nullptr); }
  NavScene(const NavScene&) = delete;
  NavScene& operator=(const NavScene&) = delete;

  vtkActor* Add(double x0, double y0, double x1, double y1, double z = 0.0)
  {
    auto actor = MakePlane(x0, y0, x1, y1, z, 8, 8);
    this->Renderer->AddActor(actor);
    return actor;
  }
  /// Back to the starting camera, rendered.
  void Reset(bool parallel = false)
  {
    LookDownZ(this->Camera(), 10, parallel, 3.0);
    this->Renderer->ResetCameraClippingRange();
    this->Window->Render();
  }
  /// n motions along the straight line from (x0, y0) to (x1, y1).
  void Path(int x0, int y0, int x1, int y1, int n, bool ctrl = false, bool shift = false)
  {
    for (int i = 1; i <= n; ++i)
    {
      this->MoveTo(x0 + (x1 - x0) * i / n, y0 + (y1 - y0) * i / n, ctrl, shift);
    }
  }
  /// Press, n motions along the straight line to (x1, y1), release; mods: 1 Ctrl, 2 Shift.
  void Drag(unsigned long press, int x0, int y0, int x1, int y1, int n = 5, int mods = 0)
  {
    const bool ctrl = mods & 1, shift = mods & 2;
    this->Fire(press, x0, y0, ctrl, shift);
    this->Path(x0, y0, x1, y1, n, ctrl, shift);
    this->Fire(press + 1, x1, y1, ctrl, shift);
  }
  /// The Mervo navigator's band, started at (x0, y0) as a host does, then n
  /// motions to (x1, y1).
  void Band(int x0, int y0, int x1 = 0, int y1 = 0, int n = 0)
  {
    this->SetPointer(x0, y0);
    this->Nav->ClearMoved();
    this->Nav->StartBoxZoom();
    this->Path(x0, y0, x1, y1, n);
  }
  vtkActor* Plane = nullptr;
  vtkNew<Probe<T>> Nav;
};

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
