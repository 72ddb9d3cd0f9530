// The painter, checked on the pixels of its picture: the blend over the desktop, the gradient
// bars, today's marking, the day and task lists with their hit rows, the text rules; and the
// display settings it paints from, as read from the settings store.

#include "desktop/displayfunctions.h"
#include "panelfixture.h"
#include "settings/displaysettings.h"
#include "settings/settings.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QPainter>

namespace {

constexpr int W = 200;
constexpr quint32 Backdrop = Bgr(10, 200, 30);
constexpr quint32 Background = Bgr(200, 100, 50);
constexpr quint32 BarColour = Bgr(0, 0, 240);

// Rows of R = 20: the title row and an empty information box, one bar over plain background.
DisplaySettings TitleAndBox(int bgAlpha, int midAlpha) {
  DisplaySettings s;
  s.GradientHeight = 20;
  s.Width = W;
  s.DisplayEvents = s.DisplayTaskList = s.DisplayCal = s.DisplayNotebook = s.DisplayWeather = false;
  s.UseToolTips = s.UseDropShadow = false;
  s.MemoLines = 5;
  s.BgColor = Background;
  s.GradientStart = s.GradientEnd = BarColour;
  s.BgAlpha = static_cast<quint8>(bgAlpha);
  s.MidAlpha = static_cast<quint8>(midAlpha);
  return s;
}

// The panel painted over a backdrop (by default one of the Backdrop colour).
QImage Paint(DisplayFunctions& painter, QImage backdrop = {}) {
  painter.BeginPaint();
  const WindowSize size = painter.UpdateWindowSize();
  QImage picture(size.width, size.height, QImage::Format_RGB32);
  if (backdrop.isNull()) {
    backdrop = QImage(picture.size(), QImage::Format_RGB32);
    backdrop.fill(ColourOf(Backdrop));
  }
  painter.PaintPanel(picture, &backdrop);
  return picture;
}

// Each channel p * (255 - a) div 255 + s * a div 255, written out independently of the painter.
quint32 BlendBgr(quint32 p, quint32 s, int a) {
  quint32 out = 0;
  for (int shift : {0, 8, 16}) {
    const int pc = static_cast<int>((p >> shift) & 0xFF), sc = static_cast<int>((s >> shift) & 0xFF);
    out |= static_cast<quint32>(pc * (255 - a) / 255 + sc * a / 255) << shift;
  }
  return out;
}

TEST(Blend, ComposesBackgroundBarsAndDesktop) {
  PanelContext ctx(DT(2024, 3, 15, 10, 0));
  const std::pair<int, int> alphas[] = {{0, 0}, {255, 255}, {255, 0}, {0, 255}, {127, 0}, {127, 16}, {0, 100}};
  for (const auto& [bg, mid] : alphas) {
    const DisplaySettings s = TitleAndBox(bg, mid);
    DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
    const QImage picture = Paint(painter);
    ASSERT_EQ(picture.size(), QSize(W, 120));
    // The background: BgColor blended with BgAlpha, then again with MidAlpha; a bar only the second.
    const quint32 plain = BlendBgr(BlendBgr(Background, Backdrop, bg), Backdrop, mid);
    EXPECT_EQ(PixelBgr(picture, W / 2, 60), plain) << bg << "/" << mid;
    EXPECT_EQ(PixelBgr(picture, W - 1, 119), plain) << bg << "/" << mid;
    EXPECT_EQ(PixelBgr(picture, 2, 3), BlendBgr(BarColour, Backdrop, mid)) << bg << "/" << mid;
  }
  // Both clear: a backdrop with a different value at every pixel shows unchanged below the title.
  const DisplaySettings clear = TitleAndBox(255, 255);
  DisplayFunctions painter(ctx.calendar(), *ctx.clock, clear);
  QImage backdrop(W, 120, QImage::Format_RGB32);
  for (int y = 0; y < backdrop.height(); ++y) {
    for (int x = 0; x < W; ++x) backdrop.setPixel(x, y, qRgb(x, y * 2 % 256, (x + y) % 256));
  }
  EXPECT_EQ(Paint(painter, backdrop).copy(0, 22, W, 98), backdrop.copy(0, 22, W, 98));
  // PanelAlpha 0 fades the whole opaque picture away.
  DisplaySettings faded = TitleAndBox(0, 0);
  faded.PanelAlpha = 0;
  DisplayFunctions fadedPainter(ctx.calendar(), *ctx.clock, faded);
  const QImage gone = Paint(fadedPainter);
  EXPECT_EQ(PixelBgr(gone, W / 2, 60), Backdrop);
  EXPECT_EQ(PixelBgr(gone, W / 2, 5), Backdrop);
  // Without a backdrop (under a compositor) the translucent picture composes to the same colour.
  const DisplaySettings half = TitleAndBox(127, 16);
  DisplayFunctions translucent(ctx.calendar(), *ctx.clock, half);
  translucent.BeginPaint();
  QImage layer(W, 120, QImage::Format_ARGB32_Premultiplied);
  translucent.PaintPanel(layer, nullptr);
  QImage composed(layer.size(), QImage::Format_RGB32);
  composed.fill(ColourOf(Backdrop));
  QPainter(&composed).drawImage(0, 0, layer);
  const QColor got = composed.pixelColor(W / 2, 60);
  const QColor want = ColourOf(BlendBgr(BlendBgr(Background, Backdrop, 127), Backdrop, 16));
  for (const auto channel : {&QColor::red, &QColor::green, &QColor::blue}) {
    EXPECT_NEAR((got.*channel)(), (want.*channel)(), 2);
  }
}

TEST(MonthPainting, TodayIsMarkedOnlyInTheCurrentMonth) {
  DisplaySettings s;  // the month alone, rows of 21 in a panel 220 wide
  s.GradientHeight = 21;
  s.Width = 220;
  s.DisplayEvents = s.DisplayTaskList = s.DisplayNotebook = s.DisplayWeather = false;
  s.BgAlpha = s.MidAlpha = 0;
  // March 2024 shown three times: on the 13th, and a month on from February 13th and 20th.
  auto paint = [&s](TDateTime now, int offset) {
    PanelContext ctx(now);
    DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
    painter.MonthOffset = offset;
    return Paint(painter);
  };
  const QImage marked = paint(DT(2024, 3, 13, 10, 0), 0), unmarked = paint(DT(2024, 2, 13, 10, 0), 1);
  EXPECT_EQ(paint(DT(2024, 2, 20, 10, 0), 1), unmarked) << "no day is marked away from the current month";
  // The only difference is the cell of the 13th (Wednesday of the third week row).
  QRect diff;
  for (int y = 0; y < marked.height(); ++y) {
    for (int x = 0; x < marked.width(); ++x) {
      if (marked.pixel(x, y) != unmarked.pixel(x, y)) diff |= QRect(x, y, 1, 1);
    }
  }
  const int c = 220 / 7;
  const QRect cell(3 * c, 21 * 5, c, 21);  // below the title row, month title, labels and two weeks
  ASSERT_FALSE(diff.isEmpty());
  EXPECT_TRUE(cell.adjusted(-2, -2, 2, 2).contains(diff)) << diff.x() << "," << diff.y() << " " << diff.width();
}

TEST(DayList, AllDayEventsFirstThenByTimeWithTheNoteFlag) {
  const TDateTime now = DT(2024, 3, 15, 8, 0), day = D(2024, 3, 15);
  PanelContext ctx(now);
  DataFormat& cal = ctx.calendar();
  const int call = AddEvent(cal, day, QStringLiteral("Call"), EncodeTime(14, 0));
  const int dentist = AddEvent(cal, day, QStringLiteral("Dentist"), EncodeTime(9, 5));
  const int holiday = AddEvent(cal, day, QStringLiteral("Holiday"));
  cal.AddDayNote(dentist, QStringLiteral("bring the card"), day);
  DisplaySettings s;
  s.GradientHeight = 24;  // g = 3
  s.Width = 220;
  s.DisplayDays = 0;
  s.DisplayCal = s.DisplayNotebook = s.DisplayWeather = false;
  s.BgAlpha = s.MidAlpha = 0;
  s.NoteColor = Bgr(255, 0, 255);
  DisplayFunctions painter(cal, *ctx.clock, s);
  const QImage picture = Paint(painter);
  // Title, day header, the three events, "Tasks".
  const std::vector<THitRow> expected = {{day, 0, ' '},       {day, 0, ' '},    {day, holiday, 'N'},
                                         {day, dentist, 'N'}, {day, call, 'N'}, {now, 0, ' '}};
  EXPECT_EQ(painter.HitRows, expected);
  EXPECT_EQ(painter.Marks.TasksTop, 5 * 24);
  // The note flag sits at the left end of the second event's row, and of no other row.
  for (int row : {2, 3, 4}) EXPECT_EQ(PixelBgr(picture, 10, row * 24 + 8) == s.NoteColor, row == 3) << row;
}

TEST(DayList, ShowsTodayAndDisplayDaysMoreAndAnEmptyTodayOnlyWhenAlwaysShown) {
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
  AddSeries(ctx.calendar(), D(2024, 3, 1), 1, QStringLiteral("Walk"), EncodeTime(7, 0));
  s.DisplayDays = 0;
  painter.BeginPaint();
  EXPECT_EQ(painter.ContentHeight(), 3 * s.R());
  s.DisplayDays = 6;
  painter.BeginPaint();
  EXPECT_EQ(painter.ContentHeight(), (1 + 7 * 2) * s.R());
}

TEST(TaskList, OpenTasksInDisplayOrderWithTheirRows) {
  PanelContext ctx(DT(2024, 3, 15, 8, 0));
  DataFormat& cal = ctx.calendar();
  const int later = AddTask(cal, QStringLiteral("Later"), 0, 3);
  const int urgent = AddTask(cal, QStringLiteral("Urgent"), D(2024, 3, 14), 0);
  cal.ToggleToDoCompleted(AddTask(cal, QStringLiteral("Done"), 0, 0));
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

// Text shrinks to its room; with no room the loop ends at the smallest font and draws there.
TEST(TextFitting, ShrinksToFitAndStopsAtTheSmallestFont) {
  PanelContext ctx(DT(2024, 3, 15, 8, 0));
  DisplayFunctions painter(ctx.calendar(), *ctx.clock, ctx.display());
  QImage image(300, 50, QImage::Format_RGB32);
  QPainter p(&image);
  const QString text = QStringLiteral("Wednesday, Sep 30 (Today)");
  const int wide = painter.DrawTextLeft(p, 0, 0, text, 10000), narrow = painter.DrawTextLeft(p, 0, 0, text, wide / 2);
  const int none = painter.DrawTextLeft(p, 0, 0, text, 0);
  EXPECT_TRUE(0 < none && none < narrow && narrow <= wide / 2) << none << " " << narrow << " " << wide;
  EXPECT_EQ(painter.DrawTextLeft(p, 0, 0, text, -50), none);
}

TEST(LoadDisplaySettings, ReadsTypedValuesAndBringsValuesOutOfRangeIn) {
  PanelContext ctx(DT(2024, 3, 15, 9, 0));
  TSettings& settings = ctx.context->settings();
  settings.SetSetting(QStringLiteral("GradientStart"), QStringLiteral("16711680"));  // blue
  settings.SetSetting(QStringLiteral("FontName"), QStringLiteral("DejaVu Serif"));
  settings.SetSetting(QStringLiteral("DisplayPrevMonth"), QStringLiteral("-1"));
  settings.SetSetting(QStringLiteral("UseToolTips"), QStringLiteral("0"));
  settings.SetSetting(QStringLiteral("BgAlpha"), QStringLiteral("300"));  // alphas stay within a byte
  settings.SetSetting(QStringLiteral("MidAlpha"), QStringLiteral("-4"));
  DisplaySettings d;
  LoadDisplaySettings(settings, d);
  EXPECT_EQ(d.GradientStart, 0xFF0000u);
  EXPECT_EQ(d.FontName, QStringLiteral("DejaVu Serif"));
  EXPECT_TRUE(d.DisplayPrevMonth && !d.UseToolTips);
  EXPECT_EQ(d.BgAlpha, 255);
  EXPECT_EQ(d.MidAlpha, 0);
  const std::tuple<const char*, const char*, int DisplaySettings::*, int> cases[] = {
      {"GradientHeight", "5000", &DisplaySettings::GradientHeight, 200},
      {"Width", "10", &DisplaySettings::Width, 100},
      {"DisplayDays", "-3", &DisplaySettings::DisplayDays, 0},
      {"MaxHeight", "0", &DisplaySettings::MaxHeight, 2}};
  for (const auto& [key, value, field, expected] : cases) {
    settings.SetSetting(QLatin1String(key), QLatin1String(value));
    LoadDisplaySettings(settings, d);
    EXPECT_EQ(d.*field, expected) << key << "=" << value;
  }
}

TEST(LoadDisplaySettings, AMissingAlarmSoundSwitchesTheSoundOff) {
  TempHome home;
  PanelContext ctx(DT(2024, 3, 15, 9, 0));
  TSettings& settings = ctx.context->settings();
  settings.SetSetting(QStringLiteral("AlarmEnabled"), QStringLiteral("-1"));
  settings.SetSetting(QStringLiteral("AlarmSound"), home.path() + QStringLiteral("/none.wav"));
  DisplaySettings d;
  LoadDisplaySettings(settings, d);
  EXPECT_FALSE(d.AlarmEnabled);
  QFile sound(home.path() + QStringLiteral("/chime.wav"));
  ASSERT_TRUE(sound.open(QIODevice::WriteOnly) && sound.write("RIFF") == 4);
  sound.close();
  settings.SetSetting(QStringLiteral("AlarmSound"), sound.fileName());
  LoadDisplaySettings(settings, d);
  EXPECT_TRUE(d.AlarmEnabled);
  EXPECT_EQ(d.AlarmSound, sound.fileName());
}

}  // namespace
