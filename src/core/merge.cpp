// Merging incoming records into the calendar: the rules that let copies of the program
// synchronising through one file (or over the LAN) converge.

#include "core/dataformat.h"

#include <QHash>

namespace {

// What makes two events the same event for merging: title, start and pattern.
struct NoteIdentity {
  QString title;
  TDateTime startDate;
  TDateTime startTime;
  qint32 repeatType;

  explicit NoteIdentity(const TNote& note)
      : title(note.Title), startDate(note.StartDate), startTime(note.StartTime), repeatType(note.RepeatType) {}
  bool operator==(const NoteIdentity& other) const {
    return title == other.title && startDate == other.startDate && startTime == other.startTime &&
           repeatType == other.repeatType;
  }
};

size_t qHash(const NoteIdentity& id, size_t seed = 0) {
  // Equal moments hash alike: 0.0 and -0.0 compare equal, so they must not hash apart.
  const auto moment = [](TDateTime t) { return t == 0 ? 0.0 : t; };
  return qHashMulti(seed, id.title, moment(id.startDate), moment(id.startTime), id.repeatType);
}

}  // namespace

// The last index of each event identity and of each task title, deleted records included:
// a merge of n records into a calendar of m costs n + m rather than n times m. Valid while
// the records are as the merges left them (the calendar's revision and counts say so).
struct MergeIndex {
  quint64 revision = 0;
  int noteCount = -1;
  int toDoCount = -1;
  QHash<NoteIdentity, int> notes;
  QHash<QString, int> toDos;
};

MergeIndex& DataFormat::CurrentMergeIndex() {
  if (!mergeIndex_) mergeIndex_ = std::make_shared<MergeIndex>();
  MergeIndex& index = *mergeIndex_;
  if (index.revision != DataChanged.Revision() || index.noteCount != NoteCount() || index.toDoCount != ToDoCount()) {
    index.notes.clear();
    index.toDos.clear();
    index.notes.reserve(NoteCount());
    index.toDos.reserve(ToDoCount());
    for (int i = 0; i < NoteCount(); ++i) index.notes.insert(NoteIdentity(NoteArray[i]), i);
    for (int i = 0; i < ToDoCount(); ++i) index.toDos.insert(ToDoArray[i].Title, i);
  }
  return index;
}

void DataFormat::StampMergeIndex() {
  mergeIndex_->revision = DataChanged.Revision();
  mergeIndex_->noteCount = NoteCount();
  mergeIndex_->toDoCount = ToDoCount();
}

void DataFormat::MergeNote(const TNote& incoming) {
  // The last event with the same title, start and pattern; deleted ones count, so a record
  // deleted here keeps its live copy from elsewhere from being added again.
  MergeIndex& index = CurrentMergeIndex();
  NoteIdentity identity(incoming);
  const auto found = index.notes.constFind(identity);
  if (found != index.notes.cend()) {
    TNote& note = NoteArray[found.value()];
    if (note.ModifyDate < incoming.ModifyDate) {
      note = incoming;  // the same identity: the index still holds
      DataChanged = true;
    }
  } else {
    const int added = AppendNote();
    NoteArray[added] = incoming;
    index.notes.insert(std::move(identity), added);
  }
  StampMergeIndex();
}

void DataFormat::MergeToDo(const TToDo& incoming) {
  MergeIndex& index = CurrentMergeIndex();
  const auto found = index.toDos.constFind(incoming.Title);
  if (found != index.toDos.cend()) {
    TToDo& todo = ToDoArray[found.value()];
    if (todo.ModifyDate < incoming.ModifyDate) {
      OpenToDoCount += (incoming.IsOpen() ? 1 : 0) - (todo.IsOpen() ? 1 : 0);
      todo = incoming;
      DataChanged = true;
    }
  } else {
    const int added = AppendToDo();  // counts the new task as open
    ToDoArray[added] = incoming;
    if (!incoming.IsOpen()) --OpenToDoCount;
    index.toDos.insert(incoming.Title, added);
  }
  StampMergeIndex();
}
