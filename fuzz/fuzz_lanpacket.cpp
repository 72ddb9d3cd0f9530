// Fuzz target: one LAN datagram, any bytes from any sender, handled by the message logic.
// The first byte chooses the situation (who sends, whether that sender passed the password
// check — by the challenge or by an older copy's digest —, whether our own exchange with it
// was accepted, whether synchronisation is on, whether the bytes are sealed with the
// sender's session, so that the requests inside are reached too); the rest is the datagram.
// Answers go only to the sender, fit in a datagram, the calendar changes only through a
// sender that was let in, and announcements keep a bounded list.
#include "core/clock.h"
#include "core/dataformat.h"
#include "network/lanprotocol.h"

#include <cstdint>
#include <cstdlib>

namespace {

// The key is slow to derive on purpose: once for the whole run.
std::shared_ptr<Lan::KeyCache> Keys() {
  static const auto keys = std::make_shared<Lan::KeyCache>();
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t situation = data[0];
  const QByteArrayView input(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  const QString us = QStringLiteral("192.168.1.10");
  const QString peer = QStringLiteral("192.168.1.20");
  const QString sender = (situation & 1) ? peer : QStringLiteral("192.168.1.66");
  const bool authenticated = situation & 2;
  const bool exchange = situation & 4;
  const bool older = situation & 16;
  const bool sealed = situation & 32;

  FixedClock clock(45000.5);
  DataFormat calendar(clock);
  TNote note;
  note.Title = QStringLiteral("Standing");
  note.ModifyDate = 2;
  calendar.MergeNote(note);
  TToDo todo;
  todo.Title = QStringLiteral("Chore");
  calendar.MergeToDo(todo);
  calendar.DataChanged = false;
  const quint64 revision = calendar.DataChanged.Revision();

  LanProtocol protocol(calendar, 30000, Keys());
  LanProtocol::Identity identity;
  identity.computerName = QStringLiteral("desk");
  identity.user = QStringLiteral("pat");
  identity.password = QStringLiteral("secret");
  identity.enabled = !(situation & 8);
  identity.allowOlder = older;

  // The peer's own copy, active towards us: its check is answered by ours.
  FixedClock peerClock(45000.5);
  DataFormat peerCalendar(peerClock);
  LanProtocol peerProtocol(peerCalendar, 30000, Keys());
  const LanProtocol::Identity peerIdentity;
  if (authenticated && older) {
    protocol.Handle(Lan::Message(Lan::CheckPassWord, Lan::PasswordDigest(identity.password)), peer, identity, 0);
  } else if (authenticated) {
    LanEvents step = protocol.Handle(peerProtocol.BeginExchange(us, identity.password)[0], peer, identity, 0);
    for (int round = 0; round < 2 && step.replies.size() == 1; ++round) {
      step = peerProtocol.Handle(step.replies[0].bytes, us, peerIdentity, 0);
      if (step.replies.size() == 1) step = protocol.Handle(step.replies[0].bytes, peer, identity, 0);
    }
  }
  if (exchange) {
    protocol.BeginExchange(peer, identity.password);
    protocol.BeginOlderCheck(identity.password);
    protocol.Handle(Lan::Message(Lan::PassOkWord), peer, identity, 0);
  }

  const QByteArray datagram = sealed ? peerProtocol.Outgoing(input) : input.toByteArray();
  const LanEvents events = protocol.Handle(datagram, sender, identity, 10);
  for (const LanReply& reply : events.replies) {
    if (reply.address != sender || reply.bytes.size() > Lan::MaxDatagram || reply.bytes.size() < Lan::WordLength) {
      std::abort();
    }
  }
  const bool letIn = sender == peer && ((authenticated && identity.enabled) || exchange);
  const bool changed =
      calendar.DataChanged.Revision() != revision || calendar.NoteCount() != 1 || calendar.ToDoCount() != 1;
  if (changed && !letIn) std::abort();
  if (changed && events.merged == 0) std::abort();
  if (events.merged > 0 && !letIn) std::abort();
  // The systems list only grows through announcements while synchronisation is on, and
  // keeps short names.
  if (!protocol.Systems().empty() && (!datagram.startsWith("OVAnnounce") || !identity.enabled)) std::abort();
  for (const TSystem& system : protocol.Systems()) {
    if (system.Name.size() > Lan::MaxNameLength || system.User.size() > Lan::MaxNameLength) std::abort();
  }
  return 0;
}
