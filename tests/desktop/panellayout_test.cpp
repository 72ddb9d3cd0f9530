// The panel's geometry as plain functions: section heights, the gradient columns, the month
// tables and the date under a point, docking, snapping, resizing, edge zones. Moving and
// sizing by the mouse and placing the window are checked on the window.

#include "desktop/panellayout.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

constexpr int R = 20;

TEST(ContentHeight, CountsTheRowsOfEveryShownSection) {
  // A panel 210 wide, rows of R, two days after today, with only the sections named: E events,
  // A today always shown, T tasks, C month, P/N small previous/next month, Q quick notes,
  // I information box, W weather with its current conditions, w weather without them.
  const struct {
    std::string_view on;
    PanelCounts counts;
    int rows;
  } cases[] = {
      {"T", {}, 2},                    // the Tasks header stays without open tasks
      {"P", {}, 1},                    // small months only beside the month
      {"w", {{}, 0, 5}, 1},            // no weather rows without the current conditions
      {"E", {{0, 0, 0}, 0, 0}, 1},     // empty days take no room,
      {"EA", {{0, 0, 0}, 0, 0}, 2},    // but today when it is always shown
      {"E", {{2, 0, 3}, 0, 0}, 8},     // a header row for each day with events
      {"E", {{0, 0, 0, 4}, 0, 0}, 1},  // days past DisplayDays are not shown
      {"EATCNQI", {{1, 2, 0}, 2, 0}, 1 + 5 + 3 + 5 + 12 + 6},
      {"W", {{}, 0, 5}, 6},
  };
  for (const auto& c : cases) {
    const auto has = [&c](char letter) { return c.on.find(letter) != std::string_view::npos; };
    DisplaySettings s;
    s.GradientHeight = R, s.Width = 210, s.DisplayDays = 2, s.MemoLines = 5;
    s.DisplayEvents = has('E'), s.AlwaysShowToday = has('A'), s.DisplayTaskList = has('T'), s.DisplayCal = has('C');
    s.DisplayPrevMonth = has('P'), s.DisplayNextMonth = has('N'), s.DisplayNotebook = has('Q');
    s.CurrentWeather = has('W'), s.DisplayWeather = has('W') || has('w'), s.UseToolTips = !has('I');
    EXPECT_EQ(ContentHeight(s, c.counts), c.rows * R) << c.on << " " << c.rows;
    EXPECT_EQ(LayoutBackgroundBars(s, c.counts).height, c.rows * R) << c.on << " " << c.rows;
  }
}

TEST(GradientColumns, StepFromOneStepInRoundHalvesToEvenAndKeepChannelsInAByte) {
  const struct {
    quint32 start, end;
    int width, column;  // -1: the last column
    quint32 expected;
  } cases[] = {
      {0, 0xC8, 100, 49, 100},    // red 0 -> 200 in steps of 2, from one step in
      {0xFF0000, 0, 220, -1, 0},  // the last column stays within a byte
      {0, 0x010000, 2, 2, 0x020000},
      {0, 2, 2, 1, 2},   // halves to even
      {1, 1, 50, 0, 0},  // the colour key is drawn black
  };
  for (const auto& c : cases) {
    const std::vector<quint32> columns = GradientColumns(c.start, c.end, c.width);
    ASSERT_EQ(columns.size(), static_cast<size_t>(c.width) + 1);
    EXPECT_EQ(c.column < 0 ? columns.back() : columns[static_cast<size_t>(c.column)], c.expected)
        << std::hex << c.start << " -> " << c.end << " column " << std::dec << c.column;
  }
}

TEST(MonthTables, SixWeekMonthsOffsetsAndTheCellUnderAPoint) {
  const TDateTime october = DT(2022, 10, 12, 9, 30);  // October 2022 starts on a Saturday
  const MonthCellTable six = MakeMonthCells(october, 0);
  EXPECT_EQ(six[0][6], D(2022, 10, 1));
  EXPECT_EQ(six[5][1], D(2022, 10, 31));
  for (double v : six[6]) EXPECT_EQ(v, october);
  EXPECT_EQ(ShownMonthDate(DT(2024, 1, 31, 10, 0), 1), D(2024, 2, 29));  // keeping the last day
  EXPECT_EQ(MakeMonthCells(D(2024, 1, 31), 1)[0][4], D(2024, 2, 1));
  const TDateTime now = DT(2024, 3, 15, 12, 0);  // one small month alone is stored four columns right
  EXPECT_EQ(MakeSideMonthCells(now, 0, true, false)[0][8], D(2024, 2, 1));
  EXPECT_EQ(MakeSideMonthCells(now, 0, false, true)[0][5], D(2024, 4, 1));
  // March 2024 starts on a Friday; columns of 30 pixels, small-month columns of 14.
  const CalendarGeometry g{R, 210, 100, true};
  const MonthCellTable cells = MakeMonthCells(now, 0);
  const SideMonthCellTable side = MakeSideMonthCells(now, 0, true, true);
  const struct {
    int x, y;  // y below the calendar's top
    TDateTime expected;
  } cases[] = {
      {5 * 30 + 3, 2 * R + 1, D(2024, 3, 1)},
      {0, 8 * R - 1, D(2024, 3, 31)},
      {0, 2 * R, now},
      {210, 4 * R, D(2024, 3, 16)},  // past the right edge: last column
      {20, 8 * R + 3, now},          // the small months' title row
      {4 * 14, 9 * R, D(2024, 2, 1)},
      {4 * 14 + 2, 9 * R + 4 * (R / 2), D(2024, 2, 29)},
      {9 * 14, 9 * R + 1, D(2024, 4, 1)},
      {9 * 14, 14 * R, now},  // below the small months
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CalendarDateAt(c.x, g.calendarTop + c.y, g, cells, side, now), c.expected) << c.x << "," << c.y;
  }
}

TEST(Docking, DocksWithinARowOfTheEdgesSnapsToThemAndSizesAndZonesStayInsideTheWorkArea) {
  const QRect work(0, 0, 1000, 800);
  // Fields: window, work area, showing, R, LastHeight, LastWidth, DesktopTop, DesktopLeft, docked bottom, right.
  DockingResult out = ComputeDocking({QRect(780, 480, 200, 300), work, false, R});
  EXPECT_TRUE(out.dockBottom && out.dockRight);
  out = ComputeDocking({QRect(779, 479, 200, 300), work, false, R});
  EXPECT_FALSE(out.dockBottom || out.dockRight);
  // Nothing to write while the window stays put (the height alone does not count).
  EXPECT_FALSE(ComputeDocking({QRect(100, 50, 200, 300), work, false, R, 280, 200, 50, 100}).changed);
  EXPECT_TRUE(ComputeDocking({QRect(100, 50, 200, 300), work, false, R, 280, 200, 50, 99}).changed);
  // A work area away from the origin counts its own edges.
  out = ComputeDocking({QRect(2000, 500, 200, 200), QRect(1920, 30, 1280, 994), true, R, 100, 200, 0, 0, true});
  EXPECT_EQ(out.position, QPoint(2000, 1024 - 200));
  const std::pair<QPoint, QPoint> snaps[] = {{{19, 19}, {19, 19}}, {{782, 200}, {800, 200}}, {{900, 700}, {800, 500}}};
  for (const auto& [proposed, expected] : snaps) {
    EXPECT_EQ(SnapToWorkArea(QRect(proposed, QSize(200, 300)), work, R).topLeft(), expected) << proposed.x();
  }
  EXPECT_EQ(SnapToWorkArea(QRect(1930, 10, 200, 300), QRect(1920, 30, 1280, 994), R).topLeft(), QPoint(1920, 30));
  EXPECT_EQ(ResizedPlace(QRect(0, 800, 220, 200), QSize(220, 400), work, false), QRect(0, 400, 220, 400));
  // Sizes out of bounds are refused; the program's own resize keeps MaxHeight (-1).
  for (const QSize refused : {QSize(200, 2 * R - 1), QSize(200, 801), QSize(1001, 300)}) {
    EXPECT_FALSE(FormCanResize({refused, work.size(), R, false, true, 300}).accepted) << refused.height();
  }
  ResizeResult resized = FormCanResize({QSize(240, 310), work.size(), R, false, true, 300});
  EXPECT_EQ(std::tuple(resized.height, resized.maxHeight), std::tuple(310, 800 / R)) << "room for all the content";
  resized = FormCanResize({QSize(240, 215), work.size(), R, false, false, 300});
  EXPECT_EQ(std::tuple(resized.accepted, resized.height, resized.maxHeight), std::tuple(true, 215, -1));
  const std::pair<QPoint, HitZone> zones[] = {{{100, 3}, HitZone::Top},       {{2, 2}, HitZone::TopLeft},
                                              {{198, 1}, HitZone::TopRight},  {{197, 150}, HitZone::Right},
                                              {{100, 297}, HitZone::Bottom},  {{199, 299}, HitZone::BottomRight},
                                              {{0, 299}, HitZone::BottomLeft}};
  for (const auto& [at, zone] : zones) EXPECT_EQ(PanelHitZone(at.x(), at.y(), 0, QSize(200, 300), R), zone) << at.x();
  // Scrolled: the title row is gone, the edges stay (edges of R div 5 = 4 pixels).
  EXPECT_EQ(PanelHitZone(100, 10, 40, QSize(200, 300), R), HitZone::Client);
  EXPECT_EQ(PanelHitZone(100, 298, 80, QSize(200, 300), R), HitZone::Bottom);
}

}  // namespace
