#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// Answers of the Open-Meteo shape for the tests and the fixture server.

// Boston on 7 Dec 2026 at 10:15: yesterday and ten days, the hourly pressure rising 1.5 hPa in
// the last three hours. Tests change pieces of it.
inline QJsonObject ForecastAnswer() {
  QJsonArray times, pressures;
  for (int h = 0; h < 24; ++h) {
    times << QStringLiteral("2026-12-07T%1:00").arg(h, 2, 10, QLatin1Char('0'));
    pressures << (h <= 7 ? 1018.0 : 1018.0 + (h - 7) * 0.5);
  }
  QJsonArray days;
  for (int d = 6; d <= 16; ++d) days << QStringLiteral("2026-12-%1").arg(d, 2, 10, QLatin1Char('0'));
  return QJsonObject{
      {"latitude", 42.36},
      {"longitude", -71.06},
      {"timezone", "America/New_York"},
      {"current", QJsonObject{{"time", "2026-12-07T10:15"},
                              {"interval", 900},
                              {"temperature_2m", 75.2},
                              {"relative_humidity_2m", 60},
                              {"weather_code", 2},
                              {"pressure_msl", 1020.0},
                              {"wind_speed_10m", 10.4},
                              {"wind_direction_10m", 315},
                              {"uv_index", 3.15}}},
      {"hourly", QJsonObject{{"time", times}, {"pressure_msl", pressures}}},
      {"daily", QJsonObject{{"time", days},
                            {"weather_code", QJsonArray{3, 2, 0, 1, 45, 61, 80, 71, 95, 75, 3}},
                            {"temperature_2m_max", QJsonArray{40, 50.4, 52, 53, 54, 55, 56, 57, 58, 59, 60.6}},
                            {"temperature_2m_min", QJsonArray{20, 29.6, 31, 32, 33, 34, 35, 36, 37, 38, 39}},
                            {"precipitation_probability_max", QJsonArray{0, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90}}}}};
}

inline QByteArray Json(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

// A place search that finds Boston in two countries.
inline QByteArray PlacesAnswer() {
  const auto place = [](int id, double latitude, double longitude, const char* country, const char* region) {
    return QJsonObject{{"id", id},           {"name", "Boston"}, {"latitude", latitude}, {"longitude", longitude},
                       {"country", country}, {"admin1", region}};
  };
  QJsonObject us = place(4930956, 42.35843, -71.05977, "United States", "Massachusetts");
  us["postcodes"] = QJsonArray{"02108", "02109"};
  return Json(QJsonObject{{"results", QJsonArray{us, place(2655138, 52.97633, -0.02664, "United Kingdom", "England")}},
                          {"generationtime_ms", 0.5}});
}
