// The handling of single LAN datagrams, without sockets: the password check and the sealed
// messages after it, who is answered, what is merged, and what is dropped — including what
// an eavesdropper can do with an exchange it recorded.
#include "network/lanprotocol.h"
#include "core/bytestream.h"
#include "core/clock.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

const QString Peer = QStringLiteral("10.0.0.7"), Stranger = QStringLiteral("10.0.0.9"),
              Passive = QStringLiteral("10.0.0.1");

TNote Event(const QString& title, TDateTime modified) {
  TNote note;
  note.Title = title;
  note.StartDate = D(2024, 3, 1);
  note.StartTime = EncodeTime(9, 0, 0);
  note.ModifyDate = modified;
  return note;
}

QByteArray NoteBytes(const QString& title, TDateTime modified = 2) { return *Lan::NoteMessage(Event(title, modified)); }

// Keys are slow to derive on purpose: every protocol of the tests shares one cache per password.
std::shared_ptr<Lan::KeyCache> Keys(const QString& password) {
  static std::map<QString, std::shared_ptr<Lan::KeyCache>> caches;
  auto& cache = caches[password];
  if (!cache) cache = std::make_shared<Lan::KeyCache>();
  return cache;
}

// The other side of an exchange: an active copy with its own calendar.
struct ActivePeer {
  explicit ActivePeer(const QString& password = QStringLiteral("secret"))
      : protocol(calendar, 30000, Keys(password)), password(password) {}
  LanEvents Take(const LanEvents& passiveEvents) {
    LanEvents last;
    for (const LanReply& reply : passiveEvents.replies) last = Answer(reply.bytes);
    return last;
  }
  LanEvents Answer(const QByteArray& bytes, const QString& from = Passive) {
    return protocol.Handle(bytes, from, {}, 0);
  }
  QByteArray Hello() { return protocol.BeginExchange(Passive, password).at(0); }
  FixedClock clock{DT(2024, 3, 1, 9, 0)};
  DataFormat calendar{clock};
  LanProtocol protocol;
  QString password;
};

class LanProtocolTest : public ::testing::Test {
 protected:
  LanEvents Handle(const QByteArray& bytes, const QString& sender = Peer, qint64 now = 0) {
    return protocol_.Handle(bytes, sender, identity_, now);
  }
  // The whole password check between the active peer at the sender's address and us; every
  // datagram that passed is kept in the transcript. Gives the acceptance it ended with.
  LanEvents Check(ActivePeer& active, const QString& sender = Peer, qint64 now = 0) {
    transcript_.push_back(active.Hello());
    const LanEvents challenge = Handle(transcript_.back(), sender, now);
    if (challenge.replies.size() != 1 || !challenge.replies[0].bytes.startsWith(Lan::ChallengeWord)) return challenge;
    const LanEvents proof = active.Take(challenge);
    if (proof.replies.size() != 1) return proof;
    transcript_.push_back(proof.replies[0].bytes);
    const LanEvents accepted = Handle(proof.replies[0].bytes, sender, now);
    active.Take(accepted);
    return accepted;
  }
  void Authenticate(ActivePeer& active, const QString& sender = Peer, qint64 now = 0) {
    ASSERT_TRUE(Only(Check(active, sender, now)).startsWith(Lan::ProvenWord));
    ASSERT_TRUE(active.protocol.ExchangeAccepted());
  }
  // A request of the active peer, sealed for us; what the active side makes of our answer.
  LanEvents Request(ActivePeer& active, const QByteArray& inner, const QString& sender = Peer, qint64 now = 0) {
    const QByteArray sealed = active.protocol.Outgoing(inner);
    transcript_.push_back(sealed);
    lastPassive_ = Handle(sealed, sender, now);
    return active.Take(lastPassive_);
  }
  // The only reply to the last datagram handled, or nothing.
  static QByteArray Only(const LanEvents& events) {
    return events.replies.size() == 1 ? events.replies[0].bytes : "none";
  }

  FixedClock clock_{DT(2024, 3, 1, 9, 0)};
  DataFormat calendar_{clock_};
  LanProtocol protocol_{calendar_, 30000, Keys(QStringLiteral("secret"))};
  LanProtocol::Identity identity_{QStringLiteral("desk"), QStringLiteral("pat"), QStringLiteral("secret")};
  ActivePeer active_;
  std::vector<QByteArray> transcript_;
  LanEvents lastPassive_;
};

TEST_F(LanProtocolTest, ChallengeAcceptsOnlyTheStoredPasswordWithFreshNonces) {
  ActivePeer wrong(QStringLiteral("Secret"));
  const LanEvents refused = Check(wrong);
  EXPECT_EQ(Only(refused), Lan::Message(Lan::PassFailWord));
  EXPECT_FALSE(refused.lockButtons);
  EXPECT_EQ(wrong.Take(refused).pass, LanEvents::Pass::Refused);
  EXPECT_TRUE(Check(active_).lockButtons);
  EXPECT_TRUE(protocol_.IsAuthenticated(Peer, 0));
  // Each opening and each challenge is fresh; a repeated opening gets the same challenge, so
  // the proof for the first answer still counts.
  const QByteArray first = active_.Hello();
  EXPECT_EQ(first.size(), Lan::WordLength + Lan::NonceBytes);
  EXPECT_NE(first, active_.Hello());
  EXPECT_NE(Only(Handle(first, Stranger)), Only(Handle(first, QStringLiteral("10.0.0.8"))));
  const QByteArray hello = active_.Hello();
  const LanEvents challenge = Handle(hello), again = Handle(hello);
  EXPECT_EQ(Only(again), Only(challenge));
  const LanEvents proof = active_.Take(challenge);
  active_.Take(again);
  EXPECT_TRUE(Handle(Only(proof)).lockButtons);
  // No stored password lets nobody in.
  identity_.password.clear();
  ActivePeer empty{QString()};
  EXPECT_EQ(Only(Handle(empty.Hello(), Stranger)), Lan::Message(Lan::PassFailWord));
}

TEST_F(LanProtocolTest, ForgedReflectedAndRelayedAnswersAreNotTaken) {
  active_.Hello();
  EXPECT_EQ(active_.Answer(Lan::Message(Lan::PassOkWord)).pass, LanEvents::Pass::None);
  // We synchronise with a stranger, who sends our opening back to our passive side, hoping
  // to pass our challenge on to our active side and have it answered there.
  EXPECT_TRUE(Handle(protocol_.BeginExchange(Stranger, QStringLiteral("secret"))[0], Stranger).replies.empty());
  const LanEvents challenge = Handle(active_.Hello());
  EXPECT_TRUE(active_.Answer(Only(challenge), Stranger).replies.empty());
  const LanEvents accepted = Handle(Only(active_.Take(challenge)));
  // Someone without the password answers in our peer's name, or relays the acceptance.
  EXPECT_EQ(active_.Answer(Lan::Message(Lan::ProvenWord, QByteArray(Lan::ProofBytes, 'x'))).pass,
            LanEvents::Pass::None);
  EXPECT_EQ(active_.Answer(Only(accepted), Stranger).pass, LanEvents::Pass::None);
  EXPECT_FALSE(active_.protocol.ExchangeAccepted());
  EXPECT_EQ(active_.Take(accepted).pass, LanEvents::Pass::Accepted);
  // Our peer's answer to our count request, relayed by a stranger, is not taken either.
  const LanEvents answer = Handle(active_.protocol.Outgoing(Lan::Message(Lan::TodoCntWord)));
  EXPECT_FALSE(active_.Answer(Only(answer), Stranger).replied);
  EXPECT_EQ(active_.Take(answer).remoteToDoCount, 0u);
  active_.protocol.EndExchange();
  EXPECT_FALSE(active_.Take(Handle(active_.protocol.Outgoing(Lan::Message(Lan::TodoCntWord)))).replied);
}

TEST_F(LanProtocolTest, ReplayedExchangeOrDatagramGivesNothing) {
  calendar_.MergeNote(Event(QStringLiteral("Confidential dentist"), 1));
  Authenticate(active_);
  EXPECT_EQ(Request(active_, Lan::Message(Lan::NoteCntWord)).remoteNoteCount, 1u);
  EXPECT_EQ(Request(active_, Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(0))).merged, 1);
  // What went back is sealed: the title is nowhere in the answer.
  EXPECT_FALSE(Only(lastPassive_).contains("Confidential"));
  // Sealed datagrams open once and only in rising order.
  const QByteArray first = active_.protocol.Outgoing(NoteBytes(QStringLiteral("First")));
  const QByteArray second = active_.protocol.Outgoing(NoteBytes(QStringLiteral("Second")));
  transcript_.push_back(second);
  EXPECT_EQ(Handle(second).merged, 1);
  EXPECT_EQ(Handle(second).merged, 0);
  EXPECT_EQ(Handle(first).merged, 0);
  Request(active_, Lan::Message(Lan::SyncDoneWord));
  ASSERT_EQ(calendar_.NoteCount(), 2);
  // The whole transcript again, from another address and then from the peer's own.
  for (const QString& sender : {Stranger, Peer}) {
    std::vector<QByteArray> answers;
    for (const QByteArray& datagram : transcript_) {
      for (const LanReply& reply : Handle(datagram, sender, 100).replies) answers.push_back(reply.bytes);
    }
    // The replayed opening gets a fresh challenge; the old proof does not answer it.
    ASSERT_EQ(answers.size(), 2u) << sender.toStdString();
    EXPECT_TRUE(answers[0].startsWith(Lan::ChallengeWord));
    EXPECT_EQ(answers[1], Lan::Message(Lan::PassFailWord));
    EXPECT_FALSE(protocol_.IsAuthenticated(sender, 100));
  }
  EXPECT_EQ(calendar_.NoteCount(), 2);
}

QByteArray Flip(QByteArray bytes, qsizetype at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
  return bytes;
}

// Requests and records in the clear, sealed datagrams that were damaged or forged, and sealed
// ones that open but do not parse: from a stranger and from a peer that passed the check alike,
// each gets nothing and changes nothing.
struct BadDatagram {
  const char* name;
  std::function<QByteArray(LanProtocol& active)> make;
};

class LanBadDatagram : public LanProtocolTest, public ::testing::WithParamInterface<BadDatagram> {};

TEST_P(LanBadDatagram, IsIgnored) {
  calendar_.MergeNote(Event(QStringLiteral("Kept"), 1));
  Authenticate(active_);
  const QByteArray datagram = GetParam().make(active_.protocol);
  for (const QString& sender : {Stranger, Peer}) {
    const LanEvents events = Handle(datagram, sender);
    EXPECT_TRUE(events.replies.empty()) << sender.toStdString();
    EXPECT_EQ(events.merged, 0);
  }
  EXPECT_EQ(calendar_.NoteCount(), 1);
  EXPECT_EQ(calendar_.ToDoCount(), 0);
}

BadDatagram Plain(const char* name, const QByteArray& bytes) {
  return {name, [bytes](LanProtocol&) { return bytes; }};
}
BadDatagram Sealed(const char* name, const QByteArray& inner) {
  return {name, [inner](LanProtocol& a) { return a.Outgoing(inner); }};
}
BadDatagram Damaged(const char* name, QByteArray (*damage)(QByteArray)) {
  return {name, [damage](LanProtocol& a) { return damage(a.Outgoing(NoteBytes(QStringLiteral("Pushed")))); }};
}
QByteArray Task(const QString& title) {
  TToDo todo;
  todo.Title = title;
  return *Lan::ToDoMessage(todo);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lan, LanBadDatagram, ::testing::Values(
    Plain("NoteCount", Lan::Message(Lan::NoteCntWord)),
    Plain("GetToDo", Lan::Message(Lan::GetTodoWord, Lan::IndexBytes(0))),
    Plain("PushedEvent", NoteBytes(QStringLiteral("Intruder"), 5)),
    Plain("PushedTask", Task(QStringLiteral("Intruder"))),
    Plain("SyncDone", Lan::Message(Lan::SyncDoneWord)),
    Plain("AnswerNotAsked", Lan::Message(Lan::RNoteCntWord, "5")),
    Plain("ProofWithoutChallenge", Lan::Message(Lan::ProofWord, QByteArray(32, 'p'))),
    Damaged("FlippedContent", [](QByteArray b) { return Flip(b, b.size() - 20); }),
    Damaged("FlippedTag", [](QByteArray b) { return Flip(b, b.size() - 1); }),
    Damaged("FlippedCounter", [](QByteArray b) { return Flip(b, Lan::WordLength); }),
    Damaged("Truncated", [](QByteArray b) { return b.chopped(1); }),
    Damaged("HeaderOnly", [](QByteArray b) { return b.left(Lan::WordLength + Lan::CounterBytes + Lan::TagBytes); }),
    Damaged("WordAlone", [](QByteArray) { return Lan::Message(Lan::SealedWord); }),
    Damaged("RandomBody", [](QByteArray b) { return Lan::Message(Lan::SealedWord, QByteArray(b.size() - 10, 'Z')); }),
    Sealed("UnknownWord", "OVWhatever"),
    Sealed("IndexMissing", Lan::Message(Lan::GetNoteWord)),
    Sealed("IndexTooLong", Lan::Message(Lan::GetNoteWord, "12345")),
    Sealed("ShortEvent", NoteBytes(QStringLiteral("Cut")).chopped(1)),
    Sealed("EventWithTrailingBytes", NoteBytes(QStringLiteral("Long")) + "x"),
    Sealed("ShortTask", Task(QStringLiteral("Cut")).chopped(3)),
    Sealed("HugeStringLength", Lan::Message(Lan::SendTodoWord, QByteArray("\xff\xff\xff\x7f", 4)))),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(LanProtocolTest, RepeatedFailuresLockTheAddressOutForAGrowingTime) {
  ActivePeer guesser(QStringLiteral("guess"));
  for (int i = 0; i < Lan::FreeFailures; ++i)
    EXPECT_EQ(Only(Check(guesser, Peer, 1000)), Lan::Message(Lan::PassFailWord));
  // Locked out: even the right password gets only the time to wait, and no challenge.
  const LanEvents locked = Check(active_, Peer, 2000);
  EXPECT_EQ(Only(locked), Lan::Message(Lan::PassWaitWord, "4"));
  EXPECT_EQ(active_.Take(locked).lockedOutSeconds, 4);
  EXPECT_FALSE(active_.protocol.ExchangeAccepted());
  // Another address is not held up.
  ActivePeer other;
  Authenticate(other, Stranger, 2000);
  // After the lock-out one more failure locks it out twice as long.
  EXPECT_EQ(protocol_.LockedOutMs(Peer, 1000 + Lan::FirstLockoutMs), 0);
  Check(guesser, Peer, 1000 + Lan::FirstLockoutMs);
  EXPECT_EQ(protocol_.LockedOutMs(Peer, 1000 + Lan::FirstLockoutMs), 2 * Lan::FirstLockoutMs);
  // Twenty thousand guesses in a row get three answers and nothing else.
  ActivePeer flood(QStringLiteral("flood"));
  int refusals = 0;
  for (int i = 0; i < 20000; ++i)
    refusals += Only(Check(flood, QStringLiteral("10.0.0.66"), 50000 + i / 10)) == Lan::Message(Lan::PassFailWord);
  EXPECT_EQ(refusals, Lan::FreeFailures);
  // A success clears the record.
  Authenticate(active_, Peer, 1000 + 3 * Lan::FirstLockoutMs);
  EXPECT_EQ(protocol_.LockedOutMs(Peer, 1000 + 3 * Lan::FirstLockoutMs), 0);
}

TEST_F(LanProtocolTest, OlderCheckIsRefusedUnlessOlderPeersAreAllowed) {
  calendar_.MergeNote(Event(QStringLiteral("Mine"), 1));
  const QByteArray olderCheck = Lan::Message(Lan::CheckPassWord, Lan::PasswordDigest(QStringLiteral("secret")));
  const LanEvents refused = Handle(olderCheck);
  EXPECT_EQ(Only(refused), Lan::Message(Lan::PassFailWord));
  EXPECT_TRUE(refused.refusedOlder);
  EXPECT_TRUE(Handle(Lan::Message(Lan::NoteCntWord)).replies.empty());
  identity_.allowOlder = true;
  EXPECT_EQ(Only(Handle(olderCheck)), Lan::Message(Lan::PassOkWord));
  EXPECT_EQ(Only(Handle(Lan::Message(Lan::NoteCntWord))), Lan::Message(Lan::RNoteCntWord, "1"));
  // Turned off again, the older peer is no longer served.
  identity_.allowOlder = false;
  EXPECT_TRUE(Handle(Lan::Message(Lan::NoteCntWord)).replies.empty());
}

TEST_F(LanProtocolTest, ActiveSideFallsBackToTheOlderCheckOnlyWhenAskedAndDropsAnswersThatDoNotParse) {
  active_.Hello();
  // An older copy answers the discovery and not the challenge.
  EXPECT_TRUE(active_.Answer(Lan::Message(Lan::AnnounceWord, "old kim")).olderPeer);
  EXPECT_EQ(active_.protocol.BeginOlderCheck(QStringLiteral("secret")),
            Lan::Message(Lan::CheckPassWord, "5ebe2294ecd0e0f08eab7690d2a6ee69"));
  EXPECT_EQ(active_.Answer(Lan::Message(Lan::PassOkWord)).pass, LanEvents::Pass::Accepted);
  EXPECT_EQ(active_.protocol.Outgoing(Lan::Message(Lan::NoteCntWord)), Lan::Message(Lan::NoteCntWord));
  // Answers that do not parse leave the active side waiting (sealed ones share the same reading).
  Lan::Session stranger;
  for (const QByteArray& bad :
       {Lan::Message(Lan::RNoteCntWord, "12a"), Lan::Message(Lan::RTodoCntWord),
        Lan::Message(Lan::RNoteCntWord, "99999999999"), NoteBytes(QStringLiteral("Cut")).chopped(1),
        Lan::Seal(stranger, Lan::Message(Lan::RNoteCntWord, "3"))}) {
    const LanEvents events = active_.Answer(bad);
    EXPECT_FALSE(events.replied || events.remoteNoteCount || events.remoteToDoCount || events.merged) << bad.data();
  }
  EXPECT_EQ(active_.calendar.NoteCount(), 0);
  EXPECT_EQ(active_.Answer(Lan::Message(Lan::RNoteCntWord, "7")).remoteNoteCount, 7u);
}

TEST_F(LanProtocolTest, AuthenticatedPeerIsServedUntilSyncDoneOrSilence) {
  EXPECT_FALSE(protocol_.Serving(0));
  Authenticate(active_);
  EXPECT_TRUE(Request(active_, Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(0))).replied);  // no such record
  EXPECT_EQ(Request(active_, NoteBytes(QStringLiteral("Theirs"))).merged, 0);
  EXPECT_EQ(lastPassive_.merged, 1);
  // Every datagram restarts the spell of silence.
  EXPECT_TRUE(Request(active_, Lan::Message(Lan::NoteCntWord), Peer, 30000).replied);
  EXPECT_TRUE(Request(active_, Lan::Message(Lan::NoteCntWord), Peer, 60000).replied);
  EXPECT_TRUE(protocol_.Serving(90000));
  EXPECT_TRUE(Request(active_, Lan::Message(Lan::SyncDoneWord), Peer, 60000).replied);
  EXPECT_TRUE(lastPassive_.unlockButtons);
  EXPECT_FALSE(protocol_.Serving(60000));
  EXPECT_FALSE(Request(active_, Lan::Message(Lan::NoteCntWord), Peer, 60000).replied);
  ActivePeer silent;
  Authenticate(silent, Stranger, 1000);
  EXPECT_TRUE(protocol_.Serving(31000));
  EXPECT_FALSE(protocol_.Serving(31001));
  EXPECT_FALSE(Request(silent, Lan::Message(Lan::NoteCntWord), Stranger, 1000 + 30001).replied);
}

TEST_F(LanProtocolTest, RecordsCarryTheirIdentityOnlyToPeersThatAskForIt) {
  TNote mine = Event(QStringLiteral("Mine"), 0.5);
  mine.Uid = QStringLiteral("mine@desk");
  calendar_.NoteArray[calendar_.AppendNote()] = mine;
  // A copy that does not ask gets the bare count and the record as older copies read it.
  ActivePeer older;
  Authenticate(older);
  EXPECT_EQ(Request(older, Lan::Message(Lan::NoteCntWord)).remoteNoteCount, 1u);
  EXPECT_FALSE(older.protocol.PeerTakesExtras());
  EXPECT_EQ(Request(older, Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(0))).merged, 1);
  EXPECT_EQ(older.calendar.NoteArray.at(0).Uid, DerivedUid(mine));
  // One that asks is told yes, and gets the record with its identity.
  Authenticate(active_, Stranger);
  EXPECT_EQ(Request(active_, Lan::Message(Lan::NoteCntWord, Lan::ExtrasAsk), Stranger).remoteNoteCount, 1u);
  EXPECT_TRUE(active_.protocol.PeerTakesExtras());
  EXPECT_EQ(Request(active_, Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(0)), Stranger).merged, 1);
  EXPECT_EQ(active_.calendar.NoteArray.at(0).Uid, "mine@desk");

  // Records sent with their identity are merged with it; one whose tail does not read is
  // not merged at all.
  TNote theirs = Event(QStringLiteral("Theirs"), 0.5);
  theirs.Uid = QStringLiteral("theirs@laptop");
  Request(active_, *Lan::NoteMessage(theirs, true), Stranger);
  EXPECT_EQ(lastPassive_.merged, 1);
  EXPECT_EQ(calendar_.NoteArray.back().Uid, "theirs@laptop");
  QByteArray damaged = *Lan::NoteMessage(Event(QStringLiteral("Broken"), 0.5), true);
  damaged.chop(1);
  Request(active_, damaged, Stranger);
  EXPECT_EQ(lastPassive_.merged, 0);
  EXPECT_EQ(calendar_.NoteCount(), 2);
}

TEST_F(LanProtocolTest, DiscoveryIsAnsweredAndABoundedListOfAnnouncementsKeptOnlyWhileSyncIsOn) {
  const LanEvents events = Handle(Lan::Message(Lan::DiscWord), Stranger);
  EXPECT_EQ(Only(events), Lan::Message(Lan::AnnounceWord, "desk pat"));
  EXPECT_EQ(events.replies.at(0).address, Stranger);
  EXPECT_TRUE(Handle(Lan::Message(Lan::AnnounceWord, "laptop kim"), Peer).systemsChanged);
  Handle(Lan::Message(Lan::AnnounceWord, "study lee smith"), Stranger);
  EXPECT_EQ(protocol_.Systems()[1], (TSystem{Stranger, QStringLiteral("study"), QStringLiteral("lee smith")}));
  const QByteArray huge = QByteArray(30000, 'n') + ' ' + QByteArray(30000, 'u');
  for (int i = 0; i < 3000; ++i)
    Handle(Lan::Message(Lan::AnnounceWord, huge), QStringLiteral("10.1.%1.%2").arg(i / 250).arg(i % 250));
  ASSERT_EQ(protocol_.Systems().size(), size_t(Lan::MaxSystems));
  EXPECT_EQ(protocol_.Systems().back().Name.size(), Lan::MaxNameLength);
  EXPECT_EQ(protocol_.Systems().back().User.size(), Lan::MaxNameLength);
  // A listed address still has its entry replaced.
  Handle(Lan::Message(Lan::AnnounceWord, "laptop2 kim"), Stranger);
  EXPECT_EQ(protocol_.Systems()[1].Name, QStringLiteral("laptop2"));
  identity_.enabled = false;
  EXPECT_TRUE(Handle(Lan::Message(Lan::DiscWord)).replies.empty());
  EXPECT_TRUE(Handle(active_.Hello()).replies.empty());
  EXPECT_FALSE(Handle(Lan::Message(Lan::AnnounceWord, "laptop kim"), Peer).systemsChanged);
}

TEST_F(LanProtocolTest, IndicesBeyondTwoBytesTravelInFourAndRecordsTooLargeForADatagramAreNotWritten) {
  EXPECT_EQ(Lan::IndexBytes(0x0102), QByteArray("\x02\x01", 2));
  EXPECT_EQ(Lan::IndexBytes(0x10002), QByteArray("\x02\x00\x01\x00", 4));
  TNote note = Event(QStringLiteral("Long notes"), 1);
  note.Notes = QString(Lan::MaxMessage - 10 - (4 * 4 + 98 + 8) - 10, QLatin1Char('x'));
  const std::optional<QByteArray> fits = Lan::NoteMessage(note);
  ASSERT_TRUE(fits.has_value());
  EXPECT_EQ(fits->size(), Lan::MaxMessage);
  Lan::Session session;
  EXPECT_EQ(Lan::Seal(session, *fits).size(), Lan::MaxDatagram);
  note.Notes += QLatin1Char('x');
  EXPECT_FALSE(Lan::NoteMessage(note).has_value());
  calendar_.MergeNote(note);
  for (int i = 0; i < 3; ++i) calendar_.MergeNote(Event(QStringLiteral("E%1").arg(i), 1));
  Authenticate(active_);
  // Asked for, the one too large is answered as missing.
  EXPECT_TRUE(Request(active_, Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(0))).replied);
  EXPECT_EQ(active_.calendar.NoteCount(), 0);
  // One byte is read as it stands.
  EXPECT_EQ(Request(active_, Lan::Message(Lan::GetNoteWord, QByteArray("\x03", 1))).merged, 1);
  EXPECT_EQ(active_.calendar.NoteArray.at(0).Title, QStringLiteral("E2"));
}

}  // namespace
