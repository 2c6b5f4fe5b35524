// What the site-plan situation reads from the database: the probit table held in memory.

#include "data/BulkRows.h"
#include "data/DataSource.h"
#include "data/DatabaseFile.h"
#include "data/ProbitPercentTable.h"
#include "data/ProbitTable.h"
#include "data/SitePlan.h"
#include "data/SituationPlan.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
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

    // A plan "Склад" with the given structures: (number, staff, corners x1 y1 … x4 y4 as text,
    // weak … complete thresholds or null).
    QString planFixture(const QList<QVariantList>& structures) {
        const QString path = m_dir->filePath(QStringLiteral("plan-fixture.db"));
        db::createDatabaseFile(path, true);
        db::Connection c(fileConnection(path));
        c.exec(QStringLiteral("insert into MnuPM (MnuPM) values ('Другой')"));
        c.exec(QStringLiteral("insert into MnuPM (MnuPM) values ('Склад')"));
        for (const QVariantList& row : structures) {
            QVariantList values{QStringLiteral("Склад")};
            values += row;
            c.exec(QStringLiteral(
                       "insert into IDPM (NumPrim, NumSoor, Combo2, Combo3, Text1, Text2, "
                       "txtX1, txtY1, txtX2, txtY2, txtX3, txtY3, txtX4, txtY4, "
                       "txtSla, txtSre, txtSul, txtPol) select NumPM, ?, 'Здания', 'Кирпичные', "
                       "'2', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? from MnuPM where MnuPM = ?"),
                   [&values] {
                       QVariantList ordered = values.mid(1);
                       ordered.append(values.first());
                       return ordered;
                   }());
        }
        // A structure of the other plan must not be read.
        c.exec(QStringLiteral("insert into IDPM (NumPrim, NumSoor, Text2) select NumPM, 1, '99' "
                              "from MnuPM where MnuPM = 'Другой'"));
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

    void planRecordsAsNumbers() {
        const QVariant null;
        const QString path = planFixture({
            {2, QStringLiteral("15"), "10,5", "0", "20.5", "0", "20.5", "-8,25", "10,5", "-8,25",
             10, 20, 30, 40},
            {1, QStringLiteral("много"), "0", "0", "1", "0", "1", "1", "0", "1", null, 0, null,
             null},
            {3, QStringLiteral("-2"), "0", "0", "x", "0", "1", "1", "0", "1", 5, null, null, 7},
        });
        db::Connection connection(fileConnection(path));
        const SituationPlan plan = loadSituationPlan(connection, QStringLiteral("Склад"));
        QCOMPARE(plan.number, 2);
        QCOMPARE(plan.structures.size(), std::size_t{3});

        const StructureRecord& first = plan.structures[0];
        QCOMPARE(first.number, 1);
        QVERIFY(first.staffUnreadable);
        QCOMPARE(first.staff, 0);
        QVERIFY(!first.outlineUnreadable);
        QVERIFY(std::isnan(first.thresholds.weak));
        QCOMPARE(first.thresholds.medium, 0.0);
        QCOMPARE(first.type, std::string("Здания"));

        const StructureRecord& second = plan.structures[1];
        QCOMPARE(second.number, 2);
        QCOMPARE(second.staff, 15);
        QVERIFY(!second.staffUnreadable);
        QCOMPARE(second.outline[0].x, 10.5);
        QCOMPARE(second.outline[1].x, 20.5);
        QCOMPARE(second.outline[2].y, -8.25);
        QCOMPARE(second.thresholds.complete, 40.0);

        const StructureRecord& third = plan.structures[2];
        QVERIFY(third.outlineUnreadable);
        QVERIFY(third.staffUnreadable);
    }

    // Outlines of vertices are read from their rows, each to its own structure, whatever the
    // corner fields hold; four corners from the corner fields.
    void outlinesOfVertices() {
        const QString path = m_dir->filePath(QStringLiteral("outlines.db"));
        db::createDatabaseFile(path, true);
        db::Connection c(fileConnection(path));
        const int other = db::createPlan(c, QStringLiteral("Другой"));
        const int plan = db::createPlan(c, QStringLiteral("Склад"));
        const std::vector<StructureOutline> outlines{
            {{0, 0}, {30, 0}, {30, 10}, {10, 10}, {10, 30}, {0, 30}},
            {{1, 1}, {1, 2}, {2, 2}, {2, 1}},
            {{0, 0}, {10, 0}, {0, 10}},
            {{5, 0}, {3, 4}, {-2, 5}, {-5, 1}, {-4, -3}, {0, -5}, {4, -3}},
        };
        for (const int p : {other, plan}) {
            QList<db::StructureRecord> records;
            for (std::size_t i = 0; i < outlines.size(); ++i) {
                db::StructureRecord r;
                // The other plan's outlines lie elsewhere: they must not be mixed in.
                StructureOutline outline = outlines[(i + (p == other ? 1 : 0)) % outlines.size()];
                for (PlanPoint& v : outline) {
                    v.x += p == other ? 1000 : 0;
                }
                db::setOutline(r, outline);
                records.append(r);
            }
            db::appendStructures(c, p, records);
        }
        const SituationPlan loaded = loadSituationPlan(c, QStringLiteral("Склад"));
        QCOMPARE(loaded.structures.size(), outlines.size());
        for (std::size_t i = 0; i < outlines.size(); ++i) {
            QCOMPARE(loaded.structures[i].number, static_cast<int>(i) + 1);
            QVERIFY(!loaded.structures[i].outlineUnreadable);
            QCOMPARE(loaded.structures[i].outline, outlines[i]);
        }
    }

    void unknownPlan() {
        db::Connection connection(fileConnection(planFixture({})));
        QVERIFY_THROWS_EXCEPTION(PlanNotFoundError,
                                 loadSituationPlan(connection, QStringLiteral("Нет такого")));
    }

    // The server's rows as one text: values split as the server quoted them, and a text of
    // any other shape (a driver that cut it short, a changed format) refused rather than
    // read as fewer or other values.
    void rowsOfOneText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rows"); // values joined by '|', rows by '/'; null as '∅'
        QTest::newRow("plain") << QStringLiteral("{1,a,b},{2,c,d}")
                               << QStringLiteral("1|a|b/2|c|d");
        QTest::newRow("quoted") << QStringLiteral("{1,\"a,b\",\"x \\\"y\\\" \\\\z\"},{2,\"\",NULL}")
                                << QStringLiteral("1|a,b|x \"y\" \\z/2||∅");
        QTest::newRow("null as text")
            << QStringLiteral("{1,\"NULL\",null}") << QStringLiteral("1|NULL|∅");
        QTest::newRow("braces and lines")
            << QStringLiteral("{1,\"}{\",\"две\nстроки\"}") << QStringLiteral("1|}{|две\nстроки");
        QTest::newRow("no rows") << QString() << QString();
        QTest::newRow("cut inside a quote") << QStringLiteral("{1,a,\"b") << QString();
        QTest::newRow("cut after a value") << QStringLiteral("{1,a,b},{2,c") << QString();
        QTest::newRow("too few values") << QStringLiteral("{1,a}") << QString();
        QTest::newRow("too many values") << QStringLiteral("{1,a,b,c}") << QString();
        QTest::newRow("empty unquoted") << QStringLiteral("{1,,b}") << QString();
        QTest::newRow("nested") << QStringLiteral("{1,{a},b}") << QString();
        QTest::newRow("no separator") << QStringLiteral("{1,a,b}{2,c,d}") << QString();
    }

    void rowsOfOneText() {
        QFETCH(QString, text);
        QFETCH(QString, rows);
        const bool refused = !text.isEmpty() && rows.isEmpty();
        db::ArrayRowsText split(text, 3);
        QStringList read;
        QVariantList row;
        try {
            while (split.next(row)) {
                QStringList values;
                for (const QVariant& v : row) {
                    values << (v.isNull() ? QStringLiteral("∅") : v.toString());
                }
                read << values.join(u'|');
            }
        } catch (const DatabaseError& e) {
            QVERIFY2(refused, e.what());
            QVERIFY(QString::fromUtf8(e.what()).startsWith(QStringLiteral("Ошибка чтения")));
            return;
        }
        QVERIFY2(!refused, qPrintable(read.join(u'/')));
        QCOMPARE(read.join(u'/'), rows);
    }

    void staffText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: not a staff number
        QTest::newRow("whole") << QStringLiteral("25") << 25;
        QTest::newRow("blanks") << QStringLiteral(" 7 ") << 7;
        QTest::newRow("zero") << QStringLiteral("0") << 0;
        QTest::newRow("empty") << QString() << -1;
        QTest::newRow("fraction") << QStringLiteral("2,5") << -1;
        QTest::newRow("negative") << QStringLiteral("-1") << -1;
        QTest::newRow("words") << QStringLiteral("десять") << -1;
        QTest::newRow("too large") << QStringLiteral("3000000000") << -1;
    }

    void staffText() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(staffFromText(text).value_or(-1), expected);
    }
};

QTEST_GUILESS_MAIN(TestSituationData)
#include "tst_situation_data.moc"
