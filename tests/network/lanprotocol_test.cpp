// The handling of single LAN datagrams, without sockets: who is answered, what is merged,
// and what is dropped.
#include "core/bytestream.h"
#include "core/clock.h"
#include "network/lanprotocol.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

const QString Peer = QStringLiteral("10.0.0.7");
const QString Stranger = QStringLiteral("10.0.0.9");

TNote Event(const QString& title, TDateTime modified) {
  TNote note;
  note.Title = title;
  note.StartDate = D(2024, 3, 1);
  note.StartTime = EncodeTime(9, 0, 0);
  note.ModifyDate = modified;
  return note;
}

class LanProtocolTest : public ::testing::Test {
 protected:
  LanProtocolTest() {
    identity_.computerName = QStringLiteral("desk");
    identity_.user = QStringLiteral("pat");
    identity_.password = QStringLiteral("secret");
  }
  LanEvents Handle(const QByteArray& bytes, const QString& sender = Peer, qint64 now = 0) {
    return protocol_.Handle(bytes, sender, identity_, now);
  }
  void Authenticate(const QString& sender = Peer, qint64 now = 0) {
    const LanEvents events = Handle(Lan::Message(Lan::CheckPassWord, Lan::PasswordDigest(QStringLiteral("secret"))), sender, now);
    ASSERT_EQ(events.replies.size(), 1u);
    ASSERT_EQ(events.replies[0].bytes, Lan::Message(Lan::PassOkWord));
  }

  FixedClock clock_{DT(2024, 3, 1, 9, 0)};
  DataFormat calendar_{clock_};
  LanProtocol protocol_{calendar_, 30000};
  LanProtocol::Identity identity_;
};

TEST_F(LanProtocolTest, PasswordCheckAcceptsOnlyTheDigestOfTheStoredPassword) {
  EXPECT_EQ(Lan::PasswordDigest(QStringLiteral("secret")), QByteArray("5ebe2294ecd0e0f08eab7690d2a6ee69"));
  LanEvents wrong = Handle(Lan::Message(Lan::CheckPassWord, Lan::PasswordDigest(QStringLiteral("Secret"))));
  ASSERT_EQ(wrong.replies.size(), 1u);
  EXPECT_EQ(wrong.replies[0].bytes, Lan::Message(Lan::PassFailWord));
  EXPECT_EQ(wrong.replies[0].address, Peer);
  EXPECT_FALSE(wrong.lockButtons);
  Authenticate();
}

TEST_F(LanProtocolTest, NoStoredPasswordLetsNobodyIn) {
  identity_.password.clear();
  const LanEvents events = Handle(Lan::Message(Lan::CheckPassWord, Lan::PasswordDigest(QString())));
  ASSERT_EQ(events.replies.size(), 1u);
  EXPECT_EQ(events.replies[0].bytes, Lan::Message(Lan::PassFailWord));
}

struct RequestCase {
  const char* name;
  QByteArray datagram;
};

// Requests and records from an address that did not pass the check get nothing and change nothing.
class UnauthenticatedRequest : public LanProtocolTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(UnauthenticatedRequest, IsIgnored) {
  calendar_.MergeNote(Event(QStringLiteral("Kept"), 1));
  Authenticate(Peer);
  const LanEvents events = Handle(GetParam().datagram, Stranger);
  EXPECT_TRUE(events.replies.empty());
  EXPECT_EQ(events.merged, 0);
  EXPECT_EQ(calendar_.NoteCount(), 1);
  EXPECT_EQ(calendar_.ToDoCount(), 0);
}

TToDo NamedTask(const QString& title) {
  TToDo todo;
  todo.Title = title;
  return todo;
}

QByteArray NoteBytes(const TNote& note) { return *Lan::NoteMessage(note); }

INSTANTIATE_TEST_SUITE_P(
    Lan, UnauthenticatedRequest,
    ::testing::Values(RequestCase{"NoteCount", Lan::Message(Lan::NoteCntWord)},
                      RequestCase{"ToDoCount", Lan::Message(Lan::TodoCntWord)},
                      RequestCase{"GetNote", Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(0))},
                      RequestCase{"GetToDo", Lan::Message(Lan::GetTodoWord, Lan::IndexBytes(0))},
                      RequestCase{"PushedEvent", NoteBytes(Event(QStringLiteral("Intruder"), 5))},
                      RequestCase{"PushedTask", *Lan::ToDoMessage(NamedTask(QStringLiteral("Intruder")))},
                      RequestCase{"SyncDone", Lan::Message(Lan::SyncDoneWord)},
                      RequestCase{"AnswerNotAsked", Lan::Message(Lan::RNoteCntWord, "5")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LanProtocolTest, AuthenticatedPeerIsServedUntilSyncDone) {
  calendar_.MergeNote(Event(QStringLiteral("Mine"), 1));
  Authenticate();
  LanEvents count = Handle(Lan::Message(Lan::NoteCntWord));
  ASSERT_EQ(count.replies.size(), 1u);
  EXPECT_EQ(count.replies[0].bytes, Lan::Message(Lan::RNoteCntWord, "1"));
  LanEvents record = Handle(Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(0)));
  ASSERT_EQ(record.replies.size(), 1u);
  EXPECT_EQ(record.replies[0].bytes, NoteBytes(calendar_.NoteArray[0]));
  LanEvents beyond = Handle(Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(1)));
  ASSERT_EQ(beyond.replies.size(), 1u);
  EXPECT_EQ(beyond.replies[0].bytes, Lan::Message(Lan::DataAckWord));
  LanEvents pushed = Handle(NoteBytes(Event(QStringLiteral("Theirs"), 2)));
  EXPECT_EQ(pushed.merged, 1);
  EXPECT_EQ(calendar_.NoteCount(), 2);

  LanEvents done = Handle(Lan::Message(Lan::SyncDoneWord));
  ASSERT_EQ(done.replies.size(), 1u);
  EXPECT_EQ(done.replies[0].bytes, Lan::Message(Lan::DataAckWord));
  EXPECT_TRUE(done.unlockButtons);
  EXPECT_TRUE(Handle(Lan::Message(Lan::NoteCntWord)).replies.empty());
}

TEST_F(LanProtocolTest, SilenceEndsTheAuthentication) {
  Authenticate(Peer, 1000);
  EXPECT_EQ(Handle(Lan::Message(Lan::NoteCntWord), Peer, 1000 + 30000).replies.size(), 1u);
  // Every datagram restarts the spell.
  EXPECT_EQ(Handle(Lan::Message(Lan::NoteCntWord), Peer, 1000 + 60000).replies.size(), 1u);
  EXPECT_TRUE(Handle(Lan::Message(Lan::NoteCntWord), Peer, 1000 + 90001).replies.empty());
}

TEST_F(LanProtocolTest, ServingLastsFromTheAcceptedCheckToTheEndOrSilence) {
  EXPECT_FALSE(protocol_.Serving(0));
  Authenticate(Peer, 0);
  EXPECT_TRUE(protocol_.Serving(30000));
  EXPECT_FALSE(protocol_.Serving(30001));
  Handle(Lan::Message(Lan::SyncDoneWord), Peer, 100);
  EXPECT_FALSE(protocol_.Serving(100));
}

TEST_F(LanProtocolTest, DiscoveryIsAnsweredWithNameAndUserWhileSyncIsOn) {
  const LanEvents events = Handle(Lan::Message(Lan::DiscWord), Stranger);
  ASSERT_EQ(events.replies.size(), 1u);
  EXPECT_EQ(events.replies[0].address, Stranger);
  EXPECT_EQ(events.replies[0].bytes, Lan::Message(Lan::AnnounceWord, "desk pat"));
  identity_.enabled = false;
  EXPECT_TRUE(Handle(Lan::Message(Lan::DiscWord)).replies.empty());
  EXPECT_TRUE(Handle(Lan::Message(Lan::CheckPassWord, Lan::PasswordDigest(QStringLiteral("secret")))).replies.empty());
}

TEST_F(LanProtocolTest, AnnouncementsFillTheListOncePerAddressAndNeverThisCopy) {
  EXPECT_FALSE(Handle(Lan::Message(Lan::AnnounceWord, "desk pat"), Peer).systemsChanged);
  EXPECT_TRUE(Handle(Lan::Message(Lan::AnnounceWord, "laptop kim"), Peer).systemsChanged);
  Handle(Lan::Message(Lan::AnnounceWord, "study lee smith"), Stranger);
  Handle(Lan::Message(Lan::AnnounceWord, "laptop2 kim"), Peer);
  ASSERT_EQ(protocol_.Systems().size(), 2u);
  EXPECT_EQ(protocol_.Systems()[0], (TSystem{Peer, QStringLiteral("laptop2"), QStringLiteral("kim")}));
  EXPECT_EQ(protocol_.SystemLines(), (QStringList{QStringLiteral("laptop2 (kim)"), QStringLiteral("study (lee smith)")}));
}

// Datagrams that do not parse are dropped, on either side, and the calendar stays as it was.
class UnparsableDatagram : public LanProtocolTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(UnparsableDatagram, IsDropped) {
  calendar_.MergeNote(Event(QStringLiteral("Kept"), 1));
  Authenticate();
  protocol_.BeginExchange(Peer);
  Handle(Lan::Message(Lan::PassOkWord));
  ASSERT_TRUE(protocol_.ExchangeAccepted());
  const LanEvents events = Handle(GetParam().datagram);
  EXPECT_TRUE(events.replies.empty());
  EXPECT_FALSE(events.replied);
  EXPECT_FALSE(events.remoteNoteCount.has_value());
  EXPECT_EQ(events.merged, 0);
  EXPECT_EQ(calendar_.NoteCount(), 1);
  EXPECT_EQ(calendar_.ToDoCount(), 0);
}

QByteArray Truncated(QByteArray bytes, int drop) {
  bytes.chop(drop);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Lan, UnparsableDatagram,
    ::testing::Values(RequestCase{"ShortWord", QByteArray("OVNoteCnt")},
                      RequestCase{"UnknownWord", QByteArray("OVWhatever")},
                      RequestCase{"CountNotANumber", Lan::Message(Lan::RNoteCntWord, "12a")},
                      RequestCase{"CountEmpty", Lan::Message(Lan::RTodoCntWord)},
                      RequestCase{"CountTooLarge", Lan::Message(Lan::RNoteCntWord, "99999999999")},
                      RequestCase{"IndexMissing", Lan::Message(Lan::GetNoteWord)},
                      RequestCase{"IndexTooLong", Lan::Message(Lan::GetNoteWord, "12345")},
                      RequestCase{"ShortEvent", Truncated(NoteBytes(Event(QStringLiteral("Cut"), 2)), 1)},
                      RequestCase{"EventWithTrailingBytes", NoteBytes(Event(QStringLiteral("Long"), 2)) + "x"},
                      RequestCase{"ShortTask", Truncated(*Lan::ToDoMessage(NamedTask(QStringLiteral("Cut"))), 3)},
                      RequestCase{"HugeStringLength", Lan::Message(Lan::SendTodoWord, QByteArray("\xff\xff\xff\x7f", 4))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LanProtocolTest, ActiveSideTakesAnswersOnlyFromThePeerThatAcceptedIt) {
  protocol_.BeginExchange(Peer);
  EXPECT_EQ(Handle(Lan::Message(Lan::PassOkWord), Stranger).pass, LanEvents::Pass::None);
  // Before the check is accepted, records from the peer itself are not taken either.
  EXPECT_EQ(Handle(NoteBytes(Event(QStringLiteral("Early"), 2)), Peer).merged, 0);
  EXPECT_EQ(Handle(Lan::Message(Lan::PassOkWord), Peer).pass, LanEvents::Pass::Accepted);
  EXPECT_EQ(Handle(NoteBytes(Event(QStringLiteral("Forged"), 2)), Stranger).merged, 0);
  const LanEvents count = Handle(Lan::Message(Lan::RTodoCntWord, "42"), Peer);
  EXPECT_EQ(count.remoteToDoCount, 42u);
  EXPECT_TRUE(count.replied);
  const LanEvents record = Handle(NoteBytes(Event(QStringLiteral("Answer"), 2)), Peer);
  EXPECT_EQ(record.merged, 1);
  EXPECT_TRUE(record.replied);
  ASSERT_EQ(calendar_.NoteCount(), 1);
  EXPECT_EQ(calendar_.NoteArray[0].Title, QStringLiteral("Answer"));
  protocol_.EndExchange();
  EXPECT_EQ(Handle(NoteBytes(Event(QStringLiteral("Late"), 2)), Peer).merged, 0);
}

TEST_F(LanProtocolTest, IndicesBeyondTwoBytesTravelInFour) {
  EXPECT_EQ(Lan::IndexBytes(0x0102), QByteArray("\x02\x01", 2));
  EXPECT_EQ(Lan::IndexBytes(0x10002), QByteArray("\x02\x00\x01\x00", 4));
  for (int i = 0; i < 3; ++i) calendar_.MergeNote(Event(QStringLiteral("E%1").arg(i), 1));
  Authenticate();
  // One byte is read as it stands.
  const LanEvents events = Handle(Lan::Message(Lan::GetNoteWord, QByteArray("\x02", 1)));
  ASSERT_EQ(events.replies.size(), 1u);
  EXPECT_EQ(events.replies[0].bytes, NoteBytes(calendar_.NoteArray[2]));
}

TEST_F(LanProtocolTest, RecordsTooLargeForOneDatagramAreNotWritten) {
  TNote note = Event(QStringLiteral("Long notes"), 1);
  note.Notes = QString(65507 - 10 - (4 * 4 + 98 + 8) - 10, QLatin1Char('x'));
  const std::optional<QByteArray> fits = Lan::NoteMessage(note);
  ASSERT_TRUE(fits.has_value());
  EXPECT_EQ(fits->size(), 65507);
  note.Notes += QLatin1Char('x');
  EXPECT_FALSE(Lan::NoteMessage(note).has_value());
  // Asked for, it is answered as missing.
  calendar_.MergeNote(note);
  Authenticate();
  const LanEvents events = Handle(Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(0)));
  ASSERT_EQ(events.replies.size(), 1u);
  EXPECT_EQ(events.replies[0].bytes, Lan::Message(Lan::DataAckWord));
}

}  // namespace
