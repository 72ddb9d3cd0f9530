// Merging incoming records into the calendar: the rules that let copies of the program
// synchronising through one file (or over the LAN) converge.

#include "core/dataformat.h"

void DataFormat::MergeNote(const TNote& incoming) {
  // The last event with the same title, start and pattern; deleted ones count, so a record
  // deleted here keeps its live copy from elsewhere from being added again.
  for (int i = NoteCount() - 1; i >= 0; --i) {
    TNote& note = NoteArray[i];
    if (note.Title == incoming.Title && note.StartDate == incoming.StartDate && note.StartTime == incoming.StartTime &&
        note.RepeatType == incoming.RepeatType) {
      if (note.ModifyDate < incoming.ModifyDate) {
        note = incoming;
        DataChanged = true;
      }
      return;
    }
  }
  const int index = AppendNote();
  NoteArray[index] = incoming;
}

void DataFormat::MergeToDo(const TToDo& incoming) {
  for (int i = ToDoCount() - 1; i >= 0; --i) {
    TToDo& todo = ToDoArray[i];
    if (todo.Title == incoming.Title) {
      if (todo.ModifyDate < incoming.ModifyDate) {
        OpenToDoCount += (incoming.IsOpen() ? 1 : 0) - (todo.IsOpen() ? 1 : 0);
        todo = incoming;
        DataChanged = true;
      }
      return;
    }
  }
  const int index = AppendToDo();  // counts the new task as open
  ToDoArray[index] = incoming;
  if (!incoming.IsOpen()) --OpenToDoCount;
}
