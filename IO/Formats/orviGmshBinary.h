// The loader's own read of gmsh's binary .msh 4.1 files, in this process
// and without gmsh's library: the file mapped read-only and its sections
// $MeshFormat, $PhysicalNames, $Entities, $Nodes and $Elements walked in
// place. gmsh's library builds an object for every node and element before
// it hands their arrays out, which costs more than all the rest of the
// first picture of a large mesh; the binary 4.1 layout is a few block
// headers in front of plain arrays, so reading it directly is cheap and
// every count, tag, size and offset in it can be checked before use.
//
// The mesh is the one gmsh's library gives through orviGmshReader.h (the
// same cells, points, parts and names: both go through orviGmshCells.h).
// A file this read does not cover goes to gmsh's library in the loader's
// child: ASCII or version 2, another size of size_t or byte order, any
// other section (views, periodic links, partitions, parametrisations),
// parametric nodes, an element type without a VTK cell, no $Entities.
#ifndef orviGmshBinary_h
#define orviGmshBinary_h

#include "vtkSmartPointer.h"

#include <ostream>
#include <string>

class vtkDataSet;

namespace orvi
{

/// Whether the .msh at path is one ReadGmshBinary() reads: its section and
/// block headers walked, nothing of its arrays read. A damaged file whose
/// header says binary 4.1 is covered, for ReadGmshBinary() to refuse.
bool CoversGmshBinary(const std::string& path);

/// Reads the unstructured grid of a .msh CoversGmshBinary() covers, its
/// cells marked with their parts (see orviMeshParts.h); null with error
/// set to the loader's line ("cannot read 'PATH': not a valid .msh mesh
/// (WHY)") for a damaged file: a section or block cut short or running
/// past its end, counts that do not add up, a tag of no node or past the
/// largest, a block of an entity the file does not have.
vtkSmartPointer<vtkDataSet> ReadGmshBinary(const std::string& path,
  std::ostream& log,
  std::string& error);

} // namespace orvi

#endif
