// orvane print: paper calendars of days, weeks, months or years written as a PDF file, drawn
// as the print view prints them.
#include "app/commands.h"
#include "core/wholefile.h"
#include "editors/pagedrawing.h"
#include "session/appcontext.h"

#include <QDate>
#include <QFileInfo>
#include <QTextStream>

namespace {

// A whole number within [minimum, maximum], or nothing.
std::optional<int> WholeNumber(const QString& text, int minimum, int maximum) {
  if (text.isEmpty() || text.size() > 9) return std::nullopt;
  for (const QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
  }
  const int value = text.toInt();
  if (value < minimum || value > maximum) return std::nullopt;
  return value;
}

}  // namespace

int RunPrint(CliArgs& args) {
  const CliCommand command = PrintCommand();
  QString error;
  const std::optional<QString> kindText = args.TakeOption(QStringLiteral("--kind"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  const std::optional<QString> startText = args.TakeOption(QStringLiteral("--start"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  const std::optional<QString> pagesText = args.TakeOption(QStringLiteral("--pages"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  const std::optional<QString> weeksText = args.TakeOption(QStringLiteral("--weeks-per-page"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  const std::optional<QString> out = args.TakeOption(QStringLiteral("--out"), error);
  if (!error.isEmpty()) return UsageError(command, error);
  PageOptions options;
  options.portrait = args.TakeFlag(QStringLiteral("--portrait"));
  options.blank = args.TakeFlag(QStringLiteral("--blank"));
  if (const QString unknown = args.UnknownOption(); !unknown.isEmpty()) {
    return UsageError(command, QStringLiteral("unknown option %1").arg(unknown));
  }
  if (!args.Positional().isEmpty()) {
    return UsageError(command, QStringLiteral("unexpected argument \"%1\"").arg(args.Positional().first()));
  }

  if (!kindText) return UsageError(command, QStringLiteral("--kind day|week|month|year is required"));
  bool known = false;
  for (const CalendarKind kind : {CalendarKind::Day, CalendarKind::Week, CalendarKind::Month, CalendarKind::Year}) {
    if (*kindText == CalendarKindName(kind)) {
      options.kind = kind;
      known = true;
    }
  }
  if (!known)
    return UsageError(command, QStringLiteral("--kind wants day, week, month or year, not \"%1\"").arg(*kindText));

  if (!startText) return UsageError(command, QStringLiteral("--start YYYY-MM-DD is required"));
  const QDate date = QDate::fromString(*startText, Qt::ISODate);
  if (!date.isValid() || startText->size() != 10 || date.year() < 1900) {
    return UsageError(command, QStringLiteral("--start wants a date as YYYY-MM-DD, not \"%1\"").arg(*startText));
  }
  // A hundred years of pages from the start must stay within four-digit years.
  if (date.year() > 9899) return UsageError(command, QStringLiteral("--start wants a year before 9900"));
  const TDateTime start = EncodeDate(date.year(), date.month(), date.day());

  int pages = 1;
  if (pagesText) {
    const std::optional<int> n = WholeNumber(*pagesText, MinPageCount, MaxPageCount);
    if (!n) {
      return UsageError(command, QStringLiteral("--pages wants a whole number from %1 to %2, not \"%3\"")
                                     .arg(MinPageCount)
                                     .arg(MaxPageCount)
                                     .arg(*pagesText));
    }
    pages = *n;
  }
  if (weeksText) {
    if (options.kind != CalendarKind::Week)
      return UsageError(command, QStringLiteral("--weeks-per-page is for --kind week"));
    const std::optional<int> n = WholeNumber(*weeksText, MinWeeksPerPage, MaxWeeksPerPage);
    if (!n) {
      return UsageError(command, QStringLiteral("--weeks-per-page wants a whole number from %1 to %2, not \"%3\"")
                                     .arg(MinWeeksPerPage)
                                     .arg(MaxWeeksPerPage)
                                     .arg(*weeksText));
    }
    options.weeksPerPage = *n;
  }
  if (!out || out->isEmpty()) return UsageError(command, QStringLiteral("--out FILE.pdf is required"));

  std::unique_ptr<AppContext> context = OpenCliContext(false, error);
  if (!context) {
    QTextStream(stderr) << "orvane print: " << error << Qt::endl;
    return 1;
  }
  const std::vector<TDateTime> dates = PageDates(options.kind, start, pages, options.weeksPerPage);
  if (!WritePdf(*out, dates, options, context->calendar(), error)) {
    QTextStream(stderr) << "orvane print: " << error << Qt::endl;
    return 1;
  }
  // Written to standard output, the PDF is all that goes there.
  QTextStream(IsStandardStream(*out) ? stderr : stdout)
      << dates.size() << (dates.size() == 1 ? " page" : " pages") << " of " << CalendarKindName(options.kind)
      << " calendars "
      << (IsStandardStream(*out) ? QStringLiteral("on standard output")
                                 : QStringLiteral("in ") + QFileInfo(*out).absoluteFilePath())
      << Qt::endl;
  return 0;
}
