// Speed of the situation on a site plan. Goals: a plan of 1,000 structures, probit look-ups
// included, in at most 20 ms; its Word report, built and packed, in at most 1 s; a plan of
// 10,000 polygon structures from the database to the JSON of its rows in at most 0.2 s of
// processor time.

#include "cli/JsonWriter.h"
#include "data/DatabaseFile.h"
#include "data/ProbitPercentTable.h"
#include "data/SitePlan.h"
#include "data/SituationPlan.h"
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
        s.outline = {{x, y}, {x + 12, y}, {x + 12, y + 8}, {x, y + 8}};
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

// A plan of 10,000 structures of six to nine vertices (L-shapes, hexagons, …), stored through
// the site-plan records: each run reads the plan and the probit table, evaluates every
// structure and writes the rows as kelmo-calc's JSON does.
void TenThousandPolygonsDatabaseToJson(benchmark::State& bench) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bdKelmo.db"));
    kelmo::db::createDatabaseFile(path, false);
    kelmo::db::Connection connection(kelmo::db::fileConnectionString(path));
    const int plan = kelmo::db::createPlan(connection, QStringLiteral("Десять тысяч"));
    QList<kelmo::db::StructureRecord> records;
    const int perRow = 100;
    for (int i = 0; i < 10000; ++i) {
        const double x = -1500 + (i % perRow) * 30.0;
        const double y = -1500 + (i / perRow) * 30.0;
        kelmo::db::StructureRecord r;
        r.type = QStringLiteral("Здания");
        r.kind = QStringLiteral("Кирпичные");
        r.storeys = QStringLiteral("2");
        r.staff = QStringLiteral("10");
        r.pressure = {10, 20, 30, 50};
        kelmo::StructureOutline outline;
        const int vertices = 6 + i % 4;
        for (int v = 0; v < vertices; ++v) {
            const double a = 2 * M_PI * v / vertices;
            outline.push_back({x + 10 * std::cos(a), y + 8 * std::sin(a)});
        }
        kelmo::db::setOutline(r, outline);
        records.append(r);
    }
    kelmo::db::appendStructures(connection, plan, records);
    kelmo::ChargeInput charge;
    charge.chargeMassKg = 5000;

    for (auto _ : bench) {
        const auto table = kelmo::ProbitPercentTable::load(connection);
        const kelmo::SituationPlan loaded =
            kelmo::loadSituationPlan(connection, QStringLiteral("Десять тысяч"));
        const auto result =
            kelmo::evaluateSituation(charge, {0, 0}, loaded.structures,
                                     [&table](float probit) { return table.percent(probit); });
        kelmo::cli::JsonWriter json;
        json.beginObject();
        json.beginArray("structures");
        for (const kelmo::SituationRow& row : result.rows) {
            json.beginObject();
            json.integer("number", row.structure.number);
            json.string("type", QString::fromStdString(row.structure.type));
            json.string("kind", QString::fromStdString(row.structure.kind));
            json.integer("staff", row.structure.staff);
            if (row.impact) {
                json.number("distance", row.impact->distance);
                json.number("deltaPkPa", row.impact->deltaPkPa);
                json.number("impulse", row.impact->impulse);
                json.number("percentHeavy", row.impact->percentHeavy);
                json.number("injured", row.impact->injured);
            }
            json.endObject();
        }
        json.endArray();
        json.endObject();
        benchmark::DoNotOptimize(json.text().size());
    }
}

BENCHMARK(PlanOfThousandStructures)->Unit(benchmark::kMillisecond);
BENCHMARK(TenThousandPolygonsDatabaseToJson)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(WordReportOfThousandStructures)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
