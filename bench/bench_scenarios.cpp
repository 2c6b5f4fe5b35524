// Speed of the worst case over a plan's scenarios. Goal: 20 scenarios over a plan of 10,000
// structures, from the session's plan to the worst case of every structure, in at most 1 s of
// processor time.

#include "data/DatabaseFile.h"
#include "data/Scenarios.h"
#include "data/SitePlan.h"
#include "session/ScenarioSituation.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

void TwentyScenariosTenThousandStructures(benchmark::State& bench) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bdKelmo.db"));
    kelmo::db::createDatabaseFile(path, false);
    kelmo::db::Connection connection(kelmo::db::fileConnectionString(path));
    const int plan = kelmo::db::createPlan(connection, QStringLiteral("Завод"));
    QList<kelmo::db::StructureRecord> structures;
    constexpr int kCount = 10'000;
    const int perRow = static_cast<int>(std::ceil(std::sqrt(kCount)));
    for (int i = 0; i < kCount; ++i) {
        const double x = -1500 + (i % perRow) * 30.0;
        const double y = -1500 + (i / perRow) * 30.0;
        kelmo::db::StructureRecord s;
        s.staff = QStringLiteral("10");
        s.selected = {true, true, true, true};
        s.pressure = {10, 20, 30, 50};
        kelmo::db::setOutline(s, {{x, y}, {x + 12, y}, {x + 12, y + 8}, {x, y + 8}});
        structures.append(s);
    }
    kelmo::db::appendStructures(connection, plan, structures);
    QList<kelmo::db::ScenarioRecord> scenarios;
    for (int k = 0; k < 20; ++k) {
        kelmo::db::ScenarioRecord r;
        r.plan = plan;
        r.name = QStringLiteral("Склад %1").arg(k + 1);
        r.charge.chargeMassKg = 500 + 250.0 * k;
        r.point = {-1400 + 140.0 * k, 100.0 * (k % 5)};
        scenarios.append(r);
    }
    kelmo::situation::Session session = kelmo::situation::Session::open(connection, plan);

    for (auto _ : bench) {
        const auto all = kelmo::situation::evaluateScenarios(session, scenarios);
        benchmark::DoNotOptimize(all.worst.situation.totals.injured);
    }
}

} // namespace

BENCHMARK(TwentyScenariosTenThousandStructures)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
