// The iCalendar module's entry: export-ics and import-ics, with libical, which the executable
// does not load for its other commands.
#include "app/commands.h"
#include "app/launch.h"

extern "C" __attribute__((visibility("default"))) int orvane_module_main(int argc, char** argv) {
  const QStringList arguments = CommandLineArguments(argc, argv);
  const CliCommand* found = FindCommand(arguments);
  if (!found || found->needs != CliCommand::Needs::ICalendar) return 2;
  CliCommand command = *found;
  command.run = command.name == QStringLiteral("export-ics") ? RunExportIcs : RunImportIcs;
  return RunConsoleCommand(command, arguments, argc, argv, true);
}
