// A frame of a window showing one colour legend: vtkColorTableLegendActor
// against VTK's vtkScalarBarActor with the same settings (vertical, 64
// colours, 5 labels, a title, fixed font sizes, a frame). LegendFrame renders
// a frame in which nothing changed; LegendRebuild changes the lookup table's
// range before each frame, so the legend is laid out again.
#include "vtkColorTableLegendActor.h"

#include "vtkCoordinate.h"
#include "vtkLookupTable.h"
#include "vtkNew.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkScalarBarActor.h"
#include "vtkTextProperty.h"

#include <benchmark/benchmark.h>

namespace
{
// One window for the whole run: a window per case would open and close an X
// connection each time, and Xvfb (without -noreset) resets when its last
// client leaves, refusing the next window for a moment.
vtkRenderWindow* SharedWindow()
{
  static vtkNew<vtkRenderWindow> window;
  window->SetSize(400, 500);
  window->SetMultiSamples(0);
  return window;
}

template <class LegendType>
struct LegendWindow
{
  LegendWindow()
  {
    this->Table->SetRange(0.0, 1.0);
    this->Table->SetHueRange(0.667, 0.0);
    this->Table->Build();
    this->Legend->SetLookupTable(this->Table);
    this->Legend->SetOrientationToVertical();
    this->Legend->SetMaximumNumberOfColors(64);
    this->Legend->SetNumberOfLabels(5);
    this->Legend->SetTitle("Stress");
    this->Legend->DrawFrameOn();
    this->Legend->GetPositionCoordinate()->SetCoordinateSystemToViewport();
    this->Legend->GetPositionCoordinate()->SetValue(50, 50);
    this->Legend->GetPosition2Coordinate()->SetCoordinateSystemToViewport();
    this->Legend->GetPosition2Coordinate()->SetValue(200, 400);
    this->Legend->GetTitleTextProperty()->SetFontSize(12);
    this->Legend->GetLabelTextProperty()->SetFontSize(12);
    this->Renderer->AddActor2D(this->Legend);
    this->Window->AddRenderer(this->Renderer);
    this->Window->Render();
  }
  ~LegendWindow() { this->Window->RemoveRenderer(this->Renderer); }
  LegendWindow(const LegendWindow&) = delete;
  LegendWindow& operator=(const LegendWindow&) = delete;

  vtkNew<vtkLookupTable> Table;
  vtkNew<LegendType> Legend;
  vtkNew<vtkRenderer> Renderer;
  vtkRenderWindow* Window = SharedWindow();
};

template <class LegendType>
void LegendFrame(benchmark::State& state)
{
  LegendWindow<LegendType> w;
  for (auto _ : state)
  {
    w.Window->Render();
  }
}

template <class LegendType>
void LegendRebuild(benchmark::State& state)
{
  LegendWindow<LegendType> w;
  int step = 0;
  for (auto _ : state)
  {
    w.Table->SetRange(0.0, 1.0 + (++step % 2));
    w.Window->Render();
  }
}
} // namespace

BENCHMARK_TEMPLATE(LegendFrame, vtkScalarBarActor)->Name("LegendFrame/Vtk");
BENCHMARK_TEMPLATE(LegendFrame, vtkColorTableLegendActor)->Name("LegendFrame/Orvi");
BENCHMARK_TEMPLATE(LegendRebuild, vtkScalarBarActor)->Name("LegendRebuild/Vtk");
BENCHMARK_TEMPLATE(LegendRebuild, vtkColorTableLegendActor)->Name("LegendRebuild/Orvi");

BENCHMARK_MAIN();
