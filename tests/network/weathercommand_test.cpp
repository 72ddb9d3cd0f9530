// End to end: "orvane weather" against a loopback weather site, and against nothing.
#include "core/tdatetime.h"
#include "loopbackserver.h"
#include "support/programrun.h"
#include "support/testutil.h"
#include "weatherpages.h"

#include <QDateTime>

namespace {

using WeatherCommand = ProgramTest;

QString Today(int plusDays) {
  return FormatDateTime(QStringLiteral("dd mmm yyyy"), FromQDateTime(QDateTime::currentDateTime()) + plusDays);
}

TEST_F(WeatherCommand, PrintsTheForecastTextOfTenDays) {
  LoopbackServer site([](const QByteArray& request) {
    if (request.startsWith("GET /weather/local/12345 ")) return ServerScript::Page(CurrentPage().toUtf8());
    if (request.startsWith("GET /weather/tenday/12345 ")) return ServerScript::Page(TenDayPage().toUtf8());
    return ServerScript::Answer("HTTP/1.1 404 Not Found\r\n\r\n");
  });
  Store(nullptr, {{"WeatherZip", "12345"}, {"TempDeg", "1"}, {"WeatherHost", site.hostAndPort()}});
  const QString dayBefore = Today(0);
  const ProgramResult r = Run({"weather"}, {}, {.spin = true});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  // The program reads the system clock; a run across midnight cannot be checked by date.
  if (Today(0) != dayBefore) GTEST_SKIP() << "the date changed during the run";
  EXPECT_TRUE(r.out.startsWith(QStringLiteral("Weather for ") + Today(0) +
                               QStringLiteral("\n-------------------------------\n"
                                              "Temp: 23°C  High: 10°C  Low: -2°C\nPartly Cloudy\n")))
      << r.out.toStdString();
  EXPECT_EQ(r.out.count(QStringLiteral("Forecast for ")), 9);
  EXPECT_TRUE(r.out.contains(QStringLiteral("Forecast for ") + Today(9)));
  EXPECT_TRUE(r.out.endsWith(QStringLiteral("Chance of precipitation: 90 %\n"))) << r.out.toStdString();
  EXPECT_FALSE(r.out.contains(QLatin1Char('\r')));
  ASSERT_EQ(site.requests().size(), 2);
  EXPECT_TRUE(site.requests().at(0).contains("User-Agent: HTTPClient/0.1\r\n"));
}

TEST_F(WeatherCommand, NothingListeningOrNoWeatherOnThePageIsWeatherOffline) {
  auto gone = std::make_unique<LoopbackServer>(ServerScript::Page("x"));
  const QString nobody = gone->hostAndPort();
  gone.reset();
  LoopbackServer maintenance(ServerScript::Page("<html>maintenance</html>"));
  for (const QString& host : {nobody, maintenance.hostAndPort()}) {
    Store(nullptr, {{"WeatherZip", "12345"}, {"WeatherHost", host}});
    const ProgramResult r = Run({"weather"}, {}, {.spin = true});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, QStringLiteral("Weather Offline\n"));
  }
}

}  // namespace
