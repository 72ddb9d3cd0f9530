// Due alarms at each tick, and the text of a day's events.
#include "core/dataformat.h"
#include "core/tick.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

TDateTime Ms(int ms) { return ms / MSecsPerDay; }

class Alarms : public ::testing::Test {
 protected:
  // A one-time event on day with its alarm at the given time of day.
  int AddAlarm(TDateTime day, TDateTime alarmTime, int repeatType = 0) {
    const int i = calendar.AppendNote();
    TNote& n = calendar.NoteArray[static_cast<size_t>(i)];
    n.Title = QStringLiteral("alarm %1").arg(i);
    n.StartDate = day;
    n.Start = true;
    n.StartTime = alarmTime;
    n.Alarm = true;
    n.AlarmTime = alarmTime;
    n.RepeatType = repeatType;
    n.RepeatFrequency = 1;
    return i;
  }
  // The first tick of a run at now.
  std::vector<int> FirstTick(TDateTime now) {
    calendar.CheckAlarms(FirstAlarmTick(now), now);
    return calendar.AlarmEvents;
  }
  std::vector<int> Tick(TDateTime previous, TDateTime now) {
    calendar.CheckAlarms(previous, now);
    return calendar.AlarmEvents;
  }
  FixedClock clock{DT(2024, 3, 5, 8, 0)};
  DataFormat calendar{clock};
};

struct WindowRow {
  const char* name;
  TDateTime now;
  bool reported;
};

void PrintTo(const WindowRow& row, std::ostream* os) { *os << row.name; }

class AlarmAtTwoPm : public ::testing::TestWithParam<WindowRow> {};

TEST_P(AlarmAtTwoPm, FirstTick) {
  FixedClock clock(GetParam().now);
  DataFormat calendar(clock);
  const int i = calendar.AppendNote();
  TNote& n = calendar.NoteArray[static_cast<size_t>(i)];
  n.StartDate = D(2024, 3, 5);
  n.Alarm = true;
  n.AlarmTime = EncodeTime(14, 0);
  EXPECT_EQ(calendar.CheckAlarms(FirstAlarmTick(clock.Now())), GetParam().reported);
  EXPECT_EQ(calendar.AlarmEvents, GetParam().reported ? std::vector<int>{i} : std::vector<int>{});
}

INSTANTIATE_TEST_SUITE_P(
    Alarms, AlarmAtTwoPm,
    ::testing::Values(WindowRow{"TwoSecondsEarly", DT(2024, 3, 5, 13, 59, 58), false},
                      WindowRow{"OnTheSecond", DT(2024, 3, 5, 14, 0, 0), true},
                      WindowRow{"ThreeSecondsLate", DT(2024, 3, 5, 14, 0, 3), true},
                      WindowRow{"JustInsideTheWindow", DT(2024, 3, 5, 14, 0, 4) + Ms(999), true},
                      WindowRow{"FiveSecondsLate", DT(2024, 3, 5, 14, 0, 5), false},
                      WindowRow{"NextDay", DT(2024, 3, 6, 14, 0, 3), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Alarms, TicksEveryFiveSecondsReportEachAlarmOnce) {
  const int a = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  const int b = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0, 2));
  std::vector<int> reported;
  TDateTime previous = FirstAlarmTick(DT(2024, 3, 5, 13, 59, 50));
  for (TDateTime now = DT(2024, 3, 5, 13, 59, 50); now < DT(2024, 3, 5, 14, 1, 0); now += Ms(TickIntervalMs)) {
    for (int i : Tick(previous, now)) reported.push_back(i);
    previous = now;
  }
  EXPECT_EQ(reported, (std::vector<int>{a, b}));
}

TEST_F(Alarms, ALateTickCatchesUpOnce) {
  const int a = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  const int b = AddAlarm(D(2024, 3, 5), EncodeTime(14, 30));
  AddAlarm(D(2024, 3, 5), EncodeTime(16, 0));  // still to come
  // The machine slept from 13:00 to 15:00.
  EXPECT_TRUE(calendar.CheckAlarms(DT(2024, 3, 5, 13, 0), DT(2024, 3, 5, 15, 0)));
  EXPECT_EQ(calendar.AlarmEvents, (std::vector<int>{a, b}));
  EXPECT_FALSE(calendar.CheckAlarms(DT(2024, 3, 5, 15, 0), DT(2024, 3, 5, 15, 0, 5)));
  EXPECT_TRUE(calendar.AlarmEvents.empty());
}

TEST_F(Alarms, CatchUpReachesOneDayBack) {
  const int yesterday = AddAlarm(D(2024, 3, 4), EncodeTime(16, 0));
  AddAlarm(D(2024, 3, 4), EncodeTime(14, 0));  // more than a day before now
  const int today = AddAlarm(D(2024, 3, 5), EncodeTime(9, 0));
  EXPECT_EQ(Tick(DT(2024, 3, 1, 12, 0), DT(2024, 3, 5, 15, 0)), (std::vector<int>{yesterday, today}));
}

TEST_F(Alarms, AcrossMidnight) {
  const int lateYesterday = AddAlarm(D(2024, 3, 4), EncodeTime(23, 59, 59));
  const int midnight = AddAlarm(D(2024, 3, 5), 0);
  AddAlarm(D(2024, 3, 4), 0);  // the day before's midnight is long past
  EXPECT_EQ(Tick(DT(2024, 3, 4, 23, 59, 58), DT(2024, 3, 5, 0, 0, 3)), (std::vector<int>{lateYesterday, midnight}));
  EXPECT_EQ(Tick(DT(2024, 3, 5, 0, 0, 3), DT(2024, 3, 5, 0, 0, 8)), std::vector<int>{});
}

TEST_F(Alarms, MidnightAlarmAtTheFirstTickOfTheDay) {
  const int midnight = AddAlarm(D(2024, 3, 5), 0);
  EXPECT_EQ(FirstTick(DT(2024, 3, 5, 0, 0, 2)), std::vector<int>{midnight});
  EXPECT_EQ(FirstTick(DT(2024, 3, 5, 0, 0, 6)), std::vector<int>{});
}

TEST_F(Alarms, DeletedAndSilentEventsAreNotReported) {
  const int deleted = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  const int silent = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  const int live = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  calendar.DeleteNote(deleted);
  calendar.NoteArray[static_cast<size_t>(silent)].Alarm = false;
  calendar.DataChanged = true;
  EXPECT_EQ(FirstTick(DT(2024, 3, 5, 14, 0, 1)), std::vector<int>{live});
}

TEST_F(Alarms, RecurringEventOnEachOfItsDaysButNotWhereHidden) {
  const int daily = AddAlarm(D(2024, 3, 1), EncodeTime(7, 30), 1);
  calendar.ToggleException(daily, D(2024, 3, 6));
  EXPECT_EQ(FirstTick(DT(2024, 3, 5, 7, 30, 1)), std::vector<int>{daily});
  EXPECT_EQ(FirstTick(DT(2024, 3, 6, 7, 30, 1)), std::vector<int>{});
  EXPECT_EQ(FirstTick(DT(2024, 3, 7, 7, 30, 1)), std::vector<int>{daily});
  // A catch-up over the hidden day does not report it either.
  EXPECT_EQ(Tick(DT(2024, 3, 6, 7, 0), DT(2024, 3, 6, 9, 0)), std::vector<int>{});
}

TEST_F(Alarms, AllDayEventAtItsAlarmTime) {
  const int i = AddAlarm(D(2024, 3, 5), EncodeTime(10, 15));
  calendar.NoteArray[static_cast<size_t>(i)].Start = false;
  calendar.DataChanged = true;
  EXPECT_EQ(FirstTick(DT(2024, 3, 5, 10, 15, 2)), std::vector<int>{i});
}

TEST_F(Alarms, AClockSetBackLooksOneWindowBack) {
  const int i = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  EXPECT_EQ(Tick(DT(2024, 3, 5, 15, 0), DT(2024, 3, 5, 14, 0, 1)), std::vector<int>{i});
  EXPECT_EQ(Tick(DT(2024, 3, 5, 15, 0), DT(2024, 3, 5, 14, 0, 8)), std::vector<int>{});
}

TEST_F(Alarms, OddValuesReportNothing) {
  const int i = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  calendar.NoteArray[static_cast<size_t>(i)].AlarmTime = 1.5;  // not a time of day
  calendar.DataChanged = true;
  EXPECT_FALSE(calendar.CheckAlarms(DT(2024, 3, 4, 14, 0), DT(2024, 3, 5, 14, 0)));
  calendar.NoteArray[static_cast<size_t>(i)].AlarmTime = EncodeTime(14, 0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(calendar.CheckAlarms(DT(2024, 3, 5, 13, 0), nan));
  // A previous tick that is not a moment counts as a first tick.
  EXPECT_TRUE(calendar.CheckAlarms(nan, DT(2024, 3, 5, 14, 0, 1)));
}

// --- The day's event text.

struct ListRow {
  const char* name;
  std::vector<std::tuple<const char*, TDateTime, double>> events;  // title, day, start time (-1: all day)
  TDateTime day;
  QChar separator;
  const char* text;
};

class EventListText : public ::testing::TestWithParam<ListRow> {};

TEST_P(EventListText, ListsAllDayEventsFirstThenByTime) {
  FixedClock clock{DT(2024, 3, 5, 8, 0)};
  DataFormat calendar{clock};
  for (const auto& [title, day, time] : GetParam().events) {
    TNote& n = calendar.NoteArray[static_cast<size_t>(calendar.AppendNote())];
    n.Title = QString::fromUtf8(title);
    n.StartDate = day;
    n.Start = time >= 0;
    n.StartTime = std::max(time, 0.0);
  }
  FormatSettings settings;
  settings.DateSeparator = GetParam().separator;
  EXPECT_EQ(calendar.GetEventListText(GetParam().day, settings), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Days, EventListText,
    ::testing::Values(
        ListRow{"AllDayFirst", {{"Dentist", D(2024, 3, 5), EncodeTime(9, 30)}, {"Holiday", D(2024, 3, 5), -1},
                                {"Tomorrow", D(2024, 3, 6), -1}},
                D(2024, 3, 5), '/', "Events for 03/05/2024:\r\nHoliday\r\n9:30 AM Dentist"},
        ListRow{"EmptyDay", {}, D(2024, 3, 5), '/', "Events for 03/05/2024:\r\nNo events listed."},
        ListRow{"AfternoonAndAMomentForADay", {{"Call", D(2024, 12, 24), EncodeTime(13, 5)}}, DT(2024, 12, 24, 6, 0), '/',
                "Events for 12/24/2024:\r\n1:05 PM Call"},
        ListRow{"TrimsOnlyTheEnds", {{"  padded  ", D(2024, 3, 5), -1}}, D(2024, 3, 5), '/',
                "Events for 03/05/2024:\r\n  padded"},
        ListRow{"DateSeparator", {}, D(2024, 3, 5), '.', "Events for 03.05.2024:\r\nNo events listed."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
