#include "vtkSimpleRenderWindowInteractor.h"
#include "vtkTDxSimpleDevice.h"

#include "orviTestUtils.h"
#include "vtkTDxInteractorStyleCameraFocalPoint.h"

#include "vtkInteractorStyleTrackballCamera.h"
#include "vtkTDxInteractorStyleSettings.h"
#include "vtkTDxMotionEventInfo.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>

namespace
{
// Records the values a 3D-mouse event carries, decoded by its kind.
struct TDxRecorder
{
  explicit TDxRecorder(vtkObject* subject)
  {
    this->Command->SetClientData(this);
    this->Command->SetCallback(&TDxRecorder::Callback);
    subject->AddObserver(vtkCommand::TDxMotionEvent, this->Command);
    subject->AddObserver(vtkCommand::TDxButtonPressEvent, this->Command);
    subject->AddObserver(vtkCommand::TDxButtonReleaseEvent, this->Command);
  }

  std::vector<unsigned long> Events;
  std::vector<int> Buttons;
  vtkTDxMotionEventInfo Motion{};

private:
  static void Callback(vtkObject*, unsigned long event, void* clientData, void* callData)
  {
    auto* self = static_cast<TDxRecorder*>(clientData);
    self->Events.push_back(event);
    if (event == vtkCommand::TDxMotionEvent)
    {
      self->Motion = *static_cast<vtkTDxMotionEventInfo*>(callData);
    }
    else
    {
      self->Buttons.push_back(*static_cast<int*>(callData));
    }
  }

  vtkNew<vtkCallbackCommand> Command;
};
} // namespace

// A report stores its values in the device, which is modified only when a
// value changes; buttons are stored truncated.
TEST(TDxSimpleDevice, ModifiedOnlyOnChange)
{
  vtkNew<vtkTDxSimpleDevice> device;
  device->SetTranslation(1, 2, 4);
  const vtkMTimeType t = device->GetMTime();
  device->SetTranslation(1, 2, 3);
  device->SetTranslation(1, 2, 3);
  device->SetButton(2.7);
  device->SetButton(2.0);
  EXPECT_EQ(device->GetMTime(), t + 2);
  EXPECT_EQ(device->GetButton(), 2.0);
  device->InitializedOn();
  device->Close();
  EXPECT_FALSE(device->GetInitialized());
}

// Storing a report fires nothing and marks the interactor modified; each
// event carries the stored values; a disabled interactor fires nothing but
// still stores.
TEST(SimpleRenderWindowInteractor, ReportsReachObserversAsVtkEvents)
{
  vtkNew<vtkSimpleRenderWindowInteractor> interactor;
  interactor->Enable();
  TDxRecorder recorder(interactor);
  const vtkMTimeType before = interactor->GetMTime();
  interactor->SetTDxEventInformation(1, 2, 3, 0.5, 0, 1, 0, 3);
  EXPECT_GT(interactor->GetMTime(), before);
  EXPECT_TRUE(recorder.Events.empty());
  interactor->TDxMotionEvent();
  interactor->TDxButtonPressEvent();
  interactor->TDxButtonReleaseEvent();
  EXPECT_EQ(recorder.Events,
    (std::vector<unsigned long>{ vtkCommand::TDxMotionEvent,
      vtkCommand::TDxButtonPressEvent,
      vtkCommand::TDxButtonReleaseEvent }));
  const vtkTDxMotionEventInfo& m = recorder.Motion;
  EXPECT_EQ((std::vector<double>{ m.X, m.Y, m.Z, m.Angle, m.AxisX, m.AxisY, m.AxisZ }),
    (std::vector<double>{ 1, 2, 3, 0.5, 0, 1, 0 }));
  EXPECT_EQ(recorder.Buttons, (std::vector<int>{ 3, 3 }));

  interactor->Disable();
  interactor->SetTDxEventInformation(4, 5, 6, 1.0, 1, 0, 0, 7);
  interactor->TDxMotionEvent();
  interactor->TDxButtonPressEvent();
  interactor->TDxButtonReleaseEvent();
  EXPECT_EQ(recorder.Events.size(), 3u);
  interactor->Enable();
  interactor->TDxButtonPressEvent();
  EXPECT_EQ(recorder.Buttons.back(), 7);
}

// The whole road: report, interactor event, the installed focal-point style,
// one render.
TEST(SimpleRenderWindowInteractor, MotionReportMovesTheCameraThroughTheFocalPointStyle)
{
  vtkNew<vtkRenderWindow> window;
  vtkNew<vtkRenderer> renderer;
  vtkNew<vtkSimpleRenderWindowInteractor> interactor;
  window->SetSize(300, 300);
  window->AddRenderer(renderer);
  interactor->SetRenderWindow(window);
  vtkNew<vtkInteractorStyleTrackballCamera> style;
  vtkNew<vtkTDxInteractorStyleCameraFocalPoint> tdx;
  orvi_test::SetTDxSensitivities(tdx->GetSettings());
  style->SetTDxStyle(tdx);
  interactor->SetInteractorStyle(style);
  interactor->Initialize();
  // VTK hands the event on with the style's current renderer.
  style->SetCurrentRenderer(renderer);
  vtkCamera* camera = renderer->GetActiveCamera();
  orvi_test::LookDownZ(camera, 10);
  window->Render();
  orvi_test::EventRecorder renders(window, vtkCommand::EndEvent);

  // X = 25.6 with sensitivity -1/256 pans by -0.1 of the distance to the
  // right (world +x).
  interactor->SetTDxEventInformation(25.6, 0, 0, 0, 0, 0, 0, 0);
  interactor->TDxMotionEvent();
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), -1.0, 0.0, 10.0, 1e-9);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), -1.0, 0.0, 0.0, 1e-9);
  EXPECT_EQ(renders.Count, 1) << "one event renders once";

  // Reports whose values are not numbers or infinite: a warning each,
  // nothing fired, the camera left as it was.
  orvi_test::EventRecorder warnings(interactor, vtkCommand::WarningEvent);
  orvi_test::EventRecorder motion(interactor, vtkCommand::TDxMotionEvent);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::array<std::array<double, 7>, 4> reports = { { { nan, 0, 0, 0, 0, 0, 1 },
    { 0, 0, inf, 0, 0, 0, 1 },
    { 0, 0, 0, nan, 0, 1, 0 },
    { 0, 0, 0, 10, 0, -inf, 0 } } };
  for (const auto& r : reports)
  {
    interactor->SetTDxEventInformation(r[0], r[1], r[2], r[3], r[4], r[5], r[6], 0);
    interactor->TDxMotionEvent();
  }
  EXPECT_EQ(motion.Count, 0);
  EXPECT_EQ(warnings.Count, 4);
  EXPECT_TRUE(warnings.Saw("3D-mouse report with a value that is not a finite number "
                           "ignored: translation (nan, 0, 0), angle 0, axis (0, 0, 1)"));
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), -1.0, 0.0, 10.0, 1e-9);

  // A disabled interactor leaves the camera where it is.
  interactor->SetTDxEventInformation(25.6, 0, 0, 0, 0, 0, 0, 0);
  interactor->Disable();
  interactor->TDxMotionEvent();
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), -1.0, 0.0, 10.0, 1e-9);
  EXPECT_EQ(motion.Count, 0);
}
