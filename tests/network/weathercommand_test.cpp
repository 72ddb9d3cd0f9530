// End to end: "orvane weather" against a loopback weather site, and against nothing.
#include "core/paths.h"
#include "core/tdatetime.h"
#include "loopbackserver.h"
#include "platform/sqlitekeystore.h"
#include "support/testutil.h"
#include "weatherpages.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct RunResult {
  int exitCode = -1;
  QString out;
  QString err;
};

class WeatherCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    binary_ = QFileInfo(qEnvironmentVariable("ORVANE_BINARY")).canonicalFilePath();
    ASSERT_FALSE(binary_.isEmpty()) << "ORVANE_BINARY is not set";
  }

  void Store(const QList<std::pair<QString, QString>>& values) {
    auto opened = SqliteKeyStore::Open(DatabasePath());
    ASSERT_TRUE(opened.store) << opened.error.toStdString();
    ASSERT_TRUE(opened.store->OpenKey(QStringLiteral("\\Software\\Orvane"), true));
    for (const auto& [name, value] : values) ASSERT_TRUE(opened.store->WriteString(name, value));
  }

  // Runs the program while this thread's event loop keeps the test server answering.
  RunResult Run(const QStringList& args) {
    QProcess process;
    process.setProgram(binary_);
    process.setArguments(args);
    process.start();
    RunResult result;
    if (!SpinUntil([&] { return process.state() == QProcess::NotRunning; })) {
      process.kill();
      process.waitForFinished();
      return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
  }

  TempHome home_;
  QString binary_;
};

QString TodayText(int plusDays) {
  return FormatDateTime(QStringLiteral("dd mmm yyyy"), FromQDateTime(QDateTime::currentDateTime()) + plusDays);
}

TEST_F(WeatherCommandTest, PrintsTheForecastTextOfTenDays) {
  LoopbackServer site([](const QByteArray& request) {
    if (request.startsWith("GET /weather/local/12345 ")) return ServerScript::Page(CurrentPage().toUtf8());
    if (request.startsWith("GET /weather/tenday/12345 ")) return ServerScript::Page(TenDayPage().toUtf8());
    return ServerScript::Answer("HTTP/1.1 404 Not Found\r\n\r\n");
  });
  Store({{QStringLiteral("WeatherZip"), QStringLiteral("12345")},
         {QStringLiteral("TempDeg"), QStringLiteral("1")},
         {QStringLiteral("WeatherHost"), site.hostAndPort()}});
  const QString dayBefore = TodayText(0);
  const RunResult r = Run({QStringLiteral("weather")});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  // The program reads the system clock; a run across midnight cannot be checked by date.
  if (TodayText(0) != dayBefore) GTEST_SKIP() << "the date changed during the run";
  EXPECT_TRUE(r.out.startsWith(QStringLiteral("Weather for ") + TodayText(0) +
                               QStringLiteral("\n-------------------------------\n"
                                              "Temp: 23°C  High: 10°C  Low: -2°C\n"
                                              "Partly Cloudy\n")))
      << r.out.toStdString();
  EXPECT_EQ(r.out.count(QStringLiteral("Forecast for ")), 9);
  EXPECT_TRUE(r.out.contains(QStringLiteral("Forecast for ") + TodayText(9)));
  EXPECT_FALSE(r.out.contains(QStringLiteral("Forecast for ") + TodayText(10)));
  EXPECT_TRUE(r.out.endsWith(QStringLiteral("Chance of precipitation: 90 %\n"))) << r.out.toStdString();
  EXPECT_FALSE(r.out.contains(QLatin1Char('\r')));
  ASSERT_EQ(site.requests().size(), 2);
  EXPECT_TRUE(site.requests().at(0).contains("User-Agent: HTTPClient/0.1\r\n"));
}

TEST_F(WeatherCommandTest, NothingListeningIsWeatherOffline) {
  quint16 port = 0;
  {
    LoopbackServer gone(ServerScript::Page("x"));
    port = gone.port();
  }
  Store({{QStringLiteral("WeatherZip"), QStringLiteral("12345")},
         {QStringLiteral("WeatherHost"), QStringLiteral("127.0.0.1:%1").arg(port)}});
  const RunResult r = Run({QStringLiteral("weather")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, QStringLiteral("Weather Offline\n"));
}

TEST_F(WeatherCommandTest, PageWithoutWeatherIsWeatherOffline) {
  LoopbackServer site(ServerScript::Page("<html>maintenance</html>"));
  Store({{QStringLiteral("WeatherZip"), QStringLiteral("12345")}, {QStringLiteral("WeatherHost"), site.hostAndPort()}});
  const RunResult r = Run({QStringLiteral("weather")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, QStringLiteral("Weather Offline\n"));
}

TEST_F(WeatherCommandTest, WithoutAZipCodeSaysSo) {
  const RunResult r = Run({QStringLiteral("weather")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.out.isEmpty());
  EXPECT_TRUE(r.err.contains(QStringLiteral("no zip code"))) << r.err.toStdString();
}

TEST_F(WeatherCommandTest, RefusesArguments) {
  const RunResult r = Run({QStringLiteral("weather"), QStringLiteral("--zip")});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(r.err.contains(QStringLiteral("usage: orvane weather")));
}

}  // namespace
