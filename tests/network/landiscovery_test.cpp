// Discovery by broadcast between two network namespaces joined by a veth pair: "orvane
// listen" runs in one, and this test program, started again in the other, broadcasts and
// lists what answers. Needs root and the ip tool; skipped otherwise.
#include "core/clock.h"
#include "core/memorykeystore.h"
#include "loopbackserver.h"
#include "network/network.h"
#include "session/appcontext.h"
#include "support/programrun.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>

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
  AppContext context(std::make_unique<FixedClock>(DT(2024, 3, 1, 9, 0)), std::make_unique<ScriptedDialogs>(),
                     std::make_unique<MemoryKeyStore>());
  context.settings().SetSetting(QStringLiteral("SyncPass"), QStringLiteral("alpha"));
  T_Network network(context);
  ASSERT_TRUE(network.Listening()) << network.ListenError().toStdString();
  network.Peer().ComputerName = QStringLiteral("searcher");
  network.RefreshButtonClick();
  SpinUntil([&] { return network.RemoteList->count() > 0; }, 10000);
  ASSERT_EQ(network.Systems().size(), 1u);
  EXPECT_EQ(network.Systems()[0].Address, QStringLiteral("10.213.0.2"));
  EXPECT_EQ(network.Systems()[0].User, QStringLiteral("pat@example.org"));
}

using LanDiscovery = ProgramTest;

TEST_F(LanDiscovery, BroadcastFindsTheCopyInTheOtherNamespace) {
  if (!qEnvironmentVariableIsEmpty(ChildVariable)) GTEST_SKIP() << "the child half runs alone";
  if (::geteuid() != 0) GTEST_SKIP() << "network namespaces need root";
  if (QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty()) GTEST_SKIP() << "the ip tool is missing";

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
  const bool ready = Ip({QStringLiteral("netns"), QStringLiteral("add"), nsB}) &&
                     in(nsA, {"link", "add", vethA, "type", "veth", "peer", "name", vethB, "netns", nsB}) &&
                     in(nsA, {"addr", "add", "10.213.0.1/24", "dev", vethA}) &&
                     in(nsB, {"addr", "add", "10.213.0.2/24", "dev", vethB}) && in(nsA, {"link", "set", vethA, "up"}) &&
                     in(nsB, {"link", "set", vethB, "up"}) && in(nsA, {"link", "set", "lo", "up"}) &&
                     in(nsB, {"link", "set", "lo", "up"}) && in(nsA, {"route", "add", "default", "dev", vethA}) &&
                     in(nsB, {"route", "add", "default", "dev", vethB});
  if (!ready) GTEST_SKIP() << "cannot join two network namespaces with a veth pair";

  // The listening copy: its own folders, sync on, all addresses.
  Store(nullptr, {{"EnableSync", "-1"}, {"SyncEMail", "pat@example.org"}, {"SyncPass", "bravo"}});
  QProcess listener;
  listener.setProcessEnvironment(Environment());
  listener.start(QStringLiteral("ip"),
                 {QStringLiteral("netns"), QStringLiteral("exec"), nsB, binary_, QStringLiteral("listen")});
  const QString said = WaitForError(listener, QStringLiteral("answering"));
  ASSERT_TRUE(said.contains(QStringLiteral("answering"))) << said.toStdString();

  QProcess child;
  QProcessEnvironment childEnvironment = QProcessEnvironment::systemEnvironment();
  childEnvironment.insert(QLatin1String(ChildVariable), QStringLiteral("1"));
  child.setProcessEnvironment(childEnvironment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QStringLiteral("ip"),
              {QStringLiteral("netns"), QStringLiteral("exec"), nsA, QCoreApplication::applicationFilePath(),
               QStringLiteral("--gtest_filter=LanDiscoveryChild.*")});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QString output = QString::fromUtf8(child.readAll());
  listener.terminate();
  listener.waitForFinished(10000);
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}

}  // namespace
