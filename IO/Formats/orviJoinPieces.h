// The pieces of an unstructured grid written in pieces (a .pvtu), joined
// into one grid: a point of a later piece with exactly the coordinates of a
// point of an earlier piece is that point (a parallel writer writes an
// interface point identically in every piece that holds it), so the faces
// between pieces are inner faces of the joined grid and not part of its
// boundary. Points of one piece are never joined with each other: a mesh may
// hold coincident nodes on purpose (a crack). The cells keep the pieces'
// order, so a cell's id is its id in VTK's appended pieces.
#ifndef orviJoinPieces_h
#define orviJoinPieces_h

#include "vtkSmartPointer.h"

#include <string>
#include <vector>

class vtkUnstructuredGrid;

namespace orvi
{

/// The pieces joined: the first piece's points in their order, then each
/// later piece's points that join no earlier point, in theirs; a joined
/// point's point data is the first piece's (the earliest holding it). The
/// point and cell arrays kept are those every piece holds with the first
/// piece's type and components; the first piece's active attributes stay
/// active. Each array of the grid is allocated once at its size and each
/// piece copied into its slice on every core, and each piece is let go
/// (its entry of pieces reset) as soon as it has been copied, so the mesh
/// is held about once. Null with why set when the pieces' points differ in
/// type (the coordinates of two types are not compared) or a piece has
/// polyhedra (their faces are not joined).
vtkSmartPointer<vtkUnstructuredGrid> JoinPieces(
  std::vector<vtkSmartPointer<vtkUnstructuredGrid>>& pieces,
  std::string& why);

} // namespace orvi

#endif
