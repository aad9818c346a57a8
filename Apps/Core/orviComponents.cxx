#include "orviComponents.h"

#include "vtkArrayDispatch.h"
#include "vtkDataArray.h"
#include "vtkDataArrayRange.h"
#include "vtkDoubleArray.h"
#include "vtkScalarsToColors.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace orvi
{

namespace
{
constexpr const char* AxisWords[] = { "x", "y", "z" };
constexpr int TensorComponents = 6;

// The names of a tuple's components in a title: the axes for vectors,
// VTK's orders for symmetric (Voigt) and full tensors.
const char* ComponentName(int components, int index)
{
  static const char* const voigt[] = { "xx", "yy", "zz", "xy", "yz", "xz" };
  static const char* const full[] = { "xx", "xy", "xz", "yx", "yy", "yz", "zx", "zy", "zz" };
  if (components <= 3)
  {
    return AxisWords[index];
  }
  if (components == TensorComponents)
  {
    return voigt[index];
  }
  return components == 9 ? full[index] : nullptr;
}

double VonMises(const double s[6])
{
  const double a = s[0] - s[1], b = s[1] - s[2], c = s[2] - s[0];
  const double shear = s[3] * s[3] + s[4] * s[4] + s[5] * s[5];
  return std::sqrt(0.5 * (a * a + b * b + c * c) + 3.0 * shear);
}

// What an array of `components` components offers, for a refusal.
std::string Offered(int components)
{
  if (components == 1)
  {
    return "one component (0)";
  }
  std::string offered = std::to_string(components) + " components (";
  for (int i = 0; i < std::min(components, 3); ++i)
  {
    offered += std::string(AxisWords[i]) + ", ";
  }
  offered += "0 .. " + std::to_string(components - 1) + ", magnitude";
  return offered + (components == TensorComponents ? ", vonmises)" : ")");
}
} // namespace

//------------------------------------------------------------------------------
bool ParseComponent(const std::string& word, Component& component, std::string& error)
{
  for (int i = 0; i < 3; ++i)
  {
    if (word == AxisWords[i])
    {
      component = { Component::Kind::Index, i };
      return true;
    }
  }
  if (word == "magnitude" || word == "vonmises")
  {
    component = { word == "magnitude" ? Component::Kind::Magnitude : Component::Kind::VonMises, 0 };
    return true;
  }
  char* end = nullptr;
  const long index = std::strtol(word.c_str(), &end, 10);
  if (!word.empty() && std::isdigit(static_cast<unsigned char>(word[0])) && *end == '\0' &&
    index < 1000)
  {
    component = { Component::Kind::Index, static_cast<int>(index) };
    return true;
  }
  error = "unknown component '" + word + "' (x, y, z, a number from 0, magnitude or vonmises)";
  return false;
}

std::string ComponentWord(const Component& component)
{
  switch (component.Which)
  {
    case Component::Kind::Magnitude:
      return "magnitude";
    case Component::Kind::VonMises:
      return "vonmises";
    case Component::Kind::Index:
      return component.Index < 3 ? AxisWords[component.Index] : std::to_string(component.Index);
    case Component::Kind::Default:
      break;
  }
  return {};
}

//------------------------------------------------------------------------------
bool ResolveComponent(const std::string& name,
  int components,
  Component& component,
  std::string& error)
{
  const auto refuse = [&](const std::string& what)
  {
    error = "array '" + name + "' has " + Offered(components) + ": no " + what;
    return false;
  };
  switch (component.Which)
  {
    case Component::Kind::Default:
    {
      component = { components > 1 ? Component::Kind::Magnitude : Component::Kind::Index, 0 };
      return true;
    }
    case Component::Kind::Magnitude:
    {
      return components > 1 || refuse("magnitude");
    }
    case Component::Kind::VonMises:
    {
      return components == TensorComponents || refuse("von Mises stress (a symmetric tensor of 6)");
    }
    case Component::Kind::Index:
    {
      return component.Index < components ||
        refuse("component " + ComponentWord(component) +
          (component.Index < 3 ? " (" + std::to_string(component.Index) + ")" : ""));
    }
  }
  return false;
}

std::string ComponentTitle(const std::string& name, int components, const Component& component)
{
  if (components == 1)
  {
    return name;
  }
  switch (component.Which)
  {
    case Component::Kind::Index:
    {
      const char* named = ComponentName(components, component.Index);
      return name + " (" + (named ? named : std::to_string(component.Index)) + ")";
    }
    case Component::Kind::VonMises:
      return name + " (von Mises)";
    default:
      return name + " (magnitude)";
  }
}

//------------------------------------------------------------------------------
double QuantityAt(vtkDataArray* array, vtkIdType tuple, const Component& component)
{
  const int components = array->GetNumberOfComponents();
  switch (component.Which)
  {
    case Component::Kind::Index:
    {
      return array->GetComponent(tuple, component.Index);
    }
    case Component::Kind::VonMises:
    {
      double s[TensorComponents];
      array->GetTuple(tuple, s);
      return VonMises(s);
    }
    default:
    {
      double sum = 0.0;
      for (int c = 0; c < components; ++c)
      {
        const double v = array->GetComponent(tuple, c);
        sum += v * v;
      }
      return std::sqrt(sum);
    }
  }
}

void QuantityRange(vtkDataArray* array, const Component& component, double range[2])
{
  if (component.Which == Component::Kind::VonMises)
  {
    vtkSmartPointer<vtkDoubleArray> values = VonMisesArray(array, "");
    values->GetRange(range, 0);
    return;
  }
  const bool magnitude =
    array->GetNumberOfComponents() > 1 && component.Which != Component::Kind::Index;
  array->GetRange(range, magnitude ? -1 : component.Index);
}

vtkSmartPointer<vtkDoubleArray> VonMisesArray(vtkDataArray* tensor, const std::string& name)
{
  auto values = vtkSmartPointer<vtkDoubleArray>::New();
  values->SetName(name.c_str());
  values->SetNumberOfValues(tensor->GetNumberOfTuples());
  double* out = values->GetPointer(0);
  const auto typed = [out](auto* array)
  {
    double* next = out;
    for (const auto t : vtk::DataArrayTupleRange<TensorComponents>(array))
    {
      const double s[TensorComponents] = { static_cast<double>(t[0]),
        static_cast<double>(t[1]),
        static_cast<double>(t[2]),
        static_cast<double>(t[3]),
        static_cast<double>(t[4]),
        static_cast<double>(t[5]) };
      *next++ = VonMises(s);
    }
  };
  if (!vtkArrayDispatch::DispatchByValueType<vtkArrayDispatch::Reals>::Execute(tensor, typed))
  {
    for (vtkIdType i = 0; i < tensor->GetNumberOfTuples(); ++i)
    {
      out[i] = QuantityAt(tensor, i, { Component::Kind::VonMises, 0 });
    }
  }
  return values;
}

void MapComponent(vtkScalarsToColors* table, const Component& component)
{
  if (component.Which == Component::Kind::Index)
  {
    table->SetVectorModeToComponent();
    table->SetVectorComponent(component.Index);
  }
  else if (component.Which == Component::Kind::VonMises)
  {
    table->SetVectorModeToComponent();
    table->SetVectorComponent(0);
  }
  else
  {
    table->SetVectorModeToMagnitude();
  }
}

Component NextComponent(int components, const Component& component)
{
  if (components < 2)
  {
    return { Component::Kind::Index, 0 };
  }
  switch (component.Which)
  {
    case Component::Kind::Index:
    {
      if (component.Index + 1 < components)
      {
        return { Component::Kind::Index, component.Index + 1 };
      }
      return {
        components == TensorComponents ? Component::Kind::VonMises : Component::Kind::Magnitude, 0
      };
    }
    case Component::Kind::VonMises:
      return { Component::Kind::Magnitude, 0 };
    default:
      return { Component::Kind::Index, 0 };
  }
}

} // namespace orvi
