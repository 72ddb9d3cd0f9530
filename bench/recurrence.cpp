// Day queries over a realistic calendar: the indexed FindDayEvents against the plain test of
// every event, the index rebuild after a change, the alarm check, a week's event texts and
// the display order of a busy day.
#include "benchdata.h"
#include "core/clock.h"
#include "core/tick.h"

#include <benchmark/benchmark.h>

namespace {

const TDateTime Now = EncodeDate(2026, 12, 6) + EncodeTime(10, 0);

// The desktop panel asks for the coming days and the month calendar's cells: about a hundred
// days around today, as moments (now plus a number of days) and as dates.
TDateTime QueryDay(int k) { return (k & 1 ? Now : DatePart(Now)) + (k % 100) - 35; }

void SetEventCounter(benchmark::State& state, int events) {
  state.counters["per_event"] = benchmark::Counter(
      static_cast<double>(events), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Day queries over a generated calendar; zonedEvery > 0 keeps every zonedEvery-th timed
// event in another time zone (London's, seen from the benchmark's zone): those answer by their
// own rule on the days either side.
void QueryDays(benchmark::State& state, int zonedEvery) {
  const int events = static_cast<int>(state.range(0));
  FixedClock clock(Now);
  DataFormat calendar(clock);
  FillBenchCalendar(calendar, events, 0, Now);
  int zoned = 0;
  for (int i = 0; zonedEvery > 0 && i < calendar.NoteCount(); i += zonedEvery) {
    if (!calendar.NoteArray[i].Start) continue;
    calendar.NoteArray[i].TimeZone = QStringLiteral("Europe/London");
    ++zoned;
  }
  calendar.DataChanged = true;
  calendar.FindDayEvents(Now);  // builds the index
  int k = 0;
  double found = 0;
  for (auto _ : state) {
    const std::vector<int> events = calendar.FindDayEvents(QueryDay(k++));
    benchmark::DoNotOptimize(events.data());
    found += static_cast<double>(events.size());
  }
  SetEventCounter(state, events);
  if (zonedEvery > 0) state.counters["zoned"] = zoned;
  state.counters["events_per_day"] = benchmark::Counter(found, benchmark::Counter::kAvgIterations);
}

void BM_FindDayEvents(benchmark::State& state) { QueryDays(state, 0); }
void BM_FindDayEventsWithZonedEvents(benchmark::State& state) { QueryDays(state, 10); }

// The rule itself, tested on every event: what a query costs without the index.
void BM_PlainDayQuery(benchmark::State& state) {
  const int events = static_cast<int>(state.range(0));
  FixedClock clock(Now);
  DataFormat calendar(clock);
  FillBenchCalendar(calendar, events, 0, Now);
  std::vector<int> found;
  int k = 0;
  for (auto _ : state) {
    const TDateTime day = QueryDay(k++);
    found.clear();
    for (int i = 0; i < calendar.NoteCount(); ++i) {
      if (calendar.NoteArray[static_cast<size_t>(i)].DeleteDate == 0 && calendar.NoteOccursOn(i, day))
        found.push_back(i);
    }
    benchmark::DoNotOptimize(found.data());
  }
  SetEventCounter(state, events);
}

// The first query after an edit rebuilds the index.
void BM_QueryAfterChange(benchmark::State& state) {
  const int events = static_cast<int>(state.range(0));
  FixedClock clock(Now);
  DataFormat calendar(clock);
  FillBenchCalendar(calendar, events, 0, Now);
  for (auto _ : state) {
    calendar.DataChanged = true;
    const std::vector<int> events = calendar.FindDayEvents(Now);
    benchmark::DoNotOptimize(events.data());
  }
}

void BM_CheckAlarms(benchmark::State& state) {
  const int events = static_cast<int>(state.range(0));
  FixedClock clock(Now);
  DataFormat calendar(clock);
  FillBenchCalendar(calendar, events, 0, Now);
  TDateTime previous = FirstAlarmTick(Now);
  TDateTime now = Now;
  for (auto _ : state) {
    benchmark::DoNotOptimize(calendar.CheckAlarms(previous, now));
    previous = now;
    now += TickIntervalMs / MSecsPerDay;
  }
}

// What `orvane agenda` computes for a week.
void BM_WeekOfEventTexts(benchmark::State& state) {
  const int events = static_cast<int>(state.range(0));
  FixedClock clock(Now);
  DataFormat calendar(clock);
  FillBenchCalendar(calendar, events, events / 20, Now);
  for (auto _ : state) {
    for (int d = 0; d < 7; ++d) benchmark::DoNotOptimize(calendar.GetEventListText(DatePart(Now) + d));
  }
}

// A day holding k events (one in six all day, the timed ones at a few dozen start times, so
// that ties are many): putting them in display order should grow as k log k. The sort of the
// day's list alone, and the whole query as the month window makes it.
void BusyDay(benchmark::State& state, bool query) {
  const int k = static_cast<int>(state.range(0));
  FixedClock clock(Now);
  DataFormat calendar(clock);
  for (int i = 0; i < k; ++i) {
    TNote& note = calendar.NoteArray[static_cast<size_t>(calendar.AppendNote())];
    note.StartDate = DatePart(Now);
    note.Start = i % 6 != 0;
    note.StartTime = EncodeTime(6 + (i * 7) % 14, (i % 4) * 15);
  }
  calendar.DataChanged = true;
  const std::vector<int> day = calendar.FindDayEvents(DatePart(Now));
  if (static_cast<int>(day.size()) != k) state.SkipWithError("the day does not hold every event");
  for (auto _ : state) {
    const std::vector<int> sorted =
        query ? calendar.FindSortedDayEvents(DatePart(Now)) : calendar.SortDayEvents(day, DatePart(Now));
    benchmark::DoNotOptimize(sorted.data());
  }
  state.SetComplexityN(k);
}
void BM_SortBusyDay(benchmark::State& state) { BusyDay(state, false); }
void BM_FindSortedBusyDay(benchmark::State& state) { BusyDay(state, true); }

}  // namespace

BENCHMARK(BM_SortBusyDay)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Complexity();
BENCHMARK(BM_FindSortedBusyDay)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Complexity();
BENCHMARK(BM_FindDayEvents)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindDayEventsWithZonedEvents)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainDayQuery)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueryAfterChange)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CheckAlarms)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WeekOfEventTexts)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
