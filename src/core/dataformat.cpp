#include "core/dataformat.h"

#include "core/persistence_state.h"
#include "core/zonedtime.h"

DataFormat::DataFormat(const Clock& clock)
    : clock_(clock), saved_(std::make_unique<SaveState>()), zones_(std::make_shared<ZonedTime>()) {}

DataFormat::~DataFormat() = default;

int DataFormat::AppendNote() {
  NoteArray.emplace_back();
  TNote& note = NoteArray.back();
  note.DeleteDate = 0;
  note.ModifyDate = clock_.Now();
  note.Uid = NewUid();
  DataChanged = true;
  return NoteCount() - 1;
}

int DataFormat::AppendToDo() {
  ToDoArray.emplace_back();
  TToDo& todo = ToDoArray.back();
  todo.Completed = false;
  todo.DeleteDate = 0;
  todo.DueDate = 0;
  todo.ModifyDate = clock_.Now();
  todo.Uid = NewUid();
  ++OpenToDoCount;
  DataChanged = true;
  return ToDoCount() - 1;
}

void DataFormat::DeleteNote(int index) {
  NoteArray[index].DeleteDate = clock_.Now();
  DataChanged = true;
}

void DataFormat::DeleteToDo(int index) {
  TToDo& todo = ToDoArray[index];
  if (todo.IsOpen()) --OpenToDoCount;
  todo.DeleteDate = clock_.Now();
  DataChanged = true;
}

void DataFormat::ToggleToDoCompleted(int index) {
  TToDo& todo = ToDoArray[index];
  todo.Completed = !todo.Completed;
  // A deleted task is not counted either way.
  if (todo.DeleteDate == 0) OpenToDoCount += todo.Completed ? -1 : 1;
  DataChanged = true;
}

void DataFormat::ToggleException(int index, TDateTime date) {
  date = OwnDay(index, date);
  auto& exceptions = NoteArray[index].Exceptions;
  bool removed = false;
  for (qsizetype k = 0; k < exceptions.size(); ++k) {
    if (DatePart(exceptions[k]) == date) {
      exceptions.removeAt(k);
      removed = true;
      break;
    }
  }
  if (!removed) exceptions.append(date);
  DataChanged = true;
}

bool DataFormat::HasDayNote(int index, TDateTime date) const {
  const TDateTime day = OwnDay(index, DatePart(date));
  for (const TRecurNote& rn : NoteArray[index].RecurNotes) {
    if (rn.Date == day) return true;
  }
  return false;
}

QString DataFormat::GetDayNote(int index, TDateTime date) const {
  const TDateTime day = OwnDay(index, DatePart(date));
  for (const TRecurNote& rn : NoteArray[index].RecurNotes) {
    if (DatePart(rn.Date) == day) return rn.Data;
  }
  return QString();
}

void DataFormat::AddDayNote(int index, const QString& text, TDateTime date) {
  auto& notes = NoteArray[index].RecurNotes;
  const TDateTime day = OwnDay(index, DatePart(date));
  for (qsizetype k = notes.size() - 1; k >= 0; --k) {
    if (DatePart(notes[k].Date) == day) {
      notes[k].Data += QStringLiteral("\r\n") + text;
      DataChanged = true;
      return;
    }
  }
  qsizetype pos = 0;
  while (pos < notes.size() && DatePart(notes[pos].Date) < day) ++pos;
  notes.insert(pos, TRecurNote{text, day});
  DataChanged = true;
}

void DataFormat::RemoveDayNote(int index, TDateTime date) {
  auto& notes = NoteArray[index].RecurNotes;
  const TDateTime day = OwnDay(index, DatePart(date));
  for (qsizetype k = notes.size() - 1; k >= 0; --k) {
    if (notes[k].Date == day) {
      notes.removeAt(k);
      DataChanged = true;
      return;
    }
  }
}

void DataFormat::SortToDos() {
  SortedToDos.clear();
  const TDateTime today = clock_.Today();
  for (int t = 0; t < ToDoCount(); ++t) {
    const TToDo& task = ToDoArray[t];
    if (task.DeleteDate != 0) continue;
    if (task.Completed) {
      SortedToDos.push_back(t);
      continue;
    }
    const bool dueToday = DatePart(task.DueDate) == today;
    auto pos = SortedToDos.end();
    for (auto it = SortedToDos.begin(); it != SortedToDos.end(); ++it) {
      const TToDo& s = ToDoArray[*it];
      const bool earlierThanS = s.DueDate == 0 || task.DueDate < s.DueDate;
      if ((dueToday && earlierThanS) || s.Priority > task.Priority || s.Completed ||
          (task.DueDate != 0 && s.Priority == task.Priority && earlierThanS)) {
        pos = it;
        break;
      }
    }
    SortedToDos.insert(pos, t);
  }
}

void DataFormat::ClearCalendar() {
  NoteArray.clear();
  ToDoArray.clear();
  SortedToDos.clear();
  AlarmEvents.clear();
  OpenToDoCount = 0;
  partial_ = false;  // emptied on purpose: whatever comes next is the whole calendar
  ++generation_;
  DataChanged.Bump();
  // The records are gone but the store still holds what was saved: the save cache stays
  // valid because it describes the store, not the records.
}
