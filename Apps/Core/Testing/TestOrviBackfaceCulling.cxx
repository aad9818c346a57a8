// Back faces left out on gmsh's t5 meshed at test time: only surfaces that
// bound their cells qualify, the picture is VTK's drawing of every face, and
// a camera inside the model, a section or a deformed shape draws them all.
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
  EXPECT_TRUE(shown->GetProperty()->GetBackfaceCulling());
  const Image culled = Shot(*viewer, dir / "culled.png", Legends);
  // VTK drawing every face of the same surface, coloured and lit alike.
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->ShallowCopy(shown->GetMapper());
  vtkNew<vtkActor> every;
  every->SetMapper(mapper);
  every->GetProperty()->DeepCopy(shown->GetProperty());
  every->GetProperty()->BackfaceCullingOff();
  shown->VisibilityOff();
  renderer->AddActor(every);
  EXPECT_EQ(FractionDiffering(culled, Shot(*viewer, dir / "every.png", Legends), 1), 0.0);
  renderer->RemoveActor(every);
  shown->VisibilityOn();

  std::string error;
  const double* centre = mesh->GetCenter();
  const std::pair<const char*, std::function<bool()>> drawnWhole[] = {
    { "camera inside",
      [&]()
      {
        renderer->GetActiveCamera()->SetPosition(centre);
        renderer->GetActiveCamera()->SetFocalPoint(centre[0] + 1.0, centre[1], centre[2]);
        return true;
      } },
    { "section",
      [&]() { return viewer->SetSection(orvi::SectionMode::Cut, nullptr, nullptr, error); } },
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
