#pragma once

#include "network/weatherparser.h"

#include <QObject>
#include <QString>
#include <functional>

class NetworkPresence;
class QTimer;
class T_HTTPClient;

// What the weather module reads of the settings, asked afresh at every refresh.
struct WeatherSettings {
  bool DisplayWeather = true;
  QString WeatherZip;
  int TempDeg = 0;
  int PressureType = 0;
  QString WeatherHost;  // the weather site, "host" or "host:port"
};

// The weather site used when the setting is empty.
inline constexpr const char* DefaultWeatherHost = "www.weather.com";

// Keeps the weather report for the user's zip code up to date: one refresh a second after
// it is made, then every three minutes. A refresh fetches the current-conditions page and the
// ten-day page with its own HTTP client and reads them into the report. Failures are never
// shown; they only clear the report's valid flags.
class T_Weather : public QObject {
  Q_OBJECT

 public:
  static constexpr int FirstIntervalMs = 1000;
  static constexpr int IntervalMs = 180000;
  static constexpr const char* UserAgent = "HTTPClient/0.1";

  // settings is asked for the current values at each refresh; presence, before each refresh,
  // whether the weather site can be reached (it stays the caller's and outlives the keeper).
  T_Weather(std::function<WeatherSettings()> settings, NetworkPresence& presence, QObject* parent = nullptr);
  ~T_Weather() override;

  const TWeatherReport& Report() const { return report_; }
  TWeatherReport& Report() { return report_; }

  // Fetches and reads both pages for the zip code. False when a refresh was already running
  // (nothing is started then).
  bool RefreshWeather(const QString& zip);
  // RefreshWeather with the zip code of the settings.
  bool RefreshNow();
  bool Refreshing() const { return refreshing_; }

  // The timer's tick: the first one stretches the interval to three minutes; each refreshes
  // when weather is wanted, then Loading tells whether the report is still without weather.
  void UpdateWeatherTimer();

  QTimer* UpdateWeather = nullptr;
  T_HTTPClient* HTTPClient = nullptr;

 signals:
  // A refresh ended; the report may have changed.
  void WeatherChanged();

 private:
  std::function<WeatherSettings()> settings_;
  NetworkPresence& presence_;
  TWeatherReport report_;
  bool refreshing_ = false;
};
