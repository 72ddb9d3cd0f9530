// Snoozes and missed alarms over a pinned clock, kept in the store across restarts.
#include "core/reminders.h"
#include "core/memorykeystore.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr double Minute = 1 / (24.0 * 60);

class RemindersTest : public ::testing::Test {
 protected:
  void AddAlarm(const QString& title, TDateTime alarm, int repeat = 0) {
    TNote& n = calendar.NoteArray[static_cast<size_t>(calendar.AppendNote())];
    n.Title = title, n.Start = true, n.StartDate = D(2024, 3, 5);
    n.StartTime = alarm + 15 * Minute, n.AlarmTime = alarm, n.Alarm = true;
    n.RepeatType = repeat, n.RepeatFrequency = repeat ? 1 : 0;
  }
  // A run of the program from now on, without a check time kept.
  void Start(TDateTime now) {
    run = std::make_unique<Reminders>(calendar);
    run->Start(now);
  }
  // The alarms due at a tick, "Missed: " and all.
  QStringList Tick(TDateTime now) {
    QStringList shown;
    for (const DueAlarm& a : run->Check(now)) shown << AlarmSummary(calendar, a, DatePart(now));
    return shown;
  }
  // Ends the run with the program's save, starts a new one over the store, and gives what its
  // first tick, five seconds on, shows.
  QStringList Restart(TDateTime now) {
    EXPECT_TRUE(run->Write(store).ok);
    run->Saved();
    run = std::make_unique<Reminders>(calendar);
    run->Load(store);
    run->Start(now);
    return Tick(now + 5 / SecsPerDay);
  }

  FixedClock clock{DT(2024, 3, 5, 8, 0)};
  DataFormat calendar{clock};
  MemoryKeyStore store;
  std::unique_ptr<Reminders> run;
};

TEST_F(RemindersTest, SnoozeComesBackOnceAtItsTimeAlsoAfterARestart) {
  AddAlarm("Standup", EncodeTime(9, 0), 1);
  Start(DT(2024, 3, 5, 8, 59, 58));
  const std::vector<DueAlarm> due = run->Check(DT(2024, 3, 5, 9, 0, 3));
  ASSERT_EQ(due.size(), 1u);
  run->Snooze(due[0], due[0].at + 10 * Minute);
  EXPECT_TRUE(Tick(DT(2024, 3, 5, 9, 9, 58)).isEmpty());
  EXPECT_EQ(Tick(DT(2024, 3, 5, 9, 10, 3)), QStringList{"9:15 AM Standup"});
  EXPECT_TRUE(Tick(DT(2024, 3, 5, 9, 10, 8)).isEmpty());

  // Snoozed again, then the program ends and starts before the snooze is over; the snooze
  // that came due is not kept.
  run->Snooze(due[0], DT(2024, 3, 5, 9, 30));
  EXPECT_TRUE(Restart(DT(2024, 3, 5, 9, 20)).isEmpty());
  EXPECT_EQ(Tick(DT(2024, 3, 5, 9, 30, 2)), QStringList{"9:15 AM Standup"});
  EXPECT_TRUE(Restart(DT(2024, 3, 5, 9, 31)).isEmpty());
  const std::vector<DueAlarm> wednesday = run->Check(DT(2024, 3, 6, 9, 0, 1));
  ASSERT_EQ(wednesday.size(), 1u) << "the next day's alarm is not affected";

  // A snooze whose occurrence went (an exception on that day) is dropped without a word.
  run->Snooze(wednesday[0], DT(2024, 3, 6, 9, 10));
  calendar.ToggleException(0, D(2024, 3, 6));
  EXPECT_TRUE(Tick(DT(2024, 3, 6, 9, 10, 2)).isEmpty());
  EXPECT_TRUE(run->Snoozes().empty());
}

TEST_F(RemindersTest, AlarmsMissedWhileAsleepOrStoppedShowOnceWithinADay) {
  AddAlarm("Dentist", EncodeTime(10, 0));
  AddAlarm("Lunch", EncodeTime(12, 30), 1);
  AddAlarm("Call", EncodeTime(16, 0, 2));
  Start(DT(2024, 3, 5, 8, 0));
  // The machine sleeps for eight hours: the tick at wake shows the missed ones with their
  // times, and the one due just now as usual; the next tick nothing.
  EXPECT_EQ(Tick(DT(2024, 3, 5, 16, 0, 5)),
            (QStringList{"Missed: 10:15 AM Dentist", "Missed: 12:45 PM Lunch", "4:15 PM Call"}));
  EXPECT_TRUE(Tick(DT(2024, 3, 5, 16, 1)).isEmpty());

  // Stopped, and started the next morning: nothing is shown again.
  run->KeepCheckTime();
  EXPECT_TRUE(run->NeedsSave());
  EXPECT_TRUE(Restart(DT(2024, 3, 6, 11, 0)).isEmpty());
  // Stopped for two days: only what fell due within the last day is missed, once.
  EXPECT_EQ(Restart(DT(2024, 3, 8, 13, 0)), (QStringList{"Missed: 12:45 PM Lunch"}));
  EXPECT_TRUE(Restart(DT(2024, 3, 8, 13, 5)).isEmpty());
  // Without a check time kept (the first run ever) nothing before the start is missed.
  Start(DT(2024, 3, 9, 13, 0));
  EXPECT_TRUE(Tick(DT(2024, 3, 9, 13, 0, 5)).isEmpty());
}

TEST_F(RemindersTest, StoredStateThatIsNotWhatItShouldBeIsLeftOut) {
  AddAlarm("Standup", EncodeTime(9, 0));
  const QString uid = calendar.NoteArray[0].Uid;
  const std::tuple<QString, TDateTime, TDateTime> rows[] = {
      {uid, D(2024, 3, 5), DT(2024, 3, 5, 9, 10)},                     // fine
      {QString(), D(2024, 3, 5), DT(2024, 3, 5, 9, 10)},               // no Uid
      {uid, DT(2024, 3, 5, 6, 0), DT(2024, 3, 5, 9, 10)},              // a day with a time
      {uid, D(2024, 3, 5), std::numeric_limits<double>::infinity()}};  // an end that is no moment
  for (size_t i = 0; i < std::size(rows); ++i) {
    ASSERT_TRUE(store.OpenKey(QStringLiteral("\\Software\\Orvane\\Alarms\\Snoozes\\%1").arg(i), true));
    const auto& [rowUid, day, until] = rows[i];
    store.WriteString("Uid", rowUid), store.WriteDate("Day", day), store.WriteDate("Until", until);
  }
  store.OpenKey("\\Software\\Orvane\\Alarms", true);
  store.WriteString("LastCheck", "yesterday");  // the wrong type
  Reminders r(calendar);
  r.Load(store);
  EXPECT_EQ(r.Snoozes(), (std::vector<TSnooze>{{uid, D(2024, 3, 5), DT(2024, 3, 5, 9, 10)}}));
  EXPECT_EQ(r.LastCheck(), 0);
  EXPECT_TRUE(r.NeedsSave()) << "the bad entries go at the next save";
}

}  // namespace
