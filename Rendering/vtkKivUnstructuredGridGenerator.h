/**
 * @class   vtkKivUnstructuredGridGenerator
 * @brief   pipeline source that builds a vtkUnstructuredGrid from raw arrays
 *
 * The host fills three arrays from its own mesh model and hands them over:
 * - SetPointData(): three coordinates per point, in point-id order, any
 *   type vtkPoints accepts; the output's points share the array.
 * - SetCellData(): the connectivity stream, first component of each tuple:
 *   per cell its point count n and n point ids; for a VTK_POLYHEDRON the
 *   face count, then per face its point count and point ids.
 * - SetCellTypeData(): one VTK cell type per cell (first component).
 * The setters do not call Modified(): after replacing or editing an array
 * the host calls it before Update(). The input port is optional; leave it
 * unconnected. With an array unset an update does nothing.
 *
 * Every cell is checked while it is built (known type, point count, ids in
 * range, enough stream). The first fault is one error naming the cell, for
 * example "cell 41: point id 1200 is not below the number of points
 * (1000)", and an empty output.
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
   * The raw arrays. The setters keep a reference and do not call
   * Modified(); null unsets.
   */
  void SetPointData(vtkDataArray* array);
  void SetCellData(vtkDataArray* array);
  void SetCellTypeData(vtkDataArray* array);
  vtkDataArray* GetPointData() const;
  vtkDataArray* GetCellData() const;
  vtkDataArray* GetCellTypeData() const;
  ///@}

  /**
   * Checks the cells of a vtkUnstructuredGrid or vtkPolyData from elsewhere
   * (VTK's readers take point ids unchecked) as the generator checks its
   * own: empty when they are sound (or there are no explicit cells), else
   * the generator's message for the first faulty cell. Copies nothing:
   * about a millisecond per million tetrahedra.
   */
  static std::string CheckCells(vtkDataSet* data);

  /// Dispatches the pipeline requests to the passes below.
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
   * Appends and checks one cell per entry of types (one int per cell) from
   * the stream cells. Returns 1, or 0 after reporting the first fault with
   * cellArray unchanged.
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
