// orvi::BoundarySurface: the surface of a mesh for display, fast on millions
// of linear cells.
//
// For an unstructured grid of linear cells it gives what
// vtkDataSetSurfaceFilter gives, cell for cell: vertex and line cells as
// vertices and lines, 2D cells as polygons (a triangle strip as its
// triangles, a pixel as a quad), and each face of a 3D cell that no other 3D
// cell shares, wound as VTK's filter winds it (outward for a well-formed
// cell, but for one end of a pentagonal or hexagonal prism) and starting at
// its smallest point id. Each output cell carries the
// cell data of the cell it came from and, with PassThroughCellIds on, that
// cell's id in the array "vtkOriginalCellIds".
//
// Like VTK's filter, the output holds only the points its cells use (in
// the mesh's order), with their point data, and with PassThroughPointIds on
// their mesh ids in "vtkOriginalPointIds". One difference, for speed: the
// faces of 3D cells come in cell order rather than in VTK's hash order.
//
// By default it also leaves out what lies on a cell of higher dimension, as
// mesh generators write beside the volume (gmsh's boundary triangles, the
// lines of its curves and its points): a 2D cell that is a face of a 3D
// cell, a line all along edges of 3D or 2D cells, a vertex all at points of
// other cells. Drawn together with the faces they lie on, such cells fight
// in stripes; left out, every face shows its 3D cell's cell data alone, the
// same at every camera position. DropCoincidentCellsOff() keeps them, as
// VTK's filter does.
//
// Against vtkDataSetSurfaceFilter, beyond the coincident cells: the faces
// are matched in parallel, bucket by bucket, rather than through one hash
// table of the whole mesh on one core. On two cores
// (Benchmarks/BenchBoundarySurface.cxx, medians of five runs, the machine
// busy with other work at a load of 2.4 to 3.6) 1.08 million tetrahedra
// take 142 ms against VTK's 3.33 s, about 23 times less, with a memory
// peak of 34 MB against 117 MB; 1.06 million mixed cells 255 ms against
// 3.01 s. The 10 million tetrahedra of SurfaceFile10M (1.7 million points,
// 32-bit ids) take 0.71 to 0.86 s and 1.3 s of CPU, with a peak of 131 MB
// (medians of runs taken in turn with the previous version, 0.83 to 0.88 s,
// 1.37 to 1.55 s of CPU and 160 MB).
//
// The faces are matched by their point ids. The cells go in slices, in
// parallel (vtkSMPTools): a pass checks them and counts the faces per
// bucket of their smallest point id (2048 points a bucket), a second writes
// each triangle's and quad's sorted ids into the slice's part of its bucket
// (few write places at a time, whatever the numbering; a tetrahedron as one
// record of its four ids for its three faces through its smallest point and
// a key for the fourth face), then the faces of each bucket are counted in
// a hash table that stays in a core's cache and those met once kept as a
// sorted list; a last pass over the cells finds those again by their ids,
// in cell order. Beyond the output this takes 16 to 20 bytes per
// tetrahedron (18 for 10 million of them on 1.7 million points), 8 per
// other triangle face of the 3D cells (12 for all triangles of a mesh of
// 2^25 points or more) and 16 per quad face, and a few bytes per point;
// keys of more than 64 MB and than half the cells' own memory are matched
// in rounds over ranges of the smallest point id, each within that and in
// the memory of the last (SetRoundBytes()).
//
// Other inputs (image data, poly data, grids with nonlinear cells, ghost
// cells or cell types without fixed faces) go through
// vtkDataSetSurfaceFilter. A cell whose point ids are out of range, or whose
// point count does not fit its type, is refused with an error naming it.
//
// A host that wants progress hands a stream to SetLog(): a line when the
// extraction starts and one when it ends, and for a grid of a million cells
// or more a line per step between, each flushed as it is written.
#ifndef orviBoundarySurface_h
#define orviBoundarySurface_h

#include "vtkPolyDataAlgorithm.h"

#include <ostream>

namespace orvi
{

class BoundarySurface : public vtkPolyDataAlgorithm
{
public:
  static BoundarySurface* New();
  vtkTypeMacro(BoundarySurface, vtkPolyDataAlgorithm);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  ///@{
  /// Whether the output's cell data holds "vtkOriginalCellIds", the input
  /// cell of each output cell (default off, as in vtkDataSetSurfaceFilter).
  vtkSetMacro(PassThroughCellIds, bool);
  vtkGetMacro(PassThroughCellIds, bool);
  vtkBooleanMacro(PassThroughCellIds, bool);
  ///@}

  ///@{
  /// Whether the output's point data holds "vtkOriginalPointIds", the mesh
  /// point of each output point (default off, as in vtkDataSetSurfaceFilter).
  vtkSetMacro(PassThroughPointIds, bool);
  vtkGetMacro(PassThroughPointIds, bool);
  vtkBooleanMacro(PassThroughPointIds, bool);
  ///@}

  ///@{
  /// Whether cells that lie on a cell of higher dimension are left out
  /// (default on): a 2D cell that is a face of a 3D cell, a line all along
  /// edges of 3D or 2D cells, a vertex all at points of other cells. Off
  /// gives what vtkDataSetSurfaceFilter gives. Inputs handed to VTK's filter
  /// keep them either way.
  vtkSetMacro(DropCoincidentCells, bool);
  vtkGetMacro(DropCoincidentCells, bool);
  vtkBooleanMacro(DropCoincidentCells, bool);
  ///@}

  ///@{
  /// How much memory the face keys of the 3D cells are matched in at a
  /// time. Keys of more bytes than this are matched in rounds of about this
  /// many each, over ranges of their smallest point id, in memory reused
  /// from round to round: fewer fresh pages and a lower peak, for another
  /// pass over the cells each round. 0 (the default) matches the keys in
  /// as few equal rounds as keep each within half the cells' own memory
  /// (their connectivity, offsets and types) or 64 MB, whichever is more.
  vtkSetMacro(RoundBytes, vtkIdType);
  vtkGetMacro(RoundBytes, vtkIdType);
  ///@}

  /// Where progress lines go; nullptr (the default) for none. The stream
  /// must outlive the updates.
  void SetLog(std::ostream* log) { this->Log = log; }

  /// Whether the last update handed the input to vtkDataSetSurfaceFilter.
  vtkGetMacro(UsedVtkFilter, bool);

protected:
  BoundarySurface() = default;
  ~BoundarySurface() override = default;

  int FillInputPortInformation(int port, vtkInformation* info) override;
  int RequestData(vtkInformation* request,
    vtkInformationVector** inputVector,
    vtkInformationVector* outputVector) override;

private:
  BoundarySurface(const BoundarySurface&) = delete;
  void operator=(const BoundarySurface&) = delete;

  bool PassThroughCellIds = false;
  bool PassThroughPointIds = false;
  bool DropCoincidentCells = true;
  bool UsedVtkFilter = false;
  vtkIdType RoundBytes = 0;
  std::ostream* Log = nullptr;
};

} // namespace orvi

#endif
