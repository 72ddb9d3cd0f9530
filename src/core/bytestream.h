#pragma once

// Records as bytes: the form events and tasks take in backup files, synchronisation files
// and LAN messages. Little-endian numbers, one-byte Booleans, 8-byte dates, strings as a
// 32-bit length and that many bytes of text; no header, no padding.
//
// Writing appends to a QByteArray. Reading goes through a ByteReader over untrusted bytes:
// every length and count is checked against the bytes that remain before it is used, and a
// read that fails leaves the reader failed (every later read fails too).

#include "core/records.h"

#include <QByteArray>
#include <QByteArrayView>
#include <deque>
#include <vector>

class DataFormat;

class ByteWriter {
 public:
  explicit ByteWriter(QByteArray& out) : out_(out) {}
  void Int32(qint32 value);
  void Double(double value);
  void Bool(bool value) { out_.append(static_cast<char>(value ? 1 : 0)); }
  void Bytes(QByteArrayView bytes) { out_.append(bytes); }

 private:
  QByteArray& out_;
};

class ByteReader {
 public:
  explicit ByteReader(QByteArrayView data) : data_(data) {}
  bool Int32(qint32& value);
  // Any 8-byte number, as ByteWriter::Double wrote it.
  bool Double(double& value);
  // A date or time: fails on values no calendar date can have (not finite, or outside the
  // years 1 to 9999).
  bool Date(double& value);
  bool Bool(bool& value);
  bool Bytes(qsizetype length, QByteArrayView& bytes);
  // A count of items that each take at least itemSize bytes: fails when negative or when the
  // bytes left cannot hold that many.
  bool Count(qint32& count, qsizetype itemSize);

  bool ok() const { return ok_; }
  qsizetype position() const { return pos_; }
  qsizetype remaining() const { return data_.size() - pos_; }
  QByteArrayView rest() const { return data_.sliced(pos_); }

 private:
  bool Fail() {
    ok_ = false;
    return false;
  }
  QByteArrayView data_;
  qsizetype pos_ = 0;
  bool ok_ = true;
};

// Text as stored: UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252 (the code
// page of files made on older systems), so accented letters survive either way.
QString DecodeText(QByteArrayView bytes);

void WriteStreamString(ByteWriter& out, const QString& text);
bool ReadStreamString(ByteReader& in, QString& text);

void WriteNote(const TNote& note, ByteWriter& out);
// Replaces every field of note; on failure note holds what was read so far.
bool ReadNote(TNote& note, ByteReader& in);
void WriteToDo(const TToDo& todo, ByteWriter& out);
// Replaces every field of todo (Notes gets the lines read).
bool ReadToDo(TToDo& todo, ByteReader& in);

// A record's values beyond its fixed form (its identity), as name and value texts. They
// travel apart from the record form, which older copies read: in a section of their own in
// files, after the record in LAN messages to copies that asked for them.
using ExtraValues = QList<std::pair<QString, QString>>;
ExtraValues ExtraValuesOf(const TNote& note);
ExtraValues ExtraValuesOf(const TToDo& todo);
// Sets the values the record knows; names a later version adds are passed over.
void ApplyExtraValues(const ExtraValues& values, TNote& note);
void ApplyExtraValues(const ExtraValues& values, TToDo& todo);
// A count, then each name and value as strings.
void WriteExtraValues(ByteWriter& out, const ExtraValues& values);
bool ReadExtraValues(ByteReader& in, ExtraValues& values);

// Every event and task of the calendar, deleted ones too, in array order.
void WriteCalendarBlock(const DataFormat& calendar, ByteWriter& out);
QByteArray CalendarBlock(const DataFormat& calendar);

// A calendar block read into scratch records, before anything is done with them. Kept in
// deques, as the calendar keeps its own: a large file's records are then many small blocks
// that the allocator reuses, not one block of tens of megabytes mapped afresh at every read.
struct CalendarRecords {
  std::deque<TNote> notes;
  std::deque<TToDo> todos;
};
// Reads a whole calendar block; false when the bytes end early or hold impossible counts,
// lengths or dates. Bytes after the block are left unread.
bool ReadCalendarBlock(ByteReader& in, CalendarRecords& records);

// The smallest event and task records: empty strings, no lists.
constexpr qsizetype MinNoteBytes = 4 * 4 + 98 + 4 + 4;
constexpr qsizetype MinToDoBytes = 4 + 4 + 4 + 1 + 3 * 8 + 4;
