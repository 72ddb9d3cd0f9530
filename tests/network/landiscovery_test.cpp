// Discovery by broadcast between two network namespaces joined by a veth pair: "orvane
// listen" runs in one, and this test program, started again in the other, broadcasts and
// lists what answers. Needs root and the ip tool; skipped otherwise.
#include "app/appcontext.h"
#include "core/bytestream.h"
#include "core/clock.h"
#include "core/memorykeystore.h"
#include "network/network.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const char ChildVariable[] = "ORVANE_LAN_DISCOVERY_CHILD";

bool Ip(const QStringList& args) {
  QProcess ip;
  ip.start(QStringLiteral("ip"), args);
  return ip.waitForFinished(10000) && ip.exitStatus() == QProcess::NormalExit && ip.exitCode() == 0;
}

// The half that runs inside the first namespace: broadcast, then wait for the listing.
TEST(LanDiscoveryChild, ListsTheCopyThatAnswers) {
  if (qEnvironmentVariableIsEmpty(ChildVariable)) GTEST_SKIP() << "runs only inside the discovery test's namespace";
  AppContext context(std::make_unique<FixedClock>(DT(2024, 3, 1, 9, 0)), std::make_unique<ScriptedDialogs>(), std::make_unique<MemoryKeyStore>());
  context.settings().SetSetting(QStringLiteral("SyncPass"), QStringLiteral("alpha"));
  T_Network network(context);
  ASSERT_TRUE(network.Listening()) << network.ListenError().toStdString();
  network.ComputerName = QStringLiteral("searcher");
  network.RefreshButtonClick();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (network.RemoteList->count() > 0) loop.quit();
  });
  poll.start(10);
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  loop.exec();
  ASSERT_EQ(network.Systems().size(), 1u);
  EXPECT_EQ(network.Systems()[0].Address, QStringLiteral("10.213.0.2"));
  EXPECT_EQ(network.Systems()[0].User, QStringLiteral("pat@example.org"));
}

TEST(LanDiscovery, BroadcastFindsTheCopyInTheOtherNamespace) {
  if (!qEnvironmentVariableIsEmpty(ChildVariable)) GTEST_SKIP() << "the child half runs alone";
  if (::geteuid() != 0) GTEST_SKIP() << "network namespaces need root";
  if (QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty()) GTEST_SKIP() << "the ip tool is missing";
  const QString binary = QFileInfo(qEnvironmentVariable("ORVANE_BINARY")).canonicalFilePath();
  ASSERT_FALSE(binary.isEmpty()) << "ORVANE_BINARY is not set";

  const QString suffix = QString::number(::getpid());
  const QString nsA = QStringLiteral("orvA") + suffix, nsB = QStringLiteral("orvB") + suffix;
  const QString vethA = QStringLiteral("ova") + suffix, vethB = QStringLiteral("ovb") + suffix;
  if (!Ip({QStringLiteral("netns"), QStringLiteral("add"), nsA})) GTEST_SKIP() << "cannot create a network namespace";
  struct Cleanup {
    QString a, b;
    ~Cleanup() {
      Ip({QStringLiteral("netns"), QStringLiteral("del"), a});
      Ip({QStringLiteral("netns"), QStringLiteral("del"), b});
    }
  } cleanup{nsA, nsB};
  const auto in = [](const QString& ns, QStringList args) { return Ip(QStringList{QStringLiteral("-n"), ns} + args); };
  const bool ready =
      Ip({QStringLiteral("netns"), QStringLiteral("add"), nsB}) &&
      in(nsA, {"link", "add", vethA, "type", "veth", "peer", "name", vethB, "netns", nsB}) &&
      in(nsA, {"addr", "add", "10.213.0.1/24", "dev", vethA}) && in(nsB, {"addr", "add", "10.213.0.2/24", "dev", vethB}) &&
      in(nsA, {"link", "set", vethA, "up"}) && in(nsB, {"link", "set", vethB, "up"}) &&
      in(nsA, {"link", "set", "lo", "up"}) && in(nsB, {"link", "set", "lo", "up"}) &&
      in(nsA, {"route", "add", "default", "dev", vethA}) && in(nsB, {"route", "add", "default", "dev", vethB});
  if (!ready) GTEST_SKIP() << "cannot join two network namespaces with a veth pair";

  // The listening copy: its own folders, sync on, all addresses.
  QTemporaryDir home;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
    const QString path = home.filePath(QLatin1String(name));
    QDir().mkpath(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert(QLatin1String(name), path);
  }
  QFile seed(home.filePath(QStringLiteral("seed.ovb")));
  ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
  seed.write(QByteArray(8, '\0') + "EnableSync=-1\r\nSyncEMail=pat@example.org\r\nSyncPass=bravo\r\n");
  seed.close();
  QProcess restore;
  restore.setProcessEnvironment(environment);
  restore.start(binary, {QStringLiteral("restore"), seed.fileName()});
  ASSERT_TRUE(restore.waitForFinished(30000));
  ASSERT_EQ(restore.exitCode(), 0);

  QProcess listener;
  listener.setProcessEnvironment(environment);
  listener.setReadChannel(QProcess::StandardError);
  listener.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), nsB, binary, QStringLiteral("listen")});
  QString said;
  while (!said.contains(QStringLiteral("answering")) && listener.waitForReadyRead(10000)) {
    said += QString::fromUtf8(listener.readAllStandardError());
  }
  ASSERT_TRUE(said.contains(QStringLiteral("answering"))) << said.toStdString();

  QProcess child;
  QProcessEnvironment childEnvironment = QProcessEnvironment::systemEnvironment();
  childEnvironment.insert(QLatin1String(ChildVariable), QStringLiteral("1"));
  child.setProcessEnvironment(childEnvironment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), nsA,
                                     QCoreApplication::applicationFilePath(),
                                     QStringLiteral("--gtest_filter=LanDiscoveryChild.*")});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QString output = QString::fromUtf8(child.readAll());
  listener.terminate();
  listener.waitForFinished(10000);
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}

}  // namespace
