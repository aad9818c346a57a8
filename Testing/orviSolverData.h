// Solver results for tests, written at test time by VTK's own writers from a
// gmsh tutorial's tetrahedra (orviGmshMesh.h): a time series (.pvd of .vtu
// steps with a point field changing over time and a displacement), touching
// blocks (.vtm), a mesh written in pieces (.pvtu, .pvtp) and an Exodus file
// with time steps and two element blocks. A host's test opens the files; a
// test that compares against VTK reads the same data with VTK's readers.
#ifndef orviSolverData_h
#define orviSolverData_h

#include "orviGmshMesh.h"

#include "vtkCellData.h"
#include "vtkCellType.h"
#include "vtkCompositeDataSet.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkDoubleArray.h"
#include "vtkExodusIIWriter.h"
#include "vtkIdList.h"
#include "vtkInformation.h"
#include "vtkInformationVector.h"
#include "vtkMultiBlockDataSet.h"
#include "vtkMultiBlockDataSetAlgorithm.h"
#include "vtkNew.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkStreamingDemandDrivenPipeline.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridReader.h"
#include "vtkXMLMultiBlockDataWriter.h"
#include "vtkXMLPPolyDataWriter.h"
#include "vtkXMLPUnstructuredGridWriter.h"
#include "vtkXMLPolyDataWriter.h"
#include "vtkXMLUnstructuredGridWriter.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace orvi_test
{

/// The cells of a data set for which keep(id) holds, as an unstructured grid
/// of their own: their points renumbered in the order the cells use them,
/// the point and cell arrays kept.
inline vtkSmartPointer<vtkUnstructuredGrid> KeepCells(vtkDataSet* data,
  const std::function<bool(vtkIdType)>& keep)
{
  auto piece = vtkSmartPointer<vtkUnstructuredGrid>::New();
  vtkNew<vtkPoints> points;
  std::vector<vtkIdType> renumbered(data->GetNumberOfPoints(), -1);
  piece->GetPointData()->CopyAllocate(data->GetPointData());
  piece->GetCellData()->CopyAllocate(data->GetCellData());
  vtkNew<vtkIdList> ids;
  for (vtkIdType cell = 0; cell < data->GetNumberOfCells(); ++cell)
  {
    if (!keep(cell))
    {
      continue;
    }
    data->GetCellPoints(cell, ids);
    for (vtkIdType i = 0; i < ids->GetNumberOfIds(); ++i)
    {
      vtkIdType& to = renumbered[ids->GetId(i)];
      if (to < 0)
      {
        to = points->InsertNextPoint(data->GetPoint(ids->GetId(i)));
        piece->GetPointData()->CopyData(data->GetPointData(), ids->GetId(i), to);
      }
      ids->SetId(i, to);
    }
    const vtkIdType id = piece->InsertNextCell(data->GetCellType(cell), ids);
    piece->GetCellData()->CopyData(data->GetCellData(), cell, id);
  }
  piece->SetPoints(points);
  return piece;
}

/// The cells [first, last) of a data set (see KeepCells()).
inline vtkSmartPointer<vtkUnstructuredGrid> CellRange(vtkDataSet* data,
  vtkIdType first,
  vtkIdType last)
{
  return KeepCells(data, [=](vtkIdType id) { return id >= first && id < last; });
}

/// The tetrahedra of gmsh's tutorial meshed with options (see
/// MeshGmshTutorial()); null with why set when gmsh cannot mesh it.
inline vtkSmartPointer<vtkUnstructuredGrid> GmshTetrahedra(const std::string& tutorial,
  const std::filesystem::path& dir,
  std::string& why,
  const std::string& options = "-3")
{
  const std::string vtk = MeshGmshTutorial(tutorial, dir, why, options);
  if (vtk.empty())
  {
    return nullptr;
  }
  vtkNew<vtkUnstructuredGridReader> reader;
  reader->SetFileName(vtk.c_str());
  reader->Update();
  vtkUnstructuredGrid* mesh = reader->GetOutput();
  return KeepCells(mesh, [mesh](vtkIdType id) { return mesh->GetCellType(id) == VTK_TETRA; });
}

/// The grid's point fields at time t: "temperature", a wave along x moving
/// with t, and "displacement", a shear growing with t.
inline vtkSmartPointer<vtkUnstructuredGrid> AtTime(vtkUnstructuredGrid* grid, double t)
{
  auto step = vtkSmartPointer<vtkUnstructuredGrid>::New();
  step->ShallowCopy(grid);
  vtkNew<vtkDoubleArray> temperature, displacement;
  temperature->SetName("temperature");
  displacement->SetName("displacement");
  displacement->SetNumberOfComponents(3);
  for (vtkIdType i = 0; i < grid->GetNumberOfPoints(); ++i)
  {
    const double* p = grid->GetPoint(i);
    temperature->InsertNextValue(std::sin(p[0] + t) + t);
    displacement->InsertNextTuple3(0.1 * t * p[1], 0, 0);
  }
  step->GetPointData()->AddArray(temperature);
  step->GetPointData()->AddArray(displacement);
  return step;
}

/// Writes dir/NAME.pvd naming the .vtu files of the steps at times, each
/// written by vtkXMLUnstructuredGridWriter in its default encoding; returns
/// the collection's path.
inline std::string WriteTimeSeries(vtkUnstructuredGrid* grid,
  const std::filesystem::path& dir,
  const std::string& name,
  const std::vector<double>& times)
{
  std::ofstream pvd(dir / (name + ".pvd"));
  pvd << "<?xml version=\"1.0\"?>\n<VTKFile type=\"Collection\" version=\"0.1\">\n<Collection>\n";
  for (std::size_t k = 0; k < times.size(); ++k)
  {
    const std::string file = name + "_" + std::to_string(k) + ".vtu";
    vtkNew<vtkXMLUnstructuredGridWriter> writer;
    writer->SetInputData(AtTime(grid, times[k]));
    writer->SetFileName((dir / file).c_str());
    writer->Write();
    pvd << "<DataSet timestep=\"" << times[k] << "\" part=\"0\" file=\"" << file << "\"/>\n";
  }
  pvd << "</Collection>\n</VTKFile>\n";
  return (dir / (name + ".pvd")).string();
}

/// The grid's cells split in two at the middle of their ids, as blocks
/// named "first" and "second" of a multiblock.
inline vtkSmartPointer<vtkMultiBlockDataSet> TwoBlocks(vtkUnstructuredGrid* grid)
{
  auto blocks = vtkSmartPointer<vtkMultiBlockDataSet>::New();
  const vtkIdType half = grid->GetNumberOfCells() / 2;
  blocks->SetBlock(0, CellRange(grid, 0, half));
  blocks->SetBlock(1, CellRange(grid, half, grid->GetNumberOfCells()));
  blocks->GetMetaData(0u)->Set(vtkCompositeDataSet::NAME(), "first");
  blocks->GetMetaData(1u)->Set(vtkCompositeDataSet::NAME(), "second");
  return blocks;
}

/// Writes TwoBlocks() of the grid at time 1 to dir/NAME.vtm with
/// vtkXMLMultiBlockDataWriter; returns its path.
inline std::string WriteTwoBlocks(vtkUnstructuredGrid* grid,
  const std::filesystem::path& dir,
  const std::string& name)
{
  const std::string path = (dir / (name + ".vtm")).string();
  vtkNew<vtkXMLMultiBlockDataWriter> writer;
  writer->SetInputData(TwoBlocks(AtTime(grid, 1)));
  writer->SetFileName(path.c_str());
  writer->Write();
  return path;
}

/// Writes the data set at time 1 in pieces of consecutive cells to
/// dir/NAME.pvtu (a grid) or dir/NAME.pvtp (its surface): VTK's parallel
/// writer writes the summary and the piece files, each piece file then
/// written again with the piece's own cells (without a streaming pipeline
/// the parallel writer puts the whole mesh in every piece). Returns the
/// summary's path.
inline std::string WritePieces(vtkUnstructuredGrid* grid,
  const std::filesystem::path& dir,
  const std::string& name,
  int pieces,
  bool surface = false)
{
  vtkSmartPointer<vtkDataSet> data = AtTime(grid, 1);
  if (surface)
  {
    vtkNew<vtkDataSetSurfaceFilter> skin;
    skin->SetInputData(data);
    skin->Update();
    data = skin->GetOutput();
  }
  const std::string ext = surface ? "vtp" : "vtu";
  const std::string path = (dir / (name + ".p" + ext)).string();
  vtkSmartPointer<vtkXMLPDataWriter> summary;
  summary = surface ? vtkSmartPointer<vtkXMLPDataWriter>(vtkXMLPPolyDataWriter::New())
                    : vtkSmartPointer<vtkXMLPDataWriter>(vtkXMLPUnstructuredGridWriter::New());
  summary->Delete();
  summary->SetInputData(data);
  summary->SetFileName(path.c_str());
  summary->SetNumberOfPieces(pieces);
  summary->SetStartPiece(0);
  summary->SetEndPiece(pieces - 1);
  summary->Write();
  const vtkIdType cells = data->GetNumberOfCells();
  for (int k = 0; k < pieces; ++k)
  {
    vtkSmartPointer<vtkDataSet> piece =
      CellRange(data, cells * k / pieces, cells * (k + 1) / pieces);
    vtkSmartPointer<vtkXMLWriter> writer;
    if (surface)
    {
      vtkNew<vtkDataSetSurfaceFilter> skin;
      skin->SetInputData(piece);
      skin->Update();
      piece = skin->GetOutput();
      writer = vtkSmartPointer<vtkXMLPolyDataWriter>::New();
    }
    else
    {
      writer = vtkSmartPointer<vtkXMLUnstructuredGridWriter>::New();
    }
    writer->SetInputData(piece);
    writer->SetFileName((dir / (name + "_" + std::to_string(k) + "." + ext)).c_str());
    writer->Write();
  }
  return path;
}

/// Two blocks of a grid (TwoBlocks()) with their fields at the times asked
/// for, for vtkExodusIIWriter to write every step.
class TimedBlocks : public vtkMultiBlockDataSetAlgorithm
{
public:
  static TimedBlocks* New()
  {
    auto* source = new TimedBlocks;
    source->InitializeObjectBase();
    return source;
  }
  vtkTypeMacro(TimedBlocks, vtkMultiBlockDataSetAlgorithm);
  vtkSmartPointer<vtkUnstructuredGrid> Grid;
  std::vector<double> Times;

protected:
  TimedBlocks() { this->SetNumberOfInputPorts(0); }
  int RequestInformation(vtkInformation*,
    vtkInformationVector**,
    vtkInformationVector* out) override
  {
    vtkInformation* info = out->GetInformationObject(0);
    info->Set(vtkStreamingDemandDrivenPipeline::TIME_STEPS(),
      this->Times.data(),
      static_cast<int>(this->Times.size()));
    const double range[2] = { this->Times.front(), this->Times.back() };
    info->Set(vtkStreamingDemandDrivenPipeline::TIME_RANGE(), range, 2);
    return 1;
  }
  int RequestData(vtkInformation*, vtkInformationVector**, vtkInformationVector* out) override
  {
    vtkInformation* info = out->GetInformationObject(0);
    const double t = info->Has(vtkStreamingDemandDrivenPipeline::UPDATE_TIME_STEP())
      ? info->Get(vtkStreamingDemandDrivenPipeline::UPDATE_TIME_STEP())
      : this->Times.front();
    vtkMultiBlockDataSet* blocks = vtkMultiBlockDataSet::GetData(info);
    blocks->ShallowCopy(TwoBlocks(AtTime(this->Grid, t)));
    blocks->GetInformation()->Set(vtkDataObject::DATA_TIME_STEP(), t);
    return 1;
  }
};

/// Writes the grid as two element blocks with every step of times to
/// dir/NAME.e with vtkExodusIIWriter; returns its path.
inline std::string WriteExodus(vtkUnstructuredGrid* grid,
  const std::filesystem::path& dir,
  const std::string& name,
  const std::vector<double>& times)
{
  const std::string path = (dir / (name + ".e")).string();
  vtkNew<TimedBlocks> source;
  source->Grid = grid;
  source->Times = times;
  vtkNew<vtkExodusIIWriter> writer;
  writer->SetInputConnection(source->GetOutputPort());
  writer->SetFileName(path.c_str());
  writer->WriteAllTimeStepsOn();
  writer->Write();
  return path;
}

} // namespace orvi_test

#endif
