// A section plane through a mesh: the cells on the side the plane's normal
// points to are hidden, and what the plane meets is drawn in their place.
// The viewer keeps one SectionCut per mesh; the mesh's boundary surface is
// not rebuilt but clipped by the same plane in its mappers, so a move of the
// plane redoes only the cells the plane touches:
// - Cut: the true cut of those cells, point data interpolated and cell data
//   carried, each face naming its mesh cell: of tetrahedra, made from their
//   corners as the search for the cells met read them (orviTetrahedraCut.h);
//   of other linear 3D cells, by vtk3DLinearGridPlaneCutter (threaded); of
//   any others, by vtkCutter;
// - Cells: those cells whole (their boundary faces), so the layout of the
//   elements at the plane shows.
// The cells the plane may touch come from each cell's extent along the
// plane's normal, computed at the first cut (in parallel, on the mesh's own
// arrays) and kept while the mesh's points and the normal stay the same,
// with the cells grouped in bins of like extents and the extents stored in
// the bins' order: a move along the normal or a change of scale reads the
// bins, the extents of the few bins whose bounds hold the plane in one run
// each, and tests exactly only the cells whose extent holds it, their points
// asked of the memory a few cells ahead. For VTK's cutters the touched cells
// are copied out of the mesh by a point map kept between moves; of a
// deformed shape, only their points are moved.
#ifndef orviSection_h
#define orviSection_h

#include "orviTetrahedraCut.h"
#include "orviViewerOptions.h"

#include "vtkNew.h"
#include "vtkSmartPointer.h"
#include "vtkType.h"

#include <cstdint>
#include <vector>

class vtkDataArray;
class vtkDataSet;
class vtkObject;
class vtkPlane;
class vtkPolyData;
class vtkUnstructuredGrid;

namespace orvi
{

/// The name of the face's cell array holding each face's cell among those
/// the plane crossed (VTK's linear cutter carries cell data as floats: an
/// index within the crossed cells stays exact where a mesh's id may not).
constexpr const char* SectionCellIdsName = "orvi section cell";

/// Whether a cell has a point on the kept side of the plane (not on it): the
/// cell is drawn, wholly or cut.
bool KeptBySection(vtkDataSet* mesh,
  vtkIdType cell,
  const double origin[3],
  const double normal[3]);

/// A deformed shape of a mesh: its points plus Scale times Displacement (a
/// point array of the mesh, 3 components; null: the mesh as it is).
struct SectionDeformation
{
  vtkDataArray* Displacement = nullptr;
  double Scale = 0.0;
};

class SectionCut
{
public:
  SectionCut();
  ~SectionCut();
  SectionCut(const SectionCut&) = delete;
  SectionCut& operator=(const SectionCut&) = delete;

  /// Draws in GetFace() what the plane (origin, unit normal) meets of `mesh`
  /// in `mode` (Cut or Cells; Off empties it). The face keeps its object.
  /// With `deformed` set, what the plane meets of the mesh so deformed: the
  /// extents are kept for the points and the displacement apart, so that a
  /// change of scale alone computes none, and only the points of the cells
  /// met are moved (rounded as SurfaceWarp rounds them).
  void Update(vtkDataSet* mesh,
    SectionMode mode,
    const double origin[3],
    const double normal[3],
    const SectionDeformation& deformed = {});
  /// The cut faces (triangles) or the faces of the cells the plane crosses,
  /// with the mesh's point and cell data and SectionCellIdsName.
  vtkPolyData* GetFace() const { return this->Face; }
  /// The same faces with each mesh cell's part of the cut as one polygon:
  /// what the mesh edges on the face are drawn from (no diagonal of a cut
  /// quadrilateral).
  vtkPolyData* GetOutlines() const { return this->Outlines; }
  /// The mesh cell a face of GetFace() lies in.
  vtkIdType MeshCellOf(vtkIdType face) const;
  /// The cells of the mesh the plane met at the last Update().
  vtkIdType GetTouchedCells() const { return static_cast<vtkIdType>(this->Touched.size()); }
  /// Whether the last Update() cut its cells as linear cells (tetrahedra
  /// from their corners, others with vtk3DLinearGridPlaneCutter) rather
  /// than with vtkCutter.
  bool UsedLinearCutter() const { return this->Linear; }

private:
  struct Extents;
  static bool Stale(const Extents& extents,
    vtkDataSet* mesh,
    vtkDataArray* values,
    const double normal[3]);
  static void Compute(Extents& extents,
    vtkDataSet* mesh,
    vtkDataArray* values,
    const double normal[3]);
  void FindTouched(vtkDataSet* mesh,
    SectionMode mode,
    const double origin[3],
    const double normal[3],
    const SectionDeformation& deformed);
  template <typename CellPoints>
  void FindTouchedIn(CellPoints& cells,
    SectionMode mode,
    const double origin[3],
    const double normal[3],
    const double window[2],
    double scale);
  void Bin(bool moved);
  vtkSmartPointer<vtkUnstructuredGrid> TouchedSubset(vtkDataSet* mesh);
  void Cut(vtkDataSet* subset, vtkPlane* plane);
  void Cells(vtkDataSet* subset);

  // Each cell's extent along a normal of its points or of its points'
  // displacements, as floats.
  struct Extents
  {
    std::vector<float> Low, High;
    double Normal[3] = { 0.0, 0.0, 0.0 };
    vtkObject* Of = nullptr; // the mesh or the displacement they were computed for
    vtkMTimeType Time = 0;   // and its points' or its time then
  };
  Extents Shape, Moves;
  // The cells grouped by their low extent and by their displacement's, as
  // a grid of bins, each with the lowest Low and highest High of its cells'
  // two extents: a plane, at any scale, passes over most bins without
  // reading their cells (a mesh's cell numbers need not follow its space).
  struct Bins
  {
    std::vector<uint32_t> Cells; // the cells of each bin in turn, ascending
    std::vector<uint32_t> First; // where each bin's cells start in Cells
    std::vector<float> Low, High, LowMoves, HighMoves;
  };
  Bins Binned;
  bool BinnedMoves = false;
  std::vector<vtkIdType> Candidates;       // the cells whose extents hold the plane
  std::vector<TetrahedronCorners> Corners; // of the cells met when all are tetrahedra
  std::vector<vtkIdType> PointMap;         // a mesh point's index in the subset, -1 outside
  std::vector<vtkIdType> Touched; // the mesh cells met (ascending but for the cut of Corners)
  vtkNew<vtkPolyData> Face;
  vtkNew<vtkPolyData> Outlines;
  bool Linear = false;
};

} // namespace orvi

#endif
