#include "core/tdatetime.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <cmath>

const char* const LongDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const ShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const LongMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};
const char* const ShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

namespace {

// Days from 0001-01-01 (day 1) to 1899-12-30, so day 0 of TDateTime.
constexpr int64_t DateDelta = 693594;

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  // Howard Hinnant's algorithm; days since 1970-01-01.
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// 1899-12-30 relative to 1970-01-01.
constexpr int64_t UnixEpochOffset = 25569;

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

TDateTime EncodeDate(int year, int month, int day) {
  return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                             UnixEpochOffset);
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  if (!std::isfinite(value) || std::fabs(value) > 3.0e6) {
    year = 1899;
    month = 12;
    day = 30;
    return;
  }
  CivilFromDays(static_cast<int64_t>(DatePart(value)) - UnixEpochOffset, year, month, day);
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / MSecsPerDay;
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  double frac = TimePart(value);
  auto ms = static_cast<int64_t>(std::llround(frac * MSecsPerDay));
  if (ms >= static_cast<int64_t>(MSecsPerDay)) ms = static_cast<int64_t>(MSecsPerDay) - 1;
  if (ms < 0) ms = 0;
  msec = static_cast<int>(ms % 1000);
  ms /= 1000;
  second = static_cast<int>(ms % 60);
  ms /= 60;
  minute = static_cast<int>(ms % 60);
  hour = static_cast<int>(ms / 60);
}

TDateTime DatePart(TDateTime value) { return std::trunc(value); }

TDateTime TimePart(TDateTime value) {
  // Before day 0 the fraction still counts forward within the day (as the sign is carried
  // by the date part alone), so the time of day is the absolute fraction.
  double t = std::fabs(value - std::trunc(value));
  return std::isfinite(t) ? t : 0.0;
}

int IsoWeekday(TDateTime value) {
  // Day 0 (30 Dec 1899) was a Saturday (ISO 6).
  int64_t d = static_cast<int64_t>(DatePart(value));
  int64_t r = ((d + 5) % 7 + 7) % 7;  // 0 = Monday
  return static_cast<int>(r) + 1;
}

int WeekdayIndex(TDateTime value) { return IsoWeekday(value) % 7; }

TDateTime IncMonth(TDateTime date, int months) {
  int y, m, d;
  DecodeDate(date, y, m, d);
  int total = y * 12 + (m - 1) + months;
  int ny = total / 12;
  int nm = total % 12 + 1;
  int nd = std::min(d, DaysInMonth(ny, nm));
  return EncodeDate(ny, nm, nd) + TimePart(date);
}

TDateTime FromQDateTime(const QDateTime& moment) {
  const QDate date = moment.date();
  const QTime time = moment.time();
  return EncodeDate(date.year(), date.month(), date.day()) + time.msecsSinceStartOfDay() / MSecsPerDay;
}

QDateTime ToQDateTime(TDateTime value) {
  int y, m, d, h, n, s, ms;
  DecodeDate(value, y, m, d);
  DecodeTime(value, h, n, s, ms);
  return QDateTime(QDate(y, m, d), QTime(h, n, s, ms));
}

FormatSettings FormatSettings::FromSystemLocale() {
  FormatSettings fs;
  const QString qt = QLocale::system().dateFormat(QLocale::ShortFormat);
  QString out;
  QChar separator;
  bool hasYear = false;
  for (qsizetype i = 0; i < qt.size();) {
    const QChar c = qt[i];
    qsizetype run = 1;
    while (i + run < qt.size() && qt[i + run] == c) ++run;
    if (c == QLatin1Char('M')) {
      out += QString(std::min<qsizetype>(run, 4), QLatin1Char('m'));
    } else if (c == QLatin1Char('d')) {
      out += QString(std::min<qsizetype>(run, 4), QLatin1Char('d'));
    } else if (c == QLatin1Char('y')) {
      out += QStringLiteral("yyyy");
      hasYear = true;
    } else if (c == QLatin1Char('\'')) {
      // Copy a quoted literal as it stands.
      qsizetype end = qt.indexOf(QLatin1Char('\''), i + 1);
      if (end < 0) end = qt.size() - 1;
      out += qt.mid(i, end - i + 1);
      run = end - i + 1;
    } else if (c.isLetter()) {
      // A token we do not use in dates (era, weekday written with other letters): drop it.
    } else {
      if (separator.isNull() && !c.isSpace()) separator = c;
      out += QString(run, c);
    }
    i += run;
  }
  if (!hasYear || out.isEmpty()) return fs;
  if (!separator.isNull() && separator != QLatin1Char('/')) {
    fs.DateSeparator = separator;
    out.replace(separator, QLatin1Char('/'));
  }
  fs.ShortDateFormat = out.trimmed();
  return fs;
}

namespace {

bool StartsWithCi(const QString& s, qsizetype pos, const char* token) {
  const QString t = QLatin1String(token);
  return s.mid(pos, t.size()).compare(t, Qt::CaseInsensitive) == 0;
}

void AppendFormatted(QString& out, const QString& format, TDateTime value, const FormatSettings& settings, int depth);

void AppendFormatted(QString& out, const QString& format, TDateTime value, const FormatSettings& settings, int depth) {
  int year, month, day, hour, minute, second, msec;
  DecodeDate(value, year, month, day);
  DecodeTime(value, hour, minute, second, msec);
  // Whether the format shows AM/PM decides 12- or 24-hour display.
  const bool twelveHour = format.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive) ||
                          format.contains(QLatin1String("A/P"), Qt::CaseInsensitive);
  bool lastWasHour = false;
  const qsizetype n = format.size();
  auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
  for (qsizetype i = 0; i < n;) {
    const QChar c = format[i];
    const char lc = static_cast<char>(c.toLower().toLatin1());
    qsizetype run = 1;
    while (i + run < n && format[i + run].toLower() == c.toLower()) ++run;
    switch (lc) {
      case '\'':
      case '"': {
        qsizetype end = format.indexOf(c, i + 1);
        if (end < 0) end = n;
        out += format.mid(i + 1, end - i - 1);
        i = end + 1;
        continue;
      }
      case 'd':
        if (run >= 5 && depth == 0) {
          AppendFormatted(out, settings.ShortDateFormat, value, settings, depth + 1);
          run = std::min<qsizetype>(run, 5);
        } else if (run >= 4) {
          out += QLatin1String(LongDayNames[WeekdayIndex(value)]);
          run = 4;
        } else if (run == 3) {
          out += QLatin1String(ShortDayNames[WeekdayIndex(value)]);
        } else if (run == 2) {
          out += two(day);
        } else {
          out += QString::number(day);
        }
        lastWasHour = false;
        break;
      case 'm':
        if (lastWasHour && run <= 2) {
          out += run == 2 ? two(minute) : QString::number(minute);
        } else if (run >= 4) {
          out += QLatin1String(LongMonthNames[month - 1]);
          run = 4;
        } else if (run == 3) {
          out += QLatin1String(ShortMonthNames[month - 1]);
        } else if (run == 2) {
          out += two(month);
        } else {
          out += QString::number(month);
        }
        lastWasHour = false;
        break;
      case 'y':
        if (run <= 2) {
          out += two(year % 100);
        } else {
          out += QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
          run = std::min<qsizetype>(run, 4);
        }
        lastWasHour = false;
        break;
      case 'h': {
        run = std::min<qsizetype>(run, 2);
        int h = hour;
        if (twelveHour) {
          h = hour % 12;
          if (h == 0) h = 12;
        }
        out += run == 2 ? two(h) : QString::number(h);
        lastWasHour = true;
        break;
      }
      case 'n':
        run = std::min<qsizetype>(run, 2);
        out += run == 2 ? two(minute) : QString::number(minute);
        lastWasHour = false;
        break;
      case 's':
        run = std::min<qsizetype>(run, 2);
        out += run == 2 ? two(second) : QString::number(second);
        lastWasHour = false;
        break;
      case 'z':
        if (run >= 3) {
          out += QStringLiteral("%1").arg(msec, 3, 10, QLatin1Char('0'));
          run = 3;
        } else {
          out += QString::number(msec);
          run = 1;
        }
        lastWasHour = false;
        break;
      case 'a':
        if (StartsWithCi(format, i, "AM/PM")) {
          const bool upper = format[i].isUpper();
          out += hour < 12 ? (upper ? QStringLiteral("AM") : QStringLiteral("am"))
                           : (upper ? QStringLiteral("PM") : QStringLiteral("pm"));
          run = 5;
        } else if (StartsWithCi(format, i, "A/P")) {
          const bool upper = format[i].isUpper();
          out += hour < 12 ? (upper ? QStringLiteral("A") : QStringLiteral("a"))
                           : (upper ? QStringLiteral("P") : QStringLiteral("p"));
          run = 3;
        } else {
          out += c;
          run = 1;
        }
        break;
      case 'c':
        if (depth == 0) {
          AppendFormatted(out, settings.ShortDateFormat, value, settings, depth + 1);
          if (TimePart(value) != 0.0) {
            out += QLatin1Char(' ');
            AppendFormatted(out, settings.LongTimeFormat, value, settings, depth + 1);
          }
        }
        run = 1;
        break;
      case '/':
        out += QString(run, settings.DateSeparator);
        break;
      case ':':
        out += QString(run, settings.TimeSeparator);
        break;
      default:
        out += format.mid(i, run);
        break;
    }
    i += run;
  }
}

}  // namespace

QString FormatDateTime(const QString& format, TDateTime value, const FormatSettings& settings) {
  QString out;
  out.reserve(format.size() + 8);
  AppendFormatted(out, format, value, settings, 0);
  return out;
}
