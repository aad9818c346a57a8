// Checks of a mesh file's header against what the file holds, made before
// VTK's reader sees the file. VTK's STL and PLY readers trust the counts in
// a header: on a file cut short the STL reader shows random triangles and
// the PLY reader frees memory twice or reads out of bounds, and crashes.
#ifndef orviFileChecks_h
#define orviFileChecks_h

#include <string>

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

} // namespace orvi

#endif
