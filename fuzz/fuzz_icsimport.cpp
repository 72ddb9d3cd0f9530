// Fuzz target: an iCalendar file from untrusted bytes merged into a calendar. Either the
// file is refused and nothing changes, or the calendar is whole: its open-task count matches
// its tasks, every event answers the day queries, and importing the same bytes again adds
// nothing.
#include "core/dataformat.h"
#include "platform/icalendar.h"

#include <cstdint>
#include <cstdlib>

namespace {

int OpenTasks(const DataFormat& calendar) {
  int open = 0;
  for (const TToDo& todo : calendar.ToDoArray) open += todo.IsOpen() ? 1 : 0;
  return open;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // libical reads up to a NUL: the bytes end with one.
  QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  FixedClock clock(45300.5);  // 8 January 2024, noon
  DataFormat calendar(clock);
  const IcsImportResult result = ImportICalendarText(calendar, text, clock.Now());
  if (!result.ok) {
    if (calendar.NoteCount() != 0 || calendar.ToDoCount() != 0 || result.error.isEmpty()) std::abort();
    return 0;
  }
  if (result.events < 0 || result.tasks < 0 || result.skipped < 0 || result.expandedEvents < 0) std::abort();
  if (calendar.OpenToDoCount != OpenTasks(calendar)) std::abort();
  if (calendar.NoteCount() > result.events + result.expandedEvents) std::abort();
  for (TDateTime day = 45290; day < 45300; day += 1) calendar.FindDayEvents(day);

  const int notes = calendar.NoteCount();
  const int todos = calendar.ToDoCount();
  if (!ImportICalendarText(calendar, text, clock.Now()).ok) std::abort();
  if (calendar.NoteCount() != notes || calendar.ToDoCount() != todos) std::abort();
  return 0;
}
