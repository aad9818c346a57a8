// vtkColorTableLegendActor in real windows: the worked layouts read back
// from the screen, bar colours, rebuilds on change only, text fitting, the
// title and label text rules, automatic labels and a readable title against
// stored baselines, the degenerate settings and the diagnostics.
#include "vtkColorTableLegendActor.h"

#include "orviTestUtils.h"

#include "vtkActor2D.h"
#include "vtkCoordinate.h"
#include "vtkLookupTable.h"
#include "vtkObjectFactory.h"
#include "vtkPolyData.h"
#include "vtkProperty2D.h"
#include "vtkTextMapper.h"
#include "vtkTextProperty.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace
{
using A4 = std::array<double, 4>;

// A host-style subclass that reads the legend's protected layout state.
class LegendProbe : public vtkColorTableLegendActor
{
public:
  static LegendProbe* New();
  vtkTypeMacro(LegendProbe, vtkColorTableLegendActor);

  int LabelsBuilt() const { return this->NumberOfLabelsBuilt; }
  double* LabelPosition(int i) { return this->TextActors[i]->GetPosition(); }
  std::string LabelText(int i) const { return this->TextMappers[i]->GetInput(); }
  int LabelFontSize(int i) const { return this->TextMappers[i]->GetTextProperty()->GetFontSize(); }
  void LabelSize(int i, vtkViewport* viewport, int size[2])
  {
    this->TextMappers[i]->GetSize(viewport, size);
  }
  double* TitlePosition() { return this->TitleActor->GetPosition(); }
  std::string TitleText() const
  {
    return this->TitleMapper->GetInput() ? this->TitleMapper->GetInput() : "";
  }
  int TitleFontSize() const { return this->TitleMapper->GetTextProperty()->GetFontSize(); }
  void TitleSize(vtkViewport* viewport, int size[2]) { this->TitleMapper->GetSize(viewport, size); }
  double* BarBounds() { return this->ScalarBar->GetBounds(); }
  A4 Bar() { return { this->BarBounds()[0], BarBounds()[1], BarBounds()[2], BarBounds()[3] }; }
  vtkIdType BarQuads() { return this->ScalarBar->GetNumberOfCells(); }
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

using Rgb = std::array<int, 3>;
using Frame = orvi_test::Frame;

Rgb Mapped(vtkLookupTable* lut, double value)
{
  const unsigned char* c = lut->MapValue(value);
  return { c[0], c[1], c[2] };
}

// Last x (stepping by dx) from x0 on row y whose pixel differs from
// `outside`.
int ScanX(const Frame& frame, int x0, int y, int dx, const Rgb& outside)
{
  int x = x0;
  while (x + dx >= 0 && x + dx < frame.Width && frame.At(x + dx, y) != outside)
  {
    x += dx;
  }
  return x;
}

int ScanY(const Frame& frame, int x, int y0, int dy, const Rgb& outside)
{
  int y = y0;
  while (y + dy >= 0 && y + dy < frame.Height && frame.At(x, y + dy) != outside)
  {
    y += dy;
  }
  return y;
}

// A legend with a blue-to-red table on (0, 1), yellow labels, a green title
// and flat text, placed at `origin` with the given size in viewport pixels.
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
  vtkRenderer* Renderer() { return this->Scene.Renderer; }

  orvi_test::Scene Scene;
  vtkNew<vtkLookupTable> Table;
  vtkNew<LegendProbe> Legend;
};

const Rgb Black{ 0, 0, 0 };

// Heights of the runs of consecutive rows of [x0, x1) that hold a pixel
// satisfying pred: one run per line of text drawn in one colour.
template <class Pred>
std::vector<int> RowRuns(const Frame& frame, Pred pred, int x0, int x1)
{
  std::vector<int> runs;
  int run = 0;
  for (int y = 0; y <= frame.Height; ++y)
  {
    const bool lit = y < frame.Height && frame.Count(pred, x0, y, x1, y + 1) > 0;
    if (lit)
    {
      ++run;
    }
    else if (run > 0)
    {
      runs.push_back(run);
      run = 0;
    }
  }
  return runs;
}
} // namespace

// Vertical 200 x 400, 5 labels, text right of the bar, no box: bar 76 x 344
// from the legend's corner, labels from x = 79; with a frame the margins are
// 10 and 54 and the bar 56 x 290.
TEST(ColorTableLegendActor, VerticalLayoutsOnScreen)
{
  LegendScene s(400, 500, 50, 50, 200, 400);
  s.Legend->SetOrientationToVertical();
  s.Legend->SetNumberOfLabels(5);
  s.Legend->SetTextPosition(vtkScalarBarActor::SucceedScalarBar);
  s.Legend->SetMaximumNumberOfColors(64);
  s.Legend->SetTitle("Stress");
  s.Render();

  EXPECT_EQ(s.Legend->Origin()[0], 50);
  EXPECT_EQ(s.Legend->Origin()[1], 50);
  EXPECT_EQ(s.Legend->Size()[0], 200);
  EXPECT_EQ(s.Legend->Size()[1], 400);
  EXPECT_EQ(s.Legend->Bar(), (A4{ 0, 76, 0, 344 }));
  EXPECT_EQ(s.Legend->BarQuads(), 64);
  ASSERT_EQ(s.Legend->LabelsBuilt(), 5);
  for (int i = 0; i < 5; ++i)
  {
    int size[2];
    s.Legend->LabelSize(i, s.Renderer(), size);
    EXPECT_DOUBLE_EQ(s.Legend->LabelPosition(i)[0], 79.0);
    EXPECT_DOUBLE_EQ(s.Legend->LabelPosition(i)[1], i / 4.0 * 344 - 0.6 * size[1]);
  }
  EXPECT_DOUBLE_EQ(s.Legend->TitlePosition()[0], 20.0);
  EXPECT_DOUBLE_EQ(s.Legend->TitlePosition()[1], 360.0);

  {
    Frame f(s.Scene.Window);
    // Bar: columns 50..125 and rows 50..393 coloured, black around.
    const int midY = 50 + 172;
    EXPECT_EQ(ScanX(f, 88, midY, -1, Black), 50);
    EXPECT_EQ(ScanX(f, 88, midY, +1, Black), 125);
    EXPECT_EQ(ScanY(f, 88, midY, -1, Black), 50);
    EXPECT_EQ(ScanY(f, 88, midY, +1, Black), 393);
    // Colours run from the minimum's at the bottom to the maximum's at the
    // top, quad by quad.
    EXPECT_EQ(f.At(88, 50), Mapped(s.Table, 0.0));
    EXPECT_EQ(f.At(88, 393), Mapped(s.Table, 1.0));
    for (int i : { 0, 10, 31, 32, 50, 63 })
    {
      const int y = 50 + static_cast<int>((i + 0.5) * 344.0 / 64);
      EXPECT_EQ(f.At(60, y), Mapped(s.Table, i / 63.0)) << "quad " << i;
    }
    // The gap between bar and labels stays empty; the labels are drawn to
    // its right (VTK's text quads reach one pixel left of their position).
    const auto lit = [](const Rgb& c, int, int) { return c != Black; };
    EXPECT_EQ(f.Count(lit, 126, 30, 128, 410), 0);
    EXPECT_GT(f.Count(lit, 128, 30, 250, 410), 50);
    EXPECT_GT(f.Count(lit, 128, 30, 132, 410), 0) << "labels start by x = 131";
    // The title is drawn green, starting at (70, 410).
    EXPECT_GT(f.Count(lit, 69, 405, 400, 440), 20);
    EXPECT_EQ(f.Count(lit, 0, 405, 69, 440), 0);
    EXPECT_EQ(f.Count([](const Rgb& c, int, int) { return c[0] != 0; }, 0, 405, 400, 440), 0);
  }

  // The same legend with a frame.
  s.Legend->DrawFrameOn();
  s.Legend->GetFrameProperty()->SetColor(1.0, 1.0, 1.0);
  s.Render();
  EXPECT_EQ(s.Legend->Bar(), (A4{ 10, 66, 54, 344 }));
  for (int i = 0; i < 5; ++i)
  {
    EXPECT_DOUBLE_EQ(s.Legend->LabelPosition(i)[0], 69.0);
  }
  {
    Frame f(s.Scene.Window);
    const int midY = 50 + 200;
    EXPECT_EQ(ScanX(f, 80, midY, -1, Black), 60);
    EXPECT_EQ(ScanX(f, 80, midY, +1, Black), 115);
    EXPECT_EQ(ScanY(f, 80, midY, -1, Black), 104);
    EXPECT_EQ(ScanY(f, 80, midY, +1, Black), 393);
    EXPECT_EQ(f.At(80, 104), Mapped(s.Table, 0.0));
    EXPECT_EQ(f.At(80, 393), Mapped(s.Table, 1.0));
    // The frame outline is drawn around the legend.
    EXPECT_GT(f.Count(
                [](const Rgb& c, int, int) {
                  return c == Rgb{ 255, 255, 255 };
                },
                45,
                60,
                56,
                440),
      300);
  }

  // Text on the left puts the bar at the right edge, labels at padX.
  s.Legend->SetTextPosition(vtkScalarBarActor::PrecedeScalarBar);
  s.Render();
  EXPECT_EQ(s.Legend->Bar(), (A4{ 200 - 56 - 10, 190, 54, 344 }));
  EXPECT_DOUBLE_EQ(s.Legend->LabelPosition(0)[0], 10.0);
}

// Horizontal 400 x 100 with a background and 4 labels: margins 60 and 5,
// bar 280 x 35 at the top (text below) or at the bottom (text above).
TEST(ColorTableLegendActor, HorizontalLayoutOnScreen)
{
  LegendScene s(500, 300, 50, 100, 400, 100);
  s.Legend->SetOrientationToHorizontal();
  s.Legend->SetNumberOfLabels(4);
  s.Legend->SetMaximumNumberOfColors(32);
  s.Legend->SetTextPosition(vtkScalarBarActor::PrecedeScalarBar);
  s.Legend->SetTitle("Temperature");
  s.Legend->DrawBackgroundOn();
  s.Legend->GetBackgroundProperty()->SetColor(0.25, 0.25, 0.25);
  s.Legend->GetBackgroundProperty()->SetOpacity(1.0);
  s.Render();

  EXPECT_EQ(s.Legend->Bar(), (A4{ 60, 340, 60, 95 }));
  ASSERT_EQ(s.Legend->LabelsBuilt(), 4);
  for (int i = 0; i < 4; ++i)
  {
    EXPECT_DOUBLE_EQ(s.Legend->LabelPosition(i)[0], 60.0 + i / 3.0 * 280);
    EXPECT_DOUBLE_EQ(s.Legend->LabelPosition(i)[1], 30.0);
  }
  // Title: from the middle, its height the natural one at font size 12.
  int titleSize[2];
  s.Legend->TitleSize(s.Renderer(), titleSize);
  EXPECT_EQ(s.Legend->TitleFontSize(), 12);
  EXPECT_GT(titleSize[1], 5);
  EXPECT_DOUBLE_EQ(s.Legend->TitlePosition()[0], 200.0);
  EXPECT_DOUBLE_EQ(s.Legend->TitlePosition()[1], 5 + 0.1 * titleSize[1]);

  {
    Frame f(s.Scene.Window);
    const Rgb grey = f.At(52, 102);
    EXPECT_NEAR(grey[0], 64, 1);
    EXPECT_EQ(f.At(448, 198), grey);
    const int midY = 100 + 77;
    EXPECT_EQ(ScanX(f, 200, midY, -1, grey), 110);
    EXPECT_EQ(ScanX(f, 200, midY, +1, grey), 389);
    EXPECT_EQ(ScanY(f, 200, midY, -1, grey), 160);
    EXPECT_EQ(ScanY(f, 200, midY, +1, grey), 194);
    EXPECT_EQ(f.At(110, midY), Mapped(s.Table, 0.0));
    EXPECT_EQ(f.At(389, midY), Mapped(s.Table, 1.0));
    EXPECT_TRUE(f.IsBlack(30, 150));
    EXPECT_TRUE(f.IsBlack(470, 150));
  }

  s.Legend->SetTextPosition(vtkScalarBarActor::SucceedScalarBar);
  s.Render();
  EXPECT_EQ(s.Legend->Bar(), (A4{ 60, 340, 5, 40 }));
  EXPECT_DOUBLE_EQ(s.Legend->LabelPosition(0)[1], 35.0 + 5.0 + 5.0);
  EXPECT_DOUBLE_EQ(s.Legend->TitlePosition()[1], 25 + 35 + 10.0 + 0.15 * titleSize[1]);
}

// Rebuilds happen on changes only: an unchanged frame keeps the build, a move
// or a resize of the window rebuilds it, and so do changes of the table and
// the text properties.
TEST(ColorTableLegendActor, RebuildsOnChange)
{
  LegendScene s(400, 500, 50, 50, 200, 400);
  s.Legend->SetNumberOfLabels(3);
  s.Legend->SetTextPosition(vtkScalarBarActor::SucceedScalarBar);
  s.Render();
  // Whether the next render rebuilt the legend.
  vtkMTimeType built = s.Legend->Built();
  const auto rebuilt = [&]
  {
    const vtkMTimeType before = built;
    s.Render();
    built = s.Legend->Built();
    return built > before;
  };
  EXPECT_GT(built, 0u);
  EXPECT_FALSE(rebuilt());
  EXPECT_FALSE(rebuilt());

  // Move: the legend is rebuilt at its new origin and drawn there.
  s.Legend->GetPositionCoordinate()->SetValue(150, 60);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->Origin()[0], 150);
  EXPECT_EQ(s.Legend->Origin()[1], 60);
  {
    Frame f(s.Scene.Window);
    EXPECT_TRUE(f.IsBlack(88, 200));
    EXPECT_EQ(f.At(150, 60), Mapped(s.Table, 0.0));
    EXPECT_EQ(ScanX(f, 180, 200, -1, Black), 150);
    EXPECT_EQ(ScanX(f, 180, 200, +1, Black), 225);
  }

  // Normalized coordinates follow a window resize.
  s.Legend->GetPositionCoordinate()->SetCoordinateSystemToNormalizedViewport();
  s.Legend->GetPositionCoordinate()->SetValue(0.1, 0.1);
  s.Legend->GetPosition2Coordinate()->SetCoordinateSystemToNormalizedViewport();
  s.Legend->GetPosition2Coordinate()->SetValue(0.5, 0.8);
  s.Render();
  EXPECT_EQ(s.Legend->Size()[0], 200);
  EXPECT_EQ(s.Legend->Size()[1], 400);
  built = s.Legend->Built();
  s.Scene.Window->SetSize(600, 500);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->Size()[0], 300);
  EXPECT_EQ(s.Legend->Origin()[0], 60);

  // A size above the maximum is laid out at the maximum.
  s.Legend->SetMaximumWidthInPixels(100);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->Size()[0], 100);
  EXPECT_DOUBLE_EQ(s.Legend->BarBounds()[1], 100.0 - 4 - 60);

  // Table and text property changes rebuild.
  s.Table->SetRange(0.0, 10.0);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->LabelText(2), "10.0  ");
  s.Legend->GetLabelTextProperty()->SetFontSize(14);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->LabelFontSize(0), 14);
  s.Legend->GetTitleTextProperty()->SetFontSize(16);
  EXPECT_TRUE(rebuilt());
  EXPECT_EQ(s.Legend->TitleFontSize(), 16);
}

// AutoResizeText off keeps the text properties' font sizes; on fits the
// labels into (0.6 W, 0.86 H / n) and the title into (0.9 W, 0.1 H).
TEST(ColorTableLegendActor, AutoResizeText)
{
  LegendScene s(400, 500, 50, 50, 200, 400);
  s.Legend->SetNumberOfLabels(5);
  s.Legend->SetTextPosition(vtkScalarBarActor::SucceedScalarBar);
  s.Legend->SetTitle("Stress");

  // Height in rows of the label pixels right of the bar.
  auto labelRows = [&s]()
  {
    Frame f(s.Scene.Window);
    const int left = 50 + static_cast<int>(s.Legend->LabelPosition(0)[0]);
    int lowest = f.Height, highest = -1;
    f.Count(
      [&](const Rgb& c, int, int y)
      {
        lowest = c != Black ? std::min(lowest, y) : lowest;
        highest = c != Black ? std::max(highest, y) : highest;
        return false;
      },
      left,
      0,
      250,
      405);
    return highest - lowest;
  };

  s.Render();
  for (int i = 0; i < 5; ++i)
  {
    EXPECT_EQ(s.Legend->LabelFontSize(i), 12);
  }
  EXPECT_EQ(s.Legend->TitleFontSize(), 12);
  const int rowsOff = labelRows();

  const vtkMTimeType before = s.Legend->Built();
  s.Legend->AutoResizeTextOn();
  s.Render();
  EXPECT_GT(s.Legend->Built(), before);
  const int fitted = s.Legend->LabelFontSize(0);
  EXPECT_GT(fitted, 12);
  int widest = 0;
  int tallest = 0;
  for (int i = 0; i < 5; ++i)
  {
    EXPECT_EQ(s.Legend->LabelFontSize(i), fitted);
    int size[2];
    s.Legend->LabelSize(i, s.Renderer(), size);
    EXPECT_LE(size[0], 120);
    EXPECT_LE(size[1], 68);
    widest = std::max(widest, size[0]);
    tallest = std::max(tallest, size[1]);
  }
  // The fitted size fills the box in one direction at least, and the bar
  // takes what the labels leave.
  EXPECT_TRUE(widest > 100 || tallest > 55) << widest << " x " << tallest;
  EXPECT_DOUBLE_EQ(s.Legend->BarBounds()[1], 200.0 - 4 - widest);
  int titleSize[2];
  s.Legend->TitleSize(s.Renderer(), titleSize);
  EXPECT_LE(titleSize[0], 180);
  EXPECT_LE(titleSize[1], 40);
  EXPECT_GT(s.Legend->TitleFontSize(), 12);
  EXPECT_GT(labelRows(), rowsOff);

  s.Legend->AutoResizeTextOff();
  s.Render();
  EXPECT_EQ(s.Legend->LabelFontSize(0), 12);
  EXPECT_EQ(s.Legend->TitleFontSize(), 12);
  EXPECT_DOUBLE_EQ(s.Legend->BarBounds()[1], 76.0);
  EXPECT_EQ(labelRows(), rowsOff);
}

// Labels chosen from the range (AutomaticLabelFormat) and a title kept at
// the labels' height (ReadableTitle), for the ranges and titles that gave
// unreadable legends: the texts the label mappers draw, the title's lines
// against the labels in pixels (title green, labels yellow), and a stored
// baseline per case.
TEST(ColorTableLegendActor, AutomaticLabelsAndReadableTitle)
{
  const char* const longTitle = "displacement_magnitude_at_nodes_step_12";
  const std::vector<std::string> narrow = { "1201.00", "1201.25", "1201.50", "1201.75", "1202.00" };
  struct Case
  {
    const char* Name;
    const char* Title;
    double Min, Max;
    bool Vertical, AutoResize;
    std::vector<std::string> Labels; // empty: nothing drawn
  };
  // clang-format off
  const Case cases[] = {
    { "long-title", longTitle, 1201, 1202, true, true, narrow },
    { "narrow-range", "Temperature", 1201, 1202, true, false, narrow },
    { "zero-to-101", "CellEntityIds", 0, 101, true, false, { "0", "25", "50", "76", "101" } },
    { "tiny-range", "Pressure", 5 - 1e-9, 5 + 1e-9, true, true,
      { "4.9999999990", "4.9999999995", "5.0000000000", "5.0000000005", "5.0000000010" } },
    { "negative", "Stress", -2.5e-7, -1e-8, true, false,
      { "-2.5e-07", "-1.9e-07", "-1.3e-07", "-7.0e-08", "-1.0e-08" } },
    { "across-zero", "Strain", -0.9, 0.3, true, false, { "-0.9", "-0.6", "-0.3", "0.0", "0.3" } },
    { "constant", "Level", 5, 5, true, false, { "", "", "5", "", "" } },
    { "horizontal", longTitle, 0, 101, false, true, { "0", "25", "50", "76", "101" } },
  };
  // clang-format on
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.Name);
    const int x = c.Vertical ? 20 : 10;
    const int y = c.Vertical ? 20 : 130;
    const int W = c.Vertical ? 150 : 180;
    const int H = c.Vertical ? 280 : 90;
    LegendScene s(220, 340, x, y, W, H);
    s.Table->SetRange(c.Min, c.Max);
    s.Legend->SetOrientation(c.Vertical ? VTK_ORIENT_VERTICAL : VTK_ORIENT_HORIZONTAL);
    s.Legend->SetTextPosition(
      c.Vertical ? vtkScalarBarActor::SucceedScalarBar : vtkScalarBarActor::PrecedeScalarBar);
    s.Legend->SetNumberOfLabels(5);
    s.Legend->SetTitle(c.Title);
    s.Legend->SetAutoResizeText(c.AutoResize);
    s.Legend->AutomaticLabelFormatOn();
    s.Legend->ReadableTitleOn();
    s.Render();

    // What the label mappers draw: the expected texts, distinct, none ending
    // in a bare point.
    ASSERT_EQ(s.Legend->LabelsBuilt(), 5);
    std::set<std::string> drawn;
    for (int i = 0; i < 5; ++i)
    {
      const std::string text = s.Legend->LabelText(i);
      EXPECT_EQ(text, c.Labels[i]) << "label " << i;
      EXPECT_TRUE(text.empty() || text.back() != '.') << text;
      EXPECT_TRUE(text.empty() || drawn.insert(text).second) << text << " twice";
    }

    // Every line of the title is at least as high as the highest label, and
    // the title stays within the legend's width.
    Frame f(s.Scene.Window);
    const double* bar = s.Legend->BarBounds();
    const auto outsideBar = [&](int px, int py)
    { return px < x + bar[0] - 1 || px > x + bar[1] || py < y + bar[2] - 1 || py > y + bar[3]; };
    const auto green = [&](const Rgb& p, int px, int py)
    { return p[0] == 0 && p[1] > 0 && p[2] == 0 && outsideBar(px, py); };
    const auto yellow = [&](const Rgb& p, int px, int py)
    { return p[0] > 0 && std::abs(p[0] - p[1]) <= 2 && p[2] == 0 && outsideBar(px, py); };
    const std::vector<int> titleLines = RowRuns(f, green, 0, f.Width);
    const std::vector<int> labelLines = RowRuns(f, yellow, 0, f.Width);
    ASSERT_FALSE(titleLines.empty());
    ASSERT_FALSE(labelLines.empty());
    const int tallestLabel = *std::max_element(labelLines.begin(), labelLines.end());
    for (const int line : titleLines)
    {
      EXPECT_GE(line, tallestLabel);
    }
    EXPECT_EQ(f.Count(green, x + W + 2, 0, f.Width, f.Height), 0) << "title beyond the legend";
    EXPECT_EQ(f.Count(green, 0, f.Height - 1, f.Width, f.Height), 0) << "title cut at the top";

    EXPECT_TRUE(orvi_test::MatchesBaseline(s.Scene.Window, std::string("legend-") + c.Name));
  }
}

// Title text rules, label formats (bounded, checked, with fallback), log
// scale, and the settings that leave no room for a division.
TEST(ColorTableLegendActor, TextsFormatsAndDegenerateSettings)
{
  LegendScene s(400, 500, 50, 50, 200, 400);
  orvi_test::EventRecorder warnings(s.Legend, vtkCommand::WarningEvent);
  s.Legend->SetNumberOfLabels(3);
  s.Legend->SetTextPosition(vtkScalarBarActor::SucceedScalarBar);

  // The title text for a title and a component title, after a render.
  const auto title = [&](const char* t, const char* component)
  {
    s.Legend->SetTitle(t);
    s.Legend->SetComponentTitle(component);
    s.Render();
    return s.Legend->TitleText();
  };
  // Label i after a render with the given format.
  const auto label = [&](const char* format, int i)
  {
    s.Legend->SetLabelFormat(format);
    s.Render();
    return s.Legend->LabelText(i);
  };
  EXPECT_EQ(title("Stress", "XX"), "Stress XX");
  EXPECT_EQ(title("Stress", ""), "Stress");
  EXPECT_EQ(title(nullptr, "Magnitude"), "Magnitude");
  {
    Frame f(s.Scene.Window);
    EXPECT_GT(f.Count([](const Rgb& c, int, int) { return c[1] > 100; }, 70, 405, 250, 440), 20);
  }
  EXPECT_EQ(title(nullptr, nullptr), "");
  EXPECT_EQ(label("%%%.2f%%", 1), "%0.50%");
  EXPECT_EQ(label("%+08.3e", 2), "+1.000e+00");
  EXPECT_EQ(label("v=%lf", 0), "v=0.000000");
  EXPECT_EQ(warnings.Count, 0);

  char fallback[64];
  std::snprintf(fallback, sizeof(fallback), "%-#6.3g", 0.5);
  const char* const badFormats[] = {
    "%d", "%s", "%f %f", "no conversion", "%*f", "%Lf", "%.2f%", nullptr
  };
  for (const char* bad : badFormats)
  {
    const int seen = warnings.Count;
    EXPECT_EQ(label(bad, 1), fallback) << (bad ? bad : "null");
    EXPECT_EQ(warnings.Count, seen + 1) << (bad ? bad : "null");
    const std::string expected = std::string("LabelFormat \"") + (bad ? bad : "(null)") +
      "\" does not format exactly one double; labels use \"%-#6.3g\"";
    EXPECT_TRUE(warnings.Saw(expected)) << expected;
  }
  // A rejected format is reported once, not at every rebuild.
  const int seen = warnings.Count;
  s.Table->SetRange(0.0, 2.0);
  s.Render();
  EXPECT_EQ(warnings.Count, seen);

  // A label longer than the buffer is cut at 511 bytes.
  EXPECT_EQ(label("%700.1f", 2), std::string(511, ' '));
  EXPECT_EQ(label("%600.1f|", 0).size(), 511u);

  // Logarithmic table: labels spread by decades.
  s.Legend->SetLabelFormat("%.0f");
  s.Legend->SetNumberOfLabels(4);
  s.Table->SetScaleToLog10();
  s.Table->SetRange(1.0, 1000.0);
  s.Render();
  for (int i = 0; i < 4; ++i)
  {
    EXPECT_EQ(s.Legend->LabelText(i), std::to_string(static_cast<int>(std::pow(10, i))));
  }
  s.Table->SetScaleToLinear();
  s.Table->SetRange(0.0, 1.0);

  // One label sits at the middle of the range and of the bar.
  s.Legend->SetNumberOfLabels(1);
  s.Render();
  ASSERT_EQ(s.Legend->LabelsBuilt(), 1);
  EXPECT_EQ(s.Legend->LabelText(0), "0");
  int size[2];
  s.Legend->LabelSize(0, s.Renderer(), size);
  EXPECT_DOUBLE_EQ(s.Legend->LabelPosition(0)[1], 0.5 * 344 - 0.6 * size[1]);

  // No labels: no label objects, the bar takes the whole width but 4.
  s.Legend->SetNumberOfLabels(0);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Renderer()), 0);
  s.Render();
  EXPECT_EQ(s.Legend->LabelsBuilt(), 0);
  EXPECT_DOUBLE_EQ(s.Legend->BarBounds()[1], 196.0);
  {
    Frame f(s.Scene.Window);
    EXPECT_EQ(ScanX(f, 100, 200, +1, Black), 50 + 196 - 1);
  }

  // One colour: a single quad over the whole bar, coloured with the middle.
  s.Legend->SetNumberOfLabels(2);
  s.Legend->ForceColors(1);
  s.Render();
  EXPECT_EQ(s.Legend->BarQuads(), 1);
  {
    Frame f(s.Scene.Window);
    EXPECT_EQ(f.At(80, 55), Mapped(s.Table, 0.5));
    EXPECT_EQ(f.At(80, 390), Mapped(s.Table, 0.5));
  }
  // No colours: no bar drawn, labels still there.
  s.Legend->ForceColors(0);
  s.Legend->UseOpacityOn();
  s.Render();
  EXPECT_EQ(s.Legend->BarQuads(), 0);
  EXPECT_EQ(s.Legend->LabelsBuilt(), 2);
  {
    Frame f(s.Scene.Window);
    for (int y = 50; y < 394; y += 7)
    {
      EXPECT_TRUE(f.IsBlack(80, y)) << y;
    }
  }
  // A legend of no size at all draws without trouble.
  s.Legend->ForceColors(8);
  s.Legend->GetPosition2Coordinate()->SetValue(0, 0);
  s.Legend->AutoResizeTextOn();
  s.Render();
  EXPECT_EQ(s.Legend->Size()[0], 0);
}

// A missing table warns, missing text properties are errors; nothing is
// drawn then. The texts follow VTK's macros.
TEST(ColorTableLegendActor, DiagnosticsThroughObservers)
{
  LegendScene s(300, 300, 10, 10, 100, 200);
  orvi_test::EventRecorder warnings(s.Legend, vtkCommand::WarningEvent);
  orvi_test::EventRecorder errors(s.Legend, vtkCommand::ErrorEvent);

  s.Legend->SetLookupTable(nullptr);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Renderer()), 0);
  ASSERT_EQ(warnings.Count, 1);
  orvi_test::ExpectVtkMessage(
    warnings.Texts[0], "Warning", "LegendProbe", "Need a mapper to render a scalar bar");
  EXPECT_TRUE(warnings.Saw("vtkColorTableLegendActor.cxx, line "));
  s.Render();
  EXPECT_EQ(warnings.Count, 2);
  EXPECT_EQ(s.Legend->Built(), 0u);
  {
    Frame f(s.Scene.Window);
    EXPECT_EQ(f.Count([](const Rgb& c, int, int) { return c != Black; }), 0);
  }

  s.Legend->SetLookupTable(s.Table);
  vtkSmartPointer<vtkTextProperty> title = s.Legend->GetTitleTextProperty();
  s.Legend->SetTitleTextProperty(nullptr);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Renderer()), 0);
  ASSERT_EQ(errors.Count, 1);
  EXPECT_EQ(errors.Texts[0].rfind("ERROR: In ", 0), 0u);
  EXPECT_TRUE(errors.Saw("): Need title text property to render a scalar bar\n\n"));

  s.Legend->SetTitleTextProperty(title);
  vtkSmartPointer<vtkTextProperty> label = s.Legend->GetLabelTextProperty();
  s.Legend->SetLabelTextProperty(nullptr);
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Renderer()), 0);
  ASSERT_EQ(errors.Count, 2);
  EXPECT_TRUE(errors.Saw("): Need label text property to render a scalar bar\n\n"));

  s.Legend->SetLabelTextProperty(label);
  s.Legend->SetTitle("T");
  EXPECT_EQ(s.Legend->RenderOpaqueGeometry(s.Renderer()), 1);
  EXPECT_EQ(warnings.Count, 2);
  EXPECT_EQ(errors.Count, 2);
}
