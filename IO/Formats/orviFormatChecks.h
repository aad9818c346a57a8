// The checks of each format the loader reads (one file per family beside
// this header), named by the rows of the format table (orviFormatTable.h),
// and what they share. VTK's readers trust what a file's header says: on a
// file cut short the STL reader shows random triangles, the PLY reader frees
// memory twice or reads out of bounds, the legacy reader spins or allocates
// without end. Every check answers false with error set to the loader's
// one line, "cannot read 'PATH': not a valid .EXT mesh (WHY)", or with a
// message of its own.
#ifndef orviFormatChecks_h
#define orviFormatChecks_h

#include "vtkSmartPointer.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

class vtkAlgorithm;
class vtkDataSet;
class vtkXMLDataElement;

namespace orvi
{

struct FormatSignature;
class MeshFile;

//------------------------------------------------------------------------------
// Shared by the checks.

/// Sets error to "cannot read 'PATH': not a valid .EXT mesh (WHY)", .EXT the
/// path's own; returns false.
bool Refuse(const std::string& path, const std::string& why, std::string& error);

/// An unsigned count of size bytes in the given byte order, or, when
/// isSigned and its top bit is set, -1.
std::int64_t DecodeCount(const unsigned char* bytes, int size, bool isSigned, bool bigEndian);

/// The first bytes of a file against its format's signature (see
/// FormatSignature); a gmsh .msh under another format's name is named as
/// such. Returns false with error set otherwise.
bool CheckSignature(const std::string& path, const FormatSignature& signature, std::string& error);

//------------------------------------------------------------------------------
// STL (orviSTLChecks.cxx).

/// A binary .stl is 84 bytes plus 50 per triangle, and its header counts
/// no more triangles than the file holds (fewer is accepted: many writers
/// leave 0 there, and VTK reads to the end of the file). A text .stl
/// passes.
bool CheckBinarySTL(const std::string& path, std::string& error);

//------------------------------------------------------------------------------
// PLY (orviPLYChecks.cxx).

/// Every value the header of a .ply calls for is in the file: its elements
/// are walked row by row, reading the length of every list, in one buffered
/// pass (binary) or one line per row (ASCII, as VTK reads it). The header's
/// property types must be PLY's, no list length negative and no face's
/// vertex index outside the vertices. A file without a PLY header passes
/// (VTK's reader refuses it).
bool CheckPLY(const std::string& path, std::string& error);

//------------------------------------------------------------------------------
// VTK's XML formats (orviXMLChecks.cxx).

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

/// The points a file claims against the machine's memory (coordinates
/// alone take 12 bytes a point in single precision); false with error set
/// to the loader's line otherwise.
bool CheckPointsFitMemory(double points, const std::string& path, std::string& error);

/// An XML reader's header, parsed before any data is read: the points it
/// claims against the machine's memory (coordinates alone take 12 bytes a
/// point in single precision) and every attribute against the file (see
/// CheckXMLElements()). Runs in the reading child: VTK's parser reads the
/// file.
bool CheckXMLHeader(vtkAlgorithm* reader, const std::string& path, std::string& error);

/// An XML file's appended raw arrays of points and cells against what was
/// read from them: each block's length, which the file gives in front of
/// it, is the values read times the size of the type declared. Another
/// type declared (Int8 for Int64 ids) reads as valid but wrong numbers.
/// Empty when they match, or for other encodings; else the fault in words.
std::string CheckAppendedBlocks(vtkAlgorithm* reader, vtkDataSet* data, const std::string& path);

//------------------------------------------------------------------------------
// VTK's legacy format (orviLegacyChecks.cxx).

/// The geometry of a legacy .vtk (ASCII or binary) before VTK's reader
/// trusts it: every count of POINTS, CELLS, VERTICES, LINES, POLYGONS,
/// TRIANGLE_STRIPS, CELL_TYPES, POINT_DATA and CELL_DATA a whole number, not
/// negative, within what is left of the file; every cell list's counts
/// adding up to its size (or its offsets rising to it); CELL_TYPES as many
/// as the cells, each a VTK cell type, a polyhedron's cell a face stream
/// that fills it.
bool CheckLegacyVTK(const std::string& path, std::string& error);

//------------------------------------------------------------------------------
// VTK's XML files that name other mesh files (orviCollectionFormats.cxx):
// each opens to a MeshFile whose steps read the files named through
// LoadMesh(). Null with error set to one line when the file cannot be.

/// A .pvd time series: its DataSet elements' files, the data sets of one
/// timestep one step's parts (each named by its name attribute, by its part
/// number beside others, or after the collection when alone).
std::unique_ptr<MeshFile> OpenTimeSeries(const std::string& path,
  std::ostream& log,
  std::string& error);
/// A .vtm multiblock: each data set with a file one part, named by its block
/// names ("outer/inner"); one step.
std::unique_ptr<MeshFile> OpenMultiBlock(const std::string& path,
  std::ostream& log,
  std::string& error);
/// A .pvtu or .pvtp written in pieces: the pieces read at once, each
/// checked against the arrays the summary declares, appended into one part.
std::unique_ptr<MeshFile> OpenGridPieces(const std::string& path,
  std::ostream& log,
  std::string& error);
std::unique_ptr<MeshFile> OpenPolyPieces(const std::string& path,
  std::ostream& log,
  std::string& error);

//------------------------------------------------------------------------------
// Exodus II (orviExodusFormat.cxx).

/// The file starts as netCDF (classic, 64-bit offsets or data) or HDF5 does.
bool CheckExodusSignature(const std::string& path, std::string& error);
/// The reader reads every nodal and element variable.
bool CheckExodusHeader(vtkAlgorithm* reader, const std::string& path, std::string& error);
/// The element blocks the reader read, appended into one mesh, each block's
/// cells marked as a part with the block's name (see orviMeshParts.h).
vtkSmartPointer<vtkDataSet> AppendExodusBlocks(vtkAlgorithm* reader);
/// The element blocks as parts with their names, at each of the file's
/// time steps: the times read by a child process, each step by the
/// loader's child (every block at once), split into its blocks here.
std::unique_ptr<MeshFile> OpenExodus(const std::string& path,
  std::ostream& log,
  std::string& error);

} // namespace orvi

#endif
