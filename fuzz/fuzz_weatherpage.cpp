// Fuzz target: the two weather page readers and the forecast texts, fed untrusted pages.
#include "network/weatherparser.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the units, the rest is the page.
  const int tempDeg = data[0] % 5;
  const int pressureType = (data[0] / 5) % 4;
  const QString page = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

  TWeatherReport report;
  report.Temperature = QStringLiteral("held");
  const PageParse current = ParseCurrentPage(page, tempDeg, pressureType, report);
  if ((current == PageParse::Parsed) != report.CurrentValid) std::abort();
  if (current != PageParse::Parsed && report.Temperature != QStringLiteral("held")) std::abort();

  report.Forecast[0].High = QStringLiteral("held");
  const PageParse tenday = ParseTenDayPage(page, tempDeg, report);
  if ((tenday == PageParse::Parsed) != report.ForecastValid) std::abort();
  if (tenday != PageParse::Parsed && report.Forecast[0].High != QStringLiteral("held")) std::abort();

  const TDateTime today = 46000;
  for (int d = -1; d <= 10; ++d) {
    const bool inRange = d >= 0 && d <= 9;
    if (ForecastText(report, today + d, today).has_value() != inRange) std::abort();
  }
  return 0;
}
