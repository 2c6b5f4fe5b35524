#include "shell/WorkWindows.h"

#include "data/Database.h"
#include "shell/Startup.h"
#include "shell/frmMain.h"
#include "ui/WindowRegistry.h"
#include "windows/plan/PlanSession.h"
#include "windows/plan/frmPlan.h"
#include "windows/plan/frmSozdPM.h"
#include "windows/plan/frmViborPM.h"
#include "windows/zone/ZoneServices.h"
#include "windows/zone/frmZone.h"

#include <QApplication>
#include <QPointer>

namespace kelmo::shell {

namespace {

// The plan editor and its two dialogs, each at most once. The dialogs belong to the editor,
// so they close with it.
struct PlanWindows {
    QPointer<plan::frmPlan> editor;
    QPointer<plan::frmSozdPM> create;
    QPointer<plan::frmViborPM> choose;
};

PlanWindows& planWindows() {
    static PlanWindows windows;
    return windows;
}

void raise(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

void endProgram() {
    // Ends the program at once: every window closes without a question.
    ui::WindowRegistry::closeAll();
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

void activatePlan() {
    if (plan::frmPlan* editor = planWindows().editor) {
        editor->showPlanAreas();
    }
}

void openCreateDialog() {
    PlanWindows& w = planWindows();
    if (!w.editor) {
        return;
    }
    if (!w.create) {
        w.create = new plan::frmSozdPM(planSession(), w.editor);
        w.create->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(w.create, &plan::frmSozdPM::planActivated, w.editor, &activatePlan);
    }
    raise(w.create);
}

void openChooseDialog() {
    PlanWindows& w = planWindows();
    if (!w.editor) {
        return;
    }
    if (!w.choose) {
        w.choose = new plan::frmViborPM(planSession(), w.editor);
        w.choose->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(w.choose, &plan::frmViborPM::planActivated, w.editor, &activatePlan);
        QObject::connect(w.choose, &plan::frmViborPM::createPlanRequested, w.editor,
                         &openCreateDialog);
    }
    raise(w.choose);
}

} // namespace

plan::PlanSession& planSession() {
    static plan::PlanSession session;
    return session;
}

QWidget* openPlanEditor() {
    PlanWindows& w = planWindows();
    // Start-up has settled the connection string by the time the menu opens a window.
    planSession().connectionString = gConnectionString;
    if (!w.editor) {
        auto* editor = new plan::frmPlan(planSession());
        editor->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(editor, &plan::frmPlan::backRequested, editor, [editor] {
            showMainMenu();
            editor->close();
        });
        QObject::connect(editor, &plan::frmPlan::exitRequested, editor, &endProgram);
        QObject::connect(editor, &plan::frmPlan::createPlanRequested, editor, &openCreateDialog);
        QObject::connect(editor, &plan::frmPlan::choosePlanRequested, editor, &openChooseDialog);
        // "РАСЧЕТ" (frmPlan::calculationRequested) gets its window with the situation
        // calculation; until then it does nothing.
        w.editor = editor;
    }
    raise(w.editor);
    return w.editor;
}

void wireWorkWindows() {
    zone::services().showMainMenu = &showMainMenu;
    frmMain::setWorkWindow(frmMain::WorkWindow::Zone,
                           [] { return ui::WindowRegistry::show<zone::frmZone>(); });
    frmMain::setWorkWindow(frmMain::WorkWindow::Plan, &openPlanEditor);
}

} // namespace kelmo::shell
