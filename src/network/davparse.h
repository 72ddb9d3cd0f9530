#pragma once

// WebDAV multistatus answers (RFC 4918) as a CalDAV client reads them: the resources an answer
// names, each with the properties the server gave with a success status. Answers are untrusted
// bytes: sizes and counts are capped, every href is resolved against the request's URL and
// must stay on its server (and, where the request asks, inside its collection), and an answer
// that breaks any of this is refused whole, so that nothing half-read is ever used. Only a
// calendar home may be on another server: it is given as a full URL, for the client to decide.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace dav {

inline const char* const DavNs = "DAV:";
inline const char* const CalDavNs = "urn:ietf:params:xml:ns:caldav";
inline const char* const CalendarServerNs = "http://calendarserver.org/ns/";

constexpr qsizetype MaxAnswer = 64 * 1024 * 1024;
constexpr qsizetype MaxEntries = 200000;
constexpr qsizetype MaxObject = 4 * 1024 * 1024;  // one iCalendar object
constexpr qsizetype MaxText = 8192;               // an href, an ETag, a name, a token

// One resource of a multistatus answer.
struct Entry {
  QString path;    // decoded path on the server, resolved against the request
  int status = 0;  // the response's own status (a removed member of a sync report: 404); 0 when none
  QString etag;    // as the server wrote it, quotes included
  QByteArray calendarData;
  bool hasCalendarData = false;
  QString displayName;
  bool collection = false;
  bool calendar = false;
  QStringList components;  // supported-calendar-component-set ("VEVENT", "VTODO")
  QString ctag;
  QString syncToken;
  QString principal;          // current-user-principal (a path)
  QList<QUrl> calendarHomes;  // calendar-home-set, resolved (possibly on another server)
};

struct MultiStatus {
  QList<Entry> entries;
  QString syncToken;  // the new token of a sync-collection report
  QString error;      // why the answer cannot be used; empty when it was read whole
};

// Reads a multistatus body answered to a request for requestUrl. With within set (a path
// ending in "/"), every response must name that path or a resource below it.
MultiStatus ReadMultiStatus(const QByteArray& body, const QUrl& requestUrl, const QString& within = QString());

// The status code of an HTTP status line ("HTTP/1.1 404 Not Found" → 404); 0 for none.
int StatusCode(QStringView line);

// An href resolved against base: an http(s) URL without user information whose decoded path
// has no control characters; nothing otherwise.
std::optional<QUrl> ResolveUrl(const QUrl& base, const QString& href);
// The same, as its decoded path, only when it stays on base's server.
std::optional<QString> ResolvePath(const QUrl& base, const QString& href);
// The URLs share scheme, host and port.
bool SameServer(const QUrl& a, const QUrl& b);

}  // namespace dav
