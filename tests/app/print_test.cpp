// orvane print, run as a program without a display over a calendar in its store.
#include "core/dataformat.h"
#include "platform/sqlitekeystore.h"
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

int PageObjects(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  return int(QString::fromLatin1(file.readAll()).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
}

class PrintCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    binary_ = QFileInfo(qEnvironmentVariable("ORVANE_BINARY")).canonicalFilePath();
    ASSERT_FALSE(binary_.isEmpty()) << "ORVANE_BINARY is not set";
    ASSERT_TRUE(dir_.isValid());
  }

  QString DataHome() const { return dir_.path() + QStringLiteral("/data"); }
  QString Out() const { return dir_.path() + QStringLiteral("/calendar.pdf"); }

  void StoreEvents() {
    ASSERT_TRUE(QDir().mkpath(DataHome() + QStringLiteral("/orvane")));
    auto opened = SqliteKeyStore::Open(DataHome() + QStringLiteral("/orvane/orvane.db"));
    ASSERT_TRUE(opened.store) << opened.error.toStdString();
    FixedClock clock(DT(2026, 1, 1, 9, 0));
    DataFormat calendar(clock);
    for (const TDateTime day : {D(2026, 1, 31), D(2026, 2, 14), D(2026, 3, 17)}) {
      TNote& note = calendar.NoteArray[static_cast<size_t>(calendar.AppendNote())];
      note.Title = QStringLiteral("Dentist");
      note.StartDate = note.EndDate = day;
      note.Start = true;
      note.StartTime = EncodeTime(9, 5);
    }
    calendar.DataChanged = true;
    ASSERT_TRUE(calendar.SaveIfChanged(*opened.store).ok);
  }

  int Run(const QStringList& args, QString* err = nullptr, QString* out = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), DataHome());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(binary_, QStringList{QStringLiteral("print")} + args);
    EXPECT_TRUE(p.waitForFinished(60000));
    if (err) *err = QString::fromUtf8(p.readAllStandardError());
    if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  }

  QTemporaryDir dir_;
  QString binary_;
};

TEST_F(PrintCommand, WritesThreeMonthsAsThreePages) {
  StoreEvents();
  QString err, out;
  ASSERT_EQ(Run({"--kind", "month", "--start", "2026-01-31", "--pages", "3", "--out", Out()}, &err, &out), 0)
      << err.toStdString();
  EXPECT_EQ(PageObjects(Out()), 3);
  EXPECT_TRUE(out.contains(QStringLiteral("3 pages of month calendars"))) << out.toStdString();
  QFile file(Out());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().startsWith("%PDF-"));
}

struct KindCase {
  const char* name;
  QStringList args;
  int pages;
};

class PrintKinds : public PrintCommand, public ::testing::WithParamInterface<KindCase> {};

TEST_P(PrintKinds, WriteTheRequestedNumberOfPages) {
  QString err;
  ASSERT_EQ(Run(GetParam().args + QStringList{"--out", Out()}, &err), 0) << err.toStdString();
  EXPECT_EQ(PageObjects(Out()), GetParam().pages);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PrintKinds,
    ::testing::Values(KindCase{"OneDayByDefault", {"--kind", "day", "--start", "2026-12-09"}, 1},
                      KindCase{"Days", {"--kind", "day", "--start", "2026-12-30", "--pages", "5"}, 5},
                      KindCase{"Weeks", {"--kind", "week", "--start", "2026-12-09", "--pages", "2", "--weeks-per-page", "2"}, 2},
                      KindCase{"PortraitBlankMonths", {"--kind", "month", "--start", "2026-12-01", "--pages", "12", "--portrait", "--blank"}, 12},
                      KindCase{"Years", {"--kind", "year", "--start", "2024-02-29", "--pages", "2"}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadArgs {
  const char* name;
  QStringList args;
  const char* message;
};

class PrintBadArguments : public PrintCommand, public ::testing::WithParamInterface<BadArgs> {};

TEST_P(PrintBadArguments, ExplainWithTheUsageAndWriteNothing) {
  QStringList args = GetParam().args;
  args.replaceInStrings(QStringLiteral("@OUT"), Out());
  QString err;
  EXPECT_EQ(Run(args, &err), 2);
  EXPECT_TRUE(err.contains(QLatin1String(GetParam().message))) << err.toStdString();
  EXPECT_TRUE(err.contains(QStringLiteral("usage: orvane print --kind"))) << err.toStdString();
  EXPECT_FALSE(QFile::exists(Out()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrintBadArguments,
    ::testing::Values(
        BadArgs{"NoKind", {"--start", "2026-01-01", "--out", "@OUT"}, "--kind day|week|month|year is required"},
        BadArgs{"UnknownKind", {"--kind", "decade", "--start", "2026-01-01", "--out", "@OUT"}, "not \"decade\""},
        BadArgs{"NoStart", {"--kind", "month", "--out", "@OUT"}, "--start YYYY-MM-DD is required"},
        BadArgs{"BadStart", {"--kind", "month", "--start", "2026-02-30", "--out", "@OUT"}, "--start wants a date"},
        BadArgs{"StartTooEarly", {"--kind", "month", "--start", "1850-01-01", "--out", "@OUT"}, "--start wants a date"},
        BadArgs{"StartTooLate", {"--kind", "year", "--start", "9950-01-01", "--out", "@OUT"}, "before 9900"},
        BadArgs{"NoPages", {"--kind", "day", "--start", "2026-01-01", "--pages", "0", "--out", "@OUT"}, "--pages wants a whole number from 1 to 100"},
        BadArgs{"TooManyPages", {"--kind", "day", "--start", "2026-01-01", "--pages", "101", "--out", "@OUT"}, "not \"101\""},
        BadArgs{"FractionOfPages", {"--kind", "day", "--start", "2026-01-01", "--pages", "2.5", "--out", "@OUT"}, "--pages wants"},
        BadArgs{"NoWeeks", {"--kind", "week", "--start", "2026-01-01", "--weeks-per-page", "0", "--out", "@OUT"}, "from 1 to 8"},
        BadArgs{"TooManyWeeks", {"--kind", "week", "--start", "2026-01-01", "--weeks-per-page", "9", "--out", "@OUT"}, "from 1 to 8"},
        BadArgs{"WeeksForAMonth", {"--kind", "month", "--start", "2026-01-01", "--weeks-per-page", "2", "--out", "@OUT"}, "for --kind week"},
        BadArgs{"NoOut", {"--kind", "month", "--start", "2026-01-01"}, "--out FILE.pdf is required"},
        BadArgs{"OutWithoutValue", {"--kind", "month", "--start", "2026-01-01", "--out"}, "--out needs a value"},
        BadArgs{"UnknownOption", {"--kind", "month", "--start", "2026-01-01", "--out", "@OUT", "--colour"}, "unknown option --colour"},
        BadArgs{"StrayArgument", {"--kind", "month", "--start", "2026-01-01", "--out", "@OUT", "extra"}, "unexpected argument \"extra\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintCommand, AFolderThatDoesNotExistIsReported) {
  QString err;
  EXPECT_EQ(Run({"--kind", "month", "--start", "2026-01-01", "--out", dir_.path() + "/none/calendar.pdf"}, &err), 1);
  EXPECT_TRUE(err.contains(QStringLiteral("Cannot write"))) << err.toStdString();
}

}  // namespace
