// Pictures of the panel and of its weather section in representative states, one table row
// each. With ORVANE_SCREENSHOTS set (make screenshots) each is written there as panel-NAME.png
// or weather-NAME.png.

#include "desktop/desktopwindow.h"
#include "network/openmeteoanswers.h"
#include "network/openmeteoparser.h"
#include "panelfixture.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "settings/settings.h"
#include "settings/themefiles.h"
#include "support/screenshot.h"

#include <gtest/gtest.h>
#include <QPlainTextEdit>

namespace {

const TDateTime Today = D(2026, 12, 7);  // a Monday, at 9:30

// B: a busy week of events and tasks; O: overdue and coming tasks with a deadline today.
void Fill(DataFormat& cal, std::string_view what) {
  if (what.find('B') != std::string_view::npos) {
    AddEvent(cal, Today, QStringLiteral("Team offsite"));
    AddEvent(cal, D(2026, 11, 2), QStringLiteral("Standup"), EncodeTime(9, 0), 2);
    AddEvent(cal, Today, QStringLiteral("Lunch with Sam"), EncodeTime(12, 30));
    cal.AddDayNote(AddEvent(cal, Today, QStringLiteral("Dentist"), EncodeTime(15, 15)),
                   QStringLiteral("Bring the insurance card"), Today);
    AddEvent(cal, D(2026, 11, 3), QStringLiteral("Gym"), EncodeTime(7, 0), 3);
    AddEvent(cal, Today + 1, QStringLiteral("Project review"), EncodeTime(14, 0));
    AddEvent(cal, Today + 2, QStringLiteral("Mom's birthday"));
    cal.AddDayNote(AddEvent(cal, Today + 5, QStringLiteral("Flight to Denver"), EncodeTime(6, 45)),
                   QStringLiteral("Seat 14C"), Today + 5);
    AddEvent(cal, D(2026, 12, 18), QStringLiteral("Holiday party"), EncodeTime(18, 0));
    AddEvent(cal, D(2026, 12, 24), QStringLiteral("Christmas Eve"));
    AddTask(cal, QStringLiteral("Renew passport"), Today + 10, 1);
    AddTask(cal, QStringLiteral("Buy a gift for Mom"), Today + 1, 2);
    AddTask(cal, QStringLiteral("Water the plants"), 0, 3);
  }
  if (what.find('O') != std::string_view::npos) {
    AddTask(cal, QStringLiteral("File the expense report"), Today - 3, 0);
    AddTask(cal, QStringLiteral("Call the insurance"), Today, 1);
    AddTask(cal, QStringLiteral("Pay the electricity bill"), Today - 1, 1);
    AddTask(cal, QStringLiteral("Plan the spring trip"), D(2027, 3, 3), 2);
    AddTask(cal, QStringLiteral("Clean out the garage"), 0, 4);
    AddEvent(cal, Today, QStringLiteral("Quarterly taxes due"));
  }
}

struct Shot {
  const char *name, *fill, *theme;  // theme: a shipped theme, or nullptr for the default
  void (*change)(DisplaySettings&);
  const char* notes;
  int scale;
};

class PanelScreenshot : public ::testing::TestWithParam<Shot> {};

TEST_P(PanelScreenshot, Picture) {
  const Shot& shot = GetParam();
  TempHome home;
  PanelContext ctx(Today + EncodeTime(9, 30));
  FixedScreens screens;
  SilentSound sound;
  PainterStartup(*ctx.context);
  if (shot.theme) {
    const QString path = qEnvironmentVariable("ORVANE_SOURCE_DIR") + "/data/themes/" + shot.theme + ".ovtheme";
    const ThemeFileResult theme = ReadThemeFile(path);
    ASSERT_TRUE(theme.lines) << qPrintable(theme.error);
    for (const QString& line : ApplicableThemeLines(*theme.lines)) {
      ctx.context->settings().SetSetting(line.section('=', 0, 0), line.section('=', 1));
    }
    LoadDisplaySettings(ctx.context->settings(), ctx.display());
  }
  ctx.display().DisplayWeather = false;  // the weather section has pictures of its own
  if (shot.change) shot.change(ctx.display());
  Fill(ctx.calendar(), shot.fill);
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.KeepsQuickNotesFile = false;
  window.QuickNotes->setPlainText(QString::fromUtf8(shot.notes));
  const QImage picture = window.RenderOver(QImage(), shot.scale);
  EXPECT_EQ(picture.width(), (ctx.display().Width + (window.painter().ScrollMode ? 15 : 0)) * shot.scale);
  SaveScreenshot(picture, QStringLiteral("panel-") + QLatin1String(shot.name));
}

INSTANTIATE_TEST_SUITE_P(
    States, PanelScreenshot,
    ::testing::Values(
        Shot{"empty", "", nullptr, nullptr, "", 1},
        Shot{"busy-week", "B", nullptr, nullptr, "Pick up the dry cleaning\nWi-Fi at the cabin: maple-42", 1},
        Shot{"busy-week-scale2", "B", nullptr, nullptr, "Pick up the dry cleaning", 2},
        Shot{"overdue-tasks", "O", nullptr, nullptr, "", 1},
        Shot{"small-months", "B", nullptr,
             [](DisplaySettings& s) { s.DisplayPrevMonth = s.DisplayNextMonth = true, s.DisplayDays = 2; }, "", 1},
        Shot{"previous-month", "B", nullptr,
             [](DisplaySettings& s) { s.DisplayPrevMonth = true, s.DisplayEvents = s.DisplayNotebook = false; }, "", 1},
        Shot{"scroll-mode", "BO", nullptr, [](DisplaySettings& s) { s.MaxHeight = 16; }, "", 1},
        Shot{"information-box", "B", nullptr,
             [](DisplaySettings& s) { s.UseToolTips = s.DisplayNotebook = false, s.DisplayDays = 1; }, "", 1},
        Shot{"light-theme", "B", "light", nullptr, "Ideas for the garden:\n- tulips by the fence", 1},
        Shot{"dark-theme", "BO", "dark", [](DisplaySettings& s) { s.DisplayNextMonth = true; }, "", 1}),
    [](const auto& info) {
      std::string name = info.param.name;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

// The weather section's states: its room, the alert row, the rows with text.
struct StateCase {
  const char* name;
  void (*change)(TWeatherReport&);
  int rows;
  bool alertRow;
  const char* inked;  // per row of the section: 'x' where text is drawn
};

class WeatherScreenshot : public ::testing::TestWithParam<StateCase> {};

TEST_P(WeatherScreenshot, RoomRowsAndPicture) {
  TempHome home;
  PanelContext ctx(DT(2026, 12, 7, 9, 30));
  FixedScreens screens;
  SilentSound sound;
  PainterStartup(*ctx.context);
  TWeatherReport r;
  r.Loading = false, r.CurrentValid = true, r.Conditions = "Partly Cloudy", r.Wind = "Wind: NW at 12 mph";
  r.Temperature = "43", r.High = "48", r.Low = "31", r.Humidity = "62", r.UVIndex = "2 Low", r.TempUnit = "°F";
  r.Pressure = "30.12", r.PressureTrend = "down", r.PressureUnit = " In.";
  GetParam().change(r);
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.KeepsQuickNotesFile = false;
  window.painter().Weather = &r;
  const int R = ctx.display().R();
  const QImage picture = window.RenderOver(QImage());
  const int top = window.painter().Marks.WeatherTop;
  EXPECT_EQ(top + GetParam().rows * R, picture.height());
  EXPECT_EQ(InAlertRow(window.painter().Marks, top + R, R), GetParam().alertRow);
  ctx.display().HeaderFontColor = Bgr(255, 0, 0);
  const QImage recoloured = window.RenderOver(QImage());
  std::string inked;  // the rows whose pixels follow the text colour carry text
  for (int y = top; y < picture.height(); y += R)
    inked += picture.copy(0, y, picture.width(), R) == recoloured.copy(0, y, picture.width(), R) ? '.' : 'x';
  EXPECT_EQ(inked, GetParam().inked);
  SaveScreenshot(picture, QStringLiteral("weather-") + QLatin1String(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    States, WeatherScreenshot,
    ::testing::Values(
        StateCase{"loaded", [](TWeatherReport&) {}, 5, false, "xxxxx"},
        StateCase{"alert_two_part_wind",
                  [](TWeatherReport& r) { r.SevereAlert = true, r.Wind = "Wind: NW 18 mph <br> gusts 31 mph"; }, 7,
                  true, "xxxxxxx"},
        // An unclosed tag leaves the second wind row empty rather than show the markup.
        StateCase{"unclosed_wind_tag", [](TWeatherReport& r) { r.Wind = "Wind: Calm <br"; }, 6, false, "xxxxx."},
        StateCase{"loading", [](TWeatherReport& r) { r = TWeatherReport(); }, 1, false, "x"},
        // A refresh under way keeps the room of the report it holds, with one line of text.
        StateCase{"loading_keeps_room", [](TWeatherReport& r) { r.Loading = r.SevereAlert = true, r.Wind = "a<br>b"; },
                  7, false, "x......"},
        StateCase{"offline", [](TWeatherReport& r) { r.CurrentValid = false; }, 1, false, "x"},
        // Open-Meteo's report, kept from two hours ago while the service cannot be reached.
        StateCase{"open_meteo_as_of",
                  [](TWeatherReport& r) {
                    EXPECT_EQ(ReadOpenMeteoForecast(Json(ForecastAnswer()), 0, 0, r), QString());
                    r.AsOf = QDateTime(QDate(2026, 12, 7), QTime(7, 30)).toUTC();
                  },
                  5, false, "xxxxx"}),
    [](const auto& info) { return std::string(info.param.name); });

// The corner the arrow's three strokes share is its tip; only "up" and "down" tilt it.
TEST(TrendArrow, PointsTheWayThePressureGoes) {
  const std::pair<const char*, QPoint> cases[] = {
      {"up", {50, 44}}, {"down", {50, 56}}, {"", {56, 50}}, {"Up", {56, 50}}};
  for (const auto& [trend, tip] : cases)
    for (const QLine& line : TrendArrowLines(50, 50, 6, PressureTrendDirection(QString::fromLatin1(trend))))
      EXPECT_TRUE(line.p1() == tip || line.p2() == tip) << trend;
}

}  // namespace
