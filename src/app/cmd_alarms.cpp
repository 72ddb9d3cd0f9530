// orvane alarms: the alarms due in the next hours, one line each, for scripts and status bars.
#include "app/commands.h"
#include "session/appcontext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTextStream>

namespace {

// A year and a day: more is a typing mistake.
constexpr int MaxAlarmHours = 366 * 24;

int RunAlarms(const CliCommand& command, CliArgs& args) {
  QString error;
  const std::optional<QString> hoursText = args.TakeOption(QStringLiteral("--hours"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  if (const QString unknown = args.UnknownOption(); !unknown.isEmpty()) {
    return UsageError(command, QStringLiteral("unknown option %1").arg(unknown));
  }
  if (!args.Positional().isEmpty()) {
    return UsageError(command, QStringLiteral("unexpected argument \"%1\"").arg(args.Positional().first()));
  }
  int hours = 24;
  if (hoursText) {
    bool ok = false;
    hours = hoursText->toInt(&ok);
    if (!ok || hours < 1 || hours > MaxAlarmHours) {
      return UsageError(
          command,
          QStringLiteral("--hours wants a number from 1 to %1, not \"%2\"").arg(MaxAlarmHours).arg(*hoursText));
    }
  }

  std::unique_ptr<AppContext> context = OpenCliContext(false, error);
  if (!context) {
    QTextStream(stderr) << "orvane alarms: " << error << Qt::endl;
    return 1;
  }
  Reminders& reminders = context->reminders();
  reminders.Load(context->store());
  const TDateTime now = context->clock().Now();
  const TDateTime today = DatePart(now);

  QString text;
  QTextStream out(&text);
  for (const DueAlarm& alarm : reminders.Upcoming(now, now + hours / 24.0)) {
    out << ToQDateTime(alarm.at).toString(QStringLiteral("yyyy-MM-dd HH:mm")) << "  "
        << AlarmSummary(context->calendar(), alarm, today);
    if (alarm.snoozed) out << QCoreApplication::translate("Alarms", " (snoozed)");
    out << "\n";
  }
  out.flush();
  QTextStream(stdout) << text;
  return 0;
}

}  // namespace

CliCommand AlarmsCommand() {
  CliCommand command;
  command.name = QStringLiteral("alarms");
  command.usage = QStringLiteral("alarms [--hours N]");
  command.summary = QStringLiteral("list the alarms due in the next N hours (24), one line each");
  command.run = [](CliArgs& args) { return RunAlarms(AlarmsCommand(), args); };
  return command;
}
