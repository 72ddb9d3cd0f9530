#include "network/openmeteoparser.h"
#include "openmeteoanswers.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QUrlQuery>
#include <functional>

namespace {

using R = TWeatherReport;

TEST(OpenMeteoForecast, MapsEveryFieldIntoTheUsersUnits) {
  // Temperature, high, low, pressure and wind in each pair of units.
  const std::tuple<int, int, const char*> rows[] = {{0, 0, "75°F 50 30 30.12 In. Wind: NW at 10 mph"},
                                                    {1, 1, "23°C 10 -2 765.04 mm Wind: NW at 17 km/h"},
                                                    {3, 3, "296K 283 271 101.97 KPa Wind: NW at 17 km/h"},
                                                    {2, 2, "535°R 510 490 1 atm Wind: NW at 10 mph"}};
  for (const auto& [tempDeg, pressureType, expected] : rows) {
    TWeatherReport r;
    r.SevereAlert = true;
    ASSERT_EQ(ReadOpenMeteoForecast(Json(ForecastAnswer()), tempDeg, pressureType, r), QString());
    EXPECT_TRUE(r.CurrentValid && r.ForecastValid);
    EXPECT_FALSE(r.SevereAlert);  // no alert source: the row stays hidden
    EXPECT_EQ(QStringList({r.Temperature + r.TempUnit, r.High, r.Low, r.Pressure + r.PressureUnit, r.Wind})
                  .join(QLatin1Char(' ')),
              QString::fromUtf8(expected));
  }
  // The ten days start today, not with the day before that the answer also holds.
  TWeatherReport r;
  ASSERT_EQ(ReadOpenMeteoForecast(Json(ForecastAnswer()), 0, 0, r), QString());
  EXPECT_EQ(r.PressureTrend, QStringLiteral("up"));
  for (const auto& [day, text] : {std::pair{0, "Partly Cloudy 50 30 0 %"},
                                  {3, "Fog 54 33 30 %"},
                                  {4, "Rain 55 34 40 %"},
                                  {9, "Cloudy 61 39 90 %"}})
    EXPECT_EQ(QStringList(
                  {r.Forecast[day].Conditions, r.Forecast[day].High, r.Forecast[day].Low, r.Forecast[day].PrecipChance})
                  .join(QLatin1Char(' ')),
              QString::fromLatin1(text));
  EXPECT_EQ(
      ForecastText(r, D(2026, 12, 7), D(2026, 12, 7)),
      QStringLiteral("Weather for 07 Dec 2026\r\n-------------------------------\r\n"
                     "Temp: 75°F  High: 50°F  Low: 30°F\r\nPartly Cloudy\r\nChance of precipitation: 0 %\r\n"
                     "Pressure: 30.12 In.\r\nRelative Humidity: 60%\r\nUV Index: 3 Moderate\r\nWind: NW at 10 mph"));
}

// Sets a value inside the answer: "current/uv_index", "daily" (a whole block), ...
// An undefined value removes it.
QJsonObject With(QJsonObject answer, const QString& path, const QJsonValue& value) {
  const QString outer = path.section(QLatin1Char('/'), 0, 0), inner = path.section(QLatin1Char('/'), 1);
  const auto set = [&value](QJsonObject& object, const QString& key) {
    value.isUndefined() ? void(object.remove(key)) : void(object[key] = value);
  };
  QJsonObject block = answer.value(outer).toObject();
  set(inner.isEmpty() ? answer : block, inner.isEmpty() ? outer : inner);
  if (!inner.isEmpty()) answer[outer] = block;
  return answer;
}

TEST(OpenMeteoForecast, AbsentValuesShowAsNotAvailableAndTheTrendFollowsTheHourlyPressure) {
  struct Row {
    const char* name;
    const char* path;
    QJsonValue value;
    QString R::*field;
    const char* expected;
  };
  QJsonArray falling;
  for (int h = 0; h < 24; ++h) falling << 1030.0 - h;
  const Row rows[] = {
      {"NoUv", "current/uv_index", QJsonValue::Null, &R::UVIndex, "N/A"},
      {"UvElevenIsExtreme", "current/uv_index", 11, &R::UVIndex, "11 Extreme"},
      {"NoHumidity", "current/relative_humidity_2m", QJsonValue::Undefined, &R::Humidity, "N/A"},
      {"NoPressure", "current/pressure_msl", QJsonValue::Null, &R::Pressure, "N/A"},
      {"NoWind", "current/wind_speed_10m", QJsonValue::Undefined, &R::Wind, "Wind: N/A"},
      {"NoDirection", "current/wind_direction_10m", QJsonValue::Null, &R::Wind, "Wind: 10 mph"},
      {"Calm", "current/wind_speed_10m", 0.3, &R::Wind, "Wind: Calm"},
      {"NorthAcrossZero", "current/wind_direction_10m", 355, &R::Wind, "Wind: N at 10 mph"},
      {"HighOfTodayMissing", "daily/temperature_2m_max", QJsonArray{1, QJsonValue::Null}, &R::High, "N/A"},
      {"FallingPressure", "hourly/pressure_msl", falling, &R::PressureTrend, "down"},
      {"SmallChangeIsSteady", "current/time", "2026-12-07T08:59", &R::PressureTrend, "steady"},
      {"NoHourlySeries", "hourly", QJsonValue::Undefined, &R::PressureTrend, "steady"},
      {"UnknownCodeShowsItsNumber", "current/weather_code", 42, &R::Conditions, "42"},
      {"Drizzle", "current/weather_code", 53, &R::Conditions, "Rain"},
      {"RimeFog", "current/weather_code", 48, &R::Conditions, "Fog"},
      {"SnowShowers", "current/weather_code", 85, &R::Conditions, "Light Snow"},
  };
  for (const Row& row : rows) {
    TWeatherReport r;
    EXPECT_EQ(ReadOpenMeteoForecast(Json(With(ForecastAnswer(), QString::fromLatin1(row.path), row.value)), 0, 0, r),
              QString())
        << row.name;
    EXPECT_EQ(r.*row.field, QString::fromUtf8(row.expected)) << row.name;
  }
  // Fewer days than ten: the rest show "N/A"; no day list at all starts with the first day.
  TWeatherReport r;
  QJsonObject shortAnswer = ForecastAnswer();
  QJsonObject daily = shortAnswer[QStringLiteral("daily")].toObject();
  for (const QString& series : daily.keys()) {
    const QJsonArray all = daily[series].toArray();
    daily[series] = QJsonArray{all[0], all[1], all[2]};
  }
  shortAnswer[QStringLiteral("daily")] = daily;
  ASSERT_EQ(ReadOpenMeteoForecast(Json(shortAnswer), 0, 0, r), QString());
  EXPECT_EQ(r.Forecast[1].High, QStringLiteral("52"));
  EXPECT_EQ(r.Forecast[1].PrecipChance, QStringLiteral("10 %"));
  EXPECT_EQ(r.Forecast[2].High, QStringLiteral("N/A"));
  EXPECT_EQ(r.Forecast[2].Conditions, QStringLiteral("N/A"));
  ASSERT_EQ(ReadOpenMeteoForecast(Json(With(shortAnswer, QStringLiteral("daily/time"), QJsonValue())), 0, 0, r),
            QString());
  EXPECT_EQ(r.High, QStringLiteral("40"));
}

TEST(OpenMeteoForecast, ABrokenAnswerFailsWithAMessageAndKeepsWhatWasHeld) {
  struct Row {
    const char* name;
    std::function<QByteArray()> answer;
    const char* message;
  };
  auto changed = [](const char* path, QJsonValue value) {
    return [=] { return Json(With(ForecastAnswer(), QString::fromLatin1(path), value)); };
  };
  auto bytes = [](const char* text) { return [=] { return QByteArray(text); }; };
  const Row rows[] = {
      {"Empty", bytes(""), "not readable JSON"},
      {"Truncated", [] { return Json(ForecastAnswer()).chopped(5); }, "not readable JSON"},
      {"AnArray", bytes("[1,2]"), "not readable JSON"},
      {"Refused", bytes(R"({"error":true,"reason":"Latitude must be in range of -90 to 90°."})"),
       "refused the request: Latitude must be in range"},
      {"NoCurrent", changed("current", QJsonValue()), "no current conditions"},
      {"CurrentNotAnObject", changed("current", 5), "no current conditions"},
      {"NoDaily", changed("daily", QJsonValue()), "no forecast"},
      {"NoTemperature", changed("current/temperature_2m", QJsonValue::Null), "no usable temperature"},
      {"TemperatureAsText", changed("current/temperature_2m", "75"), "no usable temperature"},
      {"TemperatureOffTheScale", changed("current/temperature_2m", 1e300), "no usable temperature"},
      {"NoWeatherCode", changed("current/weather_code", QJsonValue()), "no usable weather code"},
      {"FractionalCode", changed("current/weather_code", 2.5), "no usable weather code"},
      {"HumidityAsText", changed("current/relative_humidity_2m", "60%"), "no usable humidity"},
      {"NegativeUv", changed("current/uv_index", -1), "no usable UV index"},
      {"PressureAsObject", changed("current/pressure_msl", QJsonObject()), "no usable pressure"},
      {"DirectionAsText", changed("current/wind_direction_10m", "NW"), "no usable wind"},
      {"NoHighs", changed("daily/temperature_2m_max", QJsonValue()), "no usable forecast"},
      {"LowAsText", changed("daily/temperature_2m_min", QJsonArray{1, "cold"}), "no usable forecast"},
      {"ChanceOver100", changed("daily/precipitation_probability_max", QJsonArray{1, 101}), "no usable forecast"},
  };
  for (const Row& row : rows) {
    TWeatherReport r;
    ASSERT_EQ(ReadOpenMeteoForecast(Json(ForecastAnswer()), 0, 0, r), QString());
    const QString message = ReadOpenMeteoForecast(row.answer(), 1, 1, r);
    EXPECT_TRUE(message.contains(QLatin1String(row.message))) << row.name << ": " << message.toStdString();
    EXPECT_FALSE(r.CurrentValid || r.ForecastValid) << row.name;
    EXPECT_EQ(r.Temperature + r.TempUnit + r.Forecast[9].High, QStringLiteral("75°F61")) << row.name;
  }
}

TEST(OpenMeteoPlaces, NamesEachMatchWithRegionAndCountry) {
  PlaceSearch search = ReadOpenMeteoPlaces(PlacesAnswer());
  ASSERT_EQ(search.error, QString());
  ASSERT_EQ(search.places.size(), 2);
  EXPECT_EQ(search.places[0].name, QStringLiteral("Boston, Massachusetts, United States"));
  EXPECT_DOUBLE_EQ(search.places[0].latitude, 42.35843);
  EXPECT_DOUBLE_EQ(search.places[0].longitude, -71.05977);
  EXPECT_EQ(search.places[1].name, QStringLiteral("Boston, England, United Kingdom"));
  // Each row: the answer, then the names found or the end of the error.
  const std::pair<const char*, const char*> rows[] = {
      {R"({"generationtime_ms":0.2})", ""},  // no match leaves the results out
      {R"({"results":[{"name":"Berlin","admin1":"Berlin","country":"Germany","latitude":52.5,"longitude":13.4}]})",
       "Berlin, Germany"},  // the region only once
      {R"({"results":[{"name":"X"},{"name":"Y","latitude":"1","longitude":2},{"latitude":1,"longitude":2},)"
       R"({"name":"Z","latitude":91,"longitude":0},5]})",
       ""},  // places without coordinates or a name are skipped
      {R"({"results":{"name":"Boston"}})", "no list of places"},
      {R"({"results":[)", "not readable JSON"},
      {R"({"error":true})", "refused the request: no reason given"},
  };
  for (const auto& [json, expected] : rows) {
    search = ReadOpenMeteoPlaces(QByteArray(json));
    QStringList names;
    for (const WeatherPlace& place : search.places) names << place.name;
    const QString got = search.error.isEmpty() ? names.join(QLatin1Char(';')) : search.error;
    EXPECT_TRUE(*expected ? got.endsWith(QLatin1String(expected)) : got.isEmpty()) << json << got.toStdString();
  }
}

TEST(OpenMeteoPlaces, LatitudeAndLongitudeAreTakenAsTheyStand) {
  const std::tuple<const char*, bool, double, double> rows[] = {{"42.36,-71.06", true, 42.36, -71.06},
                                                                {" -33.9 , 151.2 ", true, -33.9, 151.2},
                                                                {"+90,180", true, 90, 180},
                                                                {"91,0", false, 0, 0},
                                                                {"0,181", false, 0, 0},
                                                                {"Boston", false, 0, 0},
                                                                {"10115 Berlin", false, 0, 0},
                                                                {"42.36", false, 0, 0},
                                                                {"1,2,3", false, 0, 0},
                                                                {"", false, 0, 0}};
  for (const auto& [text, ok, lat, lon] : rows) {
    const std::optional<WeatherPlace> place = ParseLatLon(QString::fromLatin1(text));
    ASSERT_EQ(place.has_value(), ok) << text;
    if (!ok) continue;
    EXPECT_DOUBLE_EQ(place->latitude, lat);
    EXPECT_DOUBLE_EQ(place->longitude, lon);
  }
  EXPECT_EQ(ParseLatLon(QStringLiteral("42.36,-71.06"))->name, QStringLiteral("42.36, -71.06"));
}

TEST(OpenMeteoUrls, AskForEveryFieldAndKeepTheUsersTextOneValue) {
  const QUrl forecast = OpenMeteoForecastUrl(QStringLiteral("http://127.0.0.1:9/v1/forecast"), 42.35843, -71.05977);
  const QUrlQuery query(forecast);
  EXPECT_EQ(forecast.path(), QStringLiteral("/v1/forecast"));
  EXPECT_EQ(query.queryItemValue(QStringLiteral("latitude")), QStringLiteral("42.3584"));
  EXPECT_EQ(query.queryItemValue(QStringLiteral("longitude")), QStringLiteral("-71.0598"));
  EXPECT_EQ(query.queryItemValue(QStringLiteral("temperature_unit")), QStringLiteral("fahrenheit"));
  EXPECT_EQ(query.queryItemValue(QStringLiteral("wind_speed_unit")), QStringLiteral("mph"));
  for (const char* field : {"temperature_2m", "relative_humidity_2m", "weather_code", "pressure_msl", "wind_speed_10m",
                            "wind_direction_10m", "uv_index"})
    EXPECT_TRUE(query.queryItemValue(QStringLiteral("current")).split(QLatin1Char(',')).contains(QLatin1String(field)));
  const QUrl geocode =
      OpenMeteoGeocodeUrl(QStringLiteral("http://127.0.0.1:9/v1/search"), QStringLiteral(" 10115 Berlin&count=99#x "));
  EXPECT_EQ(QUrlQuery(geocode).queryItemValue(QStringLiteral("name"), QUrl::FullyDecoded),
            QStringLiteral("10115 Berlin&count=99#x"));
  EXPECT_EQ(QUrlQuery(geocode).queryItemValue(QStringLiteral("count")), QStringLiteral("5"));
  EXPECT_EQ(CompassPoint(-45), QStringLiteral("NW"));
  EXPECT_EQ(CompassPoint(191), QStringLiteral("S"));
}

}  // namespace
