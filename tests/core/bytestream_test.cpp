// Records as bytes: exact layouts, round trips, and bytes that must be refused.
#include "core/bytestream.h"
#include "samples.h"

#include <gtest/gtest.h>
#include <QtEndian>
#include <cstring>

namespace {

// Expected bytes, built field by field.
struct Bytes {
  QByteArray b;
  Bytes& i32(qint32 v) { return raw(qToLittleEndian(v)); }
  Bytes& f64(double v) {
    quint64 bits;
    std::memcpy(&bits, &v, 8);
    return raw(qToLittleEndian(bits));
  }
  Bytes& u8(int v) { return raw(static_cast<char>(v)); }
  Bytes& str(const QByteArray& s) {
    i32(static_cast<qint32>(s.size()));
    b.append(s);
    return *this;
  }
  template <typename T>
  Bytes& raw(T v) {
    b.append(reinterpret_cast<const char*>(&v), sizeof v);
    return *this;
  }
};

template <typename Record>
QByteArray Written(const Record& r) {
  QByteArray out;
  ByteWriter w(out);
  if constexpr (std::is_same_v<Record, TNote>)
    WriteNote(r, w);
  else
    WriteToDo(r, w);
  return out;
}

// A calendar of the sample event, a deleted copy of it, the sample task and an empty task.
void FillSample(DataFormat& calendar) {
  calendar.NoteArray[calendar.AppendNote()] = SampleEvent();
  TNote& deleted = calendar.NoteArray[calendar.AppendNote()] = SampleEvent();
  deleted.Title = "gone";
  deleted.DeleteDate = D(2024, 4, 30);
  calendar.ToDoArray[calendar.AppendToDo()] = SampleTask();
  calendar.AppendToDo();
}

TEST(ByteStream, RecordLayouts) {
  QByteArray out;
  ByteWriter w(out);
  WriteStreamString(w, QString());
  WriteStreamString(w, "\u00e9t\u00e9");
  EXPECT_EQ(out, QByteArray("\0\0\0\0\x05\0\0\0\xc3\xa9t\xc3\xa9", 13));

  const TNote n = SampleEvent();
  Bytes e;
  e.str(n.Title.toUtf8()).str("Health").str("").str("Bring the card\r\nand the forms");
  e.f64(n.StartTime).f64(n.EndTime).f64(n.AlarmTime).f64(n.StartDate).f64(n.EndDate).f64(n.ModifyDate).f64(0);
  e.u8(1).u8(1).u8(0).i32(6).i32(2).i32(7).i32(3).i32(4).i32(5).i32(8).i32(-1);
  e.u8(1).u8(0).u8(0).u8(1).u8(0).u8(0).u8(1);  // Monday .. Sunday
  e.i32(2).f64(D(2024, 3, 7)).f64(D(2024, 3, 21));
  e.i32(2).str("bring X-rays").f64(D(2024, 3, 18)).str("second\r\nline").f64(D(2024, 4, 1));
  EXPECT_EQ(Written(n).toHex(' '), e.b.toHex(' '));

  // A task has its due date after the stamps.
  const TToDo t = SampleTask();
  Bytes task;
  task.str("File taxes").str("Home").i32(1).u8(1).f64(t.ModifyDate).f64(t.DeleteDate).f64(t.DueDate);
  task.i32(3).str("receipts").str("").str("forms");
  EXPECT_EQ(Written(t).toHex(' '), task.b.toHex(' '));

  // A calendar block: counts, then the records in array order, deleted ones included.
  FixedClock clock{DT(2024, 5, 1, 12, 0)};
  DataFormat calendar{clock};
  FillSample(calendar);
  Bytes block;
  block.i32(2).b += Written(calendar.NoteArray[0]) + Written(calendar.NoteArray[1]);
  block.i32(2).b += Written(calendar.ToDoArray[0]) + Written(calendar.ToDoArray[1]);
  EXPECT_EQ(CalendarBlock(calendar), block.b);
}

TEST(ByteStream, TextIsUtf8OrElseTheOlderCodePage) {
  // clang-format off
  const std::pair<QByteArray, QString> cases[] = {
      {"plain", "plain"}, {"caf\xc3\xa9", "caf\u00e9"}, {"caf\xe9", "caf\u00e9"}, {"\x80 \x93x\x94", "\u20ac \u201cx\u201d"},
      {"\x81", "\u0081"}, {"\xef\xbb\xbfx", QStringLiteral("\ufeffx")}, {"", ""}};
  // clang-format on
  for (const auto& [bytes, text] : cases) {
    const QByteArray stored = Bytes().str(bytes).b;
    ByteReader in(stored);
    QString read;
    ASSERT_TRUE(ReadStreamString(in, read)) << bytes.toHex().toStdString();
    EXPECT_EQ(read, text) << bytes.toHex().toStdString();
    EXPECT_EQ(in.remaining(), 0);
  }
}

TEST(ByteStream, BlocksReadBackEqualAndLeaveWhatFollows) {
  FixedClock clock{DT(2024, 5, 1, 12, 0)};
  DataFormat calendar{clock};
  FillSample(calendar);
  const QByteArray bytes = CalendarBlock(calendar) + "Width=300\r\n";
  ByteReader block(bytes);
  CalendarRecords read;
  ASSERT_TRUE(ReadCalendarBlock(block, read));
  // The identities travel beside the block, not in it.
  std::deque<TNote> notes = calendar.NoteArray;
  std::deque<TToDo> todos = calendar.ToDoArray;
  for (TNote& note : notes) note.Uid.clear();
  for (TToDo& todo : todos) todo.Uid.clear();
  EXPECT_EQ(read.notes, notes);
  EXPECT_EQ(read.todos, todos);
  EXPECT_EQ(block.rest().toByteArray(), QByteArray("Width=300\r\n"));

  // Every truncation of it is refused.
  for (qsizetype length = 0; length < bytes.size() - 11; ++length) {
    ByteReader cut(QByteArrayView(bytes).first(length));
    EXPECT_FALSE(ReadCalendarBlock(cut, read)) << "length " << length;
    EXPECT_FALSE(cut.ok());
  }
}

// An event record whose fields after the strings are all zero, with the given tail counts.
QByteArray EventWith(qint32 exceptions, qint32 dayNotes, double startDate = 0) {
  Bytes b;
  b.str("a").str("").str("").str("").f64(0).f64(0).f64(0).f64(startDate).f64(0).f64(0).f64(0);
  b.b += QByteArray(3 + 8 * 4 + 7, '\0');
  return Bytes().i32(1).b + b.i32(exceptions).i32(dayNotes).i32(0).b;
}

TEST(ByteStream, DamagedBlocksAreRefused) {
  const std::pair<const char*, QByteArray> cases[] = {
      {"Empty", QByteArray()},
      {"NegativeEventCount", Bytes().i32(-1).i32(0).b},
      {"EventCountBeyondTheBytes", Bytes().i32(1000000).i32(0).b + QByteArray(500, '\0')},
      {"NegativeTaskCount", Bytes().i32(0).i32(-5).b},
      {"TaskCountBeyondTheBytes", Bytes().i32(0).i32(2).b + QByteArray(41, '\0')},
      {"StringLongerThanTheFile", Bytes().i32(1).i32(0x7fffffff).b + QByteArray(200, '\0')},
      {"NegativeStringLength", Bytes().i32(1).i32(-4).b + QByteArray(200, '\0')},
      {"ExceptionCountBeyondTheBytes", EventWith(100, 0)},
      {"NegativeDayNoteCount", EventWith(0, -1)},
      {"DateNotANumber", EventWith(0, 0, std::nan(""))},
      {"DateBeyondTheYear9999", EventWith(0, 0, 1e12)},
      {"TaskLineCountBeyondTheBytes",
       Bytes().i32(0).i32(1).str("t").str("").i32(0).u8(0).f64(0).f64(0).f64(0).i32(3).b},
  };
  CalendarRecords records;
  for (const auto& [name, bytes] : cases) {
    ByteReader in(bytes);
    EXPECT_FALSE(ReadCalendarBlock(in, records)) << name;
  }
  // At the edge of its counts a block is read.
  const QByteArray edge = EventWith(0, 0, D(9999, 12, 31));
  ByteReader in(edge);
  ASSERT_TRUE(ReadCalendarBlock(in, records));
  EXPECT_EQ(records.notes.at(0).StartDate, D(9999, 12, 31));
}

}  // namespace
