// Screenshots of the site plan editor with a plan of three structures, for looking at the
// layout and for the README. Works on a copy of the program folder's database.
// Usage: kelmo-plan-screens <folder>.

#include "data/SitePlan.h"
#include "ui/BackgroundWork.h"
#include "ui/Messages.h"
#include "ui/Screenshot.h"
#include "windows/map/PlanMapView.h"
#include "windows/plan/ChoosePlanDialog.h"
#include "windows/plan/CreatePlanDialog.h"
#include "windows/plan/PlanEditorWindow.h"
#include "windows/plan/tools/ScratchDatabase.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

using namespace kelmo;

namespace {

void save(QWidget* w, const QString& folder, const QString& name) {
    kelmo::ui::saveScreenshot(w, folder, name);
}

// The map's mouse at a plan point: a click, or only the move that shows what a click would do.
void clickOn(map::PlanMapView* view, QPointF plan) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(plan));
}
void hoverOver(map::PlanMapView* view, QPointF plan) {
    const QPointF at = view->mapFromScene(plan);
    QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
}

// The map as an editor on the plan of three structures: a fourth one, of six vertices, being
// drawn, then drawn; a structure picked with its vertices; a distance measured.
void editOnTheMap(plan::PlanEditorWindow& editor, const QString& folder) {
    map::PlanMapView* view = editor.planMap();
    auto* mapBox = editor.findChild<QGroupBox*>(QStringLiteral("frmMap"));
    editor.findChild<QLineEdit*>(QStringLiteral("Text15"))->setText(QStringLiteral("0"));
    editor.findChild<QLineEdit*>(QStringLiteral("Text16"))->setText(QStringLiteral("0"));
    // Taller than the screen, so that the map has room to show what it does.
    const QSize size = editor.size();
    editor.resize(size.width(), 1000);
    QApplication::processEvents();
    view->fitToPlan();
    view->scale(1.3, 1.3);
    editor.setMapTool(map::MapTool::Draw);
    // An L-shaped building of six vertices; the sixth, under the mouse, snaps square.
    clickOn(view, {-40, -20});
    clickOn(view, {-10, -20});
    clickOn(view, {-10, -8});
    clickOn(view, {-25, -8});
    clickOn(view, {-25, 5});
    hoverOver(view, {-39.5, 5.8});
    save(&editor, folder, QStringLiteral("plan-08-drawing"));
    save(mapBox, folder, QStringLiteral("map-edit-drawing"));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(QPointF(-40, 5)));

    editor.setMapTool(map::MapTool::Select);
    clickOn(view, {47, -2});
    save(&editor, folder, QStringLiteral("plan-09-selected"));
    save(mapBox, folder, QStringLiteral("map-edit-selected"));

    editor.setMapTool(map::MapTool::MeasureDistance);
    clickOn(view, {0, 0});
    hoverOver(view, {25, -5});
    save(mapBox, folder, QStringLiteral("map-edit-measure"));
    editor.setMapTool(map::MapTool::Select);
    editor.resize(size);
}

// Runs the action and, as soon as its busy sign with «Отмена» shows, takes it from the screen
// (the sign is a window of its own) under the name given, then presses «Отмена».
void shootBusySignAndCancel(plan::PlanEditorWindow& editor, const QString& folder,
                            const QString& name, const std::function<void()>& action) {
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, &editor, [&] {
        auto* busy = editor.findChild<QProgressDialog*>(QLatin1String(ui::kBackgroundDialogName));
        if (busy == nullptr || !busy->isVisible()) {
            return;
        }
        watch.stop();
        QTest::qWait(150);
        const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
        if (!QGuiApplication::primaryScreen()->grabWindow(0).save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        }
        busy->cancel();
    });
    watch.start();
    action();
    watch.stop();
}

// A plan of 30,000 structures opened: the window while the plan is read for the map, with its
// busy sign, and once the map shows it.
void bigPlan(const QString& connection, const QString& folder) {
    plan::PlanSession session;
    try {
        db::Connection c(connection);
        session.planNumber = db::createPlan(c, QStringLiteral("Промзона, 30 000 сооружений"));
        QList<db::StructureRecord> records;
        for (int n = 0; n < 30000; ++n) {
            db::StructureRecord r;
            r.type = QStringLiteral("Производственные, административные и жилые здания");
            r.kind = QStringLiteral("Кирпичные малоэтажные здания (1-2 этажа)");
            r.storeys = QStringLiteral("2");
            r.staff = QStringLiteral("12");
            r.pressure = {10, 20, 30, 50};
            const double x = (n % 200) * 25.0 - 2500;
            const double y = (n / 200) * 25.0 - 1875;
            db::setOutline(r, {{x, y}, {x, y + 12}, {x + 18, y + 12}, {x + 18, y}});
            records.append(r);
        }
        db::appendStructures(c, session.planNumber, records);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return;
    }
    plan::PlanEditorWindow editor(WindowContext::forDatabase(connection), session);
    editor.resize(1340, 700);
    editor.show();
    editor.showPlanAreas();
    QElapsedTimer waited;
    waited.start();
    while (editor.planLoading() && waited.elapsed() < 400) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    if (editor.planLoading()) {
        save(&editor, folder, QStringLiteral("plan-08-big-loading"));
    }
    while (editor.planLoading()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    save(&editor, folder, QStringLiteral("plan-09-big-loaded"));

    // «РАСЧЕТ» on the 30,000: the busy sign with «Отмена» over the window, taken from the screen
    // (the sign is a window of its own) as soon as it shows, then cancelled.
    editor.findChild<QComboBox*>(QStringLiteral("Combo4"))->setCurrentIndex(0);
    editor.findChild<QLineEdit*>(QStringLiteral("Text11"))->setText(QStringLiteral("5000"));
    editor.findChild<QLineEdit*>(QStringLiteral("Text15"))->setText(QStringLiteral("0"));
    editor.findChild<QLineEdit*>(QStringLiteral("Text16"))->setText(QStringLiteral("0"));
    shootBusySignAndCancel(editor, folder, QStringLiteral("plan-10-big-calculating"), [&editor] {
        editor.findChild<QPushButton*>(QStringLiteral("cmdRasch"))->click();
    });
    save(&editor, folder, QStringLiteral("plan-11-big-cancelled"));
}

// ">" while another connection holds the database's write lock, so that the read waits: the
// busy sign with «Отмена» taken from the screen, then the form as «Отмена» leaves it.
void stepWhileTheDatabaseWaits(plan::PlanEditorWindow& editor, const QString& connection,
                               const QString& folder) {
    auto locker = std::make_unique<db::Connection>(connection);
    locker->exec(QStringLiteral("begin exclusive"));
    shootBusySignAndCancel(editor, folder, QStringLiteral("plan-12-step-waiting"),
                           [&editor] { editor.nextStructure(); });
    save(&editor, folder, QStringLiteral("plan-13-step-cancelled"));
    locker->exec(QStringLiteral("rollback"));
    locker.reset();
    QTest::qWait(300); // the read given up on ends
    editor.statusBar()->clearMessage();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tools::reportMessagesOnStderr();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);

    QTemporaryDir temp;
    const QString connection = tools::scratchDatabase(temp);
    if (connection.isEmpty()) {
        return 1;
    }
    plan::PlanSession session;
    try {
        db::Connection c(connection);
        session.planNumber = db::createPlan(c, QStringLiteral("Склад ВВ №3"));
        // Three structures around a store of explosives.
        tools::addSampleStructures(c, session.planNumber,
                                   {{-40, 30, -10, 60, 15, 2},
                                    {25, -15, 70, 10, 30, 3},
                                    {-35, -70, 5, -45, 45, 4, false}});
        // An L-shaped building north-east of the store: an outline of six vertices.
        if (const auto first = db::readStructure(c, session.planNumber, 1)) {
            db::StructureRecord l = *first;
            l.number = 4;
            l.staff = QStringLiteral("40");
            db::setOutline(l, {{20, 30}, {80, 30}, {80, 45}, {40, 45}, {40, 75}, {20, 75}});
            db::addStructure(c, l);
        }
        db::createPlan(c, QStringLiteral("Цех сборки"));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    const WindowContext context = WindowContext::forDatabase(connection);
    plan::PlanEditorWindow editor(context, session);
    editor.resize(1340, 700);
    editor.show();
    save(&editor, folder, QStringLiteral("plan-01-opened"));

    editor.showPlanAreas();
    editor.findChild<QComboBox*>(QStringLiteral("Combo4"))->setCurrentIndex(0);
    editor.findChild<QLineEdit*>(QStringLiteral("Text11"))->setText(QStringLiteral("500"));
    save(&editor, folder, QStringLiteral("plan-02-chosen")); // opens on its first structure
    editor.nextStructure();
    editor.nextStructure();
    save(&editor, folder, QStringLiteral("plan-02-structure"));
    stepWhileTheDatabaseWaits(editor, connection, folder);

    QTest::mouseClick(editor.findChild<QLineEdit*>(QStringLiteral("txtX3")), Qt::LeftButton);
    save(&editor, folder, QStringLiteral("plan-03-corner"));

    editor.nextStructure();
    save(&editor, folder, QStringLiteral("plan-04-outline"));
    editor.nextStructure();
    save(&editor, folder, QStringLiteral("plan-04-offer"));
    editOnTheMap(editor, folder);

    plan::CreatePlanDialog create(context, session);
    create.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("Склад ВВ №4"));
    create.show();
    save(&create, folder, QStringLiteral("plan-05-create"));
    plan::ChoosePlanDialog choose(context, session);
    choose.show();
    save(&choose, folder, QStringLiteral("plan-06-choose"));
    choose.close();

    // A new plan created while another one is shown: the editor opens on its empty №1.
    QObject::connect(&create, &plan::CreatePlanDialog::planActivated, &editor,
                     &plan::PlanEditorWindow::showPlanAreas);
    editor.nextStructure(); // back on a structure of the old plan first
    editor.previousStructure();
    create.findChild<QPushButton*>(QStringLiteral("cmdOk"))->click();
    save(&editor, folder, QStringLiteral("plan-07-created"));

    bigPlan(connection, folder);
    return 0;
}
