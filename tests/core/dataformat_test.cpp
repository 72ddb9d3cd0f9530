// The calendar's records: new, completed and deleted records, the task order, day notes and
// exceptions.
#include "core/dataformat.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

class Calendar : public ::testing::Test {
 protected:
  int Task(const char* title, int priority, TDateTime due = 0) {
    const int i = cal.AppendToDo();
    cal.ToDoArray[i].Title = title;
    cal.ToDoArray[i].Priority = priority;
    cal.ToDoArray[i].DueDate = due;
    return i;
  }
  FixedClock clock{DT(2024, 3, 5, 10, 0)};
  DataFormat cal{clock};
};

TEST_F(Calendar, NewRecordsAreStampedAndTheOpenTaskCountFollowsCompletionAndDeletion) {
  const int n = cal.AppendNote();
  EXPECT_EQ(cal.NoteArray[n].ModifyDate, clock.Now());
  clock.Advance(1);
  cal.DeleteNote(n);  // marked, its stamp kept
  EXPECT_EQ(std::tuple(cal.NoteArray[n].DeleteDate, cal.NoteArray[n].ModifyDate, cal.NoteCount()),
            std::tuple(clock.Now(), clock.Now() - 1, 1));
  const int a = Task("a", 2), b = Task("b", 2);
  cal.ToggleToDoCompleted(b);
  cal.DeleteToDo(b);  // completed: the count stays
  EXPECT_EQ(cal.OpenToDoCount, 1);
  cal.DeleteToDo(a);
  EXPECT_EQ(cal.ToDoArray[a].DeleteDate, clock.Now());
  cal.ToggleToDoCompleted(b);  // a deleted task does not come back into the count
  EXPECT_EQ(cal.OpenToDoCount, 0);
  cal.SortToDos();
  EXPECT_EQ(cal.SortedToDoCount(), 0);
  // Clearing empties everything but leaves the change flag, though it counts as a change.
  cal.DataChanged = false;
  const auto revision = cal.DataChanged.Revision();
  cal.ClearCalendar();
  EXPECT_EQ(cal.NoteCount() + cal.ToDoCount() + cal.OpenToDoCount, 0);
  EXPECT_FALSE(cal.DataChanged);
  EXPECT_GT(cal.DataChanged.Revision(), revision);
}

// By priority, but sooner due dates first among equals, and a task due today jumps ahead of
// an undated higher priority, not of an earlier one due today or an overdue one.
TEST_F(Calendar, TaskOrderFollowsTheDueDates) {
  const std::pair<std::vector<std::tuple<const char*, int, int>>, QStringList> cases[] = {
      // title, priority, due in days (99: none); the order expected
      {{{"undated", 2, 99}, {"later", 2, 5}, {"sooner", 2, 2}, {"undated2", 2, 99}},
       {"sooner", "later", "undated", "undated2"}},
      {{{"highest", 0, 99}, {"lowToday", 3, 0}}, {"lowToday", "highest"}},
      {{{"highestEarlier", 0, 0}, {"lowToday", 3, 0}}, {"highestEarlier", "lowToday"}},
      {{{"overdue", 0, -3}, {"lowToday", 3, 0}}, {"overdue", "lowToday"}}};
  for (const auto& [tasks, expected] : cases) {
    cal.ClearCalendar();
    for (const auto& [title, priority, due] : tasks)
      Task(title, priority, due == 99 ? 0 : clock.Today() + due + (due == 0 ? 0.25 : 0));
    cal.SortToDos();
    QStringList sorted;
    for (int i : cal.SortedToDos) sorted << cal.ToDoArray[i].Title;
    EXPECT_EQ(sorted, expected);
  }
}

TEST_F(Calendar, DayNotesJoinOnOneDateStayInDateOrderAndExceptionsToggle) {
  const int n = cal.AppendNote();
  for (const auto& [text, day] : {std::pair{"first", 10.0}, {"second", 10.5}, {"later", 12.0}, {"earlier", 8.0}})
    cal.AddDayNote(n, text, D(2024, 3, 1) + day - 1);
  ASSERT_EQ(cal.NoteArray[n].RecurNotes.size(), 3);
  EXPECT_EQ(cal.NoteArray[n].RecurNotes[0].Date, D(2024, 3, 8));
  EXPECT_EQ(cal.NoteArray[n].RecurNotes[2].Date, D(2024, 3, 12));
  EXPECT_EQ(cal.GetDayNote(n, D(2024, 3, 10)), "first\r\nsecond");
  EXPECT_TRUE(cal.HasDayNote(n, D(2024, 3, 12) + 0.3));
  EXPECT_FALSE(cal.HasDayNote(n, D(2024, 3, 11)));
  cal.DataChanged = false;
  cal.RemoveDayNote(n, D(2024, 3, 11));  // not there: nothing changes
  EXPECT_FALSE(cal.DataChanged);
  for (int day : {8, 10, 12}) cal.RemoveDayNote(n, D(2024, 3, day));
  EXPECT_TRUE(cal.DataChanged);
  EXPECT_TRUE(cal.NoteArray[n].RecurNotes.isEmpty());

  cal.NoteArray[n].Exceptions = {D(2024, 3, 1)};
  cal.ToggleException(n, D(2024, 3, 9));
  EXPECT_EQ(cal.NoteArray[n].Exceptions, (QList<TDateTime>{D(2024, 3, 1), D(2024, 3, 9)}));
  cal.ToggleException(n, D(2024, 3, 9));
  EXPECT_EQ(cal.NoteArray[n].Exceptions, (QList<TDateTime>{D(2024, 3, 1)}));
}

}  // namespace
