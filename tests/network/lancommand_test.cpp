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
    for (const QString& address : addresses) {
      QUdpSocket probe;
      if (!probe.bind(QHostAddress(address), 3402)) return false;
    }
    return true;
  }

  // The user at this address: its events and its synchronisation settings.
  void Seed(const QString& address, const QStringList& titles, const QString& password) {
    Store([&](DataFormat& c) {
      for (int i = 0; i < titles.size(); ++i) AddEvent(c, titles[i], D(2024, 4, 18) + i, EncodeTime(9, 0, 0));
    }, {{"EnableSync", "-1"}, {"SyncEMail", address}, {"SyncPass", password}, {"SyncBindAddress", address}}, address);
  }

  QStringList Titles(const QString& who) {
    QStringList titles;
    Load([&](DataFormat& c) {
      for (const TNote& note : c.NoteArray) titles << note.Title;
    }, who);
    titles.sort();
    return titles;
  }

  QString PasswordFile(const QString& password) {
    QFile file(File(QStringLiteral("password-") + password));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(password.toUtf8() + "\n");
    return file.fileName();
  }
};

TEST_F(LanCommand, ListenerAndOneExchangeConvergeAndSaveBothStores) {
  const QString a = QStringLiteral("127.0.0.1"), b = QStringLiteral("127.0.0.2");
  if (!PortFree({a, b})) GTEST_SKIP() << "UDP port 3402 is taken on 127.0.0.1 or 127.0.0.2";
  Seed(a, {QStringLiteral("Gym")}, QStringLiteral("alpha"));
  Seed(b, {QStringLiteral("Dentist"), QStringLiteral("Lunch")}, QStringLiteral("bravo"));

  QProcess* listener = Start({"listen"}, b);
  const QString said = WaitForError(*listener, QStringLiteral("answering"));
  // Another program may have taken the port since it was probed.
  if (said.contains(QStringLiteral("already in use"))) GTEST_SKIP() << said.toStdString();
  ASSERT_TRUE(said.contains(QStringLiteral("answering"))) << said.toStdString();

  const ProgramResult refused = Run({"lan-sync", b, "--password-file", PasswordFile("wrong")}, a);
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.out.trimmed(), QStringLiteral("Remote Password incorrect."));
  const ProgramResult done = Run({"lan-sync", b, "--password-file", PasswordFile("bravo")}, a);
  EXPECT_EQ(done.code, 0) << done.err.toStdString();
  EXPECT_EQ(done.out.trimmed(), QStringLiteral("Synchronization Complete!"));

  listener->terminate();
  ASSERT_TRUE(listener->waitForFinished(10000));
  EXPECT_EQ(listener->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(listener->exitCode(), 0);
  const QStringList all{QStringLiteral("Dentist"), QStringLiteral("Gym"), QStringLiteral("Lunch")};
  EXPECT_EQ(Titles(a), all);
  EXPECT_EQ(Titles(b), all);
}

TEST_F(LanCommand, NobodyListeningTimesOut) {
  // Addresses of their own, apart from the exchange test's.
  if (!PortFree({"127.0.0.3", "127.0.0.4"})) GTEST_SKIP() << "UDP port 3402 is taken on 127.0.0.3 or 127.0.0.4";
  Seed(QStringLiteral("127.0.0.3"), {QStringLiteral("Gym")}, QStringLiteral("alpha"));
  const ProgramResult r = Run({"lan-sync", "127.0.0.4", "--password-file", PasswordFile("x")}, "127.0.0.3");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out.trimmed(), QStringLiteral("Network timeout verifying password."));
}

TEST_F(LanCommand, ListenerSavesMergedRecordsWhileAPeerKeepsTalking) {
  const QString a = QStringLiteral("127.0.0.5"), b = QStringLiteral("127.0.0.6");
  if (!PortFree({a, b})) GTEST_SKIP() << "UDP port 3402 is taken on 127.0.0.5 or 127.0.0.6";
  Seed(b, {QStringLiteral("Dentist")}, QStringLiteral("bravo"));
  QProcess* listener = Start({"listen"}, b);
  const QString said = WaitForError(*listener, QStringLiteral("answering"));
  if (said.contains(QStringLiteral("already in use"))) GTEST_SKIP() << said.toStdString();
  ASSERT_TRUE(said.contains(QStringLiteral("answering"))) << said.toStdString();

  // The peer is this test itself, speaking the protocol from its own socket.
  QUdpSocket socket;
  ASSERT_TRUE(socket.bind(QHostAddress(a), 3402));
  FixedClock clock(DT(2024, 4, 18, 9, 0));
  DataFormat calendar(clock);
  LanProtocol peer(calendar);
  const LanProtocol::Identity identity;
  const auto send = [&](const QByteArray& bytes) { socket.writeDatagram(bytes, QHostAddress(b), 3402); };
  // Answers everything that arrives for the time given (or until the condition holds).
  const auto pump = [&](int ms, const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms && !done()) {
      if (!socket.waitForReadyRead(50)) continue;
      while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket.receiveDatagram(Lan::MaxDatagram);
        for (const LanReply& reply : peer.Handle(datagram.data(), b, identity, 0).replies) send(reply.bytes);
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
  listener->kill();
  ASSERT_TRUE(listener->waitForFinished(10000));
  EXPECT_EQ(Titles(b), (QStringList{QStringLiteral("Dentist"), QStringLiteral("Merged early")}));
}

}  // namespace
