// orvi::BoundarySurface against vtkDataSetSurfaceFilter on the same meshes:
// the same cells with the same point ids in the same order (so the same
// winding and, for quads, the same diagonal), from the same input cells,
// with the same cell data; and a clean refusal of cells that would make it
// read out of bounds. With coincident cells dropped (the default), gmsh's
// boundary triangles, lines and points are gone and what shows on screen is
// the tetrahedra's own surface, pixel for pixel. Last, the clustered
// stand-in made of that surface (orvi::ClusteredSurface).
#include "orviBlockMesh.h"
#include "orviBoundarySurface.h"
#include "orviClusteredSurface.h"
#include "orviFilterTestScene.h"
#include "orviGmshMesh.h"
#include "orviTestUtils.h"

#include "vtkCell.h"
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkDoubleArray.h"
#include "vtkFloatArray.h"
#include "vtkIdFilter.h"
#include "vtkIdList.h"
#include "vtkIdTypeArray.h"
#include "vtkIntArray.h"
#include "vtkMassProperties.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkUnstructuredGrid.h"

#include <map>
#include <numeric>
#include <random>
#include <set>
#include <tuple>

#include <sys/mman.h>

namespace
{
using orvi_test::Differing;
using Ids = std::vector<vtkIdType>;

// A block of 4 x 3 x 3 cubes, each a random shape of orvi_test::AddBlock;
// then a cell given twice, two stacked pentagonal prisms with a polyhedron
// on the lower one's points, a hexagonal prism, and 2D, 1D and 0D cells (a
// triangle on the block's bottom face) and an empty cell among them; last,
// a cell of type last unless it is 0 (faces: a polyhedron's). Point data
// "height", cell data "material".
auto MixedMesh(bool storage32 = false, int last = 0, const Ids& ids = {}, const Ids& faces = {})
{
  auto grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
  vtkNew<vtkPoints> points;
  grid->SetPoints(points);
  grid->AllocateExact(512, 8);
  std::mt19937 random(7);
  const auto shape = [&](int, int, int) { return orvi_test::CubeShape(random() % 7); };
  orvi_test::AddBlock(grid, points, 4, 3, 3, shape);
  const auto pid = [](int i, int j, int k) -> vtkIdType { return i + 5 * (j + 4 * k); };
  const auto cell = [&](int type, Ids corners)
  { grid->InsertNextCell(type, static_cast<vtkIdType>(corners.size()), corners.data()); };
  vtkIdType twice = 0, n;
  const vtkIdType* pts;
  for (; grid->GetCellType(twice) == VTK_POLYHEDRON; ++twice)
  {
  }
  grid->GetCellPoints(twice, n, pts);
  cell(grid->GetCellType(twice), Ids(pts, pts + n));

  // Three pentagons at x = 7, z = 0, 1, 2; two hexagons at x = 10, z = 0, 1.
  const vtkIdType p = points->GetNumberOfPoints();
  for (int i = 0; i < 27; ++i)
  {
    const double a = i < 15 ? 1.2566 * (i % 5) : 1.0472 * ((i - 15) % 6);
    points->InsertNextPoint(
      (i < 15 ? 7 : 10) + std::cos(a), 1 + std::sin(a), i < 15 ? i / 5 : i / 21);
  }
  Ids prisms(27);
  std::iota(prisms.begin(), prisms.end(), p);
  cell(VTK_PENTAGONAL_PRISM, Ids(prisms.begin(), prisms.begin() + 10));
  cell(VTK_LINE, { 0, 7 });
  cell(VTK_PENTAGONAL_PRISM, Ids(prisms.begin() + 5, prisms.begin() + 15));
  Ids sides = { 5, p + 4, p + 3, p + 2, p + 1, p, 5, p + 5, p + 6, p + 7, p + 8, p + 9 };
  for (vtkIdType c = 0; c < 5; ++c)
  {
    sides.insert(sides.end(), { 4, p + c, p + (c + 1) % 5, p + 5 + (c + 1) % 5, p + 5 + c });
  }
  grid->InsertNextCell(VTK_POLYHEDRON, 10, prisms.data(), 7, sides.data());
  cell(VTK_VERTEX, { 3 });
  cell(VTK_HEXAGONAL_PRISM, Ids(prisms.begin() + 15, prisms.end()));
  cell(VTK_TRIANGLE, { pid(0, 0, 0), pid(1, 1, 0), pid(1, 0, 0) });
  cell(VTK_POLY_VERTEX, { 5, 9, 2 });
  cell(VTK_QUAD, { pid(2, 0, 0), pid(2, 1, 0), pid(3, 1, 0), pid(3, 0, 0) });
  cell(VTK_PIXEL, { pid(0, 0, 3), pid(1, 0, 3), pid(0, 1, 3), pid(1, 1, 3) });
  cell(VTK_EMPTY_CELL, {});
  cell(VTK_POLYGON, { pid(4, 0, 3), pid(4, 1, 3), pid(4, 2, 3), pid(3, 2, 3), pid(3, 0, 3) });
  cell(VTK_POLY_LINE, { 1, 8, 13, 20 });
  cell(
    VTK_TRIANGLE_STRIP, { pid(0, 3, 1), pid(0, 3, 2), pid(1, 3, 1), pid(1, 3, 2), pid(2, 3, 1) });
  if (last != 0)
  {
    grid->InsertNextCell(last, static_cast<vtkIdType>(ids.size()), ids.data(), 4, faces.data());
  }
  vtkNew<vtkDoubleArray> height;
  height->SetName("height");
  for (vtkIdType i = 0; i < points->GetNumberOfPoints(); ++i)
  {
    const double* x = points->GetPoint(i);
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

// Each output cell as (input cell, type, point ids in the input's numbering
// in order, its "material"), sorted. The surface must carry the original
// cell and point ids.
using Cell = std::tuple<vtkIdType, int, Ids, double>;
std::vector<Cell> Cells(vtkPolyData* surface)
{
  auto* pointIds =
    vtkIdTypeArray::SafeDownCast(surface->GetPointData()->GetArray("vtkOriginalPointIds"));
  EXPECT_NE(pointIds, nullptr);
  vtkCellData* data = surface->GetCellData();
  auto* cellIds = vtkIdTypeArray::SafeDownCast(data->GetArray("vtkOriginalCellIds"));
  std::vector<Cell> cells;
  for (vtkIdType c = 0; cellIds && c < surface->GetNumberOfCells(); ++c)
  {
    vtkIdType n;
    const vtkIdType* pts;
    surface->GetCellPoints(c, n, pts);
    Ids ids(pts, pts + n);
    for (vtkIdType& id : ids)
    {
      id = pointIds ? pointIds->GetValue(id) : id;
    }
    const double material =
      data->GetArray("material") ? data->GetArray("material")->GetTuple1(c) : -1;
    cells.emplace_back(cellIds->GetValue(c), surface->GetCellType(c), ids, material);
  }
  std::sort(cells.begin(), cells.end());
  return cells;
}

// The filter's output on mesh with the original ids, coincident cells
// dropped or kept, its faces matched in rounds of roundBytes.
vtkSmartPointer<vtkPolyData> Extract(vtkDataSet* mesh,
  bool drop = true,
  bool* usedVtk = nullptr,
  vtkIdType roundBytes = 0)
{
  vtkNew<orvi::BoundarySurface> filter;
  filter->SetRoundBytes(roundBytes);
  filter->SetInputData(mesh);
  filter->PassThroughCellIdsOn();
  filter->PassThroughPointIdsOn();
  filter->SetDropCoincidentCells(drop);
  filter->Update();
  if (usedVtk)
  {
    *usedVtk = filter->GetUsedVtkFilter();
  }
  return filter->GetOutput();
}

//------------------------------------------------------------------------------
TEST(OrviBoundarySurface, GivesTheCellsOfVtksFilter)
{
  const Ids quadratic = { 0, 1, 5, 30, 2, 3, 4, 6, 7, 8 };
  auto image = vtkSmartPointer<vtkImageData>::New();
  image->SetDimensions(4, 3, 2);
  // Last, gmsh's tutorial t5 as gmsh writes it: tetrahedra with the
  // triangles, lines and points of its model.
  const std::tuple<const char*, vtkSmartPointer<vtkDataSet>, bool> meshes[] = {
    { "mixed cells", MixedMesh(), false },
    { "mixed cells, 32-bit storage", MixedMesh(true), false },
    { "a quadratic cell: VTK's filter", MixedMesh(false, VTK_QUADRATIC_TETRA, quadratic), true },
    { "image data: VTK's filter", image, true },
    { "gmsh t5", nullptr, false },
  };
  std::string why;
  for (auto [name, mesh, expectVtkFilter] : meshes)
  {
    SCOPED_TRACE(name);
    if (!mesh && !(mesh = orvi_test::ReadGmshTutorial("t5", ORVI_TEST_OUTPUT_DIR, why)))
    {
      GTEST_SKIP() << why;
    }
    vtkNew<vtkDataSetSurfaceFilter> vtk;
    vtk->SetInputData(mesh);
    vtk->PassThroughCellIdsOn();
    vtk->PassThroughPointIdsOn();
    vtk->Update();
    bool usedVtk = false;
    vtkSmartPointer<vtkPolyData> surface = Extract(mesh, false, &usedVtk);
    EXPECT_EQ(usedVtk, expectVtkFilter);
    if (expectVtkFilter)
    {
      EXPECT_EQ(surface->GetNumberOfCells(), vtk->GetOutput()->GetNumberOfCells());
      continue;
    }
    // The points the cells use, each with the mesh's coordinates and point
    // data at its mesh id.
    auto* orviPointIds =
      vtkIdTypeArray::SafeDownCast(surface->GetPointData()->GetArray("vtkOriginalPointIds"));
    ASSERT_NE(orviPointIds, nullptr);
    EXPECT_EQ(surface->GetNumberOfPoints(), vtk->GetOutput()->GetNumberOfPoints());
    vtkDataArray* scalars = mesh->GetPointData()->GetScalars();
    for (vtkIdType p = 0; p < surface->GetNumberOfPoints(); ++p)
    {
      const vtkIdType id = orviPointIds->GetValue(p);
      ASSERT_TRUE(id >= 0 && id < mesh->GetNumberOfPoints());
      EXPECT_EQ(p == 0 || id > orviPointIds->GetValue(p - 1), true) << "mesh order at " << p;
      EXPECT_EQ(orvi_test::Distance(surface->GetPoint(p), mesh->GetPoint(id)), 0.0) << p;
      if (scalars)
      {
        EXPECT_EQ(surface->GetPointData()->GetScalars()->GetTuple1(p), scalars->GetTuple1(id));
      }
    }
    // The point and cell data come along, plus the original ids.
    const std::array<int, 3> kept = { surface->GetPointData()->GetNumberOfArrays(),
      surface->GetCellData()->GetNumberOfArrays(),
      surface->GetPoints()->GetDataType() };
    EXPECT_EQ(kept,
      (std::array<int, 3>{ mesh->GetPointData()->GetNumberOfArrays() + 1,
        mesh->GetCellData()->GetNumberOfArrays() + 1,
        vtkPointSet::SafeDownCast(mesh)->GetPoints()->GetDataType() }));
    EXPECT_EQ(Cells(surface), Cells(vtk->GetOutput()));
    // Matched in rounds of a bucket of points each: the same cells.
    EXPECT_EQ(Cells(Extract(mesh, false, nullptr, 1)), Cells(surface));
  }
}

//------------------------------------------------------------------------------
// Cells that would make the extraction read out of bounds are refused with
// an error naming the cell, and the output is empty.
TEST(OrviBoundarySurface, RefusesBrokenCells)
{
  const vtkIdType np = MixedMesh()->GetNumberOfPoints();
  const std::string cell = "cell " + std::to_string(MixedMesh()->GetNumberOfCells()) + " ";
  const std::tuple<int, Ids, Ids, std::string> cases[] = {
    { VTK_TETRA, { 0, 1, 2, np }, {}, "refers to point " + std::to_string(np) },
    { VTK_TRIANGLE, { 0, -1, 2 }, {}, "refers to point -1" },
    { VTK_HEXAHEDRON, { 0, 1, 2, 3, 4, 5, 6 }, {}, "has 7 points where its type has 8" },
    { VTK_POLYHEDRON,
      { 0, 1, 2, 3 },
      { 3, 0, 1, 2, 3, 0, 1, 3, 3, 1, 2, 3, 3, 0, 3, 9999 },
      "has a face with point 9999" },
    // A cell VTK's filter takes, checked all the same.
    { VTK_QUADRATIC_TETRA, { 0, 1, 5, 30, 2, 3, 4, 6, 7, 9999 }, {}, "refers to point 9999" },
  };
  for (const auto& [type, ids, faces, message] : cases)
  {
    SCOPED_TRACE(message);
    vtkNew<orvi::BoundarySurface> filter;
    filter->SetInputData(MixedMesh(false, type, ids, faces));
    orvi_test::EventRecorder errors(filter, vtkCommand::ErrorEvent);
    filter->Update();
    EXPECT_TRUE(errors.Saw(cell + message))
      << (errors.Texts.empty() ? "no error" : errors.Texts[0]);
    EXPECT_EQ(filter->GetOutput()->GetNumberOfCells(), 0);
  }
}

//------------------------------------------------------------------------------
// The ids of a mesh's faces are packed into fewer bits the fewer points it
// has: a tetrahedron's fourth id wholly in the word of its first face below
// 2^17 points, partly in one, two or four bytes beside it from there, and a
// mesh of 2^25 points or more has its faces matched by wider keys. The same
// cells at the end of a point array of each size (whose other points are
// never read, in memory that is mapped but never touched) give the same
// surface as on their own points.
TEST(OrviBoundarySurface, MeshOfManyPointsGivesTheSameFaces)
{
  auto small = vtkSmartPointer<vtkUnstructuredGrid>::New();
  vtkNew<vtkPoints> smallPoints;
  small->SetPoints(smallPoints);
  small->AllocateExact(256, 8);
  std::mt19937 random(3);
  orvi_test::AddBlock(
    small, smallPoints, 4, 3, 3, [&](int, int, int) { return orvi_test::CubeShape(random() % 6); });
  bool usedVtk = true;
  const std::vector<Cell> cells = Cells(Extract(small, true, &usedVtk));
  EXPECT_FALSE(usedVtk);
  EXPECT_GT(cells.size(), 100u);

  for (const int bits : { 17, 20, 23, 25 })
  {
    SCOPED_TRACE(bits);
    const vtkIdType first = vtkIdType(1) << bits;
    const vtkIdType n = first + small->GetNumberOfPoints();
    const size_t bytes = static_cast<size_t>(3 * n) * sizeof(float);
    void* memory = mmap(
      nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(memory, MAP_FAILED);
    vtkNew<vtkFloatArray> coordinates;
    coordinates->SetNumberOfComponents(3);
    coordinates->SetArray(static_cast<float*>(memory), 3 * n, 1);
    for (vtkIdType p = 0; p < small->GetNumberOfPoints(); ++p)
    {
      coordinates->SetTuple(first + p, small->GetPoint(p));
    }
    vtkNew<vtkCellArray> shifted;
    shifted->DeepCopy(small->GetCells());
    vtkDataArray* ids = shifted->GetConnectivityArray();
    for (vtkIdType i = 0; i < ids->GetNumberOfValues(); ++i)
    {
      ids->SetTuple1(i, ids->GetTuple1(i) + static_cast<double>(first));
    }
    vtkNew<vtkUnstructuredGrid> large;
    large->SetPoints(vtkNew<vtkPoints>());
    large->GetPoints()->SetData(coordinates);
    large->SetCells(small->GetCellTypesArray(), shifted);

    std::vector<Cell> onMany = Cells(Extract(large, true, &usedVtk));
    munmap(memory, bytes);
    for (Cell& cell : onMany)
    {
      for (vtkIdType& id : std::get<2>(cell))
      {
        id -= first;
      }
    }
    EXPECT_FALSE(usedVtk);
    EXPECT_EQ(onMany, cells);
  }
}

//------------------------------------------------------------------------------
// What the coincident cells leave out, against what VTK's cells say: a
// polygon from a 2D cell whose points are those of a face of a 3D cell, a
// line whose segments are all edges of 2D or 3D cells, a vertex whose
// points are all points of lines, 2D or 3D cells. All the rest stays, cell
// for cell.
TEST(OrviBoundarySurface, DropsCellsOnCellsOfHigherDimension)
{
  std::string why;
  // The mixed mesh with a line along an edge of the block's first cube.
  auto mixed = MixedMesh();
  const vtkIdType edge[2] = { 1, 0 };
  mixed->InsertNextCell(VTK_LINE, 2, edge);
  vtkArrayDownCast<vtkIntArray>(mixed->GetCellData()->GetArray("material"))->InsertNextValue(4);
  const std::pair<const char*, vtkSmartPointer<vtkUnstructuredGrid>> meshes[] = {
    { "mixed cells", mixed },
    { "gmsh t14", orvi_test::ReadGmshTutorial("t14", ORVI_TEST_OUTPUT_DIR, why) },
  };
  for (const auto& [name, mesh] : meshes)
  {
    SCOPED_TRACE(name);
    if (!mesh)
    {
      GTEST_SKIP() << why;
    }
    // What lower cells may lie on, each as its sorted point ids: the faces
    // of 3D cells, the edges of 2D and 3D cells, the points of all but
    // vertices.
    std::set<Ids> higher;
    auto note = [&higher](vtkCell* piece)
    {
      vtkIdList* ids = piece->GetPointIds();
      Ids sorted(ids->GetPointer(0), ids->GetPointer(0) + ids->GetNumberOfIds());
      std::sort(sorted.begin(), sorted.end());
      higher.insert(sorted);
    };
    for (vtkIdType c = 0; c < mesh->GetNumberOfCells(); ++c)
    {
      vtkCell* cell = mesh->GetCell(c);
      const int dimension = cell->GetCellDimension();
      for (int f = 0; dimension == 3 && f < cell->GetNumberOfFaces(); ++f)
      {
        note(cell->GetFace(f));
      }
      for (int e = 0; dimension >= 2 && e < cell->GetNumberOfEdges(); ++e)
      {
        note(cell->GetEdge(e));
      }
      for (vtkIdType k = 0; dimension >= 1 && k < cell->GetNumberOfPoints(); ++k)
      {
        higher.insert({ cell->GetPointId(k) });
      }
    }
    // An output cell lies on them when all its pieces do: a vertex's
    // points, a line's segments, a 2D cell's polygon (faces of 3D cells are
    // left alone).
    std::vector<Cell> expected;
    std::map<int, int> dropped; // by output cell type
    for (const Cell& c : Cells(Extract(mesh, false)))
    {
      const auto& [source, type, ids, material] = c;
      const int dimension = mesh->GetCell(source)->GetCellDimension();
      const size_t step = dimension == 0 ? 1 : dimension == 1 ? 2 : ids.size();
      bool lies = dimension < 3;
      for (size_t k = 0; lies && k + step <= ids.size(); k += std::max<size_t>(1, step - 1))
      {
        Ids piece(ids.begin() + k, ids.begin() + k + step);
        std::sort(piece.begin(), piece.end());
        lies = higher.count(piece) > 0;
      }
      if (lies)
      {
        ++dropped[type];
      }
      else
      {
        expected.push_back(c);
      }
    }
    EXPECT_EQ(Cells(Extract(mesh)), expected);
    EXPECT_EQ(Cells(Extract(mesh, true, nullptr, 1)), expected);
    // Each kind is met: polygons and lines both times, vertices in the
    // mixed mesh (gmsh writes none for t14).
    EXPECT_GT(dropped[VTK_TRIANGLE] + dropped[VTK_QUAD] + dropped[VTK_POLYGON], 0);
    EXPECT_GT(dropped[VTK_LINE] + dropped[VTK_POLY_LINE], 0);
    EXPECT_EQ(dropped[VTK_VERTEX] + dropped[VTK_POLY_VERTEX] > 0, mesh == meshes[0].second);
  }
}

//------------------------------------------------------------------------------
// gmsh's t14 as gmsh writes it (tetrahedra with the triangles and lines of
// its model, each with its own CellEntityIds) coloured by CellEntityIds,
// unlit so that a pixel's colour is its cell's id alone. At two camera
// positions the extraction must show exactly what the tetrahedra alone show
// through VTK's filter: one colour per face, the volume's, no stripes.
// VTK's filter on the whole file, which keeps gmsh's triangles on the faces,
// is rendered too: its stripes are what the comparison catches.
TEST(OrviBoundarySurface, GmshFacesShowOneStableColour)
{
  std::string why;
  auto mesh = orvi_test::ReadGmshTutorial("t14", ORVI_TEST_OUTPUT_DIR, why);
  if (!mesh)
  {
    GTEST_SKIP() << why;
  }
  // The tetrahedra alone, with their ids.
  vtkNew<vtkUnstructuredGrid> tetrahedra;
  tetrahedra->SetPoints(mesh->GetPoints());
  tetrahedra->GetCellData()->CopyAllocate(mesh->GetCellData());
  for (vtkIdType c = 0; c < mesh->GetNumberOfCells(); ++c)
  {
    if (mesh->GetCellType(c) == VTK_TETRA)
    {
      const vtkIdType t = tetrahedra->InsertNextCell(VTK_TETRA, mesh->GetCell(c)->GetPointIds());
      tetrahedra->GetCellData()->CopyData(mesh->GetCellData(), c, t);
    }
  }
  ASSERT_GT(mesh->GetNumberOfCells() - tetrahedra->GetNumberOfCells(), 100)
    << "gmsh wrote no triangles or lines beside the tetrahedra";
  vtkNew<vtkDataSetSurfaceFilter> vtkTetrahedra, vtkAll;
  vtkTetrahedra->SetInputData(tetrahedra);
  vtkAll->SetInputData(mesh);
  vtkNew<orvi::BoundarySurface> orvi;
  orvi->SetInputData(mesh);
  const std::pair<vtkAlgorithm*, const char*> surfaces[] = {
    { vtkTetrahedra, "tetrahedra" }, { orvi, "extracted" }, { vtkAll, "vtk-whole-file" }
  };
  orvi_test::Scene scene(600, 500);
  const double* range = mesh->GetCellData()->GetArray("CellEntityIds")->GetRange();
  for (const auto& [azimuth, elevation, dolly] :
    { std::array<double, 3>{ 30, 20, 1.2 }, { -70, -35, 0.9 } })
  {
    SCOPED_TRACE(azimuth);
    orvi_test::LookAtBounds(scene, mesh->GetBounds(), azimuth, elevation, dolly);
    std::unique_ptr<orvi_test::Frame> frames[3]; // VTK's tetrahedra, ours, VTK's whole file
    for (int i = 0; i < 3; ++i)
    {
      const std::string name =
        "t14-" + std::string(surfaces[i].second) + std::to_string(int(azimuth));
      frames[i] =
        orvi_test::ShowUnlit(scene, nullptr, surfaces[i].first, name, "CellEntityIds", range);
    }
    const int model = frames[0]->Count(
      [](const std::array<int, 3>& rgb, int, int) { return rgb[0] + rgb[1] + rgb[2] > 0; });
    EXPECT_GT(model, 600 * 500 / 8);
    EXPECT_EQ(Differing(*frames[1], *frames[0], 12), 0);
    // The comparison sees stripes where they are.
    EXPECT_GT(Differing(*frames[2], *frames[0], 12), model / 100);
  }
}

// The clustered stand-in: orvi::ClusteredSurface on the boundary surface of
// gmsh's tutorial t5, a copy of about the triangles asked for, made of the
// surface's own points and polygons, that covers on screen what VTK draws of
// the full surface; and inputs that give nothing, or an error, rather than a
// crash.
// The boundary surface of t5 at half gmsh's sizes, each point and polygon
// with its own id in "point" and "cell"; nullptr with why set without gmsh.
vtkSmartPointer<vtkPolyData> T5Surface(std::string& why)
{
  // In a folder of its own: the other cases mesh t5 at gmsh's sizes.
  const std::string dir = std::string(ORVI_TEST_OUTPUT_DIR) + "/half-size";
  auto mesh = orvi_test::ReadGmshTutorial("t5", dir, why, "-3 -clscale 0.5");
  if (!mesh)
  {
    return nullptr;
  }
  vtkNew<orvi::BoundarySurface> extract;
  extract->SetInputData(mesh);
  vtkNew<vtkIdFilter> ids;
  ids->SetInputConnection(extract->GetOutputPort());
  ids->SetPointIdsArrayName("point");
  ids->SetCellIdsArrayName("cell");
  ids->Update();
  return vtkPolyData::SafeDownCast(ids->GetOutput());
}

vtkSmartPointer<vtkPolyData> Clustered(vtkPolyData* surface, vtkIdType target)
{
  vtkNew<orvi::ClusteredSurface> filter;
  filter->SetInputData(surface);
  filter->SetTargetTriangles(target);
  filter->Update();
  return filter->GetOutput();
}

//------------------------------------------------------------------------------
// For several sizes: about the triangles asked for; each point a surface
// point at its place with its point data, used once; each triangle on
// three distinct points, with its polygon's cell data and no other
// triangle on the same points in the same turn; and on screen the shape of
// the full surface, closer the more triangles it has.
TEST(OrviClusteredSurface, IsMadeOfTheSurfacesPointsAndCoversItsPixels)
{
  std::string why;
  vtkSmartPointer<vtkPolyData> surface = T5Surface(why);
  if (!surface)
  {
    GTEST_SKIP() << why;
  }
  const vtkIdType polys = surface->GetNumberOfPolys();
  ASSERT_GT(polys, 6000);
  vtkNew<vtkMassProperties> mass;
  mass->SetInputData(surface);
  mass->Update();
  const double area = mass->GetSurfaceArea();
  orvi_test::Scene scene(400, 300);
  orvi_test::LookAtBounds(scene, surface->GetBounds(), 30, 20);
  const auto full = orvi_test::ShowUnlit(scene, surface, nullptr, "t5-full");
  const int model = full->Count([](const std::array<int, 3>& c, int, int) { return c[0] > 0; });
  ASSERT_GT(model, 400 * 300 / 8);
  // The share of the model's pixels a stand-in may get wrong.
  const std::pair<vtkIdType, double> cases[] = {
    { 500, 0.12 }, { polys / 8, 0.1 }, { polys / 3, 0.05 }
  };
  int fewer = model; // the pixels the coarser stand-in got wrong
  for (const auto& [target, share] : cases)
  {
    SCOPED_TRACE(target);
    vtkSmartPointer<vtkPolyData> standIn = Clustered(surface, target);
    const vtkIdType n = standIn->GetNumberOfPolys();
    EXPECT_TRUE(n > target / 3 && n < 2 * target) << n;
    EXPECT_EQ(standIn->GetNumberOfCells(), n);
    auto* from = vtkIdTypeArray::SafeDownCast(standIn->GetPointData()->GetArray("point"));
    auto* of = vtkIdTypeArray::SafeDownCast(standIn->GetCellData()->GetArray("cell"));
    ASSERT_TRUE(from && of);
    std::set<vtkIdType> sources;
    for (vtkIdType i = 0; i < standIn->GetNumberOfPoints(); ++i)
    {
      EXPECT_TRUE(sources.insert(from->GetValue(i)).second) << i;
      ASSERT_EQ(
        orvi_test::Distance(standIn->GetPoint(i), surface->GetPoint(from->GetValue(i))), 0.0);
    }
    std::set<std::array<vtkIdType, 3>> triangles;
    for (vtkIdType t = 0; t < n; ++t)
    {
      vtkIdType count;
      const vtkIdType* p;
      standIn->GetCellPoints(t, count, p);
      ASSERT_EQ(count, 3);
      ASSERT_TRUE(p[0] != p[1] && p[1] != p[2] && p[0] != p[2]) << t;
      const int least = static_cast<int>(std::min_element(p, p + 3) - p);
      EXPECT_TRUE(triangles.insert({ p[least], p[(least + 1) % 3], p[(least + 2) % 3] }).second);
      ASSERT_TRUE(of->GetValue(t) >= 0 && of->GetValue(t) < surface->GetNumberOfCells());
      // Each corner stands for a point of its polygon: one of the same grid
      // cell, whose side is about sqrt(2 area / target).
      vtkIdType m;
      const vtkIdType* q;
      surface->GetCellPoints(of->GetValue(t), m, q);
      for (int k = 0; k < 3; ++k)
      {
        double nearest = VTK_DOUBLE_MAX;
        for (vtkIdType j = 0; j < m; ++j)
        {
          nearest = std::min(
            nearest, orvi_test::Distance(standIn->GetPoint(p[k]), surface->GetPoint(q[j])));
        }
        EXPECT_LT(nearest, 1.8 * std::sqrt(2.0 * area / static_cast<double>(target))) << t;
      }
    }
    const auto shown =
      orvi_test::ShowUnlit(scene, standIn, nullptr, "t5-" + std::to_string(target));
    const int wrong = orvi_test::Differing(*shown, *full, 300);
    EXPECT_GT(wrong, 0);
    EXPECT_LT(wrong, share * model);
    EXPECT_LT(wrong, fewer);
    fewer = wrong;
  }
}

//------------------------------------------------------------------------------
// Triangles of a unit square's points (the same one twice kept once, turned
// over kept twice), and what gives nothing: no polygons, no area, no
// triangles asked for, a polygon off the points (with an error naming the
// point).
TEST(OrviClusteredSurface, SmallSurfacesAndBrokenPolygons)
{
  vtkNew<vtkPoints> points;
  for (int i = 0; i < 4; ++i)
  {
    points->InsertNextPoint(i % 2, i / 2, 0.0);
  }
  const std::tuple<std::vector<vtkIdType>, vtkIdType, vtkIdType, const char*> cases[] = {
    { { 0, 1, 2 }, 1, 1, nullptr },
    { { 0, 1, 2, 1, 2, 0 }, 2, 1, nullptr }, // the same triangle twice
    { { 0, 1, 2, 0, 2, 1 }, 2, 2, nullptr }, // and turned over
    { {}, 100, 0, nullptr },
    { { 0, 0, 2 }, 100, 0, nullptr },
    { { 0, 1, 2 }, 0, 0, nullptr },
    { { 0, 1, 4 }, 100, 0, "a polygon refers to point 4 of a surface of 4 points" },
    { { 0, -1, 2 }, 100, 0, "a polygon refers to point -1 of a surface of 4 points" },
  };
  for (const auto& [cell, target, triangles, error] : cases)
  {
    SCOPED_TRACE(testing::PrintToString(cell));
    vtkNew<vtkPolyData> surface;
    surface->SetPoints(points);
    surface->SetPolys(vtkNew<vtkCellArray>());
    for (size_t k = 0; k < cell.size(); k += 3)
    {
      surface->GetPolys()->InsertNextCell(3, cell.data() + k);
    }
    vtkNew<orvi::ClusteredSurface> filter;
    filter->SetInputData(surface);
    filter->SetTargetTriangles(target);
    orvi_test::EventRecorder errors(filter, vtkCommand::ErrorEvent);
    filter->Update();
    EXPECT_EQ(filter->GetOutput()->GetNumberOfCells(), triangles);
    EXPECT_EQ(errors.Texts.size(), error ? 1u : 0u);
    EXPECT_TRUE(!error || errors.Saw(error));
  }
}

} // namespace
