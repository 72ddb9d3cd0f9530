#pragma once

// The LAN synchronisation messages, without sockets: one received datagram and its sender
// go in, the replies to send and what the window has to do come out, and records that are
// accepted are merged into the calendar.
//
// Every datagram starts with a command word of ten ASCII bytes, padded with blanks; the
// payload runs to the end of the datagram. Records travel in the byte form of the backup
// files. Only a peer that passed the password check reads or changes the calendar: the
// passive side serves and merges only for addresses whose check it accepted (until
// "OVSyncDone" or a spell of silence), the active side merges only what the address that
// accepted its own check sends.
//
// The password check is a challenge and response: the active side sends a fresh random
// nonce ("OVSessInit"), the passive side answers with one of its own ("OVSessChal"), and
// each proves it knows the password with a keyed hash over both nonces ("OVSessProf", then
// "OVSessOk  "). The key is Argon2id of the password (slow on purpose, so a sniffed
// exchange is expensive to guess at, and derived once per password). Every message after
// the check is sealed ("OVSealed  ": a counter and XChaCha20-Poly1305 over the inner
// datagram) with keys of that exchange alone, one per direction; a replayed, reordered,
// damaged or forged datagram does not open and is dropped. Failed checks lock the sending
// address out for a growing time.
//
// Older copies prove the password by its bare MD5 digest ("OVChckPass"), which a listener
// could replay, and send everything in the clear. They are refused unless the user allows
// older peers; then that exchange runs unprotected as those copies expect.

#include "core/dataformat.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace Lan {
constexpr quint16 Port = 3402;
constexpr qsizetype WordLength = 10;
// The largest UDP payload over IPv4.
constexpr qsizetype MaxDatagram = 65507;

inline constexpr char DiscWord[] = "OVDisc_138";
inline constexpr char AnnounceWord[] = "OVAnnounce";
inline constexpr char CheckPassWord[] = "OVChckPass";
inline constexpr char PassOkWord[] = "OVPassOk  ";
inline constexpr char PassFailWord[] = "OVPassFail";
inline constexpr char NoteCntWord[] = "OVNoteCnt ";
inline constexpr char RNoteCntWord[] = "OVRNoteCnt";
inline constexpr char TodoCntWord[] = "OVTodoCnt ";
inline constexpr char RTodoCntWord[] = "OVRTodoCnt";
inline constexpr char GetNoteWord[] = "OVGetNote ";
inline constexpr char GetTodoWord[] = "OVGetTodo ";
inline constexpr char SendNoteWord[] = "OVSendNote";
inline constexpr char SendTodoWord[] = "OVSendTodo";
inline constexpr char DataAckWord[] = "OVDataAck ";
inline constexpr char SyncDoneWord[] = "OVSyncDone";
// The challenge and response, and the sealed messages after it.
inline constexpr char HelloWord[] = "OVSessInit";      // active: its nonce
inline constexpr char ChallengeWord[] = "OVSessChal";  // passive: its nonce
inline constexpr char ProofWord[] = "OVSessProf";      // active: its proof
inline constexpr char ProvenWord[] = "OVSessOk  ";     // passive: accepted, and its own proof
inline constexpr char PassWaitWord[] = "OVPassWait";   // passive: locked out, decimal seconds
inline constexpr char SealedWord[] = "OVSealed  ";     // counter, then the sealed datagram

// The payload of a count request that asks for records with their extra values, and the
// ending of the count answer that agrees. Copies that know nothing of them answer the
// request with the bare count, and never send the payload.
inline constexpr char ExtrasAsk[] = "+extras";

constexpr qsizetype NonceBytes = 32;
constexpr qsizetype ProofBytes = 32;
constexpr qsizetype CounterBytes = 8;
constexpr qsizetype TagBytes = 16;
// What sealing adds to an inner datagram, and so the largest inner datagram.
constexpr qsizetype SealOverhead = WordLength + CounterBytes + TagBytes;
constexpr qsizetype MaxMessage = MaxDatagram - SealOverhead;
// Bounds on what announcements may keep.
constexpr int MaxSystems = 64;
constexpr qsizetype MaxNameLength = 256;
// Failed password checks an address may make before it is locked out; the first lock-out
// and the longest one, in milliseconds. Each further failure doubles the lock-out.
constexpr int FreeFailures = 3;
constexpr qint64 FirstLockoutMs = 5000;
constexpr qint64 LongestLockoutMs = 3600 * 1000;

using Key = std::array<unsigned char, 32>;

// A datagram: the command word followed by the payload.
QByteArray Message(const char (&word)[11], QByteArrayView payload = {});
// The 32 lowercase hexadecimal digits of the MD5 digest of the password's bytes (the proof
// of older copies).
QByteArray PasswordDigest(const QString& password);
// The key both sides derive from the password: Argon2id with the protocol's fixed salt.
// Takes a noticeable fraction of a second and 64 MiB; nothing when the memory is missing.
std::optional<Key> DeriveKey(const QString& password);

// The key of the last password asked for, so each password is derived once.
class KeyCache {
 public:
  const Key* For(const QString& password);

 private:
  QString password_;
  std::optional<Key> key_;
};

// The state of one checked exchange, on either side: the keys of each direction and the
// counters of the last datagram sent and received. A legacy session sends in the clear.
struct Session {
  bool legacy = false;
  // Both sides send each record's extra values (its identity) after it: the active side
  // asked with ExtrasAsk and the passive side's count answer said it will.
  bool extras = false;
  Key sendKey{};
  Key receiveKey{};
  quint64 sent = 0;
  quint64 received = 0;
};
// The inner datagram sealed for the peer (as it is, in a legacy session).
QByteArray Seal(Session& session, QByteArrayView inner);
// The inner datagram of a sealed one; nothing when it is short, replayed or does not open.
std::optional<QByteArray> Open(Session& session, QByteArrayView datagram);
// The index of a get request: two bytes little-endian, four when it does not fit in two.
QByteArray IndexBytes(quint32 index);
// "OVSendNote"/"OVSendTodo" with the record (and its extra values after it when extras is
// set); nothing when the datagram, sealed, would be too large.
std::optional<QByteArray> NoteMessage(const TNote& note, bool extras = false);
std::optional<QByteArray> ToDoMessage(const TToDo& todo, bool extras = false);
}  // namespace Lan

// One system that answered the discovery broadcast.
struct TSystem {
  QString Address;
  QString Name;
  QString User;
  bool operator==(const TSystem&) const = default;
};

struct LanReply {
  QString address;
  QByteArray bytes;
};

// What one datagram asks of the window and the running exchange.
struct LanEvents {
  std::vector<LanReply> replies;
  enum class Pass { None, Refused, Accepted };
  Pass pass = Pass::None;                  // the answer to our password check
  std::optional<int> lockedOutSeconds;     // refused for this long after failed checks
  bool olderPeer = false;                  // our peer answered a discovery but not the challenge
  bool refusedOlder = false;               // an older copy's unprotected check was refused
  std::optional<quint32> remoteNoteCount;  // the peer's counts
  std::optional<quint32> remoteToDoCount;
  bool replied = false;  // the answer the active side waits for arrived
  bool disableActivity = false;
  bool lockButtons = false;    // a peer's password check was accepted
  bool unlockButtons = false;  // that peer's exchange ended
  bool systemsChanged = false;
  int merged = 0;  // records merged into the calendar
};

class LanProtocol {
 public:
  // What this copy tells and checks; read afresh for every datagram.
  struct Identity {
    QString computerName;
    QString user;             // SyncEMail
    QString password;         // SyncPass
    bool enabled = true;      // EnableSync: while off, nobody's requests are answered
    bool allowOlder = false;  // AllowOlderPeers: older copies' unprotected check is taken
  };

  // The key cache can be shared (the fuzz target derives once for all its runs).
  LanProtocol(DataFormat& calendar, qint64 peerIdleMs = 30000, std::shared_ptr<Lan::KeyCache> keys = nullptr);

  // The handling of one datagram. nowMs is a monotonic time in milliseconds, used for the
  // silence that ends a peer's authentication.
  LanEvents Handle(QByteArrayView datagram, const QString& sender, const Identity& identity, qint64 nowMs);

  // The active side: an exchange with this address begins; only its answers count. Gives
  // the datagrams to send: the challenge's first step, then a discovery that tells an older
  // copy (which answers only the discovery) from a silent address. Nothing when the key
  // cannot be derived.
  std::vector<QByteArray> BeginExchange(const QString& address, const QString& password);
  // After an older peer showed itself: the unprotected check it understands.
  QByteArray BeginOlderCheck(const QString& password);
  void EndExchange();
  // Whether the peer answered our challenge (and the check now waits for its acceptance).
  bool Challenged() const { return activeState_ == Active::Proving; }
  bool ExchangeAccepted() const { return activeState_ == Active::Accepted || activeState_ == Active::OlderAccepted; }
  // A request or record of the active side, sealed for the accepting peer.
  QByteArray Outgoing(QByteArrayView inner);
  // Whether the accepting peer agreed to records with their extra values.
  bool PeerTakesExtras() const { return activeSession_.extras; }

  const std::vector<TSystem>& Systems() const { return systems_; }
  void ClearSystems() { systems_.clear(); }
  // The list box lines: Name " (" User ")".
  QStringList SystemLines() const;

  // Whether the passive side is serving any peer (one let in and not silent for too long).
  bool Serving(qint64 nowMs) const {
    for (auto it = peers_.cbegin(); it != peers_.cend(); ++it) {
      if (nowMs - it->lastSeen <= peerIdleMs_) return true;
    }
    return false;
  }
  // Derives the key of this password now, so the first check that needs it does not wait.
  void PrepareKey(const QString& password) { keys_->For(password); }
  // Whether the passive side currently serves this address.
  bool IsAuthenticated(const QString& address, qint64 nowMs);
  // How long this address is still refused after failed checks (0: not locked out).
  qint64 LockedOutMs(const QString& address, qint64 nowMs) const;

 private:
  enum class Active { Idle, Hello, Proving, OlderCheck, Accepted, OlderAccepted };
  struct Pending {
    QByteArray activeNonce;
    QByteArray passiveNonce;
    qint64 at = 0;
  };
  struct Peer {
    Lan::Session session;
    qint64 lastSeen = 0;
  };
  struct Failures {
    int count = 0;
    qint64 last = 0;
    qint64 lockedUntil = 0;
  };

  void HandleAnnounce(QByteArrayView payload, const QString& sender, const Identity& identity, LanEvents& events);
  // The answers our own exchange waits for; false when the word is not one of them.
  bool HandleAnswer(QByteArrayView word, QByteArrayView payload, LanEvents& events);
  // The steps of the password check on the passive side.
  void HandleHello(QByteArrayView payload, const QString& sender, const Identity& identity, qint64 nowMs,
                   LanEvents& events);
  void HandleProof(QByteArrayView payload, const QString& sender, const Identity& identity, qint64 nowMs,
                   LanEvents& events);
  void HandleOlderCheck(QByteArrayView payload, const QString& sender, const Identity& identity, qint64 nowMs,
                        LanEvents& events);
  // A request of a checked peer, answered through its session.
  void HandleRequest(QByteArrayView word, QByteArrayView payload, const QString& sender, Lan::Session& session,
                     LanEvents& events);
  void RecordFailure(const QString& sender, qint64 nowMs);
  void Admit(const QString& sender, Lan::Session session, qint64 nowMs);
  // Records from the peer, merged; false when they do not parse.
  bool MergeRecord(bool note, QByteArrayView payload);

  DataFormat& calendar_;
  qint64 peerIdleMs_;
  std::shared_ptr<Lan::KeyCache> keys_;
  std::vector<TSystem> systems_;
  // Passive side: checks under way, peers let in, and failed checks, by address.
  QHash<QString, Pending> pending_;
  QHash<QString, Peer> peers_;
  QHash<QString, Failures> failures_;
  // Active side.
  QString activePeer_;
  Active activeState_ = Active::Idle;
  QByteArray activeNonce_;
  Lan::Key activeKey_{};
  Lan::Session activeSession_;
};
