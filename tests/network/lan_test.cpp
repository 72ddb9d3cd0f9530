// Full LAN exchanges between two complete contexts in one process, bound to 127.0.0.1 and
// 127.0.0.2 on the same port, and against hand-driven sockets that lose answers or play an
// older copy.
#include "core/memorykeystore.h"
#include "loopbackserver.h"
#include "network/network.h"
#include "session/appcontext.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QListWidget>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QUdpSocket>

namespace {

const QString AddressA = QStringLiteral("127.0.0.1"), AddressB = QStringLiteral("127.0.0.2"),
              AddressC = QStringLiteral("127.0.0.3");
const QString Alpha = QStringLiteral("alpha"), Bravo = QStringLiteral("bravo");
const TDateTime Start = DT(2024, 3, 4, 10, 0);

// One running copy: its own store, clock, scripted dialogs and network window. The password
// check keeps its real limit: the passive side's first check derives the key, slow on purpose.
struct Copy {
  Copy(const QString& address, quint16 port, const QString& password, const QString& name, bool allowOlder = false) {
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    context = std::make_unique<AppContext>(std::make_unique<FixedClock>(DT(2024, 3, 1, 9, 0)), std::move(scripted),
                                           std::make_unique<MemoryKeyStore>());
    for (const auto& [key, value] : {std::pair{"SyncBindAddress", address},
                                     {"SyncPass", password},
                                     {"SyncEMail", name + QStringLiteral("@example.org")}}) {
      context->settings().SetSetting(QString::fromLatin1(key), value);
    }
    context->settings().SetBool(QStringLiteral("EnableSync"), true);
    context->settings().SetBool(QStringLiteral("AllowOlderPeers"), allowOlder);
    LanTimings timings;
    timings.activityMs = 1000;
    network = std::make_unique<T_Network>(*context, timings, port);
    network->Peer().ComputerName = name;
  }
  DataFormat& calendar() { return context->calendar(); }
  T_Network::SyncResult Sync(const QString& address, const QString& password) {
    return network->SyncWithPassword(address, password);
  }
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<AppContext> context;
  std::unique_ptr<T_Network> network;
};

TNote Event(const QString& title, TDateTime modified = 1, const QString& notes = QString(), TDateTime start = Start) {
  TNote note;
  note.Title = title;
  note.StartDate = DatePart(start);
  note.StartTime = TimePart(start);
  note.EndTime = note.StartTime + EncodeTime(1, 0, 0);
  note.ModifyDate = modified;
  note.Notes = notes;
  return note;
}

TToDo Task(const QString& title, TDateTime modified, bool completed = false) {
  TToDo todo;
  todo.Title = title;
  todo.ModifyDate = modified;
  todo.Completed = completed;
  todo.Notes = QStringList{title + QStringLiteral(" line")};
  return todo;
}

// The records of a calendar by title, for comparing two calendars regardless of order.
std::map<QString, TNote> Events(DataFormat& calendar) {
  std::map<QString, TNote> events;
  for (const TNote& note : calendar.NoteArray) events[note.Title] = note;
  return events;
}

// A raw socket standing in for a peer, a relay or an intruder.
struct HandDriven {
  HandDriven(const QString& address, quint16 port) : port(port) {
    bound = socket.bind(QHostAddress(address), port);
    QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
      while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket.receiveDatagram(Lan::MaxDatagram);
        received.push_back(datagram.data());
        if (onDatagram) onDatagram(datagram.data(), datagram.senderAddress().toString());
      }
    });
  }
  void Send(const QString& address, const QByteArray& bytes) {
    socket.writeDatagram(bytes, QHostAddress(address), port);
  }
  bool Got(const QByteArray& word) const {
    return std::any_of(received.begin(), received.end(), [&](const QByteArray& d) { return d.startsWith(word); });
  }
  quint16 port;
  QUdpSocket socket;
  bool bound = false;
  std::vector<QByteArray> received;
  std::function<void(const QByteArray&, const QString& from)> onDatagram;
};

// An older copy, played by hand: it answers the discovery, takes the bare digest of its
// password, and serves its records in the clear.
void PlayOlderCopy(HandDriven& older, const QString& password, int notes = 1, bool answerAll = true) {
  older.onDatagram = [&older, password, notes, answerAll](const QByteArray& d, const QString& to) {
    if (d.startsWith(Lan::DiscWord)) older.Send(to, Lan::Message(Lan::AnnounceWord, "old kim"));
    if (d.startsWith(Lan::CheckPassWord)) {
      const bool right = password.isEmpty() || d == Lan::Message(Lan::CheckPassWord, Lan::PasswordDigest(password));
      older.Send(to, Lan::Message(right ? Lan::PassOkWord : Lan::PassFailWord));
    }
    if (d.startsWith(Lan::NoteCntWord)) older.Send(to, Lan::Message(Lan::RNoteCntWord, QByteArray::number(notes)));
    if (d.startsWith(Lan::TodoCntWord)) older.Send(to, Lan::Message(Lan::RTodoCntWord, "0"));
    if (d.startsWith(Lan::GetNoteWord) && (answerAll || d == Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(0)))) {
      older.Send(to, *Lan::NoteMessage(Event(QStringLiteral("Old's"))));
    }
    if (d.startsWith(Lan::SyncDoneWord)) older.Send(to, Lan::Message(Lan::DataAckWord));
  };
}

class LanExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A port free on the three loopback addresses the tests use.
    for (int attempt = 0; attempt < 20 && port_ == 0; ++attempt) {
      QUdpSocket probe, b, c;
      if (!probe.bind(QHostAddress(AddressA), 0)) continue;
      if (b.bind(QHostAddress(AddressB), probe.localPort()) && c.bind(QHostAddress(AddressC), probe.localPort()))
        port_ = probe.localPort();
    }
    if (port_ == 0) GTEST_SKIP() << "no UDP port is free on 127.0.0.1, 127.0.0.2 and 127.0.0.3";
  }
  Copy A(bool allowOlder = false) { return Copy(AddressA, port_, Alpha, QStringLiteral("desk"), allowOlder); }
  Copy B() { return Copy(AddressB, port_, Bravo, QStringLiteral("laptop")); }
  quint16 port_ = 0;
};

TEST_F(LanExchangeTest, BothCalendarsConvergeAndTenThousandEventsArriveWithTheirProgress) {
  Copy a = A(), b = B();
  ASSERT_TRUE(a.network->Listening()) << a.network->ListenError().toStdString();
  ASSERT_TRUE(b.network->Listening()) << b.network->ListenError().toStdString();
  a.calendar().MergeNote(Event(QStringLiteral("Edited on both"), 5, QStringLiteral("older text")));
  a.calendar().MergeNote(Event(QStringLiteral("Long"), 1, QString(60000, QLatin1Char('n'))));
  a.calendar().MergeNote(Event(QStringLiteral("Too long"), 1, QString(70000, QLatin1Char('n'))));
  a.calendar().MergeToDo(Task(QStringLiteral("Task A"), 1));
  a.calendar().MergeToDo(Task(QStringLiteral("Task shared"), 9, true));
  b.calendar().MergeNote(Event(QStringLiteral("Edited on both"), 6, QStringLiteral("newer text")));
  b.calendar().MergeNote(Event(QStringLiteral("Long B"), 1, QString(65000, QLatin1Char('b'))));
  b.calendar().MergeToDo(Task(QStringLiteral("Task B"), 1));
  b.calendar().MergeToDo(Task(QStringLiteral("Task shared"), 4));
  // Identities made on each side travel with their records.
  a.calendar().NoteArray[1].Uid = QStringLiteral("long@a");
  b.calendar().NoteArray[1].Uid = QStringLiteral("long-b@b");
  std::vector<std::pair<QString, int>> progress;
  a.network->Peer().ProgressObserver = [&](const QString& text, int percent) { progress.emplace_back(text, percent); };
  const T_Network::SyncResult result = a.Sync(AddressB, Bravo);
  EXPECT_TRUE(result.complete);
  EXPECT_EQ(result.message, QStringLiteral("Synchronization Complete! 1 record(s) were too large to send."));
  for (Copy* copy : {&a, &b}) {
    auto events = Events(copy->calendar());
    EXPECT_EQ(copy->calendar().NoteCount(), copy == &a ? 4 : 3);  // the one too large stays at home
    EXPECT_EQ(events[QStringLiteral("Edited on both")].Notes, QStringLiteral("newer text"));
    EXPECT_EQ(events[QStringLiteral("Long")].Notes.size(), 60000);
    EXPECT_EQ(events[QStringLiteral("Long B")].Notes.size(), 65000);
    EXPECT_EQ(events[QStringLiteral("Long")].Uid, QStringLiteral("long@a"));
    EXPECT_EQ(events[QStringLiteral("Long B")].Uid, QStringLiteral("long-b@b"));
    ASSERT_EQ(copy->calendar().ToDoCount(), 3);
    EXPECT_EQ(copy->calendar().OpenToDoCount, 2);
    EXPECT_TRUE(copy->network->SyncButton->isEnabled());
  }
  EXPECT_EQ(a.network->Peer().RemoteNoteCount, 3u);  // B already held A's events when A asked
  EXPECT_EQ(a.network->Peer().RemoteToDoCount, 3u);
  EXPECT_TRUE(b.calendar().DataChanged);
  // The push: 0, then one figure per record; the counts; the pull: one per remote record.
  std::vector<std::pair<QString, int>> expected;
  for (int percent : {0, 20, 40, 60, 80, 100})
    expected.emplace_back(QStringLiteral("Synchronizing Local Data"), percent);
  expected.emplace_back(QStringLiteral("Preparing Remote Data"), 0);
  for (int percent : {0, 17, 33, 50, 67, 83, 100})
    expected.emplace_back(QStringLiteral("Synchronizing Remote Data"), percent);
  EXPECT_EQ(progress, expected);
  a.network->Peer().ProgressObserver = nullptr;
  for (int i = 0; i < 10000; ++i) {
    a.calendar().NoteArray.push_back(Event(QStringLiteral("Event %1 with a longer title").arg(i), 1,
                                           QStringLiteral("Some notes"), DT(2024, 1, 1, 8, 0) + i % 700));
  }
  EXPECT_TRUE(a.Sync(AddressB, Bravo).complete);
  EXPECT_EQ(b.calendar().NoteCount(), 10003);
}

TEST_F(LanExchangeTest, WrongPasswordsExchangeNothingAndRepeatedOnesLockThisCopyOut) {
  Copy a = A(), b = B();
  a.calendar().MergeNote(Event(QStringLiteral("A's")));
  b.calendar().MergeNote(Event(QStringLiteral("B's")));
  std::vector<int> progress;
  a.network->Peer().ProgressObserver = [&](const QString&, int percent) { progress.push_back(percent); };
  for (int i = 0; i < Lan::FreeFailures; ++i) {
    const T_Network::SyncResult result = a.Sync(AddressB, QStringLiteral("Bravo"));
    EXPECT_EQ(result.message, QStringLiteral("Remote Password incorrect."));
    EXPECT_FALSE(result.complete);
  }
  EXPECT_TRUE(progress.empty());
  // Now even the right password waits out the lock-out.
  const T_Network::SyncResult locked = a.Sync(AddressB, Bravo);
  EXPECT_FALSE(locked.complete);
  EXPECT_TRUE(locked.message.startsWith(QStringLiteral("The other computer refuses this one for ")))
      << locked.message.toStdString();
  // Whatever may still be under way is given its chance to arrive.
  SpinUntil([] { return false; }, 200);
  EXPECT_EQ(a.calendar().NoteCount(), 1);
  EXPECT_EQ(b.calendar().NoteCount(), 1);
  EXPECT_TRUE(a.network->SyncButton->isEnabled());
}

TEST_F(LanExchangeTest, LostAnswerDuringThePullEndsWithTheTimeOutMessage) {
  Copy a = A(true);
  HandDriven peer(AddressB, port_);
  ASSERT_TRUE(peer.bound);
  // An older copy: accepts the check and counts three events, but the second record is never sent.
  PlayOlderCopy(peer, QString(), 3, false);
  const T_Network::SyncResult result = a.Sync(AddressB, QStringLiteral("any"));
  EXPECT_EQ(result.message, QStringLiteral("Synchronization Timed Out - Check your connection and try again."));
  EXPECT_FALSE(result.complete);
  ASSERT_EQ(a.calendar().NoteCount(), 1);
  EXPECT_EQ(a.calendar().NoteArray[0].Title, QStringLiteral("Old's"));
  // The exchange stopped at the lost answer: no further index was asked for, no end sent.
  EXPECT_FALSE(peer.Got(Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(2))));
  EXPECT_FALSE(peer.Got(Lan::SyncDoneWord));
  EXPECT_TRUE(a.network->SyncButton->isEnabled());
}

TEST_F(LanExchangeTest, TheWindowsCommandsAskForAddressAndPasswordAndSyncWithAnAnnouncedSystem) {
  Copy a = A(), b = B();
  b.calendar().MergeNote(Event(QStringLiteral("B's")));
  a.network->RemoteList->addItem(QStringLiteral("stale (entry)"));
  a.network->RemoteList->setCurrentRow(0);
  a.network->SyncButtonClick();  // no system behind the line: nothing is asked
  EXPECT_TRUE(a.dialogs->asked().empty());
  a.dialogs->AnswerInput(std::nullopt);
  a.dialogs->AnswerMessage(Dialogs::Answer::Ok);
  a.network->SyncWith(AddressB);
  EXPECT_EQ(a.dialogs->LastText(), QStringLiteral("Synchronization Cancelled."));
  a.dialogs->AnswerInput(AddressB);
  a.dialogs->AnswerInput(Bravo);
  a.dialogs->AnswerMessage(Dialogs::Answer::Ok);
  a.network->SyncByIPButtonClick();
  ASSERT_EQ(a.dialogs->asked().size(), 5u);
  EXPECT_EQ(a.dialogs->asked()[2].caption, QStringLiteral("Remote Address"));
  EXPECT_EQ(a.dialogs->asked()[3].caption, QStringLiteral("Network Password"));
  EXPECT_EQ(a.dialogs->LastText(), QStringLiteral("Synchronization Complete!"));
  EXPECT_EQ(a.calendar().NoteCount(), 1);
  // B's answer to a discovery, as it arrives from B's address; then a second one from the same
  // address (renamed), and A's own answer, which is not listed.
  QUdpSocket fromB;
  ASSERT_TRUE(fromB.bind(QHostAddress(AddressB), 0));
  for (const char* announcement : {"old-name kim", "laptop kim@example.org", "desk pat"})
    fromB.writeDatagram(Lan::Message(Lan::AnnounceWord, announcement), QHostAddress(AddressA), port_);
  ASSERT_TRUE(SpinUntil([&] {
    return a.network->RemoteList->count() == 1 &&
           a.network->RemoteList->item(0)->text() == QStringLiteral("laptop (kim@example.org)");
  }));
  SpinUntil([] { return false; }, 100);
  ASSERT_EQ(a.network->Systems().size(), 1u);
  EXPECT_EQ(a.network->Systems()[0].Address, AddressB);
  a.network->RemoteList->setCurrentRow(0);
  a.dialogs->AnswerInput(Bravo);
  a.dialogs->AnswerMessage(Dialogs::Answer::Ok);
  a.network->RemoteListDblClick();
  EXPECT_EQ(a.dialogs->asked().size(), 7u);
  EXPECT_EQ(a.dialogs->LastText(), QStringLiteral("Synchronization Complete!"));
}

TEST_F(LanExchangeTest, LostOpeningIsAskedAgainBeforeThePeerIsTakenForAnOlderCopy) {
  Copy a = A(), b = B();
  b.calendar().MergeNote(Event(QStringLiteral("B's")));
  // A relay at C that loses A's first datagram (the opening) and passes the rest.
  HandDriven relay(AddressC, port_);
  ASSERT_TRUE(relay.bound);
  int fromA = 0;
  relay.onDatagram = [&](const QByteArray& d, const QString& from) {
    if (from == AddressA && fromA++ > 0) relay.Send(AddressB, d);
    if (from == AddressB) relay.Send(AddressA, d);
  };
  EXPECT_EQ(a.Sync(AddressC, Bravo).message, QStringLiteral("Synchronization Complete!"));
  EXPECT_EQ(a.calendar().NoteCount(), 1);
}

TEST_F(LanExchangeTest, OlderPassivePeerIsRefusedWithTheReasonUnlessAllowed) {
  HandDriven older(AddressB, port_);
  ASSERT_TRUE(older.bound);
  PlayOlderCopy(older, Bravo);
  {
    Copy a = A();
    EXPECT_EQ(a.Sync(AddressB, Bravo).message,
              QStringLiteral("The other computer runs an older Orvane that sends its "
                             "password unprotected; update it, or turn on \"Allow older "
                             "peers\" in Options."));
    EXPECT_FALSE(older.Got(Lan::CheckPassWord));  // the password never left in the clear
    EXPECT_EQ(a.calendar().NoteCount(), 0);
  }
  Copy a = A(true);
  a.calendar().MergeNote(Event(QStringLiteral("A's")));
  EXPECT_TRUE(a.Sync(AddressB, Bravo).complete);
  EXPECT_EQ(Events(a.calendar()).count(QStringLiteral("Old's")), 1u);
  EXPECT_TRUE(older.Got(*Lan::NoteMessage(a.calendar().NoteArray[0])));  // pushed in the clear, as it expects
}

}  // namespace
