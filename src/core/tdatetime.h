#pragma once

#include <QString>

class QDateTime;

// A date, a time of day or a moment, as a double: the whole part counts days since
// 30 December 1899, the fraction is the time of day (0.5 = noon). 0 also means "not set"
// for due and deletion dates.
using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;
constexpr double SecsPerDay = 86400.0;

// Proleptic Gregorian calendar helpers.
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);
// Days since 30 December 1899 of a valid date (no time of day).
TDateTime EncodeDate(int year, int month, int day);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
// A time of day from its parts; h 0..23, n and s 0..59, ms 0..999.
TDateTime EncodeTime(int hour, int minute, int second = 0, int msec = 0);
// The time of day rounded to the nearest millisecond, so 0:13 stored as a double
// never decodes as 0:12:59.999.
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);

// The date part: truncated toward zero.
TDateTime DatePart(TDateTime value);
// The time of day, always 0 <= t < 1.
TDateTime TimePart(TDateTime value);
// 1 Monday .. 7 Sunday.
int IsoWeekday(TDateTime value);
// 0 Sunday .. 6 Saturday.
int WeekdayIndex(TDateTime value);
// Whole days of a date (the date part as an integer).
inline int DayNumber(TDateTime value) { return static_cast<int>(DatePart(value)); }

// Adds months to a date, keeping the day when it exists and otherwise taking the month's
// last day (31 January + 1 month = 28 or 29 February).
TDateTime IncMonth(TDateTime date, int months);

TDateTime FromQDateTime(const QDateTime& moment);
QDateTime ToQDateTime(TDateTime value);

// Names and formats used when dates and times are shown.
struct FormatSettings {
  QString ShortDateFormat = QStringLiteral("m/d/yyyy");
  QString LongTimeFormat = QStringLiteral("h:nn AM/PM");
  QChar DateSeparator = QLatin1Char('/');
  QChar TimeSeparator = QLatin1Char(':');

  // The user's locale's short date format turned into the tokens FormatDateTime knows,
  // with a four-digit year.
  static FormatSettings FromSystemLocale();
};

// Formats a value with Delphi-style tokens: d dd ddd dddd, m mm mmm mmmm (m right after an
// hour token means minutes), yy yyyy, h hh, n nn, s ss, z zzz, AM/PM am/pm A/P a/p, "/" the
// date separator, ":" the time separator, 'quoted' and "quoted" literals, ddddd the short
// date format, c the short date and the long time. English day and month names.
QString FormatDateTime(const QString& format, TDateTime value, const FormatSettings& settings = FormatSettings());

extern const char* const LongDayNames[7];   // Sunday first
extern const char* const ShortDayNames[7];  // Sunday first
extern const char* const LongMonthNames[12];
extern const char* const ShortMonthNames[12];
