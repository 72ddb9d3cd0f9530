// Fuzz target: the WebDAV multistatus reader, fed untrusted server answers.
#include "network/davparse.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QUrl request(QStringLiteral("https://calendar.example/dav/alice/work/"));
  const QString within = QStringLiteral("/dav/alice/work/");
  const dav::MultiStatus answer = dav::ReadMultiStatus(body, request, within);
  // A refused answer hands out nothing; an accepted one only resources inside the collection,
  // within the caps.
  if (!answer.error.isEmpty() && !answer.entries.isEmpty()) std::abort();
  if (answer.entries.size() > dav::MaxEntries) std::abort();
  for (const dav::Entry& entry : answer.entries) {
    if (!entry.path.startsWith(within) && entry.path + QLatin1Char('/') != within) std::abort();
    if (entry.calendarData.size() > 4 * dav::MaxObject || entry.etag.size() > dav::MaxText) std::abort();
  }
  return 0;
}
