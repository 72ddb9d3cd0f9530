// iCalendar files into the calendar. An imported rule is turned into a pattern (icalrules),
// and the pattern's days are compared with the days libical expands from the rule; the days
// on which they differ become the event's exceptions, and a rule whose days differ wholesale
// comes in as single events instead.

#include "platform/icalendar.h"

#include "core/dataformat.h"
#include "core/recurrence.h"
#include "core/wholefile.h"
#include "platform/icalrules.h"
#include "platform/icalshared.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <vector>

using namespace ics;

namespace {

constexpr int TwoYears = 731;
// At most this many instances of one imported rule are expanded.
constexpr int MaxInstances = 100000;
// At most this many single events come from one rule no pattern expresses.
constexpr int MaxExpandedEvents = 1000;
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
// The days over which libical steps through daily and weekly rules alike: after its change
// to the Gregorian calendar, and well before the last year it gives days in (2582).
const int ShapeFirstDay = static_cast<int>(EncodeDate(1600, 1, 1));
const int ShapeLastDay = static_cast<int>(EncodeDate(2500, 1, 1));

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

  // A time of an entry that keeps its times in the zone own (null: the local zone): its wall
  // clock there. Floating times and times of that zone are taken as they are written.
  std::optional<LocalTime> In(const icaltimetype& t, const icaltimezone* zone, const icaltimezone* own) const {
    if (!own) return Local(t, zone);
    if (t.is_date || !zone || zone == own) return Local(t, nullptr);
    icaltimetype from = t;
    from.zone = zone;
    return Local(icaltime_convert_to_zone(from, const_cast<icaltimezone*>(own)), nullptr);
  }

  std::optional<LocalTime> Local(const icaltimetype& t, const icaltimezone* zone) const {
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
    // The entries of a file mostly share their stamps (the export's DTSTAMP): the local time
    // of the moment asked last is kept.
    if (lastMoment_ && lastMoment_->first == seconds) return lastMoment_->second;
    const QDateTime local = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds)).toLocalTime();
    std::optional<LocalTime> found;
    if (local.isValid() && local.date().year() >= 1 && local.date().year() <= 9999) {
      const QDate date = local.date();
      found = LocalTime{static_cast<int>(EncodeDate(date.year(), date.month(), date.day())),
                        local.time().msecsSinceStartOfDay() / 1000};
    }
    lastMoment_.emplace(seconds, found);
    return found;
  }

  mutable std::optional<std::pair<time_t, std::optional<LocalTime>>> lastMoment_ = std::nullopt;
};

// The name of a zone as the system's zone database knows it ("Europe/Berlin", "UTC"), from
// its location, its TZID, a TZID that ends in such a name ("/mozilla.org/…/Europe/Berlin") or
// a Windows zone name; empty when none is known.
QString ZoneName(const icaltimezone* zone) {
  if (!zone) return QString();
  if (zone == icaltimezone_get_utc_timezone()) return QStringLiteral("UTC");
  auto* z = const_cast<icaltimezone*>(zone);
  // Each text is copied before the next is asked for: asking can load the zone's data and
  // free the text handed out before.
  const auto copied = [](const char* text) { return QByteArray(text ? text : ""); };
  const QByteArray tzid = copied(icaltimezone_get_tzid(z));
  const QByteArray location = copied(icaltimezone_get_location(z));
  for (const QByteArray& name : {location, tzid}) {
    if (name.isEmpty()) continue;
    for (qsizetype from = 0; from >= 0 && from < name.size(); from = name.indexOf('/', from + 1)) {
      const QByteArray candidate = name.mid(from == 0 && name[0] != '/' ? 0 : from + 1);
      if (!candidate.isEmpty() && QTimeZone::isTimeZoneIdAvailable(candidate)) return QString::fromUtf8(candidate);
    }
    const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(name);
    if (!iana.isEmpty() && QTimeZone::isTimeZoneIdAvailable(iana)) return QString::fromUtf8(iana);
  }
  return QString();
}

// libical's zone of a name ZoneName gave; null for none.
const icaltimezone* LibicalZone(const QString& name) {
  if (name.isEmpty()) return nullptr;
  if (name == QLatin1String("UTC")) return icaltimezone_get_utc_timezone();
  return icaltimezone_get_builtin_timezone(name.toUtf8().constData());
}

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

// The entry's UID; none when it has none or one too long to be a name (the record then
// gets one of its own).
QString UidOf(icalcomponent* c) {
  constexpr qsizetype MaxUidLength = 1000;
  const QString uid = FirstText(c, ICAL_UID_PROPERTY, icalproperty_get_uid).trimmed();
  return uid.size() <= MaxUidLength ? uid : QString();
}

// The change stamp: ours when the entry comes from us, else when the entry last changed. An
// entry of ours that another program changed since carries that program's later LAST-MODIFIED
// beside our stamp: the later of the two counts.
TDateTime ModifyDateOf(icalcomponent* c, const TimeReader& reader, TDateTime now) {
  std::optional<TDateTime> lastModified;
  for (icalproperty_kind kind : {ICAL_LASTMODIFIED_PROPERTY, ICAL_DTSTAMP_PROPERTY}) {
    if (icalproperty* p = icalcomponent_get_first_property(c, kind)) {
      const icaltimetype t =
          kind == ICAL_LASTMODIFIED_PROPERTY ? icalproperty_get_lastmodified(p) : icalproperty_get_dtstamp(p);
      if (const auto local = reader.Local(t, reader.ZoneOf(p, t))) {
        lastModified = local->Moment();
        break;
      }
    }
  }
  for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
       p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY)) {
    const char* name = icalproperty_get_x_name(p);
    if (name && qstrcmp(name, ModifiedProperty) == 0) {
      bool ok = false;
      const double value = QByteArray(icalproperty_get_x(p)).toDouble(&ok);
      if (!ok || !std::isfinite(value) || std::fabs(value) >= MaxDayNumber) continue;
      const bool changedElsewhere =
          icalcomponent_get_first_property(c, ICAL_LASTMODIFIED_PROPERTY) && lastModified && *lastModified > value;
      return changedElsewhere ? *lastModified : value;
    }
  }
  return lastModified.value_or(now);
}

QByteArray XValue(icalproperty* p) { return QByteArray(icalproperty_get_x(p) ? icalproperty_get_x(p) : ""); }

class EventImporter {
 public:
  EventImporter(DataFormat& calendar, const TimeReader& reader, TDateTime now, IcsImportResult& result)
      : calendar_(calendar), reader_(reader), now_(now), result_(result) {}

  // Notes an entry that stands for one instance of a series, before any series is read:
  // a series brought in as single days leaves that day to it.
  void NoteInstance(icalcomponent* c) {
    if (const auto instance = InstanceOf(c)) overridden_[instance->uid].insert(DayNumber(instance->recurrenceId));
  }

  // A series or a one-time event; instances come after every series (ImportInstance).
  void Import(icalcomponent* c) {
    if (!Read(c)) ++result_.skipped;
  }

  // An entry that changes or cancels one instance of a series: the series (when it is in the
  // calendar) no longer shows that instance, and unless it was cancelled, a one-time event
  // with the entry's details stands in for it, named by the series' UID and the instance's
  // original start, so that a later copy of it replaces it.
  void ImportInstance(icalcomponent* c) {
    const int series = SeriesOf(UidOf(c));
    const std::optional<Instance> instance =
        InstanceOf(c, series >= 0 ? LibicalZone(calendar_.NoteArray[series].TimeZone) : nullptr);
    if (!instance) {
      ++result_.skipped;
      return;
    }
    const int day = DayNumber(instance->recurrenceId);
    if (series >= 0) {
      TNote& note = calendar_.NoteArray[series];
      if (Listed(RuleOnly(note), day) && !NoteExceptedOn(note, day)) {
        note.Exceptions.append(static_cast<TDateTime>(day));
        calendar_.DataChanged = true;
      }
    }
    icalproperty* status = icalcomponent_get_first_property(c, ICAL_STATUS_PROPERTY);
    if (status && icalproperty_get_status(status) == ICAL_STATUS_CANCELLED) return;

    std::optional<Entry> entry = ReadEntry(c);
    if (!entry) {
      ++result_.skipped;
      return;
    }
    ReadLength(c, *entry);
    ReadAlarm(c, *entry);
    ReadOwnProperties(c, *entry);
    ReadExtraDays(c, *entry);
    TNote& note = entry->note;
    // What the instance does not say it has as the series has it.
    if (series >= 0) {
      const TNote& from = calendar_.NoteArray[series];
      if (note.Title.isEmpty()) note.Title = from.Title;
      if (note.Location.isEmpty()) note.Location = from.Location;
      if (note.Category.isEmpty()) note.Category = from.Category;
      if (note.Notes.isEmpty()) note.Notes = from.Notes;
    }
    entry->ownPattern = RepeatType::Once;
    note.RecurrenceId = instance->recurrenceId;
    ImportOneTime(*entry);
  }

 private:
  // What a VEVENT says apart from its rule: the event as far as it is known, its first day,
  // how many days one instance covers, what our own files add, and the hidden and added days.
  struct Entry {
    icaltimetype dtstart{};
    const icaltimezone* zone = nullptr;
    // The zone the event keeps its times in (its start's, when the system knows it), or null
    // for local time.
    const icaltimezone* own = nullptr;
    LocalTime start;
    TNote note;
    int firstDay = 0;
    int days = 1;
    std::optional<int> ownStart;
    RepeatType ownPattern = RepeatType::Once;
    std::set<int> exdates, rdates;
  };

  // The days a rule gives from DTSTART up to the window's end, and where it ends.
  struct Instances {
    std::vector<int> days;  // ascending, each once
    bool finished = false;  // the rule ran out before the search did
    int last = 0;           // the last day found, also beyond the window
  };

  // Offsets from DTSTART of the days the iterator gave for a step shape, every one up to
  // reach; past it, the days from repeatFrom on (the last period's) repeat every period days,
  // or nothing is known (repeatFrom -1).
  struct StepDays {
    int reach = -1;
    int period = 1;
    int repeatFrom = -1;
    std::vector<int> offsets;
  };

  bool Read(icalcomponent* c) {
    std::optional<Entry> entry = ReadEntry(c);
    if (!entry) return false;
    ReadLength(c, *entry);
    ReadAlarm(c, *entry);
    ReadOwnProperties(c, *entry);
    ReadExtraDays(c, *entry);

    icalproperty* rruleProperty = icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY);
    if (!rruleProperty) {
      ImportOneTime(*entry);
      return true;
    }
    const icalrecurrencetype recur = icalproperty_get_rrule(rruleProperty);
    if (recur.freq == ICAL_NO_RECURRENCE || recur.freq < ICAL_DAILY_RECURRENCE || recur.freq > ICAL_YEARLY_RECURRENCE)
      return false;  // hourly and finer, or unreadable
    return ImportRule(*entry, recur);
  }

  // The start and the plain fields; nothing without a readable DTSTART.
  std::optional<Entry> ReadEntry(icalcomponent* c) const {
    icalproperty* dtstartProperty = icalcomponent_get_first_property(c, ICAL_DTSTART_PROPERTY);
    if (!dtstartProperty) return std::nullopt;
    Entry entry;
    entry.dtstart = icalproperty_get_dtstart(dtstartProperty);
    entry.zone = reader_.ZoneOf(dtstartProperty, entry.dtstart);
    TNote& note = entry.note;
    note.TimeZone = NameOf(entry.zone);
    if (!note.TimeZone.isEmpty()) entry.own = entry.zone;
    const auto start = reader_.In(entry.dtstart, entry.zone, entry.own);
    if (!start) return std::nullopt;
    entry.start = *start;

    note.Title = FirstText(c, ICAL_SUMMARY_PROPERTY, icalproperty_get_summary);
    note.Location = FirstText(c, ICAL_LOCATION_PROPERTY, icalproperty_get_location);
    note.Category = FirstText(c, ICAL_CATEGORIES_PROPERTY, icalproperty_get_categories);
    note.Uid = UidOf(c);
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_DESCRIPTION_PROPERTY))
      note.Notes = NotesText(icalproperty_get_description(p));
    note.ModifyDate = ModifyDateOf(c, reader_, now_);
    note.Start = !entry.dtstart.is_date;
    entry.firstDay = start->day;
    note.StartDate = entry.firstDay;
    note.StartTime = note.Start ? start->Time() : 0;
    note.EndTime = note.StartTime;
    note.RepeatFrequency = 1;
    return entry;
  }

  // How many days one instance covers, and its end time.
  void ReadLength(icalcomponent* c, Entry& entry) const {
    const LocalTime& start = entry.start;
    TNote& note = entry.note;
    std::optional<LocalTime> end;
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_DTEND_PROPERTY)) {
      const icaltimetype t = icalproperty_get_dtend(p);
      end = reader_.In(t, reader_.ZoneOf(p, t), entry.own);
    } else if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_DURATION_PROPERTY)) {
      const int seconds = icaldurationtype_as_int(icalproperty_get_duration(p));
      if (seconds > 0 && seconds < 3650 * 86400) end = LocalTime::FromTotal(start.Total() + seconds);
    }
    if (end && end->Total() > start.Total()) {
      int days;
      if (note.Start) {
        note.EndTime = end->Time();
        days = end->day - entry.firstDay + 1;
        if (days > 1 && note.EndTime == 0) --days;  // ends at midnight
      } else {
        days = end->day - entry.firstDay;
      }
      entry.days = std::clamp(days, 1, 3650);
    }
  }

  // Alarm: the first VALARM's trigger, as a time of day.
  void ReadAlarm(icalcomponent* c, Entry& entry) const {
    icalcomponent* alarm = icalcomponent_get_first_component(c, ICAL_VALARM_COMPONENT);
    if (!alarm) return;
    icalproperty* p = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
    if (!p) return;
    const icaltriggertype trigger = icalproperty_get_trigger(p);
    std::optional<LocalTime> moment;
    if (!icaltime_is_null_time(trigger.time))
      moment = reader_.In(trigger.time, reader_.ZoneOf(p, trigger.time), entry.own);
    else
      moment = LocalTime::FromTotal(entry.start.Total() + icaldurationtype_as_int(trigger.duration));
    if (moment) {
      entry.note.Alarm = true;
      entry.note.AlarmTime = moment->Time();
    }
  }

  // Per-day notes and the original start date and pattern of our own files.
  static void ReadOwnProperties(icalcomponent* c, Entry& entry) {
    TNote& note = entry.note;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY)) {
      const char* name = icalproperty_get_x_name(p);
      if (!name) continue;
      if (qstrcmp(name, StartProperty) == 0) {
        entry.ownStart = ParseDayText(XValue(p));
      } else if (qstrcmp(name, PatternProperty) == 0) {
        entry.ownPattern = static_cast<RepeatType>(std::clamp(XValue(p).toInt(), 0, 7));
      } else if (qstrcmp(name, DayNoteProperty) == 0) {
        const QByteArray value = XValue(p);
        const auto day = ParseDayText(value.left(8));
        if (!day || value.size() < 9 || value.at(8) != ':') continue;
        const QString text = QString::fromUtf8(QByteArray::fromPercentEncoding(value.mid(9)));
        auto at = std::find_if(note.RecurNotes.begin(), note.RecurNotes.end(),
                               [&](const TRecurNote& r) { return r.Date >= *day; });
        if (at != note.RecurNotes.end() && at->Date == *day)
          at->Data = text;
        else
          note.RecurNotes.insert(at, TRecurNote{text, static_cast<TDateTime>(*day)});
      }
    }
    const int firstDay = entry.firstDay;
    if (entry.ownStart && (*entry.ownStart > firstDay + 366 || *entry.ownStart < firstDay - 366 * 12))
      entry.ownStart.reset();
  }

  // Hidden and added days.
  void ReadExtraDays(icalcomponent* c, Entry& entry) const {
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_EXDATE_PROPERTY)) {
      const icaltimetype t = icalproperty_get_exdate(p);
      if (const auto local = reader_.In(t, reader_.ZoneOf(p, t), entry.own)) entry.exdates.insert(local->day);
    }
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_RDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_RDATE_PROPERTY)) {
      const icaldatetimeperiodtype value = icalproperty_get_rdate(p);
      const icaltimetype t = icaltime_is_null_time(value.time) ? value.period.start : value.time;
      if (const auto local = reader_.In(t, reader_.ZoneOf(p, t), entry.own)) entry.rdates.insert(local->day);
    }
  }

  // One time: the covered days, plus added days, less hidden ones.
  void ImportOneTime(Entry& entry) {
    TNote& note = entry.note;
    const int firstDay = entry.firstDay;
    const int days = entry.days;
    SetRepeat(note, RepeatType::Once);
    note.StartDate = entry.ownStart.value_or(firstDay);
    note.Span = days > 1;
    note.SpanRange = days > 1 ? days : 0;
    if (entry.ownPattern != RepeatType::Once) {
      // Our own series that lists no day of its own: it keeps its pattern, ended before it
      // starts, and its days are all exceptions.
      SetRepeat(note, entry.ownPattern);
      note.Span = false;
      note.SpanRange = 0;
      note.RangeType = 2;
      note.EndDate = note.StartDate - 1;
    }
    std::set<int> expected;
    for (int k = 0; k < days; ++k) expected.insert(firstDay + k);
    for (int d : entry.rdates) expected.insert(d);
    for (int d : entry.exdates) expected.erase(d);
    std::set<int> covered = expected;
    for (int k = 0; k < std::max(days, note.SpanRange); ++k) covered.insert(DayNumber(note.StartDate) + k);
    for (int d : entry.exdates) covered.insert(d);
    const std::vector<int> check(covered.begin(), covered.end());
    SetExceptions(note, check, [&](int d) { return expected.count(d) > 0; });
    Merge(note);
    ++result_.events;
  }

  // The instances: DTSTART, then what the rule gives up to the window's end (further when
  // the rule ends, to find its last day). Nothing when libical cannot follow the rule.
  std::optional<Instances> Expand(const Entry& entry, const icalrecurrencetype& recur, int windowEnd, bool ends) {
    std::optional<Shape> shape = StepShape(entry, recur);
    if (shape) {
      const auto kept = stepDays_.find(shape->name);
      if (kept != stepDays_.end()) {
        if (auto found = FromShape(kept->second, *shape, entry, recur, windowEnd, ends)) return found;
      }
    }
    Instances found;
    found.days.push_back(entry.firstDay);
    found.last = entry.firstDay;
    std::vector<int> offsets;  // of every day the iterator gave, for a step shape
    // The start with its zone, so that an UNTIL in UTC ends the rule at that moment rather
    // than at the same wall-clock time.
    icaltimetype start = entry.dtstart;
    if (entry.zone) start.zone = entry.zone;
    icalrecur_iterator* it = icalrecur_iterator_new(recur, start);
    if (!it) return std::nullopt;
    bool passedWindow = false;  // the search ended past the window, not at a limit
    for (int n = 0; n < MaxInstances; ++n) {
      const icaltimetype t = icalrecur_iterator_next(it);
      if (icaltime_is_null_time(t)) {
        found.finished = true;
        break;
      }
      const auto local = reader_.In(t, entry.zone, entry.own);
      if (!local) continue;
      const int day = local->day;
      passedWindow = day > windowEnd;
      if (day > windowEnd && !ends) break;
      if (day > windowEnd + LastDaySearch) break;
      if (day <= windowEnd) found.days.push_back(day);
      found.last = std::max(found.last, day);
      if (shape) {
        const std::optional<int> offset = shape->OffsetOf(entry.firstDay, day);
        if (offset)
          offsets.push_back(*offset);
        else
          shape.reset();  // not a day of the shape after all: nothing is kept
      }
    }
    icalrecur_iterator_free(it);
    // In time order, but a change of the clocks can put an instance on the day before.
    std::sort(found.days.begin(), found.days.end());
    found.days.erase(std::unique(found.days.begin(), found.days.end()), found.days.end());
    // The days up to the last one given are all the shape has there; a search that stopped
    // at the window also knows there are none between that day and the window's end.
    const int reach = !shape                  ? -1
                      : passedWindow && !ends ? shape->StepsTo(entry.firstDay, windowEnd)
                      : offsets.empty()       ? -1
                                              : offsets.back();
    if (shape && reach >= 0) {
      StepDays& kept = stepDays_[shape->name];
      if (reach > kept.reach) {
        kept.reach = reach;
        kept.offsets = std::move(offsets);
        const int period = PeriodOf(recur);
        kept.repeatFrom = -1;
        if (reach >= 2 * period + 6) {
          const auto from = std::upper_bound(kept.offsets.begin(), kept.offsets.end(), reach - period);
          if (from != kept.offsets.end()) kept.repeatFrom = static_cast<int>(from - kept.offsets.begin());
        }
        kept.period = period;
      }
    }
    return found;
  }

  // Daily and weekly rules without a zone and with no parts but the interval, the week's
  // start, (weekly) plain weekdays and an end step through the days from DTSTART alike for
  // every start on the same weekday (any start, daily): the rule's text without its end and
  // that weekday name the days one expansion found, which the next event of the same shape
  // takes without asking libical again (its iterator is by far the slowest part of an
  // import). Monthly rules on one day of the month that every month has (the 1st to the
  // 28th, named or DTSTART's) step through the months alike for every start on or before
  // that day of its month, and for every start after it: their steps are counted in months.
  // So do monthly rules on one weekday at a place every month has (the first to the fourth,
  // or the last), for every start on the same side of that weekday in its month. Yearly
  // rules on one such day of one month (named or DTSTART's) do the same for every start in
  // the same month on the same side of that day: steps of twelve months.
  // Nothing for any other rule, for an UNTIL in UTC or another zone, and for starts outside
  // the years over which libical steps alike (it follows the Julian calendar before 1583 and
  // gives no days after 2582).
  struct Shape {
    QByteArray name;
    // A monthly or yearly shape's day of the month: monthDay, or the position-th ISO weekday
    // (position -1: the last). Neither: steps are days.
    int monthDay = 0;
    int weekday = 0;
    int position = 0;
    int month = 0;  // the month of a yearly shape; 0: any month
    bool Monthly() const { return monthDay != 0 || weekday != 0; }
    int DayIn(int y, int m) const {
      if (monthDay) return monthDay;
      if (position > 0) {
        const int first = IsoWeekday(EncodeDate(y, m, 1));
        return 1 + (weekday - first + 7) % 7 + 7 * (position - 1);
      }
      const int last = DaysInMonth(y, m);
      return last - (IsoWeekday(EncodeDate(y, m, last)) - weekday + 7) % 7;
    }
    // A day as the shape's steps from the first day, and back; nothing for a day no step
    // of the shape falls on.
    std::optional<int> OffsetOf(int firstDay, int day) const {
      if (!Monthly()) return day - firstDay;
      int y0, m0, d0, y, m, d;
      DecodeDate(firstDay, y0, m0, d0);
      DecodeDate(day, y, m, d);
      if (d != DayIn(y, m) || (month && m != month)) return std::nullopt;
      return (y * 12 + m) - (y0 * 12 + m0);
    }
    int DayOf(int firstDay, int offset) const {
      if (!Monthly()) return firstDay + offset;
      int y0, m0, d0;
      DecodeDate(firstDay, y0, m0, d0);
      const int months = m0 - 1 + offset;
      const int y = y0 + months / 12, m = months % 12 + 1;
      return static_cast<int>(EncodeDate(y, m, DayIn(y, m)));
    }
    // The steps up to the last one that falls on or before day.
    int StepsTo(int firstDay, int day) const {
      if (!Monthly()) return day - firstDay;
      int y0, m0, d0, y, m, d;
      DecodeDate(firstDay, y0, m0, d0);
      DecodeDate(day, y, m, d);
      return (y * 12 + m) - (y0 * 12 + m0) - (d < DayIn(y, m) ? 1 : 0);
    }
  };

  static std::optional<Shape> StepShape(const Entry& entry, const icalrecurrencetype& recur) {
    if (entry.zone || entry.own || recur.rscale) return std::nullopt;
    const bool yearly = recur.freq == ICAL_YEARLY_RECURRENCE;
    const bool monthly = recur.freq == ICAL_MONTHLY_RECURRENCE || yearly;
    if (recur.freq != ICAL_DAILY_RECURRENCE && recur.freq != ICAL_WEEKLY_RECURRENCE && !monthly) return std::nullopt;
    if (entry.firstDay < ShapeFirstDay || entry.firstDay > ShapeLastDay) return std::nullopt;
    if (!icaltime_is_null_time(recur.until) && (recur.until.zone || icaltime_is_utc(recur.until))) return std::nullopt;
    const auto none = [](const short* parts) { return parts[0] == ICAL_RECURRENCE_ARRAY_MAX; };
    if (!none(recur.by_second) || !none(recur.by_minute) || !none(recur.by_hour) || !none(recur.by_year_day) ||
        !none(recur.by_week_no) || (!none(recur.by_month) && !yearly) || !none(recur.by_set_pos)) {
      return std::nullopt;
    }
    Shape shape;
    int y, m, startDay;
    DecodeDate(entry.firstDay, y, m, startDay);
    if (monthly) {
      bool named = !none(recur.by_month_day);
      if (!none(recur.by_day)) {
        if (named || recur.by_day[1] != ICAL_RECURRENCE_ARRAY_MAX) return std::nullopt;
        const int position = icalrecurrencetype_day_position(recur.by_day[0]);
        if (position != -1 && (position < 1 || position > 4)) return std::nullopt;
        shape.position = position;
        // libical counts Sunday 1 .. Saturday 7.
        shape.weekday = (static_cast<int>(icalrecurrencetype_day_day_of_week(recur.by_day[0])) + 5) % 7 + 1;
        named = true;
      } else {
        shape.monthDay = named ? recur.by_month_day[0] : startDay;
        if (shape.monthDay < 1 || shape.monthDay > 28) return std::nullopt;
      }
      if (yearly) {
        // A day of the month without a month is that day of every month (and a weekday's
        // place, the place among the year's weekdays).
        const bool namedMonth = !none(recur.by_month);
        if (named && !namedMonth) return std::nullopt;
        if (namedMonth && recur.by_month[1] != ICAL_RECURRENCE_ARRAY_MAX) return std::nullopt;
        shape.month = namedMonth ? recur.by_month[0] : m;
        if (shape.month < 1 || shape.month > 12) return std::nullopt;
      }
    } else if (!none(recur.by_month_day)) {
      return std::nullopt;
    }
    if (recur.freq == ICAL_DAILY_RECURRENCE && !none(recur.by_day)) return std::nullopt;
    for (int i = 0; !monthly && i < ICAL_BY_DAY_SIZE && recur.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
      if (icalrecurrencetype_day_position(recur.by_day[i]) != 0) return std::nullopt;
    }
    icalrecurrencetype copy = recur;
    copy.count = 0;
    copy.until = icaltime_null_time();
    char* text = icalrecurrencetype_as_string_r(&copy);
    if (!text) return std::nullopt;
    shape.name = text;
    icalmemory_free_buffer(text);
    if (recur.freq == ICAL_WEEKLY_RECURRENCE) shape.name += '|' + QByteArray::number(IsoWeekday(entry.firstDay));
    if (yearly) shape.name += "|from month " + QByteArray::number(m);
    if (monthly) shape.name += startDay > shape.DayIn(y, m) ? "|after" : "|on or before";
    return shape;
  }

  // The steps after which a step shape's days repeat: its interval in days, weeks or months
  // (years: twelve months each).
  static int PeriodOf(const icalrecurrencetype& recur) {
    const int interval = std::max(1, static_cast<int>(recur.interval));
    if (recur.freq == ICAL_YEARLY_RECURRENCE) return 12 * interval;
    return recur.freq == ICAL_WEEKLY_RECURRENCE ? 7 * interval : interval;
  }

  // What Expand finds for a rule of a step shape, from the days kept for the shape: the days
  // the iterator would give one by one, cut where the rule's COUNT or UNTIL cuts them. Past
  // the kept days the last period's days repeat (from the second period on, a day belongs to
  // a daily or weekly rule exactly when the day one period before does). Nothing when the
  // kept days cannot tell, or the days leave the years a shape holds for.
  static std::optional<Instances> FromShape(const StepDays& kept, const Shape& shape, const Entry& entry,
                                            const icalrecurrencetype& recur, int windowEnd, bool ends) {
    const auto offset = [&kept](int n) -> std::optional<int> {
      const int size = static_cast<int>(kept.offsets.size());
      if (n < size) return kept.offsets[n];
      if (kept.repeatFrom < 0) return std::nullopt;
      const int block = size - kept.repeatFrom, past = n - size;
      return kept.offsets[kept.repeatFrom + past % block] + kept.period * (past / block + 1);
    };
    const int firstDay = entry.firstDay;
    const int steps = shape.StepsTo(firstDay, windowEnd);
    if (!ends && kept.reach < steps && kept.repeatFrom < 0) return std::nullopt;
    const bool hasUntil = !icaltime_is_null_time(recur.until);
    icaltimetype at = entry.dtstart;
    Instances found;
    found.days.push_back(firstDay);
    found.last = firstDay;
    for (int n = 0; n < MaxInstances; ++n) {
      if (recur.count > 0 && n >= recur.count) {
        found.finished = true;
        break;
      }
      const std::optional<int> next = offset(n);
      if (!next && !ends && kept.reach >= steps) break;  // none left in the window
      if (!next) return std::nullopt;
      if (*next > (shape.Monthly() ? 12 * 1000 : ShapeLastDay - firstDay)) return std::nullopt;  // far past them
      const int day = shape.DayOf(firstDay, *next);
      if (day > ShapeLastDay) return std::nullopt;
      if (day > windowEnd && !ends) break;
      if (hasUntil) {
        int y, m, d;
        DecodeDate(day, y, m, d);
        at.year = y;
        at.month = m;
        at.day = d;
        if (icaltime_compare(at, recur.until) > 0) {
          found.finished = true;
          break;
        }
      }
      if (day > windowEnd + LastDaySearch) break;
      if (day <= windowEnd && day != firstDay) found.days.push_back(day);
      found.last = std::max(found.last, day);
    }
    return found;
  }

  // The end of a rule that ends, as the pattern's range: its count where the pattern counts
  // the same instances, else its last day; no end when the search did not reach it.
  static void SetRange(TNote& candidate, const icalrecurrencetype& recur, const Instances& instances, int firstDay) {
    if (!instances.finished) {
      candidate.RangeType = 0;
      return;
    }
    const int startIso = IsoWeekday(DayNumber(candidate.StartDate));
    const bool countIsExact = recur.count > 0 && recur.count <= 100000 && DayNumber(candidate.StartDate) == firstDay &&
                              (RepeatOf(candidate) == RepeatType::Daily || RepeatOf(candidate) == RepeatType::Weekly ||
                               (RepeatOf(candidate) == RepeatType::EveryWeekday && (startIso == 1 || startIso >= 6)));
    if (countIsExact) {
      candidate.RangeType = 1;
      candidate.RangeCount = recur.count;
    } else {
      candidate.RangeType = 2;
      candidate.EndDate = instances.last;
    }
  }

  bool ImportRule(Entry& entry, const icalrecurrencetype& recur) {
    const int firstDay = entry.firstDay;
    const int today = DayNumber(now_);
    const int windowEnd = std::min(std::max(today, firstDay) + TwoYears, 2958465);
    const bool ends = recur.count > 0 || !icaltime_is_null_time(recur.until);
    const std::optional<Instances> instances = Expand(entry, recur, windowEnd, ends);
    if (!instances) return false;
    // Asked mostly day after day: the search goes on from the day asked before.
    auto expected = [&, at = instances->days.cbegin()](int day) mutable {
      if (entry.rdates.count(day)) return true;
      if (entry.exdates.count(day)) return false;
      const std::vector<int>& days = instances->days;
      if (at != days.cbegin() && *(at - 1) >= day) at = std::lower_bound(days.cbegin(), days.cend(), day);
      while (at != days.cend() && *at < day) ++at;
      return at != days.cend() && *at == day;
    };

    std::optional<TNote> candidate = PatternOf(entry.note, recur, firstDay, entry.ownStart);
    if (candidate && ends) SetRange(*candidate, recur, *instances, firstDay);
    if (candidate) {
      const int windowStart = std::max(std::min(DayNumber(candidate->StartDate), firstDay), windowEnd - 36525);
      std::vector<int> check;
      check.reserve(static_cast<size_t>(windowEnd - windowStart + 1));
      for (int d = windowStart; d <= windowEnd; ++d) check.push_back(d);
      for (const std::set<int>* extra : {&entry.rdates, &entry.exdates}) {
        for (int d : *extra)
          if (d < windowStart || d > windowEnd) check.push_back(d);
      }
      if (check.size() > static_cast<size_t>(windowEnd - windowStart + 1)) {
        std::sort(check.begin(), check.end());
        check.erase(std::unique(check.begin(), check.end()), check.end());
      }
      // Beside the file's own exceptions, two more, and the pattern's days of its first week
      // that fall before DTSTART (a weekly rule starting on a day it does not name runs its
      // pattern from the week's start: those days are hidden, DTSTART is shown).
      const int lead = std::clamp(firstDay - static_cast<int>(DayNumber(candidate->StartDate)), 0, 6);
      const int allowed = static_cast<int>(entry.rdates.size() + entry.exdates.size()) + 2 + lead;
      if (SetExceptions(*candidate, check, expected, allowed)) {
        Merge(*candidate);
        ++result_.events;
        return true;
      }
    }
    ImportAsSingles(entry.note, today, expected);
    return true;
  }

  // No pattern says it: the occurrences from today over the next two years, one by one.
  template <typename Expected>
  void ImportAsSingles(TNote note, int today, Expected expected) {
    SetRepeat(note, RepeatType::Once);
    note.Span = false;
    note.SpanRange = 0;
    note.RecurNotes.clear();
    int made = 0;
    const auto overridden = overridden_.find(note.Uid);
    for (int day = today; day < std::min(today + TwoYears, 2958465) && made < MaxExpandedEvents; ++day) {
      if (!expected(day)) continue;
      if (overridden != overridden_.end() && overridden->second.count(day)) continue;  // its instance stands in
      TNote single = note;
      single.StartDate = day;
      // Each stands for one instance of the series, named as the file names it.
      if (!single.Uid.isEmpty()) single.RecurrenceId = day + single.StartTime;
      Merge(single);
      ++made;
    }
    ++result_.expandedRules;
    result_.expandedEvents += made;
  }

  // Makes the days on which the pattern and the expected days disagree the event's
  // exceptions. Fails (leaving them unset) when there are more than allowed.
  template <typename Expected>
  static bool SetExceptions(TNote& note, const std::vector<int>& check, Expected expected, int allowed = -1) {
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

  struct Instance {
    QString uid;
    TDateTime recurrenceId;  // the instance's original start, local
  };
  // The series and original start an entry with RECURRENCE-ID names; nothing for any other
  // entry, or one without a UID or a readable RECURRENCE-ID.
  // The original start is read in the zone target when one is given (the series' own), else
  // in its own zone when the system knows it, else as a local time.
  std::optional<Instance> InstanceOf(icalcomponent* c, const icaltimezone* target = nullptr) const {
    icalproperty* p = icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY);
    if (!p) return std::nullopt;
    Instance instance{UidOf(c), 0};
    const icaltimetype t = icalproperty_get_recurrenceid(p);
    const icaltimezone* zone = reader_.ZoneOf(p, t);
    const auto local = reader_.In(t, zone, target ? target : NameOf(zone).isEmpty() ? nullptr : zone);
    if (instance.uid.isEmpty() || !local) return std::nullopt;
    instance.recurrenceId = local->day + (t.is_date ? 0 : local->Time());
    return instance;
  }

  // The last live or deleted series with this UID, or -1.
  int SeriesOf(const QString& uid) const {
    for (int i = calendar_.NoteCount() - 1; i >= 0; --i) {
      const TNote& note = calendar_.NoteArray[i];
      if (note.Uid == uid && note.RecurrenceId == 0 && RepeatOf(note) != RepeatType::Once) return i;
    }
    return -1;
  }

  // ZoneName, once per zone of the file (a calendar's entries mostly share one zone).
  QString NameOf(const icaltimezone* zone) const {
    const auto [at, added] = zoneNames_.emplace(zone, QString());
    if (added) at->second = ZoneName(zone);
    return at->second;
  }

  DataFormat& calendar_;
  const TimeReader& reader_;
  mutable std::map<const icaltimezone*, QString> zoneNames_;
  TDateTime now_;
  IcsImportResult& result_;
  // The days of each series (by UID) that an instance of the file stands for.
  std::map<QString, std::set<int>> overridden_;
  // The days found for each step shape (StepShape) so far.
  std::map<QByteArray, StepDays> stepDays_;
};

bool ImportTask(DataFormat& calendar, icalcomponent* c, const TimeReader& reader, TDateTime now) {
  TToDo todo;
  todo.Title = FirstText(c, ICAL_SUMMARY_PROPERTY, icalproperty_get_summary);
  if (todo.Title.isEmpty()) return false;
  todo.Category = FirstText(c, ICAL_CATEGORIES_PROPERTY, icalproperty_get_categories);
  todo.Uid = UidOf(c);
  if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_DESCRIPTION_PROPERTY)) {
    const QString text = TextOf(icalproperty_get_description(p));
    if (!text.isEmpty()) todo.Notes = text.split(QLatin1Char('\n'));
  }
  // 1-2 Highest, 3-4 High, 5 and none Normal, 6-7 Low, 8-9 Lowest.
  todo.Priority = 2;
  if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_PRIORITY_PROPERTY)) {
    const int priority = icalproperty_get_priority(p);
    if (priority >= 1 && priority <= 9)
      todo.Priority = priority <= 2 ? 0 : priority <= 4 ? 1 : priority == 5 ? 2 : priority <= 7 ? 3 : 4;
  }
  if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_DUE_PROPERTY)) {
    const icaltimetype t = icalproperty_get_due(p);
    if (const auto local = reader.Local(t, reader.ZoneOf(p, t))) todo.DueDate = local->day;
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
  const auto isInstance = [](icalcomponent* c) {
    return icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY) != nullptr;
  };
  // Instances of a series come in after every series, wherever they stand in the file.
  for (icalcomponent* c = icalcomponent_get_first_component(vcalendar, ICAL_VEVENT_COMPONENT); c;
       c = icalcomponent_get_next_component(vcalendar, ICAL_VEVENT_COMPONENT)) {
    if (isInstance(c)) events.NoteInstance(c);
  }
  for (icalcomponent* c = icalcomponent_get_first_component(vcalendar, ICAL_ANY_COMPONENT); c;
       c = icalcomponent_get_next_component(vcalendar, ICAL_ANY_COMPONENT)) {
    const icalcomponent_kind kind = icalcomponent_isa(c);
    if (kind != ICAL_VEVENT_COMPONENT && kind != ICAL_VTODO_COMPONENT) continue;
    // Lines libical could not read are dropped by it (marked X-LIC-ERROR) and unknown
    // properties are ignored: an entry is skipped only when what it needs is missing.
    if (kind == ICAL_VEVENT_COMPONENT) {
      if (!isInstance(c)) events.Import(c);
    } else if (ImportTask(calendar, c, reader, now)) {
      ++result.tasks;
    } else {
      ++result.skipped;
    }
  }
  for (icalcomponent* c = icalcomponent_get_first_component(vcalendar, ICAL_VEVENT_COMPONENT); c;
       c = icalcomponent_get_next_component(vcalendar, ICAL_VEVENT_COMPONENT)) {
    if (isInstance(c)) events.ImportInstance(c);
  }
}

}  // namespace

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

QString ImportSummary(const IcsImportResult& result, const QString& path) {
  if (!result.ok) return result.error;
  QString line = QStringLiteral("Imported %1 and %2 from %3")
                     .arg(Plural(result.events, "event", "events"), Plural(result.tasks, "task", "tasks"), path);
  QStringList notes;
  if (result.expandedRules)
    notes << QStringLiteral("%1 no pattern expresses brought in as %2")
                 .arg(Plural(result.expandedRules, "rule", "rules"),
                      Plural(result.expandedEvents, "single event", "single events"));
  if (result.skipped) notes << QStringLiteral("%1 skipped").arg(Plural(result.skipped, "entry", "entries"));
  if (!notes.isEmpty()) line += QStringLiteral(" (") + notes.join(QStringLiteral("; ")) + QLatin1Char(')');
  return line;
}
