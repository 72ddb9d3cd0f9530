// The weather section's states: its room, the alert row, the rows with text, and pictures.

#include "desktop/desktopwindow.h"
#include "network/weatherparser.h"
#include "panelfixture.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "support/screenshot.h"

#include <gtest/gtest.h>

namespace {

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
  TWeatherReport r{.Loading = false,
                   .CurrentValid = true,
                   .Temperature = "43",
                   .High = "48",
                   .Low = "31",
                   .Conditions = "Partly Cloudy",
                   .Humidity = "62",
                   .UVIndex = "2 Low",
                   .Wind = "Wind: NW at 12 mph",
                   .Pressure = "30.12",
                   .PressureTrend = "down",
                   .TempUnit = "°F",
                   .PressureUnit = " In.",
                   .Forecast = {}};
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
  const int W = ctx.display().Width, g = R / 8;  // nothing is drawn in the right margin
  EXPECT_EQ(picture.copy(W - g, top, g, R * GetParam().rows), recoloured.copy(W - g, top, g, R * GetParam().rows));
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
        StateCase{"offline", [](TWeatherReport& r) { r.CurrentValid = false; }, 1, false, "x"}),
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
