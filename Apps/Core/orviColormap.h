// The colour maps of orvi-viewer's --colormap: tables of colours at evenly
// spaced values, interpolated linearly into a vtkLookupTable.
#ifndef orviColormap_h
#define orviColormap_h

#include "orviViewerOptions.h"

#include "vtkSmartPointer.h"

class vtkLookupTable;

namespace orvi
{

/// A 256-entry lookup table of the map over [range[0], range[1]], colouring
/// vectors by their magnitude. Values outside the range take the colour of
/// the nearer end.
vtkSmartPointer<vtkLookupTable> MakeLookupTable(Colormap map, const double range[2]);

const char* ColormapName(Colormap map);

} // namespace orvi

#endif
