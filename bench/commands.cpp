// The commands as whole processes over a calendar of generated events: start, open and load
// the store, do the work, write the answer. Needs ORVANE_BINARY (the program to run).
//   version         the start alone: the executable, its libraries, the answer
//   agenda          a week of day texts and the tasks
//   print           twelve month pages as a PDF
//   export-ics      every event and task as iCalendar
//   import-ics      that file into an empty store
//   restore         a backup of the same calendar over the full store
#include "benchdata.h"
#include "core/clock.h"
#include "platform/sqlitekeystore.h"

#include <benchmark/benchmark.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const TDateTime Now = EncodeDate(2026, 12, 6) + EncodeTime(10, 0);

// A home folder whose store holds a generated calendar of `events` events.
class Home {
 public:
  explicit Home(int events) {
    QDir().mkpath(DataFolder());
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert(QStringLiteral("XDG_DATA_HOME"), dir_.path());
    env_.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path());
    env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (events > 0) ok_ = Fill(events);
  }
  bool ok() const { return ok_; }
  QString Path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
  QString DataFolder() const { return Path(QStringLiteral("orvane")); }
  // Runs the program with the arguments; false when it fails.
  bool Run(const QStringList& arguments) const {
    QProcess p;
    p.setProcessEnvironment(env_);
    p.start(qEnvironmentVariable("ORVANE_BINARY"), arguments);
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return false;
    benchmark::DoNotOptimize(p.readAllStandardOutput().size());
    return true;
  }

 private:
  bool Fill(int events) {
    auto store = SqliteKeyStore::Open(DataFolder() + QStringLiteral("/orvane.db")).store;
    FixedClock clock(Now);
    DataFormat calendar(clock);
    FillBenchCalendar(calendar, events, events / 20, Now);
    return store && calendar.SaveIfChanged(*store).ok;
  }

  QTemporaryDir dir_;
  QProcessEnvironment env_;
  bool ok_ = true;
};

bool Ready(benchmark::State& state, const Home& home) {
  if (qEnvironmentVariable("ORVANE_BINARY").isEmpty()) {
    state.SkipWithError("set ORVANE_BINARY to the orvane program");
    return false;
  }
  if (!home.ok()) state.SkipWithError("cannot write the calendar");
  return home.ok();
}

// Times one command over a full store, the same arguments each round.
void TimeCommand(benchmark::State& state, const QStringList& arguments) {
  const Home home(static_cast<int>(state.range(0)));
  if (!Ready(state, home)) return;
  QStringList args = arguments;
  args.replaceInStrings(QStringLiteral("@"), home.Path(QString()));
  for (auto _ : state) {
    if (!home.Run(args)) {
      const std::string message = ("orvane " + args.join(QLatin1Char(' ')) + " failed").toStdString();
      state.SkipWithError(message.c_str());
      return;
    }
  }
}

void BM_Version(benchmark::State& state) { TimeCommand(state, {QStringLiteral("--version")}); }

void BM_Agenda(benchmark::State& state) {
  TimeCommand(state, {QStringLiteral("agenda"), QStringLiteral("--date"), QStringLiteral("2026-12-06")});
}

void BM_PrintTwelveMonths(benchmark::State& state) {
  TimeCommand(state, {QStringLiteral("print"), QStringLiteral("--kind"), QStringLiteral("month"),
                      QStringLiteral("--start"), QStringLiteral("2026-12-01"), QStringLiteral("--pages"),
                      QStringLiteral("12"), QStringLiteral("--out"), QStringLiteral("@months.pdf")});
}

void BM_ExportIcs(benchmark::State& state) {
  TimeCommand(state, {QStringLiteral("export-ics"), QStringLiteral("@calendar.ics")});
}

void BM_ImportIcsIntoAnEmptyStore(benchmark::State& state) {
  const Home full(static_cast<int>(state.range(0)));
  if (!Ready(state, full) || !full.Run({QStringLiteral("export-ics"), full.Path(QStringLiteral("calendar.ics"))})) {
    state.SkipWithError("cannot export the calendar");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    const Home empty(0);
    state.ResumeTiming();
    if (!empty.Run({QStringLiteral("import-ics"), full.Path(QStringLiteral("calendar.ics"))})) {
      state.SkipWithError("orvane import-ics failed");
      return;
    }
  }
}

void BM_RestoreOverAFullStore(benchmark::State& state) {
  const Home home(static_cast<int>(state.range(0)));
  const QString backup = home.Path(QStringLiteral("calendar.ovb"));
  if (!Ready(state, home) || !home.Run({QStringLiteral("backup"), backup})) {
    state.SkipWithError("cannot write the backup");
    return;
  }
  for (auto _ : state) {
    if (!home.Run({QStringLiteral("restore"), backup})) {
      state.SkipWithError("orvane restore failed");
      return;
    }
  }
}

}  // namespace

BENCHMARK(BM_Version)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Agenda)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PrintTwelveMonths)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportIcs)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportIcsIntoAnEmptyStore)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_RestoreOverAFullStore)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
