// Fuzz target: the head of an HTTP answer and URL splitting, fed untrusted bytes.
#include "network/httpparse.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const AnswerHead head = ParseAnswerHead(bytes);
  if (head.state == AnswerHead::State::Ok) {
    // The body starts inside what was given, and a file always has a usable length.
    if (head.bodyStart < 4 || head.bodyStart > bytes.size()) std::abort();
    if (head.contentLength < 0) std::abort();
    if (head.status != QStringLiteral("200")) std::abort();
  }
  // Collecting the same bytes piece by piece never reaches another verdict.
  if (size > 1) {
    const AnswerHead firstHalf = ParseAnswerHead(bytes.left(bytes.size() / 2));
    if (firstHalf.state == AnswerHead::State::Ok && head.state != AnswerHead::State::Ok) std::abort();
  }

  const auto url = SplitUrl(QString::fromUtf8(bytes));
  if (url) {
    if (url->host.isEmpty() || !url->path.startsWith(QLatin1Char('/'))) std::abort();
    const QByteArray request = BuildRequest(*url, QStringLiteral("HTTPClient/0.1"));
    // The request is the fixed lines only: nothing from the URL adds a line of its own.
    if (request.count("\r\n") != 5 || !request.endsWith("\r\n\r\n")) std::abort();
  }
  return 0;
}
