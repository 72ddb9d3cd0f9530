// iCalendar export and import: the round trip by occurrences, files in the forms other
// programs write, importing twice, and broken files.
#include "core/dataformat.h"
#include "platform/icalendar.h"
#include "support/testutil.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Every pattern, range and exception, with titles that name them.
void FillEveryPattern(DataFormat& calendar) {
  auto add = [&](const QString& title, TDateTime start, int type, const std::function<void(TNote&)>& more = {}) {
    TNote& n = calendar.NoteArray[calendar.AppendNote()];
    n.Title = title;
    n.StartDate = start;
    n.RepeatType = type;
    n.RepeatFrequency = 1;
    n.ModifyDate = 0.5;
    if (more) more(n);
  };
  auto timed = [](TNote& n, int h, int m) {
    n.Start = true;
    n.StartTime = EncodeTime(h, m);
    n.EndTime = EncodeTime(h + 1, m);
  };
  // One time.
  add("once", D(2024, 3, 5), 0);
  add("once timed with alarm", D(2024, 3, 6), 0, [&](TNote& n) {
    timed(n, 9, 30);
    n.Alarm = true;
    n.AlarmTime = EncodeTime(9, 15);
  });
  add("span 3", D(2024, 4, 10), 0, [](TNote& n) { n.Span = true; n.SpanRange = 3; });
  add("span with hidden day", D(2024, 5, 10), 0, [](TNote& n) {
    n.Span = true;
    n.SpanRange = 4;
    n.Exceptions = {D(2024, 5, 11)};
  });
  add("once plus a day", D(2024, 6, 1), 0, [](TNote& n) { n.Exceptions = {D(2024, 6, 3)}; });
  add("once hidden", D(2024, 6, 2), 0, [](TNote& n) { n.Exceptions = {D(2024, 6, 2)}; });
  // Every N days.
  add("every 3 days", D(2024, 1, 2), 1, [](TNote& n) { n.RepeatFrequency = 3; });
  add("every 2 days x5", D(2024, 1, 1), 1, [&](TNote& n) {
    n.RepeatFrequency = 2;
    n.RangeType = 1;
    n.RangeCount = 5;
    timed(n, 7, 0);
  });
  add("daily until", D(2024, 2, 1), 1, [](TNote& n) {
    n.RangeType = 2;
    n.EndDate = D(2024, 2, 20);
    n.Exceptions = {D(2024, 2, 5), D(2024, 2, 25), D(2024, 1, 20)};
  });
  // Every weekday.
  add("weekdays from Monday x7", D(2024, 1, 8), 2, [](TNote& n) { n.RangeType = 1; n.RangeCount = 7; });
  add("weekdays from Wednesday x5", D(2024, 1, 10), 2, [](TNote& n) { n.RangeType = 1; n.RangeCount = 5; });
  add("weekdays from Saturday", D(2024, 1, 13), 2, [&](TNote& n) { timed(n, 8, 0); });
  add("weekdays until", D(2024, 3, 1), 2, [](TNote& n) {
    n.RangeType = 2;
    n.EndDate = D(2024, 4, 1);
    n.Exceptions = {D(2024, 3, 4), D(2024, 3, 9)};
  });
  // Every N weeks on flagged days.
  add("every 2 weeks Mon Fri from Wednesday", D(2024, 1, 3), 3, [](TNote& n) {
    n.RepeatFrequency = 2;
    n.RepeatMonday = n.RepeatFriday = true;
  });
  add("weekly Tue Thu x6", D(2024, 2, 1), 3, [](TNote& n) {
    n.RepeatTuesday = n.RepeatThursday = true;
    n.RangeType = 1;
    n.RangeCount = 6;
  });
  add("every 3 weeks Sat Sun x4 from Friday", D(2024, 3, 8), 3, [](TNote& n) {
    n.RepeatFrequency = 3;
    n.RepeatSaturday = n.RepeatSunday = true;
    n.RangeType = 1;
    n.RangeCount = 4;
  });
  // Day D of every N months.
  add("day 31 every 2 months", D(2024, 1, 31), 4, [](TNote& n) {
    n.RepeatFrequency = 2;
    n.RepeatDay = 31;
    n.RepeatMonth = 1;
  });
  add("day 5 from the 10th x3", D(2024, 1, 10), 4, [](TNote& n) {
    n.RepeatDay = 5;
    n.RepeatMonth = 1;
    n.RangeType = 1;
    n.RangeCount = 3;
  });
  add("day 15 every 3 months until", D(2024, 2, 15), 4, [](TNote& n) {
    n.RepeatFrequency = 3;
    n.RepeatDay = 15;
    n.RepeatMonth = 2;
    n.RangeType = 2;
    n.EndDate = D(2025, 6, 1);
  });
  add("day 20 every 5 months from December", D(2023, 12, 20), 4, [](TNote& n) {
    n.RepeatFrequency = 5;
    n.RepeatDay = 20;
    n.RepeatMonth = 12;
  });
  // Nth weekday of every N months.
  add("last Friday monthly", D(2024, 1, 1), 5, [](TNote& n) { n.RepeatCardinal = 4; n.RepeatDay = 5; });
  add("second Tuesday every 2 months x4", D(2024, 1, 1), 5, [](TNote& n) {
    n.RepeatFrequency = 2;
    n.RepeatCardinal = 1;
    n.RepeatDay = 2;
    n.RangeType = 1;
    n.RangeCount = 4;
  });
  add("first Sunday monthly with exceptions", D(2024, 1, 1), 5, [](TNote& n) {
    n.RepeatCardinal = 0;
    n.RepeatDay = 0;
    n.Exceptions = {D(2024, 2, 4), D(2024, 2, 5)};
  });
  // Yearly by day.
  add("29 February", D(2024, 1, 1), 6, [](TNote& n) { n.RepeatDay = 29; n.RepeatMonth = 1; });
  add("4 July x1", D(2024, 1, 1), 6, [](TNote& n) {
    n.RepeatDay = 4;
    n.RepeatMonth = 6;
    n.RangeType = 1;
    n.RangeCount = 1;
  });
  add("25 December from summer", D(2024, 7, 1), 6, [](TNote& n) { n.RepeatDay = 25; n.RepeatMonth = 11; });
  // Yearly by nth weekday.
  add("fourth Thursday of November", D(2024, 1, 1), 7, [](TNote& n) {
    n.RepeatCardinal = 3;
    n.RepeatDay = 4;
    n.RepeatMonth = 10;
  });
  add("last Monday of May x2", D(2024, 1, 1), 7, [](TNote& n) {
    n.RepeatCardinal = 4;
    n.RepeatDay = 1;
    n.RepeatMonth = 4;
    n.RangeType = 1;
    n.RangeCount = 2;
  });
  // A series that ends before it starts, shown only on its added day.
  add("ended series with added day", D(2024, 5, 1), 1, [](TNote& n) {
    n.RangeType = 2;
    n.EndDate = D(2024, 4, 1);
    n.Exceptions = {D(2024, 5, 7)};
  });
  // Per-day notes.
  add("with day notes", D(2024, 1, 1), 1, [](TNote& n) {
    n.RepeatFrequency = 7;
    n.RecurNotes = {{QStringLiteral("first, with; odd: chars\r\nand a line"), D(2024, 1, 8)},
                    {QStringLiteral("second"), D(2024, 1, 15)}};
  });
  // A deleted event goes nowhere.
  add("deleted", D(2024, 1, 1), 1, [](TNote& n) { n.DeleteDate = DT(2024, 1, 1, 12, 0); });
}

QStringList TitlesOn(DataFormat& calendar, TDateTime day) {
  QStringList titles;
  for (int i : calendar.FindDayEvents(day)) titles << calendar.NoteArray[i].Title;
  titles.sort();
  return titles;
}

class ICalendar : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  QString File(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
  QString Write(const QString& name, const QByteArray& text) {
    QFile file(File(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return File(name);
  }

  QTemporaryDir dir_;
  FixedClock clock_{DT(2024, 1, 1, 10, 0)};
};

TEST_F(ICalendar, ExportThenImportGivesTheSameEventsOnEveryDayOfThreeYears) {
  DataFormat original(clock_);
  FillEveryPattern(original);
  const IcsExportResult exported = ExportICalendar(original, File("all.ics"), clock_.Now());
  ASSERT_TRUE(exported.ok) << exported.error.toStdString();
  // All but the deleted one and the one that falls on no day.
  EXPECT_EQ(exported.events, original.NoteCount() - 2);
  EXPECT_EQ(exported.skipped, 1);

  DataFormat imported(clock_);
  const IcsImportResult result = ImportICalendar(imported, File("all.ics"), clock_.Now());
  ASSERT_TRUE(result.ok) << result.error.toStdString();
  EXPECT_EQ(result.events, exported.events);
  EXPECT_EQ(result.expandedRules, 0);
  EXPECT_EQ(result.skipped, 0);
  EXPECT_EQ(imported.NoteCount(), exported.events);

  for (TDateTime day = D(2023, 12, 1); day <= D(2026, 12, 31); day += 1)
    ASSERT_EQ(TitlesOn(imported, day), TitlesOn(original, day)) << FormatDateTime("yyyy-mm-dd", day).toStdString();
}

TEST_F(ICalendar, RoundTripKeepsTextsTimesAlarmsAndDayNotes) {
  DataFormat original(clock_);
  FillEveryPattern(original);
  TNote& first = original.NoteArray[1];
  first.Location = QStringLiteral("Room 4, upstairs");
  first.Category = QStringLiteral("Work");
  first.Notes = QStringLiteral("line one\r\nline two; with, commas");
  ASSERT_TRUE(ExportICalendar(original, File("all.ics"), clock_.Now()).ok);
  DataFormat imported(clock_);
  ASSERT_TRUE(ImportICalendar(imported, File("all.ics"), clock_.Now()).ok);

  for (const TNote& before : original.NoteArray) {
    if (before.DeleteDate != 0 || before.Title == QLatin1String("once hidden")) continue;
    SCOPED_TRACE(before.Title.toStdString());
    const auto after = std::find_if(imported.NoteArray.begin(), imported.NoteArray.end(),
                                    [&](const TNote& n) { return n.Title == before.Title; });
    ASSERT_NE(after, imported.NoteArray.end());
    EXPECT_EQ(after->StartDate, before.StartDate);
    EXPECT_EQ(after->RepeatType, before.RepeatType);
    EXPECT_EQ(after->Start, before.Start);
    EXPECT_EQ(after->StartTime, before.StartTime);
    if (before.Start) {
      EXPECT_EQ(after->EndTime, before.EndTime);
    }
    EXPECT_EQ(after->Alarm, before.Alarm);
    if (before.Alarm) {
      EXPECT_EQ(after->AlarmTime, before.AlarmTime);
    }
    EXPECT_EQ(after->Location, before.Location);
    EXPECT_EQ(after->Category, before.Category);
    EXPECT_EQ(after->Notes, before.Notes);
    EXPECT_EQ(after->RecurNotes, before.RecurNotes);
    EXPECT_EQ(after->ModifyDate, before.ModifyDate);
  }
}

TEST_F(ICalendar, TasksKeepPriorityDueDateAndCompletion) {
  DataFormat original(clock_);
  for (int priority = 0; priority <= 4; ++priority) {
    TToDo& t = original.ToDoArray[original.AppendToDo()];
    t.Title = QStringLiteral("task %1").arg(priority);
    t.Priority = priority;
    t.Category = QStringLiteral("Home");
    t.Notes = {QStringLiteral("one"), QStringLiteral("two")};
    t.DueDate = priority % 2 ? D(2024, 2, priority) : 0;
    t.Completed = priority == 3;
    t.ModifyDate = DT(2023, 12, 1, 8, 0);
  }
  original.ToDoArray[original.AppendToDo()].Title = QStringLiteral("deleted");
  original.ToDoArray.back().DeleteDate = DT(2024, 1, 1, 9, 0);
  const IcsExportResult exported = ExportICalendar(original, File("tasks.ics"), clock_.Now());
  ASSERT_TRUE(exported.ok);
  EXPECT_EQ(exported.tasks, 5);

  QFile file(File("tasks.ics"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  for (const char* priority : {"PRIORITY:1", "PRIORITY:3", "PRIORITY:5", "PRIORITY:7", "PRIORITY:9"})
    EXPECT_TRUE(text.contains(priority)) << priority;
  EXPECT_TRUE(text.contains("STATUS:COMPLETED"));

  DataFormat imported(clock_);
  const IcsImportResult result = ImportICalendar(imported, File("tasks.ics"), clock_.Now());
  EXPECT_EQ(result.tasks, 5);
  ASSERT_EQ(imported.ToDoCount(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(imported.ToDoArray[i], original.ToDoArray[i]);
  EXPECT_EQ(imported.OpenToDoCount, 4);
}

TEST_F(ICalendar, ImportingTwiceAddsNothing) {
  DataFormat original(clock_);
  FillEveryPattern(original);
  ASSERT_TRUE(ExportICalendar(original, File("all.ics"), clock_.Now()).ok);
  // Into the calendar it came from every event is recognised at once; into another, at the second import.
  DataFormat other(clock_);
  for (DataFormat* calendar : {&original, &other}) {
    const int before = calendar->NoteCount();
    ASSERT_TRUE(ImportICalendar(*calendar, File("all.ics"), clock_.Now()).ok);
    const int once = calendar->NoteCount();
    EXPECT_EQ(once == before, calendar == &original);
    ASSERT_TRUE(ImportICalendar(*calendar, File("all.ics"), clock_.Now()).ok);
    EXPECT_EQ(calendar->NoteCount(), once);
  }
}

// --- Files as other programs write them.

QByteArray Calendar(const QByteArray& body) {
  QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Program//EN\r\n" + body + "END:VCALENDAR\r\n";
  return text.replace("\n", "\r\n").replace("\r\r\n", "\r\n");
}

const QByteArray BerlinZone =
    "BEGIN:VTIMEZONE\nTZID:Europe/Berlin\n"
    "BEGIN:DAYLIGHT\nTZOFFSETFROM:+0100\nTZOFFSETTO:+0200\nTZNAME:CEST\nDTSTART:19700329T020000\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\nEND:DAYLIGHT\n"
    "BEGIN:STANDARD\nTZOFFSETFROM:+0200\nTZOFFSETTO:+0100\nTZNAME:CET\nDTSTART:19701025T030000\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\nEND:STANDARD\nEND:VTIMEZONE\n";

struct FixtureCase {
  const char* name;
  QByteArray body;
  QList<TDateTime> days;     // the event falls on these days
  QList<TDateTime> notDays;  // and not on these
  int startHour = -1;        // local start hour when timed
};

class ICalendarFixture : public ICalendar, public ::testing::WithParamInterface<FixtureCase> {};

TEST_P(ICalendarFixture, EventsComeInOnTheirDays) {
  const FixtureCase& c = GetParam();
  DataFormat calendar(clock_);
  const IcsImportResult result = ImportICalendar(calendar, Write("in.ics", Calendar(c.body)), clock_.Now());
  ASSERT_TRUE(result.ok) << result.error.toStdString();
  EXPECT_EQ(result.events, 1);
  EXPECT_EQ(result.skipped, 0);
  EXPECT_EQ(result.expandedRules, 0);
  ASSERT_EQ(calendar.NoteCount(), 1);
  for (TDateTime day : c.days)
    EXPECT_EQ(TitlesOn(calendar, day), QStringList{QStringLiteral("E")}) << FormatDateTime("yyyy-mm-dd", day).toStdString();
  for (TDateTime day : c.notDays)
    EXPECT_TRUE(TitlesOn(calendar, day).isEmpty()) << FormatDateTime("yyyy-mm-dd", day).toStdString();
  const TNote& note = calendar.NoteArray[0];
  if (c.startHour >= 0) {
    EXPECT_TRUE(note.Start);
    int h, m, s, ms;
    DecodeTime(note.StartTime, h, m, s, ms);
    EXPECT_EQ(h, c.startHour);
  } else {
    EXPECT_FALSE(note.Start);
  }
}

INSTANTIATE_TEST_SUITE_P(
    OtherPrograms, ICalendarFixture,
    ::testing::Values(
        FixtureCase{"AllDayDates",
                    "BEGIN:VEVENT\nUID:a\nDTSTAMP:20240101T000000Z\nSUMMARY:E\nDTSTART;VALUE=DATE:20240310\n"
                    "DTEND;VALUE=DATE:20240313\nEND:VEVENT\n",
                    {D(2024, 3, 10), D(2024, 3, 11), D(2024, 3, 12)}, {D(2024, 3, 9), D(2024, 3, 13)}},
        FixtureCase{"UtcTime",
                    "BEGIN:VEVENT\nUID:b\nDTSTAMP:20240101T000000Z\nSUMMARY:E\nDTSTART:20240615T140000Z\n"
                    "DTEND:20240615T150000Z\nEND:VEVENT\n",
                    {D(2024, 6, 15)}, {D(2024, 6, 14), D(2024, 6, 16)}, 10},
        FixtureCase{"UtcTimeOnTheDayBefore",
                    "BEGIN:VEVENT\nUID:c\nDTSTAMP:20240101T000000Z\nSUMMARY:E\nDTSTART:20240115T020000Z\n"
                    "END:VEVENT\n",
                    {D(2024, 1, 14)}, {D(2024, 1, 15)}, 21},
        FixtureCase{"TzidWithItsZone",
                    BerlinZone + "BEGIN:VEVENT\nUID:d\nDTSTAMP:20240101T000000Z\nSUMMARY:E\n"
                                 "DTSTART;TZID=Europe/Berlin:20240702T180000\n"
                                 "DTEND;TZID=Europe/Berlin:20240702T190000\nEND:VEVENT\n",
                    {D(2024, 7, 2)}, {D(2024, 7, 3)}, 12},
        FixtureCase{"WeeklyTzidWithExdateList",
                    BerlinZone + "BEGIN:VEVENT\nUID:e\nDTSTAMP:20240101T000000Z\nSUMMARY:E\n"
                                 "DTSTART;TZID=Europe/Berlin:20240108T100000\n"
                                 "RRULE:FREQ=WEEKLY;BYDAY=MO,WE\n"
                                 "EXDATE;TZID=Europe/Berlin:20240110T100000,20240115T100000\nEND:VEVENT\n",
                    {D(2024, 1, 8), D(2024, 1, 17), D(2024, 1, 22)},
                    {D(2024, 1, 9), D(2024, 1, 10), D(2024, 1, 15), D(2024, 1, 7)}, 4},
        FixtureCase{"LastFridayBySetPos",
                    "BEGIN:VEVENT\nUID:f\nDTSTAMP:20240101T000000Z\nSUMMARY:E\nDTSTART;VALUE=DATE:20240126\n"
                    "RRULE:FREQ=MONTHLY;BYDAY=FR;BYSETPOS=-1\nEND:VEVENT\n",
                    {D(2024, 1, 26), D(2024, 3, 29), D(2024, 5, 31)}, {D(2024, 3, 22), D(2024, 5, 24)}},
        FixtureCase{"SecondTuesdayWithCount",
                    "BEGIN:VEVENT\nUID:g\nDTSTAMP:20240101T000000Z\nSUMMARY:E\nDTSTART:20240109T090000\n"
                    "RRULE:FREQ=MONTHLY;BYDAY=2TU;COUNT=3\nEND:VEVENT\n",
                    {D(2024, 1, 9), D(2024, 2, 13), D(2024, 3, 12)}, {D(2024, 4, 9)}, 9},
        FixtureCase{"YearlyUntil",
                    "BEGIN:VEVENT\nUID:h\nDTSTAMP:20240101T000000Z\nSUMMARY:E\nDTSTART;VALUE=DATE:20240504\n"
                    "RRULE:FREQ=YEARLY;UNTIL=20250504\nEND:VEVENT\n",
                    {D(2024, 5, 4), D(2025, 5, 4)}, {D(2026, 5, 4)}},
        FixtureCase{"EveryTwoWeeksFromMidWeek",
                    "BEGIN:VEVENT\nUID:i\nDTSTAMP:20240101T000000Z\nSUMMARY:E\nDTSTART;VALUE=DATE:20240103\n"
                    "RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE\nEND:VEVENT\n",
                    {D(2024, 1, 3), D(2024, 1, 15), D(2024, 1, 17)}, {D(2024, 1, 1), D(2024, 1, 8), D(2024, 1, 10)}},
        FixtureCase{"DailyWeekdays",
                    "BEGIN:VEVENT\nUID:j\nDTSTAMP:20240101T000000Z\nSUMMARY:E\nDTSTART;VALUE=DATE:20240105\n"
                    "RRULE:FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR\nRDATE;VALUE=DATE:20240106\nEND:VEVENT\n",
                    {D(2024, 1, 5), D(2024, 1, 6), D(2024, 1, 8)}, {D(2024, 1, 7), D(2024, 1, 13)}}),
    [](const ::testing::TestParamInfo<FixtureCase>& info) { return std::string(info.param.name); });

TEST_F(ICalendar, TasksFromOtherPrograms) {
  DataFormat calendar(clock_);
  const IcsImportResult result = ImportICalendar(
      calendar,
      Write("tasks.ics", Calendar("BEGIN:VTODO\nUID:1\nDTSTAMP:20240101T000000Z\nSUMMARY:Urgent\nPRIORITY:1\n"
                                  "DUE:20240120T170000Z\nEND:VTODO\n"
                                  "BEGIN:VTODO\nUID:2\nDTSTAMP:20240101T000000Z\nSUMMARY:Done\nPRIORITY:8\n"
                                  "STATUS:COMPLETED\nCOMPLETED:20240102T100000Z\nEND:VTODO\n"
                                  "BEGIN:VTODO\nUID:3\nDTSTAMP:20240101T000000Z\nSUMMARY:Whenever\nEND:VTODO\n")),
      clock_.Now());
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.tasks, 3);
  ASSERT_EQ(calendar.ToDoCount(), 3);
  EXPECT_EQ(calendar.ToDoArray[0].Priority, 0);
  EXPECT_EQ(calendar.ToDoArray[0].DueDate, D(2024, 1, 20));
  EXPECT_FALSE(calendar.ToDoArray[0].Completed);
  EXPECT_EQ(calendar.ToDoArray[1].Priority, 4);
  EXPECT_TRUE(calendar.ToDoArray[1].Completed);
  EXPECT_EQ(calendar.ToDoArray[2].Priority, 2);
  EXPECT_EQ(calendar.ToDoArray[2].DueDate, 0);
  EXPECT_EQ(calendar.OpenToDoCount, 2);
}

TEST_F(ICalendar, RuleNoPatternExpressesComesInAsSingleEventsOverTwoYears) {
  DataFormat calendar(clock_);
  const IcsImportResult result = ImportICalendar(
      calendar,
      Write("twice.ics", Calendar("BEGIN:VEVENT\nUID:1\nDTSTAMP:20240101T000000Z\nSUMMARY:Pay\n"
                                  "DTSTART;VALUE=DATE:20230101\nRRULE:FREQ=MONTHLY;BYMONTHDAY=1,15\nEND:VEVENT\n")),
      clock_.Now());
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.expandedRules, 1);
  EXPECT_EQ(result.expandedEvents, 48);  // 1 January 2024 .. 15 December 2025
  EXPECT_EQ(calendar.NoteCount(), 48);
  EXPECT_EQ(TitlesOn(calendar, D(2024, 1, 15)), QStringList{QStringLiteral("Pay")});
  EXPECT_TRUE(TitlesOn(calendar, D(2024, 1, 16)).isEmpty());
  EXPECT_TRUE(ImportSummary(result, QStringLiteral("x.ics")).contains(QStringLiteral("1 rule no pattern expresses")));
}

TEST_F(ICalendar, BrokenEntriesAreSkippedOneByOne) {
  DataFormat calendar(clock_);
  const IcsImportResult result = ImportICalendar(
      calendar,
      Write("broken.ics",
            Calendar("BEGIN:VEVENT\nUID:1\nSUMMARY:No start\nEND:VEVENT\n"
                     "BEGIN:VEVENT\nUID:2\nSUMMARY:Broken start\nDTSTART:2024XX01\nEND:VEVENT\n"
                     "BEGIN:VEVENT\nUID:3\nSUMMARY:Good\nDTSTART;VALUE=DATE:20240105\nX-UNKNOWN-THING:zzz\n"
                     "FOO;BAR=1:unknown\nEND:VEVENT\n"
                     "BEGIN:VEVENT\nUID:4\nSUMMARY:Huge count\nDTSTART;VALUE=DATE:20240101\n"
                     "RRULE:FREQ=DAILY;COUNT=2000000000\nEND:VEVENT\n"
                     "BEGIN:VEVENT\nUID:5\nSUMMARY:Hourly\nDTSTART:20240101T100000\nRRULE:FREQ=HOURLY\nEND:VEVENT\n"
                     "this line is not a property at all\n"
                     "BEGIN:VTODO\nUID:6\nEND:VTODO\n")),
      clock_.Now());
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.events, 2);   // Good, Huge count
  EXPECT_EQ(result.skipped, 4);  // no start, broken start, hourly, task without a title
  EXPECT_EQ(TitlesOn(calendar, D(2024, 1, 5)), (QStringList{QStringLiteral("Good"), QStringLiteral("Huge count")}));
  EXPECT_EQ(TitlesOn(calendar, D(2030, 1, 5)), QStringList{QStringLiteral("Huge count")});
}

TEST_F(ICalendar, FilesThatAreNotCalendarsChangeNothingAndAnUnwritablePlaceFails) {
  DataFormat calendar(clock_);
  for (const QByteArray& text : {QByteArray(), QByteArray("hello"), QByteArray("BEGIN:VEVENT\nEND:VEVENT\n")}) {
    const IcsImportResult result = ImportICalendarText(calendar, text, clock_.Now());
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
  }
  EXPECT_EQ(calendar.NoteCount(), 0);
  EXPECT_FALSE(ImportICalendar(calendar, File("missing.ics"), clock_.Now()).ok);
  EXPECT_FALSE(calendar.DataChanged);
  const IcsExportResult result = ExportICalendar(calendar, File("no/such/folder/x.ics"), clock_.Now());
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.error.isEmpty());
}

}  // namespace
