#include "network/httpparse.h"

#include <limits>

namespace {

bool HasUnsafeCharacter(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() <= 0x20 || c.unicode() == 0x7f) return true;
  }
  return false;
}

// The value of the header line named name (without the colon), or nothing. Only the lines
// of the head count; the first line (the status line) is no header.
std::optional<QByteArray> HeaderValue(const QByteArray& head, const QByteArray& name) {
  qsizetype lineStart = head.indexOf("\r\n");
  while (lineStart >= 0 && lineStart < head.size()) {
    lineStart += 2;
    qsizetype lineEnd = head.indexOf("\r\n", lineStart);
    if (lineEnd < 0) lineEnd = head.size();
    const QByteArray line = head.mid(lineStart, lineEnd - lineStart);
    const qsizetype colon = line.indexOf(':');
    if (colon == name.size() && line.first(colon).compare(name, Qt::CaseInsensitive) == 0) {
      return line.mid(colon + 1).trimmed();
    }
    lineStart = lineEnd;
  }
  return std::nullopt;
}

// A length is decimal digits only and fits the client's 32-bit count.
std::optional<qint32> ParseLength(const QByteArray& text) {
  if (text.isEmpty() || text.size() > 10) return std::nullopt;
  qint64 value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > std::numeric_limits<qint32>::max()) return std::nullopt;
  return static_cast<qint32>(value);
}

}  // namespace

std::optional<HttpUrl> SplitUrl(const QString& url) {
  static const QString plain = QStringLiteral("http://");
  static const QString secure = QStringLiteral("https://");
  HttpUrl out;
  QString rest;
  if (url.startsWith(plain, Qt::CaseInsensitive)) {
    rest = url.mid(plain.size());
  } else if (url.startsWith(secure, Qt::CaseInsensitive)) {
    rest = url.mid(secure.size());
    out.tls = true;
    out.port = 443;
  } else {
    return std::nullopt;
  }
  const qsizetype slash = rest.indexOf(QLatin1Char('/'));
  QString hostPart = slash < 0 ? rest : rest.left(slash);
  out.path = slash < 0 ? QStringLiteral("/") : rest.mid(slash);
  const qsizetype colon = hostPart.indexOf(QLatin1Char(':'));
  if (colon >= 0) {
    bool ok = false;
    const uint port = hostPart.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535) return std::nullopt;
    out.port = static_cast<quint16>(port);
    hostPart = hostPart.left(colon);
  }
  out.host = hostPart;
  if (out.host.isEmpty() || HasUnsafeCharacter(out.host) || HasUnsafeCharacter(out.path)) return std::nullopt;
  return out;
}

QByteArray BuildRequest(const HttpUrl& url, const QString& userAgent) {
  QByteArray request;
  request += "GET " + url.path.toUtf8() + " HTTP/1.1\r\n";
  request += "Host: " + url.host.toUtf8() + "\r\n";
  request += "Connection: close\r\n";
  QString agent = userAgent;
  agent.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
  request += "User-Agent: " + agent.toUtf8() + "\r\n";
  request += "\r\n";
  return request;
}

AnswerHead ParseAnswerHead(const QByteArray& received) {
  AnswerHead out;
  const qsizetype end = received.indexOf("\r\n\r\n");
  if (end < 0) {
    // Three bytes of a blank line may already be here; anything beyond the limit plus those
    // cannot become a head we accept.
    if (received.size() > MaxAnswerHead + 3) out.state = AnswerHead::State::Invalid;
    return out;
  }
  if (end + 4 > MaxAnswerHead) {
    out.state = AnswerHead::State::Invalid;
    return out;
  }
  const QByteArray head = received.first(end);
  out.bodyStart = end + 4;
  out.state = AnswerHead::State::Invalid;

  // "HTTP/1.1 200 OK": the status is the three characters after the version and one blank.
  out.status = QString::fromLatin1(head.mid(9, 3));
  if (out.status != QStringLiteral("200")) return out;

  if (auto type = HeaderValue(head, "Content-Type")) out.contentType = QString::fromLatin1(*type);
  out.isFile = out.contentType.contains(QStringLiteral("application/"));
  if (auto encoding = HeaderValue(head, "Transfer-Encoding")) {
    out.chunked = encoding->trimmed().compare("chunked", Qt::CaseInsensitive) == 0;
  }
  const auto lengthText = HeaderValue(head, "Content-Length");
  if (lengthText) {
    const auto length = ParseLength(*lengthText);
    if (!length) return out;
    out.contentLength = *length;
  } else if (out.isFile) {
    // A file ends by its announced length; without one we cannot know it arrived whole.
    return out;
  }
  out.state = AnswerHead::State::Ok;
  return out;
}
