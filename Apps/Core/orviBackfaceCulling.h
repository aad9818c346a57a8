// Drawing a mesh's boundary surface without its back faces where none of
// them can show.
//
// A software rasteriser spends most of a frame shading fragments, and half
// of a closed surface's faces turn their backs to the camera: each is shaded
// and then hidden by the front faces before it. Leaving them out keeps the
// picture as it is when three things hold. The surface is the boundary of a
// volume: polygons only, each a face of a 3D cell of the mesh, facing away
// from that cell (a ray from outside then meets a front face first). The
// near clipping plane leaves the whole surface in front of it (the camera
// outside, nothing cut open). Nothing else opens it or shows through it:
// no clipping plane (but a section's, whose opening its cut closes with
// faces turned away from the kept side), no deformation, opaque faces drawn
// as surfaces.
//
// A host tests the surface once with FacesOutward() when it is made and
// calls UpdateBackfaceCulling() for its actor before each frame
// (orvi-viewer does both for every mesh it shows).
#ifndef orviBackfaceCulling_h
#define orviBackfaceCulling_h

class vtkActor;
class vtkDataSet;
class vtkPolyData;
class vtkRenderer;

namespace orvi
{

/// Whether `surface`, made from `mesh` with each polygon's mesh cell in its
/// "vtkOriginalCellIds" cell array, is polygons only, each a face of a 3D
/// cell turned away from that cell's centre. False for anything else
/// (verts, lines or strips, faces of 2D cells, no ids, an inverted cell).
bool FacesOutward(vtkPolyData* surface, vtkDataSet* mesh);

/// Turns back-face culling on for `actor` in the next frame of `renderer`
/// where `facesOutward` (FacesOutward() of what it draws) and the view
/// and the actor leave no back face to be seen; off otherwise. `deformed`:
/// the actor's points were moved from the surface FacesOutward() tested.
/// `capped`: the actor's clipping planes open it only where a cut drawn
/// beside it closes the opening, its faces turned away from the kept side
/// (orvi::SectionCut's in Cut mode).
void UpdateBackfaceCulling(vtkActor* actor,
  bool facesOutward,
  bool deformed,
  bool capped,
  vtkRenderer* renderer);

} // namespace orvi

#endif
