// The loader's own read of a VTK XML .vtu whose arrays are all appended
// data, in this process and without VTK's reader: the file mapped
// read-only, its XML header (what comes before <AppendedData>) parsed by
// expat, and every array taken from the appended bytes, raw or base64,
// uncompressed or in VTK's zlib blocks, with 32- or 64-bit block headers.
// Raw arrays whose type and alignment allow it stay in the file's mapping
// (the array frees its share of it); others are copied, decoded and
// inflated on every core straight into the array's own memory, a slice or
// a run of blocks at a time, the file's pages let go once taken. 64-bit
// cell ids are held in 32-bit storage whenever the points can be numbered
// so (each block narrowed as it is taken: no 64-bit copy). Every
// offset, length, block size, count and id comes from an untrusted file
// and is checked before it is used. A file this read does not cover
// (ASCII or inline arrays, other compressors, big-endian, polyhedra,
// several pieces, strings) is left to VTK's reader in its child process
// (see orviMeshLoader.h), which is also where a file goes when the caller
// sets up VTK's reader itself.
#ifndef orviAppendedXML_h
#define orviAppendedXML_h

#include "vtkSmartPointer.h"

#include <ostream>
#include <string>

class vtkDataSet;

namespace orvi
{

/// Whether the .vtu at path is one ReadAppendedXML() reads: its header (a
/// few kilobytes) parsed, nothing of its data read.
bool CoversAppendedXML(const std::string& path);

/// Reads an unstructured grid from a .vtu CoversAppendedXML() covers: the
/// XML header's every attribute checked as for VTK's reader
/// (CheckXMLElements()), each array's block inside the file and as long as
/// the piece's counts call for (a count shrunk below what the data holds is
/// refused, not read in part), the offsets rising to the connectivity's
/// length. Its progress goes to log as VTK's reader's does (a line each
/// tenth of the arrays). Null with error set to the loader's line otherwise. The mesh's
/// own checks (cells, ids, coordinates) are the loader's, after this.
///
/// like, when given, is a grid read before (a time series' step shown):
/// when the file's raw points, connectivity, offsets and types hold byte
/// for byte like's points and cells (same types, counts and values; 64-bit
/// ids compared value for value with like's narrowed ones), the
/// grid read stands on like's points and cells and only its point and cell
/// data are read (with every check above); the file's mesh bytes are then
/// compared a slice at a time and never held. Any other file is read whole.
vtkSmartPointer<vtkDataSet> ReadAppendedXML(const std::string& path,
  std::ostream& log,
  std::string& error,
  vtkDataSet* like = nullptr);

} // namespace orvi

#endif
