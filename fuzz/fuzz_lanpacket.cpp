// Fuzz target: one LAN datagram, any bytes from any sender, handled by the message logic.
// The first byte chooses the situation (who sends, whether that sender passed the password
// check, whether our own exchange with it was accepted, whether synchronisation is on); the
// rest is the datagram. Answers go only to the sender, fit in a datagram, and the calendar
// changes only through a sender that was let in.
#include "core/clock.h"
#include "core/dataformat.h"
#include "network/lanprotocol.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t situation = data[0];
  const QByteArrayView datagram(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  const QString peer = QStringLiteral("192.168.1.20");
  const QString sender = (situation & 1) ? peer : QStringLiteral("192.168.1.66");
  const bool authenticated = situation & 2;
  const bool exchange = situation & 4;

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

  LanProtocol protocol(calendar);
  LanProtocol::Identity identity;
  identity.computerName = QStringLiteral("desk");
  identity.user = QStringLiteral("pat");
  identity.password = QStringLiteral("secret");
  identity.enabled = !(situation & 8);
  if (authenticated) {
    protocol.Handle(Lan::Message(Lan::CheckPassWord, Lan::PasswordDigest(identity.password)), peer, identity, 0);
  }
  if (exchange) {
    protocol.BeginExchange(peer);
    protocol.Handle(Lan::Message(Lan::PassOkWord), peer, identity, 0);
  }

  const LanEvents events = protocol.Handle(datagram, sender, identity, 10);
  for (const LanReply& reply : events.replies) {
    if (reply.address != sender || reply.bytes.size() > Lan::MaxDatagram || reply.bytes.size() < Lan::WordLength) {
      std::abort();
    }
  }
  const bool letIn = sender == peer && (authenticated || exchange) && (exchange || identity.enabled);
  const bool changed = calendar.DataChanged.Revision() != revision || calendar.NoteCount() != 1 || calendar.ToDoCount() != 1;
  if (changed && !letIn) std::abort();
  if (changed && events.merged == 0) std::abort();
  if (events.merged > 0 && !letIn) std::abort();
  // The systems list only grows through announcements.
  if (!protocol.Systems().empty() && !datagram.startsWith("OVAnnounce")) std::abort();
  return 0;
}
