// orvane export-ics FILE, orvane import-ics FILE: the calendar as an iCalendar file, and
// iCalendar files from other programs into it, on the user's store.

#include "app/commands.h"
#include "core/wholefile.h"
#include "platform/icalendar.h"
#include "session/appcontext.h"

#include <QTextStream>

namespace {

enum class IcsCommand { Export, Import };

int RunIcsCommand(IcsCommand kind, CliArgs& args) {
  const CliCommand self = kind == IcsCommand::Export ? ExportIcsCommand() : ImportIcsCommand();
  FileCommandStart start = StartFileCommand(self, args, true);
  if (!start.context) return start.exitCode;
  AppContext* context = start.context.get();
  const QString& path = start.path;
  QTextStream out(stdout);
  QTextStream err(stderr);
  const TDateTime now = context->clock().Now();
  if (kind == IcsCommand::Export) {
    const IcsExportResult result = ExportICalendar(context->calendar(), path, now);
    if (!result.ok) {
      err << "orvane " << self.name << ": " << result.error << Qt::endl;
      return 1;
    }
    // Written to standard output, the calendar is all that goes there.
    if (IsStandardStream(path)) {
      err << ExportSummary(result, QStringLiteral("standard output")) << Qt::endl;
    } else {
      out << ExportSummary(result, path) << Qt::endl;
    }
    return 0;
  }
  const IcsImportResult result = ImportICalendar(context->calendar(), path, now);
  if (!result.ok) {
    err << "orvane " << self.name << ": " << result.error << Qt::endl;
    return 1;
  }
  if (!context->SaveCalendar()) return 1;
  out << ImportSummary(result, IsStandardStream(path) ? QStringLiteral("standard input") : path) << Qt::endl;
  return 0;
}

}  // namespace

int RunExportIcs(CliArgs& args) { return RunIcsCommand(IcsCommand::Export, args); }
int RunImportIcs(CliArgs& args) { return RunIcsCommand(IcsCommand::Import, args); }
