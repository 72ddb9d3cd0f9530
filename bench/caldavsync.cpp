// Synchronisation with a real CalDAV server (Radicale on 127.0.0.1, started as the tests start
// it): the first synchronisation of a calendar's events, both ways, and then runs that find
// nothing, one event changed here and one changed on the server. Each reports the requests it
// sent; the CPU column is this process's own time (the server's is not counted).
//
// Uploads go one request per event, and Radicale compares every upload with each resource of
// the collection, so a first upload of 10,000 events keeps it busy for hours while this
// process spends seconds: it is measured at 1,000 events (ORVANE_BENCH_UPLOADS for another
// size). The first download, and the runs after it, use 10,000 events written straight into
// the server's storage (ORVANE_BENCH_EVENTS for another size).
#include "benchdata.h"
#include "radicaleserver.h"

#include "core/clock.h"
#include "core/memorykeystore.h"
#include "network/caldavclient.h"
#include "network/calendarsync.h"
#include "platform/icalendar.h"
#include "platform/sqlitekeystore.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
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

SyncReport Sync(DataFormat& calendar, KeyStore& store, CalDavClient& client, const QString& collection,
                UnchangedRecords* unchanged = nullptr) {
  return CalendarSync(calendar, store, client, collection, unchanged).RunAndWait();
}

int EventsFrom(const char* variable, int otherwise) {
  bool ok = false;
  const int events = qEnvironmentVariableIntValue(variable, &ok);
  return ok && events > 0 ? events : otherwise;
}
int UploadedEvents() { return EventsFrom("ORVANE_BENCH_UPLOADS", 1000); }
int SyncedEvents() { return EventsFrom("ORVANE_BENCH_EVENTS", 10000); }

// A new collection holding the bench calendar's events, one resource per series, as another
// client would have left them.
QString SeededCollection(CalDavClient& client, int events) {
  const QString collection = NewCollection(client);
  if (collection.isEmpty()) return QString();
  FixedClock clock(Now);
  DataFormat calendar(clock);
  FillBenchCalendar(calendar, events, 0, Now);
  QHash<QString, DataFormat*> byUid;
  std::vector<std::unique_ptr<DataFormat>> series;
  for (const TNote& note : calendar.NoteArray) {
    if (note.DeleteDate != 0) continue;
    DataFormat*& one = byUid[note.Uid];
    if (!one) one = series.emplace_back(std::make_unique<DataFormat>(clock)).get();
    one->NoteArray.push_back(note);
  }
  QList<std::pair<QString, QByteArray>> resources;
  for (const auto& one : series) {
    QByteArray text;
    const IcsExportResult written = ExportICalendarText(*one, Now, text);
    if (!written.ok) return QString();
    if (written.events == 0) continue;  // deleted, or falls on no day
    resources.append({QStringLiteral("seeded-%1.ics").arg(resources.size()), text});
  }
  if (!Server()->Seed(collection, resources)) return QString();
  // Radicale reads and caches every resource the first time the collection is listed, which
  // for files written behind its back takes longer than a client waits for an answer. Clients
  // that uploaded them would have left that cache behind, so it is made here, untimed.
  QNetworkAccessManager manager;
  QNetworkRequest request(QUrl(Server()->url(collection)));
  request.setRawHeader("Depth", "1");
  request.setRawHeader(
      "Authorization",
      "Basic " + QByteArray(RadicaleServer::User).append(':').append(RadicaleServer::Password).toBase64());
  request.setTransferTimeout(0);
  std::unique_ptr<QNetworkReply> reply(manager.sendCustomRequest(request, "PROPFIND"));
  QEventLoop loop;
  QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
  if (!reply->isFinished()) loop.exec();
  return reply->error() == QNetworkReply::NoError ? collection : QString();
}

// One computer whose events are on the server already: they came down from it. Its store is
// the panel's, so that what a run saves costs what it costs there.
struct Synced {
  FixedClock clock{Now};
  QTemporaryDir folder;
  std::unique_ptr<SqliteKeyStore> sqlite = SqliteKeyStore::Open(folder.filePath(QStringLiteral("orvane.db"))).store;
  KeyStore& store = *sqlite;
  DataFormat calendar{clock};
  std::unique_ptr<CalDavClient> client = Client();
  UnchangedRecords unchanged;  // as the panel keeps it between runs
  QString collection;
  bool ok = false;

  Synced() {
    collection = SeededCollection(*client, SyncedEvents());
    ok = !collection.isEmpty() && Sync(calendar, store, *client, collection, &unchanged).agree &&
         calendar.NoteCount() >= SyncedEvents() / 2;
  }
};

// The one synced computer of the runs after the first.
Synced& Shared() {
  static Synced synced;
  return synced;
}

// The first synchronisation of a calendar: its events going up to an empty collection, or a
// collection full of events coming down to an empty calendar.
void BM_FirstSync(benchmark::State& state, bool down) {
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
    const int events = static_cast<int>(state.range(0));
    if (!down) FillBenchCalendar(calendar, events, 0, Now);
    std::unique_ptr<CalDavClient> client = Client();
    const QString collection = down ? SeededCollection(*client, events) : NewCollection(*client);
    if (collection.isEmpty()) {
      state.SkipWithError("the collection could not be made");
      break;
    }
    const int before = client->requestCount();
    // The longest the event loop goes without turning: what a panel running this sync would
    // go without painting.
    QElapsedTimer sinceTurn;
    qint64 longestStall = 0;
    QTimer turns;
    turns.setInterval(1);
    QObject::connect(&turns, &QTimer::timeout, [&] { longestStall = std::max(longestStall, sinceTurn.restart()); });
    sinceTurn.start();
    turns.start();
    state.ResumeTiming();
    const SyncReport report = Sync(calendar, store, *client, collection);
    state.PauseTiming();
    turns.stop();
    longestStall = std::max(longestStall, sinceTurn.elapsed());
    if (!report.agree)
      state.SkipWithError(qPrintable(QStringLiteral("the sync failed: ") + report.error +
                                     report.problems.mid(0, 3).join(QStringLiteral("; "))));
    requests = client->requestCount() - before;
    state.counters["events"] = calendar.NoteCount();
    state.counters["longest_stall_ms"] = static_cast<double>(longestStall);
    state.ResumeTiming();
  }
  state.counters["requests"] = requests;
}
BENCHMARK_CAPTURE(BM_FirstSync, up, false)
    ->Apply([](benchmark::internal::Benchmark* b) { b->Arg(UploadedEvents()); })
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_FirstSync, down, true)
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
    Sync(synced.calendar, synced.store, *synced.client, synced.collection, &synced.unchanged);
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
  // Across the framework's repeated calls too: a title written twice over is no change.
  static int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TNote& note = synced.calendar.NoteArray[static_cast<size_t>(round % 100)];
    const QString title = QStringLiteral("Changed %1").arg(++round);
    if (here) {
      note.Title = title;
      note.ModifyDate = Now + round / 86400.0;
      synced.calendar.DataChanged = true;
      // The panel saves an edit at once; the run that sends it comes later.
      synced.calendar.SaveIfChanged(synced.store);
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
    const SyncReport report = Sync(synced.calendar, synced.store, *synced.client, synced.collection, &synced.unchanged);
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
