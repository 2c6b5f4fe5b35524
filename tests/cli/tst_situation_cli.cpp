// kelmo-calc situation as a script would use it: a plan in a database of the test's own.

#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/SitePlan.h"
#include "tests/reports/ReaderProcess.h"
#include "tests/support/CalcRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>

namespace {

using Result = kelmo::test::CalcResult;

using kelmo::test::runCalc;

} // namespace

class TestSituationCli final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;

    QStringList args(const QStringList& more) const {
        return QStringList{QStringLiteral("situation"), QStringLiteral("--db"), m_db} + more;
    }

private slots:
    void initTestCase() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_db = m_dir->filePath(QStringLiteral("plans.db"));
        kelmo::db::createDatabaseFile(m_db, false);
        kelmo::db::Connection c(QStringLiteral("Data Source=MS Access Database;Initial Catalog=") +
                                m_db);
        c.exec(QStringLiteral("insert into MnuPM (MnuPM) values ('Склад'), ('Пустой')"));
        // Structure 1: a wall 50 m east of the charge; 2: the charge stands inside it;
        // 3: corners that are not numbers; 4: no thresholds and staff as words.
        const QString insert = QStringLiteral(
            "insert into IDPM (NumPrim, NumSoor, Combo2, Combo3, Text1, Text2, txtX1, txtY1, "
            "txtX2, txtY2, txtX3, txtY3, txtX4, txtY4, txtSla, txtSre, txtSul, txtPol) "
            "select NumPM, ?, 'Здания', 'Кирпичные', '2', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? "
            "from MnuPM where MnuPM = 'Склад'");
        const QVariant null;
        c.exec(insert,
               {1, "40", "50", "-10", "70", "-10", "70", "10", "50", "10", 10, 20, 30, 1000});
        c.exec(insert, {2, "5", "-5", "-5", "5", "-5", "5", "5", "-5", "5", 10, 20, 30, 40});
        c.exec(insert, {3, "5", "a", "0", "1", "0", "1", "1", "0", "1", 10, 20, 30, 40});
        c.exec(insert, {4, "много", "0", "300", "10", "300", "10", "310", "0", "310", null, null,
                        null, null});

        // A plan with a structure far beyond any plan between two ordinary ones: a wall 15 m
        // east of the charge and one 50 m west.
        c.exec(QStringLiteral("insert into MnuPM (MnuPM) values ('Дальний')"));
        QString far = insert;
        far.replace(QStringLiteral("'Склад'"), QStringLiteral("'Дальний'"));
        c.exec(far, {1, "10", "15", "-5", "25", "-5", "25", "5", "15", "5", 10, 20, 30, 1000});
        c.exec(far,
               {2, "20", "1e30", "0", "1e30", "10", "1e30", "10", "1e30", "0", 10, 20, 30, 1000});
        c.exec(far, {3, "30", "-50", "-5", "-60", "-5", "-60", "5", "-50", "5", 10, 20, 30, 1000});
    }

    // Outlines of vertices from the database to the rows: the charge in the notch of an
    // L-shaped building is 4 m from its wall (inside the rectangle around it), and a crossed
    // outline written by some other program is refused in its row.
    void outlinesOfVertices() {
        {
            kelmo::db::Connection c(kelmo::db::fileConnectionString(m_db));
            const int plan = kelmo::db::createPlan(c, QStringLiteral("Контуры"));
            kelmo::db::StructureRecord l;
            l.staff = QStringLiteral("10");
            kelmo::db::setOutline(l, {{0, 0}, {30, 0}, {30, 10}, {10, 10}, {10, 30}, {0, 30}});
            kelmo::db::StructureRecord crossed = l;
            kelmo::db::setOutline(crossed, {{100, 0}, {110, 0}, {110, 10}, {105, 15}, {100, 10}});
            kelmo::db::appendStructures(c, plan, {l, crossed});
            c.exec(QStringLiteral("update StructureVertex set X = 90, Y = 5 where NumPM = ? "
                                  "and NumSoor = 2 and Seq = 4"),
                   {plan});
        }
        const Result r =
            runCalc(args({QStringLiteral("--plan"), QStringLiteral("Контуры"),
                          QStringLiteral("--mass"), QStringLiteral("100"), QStringLiteral("--x"),
                          QStringLiteral("20"), QStringLiteral("--y"), QStringLiteral("14")}));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QJsonArray structures =
            QJsonDocument::fromJson(r.out).object()[QStringLiteral("structures")].toArray();
        QCOMPARE(structures.size(), 2);
        QCOMPARE(structures[0].toObject()[QStringLiteral("distance")].toDouble(), 4.0);
        const QString skipped = structures[1].toObject()[QStringLiteral("skipped")].toString();
        QVERIFY2(skipped.contains(QStringLiteral("контур не принят")) &&
                     skipped.contains(QStringLiteral("пересекаются")),
                 qPrintable(skipped));
    }

    // A structure whose wall is 50 m away gets exactly what the point calculation at 50 m
    // gives: the same formulas and the same probit table.
    void sameAsThePointCalculation() {
        const Result r =
            runCalc(args({QStringLiteral("--plan"), QStringLiteral("Склад"),
                          QStringLiteral("--mass"), QStringLiteral("1000"), QStringLiteral("--x"),
                          QStringLiteral("0"), QStringLiteral("--y"), QStringLiteral("0,0")}));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QJsonObject o = QJsonDocument::fromJson(r.out).object();
        const Result p = runCalc({QStringLiteral("point"), QStringLiteral("--db"), m_db,
                                  QStringLiteral("--mass"), QStringLiteral("1000"),
                                  QStringLiteral("--at"), QStringLiteral("50")});
        QVERIFY2(p.exitCode == 0, qPrintable(p.err));
        const QJsonObject point = QJsonDocument::fromJson(p.out).object();

        QCOMPARE(o[QStringLiteral("plan")].toString(), QStringLiteral("Склад"));
        QCOMPARE(o[QStringLiteral("massTNT")].toDouble(), 1000.0);
        const QJsonArray structures = o[QStringLiteral("structures")].toArray();
        QCOMPARE(structures.size(), 4);
        const QJsonObject wall = structures[0].toObject();
        QCOMPARE(wall[QStringLiteral("distance")].toDouble(), 50.0);
        for (const char* key : {"deltaPkPa", "impulse", "probitHeavy", "percentHeavy",
                                "probitTotal", "percentTotal", "probitPeople", "percentPeople"}) {
            QCOMPARE(wall[QLatin1String(key)].toDouble(), point[QLatin1String(key)].toDouble());
        }
        QCOMPARE(wall[QStringLiteral("injured")].toDouble(),
                 40 * point[QStringLiteral("percentHeavy")].toDouble() / 100);

        const QJsonObject inside = structures[1].toObject();
        QCOMPARE(inside[QStringLiteral("distance")].toDouble(), 0.0);
        QCOMPARE(inside[QStringLiteral("evaluatedAt")].toDouble(), 1.0);
        QCOMPARE(inside[QStringLiteral("degree")].toInt(), 4);

        QVERIFY(structures[2].toObject().contains(QStringLiteral("skipped")));
        QVERIFY(!structures[2].toObject().contains(QStringLiteral("deltaPkPa")));

        const QJsonObject unknown = structures[3].toObject();
        QVERIFY(unknown[QStringLiteral("degree")].isNull());
        QCOMPARE(unknown[QStringLiteral("staff")].toInt(), 0);
        QVERIFY(unknown.contains(QStringLiteral("warning")));

        const QJsonObject totals = o[QStringLiteral("totals")].toObject();
        QCOMPARE(totals[QStringLiteral("staff")].toInt(), 50);
        const QJsonArray byDegree = totals[QStringLiteral("byDegree")].toArray();
        QCOMPARE(byDegree.size(), 5);
        QCOMPARE(byDegree[4].toInt(), 1); // the one the charge stands in
    }

    // One structure at 1e30 m is refused in its own row with the reason, the others are
    // computed; the body mass gives people outside what the point calculation gives them.
    void structureBeyondThePlanIsRefusedInItsRow() {
        const QStringList common{QStringLiteral("--plan"),      QStringLiteral("Дальний"),
                                 QStringLiteral("--mass"),      QStringLiteral("1000"),
                                 QStringLiteral("--x"),         QStringLiteral("0"),
                                 QStringLiteral("--y"),         QStringLiteral("0"),
                                 QStringLiteral("--body-mass"), QStringLiteral("20")};
        const Result r = runCalc(args(common));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QJsonObject o = QJsonDocument::fromJson(r.out).object();
        const QJsonArray structures = o[QStringLiteral("structures")].toArray();
        QCOMPARE(structures.size(), 3);
        const QJsonObject lost = structures[1].toObject();
        QCOMPARE(lost[QStringLiteral("number")].toInt(), 2);
        QVERIFY2(lost[QStringLiteral("skipped")].toString().contains(
                     QStringLiteral("вне пределов плана")),
                 qPrintable(lost[QStringLiteral("skipped")].toString()));
        QVERIFY(!lost.contains(QStringLiteral("deltaPkPa")));
        QCOMPARE(structures[0].toObject()[QStringLiteral("distance")].toDouble(), 15.0);
        QCOMPARE(structures[2].toObject()[QStringLiteral("distance")].toDouble(), 50.0);
        const QJsonObject totals = o[QStringLiteral("totals")].toObject();
        QCOMPARE(totals[QStringLiteral("refused")].toInt(), 1);
        QCOMPARE(totals[QStringLiteral("staff")].toInt(), 60);

        const auto pointPeople = [&](const QString& bodyMass) {
            const Result p =
                runCalc({QStringLiteral("point"), QStringLiteral("--db"), m_db,
                         QStringLiteral("--mass"), QStringLiteral("1000"), QStringLiteral("--at"),
                         QStringLiteral("15"), QStringLiteral("--body-mass"), bodyMass});
            return QJsonDocument::fromJson(p.out).object()[QStringLiteral("percentPeople")];
        };
        const double people = structures[0].toObject()[QStringLiteral("percentPeople")].toDouble();
        QCOMPARE(people, pointPeople(QStringLiteral("20")).toDouble());
        QVERIFY(people != pointPeople(QStringLiteral("70")).toDouble());

        // The CSV keeps a field per column in the refused row too.
        const Result csv =
            runCalc(args(common + QStringList{QStringLiteral("--format"), QStringLiteral("csv")}));
        QVERIFY2(csv.exitCode == 0, qPrintable(csv.err));
        const QList<QByteArray> lines = csv.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].endsWith(",probit_people,percent_people"));
        for (const QByteArray& line : lines) {
            QCOMPARE(line.count(','), lines[0].count(','));
        }
        QVERIFY(lines[2].startsWith("2,"));
    }

    void csvHasARowPerStructure() {
        const Result r =
            runCalc(args({QStringLiteral("--plan"), QStringLiteral("Склад"),
                          QStringLiteral("--mass"), QStringLiteral("10"), QStringLiteral("--air"),
                          QStringLiteral("--x"), QStringLiteral("0"), QStringLiteral("--y"),
                          QStringLiteral("0"), QStringLiteral("--format"), QStringLiteral("csv")}));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines[0].startsWith("number,type,kind,staff,distance_m"));
        QVERIFY(lines[1].startsWith("1,\"Здания\",\"Кирпичные\",40,50,50,"));
    }

    // --docx and --xlsx write the documents beside the JSON on the standard output.
    void writesTheDocuments() {
        const QString docx = m_dir->filePath(QStringLiteral("обстановка.docx"));
        const QString xlsx = m_dir->filePath(QStringLiteral("обстановка.xlsx"));
        const Result r =
            runCalc(args({QStringLiteral("--plan"), QStringLiteral("Склад"),
                          QStringLiteral("--mass"), QStringLiteral("1000"), QStringLiteral("--x"),
                          QStringLiteral("0"), QStringLiteral("--y"), QStringLiteral("0"),
                          QStringLiteral("--docx"), docx, QStringLiteral("--xlsx"), xlsx}));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(QJsonDocument::fromJson(r.out).object()[QStringLiteral("plan")].toString(),
                 QStringLiteral("Склад"));
        const QJsonObject doc = readWithPython(QStringLiteral("read_docx.py"), docx);
        const QJsonArray table = doc[QStringLiteral("tables")].toArray()[0].toArray();
        QCOMPARE(table.size(), 5); // the header and four structures
        QCOMPARE(table[1].toArray()[0].toString(), QStringLiteral("1"));
        // The plan map goes in as one picture.
        QCOMPARE(doc[QStringLiteral("pictures")].toInt(), 1);
        const QJsonObject book = readWithPython(QStringLiteral("read_xlsx.py"), xlsx,
                                                {QStringLiteral("A11"), QStringLiteral("F12")});
        const QJsonObject cells = book[QStringLiteral("cells")].toObject();
        QCOMPARE(cells[QStringLiteral("A11")].toObject()[QStringLiteral("value")].toString(),
                 QStringLiteral("№"));
        QCOMPARE(cells[QStringLiteral("F12")].toObject()[QStringLiteral("value")].toDouble(), 50.0);
    }

    // A plan name with the characters of markup stays text in every document: readers of Word,
    // Excel and SVG files find it whole, and no element of the name gets into the file.
    void markupInThePlanNameStaysText() {
        const QString name = QStringLiteral("Цех 1 & 2 </w:t></w:r><script>\"x\"</script>");
        {
            kelmo::db::Connection c(kelmo::db::fileConnectionString(m_db));
            c.exec(QStringLiteral("insert into MnuPM (MnuPM) values (?)"), {name});
            c.exec(QStringLiteral("insert into IDPM (NumPrim, NumSoor, Combo2, Combo3, Text1, "
                                  "Text2, txtX1, txtY1, txtX2, txtY2, txtX3, txtY3, txtX4, txtY4) "
                                  "select NumPM, 1, 'Здания', 'Кирпичные', '2', '4', '50', '-10', "
                                  "'70', '-10', '70', '10', '50', '10' from MnuPM where MnuPM = ?"),
                   {name});
        }
        const QString docx = m_dir->filePath(QStringLiteral("name.docx"));
        const QString xlsx = m_dir->filePath(QStringLiteral("name.xlsx"));
        const QString svg = m_dir->filePath(QStringLiteral("name.svg"));
        const Result r =
            runCalc(args({QStringLiteral("--plan"), name, QStringLiteral("--mass"),
                          QStringLiteral("1000"), QStringLiteral("--x"), QStringLiteral("0"),
                          QStringLiteral("--y"), QStringLiteral("0"), QStringLiteral("--docx"),
                          docx, QStringLiteral("--xlsx"), xlsx, QStringLiteral("--svg"), svg}));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(QJsonDocument::fromJson(r.out).object()[QStringLiteral("plan")].toString(), name);

        const QJsonObject doc = readWithPython(QStringLiteral("read_docx.py"), docx);
        QStringList paragraphs;
        for (const QJsonValue& p : doc[QStringLiteral("paragraphs")].toArray()) {
            paragraphs << p.toObject()[QStringLiteral("text")].toString();
        }
        QVERIFY2(paragraphs.contains(QStringLiteral("План «%1»").arg(name)),
                 qPrintable(paragraphs.join(u'\n')));
        const QJsonObject book =
            readWithPython(QStringLiteral("read_xlsx.py"), xlsx, {QStringLiteral("A2")});
        QCOMPARE(book[QStringLiteral("cells")]
                     .toObject()[QStringLiteral("A2")]
                     .toObject()[QStringLiteral("value")]
                     .toString(),
                 QStringLiteral("План: ") + name);

        QFile file(svg);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString title;
        while (xml.readNext() != QXmlStreamReader::EndDocument && !xml.hasError()) {
            QVERIFY2(!(xml.isStartElement() && xml.name() == QLatin1String("script")),
                     "a script element in the SVG");
            if (xml.isStartElement() && xml.name() == QLatin1String("title")) {
                title = xml.readElementText();
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY2(title.contains(name), qPrintable(title));
    }

    // A refused run leaves a file of the same name as it was.
    void documentRefusals_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("messagePart");
        const QStringList charge{QStringLiteral("--mass"), QStringLiteral("100"),
                                 QStringLiteral("--x"),    QStringLiteral("0"),
                                 QStringLiteral("--y"),    QStringLiteral("0")};
        const QStringList plan{QStringLiteral("--plan"), QStringLiteral("Склад")};
        QTest::newRow("unknown plan")
            << (QStringList{QStringLiteral("--plan"), QStringLiteral("Нет такого"),
                            QStringLiteral("--docx"), QStringLiteral("OLD")} +
                charge)
            << 1 << QStringLiteral("не найден");
        QTest::newRow("same file twice")
            << (plan + charge +
                QStringList{QStringLiteral("--docx"), QStringLiteral("OLD"),
                            QStringLiteral("--xlsx"), QStringLiteral("OLD")})
            << 2 << QStringLiteral("разных");
        QTest::newRow("empty name")
            << (plan + charge + QStringList{QStringLiteral("--xlsx"), QString()}) << 2
            << QStringLiteral("--xlsx");
        QTest::newRow("a folder") << (plan + charge +
                                      QStringList{QStringLiteral("--docx"), QStringLiteral("DIR")})
                                  << 1 << QString();
    }

    void documentRefusals() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, messagePart);
        const QString old = m_dir->filePath(QStringLiteral("old.docx"));
        {
            QFile f(old);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old");
        }
        arguments.replaceInStrings(QStringLiteral("OLD"), old);
        arguments.replaceInStrings(QStringLiteral("DIR"), m_dir->path());
        const Result r = runCalc(args(arguments));
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(messagePart), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QFile f(old);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
    }

    void refusals_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("messagePart");
        const QStringList charge{QStringLiteral("--mass"), QStringLiteral("100"),
                                 QStringLiteral("--x"),    QStringLiteral("0"),
                                 QStringLiteral("--y"),    QStringLiteral("0")};
        QTest::newRow("unknown plan")
            << (QStringList{QStringLiteral("--plan"), QStringLiteral("Нет такого")} + charge) << 1
            << QStringLiteral("«Нет такого» не найден");
        QTest::newRow("plan without structures")
            << (QStringList{QStringLiteral("--plan"), QStringLiteral("Пустой")} + charge) << 1
            << QStringLiteral("нет сооружений");
        QTest::newRow("zero mass") << QStringList{QStringLiteral("--plan"), QStringLiteral("Склад"),
                                                  QStringLiteral("--mass"), QStringLiteral("0"),
                                                  QStringLiteral("--x"),    QStringLiteral("0"),
                                                  QStringLiteral("--y"),    QStringLiteral("0")}
                                   << 1 << QStringLiteral("тротиловый эквивалент");
        QTest::newRow("no plan") << charge << 2 << QStringLiteral("--plan");
        QTest::newRow("no y") << QStringList{QStringLiteral("--plan"), QStringLiteral("Склад"),
                                             QStringLiteral("--mass"), QStringLiteral("1"),
                                             QStringLiteral("--x"),    QStringLiteral("1")}
                              << 2 << QStringLiteral("--y");
        QTest::newRow("x not a number")
            << QStringList{QStringLiteral("--plan"), QStringLiteral("Склад"),
                           QStringLiteral("--mass"), QStringLiteral("1"),
                           QStringLiteral("--x"),    QStringLiteral("восток"),
                           QStringLiteral("--y"),    QStringLiteral("1")}
            << 2 << QStringLiteral("--x");
        QTest::newRow("step is not an option here")
            << (QStringList{QStringLiteral("--plan"), QStringLiteral("Склад"),
                            QStringLiteral("--step"), QStringLiteral("2")} +
                charge)
            << 2 << QStringLiteral("step");
    }

    void refusals() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, messagePart);
        const Result r = runCalc(args(arguments));
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(messagePart), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSituationCli)
#include "tst_situation_cli.moc"
