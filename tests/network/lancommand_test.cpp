// End to end: "orvane listen" in one process and "orvane lan-sync" in another, each on its
// own user folders and loopback address, on the program's own port.
#include "core/bytestream.h"
#include "core/clock.h"
#include "core/dataformat.h"
#include "support/testutil.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <gtest/gtest.h>

namespace {

// One user of the program: its own data, configuration and runtime folders.
struct User {
  explicit User(const QString& address) : address(address) {
    environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
      const QString path = dir.path() + QLatin1Char('/') + QLatin1String(name);
      QDir().mkpath(path);
      QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
      environment.insert(QLatin1String(name), path);
    }
  }
  QString File(const QString& name) const { return dir.filePath(name); }

  QTemporaryDir dir;
  QString address;
  QProcessEnvironment environment;
};

struct RunResult {
  int exitCode = -1;
  QString out;
  QString err;
};

class LanCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    binary_ = QFileInfo(qEnvironmentVariable("ORVANE_BINARY")).canonicalFilePath();
    ASSERT_FALSE(binary_.isEmpty()) << "ORVANE_BINARY is not set";
  }

  // The program's port must be free on the addresses a test binds (another test program
  // running at the same time may hold it).
  static bool PortFree(const QStringList& addresses) {
    for (const QString& address : addresses) {
      QUdpSocket probe;
      if (!probe.bind(QHostAddress(address), 3402)) return false;
    }
    return true;
  }

  void Start(QProcess& process, const User& user, const QStringList& args) {
    process.setProcessEnvironment(user.environment);
    process.setProgram(binary_);
    process.setArguments(args);
    process.start();
  }
  RunResult Run(const User& user, const QStringList& args) {
    QProcess process;
    Start(process, user, args);
    RunResult result;
    if (!process.waitForFinished(60000)) {
      process.kill();
      process.waitForFinished();
      return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
  }

  // Gives the user a calendar of these events and the synchronisation settings, through a
  // restored backup.
  void Seed(const User& user, const QStringList& titles, const QString& password) {
    FixedClock clock(DT(2024, 3, 1, 9, 0));
    DataFormat calendar(clock);
    for (int i = 0; i < titles.size(); ++i) {
      TNote note;
      note.Title = titles[i];
      note.StartDate = D(2024, 4, 18) + i;
      note.StartTime = EncodeTime(9, 0, 0);
      note.ModifyDate = 1;
      calendar.MergeNote(note);
    }
    QByteArray backup = CalendarBlock(calendar);
    backup += "EnableSync=-1\r\nSyncEMail=" + user.address.toUtf8() + "\r\nSyncPass=" + password.toUtf8() +
              "\r\nSyncBindAddress=" + user.address.toUtf8() + "\r\n";
    QFile file(user.File(QStringLiteral("seed.ovb")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(backup);
    file.close();
    const RunResult restored = Run(user, {QStringLiteral("restore"), file.fileName()});
    ASSERT_EQ(restored.exitCode, 0) << restored.err.toStdString();
  }

  // The titles of the user's events, read back through a backup.
  QStringList Titles(const User& user) {
    const QString path = user.File(QStringLiteral("check.ovb"));
    const RunResult saved = Run(user, {QStringLiteral("backup"), path});
    EXPECT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    ByteReader in(bytes);
    CalendarRecords records;
    EXPECT_TRUE(ReadCalendarBlock(in, records));
    QStringList titles;
    for (const TNote& note : records.notes) titles << note.Title;
    titles.sort();
    return titles;
  }

  QString PasswordFile(const User& user, const QString& password) {
    const QString path = user.File(QStringLiteral("password-") + password);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(password.toUtf8() + "\n");
    return path;
  }

  QString binary_;
};

TEST_F(LanCommandTest, ListenerAndOneExchangeConvergeAndSaveBothStores) {
  if (!PortFree({QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2")})) {
    GTEST_SKIP() << "UDP port 3402 is taken on 127.0.0.1 or 127.0.0.2";
  }
  User a(QStringLiteral("127.0.0.1"));
  User b(QStringLiteral("127.0.0.2"));
  Seed(a, {QStringLiteral("Gym")}, QStringLiteral("alpha"));
  Seed(b, {QStringLiteral("Dentist"), QStringLiteral("Lunch")}, QStringLiteral("bravo"));

  QProcess listener;
  Start(listener, b, {QStringLiteral("listen")});
  ASSERT_TRUE(listener.waitForStarted());
  // Ready once it says so.
  QString said;
  listener.setReadChannel(QProcess::StandardError);
  while (!said.contains(QStringLiteral("answering")) && listener.waitForReadyRead(10000)) {
    said += QString::fromUtf8(listener.readAllStandardError());
  }
  ASSERT_TRUE(said.contains(QStringLiteral("answering"))) << said.toStdString();

  const RunResult refused = Run(a, {QStringLiteral("lan-sync"), b.address, QStringLiteral("--password-file"),
                                    PasswordFile(a, QStringLiteral("wrong"))});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.out.trimmed(), QStringLiteral("Remote Password incorrect."));

  const RunResult done = Run(a, {QStringLiteral("lan-sync"), b.address, QStringLiteral("--password-file"),
                                 PasswordFile(a, QStringLiteral("bravo"))});
  EXPECT_EQ(done.exitCode, 0) << done.err.toStdString();
  EXPECT_EQ(done.out.trimmed(), QStringLiteral("Synchronization Complete!"));

  listener.terminate();
  ASSERT_TRUE(listener.waitForFinished(10000));
  EXPECT_EQ(listener.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(listener.exitCode(), 0);

  const QStringList all{QStringLiteral("Dentist"), QStringLiteral("Gym"), QStringLiteral("Lunch")};
  EXPECT_EQ(Titles(a), all);
  EXPECT_EQ(Titles(b), all);
}

TEST_F(LanCommandTest, NobodyListeningTimesOut) {
  // Addresses of their own, apart from the exchange test's.
  if (!PortFree({QStringLiteral("127.0.0.3"), QStringLiteral("127.0.0.4")})) {
    GTEST_SKIP() << "UDP port 3402 is taken on 127.0.0.3 or 127.0.0.4";
  }
  User a(QStringLiteral("127.0.0.3"));
  Seed(a, {QStringLiteral("Gym")}, QStringLiteral("alpha"));
  const RunResult result = Run(a, {QStringLiteral("lan-sync"), QStringLiteral("127.0.0.4"),
                                   QStringLiteral("--password-file"), PasswordFile(a, QStringLiteral("x"))});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out.trimmed(), QStringLiteral("Network timeout verifying password."));
}

TEST_F(LanCommandTest, MissingPasswordFileIsAUsageError) {
  User a(QStringLiteral("127.0.0.1"));
  const RunResult result = Run(a, {QStringLiteral("lan-sync"), QStringLiteral("127.0.0.2")});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_TRUE(result.err.contains(QStringLiteral("--password-file"))) << result.err.toStdString();
}

}  // namespace
