// The situation documents read back by python-docx and openpyxl: what a structure row says,
// the table's layout on paper, the totals, the method and the optional picture of the plan.

#include "reports/SituationReport.h"
#include "tests/reports/ReaderProcess.h"

#include <QDate>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace kelmo;

namespace {

StructureRecord square(int number, double west, int staff) {
    StructureRecord s;
    s.number = number;
    s.type = "Здания";
    s.kind = "Кирпичные";
    s.storeys = "2";
    s.staff = staff;
    s.outline = {{{west, -5}, {west + 10, -5}, {west + 10, 5}, {west, 5}}};
    s.thresholds = {10, 20, 30, 1000};
    return s;
}

// A plan of four: a wall 50 m away, the charge inside the second, corners that could not be
// read in the third, staff that could not be read in the fourth.
SituationResult fixture() {
    std::vector<StructureRecord> plan{square(1, 50, 40), square(2, -5, 5), square(3, 20, 7),
                                      square(4, 300, 0)};
    plan[2].outlineUnreadable = true;
    plan[3].staffUnreadable = true;
    plan[3].thresholds = {};
    ChargeInput charge;
    charge.chargeMassKg = 1000;
    // A stand-in for the probit table: the tests check where numbers go, not the table.
    return evaluateSituation(charge, {0, 0}, plan,
                             [](float probit) { return std::clamp(probit * 10.0, 0.0, 100.0); });
}

reports::SituationReportInput input(const SituationResult& r) {
    reports::ChargeDescription c;
    c.name = QStringLiteral("Тротил");
    c.massText = QStringLiteral("1000");
    c.energyCaption = reports::energyCaption(HeatUnit::PerKg);
    c.energyText = QStringLiteral("4520");
    c.placementText = reports::placementText(Placement::Ground);
    c.bodyMassText = QStringLiteral("70");
    reports::ReportByline byline;
    byline.organisation = QStringLiteral("ООО «Проект»");
    byline.author = QStringLiteral("Иванов И. И.");
    byline.date = QDate(2026, 3, 5);
    return {QStringLiteral("Склад"),
            c,
            QStringLiteral("0"),
            QStringLiteral("0"),
            &r,
            {},
            {},
            {},
            byline};
}

QStringList strings(const QJsonArray& a) {
    QStringList out;
    for (const auto& v : a) {
        out << v.toString();
    }
    return out;
}

} // namespace

class TestSituationReport final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    SituationResult m_result = fixture();
    const QLocale m_ru{QLocale::Russian, QLocale::Russia};

private slots:
    void initTestCase() { QLocale::setDefault(m_ru); }

    // What each kind of row says in its cells, as the window shows them too.
    void rowTexts_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        using namespace reports;
        QTest::newRow("wall at 50 m") << 0 << int(kSitDistance) << QStringLiteral("50,0");
        QTest::newRow("wall: no warning") << 0 << int(kSitWarning) << QString();
        QTest::newRow("inside: distance 0") << 1 << int(kSitDistance) << QStringLiteral("0,0");
        QTest::newRow("inside: at 1 m, said")
            << 1 << int(kSitWarning)
            << QStringLiteral("место хранения внутри сооружения: расчет на 1 м");
        QTest::newRow("inside: complete") << 1 << int(kSitDegree) << QStringLiteral("полное");
        QTest::newRow("corners: no value") << 2 << int(kSitDeltaP) << QString();
        QTest::newRow("corners: no degree") << 2 << int(kSitDegree) << QString();
        QTest::newRow("corners: said")
            << 2 << int(kSitWarning)
            << QStringLiteral("координаты углов не являются числами: сооружение не рассчитано");
        QTest::newRow("no thresholds") << 3 << int(kSitDegree) << QStringLiteral("не определена");
        QTest::newRow("staff: said")
            << 3 << int(kSitWarning)
            << QStringLiteral("число сотрудников не является целым числом не меньше 0; принято 0");
    }

    void rowTexts() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, text);
        QCOMPARE(reports::situationCell(m_result.rows[static_cast<std::size_t>(row)], column, m_ru),
                 text);
    }

    // The Word report: the table with its header on every page and fixed widths, a row per
    // structure, the totals, the method, page numbers; no picture unless one is given.
    void wordReport() {
        const QString path = m_dir.filePath(QStringLiteral("situation.docx"));
        reports::buildSituationReport(input(m_result), m_ru).save(path);
        const QJsonObject doc = readWithPython(QStringLiteral("read_docx.py"), path);
        QVERIFY(!doc.isEmpty());
        const QJsonArray tables = doc[QStringLiteral("tables")].toArray();
        QCOMPARE(tables.size(), 1);
        const QJsonArray table = tables[0].toArray();
        QCOMPARE(table.size(), 5);
        QCOMPARE(strings(table[0].toArray()), reports::situationHeader());
        const QStringList wall = strings(table[1].toArray());
        for (int c = 0; c < reports::kSitColumnCount; ++c) {
            QCOMPARE(wall[c], reports::situationCell(m_result.rows[0], c, m_ru));
        }
        // Landscape, the columns filling the text width exactly.
        QVERIFY(!doc[QStringLiteral("portrait")].toBool());
        double width = 0;
        for (const auto& w : doc[QStringLiteral("widths")].toArray()[0].toArray()) {
            width += w.toDouble();
        }
        QCOMPARE(std::round(width * 10) / 10, 841.9 - 40 - 40);
        const QJsonObject layout = doc[QStringLiteral("layout")].toArray()[0].toObject();
        QVERIFY(layout[QStringLiteral("fixed")].toBool());
        QCOMPARE(layout[QStringLiteral("header")].toArray()[0].toBool(), true);
        QCOMPARE(layout[QStringLiteral("header")].toArray()[1].toBool(), false);
        // Numbers to the right, texts (type, kind, degree, note) to the left.
        QJsonArray align;
        for (int c = 0; c < reports::kSitColumnCount; ++c) {
            const bool text = c == reports::kSitType || c == reports::kSitKind ||
                              c == reports::kSitDegree || c == reports::kSitWarning;
            align << (text ? 0 : 2);
        }
        QCOMPARE(layout[QStringLiteral("bodyAlign")].toArray(), align);
        // "N из M" below every page, shown before any field update.
        QCOMPARE(doc[QStringLiteral("footerFields")].toArray(),
                 (QJsonArray{QStringLiteral("PAGE"), QStringLiteral("NUMPAGES")}));
        QCOMPARE(doc[QStringLiteral("footerText")].toString(), QStringLiteral("1 из 1"));
        QCOMPARE(doc[QStringLiteral("pictures")].toInt(), 0);

        QString text;
        for (const auto& p : doc[QStringLiteral("paragraphs")].toArray()) {
            text += p.toObject()[QStringLiteral("text")].toString() + u'\n';
        }
        for (const QString& line : reports::situationTotalsLines(m_result.totals, m_ru)) {
            QVERIFY2(text.contains(line), qPrintable(line));
        }
        QVERIFY(text.contains(QStringLiteral("План «Склад»")));
        QVERIFY(text.contains(QStringLiteral("Наименование КВВ:     Тротил")));
        QVERIFY(text.contains(QStringLiteral("Методика расчета")));
        QVERIFY(text.contains(QStringLiteral("кратчайшее расстояние")));
        QVERIFY(text.contains(QStringLiteral("не определена — 1")));
        // Who, when and with what; the table is numbered.
        for (const QString& line :
             {QStringLiteral("Организация:     ООО «Проект»"),
              QStringLiteral("Исполнитель:     Иванов И. И."),
              QStringLiteral("Дата:     05.03.2026"), QStringLiteral("Программа:     Келмо "),
              QStringLiteral("Таблица 1 — Воздействие взрыва на сооружения плана")}) {
            QVERIFY2(text.contains(line), qPrintable(line));
        }
    }

    // One separator in a document: the charge as typed, the table and the totals all take the
    // locale's, in the Word report and in the workbook's texts alike.
    void documentsUseTheLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typedMass");
        QTest::addColumn<QString>("typedX");
        QTest::addColumn<QString>("mass");
        QTest::addColumn<QString>("x");
        QTest::newRow("C, typed with commas") << "C"
                                              << "1000,5"
                                              << "0,5"
                                              << "1000.5"
                                              << "0.5";
        QTest::newRow("ru_RU, typed with points") << "ru_RU"
                                                  << "1000.5"
                                                  << "0.5"
                                                  << "1000,5"
                                                  << "0,5";
    }
    void documentsUseTheLocale() {
        QFETCH(QString, locale);
        QFETCH(QString, typedMass);
        QFETCH(QString, typedX);
        QFETCH(QString, mass);
        QFETCH(QString, x);
        const QLocale l(locale);
        reports::SituationReportInput in = input(m_result);
        in.charge.massText = typedMass;
        in.xText = typedX;
        const QStringList totals = reports::situationTotalsLines(m_result.totals, l);
        QVERIFY(totals[2].contains(l.decimalPoint()));

        const QString docx = m_dir.filePath(locale + QStringLiteral(".docx"));
        reports::buildSituationReport(in, l).save(docx);
        const QJsonObject doc = readWithPython(QStringLiteral("read_docx.py"), docx);
        QString text;
        for (const auto& p : doc[QStringLiteral("paragraphs")].toArray()) {
            text += p.toObject()[QStringLiteral("text")].toString() + u'\n';
        }
        QVERIFY2(text.contains(QStringLiteral("Масса конденсированного ВВ (кг):     ") + mass),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Х = ") + x + QStringLiteral(",  У = 0")),
                 qPrintable(text));
        QVERIFY2(text.contains(totals[2]), qPrintable(text));
        const QJsonArray wall = doc[QStringLiteral("tables")].toArray()[0].toArray()[1].toArray();
        QCOMPARE(wall[reports::kSitDeltaP].toString(),
                 reports::situationCell(m_result.rows[0], reports::kSitDeltaP, l));

        // Rows 2 … 9 hold the plan and the charge; 17 … 19 the totals, under the four structures.
        const QString xlsx = m_dir.filePath(locale + QStringLiteral(".xlsx"));
        reports::writeSituationWorkbook(in, xlsx, l);
        const QJsonObject book = readWithPython(QStringLiteral("read_xlsx.py"), xlsx,
                                                {"A4", "D4", "A7", "D7", "E7", "A19", "G12"});
        const QJsonObject cells = book[QStringLiteral("cells")].toObject();
        const auto value = [&](const char* ref) {
            return cells[QLatin1String(ref)].toObject()[QStringLiteral("value")];
        };
        // The inputs as numbers beside their captions, whatever separator was typed.
        QCOMPARE(value("A4").toString(), QStringLiteral("Масса конденсированного ВВ (кг):"));
        QCOMPARE(value("A7").toString(),
                 QStringLiteral("Координаты места хранения КВВ (м), Х и У:"));
        for (const auto& [ref, number] : {std::pair{"D4", 1000.5}, {"D7", 0.5}, {"E7", 0.0}}) {
            QVERIFY2(cells[QLatin1String(ref)].toObject()[QStringLiteral("numeric")].toBool(), ref);
            QCOMPARE(value(ref).toDouble(), number);
        }
        QCOMPARE(value("A19").toString(), totals[2]);
        QVERIFY(cells[QStringLiteral("G12")].toObject()[QStringLiteral("numeric")].toBool());
    }

    // The worst case of several scenarios: a line per scenario before the table, and each
    // row's note opens with the scenario that gives it, before the row's own warning.
    void worstCaseNamesTheScenarios() {
        reports::SituationReportInput in = input(m_result);
        in.rowScenarios = {QStringLiteral("Север"), QStringLiteral("Юг"), QStringLiteral("Север"),
                           QStringLiteral("Юг")};
        in.scenarioLines = {QStringLiteral("«Север»: первый"), QStringLiteral("«Юг»: второй")};
        const QString firstWarning =
            reports::situationCell(m_result.rows[0], reports::kSitWarning, m_ru);
        const QString secondWarning =
            reports::situationCell(m_result.rows[1], reports::kSitWarning, m_ru);
        QVERIFY(firstWarning.isEmpty() && !secondWarning.isEmpty());

        const QString docx = m_dir.filePath(QStringLiteral("worst.docx"));
        reports::buildSituationReport(in, m_ru).save(docx);
        const QJsonObject doc = readWithPython(QStringLiteral("read_docx.py"), docx);
        QString text;
        for (const auto& p : doc[QStringLiteral("paragraphs")].toArray()) {
            text += p.toObject()[QStringLiteral("text")].toString() + u'\n';
        }
        QVERIFY2(text.contains(QStringLiteral("«Север»: первый\n«Юг»: второй")), qPrintable(text));
        const QJsonArray table = doc[QStringLiteral("tables")].toArray()[0].toArray();
        QCOMPARE(table[1].toArray()[reports::kSitWarning].toString(),
                 QStringLiteral("сценарий «Север»"));
        QCOMPARE(table[2].toArray()[reports::kSitWarning].toString(),
                 QStringLiteral("сценарий «Юг»; ") + secondWarning);

        // Rows 10 and 11 of the workbook hold the scenarios; the header moves down to 13.
        const QString xlsx = m_dir.filePath(QStringLiteral("worst.xlsx"));
        reports::writeSituationWorkbook(in, xlsx, m_ru);
        const QJsonObject book = readWithPython(QStringLiteral("read_xlsx.py"), xlsx,
                                                {"A10", "A11", "A13", "N14", "N15"});
        const QJsonObject cells = book[QStringLiteral("cells")].toObject();
        const auto value = [&](const char* ref) {
            return cells[QLatin1String(ref)].toObject()[QStringLiteral("value")].toString();
        };
        QCOMPARE(value("A10"), QStringLiteral("«Север»: первый"));
        QCOMPARE(value("A11"), QStringLiteral("«Юг»: второй"));
        QCOMPARE(value("A13"), QStringLiteral("№"));
        QCOMPARE(value("N14"), QStringLiteral("сценарий «Север»"));
        QCOMPARE(value("N15"), QStringLiteral("сценарий «Юг»; ") + secondWarning);
    }

    // A picture of the plan, drawn at 300 dpi, prints at its size. The first page holds the
    // charge, the totals and the method; the map has the next page, the table starts the one
    // after. Without a map the table follows on the first page.
    void wordReportPages_data() {
        QTest::addColumn<bool>("withMap");
        QTest::newRow("with the map") << true;
        QTest::newRow("without a map") << false;
    }
    void wordReportPages() {
        QFETCH(bool, withMap);
        reports::SituationReportInput in = input(m_result);
        if (withMap) {
            QImage map(600, 300, QImage::Format_RGB32);
            map.fill(Qt::white);
            in.map = map;
        }
        const QString path = m_dir.filePath(QStringLiteral("map.docx"));
        reports::buildSituationReport(in, m_ru).save(path);
        const QJsonObject doc = readWithPython(QStringLiteral("read_docx.py"), path);
        QCOMPARE(doc[QStringLiteral("pictures")].toInt(), withMap ? 1 : 0);
        if (withMap) {
            const QJsonArray size = doc[QStringLiteral("pictureSizes")].toArray()[0].toArray();
            QCOMPARE(size[2].toDouble(), 144.0);
            QCOMPARE(size[3].toDouble(), 72.0);
        }

        const QJsonArray paras = doc[QStringLiteral("paragraphs")].toArray();
        int totals = -1, method = -1, picture = -1, caption = -1;
        QList<int> breaks;
        for (int i = 0; i < paras.size(); ++i) {
            const QJsonObject p = paras[i].toObject();
            const QString text = p[QStringLiteral("text")].toString();
            totals = text == QStringLiteral("Итоги") ? i : totals;
            method = text == QStringLiteral("Методика расчета") ? i : method;
            picture = p[QStringLiteral("picture")].toBool() ? i : picture;
            caption = text.startsWith(QStringLiteral("Таблица 1 — ")) ? i : caption;
            if (p[QStringLiteral("pageBreak")].toBool()) {
                breaks << i;
            }
        }
        QVERIFY(totals > 0 && method > totals && caption > method);
        if (withMap) {
            QVERIFY(picture > method && caption > picture);
            QCOMPARE(breaks, (QList<int>{picture, caption}));
        } else {
            QVERIFY(breaks.isEmpty());
        }
        const QJsonObject layout = doc[QStringLiteral("layout")].toArray()[0].toObject();
        QVERIFY(layout[QStringLiteral("keptBefore")].toBool()); // the caption with its table
    }

    // The workbook: numbers in numeric cells as shown, texts where a row has no number, the
    // header repeated on paper.
    void workbook() {
        const QString path = m_dir.filePath(QStringLiteral("situation.xlsx"));
        reports::writeSituationWorkbook(input(m_result), path);
        // Row 11 is the header, 12 … 15 the structures.
        const QJsonObject book =
            readWithPython(QStringLiteral("read_xlsx.py"), path,
                           {"A11", "B12", "C12", "F12", "G12", "I12", "L11", "L12", "M12", "F13",
                            "N13", "G14", "N14", "I15", "E15", "A19"});
        QVERIFY(!book.isEmpty());
        const QJsonObject cells = book[QStringLiteral("cells")].toObject();
        const auto cell = [&](const char* ref) {
            return cells[QLatin1String(ref)].toObject();
        };
        QCOMPARE(book[QStringLiteral("sheets")].toArray()[0].toString(),
                 QString::fromUtf8(reports::kSituationSheetName));
        QCOMPARE(cell("A11")[QStringLiteral("value")].toString(), QStringLiteral("№"));
        QVERIFY(cell("F12")[QStringLiteral("numeric")].toBool());
        QCOMPARE(cell("F12")[QStringLiteral("value")].toDouble(), 50.0);
        QCOMPARE(cell("F12")[QStringLiteral("format")].toString(), QStringLiteral("0.0"));
        const StructureImpact& wall = *m_result.rows[0].impact;
        QCOMPARE(cell("G12")[QStringLiteral("value")].toDouble(),
                 std::round(wall.deltaPkPa * 100) / 100);
        QCOMPARE(cell("G12")[QStringLiteral("format")].toString(), QStringLiteral("0.00"));
        QCOMPARE(cell("I12")[QStringLiteral("value")].toString(), QStringLiteral("сильное"));
        QCOMPARE(cell("L11")[QStringLiteral("value")].toString(), QStringLiteral("P в), %"));
        QCOMPARE(cell("L12")[QStringLiteral("value")].toDouble(),
                 std::round(wall.percentPeople * 10) / 10);
        QCOMPARE(cell("M12")[QStringLiteral("value")].toDouble(),
                 std::round(wall.injured * 100) / 100);
        QCOMPARE(cell("F13")[QStringLiteral("value")].toDouble(), 0.0);
        QVERIFY(cell("N13")[QStringLiteral("value")].toString().contains(QStringLiteral("1 м")));
        QVERIFY(cell("G14")[QStringLiteral("value")].isNull() ||
                cell("G14")[QStringLiteral("value")].toString().isEmpty());
        QVERIFY(cell("N14")[QStringLiteral("value")].toString().contains(QStringLiteral("углов")));
        QCOMPARE(cell("I15")[QStringLiteral("value")].toString(), QStringLiteral("не определена"));
        QCOMPARE(cell("E15")[QStringLiteral("value")].toDouble(), 0.0);
        // The injured in the totals with the decimal comma of the Russian locale, as in Word.
        const QString injured = cell("A19")[QStringLiteral("value")].toString();
        QVERIFY2(injured.startsWith(QStringLiteral("Ожидаемое число пострадавших")),
                 qPrintable(injured));
        QVERIFY2(injured.contains(QRegularExpression(QStringLiteral("\\d,\\d\\d чел\\."))),
                 qPrintable(injured));
        const QJsonObject print = book[QStringLiteral("print")].toObject();
        QCOMPARE(print[QStringLiteral("titleRows")].toString(), QStringLiteral("$11:$11"));
        QCOMPARE(print[QStringLiteral("footer")].toString(), QStringLiteral("Страница &P из &N"));
        // Type and kind wrap in their columns rather than being cut on paper.
        QVERIFY(cell("B12")[QStringLiteral("wrap")].toBool());
        QVERIFY(cell("C12")[QStringLiteral("wrap")].toBool());
        QCOMPARE(print[QStringLiteral("paper")].toInt(), 9);
    }
};

QTEST_MAIN(TestSituationReport)
#include "tst_situation_report.moc"
