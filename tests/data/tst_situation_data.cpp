// What the site-plan situation reads from the database: the probit table held in memory.

#include "data/DataSource.h"
#include "data/DatabaseFile.h"
#include "data/ProbitPercentTable.h"
#include "data/ProbitTable.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kelmo;

namespace {

using ProbitRows = QList<QPair<double, double>>;

QString fileConnection(const QString& path) {
    return QStringLiteral("Provider=MSDASQL.1;Password=5926;Persist Security Info=True;"
                          "User ID=Admin;Data Source=MS Access Database;Initial Catalog=") +
           path;
}

} // namespace

class TestSituationData final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    // A database whose TProbit holds only the given rows.
    QString probitFixture(const ProbitRows& rows) {
        const QString path = m_dir->filePath(QStringLiteral("probit-fixture.db"));
        db::createDatabaseFile(path, true);
        db::Connection c(fileConnection(path));
        c.exec(QStringLiteral("delete from TProbit"));
        for (const auto& [probit, percent] : rows) {
            c.exec(QStringLiteral("insert into TProbit (Zn_Probit, Zn_Procent) values (?, ?)"),
                   {probit, percent});
        }
        return path;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QLocale::setDefault(QLocale::c());
    }

    // Every probit of the range, through memory and through the database queries: the same
    // percentage to the bit, in a locale with a decimal point and one with a comma.
    void sameAsTheDatabaseLookup_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("point") << QLocale::c();
        QTest::newRow("comma") << QLocale(QLocale::Russian, QLocale::Russia);
    }

    void sameAsTheDatabaseLookup() {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        const QString path = m_dir->filePath(QStringLiteral("bdKelmo.db"));
        db::createDatabaseFile(path, false);
        db::Connection connection(fileConnection(path));
        const ProbitPercentTable table = ProbitPercentTable::load(connection);
        int compared = 0;
        for (float probit = 2.6f; probit < 8.2f; probit += 0.0037f) {
            QCOMPARE(table.percent(probit), ProbitToPercent(probit, connection));
            ++compared;
        }
        for (const float exact : {2.67f, 2.68f, 5.0f, 5.25f, 8.08f, 8.09f}) {
            QCOMPARE(table.percent(exact), ProbitToPercent(exact, connection));
        }
        QVERIFY(compared > 1000);
    }

    void faultyTables_data() {
        QTest::addColumn<ProbitRows>("rows");
        QTest::addColumn<float>("probit");
        QTest::addColumn<QString>("messagePart");
        QTest::newRow("percentage above 100") << ProbitRows{{2.67, 1}, {5, 112}, {8.09, 99.9}}
                                              << 4.0f << QStringLiteral("от 0 до 100");
        QTest::newRow("negative percentage")
            << ProbitRows{{2.67, -1}, {8.09, 99.9}} << 4.0f << QStringLiteral("от 0 до 100");
        QTest::newRow("does not cover")
            << ProbitRows{{5, 50}, {8.09, 99.9}} << 4.0f << QStringLiteral("таблица неполна");
    }

    void faultyTables() {
        QFETCH(ProbitRows, rows);
        QFETCH(float, probit);
        QFETCH(QString, messagePart);
        db::Connection connection(fileConnection(probitFixture(rows)));
        try {
            const ProbitPercentTable table = ProbitPercentTable::load(connection);
            table.percent(probit);
            QFAIL("no error");
        } catch (const DatabaseError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(messagePart), e.what());
        }
    }
};

QTEST_GUILESS_MAIN(TestSituationData)
#include "tst_situation_data.moc"
