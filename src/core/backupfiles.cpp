#include "core/backupfiles.h"

#include "core/dataformat.h"

namespace {

const QByteArray ExtrasMarker = QByteArrayLiteral("OrvaneRecordExtras 1");
constexpr qsizetype ExtrasLineLength = 76;
// One record's extra values: its kind and index in the block, then the values.
void WriteEntry(ByteWriter& out, bool task, int index, const ExtraValues& values) {
  out.Bool(task);
  out.Int32(index);
  WriteExtraValues(out, values);
}

// The lines of the section after its marker, joined: the base64url text.
QByteArray SectionText(QByteArrayView section) {
  QByteArray text;
  text.reserve(section.size());
  qsizetype at = ExtrasMarker.size();
  while (at < section.size()) {
    qsizetype end = at;
    while (end < section.size() && section[end] != '\r' && section[end] != '\n') ++end;
    if (end == at && text.size() > 0) break;  // a blank line ends the section
    text.append(section.sliced(at, end - at));
    at = end;
    if (at < section.size() && section[at] == '\r') ++at;
    if (at < section.size() && section[at] == '\n') ++at;
  }
  return text;
}

}  // namespace

QByteArray RecordExtrasSection(const DataFormat& calendar) {
  QByteArray bytes;
  ByteWriter out(bytes);
  qint32 entries = 0;
  out.Int32(0);  // the count, filled in below
  for (int i = 0; i < calendar.NoteCount(); ++i) {
    const ExtraValues values = ExtraValuesOf(calendar.NoteArray[i]);
    if (values.isEmpty()) continue;
    WriteEntry(out, false, i, values);
    ++entries;
  }
  for (int i = 0; i < calendar.ToDoCount(); ++i) {
    const ExtraValues values = ExtraValuesOf(calendar.ToDoArray[i]);
    if (values.isEmpty()) continue;
    WriteEntry(out, true, i, values);
    ++entries;
  }
  if (entries == 0) return QByteArray();
  QByteArray count;
  ByteWriter(count).Int32(entries);
  bytes.replace(0, 4, count);

  const QByteArray text = bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
  QByteArray section = ExtrasMarker + "\r\n";
  section.reserve(section.size() + text.size() + text.size() / ExtrasLineLength * 2 + 2);
  for (qsizetype at = 0; at < text.size(); at += ExtrasLineLength) {
    section.append(QByteArrayView(text).sliced(at, std::min(ExtrasLineLength, text.size() - at)));
    section.append("\r\n", 2);
  }
  return section;
}

qsizetype RecordExtrasStart(QByteArrayView rest) {
  for (qsizetype at = 0; at < rest.size();) {
    const qsizetype found = rest.indexOf(QByteArrayView(ExtrasMarker), at);
    if (found < 0) break;
    const bool lineStart = found == 0 || rest[found - 1] == '\r' || rest[found - 1] == '\n';
    const qsizetype after = found + ExtrasMarker.size();
    const bool lineEnd = after == rest.size() || rest[after] == '\r' || rest[after] == '\n';
    if (lineStart && lineEnd) return found;
    at = found + 1;
  }
  return rest.size();
}

void ReadRecordExtras(QByteArrayView section, CalendarRecords& records) {
  if (!section.startsWith(QByteArrayView(ExtrasMarker))) return;
  const auto decoded = QByteArray::fromBase64Encoding(
      SectionText(section), QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
  if (!decoded) return;
  // Everything is read and checked before any record changes.
  struct Entry {
    bool task;
    qint32 index;
    ExtraValues values;
  };
  std::vector<Entry> read;
  ByteReader in(*decoded);
  qint32 entries = 0;
  if (!in.Count(entries, 1 + 4 + 4)) return;
  read.reserve(static_cast<size_t>(entries));
  for (qint32 e = 0; e < entries; ++e) {
    Entry entry{false, 0, {}};
    if (!in.Bool(entry.task) || !in.Int32(entry.index) || !ReadExtraValues(in, entry.values)) return;
    const size_t count = entry.task ? records.todos.size() : records.notes.size();
    if (entry.index < 0 || static_cast<size_t>(entry.index) >= count) return;
    read.push_back(std::move(entry));
  }
  for (const Entry& entry : read) {
    if (entry.task)
      ApplyExtraValues(entry.values, records.todos[entry.index]);
    else
      ApplyExtraValues(entry.values, records.notes[entry.index]);
  }
}

QByteArray BackupBytes(const DataFormat& calendar, QByteArrayView settingsLines) {
  QByteArray bytes = CalendarBlock(calendar);
  bytes.append(settingsLines);
  if (!bytes.endsWith('\n') && !bytes.endsWith('\r') && !settingsLines.isEmpty()) bytes.append("\r\n", 2);
  bytes.append(RecordExtrasSection(calendar));
  return bytes;
}

QByteArray SyncBytes(const DataFormat& calendar) { return CalendarBlock(calendar) + RecordExtrasSection(calendar); }

std::optional<BackupContents> ReadBackup(QByteArrayView bytes) {
  ByteReader in(bytes);
  BackupContents contents;
  if (!ReadCalendarBlock(in, contents.records)) return std::nullopt;
  const QByteArrayView rest = in.rest();
  const qsizetype extras = RecordExtrasStart(rest);
  contents.settingsLines = rest.first(extras);
  ReadRecordExtras(rest.sliced(extras), contents.records);
  return contents;
}

void ReplaceCalendar(DataFormat& calendar, CalendarRecords records) {
  calendar.ClearCalendar();
  // Taken as they are, without the present time and the new identity AppendNote and
  // AppendToDo stamp on a record: every field is replaced by the file's at once.
  calendar.NoteArray = std::move(records.notes);
  calendar.ToDoArray = std::move(records.todos);
  for (const TToDo& todo : calendar.ToDoArray)
    if (todo.IsOpen()) ++calendar.OpenToDoCount;
  calendar.DeriveMissingUids();
  calendar.DataChanged = true;
}

bool MergeFromBytes(DataFormat& calendar, QByteArrayView bytes) {
  ByteReader in(bytes);
  CalendarRecords records;
  if (!ReadCalendarBlock(in, records)) return false;
  const QByteArrayView rest = in.rest();
  ReadRecordExtras(rest.sliced(RecordExtrasStart(rest)), records);
  for (const TNote& note : records.notes) calendar.MergeNote(note);
  for (const TToDo& todo : records.todos) calendar.MergeToDo(todo);
  return true;
}
