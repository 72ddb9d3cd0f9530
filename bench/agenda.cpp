// `orvane agenda` as a whole process over a calendar of 10,000 events: start, open and load
// the store, a week of day texts, the tasks. Needs ORVANE_BINARY (the program to run).
#include "benchdata.h"
#include "core/clock.h"
#include "platform/sqlitekeystore.h"

#include <benchmark/benchmark.h>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const TDateTime Now = EncodeDate(2026, 12, 6) + EncodeTime(10, 0);

void BM_AgendaProcess(benchmark::State& state) {
  const QString binary = qEnvironmentVariable("ORVANE_BINARY");
  if (binary.isEmpty()) {
    state.SkipWithError("set ORVANE_BINARY to the orvane program");
    return;
  }
  QTemporaryDir dir;
  QDir().mkpath(dir.path() + QStringLiteral("/orvane"));
  {
    auto store = SqliteKeyStore::Open(dir.path() + QStringLiteral("/orvane/orvane.db")).store;
    FixedClock clock(Now);
    DataFormat calendar(clock);
    const int events = static_cast<int>(state.range(0));
    FillBenchCalendar(calendar, events, events / 20, Now);
    if (!store || !calendar.SaveIfChanged(*store).ok) {
      state.SkipWithError("cannot write the calendar");
      return;
    }
  }
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
  for (auto _ : state) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(binary, {QStringLiteral("agenda"), QStringLiteral("--date"), QStringLiteral("2026-12-06")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
      state.SkipWithError("orvane agenda failed");
      return;
    }
    benchmark::DoNotOptimize(p.readAllStandardOutput().size());
  }
}

}  // namespace

BENCHMARK(BM_AgendaProcess)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
