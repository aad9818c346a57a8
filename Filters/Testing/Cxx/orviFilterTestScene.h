// What the filters' and the stand-in's tests share to look at their
// pictures: a frame written to a PNG file, a snapshot of a scene's window
// written where the test's pictures go, and the pixels two frames differ in.
#ifndef orviFilterTestScene_h
#define orviFilterTestScene_h

#include "orviTestUtils.h"

#include "vtkImageData.h"
#include "vtkPNGWriter.h"
#include "vtkPointData.h"
#include "vtkProperty.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace orvi_test
{

/// Writes a frame's colours to a PNG file, to be looked at.
inline void WritePng(const Frame& frame, const std::string& path)
{
  // Red, green and blue only: a window's background may have alpha 0.
  vtkNew<vtkUnsignedCharArray> rgb;
  rgb->SetNumberOfComponents(3);
  for (int i = 0; i < frame.Width * frame.Height; ++i)
  {
    for (int value : frame.At(i % frame.Width, i / frame.Width))
    {
      rgb->InsertNextValue(static_cast<unsigned char>(value));
    }
  }
  vtkNew<vtkImageData> image;
  image->SetDimensions(frame.Width, frame.Height, 1);
  image->GetPointData()->SetScalars(rgb);
  vtkNew<vtkPNGWriter> png;
  png->SetInputData(image);
  png->SetFileName(path.c_str());
  png->Write();
}

/// Renders the scene, writes the picture to ORVI_TEST_OUTPUT_DIR/name.png
/// and returns its pixels.
inline std::unique_ptr<Frame> Snapshot(Scene& scene, const std::string& name)
{
  scene.Window->Render();
  auto frame = std::make_unique<Frame>(scene.Window);
  std::filesystem::create_directories(ORVI_TEST_OUTPUT_DIR);
  WritePng(*frame, std::string(ORVI_TEST_OUTPUT_DIR) + "/" + name + ".png");
  return frame;
}

/// The scene's camera, a new one, reset on bounds, turned by azimuth and
/// elevation degrees, reset again and moved in by dolly.
inline void LookAtBounds(Scene& scene,
  const double bounds[6],
  double azimuth,
  double elevation,
  double dolly = 1)
{
  scene.Renderer->SetActiveCamera(vtkNew<vtkCamera>());
  scene.Renderer->ResetCamera(bounds);
  scene.Camera()->Azimuth(azimuth);
  scene.Camera()->Elevation(elevation);
  scene.Camera()->OrthogonalizeViewUp();
  scene.Renderer->ResetCamera(bounds);
  scene.Camera()->Dolly(dolly);
  scene.Renderer->ResetCameraClippingRange(bounds);
}

/// The pixels a poly data or an algorithm's output covers, drawn unlit
/// alone: flat white, or coloured by a cell array over the given range.
inline std::unique_ptr<Frame> ShowUnlit(Scene& scene,
  vtkDataObject* poly,
  vtkAlgorithm* source,
  const std::string& name,
  const char* cellArray = nullptr,
  const double* range = nullptr)
{
  vtkNew<vtkPolyDataMapper> mapper;
  source ? mapper->SetInputConnection(source->GetOutputPort()) : mapper->SetInputDataObject(poly);
  mapper->SetScalarVisibility(cellArray != nullptr);
  mapper->SetScalarModeToUseCellFieldData();
  mapper->SelectColorArray(cellArray);
  if (range)
  {
    mapper->SetScalarRange(range);
  }
  vtkNew<vtkActor> actor;
  actor->SetMapper(mapper);
  actor->GetProperty()->LightingOff();
  scene.Renderer->RemoveAllViewProps();
  scene.Renderer->AddActor(actor);
  return Snapshot(scene, name);
}

/// The pixels of a whose colour differs from b's by more than tolerance
/// (the sum over red, green and blue).
inline int Differing(const Frame& a, const Frame& b, int tolerance = 0)
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
