// The quantity an array is coloured by: the magnitude of a vector or
// tensor (the default for an array of several components), one of its
// components, or the von Mises stress of a symmetric tensor (6 components
// in VTK's Voigt order: xx, yy, zz, xy, yz, xz). A host names it after the
// array, as in --array NAME:x|y|z|N|magnitude|vonmises, resolves it for the
// array it finds (ResolveComponent), then reads the quantity's values and
// range through the functions below, so that the colours, the legend and a
// pick's values all mean the same thing.
#ifndef orviComponents_h
#define orviComponents_h

#include "vtkSmartPointer.h"
#include "vtkType.h"

#include <string>

class vtkDataArray;
class vtkDoubleArray;
class vtkScalarsToColors;

namespace orvi
{

struct Component
{
  enum class Kind
  {
    Default,   // magnitude for several components, the value for one
    Magnitude, // the Euclidean norm of the tuple
    Index,     // one component
    VonMises   // a symmetric tensor's equivalent stress
  };
  Kind Which = Kind::Default;
  int Index = 0; // with Kind::Index

  bool operator==(const Component& other) const
  {
    return this->Which == other.Which && (this->Which != Kind::Index || this->Index == other.Index);
  }
};

/// Parses the word after "NAME:": x, y, z, a component number from 0,
/// magnitude or vonmises. Returns false with an error listing the words.
bool ParseComponent(const std::string& word, Component& component, std::string& error);

/// The word ParseComponent() reads back as `component` ("" for Default).
std::string ComponentWord(const Component& component);

/// Resolves `component` for an array `name` of `components` components:
/// Default becomes Magnitude (several components) or Index 0 (one). Returns
/// false with an error naming the array and what it offers when it has no
/// such component (von Mises needs 6).
bool ResolveComponent(const std::string& name,
  int components,
  Component& component,
  std::string& error);

/// The legend's title: "NAME" for one component, otherwise "NAME (x)",
/// "NAME (xy)" (tensors), "NAME (4)", "NAME (magnitude)", "NAME (von Mises)".
std::string ComponentTitle(const std::string& name, int components, const Component& component);

/// The quantity of a resolved component at one tuple of the array.
double QuantityAt(vtkDataArray* array, vtkIdType tuple, const Component& component);

/// The quantity's range over the array (VTK's cached ranges where it keeps
/// them: a component's, the magnitude's).
void QuantityRange(vtkDataArray* array, const Component& component, double range[2]);

/// A one-component array of the von Mises stress of each tuple of a
/// 6-component symmetric tensor.
vtkSmartPointer<vtkDoubleArray> VonMisesArray(vtkDataArray* tensor, const std::string& name);

/// Makes a lookup table map a resolved component of the arrays it is given
/// (von Mises is mapped from its own one-component array: its first
/// component).
void MapComponent(vtkScalarsToColors* table, const Component& component);

/// The component after `component` in the cycle a key steps through:
/// magnitude, each component, von Mises (6 components), magnitude again.
Component NextComponent(int components, const Component& component);

} // namespace orvi

#endif
