// The reports as LibreOffice renders them: converted to PDF and read back with pdftotext.
#include "ReaderProcess.h"

#include "charts/ChartPicture.h"
#include "engine/ZoneRun.h"
#include "reports/ExpertReport.h"
#include "reports/FullReport.h"
#include "reports/SituationReport.h"
#include "tests/support/Runs.h"
#include "ui/FileHandover.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace kelmo;
using namespace kelmo::reports;

class TestReportsOffice : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("soffice").isEmpty() ||
            QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("LibreOffice or pdftotext is not installed");
        QVERIFY(m_dir.isValid());
    }

    void bothReportsOpenAndRender() {
        auto s = test::stateAfterRun(1000);
        const QLocale ru(QLocale::Russian, QLocale::Russia);
        const QString full = m_dir.filePath("full.docx");
        const ReportCharts pictures = charts::renderReportCharts(*s);
        // The longest distance text: five whole digits and the six decimals of the finest step.
        s->profile.row(2).r = 12345.6789012345;
        s->step = 1e-6;
        // A big charge at a fine step: radii of many digits in every column of the kPa table.
        for (int k = 1; k <= 10; ++k)
            s->radiiKPa[k] = 1000 + 100 * k + 0.671;
        s->radius53kPa = s->radius28kPa = s->radius12kPa = 1234.567;
        buildFullReport(*s,
                        {"Тротил", "1000", "Энергия взрыва, кДж/кг:", "4520", "в воздухе", "70"},
                        pictures, ru)
            .save(full);

        const QString templ = m_dir.filePath("otchet.docx");
        buildExpertTemplate().save(templ);
        ExpertInput e;
        e.distanceText = "25";
        e.bodyMassText = "70";
        e.placement = Placement::Ground;
        e.massTNT = 1000;
        e.point.probitPeople = 5.3f;
        e.percentPeopleText = "61,8";
        e.percentHeavyText = "100,0";
        e.percentTotalText = "96,2";
        const QString expert = m_dir.filePath("expert.docx");
        docx::writeFile(expert, buildExpertReport(templ, e, ru));

        QProcess lo;
        lo.setWorkingDirectory(m_dir.path());
        lo.start("soffice", {"--headless", "-env:UserInstallation=file://" + m_dir.filePath("lo"),
                             "--convert-to", "pdf", "full.docx", "expert.docx"});
        QVERIFY(lo.waitForFinished(240000));
        QCOMPARE(lo.exitCode(), 0);

        // Where a line breaks depends on the fonts of the machine, so texts are compared
        // without their white space.
        const QString fullText = pdfText(m_dir.filePath("full.pdf"));
        for (const char* t : {"Результаты расчета при взрыве КВВ", "Энергия взрыва, кДж/кг:4520",
                              "Радиусы избыточного давления (кПа), м", "500…800",
                              "График пробит-функции для полных разрушений зданий",
                              "Числовые результаты расчета на заданном удалении", "Импульс, Па·с"})
            QVERIFY2(withoutSpace(fullText).contains(withoutSpace(QString::fromUtf8(t))), t);
        // The last row of the profile made it to the last page.
        QVERIFY(fullText.contains(QStringLiteral("\n325\n")));
        // The longest distance stays on one line of its cell.
        QVERIFY(fullText.contains(QStringLiteral("\n12345,678901\n")));
        // So does every radius of the thirteen-column kPa table (the same radii appear whole in
        // the wider tables after it, so only its own stretch of text counts).
        const qsizetype kPaTable =
            fullText.indexOf(QStringLiteral("Радиусы избыточного давления (кПа)"));
        const qsizetype nextHeading =
            fullText.indexOf(QStringLiteral("Детерминированные"), kPaTable);
        QVERIFY(kPaTable >= 0 && nextHeading > kPaTable);
        const QString kPaText = fullText.mid(kPaTable, nextHeading - kPaTable);
        for (const char* r : {"1100,671", "2000,671", "1234,567"})
            QVERIFY2(kPaText.contains(QRegularExpression(
                         QStringLiteral("(^|\\s)%1(\\s|$)").arg(QLatin1String(r)))),
                     qPrintable(r + QStringLiteral(" in ") + kPaText));

        const QString expertText = pdfText(m_dir.filePath("expert.pdf"));
        for (const char* t : {"Частный отчет для эксперта", "5,3, что соответствует 61,8%.",
                              "так как взрыв происходит на поверхности земли применяется "
                              "формула Ф-1"})
            QVERIFY2(withoutSpace(expertText).contains(withoutSpace(QString::fromUtf8(t))), t);
        QVERIFY(!expertText.contains("___"));
    }

    // The situation report of a 300-structure plan with its map across the page: every row
    // reaches paper, and every page that holds rows starts with the table's header.
    void situationReportOnPaper() {
        std::vector<StructureRecord> plan;
        for (int i = 0; i < 300; ++i) {
            StructureRecord s;
            s.number = i + 1;
            s.type = "Здания";
            s.kind = "Кирпичные";
            s.storeys = "2";
            s.staff = 10;
            const double x = (i % 15) * 40 - 300;
            const double y = (i / 15) * 30 - 300;
            s.outline = {{{x, y}, {x + 12, y}, {x + 12, y + 8}, {x, y + 8}}};
            s.thresholds = {10, 20, 30, 100};
            plan.push_back(s);
        }
        ChargeInput charge;
        charge.chargeMassKg = 1000;
        const SituationResult result = evaluateSituation(
            charge, {0, 0}, plan, [](float probit) { return probit > 5 ? 100.0 : 0.0; });
        SituationReportInput in;
        in.planName = "Площадка";
        in.charge = {"Тротил", "1000", "Энергия взрыва, кДж/кг:", "4520", "на поверхности земли",
                     "70"};
        in.xText = in.yText = "0";
        in.result = &result;
        // A blank picture of the report map's size at 300 dpi.
        in.map = QImage(3012, 1772, QImage::Format_RGB32);
        in.map.fill(Qt::white);
        const QString docx = m_dir.filePath("situation.docx");
        buildSituationReport(in, QLocale(QLocale::Russian, QLocale::Russia)).save(docx);

        QProcess lo;
        lo.setWorkingDirectory(m_dir.path());
        lo.start("soffice", {"--headless", "-env:UserInstallation=file://" + m_dir.filePath("lo"),
                             "--convert-to", "pdf", "situation.docx"});
        QVERIFY(lo.waitForFinished(240000));
        QCOMPARE(lo.exitCode(), 0);
        const QStringList pages = pdfText(m_dir.filePath("situation.pdf")).split(u'\f');
        int rows = 0;
        int pagesWithRows = 0;
        for (const QString& page : pages) {
            const int here = static_cast<int>(page.count(QStringLiteral("Кирпичные")));
            if (here == 0) {
                continue;
            }
            ++pagesWithRows;
            rows += here;
            QVERIFY2(page.count(QStringLiteral("Примечание")) == 1, qPrintable(page.left(300)));
        }
        QCOMPARE(rows, 300);
        QVERIFY(pagesWithRows > 1);
        // The first page holds the charge and the totals, the map a page of its own.
        QVERIFY(pages.first().contains(QStringLiteral("Итоги")));
        QVERIFY(!pages.first().contains(QStringLiteral("Кирпичные")));
    }

    // The PDF edition of the manual that the build makes beside the .docx: made from the current
    // .docx and complete, from the title to the last chapter and the table of messages.
    void builtManualPdf() {
        const QString pdf = QStringLiteral(KELMO_USER_MANUAL_PDF);
        if (pdf.isEmpty()) {
            QSKIP("this build makes no PDF of the manual (KELMO_MANUAL_PDF=OFF)");
        }
        QVERIFY2(QFileInfo(pdf).isFile(), qPrintable(pdf));
        QVERIFY(QFileInfo(pdf).lastModified() >=
                QFileInfo(QStringLiteral(KELMO_USER_MANUAL)).lastModified());
        const QString text = withoutSpace(pdfText(pdf));
        // The manual's last line of plain text, which closes its last chapter.
        QFile source(QStringLiteral(KELMO_MANUAL_SOURCE "/manual.txt"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QString last;
        for (const QString& line : QString::fromUtf8(source.readAll()).split(u'\n')) {
            if (!line.trimmed().isEmpty() && !QStringLiteral(";#[|=- ").contains(line.front())) {
                last = line;
            }
        }
        for (const QString& t : {QStringLiteral("Инструкция пользователя"),
                                 QStringLiteral("1. Назначение программы и метод расчета"),
                                 // A message of the table of messages: its start only,
                                 // since the cell's second line may be read after the
                                 // next column's first.
                                 QStringLiteral("Значение слева должно быть меньше"), last})
            QVERIFY2(text.contains(withoutSpace(t)), qPrintable(t));

        // The .docx shows the contents' page numbers before Word updates a field, and each
        // is the page of the PDF edition that holds its chapter or section.
        const QStringList pages = pdfText(pdf).split(u'\f');
        const QJsonObject doc = readWithPython("read_docx.py", QStringLiteral(KELMO_USER_MANUAL));
        int entries = 0;
        for (const auto& v : doc["paragraphs"].toArray()) {
            const QJsonObject p = v.toObject();
            if (p["fields"].toArray().isEmpty()) {
                continue;
            }
            const QString entry = p["text"].toString();
            const QString heading = entry.section(u'\t', 0, 0).trimmed();
            bool isNumber = false;
            const int page = entry.section(u'\t', -1).trimmed().toInt(&isNumber);
            QVERIFY2(isNumber && page >= 1 && page <= pages.size(), qPrintable(entry));
            QVERIFY2(withoutSpace(pages[page - 1]).contains(withoutSpace(heading)),
                     qPrintable(entry));
            ++entries;
        }
        QVERIFY(entries > 30);
        QVERIFY(!doc["updateFields"].toBool());
    }

private:
    static QString withoutSpace(QString text) {
        text.removeIf([](QChar c) { return c.isSpace(); });
        return text;
    }

    static QString pdfText(const QString& pdf) {
        QProcess p;
        p.start("pdftotext", {pdf, "-"});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    QTemporaryDir m_dir;
};

QTEST_MAIN(TestReportsOffice)
#include "tst_reports_office.moc"
