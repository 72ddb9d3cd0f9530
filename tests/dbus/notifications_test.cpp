// Alarms as desktop notifications over a real session bus (each test runs in a private one,
// started by dbus-run-session): first against a small notification server of the test's own,
// which records the calls and plays the user's part; then against dunst, a notification
// daemon people use, on a private X server.

#include "core/wholefile.h"
#include "desktop/alarmbox.h"
#include "desktop/alarmpresenter.h"
#include "platform/dbusnotifications.h"
#include "support/fakenotifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QListWidget>
#include <QMutex>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>

namespace {
const QString ServiceName = QStringLiteral("org.freedesktop.Notifications");
}  // namespace

// The server lives in a thread of its own, so the program's blocking calls find it answering.
class TestNotificationServer : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Call {
    QString app, body;
    QVariantMap hints;
    int timeout = 0;
  };
  std::atomic<bool> wrongCapabilities{false};

  std::vector<Call> Calls() {
    QMutexLocker lock(&mutex_);
    return calls_;
  }

 public slots:
  QStringList GetCapabilities() {
    if (wrongCapabilities) {
      // An answer of the wrong type: a number where a list of names belongs.
      setDelayedReply(true);
      connection().send(message().createReply(QVariant(42)));
      return {};
    }
    return {QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")};
  }
  uint Notify(const QString& app, uint, const QString&, const QString&, const QString& body, const QStringList&,
              const QVariantMap& hints, int timeout) {
    QMutexLocker lock(&mutex_);
    calls_.push_back({app, body, hints, timeout});
    return static_cast<uint>(calls_.size());
  }
  void CloseNotification(uint id) { emit NotificationClosed(id, 3); }
  void Press(uint id, const QString& key) { emit ActionInvoked(id, key); }

 signals:
  void ActionInvoked(uint id, const QString& key);
  void NotificationClosed(uint id, uint reason);

 private:
  QMutex mutex_;
  std::vector<Call> calls_;
};

namespace {

using NotificationsTest = AlarmWindowTest;

TEST_F(NotificationsTest, TheRealCallReachesAServerOnTheSessionBusAndItsButtonsComeBack) {
  ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
  AlarmAt(EncodeTime(14, 0), QStringLiteral("Standup"), QStringLiteral("Room <4> & 5"));
  QThread thread;
  auto* server = new TestNotificationServer;
  server->moveToThread(&thread);
  QObject::connect(&thread, &QThread::finished, server, &QObject::deleteLater);
  thread.start();
  // The server joins the bus on a connection of its own, from its own thread.
  bool registered = false;
  QMetaObject::invokeMethod(
      server,
      [server, &registered] {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server"));
        registered = bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), server,
                                        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
                     bus.registerService(ServiceName);
      },
      Qt::BlockingQueuedConnection);
  ASSERT_TRUE(registered);
  DBusNotifications service;

  T_DesktopWindow window(*ctx.context, screens, sound);
  window.Alarms().SetNotifications(&service);
  Tick(window, 5);
  const std::vector<TestNotificationServer::Call> calls = server->Calls();
  ASSERT_EQ(calls.size(), 1u) << service.LastError().toStdString();
  EXPECT_EQ(calls[0].app, QStringLiteral("Orvane"));
  EXPECT_EQ(calls[0].body, QStringLiteral("Room &lt;4&gt; &amp; 5")) << "the server reads markup";
  EXPECT_EQ(calls[0].hints.value(QStringLiteral("urgency")).toInt(), 2);
  EXPECT_EQ(calls[0].timeout, 0) << "stays until answered";
  EXPECT_EQ(window.Alarms().Box(), nullptr) << "the id the server answered was taken";

  // The user presses Snooze: the signal comes over the bus, the alarm is put off and the
  // message taken away.
  QSignalSpy closed(&service, &Notifications::NotificationClosed);
  QMetaObject::invokeMethod(server, [server] { server->Press(1, QStringLiteral("snooze")); });
  ASSERT_TRUE(closed.wait(10000));
  EXPECT_EQ(closed.at(0).at(0).toUInt(), 1u);

  // A server whose answer is not what it should be counts as none: the box shows the alarm
  // as its snooze ends.
  server->wrongCapabilities = true;
  for (int i = 0; i < 120; ++i) Tick(window, 5);
  EXPECT_EQ(server->Calls().size(), 1u);
  ASSERT_TRUE(window.Alarms().Box());
  EXPECT_EQ(window.Alarms().Box()->AlarmList->count(), 1);

  QMetaObject::invokeMethod(
      server, [] { QDBusConnection::disconnectFromBus(QStringLiteral("server")); }, Qt::BlockingQueuedConnection);
  thread.quit();
  thread.wait();
}

// dunst on a private X server: the alarm shows, Snooze (through dunst's menu) brings it back,
// and an alarm missed while the machine slept shows once at wake.
TEST_F(NotificationsTest, DunstShowsTheAlarmAndItsSnoozeBringsItBack) {
  const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
  const QString dunst = QStandardPaths::findExecutable(QStringLiteral("dunst"));
  const QString dunstctl = QStandardPaths::findExecutable(QStringLiteral("dunstctl"));
  if (xvfb.isEmpty() || dunst.isEmpty() || dunstctl.isEmpty()) GTEST_SKIP() << "scripts/install-deps installs them";
  QProcess server;
  server.start(xvfb, QStringLiteral("-displayfd 1 -screen 0 1280x800x24 -nolisten tcp").split(QLatin1Char(' ')));
  QByteArray display;
  while (!display.endsWith('\n') && server.waitForReadyRead(10000)) display += server.readAllStandardOutput();
  ASSERT_TRUE(display.endsWith('\n')) << "Xvfb did not start";

  // dunst's menu is a program that picks a line from the list it is given: here the
  // first line offering Snooze.
  QTemporaryDir config;
  const QString rc = config.filePath(QStringLiteral("dunstrc"));
  ASSERT_EQ(WriteWholeFile(rc, "[global]\n    dmenu = /usr/bin/grep -m1 Snooze\n", FileAccess::OwnerOnly), QString());
  QProcess daemon;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":") + QString::fromLatin1(display.trimmed()));
  daemon.setProcessEnvironment(env);
  daemon.start(dunst, {QStringLiteral("-config"), rc});
  ASSERT_TRUE(daemon.waitForStarted());
  // dunst takes the name once it is ready.
  QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
  for (int i = 0; i < 100 && !bus->isServiceRegistered(ServiceName).value(); ++i) QThread::msleep(100);
  ASSERT_TRUE(bus->isServiceRegistered(ServiceName).value()) << daemon.readAllStandardError().toStdString();
  auto dunstctlSays = [&dunstctl](const QString& command) {
    QProcess ctl;
    ctl.start(dunstctl, {command});
    ctl.waitForFinished(10000);
    return ctl.readAllStandardOutput();
  };

  AlarmAt(EncodeTime(14, 0), QStringLiteral("Standup"));
  DBusNotifications service;
  T_DesktopWindow window(*ctx.context, screens, sound);
  window.Alarms().SetNotifications(&service);
  Tick(window, 5);
  QSignalSpy pressed(&service, &Notifications::ActionInvoked);
  dunstctlSays(QStringLiteral("context"));
  ASSERT_TRUE(pressed.wait(10000)) << "dunst's menu did not answer; " << service.LastError().toStdString();

  for (int i = 0; i < 120; ++i) Tick(window, 5);
  // The machine sleeps over another alarm; it shows once at wake.
  AlarmAt(EncodeTime(18, 0), QStringLiteral("Call"));
  Tick(window, 8 * 3600);
  Tick(window, 5);
  // What dunst showed, newest first (closing the messages puts them into its history).
  dunstctlSays(QStringLiteral("close-all"));
  QStringList shown;
  for (const QJsonValue v : QJsonDocument::fromJson(dunstctlSays(QStringLiteral("history")))["data"][0].toArray())
    shown << v["summary"]["data"].toString();
  EXPECT_EQ(shown, (QStringList{"Missed: 6:00 PM Call", "2:00 PM Standup", "2:00 PM Standup"}));

  daemon.terminate();
  daemon.waitForFinished();
  server.terminate();
  server.waitForFinished();
}

}  // namespace

#include "notifications_test.moc"
