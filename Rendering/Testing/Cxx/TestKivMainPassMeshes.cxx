// Edges of real meshes drawn through vtkKivMainPass, against VTK drawing the
// same surfaces with vtkProperty::EdgeVisibilityOn(): gmsh's tutorials meshed
// at test time into hexahedra, quadrilaterals and tetrahedra, whole, split
// into two blocks with their own points at the interface (one prop), and the
// two blocks as two props that touch. Each is looked at from the start view
// and from two closer views with the camera inside the model's bounds, where
// the automatic clipping range is tight, with vtkMapper's global mode off and
// on. What the pass draws must keep to VTK's edges (no stray group of pixels
// farther than 2 pixels from one of them) and show VTK's edges (each within a
// pixel of one of the pass's); picked cells drawn on the surface still show.
#include "vtkKivMainPass.h"

#include "orviGmshMesh.h"
#include "orviTestUtils.h"

#include "vtkAppendFilter.h"
#include "vtkBoundingBox.h"
#include "vtkCell.h"
#include "vtkCellArray.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkExtractCells.h"
#include "vtkIdList.h"
#include "vtkInformation.h"
#include "vtkInformationIntegerKey.h"
#include "vtkMapper.h"
#include "vtkProperty.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridReader.h"

#include <functional>
#include <tuple>

namespace
{
constexpr int Size = 400;
using RGB = std::array<double, 3>;
constexpr RGB SurfaceRgb = { 0.2, 0.4, 0.9 };
constexpr RGB PickedRgb = { 1.0, 0.0, 1.0 };

// How a mesh is shown: whole; split in two blocks by the plane through its
// centre normal to its longest side, each block with its own points (one
// prop); the two blocks as two props.
enum class Layout
{
  Whole,
  SplitPoints,
  TwoProps
};

struct MeshCase
{
  const char* Tutorial;
  const char* Options;
  Layout Shown;
};

void PrintTo(const MeshCase& mesh, std::ostream* os)
{
  *os << mesh.Tutorial << " " << mesh.Options;
}

// The cells of the mesh for which keep(cell) holds.
vtkSmartPointer<vtkUnstructuredGrid> Extract(vtkUnstructuredGrid* mesh,
  const std::function<bool(vtkCell*)>& keep)
{
  vtkNew<vtkIdList> ids;
  for (vtkIdType c = 0; c < mesh->GetNumberOfCells(); ++c)
  {
    if (keep(mesh->GetCell(c)))
    {
      ids->InsertNextId(c);
    }
  }
  vtkNew<vtkExtractCells> extract;
  extract->SetInputData(mesh);
  extract->SetCellList(ids);
  extract->Update();
  return extract->GetOutput();
}

// The cells of the mesh of the highest dimension it has (gmsh writes the
// boundary triangles, lines and vertices beside the volume cells).
vtkSmartPointer<vtkUnstructuredGrid> TopCells(vtkUnstructuredGrid* mesh)
{
  int top = 0;
  for (vtkIdType c = 0; c < mesh->GetNumberOfCells(); ++c)
  {
    top = std::max(top, mesh->GetCell(c)->GetCellDimension());
  }
  return Extract(mesh, [top](vtkCell* cell) { return cell->GetCellDimension() == top; });
}

// The cells whose centre lies below (or above) the mid plane normal to the
// longest side of the bounds.
vtkSmartPointer<vtkUnstructuredGrid> Half(vtkUnstructuredGrid* mesh, bool upper)
{
  vtkBoundingBox box(mesh->GetBounds());
  double lengths[3];
  box.GetLengths(lengths);
  const int axis = static_cast<int>(std::max_element(lengths, lengths + 3) - lengths);
  double middle[3];
  box.GetCenter(middle);
  return Extract(mesh,
    [axis, upper, mid = middle[axis]](vtkCell* cell)
    {
      double centre = 0.0;
      for (vtkIdType k = 0; k < cell->GetNumberOfPoints(); ++k)
      {
        centre += cell->GetPoints()->GetPoint(k)[axis];
      }
      return (centre / static_cast<double>(cell->GetNumberOfPoints()) > mid) == upper;
    });
}

vtkSmartPointer<vtkPolyData> SurfaceOf(vtkDataSet* mesh)
{
  vtkNew<vtkDataSetSurfaceFilter> surface;
  surface->SetInputData(mesh);
  surface->Update();
  return surface->GetOutput();
}

// The surfaces to show, one per prop, for the layout.
std::vector<vtkSmartPointer<vtkPolyData>> Surfaces(const std::string& file, Layout layout)
{
  vtkNew<vtkUnstructuredGridReader> reader;
  reader->SetFileName(file.c_str());
  reader->Update();
  auto mesh = TopCells(reader->GetOutput());
  if (layout == Layout::Whole)
  {
    return { SurfaceOf(mesh) };
  }
  auto lower = Half(mesh, false);
  auto upper = Half(mesh, true);
  if (layout == Layout::TwoProps)
  {
    return { SurfaceOf(lower), SurfaceOf(upper) };
  }
  vtkNew<vtkAppendFilter> blocks; // points are not merged: each block keeps its own
  blocks->AddInputData(lower);
  blocks->AddInputData(upper);
  blocks->Update();
  return { SurfaceOf(blocks->GetOutput()) };
}

// An unlit actor of one colour.
vtkSmartPointer<vtkActor> FlatActor(vtkPolyData* data, const RGB& rgb)
{
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputData(data);
  mapper->ScalarVisibilityOff();
  auto actor = vtkSmartPointer<vtkActor>::New();
  actor->SetMapper(mapper);
  actor->GetProperty()->SetColor(rgb[0], rgb[1], rgb[2]);
  actor->GetProperty()->LightingOff();
  return actor;
}

// Every seventh polygon of the surface: cells a host shows as picked, drawn
// over the surface as orvi-viewer draws them (pulled forward by the mapper's
// relative offset, which acts in polygon-offset mode).
vtkSmartPointer<vtkActor> PickedActor(vtkPolyData* surface)
{
  vtkNew<vtkCellArray> polys;
  vtkIdType npts = 0;
  const vtkIdType* ids = nullptr;
  vtkIdType index = 0;
  for (surface->GetPolys()->InitTraversal(); surface->GetPolys()->GetNextCell(npts, ids); ++index)
  {
    if (index % 7 == 0)
    {
      polys->InsertNextCell(npts, ids);
    }
  }
  vtkNew<vtkPolyData> picked;
  picked->SetPoints(surface->GetPoints());
  picked->SetPolys(polys);
  auto actor = FlatActor(picked, PickedRgb);
  vtkMapper::SafeDownCast(actor->GetMapper())
    ->SetRelativeCoincidentTopologyPolygonOffsetParameters(-2.0, -8.0);
  return actor;
}

// What is drawn: VTK's own edges on the surface actors, the pass's edges
// (a tagged wireframe actor on each surface's poly data), or no edges.
enum class Edges
{
  Vtk,
  Pass,
  None
};

using Pixels = std::vector<unsigned char>;

// Renders the surfaces from the start view (azimuth 30, elevation 20 after
// vtkRenderer::ResetCamera), or with the camera moved along its direction of
// view to the fraction `inside` (0 < inside < 1) of the way from the centre
// of the bounds to where that direction leaves them, and returns the
// window's RGB pixels.
Pixels Render(const std::vector<vtkSmartPointer<vtkPolyData>>& surfaces,
  Edges edges,
  double inside,
  bool picked)
{
  orvi_test::Scene scene(Size, Size);
  scene.Renderer->SetBackground(1.0, 1.0, 1.0);
  for (const auto& surface : surfaces)
  {
    auto actor = FlatActor(surface, SurfaceRgb);
    actor->GetProperty()->SetEdgeVisibility(edges == Edges::Vtk);
    actor->GetProperty()->SetEdgeColor(0.0, 0.0, 0.0);
    scene.Renderer->AddActor(actor);
    if (edges == Edges::Pass)
    {
      auto wireframe = FlatActor(surface, { 0.0, 0.0, 0.0 });
      wireframe->GetProperty()->SetRepresentationToWireframe();
      vtkNew<vtkInformation> keys;
      keys->Set(vtkKivMainPass::RENDER_WIREFRAME(), 1);
      wireframe->SetPropertyKeys(keys);
      wireframe->PickableOff();
      scene.Renderer->AddActor(wireframe);
    }
    if (picked)
    {
      scene.Renderer->AddActor(PickedActor(surface));
    }
  }
  if (edges == Edges::Pass)
  {
    vtkKivMainPass::InstallOn(scene.Renderer);
  }
  vtkCamera* camera = scene.Camera();
  scene.Renderer->ResetCamera();
  camera->Azimuth(30.0);
  camera->Elevation(20.0);
  camera->OrthogonalizeViewUp();
  scene.Renderer->ResetCamera();
  if (inside > 0.0)
  {
    double bounds[6];
    scene.Renderer->ComputeVisiblePropBounds(bounds);
    const vtkBoundingBox box(bounds);
    double centre[3], half[3];
    box.GetCenter(centre);
    box.GetLengths(half);
    const double* d = camera->GetDirectionOfProjection();
    double exit = VTK_DOUBLE_MAX;
    for (int k = 0; k < 3; ++k)
    {
      exit = std::abs(d[k]) > 1e-9 ? std::min(exit, 0.5 * half[k] / std::abs(d[k])) : exit;
    }
    camera->SetFocalPoint(centre);
    camera->SetPosition(centre[0] - inside * exit * d[0],
      centre[1] - inside * exit * d[1],
      centre[2] - inside * exit * d[2]);
    EXPECT_TRUE(box.ContainsPoint(camera->GetPosition()));
  }
  scene.Renderer->ResetCameraClippingRange();
  // The second frame: pairs the pass met after their surface draw together.
  scene.Window->Render();
  scene.Window->Render();
  orvi_test::Frame frame(scene.Window);
  Pixels rgb(3 * Size * Size);
  for (int i = 0; i < Size * Size; ++i)
  {
    const auto p = frame.At(i % Size, i / Size);
    std::copy(p.begin(), p.end(), rgb.begin() + 3 * i);
  }
  return rgb;
}

// The pixels for which pred(r, g, b) holds.
std::vector<bool> Mask(const Pixels& rgb, const std::function<bool(int, int, int)>& pred)
{
  std::vector<bool> mask(Size * Size);
  for (int i = 0; i < Size * Size; ++i)
  {
    mask[i] = pred(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
  }
  return mask;
}

// Edge pixels: nearer black than the surface colour.
std::vector<bool> EdgeMask(const Pixels& rgb)
{
  return Mask(rgb,
    [](int r, int g, int b)
    { return r + g + b < 0.5 * 255 * (SurfaceRgb[0] + SurfaceRgb[1] + SurfaceRgb[2]); });
}

// The mask grown by `radius` pixels (a square of side 2 radius + 1).
std::vector<bool> Grow(const std::vector<bool>& mask, int radius)
{
  std::vector<bool> grown(mask.size());
  for (int y = 0; y < Size; ++y)
  {
    for (int x = 0; x < Size; ++x)
    {
      if (!mask[y * Size + x])
      {
        continue;
      }
      for (int v = std::max(0, y - radius); v <= std::min(Size - 1, y + radius); ++v)
      {
        for (int u = std::max(0, x - radius); u <= std::min(Size - 1, x + radius); ++u)
        {
          grown[v * Size + u] = true;
        }
      }
    }
  }
  return grown;
}

// The sizes of the 8-connected groups of set pixels.
std::vector<int> Groups(std::vector<bool> mask)
{
  std::vector<int> sizes;
  for (int start = 0; start < Size * Size; ++start)
  {
    if (!mask[start])
    {
      continue;
    }
    int size = 0;
    std::vector<int> stack = { start };
    mask[start] = false;
    while (!stack.empty())
    {
      const int i = stack.back();
      stack.pop_back();
      ++size;
      for (int dy = -1; dy <= 1; ++dy)
      {
        for (int dx = -1; dx <= 1; ++dx)
        {
          const int x = i % Size + dx, y = i / Size + dy;
          if (x >= 0 && y >= 0 && x < Size && y < Size && mask[y * Size + x])
          {
            mask[y * Size + x] = false;
            stack.push_back(y * Size + x);
          }
        }
      }
    }
    sizes.push_back(size);
  }
  return sizes;
}

// Writes the pixels to ORVI_TEST_OUTPUT_DIR/name.png, to be looked at.
void Keep(const Pixels& rgb, const std::string& name)
{
  vtkNew<vtkImageData> image;
  image->SetDimensions(Size, Size, 1);
  image->AllocateScalars(VTK_UNSIGNED_CHAR, 3);
  std::copy(rgb.begin(), rgb.end(), static_cast<unsigned char*>(image->GetScalarPointer()));
  std::filesystem::create_directories(ORVI_TEST_OUTPUT_DIR);
  vtkNew<vtkPNGWriter> writer;
  writer->SetInputData(image);
  writer->SetFileName((std::string(ORVI_TEST_OUTPUT_DIR) + "/" + name + ".png").c_str());
  writer->Write();
}

const MeshCase Meshes[] = {
  { "t3", "-3", Layout::Whole },
  { "t5", "-3 -setnumber Mesh.SubdivisionAlgorithm 2", Layout::Whole },
  { "t2", "-3 -setnumber Mesh.RecombineAll 1", Layout::Whole },
  { "t3", "-3", Layout::SplitPoints },
  { "t3", "-3", Layout::TwoProps },
  { "t5", "-3", Layout::TwoProps },
};
const char* LayoutNames[] = { "whole", "split", "two" };

std::string MeshFile(const MeshCase& mesh, std::string& why, const std::string& test = "edges")
{
  const std::string options = mesh.Options;
  // A directory of its own for each case: ctest may run them in parallel.
  const std::string variant = std::to_string(std::hash<std::string>()(options) % 1000) +
    LayoutNames[static_cast<int>(mesh.Shown)] + test;
  return orvi_test::MeshGmshTutorial(mesh.Tutorial,
    std::filesystem::path(ORVI_TEST_OUTPUT_DIR) / "gmsh" / (mesh.Tutorial + variant),
    why,
    options);
}
} // namespace

class KivMainPassMeshes : public ::testing::TestWithParam<MeshCase>
{
};

TEST_P(KivMainPassMeshes, EdgesKeepToVtksEdgesAtEveryDistance)
{
  {
    const MeshCase& mesh = GetParam();
    std::string why;
    const std::string file = MeshFile(mesh, why);
    if (file.empty())
    {
      GTEST_SKIP() << why;
    }
    const auto surfaces = Surfaces(file, mesh.Shown);
    for (int mode : { VTK_RESOLVE_OFF, VTK_RESOLVE_POLYGON_OFFSET })
    {
      const int savedMode = vtkMapper::GetResolveCoincidentTopology();
      vtkMapper::SetResolveCoincidentTopology(mode);
      for (double inside : { 0.0, 0.9, 0.6 })
      {
        const std::string name = std::string(mesh.Tutorial) + "-" +
          LayoutNames[static_cast<int>(mesh.Shown)] + "-mode" + std::to_string(mode) + "-x" +
          std::to_string(static_cast<int>(10 * inside));
        SCOPED_TRACE(name + " " + mesh.Options);
        const Pixels vtk = Render(surfaces, Edges::Vtk, inside, false);
        const Pixels pass = Render(surfaces, Edges::Pass, inside, false);
        Keep(vtk, name + "-vtk");
        Keep(pass, name + "-pass");
        const auto vtkEdges = EdgeMask(vtk);
        const auto passEdges = EdgeMask(pass);
        const auto nearVtk = Grow(vtkEdges, 2);
        const auto nearPass = Grow(passEdges, 1);
        std::vector<bool> stray(Size * Size);
        int edges = 0, shown = 0;
        for (int i = 0; i < Size * Size; ++i)
        {
          stray[i] = passEdges[i] && !nearVtk[i];
          edges += vtkEdges[i] ? 1 : 0;
          shown += vtkEdges[i] && nearPass[i] ? 1 : 0;
        }
        const auto groups = Groups(stray);
        const auto big = std::count_if(groups.begin(), groups.end(), [](int n) { return n >= 3; });
        if (big > 0)
        {
          Pixels marked = pass; // the stray pixels in red, to be looked at
          for (int i = 0; i < Size * Size; ++i)
          {
            if (stray[i])
            {
              marked[3 * i] = 255;
              marked[3 * i + 1] = marked[3 * i + 2] = 0;
            }
          }
          Keep(marked, name + "-stray");
        }
        EXPECT_EQ(big, 0) << "stray pixels " << std::count(stray.begin(), stray.end(), true);
        EXPECT_GT(edges, 500);
        EXPECT_GE(shown, 0.99 * edges) << edges - shown << " of VTK's edge pixels missing";
      }
      vtkMapper::SetResolveCoincidentTopology(savedMode);
    }
  }
}

// Cells a host draws on the surface (orvi-viewer's picked cells) show whole
// over a surface whose edges the pass draws, in quadrilaterals split along
// either diagonal: as many of their pixels as over the same surface drawn
// without edges, from every distance and in both global modes.
INSTANTIATE_TEST_SUITE_P(Gmsh,
  KivMainPassMeshes,
  ::testing::ValuesIn(Meshes),
  [](const ::testing::TestParamInfo<MeshCase>& info)
  {
    return std::string(info.param.Tutorial) + LayoutNames[static_cast<int>(info.param.Shown)] +
      std::to_string(info.index);
  });

TEST(KivMainPassPicked, CellsDrawnOnTheSurfaceStillShow)
{
  std::string why;
  const std::string file = MeshFile(Meshes[0], why, "picked");
  if (file.empty())
  {
    GTEST_SKIP() << why;
  }
  const auto surfaces = Surfaces(file, Layout::Whole);
  const auto magenta = [](int r, int g, int b) { return r > 200 && b > 200 && g < 60; };
  for (int mode : { VTK_RESOLVE_OFF, VTK_RESOLVE_POLYGON_OFFSET })
  {
    const int savedMode = vtkMapper::GetResolveCoincidentTopology();
    vtkMapper::SetResolveCoincidentTopology(mode);
    for (double inside : { 0.0, 0.9, 0.6 })
    {
      const std::string name = "t3-picked-mode" + std::to_string(mode) + "-x" +
        std::to_string(static_cast<int>(10 * inside));
      SCOPED_TRACE(name);
      const Pixels plain = Render(surfaces, Edges::None, inside, true);
      const Pixels pass = Render(surfaces, Edges::Pass, inside, true);
      Keep(pass, name);
      const auto expected = Mask(plain, magenta);
      const auto shown = Mask(pass, magenta);
      const auto picked = std::count(expected.begin(), expected.end(), true);
      EXPECT_GT(picked, 1000);
      EXPECT_GE(std::count(shown.begin(), shown.end(), true), 0.99 * picked);
    }
    vtkMapper::SetResolveCoincidentTopology(savedMode);
  }
}
