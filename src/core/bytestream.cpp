#include "core/bytestream.h"

#include "core/dataformat.h"

#include <QStringDecoder>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

// Windows-1252 bytes 0x80..0x9F; the five unassigned ones map to the C1 controls, as
// Windows itself maps them.
constexpr char16_t Cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The range of dates the calendar can show: 1 January 1 to 31 December 9999.
constexpr double FirstDate = -693593;
constexpr double LastDate = 2958466;

}  // namespace

void ByteWriter::Int32(qint32 value) {
  char bytes[4];
  qToLittleEndian(value, bytes);
  out_.append(bytes, 4);
}

void ByteWriter::Double(double value) {
  quint64 bits;
  std::memcpy(&bits, &value, sizeof bits);
  char bytes[8];
  qToLittleEndian(bits, bytes);
  out_.append(bytes, 8);
}

bool ByteReader::Int32(qint32& value) {
  if (!ok_ || remaining() < 4) return Fail();
  value = qFromLittleEndian<qint32>(data_.data() + pos_);
  pos_ += 4;
  return true;
}

bool ByteReader::Double(double& value) {
  if (!ok_ || remaining() < 8) return Fail();
  const quint64 bits = qFromLittleEndian<quint64>(data_.data() + pos_);
  pos_ += 8;
  std::memcpy(&value, &bits, sizeof value);
  return true;
}

bool ByteReader::Date(double& value) {
  if (!Double(value)) return false;
  if (!std::isfinite(value) || value < FirstDate || value >= LastDate) return Fail();
  return true;
}

bool ByteReader::Bool(bool& value) {
  if (!ok_ || remaining() < 1) return Fail();
  value = data_[pos_] != 0;
  ++pos_;
  return true;
}

bool ByteReader::Bytes(qsizetype length, QByteArrayView& bytes) {
  if (!ok_ || length < 0 || length > remaining()) return Fail();
  bytes = data_.sliced(pos_, length);
  pos_ += length;
  return true;
}

bool ByteReader::Count(qint32& count, qsizetype itemSize) {
  if (!Int32(count)) return false;
  if (count < 0 || static_cast<qsizetype>(count) > remaining() / itemSize) return Fail();
  return true;
}

QString DecodeText(QByteArrayView bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  text.clear();
  text.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text.append(b >= 0x80 && b < 0xA0 ? QChar(Cp1252High[b - 0x80]) : QChar(b));
  }
  return text;
}

void WriteStreamString(ByteWriter& out, const QString& text) {
  const QByteArray bytes = text.toUtf8();
  out.Int32(static_cast<qint32>(bytes.size()));
  out.Bytes(bytes);
}

bool ReadStreamString(ByteReader& in, QString& text) {
  qint32 length = 0;
  QByteArrayView bytes;
  if (!in.Int32(length) || !in.Bytes(length, bytes)) return false;
  // Most records leave most texts empty: those need no decoding.
  if (bytes.isEmpty())
    text.clear();
  else
    text = DecodeText(bytes);
  return true;
}

void WriteNote(const TNote& note, ByteWriter& out) {
  WriteStreamString(out, note.Title);
  WriteStreamString(out, note.Category);
  WriteStreamString(out, note.Location);
  WriteStreamString(out, note.Notes);
  for (double d :
       {note.StartTime, note.EndTime, note.AlarmTime, note.StartDate, note.EndDate, note.ModifyDate, note.DeleteDate}) {
    out.Double(d);
  }
  out.Bool(note.Span);
  out.Bool(note.Start);
  out.Bool(note.Alarm);
  for (qint32 v : {note.SpanRange, note.RangeType, note.RangeCount, note.RepeatType, note.RepeatFrequency,
                   note.RepeatDay, note.RepeatMonth, note.RepeatCardinal}) {
    out.Int32(v);
  }
  for (int day = 1; day <= 7; ++day) out.Bool(note.RepeatOn(day));
  out.Int32(static_cast<qint32>(note.Exceptions.size()));
  for (TDateTime d : note.Exceptions) out.Double(d);
  out.Int32(static_cast<qint32>(note.RecurNotes.size()));
  for (const TRecurNote& rn : note.RecurNotes) {
    WriteStreamString(out, rn.Data);
    out.Double(rn.Date);
  }
}

bool ReadNote(TNote& note, ByteReader& in) {
  note = TNote();
  bool ok = ReadStreamString(in, note.Title) && ReadStreamString(in, note.Category) &&
            ReadStreamString(in, note.Location) && ReadStreamString(in, note.Notes);
  for (double* d : {&note.StartTime, &note.EndTime, &note.AlarmTime, &note.StartDate, &note.EndDate, &note.ModifyDate,
                    &note.DeleteDate}) {
    ok = ok && in.Date(*d);
  }
  ok = ok && in.Bool(note.Span) && in.Bool(note.Start) && in.Bool(note.Alarm);
  for (qint32* v : {&note.SpanRange, &note.RangeType, &note.RangeCount, &note.RepeatType, &note.RepeatFrequency,
                    &note.RepeatDay, &note.RepeatMonth, &note.RepeatCardinal}) {
    ok = ok && in.Int32(*v);
  }
  for (int day = 1; ok && day <= 7; ++day) {
    bool on = false;
    ok = in.Bool(on);
    note.SetRepeatOn(day, on);
  }
  qint32 exceptions = 0;
  if (!ok || !in.Count(exceptions, 8)) return false;
  note.Exceptions.reserve(exceptions);
  for (qint32 k = 0; k < exceptions; ++k) {
    double d = 0;
    if (!in.Date(d)) return false;
    note.Exceptions.append(d);
  }
  qint32 dayNotes = 0;
  if (!in.Count(dayNotes, 12)) return false;
  note.RecurNotes.reserve(dayNotes);
  for (qint32 k = 0; k < dayNotes; ++k) {
    TRecurNote rn;
    if (!ReadStreamString(in, rn.Data) || !in.Date(rn.Date)) return false;
    note.RecurNotes.append(rn);
  }
  return true;
}

void WriteToDo(const TToDo& todo, ByteWriter& out) {
  WriteStreamString(out, todo.Title);
  WriteStreamString(out, todo.Category);
  out.Int32(todo.Priority);
  out.Bool(todo.Completed);
  out.Double(todo.ModifyDate);
  out.Double(todo.DeleteDate);
  out.Double(todo.DueDate);
  out.Int32(static_cast<qint32>(todo.Notes.size()));
  for (const QString& line : todo.Notes) WriteStreamString(out, line);
}

bool ReadToDo(TToDo& todo, ByteReader& in) {
  todo = TToDo();
  qint32 lines = 0;
  if (!ReadStreamString(in, todo.Title) || !ReadStreamString(in, todo.Category) || !in.Int32(todo.Priority) ||
      !in.Bool(todo.Completed) || !in.Date(todo.ModifyDate) || !in.Date(todo.DeleteDate) || !in.Date(todo.DueDate) ||
      !in.Count(lines, 4)) {
    return false;
  }
  todo.Notes.reserve(lines);
  for (qint32 k = 0; k < lines; ++k) {
    QString line;
    if (!ReadStreamString(in, line)) return false;
    todo.Notes.append(line);
  }
  return true;
}

namespace {

const QString UidName = QStringLiteral("UID");
const QString RecurrenceIdName = QStringLiteral("RecurrenceId");
const QString TimeZoneName = QStringLiteral("TimeZone");

// A moment as text and back; nothing unless the text is one of the calendar's dates.
QString MomentText(TDateTime t) { return QString::number(t, 'g', 17); }
std::optional<TDateTime> MomentOf(const QString& text) {
  bool ok = false;
  const double value = text.toDouble(&ok);
  if (!ok || !std::isfinite(value) || value < FirstDate || value >= LastDate) return std::nullopt;
  return value;
}

}  // namespace

ExtraValues ExtraValuesOf(const TNote& note) {
  ExtraValues values;
  if (!note.Uid.isEmpty()) values.append({UidName, note.Uid});
  if (note.RecurrenceId != 0) values.append({RecurrenceIdName, MomentText(note.RecurrenceId)});
  if (!note.TimeZone.isEmpty()) values.append({TimeZoneName, note.TimeZone});
  return values;
}

ExtraValues ExtraValuesOf(const TToDo& todo) {
  ExtraValues values;
  if (!todo.Uid.isEmpty()) values.append({UidName, todo.Uid});
  return values;
}

void ApplyExtraValues(const ExtraValues& values, TNote& note) {
  for (const auto& [name, value] : values) {
    if (name == UidName) {
      note.Uid = value;
    } else if (name == RecurrenceIdName) {
      if (const auto moment = MomentOf(value)) note.RecurrenceId = *moment;
    } else if (name == TimeZoneName) {
      note.TimeZone = value;
    }
  }
}

void ApplyExtraValues(const ExtraValues& values, TToDo& todo) {
  for (const auto& [name, value] : values)
    if (name == UidName) todo.Uid = value;
}

void WriteExtraValues(ByteWriter& out, const ExtraValues& values) {
  out.Int32(static_cast<qint32>(values.size()));
  for (const auto& [name, value] : values) {
    WriteStreamString(out, name);
    WriteStreamString(out, value);
  }
}

bool ReadExtraValues(ByteReader& in, ExtraValues& values) {
  values.clear();
  qint32 count = 0;
  if (!in.Count(count, 8)) return false;
  values.reserve(count);  // checked against the bytes left
  for (qint32 k = 0; k < count; ++k) {
    std::pair<QString, QString> value;
    if (!ReadStreamString(in, value.first) || !ReadStreamString(in, value.second)) return false;
    values.append(std::move(value));
  }
  return true;
}

void WriteCalendarBlock(const DataFormat& calendar, ByteWriter& out) {
  out.Int32(calendar.NoteCount());
  for (const TNote& note : calendar.NoteArray) WriteNote(note, out);
  out.Int32(calendar.ToDoCount());
  for (const TToDo& todo : calendar.ToDoArray) WriteToDo(todo, out);
}

QByteArray CalendarBlock(const DataFormat& calendar) {
  QByteArray bytes;
  ByteWriter out(bytes);
  WriteCalendarBlock(calendar, out);
  return bytes;
}

bool ReadCalendarBlock(ByteReader& in, CalendarRecords& records) {
  records = CalendarRecords();
  qint32 notes = 0;
  // The task count after the events takes four bytes too.
  if (!in.Count(notes, MinNoteBytes)) return false;
  records.notes.resize(notes);
  for (TNote& note : records.notes) {
    if (!ReadNote(note, in)) return false;
  }
  qint32 todos = 0;
  if (!in.Count(todos, MinToDoBytes)) return false;
  records.todos.resize(todos);
  for (TToDo& todo : records.todos) {
    if (!ReadToDo(todo, in)) return false;
  }
  return true;
}
