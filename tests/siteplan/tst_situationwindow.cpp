// The situation window as a user reaches it: "РАСЧЕТ" on the plan editor, the shell opening
// the window, sorting, copying, the body mass and the documents.

#include "core/NumberText.h"
#include "core/ProgramFolder.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/SitePlan.h"
#include "reports/SituationReport.h"
#include "session/SituationSession.h"
#include "shell/Navigator.h"
#include "tests/support/WidgetLookup.h"
#include "ui/FileHandover.h"
#include "ui/Messages.h"
#include "ui/TableCopy.h"
#include "windows/map/PlanMapPage.h"
#include "windows/plan/PlanEditorWindow.h"
#include "windows/plan/SituationWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kelmo;
using kelmo::test::child;
using kelmo::ui::MessageRecorder;

namespace {

// A square structure of 10 m whose west wall lies `west` metres east of the origin.
db::StructureRecord squareAt(int plan, int number, double west, const QString& staff) {
    db::StructureRecord r;
    r.plan = plan;
    r.number = number;
    r.type = QStringLiteral("Склады");
    r.kind = QStringLiteral("Первый");
    r.storeys = QStringLiteral("1");
    r.staff = staff;
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

} // namespace

class TestSituationWindow final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<shell::Navigator> m_navigator;
    int m_plan = 0;
    int m_emptyPlan = 0;

    // The editor on a plan with the charge typed: 1000 kg of TNT at the origin, on the ground.
    plan::PlanEditorWindow* editorOn(int plan) {
        m_navigator->planSession().planNumber = plan;
        plan::PlanEditorWindow* editor = m_navigator->showPlanEditor();
        editor->showPlanAreas();
        child<QRadioButton>(editor, "Option4")->setChecked(true);
        child<QLineEdit>(editor, "Text14")->setText(QStringLiteral("Тротил"));
        child<QLineEdit>(editor, "Text11")->setText(QStringLiteral("1000"));
        child<QLineEdit>(editor, "Text12")->setText(QStringLiteral("4520"));
        child<QLineEdit>(editor, "Text15")->setText(QStringLiteral("0"));
        child<QLineEdit>(editor, "Text16")->setText(QStringLiteral("0"));
        return editor;
    }

    plan::SituationWindow* calculate(plan::PlanEditorWindow* editor) {
        QTest::mouseClick(child<QPushButton>(editor, "cmdRasch"), Qt::LeftButton);
        return m_navigator->situationWindow();
    }

    static QStringList column(QTableView* view, int c) {
        QStringList out;
        for (int r = 0; r < view->model()->rowCount(); ++r) {
            out << view->model()->index(r, c).data().toString();
        }
        return out;
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
            // Walls at 300, 5 and 50 m: as text "300,0" sorts before "5,0".
            db::addStructure(c, squareAt(m_plan, 1, 300, QStringLiteral("10")));
            db::addStructure(c, squareAt(m_plan, 2, 5, QStringLiteral("20")));
            db::addStructure(c, squareAt(m_plan, 3, 50, QStringLiteral("30")));
            m_emptyPlan = db::createPlan(c, QStringLiteral("Пустой"));
        }
        m_messages = std::make_unique<MessageRecorder>();
        m_navigator = std::make_unique<shell::Navigator>();
        m_navigator->setConnectionString(db::fileConnectionString(m_path));
    }

    void cleanup() {
        m_navigator.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_messages.reset();
        ui::setSaveDialogForTesting({});
        ui::setOpenerForTesting({});
        setProgramFolderForTesting({});
        m_dir.reset();
    }

    // The charge as typed with a decimal comma is shown in the locale of the program, like the
    // table below it.
    void chargeShownInTheLocale() {
        const QLocale before;
        QLocale::setDefault(QLocale::c());
        plan::PlanEditorWindow* editor = editorOn(m_plan);
        child<QLineEdit>(editor, "Text11")->setText(QStringLiteral("1000,5"));
        child<QLineEdit>(editor, "Text15")->setText(QStringLiteral("-2,5"));
        plan::SituationWindow* w = calculate(editor);
        QLocale::setDefault(before);
        if (w == nullptr) {
            QFAIL(qPrintable(m_messages->last().text));
        }
        const QString charge = child<QLabel>(w, "lblCharge")->text();
        QVERIFY2(charge.contains(QStringLiteral("(кг):  1000.5\n")), qPrintable(charge));
        QVERIFY2(charge.contains(QStringLiteral("Х = -2.5,")), qPrintable(charge));
        QVERIFY2(!charge.contains(QRegularExpression(QStringLiteral("\\d,\\d"))),
                 qPrintable(charge));
    }

    // "РАСЧЕТ" → the shell opens the window with a row per structure; the table is the first
    // page of the window's tabs.
    void opensFromThePlanEditor() {
        plan::SituationWindow* w = calculate(editorOn(m_plan));
        if (w == nullptr) {
            QFAIL(qPrintable(m_messages->last().text));
        }
        QVERIFY(w->isVisible());
        QCOMPARE(m_messages->count(), 0);
        // The table first, then the map of the same situation with a structure per row.
        QCOMPARE(w->tabs()->count(), 2);
        QCOMPARE(w->tabs()->widget(0)->findChild<QTableView*>(), w->table());
        QCOMPARE(w->tabs()->widget(1), w->mapPage());
        QCOMPARE(int(w->mapPage()->model().structures.size()), 3);
        QCOMPARE(column(w->table(), reports::kSitNumber), (QStringList{"1", "2", "3"}));
        QCOMPARE(column(w->table(), reports::kSitDistance), (QStringList{"300,0", "5,0", "50,0"}));
        QVERIFY(child<QLabel>(w, "lblCharge")->text().contains(QStringLiteral("Тротил")));
        QVERIFY(child<QLabel>(w, "lblTotals")->text().contains(QStringLiteral("60 чел.")));

        // A second "РАСЧЕТ" replaces the window.
        const QPointer<plan::SituationWindow> first = w;
        QVERIFY(calculate(m_navigator->planEditor()) != first);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
    }

    // What stops the calculation: a message, and no window.
    void refusals_data() {
        QTest::addColumn<bool>("emptyPlan");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("messagePart");
        QTest::newRow("plan without structures")
            << true << QString() << QString() << QStringLiteral("нет сооружений");
        QTest::newRow("mass not a number")
            << false << QStringLiteral("Text11") << QStringLiteral("много")
            << QStringLiteral("Масса конденсированного ВВ");
        QTest::newRow("zero mass") << false << QStringLiteral("Text11") << QStringLiteral("0")
                                   << QStringLiteral("тротиловый эквивалент");
        QTest::newRow("X not a number")
            << false << QStringLiteral("Text15") << QStringLiteral("восток") << QStringLiteral("Х");
        QTest::newRow("Y not a number")
            << false << QStringLiteral("Text16") << QStringLiteral("север") << QStringLiteral("У");
    }

    void refusals() {
        QFETCH(bool, emptyPlan);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, messagePart);
        plan::PlanEditorWindow* editor = editorOn(emptyPlan ? m_emptyPlan : m_plan);
        if (!field.isEmpty()) {
            child<QLineEdit>(editor, field.toLatin1().constData())->setText(value);
        }
        QVERIFY(calculate(editor) == nullptr);
        QCOMPARE(m_messages->count(), 1);
        QVERIFY2(m_messages->last().text.contains(messagePart),
                 qPrintable(m_messages->last().text));
    }

    // Sorting goes by the value a column holds, not by its text, both ways.
    void sortsByValue() {
        plan::SituationWindow* w = calculate(editorOn(m_plan));
        QVERIFY(w != nullptr);
        QTableView* view = w->table();
        view->sortByColumn(reports::kSitDistance, Qt::AscendingOrder);
        QCOMPARE(column(view, reports::kSitNumber), (QStringList{"2", "3", "1"}));
        view->sortByColumn(reports::kSitDeltaP, Qt::AscendingOrder);
        QCOMPARE(column(view, reports::kSitNumber), (QStringList{"1", "3", "2"}));
        view->sortByColumn(reports::kSitStaff, Qt::DescendingOrder);
        QCOMPARE(column(view, reports::kSitNumber), (QStringList{"3", "2", "1"}));
    }

    // The copy holds the header and every row as shown, cells separated by tabs.
    void copiesTheTable() {
        plan::SituationWindow* w = calculate(editorOn(m_plan));
        QVERIFY(w != nullptr);
        w->table()->sortByColumn(reports::kSitDistance, Qt::AscendingOrder);
        QTest::mouseClick(child<QPushButton>(w, "cmdCopy"), Qt::LeftButton);
        const QString text = QGuiApplication::clipboard()->text();
        const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0].split(u'\t'), reports::situationHeader());
        const QStringList nearest = lines[1].split(u'\t');
        QCOMPARE(nearest.size(), reports::kSitColumnCount);
        QCOMPARE(nearest[reports::kSitNumber], QStringLiteral("2"));
        QCOMPARE(nearest[reports::kSitDistance], QStringLiteral("5,0"));
        QCOMPARE(nearest[reports::kSitDeltaP],
                 w->table()->model()->index(0, reports::kSitDeltaP).data().toString());
    }

    // A new body mass recalculates; one the calculation cannot take keeps the shown results.
    void bodyMassRecalculates() {
        plan::SituationWindow* w = calculate(editorOn(m_plan));
        QVERIFY(w != nullptr);
        QCOMPARE(child<QLineEdit>(w, "txtBodyMass")->text(), QStringLiteral("70"));

        child<QLineEdit>(w, "txtBodyMass")->setText(QStringLiteral("0"));
        QVERIFY(!w->recalculate());
        QCOMPARE(m_messages->count(), 1);
        QVERIFY(m_messages->last().text.contains(QStringLiteral("масса тела")));
        QCOMPARE(w->table()->model()->rowCount(), 3);
        QCOMPARE(w->session().charge().bodyMassKg, 70.0);

        child<QLineEdit>(w, "txtBodyMass")->setText(QStringLiteral("тяжелый"));
        QVERIFY(!w->recalculate());
        QVERIFY(m_messages->last().text.contains(QStringLiteral("Масса тела человека")));

        child<QLineEdit>(w, "txtBodyMass")->setText(QStringLiteral("82,5"));
        QTest::mouseClick(child<QPushButton>(w, "cmdRecalc"), Qt::LeftButton);
        QCOMPARE(m_messages->count(), 2);
        QCOMPARE(w->session().charge().bodyMassKg, 82.5);
        QCOMPARE(w->session().description().bodyMassText, QStringLiteral("82,5"));
        QCOMPARE(w->table()->model()->rowCount(), 3);
    }

    // The body mass shows: «P в), %», people outside buildings at each structure's distance,
    // follows it; what the structures suffer does not.
    void bodyMassChangesPeopleOutside() {
        plan::PlanEditorWindow* editor = editorOn(m_plan);
        // Structure 2 at 15 m, where people outside are hurt by chance, not for certain.
        child<QLineEdit>(editor, "Text15")->setText(QStringLiteral("-10"));
        plan::SituationWindow* w = calculate(editor);
        QVERIFY(w != nullptr);
        QCOMPARE(w->table()
                     ->model()
                     ->headerData(reports::kSitPercentPeople, Qt::Horizontal)
                     .toString()
                     .remove(u'\n'),
                 QStringLiteral("P в),%"));
        const QStringList people = column(w->table(), reports::kSitPercentPeople);
        const QStringList heavy = column(w->table(), reports::kSitPercentHeavy);
        for (const QString& cell : people) {
            QVERIFY2(numtext::parse(cell).has_value(), qPrintable(cell));
        }

        child<QLineEdit>(w, "txtBodyMass")->setText(QStringLiteral("20"));
        QTest::mouseClick(child<QPushButton>(w, "cmdRecalc"), Qt::LeftButton);
        QCOMPARE(m_messages->count(), 0);
        // A lighter body is thrown harder: more are hurt at the same distance.
        const QStringList lighter = column(w->table(), reports::kSitPercentPeople);
        QVERIFY2(*numtext::parse(lighter[1]) > *numtext::parse(people[1]) + 10,
                 qPrintable(people.join(u' ') + QStringLiteral(" → ") + lighter.join(u' ')));
        QCOMPARE(column(w->table(), reports::kSitPercentHeavy), heavy);
        // The same column, from the same numbers, in the copy.
        const QStringList copied = w->copyTable().split(u'\n')[1].split(u'\t');
        QCOMPARE(copied[reports::kSitPercentPeople],
                 w->table()->model()->index(0, reports::kSitPercentPeople).data().toString());
    }

    // A structure whose corners lie far beyond any plan (1e30 m, from an old database or a
    // script) is refused in its own row, with the reason; the others are computed and the
    // window opens without a message.
    void structureBeyondThePlanIsRefusedInItsRow() {
        int far = 0;
        {
            db::Connection c(db::fileConnectionString(m_path));
            far = db::createPlan(c, QStringLiteral("Дальний"));
            db::addStructure(c, squareAt(far, 1, 300, QStringLiteral("10")));
            db::StructureRecord lost = squareAt(far, 2, 5, QStringLiteral("20"));
            for (int i = 0; i < 8; i += 2) {
                lost.corners[i] = QStringLiteral("1e30"); // every X
            }
            db::addStructure(c, lost);
            db::addStructure(c, squareAt(far, 3, 50, QStringLiteral("30")));
        }
        plan::SituationWindow* w = calculate(editorOn(far));
        if (w == nullptr) {
            QFAIL(qPrintable(m_messages->last().text));
        }
        QCOMPARE(m_messages->count(), 0);
        QCOMPARE(column(w->table(), reports::kSitNumber), (QStringList{"1", "2", "3"}));
        QCOMPARE(column(w->table(), reports::kSitDistance), (QStringList{"300,0", "", "50,0"}));
        const QStringList degrees = column(w->table(), reports::kSitDegree);
        QVERIFY(!degrees[0].isEmpty() && degrees[1].isEmpty() && !degrees[2].isEmpty());
        const QString note = column(w->table(), reports::kSitWarning)[1];
        QVERIFY2(note.contains(QStringLiteral("вне пределов плана")) &&
                     note.contains(QStringLiteral("не рассчитано")),
                 qPrintable(note));
        const QString totals = child<QLabel>(w, "lblTotals")->text();
        QVERIFY2(totals.contains(QStringLiteral("не рассчитано — 1")), qPrintable(totals));
        QVERIFY(totals.contains(QStringLiteral("60 чел.")));
        // The map draws the two that were computed.
        QCOMPARE(int(w->mapPage()->model().structures.size()), 2);
    }

    // The charge as typed comes back with the separator of the table's numbers, in a point
    // locale and in a comma locale alike.
    void numbersInTheUsersLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typedMass");
        QTest::addColumn<QString>("typedX");
        QTest::addColumn<QString>("mass");
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("distance");
        QTest::newRow("C, typed with commas") << "C"
                                              << "1000,5"
                                              << "0,5"
                                              << "1000.5"
                                              << "Х = 0.5"
                                              << "4.5";
        QTest::newRow("ru_RU, typed with points") << "ru_RU"
                                                  << "1000.5"
                                                  << "0.5"
                                                  << "1000,5"
                                                  << "Х = 0,5"
                                                  << "4,5";
    }
    void numbersInTheUsersLocale() {
        QFETCH(QString, locale);
        QFETCH(QString, typedMass);
        QFETCH(QString, typedX);
        QFETCH(QString, mass);
        QFETCH(QString, x);
        QFETCH(QString, distance);
        QLocale::setDefault(QLocale(locale));
        plan::PlanEditorWindow* editor = editorOn(m_plan);
        child<QLineEdit>(editor, "Text11")->setText(typedMass);
        child<QLineEdit>(editor, "Text15")->setText(typedX);
        plan::SituationWindow* w = calculate(editor);
        if (w == nullptr) {
            QFAIL(qPrintable(m_messages->last().text));
        }
        const QString charge = child<QLabel>(w, "lblCharge")->text();
        QVERIFY2(
            charge.contains(QStringLiteral("Масса конденсированного ВВ (кг):  ") + mass + u'\n'),
            qPrintable(charge));
        QVERIFY2(charge.contains(x), qPrintable(charge));
        QCOMPARE(column(w->table(), reports::kSitDistance)[1], distance);
        const QString totals = child<QLabel>(w, "lblTotals")->text();
        const QString injured = totals.section(QStringLiteral("пострадавших в сооружениях: "), 1);
        QVERIFY2(injured.contains(QLocale().decimalPoint()), qPrintable(totals));
    }

    // Both documents go through the save dialog; Cancel writes nothing.
    void writesTheDocuments() {
        plan::SituationWindow* w = calculate(editorOn(m_plan));
        QVERIFY(w != nullptr);
        QString asked;
        QStringList opened;
        ui::setOpenerForTesting([&](const QString& path) { opened << path; });
        ui::setSaveDialogForTesting([&](const QString& defaultPath, const QString&) {
            asked = defaultPath;
            return QString();
        });
        QVERIFY(!w->writeReport());
        QVERIFY(asked.endsWith(QStringLiteral("Инженерная обстановка.docx")));
        QVERIFY(opened.isEmpty());

        const QString docx = m_dir->filePath(QStringLiteral("обстановка.docx"));
        const QString xlsx = m_dir->filePath(QStringLiteral("обстановка.xlsx"));
        ui::setSaveDialogForTesting([&](const QString& defaultPath, const QString&) {
            return defaultPath.endsWith(QStringLiteral(".docx")) ? docx : xlsx;
        });
        QTest::mouseClick(child<QPushButton>(w, "cmdReport"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(w, "cmdExcel"), Qt::LeftButton);
        QCOMPARE(m_messages->count(), 0);
        QCOMPARE(opened, (QStringList{docx, xlsx}));
        QVERIFY(QFileInfo(docx).size() > 0);
        QVERIFY(QFileInfo(xlsx).size() > 0);
    }
};

QTEST_MAIN(TestSituationWindow)
#include "tst_situationwindow.moc"
