#include "vtkSimpleRenderWindowInteractor.h"
#include "vtkTDxSimpleDevice.h"

#include "orviTestUtils.h"
#include "vtkTDxInteractorStyleCameraFocalPoint.h"

#include "vtkInteractorStyleTrackballCamera.h"
#include "vtkTDxInteractorStyleSettings.h"
#include "vtkTDxMotionEventInfo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
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

TEST(TDxSimpleDevice, StoresValuesAndModifiesOnlyOnChange)
{
  vtkNew<vtkTDxSimpleDevice> device;
  // Its own type information, beside vtkTDxDevice's.
  EXPECT_STREQ(device->GetClassName(), "vtkTDxSimpleDevice");
  EXPECT_TRUE(device->IsA("vtkTDxDevice"));
  vtkSmartPointer<vtkTDxSimpleDevice> other;
  other.TakeReference(device->NewInstance());
  EXPECT_STREQ(other->GetClassName(), "vtkTDxSimpleDevice");

  // (1, 2, 4) to (1, 2, 3): one Modified(); the same values again: none.
  device->SetTranslation(1, 2, 4);
  vtkMTimeType t = device->GetMTime();
  device->SetTranslation(1, 2, 3);
  EXPECT_EQ(device->GetMTime(), t + 1);
  ORVI_EXPECT_VEC3_NEAR(device->GetTranslation(), 1.0, 2.0, 3.0, 0.0);
  device->SetTranslation(1, 2, 3);
  const double same[3] = { 1, 2, 3 };
  device->SetTranslation(same);
  EXPECT_EQ(device->GetMTime(), t + 1);
  device->SetAxis(0, 0, 1);
  EXPECT_EQ(device->GetMTime(), t + 2);
  ORVI_EXPECT_VEC3_NEAR(device->GetAxis(), 0.0, 0.0, 1.0, 0.0);

  // Buttons are stored truncated; 2.7 differs from 2, so it modifies again.
  t = device->GetMTime();
  device->SetButton(2.7);
  EXPECT_EQ(device->GetButton(), 2.0);
  EXPECT_EQ(device->GetMTime(), t + 1);
  device->SetButton(2.0);
  EXPECT_EQ(device->GetMTime(), t + 1);
  device->SetButton(2.7);
  EXPECT_EQ(device->GetMTime(), t + 2);
  device->SetButton(-1.5);
  EXPECT_EQ(device->GetButton(), -1.0);

  // Close() clears the flag without Modified().
  EXPECT_FALSE(device->GetInitialized());
  t = device->GetMTime();
  device->InitializedOn();
  EXPECT_EQ(device->GetMTime(), t + 1);
  device->Close();
  EXPECT_FALSE(device->GetInitialized());
  EXPECT_EQ(device->GetMTime(), t + 1);

  // Only vtkObject's state is printed.
  std::ostringstream printed;
  device->Print(printed);
  EXPECT_EQ(printed.str().find("Translation"), std::string::npos);
  EXPECT_EQ(printed.str().find("Initialized"), std::string::npos);
}

TEST(SimpleRenderWindowInteractor, ReportsReachObserversAsVtkEvents)
{
  vtkNew<vtkSimpleRenderWindowInteractor> interactor;
  ASSERT_NE(interactor->GetDevice(), nullptr);
  interactor->Enable();
  TDxRecorder recorder(interactor);

  // The same report twice: the device changes only the first time, the
  // interactor is marked modified both times; storing fires nothing.
  vtkTDxSimpleDevice* device = interactor->GetDevice();
  for (int time = 0; time < 2; ++time)
  {
    const vtkMTimeType deviceTime = device->GetMTime();
    const vtkMTimeType interactorTime = interactor->GetMTime();
    interactor->SetTDxEventInformation(1, 2, 3, 0.5, 0, 1, 0, 3);
    EXPECT_EQ(device->GetMTime() > deviceTime, time == 0);
    EXPECT_GT(interactor->GetMTime(), interactorTime);
  }
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

  // Disabled: nothing fires, values are still stored.
  interactor->Disable();
  interactor->SetTDxEventInformation(4, 5, 6, 1.0, 1, 0, 0, 7);
  interactor->TDxMotionEvent();
  interactor->TDxButtonPressEvent();
  interactor->TDxButtonReleaseEvent();
  EXPECT_EQ(recorder.Events.size(), 3u);
  ORVI_EXPECT_VEC3_NEAR(device->GetTranslation(), 4.0, 5.0, 6.0, 0.0);
  EXPECT_EQ(device->GetButton(), 7.0);
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

  // A disabled interactor leaves the camera where it is.
  interactor->Disable();
  interactor->TDxMotionEvent();
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), -1.0, 0.0, 10.0, 1e-9);
}
