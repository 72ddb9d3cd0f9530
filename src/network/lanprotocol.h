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

#include "core/dataformat.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
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

// A datagram: the command word followed by the payload.
QByteArray Message(const char (&word)[11], QByteArrayView payload = {});
// The 32 lowercase hexadecimal digits of the MD5 digest of the password's bytes.
QByteArray PasswordDigest(const QString& password);
// The index of a get request: two bytes little-endian, four when it does not fit in two.
QByteArray IndexBytes(quint32 index);
// "OVSendNote"/"OVSendTodo" with the record; nothing when the datagram would be too large.
std::optional<QByteArray> NoteMessage(const TNote& note);
std::optional<QByteArray> ToDoMessage(const TToDo& todo);
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
  Pass pass = Pass::None;                    // the answer to our password check
  std::optional<quint32> remoteNoteCount;    // the peer's counts
  std::optional<quint32> remoteToDoCount;
  bool replied = false;        // the answer the active side waits for arrived
  bool disableActivity = false;
  bool lockButtons = false;    // a peer's password check was accepted
  bool unlockButtons = false;  // that peer's exchange ended
  bool systemsChanged = false;
  int merged = 0;              // records merged into the calendar
};

class LanProtocol {
 public:
  // What this copy tells and checks; read afresh for every datagram.
  struct Identity {
    QString computerName;
    QString user;      // SyncEMail
    QString password;  // SyncPass
    bool enabled = true;  // EnableSync: while off, nobody's requests are answered
  };

  LanProtocol(DataFormat& calendar, qint64 peerIdleMs = 30000) : calendar_(calendar), peerIdleMs_(peerIdleMs) {}

  // The handling of one datagram. nowMs is a monotonic time in milliseconds, used for the
  // silence that ends a peer's authentication.
  LanEvents Handle(QByteArrayView datagram, const QString& sender, const Identity& identity, qint64 nowMs);

  // The active side: an exchange with this address begins; only its answers count.
  void BeginExchange(const QString& address);
  void EndExchange();
  bool ExchangeAccepted() const { return activeAccepted_; }

  const std::vector<TSystem>& Systems() const { return systems_; }
  void ClearSystems() { systems_.clear(); }
  // The list box lines: Name " (" User ")".
  QStringList SystemLines() const;

  // Whether the passive side is serving any peer (one let in and not silent for too long).
  bool Serving(qint64 nowMs) const {
    for (auto it = peers_.cbegin(); it != peers_.cend(); ++it) {
      if (nowMs - it.value() <= peerIdleMs_) return true;
    }
    return false;
  }
  // Whether the passive side currently serves this address.
  bool IsAuthenticated(const QString& address, qint64 nowMs);

 private:
  void HandleAnnounce(QByteArrayView payload, const QString& sender, const Identity& identity, LanEvents& events);
  // Records from the peer, merged; false when they do not parse.
  bool MergeRecord(bool note, QByteArrayView payload);

  DataFormat& calendar_;
  qint64 peerIdleMs_;
  std::vector<TSystem> systems_;
  // Passive side: address -> time of its last datagram.
  QHash<QString, qint64> peers_;
  // Active side.
  QString activePeer_;
  bool activeAccepted_ = false;
};
