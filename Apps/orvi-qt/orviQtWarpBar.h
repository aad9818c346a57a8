// orvi-qt's deformation toolbar: the deformed shape as a combo box of the
// meshes' point arrays of 3 components ("none" first) and a spin box of the
// scale. Choosing an array draws it at the automatic scale (the largest
// displacement a tenth of the model's size), which the spin box then shows;
// a scale typed or stepped redraws at that scale, through
// Viewer::SetWarp(). A refusal is reported through the report callback. The
// window calls Refresh() after it shows meshes and after a key (+, -)
// changed the scale.
#ifndef orviQtWarpBar_h
#define orviQtWarpBar_h

#include "orviMeshes.h"

#include <QToolBar>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QDoubleSpinBox;

namespace orvi
{

class Viewer;

class QtWarpBar : public QToolBar
{
public:
  QtWarpBar(Viewer& viewer, std::function<void(const std::string&)> report, QWidget* parent);

  /// Lists the point arrays of 3 components of the meshes.
  void SetMeshes(const std::vector<NamedMesh>& meshes);
  /// The boxes set to the viewer's deformed shape.
  void Refresh();

  QComboBox* GetArrayBox() const { return this->Arrays; }
  QDoubleSpinBox* GetScaleBox() const { return this->Scale; }

private:
  void Apply(bool scaleGiven);

  Viewer& ViewerObject;
  std::function<void(const std::string&)> Report;
  QComboBox* Arrays = nullptr; // data: the array's name, "" for none
  QDoubleSpinBox* Scale = nullptr;
  bool Updating = false; // the boxes are being set, not chosen
};

} // namespace orvi

#endif
