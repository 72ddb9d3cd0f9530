// orvane backup FILE, orvane restore FILE, orvane sync FILE: the file commands of the
// desktop menu, on the user's store, asking nothing.

#include "app/commands.h"
#include "platform/autostart.h"
#include "session/appcontext.h"
#include "settings/calendarfiles.h"

namespace {

enum class FileCommand { Backup, Restore, Sync };

CliCommand MakeCommand(FileCommand kind);

int RunFileCommand(FileCommand kind, CliArgs& args) {
  const CliCommand self = MakeCommand(kind);
  // A backup can go to standard output and a restore come from standard input; a sync file
  // is read and written back, so it must be a file.
  // A restore replaces every record: the store's are not read, only which key holds which.
  const auto replacing = [](AppContext& context) { context.calendar().LoadCalendarToReplace(context.store()); };
  FileCommandStart start =
      StartFileCommand(self, args, kind != FileCommand::Sync,
                       kind == FileCommand::Restore ? replacing : std::function<void(AppContext&)>());
  if (!start.context) return start.exitCode;
  AppContext* context = start.context.get();
  const QString& path = start.path;
  // Failures have been reported through the context's dialogs, on standard error.
  switch (kind) {
    case FileCommand::Backup:
      return BackupToFile(context->calendar(), context->settings(), path, context->dialogs()).ok ? 0 : 1;
    case FileCommand::Restore: {
      const FileResult result = RestoreFromFile(context->calendar(), context->settings(), path, context->dialogs());
      if (!result.ok) return 1;
      // The restored RunAtStartup decides whether the program starts at logon.
      XdgAutostart autostart;
      context->SetAutostart(&autostart);
      const bool saved = context->SaveCalendarAndSettings();
      context->SetAutostart(nullptr);
      return saved ? 0 : 1;
    }
    case FileCommand::Sync: {
      const FileResult result = SyncWithFile(context->calendar(), path, context->dialogs());
      // A sync whose write-back failed has still merged: keep what it merged.
      const bool saved = context->SaveCalendar();
      return result.ok && saved ? 0 : 1;
    }
  }
  return 1;
}

CliCommand MakeCommand(FileCommand kind) {
  CliCommand command;
  switch (kind) {
    case FileCommand::Backup:
      command.name = QStringLiteral("backup");
      command.usage = QStringLiteral("backup FILE.ovb");
      command.summary = QStringLiteral("write the calendar and the settings to a backup file");
      break;
    case FileCommand::Restore:
      command.name = QStringLiteral("restore");
      command.usage = QStringLiteral("restore FILE.ovb");
      command.summary = QStringLiteral("replace the calendar and the settings with a backup file's");
      break;
    case FileCommand::Sync:
      command.name = QStringLiteral("sync");
      command.usage = QStringLiteral("sync FILE.ovs");
      command.summary = QStringLiteral("merge a synchronisation file into the calendar and write the result back");
      break;
  }
  command.run = [kind](CliArgs& args) { return RunFileCommand(kind, args); };
  return command;
}

}  // namespace

CliCommand BackupCommand() { return MakeCommand(FileCommand::Backup); }
CliCommand RestoreCommand() { return MakeCommand(FileCommand::Restore); }
CliCommand SyncCommand() { return MakeCommand(FileCommand::Sync); }
