// Every series the export writes, expanded by libical on its own, falls on exactly the days the
// day query lists: patterns, intervals, ranges, month ends, leap days and weekday sets.
#include "core/dataformat.h"
#include "platform/icalendar.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include <set>

extern "C" {
#include <libical/ical.h>
}

namespace {

struct Range {
  int type, count, endAfter;  // endAfter: days from the start to EndDate (type 2)
};

// Starts on every weekday, on a leap day and at month ends.
const TDateTime Starts[] = {D(2024, 2, 29), D(2024, 1, 31), D(2023, 12, 30), D(2024, 3, 4),
                            D(2024, 4, 30), D(2024, 9, 1),  D(2025, 5, 9)};
// Counts of 6 and 11 end an every-weekday series started midweek where its count skips a day.
const Range DayRanges[] = {{0, 0, 0}, {1, 1, 0}, {1, 5, 0}, {1, 6, 0}, {1, 11, 0}, {2, 0, 45}, {2, 0, 500}};
const Range PeriodRanges[] = {{0, 0, 0}, {1, 0, 0}, {1, 2, 0}, {1, 6, 0}, {2, 0, 500}};

struct Case {
  std::string label;
  TNote note;
};

std::vector<Case> EveryKindOfSeries() {
  std::vector<Case> cases;
  auto add = [&](TDateTime start, int type, int freq, const Range& range, const std::string& what) -> TNote& {
    TNote n;
    n.Title = QString::number(cases.size());
    n.StartDate = start;
    n.RepeatType = type;
    n.RepeatFrequency = freq;
    n.RangeType = range.type;
    n.RangeCount = range.count;
    n.EndDate = start + range.endAfter;
    if (cases.size() % 3 == 0) {  // some timed, so the end is a date-time
      n.Start = true;
      n.StartTime = EncodeTime(9, 30);
      n.EndTime = EncodeTime(10, 30);
    }
    const std::string label = FormatDateTime("yyyy-mm-dd", start).toStdString() + " type " + std::to_string(type) +
                              " every " + std::to_string(freq) + " " + what + " range " + std::to_string(range.type) +
                              "/" + std::to_string(range.count) + "/" + std::to_string(range.endAfter);
    cases.push_back({label, n});
    return cases.back().note;
  };
  auto text = [](auto... numbers) { return ((" " + std::to_string(numbers)) + ...); };
  for (const TDateTime start : Starts) {
    int y, m, d;
    DecodeDate(start, y, m, d);
    for (const Range& r : DayRanges) {
      add(start, 2, 1, r, "weekdays");
      // Exceptions on the day after the start and on the day a count of 6 passes over.
      add(start, 2, 1, r, "weekdays with exceptions").Exceptions = {start + 1, start + 6};
      for (int f = 1; f <= 3; ++f) {
        add(start, 1, f, r, "days");
        for (const char* set : {"1", "15", "24", "67", "3", "1234567"}) {
          TNote& n = add(start, 3, f, r, std::string("weeks on ") + set);
          for (const char* w = set; *w; ++w) n.SetRepeatOn(*w - '0', true);
        }
      }
    }
    for (const Range& r : PeriodRanges) {
      for (int f = 1; f <= 3; ++f) {
        for (const int day : std::set{d, 29, 30, 31}) {
          for (const int month : std::set{m, m % 12 + 1, 8, 12}) {
            TNote& n = add(start, 4, f, r, "day and first month" + text(day, month));
            n.RepeatDay = day;
            n.RepeatMonth = month;
          }
        }
        for (const int cardinal : {0, 1, 3, 4, 5}) {
          for (const int weekday : {0, 4, 5}) {
            TNote& n = add(start, 5, f, r, "cardinal and weekday" + text(cardinal, weekday));
            n.RepeatCardinal = cardinal;
            n.RepeatDay = weekday;
          }
        }
      }
      for (const auto& [day, month] : {std::pair{29, 1}, {31, 0}, {30, 3}, {28, 1}, {1, 2}, {31, 11}, {d, m - 1}}) {
        TNote& n = add(start, 6, 1, r, "day and month index" + text(day, month));
        n.RepeatDay = day;
        n.RepeatMonth = month;
      }
      for (const int cardinal : {0, 2, 4}) {
        for (const int weekday : {1, 6}) {
          for (const int month : {1, 10, m - 1}) {
            TNote& n = add(start, 7, 1, r, "cardinal, weekday and month index" + text(cardinal, weekday, month));
            n.RepeatCardinal = cardinal;
            n.RepeatDay = weekday;
            n.RepeatMonth = month;
          }
        }
      }
    }
  }
  return cases;
}

int DayOf(const icaltimetype& t) { return static_cast<int>(D(t.year, t.month, t.day)); }

// The days of one VEVENT from first to last: DTSTART, what its RRULE gives and its RDATEs,
// less its EXDATEs.
std::set<int> ExpandedDays(icalcomponent* event, int first, int last) {
  std::set<int> days, excluded;
  const icaltimetype start = icalcomponent_get_dtstart(event);
  days.insert(DayOf(start));
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); p;
       p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
    icalrecur_iterator* it = icalrecur_iterator_new(icalproperty_get_rrule(p), start);
    for (icaltimetype t = icalrecur_iterator_next(it); !icaltime_is_null_time(t) && DayOf(t) <= last;
         t = icalrecur_iterator_next(it))
      days.insert(DayOf(t));
    icalrecur_iterator_free(it);
  }
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); p;
       p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY))
    days.insert(DayOf(icalproperty_get_rdate(p).time));
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p;
       p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY))
    excluded.insert(DayOf(icalproperty_get_exdate(p)));
  std::set<int> kept;
  for (const int day : days)
    if (day >= first && day <= last && !excluded.count(day)) kept.insert(day);
  return kept;
}

std::string Days(const std::vector<int>& days) {
  std::string text;
  for (size_t i = 0; i < days.size() && i < 4; ++i) text += " " + FormatDateTime("yyyy-mm-dd", days[i]).toStdString();
  return days.size() > 4 ? text + " ..." : text;
}

TEST(ICalendarSeries, ExportedRulesGiveTheDaysTheDayQueryListsOverTenYears) {
  const std::vector<Case> cases = EveryKindOfSeries();
  FixedClock clock(DT(2024, 1, 1, 10, 0));
  DataFormat calendar(clock);
  for (const Case& c : cases) {
    TNote& n = calendar.NoteArray[calendar.AppendNote()];
    const TDateTime modified = n.ModifyDate;
    n = c.note;
    n.ModifyDate = modified;
  }
  QTemporaryDir dir;
  const QString path = dir.filePath("series.ics");
  ASSERT_TRUE(ExportICalendar(calendar, path, clock.Now()).ok);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  icalcomponent* root = icalparser_parse_string(text.constData());
  ASSERT_NE(root, nullptr);

  const int first = static_cast<int>(D(2023, 12, 1)), last = static_cast<int>(D(2033, 11, 30));
  std::vector<std::set<int>> exported(cases.size());
  for (icalcomponent* e = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT)) {
    const size_t index = std::stoul(icalcomponent_get_summary(e));
    ASSERT_LT(index, cases.size());
    exported[index] = ExpandedDays(e, first, last);
  }
  icalcomponent_free(root);

  int wrong = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    std::vector<int> missing, extra;
    for (int day = first; day <= last; ++day) {
      const bool listed = calendar.NoteOccursOn(static_cast<int>(i), day);
      if (listed != static_cast<bool>(exported[i].count(day))) (listed ? missing : extra).push_back(day);
    }
    if (missing.empty() && extra.empty()) continue;
    if (++wrong <= 25)
      ADD_FAILURE() << cases[i].label << (cases[i].note.Start ? " timed" : "") << ": missing" << Days(missing)
                    << "; extra" << Days(extra);
  }
  EXPECT_EQ(wrong, 0) << "of " << cases.size() << " series";
}

// An import reuses the days (or, monthly and yearly, the months, also of rules on the nth
// weekday) one rule gave for the next rule of the same shape, with or without an end, also
// past those found (a start decades earlier, a distant UNTIL): a calendar of many such rules
// comes in exactly as each of its events does alone. Starts near the years libical stops
// at, and an UNTIL in UTC, are left to libical.
TEST(ICalendarSeries, RulesOfOneShapeComeInTogetherAsEachDoesAlone) {
  const char* const rules[] = {"FREQ=DAILY",
                               "FREQ=DAILY;INTERVAL=3",
                               "FREQ=WEEKLY",
                               "FREQ=WEEKLY;BYDAY=MO,WE",
                               "FREQ=WEEKLY;INTERVAL=2;BYDAY=TU,SA;WKST=SU",
                               "FREQ=DAILY;BYMONTH=3",
                               "FREQ=DAILY;COUNT=40;INTERVAL=2",
                               "FREQ=WEEKLY;COUNT=9;BYDAY=TU,SA",
                               "FREQ=DAILY;UNTIL=20270115",
                               "FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20290611T080000",
                               "FREQ=WEEKLY;INTERVAL=2;BYDAY=TU,SA;WKST=SU;UNTIL=20800101T000000",
                               "FREQ=DAILY;INTERVAL=3;UNTIL=20270116T120000Z",
                               "FREQ=MONTHLY;BYMONTHDAY=15",
                               "FREQ=MONTHLY;INTERVAL=2;COUNT=7",
                               "FREQ=MONTHLY;INTERVAL=3;BYMONTHDAY=3;UNTIL=20290603T080000",
                               "FREQ=YEARLY",
                               "FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=10",
                               "FREQ=YEARLY;BYMONTHDAY=7",
                               "FREQ=YEARLY;INTERVAL=2;BYMONTH=12;BYMONTHDAY=14;COUNT=5",
                               "FREQ=YEARLY;BYMONTH=7;UNTIL=20300101T000000",
                               "FREQ=MONTHLY;BYDAY=1WE",
                               "FREQ=MONTHLY;BYDAY=-1FR;COUNT=6",
                               "FREQ=MONTHLY;INTERVAL=2;BYDAY=4TH;UNTIL=20280101T000000",
                               "FREQ=MONTHLY;BYDAY=5WE",
                               "FREQ=YEARLY;BYDAY=1TH;BYMONTH=3",
                               "FREQ=YEARLY;BYDAY=-1SU"};
  const char* const starts[] = {"20150304", "20240229", "20240307", "20261207", "20261214",
                                "20280101", "19890702", "20260520", "25811230"};
  QByteArrayList events;
  for (const char* rule : rules) {
    for (const char* start : starts) {
      const int i = int(events.size());
      const QByteArray time = i % 2 ? QByteArray("T233000") : QByteArray("T080000");
      QByteArray event = "BEGIN:VEVENT\r\nUID:shape-" + QByteArray::number(i) + "\r\nDTSTAMP:20261201T000000Z\r\n" +
                         "DTSTART:" + start + time + "\r\nSUMMARY:e" + QByteArray::number(i) + "\r\nRRULE:" + rule +
                         "\r\n";
      if (i % 3 == 0) event += "EXDATE:" + QByteArray(start).left(4) + "1231" + time + "\r\n";
      events << event + "END:VEVENT\r\n";
    }
  }
  const auto file = [](const QByteArrayList& entries) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\n" + entries.join() + "END:VCALENDAR\r\n";
  };
  FixedClock clock(DT(2026, 12, 7, 10, 0));
  DataFormat together(clock), alone(clock);
  const IcsImportResult all = ImportICalendarText(together, file(events), clock.Now());
  ASSERT_EQ(all.events + all.expandedRules, int(events.size()));  // the March-only rule comes in as days
  for (const QByteArray& event : events) ImportICalendarText(alone, file({event}), clock.Now());
  ASSERT_EQ(together.NoteCount(), alone.NoteCount());
  for (int i = 0; i < together.NoteCount(); ++i)
    EXPECT_EQ(together.NoteArray[i], alone.NoteArray[i]) << together.NoteArray[i].Title.toStdString();
}

}  // namespace
