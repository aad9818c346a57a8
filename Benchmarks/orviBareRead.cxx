// orvi-bare-read: VTK's own read of a .vtu and nothing else, the baseline
// that scripts/bench-viewer.sh measures the viewer against.
//
//   orvi-bare-read FILE.vtu
#include "vtkNew.h"
#include "vtkUnstructuredGrid.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <iostream>

int main(int argc, char* argv[])
{
  if (argc != 2)
  {
    std::cerr << "usage: orvi-bare-read FILE.vtu\n";
    return 1;
  }
  vtkNew<vtkXMLUnstructuredGridReader> reader;
  reader->SetFileName(argv[1]);
  reader->Update();
  vtkUnstructuredGrid* grid = reader->GetOutput();
  if (!grid || grid->GetNumberOfCells() == 0)
  {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 1;
  }
  std::cout << grid->GetNumberOfPoints() << " points, " << grid->GetNumberOfCells() << " cells\n";
  return 0;
}
