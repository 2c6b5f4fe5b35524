// The reports started from the results window, as the user starts them.
#include "ReaderProcess.h"

#include "core/NumberText.h"
#include "core/ProgramFolder.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/ReferenceLookups.h"
#include "reports/ExpertReport.h"
#include "reports/FullReport.h"
#include "session/ZoneSession.h"
#include "shell/Navigator.h"
#include "tests/support/GuiTest.h"
#include "ui/FileHandover.h"
#include "ui/Messages.h"
#include "ui/Settings.h"
#include "windows/zone/ZoneInputWindow.h"
#include "windows/zone/ZoneResultsWindow.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace kelmo;
using namespace kelmo::zone;
using kelmo::ui::MessageRecorder;

using kelmo::test::child;

class TestReportWindows : public test::GuiTest {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void init() {
        QVERIFY(m_dir.isValid());
        setProgramFolderForTesting(m_dir.path());
        m_navigator = std::make_unique<shell::Navigator>();
        m_navigator->setReferenceLookups(lookups());
        startRecording();
        m_answer.clear();
        m_opened.clear();
        m_filter.clear();
        ui::setSaveDialogForTesting([this](const QString&, const QString& filter) {
            m_filter = filter;
            return m_answer;
        });
        ui::setOpenerForTesting([this](const QString& p) { m_opened = p; });
    }

    static ReferenceLookups lookups() {
        ReferenceLookups s;
        s.explosiveNames = [] {
            return QStringList{QStringLiteral("Тротил")};
        };
        s.explosiveHeat = [](const QString&) -> std::optional<double> {
            return 4520;
        };
        s.probitsToPercent = [](const std::array<float, 3>& p) {
            std::array<double, 3> out{};
            for (std::size_t i = 0; i < 3; ++i) {
                out[i] = 50 * std::erfc(-(p[i] - 5) / std::sqrt(2.0));
            }
            return out;
        };
        return s;
    }

    void cleanup() {
        m_navigator.reset();
        stopRecording();
        flushDeletes();
        ui::setSaveDialogForTesting({});
        ui::setOpenerForTesting({});
    }

    void itemsEnabled() {
        ZoneResultsWindow* out = runWorked();
        QVERIFY(child<QAction>(out, "mnuWord")->isEnabled());
        QVERIFY(child<QPushButton>(out, "Command3")->isEnabled());
        QVERIFY(child<QPushButton>(out, "Command10")->isEnabled());
    }

    void fullReportFromWindow() {
        ZoneResultsWindow* out = runWorked();
        child<QAction>(out, "mnuWord")->trigger(); // Cancel
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(m_filter, QString("Документ Word (*.docx)"));

        child<QLineEdit>(out, "Rast1")->setText("1");
        child<QLineEdit>(out, "Rast2")->setText("500");
        click(out, "Command1");
        m_answer = m_dir.filePath("report.docx");
        MessageRecorder messages;
        child<QAction>(out, "mnuWord")->trigger();
        QCOMPARE(messages.count(), 0);
        QCOMPARE(m_opened, m_answer);
        const QJsonObject doc = readWithPython("read_docx.py", m_answer);
        // A–H, then the 325 rows of the numeric table in parts, each with the header row.
        const QJsonArray tables = doc["tables"].toArray();
        const int parts = (325 + reports::kNumericRowsPerPart - 1) / reports::kNumericRowsPerPart;
        QCOMPARE(tables.size(), 8 + parts);
        QCOMPARE(doc["pictures"].toInt(), 6);
        qsizetype numericRows = 0;
        for (qsizetype t = 8; t < tables.size(); ++t) {
            numericRows += tables[t].toArray().size() - 1;
        }
        QCOMPARE(numericRows, 325);
        bool caption = false;
        for (const auto& p : doc["paragraphs"].toArray()) {
            caption |= p.toObject()["text"].toString().endsWith("(от 1 м до 500 м)");
        }
        QVERIFY(caption);
    }

    void tableFromWindow() {
        ZoneResultsWindow* out = runWorked();
        click(out, "Command3");
        QVERIFY(m_opened.isEmpty()); // Cancel writes nothing
        QCOMPARE(m_filter, QString("Книга Microsoft Excel (*.xlsx)"));
        QCOMPARE(QDir(m_dir.path()).entryList({"*.xlsx"}).size(), 0);
        m_answer = m_dir.filePath("table.xlsx");
        click(out, "Command3");
        QCOMPARE(m_opened, m_answer);
        const QJsonObject wb = readWithPython("read_xlsx.py", m_answer);
        QCOMPARE(wb["maxRow"].toInt(), 327);
    }

    void expertFromWindow() {
        ZoneResultsWindow* out = runWorked();
        child<QLineEdit>(out, "GOX")->setText("25");
        click(out, "Command9");
        // Changing the field afterwards does not change the distance the values belong to.
        child<QLineEdit>(out, "GOX")->setText("40");
        m_answer = m_dir.filePath("expert.docx");

        {
            MessageRecorder messages; // no template yet
            click(out, "Command10");
            QCOMPARE(messages.count(), 1);
            QVERIFY(messages.last().text.contains("otchet.docx"));
            QVERIFY(!QFile::exists(m_answer));
        }

        reports::buildExpertTemplate().save(sharedFile(reports::kExpertTemplateName));
        click(out, "Command10");
        QCOMPARE(m_opened, m_answer);
        const QJsonObject b = readWithPython("read_docx.py", m_answer)["bookmarks"].toObject();
        QCOMPARE(b["mr1"].toString(), QString("25"));
        QCOMPARE(b["mM1"].toString(), QString("70"));
        QCOMPARE(b["mF"].toString(),
                 QString(", так как взрыв происходит в воздухе применяется формула Ф-1"));
        QVERIFY(b["mProbit1"].toString().endsWith(child<QLabel>(out, "Label62")->text() + "%."));
        QCOMPARE(b["mS"].toString(),
                 numtext::fixed(m_navigator->zoneSession().lastPoint()->ptArgHeavy, 3));
    }

    // The full report's chart pictures come from one builder: the window's report and
    // kelmo-calc's hold the very same pictures for the same charge (both in the C locale here).
    void fullReportPicturesSameAsCommandLine() {
        QLocale::setDefault(QLocale::c());
        const auto restore =
            qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); });
        ZoneResultsWindow* out = runWorked();
        m_answer = m_dir.filePath("full-window.docx");
        child<QAction>(out, "mnuWord")->trigger();
        QCOMPARE(m_opened, m_answer);

        const QString cli = m_dir.filePath("full-cli.docx");
        QProcess calc;
        calc.start(KELMO_CALC_PATH, {"report", "--mass", "1000", "--air", "--docx", cli});
        QVERIFY(calc.waitForFinished(60000));
        QCOMPARE(calc.exitCode(), 0);

        const QJsonArray fromWindow =
            readWithPython("read_docx.py", m_answer)["pictureHashes"].toArray();
        const QJsonArray fromCli = readWithPython("read_docx.py", cli)["pictureHashes"].toArray();
        QCOMPARE(fromWindow.size(), 5);
        QCOMPARE(fromWindow, fromCli);
    }

    // The window and kelmo-calc fill the expert report from the same session values: the
    // same charge and distance give the same bookmarks (both in the C locale here).
    void expertSameAsCommandLine() {
        QLocale::setDefault(QLocale::c());
        const auto restore =
            qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); });
        const QString database = m_dir.filePath("bdKelmo.db");
        QFile::remove(database);
        db::createDatabaseFile(database, false);
        reports::buildExpertTemplate().save(sharedFile(reports::kExpertTemplateName));
        m_navigator->setReferenceLookups(
            ReferenceLookups::fromDatabase(db::fileConnectionString(database)));

        auto* zone = m_navigator->showZoneInput();
        auto* combo = child<QComboBox>(zone, "Combo4");
        combo->setCurrentIndex(combo->findText("Тротил (ТНТ)"));
        QCOMPARE(text(zone, "Text12"), QString("4520"));
        type(zone, "Text2", "1000.5");
        type(zone, "txtMch", "80");
        choose(zone, "Option5");
        click(zone, "cmdRasch");
        ZoneResultsWindow* out = m_navigator->zoneResults();
        QVERIFY(out != nullptr);
        type(out, "GOX", "25.5");
        click(out, "Command9");
        m_answer = m_dir.filePath("expert-window.docx");
        click(out, "Command10");
        QCOMPARE(m_opened, m_answer);

        const QString cli = m_dir.filePath("expert-cli.docx");
        QProcess calc;
        calc.start(KELMO_CALC_PATH, {"expert", "--mass", "1000.5", "--air", "--body-mass", "80",
                                     "--at", "25.5", "--db", database, "--template",
                                     sharedFile(reports::kExpertTemplateName), "--docx", cli});
        QVERIFY(calc.waitForFinished(60000));
        QCOMPARE(calc.exitCode(), 0);

        const QJsonObject fromWindow =
            readWithPython("read_docx.py", m_answer)["bookmarks"].toObject();
        const QJsonObject fromCli = readWithPython("read_docx.py", cli)["bookmarks"].toObject();
        QCOMPARE(fromWindow.size(), 21);
        QCOMPARE(fromWindow, fromCli);
        QCOMPARE(fromWindow["mr1"].toString(), QString("25.5"));
        QCOMPARE(fromWindow["mM1"].toString(), QString("80"));
    }

    // Both reports of the window carry the organisation and author kept in the settings and
    // the step of the run, in the user's locale.
    void reportsCarryTheByline() {
        ui::Settings settings(m_dir.filePath("kelmo.ini"));
        settings.setReportAuthor({"ООО «Проект»", "Иванов И. И."});
        m_navigator = std::make_unique<shell::Navigator>(&settings);
        m_navigator->setReferenceLookups(lookups());
        ZoneResultsWindow* out = runWorked(0.5);
        m_answer = m_dir.filePath("byline-full.docx");
        child<QAction>(out, "mnuWord")->trigger();
        QCOMPARE(m_opened, m_answer);
        child<QLineEdit>(out, "GOX")->setText("25");
        click(out, "Command9");
        reports::buildExpertTemplate().save(sharedFile(reports::kExpertTemplateName));
        m_answer = m_dir.filePath("byline-expert.docx");
        click(out, "Command10");
        QCOMPARE(m_opened, m_answer);

        for (const char* file : {"byline-full.docx", "byline-expert.docx"}) {
            QStringList texts;
            for (const auto& p :
                 readWithPython("read_docx.py", m_dir.filePath(file))["paragraphs"].toArray()) {
                texts << p.toObject()["text"].toString();
            }
            for (const char* line : {"Организация:     ООО «Проект»",
                                     "Исполнитель:     Иванов И. И.", "Шаг расчета (м):     0,5"}) {
                QVERIFY2(texts.contains(QString::fromUtf8(line)), file);
            }
        }
        m_navigator.reset(); // before the settings go
    }

    // A template that claims a part of 2^61 bytes ends the action with a message; the results
    // window and its values stay.
    void expertFromHostileTemplate() {
        ZoneResultsWindow* out = runWorked();
        child<QLineEdit>(out, "GOX")->setText("25");
        click(out, "Command9");
        QFile::remove(sharedFile(reports::kExpertTemplateName));
        QVERIFY(QFile::copy(QStringLiteral(KELMO_TEST_SCRIPTS "/fixtures/huge-part.docx"),
                            sharedFile(reports::kExpertTemplateName)));
        m_answer = m_dir.filePath("hostile.docx");
        MessageRecorder messages;
        click(out, "Command10");
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.last().text.contains("слишком велика"), qPrintable(messages.last().text));
        QVERIFY(!QFile::exists(m_answer));
        QCOMPARE(m_navigator->zoneResults(), out);
        QVERIFY(!child<QLabel>(out, "Label62")->text().isEmpty());
    }

    // More than kLongReportRows rows: the window asks first and suggests the Excel table;
    // "Нет" writes nothing, "Да" writes the whole report.
    void longReportAsksFirst() {
        ZoneResultsWindow* out = runWorked(0.05); // about 6,500 rows
        const int rows = m_navigator->zoneSession().state().pointCount;
        QVERIFY(rows > reports::kLongReportRows);
        m_answer = m_dir.filePath("long.docx");
        messages().clear();
        answerNextMessage(QMessageBox::No);
        child<QAction>(out, "mnuWord")->trigger();
        QCOMPARE(messages().count(), 1);
        QVERIFY(messages().last().text.contains(QString::number(rows)));
        QVERIFY(messages().last().text.contains("Excel"));
        QVERIFY(messages().last().buttons.testFlag(QMessageBox::No));
        QVERIFY(m_filter.isEmpty()); // no save dialog
        QVERIFY(!QFile::exists(m_answer));

        messages().clear();
        answerNextMessage(QMessageBox::Yes);
        child<QAction>(out, "mnuWord")->trigger();
        QCOMPARE(messages().count(), 1);
        QCOMPARE(m_opened, m_answer);
        QVERIFY(QFile::exists(m_answer));
    }

private:
    ZoneResultsWindow* runWorked(double step = 1) {
        auto* zone = m_navigator->showZoneInput();
        m_navigator->zoneSession().state().step = step;
        child<QLineEdit>(zone, "Text2")->setText("1000");
        child<QRadioButton>(zone, "Option5")->setChecked(true);
        click(zone, "cmdRasch");
        auto* out = m_navigator->zoneResults();
        if (!out) {
            qFatal("the worked run did not open the results window");
        }
        return out;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<shell::Navigator> m_navigator;
    QString m_answer, m_opened, m_filter;
};

QTEST_MAIN(TestReportWindows)
#include "tst_reportwindows.moc"
