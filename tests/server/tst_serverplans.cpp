// Two engineers changing one site plan at once, through the site-plan records, on the
// embedded file and on a PostgreSQL server of the test's own. One engineer's operation is
// held inside its transaction while the other's runs on a second thread with a connection of
// its own; afterwards the plan must hold each structure once, numbered 1 … n without a gap,
// and the engineer who lost the race must have been told.

#include "data/BulkRows.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/Scenarios.h"
#include "data/SitePlan.h"
#include "data/SituationPlan.h"
#include "tests/support/LockWait.h"
#include "tests/support/PostgresServer.h"
#include "ui/Messages.h"
#include "windows/plan/PlanEditorWindow.h"
#include "windows/plan/PlanSession.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cmath>
#include <functional>
#include <thread>

using namespace kelmo;
using namespace kelmo::db;

namespace {

db::StructureRecord structure(int plan, int number, const QString& tag) {
    db::StructureRecord r;
    r.plan = plan;
    r.number = number;
    r.type = QStringLiteral("Здания");
    r.kind = QStringLiteral("Кирпичные");
    r.storeys = tag; // tells the structures apart
    r.staff = QStringLiteral("10");
    r.selected = {true, false, false, false};
    r.pressure = {12, 0, 0, 0};
    for (int i = 0; i < 8; ++i) {
        r.corners[i] = QString::number(i * 10);
    }
    return r;
}

// The plan's structures as "number:tag", by number.
QStringList structures(Connection& c, int plan) {
    QStringList out;
    QSqlQuery q =
        c.exec(QStringLiteral("select NumSoor, Text1 from IDPM where NumPrim = ? order by NumSoor"),
               {plan});
    while (q.next()) {
        out << QStringLiteral("%1:%2").arg(q.value(0).toInt()).arg(q.value(1).toString());
    }
    return out;
}

int rows(Connection& c, const QString& sql, const QVariantList& values = {}) {
    QSqlQuery q = c.exec(sql, values);
    return q.next() ? q.value(0).toInt() : -1;
}

// The other engineer: one operation on a thread with its own connection.
class OtherEngineer final {
public:
    OtherEngineer(QString connection, std::function<void(Connection&)> operation)
        : m_connection(connection)
        , m_thread([this, connection = std::move(connection), operation = std::move(operation)] {
            try {
                Connection c(connection);
                test::watchLockWaits(c, m_lockWait);
                operation(c);
            } catch (const Error& e) {
                m_error = QString::fromUtf8(e.what());
            }
            m_done = true;
        }) {}
    ~OtherEngineer() { join(); }

    bool done() const { return m_done; }
    // Waits until the other engineer runs into the held transaction (or finishes without
    // having to wait).
    void waitUntilHeldUp() const {
        test::waitUntilBlocked(m_connection, m_lockWait, [this] { return done(); });
    }
    void join() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    // What the other engineer was told; empty when the operation went through.
    QString error() const { return m_error; }

private:
    std::atomic<bool> m_done{false};
    QString m_error;
    QString m_connection;
    test::LockWaitFlag m_lockWait;
    std::thread m_thread;
};

} // namespace

class TestServerPlans : public QObject {
    Q_OBJECT

    test::PostgresServer m_server;
    QTemporaryDir m_dir;
    QString m_file;
    QString m_onServer;

    int planWith(const QString& connection, int count) {
        Connection c(connection);
        const int plan = createPlan(c, QStringLiteral("Склад"));
        for (int n = 1; n <= count; ++n) {
            addStructure(c, structure(plan, n, QStringLiteral("s%1").arg(n)));
        }
        return plan;
    }

private slots:
    void initTestCase() {
        m_file = m_dir.filePath(QStringLiteral("bdKelmo.db"));
        createDatabaseFile(m_file, false);
        if (!m_server.start()) {
            qWarning("%s", qPrintable(m_server.skipReason()));
            return;
        }
        QVERIFY(m_server.createDatabase(QStringLiteral("plans")));
        QVERIFY(m_server.installOdbc({QStringLiteral("plans")}));
        m_onServer = serverConnectionString(test::PostgresServer::dsnName(QStringLiteral("plans")));
        initializeServerDatabase(m_onServer, false);
    }

    void cleanupTestCase() { m_server.stop(); }

    void addAtTheSameNumber_data() { databases(); }
    void addAtTheSameNumber() {
        QFETCH(QString, connection);
        if (connection.isEmpty()) {
            QSKIP(qPrintable(m_server.skipReason()));
        }
        // Both editors offer number 4 and both press "Добавить" at once, several times over.
        for (int round = 0; round < 10; ++round) {
            const int plan = planWith(connection, 3);
            QStringList told;
            {
                OtherEngineer a(connection, [plan](Connection& c) {
                    addStructure(c, structure(plan, 4, QStringLiteral("A")));
                });
                OtherEngineer b(connection, [plan](Connection& c) {
                    addStructure(c, structure(plan, 4, QStringLiteral("B")));
                });
                a.join();
                b.join();
                told << a.error() << b.error();
            }
            told.removeAll(QString());
            QCOMPARE(told.size(), 1);
            QVERIFY2(told.first().contains(QStringLiteral("уже есть сооружение №4")),
                     qPrintable(told.first()));
            Connection c(connection);
            const QStringList after = structures(c, plan);
            QCOMPARE(after.size(), 4);
            QCOMPARE(after.mid(0, 3), (QStringList{"1:s1", "2:s2", "3:s3"}));
            QVERIFY(after[3] == "4:A" || after[3] == "4:B");
        }
    }

    void renumberWhileTheOtherAdds_data() { databases(); }
    void renumberWhileTheOtherAdds() {
        QFETCH(QString, connection);
        if (connection.isEmpty()) {
            QSKIP(qPrintable(m_server.skipReason()));
        }
        const int plan = planWith(connection, 5);
        Connection a(connection);
        std::unique_ptr<OtherEngineer> b;
        int step = 0;
        deleteStructure(a, plan, 2, [&] {
            if (++step == 2) { // the later numbers are half way through their move
                b = std::make_unique<OtherEngineer>(connection, [plan](Connection& c) {
                    addStructure(c, structure(plan, 6, QStringLiteral("B")));
                });
                b->waitUntilHeldUp();
            }
        });
        b->join();
        const QStringList after = structures(a, plan);
        // Either B was told that 6 no longer follows the last structure, or B's add waited
        // for the renumbering and then found 6 free: never a gap.
        QCOMPARE(after, (QStringList{"1:s1", "2:s3", "3:s4", "4:s5"}));
        QVERIFY2(!b->error().isEmpty(), "the add of a number past the end must be refused");
    }

    // B still shows structure 2 (s2) and changes or deletes it while A deletes it.
    void deleteWhileTheOtherChanges_data() {
        QTest::addColumn<QString>("connection");
        QTest::addColumn<bool>("otherDeletes");
        for (const bool deletes : {false, true}) {
            const char* what = deletes ? "deletes" : "changes";
            QTest::addRow("SQLite, B %s", what) << db::fileConnectionString(m_file) << deletes;
            QTest::addRow("PostgreSQL, B %s", what) << m_onServer << deletes;
        }
    }
    void deleteWhileTheOtherChanges() {
        QFETCH(QString, connection);
        QFETCH(bool, otherDeletes);
        if (connection.isEmpty()) {
            QSKIP(qPrintable(m_server.skipReason()));
        }
        const int plan = planWith(connection, 4);
        const db::StructureRecord seenByB = structure(plan, 2, QStringLiteral("s2"));
        Connection a(connection);
        std::unique_ptr<OtherEngineer> b;
        deleteStructure(a, plan, 2, [&] {
            if (!b) {
                b = std::make_unique<OtherEngineer>(
                    connection, [seenByB, plan, otherDeletes](Connection& c) {
                        if (otherDeletes) {
                            deleteStructure(c, seenByB);
                        } else {
                            changeStructure(c, seenByB, structure(plan, 2, QStringLiteral("B")));
                        }
                    });
                b->waitUntilHeldUp();
            }
        });
        b->join();
        QVERIFY2(b->error().contains(QStringLiteral("другой пользователь")),
                 qPrintable(b->error()));
        // B neither brought s2 back nor touched s3, which is number 2 now.
        QCOMPARE(structures(a, plan), (QStringList{"1:s1", "2:s3", "3:s4"}));
    }

    void addToAPlanReplacedMeanwhile_data() { databases(); }
    void addToAPlanReplacedMeanwhile() {
        QFETCH(QString, connection);
        if (connection.isEmpty()) {
            QSKIP(qPrintable(m_server.skipReason()));
        }
        const int plan = planWith(connection, 2);
        Connection a(connection);
        std::unique_ptr<OtherEngineer> b;
        // A deletes the plan; its transaction is held after the first structure is gone.
        // deletePlan has no hook, so the same work is done by hand in one transaction.
        {
            Transaction t(a);
            a.exec(QStringLiteral("update MnuPM set MnuPM = MnuPM where NumPM = ?"), {plan});
            a.exec(QStringLiteral("delete from IDPM where NumPrim = ?"), {plan});
            a.exec(QStringLiteral("delete from MnuPM where NumPM = ?"), {plan});
            b = std::make_unique<OtherEngineer>(connection, [plan](Connection& c) {
                addStructure(c, structure(plan, 3, QStringLiteral("B")));
            });
            b->waitUntilHeldUp();
            t.commit();
        }
        b->join();
        QVERIFY2(b->error().contains(QStringLiteral("Плана местности")), qPrintable(b->error()));
        QCOMPARE(rows(a, QStringLiteral("select count(*) from IDPM where NumPrim = ?"), {plan}), 0);
    }

    // The editor of one engineer shows structure 2 while another deletes it: "Изменить" is
    // refused with a message and the editor shows what number 2 holds now.
    void editorRefreshesAfterAConflict_data() { databases(); }
    void editorRefreshesAfterAConflict() {
        QFETCH(QString, connection);
        if (connection.isEmpty()) {
            QSKIP(qPrintable(m_server.skipReason()));
        }
        Connection c(connection);
        const TypeRecord type = readStructureTypes(c).front();
        const QString kind = listKindsOfType(c, type.number).first().name;
        const int plan = createPlan(c, QStringLiteral("Склад"));
        for (int n = 1; n <= 3; ++n) {
            db::StructureRecord r = structure(plan, n, QString::number(n));
            r.type = type.name;
            r.kind = kind;
            addStructure(c, r);
        }
        plan::PlanSession session;
        session.planNumber = plan;
        plan::PlanEditorWindow editor(WindowContext::forDatabase(connection), session);
        editor.show();
        editor.showPlanAreas();
        ui::MessageRecorder messages;
        auto* next = editor.findChild<QAbstractButton*>(QStringLiteral("cmdMaxN"));
        QTest::mouseClick(next, Qt::LeftButton); // the plan opens on №1: on to №2
        auto* storeys = editor.findChild<QLineEdit*>(QStringLiteral("Text1"));
        QCOMPARE(storeys->text(), QStringLiteral("2"));

        deleteStructure(c, plan, 2); // the other engineer

        storeys->setText(QStringLiteral("9"));
        QTest::mouseClick(editor.findChild<QAbstractButton*>(QStringLiteral("cmdRec")),
                          Qt::LeftButton);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().icon, QMessageBox::Warning);
        QVERIFY2(messages.last().text.contains(QStringLiteral("другой пользователь")),
                 qPrintable(messages.last().text));
        QCOMPARE(storeys->text(), QStringLiteral("3")); // the structure now under number 2
        QCOMPARE(structures(c, plan), (QStringList{"1:1", "2:3"}));

        // The refreshed view can be changed at once.
        storeys->setText(QStringLiteral("9"));
        QTest::mouseClick(editor.findChild<QAbstractButton*>(QStringLiteral("cmdRec")),
                          Qt::LeftButton);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(structures(c, plan), (QStringList{"1:1", "2:9"}));
    }

    // Outlines of vertices move with their structures' numbers on the server as on the file
    // (the vertex key, like IDPM's, is checked row by row there), and go with the plan.
    void outlinesFollowTheRenumbering_data() { databases(); }
    void outlinesFollowTheRenumbering() {
        QFETCH(QString, connection);
        if (connection.isEmpty()) {
            QSKIP(qPrintable(m_server.skipReason()));
        }
        Connection c(connection);
        const int plan = createPlan(c, QStringLiteral("Контуры"));
        QList<db::StructureRecord> records;
        for (int n = 1; n <= 5; ++n) {
            db::StructureRecord r = structure(plan, n, QStringLiteral("s%1").arg(n));
            // Triangles, pentagons, … the size tells them apart.
            StructureOutline outline;
            for (int v = 0; v < n + 2; ++v) {
                const double a = 2 * M_PI * v / (n + 2);
                outline.push_back({n * 100 + 10 * std::cos(a), 10 * std::sin(a)});
            }
            setOutline(r, outline);
            records << r;
        }
        appendStructures(c, plan, records);
        setPlanCrs(c, plan, 32637);
        deleteStructure(c, plan, 2);
        deleteStructure(c, plan, 1);
        QCOMPARE(structures(c, plan), (QStringList{"1:s3", "2:s4", "3:s5"}));
        for (int n = 1; n <= 3; ++n) {
            db::StructureRecord expected = records[n + 1];
            expected.number = n;
            QCOMPARE(readStructure(c, plan, n), std::optional(expected));
        }
        QCOMPARE(planCrs(c, plan), std::optional<int>(32637));
        deletePlan(c, plan);
        QCOMPARE(
            rows(c, QStringLiteral("select count(*) from StructureVertex where NumPM = ?"), {plan}),
            0);
        QCOMPARE(planCrs(c, plan), std::nullopt);
    }

    // A general plan's import creates the plan, replaces its structures and sets its
    // coordinate system in one transaction: an outline that cannot be stored leaves nothing,
    // not even the new plan.
    void importedPlanAllOrNothing_data() { databases(); }
    void importedPlanAllOrNothing() {
        QFETCH(QString, connection);
        if (connection.isEmpty()) {
            QSKIP(qPrintable(m_server.skipReason()));
        }
        Connection c(connection);
        QList<db::StructureRecord> records;
        for (int n = 1; n <= 3; ++n) {
            db::StructureRecord r = structure(0, n, QStringLiteral("g%1").arg(n));
            setOutline(r, {{n * 100.0, 0}, {n * 100.0 + 20, 0}, {n * 100.0 + 10, 15}});
            records << r;
        }
        QList<db::StructureRecord> crossed = records;
        setOutline(crossed[2], {{0, 0}, {10, 10}, {10, 0}, {0, 10}, {-5, 5}});
        QVERIFY_THROWS_EXCEPTION(
            StructureOutlineError,
            storeImportedPlan(c, QStringLiteral("Генплан"), crossed, 32637, false));
        QVERIFY(!findPlan(c, QStringLiteral("Генплан")));

        const int plan = storeImportedPlan(c, QStringLiteral("Генплан"), records, 32637, false);
        QCOMPARE(structures(c, plan), (QStringList{"1:g1", "2:g2", "3:g3"}));
        QCOMPARE(readStructure(c, plan, 3)->vertices.size(), std::size_t(3));
        QCOMPARE(planCrs(c, plan), std::optional<int>(32637));

        QVERIFY_THROWS_EXCEPTION(
            PlanNotEmptyError,
            storeImportedPlan(c, QStringLiteral("Генплан"), records.mid(2), 32637, false));
        QCOMPARE(
            storeImportedPlan(c, QStringLiteral("Генплан"), records.mid(2), std::nullopt, true),
            plan);
        QCOMPARE(structures(c, plan), QStringList{"1:g3"});
        QCOMPARE(
            rows(c, QStringLiteral("select count(*) from StructureVertex where NumPM = ?"), {plan}),
            3);
        QCOMPARE(planCrs(c, plan), std::nullopt);
        deletePlan(c, plan);
    }

    // A changes a scenario and holds its transaction while B, who saw the scenario before,
    // changes or deletes it: B waits for A, then is told, and A's change stays.
    void scenarioChangedMeanwhile_data() {
        QTest::addColumn<QString>("connection");
        QTest::addColumn<bool>("otherDeletes");
        for (const bool deletes : {false, true}) {
            const char* what = deletes ? "deletes" : "changes";
            QTest::addRow("SQLite, B %s", what) << db::fileConnectionString(m_file) << deletes;
            QTest::addRow("PostgreSQL, B %s", what) << m_onServer << deletes;
        }
    }
    void scenarioChangedMeanwhile() {
        QFETCH(QString, connection);
        QFETCH(bool, otherDeletes);
        if (connection.isEmpty()) {
            QSKIP(qPrintable(m_server.skipReason()));
        }
        const int plan = planWith(connection, 1);
        ScenarioRecord seen;
        seen.plan = plan;
        seen.name = QStringLiteral("Склад №1");
        seen.charge.chargeMassKg = 100;
        Connection a(connection);
        addScenario(a, seen);
        seen = *readScenario(a, plan, seen.name);
        std::unique_ptr<OtherEngineer> b;
        {
            Transaction t(a);
            QVERIFY(lockPlan(a, plan));
            a.exec(QStringLiteral("update Scenario set Mass = 200, Revision = Revision + 1 "
                                  "where NumPM = ? and Name = ?"),
                   {plan, seen.name});
            b = std::make_unique<OtherEngineer>(connection, [seen, otherDeletes](Connection& c) {
                if (otherDeletes) {
                    deleteScenario(c, seen);
                } else {
                    ScenarioRecord mine = seen;
                    mine.charge.chargeMassKg = 300;
                    changeScenario(c, seen, mine);
                }
            });
            b->waitUntilHeldUp();
            t.commit();
        }
        b->join();
        QVERIFY2(b->error().contains(QStringLiteral("другой пользователь")),
                 qPrintable(b->error()));
        const auto stored = readScenario(a, plan, seen.name);
        QVERIFY(stored);
        QCOMPARE(stored->charge.chargeMassKg, 200.0);
    }

    // The list of a plan's scenarios reads the same on both databases, in the order a
    // Russian reader expects, whatever their case and the database's own collation.
    void scenariosListInOneOrder_data() { databases(); }
    void scenariosListInOneOrder() {
        QFETCH(QString, connection);
        if (connection.isEmpty()) {
            QSKIP(qPrintable(m_server.skipReason()));
        }
        const QStringList ordered{"2-й пост", "10-й пост", "ангар",     "Арсенал",
                                  "Ёмкость",  "емкость Б", "Жилой дом", "склад",
                                  "Склад 2",  "склад 10",  "Zeta"};
        const int plan = planWith(connection, 1);
        Connection c(connection);
        for (const int i : {7, 3, 10, 0, 5, 8, 1, 4, 9, 2, 6}) {
            ScenarioRecord r;
            r.plan = plan;
            r.name = ordered[i];
            r.charge.chargeMassKg = 100;
            addScenario(c, r);
        }
        QStringList listed;
        for (const ScenarioRecord& r : listScenarios(c, plan)) {
            listed << r.name;
        }
        QCOMPARE(listed, ordered);
        deletePlan(c, plan);
    }

    // A plan is read back exactly as it was written, whatever its texts hold: the server
    // hands the rows over as one text of its own quoting, which must not change a character,
    // a null or the last bit of a coordinate.
    void structuresReadBackAsWritten_data() { databases(); }
    void structuresReadBackAsWritten() {
        QFETCH(QString, connection);
        if (connection.isEmpty()) {
            QSKIP(qPrintable(m_server.skipReason()));
        }
        const QStringList texts{
            "a,b", "\"в кавычках\"", "back\\slash", "{скобки}",      " ведущий", "NULL", "null",
            "",    "две\nстроки",    "таб\tуляция", "Ёж «ёлка» — ∑", "}",        "\\\"", "x y"};
        Connection c(connection);
        const int plan = createPlan(c, QStringLiteral("Кавычки и запятые"));
        QList<db::StructureRecord> written;
        for (int i = 0; i < texts.size(); ++i) {
            db::StructureRecord r = structure(plan, i + 1, texts[i]);
            r.type = texts[(i + 1) % texts.size()];
            r.kind = texts[(i + 2) % texts.size()];
            r.staff = texts[(i + 3) % texts.size()];
            r.pressure = {i, 0, 150, 0};
            if (i % 2 == 1) {
                // Coordinates that need all seventeen digits to come back the same.
                const double x = 412125.0 + 1.0 / 3.0 * (i + 1);
                const double y = 6179143.0 + 0.1 + 0.2 * i;
                setOutline(r, {{x, y},
                               {x + 10.000000000000002, y},
                               {x + 12.7, y + 5.5e-7 + 8},
                               {x + 3.3333333333333335, y + 9.1},
                               {x, y + 4.000000000000001}});
            }
            addStructure(c, r);
            written << r;
        }
        // A null where an empty text would be read as a missing threshold.
        c.exec(QStringLiteral("update IDPM set Text1 = null, txtSre = null where NumPrim = ? and "
                              "NumSoor = 1"),
               {plan});
        written[0].storeys = QString();
        written[0].pressure[1] = 0;

        const QList<db::StructureRecord> read = readStructures(c, plan);
        QCOMPARE(read.size(), written.size());
        for (int i = 0; i < read.size(); ++i) {
            QVERIFY2(read[i] == written[i], qPrintable(QString::number(i + 1)));
        }

        const SituationPlan situation = loadSituationPlan(c, QStringLiteral("Кавычки и запятые"));
        QCOMPARE(situation.structures.size(), std::size_t(texts.size()));
        for (std::size_t i = 0; i < situation.structures.size(); ++i) {
            const auto& s = situation.structures[i];
            const db::StructureRecord& w = written[static_cast<int>(i)];
            QCOMPARE(QString::fromStdString(s.type), w.type);
            QCOMPARE(QString::fromStdString(s.kind), w.kind);
            QCOMPARE(QString::fromStdString(s.storeys), w.storeys);
            QCOMPARE(s.thresholds.strong, 150.0);
            if (!w.vertices.empty()) {
                QCOMPARE(s.outline.size(), w.vertices.size());
                for (std::size_t v = 0; v < s.outline.size(); ++v) {
                    QVERIFY(s.outline[v].x == w.vertices[v].x && s.outline[v].y == w.vertices[v].y);
                }
            }
        }
        // The null threshold takes no part, as an empty one.
        QVERIFY(std::isnan(situation.structures[0].thresholds.medium));
        deletePlan(c, plan);
    }

private:
    void databases() {
        QTest::addColumn<QString>("connection");
        QTest::newRow("SQLite") << db::fileConnectionString(m_file);
        QTest::newRow("PostgreSQL") << m_onServer;
    }
};

QTEST_MAIN(TestServerPlans)
#include "tst_serverplans.moc"
