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
  int AddAlarm(const QString& title, TDateTime alarm, int repeat = 0) {
    const int i = calendar.AppendNote();
    TNote& n = calendar.NoteArray[static_cast<size_t>(i)];
    n.Title = title, n.Start = true, n.StartDate = D(2024, 3, 5);
    n.StartTime = alarm + 15 * Minute, n.AlarmTime = alarm, n.Alarm = true;
    n.RepeatType = repeat, n.RepeatFrequency = repeat ? 1 : 0;
    calendar.DataChanged = true;
    return i;
  }
  // The titles due at a tick, "Missed: " and all.
  QStringList Tick(Reminders& r, TDateTime now) {
    QStringList shown;
    for (const DueAlarm& a : r.Check(now)) shown << AlarmSummary(calendar, a, DatePart(now));
    return shown;
  }
  // Writes the state as the program's save does, and starts a new run over it.
  std::unique_ptr<Reminders> Restart(Reminders& before, TDateTime now) {
    EXPECT_TRUE(before.Write(store).ok);
    before.Saved();
    auto after = std::make_unique<Reminders>(calendar);
    after->Load(store);
    after->Start(now);
    return after;
  }

  FixedClock clock{DT(2024, 3, 5, 8, 0)};
  DataFormat calendar{clock};
  MemoryKeyStore store;
};

TEST_F(RemindersTest, SnoozeComesBackOnceAtItsTimeAlsoAfterARestart) {
  AddAlarm("Standup", EncodeTime(9, 0), 1);
  Reminders r(calendar);
  r.Start(DT(2024, 3, 5, 8, 59, 58));
  const std::vector<DueAlarm> due = r.Check(DT(2024, 3, 5, 9, 0, 3));
  ASSERT_EQ(due.size(), 1u);
  EXPECT_FALSE(due[0].missed);
  r.Snooze(due[0], due[0].at + 10 * Minute);
  EXPECT_TRUE(Tick(r, DT(2024, 3, 5, 9, 9, 58)).isEmpty());
  // Ten minutes on it rings again, once; tomorrow's alarm is not affected.
  EXPECT_EQ(Tick(r, DT(2024, 3, 5, 9, 10, 3)), QStringList{"9:15 AM Standup"});
  EXPECT_TRUE(Tick(r, DT(2024, 3, 5, 9, 10, 8)).isEmpty());

  // Snoozed again, then the program ends and starts before the snooze is over.
  r.Snooze(due[0], DT(2024, 3, 5, 9, 30));
  EXPECT_TRUE(Tick(r, DT(2024, 3, 5, 9, 12)).isEmpty());
  auto next = Restart(r, DT(2024, 3, 5, 9, 20));
  EXPECT_EQ(next->Snoozes().size(), 1u);
  EXPECT_TRUE(Tick(*next, DT(2024, 3, 5, 9, 20, 5)).isEmpty());
  EXPECT_EQ(Tick(*next, DT(2024, 3, 5, 9, 30, 2)), QStringList{"9:15 AM Standup"});
  auto third = Restart(*next, DT(2024, 3, 5, 9, 31));
  EXPECT_TRUE(third->Snoozes().empty());
  EXPECT_TRUE(Tick(*third, DT(2024, 3, 5, 9, 31, 5)).isEmpty());
  const std::vector<DueAlarm> wednesday = third->Check(DT(2024, 3, 6, 9, 0, 1));
  ASSERT_EQ(wednesday.size(), 1u) << "the next day's alarm is not affected";

  // A snooze whose occurrence went (an exception on that day) is dropped without a word.
  third->Snooze(wednesday[0], DT(2024, 3, 6, 9, 10));
  calendar.ToggleException(0, D(2024, 3, 6));
  EXPECT_TRUE(Tick(*third, DT(2024, 3, 6, 9, 10, 2)).isEmpty());
  EXPECT_TRUE(third->Snoozes().empty());
}

TEST_F(RemindersTest, AlarmsMissedWhileAsleepOrStoppedShowOnceWithinADay) {
  AddAlarm("Dentist", EncodeTime(10, 0));
  AddAlarm("Lunch", EncodeTime(12, 30), 1);
  AddAlarm("Call", EncodeTime(16, 0, 2));
  Reminders r(calendar);
  r.Start(DT(2024, 3, 5, 8, 0));
  EXPECT_TRUE(Tick(r, DT(2024, 3, 5, 8, 0, 5)).isEmpty());
  // The machine sleeps for eight hours: the tick at wake shows the missed ones with their
  // times, and the one due just now as usual; the next tick nothing.
  EXPECT_EQ(Tick(r, DT(2024, 3, 5, 16, 0, 5)),
            (QStringList{"Missed: 10:15 AM Dentist", "Missed: 12:45 PM Lunch", "4:15 PM Call"}));
  EXPECT_TRUE(Tick(r, DT(2024, 3, 5, 16, 0, 10)).isEmpty());

  // Stopped, and started the next morning: nothing is shown again.
  EXPECT_TRUE(Tick(r, DT(2024, 3, 5, 16, 1)).isEmpty());
  r.KeepCheckTime();
  EXPECT_TRUE(r.NeedsSave());
  auto morning = Restart(r, DT(2024, 3, 6, 11, 0));
  EXPECT_TRUE(Tick(*morning, DT(2024, 3, 6, 11, 0, 5)).isEmpty());
  // Stopped for two days: only what fell due within the last day is missed, once.
  auto later = Restart(*morning, DT(2024, 3, 8, 13, 0));
  EXPECT_EQ(Tick(*later, DT(2024, 3, 8, 13, 0, 5)), (QStringList{"Missed: 12:45 PM Lunch"}));
  auto again = Restart(*later, DT(2024, 3, 8, 13, 5));
  EXPECT_TRUE(Tick(*again, DT(2024, 3, 8, 13, 5, 5)).isEmpty());
  // Without a check time kept (the first run ever) nothing before the start is missed.
  Reminders first(calendar);
  first.Start(DT(2024, 3, 9, 13, 0));
  EXPECT_TRUE(Tick(first, DT(2024, 3, 9, 13, 0, 5)).isEmpty());
}

TEST_F(RemindersTest, StoredStateThatIsNotWhatItShouldBeIsLeftOut) {
  AddAlarm("Standup", EncodeTime(9, 0));
  const QString uid = calendar.NoteArray[0].Uid;
  struct Row {
    const char* name;
    QString uid;
    TDateTime day, until;
  };
  const Row rows[] = {{"fine", uid, D(2024, 3, 5), DT(2024, 3, 5, 9, 10)},
                      {"no uid", QString(), D(2024, 3, 5), DT(2024, 3, 5, 9, 10)},
                      {"day with a time", uid, DT(2024, 3, 5, 6, 0), DT(2024, 3, 5, 9, 10)},
                      {"until not a moment", uid, D(2024, 3, 5), std::numeric_limits<double>::infinity()}};
  for (size_t i = 0; i < std::size(rows); ++i) {
    ASSERT_TRUE(store.OpenKey(QStringLiteral("\\Software\\Orvane\\Alarms\\Snoozes\\%1").arg(i), true));
    store.WriteString("Uid", rows[i].uid), store.WriteDate("Day", rows[i].day), store.WriteDate("Until", rows[i].until);
  }
  store.OpenKey("\\Software\\Orvane\\Alarms", true);
  store.WriteString("LastCheck", "yesterday");  // the wrong type
  Reminders r(calendar);
  r.Load(store);
  ASSERT_EQ(r.Snoozes().size(), 1u);
  EXPECT_EQ(r.Snoozes()[0].Until, DT(2024, 3, 5, 9, 10));
  EXPECT_EQ(r.LastCheck(), 0);
  EXPECT_TRUE(r.NeedsSave()) << "the bad entries go at the next save";
}

}  // namespace
