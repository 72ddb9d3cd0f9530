// Synchronisation with a real CalDAV server (Radicale on 127.0.0.1, started as the tests start
// it): the first synchronisation of a calendar's events, and then runs that find nothing, one
// event changed here and one changed on the server. Each reports the requests it sent; the
// CPU column is this process's own time (the server's is not counted).
//
// The calendar holds 1,000 events, or ORVANE_BENCH_EVENTS: Radicale compares every upload with
// each resource of the collection, so a first synchronisation of 10,000 events keeps it busy
// for hours while this process spends seconds. ORVANE_BENCH_EVENTS=10000 measures that size.
#include "benchdata.h"
#include "radicaleserver.h"

#include "core/clock.h"
#include "core/memorykeystore.h"
#include "network/caldavclient.h"
#include "network/calendarsync.h"
#include "platform/icalendar.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>

namespace {

const TDateTime Now = EncodeDate(2026, 12, 7) + EncodeTime(10, 0);

RadicaleServer* Server() {
  static std::unique_ptr<RadicaleServer> server = [] {
    auto started = std::make_unique<RadicaleServer>();
    if (!started->Start()) return std::unique_ptr<RadicaleServer>();
    return started;
  }();
  return server.get();
}

std::unique_ptr<CalDavClient> Client() {
  return std::make_unique<CalDavClient>(QUrl(Server()->url()), RadicaleServer::User, RadicaleServer::Password);
}

// A new, empty calendar collection on the server.
QString NewCollection(CalDavClient& client) {
  static int made = 0;
  const ServerAnswer answer = WaitForAnswer([&](ServerCallback done) {
    client.MakeCalendar(QStringLiteral("/alice/"), QStringLiteral("bench-%1").arg(++made), std::move(done));
  });
  return answer.ok() && !answer.collections.isEmpty() ? answer.collections.first().path : QString();
}

SyncReport Sync(DataFormat& calendar, KeyStore& store, CalDavClient& client, const QString& collection) {
  return CalendarSync(calendar, store, client, collection).RunAndWait();
}

int SyncedEvents() {
  bool ok = false;
  const int events = qEnvironmentVariableIntValue("ORVANE_BENCH_EVENTS", &ok);
  return ok && events > 0 ? events : 1000;
}

// One computer whose events are on the server already.
struct Synced {
  FixedClock clock{Now};
  MemoryKeyStore store;
  DataFormat calendar{clock};
  std::unique_ptr<CalDavClient> client = Client();
  QString collection;
  bool ok = false;

  Synced() {
    collection = NewCollection(*client);
    FillBenchCalendar(calendar, SyncedEvents(), 0, Now);
    ok = !collection.isEmpty() && Sync(calendar, store, *client, collection).agree;
  }
};

// The one synced computer of the runs after the first.
Synced& Shared() {
  static Synced synced;
  return synced;
}

void BM_FirstSync(benchmark::State& state) {
  if (!Server()) {
    state.SkipWithError("Radicale does not start (scripts/install-deps installs it)");
    return;
  }
  int requests = 0;
  for (auto _ : state) {
    state.PauseTiming();
    FixedClock clock(Now);
    MemoryKeyStore store;
    DataFormat calendar(clock);
    FillBenchCalendar(calendar, static_cast<int>(state.range(0)), 0, Now);
    std::unique_ptr<CalDavClient> client = Client();
    const QString collection = NewCollection(*client);
    const int before = client->requestCount();
    state.ResumeTiming();
    const SyncReport report = Sync(calendar, store, *client, collection);
    if (!report.agree) state.SkipWithError(qPrintable(QStringLiteral("the sync failed: ") + report.error));
    requests = client->requestCount() - before;
  }
  state.counters["requests"] = requests;
}
BENCHMARK(BM_FirstSync)
    ->Apply([](benchmark::internal::Benchmark* b) { b->Arg(SyncedEvents()); })
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The shared first sync, or nothing (the run skipped with the reason).
Synced* Ready(benchmark::State& state) {
  if (!Server()) {
    state.SkipWithError("Radicale does not start");
    return nullptr;
  }
  Synced& synced = Shared();
  if (!synced.ok) {
    state.SkipWithError("the first sync failed");
    return nullptr;
  }
  return &synced;
}

// A run that finds nothing changed on either side (one round trip).
void BM_QuietSync(benchmark::State& state) {
  Synced* ready = Ready(state);
  if (!ready) return;
  Synced& synced = *ready;
  int requests = 0;
  for (auto _ : state) {
    const int before = synced.client->requestCount();
    Sync(synced.calendar, synced.store, *synced.client, synced.collection);
    requests = synced.client->requestCount() - before;
  }
  state.counters["requests"] = requests;
}
BENCHMARK(BM_QuietSync)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// One event changed here, or on the server by another client, since the last run.
void BM_OneChange(benchmark::State& state) {
  Synced* ready = Ready(state);
  if (!ready) return;
  Synced& synced = *ready;
  const bool here = state.range(0) == 0;
  std::unique_ptr<CalDavClient> phone = Client();
  int requests = 0;
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TNote& note = synced.calendar.NoteArray[static_cast<size_t>(round % 100)];
    const QString title = QStringLiteral("Changed %1").arg(++round);
    if (here) {
      note.Title = title;
      note.ModifyDate = Now + round / 86400.0;
      synced.calendar.DataChanged = true;
    } else {
      // The other client writes the event anew over the copy the server holds.
      DataFormat one(synced.clock);
      one.NoteArray.push_back(note);
      one.NoteArray.back().Title = title;
      one.NoteArray.back().ModifyDate = Now + round / 86400.0;
      QByteArray text;
      ExportICalendarText(one, Now, text);
      WaitForAnswer(
          [&](ServerCallback done) { phone->Put(note.Server.Href, text, note.Server.ETag, std::move(done)); });
    }
    const int before = synced.client->requestCount();
    state.ResumeTiming();
    const SyncReport report = Sync(synced.calendar, synced.store, *synced.client, synced.collection);
    state.PauseTiming();
    requests = synced.client->requestCount() - before;
    if (!report.agree || note.Title != title) state.SkipWithError("the change did not travel");
    state.ResumeTiming();
  }
  state.counters["requests"] = requests;
}
BENCHMARK(BM_OneChange)
    ->ArgName("onServer")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
