// orvi-bare-read: VTK's own read of a .vtu (vtkXMLUnstructuredGridReader) or
// of a .pvtu's pieces one after the other (vtkXMLPUnstructuredGridReader),
// and nothing else: the baseline that scripts/bench-viewer.sh measures the
// viewer against.
//
//   orvi-bare-read FILE.vtu|FILE.pvtu
#include "vtkAlgorithm.h"
#include "vtkSmartPointer.h"
#include "vtkUnstructuredGrid.h"
#include "vtkXMLPUnstructuredGridReader.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <iostream>
#include <string>

namespace
{
template <class Reader>
vtkSmartPointer<vtkAlgorithm> NewReader(const std::string& path)
{
  auto reader = vtkSmartPointer<Reader>::New();
  reader->SetFileName(path.c_str());
  return reader;
}
} // namespace

int main(int argc, char* argv[])
{
  if (argc != 2)
  {
    std::cerr << "usage: orvi-bare-read FILE.vtu|FILE.pvtu\n";
    return 1;
  }
  const std::string path = argv[1];
  const bool pieces = path.size() > 5 && path.compare(path.size() - 5, 5, ".pvtu") == 0;
  const vtkSmartPointer<vtkAlgorithm> reader = pieces
    ? NewReader<vtkXMLPUnstructuredGridReader>(path)
    : NewReader<vtkXMLUnstructuredGridReader>(path);
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
