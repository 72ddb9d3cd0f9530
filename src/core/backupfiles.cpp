#include "core/backupfiles.h"

#include "core/dataformat.h"

QByteArray BackupBytes(const DataFormat& calendar, QByteArrayView settingsLines) {
  QByteArray bytes = CalendarBlock(calendar);
  bytes.append(settingsLines);
  return bytes;
}

std::optional<BackupContents> ReadBackup(QByteArrayView bytes) {
  ByteReader in(bytes);
  BackupContents contents;
  if (!ReadCalendarBlock(in, contents.records)) return std::nullopt;
  contents.settingsLines = in.rest();
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
  calendar.DataChanged = true;
}

bool MergeFromBytes(DataFormat& calendar, QByteArrayView bytes) {
  ByteReader in(bytes);
  CalendarRecords records;
  if (!ReadCalendarBlock(in, records)) return false;
  for (const TNote& note : records.notes) calendar.MergeNote(note);
  for (const TToDo& todo : records.todos) calendar.MergeToDo(todo);
  return true;
}
