#include "orviQtWindow.h"

#include "orviButtonBindings.h"
#include "orviMeshes.h"
#include "orviQtColourBar.h"
#include "orviQtSection.h"
#include "orviQtWarpBar.h"

#include "QVTKOpenGLNativeWidget.h"
#include "vtkCallbackCommand.h"
#include "vtkCommand.h"
#include "vtkDataSet.h"
#include "vtkGenericOpenGLRenderWindow.h"
#include "vtkRenderWindowInteractor.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTimer>

#include <functional>
#include <new>
#include <utility>

namespace orvi
{

namespace
{
// A menu of exclusive choices, the current one checked; choosing one calls
// apply with its value.
template <typename Value>
void AddChoices(QMenu* menu,
  const std::vector<std::pair<const char*, Value>>& choices,
  Value current,
  const std::function<void(Value)>& apply)
{
  auto* group = new QActionGroup(menu);
  for (const auto& [label, value] : choices)
  {
    QAction* action = menu->addAction(QString::fromUtf8(label));
    action->setCheckable(true);
    action->setChecked(value == current);
    group->addAction(action);
    const Value chosen = value;
    QObject::connect(action, &QAction::triggered, menu, [apply, chosen]() { apply(chosen); });
  }
}

// The convention's buttons, for the status bar.
QString ConventionText(Navigation nav)
{
  return QString::fromStdString(DescribeBindings(nav));
}

// "Meshes (*.vtu *.vtk ...)" from the loader's list of extensions.
QString MeshFilter()
{
  QString patterns = QString::fromUtf8(MeshExtensions());
  patterns.replace(QLatin1Char('.'), QLatin1String("*."));
  return QStringLiteral("Meshes (%1);;All files (*)").arg(patterns);
}
} // namespace

//------------------------------------------------------------------------------
QtWindow::QtWindow(const ViewerOptions& options, std::ostream& log, QWidget* parent)
  : QMainWindow(parent)
  , Log(log)
{
  this->View = new QVTKOpenGLNativeWidget(this);
  this->setCentralWidget(this->View);
  // The widget made its render window and, on it, a QVTKInteractor.
  this->ViewerObject =
    std::make_unique<Viewer>(options, log, this->View->renderWindow(), this->View->interactor());

  this->PickCommand->SetClientData(this);
  this->PickCommand->SetCallback(&QtWindow::EndPickCallback);
  // After the viewer's own observer, which does the pick.
  this->View->interactor()->AddObserver(vtkCommand::EndPickEvent, this->PickCommand, -1.0f);
  // The viewer's quit keys call the interactor's ExitCallback(), which
  // QVTKInteractor leaves to its host.
  this->ExitCommand->SetClientData(this);
  this->ExitCommand->SetCallback(&QtWindow::ExitCallback);
  this->View->interactor()->AddObserver(vtkCommand::ExitEvent, this->ExitCommand);

  this->ConventionLabel = new QLabel(ConventionText(options.Nav), this);
  this->ConventionLabel->setObjectName(QStringLiteral("convention"));
  this->PickLabel = new QLabel(this);
  this->PickLabel->setObjectName(QStringLiteral("pick"));
  // A long pick result is cut at the right, never the buttons beside it.
  this->PickLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  this->statusBar()->addWidget(this->PickLabel, 1);
  this->ValueLabel = new QLabel(this);
  this->ValueLabel->setObjectName(QStringLiteral("value"));
  this->statusBar()->addWidget(this->ValueLabel);
  this->StepLabel = new QLabel(this);
  this->StepLabel->setObjectName(QStringLiteral("step"));
  this->statusBar()->addPermanentWidget(this->StepLabel);
  this->statusBar()->addPermanentWidget(this->ConventionLabel);

  // Before the viewer's key observer, which may change the colouring or the
  // deformed shape and keeps the keys it handles from later observers: the
  // bars show the change once the key is handled.
  this->KeyCommand->SetClientData(this);
  this->KeyCommand->SetCallback(&QtWindow::KeyCallback);
  this->View->interactor()->AddObserver(vtkCommand::CharEvent, this->KeyCommand, 2.0f);
  this->ColourBar = new QtColourBar(
    *this->ViewerObject,
    [this](const std::string& error)
    { this->statusBar()->showMessage(QString::fromStdString(error), 8000); },
    this);
  this->addToolBar(this->ColourBar);
  this->WarpBar = new QtWarpBar(
    *this->ViewerObject,
    [this](const std::string& error)
    { this->statusBar()->showMessage(QString::fromStdString(error), 8000); },
    this);
  this->addToolBar(this->WarpBar);

  this->View->installEventFilter(this);
  this->BuildMenus();
  this->BuildTimeBar();
  this->BuildPartsDock();
  this->setWindowTitle(QStringLiteral("orvi-qt"));
  this->resize(options.Width, options.Height);
}

//------------------------------------------------------------------------------
QtWindow::~QtWindow()
{
  this->View->interactor()->RemoveObserver(this->PickCommand);
  this->View->interactor()->RemoveObserver(this->ExitCommand);
  this->View->interactor()->RemoveObserver(this->KeyCommand);
  this->Section.reset(); // its widget off the interactor first
  // The viewer leaves the widget's window and interactor before they go.
  this->ViewerObject.reset();
}

//------------------------------------------------------------------------------
void QtWindow::BuildMenus()
{
  QMenu* file = this->menuBar()->addMenu(QStringLiteral("&File"));
  QAction* open = file->addAction(QStringLiteral("&Open..."));
  open->setShortcut(QKeySequence::Open);
  connect(open,
    &QAction::triggered,
    this,
    [this]()
    {
      const QStringList paths =
        QFileDialog::getOpenFileNames(this, QStringLiteral("Open meshes"), QString(), MeshFilter());
      if (!paths.isEmpty())
      {
        this->OpenFiles(paths);
      }
    });
  QAction* save = file->addAction(QStringLiteral("&Save selection..."));
  connect(save,
    &QAction::triggered,
    this,
    [this]()
    {
      const QString path = QFileDialog::getSaveFileName(this,
        QStringLiteral("Save the picked cells"),
        QStringLiteral("selection.csv"),
        QStringLiteral("CSV tables (*.csv);;All files (*)"));
      if (!path.isEmpty())
      {
        this->SaveSelection(path);
      }
    });
  QAction* quit = file->addAction(QStringLiteral("&Quit"));
  quit->setShortcut(QKeySequence::Quit);
  connect(quit, &QAction::triggered, this, &QWidget::close);

  QMenu* view = this->menuBar()->addMenu(QStringLiteral("&View"));
  QAction* reset = view->addAction(QStringLiteral("&Reset view"));
  connect(reset,
    &QAction::triggered,
    this,
    [this]()
    {
      this->ViewerObject->ResetView();
      this->ViewerObject->Render();
    });

  Viewer& viewer = *this->ViewerObject;
  const ViewerOptions& options = viewer.GetOptions();
  AddChoices<Navigation>(this->menuBar()->addMenu(QStringLiteral("&Navigation")),
    { { "Mervo navigator", Navigation::Mervo },
      { "CATIA navigator", Navigation::Catia },
      { "Mervo style", Navigation::StyleMervo },
      { "CATIA style", Navigation::StyleCatia } },
    options.Nav,
    [this, &viewer](Navigation nav)
    {
      viewer.SetNavigation(nav);
      this->ConventionLabel->setText(ConventionText(nav));
    });
  AddChoices<PickMode>(this->menuBar()->addMenu(QStringLiteral("&Pick")),
    { { "Visible cells", PickMode::Visible }, { "Through the model", PickMode::Through } },
    options.Pick,
    [&viewer](PickMode mode) { viewer.SetPickMode(mode); });
  AddChoices<EdgeMode>(this->menuBar()->addMenu(QStringLiteral("&Edges")),
    { { "On", EdgeMode::On },
      { "Off", EdgeMode::Off },
      { "Auto (when cells are large enough)", EdgeMode::Auto } },
    options.Edges,
    [&viewer](EdgeMode mode)
    {
      viewer.SetEdgeMode(mode);
      viewer.Render();
    });
  this->Section =
    std::make_unique<QtSection>(viewer, this->menuBar()->addMenu(QStringLiteral("&Section")));
}

//------------------------------------------------------------------------------
bool QtWindow::SaveSelection(const QString& path)
{
  std::string error;
  if (!this->ViewerObject->SavePickedCells(path.toStdString(), error))
  {
    this->ReportError(error);
    return false;
  }
  this->statusBar()->showMessage(QStringLiteral("saved the picked cells to %1").arg(path), 8000);
  return true;
}

//------------------------------------------------------------------------------
bool QtWindow::OpenFiles(const QStringList& paths)
{
  std::vector<std::string> files;
  for (const QString& path : paths)
  {
    files.push_back(path.toStdString());
  }
  std::vector<NamedMesh> meshes;
  std::string error = "no mesh file to open";
  auto series = std::make_unique<TimeSeries>();
  if (files.empty() || !LoadMeshes(files, this->Log, meshes, error, {}, {}, series.get()) ||
    !this->ShowMeshes(meshes, error, std::move(series)))
  {
    this->ReportError(error);
    return false;
  }
  return true;
}

//------------------------------------------------------------------------------
bool QtWindow::ShowMeshes(const std::vector<NamedMesh>& meshes,
  std::string& error,
  std::unique_ptr<TimeSeries> series)
{
  bool shown = false;
  try
  {
    shown = this->ViewerObject->SetMeshes(meshes, error);
  }
  catch (const std::bad_alloc&)
  {
    error = "not enough memory to show the meshes";
  }
  if (!shown)
  {
    // The previous meshes were shown before: they are again.
    std::string ignored;
    this->ViewerObject->SetMeshes(this->Meshes, ignored);
    this->ViewerObject->Render();
    return false;
  }
  this->Meshes = meshes;
  this->Series = std::move(series);
  this->ViewerObject->SetTimeSeries(this->Series.get());
  this->FollowScene();
  this->ColourBar->SetMeshes(meshes);
  this->WarpBar->SetMeshes(meshes);
  this->Section->Refresh();
  QStringList names;
  for (const NamedMesh& mesh : meshes)
  {
    names << QFileInfo(QString::fromStdString(mesh.Name)).fileName();
  }
  this->setWindowTitle(QStringLiteral("orvi-qt: %1").arg(names.join(QStringLiteral(", "))));
  this->ViewerObject->Render();
  return true;
}

//------------------------------------------------------------------------------
void QtWindow::ReportError(const std::string& error)
{
  this->Log << "orvi-qt: " << error << "\n";
  QMessageBox::critical(this, QStringLiteral("orvi-qt"), QString::fromStdString(error));
}

//------------------------------------------------------------------------------
void QtWindow::EndPickCallback(vtkObject*, unsigned long, void* clientData, void*)
{
  auto* self = static_cast<QtWindow*>(clientData);
  self->PickLabel->setText(QString::fromStdString(self->ViewerObject->GetLastPickSummary()));
}

//------------------------------------------------------------------------------
void QtWindow::ExitCallback(vtkObject*, unsigned long, void* clientData, void*)
{
  static_cast<QtWindow*>(clientData)->close();
}

//------------------------------------------------------------------------------
void QtWindow::KeyCallback(vtkObject*, unsigned long, void* clientData, void*)
{
  auto* self = static_cast<QtWindow*>(clientData);
  QTimer::singleShot(0,
    self,
    [self]()
    {
      self->ColourBar->Refresh();
      self->WarpBar->Refresh();
      self->Section->Refresh();
    });
}

//------------------------------------------------------------------------------
bool QtWindow::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == this->View && event->type() == QEvent::Resize)
  {
    // The widget's resize reaches the render window before this filter
    // returns; the legend's text follows the new height from the next
    // render on.
    QTimer::singleShot(0, this, [this]() { this->ViewerObject->FitTextToWindow(); });
  }
  else if (watched == this->View && event->type() == QEvent::Paint && !this->Fitted &&
    this->View->isValid())
  {
    // The first paint: the widget has its size and its OpenGL context. The
    // scene was set up before (the camera fitted to the render window's
    // default size); fit it again and render the first picture at the
    // widget's size, from the event loop, before anyone could move it.
    this->Fitted = true;
    QTimer::singleShot(0,
      this,
      [this]()
      {
        this->ViewerObject->FitTextToWindow();
        this->ViewerObject->ResetView();
        this->ViewerObject->Render();
      });
  }
  else if (watched == this->View &&
    (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease))
  {
    this->ShowValueOnClick(static_cast<QMouseEvent*>(event));
  }
  return QMainWindow::eventFilter(watched, event);
}

//------------------------------------------------------------------------------
void QtWindow::ShowValueOnClick(QMouseEvent* event)
{
  if (event->button() != Qt::LeftButton)
  {
    return;
  }
  if (event->type() == QEvent::MouseButtonPress)
  {
    this->PressedAt = event->pos();
    return;
  }
  if ((event->pos() - this->PressedAt).manhattanLength() > QApplication::startDragDistance())
  {
    return; // a drag
  }
  // VTK's display coordinates: device pixels, origin lower left. After the
  // release has reached the viewer (a centre set, a pick done).
  const double ratio = this->View->devicePixelRatioF();
  const int x = static_cast<int>(event->pos().x() * ratio);
  const int y = static_cast<int>((this->View->height() - 1 - event->pos().y()) * ratio);
  QTimer::singleShot(0,
    this,
    [this, x, y]()
    { this->ValueLabel->setText(QString::fromStdString(this->ViewerObject->ValueAt(x, y))); });
}

//------------------------------------------------------------------------------
QString QtWindow::GetConventionText() const
{
  return this->ConventionLabel->text();
}

QString QtWindow::GetPickText() const
{
  return this->PickLabel->text();
}

QString QtWindow::GetValueText() const
{
  return this->ValueLabel->text();
}

} // namespace orvi
