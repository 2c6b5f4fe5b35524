// Speed of the zone calculation. Goal: at most 0.5 µs per stored row, so that a
// 50,000-row run takes at most 25 ms.

#include "engine/ZoneRun.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void runZones(benchmark::State& bench, double massKg, double step, kelmo::Placement placement) {
    auto state = std::make_unique<kelmo::CalcState>();
    state->setParameters(kelmo::CalcParameters::loadValues());
    state->step = step;
    kelmo::ChargeInput input;
    input.chargeMassKg = massKg;
    input.placement = placement;

    for (auto _ : bench) {
        benchmark::DoNotOptimize(kelmo::RunZoneCalculation(*state, input));
    }
    const double rows = state->pointCount;
    bench.counters["rows"] = rows;
    // Seconds per millionth of a row, i.e. microseconds per row.
    bench.counters["us_per_row"] =
        benchmark::Counter(rows * static_cast<double>(bench.iterations()) / 1e6,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void WorkedRun(benchmark::State& bench) {
    runZones(bench, 1000, 1, kelmo::Placement::Air);
}
void FiftyThousandRows(benchmark::State& bench) {
    runZones(bench, 3000, 0.01, kelmo::Placement::Air);
}
void MillionKg(benchmark::State& bench) {
    runZones(bench, 1e6, 1, kelmo::Placement::Ground);
}

} // namespace

BENCHMARK(WorkedRun)->Unit(benchmark::kMicrosecond);
BENCHMARK(FiftyThousandRows)->Unit(benchmark::kMillisecond);
BENCHMARK(MillionKg)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
