// Speed of a general plan's import: a DXF drawing of 10,000 buildings (closed polylines of
// four to eight vertices, with texts and open lines between them) read through GDAL, turned
// into structures of the database's kinds and stored in one transaction, replacing the plan's
// structures each time. Goal: within 2 s of processor time for the whole import.

#include "data/DatabaseFile.h"
#include "planimport/PlanImport.h"
#include "planimport/PlanSource.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

using namespace kelmo;

namespace {

constexpr int kBuildings = 10000;

struct Fixture {
    QTemporaryDir dir;
    QString drawing;
    QString connection;
};

// The drawing, written once as DXF text (layer names in code page 1251 are not needed here).
QByteArray drawingText() {
    QByteArray out = "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n0\nENDSEC\n0\nSECTION\n2\n"
                     "ENTITIES\n";
    for (int i = 0; i < kBuildings; ++i) {
        const double x0 = (i % 100) * 40.0;
        const double y0 = (i / 100) * 40.0;
        const int vertices = 4 + i % 5;
        out += "0\nLWPOLYLINE\n8\nBUILDINGS\n100\nAcDbPolyline\n90\n" +
               QByteArray::number(vertices) + "\n70\n1\n";
        for (int v = 0; v < vertices; ++v) {
            const double a = 2 * M_PI * v / vertices;
            out += "10\n" + QByteArray::number(x0 + 15 + 12 * std::cos(a), 'f', 3) + "\n20\n" +
                   QByteArray::number(y0 + 15 + 12 * std::sin(a), 'f', 3) + "\n";
        }
        if (i % 10 == 0) {
            out += "0\nTEXT\n8\nBUILDINGS\n10\n" + QByteArray::number(x0 + 15) + "\n20\n" +
                   QByteArray::number(y0 + 15) + "\n40\n2\n1\nN" + QByteArray::number(i) + "\n";
            out += "0\nLWPOLYLINE\n8\nBUILDINGS\n90\n2\n70\n0\n10\n" + QByteArray::number(x0) +
                   "\n20\n" + QByteArray::number(y0) + "\n10\n" + QByteArray::number(x0 + 30) +
                   "\n20\n" + QByteArray::number(y0) + "\n";
        }
    }
    out += "0\nENDSEC\n0\nEOF\n";
    return out;
}

Fixture& fixture() {
    static std::unique_ptr<Fixture> instance;
    if (!instance) {
        instance = std::make_unique<Fixture>();
        instance->drawing = instance->dir.filePath(QStringLiteral("genplan.dxf"));
        QFile f(instance->drawing);
        f.open(QIODevice::WriteOnly);
        f.write(drawingText());
        f.close();
        const QString path = instance->dir.filePath(QStringLiteral("bdKelmo.db"));
        db::createDatabaseFile(path, false);
        instance->connection = db::fileConnectionString(path);
    }
    return *instance;
}

void ImportDrawingOfTenThousandBuildings(benchmark::State& state) {
    state.counters["goal_ms"] = 2000; // processor time
    Fixture& f = fixture();
    for (auto _ : state) {
        const planimport::SourceReading reading = planimport::readPlanSource(f.drawing, {});
        db::Connection c(f.connection);
        const planimport::PlanStructures structures =
            planimport::structuresOf(c, reading, QStringLiteral("Деревянные дома"));
        if (structures.structures.size() != kBuildings || !structures.refused.isEmpty()) {
            state.SkipWithError("the drawing did not give 10,000 structures");
            return;
        }
        planimport::storePlanStructures(c, QStringLiteral("Генплан"), structures.structures,
                                        reading.epsg, true);
    }
}

void ReadDrawingOfTenThousandBuildings(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        benchmark::DoNotOptimize(planimport::readPlanSource(f.drawing, {}));
    }
}

} // namespace

BENCHMARK(ReadDrawingOfTenThousandBuildings)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK(ImportDrawingOfTenThousandBuildings)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(3);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
