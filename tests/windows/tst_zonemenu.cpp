// The way from the main menu into the zone windows and back, on a real database file.

#include "core/ProgramFolder.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "shell/MainWindow.h"
#include "shell/Navigator.h"
#include "tests/support/GuiTest.h"
#include "ui/Messages.h"
#include "windows/zone/ZoneInputWindow.h"
#include "windows/zone/ZoneResultsWindow.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kelmo;

class TestZoneMenu : public test::GuiTest {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<shell::Navigator> m_navigator;

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        setProgramFolderForTesting(m_dir->path());
        db::createDatabaseFile(m_dir->filePath(QStringLiteral("bdKelmo.db")), false);
        startRecording();
        m_navigator = std::make_unique<shell::Navigator>();
        QVERIFY(m_navigator->start());
        QCOMPARE(m_navigator->connectionString(), defaultConnectionString());
    }

    void cleanup() {
        m_navigator.reset();
        stopRecording();
        flushDeletes();
        setProgramFolderForTesting({});
        m_dir.reset();
    }

    // Main menu → input window with the catalogue → worked run → point calculation with the
    // probit table → back to the input window → back to the menu.
    void roundTrip() {
        ui::MessageRecorder messages;
        auto* menu = m_navigator->mainMenu();
        QVERIFY(menu && menu->isVisible());
        QAction* item = menu->findChild<QAction*>(QStringLiteral("mnuZone"));
        QVERIFY(item->isEnabled());
        QCOMPARE(item->text().remove(u'&'), QStringLiteral("Определение размеров зон поражения"));
        item->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        auto* input = m_navigator->zoneInput();
        QVERIFY(input && input->isVisible());
        QVERIFY(m_navigator->mainMenu() == nullptr);

        auto* combo = input->findChild<QComboBox*>(QStringLiteral("Combo4"));
        QVERIFY(combo->count() > 0);
        QCOMPARE(combo->currentIndex(), 0);
        const int tnt = combo->findText(QStringLiteral("Тротил"), Qt::MatchStartsWith);
        QVERIFY(tnt >= 0);
        combo->setCurrentIndex(tnt);
        QCOMPARE(input->findChild<QLineEdit*>(QStringLiteral("Text12"))->text(),
                 QStringLiteral("4520"));
        input->findChild<QRadioButton*>(QStringLiteral("Option5"))->setChecked(true);
        QVERIFY(input->runCalculation());

        auto* out = m_navigator->zoneResults();
        QVERIFY(out != nullptr);
        QCOMPARE(out->findChild<QLabel*>(QStringLiteral("Rad1"))->text(), QStringLiteral("38"));
        out->findChild<QLineEdit*>(QStringLiteral("GOX"))->setText(QStringLiteral("1"));
        QVERIFY(out->calculatePoint());
        QCOMPARE(out->findChild<QLabel*>(QStringLiteral("Label62"))->text(),
                 QStringLiteral("100,0"));
        out->findChild<QLineEdit*>(QStringLiteral("GOX"))->setText(QStringLiteral("324"));
        QVERIFY(out->calculatePoint());
        QCOMPARE(out->findChild<QLabel*>(QStringLiteral("Label25"))->text(), QStringLiteral("0,0"));
        QCOMPARE(messages.count(), 0);

        out->findChild<QAction*>(QStringLiteral("mnuReturn"))->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(input->isVisible());
        QTest::mouseClick(input->findChild<QPushButton*>(QStringLiteral("cmdNazad")),
                          Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(m_navigator->zoneInput() == nullptr);
        QVERIFY(m_navigator->mainMenu() != nullptr);
        QVERIFY(m_navigator->mainMenu()->isVisible());
    }

    // A database that cannot answer: the point calculation says so and shows no results.
    void databaseFailure() {
        auto* input = m_navigator->showZoneInput();
        input->findChild<QRadioButton*>(QStringLiteral("Option5"))->setChecked(true);
        QVERIFY(input->runCalculation());
        auto* out = m_navigator->zoneResults();
        QFile::remove(m_dir->filePath(QStringLiteral("bdKelmo.db")));
        ui::MessageRecorder messages;
        out->findChild<QLineEdit*>(QStringLiteral("GOX"))->setText(QStringLiteral("20"));
        QVERIFY(!out->calculatePoint());
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().icon, QMessageBox::Critical);
        QVERIFY(!out->findChild<QGroupBox*>(QStringLiteral("Frame18"))->isVisibleTo(out));
    }
};

QTEST_MAIN(TestZoneMenu)
#include "tst_zonemenu.moc"
