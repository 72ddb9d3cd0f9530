#include "network/caldavclient.h"

#include "network/davparse.h"
#include "version.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <optional>

namespace {

const QByteArray XmlType = QByteArrayLiteral("application/xml; charset=utf-8");

QByteArray Escaped(const QString& text) { return text.toHtmlEscaped().toUtf8(); }

// A path as it goes into a request or an href: percent-encoded.
QByteArray EncodedPath(const QString& path) {
  QUrl url;
  url.setPath(path);
  return url.path(QUrl::FullyEncoded).toUtf8();
}

QString WithSlash(const QString& path) { return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/'); }

bool IsLoopback(const QString& host) {
  if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
  const QHostAddress address(host);
  return !address.isNull() && address.isLoopback();
}

int DefaultPort(const QUrl& url) { return url.scheme() == QLatin1String("https") ? 443 : 80; }

// The path at the server of origin (its scheme, host and port).
QUrl At(const QUrl& origin, const QString& path) {
  QUrl url = origin;
  url.setUserInfo(QString());
  url.setPath(path);
  url.setQuery(QString());
  url.setFragment(QString());
  return url;
}

QString FingerprintOf(const QSslCertificate& certificate) {
  return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

}  // namespace

CalDavClient::CalDavClient(const QUrl& server, const QString& user, const QString& password, const Trust& trust,
                           QObject* parent)
    : QObject(parent),
      server_(server),
      calendars_(server),
      certificate_(Fingerprint(trust.certificate)),
      authorization_("Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64()),
      addressProblem_(AddressProblem(server, trust.allowPlainHttp)),
      manager_(std::make_unique<QNetworkAccessManager>()) {
  if (const QString given = trust.calendarHost.trimmed(); !given.isEmpty()) {
    QUrl host(given.contains(QLatin1String("://")) ? given : QStringLiteral("https://") + given, QUrl::StrictMode);
    host.setPath(QStringLiteral("/"));
    calendarHost_ = HostOf(host);
    const bool secure =
        host.scheme() == QLatin1String("https") || (host.scheme() == QLatin1String("http") && IsLoopback(host.host()));
    if (!host.isValid() || host.host().isEmpty() || !host.userInfo().isEmpty() || !secure)
      addressProblem_ = QStringLiteral("\"%1\" is not a host the calendars can be kept on").arg(given);
    else
      calendars_ = host;
  }
}

CalDavClient::~CalDavClient() = default;

QString CalDavClient::Fingerprint(const QString& text) {
  QByteArray hex;
  for (QChar c : text) {
    if (c == QLatin1Char(':') || c.isSpace()) continue;
    const char digit = c.toLatin1();
    if (!((digit >= '0' && digit <= '9') || (digit >= 'a' && digit <= 'f') || (digit >= 'A' && digit <= 'F')))
      return QString();
    hex += digit;
  }
  if (hex.size() != 64) return QString();
  return QString::fromLatin1(QByteArray::fromHex(hex).toHex(':').toUpper());
}

QString CalDavClient::HostOf(const QUrl& url) {
  QUrl host;
  host.setHost(url.host());
  if (url.port() != -1 && url.port() != DefaultPort(url)) host.setPort(url.port());
  // https goes without saying; plain http (a loopback host) is written out.
  return url.scheme() == QLatin1String("https") ? host.authority() : QStringLiteral("http://") + host.authority();
}

QString CalDavClient::AddressProblem(const QUrl& server, bool allowPlainHttp) {
  if (!server.isValid() || server.host().isEmpty())
    return QStringLiteral("\"%1\" is not a server address").arg(server.toString());
  const QString scheme = server.scheme();
  if (scheme == QLatin1String("https")) return QString();
  if (scheme != QLatin1String("http"))
    return QStringLiteral("\"%1\" is not an http:// or https:// address").arg(server.toString());
  if (IsLoopback(server.host()) || allowPlainHttp) return QString();
  return QStringLiteral("plain http:// would send the password unprotected: use https://, or allow plain http");
}

QUrl CalDavClient::UrlOf(const QString& path) const { return At(calendars_, path); }
QUrl CalDavClient::ServerUrlOf(const QString& path) const { return At(server_, path); }

void CalDavClient::Send(const QByteArray& verb, const QUrl& url,
                        const QList<std::pair<QByteArray, QByteArray>>& headers, const QByteArray& body,
                        ReplyCallback done) {
  ++requests_;
  if (!addressProblem_.isEmpty()) {
    // A request that must not be sent is answered without reaching the network.
    QMetaObject::invokeMethod(
        this,
        [problem = addressProblem_, done = std::move(done)] {
          Reply answer;
          answer.error = problem;
          done(answer);
        },
        Qt::QueuedConnection);
    return;
  }
  QNetworkRequest request(url);
  request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Orvane/" ORVANE_VERSION));
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
  request.setTransferTimeout(TimeoutMs);
  // The password goes with every request; never over plain http to another computer unless
  // the user allowed it (AddressProblem).
  request.setRawHeader("Authorization", authorization_);
  for (const auto& [name, value] : headers) request.setRawHeader(name, value);
  QNetworkReply* reply = manager_->sendCustomRequest(request, verb, body);
  auto tooLarge = std::make_shared<bool>(false);
  // A certificate that cannot be verified is accepted only when it is the one trusted.
  auto refused = std::make_shared<std::pair<QString, QString>>();  // its fingerprint, and why
  connect(reply, &QNetworkReply::sslErrors, reply, [this, reply, refused](const QList<QSslError>& errors) {
    QSslCertificate leaf = reply->sslConfiguration().peerCertificate();
    if (leaf.isNull() && !errors.isEmpty()) leaf = errors.first().certificate();
    if (leaf.isNull()) return;
    const QString fingerprint = FingerprintOf(leaf);
    if (!certificate_.isEmpty() && fingerprint == certificate_) {
      reply->ignoreSslErrors(errors);
      return;
    }
    *refused = {fingerprint, errors.isEmpty() ? QString() : errors.first().errorString()};
  });
  connect(reply, &QNetworkReply::downloadProgress, reply, [reply, tooLarge](qint64 received, qint64 total) {
    if (received > dav::MaxAnswer || total > dav::MaxAnswer) {
      *tooLarge = true;
      reply->abort();
    }
  });
  connect(reply, &QNetworkReply::finished, this, [this, reply, tooLarge, refused, done = std::move(done)] {
    reply->deleteLater();
    Reply answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (*tooLarge) {
      answer.error = QStringLiteral("the server's answer is too large");
    } else if (answer.status == 0 && !refused->first.isEmpty()) {
      const auto& [fingerprint, why] = *refused;
      answer.certificate = fingerprint;
      answer.error = certificate_.isEmpty()
                         ? QStringLiteral(
                               "the server's certificate cannot be verified (%1); its SHA-256 fingerprint "
                               "is %2")
                               .arg(why, fingerprint)
                         : QStringLiteral(
                               "the server's certificate is not the one trusted; its SHA-256 fingerprint "
                               "is %1, not %2")
                               .arg(fingerprint, certificate_);
    } else if (answer.status == 0) {
      answer.error = QStringLiteral("the server cannot be reached: ") + reply->errorString();
    } else {
      answer.body = reply->readAll();
      answer.etag = QString::fromUtf8(reply->rawHeader("ETag")).left(dav::MaxText);
      answer.location = QString::fromUtf8(reply->rawHeader("Location")).left(dav::MaxText);
    }
    done(answer);
  });
}

ServerAnswer CalDavClient::Read(const Reply& reply, const dav::MultiStatus& found) {
  ServerAnswer answer;
  answer.status = reply.status;
  if (!found.error.isEmpty()) answer.error = QStringLiteral("the server's answer cannot be read: ") + found.error;
  return answer;
}

ServerAnswer CalDavClient::Failure(const Reply& reply, const QString& what) {
  ServerAnswer answer;
  answer.status = reply.status;
  answer.certificate = reply.certificate;
  if (!reply.error.isEmpty())
    answer.error = reply.error;
  else if (reply.status == 401)
    answer.error = QStringLiteral("the server refused the user name or password");
  else if (reply.status == 403)
    answer.error = QStringLiteral("the server does not allow ") + what;
  else
    answer.error = QStringLiteral("the server answered %1 with HTTP status %2").arg(what).arg(reply.status);
  return answer;
}

void CalDavClient::PropFind(const QUrl& url, int depth, const QByteArray& body, ReplyCallback done, int redirects) {
  Send("PROPFIND", url, {{"Depth", QByteArray::number(depth)}, {"Content-Type", XmlType}}, body,
       [this, url, depth, body, redirects, done = std::move(done)](const Reply& reply) {
         const bool redirect = reply.status == 301 || reply.status == 302 || reply.status == 307 || reply.status == 308;
         if (redirect && redirects < 5) {
           // Only to another path of the same server: the password goes nowhere else.
           if (const auto next = dav::ResolvePath(url, reply.location)) {
             PropFind(At(url, *next), depth, body, done, redirects + 1);
             return;
           }
         }
         done(reply);
       });
}

void CalDavClient::Discover(ServerCallback done) {
  // The address the user gave, then the well-known address (RFC 6764) and the server's root.
  QStringList candidates;
  const QString given = server_.path(QUrl::FullyDecoded);
  if (!given.isEmpty() && given != QLatin1String("/")) candidates << given;
  candidates << QStringLiteral("/.well-known/caldav") << QStringLiteral("/");
  FindPrincipal(candidates, std::move(done));
}

void CalDavClient::FindPrincipal(const QStringList& candidates, ServerCallback done) {
  if (candidates.isEmpty()) {
    ServerAnswer answer;
    answer.error = QStringLiteral("no calendar service was found at ") + server_.toString(QUrl::RemoveUserInfo);
    done(answer);
    return;
  }
  const QString& path = candidates.first();
  const QByteArray body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\" "
      "xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:prop><d:current-user-principal/><c:calendar-home-set/>"
      "</d:prop></d:propfind>";
  PropFind(ServerUrlOf(path), 0, body, [this, candidates, path, done = std::move(done)](const Reply& reply) {
    if (reply.status == 401 || !reply.error.isEmpty()) {
      done(Failure(reply, QStringLiteral("the search for the calendars")));
      return;
    }
    if (reply.status == 207) {
      const dav::MultiStatus found = dav::ReadMultiStatus(reply.body, ServerUrlOf(path));
      if (!found.error.isEmpty()) {
        ServerAnswer answer;
        answer.status = reply.status;
        answer.error = QStringLiteral("the server's answer cannot be read: ") + found.error;
        done(answer);
        return;
      }
      for (const dav::Entry& entry : found.entries) {
        if (!entry.calendarHomes.isEmpty()) {
          HomeFound(entry.calendarHomes.first(), done);
          return;
        }
      }
      for (const dav::Entry& entry : found.entries) {
        if (!entry.principal.isEmpty()) {
          FindHome(entry.principal, done);
          return;
        }
      }
    }
    FindPrincipal(candidates.mid(1), done);
  });
}

void CalDavClient::FindHome(const QString& principal, ServerCallback done) {
  const QByteArray body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\" "
      "xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:prop><c:calendar-home-set/></d:prop></d:propfind>";
  PropFind(ServerUrlOf(principal), 0, body, [this, principal, done = std::move(done)](const Reply& reply) {
    if (reply.status != 207) {
      done(Failure(reply, QStringLiteral("the search for the calendar home")));
      return;
    }
    const dav::MultiStatus found = dav::ReadMultiStatus(reply.body, ServerUrlOf(principal));
    for (const dav::Entry& entry : found.entries) {
      if (!entry.calendarHomes.isEmpty()) {
        HomeFound(entry.calendarHomes.first(), done);
        return;
      }
    }
    ServerAnswer answer;
    answer.status = reply.status;
    answer.error = found.error.isEmpty() ? QStringLiteral("the server names no calendar home for this user")
                                         : QStringLiteral("the server's answer cannot be read: ") + found.error;
    done(answer);
  });
}

void CalDavClient::HomeFound(const QUrl& home, ServerCallback done) {
  const QString path = WithSlash(home.path(QUrl::FullyDecoded));
  if (dav::SameServer(home, server_)) {
    calendars_ = server_;
    ListCollections(path, std::move(done));
    return;
  }
  // Kept on another host (as large hosts do): the password goes there only over https and
  // when the user agreed to that very host.
  const QString host = HostOf(home);
  ServerAnswer answer;
  if (home.scheme() != QLatin1String("https") && !IsLoopback(home.host())) {
    answer.error =
        QStringLiteral("the server keeps your calendars at %1 without https; the password does not go there").arg(host);
  } else if (host != calendarHost_) {
    answer.otherHost = host;
    answer.error =
        QStringLiteral(
            "the server keeps your calendars at %1, another host; the password goes there only when you agree")
            .arg(host);
  } else {
    calendars_ = At(home, QStringLiteral("/"));
    ListCollections(path, std::move(done));
    return;
  }
  done(answer);
}

void CalDavClient::ListCollections(const QString& home, ServerCallback done) {
  const QByteArray body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\" "
      "xmlns:c=\"urn:ietf:params:xml:ns:caldav\" xmlns:cs=\"http://calendarserver.org/ns/\"><d:prop>"
      "<d:resourcetype/><d:displayname/><c:supported-calendar-component-set/><cs:getctag/><d:sync-token/>"
      "</d:prop></d:propfind>";
  PropFind(UrlOf(home), 1, body, [this, home, done = std::move(done)](const Reply& reply) {
    if (reply.status != 207) {
      done(Failure(reply, QStringLiteral("the list of calendars")));
      return;
    }
    const dav::MultiStatus found = dav::ReadMultiStatus(reply.body, UrlOf(home), home);
    ServerAnswer answer = Read(reply, found);
    answer.home = home;
    if (!dav::SameServer(calendars_, server_)) answer.otherHost = HostOf(calendars_);
    for (const dav::Entry& entry : found.entries) {
      if (!entry.calendar) continue;
      answer.collections << ServerCollection{WithSlash(entry.path), entry.displayName, entry.components, entry.ctag,
                                             entry.syncToken};
    }
    done(answer);
  });
}

void CalDavClient::MakeCalendar(const QString& home, const QString& name, ServerCallback done) {
  // The new collection's path: the name in lower-case letters and digits.
  QString slug;
  for (QChar c : name.toLower())
    if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))) slug += c;
  if (slug.isEmpty()) slug = QStringLiteral("calendar");
  const QString path = WithSlash(home) + slug + QLatin1Char('/');
  const QByteArray body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><c:mkcalendar xmlns:d=\"DAV:\" "
      "xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:set><d:prop><d:displayname>" +
      Escaped(name) +
      "</d:displayname><c:supported-calendar-component-set><c:comp name=\"VEVENT\"/><c:comp name=\"VTODO\"/>"
      "</c:supported-calendar-component-set></d:prop></d:set></c:mkcalendar>";
  Send(
      "MKCALENDAR", UrlOf(path), {{"Content-Type", XmlType}}, body,
      [path, name, done = std::move(done)](const Reply& reply) {
        if (reply.status != 201 && reply.status != 200) {
          done(Failure(reply, QStringLiteral("a new calendar")));
          return;
        }
        ServerAnswer answer;
        answer.status = reply.status;
        answer.collections << ServerCollection{path, name, {QStringLiteral("VEVENT"), QStringLiteral("VTODO")}, {}, {}};
        done(answer);
      });
}

void CalDavClient::Changes(const QString& collection, const QString& syncToken, ServerCallback done) {
  const QByteArray body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:sync-collection xmlns:d=\"DAV:\"><d:sync-token>" +
      Escaped(syncToken) +
      "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/></d:prop>"
      "</d:sync-collection>";
  Send("REPORT", UrlOf(collection), {{"Content-Type", XmlType}}, body,
       [this, collection, syncToken, done = std::move(done)](const Reply& reply) {
         if (reply.status != 207) {
           ServerAnswer answer = Failure(reply, QStringLiteral("the list of changes"));
           answer.tokenRefused = !syncToken.isEmpty() && reply.body.contains("valid-sync-token");
           answer.unsupported = !answer.tokenRefused && reply.error.isEmpty() &&
                                (reply.status == 400 || reply.status == 403 || reply.status == 405 ||
                                 reply.status == 415 || reply.status == 501);
           done(answer);
           return;
         }
         const dav::MultiStatus found = dav::ReadMultiStatus(reply.body, UrlOf(collection), collection);
         ServerAnswer answer = Read(reply, found);
         if (answer.ok() && found.syncToken.isEmpty()) {
           answer.error = QStringLiteral("the server's list of changes has no sync token");
         } else if (answer.ok()) {
           answer.syncToken = found.syncToken;
           for (const dav::Entry& entry : found.entries) {
             if (WithSlash(entry.path) == collection) continue;
             if (entry.status == 404)
               answer.removed << entry.path;
             else if (!entry.collection)
               answer.items << ServerItem{entry.path, entry.etag, {}};
           }
         }
         done(answer);
       });
}

void CalDavClient::List(const QString& collection, ServerCallback done) {
  const QByteArray body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\" "
      "xmlns:cs=\"http://calendarserver.org/ns/\"><d:prop><d:resourcetype/><d:getetag/><cs:getctag/><d:sync-token/>"
      "</d:prop></d:propfind>";
  PropFind(UrlOf(collection), 1, body, [this, collection, done = std::move(done)](const Reply& reply) {
    if (reply.status != 207) {
      done(Failure(reply, QStringLiteral("the list of the calendar's entries")));
      return;
    }
    const dav::MultiStatus found = dav::ReadMultiStatus(reply.body, UrlOf(collection), collection);
    ServerAnswer answer = Read(reply, found);
    for (const dav::Entry& entry : found.entries) {
      if (WithSlash(entry.path) == collection)
        answer.syncToken = entry.syncToken;
      else if (!entry.collection)
        answer.items << ServerItem{entry.path, entry.etag, {}};
    }
    done(answer);
  });
}

void CalDavClient::Fetch(const QString& collection, const QStringList& paths, ServerCallback done) {
  QByteArray body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><c:calendar-multiget xmlns:d=\"DAV:\" "
      "xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:prop><d:getetag/><c:calendar-data/></d:prop>";
  for (const QString& path : paths) body += "<d:href>" + Escaped(QString::fromUtf8(EncodedPath(path))) + "</d:href>";
  body += "</c:calendar-multiget>";
  Send("REPORT", UrlOf(collection), {{"Depth", "1"}, {"Content-Type", XmlType}}, body,
       [this, collection, done = std::move(done)](const Reply& reply) {
         if (reply.status != 207) {
           done(Failure(reply, QStringLiteral("the calendar's entries")));
           return;
         }
         const dav::MultiStatus found = dav::ReadMultiStatus(reply.body, UrlOf(collection), collection);
         ServerAnswer answer = Read(reply, found);
         for (const dav::Entry& entry : found.entries) {
           if (entry.status == 404 || !entry.hasCalendarData) continue;
           answer.items << ServerItem{entry.path, entry.etag, entry.calendarData};
         }
         done(answer);
       });
}

void CalDavClient::Put(const QString& path, const QByteArray& data, const QString& etag, ServerCallback done) {
  QList<std::pair<QByteArray, QByteArray>> headers{{"Content-Type", "text/calendar; charset=utf-8"}};
  if (etag.isEmpty())
    headers.append(std::pair<QByteArray, QByteArray>("If-None-Match", "*"));
  else
    headers.append(std::pair<QByteArray, QByteArray>("If-Match", etag.toUtf8()));
  Send("PUT", UrlOf(path), headers, data, [done = std::move(done)](const Reply& reply) {
    if (reply.status != 200 && reply.status != 201 && reply.status != 204) {
      done(Failure(reply, QStringLiteral("the change")));
      return;
    }
    ServerAnswer answer;
    answer.status = reply.status;
    answer.etag = reply.etag;
    done(answer);
  });
}

void CalDavClient::Remove(const QString& path, const QString& etag, ServerCallback done) {
  QList<std::pair<QByteArray, QByteArray>> headers;
  if (!etag.isEmpty()) headers.append(std::pair<QByteArray, QByteArray>("If-Match", etag.toUtf8()));
  Send("DELETE", UrlOf(path), headers, {}, [done = std::move(done)](const Reply& reply) {
    // Gone already is what was asked for.
    if (reply.status != 200 && reply.status != 204 && reply.status != 404) {
      done(Failure(reply, QStringLiteral("the deletion")));
      return;
    }
    ServerAnswer answer;
    answer.status = reply.status;
    done(answer);
  });
}

ServerAnswer WaitForAnswer(const std::function<void(ServerCallback)>& ask) {
  std::optional<ServerAnswer> answer;
  QEventLoop loop;
  ask([&](const ServerAnswer& a) {
    answer = a;
    loop.quit();
  });
  if (!answer) loop.exec();
  return *answer;
}
