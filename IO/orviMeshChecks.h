// The checks every mesh a VTK reader returned gets before a host sees it,
// whatever its format (a format's own checks are its row's, see
// orviFormatTable.h): cells a renderer can build and draw, arrays as long
// as what they belong to, coordinates a renderer can place. The loader runs
// them in its reading child; the fuzzer checks the loader's promises with
// CheckCells().
#ifndef orviMeshChecks_h
#define orviMeshChecks_h

#include <ostream>
#include <string>

class vtkDataSet;

namespace orvi
{

/// The checks of a mesh, cheapest first: the cell sizes of a vtkPolyData
/// (a polygon of two points leaves VTK's cell map unbuilt), its cells (see
/// CheckCells()), and, when a cell can be drawn, its coordinates: finite,
/// within single precision (the renderer's) and no few points so far from
/// the rest that the model would be drawn as a dot. Empty when it can be
/// shown, else the fault in words.
std::string CheckMesh(vtkDataSet* data);

/// The cells of a vtkUnstructuredGrid or vtkPolyData as the library's
/// vtkKivUnstructuredGridGenerator checks its own (offsets, cell types and
/// sizes, point ids in range, polyhedra's face streams; VTK's readers take
/// point ids unchecked): empty when sound, else the first faulty cell.
std::string CheckCells(vtkDataSet* data);

/// Whether any cell is one a renderer can draw: none of a mesh whose cells
/// are all empty cells (VTK_EMPTY_CELL) is. Reads the cell types straight,
/// without building anything.
bool HasDrawableCell(vtkDataSet* data);

/// Leaves out point and cell arrays of another length than the points and
/// cells they belong to (VTK's OBJ reader numbers only the faces in its
/// GroupIds, a damaged legacy file may count less in its POINT_DATA):
/// colouring by one, a renderer would read past its end. A warning line to
/// log for each.
void DropMismatchedArrays(vtkDataSet* data, std::ostream& log);

} // namespace orvi

#endif
