// The panel's geometry as plain functions: section heights, bars and marks, the month
// tables and the date under a point, window size, docking, snapping, resizing, edge zones.

#include "desktop/panellayout.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

constexpr int R = 20;

DisplaySettings Plain() {
  DisplaySettings s;
  s.GradientHeight = R;
  s.Width = 210;
  s.DisplayDays = 2;
  s.DisplayEvents = false;
  s.DisplayTaskList = false;
  s.DisplayCal = false;
  s.DisplayWeather = false;
  s.DisplayNotebook = false;
  s.UseToolTips = true;
  s.AlwaysShowToday = false;
  s.MemoLines = 5;
  return s;
}

// --- ContentHeight for the section combinations.

struct HeightCase {
  const char* name;
  void (*setup)(DisplaySettings&);
  PanelCounts counts;
  int rows;  // expected height in rows
};

class ContentHeightTest : public ::testing::TestWithParam<HeightCase> {};

TEST_P(ContentHeightTest, CountsRowsOfEveryShownSection) {
  DisplaySettings s = Plain();
  GetParam().setup(s);
  EXPECT_EQ(ContentHeight(s, GetParam().counts), GetParam().rows * R);
  // The bars' layout ends where the content does.
  EXPECT_EQ(LayoutBackgroundBars(s, GetParam().counts).height, GetParam().rows * R);
}

INSTANTIATE_TEST_SUITE_P(
    Sections, ContentHeightTest,
    ::testing::Values(
        HeightCase{"TitleOnly", [](DisplaySettings&) {}, {}, 1},
        HeightCase{"TaskListEmpty", [](DisplaySettings& s) { s.DisplayTaskList = true; }, {{}, 0, 0}, 2},
        HeightCase{"TaskListThree", [](DisplaySettings& s) { s.DisplayTaskList = true; }, {{}, 3, 0}, 5},
        HeightCase{"Calendar", [](DisplaySettings& s) { s.DisplayCal = true; }, {}, 9},
        HeightCase{"CalendarWithPrevious", [](DisplaySettings& s) { s.DisplayCal = s.DisplayPrevMonth = true; }, {}, 13},
        HeightCase{"CalendarWithNext", [](DisplaySettings& s) { s.DisplayCal = s.DisplayNextMonth = true; }, {}, 13},
        HeightCase{"SmallMonthsWithoutCalendar", [](DisplaySettings& s) { s.DisplayPrevMonth = true; }, {}, 1},
        HeightCase{"QuickNotes", [](DisplaySettings& s) { s.DisplayNotebook = true; }, {}, 7},
        HeightCase{"InformationBox", [](DisplaySettings& s) { s.UseToolTips = false; }, {}, 6},
        HeightCase{"WeatherRows", [](DisplaySettings& s) { s.DisplayWeather = s.CurrentWeather = true; }, {{}, 0, 5}, 6},
        HeightCase{"WeatherWithoutCurrent", [](DisplaySettings& s) { s.DisplayWeather = true; s.CurrentWeather = false; },
                   {{}, 0, 5}, 1},
        HeightCase{"EmptyDaysWithoutToday", [](DisplaySettings& s) { s.DisplayEvents = true; }, {{0, 0, 0}, 0, 0}, 1},
        HeightCase{"EmptyTodayAlwaysShown",
                   [](DisplaySettings& s) { s.DisplayEvents = s.AlwaysShowToday = true; }, {{0, 0, 0}, 0, 0}, 2},
        HeightCase{"EventsOnTwoDays", [](DisplaySettings& s) { s.DisplayEvents = true; }, {{2, 0, 3}, 0, 0}, 8},
        HeightCase{"DaysBeyondDisplayDaysIgnored", [](DisplaySettings& s) { s.DisplayEvents = true; },
                   {{0, 0, 0, 4}, 0, 0}, 1},
        HeightCase{"Everything",
                   [](DisplaySettings& s) {
                     s.DisplayEvents = s.AlwaysShowToday = s.DisplayTaskList = s.DisplayCal = s.DisplayNextMonth = true;
                     s.DisplayNotebook = true;
                     s.UseToolTips = false;
                   },
                   {{1, 2, 0}, 2, 0}, 1 + 5 + 3 + 5 + 12 + 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LayoutMarks, FollowTheSectionsInOrder) {
  DisplaySettings s = Plain();
  s.DisplayEvents = s.DisplayTaskList = s.DisplayCal = s.DisplayPrevMonth = s.DisplayNotebook = true;
  s.UseToolTips = false;
  const PanelLayout layout = LayoutBackgroundBars(s, {{1, 0, 2}, 3, 0});
  // Title, day 0 header + 1, day 2 header + 2.
  EXPECT_EQ(layout.marks.TasksTop, 6 * R);
  EXPECT_EQ(layout.marks.TasksBottom, 10 * R);
  EXPECT_EQ(layout.marks.CalendarTop, 15 * R);  // after the information box
  EXPECT_EQ(layout.marks.WeatherTop, 33 * R);
  // Bars: title, two day headers, Tasks, month title, small-month titles, Quick Notes.
  ASSERT_EQ(layout.bars.size(), 7u);
  EXPECT_EQ(layout.bars[0].y, 0);
  EXPECT_EQ(layout.bars[1].y, R);
  EXPECT_EQ(layout.bars[2].y, 3 * R);
  EXPECT_EQ(layout.bars[3].y, 6 * R);
  EXPECT_EQ(layout.bars[4].y, 15 * R);
  EXPECT_EQ(layout.bars[5].y, 23 * R);
  EXPECT_EQ(layout.bars[5].height, R / 2);
  EXPECT_EQ(layout.bars[6].y, 27 * R);
}

TEST(LayoutMarks, TaskListOffLeavesTopEqualBottom) {
  DisplaySettings s = Plain();
  const PanelLayout layout = LayoutBackgroundBars(s, {{}, 4, 0});
  EXPECT_EQ(layout.marks.TasksTop, R);
  EXPECT_EQ(layout.marks.TasksBottom, R);
}

// --- Gradient columns.

TEST(GradientColumns, StartOneStepInAndEndOneStepPast) {
  // Red 0 -> 200 over 100 pixels: step 2, first column 2, column 100 is 202.
  const auto columns = GradientColumns(0x000000, 0x0000C8, 100);
  ASSERT_EQ(columns.size(), 101u);
  EXPECT_EQ(columns.front(), 2u);
  EXPECT_EQ(columns[49], 100u);
  EXPECT_EQ(columns.back(), 202u);
}

TEST(GradientColumns, ChannelsStayWithinAByte) {
  // Green 0 -> 255 would pass 255 in the last column; it stays 255 and does not spill.
  const auto columns = GradientColumns(0x000000, 0x00FF00, 220);
  EXPECT_EQ(columns.back(), 0x00FF00u);
  const auto down = GradientColumns(0xFF0000, 0x000000, 220);
  EXPECT_EQ(down.back(), 0x000000u);
}

TEST(GradientColumns, RoundHalvesToEven) {
  // Blue 0 -> 1 over 2 pixels: 0.5 rounds to 0, 1.0 to 1, 1.5 to 2.
  const auto columns = GradientColumns(0x000000, 0x010000, 2);
  EXPECT_EQ(columns[0], 0x000000u);
  EXPECT_EQ(columns[1], 0x010000u);
  EXPECT_EQ(columns[2], 0x020000u);
}

TEST(GradientColumns, TheColourKeyIsDrawnBlack) {
  const auto columns = GradientColumns(1, 1, 50);
  for (quint32 c : columns) EXPECT_EQ(c, 0u);
  // Red 0 -> 2 over 2 pixels passes through exactly red 1 in the first column.
  const auto through = GradientColumns(0, 2, 2);
  EXPECT_EQ(through[0], 0u);
  EXPECT_EQ(through[1], 2u);
}

// --- Month tables.

TEST(MonthCells, ThirtyOneDaysFromSaturdayUseSixWeekRows) {
  const TDateTime now = DT(2022, 10, 12, 9, 30);  // October 2022 starts on a Saturday
  const MonthCellTable cells = MakeMonthCells(now, 0);
  EXPECT_EQ(cells[0][6], D(2022, 10, 1));
  EXPECT_EQ(cells[0][5], now);
  EXPECT_EQ(cells[5][0], D(2022, 10, 30));
  EXPECT_EQ(cells[5][1], D(2022, 10, 31));
  EXPECT_EQ(cells[5][2], now);
  for (double v : cells[6]) EXPECT_EQ(v, now);
}

TEST(MonthCells, TwentyEightDaysFromSundayUseFourAndTheSectionStaysEightRows) {
  const TDateTime now = DT(2015, 2, 10, 8, 0);  // February 2015 starts on a Sunday
  const MonthCellTable cells = MakeMonthCells(now, 0);
  EXPECT_EQ(cells[0][0], D(2015, 2, 1));
  EXPECT_EQ(cells[3][6], D(2015, 2, 28));
  for (int row = 4; row < 7; ++row) {
    for (double v : cells[static_cast<size_t>(row)]) EXPECT_EQ(v, now);
  }
  DisplaySettings s = Plain();
  s.DisplayCal = true;
  EXPECT_EQ(ContentHeight(s, {}), 9 * R);
}

TEST(MonthCells, OffsetMovesWholeMonthsKeepingTheLastDay) {
  EXPECT_EQ(ShownMonthDate(DT(2024, 1, 31, 10, 0), 1), D(2024, 2, 29));
  EXPECT_EQ(ShownMonthDate(D(2024, 3, 15), -14), D(2023, 1, 15));
  const MonthCellTable cells = MakeMonthCells(D(2024, 1, 31), 1);
  EXPECT_EQ(cells[0][4], D(2024, 2, 1));  // February 2024 starts on a Thursday
}

TEST(SideMonthCells, BothMonthsSitSideBySideWithDefaults) {
  const TDateTime now = DT(2024, 3, 15, 12, 0);
  const SideMonthCellTable cells = MakeSideMonthCells(now, 0, true, true);
  // February 2024 starts on Thursday (column 4), April 2024 on Monday (column 8 + 1).
  EXPECT_EQ(cells[0][4], D(2024, 2, 1));
  EXPECT_EQ(cells[0][9], D(2024, 4, 1));
  // Blank cells: a month back, today in the gap, a month on.
  EXPECT_EQ(cells[0][0], D(2024, 2, 15));
  EXPECT_EQ(cells[0][7], D(2024, 3, 15));
  EXPECT_EQ(cells[0][8], D(2024, 4, 15));
  EXPECT_EQ(cells[6][14], D(2024, 4, 15));
}

TEST(SideMonthCells, OnePreviousMonthIsStoredFourColumnsRight) {
  const TDateTime now = DT(2024, 3, 15, 12, 0);
  const SideMonthCellTable cells = MakeSideMonthCells(now, 0, true, false);
  EXPECT_EQ(cells[0][4 + 4], D(2024, 2, 1));
  EXPECT_EQ(cells[0][4], D(2024, 3, 15));  // a blank cell holds today
  const SideMonthCellTable next = MakeSideMonthCells(now, 0, false, true);
  EXPECT_EQ(next[0][1 + 4], D(2024, 4, 1));
}

// --- CalendarDateAt.

struct DateAtCase {
  const char* name;
  int x;
  int y;  // relative to the calendar's top
  TDateTime expected;
};

class CalendarDateAtTest : public ::testing::TestWithParam<DateAtCase> {};

TEST_P(CalendarDateAtTest, FindsTheCellUnderThePoint) {
  const TDateTime now = DT(2024, 3, 15, 12, 0);  // March 2024 starts on a Friday
  CalendarGeometry g;
  g.R = R;
  g.W = 210;  // columns of 30 pixels; small-month columns of 14
  g.calendarTop = 100;
  g.sideMonths = true;
  const MonthCellTable cells = MakeMonthCells(now, 0);
  const SideMonthCellTable side = MakeSideMonthCells(now, 0, true, true);
  EXPECT_EQ(CalendarDateAt(GetParam().x, g.calendarTop + GetParam().y, g, cells, side, now), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Points, CalendarDateAtTest,
    ::testing::Values(DateAtCase{"FirstOfMonth", 5 * 30 + 3, 2 * R + 1, D(2024, 3, 1)},
                      DateAtCase{"SecondWeekSunday", 0, 3 * R, D(2024, 3, 3)},
                      DateAtCase{"LastDay", 0, 7 * R + R - 1, D(2024, 3, 31)},
                      DateAtCase{"BlankCell", 0, 2 * R, DT(2024, 3, 15, 12, 0)},
                      DateAtCase{"FarRightEdge", 210, 4 * R, D(2024, 3, 16)},
                      DateAtCase{"SmallMonthTitleRow", 20, 8 * R + 3, DT(2024, 3, 15, 12, 0)},
                      DateAtCase{"SmallPreviousMonth", 4 * 14, 9 * R, D(2024, 2, 1)},
                      DateAtCase{"SmallPreviousLastRow", 4 * 14 + 2, 9 * R + 4 * (R / 2), D(2024, 2, 29)},
                      DateAtCase{"SmallGapHoldsToday", 7 * 14, 9 * R, D(2024, 3, 15)},
                      DateAtCase{"SmallNextMonth", 9 * 14, 9 * R + 1, D(2024, 4, 1)},
                      DateAtCase{"BelowTheSmallMonths", 9 * 14, 14 * R, DT(2024, 3, 15, 12, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Window size.

TEST(WindowSize, FitsTheContentOrScrolls) {
  DisplaySettings s = Plain();
  s.MaxHeight = 10;
  WindowSize fit = ComputeWindowSize(10 * R, s);
  EXPECT_FALSE(fit.scrollMode);
  EXPECT_EQ(fit.height, 10 * R);
  EXPECT_EQ(fit.width, 210);
  WindowSize scroll = ComputeWindowSize(11 * R, s);
  EXPECT_TRUE(scroll.scrollMode);
  EXPECT_EQ(scroll.height, 10 * R);
  EXPECT_EQ(scroll.width, 210 + 15);
  EXPECT_EQ(scroll.scrollRange, 11 * R);
}

TEST(WindowSize, NeverTallerThanTheWorkArea) {
  DisplaySettings s = Plain();
  s.MaxHeight = 49;  // set on a 1080-pixel screen; the work area is now 520 high (200%)
  const WindowSize size = ComputeWindowSize(35 * R, s, 520);
  EXPECT_TRUE(size.scrollMode);
  EXPECT_EQ(size.height, (520 / R) * R);
  EXPECT_EQ(size.width, 210 + 15);
  EXPECT_FALSE(ComputeWindowSize(26 * R, s, 520).scrollMode);
}

// --- Docking.

TEST(Docking, AWindowWithinOneRowOfTheEdgesIsDocked) {
  DockingInput in;
  in.workArea = QRect(0, 0, 1000, 800);
  in.R = R;
  in.window = QRect(1000 - 200 - R, 800 - 300 - R, 200, 300);
  DockingResult out = ComputeDocking(in);
  EXPECT_TRUE(out.dockBottom);
  EXPECT_TRUE(out.dockRight);
  in.window.translate(-1, -1);
  out = ComputeDocking(in);
  EXPECT_FALSE(out.dockBottom);
  EXPECT_FALSE(out.dockRight);
}

TEST(Docking, ShowingGrowsADockedWindowUpAndLeft) {
  DockingInput in;
  in.workArea = QRect(0, 0, 1000, 800);
  in.R = R;
  in.showing = true;
  in.dockBottom = in.dockRight = true;
  in.LastHeight = 300;
  in.LastWidth = 200;
  in.DesktopTop = 500;
  in.DesktopLeft = 800;
  in.window = QRect(800, 500, 250, 400);  // more content and a wider panel since last time
  const DockingResult out = ComputeDocking(in);
  EXPECT_EQ(out.position, QPoint(750, 400));
  EXPECT_TRUE(out.changed);
  EXPECT_TRUE(out.dockBottom);
  EXPECT_EQ(out.LastHeight, 400);
  EXPECT_EQ(out.LastWidth, 250);
}

TEST(Docking, WorkAreaAwayFromTheOriginCountsItsOwnEdges) {
  DockingInput in;
  in.workArea = QRect(1920, 30, 1280, 994);  // a second monitor with a panel on top
  in.R = R;
  in.showing = true;
  in.dockBottom = true;
  in.LastHeight = 100;
  in.LastWidth = 200;
  in.window = QRect(2000, 500, 200, 200);
  const DockingResult out = ComputeDocking(in);
  EXPECT_EQ(out.position, QPoint(2000, 1024 - 200));
}

TEST(Docking, NothingChangesWhenTheWindowStaysPut) {
  DockingInput in;
  in.workArea = QRect(0, 0, 1000, 800);
  in.R = R;
  in.window = QRect(100, 50, 200, 300);
  in.LastHeight = 280;  // the height alone does not count outside showing
  in.LastWidth = 200;
  in.DesktopTop = 50;
  in.DesktopLeft = 100;
  EXPECT_FALSE(ComputeDocking(in).changed);
  in.DesktopLeft = 99;
  EXPECT_TRUE(ComputeDocking(in).changed);
}

TEST(Docking, ShowingBringsADockedPanelBackToTheEdgesOfAnotherScreen) {
  // Last placed on a screen scaled to 200% (960 x 520 work area), now at 100%.
  DockingInput in;
  in.workArea = QRect(0, 0, 1920, 1040);
  in.R = R;
  in.showing = true;
  in.dockBottom = in.dockRight = true;
  in.LastHeight = 300;
  in.LastWidth = 200;
  in.DesktopTop = 220;
  in.DesktopLeft = 760;
  in.window = QRect(760, 220, 200, 300);
  const DockingResult out = ComputeDocking(in);
  EXPECT_EQ(out.position, QPoint(1720, 740));
  EXPECT_TRUE(out.dockBottom);
  EXPECT_TRUE(out.dockRight);
  EXPECT_TRUE(out.changed);
}

TEST(Docking, KeepsTheWindowInsideTheWorkArea) {
  // Docked to the bottom of a small work area with a window taller than it: the top stays
  // on the screen (the title row and the handle to move it by).
  DockingInput in;
  in.workArea = QRect(0, 0, 960, 520);
  in.R = R;
  in.showing = true;
  in.dockBottom = true;
  in.LastHeight = 500;
  in.LastWidth = 200;
  in.window = QRect(700, 0, 200, 730);
  EXPECT_EQ(ComputeDocking(in).position, QPoint(700, 0));
  in.window = QRect(900, 100, 200, 300);  // past the right edge
  in.dockBottom = false;
  EXPECT_EQ(ComputeDocking(in).position, QPoint(760, 100));
}

// --- A new size given by the program.

struct ResizedCase {
  const char* name;
  QRect window;
  QSize size;
  bool dockRight;
  QRect expected;
};

void PrintTo(const ResizedCase& c, std::ostream* os) { *os << c.name; }

class ResizedPlaceTest : public ::testing::TestWithParam<ResizedCase> {};

TEST_P(ResizedPlaceTest, KeepsTheDockedEdgeAndStaysInside) {
  const ResizedCase& c = GetParam();
  EXPECT_EQ(ResizedPlace(c.window, c.size, QRect(0, 0, 1920, 1040), c.dockRight), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ResizedPlaceTest,
    ::testing::Values(
        ResizedCase{"ScrollBarAppearsDockedRight", QRect(1700, 0, 220, 400), QSize(235, 400), true, QRect(1685, 0, 235, 400)},
        ResizedCase{"ScrollBarGoesDockedRight", QRect(1685, 0, 235, 400), QSize(220, 400), true, QRect(1700, 0, 220, 400)},
        ResizedCase{"UndockedKeepsItsLeftEdge", QRect(500, 100, 220, 400), QSize(235, 420), false, QRect(500, 100, 235, 420)},
        ResizedCase{"GrowingPastTheRightEdge", QRect(1690, 0, 220, 400), QSize(235, 400), false, QRect(1685, 0, 235, 400)},
        ResizedCase{"GrowingPastTheBottom", QRect(0, 800, 220, 200), QSize(220, 400), false, QRect(0, 640, 220, 400)}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Snapping.

struct SnapCase {
  const char* name;
  QRect proposed;
  QPoint expected;
};

class SnapTest : public ::testing::TestWithParam<SnapCase> {};

TEST_P(SnapTest, KeepsThePanelInsideAndSnapsNearEdges) {
  const QRect work(0, 0, 1000, 800);
  EXPECT_EQ(SnapToWorkArea(GetParam().proposed, work, R).topLeft(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Moves, SnapTest,
                         ::testing::Values(SnapCase{"Inside", QRect(300, 200, 200, 300), QPoint(300, 200)},
                                           SnapCase{"NearLeftSnaps", QRect(18, 200, 200, 300), QPoint(0, 200)},
                                           SnapCase{"JustOutsideSnapDistance", QRect(19, 19, 200, 300), QPoint(19, 19)},
                                           SnapCase{"PastLeft", QRect(-50, 200, 200, 300), QPoint(0, 200)},
                                           SnapCase{"NearRight", QRect(782, 200, 200, 300), QPoint(800, 200)},
                                           SnapCase{"PastBottomRight", QRect(900, 700, 200, 300), QPoint(800, 500)},
                                           SnapCase{"PastTop", QRect(300, -40, 200, 300), QPoint(300, 0)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Snap, FollowsTheWorkAreaOfAnotherMonitor) {
  EXPECT_EQ(SnapToWorkArea(QRect(1930, 10, 200, 300), QRect(1920, 30, 1280, 994), R).topLeft(), QPoint(1920, 30));
}

// --- Sizing limits.

struct ResizeCase {
  const char* name;
  QSize proposed;
  bool scrollMode;
  bool user;
  int contentHeight;
  bool accepted;
  int height;
  int panelWidth;
  int maxHeight;
};

class ResizeTest : public ::testing::TestWithParam<ResizeCase> {};

TEST_P(ResizeTest, AppliesTheLimits) {
  const ResizeCase& c = GetParam();
  ResizeInput in;
  in.proposed = c.proposed;
  in.workArea = QSize(1000, 800);
  in.R = R;
  in.scrollMode = c.scrollMode;
  in.userResize = c.user;
  in.contentHeight = c.contentHeight;
  const ResizeResult out = FormCanResize(in);
  EXPECT_EQ(out.accepted, c.accepted);
  if (!c.accepted) return;
  EXPECT_EQ(out.height, c.height);
  EXPECT_EQ(out.panelWidth, c.panelWidth);
  EXPECT_EQ(out.maxHeight, c.maxHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ResizeTest,
    ::testing::Values(ResizeCase{"TooNarrow", QSize(99, 300), false, true, 300, false, 0, 0, -1},
                      ResizeCase{"TooLow", QSize(200, 2 * R - 1), false, true, 300, false, 0, 0, -1},
                      ResizeCase{"TallerThanWorkArea", QSize(200, 801), false, true, 300, false, 0, 0, -1},
                      ResizeCase{"WiderThanWorkArea", QSize(1001, 300), false, true, 300, false, 0, 0, -1},
                      ResizeCase{"SmallestAllowed", QSize(100, 2 * R), false, false, 300, true, 2 * R, 100, -1},
                      ResizeCase{"UserMakesRoomForAll", QSize(240, 310), false, true, 300, true, 310, 240, 800 / R},
                      ResizeCase{"UserLimitsToWholeRows", QSize(240, 215), false, true, 300, true, 200, 240, 10},
                      ResizeCase{"ScrollBarIsNotPanelWidth", QSize(240, 215), true, true, 300, true, 200, 225, 10},
                      ResizeCase{"ProgramResizeKeepsMaxHeight", QSize(240, 215), false, false, 300, true, 215, 240, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Edge zones.

struct ZoneCase {
  const char* name;
  int x;
  int y;
  int scroll;
  HitZone zone;
};

class HitZoneTest : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(HitZoneTest, MapsThePointer) {
  // E = R div 5 = 4 pixels.
  EXPECT_EQ(PanelHitZone(GetParam().x, GetParam().y, GetParam().scroll, QSize(200, 300), R), GetParam().zone);
}

INSTANTIATE_TEST_SUITE_P(
    Points, HitZoneTest,
    ::testing::Values(ZoneCase{"TitleRowMoves", 100, 10, 0, HitZone::Caption},
                      ZoneCase{"TopEdge", 100, 3, 0, HitZone::Top},
                      ZoneCase{"TopLeftCorner", 2, 2, 0, HitZone::TopLeft},
                      ZoneCase{"TopRightCorner", 198, 1, 0, HitZone::TopRight},
                      ZoneCase{"LeftOfTitleRow", 1, 10, 0, HitZone::Left},
                      ZoneCase{"Content", 100, 150, 0, HitZone::Client},
                      ZoneCase{"RightEdge", 197, 150, 0, HitZone::Right},
                      ZoneCase{"BottomEdge", 100, 297, 0, HitZone::Bottom},
                      ZoneCase{"BottomRightCorner", 199, 299, 0, HitZone::BottomRight},
                      ZoneCase{"BottomLeftCorner", 0, 299, 0, HitZone::BottomLeft},
                      ZoneCase{"ScrolledTitleIsContent", 100, 10, 40, HitZone::Client},
                      ZoneCase{"ScrolledContentIsNotBottomEdge", 100, 250, 80, HitZone::Client},
                      ZoneCase{"ScrolledBottomEdgeStays", 100, 298, 80, HitZone::Bottom}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
