#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The pure parts of the HTTP client: splitting a URL, the request bytes and reading the head
// of an answer. No sockets here, so every rule is tested (and fuzzed) directly.

// "http://" or "https://" host [":" port] path, split.
struct HttpUrl {
  QString host;
  quint16 port = 80;
  QString path;      // starts with "/"
  bool tls = false;  // "https://": the connection is encrypted and the server's certificate checked
};

// Splits an "http://" or "https://" URL (port 80 or 443 unless given). Nothing when it is not
// one this client can ask for: another scheme, no host, a port that is not a number from 1
// to 65535, or blanks and control characters that would break the request line.
std::optional<HttpUrl> SplitUrl(const QString& url);

// The request, byte for byte: the GET line, Host (without the port), "Connection: close" and
// the user agent, each ended by CR LF, then an empty line.
QByteArray BuildRequest(const HttpUrl& url, const QString& userAgent);

// The largest head an answer may have; a longer one is not an HTTP answer we want.
constexpr qsizetype MaxAnswerHead = 64 * 1024;

struct AnswerHead {
  enum class State {
    Incomplete,  // the empty line that ends the head has not arrived yet
    Invalid,     // not a usable answer: a status other than 200, a bad length, a head too large
    Ok,
  };
  State state = State::Incomplete;
  QString status;            // the three digits after the protocol version
  QString contentType;       // value of "Content-Type:", empty when the answer has none
  bool isFile = false;       // the content type contains "application/": the answer ends by length
  qint32 contentLength = 0;  // "Content-Length:", read for files only
  bool chunked = false;      // "Transfer-Encoding: chunked"
  qsizetype bodyStart = 0;   // where the body begins in the bytes given
};

// Reads the head at the start of the bytes received so far. A head is complete at the first
// CR LF CR LF. Header names are matched without regard to case, at the start of a line of
// the head only (never in the body).
AnswerHead ParseAnswerHead(const QByteArray& received);
