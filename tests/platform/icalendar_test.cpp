// iCalendar export and import: the round trip by occurrences, files in the forms other
// programs write, importing twice, and broken files.
#include "platform/icalendar.h"
#include "core/dataformat.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

namespace {

struct Pattern {
  int freq = 1, rangeType = 0, count = 0;
  TDateTime end = 0;
  int day = 0, month = 0, cardinal = 0;
  const char* weekdays = "";  // ISO weekday digits
  int span = 0;
  QList<TDateTime> exceptions = {};
  int hour = -1, minute = 0;  // timed, for an hour
  double alarm = -1;
  bool deleted = false;
};

struct Event {
  const char* title;
  TDateTime start;
  int type;
  Pattern p = {};
};

// Every pattern, range and exception, with titles that name them.
// clang-format off
const Event EveryPattern[] = {
    {"once", D(2024, 3, 5), 0},
    {"once timed with alarm", D(2024, 3, 6), 0, {.hour = 9, .minute = 30, .alarm = EncodeTime(9, 15)}},
    {"span 3", D(2024, 4, 10), 0, {.span = 3}},
    {"span with hidden day", D(2024, 5, 10), 0, {.span = 4, .exceptions = {D(2024, 5, 11)}}},
    {"once plus a day", D(2024, 6, 1), 0, {.exceptions = {D(2024, 6, 3)}}},
    {"once hidden", D(2024, 6, 2), 0, {.exceptions = {D(2024, 6, 2)}}},
    {"every 3 days", D(2024, 1, 2), 1, {.freq = 3}},
    {"every 2 days x5", D(2024, 1, 1), 1, {.freq = 2, .rangeType = 1, .count = 5, .hour = 7}},
    {"daily until", D(2024, 2, 1), 1, {.rangeType = 2, .end = D(2024, 2, 20), .exceptions = {D(2024, 2, 5), D(2024, 2, 25), D(2024, 1, 20)}}},
    {"weekdays from Monday x7", D(2024, 1, 8), 2, {.rangeType = 1, .count = 7}},
    {"weekdays from Wednesday x5", D(2024, 1, 10), 2, {.rangeType = 1, .count = 5}},
    {"weekdays from Saturday", D(2024, 1, 13), 2, {.hour = 8}},
    {"weekdays until", D(2024, 3, 1), 2, {.rangeType = 2, .end = D(2024, 4, 1), .exceptions = {D(2024, 3, 4), D(2024, 3, 9)}}},
    {"every 2 weeks Mon Fri from Wednesday", D(2024, 1, 3), 3, {.freq = 2, .weekdays = "15"}},
    {"weekly Tue Thu x6", D(2024, 2, 1), 3, {.rangeType = 1, .count = 6, .weekdays = "24"}},
    {"every 3 weeks Sat Sun x4 from Friday", D(2024, 3, 8), 3, {.freq = 3, .rangeType = 1, .count = 4, .weekdays = "67"}},
    {"day 31 every 2 months", D(2024, 1, 31), 4, {.freq = 2, .day = 31, .month = 1}},
    {"day 5 from the 10th x3", D(2024, 1, 10), 4, {.rangeType = 1, .count = 3, .day = 5, .month = 1}},
    {"day 15 every 3 months until", D(2024, 2, 15), 4, {.freq = 3, .rangeType = 2, .end = D(2025, 6, 1), .day = 15, .month = 2}},
    {"day 20 every 5 months from December", D(2023, 12, 20), 4, {.freq = 5, .day = 20, .month = 12}},
    {"last Friday monthly", D(2024, 1, 1), 5, {.day = 5, .cardinal = 4}},
    {"second Tuesday every 2 months x4", D(2024, 1, 1), 5, {.freq = 2, .rangeType = 1, .count = 4, .day = 2, .cardinal = 1}},
    {"first Sunday monthly with exceptions", D(2024, 1, 1), 5, {.exceptions = {D(2024, 2, 4), D(2024, 2, 5)}}},
    {"29 February", D(2024, 1, 1), 6, {.day = 29, .month = 1}},
    {"4 July x1", D(2024, 1, 1), 6, {.rangeType = 1, .count = 1, .day = 4, .month = 6}},
    {"25 December from summer", D(2024, 7, 1), 6, {.day = 25, .month = 11}},
    {"fourth Thursday of November", D(2024, 1, 1), 7, {.day = 4, .month = 10, .cardinal = 3}},
    {"last Monday of May x2", D(2024, 1, 1), 7, {.rangeType = 1, .count = 2, .day = 1, .month = 4, .cardinal = 4}},
    // A series that ends before it starts, shown only on its added day.
    {"ended series with added day", D(2024, 5, 1), 1, {.rangeType = 2, .end = D(2024, 4, 1), .exceptions = {D(2024, 5, 7)}}},
    {"with day notes", D(2024, 1, 1), 1, {.freq = 7}},
    {"deleted", D(2024, 1, 1), 1, {.deleted = true}},  // goes nowhere
};
// clang-format on

void FillEveryPattern(DataFormat& calendar) {
  for (const Event& e : EveryPattern) {
    TNote& n = calendar.NoteArray[calendar.AppendNote()];
    n.Title = e.title;
    n.StartDate = e.start;
    n.RepeatType = e.type;
    n.ModifyDate = 0.5;
    n.RepeatFrequency = e.p.freq;
    n.RangeType = e.p.rangeType;
    n.RangeCount = e.p.count;
    n.EndDate = e.p.end;
    n.RepeatDay = e.p.day;
    n.RepeatMonth = e.p.month;
    n.RepeatCardinal = e.p.cardinal;
    for (const char* w = e.p.weekdays; *w; ++w) n.SetRepeatOn(*w - '0', true);
    n.Span = e.p.span > 0;
    n.SpanRange = e.p.span;
    n.Exceptions = e.p.exceptions;
    if (e.p.hour >= 0) {
      n.Start = true;
      n.StartTime = EncodeTime(e.p.hour, e.p.minute);
      n.EndTime = EncodeTime(e.p.hour + 1, e.p.minute);
    }
    n.Alarm = e.p.alarm >= 0;
    n.AlarmTime = std::max(e.p.alarm, 0.0);
    if (e.p.deleted) n.DeleteDate = DT(2024, 1, 1, 12, 0);
  }
  TNote& notes = calendar.NoteArray[calendar.NoteCount() - 2];
  notes.RecurNotes = {{"first, with; odd: chars\r\nand a line", D(2024, 1, 8)}, {"second", D(2024, 1, 15)}};
  TNote& first = calendar.NoteArray[1];
  first.Location = "Room 4, upstairs";
  first.Category = "Work";
  first.Notes = "line one\r\nline two; with, commas";
}

QStringList TitlesOn(DataFormat& calendar, TDateTime day) {
  QStringList titles;
  for (int i : calendar.FindDayEvents(day)) titles << calendar.NoteArray[i].Title;
  titles.sort();
  return titles;
}

class ICalendar : public ::testing::Test {
 protected:
  // Exports the calendar to the test's file and gives the file's text.
  QByteArray Exported(DataFormat& calendar) {
    const IcsExportResult result = ExportICalendar(calendar, file_, clock_.Now());
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    QFile file(file_);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  QTemporaryDir dir_;
  const QString file_ = dir_.filePath("all.ics");
  FixedClock clock_{DT(2024, 1, 1, 10, 0)};
};

TEST_F(ICalendar, ExportThenImportGivesTheSameEventsOnEveryDayOfThreeYearsAndTheSameTasks) {
  DataFormat original(clock_);
  FillEveryPattern(original);
  // Priority 5 is none of the five: it goes out, and comes back, as Normal.
  for (int priority = 0; priority <= 6; ++priority) {
    TToDo& t = original.ToDoArray[original.AppendToDo()];
    t.Title = QString("task %1").arg(priority);
    t.Priority = priority;
    t.Category = "Home";
    t.Notes = {"one", "two"};
    t.DueDate = priority % 2 ? D(2024, 2, priority) : 0;
    t.Completed = priority == 3;
    t.ModifyDate = DT(2023, 12, 1, 8, 0);
    t.DeleteDate = priority == 6 ? DT(2024, 1, 1, 9, 0) : 0;  // goes nowhere
  }
  const IcsExportResult exported = ExportICalendar(original, file_, clock_.Now());
  ASSERT_TRUE(exported.ok) << exported.error.toStdString();
  // All but the deleted one and the one that falls on no day.
  EXPECT_EQ(std::tuple(exported.events, exported.skipped, exported.tasks), std::tuple(original.NoteCount() - 2, 1, 6));
  QFile file(file_);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  for (const char* property :
       {"PRIORITY:1", "PRIORITY:3", "PRIORITY:5", "PRIORITY:7", "PRIORITY:9", "STATUS:COMPLETED"})
    EXPECT_TRUE(text.contains(property)) << property;
  EXPECT_EQ(text.count("PRIORITY:5\r\n"), 2);  // Normal, and priority 5

  DataFormat imported(clock_);
  const IcsImportResult result = ImportICalendar(imported, file_, clock_.Now());
  ASSERT_TRUE(result.ok) << result.error.toStdString();
  EXPECT_EQ(std::tuple(result.events, result.tasks, result.expandedRules + result.skipped),
            std::tuple(exported.events, 6, 0));
  EXPECT_EQ(imported.NoteCount(), exported.events);
  for (TDateTime day = D(2023, 12, 1); day <= D(2026, 12, 31); day += 1)
    ASSERT_EQ(TitlesOn(imported, day), TitlesOn(original, day)) << FormatDateTime("yyyy-mm-dd", day).toStdString();
  for (const TNote& before : original.NoteArray) {
    if (before.DeleteDate != 0 || before.Title == QLatin1String("once hidden")) continue;
    SCOPED_TRACE(before.Title.toStdString());
    const auto after = std::find_if(imported.NoteArray.begin(), imported.NoteArray.end(),
                                    [&](const TNote& n) { return n.Title == before.Title; });
    ASSERT_NE(after, imported.NoteArray.end());
    EXPECT_EQ(std::tuple(after->StartDate, after->RepeatType, after->Start, after->StartTime, after->Alarm),
              std::tuple(before.StartDate, before.RepeatType, before.Start, before.StartTime, before.Alarm));
    EXPECT_EQ(
        std::pair(after->EndTime, after->AlarmTime),
        std::pair(before.Start ? before.EndTime : after->EndTime, before.Alarm ? before.AlarmTime : after->AlarmTime));
    EXPECT_EQ(QStringList({after->Location, after->Category, after->Notes, after->Uid}),
              QStringList({before.Location, before.Category, before.Notes, before.Uid}));
    EXPECT_EQ(std::pair(after->RecurNotes, after->ModifyDate), std::pair(before.RecurNotes, before.ModifyDate));
  }
  ASSERT_EQ(imported.ToDoCount(), 6);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(imported.ToDoArray[i], original.ToDoArray[i]);
  EXPECT_EQ(std::pair(imported.ToDoArray[5].Priority, imported.OpenToDoCount), std::pair(2, 5));

  // Importing twice adds nothing: into the calendar it came from every event is recognised
  // at once; into another, at the second import.
  for (DataFormat* calendar : {&original, &imported}) {
    const int before = calendar->NoteCount();
    ASSERT_TRUE(ImportICalendar(*calendar, file_, clock_.Now()).ok);
    EXPECT_EQ(calendar->NoteCount(), before);
  }
}

// --- Files as other programs write them.

QByteArray Calendar(const QByteArray& body) {
  QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Program//EN\r\n" + body + "END:VCALENDAR\r\n";
  return text.replace("\n", "\r\n").replace("\r\r\n", "\r\n");
}

// A VEVENT or VTODO with its identity and stamp, then the lines given.
QByteArray Entry(const QByteArray& kind, const QByteArray& uid, const QByteArray& lines) {
  return "BEGIN:" + kind + "\nUID:" + uid + "\nDTSTAMP:20240101T000000Z\n" + lines + "END:" + kind + "\n";
}

QByteArray OneEvent(const QByteArray& lines) { return Entry("VEVENT", "a", "SUMMARY:E\n" + lines); }

const QByteArray BerlinZone =
    "BEGIN:VTIMEZONE\nTZID:Europe/Berlin\n"
    "BEGIN:DAYLIGHT\nTZOFFSETFROM:+0100\nTZOFFSETTO:+0200\nTZNAME:CEST\nDTSTART:19700329T020000\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\nEND:DAYLIGHT\n"
    "BEGIN:STANDARD\nTZOFFSETFROM:+0200\nTZOFFSETTO:+0100\nTZNAME:CET\nDTSTART:19701025T030000\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\nEND:STANDARD\nEND:VTIMEZONE\n";

TEST_F(ICalendar, EventsFromOtherProgramsComeInOnTheirDays) {
  struct Case {
    QByteArray body;
    std::vector<int> days, notDays;  // yyyymmdd: the event falls on these days and not on those
    int startHour = -1;              // local start hour when timed
  };
  // clang-format off
  const Case cases[] = {
      {OneEvent("DTSTART;VALUE=DATE:20240310\nDTEND;VALUE=DATE:20240313\n"), {20240310, 20240311, 20240312}, {20240309, 20240313}},
      {OneEvent("DTSTART:20240615T140000Z\nDTEND:20240615T150000Z\n"), {20240615}, {20240614, 20240616}, 10},
      {OneEvent("DTSTART:20240115T020000Z\n"), {20240114}, {20240115}, 21},
      {BerlinZone + OneEvent("DTSTART;TZID=Europe/Berlin:20240702T180000\nDTEND;TZID=Europe/Berlin:20240702T190000\n"),
       {20240702}, {20240703}, 12},
      {BerlinZone + OneEvent("DTSTART;TZID=Europe/Berlin:20240108T100000\nRRULE:FREQ=WEEKLY;BYDAY=MO,WE\n"
                             "EXDATE;TZID=Europe/Berlin:20240110T100000,20240115T100000\n"),
       {20240108, 20240117, 20240122}, {20240109, 20240110, 20240115, 20240107}, 4},
      {OneEvent("DTSTART;VALUE=DATE:20240126\nRRULE:FREQ=MONTHLY;BYDAY=FR;BYSETPOS=-1\n"), {20240126, 20240329, 20240531}, {20240322, 20240524}},
      {OneEvent("DTSTART:20240109T090000\nRRULE:FREQ=MONTHLY;BYDAY=2TU;COUNT=3\n"), {20240109, 20240213, 20240312}, {20240409}, 9},
      {OneEvent("DTSTART;VALUE=DATE:20240504\nRRULE:FREQ=YEARLY;UNTIL=20250504\n"), {20240504, 20250504}, {20260504}},
      {OneEvent("DTSTART:20240105T090000\nRRULE:FREQ=WEEKLY;BYDAY=MO,WE\n"), {20240105, 20240108, 20240110, 20240115}, {20240101, 20240103, 20240112}, 9},
      {OneEvent("DTSTART;VALUE=DATE:20240103\nRRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE\n"),
       {20240103, 20240115, 20240117}, {20240101, 20240108, 20240110}},
      {OneEvent("DTSTART;VALUE=DATE:20240105\nRRULE:FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR\nRDATE;VALUE=DATE:20240106\n"),
       {20240105, 20240106, 20240108}, {20240107, 20240113}}};
  // clang-format on
  const auto day = [](int d) { return D(d / 10000, d / 100 % 100, d % 100); };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body.toStdString());
    DataFormat calendar(clock_);
    const IcsImportResult result = ImportICalendarText(calendar, Calendar(c.body), clock_.Now());
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(std::tuple(result.events, result.skipped, result.expandedRules), std::tuple(1, 0, 0));
    ASSERT_EQ(calendar.NoteCount(), 1);
    for (int d : c.days) EXPECT_EQ(TitlesOn(calendar, day(d)), QStringList{"E"}) << d;
    for (int d : c.notDays) EXPECT_TRUE(TitlesOn(calendar, day(d)).isEmpty()) << d;
    int h, m, s, ms;
    DecodeTime(calendar.StartTimeOn(0, day(c.days.front())), h, m, s, ms);
    EXPECT_EQ(calendar.NoteArray[0].Start ? h : -1, c.startHour);
  }
}

// Tasks, a rule no pattern expresses (as single events over two years from now) and broken
// entries, skipped one by one.
TEST_F(ICalendar, TasksUnexpressibleRulesAndBrokenEntriesFromOtherPrograms) {
  DataFormat calendar(clock_);
  IcsImportResult result = ImportICalendarText(
      calendar,
      Calendar(Entry("VTODO", "1", "SUMMARY:Urgent\nPRIORITY:1\nDUE:20240120T170000Z\n") +
               Entry("VTODO", "2", "SUMMARY:Done\nPRIORITY:8\nSTATUS:COMPLETED\nCOMPLETED:20240102T100000Z\n") +
               Entry("VTODO", "3", "SUMMARY:Whenever\n") + "BEGIN:VTODO\nUID:6\nEND:VTODO\n"),
      clock_.Now());
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(std::pair(result.tasks, result.skipped), std::pair(3, 1));  // the last has no title
  ASSERT_EQ(calendar.ToDoCount(), 3);
  const auto& t = calendar.ToDoArray;
  EXPECT_EQ(std::tuple(t[0].Priority, t[0].DueDate, t[0].Completed), std::tuple(0, D(2024, 1, 20), false));
  EXPECT_EQ(std::tuple(t[1].Priority, t[1].Completed), std::tuple(4, true));
  EXPECT_EQ(std::tuple(t[2].Priority, t[2].DueDate), std::tuple(2, 0.0));
  EXPECT_EQ(calendar.OpenToDoCount, 2);

  result = ImportICalendarText(
      calendar,
      Calendar(Entry("VEVENT", "1", "SUMMARY:Pay\nDTSTART;VALUE=DATE:20230101\nRRULE:FREQ=MONTHLY;BYMONTHDAY=1,15\n")),
      clock_.Now());
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(std::pair(result.expandedRules, result.expandedEvents), std::pair(1, 48));  // 1 Jan 2024 .. 15 Dec 2025
  EXPECT_EQ(calendar.NoteCount(), 48);
  EXPECT_EQ(TitlesOn(calendar, D(2024, 1, 15)), QStringList{"Pay"});
  EXPECT_TRUE(TitlesOn(calendar, D(2024, 1, 16)).isEmpty());
  EXPECT_TRUE(ImportSummary(result, "x.ics").contains("1 rule no pattern expresses"));

  calendar.ClearCalendar();
  result = ImportICalendarText(
      calendar,
      Calendar("BEGIN:VEVENT\nUID:1\nSUMMARY:No start\nEND:VEVENT\n"
               "BEGIN:VEVENT\nUID:2\nSUMMARY:Broken start\nDTSTART:2024XX01\nEND:VEVENT\n"
               "BEGIN:VEVENT\nUID:3\nSUMMARY:Good\nDTSTART;VALUE=DATE:20240105\nX-UNKNOWN-THING:zzz\n"
               "FOO;BAR=1:unknown\nEND:VEVENT\n"
               "BEGIN:VEVENT\nUID:4\nSUMMARY:Huge count\nDTSTART;VALUE=DATE:20240101\n"
               "RRULE:FREQ=DAILY;COUNT=2000000000\nEND:VEVENT\n"
               "BEGIN:VEVENT\nUID:5\nSUMMARY:Hourly\nDTSTART:20240101T100000\nRRULE:FREQ=HOURLY\nEND:VEVENT\n"
               "this line is not a property at all\n"),
      clock_.Now());
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(std::pair(result.events, result.skipped), std::pair(2, 3));  // no start, broken start, hourly
  EXPECT_EQ(TitlesOn(calendar, D(2024, 1, 5)), QStringList({"Good", "Huge count"}));
  EXPECT_EQ(TitlesOn(calendar, D(2030, 1, 5)), QStringList{"Huge count"});
}

TEST_F(ICalendar, IdentitiesAreKeptSoThatAFileSentBackReplacesRatherThanAdds) {
  const auto file = [](const QByteArray& title, const QByteArray& modified) {
    const QByteArray named = "SUMMARY:" + title + "\nLAST-MODIFIED:" + modified + "\n";
    return Calendar(Entry("VEVENT", "pay-1@bank.example",
                          named + "DTSTART;VALUE=DATE:20240101\nRRULE:FREQ=MONTHLY;BYMONTHDAY=1,15;COUNT=6\n") +
                    Entry("VEVENT", "lunch@other.example", named + "DTSTART:20240105T120000\n") +
                    Entry("VTODO", "task-9@other.example", named));
  };
  DataFormat calendar(clock_);
  ASSERT_TRUE(ImportICalendarText(calendar, file("Pay", "20240101T080000Z"), clock_.Now()).ok);
  ASSERT_EQ(calendar.NoteCount(), 7);  // six single days of a rule no pattern says, and lunch
  EXPECT_EQ(calendar.NoteArray[6].Uid, "lunch@other.example");
  EXPECT_EQ(calendar.ToDoArray[0].Uid, "task-9@other.example");
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(calendar.NoteArray[i].Uid, "pay-1@bank.example");
    EXPECT_EQ(calendar.NoteArray[i].RecurrenceId, calendar.NoteArray[i].StartDate);
  }

  // Exported: the identities as they came, each single day named as an instance.
  const QByteArray text = Exported(calendar);
  EXPECT_EQ(text.count("UID:pay-1@bank.example\r\n"), 6);
  EXPECT_TRUE(text.contains("RECURRENCE-ID;VALUE=DATE:20240115\r\n"));
  EXPECT_TRUE(text.contains("UID:lunch@other.example\r\n"));
  EXPECT_TRUE(text.contains("UID:task-9@other.example\r\n"));

  // The same entries renamed at their source replace what came before, and so does our own
  // export read back.
  ASSERT_TRUE(ImportICalendarText(calendar, file("Salary", "20240301T080000Z"), clock_.Now()).ok);
  ASSERT_TRUE(ImportICalendar(calendar, file_, clock_.Now()).ok);
  EXPECT_EQ(std::pair(calendar.NoteCount(), calendar.ToDoCount()), std::pair(7, 1));
  for (const TNote& n : calendar.NoteArray) EXPECT_EQ(n.Title, "Salary");
  EXPECT_EQ(calendar.ToDoArray[0].Title, "Salary");
}

// Titles with start times ("9:00 Standup") of the events of a day.
QStringList TimedTitlesOn(DataFormat& calendar, TDateTime day) {
  QStringList titles;
  for (int i : calendar.FindSortedDayEvents(day)) {
    const TNote& n = calendar.NoteArray[i];
    titles << FormatDateTime("h:nn ", calendar.StartTimeOn(i, day)) + n.Title;
  }
  return titles;
}

TEST_F(ICalendar, InstancesThatWereMovedRetitledOrCancelledComeInAsTheyAre) {
  // Weekly on Mondays at 9:00 from 8 January; the instances come first in the file, as some
  // programs write them.
  const QByteArray instances =
      Entry(
          "VEVENT", "standup",
          "RECURRENCE-ID:20240115T090000\nSUMMARY:Standup (moved)\nDTSTART:20240116T140000\nDTEND:20240116T143000\n") +
      Entry("VEVENT", "standup", "RECURRENCE-ID:20240122T090000\nSTATUS:CANCELLED\nDTSTART:20240122T090000\n") +
      Entry("VEVENT", "standup",
            "RECURRENCE-ID:20240129T090000\nSUMMARY:Planning\nDTSTART:20240129T090000\nDTEND:20240129T100000\n") +
      // An instance of a series that is nowhere comes in on its own.
      Entry("VEVENT", "elsewhere", "RECURRENCE-ID;VALUE=DATE:20240301\nSUMMARY:Orphan\nDTSTART;VALUE=DATE:20240302\n");
  const QByteArray series =
      Entry("VEVENT", "standup",
            "SUMMARY:Standup\nDTSTART:20240108T090000\nDTEND:20240108T093000\nRRULE:FREQ=WEEKLY;BYDAY=MO\n");
  // The same with a rule no pattern says (Mondays and Fridays on four days of the month), brought in as single days.
  QByteArray unexpressible = series;
  unexpressible.replace("FREQ=WEEKLY;BYDAY=MO", "FREQ=DAILY;BYDAY=MO,FR;BYMONTHDAY=8,15,22,29;COUNT=8");
  const std::map<TDateTime, QStringList> expected = {{D(2024, 1, 8), {"9:00 Standup"}},
                                                     {D(2024, 1, 15), {}},
                                                     {D(2024, 1, 16), {"14:00 Standup (moved)"}},
                                                     {D(2024, 1, 22), {}},
                                                     {D(2024, 1, 29), {"9:00 Planning"}},
                                                     {D(2024, 3, 2), {"0:00 Orphan"}},
                                                     {D(2024, 3, 1), {}}};
  for (const QByteArray& master : {series, unexpressible}) {
    SCOPED_TRACE(master.toStdString());
    DataFormat calendar(clock_);
    IcsImportResult result = ImportICalendarText(calendar, Calendar(instances + master), clock_.Now());
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.skipped, 0);
    for (const auto& [day, titles] : expected) EXPECT_EQ(TimedTitlesOn(calendar, day), titles) << day;
    const int count = calendar.NoteCount();
    ASSERT_TRUE(ImportICalendarText(calendar, Calendar(master + instances), clock_.Now()).ok);
    EXPECT_EQ(calendar.NoteCount(), count);

    // Exported and read back elsewhere: the same days; the series hides only the cancelled
    // day, the others go out as its instances.
    const QByteArray text = Exported(calendar);
    DataFormat elsewhere(clock_);
    ASSERT_TRUE(ImportICalendar(elsewhere, file_, clock_.Now()).ok);
    for (const auto& [day, titles] : expected) EXPECT_EQ(TimedTitlesOn(elsewhere, day), titles) << day;
    EXPECT_TRUE(text.contains("RECURRENCE-ID:20240115T090000\r\n"));
    EXPECT_FALSE(text.contains("EXDATE:20240115"));
  }
}

TEST_F(ICalendar, TimesInAZoneStayInThatZoneBothWays) {
  // Seen from New York: the United States change to summer time on 10 March, the United
  // Kingdom on 31 March.
  const QByteArray file = Calendar(
      Entry("VEVENT", "london",
            "SUMMARY:London\nDTSTART;TZID=Europe/London:20240304T140000\nDTEND;TZID=Europe/London:20240304T150000\n"
            "RRULE:FREQ=WEEKLY;BYDAY=MO;COUNT=10\n") +
      Entry("VEVENT", "utc", "SUMMARY:UTC\nDTSTART:20240305T150000Z\n") +
      Entry("VEVENT", "tokyo",
            "SUMMARY:Tokyo\nDTSTART;TZID=Asia/"
            "Tokyo:20240304T080000\nRRULE:FREQ=WEEKLY;BYDAY=MO\nEXDATE:20240317T230000Z\n") +
      Entry("VEVENT", "berlin",
            "SUMMARY:Berlin\nDTSTART;TZID=Europe/Berlin:20240301T090000\nRRULE:FREQ=DAILY;UNTIL=20240305T080000Z\n"));
  const std::map<TDateTime, QStringList> expected = {{D(2024, 3, 3), {"3:00 Berlin", "18:00 Tokyo"}},
                                                     {D(2024, 3, 4), {"3:00 Berlin", "9:00 London"}},
                                                     {D(2024, 3, 5), {"3:00 Berlin", "10:00 UTC"}},
                                                     {D(2024, 3, 6), {}},
                                                     {D(2024, 3, 10), {"19:00 Tokyo"}},
                                                     {D(2024, 3, 11), {"10:00 London"}},
                                                     {D(2024, 3, 17), {}},
                                                     {D(2024, 4, 1), {"9:00 London"}}};
  DataFormat calendar(clock_);
  ASSERT_TRUE(ImportICalendarText(calendar, file, clock_.Now()).ok);
  ASSERT_EQ(calendar.NoteCount(), 4);
  EXPECT_EQ(calendar.NoteArray[0].TimeZone, "Europe/London");
  EXPECT_EQ(calendar.NoteArray[0].StartTime, EncodeTime(14, 0));
  EXPECT_EQ(calendar.NoteArray[1].TimeZone, "UTC");
  for (const auto& [day, titles] : expected) EXPECT_EQ(TimedTitlesOn(calendar, day), titles) << day;

  const QByteArray text = Exported(calendar);
  for (const char* line :
       {"DTSTART;TZID=Europe/London:20240304T140000\r\n", "DTEND;TZID=Europe/London:20240304T150000\r\n",
        "DTSTART:20240305T150000Z\r\n", "EXDATE;TZID=Asia/Tokyo:20240318T080000\r\n", "UNTIL=20240305T080000Z",
        "BEGIN:VTIMEZONE\r\nTZID:Europe/London\r\n", "TZID:Asia/Tokyo\r\n"})
    EXPECT_TRUE(text.contains(line)) << line;
  DataFormat elsewhere(clock_);
  ASSERT_TRUE(ImportICalendar(elsewhere, file_, clock_.Now()).ok);
  for (const auto& [day, titles] : expected) EXPECT_EQ(TimedTitlesOn(elsewhere, day), titles) << day;
}

TEST_F(ICalendar, FilesThatAreNotCalendarsChangeNothingAndAnUnwritablePlaceFails) {
  DataFormat calendar(clock_);
  for (const QByteArray& text : {QByteArray(), QByteArray("hello"), QByteArray("BEGIN:VEVENT\nEND:VEVENT\n")}) {
    const IcsImportResult result = ImportICalendarText(calendar, text, clock_.Now());
    EXPECT_FALSE(result.ok || result.error.isEmpty());
  }
  EXPECT_FALSE(ImportICalendar(calendar, dir_.filePath("missing.ics"), clock_.Now()).ok);
  EXPECT_EQ(calendar.NoteCount(), 0);
  EXPECT_FALSE(calendar.DataChanged);
  const IcsExportResult result = ExportICalendar(calendar, dir_.filePath("no/such/folder/x.ics"), clock_.Now());
  EXPECT_FALSE(result.ok || result.error.isEmpty());
}

}  // namespace
