// The values of what a pick selected: the coloured quantity's minimum, mean
// and maximum over the picked cells (for a pick's line), and a CSV table of
// the picked cells, one row each: the part, the mesh cell id, the cell type,
// every cell array's value and every point array averaged over the cell's
// points, a column per component. A host writes the table for --pick-out
// (orvi-viewer) or Save selection... (orvi-qt) through Viewer::SavePickedCells().
#ifndef orviPickValues_h
#define orviPickValues_h

#include "orviComponents.h"

#include "vtkType.h"

#include <string>
#include <vector>

class vtkDataSet;

namespace orvi
{

/// The minimum, mean and maximum of a quantity over Count values.
struct ValueRange
{
  vtkIdType Count = 0;
  double Min = 0.0;
  double Mean = 0.0;
  double Max = 0.0;
};

/// The quantity (`which`, resolved) of the array `name` over the cells of
/// `mesh`: of cell data, one value per cell; of point data, one per point of
/// those cells, each point once. Count 0 when the mesh has no such array.
ValueRange PickedValues(vtkDataSet* mesh,
  const std::vector<vtkIdType>& cells,
  int field,
  const std::string& name,
  const Component& which);

/// Adds the values of `more` to `into`.
void MergeValues(ValueRange& into, const ValueRange& more);

/// "u (magnitude) min 0.1, mean 0.4, max 0.9 over 12 points".
std::string DescribeValues(const std::string& title, int field, const ValueRange& values);

/// The picked cells of one part, for the table.
struct PickedPart
{
  std::string Name;
  vtkDataSet* Mesh = nullptr;
  const std::vector<vtkIdType>* Cells = nullptr;
};

/// Writes the table of the picked cells to `path` (a CSV file: a header row,
/// then a row per cell; a value a part lacks is left empty). Returns false
/// with an error naming the path when its folder does not exist or it cannot
/// be written; `rows` is the number of cells written.
bool WritePickedCells(const std::string& path,
  const std::vector<PickedPart>& parts,
  vtkIdType& rows,
  std::string& error);

/// Whether a file can be made at `path`: its folder exists. Returns false
/// with an error naming the folder.
bool CheckOutputFolder(const std::string& what, const std::string& path, std::string& error);

} // namespace orvi

#endif
