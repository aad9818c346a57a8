#include "orviQtColourBar.h"

#include "orviComponents.h"
#include "orviViewer.h"

#include "vtkCellData.h"
#include "vtkDataArray.h"
#include "vtkDataSet.h"
#include "vtkPointData.h"

#include <QComboBox>
#include <QLabel>

#include <set>
#include <utility>

namespace orvi
{

namespace
{
constexpr int ComponentsRole = Qt::UserRole + 1;
constexpr int VoigtComponents = 6;
} // namespace

//------------------------------------------------------------------------------
QtColourBar::QtColourBar(Viewer& viewer,
  std::function<void(const std::string&)> report,
  QWidget* parent)
  : QToolBar(QStringLiteral("Colour"), parent)
  , ViewerObject(viewer)
  , Report(std::move(report))
{
  this->setObjectName(QStringLiteral("colour"));
  this->addWidget(new QLabel(QStringLiteral(" Colour by "), this));
  this->Arrays = new QComboBox(this);
  this->Arrays->setObjectName(QStringLiteral("array"));
  this->Arrays->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  this->addWidget(this->Arrays);
  this->Components = new QComboBox(this);
  this->Components->setObjectName(QStringLiteral("component"));
  this->addWidget(this->Components);
  connect(this->Arrays,
    QOverload<int>::of(&QComboBox::activated),
    this,
    [this](int) { this->Apply(false); });
  connect(this->Components,
    QOverload<int>::of(&QComboBox::activated),
    this,
    [this](int) { this->Apply(true); });
}

//------------------------------------------------------------------------------
void QtColourBar::SetMeshes(const std::vector<NamedMesh>& meshes)
{
  this->Updating = true;
  this->Arrays->clear();
  std::set<std::string> listed;
  for (const NamedMesh& mesh : meshes)
  {
    for (int field = 0; field < 2; ++field)
    {
      vtkFieldData* data = field == 0 ? static_cast<vtkFieldData*>(mesh.Mesh->GetPointData())
                                      : static_cast<vtkFieldData*>(mesh.Mesh->GetCellData());
      for (int i = 0; i < data->GetNumberOfArrays(); ++i)
      {
        vtkDataArray* array = data->GetArray(i);
        const std::string choice = array && array->GetName()
          ? (field == 0 ? "point:" : "cell:") + std::string(array->GetName())
          : "";
        if (!choice.empty() && listed.insert(choice).second)
        {
          this->Arrays->addItem(QString::fromStdString(choice), QString::fromStdString(choice));
          this->Arrays->setItemData(
            this->Arrays->count() - 1, array->GetNumberOfComponents(), ComponentsRole);
        }
      }
    }
  }
  this->Updating = false;
  this->Refresh();
}

//------------------------------------------------------------------------------
void QtColourBar::FillComponents(int components)
{
  this->Components->clear();
  if (components > 1)
  {
    this->Components->addItem(QStringLiteral("magnitude"), QStringLiteral("magnitude"));
  }
  for (int i = 0; i < components; ++i)
  {
    const Component component{ Component::Kind::Index, i };
    const std::string title = ComponentTitle("", components, component);
    const QString word = QString::fromStdString(ComponentWord(component));
    this->Components->addItem(
      components > 1 ? QString::fromStdString(title.substr(2, title.size() - 3)) : word, word);
  }
  if (components == VoigtComponents)
  {
    this->Components->addItem(QStringLiteral("von Mises"), QStringLiteral("vonmises"));
  }
  this->Components->setEnabled(components > 1);
}

//------------------------------------------------------------------------------
void QtColourBar::Refresh()
{
  this->Updating = true;
  const Viewer::Quantity& coloured = this->ViewerObject.GetColouredQuantity();
  const std::string choice =
    coloured.Field < 0 ? "" : (coloured.Field == 0 ? "point:" : "cell:") + coloured.ArrayName;
  const int row = this->Arrays->findData(QString::fromStdString(choice));
  this->Arrays->setCurrentIndex(row);
  this->FillComponents(row >= 0 ? this->Arrays->itemData(row, ComponentsRole).toInt() : 0);
  this->Components->setCurrentIndex(
    this->Components->findData(QString::fromStdString(ComponentWord(coloured.Which))));
  this->Updating = false;
}

//------------------------------------------------------------------------------
void QtColourBar::Apply(bool component)
{
  if (this->Updating)
  {
    return;
  }
  const int row = this->Arrays->currentIndex();
  if (row < 0)
  {
    return;
  }
  std::string choice = this->Arrays->itemData(row).toString().toStdString();
  const int components = this->Arrays->itemData(row, ComponentsRole).toInt();
  // A new array starts at its default (the magnitude of several
  // components); a component chosen applies to the array shown.
  const QString word = this->Components->currentData().toString();
  if (component && components > 1 && !word.isEmpty())
  {
    choice += ":" + word.toStdString();
  }
  std::string error;
  if (!this->ViewerObject.SetArray(choice, error))
  {
    this->Report(error);
  }
  this->Refresh();
}

} // namespace orvi
