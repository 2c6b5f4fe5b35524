// kelmo-calc scenario and situation --scenario / --all-scenarios as a script would use them.

#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "reports/DocxPackage.h"
#include "tests/support/CalcRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using Result = kelmo::test::CalcResult;

using kelmo::test::runCalc;

QJsonObject json(const Result& r) {
    return QJsonDocument::fromJson(r.out).object();
}

QString str(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

class TestScenarioCli final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;

    Result calc(const QString& command, const QStringList& more) const {
        QStringList a{command};
        if (command == QLatin1String("scenario")) {
            a << more.first() << QStringLiteral("--db") << m_db << more.mid(1);
        } else {
            a << QStringLiteral("--db") << m_db << more;
        }
        return runCalc(a);
    }

    void add(const QString& plan, const QString& name, const QStringList& charge) {
        const Result r = calc(QStringLiteral("scenario"),
                              QStringList{QStringLiteral("add"), QStringLiteral("--plan"), plan,
                                          QStringLiteral("--name"), name} +
                                  charge);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    }

private slots:
    // A plan "Склад": building 1 (thresholds 10 … 40 kPa) between x = 0 and 10, building 2
    // (no thresholds) between x = 200 and 210. Scenario "А дальний" stands 40 m west of
    // building 1, "Б ближний" 30 m west of it: building 1 is destroyed completely by both, so
    // the tie on degree is broken by the pressure; "В восточный" stands beside building 2.
    void initTestCase() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_db = m_dir->filePath(QStringLiteral("plans.db"));
        kelmo::db::createDatabaseFile(m_db, false);
        kelmo::db::Connection c(kelmo::db::fileConnectionString(m_db));
        c.exec(QStringLiteral("insert into MnuPM (MnuPM) values ('Склад'), ('Без сценариев')"));
        const QString insert = QStringLiteral(
            "insert into IDPM (NumPrim, NumSoor, Combo2, Combo3, Text1, Text2, txtX1, txtY1, "
            "txtX2, txtY2, txtX3, txtY3, txtX4, txtY4, txtSla, txtSre, txtSul, txtPol) "
            "select NumPM, ?, 'Здания', 'Кирпичные', '2', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? "
            "from MnuPM where MnuPM = ?");
        const QVariant null;
        for (const char* plan : {"Склад", "Без сценариев"}) {
            c.exec(insert, {1, "40", "0", "0", "0", "10", "10", "10", "10", "0", 10, 20, 30, 40,
                            str(plan)});
            c.exec(insert, {2, "10", "200", "0", "200", "10", "210", "10", "210", "0", null, null,
                            null, null, str(plan)});
        }
    }

    void addAndList() {
        add(str("Склад"), str("А дальний"),
            {"--mass", "1000", "--x", "-40", "--y", "5", "--heat-mol", "900", "--molar-mass",
             "227,13", "--air", "--body-mass", "80"});
        add(str("Склад"), str("Б ближний"), {"--mass", "1000", "--x", "-30", "--y", "5"});
        add(str("Склад"), str("В восточный"), {"--mass", "500", "--x", "215", "--y", "5"});

        // A name taken in the plan: exit 1, the stored scenario unchanged.
        const Result taken = calc(QStringLiteral("scenario"),
                                  {"add", "--plan", str("Склад"), "--name", str("Б ближний"),
                                   "--mass", "1", "--x", "0", "--y", "0"});
        QCOMPARE(taken.exitCode, 1);
        QVERIFY2(taken.err.contains(str("уже есть")), qPrintable(taken.err));
        // An unknown plan.
        QCOMPARE(calc(QStringLiteral("scenario"), {"add", "--plan", str("Нет"), "--name", "x",
                                                   "--mass", "1", "--x", "0", "--y", "0"})
                     .exitCode,
                 1);

        const Result list =
            calc(QStringLiteral("scenario"), {"list", "--plan", str("Склад"), "--format", "json"});
        QVERIFY2(list.exitCode == 0, qPrintable(list.err));
        const QJsonArray scenarios = json(list)[QStringLiteral("scenarios")].toArray();
        QCOMPARE(scenarios.size(), 3);
        const QJsonObject first = scenarios[0].toObject();
        QCOMPARE(first[QStringLiteral("name")].toString(), str("А дальний"));
        QCOMPARE(first[QStringLiteral("heatMol")].toDouble(), 900.0);
        QCOMPARE(first[QStringLiteral("molarMass")].toDouble(), 227.13);
        QCOMPARE(first[QStringLiteral("placement")].toString(), QStringLiteral("air"));
        QCOMPARE(first[QStringLiteral("x")].toDouble(), -40.0);
        QCOMPARE(first[QStringLiteral("bodyMass")].toDouble(), 80.0);
        QCOMPARE(scenarios[1].toObject()[QStringLiteral("massTNT")].toDouble(), 1000.0);
        QCOMPARE(scenarios[1].toObject()[QStringLiteral("placement")].toString(),
                 QStringLiteral("ground"));
    }

    // --scenario gives what the same charge typed as options gives.
    void oneScenarioAsTyped() {
        const Result fromScenario = calc(QStringLiteral("situation"),
                                         {"--plan", str("Склад"), "--scenario", str("А дальний")});
        QVERIFY2(fromScenario.exitCode == 0, qPrintable(fromScenario.err));
        const Result typed =
            calc(QStringLiteral("situation"),
                 {"--plan", str("Склад"), "--mass", "1000", "--x", "-40", "--y", "5", "--heat-mol",
                  "900", "--molar-mass", "227.13", "--air", "--body-mass", "80"});
        QVERIFY2(typed.exitCode == 0, qPrintable(typed.err));
        QCOMPARE(json(fromScenario), json(typed));
        // The charge is the scenario's: typing one besides it is refused.
        QCOMPARE(calc(QStringLiteral("situation"),
                      {"--plan", str("Склад"), "--scenario", str("А дальний"), "--mass", "5"})
                     .exitCode,
                 2);
    }

    // Every structure row is its worst case, field for field as that scenario alone gives it,
    // and names the scenario.
    void worstCaseOfAllScenarios() {
        const Result all =
            calc(QStringLiteral("situation"), {"--plan", str("Склад"), "--all-scenarios"});
        QVERIFY2(all.exitCode == 0, qPrintable(all.err));
        const QJsonObject o = json(all);
        const QJsonArray rows = o[QStringLiteral("structures")].toArray();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].toObject()[QStringLiteral("scenario")].toString(), str("Б ближний"));
        QCOMPARE(rows[1].toObject()[QStringLiteral("scenario")].toString(), str("В восточный"));

        QMap<QString, QJsonObject> alone;
        const QJsonArray scenarios = o[QStringLiteral("scenarios")].toArray();
        QCOMPARE(scenarios.size(), 3);
        for (const QJsonValue& v : scenarios) {
            const QString name = v.toObject()[QStringLiteral("name")].toString();
            const Result one =
                calc(QStringLiteral("situation"), {"--plan", str("Склад"), "--scenario", name});
            QVERIFY2(one.exitCode == 0, qPrintable(one.err));
            alone[name] = json(one);
            QCOMPARE(v.toObject()[QStringLiteral("totals")], alone[name][QStringLiteral("totals")]);
            QCOMPARE(v.toObject()[QStringLiteral("x")], alone[name][QStringLiteral("x")]);
            QCOMPARE(v.toObject()[QStringLiteral("massTNT")],
                     alone[name][QStringLiteral("massTNT")]);
        }
        // Building 1 is destroyed completely by both western charges: the nearer one wins.
        const auto rowOf = [&](const char* name, int i) {
            return alone[str(name)][QStringLiteral("structures")].toArray()[i].toObject();
        };
        QCOMPARE(rowOf("А дальний", 0)[QStringLiteral("degree")].toInt(), 4);
        QCOMPARE(rowOf("Б ближний", 0)[QStringLiteral("degree")].toInt(), 4);
        for (int i = 0; i < 2; ++i) {
            QJsonObject worst = rows[i].toObject();
            const QString name = worst.take(QStringLiteral("scenario")).toString();
            QCOMPARE(worst, rowOf(name.toUtf8().constData(), i));
        }
        const QJsonObject totals = o[QStringLiteral("totals")].toObject();
        QCOMPARE(totals[QStringLiteral("injured")].toDouble(),
                 rowOf("Б ближний", 0)[QStringLiteral("injured")].toDouble() +
                     rowOf("В восточный", 1)[QStringLiteral("injured")].toDouble());

        const Result csv = calc(QStringLiteral("situation"),
                                {"--plan", str("Склад"), "--all-scenarios", "--format", "csv"});
        QVERIFY2(csv.exitCode == 0, qPrintable(csv.err));
        const QList<QByteArray> lines = csv.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].endsWith(",scenario"));
        QVERIFY(lines[1].endsWith(QStringLiteral(",\"Б ближний\"").toUtf8()));

        // The report and the table of the worst case, as the window writes them; the map
        // files are for one charge.
        const QString docx = m_dir->filePath(QStringLiteral("worst.docx"));
        const QString xlsx = m_dir->filePath(QStringLiteral("worst.xlsx"));
        const Result documents =
            calc(QStringLiteral("situation"),
                 {"--plan", str("Склад"), "--all-scenarios", "--docx", docx, "--xlsx", xlsx});
        QVERIFY2(documents.exitCode == 0, qPrintable(documents.err));
        QCOMPARE(documents.out, all.out);
        const QByteArray report = kelmo::docx::readPackage(docx).value("word/document.xml");
        QVERIFY(report.contains(QStringLiteral("сценарий «Б ближний»").toUtf8()));
        QVERIFY(report.contains(QStringLiteral("В восточный").toUtf8()));
        const QByteArray table = kelmo::docx::readPackage(xlsx).value("xl/sharedStrings.xml");
        QVERIFY(table.contains(QStringLiteral("В восточный").toUtf8()));
        const Result map =
            calc(QStringLiteral("situation"), {"--plan", str("Склад"), "--all-scenarios", "--svg",
                                               m_dir->filePath(QStringLiteral("worst.svg"))});
        QCOMPARE(map.exitCode, 2);
    }

    void planWithoutScenarios() {
        const Result r =
            calc(QStringLiteral("situation"), {"--plan", str("Без сценариев"), "--all-scenarios"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(str("нет сценариев")), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }

    // A deleted scenario is gone for --scenario, for the list and for the worst case.
    void deletedScenario() {
        add(str("Склад"), str("Г временный"), {"--mass", "5000", "--x", "-12", "--y", "5"});
        Result all = calc(QStringLiteral("situation"), {"--plan", str("Склад"), "--all-scenarios"});
        QCOMPARE(json(all)[QStringLiteral("structures")]
                     .toArray()[0]
                     .toObject()[QStringLiteral("scenario")]
                     .toString(),
                 str("Г временный"));

        const Result del = calc(QStringLiteral("scenario"),
                                {"delete", "--plan", str("Склад"), "--name", str("Г временный")});
        QVERIFY2(del.exitCode == 0, qPrintable(del.err));
        const Result again = calc(QStringLiteral("scenario"),
                                  {"delete", "--plan", str("Склад"), "--name", str("Г временный")});
        QCOMPARE(again.exitCode, 1);

        const Result one = calc(QStringLiteral("situation"),
                                {"--plan", str("Склад"), "--scenario", str("Г временный")});
        QCOMPARE(one.exitCode, 1);
        QVERIFY2(one.err.contains(str("нет сценария «Г временный»")), qPrintable(one.err));
        all = calc(QStringLiteral("situation"), {"--plan", str("Склад"), "--all-scenarios"});
        QCOMPARE(json(all)[QStringLiteral("structures")]
                     .toArray()[0]
                     .toObject()[QStringLiteral("scenario")]
                     .toString(),
                 str("Б ближний"));
        QCOMPARE(json(all)[QStringLiteral("scenarios")].toArray().size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestScenarioCli)
#include "tst_scenario_cli.moc"
