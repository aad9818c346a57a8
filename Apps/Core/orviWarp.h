// The deformed shape of a result: a surface's points moved by a point array
// of 3 components (a displacement) times a scale. Only the surface moves:
// its points become a copy the warp owns, computed from the undeformed
// points it keeps, so a change of scale rewrites the surface's points and
// nothing else (the mapper, the edges and the pick highlight share them).
// The viewer warps each mesh's surface with one scale for the scene; by
// default the largest displacement is drawn as a tenth of the model's size
// (AutomaticWarpScale()).
#ifndef orviWarp_h
#define orviWarp_h

#include "vtkNew.h"
#include "vtkSmartPointer.h"
#include "vtkType.h"

#include <string>

class vtkDataArray;
class vtkDataSet;
class vtkPoints;
class vtkPolyData;

namespace orvi
{

/// The displacement array `name` of a mesh: a point array of 3 components.
/// Returns null with an error saying what the array is instead (a cell
/// array, another number of components, no array of that name).
vtkDataArray* FindDisplacement(vtkDataSet* mesh, const std::string& name, std::string& error);

/// The scale that draws the largest displacement as WarpFraction of the
/// model's size (its bounding box's diagonal); 1 when nothing moves.
double AutomaticWarpScale(double modelSize, double largestDisplacement);

/// out = from + scale * by, point by point (arrays of 3 components of the
/// same length; `out` may be `from`), each value rounded to out's type.
void MovePoints(vtkDataArray* from, vtkDataArray* by, vtkDataArray* out, double scale);
constexpr double WarpFraction = 0.1;

class SurfaceWarp
{
public:
  /// Moves the points of `surface` by `displacement` (a point array of the
  /// surface, 3 components; null: the undeformed shape) times the scale from
  /// now on. The first call replaces the surface's points by the warp's own,
  /// which stay its points from then on (those sharing them follow).
  void SetDisplacement(vtkPolyData* surface, vtkDataArray* displacement);
  /// Whether the surface is moved now.
  bool IsWarping() const { return this->Displacement != nullptr; }

  /// Rewrites the surface's points as undeformed + scale * displacement.
  void SetScale(double scale);
  double GetScale() const { return this->Scale; }

  /// The surface's points before the warp (null before SetDisplacement()).
  vtkPoints* GetUndeformedPoints() const { return this->Undeformed; }

  /// `mesh` (a point set) with its points moved as the surface's are, sharing
  /// everything else: what a pick through the model selects from. The mesh
  /// itself when the surface is not moved or the mesh has no such array.
  vtkSmartPointer<vtkDataSet> WarpedMesh(vtkDataSet* mesh) const;

private:
  vtkSmartPointer<vtkDataArray> Displacement;
  vtkSmartPointer<vtkPoints> Undeformed;
  vtkNew<vtkPoints> Deformed;
  double Scale = 0.0;
};

} // namespace orvi

#endif
