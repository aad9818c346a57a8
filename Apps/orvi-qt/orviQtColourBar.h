// orvi-qt's colour toolbar: what the scene is coloured by, as two combo
// boxes, the array (every point and cell array of the meshes shown) and its
// component (magnitude, x, y, z, ..., von Mises for a symmetric tensor).
// Choosing either recolours the surfaces through Viewer::SetArray(); a
// choice the viewer refuses is reported through the report callback and the
// boxes go back to what is coloured. The window calls Refresh() after it
// shows meshes and after a key changed the colouring.
#ifndef orviQtColourBar_h
#define orviQtColourBar_h

#include "orviMeshes.h"

#include <QToolBar>

#include <functional>
#include <string>
#include <vector>

class QComboBox;

namespace orvi
{

class Viewer;

class QtColourBar : public QToolBar
{
public:
  QtColourBar(Viewer& viewer, std::function<void(const std::string&)> report, QWidget* parent);

  /// Lists the arrays of the meshes and selects what the viewer colours by.
  void SetMeshes(const std::vector<NamedMesh>& meshes);
  /// The boxes set to what the viewer colours by now.
  void Refresh();

  QComboBox* GetArrayBox() const { return this->Arrays; }
  QComboBox* GetComponentBox() const { return this->Components; }

private:
  void FillComponents(int components);
  void Apply(bool component);

  Viewer& ViewerObject;
  std::function<void(const std::string&)> Report;
  QComboBox* Arrays = nullptr;     // data: "point:NAME" or "cell:NAME"; its components
  QComboBox* Components = nullptr; // data: the component's word
  bool Updating = false;           // the boxes are being set, not chosen
};

} // namespace orvi

#endif
