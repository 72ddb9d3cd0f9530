// The names, usage and summaries of the commands whose code is in a module: the executable
// lists them in --help and answers their --help without loading anything.
#include "app/commands.h"

namespace {

CliCommand Described(CliCommand::Needs needs, const QString& name, const QString& usage, const QString& summary) {
  CliCommand command;
  command.name = name;
  command.usage = usage;
  command.summary = summary;
  command.needs = needs;
  return command;
}

}  // namespace

CliCommand RenderCommand() {
  return Described(CliCommand::Needs::Window, QStringLiteral("render"),
                   QStringLiteral("render --out FILE.png [--now \"YYYY-MM-DD HH:MM\"] [--backdrop IMAGE] [--scale N]"),
                   QStringLiteral("paint the desktop panel as it would look, without a display"));
}

CliCommand PrintCommand() {
  return Described(CliCommand::Needs::Window, QStringLiteral("print"),
                   QStringLiteral("print --kind day|week|month|year --start YYYY-MM-DD [--pages N] [--weeks-per-page "
                                  "N] [--portrait] [--blank] --out FILE.pdf"),
                   QStringLiteral("write paper calendars with their events as a PDF file"));
}

CliCommand WeatherCommand() {
  return Described(CliCommand::Needs::Network, QStringLiteral("weather"), QStringLiteral("weather [--place TEXT]"),
                   QStringLiteral("fetch the weather and print the forecast texts: for the stored place, or once for a "
                                  "place, postal code or \"lat,lon\" given"));
}

CliCommand ListenCommand() {
  return Described(CliCommand::Needs::Network, QStringLiteral("listen"), QStringLiteral("listen"),
                   QStringLiteral("answer other copies' network synchronization until stopped"));
}

CliCommand LanSyncCommand() {
  return Described(CliCommand::Needs::Network, QStringLiteral("lan-sync"),
                   QStringLiteral("lan-sync ADDRESS --password-file FILE"),
                   QStringLiteral("synchronize the calendar with the copy at ADDRESS over the network"));
}

CliCommand ExportIcsCommand() {
  return Described(CliCommand::Needs::ICalendar, QStringLiteral("export-ics"), QStringLiteral("export-ics FILE.ics"),
                   QStringLiteral("write the events and tasks to an iCalendar file"));
}

CliCommand ImportIcsCommand() {
  return Described(CliCommand::Needs::ICalendar, QStringLiteral("import-ics"), QStringLiteral("import-ics FILE.ics"),
                   QStringLiteral("merge the events and tasks of an iCalendar file into the calendar"));
}

CliCommand ServerCommand() {
  return Described(
      CliCommand::Needs::Network, QStringLiteral("server"),
      QStringLiteral("server add URL --user NAME --password-file FILE [--calendar NAME] [--tasks NAME] "
                     "[--store-password-in-file] [--allow-http] [--fingerprint SHA256] [--allow-host HOST] "
                     "| server list|remove|sync"),
      QStringLiteral("keep the calendar on a CalDAV server: add the account, show or remove it, or "
                     "synchronize once (exit 0 only when the calendar and the server agree)"));
}
