// The Open-Meteo provider against a fixture server on loopback that answers in the service's
// shape: forecast, place search, failures, and the report kept across failures and restarts.
#include "network/openmeteo.h"
#include "loopbackserver.h"
#include "network/weather.h"
#include "openmeteoanswers.h"
#include "support/fakeservices.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>

namespace {

// The query of the request line of a request.
QUrlQuery QueryOf(const QByteArray& request) {
  return QUrlQuery(QUrl(QString::fromLatin1(request.split(' ').value(1))));
}

class OpenMeteoTest : public ::testing::Test {
 protected:
  OpenMeteoTest() {
    settings.WeatherProvider = QStringLiteral("open-meteo");
    settings.ForecastUrl = server.url(QStringLiteral("/v1/forecast"));
    settings.GeocodeUrl = server.url(QStringLiteral("/v1/search"));
    settings.Latitude = QStringLiteral("42.3584");
    settings.Longitude = QStringLiteral("-71.0598");
    settings.CacheFile = dir.filePath(QStringLiteral("weather.json"));
  }
  // A keeper of the weather on these settings and clock, ticked by hand; another one is the
  // program started again.
  std::unique_ptr<T_Weather> Keeper() {
    auto keeper = std::make_unique<T_Weather>([this] { return settings; }, network);
    keeper->UpdateWeather->stop();
    keeper->OpenMeteo->deadlineMs = 500;
    keeper->Now = [this] { return now; };
    return keeper;
  }
  const TWeatherReport& Report() { return weather->Report(); }
  QList<QByteArray> Requests(const char* path) {
    QList<QByteArray> found;
    for (const QByteArray& r : server.requests())
      if (r.startsWith(QByteArray("GET ") + path)) found << r;
    return found;
  }

  QTemporaryDir dir;
  QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(10, 20));
  ServerScript forecast = ServerScript::JsonPage(Json(ForecastAnswer()));
  ServerScript places = ServerScript::JsonPage(PlacesAnswer());
  LoopbackServer server{[this](const QByteArray& request) {
    if (request.startsWith("GET /v1/forecast?")) return forecast;
    return request.startsWith("GET /v1/search?") ? places : ServerScript::Status("404 Not Found");
  }};
  WeatherSettings settings;
  FakeNetworkPresence network;
  std::unique_ptr<T_Weather> weather = Keeper();
};

TEST_F(OpenMeteoTest, RefreshReadsTheForecastOfThePlaceAndKeepsItOnDisk) {
  int changed = 0;
  QObject::connect(weather.get(), &T_Weather::WeatherChanged, [&] { ++changed; });
  settings.TempDeg = 1;
  ASSERT_TRUE(weather->RefreshNow());
  EXPECT_EQ(weather->LastError(), QString());
  EXPECT_TRUE(Report().CurrentValid && Report().ForecastValid);
  EXPECT_EQ(Report().Temperature + Report().TempUnit, QStringLiteral("23°C"));
  EXPECT_EQ(Report().AsOf, now.toUTC());
  EXPECT_EQ(changed, 1);
  ASSERT_EQ(server.requests().size(), 1);  // the place is set: no search
  EXPECT_TRUE(server.requests().at(0).contains("latitude=42.3584&longitude=-71.0598&"));
  EXPECT_TRUE(server.requests().at(0).contains("User-Agent: Orvane/"));
  EXPECT_EQ(network.asked.back(), QStringLiteral("127.0.0.1"));
  QFile cache(settings.CacheFile);
  ASSERT_TRUE(cache.open(QIODevice::ReadOnly));
  const std::optional<CachedForecast> kept = ReadCachedForecast(cache.readAll());
  ASSERT_TRUE(kept);
  EXPECT_TRUE(kept->IsFor(42.3584, -71.0598));
  EXPECT_EQ(kept->answer, Json(ForecastAnswer()));
}

struct Failure {
  const char* name;
  ServerScript answer;
  const char* message;
};

class OpenMeteoFailure : public OpenMeteoTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(OpenMeteoFailure, ClearsTheFlagsKeepsTheValuesAndSaysWhy) {
  forecast = GetParam().answer;
  weather->Report().Temperature = QStringLiteral("held");
  ASSERT_TRUE(weather->RefreshNow());
  EXPECT_FALSE(Report().CurrentValid || Report().ForecastValid);
  EXPECT_EQ(Report().Temperature, QStringLiteral("held"));
  EXPECT_TRUE(weather->LastError().contains(QLatin1String(GetParam().message))) << weather->LastError().toStdString();
  EXPECT_FALSE(QFile::exists(settings.CacheFile));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenMeteoFailure,
    ::testing::Values(
        Failure{"ServerError", ServerScript::Status("500 Internal Server Error"), "HTTP status 500"},
        Failure{"Refused",
                ServerScript::Answer("HTTP/1.1 400 Bad Request\r\nContent-Length: 15\r\n\r\n{\"error\":true}"),
                "HTTP status 400"},
        Failure{"Stalled", ServerScript::Answer("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n{", false),
                "did not answer in time"},
        Failure{"Malformed", ServerScript::Page("{\"current\": {", "application/json"), "not readable JSON"},
        Failure{"NoCurrent", ServerScript::Page("{\"daily\": {}}", "application/json"), "no current conditions"},
        Failure{"TooLarge", ServerScript::Page(QByteArray(2 * 1024 * 1024, ' '), "application/json"), "too large"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenMeteoTest, AFailedRefreshShowsTheKeptReportOfTheSamePlaceAndDayInTheCurrentUnits) {
  ASSERT_TRUE(weather->RefreshNow());
  const QDateTime fetched = now.toUTC();
  forecast = ServerScript::Status("503 Service Unavailable");
  now = now.addSecs(2 * 3600);
  settings.TempDeg = 1;
  weather->RefreshNow();
  EXPECT_TRUE(Report().CurrentValid && Report().ForecastValid);
  EXPECT_EQ(Report().AsOf, fetched);
  EXPECT_EQ(Report().Temperature + Report().TempUnit, QStringLiteral("23°C"));
  EXPECT_TRUE(weather->LastError().contains(QLatin1String("503")));
  // Without a network nothing is asked and the kept report stands, too.
  network.present = false;
  const qsizetype asked = server.requests().size();
  weather->RefreshNow();
  EXPECT_TRUE(Report().CurrentValid);
  EXPECT_EQ(server.requests().size(), asked);
  network.present = true;
  // A new keeper (the program started again) finds it on disk.
  const std::unique_ptr<T_Weather> restarted = Keeper();
  restarted->RefreshNow();
  EXPECT_TRUE(restarted->Report().CurrentValid);
  EXPECT_EQ(restarted->Report().AsOf, fetched);
  EXPECT_EQ(restarted->Report().Forecast[0].High, QStringLiteral("10"));
  // Not for another place, nor on another day: then the panel is offline.
  settings.Latitude = QStringLiteral("52.5");
  weather->RefreshNow();
  EXPECT_FALSE(Report().CurrentValid);
  settings.Latitude = QStringLiteral("42.3584");
  now = QDateTime(QDate(2026, 12, 8), QTime(0, 5));
  weather->RefreshNow();
  EXPECT_FALSE(Report().CurrentValid);
  // A cache file that is not ours is no report.
  QFile file(settings.CacheFile);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("{\"fetched\": 5}") > 0);
  file.close();
  now = QDateTime(QDate(2026, 12, 7), QTime(11, 0));
  const std::unique_ptr<T_Weather> broken = Keeper();
  broken->RefreshNow();
  EXPECT_FALSE(broken->Report().CurrentValid);
}

TEST_F(OpenMeteoTest, WithoutAPlaceTheZipCodeIsSearchedForOnceAndTheFirstMatchTaken) {
  settings.Latitude.clear();
  settings.Longitude.clear();
  settings.WeatherZip = QStringLiteral("02108");
  ASSERT_TRUE(weather->RefreshNow());
  ASSERT_EQ(Requests("/v1/search").size(), 1);
  const QUrlQuery search = QueryOf(Requests("/v1/search").at(0));
  EXPECT_EQ(search.queryItemValue(QStringLiteral("name")), QStringLiteral("02108"));
  EXPECT_EQ(search.queryItemValue(QStringLiteral("countryCode")), QStringLiteral("US"));
  EXPECT_EQ(QueryOf(Requests("/v1/forecast").at(0)).queryItemValue(QStringLiteral("latitude")),
            QStringLiteral("42.3584"));
  EXPECT_EQ(weather->Place()->name, QStringLiteral("Boston, Massachusetts, United States"));
  EXPECT_TRUE(Report().CurrentValid);
  weather->RefreshNow();
  EXPECT_EQ(Requests("/v1/search").size(), 1);
  EXPECT_EQ(Requests("/v1/forecast").size(), 2);
  // Another code is searched for; one without a match leaves the panel offline.
  places = ServerScript::JsonPage("{\"generationtime_ms\":0.1}");
  settings.WeatherZip = QStringLiteral("Atlantis");
  weather->RefreshNow();
  EXPECT_EQ(Requests("/v1/search").size(), 2);
  EXPECT_FALSE(QueryOf(Requests("/v1/search").at(1)).hasQueryItem(QStringLiteral("countryCode")));
  EXPECT_FALSE(Report().CurrentValid);
  EXPECT_EQ(weather->LastError(), QStringLiteral("no place matches \"Atlantis\""));
  settings.WeatherZip.clear();
  weather->RefreshNow();
  EXPECT_EQ(weather->LastError(), QStringLiteral("no place is set for the weather"));
  // Started again where the search cannot be made, the report kept for the code stands.
  settings.WeatherZip = QStringLiteral("02108");
  places = ServerScript::JsonPage(PlacesAnswer());
  weather->RefreshNow();
  ASSERT_TRUE(Report().CurrentValid);
  places = ServerScript::Status("502 Bad Gateway");
  const std::unique_ptr<T_Weather> restarted = Keeper();
  restarted->RefreshNow();
  EXPECT_TRUE(restarted->Report().CurrentValid);
  settings.WeatherZip = QStringLiteral("10115");
  restarted->RefreshNow();
  EXPECT_FALSE(restarted->Report().CurrentValid);
}

TEST_F(OpenMeteoTest, PlaceSearchFindsSeveralNoneOrTakesCoordinatesAsTheyStand) {
  OpenMeteoClient& client = *weather->OpenMeteo;
  PlaceSearch found = client.FindPlaces(settings.GeocodeUrl, QStringLiteral("Boston"));
  ASSERT_EQ(found.places.size(), 2);
  EXPECT_EQ(found.places[1].name, QStringLiteral("Boston, England, United Kingdom"));
  found = client.FindPlaces(settings.GeocodeUrl, QStringLiteral("-33.87,151.21"));
  ASSERT_EQ(found.places.size(), 1);
  EXPECT_DOUBLE_EQ(found.places[0].longitude, 151.21);
  EXPECT_EQ(found.error, QString());
  EXPECT_TRUE(client.FindPlaces(settings.GeocodeUrl, QStringLiteral(" B ")).error.contains(QLatin1String("two")));
  EXPECT_EQ(server.requests().size(), 1);
  places = ServerScript::JsonPage("{\"results\":[]}");
  found = client.FindPlaces(settings.GeocodeUrl, QStringLiteral("SW1A 1AA"));
  EXPECT_TRUE(found.places.isEmpty() && found.error.isEmpty());
  EXPECT_EQ(QueryOf(server.requests().last()).queryItemValue(QStringLiteral("name"), QUrl::FullyDecoded),
            QStringLiteral("SW1A 1AA"));
  EXPECT_TRUE(client.FindPlaces(QStringLiteral("ftp://127.0.0.1/x"), QStringLiteral("Boston"))
                  .error.contains(QLatin1String("not an http")));
}

TEST_F(OpenMeteoTest, TicksComeEveryFifteenMinutesAndNoSecondRefreshStartsWhileOneRuns) {
  weather->UpdateWeatherTimer();
  EXPECT_EQ(weather->UpdateWeather->interval(), 900000);
  EXPECT_FALSE(Report().Loading);
  settings.WeatherProvider = QStringLiteral("classic");
  settings.WeatherHost = server.hostAndPort();
  weather->UpdateWeatherTimer();
  EXPECT_EQ(weather->UpdateWeather->interval(), 180000);
  settings.WeatherProvider = QStringLiteral("open-meteo");
  forecast = ServerScript{
      {{0, "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n"}, {200, Json(ForecastAnswer())}}, true};
  std::optional<bool> second;
  QTimer::singleShot(50, [&] { second = weather->RefreshNow(); });
  EXPECT_TRUE(weather->RefreshNow());
  EXPECT_EQ(second, false);
  EXPECT_TRUE(Report().CurrentValid);
}

TEST(OpenMeteoClientTls, TheServersCertificateIsChecked) {
  LoopbackServer secure(ServerScript::JsonPage("{}"), LoopbackServer::Tls::On);
  OpenMeteoClient client;
  client.deadlineMs = 5000;
  const QUrl url(secure.url(QStringLiteral("/v1/forecast")));
  const JsonAnswer refused = client.Get(url);
  EXPECT_TRUE(refused.error.contains(QLatin1String("cannot be reached"))) << refused.error.toStdString();
  EXPECT_TRUE(refused.body.isEmpty());
  client.AddCaCertificates({LoopbackServer::TlsCertificate()});
  const JsonAnswer trusted = client.Get(url);
  EXPECT_EQ(trusted.error, QString());
  EXPECT_EQ(trusted.body, QByteArray("{}"));
}

}  // namespace
