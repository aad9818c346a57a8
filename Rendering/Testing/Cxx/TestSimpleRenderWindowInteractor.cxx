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
  EXPECT_STREQ(device->GetClassName(), "vtkTDxSimpleDevice");
  EXPECT_TRUE(device->IsA("vtkTDxDevice"));
  EXPECT_TRUE(device->IsA("vtkObject"));
  vtkSmartPointer<vtkTDxSimpleDevice> other;
  other.TakeReference(device->NewInstance());
  EXPECT_STREQ(other->GetClassName(), "vtkTDxSimpleDevice");
  EXPECT_EQ(vtkTDxSimpleDevice::SafeDownCast(static_cast<vtkTDxDevice*>(device)), device.Get());

  ORVI_EXPECT_VEC3_NEAR(device->GetTranslation(), 0.0, 0.0, 0.0, 0.0);
  ORVI_EXPECT_VEC3_NEAR(device->GetAxis(), 0.0, 0.0, 0.0, 0.0);
  EXPECT_EQ(device->GetAngle(), 0.0);
  EXPECT_EQ(device->GetButton(), 0.0);
  EXPECT_FALSE(device->GetInitialized());

  device->SetTranslation(1, 2, 4);
  vtkMTimeType t = device->GetMTime();
  device->SetTranslation(1, 2, 3); // one component differs: one Modified()
  EXPECT_EQ(device->GetMTime(), t + 1);
  ORVI_EXPECT_VEC3_NEAR(device->GetTranslation(), 1.0, 2.0, 3.0, 0.0);
  device->SetTranslation(1, 2, 3);
  const double same[3] = { 1, 2, 3 };
  device->SetTranslation(same);
  EXPECT_EQ(device->GetMTime(), t + 1);
  double x, y, z;
  device->GetTranslation(x, y, z);
  EXPECT_EQ(z, 3.0);

  t = device->GetMTime();
  device->SetAxis(0, 0, 1);
  EXPECT_EQ(device->GetMTime(), t + 1);
  double axis[3];
  device->GetAxis(axis);
  EXPECT_EQ(axis[2], 1.0);

  t = device->GetMTime();
  device->SetButton(2.7); // stored truncated
  EXPECT_EQ(device->GetButton(), 2.0);
  EXPECT_EQ(device->GetMTime(), t + 1);
  device->SetButton(2.0);
  EXPECT_EQ(device->GetMTime(), t + 1);
  device->SetButton(2.7); // differs from 2: stored again as 2, Modified()
  EXPECT_EQ(device->GetMTime(), t + 2);
  device->SetButton(-1.5);
  EXPECT_EQ(device->GetButton(), -1.0);

  t = device->GetMTime();
  device->InitializedOn();
  EXPECT_TRUE(device->GetInitialized());
  EXPECT_EQ(device->GetMTime(), t + 1);
  device->Close(); // clears the flag without Modified()
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
  // interactor is marked modified both times.
  vtkTDxSimpleDevice* device = interactor->GetDevice();
  vtkMTimeType deviceTime = device->GetMTime();
  vtkMTimeType interactorTime = interactor->GetMTime();
  interactor->SetTDxEventInformation(1, 2, 3, 0.5, 0, 1, 0, 3);
  EXPECT_GT(device->GetMTime(), deviceTime);
  EXPECT_GT(interactor->GetMTime(), interactorTime);
  deviceTime = device->GetMTime();
  interactorTime = interactor->GetMTime();
  interactor->SetTDxEventInformation(1, 2, 3, 0.5, 0, 1, 0, 3);
  EXPECT_EQ(device->GetMTime(), deviceTime);
  EXPECT_GT(interactor->GetMTime(), interactorTime);
  EXPECT_TRUE(recorder.Events.empty()); // storing fires nothing

  interactor->TDxMotionEvent();
  interactor->TDxButtonPressEvent();
  interactor->TDxButtonReleaseEvent();
  ASSERT_EQ(recorder.Events.size(), 3u);
  EXPECT_EQ(recorder.Events[0], static_cast<unsigned long>(vtkCommand::TDxMotionEvent));
  EXPECT_EQ(recorder.Events[1], static_cast<unsigned long>(vtkCommand::TDxButtonPressEvent));
  EXPECT_EQ(recorder.Events[2], static_cast<unsigned long>(vtkCommand::TDxButtonReleaseEvent));
  EXPECT_EQ(recorder.Motion.X, 1.0);
  EXPECT_EQ(recorder.Motion.Y, 2.0);
  EXPECT_EQ(recorder.Motion.Z, 3.0);
  EXPECT_EQ(recorder.Motion.Angle, 0.5);
  EXPECT_EQ(recorder.Motion.AxisX, 0.0);
  EXPECT_EQ(recorder.Motion.AxisY, 1.0);
  EXPECT_EQ(recorder.Motion.AxisZ, 0.0);
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
  vtkTDxInteractorStyleSettings* settings = tdx->GetSettings();
  settings->SetAngleSensitivity(-0.03125);
  settings->SetTranslationXSensitivity(-0.00390625);
  settings->SetTranslationYSensitivity(-0.00390625);
  settings->SetTranslationZSensitivity(-0.00390625);
  style->SetTDxStyle(tdx);
  interactor->SetInteractorStyle(style);
  interactor->Initialize();
  // VTK hands the event on with the style's current renderer.
  style->SetCurrentRenderer(renderer);

  vtkCamera* camera = renderer->GetActiveCamera();
  camera->SetFocalPoint(0, 0, 0);
  camera->SetPosition(0, 0, 10);
  camera->SetViewUp(0, 1, 0);
  window->Render();

  // X = 25.6 with sensitivity -1/256 pans by -0.1 of the distance to the
  // right (world +x).
  interactor->SetTDxEventInformation(25.6, 0, 0, 0, 0, 0, 0, 0);
  interactor->TDxMotionEvent();
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), -1.0, 0.0, 10.0, 1e-9);
  ORVI_EXPECT_VEC3_NEAR(camera->GetFocalPoint(), -1.0, 0.0, 0.0, 1e-9);

  // A disabled interactor leaves the camera where it is.
  interactor->Disable();
  interactor->TDxMotionEvent();
  ORVI_EXPECT_VEC3_NEAR(camera->GetPosition(), -1.0, 0.0, 10.0, 1e-9);
}
