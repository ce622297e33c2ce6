// The entry dialog's preview, once per keystroke: the four typed fields in their stored
// form, then the next three moments or the proof that there are none.
#include "sched/TimeFieldInput.h"
#include "sched/TimePreview.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>

namespace {

using namespace vantle;

struct TTyped {
    const char* Minutes;
    const char* Hours;
    const char* Days;
    const char* Months;
    const char* WeekDays;
};

// What one keystroke costs: conversion of every field and the preview.
void Keystroke(benchmark::State& state, const TTyped& typed, const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
    const TDateTime now = EncodeDate(2026, 12, 6) + EncodeTime(12, 0, 0, 0);
    for (auto _ : state) {
        TSchedule entry;
        entry.Minutes = ToStoredTimeField(TTimeFieldKind::Minutes, typed.Minutes);
        entry.Hours = ToStoredTimeField(TTimeFieldKind::Hours, typed.Hours);
        entry.Days = ToStoredTimeField(TTimeFieldKind::Days, typed.Days);
        entry.Months = ToStoredTimeField(TTimeFieldKind::Months, typed.Months);
        entry.WeekDays = typed.WeekDays;
        TTimePreview preview = PreviewTimes(entry, now, 3);
        benchmark::DoNotOptimize(preview);
    }
}

// Days that exist, but every minute named lies in the hour Berlin's clock skips on the
// last Sunday of March: each run is the catch-up at 03:00, a year apart.
void BM_PreviewNeverDueInDaylightSavingGap(benchmark::State& state) {
    Keystroke(state, {"*/1", "2", "25-31", "mar", "0"}, "Europe/Berlin");
}
BENCHMARK(BM_PreviewNeverDueInDaylightSavingGap)->Unit(benchmark::kMillisecond);

// A leap day on a Monday: the next three lie decades apart.
void BM_PreviewLeapDayMondays(benchmark::State& state) {
    Keystroke(state, {"*/5", "*/2", "29", "feb", "1"}, "Europe/Berlin");
}
BENCHMARK(BM_PreviewLeapDayMondays)->Unit(benchmark::kMillisecond);

// Never due for want of a date (30 February), and for a field out of range.
void BM_PreviewNeverDueNoSuchDate(benchmark::State& state) {
    Keystroke(state, {"*/1", "*/1", "30-31", "feb", "*"}, "Europe/Berlin");
}
BENCHMARK(BM_PreviewNeverDueNoSuchDate)->Unit(benchmark::kMillisecond);

void BM_PreviewEveryMinute(benchmark::State& state) {
    Keystroke(state, {"*", "*", "*", "*", "*"}, "Europe/Berlin");
}
BENCHMARK(BM_PreviewEveryMinute)->Unit(benchmark::kMillisecond);

} // namespace
