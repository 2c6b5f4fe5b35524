// The database layer on the embedded SQLite file: connections, the reference data, the data
// source file, the probit table, the explosives catalogue and the point calculation.

#include "core/NameOrder.h"
#include "core/ProgramFolder.h"
#include "core/SafeFile.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/ExplosiveCatalogue.h"
#include "data/PointCalculation.h"
#include "data/ProbitTable.h"
#include "engine/ZoneRun.h"
#include "tests/support/Runs.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace kelmo;

namespace {

QByteArray fileHash(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestData : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;
    QString m_cs; // the connection string of the case

    // A database whose TProbit holds only the given rows.
    QString probitFixture(const QList<QPair<double, double>>& rows) {
        const QString path = m_dir->filePath("probit-fixture.db");
        db::createDatabaseFile(path, true);
        db::Connection c(db::fileConnectionString(path));
        c.exec("delete from TProbit");
        for (const auto& [probit, percent] : rows) {
            c.exec("insert into TProbit (Zn_Probit, Zn_Procent) values (?, ?)", {probit, percent});
        }
        return path;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        setProgramFolderForTesting(m_dir->path());
        m_db = m_dir->filePath("bdKelmo.db");
        db::createDatabaseFile(m_db, false);
        m_cs = defaultConnectionString();
        QLocale::setDefault(QLocale::c());
    }
    void cleanup() {
        QLocale::setDefault(QLocale::c());
        setProgramFolderForTesting({});
        m_dir.reset();
    }

    void connectionStrings() {
        const QString folder = QDir::toNativeSeparators(m_dir->path());
        QCOMPARE(defaultConnectionString(),
                 "Provider=MSDASQL.1;Password=5926;Persist Security Info=True;User ID=Admin;"
                 "Data Source=MS Access Database;Initial Catalog=" +
                     folder + "/bdKelmo.db");
        QCOMPARE(namedConnectionString("База данных MS Access"),
                 "Provider=MSDASQL.1;Password=5926;Persist Security Info=True;User ID=Admin;"
                 "Data Source='База данных MS Access';Mode=ReadWrite ;Initial Catalog=" +
                     folder + "/bdKelmo.db");
        QCOMPARE(namedConnectionStringNoMode("X"),
                 "Provider=MSDASQL.1;Password=5926;Persist Security Info=True;User ID=Admin;"
                 "Data Source='X';Initial Catalog=" +
                     folder + "/bdKelmo.db");
    }

    void parseConnection_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("odbc");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("file");
        const QString p =
            "Provider=MSDASQL.1;Password=5926;Persist Security Info=True;User ID=Admin;";
        QTest::newRow("standard") << p + "Data Source=MS Access Database;Initial Catalog=/a/b.db"
                                  << false << "MS Access Database"
                                  << "/a/b.db";
        QTest::newRow("named with blanks")
            << p + "Data Source='База данных MS Access';Mode=ReadWrite ;Initial Catalog=/a/b.db"
            << true << "База данных MS Access"
            << "/a/b.db";
        QTest::newRow("quoted standard name") << p + "Data Source='MS Access Database';Initial "
                                                     "Catalog=/a/b.db"
                                              << false << "MS Access Database"
                                              << "/a/b.db";
        QTest::newRow("folder with semicolon")
            << p + "Data Source=MS Access Database;Initial Catalog=/a;b/c.db" << false
            << "MS Access Database"
            << "/a;b/c.db";
    }
    void parseConnection() {
        QFETCH(QString, text);
        QFETCH(bool, odbc);
        QFETCH(QString, source);
        QFETCH(QString, file);
        const db::ConnectionSettings s = db::parseConnectionString(text);
        QCOMPARE(s.kind == db::ConnectionSettings::Kind::OdbcDsn, odbc);
        QCOMPARE(s.dataSource, source);
        QCOMPARE(s.file, file);
        QCOMPARE(s.user, QString("Admin"));
        QCOMPARE(s.password, QString("5926"));
    }

    void missingFileIsNeverCreated() {
        QFile::remove(m_db);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, db::Connection{m_cs});
        QVERIFY(!QFile::exists(m_db));
        QVERIFY(!testConnectionString(defaultConnectionString()));
        QVERIFY(!QFile::exists(m_db));
        QVERIFY(!TestDataSource(QString()));
    }

    void nestedConnectionsAndBoundValues() {
        db::Connection outer(m_cs);
        // A name with quotes must not break anything.
        const QString name = "Смесь 'А' \"Б\"; drop table Explosives";
        outer.exec("insert into Explosives (VVName, VVPower) values (?, ?)", {name, 1234.5});
        QSqlQuery rows = outer.select("select * from Explosives order by VVName asc");
        int count = 0;
        while (rows.next()) {
            ++count;
            db::Connection inner(m_cs);
            QSqlQuery match = inner.exec("select VVPower from Explosives where VVName = ?",
                                         {db::Connection::field(rows, "VVName")});
            QVERIFY(match.next());
            QCOMPARE(match.value(0).toDouble(), db::Connection::field(rows, "VVPower").toDouble());
        }
        QCOMPARE(count, 20);
    }

    void transactionRollsBackUnlessCommitted() {
        db::Connection c(m_cs);
        {
            db::Transaction t(c);
            c.exec("delete from Explosives");
        }
        QSqlQuery q = c.select("select count(*) from Explosives");
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 19);
        q.finish();
        {
            db::Transaction t(c);
            c.exec("insert into MnuPM (MnuPM) values (?)", {"План 1"});
            t.commit();
        }
        QSqlQuery plans = c.select("select NumPM from MnuPM");
        QVERIFY(plans.next());
        QCOMPARE(plans.value(0).toInt(), 1);
    }

    void errorsCarryTheDriverText() {
        db::Connection c(m_cs);
        try {
            c.select("select * from NoSuchTable");
            QFAIL("no error");
        } catch (const DatabaseError& e) {
            QVERIFY(e.driverText().contains("NoSuchTable"));
            QVERIFY(QString::fromUtf8(e.what()).contains("NoSuchTable"));
        }
        QSqlQuery q = c.select("select * from TProbit");
        QVERIFY(q.next());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, db::Connection::field(q, "NoSuchField"));
    }

    void databaseFile() {
        // An existing file is kept unless forced.
        const QByteArray before = fileHash(m_db);
        {
            db::Connection c(m_cs);
            c.exec("delete from Explosives");
        }
        const QByteArray edited = fileHash(m_db);
        QVERIFY(before != edited);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, db::createDatabaseFile(m_db, false));
        QCOMPARE(fileHash(m_db), edited);
        db::createDatabaseFile(m_db, true);

        db::Connection c(m_cs);
        const auto count = [&](const QString& table) {
            QSqlQuery q = c.select("select count(*) from " + table);
            q.next();
            return q.value(0).toInt();
        };
        QCOMPARE(count("Explosives"), 19);
        QCOMPARE(count("BTypes"), 4);
        QCOMPARE(count("BSubTypes"), 22);
        QCOMPARE(count("MnuPM"), 0);
        QCOMPARE(count("IDPM"), 0);
        QCOMPARE(count("TProbit"), 543);
        QSqlQuery ends = c.select("select min(Zn_Probit), max(Zn_Probit) from TProbit");
        QVERIFY(ends.next());
        QCOMPARE(ends.value(0).toDouble(), 2.67);
        QCOMPARE(ends.value(1).toDouble(), 8.09);
        ends.finish();
        QSqlQuery tnt = c.exec("select VVPower from Explosives where VVName = ?", {"Тротил (ТНТ)"});
        QVERIFY(tnt.next());
        QCOMPARE(tnt.value(0).toDouble(), 4520.0);
        QVERIFY(QDir(m_dir->path()).entryList(QDir::Hidden | QDir::Files).filter(".tmp").isEmpty());
    }

    // Another program holds a write transaction on the database: replacing the file would
    // let it commit into a file that no longer has a name. The replacement is refused and
    // the other program's rows land in the file.
    void replacingDatabaseInUse() {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other-program");
        other.setDatabaseName(m_db);
        QVERIFY(other.open());
        {
            QSqlQuery q(other);
            QVERIFY(q.exec("BEGIN IMMEDIATE"));
            QVERIFY(q.exec("insert into Explosives (VVName, VVPower) values ('Новое ВВ', 1234)"));
            try {
                db::createDatabaseFile(m_db, true);
                QFAIL("a database in use must not be replaced");
            } catch (const DatabaseError& e) {
                QVERIFY2(QString::fromUtf8(e.what()).contains("используется"), e.what());
            }
            QVERIFY(q.exec("COMMIT"));
        }
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase("other-program");
        {
            db::Connection c(m_cs);
            QSqlQuery q = c.select("select VVPower from Explosives where VVName = 'Новое ВВ'");
            QVERIFY(q.next());
        }
        // Free again: replaced, and the new file has the delivered rows only.
        db::createDatabaseFile(m_db, true);
        db::Connection c(m_cs);
        QSqlQuery q = c.select("select count(*) from Explosives");
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 19);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Hidden | QDir::Files),
                 QStringList{"bdKelmo.db"});
    }

    // A file that is no database is replaced when forced; a path that names no file is not.
    void replacingDatabaseFileKinds() {
        const QString junk = m_dir->filePath("junk.db");
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, 'j'));
        f.close();
        db::createDatabaseFile(junk, true);
        QVERIFY(QFileInfo(junk).size() > 10000);

        for (const QString& bad : {QString(), m_dir->filePath("sub/")}) {
            QVERIFY_THROWS_EXCEPTION(Error, db::createDatabaseFile(bad, true));
        }
        QVERIFY(!QFileInfo::exists(m_dir->filePath("sub")));
    }

    void standardProbitTable() {
        const auto rows = db::standardProbitTable();
        QCOMPARE(rows.size(), std::size_t(543));
        QCOMPARE(rows.front().probit, 2.67);
        QCOMPARE(rows.back().probit, 8.09);
        QCOMPARE(std::round(rows.front().percent * 100) / 100, 0.99); // 2.67 is 1 %
        QCOMPARE(std::round(rows.back().percent * 10) / 10, 99.9);    // 8.09 is 99.9 %
        QCOMPARE(rows[233].probit, 5.0);
        QCOMPARE(rows[233].percent, 50.0);
        QCOMPARE(std::round(rows[333].percent * 100) / 100, 84.13); // one sigma
    }

    void dataSourceFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << QByteArray() << false << QString();
        QTest::newRow("empty") << QByteArray() << true << QString();
        QTest::newRow("bare") << QByteArray("Kelmo DSN") << true << "Kelmo DSN";
        QTest::newRow("line break") << QByteArray("Kelmo DSN\n") << true << "Kelmo DSN";
        QTest::newRow("crlf and more") << QByteArray("Kelmo DSN\r\nother") << true << "Kelmo DSN";
        QTest::newRow("cyrillic") << QString("База данных MS Access").toUtf8() << true
                                  << "База данных MS Access";
    }
    void dataSourceFile() {
        QFETCH(QByteArray, content);
        QFETCH(bool, exists);
        QFETCH(QString, name);
        if (exists) {
            QFile f(userFile("Data Source.txt"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QCOMPARE(readDataSourceName(), name);
    }

    void dataSourceIsWrittenBare() {
        QVERIFY(writeDataSourceName("Новый DSN"));
        QFile f(userFile("Data Source.txt"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QString("Новый DSN").toUtf8());
    }

    void dataSourceOnFullDisk() {
        QVERIFY(writeDataSourceName("Старый DSN"));
        setDiskSpaceForTesting(3);
        const bool written = writeDataSourceName("Новый DSN");
        setDiskSpaceForTesting(-1);
        QVERIFY(!written);
        QCOMPARE(readDataSourceName(), QString("Старый DSN"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Hidden | QDir::Files, QDir::Name),
                 (QStringList{"Data Source.txt", "bdKelmo.db"}));
    }

    void probitToPercent_data() {
        QTest::addColumn<float>("probit");
        QTest::addColumn<double>("percent");
        const auto rows = db::standardProbitTable();
        const auto at = [&](double y) {
            return std::find_if(rows.begin(), rows.end(), [&](auto& r) { return r.probit == y; })
                ->percent;
        };
        QTest::newRow("upper threshold") << 8.09f << 100.0;
        QTest::newRow("above") << 12.0f << 100.0;
        QTest::newRow("lower threshold") << 2.67f << 0.0;
        QTest::newRow("below") << -10.3f << 0.0;
        QTest::newRow("table row 5") << 5.0f << 50.0;
        QTest::newRow("table row 5.25") << 5.25f << at(5.25);
        QTest::newRow("table row 3.1") << 3.1f << at(3.1);
        QTest::newRow("just below top")
            << std::nextafter(8.09f, 0.0f)
            << at(8.08) + (at(8.09) - at(8.08)) * (double(std::nextafter(8.09f, 0.0f)) - 8.08) /
                              (8.09 - 8.08);
        QTest::newRow("halfway") << 6.125f << (at(6.12) + at(6.13)) / 2;
    }
    void probitToPercent() {
        QFETCH(float, probit);
        QFETCH(double, percent);
        db::Connection c(m_cs);
        QVERIFY(std::abs(ProbitToPercent(probit, c) - percent) < 1e-9);
    }

    void probitClampsMakeNoQuery() {
        m_cs = db::fileConnectionString(probitFixture({}));
        db::Connection c(m_cs);
        QCOMPARE(ProbitToPercent(8.09f, c), 100.0);
        QCOMPARE(ProbitToPercent(2.67f, c), 0.0);
        // Just inside the range the empty table is an error, never a made-up number.
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ProbitToPercent(std::nextafter(8.09f, 0.0f), c));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ProbitToPercent(std::nextafter(2.67f, 9.0f), c));
    }

    void probitFixtures() {
        m_cs = db::fileConnectionString(
            probitFixture({{5.0, 40.0}, {5.1, 40.0}, {5.2, 60.0}, {5.3, 61.0}}));
        db::Connection c(m_cs);
        QCOMPARE(ProbitToPercent(5.05f, c), 40.0); // rows with one percentage
        // The probit itself, not its text, is interpolated.
        QCOMPARE(ProbitToPercent(5.15f, c), 40.0 + 20.0 * (double(5.15f) - 5.1) / (5.2 - 5.1));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ProbitToPercent(5.5f, c));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ProbitToPercent(4.9f, c));
    }

    // A table edited to hold impossible percentages is refused, never passed on.
    void probitPercentOutsideRange_data() {
        QTest::addColumn<double>("percent");
        QTest::newRow("above 100") << 112.0;
        QTest::newRow("below 0") << -3.0;
    }
    void probitPercentOutsideRange() {
        QFETCH(double, percent);
        db::Connection c(db::fileConnectionString(probitFixture({{5.0, 40.0}, {5.2, percent}})));
        try {
            ProbitToPercent(5.1f, c);
            QFAIL("a percentage outside 0..100 must be refused");
        } catch (const DatabaseError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains("от 0 до 100"), e.what());
        }
        QCOMPARE(ProbitToPercent(5.0f, c), 40.0); // a sound row still reads
    }

    void probitLiteralIgnoresLocale() {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(probitLiteral(5.25f), QString("5.25"));
        QCOMPARE(probitLiteral(7.333333f), QString("7.333333"));
        db::Connection c(m_cs);
        QCOMPARE(ProbitToPercent(5.25f, c), db::standardProbitTable()[258].percent);
    }

    void catalogue() {
        db::Connection c(m_cs);
        const QStringList names = explosiveNames(c);
        QCOMPARE(names.size(), 19);
        QVERIFY(std::is_sorted(names.begin(), names.end(), NameOrder()));
        QCOMPARE(explosiveHeat(c, "Тротил (ТНТ)"), std::optional<double>(4520));
        // Exact names only: no prefix, no case-folding, no trailing blank.
        for (const char* other : {"Нет такого", "Тротил", "тротил (тнт)", "Тротил (ТНТ) "}) {
            QVERIFY2(!explosiveHeat(c, QString::fromUtf8(other)), other);
        }
        c.exec("insert into Explosives (VVName, VVPower) values (?, ?)", {"Дробное", 4312.5});
        QCOMPARE(explosiveHeat(c, "Дробное"), std::optional<double>(4312.5));

        c.exec("delete from Explosives");
        QVERIFY(explosiveNames(c).isEmpty());
    }

    void pointCalculation() {
        const PercentLookup percents = probitsToPercentLookup(m_cs);
        auto s = test::stateAfterRun(1000);
        QVERIFY(s->pointCount > 2);

        const double last = s->profile.row(s->pointCount - 1).r;
        for (const double d : {0.5, s->profile.row(s->pointCount).r, std::nan("")}) {
            s->deltaPkPa = -1;
            QVERIFY_THROWS_EXCEPTION(PointRangeError,
                                     calculatePoint(*s, {d, Placement::Air, 70}, percents));
            QCOMPARE(s->deltaPkPa, -1.0);
        }
        QVERIFY(pointInRange(*s, 1));
        QVERIFY(pointInRange(*s, last));

        const PointResult air = calculatePoint(*s, {50, Placement::Air, 70}, percents);
        QCOMPARE(air.deltaPkPa, s->deltaPkPa);
        QCOMPARE(air.deltaPkPa, air.deltaPkgf * 98.0655);
        QCOMPARE(air.probitHeavy, float(5 - 0.26 * std::log(air.ptArgHeavy)));
        QCOMPARE(air.probitTotal, float(5 - 0.22 * std::log(air.ptArgTotal)));
        QCOMPARE(air.probitPeople, float(5 - 5.74 * std::log(air.ptArgPeople)));
        QCOMPARE(air.ptRelPressure, air.deltaPkPa * 1000 / 101315);
        QVERIFY(std::abs(air.ptArgPeople - (4.2 / air.ptRelPressure + 1.3 / air.ptRelImpulse)) <
                1e-12 * air.ptArgPeople);
        {
            db::Connection c(m_cs);
            QCOMPARE(air.percentHeavy, ProbitToPercent(air.probitHeavy, c));
            QCOMPARE(air.percentTotal, ProbitToPercent(air.probitTotal, c));
            QCOMPARE(air.percentPeople, ProbitToPercent(air.probitPeople, c));
        }
        QVERIFY(air.percentHeavy > 0 && air.percentHeavy < 100);

        const PointResult ground = calculatePoint(*s, {50, Placement::Ground, 70}, percents);
        QVERIFY(ground.deltaPkPa > air.deltaPkPa);
        const PointResult near = calculatePoint(*s, {1, Placement::Air, 70}, percents);
        QCOMPARE(near.percentHeavy, 100.0);

        // A database failure comes after the state is written, as an error of its own.
        QFile::remove(m_db);
        QVERIFY_THROWS_EXCEPTION(DatabaseError,
                                 calculatePoint(*s, {60, Placement::Air, 70}, percents));
    }
};

QTEST_MAIN(TestData)
#include "tst_data.moc"
