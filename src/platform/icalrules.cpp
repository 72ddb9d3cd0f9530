#include "platform/icalrules.h"

#include "core/recurrence.h"
#include "core/tdatetime.h"

#include <algorithm>
#include <utility>

namespace ics {

// The rule part of an event alone: what its pattern lists, without exceptions.
TNote RuleOnly(const TNote& note) {
  TNote rule = note;
  rule.Exceptions.clear();
  rule.RecurNotes.clear();
  return rule;
}

bool Listed(const TNote& rule, int day) { return NoteListedOn(rule, day); }

namespace {
const char* const WeekdayNames[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};  // ISO 1..7
}  // namespace

// The RRULE text of a pattern (without its end), or nothing for a pattern no rule states.
std::optional<QByteArray> RuleText(const TNote& note, int startDay) {
  const int f = note.RepeatFrequency < 1 ? 1 : note.RepeatFrequency;
  const QByteArray interval = ";INTERVAL=" + QByteArray::number(f);
  auto nthDay = [&](int cardinal, int weekdayIndex) -> std::optional<QByteArray> {
    if (weekdayIndex < 0 || weekdayIndex > 6) return std::nullopt;
    const int iso = weekdayIndex == 0 ? 7 : weekdayIndex;
    QByteArray position;
    if (cardinal >= 0 && cardinal <= 3)
      position = QByteArray::number(cardinal + 1);
    else if (cardinal == 4)
      position = "-1";
    else if (cardinal == 5)
      position = "5";  // the fifth only: there is no fourth-if-no-fifth
    else
      return std::nullopt;
    return position + WeekdayNames[iso - 1];
  };
  switch (RepeatOf(note)) {
    case RepeatType::Daily:
      return "FREQ=DAILY" + interval;
    case RepeatType::EveryWeekday:
      return QByteArray("FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR");
    case RepeatType::Weekly: {
      QByteArrayList days;
      for (int iso = 1; iso <= 7; ++iso)
        if (note.RepeatOn(iso)) days << WeekdayNames[iso - 1];
      if (days.isEmpty()) return std::nullopt;
      // Weeks are seven-day blocks from the start date: the week starts on its weekday.
      const int startIso = IsoWeekday(DatePart(note.StartDate));
      return "FREQ=WEEKLY" + interval + ";BYDAY=" + days.join(',') + ";WKST=" + WeekdayNames[startIso - 1];
    }
    case RepeatType::MonthlyByDay:
      return "FREQ=MONTHLY" + interval + ";BYMONTHDAY=" + QByteArray::number(note.RepeatDay);
    case RepeatType::MonthlyByWeekday: {
      const auto day = nthDay(note.RepeatCardinal, note.RepeatDay);
      if (!day) return std::nullopt;
      return "FREQ=MONTHLY" + interval + ";BYDAY=" + *day;
    }
    case RepeatType::YearlyByDay:
      return "FREQ=YEARLY;BYMONTH=" + QByteArray::number(note.RepeatMonth + 1) +
             ";BYMONTHDAY=" + QByteArray::number(note.RepeatDay);
    case RepeatType::YearlyByWeekday: {
      const auto day = nthDay(note.RepeatCardinal, note.RepeatDay);
      if (!day) return std::nullopt;
      return "FREQ=YEARLY;BYMONTH=" + QByteArray::number(note.RepeatMonth + 1) + ";BYDAY=" + *day;
    }
    default:
      break;
  }
  Q_UNUSED(startDay);
  return std::nullopt;
}

// The pattern that states a rule, before its end is known; nothing when none does.
std::optional<TNote> PatternOf(const TNote& base, const icalrecurrencetype& recur, int firstDay,
                               std::optional<int> ownStart) {
  auto count = [](const short* values, int size) {
    int n = 0;
    while (n < size && values[n] != ICAL_RECURRENCE_ARRAY_MAX) ++n;
    return n;
  };
  const int byDays = count(recur.by_day, ICAL_BY_DAY_SIZE);
  const int byMonthDays = count(recur.by_month_day, ICAL_BY_MONTHDAY_SIZE);
  const int byMonths = count(recur.by_month, ICAL_BY_MONTH_SIZE);
  const int bySetPos = count(recur.by_set_pos, ICAL_BY_SETPOS_SIZE);
  if (count(recur.by_second, ICAL_BY_SECOND_SIZE) || count(recur.by_minute, ICAL_BY_MINUTE_SIZE) ||
      count(recur.by_hour, ICAL_BY_HOUR_SIZE) || count(recur.by_year_day, ICAL_BY_YEARDAY_SIZE) ||
      count(recur.by_week_no, ICAL_BY_WEEKNO_SIZE))
    return std::nullopt;
  const int f = std::clamp(recur.interval, static_cast<short>(1), static_cast<short>(10000));
  auto isoOf = [](icalrecurrencetype_weekday w) { return (static_cast<int>(w) + 5) % 7 + 1; };

  TNote note = base;
  note.StartDate = ownStart.value_or(firstDay);
  note.RepeatFrequency = f;
  int y, m, d;
  DecodeDate(firstDay, y, m, d);

  // The one positioned weekday of a monthly or yearly rule: (cardinal, weekday index).
  auto nth = [&]() -> std::optional<std::pair<int, int>> {
    if (byDays != 1 || bySetPos > 1) return std::nullopt;
    int position = icalrecurrencetype_day_position(recur.by_day[0]);
    const int iso = isoOf(icalrecurrencetype_day_day_of_week(recur.by_day[0]));
    if (bySetPos == 1) {
      if (position != 0) return std::nullopt;
      position = recur.by_set_pos[0];
    }
    int cardinal;
    if (position >= 1 && position <= 4)
      cardinal = position - 1;
    else if (position == -1)
      cardinal = 4;
    else if (position == 5)
      cardinal = 5;
    else
      return std::nullopt;
    return std::make_pair(cardinal, iso % 7);
  };

  switch (recur.freq) {
    case ICAL_DAILY_RECURRENCE:
      if (byMonthDays || byMonths || bySetPos) return std::nullopt;
      if (byDays == 0) {
        SetRepeat(note, RepeatType::Daily);
        return note;
      }
      [[fallthrough]];
    case ICAL_WEEKLY_RECURRENCE: {
      if (byMonthDays || byMonths || bySetPos) return std::nullopt;
      if (recur.freq == ICAL_DAILY_RECURRENCE && f != 1) return std::nullopt;
      bool flags[8] = {};
      if (byDays == 0) flags[IsoWeekday(firstDay)] = true;
      for (int i = 0; i < byDays; ++i) {
        if (icalrecurrencetype_day_position(recur.by_day[i]) != 0) return std::nullopt;
        flags[isoOf(icalrecurrencetype_day_day_of_week(recur.by_day[i]))] = true;
      }
      const bool weekdays = flags[1] && flags[2] && flags[3] && flags[4] && flags[5] && !flags[6] && !flags[7];
      if (weekdays && (f == 1 || recur.freq == ICAL_DAILY_RECURRENCE)) {
        SetRepeat(note, RepeatType::EveryWeekday);
        return note;
      }
      if (recur.freq == ICAL_DAILY_RECURRENCE) return std::nullopt;
      SetRepeat(note, RepeatType::Weekly);
      for (int iso = 1; iso <= 7; ++iso) note.SetRepeatOn(iso, flags[iso]);
      // Weeks start on WKST: the seven-day blocks begin on that weekday on or before DTSTART.
      const int wkst = recur.week_start == ICAL_NO_WEEKDAY ? 1 : isoOf(recur.week_start);
      if (!ownStart) note.StartDate = firstDay - (IsoWeekday(firstDay) - wkst + 7) % 7;
      return note;
    }
    case ICAL_MONTHLY_RECURRENCE: {
      if (byMonths) return std::nullopt;
      if (byDays == 0 && bySetPos == 0 && byMonthDays <= 1) {
        const int day = byMonthDays ? recur.by_month_day[0] : d;
        if (day < 1 || day > 31) return std::nullopt;
        SetRepeat(note, RepeatType::MonthlyByDay);
        note.RepeatDay = day;
        int sy, sm, sd;
        DecodeDate(note.StartDate, sy, sm, sd);
        note.RepeatMonth = m + 12 * (y - sy);
        return note;
      }
      if (byMonthDays) return std::nullopt;
      const auto which = nth();
      if (!which) return std::nullopt;
      SetRepeat(note, RepeatType::MonthlyByWeekday);
      note.RepeatCardinal = which->first;
      note.RepeatDay = which->second;
      return note;
    }
    case ICAL_YEARLY_RECURRENCE: {
      if (f != 1 || byMonths > 1) return std::nullopt;
      const int month = byMonths ? recur.by_month[0] : m;
      if (month < 1 || month > 12) return std::nullopt;
      note.RepeatMonth = month - 1;
      if (byDays == 0 && bySetPos == 0 && byMonthDays <= 1) {
        if (byMonths == 0 && byMonthDays) return std::nullopt;
        const int day = byMonthDays ? recur.by_month_day[0] : d;
        if (day < 1 || day > 31) return std::nullopt;
        SetRepeat(note, RepeatType::YearlyByDay);
        note.RepeatDay = day;
        return note;
      }
      if (byMonthDays || byMonths == 0) return std::nullopt;
      const auto which = nth();
      if (!which) return std::nullopt;
      SetRepeat(note, RepeatType::YearlyByWeekday);
      note.RepeatCardinal = which->first;
      note.RepeatDay = which->second;
      return note;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace ics
