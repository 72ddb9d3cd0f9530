// Merging incoming records: a strictly greater ModifyDate wins, deleted records take part,
// and the open-task count follows.
#include "core/dataformat.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

class MergeTest : public ::testing::Test {
 protected:
  FixedClock clock_{DT(2024, 5, 1, 12, 0)};
  DataFormat calendar_{clock_};

  TNote Event(const char* title, TDateTime modified) {
    TNote n;
    n.Title = QString::fromUtf8(title);
    n.StartDate = D(2024, 5, 3);
    n.StartTime = EncodeTime(9, 0);
    n.RepeatType = 0;
    n.ModifyDate = modified;
    return n;
  }
  int Add(const TNote& n) {
    const int i = calendar_.AppendNote();
    calendar_.NoteArray[i] = n;
    calendar_.DataChanged = false;
    return i;
  }
};

struct StampCase {
  const char* name;
  double existing;
  double incoming;
  bool replaced;
};

class NoteStamps : public MergeTest, public ::testing::WithParamInterface<StampCase> {};

TEST_P(NoteStamps, OnlyAStrictlyLaterCopyWins) {
  const StampCase& c = GetParam();
  TNote mine = Event("Lunch", c.existing);
  mine.Location = QStringLiteral("here");
  Add(mine);
  TNote theirs = Event("Lunch", c.incoming);
  theirs.Location = QStringLiteral("there");
  theirs.Exceptions = {D(2024, 5, 10)};
  calendar_.MergeNote(theirs);
  ASSERT_EQ(calendar_.NoteCount(), 1);
  EXPECT_EQ(calendar_.NoteArray[0], c.replaced ? theirs : mine);
  EXPECT_EQ(bool(calendar_.DataChanged), c.replaced);
}

INSTANTIATE_TEST_SUITE_P(Merge, NoteStamps,
                         ::testing::Values(StampCase{"Later", 0.5, 0.6, true}, StampCase{"Equal", 0.5, 0.5, false},
                                           StampCase{"Earlier", 0.6, 0.5, false},
                                           // Only the time of day is stamped by the editor.
                                           StampCase{"LaterTimeOnAnEarlierDay", 0.25, 45000.75, true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct MatchCase {
  const char* name;
  void (*change)(TNote&);
  bool matches;
};

class NoteMatch : public MergeTest, public ::testing::WithParamInterface<MatchCase> {};

TEST_P(NoteMatch, TitleStartAndPatternIdentifyAnEvent) {
  Add(Event("Lunch", 0.1));
  TNote incoming = Event("Lunch", 0.9);
  GetParam().change(incoming);
  calendar_.MergeNote(incoming);
  EXPECT_EQ(calendar_.NoteCount(), GetParam().matches ? 1 : 2);
  EXPECT_EQ(calendar_.NoteArray.back(), incoming);
}

INSTANTIATE_TEST_SUITE_P(
    Merge, NoteMatch,
    ::testing::Values(MatchCase{"Same", [](TNote&) {}, true},
                      MatchCase{"OtherFieldsDoNotCount", [](TNote& n) { n.EndDate = 1; n.Notes = QStringLiteral("x"); }, true},
                      MatchCase{"TitleCase", [](TNote& n) { n.Title = QStringLiteral("lunch"); }, false},
                      MatchCase{"StartDate", [](TNote& n) { n.StartDate += 1; }, false},
                      MatchCase{"StartTime", [](TNote& n) { n.StartTime += 1.0 / 24; }, false},
                      MatchCase{"Pattern", [](TNote& n) { n.RepeatType = 1; }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MergeTest, TheLastMatchingEventIsTheOneUpdated) {
  Add(Event("Lunch", 0.1));
  Add(Event("Lunch", 0.1));
  TNote incoming = Event("Lunch", 0.2);
  incoming.Location = QStringLiteral("new");
  calendar_.MergeNote(incoming);
  EXPECT_EQ(calendar_.NoteArray[0].Location, QString());
  EXPECT_EQ(calendar_.NoteArray[1].Location, QStringLiteral("new"));
}

TEST_F(MergeTest, ANewEventKeepsItsOwnStamps) {
  TNote incoming = Event("Trip", DT(2023, 1, 1, 8, 0));
  incoming.DeleteDate = D(2024, 4, 20);
  calendar_.MergeNote(incoming);
  ASSERT_EQ(calendar_.NoteCount(), 1);
  EXPECT_EQ(calendar_.NoteArray[0], incoming);
  EXPECT_TRUE(calendar_.DataChanged);
}

TEST_F(MergeTest, ADeletionWinsOnlyAsTheLaterCopy) {
  TNote mine = Event("Lunch", 0.5);
  mine.DeleteDate = D(2024, 4, 11);
  Add(mine);
  Add(Event("Dinner", 0.5));
  calendar_.MergeNote(Event("Lunch", 0.5));  // a live copy, not later: it stays deleted
  TNote theirs = Event("Dinner", 0.6);
  theirs.DeleteDate = D(2024, 4, 30);
  calendar_.MergeNote(theirs);
  ASSERT_EQ(calendar_.NoteCount(), 2);
  EXPECT_EQ(calendar_.NoteArray[0].DeleteDate, D(2024, 4, 11));
  EXPECT_EQ(calendar_.NoteArray[1].DeleteDate, D(2024, 4, 30));
}

// --- Tasks and the open-task count -------------------------------------------------------

enum class State { Open, Completed, Deleted };

TToDo Task(State state, double modified) {
  TToDo t;
  t.Title = QStringLiteral("Taxes");
  t.ModifyDate = modified;
  t.Completed = state == State::Completed;
  t.DeleteDate = state == State::Deleted ? D(2024, 4, 1) : 0;
  return t;
}

struct TaskCase {
  const char* name;
  std::optional<State> existing;  // none: no match
  State incoming;
  double existingStamp;
  int openAfter;
  int countAfter;
};

class TaskMerge : public MergeTest, public ::testing::WithParamInterface<TaskCase> {};

TEST_P(TaskMerge, OpenCountFollowsTheWinner) {
  const TaskCase& c = GetParam();
  // One unrelated open task throughout.
  calendar_.ToDoArray[calendar_.AppendToDo()].Title = QStringLiteral("Other");
  if (c.existing) {
    const int i = calendar_.AppendToDo();
    calendar_.ToDoArray[i] = Task(*c.existing, c.existingStamp);
    if (!calendar_.ToDoArray[i].IsOpen()) --calendar_.OpenToDoCount;
  }
  const TToDo incoming = Task(c.incoming, 0.5);
  calendar_.MergeToDo(incoming);
  EXPECT_EQ(calendar_.OpenToDoCount, c.openAfter);
  EXPECT_EQ(calendar_.ToDoCount(), c.countAfter);
  int open = 0;
  for (const TToDo& t : calendar_.ToDoArray) open += t.IsOpen() ? 1 : 0;
  EXPECT_EQ(open, calendar_.OpenToDoCount);
}

INSTANTIATE_TEST_SUITE_P(
    Merge, TaskMerge,
    ::testing::Values(TaskCase{"NewOpen", std::nullopt, State::Open, 0, 2, 2},
                      TaskCase{"NewCompleted", std::nullopt, State::Completed, 0, 1, 2},
                      TaskCase{"NewDeleted", std::nullopt, State::Deleted, 0, 1, 2},
                      TaskCase{"CompletedReopenedByLaterCopy", State::Completed, State::Open, 0.4, 2, 2},
                      TaskCase{"DeletedRevivedByLaterCopy", State::Deleted, State::Open, 0.4, 2, 2},
                      TaskCase{"OpenCompletedByLaterCopy", State::Open, State::Completed, 0.4, 1, 2},
                      TaskCase{"OpenDeletedByLaterCopy", State::Open, State::Deleted, 0.4, 1, 2},
                      TaskCase{"CompletedStaysAgainstEqualStamp", State::Completed, State::Open, 0.5, 1, 2},
                      TaskCase{"OpenStaysAgainstOlderCopy", State::Open, State::Completed, 0.6, 2, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MergeTest, TasksMatchByExactTitleOnly) {
  calendar_.ToDoArray[calendar_.AppendToDo()] = Task(State::Open, 0.1);
  TToDo other = Task(State::Open, 0.9);
  other.Title = QStringLiteral("taxes");
  calendar_.MergeToDo(other);
  EXPECT_EQ(calendar_.ToDoCount(), 2);
  TToDo same = Task(State::Open, 0.9);
  same.DueDate = D(2024, 4, 15);
  same.Notes = {QStringLiteral("forms")};
  calendar_.MergeToDo(same);
  EXPECT_EQ(calendar_.ToDoCount(), 2);
  EXPECT_EQ(calendar_.ToDoArray[0], same);
}

}  // namespace
