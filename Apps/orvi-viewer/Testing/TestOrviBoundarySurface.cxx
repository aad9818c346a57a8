// orvi::BoundarySurface against vtkDataSetSurfaceFilter on the same meshes:
// the same cells with the same point ids in the same order (so the same
// winding and, for quads, the same diagonal), from the same input cells,
// with the same cell data; the same pictures; and a clean refusal of cells
// that would make it read out of bounds.
#include "orviBlockMesh.h"
#include "orviBoundarySurface.h"
#include "orviTestUtils.h"

#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkDoubleArray.h"
#include "vtkExecutive.h"
#include "vtkIdTypeArray.h"
#include "vtkImageData.h"
#include "vtkIntArray.h"
#include "vtkLookupTable.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridReader.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <tuple>

namespace
{
namespace fs = std::filesystem;

//------------------------------------------------------------------------------
// Meshes.

// A block of 4 x 3 x 3 cubes, each a random choice among the shapes of
// orvi_test::AddBlock. Then: a cell given twice, two stacked pentagonal prisms with a
// polyhedron on the lower one's points, a hexagonal prism, 2D, 1D and 0D
// cells (a triangle on a boundary face among them) and an empty cell,
// interleaved; last, whatever more() adds. Point data "height", cell data
// "material".
vtkSmartPointer<vtkUnstructuredGrid> MixedMesh(bool storage32 = false,
  const std::function<void(vtkUnstructuredGrid*)>& more = nullptr)
{
  constexpr int NX = 4, NY = 3, NZ = 3;
  auto grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
  vtkNew<vtkPoints> points;
  grid->SetPoints(points);
  grid->AllocateExact(512, 8);
  std::mt19937 random(7);
  orvi_test::AddBlock(grid,
    points,
    NX,
    NY,
    NZ,
    [&](int, int, int) { return static_cast<orvi_test::CubeShape>(random() % 7); });
  auto pid = [](int i, int j, int k) -> vtkIdType { return i + (NX + 1) * (j + (NY + 1) * k); };
  auto cell = [&](int type, std::vector<vtkIdType> ids)
  { grid->InsertNextCell(type, static_cast<vtkIdType>(ids.size()), ids.data()); };
  auto polyhedron =
    [&](const std::vector<vtkIdType>& ids, const std::vector<std::vector<vtkIdType>>& faces)
  {
    std::vector<vtkIdType> stream;
    for (const auto& face : faces)
    {
      stream.push_back(static_cast<vtkIdType>(face.size()));
      stream.insert(stream.end(), face.begin(), face.end());
    }
    grid->InsertNextCell(VTK_POLYHEDRON,
      static_cast<vtkIdType>(ids.size()),
      ids.data(),
      static_cast<vtkIdType>(faces.size()),
      stream.data());
  };
  vtkIdType twice = 0, n;
  const vtkIdType* ids;
  while (grid->GetCellType(twice) == VTK_POLYHEDRON)
  {
    ++twice;
  }
  grid->GetCellPoints(twice, n, ids);
  cell(grid->GetCellType(twice), std::vector<vtkIdType>(ids, ids + n));

  // Prisms beside the block: pentagons in z = 0, 1, 2 at x = 7.
  const vtkIdType p0 = points->GetNumberOfPoints();
  for (int layer = 0; layer < 3; ++layer)
    for (int c = 0; c < 5; ++c)
      points->InsertNextPoint(
        7 + std::cos(1.2566 * c), 1 + std::sin(1.2566 * c), static_cast<double>(layer));
  auto ring = [&](int layer, std::initializer_list<int> corners)
  {
    std::vector<vtkIdType> ids;
    for (int c : corners)
      ids.push_back(p0 + 5 * layer + c);
    return ids;
  };
  std::vector<vtkIdType> lower = ring(0, { 0, 1, 2, 3, 4 }), upper = ring(1, { 0, 1, 2, 3, 4 });
  lower.insert(lower.end(), upper.begin(), upper.end());
  cell(VTK_PENTAGONAL_PRISM, lower);
  cell(VTK_LINE, { 0, 7 });
  std::vector<vtkIdType> top = ring(1, { 0, 1, 2, 3, 4 }), roof = ring(2, { 0, 1, 2, 3, 4 });
  top.insert(top.end(), roof.begin(), roof.end());
  cell(VTK_PENTAGONAL_PRISM, top);
  std::vector<std::vector<vtkIdType>> faces = { ring(0, { 4, 3, 2, 1, 0 }),
    ring(1, { 0, 1, 2, 3, 4 }) };
  for (int c = 0; c < 5; ++c)
  {
    const int d = (c + 1) % 5;
    faces.push_back({ p0 + c, p0 + d, p0 + 5 + d, p0 + 5 + c });
  }
  polyhedron(lower, faces);
  cell(VTK_VERTEX, { 3 });

  const vtkIdType h0 = points->GetNumberOfPoints();
  std::vector<vtkIdType> hexagonal;
  for (int layer = 0; layer < 2; ++layer)
    for (int c = 0; c < 6; ++c)
    {
      hexagonal.push_back(h0 + 6 * layer + c);
      points->InsertNextPoint(
        10 + std::cos(1.0472 * c), 1 + std::sin(1.0472 * c), static_cast<double>(layer));
    }
  cell(VTK_HEXAGONAL_PRISM, hexagonal);

  // 2D, 1D and 0D cells, the triangle on the block's bottom face.
  cell(VTK_TRIANGLE, { pid(0, 0, 0), pid(1, 1, 0), pid(1, 0, 0) });
  cell(VTK_POLY_VERTEX, { 5, 9, 2 });
  cell(VTK_QUAD, { pid(2, 0, 0), pid(2, 1, 0), pid(3, 1, 0), pid(3, 0, 0) });
  cell(VTK_PIXEL, { pid(0, 0, 3), pid(1, 0, 3), pid(0, 1, 3), pid(1, 1, 3) });
  cell(VTK_EMPTY_CELL, {});
  cell(VTK_POLYGON, { pid(4, 0, 3), pid(4, 1, 3), pid(4, 2, 3), pid(3, 2, 3), pid(3, 0, 3) });
  cell(VTK_POLY_LINE, { 1, 8, 13, 20 });
  cell(
    VTK_TRIANGLE_STRIP, { pid(0, 3, 1), pid(0, 3, 2), pid(1, 3, 1), pid(1, 3, 2), pid(2, 3, 1) });
  if (more)
  {
    more(grid);
  }

  vtkNew<vtkDoubleArray> height;
  height->SetName("height");
  for (vtkIdType p = 0; p < points->GetNumberOfPoints(); ++p)
  {
    const double* x = points->GetPoint(p);
    height->InsertNextValue(x[2] + 0.3 * x[0] - 0.2 * x[1]);
  }
  grid->GetPointData()->SetScalars(height);
  vtkNew<vtkIntArray> material;
  material->SetName("material");
  for (vtkIdType c = 0; c < grid->GetNumberOfCells(); ++c)
  {
    material->InsertNextValue(static_cast<int>(c * 5 % 11));
  }
  grid->GetCellData()->AddArray(material);
  if (storage32)
  {
    grid->GetCells()->ConvertTo32BitStorage();
  }
  return grid;
}

// gmsh's tutorial 5 (a cube with holes and spheres) as gmsh writes it:
// tetrahedra with the triangles, lines and points of its model. Null when
// gmsh or the tutorial is not installed.
vtkSmartPointer<vtkUnstructuredGrid> GmshMesh()
{
  fs::path geo;
  for (const char* root : { "/usr/share/doc/gmsh-doc", "/usr/share/doc/gmsh" })
  {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
         it.increment(ec))
    {
      const std::string name = it->path().filename().string();
      if (name == "t5.geo" || name == "t5.geo.gz")
      {
        geo = it->path();
      }
    }
  }
  if (geo.empty() || std::system("command -v gmsh >/dev/null 2>&1") != 0)
  {
    return nullptr;
  }
  const fs::path dir = fs::temp_directory_path() / "TestOrviBoundarySurface";
  fs::create_directories(dir);
  const std::string command = (geo.extension() == ".gz" ? "gzip -dc '" : "cat '") + geo.string() +
    "' > '" + (dir / "t5.geo").string() + "' && gmsh -3 '" + (dir / "t5.geo").string() +
    "' -format vtk -o '" + (dir / "t5.vtk").string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0)
  {
    return nullptr;
  }
  vtkNew<vtkUnstructuredGridReader> reader;
  reader->SetFileName((dir / "t5.vtk").string().c_str());
  reader->Update();
  auto grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
  grid->ShallowCopy(reader->GetOutput());
  return grid;
}

//------------------------------------------------------------------------------
// The comparison.

// One output cell: the input cell it came from, its type and its point ids
// in the input's numbering, in order.
using Cell = std::tuple<vtkIdType, int, std::vector<vtkIdType>>;

std::vector<Cell> Cells(vtkPolyData* surface, vtkIdTypeArray* pointIds)
{
  auto* cellIds =
    vtkIdTypeArray::SafeDownCast(surface->GetCellData()->GetArray("vtkOriginalCellIds"));
  std::vector<Cell> cells;
  if (!cellIds || cellIds->GetNumberOfValues() != surface->GetNumberOfCells())
  {
    ADD_FAILURE() << "no vtkOriginalCellIds for every cell";
    return cells;
  }
  for (vtkIdType c = 0; c < surface->GetNumberOfCells(); ++c)
  {
    vtkIdType n;
    const vtkIdType* pts;
    surface->GetCellPoints(c, n, pts);
    std::vector<vtkIdType> ids(pts, pts + n);
    if (pointIds)
    {
      for (vtkIdType& id : ids)
      {
        id = pointIds->GetValue(id);
      }
    }
    cells.emplace_back(cellIds->GetValue(c), surface->GetCellType(c), ids);
  }
  std::sort(cells.begin(), cells.end());
  return cells;
}

std::string Describe(const Cell& cell)
{
  std::ostringstream text;
  text << "input cell " << std::get<0>(cell) << ", type " << std::get<1>(cell) << ", points";
  for (vtkIdType id : std::get<2>(cell))
  {
    text << " " << id;
  }
  return text.str();
}

// The first cell one list has and the other has not, or "".
std::string FirstDifference(const std::vector<Cell>& vtk, const std::vector<Cell>& orvi)
{
  std::vector<Cell> onlyVtk, onlyOrvi;
  std::set_difference(
    vtk.begin(), vtk.end(), orvi.begin(), orvi.end(), std::back_inserter(onlyVtk));
  std::set_difference(
    orvi.begin(), orvi.end(), vtk.begin(), vtk.end(), std::back_inserter(onlyOrvi));
  if (!onlyVtk.empty())
  {
    return std::to_string(onlyVtk.size()) + " cells only VTK's filter gives, as " +
      Describe(onlyVtk[0]);
  }
  if (!onlyOrvi.empty())
  {
    return std::to_string(onlyOrvi.size()) + " cells only orvi gives, as " + Describe(onlyOrvi[0]);
  }
  return {};
}

vtkSmartPointer<vtkPolyData> VtkSurface(vtkDataSet* mesh)
{
  vtkNew<vtkDataSetSurfaceFilter> filter;
  filter->SetInputData(mesh);
  filter->PassThroughCellIdsOn();
  filter->PassThroughPointIdsOn();
  filter->Update();
  return filter->GetOutput();
}

vtkSmartPointer<vtkPolyData> OrviSurface(vtkDataSet* mesh, bool* usedVtkFilter = nullptr)
{
  vtkNew<orvi::BoundarySurface> filter;
  filter->SetInputData(mesh);
  filter->PassThroughCellIdsOn();
  filter->Update();
  if (usedVtkFilter)
  {
    *usedVtkFilter = filter->GetUsedVtkFilter();
  }
  return filter->GetOutput();
}

struct MeshCase
{
  const char* Name;
  std::function<vtkSmartPointer<vtkDataSet>()> Make;
  bool ExpectVtkFilter;
};

std::ostream& operator<<(std::ostream& os, const MeshCase& c)
{
  return os << c.Name;
}

class BoundarySurfaceMesh : public ::testing::TestWithParam<MeshCase>
{
};

//------------------------------------------------------------------------------
TEST_P(BoundarySurfaceMesh, GivesTheCellsOfVtksFilter)
{
  vtkSmartPointer<vtkDataSet> mesh = GetParam().Make();
  if (!mesh)
  {
    GTEST_SKIP() << "gmsh or its tutorial t5.geo is not installed";
  }
  vtkSmartPointer<vtkPolyData> vtk = VtkSurface(mesh);
  bool usedVtkFilter = false;
  vtkSmartPointer<vtkPolyData> orvi = OrviSurface(mesh, &usedVtkFilter);
  EXPECT_EQ(usedVtkFilter, GetParam().ExpectVtkFilter);
  if (usedVtkFilter)
  {
    EXPECT_EQ(orvi->GetNumberOfCells(), vtk->GetNumberOfCells());
    return;
  }

  // The mesh's own points: the output's point ids are the mesh's.
  EXPECT_EQ(orvi->GetPoints(), static_cast<vtkPointSet*>(mesh.Get())->GetPoints());
  ASSERT_GT(vtk->GetNumberOfCells(), 0);
  const std::vector<Cell> vtkCells =
    Cells(vtk, vtkIdTypeArray::SafeDownCast(vtk->GetPointData()->GetArray("vtkOriginalPointIds")));
  const std::vector<Cell> orviCells = Cells(orvi, nullptr);
  EXPECT_EQ(orviCells.size(), vtkCells.size());
  EXPECT_EQ(FirstDifference(vtkCells, orviCells), "");
  EXPECT_EQ(orvi->GetNumberOfVerts(), vtk->GetNumberOfVerts());
  EXPECT_EQ(orvi->GetNumberOfLines(), vtk->GetNumberOfLines());

  // Every cell array of the mesh comes along with its cells' values.
  vtkCellData* in = mesh->GetCellData();
  auto* original =
    vtkIdTypeArray::SafeDownCast(orvi->GetCellData()->GetArray("vtkOriginalCellIds"));
  ASSERT_NE(original, nullptr);
  EXPECT_EQ(orvi->GetCellData()->GetNumberOfArrays(), in->GetNumberOfArrays() + 1);
  for (int a = 0; a < in->GetNumberOfArrays(); ++a)
  {
    vtkDataArray* source = in->GetArray(a);
    vtkDataArray* passed = orvi->GetCellData()->GetArray(source->GetName());
    ASSERT_NE(passed, nullptr) << source->GetName();
    int wrong = 0;
    for (vtkIdType c = 0; c < orvi->GetNumberOfCells(); ++c)
    {
      wrong += passed->GetComponent(c, 0) != source->GetComponent(original->GetValue(c), 0);
    }
    EXPECT_EQ(wrong, 0) << source->GetName();
  }
  EXPECT_EQ(orvi->GetPointData()->GetNumberOfArrays(), mesh->GetPointData()->GetNumberOfArrays());
}

INSTANTIATE_TEST_SUITE_P(OrviBoundarySurface,
  BoundarySurfaceMesh,
  ::testing::Values(MeshCase{ "MixedCells", [] { return MixedMesh(); }, false },
    MeshCase{ "MixedCells32BitStorage", [] { return MixedMesh(true); }, false },
    MeshCase{ "GmshTutorial5", [] { return GmshMesh(); }, false },
    MeshCase{ "QuadraticCells",
      []
      {
        return MixedMesh(false,
          [](vtkUnstructuredGrid* grid)
          {
            vtkIdType ids[10] = { 0, 1, 5, 30, 2, 3, 4, 6, 7, 8 };
            grid->InsertNextCell(VTK_QUADRATIC_TETRA, 10, ids);
          });
      },
      true },
    MeshCase{ "ImageData",
      []
      {
        auto image = vtkSmartPointer<vtkImageData>::New();
        image->SetDimensions(4, 3, 2);
        return vtkSmartPointer<vtkDataSet>(image);
      },
      true }),
  [](const ::testing::TestParamInfo<MeshCase>& info) { return std::string(info.param.Name); });

//------------------------------------------------------------------------------
// The two surfaces coloured by a point array and by a cell array render to
// the same pixels.
TEST(OrviBoundarySurface, RendersAsVtksFilter)
{
  vtkSmartPointer<vtkUnstructuredGrid> mesh = MixedMesh();
  orvi_test::Scene scene(400, 300);
  vtkNew<vtkPolyDataMapper> mapper;
  vtkNew<vtkActor> actor;
  actor->SetMapper(mapper);
  scene.Renderer->AddActor(actor);
  vtkNew<vtkLookupTable> lut;
  lut->SetHueRange(0.667, 0.0);
  lut->Build();
  mapper->SetLookupTable(lut);
  mapper->UseLookupTableScalarRangeOff();

  for (const bool cellColours : { false, true })
  {
    mapper->SetScalarModeToUsePointFieldData();
    if (cellColours)
    {
      mapper->SetScalarModeToUseCellFieldData();
    }
    mapper->SelectColorArray(cellColours ? "material" : "height");
    mapper->SetScalarRange(cellColours ? 0 : -1, cellColours ? 10 : 4);
    std::vector<std::vector<unsigned char>> images;
    for (const vtkSmartPointer<vtkPolyData>& surface : { VtkSurface(mesh), OrviSurface(mesh) })
    {
      mapper->SetInputData(surface);
      // From below, where a triangle lies on the block's bottom face.
      vtkCamera* camera = scene.Renderer->GetActiveCamera();
      camera->SetFocalPoint(5.0, 1.5, 1.5);
      camera->SetPosition(-3.0, -11.0, -9.0);
      camera->SetViewUp(0.0, 0.0, 1.0);
      scene.Renderer->ResetCameraClippingRange();
      scene.Window->Render();
      vtkNew<vtkUnsignedCharArray> pixels;
      scene.Window->GetPixelData(0, 0, 399, 299, 1, pixels);
      images.emplace_back(pixels->GetPointer(0), pixels->GetPointer(0) + 400 * 300 * 3);
    }
    long differing = 0, coloured = 0;
    for (size_t i = 0; i < images[0].size(); i += 3)
    {
      differing += !std::equal(&images[0][i], &images[0][i] + 3, &images[1][i]);
      coloured += images[0][i] + images[0][i + 1] + images[0][i + 2] > 0;
    }
    EXPECT_GT(coloured, 15000) << (cellColours ? "cell" : "point") << " colours";
    EXPECT_EQ(differing, 0) << (cellColours ? "cell" : "point") << " colours";
  }
}

//------------------------------------------------------------------------------
// Cells that would make the extraction read out of bounds are refused with
// an error naming the cell, and the output is empty.
TEST(OrviBoundarySurface, RefusesBrokenCells)
{
  struct Broken
  {
    const char* Name;
    std::function<void(vtkUnstructuredGrid*)> Break;
    const char* Message;
  };
  const Broken cases[] = {
    { "point id too large",
      [](vtkUnstructuredGrid* g)
      {
        vtkIdType ids[4] = { 0, 1, 2, g->GetNumberOfPoints() };
        g->InsertNextCell(VTK_TETRA, 4, ids);
      },
      "refers to point" },
    { "negative point id",
      [](vtkUnstructuredGrid* g)
      {
        vtkIdType ids[3] = { 0, -1, 2 };
        g->InsertNextCell(VTK_TRIANGLE, 3, ids);
      },
      "refers to point -1" },
    { "hexahedron of seven points",
      [](vtkUnstructuredGrid* g)
      {
        vtkIdType ids[7] = { 0, 1, 2, 3, 4, 5, 6 };
        g->InsertNextCell(VTK_HEXAHEDRON, 7, ids);
      },
      "has 7 points where its type has 8" },
    { "polyhedron face out of range",
      [](vtkUnstructuredGrid* g)
      {
        vtkIdType ids[4] = { 0, 1, 2, 3 };
        vtkIdType faces[16] = { 3, 0, 1, 2, 3, 0, 1, 3, 3, 1, 2, 3, 3, 0, 3, 9999 };
        g->InsertNextCell(VTK_POLYHEDRON, 4, ids, 4, faces);
      },
      "has a face with point 9999" },
    { "quadratic cell, for VTK's filter, with a point id out of range",
      [](vtkUnstructuredGrid* g)
      {
        vtkIdType ids[10] = { 0, 1, 5, 30, 2, 3, 4, 6, 7, 9999 };
        g->InsertNextCell(VTK_QUADRATIC_TETRA, 10, ids);
      },
      "refers to point 9999" },
  };
  for (const Broken& c : cases)
  {
    SCOPED_TRACE(c.Name);
    vtkIdType bad = -1;
    vtkSmartPointer<vtkUnstructuredGrid> mesh = MixedMesh(false,
      [&](vtkUnstructuredGrid* grid)
      {
        bad = grid->GetNumberOfCells();
        c.Break(grid);
      });
    vtkNew<orvi::BoundarySurface> filter;
    filter->SetInputData(mesh);
    orvi_test::EventRecorder errors(filter, vtkCommand::ErrorEvent);
    orvi_test::EventRecorder executiveErrors(filter->GetExecutive(), vtkCommand::ErrorEvent);
    filter->Update();
    EXPECT_TRUE(errors.Saw("cell " + std::to_string(bad) + " " + c.Message))
      << (errors.Texts.empty() ? "no error" : errors.Texts[0]);
    EXPECT_EQ(filter->GetOutput()->GetNumberOfCells(), 0);
  }
}

} // namespace
