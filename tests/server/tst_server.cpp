// The team database on a PostgreSQL server reached through a named ODBC data source: the
// schema and reference data created there, kelmo-calc over --dsn, start-up through the data
// source, a server that goes away and comes back, and two engineers changing one plan at once.
// The server is the tests' own (tests/support/PostgresServer.h); without PostgreSQL on the
// machine the whole test is skipped with the reason.

#include "core/NameOrder.h"
#include "core/NumberText.h"
#include "core/ProgramFolder.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/ExplosiveCatalogue.h"
#include "data/PlanPicture.h"
#include "data/PointCalculation.h"
#include "data/ProbitTable.h"
#include "data/SchemaVersion.h"
#include "data/SitePlan.h"
#include "data/StructureKinds.h"
#include "map/PlanMapModel.h"
#include "shell/Navigator.h"
#include "tests/support/BusySign.h"
#include "tests/support/CalcRun.h"
#include "tests/support/HoldingProxy.h"
#include "tests/support/LockWait.h"
#include "tests/support/PostgresServer.h"
#include "tests/support/Runs.h"
#include "tests/support/WidgetLookup.h"
#include "ui/BackgroundWork.h"
#include "ui/Messages.h"
#include "windows/map/PlanMapView.h"
#include "windows/plan/CreatePlanDialog.h"
#include "windows/plan/PlanEditorWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlRecord>
#include <QStatusBar>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include <atomic>
#include <functional>
#include <thread>

using namespace kelmo;

namespace {

using CalcResult = kelmo::test::CalcResult;

CalcResult runCalc(const QStringList& arguments) {
    return kelmo::test::runCalc(arguments, 120000);
}

// Every row of a table as text, numbers at full precision, in a fixed order, read by the
// program's own field names: a server that folds names to lower case must still answer them.
QStringList tableRows(const QString& connection, const QString& table, const QStringList& fields,
                      const QString& orderBy) {
    db::Connection c(connection);
    QSqlQuery q = c.select(QStringLiteral("select * from %1 order by %2").arg(table, orderBy));
    QStringList rows;
    while (q.next()) {
        QStringList cells;
        for (const QString& f : fields) {
            const QVariant v = db::Connection::field(q, f);
            bool isNumber = false;
            const double d = v.toDouble(&isNumber);
            cells << (v.isNull() ? QStringLiteral("NULL")
                      : isNumber ? QString::number(d, 'g', 17)
                                 : v.toString());
        }
        rows << cells.join(u'|');
    }
    return rows;
}

int count(db::Connection& c, const QString& sql, const QVariantList& values = {}) {
    QSqlQuery q = c.exec(sql, values);
    if (!q.next()) {
        return -1;
    }
    return q.value(0).toInt();
}

// ---- the transaction pattern of a change to a plan's structures --------------------------
//
// Every change runs in one transaction that first takes the plan's row with an UPDATE that
// changes nothing: a row lock on a server, the write lock on SQLite. Two engineers' changes to
// one plan therefore run one after the other, and each sees the other's committed rows. A plan
// deleted meanwhile affects no row: the change stops with a conflict. A row is changed or
// deleted only if it still holds the values the engineer saw; otherwise it is a conflict.

struct Conflict {
    QString what;
};

void takePlan(db::Connection& c, int plan) {
    if (!db::lockPlan(c, plan)) {
        throw Conflict{QStringLiteral("план удалён")};
    }
}

int nextNumber(db::Connection& c, int plan) {
    return count(c,
                 QStringLiteral("select coalesce(max(NumSoor), 0) + 1 from IDPM where NumPrim = ?"),
                 {plan});
}

void insertStructure(db::Connection& c, int plan, int number, const QString& label) {
    c.exec(
        QStringLiteral("insert into IDPM (NumPrim, NumSoor, Combo2, Combo3, Text1, Text2, optSla, "
                       "txtSla) values (?, ?, ?, ?, ?, ?, 1, 12)"),
        {plan, number, QStringLiteral("Здания"), QStringLiteral("Кирпичные"), label,
         QStringLiteral("10")});
}

// Deletes the structure that holds the label and closes the gap, in number order so that the
// unique key never sees two rows with one number.
void deleteAndRenumber(db::Connection& c, int plan, int number, const QString& label) {
    QSqlQuery del =
        c.exec(QStringLiteral("delete from IDPM where NumPrim = ? and NumSoor = ? and Text1 = ?"),
               {plan, number, label});
    if (del.numRowsAffected() != 1) {
        throw Conflict{QStringLiteral("сооружение изменено или удалено")};
    }
    QList<int> later;
    QSqlQuery q =
        c.exec(QStringLiteral(
                   "select NumSoor from IDPM where NumPrim = ? and NumSoor > ? order by NumSoor"),
               {plan, number});
    while (q.next()) {
        later << q.value(0).toInt();
    }
    for (const int n : later) {
        c.exec(QStringLiteral("update IDPM set NumSoor = ? where NumPrim = ? and NumSoor = ?"),
               {n - 1, plan, n});
    }
}

// The editor's change of a structure: delete the row as it was seen, add the new one.
void changeStructure(db::Connection& c, int plan, int number, const QString& seenLabel,
                     const QString& newLabel) {
    QSqlQuery del =
        c.exec(QStringLiteral("delete from IDPM where NumPrim = ? and NumSoor = ? and Text1 = ?"),
               {plan, number, seenLabel});
    if (del.numRowsAffected() != 1) {
        throw Conflict{QStringLiteral("сооружение изменено или удалено")};
    }
    insertStructure(c, plan, number, newLabel);
}

// The structures of a plan as "number:label", in number order.
QStringList structures(db::Connection& c, int plan) {
    QStringList out;
    QSqlQuery q =
        c.exec(QStringLiteral("select * from IDPM where NumPrim = ? order by NumSoor"), {plan});
    while (q.next()) {
        out << QStringLiteral("%1:%2")
                   .arg(db::Connection::field(q, QStringLiteral("NumSoor")).toInt())
                   .arg(db::Connection::field(q, QStringLiteral("Text1")).toString());
    }
    return out;
}

// The numbers of a plan are 1, 2, 3 … with no gap and no repeat.
bool numbersAreContiguous(const QStringList& rows) {
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].section(u':', 0, 0).toInt() != i + 1) {
            return false;
        }
    }
    return true;
}

// Runs the other engineer's operation on a thread with its own connection.
class OtherEngineer final {
public:
    OtherEngineer(QString connection, std::function<void(db::Connection&)> operation)
        : m_thread([this, connection = std::move(connection), operation = std::move(operation)] {
            try {
                db::Connection c(connection);
                test::watchLockWaits(c, m_lockWait);
                operation(c);
            } catch (const Conflict& e) {
                m_conflict = e.what;
            } catch (const Error& e) {
                m_error = QString::fromUtf8(e.what());
            }
            m_done = true;
        }) {}
    ~OtherEngineer() { join(); }

    bool done() const { return m_done; }
    // True once the other engineer is seen held up by the lock of the given database; false
    // when it finished without waiting.
    bool blockedOn(const QString& connection) const {
        return test::waitUntilBlocked(connection, m_lockWait, [this] { return done(); });
    }
    void join() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    QString conflict() const { return m_conflict; }
    QString error() const { return m_error; }

private:
    std::atomic<bool> m_done{false};
    test::LockWaitFlag m_lockWait;
    QString m_conflict;
    QString m_error;
    std::thread m_thread;
};

} // namespace

// What a click showed while the server was silent: whether it came back before the server
// answered again, the busy sign's text (its «Отмена» pressed), and the ticks of a 20 ms timer
// of the window's thread meanwhile.
struct SilentClick {
    bool returnedWhileSilent = false;
    QString waitedFor;
    int ticks = 0;
};

class TestServer : public QObject {
    Q_OBJECT

    test::PostgresServer m_server;
    // Takes connections and never answers: the kernel completes the handshake for a listening
    // socket whether or not anyone accepts, so no event loop is needed.
    QTcpServer m_silent;
    // Relays to the server until told to hold new connections (data source "KelmoHeld").
    test::HoldingProxy m_proxy;
    bool m_passwordRole = false;
    QTemporaryDir m_dir;
    QString m_file; // the embedded database with the same reference data
    std::unique_ptr<shell::Navigator> m_navigator;

    static QString dsn(const QString& database) { return test::PostgresServer::dsnName(database); }
    static QString server(const QString& database) {
        return db::serverConnectionString(dsn(database));
    }

    // Both dialects, for the cases that must behave alike.
    void addBothDatabases() {
        QTest::addColumn<QString>("connection");
        QTest::newRow("SQLite") << db::fileConnectionString(m_file);
        QTest::newRow("PostgreSQL") << server(QStringLiteral("kelmo"));
    }

    // A plan with structures 1…n labelled s1…sn, on a database of its own.
    int planWith(const QString& connection, int n) {
        db::Connection c(connection);
        db::Transaction t(c);
        c.exec(QStringLiteral("delete from IDPM"));
        c.exec(QStringLiteral("delete from MnuPM"));
        QSqlQuery add = c.exec(QStringLiteral("insert into MnuPM (MnuPM) values (?)"),
                               {QStringLiteral("Склад №%1").arg(n)});
        const int plan = add.lastInsertId().toInt();
        for (int i = 1; i <= n; ++i) {
            insertStructure(c, plan, i, QStringLiteral("s%1").arg(i));
        }
        t.commit();
        return plan;
    }

private slots:
    void initTestCase() {
        if (!m_server.start()) {
            QSKIP(qPrintable(m_server.skipReason()));
        }
        for (const char* name : {"kelmo", "cli", "races", "older", "newer", "failing"}) {
            QVERIFY2(m_server.createDatabase(QLatin1String(name)), name);
        }
        QVERIFY(m_silent.listen(QHostAddress::LocalHost));
        m_silent.pauseAccepting();
        QVERIFY(m_proxy.start(m_server.port()));
        QVERIFY(m_server.installOdbc(
            {QStringLiteral("kelmo"), QStringLiteral("cli"), QStringLiteral("races"),
             QStringLiteral("absent"), QStringLiteral("older"), QStringLiteral("newer"),
             QStringLiteral("failing")},
            "[KelmoSilent]\nDriver=Kelmo PostgreSQL Unicode\nServername=127.0.0.1\nPort=" +
                QByteArray::number(m_silent.serverPort()) +
                "\nDatabase=kelmo\n[KelmoHeld]\nDriver=Kelmo PostgreSQL Unicode\nServername="
                "127.0.0.1\nPort=" +
                QByteArray::number(m_proxy.port()) +
                "\nDatabase=kelmo\nUsername=" + QByteArray(test::PostgresServer::kRole) + "\n"));
        db::initializeServerDatabase(server(QStringLiteral("kelmo")), false);
        db::initializeServerDatabase(server(QStringLiteral("races")), false);
        m_file = m_dir.filePath(QStringLiteral("bdKelmo.db"));
        db::createDatabaseFile(m_file, false);
        m_races = m_dir.filePath(QStringLiteral("races.db"));
        db::createDatabaseFile(m_races, false);
    }

    void cleanupTestCase() {
        m_proxy.stop();
        m_server.stop();
    }

    void cleanup() {
        m_navigator.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        setProgramFolderForTesting({});
    }

    // ---- schema and reference data

    void referenceDataEqualsTheFile_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("orderBy");
        QTest::newRow("Explosives") << "Explosives" << QStringList{"VVName", "VVPower"} << "VVName";
        QTest::newRow("BTypes") << "BTypes" << QStringList{"TNum", "TName"} << "TNum";
        QTest::newRow("BSubTypes")
            << "BSubTypes" << QStringList{"Type",   "STName", "Slamin", "Slamax", "Sremin",
                                          "Sremax", "Sulmin", "Sulmax", "Polmin", "Polmax"}
            << "Type, STName";
        QTest::newRow("TProbit") << "TProbit" << QStringList{"Zn_Probit", "Zn_Procent"}
                                 << "Zn_Probit";
    }

    void referenceDataEqualsTheFile() {
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        QFETCH(QString, orderBy);
        const QStringList onFile =
            tableRows(db::fileConnectionString(m_file), table, fields, orderBy);
        QVERIFY(!onFile.isEmpty());
        QCOMPARE(tableRows(server(QStringLiteral("kelmo")), table, fields, orderBy), onFile);
    }

    // Numbers keep every digit and texts every character on the way through the driver.
    void valuesSurviveTheRoundTrip_data() { addBothDatabases(); }
    void valuesSurviveTheRoundTrip() {
        QFETCH(QString, connection);
        const QString name = QStringLiteral("Смесь «А-1» 'особая' ёЁ");
        const double power = 4520.123456789012;
        {
            db::Connection c(connection);
            c.exec(QStringLiteral("insert into Explosives (VVName, VVPower) values (?, ?)"),
                   {name, power});
        }
        db::Connection c(connection);
        QSqlQuery q = c.exec(QStringLiteral("select * from Explosives where VVName = ?"), {name});
        QVERIFY(q.next());
        QCOMPARE(db::Connection::field(q, QStringLiteral("VVName")).toString(), name);
        QCOMPARE(db::Connection::field(q, QStringLiteral("VVPower")).toDouble(), power);
        q = QSqlQuery();
        c.exec(QStringLiteral("delete from Explosives where VVName = ?"), {name});
    }

    // The keys and checks refuse the same rows on both dialects.
    void constraints_data() {
        QTest::addColumn<QString>("connection");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("accepted");
        const QList<std::tuple<const char*, const char*, bool>> cases{
            {"explosive name taken",
             "insert into Explosives (VVName, VVPower) select VVName, VVPower from Explosives",
             false},
            {"explosive without energy", "insert into Explosives (VVName) values ('Новое')", false},
            {"type number 32767", "insert into BTypes (TNum, TName) values (32767, 'x')", true},
            {"type number 32768", "insert into BTypes (TNum, TName) values (32768, 'x')", false},
            {"type number -32769", "insert into BTypes (TNum, TName) values (-32769, 'x')", false},
            {"plan number 32768", "insert into MnuPM (NumPM, MnuPM) values (32768, 'x')", false},
            {"plan number 0", "insert into MnuPM (NumPM, MnuPM) values (0, 'x')", false},
            {"structure number taken",
             "insert into IDPM (NumPrim, NumSoor) select NumPrim, NumSoor from IDPM", false},
            {"plan name taken", "insert into MnuPM (MnuPM) select MnuPM from MnuPM", false},
        };
        for (const char* dialect : {"SQLite", "PostgreSQL"}) {
            for (const auto& [name, sql, accepted] : cases) {
                QTest::addRow("%s: %s", dialect, name)
                    << (QLatin1String(dialect) == QLatin1String("SQLite")
                            ? db::fileConnectionString(m_file)
                            : server(QStringLiteral("kelmo")))
                    << QString::fromUtf8(sql) << accepted;
            }
        }
    }

    void constraints() {
        QFETCH(QString, connection);
        QFETCH(QString, sql);
        QFETCH(bool, accepted);
        db::Connection c(connection);
        db::Transaction t(c); // never committed: the database stays as it was
        // One plan with one structure, so that the "taken" cases have something to repeat.
        QSqlQuery plan = c.exec(QStringLiteral("insert into MnuPM (MnuPM) values ('Фикстура')"));
        insertStructure(c, plan.lastInsertId().toInt(), 1, QStringLiteral("s1"));
        bool ok = true;
        try {
            c.exec(sql);
        } catch (const DatabaseError& e) {
            ok = false;
            QVERIFY(!e.driverText().isEmpty());
        }
        QCOMPARE(ok, accepted);
    }

    // NumPM is handed out by the database, read back after the insert, never reused.
    void planNumbersAreHandedOut_data() { addBothDatabases(); }
    void planNumbersAreHandedOut() {
        QFETCH(QString, connection);
        db::Connection c(connection);
        const int first = c.exec(QStringLiteral("insert into MnuPM (MnuPM) values ('П1')"))
                              .lastInsertId()
                              .toInt();
        const int second = c.exec(QStringLiteral("insert into MnuPM (MnuPM) values ('П2')"))
                               .lastInsertId()
                               .toInt();
        QVERIFY(first >= 1);
        QCOMPARE(second, first + 1);
        QCOMPARE(count(c, QStringLiteral("select NumPM from MnuPM where MnuPM = 'П2'")), second);
        c.exec(QStringLiteral("delete from MnuPM where NumPM = ?"), {second});
        const int third = c.exec(QStringLiteral("insert into MnuPM (MnuPM) values ('П3')"))
                              .lastInsertId()
                              .toInt();
        QCOMPARE(third, second + 1);
        c.exec(QStringLiteral("delete from MnuPM where NumPM in (?, ?)"), {first, third});
    }

    // A server connection is kept for the next operation; what an unfinished transaction left
    // on it is rolled back, and the next operation's writes are committed as they run.
    void keptConnectionStartsClean() {
        const QString connection = server(QStringLiteral("kelmo"));
        {
            db::Connection c(connection);
            QVERIFY(c.database().transaction());
            c.exec(
                QStringLiteral("insert into Explosives (VVName, VVPower) values ('Брошено', 1)"));
        }
        {
            db::Connection c(connection);
            c.exec(QStringLiteral("insert into Explosives (VVName, VVPower) values ('Сразу', 2)"));
        }
        db::Connection first(connection);
        db::Connection other(connection); // a connection of its own, not the kept one
        QCOMPARE(count(other, "select count(*) from Explosives where VVName = 'Брошено'"), 0);
        QCOMPARE(count(other, "select count(*) from Explosives where VVName = 'Сразу'"), 1);
        other.exec(QStringLiteral("delete from Explosives where VVName = 'Сразу'"));
    }

    // ---- kelmo-calc init-db --dsn

    void initDbOnTheServer() {
        const QString cli = dsn(QStringLiteral("cli"));
        const QString connection = server(QStringLiteral("cli"));

        CalcResult r = runCalc({"init-db", "--dsn", cli});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(tableRows(connection, "TProbit", {"Zn_Probit", "Zn_Procent"}, "Zn_Probit"),
                 tableRows(db::fileConnectionString(m_file), "TProbit", {"Zn_Probit", "Zn_Procent"},
                           "Zn_Probit"));

        // Existing tables are refused, and what they hold is kept.
        {
            db::Connection c(connection);
            c.exec(QStringLiteral("insert into Explosives (VVName, VVPower) values ('Метка', 1)"));
        }
        r = runCalc({"init-db", "--dsn", cli});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("--force"), qPrintable(r.err));
        {
            db::Connection c(connection);
            QCOMPARE(count(c, "select count(*) from Explosives where VVName = 'Метка'"), 1);
        }

        // A failure half way leaves everything as it was: a view that the drop cannot pass.
        QVERIFY(m_server.psql("cli", "CREATE VIEW keeps AS SELECT * FROM idpm"));
        r = runCalc({"init-db", "--dsn", cli, "--force"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("Сообщение драйвера"), qPrintable(r.err));
        {
            db::Connection c(connection);
            QCOMPARE(count(c, "select count(*) from Explosives where VVName = 'Метка'"), 1);
            QCOMPARE(count(c, "select count(*) from TProbit"), 543);
        }
        QVERIFY(m_server.psql("cli", "DROP VIEW keeps"));

        r = runCalc({"init-db", "--dsn", cli, "--force"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        db::Connection c(connection);
        QCOMPARE(count(c, "select count(*) from Explosives where VVName = 'Метка'"), 0);
        QCOMPARE(tableRows(connection, "Explosives", {"VVName", "VVPower"}, "VVName"),
                 tableRows(db::fileConnectionString(m_file), "Explosives", {"VVName", "VVPower"},
                           "VVName"));
    }

    void initDbErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString cli = dsn(QStringLiteral("cli"));
        QTest::newRow("no such data source")
            << QStringList{"init-db", "--dsn", "Нет такого"} << 1 << "Сообщение драйвера";
        QTest::newRow("data source of a missing database")
            << QStringList{"init-db", "--dsn", dsn(QStringLiteral("absent"))} << 1 << "absent";
        QTest::newRow("no such role")
            << QStringList{"init-db", "--dsn", cli, "--user", "nobody_here", "--password", "x"} << 1
            << "nobody_here";
        QTest::newRow("user without dsn")
            << QStringList{"init-db", "x.db", "--user", "u"} << 2 << "--user";
        QTest::newRow("dsn and a file")
            << QStringList{"init-db", "x.db", "--dsn", cli} << 2 << "--dsn";
        QTest::newRow("empty dsn") << QStringList{"init-db", "--dsn", " "} << 2 << "--dsn";
        QTest::newRow("password and password file")
            << QStringList{"init-db", "--dsn", cli, "--password", "a", "--password-file", "f"} << 2
            << "--password-file";
        QTest::newRow("missing password file")
            << QStringList{"init-db", "--dsn", cli, "--password-file", "/nonexistent/pw"} << 2
            << "/nonexistent/pw";
        QTest::newRow("point with db and dsn")
            << QStringList{"point", "--mass", "1000", "--at", "50", "--db", "x.db", "--dsn", cli}
            << 2 << "--dsn";
        QTest::newRow("point password without dsn")
            << QStringList{"point", "--mass", "1000", "--at", "50", "--password", "p"} << 2
            << "--password";
    }

    void initDbErrors() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const CalcResult r = runCalc(arguments);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }

    // ---- the schema version of the server's database

    // A server database as the program made it before versions were kept: no version table,
    // no picture table, and a row of the user's.
    void makeOlder(const QString& database) {
        db::initializeServerDatabase(server(database), true);
        QVERIFY(m_server.psql(database, "DROP TABLE PlanPicture; DROP TABLE SchemaVersion; "
                                        "INSERT INTO Explosives VALUES ('Метка', 1234.5); "
                                        "INSERT INTO MnuPM (MnuPM) VALUES ('Склад')"));
    }

    static int tablesNamed(db::Connection& c, const QString& names) {
        return count(c, QStringLiteral("select count(*) from information_schema.tables where "
                                       "table_schema = current_schema() and table_name in (%1)")
                            .arg(names));
    }

    void olderServerDatabaseIsUpgraded() {
        makeOlder(QStringLiteral("older"));
        if (QTest::currentTestFailed()) {
            return;
        }
        db::Connection c(server(QStringLiteral("older")));
        QCOMPARE(db::schemaVersion(c), db::currentSchemaVersion());
        QCOMPARE(count(c, "select count(*) from Explosives where VVName = 'Метка'"), 1);
        const int plan = count(c, "select NumPM from MnuPM where MnuPM = 'Склад'");
        db::PlanPicture picture;
        picture.bytes = QByteArrayLiteral("\x89PNG picture bytes");
        picture.pixelX2 = 100;
        picture.planX2 = 50;
        db::storePlanPicture(c, plan, picture);
        QCOMPARE(db::readPlanPicture(c, plan)->bytes, picture.bytes);
    }

    void newerServerDatabaseIsRefused() {
        const QString connection = server(QStringLiteral("newer"));
        db::initializeServerDatabase(connection, true);
        const int newer = db::currentSchemaVersion() + 1;
        QVERIFY(m_server.psql("newer", QStringLiteral("UPDATE SchemaVersion SET Version = %1; "
                                                      "INSERT INTO Explosives VALUES ('Метка', 1)")
                                           .arg(newer)));
        QString text;
        try {
            db::Connection c(connection);
            QFAIL("the database was opened");
        } catch (const db::SchemaError& e) {
            text = QString::fromUtf8(e.what());
        }
        for (const QString& part : {QStringLiteral("версия её схемы %1").arg(newer),
                                    QStringLiteral("не выше %1").arg(newer - 1)}) {
            QVERIFY2(text.contains(part), qPrintable(text));
        }
        db::Connection c(connection, db::SchemaCheck::None);
        QCOMPARE(db::schemaVersion(c), newer);
        QCOMPARE(count(c, "select count(*) from SchemaVersion"), 1);
        QCOMPARE(count(c, "select count(*) from Explosives where VVName = 'Метка'"), 1);
    }

    void failedServerUpgradeChangesNothing() {
        const QString connection = server(QStringLiteral("failing"));
        makeOlder(QStringLiteral("failing"));
        if (QTest::currentTestFailed()) {
            return;
        }
        std::vector<db::SchemaStep> steps = db::schemaSteps(db::Dialect::PostgreSQL);
        steps.push_back({steps.back().version + 1,
                         {QStringLiteral("CREATE TABLE Extra (A INTEGER)"),
                          QStringLiteral("insert into Extra values (1)"),
                          QStringLiteral("insert into NoSuchTable values (1)")}});
        db::Connection c(connection, db::SchemaCheck::None);
        QVERIFY_THROWS_EXCEPTION(db::SchemaError, db::upgradeSchema(c, steps));
        QCOMPARE(db::schemaVersion(c), 0);
        QCOMPARE(tablesNamed(c, "'planpicture', 'extra', 'schemaversion'"), 0);
        QCOMPARE(count(c, "select count(*) from Explosives where VVName = 'Метка'"), 1);
    }

    // ---- the calculation over the data source equals the one on the embedded file

    void pointOverDsnEqualsFile_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("air 50 m") << QStringList{"--mass", "1000", "--air", "--at", "50"};
        QTest::newRow("air 12,5 m") << QStringList{"--mass", "1000", "--air", "--at", "12,5"};
        QTest::newRow("ground 150 m") << QStringList{"--mass", "1000", "--at", "150"};
        QTest::newRow("near the charge") << QStringList{"--mass", "1000", "--at", "2"};
    }

    void pointOverDsnEqualsFile() {
        QFETCH(QStringList, arguments);
        const CalcResult onFile = runCalc(QStringList{"point", "--db", m_file} + arguments);
        const CalcResult onServer =
            runCalc(QStringList{"point", "--dsn", dsn(QStringLiteral("kelmo"))} + arguments);
        QVERIFY2(onFile.exitCode == 0, qPrintable(onFile.err));
        QVERIFY2(onServer.exitCode == 0, qPrintable(onServer.err));
        QVERIFY(QJsonDocument::fromJson(onServer.out).object().contains("percentHeavy"));
        QCOMPARE(onServer.out, onFile.out);
    }

    // A server user whose password holds every character that could end or open a value of
    // a connection string connects with it from each place a password may come from; a wrong
    // one is refused by the server.
    void passwordOfAnyCharacter_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("exitCode");
        for (const char* from :
             {"--password", "--password-file", "stdin", "PGPASSWORD", "~/.pgpass"}) {
            QTest::newRow(from) << QString::fromLatin1(from) << 0;
        }
        QTest::newRow("wrong password") << QStringLiteral("wrong") << 1;
    }
    void passwordOfAnyCharacter() {
        QFETCH(QString, from);
        QFETCH(int, exitCode);
        const QString password = QStringLiteral("a;b}c{d'e''f=g: h\\i';DSN=x");
        QString sqlPassword = password;
        sqlPassword.replace(u'\'', QStringLiteral("''"));
        if (!m_passwordRole) {
            // Only this role must give a password; the rest of the cluster stays trusted.
            QVERIFY(m_server.psql(
                QStringLiteral("kelmo"),
                QStringLiteral("CREATE ROLE kelmo_pw LOGIN SUPERUSER PASSWORD '%1'; "
                               "COPY (VALUES ('local all kelmo_pw scram-sha-256'), "
                               "('host all kelmo_pw all scram-sha-256'), ('local all all trust'), "
                               "('host all all all trust')) TO '%2'; SELECT pg_reload_conf();")
                    .arg(sqlPassword, m_server.hbaFile())));
            m_passwordRole = true;
        }
        QTemporaryDir home;
        QStringList arguments{
            "point",  "--mass",  "1000", "--at", "50", "--dsn", dsn(QStringLiteral("kelmo")),
            "--user", "kelmo_pw"};
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("PGPASSWORD"));
        env.insert(QStringLiteral("HOME"), home.path());
        QByteArray input;
        if (from == QLatin1String("--password")) {
            arguments << "--password" << password;
        } else if (from == QLatin1String("wrong")) {
            arguments << "--password" << password + u'x';
        } else if (from == QLatin1String("--password-file")) {
            QFile file(home.filePath(QStringLiteral("pw")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(password.toUtf8() + "\n");
            file.close();
            arguments << "--password-file" << file.fileName();
        } else if (from == QLatin1String("stdin")) {
            arguments << "--password-file"
                      << "-";
            input = password.toUtf8() + "\r\n";
        } else if (from == QLatin1String("PGPASSWORD")) {
            env.insert(QStringLiteral("PGPASSWORD"), password);
        } else {
            QString escaped = password;
            escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u':', QStringLiteral("\\:"));
            QFile file(home.filePath(QStringLiteral(".pgpass")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QStringLiteral("*:*:*:kelmo_pw:%1\n").arg(escaped).toUtf8());
            file.close();
            QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        }
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KELMO_CALC_PATH), arguments);
        p.write(input);
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(120000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(p.exitCode() == exitCode, qPrintable(err));
        if (exitCode == 0) {
            QVERIFY(QJsonDocument::fromJson(p.readAllStandardOutput())
                        .object()
                        .contains("percentHeavy"));
        }
    }

    // A server that takes the connection and never answers: kelmo-calc and the program's own
    // connections give up after the time set, naming the data source and what to check.
    void silentServerTimesOut() {
        QProcess p;
        p.start(QStringLiteral(KELMO_CALC_PATH),
                {"situation", "--dsn", "KelmoSilent", "--timeout", "2", "--plan", "x", "--mass",
                 "1", "-x", "0", "-y", "0"});
        QVERIFY2(p.waitForFinished(60000), "kelmo-calc must give up on a silent server");
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(err.contains(QStringLiteral("«KelmoSilent» не ответил за 2 с")), qPrintable(err));

        db::setServerTimeout(1);
        QString message;
        try {
            db::Connection c(db::serverConnectionString(QStringLiteral("KelmoSilent")));
        } catch (const DatabaseError& e) {
            message = QString::fromUtf8(e.what());
        }
        db::setServerTimeout(db::kDefaultServerTimeout);
        QVERIFY2(message.contains(QStringLiteral("не ответил за 1 с")), qPrintable(message));
        QVERIFY(message.contains(QStringLiteral("Проверьте")));

        const CalcResult wrong = runCalc(
            {"point", "--mass", "1", "--at", "5", "--dsn", "KelmoSilent", "--timeout", "0"});
        QCOMPARE(wrong.exitCode, 2);
        QVERIFY2(wrong.err.contains(QStringLiteral("--timeout")), qPrintable(wrong.err));
    }

    void expertReportOverDsn() {
        QTemporaryDir out;
        const CalcResult r =
            runCalc({"expert", "--mass", "1000", "--at", "50", "--dsn",
                     dsn(QStringLiteral("kelmo")), "--docx", out.filePath("expert.docx")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(QFileInfo(out.filePath("expert.docx")).size() > 0);
    }

    // ---- start-up through the data source

    void startsThroughTheDataSource() {
        QTemporaryDir folder;
        setProgramFolderForTesting(folder.path());
        // No embedded file: start-up goes on to the data source that "Data Source.txt" names.
        QVERIFY(writeDataSourceName(dsn(QStringLiteral("kelmo"))));
        ui::MessageRecorder messages;
        m_navigator = std::make_unique<shell::Navigator>();
        QVERIFY(m_navigator->start());
        QCOMPARE(messages.count(), 0);
        const QString started = m_navigator->connectionString();
        QCOMPARE(started, namedConnectionString(dsn(QStringLiteral("kelmo"))));
        QVERIFY(m_navigator->mainMenu());

        // The zone windows' catalogue and point calculation answer as on the file.
        const ReferenceLookups services = ReferenceLookups::fromDatabase(started);
        QStringList namesOnFile =
            tableRows(db::fileConnectionString(m_file), "Explosives", {"VVName"}, "VVName");
        std::sort(namesOnFile.begin(), namesOnFile.end(), NameOrder());
        QCOMPARE(services.explosiveNames().join(u'|'), namesOnFile.join(u'|'));
        QCOMPARE(services.explosiveHeat(QStringLiteral("Тротил (ТНТ)")), std::optional(4520.0));
        const PercentLookup onFile = probitsToPercentLookup(db::fileConnectionString(m_file));
        for (const double d : {3.0, 20.0, 50.0, 120.0}) {
            for (const Placement placement : {Placement::Air, Placement::Ground}) {
                auto state = test::stateAfterRun(1000, 1, placement);
                const PointResult server =
                    calculatePoint(*state, {d, placement, 70}, services.probitsToPercent);
                const PointResult file = calculatePoint(*state, {d, placement, 70}, onFile);
                QCOMPARE(server.percentHeavy, file.percentHeavy);
                QCOMPARE(server.percentTotal, file.percentTotal);
                QCOMPARE(server.percentPeople, file.percentPeople);
            }
        }
    }

    // Start-up through a data source whose server never answers gives up after the login
    // timeout, with the data-source dialog and a message, instead of freezing for ever.
    void startsThroughASilentServer() {
        QTemporaryDir folder;
        setProgramFolderForTesting(folder.path());
        QVERIFY(writeDataSourceName(QStringLiteral("KelmoSilent")));
        db::setServerTimeout(1);
        ui::MessageRecorder messages;
        m_navigator = std::make_unique<shell::Navigator>();
        const bool started = m_navigator->start();
        db::setServerTimeout(db::kDefaultServerTimeout);
        QVERIFY(!started);
        QVERIFY(m_navigator->dataSourceDialog());
        QCOMPARE(messages.count(), 2);
        QVERIFY2(messages.messages().at(0).text.contains(
                     QStringLiteral("«KelmoSilent» не ответил за 1 с")),
                 qPrintable(messages.messages().at(0).text));
        QCOMPARE(messages.last().text, QStringLiteral("Невозможно подключиться к базе данных, "
                                                      "установите имя источника данных ODBC!"));
    }

    // The plan window on a server that stops answering: «РАСЧЕТ» and a change of a structure
    // wait on threads of their own while the window keeps answering, the busy sign offers
    // «Отмена», and what was given up on is never reported as done. A write given up on is
    // shown as the database holds it once it ends: refused, or stored after all.
    void planWindowKeepsAnsweringWhileTheServerIsSilent() {
        const QString held = db::serverConnectionString(QStringLiteral("KelmoHeld"));
        plan::PlanSession session;
        {
            db::Connection c(server(QStringLiteral("kelmo")));
            session.planNumber = db::createPlan(c, QStringLiteral("Склад на молчащем сервере"));
            // A type and kind of the reference data, so that the form can store the structure.
            const db::TypeRecord type = db::readStructureTypes(c).at(0);
            const QString kind = db::listKindsOfType(c, type.number).at(0).name;
            for (int n = 1; n <= 3; ++n) {
                db::StructureRecord r;
                r.plan = session.planNumber;
                r.number = n;
                r.type = type.name;
                r.kind = kind;
                r.storeys = QStringLiteral("1");
                r.staff = QStringLiteral("5");
                r.selected = {false, false, true, false};
                r.pressure = {12, 25, 35, 50};
                const double x = n * 30.0;
                db::setOutline(r, {{x, 0}, {x, 10}, {x + 10, 10}, {x + 10, 0}});
                db::addStructure(c, r);
            }
        }
        const auto staffStored = [this, &session] {
            db::Connection c(server(QStringLiteral("kelmo")));
            return db::readStructure(c, session.planNumber, 1).value().staff;
        };
        ui::MessageRecorder messages;
        plan::PlanEditorWindow window(WindowContext::forDatabase(held), session);
        window.showPlanAreas();
        window.show();
        QCOMPARE(messages.count(), 0);
        test::child<QRadioButton>(&window, "Option4")->setChecked(true);
        test::child<QLineEdit>(&window, "Text11")->setText(QStringLiteral("1000"));
        test::child<QLineEdit>(&window, "Text12")->setText(QStringLiteral("4520"));
        test::child<QLineEdit>(&window, "Text15")->setText(QStringLiteral("0"));
        test::child<QLineEdit>(&window, "Text16")->setText(QStringLiteral("0"));
        QSignalSpy calculated(&window, &plan::PlanEditorWindow::calculationRequested);

        // The server goes silent: every connection hangs, new ones and those kept open. The
        // hold ends on its own in any case, so that a window that waits on its own thread gets
        // the server back and the test fails instead of hanging.
        m_proxy.hold(true);
        m_proxy.holdTraffic(std::chrono::seconds(20));
        db::setServerTimeout(30);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(20);
        // Presses «Отмена» of the busy sign once it shows, noting its text.
        QString waitedFor;
        const auto cancelWhenShown = [&window, &waitedFor] {
            test::cancelBusySignWhenShown(&window, &waitedFor);
        };

        cancelWhenShown();
        QTest::mouseClick(test::child<QPushButton>(&window, "cmdRasch"), Qt::LeftButton);
        QCOMPARE(waitedFor, QStringLiteral("Расчет инженерной обстановки…"));
        // The window's timer kept firing while «РАСЧЕТ» waited (a few ticks suffice: under
        // sanitizers on a loaded machine a 20 ms timer fires far less often than 30 times).
        QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
        QCOMPARE(calculated.count(), 0);
        QCOMPARE(messages.count(), 0);
        QCOMPARE(window.statusBar()->currentMessage(),
                 QStringLiteral("Расчет инженерной обстановки отменен."));

        // A change given up on is not reported as stored, and the undo history has no step.
        test::child<QLineEdit>(&window, "Text2")->setText(QStringLiteral("41"));
        ticks = 0;
        waitedFor.clear();
        cancelWhenShown();
        QTest::mouseClick(test::child<QPushButton>(&window, "cmdRec"), Qt::LeftButton);
        QCOMPARE(waitedFor, QStringLiteral("Сохранение сооружения №1…"));
        // The window's timer kept firing while «РАСЧЕТ» waited (a few ticks suffice: under
        // sanitizers on a loaded machine a 20 ms timer fires far less often than 30 times).
        QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().text,
                 QStringLiteral("Ожидание сервера базы данных прервано. Неизвестно, изменено ли "
                                "сооружение №1: когда сервер ответит, форма и карта покажут то, "
                                "что хранит база данных."));
        QVERIFY(!window.undoStack()->canUndo());
        QCOMPARE(staffStored(), QStringLiteral("5"));

        // The server answers again: the write given up on goes through after all, and the form
        // shows what is stored.
        test::child<QLineEdit>(&window, "Text2")->setText(QStringLiteral("7"));
        QVERIFY(m_proxy.trafficHeld());
        m_proxy.hold(false);
        m_proxy.releaseTraffic();
        QTRY_COMPARE_WITH_TIMEOUT(staffStored(), QStringLiteral("41"), 30000);
        QTRY_COMPARE(test::child<QLineEdit>(&window, "Text2")->text(), QStringLiteral("41"));
        // The cancelled «РАСЧЕТ» ends too, and still sends nothing on.
        QTest::qWait(200);
        QCOMPARE(calculated.count(), 0);

        // A change that is refused after «Отмена» (the server gave up on the login): the message
        // says it was not stored, and nothing is. The server was restarted meanwhile, so the
        // connections kept open are gone and the write must log in again.
        m_proxy.hold(true);
        {
            db::Connection c(server(QStringLiteral("kelmo")));
            c.select(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity "
                                    "where datname = 'kelmo' and pid <> pg_backend_pid()"));
        }
        db::setServerTimeout(2);
        test::child<QLineEdit>(&window, "Text2")->setText(QStringLiteral("9"));
        cancelWhenShown();
        QTest::mouseClick(test::child<QPushButton>(&window, "cmdRec"), Qt::LeftButton);
        QCOMPARE(messages.count(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(messages.count(), 3, 30000);
        QVERIFY2(messages.last().text.startsWith(QStringLiteral("Сооружение №1 не изменено.")),
                 qPrintable(messages.last().text));
        QVERIFY2(messages.last().text.contains(QStringLiteral("«KelmoHeld» не ответил за 2 с")),
                 qPrintable(messages.last().text));
        db::setServerTimeout(db::kDefaultServerTimeout);
        m_proxy.hold(false);
        QTRY_COMPARE(m_proxy.heldOpen(), 0);
        QCOMPARE(staffStored(), QStringLiteral("41"));
    }

    // A plan of n structures on the server, structure i with i people in it, so that the form
    // shows which one it holds.
    int serverPlan(const QString& name, int n) {
        db::Connection c(server(QStringLiteral("kelmo")));
        const int plan = db::createPlan(c, name);
        const db::TypeRecord type = db::readStructureTypes(c).at(0);
        const QString kind = db::listKindsOfType(c, type.number).at(0).name;
        for (int i = 1; i <= n; ++i) {
            db::StructureRecord r;
            r.plan = plan;
            r.number = i;
            r.type = type.name;
            r.kind = kind;
            r.storeys = QStringLiteral("1");
            r.staff = QString::number(i);
            r.selected = {false, false, true, false};
            r.pressure = {12, 25, 35, 50};
            const double x = i * 30.0;
            db::setOutline(r, {{x, 0}, {x, 10}, {x + 10, 10}, {x + 10, 0}});
            db::addStructure(c, r);
        }
        return plan;
    }

    // A click while the server is silent (SilentClick says what it showed).
    SilentClick clickWhileTheServerIsSilent(QWidget* window, QAbstractButton* button) {
        SilentClick click;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&click] { ++click.ticks; });
        ticker.start(20);
        // Let go in any case, so that a window that waits on its own thread gets the server
        // back and the test fails instead of hanging.
        m_proxy.holdTraffic(std::chrono::seconds(8));
        test::cancelBusySignWhenShown(window, &click.waitedFor);
        QTest::mouseClick(button, Qt::LeftButton);
        click.returnedWhileSilent = m_proxy.trafficHeld();
        m_proxy.releaseTraffic();
        return click;
    }

    // Closing the plan window while its map is still being read from a server that does not
    // answer: the window goes at once, and the read that ends later is dropped.
    void windowClosesWhileItsMapReadWaits() {
        plan::PlanSession session;
        session.planNumber = serverPlan(QStringLiteral("Большой склад"), 1);
        {
            db::Connection c(server(QStringLiteral("kelmo")));
            c.exec(QStringLiteral(
                       "insert into IDPM (NumPrim, NumSoor, Combo2, Combo3, Text1, Text2, optSla, "
                       "optSre, optSul, optPol, txtSla, txtSre, txtSul, txtPol, txtX1, txtY1, "
                       "txtX2, txtY2, txtX3, txtY3, txtX4, txtY4) select NumPrim, n, Combo2, "
                       "Combo3, Text1, Text2, optSla, optSre, optSul, optPol, txtSla, txtSre, "
                       "txtSul, txtPol, txtX1, txtY1, txtX2, txtY2, txtX3, txtY3, txtX4, txtY4 "
                       "from IDPM, generate_series(2, ?) n where NumPrim = ? and NumSoor = 1"),
                   {plan::PlanEditorWindow::kBackgroundLoadFrom, session.planNumber});
        }
        // Another session holds the outlines' table: whoever reads it waits, as on a server
        // that does not answer. It lets go after a while in any case, so that a window that
        // waits for the read fails the test instead of hanging it.
        std::atomic<bool> letGo{false};
        std::atomic<bool> locked{false};
        std::thread holder([this, &letGo, &locked] {
            db::Connection c(server(QStringLiteral("kelmo")));
            db::Transaction t(c);
            c.select(QStringLiteral("lock table StructureVertex in access exclusive mode"));
            locked = true;
            for (int waited = 0; !letGo && waited < 8000; waited += 10) {
                QThread::msleep(10);
            }
        });
        QTRY_VERIFY(locked.load());
        const auto readersWaiting = [this] {
            db::Connection c(server(QStringLiteral("kelmo")));
            QSqlQuery q = c.select(QStringLiteral(
                "select count(*) from pg_stat_activity where wait_event_type = 'Lock' and "
                "datname = 'kelmo'"));
            return q.next() ? q.value(0).toInt() : -1;
        };

        ui::MessageRecorder messages;
        auto window = std::make_unique<plan::PlanEditorWindow>(
            WindowContext::forDatabase(server(QStringLiteral("kelmo"))), session);
        // The form's first structure waits for the table too: given up on.
        QString waitedFor;
        test::cancelBusySignWhenShown(window.get(), &waitedFor);
        window->showPlanAreas();
        window->show();
        QCOMPARE(waitedFor, QStringLiteral("Чтение сооружения №1…"));
        QVERIFY(window->planLoading());
        QTRY_COMPARE(readersWaiting(), 2); // the form's read given up on, and the map's

        window.reset();
        // The map's read still waits: closing did not wait for it.
        QCOMPARE(readersWaiting(), 2);
        letGo = true;
        holder.join();
        QTRY_COMPARE(readersWaiting(), 0);
        QTest::qWait(100); // the reads' ends reach the screen thread, and go nowhere
        QCOMPARE(messages.count(), 0);
    }

    // The server goes silent after the plan window has connected: stepping to the next
    // structure waits on a worker while the window keeps answering, «Отмена» leaves the form on
    // the structure it showed, and the next step after the server is back shows the next one.
    void steppingWaitsBehindCancelWhenTheServerGoesSilent() {
        plan::PlanSession session;
        session.planNumber = serverPlan(QStringLiteral("Склад для перехода"), 3);
        ui::MessageRecorder messages;
        plan::PlanEditorWindow window(
            WindowContext::forDatabase(db::serverConnectionString(QStringLiteral("KelmoHeld"))),
            session);
        window.showPlanAreas();
        window.show();
        QCOMPARE(messages.count(), 0);
        auto* staff = test::child<QLineEdit>(&window, "Text2");
        auto* number = test::child<QLineEdit>(&window, "Text13");
        QCOMPARE(staff->text(), QStringLiteral("1"));

        const SilentClick step =
            clickWhileTheServerIsSilent(&window, test::child<QPushButton>(&window, "cmdMaxN"));
        QVERIFY2(step.returnedWhileSilent,
                 "the step must not wait for the server on the window's thread");
        QCOMPARE(step.waitedFor, QStringLiteral("Чтение сооружения №2…"));
        QVERIFY2(step.ticks >= 3, qPrintable(QString::number(step.ticks)));
        // The form still shows №1, whole, and says why.
        QCOMPARE(messages.count(), 0);
        QCOMPARE(session.structureNumber, 1);
        QCOMPARE(number->text(), QStringLiteral("1"));
        QCOMPARE(staff->text(), QStringLiteral("1"));
        QVERIFY(test::child<QPushButton>(&window, "cmdRec")->isVisible());
        QCOMPARE(test::child<QPushButton>(&window, "cmdRec")->text(),
                 QStringLiteral("Изменить №1"));
        QVERIFY(!test::child<QPushButton>(&window, "cmdDob")->isVisible());
        QVERIFY2(window.statusBar()->currentMessage().startsWith(
                     QStringLiteral("Чтение сооружения №2 отменено.")),
                 qPrintable(window.statusBar()->currentMessage()));

        // The server answers again: the step goes through.
        QTest::mouseClick(test::child<QPushButton>(&window, "cmdMaxN"), Qt::LeftButton);
        QCOMPARE(messages.count(), 0);
        QCOMPARE(session.structureNumber, 2);
        QCOMPARE(staff->text(), QStringLiteral("2"));
        QCOMPARE(test::child<QPushButton>(&window, "cmdRec")->text(),
                 QStringLiteral("Изменить №2"));
    }

    // Creating a plan while the server is silent: the dialog keeps answering behind «Отмена»,
    // nothing is created, and once the server answers the same name is created.
    void planCreationWaitsBehindCancelWhenTheServerGoesSilent() {
        plan::PlanSession session;
        ui::MessageRecorder messages;
        plan::CreatePlanDialog dialog(
            WindowContext::forDatabase(db::serverConnectionString(QStringLiteral("KelmoHeld"))),
            session);
        QSignalSpy activated(&dialog, &plan::CreatePlanDialog::planActivated);
        dialog.show();
        const QString name = QStringLiteral("Новый склад на сервере");
        test::child<QLineEdit>(&dialog, "Text1")->setText(name);
        const auto created = [this, &name] {
            db::Connection c(server(QStringLiteral("kelmo")));
            return db::findPlan(c, name).has_value();
        };

        const SilentClick create =
            clickWhileTheServerIsSilent(&dialog, test::child<QPushButton>(&dialog, "cmdOk"));
        QVERIFY2(create.returnedWhileSilent,
                 "the dialog must not wait for the server on the window's thread");
        QCOMPARE(create.waitedFor, QStringLiteral("Проверка имени плана местности…"));
        QVERIFY2(create.ticks >= 3, qPrintable(QString::number(create.ticks)));
        QCOMPARE(activated.count(), 0);
        QCOMPARE(messages.count(), 0);
        QVERIFY(!created());

        QTest::mouseClick(test::child<QPushButton>(&dialog, "cmdOk"), Qt::LeftButton);
        QCOMPARE(messages.count(), 0);
        QCOMPARE(activated.count(), 1);
        QVERIFY(created());
        QCOMPARE(session.planNumber, activated.first().first().toInt());
    }

    // Deleting the plan while the server is silent: the window keeps answering, «Отмена» says
    // that the outcome is unknown and leaves the plan shown; when the server answers, the
    // delete that went through after all is followed by the window.
    void planDeleteWaitsBehindCancelWhenTheServerGoesSilent() {
        plan::PlanSession session;
        const QString name = QStringLiteral("Склад для удаления");
        session.planNumber = serverPlan(name, 2);
        const int plan = session.planNumber;
        const auto planStored = [this, plan] {
            db::Connection c(server(QStringLiteral("kelmo")));
            return db::planExists(c, plan);
        };
        ui::MessageRecorder messages;
        plan::PlanEditorWindow window(
            WindowContext::forDatabase(db::serverConnectionString(QStringLiteral("KelmoHeld"))),
            session);
        window.showPlanAreas();
        window.show();
        QCOMPARE(messages.count(), 0);

        // The server goes silent once the user has said yes.
        const ui::Messages::Interceptor recorder = ui::Messages::currentInterceptor();
        ui::Messages::setInterceptor([this, recorder](const ui::Message& m) {
            if (m.text.startsWith(QStringLiteral("Удалить план местности"))) {
                m_proxy.holdTraffic(std::chrono::seconds(8));
                return QMessageBox::Yes;
            }
            return recorder(m);
        });
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(20);
        QString waitedFor;
        test::cancelBusySignWhenShown(&window, &waitedFor);
        test::child<QAction>(&window, "mnuDelPM")->trigger();
        const bool heldStill = m_proxy.trafficHeld();
        ui::Messages::setInterceptor(recorder);
        QVERIFY2(heldStill, "the delete must not wait for the server on the window's thread");
        QCOMPARE(waitedFor, QStringLiteral("Удаление плана местности «%1»…").arg(name));
        QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
        // Not reported as deleted: the plan stays shown and the message says it is not known.
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().text,
                 QStringLiteral("Ожидание сервера базы данных прервано. Неизвестно, удалён ли "
                                "план местности «%1»: когда сервер ответит, окно покажет то, что "
                                "хранит база данных.")
                     .arg(name));
        QVERIFY(window.planAreasShown());
        QCOMPARE(session.planNumber, plan);
        QVERIFY(test::child<QWidget>(&window, "Frame1")->isVisible());
        QVERIFY(window.windowTitle().endsWith(name));

        // The server answers: the delete reaches it, and the window follows.
        m_proxy.releaseTraffic();
        QTRY_VERIFY_WITH_TIMEOUT(!window.planAreasShown(), 30000);
        QCOMPARE(session.planNumber, 0);
        QVERIFY(!planStored());
        QCOMPARE(window.statusBar()->currentMessage(),
                 QStringLiteral("План местности «%1» удалён.").arg(name));
        QCOMPARE(messages.count(), 1);
    }

    // The CSV import while the server is silent: «Отмена» says the outcome is unknown and adds
    // nothing to the map; when the server answers, the import that went through is announced
    // and the map shows it.
    void csvImportWaitsBehindCancelWhenTheServerGoesSilent() {
        plan::PlanSession session;
        session.planNumber = serverPlan(QStringLiteral("Склад для импорта"), 2);
        QString type;
        QString kind;
        {
            db::Connection c(server(QStringLiteral("kelmo")));
            const db::TypeRecord t = db::readStructureTypes(c).at(0);
            type = t.name;
            kind = db::listKindsOfType(c, t.number).at(0).name;
        }
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("сооружения.csv"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QStringLiteral("1;%1;%2;1;4;200;0;210;0;210;10;200;10\n"
                                      "2;%1;%2;2;8;220;0;230;0;230;10;220;10\n")
                           .arg(type, kind)
                           .toUtf8());
        }
        ui::MessageRecorder messages;
        plan::PlanEditorWindow window(
            WindowContext::forDatabase(db::serverConnectionString(QStringLiteral("KelmoHeld"))),
            session);
        window.showPlanAreas();
        window.show();
        QCOMPARE(window.planMap()->model().structures.size(), std::size_t{2});

        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(20);
        m_proxy.holdTraffic(std::chrono::seconds(8));
        QString waitedFor;
        test::cancelBusySignWhenShown(&window, &waitedFor);
        const bool imported = window.importStructuresFile(path);
        const bool heldStill = m_proxy.trafficHeld();
        QVERIFY2(heldStill, "the import must not wait for the server on the window's thread");
        QVERIFY(!imported);
        QCOMPARE(waitedFor, QStringLiteral("Чтение файла «сооружения.csv»…"));
        QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().text,
                 QStringLiteral("Ожидание прервано. Неизвестно, добавлены ли сооружения из файла "
                                "«сооружения.csv»: когда работа закончится, программа скажет, что "
                                "хранит база данных."));
        QCOMPARE(window.planMap()->model().structures.size(), std::size_t{2});

        m_proxy.releaseTraffic();
        QTRY_COMPARE_WITH_TIMEOUT(messages.count(), 2, 30000);
        QCOMPARE(messages.last().text, QStringLiteral("Добавлено сооружений: 2 (№3–№4)."));
        QTRY_COMPARE(window.planMap()->model().structures.size(), std::size_t{4});
    }

    // The name typed into the data-source dialog is the server's DSN.
    void dialogConnectsTheDataSource() {
        QTemporaryDir folder;
        setProgramFolderForTesting(folder.path());
        ui::MessageRecorder messages;
        m_navigator = std::make_unique<shell::Navigator>();
        QVERIFY(!m_navigator->start());
        auto* dialog = m_navigator->dataSourceDialog();
        QVERIFY(dialog);
        test::child<QLineEdit>(dialog, "txtDataSourse")->setText(dsn(QStringLiteral("kelmo")));
        QTest::mouseClick(test::child<QAbstractButton>(dialog, "Command1"), Qt::LeftButton);
        QCOMPARE(messages.last().text, QStringLiteral("База успешно подключена!"));
        QCOMPARE(readDataSourceName(), dsn(QStringLiteral("kelmo")));
        QVERIFY(m_navigator->mainMenu());
        QCOMPARE(m_navigator->connectionString(),
                 namedConnectionString(dsn(QStringLiteral("kelmo"))));
    }

    // ---- the server goes away while the program runs

    void lostConnection() {
        const PercentLookup lookup = probitsToPercentLookup(server(QStringLiteral("kelmo")));
        const std::array<float, 3> probits{5.5f, 4.25f, 3.0f};
        const auto before = lookup(probits);

        // A connection held across the stop, and a new one after it: both give the driver's
        // words, neither crashes.
        auto held = std::make_unique<db::Connection>(server(QStringLiteral("kelmo")));
        m_server.stop();
        QString heldText;
        try {
            held->select(QStringLiteral("select * from TProbit"));
        } catch (const DatabaseError& e) {
            heldText = e.driverText();
        }
        QVERIFY2(!heldText.isEmpty(),
                 "a query on a lost connection must fail with the driver's text");
        held.reset();
        QString newText;
        try {
            lookup(probits);
        } catch (const DatabaseError& e) {
            newText = e.driverText();
        }
        QVERIFY2(!newText.isEmpty(), "no server must give the driver's text");

        // The next action after the server is back connects again.
        QVERIFY2(m_server.restart(), qPrintable(m_server.serverLog()));
        QCOMPARE(lookup(probits), before);

        // A connection kept open from before a restart is not used again: the first action
        // after the restart already works.
        m_server.stop();
        QVERIFY2(m_server.restart(), qPrintable(m_server.serverLog()));
        QCOMPARE(lookup(probits), before);
    }

    // The results window of a run on the server: the point calculation survives a server that
    // goes away, with the driver's words, and the next press reaches the server again.
    void resultsWindowOutlivesTheServer() {
        m_navigator = std::make_unique<shell::Navigator>();
        m_navigator->setConnectionString(namedConnectionString(dsn(QStringLiteral("kelmo"))));
        auto* input = m_navigator->showZoneInput();
        auto* list = test::child<QComboBox>(input, "Combo4");
        QCOMPARE(list->itemText(0),
                 tableRows(db::fileConnectionString(m_file), "Explosives", {"VVName"}, "VVName")
                     .first());
        list->setCurrentIndex(list->findText(QStringLiteral("Тротил (ТНТ)")));
        test::child<QLineEdit>(input, "Text2")->setText(QStringLiteral("1000"));
        test::child<QRadioButton>(input, "Option5")->setChecked(true);
        QTest::mouseClick(test::child<QAbstractButton>(input, "cmdRasch"), Qt::LeftButton);
        auto* out = m_navigator->zoneResults();
        QVERIFY(out);
        test::child<QLineEdit>(out, "GOX")->setText(QStringLiteral("50"));
        auto* point = test::child<QAbstractButton>(out, "Command9");
        ui::MessageRecorder messages;
        QTest::mouseClick(point, Qt::LeftButton);
        QCOMPARE(messages.count(), 0);
        const QString heavy = test::child<QLabel>(out, "Label62")->text();
        CalcState check = m_navigator->zoneSession().state();
        QCOMPARE(heavy, numtext::fixed(
                            calculatePoint(check, {50, Placement::Air, 70},
                                           probitsToPercentLookup(db::fileConnectionString(m_file)))
                                .percentHeavy,
                            1));

        m_server.stop();
        QTest::mouseClick(point, Qt::LeftButton);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().icon, QMessageBox::Critical);
        QVERIFY2(messages.last().text.contains(QStringLiteral("Сообщение драйвера: ")),
                 qPrintable(messages.last().text));
        QVERIFY(out->isVisible());
        QCOMPARE(test::child<QLabel>(out, "Label62")->text(), heavy);

        QVERIFY2(m_server.restart(), qPrintable(m_server.serverLog()));
        QTest::mouseClick(point, Qt::LeftButton);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(test::child<QLabel>(out, "Label62")->text(), heavy);
    }

    // ---- two engineers, one plan

    void raceAddAtTheSameNumber_data() { addRaceDatabases(); }
    void raceAddAtTheSameNumber() {
        QFETCH(QString, connection);
        const int plan = planWith(connection, 3);
        db::Connection a(connection);
        {
            db::Transaction t(a);
            takePlan(a, plan);
            const int n = nextNumber(a, plan);
            QCOMPARE(n, 4);
            insertStructure(a, plan, n, QStringLiteral("A"));
            OtherEngineer b(connection, [plan](db::Connection& c) {
                db::Transaction tb(c);
                takePlan(c, plan);
                insertStructure(c, plan, nextNumber(c, plan), QStringLiteral("B"));
                tb.commit();
            });
            QVERIFY2(b.blockedOn(connection), "the second change must wait for the first");
            t.commit();
            b.join();
            QVERIFY2(b.error().isEmpty(), qPrintable(b.error()));
        }
        QCOMPARE(structures(a, plan), (QStringList{"1:s1", "2:s2", "3:s3", "4:A", "5:B"}));
    }

    // Without the lock, the unique key still refuses a taken number.
    void takenNumberIsRefused_data() { addRaceDatabases(); }
    void takenNumberIsRefused() {
        QFETCH(QString, connection);
        const int plan = planWith(connection, 2);
        db::Connection a(connection);
        db::Connection b(connection);
        const int seenByA = nextNumber(a, plan);
        const int seenByB = nextNumber(b, plan);
        QCOMPARE(seenByA, seenByB);
        insertStructure(a, plan, seenByA, QStringLiteral("A"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError,
                                 insertStructure(b, plan, seenByB, QStringLiteral("B")));
        QCOMPARE(structures(a, plan), (QStringList{"1:s1", "2:s2", "3:A"}));
    }

    void raceDeleteWhileTheOtherChanges_data() { addRaceDatabases(); }
    void raceDeleteWhileTheOtherChanges() {
        QFETCH(QString, connection);
        const int plan = planWith(connection, 4);
        db::Connection a(connection);
        {
            db::Transaction t(a);
            takePlan(a, plan);
            deleteAndRenumber(a, plan, 2, QStringLiteral("s2"));
            // B saw structure 2 as s2 and changes it.
            OtherEngineer b(connection, [plan](db::Connection& c) {
                db::Transaction tb(c);
                takePlan(c, plan);
                changeStructure(c, plan, 2, QStringLiteral("s2"), QStringLiteral("B"));
                tb.commit();
            });
            QVERIFY2(b.blockedOn(connection), "the second change must wait for the first");
            t.commit();
            b.join();
            QVERIFY2(b.error().isEmpty(), qPrintable(b.error()));
            QVERIFY2(!b.conflict().isEmpty(), "the change of a deleted row must be a conflict");
        }
        // B's change neither came back as a new row nor replaced s3, which is number 2 now.
        QCOMPARE(structures(a, plan), (QStringList{"1:s1", "2:s3", "3:s4"}));
    }

    void raceRenumberWhileTheOtherAdds_data() { addRaceDatabases(); }
    void raceRenumberWhileTheOtherAdds() {
        QFETCH(QString, connection);
        const int plan = planWith(connection, 5);
        db::Connection a(connection);
        {
            db::Transaction t(a);
            takePlan(a, plan);
            deleteAndRenumber(a, plan, 2, QStringLiteral("s2"));
            OtherEngineer b(connection, [plan](db::Connection& c) {
                db::Transaction tb(c);
                takePlan(c, plan);
                insertStructure(c, plan, nextNumber(c, plan), QStringLiteral("B"));
                tb.commit();
            });
            QVERIFY2(b.blockedOn(connection), "the second change must wait for the first");
            t.commit();
            b.join();
            QVERIFY2(b.error().isEmpty(), qPrintable(b.error()));
        }
        const QStringList rows = structures(a, plan);
        QVERIFY2(numbersAreContiguous(rows), qPrintable(rows.join(u' ')));
        QCOMPARE(rows, (QStringList{"1:s1", "2:s3", "3:s4", "4:s5", "5:B"}));
    }

    void raceAddToAPlanDeletedMeanwhile_data() { addRaceDatabases(); }
    void raceAddToAPlanDeletedMeanwhile() {
        QFETCH(QString, connection);
        const int plan = planWith(connection, 2);
        db::Connection a(connection);
        {
            db::Transaction t(a);
            takePlan(a, plan);
            a.exec(QStringLiteral("delete from IDPM where NumPrim = ?"), {plan});
            a.exec(QStringLiteral("delete from MnuPM where NumPM = ?"), {plan});
            OtherEngineer b(connection, [plan](db::Connection& c) {
                db::Transaction tb(c);
                takePlan(c, plan);
                insertStructure(c, plan, nextNumber(c, plan), QStringLiteral("B"));
                tb.commit();
            });
            QVERIFY2(b.blockedOn(connection), "the second change must wait for the first");
            t.commit();
            b.join();
            QVERIFY2(!b.conflict().isEmpty(), "adding to a deleted plan must be a conflict");
        }
        QCOMPARE(count(a, QStringLiteral("select count(*) from IDPM where NumPrim = ?"), {plan}),
                 0);
    }

private:
    QString m_races;

    void addRaceDatabases() {
        QTest::addColumn<QString>("connection");
        QTest::newRow("SQLite") << db::fileConnectionString(m_races);
        QTest::newRow("PostgreSQL") << server(QStringLiteral("races"));
    }
};

QTEST_MAIN(TestServer)
#include "tst_server.moc"
