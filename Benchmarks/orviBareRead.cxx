// orvi-bare-read: VTK's own read of a .vtu (vtkXMLUnstructuredGridReader) or
// of a .pvtu's pieces one after the other (vtkXMLPUnstructuredGridReader),
// and nothing else: the baseline that scripts/bench-viewer.sh measures the
// viewer against.
//
//   orvi-bare-read FILE.vtu|FILE.pvtu
#include "vtkSmartPointer.h"
#include "vtkUnstructuredGrid.h"
#include "vtkXMLPUnstructuredGridReader.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <iostream>
#include <string>

int main(int argc, char* argv[])
{
  if (argc != 2)
  {
    std::cerr << "usage: orvi-bare-read FILE.vtu|FILE.pvtu\n";
    return 1;
  }
  const std::string path = argv[1];
  const bool pieces = path.size() > 5 && path.compare(path.size() - 5, 5, ".pvtu") == 0;
  vtkSmartPointer<vtkXMLReader> reader;
  if (pieces)
  {
    reader = vtkSmartPointer<vtkXMLPUnstructuredGridReader>::New();
  }
  else
  {
    reader = vtkSmartPointer<vtkXMLUnstructuredGridReader>::New();
  }
  reader->SetFileName(path.c_str());
  reader->Update();
  auto* grid = vtkUnstructuredGrid::SafeDownCast(reader->GetOutputDataObject(0));
  if (!grid || grid->GetNumberOfCells() == 0)
  {
    std::cerr << "cannot read " << path << "\n";
    return 1;
  }
  std::cout << grid->GetNumberOfPoints() << " points, " << grid->GetNumberOfCells() << " cells\n";
  return 0;
}
