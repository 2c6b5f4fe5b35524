// Speed of the team database on a local PostgreSQL server through ODBC, each step with its own
// connection as the windows open one per action. Goals: the explosives grid filled in 20 ms;
// one step of ">" / "<" in a plan of 30,000 structures in 10 ms. The same steps on the
// embedded file are measured beside them.

#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "tests/support/PostgresServer.h"

#include <QApplication>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

using namespace kelmo;

namespace {

constexpr int kStructures = 30000;

QString g_server;
QString g_file;
int g_planOnServer = 0;
int g_planOnFile = 0;

// A plan of 30,000 structures, added in one transaction.
int fillPlan(const QString& connection) {
    db::Connection c(connection);
    db::Transaction t(c);
    const int plan = c.exec(QStringLiteral("insert into MnuPM (MnuPM) values ('Большой план')"))
                         .lastInsertId()
                         .toInt();
    QSqlQuery insert(c.database());
    insert.prepare(QStringLiteral(
        "insert into IDPM (NumPrim, NumSoor, Combo2, Combo3, Text1, Text2, optSla, optSre, optSul, "
        "optPol, txtSla, txtSre, txtSul, txtPol, txtX1, txtY1, txtX2, txtY2, txtX3, txtY3, txtX4, "
        "txtY4) values (?, ?, 'Здания', 'Кирпичные', '2', '15', 1, 0, 0, 0, 12, 0, 0, 0, '10', "
        "'10', '20', '10', '20', '20', '10', '20')"));
    for (int n = 1; n <= kStructures; ++n) {
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

BENCHMARK(BM_ExplosivesGrid_Server)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExplosivesGrid_File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanStep30000_Server)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanStep30000_File)->Unit(benchmark::kMillisecond);

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
    } catch (const Error& e) {
        std::fprintf(stderr, "kelmo-bench-server: %s\n", e.what());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
