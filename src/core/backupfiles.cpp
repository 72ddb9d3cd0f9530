#include "core/backupfiles.h"

#include "core/dataformat.h"

namespace {

const QByteArray ExtrasMarker = QByteArrayLiteral("OrvaneRecordExtras 1");
constexpr qsizetype ExtrasLineLength = 76;
const QString UidName = QStringLiteral("UID");
const QString RecurrenceIdName = QStringLiteral("RecurrenceId");

// One record's extra values: its kind and index in the block, then name and value pairs.
void WriteEntry(ByteWriter& out, bool task, int index, const QList<std::pair<QString, QString>>& values) {
  out.Bool(task);
  out.Int32(index);
  out.Int32(static_cast<qint32>(values.size()));
  for (const auto& [name, value] : values) {
    WriteStreamString(out, name);
    WriteStreamString(out, value);
  }
}

QString MomentText(TDateTime t) { return QString::number(t, 'g', 17); }

// A moment written by MomentText; nothing unless it is one of the calendar's dates.
std::optional<TDateTime> ReadMoment(const QString& text) {
  bool ok = false;
  const double value = text.toDouble(&ok);
  if (!ok) return std::nullopt;
  QByteArray bytes;
  ByteWriter(bytes).Double(value);
  ByteReader in(bytes);
  double checked = 0;
  if (!in.Date(checked)) return std::nullopt;
  return checked;
}

// The lines of the section after its marker, joined: the base64url text.
QByteArray SectionText(QByteArrayView section) {
  QByteArray text;
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
    const TNote& note = calendar.NoteArray[i];
    QList<std::pair<QString, QString>> values;
    if (!note.Uid.isEmpty()) values.append({UidName, note.Uid});
    if (note.RecurrenceId != 0) values.append({RecurrenceIdName, MomentText(note.RecurrenceId)});
    if (values.isEmpty()) continue;
    WriteEntry(out, false, i, values);
    ++entries;
  }
  for (int i = 0; i < calendar.ToDoCount(); ++i) {
    const TToDo& todo = calendar.ToDoArray[i];
    if (todo.Uid.isEmpty()) continue;
    WriteEntry(out, true, i, {{UidName, todo.Uid}});
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
  struct Value {
    bool task;
    qint32 index;
    QString name;
    QString value;
  };
  std::vector<Value> values;
  ByteReader in(*decoded);
  qint32 entries = 0;
  if (!in.Count(entries, 1 + 4 + 4)) return;
  for (qint32 e = 0; e < entries; ++e) {
    bool task = false;
    qint32 index = 0;
    qint32 pairs = 0;
    if (!in.Bool(task) || !in.Int32(index) || !in.Count(pairs, 8)) return;
    const size_t count = task ? records.todos.size() : records.notes.size();
    if (index < 0 || static_cast<size_t>(index) >= count) return;
    for (qint32 p = 0; p < pairs; ++p) {
      Value v{task, index, {}, {}};
      if (!ReadStreamString(in, v.name) || !ReadStreamString(in, v.value)) return;
      values.push_back(std::move(v));
    }
  }
  for (Value& v : values) {
    // Values a later version adds are passed over.
    if (v.task) {
      if (v.name == UidName) records.todos[v.index].Uid = std::move(v.value);
      continue;
    }
    TNote& note = records.notes[v.index];
    if (v.name == UidName) {
      note.Uid = std::move(v.value);
    } else if (v.name == RecurrenceIdName) {
      if (const auto moment = ReadMoment(v.value)) note.RecurrenceId = *moment;
    }
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
  for (TNote& note : records.notes) {
    const int index = calendar.AppendNote();
    calendar.NoteArray[index] = std::move(note);
  }
  for (TToDo& todo : records.todos) {
    const int index = calendar.AppendToDo();
    if (!todo.IsOpen()) --calendar.OpenToDoCount;
    calendar.ToDoArray[index] = std::move(todo);
  }
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
