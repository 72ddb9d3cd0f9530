#include "network/lanprotocol.h"

#include "core/bytestream.h"

#include <sodium.h>
#include <QCryptographicHash>

namespace {

// The salt both sides know without asking: fixed for the protocol. Each exchange still gets
// keys of its own from both sides' fresh nonces.
constexpr unsigned char KeySalt[crypto_pwhash_SALTBYTES] = {'O', 'r', 'v', 'a', 'n', 'e', ' ', 'L',
                                                            'A', 'N', ' ', 's', 'y', 'n', 'c', '1'};
static_assert(sizeof(KeySalt) == 16);
static_assert(Lan::TagBytes == crypto_aead_xchacha20poly1305_ietf_ABYTES);
static_assert(std::tuple_size_v<Lan::Key> == crypto_aead_xchacha20poly1305_ietf_KEYBYTES);

// Bounds on the passive side's tables, which strangers can make it fill.
constexpr int MaxPending = 32;
constexpr int MaxPeers = 8;
constexpr int MaxFailureRecords = 1024;
// A challenge unanswered this long is forgotten; so is a failure record after a quiet hour.
constexpr qint64 PendingMs = 10000;
constexpr qint64 ForgetFailuresMs = 3600 * 1000;

bool SodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

const unsigned char* Bytes(QByteArrayView bytes) { return reinterpret_cast<const unsigned char*>(bytes.data()); }

// A keyed hash over a label and both nonces: the proofs and the exchange's keys.
Lan::Key Derived(const Lan::Key& key, const char* label, QByteArrayView activeNonce, QByteArrayView passiveNonce) {
  crypto_generichash_state state;
  crypto_generichash_init(&state, key.data(), key.size(), Lan::Key().size());
  crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(label), qstrlen(label) + 1);
  crypto_generichash_update(&state, Bytes(activeNonce), static_cast<unsigned long long>(activeNonce.size()));
  crypto_generichash_update(&state, Bytes(passiveNonce), static_cast<unsigned long long>(passiveNonce.size()));
  Lan::Key out;
  crypto_generichash_final(&state, out.data(), out.size());
  return out;
}

QByteArray ProofBytes(const Lan::Key& proof) {
  return QByteArray(reinterpret_cast<const char*>(proof.data()), static_cast<qsizetype>(proof.size()));
}

bool SameProof(const Lan::Key& expected, QByteArrayView given) {
  return given.size() == Lan::ProofBytes && crypto_verify_32(expected.data(), Bytes(given)) == 0;
}

QByteArray Nonce() {
  QByteArray nonce(Lan::NonceBytes, '\0');
  randombytes_buf(nonce.data(), static_cast<size_t>(nonce.size()));
  return nonce;
}

// The session of an accepted check: the active side sends with one key, the passive with
// the other.
Lan::Session SessionFor(const Lan::Key& key, QByteArrayView activeNonce, QByteArrayView passiveNonce, bool active) {
  Lan::Session session;
  const Lan::Key toPassive = Derived(key, "Orvane active to passive", activeNonce, passiveNonce);
  const Lan::Key toActive = Derived(key, "Orvane passive to active", activeNonce, passiveNonce);
  session.sendKey = active ? toPassive : toActive;
  session.receiveKey = active ? toActive : toPassive;
  return session;
}

Lan::Key ActiveProof(const Lan::Key& key, QByteArrayView a, QByteArrayView p) {
  return Derived(key, "Orvane active proof", a, p);
}
Lan::Key PassiveProof(const Lan::Key& key, QByteArrayView a, QByteArrayView p) {
  return Derived(key, "Orvane passive proof", a, p);
}

void NonceFor(quint64 counter, unsigned char (&nonce)[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES]) {
  std::fill(std::begin(nonce), std::end(nonce), 0);
  for (int i = 0; i < 8; ++i) nonce[i] = static_cast<unsigned char>((counter >> (8 * i)) & 0xFF);
}

}  // namespace

namespace Lan {

QByteArray Message(const char (&word)[11], QByteArrayView payload) {
  QByteArray bytes(word, WordLength);
  bytes.append(payload);
  return bytes;
}

QByteArray PasswordDigest(const QString& password) {
  return QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex();
}

std::optional<Key> DeriveKey(const QString& password) {
  if (!SodiumReady()) return std::nullopt;
  const QByteArray bytes = password.toUtf8();
  Key key;
  if (crypto_pwhash(key.data(), key.size(), bytes.constData(), static_cast<unsigned long long>(bytes.size()), KeySalt,
                    crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
                    crypto_pwhash_ALG_ARGON2ID13) != 0) {
    return std::nullopt;
  }
  return key;
}

const Key* KeyCache::For(const QString& password) {
  if (!key_ || password_ != password) {
    key_ = DeriveKey(password);
    password_ = password;
  }
  return key_ ? &*key_ : nullptr;
}

QByteArray Seal(Lan::Session& session, QByteArrayView inner) {
  if (session.legacy) return inner.toByteArray();
  const quint64 counter = ++session.sent;
  QByteArray out(SealedWord, WordLength);
  for (int i = 0; i < CounterBytes; ++i) out.append(static_cast<char>((counter >> (8 * i)) & 0xFF));
  const qsizetype head = out.size();
  out.resize(head + inner.size() + TagBytes);
  unsigned char nonce[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES];
  NonceFor(counter, nonce);
  unsigned long long length = 0;
  crypto_aead_xchacha20poly1305_ietf_encrypt(reinterpret_cast<unsigned char*>(out.data()) + head, &length, Bytes(inner),
                                             static_cast<unsigned long long>(inner.size()), Bytes(out.first(head)),
                                             static_cast<unsigned long long>(head), nullptr, nonce,
                                             session.sendKey.data());
  return out;
}

std::optional<QByteArray> Open(Lan::Session& session, QByteArrayView datagram) {
  const qsizetype head = WordLength + CounterBytes;
  if (session.legacy || datagram.size() < head + TagBytes + WordLength) return std::nullopt;
  if (datagram.first(WordLength) != QByteArrayView(SealedWord, WordLength)) return std::nullopt;
  quint64 counter = 0;
  for (int i = 0; i < CounterBytes; ++i) counter |= quint64(quint8(datagram[WordLength + i])) << (8 * i);
  // Each counter opens once, in rising order: a replayed or late datagram is dropped.
  if (counter <= session.received) return std::nullopt;
  unsigned char nonce[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES];
  NonceFor(counter, nonce);
  const QByteArrayView sealed = datagram.sliced(head);
  QByteArray inner(sealed.size() - TagBytes, '\0');
  unsigned long long length = 0;
  if (crypto_aead_xchacha20poly1305_ietf_decrypt(reinterpret_cast<unsigned char*>(inner.data()), &length, nullptr,
                                                 Bytes(sealed), static_cast<unsigned long long>(sealed.size()),
                                                 Bytes(datagram.first(head)), static_cast<unsigned long long>(head),
                                                 nonce, session.receiveKey.data()) != 0) {
    return std::nullopt;
  }
  session.received = counter;
  return inner;
}

QByteArray IndexBytes(quint32 index) {
  QByteArray bytes;
  const int length = index <= 0xFFFF ? 2 : 4;
  for (int i = 0; i < length; ++i) bytes.append(static_cast<char>((index >> (8 * i)) & 0xFF));
  return bytes;
}

std::optional<QByteArray> NoteMessage(const TNote& note, bool extras) {
  QByteArray bytes(SendNoteWord, WordLength);
  ByteWriter out(bytes);
  WriteNote(note, out);
  if (extras) WriteExtraValues(out, ExtraValuesOf(note));
  if (bytes.size() > MaxMessage) return std::nullopt;
  return bytes;
}

std::optional<QByteArray> ToDoMessage(const TToDo& todo, bool extras) {
  QByteArray bytes(SendTodoWord, WordLength);
  ByteWriter out(bytes);
  WriteToDo(todo, out);
  if (extras) WriteExtraValues(out, ExtraValuesOf(todo));
  if (bytes.size() > MaxMessage) return std::nullopt;
  return bytes;
}

}  // namespace Lan

namespace {

// A count answer: decimal digits only, and no more than fit in 32 bits.
std::optional<quint32> ParseCount(QByteArrayView payload) {
  if (payload.isEmpty() || payload.size() > 10) return std::nullopt;
  quint64 value = 0;
  for (char c : payload) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + quint64(c - '0');
  }
  if (value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<quint32>(value);
}

// A get request's index: little-endian from the one to four bytes present.
std::optional<quint32> ParseIndex(QByteArrayView payload) {
  if (payload.isEmpty() || payload.size() > 4) return std::nullopt;
  quint32 value = 0;
  for (qsizetype i = 0; i < payload.size(); ++i) value |= quint32(quint8(payload[i])) << (8 * i);
  return value;
}

bool Is(QByteArrayView word, const char (&expected)[11]) { return word == QByteArrayView(expected, Lan::WordLength); }

// A name or user of an announcement, at most MaxNameLength characters: only the bytes that
// can make them are decoded (cut where a character begins).
QString AnnouncedText(QByteArrayView bytes) {
  qsizetype cut = std::min(bytes.size(), 4 * Lan::MaxNameLength);
  while (cut < bytes.size() && cut > 0 && (quint8(bytes[cut]) & 0xC0) == 0x80) --cut;
  return DecodeText(bytes.first(cut)).left(Lan::MaxNameLength);
}

// Drops the entry of a bounded table that was touched longest ago.
template <typename Table, typename Time>
void DropOldest(Table& table, Time time) {
  auto oldest = table.begin();
  for (auto it = table.begin(); it != table.end(); ++it) {
    if (time(*it) < time(*oldest)) oldest = it;
  }
  if (oldest != table.end()) table.erase(oldest);
}

}  // namespace

LanProtocol::LanProtocol(DataFormat& calendar, qint64 peerIdleMs, std::shared_ptr<Lan::KeyCache> keys)
    : calendar_(calendar), peerIdleMs_(peerIdleMs), keys_(keys ? std::move(keys) : std::make_shared<Lan::KeyCache>()) {
  SodiumReady();
}

bool LanProtocol::IsAuthenticated(const QString& address, qint64 nowMs) {
  auto it = peers_.find(address);
  if (it == peers_.end()) return false;
  if (nowMs - it->lastSeen > peerIdleMs_) {
    peers_.erase(it);
    return false;
  }
  return true;
}

qint64 LanProtocol::LockedOutMs(const QString& address, qint64 nowMs) const {
  const auto it = failures_.constFind(address);
  if (it == failures_.cend() || it->lockedUntil <= nowMs) return 0;
  return it->lockedUntil - nowMs;
}

void LanProtocol::RecordFailure(const QString& sender, qint64 nowMs) {
  auto it = failures_.find(sender);
  if (it == failures_.end()) {
    if (failures_.size() >= MaxFailureRecords) DropOldest(failures_, [](const Failures& f) { return f.last; });
    it = failures_.insert(sender, Failures{});
  } else if (nowMs - it->last > ForgetFailuresMs) {
    *it = Failures{};
  }
  it->count += 1;
  it->last = nowMs;
  if (it->count >= Lan::FreeFailures) {
    const int doublings = std::min(it->count - Lan::FreeFailures, 30);
    it->lockedUntil = nowMs + std::min(Lan::FirstLockoutMs << doublings, Lan::LongestLockoutMs);
  }
}

void LanProtocol::Admit(const QString& sender, Lan::Session session, qint64 nowMs) {
  failures_.remove(sender);
  if (!peers_.contains(sender) && peers_.size() >= MaxPeers)
    DropOldest(peers_, [](const Peer& p) { return p.lastSeen; });
  peers_.insert(sender, Peer{session, nowMs});
}

std::vector<QByteArray> LanProtocol::BeginExchange(const QString& address, const QString& password) {
  EndExchange();
  const Lan::Key* key = keys_->For(password);
  if (!key) return {};
  activePeer_ = address;
  activeKey_ = *key;
  activeNonce_ = Nonce();
  activeState_ = Active::Hello;
  return {Lan::Message(Lan::HelloWord, activeNonce_), Lan::Message(Lan::DiscWord)};
}

QByteArray LanProtocol::BeginOlderCheck(const QString& password) {
  activeState_ = Active::OlderCheck;
  return Lan::Message(Lan::CheckPassWord, Lan::PasswordDigest(password));
}

void LanProtocol::EndExchange() {
  activePeer_.clear();
  activeState_ = Active::Idle;
  activeNonce_.clear();
  sodium_memzero(activeKey_.data(), activeKey_.size());
  activeSession_ = Lan::Session{};
}

QByteArray LanProtocol::Outgoing(QByteArrayView inner) {
  if (activeState_ == Active::Accepted) return Lan::Seal(activeSession_, inner);
  return inner.toByteArray();
}

QStringList LanProtocol::SystemLines() const {
  QStringList lines;
  for (const TSystem& system : systems_)
    lines << system.Name + QStringLiteral(" (") + system.User + QStringLiteral(")");
  return lines;
}

bool LanProtocol::MergeRecord(bool note, QByteArrayView payload) {
  ByteReader in(payload);
  // The record, then (from a copy that sends them) its extra values, then nothing.
  ExtraValues extras;
  const auto rest = [&] { return in.remaining() == 0 || (ReadExtraValues(in, extras) && in.remaining() == 0); };
  if (note) {
    TNote record;
    if (!ReadNote(record, in) || !rest()) return false;
    ApplyExtraValues(extras, record);
    calendar_.MergeNote(record);
  } else {
    TToDo record;
    if (!ReadToDo(record, in) || !rest()) return false;
    ApplyExtraValues(extras, record);
    calendar_.MergeToDo(record);
  }
  return true;
}

void LanProtocol::HandleAnnounce(QByteArrayView payload, const QString& sender, const Identity& identity,
                                 LanEvents& events) {
  // Anyone can announce anything: nothing is kept while synchronisation is off, and what is
  // kept is bounded in entries and in length.
  if (!identity.enabled) return;
  const qsizetype blank = payload.indexOf(' ');
  const QString name = AnnouncedText(blank < 0 ? payload : payload.first(blank));
  const QString user = blank < 0 ? QString() : AnnouncedText(payload.sliced(blank + 1));
  // Our own answer to our own broadcast: a copy never lists itself.
  if (name == identity.computerName) return;
  auto it = std::find_if(systems_.begin(), systems_.end(), [&](const TSystem& s) { return s.Address == sender; });
  if (it == systems_.end()) {
    // A full list takes newcomers again after the next discovery empties it.
    if (systems_.size() >= static_cast<size_t>(Lan::MaxSystems)) return;
    systems_.push_back(TSystem{});
    it = systems_.end() - 1;
  }
  it->Address = sender;
  it->Name = name;
  it->User = user;
  events.systemsChanged = true;
}

bool LanProtocol::HandleAnswer(QByteArrayView word, QByteArrayView payload, LanEvents& events) {
  if (Is(word, Lan::RNoteCntWord) || Is(word, Lan::RTodoCntWord)) {
    const QByteArray agreed = QByteArray(" ") + Lan::ExtrasAsk;
    if (payload.endsWith(agreed) && activeState_ == Active::Accepted) {
      activeSession_.extras = true;
      payload.chop(agreed.size());
    }
    const std::optional<quint32> count = ParseCount(payload);
    if (!count) return true;
    events.disableActivity = true;
    (Is(word, Lan::RNoteCntWord) ? events.remoteNoteCount : events.remoteToDoCount) = *count;
    events.replied = true;
    return true;
  }
  if (Is(word, Lan::DataAckWord)) {
    events.replied = true;
    return true;
  }
  if (Is(word, Lan::SendNoteWord) || Is(word, Lan::SendTodoWord)) {
    if (!MergeRecord(Is(word, Lan::SendNoteWord), payload)) return true;
    events.disableActivity = true;
    events.merged = 1;
    events.replied = true;
    return true;
  }
  return false;
}

void LanProtocol::HandleHello(QByteArrayView payload, const QString& sender, const Identity& identity, qint64 nowMs,
                              LanEvents& events) {
  const auto reply = [&](QByteArray bytes) { events.replies.push_back(LanReply{sender, std::move(bytes)}); };
  if (payload.size() != Lan::NonceBytes) return;
  // Our own opening reflected back at us: whoever does that wants our active side to prove
  // the password to our passive side for it.
  if (activeState_ != Active::Idle && payload == QByteArrayView(activeNonce_).first(Lan::NonceBytes)) return;
  if (const qint64 locked = LockedOutMs(sender, nowMs)) {
    reply(Lan::Message(Lan::PassWaitWord, QByteArray::number((locked + 999) / 1000)));
    return;
  }
  // No password set: nobody is let in. (The key is not needed yet: the challenge goes out at
  // once, and the slow derivation runs when the proof arrives.)
  if (identity.password.isEmpty()) {
    reply(Lan::Message(Lan::PassFailWord));
    return;
  }
  // The same opening again (the peer did not hear our answer): the same challenge.
  if (const auto it = pending_.constFind(sender); it != pending_.cend() && it->activeNonce == payload) {
    reply(Lan::Message(Lan::ChallengeWord, it->passiveNonce));
    return;
  }
  if (!pending_.contains(sender) && pending_.size() >= MaxPending) {
    DropOldest(pending_, [](const Pending& p) { return p.at; });
  }
  Pending pending{payload.toByteArray(), Nonce(), nowMs};
  reply(Lan::Message(Lan::ChallengeWord, pending.passiveNonce));
  pending_.insert(sender, pending);
}

void LanProtocol::HandleProof(QByteArrayView payload, const QString& sender, const Identity& identity, qint64 nowMs,
                              LanEvents& events) {
  const auto reply = [&](QByteArray bytes) { events.replies.push_back(LanReply{sender, std::move(bytes)}); };
  // One answer per challenge: a second try needs a fresh challenge.
  const auto it = pending_.find(sender);
  if (it == pending_.end()) return;
  const Pending pending = *it;
  pending_.erase(it);
  if (nowMs - pending.at > PendingMs || payload.size() != Lan::ProofBytes) return;
  if (const qint64 locked = LockedOutMs(sender, nowMs)) {
    reply(Lan::Message(Lan::PassWaitWord, QByteArray::number((locked + 999) / 1000)));
    return;
  }
  const Lan::Key* key = identity.password.isEmpty() ? nullptr : keys_->For(identity.password);
  if (!key) {
    reply(Lan::Message(Lan::PassFailWord));
    return;
  }
  if (!SameProof(ActiveProof(*key, pending.activeNonce, pending.passiveNonce), payload)) {
    RecordFailure(sender, nowMs);
    reply(Lan::Message(Lan::PassFailWord));
    return;
  }
  Admit(sender, SessionFor(*key, pending.activeNonce, pending.passiveNonce, false), nowMs);
  reply(Lan::Message(Lan::ProvenWord, ProofBytes(PassiveProof(*key, pending.activeNonce, pending.passiveNonce))));
  events.lockButtons = true;
}

void LanProtocol::HandleOlderCheck(QByteArrayView payload, const QString& sender, const Identity& identity,
                                   qint64 nowMs, LanEvents& events) {
  const auto reply = [&](QByteArray bytes) { events.replies.push_back(LanReply{sender, std::move(bytes)}); };
  if (!identity.allowOlder) {
    events.refusedOlder = true;
    reply(Lan::Message(Lan::PassFailWord));
    return;
  }
  // Older copies know no lock-out answer: while locked out they are simply refused.
  const QByteArray expected = Lan::PasswordDigest(identity.password);
  const bool right = !identity.password.isEmpty() && LockedOutMs(sender, nowMs) == 0 &&
                     payload.size() == expected.size() &&
                     sodium_memcmp(payload.data(), expected.constData(), static_cast<size_t>(expected.size())) == 0;
  if (!right) {
    if (LockedOutMs(sender, nowMs) == 0) RecordFailure(sender, nowMs);
    peers_.remove(sender);
    reply(Lan::Message(Lan::PassFailWord));
    return;
  }
  Lan::Session session;
  session.legacy = true;
  Admit(sender, session, nowMs);
  reply(Lan::Message(Lan::PassOkWord));
  events.lockButtons = true;
}

void LanProtocol::HandleRequest(QByteArrayView word, QByteArrayView payload, const QString& sender,
                                Lan::Session& session, LanEvents& events) {
  const auto reply = [&](const QByteArray& inner) {
    events.replies.push_back(LanReply{sender, Lan::Seal(session, inner)});
  };
  if (Is(word, Lan::NoteCntWord)) {
    QByteArray count = QByteArray::number(calendar_.NoteCount());
    if (payload == QByteArrayView(Lan::ExtrasAsk) && !session.legacy) {
      session.extras = true;
      count += " " + QByteArray(Lan::ExtrasAsk);
    }
    reply(Lan::Message(Lan::RNoteCntWord, count));
  } else if (Is(word, Lan::TodoCntWord)) {
    reply(Lan::Message(Lan::RTodoCntWord, QByteArray::number(calendar_.ToDoCount())));
  } else if (Is(word, Lan::GetNoteWord) || Is(word, Lan::GetTodoWord)) {
    const std::optional<quint32> index = ParseIndex(payload);
    if (!index) return;
    const bool note = Is(word, Lan::GetNoteWord);
    const quint32 count = static_cast<quint32>(note ? calendar_.NoteCount() : calendar_.ToDoCount());
    std::optional<QByteArray> message;
    if (*index < count)
      message = note ? Lan::NoteMessage(calendar_.NoteArray[*index], session.extras)
                     : Lan::ToDoMessage(calendar_.ToDoArray[*index], session.extras);
    // A record too large for one datagram is answered like a missing one.
    reply(message ? *message : Lan::Message(Lan::DataAckWord));
  } else if (Is(word, Lan::SendNoteWord) || Is(word, Lan::SendTodoWord)) {
    if (!MergeRecord(Is(word, Lan::SendNoteWord), payload)) return;
    events.disableActivity = true;
    events.merged = 1;
  } else if (Is(word, Lan::SyncDoneWord)) {
    reply(Lan::Message(Lan::DataAckWord));
    peers_.remove(sender);
    events.unlockButtons = true;
  }
}

LanEvents LanProtocol::Handle(QByteArrayView datagram, const QString& sender, const Identity& identity, qint64 nowMs) {
  LanEvents events;
  if (datagram.size() < Lan::WordLength) return events;
  QByteArrayView word = datagram.first(Lan::WordLength);
  QByteArrayView payload = datagram.sliced(Lan::WordLength);
  const auto reply = [&](QByteArray bytes) { events.replies.push_back(LanReply{sender, std::move(bytes)}); };

  // Answers to our own exchange: only from the address it was begun with, and (past the
  // password check) only sealed with that exchange's keys, or in the clear from an older
  // copy that accepted its unprotected check.
  if (activeState_ != Active::Idle && sender == activePeer_) {
    const bool checking =
        activeState_ == Active::Hello || activeState_ == Active::Proving || activeState_ == Active::OlderCheck;
    if (activeState_ == Active::Hello && Is(word, Lan::ChallengeWord)) {
      if (payload.size() != Lan::NonceBytes) return events;
      activeSession_ = SessionFor(activeKey_, activeNonce_, payload, true);
      // Keep the peer's nonce for checking its proof.
      activeNonce_.append(payload);
      activeState_ = Active::Proving;
      reply(Lan::Message(Lan::ProofWord,
                         ProofBytes(ActiveProof(activeKey_, activeNonce_.first(Lan::NonceBytes), payload))));
      return events;
    }
    if (activeState_ == Active::Proving && Is(word, Lan::ProvenWord)) {
      const QByteArrayView mine = QByteArrayView(activeNonce_).first(Lan::NonceBytes);
      const QByteArrayView theirs = QByteArrayView(activeNonce_).sliced(Lan::NonceBytes);
      // A forged acceptance (from someone without the password) is dropped.
      if (!SameProof(PassiveProof(activeKey_, mine, theirs), payload)) return events;
      activeState_ = Active::Accepted;
      events.pass = LanEvents::Pass::Accepted;
      return events;
    }
    if (activeState_ == Active::OlderCheck && Is(word, Lan::PassOkWord)) {
      activeState_ = Active::OlderAccepted;
      activeSession_.legacy = true;
      events.pass = LanEvents::Pass::Accepted;
      return events;
    }
    if (checking && Is(word, Lan::PassFailWord)) {
      events.pass = LanEvents::Pass::Refused;
      return events;
    }
    if (checking && Is(word, Lan::PassWaitWord)) {
      events.pass = LanEvents::Pass::Refused;
      const std::optional<quint32> seconds = ParseCount(payload);
      events.lockedOutSeconds = seconds ? static_cast<int>(std::min<quint32>(*seconds, 86400)) : 1;
      return events;
    }
    // A copy that answers the discovery but not the challenge speaks only the older check.
    if (activeState_ == Active::Hello && Is(word, Lan::AnnounceWord)) events.olderPeer = true;
    if (activeState_ == Active::Accepted && Is(word, Lan::SealedWord)) {
      Lan::Session trial = activeSession_;
      if (const std::optional<QByteArray> inner = Lan::Open(trial, datagram)) {
        activeSession_ = trial;
        HandleAnswer(QByteArrayView(*inner).first(Lan::WordLength), QByteArrayView(*inner).sliced(Lan::WordLength),
                     events);
        return events;
      }
      // Not ours: perhaps the peer's own exchange with us, below.
    }
    if (activeState_ == Active::OlderAccepted && HandleAnswer(word, payload, events)) return events;
  }

  if (Is(word, Lan::AnnounceWord)) {
    HandleAnnounce(payload, sender, identity, events);
    return events;
  }

  // Everything below answers or serves someone else: nothing while synchronisation is off.
  if (!identity.enabled) return events;

  if (Is(word, Lan::DiscWord)) {
    QByteArray text = identity.computerName.toUtf8();
    text.append(' ');
    text.append(identity.user.toUtf8());
    reply(Lan::Message(Lan::AnnounceWord, text));
    return events;
  }
  if (Is(word, Lan::HelloWord)) {
    HandleHello(payload, sender, identity, nowMs, events);
    return events;
  }
  if (Is(word, Lan::ProofWord)) {
    HandleProof(payload, sender, identity, nowMs, events);
    return events;
  }
  if (Is(word, Lan::CheckPassWord)) {
    HandleOlderCheck(payload, sender, identity, nowMs, events);
    return events;
  }

  if (!IsAuthenticated(sender, nowMs)) return events;
  Peer& peer = peers_[sender];
  std::optional<QByteArray> inner;
  if (peer.session.legacy) {
    // An older copy's exchange, in the clear (only while older peers are allowed).
    if (!identity.allowOlder) return events;
  } else {
    inner = Lan::Open(peer.session, datagram);
    if (!inner) return events;
    word = QByteArrayView(*inner).first(Lan::WordLength);
    payload = QByteArrayView(*inner).sliced(Lan::WordLength);
  }
  peer.lastSeen = nowMs;
  HandleRequest(word, payload, sender, peer.session, events);
  return events;
}
