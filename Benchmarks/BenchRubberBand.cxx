// The rubber band of vtkMervoInteractor against rendering, in one 1280 x 1024
// window showing about one million triangles: one BoxSelect() per mouse
// move (BandDraw/Orvi) against one full Render() of the scene (BandDraw/Render),
// the redraw a band drawn by rendering would cost. Both wait for the drawing
// to complete before the next iteration. Both end in the same buffer swap,
// which on a software OpenGL is a large share of either; the BandWorkNoSwap
// pair shows the two without it.
#include "vtkMervoInteractor.h"

#include "vtkActor.h"
#include "vtkGenericRenderWindowInteractor.h"
#include "vtkNew.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkSphereSource.h"

#include <benchmark/benchmark.h>

namespace
{
struct Scene
{
  Scene()
  {
    // 1000 x 500 sphere: 2 x 1000 x 498 + 2 x 1000 = 998000 triangles.
    this->Sphere->SetThetaResolution(1000);
    this->Sphere->SetPhiResolution(500);
    this->Sphere->Update();
    this->Mapper->SetInputConnection(this->Sphere->GetOutputPort());
    this->Actor->SetMapper(this->Mapper);
    this->Renderer->AddActor(this->Actor);
    this->Renderer->SetBackground(0.2, 0.3, 0.4);
    this->Window->SetSize(1280, 1024);
    this->Window->SetMultiSamples(0);
    this->Window->AddRenderer(this->Renderer);
    this->Interactor->SetRenderWindow(this->Window);
    this->Interactor->SetInteractorStyle(this->Navigator);
    this->Interactor->Initialize();
    this->Window->Render();
  }

  vtkIdType Triangles() { return this->Sphere->GetOutput()->GetNumberOfPolys(); }

  vtkNew<vtkSphereSource> Sphere;
  vtkNew<vtkPolyDataMapper> Mapper;
  vtkNew<vtkActor> Actor;
  vtkNew<vtkRenderer> Renderer;
  vtkNew<vtkRenderWindow> Window;
  vtkNew<vtkGenericRenderWindowInteractor> Interactor;
  vtkNew<vtkMervoInteractor> Navigator;
};

Scene& TheScene()
{
  static Scene scene;
  return scene;
}

void BandDrawVtk(benchmark::State& state)
{
  Scene& scene = TheScene();
  for (auto _ : state)
  {
    scene.Window->Render();
    scene.Window->WaitForCompletion();
  }
  state.counters["triangles"] = static_cast<double>(scene.Triangles());
}

void BandDrawOrvi(benchmark::State& state)
{
  Scene& scene = TheScene();
  scene.Window->Render();
  scene.Interactor->SetEventInformation(200, 150);
  scene.Navigator->StartBoxZoom();
  int step = 0;
  for (auto _ : state)
  {
    // The pointer wanders over most of the window, as in a real drag.
    step = (step + 1) % 64;
    scene.Interactor->SetEventInformation(300 + 14 * step, 250 + 11 * step);
    scene.Navigator->BoxSelect();
    scene.Window->WaitForCompletion();
  }
  scene.Navigator->EndBoxZoom();
  state.counters["triangles"] = static_cast<double>(scene.Triangles());
}

// The same pair with buffer swaps off: Frame() then shows nothing, and what
// is left is the drawing work itself (for the band: the copy of the
// snapshot, the outline and the pixel upload; for VTK: the rasterisation),
// without the swap that both share.
void BandWorkVtk(benchmark::State& state)
{
  TheScene().Window->SwapBuffersOff();
  BandDrawVtk(state);
  TheScene().Window->SwapBuffersOn();
}

void BandWorkOrvi(benchmark::State& state)
{
  TheScene().Window->SwapBuffersOff();
  BandDrawOrvi(state);
  TheScene().Window->SwapBuffersOn();
}
} // namespace

BENCHMARK(BandDrawVtk)->Name("BandDraw/Render")->Unit(benchmark::kMillisecond);
BENCHMARK(BandDrawOrvi)->Name("BandDraw/Orvi")->Unit(benchmark::kMillisecond);
BENCHMARK(BandWorkVtk)->Name("BandWorkNoSwap/Render")->Unit(benchmark::kMillisecond);
BENCHMARK(BandWorkOrvi)->Name("BandWorkNoSwap/Orvi")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
