#include "orviViewer.h"

#include "orviBackfaceCulling.h"
#include "orviBoundarySurface.h"
#include "orviColormap.h"
#include "orviPickValues.h"
#include "orviSurfaceMapper.h"
#include "orviTimeSeries.h"
#include "orviViewerPart.h"

#include "vtkColorTableLegendActor.h"
#include "vtkKivMainPass.h"
#include "vtkMervoInteractor.h"
#include "vtkSimpleRenderWindowInteractor.h"

#include "vtkActor.h"
#include "vtkArrayDispatch.h"
#include "vtkBoundingBox.h"
#include "vtkCallbackCommand.h"
#include "vtkCamera.h"
#include "vtkCellData.h"
#include "vtkDataArrayRange.h"
#include "vtkDataSet.h"
#include "vtkDoubleArray.h"
#include "vtkIntArray.h"
#include "vtkJPEGWriter.h"
#include "vtkLookupTable.h"
#include "vtkMath.h"
#include "vtkNew.h"
#include "vtkOpenGLFXAAFilter.h"
#include "vtkOpenGLRenderer.h"
#include "vtkPNGWriter.h"
#include "vtkPointData.h"
#include "vtkPointSet.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"
#include "vtkRenderWindow.h"
#include "vtkRenderWindowInteractor.h"
#include "vtkRenderer.h"
#include "vtkScalarBarActor.h"
#include "vtkTextProperty.h"
#include "vtkWindowToImageFilter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <regex>
#include <set>
#include <vector>

namespace orvi
{

namespace
{
// The legend's text size for the window's height once it has one (a
// host's widget may not be shown yet), else for the height asked for.
int LegendFontSize(vtkRenderWindow* window, int askedHeight)
{
  const int height = window->GetSize()[1] > 0 ? window->GetSize()[1] : askedHeight;
  return std::max(12, height / 48);
}

// The width of a mesh's own lines, in pixels.
constexpr float SurfaceLineWidth = 2.0f;

vtkDataArray* ArrayOf(vtkDataSet* mesh, int field, const std::string& name)
{
  return field == 0 ? mesh->GetPointData()->GetArray(name.c_str())
                    : mesh->GetCellData()->GetArray(name.c_str());
}

// How much an array is wanted as the default colouring: a quantity (a
// floating-point array) first, then ids of a few categories (an integer
// array of few distinct values, such as gmsh's CellEntityIds or material
// ids), then other integer arrays; never an array whose values are all
// equal (such as the group ids VTK's OBJ reader adds: one colour under a
// legend of one value), and never ids of too many categories to tell apart.
enum class Want
{
  Quantity,
  Categories,
  Integers,
  Never
};

// Whether an array's name says it numbers regions, materials, partitions,
// blocks or entities rather than measures something.
bool NamedAsIds(const std::string& name)
{
  std::string lower(name);
  std::transform(lower.begin(),
    lower.end(),
    lower.begin(),
    [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const auto ends = [&lower](const std::string& tail)
  {
    return lower.size() >= tail.size() &&
      lower.compare(lower.size() - tail.size(), tail.size(), tail) == 0;
  };
  return ends("id") || ends("ids") || ends("tag") || ends("tags") ||
    std::regex_search(lower, std::regex("material|partition|region|block|entity|entities"));
}

// Whether the values (magnitudes, for vectors) of the array named name in
// field (0 points, 1 cells) are not all equal over every mesh holding it: the parts of one file each
// hold one of its ids.
bool VariesOver(const std::vector<vtkDataSet*>& meshes, int field, const std::string& name)
{
  vtkBoundingBox values; // the range, as a box's x extent
  for (vtkDataSet* mesh : meshes)
  {
    if (vtkDataArray* array = ArrayOf(mesh, field, name))
    {
      double range[2];
      array->GetRange(range, array->GetNumberOfComponents() == 1 ? 0 : -1);
      values.AddPoint(range[0], 0.0, 0.0);
      values.AddPoint(range[1], 0.0, 0.0);
    }
  }
  return values.IsValid() && values.GetBound(1) > values.GetBound(0);
}

Want Wanted(vtkDataArray* array, bool varies)
{
  if (!array || !array->GetName() || std::string(array->GetName()).rfind("vtk", 0) == 0 || !varies)
  {
    return Want::Never;
  }
  if (!IsInteger(array))
  {
    return Want::Quantity;
  }
  std::vector<double> values;
  if (FindCategories(array, values))
  {
    return Want::Categories;
  }
  return NamedAsIds(array->GetName()) || array->GetNumberOfComponents() != 1 ? Want::Never
                                                                             : Want::Integers;
}

// The array to colour by: the named one (in the given data, or points first,
// then cells), or the most wanted one (see Want; among equals the active
// scalars first, then points before cells, then the order in the file).
// An array varies when its values do over all meshes (see VariesOver()).
// Returns the field (0 points, 1 cells) or -1.
int FindArray(vtkDataSet* mesh,
  const std::vector<vtkDataSet*>& meshes,
  ArrayField which,
  std::string& name)
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
  Want best = Want::Never;
  int bestField = -1;
  for (int field = 0; field < 2; ++field)
  {
    vtkDataSetAttributes* data = field == 0
      ? static_cast<vtkDataSetAttributes*>(mesh->GetPointData())
      : static_cast<vtkDataSetAttributes*>(mesh->GetCellData());
    std::vector<vtkDataArray*> arrays = { data->GetScalars() };
    for (int i = 0; i < data->GetNumberOfArrays(); ++i)
    {
      arrays.push_back(data->GetArray(i));
    }
    for (vtkDataArray* array : arrays)
    {
      // The active scalars may have several components (coloured by their
      // magnitude); other arrays are looked at with one.
      if (!array || (array != data->GetScalars() && array->GetNumberOfComponents() != 1))
      {
        continue;
      }
      const Want want = Wanted(array, VariesOver(meshes, field, array->GetName()));
      if (want < best)
      {
        best = want;
        bestField = field;
        name = array->GetName();
      }
    }
  }
  return bestField;
}

// The arrays a mesh holds, for a message: "point arrays 'a', 'b'; cell
// array 'c'", or "no point or cell arrays".
std::string ArrayList(vtkDataSet* mesh)
{
  std::string list;
  for (int field = 0; field < 2; ++field)
  {
    vtkFieldData* data = field == 0 ? static_cast<vtkFieldData*>(mesh->GetPointData())
                                    : static_cast<vtkFieldData*>(mesh->GetCellData());
    std::string names;
    int count = 0;
    for (int i = 0; i < data->GetNumberOfArrays(); ++i)
    {
      if (vtkAbstractArray* array = data->GetAbstractArray(i); array && array->GetName())
      {
        names += std::string(count++ ? ", '" : " '") + array->GetName() + "'";
      }
    }
    if (count > 0)
    {
      list += std::string(list.empty() ? "" : "; ") + (field == 0 ? "point" : "cell") +
        (count > 1 ? " arrays" : " array") + names;
    }
  }
  return list.empty() ? "no point or cell arrays" : list;
}

// Calls f(point) for each point of a mesh, through the coordinates' own
// type when they are float or double: a virtual GetPoint() per point costs
// tens of milliseconds over the millions of points of a large mesh.
template <typename F>
void ForEachPoint(vtkDataSet* mesh, F&& f)
{
  auto* pointSet = vtkPointSet::SafeDownCast(mesh);
  vtkDataArray* coordinates =
    pointSet && pointSet->GetPoints() ? pointSet->GetPoints()->GetData() : nullptr;
  const auto typed = [&f](auto* array)
  {
    for (const auto tuple : vtk::DataArrayTupleRange<3>(array))
    {
      const double p[3] = {
        static_cast<double>(tuple[0]), static_cast<double>(tuple[1]), static_cast<double>(tuple[2])
      };
      f(p);
    }
  };
  if (coordinates &&
    vtkArrayDispatch::DispatchByValueType<vtkArrayDispatch::Reals>::Execute(coordinates, typed))
  {
    return;
  }
  for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
  {
    f(mesh->GetPoint(i));
  }
}

// A point array of the height of each point along the up axis.
void AddElevation(vtkDataSet* mesh, const UpAxis& up, const std::string& name)
{
  vtkNew<vtkDoubleArray> height;
  height->SetName(name.c_str());
  height->SetNumberOfValues(mesh->GetNumberOfPoints());
  double* value = height->GetPointer(0);
  ForEachPoint(mesh, [&](const double p[3]) { *value++ = up.Sign * p[up.Axis]; });
  mesh->GetPointData()->AddArray(height);
}

// Marks every cell of a part's mesh and of its surface with the part's index.
void AddPartIndex(vtkDataSet* mesh, vtkPolyData* surface, int index)
{
  for (vtkDataSet* data : { mesh, static_cast<vtkDataSet*>(surface) })
  {
    vtkNew<vtkIntArray> ids;
    ids->SetName(PartIndexName);
    ids->SetNumberOfValues(data->GetNumberOfCells());
    ids->FillValue(index);
    data->GetCellData()->AddArray(ids);
  }
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

// Where the camera looks from and which way is up for a flat scene of the
// given normal: straight along the normal, from the side the front view
// (position) looks from, or from above when the scene lies along that view;
// the up axis (viewUp) projected into the scene's plane points up, or, when
// it is the normal itself, the direction the front view looked along.
void FaceOn(const double normal[3], double position[3], double viewUp[3])
{
  const double front = vtkMath::Dot(normal, position);
  const double above = vtkMath::Dot(normal, viewUp);
  const double side = std::abs(front) > 0.1 ? front : above;
  double up[3] = { viewUp[0], viewUp[1], viewUp[2] };
  if (std::abs(above) > 0.99)
  {
    vtkMath::MultiplyScalar(position, -1.0);
    std::copy(position, position + 3, up);
  }
  for (int i = 0; i < 3; ++i)
  {
    position[i] = side < 0.0 ? -normal[i] : normal[i];
  }
  const double along = vtkMath::Dot(up, position);
  for (int i = 0; i < 3; ++i)
  {
    viewUp[i] = up[i] - along * position[i];
  }
  vtkMath::Normalize(viewUp);
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
    ownWindow->SetWindowName("orvi-viewer");
  }
  this->Setup(ownWindow, ownInteractor);
}

//------------------------------------------------------------------------------
void Viewer::Setup(vtkRenderWindow* window, vtkRenderWindowInteractor* interactor)
{
  this->Interactor = interactor;
  this->TDxInteractor = vtkSimpleRenderWindowInteractor::SafeDownCast(interactor);
  // One sample per pixel: the frames are smoothed by FXAA below, which reads
  // the frame back into a texture, and a multisampled framebuffer (a Qt
  // widget's default) cannot be read that way: the picture came out black.
  window->SetMultiSamples(0);
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
  this->Motion.Attach(this->RendererObject, interactor);
  // Smooth lines and silhouettes: VTK's FXAA filters each finished frame.
  // vtkRenderer::UseFXAAOn() acts only without a render pass, so the viewer
  // runs the filter itself once the renderer has drawn. Not during a hardware
  // selection (its colours are ids), nor while a gesture runs; the
  // navigators' band is drawn into the pixels after the frame, so it stays
  // exact.
  this->SmoothCommand->SetCallback(&Viewer::SmoothCallback);
  this->SmoothCommand->SetClientData(this);
  this->RendererObject->AddObserver(vtkCommand::EndEvent, this->SmoothCommand);
  // Before each frame: which surfaces may leave their back faces out.
  this->CullCommand->SetCallback(&Viewer::CullCallback);
  this->CullCommand->SetClientData(this);
  this->RendererObject->AddObserver(vtkCommand::StartEvent, this->CullCommand);

  this->SetupNavigation();
}

//------------------------------------------------------------------------------
void Viewer::CullCallback(vtkObject*, unsigned long, void* clientData, void*)
{
  auto* self = static_cast<Viewer*>(clientData);
  // A section's cut closes the opening its plane clips in the surface.
  const bool cut = self->Options.Section == SectionMode::Cut;
  for (const auto& part : self->Parts)
  {
    const bool capped = cut && part->SectionActor->GetVisibility();
    UpdateBackfaceCulling(
      part->SurfaceActor, part->FacesOutward, part->Warp.IsWarping(), capped, self->RendererObject);
  }
}

//------------------------------------------------------------------------------
void Viewer::SmoothCallback(vtkObject*, unsigned long, void* clientData, void*)
{
  auto* self = static_cast<Viewer*>(clientData);
  auto* renderer = vtkOpenGLRenderer::SafeDownCast(self->RendererObject);
  // The filter costs a software rasteriser tens of milliseconds per frame at
  // full size: frames drawn while a gesture runs (the interactor has raised
  // the window's update rate) stay as they are, and the still frame drawn
  // when it ends is smoothed.
  const bool moving =
    self->GetWindow()->GetDesiredUpdateRate() > self->Interactor->GetStillUpdateRate();
  if (self->SmoothEdges && renderer && !renderer->GetSelector() && !moving)
  {
    self->Smoothing->Execute(renderer);
  }
}

//------------------------------------------------------------------------------
Viewer::~Viewer()
{
  this->Interactor->RemoveObserver(this->ButtonCommand);
  this->Interactor->RemoveObserver(this->PickCommand);
  this->Interactor->RemoveObserver(this->KeyCommand);
  this->RendererObject->RemoveObserver(this->SmoothCommand);
  this->RendererObject->RemoveObserver(this->CullCommand);
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
void Viewer::PrepareMesh(NamedMesh& mesh, const ViewerOptions& options, std::ostream& log)
{
  if (options.Elevation)
  {
    // Before the surface is extracted, which carries it.
    AddElevation(mesh.Mesh, options.Up, "elevation");
  }
  vtkNew<BoundarySurface> surface;
  surface->SetInputData(mesh.Mesh);
  surface->PassThroughCellIdsOn();
  // A step of the same points and cells gives the surface its arrays
  // through both ids.
  surface->PassThroughPointIdsOn();
  surface->SetLog(&log);
  surface->Update();
  mesh.Surface = surface->GetOutput();
}

//------------------------------------------------------------------------------
bool Viewer::SetMeshes(const std::vector<NamedMesh>& meshes, std::string& error)
{
  // The meshes shown before leave the renderer (their edges with them).
  for (const auto& part : this->Parts)
  {
    this->RendererObject->RemoveActor(part->SurfaceActor);
    this->RendererObject->RemoveActor(part->HighlightActor);
    this->RendererObject->RemoveActor(part->OutlineActor);
    this->RendererObject->RemoveActor(part->SectionActor);
  }
  this->Parts.clear();
  this->Motion.Clear();
  this->RendererObject->RemoveActor2D(this->Legend);
  this->RendererObject->RemoveActor2D(this->CategoryLegend);
  this->LastPickCount = 0;
  this->LastPickSummary.clear();

  for (NamedMesh named : meshes)
  {
    if (!named.Surface)
    {
      PrepareMesh(named, this->Options, this->Log);
    }
    auto part = std::make_unique<Part>();
    part->Name = named.Name;
    part->IsPart = named.IsPart;
    part->Mesh = named.Mesh;
    // The viewer's own copy of the surface, sharing its data: a deformed
    // shape gives it points of its own and leaves the host's surface as read.
    part->Surface = vtkSmartPointer<vtkPolyData>::New();
    part->Surface->ShallowCopy(named.Surface);
    part->FacesOutward = FacesOutward(part->Surface, part->Mesh);

    // Its index buffers kept while a step swaps only its arrays.
    vtkNew<SurfaceMapper> mapper;
    mapper->SetInputData(part->Surface);
    mapper->ScalarVisibilityOff();
    part->SurfaceActor->SetMapper(mapper);
    part->SurfaceActor->GetProperty()->SetColor(0.75, 0.78, 0.82);
    // Lines and vertices (a mesh's 1D and 0D cells) wide enough to be seen.
    part->SurfaceActor->GetProperty()->SetLineWidth(SurfaceLineWidth);
    part->SurfaceActor->GetProperty()->SetPointSize(5.0f);
    this->RendererObject->AddActor(part->SurfaceActor);

    if (this->Options.ByPart)
    {
      AddPartIndex(part->Mesh, part->Surface, static_cast<int>(this->Parts.size()));
    }
    this->Parts.push_back(std::move(part));
  }
  this->WarpScale = 0.0;
  if (!this->SetColouring(error) || !this->ApplyWarp(error))
  {
    return false;
  }

  this->ResetView();
  vtkBoundingBox bounds;
  for (const auto& part : this->Parts)
  {
    part->Edges.Attach(part->Surface, this->RendererObject, this->Options.Edges);
    this->Motion.Add(part->SurfaceActor, part->Edges.GetActor());
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
                << ": auto, shown on the faces spanning " << EdgeOverlay::MinimumCellPixels
                << " pixels or more";
      if (this->RendererObject->GetSize()[1] > 0)
      {
        part->Edges.FollowCamera();
        this->Log << " (now " << part->Edges.ShownFaces() << " of " << part->Edges.FaceCount()
                  << ")";
      }
      this->Log << "\n";
    }
    bounds.AddBounds(part->Mesh->GetBounds());
  }
  // The sections' cuts stand in too (after the surfaces, which keep their
  // indices), made again in motion after each move of the plane.
  for (const auto& part : this->Parts)
  {
    this->Motion.Add(part->SectionActor, part->SectionEdges.GetActor(), true);
  }

  this->ApplySection();
  this->MarkerScale = 0.02 * bounds.GetDiagonalLength();
  if (this->Mervo)
  {
    // The marker's radius is in world units: a small fraction of the model.
    this->Mervo->SetRotationMarkerScale(this->MarkerScale);
  }
  return true;
}

//------------------------------------------------------------------------------
// What the meshes are coloured by: the array, in which data, the values at
// the colour map's ends, and the ids when they are a few categories.
struct Viewer::Colouring
{
  std::string ArrayName;
  int Field = -1; // 0 point data, 1 cell data, -1 none
  int Components = 1;
  Component Which; // resolved for the array
  std::string Title;
  std::string DrawnName; // the surfaces' array the mappers colour by
  bool Categorical = false;
  std::vector<double> Ids; // with Categorical, ascending
  double Range[2] = { 0.0, 1.0 };
  int Coloured = 0; // the meshes holding the array
  vtkSmartPointer<vtkLookupTable> Table;
};

bool Viewer::SetColouring(std::string& error)
{
  Colouring colouring;
  if (!this->ChooseArray(colouring, error))
  {
    return false;
  }
  this->LegendShown = false;
  this->RendererObject->RemoveActor2D(this->Legend);
  this->RendererObject->RemoveActor2D(this->CategoryLegend);
  this->Coloured = Quantity();
  if (colouring.Field < 0)
  {
    for (const auto& part : this->Parts)
    {
      part->SurfaceActor->GetMapper()->ScalarVisibilityOff();
    }
    return true; // plain grey
  }
  this->FindValues(colouring);
  this->MapColours(colouring);
  if (this->Options.Legend)
  {
    this->ShowLegend(colouring);
  }
  this->LogColouring(colouring);
  this->Coloured = { colouring.ArrayName,
    colouring.Field,
    colouring.Components,
    colouring.Which,
    colouring.Title,
    { colouring.Range[0], colouring.Range[1] } };
  this->ColourSection();
  return true;
}

bool Viewer::ChangeColouring(const ViewerOptions& options, std::string& error)
{
  const ViewerOptions before = this->Options;
  this->Options = options;
  this->Options.Elevation = false; // the elevation array, once added, is named as any other
  if (!this->SetColouring(error))
  {
    this->Options = before; // refused before anything changed
    return false;
  }
  this->Render();
  return true;
}

bool Viewer::SetArray(const std::string& choice, std::string& error)
{
  ViewerOptions options = this->Options;
  return ParseArrayChoice(choice, options, error) && this->ChangeColouring(options, error);
}

void Viewer::NextArrayComponent()
{
  if (this->Coloured.Components < 2)
  {
    return;
  }
  ViewerOptions options = this->Options;
  options.ArrayName = this->Coloured.ArrayName;
  options.Field = this->Coloured.Field == 0 ? ArrayField::Point : ArrayField::Cell;
  options.ArrayComponent = NextComponent(this->Coloured.Components, this->Coloured.Which);
  std::string ignored; // the array is there: each of its components is
  this->ChangeColouring(options, ignored);
}

bool Viewer::ChooseArray(Colouring& colouring, std::string& error) const
{
  // The array is the one named, or the most wanted one, in the first mesh
  // that has one; every mesh holding it in the same data is coloured by it.
  const std::string wanted = this->Options.Elevation
    ? "elevation" // added to the meshes by SetMeshes()
    : this->Options.ByPart ? PartIndexName
                           : this->Options.ArrayName;
  const ArrayField field = this->Options.ByPart ? ArrayField::Cell : this->Options.Field;
  std::vector<vtkDataSet*> meshes;
  for (const auto& part : this->Parts)
  {
    meshes.push_back(part->Mesh);
  }
  for (const auto& part : this->Parts)
  {
    colouring.ArrayName = wanted;
    colouring.Field = FindArray(part->Mesh, meshes, field, colouring.ArrayName);
    if (colouring.Field >= 0)
    {
      vtkDataArray* array = ArrayOf(part->Mesh, colouring.Field, colouring.ArrayName);
      colouring.Components = array->GetNumberOfComponents();
      colouring.Which = this->Options.ArrayComponent;
      if (!ResolveComponent(colouring.ArrayName, colouring.Components, colouring.Which, error))
      {
        return false;
      }
      colouring.Title = this->Options.ByPart
        ? "part"
        : ComponentTitle(colouring.ArrayName, colouring.Components, colouring.Which);
      colouring.DrawnName =
        colouring.Which.Which == Component::Kind::VonMises ? colouring.Title : colouring.ArrayName;
      return true;
    }
  }
  if (!this->Options.ArrayName.empty())
  {
    const char* data = this->Options.Field == ArrayField::Point ? "point"
      : this->Options.Field == ArrayField::Cell                 ? "cell"
                                                                : "point or cell";
    const bool several = this->Parts.size() > 1;
    error = std::string(several ? "no mesh has a " : "the mesh has no ") + data + " array named '" +
      this->Options.ArrayName + "'";
    for (const auto& part : this->Parts)
    {
      error += (several ? "; " + part->Name + " holds " : "; it holds ") + ArrayList(part->Mesh);
    }
    return false;
  }
  if (this->Options.ColormapGiven || this->Options.RangeGiven)
  {
    error = "--colormap and --range colour by an array, but no mesh has a point or cell array "
            "whose values vary (name one with --array)";
    return false;
  }
  return true; // nothing to colour by
}

void Viewer::FindValues(Colouring& colouring) const
{
  // The range over every mesh; and the values, when they are ids of a few
  // categories in every mesh (a colour map or a range asks for a quantity).
  vtkBoundingBox values; // the range, as a box's x extent
  std::set<double> categories;
  bool categorical = !this->Options.ColormapGiven && !this->Options.RangeGiven;
  for (const auto& part : this->Parts)
  {
    if (vtkDataArray* array = ArrayOf(part->Mesh, colouring.Field, colouring.ArrayName))
    {
      if (array->GetNumberOfComponents() != colouring.Components)
      {
        continue; // another mesh's array of that name, of another shape
      }
      double range[2];
      QuantityRange(array, colouring.Which, range);
      values.AddPoint(range[0], 0.0, 0.0);
      values.AddPoint(range[1], 0.0, 0.0);
      std::vector<double> ids;
      categorical = categorical && FindCategories(array, ids);
      categories.insert(ids.begin(), ids.end());
      ++colouring.Coloured;
    }
  }
  // One range over the steps of a time series, unless each step has its own.
  double steps[2];
  if (this->Series && !this->Options.RangePerStep &&
    this->Series->GetRange(colouring.ArrayName, colouring.Field, steps))
  {
    values.AddPoint(steps[0], 0.0, 0.0);
    values.AddPoint(steps[1], 0.0, 0.0);
  }
  colouring.Categorical = categorical && categories.size() <= MaximumCategories;
  colouring.Ids.assign(categories.begin(), categories.end());
  const bool given = this->Options.RangeGiven;
  colouring.Range[0] = given ? this->Options.Range[0] : values.GetBound(0);
  colouring.Range[1] = given ? this->Options.Range[1] : values.GetBound(1);
}

void Viewer::MapColours(Colouring& colouring) const
{
  const bool categorical = colouring.Categorical;
  colouring.Table = categorical ? MakeCategoryTable(colouring.Ids)
                                : MakeLookupTable(this->Options.Colors, colouring.Range);
  if (categorical && this->Options.ByPart)
  {
    for (double id : colouring.Ids)
    {
      colouring.Table->SetAnnotation(vtkVariant(id), this->Parts[static_cast<size_t>(id)]->Name);
    }
  }
  // Cells are mapped through a plain table where the ids allow (the same
  // colours, without an annotation lookup per cell); points keep the
  // indexed one, whose colours are never blended through the ids between.
  vtkSmartPointer<vtkLookupTable> cellTable = categorical && colouring.Field == 1
    ? MakeCategorySpanTable(colouring.Table, colouring.Ids)
    : nullptr;
  MapComponent(colouring.Table, colouring.Which);
  for (const auto& part : this->Parts)
  {
    vtkMapper* mapper = part->SurfaceActor->GetMapper();
    vtkDataArray* array = ArrayOf(part->Mesh, colouring.Field, colouring.ArrayName);
    if (!array || array->GetNumberOfComponents() != colouring.Components)
    {
      mapper->ScalarVisibilityOff();
      continue;
    }
    if (colouring.Which.Which == Component::Kind::VonMises)
    {
      // The surface's own tensors, reduced to one value each.
      vtkFieldData* data = colouring.Field == 0
        ? static_cast<vtkFieldData*>(part->Surface->GetPointData())
        : static_cast<vtkFieldData*>(part->Surface->GetCellData());
      if (vtkDataArray* tensor = data->GetArray(colouring.ArrayName.c_str());
          tensor && !data->GetArray(colouring.DrawnName.c_str()))
      {
        data->AddArray(VonMisesArray(tensor, colouring.DrawnName));
      }
    }
    mapper->ScalarVisibilityOn();
    if (colouring.Field == 0)
    {
      mapper->SetScalarModeToUsePointFieldData();
    }
    else
    {
      mapper->SetScalarModeToUseCellFieldData();
    }
    mapper->SelectColorArray(colouring.DrawnName.c_str());
    mapper->SetLookupTable(cellTable ? cellTable : colouring.Table);
    mapper->UseLookupTableScalarRangeOn();
    // Ids take the colour of their own value: never blended across a cell.
    mapper->SetInterpolateScalarsBeforeMapping(categorical);
  }
}

void Viewer::ShowLegend(const Colouring& colouring)
{
  // The legend's text keeps one size that follows the window's height
  // (fitted text grows huge for short labels and squeezes a long title),
  // its labels carry the digits the range needs, and its title is never
  // smaller than the labels: a long one is wrapped or shortened. Ids are
  // listed one swatch each, named, by VTK's scalar bar.
  const int fontSize = LegendFontSize(this->GetWindow(), this->Options.Height);
  vtkScalarBarActor* legend = colouring.Categorical ? this->CategoryLegend.GetPointer()
                                                    : static_cast<vtkScalarBarActor*>(this->Legend);
  legend->SetLookupTable(colouring.Table);
  legend->SetTitle(colouring.Title.c_str());
  legend->GetTitleTextProperty()->SetFontSize(fontSize);
  legend->GetLabelTextProperty()->SetFontSize(fontSize);
  legend->GetAnnotationTextProperty()->SetFontSize(fontSize);
  double left = LegendBox[0];
  if (colouring.Categorical)
  {
    left = this->LayOutCategoryLegend(colouring.Table, fontSize);
  }
  else
  {
    this->LegendLeft = LegendBox[0];
    this->Legend->AutoResizeTextOff();
    this->Legend->AutomaticLabelFormatOn();
    this->Legend->ReadableTitleOn();
    this->Legend->SetNumberOfLabels(5);
  }
  legend->GetPositionCoordinate()->SetValue(left, LegendBox[1]);
  legend->SetPosition2(LegendBox[2] - left, LegendBox[3] - LegendBox[1]);
  this->RendererObject->AddActor2D(legend);
  this->LegendShown = true;
}

double Viewer::LayOutCategoryLegend(vtkLookupTable* categories, int fontSize)
{
  // VTK's scalar bar draws the names of the ids outside its box, on the
  // side away from its ticks: its box is moved right by the width of the
  // longest name, so that both legends reach as far left.
  size_t longest = 1;
  for (vtkIdType i = 0; i < categories->GetNumberOfAnnotatedValues(); ++i)
  {
    longest = std::max(longest, categories->GetAnnotation(i).size());
  }
  const double width = this->RendererObject->GetSize()[0] > 0 ? this->RendererObject->GetSize()[0]
                                                              : this->Options.Width;
  this->LegendLeft = LegendBox[0] - (0.65 * fontSize * static_cast<double>(longest) + 8.0) / width;
  vtkScalarBarActor* legend = this->CategoryLegend;
  legend->DrawAnnotationsOn();
  legend->AnnotationTextScalingOff();
  legend->SetAnnotationLeaderPadding(4.0);
  legend->SetTextPositionToSucceedScalarBar();
  legend->SetBarRatio(0.3);
  return std::min(LegendBox[2] - 0.03, 2.0 * LegendBox[0] - this->LegendLeft);
}

void Viewer::LogColouring(const Colouring& colouring) const
{
  if (this->Options.ByPart)
  {
    this->Log << "colouring by part, " << this->Parts.size()
              << (this->Parts.size() == 1 ? " part:" : " parts:");
    for (size_t i = 0; i < this->Parts.size(); ++i)
    {
      this->Log << (i > 0 ? ", " : " ") << this->Parts[i]->Name;
    }
    this->Log << "\n";
    return;
  }
  this->Log << "colouring by " << (colouring.Field == 0 ? "point" : "cell") << " array '"
            << colouring.ArrayName << "'"
            << (colouring.Components > 1 ? ComponentTitle("", colouring.Components, colouring.Which)
                                         : "")
            << ", ";
  if (colouring.Categorical)
  {
    this->Log << colouring.Ids.size() << " categories (ids " << colouring.Range[0] << " .. "
              << colouring.Range[1] << "), one colour each";
  }
  else
  {
    this->Log << "range " << colouring.Range[0] << " .. " << colouring.Range[1] << ", "
              << ColormapName(this->Options.Colors);
  }
  if (this->Parts.size() > 1)
  {
    this->Log << ", " << colouring.Coloured << " of " << this->Parts.size() << " meshes";
  }
  this->Log << "\n";
}

//------------------------------------------------------------------------------
void Viewer::FitTextToWindow()
{
  const int fontSize = LegendFontSize(this->GetWindow(), this->Options.Height);
  for (vtkScalarBarActor* legend :
    { static_cast<vtkScalarBarActor*>(this->Legend), this->CategoryLegend.GetPointer() })
  {
    legend->GetTitleTextProperty()->SetFontSize(fontSize);
    legend->GetLabelTextProperty()->SetFontSize(fontSize);
    legend->GetAnnotationTextProperty()->SetFontSize(fontSize);
  }
}

//------------------------------------------------------------------------------
void Viewer::ResetView()
{
  // The start direction: the front turned to a three-quarter view from above,
  // or, for a flat scene, straight along its normal.
  double position[3], viewUp[3], normal[3];
  FrontView(this->Options.Up, position, viewUp);
  vtkCamera* camera = this->RendererObject->GetActiveCamera();
  camera->SetFocalPoint(0.0, 0.0, 0.0);
  camera->SetPosition(position);
  camera->SetViewUp(viewUp);
  if (this->FlatNormal(normal))
  {
    FaceOn(normal, position, viewUp);
    camera->SetPosition(position);
    camera->SetViewUp(viewUp);
  }
  else
  {
    camera->Azimuth(-35.0);
    camera->Elevation(30.0);
  }
  camera->OrthogonalizeViewUp();
  this->FrameScene();
}

//------------------------------------------------------------------------------
bool Viewer::FlatNormal(double normal[3]) const
{
  // The principal axes of the points: the scene is flat when its thinnest
  // extent is a negligible fraction of its size.
  double centre[3] = { 0.0, 0.0, 0.0 };
  vtkIdType count = 0;
  vtkBoundingBox bounds;
  for (const auto& part : this->Parts)
  {
    vtkDataSet* mesh = this->ShapeOf(*part);
    bounds.AddBounds(mesh->GetBounds());
    ForEachPoint(mesh, [&centre](const double p[3]) { vtkMath::Add(centre, p, centre); });
    count += mesh->GetNumberOfPoints();
  }
  if (count < 3 || !bounds.IsValid() || bounds.GetDiagonalLength() <= 0.0)
  {
    return false;
  }
  vtkMath::MultiplyScalar(centre, 1.0 / static_cast<double>(count));
  double covariance[3][3] = {};
  for (const auto& part : this->Parts)
  {
    ForEachPoint(this->ShapeOf(*part),
      [&](const double p[3])
      {
        double d[3];
        vtkMath::Subtract(p, centre, d);
        for (int r = 0; r < 3; ++r)
        {
          for (int c = 0; c < 3; ++c)
          {
            covariance[r][c] += d[r] * d[c];
          }
        }
      });
  }
  double* rows[3] = { covariance[0], covariance[1], covariance[2] };
  double eigenvalues[3], vectors[3][3];
  double* columns[3] = { vectors[0], vectors[1], vectors[2] };
  vtkMath::Jacobi(rows, eigenvalues, columns); // descending, eigenvectors in columns
  const double thickness = std::sqrt(std::max(0.0, eigenvalues[2] / static_cast<double>(count)));
  if (thickness > 1e-4 * bounds.GetDiagonalLength())
  {
    return false;
  }
  for (int i = 0; i < 3; ++i)
  {
    normal[i] = vectors[i][2];
  }
  return true;
}

//------------------------------------------------------------------------------
void Viewer::FrameScene()
{
  // Fits every point of the scene into the part of the viewport left of the
  // legend, with a margin, by moving the camera along its direction and
  // across it; the direction and view up stay. A point at (x, y) across the
  // view and z towards the camera, seen from distance D with the camera moved
  // by (s, t), lands at x' = (x - s) / ((D - z) tan) in normalized device
  // coordinates: each bound on x' is linear in D and s, and the smallest D
  // for which some shift meets them all follows from two extremes over the
  // points.
  vtkCamera* camera = this->RendererObject->GetActiveCamera();
  double direction[3], up[3], right[3];
  camera->GetDirectionOfProjection(direction);
  vtkMath::MultiplyScalar(direction, -1.0); // towards the camera
  camera->GetViewUp(up);
  vtkMath::Cross(up, direction, right);
  vtkBoundingBox bounds;
  for (const auto& part : this->Parts)
  {
    bounds.AddBounds(this->ShapeOf(*part)->GetBounds());
  }
  if (!bounds.IsValid())
  {
    this->RendererObject->ResetCamera();
    return;
  }
  double centre[3];
  bounds.GetCenter(centre);
  const double diagonal = bounds.GetDiagonalLength();

  const int* size = this->RendererObject->GetSize();
  const double aspect = size[0] > 0 && size[1] > 0
    ? static_cast<double>(size[0]) / size[1]
    : static_cast<double>(this->Options.Width) / this->Options.Height;
  const double tanV = std::tan(0.5 * vtkMath::RadiansFromDegrees(camera->GetViewAngle()));
  const double tanH = tanV * aspect;
  // The free part of the window, in normalized device coordinates.
  const double margin = 0.04;
  const double right0 = this->LegendShown ? 2.0 * this->LegendLeft - 1.0 : 1.0;
  const double lo[2] = { -1.0 + margin / aspect, -1.0 + margin };
  const double hi[2] = { right0 - margin / aspect, 1.0 - margin };
  const double tangent[2] = { tanH, tanV };
  const double* axes[2] = { right, up };
  double position[3];
  double low[2] = { VTK_DOUBLE_MAX, VTK_DOUBLE_MAX },
         high[2] = { -VTK_DOUBLE_MAX, -VTK_DOUBLE_MAX };
  double nearest = -VTK_DOUBLE_MAX;
  for (const auto& part : this->Parts)
  {
    ForEachPoint(this->ShapeOf(*part),
      [&](const double p[3])
      {
        double d[3];
        vtkMath::Subtract(p, centre, d);
        const double z = vtkMath::Dot(d, direction);
        nearest = std::max(nearest, z);
        for (int k = 0; k < 2; ++k)
        {
          const double across = vtkMath::Dot(d, axes[k]);
          low[k] = std::min(low[k], across + lo[k] * z * tangent[k]);
          high[k] = std::max(high[k], across + hi[k] * z * tangent[k]);
        }
      });
  }
  double distance = nearest + std::max(1e-3 * diagonal, 1e-9);
  for (int k = 0; k < 2; ++k)
  {
    distance = std::max(distance, (high[k] - low[k]) / ((hi[k] - lo[k]) * tangent[k]));
  }
  double focal[3], shift[2];
  for (int k = 0; k < 2; ++k)
  {
    // The middle of the shifts that keep the points within both bounds.
    shift[k] =
      0.5 * (low[k] - lo[k] * distance * tangent[k] + high[k] - hi[k] * distance * tangent[k]);
  }
  for (int i = 0; i < 3; ++i)
  {
    focal[i] = centre[i] + shift[0] * right[i] + shift[1] * up[i];
    position[i] = focal[i] + distance * direction[i];
  }
  camera->SetFocalPoint(focal);
  camera->SetPosition(position);
  camera->SetViewUp(up);
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
  this->Motion.RenderFull(rerender);
  // The front buffer holds what is on screen, a rubber band drawn straight
  // into the pixels included.
  vtkNew<vtkWindowToImageFilter> grab;
  grab->SetInput(this->GetWindow());
  grab->ShouldRerenderOff();
  grab->ReadFrontBufferOn();
  grab->Update();
  if (!CheckOutputFolder("screenshot", path, error))
  {
    return false;
  }
  if (!std::ofstream(path, std::ios::binary).good())
  {
    error = "cannot write screenshot '" + path + "' (not writable)";
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
    part->SectionEdges.SetMode(this->Options.Section == SectionMode::Off ? EdgeMode::Off : mode);
  }
}

//------------------------------------------------------------------------------
void Viewer::SetWireframe(bool wireframe)
{
  for (const auto& part : this->Parts)
  {
    vtkProperty* property = part->SurfaceActor->GetProperty();
    property->SetRepresentation(wireframe ? VTK_WIREFRAME : VTK_SURFACE);
    // The wireframe of a dense mesh in wide lines would be one blot.
    property->SetLineWidth(wireframe ? 1.0f : SurfaceLineWidth);
  }
}

} // namespace orvi
