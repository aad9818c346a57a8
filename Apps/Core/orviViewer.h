// The scene of orvi-viewer and the host side of navigation: what an
// application does around the library's classes.
//
// - Each mesh's surface is coloured by a point or cell array (the array is
//   chosen in the first mesh that has it, a quantity before ids; every mesh
//   holding it is coloured over the range of all of them), with
//   vtkColorTableLegendActor as its legend; integer ids of a few categories
//   take one colour each, listed by VTK's scalar bar. Its edges are drawn
//   over it by a second actor tagged with vtkKivMainPass::RENDER_WIREFRAME()
//   (see orviEdges.h); the renderer draws through vtkKivMainPass installed
//   in VTK's pass chain, and each still frame is smoothed by VTK's FXAA
//   filter.
// - The start view (ResetView()) frames the scene left of the legend; a
//   flat scene is seen face-on.
// - For the two navigators (vtkMervoInteractor, vtkCatiaInteractor) the
//   viewer maps the mouse buttons onto their interaction states itself, as a
//   host application does in its own event handling (see HandleButton()).
//   The two standalone styles map buttons themselves.
// - A rectangle pick (whatever gesture the convention uses for it ends in
//   the interactor's StartPickEvent/EndPickEvent) selects mesh cells with
//   vtkVisibleSelectionPicker (those whose faces are seen) or
//   vtkFrustumSelectionPicker (every cell in the frustum, interior ones
//   included) and highlights their surface faces.
// - The viewer makes its own render window and interactor, or runs on a
//   host toolkit's (a Qt widget's vtkGenericOpenGLRenderWindow and its
//   QVTKInteractor): the toolkit then delivers the mouse and keys to the
//   interactor, and the same observers map them.
#ifndef orviViewer_h
#define orviViewer_h

#include "orviComponents.h"
#include "orviEdges.h"
#include "orviMeshes.h"
#include "orviMotionSurface.h"
#include "orviViewerOptions.h"

#include "vtkPlane.h"

#include "vtkNew.h"
#include "vtkSmartPointer.h"
#include "vtkTextActor.h"
#include "vtkType.h"

#include <cstddef>
#include <functional>
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
class vtkLookupTable;
class vtkMervoInteractor;
class vtkObject;
class vtkOpenGLFXAAFilter;
class vtkPolyData;
class vtkRenderWindow;
class vtkRenderWindowInteractor;
class vtkRenderer;
class vtkScalarBarActor;
class vtkSimpleRenderWindowInteractor;

namespace orvi
{

struct ButtonBinding;
class SectionCut;
class TimeSeries;

class Viewer
{
public:
  /// A viewer in a window of its own: an interactive one with VTK's event
  /// loop, or (with --screenshot or --script) one driven by hand through a
  /// vtkSimpleRenderWindowInteractor.
  Viewer(const ViewerOptions& options, std::ostream& log);
  /// A viewer in a host's window, driven by the host's interactor (already
  /// set on that window or not): the viewer adds its renderer to the window
  /// and installs its style and observers on the interactor, and removes
  /// them again when it is destroyed. The window's size, format and event
  /// loop stay the host's; options.Width, Height, Screenshot and Script are
  /// not used. A null window or interactor is replaced by one of the
  /// viewer's own, as for the first constructor.
  Viewer(const ViewerOptions& options,
    std::ostream& log,
    vtkRenderWindow* window,
    vtkRenderWindowInteractor* interactor);
  ~Viewer();
  Viewer(const Viewer&) = delete;
  Viewer& operator=(const Viewer&) = delete;

  /// Makes a mesh ready to be shown, without a window: --elevation's array
  /// added and its boundary surface extracted (progress to log). SetMeshes()
  /// does it for a mesh not yet prepared; a host may run it on another thread
  /// while its window is being made (one mesh at a time a thread).
  static void PrepareMesh(NamedMesh& mesh, const ViewerOptions& options, std::ostream& log);

  /// Builds the scene for one or more meshes, shown together, in place of
  /// the meshes shown before (the view is reset, the last pick forgotten).
  /// Returns false with an error naming the problem (for instance an array
  /// that does not exist); the scene may then be incomplete, and a host
  /// that keeps running shows its previous meshes again.
  bool SetMeshes(const std::vector<NamedMesh>& meshes, std::string& error);

  /// The time series the meshes shown come from (the one LoadMeshes() read
  /// them from, at its step GetStep()); the host keeps it. The step keys,
  /// the script's step verb and ShowStep() step through it, and the step
  /// after the one shown is read ahead. Null: the meshes have no steps.
  void SetTimeSeries(TimeSeries* series);
  /// Shows step `step` (from 0) in place of the one shown, the view kept.
  /// Parts of the same points and cells as those shown keep their surface,
  /// edges, stand-in and pick and take the step's arrays; others are built
  /// anew. The legend keeps one range over the steps (see --range-per-step).
  /// False with an error when the step cannot be read or shown.
  bool ShowStep(std::size_t step, std::string& error);
  /// The step shown, of how many, and "step k of N, t = T" (empty without
  /// steps), as the corner text says.
  std::size_t GetStep() const;
  std::size_t GetNumberOfSteps() const;
  std::string GetStepText() const;
  /// Whether the last ShowStep() kept every part's surface.
  bool GetStepKeptSurfaces() const { return this->StepKeptSurfaces; }
  /// Called after each step shown (a host's slider and status bar follow).
  void SetStepObserver(std::function<void()> observer) { this->StepObserver = std::move(observer); }

  /// The parts shown (SetMeshes()' meshes, in order) and whether each is
  /// visible; a hidden part draws nothing and is not picked.
  std::size_t GetNumberOfParts() const { return this->Parts.size(); }
  const std::string& GetPartName(std::size_t part) const;
  bool IsPartVisible(std::size_t part) const;
  void SetPartVisible(std::size_t part, bool visible);
  /// Only the parts named visible (--parts); false with an error listing
  /// the parts for a name none has.
  bool ShowOnlyParts(const std::vector<std::string>& names, std::string& error);
  /// Colours by another array or component (an --array value: NAME,
  /// point:NAME or cell:NAME, optionally followed by :COMPONENT), from the
  /// surfaces already extracted: nothing is read or extracted again. Returns
  /// false with an error, the colouring and legend unchanged, when no mesh
  /// has the array or the array has no such component.
  bool SetArray(const std::string& choice, std::string& error);
  /// The next component of the coloured array (magnitude, x, y, z, ...,
  /// von Mises for a symmetric tensor): the key c.
  void NextArrayComponent();
  /// What the surfaces are coloured by now (Field -1: nothing).
  struct Quantity
  {
    std::string ArrayName;
    int Field = -1; // 0 point data, 1 cell data
    int Components = 0;
    Component Which;   // resolved
    std::string Title; // the legend's
    double Range[2] = { 0.0, 1.0 };
  };
  const Quantity& GetColouredQuantity() const { return this->Coloured; }

  /// The deformed shape (--warp): each surface moved by its point array
  /// `array` (3 components) times `scale`, or, when not `scaleGiven`, the
  /// scale that draws the largest displacement as a tenth of the model's
  /// size; the scale is printed. Meshes without the array keep their shape;
  /// an empty array draws the undeformed shape. Only the surfaces' points
  /// move: edges, picks, the rotation centre, the start view and the
  /// stand-in in motion follow. Returns false with an error, the shape
  /// unchanged, when no mesh holds such an array.
  bool SetWarp(const std::string& array, bool scaleGiven, double scale, std::string& error);
  /// The deformed shape's scale times `factor` (the keys + and -).
  void ScaleWarp(double factor);
  double GetWarpScale() const { return this->WarpScale; }
  const std::string& GetWarpArray() const { return this->Options.WarpArray; }
  /// Whether the undeformed shape's outline (boundary and feature edges) is
  /// drawn beside the deformed one (--undeformed, the key o).
  void SetUndeformedShown(bool shown);

  /// The section plane (--section): with `mode` Cut or Cells everything on
  /// the side its normal points to is hidden (the surfaces clipped by the
  /// plane in their mappers) and what the plane meets is drawn, coloured as
  /// the surfaces are with the mesh's edges on it: the cut of the cells it
  /// crosses, or those cells whole. A null origin or normal keeps the one in
  /// use (at first the model's centre, +x). Returns false with an error,
  /// nothing changed, for a normal of no length.
  bool SetSection(SectionMode mode, const double* origin, const double* normal, std::string& error);
  /// The plane in use: its origin and unit normal.
  void GetSectionPlane(double origin[3], double normal[3]) const;
  /// Moves the plane along its normal by `fraction` of the model's size (the
  /// keys ] and [); turns its normal by `degrees` about the view up (. and ,).
  void MoveSection(double fraction);
  void TurnSection(double degrees);
  /// Off, cut, whole cells, off again (the key x).
  void NextSectionMode();
  /// The section of mesh `part`.
  const SectionCut& GetSection(size_t part = 0) const;

  /// The legend's text sized for the window's height (a host calls it when
  /// its widget is resized; the size asked for in the options until the
  /// window has one).
  void FitTextToWindow();

  /// Back to the view the scene started with: the whole scene seen from the
  /// front and above, the --up axis pointing up; a flat scene (all its
  /// points in one plane) face-on, seen along its normal. The scene is
  /// framed in the part of the window left of the legend.
  void ResetView();

  /// Interactive: a window with VTK's own event loop. Headless or scripted:
  /// a vtkSimpleRenderWindowInteractor, driven by events set by hand (and
  /// accepting 3D-mouse reports).
  void Render();
  bool Screenshot(const std::string& path, bool rerender, std::string& error);
  void Start();

  /// Selects the mesh cells under a display rectangle with the chosen area
  /// picker, highlights their surface faces and prints their count and id
  /// range (mesh cell ids), per part by its name and with the ids within it
  /// when there are several, and the step shown. Returns the number of
  /// cells selected.
  int PickRectangle(int x0, int y0, int x1, int y1);

  /// Writes the cells the last pick selected to a CSV file, a row each (see
  /// orviPickValues.h); --pick-out does after every pick. Returns false with
  /// an error naming the path when it cannot be written.
  bool SavePickedCells(const std::string& path, std::string& error);
  /// What is coloured under a display point (origin lower left): "p 0.42 at
  /// mesh cell 17", the point data interpolated at the surface point; empty
  /// when no surface is there.
  std::string ValueAt(int x, int y);

  /// One 3D-mouse report through vtkSimpleRenderWindowInteractor.
  bool SendTDx(const double values[7], std::string& error);

  /// A key typed on the keyboard, through the interactor: a character, or
  /// a key without one by its X11 name ("Right", "Home").
  void SendKey(char key);
  void SendKey(const std::string& keySym);

  /// The convention of the mouse, in place of the one in use (between
  /// gestures: an action under way is dropped). The viewer keeps one style
  /// per convention, so going back finds it as it was left.
  void SetNavigation(Navigation nav);
  /// What the next rectangle pick selects.
  void SetPickMode(PickMode mode) { this->Options.Pick = mode; }
  /// When the mesh edges are shown, from the next render on.
  void SetEdgeMode(EdgeMode mode);
  const ViewerOptions& GetOptions() const { return this->Options; }
  /// Whether lines and silhouettes are smoothed (FXAA over each frame; on by
  /// default).
  void SetSmoothEdges(bool smooth) { this->SmoothEdges = smooth; }

  vtkRenderWindowInteractor* GetInteractor() const;
  vtkRenderWindow* GetWindow() const;
  vtkRenderer* GetRenderer() const;
  Navigation GetNavigation() const { return this->Options.Nav; }
  vtkMervoInteractor* GetMervo() const { return this->Mervo; }
  /// The surfaces' stand-ins in motion.
  MotionSurface& GetMotion() { return this->Motion; }
  int GetLastPickCount() const { return this->LastPickCount; }
  /// The line the last pick printed, for a status bar: "picked N cells,
  /// mesh cell ids A .. B (visible, rectangle X0 Y0 X1 Y1)"; with several
  /// parts "picked N cells: K in 'PART' (cell ids A .. B), ... (...)"; a
  /// time series' step ends the parenthesis ("..., step k of N, t = T").
  const std::string& GetLastPickSummary() const { return this->LastPickSummary; }
  /// The cells of mesh `part` (in SetMeshes()' order) the last pick
  /// selected: its own cell ids, ascending.
  const std::vector<vtkIdType>& GetPickedCells(size_t part = 0) const;

private:
  // orviViewer.cxx: the renderer in the window, the observers.
  void Setup(vtkRenderWindow* window, vtkRenderWindowInteractor* interactor);
  // orviViewerInput.cxx: the style, the buttons mapped for the navigators
  // through the table of orviButtonBindings.h, the keys.
  void SetupNavigation();
  void InstallStyle();
  void HandleButton(unsigned long event);
  void StartAction();
  void EndAction(bool released);
  // orviViewerPick.cxx
  void HandlePickEvent(unsigned long event);
  struct Part; // one mesh: its surface, edges and pick highlight
  void DropHiddenCells(Part& part, vtkDataSet* shape) const; // shape: the mesh as drawn
  std::string PickedValuesText(int part) const;              // orviPickValues.cxx; -1: every mesh
  std::string DescribePick(int count, int x0, int y0, int x1, int y1) const;
  // orviViewer.cxx: the scene
  void SetWireframe(bool wireframe);
  bool FlatNormal(double normal[3]) const;
  void FrameScene();
  bool HandleKey(char key);
  // orviWarp.cxx: the deformed shape, without rendering.
  bool ApplyWarp(std::string& error);
  void ShowOutline();
  // orviSection.cxx: the section plane, without rendering.
  void ApplySection();
  void ColourSection();
  // orviViewerTime.cxx: the step keys, the arrays of a step swapped in.
  bool HandleStepKey(const std::string& keySym);
  void ShowStepText();
  // The colouring: the array chosen, its values, the meshes' colours, the
  // legend and the log line, each a step of SetColouring().
  struct Colouring;
  bool SetColouring(std::string& error);
  bool ChangeColouring(const ViewerOptions& options, std::string& error);
  bool ChooseArray(Colouring& colouring, std::string& error) const;
  void FindValues(Colouring& colouring) const;
  void MapColours(Colouring& colouring) const;
  void ShowLegend(const Colouring& colouring);
  double LayOutCategoryLegend(vtkLookupTable* categories, int fontSize);
  void LogColouring(const Colouring& colouring) const;
  static void ButtonCallback(vtkObject*, unsigned long event, void* clientData, void*);
  static void PickCallback(vtkObject*, unsigned long event, void* clientData, void*);
  static void KeyCallback(vtkObject*, unsigned long event, void* clientData, void*);
  static void SmoothCallback(vtkObject*, unsigned long event, void* clientData, void*);
  static void CullCallback(vtkObject*, unsigned long event, void* clientData, void*);

  ViewerOptions Options;
  std::ostream& Log;

  vtkSmartPointer<vtkRenderWindowInteractor> Interactor;
  vtkSimpleRenderWindowInteractor* TDxInteractor = nullptr; // the interactor, when it is one
  vtkNew<vtkRenderer> RendererObject;
  void KeepArrays(Part& part, vtkDataSet* mesh); // orviViewerTime.cxx
  std::vector<NamedMesh> ShownMeshes() const;    // the parts' meshes and surfaces
  std::vector<std::unique_ptr<Part>> Parts;
  vtkDataSet* ShapeOf(const Part& part) const; // as drawn: the deformed surface, else the mesh
  vtkNew<vtkColorTableLegendActor> Legend;     // a quantity's colours
  vtkNew<vtkScalarBarActor> CategoryLegend;    // one swatch per id
  bool LegendShown = false;
  double LegendLeft = 1.0; // the leftmost x the shown legend draws at, normalized
  // Where either legend lies, in the viewport's normalized coordinates
  // (x0, y0, x1, y1): the start view frames the model to its left.
  static constexpr double LegendBox[4] = { 0.86, 0.12, 0.98, 0.88 };

  bool HostWindow = false; // the window is the host's: the renderer leaves it with the viewer
  vtkSmartPointer<vtkInteractorStyle> Style;
  vtkSmartPointer<vtkInteractorStyle> Styles[4]; // by Navigation, made on first use
  vtkMervoInteractor* Mervo = nullptr;
  vtkCatiaInteractor* Catia = nullptr;
  vtkNew<vtkCallbackCommand> ButtonCommand;
  vtkNew<vtkCallbackCommand> PickCommand;
  vtkNew<vtkCallbackCommand> KeyCommand;
  vtkNew<vtkCallbackCommand> SmoothCommand;
  vtkNew<vtkCallbackCommand> CullCommand;
  vtkNew<vtkOpenGLFXAAFilter> Smoothing;
  bool SmoothEdges = true;
  const ButtonBinding* Current = nullptr;              // the binding of the action under way
  bool ButtonDown[4] = { false, false, false, false }; // by orvi::Button
  int PickStart[2] = { 0, 0 };
  int LastPickCount = 0;
  std::string LastPickSummary;
  TimeSeries* Series = nullptr; // the host's
  bool StepKeptSurfaces = false;
  std::function<void()> StepObserver;
  vtkNew<vtkTextActor> StepText; // "step k of N, t = T" in the upper left corner
  Quantity Coloured;
  double MarkerScale = 0.0;   // the rotation marker's radius for the meshes shown
  double WarpScale = 0.0;     // the deformed shape's, once one is drawn
  MotionSurface Motion;       // the surfaces' stand-ins in motion
  vtkNew<vtkPlane> ClipPlane; // the section's, facing the side kept
  bool SectionShown = false;
};

} // namespace orvi

#endif
