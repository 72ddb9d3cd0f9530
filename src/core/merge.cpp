// Merging incoming records into the calendar: the rules that let copies of the program
// synchronising through one file (or over the LAN) converge.
//
// An incoming record is the same as a record here when both carry the same identity (Uid,
// and for an instance of a series its original start). A record from a copy that sends no
// identity is matched as it always was: an event by its title, start and pattern, a task by
// its title. So is one whose identity is not known here yet, since the same record may have
// been given different identities on two computers that never met.

#include "core/dataformat.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace {

// What made two events the same event before they carried an identity.
struct NoteIdentity {
  QString title;
  TDateTime startDate;
  TDateTime startTime;
  qint32 repeatType;

  explicit NoteIdentity(const TNote& note)
      : title(note.Title), startDate(note.StartDate), startTime(note.StartTime), repeatType(note.RepeatType) {}
  // The numbers first: they sit in the hash's own entry, the title's text elsewhere.
  bool operator==(const NoteIdentity& other) const {
    return startDate == other.startDate && startTime == other.startTime && repeatType == other.repeatType &&
           title == other.title;
  }
  bool Names(const TNote& note) const {
    return startDate == note.StartDate && startTime == note.StartTime && repeatType == note.RepeatType &&
           title == note.Title;
  }
};

// Equal moments hash alike: 0.0 and -0.0 compare equal, so they must not hash apart.
double Moment(TDateTime t) { return t == 0 ? 0.0 : t; }

size_t qHash(const NoteIdentity& id, size_t seed = 0) {
  return qHashMulti(seed, id.title, Moment(id.startDate), Moment(id.startTime), id.repeatType);
}

struct NoteUid {
  QString uid;
  TDateTime recurrenceId;

  explicit NoteUid(const TNote& note) : uid(note.Uid), recurrenceId(note.RecurrenceId) {}
  bool operator==(const NoteUid& other) const { return recurrenceId == other.recurrenceId && uid == other.uid; }
  bool Names(const TNote& note) const { return recurrenceId == note.RecurrenceId && uid == note.Uid; }
};

size_t qHash(const NoteUid& id, size_t seed = 0) { return qHashMulti(seed, id.uid, Moment(id.recurrenceId)); }

// The last index in records whose key is key, or -1: the index's answer when it still holds
// (a record that took another identity leaves its old entry behind), else a scan. Records
// are compared in place, not copied into keys.
template <typename Key, typename Records>
int LastWith(const QHash<Key, int>& index, const Key& key, const Records& records) {
  const auto found = index.constFind(key);
  if (found == index.cend()) return -1;
  if (key.Names(records[found.value()])) return found.value();
  for (int i = static_cast<int>(records.size()) - 1; i >= 0; --i)
    if (key.Names(records[i])) return i;
  return -1;
}

// The index becomes the last one of its key.
template <typename Key>
void RecordLast(QHash<Key, int>& index, Key key, int at) {
  int& slot = index[std::move(key)];
  slot = std::max(slot, at);
}

struct TaskTitle {
  QString title;
  explicit TaskTitle(const TToDo& todo) : title(todo.Title) {}
  bool operator==(const TaskTitle& other) const { return title == other.title; }
  bool Names(const TToDo& todo) const { return title == todo.Title; }
};
size_t qHash(const TaskTitle& id, size_t seed = 0) { return qHash(id.title, seed); }

struct TaskUid {
  QString uid;
  explicit TaskUid(const TToDo& todo) : uid(todo.Uid) {}
  bool operator==(const TaskUid& other) const { return uid == other.uid; }
  bool Names(const TToDo& todo) const { return uid == todo.Uid; }
};
size_t qHash(const TaskUid& id, size_t seed = 0) { return qHash(id.uid, seed); }

// A derived identity that no other record holds yet: the second record with the same
// derived identity gets "-2" before the "@", the third "-3", and so on.
template <typename Taken>
QString Unused(const QString& derived, Taken taken) {
  if (!taken(derived)) return derived;
  const qsizetype at = derived.lastIndexOf(QLatin1Char('@'));
  for (int n = 2;; ++n) {
    QString candidate = derived.left(at) + QLatin1Char('-') + QString::number(n) + derived.mid(at);
    if (!taken(candidate)) return candidate;
  }
}

}  // namespace

// The last index of each identity, deleted records included: a merge of n records into a
// calendar of m costs n + m rather than n times m. Valid while the records are as the
// merges left them (the calendar's revision and counts say so).
struct MergeIndex {
  quint64 revision = 0;
  int noteCount = -1;
  int toDoCount = -1;
  QHash<NoteIdentity, int> notes;
  QHash<NoteUid, int> noteUids;
  QHash<TaskTitle, int> toDos;
  QHash<TaskUid, int> toDoUids;
};

MergeIndex& DataFormat::CurrentMergeIndex() {
  if (!mergeIndex_) mergeIndex_ = std::make_shared<MergeIndex>();
  MergeIndex& index = *mergeIndex_;
  if (index.revision != DataChanged.Revision() || index.noteCount != NoteCount() || index.toDoCount != ToDoCount()) {
    index = MergeIndex();
    index.notes.reserve(NoteCount());
    index.noteUids.reserve(NoteCount());
    index.toDos.reserve(ToDoCount());
    index.toDoUids.reserve(ToDoCount());
    for (int i = 0; i < NoteCount(); ++i) {
      index.notes.insert(NoteIdentity(NoteArray[i]), i);
      if (!NoteArray[i].Uid.isEmpty()) index.noteUids.insert(NoteUid(NoteArray[i]), i);
    }
    for (int i = 0; i < ToDoCount(); ++i) {
      index.toDos.insert(TaskTitle(ToDoArray[i]), i);
      if (!ToDoArray[i].Uid.isEmpty()) index.toDoUids.insert(TaskUid(ToDoArray[i]), i);
    }
  }
  return index;
}

void DataFormat::StampMergeIndex() {
  mergeIndex_->revision = DataChanged.Revision();
  mergeIndex_->noteCount = NoteCount();
  mergeIndex_->toDoCount = ToDoCount();
}

void DataFormat::MergeNote(const TNote& incoming) {
  MergeIndex& index = CurrentMergeIndex();
  int at = incoming.Uid.isEmpty() ? -1 : LastWith(index.noteUids, NoteUid(incoming), NoteArray);
  // Deleted events count, so a record deleted here keeps its live copy from elsewhere from
  // being added again.
  if (at < 0) at = LastWith(index.notes, NoteIdentity(incoming), NoteArray);
  if (at >= 0) {
    TNote& note = NoteArray[at];
    if (note.ModifyDate < incoming.ModifyDate) {
      TNote kept = std::move(note);
      note = incoming;
      // A copy that carries no identity does not take this one's away.
      if (incoming.Uid.isEmpty()) {
        note.Uid = std::move(kept.Uid);
        note.RecurrenceId = kept.RecurrenceId;
      }
      // Where this computer keeps the record on a server stays this computer's.
      if (!kept.Server.Href.isEmpty() || incoming.Server.Href.isEmpty()) note.Server = std::move(kept.Server);
      RecordLast(index.notes, NoteIdentity(note), at);
      RecordLast(index.noteUids, NoteUid(note), at);
      DataChanged = true;
    }
  } else {
    // Appended as the incoming record stands: AppendNote's stamps (the present time, a new
    // identity) would all be replaced by it at once.
    const int added = NoteCount();
    NoteArray.push_back(incoming);
    DataChanged = true;
    TNote& note = NoteArray[added];
    if (note.Uid.isEmpty()) {
      note.Uid = Unused(DerivedUid(note), [&](const QString& uid) {
        NoteUid key(note);
        key.uid = uid;
        return LastWith(index.noteUids, key, NoteArray) >= 0;
      });
    }
    RecordLast(index.notes, NoteIdentity(note), added);
    RecordLast(index.noteUids, NoteUid(note), added);
  }
  StampMergeIndex();
}

void DataFormat::MergeToDo(const TToDo& incoming) {
  MergeIndex& index = CurrentMergeIndex();
  int at = incoming.Uid.isEmpty() ? -1 : LastWith(index.toDoUids, TaskUid(incoming), ToDoArray);
  if (at < 0) at = LastWith(index.toDos, TaskTitle(incoming), ToDoArray);
  if (at >= 0) {
    TToDo& todo = ToDoArray[at];
    if (todo.ModifyDate < incoming.ModifyDate) {
      OpenToDoCount += (incoming.IsOpen() ? 1 : 0) - (todo.IsOpen() ? 1 : 0);
      QString keptUid = std::move(todo.Uid);
      TServerCopy keptServer = std::move(todo.Server);
      todo = incoming;
      if (incoming.Uid.isEmpty()) todo.Uid = std::move(keptUid);
      if (!keptServer.Href.isEmpty() || incoming.Server.Href.isEmpty()) todo.Server = std::move(keptServer);
      RecordLast(index.toDos, TaskTitle(todo), at);
      RecordLast(index.toDoUids, TaskUid(todo), at);
      DataChanged = true;
    }
  } else {
    const int added = ToDoCount();
    ToDoArray.push_back(incoming);
    DataChanged = true;
    TToDo& todo = ToDoArray[added];
    if (todo.IsOpen()) ++OpenToDoCount;
    if (todo.Uid.isEmpty()) {
      todo.Uid = Unused(DerivedUid(todo), [&](const QString& uid) {
        TaskUid key(todo);
        key.uid = uid;
        return LastWith(index.toDoUids, key, ToDoArray) >= 0;
      });
    }
    RecordLast(index.toDos, TaskTitle(todo), added);
    RecordLast(index.toDoUids, TaskUid(todo), added);
  }
  StampMergeIndex();
}

void DataFormat::DeriveMissingUids() {
  const auto missing = [](const auto& record) { return record.Uid.isEmpty(); };
  if (std::none_of(NoteArray.begin(), NoteArray.end(), missing) &&
      std::none_of(ToDoArray.begin(), ToDoArray.end(), missing)) {
    return;
  }
  QSet<QString> taken;
  taken.reserve(NoteCount() + ToDoCount());
  for (const TNote& note : NoteArray)
    if (!note.Uid.isEmpty()) taken.insert(note.Uid);
  for (const TToDo& todo : ToDoArray)
    if (!todo.Uid.isEmpty()) taken.insert(todo.Uid);
  const auto isTaken = [&](const QString& uid) { return taken.contains(uid); };
  for (TNote& note : NoteArray) {
    if (!note.Uid.isEmpty()) continue;
    note.Uid = Unused(DerivedUid(note), isTaken);
    taken.insert(note.Uid);
  }
  for (TToDo& todo : ToDoArray) {
    if (!todo.Uid.isEmpty()) continue;
    todo.Uid = Unused(DerivedUid(todo), isTaken);
    taken.insert(todo.Uid);
  }
}
