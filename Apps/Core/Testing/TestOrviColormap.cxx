// Meshes of every format as the command line names them, and their colours:
// ids of a few regions as categories (a colour each, named in the legend), a
// quantity through the colour maps.
#include "orviViewerTestUtils.h"

#include "vtkActor.h"
#include "vtkActor2DCollection.h"
#include "vtkCell.h"
#include "vtkDataArray.h"
#include "vtkDoubleArray.h"
#include "vtkIntArray.h"
#include "vtkLookupTable.h"
#include "vtkMapper.h"
#include "vtkPolyData.h"
#include "vtkScalarBarActor.h"
#include "vtkScalarsToColors.h"
#include "vtkSphereSource.h"

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

// The log's colouring line holds that text; none when it is empty.
void ExpectColouring(const std::string& log, const std::string& colouring)
{
  const bool told = log.find(colouring.empty() ? "colouring by" : colouring) != std::string::npos;
  EXPECT_EQ(told, !colouring.empty()) << log;
}

//==============================================================================
// Every format through VTK's readers (files VTK's writers wrote): the counts
// loaded and the array coloured by; none for a mesh without one that varies,
// such as the group ids, all 0, of VTK's OBJ reader.
TEST(OrviColormap, LoadsMeshesWrittenByVtk)
{
  const std::string grid = "loaded 15 points and 4 cells",
                    sphere = "loaded 74 points and 144 cells";
  const std::string temperature = "colouring by point array 'temperature'";
  const std::string height = "colouring by point array 'height'";
  const std::tuple<Args, std::string, std::string> cases[] = {
    { { "grid.vtu" }, grid, temperature },
    { { "--array", "pressure", "grid.vtu" }, grid, "colouring by cell array 'pressure'" },
    { { "sphere.vtp" }, sphere, height },
    { { "sphere.vtk" }, sphere, height }, // legacy poly data
    { { "sphere.stl" }, sphere, "" },
    { { "sphere-ascii.STL" }, sphere, "" },
    { { "sphere.obj" }, sphere, "" },
    { { "--array", "GroupIds", "sphere.obj" }, sphere, "cell array 'GroupIds', range 0 .. 0" },
  };
  for (const auto& [args, counts, colouring] : cases)
  {
    SCOPED_TRACE(args.back());
    std::ostringstream log;
    OpenViewer(args, log);
    EXPECT_NE(log.str().find(counts), std::string::npos) << log.str();
    ExpectColouring(log.str(), colouring);
  }
}

//==============================================================================
// Integer ids of a few regions are categories: each id one colour of its
// own, named in the legend; a floating-point quantity beside them is the
// default colouring, and ids of too many regions are never chosen by
// default. A colour map asks for a quantity.
TEST(OrviColormap, IdArraysAreColouredAsCategories)
{
  const fs::path dir = TestDir();
  // A sphere with a region id per quadrant (3, 7, 11, 42), a pressure and
  // integer arrays of 200 values.
  const auto sphere = [](const std::vector<std::string>& arrays)
  {
    vtkNew<vtkSphereSource> source;
    source->SetThetaResolution(24);
    source->SetPhiResolution(24);
    source->Update();
    vtkSmartPointer<vtkPolyData> mesh = source->GetOutput();
    for (const std::string& name : arrays)
    {
      const bool pressure = name == "pressure"; // by point, the others by cell
      auto array = vtkSmartPointer<vtkDataArray>::Take(
        vtkDataArray::CreateDataArray(pressure ? VTK_DOUBLE : VTK_INT));
      array->SetName(name.c_str());
      array->SetNumberOfTuples(pressure ? mesh->GetNumberOfPoints() : mesh->GetNumberOfCells());
      for (vtkIdType i = 0; i < array->GetNumberOfTuples(); ++i)
      {
        double b[6] = { 0, 0, 0, 0, 0, 0 }; // the cell's bounds: its quadrant
        if (!pressure)
        {
          mesh->GetCellBounds(i, b);
        }
        const int quadrant = (b[0] + b[1] > 0 ? 1 : 0) + (b[2] + b[3] > 0 ? 2 : 0);
        array->SetTuple1(i,
          pressure             ? mesh->GetPoint(i)[2]
            : name == "region" ? std::vector<double>{ 3, 7, 11, 42 }[quadrant]
                               : static_cast<double>(i % 200));
      }
      (pressure ? static_cast<vtkFieldData*>(mesh->GetPointData()) : mesh->GetCellData())
        ->AddArray(array);
    }
    return mesh;
  };
  const std::string regions = "colouring by cell array 'region', 4 categories (ids 3 .. 42)";
  const std::tuple<std::vector<std::string>, Args, std::string> cases[] = {
    { { "region", "pressure" }, {}, "colouring by point array 'pressure', range" },
    { { "region" }, {}, regions },
    { { "region" }, { "--array", "region" }, regions },
    { { "region" }, { "--colormap", "viridis" }, "cell array 'region', range 3 .. 42, viridis" },
    { { "partition" }, {}, "" }, // ids of 200 partitions: plain grey
    { { "count" }, {}, "colouring by cell array 'count', range 0 .. 199, rainbow" },
  };
  for (const auto& [arrays, args, colouring] : cases)
  {
    SCOPED_TRACE(colouring);
    std::ostringstream log;
    Args all = { "--edges", "off" };
    all.insert(all.end(), args.begin(), args.end());
    const auto viewer = OpenViewer(all, log, sphere(arrays));
    ExpectColouring(log.str(), colouring);
    if (colouring != regions)
    {
      continue;
    }
    // The legend: one swatch per id in the id's own colour, unlit, right of
    // the model; the four colours far apart.
    vtkLookupTable* lut = nullptr;
    vtkActor2DCollection* actors2D = viewer->GetRenderer()->GetActors2D();
    for (int i = 0; !lut && i < actors2D->GetNumberOfItems(); ++i)
    {
      if (auto* legend = vtkScalarBarActor::SafeDownCast(actors2D->GetItemAsObject(i)))
      {
        lut = vtkLookupTable::SafeDownCast(legend->GetLookupTable());
      }
    }
    ASSERT_TRUE(lut && lut->GetIndexedLookup() && lut->GetNumberOfAnnotatedValues() == 4);
    const Image picture = Shot(*viewer, dir / "regions.png");
    // The cells wear exactly the legend's colours: the same picture as with
    // the legend's own table on the model.
    vtkMapper* mapper =
      vtkActor::SafeDownCast(viewer->GetRenderer()->GetActors()->GetItemAsObject(0))->GetMapper();
    vtkSmartPointer<vtkScalarsToColors> drawn = mapper->GetLookupTable();
    mapper->SetLookupTable(lut);
    EXPECT_EQ(FractionDiffering(picture, Shot(*viewer, dir / "regions-indexed.png"), 0), 0.0);
    mapper->SetLookupTable(drawn);
    std::vector<Rgb> colours;
    for (int i = 0; i < 4; ++i)
    {
      EXPECT_EQ(lut->GetAnnotation(i), std::to_string(std::vector<int>{ 3, 7, 11, 42 }[i]));
      const double* c = lut->GetTableValue(i);
      const Rgb rgb = { int(c[0] * 255 + 0.5), int(c[1] * 255 + 0.5), int(c[2] * 255 + 0.5) };
      const Region swatch = Find(
        picture, [&](const Rgb& p, int, int) { return !Differs(p, rgb, 3); }, { 540, 0, 639, 479 });
      EXPECT_GT(swatch.Count, 150) << i;
      EXPECT_LT(swatch.Y1 - swatch.Y0, 480 / 4) << i;
      for (const Rgb& other : colours)
      {
        EXPECT_TRUE(Differs(rgb, other, 60)) << i;
      }
      EXPECT_TRUE(Differs(rgb, { 255, 0, 255 }, 60)) << i; // the pick highlight
      colours.push_back(rgb);
    }
  }
}

} // namespace
