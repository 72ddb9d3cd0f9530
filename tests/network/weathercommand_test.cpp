// End to end: "orvane weather" against a loopback weather site, and against nothing.
#include "core/tdatetime.h"
#include "loopbackserver.h"
#include "openmeteoanswers.h"
#include "support/programrun.h"
#include "support/testutil.h"
#include "weatherpages.h"

#include <QDateTime>

namespace {

using WeatherCommand = ProgramTest;

QString Today(int plusDays) {
  return FormatDateTime(QStringLiteral("dd mmm yyyy"), FromQDateTime(QDateTime::currentDateTime()) + plusDays);
}

// The program's ten days in Celsius from the answers of both sites, after the head it prints first.
void ExpectTenDays(const QString& out, const QString& head) {
  EXPECT_TRUE(out.startsWith(head + QStringLiteral("Weather for ") + Today(0) +
                             QStringLiteral("\n-------------------------------\n"
                                            "Temp: 23°C  High: 10°C  Low: -2°C\nPartly Cloudy\n")))
      << out.toStdString();
  EXPECT_EQ(out.count(QStringLiteral("Forecast for ")), 9);
  EXPECT_TRUE(out.contains(QStringLiteral("Forecast for ") + Today(9)));
  EXPECT_TRUE(out.endsWith(QStringLiteral("Chance of precipitation: 90 %\n"))) << out.toStdString();
  EXPECT_FALSE(out.contains(QLatin1Char('\r')));
}

TEST_F(WeatherCommand, PrintsTheForecastTextOfTenDays) {
  LoopbackServer site([](const QByteArray& request) {
    if (request.startsWith("GET /weather/local/12345 ")) return ServerScript::Page(CurrentPage().toUtf8());
    if (request.startsWith("GET /weather/tenday/12345 ")) return ServerScript::Page(TenDayPage().toUtf8());
    return ServerScript::Status("404 Not Found");
  });
  Store(nullptr, {{"WeatherZip", "12345"}, {"TempDeg", "1"}, {"WeatherHost", site.hostAndPort()}});
  const QString dayBefore = Today(0);
  const ProgramResult r = Run({"weather"}, {}, {.spin = true});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  // The program reads the system clock; a run across midnight cannot be checked by date.
  if (Today(0) != dayBefore) GTEST_SKIP() << "the date changed during the run";
  ExpectTenDays(r.out, QString());
  ASSERT_EQ(site.requests().size(), 2);
  EXPECT_TRUE(site.requests().at(0).contains("User-Agent: HTTPClient/0.1\r\n"));
}

TEST_F(WeatherCommand, NothingListeningOrNoWeatherOnThePageIsWeatherOffline) {
  auto gone = std::make_unique<LoopbackServer>(ServerScript::Page("x"));
  const QString nobody = gone->hostAndPort();
  gone.reset();
  LoopbackServer maintenance(ServerScript::Page("<html>maintenance</html>"));
  for (const QString& host : {nobody, maintenance.hostAndPort()}) {
    Store(nullptr, {{"WeatherZip", "12345"}, {"WeatherHost", host}});
    const ProgramResult r = Run({"weather"}, {}, {.spin = true});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, QStringLiteral("Weather Offline\n"));
  }
}

// Open-Meteo on loopback: the forecast and the place search, each answer as the service sends it.
class OpenMeteoCommand : public ProgramTest {
 protected:
  QByteArray places = PlacesAnswer();
  LoopbackServer service{[this](const QByteArray& request) {
    if (request.startsWith("GET /v1/forecast?")) return ServerScript::JsonPage(Json(ForecastAnswer()));
    if (request.startsWith("GET /v1/search?")) return ServerScript::JsonPage(places);
    return ServerScript::Status("404 Not Found");
  }};
  QList<std::pair<QString, QString>> Settings(QList<std::pair<QString, QString>> more = {}) {
    more << std::pair{QStringLiteral("WeatherForecastUrl"), service.url(QStringLiteral("/v1/forecast"))}
         << std::pair{QStringLiteral("WeatherGeocodeUrl"), service.url(QStringLiteral("/v1/search"))};
    return more;
  }
};

TEST_F(OpenMeteoCommand, PrintsThePlaceAndTheForecastOfTheStoredPlace) {
  Store(nullptr, Settings({{"WeatherLatitude", "42.3584"},
                           {"WeatherLongitude", "-71.0598"},
                           {"WeatherPlace", "Boston, Massachusetts, United States"},
                           {"TempDeg", "1"}}));
  const QString dayBefore = Today(0);
  const ProgramResult r = Run({"weather"}, {}, {.spin = true});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  if (Today(0) != dayBefore) GTEST_SKIP() << "the date changed during the run";
  ExpectTenDays(r.out, QStringLiteral("Boston, Massachusetts, United States\n\n"));
  EXPECT_TRUE(r.out.contains(QStringLiteral("Wind: NW at 17 km/h\n")));
  ASSERT_EQ(service.requests().size(), 1);
  EXPECT_TRUE(service.requests().at(0).contains("latitude=42.3584&longitude=-71.0598&"));
}

TEST_F(OpenMeteoCommand, APlaceGivenIsSearchedForAndAskedOnceWithoutSaving) {
  Store(nullptr, Settings());
  const QString before = Dump();
  ProgramResult r = Run({"weather", "--place", "Boston"}, {}, {.spin = true});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.startsWith(QStringLiteral("Boston, Massachusetts, United States\n\nWeather for ")));
  EXPECT_TRUE(r.out.contains(QStringLiteral("Temp: 75°F")));
  ASSERT_EQ(service.requests().size(), 2);
  EXPECT_TRUE(service.requests().at(0).startsWith("GET /v1/search?name=Boston&"));
  EXPECT_TRUE(service.requests().at(1).contains("latitude=42.3584&longitude=-71.0598&"));
  EXPECT_EQ(Dump(), before);
  // Coordinates need no search.
  r = Run({"weather", "--place", "52.52,13.41"}, {}, {.spin = true});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.startsWith(QStringLiteral("52.52, 13.41\n\n")));
  EXPECT_TRUE(service.requests().at(2).contains("latitude=52.5200&longitude=13.4100&"));
}

TEST_F(OpenMeteoCommand, NoMatchNoPlaceOrNoServiceIsAClearFailure) {
  Store(nullptr, Settings());
  places = R"({"generationtime_ms":0.3})";
  const std::tuple<QStringList, const char*, const char*> rows[] = {
      {{"weather", "--place", "Atlantis"}, "", "orvane weather: no place matches \"Atlantis\"\n"},
      {{"weather"}, "", "no place is set for the weather"},
      {{"weather", "--place"}, "", "--place"},
  };
  for (const auto& [args, out, err] : rows) {
    const ProgramResult r = Run(args, {}, {.spin = true});
    EXPECT_NE(r.code, 0) << args.join(' ').toStdString();
    EXPECT_EQ(r.out, QString::fromUtf8(out));
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(err))) << r.err.toStdString();
  }
  // The service gone: "Weather Offline", and why.
  auto gone = std::make_unique<LoopbackServer>(ServerScript::Page("x"));
  const QString nobody = gone->url(QStringLiteral("/v1/forecast"));
  gone.reset();
  Store(nullptr, {{"WeatherForecastUrl", nobody}, {"WeatherLatitude", "1"}, {"WeatherLongitude", "2"}});
  const ProgramResult r = Run({"weather"}, {}, {.spin = true});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, QStringLiteral("Weather Offline\n"));
  EXPECT_TRUE(r.err.contains(QStringLiteral("orvane weather: the weather service cannot be reached")))
      << r.err.toStdString();
}

}  // namespace
