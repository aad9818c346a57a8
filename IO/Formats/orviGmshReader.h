// orvi::GmshReader: gmsh's own mesh files (.msh, versions 2.2 and 4.1, ASCII
// and binary) read through gmsh's library, as one unstructured grid whose
// cells are marked with the physical group they belong to (see
// orviMeshParts.h: a host splits the grid into one named part per group).
//
// - Every node an element uses becomes a point (in the order gmsh lists
//   them), every element a cell once, mapped to VTK's cell type with VTK's
//   node order: points, linear and second-order lines, triangles,
//   quadrangles, tetrahedra, hexahedra, prisms and pyramids (gmsh's 14-node
//   pyramid has no VTK type). An element of another type refuses the file
//   with an error naming it.
// - A cell's part is its entity's first physical group, named by the group's
//   name, or by its dimension and tag ("surface group 5") when it has none;
//   elements of entities in no group form one part named after the file.
//   An element that lies on one of higher dimension (a boundary triangle on
//   a tetrahedron's face, a curve's line along a triangle's edge, a point at
//   a node) goes in that element's part: the viewer leaves such elements
//   out where they coincide with a face it draws, as it does for gmsh's
//   .vtk files, which hold the same elements.
// - In a file with physical groups the cell array "CellEntityIds" holds the
//   tag of the first group of each cell's entity (negative where the group
//   holds the entity turned over; 0 for none), as gmsh's own .vtk export
//   does. Views saved in the file with the mesh ($NodeData, $ElementData)
//   become point and cell arrays of their first step, named after the view;
//   values the view does not give are NaN.
//
// gmsh keeps its model in global state: each read initialises gmsh, reads,
// and finalises it, so that reads are meant to run one at a time in their
// process (the loader runs each in a child of its own). gmsh's own log is
// silenced; its errors become VTK errors of the reader. The loader reads a
// binary 4.1 file itself (orviGmshBinary.h) to the same mesh: what both
// reads build is orviGmshCells.h.
#ifndef orviGmshReader_h
#define orviGmshReader_h

#include "vtkUnstructuredGridAlgorithm.h"

#include <string>

namespace orvi
{

class GmshReader : public vtkUnstructuredGridAlgorithm
{
public:
  static GmshReader* New();
  vtkTypeMacro(GmshReader, vtkUnstructuredGridAlgorithm);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  vtkSetStdStringFromCharMacro(FileName);
  vtkGetCharFromStdStringMacro(FileName);

protected:
  GmshReader();
  ~GmshReader() override = default;

  int RequestData(vtkInformation*, vtkInformationVector**, vtkInformationVector*) override;

private:
  GmshReader(const GmshReader&) = delete;
  void operator=(const GmshReader&) = delete;

  std::string FileName;
};

} // namespace orvi

#endif
