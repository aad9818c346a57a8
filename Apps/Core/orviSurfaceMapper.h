// orvi::SurfaceMapper: VTK's OpenGL poly data mapper that keeps its index
// buffers while the cells it draws stay as they are.
//
// VTK 9.1's vtkOpenGLPolyDataMapper builds its index buffers again whenever
// its input's modification time moves, and an input's time moves with its
// point and cell data: a surface given the arrays of the next time step (the
// same points and cells, new values) builds every triangle's indices again
// and uploads them, a frame's worth of work on millions of faces, for
// nothing. This mapper asks VTK to build them only when what they are made
// of changed: the surface's verts, lines, polys and strips, its points (a
// polygon of more than three corners is triangulated by its points' places),
// its edge flags, and the actor's representation, edge and vertex visibility
// (VTK draws shown vertices from index buffers of their own). The points
// count only for a surface with polygons of more than three corners: a
// deformed shape of triangles moves its points and keeps its indices. The
// colours, points and normals still go through VTK's own buffer objects,
// which upload an array only when it changed; the colours are mapped
// again only when the scalars, the lookup table or the mapper changed.
//
// A host makes one in place of vtkPolyDataMapper::New() for a surface whose
// arrays it swaps (orvi-viewer's mesh surfaces, see orviViewerTime.cxx).
#ifndef orviSurfaceMapper_h
#define orviSurfaceMapper_h

#include "vtkOpenGLPolyDataMapper.h"

#include <array>

class vtkCellArray;
class vtkUnsignedCharArray;

namespace orvi
{

class SurfaceMapper : public vtkOpenGLPolyDataMapper
{
public:
  static SurfaceMapper* New();
  vtkTypeMacro(SurfaceMapper, vtkOpenGLPolyDataMapper);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /// How many times the index buffers were built (a host's tests count the
  /// builds a step caused).
  vtkGetMacro(IndexBuilds, int);

protected:
  SurfaceMapper() = default;
  ~SurfaceMapper() override = default;

  void BuildIBO(vtkRenderer* ren, vtkActor* act, vtkPolyData* poly) override;

  /// The colours (or the texture coordinates) of the last mapping while
  /// nothing they are made of changed: the scalars (their object and time),
  /// the lookup table, the mapper's settings and the opacity. VTK maps
  /// them again whenever the input's time moves, which a deformed shape's
  /// points move at every change of scale.
  vtkUnsignedCharArray* MapScalars(vtkDataSet* input, double alpha, int& cellFlag) override;

private:
  SurfaceMapper(const SurfaceMapper&) = delete;
  void operator=(const SurfaceMapper&) = delete;

  // What the index buffers were last built from: the four cell arrays'
  // objects and times, the points' and edge flags' times, the
  // representation, edge and vertex visibility.
  using Source = std::array<vtkMTimeType, 13>;
  Source Built{};
  // Whether the polygons hold one of more than three corners (kept for the
  // polygons' object and time it was found for).
  bool PolygonsNeedPoints(vtkCellArray* polys);
  using Mapping = std::array<vtkMTimeType, 6>;
  Mapping Mapped{};
  bool HaveMapped = false;
  int MappedCellFlag = 0;
  vtkUnsignedCharArray* MappedColors = nullptr;
  vtkCellArray* Polygons = nullptr;
  vtkMTimeType PolygonsTime = 0;
  bool LargePolygons = false;
  bool HaveBuilt = false;
  int IndexBuilds = 0;
};

} // namespace orvi

#endif
