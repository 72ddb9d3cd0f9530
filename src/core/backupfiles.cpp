#include "core/backupfiles.h"

#include "core/bytestream.h"
#include "core/dataformat.h"
#include "core/wholefile.h"
#include "platform/dialogs.h"
#include "settings/settings.h"

#include <QFileInfo>

namespace {

FileResult Failed(Dialogs& dialogs, const QString& error) {
  dialogs.MessageBox(error, QStringLiteral("Alert"), Dialogs::Buttons::Ok, Dialogs::Icon::Error);
  return FileResult{false, error};
}

FileResult Damaged(Dialogs& dialogs) {
  dialogs.Alert(DamagedFileText());
  return FileResult{false, DamagedFileText()};
}

// Backup and sync files are read whole; a calendar of a hundred thousand events fills a few
// tens of megabytes.
constexpr qint64 MaxCalendarFileBytes = 512LL * 1024 * 1024;

}  // namespace

bool RestoreFromBytes(DataFormat& calendar, TSettings& settings, QByteArrayView bytes) {
  ByteReader in(bytes);
  CalendarRecords records;
  if (!ReadCalendarBlock(in, records)) return false;

  // The whole block was read: only now does anything change.
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
  // Also when the file held no records: the emptied calendar must reach the store.
  calendar.DataChanged = true;

  settings.ReadSettingsFromStream(in.rest());
  settings.ApplyDefaults(TSettings::Prompts::Skip);
  return true;
}

bool MergeFromBytes(DataFormat& calendar, QByteArrayView bytes) {
  ByteReader in(bytes);
  CalendarRecords records;
  if (!ReadCalendarBlock(in, records)) return false;
  for (const TNote& note : records.notes) calendar.MergeNote(note);
  for (const TToDo& todo : records.todos) calendar.MergeToDo(todo);
  return true;
}

QString DamagedFileText() { return QStringLiteral("The file is damaged or is not an Orvane file."); }

FileResult BackupToFile(const DataFormat& calendar, const TSettings& settings, const QString& path,
                        Dialogs& dialogs) {
  QByteArray bytes = CalendarBlock(calendar);
  settings.WriteSettingsToStream(bytes);
  const QString error = WriteWholeFile(path, bytes, FileAccess::OwnerOnly);
  if (!error.isEmpty()) return Failed(dialogs, error);
  return FileResult();
}

FileResult RestoreFromFile(DataFormat& calendar, TSettings& settings, const QString& path, Dialogs& dialogs) {
  QString error;
  const std::optional<QByteArray> bytes = ReadWholeFile(path, MaxCalendarFileBytes, error);
  if (!bytes) return Failed(dialogs, error);
  if (!RestoreFromBytes(calendar, settings, *bytes)) return Damaged(dialogs);
  return FileResult();
}

FileResult SyncWithFile(DataFormat& calendar, const QString& path, Dialogs& dialogs) {
  QString error;
  const QFileInfo info(path);
  if (info.exists() && info.size() > 0) {
    const std::optional<QByteArray> bytes = ReadWholeFile(path, MaxCalendarFileBytes, error);
    if (!bytes) return Failed(dialogs, error);
    if (!MergeFromBytes(calendar, *bytes)) return Damaged(dialogs);
  }
  // A sync file carries the whole calendar: readable by its owner only, like the store.
  error = WriteWholeFile(path, CalendarBlock(calendar), FileAccess::OwnerOnly);
  if (!error.isEmpty()) return Failed(dialogs, error);
  return FileResult();
}
