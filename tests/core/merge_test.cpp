// Merging incoming records: a strictly greater ModifyDate wins, deleted records take part,
// and the open-task count follows.
#include "core/dataformat.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

TNote Event(const char* title, TDateTime modified, TDateTime deleted = 0) {
  TNote n;
  n.Title = title;
  n.StartDate = D(2024, 5, 3);
  n.StartTime = EncodeTime(9, 0);
  n.ModifyDate = modified;
  n.DeleteDate = deleted;
  return n;
}

TEST(Merge, AStrictlyLaterCopyOfTheSameTitleStartAndPatternWins) {
  FixedClock clock{DT(2024, 5, 1, 12, 0)};
  DataFormat calendar{clock};
  // Only the time of day is stamped by the editor, so a later time on an earlier day wins.
  const std::tuple<double, double, void (*)(TNote&), bool> cases[] = {
      {0.5, 0.6, [](TNote&) {}, true},
      {0.5, 0.5, [](TNote&) {}, false},
      {0.6, 0.5, [](TNote&) {}, false},
      {0.25, 45000.75, [](TNote& n) { n.EndDate = 1; }, true},  // other fields do not count
      {0.1, 0.9, [](TNote& n) { n.Title = "lunch"; }, false},
      {0.1, 0.9, [](TNote& n) { n.StartDate += 1; }, false},
      {0.1, 0.9, [](TNote& n) { n.StartTime += 1.0 / 24; }, false},
      {0.1, 0.9, [](TNote& n) { n.RepeatType = 1; }, false}};
  for (const auto& [existing, incoming, change, replaced] : cases) {
    calendar.ClearCalendar();
    TNote mine = Event("Lunch", existing);
    mine.Location = "here";
    calendar.NoteArray[calendar.AppendNote()] = mine;
    calendar.DataChanged = false;
    TNote theirs = Event("Lunch", incoming);
    theirs.Location = "there";
    theirs.Exceptions = {D(2024, 5, 10)};
    change(theirs);
    calendar.MergeNote(theirs);
    SCOPED_TRACE(testing::Message() << existing << " " << incoming << " " << theirs.Title.toStdString());
    EXPECT_EQ(calendar.NoteArray[0], replaced ? theirs : mine);
    EXPECT_EQ(calendar.NoteCount(), replaced || incoming <= existing ? 1 : 2);
    EXPECT_EQ(bool(calendar.DataChanged), replaced || incoming > existing);
  }
  // Of two matching events the last is the one updated; a deletion wins only as the later
  // copy, and a new event keeps its stamps.
  calendar.ClearCalendar();
  for (TDateTime deleted : {D(2024, 4, 11), 0.0})
    calendar.NoteArray[calendar.AppendNote()] = Event("Lunch", 0.5, deleted);
  calendar.NoteArray[calendar.AppendNote()] = Event("Dinner", 0.5);
  calendar.MergeNote(Event("Lunch", 0.5));
  calendar.MergeNote(Event("Lunch", 0.95, D(2024, 4, 30)));
  calendar.MergeNote(Event("Dinner", 0.4, D(2024, 4, 30)));
  const TNote trip = Event("Trip", DT(2023, 1, 1, 8, 0), D(2024, 4, 20));
  calendar.MergeNote(trip);
  ASSERT_EQ(calendar.NoteCount(), 4);
  EXPECT_EQ(calendar.NoteArray[0].DeleteDate, D(2024, 4, 11));
  EXPECT_EQ(calendar.NoteArray[1].DeleteDate, D(2024, 4, 30));
  EXPECT_EQ(calendar.NoteArray[2].DeleteDate, 0);
  TNote tripWithIdentity = trip;  // a record sent without identity gets its derived one
  tripWithIdentity.Uid = DerivedUid(trip);
  EXPECT_EQ(calendar.NoteArray[3], tripWithIdentity);
}

TEST(Merge, ACopyWithTheSameIdentityIsTheSameRecordWhateverItsTitleOrStart) {
  FixedClock clock{DT(2024, 5, 1, 12, 0)};
  DataFormat calendar{clock};
  TNote series = Event("Standup", 0.5);
  series.Uid = "standup@example.com";
  TNote instance = Event("Standup", 0.5);
  instance.Uid = series.Uid;
  instance.RecurrenceId = DT(2024, 5, 10, 9, 0);
  for (const TNote& n : {series, instance}) calendar.NoteArray[calendar.AppendNote()] = n;

  // Renamed and moved elsewhere, later: replaces ours (the old rules would have added it).
  TNote renamed = series;
  renamed.Title = "Daily standup";
  renamed.StartTime = EncodeTime(10, 0);
  renamed.ModifyDate = 0.75;
  calendar.MergeNote(renamed);
  // The instance is matched by its own original start, not by the series.
  TNote movedInstance = instance;
  movedInstance.StartDate = D(2024, 5, 11);
  movedInstance.ModifyDate = 0.8;
  calendar.MergeNote(movedInstance);
  ASSERT_EQ(calendar.NoteCount(), 2);
  EXPECT_EQ(calendar.NoteArray[0], renamed);
  EXPECT_EQ(calendar.NoteArray[1], movedInstance);

  // A later copy from a program that sends no identity is matched the old way and keeps
  // ours; a copy whose identity is unknown here but that matches the old way brings its own.
  TNote anonymous = renamed;
  anonymous.Uid.clear();
  anonymous.Location = "room 2";
  anonymous.ModifyDate = 0.9;
  calendar.MergeNote(anonymous);
  EXPECT_EQ(calendar.NoteArray[0].Location, "room 2");
  EXPECT_EQ(calendar.NoteArray[0].Uid, series.Uid);
  TNote other = anonymous;
  other.Uid = "other@example.com";
  other.ModifyDate = 0.95;
  calendar.MergeNote(other);
  EXPECT_EQ(calendar.NoteArray[0].Uid, "other@example.com");
  ASSERT_EQ(calendar.NoteCount(), 2);

  // An event sent twice without identity is one event, with its derived identity.
  calendar.ClearCalendar();
  TNote lunch = Event("Lunch", 0.5);
  calendar.MergeNote(lunch);
  calendar.MergeNote(lunch);
  ASSERT_EQ(calendar.NoteCount(), 1);
  EXPECT_EQ(calendar.NoteArray[0].Uid, DerivedUid(lunch));
}

TEST(Merge, WhereARecordIsKeptOnAServerStaysThisComputers) {
  FixedClock clock{DT(2024, 5, 1, 12, 0)};
  DataFormat calendar{clock};
  TNote ours = Event("Standup", 0.5);
  ours.Uid = "standup@example.com";
  ours.Server = TServerCopy{"/cal/standup.ics", "\"3\"", "fingerprint", false};
  calendar.NoteArray[calendar.AppendNote()] = ours;
  TToDo task;
  task.Title = "Call Jo";
  task.Uid = "jo@example.com";
  task.Server = TServerCopy{"/cal/jo.ics", "\"4\"", "fingerprint", false};
  calendar.ToDoArray[calendar.AppendToDo()] = task;

  // A later copy from a file or another computer brings its content, not its server copy
  // (it has none, or another computer's).
  TNote later = ours;
  later.Title = "Standup (moved)";
  later.ModifyDate = 0.75;
  later.Server = TServerCopy();
  calendar.MergeNote(later);
  TToDo laterTask = task;
  laterTask.Completed = true;
  laterTask.ModifyDate = 0.75;
  laterTask.Server = TServerCopy{"/elsewhere/jo.ics", "\"9\"", "other", false};
  calendar.MergeToDo(laterTask);
  EXPECT_EQ(calendar.NoteArray[0].Title, "Standup (moved)");
  EXPECT_EQ(calendar.NoteArray[0].Server, ours.Server);
  EXPECT_TRUE(calendar.ToDoArray[0].Completed);
  EXPECT_EQ(calendar.ToDoArray[0].Server, task.Server);
}

enum State { None, Open, Completed, Deleted };

TEST(Merge, TheOpenTaskCountFollowsTheWinner) {
  FixedClock clock{DT(2024, 5, 1, 12, 0)};
  DataFormat calendar{clock};
  const auto task = [](State state, double modified) {
    TToDo t;
    t.Title = "Taxes";
    t.ModifyDate = modified;
    t.Completed = state == Completed;
    t.DeleteDate = state == Deleted ? D(2024, 4, 1) : 0;
    return t;
  };
  // clang-format off
  const std::tuple<State, State, double, int> cases[] = {  // existing (None: no match), incoming, its stamp, open after
      {None, Open, 0, 2},        {None, Completed, 0, 1},   {None, Deleted, 0, 1},
      {Completed, Open, 0.4, 2}, {Deleted, Open, 0.4, 2},   {Open, Completed, 0.4, 1},
      {Open, Deleted, 0.4, 1},   {Completed, Open, 0.5, 1}, {Open, Completed, 0.6, 2}};
  // clang-format on
  for (const auto& [existing, incoming, stamp, openAfter] : cases) {
    SCOPED_TRACE(testing::Message() << existing << " " << incoming << " " << stamp);
    calendar.ClearCalendar();
    calendar.ToDoArray[calendar.AppendToDo()].Title = "Other";
    if (existing != None) {
      const int i = calendar.AppendToDo();
      calendar.ToDoArray[i] = task(existing, stamp);
      if (!calendar.ToDoArray[i].IsOpen()) --calendar.OpenToDoCount;
    }
    calendar.MergeToDo(task(incoming, 0.5));
    EXPECT_EQ(calendar.OpenToDoCount, openAfter);
    EXPECT_EQ(calendar.ToDoCount(), 2);
  }
}

}  // namespace
