// What the filters' tests share to look at their pictures: a snapshot of a
// scene's window, written where the test's pictures go, and the pixels two
// snapshots differ in.
#ifndef orviFilterTestScene_h
#define orviFilterTestScene_h

#include "orviTestUtils.h"

#include "vtkPNGWriter.h"
#include "vtkWindowToImageFilter.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace orvi_test
{

/// Renders the scene, writes the picture to ORVI_TEST_OUTPUT_DIR/name.png
/// and returns its pixels.
inline std::unique_ptr<Frame> Snapshot(Scene& scene, const std::string& name)
{
  scene.Window->Render();
  std::filesystem::create_directories(ORVI_TEST_OUTPUT_DIR);
  vtkNew<vtkWindowToImageFilter> grab;
  grab->SetInput(scene.Window);
  grab->ReadFrontBufferOff();
  vtkNew<vtkPNGWriter> png;
  png->SetInputConnection(grab->GetOutputPort());
  png->SetFileName((std::string(ORVI_TEST_OUTPUT_DIR) + "/" + name + ".png").c_str());
  png->Write();
  return std::make_unique<Frame>(scene.Window);
}

/// The pixels of a whose colour differs from b's by more than tolerance
/// (the sum over red, green and blue).
inline int Differing(const Frame& a, const Frame& b, int tolerance)
{
  return a.Count(
    [&](const std::array<int, 3>& rgb, int x, int y)
    {
      const std::array<int, 3> other = b.At(x, y);
      return std::abs(rgb[0] - other[0]) + std::abs(rgb[1] - other[1]) +
        std::abs(rgb[2] - other[2]) >
        tolerance;
    });
}

} // namespace orvi_test

#endif
