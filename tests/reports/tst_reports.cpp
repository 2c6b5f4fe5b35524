#include "ReaderProcess.h"

#include "charts/ChartPicture.h"
#include "core/NumberText.h"
#include "core/ProfileText.h"
#include "core/ProgramFolder.h"
#include "core/SafeFile.h"
#include "engine/ZoneRun.h"
#include "reports/ChargeText.h"
#include "reports/Docx.h"
#include "reports/ExcelExport.h"
#include "reports/ExpertReport.h"
#include "reports/FullReport.h"
#include "reports/ManualText.h"
#include "tests/support/Runs.h"
#include "ui/FileHandover.h"
#include "ui/Messages.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

using namespace kelmo;
using namespace kelmo::reports;

namespace {

const QLocale kRu(QLocale::Russian, QLocale::Russia);

std::unique_ptr<CalcState> workedRun(double step = 1) {
    return test::stateAfterRun(1000, step);
}

ChargeDescription workedCharge() {
    return {"Тротил", "1000", "Энергия взрыва, кДж/кг:", "4520", "в воздухе", "70"};
}

ReportCharts plainCharts() {
    QImage img(64, 40, QImage::Format_RGB32);
    img.fill(Qt::white);
    return {img, std::nullopt, img, img, img, img};
}

QStringList row(const QJsonArray& table, int r) {
    QStringList out;
    for (const auto& v : table[r].toArray()) {
        out << v.toString();
    }
    return out;
}

QStringList column(const QJsonArray& table, int c) {
    QStringList out;
    for (const auto& r : table) {
        out << r.toArray()[c].toString();
    }
    return out;
}

QStringList paragraphTexts(const QJsonObject& doc) {
    QStringList out;
    for (const auto& p : doc["paragraphs"].toArray()) {
        out << p.toObject()["text"].toString();
    }
    return out;
}

} // namespace

class TestReports : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        setProgramFolderForTesting(m_dir.path());
    }

    // The worked run: 1000 kg of TNT in the air, read back with python-docx.
    void fullReportTablesAndLayout() {
        const auto s = workedRun();
        const QString path = m_dir.filePath("full.docx");
        buildFullReport(*s, workedCharge(), plainCharts(), kRu).save(path);
        const QJsonObject doc = readWithPython("read_docx.py", path);
        QVERIFY(!doc.isEmpty());

        const QJsonArray margins = doc["margins"].toArray();
        QCOMPARE(margins[0].toDouble(), 50.0);
        QCOMPARE(margins[1].toDouble(), 50.0);
        QCOMPARE(margins[2].toDouble(), 60.0);
        QCOMPARE(margins[3].toDouble(), 60.0);
        QVERIFY(doc["portrait"].toBool());

        const QJsonArray tables = doc["tables"].toArray();
        // A–H and the numeric table in parts of kNumericRowsPerPart rows.
        QCOMPARE(tables.size(),
                 8 + (s->pointCount + kNumericRowsPerPart - 1) / kNumericRowsPerPart);

        const QJsonArray a = tables[0].toArray();
        QCOMPARE(row(a, 0),
                 (QStringList{"Характеристика зоны поражения",
                              "Вероятность поражения человека, Рпор", "Глубина зоны, м"}));
        QCOMPARE(column(a, 1),
                 (QStringList{"Вероятность поражения человека, Рпор", "Рпор<=0,01",
                              "0,01<Рпор<=0,33", "0,33<Рпор<=0,5", "0,5<Рпор<=0,99", "Рпор>0,99"}));
        // Rad4 of the worked run is 167 m: the safe zone begins beyond it.
        QCOMPARE(a[1].toArray()[2].toString(), QString(">167"));
        QCOMPARE(a[2].toArray()[2].toString(), QString("167"));
        QCOMPARE(column(a, 2).mid(1),
                 (QStringList{">167", "167", numtext::generalSingle(s->zoneRadii(3, 1), kRu),
                              numtext::generalSingle(s->zoneRadii(2, 1), kRu),
                              numtext::generalSingle(s->zoneRadii(1, 1), kRu)}));

        const QJsonArray b = tables[1].toArray();
        // The column heads are numbers: the locale's decimal comma, as in every other cell.
        QCOMPARE(row(b, 0), (QStringList{"Давление, кгс/кв.см", "1", "0,7", "0,5", "0,3", "0,2",
                                         "0,1", "0,03"}));
        for (int k = 1; k <= 7; ++k) {
            QCOMPARE(b[1].toArray()[k].toString(), numtext::general(s->radiiKgf[k], kRu));
        }

        const QJsonArray c = tables[2].toArray();
        QCOMPARE(row(c, 0), (QStringList{"Давление, кПа", "100", "70", "53", "50", "30", "28", "20",
                                         "12", "10", "7", "5", "3", "1"}));
        QCOMPARE(c[1].toArray()[3].toString(), numtext::general(s->radius53kPa, kRu));
        QCOMPARE(c[1].toArray()[8].toString(), numtext::general(s->radius12kPa, kRu));
        QCOMPARE(c[1].toArray()[13].toString(), numtext::general(s->radiiKPa[10], kRu));

        const QJsonArray d = tables[3].toArray();
        QCOMPARE(d.size(), 8);
        QCOMPARE(column(d, 1),
                 (QStringList{"Давление, кПа", "100", "53", "28", "12", "5", "3", "1"}));

        const QJsonArray e = tables[4].toArray();
        QCOMPARE(column(e, 1), (QStringList{"Давление, кПа", "500…800", "350…500", "200…300",
                                            "133…200", "100…133"}));
        QCOMPARE(e[5].toArray()[2].toString(), numtext::general(s->radiiKgf[1], kRu) + "..." +
                                                   numtext::general(s->radiiCriteria[6], kRu));

        // F, G, H: the Latin P of "Вероятность, P" and the heading labels.
        QCOMPARE(row(tables[5].toArray(), 0), (QStringList{"Вероятность, P", "Глубина зоны, м"}));
        QCOMPARE(row(tables[6].toArray(), 0),
                 (QStringList{"Вероятность разрушения здания, Рраз", "Глубина зоны, м"}));
        QCOMPARE(row(tables[6].toArray(), 1)[0], QString("Рпор<=0,01"));
        QCOMPARE(column(tables[7].toArray(), 1).mid(1).first(),
                 ">" + numtext::generalSingle(s->zoneRadii(4, 3), kRu));

        // Column widths in points where they are set.
        const QJsonArray widths = doc["widths"].toArray();
        QCOMPARE(widths[0].toArray(), (QJsonArray{235, 155, 110}));
        QCOMPARE(widths[1].toArray()[0].toDouble(), 100.0);
        QCOMPARE(widths[1].toArray()[7].toDouble(), 50.0);
        QCOMPARE(widths[5].toArray(), (QJsonArray{335, 155}));

        // Numeric table: the grid's header, then every row as the grid shows it; a part
        // after the first opens with the header again.
        QJsonArray n = tables[8].toArray();
        for (qsizetype t = 9; t < tables.size(); ++t) {
            const QJsonArray part = tables[t].toArray();
            QCOMPARE(row(part, 0), row(n, 0));
            for (qsizetype r = 1; r < part.size(); ++r)
                n.append(part[r]);
        }
        QCOMPARE(n.size(), s->pointCount + 1);
        QCOMPARE(n.size(), 326);
        QCOMPARE(row(n, 0), (QStringList{"Расстояние, м", "Давление, кгс/кв.см", "Давление, кПа",
                                         "Импульс, Па·с", "Пробит"}));
        QCOMPARE(row(n, 25)[0], QString("25"));
        QCOMPARE(row(n, 25)[2], numtext::fixed(s->profile.row(25).deltaPkPa, 3, kRu));
        QCOMPARE(row(n, 325)[4], numtext::fixed(s->profile.row(325).probitHeavy, 2, kRu));

        // Title and input block, in order, with the captions joined as stated.
        const QStringList texts = paragraphTexts(doc);
        QCOMPARE(
            texts.mid(0, 6),
            (QStringList{"Результаты расчета при взрыве КВВ", "", "Наименование КВВ:     Тротил",
                         "Масса конденсированного ВВ (кг):     1000", "Энергия взрыва, кДж/кг:4520",
                         "Условие размещения сосредоточенного заряда:     в воздухе"}));
        const QJsonObject title = doc["paragraphs"].toArray()[0].toObject();
        QVERIFY(title["bold"].toBool());
        QVERIFY(title["center"].toBool());
        QCOMPARE(title["size"].toDouble(), 14.0);
        QVERIFY(texts.contains("Таблица 1 — Результаты расчета зон тяжелых разрушений зданий  и "
                               "поражения человека, находящегося в здании"));
        QVERIFY(texts.contains(
            "Таблица 7 — Результаты расчета зон полного разрушения промышленных зданий "));
        const int caption = int(texts.indexOf("Таблица 9 — Числовые результаты расчета на "
                                              "заданном удалении"));
        QVERIFY(caption > 0);
        const QJsonObject cap = doc["paragraphs"].toArray()[caption].toObject();
        QCOMPARE(cap["size"].toDouble(), 12.0);
        QVERIFY(!cap["bold"].toBool());
        QVERIFY(!cap["center"].toBool());
    }

    // Without a range chart there are five chart sections; with one, six, its caption carrying
    // the range fields' texts.
    void chartSections_data() {
        QTest::addColumn<bool>("withRange");
        QTest::newRow("no range chart") << false;
        QTest::newRow("range 1 to 500") << true;
    }
    void chartSections() {
        QFETCH(bool, withRange);
        const auto s = workedRun();
        ReportCharts charts = plainCharts();
        if (withRange) {
            charts.range = RangeChartPicture{charts.pressureKgf, "1", "500"};
        }
        const QString path = m_dir.filePath("charts.docx");
        buildFullReport(*s, workedCharge(), charts, kRu).save(path);
        const QJsonObject doc = readWithPython("read_docx.py", path);
        QCOMPARE(doc["pictures"].toInt(), withRange ? 6 : 5);
        const QStringList texts = paragraphTexts(doc);
        const QString rangeCaption =
            "Рисунок 2 — График зависимости давления (кгс/кв.см) от расстояния (м) (удаления от "
            "места взрыва) по заданному диапазону (от 1 м до 500 м)";
        QCOMPARE(texts.contains(rangeCaption), withRange);
        // Each picture sits, centred, in the paragraph after its caption; the figures are
        // numbered in order, the range chart taking its place among them.
        const QJsonArray paras = doc["paragraphs"].toArray();
        const int first =
            int(texts.indexOf("Рисунок 1 — График зависимости давления (кгс/кв.см) от "
                              "расстояния (м) (удаления от места взрыва)"));
        QVERIFY(first > 0);
        QVERIFY(paras[first]["bold"].toBool());
        QVERIFY(paras[first + 1]["picture"].toBool());
        QVERIFY(paras[first + 1]["center"].toBool());
        const int last = int(texts.indexOf(QStringLiteral("Рисунок %1 — График пробит-функции "
                                                          "для полных разрушений зданий")
                                               .arg(withRange ? 6 : 5)));
        QVERIFY(last > first);
        QVERIFY(paras[last + 1]["picture"].toBool());
    }

    // Both zone reports open with who made them, when, with what program and at what
    // calculation step; the full report numbers its tables and figures in order.
    void titleBlockAndNumbering() {
        const auto s = workedRun(0.5);
        ReportByline byline;
        byline.organisation = "ООО «Проект»";
        byline.author = "Иванов И. И.";
        byline.date = QDate(2026, 3, 5);
        byline.stepText = "0,5";
        const QStringList expected{"Организация:     ООО «Проект»", "Исполнитель:     Иванов И. И.",
                                   "Дата:     05.03.2026", "Программа:     " + byline.program,
                                   "Шаг расчета (м):     0,5"};

        const QString full = m_dir.filePath("byline-full.docx");
        buildFullReport(*s, workedCharge(), plainCharts(), kRu, {}, byline).save(full);
        const QStringList texts = paragraphTexts(readWithPython("read_docx.py", full));
        const qsizetype top = texts.indexOf(expected.first());
        QVERIFY(top > texts.indexOf("Условие размещения сосредоточенного заряда:     в воздухе"));
        QCOMPARE(texts.mid(top, expected.size()), expected);
        QStringList tables, figures;
        for (const QString& t : texts) {
            if (t.startsWith("Таблица ")) {
                tables << t.section(" — ", 0, 0);
            } else if (t.startsWith("Рисунок ")) {
                figures << t.section(" — ", 0, 0);
            }
        }
        QCOMPARE(tables,
                 (QStringList{"Таблица 1", "Таблица 2", "Таблица 3", "Таблица 4", "Таблица 5",
                              "Таблица 6", "Таблица 7", "Таблица 8", "Таблица 9"}));
        QCOMPARE(figures,
                 (QStringList{"Рисунок 1", "Рисунок 2", "Рисунок 3", "Рисунок 4", "Рисунок 5"}));

        const QString templ = m_dir.filePath(kExpertTemplateName);
        buildExpertTemplate().save(templ);
        const QString expert = m_dir.filePath("byline-expert.docx");
        docx::writeFile(expert, buildExpertReport(templ, ExpertInput{}, kRu, byline));
        const QJsonObject doc = readWithPython("read_docx.py", expert);
        QCOMPARE(paragraphTexts(doc).mid(0, expected.size() + 2),
                 (expected + QStringList{"", "Частный отчет для эксперта"}));
        QCOMPARE(doc["bookmarks"].toObject().size(), 21);
        QCOMPARE(doc["footerFields"].toArray(), (QJsonArray{"PAGE", "NUMPAGES"}));
    }

    // A step such as 0.37 m adds up with float noise ("49.469999999999"); every distance of
    // the radius tables, the criteria ranges included, is shown to the step's two decimals.
    void radiiWithoutFloatNoise() {
        const auto s = workedRun(0.37);
        const QString path = m_dir.filePath("noise.docx");
        buildFullReport(*s, workedCharge(), plainCharts(), kRu).save(path);
        const QJsonArray tables = readWithPython("read_docx.py", path)["tables"].toArray();
        const QRegularExpression shown(QStringLiteral("^(-|\\d+(,\\d{1,2})?)$"));
        int checked = 0;
        for (const int t : {1, 2, 3, 4}) {
            const QJsonArray table = tables[t].toArray();
            for (qsizetype r = 1; r < table.size(); ++r) {
                const QJsonArray cells = table[r].toArray();
                const qsizetype firstValue = t <= 2 ? 1 : 2;
                for (qsizetype c = firstValue; c < cells.size(); ++c) {
                    for (const QString& part : cells[c].toString().split("...")) {
                        QVERIFY2(shown.match(part).hasMatch(), qPrintable(part));
                        ++checked;
                    }
                }
            }
        }
        QCOMPARE(checked, 7 + 13 + 7 + 10);
        // The 1 kPa radius lies past the stored table and is shown as the run found it.
        QVERIFY(s->radiiKPa[10] > s->profile.row(s->pointCount).r);
        QCOMPARE(tables[2].toArray()[1].toArray()[13].toString(),
                 numtext::distance(s->radiiKPa[10], 0.37, kRu));
    }

    // Zero radii: "-" in radius cells and all five depth rows, "0" around "..." in table E.
    void zeroRadii() {
        CalcState s;
        s.step = 0.5; // a walk that reaches 12.5 m
        s.radiiKgf[3] = 12.5;
        s.zoneRadii(1, kTotal) = 0;
        QCOMPARE(zoneDepthText(s, 1, kTotal, kRu), QString("-"));
        for (int r = 2; r <= 5; ++r) {
            QCOMPARE(zoneDepthText(s, r, kTotal, kRu), QString("-"));
        }

        const QString path = m_dir.filePath("zero.docx");
        buildFullReport(s, workedCharge(), plainCharts(), kRu).save(path);
        const QJsonObject doc = readWithPython("read_docx.py", path);
        const QJsonArray tables = doc["tables"].toArray();
        QCOMPARE(row(tables[1].toArray(), 1),
                 (QStringList{"Радиус зоны, м", "-", "-", "12,5", "-", "-", "-", "-"}));
        QCOMPARE(column(tables[4].toArray(), 2).mid(1),
                 (QStringList{"0...0", "0...0", "0...0", "0...0", "0...0"}));
        QCOMPARE(column(tables[6].toArray(), 1).mid(1), (QStringList{"-", "-", "-", "-", "-"}));
        QCOMPARE(tables[8].toArray().size(), 1); // header only
    }

    // A typed name with a control character still gives a readable document.
    void controlCharactersDropped() {
        CalcState s;
        ChargeDescription charge = workedCharge();
        charge.name = QStringLiteral("Тро\x01тил\tА");
        const QString path = m_dir.filePath("ctrl.docx");
        buildFullReport(s, charge, plainCharts(), kRu).save(path);
        const QJsonObject doc = readWithPython("read_docx.py", path);
        QVERIFY(paragraphTexts(doc).contains("Наименование КВВ:     Тротил\tА"));
    }

    // Every row of a profile of more than 32767 rows reaches the numeric table.
    void numericTableHasAllRows() {
        const auto s = workedRun(0.009); // about 36,000 rows
        QVERIFY(s->pointCount > 32767);
        int lastReported = 0;
        const auto doc = buildFullReport(*s, workedCharge(), plainCharts(), kRu,
                                         [&](int done, int) { lastReported = done; });
        QCOMPARE(lastReported, s->pointCount);
        const QString path = m_dir.filePath("big.docx");
        doc.save(path);
        const auto parts = docx::readPackage(path);
        const QByteArray xml = parts.value("word/document.xml");
        // The numeric table has a header row in each part it is written in.
        const int numericParts = (s->pointCount + kNumericRowsPerPart - 1) / kNumericRowsPerPart;
        QCOMPARE(xml.count("<w:tr>"), 6 + 2 + 2 + 8 + 6 + 3 * 6 + s->pointCount + numericParts);
        QCOMPARE(xml.count("<w:tblHeader/>"), numericParts);
    }

    void expertBookmarksFilled_data() {
        QTest::addColumn<int>("placement");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("ground") << int(Placement::Ground)
                                << ", так как взрыв происходит на поверхности земли применяется "
                                   "формула Ф-1";
        QTest::newRow("air") << int(Placement::Air)
                             << ", так как взрыв происходит в воздухе применяется формула Ф-1";
    }
    void expertBookmarksFilled() {
        QFETCH(int, placement);
        QFETCH(QString, sentence);
        const QString templ = m_dir.filePath(kExpertTemplateName);
        buildExpertTemplate().save(templ);
        QFile tf(templ);
        QVERIFY(tf.open(QIODevice::ReadOnly));
        const QByteArray templateBytes = tf.readAll();
        tf.close();

        ExpertInput in;
        in.distanceText = "25";
        in.bodyMassText = "70";
        in.placement = static_cast<Placement>(placement);
        in.massTNT = 1000;
        in.point.deltaPkPa = 119.24761;
        in.point.impulse = 2471.25;
        in.point.probitPeople = 5.3f;
        in.point.probitHeavy = 9.2f;
        in.point.probitTotal = 6.81f;
        in.point.ptArgHeavy = 0.0001234;
        in.point.ptArgTotal = 0.0002;
        in.point.ptRelPressure = 1.177;
        in.point.ptRelImpulse = 1.94;
        in.point.ptArgPeople = 4.2578;
        in.percentPeopleText = "61,8";
        in.percentHeavyText = "100,0";
        in.percentTotalText = "96,2";
        const QString out = m_dir.filePath("expert.docx");
        docx::writeFile(out, buildExpertReport(templ, in, kRu));

        const QJsonObject doc = readWithPython("read_docx.py", out);
        const QJsonObject b = doc["bookmarks"].toObject();
        QCOMPARE(b.size(), 21);
        QCOMPARE(b["mr1"].toString(), QString("25"));
        QCOMPARE(b["mr2"].toString(), QString("25"));
        for (const char* name : {"mdeltP", "mdeltP1", "mdeltP2", "mdeltP3"}) {
            QCOMPARE(b[name].toString(), QString("119247,6"));
        }
        for (const char* name : {"mImp", "mImp1", "mImp2", "mImp3"}) {
            QCOMPARE(b[name].toString(), QString("2471,3"));
        }
        QCOMPARE(b["mF"].toString(), sentence);
        QCOMPARE(b["mM1"].toString(), QString("70"));
        QCOMPARE(b["mMassaVV"].toString(), QString("1000,0"));
        QCOMPARE(b["mProbit0"].toString(), QString("5,3, что соответствует 61,8%."));
        QCOMPARE(b["mProbit1"].toString(), QString("9,2, что соответствует 100,0%."));
        QCOMPARE(b["mProbit2"].toString(), QString("6,8, что соответствует 96,2%."));
        QCOMPARE(b["mPch"].toString(), QString("1,2"));
        QCOMPARE(b["mIch"].toString(), QString("1,9"));
        QCOMPARE(b["mV"].toString(), QString("0,000"));
        QCOMPARE(b["mV1"].toString(), QString("4,258"));
        QCOMPARE(b["mS"].toString(), QString("0,000"));
        const QJsonArray margins = doc["margins"].toArray();
        for (const auto& m : margins) {
            QVERIFY(qAbs(m.toDouble() - 42.525) < 0.05);
        }
        // The sentence of mF continues the template's own sentence.
        QVERIFY(
            paragraphTexts(doc).join('\n').contains("тротиловому эквиваленту" + sentence + "."));
        // The template itself is only read.
        QVERIFY(tf.open(QIODevice::ReadOnly));
        QCOMPARE(tf.readAll(), templateBytes);
    }

    // A missing template or bookmark is a clear message, not a broken document.
    void expertTemplateFaults() {
        ExpertInput in;
        const QString missing = m_dir.filePath("nowhere/otchet.docx");
        try {
            buildExpertReport(missing, in, kRu);
            QFAIL("no error for a missing template");
        } catch (const DocumentError& e) {
            QVERIFY(QString::fromUtf8(e.what()).contains("Не найден шаблон"));
        }
        // A template without two of the bookmarks.
        docx::Document d;
        d.append("Отчет ");
        d.appendBookmark("mr1", "___");
        const QString partial = m_dir.filePath("partial.docx");
        d.save(partial);
        try {
            buildExpertReport(partial, in, kRu);
            QFAIL("no error for missing bookmarks");
        } catch (const DocumentError& e) {
            const QString text = QString::fromUtf8(e.what());
            QVERIFY(text.contains("нет закладок"));
            QVERIFY(text.contains("mdeltP"));
            QVERIFY(text.contains("mS"));
            QVERIFY(!text.contains("mr1,"));
        }
        QFile junk(m_dir.filePath("junk.docx"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a zip");
        junk.close();
        QVERIFY_THROWS_EXCEPTION(DocumentError, buildExpertReport(junk.fileName(), in, kRu));
    }

    void workbook_data() {
        QTest::addColumn<double>("step");
        QTest::addColumn<QString>("distanceFormat");
        QTest::newRow("worked run, 325 rows") << 1.0 << "General";
        QTest::newRow("more than 32767 rows") << 0.009 << "0.000";
        QTest::newRow("step 0.37, distances with float noise") << 0.37 << "0.00";
    }
    void workbook() {
        QFETCH(double, step);
        QFETCH(QString, distanceFormat);
        const auto s = workedRun(step);
        const QString path = m_dir.filePath("table.xlsx");
        writeProfileWorkbook(*s, path, kRu);
        const int last = s->pointCount + 2;
        const QJsonObject wb =
            readWithPython("read_xlsx.py", path,
                           {"A1", "A2", "B2", "C2", "A3", "B3", "C3", "A27", "C27",
                            QString("A%1").arg(last), QString("C%1").arg(last), "D3"});
        QVERIFY(!wb.isEmpty());
        QCOMPARE(wb["sheets"].toArray(), (QJsonArray{"Исходные данные"}));
        QCOMPARE(wb["maxRow"].toInt(), last);
        QCOMPARE(wb["maxColumn"].toInt(), 3); // impulse and probit never reach the sheet
        const QJsonObject c = wb["cells"].toObject();
        QCOMPARE(c["A1"]["value"].toString(),
                 QString("Числовые результаты расчета на заданном удалении"));
        QVERIFY(c["A1"]["bold"].toBool());
        QCOMPARE(c["A1"]["size"].toDouble(), 12.0);
        const QStringList heads{"Расстояние, м", "Давление, кгс/кв.см", "Давление, кПа"};
        const char* refs[] = {"A2", "B2", "C2"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(c[refs[i]]["value"].toString(), heads[i]);
            QVERIFY(c[refs[i]]["bold"].toBool());
            QCOMPARE(c[refs[i]]["size"].toDouble(), 10.0);
        }
        QVERIFY(!c["A3"]["bold"].toBool());
        QVERIFY(c["B3"]["numeric"].toBool());
        QCOMPARE(c["B3"]["format"].toString(), QString("0.000"));
        QCOMPARE(c["A3"]["value"].toDouble(), s->profile.row(1).r);
        // Distances stay the computed numbers, shown to the step's decimals.
        QVERIFY(c["A3"]["numeric"].toBool());
        QCOMPARE(c["A3"]["format"].toString(), distanceFormat);
        // The value stored is the number shown, as if the grid's text had been typed.
        QCOMPARE(c["C3"]["value"].toDouble(),
                 QString::number(s->profile.row(1).deltaPkPa, 'f', 3).toDouble());
        QCOMPARE(c[QString("A%1").arg(last)]["value"].toDouble(), s->profile.row(s->pointCount).r);
        QVERIFY(c["D3"]["value"].isNull());
    }

    // The widths are Excel's character widths as stated, whatever openpyxl adds.
    void workbookColumnWidths() {
        const auto s = workedRun();
        const QString path = m_dir.filePath("w.xlsx");
        writeProfileWorkbook(*s, path, kRu);
        const QJsonObject wb = readWithPython("read_xlsx.py", path);
        const QJsonArray w = wb["widths"].toArray();
        // libxlsxwriter stores the width with the standard padding of the default font.
        QVERIFY(qAbs(w[0].toDouble() - 15) < 1);
        QVERIFY(qAbs(w[1].toDouble() - 29) < 1);
        QVERIFY(qAbs(w[2].toDouble() - 38) < 1);
    }

    void workbookIntoMissingFolderFails() {
        const auto s = workedRun();
        QVERIFY_THROWS_EXCEPTION(kelmo::Error,
                                 writeProfileWorkbook(*s, m_dir.filePath("no/such/t.xlsx"), kRu));
    }

    // Templates that claim or are more than a report holds end with a message: no crash, no
    // endless read, no hang.
    void hostileTemplates_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("part claiming 2^61 bytes") << "huge"
                                                  << "слишком велика";
        QTest::newRow("folder") << "folder"
                                << "не обычный файл";
#ifdef Q_OS_UNIX
        QTest::newRow("endless device") << "/dev/zero"
                                        << "не обычный файл";
        QTest::newRow("pipe") << "fifo"
                              << "не обычный файл";
#endif
    }
    void hostileTemplates() {
        QFETCH(QString, kind);
        QFETCH(QString, mentions);
        QString path = kind;
        if (kind == "huge") {
            path = QStringLiteral(KELMO_TEST_SCRIPTS "/fixtures/huge-part.docx");
        } else if (kind == "folder") {
            path = m_dir.path();
        } else if (kind == "fifo") {
            path = m_dir.filePath("otchet.docx");
            QFile::remove(path);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        ExpertInput in;
        try {
            buildExpertReport(path, in, kRu);
            QFAIL("a hostile template must be refused");
        } catch (const kelmo::Error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(mentions), e.what());
        }
        if (kind == "fifo")
            QFile::remove(path);
    }

    // A disk that fills up while a report is written: the report the user had stays, no
    // temporary file is left, and the failure is an error, not a success.
    void fullDiskKeepsOldReport_data() {
        QTest::addColumn<QString>("writer");
        QTest::newRow("full report") << "full";
        QTest::newRow("expert report") << "expert";
    }
    void fullDiskKeepsOldReport() {
        QFETCH(QString, writer);
        QTemporaryDir dir;
        const QString path = dir.filePath("report.docx");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the report the user had");
        old.close();
        const auto s = workedRun();
        const auto write = [&] {
            if (writer == "full")
                buildFullReport(*s, workedCharge(), plainCharts(), kRu).save(path);
            else
                docx::writeFile(path, buildExpertTemplate().toBytes());
        };
        for (const qint64 space : {qint64(0), qint64(1000)}) {
            setDiskSpaceForTesting(space);
            QVERIFY_THROWS_EXCEPTION(FileError, write());
            setDiskSpaceForTesting(-1);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("the report the user had"));
            old.close();
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                     QStringList{"report.docx"});
        }
        write();
        QVERIFY(QFileInfo(path).size() > 1000);
    }

    // Every writer treats special paths alike: a pipe (or a link to one) is refused and stays
    // a pipe; a link to a file is written through and stays a link.
    void specialTargets_data() {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<QString>("target");
        for (const char* writer : {"docx", "xlsx"}) {
            QTest::addRow("%s into a pipe", writer) << writer << "fifo";
            QTest::addRow("%s into a link to a pipe", writer) << writer << "link-to-fifo";
            QTest::addRow("%s through a link", writer) << writer << "link-to-file";
        }
    }
    void specialTargets() {
        QFETCH(QString, writer);
        QFETCH(QString, target);
        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe");
        const QString file = dir.filePath("real");
        const QString link = dir.filePath("link");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QFile real(file);
        QVERIFY(real.open(QIODevice::WriteOnly));
        real.close();
        const QString path = target == "fifo" ? fifo : link;
        if (target != "fifo")
            QVERIFY(QFile::link(target == "link-to-fifo" ? fifo : file, link));

        const auto s = workedRun();
        const auto write = [&] {
            if (writer == "docx")
                docx::writeFile(path, buildExpertTemplate().toBytes());
            else
                writeProfileWorkbook(*s, path, kRu);
        };
        if (target == "link-to-file") {
            write();
            QVERIFY(QFileInfo(link).isSymLink());
            QVERIFY(QFileInfo(file).size() > 1000);
        } else {
            try {
                write();
                QFAIL("a pipe must be refused");
            } catch (const FileError& e) {
                QVERIFY2(QString::fromUtf8(e.what()).contains("не обычный файл"), e.what());
            }
            QVERIFY(!QFileInfo(fifo).isFile() && QFileInfo::exists(fifo));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                 target == "fifo" ? 2 : 3);
    }

    // Hand-over: Cancel writes nothing; saving writes and opens; a failure is a message.
    void handover() {
        QString opened;
        ui::setOpenerForTesting([&](const QString& p) { opened = p; });
        QString offered;
        QString answer;
        ui::setSaveDialogForTesting([&](const QString& def, const QString& filter) {
            offered = def + "|" + filter;
            return answer;
        });
        const auto s = workedRun();
        auto write = [&](const QString& p) {
            writeProfileWorkbook(*s, p, kRu);
        };

        answer.clear();
        QVERIFY(!ui::saveAndOpen(nullptr, "Таблица.xlsx", kWorkbookFilter, write));
        QVERIFY(offered.endsWith("Таблица.xlsx|Книга Microsoft Excel (*.xlsx)"));
        QVERIFY(opened.isEmpty());

        answer = m_dir.filePath("saved.xlsx");
        QVERIFY(ui::saveAndOpen(nullptr, "Таблица.xlsx", kWorkbookFilter, write));
        QVERIFY(QFile::exists(answer));
        QCOMPARE(opened, answer);

        ui::MessageRecorder messages;
        opened.clear();
        answer = m_dir.filePath("missing/saved.xlsx");
        QVERIFY(!ui::saveAndOpen(nullptr, "Таблица.xlsx", kWorkbookFilter, write));
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.last().text.contains("не существует"));
        QVERIFY(opened.isEmpty());
        ui::setOpenerForTesting({});
        ui::setSaveDialogForTesting({});
    }

    // The charts drawn for the report are real pictures of the window's size.
    void renderedChartPictures() {
        const auto s = workedRun();
        const ReportCharts c = charts::renderReportCharts(*s);
        for (const QImage* img :
             {&c.pressureKgf, &c.pressureKPa, &c.probitPeople, &c.probitHeavy, &c.probitTotal}) {
            QCOMPARE(img->size(), charts::kReportChartSize);
        }
        // 200 dpi over the printed 480 × 300 pt.
        QCOMPARE(charts::kReportChartSize, QSize(1334, 834));
    }

    // How the report lies on paper: captions and headings keep with what they introduce, the
    // result tables stay whole, the numeric table repeats its header row and is written in
    // parts, the pages are numbered, the charts are pictures of print resolution.
    void fullReportOnPaper() {
        const auto s = workedRun(0.3); // about 1080 rows: two parts of the numeric table
        const int rows = s->pointCount;
        QVERIFY(rows > kNumericRowsPerPart && rows <= 2 * kNumericRowsPerPart);
        const QString path = m_dir.filePath("paper.docx");
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-2);
        buildFullReport(*s, workedCharge(), charts::renderReportCharts(*s), kRu).save(path);
        const QJsonObject doc = readWithPython("read_docx.py", path);
        QVERIFY(!doc.isEmpty());

        // Captions of the charts and headings of the tables keep with the next paragraph.
        const QJsonArray paras = doc["paragraphs"].toArray();
        int captions = 0;
        static const QRegularExpression number(QStringLiteral("^(Таблица|Рисунок) \\d+ — "));
        for (qsizetype i = 0; i + 1 < paras.size(); ++i) {
            const QString text = paras[i]["text"].toString().remove(number);
            if (text.startsWith("График ")) {
                ++captions;
                QVERIFY2(paras[i]["keepNext"].toBool(), qPrintable(text));
                QVERIFY(paras[i + 1]["picture"].toBool());
            }
            if (text.startsWith("Результаты расчета зон") || text.startsWith("Радиусы") ||
                text.startsWith("Детерминированные"))
                QVERIFY2(paras[i]["keepNext"].toBool(), qPrintable(text));
            // A picture does not pull the next section onto its page.
            if (paras[i]["picture"].toBool() && i + 3 < paras.size() &&
                paras[i + 3]["text"].toString().startsWith("Рисунок "))
                QVERIFY(!paras[i]["keepNext"].toBool());
        }
        QCOMPARE(captions, 5);

        // A–H: the paragraph before each keeps with it, its rows stay together; then the
        // numeric table in parts of kNumericRowsPerPart rows, each with the header row
        // (which repeats at the top of each page) and each after the first starting a page,
        // so that every page of rows has one header, at its top; no row splits across pages.
        const QJsonArray tables = doc["tables"].toArray();
        const QJsonArray layout = doc["layout"].toArray();
        const int parts = (rows + kNumericRowsPerPart - 1) / kNumericRowsPerPart;
        QCOMPARE(tables.size(), 8 + parts);
        for (int t = 0; t < 8; ++t) {
            QVERIFY2(layout[t]["keptBefore"].toBool(), qPrintable(QString::number(t)));
            QVERIFY2(layout[t]["together"].toBool(), qPrintable(QString::number(t)));
            QVERIFY(layout[t]["cantSplit"].toBool());
        }
        QStringList numeric;
        for (int t = 8; t < tables.size(); ++t) {
            const QJsonArray part = tables[t].toArray();
            const bool first = t == 8;
            QCOMPARE(row(part, 0), profile::header());
            QCOMPARE(layout[t]["header"].toArray(), (QJsonArray{true, false}));
            QCOMPARE(layout[t]["pageBefore"].toBool(), !first);
            QVERIFY(layout[t]["cantSplit"].toBool());
            QVERIFY(layout[t]["fixed"].toBool());
            QVERIFY(!layout[t]["together"].toBool());
            QVERIFY(part.size() - 1 <= kNumericRowsPerPart);
            for (int r = 1; r < part.size(); ++r)
                numeric << row(part, r)[0];
        }
        QVERIFY(layout[8]["keptBefore"].toBool()); // "Таблица ___ …" stays with its table
        QCOMPARE(numeric.size(), rows);
        QCOMPARE(numeric.first(), profile::rowTexts(*s, 1, kRu)[0]);
        QCOMPARE(numeric[kNumericRowsPerPart],
                 profile::rowTexts(*s, kNumericRowsPerPart + 1, kRu)[0]);
        QCOMPARE(numeric.last(), profile::rowTexts(*s, rows, kRu)[0]);

        // The kPa table: a label column that holds "Давление," and value columns for five
        // digits, over the text width.
        const QJsonArray kpaWidths = doc["widths"].toArray()[2].toArray();
        QCOMPARE(kpaWidths.size(), 14);
        QCOMPARE(kpaWidths[0].toDouble(), 66.0);
        double total = 0;
        for (qsizetype i = 0; i < kpaWidths.size(); ++i) {
            total += kpaWidths[i].toDouble();
            if (i > 0)
                QCOMPARE(kpaWidths[i].toDouble(), 33.0);
        }
        QVERIFY(total <= 595.3 - 100 + 0.5);

        // Page numbers, settings of a current Word, the document's properties.
        QCOMPARE(doc["footerFields"].toArray(), (QJsonArray{"PAGE", "NUMPAGES"}));
        QCOMPARE(doc["compatibilityMode"].toString(), QString("15"));
        QCOMPARE(doc["themeLanguage"].toString(), QString("ru-RU"));
        QCOMPARE(doc["core"]["title"].toString(), QString("Результаты расчета при взрыве КВВ"));
        QCOMPARE(doc["core"]["language"].toString(), QString("ru-RU"));
        const QDateTime created =
            QDateTime::fromString(doc["core"]["created"].toString(), Qt::ISODate);
        QVERIFY(created >= before && created <= QDateTime::currentDateTimeUtc().addSecs(2));
        for (const char* part : {"/docProps/app.xml", "/word/settings.xml", "/word/footer1.xml"})
            QVERIFY2(doc["parts"].toArray().contains(QString(part)), part);

        // The charts print 480 × 300 pt with at least 200 pixels per inch.
        const QJsonArray pictures = doc["pictureSizes"].toArray();
        QCOMPARE(pictures.size(), 5);
        for (const auto& p : pictures) {
            const QJsonArray a = p.toArray();
            QCOMPARE(a[2].toDouble(), 480.0);
            QCOMPARE(a[3].toDouble(), 300.0);
            QVERIFY(a[0].toDouble() >= 480.0 / 72 * 200);
            QVERIFY(a[1].toDouble() >= 300.0 / 72 * 200);
        }
    }

    // One document, one decimal separator: with a decimal point the template's constants
    // follow the computed numbers. The template's page number stays in the report.
    void expertReportSeparator_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("comma") << kRu
                               << QStringList{"c1 = 0,84", "98,0655", "5,74·ln S", "119247,6"}
                               << QStringList{"0.84", "98.0655", "5.74"};
        QTest::newRow("point") << QLocale::c()
                               << QStringList{"c1 = 0.84", "98.0655", "5.74·ln S", "119247.6"}
                               << QStringList{"0,84", "98,0655", "5,74", "2,7", "4,2"};
    }
    void expertReportSeparator() {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);
        const QString templ = m_dir.filePath(kExpertTemplateName);
        buildExpertTemplate().save(templ);
        ExpertInput in;
        in.distanceText = "25";
        in.bodyMassText = "70";
        in.point.deltaPkPa = 119.24761;
        const QString out = m_dir.filePath("sep.docx");
        docx::writeFile(out, buildExpertReport(templ, in, locale));
        const QJsonObject doc = readWithPython("read_docx.py", out);
        const QString text = paragraphTexts(doc).join('\n');
        for (const QString& t : present)
            QVERIFY2(text.contains(t), qPrintable(t));
        for (const QString& t : absent)
            QVERIFY2(!text.contains(t), qPrintable(t));
        QCOMPARE(doc["footerFields"].toArray(), (QJsonArray{"PAGE", "NUMPAGES"}));
        QCOMPARE(doc["core"]["title"].toString(), QString("Частный отчет для эксперта"));
    }

    // The table on paper: A4 portrait, one page wide, rows 1–2 on every page and frozen.
    void workbookPrintSetup() {
        const auto s = workedRun();
        const QString path = m_dir.filePath("print.xlsx");
        writeProfileWorkbook(*s, path, kRu);
        const QJsonObject p = readWithPython("read_xlsx.py", path)["print"].toObject();
        QCOMPARE(p["paper"].toVariant().toInt(), 9);
        QCOMPARE(p["orientation"].toString(), QString("portrait"));
        QVERIFY(p["fitToPage"].toBool());
        QCOMPARE(p["fitToWidth"].toVariant().toInt(), 1);
        QCOMPARE(p["fitToHeight"].toVariant().toInt(), 0);
        QCOMPARE(p["titleRows"].toString(), QString("$1:$2"));
        QCOMPARE(p["frozen"].toString(), QString("A3"));
    }

    // The window and kelmo-calc describe a charge through one builder.
    void chargeDescription_data() {
        QTest::addColumn<int>("unit");
        QTest::addColumn<int>("placement");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("energy");
        QTest::addColumn<QString>("where");
        QTest::newRow("kJ/kg, ground")
            << int(HeatUnit::PerKg) << int(Placement::Ground) << "Энергия взрыва, кДж/кг:"
            << "809.08"
            << "на поверхности земли";
        QTest::newRow("kJ/mol shows the second field, air")
            << int(HeatUnit::PerMole) << int(Placement::Air) << "Энергия взрыва, кДж/моль:"
            << "179"
            << "в воздухе";
    }
    void chargeDescription() {
        QFETCH(int, unit);
        QFETCH(int, placement);
        QFETCH(QString, caption);
        QFETCH(QString, energy);
        QFETCH(QString, where);
        const ChargeDescription c =
            describeCharge({"Гексоген", "12,5", static_cast<HeatUnit>(unit), "809.08", "179",
                            static_cast<Placement>(placement), "70"});
        QCOMPARE(c.name, QString("Гексоген"));
        QCOMPARE(c.massText, QString("12,5"));
        QCOMPARE(c.energyCaption, caption);
        QCOMPARE(c.energyText, energy);
        QCOMPARE(c.placementText, where);
        QCOMPARE(c.bodyMassText, QString("70"));
    }

    // The manual's markup on a small text: headings into the contents, items that go on over
    // several lines, notes for the writers left out, a table, a missing picture named.
    void manualMarkup() {
        const QString text = QStringLiteral(";; a note for the writers\n"
                                            "=! Заголовок\n"
                                            "[содержание]\n"
                                            "# 1. Глава\n"
                                            "Первая строка\nвторая строка.\n"
                                            "\n"
                                            "- пункт один\n  и его продолжение;\n- пункт два.\n"
                                            "## 1.1. Раздел\n"
                                            "[рисунок нет.png] Рисунок 1. Нет\n"
                                            "| А | Б |\n| 1 | 2 |\n"
                                            "Текст после таблицы.\n");
        QStringList missing;
        const QString path = m_dir.filePath("markup.docx");
        buildManual(text, m_dir.path(), &missing).save(path);
        QCOMPARE(missing, QStringList{"нет.png"});
        const QJsonObject doc = readWithPython("read_docx.py", path);
        const QStringList texts = paragraphTexts(doc);
        QVERIFY(!texts.join('\n').contains("note"));
        QVERIFY(texts.contains("Первая строка вторая строка."));
        QVERIFY(texts.contains("– пункт один и его продолжение;"));
        QVERIFY(texts.contains("– пункт два."));
        QVERIFY(texts.contains("Текст после таблицы."));
        QCOMPARE(doc["tables"].toArray(),
                 (QJsonArray{QJsonArray{QJsonArray{"А", "Б"}, QJsonArray{"1", "2"}}}));
        // The contents: a line per heading with a page reference to its bookmark.
        const QJsonArray paras = doc["paragraphs"].toArray();
        QStringList refs;
        for (const auto& p : paras)
            for (const auto& f : p.toObject()["fields"].toArray())
                refs << f.toString();
        QCOMPARE(refs, (QStringList{"PAGEREF _TocKelmo1 \\h", "PAGEREF _TocKelmo2 \\h"}));
        QCOMPARE(doc["bookmarks"]["_TocKelmo1"].toString(), QString("1. Глава"));
        QCOMPARE(doc["bookmarks"]["_TocKelmo2"].toString(), QString("1.1. Раздел"));
        QVERIFY(!texts.contains("Рисунок 1. Нет"));
    }

    // The contents' page numbers as a PDF reader lays out the manual's first pages: one per
    // heading in order, an entry wrapped onto a second line, nothing when a heading is missing.
    void contentsPageNumbersFromLaidOutText_data() {
        QTest::addColumn<QString>("laidOut");
        QTest::addColumn<QStringList>("pages");
        const QString title = QStringLiteral("            Инструкция\nСодержание\n");
        QTest::newRow("plain") << title + "1. Глава......................3\n"
                                          "    1.1. Раздел о длинном предмете.......4\n"
                                          "2. Вторая глава.............12\n\f1. Глава\n"
                               << QStringList{"3", "4", "12"};
        QTest::newRow("wrapped entry") << title + "1. Глава......................3\n"
                                                  "    1.1. Раздел о длинном\n"
                                                  "    предмете.............................5\n"
                                                  "2. Вторая глава.............12\n"
                                       << QStringList{"3", "5", "12"};
        QTest::newRow("heading missing") << title + "1. Глава......................3\n"
                                                    "2. Вторая глава.............12\n"
                                         << QStringList{};
        QTest::newRow("no contents") << QStringLiteral("1. Глава......3\n") << QStringList{};
        QTest::newRow("no page number") << title + "1. Глава\n    1.1. Раздел о длинном предмете\n"
                                                   "2. Вторая глава.............12\n"
                                        << QStringList{};
    }

    void contentsPageNumbersFromLaidOutText() {
        QFETCH(QString, laidOut);
        QFETCH(QStringList, pages);
        const QString manual = QStringLiteral("[содержание]\n# 1. Глава\nТекст.\n"
                                              "## 1.1. Раздел о длинном предмете\n"
                                              "# 2. Вторая глава\n");
        QCOMPARE(contentsPageNumbers(manual, laidOut), pages);
    }

    // The manual the build writes into the program folder for the main menu's "Инструкция":
    // a .docx that Word's readers open, with every chapter as a bold heading and 12 pt text.
    void builtUserManual() {
        const QString path = QStringLiteral(KELMO_USER_MANUAL);
        QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
        const QJsonObject doc = readWithPython("read_docx.py", path);
        QVERIFY(!doc.isEmpty());
        const QStringList chapters{
            "Инструкция пользователя",
            "1. Назначение программы и метод расчета",
            "2. Запуск программы и источник данных",
            "3. Главное меню",
            "4. Окно исходных данных",
            "5. Окно результатов",
            "6. Отчеты",
            "7. Расчет из командной строки: kelmo-calc",
            "8. Сообщения программы",
            "9. Справочники базы данных",
            "10. Планы местности",
            "11. Инженерная обстановка на плане местности",
            "12. Карта плана",
        };
        QStringList bold;
        int body = 0;
        for (const auto& v : doc["paragraphs"].toArray()) {
            const QJsonObject p = v.toObject();
            if (p["text"].toString().isEmpty()) {
                continue;
            }
            if (p["bold"].toBool()) {
                bold << p["text"].toString();
            } else {
                QCOMPARE(p["size"].toDouble(), 12.0);
                ++body;
            }
        }
        for (const QString& chapter : chapters) {
            QVERIFY2(bold.contains(chapter), qPrintable(chapter));
        }
        // Chapters in reading order.
        qsizetype at = -1;
        for (const QString& chapter : chapters) {
            const qsizetype next = bold.indexOf(chapter);
            QVERIFY2(next > at, qPrintable(chapter));
            at = next;
        }
        QVERIFY(body > 40);
        // Every picture the text names is in the document, in the text's order, with all its
        // pixels: at the text width, or at 200 dpi where that is narrower, never under 200 dpi.
        // A window much wider than the text is on a landscape page, wider than the upright
        // text, so that its letters stay legible on paper.
        QFile source(QStringLiteral(KELMO_MANUAL_SOURCE "/manual.txt"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QStringList named;
        for (const QString& line : QString::fromUtf8(source.readAll()).split(u'\n')) {
            if (line.startsWith(QStringLiteral("[рисунок "))) {
                named << line.mid(9, line.indexOf(u']') - 9).trimmed();
            }
        }
        QVERIFY(named.size() > 13); // every window and every kind of report
        const QJsonArray pictures = doc["pictureSizes"].toArray();
        QCOMPARE(pictures.size(), named.size());
        const double textWidth = 595.3 - 70.9 - 42.5;
        const double landscapeTextWidth = 841.9 - 70.9 - 42.5;
        int wide = 0;
        for (qsizetype i = 0; i < named.size(); ++i) {
            const QImage file(QStringLiteral(KELMO_MANUAL_SOURCE "/") + named[i]);
            QVERIFY2(!file.isNull(), qPrintable(named[i]));
            const QJsonArray a = pictures[i].toArray();
            QCOMPARE(QSize(a[0].toInt(), a[1].toInt()), file.size());
            const double natural = file.width() * 72.0 / kManualPictureDpi;
            if (natural > kManualLandscapeFrom * textWidth) {
                QVERIFY2(a[2].toDouble() > 1.2 * textWidth, qPrintable(named[i]));
                QVERIFY2(a[2].toDouble() <= landscapeTextWidth + 0.5, qPrintable(named[i]));
                QVERIFY2(doc["pictureLandscape"][i].toBool(), qPrintable(named[i]));
                ++wide;
            } else {
                // Never smaller than on an upright page, even when it shares a landscape one.
                QVERIFY2(a[2].toDouble() >= std::min(textWidth, natural) - 0.5,
                         qPrintable(named[i]));
                QVERIFY2(a[2].toDouble() <= natural + 0.5, qPrintable(named[i]));
            }
            QVERIFY(a[0].toDouble() / (a[2].toDouble() / 72) >= kManualPictureDpi - 1);
        }
        QVERIFY(wide > 0);
        // Contents with a page reference to every chapter, numbered pages.
        int refs = 0;
        for (const auto& v : doc["paragraphs"].toArray())
            refs += int(v.toObject()["fields"].toArray().size());
        QVERIFY(refs >= chapters.size() - 1);
        QCOMPARE(doc["footerFields"].toArray(), (QJsonArray{"PAGE", "NUMPAGES"}));
        QCOMPARE(doc["core"]["title"].toString(), QString("Инструкция пользователя"));
        // The table of messages quotes what the program says, word for word.
        const QJsonArray tables = doc["tables"].toArray();
        QCOMPARE(tables.size(), 1);
        const QStringList said = column(tables[0].toArray(), 0);
        QVERIFY(said.contains("Указанное расстояние выходит за границы расчета!"));
        QVERIFY(said.contains("Значение слева должно быть меньше значения справа!!!"));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
