// Back faces left out on gmsh's t5 meshed at test time: only surfaces that
// bound their cells qualify, the picture is VTK's drawing of every face, and
// a section's cut closes what its plane opens, and a camera inside the
// model, whole cells at a section or a deformed shape draws them all.
#include "orviBackfaceCulling.h"
#include "orviBoundarySurface.h"
#include "orviViewerTestUtils.h"

#include "vtkActorCollection.h"
#include "vtkCamera.h"
#include "vtkPolyDataMapper.h"
#include "vtkProperty.h"

namespace
{
namespace fs = std::filesystem;
using namespace orvi_test;

vtkSmartPointer<vtkPolyData> SurfaceOf(vtkDataSet* mesh)
{
  vtkNew<orvi::BoundarySurface> surface;
  surface->SetInputData(mesh);
  surface->PassThroughCellIdsOn();
  surface->Update();
  return surface->GetOutput();
}

// The viewer's picture with VTK drawing every face of what it culls (each
// actor that leaves its back faces out drawn by a copy that does not).
Image EveryFace(orvi::Viewer& viewer, const fs::path& file)
{
  vtkRenderer* renderer = viewer.GetRenderer();
  std::vector<std::pair<vtkActor*, vtkSmartPointer<vtkActor>>> copies; // culled, copy
  vtkActorCollection* actors = renderer->GetActors();
  actors->InitTraversal();
  while (vtkActor* actor = actors->GetNextActor())
  {
    if (actor->GetVisibility() && actor->GetProperty()->GetBackfaceCulling())
    {
      copies.emplace_back(actor, vtkSmartPointer<vtkActor>::New());
    }
  }
  for (auto& [actor, every] : copies)
  {
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->ShallowCopy(actor->GetMapper());
    every->SetMapper(mapper);
    every->GetProperty()->DeepCopy(actor->GetProperty());
    every->GetProperty()->BackfaceCullingOff();
    actor->VisibilityOff();
    renderer->AddActor(every);
  }
  Image image = Shot(viewer, file, Legends);
  for (auto& [actor, every] : copies)
  {
    renderer->RemoveActor(every);
    actor->VisibilityOn();
  }
  return image;
}

//==============================================================================
TEST(OrviBackfaceCulling, OnlyWhereNoBackFaceCanShow)
{
  const fs::path dir = TestDir();
  GMSH_MESH(t5, "t5", "-3");
  vtkSmartPointer<vtkDataSet> mesh = TetrahedraWithResults(t5);
  // The tetrahedra, the same turned inside out (two corners swapped), and
  // their surface as a shell of triangles.
  vtkNew<vtkUnstructuredGrid> inverted;
  inverted->DeepCopy(mesh);
  for (vtkIdType c = 0; c < inverted->GetNumberOfCells(); ++c)
  {
    vtkNew<vtkIdList> ids;
    inverted->GetCellPoints(c, ids);
    const vtkIdType swapped[4] = { ids->GetId(1), ids->GetId(0), ids->GetId(2), ids->GetId(3) };
    inverted->ReplaceCell(c, 4, swapped);
  }
  vtkSmartPointer<vtkPolyData> shell = SurfaceOf(mesh);
  EXPECT_TRUE(orvi::FacesOutward(shell, mesh));
  EXPECT_FALSE(orvi::FacesOutward(SurfaceOf(inverted), inverted));
  EXPECT_FALSE(orvi::FacesOutward(SurfaceOf(shell), shell));

  std::ostringstream log;
  auto viewer = OpenViewer({ "--array", "p" }, log, mesh);
  vtkRenderer* renderer = viewer->GetRenderer();
  auto* shown = vtkActor::SafeDownCast(renderer->GetActors()->GetItemAsObject(0));
  // Culled, the picture is VTK's of every face: without a section, and with
  // a cut seen from either side (its faces turned to the hidden side close
  // what the plane opens).
  std::string error;
  const std::pair<orvi::SectionMode, double> culled[] = { { orvi::SectionMode::Off, 0.0 },
    { orvi::SectionMode::Cut, 1.0 },
    { orvi::SectionMode::Cut, -1.0 } };
  for (const auto& [mode, side] : culled)
  {
    SCOPED_TRACE(side);
    const double normal[3] = { 0.3 * side, 0.5 * side, 0.8 * side };
    ASSERT_TRUE(viewer->SetSection(mode, nullptr, side != 0.0 ? normal : nullptr, error)) << error;
    EXPECT_TRUE(shown->GetProperty()->GetBackfaceCulling());
    EXPECT_EQ(
      FractionDiffering(
        Shot(*viewer, dir / "culled.png", Legends), EveryFace(*viewer, dir / "every.png"), 1),
      0.0);
  }
  ASSERT_TRUE(viewer->SetSection(orvi::SectionMode::Off, nullptr, nullptr, error)) << error;

  const double* centre = mesh->GetCenter();
  const std::pair<const char*, std::function<bool()>> drawnWhole[] = {
    { "camera inside",
      [&]()
      {
        renderer->GetActiveCamera()->SetPosition(centre);
        renderer->GetActiveCamera()->SetFocalPoint(centre[0] + 1.0, centre[1], centre[2]);
        return true;
      } },
    { "whole cells",
      [&]() { return viewer->SetSection(orvi::SectionMode::Cells, nullptr, nullptr, error); } },
    { "warp",
      [&]()
      {
        return viewer->SetSection(orvi::SectionMode::Off, nullptr, nullptr, error) &&
          viewer->SetWarp("u", false, 0.0, error);
      } },
  };
  for (const auto& [what, change] : drawnWhole)
  {
    SCOPED_TRACE(what);
    viewer->ResetView();
    ASSERT_TRUE(change()) << error;
    viewer->Render();
    EXPECT_FALSE(shown->GetProperty()->GetBackfaceCulling());
  }
}
} // namespace
