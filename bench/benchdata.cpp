#include "benchdata.h"

#include <cstdlib>
#include <random>
#include <string_view>

void FillBenchCalendar(DataFormat& calendar, int events, int tasks, TDateTime around, unsigned seed) {
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  static const char* const words[] = {"Team",   "meeting", "Dentist",  "Lunch",    "with", "Anna",   "review", "Gym",
                                      "Call",   "Mom",     "Project",  "deadline", "Yoga", "Book",   "club",   "Piano",
                                      "lesson", "Budget",  "planning", "Garden",   "Car",  "service"};
  auto phrase = [&](int n) {
    QString s;
    for (int i = 0; i < n; ++i) {
      if (i) s += QLatin1Char(' ');
      s += QLatin1String(words[pick(0, int(std::size(words)) - 1)]);
    }
    return s;
  };
  for (int e = 0; e < events; ++e) {
    const int i = calendar.AppendNote();
    TNote& n = calendar.NoteArray[i];
    n.Title = phrase(pick(1, 4));
    n.Category = pick(0, 3) == 0 ? QStringLiteral("Work") : QStringLiteral("Default");
    n.Location = pick(0, 2) == 0 ? phrase(2) : QString();
    if (pick(0, 1) == 0) n.Notes = phrase(pick(30, 60));
    n.StartDate = DatePart(around) - pick(0, 3 * 365);
    n.Start = pick(0, 4) != 0;
    n.StartTime = EncodeTime(pick(6, 20), pick(0, 3) * 15);
    n.EndTime = n.StartTime + EncodeTime(1, 0);
    n.Alarm = pick(0, 5) == 0;
    n.AlarmTime = n.StartTime;
    n.RepeatFrequency = 1;
    n.SpanRange = 1;
    int y, m, d;
    DecodeDate(n.StartDate, y, m, d);
    const int r = pick(0, 99);
    if (r < 40) {
      n.RepeatType = 0;
      if (pick(0, 9) == 0) {
        n.Span = true;
        n.SpanRange = pick(2, 5);
      }
    } else if (r < 55) {
      n.RepeatType = 3;
      n.RepeatFrequency = pick(1, 2);
      n.SetRepeatOn(IsoWeekday(n.StartDate), true);
      if (pick(0, 2) == 0) n.SetRepeatOn(pick(1, 7), true);
    } else if (r < 65) {
      n.RepeatType = 1;
      n.RepeatFrequency = pick(1, 3);
    } else if (r < 75) {
      n.RepeatType = 2;
    } else if (r < 85) {
      n.RepeatType = 4;
      n.RepeatDay = d;
      n.RepeatMonth = m;
      n.RepeatFrequency = pick(1, 3);
    } else if (r < 90) {
      n.RepeatType = 5;
      n.RepeatDay = WeekdayIndex(n.StartDate);
      n.RepeatCardinal = pick(0, 4);
    } else {
      n.RepeatType = pick(0, 3) == 0 ? 7 : 6;
      n.RepeatDay = n.RepeatType == 6 ? d : WeekdayIndex(n.StartDate);
      n.RepeatMonth = m - 1;
      n.RepeatCardinal = (d - 1) / 7;
    }
    if (n.RepeatType != 0) {
      const int range = pick(0, 3);
      if (range == 0) {
        n.RangeType = 1;
        n.RangeCount = pick(2, 60);
      } else if (range == 1) {
        n.RangeType = 2;
        n.EndDate = n.StartDate + pick(30, 800);
      }
      for (int k = pick(0, 6) - 4; k > 0; --k) n.Exceptions.append(n.StartDate + pick(0, 200));
      if (pick(0, 9) == 0) n.RecurNotes.append({phrase(8), n.StartDate + pick(0, 60)});
    }
    if (pick(0, 50) == 0) n.DeleteDate = around - pick(0, 30);
  }
  for (int t = 0; t < tasks; ++t) {
    const int i = calendar.AppendToDo();
    TToDo& task = calendar.ToDoArray[i];
    task.Title = phrase(pick(2, 5));
    task.Priority = pick(0, 4);
    if (pick(0, 1) == 0) task.DueDate = DatePart(around) + pick(-10, 30);
    if (pick(0, 2) == 0) task.Notes << phrase(6) << phrase(4);
    if (pick(0, 3) == 0) calendar.ToggleToDoCompleted(i);
  }
}

void CalendarSizes(benchmark::internal::Benchmark* bench) {
  const char* large = std::getenv("ORVANE_BENCH_LARGE");
  if (large && *large && std::string_view(large) != "0")
    bench->Arg(100000);
  else
    bench->Arg(1000)->Arg(10000);
}
