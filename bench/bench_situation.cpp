// Speed of the situation on a site plan. Goals: a plan of 1,000 structures, probit look-ups
// included, in at most 20 ms; its Word report, built and packed, in at most 1 s.

#include "data/DatabaseFile.h"
#include "data/ProbitPercentTable.h"
#include "engine/Situation.h"
#include "reports/SituationReport.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

std::vector<kelmo::StructureRecord> gridOfStructures(int count) {
    std::vector<kelmo::StructureRecord> plan;
    const int perRow = static_cast<int>(std::ceil(std::sqrt(count)));
    for (int i = 0; i < count; ++i) {
        const double x = -500 + (i % perRow) * 30.0;
        const double y = -500 + (i / perRow) * 30.0;
        kelmo::StructureRecord s;
        s.number = i + 1;
        s.staff = 10;
        s.outline = {{{x, y}, {x + 12, y}, {x + 12, y + 8}, {x, y + 8}}};
        s.thresholds = {10, 20, 30, 50};
        plan.push_back(s);
    }
    return plan;
}

void PlanOfThousandStructures(benchmark::State& bench) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bdKelmo.db"));
    kelmo::db::createDatabaseFile(path, false);
    kelmo::db::Connection connection(
        QStringLiteral("Data Source=MS Access Database;Initial Catalog=") + path);
    const auto plan = gridOfStructures(1000);
    kelmo::ChargeInput charge;
    charge.chargeMassKg = 5000;

    for (auto _ : bench) {
        // Reading the probit table is part of every calculation.
        const auto table = kelmo::ProbitPercentTable::load(connection);
        const auto result = kelmo::evaluateSituation(
            charge, {0, 0}, plan, [&table](float probit) { return table.percent(probit); });
        benchmark::DoNotOptimize(result.totals.injured);
    }
}

void WordReportOfThousandStructures(benchmark::State& bench) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bdKelmo.db"));
    kelmo::db::createDatabaseFile(path, false);
    kelmo::db::Connection connection(
        QStringLiteral("Data Source=MS Access Database;Initial Catalog=") + path);
    auto plan = gridOfStructures(1000);
    for (auto& s : plan) {
        s.type = "Здания";
        s.kind = "Кирпичные";
        s.storeys = "2";
    }
    kelmo::ChargeInput charge;
    charge.chargeMassKg = 5000;
    const auto table = kelmo::ProbitPercentTable::load(connection);
    const auto result = kelmo::evaluateSituation(
        charge, {0, 0}, plan, [&table](float probit) { return table.percent(probit); });
    kelmo::reports::SituationReportInput in;
    in.planName = QStringLiteral("Тысяча сооружений");
    in.charge.name = QStringLiteral("Тротил");
    in.xText = in.yText = QStringLiteral("0");
    in.result = &result;

    for (auto _ : bench) {
        const QByteArray bytes = kelmo::reports::buildSituationReport(in).toBytes();
        benchmark::DoNotOptimize(bytes.size());
    }
}

} // namespace

BENCHMARK(PlanOfThousandStructures)->Unit(benchmark::kMillisecond);
BENCHMARK(WordReportOfThousandStructures)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
