#include "network/openmeteo.h"

#include "version.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>
#include <cmath>

OpenMeteoClient::OpenMeteoClient(QObject* parent) : QObject(parent) {}

OpenMeteoClient::~OpenMeteoClient() = default;

JsonAnswer OpenMeteoClient::Get(const QUrl& url) {
  if (busy_) return {{}, QStringLiteral("a request to the weather service is already running")};
  const QString scheme = url.scheme();
  if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
    return {{}, QStringLiteral("the weather service's address is not an http:// or https:// address")};
  }
  busy_ = true;
  QNetworkRequest request(url);
  request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Orvane/" ORVANE_VERSION));
  request.setRawHeader("Accept", "application/json");
  request.setTransferTimeout(deadlineMs);
  if (!extraCa_.isEmpty()) {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(extraCa_);
    request.setSslConfiguration(tls);
  }
  // A manager of its own for each request: no connection is kept between refreshes a quarter
  // of an hour apart, and no request of an earlier one is ever sent again.
  QNetworkAccessManager manager;
  QNetworkReply* reply = manager.get(request);
  QEventLoop loop;
  bool tooLarge = false;
  bool timedOut = false;
  QTimer deadline;
  deadline.setSingleShot(true);
  connect(&deadline, &QTimer::timeout, reply, [&] {
    timedOut = true;
    reply->abort();
  });
  connect(reply, &QNetworkReply::downloadProgress, reply, [&](qint64 received, qint64 total) {
    if (received > MaxAnswer || total > MaxAnswer) {
      tooLarge = true;
      reply->abort();
    }
  });
  connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  deadline.start(deadlineMs);
  if (!reply->isFinished()) loop.exec();
  deadline.stop();

  JsonAnswer answer;
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (tooLarge) {
    answer.error = QStringLiteral("the weather service's answer is too large");
  } else if (timedOut || reply->error() == QNetworkReply::OperationCanceledError ||
             reply->error() == QNetworkReply::TimeoutError) {
    answer.error = QStringLiteral("the weather service did not answer in time");
  } else if (status != 0 && status != 200) {
    answer.error = QStringLiteral("the weather service answered with HTTP status %1").arg(status);
  } else if (reply->error() != QNetworkReply::NoError) {
    answer.error = QStringLiteral("the weather service cannot be reached: ") + reply->errorString();
  } else {
    answer.body = reply->readAll();
    if (answer.body.size() > MaxAnswer) {
      answer.body.clear();
      answer.error = QStringLiteral("the weather service's answer is too large");
    }
  }
  delete reply;
  busy_ = false;
  return answer;
}

PlaceSearch OpenMeteoClient::FindPlaces(const QString& base, const QString& text, const QString& countryCode) {
  if (const std::optional<WeatherPlace> place = ParseLatLon(text)) return {{*place}, {}};
  PlaceSearch search;
  if (text.trimmed().size() < 2) {
    search.error = QStringLiteral("enter at least two letters of a place, a postal code or \"lat,lon\"");
    return search;
  }
  const JsonAnswer answer = Get(OpenMeteoGeocodeUrl(base, text, 5, countryCode));
  if (!answer.error.isEmpty()) {
    search.error = answer.error;
    return search;
  }
  return ReadOpenMeteoPlaces(answer.body);
}

bool CachedForecast::IsFor(double lat, double lon) const {
  return std::abs(latitude - lat) < 1e-4 && std::abs(longitude - lon) < 1e-4;
}

QByteArray CachedForecastBytes(const CachedForecast& cached) {
  QJsonObject object{{QStringLiteral("fetched"), cached.fetched.toUTC().toString(Qt::ISODate)},
                     {QStringLiteral("latitude"), cached.latitude},
                     {QStringLiteral("longitude"), cached.longitude},
                     {QStringLiteral("search"), cached.search},
                     {QStringLiteral("answer"), QString::fromUtf8(cached.answer)}};
  return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

std::optional<CachedForecast> ReadCachedForecast(const QByteArray& bytes) {
  const QJsonObject object = QJsonDocument::fromJson(bytes).object();
  CachedForecast cached;
  cached.fetched = QDateTime::fromString(object.value(QStringLiteral("fetched")).toString(), Qt::ISODate);
  const QJsonValue lat = object.value(QStringLiteral("latitude"));
  const QJsonValue lon = object.value(QStringLiteral("longitude"));
  const QJsonValue answer = object.value(QStringLiteral("answer"));
  if (!cached.fetched.isValid() || !lat.isDouble() || !lon.isDouble() || !answer.isString()) return std::nullopt;
  cached.latitude = lat.toDouble();
  cached.longitude = lon.toDouble();
  cached.answer = answer.toString().toUtf8();
  cached.search = object.value(QStringLiteral("search")).toString();
  return cached;
}
