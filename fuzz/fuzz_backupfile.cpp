// Fuzz target: a backup file restored from untrusted bytes, and the same bytes merged as a
// synchronisation file. Either nothing changes, or the calendar is whole: its open-task count
// matches its tasks, and backing it up and restoring that gives the same calendar.
#include "core/backupfiles.h"
#include "core/bytestream.h"
#include "core/dataformat.h"
#include "core/memorykeystore.h"
#include "platform/dialogs.h"
#include "platform/screens.h"
#include "settings/calendarfiles.h"
#include "settings/settings.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Nothing may be asked while restoring.
class NoDialogs final : public Dialogs {
 public:
  Answer MessageBox(const QString&, const QString&, Buttons, Icon) override { std::abort(); }
  std::optional<QString> InputQuery(const QString&, const QString&, const QString&, bool) override { std::abort(); }
  std::optional<QString> OpenFile(const FileRequest&) override { std::abort(); }
  std::optional<QString> SaveFile(const FileRequest&) override { std::abort(); }
  std::optional<Colour> ChooseColour(Colour) override { std::abort(); }
  std::optional<FontChoice> ChooseFont(const FontChoice&) override { std::abort(); }
  QString EditMemo(const QString&, const QString&, const QString&) override { std::abort(); }
};

int OpenTasks(const DataFormat& calendar) {
  int open = 0;
  for (const TToDo& todo : calendar.ToDoArray) open += todo.IsOpen() ? 1 : 0;
  return open;
}

void Seed(DataFormat& calendar) {
  TNote& note = calendar.NoteArray[calendar.AppendNote()];
  note.Title = QStringLiteral("a");
  calendar.ToDoArray[calendar.AppendToDo()].Title = QStringLiteral("a");
  const int done = calendar.AppendToDo();
  calendar.ToDoArray[done].Title = QStringLiteral("b");
  calendar.ToggleToDoCompleted(done);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  FixedClock clock(45000.5);
  MemoryKeyStore store;
  NoDialogs dialogs;
  FixedScreens screens;
  TSettings settings(store, dialogs, screens, TSettings::Mode::ThisRunOnly);

  DataFormat calendar(clock);
  Seed(calendar);
  const auto notesBefore = calendar.NoteArray;
  const auto todosBefore = calendar.ToDoArray;
  const QStringList settingsBefore = settings.Lines();
  if (!RestoreFromBytes(calendar, settings, bytes)) {
    if (calendar.NoteArray != notesBefore || calendar.ToDoArray != todosBefore || settings.Lines() != settingsBefore) {
      std::abort();
    }
  } else {
    if (calendar.OpenToDoCount != OpenTasks(calendar) || !calendar.DataChanged) std::abort();
    for (const QString& line : settings.Lines()) {
      const qsizetype eq = line.indexOf(QLatin1Char('='));
      if (eq <= 0 || eq == line.size() - 1) std::abort();
    }
    // Backing the restored calendar up and restoring that gives it back.
    QByteArray lines;
    settings.WriteSettingsToStream(lines);
    const QByteArray backup = BackupBytes(calendar, lines);
    DataFormat copy(clock);
    TSettings copySettings(store, dialogs, screens, TSettings::Mode::ThisRunOnly);
    if (!RestoreFromBytes(copy, copySettings, backup)) std::abort();
    if (copy.NoteArray != calendar.NoteArray || copy.ToDoArray != calendar.ToDoArray) std::abort();
    if (copySettings.Lines() != settings.Lines()) std::abort();
  }

  DataFormat merged(clock);
  Seed(merged);
  const int notes = merged.NoteCount();
  if (MergeFromBytes(merged, bytes)) {
    if (merged.OpenToDoCount != OpenTasks(merged)) std::abort();
    // Merging the same bytes again adds and changes nothing.
    merged.DataChanged = false;
    const int count = merged.NoteCount();
    if (!MergeFromBytes(merged, bytes) || merged.NoteCount() != count || merged.DataChanged) std::abort();
  } else if (merged.NoteCount() != notes) {
    std::abort();
  }
  return 0;
}
