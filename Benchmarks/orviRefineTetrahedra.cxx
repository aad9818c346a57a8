// orvi-refine-tetrahedra: a mesh eight times finer (orviRefineTetrahedra.h),
// for benchmarks on meshes larger than a mesher makes in reasonable time.
//
//   orvi-refine-tetrahedra IN.vtk|IN.vtu OUT.vtu
//
// The output is a binary .vtu as VTK's XML writer makes it (appended
// data), raw rather than base64, uncompressed and with 32-bit point ids: the
// file that VTK's reader reads fastest, so that benchmarks against that
// read measure what comes after it.
#include "orviRefineTetrahedra.h"

#include "vtkUnstructuredGridReader.h"
#include "vtkXMLUnstructuredGridReader.h"
#include "vtkXMLUnstructuredGridWriter.h"

#include <iostream>

int main(int argc, char* argv[])
{
  if (argc != 3)
  {
    std::cerr << "usage: orvi-refine-tetrahedra IN.vtk|IN.vtu OUT.vtu\n";
    return 1;
  }
  const std::string name = argv[1];
  vtkSmartPointer<vtkUnstructuredGrid> in;
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".vtu") == 0)
  {
    vtkNew<vtkXMLUnstructuredGridReader> reader;
    reader->SetFileName(name.c_str());
    reader->Update();
    in = reader->GetOutput();
  }
  else
  {
    vtkNew<vtkUnstructuredGridReader> reader;
    reader->SetFileName(name.c_str());
    reader->Update();
    in = reader->GetOutput();
  }
  std::string error;
  auto out = in ? orvi_bench::RefineTetrahedra(in, error) : nullptr;
  if (!out)
  {
    std::cerr << "cannot refine " << name << ": " << error << "\n";
    return 1;
  }
  in = nullptr;
  vtkNew<vtkXMLUnstructuredGridWriter> writer;
  writer->SetFileName(argv[2]);
  writer->SetInputData(out);
  writer->SetDataModeToAppended();
  writer->EncodeAppendedDataOff();
  writer->SetCompressorTypeToNone();
  writer->SetIdTypeToInt32();
  if (!writer->Write())
  {
    std::cerr << "cannot write " << argv[2] << "\n";
    return 1;
  }
  std::cout << out->GetNumberOfPoints() << " points, " << out->GetNumberOfCells() << " cells\n";
  return 0;
}
