// Checks of a mesh file's header against what the file holds, made before
// VTK's reader sees the file. VTK's STL and PLY readers trust the counts in
// a header: on a file cut short the STL reader shows random triangles and
// the PLY reader frees memory twice or reads out of bounds, and crashes.
#ifndef orviFileChecks_h
#define orviFileChecks_h

#include <cstdint>
#include <string>

class vtkXMLDataElement;

namespace orvi
{

/// A binary .stl is 84 bytes plus 50 per triangle, and its header counts
/// no more triangles than the file holds (fewer is accepted: many writers
/// leave 0 there, and VTK reads to the end of the file). A text .stl
/// passes. Returns false with error set otherwise.
bool CheckBinarySTL(const std::string& path, std::string& error);

/// Every value the header of a .ply calls for is in the file: its elements
/// are walked row by row, reading the length of every list, in one buffered
/// pass (binary) or one line per row (ASCII, as VTK reads it). The header's
/// property types must be PLY's and no list length negative. A file
/// without a PLY header passes (VTK's reader refuses it). Returns false
/// with error set otherwise.
bool CheckPLY(const std::string& path, std::string& error);

/// The attributes of a VTK XML file's elements, as VTK's parser read them
/// (root: the VTKFile element): every count of a Piece and of a DataArray
/// (NumberOfPoints, NumberOfCells, ..., NumberOfTuples) a whole number, not
/// negative and no more values than the file could hold (a value takes at
/// least one byte; a compressed one at least 1/1100 of one, zlib's best);
/// NumberOfComponents from 1 to 65536; type one of VTK's numeric types or
/// String; format ascii, binary or appended with an offset inside the
/// file; the points three floating-point components; connectivity,
/// offsets, types, faces and faceoffsets one integer component. Returns
/// false with why set (in words, no file name) otherwise.
bool CheckXMLElements(vtkXMLDataElement* root, std::uint64_t fileLength, std::string& why);

/// The geometry of a legacy .vtk (ASCII or binary) before VTK's reader
/// trusts it: every count of POINTS, CELLS, VERTICES, LINES, POLYGONS,
/// TRIANGLE_STRIPS, CELL_TYPES, POINT_DATA and CELL_DATA a whole number, not
/// negative, within what is left of the file; every cell list's counts
/// adding up to its size (or its offsets rising to it); CELL_TYPES as many
/// as the cells, each a VTK cell type, a polyhedron's cell a face stream
/// that fills it. Returns false with error set otherwise.
bool CheckLegacyVTK(const std::string& path, std::string& error);

/// The first bytes of a file against what its extension promises: a legacy
/// .vtk starts with "# vtk DataFile", an XML file with '<' (after blanks), a
/// .ply with "ply"; a gmsh .msh under any of these names is named as such.
/// Returns false with why set otherwise.
bool CheckSignature(const std::string& path, const std::string& ext, std::string& why);

} // namespace orvi

#endif
