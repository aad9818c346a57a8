// The colour maps of orvi-viewer's --colormap: tables of colours at evenly
// spaced values, interpolated linearly into a vtkLookupTable; and the
// colours of categories (region, material or partition ids), one distinct
// colour per value in an indexed vtkLookupTable.
#ifndef orviColormap_h
#define orviColormap_h

#include "orviViewerOptions.h"

#include "vtkSmartPointer.h"

#include <vector>

class vtkDataArray;
class vtkLookupTable;

namespace orvi
{

/// A 256-entry lookup table of the map over [range[0], range[1]], colouring
/// vectors by their magnitude. Values outside the range take the colour of
/// the nearer end.
vtkSmartPointer<vtkLookupTable> MakeLookupTable(Colormap map, const double range[2]);

const char* ColormapName(Colormap map);

/// Whether an array holds integers (every numeric type but float and double).
bool IsInteger(vtkDataArray* array);

/// The most distinct values an integer array may hold to be coloured as
/// categories.
constexpr size_t MaximumCategories = 64;

/// Whether `array` holds ids rather than a quantity: one component of an
/// integer type with at most MaximumCategories distinct values. Those values,
/// ascending, go to `values`.
bool FindCategories(vtkDataArray* array, std::vector<double>& values);

/// An indexed lookup table giving each of `values` a colour of its own
/// (neighbouring values far apart in hue) and an annotation naming it.
vtkSmartPointer<vtkLookupTable> MakeCategoryTable(const std::vector<double>& values);

/// The colours of a category table as a plain table over the ids from the
/// first to the last value, one entry per id: a mapper maps cell values
/// through it directly, where an indexed table looks each value up among
/// its annotations. Null when the ids span more than a few thousand.
vtkSmartPointer<vtkLookupTable> MakeCategorySpanTable(vtkLookupTable* categories,
  const std::vector<double>& values);

} // namespace orvi

#endif
