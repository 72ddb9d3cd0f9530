// LAN synchronisation: the handling of one datagram (serving a record, merging a pushed one)
// and a whole exchange between two copies in this process over loopback.
#include "app/appcontext.h"
#include "benchdata.h"
#include "core/bytestream.h"
#include "core/clock.h"
#include "core/memorykeystore.h"
#include "network/lanprotocol.h"
#include "network/network.h"
#include "platform/consoledialogs.h"

#include <QApplication>
#include <QUdpSocket>
#include <benchmark/benchmark.h>

namespace {

const TDateTime Now = EncodeDate(2026, 12, 6) + EncodeTime(10, 0);
const QString Peer = QStringLiteral("10.0.0.7");

LanProtocol::Identity Identity() {
  LanProtocol::Identity identity;
  identity.computerName = QStringLiteral("desk");
  identity.password = QStringLiteral("secret");
  return identity;
}

// The passive side answering "send me event i" over a calendar of 10,000 events.
void BM_ServeGetNote(benchmark::State& state) {
  FixedClock clock(Now);
  DataFormat calendar(clock);
  FillBenchCalendar(calendar, 10000, 500, Now);
  LanProtocol protocol(calendar);
  const LanProtocol::Identity identity = Identity();
  protocol.Handle(Lan::Message(Lan::CheckPassWord, Lan::PasswordDigest(identity.password)), Peer, identity, 0);
  quint32 index = 0;
  for (auto _ : state) {
    const LanEvents events =
        protocol.Handle(Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(index)), Peer, identity, 1);
    benchmark::DoNotOptimize(events.replies.data());
    index = (index + 1) % 10000;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ServeGetNote);

// A pushed event that matches one already held (the usual case of a repeated exchange): the
// decode and the search for the match.
void BM_MergePushedNote(benchmark::State& state) {
  FixedClock clock(Now);
  DataFormat calendar(clock);
  FillBenchCalendar(calendar, static_cast<int>(state.range(0)), 0, Now);
  LanProtocol protocol(calendar);
  const LanProtocol::Identity identity = Identity();
  protocol.Handle(Lan::Message(Lan::CheckPassWord, Lan::PasswordDigest(identity.password)), Peer, identity, 0);
  std::vector<QByteArray> messages;
  for (const TNote& note : calendar.NoteArray) {
    if (auto message = Lan::NoteMessage(note)) messages.push_back(*message);
  }
  size_t i = 0;
  for (auto _ : state) {
    const LanEvents events = protocol.Handle(messages[i], Peer, identity, 1);
    benchmark::DoNotOptimize(events.merged);
    i = (i + 1) % messages.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MergePushedNote)->Arg(1000)->Arg(10000);

std::unique_ptr<AppContext> MakeContext(const QString& address) {
  auto context = std::make_unique<AppContext>(std::make_unique<FixedClock>(Now), std::make_unique<ConsoleDialogs>(),
                                              std::make_unique<MemoryKeyStore>());
  context->settings().SetSetting(QStringLiteral("SyncBindAddress"), address);
  context->settings().SetSetting(QStringLiteral("SyncPass"), QStringLiteral("secret"));
  return context;
}

quint16 FreePort() {
  QUdpSocket probe;
  probe.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0);
  return probe.localPort();
}

// A complete exchange: the active side pushes N events to an empty copy and pulls them back.
void BM_LoopbackExchange(benchmark::State& state) {
  const int events = static_cast<int>(state.range(0));
  const quint16 port = FreePort();
  for (auto _ : state) {
    state.PauseTiming();
    auto a = MakeContext(QStringLiteral("127.0.0.1"));
    auto b = MakeContext(QStringLiteral("127.0.0.2"));
    FillBenchCalendar(a->calendar(), events, events / 20, Now);
    T_Network networkA(*a, {}, port);
    T_Network networkB(*b, {}, port);
    networkA.ShowProgress = false;
    state.ResumeTiming();
    const T_Network::SyncResult result = networkA.SyncWithPassword(QStringLiteral("127.0.0.2"), QStringLiteral("secret"));
    if (!result.complete || b->calendar().NoteCount() != events) state.SkipWithError("the exchange did not complete");
  }
  state.SetItemsProcessed(state.iterations() * (events + events / 20));
}
BENCHMARK(BM_LoopbackExchange)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
