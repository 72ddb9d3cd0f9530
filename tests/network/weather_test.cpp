#include "loopbackserver.h"
#include "network/httpclient.h"
#include "network/weather.h"
#include "support/testutil.h"
#include "weatherpages.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A server with the two pages of the weather site, answering every other path with 404.
class WeatherSite {
 public:
  WeatherSite()
      : server([this](const QByteArray& request) {
          if (request.startsWith("GET /weather/local/")) return local;
          if (request.startsWith("GET /weather/tenday/")) return tenday;
          return ServerScript::Answer("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n");
        }) {}

  ServerScript local = ServerScript::Page(CurrentPage().toUtf8());
  ServerScript tenday = ServerScript::Page(TenDayPage().toUtf8());
  LoopbackServer server;
};

class WeatherTest : public ::testing::Test {
 protected:
  WeatherTest() {
    settings.WeatherZip = QStringLiteral("12345");
    settings.WeatherHost = site.server.hostAndPort();
    weather.UpdateWeather->stop();  // the tests tick by hand
    weather.HTTPClient->SetTimeOuts(400, 1500);
  }

  WeatherSite site;
  WeatherSettings settings;
  T_Weather weather{[this] { return settings; }};
};

TEST_F(WeatherTest, StartsLoadingWithoutWeather) {
  T_Weather fresh([] { return WeatherSettings(); });
  EXPECT_TRUE(fresh.Report().Loading);
  EXPECT_FALSE(fresh.Report().CurrentValid);
  EXPECT_FALSE(fresh.Report().ForecastValid);
  EXPECT_TRUE(fresh.UpdateWeather->isActive());
  EXPECT_EQ(fresh.UpdateWeather->interval(), 1000);
}

TEST_F(WeatherTest, RefreshReadsBothPagesOfTheZipCode) {
  ASSERT_TRUE(weather.RefreshWeather(QStringLiteral("90210")));
  const TWeatherReport& r = weather.Report();
  EXPECT_TRUE(r.CurrentValid);
  EXPECT_TRUE(r.ForecastValid);
  EXPECT_EQ(r.Temperature, QStringLiteral("75"));
  EXPECT_EQ(r.Forecast[9].High, QStringLiteral("59"));
  ASSERT_EQ(site.server.requests().size(), 2);
  EXPECT_EQ(site.server.requests().at(0), QByteArray("GET /weather/local/90210 HTTP/1.1\r\n"
                                                     "Host: 127.0.0.1\r\n"
                                                     "Connection: close\r\n"
                                                     "User-Agent: HTTPClient/0.1\r\n\r\n"));
  EXPECT_TRUE(site.server.requests().at(1).startsWith("GET /weather/tenday/90210 HTTP/1.1\r\n"));
}

TEST_F(WeatherTest, RefreshNowUsesTheSettingsZipCodeAndUnits) {
  settings.TempDeg = 3;
  settings.PressureType = 2;
  ASSERT_TRUE(weather.RefreshNow());
  EXPECT_TRUE(site.server.requests().at(0).startsWith("GET /weather/local/12345 "));
  EXPECT_EQ(weather.Report().Temperature, QStringLiteral("296"));
  EXPECT_EQ(weather.Report().TempUnit, QStringLiteral("K"));
  EXPECT_EQ(weather.Report().Pressure, QStringLiteral("1"));
  EXPECT_EQ(weather.Report().PressureUnit, QStringLiteral(" atm"));
}

TEST_F(WeatherTest, ZipCodeIsEncodedIntoThePath) {
  weather.RefreshWeather(QStringLiteral("12 345\r\nX: y"));
  ASSERT_FALSE(site.server.requests().isEmpty());
  EXPECT_TRUE(site.server.requests().at(0).startsWith("GET /weather/local/12%20345%0D%0AX%3A%20y HTTP/1.1\r\n"));
}

TEST_F(WeatherTest, FailedDownloadClearsBothFlagsAndKeepsTheValues) {
  weather.RefreshNow();
  ASSERT_TRUE(weather.Report().CurrentValid);
  site.local = ServerScript::Answer("HTTP/1.1 404 Not Found\r\n\r\n");
  weather.RefreshNow();
  EXPECT_FALSE(weather.Report().CurrentValid);
  EXPECT_FALSE(weather.Report().ForecastValid);
  EXPECT_EQ(weather.Report().Temperature, QStringLiteral("75"));
}

TEST_F(WeatherTest, StalledTenDayPageFailsTheRefresh) {
  site.tenday = ServerScript::Answer("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>", false);
  weather.RefreshNow();
  EXPECT_FALSE(weather.Report().CurrentValid);
  EXPECT_FALSE(weather.Report().ForecastValid);
}

TEST_F(WeatherTest, PressureThatIsNoNumberFailsTheWholeRefresh) {
  CurrentPageFields f;
  f.pressure = QStringLiteral("high");
  site.local = ServerScript::Page(CurrentPage(f).toUtf8());
  weather.RefreshNow();
  EXPECT_FALSE(weather.Report().CurrentValid);
  EXPECT_FALSE(weather.Report().ForecastValid);
}

TEST_F(WeatherTest, MissingMarkerFailsOnlyItsOwnPage) {
  site.local = ServerScript::Page("<html>no weather here</html>");
  weather.RefreshNow();
  EXPECT_FALSE(weather.Report().CurrentValid);
  EXPECT_TRUE(weather.Report().ForecastValid);
}

TEST_F(WeatherTest, EmptyAnswersLeaveTheFlagsAsTheyWere) {
  weather.RefreshNow();
  ASSERT_TRUE(weather.Report().CurrentValid);
  site.server.close();  // connections are refused now
  weather.RefreshNow();
  EXPECT_TRUE(weather.Report().CurrentValid);
  EXPECT_TRUE(weather.Report().ForecastValid);
}

TEST_F(WeatherTest, FirstTickStretchesTheIntervalAndRefreshes) {
  weather.UpdateWeatherTimer();
  EXPECT_EQ(weather.UpdateWeather->interval(), 180000);
  EXPECT_EQ(site.server.requests().size(), 2);
  EXPECT_FALSE(weather.Report().Loading);
  weather.UpdateWeatherTimer();
  EXPECT_EQ(weather.UpdateWeather->interval(), 180000);
  EXPECT_EQ(site.server.requests().size(), 4);
}

TEST_F(WeatherTest, TickWithoutWeatherWantedFetchesNothingAndStaysLoading) {
  settings.DisplayWeather = false;
  weather.UpdateWeatherTimer();
  EXPECT_EQ(site.server.requests().size(), 0);
  EXPECT_TRUE(weather.Report().Loading);
  EXPECT_EQ(weather.UpdateWeather->interval(), 180000);
}

TEST_F(WeatherTest, OfflineAfterAMenuRefreshLoadingAgainAfterTheNextTick) {
  site.local = ServerScript::Answer("HTTP/1.1 500 Server Error\r\n\r\n");
  weather.UpdateWeatherTimer();
  EXPECT_TRUE(weather.Report().Loading);
  // A refresh from the menu leaves Loading alone: the panel can show "Weather Offline".
  weather.Report().Loading = false;
  weather.RefreshNow();
  EXPECT_FALSE(weather.Report().Loading);
  EXPECT_FALSE(weather.Report().CurrentValid);
  weather.UpdateWeatherTimer();
  EXPECT_TRUE(weather.Report().Loading);
}

TEST_F(WeatherTest, NoSecondRefreshWhileOneRuns) {
  // The local page comes slowly, so the wait runs long enough for a timer to fire in it.
  site.local = ServerScript{{{0, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"}, {200, CurrentPage().toUtf8()}},
                            true};
  std::optional<bool> secondStarted;
  int intervalAfterTick = 0;
  QTimer::singleShot(50, [&] {
    EXPECT_TRUE(weather.Refreshing());
    secondStarted = weather.RefreshNow();
    weather.UpdateWeatherTimer();  // the timer's tick comes during the wait, too
    intervalAfterTick = weather.UpdateWeather->interval();
  });
  EXPECT_TRUE(weather.RefreshNow());
  ASSERT_TRUE(secondStarted.has_value());
  EXPECT_FALSE(*secondStarted);
  EXPECT_EQ(intervalAfterTick, 1000);  // the dropped tick left the schedule alone
  EXPECT_EQ(site.server.requests().size(), 2);
  EXPECT_TRUE(weather.Report().CurrentValid);
  EXPECT_FALSE(weather.Refreshing());
}

TEST_F(WeatherTest, ChangedSignalAfterEachRefresh) {
  int changed = 0;
  QObject::connect(&weather, &T_Weather::WeatherChanged, [&] { ++changed; });
  weather.RefreshNow();
  EXPECT_EQ(changed, 1);
}

}  // namespace
