/**
 * @class   vtkColorTableLegendActor
 * @brief   colour legend of a lookup table with its own layout and optional text fitting
 *
 * vtkColorTableLegendActor shows a lookup table's colours as a bar of quads,
 * value labels beside (vertical) or under (horizontal) the bar and a title
 * (Title, a blank and ComponentTitle). It keeps every setting of
 * vtkScalarBarActor but lays the legend out itself, and owns the title and
 * label text mappers that VTK 9's scalar bar no longer has. A host gives it
 * a lookup table, places it with vtkActor2D's position coordinates and adds
 * it with vtkRenderer::AddActor2D(); the layout is rebuilt only when the
 * actor, its table, its text, background or frame properties, or its place
 * on screen changed.
 *
 * For ranges not known in advance, turn on AutomaticLabelFormat and
 * ReadableTitle. A log-scale table whose range holds 0 is spaced linearly,
 * with a warning at each rebuild.
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
   * RenderOpaqueGeometry() rebuilds the layout when needed (1: there is text
   * to draw); RenderOverlay() draws the legend. Nothing is translucent.
   */
  int RenderOpaqueGeometry(vtkViewport* viewport) override;
  int RenderTranslucentPolygonalGeometry(vtkViewport* viewport) override;
  int RenderOverlay(vtkViewport* viewport) override;
  vtkTypeBool HasTranslucentPolygonalGeometry() override;
  ///@}

  /**
   * Releases the graphics resources of the bar, title and labels.
   */
  void ReleaseGraphicsResources(vtkWindow* window) override;

  /**
   * Copies the base class's settings and, from another legend,
   * AutoResizeText, AutomaticLabelFormat and ReadableTitle.
   */
  void ShallowCopy(vtkProp* prop) override;

  ///@{
  /**
   * 1: fit the title and label fonts to the legend's size; 0 (default): use
   * the text properties' font sizes.
   */
  vtkSetMacro(AutoResizeText, int);
  vtkGetMacro(AutoResizeText, int);
  vtkBooleanMacro(AutoResizeText, int);
  ///@}

  ///@{
  /**
   * 1: the label texts are chosen from the range (fixed or exponent
   * notation, the fewest decimals that keep neighbours distinct; a value
   * repeated by every label is shown once); 0 (default): LabelFormat.
   */
  vtkSetMacro(AutomaticLabelFormat, vtkTypeBool);
  vtkGetMacro(AutomaticLabelFormat, vtkTypeBool);
  vtkBooleanMacro(AutomaticLabelFormat, vtkTypeBool);
  ///@}

  ///@{
  /**
   * 1: the title is at least as high as the labels; too wide, it wraps onto
   * a second line (vertical legend) and is cut with an ellipsis. 0 (default):
   * the title keeps its size.
   */
  vtkSetMacro(ReadableTitle, vtkTypeBool);
  vtkGetMacro(ReadableTitle, vtkTypeBool);
  vtkBooleanMacro(ReadableTitle, vtkTypeBool);
  ///@}

  /**
   * The label format used, with a warning, when LabelFormat is not exactly
   * one floating-point conversion (%f %e %g %a and their capitals) among
   * plain text and "%%".
   */
  static const char* GetFallbackLabelFormat() { return "%-#6.3g"; }

protected:
  vtkColorTableLegendActor();
  ~vtkColorTableLegendActor() override;

  /**
   * With AutoResizeText on, fits the title's font to the legend's size
   * (W, H) and writes its size into titleSize; otherwise does nothing.
   */
  virtual void SizeTitle(int titleSize[2], int size[2], vtkViewport* viewport);

  // The base's own (for its title actor, which this class does not draw).
  using vtkScalarBarActor::SizeTitle;

  /**
   * Creates the NumberOfLabels label mappers and actors over range and
   * writes their common size into labelSize. Call ReleaseLabels() first.
   */
  virtual void AllocateAndSizeLabels(int labelSize[2],
    int size[2],
    vtkViewport* viewport,
    double range[2]);

  /**
   * Rebuilds the layout when anything it depends on changed; 0 (with a
   * message) without a lookup table or text properties.
   */
  int RebuildLayoutIfNeeded(vtkViewport* viewport) override;

  /**
   * Builds labels, title, bar, background, frame and opacity rectangle.
   */
  void RebuildLayout(vtkViewport* viewport) override;

  /// Releases the label mappers and actors.
  void ReleaseLabels();

  /// Title, a blank and ComponentTitle, or whichever of them is set.
  std::string ComposeTitleText() const;

  /// Sets up TitleMapper and measures the title into titleSize.
  void PrepareTitle(vtkViewport* viewport, int size[2], int titleSize[2]);

  /// ReadableTitle's step, once the labels are built.
  void MakeTitleReadable(vtkViewport* viewport, int size[2], int titleSize[2]);

  /// The NumberOfLabels label texts for range.
  std::vector<std::string> ComposeLabelTexts(const double range[2]);

  /// LabelFormat, or the fallback (warned once per rejected format).
  const char* GetUsableLabelFormat();

  /// Whether format has exactly one floating-point conversion.
  static bool IsSingleDoubleFormat(const char* format);

  /// Origin and size in viewport pixels, the size capped by the maxima.
  void ComputeOriginAndSize(vtkViewport* viewport, int origin[2], int size[2]);

  int AutoResizeText;
  vtkTypeBool AutomaticLabelFormat;
  vtkTypeBool ReadableTitle;

  vtkTextMapper** TextMappers;
  vtkActor2D** TextActors;
  int NumberOfLabelsBuilt;
  vtkTextMapper* TitleMapper;
  vtkActor2D* TitleActor;

  // The title property at the last build (a replaced one forces a rebuild).
  vtkTextProperty* CopiedTitleTextProperty;
  // Last LabelFormat that was rejected (warned about once).
  std::string RejectedLabelFormat;

private:
  // RebuildLayout()'s steps, in order.
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
