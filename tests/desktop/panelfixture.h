#pragma once

// Shared by the desktop tests: a context over a memory store with a pinned clock, and builders
// for events and tasks.

#include "core/memorykeystore.h"
#include "session/appcontext.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QImage>
#include <memory>

// 0x00BBGGRR from red, green and blue.
constexpr quint32 Bgr(int r, int g, int b) { return quint32(r) | quint32(g) << 8 | quint32(b) << 16; }

struct PanelContext {
  explicit PanelContext(TDateTime now) {
    EnsureApplication();
    auto fixed = std::make_unique<FixedClock>(now);
    auto scripted = std::make_unique<ScriptedDialogs>();
    clock = fixed.get(), dialogs = scripted.get();
    context = std::make_unique<AppContext>(std::move(fixed), std::move(scripted), std::make_unique<MemoryKeyStore>());
  }
  FixedClock* clock = nullptr;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<AppContext> context;
  DataFormat& calendar() { return context->calendar(); }
  DisplaySettings& display() { return context->display(); }
};

// A one-time event on a day; with a time of day it is a timed event of an hour. With a
// repeat type it is a series from that day: every day (1), every weekday (2), weekly (3).
inline int AddEvent(DataFormat& calendar, TDateTime day, const QString& title, double time = -1, int repeat = 0) {
  const int i = calendar.AppendNote();
  TNote& note = calendar.NoteArray[static_cast<size_t>(i)];
  note.Title = title;
  note.StartDate = note.EndDate = day;
  if (time >= 0) note.Start = true, note.StartTime = time, note.EndTime = time + EncodeTime(1, 0);
  if (repeat != 0) note.RepeatType = repeat, note.RepeatFrequency = 1;
  if (repeat == 3) note.SetRepeatOn(IsoWeekday(day), true);
  calendar.DataChanged = true;
  return i;
}

inline int AddTask(DataFormat& calendar, const QString& title, TDateTime due = 0, int priority = 2) {
  const int i = calendar.AppendToDo();
  TToDo& task = calendar.ToDoArray[static_cast<size_t>(i)];
  task.Title = title, task.DueDate = due, task.Priority = priority;
  calendar.DataChanged = true;
  return i;
}
