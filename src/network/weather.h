#pragma once

#include "network/openmeteo.h"
#include "network/weatherparser.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class NetworkPresence;
class OpenMeteoClient;
class QTimer;
class TSettings;
class T_HTTPClient;

// What the weather module reads of the settings, asked afresh at every refresh.
struct WeatherSettings {
  bool DisplayWeather = true;
  QString WeatherZip;
  int TempDeg = 0;
  int PressureType = 0;
  QString WeatherHost;  // the weather site, "host" or "host:port"

  // "open-meteo" fetches from Open-Meteo for the place below; anything else is the classic
  // site for the zip code.
  QString WeatherProvider;
  QString ForecastUrl;  // the forecast's address; empty: DefaultOpenMeteoForecastUrl
  QString GeocodeUrl;   // the place search's address; empty: DefaultOpenMeteoGeocodeUrl
  QString Latitude;     // the place in decimal degrees; when absent the zip code is searched for
  QString Longitude;
  QString PlaceName;
  QString CacheFile;  // where the last good forecast is kept; empty: not kept

  bool UsesOpenMeteo() const { return WeatherProvider == QLatin1String(OpenMeteoProvider); }
  static constexpr const char* OpenMeteoProvider = "open-meteo";
  static constexpr const char* ClassicProvider = "classic";
};

// The weather settings as stored (provider, addresses, place, units); the cache file is left
// for the caller to name.
WeatherSettings ReadWeatherSettings(const TSettings& stored);

// The weather site used when the setting is empty.
inline constexpr const char* DefaultWeatherHost = "www.weather.com";

// Keeps the weather report up to date: one refresh a second after it is made, then every
// three minutes for the classic site and every fifteen for Open-Meteo (a free service).
// Classic: a refresh fetches the current-conditions page and the ten-day page for the zip
// code with its own HTTP client and reads them into the report. Open-Meteo: one forecast
// answer for the place (the zip code is searched for when no place is set); the last good
// answer is kept, on disk too, and stands in for the rest of its day when a refresh fails,
// with AsOf saying how old it is. Failures are never shown; they only clear the report's
// valid flags.
class T_Weather : public QObject {
  Q_OBJECT

 public:
  static constexpr int FirstIntervalMs = 1000;
  static constexpr int IntervalMs = 180000;
  static constexpr int OpenMeteoIntervalMs = 900000;
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
  // RefreshWeather with the zip code of the settings, or the Open-Meteo refresh for the place
  // of the settings.
  bool RefreshNow();
  bool Refreshing() const { return refreshing_; }

  // The timer's tick: the first one stretches the interval to three minutes; each refreshes
  // when weather is wanted, then Loading tells whether the report is still without weather.
  void UpdateWeatherTimer();

  // Why the last Open-Meteo refresh brought no fresh report; empty after a good one.
  const QString& LastError() const { return lastError_; }
  // The place of the last Open-Meteo refresh.
  const std::optional<WeatherPlace>& Place() const { return place_; }

  QTimer* UpdateWeather = nullptr;
  T_HTTPClient* HTTPClient = nullptr;
  OpenMeteoClient* OpenMeteo = nullptr;
  // The clock the age of a kept report is judged by (tests pin it).
  std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };

 signals:
  // A refresh ended; the report may have changed.
  void WeatherChanged();

 private:
  bool RefreshOpenMeteo(const WeatherSettings& settings);
  // The first place the place search finds for the zip code; nothing (and lastError_) when
  // there is none.
  std::optional<WeatherPlace> SearchZip(const WeatherSettings& settings);
  // Shows the kept answer when it is of this place and of today; otherwise clears the flags.
  void UseKept(const WeatherSettings& settings);
  void Keep(const WeatherSettings& settings, const QByteArray& answer);

  std::function<WeatherSettings()> settings_;
  NetworkPresence& presence_;
  TWeatherReport report_;
  bool refreshing_ = false;
  QString lastError_;
  std::optional<WeatherPlace> place_;
  QString zipSearched_;  // the zip code place_ was found for, when it came from a search
  std::optional<CachedForecast> kept_;
  bool keptRead_ = false;  // the cache file was read
};
