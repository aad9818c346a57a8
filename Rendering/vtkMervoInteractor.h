/**
 * @class   vtkMervoInteractor
 * @brief   navigator with a rotation centre, fly-to, pick and a rubber-band box zoom
 *
 * vtkMervoInteractor is a vtkKivInteractor that the host drives through
 * interaction states (it maps no mouse button itself: its button and key
 * handlers do nothing, and characters are swallowed so that none of VTK's
 * keyboard shortcuts acts). A host typically:
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
 * Rotation turns the camera about RotationCenter instead of the focal point:
 * azimuth about the view-up axis and elevation about the camera's leftward
 * axis, both through the centre, by -20 x MotionFactor degrees per window
 * width (height) of motion. The centre is shown by a red sphere
 * (GetRotationPointActor()) that the navigator creates hidden, on first use,
 * for the renderer under the pointer, together with a hidden yellow glyph
 * actor in that renderer that can show the points a box zoom gathered
 * (ShowDebugActors). The host switches the marker's visibility itself. The
 * marker is drawn over that renderer's scene, by a renderer of its own one
 * layer up in the same window, so that a centre inside the model shows;
 * picks, flights and box zooms never hit it.
 *
 * The rubber band is drawn straight into the window's pixels from a snapshot
 * that StartBoxZoom() takes into PixelArray; BoxZoom() then centres the
 * camera on the model points under the band and narrows the view onto them,
 * by the parallel scale for a parallel camera and by moving the camera
 * forward for a perspective one. Neither zoom renders; EndBoxZoom() does,
 * which also wipes the band.
 *
 * Defaults: RotationCenter is (0, 0, 0) and DebugSphereScale 0.005 from
 * construction on; preparing the markers replaces the centre by the focal
 * point.
 *
 * A window resized while the band is dragged: the next drawn motion renders the
 * window once, takes a new snapshot at the new size and goes on drawing the
 * band, clamped to the new size. PixelArray itself is never modified by
 * drawing.
 *
 * Not installed: StartBoxZoom() or BoxSelect() without an interactor or a
 * render window do nothing (StartBoxZoom() does not enter the box-zoom state
 * then). StartPick() does nothing then either: no state, no StartPickEvent.
 * EndBoxZoom() and EndPick() without an interactor or a render window only
 * return to state none. VTK's states, motions and handlers are guarded the same
 * way by vtkKivInteractor.
 *
 * A removed renderer: Rotate() does nothing while the current renderer is one
 * the host removed from its window (there is no window size to scale the motion
 * by); the next motion through the interactor looks the renderer up again. The
 * markers stay with the renderer they were prepared for, removed or not (the
 * marker is then no longer drawn).
 *
 * BoxZoom() looks up the renderer under the event position before it reads the
 * camera's projection (the zoom algorithms look it up anyway), so that a box
 * zoom works also when no renderer has been current yet.
 * BoxZoomProjection() leaves the camera where centring put it when the forward
 * move t is not smaller than the camera's distance up to a relative 1e-9: a
 * single point straight ahead gives t equal to the distance but for rounding,
 * and moving by it would put the camera onto its focal point.
 * The point-gathering operations use the nested record
 * vtkMervoInteractor::Point (three doubles).
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
class vtkKivMarkerRenderer;
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

  /**
   * A world point: x, y and z.
   */
  struct Point
  {
    double x;
    double y;
    double z;
  };

  ///@{
  /**
   * Event handlers. Buttons and keys do nothing (the host maps them);
   * OnChar() reads the key code and ignores it. OnMouseMove() carries out the
   * motion step of the current state: rotate, pan, spin or dolly (counted in
   * Moved, followed by an InteractionEvent), or in box-zoom state the band,
   * drawn from the fourth counted motion on.
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

  /**
   * Re-renders while an animation runs in state none; no timer-driven
   * camera motion.
   */
  void OnTimer() override;

  /**
   * One rotation step for the last mouse motion about RotationCenter.
   */
  void Rotate() override;

  /**
   * Start the rubber band at the event position: snapshot the window and
   * enter the box-zoom state (without StartState(): no event, no timer).
   */
  void StartBoxZoom() override;

  /**
   * Leave the box-zoom state through StopState(), which renders.
   */
  void EndBoxZoom() override;

  /**
   * Fly the focal point to the surface point under the pointer and make the
   * resulting focal point the rotation centre.
   */
  virtual void Fly();

  /**
   * Enter the pick state and fire the interactor's StartPickEvent.
   */
  virtual void StartPick();

  /**
   * Fire the interactor's EndPickEvent and leave the pick state.
   */
  virtual void EndPick();

  /**
   * Pick the prop under the pointer with the interactor's picker; PropPicked
   * tells whether something was hit.
   */
  virtual void Pick();

  /**
   * Zoom onto the model under the band: BoxZoomParallel() for a parallel
   * camera, BoxZoomProjection() otherwise. Does not render.
   */
  virtual void BoxZoom();

  /**
   * Perspective zoom: centre the view on the gathered points and move the
   * camera forward until the first of them touches an edge of the view.
   */
  virtual void BoxZoomProjection();

  /**
   * Parallel zoom: centre the view on the gathered points and narrow the
   * parallel scale to their extent (never widening it).
   */
  virtual void BoxZoomParallel();

  /**
   * Draw the rubber band for the event position: EndPosition becomes that
   * position clamped to the window, and the window shows the snapshot with
   * the outline between StartPosition and EndPosition inverted (red, green
   * and blue; alpha kept).
   */
  virtual void BoxSelect();

  /**
   * Make the surface point under the pointer the rotation centre.
   */
  virtual void FindRotationCenter();

  ///@{
  /**
   * Radius, in world units, of the rotation marker sphere (2.0 by default).
   * Setting it resizes an existing marker at once.
   */
  virtual void SetRotationMarkerScale(double scale);
  virtual double GetRotationMarkerScale() const;
  ///@}

  ///@{
  /**
   * The centre of rotation.
   */
  virtual void GetRotationCenter(double center[3]);
  virtual double* GetRotationCenter();
  ///@}

  ///@{
  /**
   * Whether a box zoom shows the points it gathered as yellow spheres.
   */
  virtual void SetShowDebugActors(bool show);
  virtual bool GetShowDebugActors();
  ///@}

  /**
   * vtkInteractorStyle::FindPokedRenderer(), then prepare the marker actors
   * in the renderer found if that was not done yet.
   */
  void FindPokedRenderer(int x, int y);

  /**
   * The red rotation marker (hidden until the host shows it); null before
   * the markers are prepared.
   */
  vtkActor* GetRotationPointActor() const;

  /**
   * Set the centre of rotation; an existing marker moves there. No render.
   */
  void SetRotationCenter(double center[3]);

protected:
  vtkMervoInteractor();
  ~vtkMervoInteractor() override;

  /**
   * Build the marker and debug actors in CurrentRenderer, once; take the
   * active camera's focal point as rotation centre. Warns and builds
   * nothing without a current renderer.
   */
  void PrepareRotationPointActor();

  /**
   * Make the renderer under the interactor's event position current
   * (preparing the markers there) and return it; null without an
   * interactor or a renderer under the pointer.
   */
  vtkRenderer* PokeRendererAtEvent();

  /**
   * Give an existing marker sphere the radius RotationMarkerScale.
   */
  void ScaleSphereSource();

  /**
   * Append the world points under the band to points and set center to
   * their mean: the surface points under the band's four corners, or else
   * the corners of the bounds of the data set an area pick of the band
   * finds. Leaves both alone when nothing is found.
   */
  void GetSelectedPoints(std::vector<Point>& points, Point& center);

  /**
   * The same search as GetSelectedPoints(), as a bounding box (empty when
   * nothing is found or there is no current renderer).
   */
  vtkBoundingBox GetSelectionBoundingBox();

  ///@{
  /**
   * The eight corners of a box, corner k taking the maximum in x when bit 2
   * of k is set, in y for bit 1, in z for bit 0. The list form empties the
   * list first.
   */
  void GetBoundingBoxCorners(const vtkBoundingBox& box, std::vector<Point>& corners);
  void GetBoundingBoxCorners(const vtkBoundingBox& box, double corners[8][3]);
  ///@}

  /**
   * The first steps of both zooms: gather the points under the band
   * (GetSelectedPoints()) and, when there are any, show them when
   * ShowDebugActors is on and centre the camera on their mean, keeping its
   * direction and distance. Returns the points; none means nothing changed.
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

  // Draws the rotation marker over the scene of the renderer it was prepared in.
  vtkSmartPointer<vtkKivMarkerRenderer> MarkerLayer;

private:
  vtkMervoInteractor(const vtkMervoInteractor&) = delete;
  void operator=(const vtkMervoInteractor&) = delete;
};

#endif
