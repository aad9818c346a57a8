// orvi-qt's main window: orvi-viewer's scene (orvi::Viewer) in VTK's
// QVTKOpenGLNativeWidget, as a Qt host application shows a 3D view.
//
// The widget's vtkGenericOpenGLRenderWindow and QVTKInteractor are handed to
// the viewer, which adds its renderer and installs its navigation on them.
// Qt's mouse and key events reach the interactor through the widget, and
// the viewer's observers map the buttons for the two navigators with the
// table of orviButtonBindings.h, as in orvi-viewer. The menus choose the
// convention, the pick mode and the edges; File > Open loads meshes with the
// viewer's loader and reports a file it cannot show in a message box. A
// rectangle pick highlights the cells (the viewer does) and shows its
// summary in the status bar. The viewer's quit keys (q, e) close the
// window. What depends on the view's size (the camera's fit, the legend's
// text) is decided again once the widget has its size, before the first
// picture the user sees is rendered, and the text at every resize.
//
// A time series has a toolbar: a slider over its steps and a play/pause
// button, the current step and time in the status bar (and in the view's
// corner). A dock lists the parts shown, each with a check box for its
// visibility (orviQtTime.cxx). The Section menu shows VTK's plane widget
// and cuts the model along it (orviQtSection.h).
//
// The application creates a QApplication after
// QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat()).
#ifndef orviQtWindow_h
#define orviQtWindow_h

#include "orviTimeSeries.h"
#include "orviViewer.h"
#include "orviViewerOptions.h"

#include "vtkNew.h"

#include <QMainWindow>
#include <QPoint>
#include <QStringList>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

class QAction;
class QDockWidget;
class QLabel;
class QMouseEvent;
class QListWidget;
class QSlider;
class QTimer;
class QToolBar;
class QVTKOpenGLNativeWidget;
class vtkCallbackCommand;
class vtkObject;

namespace orvi
{

class QtColourBar;
class QtSection;
class QtWarpBar;

class QtWindow : public QMainWindow
{
public:
  /// A window showing nothing yet; ShowMeshes() or OpenFiles() fill it. The
  /// options are orvi-viewer's (the scene's colouring, convention, pick mode
  /// and edges; Width and Height size the view); the viewer prints what it
  /// does to log.
  QtWindow(const ViewerOptions& options, std::ostream& log, QWidget* parent = nullptr);
  ~QtWindow() override;
  QtWindow(const QtWindow&) = delete;
  QtWindow& operator=(const QtWindow&) = delete;

  /// What File > Open does with the files chosen: loads each with the
  /// viewer's loader and shows them together in place of the scene. A file
  /// that cannot be loaded or shown (missing, of an unknown kind, damaged,
  /// without the array to colour by) is reported in a message box over the
  /// window, and the scene stays as it was. Returns whether the files are
  /// shown.
  bool OpenFiles(const QStringList& paths);

  /// Shows meshes already loaded in place of the scene, as OpenFiles() does
  /// but with the error returned instead of shown; `series`, when given, is
  /// the time series LoadMeshes() read them from, kept to step through.
  bool ShowMeshes(const std::vector<NamedMesh>& meshes,
    std::string& error,
    std::unique_ptr<TimeSeries> series = nullptr);

  /// Only the parts named shown (--parts), their boxes in the dock checked.
  bool ShowOnlyParts(const std::vector<std::string>& names, std::string& error);

  /// The toolbar's slider and play button, the dock's list of parts and the
  /// status bar's step text.
  QSlider* GetTimeSlider() const { return this->TimeSlider; }
  QAction* GetPlayAction() const { return this->PlayAction; }
  QListWidget* GetPartsList() const { return this->PartsList; }
  QString GetStepText() const;

  QVTKOpenGLNativeWidget* GetView() const { return this->View; }
  /// The status bar's text: the convention's buttons, the last pick's result.
  QString GetConventionText() const;
  QString GetPickText() const;
  /// The status bar's value under the pointer of the last click without a
  /// drag (the coloured quantity and the mesh cell; empty off the model).
  QString GetValueText() const;
  /// What File > Save selection... does with the path chosen: the last
  /// pick's cells written as CSV (Viewer::SavePickedCells()), a failure
  /// reported in a message box.
  bool SaveSelection(const QString& path);
  Viewer& GetViewer() const { return *this->ViewerObject; }
  /// The colour toolbar: the array and component coloured by.
  QtColourBar* GetColourBar() const { return this->ColourBar; }
  /// The deformation toolbar: the deformed shape's array and scale.
  QtWarpBar* GetWarpBar() const { return this->WarpBar; }
  /// The Section menu's plane widget and actions.
  QtSection& GetSection() const { return *this->Section; }

protected:
  // The view's resizes and first paint (see the .cxx).
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void BuildMenus();
  // orviQtTime.cxx: the time toolbar, the parts dock, and both following
  // the scene.
  void BuildTimeBar();
  void BuildPartsDock();
  void FollowScene();
  void FollowStep();
  void PlayStep();
  void ReportError(const std::string& error);
  static void EndPickCallback(vtkObject*, unsigned long, void* clientData, void*);
  static void ExitCallback(vtkObject*, unsigned long, void* clientData, void*);
  static void KeyCallback(vtkObject*, unsigned long, void* clientData, void*);
  void ShowValueOnClick(QMouseEvent* event);

  std::ostream& Log;
  QVTKOpenGLNativeWidget* View = nullptr; // owned by the window
  std::unique_ptr<Viewer> ViewerObject;
  std::vector<NamedMesh> Meshes;      // those shown
  std::unique_ptr<TimeSeries> Series; // theirs, when they have steps
  QToolBar* TimeBar = nullptr;
  QSlider* TimeSlider = nullptr;
  QAction* PlayAction = nullptr;
  QTimer* PlayTimer = nullptr;
  QDockWidget* PartsDock = nullptr;
  QListWidget* PartsList = nullptr;
  QLabel* StepLabel = nullptr;
  vtkNew<vtkCallbackCommand> PickCommand;
  vtkNew<vtkCallbackCommand> ExitCommand;
  vtkNew<vtkCallbackCommand> KeyCommand; // the colour bar follows the key c
  QtColourBar* ColourBar = nullptr;      // owned by the window
  QtWarpBar* WarpBar = nullptr;          // owned by the window
  std::unique_ptr<QtSection> Section;    // the plane widget, made with the menus
  // The status bar: the convention's buttons, always there, and the last
  // pick's result beside them (widgets, which a menu's status tips do not
  // wipe as they wipe a message).
  QLabel* ConventionLabel = nullptr;
  QLabel* PickLabel = nullptr;
  QLabel* ValueLabel = nullptr; // the value under a click
  QPoint PressedAt;             // of the left button
  bool Fitted = false;          // the view was fitted to the widget's first size
};

} // namespace orvi

#endif
