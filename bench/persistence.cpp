// Loading and saving the calendar through the SQLite key store.
#include "benchdata.h"
#include "core/clock.h"
#include "platform/sqlitekeystore.h"

#include <benchmark/benchmark.h>
#include <QDir>
#include <QTemporaryDir>

namespace {

const TDateTime Now = EncodeDate(2026, 12, 6) + EncodeTime(10, 0);

struct Fixture {
  QTemporaryDir dir;
  FixedClock clock{Now};
  QString path() const { return dir.path() + QStringLiteral("/orvane.db"); }
};

// The bench calendar written to the fixture's store.
void StoreBenchCalendar(Fixture& f, int events) {
  auto store = SqliteKeyStore::Open(f.path()).store;
  DataFormat calendar(f.clock);
  FillBenchCalendar(calendar, events, events / 20, Now);
  calendar.SaveIfChanged(*store);
}

void BM_FullSave(benchmark::State& state) {
  Fixture f;
  const int events = static_cast<int>(state.range(0));
  DataFormat calendar(f.clock);
  FillBenchCalendar(calendar, events, events / 20, Now);
  for (auto _ : state) {
    state.PauseTiming();
    QFile::remove(f.path());
    QFile::remove(f.path() + QStringLiteral("-wal"));
    QFile::remove(f.path() + QStringLiteral("-shm"));
    auto store = SqliteKeyStore::Open(f.path()).store;
    DataFormat fresh(f.clock);
    FillBenchCalendar(fresh, events, events / 20, Now);
    state.ResumeTiming();
    auto result = fresh.SaveIfChanged(*store);
    benchmark::DoNotOptimize(result);
  }
}

void BM_SaveAfterOneEdit(benchmark::State& state) {
  Fixture f;
  const int events = static_cast<int>(state.range(0));
  auto store = SqliteKeyStore::Open(f.path()).store;
  DataFormat calendar(f.clock);
  FillBenchCalendar(calendar, events, events / 20, Now);
  calendar.SaveIfChanged(*store);
  int k = 0;
  for (auto _ : state) {
    TNote& n = calendar.NoteArray[(k++ * 7919) % events];
    n.Title += QLatin1Char('!');
    calendar.DataChanged = true;
    auto result = calendar.SaveIfChanged(*store);
    benchmark::DoNotOptimize(result);
  }
}

// The first save after a load: nothing is known of what the store holds, so every record is
// written again (the rows that are the same stay as they are).
void BM_FirstSaveAfterLoad(benchmark::State& state) {
  Fixture f;
  const int events = static_cast<int>(state.range(0));
  {
    StoreBenchCalendar(f, events);
    auto store = SqliteKeyStore::Open(f.path()).store;
    // Loaded once and saved, the records have the identities a load gives them.
    DataFormat loaded(f.clock);
    loaded.LoadCalendar(*store);
    loaded.SaveWith(*store, nullptr);
  }
  int k = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto store = SqliteKeyStore::Open(f.path()).store;
    DataFormat calendar(f.clock);
    calendar.LoadCalendar(*store);
    calendar.NoteArray[(k++ * 7919) % events].Title += QLatin1Char('!');
    calendar.DataChanged = true;
    state.ResumeTiming();
    auto result = calendar.SaveIfChanged(*store);
    benchmark::DoNotOptimize(result);
  }
}

void BM_LoadCalendar(benchmark::State& state) {
  Fixture f;
  const int events = static_cast<int>(state.range(0));
  StoreBenchCalendar(f, events);
  for (auto _ : state) {
    // Opening the database reads it into memory: part of loading. Freeing is not.
    auto store = SqliteKeyStore::Open(f.path()).store;
    auto calendar = std::make_unique<DataFormat>(f.clock);
    calendar->LoadCalendar(*store);
    benchmark::DoNotOptimize(calendar->NoteCount());
    state.PauseTiming();
    calendar.reset();
    store.reset();
    state.ResumeTiming();
  }
}

// Reading the database into memory alone, the first half of loading.
void BM_OpenStore(benchmark::State& state) {
  Fixture f;
  const int events = static_cast<int>(state.range(0));
  {
    auto store = SqliteKeyStore::Open(f.path()).store;
    DataFormat calendar(f.clock);
    FillBenchCalendar(calendar, events, events / 20, Now);
    calendar.SaveIfChanged(*store);
  }
  for (auto _ : state) {
    auto store = SqliteKeyStore::Open(f.path()).store;
    benchmark::DoNotOptimize(store.get());
    state.PauseTiming();
    store.reset();
    state.ResumeTiming();
  }
}

}  // namespace

BENCHMARK(BM_OpenStore)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCalendar)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullSave)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAfterOneEdit)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstSaveAfterLoad)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
