#include "desktop/weatherpainter.h"
#include "network/weatherparser.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

TEST(WeatherRows, AReportOlderThanAnHourShowsItsTimeWithTheConditions) {
  const struct {
    const char* name;
    QDateTime asOf;
    TDateTime now;
    const char* expected;
  } rows[] = {
      {"NoTimeKnown", QDateTime(), DT(2026, 12, 7, 23, 0), "Partly Cloudy"},
      {"Fresh", QDateTime(QDate(2026, 12, 7), QTime(10, 42)), DT(2026, 12, 7, 10, 50), "Partly Cloudy"},
      {"AnHourOld", QDateTime(QDate(2026, 12, 7), QTime(10, 42)), DT(2026, 12, 7, 11, 42), "Partly Cloudy"},
      {"OlderThanAnHour", QDateTime(QDate(2026, 12, 7), QTime(10, 42)), DT(2026, 12, 7, 11, 43),
       "Partly Cloudy, as of 10:42"},
      {"MorningHour", QDateTime(QDate(2026, 12, 7), QTime(9, 5)), DT(2026, 12, 7, 14, 0), "Partly Cloudy, as of 9:05"},
  };
  for (const auto& row : rows) {
    TWeatherReport report;
    report.Conditions = QStringLiteral("Partly Cloudy");
    report.AsOf = row.asOf.toUTC();  // kept in UTC, shown in local time
    EXPECT_EQ(ConditionsRowText(report, row.now), QString::fromLatin1(row.expected)) << row.name;
  }
}

}  // namespace
