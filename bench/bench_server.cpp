// Speed of the team database on a local PostgreSQL server through ODBC, each step with its own
// connection as the windows open one per action. Goals: the explosives grid filled in 20 ms;
// one step of ">" / "<" in a plan of 30,000 structures in 10 ms; the situation of a plan of
// 1,000 and of 30,000 structures from the database to the JSON within 1.5 times the processor
// time it takes on the embedded file (the server's own processor time is not counted: it runs
// in a process of its own). The same steps on the embedded file are measured beside them.

#include "cli/SituationCommand.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "session/SituationSession.h"
#include "tests/support/PostgresServer.h"
#include "ui/BackgroundWork.h"

#include <QApplication>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <future>
#include <map>
#include <memory>
#include <thread>

using namespace kelmo;

namespace {

constexpr int kStructures = 30000;

QString g_server;
QString g_file;
int g_planOnServer = 0;
int g_planOnFile = 0;
// Plans of 1,000 structures for the situation.
int g_smallPlanOnServer = 0;
int g_smallPlanOnFile = 0;
// The processor time of one situation, ms, by database and plan size.
std::map<std::pair<bool, int>, double> g_situationMs;

double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A plan of `count` structures, added in one transaction.
int fillPlan(const QString& connection, int count = kStructures,
             const QString& name = QStringLiteral("Большой план")) {
    db::Connection c(connection);
    db::Transaction t(c);
    const int plan = c.exec(QStringLiteral("insert into MnuPM (MnuPM) values (?)"), {name})
                         .lastInsertId()
                         .toInt();
    QSqlQuery insert(c.database());
    insert.prepare(QStringLiteral(
        "insert into IDPM (NumPrim, NumSoor, Combo2, Combo3, Text1, Text2, optSla, optSre, optSul, "
        "optPol, txtSla, txtSre, txtSul, txtPol, txtX1, txtY1, txtX2, txtY2, txtX3, txtY3, txtX4, "
        "txtY4) values (?, ?, 'Здания', 'Кирпичные', '2', '15', 1, 0, 0, 0, 12, 0, 0, 0, '10', "
        "'10', '20', '10', '20', '20', '10', '20')"));
    for (int n = 1; n <= count; ++n) {
        insert.bindValue(0, plan);
        insert.bindValue(1, n);
        insert.exec();
    }
    t.commit();
    return plan;
}

// The explosives editor's grid: the catalogue sorted by name into a two-column table.
void fillExplosivesGrid(benchmark::State& bench, const QString& connection) {
    QTableWidget grid(0, 2);
    for (auto _ : bench) {
        db::Connection c(connection);
        QSqlQuery q = c.select(QStringLiteral("select * from Explosives order by VVName asc"));
        grid.setRowCount(0);
        int row = 0;
        while (q.next()) {
            grid.insertRow(row);
            grid.setItem(row, 0,
                         new QTableWidgetItem(
                             db::Connection::field(q, QStringLiteral("VVName")).toString()));
            grid.setItem(row, 1,
                         new QTableWidgetItem(QString::number(
                             db::Connection::field(q, QStringLiteral("VVPower")).toDouble())));
            ++row;
        }
        benchmark::DoNotOptimize(row);
    }
}

// One step of ">": the structure with the next number, read by its key, and the kinds list
// refilled for its type on a second connection.
void planStep(benchmark::State& bench, const QString& connection, int plan) {
    int number = kStructures / 2;
    for (auto _ : bench) {
        db::Connection c(connection);
        QSqlQuery q = c.exec(QStringLiteral("select * from IDPM where NumPrim = ? and NumSoor = ?"),
                             {plan, number});
        if (!q.next()) {
            bench.SkipWithError("structure not found");
            return;
        }
        benchmark::DoNotOptimize(db::Connection::field(q, QStringLiteral("Combo2")).toString());
        benchmark::DoNotOptimize(db::Connection::field(q, QStringLiteral("txtY4")).toString());
        {
            db::Connection kinds(connection);
            QSqlQuery k = kinds.select(QStringLiteral("select * from BSubTypes"));
            while (k.next()) {
                benchmark::DoNotOptimize(
                    db::Connection::field(k, QStringLiteral("STName")).toString());
            }
        }
        number = number % kStructures + 1;
    }
}

void BM_ExplosivesGrid_Server(benchmark::State& s) {
    s.counters["goal_ms"] = 20; // processor time
    fillExplosivesGrid(s, g_server);
}
void BM_ExplosivesGrid_File(benchmark::State& s) {
    fillExplosivesGrid(s, g_file);
}
void BM_PlanStep30000_Server(benchmark::State& s) {
    s.counters["goal_ms"] = 10; // processor time
    planStep(s, g_server, g_planOnServer);
}
void BM_PlanStep30000_File(benchmark::State& s) {
    planStep(s, g_file, g_planOnFile);
}

// The whole path of kelmo-calc situation and of «РАСЧЕТ»: the plan and the probit table read,
// every structure evaluated, the rows written as JSON.
void situation(benchmark::State& bench, const QString& connection, int plan, bool onServer) {
    ChargeInput charge;
    charge.chargeMassKg = 5000;
    const int count = static_cast<int>(bench.range(0));
    double spent = 0;
    for (auto _ : bench) {
        const double start = processCpuMs();
        db::Connection c(connection);
        auto session = situation::Session::open(c, plan);
        const auto& result =
            session.evaluate(charge, {{0, 0}, QStringLiteral("0"), QStringLiteral("0")}, {});
        benchmark::DoNotOptimize(cli::situationJson(session.plan(), result).size());
        spent += processCpuMs() - start;
    }
    g_situationMs[{onServer, count}] = spent / static_cast<double>(bench.iterations());
}

void BM_Situation_Server(benchmark::State& s) {
    situation(s, g_server, s.range(0) == kStructures ? g_planOnServer : g_smallPlanOnServer, true);
}
void BM_Situation_File(benchmark::State& s) {
    situation(s, g_file, s.range(0) == kStructures ? g_planOnFile : g_smallPlanOnFile, false);
}

// A db::Connection and one row read through it, as each command of a window begins: the
// server's connection is kept per thread, so this is the cost of a query's round trip, not of
// logging in again.
void connectAndRead(benchmark::State& bench, const QString& connection) {
    for (auto _ : bench) {
        db::Connection c(connection);
        QSqlQuery q = c.select(QStringLiteral("select count(*) from MnuPM"));
        benchmark::DoNotOptimize(q.next());
    }
}
void BM_Connect_Server(benchmark::State& s) {
    connectAndRead(s, g_server);
}
void BM_Connect_File(benchmark::State& s) {
    connectAndRead(s, g_file);
}

// One read of a window's work on a background thread: on a new thread each time, which logs
// in anew, and on the threads kept for background work, whose connections stay open.
void backgroundRead(benchmark::State& bench, const QString& connection, bool kept) {
    const auto read = [connection] {
        db::Connection c(connection);
        QSqlQuery q = c.select(QStringLiteral("select count(*) from MnuPM"));
        benchmark::DoNotOptimize(q.next());
    };
    for (auto _ : bench) {
        if (kept) {
            std::promise<void> done;
            ui::detail::startBackgroundJob([&read, &done] {
                read();
                done.set_value();
            });
            done.get_future().wait();
        } else {
            std::thread(read).join();
        }
    }
}
void BM_BackgroundReadNewThread_Server(benchmark::State& s) {
    backgroundRead(s, g_server, false);
}
void BM_BackgroundReadKeptThread_Server(benchmark::State& s) {
    backgroundRead(s, g_server, true);
}

BENCHMARK(BM_Connect_Server)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Connect_File)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackgroundReadNewThread_Server)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackgroundReadKeptThread_Server)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExplosivesGrid_Server)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExplosivesGrid_File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanStep30000_Server)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanStep30000_File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Situation_Server)
    ->Arg(1000)
    ->Arg(kStructures)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Situation_File)
    ->Arg(1000)
    ->Arg(kStructures)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::PostgresServer server;
    if (!server.start()) {
        std::fprintf(stderr, "kelmo-bench-server: %s\n", qPrintable(server.skipReason()));
        return 0;
    }
    if (!server.createDatabase(QStringLiteral("bench")) ||
        !server.installOdbc({QStringLiteral("bench")})) {
        std::fprintf(stderr, "kelmo-bench-server: the bench database could not be set up\n");
        return 1;
    }
    QTemporaryDir dir;
    try {
        g_server =
            db::serverConnectionString(test::PostgresServer::dsnName(QStringLiteral("bench")));
        db::initializeServerDatabase(g_server, false);
        g_file = QStringLiteral("Data Source=MS Access Database;Initial Catalog=") +
                 dir.filePath(QStringLiteral("bdKelmo.db"));
        db::createDatabaseFile(dir.filePath(QStringLiteral("bdKelmo.db")), false);
        g_planOnServer = fillPlan(g_server);
        g_planOnFile = fillPlan(g_file);
        g_smallPlanOnServer = fillPlan(g_server, 1000, QStringLiteral("План на 1000"));
        g_smallPlanOnFile = fillPlan(g_file, 1000, QStringLiteral("План на 1000"));
    } catch (const Error& e) {
        std::fprintf(stderr, "kelmo-bench-server: %s\n", e.what());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The server's situation against the file's, as a ratio of processor times.
    for (const int count : {1000, kStructures}) {
        const auto onServer = g_situationMs.find({true, count});
        const auto onFile = g_situationMs.find({false, count});
        if (onServer != g_situationMs.end() && onFile != g_situationMs.end() &&
            onFile->second > 0) {
            std::printf("GOAL\tsituation of %d structures, PostgreSQL / SQLite\t%.3f\t1.5\t"
                        "x\tlower\n",
                        count, onServer->second / onFile->second);
        }
    }
    return 0;
}
