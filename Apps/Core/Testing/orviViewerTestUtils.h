// What the core's tests share: the viewer opened as main() opens it (its
// options parsed from words), scripts replayed on it, its pictures read back
// (with some of its props hidden) and regions of pixels found in them.
#ifndef orviViewerTestUtils_h
#define orviViewerTestUtils_h

#include "orviGmshMesh.h"
#include "orviMeshes.h"
#include "orviPlayScript.h"
#include "orviScript.h"
#include "orviTestUtils.h"
#include "orviViewer.h"
#include "orviViewerOptions.h"

#include "vtkActor.h"
#include "vtkActor2D.h"
#include "vtkAreaPicker.h"
#include "vtkCamera.h"
#include "vtkCell.h"
#include "vtkCellData.h"
#include "vtkDoubleArray.h"
#include "vtkExtractSelectedFrustum.h"
#include "vtkIdTypeArray.h"
#include "vtkImageData.h"
#include "vtkMath.h"
#include "vtkPNGReader.h"
#include "vtkPointData.h"
#include "vtkPolyData.h"
#include "vtkPropCollection.h"
#include "vtkRenderWindow.h"
#include "vtkRenderer.h"
#include "vtkUnstructuredGrid.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace orvi_test
{
using Args = std::vector<std::string>;

inline std::string ReadText(const std::filesystem::path& path)
{
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// A fresh directory for the running test.
inline std::filesystem::path TestDir()
{
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::filesystem::path dir = std::filesystem::path(ORVI_TEST_OUTPUT_DIR) / info->name();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

//------------------------------------------------------------------------------
// Pictures, origin bottom left as for the script's coordinates.
using Rgb = std::array<int, 3>;
struct Image
{
  vtkSmartPointer<vtkImageData> Data; // RGB
  int W = 0, H = 0;
  Rgb At(int x, int y) const
  {
    const auto* p = static_cast<unsigned char*>(this->Data->GetScalarPointer(x, y, 0));
    return { p[0], p[1], p[2] };
  }
};

inline Image ReadPng(const std::filesystem::path& path)
{
  vtkNew<vtkPNGReader> reader;
  reader->SetFileName(path.string().c_str());
  reader->Update();
  const int* size = reader->GetOutput()->GetDimensions();
  EXPECT_EQ(reader->GetOutput()->GetNumberOfScalarComponents(), 3) << path;
  return { reader->GetOutput(), size[0], size[1] };
}

inline bool Differs(const Rgb& a, const Rgb& b, int threshold = 24)
{
  return std::abs(a[0] - b[0]) > threshold || std::abs(a[1] - b[1]) > threshold ||
    std::abs(a[2] - b[2]) > threshold;
}

// The highlight of picked cells.
inline const auto Magenta = [](const Rgb& c, int, int)
{ return c[0] >= 250 && c[1] <= 5 && c[2] >= 250; };

// The pixels of [x0, x1] x [y0, y1] for which pred(rgb, x, y) holds: their
// count, centroid and bounding box.
struct Region
{
  long Count = 0;
  double X = 0, Y = 0;
  int X0 = 1 << 30, Y0 = 1 << 30, X1 = -1, Y1 = -1;
};
template <typename Pred>
inline Region Find(const Image& image, Pred pred, std::array<int, 4> box = { 0, 0, 9999, 9999 })
{
  Region r;
  for (int y = std::max(box[1], 0); y <= std::min(box[3], image.H - 1); ++y)
  {
    for (int x = std::max(box[0], 0); x <= std::min(box[2], image.W - 1); ++x)
    {
      if (pred(image.At(x, y), x, y))
      {
        // Rows come in order: the last one found is the highest.
        r = { r.Count + 1, r.X + x, r.Y + y, std::min(r.X0, x), std::min(r.Y0, y), r.X1, y };
        r.X1 = std::max(r.X1, x);
      }
    }
  }
  r.X /= std::max(r.Count, 1L);
  r.Y /= std::max(r.Count, 1L);
  return r;
}

// The pixels of an image that differ from those of another one.
inline auto ChangedFrom(const Image& old, int threshold = 24)
{
  return [&old, threshold](const Rgb& c, int x, int y)
  { return Differs(c, old.At(x, y), threshold); };
}

inline double FractionDiffering(const Image& a, const Image& b, int threshold = 24)
{
  EXPECT_TRUE(a.W == b.W && a.H == b.H);
  return a.W == b.W && a.H == b.H ? Find(a, ChangedFrom(b, threshold)).Count / double(a.W * a.H)
                                  : 0.0;
}

// The picture in the viewer's window now, and, as seen with the props of
// `hide` made invisible: what those props draw are the pixels that differ.
enum Hide
{
  Nothing = 0,
  Models = 1, // every 3D actor
  Legends = 2 // every 2D actor
};
inline Image Shot(orvi::Viewer& viewer, const std::filesystem::path& file, int hide = Nothing)
{
  std::vector<std::pair<vtkProp*, int>> hidden; // and their visibility
  vtkPropCollection* props = viewer.GetRenderer()->GetViewProps();
  for (int i = 0; i < props->GetNumberOfItems(); ++i)
  {
    auto* prop = vtkProp::SafeDownCast(props->GetItemAsObject(i));
    if (((hide & Models) && prop->IsA("vtkActor")) || ((hide & Legends) && prop->IsA("vtkActor2D")))
    {
      hidden.emplace_back(prop, prop->GetVisibility());
      prop->VisibilityOff();
    }
  }
  std::string error;
  EXPECT_TRUE(viewer.Screenshot(file.string(), true, error)) << error;
  for (const auto& [prop, visible] : hidden)
  {
    prop->SetVisibility(visible);
  }
  return ReadPng(file);
}

// How many pixels a world length spans at the camera's focal distance.
inline double PixelsPerUnit(vtkRenderer* renderer)
{
  vtkCamera* camera = renderer->GetActiveCamera();
  return renderer->GetSize()[1] /
    (2.0 * camera->GetDistance() *
      std::tan(vtkMath::RadiansFromDegrees(camera->GetViewAngle()) / 2));
}

// Where a world point lands in the window.
inline std::array<double, 2> ToDisplay(vtkRenderer* renderer, const double point[3])
{
  renderer->SetWorldPoint(point[0], point[1], point[2], 1.0);
  renderer->WorldToDisplay();
  const double* display = renderer->GetDisplayPoint();
  return { display[0], display[1] };
}

// A mesh file read by the hosts' loader (its log dropped).
inline vtkSmartPointer<vtkDataSet> ReadMesh(const std::string& path)
{
  std::ostringstream log;
  std::string error;
  vtkSmartPointer<vtkDataSet> mesh = orvi::LoadMesh(path, log, error);
  EXPECT_NE(mesh, nullptr) << error;
  return mesh;
}

// Adds to a mesh a point array `name` whose tuple at point x is value(x),
// or (field 1) a cell array whose tuple of cell i is value(i), both as
// std::vector<double>s of as many components.
template <typename F>
inline void AddArray(vtkDataSet* mesh, int field, const char* name, F&& value)
{
  vtkNew<vtkDoubleArray> array;
  array->SetName(name);
  const vtkIdType count = field == 0 ? mesh->GetNumberOfPoints() : mesh->GetNumberOfCells();
  for (vtkIdType i = 0; i < count; ++i)
  {
    std::vector<double> tuple;
    if constexpr (std::is_invocable_v<F, const double*>)
    {
      tuple = value(mesh->GetPoint(i));
    }
    else
    {
      tuple = value(i);
    }
    array->SetNumberOfComponents(static_cast<int>(tuple.size()));
    array->InsertNextTuple(tuple.data());
  }
  mesh->GetAttributesAsFieldData(field)->AddArray(array);
}

// The cells of `mesh` VTK's frustum extraction selects under a display
// rectangle (x0, y0, x1, y1) of the renderer, ascending.
inline std::vector<vtkIdType> FrustumCells(vtkRenderer* renderer,
  const std::array<int, 4>& box,
  vtkDataSet* mesh)
{
  vtkNew<vtkAreaPicker> area;
  area->AreaPick(box[0], box[1], box[2], box[3], renderer);
  vtkNew<vtkExtractSelectedFrustum> extract;
  extract->SetFrustum(area->GetFrustum());
  extract->SetInputData(mesh);
  extract->Update();
  auto* ids = vtkIdTypeArray::SafeDownCast(
    vtkDataSet::SafeDownCast(extract->GetOutput())->GetCellData()->GetArray("vtkOriginalCellIds"));
  EXPECT_NE(ids, nullptr);
  std::vector<vtkIdType> cells;
  if (ids)
  {
    cells.assign(ids->GetPointer(0), ids->GetPointer(ids->GetNumberOfValues()));
  }
  std::sort(cells.begin(), cells.end());
  return cells;
}

// The 3D cells of a mesh file (gmsh's t5 in the tests: its tetrahedra) with a
// point vector u, a point scalar p and a cell vector c.
inline vtkSmartPointer<vtkDataSet> TetrahedraWithResults(const std::string& path)
{
  const vtkSmartPointer<vtkDataSet> file = ReadMesh(path);
  vtkNew<vtkUnstructuredGrid> mesh;
  mesh->SetPoints(vtkPointSet::SafeDownCast(file)->GetPoints());
  for (vtkIdType i = 0; i < file->GetNumberOfCells(); ++i)
  {
    if (file->GetCell(i)->GetCellDimension() == 3)
    {
      mesh->InsertNextCell(file->GetCellType(i), file->GetCell(i)->GetPointIds());
    }
  }
  using V = std::vector<double>;
  AddArray(mesh,
    0,
    "u",
    [](const double* x) {
      return V{ x[1] * x[1], -0.5 * x[0], std::sin(x[2]) };
    });
  AddArray(mesh, 0, "p", [](const double* x) { return V{ x[0] + 2 * x[1] }; });
  AddArray(mesh, 1, "c", [](vtkIdType) { return V(3, 1.0); });
  return mesh;
}

// A gmsh tutorial meshed into dir (small, with -clscale), or a skip.
#define GMSH_MESH(var, tutorial, options)                                                          \
  std::string var;                                                                                 \
  {                                                                                                \
    std::string why;                                                                               \
    var = orvi_test::MeshGmshTutorial(tutorial, dir, why, options, tutorial);                      \
    if (var.empty())                                                                               \
    {                                                                                              \
      GTEST_SKIP() << why;                                                                         \
    }                                                                                              \
  }

inline std::string Data(const std::string& file)
{
  return file.empty() || file[0] == '/' ? file : ORVI_TEST_DATA_DIR "/" + file;
}

//------------------------------------------------------------------------------
// The viewer in this process with the host interactor, as main() builds it
// for a script.
inline bool Parse(Args words,
  orvi::ViewerOptions& options,
  std::string& error,
  orvi::Host host = orvi::Host::Viewer)
{
  words.insert(words.begin(), orvi::HostName(host));
  std::vector<char*> argv(words.size());
  std::transform(words.begin(), words.end(), argv.begin(), [](std::string& w) { return w.data(); });
  return orvi::ParseViewerOptions(static_cast<int>(argv.size()), argv.data(), options, error, host);
}

// In a 640 x 480 window unless args give a --size. Files named in args are
// looked for in Testing/Data unless their path is absolute; mesh, when
// given, is shown as well.
inline std::unique_ptr<orvi::Viewer> OpenViewer(Args args,
  std::ostream& log,
  vtkDataSet* mesh = nullptr)
{
  orvi::ViewerOptions options;
  std::string error;
  args.insert(args.begin(), { "--size", "640", "480" });
  EXPECT_TRUE(Parse(args, options, error)) << error;
  options.Script = "(test)";
  std::vector<orvi::NamedMesh> meshes;
  for (const std::string& file : options.MeshFiles)
  {
    meshes.push_back({ file, orvi::LoadMesh(Data(file), log, error) });
  }
  if (mesh || meshes.empty())
  {
    meshes.push_back(
      { "mesh", mesh ? vtkSmartPointer<vtkDataSet>(mesh) : orvi::MakeDefaultMesh(error) });
  }
  auto viewer = std::make_unique<orvi::Viewer>(options, log);
  EXPECT_TRUE(viewer->SetMeshes(meshes, error)) << error;
  viewer->Render();
  return viewer;
}

// Replays a script as --script does, screenshots into dir.

} // namespace orvi_test

#endif
