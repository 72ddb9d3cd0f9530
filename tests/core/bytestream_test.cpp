// Records as bytes: exact layouts, round trips, and bytes that must be refused.
#include "core/bytestream.h"
#include "core/dataformat.h"
#include "support/testutil.h"

#include <QtEndian>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// Expected bytes, built field by field.
struct Bytes {
  QByteArray b;
  Bytes& i32(qint32 v) {
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
    return *this;
  }
  Bytes& f64(double v) {
    quint64 bits;
    std::memcpy(&bits, &v, 8);
    char c[8];
    qToLittleEndian(bits, c);
    b.append(c, 8);
    return *this;
  }
  Bytes& u8(int v) {
    b.append(static_cast<char>(v));
    return *this;
  }
  Bytes& str(const QByteArray& s) {
    i32(static_cast<qint32>(s.size()));
    b.append(s);
    return *this;
  }
};

TNote SampleNote() {
  TNote n;
  n.Title = QStringLiteral("Dentist \u00e9");
  n.Category = QStringLiteral("Health");
  n.Location = QString();
  n.Notes = QStringLiteral("Line 1\r\nLine 2");
  n.StartTime = EncodeTime(9, 30);
  n.EndTime = EncodeTime(10, 0);
  n.AlarmTime = EncodeTime(9, 15);
  n.StartDate = D(2024, 3, 4);
  n.EndDate = D(2024, 6, 1);
  n.ModifyDate = DT(2024, 2, 1, 8, 0);
  n.DeleteDate = 0;
  n.Span = true;
  n.Start = true;
  n.Alarm = false;
  n.SpanRange = 2;
  n.RangeType = 2;
  n.RangeCount = 7;
  n.RepeatType = 3;
  n.RepeatFrequency = 1;
  n.RepeatDay = 4;
  n.RepeatMonth = 3;
  n.RepeatCardinal = -1;
  n.RepeatMonday = true;
  n.RepeatSunday = true;
  n.Exceptions = {D(2024, 3, 11), D(2024, 3, 18)};
  n.RecurNotes = {TRecurNote{QStringLiteral("bring card"), D(2024, 3, 25)}};
  return n;
}

TToDo SampleToDo() {
  TToDo t;
  t.Title = QStringLiteral("Taxes");
  t.Category = QStringLiteral("Home");
  t.Priority = 1;
  t.Completed = true;
  t.ModifyDate = DT(2024, 1, 2, 3, 4);
  t.DeleteDate = D(2024, 1, 9);
  t.DueDate = D(2024, 4, 15);
  t.Notes = {QStringLiteral("forms"), QString(), QStringLiteral("receipts")};
  return t;
}

QByteArray Written(const TNote& n) {
  QByteArray out;
  ByteWriter w(out);
  WriteNote(n, w);
  return out;
}

QByteArray Written(const TToDo& t) {
  QByteArray out;
  ByteWriter w(out);
  WriteToDo(t, w);
  return out;
}

// --- Layouts ----------------------------------------------------------------------------

TEST(ByteStream, StringsAreALengthThenUtf8) {
  QByteArray out;
  ByteWriter w(out);
  WriteStreamString(w, QString());
  WriteStreamString(w, QStringLiteral("\u00e9t\u00e9"));
  EXPECT_EQ(out, QByteArray("\0\0\0\0\x05\0\0\0\xc3\xa9t\xc3\xa9", 13));
}

struct DecodeCase {
  const char* name;
  QByteArray bytes;
  QString text;
};

class StreamText : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(StreamText, ReadsUtf8OrElseTheOlderCodePage) {
  Bytes b;
  b.str(GetParam().bytes);
  ByteReader in(b.b);
  QString text;
  ASSERT_TRUE(ReadStreamString(in, text));
  EXPECT_EQ(text, GetParam().text);
  EXPECT_EQ(in.remaining(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    ByteStream, StreamText,
    ::testing::Values(DecodeCase{"Ascii", "plain", QStringLiteral("plain")},
                      DecodeCase{"Utf8", "caf\xc3\xa9", QStringLiteral("caf\u00e9")},
                      DecodeCase{"Latin", "caf\xe9", QStringLiteral("caf\u00e9")},
                      DecodeCase{"EuroAndQuotes", "\x80 \x93x\x94", QStringLiteral("\u20ac \u201cx\u201d")},
                      DecodeCase{"Unassigned", "\x81", QStringLiteral("\u0081")},
                      DecodeCase{"LeadingByteOrderMarkKept", "\xef\xbb\xbfx", QStringLiteral("\ufeffx")},
                      DecodeCase{"Empty", "", QString()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ByteStream, EventRecordLayout) {
  const TNote n = SampleNote();
  Bytes e;
  e.str("Dentist \xc3\xa9").str("Health").str("").str("Line 1\r\nLine 2");
  e.f64(n.StartTime).f64(n.EndTime).f64(n.AlarmTime).f64(n.StartDate).f64(n.EndDate).f64(n.ModifyDate).f64(0);
  e.u8(1).u8(1).u8(0);
  e.i32(2).i32(2).i32(7).i32(3).i32(1).i32(4).i32(3).i32(-1);
  e.u8(1).u8(0).u8(0).u8(0).u8(0).u8(0).u8(1);  // Monday .. Sunday
  e.i32(2).f64(D(2024, 3, 11)).f64(D(2024, 3, 18));
  e.i32(1).str("bring card").f64(D(2024, 3, 25));
  EXPECT_EQ(Written(n).toHex(' '), e.b.toHex(' '));
}

TEST(ByteStream, TaskRecordLayoutHasTheDueDateAfterTheStamps) {
  const TToDo t = SampleToDo();
  Bytes e;
  e.str("Taxes").str("Home").i32(1).u8(1).f64(t.ModifyDate).f64(t.DeleteDate).f64(t.DueDate);
  e.i32(3).str("forms").str("").str("receipts");
  EXPECT_EQ(Written(t).toHex(' '), e.b.toHex(' '));
}

TEST(ByteStream, EmptyRecordsAreTheirFixedParts) {
  EXPECT_EQ(Written(TNote()).size(), 4 * 4 + 98 + 4 + 4);
  EXPECT_EQ(Written(TNote()).size(), MinNoteBytes);
  TToDo t;
  t.Title = QStringLiteral("x");
  EXPECT_EQ(Written(t).size(), 5 + 4 + 4 + 1 + 24 + 4);
  EXPECT_EQ(Written(t).right(4), QByteArray(4, '\0'));
  FixedClock clock(DT(2024, 5, 1, 12, 0));
  DataFormat calendar(clock);
  EXPECT_EQ(CalendarBlock(calendar), QByteArray(8, '\0'));
}

TEST(ByteStream, CalendarBlockCountsThenRecordsInArrayOrderDeletedIncluded) {
  FixedClock clock(DT(2024, 5, 1, 12, 0));
  DataFormat calendar(clock);
  calendar.NoteArray[calendar.AppendNote()] = SampleNote();
  TNote deleted = SampleNote();
  deleted.Title = QStringLiteral("gone");
  deleted.DeleteDate = D(2024, 4, 30);
  calendar.NoteArray[calendar.AppendNote()] = deleted;
  calendar.ToDoArray[calendar.AppendToDo()] = SampleToDo();

  Bytes e;
  e.i32(2);
  e.b += Written(SampleNote()) + Written(deleted);
  e.i32(1);
  e.b += Written(SampleToDo());
  EXPECT_EQ(CalendarBlock(calendar), e.b);
}

// --- Round trips ------------------------------------------------------------------------

TEST(ByteStream, RecordsReadBackEqual) {
  const TNote n = SampleNote();
  const TToDo t = SampleToDo();
  QByteArray bytes = Written(n) + Written(t);
  ByteReader in(bytes);
  TNote n2;
  n2.Title = QStringLiteral("replaced");
  n2.Exceptions = {1, 2, 3};
  TToDo t2;
  t2.Notes = {QStringLiteral("old")};
  ASSERT_TRUE(ReadNote(n2, in));
  ASSERT_TRUE(ReadToDo(t2, in));
  EXPECT_EQ(n2, n);
  EXPECT_EQ(t2, t);
  EXPECT_EQ(in.remaining(), 0);
}

TEST(ByteStream, CalendarBlockReadsBackAndLeavesWhatFollows) {
  FixedClock clock(DT(2024, 5, 1, 12, 0));
  DataFormat calendar(clock);
  calendar.NoteArray[calendar.AppendNote()] = SampleNote();
  calendar.ToDoArray[calendar.AppendToDo()] = SampleToDo();
  calendar.AppendToDo();
  const QByteArray bytes = CalendarBlock(calendar) + "Width=300\r\n";
  ByteReader in(bytes);
  CalendarRecords records;
  ASSERT_TRUE(ReadCalendarBlock(in, records));
  ASSERT_EQ(records.notes.size(), 1u);
  ASSERT_EQ(records.todos.size(), 2u);
  EXPECT_EQ(records.notes[0], calendar.NoteArray[0]);
  EXPECT_EQ(records.todos[0], calendar.ToDoArray[0]);
  EXPECT_EQ(records.todos[1], calendar.ToDoArray[1]);
  EXPECT_EQ(in.rest().toByteArray(), QByteArray("Width=300\r\n"));
}

// --- Damaged bytes ----------------------------------------------------------------------

TEST(ByteStream, EveryTruncatedBlockIsRefused) {
  FixedClock clock(DT(2024, 5, 1, 12, 0));
  DataFormat calendar(clock);
  calendar.NoteArray[calendar.AppendNote()] = SampleNote();
  calendar.ToDoArray[calendar.AppendToDo()] = SampleToDo();
  const QByteArray bytes = CalendarBlock(calendar);
  for (qsizetype length = 0; length < bytes.size(); ++length) {
    ByteReader in(QByteArrayView(bytes).first(length));
    CalendarRecords records;
    EXPECT_FALSE(ReadCalendarBlock(in, records)) << "length " << length;
    EXPECT_FALSE(in.ok());
  }
}

struct DamageCase {
  const char* name;
  QByteArray bytes;
};

class DamagedBlock : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedBlock, IsRefused) {
  ByteReader in(GetParam().bytes);
  CalendarRecords records;
  EXPECT_FALSE(ReadCalendarBlock(in, records));
}

// An event record whose fields after the strings are all zero, with the given tail counts.
QByteArray EventWith(const QByteArray& title, qint32 exceptions, qint32 dayNotes, double startDate = 0) {
  Bytes b;
  b.str(title).str("").str("").str("");
  b.f64(0).f64(0).f64(0).f64(startDate).f64(0).f64(0).f64(0);
  for (int i = 0; i < 3; ++i) b.u8(0);
  for (int i = 0; i < 8; ++i) b.i32(0);
  for (int i = 0; i < 7; ++i) b.u8(0);
  b.i32(exceptions).i32(dayNotes);
  return b.b;
}

INSTANTIATE_TEST_SUITE_P(
    ByteStream, DamagedBlock,
    ::testing::Values(
        DamageCase{"Empty", QByteArray()},
        DamageCase{"NegativeEventCount", Bytes().i32(-1).i32(0).b},
        DamageCase{"EventCountBeyondTheBytes", Bytes().i32(1000000).i32(0).b + QByteArray(500, '\0')},
        DamageCase{"NegativeTaskCount", Bytes().i32(0).i32(-5).b},
        DamageCase{"TaskCountBeyondTheBytes", Bytes().i32(0).i32(2).b + QByteArray(41, '\0')},
        DamageCase{"StringLongerThanTheFile", Bytes().i32(1).i32(0x7fffffff).b + QByteArray(200, '\0')},
        DamageCase{"NegativeStringLength", Bytes().i32(1).i32(-4).b + QByteArray(200, '\0')},
        DamageCase{"ExceptionCountBeyondTheBytes", Bytes().i32(1).b + EventWith("a", 100, 0) + Bytes().i32(0).b},
        DamageCase{"NegativeDayNoteCount", Bytes().i32(1).b + EventWith("a", 0, -1) + Bytes().i32(0).b},
        DamageCase{"DateNotANumber", Bytes().i32(1).b + EventWith("a", 0, 0, std::nan("")) + Bytes().i32(0).b},
        DamageCase{"DateBeyondTheYear9999", Bytes().i32(1).b + EventWith("a", 0, 0, 1e12) + Bytes().i32(0).b},
        DamageCase{"TaskLineCountBeyondTheBytes",
                   Bytes().i32(0).i32(1).str("t").str("").i32(0).u8(0).f64(0).f64(0).f64(0).i32(3).b}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ByteStream, ABlockAtTheEdgeOfItsCountsIsRead) {
  const QByteArray bytes = Bytes().i32(1).b + EventWith("a", 0, 0, D(9999, 12, 31)) + Bytes().i32(0).b;
  ByteReader in(bytes);
  CalendarRecords records;
  ASSERT_TRUE(ReadCalendarBlock(in, records));
  EXPECT_EQ(records.notes.at(0).StartDate, D(9999, 12, 31));
}

}  // namespace
