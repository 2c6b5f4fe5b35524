// Speed of the site plan records on a database of 100 plans, one of them with 30,000
// structures. Goals: one step of ">" or "<" in the editor (keyed read and filling the
// window) within 5 ms; deleting a structure with the renumbering of the 30,000 within 0.5 s.

#include "data/DatabaseFile.h"
#include "data/SitePlan.h"
#include "ui/Messages.h"
#include "windows/plan/PlanEditorWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

using namespace kelmo;

namespace {

constexpr int kPlans = 100;
constexpr int kBigPlanStructures = 30000;
constexpr int kOtherPlanStructures = 50;

struct Database {
    QTemporaryDir dir;
    QString connection;
    int bigPlan = 0;
};

db::StructureRecord structure(int plan, int number) {
    db::StructureRecord r;
    r.plan = plan;
    r.number = number;
    r.type = QStringLiteral("Производственные, административные и жилые здания");
    r.kind = QStringLiteral("Здания с легким металлическим каркасом и бескаркасной конструкции");
    r.storeys = QStringLiteral("3");
    r.staff = QStringLiteral("40");
    r.selected = {false, false, true, false};
    r.pressure = {15, 25, 40, 60};
    for (int i = 0; i < 8; ++i) {
        r.corners[i] = QString::number(number * 10 + i);
    }
    return r;
}

// Built once: the rows go in through plain inserts in one transaction, which is not timed.
Database& database() {
    static std::unique_ptr<Database> instance;
    if (instance) {
        return *instance;
    }
    instance = std::make_unique<Database>();
    const QString path = instance->dir.filePath(QStringLiteral("bdKelmo.db"));
    db::createDatabaseFile(path, false);
    instance->connection = QStringLiteral("Data Source=MS Access Database;Initial Catalog=") + path;
    db::Connection c(instance->connection);
    for (int p = 1; p <= kPlans; ++p) {
        const int plan = db::createPlan(c, QStringLiteral("План %1").arg(p));
        if (p == kPlans / 2) {
            instance->bigPlan = plan;
        }
    }
    db::Transaction t(c);
    for (int p = 1; p <= kPlans; ++p) {
        const int count = p == instance->bigPlan ? kBigPlanStructures : kOtherPlanStructures;
        for (int n = 1; n <= count; ++n) {
            const db::StructureRecord r = structure(p, n);
            QVariantList v{r.plan, r.number, r.type, r.kind, r.storeys, r.staff, 0, 0, 1, 0};
            for (const int x : r.pressure) {
                v << x;
            }
            for (const QString& x : r.corners) {
                v << x;
            }
            c.exec(QStringLiteral("insert into IDPM (NumPrim, NumSoor, Combo2, Combo3, Text1, "
                                  "Text2, optSla, optSre, optSul, optPol, txtSla, txtSre, txtSul, "
                                  "txtPol, txtX1, txtY1, txtX2, txtY2, txtX3, txtY3, txtX4, "
                                  "txtY4) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                  "?, ?, ?, ?, ?, ?)"),
                   v);
        }
    }
    t.commit();
    return *instance;
}

// ">" in the editor on the big plan, from structure to structure in the middle of the plan.
void StepNext(benchmark::State& bench) {
    bench.counters["goal_ms"] = 5; // processor time
    Database& d = database();
    plan::PlanSession session;
    session.planNumber = d.bigPlan;
    plan::PlanEditorWindow editor(WindowContext::forDatabase(d.connection), session);
    editor.showPlanAreas();
    editor.show();
    session.structureNumber = 10000;
    auto* next = editor.findChild<QPushButton*>(QStringLiteral("cmdMaxN"));
    for (auto _ : bench) {
        next->click();
        if (session.structureNumber >= 20000) {
            session.structureNumber = 10000;
        }
    }
    if (editor.findChild<QLineEdit*>(QStringLiteral("Text1"))->text() != QStringLiteral("3")) {
        bench.SkipWithError("the structure was not shown");
    }
}

// "<" likewise, downwards.
void StepPrevious(benchmark::State& bench) {
    bench.counters["goal_ms"] = 5; // processor time
    Database& d = database();
    plan::PlanSession session;
    session.planNumber = d.bigPlan;
    plan::PlanEditorWindow editor(WindowContext::forDatabase(d.connection), session);
    editor.showPlanAreas();
    editor.show();
    session.structureNumber = 20000;
    auto* previous = editor.findChild<QPushButton*>(QStringLiteral("cmdMinN"));
    for (auto _ : bench) {
        previous->click();
        if (session.structureNumber <= 10000) {
            session.structureNumber = 20000;
        }
    }
}

// Structure 1 of 30,000 deleted, the other 29,999 moved down; the structure is put back at
// the end outside the timing, so every round renumbers the same count.
void DeleteWithRenumbering(benchmark::State& bench) {
    bench.counters["goal_ms"] = 500; // processor time
    Database& d = database();
    db::Connection c(d.connection);
    for (auto _ : bench) {
        db::deleteStructure(c, d.bigPlan, 1);
        bench.PauseTiming();
        db::addStructure(c, structure(d.bigPlan, kBigPlanStructures));
        bench.ResumeTiming();
    }
}

} // namespace

BENCHMARK(StepNext)->Unit(benchmark::kMillisecond);
BENCHMARK(StepPrevious)->Unit(benchmark::kMillisecond);
BENCHMARK(DeleteWithRenumbering)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type != QtDebugMsg && type != QtWarningMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(msg));
        }
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // A message would wait for a click; none is expected.
    ui::Messages::setInterceptor([](const ui::Message& m) {
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
        return QMessageBox::Ok;
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
