/**
 * @class   vtkKivRubberBand
 * @brief   internal: rubber band drawn straight into a render window's pixels
 *
 * The rubber band of the library's box-zoom interaction. Start() reads the
 * whole window's RGBA image from the front buffer into the owner's snapshot
 * array; every Draw() puts that image back on screen (back buffer, then
 * Frame()) with the outline of the rectangle between the two corners
 * inverted into it. The scene is not rendered while the band moves.
 *
 * The band works on fields of its owner, given at construction:
 * - the two corners, in display pixels: Start() sets both to the event
 *   position, Draw() moves the second one to the event position clamped to
 *   the window;
 * - the snapshot (the owner's PixelArray): 4 components, W x H tuples, rows
 *   from the bottom up. Only Start(), and Draw() after a resize, write it;
 *   drawing never modifies it, so every draw starts from the clean image
 *   and the previous band vanishes.
 * It owns what only it needs: the window size the snapshot was taken with
 * (the snapshot is never indexed with any other size) and the image it
 * draws into, reused from one motion to the next. The first draw after
 * Start() (or a resize) writes the whole window; every later one writes
 * only the rows and columns of the last outline (put back from the
 * snapshot) and of the new one, into the back buffer, which still holds
 * the last band, then swaps: a motion costs a few thin pixel writes and
 * one buffer swap, and no allocation.
 *
 * Used by vtkMervoInteractor (StartBoxZoom(), BoxSelect()) and by
 * vtkInteractorStyleMervo (StartRBZoom(), RBSelect()), each holding one
 * band over its own StartPosition, EndPosition and PixelArray.
 *
 * This is internal to the library: it is not installed and not wrapped.
 */

#ifndef vtkKivRubberBand_h
#define vtkKivRubberBand_h

#include "vtkNew.h"          // for vtkNew
#include "vtkSmartPointer.h" // for vtkSmartPointer

class vtkRenderWindow;
class vtkRenderWindowInteractor;
class vtkUnsignedCharArray;

class vtkKivRubberBand
{
public:
  /**
   * A band over the owner's corners and snapshot array, which must outlive
   * it (the owner holds the band).
   */
  vtkKivRubberBand(int (&startPosition)[2],
    int (&endPosition)[2],
    vtkSmartPointer<vtkUnsignedCharArray>& snapshot);
  ~vtkKivRubberBand();

  /**
   * Start a band at the interactor's event position: both corners become
   * that position and the snapshot receives the window's front buffer. A
   * window that was never rendered, or was resized since its last render,
   * is rendered first (before that it has no image of its current size).
   * Returns false, changing nothing, without an interactor, a render window
   * or a snapshot array; the owner then stays out of the box-zoom state.
   */
  bool Start(vtkRenderWindowInteractor* interactor);

  /**
   * Draw the band for the interactor's event position: the second corner
   * becomes that position clamped to the window, and the window shows the
   * snapshot with the band's outline inverted (red, green and blue; alpha
   * kept). A pixel on two edges is inverted twice and keeps its colour: a
   * band of zero height shows no horizontal edge, one of zero width only
   * its two end pixels. When the window was resized since the snapshot (or
   * since its last render), it is rendered once and snapshot again, and
   * the band goes on at the new size, its first corner kept on the point
   * where it started, counted from the window's top-left corner (which a
   * resize keeps): its y moves by the change of height. Without an
   * interactor or a render window nothing happens.
   */
  void Draw(vtkRenderWindowInteractor* interactor);

  /// In the Mervo conventions' box-zoom state the band is drawn from the
  /// mouse motion that brings the style's motion counter to this value on:
  /// fewer motions are a click.
  static constexpr int FirstMotion = 4;

  /// A band's rectangle, sorted and clamped to the window (inclusive).
  struct Outline
  {
    int X0, Y0, X1, Y1;
  };

  vtkKivRubberBand(const vtkKivRubberBand&) = delete;
  vtkKivRubberBand& operator=(const vtkKivRubberBand&) = delete;

private:
  // Read the whole window into the snapshot and record its size.
  void TakeSnapshot(vtkRenderWindow* window);

  // Write the snapshot's pixels of strip, with those of outline inverted,
  // into the window's back buffer.
  void DrawStrip(vtkRenderWindow* window, int width, const Outline& outline, const Outline& strip);

  int (&StartPosition)[2];
  int (&EndPosition)[2];
  vtkSmartPointer<vtkUnsignedCharArray>& Snapshot;
  int SnapshotSize[2] = { 0, 0 };
  vtkNew<vtkUnsignedCharArray> Scratch;
  // The band drawn last, and the window size then; Drawn is false until the
  // first draw after Start().
  Outline Last = { 0, 0, 0, 0 };
  int DrawnSize[2] = { 0, 0 };
  bool Drawn = false;
};

#endif
