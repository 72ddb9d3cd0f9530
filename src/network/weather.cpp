#include "network/weather.h"

#include "network/httpclient.h"
#include "network/openmeteo.h"
#include "network/weatherplace.h"
#include "platform/networkpresence.h"
#include "settings/settings.h"

#include <QFile>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>
#include <cmath>

WeatherSettings ReadWeatherSettings(const TSettings& stored) {
  WeatherSettings settings;
  auto text = [&stored](const char* name) { return stored.GetSetting(QLatin1String(name)).trimmed(); };
  settings.DisplayWeather = stored.GetBool(QStringLiteral("DisplayWeather"));
  settings.WeatherZip = text("WeatherZip");
  settings.TempDeg = stored.GetInt(QStringLiteral("TempDeg"));
  settings.PressureType = stored.GetInt(QStringLiteral("PressureType"));
  settings.WeatherHost = stored.GetSetting(QStringLiteral("WeatherHost"));
  settings.WeatherProvider = text("WeatherProvider") == QLatin1String(WeatherSettings::ClassicProvider)
                                 ? QString::fromLatin1(WeatherSettings::ClassicProvider)
                                 : QString::fromLatin1(WeatherSettings::OpenMeteoProvider);
  settings.ForecastUrl = text("WeatherForecastUrl");
  settings.GeocodeUrl = text("WeatherGeocodeUrl");
  settings.Latitude = text("WeatherLatitude");
  settings.Longitude = text("WeatherLongitude");
  settings.PlaceName = text("WeatherPlace");
  return settings;
}

T_Weather::T_Weather(std::function<WeatherSettings()> settings, NetworkPresence& presence, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), presence_(presence) {
  HTTPClient = new T_HTTPClient(this);
  OpenMeteo = new OpenMeteoClient(this);
  report_.Loading = true;
  report_.CurrentValid = false;
  report_.ForecastValid = false;
  UpdateWeather = new QTimer(this);
  UpdateWeather->setObjectName(QStringLiteral("UpdateWeather"));
  UpdateWeather->setInterval(FirstIntervalMs);
  connect(UpdateWeather, &QTimer::timeout, this, &T_Weather::UpdateWeatherTimer);
  UpdateWeather->start();
}

T_Weather::~T_Weather() = default;

void T_Weather::UpdateWeatherTimer() {
  // A tick that comes while a refresh waits for its pages is dropped; the interval stays,
  // so the first refresh is only put off by a second.
  if (refreshing_) return;
  const WeatherSettings settings = settings_();
  const int interval = settings.UsesOpenMeteo() ? OpenMeteoIntervalMs : IntervalMs;
  if (UpdateWeather->interval() != interval) UpdateWeather->setInterval(interval);
  if (settings.DisplayWeather) RefreshNow();
  report_.Loading = !report_.CurrentValid;
}

bool T_Weather::RefreshNow() {
  const WeatherSettings settings = settings_();
  if (settings.UsesOpenMeteo()) return RefreshOpenMeteo(settings);
  return RefreshWeather(settings.WeatherZip);
}

bool T_Weather::RefreshWeather(const QString& zip) {
  if (refreshing_) return false;
  refreshing_ = true;
  const WeatherSettings settings = settings_();
  QString host = settings.WeatherHost.trimmed();
  if (host.isEmpty()) host = QString::fromLatin1(DefaultWeatherHost);

  auto fail = [this] {
    report_.CurrentValid = false;
    report_.ForecastValid = false;
  };
  auto finish = [this] {
    refreshing_ = false;
    emit WeatherChanged();
    return true;
  };

  if (!presence_.Present(host.section(QLatin1Char(':'), 0, 0))) {
    fail();
    return finish();
  }
  // The zip code is the user's text: it goes into the path encoded, never as raw bytes.
  const QString site = QStringLiteral("http://") + host;
  const QString code = QString::fromLatin1(QUrl::toPercentEncoding(zip.trimmed()));
  const HttpResult local =
      HTTPClient->HTTPGet(site + QStringLiteral("/weather/local/") + code, QString::fromLatin1(UserAgent));
  if (local.Failed()) {
    fail();
    return finish();
  }
  const HttpResult tenday =
      HTTPClient->HTTPGet(site + QStringLiteral("/weather/tenday/") + code, QString::fromLatin1(UserAgent));
  if (tenday.Failed()) {
    fail();
    return finish();
  }
  // An empty answer (the connection failed) leaves its page's flag as it was.
  if (!local.body.isEmpty() && ParseCurrentPage(QString::fromUtf8(local.body), settings.TempDeg, settings.PressureType,
                                                report_) == PageParse::BadNumber) {
    fail();
    return finish();
  }
  if (!tenday.body.isEmpty() &&
      ParseTenDayPage(QString::fromUtf8(tenday.body), settings.TempDeg, report_) == PageParse::BadNumber) {
    fail();
  }
  return finish();
}

namespace {

QString OrDefault(const QString& url, const char* fallback) {
  return url.isEmpty() ? QString::fromLatin1(fallback) : url;
}

std::optional<double> Degrees(const QString& text, double limit) {
  bool ok = false;
  const double value = text.toDouble(&ok);
  if (!ok || !std::isfinite(value) || std::abs(value) > limit) return std::nullopt;
  return value;
}

}  // namespace

std::optional<WeatherPlace> T_Weather::SearchZip(const WeatherSettings& settings) {
  if (settings.WeatherZip.isEmpty()) {
    lastError_ = QStringLiteral("no place is set for the weather");
    return std::nullopt;
  }
  const PlaceSearch search =
      FindWeatherPlaces(*OpenMeteo, OrDefault(settings.GeocodeUrl, DefaultOpenMeteoGeocodeUrl), settings.WeatherZip);
  if (!search.error.isEmpty() || search.places.isEmpty()) {
    lastError_ =
        search.error.isEmpty() ? QStringLiteral("no place matches \"%1\"").arg(settings.WeatherZip) : search.error;
    return std::nullopt;
  }
  zipSearched_ = settings.WeatherZip;
  return search.places.first();
}

bool T_Weather::RefreshOpenMeteo(const WeatherSettings& settings) {
  if (refreshing_) return false;
  refreshing_ = true;
  lastError_.clear();
  // The place: as set, or else the one found for the zip code kept from the classic site.
  const std::optional<double> latitude = Degrees(settings.Latitude, 90);
  const std::optional<double> longitude = Degrees(settings.Longitude, 180);
  if (latitude && longitude) {
    place_ = WeatherPlace{settings.PlaceName, *latitude, *longitude};
    zipSearched_.clear();
  } else if (zipSearched_.isEmpty() || zipSearched_ != settings.WeatherZip) {
    place_.reset();
    zipSearched_.clear();
  }
  const QString base = OrDefault(settings.ForecastUrl, DefaultOpenMeteoForecastUrl);
  if (!presence_.Present(QUrl(base).host())) {
    lastError_ = QStringLiteral("no network");
    UseKept(settings);
  } else if (!place_ && !(place_ = SearchZip(settings))) {
    UseKept(settings);
  } else {
    const JsonAnswer answer = OpenMeteo->Get(OpenMeteoForecastUrl(base, place_->latitude, place_->longitude));
    lastError_ = answer.error.isEmpty()
                     ? ReadOpenMeteoForecast(answer.body, settings.TempDeg, settings.PressureType, report_)
                     : answer.error;
    if (lastError_.isEmpty()) {
      Keep(settings, answer.body);
    } else {
      UseKept(settings);
    }
  }
  refreshing_ = false;
  emit WeatherChanged();
  return true;
}

void T_Weather::Keep(const WeatherSettings& settings, const QByteArray& answer) {
  kept_ = CachedForecast{answer, Now().toUTC(), place_->latitude, place_->longitude, zipSearched_};
  keptRead_ = true;
  report_.AsOf = kept_->fetched;
  if (settings.CacheFile.isEmpty()) return;
  // A cache that cannot be written only costs the report after a restart without network.
  QSaveFile file(settings.CacheFile);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(CachedForecastBytes(*kept_));
    file.commit();
  }
}

void T_Weather::UseKept(const WeatherSettings& settings) {
  report_.CurrentValid = false;
  report_.ForecastValid = false;
  if (!keptRead_ && !settings.CacheFile.isEmpty()) {
    keptRead_ = true;
    QFile file(settings.CacheFile);
    if (file.size() <= 4 * OpenMeteoClient::MaxAnswer && file.open(QIODevice::ReadOnly)) {
      kept_ = ReadCachedForecast(file.readAll());
    }
  }
  if (!kept_) return;
  // Held only for the place and the day it was fetched for: the forecast's first day is that
  // day. When the zip code's search failed, the kept one counts when it was found for it.
  if (place_ ? !kept_->IsFor(place_->latitude, place_->longitude)
             : kept_->search.isEmpty() || kept_->search != settings.WeatherZip) {
    return;
  }
  if (kept_->fetched.toLocalTime().date() != Now().date()) return;
  if (ReadOpenMeteoForecast(kept_->answer, settings.TempDeg, settings.PressureType, report_).isEmpty()) {
    report_.AsOf = kept_->fetched;
  }
}
