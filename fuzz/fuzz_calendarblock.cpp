// Fuzz target: a calendar block (synchronisation files, the head of backup files) read from
// untrusted bytes. A block that reads must write back to bytes that read to the same records.
#include "core/bytestream.h"

#include <cstdint>
#include <cstdlib>

namespace {

QByteArray Block(const CalendarRecords& records) {
  QByteArray bytes;
  ByteWriter out(bytes);
  out.Int32(static_cast<qint32>(records.notes.size()));
  for (const TNote& note : records.notes) WriteNote(note, out);
  out.Int32(static_cast<qint32>(records.todos.size()));
  for (const TToDo& todo : records.todos) WriteToDo(todo, out);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  ByteReader in(bytes);
  CalendarRecords records;
  if (!ReadCalendarBlock(in, records)) {
    if (in.ok()) std::abort();  // a failed read leaves the reader failed
    return 0;
  }
  if (in.position() + in.remaining() != bytes.size()) std::abort();

  const QByteArray again = Block(records);
  ByteReader in2(again);
  CalendarRecords records2;
  if (!ReadCalendarBlock(in2, records2) || in2.remaining() != 0) std::abort();
  if (records2.notes != records.notes || records2.todos != records.todos) std::abort();
  // Written text is UTF-8, so a second round gives the same bytes.
  if (Block(records2) != again) std::abort();
  return 0;
}
