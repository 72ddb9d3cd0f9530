#include "network/lanprotocol.h"

#include "core/bytestream.h"

#include <QCryptographicHash>

namespace Lan {

QByteArray Message(const char (&word)[11], QByteArrayView payload) {
  QByteArray bytes(word, WordLength);
  bytes.append(payload);
  return bytes;
}

QByteArray PasswordDigest(const QString& password) {
  return QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex();
}

QByteArray IndexBytes(quint32 index) {
  QByteArray bytes;
  const int length = index <= 0xFFFF ? 2 : 4;
  for (int i = 0; i < length; ++i) bytes.append(static_cast<char>((index >> (8 * i)) & 0xFF));
  return bytes;
}

std::optional<QByteArray> NoteMessage(const TNote& note) {
  QByteArray bytes(SendNoteWord, WordLength);
  ByteWriter out(bytes);
  WriteNote(note, out);
  if (bytes.size() > MaxDatagram) return std::nullopt;
  return bytes;
}

std::optional<QByteArray> ToDoMessage(const TToDo& todo) {
  QByteArray bytes(SendTodoWord, WordLength);
  ByteWriter out(bytes);
  WriteToDo(todo, out);
  if (bytes.size() > MaxDatagram) return std::nullopt;
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

bool Is(QByteArrayView word, const char (&expected)[11]) {
  return word == QByteArrayView(expected, Lan::WordLength);
}

}  // namespace

bool LanProtocol::IsAuthenticated(const QString& address, qint64 nowMs) {
  auto it = peers_.find(address);
  if (it == peers_.end()) return false;
  if (nowMs - it.value() > peerIdleMs_) {
    peers_.erase(it);
    return false;
  }
  return true;
}

void LanProtocol::BeginExchange(const QString& address) {
  activePeer_ = address;
  activeAccepted_ = false;
}

void LanProtocol::EndExchange() {
  activePeer_.clear();
  activeAccepted_ = false;
}

QStringList LanProtocol::SystemLines() const {
  QStringList lines;
  for (const TSystem& system : systems_) lines << system.Name + QStringLiteral(" (") + system.User + QStringLiteral(")");
  return lines;
}

bool LanProtocol::MergeRecord(bool note, QByteArrayView payload) {
  ByteReader in(payload);
  if (note) {
    TNote record;
    if (!ReadNote(record, in) || in.remaining() != 0) return false;
    calendar_.MergeNote(record);
  } else {
    TToDo record;
    if (!ReadToDo(record, in) || in.remaining() != 0) return false;
    calendar_.MergeToDo(record);
  }
  return true;
}

void LanProtocol::HandleAnnounce(QByteArrayView payload, const QString& sender, const Identity& identity,
                                 LanEvents& events) {
  const QString text = DecodeText(payload);
  const qsizetype blank = text.indexOf(QLatin1Char(' '));
  const QString name = blank < 0 ? text : text.left(blank);
  const QString user = blank < 0 ? QString() : text.mid(blank + 1);
  // Our own answer to our own broadcast: a copy never lists itself.
  if (name == identity.computerName) return;
  auto it = std::find_if(systems_.begin(), systems_.end(), [&](const TSystem& s) { return s.Address == sender; });
  if (it == systems_.end()) {
    systems_.push_back(TSystem{});
    it = systems_.end() - 1;
  }
  it->Address = sender;
  it->Name = name;
  it->User = user;
  events.systemsChanged = true;
}

LanEvents LanProtocol::Handle(QByteArrayView datagram, const QString& sender, const Identity& identity, qint64 nowMs) {
  LanEvents events;
  if (datagram.size() < Lan::WordLength) return events;
  const QByteArrayView word = datagram.first(Lan::WordLength);
  const QByteArrayView payload = datagram.sliced(Lan::WordLength);
  const auto reply = [&](QByteArray bytes) { events.replies.push_back(LanReply{sender, std::move(bytes)}); };

  // Answers to our own exchange: only from the address it was begun with, and (past the
  // password answer) only once that address accepted our check.
  const bool fromActivePeer = !activePeer_.isEmpty() && sender == activePeer_;
  if (fromActivePeer) {
    if (Is(word, Lan::PassOkWord)) {
      activeAccepted_ = true;
      events.pass = LanEvents::Pass::Accepted;
      return events;
    }
    if (Is(word, Lan::PassFailWord)) {
      if (!activeAccepted_) events.pass = LanEvents::Pass::Refused;
      return events;
    }
    if (activeAccepted_) {
      if (Is(word, Lan::RNoteCntWord) || Is(word, Lan::RTodoCntWord)) {
        const std::optional<quint32> count = ParseCount(payload);
        if (!count) return events;
        events.disableActivity = true;
        (Is(word, Lan::RNoteCntWord) ? events.remoteNoteCount : events.remoteToDoCount) = *count;
        events.replied = true;
        return events;
      }
      if (Is(word, Lan::DataAckWord)) {
        events.replied = true;
        return events;
      }
      if (Is(word, Lan::SendNoteWord) || Is(word, Lan::SendTodoWord)) {
        if (!MergeRecord(Is(word, Lan::SendNoteWord), payload)) return events;
        events.disableActivity = true;
        events.merged = 1;
        events.replied = true;
        return events;
      }
    }
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
  if (Is(word, Lan::CheckPassWord)) {
    // No password set: nobody is let in.
    if (!identity.password.isEmpty() && payload == QByteArrayView(Lan::PasswordDigest(identity.password))) {
      peers_.insert(sender, nowMs);
      reply(Lan::Message(Lan::PassOkWord));
      events.lockButtons = true;
    } else {
      peers_.remove(sender);
      reply(Lan::Message(Lan::PassFailWord));
    }
    return events;
  }

  if (!IsAuthenticated(sender, nowMs)) return events;
  peers_.insert(sender, nowMs);

  if (Is(word, Lan::NoteCntWord)) {
    reply(Lan::Message(Lan::RNoteCntWord, QByteArray::number(calendar_.NoteCount())));
  } else if (Is(word, Lan::TodoCntWord)) {
    reply(Lan::Message(Lan::RTodoCntWord, QByteArray::number(calendar_.ToDoCount())));
  } else if (Is(word, Lan::GetNoteWord) || Is(word, Lan::GetTodoWord)) {
    const std::optional<quint32> index = ParseIndex(payload);
    if (!index) return events;
    const bool note = Is(word, Lan::GetNoteWord);
    const quint32 count = static_cast<quint32>(note ? calendar_.NoteCount() : calendar_.ToDoCount());
    std::optional<QByteArray> message;
    if (*index < count) message = note ? Lan::NoteMessage(calendar_.NoteArray[*index]) : Lan::ToDoMessage(calendar_.ToDoArray[*index]);
    // A record too large for one datagram is answered like a missing one.
    reply(message ? *message : Lan::Message(Lan::DataAckWord));
  } else if (Is(word, Lan::SendNoteWord) || Is(word, Lan::SendTodoWord)) {
    if (!MergeRecord(Is(word, Lan::SendNoteWord), payload)) return events;
    events.disableActivity = true;
    events.merged = 1;
  } else if (Is(word, Lan::SyncDoneWord)) {
    peers_.remove(sender);
    reply(Lan::Message(Lan::DataAckWord));
    events.unlockButtons = true;
  }
  return events;
}
