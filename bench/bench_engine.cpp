// Speed of the zone calculation. Goal: at most 0.5 µs of processor time per stored row, so that
// a run of the table's 50,000 rows takes at most 25 ms.

#include "engine/ZoneRun.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void runZones(benchmark::State& bench, double massKg, double step, kelmo::Placement placement,
              int expectedRows = 0) {
    auto state = std::make_unique<kelmo::CalcState>();
    state->setParameters(kelmo::CalcParameters::loadValues());
    state->step = step;
    kelmo::ChargeInput input;
    input.chargeMassKg = massKg;
    input.placement = placement;

    kelmo::RunZoneCalculation(*state, input);
    if (expectedRows > 0 && state->pointCount != expectedRows) {
        bench.SkipWithError("the run does not store the rows the benchmark names");
        return;
    }
    for (auto _ : bench) {
        benchmark::DoNotOptimize(kelmo::RunZoneCalculation(*state, input));
    }
    const double rows = state->pointCount;
    bench.counters["rows"] = rows;
    // Seconds per millionth of a row, i.e. microseconds per row.
    bench.counters["us_per_row"] =
        benchmark::Counter(rows * static_cast<double>(bench.iterations()) / 1e6,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    bench.counters["goal_ms"] = rows * 0.5e-3;
}

void WorkedRun(benchmark::State& bench) {
    runZones(bench, 1000, 1, kelmo::Placement::Air);
}
// 3 t in the air with this step fills the table exactly: 50,000 rows.
void FiftyThousandRows(benchmark::State& bench) {
    runZones(bench, 3000, 0.0093615, kelmo::Placement::Air, kelmo::ProfileTable::kMaxRows);
}
void MillionKg(benchmark::State& bench) {
    runZones(bench, 1e6, 1, kelmo::Placement::Ground);
}

} // namespace

BENCHMARK(WorkedRun)->Unit(benchmark::kMicrosecond);
BENCHMARK(FiftyThousandRows)->Unit(benchmark::kMillisecond);
BENCHMARK(MillionKg)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
