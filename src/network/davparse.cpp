#include "network/davparse.h"

#include <QXmlStreamReader>
#include <optional>

namespace dav {

namespace {

class Reader {
 public:
  Reader(const QByteArray& body, const QUrl& requestUrl, const QString& within)
      : xml_(body), base_(requestUrl), within_(within) {}

  MultiStatus Read() {
    // The root element, with no document type before it: an answer has no use for one, and
    // its entities are where hostile XML hides its expansions.
    while (!xml_.atEnd() && !xml_.isStartElement()) {
      xml_.readNext();
      if (xml_.tokenType() == QXmlStreamReader::DTD) return Fail(QStringLiteral("the answer declares a document type"));
    }
    if (!Is(DavNs, "multistatus")) return Fail(QStringLiteral("the answer is not a WebDAV multistatus"));
    while (ok() && xml_.readNextStartElement()) {
      if (Is(DavNs, "response")) {
        ReadResponse();
      } else if (Is(DavNs, "sync-token")) {
        result_.syncToken = Text();
      } else {
        xml_.skipCurrentElement();
      }
    }
    if (ok() && xml_.hasError()) Fail(QStringLiteral("the answer is not well-formed XML: ") + xml_.errorString());
    if (!ok()) result_.entries.clear();
    return std::move(result_);
  }

 private:
  bool ok() const { return result_.error.isEmpty(); }
  MultiStatus Fail(const QString& error) {
    if (result_.error.isEmpty()) result_.error = error;
    xml_.raiseError(error);
    return MultiStatus{{}, {}, result_.error};
  }
  bool Is(const char* ns, const char* name) const {
    return xml_.isStartElement() && xml_.namespaceUri() == QLatin1String(ns) && xml_.name() == QLatin1String(name);
  }

  // The text of the current element (its children's text included), capped.
  QString Text(qsizetype cap = MaxText) {
    const QString text = xml_.readElementText(QXmlStreamReader::IncludeChildElements);
    if (text.size() > cap) {
      Fail(QStringLiteral("the answer holds a value that is too long"));
      return QString();
    }
    return text.trimmed();
  }

  // An href inside the current element: its path, checked.
  QString Href(bool inside) {
    const QString href = Text();
    const std::optional<QString> path = ResolvePath(base_, href);
    if (!path) {
      Fail(QStringLiteral("the answer names a resource on another server: ") + href.left(200));
      return QString();
    }
    if (inside && !within_.isEmpty() && !path->startsWith(within_) && *path + QLatin1Char('/') != within_) {
      Fail(QStringLiteral("the answer names a resource outside the calendar: ") + path->left(200));
      return QString();
    }
    return *path;
  }

  QStringList Hrefs() {
    QStringList paths;
    while (ok() && xml_.readNextStartElement()) {
      if (Is(DavNs, "href"))
        paths << Href(false);
      else
        xml_.skipCurrentElement();
    }
    return paths;
  }

  void ReadResponse() {
    if (result_.entries.size() >= MaxEntries) {
      Fail(QStringLiteral("the answer names too many resources"));
      return;
    }
    Entry entry;
    bool named = false;
    while (ok() && xml_.readNextStartElement()) {
      if (Is(DavNs, "href") && !named) {
        entry.path = Href(true);
        named = true;
      } else if (Is(DavNs, "status")) {
        entry.status = StatusCode(Text());
      } else if (Is(DavNs, "propstat")) {
        ReadPropStat(entry);
      } else {
        xml_.skipCurrentElement();
      }
    }
    if (!ok()) return;
    if (!named) {
      Fail(QStringLiteral("the answer has a response without an href"));
      return;
    }
    result_.entries << std::move(entry);
  }

  // Properties count only under a success status.
  void ReadPropStat(Entry& entry) {
    Entry found;
    int status = 0;
    while (ok() && xml_.readNextStartElement()) {
      if (Is(DavNs, "prop"))
        ReadProps(found);
      else if (Is(DavNs, "status"))
        status = StatusCode(Text());
      else
        xml_.skipCurrentElement();
    }
    if (status < 200 || status > 299) return;
    if (!found.etag.isEmpty()) entry.etag = found.etag;
    if (found.hasCalendarData) {
      entry.calendarData = found.calendarData;
      entry.hasCalendarData = true;
    }
    if (!found.displayName.isEmpty()) entry.displayName = found.displayName;
    entry.collection |= found.collection;
    entry.calendar |= found.calendar;
    entry.components << found.components;
    if (!found.ctag.isEmpty()) entry.ctag = found.ctag;
    if (!found.syncToken.isEmpty()) entry.syncToken = found.syncToken;
    if (!found.principal.isEmpty()) entry.principal = found.principal;
    entry.calendarHomes << found.calendarHomes;
  }

  void ReadProps(Entry& found) {
    while (ok() && xml_.readNextStartElement()) {
      if (Is(DavNs, "getetag")) {
        found.etag = Text();
      } else if (Is(CalDavNs, "calendar-data")) {
        found.calendarData = Text(MaxObject).toUtf8();
        found.hasCalendarData = true;
      } else if (Is(DavNs, "displayname")) {
        found.displayName = Text();
      } else if (Is(DavNs, "resourcetype")) {
        while (ok() && xml_.readNextStartElement()) {
          if (Is(DavNs, "collection")) found.collection = true;
          if (Is(CalDavNs, "calendar")) found.calendar = true;
          xml_.skipCurrentElement();
        }
      } else if (Is(CalDavNs, "supported-calendar-component-set")) {
        while (ok() && xml_.readNextStartElement()) {
          if (Is(CalDavNs, "comp") && found.components.size() < 16) {
            const QString name = xml_.attributes().value(QLatin1String("name")).toString().toUpper();
            if (!name.isEmpty() && name.size() <= 32) found.components << name;
          }
          xml_.skipCurrentElement();
        }
      } else if (Is(CalendarServerNs, "getctag")) {
        found.ctag = Text();
      } else if (Is(DavNs, "sync-token")) {
        found.syncToken = Text();
      } else if (Is(DavNs, "current-user-principal")) {
        const QStringList hrefs = Hrefs();
        if (!hrefs.isEmpty()) found.principal = hrefs.first();
      } else if (Is(CalDavNs, "calendar-home-set")) {
        // The one href that may name another server: the client asks the user first.
        while (ok() && xml_.readNextStartElement()) {
          if (!Is(DavNs, "href")) {
            xml_.skipCurrentElement();
            continue;
          }
          const QString href = Text();
          if (const std::optional<QUrl> home = ResolveUrl(base_, href))
            found.calendarHomes << *home;
          else
            Fail(QStringLiteral("the answer names a calendar home that cannot be used: ") + href.left(200));
        }
      } else {
        xml_.skipCurrentElement();
      }
    }
  }

  QXmlStreamReader xml_;
  QUrl base_;
  QString within_;
  MultiStatus result_;
};

}  // namespace

int StatusCode(QStringView line) {
  // "HTTP/1.1 200 OK": the three digits after the first space.
  const qsizetype space = line.indexOf(QLatin1Char(' '));
  if (space < 0 || line.size() < space + 4) return 0;
  bool ok = false;
  const int code = line.mid(space + 1, 3).toInt(&ok);
  return ok && code >= 100 && code <= 599 ? code : 0;
}

std::optional<QUrl> ResolveUrl(const QUrl& base, const QString& href) {
  if (href.isEmpty()) return std::nullopt;
  const QUrl relative(href, QUrl::StrictMode);
  if (!relative.isValid()) return std::nullopt;
  const QUrl url = base.resolved(relative);
  if ((url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")) || url.host().isEmpty() ||
      !url.userInfo().isEmpty())
    return std::nullopt;
  const QString path = url.path(QUrl::FullyDecoded);
  if (!path.startsWith(QLatin1Char('/'))) return std::nullopt;
  for (QChar c : path)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) return std::nullopt;
  return url;
}

bool SameServer(const QUrl& a, const QUrl& b) {
  const auto port = [](const QUrl& u) { return u.port(u.scheme() == QLatin1String("https") ? 443 : 80); };
  return a.scheme() == b.scheme() && a.host() == b.host() && port(a) == port(b);
}

std::optional<QString> ResolvePath(const QUrl& base, const QString& href) {
  const std::optional<QUrl> url = ResolveUrl(base, href);
  if (!url || !SameServer(*url, base)) return std::nullopt;
  return url->path(QUrl::FullyDecoded);
}

MultiStatus ReadMultiStatus(const QByteArray& body, const QUrl& requestUrl, const QString& within) {
  if (body.size() > MaxAnswer) return MultiStatus{{}, {}, QStringLiteral("the answer is too large")};
  return Reader(body, requestUrl, within).Read();
}

}  // namespace dav
