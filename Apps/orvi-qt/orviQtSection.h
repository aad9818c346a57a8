// orvi-qt's section plane: a Section menu whose "Section plane" action shows
// VTK's vtkImplicitPlaneWidget2 over the model and cuts it there
// (Viewer::SetSection()), and whose "Keep whole cells" action draws the
// cells the plane crosses whole instead of their cut. Dragging the widget's
// plane (its normal's arrow turns it, the plane itself moves it along the
// normal) places the section as each interaction ends; the keys of the view
// move the widget with the plane (Refresh()).
#ifndef orviQtSection_h
#define orviQtSection_h

#include "vtkNew.h"

class QAction;
class QMenu;
class vtkCallbackCommand;
class vtkImplicitPlaneWidget2;
class vtkObject;

namespace orvi
{

class Viewer;

class QtSection
{
public:
  /// Adds the menu's actions; the widget runs on the viewer's interactor.
  QtSection(Viewer& viewer, QMenu* menu);
  ~QtSection();
  QtSection(const QtSection&) = delete;
  QtSection& operator=(const QtSection&) = delete;

  /// The widget placed over the meshes shown and on the viewer's plane.
  void Refresh();
  QAction* GetSectionAction() const { return this->Shown; }
  QAction* GetWholeCellsAction() const { return this->WholeCells; }
  vtkImplicitPlaneWidget2* GetWidget() const { return this->Widget; }

private:
  void Apply();
  static void InteractionCallback(vtkObject*, unsigned long, void* clientData, void*);

  Viewer& ViewerObject;
  QAction* Shown = nullptr;      // owned by the menu
  QAction* WholeCells = nullptr; // owned by the menu
  vtkNew<vtkImplicitPlaneWidget2> Widget;
  vtkNew<vtkCallbackCommand> Interaction;
};

} // namespace orvi

#endif
