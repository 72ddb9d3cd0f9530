#pragma once

#include "network/openmeteoparser.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

// One answer of a JSON service: the body, or a message saying why there is none.
struct JsonAnswer {
  QByteArray body;
  QString error;  // empty when the body is a whole 200 answer
};

// Asks Open-Meteo through Qt Network: one request at a time, over HTTPS with the server's
// certificate checked (or plain HTTP where the settings say so), waiting in a local event
// loop so that the panel, its timers and menus stay alive. Every request ends within its
// deadline and no answer grows beyond the cap.
class OpenMeteoClient : public QObject {
  Q_OBJECT

 public:
  static constexpr int DeadlineMs = 30000;
  static constexpr qint64 MaxAnswer = 1024 * 1024;

  explicit OpenMeteoClient(QObject* parent = nullptr);
  ~OpenMeteoClient() override;

  // GET of the URL, "http://" or "https://" only.
  JsonAnswer Get(const QUrl& url);
  bool Busy() const { return busy_; }

  // The places for a text: "lat,lon" as it stands, otherwise the place search at base.
  PlaceSearch FindPlaces(const QString& base, const QString& text, const QString& countryCode = QString());

  // Tests shorten the deadline and trust their own server's certificate.
  int deadlineMs = DeadlineMs;
  void AddCaCertificates(const QList<QSslCertificate>& certificates) { extraCa_ << certificates; }

 private:
  QList<QSslCertificate> extraCa_;
  bool busy_ = false;
};

// The last good forecast answer, kept in the user data folder so that a start without the
// network still shows it with its age. It is stored as the service sent it and read again in
// whatever units the user has chosen by then.
struct CachedForecast {
  QByteArray answer;
  QDateTime fetched;  // UTC
  double latitude = 0;
  double longitude = 0;
  QString search;  // the zip code the place was found for; empty when the place was set

  bool IsFor(double lat, double lon) const;
};
// The cache file's bytes, and back; a file that is not one of ours reads as nothing.
QByteArray CachedForecastBytes(const CachedForecast& cached);
std::optional<CachedForecast> ReadCachedForecast(const QByteArray& bytes);
