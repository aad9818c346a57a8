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
  int LabelsBuilt() const { return this->NumberOfLabelsBuilt; }
  std::vector<std::string> Labels() const
  {
    std::vector<std::string> labels;
    for (int i = 0; i < this->NumberOfLabelsBuilt; ++i)
    {
      labels.emplace_back(this->TextMappers[i]->GetInput());
    }
    return labels;
  }
  int LabelFontSize() const { return this->TextMappers[0]->GetTextProperty()->GetFontSize(); }
  std::string Title() const
  {
    return this->TitleMapper->GetInput() ? this->TitleMapper->GetInput() : "";
  }
  vtkMTimeType Built() const { return this->BuildTime.GetMTime(); }
  const int* Size() const { return this->LastSize; }
  const int* Origin() const { return this->LastOrigin; }
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
struct LegendScene
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
    this->Scene.Renderer->AddActor2D(this->Legend);
  }
  void Render() { this->Scene.Window->Render(); }

  orvi_test::Scene Scene;
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
  struct Case
  {
    const char* Name;
    bool Vertical;
    int TextPosition;
    int Labels, Colors;
    bool Frame, Background, AutoResize;
  };
  const int succeed = vtkScalarBarActor::SucceedScalarBar;
  const int precede = vtkScalarBarActor::PrecedeScalarBar;
  const Case cases[] = {
    { "legend-vertical", true, succeed, 5, 64, false, false, false },
    { "legend-vertical-frame", true, succeed, 5, 64, true, false, false },
    { "legend-vertical-text-left", true, precede, 5, 64, true, false, false },
    { "legend-vertical-auto-resize", true, succeed, 5, 64, false, false, true },
    { "legend-one-label", true, succeed, 1, 64, false, false, false },
    { "legend-no-labels", true, succeed, 0, 64, false, false, false },
    { "legend-one-colour", true, succeed, 2, 1, false, false, false },
    { "legend-no-colours", true, succeed, 2, 0, false, false, false },
    { "legend-horizontal-text-above", false, precede, 4, 32, false, true, false },
    { "legend-horizontal-text-below", false, succeed, 4, 32, false, true, false },
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.Name);
    const bool v = c.Vertical;
    LegendScene s(v ? 240 : 440, v ? 440 : 160, 20, v ? 20 : 30, v ? 200 : 400, v ? 400 : 100);
    s.Legend->SetOrientation(v ? VTK_ORIENT_VERTICAL : VTK_ORIENT_HORIZONTAL);
    s.Legend->SetTextPosition(c.TextPosition);
    s.Legend->SetNumberOfLabels(c.Labels);
    s.Legend->ForceColors(c.Colors);
    s.Legend->SetTitle(v ? "Stress" : "Temperature");
    s.Legend->SetDrawFrame(c.Frame);
    s.Legend->GetFrameProperty()->SetColor(1.0, 1.0, 1.0);
    s.Legend->SetDrawBackground(c.Background);
    s.Legend->GetBackgroundProperty()->SetColor(0.25, 0.25, 0.25);
    s.Legend->SetAutoResizeText(c.AutoResize);
    s.Render();
    EXPECT_EQ(s.Legend->LabelsBuilt(), c.Labels);
    EXPECT_TRUE(orvi_test::MatchesBaseline(s.Scene.Window, c.Name));
  }
}

// Labels chosen from the range (AutomaticLabelFormat) and a title kept at
// the labels' height (ReadableTitle), for the ranges and titles that gave
// unreadable legends: the texts the label mappers draw and a baseline each.
TEST(ColorTableLegendActor, AutomaticLabelsAndReadableTitle)
{
  const char* const longTitle = "displacement_magnitude_at_nodes_step_12";
  const std::vector<std::string> narrow = { "1201.00", "1201.25", "1201.50", "1201.75", "1202.00" };
  const std::vector<std::string> to101 = { "0", "25", "50", "76", "101" };
  struct Case
  {
    const char* Name;
    const char* Title;
    double Min, Max;
    bool Vertical, AutoResize;
    std::vector<std::string> Labels;
  };
  // clang-format off
  const Case cases[] = {
    { "long-title", longTitle, 1201, 1202, true, true, narrow },
    { "narrow-range", "Temperature", 1201, 1202, true, false, narrow },
    { "zero-to-101", "CellEntityIds", 0, 101, true, false, to101 },
    { "tiny-range", "Pressure", 5 - 1e-9, 5 + 1e-9, true, true,
      { "4.9999999990", "4.9999999995", "5.0000000000", "5.0000000005", "5.0000000010" } },
    { "negative", "Stress", -2.5e-7, -1e-8, true, false,
      { "-2.5e-07", "-1.9e-07", "-1.3e-07", "-7.0e-08", "-1.0e-08" } },
    { "across-zero", "Strain", -0.9, 0.3, true, false, { "-0.9", "-0.6", "-0.3", "0.0", "0.3" } },
    { "constant", "Level", 5, 5, true, false, { "", "", "5", "", "" } },
    { "horizontal", longTitle, 0, 101, false, true, to101 },
  };
  // clang-format on
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.Name);
    const bool v = c.Vertical;
    LegendScene s(220, 340, v ? 20 : 10, v ? 20 : 130, v ? 150 : 180, v ? 280 : 90);
    s.Table->SetRange(c.Min, c.Max);
    s.Legend->SetOrientation(v ? VTK_ORIENT_VERTICAL : VTK_ORIENT_HORIZONTAL);
    s.Legend->SetTextPosition(
      v ? vtkScalarBarActor::SucceedScalarBar : vtkScalarBarActor::PrecedeScalarBar);
    s.Legend->SetNumberOfLabels(5);
    s.Legend->SetTitle(c.Title);
    s.Legend->SetAutoResizeText(c.AutoResize);
    s.Legend->AutomaticLabelFormatOn();
    s.Legend->ReadableTitleOn();
    s.Render();
    EXPECT_EQ(s.Legend->Labels(), c.Labels);
    EXPECT_TRUE(orvi_test::MatchesBaseline(s.Scene.Window, std::string("legend-") + c.Name));
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
  s.Scene.Window->SetSize(600, 500);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->Size()[0], 300);
  EXPECT_EQ(s.Legend->Origin()[0], 60);
  s.Legend->SetMaximumWidthInPixels(100);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->Size()[0], 100);

  s.Table->SetRange(0.0, 10.0);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->Labels()[2], "10.0  ");
  s.Legend->GetLabelTextProperty()->SetFontSize(14);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->LabelFontSize(), 14);
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
  struct Case
  {
    bool Log;
    double Min, Max;
    std::vector<std::string> Labels;
    int Warnings;
  };
  const Case cases[] = {
    { false, 5, 5, { "5", "5", "5", "5" }, 0 },
    { false, 0, 0, { "0", "0", "0", "0" }, 0 },
    { true, 1, 1000, { "1", "10", "100", "1000" }, 0 },
    { true, -1000, -1, { "-1000", "-100", "-10", "-1" }, 0 },
    { true, 0, 30, { "0", "10", "20", "30" }, 1 },
    { true, -30, 0, { "-30", "-20", "-10", "0" }, 1 },
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.Min);
    const int before = warnings.Count;
    c.Log ? s.Table->SetScaleToLog10() : s.Table->SetScaleToLinear();
    s.Table->SetRange(c.Min, c.Max);
    s.Render();
    EXPECT_EQ(s.Legend->Labels(), c.Labels);
    EXPECT_EQ(warnings.Count - before, c.Warnings);
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
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Scene.Renderer), 0);
  s.Render();
  EXPECT_EQ(s.Legend->Built(), 0u);
  orvi_test::Frame frame(s.Scene.Window);
  EXPECT_EQ(
    frame.Count([](const std::array<int, 3>& c, int, int) { return c[0] + c[1] + c[2]; }), 0);
  s.Legend->SetLookupTable(s.Table);
  vtkSmartPointer<vtkTextProperty> title = s.Legend->GetTitleTextProperty();
  s.Legend->SetTitleTextProperty(nullptr);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Scene.Renderer), 0);
  s.Legend->SetTitleTextProperty(title);
  vtkSmartPointer<vtkTextProperty> label = s.Legend->GetLabelTextProperty();
  s.Legend->SetLabelTextProperty(nullptr);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Scene.Renderer), 0);
  s.Legend->SetLabelTextProperty(label);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Scene.Renderer), 1);
  s.Legend->GetPosition2Coordinate()->SetValue(0, 0);
  s.Legend->AutoResizeTextOn();
  s.Render();
  EXPECT_EQ(s.Legend->Size()[0], 0);
  EXPECT_EQ(warnings.Count + errors.Count, 4) << "one each, and no more for the empty legend";
  EXPECT_TRUE(warnings.Saw("LegendProbe (0x"));
  EXPECT_TRUE(warnings.Saw("): Need a mapper to render a scalar bar\n"));
  EXPECT_TRUE(errors.Saw("): Need title text property to render a scalar bar\n"));
  EXPECT_TRUE(errors.Saw("): Need label text property to render a scalar bar\n"));
}
