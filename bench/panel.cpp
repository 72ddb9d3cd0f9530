// A whole repaint of the desktop panel: the layout with its day queries, the composition
// over the desktop and the text, into a picture of the panel's size.
#include "benchdata.h"
#include "core/clock.h"
#include "desktop/displayfunctions.h"

#include <benchmark/benchmark.h>
#include <QApplication>

namespace {

const TDateTime Now = EncodeDate(2026, 12, 6) + EncodeTime(10, 0);

struct Panel {
  explicit Panel(int events) : calendar(clock) {
    FillBenchCalendar(calendar, events, 25, Now);
    settings.DisplayWeather = false;
    settings.DisplayPrevMonth = settings.DisplayNextMonth = true;
    settings.MaxHeight = 48;  // a 1080-pixel screen's work area in rows
  }
  FixedClock clock{Now};
  DataFormat calendar;
  DisplaySettings settings;
};

// Over a backdrop, as without a compositor and for pictures made headless.
void BM_RepaintOverBackdrop(benchmark::State& state) {
  Panel panel(static_cast<int>(state.range(0)));
  DisplayFunctions painter(panel.calendar, panel.clock, panel.settings);
  QImage backdrop;
  for (auto _ : state) {
    painter.BeginPaint();
    const WindowSize size = painter.UpdateWindowSize();
    if (backdrop.size() != QSize(size.width, size.height)) {
      backdrop = NeutralBackdrop(QSize(size.width, size.height));
    }
    QImage picture(size.width, size.height, QImage::Format_RGB32);
    painter.PaintPanel(picture, &backdrop);
    benchmark::DoNotOptimize(picture.constBits());
  }
  state.counters["height"] = painter.ContentHeight();
}

// The translucent picture a compositing desktop shows.
void BM_RepaintTranslucent(benchmark::State& state) {
  Panel panel(static_cast<int>(state.range(0)));
  DisplayFunctions painter(panel.calendar, panel.clock, panel.settings);
  for (auto _ : state) {
    painter.BeginPaint();
    const WindowSize size = painter.UpdateWindowSize();
    QImage picture(size.width, size.height, QImage::Format_ARGB32_Premultiplied);
    painter.PaintPanel(picture, nullptr);
    benchmark::DoNotOptimize(picture.constBits());
  }
}

// The layout alone: the content height with its day queries.
void BM_ContentHeight(benchmark::State& state) {
  Panel panel(static_cast<int>(state.range(0)));
  DisplayFunctions painter(panel.calendar, panel.clock, panel.settings);
  for (auto _ : state) {
    painter.BeginPaint();
    benchmark::DoNotOptimize(painter.ContentHeight());
  }
}

BENCHMARK(BM_RepaintOverBackdrop)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintTranslucent)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContentHeight)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
