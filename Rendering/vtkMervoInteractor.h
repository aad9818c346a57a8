/**
 * @class   vtkMervoInteractor
 * @brief   navigator with a rotation centre, fly-to, pick and a rubber-band box zoom
 *
 * vtkMervoInteractor is a navigator that a host drives through interaction
 * states: it maps no mouse button and swallows keys, and its OnMouseMove()
 * carries out the current state's motion. Rotation turns the camera about
 * RotationCenter, shown by a red sphere (GetRotationPointActor()) whose
 * visibility the host switches; Fly() and FindRotationCenter() use the
 * surface point under the pointer; a box zoom draws a rubber band into the
 * window's pixels and zooms onto the model points under it.
 *
 * @code
 * vtkNew<vtkMervoInteractor> nav;
 * interactor->SetInteractorStyle(nav);
 * // button down:  nav->ClearMoved(); nav->StartRotate();   (or Pan/Spin/Dolly)
 * // motion:       the interactor's MouseMoveEvent reaches OnMouseMove()
 * // button up:    nav->EndRotate(); if (!nav->HasMoved()) nav->FindRotationCenter();
 * // box zoom:     nav->StartBoxZoom(); ...motions draw the band...;
 * //               nav->BoxZoom(); nav->EndBoxZoom();
 * @endcode
 *
 * Without an interactor, render window or renderer the operations do
 * nothing and no state is entered (see vtkKivInteractor).
 * The marker and the box zoom's debug actor are added to the renderer the
 * navigator first works in, hidden and not pickable; the marker is drawn in
 * front of every surface, so a centre inside the model shows, and picks,
 * flights and box zooms never hit it.
 *
 * @sa vtkKivInteractor vtkInteractorStyleMervo vtkInteractorStyleTrackballCamera
 */

#ifndef vtkMervoInteractor_h
#define vtkMervoInteractor_h

#include "vtkKivInteractor.h"
#include "vtkSmartPointer.h"        // for vtkSmartPointer
#include "vtkorviRenderingModule.h" // for export macro

#include <memory> // for std::unique_ptr
#include <vector> // for std::vector

class vtkActor;
class vtkBoundingBox;
class vtkCellPicker;
class vtkGlyph3D;
class vtkKivRubberBand;
class vtkPolyData;
class vtkPolyDataMapper;
class vtkSphereSource;
class vtkUnsignedCharArray;

class VTKORVIRENDERING_EXPORT vtkMervoInteractor : public vtkKivInteractor
{
public:
  static vtkMervoInteractor* New();
  vtkTypeMacro(vtkMervoInteractor, vtkKivInteractor);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  /// A world point.
  struct Point
  {
    double x;
    double y;
    double z;
  };

  ///@{
  /**
   * Buttons and keys do nothing (the host maps them). OnMouseMove() moves
   * the camera in the current state (counted in Moved, then an
   * InteractionEvent) or draws the band from the fourth motion on.
   */
  void OnChar() override;
  void OnMouseMove() override;
  void OnLeftButtonDown() override {}
  void OnLeftButtonUp() override {}
  void OnMiddleButtonDown() override {}
  void OnMiddleButtonUp() override {}
  void OnRightButtonDown() override {}
  void OnRightButtonUp() override {}
  void OnKeyDown() override {}
  void OnKeyUp() override {}
  ///@}

  /// Re-renders while an animation runs in state none; draws flight frames.
  void OnTimer() override;

  /**
   * One rotation step about RotationCenter: -20 x MotionFactor degrees per
   * window width (height) of motion.
   */
  void Rotate() override;

  /**
   * Snapshot the window into PixelArray and enter the box-zoom state
   * (without StartState(): no event, no timer).
   */
  void StartBoxZoom() override;

  /// Leave the box-zoom state; renders, which wipes the band.
  void EndBoxZoom() override;

  /// Fly to the surface point under the pointer; it becomes the rotation centre.
  virtual void Fly();

  ///@{
  /// Enter (leave) the pick state with the interactor's StartPickEvent (EndPickEvent).
  virtual void StartPick();
  virtual void EndPick();
  ///@}

  /// Pick with the interactor's picker under the pointer; sets PropPicked.
  virtual void Pick();

  /**
   * Zoom onto the model under the band: BoxZoomParallel() for a parallel
   * camera, BoxZoomProjection() otherwise. Does not render.
   */
  virtual void BoxZoom();

  /// Centre on the points under the band, move forward until one touches an edge.
  virtual void BoxZoomProjection();

  /// Centre on the points under the band, narrow the parallel scale to them.
  virtual void BoxZoomParallel();

  /**
   * Draw the band to the event position (clamped to the window): the
   * snapshot with the outline's colours inverted.
   */
  virtual void BoxSelect();

  /// Make the surface point under the pointer the rotation centre.
  virtual void FindRotationCenter();

  ///@{
  /// Radius of the marker sphere in world units (default 2); resizes it at once.
  virtual void SetRotationMarkerScale(double scale);
  virtual double GetRotationMarkerScale() const;
  ///@}

  ///@{
  /// The centre of rotation ((0, 0, 0), then the focal point once markers exist).
  virtual void GetRotationCenter(double center[3]);
  virtual double* GetRotationCenter();
  ///@}

  ///@{
  /// Whether a box zoom shows the points it gathered as yellow spheres.
  virtual void SetShowDebugActors(bool show);
  virtual bool GetShowDebugActors();
  ///@}

  /// VTK's FindPokedRenderer(), then prepare the markers there once.
  void FindPokedRenderer(int x, int y);

  /// The red rotation marker, hidden until the host shows it; null before it exists.
  vtkActor* GetRotationPointActor() const;

  /// Set the centre of rotation; the marker moves there. No render.
  void SetRotationCenter(double center[3]);

protected:
  vtkMervoInteractor();
  ~vtkMervoInteractor() override;

  /**
   * Build the marker and debug actors in CurrentRenderer once, the focal
   * point becoming the rotation centre; warns without a current renderer.
   */
  void PrepareRotationPointActor();

  /// FindPokedRenderer() at the event position; null when there is none.
  vtkRenderer* PokeRendererAtEvent();

  /// Give the marker sphere the radius RotationMarkerScale.
  void ScaleSphereSource();

  /**
   * Append the world points under the band (the surface under its corners,
   * else the bounds of what an area pick finds) and set center to their
   * mean; both untouched when nothing is found.
   */
  void GetSelectedPoints(std::vector<Point>& points, Point& center);

  /// GetSelectedPoints()'s search as a bounding box (empty: nothing found).
  vtkBoundingBox GetSelectionBoundingBox();

  ///@{
  /**
   * The eight corners of a box; corner k takes the maximum in x for bit 2
   * of k, in y for bit 1, in z for bit 0. The list is emptied first.
   */
  void GetBoundingBoxCorners(const vtkBoundingBox& box, std::vector<Point>& corners);
  void GetBoundingBoxCorners(const vtkBoundingBox& box, double corners[8][3]);
  ///@}

  /**
   * Both zooms' first step: centre the camera on the mean of the points
   * under the band (direction and distance kept) and return them.
   */
  std::vector<Point> CenterOnSelectedPoints();

  vtkSmartPointer<vtkCellPicker> Picker;
  int StartPosition[2];
  int EndPosition[2];
  bool ActorsPrepared;
  double RotationCenter[3];
  double RotationMarkerScale;
  vtkSmartPointer<vtkSphereSource> SphereSource;
  vtkSmartPointer<vtkPolyDataMapper> SphereMapper;
  vtkSmartPointer<vtkActor> RotationPointActor;
  bool ShowDebugActors;
  vtkSmartPointer<vtkSphereSource> DebugSphereSource;
  double DebugSphereScale;
  vtkSmartPointer<vtkGlyph3D> DebugGlyph;
  vtkSmartPointer<vtkPolyData> DebugPoints;
  vtkSmartPointer<vtkPolyDataMapper> DebugMapper;
  vtkSmartPointer<vtkActor> DebugActor;
  vtkSmartPointer<vtkUnsignedCharArray> PixelArray;

  // Draws the band between StartPosition and EndPosition over PixelArray.
  std::unique_ptr<vtkKivRubberBand> Band;

private:
  vtkMervoInteractor(const vtkMervoInteractor&) = delete;
  void operator=(const vtkMervoInteractor&) = delete;
};

#endif
