/**
 * @class   vtkKivRubberBand
 * @brief   rubber band drawn straight into a render window's pixels
 *
 * The rubber band of the library's box-zoom interaction: when the band
 * starts, the whole window's RGBA image is read from the front buffer into
 * the style's PixelArray; every drawn motion puts that image back on screen
 * (back buffer, then Frame()) with the outline of the rectangle between
 * StartPosition and EndPosition inverted into it. The scene is not rendered
 * while the band moves.
 *
 * Used by vtkMervoInteractor (StartBoxZoom(), BoxSelect()) and by
 * vtkInteractorStyleMervo (StartRBZoom(), RBSelect()). The functions work on
 * the fields the calling style passes in, so that each style keeps its own
 * StartPosition, EndPosition and PixelArray. StartOn() and DrawOn() take
 * those fields from the style itself: a style that has the five fields
 * below under these names and makes vtkKivRubberBand its friend starts and
 * draws its band with one call.
 * - PixelArray: the snapshot, 4 components, W x H tuples, rows from the
 *   bottom up. These functions only write it when a snapshot is taken;
 *   drawing never modifies it, so every draw starts from the clean image
 *   and the previous band vanishes.
 * - SnapshotSize: the window size (W, H) the snapshot was taken with. The
 *   snapshot is never indexed with any other size.
 * - Scratch: the image that is drawn into and written to the window. It is
 *   reused from one motion to the next (allocated again only when the size
 *   changes), so a motion costs one copy of the snapshot, one pass over the
 *   outline, one pixel write and one buffer swap, and no allocation.
 *
 * Window resized during a drag: Draw() notices that the window's size is no
 * longer SnapshotSize, renders the window once (which gives a clean image of
 * the scene at the new size, without the old band) and takes a new snapshot
 * of it; it then goes on drawing the band, clamped to the new size. Until
 * the next resize, motions cost no render again.
 *
 * A window that was never rendered, or was resized since its last render,
 * is rendered once before its snapshot is taken: before that it has no
 * image of its current size (VTK's OpenGL windows keep their image in
 * buffers made at the size of the last render, and pixels read past them
 * are undefined). Drawing likewise renders and takes a new snapshot when
 * the window's buffers no longer have its size. Without an interactor, a
 * render window, or with an empty window, the functions do nothing.
 *
 * This is internal to the library: it is not installed and not wrapped.
 */

#ifndef vtkKivRubberBand_h
#define vtkKivRubberBand_h

#include "vtkKivInteractionStates.h" // for VTKIS_KIV_BOXZOOM

class vtkRenderWindow;
class vtkRenderWindowInteractor;
class vtkUnsignedCharArray;

class vtkKivRubberBand
{
public:
  /**
   * Start a band at the interactor's event position: StartPosition and
   * EndPosition become that position, and PixelArray receives the window's
   * front buffer (SnapshotSize its size). Returns false, changing nothing,
   * when there is no interactor or no render window; the caller then stays
   * out of the box-zoom state.
   */
  static bool Start(vtkRenderWindowInteractor* interactor,
    int startPosition[2],
    int endPosition[2],
    vtkUnsignedCharArray* pixelArray,
    int snapshotSize[2]);

  /**
   * Draw the band for the interactor's event position: EndPosition becomes
   * that position clamped to the window, and the window shows the snapshot
   * with the band's outline inverted (red, green and blue; alpha kept). A
   * window whose size differs from SnapshotSize is rendered and snapshot
   * again first (see the class description).
   */
  static void Draw(vtkRenderWindowInteractor* interactor,
    const int startPosition[2],
    int endPosition[2],
    vtkUnsignedCharArray* pixelArray,
    int snapshotSize[2],
    vtkUnsignedCharArray* scratch);

  /**
   * Read the whole window from the front buffer into pixelArray and record
   * the size in snapshotSize; a window that was never rendered, or was
   * resized since its last render, is rendered first.
   */
  static void TakeSnapshot(vtkRenderWindow* window,
    vtkUnsignedCharArray* pixelArray,
    int snapshotSize[2]);

  /**
   * Invert the red, green and blue bytes of the outline of the rectangle
   * spanned by the two corners in an RGBA image of width x height pixels.
   * The corners are sorted and clamped to the image. A pixel on two edges
   * is inverted twice and keeps its colour: a band of zero height shows no
   * horizontal edge, one of zero width only its two end pixels.
   */
  static void InvertOutline(unsigned char* rgba,
    int width,
    int height,
    const int corner0[2],
    const int corner1[2]);

  /**
   * Start() on the style's StartPosition, EndPosition, PixelArray and
   * PixelArraySize; when the band starts, the style's State becomes box zoom
   * (22), stored directly: no StartInteractionEvent, no timer.
   */
  template <class Style>
  static void StartOn(Style* style)
  {
    if (vtkKivRubberBand::Start(style->GetInteractor(),
          style->StartPosition,
          style->EndPosition,
          style->PixelArray,
          style->PixelArraySize))
    {
      style->State = VTKIS_KIV_BOXZOOM;
    }
  }

  /**
   * Draw() on the style's StartPosition, EndPosition, PixelArray,
   * PixelArraySize and BandImage.
   */
  template <class Style>
  static void DrawOn(Style* style)
  {
    vtkKivRubberBand::Draw(style->GetInteractor(),
      style->StartPosition,
      style->EndPosition,
      style->PixelArray,
      style->PixelArraySize,
      style->BandImage);
  }

  vtkKivRubberBand() = delete;
};

#endif
