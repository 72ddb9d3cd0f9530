#include "settings/calendarfiles.h"

#include "core/backupfiles.h"
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

// Asks once whether the backup's addresses replace the current ones; applies them on Yes.
void OfferAddresses(TSettings& settings, const QList<HeldSetting>& held, Dialogs& dialogs) {
  if (held.isEmpty()) return;
  QString text = QStringLiteral("This backup would also change where Orvane connects:");
  for (const HeldSetting& setting : held) {
    text += QStringLiteral("\r\n") + setting.name + QStringLiteral(": ") +
            (setting.value.isEmpty() ? QStringLiteral("(the default)") : setting.value);
  }
  text += QStringLiteral("\r\nUse these addresses?");
  if (!dialogs.Confirm(text)) return;
  for (const HeldSetting& setting : held) settings.SetSetting(setting.name, setting.value);
}

}  // namespace

QString DamagedFileText() { return QStringLiteral("The file is damaged or is not an Orvane file."); }

bool RestoreFromBytes(DataFormat& calendar, TSettings& settings, QByteArrayView bytes, QList<HeldSetting>* heldBack) {
  std::optional<BackupContents> contents = ReadBackup(bytes);
  if (!contents) return false;
  // The whole block was read: only now does anything change.
  ReplaceCalendar(calendar, std::move(contents->records));

  // Where the program connects is not the file's to decide: the current addresses stay
  // until the user agrees to the file's.
  QList<HeldSetting> current;
  for (const QString& key : TSettings::AddressKeys()) current << HeldSetting{key, settings.GetSetting(key)};
  settings.ReadSettingsFromStream(contents->settingsLines);
  if (heldBack) heldBack->clear();
  for (const HeldSetting& kept : current) {
    const QString fromFile = settings.GetSetting(kept.name);
    if (fromFile == kept.value) continue;
    settings.SetSetting(kept.name, kept.value);
    if (heldBack) *heldBack << HeldSetting{kept.name, fromFile};
  }
  settings.ApplyDefaults(TSettings::Prompts::Skip);
  return true;
}

FileResult BackupToFile(const DataFormat& calendar, const TSettings& settings, const QString& path, Dialogs& dialogs) {
  QByteArray lines;
  settings.WriteSettingsToStream(lines);
  const QString error = WriteWholeFile(path, BackupBytes(calendar, lines), FileAccess::OwnerOnly);
  if (!error.isEmpty()) return Failed(dialogs, error);
  return FileResult();
}

FileResult RestoreFromFile(DataFormat& calendar, TSettings& settings, const QString& path, Dialogs& dialogs) {
  QString error;
  const std::optional<QByteArray> bytes = ReadWholeFile(path, MaxCalendarFileBytes, error);
  if (!bytes) return Failed(dialogs, error);
  QList<HeldSetting> held;
  if (!RestoreFromBytes(calendar, settings, *bytes, &held)) return Damaged(dialogs);
  OfferAddresses(settings, held, dialogs);
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
  error = WriteWholeFile(path, SyncBytes(calendar), FileAccess::OwnerOnly);
  if (!error.isEmpty()) return Failed(dialogs, error);
  return FileResult();
}
