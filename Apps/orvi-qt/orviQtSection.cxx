#include "orviQtSection.h"

#include "orviViewer.h"

#include "vtkCallbackCommand.h"
#include "vtkCommand.h"
#include "vtkImplicitPlaneRepresentation.h"
#include "vtkImplicitPlaneWidget2.h"
#include "vtkRenderer.h"

#include <QAction>
#include <QMenu>

namespace orvi
{

QtSection::QtSection(Viewer& viewer, QMenu* menu)
  : ViewerObject(viewer)
{
  this->Shown = menu->addAction(QStringLiteral("&Section plane"));
  this->Shown->setObjectName(QStringLiteral("section"));
  this->Shown->setCheckable(true);
  this->WholeCells = menu->addAction(QStringLiteral("Keep &whole cells"));
  this->WholeCells->setObjectName(QStringLiteral("section-cells"));
  this->WholeCells->setCheckable(true);
  QObject::connect(this->Shown, &QAction::toggled, menu, [this](bool) { this->Apply(); });
  QObject::connect(this->WholeCells, &QAction::toggled, menu, [this](bool) { this->Apply(); });

  vtkNew<vtkImplicitPlaneRepresentation> plane;
  plane->SetPlaceFactor(1.1);
  plane->OutlineTranslationOff(); // the box stays the model's
  plane->ScaleEnabledOff();
  plane->DrawPlaneOff(); // the cut shows where it is
  this->Widget->SetRepresentation(plane);
  this->Widget->SetInteractor(viewer.GetInteractor());
  this->Widget->SetCurrentRenderer(viewer.GetRenderer());
  // Before the viewer's button observers: a press on the widget moves the
  // plane, not the camera.
  this->Widget->SetPriority(2.0f);
  this->Interaction->SetClientData(this);
  this->Interaction->SetCallback(&QtSection::InteractionCallback);
  this->Widget->AddObserver(vtkCommand::EndInteractionEvent, this->Interaction);
}

QtSection::~QtSection()
{
  this->Widget->Off();
  this->Widget->RemoveObserver(this->Interaction);
}

void QtSection::Refresh()
{
  const SectionMode mode = this->ViewerObject.GetOptions().Section;
  const QSignalBlocker blockShown(this->Shown);
  const QSignalBlocker blockCells(this->WholeCells);
  this->Shown->setChecked(mode != SectionMode::Off);
  this->WholeCells->setChecked(mode == SectionMode::Cells);
  auto* plane = vtkImplicitPlaneRepresentation::SafeDownCast(this->Widget->GetRepresentation());
  double bounds[6], origin[3], normal[3];
  this->ViewerObject.GetRenderer()->ComputeVisiblePropBounds(bounds);
  this->ViewerObject.GetSectionPlane(origin, normal);
  plane->PlaceWidget(bounds);
  plane->SetOrigin(origin);
  plane->SetNormal(normal);
  this->Widget->SetEnabled(mode != SectionMode::Off);
}

void QtSection::Apply()
{
  const SectionMode mode = !this->Shown->isChecked() ? SectionMode::Off
    : this->WholeCells->isChecked()                  ? SectionMode::Cells
                                                     : SectionMode::Cut;
  std::string ignored; // the plane kept: a valid one
  this->ViewerObject.SetSection(mode, nullptr, nullptr, ignored);
  this->Refresh();
  this->ViewerObject.Render();
}

void QtSection::InteractionCallback(vtkObject*, unsigned long, void* clientData, void*)
{
  auto* self = static_cast<QtSection*>(clientData);
  auto* plane = vtkImplicitPlaneRepresentation::SafeDownCast(self->Widget->GetRepresentation());
  std::string error;
  if (!self->ViewerObject.SetSection(
        self->ViewerObject.GetOptions().Section, plane->GetOrigin(), plane->GetNormal(), error))
  {
    self->Refresh(); // back on the plane in use
  }
}

} // namespace orvi
