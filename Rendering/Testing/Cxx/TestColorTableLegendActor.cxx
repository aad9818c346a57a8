// vtkColorTableLegendActor in real windows: every layout against a stored
// baseline image, the texts the labels and the title draw, rebuilds on change
// only, text fitting, label formats, degenerate ranges and the diagnostics.
#include "vtkColorTableLegendActor.h"

#include "orviTestUtils.h"

#include "vtkCoordinate.h"
#include "vtkLookupTable.h"
#include "vtkObjectFactory.h"
#include "vtkProperty2D.h"
#include "vtkTextMapper.h"
#include "vtkTextProperty.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

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
    this->Table->SetRange(0.0, 1.0);
    this->Table->SetHueRange(0.667, 0.0);
    this->Table->SetNumberOfTableValues(256);
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
  void Render() { this->Window->Render(); }
  vtkNew<vtkLookupTable> Table;
  vtkNew<LegendProbe> Legend;
};
} // namespace

// Each layout drawn in a 240 x 440 window (vertical, legend 200 x 400 at
// (20, 20)) or 440 x 160 (horizontal, legend 400 x 100 at (20, 30)): bar,
// colours quad by quad, labels, title, frame and background as a user sees
// them.
TEST(ColorTableLegendActor, LayoutsMatchBaselines)
{
  const int after = vtkScalarBarActor::SucceedScalarBar,
            before = vtkScalarBarActor::PrecedeScalarBar;
  // Baseline, vertical, text position, labels, colours, frame, background, auto resize.
  const std::tuple<const char*, bool, int, int, int, bool, bool, bool> cases[] = {
    { "legend-vertical", true, after, 5, 64, false, false, false },
    { "legend-vertical-frame", true, after, 5, 64, true, false, false },
    { "legend-vertical-text-left", true, before, 5, 64, true, false, false },
    { "legend-vertical-auto-resize", true, after, 5, 64, false, false, true },
    { "legend-one-label", true, after, 1, 64, false, false, false },
    { "legend-no-labels", true, after, 0, 64, false, false, false },
    { "legend-one-colour", true, after, 2, 1, false, false, false },
    { "legend-no-colours", true, after, 2, 0, false, false, false },
    { "legend-horizontal-text-above", false, before, 4, 32, false, true, false },
    { "legend-horizontal-text-below", false, after, 4, 32, false, true, false },
  };
  for (const auto& [name, v, position, labels, colours, frame, background, resize] : cases)
  {
    SCOPED_TRACE(name);
    LegendScene s(v ? 240 : 440, v ? 440 : 160, 20, v ? 20 : 30, v ? 200 : 400, v ? 400 : 100);
    s.Legend->SetOrientation(v ? VTK_ORIENT_VERTICAL : VTK_ORIENT_HORIZONTAL);
    s.Legend->SetTextPosition(position);
    s.Legend->SetNumberOfLabels(labels);
    s.Legend->ForceColors(colours);
    s.Legend->SetTitle(v ? "Stress" : "Temperature");
    s.Legend->SetDrawFrame(frame);
    s.Legend->GetFrameProperty()->SetColor(1.0, 1.0, 1.0);
    s.Legend->SetDrawBackground(background);
    s.Legend->GetBackgroundProperty()->SetColor(0.25, 0.25, 0.25);
    s.Legend->SetAutoResizeText(resize);
    s.Render();
    EXPECT_TRUE(orvi_test::MatchesBaseline(s.Window, name));
  }
}

// Labels chosen from the range (AutomaticLabelFormat) and a title kept at
// the labels' height (ReadableTitle), for the ranges and titles that gave
// unreadable legends: the labels and title as drawn, against a baseline each.
TEST(ColorTableLegendActor, AutomaticLabelsAndReadableTitle)
{
  const char* const longTitle = "displacement_magnitude_at_nodes_step_12";
  // Baseline, title, range, vertical, auto resize.
  const std::tuple<const char*, const char*, double, double, bool, bool> cases[] = {
    { "long-title", longTitle, 1201, 1202, true, true },
    { "narrow-range", "Temperature", 1201, 1202, true, false },
    { "zero-to-101", "CellEntityIds", 0, 101, true, false },
    { "tiny-range", "Pressure", 5 - 1e-9, 5 + 1e-9, true, true },
    { "negative", "Stress", -2.5e-7, -1e-8, true, false },
    { "across-zero", "Strain", -0.9, 0.3, true, false },
    { "constant", "Level", 5, 5, true, false },
    { "horizontal", longTitle, 0, 101, false, true },
  };
  for (const auto& [name, title, min, max, v, resize] : cases)
  {
    SCOPED_TRACE(name);
    LegendScene s(220, 340, v ? 20 : 10, v ? 20 : 130, v ? 150 : 180, v ? 280 : 90);
    s.Table->SetRange(min, max);
    s.Legend->SetOrientation(v ? VTK_ORIENT_VERTICAL : VTK_ORIENT_HORIZONTAL);
    s.Legend->SetTextPosition(
      v ? vtkScalarBarActor::SucceedScalarBar : vtkScalarBarActor::PrecedeScalarBar);
    s.Legend->SetNumberOfLabels(5);
    s.Legend->SetTitle(title);
    s.Legend->SetAutoResizeText(resize);
    s.Legend->AutomaticLabelFormatOn();
    s.Legend->ReadableTitleOn();
    s.Render();
    EXPECT_TRUE(orvi_test::MatchesBaseline(s.Window, std::string("legend-") + name));
  }
}

// An unchanged frame keeps the build; a move, a window resize under
// normalized coordinates, a maximum size, the table and the text properties
// rebuild it.
TEST(ColorTableLegendActor, RebuildsOnChange)
{
  LegendScene s(400, 500, 50, 50, 200, 400);
  s.Legend->SetNumberOfLabels(3);
  s.Render();
  vtkMTimeType built = s.Legend->Built();
  const auto rebuilt = [&]
  {
    const vtkMTimeType before = built;
    s.Render();
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
  s.Table->SetRange(0.0, 10.0);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->Labels()[2], "10.0  ");
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
    s.Render();
    return s.Legend->Title();
  };
  const auto label = [&](const char* format, int i)
  {
    s.Legend->SetLabelFormat(format);
    s.Render();
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

  char fallback[64];
  std::snprintf(fallback, sizeof(fallback), "%-#6.3g", 0.5);
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
  s.Render();
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
    s.Render();
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
  s.Render();
  EXPECT_EQ(s.Legend->Built(), 0u);
  EXPECT_EQ(orvi_test::Frame(s.Window).Count(
              [](const std::array<int, 3>& c, int, int) { return c[0] + c[1] + c[2]; }),
    0);
  s.Legend->SetLookupTable(s.Table);
  vtkSmartPointer<vtkTextProperty> title = s.Legend->GetTitleTextProperty();
  s.Legend->SetTitleTextProperty(nullptr);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Renderer), 0);
  s.Legend->SetTitleTextProperty(title);
  vtkSmartPointer<vtkTextProperty> label = s.Legend->GetLabelTextProperty();
  s.Legend->SetLabelTextProperty(nullptr);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Renderer), 0);
  s.Legend->SetLabelTextProperty(label);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Renderer), 1);
  s.Legend->GetPosition2Coordinate()->SetValue(0, 0);
  s.Legend->AutoResizeTextOn();
  s.Render();
  EXPECT_EQ(s.Legend->Width()[1], 0);
  EXPECT_EQ(warnings.Count + errors.Count, 4) << "one each, and no more for the empty legend";
  EXPECT_TRUE(warnings.Saw("LegendProbe (0x"));
  EXPECT_TRUE(warnings.Saw("): Need a mapper to render a scalar bar\n"));
  EXPECT_TRUE(errors.Saw("): Need title text property to render a scalar bar\n"));
  EXPECT_TRUE(errors.Saw("): Need label text property to render a scalar bar\n"));
}
