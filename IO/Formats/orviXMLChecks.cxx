#include "orviFormatChecks.h"

#include "vtkCellArray.h"
#include "vtkDataSet.h"
#include "vtkPolyData.h"
#include "vtkUnstructuredGrid.h"
#include "vtkXMLDataElement.h"
#include "vtkXMLDataParser.h"
#include "vtkXMLReader.h"
#include "vtkXMLUnstructuredDataReader.h"

#include <vtksys/SystemTools.hxx>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

#include <unistd.h>

namespace orvi
{

namespace
{
// An attribute as a whole number; false when it is there but is not one.
bool WholeNumber(vtkXMLDataElement* element, const char* name, long long& value, bool& present)
{
  const char* text = element->GetAttribute(name);
  present = text != nullptr;
  if (!text)
  {
    return true;
  }
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text, &end, 10);
  while (end && (*end == ' ' || *end == '\t'))
  {
    ++end;
  }
  return errno == 0 && end != text && end && *end == '\0';
}

bool IsIntegerType(const std::string& type)
{
  static const char* const names[] = {
    "Int8", "UInt8", "Int16", "UInt16", "Int32", "UInt32", "Int64", "UInt64"
  };
  return std::find(std::begin(names), std::end(names), type) != std::end(names);
}

struct XMLLimits
{
  double Values;        // the most values the file could hold
  std::uint64_t Length; // its length in bytes
};

bool CheckDataArray(vtkXMLDataElement* array,
  const std::string& parent,
  const XMLLimits& limits,
  std::string& why)
{
  const std::string name = array->GetAttribute("Name") ? array->GetAttribute("Name") : "";
  const std::string what = parent == "Points" ? "the points' array"
    : name.empty()                            ? "an array of " + parent
                                              : "array '" + name + "'";
  const std::string type = array->GetAttribute("type") ? array->GetAttribute("type") : "";
  if (type != "Float32" && type != "Float64" && type != "String" && !IsIntegerType(type))
  {
    why = what + " has the unknown type '" + type + "'";
    return false;
  }
  long long components = 1, tuples = 0, offset = 0;
  bool hasComponents = false, hasTuples = false, hasOffset = false;
  if (!WholeNumber(array, "NumberOfComponents", components, hasComponents) || components < 1 ||
    components > 65536)
  {
    why = what + " has NumberOfComponents '" + array->GetAttribute("NumberOfComponents") +
      "' (1 to 65536 expected)";
    return false;
  }
  if (!WholeNumber(array, "NumberOfTuples", tuples, hasTuples) || tuples < 0 ||
    static_cast<double>(tuples) * static_cast<double>(components) > limits.Values)
  {
    why = what + " claims NumberOfTuples '" + array->GetAttribute("NumberOfTuples") +
      (tuples < 0 ? "', not a count" : "', more than the file could hold");
    return false;
  }
  const std::string format = array->GetAttribute("format") ? array->GetAttribute("format") : "";
  if (format != "ascii" && format != "binary" && format != "appended")
  {
    why = what + " has the unknown format '" + format + "'";
    return false;
  }
  if (format == "appended" &&
    (!WholeNumber(array, "offset", offset, hasOffset) || !hasOffset || offset < 0 ||
      static_cast<std::uint64_t>(offset) >= limits.Length))
  {
    const char* text = array->GetAttribute("offset");
    why = what + " has the offset '" + (text ? text : "") + "', not inside the file";
    return false;
  }
  const bool cellList = parent == "Cells" || parent == "Verts" || parent == "Lines" ||
    parent == "Polys" || parent == "Strips";
  if (parent == "Points" && ((type != "Float32" && type != "Float64") || components != 3))
  {
    why = "the points are " + std::to_string(components) + " component(s) of " + type +
      "; points are 3 components of Float32 or Float64";
    return false;
  }
  if (cellList && (!IsIntegerType(type) || components != 1))
  {
    why = (name.empty() ? "an array" : "array '" + name + "'") + " of " + parent + " is " +
      std::to_string(components) + " component(s) of " + type + "; it must be one integer";
    return false;
  }
  return true;
}

bool CheckXMLElement(vtkXMLDataElement* element,
  const std::string& parent,
  const XMLLimits& limits,
  std::string& why)
{
  const std::string name = element->GetName() ? element->GetName() : "";
  if (name == "DataArray" && !CheckDataArray(element, parent, limits, why))
  {
    return false;
  }
  if (name == "Piece")
  {
    for (const char* count : { "NumberOfPoints",
           "NumberOfCells",
           "NumberOfVerts",
           "NumberOfLines",
           "NumberOfStrips",
           "NumberOfPolys" })
    {
      long long value = 0;
      bool present = false;
      const double perItem = std::strcmp(count, "NumberOfPoints") == 0 ? 3.0 : 1.0;
      if (!WholeNumber(element, count, value, present) || value < 0 ||
        static_cast<double>(value) * perItem > limits.Values)
      {
        why = std::string("the piece claims ") + count + " '" + element->GetAttribute(count) +
          (value < 0 ? "', not a count" : "', more than the file could hold");
        return false;
      }
    }
  }
  for (int i = 0; i < element->GetNumberOfNestedElements(); ++i)
  {
    if (!CheckXMLElement(element->GetNestedElement(i), name, limits, why))
    {
      return false;
    }
  }
  return true;
}
// The values an array of the mesh holds, by the XML element it was read
// from (its parent element and name); -1 for arrays not checked.
vtkIdType ValuesRead(vtkDataSet* data, const std::string& parent, const std::string& name)
{
  if (parent == "Points")
  {
    return 3 * data->GetNumberOfPoints();
  }
  vtkCellArray* cells = nullptr;
  if (auto* grid = vtkUnstructuredGrid::SafeDownCast(data))
  {
    cells = parent == "Cells" ? grid->GetCells() : nullptr;
  }
  else if (auto* poly = vtkPolyData::SafeDownCast(data))
  {
    cells = parent == "Verts" ? poly->GetVerts()
      : parent == "Lines"     ? poly->GetLines()
      : parent == "Polys"     ? poly->GetPolys()
      : parent == "Strips"    ? poly->GetStrips()
                              : nullptr;
  }
  if (!cells)
  {
    return -1;
  }
  return name == "connectivity"            ? cells->GetNumberOfConnectivityIds()
    : name == "offsets" || name == "types" ? cells->GetNumberOfCells()
                                           : -1;
}

} // namespace

//------------------------------------------------------------------------------
bool CheckXMLElements(vtkXMLDataElement* root, std::uint64_t fileLength, std::string& why)
{
  if (!root)
  {
    why = "no XML elements";
    return false;
  }
  const bool compressed = root->GetAttribute("compressor") != nullptr;
  const XMLLimits limits{ static_cast<double>(fileLength) * (compressed ? 1100.0 : 1.0),
    fileLength };
  return CheckXMLElement(root, "", limits, why);
}

//------------------------------------------------------------------------------
bool CheckPointsFitMemory(double points, const std::string& path, std::string& error)
{
  const double needed = 12.0 * points;
  const double memory =
    static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
  if (memory > 0.0 && needed > memory)
  {
    std::ostringstream why;
    why.precision(3);
    why << "cannot read '" << path << "': the file claims " << static_cast<long long>(points)
        << " points, whose coordinates alone need " << needed / 1e9 << " GB, more than the "
        << memory / 1e9 << " GB of memory (is it damaged?)";
    error = why.str();
    return false;
  }
  return true;
}

//------------------------------------------------------------------------------
bool CheckXMLHeader(vtkAlgorithm* reader, const std::string& path, std::string& error)
{
  auto* xml = vtkXMLUnstructuredDataReader::SafeDownCast(reader);
  if (!xml)
  {
    return true;
  }
  xml->UpdateInformation();
  vtkXMLDataParser* parser = xml->GetXMLParser();
  if (!parser || !parser->GetRootElement())
  {
    return true; // VTK's reader has logged why
  }
  xml->SetupUpdateExtent(0, 1, 0);
  if (!CheckPointsFitMemory(static_cast<double>(xml->GetNumberOfPoints()), path, error))
  {
    return false;
  }
  std::string why;
  if (!CheckXMLElements(parser->GetRootElement(), vtksys::SystemTools::FileLength(path), why))
  {
    return Refuse(path, why, error);
  }
  return true;
}

//------------------------------------------------------------------------------
std::string CheckAppendedBlocks(vtkAlgorithm* reader, vtkDataSet* data, const std::string& path)
{
  auto* xml = vtkXMLReader::SafeDownCast(reader);
  vtkXMLDataParser* parser = xml ? xml->GetXMLParser() : nullptr;
  vtkXMLDataElement* root = parser ? parser->GetRootElement() : nullptr;
  vtkXMLDataElement* appended = root ? root->FindNestedElementWithName("AppendedData") : nullptr;
  const char* encoding = appended ? appended->GetAttribute("encoding") : nullptr;
  if (!appended || !encoding || std::string(encoding) != "raw" ||
    root->GetAttribute("compressor") || parser->GetAppendedDataPosition() <= 0)
  {
    return {};
  }
  const char* headerType = root->GetAttribute("header_type");
  const int headerSize = headerType && std::string(headerType) == "UInt64" ? 8 : 4;
  const char* order = root->GetAttribute("byte_order");
  const bool bigEndian = order && std::string(order) == "BigEndian";
  std::ifstream in(path, std::ios::binary);
  std::string why;
  const std::function<void(vtkXMLDataElement*, const std::string&)> walk =
    [&](vtkXMLDataElement* element, const std::string& parent)
  {
    const std::string name = element->GetName() ? element->GetName() : "";
    const char* format = element->GetAttribute("format");
    const char* offset = element->GetAttribute("offset");
    const char* type = element->GetAttribute("type");
    const char* arrayName = element->GetAttribute("Name");
    const vtkIdType values = ValuesRead(data, parent, arrayName ? arrayName : "");
    if (why.empty() && name == "DataArray" && format && std::string(format) == "appended" &&
      offset && type && values >= 0)
    {
      std::array<unsigned char, 8> bytes{};
      in.seekg(static_cast<std::streamoff>(parser->GetAppendedDataPosition() + std::atoll(offset)));
      in.read(reinterpret_cast<char*>(bytes.data()), headerSize);
      std::uint64_t held = 0;
      for (int i = 0; i < headerSize; ++i)
      {
        held |= static_cast<std::uint64_t>(bytes[bigEndian ? headerSize - 1 - i : i]) << (8 * i);
      }
      int wordType = 0;
      const std::uint64_t needed = element->GetWordTypeAttribute("type", wordType)
        ? static_cast<std::uint64_t>(values) * parser->GetWordTypeSize(wordType)
        : held;
      if (in && held != needed)
      {
        why = "array '" + std::string(arrayName ? arrayName : "") + "' of " + parent +
          " is declared " + type + ": its " + std::to_string(values) + " values take " +
          std::to_string(needed) + " bytes, but the file holds " + std::to_string(held) +
          " for it (is its type wrong?)";
      }
    }
    for (int i = 0; why.empty() && i < element->GetNumberOfNestedElements(); ++i)
    {
      walk(element->GetNestedElement(i), name);
    }
  };
  walk(root, "");
  return why;
}

} // namespace orvi
