// End to end: "orvane server add|list|sync|remove" as users run them, against Radicale, with
// no desktop secret store running.
#include "radicaleserver.h"
#include "support/programrun.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QFile>

namespace {

class ServerCommandTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ASSERT_TRUE(server.Start()) << server.error().toStdString();
    // No session bus, so no secret store: the password goes to the file only when allowed.
    oldBus_ = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + File(QStringLiteral("no-bus")).toUtf8());
  }
  void TearDown() override {
    qputenv("DBUS_SESSION_BUS_ADDRESS", oldBus_);
    ProgramTest::TearDown();
  }
  QString PasswordFile(const QString& password) {
    QFile file(File(QStringLiteral("password-") + password));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(password.toUtf8() + "\n");
    return file.fileName();
  }
  ProgramResult Server(const QStringList& args, const QString& who) {
    return Run(QStringList{QStringLiteral("server")} + args, who, {.headless = true});
  }
  ProgramResult Add(const QString& password, const QString& who, const QStringList& more = {}) {
    return Server(
        QStringList{"add", server.url(), "--user", RadicaleServer::User, "--password-file", PasswordFile(password)} +
            more,
        who);
  }

  RadicaleServer server;
  QByteArray oldBus_;
};

TEST_F(ServerCommandTest, AddSyncListAndRemove) {
  Store([](DataFormat& c) { AddEvent(c, QStringLiteral("Dentist"), D(2026, 12, 8), EncodeTime(10, 0, 0)); }, {},
        QStringLiteral("a"));
  // Without a secret store the password is kept only with consent, and nothing is set up.
  const ProgramResult refused = Add(RadicaleServer::Password, QStringLiteral("a"));
  EXPECT_EQ(refused.code, 1);
  EXPECT_TRUE(refused.err.contains(QStringLiteral("--store-password-in-file"))) << refused.err.toStdString();
  EXPECT_EQ(Server({"list"}, QStringLiteral("a")).out.trimmed(), QStringLiteral("No calendar server"));

  const ProgramResult added = Add(RadicaleServer::Password, QStringLiteral("a"), {"--store-password-in-file"});
  ASSERT_EQ(added.code, 0) << added.err.toStdString();
  EXPECT_TRUE(added.out.contains(QStringLiteral("calendar \"Orvane\" (/alice/orvane/)"))) << added.out.toStdString();
  const QString passwordFile =
      Home(QStringLiteral("a")) + QStringLiteral("/XDG_CONFIG_HOME/orvane/calendar-server-password");
  EXPECT_TRUE(added.out.contains(QStringLiteral("Password kept in ") + passwordFile + " (readable only by you)"));
  const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                          QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
  EXPECT_EQ(QFile::permissions(passwordFile) & others, QFileDevice::Permissions());

  const ProgramResult sent = Server({"sync"}, QStringLiteral("a"));
  EXPECT_EQ(sent.code, 0) << sent.err.toStdString();
  EXPECT_TRUE(sent.out.contains(QStringLiteral("Sent: Dentist"))) << sent.out.toStdString();

  ASSERT_EQ(Add(RadicaleServer::Password, QStringLiteral("b"), {"--store-password-in-file"}).code, 0);
  const ProgramResult received = Server({"sync"}, QStringLiteral("b"));
  EXPECT_EQ(received.code, 0) << received.err.toStdString();
  EXPECT_TRUE(received.out.contains(QStringLiteral("Received: Dentist"))) << received.out.toStdString();
  Load(
      [](DataFormat& c) {
        ASSERT_EQ(c.NoteCount(), 1);
        EXPECT_EQ(c.NoteArray[0].StartTime, EncodeTime(10, 0, 0));
      },
      QStringLiteral("b"));

  EXPECT_TRUE(Server({"list"}, QStringLiteral("b")).out.startsWith(server.url()));
  EXPECT_EQ(Server({"remove"}, QStringLiteral("b")).code, 0);
  EXPECT_EQ(Server({"list"}, QStringLiteral("b")).out.trimmed(), QStringLiteral("No calendar server"));
  EXPECT_FALSE(
      QFile::exists(Home(QStringLiteral("b")) + QStringLiteral("/XDG_CONFIG_HOME/orvane/calendar-server-password")));
  EXPECT_EQ(Server({"sync"}, QStringLiteral("b")).code, 1);
}

TEST_F(ServerCommandTest, AWrongPasswordOrAMissingTaskListSetsNothingUp) {
  const ProgramResult refused = Add(QStringLiteral("guess"), QStringLiteral("a"), {"--store-password-in-file"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_TRUE(refused.err.contains(QStringLiteral("refused the user name or password"))) << refused.err.toStdString();
  const ProgramResult noList =
      Add(RadicaleServer::Password, QStringLiteral("a"), {"--store-password-in-file", "--tasks", "Errands"});
  EXPECT_EQ(noList.code, 1);
  EXPECT_TRUE(noList.err.contains(QStringLiteral("no task list \"Errands\""))) << noList.err.toStdString();
  EXPECT_EQ(Server({"list"}, QStringLiteral("a")).out.trimmed(), QStringLiteral("No calendar server"));
}

class ServerCommandTlsTest : public ServerCommandTest {
 protected:
  void SetUp() override {
    server.UseTls();
    ServerCommandTest::SetUp();
  }
};

TEST_F(ServerCommandTlsTest, ASelfSignedServerIsAddedOnlyWithItsFingerprint) {
  const QString fingerprint = server.fingerprint();
  const ProgramResult refused = Add(RadicaleServer::Password, QStringLiteral("a"), {"--store-password-in-file"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_TRUE(refused.err.contains(QStringLiteral("--fingerprint ") + fingerprint)) << refused.err.toStdString();
  EXPECT_EQ(Server({"list"}, QStringLiteral("a")).out.trimmed(), QStringLiteral("No calendar server"));

  const ProgramResult added =
      Add(RadicaleServer::Password, QStringLiteral("a"),
          {"--store-password-in-file", "--fingerprint", QString(fingerprint).remove(QLatin1Char(':')).toLower()});
  ASSERT_EQ(added.code, 0) << added.err.toStdString();
  EXPECT_TRUE(Server({"list"}, QStringLiteral("a")).out.contains(fingerprint));
  const ProgramResult synced = Server({"sync"}, QStringLiteral("a"));
  EXPECT_EQ(synced.code, 0) << synced.err.toStdString();
}

}  // namespace
