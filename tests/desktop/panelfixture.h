#pragma once

// Shared by the desktop tests: a context over a memory store with a pinned clock, and small
// builders for events, tasks and colours.

#include "core/memorykeystore.h"
#include "session/appcontext.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QImage>
#include <memory>

// 0x00BBGGRR from red, green and blue.
constexpr quint32 Bgr(int r, int g, int b) {
  return static_cast<quint32>(r) | (static_cast<quint32>(g) << 8) | (static_cast<quint32>(b) << 16);
}

// The colour of a pixel as 0x00BBGGRR.
inline quint32 PixelBgr(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return Bgr(qRed(p), qGreen(p), qBlue(p));
}

struct PanelContext {
  explicit PanelContext(TDateTime now) {
    EnsureApplication();
    auto fixed = std::make_unique<FixedClock>(now);
    auto scripted = std::make_unique<ScriptedDialogs>();
    clock = fixed.get();
    dialogs = scripted.get();
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
inline int AddEvent(DataFormat& calendar, TDateTime day, const QString& title, double timeOfDay = -1,
                    int repeatType = 0) {
  const int i = calendar.AppendNote();
  TNote& note = calendar.NoteArray[static_cast<size_t>(i)];
  note.Title = title;
  note.StartDate = note.EndDate = day;
  if (timeOfDay >= 0) {
    note.Start = true;
    note.StartTime = timeOfDay;
    note.EndTime = timeOfDay + EncodeTime(1, 0);
  }
  if (repeatType != 0) {
    note.RepeatType = repeatType;
    note.RepeatFrequency = 1;
    if (repeatType == 3) note.SetRepeatOn(IsoWeekday(day), true);
  }
  calendar.DataChanged = true;
  return i;
}
inline int AddSeries(DataFormat& calendar, TDateTime start, int repeatType, const QString& title,
                     double timeOfDay = -1) {
  return AddEvent(calendar, start, title, timeOfDay, repeatType);
}

inline int AddTask(DataFormat& calendar, const QString& title, TDateTime due = 0, int priority = 2) {
  const int i = calendar.AppendToDo();
  TToDo& task = calendar.ToDoArray[static_cast<size_t>(i)];
  task.Title = title;
  task.DueDate = due;
  task.Priority = priority;
  calendar.DataChanged = true;
  return i;
}
