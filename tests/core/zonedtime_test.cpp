// Events kept in a time zone of their own, seen from New York (the tests' zone): the days they
// fall on, their times there, and what the user changes on a local day.
#include "core/dataformat.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

// A weekly event on Mondays from 4 March 2024 at a time of its zone, an hour long.
int AddWeekly(DataFormat& calendar, const QString& title, const QString& zone, int hour) {
  const int i = calendar.AppendNote();
  TNote& n = calendar.NoteArray[i];
  n.Title = title;
  n.TimeZone = zone;
  n.StartDate = D(2024, 3, 4);
  n.Start = true;
  n.StartTime = EncodeTime(hour, 0);
  n.EndTime = EncodeTime(hour + 1, 0);
  n.RepeatType = 3;
  n.RepeatFrequency = 1;
  n.RepeatMonday = true;
  n.Alarm = true;
  n.AlarmTime = EncodeTime(hour - 1, 45);
  return i;
}

// "title h:nn-h:nn" for each event of the day, in display order.
QStringList Day(DataFormat& calendar, TDateTime day) {
  QStringList lines;
  for (int i : calendar.FindSortedDayEvents(day)) {
    lines << calendar.NoteArray[i].Title + ' ' + FormatDateTime("h:nn", calendar.StartTimeOn(i, day)) + '-' +
                 FormatDateTime("h:nn", calendar.EndTimeOn(i, day));
  }
  return lines;
}

TEST(ZonedEvents, FallOnTheLocalDayAndTimeOfEachOccurrence) {
  FixedClock clock{DT(2024, 3, 1, 12, 0)};
  DataFormat calendar{clock};
  AddWeekly(calendar, "London", "Europe/London", 14);
  AddWeekly(calendar, "Tokyo", "Asia/Tokyo", 8);            // Sunday evening here
  AddWeekly(calendar, "Local", "America/New_York", 11);     // the local zone: as it is written
  AddWeekly(calendar, "Nowhere", "Mars/Olympus_Mons", 12);  // a zone not known: local time
  // The United States change to summer time on 10 March, the United Kingdom on 31 March.
  const std::pair<TDateTime, QStringList> days[] = {
      {D(2024, 3, 3), {"Tokyo 18:00-19:00"}},
      {D(2024, 3, 4), {"London 9:00-10:00", "Local 11:00-12:00", "Nowhere 12:00-13:00"}},
      {D(2024, 3, 10), {"Tokyo 19:00-20:00"}},
      {D(2024, 3, 11), {"London 10:00-11:00", "Local 11:00-12:00", "Nowhere 12:00-13:00"}},
      {D(2024, 4, 1), {"London 9:00-10:00", "Local 11:00-12:00", "Nowhere 12:00-13:00"}},
      {D(2024, 3, 5), {}},
      {D(2024, 3, 2), {}}};
  for (const auto& [day, lines] : days)
    EXPECT_EQ(Day(calendar, day), lines) << FormatDateTime("yyyy-mm-dd", day).toStdString();
  EXPECT_TRUE(calendar.GetEventListText(D(2024, 3, 11)).contains("10:00 AM London"));

  // The rule itself agrees with the day query on every day of a quarter, across both changes.
  for (TDateTime day = D(2024, 2, 25); day <= D(2024, 5, 25); day += 1) {
    const std::vector<int> found = calendar.FindDayEvents(day);
    for (int i = 0; i < calendar.NoteCount(); ++i)
      EXPECT_EQ(calendar.NoteOccursOn(i, day), std::count(found.begin(), found.end(), i) == 1) << i << " " << day;
  }

  // The alarm rings at its local moment: a quarter to six on Sunday for Tokyo's 8:00.
  EXPECT_TRUE(calendar.CheckAlarms(DT(2024, 3, 3, 17, 44), DT(2024, 3, 3, 17, 45, 30)));
  EXPECT_EQ(calendar.AlarmEvents, std::vector<int>{1});
  EXPECT_FALSE(calendar.CheckAlarms(DT(2024, 3, 4, 6, 44), DT(2024, 3, 4, 6, 45, 30)));
}

TEST(ZonedEvents, ExceptionsAndDayNotesMadeOnALocalDayBelongToThatOccurrence) {
  FixedClock clock{DT(2024, 3, 1, 12, 0)};
  DataFormat calendar{clock};
  const int tokyo = AddWeekly(calendar, "Tokyo", "Asia/Tokyo", 8);
  // Hidden on Sunday 10 March here: its own day is Monday the 11th.
  calendar.ToggleException(tokyo, D(2024, 3, 10));
  EXPECT_EQ(calendar.NoteArray[tokyo].Exceptions, QList<TDateTime>{D(2024, 3, 11)});
  EXPECT_TRUE(calendar.FindDayEvents(D(2024, 3, 10)).empty());
  EXPECT_FALSE(calendar.FindDayEvents(D(2024, 3, 17)).empty());
  // Shown again from the same local day.
  calendar.ToggleException(tokyo, D(2024, 3, 10));
  EXPECT_TRUE(calendar.NoteArray[tokyo].Exceptions.isEmpty());

  calendar.AddDayNote(tokyo, "agenda", D(2024, 3, 17));
  EXPECT_EQ(calendar.NoteArray[tokyo].RecurNotes.at(0).Date, D(2024, 3, 18));
  EXPECT_TRUE(calendar.HasDayNote(tokyo, D(2024, 3, 17)));
  EXPECT_EQ(calendar.GetDayNote(tokyo, D(2024, 3, 17)), "agenda");
  EXPECT_FALSE(calendar.HasDayNote(tokyo, D(2024, 3, 18)));
  calendar.RemoveDayNote(tokyo, D(2024, 3, 17));
  EXPECT_TRUE(calendar.NoteArray[tokyo].RecurNotes.isEmpty());
}

}  // namespace
