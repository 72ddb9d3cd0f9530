#include "panelfixture.h"

void EnsureApp() { EnsureApplication(); }

PanelContext::PanelContext(TDateTime now) {
  EnsureApp();
  auto fixed = std::make_unique<FixedClock>(now);
  clock = fixed.get();
  auto scripted = std::make_unique<ScriptedDialogs>();
  dialogs = scripted.get();
  context = std::make_unique<AppContext>(std::move(fixed), std::move(scripted), std::make_unique<MemoryKeyStore>());
}

int AddEvent(DataFormat& calendar, TDateTime day, const QString& title, double timeOfDay) {
  const int i = calendar.AppendNote();
  TNote& note = calendar.NoteArray[static_cast<size_t>(i)];
  note.Title = title;
  note.StartDate = day;
  note.EndDate = day;
  if (timeOfDay >= 0) {
    note.Start = true;
    note.StartTime = timeOfDay;
    note.EndTime = timeOfDay + EncodeTime(1, 0);
  }
  calendar.DataChanged = true;
  return i;
}

int AddSeries(DataFormat& calendar, TDateTime start, int repeatType, const QString& title, double timeOfDay) {
  const int i = AddEvent(calendar, start, title, timeOfDay);
  TNote& note = calendar.NoteArray[static_cast<size_t>(i)];
  note.RepeatType = repeatType;
  note.RepeatFrequency = 1;
  if (repeatType == 3) note.SetRepeatOn(IsoWeekday(start), true);
  calendar.DataChanged = true;
  return i;
}

int AddTask(DataFormat& calendar, const QString& title, TDateTime due, int priority) {
  const int i = calendar.AppendToDo();
  TToDo& task = calendar.ToDoArray[static_cast<size_t>(i)];
  task.Title = title;
  task.DueDate = due;
  task.Priority = priority;
  calendar.DataChanged = true;
  return i;
}

quint32 PixelBgr(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return Bgr(qRed(p), qGreen(p), qBlue(p));
}
