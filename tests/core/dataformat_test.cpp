// The calendar's records: new, completed and deleted records, the task order, day notes and
// exceptions.
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
    cal.ToDoArray[i].Title = title;
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

TEST_F(Calendar, NewRecordsAreStampedAndTheOpenTaskCountFollowsCompletionAndDeletion) {
  EXPECT_FALSE(cal.DataChanged);
  const int n = cal.AppendNote();
  EXPECT_EQ(cal.NoteArray[n].ModifyDate, clock.Now());
  EXPECT_TRUE(cal.DataChanged);
  clock.Advance(1);
  cal.DeleteNote(n);  // marked, its stamp kept
  EXPECT_EQ(cal.NoteArray[n].DeleteDate, clock.Now());
  EXPECT_EQ(cal.NoteArray[n].ModifyDate, clock.Now() - 1);
  EXPECT_EQ(cal.NoteCount(), 1);

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
  cal.ToggleToDoCompleted(b);  // a deleted task does not come back into the count
  EXPECT_EQ(cal.OpenToDoCount, 0);

  // Clearing empties everything but leaves the change flag, though it counts as a change.
  cal.DataChanged = false;
  const auto revision = cal.DataChanged.Revision();
  cal.ClearCalendar();
  EXPECT_EQ(cal.NoteCount() + cal.ToDoCount() + cal.SortedToDoCount() + cal.OpenToDoCount, 0);
  EXPECT_FALSE(cal.DataChanged);
  EXPECT_GT(cal.DataChanged.Revision(), revision);
}

TEST_F(Calendar, TaskOrderFollowsTheDisplayRules) {
  struct Case {
    std::vector<std::tuple<const char*, int, int, bool>>
        tasks;  // title, priority, due (days from today; 99 none), done
    QStringList expected;
  };
  const Case cases[] = {
      {{{"low", 3, 99, false}, {"high", 1, 99, false}, {"top", 0, 99, false}}, {"top", "high", "low"}},
      {{{"a", 2, 99, false}, {"b", 2, 99, false}, {"c", 2, 99, false}}, {"a", "b", "c"}},
      {{{"done1", 0, 99, true}, {"open", 4, 99, false}, {"done2", 0, 99, true}}, {"open", "done1", "done2"}},
      {{{"undated", 2, 99, false}, {"later", 2, 5, false}, {"sooner", 2, 2, false}}, {"sooner", "later", "undated"}},
      // Due today jumps ahead of an undated higher priority, not of an earlier one due today
      // or an overdue one.
      {{{"highest", 0, 99, false}, {"lowToday", 3, 0, false}}, {"lowToday", "highest"}},
      {{{"highestEarlier", 0, 0, false}, {"lowToday", 3, 0, false}}, {"highestEarlier", "lowToday"}},
      {{{"overdue", 0, -3, false}, {"lowToday", 3, 0, false}}, {"overdue", "lowToday"}}};
  for (const Case& c : cases) {
    cal.ClearCalendar();
    for (const auto& [title, priority, due, done] : c.tasks) {
      Task(title, priority, due == 99 ? 0 : clock.Today() + due + (due == 0 ? 0.25 : 0), done);
    }
    EXPECT_EQ(SortedTitles(), c.expected);
  }
}

TEST_F(Calendar, DayNotesJoinOnOneDateStayInDateOrderAndExceptionsToggle) {
  const int n = cal.AppendNote();
  cal.AddDayNote(n, "first", D(2024, 3, 10));
  cal.AddDayNote(n, "second", D(2024, 3, 10) + 0.5);
  ASSERT_EQ(cal.NoteArray[n].RecurNotes.size(), 1);
  EXPECT_EQ(cal.GetDayNote(n, D(2024, 3, 10)), "first\r\nsecond");
  cal.AddDayNote(n, "earlier", D(2024, 3, 8));
  cal.AddDayNote(n, "later", D(2024, 3, 12));
  ASSERT_EQ(cal.NoteArray[n].RecurNotes.size(), 3);
  EXPECT_EQ(cal.NoteArray[n].RecurNotes[0].Date, D(2024, 3, 8));
  EXPECT_EQ(cal.NoteArray[n].RecurNotes[2].Date, D(2024, 3, 12));
  EXPECT_TRUE(cal.HasDayNote(n, D(2024, 3, 12) + 0.3));
  EXPECT_FALSE(cal.HasDayNote(n, D(2024, 3, 11)));
  EXPECT_EQ(cal.GetDayNote(n, D(2024, 3, 11)), QString());
  // Removing a note that is not there changes nothing.
  cal.DataChanged = false;
  cal.RemoveDayNote(n, D(2024, 3, 11));
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
