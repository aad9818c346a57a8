#include "orviQtWarpBar.h"

#include "orviViewer.h"

#include "vtkDataArray.h"
#include "vtkDataSet.h"
#include "vtkPointData.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>

#include <set>
#include <utility>

namespace orvi
{

//------------------------------------------------------------------------------
QtWarpBar::QtWarpBar(Viewer& viewer,
  std::function<void(const std::string&)> report,
  QWidget* parent)
  : QToolBar(QStringLiteral("Deformation"), parent)
  , ViewerObject(viewer)
  , Report(std::move(report))
{
  this->setObjectName(QStringLiteral("deformation"));
  this->addWidget(new QLabel(QStringLiteral(" Deform by "), this));
  this->Arrays = new QComboBox(this);
  this->Arrays->setObjectName(QStringLiteral("warp"));
  this->Arrays->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  this->addWidget(this->Arrays);
  this->addWidget(new QLabel(QStringLiteral(" x "), this));
  this->Scale = new QDoubleSpinBox(this);
  this->Scale->setObjectName(QStringLiteral("warp-scale"));
  // Scales span orders of magnitude (a displacement of microns on a model of
  // metres): the steps follow the value's own decimals.
  this->Scale->setRange(-1e12, 1e12);
  this->Scale->setDecimals(6);
  this->Scale->setStepType(QAbstractSpinBox::AdaptiveDecimalStepType);
  this->Scale->setKeyboardTracking(false);
  this->addWidget(this->Scale);
  connect(this->Arrays,
    QOverload<int>::of(&QComboBox::activated),
    this,
    [this](int) { this->Apply(false); });
  connect(this->Scale,
    QOverload<double>::of(&QDoubleSpinBox::valueChanged),
    this,
    [this](double) { this->Apply(true); });
}

//------------------------------------------------------------------------------
void QtWarpBar::SetMeshes(const std::vector<NamedMesh>& meshes)
{
  this->Updating = true;
  this->Arrays->clear();
  this->Arrays->addItem(QStringLiteral("none"), QString());
  std::set<std::string> listed;
  for (const NamedMesh& mesh : meshes)
  {
    vtkPointData* data = mesh.Mesh->GetPointData();
    for (int i = 0; i < data->GetNumberOfArrays(); ++i)
    {
      vtkDataArray* array = data->GetArray(i);
      if (array && array->GetName() && array->GetNumberOfComponents() == 3 &&
        listed.insert(array->GetName()).second)
      {
        const QString name = QString::fromUtf8(array->GetName());
        this->Arrays->addItem(name, name);
      }
    }
  }
  this->Updating = false;
  // Shown only where there is a vector to deform by.
  this->setVisible(this->Arrays->count() > 1);
  this->Refresh();
}

//------------------------------------------------------------------------------
void QtWarpBar::Refresh()
{
  this->Updating = true;
  const std::string& array = this->ViewerObject.GetWarpArray();
  this->Arrays->setCurrentIndex(std::max(0, this->Arrays->findData(QString::fromStdString(array))));
  this->Scale->setEnabled(!array.empty());
  this->Scale->setValue(this->ViewerObject.GetWarpScale());
  this->Updating = false;
}

//------------------------------------------------------------------------------
void QtWarpBar::Apply(bool scaleGiven)
{
  if (this->Updating)
  {
    return;
  }
  const std::string array = this->Arrays->currentData().toString().toStdString();
  std::string error;
  if (!this->ViewerObject.SetWarp(array, scaleGiven, this->Scale->value(), error))
  {
    this->Report(error);
  }
  this->Refresh();
}

} // namespace orvi
