// The site-plan records on a database file: the plan catalogue, the structures with their
// keyed reads, add, change, delete with renumbering, and the structure types for the lists.

#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/SitePlan.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

using namespace kelmo;
using namespace kelmo::db;

namespace {

StructureRecord sample(int plan, int number) {
    StructureRecord r;
    r.plan = plan;
    r.number = number;
    r.type = QStringLiteral("Тип %1").arg(number);
    r.kind = QStringLiteral("Вид %1").arg(number);
    r.storeys = QString::number(number);
    r.staff = QString::number(10 * number);
    r.selected = {false, true, false, false};
    r.pressure = {number, 20 + number, 40 + number, 60 + number};
    for (int i = 0; i < 8; ++i) {
        r.corners[i] = QString::number(number * 100 + i - 3.5);
    }
    return r;
}

// The numbers and storeys (a tag of the original number) of a plan's structures, by number.
QList<QPair<int, QString>> structures(Connection& c, int plan) {
    QList<QPair<int, QString>> out;
    QSqlQuery q = c.exec(QStringLiteral("select NumSoor, Text1 from IDPM where NumPrim = ? "
                                        "order by NumSoor"),
                         {plan});
    while (q.next()) {
        out.append({q.value(0).toInt(), q.value(1).toString()});
    }
    return out;
}

QList<QPair<int, QString>> numbered(std::initializer_list<int> originals) {
    QList<QPair<int, QString>> out;
    int n = 0;
    for (const int original : originals) {
        out.append({++n, QString::number(original)});
    }
    return out;
}

int rowCount(Connection& c, const QString& table) {
    QSqlQuery q = c.select(QStringLiteral("select count(*) from %1").arg(table));
    q.next();
    return q.value(0).toInt();
}

// Run in a child process: deletes structure 2 of plan 1 and stops for good after the given
// step of the transaction, until the parent kills it.
int deleteAndHang(const QString& path, int stopAfter) {
    Connection c(db::fileConnectionString(path));
    int step = 0;
    deleteStructure(c, 1, 2, [&] {
        if (++step == stopAfter) {
            std::puts("stopped");
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::minutes(5));
        }
    });
    return 0;
}

} // namespace

class TestSitePlan : public QObject {
    Q_OBJECT

    QTemporaryDir m_template;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<Connection> m_c;

    int planWith(const QString& name, int count) {
        const int plan = createPlan(*m_c, name);
        for (int n = 1; n <= count; ++n) {
            addStructure(*m_c, sample(plan, n));
        }
        return plan;
    }

private slots:
    // Each test works on its own copy of one freshly built database.
    void initTestCase() {
        QVERIFY(m_template.isValid());
        createDatabaseFile(m_template.filePath(QStringLiteral("bdKelmo.db")), false);
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath(QStringLiteral("bdKelmo.db"));
        QVERIFY(QFile::copy(m_template.filePath(QStringLiteral("bdKelmo.db")), m_path));
        QFile(m_path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        m_c = std::make_unique<Connection>(db::fileConnectionString(m_path));
    }

    void cleanup() {
        m_c.reset();
        m_dir.reset();
    }

    // ---- Plan catalogue ----

    void createAddsOnePlanWithoutStructures() {
        const int plan = createPlan(*m_c, QStringLiteral("Склад №1"));
        QVERIFY(plan >= 1);
        QCOMPARE(listPlans(*m_c).size(), 1);
        QCOMPARE(listPlans(*m_c).first().name, QStringLiteral("Склад №1"));
        QCOMPARE(findPlan(*m_c, QStringLiteral("Склад №1")), std::optional<int>(plan));
        QCOMPARE(lastStructureNumber(*m_c, plan), 0);
    }

    void createUnderTakenNameReplacesThePlanOnly() {
        const int old = planWith(QStringLiteral("Склад"), 3);
        const int other = planWith(QStringLiteral("Цех"), 2);
        const int fresh = createPlan(*m_c, QStringLiteral("Склад"));
        QVERIFY(fresh != old);
        QCOMPARE(listPlans(*m_c).size(), 2);
        QCOMPARE(findPlan(*m_c, QStringLiteral("Склад")), std::optional<int>(fresh));
        QVERIFY(!planExists(*m_c, old));
        QVERIFY(structures(*m_c, old).isEmpty());
        QVERIFY(structures(*m_c, fresh).isEmpty());
        QCOMPARE(structures(*m_c, other), numbered({1, 2}));
    }

    void namesDifferingInCaseAreTwoPlans() {
        const int a = createPlan(*m_c, QStringLiteral("склад"));
        const int b = createPlan(*m_c, QStringLiteral("Склад"));
        QVERIFY(a != b);
        QCOMPARE(listPlans(*m_c).size(), 2);
    }

    void blankNameIsRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks") << QStringLiteral("   ");
        QTest::newRow("tab and newline") << QStringLiteral("\t\n");
    }
    void blankNameIsRefused() {
        QFETCH(QString, name);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, createPlan(*m_c, name));
        QCOMPARE(rowCount(*m_c, QStringLiteral("MnuPM")), 0);
    }

    void deletePlanRemovesItsStructuresOnly() {
        const int doomed = planWith(QStringLiteral("А"), 3);
        const int kept = planWith(QStringLiteral("Б"), 2);
        deletePlan(*m_c, doomed);
        QVERIFY(!planExists(*m_c, doomed));
        QVERIFY(structures(*m_c, doomed).isEmpty());
        QCOMPARE(structures(*m_c, kept), numbered({1, 2}));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, deletePlan(*m_c, doomed));
    }

    // ---- Structures ----

    void structureRoundTrip() {
        const int plan = createPlan(*m_c, QStringLiteral("План"));
        StructureRecord r = sample(plan, 1);
        r.type = QStringLiteral("Тип с 'кавычкой'; drop table IDPM; --");
        r.corners[0] = QStringLiteral("-12.5");
        addStructure(*m_c, r);
        QCOMPARE(readStructure(*m_c, plan, 1), std::optional<StructureRecord>(r));
        QVERIFY(!readStructure(*m_c, plan, 2));
        QVERIFY(!readStructure(*m_c, plan + 1, 1));
    }

    // Every refused add leaves the plan as it was.
    void addRefusals_data() {
        QTest::addColumn<int>("plan"); // 0: the plan of the fixture, else a number
        QTest::addColumn<int>("number");
        QTest::newRow("taken") << 0 << 2;
        QTest::newRow("gap after the last") << 0 << 5;
        QTest::newRow("zero") << 0 << 0;
        QTest::newRow("negative") << 0 << -1;
        QTest::newRow("beyond 32767") << 0 << 32768;
        QTest::newRow("no such plan") << 999 << 1;
    }
    void addRefusals() {
        QFETCH(int, plan);
        QFETCH(int, number);
        const int fixture = planWith(QStringLiteral("План"), 3);
        const int target = plan == 0 ? fixture : plan;
        StructureRecord r = sample(target, number);
        r.storeys = QStringLiteral("новое");
        QVERIFY_THROWS_EXCEPTION(StructureNumberError, addStructure(*m_c, r));
        QCOMPARE(structures(*m_c, fixture), numbered({1, 2, 3}));
        QCOMPARE(rowCount(*m_c, QStringLiteral("IDPM")), 3);
    }

    // The key itself stops a second row under a taken number, whoever writes it; the
    // database of kelmo-calc init-db has it.
    void uniqueKeyInTheSchema() {
        const QString made = m_dir->filePath(QStringLiteral("init-db.db"));
        QProcess init;
        init.start(QStringLiteral(KELMO_CALC_PATH), {QStringLiteral("init-db"), made});
        QVERIFY(init.waitForFinished(60000));
        QCOMPARE(init.exitCode(), 0);
        m_c = std::make_unique<Connection>(db::fileConnectionString(made));
        const int plan = planWith(QStringLiteral("План"), 1);
        QVERIFY_THROWS_EXCEPTION(
            DatabaseError,
            m_c->exec(QStringLiteral("insert into IDPM (NumPrim, NumSoor) values (?, 1)"), {plan}));
        m_c->exec(QStringLiteral("insert into IDPM (NumPrim, NumSoor) values (?, 1)"), {plan + 1});
    }

    void changeKeepsNumberAndPlan() {
        const int plan = planWith(QStringLiteral("План"), 3);
        const int other = planWith(QStringLiteral("Другой"), 2);
        StructureRecord changed = sample(plan, 2);
        changed.kind = QStringLiteral("Другой вид");
        changed.selected = {false, false, false, true};
        changed.pressure = {1, 2, 3, 4};
        changed.corners[7] = QStringLiteral("0.25");
        changeStructure(*m_c, changed);
        QCOMPARE(readStructure(*m_c, plan, 2), std::optional<StructureRecord>(changed));
        QCOMPARE(readStructure(*m_c, plan, 1), std::optional<StructureRecord>(sample(plan, 1)));
        QCOMPARE(readStructure(*m_c, other, 2), std::optional<StructureRecord>(sample(other, 2)));
        QCOMPARE(rowCount(*m_c, QStringLiteral("IDPM")), 5);
    }

    void changeOfMissingStructureIsRefused() {
        const int plan = planWith(QStringLiteral("План"), 1);
        QVERIFY_THROWS_EXCEPTION(StructureNumberError, changeStructure(*m_c, sample(plan, 2)));
        QCOMPARE(structures(*m_c, plan), numbered({1}));
    }

    void deleteRenumbers_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<QList<int>>("left"); // original numbers, now numbered 1, 2, …
        QTest::newRow("2 of 3") << 3 << 2 << QList<int>{1, 3};
        QTest::newRow("first of 3") << 3 << 1 << QList<int>{2, 3};
        QTest::newRow("last of 3") << 3 << 3 << QList<int>{1, 2};
        QTest::newRow("the only one") << 1 << 1 << QList<int>{};
    }
    void deleteRenumbers() {
        QFETCH(int, count);
        QFETCH(int, deleted);
        QFETCH(QList<int>, left);
        const int plan = planWith(QStringLiteral("План"), count);
        const int other = planWith(QStringLiteral("Другой"), 3);
        deleteStructure(*m_c, plan, deleted);
        QList<QPair<int, QString>> expected;
        for (int i = 0; i < left.size(); ++i) {
            expected.append({i + 1, QString::number(left[i])});
        }
        QCOMPARE(structures(*m_c, plan), expected);
        QCOMPARE(structures(*m_c, other), numbered({1, 2, 3}));
        // The moved structure keeps all its fields but the number.
        if (!left.isEmpty() && left.last() != static_cast<int>(left.size())) {
            StructureRecord moved = sample(plan, left.last());
            moved.number = static_cast<int>(left.size());
            QCOMPARE(readStructure(*m_c, plan, moved.number),
                     std::optional<StructureRecord>(moved));
        }
    }

    // Rows stored in descending order: a server that renumbers in storage order would meet
    // the next number still taken if the numbers moved down in one step.
    void deleteRenumbersWhateverTheRowOrder() {
        const int plan = createPlan(*m_c, QStringLiteral("План"));
        addStructure(*m_c, sample(plan, 1));
        for (int n = 5; n >= 2; --n) {
            StructureRecord r = sample(plan, n);
            QVariantList values{r.plan, r.number, r.storeys};
            m_c->exec(QStringLiteral("insert into IDPM (NumPrim, NumSoor, Text1) values (?, ?, ?)"),
                      values);
        }
        deleteStructure(*m_c, plan, 1);
        QCOMPARE(structures(*m_c, plan), numbered({2, 3, 4, 5}));
    }

    // Putting a deleted structure back (an undo) returns the plan to what it was, rows,
    // fields and numbers; a number past the end or a plan gone changes nothing.
    void insertPutsADeletedStructureBack_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("deleted");
        QTest::newRow("middle of 3") << 3 << 2;
        QTest::newRow("first of 3") << 3 << 1;
        QTest::newRow("last of 3") << 3 << 3;
        QTest::newRow("the only one") << 1 << 1;
    }
    void insertPutsADeletedStructureBack() {
        QFETCH(int, count);
        QFETCH(int, deleted);
        const int plan = planWith(QStringLiteral("План"), count);
        const int other = planWith(QStringLiteral("Другой"), 3);
        const QList<StructureRecord> before = readStructures(*m_c, plan);
        QCOMPARE(before.size(), count);
        const StructureRecord gone = *readStructure(*m_c, plan, deleted);
        deleteStructure(*m_c, gone);
        insertStructure(*m_c, gone);
        QCOMPARE(readStructures(*m_c, plan), before);
        QCOMPARE(structures(*m_c, other), numbered({1, 2, 3}));
    }

    void insertRefusesANumberPastTheEndOrAPlanGone() {
        const int plan = planWith(QStringLiteral("План"), 2);
        StructureRecord far = sample(plan, 4);
        QVERIFY_THROWS_EXCEPTION(StructureNumberError, insertStructure(*m_c, far));
        QCOMPARE(structures(*m_c, plan), numbered({1, 2}));
        StructureRecord lost = sample(plan + 100, 1);
        QVERIFY_THROWS_EXCEPTION(StructureConflictError, insertStructure(*m_c, lost));
        StructureRecord zero = sample(plan, 0);
        QVERIFY_THROWS_EXCEPTION(StructureNumberError, insertStructure(*m_c, zero));
        QCOMPARE(structures(*m_c, plan), numbered({1, 2}));
    }

    void deleteOfMissingStructureChangesNothing() {
        const int plan = planWith(QStringLiteral("План"), 2);
        QVERIFY_THROWS_EXCEPTION(StructureNumberError, deleteStructure(*m_c, plan, 3));
        QCOMPARE(structures(*m_c, plan), numbered({1, 2}));
    }

    // A program killed in the middle of a delete leaves the plan as it was before it.
    void killedDeleteLeavesPlanConsistent_data() {
        QTest::addColumn<int>("stopAfter");
        QTest::newRow("after the delete") << 1;
        QTest::newRow("half-way through the renumbering") << 2;
    }
    void killedDeleteLeavesPlanConsistent() {
        QFETCH(int, stopAfter);
        const int plan = planWith(QStringLiteral("План"), 4);
        QCOMPARE(plan, 1);
        m_c.reset();

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KELMO_DELETE_AND_HANG"), m_path);
        env.insert(QStringLiteral("KELMO_STOP_AFTER"), QString::number(stopAfter));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForReadyRead(20000));
        QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("stopped"));
        child.kill();
        QVERIFY(child.waitForFinished(20000));

        m_c = std::make_unique<Connection>(db::fileConnectionString(m_path));
        QCOMPARE(structures(*m_c, plan), numbered({1, 2, 3, 4}));
        // And the plan can be worked on at once.
        deleteStructure(*m_c, plan, 2);
        QCOMPARE(structures(*m_c, plan), numbered({1, 3, 4}));
    }

    // ---- Types and kinds for the editor's lists ----

    void typesAndKinds() {
        m_c->exec(QStringLiteral("delete from BSubTypes"));
        m_c->exec(QStringLiteral("delete from BTypes"));
        m_c->exec(QStringLiteral("insert into BTypes (TNum, TName) values (7, 'Склады'), "
                                 "(3, 'Без видов')"));
        m_c->exec(QStringLiteral("insert into BSubTypes (Type, STName, Slamin, Slamax, Sremin, "
                                 "Sremax, Sulmin, Sulmax, Polmin, Polmax) values "
                                 "(7, 'Первый', 10, 15, 15, 25, 25, 35, 35, 50), "
                                 "(99, 'Ничей', 1, 2, 3, 4, 5, 6, 7, 8), "
                                 "(7, 'Второй', 1, 2, 3, 4, 5, 6, 7, 8)"));
        const auto types = readStructureTypes(*m_c);
        QCOMPARE(types.size(), std::size_t(2));
        QCOMPARE(types[0].name, QStringLiteral("Склады"));
        QCOMPARE(findTypeNumber(*m_c, QStringLiteral("Склады")), std::optional<int>(7));
        QVERIFY(!findTypeNumber(*m_c, QStringLiteral("Нет такого")));
        const auto kinds = listKindsOfType(*m_c, 7);
        QCOMPARE(kinds.size(), 2);
        QCOMPARE(kinds[0].name, QStringLiteral("Первый"));
        QCOMPARE(kinds[0].ranges[0].min, 10.0);
        QCOMPARE(kinds[0].ranges[3].max, 50.0);
        QCOMPARE(kinds[1].name, QStringLiteral("Второй"));
        QVERIFY(listKindsOfType(*m_c, 3).isEmpty());
    }
};

int main(int argc, char* argv[]) {
    const QString hang = qEnvironmentVariable("KELMO_DELETE_AND_HANG");
    if (!hang.isEmpty()) {
        QCoreApplication app(argc, argv);
        return deleteAndHang(hang, qEnvironmentVariableIntValue("KELMO_STOP_AFTER"));
    }
    QCoreApplication app(argc, argv);
    TestSitePlan test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_siteplan.moc"
