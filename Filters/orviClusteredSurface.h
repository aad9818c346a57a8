// orvi::ClusteredSurface: a light copy of a surface, for frames that must be
// fast rather than exact (a host's frames in motion).
//
// The surface's polygons are clustered on a regular grid sized so that the
// copy has about TargetTriangles triangles: one point of the surface stands
// for each grid cell the surface crosses (the one nearest to the mean of the
// cell's points), and each polygon's fan triangles are kept between such
// points, those that collapse left out and, of triangles on the same three
// points in the same turn, only the first. The output's points are surface
// points at their own places with their own point data; each triangle
// carries the cell data of the polygon it comes from.
//
// Against vtkQuadricClustering (and the vtkQuadricLODActor built on it),
// which places a new point per grid cell where the cluster's quadric error
// is least: no point moves off the surface and no point data is
// interpolated (colours by a point array stay exact, an id array stays an
// id), the grid follows the triangle count asked for rather than a number
// of divisions, and the clustering can run beside renders and be cancelled.
// It is not faster: on the boundary surfaces of gmsh's t5 refined to 1.3
// and 10.6 million tetrahedra (53 and 214 thousand triangles, into 19
// thousand; Benchmarks/BenchMotionFrame.cxx, Cluster, medians of five runs,
// each within 12% of its median) it takes 9.6 and 32.6 ms against VTK's
// 10.1 and 30.1 ms, 0.95 and 1.08 times VTK's time.
//
// A host that clusters on a thread of its own, beside renders of the same
// poly data, calls Cluster() (which only reads the surface and can be
// cancelled) and Assemble() when it is done, rather than updating the
// filter: the pipeline's update would write the input's information.
#ifndef orviClusteredSurface_h
#define orviClusteredSurface_h

#include "vtkPolyDataAlgorithm.h"
#include "vtkSmartPointer.h"

#include <atomic>
#include <vector>

namespace orvi
{

class ClusteredSurface : public vtkPolyDataAlgorithm
{
public:
  static ClusteredSurface* New();
  vtkTypeMacro(ClusteredSurface, vtkPolyDataAlgorithm);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  ///@{
  /// About how many triangles the output has (default 20000). A surface
  /// whose polygons have no area, or a count of 0 or less, gives an empty
  /// output.
  vtkSetMacro(TargetTriangles, vtkIdType);
  vtkGetMacro(TargetTriangles, vtkIdType);
  ///@}

  /// What a clustering is made of, as indices into the surface: its points,
  /// the surface polygon each triangle comes from, and its triangles (three
  /// indices into Points each).
  struct Clusters
  {
    std::vector<vtkIdType> Points;
    std::vector<vtkIdType> Cells;
    std::vector<vtkIdType> Triangles;
  };

  /// Clusters `surface` into about `triangles` triangles. Reads the surface
  /// only, so it may run beside renders of the same poly data. Returns false
  /// when `cancel` (may be null) was set meanwhile; leaves `out` empty for a
  /// surface without polygons, without area or with a polygon off its
  /// points.
  static bool Cluster(vtkPolyData* surface,
    vtkIdType triangles,
    const std::atomic<bool>* cancel,
    Clusters& out);

  /// The poly data of `clusters`, with the point and cell data of `surface`.
  static vtkSmartPointer<vtkPolyData> Assemble(vtkPolyData* surface, const Clusters& clusters);

protected:
  ClusteredSurface() = default;
  ~ClusteredSurface() override = default;

  int RequestData(vtkInformation* request,
    vtkInformationVector** inputVector,
    vtkInformationVector* outputVector) override;

private:
  ClusteredSurface(const ClusteredSurface&) = delete;
  void operator=(const ClusteredSurface&) = delete;

  vtkIdType TargetTriangles = 20000;
};

} // namespace orvi

#endif
