// Due alarms at each tick.
#include "core/dataformat.h"
#include "core/tick.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

TDateTime Ms(int ms) { return ms / MSecsPerDay; }
using Events = std::vector<int>;

class Alarms : public ::testing::Test {
 protected:
  // An event on day with its alarm at the given time of day.
  int AddAlarm(TDateTime day, TDateTime alarmTime, int repeatType = 0) {
    const int i = calendar.AppendNote();
    TNote& n = calendar.NoteArray[i];
    n.Title = QString("alarm %1").arg(i);
    n.StartDate = day;
    n.Start = true;
    n.StartTime = n.AlarmTime = alarmTime;
    n.Alarm = true;
    n.RepeatType = repeatType;
    return i;
  }
  // The first tick of a run at now.
  Events FirstTick(TDateTime now) { return Tick(FirstAlarmTick(now), now); }
  Events Tick(TDateTime previous, TDateTime now) {
    calendar.CheckAlarms(previous, now);
    return calendar.AlarmEvents;
  }
  FixedClock clock{DT(2024, 3, 5, 8, 0)};
  DataFormat calendar{clock};
};

TEST_F(Alarms, TheFirstTickReportsAnAlarmOfTheLastFiveSeconds) {
  const int i = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  calendar.NoteArray[i].Start = false;  // an all-day event rings at its alarm time too
  // clang-format off
  const std::pair<TDateTime, bool> cases[] = {
      {DT(2024, 3, 5, 13, 59, 58), false}, {DT(2024, 3, 5, 14, 0, 0), true}, {DT(2024, 3, 5, 14, 0, 3), true},
      {DT(2024, 3, 5, 14, 0, 4) + Ms(999), true}, {DT(2024, 3, 5, 14, 0, 5), false}, {DT(2024, 3, 6, 14, 0, 3), false}};
  // clang-format on
  for (const auto& [now, reported] : cases) {
    EXPECT_EQ(calendar.CheckAlarms(FirstAlarmTick(now), now), reported)
        << FormatDateTime("hh:nn:ss.zzz", now).toStdString();
    EXPECT_EQ(calendar.AlarmEvents, reported ? Events{i} : Events{});
  }
  const int midnight = AddAlarm(D(2024, 3, 6), 0);
  EXPECT_EQ(FirstTick(DT(2024, 3, 6, 0, 0, 2)), Events{midnight});
  EXPECT_EQ(FirstTick(DT(2024, 3, 6, 0, 0, 6)), Events{});
}

TEST_F(Alarms, ALateTickCatchesUpOnceAndReachesOneDayBack) {
  const int yesterday = AddAlarm(D(2024, 3, 4), EncodeTime(16, 0));
  AddAlarm(D(2024, 3, 4), EncodeTime(14, 0));  // more than a day before now
  const int a = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  const int b = AddAlarm(D(2024, 3, 5), EncodeTime(14, 30));
  AddAlarm(D(2024, 3, 5), EncodeTime(16, 0));  // still to come
  // The machine slept from 13:00 to 15:00.
  EXPECT_TRUE(calendar.CheckAlarms(DT(2024, 3, 5, 13, 0), DT(2024, 3, 5, 15, 0)));
  EXPECT_EQ(calendar.AlarmEvents, (Events{a, b}));
  EXPECT_FALSE(calendar.CheckAlarms(DT(2024, 3, 5, 15, 0), DT(2024, 3, 5, 15, 0, 5)));
  EXPECT_TRUE(calendar.AlarmEvents.empty());
  EXPECT_EQ(Tick(DT(2024, 3, 1, 12, 0), DT(2024, 3, 5, 15, 0)), (Events{yesterday, a, b}));
  // A clock set back looks one window back.
  EXPECT_EQ(Tick(DT(2024, 3, 5, 15, 0), DT(2024, 3, 5, 14, 0, 1)), Events{a});
  EXPECT_EQ(Tick(DT(2024, 3, 5, 15, 0), DT(2024, 3, 5, 14, 0, 8)), Events{});
}

TEST_F(Alarms, DeletedSilentAndHiddenOccurrencesAreNotReported) {
  const int deleted = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  const int silent = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  const int live = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  calendar.DeleteNote(deleted);
  calendar.NoteArray[silent].Alarm = false;
  calendar.DataChanged = true;
  EXPECT_EQ(FirstTick(DT(2024, 3, 5, 14, 0, 1)), Events{live});

  const int daily = AddAlarm(D(2024, 3, 1), EncodeTime(7, 30), 1);
  calendar.NoteArray[daily].RepeatFrequency = 1;
  calendar.ToggleException(daily, D(2024, 3, 6));
  EXPECT_EQ(FirstTick(DT(2024, 3, 5, 7, 30, 1)), Events{daily});
  EXPECT_EQ(FirstTick(DT(2024, 3, 6, 7, 30, 1)), Events{});
  EXPECT_EQ(FirstTick(DT(2024, 3, 7, 7, 30, 1)), Events{daily});
  EXPECT_EQ(Tick(DT(2024, 3, 6, 7, 0), DT(2024, 3, 6, 9, 0)), Events{});  // nor a catch-up over it
}

TEST_F(Alarms, OddValuesReportNothing) {
  const int i = AddAlarm(D(2024, 3, 5), EncodeTime(14, 0));
  calendar.NoteArray[i].AlarmTime = 1.5;  // not a time of day
  calendar.DataChanged = true;
  EXPECT_FALSE(calendar.CheckAlarms(DT(2024, 3, 4, 14, 0), DT(2024, 3, 5, 14, 0)));
  calendar.NoteArray[i].AlarmTime = EncodeTime(14, 0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(calendar.CheckAlarms(DT(2024, 3, 5, 13, 0), nan));
  // A previous tick that is not a moment counts as a first tick.
  EXPECT_TRUE(calendar.CheckAlarms(nan, DT(2024, 3, 5, 14, 0, 1)));
}

}  // namespace
