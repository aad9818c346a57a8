#include "vtkColorTableLegendActor.h"

#include "vtkActor2D.h"
#include "vtkCellArray.h"
#include "vtkCellData.h"
#include "vtkCoordinate.h"
#include "vtkDataArray.h"
#include "vtkFloatArray.h"
#include "vtkNew.h"
#include "vtkObjectFactory.h"
#include "vtkPointData.h"
#include "vtkPoints.h"
#include "vtkPolyData.h"
#include "vtkProperty2D.h"
#include "vtkScalarsToColors.h"
#include "vtkSmartPointer.h"
#include "vtkTextMapper.h"
#include "vtkTextProperty.h"
#include "vtkTexturedActor2D.h"
#include "vtkUnsignedCharArray.h"
#include "vtkViewport.h"
#include "vtkWindow.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

vtkStandardNewMacro(vtkColorTableLegendActor);

// The layout, for a legend of W x H pixels: vertical, the bar takes what is
// left of the width once a label column of 0.6 W is reserved, and 0.86 H;
// the title is left-justified at (W/10, 0.9 H). Horizontal, the bar is 0.4 H
// high between two half label widths, and the title starts at the middle.
// Margins make room for the background and frame when either is on. The
// base's text actors are never drawn: every render pass is overridden, so
// what shows is this layout (background and frame, opacity texture, title,
// bar, labels, in that order), with the base's bar, background, frame and
// texture objects filled by it. Font sizes come from the text properties at
// every build, so a size fitted by AutoResizeText or ReadableTitle does not
// outlive the setting.

namespace
{
// Size of the buffer a label is formatted into, terminating zero included.
constexpr int LabelBufferSize = 512;

bool IsEmpty(const char* text)
{
  return text == nullptr || text[0] == '\0';
}

// Whether values can be spaced logarithmically over range: both ends on the
// same side of 0, as VTK's log-scale lookup tables map them.
bool LogSpacingPossible(const double range[2])
{
  return (range[0] > 0.0 && range[1] > 0.0) || (range[0] < 0.0 && range[1] < 0.0);
}

// Value at fraction f of range, on a logarithmic scale or a linear one. A
// range below 0 is spaced by the logarithms of the magnitudes; a range that
// holds 0 is spaced linearly.
double ValueAt(double f, const double range[2], bool logScale)
{
  if (logScale && LogSpacingPossible(range))
  {
    const double sign = range[0] < 0.0 ? -1.0 : 1.0;
    const double lmin = std::log10(sign * range[0]);
    const double lmax = std::log10(sign * range[1]);
    return sign * std::pow(10.0, lmin + f * (lmax - lmin));
  }
  return range[0] + f * (range[1] - range[0]);
}

// Text of v in fixed-point ('f') or exponent ('e') notation with the given
// number of decimals. A zero (rounded or not) carries no minus sign.
std::string FormatValue(double v, char notation, int decimals)
{
  char text[LabelBufferSize];
  const int written =
    std::snprintf(text, sizeof(text), notation == 'f' ? "%.*f" : "%.*e", decimals, v);
  if (written < 0)
  {
    return std::string();
  }
  const char* digits = text[0] == '-' ? text + 1 : text;
  return std::strtod(digits, nullptr) == 0.0 ? std::string(digits) : std::string(text);
}

// Texts for values in one notation with the fewest decimals (up to
// maxDecimals) that put each text within tolerance[i] of its value and make
// neighbouring texts of distinct values differ. Empty when none does.
std::vector<std::string> FewestDecimals(const std::vector<double>& values,
  const std::vector<double>& tolerance,
  char notation,
  int maxDecimals)
{
  const size_t n = values.size();
  std::vector<std::string> texts(n);
  for (int decimals = 0; decimals <= maxDecimals; ++decimals)
  {
    bool good = true;
    for (size_t i = 0; i < n && good; ++i)
    {
      texts[i] = FormatValue(values[i], notation, decimals);
      // Written as "not further than" so that a NaN value, which no text
      // comes closer to, does not hold up the search.
      good = !(std::abs(std::strtod(texts[i].c_str(), nullptr) - values[i]) > tolerance[i]);
      good = good && (i == 0 || values[i] == values[i - 1] || texts[i] != texts[i - 1]);
    }
    if (good)
    {
      return texts;
    }
  }
  return {};
}

size_t LongestText(const std::vector<std::string>& texts)
{
  size_t longest = 0;
  for (const std::string& text : texts)
  {
    longest = std::max(longest, text.size());
  }
  return longest;
}

// Label texts chosen from the values alone: fixed-point or exponent
// notation, whichever is shorter (fixed-point on a tie), each with the fewest
// decimals that keep every label within a fiftieth of the gap to its
// nearest distinct neighbour (a millionth of its value without one). Runs of
// equal texts keep the text on the label nearest their middle.
std::vector<std::string> AutomaticTexts(const std::vector<double>& values)
{
  const size_t n = values.size();
  std::vector<double> tolerance(n);
  for (size_t i = 0; i < n; ++i)
  {
    double gap = std::numeric_limits<double>::infinity();
    if (i > 0 && values[i - 1] != values[i])
    {
      gap = std::abs(values[i] - values[i - 1]);
    }
    if (i + 1 < n && values[i + 1] != values[i])
    {
      gap = std::min(gap, std::abs(values[i + 1] - values[i]));
    }
    tolerance[i] = std::isinf(gap) ? 1e-6 * std::abs(values[i]) : 0.02 * gap;
  }
  std::vector<std::string> texts = FewestDecimals(values, tolerance, 'f', 17);
  std::vector<std::string> exponent = FewestDecimals(values, tolerance, 'e', 16);
  if (texts.empty() || (!exponent.empty() && LongestText(exponent) < LongestText(texts)))
  {
    texts = exponent;
  }
  if (texts.empty())
  {
    // Values no notation tells apart within the tolerance (not seen with
    // finite values): every digit a double has.
    for (size_t i = 0; i < n; ++i)
    {
      char text[LabelBufferSize];
      std::snprintf(text, sizeof(text), "%.17g", values[i]);
      texts.emplace_back(text);
    }
  }
  for (size_t first = 0; first < n;)
  {
    size_t last = first;
    while (last + 1 < n && texts[last + 1] == texts[first])
    {
      ++last;
    }
    const size_t kept = first + (last - first) / 2;
    for (size_t i = first; i <= last; ++i)
    {
      if (i != kept)
      {
        texts[i].clear();
      }
    }
    first = last + 1;
  }
  return texts;
}

// Whether a title may be wrapped between text[at - 1] and text[at]: after a
// blank or one of _ - / . : , or where a lower-case letter meets an
// upper-case one.
bool IsWordBreak(const std::string& text, size_t at)
{
  if (at == 0 || at >= text.size())
  {
    return false;
  }
  const auto before = static_cast<unsigned char>(text[at - 1]);
  const auto after = static_cast<unsigned char>(text[at]);
  return std::strchr(" _-/.:,", before) != nullptr || (std::islower(before) && std::isupper(after));
}

// Whether byte `at` starts a character of UTF-8 text (or is its end).
bool StartsCharacter(const std::string& text, size_t at)
{
  return at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
}

// Longest prefix length of text, cut between characters, for which
// fits(prefix) holds; fits must hold for every prefix shorter than one that
// it holds for.
template <class Fits>
size_t LongestFittingPrefix(const std::string& text, Fits fits)
{
  size_t low = 0;                // fits
  size_t high = text.size() + 1; // does not fit, or beyond the text
  while (high - low > 1)
  {
    size_t mid = low + (high - low) / 2;
    while (mid > low && !StartsCharacter(text, mid))
    {
      --mid;
    }
    if (mid == low)
    {
      // No character boundary strictly between: step to the next one.
      mid = low + 1;
      while (mid < text.size() && !StartsCharacter(text, mid))
      {
        ++mid;
      }
      if (mid >= high)
      {
        break;
      }
    }
    if (fits(text.substr(0, mid)))
    {
      low = mid;
    }
    else
    {
      high = mid;
    }
  }
  return low;
}

// The title fitted into lines of at most `room` pixels (widthOf measures one
// line): unchanged when it fits. Otherwise, with twoLines, broken after the
// last word break that fits (or, without one, after the last character that
// fits); the last line ends in an ellipsis when it is still too wide.
template <class WidthOf>
std::string FitTitle(const std::string& title, int room, bool twoLines, WidthOf widthOf)
{
  if (room <= 0 || widthOf(title) <= room)
  {
    return title;
  }
  const auto fits = [&](const std::string& line) { return widthOf(line) <= room; };
  const auto trimmed = [](std::string text)
  {
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  };
  std::string first;
  std::string rest = title;
  if (twoLines)
  {
    const size_t fitting = LongestFittingPrefix(title, fits);
    size_t cut = fitting;
    while (cut > 0 && !IsWordBreak(title, cut))
    {
      --cut;
    }
    if (cut == 0)
    {
      // No word break fits: cut after the last character that does, and
      // after the first character at least.
      cut = std::max<size_t>(fitting, 1);
      while (!StartsCharacter(title, cut))
      {
        ++cut;
      }
    }
    first = trimmed(title.substr(0, cut)) + "\n";
    rest = trimmed(title.substr(cut));
  }
  if (!fits(rest))
  {
    const std::string ellipsis = "\xE2\x80\xA6"; // U+2026, UTF-8
    const size_t kept =
      LongestFittingPrefix(rest, [&](const std::string& line) { return fits(line + ellipsis); });
    rest = trimmed(rest.substr(0, kept)) + ellipsis;
  }
  return first + rest;
}

// True when a polydata's texture coordinates can take the rectangle's four
// corners.
bool HasFourTextureCoordinates(vtkPolyData* data)
{
  vtkDataArray* tcoords = data->GetPointData()->GetTCoords();
  return tcoords && tcoords->GetNumberOfComponents() == 2 && tcoords->GetNumberOfTuples() >= 4;
}
} // namespace

//------------------------------------------------------------------------------
vtkColorTableLegendActor::vtkColorTableLegendActor()
  : AutoResizeText(0)
  , AutomaticLabelFormat(0)
  , ReadableTitle(0)
  , TextMappers(nullptr)
  , TextActors(nullptr)
  , NumberOfLabelsBuilt(0)
  , TitleMapper(vtkTextMapper::New())
  , TitleActor(vtkActor2D::New())
  , CopiedTitleTextProperty(nullptr)
{
  // The title is placed relative to the legend's origin, like every other
  // part of it.
  this->TitleActor->SetMapper(this->TitleMapper);
  this->TitleActor->GetPositionCoordinate()->SetReferenceCoordinate(this->PositionCoordinate);
}

//------------------------------------------------------------------------------
vtkColorTableLegendActor::~vtkColorTableLegendActor()
{
  this->ReleaseLabels();
  this->TitleActor->Delete();
  this->TitleMapper->Delete();
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::ShallowCopy(vtkProp* prop)
{
  if (auto* other = vtkColorTableLegendActor::SafeDownCast(prop))
  {
    this->SetAutoResizeText(other->GetAutoResizeText());
    this->SetAutomaticLabelFormat(other->GetAutomaticLabelFormat());
    this->SetReadableTitle(other->GetReadableTitle());
  }
  this->Superclass::ShallowCopy(prop);
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::ReleaseLabels()
{
  if (this->TextMappers)
  {
    for (int i = 0; i < this->NumberOfLabelsBuilt; ++i)
    {
      this->TextMappers[i]->Delete();
      this->TextActors[i]->Delete();
    }
    delete[] this->TextMappers;
    delete[] this->TextActors;
  }
  this->TextMappers = nullptr;
  this->TextActors = nullptr;
  this->NumberOfLabelsBuilt = 0;
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::ReleaseGraphicsResources(vtkWindow* window)
{
  this->Superclass::ReleaseGraphicsResources(window);
  this->TitleActor->ReleaseGraphicsResources(window);
  for (int i = 0; i < this->NumberOfLabelsBuilt; ++i)
  {
    this->TextActors[i]->ReleaseGraphicsResources(window);
  }
}

//------------------------------------------------------------------------------
std::string vtkColorTableLegendActor::ComposeTitleText() const
{
  const bool hasTitle = !IsEmpty(this->Title);
  const bool hasComponent = !IsEmpty(this->ComponentTitle);
  if (hasTitle && hasComponent)
  {
    return std::string(this->Title) + " " + this->ComponentTitle;
  }
  if (hasTitle)
  {
    return this->Title;
  }
  if (hasComponent)
  {
    return this->ComponentTitle;
  }
  return std::string();
}

//------------------------------------------------------------------------------
bool vtkColorTableLegendActor::IsSingleDoubleFormat(const char* format)
{
  if (format == nullptr)
  {
    return false;
  }
  int conversions = 0;
  for (const char* p = format; *p; ++p)
  {
    if (*p != '%')
    {
      continue;
    }
    ++p;
    if (*p == '%')
    {
      continue;
    }
    while (*p && std::strchr("-+ #0", *p))
    {
      ++p;
    }
    while (std::isdigit(static_cast<unsigned char>(*p)))
    {
      ++p;
    }
    if (*p == '.')
    {
      ++p;
      while (std::isdigit(static_cast<unsigned char>(*p)))
      {
        ++p;
      }
    }
    if (*p == 'l')
    {
      ++p;
    }
    if (*p == '\0' || !std::strchr("fFeEgGaA", *p))
    {
      return false;
    }
    ++conversions;
  }
  return conversions == 1;
}

//------------------------------------------------------------------------------
const char* vtkColorTableLegendActor::GetUsableLabelFormat()
{
  if (IsSingleDoubleFormat(this->LabelFormat))
  {
    return this->LabelFormat;
  }
  const std::string rejected = this->LabelFormat ? this->LabelFormat : "(null)";
  if (rejected != this->RejectedLabelFormat)
  {
    this->RejectedLabelFormat = rejected;
    vtkWarningMacro(<< "LabelFormat \"" << rejected
                    << "\" does not format exactly one double; labels use \""
                    << GetFallbackLabelFormat() << "\"");
  }
  return GetFallbackLabelFormat();
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::ComputeOriginAndSize(vtkViewport* viewport,
  int origin[2],
  int size[2])
{
  const int* computedOrigin = this->PositionCoordinate->GetComputedViewportValue(viewport);
  origin[0] = computedOrigin[0];
  origin[1] = computedOrigin[1];
  const int* corner = this->Position2Coordinate->GetComputedViewportValue(viewport);
  size[0] = std::min(corner[0] - origin[0], this->MaximumWidthInPixels);
  size[1] = std::min(corner[1] - origin[1], this->MaximumHeightInPixels);
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::SizeTitle(int titleSize[2], int size[2], vtkViewport* viewport)
{
  if (!this->AutoResizeText)
  {
    return;
  }
  titleSize[0] = titleSize[1] = 0;
  if (this->ComposeTitleText().empty())
  {
    return;
  }
  int width;
  int height;
  if (this->Orientation == VTK_ORIENT_VERTICAL)
  {
    width = static_cast<int>(0.9 * size[0]);
    height = static_cast<int>(0.1 * size[1]);
  }
  else
  {
    width = size[0];
    height = static_cast<int>(0.25 * size[1]);
  }
  this->TitleMapper->SetConstrainedFontSize(viewport, width, height);
  this->TitleMapper->GetSize(viewport, titleSize);
}

//------------------------------------------------------------------------------
std::vector<std::string> vtkColorTableLegendActor::ComposeLabelTexts(const double range[2])
{
  const int n = std::max(this->NumberOfLabels, 0);
  const bool logScale = this->LookupTable->UsingLogScale() != 0;
  std::vector<double> values(n);
  for (int i = 0; i < n; ++i)
  {
    const double f = n >= 2 ? static_cast<double>(i) / (n - 1) : 0.5;
    values[i] = ValueAt(f, range, logScale);
  }
  if (this->AutomaticLabelFormat)
  {
    return AutomaticTexts(values);
  }
  const char* format = this->GetUsableLabelFormat();
  std::vector<std::string> texts;
  texts.reserve(n);
  char text[LabelBufferSize];
  for (const double value : values)
  {
    // The format was checked to take one double; snprintf bounds the text to
    // the buffer whatever its length.
    if (std::snprintf(text, sizeof(text), format, value) < 0)
    {
      text[0] = '\0';
    }
    texts.emplace_back(text);
  }
  return texts;
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::AllocateAndSizeLabels(int labelSize[2],
  int size[2],
  vtkViewport* viewport,
  double range[2])
{
  const int n = std::max(this->NumberOfLabels, 0);
  labelSize[0] = labelSize[1] = 0;
  this->TextMappers = n > 0 ? new vtkTextMapper*[n] : nullptr;
  this->TextActors = n > 0 ? new vtkActor2D*[n] : nullptr;

  const std::vector<std::string> texts = this->ComposeLabelTexts(range);
  for (int i = 0; i < n; ++i)
  {
    vtkTextMapper* mapper = vtkTextMapper::New();
    mapper->SetInput(texts[i].c_str());
    mapper->GetTextProperty()->ShallowCopy(this->LabelTextProperty);
    this->TextMappers[i] = mapper;

    vtkActor2D* actor = vtkActor2D::New();
    actor->SetMapper(mapper);
    actor->SetProperty(this->GetProperty());
    actor->GetPositionCoordinate()->SetReferenceCoordinate(this->PositionCoordinate);
    this->TextActors[i] = actor;
  }
  // From here on the release of these objects is owed.
  this->NumberOfLabelsBuilt = n;

  if (n == 0)
  {
    return;
  }
  int width;
  int height;
  if (this->Orientation == VTK_ORIENT_VERTICAL)
  {
    width = static_cast<int>(0.6 * size[0]);
    height = static_cast<int>(0.86 * size[1] / n);
  }
  else
  {
    width = static_cast<int>(0.8 * size[0] / n);
    height = static_cast<int>(0.25 * size[1]);
  }
  if (this->AutoResizeText)
  {
    vtkTextMapper::SetMultipleConstrainedFontSize(
      viewport, width, height, this->TextMappers, n, labelSize);
  }
  else
  {
    labelSize[0] = width;
    labelSize[1] = height;
  }
}

//------------------------------------------------------------------------------
int vtkColorTableLegendActor::RebuildLayoutIfNeeded(vtkViewport* viewport)
{
  if (!this->LookupTable)
  {
    vtkWarningMacro(<< "Need a mapper to render a scalar bar");
    return 0;
  }
  if (!this->TitleTextProperty)
  {
    vtkErrorMacro(<< "Need title text property to render a scalar bar");
    return 0;
  }
  if (!this->LabelTextProperty)
  {
    vtkErrorMacro(<< "Need label text property to render a scalar bar");
    return 0;
  }

  // The origin and size are looked at only when the viewport or its window
  // changed since the last build.
  bool positionChanged = false;
  const vtkMTimeType built = this->BuildTime.GetMTime();
  vtkWindow* window = viewport->GetVTKWindow();
  if (viewport->GetMTime() > built || (window && window->GetMTime() > built))
  {
    int origin[2];
    int size[2];
    this->ComputeOriginAndSize(viewport, origin, size);
    positionChanged = size[0] != this->LastSize[0] || size[1] != this->LastSize[1] ||
      origin[0] != this->LastOrigin[0] || origin[1] != this->LastOrigin[1];
  }

  auto newer = [built](vtkObject* object) { return object && object->GetMTime() > built; };
  if (positionChanged || this->GetMTime() > built || newer(this->LookupTable) ||
    newer(this->LabelTextProperty) || newer(this->TitleTextProperty) ||
    newer(this->BackgroundProperty) || newer(this->FrameProperty))
  {
    this->RebuildLayout(viewport);
  }
  return 1;
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::PrepareTitle(vtkViewport* viewport, int size[2], int titleSize[2])
{
  this->TitleActor->SetProperty(this->GetProperty());
  const std::string title = this->ComposeTitleText();
  this->TitleMapper->SetInput(title.c_str());
  vtkTextProperty* font = this->TitleMapper->GetTextProperty();
  if (this->TitleTextProperty->GetMTime() > this->BuildTime.GetMTime() ||
    this->TitleTextProperty != this->CopiedTitleTextProperty)
  {
    font->ShallowCopy(this->TitleTextProperty);
    font->SetJustificationToLeft();
    this->CopiedTitleTextProperty = this->TitleTextProperty;
  }
  // A size fitted or raised at an earlier build starts again from the
  // property's.
  font->SetFontSize(this->TitleTextProperty->GetFontSize());

  // Without text fitting the title keeps its font size, and its natural size
  // there is what the layout uses.
  if (!this->AutoResizeText && !title.empty())
  {
    this->TitleMapper->GetSize(viewport, titleSize);
  }
  this->SizeTitle(titleSize, size, viewport);
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::MakeTitleReadable(vtkViewport* viewport,
  int size[2],
  int titleSize[2])
{
  const std::string title = this->ComposeTitleText();
  int labelHeight = 0;
  int labelFont = 0;
  for (int i = 0; i < this->NumberOfLabelsBuilt; ++i)
  {
    int extent[2];
    this->TextMappers[i]->GetSize(viewport, extent);
    labelHeight = std::max(labelHeight, extent[1]);
    labelFont = std::max(labelFont, this->TextMappers[i]->GetTextProperty()->GetFontSize());
  }
  if (title.empty() || labelHeight == 0)
  {
    return;
  }

  // Grow the font until one line of the title is as high as the labels
  // (fonts of other families or styles than the labels' may need a size
  // above theirs).
  vtkTextProperty* font = this->TitleMapper->GetTextProperty();
  int extent[2];
  const auto measure = [&](const std::string& text)
  {
    this->TitleMapper->SetInput(text.c_str());
    this->TitleMapper->GetSize(viewport, extent);
    return extent[0];
  };
  font->SetFontSize(std::max(font->GetFontSize(), labelFont));
  measure(title);
  for (int grown = 0; extent[1] < labelHeight && grown < labelHeight; ++grown)
  {
    font->SetFontSize(font->GetFontSize() + 1);
    measure(title);
  }

  // Fit the width: the title is left-justified at W/10 (vertical) or at the
  // middle (horizontal) and has the rest of the legend's width. A vertical
  // legend has room above its bar for a second line; a horizontal one, whose
  // title sits next to the labels, has not.
  const int W = size[0];
  const bool vertical = this->Orientation == VTK_ORIENT_VERTICAL;
  const std::string shown = FitTitle(title, vertical ? W - W / 10 : W - W / 2, vertical, measure);
  measure(shown);
  titleSize[0] = extent[0];
  titleSize[1] = extent[1];
}

//------------------------------------------------------------------------------
// What the steps of RebuildLayout() share: the legend's size, the measured
// title and labels, and the bar's extent and margins, in viewport pixels.
struct vtkColorTableLegendActor::LegendLayout
{
  int W = 0;
  int H = 0;
  bool Vertical = true;
  bool TextAfter = false;
  int Colors = 0;
  bool LogScale = false;
  double Range[2] = { 0.0, 0.0 };
  int TitleSize[2] = { 0, 0 };
  int LabelSize[2] = { 0, 0 };
  int PadX = 0;
  int PadY = 0;
  int BarWidth = 0;
  int BarHeight = 0;
};

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::RebuildLayout(vtkViewport* viewport)
{
  if (!this->LookupTable || !this->TitleTextProperty || !this->LabelTextProperty)
  {
    return;
  }
  vtkDebugMacro(<< "Rebuilding the legend's layout");
  // Label mappers and actors are made anew at each rebuild, as the base
  // class does with its own text actors.
  this->ReleaseLabels();

  LegendLayout layout;
  layout.LogScale = this->LookupTable->UsingLogScale() != 0;
  const double* lookupRange = this->LookupTable->GetRange();
  layout.Range[0] = lookupRange[0];
  layout.Range[1] = lookupRange[1];
  layout.Colors = std::max(this->MaximumNumberOfColors, 0);
  if (layout.LogScale && !LogSpacingPossible(layout.Range))
  {
    vtkWarningMacro(<< "the lookup table's log scale cannot show the range (" << layout.Range[0]
                    << ", " << layout.Range[1] << "): labels are spaced linearly");
  }
  this->ResetLegendGeometry(layout.Colors);

  int size[2];
  this->ComputeOriginAndSize(viewport, this->LastOrigin, size);
  this->LastSize[0] = size[0];
  this->LastSize[1] = size[1];
  layout.W = size[0];
  layout.H = size[1];
  layout.Vertical = this->Orientation == VTK_ORIENT_VERTICAL;
  layout.TextAfter = this->TextPosition == vtkScalarBarActor::SucceedScalarBar;

  // Title, then labels; a readable title is sized against the labels.
  this->PrepareTitle(viewport, size, layout.TitleSize);
  this->AllocateAndSizeLabels(layout.LabelSize, size, viewport, layout.Range);
  if (this->ReadableTitle)
  {
    this->MakeTitleReadable(viewport, size, layout.TitleSize);
  }

  this->ComputeBarExtent(layout);
  this->LayoutBarQuads(layout);
  this->LayoutBackgroundAndFrame(layout);
  this->PositionTitleAndLabels(viewport, layout);
  this->LayoutOpacityRectangle(layout);
  this->BuildTime.Modified();
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::ResetLegendGeometry(int colors)
{
  // Bar geometry: two points per quad boundary, one quad and one colour per
  // colour step.
  vtkNew<vtkPoints> points;
  points->SetNumberOfPoints(colors > 0 ? 2 * (colors + 1) : 0);
  vtkNew<vtkCellArray> polys;
  polys->AllocateEstimate(colors, 4);
  vtkNew<vtkUnsignedCharArray> rgba;
  rgba->SetNumberOfComponents(this->UseOpacity ? 4 : 3);
  rgba->SetNumberOfTuples(colors);
  this->ScalarBarActor->SetProperty(this->GetProperty());
  this->ScalarBar->Initialize();
  this->ScalarBar->SetPoints(points);
  this->ScalarBar->SetPolys(polys);
  this->ScalarBar->GetCellData()->SetScalars(rgba);

  // Frame outline and background rectangle.
  vtkNew<vtkPoints> framePoints;
  framePoints->SetNumberOfPoints(5);
  vtkNew<vtkCellArray> frameLines;
  this->Frame->Initialize();
  this->Frame->SetPoints(framePoints);
  this->Frame->SetLines(frameLines);
  this->FrameActor->SetProperty(this->FrameProperty);

  vtkNew<vtkPoints> backgroundPoints;
  backgroundPoints->SetNumberOfPoints(4);
  vtkNew<vtkCellArray> backgroundPolys;
  this->Background->Initialize();
  this->Background->SetPoints(backgroundPoints);
  this->Background->SetPolys(backgroundPolys);
  this->BackgroundActor->SetProperty(this->BackgroundProperty);
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::ComputeBarExtent(LegendLayout& layout)
{
  const int W = layout.W;
  const int H = layout.H;
  const int LW = layout.LabelSize[0];
  const int LH = layout.LabelSize[1];
  const bool boxed = this->DrawBackground || this->DrawFrame;
  layout.PadX = 0;
  layout.PadY = 0;
  if (layout.Vertical)
  {
    if (boxed)
    {
      layout.PadX = static_cast<int>(0.05 * W);
      const int halfLabel = LH / 2; // halved in integers
      layout.PadY = static_cast<int>(halfLabel + 0.05 * H);
    }
    layout.BarWidth = W - (2 * layout.PadX + 4) - LW;
    layout.BarHeight = static_cast<int>(0.86 * H) - layout.PadY;
  }
  else
  {
    if (boxed)
    {
      layout.PadX = LW / 2 + static_cast<int>(0.05 * W);
      layout.PadY = static_cast<int>(0.05 * H);
    }
    layout.BarWidth = W - 2 * layout.PadX;
    layout.BarHeight = static_cast<int>(0.4 * H) - layout.PadY;
  }
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::LayoutBarQuads(const LegendLayout& layout)
{
  const int colors = layout.Colors;
  const int padX = layout.PadX;
  const int padY = layout.PadY;
  const int barWidth = layout.BarWidth;
  const int barHeight = layout.BarHeight;
  const bool textAfter = layout.TextAfter;

  // Bar points, from the minimum's end to the maximum's.
  vtkPoints* barPoints = this->ScalarBar->GetPoints();
  if (colors > 0)
  {
    if (layout.Vertical)
    {
      const double d = static_cast<double>(barHeight) / colors;
      const double x0 = textAfter ? padX : layout.W - barWidth - padX;
      const double x1 = textAfter ? padX + barWidth : layout.W - padX;
      for (int i = 0; i <= colors; ++i)
      {
        const double y = padY + i * d;
        barPoints->SetPoint(2 * i, x0, y, 0.0);
        barPoints->SetPoint(2 * i + 1, x1, y, 0.0);
      }
    }
    else
    {
      const double d = static_cast<double>(barWidth) / colors;
      const double y0 = textAfter ? barHeight + padY : layout.H - padY;
      const double y1 = textAfter ? padY : layout.H - barHeight - padY;
      for (int i = 0; i <= colors; ++i)
      {
        const double x = padX + i * d;
        barPoints->SetPoint(2 * i, x, y0, 0.0);
        barPoints->SetPoint(2 * i + 1, x, y1, 0.0);
      }
    }
  }

  // Quads and their colours: the first quad has the minimum's colour, the
  // last the maximum's. A single quad shows the middle of the range.
  vtkCellArray* polys = this->ScalarBar->GetPolys();
  auto* rgba = vtkUnsignedCharArray::SafeDownCast(this->ScalarBar->GetCellData()->GetScalars());
  const int components = rgba->GetNumberOfComponents();
  for (int i = 0; i < colors; ++i)
  {
    const vtkIdType quad[4] = { 2 * i, 2 * i + 1, 2 * i + 3, 2 * i + 2 };
    polys->InsertNextCell(4, quad);
    const double f = colors >= 2 ? static_cast<double>(i) / (colors - 1) : 0.5;
    const unsigned char* color =
      this->LookupTable->MapValue(ValueAt(f, layout.Range, layout.LogScale));
    unsigned char* tuple = rgba->GetPointer(components * i);
    std::copy(color, color + components, tuple);
  }
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::LayoutBackgroundAndFrame(const LegendLayout& layout)
{
  const double W = layout.W;
  const double H = layout.H;
  vtkPoints* backgroundPoints = this->Background->GetPoints();
  vtkPoints* framePoints = this->Frame->GetPoints();
  const double corners[4][2] = { { 0.0, 0.0 }, { 0.0, H }, { W, H }, { W, 0.0 } };
  for (int i = 0; i < 4; ++i)
  {
    backgroundPoints->SetPoint(i, corners[i][0], corners[i][1], 0.0);
    framePoints->SetPoint(i, corners[i][0], corners[i][1], 0.0);
  }
  framePoints->SetPoint(4, 0.0, 0.0, 0.0);
  const vtkIdType rectangle[4] = { 0, 1, 2, 3 };
  const vtkIdType outline[5] = { 0, 1, 2, 3, 4 };
  this->Background->GetPolys()->InsertNextCell(4, rectangle);
  this->Frame->GetLines()->InsertNextCell(5, outline);
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::PositionTitleAndLabels(vtkViewport* viewport,
  const LegendLayout& layout)
{
  const int W = layout.W;
  const int H = layout.H;
  const int padX = layout.PadX;
  const int padY = layout.PadY;
  const int barWidth = layout.BarWidth;
  const int barHeight = layout.BarHeight;
  const bool textAfter = layout.TextAfter;
  const int n = this->NumberOfLabelsBuilt;
  auto labelHeight = [this, viewport](int i)
  {
    int labelExtent[2];
    this->TextMappers[i]->GetSize(viewport, labelExtent);
    return labelExtent[1];
  };
  if (layout.Vertical)
  {
    const int tenthWidth = W / 10; // in integers
    this->TitleActor->SetPosition(tenthWidth, 0.9 * H);
    for (int i = 0; i < n; ++i)
    {
      this->TextMappers[i]->GetTextProperty()->SetJustificationToLeft();
      const double h = labelHeight(i);
      const double y = n >= 2 ? padY + static_cast<double>(i) / (n - 1) * barHeight - 0.6 * h
                              : 0.5 * (barHeight + padY) - 0.6 * h;
      const double x = textAfter ? padX + barWidth + 3 : padX;
      this->TextActors[i]->SetPosition(x, y);
    }
  }
  else
  {
    const int TH = layout.TitleSize[1];
    const int LH = layout.LabelSize[1];
    const double titleY = textAfter ? LH + barHeight + 0.1 * H + 0.15 * TH : padY + 0.1 * TH;
    const int halfWidth = W / 2; // halved in integers
    this->TitleActor->SetPosition(halfWidth, titleY);
    for (int i = 0; i < n; ++i)
    {
      this->TextMappers[i]->GetTextProperty()->SetJustificationToCentered();
      const double x =
        n >= 2 ? padX + static_cast<double>(i) / (n - 1) * barWidth : 0.5 * (barWidth + padX);
      const double y = textAfter ? barHeight + padY + 0.05 * H : 0.3 * H;
      this->TextActors[i]->SetPosition(x, y);
    }
  }
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::LayoutOpacityRectangle(const LegendLayout& layout)
{
  const int padX = layout.PadX;
  const int padY = layout.PadY;
  const int barWidth = layout.BarWidth;
  const int barHeight = layout.BarHeight;
  const bool textAfter = layout.TextAfter;
  double x1;
  double y1;
  if (layout.Vertical)
  {
    x1 = textAfter ? padX : layout.W - barWidth - padX;
    y1 = padY;
  }
  else
  {
    x1 = padX;
    y1 = textAfter ? padY : layout.H - barHeight - padY;
  }
  const double x2 = x1 + barWidth;
  const double y2 = y1 + barHeight;
  vtkNew<vtkPoints> texturePoints;
  texturePoints->SetNumberOfPoints(4);
  texturePoints->SetPoint(0, x1, y1, 0.0);
  texturePoints->SetPoint(1, x2, y1, 0.0);
  texturePoints->SetPoint(2, x2, y2, 0.0);
  texturePoints->SetPoint(3, x1, y2, 0.0);
  this->TexturePolyData->SetPoints(texturePoints);
  if (!HasFourTextureCoordinates(this->TexturePolyData))
  {
    vtkNew<vtkFloatArray> tcoords;
    tcoords->SetNumberOfComponents(2);
    tcoords->SetNumberOfTuples(4);
    tcoords->SetTuple2(0, 0.0, 0.0);
    this->TexturePolyData->GetPointData()->SetTCoords(tcoords);
  }
  if (this->TexturePolyData->GetNumberOfPolys() == 0)
  {
    const vtkIdType rectangle[4] = { 0, 1, 2, 3 };
    vtkNew<vtkCellArray> texturePolys;
    texturePolys->InsertNextCell(4, rectangle);
    this->TexturePolyData->SetPolys(texturePolys);
  }
  // A grid width of zero or less shows the checker image once.
  const double grid = this->TextureGridWidth;
  const double s = grid > 0.0 ? barWidth / grid : 1.0;
  const double t = grid > 0.0 ? barHeight / grid : 1.0;
  vtkDataArray* tcoords = this->TexturePolyData->GetPointData()->GetTCoords();
  tcoords->SetTuple2(1, s, 0.0);
  tcoords->SetTuple2(2, s, t);
  tcoords->SetTuple2(3, 0.0, t);
  tcoords->Modified();
}

//------------------------------------------------------------------------------
int vtkColorTableLegendActor::RenderOpaqueGeometry(vtkViewport* viewport)
{
  if (!this->RebuildLayoutIfNeeded(viewport))
  {
    return 0;
  }
  int renderedSomething = 0;
  if (!this->ComposeTitleText().empty())
  {
    renderedSomething += this->TitleActor->RenderOpaqueGeometry(viewport);
  }
  this->ScalarBarActor->RenderOpaqueGeometry(viewport);
  for (int i = 0; i < this->NumberOfLabelsBuilt; ++i)
  {
    renderedSomething += this->TextActors[i]->RenderOpaqueGeometry(viewport);
  }
  return renderedSomething > 0 ? 1 : 0;
}

//------------------------------------------------------------------------------
int vtkColorTableLegendActor::RenderTranslucentPolygonalGeometry(vtkViewport*)
{
  return 0;
}

//------------------------------------------------------------------------------
vtkTypeBool vtkColorTableLegendActor::HasTranslucentPolygonalGeometry()
{
  return 0;
}

//------------------------------------------------------------------------------
int vtkColorTableLegendActor::RenderOverlay(vtkViewport* viewport)
{
  // Draws what the last build laid out; nothing before the first build or
  // while an input is missing (RenderOpaqueGeometry reported it).
  if (!this->LookupTable || !this->TitleTextProperty || !this->LabelTextProperty ||
    this->BuildTime.GetMTime() == 0)
  {
    return 0;
  }
  const bool hasBar = this->ScalarBar->GetNumberOfCells() > 0;
  if (this->DrawBackground)
  {
    this->BackgroundActor->RenderOverlay(viewport);
  }
  if (this->DrawFrame)
  {
    this->FrameActor->RenderOverlay(viewport);
  }
  if (this->UseOpacity && hasBar)
  {
    this->TextureActor->RenderOverlay(viewport);
  }
  int renderedSomething = 0;
  if (!this->ComposeTitleText().empty())
  {
    renderedSomething += this->TitleActor->RenderOverlay(viewport);
  }
  if (hasBar)
  {
    this->ScalarBarActor->RenderOverlay(viewport);
  }
  for (int i = 0; i < this->NumberOfLabelsBuilt; ++i)
  {
    renderedSomething += this->TextActors[i]->RenderOverlay(viewport);
  }
  return renderedSomething > 0 ? 1 : 0;
}

//------------------------------------------------------------------------------
void vtkColorTableLegendActor::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
}
