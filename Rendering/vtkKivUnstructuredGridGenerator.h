/**
 * @class   vtkKivUnstructuredGridGenerator
 * @brief   pipeline source that builds a vtkUnstructuredGrid from raw arrays
 *
 * The host fills three arrays from its own mesh model and hands them over:
 * - SetPointData(): point coordinates, one tuple of three components per
 *   point in point-id order, in any type vtkPoints accepts. The output's
 *   vtkPoints share this array (vtkPoints::SetData); nothing is copied.
 * - SetCellData(): the connectivity stream, cell after cell, first component
 *   of each tuple: for every cell type but VTK_POLYHEDRON the point count n
 *   and n point ids; for a polyhedron (42) the face count F, then per face
 *   its point count k and k point ids. A polyhedron is handed to the cell
 *   array with its whole face stream (1 + sum(1 + k) values, F included),
 *   the layout vtkUnstructuredGrid::SetCells expects.
 * - SetCellTypeData(): one VTK cell type per cell (first component); its
 *   number of tuples is the number of cells.
 * The setters keep a reference and do NOT call Modified(): after replacing
 * or editing an array the host calls Modified() itself before Update().
 *
 * A single-component VTK_INT type array and a single-component VTK_ID_TYPE
 * connectivity array are read in place. Other types are converted entry by
 * entry, truncating toward zero (a type of 12.9 is 12), into temporaries
 * released when the update ends.
 *
 * The input port is optional and nothing is read from it: a host leaves it
 * unconnected.
 *
 * With any of the three arrays unset, an update does nothing, reports
 * nothing and the output keeps its previous content. Otherwise the arrays
 * are checked in the same single pass that builds the cells: the
 * coordinates have three components; each cell type is one VTK can
 * instantiate; counts are not negative; a cell type of fixed size (a
 * hexahedron, a quadratic tetra, ...) gets exactly its number of points; a
 * polyhedron has at least one face and every face at least three points;
 * the stream holds every value the counts call for; every point id lies in
 * 0 .. number of points - 1. On the first violation one error names the
 * cell and the fault (for example "cell 41: point id 1200 is not below the
 * number of points (1000)"), the update fails and the output is an empty
 * grid. Values left over at the end of the stream are ignored.
 *
 * @sa vtkUnstructuredGrid vtkCellArray
 */

#ifndef vtkKivUnstructuredGridGenerator_h
#define vtkKivUnstructuredGridGenerator_h

#include "vtkDataSetAlgorithm.h"
#include "vtkSmartPointer.h"        // for vtkSmartPointer
#include "vtkorviRenderingModule.h" // for export macro

#include <string> // for CheckCells

class vtkCellArray;
class vtkDataArray;
class vtkDataSet;
class vtkIdTypeArray;

class VTKORVIRENDERING_EXPORT vtkKivUnstructuredGridGenerator : public vtkDataSetAlgorithm
{
public:
  static vtkKivUnstructuredGridGenerator* New();
  vtkTypeMacro(vtkKivUnstructuredGridGenerator, vtkDataSetAlgorithm);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  ///@{
  /**
   * The raw arrays: point coordinates, connectivity stream, cell types.
   * The setters keep a reference and do not call Modified(); null unsets.
   * The getters add no reference.
   */
  void SetPointData(vtkDataArray* array);
  void SetCellData(vtkDataArray* array);
  void SetCellTypeData(vtkDataArray* array);
  vtkDataArray* GetPointData() const;
  vtkDataArray* GetCellData() const;
  vtkDataArray* GetCellTypeData() const;
  ///@}

  /**
   * Checks the cells of a data set that did not come from the generator
   * (VTK's readers, for instance, take point ids as they find them) with
   * the generator's own checks, so that later filters never read out of
   * bounds:
   * - vtkUnstructuredGrid: one cell type per cell; the offsets ascend from 0
   *   to the connectivity's end; every type is one VTK can instantiate and a
   *   fixed-size type has its number of points; every point id lies in
   *   0 .. number of points - 1; every polyhedron has a face stream in the
   *   grid's faces array with at least one face, at least three points per
   *   face and point ids in range.
   * - vtkPolyData: offsets and point ids of its vertices, lines, polygons
   *   and strips, the cells numbered as vtkPolyData numbers them.
   * - Any other data set (implicit cells), or null: nothing to check.
   * Returns an empty string when the cells are sound, otherwise one message
   * in the generator's words naming a faulty cell and its fault, for
   * example "cell 41: point id 1200 is not below the number of points
   * (1000)" (offsets are checked first, then types and counts, then ids).
   * Reads the arrays in place, nothing is copied: about a millisecond per
   * million tetrahedra.
   */
  static std::string CheckCells(vtkDataSet* data);

  /**
   * Dispatch the pipeline requests to the passes below.
   */
  vtkTypeBool ProcessRequest(vtkInformation* request,
    vtkInformationVector** inputVector,
    vtkInformationVector* outputVector) override;

protected:
  vtkKivUnstructuredGridGenerator();
  ~vtkKivUnstructuredGridGenerator() override;

  int FillInputPortInformation(int port, vtkInformation* info) override;
  int FillOutputPortInformation(int port, vtkInformation* info) override;
  int RequestInformation(vtkInformation* request,
    vtkInformationVector** inputVector,
    vtkInformationVector* outputVector) override;
  int RequestUpdateExtent(vtkInformation* request,
    vtkInformationVector** inputVector,
    vtkInformationVector* outputVector) override;
  int RequestDataObject(vtkInformation* request,
    vtkInformationVector** inputVector,
    vtkInformationVector* outputVector) override;
  int RequestData(vtkInformation* request,
    vtkInformationVector** inputVector,
    vtkInformationVector* outputVector) override;

  /**
   * Append one cell per entry of CellTypeData to cellArray, reading the
   * connectivity stream from its first value, and check it on the way (see
   * the class description). types holds one int per cell. Writes VTK's
   * offsets and connectivity arrays directly. Returns 1, or 0 after
   * reporting the first fault with the cell array left unchanged.
   */
  virtual int FillCellArray(int* types, vtkIdTypeArray* cells, vtkCellArray* cellArray);

  vtkSmartPointer<vtkDataArray> PointData;
  vtkSmartPointer<vtkDataArray> CellData;
  vtkSmartPointer<vtkDataArray> CellTypeData;

private:
  vtkKivUnstructuredGridGenerator(const vtkKivUnstructuredGridGenerator&) = delete;
  void operator=(const vtkKivUnstructuredGridGenerator&) = delete;
};

#endif
