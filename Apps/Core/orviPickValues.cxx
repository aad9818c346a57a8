#include "orviPickValues.h"

#include "orviViewerPart.h"

#include "vtkCell.h"
#include "vtkCellData.h"
#include "vtkCellPicker.h"
#include "vtkCellTypes.h"
#include "vtkDataArray.h"
#include "vtkDataSet.h"
#include "vtkIdList.h"
#include "vtkNew.h"
#include "vtkPointData.h"
#include "vtkRenderer.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace orvi
{

namespace
{
vtkDataSetAttributes* DataOf(vtkDataSet* mesh, int field)
{
  return field == 0 ? static_cast<vtkDataSetAttributes*>(mesh->GetPointData())
                    : static_cast<vtkDataSetAttributes*>(mesh->GetCellData());
}

// One array of the table: its data, name and components.
struct Column
{
  int Field = 0;
  std::string Name;
  int Components = 1;
  bool operator==(const Column& other) const
  {
    return this->Field == other.Field && this->Name == other.Name &&
      this->Components == other.Components;
  }
};

// The named arrays of every part, cell arrays first, in the order the first
// part holding each lists them; VTK's own (vtkOriginalCellIds, vtkGhostType)
// are left out.
std::vector<Column> ColumnsOf(const std::vector<PickedPart>& parts)
{
  std::vector<Column> columns;
  for (int field : { 1, 0 })
  {
    for (const PickedPart& part : parts)
    {
      vtkDataSetAttributes* data = DataOf(part.Mesh, field);
      for (int i = 0; i < data->GetNumberOfArrays(); ++i)
      {
        vtkDataArray* array = data->GetArray(i);
        if (!array || !array->GetName() || std::string(array->GetName()).rfind("vtk", 0) == 0)
        {
          continue;
        }
        const Column column{ field, array->GetName(), array->GetNumberOfComponents() };
        if (std::find(columns.begin(), columns.end(), column) == columns.end())
        {
          columns.push_back(column);
        }
      }
    }
  }
  return columns;
}

// A CSV field: quoted when it holds a comma, a quote or a line break.
std::string Field(const std::string& text)
{
  if (text.find_first_of(",\"\n\r") == std::string::npos)
  {
    return text;
  }
  std::string quoted = "\"";
  for (char c : text)
  {
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  }
  return quoted + "\"";
}

void Header(std::ostream& out, const std::vector<Column>& columns)
{
  out << "part,cell,type";
  for (const Column& column : columns)
  {
    const std::string prefix = column.Field == 0 ? "point:" : "cell:";
    for (int c = 0; c < column.Components; ++c)
    {
      out << ","
          << Field(prefix +
               ComponentTitle(column.Name, column.Components, { Component::Kind::Index, c }));
    }
  }
  out << "\n";
}

void Number(std::string& row, double value)
{
  char text[32];
  const auto written = std::to_chars(text, text + sizeof(text), value);
  row.append(text, written.ptr);
}

// One cell's row: its values, its points' means.
void Row(std::string& row,
  const PickedPart& part,
  vtkIdType cell,
  const std::vector<Column>& columns,
  vtkIdList* points)
{
  row = Field(part.Name) + "," + std::to_string(cell) + "," +
    (vtkCellTypes::GetClassNameFromTypeId(part.Mesh->GetCellType(cell)) + 3);
  part.Mesh->GetCellPoints(cell, points);
  const vtkIdType n = points->GetNumberOfIds();
  for (const Column& column : columns)
  {
    vtkDataArray* array = DataOf(part.Mesh, column.Field)->GetArray(column.Name.c_str());
    const bool held = array && array->GetNumberOfComponents() == column.Components;
    for (int c = 0; c < column.Components; ++c)
    {
      row += ",";
      if (!held || (column.Field == 0 && n == 0))
      {
        continue;
      }
      double value = 0.0;
      if (column.Field == 1)
      {
        value = array->GetComponent(cell, c);
      }
      else
      {
        for (vtkIdType k = 0; k < n; ++k)
        {
          value += array->GetComponent(points->GetId(k), c);
        }
        value /= static_cast<double>(n);
      }
      Number(row, value);
    }
  }
  row += "\n";
}
} // namespace

//------------------------------------------------------------------------------
ValueRange PickedValues(vtkDataSet* mesh,
  const std::vector<vtkIdType>& cells,
  int field,
  const std::string& name,
  const Component& which)
{
  ValueRange range;
  vtkDataArray* array = field < 0 ? nullptr : DataOf(mesh, field)->GetArray(name.c_str());
  if (!array)
  {
    return range;
  }
  double sum = 0.0;
  const auto add = [&](vtkIdType tuple)
  {
    const double value = QuantityAt(array, tuple, which);
    range.Min = range.Count == 0 ? value : std::min(range.Min, value);
    range.Max = range.Count == 0 ? value : std::max(range.Max, value);
    sum += value;
    ++range.Count;
  };
  if (field == 1)
  {
    std::for_each(cells.begin(), cells.end(), add);
  }
  else
  {
    std::vector<bool> seen(static_cast<size_t>(mesh->GetNumberOfPoints()), false);
    vtkNew<vtkIdList> points;
    for (vtkIdType cell : cells)
    {
      mesh->GetCellPoints(cell, points);
      for (vtkIdType k = 0; k < points->GetNumberOfIds(); ++k)
      {
        const vtkIdType point = points->GetId(k);
        if (!seen[point])
        {
          seen[point] = true;
          add(point);
        }
      }
    }
  }
  range.Mean = range.Count > 0 ? sum / static_cast<double>(range.Count) : 0.0;
  return range;
}

void MergeValues(ValueRange& into, const ValueRange& more)
{
  if (more.Count == 0)
  {
    return;
  }
  const double total = static_cast<double>(into.Count + more.Count);
  into.Min = into.Count == 0 ? more.Min : std::min(into.Min, more.Min);
  into.Max = into.Count == 0 ? more.Max : std::max(into.Max, more.Max);
  into.Mean =
    (into.Mean * static_cast<double>(into.Count) + more.Mean * static_cast<double>(more.Count)) /
    total;
  into.Count += more.Count;
}

std::string DescribeValues(const std::string& title, int field, const ValueRange& values)
{
  std::ostringstream text;
  text << title << " min " << values.Min << ", mean " << values.Mean << ", max " << values.Max
       << " over " << values.Count << (field == 0 ? " points" : " cells");
  return text.str();
}

//------------------------------------------------------------------------------
bool CheckOutputFolder(const std::string& what, const std::string& path, std::string& error)
{
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code missing;
  if (!folder.empty() && !std::filesystem::is_directory(folder, missing))
  {
    error = "cannot write " + what + " '" + path + "': no directory '" + folder.string() + "'";
    return false;
  }
  return true;
}

bool WritePickedCells(const std::string& path,
  const std::vector<PickedPart>& parts,
  vtkIdType& rows,
  std::string& error)
{
  rows = 0;
  if (!CheckOutputFolder("the picked cells", path, error))
  {
    return false;
  }
  std::ofstream out(path, std::ios::binary);
  if (!out)
  {
    error = "cannot write the picked cells '" + path + "' (not writable)";
    return false;
  }
  const std::vector<Column> columns = ColumnsOf(parts);
  Header(out, columns);
  vtkNew<vtkIdList> points;
  std::string row;
  for (const PickedPart& part : parts)
  {
    for (vtkIdType cell : *part.Cells)
    {
      Row(row, part, cell, columns, points);
      out << row;
      ++rows;
    }
  }
  if (!out.flush())
  {
    error = "cannot write the picked cells '" + path + "' (the write failed)";
    return false;
  }
  return true;
}

//------------------------------------------------------------------------------
// The viewer's picks and their values.
std::string Viewer::PickedValuesText(int part) const
{
  const Quantity& q = this->Coloured;
  ValueRange values;
  for (size_t i = 0; i < this->Parts.size(); ++i)
  {
    if (part < 0 || static_cast<size_t>(part) == i)
    {
      const Part& p = *this->Parts[i];
      MergeValues(values, PickedValues(p.Mesh, p.Picked, q.Field, q.ArrayName, q.Which));
    }
  }
  return values.Count > 0 ? "; " + DescribeValues(q.Title, q.Field, values) : std::string();
}

bool Viewer::SavePickedCells(const std::string& path, std::string& error)
{
  std::vector<PickedPart> parts;
  for (const auto& part : this->Parts)
  {
    parts.push_back({ part->Name, part->Mesh, &part->Picked });
  }
  vtkIdType rows = 0;
  if (!WritePickedCells(path, parts, rows, error))
  {
    return false;
  }
  this->Log << "wrote " << rows << " picked cells to " << path << "\n";
  return true;
}

std::string Viewer::ValueAt(int x, int y)
{
  vtkNew<vtkCellPicker> picker;
  picker->PickFromListOn();
  for (const auto& part : this->Parts)
  {
    picker->AddPickList(part->SurfaceActor);
  }
  const Quantity& q = this->Coloured;
  if (q.Field < 0 || !picker->Pick(x, y, 0.0, this->RendererObject))
  {
    return {};
  }
  for (const auto& part : this->Parts)
  {
    if (picker->GetActor() != part->SurfaceActor.GetPointer())
    {
      continue;
    }
    const vtkIdType face = picker->GetCellId();
    vtkDataArray* original = part->Surface->GetCellData()->GetArray("vtkOriginalCellIds");
    const vtkIdType cell =
      original ? static_cast<vtkIdType>(original->GetComponent(face, 0)) : face;
    vtkDataArray* array = q.Field == 0
      ? part->Surface->GetPointData()->GetArray(q.ArrayName.c_str())
      : part->Mesh->GetCellData()->GetArray(q.ArrayName.c_str());
    if (!array)
    {
      return {};
    }
    double value = 0.0;
    if (q.Field == 1)
    {
      value = QuantityAt(array, cell, q.Which);
    }
    else
    {
      // The point values interpolated at the surface point picked.
      vtkCell* polygon = part->Surface->GetCell(face);
      std::vector<double> weights(static_cast<size_t>(polygon->GetNumberOfPoints()));
      double closest[3], pcoords[3], distance = 0.0;
      int sub = 0;
      polygon->EvaluatePosition(
        picker->GetPickPosition(), closest, sub, pcoords, distance, weights.data());
      for (vtkIdType k = 0; k < polygon->GetNumberOfPoints(); ++k)
      {
        value += weights[k] * QuantityAt(array, polygon->GetPointId(k), q.Which);
      }
    }
    std::ostringstream text;
    text << q.Title << " " << value << " at "
         << (this->Parts.size() > 1 ? part->Name + " " : std::string()) << "mesh cell " << cell;
    return text.str();
  }
  return {};
}

} // namespace orvi
