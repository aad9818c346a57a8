#include "vtkTDxSimpleDevice.h"

#include "vtkNew.h"

#include <gtest/gtest.h>

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
