#include "orviViewer.h"

#include "orviBoundarySurface.h"
#include "orviColormap.h"
#include "orviViewerPart.h"

#include "vtkColorTableLegendActor.h"
#include "vtkKivMainPass.h"
#include "vtkMervoInteractor.h"
#include "vtkSimpleRenderWindowInteractor.h"

#include "vtkActor.h"
#include "vtkBoundingBox.h"
#include "vtkCallbackCommand.h"
#include "vtkCamera.h"
#include "vtkCellData.h"
#include "vtkDataSet.h"
#include "vtkDoubleArray.h"
#include "vtkJPEGWriter.h"
#include "vtkLookupTable.h"
#include "vtkNew.h"
#include "vtkPNGWriter.h"
#include "vtkPointData.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"
#include "vtkTextProperty.h"
#include "vtkWindowToImageFilter.h"

#include <algorithm>
#include <fstream>
#include <vector>

namespace orvi
{

namespace
{
// Whether an array's values (magnitudes, for vectors) are not all equal.
bool Varies(vtkDataArray* array)
{
  double range[2];
  array->GetRange(range, array->GetNumberOfComponents() == 1 ? 0 : -1);
  return range[1] > range[0];
}

vtkDataArray* ArrayOf(vtkDataSet* mesh, int field, const std::string& name)
{
  return field == 0 ? mesh->GetPointData()->GetArray(name.c_str())
                    : mesh->GetCellData()->GetArray(name.c_str());
}

// The array to colour by: the named one (in the given data, or points first,
// then cells), or the first scalar array whose values are not all equal; a
// constant array (such as the group ids VTK's OBJ reader adds) would paint
// the whole mesh in one colour under a legend of one value. Returns the
// field (0 points, 1 cells) or -1.
int FindArray(vtkDataSet* mesh, ArrayField which, std::string& name)
{
  if (!name.empty())
  {
    for (int field = 0; field < 2; ++field)
    {
      const bool wanted = which == ArrayField::Any ||
        (field == 0 ? which == ArrayField::Point : which == ArrayField::Cell);
      if (wanted && ArrayOf(mesh, field, name))
      {
        return field;
      }
    }
    return -1;
  }
  for (int field = 0; field < 2; ++field)
  {
    vtkFieldData* data = field == 0 ? static_cast<vtkFieldData*>(mesh->GetPointData())
                                    : static_cast<vtkFieldData*>(mesh->GetCellData());
    vtkDataArray* scalars =
      field == 0 ? mesh->GetPointData()->GetScalars() : mesh->GetCellData()->GetScalars();
    if (scalars && scalars->GetName() && Varies(scalars))
    {
      name = scalars->GetName();
      return field;
    }
    for (int i = 0; i < data->GetNumberOfArrays(); ++i)
    {
      vtkDataArray* array = data->GetArray(i);
      if (array && array->GetName() && array->GetNumberOfComponents() == 1 &&
        std::string(array->GetName()).rfind("vtk", 0) != 0 && Varies(array))
      {
        name = array->GetName();
        return field;
      }
    }
  }
  return -1;
}

// A point array of the height of each point along the up axis.
void AddElevation(vtkDataSet* mesh, const UpAxis& up, const std::string& name)
{
  vtkNew<vtkDoubleArray> height;
  height->SetName(name.c_str());
  height->SetNumberOfValues(mesh->GetNumberOfPoints());
  double point[3];
  for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
  {
    mesh->GetPoint(i, point);
    height->SetValue(i, up.Sign * point[up.Axis]);
  }
  mesh->GetPointData()->AddArray(height);
}

// Where the camera looks from, before the turn to the three-quarter view,
// for an up axis: the model's front, with its x axis (y for an x up) to the
// right.
void FrontView(const UpAxis& up, double position[3], double viewUp[3])
{
  for (int i = 0; i < 3; ++i)
  {
    position[i] = 0.0;
    viewUp[i] = i == up.Axis ? up.Sign : 0.0;
  }
  if (up.Axis == 2)
  {
    position[1] = -1.0; // looking along +y, x to the right
  }
  else
  {
    position[2] = 1.0; // looking along -z
  }
}
} // namespace

//------------------------------------------------------------------------------
Viewer::Viewer(const ViewerOptions& options, std::ostream& log)
  : Viewer(options, log, nullptr, nullptr)
{
}

//------------------------------------------------------------------------------
Viewer::Viewer(const ViewerOptions& options,
  std::ostream& log,
  vtkRenderWindow* window,
  vtkRenderWindowInteractor* interactor)
  : Options(options)
  , Log(log)
{
  vtkSmartPointer<vtkRenderWindowInteractor> ownInteractor = interactor;
  if (!ownInteractor)
  {
    const bool interactive = options.Screenshot.empty() && options.Script.empty();
    // Headless or scripted: a host toolkit's interactor, with no event loop
    // of its own; events are set by hand, and 3D-mouse reports come in
    // through it.
    if (interactive)
    {
      ownInteractor = vtkSmartPointer<vtkRenderWindowInteractor>::New();
    }
    else
    {
      ownInteractor = vtkSmartPointer<vtkSimpleRenderWindowInteractor>::New();
    }
  }
  vtkSmartPointer<vtkRenderWindow> ownWindow = window;
  this->HostWindow = window != nullptr;
  if (!ownWindow)
  {
    ownWindow = vtkSmartPointer<vtkRenderWindow>::New();
    ownWindow->SetSize(options.Width, options.Height);
    ownWindow->SetMultiSamples(0);
    ownWindow->SetWindowName("orvi-viewer");
  }
  this->Setup(ownWindow, ownInteractor);
}

//------------------------------------------------------------------------------
void Viewer::Setup(vtkRenderWindow* window, vtkRenderWindowInteractor* interactor)
{
  this->Interactor = interactor;
  this->TDxInteractor = vtkSimpleRenderWindowInteractor::SafeDownCast(interactor);
  window->AddRenderer(this->RendererObject);
  if (interactor->GetRenderWindow() != window)
  {
    interactor->SetRenderWindow(window);
  }

  this->RendererObject->GradientBackgroundOn();
  this->RendererObject->SetBackground(0.10, 0.11, 0.14);
  this->RendererObject->SetBackground2(0.30, 0.33, 0.40);

  // vtkKivMainPass draws the opaque props with their own polygon offsets.
  vtkKivMainPass::InstallOn(this->RendererObject);

  this->SetupNavigation();
}

//------------------------------------------------------------------------------
Viewer::~Viewer()
{
  this->Interactor->RemoveObserver(this->ButtonCommand);
  this->Interactor->RemoveObserver(this->PickCommand);
  this->Interactor->RemoveObserver(this->KeyCommand);
  this->Interactor->SetInteractorStyle(nullptr);
  if (this->HostWindow)
  {
    this->GetWindow()->RemoveRenderer(this->RendererObject);
  }
}

vtkRenderWindowInteractor* Viewer::GetInteractor() const
{
  return this->Interactor;
}

vtkRenderWindow* Viewer::GetWindow() const
{
  return this->Interactor->GetRenderWindow();
}

vtkRenderer* Viewer::GetRenderer() const
{
  return this->RendererObject;
}

//------------------------------------------------------------------------------
bool Viewer::SetMeshes(const std::vector<NamedMesh>& meshes, std::string& error)
{
  // The meshes shown before leave the renderer (their edges with them).
  for (const auto& part : this->Parts)
  {
    this->RendererObject->RemoveActor(part->SurfaceActor);
    this->RendererObject->RemoveActor(part->HighlightActor);
  }
  this->Parts.clear();
  this->RendererObject->RemoveActor2D(this->Legend);
  this->LastPickCount = 0;
  this->LastPickSummary.clear();

  for (const NamedMesh& named : meshes)
  {
    auto part = std::make_unique<Part>();
    part->Name = named.Name;
    part->Mesh = named.Mesh;
    part->Surface->SetInputData(named.Mesh);
    part->Surface->PassThroughCellIdsOn();
    part->Surface->SetLog(&this->Log);
    part->Surface->Update();

    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputConnection(part->Surface->GetOutputPort());
    mapper->ScalarVisibilityOff();
    part->SurfaceActor->SetMapper(mapper);
    part->SurfaceActor->GetProperty()->SetColor(0.75, 0.78, 0.82);
    this->RendererObject->AddActor(part->SurfaceActor);

    this->Parts.push_back(std::move(part));
  }
  if (!this->SetColouring(error))
  {
    return false;
  }

  this->ResetView();
  vtkBoundingBox bounds;
  for (const auto& part : this->Parts)
  {
    part->Edges.Attach(part->Surface->GetOutputPort(),
      part->Surface->GetOutput(),
      this->RendererObject,
      this->Options.Edges);
    // Picked cells, in a colour no lookup table above uses, pulled in front
    // of the surface they lie on.
    vtkNew<vtkPolyDataMapper> highlightMapper;
    highlightMapper->SetInputData(part->Highlight);
    highlightMapper->ScalarVisibilityOff();
    highlightMapper->SetRelativeCoincidentTopologyPolygonOffsetParameters(-2.0, -8.0);
    part->HighlightActor->SetMapper(highlightMapper);
    part->HighlightActor->GetProperty()->SetColor(1.0, 0.0, 1.0);
    part->HighlightActor->GetProperty()->LightingOff();
    part->HighlightActor->PickableOff();
    this->RendererObject->AddActor(part->HighlightActor);
    if (this->Options.Edges == EdgeMode::Auto)
    {
      // A host's window may not be shown yet: it has no pixels to measure.
      this->Log << "edges" << (this->Parts.size() > 1 ? " of " + part->Name : std::string())
                << ": auto, shown while the mean edge spans " << EdgeOverlay::MinimumEdgePixels
                << " pixels or more";
      if (this->RendererObject->GetSize()[1] > 0)
      {
        this->Log << " (now " << static_cast<int>(part->Edges.EdgePixels()) << ")";
      }
      this->Log << "\n";
    }
    bounds.AddBounds(part->Mesh->GetBounds());
  }

  this->MarkerScale = 0.02 * bounds.GetDiagonalLength();
  if (this->Mervo)
  {
    // The marker's radius is in world units: a small fraction of the model.
    this->Mervo->SetRotationMarkerScale(this->MarkerScale);
  }
  return true;
}

//------------------------------------------------------------------------------
bool Viewer::SetColouring(std::string& error)
{
  // The array is the one named, or the first one found, in the first mesh
  // that has one; every mesh holding it in the same data is coloured by it.
  std::string wanted = this->Options.ArrayName;
  if (this->Options.Elevation)
  {
    wanted = "elevation";
    for (const auto& part : this->Parts)
    {
      AddElevation(part->Mesh, this->Options.Up, wanted);
    }
  }
  std::string arrayName;
  int field = -1;
  for (const auto& part : this->Parts)
  {
    arrayName = wanted;
    field = FindArray(part->Mesh, this->Options.Field, arrayName);
    if (field >= 0)
    {
      break;
    }
  }
  if (field < 0)
  {
    if (!this->Options.ArrayName.empty())
    {
      const char* data = this->Options.Field == ArrayField::Point ? "point"
        : this->Options.Field == ArrayField::Cell                 ? "cell"
                                                                  : "point or cell";
      error = std::string(this->Parts.size() > 1 ? "no mesh has a " : "the mesh has no ") + data +
        " array named '" + this->Options.ArrayName + "'";
      return false;
    }
    if (this->Options.ColormapGiven || this->Options.RangeGiven)
    {
      error = "--colormap and --range colour by an array, but no mesh has a point or cell array "
              "whose values vary (name one with --array)";
      return false;
    }
    return true;
  }

  vtkBoundingBox values; // the range, as a box's x extent
  int coloured = 0;
  for (const auto& part : this->Parts)
  {
    if (vtkDataArray* array = ArrayOf(part->Mesh, field, arrayName))
    {
      double range[2];
      array->GetRange(range, array->GetNumberOfComponents() == 1 ? 0 : -1);
      values.AddPoint(range[0], 0.0, 0.0);
      values.AddPoint(range[1], 0.0, 0.0);
      ++coloured;
    }
  }
  double range[2] = { values.GetBound(0), values.GetBound(1) };
  if (this->Options.RangeGiven)
  {
    range[0] = this->Options.Range[0];
    range[1] = this->Options.Range[1];
  }
  vtkSmartPointer<vtkLookupTable> lut = MakeLookupTable(this->Options.Colors, range);
  for (const auto& part : this->Parts)
  {
    if (!ArrayOf(part->Mesh, field, arrayName))
    {
      continue;
    }
    vtkMapper* mapper = part->SurfaceActor->GetMapper();
    mapper->ScalarVisibilityOn();
    if (field == 0)
    {
      mapper->SetScalarModeToUsePointFieldData();
    }
    else
    {
      mapper->SetScalarModeToUseCellFieldData();
    }
    mapper->SelectColorArray(arrayName.c_str());
    mapper->SetLookupTable(lut);
    mapper->UseLookupTableScalarRangeOn();
  }

  if (this->Options.Legend)
  {
    // The legend's text keeps one size that follows the window's height
    // (fitted text grows huge for short labels and squeezes a long title),
    // its labels carry the digits the range needs, and its title is never
    // smaller than the labels: a long one is wrapped or shortened.
    this->Legend->SetLookupTable(lut);
    this->Legend->SetTitle(arrayName.c_str());
    this->Legend->AutoResizeTextOff();
    this->FitTextToWindow();
    this->Legend->AutomaticLabelFormatOn();
    this->Legend->ReadableTitleOn();
    this->Legend->SetNumberOfLabels(5);
    this->Legend->GetPositionCoordinate()->SetValue(0.86, 0.12);
    this->Legend->SetPosition2(0.12, 0.76);
    this->RendererObject->AddActor2D(this->Legend);
  }
  this->Log << "colouring by " << (field == 0 ? "point" : "cell") << " array '" << arrayName
            << "', range " << range[0] << " .. " << range[1] << ", "
            << ColormapName(this->Options.Colors);
  if (this->Parts.size() > 1)
  {
    this->Log << ", " << coloured << " of " << this->Parts.size() << " meshes";
  }
  this->Log << "\n";
  return true;
}

//------------------------------------------------------------------------------
void Viewer::FitTextToWindow()
{
  // The window's height once it has one (a host's widget may not be shown
  // yet), else the height asked for.
  const int height =
    this->GetWindow()->GetSize()[1] > 0 ? this->GetWindow()->GetSize()[1] : this->Options.Height;
  const int fontSize = std::max(12, height / 48);
  this->Legend->GetTitleTextProperty()->SetFontSize(fontSize);
  this->Legend->GetLabelTextProperty()->SetFontSize(fontSize);
}

//------------------------------------------------------------------------------
void Viewer::ResetView()
{
  vtkCamera* camera = this->RendererObject->GetActiveCamera();
  double position[3], viewUp[3];
  FrontView(this->Options.Up, position, viewUp);
  camera->SetFocalPoint(0.0, 0.0, 0.0);
  camera->SetPosition(position);
  camera->SetViewUp(viewUp);
  this->RendererObject->ResetCamera();
  camera->Azimuth(-35.0);
  camera->Elevation(30.0);
  camera->OrthogonalizeViewUp();
  this->RendererObject->ResetCamera();
  this->RendererObject->ResetCameraClippingRange();
}

//------------------------------------------------------------------------------
void Viewer::Render()
{
  this->GetWindow()->Render();
}

//------------------------------------------------------------------------------
bool Viewer::Screenshot(const std::string& path, bool rerender, std::string& error)
{
  if (rerender)
  {
    this->Render();
  }
  // The front buffer holds what is on screen, a rubber band drawn straight
  // into the pixels included.
  vtkNew<vtkWindowToImageFilter> grab;
  grab->SetInput(this->GetWindow());
  grab->ShouldRerenderOff();
  grab->ReadFrontBufferOn();
  grab->Update();
  if (!std::ofstream(path, std::ios::binary).good())
  {
    error = "cannot write screenshot '" + path + "'";
    return false;
  }
  vtkSmartPointer<vtkImageWriter> writer;
  if (IsJpegPath(path))
  {
    writer = vtkSmartPointer<vtkJPEGWriter>::New();
  }
  else
  {
    writer = vtkSmartPointer<vtkPNGWriter>::New();
  }
  writer->SetInputConnection(grab->GetOutputPort());
  writer->SetFileName(path.c_str());
  writer->Write();
  this->Log << "wrote " << path << "\n";
  return true;
}

//------------------------------------------------------------------------------
void Viewer::Start()
{
  this->Render();
  this->Interactor->Start();
}

//------------------------------------------------------------------------------
bool Viewer::SendTDx(const double values[7], std::string& error)
{
  if (!this->TDxInteractor)
  {
    error = "3D-mouse reports need the host interactor (run with --script)";
    return false;
  }
  // VTK hands the report to the 3D-mouse style together with the style's
  // current renderer; a host driving only the 3D mouse sets it first.
  if (!this->Style->GetCurrentRenderer())
  {
    this->Style->SetCurrentRenderer(this->RendererObject);
  }
  this->TDxInteractor->SetTDxEventInformation(
    values[0], values[1], values[2], values[3], values[4], values[5], values[6], 0);
  this->TDxInteractor->TDxMotionEvent();
  return true;
}

//------------------------------------------------------------------------------
void Viewer::SetEdgeMode(EdgeMode mode)
{
  this->Options.Edges = mode;
  for (const auto& part : this->Parts)
  {
    part->Edges.SetMode(mode);
  }
}

//------------------------------------------------------------------------------
void Viewer::SetWireframe(bool wireframe)
{
  for (const auto& part : this->Parts)
  {
    part->SurfaceActor->GetProperty()->SetRepresentation(wireframe ? VTK_WIREFRAME : VTK_SURFACE);
  }
}

} // namespace orvi
