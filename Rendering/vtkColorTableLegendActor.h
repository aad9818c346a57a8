/**
 * @class   vtkColorTableLegendActor
 * @brief   colour legend of a lookup table with its own layout and optional text fitting
 *
 * vtkColorTableLegendActor is a 2D actor that shows the colours of a lookup
 * table as a bar of coloured quads, value labels beside or under the bar and a
 * title. It keeps every setting of vtkScalarBarActor (lookup table, text
 * properties, number of colours and labels, orientation, title and component
 * title, label format, opacity texture, text position, maximum size,
 * background and frame) but lays the legend out itself:
 *
 * - vertical: the bar takes what is left of the width once a label column of
 *   0.6 W is reserved, and 0.86 H of the height; the title is left-justified
 *   at (W/10, 0.9 H);
 * - horizontal: the bar is 0.4 H high and spans the width between two half
 *   label widths; the title starts at the middle of the legend;
 * - margins make room for the background and the frame when either is on;
 * - AutoResizeText on fits the title and label fonts into boxes derived from
 *   the legend's size; off (the default) keeps the font sizes of the title and
 *   label text properties.
 *
 * A host creates the legend, gives it a lookup table, positions it with the
 * position coordinates of vtkActor2D and adds it to a renderer
 * (vtkRenderer::AddActor2D). The layout is rebuilt in RenderOpaqueGeometry,
 * and only when something it depends on changed: this actor, its lookup
 * table, its title, label, background or frame property, or its size or
 * origin on screen (looked at only when the viewport or its window was
 * modified since the last build). A frame without changes only draws.
 *
 * Objects: VTK 9's vtkScalarBarActor no longer has text mappers for its
 * title and labels, so this class owns them: TitleMapper/TitleActor and one
 * vtkTextMapper/vtkActor2D pair per label in TextMappers/TextActors
 * (NumberOfLabelsBuilt of them). TitleActor and NumberOfLabelsBuilt hide the
 * base class's members of the same names (the base's title vtkTextActor is
 * never drawn by this class). The coloured quads, the background, the frame
 * and the opacity texture rectangle are the base class's objects (ScalarBar,
 * Background, Frame, TexturePolyData and their actors), filled by this
 * class's layout. Every render pass is overridden, so what is drawn is always
 * this layout and never the base class's: 2D actors draw in the overlay
 * pass, which draws the background and frame (when on), the opacity texture
 * (UseOpacity), the title, the bar and the labels in that order.
 * RebuildLayoutIfNeeded() and RebuildLayout() are overridden too, so that a
 * base-class path that asks for a layout gets this one.
 *
 * The inherited settings are read as follows:
 * - The title text is Title, one blank and ComponentTitle when both are set
 *   and not empty, else whichever of the two is; the title is sized and
 *   drawn whenever that text is not empty.
 * - LabelFormat must format exactly one double (see
 *   GetFallbackLabelFormat()).
 * - A lookup table whose range is a single value (x, x) gives a bar of one
 *   colour and labels that all read x, without a warning. A log-scale table
 *   whose range lies below 0 has its labels and quads spaced by the
 *   logarithms of the magnitudes (-1000, -100, -10, -1), as VTK's tables map
 *   such a range; one whose range holds 0 cannot be spaced on a log scale:
 *   labels and quads are spaced linearly and each rebuild warns "the lookup
 *   table's log scale cannot show the range (min, max): labels are spaced
 *   linearly".
 * - NumberOfLabels 0 builds no label and lays the bar out with a label size
 *   of (0, 0).
 * - A TextureGridWidth of zero or less stretches the opacity checker image
 *   once over the bar instead of repeating it every TextureGridWidth pixels.
 *
 * @sa vtkScalarBarActor vtkTextMapper vtkActor2D
 */

#ifndef vtkColorTableLegendActor_h
#define vtkColorTableLegendActor_h

#include "vtkScalarBarActor.h"
#include "vtkorviRenderingModule.h" // for export macro

#include <string> // for the last rejected label format
#include <vector> // for the label texts

class vtkActor2D;
class vtkTextMapper;
class vtkTextProperty;

class VTKORVIRENDERING_EXPORT vtkColorTableLegendActor : public vtkScalarBarActor
{
public:
  static vtkColorTableLegendActor* New();
  vtkTypeMacro(vtkColorTableLegendActor, vtkScalarBarActor);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  ///@{
  /**
   * Render passes. RenderOpaqueGeometry() checks the inputs, rebuilds the
   * layout when needed and returns 1 when the title or a label has something
   * to draw. RenderOverlay() draws the legend's objects (2D actors draw in the
   * overlay pass). Nothing is translucent.
   */
  int RenderOpaqueGeometry(vtkViewport* viewport) override;
  int RenderTranslucentPolygonalGeometry(vtkViewport* viewport) override;
  int RenderOverlay(vtkViewport* viewport) override;
  vtkTypeBool HasTranslucentPolygonalGeometry() override;
  ///@}

  /**
   * Releases the graphics resources of the base's objects and of the title
   * and label actors.
   */
  void ReleaseGraphicsResources(vtkWindow* window) override;

  /**
   * Copies the base class's settings and, from another legend,
   * AutoResizeText, AutomaticLabelFormat and ReadableTitle.
   */
  void ShallowCopy(vtkProp* prop) override;

  ///@{
  /**
   * 1: fit the title and label fonts into boxes derived from the legend's
   * size; 0 (default): keep the font sizes of the text properties, read
   * again at every build, so a size fitted while this was on (or raised by
   * ReadableTitle) does not outlive the setting.
   */
  vtkSetMacro(AutoResizeText, int);
  vtkGetMacro(AutoResizeText, int);
  vtkBooleanMacro(AutoResizeText, int);
  ///@}

  ///@{
  /**
   * 1: the label texts are chosen from the range and the number of labels,
   * and LabelFormat is not used. Each label is written in fixed-point or in
   * exponent notation, whichever gives the shorter texts, with the fewest
   * decimals that put every label within a fiftieth of the spacing to its
   * neighbours (a millionth of its value when it has no distinct neighbour),
   * so that neighbouring labels always read differently. No text ends in a
   * bare decimal point and no zero carries a minus sign. When neighbouring
   * labels still read the same (a range of one value), the text is shown
   * once, on the label nearest the middle of those labels, and the others are
   * left empty. 0 (default): every label is LabelFormat applied to its value.
   * A host that shows ranges it does not know in advance turns this and
   * ReadableTitle on.
   */
  vtkSetMacro(AutomaticLabelFormat, vtkTypeBool);
  vtkGetMacro(AutomaticLabelFormat, vtkTypeBool);
  vtkBooleanMacro(AutomaticLabelFormat, vtkTypeBool);
  ///@}

  ///@{
  /**
   * 1: the title is never smaller than the labels. Its font grows until one
   * line of the title is at least as high as the highest label. A title then
   * wider than its room is fitted to it: a vertical legend's title (room:
   * from W/10 to the right edge) is wrapped after a word break (a blank, one
   * of _ - / . : , or a lower-case letter followed by an upper-case one), or
   * without one that fits after the last character that fits, onto a second
   * line; a horizontal legend's title (room: from the middle to the right
   * edge) keeps one line. A last line still too wide is cut and ends in an
   * ellipsis. 0 (default): the title keeps the size that AutoResizeText
   * gives it.
   */
  vtkSetMacro(ReadableTitle, vtkTypeBool);
  vtkGetMacro(ReadableTitle, vtkTypeBool);
  vtkBooleanMacro(ReadableTitle, vtkTypeBool);
  ///@}

  /**
   * The format used for labels when LabelFormat is not a format of exactly
   * one double. LabelFormat must contain exactly one floating-point
   * conversion (%f %F %e %E %g %G %a %A, with flags, a numeric width and
   * precision and an optional 'l') and otherwise only text and "%%"; any
   * other format (none, several or other conversions, '*' widths, a null
   * format) is replaced by this one, and a warning names the rejected format
   * once per rejected string. A label longer than 511 bytes shows its first
   * 511 bytes.
   */
  static const char* GetFallbackLabelFormat() { return "%-#6.3g"; }

protected:
  vtkColorTableLegendActor();
  ~vtkColorTableLegendActor() override;

  /**
   * Fits and measures the title. With AutoResizeText off it returns at once
   * and titleSize is not written. Otherwise titleSize becomes (0, 0) for an
   * empty title text, else the size of the title after its font was fitted
   * into (int(0.9 W), int(0.1 H)) (vertical) or (W, int(0.25 H))
   * (horizontal). size is the legend's (W, H).
   */
  virtual void SizeTitle(int titleSize[2], int size[2], vtkViewport* viewport);

  // The base class's SizeTitle sizes its own title vtkTextActor, which this
  // class does not draw; it stays reachable under its own signature.
  using vtkScalarBarActor::SizeTitle;

  /**
   * Creates NumberOfLabels label mappers and actors (values spread evenly,
   * or logarithmically when the lookup table uses a log scale, over range)
   * and writes their common size into labelSize: the fitted size with
   * AutoResizeText on, the target box (vertical (int(0.6 W),
   * int(0.86 H / n)), horizontal (int(0.8 W / n), int(0.25 H))) with it off.
   * The previous labels must have been released.
   */
  virtual void AllocateAndSizeLabels(int labelSize[2],
    int size[2],
    vtkViewport* viewport,
    double range[2]);

  /**
   * Checks the lookup table and text properties (warning or error and 0 when
   * one is missing), looks for a change of position or size and rebuilds the
   * layout when anything it depends on is newer than BuildTime. Returns 1
   * when the legend can be drawn.
   */
  int RebuildLayoutIfNeeded(vtkViewport* viewport) override;

  /**
   * Builds the legend's layout: labels, title, bar quads and colours,
   * background, frame and opacity rectangle. Does nothing without a lookup
   * table or text properties. MaximumNumberOfColors below 1 (reachable only
   * by a derived class, the base's setter clamps at 2) builds no quad, no bar
   * and no opacity rectangle; exactly 1 builds one quad over the whole bar,
   * coloured with the middle of the range.
   */
  void RebuildLayout(vtkViewport* viewport) override;

  /**
   * Releases the label mappers and actors.
   */
  void ReleaseLabels();

  /**
   * The text shown as title: Title, one blank and ComponentTitle when both
   * are set and not empty, else whichever of the two is.
   */
  std::string ComposeTitleText() const;

  /**
   * Puts the title text into TitleMapper with the title text property's font
   * and measures it into titleSize: its natural size with AutoResizeText
   * off, the size SizeTitle() fits it to with AutoResizeText on.
   */
  void PrepareTitle(vtkViewport* viewport, int size[2], int titleSize[2]);

  /**
   * ReadableTitle's step, once the labels are built: grows the title's font
   * to the labels' height, wraps or shortens it to its room and writes its
   * new size into titleSize.
   */
  void MakeTitleReadable(vtkViewport* viewport, int size[2], int titleSize[2]);

  /**
   * The text of each of the NumberOfLabels labels for the range: LabelFormat
   * applied to each value, or the automatic texts (AutomaticLabelFormat).
   */
  std::vector<std::string> ComposeLabelTexts(const double range[2]);

  /**
   * The label format actually used: LabelFormat when it formats exactly one
   * double, else GetFallbackLabelFormat() (with a warning once per rejected
   * format).
   */
  const char* GetUsableLabelFormat();

  /**
   * True when format contains exactly one floating-point conversion and
   * otherwise only plain text and "%%".
   */
  static bool IsSingleDoubleFormat(const char* format);

  /**
   * The legend's origin and size in viewport pixels, the size capped at
   * MaximumWidthInPixels x MaximumHeightInPixels.
   */
  void ComputeOriginAndSize(vtkViewport* viewport, int origin[2], int size[2]);

  int AutoResizeText;
  vtkTypeBool AutomaticLabelFormat;
  vtkTypeBool ReadableTitle;

  vtkTextMapper** TextMappers;
  vtkActor2D** TextActors;
  int NumberOfLabelsBuilt;
  vtkTextMapper* TitleMapper;
  vtkActor2D* TitleActor;

  // Title text property copied into TitleMapper at the last build, to see a
  // replacement of the property and not only a modification.
  vtkTextProperty* CopiedTitleTextProperty;
  // Last LabelFormat that was rejected (warned about once).
  std::string RejectedLabelFormat;

private:
  // The steps of RebuildLayout(), in the order it takes them; LegendLayout
  // carries what one step measures to the next.
  struct LegendLayout;
  void ResetLegendGeometry(int colors);
  void ComputeBarExtent(LegendLayout& layout);
  void LayoutBarQuads(const LegendLayout& layout);
  void LayoutBackgroundAndFrame(const LegendLayout& layout);
  void PositionTitleAndLabels(vtkViewport* viewport, const LegendLayout& layout);
  void LayoutOpacityRectangle(const LegendLayout& layout);

  vtkColorTableLegendActor(const vtkColorTableLegendActor&) = delete;
  void operator=(const vtkColorTableLegendActor&) = delete;
};

#endif
