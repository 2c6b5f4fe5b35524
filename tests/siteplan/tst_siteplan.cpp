// The site-plan records on a database file: the plan catalogue, the structures with their
// keyed reads, add, change, delete with renumbering, and the structure types for the lists.

#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/SitePlan.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

using namespace kelmo;
using namespace kelmo::db;

Q_DECLARE_METATYPE(kelmo::StructureOutline)

namespace {

// A regular polygon of `count` vertices around (cx, cy).
StructureOutline polygon(int count, double cx, double cy, double radius) {
    StructureOutline out;
    for (int i = 0; i < count; ++i) {
        const double a = 2 * M_PI * i / count;
        out.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a)});
    }
    return out;
}

// Structures of even numbers are polygons of number + 3 vertices (kept as vertex rows), odd
// ones four corners, so that every write and renumbering below carries both.
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
    if (number % 2 == 0) {
        setOutline(r, polygon(number + 3, number * 100, plan * 10, 7.5));
    }
    return r;
}

// Vertex rows whose structure is not in IDPM under the same plan and number.
int strayVertices(Connection& c) {
    QSqlQuery q = c.select(QStringLiteral(
        "select count(*) from StructureVertex v where not exists (select 1 from IDPM "
        "where NumPrim = v.NumPM and NumSoor = v.NumSoor)"));
    q.next();
    return q.value(0).toInt();
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
        setPlanCrs(*m_c, doomed, 32637);
        setPlanCrs(*m_c, kept, 28403);
        deletePlan(*m_c, doomed);
        QVERIFY(!planExists(*m_c, doomed));
        QVERIFY(structures(*m_c, doomed).isEmpty());
        QCOMPARE(structures(*m_c, kept), numbered({1, 2}));
        QCOMPARE(readStructure(*m_c, kept, 2), std::optional<StructureRecord>(sample(kept, 2)));
        QCOMPARE(strayVertices(*m_c), 0);
        QCOMPARE(planCrs(*m_c, doomed), std::nullopt);
        QCOMPARE(planCrs(*m_c, kept), std::optional<int>(28403));
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
        StructureRecord changed = sample(plan, 3);
        changed.kind = QStringLiteral("Другой вид");
        changed.selected = {false, false, false, true};
        changed.pressure = {1, 2, 3, 4};
        changed.corners[7] = QStringLiteral("0.25");
        changeStructure(*m_c, changed);
        QCOMPARE(readStructure(*m_c, plan, 3), std::optional<StructureRecord>(changed));
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
        QTest::newRow("a polygon between polygons") << 6 << 4 << QList<int>{1, 2, 3, 5, 6};
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
        // Each moved structure keeps all its fields but the number, its outline included.
        for (int i = 0; i < left.size(); ++i) {
            StructureRecord moved = sample(plan, left[i]);
            moved.number = i + 1;
            QCOMPARE(readStructure(*m_c, plan, moved.number),
                     std::optional<StructureRecord>(moved));
        }
        QCOMPARE(readStructure(*m_c, other, 2), std::optional<StructureRecord>(sample(other, 2)));
        QCOMPARE(strayVertices(*m_c), 0);
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
        QCOMPARE(readStructure(*m_c, plan, 4), std::optional<StructureRecord>(sample(plan, 4)));
        // And the plan can be worked on at once.
        deleteStructure(*m_c, plan, 2);
        QCOMPARE(structures(*m_c, plan), numbered({1, 3, 4}));
        QCOMPARE(strayVertices(*m_c), 0);
    }

    // ---- Outlines of any shape ----

    // Four vertices live in the corner fields; any other count in vertex rows, with the
    // rectangle around them in the corner fields.
    void outlineIsStoredByItsShape_data() {
        QTest::addColumn<StructureOutline>("outline");
        QTest::addColumn<int>("vertexRows");
        QTest::addColumn<QStringList>("corners");
        QTest::newRow("four corners") << StructureOutline{{0.5, 0}, {0, 10}, {20, 10}, {20, 0}} << 0
                                      << QStringList{"0.5", "0", "0", "10", "20", "10", "20", "0"};
        QTest::newRow("triangle") << StructureOutline{{0, 0}, {12.25, -3}, {4, 9}} << 3
                                  << QStringList{"0", "-3", "0", "9", "12.25", "9", "12.25", "-3"};
        QTest::newRow("L-shape") << StructureOutline{{0, 0},   {30, 0},  {30, 10},
                                                     {10, 10}, {10, 30}, {0, 30}}
                                 << 6 << QStringList{"0", "0", "0", "30", "30", "30", "30", "0"};
    }
    void outlineIsStoredByItsShape() {
        QFETCH(StructureOutline, outline);
        QFETCH(int, vertexRows);
        QFETCH(QStringList, corners);
        const int plan = createPlan(*m_c, QStringLiteral("План"));
        StructureRecord r = sample(plan, 1);
        // Given as vertices whatever the count: the store decides where they go.
        r.vertices = outline;
        addStructure(*m_c, r);
        const auto stored = readStructure(*m_c, plan, 1);
        QVERIFY(stored);
        QCOMPARE(outlineOf(*stored), std::optional<StructureOutline>(outline));
        QCOMPARE(rowCount(*m_c, QStringLiteral("StructureVertex")), vertexRows);
        QCOMPARE(QStringList(stored->corners.begin(), stored->corners.end()), corners);
    }

    void changeReplacesTheOutline() {
        const int plan = planWith(QStringLiteral("План"), 3);
        StructureRecord r = sample(plan, 2);
        const StructureOutline heptagon = polygon(7, 0, 0, 10);
        setOutline(r, heptagon);
        changeStructure(*m_c, r);
        QCOMPARE(outlineOf(*readStructure(*m_c, plan, 2)), std::optional(heptagon));
        QCOMPARE(rowCount(*m_c, QStringLiteral("StructureVertex")), 7);
        setOutline(r, {{0, 0}, {0, 5}, {5, 5}, {5, 0}});
        changeStructure(*m_c, r);
        QCOMPARE(readStructure(*m_c, plan, 2), std::optional(r));
        QCOMPARE(rowCount(*m_c, QStringLiteral("StructureVertex")), 0);
        QCOMPARE(readStructure(*m_c, plan, 1), std::optional(sample(plan, 1)));
    }

    // The editor's check of what the user saw covers the vertices: an outline moved by
    // another user since is a conflict, and nothing is written.
    void movedVertexIsAConflict() {
        const int plan = planWith(QStringLiteral("План"), 2);
        const StructureRecord shown = sample(plan, 2);
        StructureRecord other = shown;
        StructureOutline moved = shown.vertices;
        moved[0].x += 1;
        setOutline(other, moved);
        changeStructure(*m_c, other);
        StructureRecord mine = shown;
        mine.staff = QStringLiteral("99");
        QVERIFY_THROWS_EXCEPTION(StructureConflictError, changeStructure(*m_c, shown, mine));
        QVERIFY_THROWS_EXCEPTION(StructureConflictError, deleteStructure(*m_c, shown));
        QCOMPARE(readStructure(*m_c, plan, 2), std::optional(other));
    }

    // An outline that is no polygon is refused by every write, naming the structure, and
    // nothing of it is stored.
    void badOutlineIsRefused_data() {
        QTest::addColumn<QString>("write");
        QTest::addColumn<StructureOutline>("outline");
        QTest::addColumn<QString>("reason");
        const StructureOutline twoVertices{{0, 0}, {10, 0}};
        const StructureOutline crossed{{0, 0}, {20, 20}, {20, 0}, {10, -5}, {0, 20}};
        const StructureOutline flat{{0, 0}, {5, 0}, {10, 0}};
        const StructureOutline huge{{0, 0}, {2e8, 0}, {0, 5}};
        for (const QString write : {"add", "change", "append"}) {
            QTest::addRow("%s: two vertices", qPrintable(write))
                << write << twoVertices << "меньше трёх вершин";
            QTest::addRow("%s: crossed", qPrintable(write))
                << write << crossed << "стороны контура пересекаются";
            QTest::addRow("%s: zero area", qPrintable(write)) << write << flat << "нулевой площади";
            QTest::addRow("%s: beyond the plan", qPrintable(write))
                << write << huge << "вне пределов плана";
        }
    }
    void badOutlineIsRefused() {
        QFETCH(QString, write);
        QFETCH(StructureOutline, outline);
        QFETCH(QString, reason);
        const int plan = planWith(QStringLiteral("План"), 2);
        StructureRecord r = sample(plan, write == QLatin1String("change") ? 2 : 3);
        setOutline(r, outline);
        try {
            if (write == QLatin1String("add")) {
                addStructure(*m_c, r);
            } else if (write == QLatin1String("change")) {
                changeStructure(*m_c, sample(plan, 2), r);
            } else {
                appendStructures(*m_c, plan, {sample(plan, 3), r});
            }
            QFAIL("the outline was taken");
        } catch (const StructureOutlineError& e) {
            // Appended after 1, 2 and the good 3, the bad one would have been №4.
            const int number = write == QLatin1String("append") ? 4 : r.number;
            const QString message = QString::fromUtf8(e.what());
            QVERIFY2(message.contains(QStringLiteral("Контур сооружения №%1").arg(number)) &&
                         message.contains(reason),
                     qPrintable(message));
        }
        QCOMPARE(structures(*m_c, plan), numbered({1, 2}));
        QCOMPARE(readStructure(*m_c, plan, 2), std::optional(sample(plan, 2)));
        QCOMPARE(rowCount(*m_c, QStringLiteral("StructureVertex")), 5);
    }

    void appendNumbersTheVerticesOn() {
        const int plan = planWith(QStringLiteral("План"), 1);
        appendStructures(*m_c, plan, {sample(plan, 2), sample(plan, 1), sample(plan, 4)});
        StructureRecord third = sample(plan, 1);
        third.number = 3;
        StructureRecord fourth = sample(plan, 4);
        QCOMPARE(readStructure(*m_c, plan, 2), std::optional(sample(plan, 2)));
        QCOMPARE(readStructure(*m_c, plan, 3), std::optional(third));
        QCOMPARE(readStructure(*m_c, plan, 4), std::optional(fourth));
        QCOMPARE(rowCount(*m_c, QStringLiteral("StructureVertex")), 5 + 7);
    }

    // ---- The plan's coordinate system ----

    void planCoordinateSystem() {
        const int plan = createPlan(*m_c, QStringLiteral("План"));
        QCOMPARE(planCrs(*m_c, plan), std::nullopt);
        setPlanCrs(*m_c, plan, 32637);
        QCOMPARE(planCrs(*m_c, plan), std::optional<int>(32637));
        setPlanCrs(*m_c, plan, 3857);
        QCOMPARE(planCrs(*m_c, plan), std::optional<int>(3857));
        setPlanCrs(*m_c, plan, std::nullopt);
        QCOMPARE(planCrs(*m_c, plan), std::nullopt);

        QVERIFY_THROWS_EXCEPTION(DatabaseError, setPlanCrs(*m_c, plan + 1, 32637));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, setPlanCrs(*m_c, plan, 0));
        QCOMPARE(rowCount(*m_c, QStringLiteral("PlanCrs")), 0);

        // A plan made anew under the same name starts in local metres.
        setPlanCrs(*m_c, plan, 32637);
        const int again = createPlan(*m_c, QStringLiteral("План"));
        QCOMPARE(planCrs(*m_c, again), std::nullopt);
        QCOMPARE(rowCount(*m_c, QStringLiteral("PlanCrs")), 0);
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
