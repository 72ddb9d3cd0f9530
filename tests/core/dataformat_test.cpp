#include "core/dataformat.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

class Calendar : public ::testing::Test {
 protected:
  FixedClock clock{DT(2024, 3, 5, 10, 0)};
  DataFormat cal{clock};

  int Task(const char* title, int priority, TDateTime due = 0, bool completed = false) {
    const int i = cal.AppendToDo();
    cal.ToDoArray[i].Title = QString::fromUtf8(title);
    cal.ToDoArray[i].Priority = priority;
    cal.ToDoArray[i].DueDate = due;
    if (completed) cal.ToggleToDoCompleted(i);
    return i;
  }
  QStringList SortedTitles() {
    cal.SortToDos();
    QStringList out;
    for (int i : cal.SortedToDos) out << cal.ToDoArray[i].Title;
    return out;
  }
};

TEST_F(Calendar, NewRecordsAreLiveStampedAndMarkTheCalendarChanged) {
  EXPECT_FALSE(cal.DataChanged);
  const int n = cal.AppendNote();
  EXPECT_EQ(n, 0);
  EXPECT_EQ(cal.NoteArray[n].ModifyDate, clock.Now());
  EXPECT_EQ(cal.NoteArray[n].DeleteDate, 0);
  EXPECT_TRUE(cal.DataChanged);
  const int t = cal.AppendToDo();
  EXPECT_EQ(cal.ToDoArray[t].DueDate, 0);
  EXPECT_FALSE(cal.ToDoArray[t].Completed);
  EXPECT_EQ(cal.OpenToDoCount, 1);
}

TEST_F(Calendar, OpenTaskCountFollowsCompletionAndDeletion) {
  const int a = Task("a", 2), b = Task("b", 2);
  EXPECT_EQ(cal.OpenToDoCount, 2);
  cal.ToggleToDoCompleted(a);
  EXPECT_EQ(cal.OpenToDoCount, 1);
  cal.ToggleToDoCompleted(a);
  EXPECT_EQ(cal.OpenToDoCount, 2);
  cal.ToggleToDoCompleted(b);
  cal.DeleteToDo(b);  // completed: the count stays
  EXPECT_EQ(cal.OpenToDoCount, 1);
  cal.DeleteToDo(a);
  EXPECT_EQ(cal.OpenToDoCount, 0);
  EXPECT_EQ(cal.ToDoArray[a].DeleteDate, clock.Now());
  EXPECT_TRUE(SortedTitles().isEmpty());
  // Toggling a deleted task does not bring it back into the count.
  cal.ToggleToDoCompleted(b);
  EXPECT_EQ(cal.OpenToDoCount, 0);
}

TEST_F(Calendar, DeletingAnEventMarksItAndKeepsItsStamp) {
  const int n = cal.AppendNote();
  const TDateTime stamp = cal.NoteArray[n].ModifyDate;
  clock.Advance(1);
  cal.DeleteNote(n);
  EXPECT_EQ(cal.NoteArray[n].DeleteDate, clock.Now());
  EXPECT_EQ(cal.NoteArray[n].ModifyDate, stamp);
  EXPECT_EQ(cal.NoteCount(), 1);
}

struct SortCase {
  const char* name;
  std::vector<std::tuple<const char*, int, int, bool>> tasks;  // title, priority, due (days from today; 99 none), done
  QStringList expected;
};

class TaskOrder : public Calendar, public ::testing::WithParamInterface<SortCase> {};

TEST_P(TaskOrder, FollowsTheDisplayRules) {
  for (const auto& [title, priority, due, done] : GetParam().tasks) {
    Task(title, priority, due == 99 ? 0 : clock.Today() + due + (due == 0 ? 0.25 : 0), done);
  }
  EXPECT_EQ(SortedTitles(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TaskOrder,
    ::testing::Values(
        SortCase{"ByPriorityHighestFirst", {{"low", 3, 99, false}, {"high", 1, 99, false}, {"top", 0, 99, false}},
                 {"top", "high", "low"}},
        SortCase{"EqualTasksKeepCollectionOrder", {{"a", 2, 99, false}, {"b", 2, 99, false}, {"c", 2, 99, false}},
                 {"a", "b", "c"}},
        SortCase{"CompletedGoLastInCollectionOrder",
                 {{"done1", 0, 99, true}, {"open", 4, 99, false}, {"done2", 0, 99, true}},
                 {"open", "done1", "done2"}},
        SortCase{"DatedBeforeUndatedWithinAPriority",
                 {{"undated", 2, 99, false}, {"later", 2, 5, false}, {"sooner", 2, 2, false}},
                 {"sooner", "later", "undated"}},
        SortCase{"DueTodayJumpsAheadOfUndatedHigherPriority",
                 {{"highest", 0, 99, false}, {"lowToday", 3, 0, false}}, {"lowToday", "highest"}},
        SortCase{"DueTodayStaysBehindAnEarlierDueToday",
                 {{"highestEarlier", 0, 0, false}, {"lowToday", 3, 0, false}}, {"highestEarlier", "lowToday"}},
        SortCase{"OverdueHigherPriorityStaysAhead", {{"overdue", 0, -3, false}, {"lowToday", 3, 0, false}},
                 {"overdue", "lowToday"}},
        SortCase{"NoTasks", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Calendar, DayNotesJoinOnOneDateAndStayInDateOrder) {
  const int n = cal.AppendNote();
  cal.AddDayNote(n, QStringLiteral("first"), D(2024, 3, 10));
  cal.AddDayNote(n, QStringLiteral("second"), D(2024, 3, 10) + 0.5);
  ASSERT_EQ(cal.NoteArray[n].RecurNotes.size(), 1);
  EXPECT_EQ(cal.GetDayNote(n, D(2024, 3, 10)), QStringLiteral("first\r\nsecond"));
  cal.AddDayNote(n, QStringLiteral("earlier"), D(2024, 3, 8));
  cal.AddDayNote(n, QStringLiteral("later"), D(2024, 3, 12));
  ASSERT_EQ(cal.NoteArray[n].RecurNotes.size(), 3);
  EXPECT_EQ(cal.NoteArray[n].RecurNotes[0].Date, D(2024, 3, 8));
  EXPECT_EQ(cal.NoteArray[n].RecurNotes[2].Date, D(2024, 3, 12));
  EXPECT_TRUE(cal.HasDayNote(n, D(2024, 3, 12) + 0.3));
  EXPECT_FALSE(cal.HasDayNote(n, D(2024, 3, 11)));
  EXPECT_EQ(cal.GetDayNote(n, D(2024, 3, 11)), QString());
}

TEST_F(Calendar, RemovingADayNoteThatIsNotThereChangesNothing) {
  const int n = cal.AppendNote();
  cal.AddDayNote(n, QStringLiteral("x"), D(2024, 3, 10));
  cal.DataChanged = false;
  cal.RemoveDayNote(n, D(2024, 3, 11));
  EXPECT_FALSE(cal.DataChanged);
  cal.RemoveDayNote(n, D(2024, 3, 10));
  EXPECT_TRUE(cal.DataChanged);
  EXPECT_TRUE(cal.NoteArray[n].RecurNotes.isEmpty());
  // Toggling an exception twice restores the list.
  cal.NoteArray[n].Exceptions = {D(2024, 3, 1)};
  cal.ToggleException(n, D(2024, 3, 9));
  EXPECT_EQ(cal.NoteArray[n].Exceptions, (QList<TDateTime>{D(2024, 3, 1), D(2024, 3, 9)}));
  cal.ToggleException(n, D(2024, 3, 9));
  EXPECT_EQ(cal.NoteArray[n].Exceptions, (QList<TDateTime>{D(2024, 3, 1)}));
}

TEST_F(Calendar, ClearCalendarEmptiesEverythingButLeavesTheChangeFlag) {
  cal.AppendNote();
  Task("t", 1);
  cal.SortToDos();
  cal.DataChanged = false;
  const auto revision = cal.DataChanged.Revision();
  cal.ClearCalendar();
  EXPECT_EQ(cal.NoteCount(), 0);
  EXPECT_EQ(cal.ToDoCount(), 0);
  EXPECT_EQ(cal.SortedToDoCount(), 0);
  EXPECT_EQ(cal.OpenToDoCount, 0);
  EXPECT_FALSE(cal.DataChanged);
  EXPECT_GT(cal.DataChanged.Revision(), revision);
}

}  // namespace
