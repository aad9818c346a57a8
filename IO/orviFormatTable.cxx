#include "orviFormatTable.h"

#include "orviAppendedXML.h"
#include "orviFormatChecks.h"
#include "orviGmshBinary.h"
#include "orviGmshReader.h"

#include "vtkDataSetReader.h"
#include "vtkExodusIIReader.h"
#include "vtkOBJReader.h"
#include "vtkPLYReader.h"
#include "vtkSTLReader.h"
#include "vtkXMLPolyDataReader.h"
#include "vtkXMLUnstructuredGridReader.h"

#include <algorithm>

namespace orvi
{

namespace
{
template <class Reader>
vtkSmartPointer<vtkAlgorithm> NewReader(const std::string& path)
{
  auto reader = vtkSmartPointer<Reader>::New();
  reader->SetFileName(path.c_str());
  return reader;
}

// VTK's XML files start with their declaration or their VTKFile element.
const FormatSignature XML{ "<", true, "it is not an XML file" };
} // namespace

//------------------------------------------------------------------------------
const std::vector<MeshFormat>& MeshFormats()
{
  // Extensions, note, signature, file check, reader, header check, read
  // check, output, opening of a file of parts or steps, the loader's own
  // read.
  static const std::vector<MeshFormat> formats = {
    { { ".vtu" },
      nullptr,
      XML,
      nullptr,
      &NewReader<vtkXMLUnstructuredGridReader>,
      &CheckXMLHeader,
      &CheckAppendedBlocks,
      nullptr,
      nullptr,
      &CoversAppendedXML,
      &ReadAppendedXML },
    { { ".vtk" }, "legacy", { "# vtk DataFile" }, &CheckLegacyVTK, &NewReader<vtkDataSetReader> },
    { { ".vtp" },
      nullptr,
      XML,
      nullptr,
      &NewReader<vtkXMLPolyDataReader>,
      &CheckXMLHeader,
      &CheckAppendedBlocks },
    { { ".stl" }, nullptr, {}, &CheckBinarySTL, &NewReader<vtkSTLReader> },
    { { ".obj" }, nullptr, {}, nullptr, &NewReader<vtkOBJReader> },
    { { ".ply" }, nullptr, { "ply" }, &CheckPLY, &NewReader<vtkPLYReader> },
    { { ".msh" },
      "gmsh",
      { "$MeshFormat", true },
      nullptr,
      &NewReader<GmshReader>,
      nullptr,
      nullptr,
      nullptr,
      nullptr,
      &CoversGmshBinary,
      [](const std::string& path, std::ostream& log, std::string& error, vtkDataSet*)
      { return ReadGmshBinary(path, log, error); } },
    { { ".pvd" },
      "time series",
      XML,
      nullptr,
      nullptr,
      nullptr,
      nullptr,
      nullptr,
      &OpenTimeSeries },
    { { ".vtm" }, "multiblock", XML, nullptr, nullptr, nullptr, nullptr, nullptr, &OpenMultiBlock },
    { { ".pvtu" }, nullptr, XML, nullptr, nullptr, nullptr, nullptr, nullptr, &OpenGridPieces },
    { { ".pvtp" }, nullptr, XML, nullptr, nullptr, nullptr, nullptr, nullptr, &OpenPolyPieces },
    { { ".e", ".exo", ".ex2", ".exii" },
      "Exodus II",
      {},
      &CheckExodusSignature,
      &NewReader<vtkExodusIIReader>,
      &CheckExodusHeader,
      nullptr,
      &AppendExodusBlocks,
      &OpenExodus },
  };
  return formats;
}

//------------------------------------------------------------------------------
const MeshFormat* FindMeshFormat(const std::string& extension)
{
  for (const MeshFormat& format : MeshFormats())
  {
    if (std::find(format.Extensions.begin(), format.Extensions.end(), extension) !=
      format.Extensions.end())
    {
      return &format;
    }
  }
  return nullptr;
}

} // namespace orvi
