// The scene of orvi-viewer and the host side of navigation: what an
// application does around the library's classes.
//
// - Each mesh's surface is coloured by a point or cell array (the array is
//   chosen in the first mesh that has it; every mesh holding it is coloured
//   over the range of all of them), with vtkColorTableLegendActor as its
//   legend, and its edges are drawn over it
//   by a second actor tagged with vtkKivMainPass::RENDER_WIREFRAME(); the
//   renderer draws through vtkKivMainPass installed in VTK's pass chain.
// - For the two navigators (vtkMervoInteractor, vtkCatiaInteractor) the
//   viewer maps the mouse buttons onto their interaction states itself, as a
//   host application does in its own event handling (see HandleButton()).
//   The two standalone styles map buttons themselves.
// - A rectangle pick (whatever gesture the convention uses for it ends in
//   the interactor's StartPickEvent/EndPickEvent) selects mesh cells with
//   vtkVisibleSelectionPicker (those whose faces are seen) or
//   vtkFrustumSelectionPicker (every cell in the frustum, interior ones
//   included) and highlights their surface faces.
#ifndef orviViewer_h
#define orviViewer_h

#include "orviEdges.h"
#include "orviViewerOptions.h"

#include "vtkNew.h"
#include "vtkSmartPointer.h"
#include "vtkType.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

class vtkActor;
class vtkCallbackCommand;
class vtkCatiaInteractor;
class vtkColorTableLegendActor;
class vtkDataSet;
class vtkInteractorStyle;
class vtkMervoInteractor;
class vtkObject;
class vtkPolyData;
class vtkRenderWindow;
class vtkRenderWindowInteractor;
class vtkRenderer;
class vtkSimpleRenderWindowInteractor;

namespace orvi
{

struct ButtonBinding;

/// A mesh and the name it is reported under (its file).
struct NamedMesh
{
  std::string Name;
  vtkSmartPointer<vtkDataSet> Mesh;
};

class Viewer
{
public:
  Viewer(const ViewerOptions& options, std::ostream& log);
  ~Viewer();
  Viewer(const Viewer&) = delete;
  Viewer& operator=(const Viewer&) = delete;

  /// Builds the scene for one or more meshes, shown together. Returns false
  /// with an error naming the problem (for instance an array that does not
  /// exist).
  bool SetMeshes(const std::vector<NamedMesh>& meshes, std::string& error);

  /// Back to the view the scene started with: the whole scene seen from the
  /// front and above, the --up axis pointing up.
  void ResetView();

  /// Interactive: a window with VTK's own event loop. Headless or scripted:
  /// a vtkSimpleRenderWindowInteractor, driven by events set by hand (and
  /// accepting 3D-mouse reports).
  void Render();
  bool Screenshot(const std::string& path, bool rerender, std::string& error);
  void Start();

  /// Selects the mesh cells under a display rectangle with the chosen area
  /// picker, highlights their surface faces and prints their count and id
  /// range (mesh cell ids), per mesh when there are several. Returns the
  /// number of cells selected.
  int PickRectangle(int x0, int y0, int x1, int y1);

  /// One 3D-mouse report through vtkSimpleRenderWindowInteractor.
  bool SendTDx(const double values[7], std::string& error);

  /// A key typed on the keyboard, through the interactor.
  void SendKey(char key);

  vtkRenderWindowInteractor* GetInteractor() const;
  vtkRenderWindow* GetWindow() const;
  vtkRenderer* GetRenderer() const;
  Navigation GetNavigation() const { return this->Options.Nav; }
  vtkMervoInteractor* GetMervo() const { return this->Mervo; }
  int GetLastPickCount() const { return this->LastPickCount; }
  /// The cells of mesh `part` (in SetMeshes()' order) the last pick
  /// selected: its own cell ids, ascending.
  const std::vector<vtkIdType>& GetPickedCells(size_t part = 0) const;

private:
  // orviViewerInput.cxx: the style, the buttons mapped for the navigators
  // through the table of orviButtonBindings.h, the keys.
  void SetupNavigation();
  void HandleButton(unsigned long event);
  void StartAction();
  void EndAction(bool released);
  // orviViewerPick.cxx
  void HandlePickEvent(unsigned long event);
  // orviViewer.cxx: the scene
  void SetWireframe(bool wireframe);
  bool HandleKey(char key);
  bool SetColouring(std::string& error);
  static void ButtonCallback(vtkObject*, unsigned long event, void* clientData, void*);
  static void PickCallback(vtkObject*, unsigned long event, void* clientData, void*);
  static void KeyCallback(vtkObject*, unsigned long event, void* clientData, void*);

  ViewerOptions Options;
  std::ostream& Log;

  vtkSmartPointer<vtkRenderWindowInteractor> Interactor;
  vtkSimpleRenderWindowInteractor* TDxInteractor = nullptr; // the interactor, when it is one
  vtkNew<vtkRenderer> RendererObject;
  struct Part; // one mesh: its surface, edges and pick highlight
  std::vector<std::unique_ptr<Part>> Parts;
  vtkNew<vtkColorTableLegendActor> Legend;

  vtkSmartPointer<vtkInteractorStyle> Style;
  vtkMervoInteractor* Mervo = nullptr;
  vtkCatiaInteractor* Catia = nullptr;
  vtkNew<vtkCallbackCommand> ButtonCommand;
  vtkNew<vtkCallbackCommand> PickCommand;
  vtkNew<vtkCallbackCommand> KeyCommand;
  const ButtonBinding* Current = nullptr;              // the binding of the action under way
  bool ButtonDown[4] = { false, false, false, false }; // by orvi::Button
  int PickStart[2] = { 0, 0 };
  int LastPickCount = 0;
};

} // namespace orvi

#endif
