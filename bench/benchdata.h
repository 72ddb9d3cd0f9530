#pragma once

#include "core/dataformat.h"

#include <benchmark/benchmark.h>

// Fills a calendar with a realistic mix of events and tasks for benchmarks: about 40%
// one-time, 15% weekly, 10% daily, 10% every weekday, 10% monthly by day, 5% monthly by nth
// weekday, 10% yearly; start dates over three years before `around`; a quarter of the
// series with counts and a quarter with end dates; titles, notes of a few hundred
// characters, some exceptions and per-day notes. The same seed gives the same calendar.
void FillBenchCalendar(DataFormat& calendar, int events, int tasks, TDateTime around, unsigned seed = 42);

// The calendar sizes of a bench: 1,000 and 10,000 events, or 100,000 alone when
// ORVANE_BENCH_LARGE is set (`make bench-large`), so that `make bench` stays quick.
void CalendarSizes(benchmark::internal::Benchmark* bench);
