// The painter: the blend over the desktop, the gradient bars, today's marking, the hit rows
// and the text rules, checked on the pixels of the picture.

#include "desktop/displayfunctions.h"
#include "panelfixture.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

constexpr int R = 20;
constexpr int W = 200;
constexpr quint32 Backdrop = Bgr(10, 200, 30);
constexpr quint32 Background = Bgr(200, 100, 50);
constexpr quint32 BarColour = Bgr(0, 0, 240);

// The title row and an empty information box: one bar, then plain background.
DisplaySettings TitleAndBox() {
  DisplaySettings s;
  s.GradientHeight = R;
  s.Width = W;
  s.DisplayEvents = s.DisplayTaskList = s.DisplayCal = s.DisplayNotebook = s.DisplayWeather = false;
  s.UseToolTips = false;
  s.UseDropShadow = false;
  s.MemoLines = 5;
  s.BgColor = Background;
  s.GradientStart = s.GradientEnd = BarColour;
  return s;
}

QImage Solid(QSize size, quint32 bgr) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(ColourOf(bgr));
  return image;
}

QImage Paint(DisplayFunctions& painter, const QImage* backdrop = nullptr) {
  painter.BeginPaint();
  const WindowSize size = painter.UpdateWindowSize();
  QImage picture(size.width, size.height, QImage::Format_RGB32);
  QImage s = backdrop ? *backdrop : Solid(picture.size(), Backdrop);
  painter.PaintPanel(picture, &s);
  return picture;
}

int Blend(int p, int s, int a) { return p * (255 - a) / 255 + s * a / 255; }

quint32 BlendBgr(quint32 p, quint32 s, int a) {
  auto ch = [](quint32 c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
  return Bgr(Blend(ch(p, 0), ch(s, 0), a), Blend(ch(p, 8), ch(s, 8), a), Blend(ch(p, 16), ch(s, 16), a));
}

// --- The blend.

struct BlendCase {
  const char* name;
  int bgAlpha;
  int midAlpha;
};

class BlendTest : public ::testing::TestWithParam<BlendCase> {};

TEST_P(BlendTest, ComposesBackgroundBarsAndDesktop) {
  PanelContext ctx(DT(2024, 3, 15, 10, 0));
  DisplaySettings s = TitleAndBox();
  s.BgAlpha = static_cast<quint8>(GetParam().bgAlpha);
  s.MidAlpha = static_cast<quint8>(GetParam().midAlpha);
  DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
  const QImage picture = Paint(painter);
  ASSERT_EQ(picture.size(), QSize(W, 6 * R));
  // The background: BgColor blended with BgAlpha, then again with MidAlpha.
  const quint32 plain = BlendBgr(BlendBgr(Background, Backdrop, GetParam().bgAlpha), Backdrop, GetParam().midAlpha);
  EXPECT_EQ(PixelBgr(picture, W / 2, 3 * R), plain);
  EXPECT_EQ(PixelBgr(picture, W - 1, 6 * R - 1), plain);
  // A bar: only the second blend.
  EXPECT_EQ(PixelBgr(picture, 2, 3), BlendBgr(BarColour, Backdrop, GetParam().midAlpha));
}

INSTANTIATE_TEST_SUITE_P(Alphas, BlendTest,
                         ::testing::Values(BlendCase{"BothOpaque", 0, 0}, BlendCase{"BothClear", 255, 255},
                                           BlendCase{"ClearBackgroundOpaqueBars", 255, 0},
                                           BlendCase{"OpaqueBackgroundClearMid", 0, 255},
                                           BlendCase{"HalfBackground", 127, 0}, BlendCase{"Defaults", 127, 16},
                                           BlendCase{"MidOnly", 0, 100}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Blend, BothClearShowsTheDesktopUnchanged) {
  PanelContext ctx(DT(2024, 3, 15, 10, 0));
  DisplaySettings s = TitleAndBox();
  s.BgAlpha = s.MidAlpha = 255;
  DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
  // A backdrop with a different value at every pixel.
  QImage backdrop(W, 6 * R, QImage::Format_RGB32);
  for (int y = 0; y < backdrop.height(); ++y) {
    for (int x = 0; x < W; ++x) backdrop.setPixel(x, y, qRgb(x, y * 2 % 256, (x + y) % 256));
  }
  const QImage picture = Paint(painter, &backdrop);
  for (int y = R + 2; y < 6 * R; ++y) {  // below the title text
    for (int x = 0; x < W; ++x) ASSERT_EQ(picture.pixel(x, y), backdrop.pixel(x, y)) << x << "," << y;
  }
}

TEST(Blend, ExactTableArithmetic) {
  QImage p(1, 1, QImage::Format_RGB32);
  QImage s(1, 1, QImage::Format_RGB32);
  p.setPixel(0, 0, qRgb(255, 0, 128));
  s.setPixel(0, 0, qRgb(0, 255, 128));
  BlendInto(p, s, 128);
  // 255 * 127 div 255 + 0 = 127; 0 + 255 * 128 div 255 = 128; 128*127/255 + 128*128/255 = 63 + 64.
  EXPECT_EQ(p.pixel(0, 0), qRgb(127, 128, 127));
}

TEST(Blend, PanelAlphaFadesTheWholePicture) {
  PanelContext ctx(DT(2024, 3, 15, 10, 0));
  DisplaySettings s = TitleAndBox();
  s.BgAlpha = s.MidAlpha = 0;
  s.PanelAlpha = 0;
  DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
  const QImage picture = Paint(painter);
  EXPECT_EQ(PixelBgr(picture, W / 2, 3 * R), Backdrop);
  EXPECT_EQ(PixelBgr(picture, W / 2, 5), Backdrop);
}

TEST(Blend, TranslucentPictureComposesToTheSameBackground) {
  PanelContext ctx(DT(2024, 3, 15, 10, 0));
  DisplaySettings s = TitleAndBox();
  s.BgAlpha = 127;
  s.MidAlpha = 16;
  DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
  painter.BeginPaint();
  QImage layer(W, 6 * R, QImage::Format_ARGB32_Premultiplied);
  painter.PaintPanel(layer, nullptr);
  QImage composed = Solid(layer.size(), Backdrop);
  {
    QPainter p(&composed);
    p.drawImage(0, 0, layer);
  }
  const quint32 expected = BlendBgr(BlendBgr(Background, Backdrop, 127), Backdrop, 16);
  const quint32 got = PixelBgr(composed, W / 2, 3 * R);
  for (int shift : {0, 8, 16}) {
    EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((expected >> shift) & 0xFF), 2);
  }
}

// --- Gradient bars.

TEST(GradientBar, EndColumnsAndTheColourKey) {
  PanelContext ctx(DT(2024, 3, 15, 10, 0));
  DisplaySettings s = TitleAndBox();
  s.BgAlpha = s.MidAlpha = 0;
  s.GradientStart = Bgr(0, 0, 0);
  s.GradientEnd = Bgr(200, 0, 0);  // one step of red per column: the first column is red 1
  DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
  const QImage picture = Paint(painter);
  EXPECT_EQ(PixelBgr(picture, 0, 2), 0u) << "the colour key is drawn black";
  EXPECT_EQ(PixelBgr(picture, 1, 2), Bgr(2, 0, 0));
  EXPECT_EQ(PixelBgr(picture, W - 1, 2), Bgr(200, 0, 0));
  // The bar covers y to y + R: its last pixel row is the next row's first.
  EXPECT_EQ(PixelBgr(picture, W - 1, R), Bgr(200, 0, 0));
  EXPECT_EQ(PixelBgr(picture, W - 1, R + 1), Background);
}

// --- The month: today's marking.

DisplaySettings CalendarOnly() {
  DisplaySettings s;
  s.GradientHeight = 21;
  s.Width = 220;
  s.DisplayEvents = s.DisplayTaskList = s.DisplayNotebook = s.DisplayWeather = false;
  s.DisplayCal = true;
  s.BgAlpha = s.MidAlpha = 0;
  return s;
}

// The rectangle in which two pictures differ; empty when equal.
QRect Difference(const QImage& a, const QImage& b) {
  QRect out;
  for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
    for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
      if (a.pixel(x, y) != b.pixel(x, y)) out |= QRect(x, y, 1, 1);
    }
  }
  return out;
}

TEST(MonthPainting, TodayIsMarkedOnlyAtOffsetZero) {
  const DisplaySettings s = CalendarOnly();
  // March 2024 shown twice: at offset 0 on the 13th, and at offset +1 from February 13th.
  PanelContext march(DT(2024, 3, 13, 10, 0));
  DisplayFunctions atZero(march.calendar(), *march.clock, s);
  const QImage marked = Paint(atZero);
  PanelContext february(DT(2024, 2, 13, 10, 0));
  DisplayFunctions atOne(february.calendar(), *february.clock, s);
  atOne.MonthOffset = 1;
  const QImage unmarked = Paint(atOne);
  PanelContext otherDay(DT(2024, 2, 20, 10, 0));
  DisplayFunctions alsoAtOne(otherDay.calendar(), *otherDay.clock, s);
  alsoAtOne.MonthOffset = 1;
  EXPECT_EQ(Paint(alsoAtOne), unmarked) << "no day is marked away from the current month";

  // The only difference is the cell of the 13th (Wednesday of the third week row).
  const int c = 220 / 7;
  const QRect cell(3 * c, 21 * (1 + 2 + 2), c, 21);  // title row, month title and labels, two weeks
  const QRect diff = Difference(marked, unmarked);
  ASSERT_FALSE(diff.isEmpty());
  EXPECT_TRUE(cell.adjusted(-2, -2, 2, 2).contains(diff)) << diff.x() << "," << diff.y() << " " << diff.width() << "x"
                                                          << diff.height();
}

TEST(MonthPainting, SectionIsEightRowsForAFourRowMonthAndCellsAreRecorded) {
  PanelContext ctx(DT(2015, 2, 10, 9, 0));  // February 2015: Sunday the 1st, 28 days
  const DisplaySettings s = CalendarOnly();
  DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
  const QImage picture = Paint(painter);
  EXPECT_EQ(picture.height(), 9 * 21);
  EXPECT_EQ(painter.Marks.CalendarTop, 21);
  EXPECT_EQ(painter.CalendarDateAt(0, 21 + 2 * 21), D(2015, 2, 1));
  EXPECT_EQ(painter.CalendarDateAt(219, 21 + 5 * 21 + 3), D(2015, 2, 28));
  EXPECT_EQ(painter.CalendarDateAt(0, 21 + 6 * 21), DT(2015, 2, 10, 9, 0));
}

TEST(MonthPainting, SmallMonthsFillTheirTable) {
  PanelContext ctx(DT(2024, 3, 15, 12, 0));
  DisplaySettings s = CalendarOnly();
  s.DisplayPrevMonth = true;
  DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
  Paint(painter);
  // One small month: February 2024 starts on Thursday, stored four columns to the right.
  EXPECT_EQ(painter.SideMonthCells[0][8], D(2024, 2, 1));
  EXPECT_EQ(painter.CalendarDateAt(8 * (220 / 15) + 1, 21 + 9 * 21), D(2024, 2, 1));
}

// --- The day list and the hit rows.

TEST(DayList, ThreeEventsWithANoteOnTheSecond) {
  const TDateTime now = DT(2024, 3, 15, 8, 0);
  PanelContext ctx(now);
  DataFormat& cal = ctx.calendar();
  const int call = AddEvent(cal, D(2024, 3, 15), QStringLiteral("Call"), EncodeTime(14, 0));
  const int dentist = AddEvent(cal, D(2024, 3, 15), QStringLiteral("Dentist"), EncodeTime(9, 5));
  const int holiday = AddEvent(cal, D(2024, 3, 15), QStringLiteral("Holiday"));
  cal.AddDayNote(dentist, QStringLiteral("bring the card"), D(2024, 3, 15));
  DisplaySettings s;
  s.GradientHeight = 24;  // g = 3
  s.Width = 220;
  s.DisplayDays = 0;
  s.DisplayCal = s.DisplayNotebook = s.DisplayWeather = false;
  s.BgAlpha = s.MidAlpha = 0;
  s.NoteColor = Bgr(255, 0, 255);
  DisplayFunctions painter(cal, *ctx.clock, s);
  const QImage picture = Paint(painter);

  // Title, day header, three events (all-day first, then by time), "Tasks".
  const std::vector<THitRow> expected = {{D(2024, 3, 15), 0, ' '},       {D(2024, 3, 15), 0, ' '},
                                         {D(2024, 3, 15), holiday, 'N'}, {D(2024, 3, 15), dentist, 'N'},
                                         {D(2024, 3, 15), call, 'N'},    {now, 0, ' '}};
  EXPECT_EQ(painter.HitRows, expected);
  EXPECT_EQ(painter.Marks.TasksTop, 5 * 24);
  // The note flag sits at the left end of the second event's row, and of no other row.
  const int g = 3;
  EXPECT_EQ(PixelBgr(picture, 3 * g + 1, 3 * 24 + 2 * g + 2), s.NoteColor);
  EXPECT_NE(PixelBgr(picture, 3 * g + 1, 2 * 24 + 2 * g + 2), s.NoteColor);
  EXPECT_NE(PixelBgr(picture, 3 * g + 1, 4 * 24 + 2 * g + 2), s.NoteColor);
}

TEST(DayList, DisplayDaysCountsTheDaysAfterToday) {
  PanelContext ctx(DT(2024, 3, 15, 8, 0));
  AddSeries(ctx.calendar(), D(2024, 3, 1), 1, QStringLiteral("Walk"), EncodeTime(7, 0));
  DisplaySettings s;
  s.DisplayTaskList = s.DisplayCal = s.DisplayNotebook = s.DisplayWeather = false;
  s.DisplayDays = 0;
  DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
  painter.BeginPaint();
  EXPECT_EQ(painter.ContentHeight(), 3 * s.R());
  s.DisplayDays = 6;
  painter.BeginPaint();
  EXPECT_EQ(painter.ContentHeight(), (1 + 7 * 2) * s.R());
}

TEST(DayList, EmptyTodayTakesNoRowUnlessAlwaysShown) {
  PanelContext ctx(DT(2024, 3, 15, 8, 0));
  DisplaySettings s;
  s.DisplayTaskList = s.DisplayCal = s.DisplayNotebook = s.DisplayWeather = false;
  s.AlwaysShowToday = false;
  DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
  Paint(painter);
  EXPECT_EQ(painter.HitRows.size(), 1u);
  s.AlwaysShowToday = true;
  Paint(painter);
  EXPECT_EQ(painter.HitRows.size(), 2u);
}

TEST(TaskList, OpenTasksInDisplayOrderWithTheirRows) {
  PanelContext ctx(DT(2024, 3, 15, 8, 0));
  DataFormat& cal = ctx.calendar();
  const int later = AddTask(cal, QStringLiteral("Later"), 0, 3);
  const int urgent = AddTask(cal, QStringLiteral("Urgent"), D(2024, 3, 14), 0);
  const int done = AddTask(cal, QStringLiteral("Done"), 0, 0);
  cal.ToggleToDoCompleted(done);
  DisplaySettings s;
  s.DisplayEvents = s.DisplayCal = s.DisplayNotebook = s.DisplayWeather = false;
  DisplayFunctions painter(cal, *ctx.clock, s);
  Paint(painter);
  ASSERT_EQ(painter.HitRows.size(), 4u);
  EXPECT_EQ(painter.HitRows[1].Kind, ' ');
  EXPECT_EQ(painter.HitRows[2], (THitRow{0, urgent, 'T'}));
  EXPECT_EQ(painter.HitRows[3], (THitRow{0, later, 'T'}));
  EXPECT_EQ(painter.Marks.TasksBottom, 4 * s.R());
}

// --- Text fitting.

TEST(TextFitting, ShrinksToFitAndStopsAtTheSmallestFont) {
  PanelContext ctx(DT(2024, 3, 15, 8, 0));
  DisplaySettings s;
  s.UseDropShadow = false;
  DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
  QImage image(300, 50, QImage::Format_RGB32);
  QPainter p(&image);
  const QString text = QStringLiteral("Wednesday, Sep 30 (Today)");
  const int wide = painter.DrawTextLeft(p, 0, 0, text, 10000);
  const int narrow = painter.DrawTextLeft(p, 0, 0, text, wide / 2);
  EXPECT_LE(narrow, wide / 2);
  EXPECT_GT(narrow, 0);
  // Nothing fits in no room: the loop ends at the smallest font and draws there.
  const int none = painter.DrawTextLeft(p, 0, 0, text, 0);
  EXPECT_GT(none, 0);
  EXPECT_LT(none, narrow);
  EXPECT_EQ(painter.DrawTextLeft(p, 0, 0, text, -50), none);
}

}  // namespace

namespace {

TEST(DayEventCache, DisplayOrderMatchesSortDayEvents) {
  PanelContext ctx(DT(2024, 3, 15, 8, 0));
  DataFormat& cal = ctx.calendar();
  const TDateTime day = D(2024, 3, 15);
  // All-day and timed events with ties, in an order that insertion sorting scrambles.
  const double times[] = {-1, 9, 8, -1, 9, 12, 8, -1, 0, 23.5, 9, -1, 0};
  for (double t : times) {
    AddEvent(cal, day, QStringLiteral("e"), t < 0 ? -1 : t / 24.0);
  }
  AddSeries(cal, D(2024, 3, 1), 1, QStringLiteral("daily"), 9 / 24.0);
  AddSeries(cal, D(2024, 3, 1), 1, QStringLiteral("daily all day"));
  DayEventCache cache(cal);
  const std::vector<int> mine = cache.Sorted(day);
  cal.FindDayEvents(day);
  cal.SortDayEvents();
  EXPECT_EQ(mine, cal.DayEvents);
  EXPECT_EQ(cache.Events(day).size(), mine.size());
}

}  // namespace
