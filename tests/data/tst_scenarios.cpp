// Scenarios kept with a site plan: what is stored, what is refused, and a change made by
// another user meanwhile.

#include "data/DatabaseFile.h"
#include "data/Scenarios.h"
#include "data/SitePlan.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>
#include <memory>
#include <optional>

using namespace kelmo;

namespace {

QString fileConnection(const QString& path) {
    return db::fileConnectionString(path);
}

db::ScenarioRecord scenario(int plan, const QString& name, double mass = 1000) {
    db::ScenarioRecord r;
    r.plan = plan;
    r.name = name;
    r.charge.chargeMassKg = mass;
    r.point = {10, 20};
    return r;
}

// The fields a user gave, without the database's own counter.
bool sameCharge(const db::ScenarioRecord& a, const db::ScenarioRecord& b) {
    return a.plan == b.plan && a.name == b.name && a.explosive == b.explosive &&
           a.charge.chargeMassKg == b.charge.chargeMassKg &&
           a.charge.heatUnit == b.charge.heatUnit && a.charge.heat == b.charge.heat &&
           a.charge.molarDivisor == b.charge.molarDivisor &&
           a.charge.placement == b.charge.placement && a.charge.bodyMassKg == b.charge.bodyMassKg &&
           a.point.x == b.point.x && a.point.y == b.point.y;
}

} // namespace

class TestScenarios final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_connection;
    int m_plan = 0;
    int m_otherPlan = 0;

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        const QString path = m_dir->filePath(QStringLiteral("plans.db"));
        db::createDatabaseFile(path, false);
        m_connection = fileConnection(path);
        db::Connection c(m_connection);
        m_plan = db::createPlan(c, QStringLiteral("Склад"));
        m_otherPlan = db::createPlan(c, QStringLiteral("Другой"));
    }
    void cleanup() { m_dir.reset(); }

    // Every field comes back as given: per mole, in the air, a body mass, a fractional point.
    void storedAsGiven() {
        db::Connection c(m_connection);
        db::ScenarioRecord r = scenario(m_plan, QStringLiteral("Склад №2"), 0.125);
        r.explosive = QStringLiteral("Гексоген");
        r.charge.heatUnit = HeatUnit::PerMole;
        r.charge.heat = 1234.5678901234567;
        r.charge.molarDivisor = 222.117;
        r.charge.placement = Placement::Air;
        r.charge.bodyMassKg = 80.5;
        r.point = {-12.25, 1e6 + 0.1};
        db::addScenario(c, r);
        db::addScenario(c, scenario(m_plan, QStringLiteral("Склад №1")));
        const auto list = db::listScenarios(c, m_plan);
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0].name, QStringLiteral("Склад №1"));
        QVERIFY(sameCharge(list[1], r));
        QVERIFY(db::listScenarios(c, m_otherPlan).isEmpty());
    }

    void refused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("mass");
        QTest::addColumn<bool>("missingPlan");
        QTest::addColumn<QString>("message");
        QTest::newRow("name taken") << "Первый" << 1.0 << false << "уже есть";
        QTest::newRow("blank name") << "  " << 1.0 << false << "Имя сценария не задано";
        QTest::newRow("too long name") << QString(256, u'я') << 1.0 << false << "длиннее 255";
        QTest::newRow("zero mass") << "Второй" << 0.0 << false << "масса заряда должна быть";
        QTest::newRow("not a number")
            << "Второй" << std::numeric_limits<double>::quiet_NaN() << false << "конечным";
        QTest::newRow("plan gone") << "Второй" << 1.0 << true << "больше нет";
    }
    void refused() {
        QFETCH(QString, name);
        QFETCH(double, mass);
        QFETCH(bool, missingPlan);
        QFETCH(QString, message);
        db::Connection c(m_connection);
        db::addScenario(c, scenario(m_plan, QStringLiteral("Первый")));
        const int plan = missingPlan ? m_plan + 100 : m_plan;
        try {
            db::addScenario(c, scenario(plan, name, mass));
            QFAIL("the scenario was stored");
        } catch (const db::ScenarioError& e) {
            QVERIFY2(QString::fromStdString(e.what()).contains(message), e.what());
        }
        const auto list = db::listScenarios(c, m_plan);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].charge.chargeMassKg, 1000.0);
        // The same name on another plan is a different scenario.
        db::addScenario(c, scenario(m_otherPlan, QStringLiteral("Первый")));
    }

    // What another user did since the scenario was shown is never overwritten.
    void concurrentChangeIsDetected_data() {
        QTest::addColumn<QString>("otherUser"); // what the other user did first
        QTest::addColumn<bool>("ourDelete");    // then we delete (else we change the mass)
        for (const bool ourDelete : {false, true}) {
            const char* what = ourDelete ? "delete" : "change";
            for (const char* other : {"change", "rename", "delete"}) {
                QTest::addRow("%s after their %s", what, other)
                    << QString::fromLatin1(other) << ourDelete;
            }
        }
    }
    void concurrentChangeIsDetected() {
        QFETCH(QString, otherUser);
        QFETCH(bool, ourDelete);
        db::Connection c(m_connection);
        db::addScenario(c, scenario(m_plan, QStringLiteral("Первый")));
        const db::ScenarioRecord shown = *db::readScenario(c, m_plan, QStringLiteral("Первый"));

        db::ScenarioRecord theirs = shown;
        if (otherUser == QLatin1String("change")) {
            theirs.charge.chargeMassKg = 2000;
            db::changeScenario(c, shown, theirs);
        } else if (otherUser == QLatin1String("rename")) {
            theirs.name = QStringLiteral("Переименован");
            db::changeScenario(c, shown, theirs);
        } else {
            db::deleteScenario(c, shown);
        }
        const auto before = db::listScenarios(c, m_plan);

        db::ScenarioRecord ours = shown;
        ours.charge.chargeMassKg = 5;
        QVERIFY_THROWS_EXCEPTION(db::ScenarioConflictError,
                                 ourDelete ? db::deleteScenario(c, shown)
                                           : db::changeScenario(c, shown, ours));
        const auto after = db::listScenarios(c, m_plan);
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < after.size(); ++i) {
            QVERIFY(sameCharge(after[i], before[i]));
        }
        // Shown again as it is now, the user's change goes through.
        if (!after.isEmpty()) {
            ours = after[0];
            ours.charge.chargeMassKg = 5;
            db::changeScenario(c, after[0], ours);
            QCOMPARE(db::readScenario(c, m_plan, ours.name)->charge.chargeMassKg, 5.0);
        }
    }

    void renameToTakenNameIsRefused() {
        db::Connection c(m_connection);
        db::addScenario(c, scenario(m_plan, QStringLiteral("Первый"), 1));
        db::addScenario(c, scenario(m_plan, QStringLiteral("Второй"), 2));
        const auto shown = *db::readScenario(c, m_plan, QStringLiteral("Второй"));
        auto renamed = shown;
        renamed.name = QStringLiteral("Первый");
        QVERIFY_THROWS_EXCEPTION(db::ScenarioError, db::changeScenario(c, shown, renamed));
        QCOMPARE(db::readScenario(c, m_plan, QStringLiteral("Первый"))->charge.chargeMassKg, 1.0);
        QCOMPARE(db::readScenario(c, m_plan, QStringLiteral("Второй"))->charge.chargeMassKg, 2.0);
    }

    void deleteByName() {
        db::Connection c(m_connection);
        db::addScenario(c, scenario(m_plan, QStringLiteral("Первый")));
        QVERIFY_THROWS_EXCEPTION(db::ScenarioError,
                                 db::deleteScenario(c, m_plan, QStringLiteral("Нет такого")));
        db::deleteScenario(c, m_plan, QStringLiteral("Первый"));
        QVERIFY(db::listScenarios(c, m_plan).isEmpty());
    }

    // Deleting a plan, or replacing it with a new plan of its name, takes its scenarios along:
    // a later plan never inherits them.
    void planDeleteRemovesScenarios_data() {
        QTest::addColumn<bool>("replace");
        QTest::newRow("deleted") << false;
        QTest::newRow("replaced") << true;
    }
    void planDeleteRemovesScenarios() {
        QFETCH(bool, replace);
        db::Connection c(m_connection);
        db::addScenario(c, scenario(m_plan, QStringLiteral("Первый")));
        db::addScenario(c, scenario(m_otherPlan, QStringLiteral("Первый")));
        db::markScenarioUsed(c, m_plan, QStringLiteral("Первый"));
        if (replace) {
            const int again = db::createPlan(c, QStringLiteral("Склад"));
            QVERIFY(db::listScenarios(c, again).isEmpty());
        } else {
            db::deletePlan(c, m_plan);
        }
        QSqlQuery q =
            c.exec(QStringLiteral("select count(*) from Scenario where NumPM = ?"), {m_plan});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        QCOMPARE(db::listScenarios(c, m_otherPlan).size(), 1);
    }

    void lastUsedScenario() {
        db::Connection c(m_connection);
        QCOMPARE(db::lastUsedScenario(c, m_plan), std::nullopt);
        for (const char* name : {"Первый", "Второй", "Третий"}) {
            db::addScenario(c, scenario(m_plan, QString::fromUtf8(name)));
        }
        db::markScenarioUsed(c, m_plan, QStringLiteral("Третий"));
        db::markScenarioUsed(c, m_plan, QStringLiteral("Первый"));
        QCOMPARE(db::lastUsedScenario(c, m_plan), std::optional(QStringLiteral("Первый")));
        // Using it is no change of the scenario: what was shown before can still be changed.
        const auto shown = *db::readScenario(c, m_plan, QStringLiteral("Третий"));
        db::markScenarioUsed(c, m_plan, QStringLiteral("Третий"));
        auto changed = shown;
        changed.charge.chargeMassKg = 7;
        db::changeScenario(c, shown, changed);
        QCOMPARE(db::lastUsedScenario(c, m_plan), std::optional(QStringLiteral("Третий")));
        db::deleteScenario(c, m_plan, QStringLiteral("Третий"));
        QCOMPARE(db::lastUsedScenario(c, m_plan), std::optional(QStringLiteral("Первый")));
        QCOMPARE(db::lastUsedScenario(c, m_otherPlan), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestScenarios)
#include "tst_scenarios.moc"
