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

  static TNote Event(const char* title, TDateTime modified, TDateTime deleted = 0) {
    TNote n;
    n.Title = title;
    n.StartDate = D(2024, 5, 3);
    n.StartTime = EncodeTime(9, 0);
    n.ModifyDate = modified;
    n.DeleteDate = deleted;
    return n;
  }
  void Add(const TNote& n) {
    calendar_.NoteArray[calendar_.AppendNote()] = n;
    calendar_.DataChanged = false;
  }
};

TEST_F(MergeTest, OnlyAStrictlyLaterCopyWins) {
  // Only the time of day is stamped by the editor, so a later time on an earlier day wins.
  const std::tuple<double, double, bool> cases[] = {
      {0.5, 0.6, true}, {0.5, 0.5, false}, {0.6, 0.5, false}, {0.25, 45000.75, true}};
  for (const auto& [existing, incoming, replaced] : cases) {
    calendar_.ClearCalendar();
    TNote mine = Event("Lunch", existing);
    mine.Location = "here";
    Add(mine);
    TNote theirs = Event("Lunch", incoming);
    theirs.Location = "there";
    theirs.Exceptions = {D(2024, 5, 10)};
    calendar_.MergeNote(theirs);
    ASSERT_EQ(calendar_.NoteCount(), 1);
    EXPECT_EQ(calendar_.NoteArray[0], replaced ? theirs : mine) << existing << " " << incoming;
    EXPECT_EQ(bool(calendar_.DataChanged), replaced);
  }
}

TEST_F(MergeTest, TitleStartAndPatternIdentifyAnEvent) {
  const std::pair<void (*)(TNote&), bool> cases[] = {{[](TNote&) {}, true},
                                                     {[](TNote& n) {
                                                        n.EndDate = 1;
                                                        n.Notes = "x";
                                                      },
                                                      true},  // other fields do not count
                                                     {[](TNote& n) { n.Title = "lunch"; }, false},
                                                     {[](TNote& n) { n.StartDate += 1; }, false},
                                                     {[](TNote& n) { n.StartTime += 1.0 / 24; }, false},
                                                     {[](TNote& n) { n.RepeatType = 1; }, false}};
  for (const auto& [change, matches] : cases) {
    calendar_.ClearCalendar();
    Add(Event("Lunch", 0.1));
    TNote incoming = Event("Lunch", 0.9);
    change(incoming);
    calendar_.MergeNote(incoming);
    EXPECT_EQ(calendar_.NoteCount(), matches ? 1 : 2) << incoming.Title.toStdString();
    EXPECT_EQ(calendar_.NoteArray.back(), incoming);
  }
  // Of two matching events the last is the one updated.
  Add(Event("Lunch", 0.1));
  TNote incoming = Event("Lunch", 0.95);
  incoming.Location = "new";
  calendar_.MergeNote(incoming);
  EXPECT_EQ(calendar_.NoteArray[0].Location, QString());
  EXPECT_EQ(calendar_.NoteArray[2].Location, "new");
}

TEST_F(MergeTest, NewEventsKeepTheirStampsAndADeletionWinsOnlyAsTheLaterCopy) {
  Add(Event("Lunch", 0.5, D(2024, 4, 11)));
  Add(Event("Dinner", 0.5));
  calendar_.MergeNote(Event("Lunch", 0.5));  // a live copy, not later: it stays deleted
  EXPECT_FALSE(calendar_.DataChanged);
  const TNote trip = Event("Trip", DT(2023, 1, 1, 8, 0), D(2024, 4, 20));
  calendar_.MergeNote(trip);
  EXPECT_TRUE(calendar_.DataChanged);
  calendar_.MergeNote(Event("Dinner", 0.6, D(2024, 4, 30)));
  ASSERT_EQ(calendar_.NoteCount(), 3);
  EXPECT_EQ(calendar_.NoteArray[0].DeleteDate, D(2024, 4, 11));
  EXPECT_EQ(calendar_.NoteArray[1].DeleteDate, D(2024, 4, 30));
  EXPECT_EQ(calendar_.NoteArray[2], trip);
}

// --- Tasks and the open-task count -------------------------------------------------------

enum class State { None, Open, Completed, Deleted };

TToDo Task(State state, double modified) {
  TToDo t;
  t.Title = "Taxes";
  t.ModifyDate = modified;
  t.Completed = state == State::Completed;
  t.DeleteDate = state == State::Deleted ? D(2024, 4, 1) : 0;
  return t;
}

TEST_F(MergeTest, TheOpenTaskCountFollowsTheWinner) {
  struct Case {
    State existing;  // None: no match
    State incoming;
    double existingStamp;
    int openAfter;
  };
  const Case cases[] = {{State::None, State::Open, 0, 2},       {State::None, State::Completed, 0, 1},
                        {State::None, State::Deleted, 0, 1},    {State::Completed, State::Open, 0.4, 2},
                        {State::Deleted, State::Open, 0.4, 2},  {State::Open, State::Completed, 0.4, 1},
                        {State::Open, State::Deleted, 0.4, 1},  {State::Completed, State::Open, 0.5, 1},
                        {State::Open, State::Completed, 0.6, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.existing) << " " << int(c.incoming) << " " << c.existingStamp);
    calendar_.ClearCalendar();
    // One unrelated open task throughout.
    calendar_.ToDoArray[calendar_.AppendToDo()].Title = "Other";
    if (c.existing != State::None) {
      const int i = calendar_.AppendToDo();
      calendar_.ToDoArray[i] = Task(c.existing, c.existingStamp);
      if (!calendar_.ToDoArray[i].IsOpen()) --calendar_.OpenToDoCount;
    }
    calendar_.MergeToDo(Task(c.incoming, 0.5));
    EXPECT_EQ(calendar_.OpenToDoCount, c.openAfter);
    EXPECT_EQ(calendar_.ToDoCount(), 2);
    int open = 0;
    for (const TToDo& t : calendar_.ToDoArray) open += t.IsOpen() ? 1 : 0;
    EXPECT_EQ(open, calendar_.OpenToDoCount);
  }
}

}  // namespace
