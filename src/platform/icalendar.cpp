// iCalendar files in and out. The patterns of an event and RFC 5545 rules describe the same
// days in different words, so both directions are exact by construction where they can be
// and checked where they cannot: an imported rule is turned into a pattern, and the pattern's
// days are compared with the days libical expands from the rule; the days on which they
// differ become the event's exceptions, and a rule whose days differ wholesale comes in as
// single events instead.

#include "platform/icalendar.h"

#include "core/dataformat.h"
#include "core/recurrence.h"
#include "core/repeattype.h"
#include "core/wholefile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <cmath>
#include <memory>
#include <optional>
#include <set>
#include <vector>

extern "C" {
#include <libical/ical.h>
}

namespace {

constexpr int TwoYears = 731;
// How far a pattern's first listed day is looked for (29 February can be eight years away).
constexpr int FirstDaySearch = 12 * 366;
// How far a counted series is followed to find its last day; longer ones have no end here.
constexpr int LastDaySearch = 200 * 366;
// At most this many instances of one imported rule are expanded.
constexpr int MaxInstances = 100000;
// At most this many single events come from one rule no pattern expresses.
constexpr int MaxExpandedEvents = 1000;
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

const char* const DayNoteProperty = "X-ORVANE-DAYNOTE";
const char* const ModifiedProperty = "X-ORVANE-MODIFIED";
const char* const StartProperty = "X-ORVANE-START";
// The pattern of a series written as a list of days because its pattern lists none of them.
const char* const PatternProperty = "X-ORVANE-PATTERN";

struct ComponentDeleter {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

bool IsCalendarDay(double day) { return std::isfinite(day) && day >= -693593 && day <= 2958465; }

// --- Times out -------------------------------------------------------------------------------

icaltimetype DateValue(int day) {
  icaltimetype t = icaltime_null_date();
  int y, m, d;
  DecodeDate(day, y, m, d);
  t.year = y;
  t.month = m;
  t.day = d;
  t.is_date = 1;
  return t;
}

// A floating local time: the day and a time of day rounded to the second.
icaltimetype FloatingValue(int day, TDateTime timeOfDay) {
  icaltimetype t = DateValue(day);
  t.is_date = 0;
  double fraction = std::isfinite(timeOfDay) ? timeOfDay - std::floor(timeOfDay) : 0;
  const int seconds = std::clamp(static_cast<int>(std::llround(fraction * 86400.0)), 0, 86399);
  t.hour = seconds / 3600;
  t.minute = seconds / 60 % 60;
  t.second = seconds % 60;
  return t;
}

icaltimetype EventDay(const TNote& note, int day) {
  return note.Start ? FloatingValue(day, note.StartTime) : DateValue(day);
}

QByteArray Utf8Text(const QString& text) {
  QString plain = text;
  plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return plain.toUtf8();
}

void AddX(icalcomponent* component, const char* name, const QByteArray& value) {
  icalproperty* p = icalproperty_new_x(value.constData());
  icalproperty_set_x_name(p, name);
  icalcomponent_add_property(component, p);
}

QByteArray DayText(int day) {
  int y, m, d;
  DecodeDate(day, y, m, d);
  return QByteArray::number(y).rightJustified(4, '0') + QByteArray::number(m).rightJustified(2, '0') +
         QByteArray::number(d).rightJustified(2, '0');
}

std::optional<int> ParseDayText(const QByteArray& text) {
  if (text.size() != 8) return std::nullopt;
  bool ok1, ok2, ok3;
  const int y = text.left(4).toInt(&ok1), m = text.mid(4, 2).toInt(&ok2), d = text.mid(6, 2).toInt(&ok3);
  if (!ok1 || !ok2 || !ok3 || y < 1 || !IsValidDate(y, m, d)) return std::nullopt;
  return static_cast<int>(EncodeDate(y, m, d));
}

// The rule part of an event alone: what its pattern lists, without exceptions.
TNote RuleOnly(const TNote& note) {
  TNote rule = note;
  rule.Exceptions.clear();
  rule.RecurNotes.clear();
  return rule;
}

bool Listed(const TNote& rule, int day) { return NoteListedOn(rule, day); }

const char* const WeekdayNames[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};  // ISO 1..7

// The RRULE text of a pattern (without its end), or nothing for a pattern no rule states.
std::optional<QByteArray> RuleText(const TNote& note, int startDay) {
  const int f = note.RepeatFrequency < 1 ? 1 : note.RepeatFrequency;
  const QByteArray interval = ";INTERVAL=" + QByteArray::number(f);
  auto nthDay = [&](int cardinal, int weekdayIndex) -> std::optional<QByteArray> {
    if (weekdayIndex < 0 || weekdayIndex > 6) return std::nullopt;
    const int iso = weekdayIndex == 0 ? 7 : weekdayIndex;
    QByteArray position;
    if (cardinal >= 0 && cardinal <= 3) position = QByteArray::number(cardinal + 1);
    else if (cardinal == 4) position = "-1";
    else if (cardinal == 5) position = "5";  // the fifth only: there is no fourth-if-no-fifth
    else return std::nullopt;
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

// The last day a counted series lists, found by walking it; nothing when it runs too long.
std::optional<int> LastListedDay(const TNote& rule, int firstDay) {
  const qint64 count = rule.RangeCount;
  const qint64 f = rule.RepeatFrequency < 1 ? 1 : rule.RepeatFrequency;
  qint64 span = 0;
  switch (RepeatOf(rule)) {
    case RepeatType::Daily: span = f * count; break;
    case RepeatType::EveryWeekday: span = 7 * (count / 5 + 2); break;
    case RepeatType::Weekly: span = 7 * f * (count / 1 + 1); break;
    case RepeatType::MonthlyByDay: case RepeatType::MonthlyByWeekday: span = 31 * (f * count + 2); break;
    default: span = 366 * (count + 2); break;
  }
  if (span > LastDaySearch) return std::nullopt;
  std::optional<int> last;
  const int end = static_cast<int>(std::min<qint64>(firstDay + span, 2958465));
  for (int day = firstDay; day <= end; ++day)
    if (Listed(rule, day)) last = day;
  return last;
}

void AddAlarm(icalcomponent* event, const TNote& note) {
  icalcomponent* alarm = icalcomponent_new_valarm();
  icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
  icalcomponent_add_property(alarm, icalproperty_new_description(Utf8Text(note.Title).constData()));
  const double alarmTime = note.AlarmTime - std::floor(note.AlarmTime);
  const double start = note.Start ? note.StartTime - std::floor(note.StartTime) : 0;
  const int seconds = static_cast<int>(std::llround((alarmTime - start) * 86400.0));
  icaltriggertype trigger;
  std::memset(&trigger, 0, sizeof trigger);
  trigger.time = icaltime_null_time();
  trigger.duration = icaldurationtype_from_int(seconds);
  icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
  icalcomponent_add_component(event, alarm);
}

QByteArray Uid(const TNote& note, int index) {
  QCryptographicHash hash(QCryptographicHash::Sha1);
  hash.addData(note.Title.toUtf8());
  hash.addData(QByteArray::number(note.StartDate, 'g', 17));
  hash.addData(QByteArray::number(note.StartTime, 'g', 17));
  hash.addData(QByteArray::number(note.RepeatType));
  return "orvane-" + QByteArray::number(index) + "-" + hash.result().toHex().left(16) + "@orvane";
}

void AddCommon(icalcomponent* c, const QString& title, const QString& category, const QString& notes,
               TDateTime modifyDate, const icaltimetype& stamp) {
  icalcomponent_add_property(c, icalproperty_new_dtstamp(stamp));
  icalcomponent_add_property(c, icalproperty_new_summary(Utf8Text(title).constData()));
  if (!category.isEmpty())
    icalcomponent_add_property(c, icalproperty_new_categories(Utf8Text(category).constData()));
  if (!notes.isEmpty())
    icalcomponent_add_property(c, icalproperty_new_description(Utf8Text(notes).constData()));
  AddX(c, ModifiedProperty, QByteArray::number(modifyDate, 'g', 17));
}

// One event as a VEVENT; null when it falls on no day at all.
icalcomponent* EventComponent(const TNote& note, int index, const icaltimetype& stamp) {
  if (!IsCalendarDay(note.StartDate)) return nullptr;
  const TNote rule = RuleOnly(note);
  const int startDay = DayNumber(note.StartDate);
  std::set<int> exceptionDays;
  for (TDateTime e : note.Exceptions)
    if (IsCalendarDay(e)) exceptionDays.insert(DayNumber(e));

  icalcomponent* event = icalcomponent_new_vevent();
  icalcomponent_add_property(event, icalproperty_new_uid(Uid(note, index).constData()));
  AddCommon(event, note.Title, note.Category, note.Notes, note.ModifyDate, stamp);
  if (!note.Location.isEmpty())
    icalcomponent_add_property(event, icalproperty_new_location(Utf8Text(note.Location).constData()));
  AddX(event, StartProperty, DayText(startDay));

  auto setTimes = [&](int firstDay, int days) {
    icalcomponent_add_property(event, icalproperty_new_dtstart(EventDay(note, firstDay)));
    if (!note.Start) {
      icalcomponent_add_property(event, icalproperty_new_dtend(DateValue(firstDay + std::max(days, 1))));
    } else {
      const int lastDay = firstDay + std::max(days, 1) - 1;
      if (lastDay > firstDay || note.EndTime - std::floor(note.EndTime) > note.StartTime - std::floor(note.StartTime))
        icalcomponent_add_property(event, icalproperty_new_dtend(FloatingValue(lastDay, note.EndTime)));
    }
  };

  // The first day the pattern lists, for a recurring event.
  std::optional<int> firstListed;
  std::optional<QByteArray> ruleText;
  if (RepeatOf(note) >= RepeatType::Daily && RepeatOf(note) <= RepeatType::YearlyByWeekday) {
    ruleText = RuleText(note, startDay);
    if (ruleText) {
      const int end = std::min(startDay + FirstDaySearch, 2958465);
      for (int day = startDay; day <= end && !firstListed; ++day)
        if (Listed(rule, day)) firstListed = day;
    }
  }

  bool written = false;
  if (firstListed) {
    QByteArray text = *ruleText;
    if (note.RangeType == 1) {
      const bool countIsExact =
          RepeatOf(note) == RepeatType::Daily || RepeatOf(note) == RepeatType::Weekly ||
          (RepeatOf(note) == RepeatType::EveryWeekday && (IsoWeekday(startDay) == 1 || IsoWeekday(startDay) >= 6));
      if (countIsExact) {
        text += ";COUNT=" + QByteArray::number(note.RangeCount);
      } else if (const auto last = LastListedDay(rule, *firstListed)) {
        text += ";UNTIL=" + QByteArray(icaltime_as_ical_string(EventDay(note, *last)));
      }
    } else if (note.RangeType == 2 && IsCalendarDay(note.EndDate)) {
      text += ";UNTIL=" + QByteArray(icaltime_as_ical_string(EventDay(note, DayNumber(note.EndDate))));
    }
    icalrecurrencetype recur = icalrecurrencetype_from_string(text.constData());
    setTimes(*firstListed, 1);
    icalcomponent_add_property(event, icalproperty_new_rrule(recur));
    for (int day : exceptionDays) {
      if (Listed(rule, day)) {
        icalcomponent_add_property(event, icalproperty_new_exdate(EventDay(note, day)));
      } else {
        icaldatetimeperiodtype rdate;
        std::memset(&rdate, 0, sizeof rdate);
        rdate.time = EventDay(note, day);
        rdate.period = icalperiodtype_null_period();
        icalcomponent_add_property(event, icalproperty_new_rdate(rdate));
      }
    }
    written = true;
  } else if (RepeatOf(note) == RepeatType::Once && note.Span && note.SpanRange > 1 && exceptionDays.empty()) {
    setTimes(startDay, note.SpanRange);
    written = true;
  } else {
    // A finite set of days: those the pattern lists (a one-time event and its span), flipped
    // by the exceptions. The first becomes DTSTART, the others RDATEs.
    std::set<int> days;
    if (RepeatOf(note) == RepeatType::Once) {
      const int span = note.Span ? std::max(note.SpanRange, 0) : 1;
      for (int k = 0; k < span && k < FirstDaySearch; ++k)
        if (Listed(rule, startDay + k)) days.insert(startDay + k);
    }
    for (int day : exceptionDays) {
      if (days.count(day)) days.erase(day);
      else if (!Listed(rule, day)) days.insert(day);
    }
    if (!days.empty()) {
      setTimes(*days.begin(), 1);
      if (RepeatOf(note) != RepeatType::Once) AddX(event, PatternProperty, QByteArray::number(note.RepeatType));
      for (auto it = std::next(days.begin()); it != days.end(); ++it) {
        icaldatetimeperiodtype rdate;
        std::memset(&rdate, 0, sizeof rdate);
        rdate.time = EventDay(note, *it);
        rdate.period = icalperiodtype_null_period();
        icalcomponent_add_property(event, icalproperty_new_rdate(rdate));
      }
      written = true;
    }
  }
  if (!written) {
    icalcomponent_free(event);
    return nullptr;
  }
  if (note.Alarm) AddAlarm(event, note);
  for (const TRecurNote& dayNote : note.RecurNotes) {
    if (!IsCalendarDay(dayNote.Date)) continue;
    AddX(event, DayNoteProperty, DayText(DayNumber(dayNote.Date)) + ':' + QUrl::toPercentEncoding(dayNote.Data));
  }
  return event;
}

icalcomponent* TaskComponent(const TToDo& todo, const icaltimetype& stamp, int index) {
  icalcomponent* task = icalcomponent_new_vtodo();
  QCryptographicHash hash(QCryptographicHash::Sha1);
  hash.addData(todo.Title.toUtf8());
  icalcomponent_add_property(task, icalproperty_new_uid(
      ("orvane-task-" + QByteArray::number(index) + "-" + hash.result().toHex().left(16) + "@orvane").constData()));
  AddCommon(task, todo.Title, todo.Category, todo.Notes.join(QLatin1Char('\n')), todo.ModifyDate, stamp);
  const int priority = todo.Priority >= 0 && todo.Priority <= 4 ? todo.Priority : 2;
  icalcomponent_add_property(task, icalproperty_new_priority(1 + 2 * priority));
  if (todo.DueDate != 0 && IsCalendarDay(todo.DueDate))
    icalcomponent_add_property(task, icalproperty_new_due(DateValue(DayNumber(todo.DueDate))));
  icalcomponent_add_property(task, icalproperty_new_status(todo.Completed ? ICAL_STATUS_COMPLETED : ICAL_STATUS_NEEDSACTION));
  return task;
}

// --- Times in --------------------------------------------------------------------------------

// A local day and time of day, to the second.
struct LocalTime {
  int day = 0;
  int seconds = 0;  // since midnight
  TDateTime Time() const { return EncodeTime(seconds / 3600, seconds / 60 % 60, seconds % 60); }
  TDateTime Moment() const { return day + Time(); }
  qint64 Total() const { return qint64(day) * 86400 + seconds; }
  static LocalTime FromTotal(qint64 total) {
    const qint64 day = total >= 0 ? total / 86400 : -((-total + 86399) / 86400);
    return LocalTime{static_cast<int>(day), static_cast<int>(total - day * 86400)};
  }
};

// A time value of an entry read as a local moment: DATE values are days, floating times are
// local already, UTC and TZID-qualified times are converted to the local zone.
struct TimeReader {
  icalcomponent* calendar = nullptr;

  const icaltimezone* ZoneOf(icalproperty* property, const icaltimetype& t) const {
    if (t.is_date) return nullptr;
    if (icaltime_is_utc(t)) return icaltimezone_get_utc_timezone();
    icalparameter* tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
    if (!tzid) return nullptr;
    const char* name = icalparameter_get_tzid(tzid);
    if (!name) return nullptr;
    if (calendar) {
      if (icaltimezone* zone = icalcomponent_get_timezone(calendar, name)) return zone;
    }
    if (icaltimezone* zone = icaltimezone_get_builtin_timezone(name)) return zone;
    return icaltimezone_get_builtin_timezone_from_tzid(name);
  }

  static std::optional<LocalTime> Local(const icaltimetype& t, const icaltimezone* zone) {
    if (icaltime_is_null_time(t) || t.year < 1 || t.year > 9999 || !IsValidDate(t.year, t.month, t.day))
      return std::nullopt;
    const int day = static_cast<int>(EncodeDate(t.year, t.month, t.day));
    if (t.is_date) return LocalTime{day, 0};
    if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 60)
      return std::nullopt;
    if (!zone) return LocalTime{day, t.hour * 3600 + t.minute * 60 + std::min(t.second, 59)};
    icaltimetype plain = t;
    plain.zone = nullptr;
    const time_t seconds = icaltime_as_timet_with_zone(plain, zone);
    const QDateTime local = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds)).toLocalTime();
    if (!local.isValid() || local.date().year() < 1 || local.date().year() > 9999) return std::nullopt;
    const QDate date = local.date();
    return LocalTime{static_cast<int>(EncodeDate(date.year(), date.month(), date.day())),
                     local.time().msecsSinceStartOfDay() / 1000};
  }
};

QString TextOf(const char* text) {
  QString value = QString::fromUtf8(text ? text : "");
  value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return value;
}

QString NotesText(const char* text) {
  QString value = TextOf(text);
  value.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return value;
}

QString FirstText(icalcomponent* c, icalproperty_kind kind, const char* (*get)(const icalproperty*)) {
  icalproperty* p = icalcomponent_get_first_property(c, kind);
  return p ? TextOf(get(p)) : QString();
}

// The change stamp: ours when the file is our own, else when the entry last changed.
TDateTime ModifyDateOf(icalcomponent* c, const TimeReader& reader, TDateTime now) {
  for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
       p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY)) {
    const char* name = icalproperty_get_x_name(p);
    if (name && qstrcmp(name, ModifiedProperty) == 0) {
      bool ok = false;
      const double value = QByteArray(icalproperty_get_x(p)).toDouble(&ok);
      if (ok && std::isfinite(value) && std::fabs(value) < MaxDayNumber) return value;
    }
  }
  for (icalproperty_kind kind : {ICAL_LASTMODIFIED_PROPERTY, ICAL_DTSTAMP_PROPERTY}) {
    if (icalproperty* p = icalcomponent_get_first_property(c, kind)) {
      const icaltimetype t = kind == ICAL_LASTMODIFIED_PROPERTY ? icalproperty_get_lastmodified(p)
                                                                : icalproperty_get_dtstamp(p);
      if (const auto local = TimeReader::Local(t, reader.ZoneOf(p, t))) return local->Moment();
    }
  }
  return now;
}

QByteArray XValue(icalproperty* p) { return QByteArray(icalproperty_get_x(p) ? icalproperty_get_x(p) : ""); }

class EventImporter {
 public:
  EventImporter(DataFormat& calendar, const TimeReader& reader, TDateTime now, IcsImportResult& result)
      : calendar_(calendar), reader_(reader), now_(now), result_(result) {}

  void Import(icalcomponent* c) {
    if (icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY) || !Read(c)) {
      ++result_.skipped;
      return;
    }
  }

 private:
  bool Read(icalcomponent* c) {
    icalproperty* dtstartProperty = icalcomponent_get_first_property(c, ICAL_DTSTART_PROPERTY);
    if (!dtstartProperty) return false;
    const icaltimetype dtstart = icalproperty_get_dtstart(dtstartProperty);
    const icaltimezone* zone = reader_.ZoneOf(dtstartProperty, dtstart);
    const auto start = TimeReader::Local(dtstart, zone);
    if (!start) return false;

    TNote note;
    note.Title = FirstText(c, ICAL_SUMMARY_PROPERTY, icalproperty_get_summary);
    note.Location = FirstText(c, ICAL_LOCATION_PROPERTY, icalproperty_get_location);
    note.Category = FirstText(c, ICAL_CATEGORIES_PROPERTY, icalproperty_get_categories);
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_DESCRIPTION_PROPERTY))
      note.Notes = NotesText(icalproperty_get_description(p));
    note.ModifyDate = ModifyDateOf(c, reader_, now_);
    note.Start = !dtstart.is_date;
    const int firstDay = start->day;
    note.StartDate = firstDay;
    note.StartTime = note.Start ? start->Time() : 0;
    note.EndTime = note.StartTime;
    note.RepeatFrequency = 1;

    // How many days one instance covers, and its end time.
    int days = 1;
    std::optional<LocalTime> end;
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_DTEND_PROPERTY)) {
      const icaltimetype t = icalproperty_get_dtend(p);
      end = TimeReader::Local(t, reader_.ZoneOf(p, t));
    } else if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_DURATION_PROPERTY)) {
      const int seconds = icaldurationtype_as_int(icalproperty_get_duration(p));
      if (seconds > 0 && seconds < 3650 * 86400) end = LocalTime::FromTotal(start->Total() + seconds);
    }
    if (end && end->Total() > start->Total()) {
      if (note.Start) {
        note.EndTime = end->Time();
        days = end->day - firstDay + 1;
        if (days > 1 && note.EndTime == 0) --days;  // ends at midnight
      } else {
        days = end->day - firstDay;
      }
      days = std::clamp(days, 1, 3650);
    }

    // Alarm: the first VALARM's trigger, as a time of day.
    if (icalcomponent* alarm = icalcomponent_get_first_component(c, ICAL_VALARM_COMPONENT)) {
      if (icalproperty* p = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY)) {
        const icaltriggertype trigger = icalproperty_get_trigger(p);
        std::optional<LocalTime> moment;
        if (!icaltime_is_null_time(trigger.time)) moment = TimeReader::Local(trigger.time, reader_.ZoneOf(p, trigger.time));
        else moment = LocalTime::FromTotal(start->Total() + icaldurationtype_as_int(trigger.duration));
        if (moment) {
          note.Alarm = true;
          note.AlarmTime = moment->Time();
        }
      }
    }

    // Per-day notes and the original start date of our own files.
    std::optional<int> ownStart;
    RepeatType ownPattern = RepeatType::Once;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY)) {
      const char* name = icalproperty_get_x_name(p);
      if (!name) continue;
      if (qstrcmp(name, StartProperty) == 0) {
        ownStart = ParseDayText(XValue(p));
      } else if (qstrcmp(name, PatternProperty) == 0) {
        ownPattern = static_cast<RepeatType>(std::clamp(XValue(p).toInt(), 0, 7));
      } else if (qstrcmp(name, DayNoteProperty) == 0) {
        const QByteArray value = XValue(p);
        const auto day = ParseDayText(value.left(8));
        if (!day || value.size() < 9 || value.at(8) != ':') continue;
        const QString text = QString::fromUtf8(QByteArray::fromPercentEncoding(value.mid(9)));
        auto at = std::find_if(note.RecurNotes.begin(), note.RecurNotes.end(),
                               [&](const TRecurNote& r) { return r.Date >= *day; });
        if (at != note.RecurNotes.end() && at->Date == *day) at->Data = text;
        else note.RecurNotes.insert(at, TRecurNote{text, static_cast<TDateTime>(*day)});
      }
    }
    if (ownStart && (*ownStart > firstDay + 366 || *ownStart < firstDay - 366 * 12)) ownStart.reset();

    // Hidden and added days.
    std::set<int> exdates, rdates;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_EXDATE_PROPERTY)) {
      const icaltimetype t = icalproperty_get_exdate(p);
      if (const auto local = TimeReader::Local(t, reader_.ZoneOf(p, t))) exdates.insert(local->day);
    }
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_RDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_RDATE_PROPERTY)) {
      const icaldatetimeperiodtype value = icalproperty_get_rdate(p);
      const icaltimetype t = icaltime_is_null_time(value.time) ? value.period.start : value.time;
      if (const auto local = TimeReader::Local(t, reader_.ZoneOf(p, t))) rdates.insert(local->day);
    }

    icalproperty* rruleProperty = icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY);
    if (!rruleProperty) {
      // One time: the covered days, plus added days, less hidden ones.
      SetRepeat(note, RepeatType::Once);
      note.StartDate = ownStart.value_or(firstDay);
      note.Span = days > 1;
      note.SpanRange = days > 1 ? days : 0;
      if (ownPattern != RepeatType::Once) {
        // Our own series that lists no day of its own: it keeps its pattern, ended before it
        // starts, and its days are all exceptions.
        SetRepeat(note, ownPattern);
        note.Span = false;
        note.SpanRange = 0;
        note.RangeType = 2;
        note.EndDate = note.StartDate - 1;
      }
      std::set<int> expected;
      for (int k = 0; k < days; ++k) expected.insert(firstDay + k);
      for (int d : rdates) expected.insert(d);
      for (int d : exdates) expected.erase(d);
      std::set<int> check = expected;
      for (int k = 0; k < std::max(days, note.SpanRange); ++k) check.insert(DayNumber(note.StartDate) + k);
      for (int d : exdates) check.insert(d);
      SetExceptions(note, check, [&](int d) { return expected.count(d) > 0; });
      Merge(note);
      ++result_.events;
      return true;
    }

    const icalrecurrencetype recur = icalproperty_get_rrule(rruleProperty);
    if (recur.freq == ICAL_NO_RECURRENCE || recur.freq < ICAL_DAILY_RECURRENCE ||
        recur.freq > ICAL_YEARLY_RECURRENCE)
      return false;  // hourly and finer, or unreadable

    // The instances: DTSTART, then what the rule gives up to the window's end (further when
    // the rule ends, to find its last day).
    const int today = DayNumber(now_);
    const int windowEnd = std::min(std::max(today, firstDay) + TwoYears, 2958465);
    const bool ends = recur.count > 0 || !icaltime_is_null_time(recur.until);
    std::set<int> instances{firstDay};
    bool finished = false;
    int lastInstance = firstDay;
    icalrecur_iterator* it = icalrecur_iterator_new(recur, dtstart);
    if (!it) return false;
    for (int n = 0; n < MaxInstances; ++n) {
      const icaltimetype t = icalrecur_iterator_next(it);
      if (icaltime_is_null_time(t)) {
        finished = true;
        break;
      }
      const auto local = TimeReader::Local(t, zone);
      if (!local) continue;
      const int day = local->day;
      if (day > windowEnd && !ends) break;
      if (day > windowEnd + LastDaySearch) break;
      if (day <= windowEnd) instances.insert(day);
      lastInstance = std::max(lastInstance, day);
    }
    icalrecur_iterator_free(it);
    auto expected = [&](int day) {
      if (rdates.count(day)) return true;
      if (exdates.count(day)) return false;
      return instances.count(day) > 0;
    };

    std::optional<TNote> candidate = Pattern(note, recur, firstDay, ownStart);
    if (candidate && ends) {
      if (!finished) {
        candidate->RangeType = 0;
      } else {
        const int startIso = IsoWeekday(DayNumber(candidate->StartDate));
        const bool countIsExact =
            recur.count > 0 && recur.count <= 100000 && DayNumber(candidate->StartDate) == firstDay &&
            (RepeatOf(*candidate) == RepeatType::Daily || RepeatOf(*candidate) == RepeatType::Weekly ||
             (RepeatOf(*candidate) == RepeatType::EveryWeekday && (startIso == 1 || startIso >= 6)));
        if (countIsExact) {
          candidate->RangeType = 1;
          candidate->RangeCount = recur.count;
        } else {
          candidate->RangeType = 2;
          candidate->EndDate = lastInstance;
        }
      }
    }
    if (candidate) {
      const int windowStart = std::max(std::min(DayNumber(candidate->StartDate), firstDay), windowEnd - 36525);
      std::set<int> check;
      for (int d = windowStart; d <= windowEnd; ++d) check.insert(d);
      for (int d : rdates) check.insert(d);
      for (int d : exdates) check.insert(d);
      const int allowed = static_cast<int>(rdates.size() + exdates.size()) + 2;
      if (SetExceptions(*candidate, check, expected, allowed)) {
        Merge(*candidate);
        ++result_.events;
        return true;
      }
    }

    // No pattern says it: the occurrences from today over the next two years, one by one.
    SetRepeat(note, RepeatType::Once);
    note.Span = false;
    note.SpanRange = 0;
    note.RecurNotes.clear();
    int made = 0;
    for (int day = today; day < std::min(today + TwoYears, 2958465) && made < MaxExpandedEvents; ++day) {
      if (!expected(day)) continue;
      TNote single = note;
      single.StartDate = day;
      Merge(single);
      ++made;
    }
    ++result_.expandedRules;
    result_.expandedEvents += made;
    return true;
  }

  // The pattern that states a rule, before its end is known; nothing when none does.
  static std::optional<TNote> Pattern(const TNote& base, const icalrecurrencetype& recur, int firstDay,
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
      if (position >= 1 && position <= 4) cardinal = position - 1;
      else if (position == -1) cardinal = 4;
      else if (position == 5) cardinal = 5;
      else return std::nullopt;
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

  // Makes the days on which the pattern and the expected days disagree the event's
  // exceptions. Fails (leaving them unset) when there are more than allowed.
  template <typename Expected>
  static bool SetExceptions(TNote& note, const std::set<int>& check, Expected expected, int allowed = -1) {
    const TNote rule = RuleOnly(note);
    QList<TDateTime> exceptions;
    for (int day : check) {
      if (Listed(rule, day) != expected(day)) {
        exceptions << static_cast<TDateTime>(day);
        if (allowed >= 0 && exceptions.size() > allowed) return false;
      }
    }
    note.Exceptions = exceptions;
    return true;
  }

  void Merge(const TNote& note) { calendar_.MergeNote(note); }

  DataFormat& calendar_;
  const TimeReader& reader_;
  TDateTime now_;
  IcsImportResult& result_;
};

bool ImportTask(DataFormat& calendar, icalcomponent* c, const TimeReader& reader, TDateTime now) {
  TToDo todo;
  todo.Title = FirstText(c, ICAL_SUMMARY_PROPERTY, icalproperty_get_summary);
  if (todo.Title.isEmpty()) return false;
  todo.Category = FirstText(c, ICAL_CATEGORIES_PROPERTY, icalproperty_get_categories);
  if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_DESCRIPTION_PROPERTY)) {
    const QString text = TextOf(icalproperty_get_description(p));
    if (!text.isEmpty()) todo.Notes = text.split(QLatin1Char('\n'));
  }
  // 1-2 Highest, 3-4 High, 5 and none Normal, 6-7 Low, 8-9 Lowest.
  todo.Priority = 2;
  if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_PRIORITY_PROPERTY)) {
    const int priority = icalproperty_get_priority(p);
    if (priority >= 1 && priority <= 9) todo.Priority = priority <= 2 ? 0 : priority <= 4 ? 1 : priority == 5 ? 2 : priority <= 7 ? 3 : 4;
  }
  if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_DUE_PROPERTY)) {
    const icaltimetype t = icalproperty_get_due(p);
    if (const auto local = TimeReader::Local(t, reader.ZoneOf(p, t))) todo.DueDate = local->day;
  }
  icalproperty* status = icalcomponent_get_first_property(c, ICAL_STATUS_PROPERTY);
  icalproperty* percent = icalcomponent_get_first_property(c, ICAL_PERCENTCOMPLETE_PROPERTY);
  todo.Completed = (status && icalproperty_get_status(status) == ICAL_STATUS_COMPLETED) ||
                   icalcomponent_get_first_property(c, ICAL_COMPLETED_PROPERTY) ||
                   (percent && icalproperty_get_percentcomplete(percent) >= 100);
  todo.ModifyDate = ModifyDateOf(c, reader, now);
  calendar.MergeToDo(todo);
  return true;
}

void ImportCalendar(DataFormat& calendar, icalcomponent* vcalendar, TDateTime now, IcsImportResult& result) {
  TimeReader reader{vcalendar};
  EventImporter events(calendar, reader, now, result);
  for (icalcomponent* c = icalcomponent_get_first_component(vcalendar, ICAL_ANY_COMPONENT); c;
       c = icalcomponent_get_next_component(vcalendar, ICAL_ANY_COMPONENT)) {
    const icalcomponent_kind kind = icalcomponent_isa(c);
    if (kind != ICAL_VEVENT_COMPONENT && kind != ICAL_VTODO_COMPONENT) continue;
    // Lines libical could not read are dropped by it (marked X-LIC-ERROR) and unknown
    // properties are ignored: an entry is skipped only when what it needs is missing.
    if (kind == ICAL_VEVENT_COMPONENT) {
      events.Import(c);
    } else if (ImportTask(calendar, c, reader, now)) {
      ++result.tasks;
    } else {
      ++result.skipped;
    }
  }
}

QString Plural(int n, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

}  // namespace

IcsExportResult ExportICalendar(const DataFormat& calendar, const QString& path, TDateTime now) {
  IcsExportResult result;
  const QDateTime utc = ToQDateTime(IsCalendarDay(now) ? now : 0).toUTC();
  icaltimetype stamp = icaltime_null_time();
  stamp.year = utc.date().year();
  stamp.month = utc.date().month();
  stamp.day = utc.date().day();
  stamp.hour = utc.time().hour();
  stamp.minute = utc.time().minute();
  stamp.second = utc.time().second();
  stamp.zone = icaltimezone_get_utc_timezone();

  Component root(icalcomponent_new_vcalendar());
  icalcomponent_add_property(root.get(), icalproperty_new_version("2.0"));
  icalcomponent_add_property(root.get(), icalproperty_new_prodid("-//Orvane//Orvane calendar//EN"));
  icalcomponent_add_property(root.get(), icalproperty_new_calscale("GREGORIAN"));
  for (int i = 0; i < calendar.NoteCount(); ++i) {
    const TNote& note = calendar.NoteArray[i];
    if (note.DeleteDate != 0) continue;
    if (icalcomponent* event = EventComponent(note, i, stamp)) {
      icalcomponent_add_component(root.get(), event);
      ++result.events;
    } else {
      ++result.skipped;
    }
  }
  for (int i = 0; i < calendar.ToDoCount(); ++i) {
    const TToDo& todo = calendar.ToDoArray[i];
    if (todo.DeleteDate != 0) continue;
    icalcomponent_add_component(root.get(), TaskComponent(todo, stamp, i));
    ++result.tasks;
  }

  char* text = icalcomponent_as_ical_string_r(root.get());
  const QByteArray bytes(text ? text : "");
  free(text);
  // The file carries the whole calendar: readable by its owner only.
  const QString error = WriteWholeFile(path, bytes, FileAccess::OwnerOnly);
  if (!error.isEmpty()) {
    result.error = error;
    result.events = result.tasks = result.skipped = 0;
    return result;
  }
  result.ok = true;
  return result;
}

IcsImportResult ImportICalendarText(DataFormat& calendar, const QByteArray& text, TDateTime now) {
  IcsImportResult result;
  if (!IsCalendarDay(now)) now = 0;
  Component root(icalparser_parse_string(text.constData()));
  if (!root) {
    result.error = QStringLiteral("not an iCalendar file");
    return result;
  }
  const icalcomponent_kind kind = icalcomponent_isa(root.get());
  if (kind == ICAL_VCALENDAR_COMPONENT) {
    ImportCalendar(calendar, root.get(), now, result);
  } else if (kind == ICAL_XROOT_COMPONENT) {
    int calendars = 0;
    for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT); c;
         c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT)) {
      ImportCalendar(calendar, c, now, result);
      ++calendars;
    }
    if (calendars == 0) {
      result.error = QStringLiteral("not an iCalendar file: no VCALENDAR");
      return result;
    }
  } else {
    result.error = QStringLiteral("not an iCalendar file: no VCALENDAR");
    return result;
  }
  result.ok = true;
  return result;
}

IcsImportResult ImportICalendar(DataFormat& calendar, const QString& path, TDateTime now) {
  QString error;
  const std::optional<QByteArray> text = ReadWholeFile(path, MaxFileSize, error);
  if (!text) {
    IcsImportResult result;
    result.error = error;
    return result;
  }
  return ImportICalendarText(calendar, *text, now);
}

QString ExportSummary(const IcsExportResult& result, const QString& path) {
  if (!result.ok) return result.error;
  QString line = QStringLiteral("Wrote %1 and %2 to %3")
                     .arg(Plural(result.events, "event", "events"), Plural(result.tasks, "task", "tasks"), path);
  if (result.skipped) line += QStringLiteral(" (%1 that fall on no day left out)").arg(Plural(result.skipped, "event", "events"));
  return line;
}

QString ImportSummary(const IcsImportResult& result, const QString& path) {
  if (!result.ok) return result.error;
  QString line = QStringLiteral("Imported %1 and %2 from %3")
                     .arg(Plural(result.events, "event", "events"), Plural(result.tasks, "task", "tasks"), path);
  QStringList notes;
  if (result.expandedRules)
    notes << QStringLiteral("%1 no pattern expresses brought in as %2")
                 .arg(Plural(result.expandedRules, "rule", "rules"), Plural(result.expandedEvents, "single event", "single events"));
  if (result.skipped) notes << QStringLiteral("%1 skipped").arg(Plural(result.skipped, "entry", "entries"));
  if (!notes.isEmpty()) line += QStringLiteral(" (") + notes.join(QStringLiteral("; ")) + QLatin1Char(')');
  return line;
}
