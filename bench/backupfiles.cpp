// The calendar as bytes: writing the block of a backup or sync file, reading it back, and
// merging a synchronisation file into a calendar that already holds the same records.
#include "core/backupfiles.h"
#include "benchdata.h"
#include "core/bytestream.h"
#include "core/clock.h"

#include <benchmark/benchmark.h>

namespace {

const TDateTime Now = EncodeDate(2026, 12, 6) + EncodeTime(10, 0);

void BM_WriteCalendarBlock(benchmark::State& state) {
  FixedClock clock(Now);
  DataFormat calendar(clock);
  FillBenchCalendar(calendar, static_cast<int>(state.range(0)), static_cast<int>(state.range(0)) / 20, Now);
  qsizetype size = 0;
  for (auto _ : state) {
    const QByteArray bytes = CalendarBlock(calendar);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_WriteCalendarBlock)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ReadCalendarBlock(benchmark::State& state) {
  FixedClock clock(Now);
  DataFormat calendar(clock);
  FillBenchCalendar(calendar, static_cast<int>(state.range(0)), static_cast<int>(state.range(0)) / 20, Now);
  const QByteArray bytes = CalendarBlock(calendar);
  for (auto _ : state) {
    ByteReader in(bytes);
    CalendarRecords records;
    if (!ReadCalendarBlock(in, records)) state.SkipWithError("block did not read");
    benchmark::DoNotOptimize(records.notes.size());
  }
}
BENCHMARK(BM_ReadCalendarBlock)->Apply(CalendarSizes)->Unit(benchmark::kMillisecond);

// Every record of the file matches one of the calendar: the search for the match dominates.
void BM_MergeSameCalendar(benchmark::State& state) {
  FixedClock clock(Now);
  DataFormat calendar(clock);
  FillBenchCalendar(calendar, static_cast<int>(state.range(0)), static_cast<int>(state.range(0)) / 20, Now);
  const QByteArray bytes = CalendarBlock(calendar);
  for (auto _ : state) {
    if (!MergeFromBytes(calendar, bytes)) state.SkipWithError("block did not read");
  }
}
BENCHMARK(BM_MergeSameCalendar)->Apply(CalendarSizes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
