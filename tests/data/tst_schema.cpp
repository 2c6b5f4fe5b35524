// The schema version of an SQLite database: a database of an earlier version is upgraded when
// it is opened and keeps its rows; one the program cannot work with is refused and left byte
// for byte as it was; an upgrade that fails leaves the database as it was.

#include "data/DataSource.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/PlanPicture.h"
#include "data/Scenarios.h"
#include "data/SchemaVersion.h"
#include "data/SitePlan.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

using namespace kelmo;

namespace {

QString fileConnection(const QString& path) {
    return db::fileConnectionString(path);
}

QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

int count(db::Connection& c, const QString& sql) {
    QSqlQuery q = c.select(sql);
    return q.next() ? q.value(0).toInt() : -1;
}

// Each table and index with its statement, blanks folded: the shape of the database.
QStringList shape(const QString& path) {
    db::Connection c(fileConnection(path), db::SchemaCheck::None);
    QSqlQuery q = c.select(QStringLiteral("select type, name, sql from sqlite_master where name "
                                          "not like 'sqlite_%' order by type, name"));
    QStringList out;
    while (q.next()) {
        out << QStringLiteral("%1 %2: %3")
                   .arg(q.value(0).toString(), q.value(1).toString(),
                        q.value(2).toString().simplified());
    }
    return out;
}

db::PlanPicture picture() {
    db::PlanPicture p;
    p.bytes = QByteArrayLiteral("\x89PNG picture bytes");
    p.pixelX2 = 100;
    p.planX2 = 50;
    return p;
}

} // namespace

class TestSchema final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    // A database as the program wrote it before versions were kept: the six first tables
    // (with PlanPicture when a picture had been stored), version 0, and rows of the user's.
    // Version 1 added PlanPicture; version 2 the vertices of outlines and the plans'
    // coordinate systems; version 3 the scenarios kept with plans.
    QString olderDatabase(bool withPictures, int version = 0) {
        const QString path = m_dir->filePath(QStringLiteral("older.db"));
        db::createDatabaseFile(path, true);
        db::Connection c(fileConnection(path), db::SchemaCheck::None);
        if (!withPictures) {
            c.exec(QStringLiteral("DROP TABLE PlanPicture"));
        }
        if (version < 2) {
            c.exec(QStringLiteral("DROP TABLE StructureVertex"));
            c.exec(QStringLiteral("DROP TABLE PlanCrs"));
        }
        c.exec(QStringLiteral("DROP TABLE Scenario"));
        c.exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
        c.exec(QStringLiteral("insert into Explosives (VVName, VVPower) values ('Метка', 1234.5)"));
        c.exec(QStringLiteral("insert into MnuPM (MnuPM) values ('Склад')"));
        c.exec(QStringLiteral("insert into IDPM (NumPrim, NumSoor, Text2) select NumPM, 1, '7' "
                              "from MnuPM where MnuPM = 'Склад'"));
        return path;
    }

    static void setVersion(const QString& path, int version) {
        db::Connection c(fileConnection(path), db::SchemaCheck::None);
        c.exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    void newDatabaseHasTheVersion() {
        QVERIFY(db::currentSchemaVersion() >= 1);
        const QString path = m_dir->filePath(QStringLiteral("new.db"));
        db::createDatabaseFile(path, false);
        db::Connection c(fileConnection(path), db::SchemaCheck::None);
        QCOMPARE(db::schemaVersion(c), db::currentSchemaVersion());
    }

    void olderDatabaseIsUpgradedOnOpen_data() {
        QTest::addColumn<bool>("withPictures");
        QTest::addColumn<bool>("atStartUp");
        QTest::addColumn<int>("version");
        QTest::newRow("without the picture table") << false << false << 0;
        QTest::newRow("with the picture table") << true << false << 0;
        QTest::newRow("through start-up's connection test") << false << true << 0;
        QTest::newRow("version 1, without vertices") << true << false << 1;
        QTest::newRow("version 2, without scenarios") << true << false << 2;
    }

    void olderDatabaseIsUpgradedOnOpen() {
        QFETCH(bool, withPictures);
        QFETCH(bool, atStartUp);
        QFETCH(int, version);
        const QString path = olderDatabase(withPictures, version);
        if (atStartUp) {
            QString refusal;
            QVERIFY(testConnectionString(fileConnection(path), &refusal));
            QCOMPARE(refusal, QString());
        }
        {
            db::Connection c(fileConnection(path));
            QCOMPARE(db::schemaVersion(c), db::currentSchemaVersion());
            QCOMPARE(count(c, "select count(*) from Explosives where VVName = 'Метка' and "
                              "VVPower = 1234.5"),
                     1);
            QCOMPARE(count(c, "select count(*) from IDPM join MnuPM on NumPrim = NumPM where "
                              "MnuPM = 'Склад' and NumSoor = 1 and Text2 = '7'"),
                     1);
            QCOMPARE(count(c, "select count(*) from TProbit"), 543);
            const int plan = count(c, "select NumPM from MnuPM where MnuPM = 'Склад'");
            db::storePlanPicture(c, plan, picture());
            const auto stored = db::readPlanPicture(c, plan);
            QVERIFY(stored);
            QCOMPARE(stored->bytes, picture().bytes);

            // The upgraded plan takes outlines of vertices and a coordinate system.
            db::StructureRecord triangle;
            triangle.plan = plan;
            triangle.number = 2;
            db::setOutline(triangle, {{0, 0}, {10, 0}, {0, 10}});
            db::addStructure(c, triangle);
            QCOMPARE(db::readStructure(c, plan, 2), std::optional(triangle));
            db::setPlanCrs(c, plan, 32637);
            QCOMPARE(db::planCrs(c, plan), std::optional<int>(32637));

            // … and keeps scenarios.
            db::ScenarioRecord scenario;
            scenario.plan = plan;
            scenario.name = QStringLiteral("Склад №1");
            scenario.charge.chargeMassKg = 500;
            db::addScenario(c, scenario);
            QCOMPARE(db::listScenarios(c, plan).size(), 1);
        }
        // The upgrade makes what a new database has, no more and no less.
        const QString fresh = m_dir->filePath(QStringLiteral("fresh.db"));
        db::createDatabaseFile(fresh, false);
        QCOMPARE(shape(path), shape(fresh));
    }

    // A database the program cannot work with is refused with its reason, and nothing is
    // written to it.
    void refusedDatabaseIsLeftAsItWas_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("message");
        const int known = db::currentSchemaVersion();
        QTest::newRow("newer version")
            << "newer"
            << QStringList{QStringLiteral("более новой версией программы"),
                           QStringLiteral("версия её схемы %1").arg(known + 1),
                           QStringLiteral("не выше %1").arg(known), QStringLiteral("не изменена")};
        QTest::newRow("another program's database")
            << "foreign" << QStringList{QStringLiteral("нет таблиц программы"), "TProbit"};
        QTest::newRow("empty file")
            << "empty" << QStringList{QStringLiteral("нет таблиц программы"), "Explosives"};
    }

    void refusedDatabaseIsLeftAsItWas() {
        QFETCH(QString, kind);
        QFETCH(QStringList, message);
        const QString path = m_dir->filePath(QStringLiteral("refused.db"));
        if (kind == "newer") {
            db::createDatabaseFile(path, false);
            setVersion(path, db::currentSchemaVersion() + 1);
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            if (kind == "foreign") {
                db::Connection c(fileConnection(path), db::SchemaCheck::None);
                c.exec(QStringLiteral("create table Notes (Text TEXT)"));
                c.exec(QStringLiteral("insert into Notes values ('своё')"));
            }
        }
        const QByteArray before = fileHash(path);

        QString text;
        try {
            db::Connection c(fileConnection(path));
            QFAIL("the database was opened");
        } catch (const db::SchemaError& e) {
            text = QString::fromUtf8(e.what());
        }
        for (const QString& part : message) {
            QVERIFY2(text.contains(part), qPrintable(text));
        }
        QVERIFY2(text.contains(path), qPrintable(text));
        QString refusal;
        QVERIFY(!testConnectionString(fileConnection(path), &refusal));
        QCOMPARE(refusal, text);
        QCOMPARE(fileHash(path), before);
        QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
    }

    // The steps run in one transaction: when one fails, none of them stays.
    void failedUpgradeChangesNothing_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("a step fails after others ran") << "statement";
        QTest::newRow("another program holds the write lock") << "lock";
    }

    void failedUpgradeChangesNothing() {
        QFETCH(QString, fault);
        const QString path = olderDatabase(false);
        const QByteArray before = fileHash(path);
        QString text;
        if (fault == "statement") {
            std::vector<db::SchemaStep> steps = db::schemaSteps(db::Dialect::SQLite);
            const int next = steps.back().version + 1;
            steps.push_back({next,
                             {QStringLiteral("CREATE TABLE Extra (A INTEGER)"),
                              QStringLiteral("insert into Extra values (1)"),
                              QStringLiteral("insert into NoSuchTable values (1)")}});
            db::Connection c(fileConnection(path), db::SchemaCheck::None);
            try {
                db::upgradeSchema(c, steps);
                QFAIL("the upgrade went through");
            } catch (const db::SchemaError& e) {
                text = QString::fromUtf8(e.what());
            }
            QVERIFY2(text.contains(QStringLiteral("с версии схемы 0 до версии %1").arg(next)),
                     qPrintable(text));
        } else {
            // Another program is in the middle of writing: its lock outlasts the wait.
            const QString other = QStringLiteral("other-program");
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), other);
                db.setDatabaseName(path);
                QVERIFY(db.open());
                QVERIFY(QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE")));
                try {
                    db::Connection c(fileConnection(path));
                    QFAIL("the database was opened");
                } catch (const db::SchemaError& e) {
                    text = QString::fromUtf8(e.what());
                }
                QVERIFY(QSqlQuery(db).exec(QStringLiteral("ROLLBACK")));
                db.close();
            }
            QSqlDatabase::removeDatabase(other);
            QVERIFY2(text.contains(QStringLiteral("с версии схемы 0 до версии %1")
                                       .arg(db::currentSchemaVersion())),
                     qPrintable(text));
        }
        QVERIFY2(text.contains(QStringLiteral("Не удалось обновить базу данных")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("оставлена без изменений")), qPrintable(text));
        QCOMPARE(fileHash(path), before);
        db::Connection c(fileConnection(path), db::SchemaCheck::None);
        QCOMPARE(db::schemaVersion(c), 0);
        QCOMPARE(count(c, "select count(*) from sqlite_master where name in ('PlanPicture', "
                          "'Extra')"),
                 0);
    }
};

QTEST_MAIN(TestSchema)
#include "tst_schema.moc"
