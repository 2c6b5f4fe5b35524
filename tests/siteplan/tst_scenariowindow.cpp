// The scenarios of a plan in the plan editor, driven as a user would: adding the typed charge,
// choosing, renaming, copying and deleting, the last used one on reopening, and "РАСЧЕТ" over
// every scenario giving the worst-case situation window.

#include "core/ProgramFolder.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/Scenarios.h"
#include "data/SitePlan.h"
#include "map/PlanMapModel.h"
#include "reports/SituationReport.h"
#include "shell/Navigator.h"
#include "tests/support/WidgetLookup.h"
#include "ui/Messages.h"
#include "windows/map/PlanMapPage.h"
#include "windows/plan/PlanEditorWindow.h"
#include "windows/plan/ScenarioPanel.h"
#include "windows/plan/SituationWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace kelmo;
using kelmo::test::child;
using kelmo::ui::MessageRecorder;

namespace {

// A square structure of 10 m whose west wall lies `west` metres east of the origin.
db::StructureRecord squareAt(int plan, int number, double west) {
    db::StructureRecord r;
    r.plan = plan;
    r.number = number;
    r.type = QStringLiteral("Склады");
    r.kind = QStringLiteral("Первый");
    r.storeys = QStringLiteral("1");
    r.staff = QStringLiteral("10");
    r.selected = {false, false, true, false};
    r.pressure = {12, 25, 35, 50};
    const double x[4] = {west, west + 10, west + 10, west};
    const double y[4] = {-5, -5, 5, 5};
    for (int i = 0; i < 4; ++i) {
        r.corners[2 * i] = QString::number(x[i]);
        r.corners[2 * i + 1] = QString::number(y[i]);
    }
    return r;
}

QStringList items(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) {
        out << list->item(i)->text();
    }
    return out;
}

} // namespace

class TestScenarioWindow final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<shell::Navigator> m_navigator;
    int m_plan = 0;
    int m_otherPlan = 0;

    plan::PlanEditorWindow* editorOn(int plan) {
        m_navigator->planSession().planNumber = plan;
        plan::PlanEditorWindow* editor = m_navigator->showPlanEditor();
        editor->showPlanAreas();
        return editor;
    }

    static void typeCharge(QWidget* editor, const QString& mass, const QString& x) {
        child<QRadioButton>(editor, "Option4")->setChecked(true);
        child<QLineEdit>(editor, "Text14")->setText(QStringLiteral("Тротил"));
        child<QLineEdit>(editor, "Text11")->setText(mass);
        child<QLineEdit>(editor, "Text12")->setText(QStringLiteral("4520"));
        child<QLineEdit>(editor, "Text15")->setText(x);
        child<QLineEdit>(editor, "Text16")->setText(QStringLiteral("0"));
    }

    static void press(QWidget* editor, const char* name, const QString& typedName = {}) {
        if (!typedName.isNull()) {
            child<QLineEdit>(editor, "txtScenarioName")->setText(typedName);
        }
        QTest::mouseClick(child<QPushButton>(editor, name), Qt::LeftButton);
    }

private slots:
    void init() {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        setProgramFolderForTesting(m_dir->path());
        m_path = m_dir->filePath(QStringLiteral("bdKelmo.db"));
        db::createDatabaseFile(m_path, false);
        {
            db::Connection c(db::fileConnectionString(m_path));
            m_plan = db::createPlan(c, QStringLiteral("Склад"));
            db::addStructure(c, squareAt(m_plan, 1, 300));
            db::addStructure(c, squareAt(m_plan, 2, 5));
            db::addStructure(c, squareAt(m_plan, 3, 50));
            m_otherPlan = db::createPlan(c, QStringLiteral("Другой"));
            db::addStructure(c, squareAt(m_otherPlan, 1, 20));
        }
        m_messages = std::make_unique<MessageRecorder>();
        m_navigator = std::make_unique<shell::Navigator>();
        m_navigator->setConnectionString(db::fileConnectionString(m_path));
    }

    void cleanup() {
        m_navigator.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_messages.reset();
        setProgramFolderForTesting({});
        m_dir.reset();
    }

    void listKeepsTheCharges() {
        plan::PlanEditorWindow* editor = editorOn(m_plan);
        QListWidget* list = child<QListWidget>(editor, "lstScenarios");
        QCOMPARE(list->count(), 0);

        typeCharge(editor, QStringLiteral("1000"), QStringLiteral("0"));
        press(editor, "cmdScenarioAdd", QStringLiteral("Северный"));
        typeCharge(editor, QStringLiteral("500,5"), QStringLiteral("310"));
        child<QRadioButton>(editor, "Option1")->setChecked(true); // in the air
        press(editor, "cmdScenarioAdd", QStringLiteral("Южный"));
        QCOMPARE(m_messages->count(), 0);
        QCOMPARE(items(list), (QStringList{"Северный", "Южный"}));

        // The name is taken: a message, nothing added.
        press(editor, "cmdScenarioAdd", QStringLiteral("Северный"));
        QVERIFY2(m_messages->last().text.contains(QStringLiteral("уже есть")),
                 qPrintable(m_messages->last().text));
        QCOMPARE(list->count(), 2);
        m_messages->clear();

        // Choosing one fills the charge fields.
        list->setCurrentRow(0);
        QCOMPARE(child<QLineEdit>(editor, "Text11")->text(), QStringLiteral("1000"));
        QCOMPARE(child<QLineEdit>(editor, "Text15")->text(), QStringLiteral("0"));
        QVERIFY(child<QRadioButton>(editor, "Option2")->isChecked());
        list->setCurrentRow(1);
        QCOMPARE(child<QLineEdit>(editor, "Text11")->text(), QStringLiteral("500,5"));
        QCOMPARE(child<QLineEdit>(editor, "Text15")->text(), QStringLiteral("310"));
        QVERIFY(child<QRadioButton>(editor, "Option1")->isChecked());

        press(editor, "cmdScenarioRename", QStringLiteral("Южный склад"));
        press(editor, "cmdScenarioCopy"); // under the same name: "… (копия)"
        QCOMPARE(items(list), (QStringList{"Северный", "Южный склад", "Южный склад (копия)"}));
        QCOMPARE(list->currentItem()->text(), QStringLiteral("Южный склад (копия)"));

        // Delete asks first; "Нет" keeps it.
        m_messages->queueAnswer(QMessageBox::No);
        press(editor, "cmdScenarioDelete");
        QCOMPARE(m_messages->last().text,
                 QStringLiteral("Удалить сценарий «Южный склад (копия)»?"));
        QCOMPARE(list->count(), 3);
        m_messages->queueAnswer(QMessageBox::Yes);
        press(editor, "cmdScenarioDelete");
        QCOMPARE(items(list), (QStringList{"Северный", "Южный склад"}));

        // A changed charge stored into the chosen scenario.
        list->setCurrentRow(0);
        child<QLineEdit>(editor, "Text11")->setText(QStringLiteral("1200"));
        press(editor, "cmdScenarioSave");
        db::Connection c(db::fileConnectionString(m_path));
        QCOMPARE(db::readScenario(c, m_plan, QStringLiteral("Северный"))->charge.chargeMassKg,
                 1200.0);
        QCOMPARE(db::readScenario(c, m_plan, QStringLiteral("Южный склад"))->charge.chargeMassKg,
                 500.5);
    }

    // The scenario used last opens with the plan, its charge in the fields; another plan has
    // its own.
    void lastUsedOpensWithThePlan() {
        {
            db::Connection c(db::fileConnectionString(m_path));
            for (const auto& [name, x] : {std::pair{"Первый", 1.5}, {"Второй", 77.25}}) {
                db::ScenarioRecord r;
                r.plan = m_plan;
                r.name = QString::fromUtf8(name);
                r.charge.chargeMassKg = 100;
                r.charge.bodyMassKg = 85; // the plan window has no field for it
                r.point = {x, 0};
                db::addScenario(c, r);
            }
        }
        plan::PlanEditorWindow* editor = editorOn(m_plan);
        QListWidget* list = child<QListWidget>(editor, "lstScenarios");
        QCOMPARE(list->currentItem(), nullptr);
        list->setCurrentRow(0); // "Второй" in name order
        editor->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        editor = editorOn(m_otherPlan);
        QCOMPARE(child<QListWidget>(editor, "lstScenarios")->count(), 0);
        editor = editorOn(m_plan);
        list = child<QListWidget>(editor, "lstScenarios");
        QVERIFY(list->currentItem() != nullptr);
        QCOMPARE(list->currentItem()->text(), QStringLiteral("Второй"));
        QCOMPARE(child<QLineEdit>(editor, "Text15")->text(), QStringLiteral("77,25"));

        // Stored again from the window, the scenario keeps its body mass.
        child<QLineEdit>(editor, "Text11")->setText(QStringLiteral("150"));
        press(editor, "cmdScenarioSave");
        db::Connection c(db::fileConnectionString(m_path));
        const auto stored = db::readScenario(c, m_plan, QStringLiteral("Второй"));
        QCOMPARE(stored->charge.chargeMassKg, 150.0);
        QCOMPARE(stored->charge.bodyMassKg, 85.0);
    }

    // "РАСЧЕТ" with every scenario: each structure's worst case and the scenario that gives it.
    void worstCaseWindow() {
        {
            db::Connection c(db::fileConnectionString(m_path));
            for (const auto& [name, x] : {std::pair{"Северный", 0.0}, {"Южный", 310.0}}) {
                db::ScenarioRecord r;
                r.plan = m_plan;
                r.name = QString::fromUtf8(name);
                r.charge.chargeMassKg = 1000;
                r.point = {x, 0};
                db::addScenario(c, r);
            }
        }
        plan::PlanEditorWindow* editor = editorOn(m_plan);
        child<QCheckBox>(editor, "chkAllScenarios")->setChecked(true);
        QTest::mouseClick(child<QPushButton>(editor, "cmdRasch"), Qt::LeftButton);
        plan::SituationWindow* w = m_navigator->situationWindow();
        if (w == nullptr) {
            QFAIL(qPrintable(m_messages->last().text));
        }
        QAbstractItemModel* model = w->table()->model();
        QCOMPARE(model->columnCount(), reports::kSitColumnCount + 1);
        QCOMPARE(model->headerData(reports::kSitColumnCount, Qt::Horizontal).toString(),
                 QStringLiteral("Сценарий"));
        QStringList sources;
        QStringList distances;
        for (int r = 0; r < model->rowCount(); ++r) {
            sources << model->index(r, reports::kSitColumnCount).data().toString();
            distances << model->index(r, reports::kSitDistance).data().toString();
        }
        // Structure 1 (300 … 310 m) has the southern charge at its wall; the others are nearer
        // the northern one.
        QCOMPARE(sources, (QStringList{"Южный", "Северный", "Северный"}));
        QCOMPARE(distances, (QStringList{"0,0", "5,0", "50,0"}));
        QVERIFY(child<QLabel>(w, "lblCharge")->text().contains(QStringLiteral("худший случай")));
        QVERIFY(!child<QPushButton>(w, "cmdRecalc")->isEnabled());

        // The map shows every scenario's circles around its own storage point, each structure
        // coloured by the scenario the table names.
        QCOMPARE(child<QComboBox>(w, "cboScenario")->currentText(), QStringLiteral("Все сценарии"));
        const map::PlanMapModel& onMap = w->mapPage()->model();
        QCOMPARE(onMap.scenarios.size(), std::size_t(2));
        QCOMPARE(onMap.scenarios[0].name, QStringLiteral("Северный"));
        QCOMPARE(onMap.scenarios[1].point, QPointF(310, 0));
        QStringList mapSources;
        for (const map::MapStructure& s : onMap.structures) {
            mapSources << s.scenario;
        }
        QCOMPARE(mapSources, sources);
    }

    // A database held by another user: the window keeps answering behind «Отмена»; a write
    // given up on is not reported as done, and the list is read again.
    void waitingForTheDatabaseCanBeGivenUp() {
        plan::PlanEditorWindow* editor = editorOn(m_plan);
        QListWidget* list = child<QListWidget>(editor, "lstScenarios");
        db::Connection other(db::fileConnectionString(m_path));
        QSqlQuery lock(other.database());
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        auto release = qScopeGuard([&lock] { lock.exec(QStringLiteral("ROLLBACK")); });

        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(20);
        bool offered = false;
        QTimer::singleShot(700, editor, [editor, &offered] {
            if (auto* progress = editor->findChild<QProgressDialog*>()) {
                offered = progress->isVisible();
                progress->cancel();
            }
        });
        typeCharge(editor, QStringLiteral("1000"), QStringLiteral("0"));
        press(editor, "cmdScenarioAdd", QStringLiteral("Северный"));
        ticker.stop();
        QVERIFY2(offered, "the wait must offer «Отмена»");
        QVERIFY2(ticks >= 10, "the window must keep answering while it waits");
        QVERIFY(m_messages->count() > 0);
        const QString said = m_messages->last().text;
        QVERIFY2(said.startsWith(QStringLiteral("Сценарий не добавлен.")), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("не подтверждено")), qPrintable(said));
        QCOMPARE(list->count(), 0);

        // Let go, the worker stores it after all; the list read again shows it.
        release.dismiss();
        QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
        db::Connection c(db::fileConnectionString(m_path));
        QTRY_VERIFY_WITH_TIMEOUT(db::readScenario(c, m_plan, QStringLiteral("Северный")), 10000);
        editor->findChild<plan::ScenarioPanel*>()->reload();
        QCOMPARE(items(list), QStringList{QStringLiteral("Северный")});
    }

    void worstCaseOfAPlanWithoutScenarios() {
        plan::PlanEditorWindow* editor = editorOn(m_otherPlan);
        child<QCheckBox>(editor, "chkAllScenarios")->setChecked(true);
        QTest::mouseClick(child<QPushButton>(editor, "cmdRasch"), Qt::LeftButton);
        QCOMPARE(m_navigator->situationWindow(), nullptr);
        QVERIFY2(m_messages->last().text.contains(QStringLiteral("нет сценариев")),
                 qPrintable(m_messages->last().text));
    }
};

QTEST_MAIN(TestScenarioWindow)
#include "tst_scenariowindow.moc"
