// End to end: "orvane listen" in one process and "orvane lan-sync" in another, each on its
// own user folders and loopback address, on the program's own port.
#include "core/clock.h"
#include "network/lanprotocol.h"
#include "support/programrun.h"
#include "support/testutil.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QUdpSocket>

namespace {

class LanCommand : public ProgramTest {
 protected:
  // The program's port must be free on the addresses a test binds (another test program
  // running at the same time may hold it).
  static bool PortFree(const QStringList& addresses) {
    return std::all_of(addresses.begin(), addresses.end(), [](const QString& address) {
      QUdpSocket probe;
      return probe.bind(QHostAddress(address), 3402);
    });
  }
  // The user at this address: its events and its synchronisation settings.
  void Seed(const QString& address, const QStringList& titles, const QString& password) {
    Store(
        [&](DataFormat& c) {
          for (int i = 0; i < titles.size(); ++i) AddEvent(c, titles[i], D(2024, 4, 18) + i, EncodeTime(9, 0, 0));
        },
        {{"EnableSync", "-1"}, {"SyncEMail", address}, {"SyncPass", password}, {"SyncBindAddress", address}}, address);
  }
  QStringList Titles(const QString& who) {
    QStringList titles;
    Load(
        [&](DataFormat& c) {
          for (const TNote& note : c.NoteArray) titles << note.Title;
        },
        who);
    titles.sort();
    return titles;
  }
  ProgramResult LanSync(const QString& to, const QString& password, const QString& who) {
    QFile file(File(QStringLiteral("password-") + password));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(password.toUtf8() + "\n");
    file.close();
    // Without a display of any kind; the exchange needs the network library and no window.
    ProgramResult r =
        Run({"lan-sync", to, "--password-file", file.fileName()}, who, {.headless = true, .logLoads = true});
    EXPECT_TRUE(r.loaded.contains(QStringLiteral("libQt6Network.so.6"))) << r.loaded.join(' ').toStdString();
    EXPECT_FALSE(r.loaded.contains(QStringLiteral("libQt6Gui.so.6")));
    return r;
  }
  // Starts the listener at the address; false when another program took the port since it was probed.
  bool Listen(const QString& who) {
    listener_ = Start({"listen"}, who, {.headless = true});
    const QString said = WaitForError(*listener_, QStringLiteral("answering"));
    EXPECT_TRUE(said.contains(QStringLiteral("answering")) || said.contains(QStringLiteral("already in use")))
        << said.toStdString();
    return said.contains(QStringLiteral("answering"));
  }
  QProcess* listener_ = nullptr;
};

TEST_F(LanCommand, ListenerAndOneExchangeConvergeAndSaveBothStoresAndNobodyListeningTimesOut) {
  const QString a = QStringLiteral("127.0.0.1"), b = QStringLiteral("127.0.0.2");
  if (!PortFree({a, b, "127.0.0.3"})) GTEST_SKIP() << "UDP port 3402 is taken on 127.0.0.1, 127.0.0.2 or 127.0.0.3";
  Seed(a, {QStringLiteral("Gym")}, QStringLiteral("alpha"));
  Seed(b, {QStringLiteral("Dentist"), QStringLiteral("Lunch")}, QStringLiteral("bravo"));
  const ProgramResult nobody = LanSync(QStringLiteral("127.0.0.3"), QStringLiteral("x"), a);
  EXPECT_EQ(nobody.code, 1);
  EXPECT_EQ(nobody.out.trimmed(), QStringLiteral("Network timeout verifying password."));
  if (!Listen(b)) GTEST_SKIP() << "the port was taken";
  const ProgramResult refused = LanSync(b, QStringLiteral("wrong"), a);
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.out.trimmed(), QStringLiteral("Remote Password incorrect."));
  const ProgramResult done = LanSync(b, QStringLiteral("bravo"), a);
  EXPECT_EQ(done.code, 0) << done.err.toStdString();
  EXPECT_EQ(done.out.trimmed(), QStringLiteral("Synchronization Complete!"));
  listener_->terminate();
  ASSERT_TRUE(listener_->waitForFinished(10000));
  EXPECT_EQ(listener_->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(listener_->exitCode(), 0);
  const QStringList all{QStringLiteral("Dentist"), QStringLiteral("Gym"), QStringLiteral("Lunch")};
  EXPECT_EQ(Titles(a), all);
  EXPECT_EQ(Titles(b), all);
}

TEST_F(LanCommand, ListenerSavesMergedRecordsWhileAPeerKeepsTalking) {
  const QString a = QStringLiteral("127.0.0.5"), b = QStringLiteral("127.0.0.6");
  if (!PortFree({a, b})) GTEST_SKIP() << "UDP port 3402 is taken on 127.0.0.5 or 127.0.0.6";
  Seed(b, {QStringLiteral("Dentist")}, QStringLiteral("bravo"));
  if (!Listen(b)) GTEST_SKIP() << "the port was taken";
  // The peer is this test itself, speaking the protocol from its own socket.
  QUdpSocket socket;
  ASSERT_TRUE(socket.bind(QHostAddress(a), 3402));
  FixedClock clock(DT(2024, 4, 18, 9, 0));
  DataFormat calendar(clock);
  LanProtocol peer(calendar);
  const auto send = [&](const QByteArray& bytes) { socket.writeDatagram(bytes, QHostAddress(b), 3402); };
  // Answers everything that arrives for the time given (or until the condition holds).
  const auto pump = [&](int ms, const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms && !done()) {
      if (!socket.waitForReadyRead(50)) continue;
      while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket.receiveDatagram(Lan::MaxDatagram);
        for (const LanReply& reply : peer.Handle(datagram.data(), b, LanProtocol::Identity(), 0).replies)
          send(reply.bytes);
      }
    }
  };
  send(peer.BeginExchange(b, QStringLiteral("bravo")).at(0));
  pump(10000, [&] { return peer.ExchangeAccepted(); });
  ASSERT_TRUE(peer.ExchangeAccepted());
  TNote merged;
  merged.Title = QStringLiteral("Merged early");
  merged.StartDate = D(2024, 4, 20);
  merged.ModifyDate = DT(2024, 4, 18, 9, 0);
  send(peer.Outgoing(*Lan::NoteMessage(merged)));
  // The exchange goes on and on; then the listener is killed without a chance to save.
  for (int i = 0; i < 18; ++i) {
    send(peer.Outgoing(Lan::Message(Lan::NoteCntWord)));
    pump(500, [] { return false; });
  }
  listener_->kill();
  ASSERT_TRUE(listener_->waitForFinished(10000));
  EXPECT_EQ(Titles(b), (QStringList{QStringLiteral("Dentist"), QStringLiteral("Merged early")}));
}

}  // namespace
