// The painter, checked on the pixels of its picture: the blend over the desktop, today's
// marking, the day and task lists with their hit rows, the text rules; and the display
// settings it paints from, as read from the settings store.

#include "desktop/displayfunctions.h"
#include "panelfixture.h"
#include "settings/displaysettings.h"
#include "settings/settings.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QPainter>

namespace {

constexpr quint32 Backdrop = Bgr(10, 200, 30), Background = Bgr(200, 100, 50), BarColour = Bgr(0, 0, 240);

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

quint32 PixelBgr(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return Bgr(qRed(p), qGreen(p), qBlue(p));
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

// Rows of 20 in a panel 200 wide: the title row and an empty information box, one bar over
// plain background, blended with BgAlpha and MidAlpha; a PanelAlpha of 0 fades it all away.
TEST(Blend, ComposesBackgroundBarsAndDesktop) {
  PanelContext ctx(DT(2024, 3, 15, 10, 0));
  const int alphas[][3] = {{0, 0, 255},   {255, 255, 255}, {255, 0, 255}, {0, 255, 255},
                           {127, 0, 255}, {127, 16, 255},  {0, 100, 255}, {0, 0, 0}};
  for (const auto& [bg, mid, panel] : alphas) {
    DisplaySettings s;
    s.GradientHeight = 20, s.Width = 200, s.MemoLines = 5;
    s.DisplayEvents = s.DisplayTaskList = s.DisplayCal = s.DisplayNotebook = s.DisplayWeather = false;
    s.UseToolTips = s.UseDropShadow = false;
    s.BgColor = Background, s.GradientStart = s.GradientEnd = BarColour;
    s.BgAlpha = static_cast<quint8>(bg), s.MidAlpha = static_cast<quint8>(mid), s.PanelAlpha = quint8(panel);
    DisplayFunctions painter(ctx.calendar(), *ctx.clock, s);
    const QImage picture = Paint(painter);
    ASSERT_EQ(picture.size(), QSize(200, 120));
    // The background: BgColor blended with BgAlpha, then again with MidAlpha; a bar only the second.
    const quint32 plain = panel ? BlendBgr(BlendBgr(Background, Backdrop, bg), Backdrop, mid) : Backdrop;
    EXPECT_EQ(PixelBgr(picture, 100, 60), plain) << bg << "/" << mid;
    EXPECT_EQ(PixelBgr(picture, 199, 119), plain) << bg << "/" << mid;
    EXPECT_EQ(PixelBgr(picture, 2, 3), panel ? BlendBgr(BarColour, Backdrop, mid) : Backdrop) << bg << "/" << mid;
    if (bg != 255 || mid != 255) continue;
    // Both clear: a backdrop with a different value at every pixel shows unchanged below the title.
    QImage backdrop(200, 120, QImage::Format_RGB32);
    for (int i = 0; i < 200 * 120; ++i) backdrop.setPixel(i % 200, i / 200, qRgb(i % 200, i / 100 % 256, i % 253));
    EXPECT_EQ(Paint(painter, backdrop).copy(0, 22, 200, 98), backdrop.copy(0, 22, 200, 98));
  }
}

TEST(MonthPainting, TodayIsMarkedOnlyInTheCurrentMonth) {
  DisplaySettings s;  // the month alone, rows of 21 in a panel 220 wide
  s.GradientHeight = 21, s.Width = 220, s.BgAlpha = s.MidAlpha = 0;
  s.DisplayEvents = s.DisplayTaskList = s.DisplayNotebook = s.DisplayWeather = false;
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
  for (int i = 0; i < marked.width() * marked.height(); ++i) {
    const int x = i % marked.width(), y = i / marked.width();
    if (marked.pixel(x, y) != unmarked.pixel(x, y)) diff |= QRect(x, y, 1, 1);
  }
  ASSERT_FALSE(diff.isEmpty());
  // Below the title row, month title, labels and two weeks.
  EXPECT_TRUE(QRect(3 * 31 - 2, 21 * 5 - 2, 31 + 4, 21 + 4).contains(diff)) << diff.x() << "," << diff.y();
}

TEST(DayList, AllDayEventsFirstWithTheNoteFlagAndAnEmptyTodayOnlyWhenAlwaysShown) {
  const TDateTime now = DT(2024, 3, 15, 8, 0), day = D(2024, 3, 15);
  PanelContext ctx(now);
  DataFormat& cal = ctx.calendar();
  DisplaySettings s;
  s.GradientHeight = 24, s.Width = 220, s.DisplayDays = 0, s.AlwaysShowToday = false;
  s.DisplayTaskList = s.DisplayCal = s.DisplayNotebook = s.DisplayWeather = false;
  s.BgAlpha = s.MidAlpha = 0, s.NoteColor = Bgr(255, 0, 255);
  DisplayFunctions painter(cal, *ctx.clock, s);
  for (const bool always : {false, true}) {
    s.AlwaysShowToday = always;
    Paint(painter);
    EXPECT_EQ(painter.HitRows.size(), always ? 2u : 1u);
  }
  const int call = AddEvent(cal, day, QStringLiteral("Call"), EncodeTime(14, 0));
  const int dentist = AddEvent(cal, day, QStringLiteral("Dentist"), EncodeTime(9, 5));
  const int holiday = AddEvent(cal, day, QStringLiteral("Holiday"));
  cal.AddDayNote(dentist, QStringLiteral("bring the card"), day);
  const QImage picture = Paint(painter);
  const std::vector<THitRow> expected = {
      {day, 0, ' '}, {day, 0, ' '}, {day, holiday, 'N'}, {day, dentist, 'N'}, {day, call, 'N'}};
  EXPECT_EQ(painter.HitRows, expected);
  // The note flag sits at the left end of the second event's row, and of no other row.
  for (int row : {2, 3, 4}) EXPECT_EQ(PixelBgr(picture, 10, row * 24 + 8) == s.NoteColor, row == 3) << row;
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

TEST(LoadDisplaySettings, BringsValuesOutOfRangeInAndAMissingAlarmSoundSwitchesItOff) {
  TempHome home;
  PanelContext ctx(DT(2024, 3, 15, 9, 0));
  TSettings& settings = ctx.context->settings();
  const std::pair<const char*, QString> values[] = {
      {"BgAlpha", "300"},    {"MidAlpha", "-4"}, {"GradientHeight", "5000"}, {"Width", "10"},
      {"DisplayDays", "-3"}, {"MaxHeight", "0"}, {"AlarmEnabled", "-1"},     {"AlarmSound", home.path() + "/none.wav"}};
  for (const auto& [key, value] : values) settings.SetSetting(QLatin1String(key), value);
  DisplaySettings d;
  LoadDisplaySettings(settings, d);
  EXPECT_EQ(std::tuple(d.BgAlpha, d.MidAlpha), std::tuple(255, 0)) << "alphas stay within a byte";
  EXPECT_EQ(std::tuple(d.GradientHeight, d.Width, d.DisplayDays, d.MaxHeight), std::tuple(200, 100, 0, 2));
  EXPECT_FALSE(d.AlarmEnabled);
  QFile sound(home.path() + QStringLiteral("/chime.wav"));
  ASSERT_TRUE(sound.open(QIODevice::WriteOnly) && sound.write("RIFF") == 4);
  sound.close();
  settings.SetSetting(QStringLiteral("AlarmSound"), sound.fileName());
  LoadDisplaySettings(settings, d);
  EXPECT_TRUE(d.AlarmEnabled);
}

}  // namespace
