// LAN synchronisation: the handling of one datagram (serving a record, merging a pushed one)
// and a whole exchange between two copies in this process over loopback.
#include "benchdata.h"
#include "core/bytestream.h"
#include "core/clock.h"
#include "core/memorykeystore.h"
#include "network/lanpeer.h"
#include "network/lanprotocol.h"
#include "platform/consoledialogs.h"
#include "session/appcontext.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QUdpSocket>

namespace {

const TDateTime Now = EncodeDate(2026, 12, 6) + EncodeTime(10, 0);
const QString Peer = QStringLiteral("10.0.0.7");

LanProtocol::Identity Identity() {
  LanProtocol::Identity identity;
  identity.computerName = QStringLiteral("desk");
  identity.password = QStringLiteral("secret");
  return identity;
}

// One key for every protocol of the run: its derivation is slow on purpose and not what is
// measured here.
std::shared_ptr<Lan::KeyCache> Keys() {
  static const auto keys = std::make_shared<Lan::KeyCache>();
  return keys;
}

// The password check between an active peer and the passive protocol.
bool Authenticate(LanProtocol& passive, LanProtocol& active, const LanProtocol::Identity& identity) {
  const LanProtocol::Identity none;
  LanEvents step =
      passive.Handle(active.BeginExchange(QStringLiteral("10.0.0.1"), identity.password).at(0), Peer, identity, 0);
  for (int round = 0; round < 2 && step.replies.size() == 1; ++round) {
    step = active.Handle(step.replies[0].bytes, QStringLiteral("10.0.0.1"), none, 0);
    if (step.replies.size() == 1) step = passive.Handle(step.replies[0].bytes, Peer, identity, 0);
  }
  return active.ExchangeAccepted();
}

// The passive side answering "send me event i" over a calendar of 10,000 events: the opening
// of the sealed request and the sealing of the record (the request is sealed too).
void BM_ServeGetNote(benchmark::State& state) {
  FixedClock clock(Now);
  DataFormat calendar(clock), peerCalendar(clock);
  FillBenchCalendar(calendar, 10000, 500, Now);
  LanProtocol protocol(calendar, 30000, Keys()), peer(peerCalendar, 30000, Keys());
  const LanProtocol::Identity identity = Identity();
  if (!Authenticate(protocol, peer, identity)) state.SkipWithError("the password check failed");
  quint32 index = 0;
  for (auto _ : state) {
    const LanEvents events =
        protocol.Handle(peer.Outgoing(Lan::Message(Lan::GetNoteWord, Lan::IndexBytes(index))), Peer, identity, 1);
    benchmark::DoNotOptimize(events.replies.data());
    index = (index + 1) % 10000;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ServeGetNote);

// A pushed event that matches one already held (the usual case of a repeated exchange): the
// sealing and opening, the decode and the search for the match.
void BM_MergePushedNote(benchmark::State& state) {
  FixedClock clock(Now);
  DataFormat calendar(clock), peerCalendar(clock);
  FillBenchCalendar(calendar, static_cast<int>(state.range(0)), 0, Now);
  LanProtocol protocol(calendar, 30000, Keys()), peer(peerCalendar, 30000, Keys());
  const LanProtocol::Identity identity = Identity();
  if (!Authenticate(protocol, peer, identity)) state.SkipWithError("the password check failed");
  std::vector<QByteArray> messages;
  for (const TNote& note : calendar.NoteArray) {
    if (auto message = Lan::NoteMessage(note)) messages.push_back(*message);
  }
  size_t i = 0;
  for (auto _ : state) {
    const LanEvents events = protocol.Handle(peer.Outgoing(messages[i]), Peer, identity, 1);
    benchmark::DoNotOptimize(events.merged);
    i = (i + 1) % messages.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MergePushedNote)->Arg(1000)->Arg(10000);

// The password's key, derived as each side does once per password.
void BM_DeriveKey(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Lan::DeriveKey(QStringLiteral("secret")));
}
BENCHMARK(BM_DeriveKey)->Unit(benchmark::kMillisecond)->Iterations(3);

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
    LanPeer networkA(*a, {}, port);
    LanPeer networkB(*b, {}, port);
    state.ResumeTiming();
    const LanPeer::SyncResult result = networkA.SyncWithPassword(QStringLiteral("127.0.0.2"), QStringLiteral("secret"));
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
