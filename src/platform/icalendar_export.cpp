// The calendar out as an iCalendar file: each event as a VEVENT whose pattern becomes an RRULE
// (icalrules), each task as a VTODO.

#include "platform/icalendar.h"

#include "core/dataformat.h"
#include "core/recurrence.h"
#include "core/wholefile.h"
#include "platform/icalrules.h"
#include "platform/icalshared.h"

#include <QDateTime>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <set>

using namespace ics;

namespace {

// How far a pattern's first listed day is looked for (29 February can be eight years away).
constexpr int FirstDaySearch = 12 * 366;

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

// The zone a timed event keeps its times in, as libical knows it; null for local time (and
// for a zone libical does not know: its times go out as the wall clock they are).
icaltimezone* OwnZone(const TNote& note) {
  if (!note.Start || note.TimeZone.isEmpty()) return nullptr;
  if (note.TimeZone == QLatin1String("UTC")) return icaltimezone_get_utc_timezone();
  return icaltimezone_get_builtin_timezone(note.TimeZone.toUtf8().constData());
}

// A time of the event: floating, or UTC (written with Z) for an event kept in UTC; a time in
// another zone gets its TZID from Zoned.
icaltimetype EventTime(const TNote& note, int day, TDateTime timeOfDay) {
  icaltimetype t = FloatingValue(day, timeOfDay);
  if (OwnZone(note) == icaltimezone_get_utc_timezone()) t.zone = icaltimezone_get_utc_timezone();
  return t;
}

icaltimetype EventDay(const TNote& note, int day) {
  return note.Start ? EventTime(note, day, note.StartTime) : DateValue(day);
}

// The property with the TZID of the event's zone, when its value is a time in such a zone.
icalproperty* Zoned(icalproperty* p, const TNote& note) {
  icaltimezone* zone = OwnZone(note);
  // The zone's own name ("Europe/Berlin"), which the VTIMEZONE of the file describes.
  if (zone && zone != icaltimezone_get_utc_timezone())
    icalproperty_add_parameter(p, icalparameter_new_tzid(note.TimeZone.toUtf8().constData()));
  return p;
}

// The UNTIL of a rule whose last day is day: in UTC when the event keeps another zone's
// times, as RFC 5545 asks of a rule with a zoned start.
QByteArray UntilText(const TNote& note, int day) {
  icaltimezone* zone = OwnZone(note);
  if (!zone || zone == icaltimezone_get_utc_timezone()) return icaltime_as_ical_string(EventDay(note, day));
  icaltimetype wall = FloatingValue(day, note.StartTime);
  wall.zone = zone;
  return icaltime_as_ical_string(icaltime_convert_to_zone(wall, icaltimezone_get_utc_timezone()));
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

// The record's identity; a record that has none (made by a program that gave none) gets
// the one it would be given on loading.
QByteArray Uid(const TNote& note) { return (note.Uid.isEmpty() ? DerivedUid(note) : note.Uid).toUtf8(); }
QByteArray Uid(const TToDo& todo) { return (todo.Uid.isEmpty() ? DerivedUid(todo) : todo.Uid).toUtf8(); }

void AddCommon(icalcomponent* c, const QString& title, const QString& category, const QString& notes,
               TDateTime modifyDate, const icaltimetype& stamp) {
  icalcomponent_add_property(c, icalproperty_new_dtstamp(stamp));
  icalcomponent_add_property(c, icalproperty_new_summary(Utf8Text(title).constData()));
  if (!category.isEmpty()) icalcomponent_add_property(c, icalproperty_new_categories(Utf8Text(category).constData()));
  if (!notes.isEmpty()) icalcomponent_add_property(c, icalproperty_new_description(Utf8Text(notes).constData()));
  AddX(c, ModifiedProperty, QByteArray::number(modifyDate, 'g', 17));
}

// One event as a VEVENT; null when it falls on no day at all. overridden: the days on which
// another record stands for the series' instance (they go out as instances of their own, so
// the series does not hide those days).
icalcomponent* EventComponent(const TNote& note, const icaltimetype& stamp, const std::set<int>& overridden) {
  if (!IsCalendarDay(note.StartDate)) return nullptr;
  const TNote rule = RuleOnly(note);
  const int startDay = DayNumber(note.StartDate);
  std::set<int> exceptionDays;
  for (TDateTime e : note.Exceptions)
    if (IsCalendarDay(e)) exceptionDays.insert(DayNumber(e));

  icalcomponent* event = icalcomponent_new_vevent();
  icalcomponent_add_property(event, icalproperty_new_uid(Uid(note).constData()));
  // One instance of a series: the start it has in the series names it.
  if (note.RecurrenceId != 0 && IsCalendarDay(note.RecurrenceId))
    icalcomponent_add_property(event,
                               Zoned(icalproperty_new_recurrenceid(
                                         note.Start ? EventTime(note, DayNumber(note.RecurrenceId), note.RecurrenceId)
                                                    : DateValue(DayNumber(note.RecurrenceId))),
                                     note));
  AddCommon(event, note.Title, note.Category, note.Notes, note.ModifyDate, stamp);
  if (!note.Location.isEmpty())
    icalcomponent_add_property(event, icalproperty_new_location(Utf8Text(note.Location).constData()));
  AddX(event, StartProperty, DayText(startDay));

  auto setTimes = [&](int firstDay, int days) {
    icalcomponent_add_property(event, Zoned(icalproperty_new_dtstart(EventDay(note, firstDay)), note));
    if (!note.Start) {
      icalcomponent_add_property(event, icalproperty_new_dtend(DateValue(firstDay + std::max(days, 1))));
    } else {
      const int lastDay = firstDay + std::max(days, 1) - 1;
      if (lastDay > firstDay || note.EndTime - std::floor(note.EndTime) > note.StartTime - std::floor(note.StartTime))
        icalcomponent_add_property(event, Zoned(icalproperty_new_dtend(EventTime(note, lastDay, note.EndTime)), note));
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
    // Days the rule text gives before its end that the counted series passes over.
    std::set<int> passedOver;
    if (note.RangeType == 1) {
      const bool countIsExact =
          RepeatOf(note) == RepeatType::Daily || RepeatOf(note) == RepeatType::Weekly ||
          (RepeatOf(note) == RepeatType::EveryWeekday && (IsoWeekday(startDay) == 1 || IsoWeekday(startDay) >= 6));
      if (countIsExact) {
        text += ";COUNT=" + QByteArray::number(note.RangeCount);
      } else {
        // The series ends on the last day the day queries list (a counted series always has
        // one, at the latest on the last day of the calendar).
        const int last = static_cast<int>(NoteLastListedDay(rule).value_or(*firstListed));
        text += ";UNTIL=" + UntilText(note, last);
        // The every-weekday count started on Tuesday to Friday counts the weekend days of the
        // first week, so close to its end it can refuse a day and take the next one (the
        // other patterns' counts only grow with the date): such days are left out.
        if (RepeatOf(note) == RepeatType::EveryWeekday) {
          TNote endless = rule;
          endless.RangeType = 0;
          for (int day = *firstListed; day <= last; ++day)
            if (Listed(endless, day) && !Listed(rule, day)) passedOver.insert(day);
        }
      }
    } else if (note.RangeType == 2 && IsCalendarDay(note.EndDate)) {
      text += ";UNTIL=" + UntilText(note, DayNumber(note.EndDate));
    }
    icalrecurrencetype recur = icalrecurrencetype_from_string(text.constData());
    setTimes(*firstListed, 1);
    icalcomponent_add_property(event, icalproperty_new_rrule(recur));
    for (int day : exceptionDays) {
      if (Listed(rule, day)) {
        if (!overridden.count(day))
          icalcomponent_add_property(event, Zoned(icalproperty_new_exdate(EventDay(note, day)), note));
      } else if (passedOver.count(day)) {
        passedOver.erase(day);  // the rule text gives the day the exception adds
      } else {
        icaldatetimeperiodtype rdate;
        std::memset(&rdate, 0, sizeof rdate);
        rdate.time = EventDay(note, day);
        rdate.period = icalperiodtype_null_period();
        icalcomponent_add_property(event, Zoned(icalproperty_new_rdate(rdate), note));
      }
    }
    for (int day : passedOver)
      icalcomponent_add_property(event, Zoned(icalproperty_new_exdate(EventDay(note, day)), note));
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
      if (days.count(day))
        days.erase(day);
      else if (!Listed(rule, day))
        days.insert(day);
    }
    if (!days.empty()) {
      setTimes(*days.begin(), 1);
      if (RepeatOf(note) != RepeatType::Once) AddX(event, PatternProperty, QByteArray::number(note.RepeatType));
      for (auto it = std::next(days.begin()); it != days.end(); ++it) {
        icaldatetimeperiodtype rdate;
        std::memset(&rdate, 0, sizeof rdate);
        rdate.time = EventDay(note, *it);
        rdate.period = icalperiodtype_null_period();
        icalcomponent_add_property(event, Zoned(icalproperty_new_rdate(rdate), note));
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

icalcomponent* TaskComponent(const TToDo& todo, const icaltimetype& stamp) {
  icalcomponent* task = icalcomponent_new_vtodo();
  icalcomponent_add_property(task, icalproperty_new_uid(Uid(todo).constData()));
  AddCommon(task, todo.Title, todo.Category, todo.Notes.join(QLatin1Char('\n')), todo.ModifyDate, stamp);
  const int priority = todo.Priority >= 0 && todo.Priority <= 4 ? todo.Priority : 2;
  icalcomponent_add_property(task, icalproperty_new_priority(1 + 2 * priority));
  if (todo.DueDate != 0 && IsCalendarDay(todo.DueDate))
    icalcomponent_add_property(task, icalproperty_new_due(DateValue(DayNumber(todo.DueDate))));
  icalcomponent_add_property(task,
                             icalproperty_new_status(todo.Completed ? ICAL_STATUS_COMPLETED : ICAL_STATUS_NEEDSACTION));
  return task;
}

// Appends a component as iCalendar text, its subcomponents included.
void AppendIcalText(QByteArray& out, icalcomponent* component) {
  char* text = icalcomponent_as_ical_string_r(component);
  if (text) out.append(text);
  free(text);
}

}  // namespace

IcsExportResult ExportICalendarText(const DataFormat& calendar, TDateTime now, QByteArray& bytes) {
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
  // The zones events keep their times in, described once each before the events, from the
  // year before the first event in each on.
  std::map<QString, int> zones;
  for (const TNote& note : calendar.NoteArray) {
    icaltimezone* zone = note.DeleteDate == 0 ? OwnZone(note) : nullptr;
    if (!zone || zone == icaltimezone_get_utc_timezone() || !IsCalendarDay(note.StartDate)) continue;
    const auto [at, added] = zones.emplace(note.TimeZone, DayNumber(note.StartDate));
    if (!added) at->second = std::min(at->second, DayNumber(note.StartDate));
  }
  for (const auto& [name, firstDay] : zones) {
    icaltimezone* zone = icaltimezone_get_builtin_timezone(name.toUtf8().constData());
    icalcomponent* builtin = zone ? icaltimezone_get_component(zone) : nullptr;
    if (!builtin) continue;
    icalcomponent* description = icalcomponent_new_clone(builtin);
    if (icalproperty* tzid = icalcomponent_get_first_property(description, ICAL_TZID_PROPERTY))
      icalproperty_set_tzid(tzid, name.toUtf8().constData());
    icaltimetype from = DateValue(std::max(firstDay - 366, -693593));
    from.is_date = 0;
    from.zone = icaltimezone_get_utc_timezone();
    icaltimezone_truncate_vtimezone(description, from, icaltime_null_time(), 0);
    icalcomponent_add_component(root.get(), description);
  }
  // The days of each series that a live record of its own stands for.
  std::map<QString, std::set<int>> overrides;
  for (const TNote& note : calendar.NoteArray)
    if (note.DeleteDate == 0 && note.RecurrenceId != 0 && IsCalendarDay(note.RecurrenceId))
      overrides[note.Uid].insert(DayNumber(note.RecurrenceId));
  const std::set<int> none;
  // The text is what the whole calendar component would give, built a component at a time:
  // each event and task is written out and freed before the next is made, so neither the
  // tree of every component nor a second copy of the text is ever held.
  bytes.clear();
  AppendIcalText(bytes, root.get());
  const QByteArray end = QByteArrayLiteral("END:VCALENDAR\r\n");
  if (!bytes.endsWith(end)) {
    result.error = QStringLiteral("Could not write the calendar as iCalendar text");
    return result;
  }
  bytes.chop(end.size());
  // Room for the usual few hundred bytes a record, so that the text is not copied again each
  // time it outgrows its buffer (pages reserved and never written cost nothing).
  bytes.reserve(bytes.size() + 512 * static_cast<qsizetype>(calendar.NoteArray.size() + calendar.ToDoArray.size()));
  auto append = [&bytes](icalcomponent* component) {
    AppendIcalText(bytes, component);
    icalcomponent_free(component);
  };
  for (const TNote& note : calendar.NoteArray) {
    if (note.DeleteDate != 0) continue;
    const auto overridden = note.RecurrenceId == 0 ? overrides.find(note.Uid) : overrides.end();
    if (icalcomponent* event = EventComponent(note, stamp, overridden == overrides.end() ? none : overridden->second)) {
      append(event);
      ++result.events;
    } else {
      ++result.skipped;
    }
  }
  for (const TToDo& todo : calendar.ToDoArray) {
    if (todo.DeleteDate != 0) continue;
    append(TaskComponent(todo, stamp));
    ++result.tasks;
  }
  bytes.append(end);
  result.ok = true;
  return result;
}

IcsExportResult ExportICalendar(const DataFormat& calendar, const QString& path, TDateTime now) {
  QByteArray bytes;
  IcsExportResult result = ExportICalendarText(calendar, now, bytes);
  if (!result.ok) return result;
  // The file carries the whole calendar: readable by its owner only.
  const QString error = WriteWholeFile(path, bytes, FileAccess::OwnerOnly);
  if (!error.isEmpty()) {
    result.ok = false;
    result.error = error;
    result.events = result.tasks = result.skipped = 0;
  }
  return result;
}

QString ExportSummary(const IcsExportResult& result, const QString& path) {
  if (!result.ok) return result.error;
  QString line = QStringLiteral("Wrote %1 and %2 to %3")
                     .arg(Plural(result.events, "event", "events"), Plural(result.tasks, "task", "tasks"), path);
  if (result.skipped)
    line += QStringLiteral(" (%1 that fall on no day left out)").arg(Plural(result.skipped, "event", "events"));
  return line;
}
