#pragma once

#include "network/calendarserver.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QUrl>
#include <memory>

namespace dav {
struct MultiStatus;
}

// The CalDAV client (RFC 4791, RFC 6578, RFC 6764) on Qt Network: every request is sent at
// once and answered through its callback when the reply has arrived, so that the caller's
// event loop keeps running. Answers are capped in size and their XML is read whole before
// anything of it is used. Certificates are verified; plain http:// is used only for a
// loopback server or where the caller allows it.
class CalDavClient : public QObject, public CalendarServer {
  Q_OBJECT

 public:
  static constexpr int TimeoutMs = 60000;

  // The server's address as the user gave it (its own address, or its calendar home).
  CalDavClient(const QUrl& server, const QString& user, const QString& password, bool allowPlainHttp = false,
               QObject* parent = nullptr);
  ~CalDavClient() override;

  // Why requests to the address cannot be made (not http(s), plain http to a server that is
  // not on this computer); empty when they can.
  static QString AddressProblem(const QUrl& server, bool allowPlainHttp);

  void Discover(ServerCallback done) override;
  void MakeCalendar(const QString& home, const QString& name, ServerCallback done) override;
  void Changes(const QString& collection, const QString& syncToken, ServerCallback done) override;
  void List(const QString& collection, ServerCallback done) override;
  void Fetch(const QString& collection, const QStringList& paths, ServerCallback done) override;
  void Put(const QString& path, const QByteArray& data, const QString& etag, ServerCallback done) override;
  void Remove(const QString& path, const QString& etag, ServerCallback done) override;

  // Requests sent so far (a sync's cost, for the command line and benchmarks).
  int requestCount() const { return requests_; }

 private:
  struct Reply {
    int status = 0;
    QByteArray body;
    QString etag;
    QString location;
    QString error;  // the transfer failed (no status), or the answer was too large
  };
  using ReplyCallback = std::function<void(const Reply&)>;

  QUrl UrlOf(const QString& path) const;
  void Send(const QByteArray& verb, const QString& path, const QList<std::pair<QByteArray, QByteArray>>& headers,
            const QByteArray& body, ReplyCallback done);
  // A PROPFIND; follows up to a few redirects on the same server (the well-known address).
  void PropFind(const QString& path, int depth, const QByteArray& body, ReplyCallback done, int redirects = 0);
  void FindPrincipal(const QStringList& candidates, ServerCallback done);
  void FindHome(const QString& principal, ServerCallback done);
  void ListCollections(const QString& home, ServerCallback done);
  // The answer for a failed request.
  static ServerAnswer Failure(const Reply& reply, const QString& what);
  // The answer for a multistatus read: its status, and an error when it cannot be read.
  static ServerAnswer Read(const Reply& reply, const dav::MultiStatus& found);

  QUrl server_;
  QByteArray authorization_;
  QString addressProblem_;
  std::unique_ptr<QNetworkAccessManager> manager_;
  int requests_ = 0;
};
