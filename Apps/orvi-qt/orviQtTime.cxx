// orvi-qt's time toolbar and parts dock: the slider and the play button step
// the viewer through its time series, the status bar and the title say the
// step, and the dock's check boxes show and hide the parts.
#include "orviQtWindow.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

namespace orvi
{

//------------------------------------------------------------------------------
void QtWindow::BuildTimeBar()
{
  // A row of its own: the slider keeps its width beside the other bars.
  this->addToolBarBreak();
  this->TimeBar = this->addToolBar(QStringLiteral("Time"));
  this->TimeBar->setObjectName(QStringLiteral("time"));
  this->PlayAction = this->TimeBar->addAction(
    this->style()->standardIcon(QStyle::SP_MediaPlay), QStringLiteral("Play"));
  this->PlayAction->setObjectName(QStringLiteral("play"));
  this->PlayAction->setCheckable(true);
  this->TimeSlider = new QSlider(Qt::Horizontal, this->TimeBar);
  this->TimeSlider->setObjectName(QStringLiteral("timeSlider"));
  this->TimeSlider->setMinimumWidth(240);
  // The view keeps the keys: the arrows step through time there.
  this->TimeSlider->setFocusPolicy(Qt::NoFocus);
  this->TimeBar->addWidget(this->TimeSlider);
  this->PlayTimer = new QTimer(this);
  this->PlayTimer->setInterval(200);

  connect(this->TimeSlider,
    &QSlider::valueChanged,
    this,
    [this](int value)
    {
      Viewer& viewer = *this->ViewerObject;
      std::string error;
      if (static_cast<std::size_t>(value) != viewer.GetStep() &&
        !viewer.ShowStep(static_cast<std::size_t>(value), error))
      {
        this->PlayAction->setChecked(false);
        this->ReportError(error);
        this->FollowStep();
      }
    });
  connect(this->PlayAction,
    &QAction::toggled,
    this,
    [this](bool playing)
    {
      this->PlayAction->setText(playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
      this->PlayAction->setIcon(
        this->style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
      playing ? this->PlayTimer->start() : this->PlayTimer->stop();
    });
  connect(this->PlayTimer, &QTimer::timeout, this, [this]() { this->PlayStep(); });
  this->ViewerObject->SetStepObserver([this]() { this->FollowStep(); });
}

void QtWindow::PlayStep()
{
  Viewer& viewer = *this->ViewerObject;
  if (viewer.GetStep() + 1 >= viewer.GetNumberOfSteps())
  {
    this->PlayAction->setChecked(false); // at the last step
    return;
  }
  this->TimeSlider->setValue(static_cast<int>(viewer.GetStep() + 1));
}

//------------------------------------------------------------------------------
void QtWindow::BuildPartsDock()
{
  this->PartsDock = new QDockWidget(QStringLiteral("Parts"), this);
  this->PartsDock->setObjectName(QStringLiteral("parts"));
  this->PartsList = new QListWidget(this->PartsDock);
  this->PartsList->setObjectName(QStringLiteral("partsList"));
  this->PartsDock->setWidget(this->PartsList);
  this->addDockWidget(Qt::LeftDockWidgetArea, this->PartsDock);
  connect(this->PartsList,
    &QListWidget::itemChanged,
    this,
    [this](QListWidgetItem* item)
    {
      const int row = this->PartsList->row(item);
      const bool visible = item->checkState() == Qt::Checked;
      Viewer& viewer = *this->ViewerObject;
      if (row >= 0 && static_cast<std::size_t>(row) < viewer.GetNumberOfParts() &&
        viewer.IsPartVisible(static_cast<std::size_t>(row)) != visible)
      {
        viewer.SetPartVisible(static_cast<std::size_t>(row), visible);
        viewer.Render();
      }
    });
}

//------------------------------------------------------------------------------
void QtWindow::FollowScene()
{
  Viewer& viewer = *this->ViewerObject;
  const QSignalBlocker blockParts(this->PartsList);
  this->PartsList->clear();
  for (std::size_t i = 0; i < viewer.GetNumberOfParts(); ++i)
  {
    auto* item =
      new QListWidgetItem(QString::fromStdString(viewer.GetPartName(i)), this->PartsList);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(viewer.IsPartVisible(i) ? Qt::Checked : Qt::Unchecked);
  }
  // A single part needs no list.
  this->PartsDock->setVisible(viewer.GetNumberOfParts() > 1);
  this->PlayAction->setChecked(false);
  this->FollowStep();
}

void QtWindow::FollowStep()
{
  Viewer& viewer = *this->ViewerObject;
  const bool steps = viewer.GetNumberOfSteps() > 1;
  {
    const QSignalBlocker blockSlider(this->TimeSlider);
    this->TimeSlider->setRange(0, static_cast<int>(viewer.GetNumberOfSteps()) - 1);
    this->TimeSlider->setValue(static_cast<int>(viewer.GetStep()));
  }
  this->TimeBar->setVisible(steps);
  this->StepLabel->setText(QString::fromStdString(viewer.GetStepText()));
  // A part shown anew (another shape) comes back with its box.
  for (int row = 0; row < this->PartsList->count(); ++row)
  {
    const QSignalBlocker blockParts(this->PartsList);
    if (static_cast<std::size_t>(row) < viewer.GetNumberOfParts())
    {
      this->PartsList->item(row)->setCheckState(
        viewer.IsPartVisible(static_cast<std::size_t>(row)) ? Qt::Checked : Qt::Unchecked);
    }
  }
}

bool QtWindow::ShowOnlyParts(const std::vector<std::string>& names, std::string& error)
{
  const bool shown = this->ViewerObject->ShowOnlyParts(names, error);
  this->FollowStep();
  this->ViewerObject->Render();
  return shown;
}

QString QtWindow::GetStepText() const
{
  return this->StepLabel->text();
}

} // namespace orvi
