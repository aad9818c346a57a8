// The area pickers on a plane of 1000 x 1000 cells (one million quads)
// filling an 800 x 600 window under a parallel camera, picking the central
// quarter of the window.
//
// FrustumPick: vtkFrustumSelectionPicker's AreaPick + GetSelection (points
// then cells) against plain VTK doing the same: the frustum corners,
// vtkSelectionSource, the renderer's PickProp for the props under the
// rectangle, vtkConvertSelection for the cell ids and vtkExtractSelection
// of a point frustum for the point ids (vtkConvertSelection gives no point
// ids for a frustum on VTK 9.1).
// FrustumPickCells: the same with cells only (vtkConvertSelection alone).
// FrustumConvert: the conversion of one frustum into point and cell ids
// alone, without the renderer's PickProp, which dominates the two above.
// VisiblePick: vtkVisibleSelectionPicker's AreaPick + GetSelection (points
// then cells) against a bare vtkHardwareSelector::Select on the same
// rectangle.
#include "vtkFrustumSelectionPicker.h"
#include "vtkVisibleSelectionPicker.h"

#include "vtkActor.h"
#include "vtkCamera.h"
#include "vtkConvertSelection.h"
#include "vtkExtractSelection.h"
#include "vtkHardwareSelector.h"
#include "vtkIdTypeArray.h"
#include "vtkInformation.h"
#include "vtkNew.h"
#include "vtkPlaneSource.h"
#include "vtkPointData.h"
#include "vtkPolyDataMapper.h"
#include "vtkPropCollection.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkSelection.h"
#include "vtkSelectionNode.h"
#include "vtkSelectionSource.h"
#include "vtkSmartPointer.h"
#include "vtkUnstructuredGrid.h"

#include <benchmark/benchmark.h>

namespace
{
constexpr double X0 = 200.0, Y0 = 150.0, X1 = 600.0, Y1 = 450.0;

struct BigScene
{
  BigScene()
  {
    this->Plane->SetOrigin(0.0, 0.0, 0.0);
    this->Plane->SetPoint1(8.0, 0.0, 0.0);
    this->Plane->SetPoint2(0.0, 6.0, 0.0);
    this->Plane->SetResolution(1000, 1000);
    this->Plane->Update();
    this->Mapper->SetInputConnection(this->Plane->GetOutputPort());
    this->Actor->SetMapper(this->Mapper);
    this->Renderer->AddActor(this->Actor);
    this->Window->SetSize(800, 600);
    this->Window->SetMultiSamples(0);
    this->Window->AddRenderer(this->Renderer);
    vtkCamera* camera = this->Renderer->GetActiveCamera();
    camera->ParallelProjectionOn();
    camera->SetFocalPoint(4.0, 3.0, 0.0);
    camera->SetPosition(4.0, 3.0, 10.0);
    camera->SetViewUp(0.0, 1.0, 0.0);
    camera->SetParallelScale(3.0);
    camera->SetClippingRange(1.0, 20.0);
    this->Window->Render();
  }

  vtkNew<vtkPlaneSource> Plane;
  vtkNew<vtkPolyDataMapper> Mapper;
  vtkNew<vtkActor> Actor;
  vtkNew<vtkRenderer> Renderer;
  vtkNew<vtkRenderWindow> Window;
};

BigScene& Scene()
{
  static BigScene scene;
  return scene;
}

void FrustumCorners(vtkRenderer* renderer, double frustum[32])
{
  const double display[8][3] = { { X0, Y0, 0 },
    { X0, Y0, 1 },
    { X0, Y1, 0 },
    { X0, Y1, 1 },
    { X1, Y0, 0 },
    { X1, Y0, 1 },
    { X1, Y1, 0 },
    { X1, Y1, 1 } };
  for (int i = 0; i < 8; ++i)
  {
    renderer->SetDisplayPoint(display[i][0], display[i][1], display[i][2]);
    renderer->DisplayToWorld();
    renderer->GetWorldPoint(frustum + 4 * i);
  }
}

// Plain VTK: the ids of one field inside the frustum of each picked prop.
vtkIdType PlainFrustumSelection(bool points)
{
  BigScene& scene = Scene();
  double frustum[32];
  FrustumCorners(scene.Renderer, frustum);
  vtkNew<vtkSelectionSource> cellSource;
  cellSource->SetFieldType(vtkSelectionNode::CELL);
  cellSource->SetContentType(vtkSelectionNode::FRUSTUM);
  cellSource->SetFrustum(frustum);
  cellSource->Update();
  vtkIdType total = 0;
  if (!scene.Renderer->PickProp(X0, Y0, X1, Y1))
  {
    return total;
  }
  vtkPropCollection* props = scene.Renderer->GetPickResultProps();
  for (int i = 0; i < props->GetNumberOfItems(); ++i)
  {
    auto* actor = vtkActor::SafeDownCast(props->GetItemAsObject(i));
    vtkDataSet* data = actor ? actor->GetMapper()->GetInput() : nullptr;
    if (!data)
    {
      continue;
    }
    if (points)
    {
      vtkNew<vtkSelectionSource> pointSource;
      pointSource->SetFieldType(vtkSelectionNode::POINT);
      pointSource->SetContentType(vtkSelectionNode::FRUSTUM);
      pointSource->SetContainingCells(0);
      pointSource->SetFrustum(frustum);
      vtkNew<vtkExtractSelection> extract;
      extract->SetInputData(0, data);
      extract->SetInputConnection(1, pointSource->GetOutputPort());
      extract->Update();
      auto* grid = vtkUnstructuredGrid::SafeDownCast(extract->GetOutput());
      auto* ids = grid
        ? vtkIdTypeArray::SafeDownCast(grid->GetPointData()->GetArray("vtkOriginalPointIds"))
        : nullptr;
      total += ids ? ids->GetNumberOfTuples() : 0;
    }
    vtkNew<vtkSelection> single;
    single->AddNode(cellSource->GetOutput()->GetNode(0));
    vtkSmartPointer<vtkSelection> cells;
    cells.TakeReference(vtkConvertSelection::ToSelectionType(
      single, data, vtkSelectionNode::INDICES, nullptr, vtkSelectionNode::CELL));
    total += cells->GetNode(0)->GetSelectionList()->GetNumberOfTuples();
  }
  return total;
}

vtkIdType CountIds(vtkSelection* selection)
{
  vtkIdType total = 0;
  for (unsigned int i = 0; i < selection->GetNumberOfNodes(); ++i)
  {
    total += selection->GetNode(i)->GetSelectionList()->GetNumberOfTuples();
  }
  return total;
}

void FrustumPickVtk(benchmark::State& state)
{
  for (auto _ : state)
  {
    benchmark::DoNotOptimize(PlainFrustumSelection(true));
  }
  state.counters["ids"] = static_cast<double>(PlainFrustumSelection(true));
}

void FrustumPickCellsVtk(benchmark::State& state)
{
  for (auto _ : state)
  {
    benchmark::DoNotOptimize(PlainFrustumSelection(false));
  }
  state.counters["ids"] = static_cast<double>(PlainFrustumSelection(false));
}

void FrustumPickOrvi(benchmark::State& state, int association)
{
  BigScene& scene = Scene();
  vtkNew<vtkFrustumSelectionPicker> picker;
  picker->AddPickList(scene.Actor);
  picker->SetFieldAssociation(association);
  vtkSelectionPicker* base = picker;
  vtkIdType ids = 0;
  for (auto _ : state)
  {
    picker->AreaPick(X0, Y0, X1, Y1, scene.Renderer);
    ids = CountIds(base->GetSelection());
    benchmark::DoNotOptimize(ids);
  }
  state.counters["ids"] = static_cast<double>(ids);
}

void VisiblePickVtk(benchmark::State& state)
{
  BigScene& scene = Scene();
  vtkNew<vtkHardwareSelector> selector;
  selector->SetFieldAssociation(vtkDataObject::FIELD_ASSOCIATION_CELLS);
  vtkIdType ids = 0;
  for (auto _ : state)
  {
    selector->SetArea(static_cast<unsigned int>(X0),
      static_cast<unsigned int>(Y0),
      static_cast<unsigned int>(X1),
      static_cast<unsigned int>(Y1));
    selector->SetRenderer(scene.Renderer);
    vtkSmartPointer<vtkSelection> selection;
    selection.TakeReference(selector->Select());
    ids = CountIds(selection);
    benchmark::DoNotOptimize(ids);
  }
  state.counters["ids"] = static_cast<double>(ids);
}

void VisiblePickOrvi(benchmark::State& state)
{
  BigScene& scene = Scene();
  vtkNew<vtkVisibleSelectionPicker> picker;
  vtkSelectionPicker* base = picker;
  vtkIdType ids = 0;
  for (auto _ : state)
  {
    picker->AreaPick(X0, Y0, X1, Y1, scene.Renderer);
    ids = CountIds(base->GetSelection());
    benchmark::DoNotOptimize(ids);
  }
  state.counters["ids"] = static_cast<double>(ids);
}
// The conversion alone, for one frustum already computed: plain VTK's
// vtkConvertSelection (cells) and vtkExtractSelection (points) against the
// frustum picker's GetSelection after one AreaPick.
void FrustumConvertVtk(benchmark::State& state)
{
  BigScene& scene = Scene();
  double frustum[32];
  FrustumCorners(scene.Renderer, frustum);
  vtkNew<vtkSelectionSource> cellSource;
  cellSource->SetFieldType(vtkSelectionNode::CELL);
  cellSource->SetContentType(vtkSelectionNode::FRUSTUM);
  cellSource->SetFrustum(frustum);
  cellSource->Update();
  vtkNew<vtkSelectionSource> pointSource;
  pointSource->SetFieldType(vtkSelectionNode::POINT);
  pointSource->SetContentType(vtkSelectionNode::FRUSTUM);
  pointSource->SetContainingCells(0);
  pointSource->SetFrustum(frustum);
  vtkDataSet* data = scene.Mapper->GetInput();
  vtkIdType total = 0;
  for (auto _ : state)
  {
    vtkNew<vtkExtractSelection> extract;
    extract->SetInputData(0, data);
    extract->SetInputConnection(1, pointSource->GetOutputPort());
    extract->Update();
    auto* grid = vtkUnstructuredGrid::SafeDownCast(extract->GetOutput());
    total = grid->GetPointData()->GetArray("vtkOriginalPointIds")->GetNumberOfTuples();
    vtkNew<vtkSelection> single;
    single->AddNode(cellSource->GetOutput()->GetNode(0));
    vtkSmartPointer<vtkSelection> cells;
    cells.TakeReference(vtkConvertSelection::ToSelectionType(
      single, data, vtkSelectionNode::INDICES, nullptr, vtkSelectionNode::CELL));
    total += cells->GetNode(0)->GetSelectionList()->GetNumberOfTuples();
    benchmark::DoNotOptimize(total);
  }
  state.counters["ids"] = static_cast<double>(total);
}

void FrustumConvertOrvi(benchmark::State& state)
{
  BigScene& scene = Scene();
  vtkNew<vtkFrustumSelectionPicker> picker;
  picker->AddPickList(scene.Actor);
  vtkSelectionPicker* base = picker;
  picker->AreaPick(X0, Y0, X1, Y1, scene.Renderer);
  vtkIdType ids = 0;
  for (auto _ : state)
  {
    ids = CountIds(base->GetSelection());
    benchmark::DoNotOptimize(ids);
  }
  state.counters["ids"] = static_cast<double>(ids);
}

// The visible picker's GetSelection alone (points derived from the cells of
// one pick), without a baseline: the part of VisiblePick that is not the
// hardware selection.
void VisibleGetSelectionOrvi(benchmark::State& state)
{
  BigScene& scene = Scene();
  vtkNew<vtkVisibleSelectionPicker> picker;
  vtkSelectionPicker* base = picker;
  picker->AreaPick(X0, Y0, X1, Y1, scene.Renderer);
  vtkIdType ids = 0;
  for (auto _ : state)
  {
    ids = CountIds(base->GetSelection());
    benchmark::DoNotOptimize(ids);
  }
  state.counters["ids"] = static_cast<double>(ids);
}
} // namespace

BENCHMARK(FrustumPickVtk)->Name("FrustumPick/Vtk")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FrustumPickOrvi, points_then_cells, 3)
  ->Name("FrustumPick/Orvi")
  ->Unit(benchmark::kMillisecond);
BENCHMARK(FrustumPickCellsVtk)->Name("FrustumPickCells/Vtk")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FrustumPickOrvi, cells, 1)
  ->Name("FrustumPickCells/Orvi")
  ->Unit(benchmark::kMillisecond);
BENCHMARK(FrustumConvertVtk)->Name("FrustumConvert/Vtk")->Unit(benchmark::kMillisecond);
BENCHMARK(FrustumConvertOrvi)->Name("FrustumConvert/Orvi")->Unit(benchmark::kMillisecond);
BENCHMARK(VisiblePickVtk)->Name("VisiblePick/Vtk")->Unit(benchmark::kMillisecond);
BENCHMARK(VisiblePickOrvi)->Name("VisiblePick/Orvi")->Unit(benchmark::kMillisecond);

BENCHMARK(VisibleGetSelectionOrvi)->Name("VisibleGetSelection/Orvi")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
