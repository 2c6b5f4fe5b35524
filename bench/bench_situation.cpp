// Speed of the situation on a site plan, all in processor time. Goals: what the user waits for,
// from the database to the JSON of the rows (the plan and the probit table read, every structure
// evaluated, the rows written as kelmo-calc prints them): 1,000 structures in at most 20 ms and
// 30,000 in at most 0.4 s; 10,000 polygon structures in at most 0.2 s; the calculation alone on
// 1,000 structures in memory; the Word report of 1,000 rows, built and packed, in at most 1 s.

#include "cli/JsonWriter.h"
#include "cli/SituationCommand.h"
#include "data/DatabaseFile.h"
#include "data/ProbitPercentTable.h"
#include "data/SitePlan.h"
#include "data/SituationPlan.h"
#include "engine/Situation.h"
#include "reports/SituationReport.h"
#include "session/SituationSession.h"

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

// The calculation alone on a plan already in memory, probit table read included.
void ThousandStructuresInMemory(benchmark::State& bench) {
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

    bench.counters["goal_ms"] = 1000;
    for (auto _ : bench) {
        const QByteArray bytes = kelmo::reports::buildSituationReport(in).toBytes();
        benchmark::DoNotOptimize(bytes.size());
    }
}

// A database with one plan of that many rectangular structures, their corners stored as typed
// (every other one with a decimal comma).
struct PlanDatabase {
    QTemporaryDir dir;
    QString path;

    explicit PlanDatabase(int count) {
        path = dir.filePath(QStringLiteral("bdKelmo.db"));
        kelmo::db::createDatabaseFile(path, false);
        kelmo::db::Connection connection(kelmo::db::fileConnectionString(path));
        const int plan = kelmo::db::createPlan(connection, QStringLiteral("План"));
        QList<kelmo::db::StructureRecord> records;
        const int perRow = static_cast<int>(std::ceil(std::sqrt(count)));
        for (int i = 0; i < count; ++i) {
            const double x = -1500 + (i % perRow) * 30.0;
            const double y = -1500 + (i / perRow) * 30.0;
            kelmo::db::StructureRecord r;
            r.type = QStringLiteral("Здания");
            r.kind = QStringLiteral("Кирпичные");
            r.storeys = QStringLiteral("2");
            r.staff = QStringLiteral("10");
            r.selected = {true, true, true, true};
            r.pressure = {10, 20, 30, 50};
            const double corners[8] = {x, y, x, y + 8.5, x + 12.25, y + 8.5, x + 12.25, y};
            for (int c = 0; c < 8; ++c) {
                QString text = QString::number(corners[c], 'g', 10);
                if (i % 2 == 1) {
                    text.replace(u'.', u',');
                }
                r.corners[static_cast<std::size_t>(c)] = text;
            }
            records.append(r);
        }
        kelmo::db::appendStructures(connection, plan, records);
    }
};

// The whole path of kelmo-calc situation and of «РАСЧЕТ» on the situation window: the plan and
// the probit table read, every structure evaluated, the rows written as JSON.
void SituationFromDatabase(benchmark::State& bench) {
    const auto count = static_cast<int>(bench.range(0));
    PlanDatabase database(count);
    kelmo::ChargeInput charge;
    charge.chargeMassKg = 5000;
    bench.counters["goal_ms"] = count <= 1000 ? 20 : 400;
    for (auto _ : bench) {
        kelmo::db::Connection connection(kelmo::db::fileConnectionString(database.path));
        auto session = kelmo::situation::Session::open(connection, QStringLiteral("План"));
        const auto& result =
            session.evaluate(charge, {{0, 0}, QStringLiteral("0"), QStringLiteral("0")}, {});
        benchmark::DoNotOptimize(kelmo::cli::situationJson(session.plan(), result).size());
    }
    bench.counters["structures"] = count;
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
    bench.counters["goal_ms"] = 200;

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

BENCHMARK(ThousandStructuresInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(SituationFromDatabase)
    ->Arg(1000)
    ->Arg(30000)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
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
