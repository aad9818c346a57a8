// vtkColorTableLegendActor in real windows: every layout against a stored
// baseline image, the texts the labels and the title draw, rebuilds on change
// only, text fitting, label formats, degenerate ranges and the diagnostics.
#include "vtkColorTableLegendActor.h"

#include "orviTestUtils.h"

#include "vtkCoordinate.h"
#include "vtkLookupTable.h"
#include "vtkProperty2D.h"
#include "vtkTextMapper.h"
#include "vtkTextProperty.h"

namespace
{
// Reads the legend's protected layout state.
class LegendProbe : public vtkColorTableLegendActor
{
public:
  static LegendProbe* New();
  vtkTypeMacro(LegendProbe, vtkColorTableLegendActor);
  std::vector<std::string> Labels() const
  {
    std::vector<std::string> labels;
    for (int i = 0; i < this->NumberOfLabelsBuilt; ++i)
    {
      labels.emplace_back(this->TextMappers[i]->GetInput());
    }
    return labels;
  }
  std::string Title() const
  {
    return this->TitleMapper->GetInput() ? this->TitleMapper->GetInput() : "";
  }
  vtkMTimeType Built() const { return this->BuildTime.GetMTime(); }
  // Origin and size along x.
  std::array<int, 2> Width() const { return { this->LastOrigin[0], this->LastSize[0] }; }
  // The base's setter clamps at 2; a derived class can go lower.
  void ForceColors(int colors)
  {
    this->MaximumNumberOfColors = colors;
    this->Modified();
  }
};
vtkStandardNewMacro(LegendProbe);

// A legend with a blue-to-red table on (0, 1), yellow labels, a green title
// and flat text of size 12, at (x, y) with the given size in viewport pixels.
struct LegendScene : orvi_test::Scene
{
  LegendScene(int windowWidth, int windowHeight, int x, int y, int width, int height)
    : Scene(windowWidth, windowHeight)
  {
    this->Table->SetHueRange(0.667, 0.0); // on (0, 1), 256 colours
    this->Table->Build();
    this->Legend->SetLookupTable(this->Table);
    for (vtkTextProperty* text :
      { this->Legend->GetLabelTextProperty(), this->Legend->GetTitleTextProperty() })
    {
      text->ShadowOff();
      text->BoldOff();
      text->ItalicOff();
      text->SetFontSize(12);
    }
    this->Legend->GetLabelTextProperty()->SetColor(1.0, 1.0, 0.0);
    this->Legend->GetTitleTextProperty()->SetColor(0.0, 1.0, 0.0);
    this->Legend->GetPositionCoordinate()->SetCoordinateSystemToViewport();
    this->Legend->GetPositionCoordinate()->SetValue(x, y);
    this->Legend->GetPosition2Coordinate()->SetCoordinateSystemToViewport();
    this->Legend->GetPosition2Coordinate()->SetValue(width, height);
    this->Renderer->AddActor2D(this->Legend);
  }
  vtkNew<vtkLookupTable> Table;
  vtkNew<LegendProbe> Legend;
};
} // namespace

// Layout switches of a baseline case.
constexpr int Horizontal = 1, TextBefore = 2, Frame = 4, Background = 8, Resize = 16,
              Automatic = 32;

// Each layout drawn in a 240 x 440 window (vertical, legend 200 x 400 at
// (20, 20)) or 440 x 160 (horizontal, legend 400 x 100 at (20, 30)): bar,
// colours quad by quad, labels, title, frame and background as a user sees
// them. Then labels chosen from the range (AutomaticLabelFormat) and a title
// kept at the labels' height (ReadableTitle), in 220 x 340 windows, for the
// ranges and titles that gave unreadable legends.
TEST(ColorTableLegendActor, LayoutsMatchBaselines)
{
  const char* const longTitle = "displacement_magnitude_at_nodes_step_12";
  // Baseline, switches, labels, colours, title, range.
  const std::tuple<const char*, int, int, int, const char*, double, double> cases[] = {
    { "vertical-frame", Frame, 5, 64, "Stress", 0, 1 },
    { "vertical-text-left", Frame | TextBefore, 5, 64, "Stress", 0, 1 },
    { "vertical-auto-resize", Resize, 5, 64, "Stress", 0, 1 },
    { "one-label", 0, 1, 64, "Stress", 0, 1 },
    { "no-labels", 0, 0, 64, "Stress", 0, 1 },
    { "one-colour", 0, 2, 1, "Stress", 0, 1 },
    { "no-colours", 0, 2, 0, "Stress", 0, 1 },
    { "horizontal-text-above", Horizontal | TextBefore | Background, 4, 32, "Temperature", 0, 1 },
    { "horizontal-text-below", Horizontal | Background, 4, 32, "Temperature", 0, 1 },
    { "long-title", Automatic | Resize, 5, 64, longTitle, 1201, 1202 },
    { "narrow-range", Automatic, 5, 64, "Temperature", 1201, 1202 },
    { "zero-to-101", Automatic, 5, 64, "CellEntityIds", 0, 101 },
    { "tiny-range", Automatic | Resize, 5, 64, "Pressure", 5 - 1e-9, 5 + 1e-9 },
    { "negative", Automatic, 5, 64, "Stress", -2.5e-7, -1e-8 },
    { "across-zero", Automatic, 5, 64, "Strain", -0.9, 0.3 },
    { "constant", Automatic, 5, 64, "Level", 5, 5 },
    { "horizontal", Automatic | Horizontal | TextBefore | Resize, 5, 64, longTitle, 0, 101 },
  };
  // Window size, then the legend's position and size, by Automatic and Horizontal.
  const std::array<int, 6> geometry[] = { { 240, 440, 20, 20, 200, 400 },
    { 440, 160, 20, 30, 400, 100 },
    { 220, 340, 20, 20, 150, 280 },
    { 220, 340, 10, 130, 180, 90 } };
  for (const auto& [name, switches, labels, colours, title, min, max] : cases)
  {
    SCOPED_TRACE(name);
    const auto& g = geometry[(switches & Automatic ? 2 : 0) + (switches & Horizontal ? 1 : 0)];
    LegendScene s(g[0], g[1], g[2], g[3], g[4], g[5]);
    s.Table->SetRange(min, max);
    s.Legend->SetOrientation(switches & Horizontal ? VTK_ORIENT_HORIZONTAL : VTK_ORIENT_VERTICAL);
    s.Legend->SetTextPosition(switches & TextBefore ? vtkScalarBarActor::PrecedeScalarBar
                                                    : vtkScalarBarActor::SucceedScalarBar);
    s.Legend->SetNumberOfLabels(labels);
    s.Legend->ForceColors(colours);
    s.Legend->SetTitle(title);
    s.Legend->SetDrawFrame(switches & Frame);
    s.Legend->GetFrameProperty()->SetColor(1.0, 1.0, 1.0);
    s.Legend->SetDrawBackground(switches & Background);
    s.Legend->GetBackgroundProperty()->SetColor(0.25, 0.25, 0.25);
    s.Legend->SetAutoResizeText(switches & Resize);
    s.Legend->SetAutomaticLabelFormat(switches & Automatic);
    s.Legend->SetReadableTitle(switches & Automatic);
    s.Window->Render();
    EXPECT_TRUE(orvi_test::MatchesBaseline(s.Window, std::string("legend-") + name));
  }
}

// An unchanged frame keeps the build; a move, a window resize under
// normalized coordinates, a maximum size and the text properties rebuild it
// (the table and the format: the labels of the next test).
TEST(ColorTableLegendActor, RebuildsOnChange)
{
  LegendScene s(400, 500, 50, 50, 200, 400);
  s.Legend->SetNumberOfLabels(3);
  s.Window->Render();
  vtkMTimeType built = s.Legend->Built();
  const auto rebuilt = [&]
  {
    const vtkMTimeType before = built;
    s.Window->Render();
    built = s.Legend->Built();
    return built > before;
  };
  EXPECT_FALSE(rebuilt());
  s.Legend->GetPositionCoordinate()->SetValue(150, 60);
  EXPECT_TRUE(rebuilt());
  s.Legend->GetPositionCoordinate()->SetCoordinateSystemToNormalizedViewport();
  s.Legend->GetPositionCoordinate()->SetValue(0.1, 0.1);
  s.Legend->GetPosition2Coordinate()->SetCoordinateSystemToNormalizedViewport();
  s.Legend->GetPosition2Coordinate()->SetValue(0.5, 0.8);
  EXPECT_TRUE(rebuilt());
  s.Window->SetSize(600, 500);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->Width(), (std::array<int, 2>{ 60, 300 }));
  s.Legend->SetMaximumWidthInPixels(100);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->Width(), (std::array<int, 2>{ 60, 100 }));
  s.Legend->GetLabelTextProperty()->SetFontSize(14);
  EXPECT_TRUE(rebuilt());
  s.Legend->GetTitleTextProperty()->SetFontSize(16);
  EXPECT_TRUE(rebuilt());
}

// Title text rules and label formats: bounded, checked, with a fallback
// reported once; labels of degenerate and log ranges, never nan or inf.
TEST(ColorTableLegendActor, TitlesLabelFormatsAndRanges)
{
  LegendScene s(400, 500, 50, 50, 200, 400);
  orvi_test::EventRecorder warnings(s.Legend, vtkCommand::WarningEvent);
  s.Legend->SetNumberOfLabels(3);
  const auto title = [&](const char* t, const char* component)
  {
    s.Legend->SetTitle(t);
    s.Legend->SetComponentTitle(component);
    s.Window->Render();
    return s.Legend->Title();
  };
  const auto label = [&](const char* format, int i)
  {
    s.Legend->SetLabelFormat(format);
    s.Window->Render();
    return s.Legend->Labels()[i];
  };
  EXPECT_EQ(title("Stress", "XX"), "Stress XX");
  EXPECT_EQ(title("Stress", ""), "Stress");
  EXPECT_EQ(title(nullptr, "Magnitude"), "Magnitude");
  EXPECT_EQ(title(nullptr, nullptr), "");
  EXPECT_EQ(label("%%%.2f%%", 1), "%0.50%");
  EXPECT_EQ(label("%+08.3e", 2), "+1.000e+00");
  EXPECT_EQ(label("v=%lf", 0), "v=0.000000");
  EXPECT_EQ(warnings.Count, 0);

  const std::string fallback = "0.500 "; // "%-#6.3g" of 0.5
  for (const char* bad : { "%d", "%s", "%f %f", "no conversion", "%*f", "%Lf", "%.2f%", "" })
  {
    const char* format = *bad ? bad : nullptr;
    const int seen = warnings.Count;
    EXPECT_EQ(label(format, 1), fallback) << bad;
    EXPECT_EQ(warnings.Count, seen + 1) << bad;
    EXPECT_TRUE(warnings.Saw(std::string("LabelFormat \"") + (format ? format : "(null)") +
      "\" does not format exactly one double; labels use \"%-#6.3g\""));
  }
  const int seen = warnings.Count;
  s.Table->SetRange(0.0, 2.0);
  s.Window->Render();
  EXPECT_EQ(warnings.Count, seen) << "a rejected format is reported once";
  EXPECT_EQ(label("%700.1f", 2), std::string(511, ' ')) << "cut at 511 bytes";

  // A single-value range shows that value everywhere, without a warning. A
  // log scale spaces labels by decades, below zero by magnitudes; a log
  // range that holds or crosses zero is spaced linearly, with a warning.
  s.Legend->SetNumberOfLabels(4);
  s.Legend->SetLabelFormat("%g");
  // Log scale, range, labels, warnings.
  const std::tuple<bool, double, double, std::vector<std::string>, int> cases[] = {
    { false, 5, 5, { "5", "5", "5", "5" }, 0 },
    { false, 0, 0, { "0", "0", "0", "0" }, 0 },
    { true, 1, 1000, { "1", "10", "100", "1000" }, 0 },
    { true, -1000, -1, { "-1000", "-100", "-10", "-1" }, 0 },
    { true, 0, 30, { "0", "10", "20", "30" }, 1 },
    { true, -30, 0, { "-30", "-20", "-10", "0" }, 1 },
  };
  for (const auto& [log, min, max, labels, warned] : cases)
  {
    SCOPED_TRACE(min);
    const int before = warnings.Count;
    log ? s.Table->SetScaleToLog10() : s.Table->SetScaleToLinear();
    s.Table->SetRange(min, max);
    s.Window->Render();
    EXPECT_EQ(s.Legend->Labels(), labels);
    EXPECT_EQ(warnings.Count - before, warned);
  }
  EXPECT_TRUE(warnings.Saw("the lookup table's log scale cannot show the range (-30, 0): "
                           "labels are spaced linearly"));
}

// A missing table warns, missing text properties are errors; nothing is
// drawn then. A legend of no size draws without trouble.
TEST(ColorTableLegendActor, Diagnostics)
{
  LegendScene s(300, 300, 10, 10, 100, 200);
  orvi_test::EventRecorder warnings(s.Legend, vtkCommand::WarningEvent);
  orvi_test::EventRecorder errors(s.Legend, vtkCommand::ErrorEvent);
  s.Legend->SetLookupTable(nullptr);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Renderer), 0);
  s.Window->Render();
  EXPECT_EQ(s.Legend->Built(), 0u);
  EXPECT_EQ(orvi_test::Frame(s.Window).Count(
              [](const std::array<int, 3>& c, int, int) { return c[0] + c[1] + c[2]; }),
    0);
  s.Legend->SetLookupTable(s.Table);
  vtkSmartPointer<vtkTextProperty> title = s.Legend->GetTitleTextProperty(),
                                   label = s.Legend->GetLabelTextProperty();
  s.Legend->SetTitleTextProperty(nullptr);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Renderer), 0);
  s.Legend->SetTitleTextProperty(title);
  s.Legend->SetLabelTextProperty(nullptr);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Renderer), 0);
  s.Legend->SetLabelTextProperty(label);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Renderer), 1);
  s.Legend->GetPosition2Coordinate()->SetValue(0, 0);
  s.Legend->AutoResizeTextOn();
  s.Window->Render();
  EXPECT_EQ(warnings.Count + errors.Count, 4) << "one each, and no more for the empty legend";
  EXPECT_TRUE(warnings.Saw("): Need a mapper to render a scalar bar\n"));
  EXPECT_TRUE(errors.Saw("): Need title text property to render a scalar bar\n"));
  EXPECT_TRUE(errors.Saw("): Need label text property to render a scalar bar\n"));
}
