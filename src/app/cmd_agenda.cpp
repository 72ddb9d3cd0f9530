// orvane agenda: each day's event list (events with an alarm marked), then the open tasks.
#include "app/commands.h"
#include "session/appcontext.h"

#include <QCoreApplication>
#include <QDate>
#include <QTextStream>

namespace {

// More days than this is a typing mistake rather than an agenda.
constexpr int MaxAgendaDays = 3660;

QString TaskLine(const TToDo& task) {
  QString line = task.Title + QStringLiteral(" (") + PriorityName(task.Priority) + QLatin1Char(')');
  if (task.DueDate != 0) {
    line += QCoreApplication::translate("Agenda", " due ") + FormatDateTime(QStringLiteral("m/d/yyyy"), task.DueDate);
  }
  return line;
}

int RunAgenda(const CliCommand& command, CliArgs& args) {
  QString error;
  const std::optional<QString> dateText = args.TakeOption(QStringLiteral("--date"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  const std::optional<QString> daysText = args.TakeOption(QStringLiteral("--days"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  if (const QString unknown = args.UnknownOption(); !unknown.isEmpty()) {
    return UsageError(command, QStringLiteral("unknown option %1").arg(unknown));
  }
  if (!args.Positional().isEmpty()) {
    return UsageError(command, QStringLiteral("unexpected argument \"%1\"").arg(args.Positional().first()));
  }

  std::optional<TDateTime> first;
  if (dateText) {
    const QDate date = QDate::fromString(*dateText, Qt::ISODate);
    if (!date.isValid() || dateText->size() != 10 || date.year() < 1900) {
      return UsageError(command, QStringLiteral("--date wants a date as YYYY-MM-DD, not \"%1\"").arg(*dateText));
    }
    first = EncodeDate(date.year(), date.month(), date.day());
  }
  int days = 7;
  if (daysText) {
    bool ok = false;
    days = daysText->toInt(&ok);
    if (!ok || days < 1 || days > MaxAgendaDays) {
      return UsageError(
          command, QStringLiteral("--days wants a number from 1 to %1, not \"%2\"").arg(MaxAgendaDays).arg(*daysText));
    }
  }

  // Only the events that can be listed on these days are read.
  TDateTime start = 0;
  std::unique_ptr<AppContext> context = OpenCliContext(false, error, nullptr, [&](AppContext& opened) {
    start = first ? *first : opened.clock().Today();
    opened.calendar().LoadCalendarForDays(opened.store(), start, start + days - 1);
  });
  if (!context) {
    QTextStream(stderr) << "orvane agenda: " << error << Qt::endl;
    return 1;
  }
  DataFormat& calendar = context->calendar();

  QString text;
  QTextStream out(&text);
  for (int d = 0; d < days; ++d) {
    QString day = calendar.GetEventListText(start + d, FormatSettings(), true);
    day.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out << day << "\n\n";
  }
  out << QCoreApplication::translate("Agenda", "Tasks") << "\n";
  calendar.SortToDos();
  for (const int t : calendar.SortedToDos) {
    const TToDo& task = calendar.ToDoArray[static_cast<size_t>(t)];
    if (task.IsOpen()) out << TaskLine(task) << "\n";
  }
  out.flush();
  QTextStream(stdout) << text;
  return 0;
}

}  // namespace

CliCommand AgendaCommand() {
  CliCommand command;
  command.name = QStringLiteral("agenda");
  command.usage = QStringLiteral("agenda [--date YYYY-MM-DD] [--days N]");
  command.summary = QStringLiteral("print each day's events (7 days from today), then the open tasks");
  command.run = [](CliArgs& args) { return RunAgenda(AgendaCommand(), args); };
  return command;
}
