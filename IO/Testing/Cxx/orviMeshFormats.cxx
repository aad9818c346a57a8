// orviMeshFormats: writes one mesh in every format orvi-viewer reads, with
// VTK's writers, as seeds for fuzzing and for mutated-file runs; and counts
// the pixels of a screenshot that are not its background.
//
//   orviMeshFormats IN.vtk OUTDIR   writes OUTDIR/NAME-ascii.vtk, -binary.vtk,
//                                   -ascii.vtu, -binary.vtu, -appended.vtu,
//                                   -zlib.vtu, -base64-zlib.vtu, -base64.vtu,
//                                   -ids32.vtu, -header64-zlib.vtu, .vtp, -binary.stl, -ascii.stl,
//                                   -binary.ply, -ascii.ply, .obj
//   orviMeshFormats --solver IN.vtk OUTDIR   writes its tetrahedra as solver
//                                   results: NAME-series.pvd, -blocks.vtm,
//                                   -pieces.pvtu, -steps.e and their files
//   orviMeshFormats --drawn IMAGE.png   prints the number of pixels drawn
//                                   over the background
#include "orviSolverData.h"

#include "vtkDataSet.h"
#include "vtkDataSetSurfaceFilter.h"
#include "vtkDataSetWriter.h"
#include "vtkDoubleArray.h"
#include "vtkImageData.h"
#include "vtkMath.h"
#include "vtkNew.h"
#include "vtkOBJWriter.h"
#include "vtkPLYWriter.h"
#include "vtkPNGReader.h"
#include "vtkPointData.h"
#include "vtkPolyData.h"
#include "vtkSTLWriter.h"
#include "vtkTriangleFilter.h"
#include "vtkUnsignedCharArray.h"
#include "vtkUnstructuredGrid.h"
#include "vtkUnstructuredGridReader.h"
#include "vtkXMLPolyDataWriter.h"
#include "vtkXMLUnstructuredGridWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace
{
// Writes data with a VTK writer, its options set by setup.
template <class Writer, class Setup>
void Write(vtkDataObject* data, const std::string& path, const Setup& setup)
{
  vtkNew<Writer> writer;
  writer->SetInputData(data);
  writer->SetFileName(path.c_str());
  setup(writer.Get());
  writer->Write();
}

int CountDrawn(const char* image)
{
  vtkNew<vtkPNGReader> reader;
  reader->SetFileName(image);
  reader->Update();
  vtkImageData* picture = reader->GetOutput();
  auto* pixels = vtkUnsignedCharArray::SafeDownCast(picture->GetPointData()->GetScalars());
  if (!pixels)
  {
    std::cerr << "cannot read " << image << "\n";
    return 1;
  }
  // The background is a vertical gradient: a pixel is drawn when it differs
  // from the first of its row. The right quarter, where a colour legend
  // stands, is left out.
  const int n = std::min(pixels->GetNumberOfComponents(), 3);
  const int width = picture->GetDimensions()[0];
  long drawn = 0;
  for (vtkIdType p = 0; p < pixels->GetNumberOfTuples(); ++p)
  {
    const vtkIdType x = p % width, first = (p - x) * pixels->GetNumberOfComponents();
    bool differs = false;
    for (int c = 0; c < n; ++c)
    {
      differs = differs ||
        std::abs(pixels->GetValue(p * pixels->GetNumberOfComponents() + c) -
          pixels->GetValue(first + c)) > 8;
    }
    drawn += x > 0 && x < width * 3 / 4 && differs;
  }
  std::cout << drawn << "\n";
  return 0;
}

// The tetrahedra of a gmsh mesh as solver results (orviSolverData.h): a
// .pvd of two steps, a .vtm of two blocks, a .pvtu of two pieces and an
// Exodus file of two blocks and two steps, named after the mesh.
int WriteSolverFiles(const char* mesh, const std::filesystem::path& dir)
{
  vtkNew<vtkUnstructuredGridReader> reader;
  reader->SetFileName(mesh);
  reader->Update();
  vtkUnstructuredGrid* read = reader->GetOutput();
  vtkSmartPointer<vtkUnstructuredGrid> grid =
    orvi_test::KeepCells(read, [read](vtkIdType id) { return read->GetCellType(id) == VTK_TETRA; });
  if (grid->GetNumberOfCells() == 0)
  {
    std::cerr << "no tetrahedra in " << mesh << "\n";
    return 1;
  }
  std::filesystem::create_directories(dir);
  const std::string name = std::filesystem::path(mesh).stem().string();
  orvi_test::WriteTimeSeries(grid, dir, name + "-series", { 0, 1 });
  orvi_test::WriteTwoBlocks(grid, dir, name + "-blocks");
  orvi_test::WritePieces(grid, dir, name + "-pieces", 2);
  orvi_test::WriteExodus(grid, dir, name + "-steps", { 0, 1 });
  return 0;
}
} // namespace

int main(int argc, char* argv[])
{
  if (argc == 3 && std::strcmp(argv[1], "--drawn") == 0)
  {
    return CountDrawn(argv[2]);
  }
  if (argc == 4 && std::strcmp(argv[1], "--solver") == 0)
  {
    return WriteSolverFiles(argv[2], argv[3]);
  }
  if (argc != 3)
  {
    std::cerr << "usage: orviMeshFormats IN.vtk OUTDIR | --solver IN.vtk OUTDIR | --drawn "
                 "IMAGE.png\n";
    return 2;
  }
  namespace fs = std::filesystem;
  vtkNew<vtkUnstructuredGridReader> reader;
  reader->SetFileName(argv[1]);
  reader->Update();
  vtkUnstructuredGrid* grid = reader->GetOutput();
  if (!grid || grid->GetNumberOfCells() == 0)
  {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 1;
  }
  // A point array that varies, as results do: the distance from the first
  // point.
  vtkNew<vtkDoubleArray> distance;
  distance->SetName("distance");
  distance->SetNumberOfTuples(grid->GetNumberOfPoints());
  double origin[3], p[3];
  grid->GetPoint(0, origin);
  for (vtkIdType i = 0; i < grid->GetNumberOfPoints(); ++i)
  {
    grid->GetPoint(i, p);
    distance->SetValue(i, std::sqrt(vtkMath::Distance2BetweenPoints(origin, p)));
  }
  grid->GetPointData()->AddArray(distance);

  const fs::path dir = argv[2];
  fs::create_directories(dir);
  const std::string base = (dir / fs::path(argv[1]).stem()).string();
  vtkNew<vtkDataSetSurfaceFilter> surface;
  surface->SetInputData(grid);
  vtkNew<vtkTriangleFilter> triangles;
  triangles->SetInputConnection(surface->GetOutputPort());
  triangles->Update();
  vtkPolyData* skin = triangles->GetOutput();
  for (const int type : { VTK_ASCII, VTK_BINARY })
  {
    const std::string kind = type == VTK_BINARY ? "-binary" : "-ascii";
    const auto setType = [&](auto* writer) { writer->SetFileType(type); };
    Write<vtkDataSetWriter>(grid, base + kind + ".vtk", setType);
    Write<vtkSTLWriter>(skin, base + kind + ".stl", setType);
    Write<vtkPLYWriter>(skin, base + kind + ".ply", setType);
  }
  // VTK's XML data modes and encodings: inline, appended raw or base64,
  // uncompressed or in zlib blocks (a block of 4 KB: several here), with
  // 32- or 64-bit ids and block headers.
  struct XMLMode
  {
    const char* Suffix;
    int DataMode, Compressor;
    bool Encoded, Ids32, Header64;
  };
  const XMLMode xmlModes[] = {
    { "-ascii.vtu", vtkXMLWriter::Ascii, vtkXMLWriter::NONE, true, false, false },
    { "-binary.vtu", vtkXMLWriter::Binary, vtkXMLWriter::NONE, true, false, false },
    { "-appended.vtu", vtkXMLWriter::Appended, vtkXMLWriter::NONE, false, false, false },
    { "-zlib.vtu", vtkXMLWriter::Appended, vtkXMLWriter::ZLIB, false, false, false },
    { "-base64-zlib.vtu", vtkXMLWriter::Appended, vtkXMLWriter::ZLIB, true, false, false },
    { "-base64.vtu", vtkXMLWriter::Appended, vtkXMLWriter::NONE, true, false, true },
    { "-ids32.vtu", vtkXMLWriter::Appended, vtkXMLWriter::NONE, false, true, false },
    { "-header64-zlib.vtu", vtkXMLWriter::Appended, vtkXMLWriter::ZLIB, true, true, true },
  };
  for (const XMLMode& mode : xmlModes)
  {
    Write<vtkXMLUnstructuredGridWriter>(grid,
      base + mode.Suffix,
      [&](auto* writer)
      {
        writer->SetDataMode(mode.DataMode);
        writer->SetEncodeAppendedData(mode.Encoded);
        writer->SetCompressorType(mode.Compressor);
        writer->SetBlockSize(4096);
        writer->SetIdType(mode.Ids32 ? vtkXMLWriter::Int32 : vtkXMLWriter::Int64);
        writer->SetHeaderType(mode.Header64 ? vtkXMLWriter::UInt64 : vtkXMLWriter::UInt32);
      });
  }
  Write<vtkXMLPolyDataWriter>(skin, base + ".vtp", [](auto*) {});
  Write<vtkOBJWriter>(skin, base + ".obj", [](auto*) {});
  return 0;
}
