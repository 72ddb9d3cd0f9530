// The commands as whole processes over a calendar of generated events: start, open and load
// the store, do the work, write the answer. Needs ORVANE_BINARY (the program to run;
// scripts/bench passes the build's own).
//   version         the start alone: the executable, its libraries, the answer
//   agenda          a week of day texts and the tasks
//   print           twelve month pages as a PDF
//   export-ics      every event and task as iCalendar
//   import-ics      that file into an empty store
//   restore         a backup of the same calendar over the full store, and over a store
//                   that holds its records under the same keys
//   panel start     the desktop panel on a private X server (Xvfb), from the start of the
//                   process to its first picture on the screen; the counters give the time
//                   and the processor time the program itself reports, and its resident
//                   size a second later
#include "benchdata.h"
#include "core/clock.h"
#include "platform/sqlitekeystore.h"

#include <benchmark/benchmark.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

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
  // Sets (empty value: removes) a variable of the program's environment.
  void SetVariable(const QString& name, const QString& value) {
    if (value.isEmpty())
      env_.remove(name);
    else
      env_.insert(name, value);
  }
  QString Path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
  QString DataFolder() const { return Path(QStringLiteral("orvane")); }
  const QProcessEnvironment& Environment() const { return env_; }
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
    if (!store || !calendar.SaveIfChanged(*store).ok) return false;
    // The settings the first start would ask for, so that the panel starts without questions.
    if (!store->OpenKey(QStringLiteral("\\Software\\Orvane"), true)) return false;
    for (const char* name : {"DisplayWeather", "EnableSync", "RunAtStartup", "EnableAutoUpdate"})
      store->WriteString(QLatin1String(name), QStringLiteral("0"));
    store->WriteString(QStringLiteral("Title"), QStringLiteral("Default"));
    store->CloseKey();
    return true;
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

// Times a restore of the calendar's backup over the full store; with `restoredBefore` the
// backup is restored once untimed first.
void TimeRestore(benchmark::State& state, bool restoredBefore) {
  const Home home(static_cast<int>(state.range(0)));
  const QString backup = home.Path(QStringLiteral("calendar.ovb"));
  if (!Ready(state, home) || !home.Run({QStringLiteral("backup"), backup}) ||
      (restoredBefore && !home.Run({QStringLiteral("restore"), backup}))) {
    state.SkipWithError("cannot write the backup");
    return;
  }
  // Each restore starts from the store as it was before the first: a restore that moves
  // records to other keys leaves them where the next one finds them in place.
  const QString store = home.DataFolder() + QStringLiteral("/orvane.db");
  const QString before = home.Path(QStringLiteral("before.db"));
  if (!QFile::copy(store, before)) {
    state.SkipWithError("cannot keep a copy of the store");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    QFile::remove(store);
    const bool copied = QFile::copy(before, store);
    state.ResumeTiming();
    if (!copied || !home.Run({QStringLiteral("restore"), backup})) {
      state.SkipWithError("orvane restore failed");
      return;
    }
  }
}

// The backup of a calendar just loaded lists its records in the order of their key names,
// so its first restore moves them to other keys (each key is named by its record's place).
void BM_RestoreOverAFullStore(benchmark::State& state) { TimeRestore(state, false); }

// A restore over a store that holds the backup's records already, under the keys the
// backup's order gives them (a store the backup was restored into, or saved from the calendar
// the backup was taken of): the keys are left alone.
void BM_RestoreOverTheSameRecords(benchmark::State& state) { TimeRestore(state, true); }

// The resident size of a process in megabytes; 0 when unknown.
double ResidentMegabytes(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
  return 0;
}

void BM_PanelStart(benchmark::State& state) {
  Home home(static_cast<int>(state.range(0)));
  if (!Ready(state, home)) return;
  QProcess server;
  server.start(QStringLiteral("Xvfb"), QStringLiteral("-displayfd 1 -screen 0 1920x1080x24 -nolisten tcp").split(' '));
  QByteArray display;
  while (!display.endsWith('\n') && server.waitForReadyRead(10000)) display += server.readAllStandardOutput();
  if (!display.endsWith('\n')) {
    state.SkipWithError("Xvfb did not start");
    return;
  }
  home.SetVariable(QStringLiteral("DISPLAY"), QLatin1Char(':') + QString::fromLatin1(display.trimmed()));
  home.SetVariable(QStringLiteral("QT_QPA_PLATFORM"), QString());
  home.SetVariable(QStringLiteral("ORVANE_PAINT_TIME"), QStringLiteral("1"));
  double reported = 0, processor = 0, resident = 0;
  for (auto _ : state) {
    QProcess panel;
    panel.setProcessEnvironment(home.Environment());
    panel.setReadChannel(QProcess::StandardError);
    QElapsedTimer clock;
    clock.start();
    panel.start(qEnvironmentVariable("ORVANE_BINARY"), QStringList());
    QByteArray err;
    qsizetype at = -1;
    while ((at = err.indexOf("first paint ")) < 0 || !err.mid(at).contains('\n')) {
      if (!panel.waitForReadyRead(60000)) break;
      err += panel.readAllStandardError();
    }
    state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    if (at < 0) {
      panel.kill();
      panel.waitForFinished();
      state.SkipWithError(("the panel did not paint: " + err.left(300)).constData());
      break;
    }
    const QList<QByteArray> words = err.mid(at + 12).split(' ');
    reported += words.value(0).toDouble();
    processor += words.value(4).toDouble();
    QThread::msleep(1000);
    resident += ResidentMegabytes(panel.processId());
    panel.terminate();
    panel.waitForFinished(10000);
  }
  state.counters["reported_ms"] = benchmark::Counter(reported, benchmark::Counter::kAvgIterations);
  state.counters["cpu_ms"] = benchmark::Counter(processor, benchmark::Counter::kAvgIterations);
  state.counters["rss_MB"] = benchmark::Counter(resident, benchmark::Counter::kAvgIterations);
  server.terminate();
  server.waitForFinished(3000);
}

}  // namespace

BENCHMARK(BM_Version)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Agenda)->Apply(CalendarSizes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PrintTwelveMonths)->Apply(CalendarSizes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportIcs)->Apply(CalendarSizes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportIcsIntoAnEmptyStore)
    ->Apply(CalendarSizes)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_RestoreOverAFullStore)->Apply(CalendarSizes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RestoreOverTheSameRecords)->Apply(CalendarSizes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PanelStart)->Apply(CalendarSizes)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK_MAIN();
