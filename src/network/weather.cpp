#include "network/weather.h"

#include "network/httpclient.h"
#include "platform/networkpresence.h"

#include <QTimer>
#include <QUrl>

T_Weather::T_Weather(std::function<WeatherSettings()> settings, NetworkPresence& presence, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), presence_(presence) {
  HTTPClient = new T_HTTPClient(this);
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
  if (UpdateWeather->interval() == FirstIntervalMs) UpdateWeather->setInterval(IntervalMs);
  if (settings_().DisplayWeather) RefreshNow();
  report_.Loading = !report_.CurrentValid;
}

bool T_Weather::RefreshNow() { return RefreshWeather(settings_().WeatherZip); }

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
