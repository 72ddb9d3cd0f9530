// The month window moving on by a month (42 day queries and every day list refilled), and
// refilling its days after a change, over a realistic calendar.
#include "benchdata.h"
#include "core/memorykeystore.h"
#include "editors/mainform.h"
#include "editors/monthwidgets.h"
#include "platform/consoledialogs.h"
#include "session/appcontext.h"

#include <benchmark/benchmark.h>
#include <QApplication>

namespace {

const TDateTime Now = EncodeDate(2026, 12, 6) + EncodeTime(10, 0);

struct Month {
  explicit Month(int events)
      : context(std::make_unique<FixedClock>(Now), std::make_unique<ConsoleDialogs>(),
                std::make_unique<MemoryKeyStore>()) {
    FillBenchCalendar(context.calendar(), events, 25, Now);
    window = std::make_unique<T_Main>(context);
    window->resize(1100, 760);
    window->show();  // the day lists are filled for a shown window only
  }
  AppContext context;
  std::unique_ptr<T_Main> window;
};

void BM_NextMonth(benchmark::State& state) {
  Month month(static_cast<int>(state.range(0)));
  for (auto _ : state) month.window->NextMonthClick();
  int entries = 0;
  for (int i = 0; i < T_Main::CellCount; ++i) entries += month.window->DateData(i).ListBox->count();
  state.counters["entries"] = entries;
}

// What an activation does after the event editor saved.
void BM_RefillAfterSave(benchmark::State& state) {
  Month month(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    month.window->NeedsRefresh = true;
    month.window->FormActivate();
  }
}

BENCHMARK(BM_NextMonth)->Apply(CalendarSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefillAfterSave)->Apply(CalendarSizes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
