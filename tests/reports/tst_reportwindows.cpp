// The reports started from the results window, as the user starts them.
#include "ReaderProcess.h"

#include "core/NumberText.h"
#include "core/ProgramFolder.h"
#include "reports/ExpertReport.h"
#include "reports/FullReport.h"
#include "reports/ReportHandover.h"
#include "tests/support/WidgetLookup.h"
#include "ui/Messages.h"
#include "ui/WindowRegistry.h"
#include "windows/zone/ZoneServices.h"
#include "windows/zone/frmOutput.h"
#include "windows/zone/frmZone.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace kelmo;
using namespace kelmo::zone;
using kelmo::ui::MessageRecorder;
using kelmo::ui::WindowRegistry;

using kelmo::test::child;

namespace {

void click(QWidget* w, const char* name) {
    QTest::mouseClick(child<QAbstractButton>(w, name), Qt::LeftButton);
}

} // namespace

class TestReportWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void init() {
        QVERIFY(m_dir.isValid());
        setProgramFolderForTesting(m_dir.path());
        m_state = std::make_unique<CalcState>();
        setCalcStateForTesting(m_state.get());
        Services& s = services();
        s.fillExplosiveList = [](QComboBox* combo) {
            combo->clear();
            combo->addItem(QStringLiteral("Тротил"));
        };
        s.showExplosiveEnergy = [](QComboBox*, QLineEdit* field) {
            field->setText("4520");
        };
        s.probitsToPercent = [](const std::array<float, 3>& p) {
            std::array<double, 3> out{};
            for (std::size_t i = 0; i < 3; ++i)
                out[i] = 50 * std::erfc(-(p[i] - 5) / std::sqrt(2.0));
            return out;
        };
        s.showMainMenu = [] {
        };
        m_answer.clear();
        m_opened.clear();
        m_filter.clear();
        reports::setSaveDialogForTesting([this](const QString&, const QString& filter) {
            m_filter = filter;
            return m_answer;
        });
        reports::setOpenerForTesting([this](const QString& p) { m_opened = p; });
    }

    void cleanup() {
        WindowRegistry::closeAll();
        setCalcStateForTesting(nullptr);
        services() = Services{};
        reports::setSaveDialogForTesting({});
        reports::setOpenerForTesting({});
    }

    void itemsEnabled() {
        frmOutput* out = runWorked();
        QVERIFY(child<QAction>(out, "mnuWord")->isEnabled());
        QVERIFY(child<QPushButton>(out, "Command3")->isEnabled());
        QVERIFY(child<QPushButton>(out, "Command10")->isEnabled());
    }

    void fullReportFromWindow() {
        frmOutput* out = runWorked();
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
        QCOMPARE(doc["tables"].toArray().size(), 9);
        QCOMPARE(doc["pictures"].toInt(), 6);
        QCOMPARE(doc["tables"].toArray()[8].toArray().size(), 326);
        bool caption = false;
        for (const auto& p : doc["paragraphs"].toArray())
            caption |= p.toObject()["text"].toString().endsWith("(от 1 м до 500 м)");
        QVERIFY(caption);
    }

    void tableFromWindow() {
        frmOutput* out = runWorked();
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
        frmOutput* out = runWorked();
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

        reports::buildExpertTemplate().save(programFile(reports::kExpertTemplateName));
        click(out, "Command10");
        QCOMPARE(m_opened, m_answer);
        const QJsonObject b = readWithPython("read_docx.py", m_answer)["bookmarks"].toObject();
        QCOMPARE(b["mr1"].toString(), QString("25"));
        QCOMPARE(b["mM1"].toString(), QString("70"));
        QCOMPARE(b["mF"].toString(),
                 QString(", так как взрыв происходит в воздухе применяется формула Ф-1"));
        QVERIFY(b["mProbit1"].toString().endsWith(child<QLabel>(out, "Label62")->text() + "%."));
        QCOMPARE(b["mS"].toString(), numtext::fixed(out->pointState().ptArgHeavy, 3));
    }

    // More than kLongReportRows rows: the window asks first and suggests the Excel table;
    // "Нет" writes nothing, "Да" writes the whole report.
    void longReportAsksFirst() {
        frmOutput* out = runWorked(0.05); // about 6,500 rows
        QVERIFY(m_state->gPointCount > reports::kLongReportRows);
        m_answer = m_dir.filePath("long.docx");
        {
            MessageRecorder messages;
            messages.queueAnswer(QMessageBox::No);
            child<QAction>(out, "mnuWord")->trigger();
            QCOMPARE(messages.count(), 1);
            QVERIFY(messages.last().text.contains(QString::number(m_state->gPointCount)));
            QVERIFY(messages.last().text.contains("Excel"));
            QVERIFY(messages.last().buttons.testFlag(QMessageBox::No));
            QVERIFY(m_filter.isEmpty()); // no save dialog
            QVERIFY(!QFile::exists(m_answer));
        }
        MessageRecorder messages;
        messages.queueAnswer(QMessageBox::Yes);
        child<QAction>(out, "mnuWord")->trigger();
        QCOMPARE(messages.count(), 1);
        QCOMPARE(m_opened, m_answer);
        QVERIFY(QFile::exists(m_answer));
    }

private:
    frmOutput* runWorked(double step = 1) {
        auto* zone = WindowRegistry::show<frmZone>();
        m_state->gStep = step;
        child<QLineEdit>(zone, "Text2")->setText("1000");
        child<QRadioButton>(zone, "Option5")->setChecked(true);
        click(zone, "cmdRasch");
        auto* out = WindowRegistry::find<frmOutput>();
        if (!out)
            qFatal("the worked run did not open the results window");
        return out;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CalcState> m_state;
    QString m_answer, m_opened, m_filter;
};

QTEST_MAIN(TestReportWindows)
#include "tst_reportwindows.moc"
