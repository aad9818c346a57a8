// vtkSimpleRenderWindowInteractor's 3D-mouse reports: stored, fired as VTK
// events to observers and the installed style, refused when not finite; and
// the device vtkTDxSimpleDevice that stores them.
#include "vtkSimpleRenderWindowInteractor.h"
#include "vtkTDxSimpleDevice.h"

#include "orviTestUtils.h"

#include "vtkCatiaInteractor.h"
#include "vtkTDxMotionEventInfo.h"

#include <limits>

namespace
{
// Writes each 3D-mouse event as its name and the values it carries, a line each.
void Record(vtkObject*, unsigned long event, void* clientData, void* callData)
{
  auto& out = *static_cast<std::ostringstream*>(clientData);
  out << vtkCommand::GetStringFromEventId(event);
  if (event == vtkCommand::TDxMotionEvent)
  {
    const auto* m = static_cast<vtkTDxMotionEventInfo*>(callData);
    for (double v : { m->X, m->Y, m->Z, m->Angle, m->AxisX, m->AxisY, m->AxisZ })
    {
      out << " " << v;
    }
  }
  else
  {
    out << " " << *static_cast<int*>(callData);
  }
  out << "\n";
}
} // namespace

// Storing a report fires nothing and marks the interactor modified; each
// event carries the stored values; a disabled interactor fires nothing but
// still stores.
TEST(SimpleRenderWindowInteractor, ReportsReachObserversAsVtkEvents)
{
  vtkNew<vtkSimpleRenderWindowInteractor> interactor;
  std::ostringstream seen;
  vtkNew<vtkCallbackCommand> command;
  command->SetCallback(Record);
  command->SetClientData(&seen);
  using C = vtkCommand;
  for (auto event : { C::TDxMotionEvent, C::TDxButtonPressEvent, C::TDxButtonReleaseEvent })
  {
    interactor->AddObserver(event, command);
  }
  const vtkMTimeType before = interactor->GetMTime();
  interactor->SetTDxEventInformation(1, 2, 3, 0.5, 0, 1, 0, 3);
  EXPECT_GT(interactor->GetMTime(), before);
  for (bool enabled : { true, false, true })
  {
    enabled ? interactor->Enable() : interactor->Disable();
    interactor->TDxMotionEvent();
    interactor->TDxButtonPressEvent();
    interactor->TDxButtonReleaseEvent();
    interactor->SetTDxEventInformation(4, 5, 6, 1.0, 1, 0, 0, enabled ? 9 : 7);
  }
  EXPECT_EQ(seen.str(),
    "TDxMotionEvent 1 2 3 0.5 0 1 0\nTDxButtonPressEvent 3\nTDxButtonReleaseEvent 3\n"
    "TDxMotionEvent 4 5 6 1 1 0 0\nTDxButtonPressEvent 7\nTDxButtonReleaseEvent 7\n");
}

// The whole road: report, interactor event, the navigator's focal-point
// 3D-mouse style, one render; reports whose values are not finite are
// refused with a warning each; a disabled interactor moves nothing.
TEST(SimpleRenderWindowInteractor, MotionReportMovesTheCameraThroughTheFocalPointStyle)
{
  orvi_test::Scene scene(300, 300);
  vtkNew<vtkSimpleRenderWindowInteractor> interactor;
  interactor->SetRenderWindow(scene.Window);
  vtkNew<vtkCatiaInteractor> style;
  interactor->SetInteractorStyle(style);
  interactor->Initialize();
  // VTK hands the event on with the style's current renderer.
  style->SetCurrentRenderer(scene.Renderer);
  orvi_test::LookDownZ(scene.Camera(), 10);
  scene.Window->Render();
  orvi_test::EventRecorder renders(scene.Window, vtkCommand::EndEvent);
  orvi_test::EventRecorder warnings(interactor, vtkCommand::WarningEvent);
  orvi_test::EventRecorder motion(interactor, vtkCommand::TDxMotionEvent);
  // X = 25.6 with sensitivity -1/256 pans by -0.1 of the distance.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::array<double, 7> reports[] = { { 25.6, 0, 0, 0, 0, 0, 0 },
    { nan, 0, 0, 0, 0, 0, 1 },
    { 0, 0, inf, 0, 0, 0, 1 },
    { 0, 0, 0, nan, 0, 1, 0 },
    { 0, 0, 0, 10, 0, -inf, 0 } };
  for (const auto& r : reports)
  {
    interactor->SetTDxEventInformation(r[0], r[1], r[2], r[3], r[4], r[5], r[6], 0);
    interactor->TDxMotionEvent();
  }
  interactor->SetTDxEventInformation(25.6, 0, 0, 0, 0, 0, 0, 0);
  interactor->Disable();
  interactor->TDxMotionEvent();
  // One event, rendered once; four refusals.
  EXPECT_EQ((std::array{ motion.Count, renders.Count, warnings.Count }), (std::array{ 1, 1, 4 }));
  EXPECT_TRUE(warnings.Saw("3D-mouse report with a value that is not a finite number "
                           "ignored: translation (nan, 0, 0), angle 0, axis (0, 0, 1)"));
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetPosition(), -1.0, 0.0, 10.0, 1e-9);
  ORVI_EXPECT_VEC3_NEAR(scene.Camera()->GetFocalPoint(), -1.0, 0.0, 0.0, 1e-9);
}

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
