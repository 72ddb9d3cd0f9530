#pragma once

// The three file commands: backing the calendar and settings up to a file, restoring them
// from one, and synchronising the calendar with a synchronisation file. The desktop menu
// calls them after its file dialogs; the command line calls them directly.
//
// Files are read whole and checked before anything changes (core/backupfiles.h holds their
// bytes). Problems are shown through the dialogs (caption "Alert") and returned.

#include <QByteArrayView>
#include <QList>
#include <QString>

class DataFormat;
class Dialogs;
class TSettings;

struct FileResult {
  bool ok = true;
  QString error;
};

// What the user sees about a file that cannot be read as a calendar.
QString DamagedFileText();

// Writes the whole calendar (deleted records too) and the settings to path, replacing it
// only once the new file is complete. The file is readable by its owner only: it carries the
// settings, the synchronisation password among them.
FileResult BackupToFile(const DataFormat& calendar, const TSettings& settings, const QString& path, Dialogs& dialogs);

// A setting that a restore did not apply by itself, with the file's value (empty: the file
// has none, so the default would apply).
struct HeldSetting {
  QString name;
  QString value;
  bool operator==(const HeldSetting&) const = default;
};

// Replaces the calendar and the settings with the file's. Settings the file lacks take their
// defaults. DataChanged is set, so the restored calendar is saved. A backup may come from
// anyone: when it would change where the program connects (TSettings::AddressKeys), the
// user is asked once whether to use its addresses; without a yes (command-line runs answer
// No) the current ones stay.
FileResult RestoreFromFile(DataFormat& calendar, TSettings& settings, const QString& path, Dialogs& dialogs);

// Merges the file's events and tasks into the calendar, then writes the merged calendar back
// to the file. A file that does not exist yet (or is empty) is created from the calendar.
FileResult SyncWithFile(DataFormat& calendar, const QString& path, Dialogs& dialogs);

// The part of restore that follows reading the file, over its bytes. False, with nothing
// changed, when the bytes do not begin with a whole calendar block. The restore keeps the
// current value of every address setting the file would change and lists the file's values
// in heldBack, for the caller to apply after the user's yes.
bool RestoreFromBytes(DataFormat& calendar, TSettings& settings, QByteArrayView bytes,
                      QList<HeldSetting>* heldBack = nullptr);
