// Loading and saving the calendar over a key store.
//
// Layout: \Software\Orvane\Notes\<i> holds event i, \Software\Orvane\Todos\<i> task i, where
// i is the record's index at the time of the save. A save replaces everything stored before,
// in one transaction, and skips events and tasks deleted more than 21 days ago.
//
// Beside the keys, where the store keeps copies (KeyStore::WriteCopy), each record key has a
// copy of the record as its keys read, in a compact form, and each collection key a copy
// that says every record key under it has one. A load reads the copies when they are all
// there, in one go, and the keys otherwise; a save writes the copies of the records it
// writes. A copy is dropped by any change of the keys it was made from, whoever writes them.

#include "core/bytestream.h"
#include "core/dataformat.h"
#include "core/keystore.h"
#include "core/memorykeystore.h"
#include "core/persistence_state.h"
#include "core/recurrence.h"

#include <QHash>
#include <QSet>
#include <QStringEncoder>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <initializer_list>
#include <limits>
#include <numeric>
#include <optional>
#include <string>

namespace {

const QString NotesKey = QStringLiteral("\\Software\\Orvane\\Notes");
const QString TodosKey = QStringLiteral("\\Software\\Orvane\\Todos");
constexpr double KeepDeletedDays = 21;
// Values after the fixed ones, written only when set: older copies pass over them.
const QString UidName = QStringLiteral("UID");
const QString RecurrenceIdName = QStringLiteral("RecurrenceId");
const QString TimeZoneName = QStringLiteral("TimeZone");
const QString HrefName = QStringLiteral("Href");
const QString ETagName = QStringLiteral("ETag");
const QString SyncedName = QStringLiteral("Synced");
const QString ReadOnlyName = QStringLiteral("ReadOnly");

const QString WeekdayNames[7] = {QStringLiteral("RepeatMonday"),    QStringLiteral("RepeatTuesday"),
                                 QStringLiteral("RepeatWednesday"), QStringLiteral("RepeatThursday"),
                                 QStringLiteral("RepeatFriday"),    QStringLiteral("RepeatSaturday"),
                                 QStringLiteral("RepeatSunday")};

// The canonical decimal text of an index ("12", never "012" or "+12"), or -1.
int IndexOfKeyName(QStringView name) {
  if (name.isEmpty() || name.size() > 9) return -1;
  if (name.size() > 1 && name[0] == QLatin1Char('0')) return -1;
  int value = 0;
  for (QChar c : name) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return -1;
    value = value * 10 + (c.unicode() - '0');
  }
  return value;
}

bool Expired(TDateTime deleteDate, TDateTime now) { return deleteDate != 0 && deleteDate + KeepDeletedDays <= now; }

// The copies' form: a version byte, then for a collection key the count of its record keys,
// for a record key its fields as its keys read, compact: numbers, lengths and counts in 7-bit
// groups (signed ones zigzagged), texts as a length and UTF-8, dates as 8-byte numbers after a
// byte with a bit for each date that is not all zero bits, Booleans as flags.
constexpr quint8 CopyVersion = 2;
enum CopyFlag : quint8 {
  CopySpan = 1,
  CopyStart = 2,
  CopyAlarm = 4,
  CopyReadOnly = 8,
  CopyCompleted = 16,
};

void PutByte(ByteWriter& out, quint8 byte) {
  const char c = static_cast<char>(byte);
  out.Bytes(QByteArrayView(&c, 1));
}

bool GetByte(ByteReader& in, quint8& byte) {
  QByteArrayView bytes;
  if (!in.Bytes(1, bytes)) return false;
  byte = static_cast<quint8>(bytes[0]);
  return true;
}

// Puts a copy together in a buffer kept from one copy to the next, so that the copy itself
// takes one allocation of its own size: a save makes a copy of every record it writes.
class CopyWriter {
 public:
  CopyWriter() : buffer_(Buffer()) { buffer_.clear(); }
  void Byte(quint8 byte) { buffer_.push_back(static_cast<char>(byte)); }
  void Double(double value) {
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    char bytes[8];
    qToLittleEndian(bits, bytes);
    buffer_.append(bytes, 8);
  }
  void Number(quint32 value) {
    for (; value >= 0x80; value >>= 7) Byte(static_cast<quint8>(value | 0x80));
    Byte(static_cast<quint8>(value));
  }
  void Signed(qint32 value) { Number((static_cast<quint32>(value) << 1) ^ static_cast<quint32>(value >> 31)); }
  // Up to 8 dates.
  void Dates(std::initializer_list<double> dates) {
    quint8 there = 0, bit = 1;
    for (double date : dates) {
      if (!IsZero(date)) there |= bit;
      bit <<= 1;
    }
    Byte(there);
    for (double date : dates) {
      if (!IsZero(date)) Double(date);
    }
  }
  // As a length and UTF-8, encoded straight into the buffer after room for the longest
  // length, then moved down to the length written.
  void Text(const QString& text) {
    constexpr size_t room = 5;
    const size_t at = buffer_.size();
    buffer_.resize(at + room + static_cast<size_t>(utf8_.requiredSpace(text.size())));
    char* const start = buffer_.data() + at + room;
    const size_t length = static_cast<size_t>(utf8_.appendToBuffer(start, text) - start);
    char prefix[room];
    size_t used = 0;
    quint32 value = static_cast<quint32>(length);
    for (; value >= 0x80; value >>= 7) prefix[used++] = static_cast<char>(value | 0x80);
    prefix[used++] = static_cast<char>(value);
    std::memmove(buffer_.data() + at + used, start, length);
    std::memcpy(buffer_.data() + at, prefix, used);
    buffer_.resize(at + used + length);
  }
  // All zero bits (a -0 is written).
  static bool IsZero(double value) {
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == 0;
  }
  QByteArray Copy() const { return QByteArray(buffer_.data(), static_cast<qsizetype>(buffer_.size())); }

 private:
  static std::string& Buffer() {
    thread_local std::string buffer;
    return buffer;
  }
  std::string& buffer_;
  QStringEncoder utf8_{QStringConverter::Utf8, QStringConverter::Flag::Stateless};
};

bool GetNumber(ByteReader& in, quint32& value) {
  value = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    quint8 byte = 0;
    if (!GetByte(in, byte)) return false;
    if (shift == 28 && byte > 0x0f) return false;  // more than 32 bits
    value |= static_cast<quint32>(byte & 0x7f) << shift;
    if (!(byte & 0x80)) return true;
  }
  return false;
}

bool GetSigned(ByteReader& in, qint32& value) {
  quint32 zigzag = 0;
  if (!GetNumber(in, zigzag)) return false;
  value = static_cast<qint32>((zigzag >> 1) ^ (0u - (zigzag & 1)));
  return true;
}

// A count of items that each take at least itemSize bytes, checked against the bytes left.
bool GetCount(ByteReader& in, qint32& count, qsizetype itemSize) {
  quint32 value = 0;
  if (!GetNumber(in, value) || value > static_cast<quint64>(in.remaining() / itemSize)) return false;
  count = static_cast<qint32>(value);
  return true;
}

bool GetText(ByteReader& in, QString& text) {
  qint32 length = 0;
  QByteArrayView bytes;
  if (!GetCount(in, length, 1) || !in.Bytes(length, bytes)) return false;
  text = QString::fromUtf8(bytes);
  return true;
}

// Dates as CopyWriter::Dates wrote them.
bool GetDates(ByteReader& in, std::initializer_list<double*> dates) {
  quint8 there = 0;
  if (!GetByte(in, there) || (there >> dates.size()) != 0) return false;
  quint8 bit = 1;
  for (double* date : dates) {
    *date = 0;
    if ((there & bit) && !in.Double(*date)) return false;
    bit <<= 1;
  }
  return true;
}

QByteArray CollectionCopy(qint32 keys) {
  QByteArray bytes;
  ByteWriter out(bytes);
  PutByte(out, CopyVersion);
  out.Int32(keys);
  return bytes;
}

// The count a collection key's copy gives, or -1.
qint32 KeysOfCollectionCopy(QByteArrayView copy) {
  ByteReader in(copy);
  quint8 version = 0;
  qint32 keys = 0;
  if (!GetByte(in, version) || version != CopyVersion || !in.Int32(keys) || in.remaining() != 0) return -1;
  return keys;
}

// The copy of the key WriteNoteKey wrote for a record: the record as the key reads, with the
// exceptions' dates alone and, without a resource on a server, nothing of a server's copy.
// Everything else reads back as it was written (the texts through UTF-8, as in the copy).
QByteArray WrittenNoteCopy(const TNote& n) {
  static const TServerCopy noServer;
  const TServerCopy& server = n.Server.Href.isEmpty() ? noServer : n.Server;
  CopyWriter out;
  out.Byte(CopyVersion);
  out.Byte((n.Span ? CopySpan : 0) | (n.Start ? CopyStart : 0) | (n.Alarm ? CopyAlarm : 0) |
           (server.ReadOnly ? CopyReadOnly : 0));
  quint8 days = 0;
  for (int d = 0; d < 7; ++d) days |= n.RepeatOn(d + 1) ? 1u << d : 0u;
  out.Byte(days);
  for (const QString* text :
       {&n.Title, &n.Category, &n.Location, &n.Notes, &n.Uid, &n.TimeZone, &server.Href, &server.ETag, &server.Synced})
    out.Text(*text);
  // No -0 for no recurrence id: none is written.
  out.Dates({n.StartTime, n.EndTime, n.AlarmTime, n.StartDate, n.EndDate, n.ModifyDate, n.DeleteDate,
             n.RecurrenceId == 0 ? 0.0 : n.RecurrenceId});
  for (qint32 v : {n.SpanRange, n.RangeType, n.RangeCount, n.RepeatType, n.RepeatFrequency, n.RepeatDay, n.RepeatMonth,
                   n.RepeatCardinal})
    out.Signed(v);
  out.Number(static_cast<quint32>(n.Exceptions.size()));
  for (TDateTime date : n.Exceptions) out.Double(DatePart(date));
  out.Number(static_cast<quint32>(n.RecurNotes.size()));
  for (const TRecurNote& rn : n.RecurNotes) {
    out.Double(rn.Date);
    out.Text(rn.Data);
  }
  return out.Copy();
}

// Whether a record may be listed on a day from `first` to `last`. Nothing is listed before its
// start, nor after the end date of a series that ends on a date; a one-time event (or a span of
// days) only on its own days. Each bound keeps a day either side, where an event kept in
// another zone can fall. A record with exception dates, which add days, or with a start that
// is not a day, always may; a deleted one never is.
bool MayShowOnDays(TDateTime deleteDate, qint32 repeatType, bool hasExceptions, TDateTime startDate, bool span,
                   qint32 spanRange, qint32 rangeType, TDateTime endDate, qint64 first, qint64 last) {
  if (deleteDate != 0) return false;
  if (hasExceptions || !std::isfinite(startDate) || std::fabs(startDate) > MaxDayNumber) return true;
  const qint64 start = static_cast<qint64>(DatePart(startDate));
  if (start > last + 2) return false;
  if (rangeType == 2 && endDate < static_cast<double>(first - 2)) return false;  // a NaN end ends nothing
  if (repeatType != 0) return true;
  const qint64 end = span ? start + std::max<qint64>(spanRange, 1) - 1 : start;
  return end >= first - 2;
}

bool MayShowOnDays(const TNote& n, qint64 first, qint64 last) {
  return MayShowOnDays(n.DeleteDate, n.RepeatType, !n.Exceptions.isEmpty(), n.StartDate, n.Span, n.SpanRange,
                       n.RangeType, n.EndDate, first, last);
}

// The texts a record's copy begins with (ReadNoteCopy reads them in this order).
constexpr int NoteCopyTexts = 9;

// MayShowOnDays for the record a copy holds, read without making the record; nothing when
// the copy does not read.
std::optional<bool> NoteCopyMayShow(QByteArrayView copy, qint64 first, qint64 last) {
  ByteReader in(copy);
  quint8 version = 0, flags = 0, days = 0;
  if (!GetByte(in, version) || version != CopyVersion || !GetByte(in, flags) || !GetByte(in, days)) return std::nullopt;
  for (int k = 0; k < NoteCopyTexts; ++k) {
    qint32 length = 0;
    QByteArrayView bytes;
    if (!GetCount(in, length, 1) || !in.Bytes(length, bytes)) return std::nullopt;
  }
  TDateTime startTime, endTime, alarmTime, startDate, endDate, modifyDate, deleteDate, recurrenceId;
  if (!GetDates(in, {&startTime, &endTime, &alarmTime, &startDate, &endDate, &modifyDate, &deleteDate, &recurrenceId}))
    return std::nullopt;
  qint32 spanRange = 0, rangeType = 0, rangeCount = 0, repeatType = 0;
  for (qint32* v : {&spanRange, &rangeType, &rangeCount, &repeatType}) {
    if (!GetSigned(in, *v)) return std::nullopt;
  }
  for (int k = 0; k < 4; ++k) {  // the repeat's frequency, day, month and cardinal
    qint32 unused = 0;
    if (!GetSigned(in, unused)) return std::nullopt;
  }
  qint32 exceptions = 0;
  if (!GetCount(in, exceptions, 8)) return std::nullopt;
  return MayShowOnDays(deleteDate, repeatType, exceptions > 0, startDate, flags & CopySpan, spanRange, rangeType,
                       endDate, first, last);
}

bool ReadNoteCopy(QByteArrayView copy, TNote& n) {
  ByteReader in(copy);
  quint8 version = 0, flags = 0, days = 0;
  if (!GetByte(in, version) || version != CopyVersion || !GetByte(in, flags) || !GetByte(in, days)) return false;
  const std::initializer_list<QString*> texts = {&n.Title,    &n.Category,    &n.Location,    &n.Notes,        &n.Uid,
                                                 &n.TimeZone, &n.Server.Href, &n.Server.ETag, &n.Server.Synced};
  Q_ASSERT(texts.size() == NoteCopyTexts);
  for (QString* text : texts) {
    if (!GetText(in, *text)) return false;
  }
  if (!GetDates(in, {&n.StartTime, &n.EndTime, &n.AlarmTime, &n.StartDate, &n.EndDate, &n.ModifyDate, &n.DeleteDate,
                     &n.RecurrenceId}))
    return false;
  for (qint32* v : {&n.SpanRange, &n.RangeType, &n.RangeCount, &n.RepeatType, &n.RepeatFrequency, &n.RepeatDay,
                    &n.RepeatMonth, &n.RepeatCardinal}) {
    if (!GetSigned(in, *v)) return false;
  }
  n.Span = flags & CopySpan;
  n.Start = flags & CopyStart;
  n.Alarm = flags & CopyAlarm;
  n.Server.ReadOnly = flags & CopyReadOnly;
  for (int d = 0; d < 7; ++d) n.SetRepeatOn(d + 1, days & (1u << d));
  qint32 count = 0;
  if (!GetCount(in, count, 8)) return false;
  if (count > 0) n.Exceptions.reserve(count);
  for (qint32 j = 0; j < count; ++j) {
    TDateTime date = 0;
    if (!in.Double(date)) return false;
    n.Exceptions.append(date);
  }
  if (!GetCount(in, count, 8 + 1)) return false;
  if (count > 0) n.RecurNotes.reserve(count);
  for (qint32 j = 0; j < count; ++j) {
    TRecurNote& rn = n.RecurNotes.emplace_back();
    if (!in.Double(rn.Date) || !GetText(in, rn.Data)) return false;
  }
  return in.remaining() == 0;
}

// The copy of the key WriteToDoKey wrote for a task: without a resource on a server,
// nothing of a server's copy.
QByteArray WrittenToDoCopy(const TToDo& t) {
  static const TServerCopy noServer;
  const TServerCopy& server = t.Server.Href.isEmpty() ? noServer : t.Server;
  CopyWriter out;
  out.Byte(CopyVersion);
  out.Byte((t.Completed ? CopyCompleted : 0) | (server.ReadOnly ? CopyReadOnly : 0));
  for (const QString* text : {&t.Title, &t.Category, &t.Uid, &server.Href, &server.ETag, &server.Synced})
    out.Text(*text);
  out.Signed(t.Priority);
  out.Dates({t.DueDate, t.ModifyDate, t.DeleteDate});
  out.Number(static_cast<quint32>(t.Notes.size()));
  for (const QString& line : t.Notes) out.Text(line);
  return out.Copy();
}

bool ReadToDoCopy(QByteArrayView copy, TToDo& t) {
  ByteReader in(copy);
  quint8 version = 0, flags = 0;
  if (!GetByte(in, version) || version != CopyVersion || !GetByte(in, flags)) return false;
  for (QString* text : {&t.Title, &t.Category, &t.Uid, &t.Server.Href, &t.Server.ETag, &t.Server.Synced}) {
    if (!GetText(in, *text)) return false;
  }
  if (!GetSigned(in, t.Priority) || !GetDates(in, {&t.DueDate, &t.ModifyDate, &t.DeleteDate})) return false;
  t.Completed = flags & CopyCompleted;
  t.Server.ReadOnly = flags & CopyReadOnly;
  qint32 count = 0;
  if (!GetCount(in, count, 1)) return false;
  if (count > 0) t.Notes.reserve(count);
  for (qint32 j = 0; j < count; ++j) {
    if (!GetText(in, t.Notes.emplace_back())) return false;
  }
  return in.remaining() == 0;
}

// Writes run until the first failure; the failure names the value.
class Writer {
 public:
  Writer(KeyStore& store, SaveResult& result) : store_(store), result_(result) {}
  bool ok() const { return ok_; }
  void Text(const QString& name, const QString& v) { Check(name, ok_ && store_.WriteString(name, v)); }
  void Int(const QString& name, qint32 v) { Check(name, ok_ && store_.WriteInteger(name, v)); }
  void Bool(const QString& name, bool v) { Check(name, ok_ && store_.WriteBool(name, v)); }
  void Date(const QString& name, TDateTime v) { Check(name, ok_ && store_.WriteDate(name, v)); }
  bool Open(const QString& path) {
    if (ok_ && !store_.OpenKey(path, true))
      Fail(QStringLiteral("Failed to create key \"%1\": %2").arg(path, store_.LastError()));
    return ok_;
  }

 private:
  void Check(const QString& name, bool written) {
    if (ok_ && !written) Fail(QStringLiteral("Failed to write value \"%1\": %2").arg(name, store_.LastError()));
  }
  void Fail(const QString& error) {
    ok_ = false;
    result_.ok = false;
    result_.error = error;
  }
  KeyStore& store_;
  SaveResult& result_;
  bool ok_ = true;
};

// Where the record is kept on a calendar server, when it is.
void WriteServerCopy(Writer& w, const TServerCopy& server) {
  if (server.Href.isEmpty()) return;
  w.Text(HrefName, server.Href);
  if (!server.ETag.isEmpty()) w.Text(ETagName, server.ETag);
  if (!server.Synced.isEmpty()) w.Text(SyncedName, server.Synced);
  if (server.ReadOnly) w.Bool(ReadOnlyName, true);
}

template <typename Reader>
void ReadServerCopy(Reader& r, TServerCopy& server) {
  server.Href = r.ReadString(HrefName).value_or(QString());
  if (server.Href.isEmpty()) return;
  server.ETag = r.ReadString(ETagName).value_or(QString());
  server.Synced = r.ReadString(SyncedName).value_or(QString());
  server.ReadOnly = r.ReadInteger(ReadOnlyName).value_or(0) != 0;
}

void WriteNoteKey(Writer& w, const QString& key, const TNote& n) {
  if (!w.Open(key)) return;
  w.Text(QStringLiteral("Title"), n.Title);
  w.Text(QStringLiteral("Category"), n.Category);
  w.Text(QStringLiteral("Location"), n.Location);
  w.Date(QStringLiteral("StartTime"), n.StartTime);
  w.Date(QStringLiteral("EndTime"), n.EndTime);
  w.Date(QStringLiteral("AlarmTime"), n.AlarmTime);
  w.Date(QStringLiteral("StartDate"), n.StartDate);
  w.Date(QStringLiteral("EndDate"), n.EndDate);
  w.Date(QStringLiteral("ModifyDate"), n.ModifyDate);
  w.Date(QStringLiteral("DeleteDate"), n.DeleteDate);
  w.Bool(QStringLiteral("Span"), n.Span);
  w.Bool(QStringLiteral("Start"), n.Start);
  w.Bool(QStringLiteral("Alarm"), n.Alarm);
  w.Int(QStringLiteral("SpanRange"), n.SpanRange);
  w.Int(QStringLiteral("RangeType"), n.RangeType);
  w.Int(QStringLiteral("RangeCount"), n.RangeCount);
  w.Int(QStringLiteral("RepeatType"), n.RepeatType);
  w.Int(QStringLiteral("RepeatFrequency"), n.RepeatFrequency);
  w.Int(QStringLiteral("RepeatDay"), n.RepeatDay);
  w.Int(QStringLiteral("RepeatMonth"), n.RepeatMonth);
  w.Int(QStringLiteral("RepeatCardinal"), n.RepeatCardinal);
  for (int d = 0; d < 7; ++d) w.Bool(WeekdayNames[d], n.RepeatOn(d + 1));
  if (!n.Uid.isEmpty()) w.Text(UidName, n.Uid);
  if (n.RecurrenceId != 0) w.Date(RecurrenceIdName, n.RecurrenceId);
  if (!n.TimeZone.isEmpty()) w.Text(TimeZoneName, n.TimeZone);
  WriteServerCopy(w, n.Server);
  if (!n.Notes.isEmpty() && w.Open(key + QStringLiteral("\\Notes"))) {
    w.Text(QStringLiteral("0"), n.Notes);
  }
  if (!n.Exceptions.isEmpty() && w.Open(key + QStringLiteral("\\Exceptions"))) {
    for (qsizetype j = 0; j < n.Exceptions.size(); ++j) {
      w.Date(QString::number(j), DatePart(n.Exceptions[j]));
    }
  }
  if (!n.RecurNotes.isEmpty() && w.Open(key + QStringLiteral("\\RecurNotes"))) {
    for (qsizetype j = 0; j < n.RecurNotes.size(); ++j) {
      w.Date(QStringLiteral("Date_%1").arg(j), n.RecurNotes[j].Date);
      w.Text(QStringLiteral("Data_%1").arg(j), n.RecurNotes[j].Data);
    }
  }
}

void WriteToDoKey(Writer& w, const QString& key, const TToDo& t) {
  if (!w.Open(key)) return;
  w.Text(QStringLiteral("Title"), t.Title);
  w.Text(QStringLiteral("Category"), t.Category);
  w.Int(QStringLiteral("Priority"), t.Priority);
  w.Bool(QStringLiteral("Completed"), t.Completed);
  w.Date(QStringLiteral("DueDate"), t.DueDate);
  w.Date(QStringLiteral("ModifyDate"), t.ModifyDate);
  w.Date(QStringLiteral("DeleteDate"), t.DeleteDate);
  if (!t.Uid.isEmpty()) w.Text(UidName, t.Uid);
  WriteServerCopy(w, t.Server);
  if (!t.Notes.isEmpty() && w.Open(key + QStringLiteral("\\Notes"))) {
    for (qsizetype j = 0; j < t.Notes.size(); ++j) w.Text(QString::number(j), t.Notes[j]);
  }
}

// Dates are stored bit for bit: equal dates still differ there when they are zeros of two
// signs (a NaN equals nothing).
bool SameSigns(std::initializer_list<std::pair<double, double>> equalDates) {
  return std::all_of(equalDates.begin(), equalDates.end(),
                     [](const auto& d) { return d.first != 0 || std::signbit(d.first) == std::signbit(d.second); });
}

template <typename T, typename DateOf>
bool SameSigns(const QList<T>& a, const QList<T>& b, DateOf dateOf) {
  if (a.constData() == b.constData()) return true;  // one list, shared
  for (qsizetype j = 0; j < a.size(); ++j) {
    if (!SameSigns({{dateOf(a[j]), dateOf(b[j])}})) return false;
  }
  return true;
}

// The records' fields all equal. Two empty lists of dates, only one of them with storage (a
// list emptied keeps its own), would be compared by memcmp with a null pointer, which is
// undefined: they are equal, so the comparison takes one of them twice.
bool SameFields(const TNote& a, const TNote& b) {
  if (a.Exceptions.isEmpty() && b.Exceptions.isEmpty() && a.Exceptions.constData() != b.Exceptions.constData()) {
    TNote same = b;
    same.Exceptions = a.Exceptions;
    return a == same;
  }
  return a == b;
}

// Whether writing a record's key gives the key written from the other: the records are
// equal, dates to the bit.
bool WritesAlike(const TNote& a, const TNote& b) {
  return SameFields(a, b) &&
         SameSigns({{a.StartTime, b.StartTime},
                    {a.EndTime, b.EndTime},
                    {a.AlarmTime, b.AlarmTime},
                    {a.StartDate, b.StartDate},
                    {a.EndDate, b.EndDate},
                    {a.ModifyDate, b.ModifyDate},
                    {a.DeleteDate, b.DeleteDate},
                    {a.RecurrenceId, b.RecurrenceId}}) &&
         SameSigns(a.Exceptions, b.Exceptions, [](TDateTime date) { return date; }) &&
         SameSigns(a.RecurNotes, b.RecurNotes, [](const TRecurNote& rn) { return rn.Date; });
}

bool WritesAlike(const TToDo& a, const TToDo& b) {
  return a == b && SameSigns({{a.DueDate, b.DueDate}, {a.ModifyDate, b.ModifyDate}, {a.DeleteDate, b.DeleteDate}});
}

// The name a record key takes for a moment while the keys along a cycle of moves change
// places: no key keeps it (a save deletes every key not named by an index).
const QString MovingKeyName = QStringLiteral("-1");

// Renames record keys to the places their records have now, each when its new name is free:
// along each chain of moves from its free end, and around each cycle with one key stepping
// aside first. moveTo[i] is where key i goes (-1: it stays); `sources` lists the keys that
// move. False when a rename fails; `renamed` says whether any was done.
bool MoveKeys(KeyStore& store, const std::vector<int>& moveTo, const std::vector<int>& sources, bool& renamed) {
  std::vector<int> movingInto(moveTo.size(), -1);
  std::vector<char> unmoved(moveTo.size(), 0);
  for (int i : sources) {
    movingInto[moveTo[i]] = i;
    unmoved[i] = 1;
  }
  std::vector<int> ready;  // keys whose new names are free
  for (int i : sources)
    if (!unmoved[moveTo[i]]) ready.push_back(i);
  int aside = -1;  // the key named MovingKeyName, if any
  size_t next = 0;
  for (;;) {
    while (!ready.empty()) {
      const int i = ready.back();
      ready.pop_back();
      if (!store.RenameKey(i == aside ? MovingKeyName : QString::number(i), QString::number(moveTo[i]))) return false;
      renamed = true;
      unmoved[i] = 0;
      if (i == aside)
        aside = -1;
      else if (movingInto[i] >= 0 && unmoved[movingInto[i]])
        ready.push_back(movingInto[i]);
    }
    while (next < sources.size() && !unmoved[sources[next]]) ++next;
    if (next == sources.size()) return true;
    // What is left moves around cycles: one key steps aside and frees its name.
    aside = sources[next];
    if (!store.RenameKey(QString::number(aside), MovingKeyName)) return false;
    renamed = true;
    ready.push_back(movingInto[aside]);
  }
}

// Replaces every record key under collectionKey by the records to keep. Keys that hold their
// record already (as the last save wrote it or the load found it) stay as they are, or are
// renamed when their record has another place now; the result is the same as deleting every
// key and writing every record again. Each key written gets its copy (copyOf makes it from
// the record), and the collection key its own: the keys left alone or renamed kept theirs.
// `written` gets the place of every record whose key now holds it and did not before.
template <typename Record, typename WriteFn, typename CopyFn>
bool SaveCollection(KeyStore& store, const QString& collectionKey, const std::deque<Record>& records,
                    std::vector<std::optional<Record>>& saved, TDateTime now, WriteFn writeKey, CopyFn copyOf,
                    SaveResult& result, std::vector<int>& written) {
  if (!store.OpenKey(collectionKey, true)) return false;  // nothing written, nothing reported
  const int count = static_cast<int>(records.size());
  saved.resize(std::max<size_t>(saved.size(), records.size()));
  enum Plan : char { Write, Keep, MoveIn };
  std::vector<Plan> plan(records.size(), Write);
  std::vector<std::pair<QString, int>> others;  // keys not kept, with their indices or -1
  for (QString& name : store.GetKeyNames()) {
    const int i = IndexOfKeyName(name);
    if (i >= 0 && i < count && !Expired(records[i].DeleteDate, now) && saved[i] && WritesAlike(*saved[i], records[i]))
      plan[i] = Keep;
    else
      others.emplace_back(std::move(name), i);
  }
  // Keys whose records have other places now move there, found by the records' identities.
  const auto known = [&saved](int i) {
    return i >= 0 && static_cast<size_t>(i) < saved.size() && saved[i] && !saved[i]->Uid.isEmpty();
  };
  std::vector<int> moveTo(saved.size(), -1);
  std::vector<int> sources;
  if (std::any_of(others.begin(), others.end(), [&known](const auto& key) { return known(key.second); })) {
    QMultiHash<QString, int> wanted;
    for (int j = 0; j < count; ++j)
      if (plan[j] == Write && !Expired(records[j].DeleteDate, now) && !records[j].Uid.isEmpty())
        wanted.insert(records[j].Uid, j);
    for (const auto& [name, i] : others) {
      if (!known(i)) continue;
      for (auto j = wanted.constFind(saved[i]->Uid); j != wanted.cend() && j.key() == saved[i]->Uid; ++j) {
        if (plan[*j] != Write || !WritesAlike(*saved[i], records[*j])) continue;
        plan[*j] = MoveIn;
        moveTo[i] = *j;
        sources.push_back(i);
        break;
      }
    }
  }
  // Keys that are neither kept nor moved are deleted: before the moves those whose names the
  // moves take, the others after, so that a key deleted and written again under its name
  // stays one key in a store that notices (see SqliteKeyStore::Flush).
  const auto deleteKey = [&](const QString& name, int i) {
    if (!store.DeleteKey(collectionKey + QLatin1Char('\\') + name)) {
      result.ok = false;
      result.error = QStringLiteral("Failed to delete key \"%1\": %2").arg(name, store.LastError());
      return false;
    }
    if (i >= 0 && static_cast<size_t>(i) < saved.size()) saved[i].reset();
    return true;
  };
  std::vector<const std::pair<QString, int>*> late;
  for (const auto& key : others) {
    const int i = key.second;
    if (i >= 0 && static_cast<size_t>(i) < moveTo.size() && moveTo[i] >= 0) continue;  // it moves
    const bool inTheWay = i < 0 ? !sources.empty() : static_cast<size_t>(i) < plan.size() && plan[i] == MoveIn;
    if (!inTheWay)
      late.push_back(&key);
    else if (!deleteKey(key.first, i))
      return false;
  }
  bool renamed = false;
  if (!sources.empty() && !MoveKeys(store, moveTo, sources, renamed)) {
    if (renamed) {
      result.ok = false;
      result.error = QStringLiteral("Failed to rename a key: %1").arg(store.LastError());
      return false;
    }
    // A store that renames no keys: those keys are deleted and their records written.
    for (int i : sources) {
      if (!deleteKey(QString::number(i), i)) return false;
      plan[moveTo[i]] = Write;
    }
  }
  // Writing a key reads the collection's keys into a store's tree (SqliteKeyStore) anyway;
  // read before the deletes, a key deleted and written again under its name keeps its row.
  if (!late.empty() && std::find(plan.begin(), plan.end(), Write) != plan.end())
    store.KeyExists(collectionKey + QLatin1Char('\\') + late.front()->first);
  for (const auto* key : late)
    if (!deleteKey(key->first, key->second)) return false;
  for (int i : sources) saved[i].reset();
  Writer w(store, result);
  qint32 keys = 0;
  std::vector<int> rewritten;
  for (int i = 0; i < count && w.ok(); ++i) {
    if (Expired(records[i].DeleteDate, now)) continue;
    ++keys;
    if (plan[i] == Keep) continue;
    if (plan[i] == Write) {
      writeKey(w, collectionKey + QLatin1Char('\\') + QString::number(i), records[i]);
      rewritten.push_back(i);
    }
    written.push_back(i);
  }
  // After every key is written: a write drops the copies it touches. The record keys are
  // named under the collection key, open again.
  bool copies = w.ok() && store.OpenKey(collectionKey, false);
  for (size_t k = 0; k < rewritten.size() && copies; ++k)
    copies = store.WriteCopy(QString::number(rewritten[k]), copyOf(records[rewritten[k]]));
  if (copies) store.WriteCopy(collectionKey, CollectionCopy(keys));
  store.CloseKey();
  return w.ok();
}

// Record values read from whatever answers ReadString, ReadInteger and ReadDate as the key
// store does: the store itself, or a key's packed values read in place.
template <typename Reader>
void ReadNoteValues(Reader& r, TNote& n, TDateTime timeOfDay) {
  n.Title = r.ReadString(QStringLiteral("Title")).value_or(QString());
  n.Category = r.ReadString(QStringLiteral("Category")).value_or(QString());
  n.Location = r.ReadString(QStringLiteral("Location")).value_or(QString());
  n.StartTime = r.ReadDate(QStringLiteral("StartTime")).value_or(0);
  n.EndTime = r.ReadDate(QStringLiteral("EndTime")).value_or(0);
  n.AlarmTime = r.ReadDate(QStringLiteral("AlarmTime")).value_or(0);
  n.StartDate = r.ReadDate(QStringLiteral("StartDate")).value_or(0);
  n.EndDate = r.ReadDate(QStringLiteral("EndDate")).value_or(0);
  n.ModifyDate = r.ReadDate(QStringLiteral("ModifyDate")).value_or(timeOfDay);
  n.DeleteDate = r.ReadDate(QStringLiteral("DeleteDate")).value_or(0);
  n.Span = r.ReadInteger(QStringLiteral("Span")).value_or(0) != 0;
  n.Start = r.ReadInteger(QStringLiteral("Start")).value_or(0) != 0;
  n.Alarm = r.ReadInteger(QStringLiteral("Alarm")).value_or(0) != 0;
  n.SpanRange = r.ReadInteger(QStringLiteral("SpanRange")).value_or(0);
  n.RangeType = r.ReadInteger(QStringLiteral("RangeType")).value_or(0);
  n.RangeCount = r.ReadInteger(QStringLiteral("RangeCount")).value_or(0);
  n.RepeatType = r.ReadInteger(QStringLiteral("RepeatType")).value_or(0);
  n.RepeatFrequency = r.ReadInteger(QStringLiteral("RepeatFrequency")).value_or(0);
  n.RepeatDay = r.ReadInteger(QStringLiteral("RepeatDay")).value_or(0);
  n.RepeatMonth = r.ReadInteger(QStringLiteral("RepeatMonth")).value_or(0);
  n.RepeatCardinal = r.ReadInteger(QStringLiteral("RepeatCardinal")).value_or(0);
  for (int d = 0; d < 7; ++d) n.SetRepeatOn(d + 1, r.ReadInteger(WeekdayNames[d]).value_or(0) != 0);
  n.Uid = r.ReadString(UidName).value_or(QString());
  n.RecurrenceId = r.ReadDate(RecurrenceIdName).value_or(0);
  n.TimeZone = r.ReadString(TimeZoneName).value_or(QString());
  ReadServerCopy(r, n.Server);
}

// Entry j of the per-date notes: the values "Data_j" and "Date_j", for each whole pair.
template <typename Reader>
void ReadRecurNotes(Reader& r, qsizetype valueCount, TNote& n) {
  const qsizetype c = valueCount / 2;
  n.RecurNotes.reserve(c);
  for (qsizetype j = 0; j < c; ++j) {
    TRecurNote rn;
    rn.Data = r.ReadString(QStringLiteral("Data_%1").arg(j)).value_or(QString());
    rn.Date = r.ReadDate(QStringLiteral("Date_%1").arg(j)).value_or(0);
    n.RecurNotes.append(rn);
  }
}

template <typename Reader>
void ReadToDoValues(Reader& r, TToDo& t, TDateTime timeOfDay) {
  t.Title = r.ReadString(QStringLiteral("Title")).value_or(QString());
  t.Category = r.ReadString(QStringLiteral("Category")).value_or(QString());
  t.Priority = r.ReadInteger(QStringLiteral("Priority")).value_or(0);
  t.Completed = r.ReadInteger(QStringLiteral("Completed")).value_or(0) != 0;
  t.DueDate = r.ReadDate(QStringLiteral("DueDate")).value_or(0);
  t.ModifyDate = r.ReadDate(QStringLiteral("ModifyDate")).value_or(timeOfDay);
  t.DeleteDate = r.ReadDate(QStringLiteral("DeleteDate")).value_or(0);
  t.Uid = r.ReadString(UidName).value_or(QString());
  ReadServerCopy(r, t.Server);
}

bool SameKeyName(QStringView a, QStringView b) { return MemoryKeyStore::CaseInsensitiveLess::Compare(a, b) == 0; }

// A record key read value by value, its subkeys opened by name. False when the key does not
// open.
bool ReadNoteKey(KeyStore& store, const QString& key, TDateTime timeOfDay, TNote& n) {
  if (!store.OpenKeyReadOnly(key)) return false;
  ReadNoteValues(store, n, timeOfDay);
  if (store.OpenKeyReadOnly(key + QStringLiteral("\\Notes"))) {
    QString text;
    for (const QString& v : store.GetValueNames()) text += store.ReadString(v).value_or(QString());
    n.Notes = text;
  }
  if (store.OpenKeyReadOnly(key + QStringLiteral("\\Exceptions"))) {
    const QStringList values = store.GetValueNames();
    n.Exceptions.reserve(values.size());
    for (const QString& v : values) n.Exceptions.append(store.ReadDate(v).value_or(0));
  }
  if (store.OpenKeyReadOnly(key + QStringLiteral("\\RecurNotes"))) {
    ReadRecurNotes(store, store.GetValueNames().size(), n);
  }
  store.CloseKey();
  return true;
}

bool ReadToDoKey(KeyStore& store, const QString& key, TDateTime timeOfDay, TToDo& t) {
  if (!store.OpenKeyReadOnly(key)) return false;
  ReadToDoValues(store, t, timeOfDay);
  if (store.OpenKeyReadOnly(key + QStringLiteral("\\Notes"))) {
    t.Notes.clear();
    for (const QString& v : store.GetValueNames()) t.Notes.append(store.ReadString(v).value_or(QString()));
  }
  store.CloseKey();
  return true;
}

// The indices worth knowing among `keys` record keys: a save skips only the places of expired
// records, so an index far beyond the count names a key the next save deletes anyway.
size_t HeldIndexLimit(size_t keys) { return 2 * keys + 1024; }

// Reads a whole collection from the copies, appending its records to `out` in the order of
// their key names, as the keys' reads give them. False, with nothing added, when the
// collection key's copy is missing or counts other than the record keys' copies there are
// (a key changed since they were made), or when a copy does not read. A copy is there only
// while its key is as the save that wrote both left it, so `held` (when given) learns what
// each key holds. With `keep`, only the records whose copies it keeps are read (in the same
// order); a copy it cannot judge sends the load to the keys. With heldOnly the records go to
// `held` alone, and `out` is left as it was (`held` is empty when false is answered).
template <typename Record, typename ReadCopy>
bool ReadCollectionCopies(KeyStore& store, const QString& collectionKey, std::deque<Record>& out,
                          std::vector<std::optional<Record>>* held, ReadCopy readCopy,
                          const std::function<std::optional<bool>(QByteArrayView)>& keep = {}, bool heldOnly = false) {
  const size_t before = out.size();
  QString names;  // the record keys' names, one after another
  std::vector<std::pair<qsizetype, qsizetype>> spans;
  std::vector<size_t> places;  // each copy's place in `out` past `before`, or Skipped
  constexpr size_t Skipped = std::numeric_limits<size_t>::max();
  std::optional<QByteArray> own;
  bool ok = true;
  qint32 expected = 0;
  if (heldOnly) held->clear();
  const bool offered = store.ReadCopies(collectionKey, own, [&](QStringView name, QByteArrayView copy) {
    if (!ok) return;
    if (spans.empty() && own) {
      // The collection's copy, read before the records', says how many there are.
      expected = KeysOfCollectionCopy(*own);
      if (expected > 0) {
        spans.reserve(static_cast<size_t>(expected));
        places.reserve(static_cast<size_t>(expected));
        names.reserve(static_cast<qsizetype>(expected) * 8);
        // Room for any index taken below (keys skip the places of expired records): only
        // the part used is ever touched.
        if (heldOnly) held->reserve(HeldIndexLimit(static_cast<size_t>(expected)));
      }
    }
    // Names that would not open as a path of their own are read key by key.
    if (name.isEmpty() || name.contains(QLatin1Char('\\'))) ok = false;
    spans.emplace_back(names.size(), name.size());
    names.append(name);
    if (keep) {
      const std::optional<bool> kept = keep(copy);
      if (!kept) ok = false;
      if (!kept.value_or(false)) {
        places.push_back(Skipped);
        return;
      }
    }
    if (heldOnly) {
      // Straight into its place by its key's index (as below).
      places.push_back(Skipped);
      const int i = IndexOfKeyName(name);
      if (i < 0 || static_cast<size_t>(i) >= HeldIndexLimit(static_cast<size_t>(std::max(expected, 0)))) return;
      if (held->size() <= static_cast<size_t>(i)) held->resize(static_cast<size_t>(i) + 1);
      if (!readCopy(copy, (*held)[i].emplace())) ok = false;
      return;
    }
    places.push_back(out.size() - before);
    if (!readCopy(copy, out.emplace_back())) ok = false;
  });
  const auto nameAt = [&names, &spans](size_t k) { return QStringView(names).sliced(spans[k].first, spans[k].second); };
  // Each record's place in name order; two names that match without regard to case cannot be
  // two keys' (the store's tree holds one), so they send the load to the keys.
  std::vector<size_t> order(spans.size());
  if (ok && offered && own && KeysOfCollectionCopy(*own) == static_cast<qint64>(spans.size())) {
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&nameAt](size_t a, size_t b) {
      return MemoryKeyStore::CaseInsensitiveLess::Compare(nameAt(a), nameAt(b)) < 0;
    });
    for (size_t k = 1; k < order.size() && ok; ++k) ok = !SameKeyName(nameAt(order[k - 1]), nameAt(order[k]));
  } else {
    ok = false;
  }
  if (!ok) {
    out.resize(before);
    if (heldOnly) held->clear();
    return false;
  }
  if (heldOnly) return true;
  // Only keys named by their index are worth knowing: a save deletes any other.
  std::vector<int> indices(held ? spans.size() : 0);
  int top = -1;
  for (size_t k = 0; k < indices.size(); ++k) {
    indices[k] = places[k] == Skipped ? -1 : IndexOfKeyName(nameAt(k));
    if (static_cast<size_t>(indices[k]) >= HeldIndexLimit(spans.size())) indices[k] = -1;
    top = std::max(top, indices[k]);
  }
  if (held) held->assign(static_cast<size_t>(top + 1), std::nullopt);
  for (size_t k = 0; k < indices.size(); ++k) {
    if (indices[k] >= 0) (*held)[indices[k]] = out[before + places[k]];
  }
  // The records read, by their places in `out`, in name order.
  std::vector<size_t> read;
  read.reserve(out.size() - before);
  for (const size_t k : order)
    if (places[k] != Skipped) read.push_back(places[k]);
  order = std::move(read);
  // Into name order, moving each record once along the cycles of the permutation.
  std::vector<char> placed(order.size(), 0);
  for (size_t start = 0; start < order.size(); ++start) {
    if (placed[start] || order[start] == start) continue;
    Record moving = std::move(out[before + start]);
    size_t at = start;
    while (order[at] != start) {
      out[before + at] = std::move(out[before + order[at]]);
      placed[at] = 1;
      at = order[at];
    }
    out[before + at] = std::move(moving);
    placed[at] = 1;
  }
  return true;
}

// One key's packed values, read in place: every read finds its value as the store's own
// reads of the opened key would (the same search, from the same hint).
class PackedKey {
 public:
  explicit PackedKey(QByteArrayView values) : values_(values), names_(MemoryKeyStore::PackedNames::Of(values)) {}
  std::optional<QString> ReadString(QStringView name) {
    const auto v = Find(name, KeyStore::ValueType::Text);
    if (!v) return std::nullopt;
    return v->Text();
  }
  std::optional<qint32> ReadInteger(QStringView name) {
    const auto v = Find(name, KeyStore::ValueType::Integer);
    if (!v) return std::nullopt;
    return v->Integer();
  }
  std::optional<TDateTime> ReadDate(QStringView name) {
    const auto v = Find(name, KeyStore::ValueType::Date);
    if (!v) return std::nullopt;
    return v->Date();
  }
  // Every value in creation order, as the key's value names enumerate and each is read
  // under its own name.
  template <typename Fn>
  void ForEach(Fn fn) const {
    MemoryKeyStore::PackedValue v;
    for (qsizetype at = 0; at < values_.size();) {
      at = MemoryKeyStore::ReadPacked(values_, at, v);
      fn(v);
    }
  }
  qsizetype Count() const {
    qsizetype count = 0;
    ForEach([&count](const MemoryKeyStore::PackedValue&) { ++count; });
    return count;
  }

 private:
  std::optional<MemoryKeyStore::PackedValue> Find(QStringView name, KeyStore::ValueType type) {
    MemoryKeyStore::PackedValue v;
    // The values are read in the order they were written: most often the one at the hint.
    if (hint_ >= 0 && hint_ < values_.size()) {
      const qsizetype next = MemoryKeyStore::ReadPacked(values_, hint_, v);
      if (v.name.size() == name.size() && MemoryKeyStore::SameName(v.name, name)) {
        hint_ = next;
        return v.type == type ? std::optional(v) : std::nullopt;
      }
    }
    if (!names_.MayHold(name)) return std::nullopt;
    const qsizetype at = MemoryKeyStore::FindPacked(values_, name, hint_);
    if (at < 0) return std::nullopt;
    MemoryKeyStore::ReadPacked(values_, at, v);
    if (v.type != type) return std::nullopt;
    return v;
  }
  QByteArrayView values_;
  qsizetype hint_ = 0;
  MemoryKeyStore::PackedNames names_;
};

// Reads a whole collection through KeyStore::ReadSubtree: each record key (depth 1) and the
// subkeys of each (depth 2) as the store hands them, then the records in the order of their
// key names, as the key-by-key reads list them. Subkeys are matched by name without regard
// to case, the first of a name counting, as opening them by name finds them.
template <typename Record>
class CollectionReader {
 public:
  // Fills a record from its key's values.
  using ReadKey = std::function<void(PackedKey&, Record&)>;
  // Applies the subkey named subkeyNames[which] to its record.
  using ReadSubkey = std::function<void(int which, const PackedKey&, Record&)>;

  CollectionReader(std::vector<QStringView> subkeyNames, ReadKey readKey, ReadSubkey readSubkey)
      : subkeyNames_(std::move(subkeyNames)), readKey_(std::move(readKey)), readSubkey_(std::move(readSubkey)) {}

  // False when the store does not offer the collection's keys this way, or holds a record
  // key whose name would not open as a path of its own (empty, or holding a "\\"), which
  // only the key-by-key reads treat exactly.
  bool Read(KeyStore& store, const QString& collectionKey) {
    const bool offered = store.ReadSubtree(collectionKey, [this](const KeyStore::SubtreeKey& key) {
      if (key.depth == 1) {
        if (key.name.isEmpty() || key.name.contains(QLatin1Char('\\'))) odd_ = true;
        PackedKey values(key.values);
        Record& r = records_.emplace_back();
        readKey_(values, r);
        names_.emplace_back(key.name.toString(), names_.size());
        subkeysSeen_.push_back(0);
        recordOf_.insert(key.id, records_.size() - 1);
      } else if (key.depth == 2) {
        const auto parent = recordOf_.constFind(key.parent);
        if (parent == recordOf_.cend()) return;
        for (int which = 0; which < static_cast<int>(subkeyNames_.size()); ++which) {
          if (!SameKeyName(key.name, subkeyNames_[which])) continue;
          quint8& seen = subkeysSeen_[*parent];
          if (seen & (1u << which)) return;
          seen |= 1u << which;
          readSubkey_(which, PackedKey(key.values), records_[*parent]);
          return;
        }
      }
    });
    return offered && !odd_;
  }
  // The records in the order of their key names; of two keys whose names match without
  // regard to case (a store's tree holds one), the first.
  template <typename Fn>
  void Take(Fn fn) {
    std::stable_sort(names_.begin(), names_.end(), [](const auto& a, const auto& b) {
      return MemoryKeyStore::CaseInsensitiveLess::Compare(a.first, b.first) < 0;
    });
    for (size_t k = 0; k < names_.size(); ++k) {
      if (k > 0 && SameKeyName(names_[k - 1].first, names_[k].first)) continue;
      fn(std::move(records_[names_[k].second]));
    }
  }

 private:
  std::vector<QStringView> subkeyNames_;
  ReadKey readKey_;
  ReadSubkey readSubkey_;
  std::deque<Record> records_;
  std::vector<std::pair<QString, size_t>> names_;  // each record's key name and index
  std::vector<quint8> subkeysSeen_;
  QHash<qint64, size_t> recordOf_;
  bool odd_ = false;
};

}  // namespace

void DataFormat::LoadCalendar(KeyStore& store, bool forSaving) { Load(store, forSaving, std::nullopt); }

void DataFormat::LoadCalendarForDays(KeyStore& store, TDateTime firstDay, TDateTime lastDay) {
  Load(store, false, std::pair(static_cast<qint64>(std::floor(firstDay)), static_cast<qint64>(std::floor(lastDay))));
}

void DataFormat::LoadCalendarToReplace(KeyStore& store) {
  saved_->Clear();
  partial_ = true;
  // Without the copies nothing is known of the keys, and the save writes them all.
  if (!ReadCollectionCopies(store, NotesKey, NoteArray, &saved_->notes, ReadNoteCopy, {}, true)) saved_->notes.clear();
  if (!ReadCollectionCopies(store, TodosKey, ToDoArray, &saved_->todos, ReadToDoCopy, {}, true)) saved_->todos.clear();
  saved_->loaded = true;
  DataChanged.Bump();
  DataChanged = false;
}

void DataFormat::Load(KeyStore& store, bool forSaving, std::optional<std::pair<qint64, qint64>> days) {
  saved_->Clear();
  partial_ = days.has_value();
  const size_t before = NoteArray.size();
  LoadNotes(store, forSaving, days);
  if (days) {
    // The records read key by key (a store without copies) that cannot show go now; those
    // read from the copies were chosen already and all stay.
    const auto [first, last] = *days;
    NoteArray.erase(std::remove_if(NoteArray.begin() + static_cast<std::ptrdiff_t>(before), NoteArray.end(),
                                   [first, last](const TNote& n) { return !MayShowOnDays(n, first, last); }),
                    NoteArray.end());
  }
  LoadToDos(store, forSaving);
  saved_->loaded = forSaving;
  DeriveMissingUids();
  DataChanged.Bump();  // the records changed: caches built from them are out of date
  DataChanged = false;
}

void DataFormat::LoadNotes(KeyStore& store, bool forSaving, std::optional<std::pair<qint64, qint64>> days) {
  std::function<std::optional<bool>(QByteArrayView)> keep;
  if (days)
    keep = [first = days->first, last = days->second](QByteArrayView copy) {
      return NoteCopyMayShow(copy, first, last);
    };
  if (ReadCollectionCopies(store, NotesKey, NoteArray, forSaving ? &saved_->notes : nullptr, ReadNoteCopy, keep))
    return;
  const TDateTime timeOfDay = clock().Time();
  // Not AppendNote: every field comes from the store, and its stamp of the present time
  // would cost a clock reading (a time-zone lookup) per record.
  CollectionReader<TNote> reader(
      {u"Notes", u"Exceptions", u"RecurNotes"},
      [timeOfDay](PackedKey& values, TNote& n) { ReadNoteValues(values, n, timeOfDay); },
      [](int which, const PackedKey& values, TNote& n) {
        if (which == 0) {
          QString text;
          values.ForEach([&text](const MemoryKeyStore::PackedValue& v) {
            if (v.type == KeyStore::ValueType::Text) text += v.Text();
          });
          n.Notes = text;
        } else if (which == 1) {
          n.Exceptions.reserve(values.Count());
          values.ForEach([&n](const MemoryKeyStore::PackedValue& v) {
            n.Exceptions.append(v.type == KeyStore::ValueType::Date ? v.Date() : 0);
          });
        } else {
          PackedKey recurNotes = values;
          ReadRecurNotes(recurNotes, values.Count(), n);
        }
      });
  if (reader.Read(store, NotesKey)) {
    reader.Take([this](TNote&& n) { NoteArray.push_back(std::move(n)); });
    store.CloseKey();
    return;
  }

  if (!store.OpenKeyReadOnly(NotesKey)) return;
  const QStringList names = store.GetKeyNames();
  for (const QString& k : names) {
    TNote n;
    if (ReadNoteKey(store, NotesKey + QLatin1Char('\\') + k, timeOfDay, n)) NoteArray.push_back(std::move(n));
  }
}

void DataFormat::LoadToDos(KeyStore& store, bool forSaving) {
  OpenToDoCount = 0;
  const TDateTime timeOfDay = clock().Time();
  auto added = [this](TToDo& t) {
    ++OpenToDoCount;  // as AppendToDo counts it, until it proves completed or deleted
    if (t.Completed || t.DeleteDate != 0) --OpenToDoCount;
  };
  const size_t before = ToDoArray.size();
  if (ReadCollectionCopies(store, TodosKey, ToDoArray, forSaving ? &saved_->todos : nullptr, ReadToDoCopy)) {
    for (size_t i = before; i < ToDoArray.size(); ++i) added(ToDoArray[i]);
    return;
  }
  CollectionReader<TToDo> reader(
      {u"Notes"}, [timeOfDay](PackedKey& values, TToDo& t) { ReadToDoValues(values, t, timeOfDay); },
      [](int, const PackedKey& values, TToDo& t) {
        t.Notes.clear();
        values.ForEach([&t](const MemoryKeyStore::PackedValue& v) {
          t.Notes.append(v.type == KeyStore::ValueType::Text ? v.Text() : QString());
        });
      });
  if (reader.Read(store, TodosKey)) {
    reader.Take([this, &added](TToDo&& t) {
      ToDoArray.push_back(std::move(t));
      added(ToDoArray.back());
    });
    store.CloseKey();
    return;
  }

  if (!store.OpenKeyReadOnly(TodosKey)) return;
  const QStringList names = store.GetKeyNames();
  for (const QString& k : names) {
    TToDo t;
    if (!ReadToDoKey(store, TodosKey + QLatin1Char('\\') + k, timeOfDay, t)) continue;
    ToDoArray.push_back(std::move(t));
    added(ToDoArray.back());
  }
}

bool DataFormat::SaveNotes(KeyStore& store, SaveResult& result) {
  std::vector<int> written;
  const bool ok = SaveCollection(store, NotesKey, NoteArray, saved_->notes, clock().Now(), WriteNoteKey,
                                 WrittenNoteCopy, result, written);
  if (ok) {
    for (int i : written) saved_->notes[i] = NoteArray[i];
  }
  return result.ok;
}

bool DataFormat::SaveToDos(KeyStore& store, SaveResult& result) {
  std::vector<int> written;
  const bool ok = SaveCollection(store, TodosKey, ToDoArray, saved_->todos, clock().Now(), WriteToDoKey,
                                 WrittenToDoCopy, result, written);
  if (ok) {
    for (int i : written) saved_->todos[i] = ToDoArray[i];
  }
  return result.ok;
}

SaveResult DataFormat::SaveIfChanged(KeyStore& store) {
  if (!DataChanged) return SaveResult();
  return SaveWith(store, nullptr);
}

SaveResult DataFormat::SaveWith(KeyStore& store, const std::function<SaveResult()>& alongside) {
  return Save(store, true, alongside);
}

SaveResult DataFormat::SaveChanged(KeyStore& store, bool alongsideChanged,
                                   const std::function<SaveResult()>& alongside) {
  if (!DataChanged && !alongsideChanged) return SaveResult();
  return Save(store, DataChanged, alongsideChanged ? alongside : nullptr);
}

SaveResult DataFormat::Save(KeyStore& store, bool calendarToo, const std::function<SaveResult()>& alongside) {
  SaveResult result;
  if (partial_ && calendarToo) {
    // Only some of the events were read: writing them would drop the others.
    result.ok = false;
    result.error = QStringLiteral("The calendar was read in part, for a look at some days, and is not saved");
    return result;
  }
  // What the load learned of the store is void once another program has written it.
  if (calendarToo && saved_->loaded && store.ChangedElsewhere()) saved_->Clear();
  if (!store.BeginTransaction()) {
    result.ok = false;
    result.error = QStringLiteral("Could not start writing the calendar: %1").arg(store.LastError());
    return result;
  }
  if (!calendarToo || (SaveNotes(store, result) && SaveToDos(store, result))) {
    if (alongside) result = alongside();
    if (result.ok && store.Commit()) {
      if (calendarToo) {
        DataChanged = false;
        saved_->loaded = false;  // what the store holds is what this save left
      }
      return result;
    }
  }
  if (result.ok) {
    result.ok = false;
    result.error = QStringLiteral("Could not write the calendar: %1").arg(store.LastError());
  }
  store.Rollback();
  // The store is back to what it held before; what this save noted about it is void.
  if (calendarToo) saved_->Clear();
  return result;
}

void DataFormat::MergeStoreChanges(KeyStore& store) {
  store.Reload();
  DataFormat stored(clock_);
  stored.LoadCalendar(store);
  for (int i = 0; i < stored.NoteCount(); ++i) MergeNote(stored.NoteArray[i]);
  for (int i = 0; i < stored.ToDoCount(); ++i) MergeToDo(stored.ToDoArray[i]);
  // What this calendar believed the store held is no longer known.
  saved_->Clear();
  DataChanged = true;
}
