#pragma once

#include "network/calendarserver.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QUrl>
#include <memory>

namespace dav {
struct MultiStatus;
}

// What the user agreed to beyond the server's address.
struct ServerTrust {
  bool allowPlainHttp = false;
  // A certificate accepted although it cannot be verified: its SHA-256 fingerprint.
  QString certificate = {};
  // Another host the calendars may be kept on, reached over https ("host" or "host:port"), or
  // a loopback one over plain http ("http://127.0.0.1:5232"); requests about the calendars
  // go there.
  QString calendarHost = {};
};

// The CalDAV client (RFC 4791, RFC 6578, RFC 6764) on Qt Network: every request is sent at
// once and answered through its callback when the reply has arrived, so that the caller's
// event loop keeps running. Answers are capped in size and their XML is read whole before
// anything of it is used. Certificates are verified, and a certificate that cannot be is
// accepted only where it is the very one the user trusted by its fingerprint. Plain http:// is
// used only for a loopback server or where the caller allows it. The password goes to the
// server's own host, and to another host only where the user agreed to it (a calendar home
// kept elsewhere, as large hosts do) and over https.
class CalDavClient : public QObject, public CalendarServer {
  Q_OBJECT

 public:
  static constexpr int TimeoutMs = 60000;

  using Trust = ServerTrust;

  // The server's address as the user gave it (its own address, or its calendar home).
  CalDavClient(const QUrl& server, const QString& user, const QString& password, const Trust& trust = {},
               QObject* parent = nullptr);
  ~CalDavClient() override;

  // Why requests to the address cannot be made (not http(s), plain http to a server that is
  // not on this computer); empty when they can.
  static QString AddressProblem(const QUrl& server, bool allowPlainHttp);
  // A SHA-256 fingerprint as typed (64 hexadecimal digits, with or without colons, in any
  // case) as it is kept and shown: "AB:12:..."; empty when it is none.
  static QString Fingerprint(const QString& text);
  // The host of an address as the user agrees to it: "host", or "host:port" for another port
  // than the scheme's own; "http://host:port" for plain http.
  static QString HostOf(const QUrl& url);

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
    QString error;        // the transfer failed (no status), or the answer was too large
    QString certificate;  // the fingerprint of a certificate that was not accepted
  };
  using ReplyCallback = std::function<void(const Reply&)>;

  // A path on the host the calendars are on, and on the server's own (discovery).
  QUrl UrlOf(const QString& path) const;
  QUrl ServerUrlOf(const QString& path) const;
  void Send(const QByteArray& verb, const QUrl& url, const QList<std::pair<QByteArray, QByteArray>>& headers,
            const QByteArray& body, ReplyCallback done);
  // A PROPFIND; follows up to a few redirects on the same server (the well-known address).
  void PropFind(const QUrl& url, int depth, const QByteArray& body, ReplyCallback done, int redirects = 0);
  void FindPrincipal(const QStringList& candidates, ServerCallback done);
  void FindHome(const QString& principal, ServerCallback done);
  // The calendar home found: on the server, or on another host the user agreed to.
  void HomeFound(const QUrl& home, ServerCallback done);
  void ListCollections(const QString& home, ServerCallback done);
  // The answer for a failed request.
  static ServerAnswer Failure(const Reply& reply, const QString& what);
  // The answer for a multistatus read: its status, and an error when it cannot be read.
  static ServerAnswer Read(const Reply& reply, const dav::MultiStatus& found);

  QUrl server_;
  QUrl calendars_;  // scheme, host and port of the calendar home
  QString certificate_;
  QString calendarHost_;
  QByteArray authorization_;
  QString addressProblem_;
  std::unique_ptr<QNetworkAccessManager> manager_;
  int requests_ = 0;
};
