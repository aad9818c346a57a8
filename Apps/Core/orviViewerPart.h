// One mesh of orvi-viewer's scene: its surface, edges and pick highlight.
// Internal to the viewer's sources.
#ifndef orviViewerPart_h
#define orviViewerPart_h

#include "orviMotionSurface.h"
#include "orviSection.h"
#include "orviViewer.h"
#include "orviWarp.h"

#include "vtkActor.h"
#include "vtkDataSet.h"
#include "vtkPolyData.h"

#include <string>
#include <vector>

namespace orvi
{

// The cell array --by-part colours by: each cell holds its part's index in
// the scene. A name no file's array takes, shown in the legend as "part".
constexpr const char* PartIndexName = "orvi part index";

struct Viewer::Part
{
  std::string Name;
  bool IsPart = false; // Name is a part of its file's (see NamedMesh)
  vtkSmartPointer<vtkDataSet> Mesh;
  vtkSmartPointer<vtkPolyData> Surface; // the mesh's boundary surface (a copy sharing its data)
  bool FacesOutward = false;            // drawn without its back faces where none show
  SurfaceWarp Warp;                     // the deformed shape, moving Surface's points
  vtkNew<vtkActor> OutlineActor;        // the undeformed outline, once asked for
  vtkNew<MotionActor> SurfaceActor;     // hidden in frames that draw its stand-in
  EdgeOverlay Edges;
  vtkNew<vtkActor> HighlightActor;
  vtkNew<vtkPolyData> Highlight;
  std::vector<vtkIdType> Picked; // mesh cell ids, ascending
  bool Visible = true;
  // The section plane: what it meets of the mesh (as drawn), and its edges.
  SectionCut Section;
  vtkNew<MotionActor> SectionActor; // its cut stands in too in motion
  EdgeOverlay SectionEdges;
};

} // namespace orvi

#endif
