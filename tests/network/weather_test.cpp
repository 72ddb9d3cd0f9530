#include "network/weather.h"
#include "loopbackserver.h"
#include "network/httpclient.h"
#include "support/fakeservices.h"
#include "support/testutil.h"
#include "weatherpages.h"

#include <gtest/gtest.h>
#include <QTimer>

namespace {

const ServerScript Missing = ServerScript::Status("404 Not Found");

// The weather site's two pages on loopback (every other path is not found); the tests tick by hand.
class WeatherTest : public ::testing::Test {
 protected:
  WeatherTest() {
    settings.WeatherZip = QStringLiteral("12345");
    settings.WeatherHost = server.hostAndPort();
    weather.UpdateWeather->stop();
    weather.HTTPClient->SetTimeOuts(400, 1500);
    weather.HTTPClient->PageLimits = HttpLimits{2000, 256 * 1024};
  }
  const TWeatherReport& Report() { return weather.Report(); }

  ServerScript local = ServerScript::Page(CurrentPage().toUtf8());
  ServerScript tenday = ServerScript::Page(TenDayPage().toUtf8());
  LoopbackServer server{[this](const QByteArray& request) {
    if (request.startsWith("GET /weather/local/")) return local;
    return request.startsWith("GET /weather/tenday/") ? tenday : Missing;
  }};
  WeatherSettings settings;
  FakeNetworkPresence network;
  T_Weather weather{[this] { return settings; }, network};
};

TEST_F(WeatherTest, RefreshReadsBothPagesOfTheZipCodeInTheSettingsUnits) {
  int changed = 0;
  QObject::connect(&weather, &T_Weather::WeatherChanged, [&] { ++changed; });
  ASSERT_TRUE(weather.RefreshWeather(QStringLiteral("90210")));
  EXPECT_TRUE(Report().CurrentValid && Report().ForecastValid);
  EXPECT_EQ(Report().Forecast[9].High, QStringLiteral("59"));
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(server.requests().at(0), QByteArray("GET /weather/local/90210 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                "Connection: close\r\nUser-Agent: HTTPClient/0.1\r\n\r\n"));
  EXPECT_TRUE(server.requests().at(1).startsWith("GET /weather/tenday/90210 HTTP/1.1\r\n"));
  // A zip code cannot add to the request.
  weather.RefreshWeather(QStringLiteral("12 345\r\nX: y"));
  EXPECT_TRUE(server.requests().at(2).startsWith("GET /weather/local/12%20345%0D%0AX%3A%20y HTTP/1.1\r\n"));
  settings.TempDeg = 3;
  settings.PressureType = 2;
  ASSERT_TRUE(weather.RefreshNow());
  EXPECT_TRUE(server.requests().at(4).startsWith("GET /weather/local/12345 "));
  EXPECT_EQ(Report().Temperature + Report().TempUnit, QStringLiteral("296K"));
  EXPECT_EQ(Report().Pressure + Report().PressureUnit, QStringLiteral("1 atm"));
}

struct FailedRefresh {
  const char* name;
  std::optional<ServerScript> local, tenday;  // the page as served after a good refresh
  bool currentValid = false, forecastValid = false;
  bool refused = false;  // the site refuses connections instead
};

class WeatherFailure : public WeatherTest, public ::testing::WithParamInterface<FailedRefresh> {};

TEST_P(WeatherFailure, SetsTheFlagsAndKeepsTheValues) {
  ASSERT_TRUE(weather.RefreshNow());
  local = GetParam().local.value_or(local);
  tenday = GetParam().tenday.value_or(tenday);
  if (GetParam().refused) server.close();
  weather.RefreshNow();
  EXPECT_EQ(Report().CurrentValid, GetParam().currentValid);
  EXPECT_EQ(Report().ForecastValid, GetParam().forecastValid);
  EXPECT_EQ(Report().Temperature, QStringLiteral("75"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WeatherFailure,
    ::testing::Values(
        FailedRefresh{"NotFoundFailsBoth", Missing, std::nullopt},
        FailedRefresh{"StalledTenDayPageFailsBoth", std::nullopt,
                      ServerScript::Answer("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>", false)},
        FailedRefresh{"PressureNoNumberFailsBoth",
                      ServerScript::Page(CurrentPage({.pressure = QStringLiteral("high")}).toUtf8()), std::nullopt},
        FailedRefresh{"MissingMarkerFailsOnlyItsPage", ServerScript::Page("<html>no weather here</html>"), std::nullopt,
                      false, true},
        // A site that never finishes is offline.
        FailedRefresh{"TricklingPageFailsBoth", ServerScript::Trickle(60, 100), std::nullopt},
        // No answer at all leaves the flags as they were.
        FailedRefresh{"RefusedConnectionsChangeNothing", std::nullopt, std::nullopt, true, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WeatherTest, TicksStretchTheIntervalRefreshUnlessWeatherIsOffAndSetLoadingWhenOfflineOrWithoutANetwork) {
  EXPECT_TRUE(Report().Loading);
  weather.UpdateWeatherTimer();
  EXPECT_EQ(weather.UpdateWeather->interval(), 180000);
  EXPECT_EQ(server.requests().size(), 2);
  EXPECT_FALSE(Report().Loading);
  settings.DisplayWeather = false;
  T_Weather off([this] { return settings; }, network);
  off.UpdateWeatherTimer();
  EXPECT_EQ(server.requests().size(), 2);
  EXPECT_TRUE(off.Report().Loading);
  settings.DisplayWeather = true;
  // Offline: a tick sets Loading; a refresh from the menu leaves it alone, so the panel can show "Weather Offline".
  local = ServerScript::Answer("HTTP/1.1 500 Server Error\r\n\r\n");
  weather.UpdateWeatherTimer();
  EXPECT_TRUE(Report().Loading);
  weather.Report().Loading = false;
  weather.RefreshNow();
  EXPECT_FALSE(Report().Loading);
  EXPECT_FALSE(Report().CurrentValid);
  weather.UpdateWeatherTimer();
  EXPECT_TRUE(Report().Loading);
  // Without a network nothing is asked, and the report is invalid.
  local = ServerScript::Page(CurrentPage().toUtf8());
  ASSERT_TRUE(weather.RefreshNow());
  network.present = false;
  ASSERT_TRUE(weather.RefreshNow());
  EXPECT_FALSE(Report().CurrentValid || Report().ForecastValid);
  EXPECT_EQ(server.requests().size(), 7);
  EXPECT_EQ(network.asked.back(), QStringLiteral("127.0.0.1"));
}

TEST_F(WeatherTest, NoSecondRefreshWhileOneRuns) {
  // The local page comes slowly, so the wait runs long enough for a timer to fire in it.
  local =
      ServerScript{{{0, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"}, {200, CurrentPage().toUtf8()}}, true};
  std::optional<bool> secondStarted;
  int intervalAfterTick = 0;
  QTimer::singleShot(50, [&] {
    EXPECT_TRUE(weather.Refreshing());
    secondStarted = weather.RefreshNow();
    weather.UpdateWeatherTimer();  // the timer's tick comes during the wait, too
    intervalAfterTick = weather.UpdateWeather->interval();
  });
  EXPECT_TRUE(weather.RefreshNow());
  EXPECT_EQ(secondStarted, false);
  EXPECT_EQ(intervalAfterTick, 1000);  // the dropped tick left the schedule alone
  EXPECT_EQ(server.requests().size(), 2);
  EXPECT_TRUE(Report().CurrentValid);
  EXPECT_FALSE(weather.Refreshing());
}

}  // namespace
