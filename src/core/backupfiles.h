#pragma once

// The bytes of backup and synchronisation files. A backup file holds the calendar block
// followed by the settings lines; a synchronisation file holds the calendar block alone.
// After either comes the records' extra values (their identities), in a section older
// copies pass over: it is made of lines without "=", which their settings reader skips,
// and a synchronisation file's reader stops after the block.
// Everything here works on bytes already read: the files themselves, the settings and the
// questions to the user belong to the file commands (settings/calendarfiles.h).
//
// Bytes are checked before anything changes: bytes that end early or hold impossible
// counts or lengths change nothing.

#include "core/bytestream.h"

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

class DataFormat;

// What a backup file holds: its records, and the settings lines after them as they are in
// the file (name "=" value, one a line).
struct BackupContents {
  CalendarRecords records;
  QByteArrayView settingsLines;
};

// The bytes of a backup of the whole calendar (deleted records too) with the settings lines
// after it.
QByteArray BackupBytes(const DataFormat& calendar, QByteArrayView settingsLines);
// The bytes of a synchronisation file of the whole calendar.
QByteArray SyncBytes(const DataFormat& calendar);

// The section of the records' extra values: a marker line, then the values as bytes in
// base64url lines. Empty when no record has any.
QByteArray RecordExtrasSection(const DataFormat& calendar);
// Where the section begins in the bytes after a calendar block (their size when there is
// none).
qsizetype RecordExtrasStart(QByteArrayView rest);
// Gives the records the extra values of the section at the start of section. A section that
// does not read gives none: the records are whole without it.
void ReadRecordExtras(QByteArrayView section, CalendarRecords& records);

// Splits a backup file's bytes; nothing when they do not begin with a whole calendar block.
// settingsLines points into bytes.
std::optional<BackupContents> ReadBackup(QByteArrayView bytes);

// Replaces every event and task of the calendar with the records, and sets DataChanged (also
// when there are none: the emptied calendar must reach the store).
void ReplaceCalendar(DataFormat& calendar, CalendarRecords records);

// Merges the events and tasks of a synchronisation file's bytes into the calendar. False,
// with nothing changed, when the bytes do not begin with a whole calendar block.
bool MergeFromBytes(DataFormat& calendar, QByteArrayView bytes);
