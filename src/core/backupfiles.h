#pragma once

// The bytes of backup and synchronisation files. A backup file holds the calendar block
// followed by the settings lines; a synchronisation file holds the calendar block alone.
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

// Splits a backup file's bytes; nothing when they do not begin with a whole calendar block.
// settingsLines points into bytes.
std::optional<BackupContents> ReadBackup(QByteArrayView bytes);

// Replaces every event and task of the calendar with the records, and sets DataChanged (also
// when there are none: the emptied calendar must reach the store).
void ReplaceCalendar(DataFormat& calendar, CalendarRecords records);

// Merges the events and tasks of a synchronisation file's bytes into the calendar. False,
// with nothing changed, when the bytes do not begin with a whole calendar block.
bool MergeFromBytes(DataFormat& calendar, QByteArrayView bytes);
